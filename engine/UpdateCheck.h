#pragma once

// UpdateCheck — the online version check: one HTTPS GET to the maker's version service, whose reply is a version
// number "major.minor.patch" compared with the plug-in's own.
//
// URL: <host>/versioncheck?productname=<name>. The host is a build setting (CMake cache variable
// ZANIQ_UPDATE_HOST, scheme and host without a path); SetHost replaces it at run time (tests point it at a local
// server). Only HTTPS is spoken; redirects are not followed; the reply is capped at kMaxReplyBytes.
//
// Result codes of a query (EUpdateResult): -1 no transfer handle, 0 transfer failed (no network, refused,
// certificate problem, time-out), 1 the reply is not a version, 3 same version, 4 the service has a newer one,
// 5 the service has an older one.
//
// Threads: main thread only. A query blocks for up to the time-out (25 s unless SetTimeoutMs says otherwise).
// libcurl's global initialisation and clean-up run around every query (they are reference-counted by libcurl,
// so another libcurl user in the host process is not disturbed). The process-wide flags are atomic.

#include <array>
#include <cstddef>
#include <string>

enum EUpdateResult : int
{
  kUpdateNoHandle = -1,
  kUpdateServiceFailed = 0,
  kUpdateNotAVersion = 1,
  kUpdateSameVersion = 3,
  kUpdateNewer = 4,
  kUpdateOlder = 5,
};

class UpdateCheck
{
public:
  static constexpr size_t kURLSize = 1024;          // the URL, terminator included
  static constexpr size_t kErrorTextSize = 1024;    // libcurl's description of the transfer result
  static constexpr size_t kMaxReplyBytes = 64 * 1024;
  static constexpr long kDefaultTimeoutMs = 25000;  // whole transfer
  // A version's numbers: major, minor, patch. Versions compare number by number in that order.
  using Version = std::array<long long, 3>;

  // The reply as it arrives: at most kMaxReplyBytes are kept; more ends the transfer.
  struct Reply
  {
    std::string text;
    bool truncated = false;
  };

  // -------------------------------------------------------------------------------------------------------------
  // Configuration [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // The build's version-check host (ZANIQ_UPDATE_HOST).
  static const char* DefaultHost();
  // Replaces the host; null or "" restores the build's host.
  static void SetHost(const char* host);
  static const char* GetHost();
  // Whole-transfer time-out in milliseconds; 0 or less restores kDefaultTimeoutMs.
  static void SetTimeoutMs(long ms);
  static long GetTimeoutMs();
  // A PEM file of certificates to trust instead of the system's store; null or "" restores the system store.
  static void SetCAFile(const char* path);
  static const char* GetCAFile();

  // -------------------------------------------------------------------------------------------------------------
  // Process-wide state shared by every instance [any thread]
  // -------------------------------------------------------------------------------------------------------------

  // Whether the automatic check has run in this process (false at load).
  static bool WasChecked();
  static void SetChecked(bool checked);
  // Whether the last check found a newer version (false at load).
  static bool IsUpdateAvailable();
  static void SetUpdateAvailable(bool available);

  // -------------------------------------------------------------------------------------------------------------
  // The query [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // The name the service knows the plug-in by, written into out (truncated to outSize - 1 characters and
  // terminated; nothing when out is null or outSize is 0). The product's own name goes unchanged.
  static void MapProductNameForUpdate(const char* pluginName, char* out, size_t outSize);
  // <host>/versioncheck?productname=<name> into url (a trailing "/" of the host is dropped; the name is
  // percent-encoded outside the unreserved characters). False, with url empty, when the host is empty or the URL
  // does not fit.
  static bool BuildURL(const char* productName, char* url, size_t urlSize);
  // Runs one GET of url and compares the reply with ownVersion. errorText (errorTextSize bytes, may be null)
  // receives libcurl's description of the transfer result and status its result code. Returns an EUpdateResult.
  static int HttpGetVersion(const char* ownVersion, const char* url, char* errorText, size_t errorTextSize,
                            int& status);
  // libcurl write callback: appends size × count bytes to the Reply at userData up to the cap. Returns the
  // bytes taken; fewer than given (the cap was reached) ends the transfer.
  static size_t AppendReply(char* data, size_t size, size_t count, void* userData);

  // -------------------------------------------------------------------------------------------------------------
  // Versions [any thread]
  // -------------------------------------------------------------------------------------------------------------

  // Reads "%d.%d.%d" from the first length bytes of text (white space and a sign may precede each number, as the
  // C conversion allows; anything may follow the third). Numbers beyond ±10^12 read as ±10^12. False when there
  // are fewer than three numbers.
  static bool ParseVersion(const char* text, size_t length, Version& version);
  // kUpdateNotAVersion when reply (or ownVersion) is not a version, else kUpdateSameVersion, kUpdateNewer
  // (reply greater) or kUpdateOlder.
  static int CompareReply(const char* reply, size_t length, const char* ownVersion);
  // The message for a result: 0 "Service not available", 1 "Product not found", 3 "Plugin is up to date",
  // 4 "Plugin update is available", 5 "Older plugin version available", any other "Unknown".
  static const char* ResultText(int result);
};

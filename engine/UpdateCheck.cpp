#include "engine/UpdateCheck.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstring>

#ifndef ZANIQ_UPDATE_HOST
#define ZANIQ_UPDATE_HOST "https://www.quenlar.com"
#endif

// ---------------------------------------------------------------------------------------------------------------
// Configuration and process-wide state
// ---------------------------------------------------------------------------------------------------------------

namespace
{

struct Config
{
  std::string host = ZANIQ_UPDATE_HOST;
  long timeoutMs = UpdateCheck::kDefaultTimeoutMs;
  std::string caFile;
};

Config& TheConfig()
{
  static Config config;
  return config;
}

std::atomic<bool> sChecked{false};
std::atomic<bool> sAvailable{false};

// Copies text into a buffer of size bytes, truncated and terminated.
void CopyText(char* out, size_t size, const char* text)
{
  if (!out || size == 0) return;
  std::snprintf(out, size, "%s", text ? text : "");
}

} // namespace

const char* UpdateCheck::DefaultHost()
{
  return ZANIQ_UPDATE_HOST;
}

void UpdateCheck::SetHost(const char* host)
{
  TheConfig().host = (host && *host) ? host : ZANIQ_UPDATE_HOST;
}

const char* UpdateCheck::GetHost()
{
  return TheConfig().host.c_str();
}

void UpdateCheck::SetTimeoutMs(long ms)
{
  TheConfig().timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs;
}

long UpdateCheck::GetTimeoutMs()
{
  return TheConfig().timeoutMs;
}

void UpdateCheck::SetCAFile(const char* path)
{
  TheConfig().caFile = path ? path : "";
}

const char* UpdateCheck::GetCAFile()
{
  return TheConfig().caFile.c_str();
}

bool UpdateCheck::WasChecked()
{
  return sChecked.load();
}

void UpdateCheck::SetChecked(bool checked)
{
  sChecked.store(checked);
}

bool UpdateCheck::IsUpdateAvailable()
{
  return sAvailable.load();
}

void UpdateCheck::SetUpdateAvailable(bool available)
{
  sAvailable.store(available);
}

// ---------------------------------------------------------------------------------------------------------------
// Versions
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// One "%d" conversion over [p, end): leading white space, optional sign, digits. Large numbers saturate far
// outside every accepted range instead of overflowing.
bool ReadNumber(const char*& p, const char* end, long long& value)
{
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p >= end || !std::isdigit(static_cast<unsigned char>(*p))) return false;
  long long n = 0;
  for (; p < end && std::isdigit(static_cast<unsigned char>(*p)); ++p)
    n = std::min(n * 10 + (*p - '0'), 1'000'000'000'000LL);
  value = negative ? -n : n;
  return true;
}

} // namespace

bool UpdateCheck::ParseVersion(const char* text, size_t length, Version& version)
{
  if (!text) return false;
  const char* p = text;
  const char* end = text + length;
  Version parts{};
  for (size_t i = 0; i < parts.size(); ++i)
  {
    if (i > 0)
    {
      if (p >= end || *p != '.') return false;
      ++p;
    }
    if (!ReadNumber(p, end, parts[i])) return false;
  }
  version = parts;
  return true;
}

int UpdateCheck::CompareReply(const char* reply, size_t length, const char* ownVersion)
{
  Version theirs{}, ours{};
  if (!ParseVersion(reply, length, theirs)) return kUpdateNotAVersion;
  if (!ownVersion || !ParseVersion(ownVersion, std::strlen(ownVersion), ours)) return kUpdateNotAVersion;
  // Number by number: a minor or patch of 100 or more is just a larger number, never a carry into the next.
  if (theirs == ours) return kUpdateSameVersion;
  return theirs > ours ? kUpdateNewer : kUpdateOlder;
}

const char* UpdateCheck::ResultText(int result)
{
  switch (result)
  {
    case kUpdateServiceFailed: return "Service not available";
    case kUpdateNotAVersion: return "Product not found";
    case kUpdateSameVersion: return "Plugin is up to date";
    case kUpdateNewer: return "Plugin update is available";
    case kUpdateOlder: return "Older plugin version available";
    default: return "Unknown";
  }
}

// ---------------------------------------------------------------------------------------------------------------
// The query
// ---------------------------------------------------------------------------------------------------------------

void UpdateCheck::MapProductNameForUpdate(const char* pluginName, char* out, size_t outSize)
{
  // The service knows this product by its plug-in name.
  CopyText(out, outSize, pluginName);
}

bool UpdateCheck::BuildURL(const char* productName, char* url, size_t urlSize)
{
  if (!url || urlSize == 0) return false;
  url[0] = 0;
  std::string host = GetHost();
  while (!host.empty() && host.back() == '/') host.pop_back();
  if (host.empty()) return false;

  std::string name;
  for (const char* p = productName ? productName : ""; *p; ++p)
  {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~')
      name += static_cast<char>(c);
    else
    {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      name += escaped;
    }
  }

  const int n = std::snprintf(url, urlSize, "%s/versioncheck?productname=%s", host.c_str(), name.c_str());
  if (n < 0 || static_cast<size_t>(n) >= urlSize)
  {
    url[0] = 0;
    return false;
  }
  return true;
}

size_t UpdateCheck::AppendReply(char* data, size_t size, size_t count, void* userData)
{
  auto* reply = static_cast<Reply*>(userData);
  if (!reply || !data) return 0;
  // libcurl passes size 1; the product is guarded anyway.
  const size_t bytes = (count != 0 && size > SIZE_MAX / count) ? SIZE_MAX : size * count;
  const size_t room = kMaxReplyBytes - std::min(reply->text.size(), kMaxReplyBytes);
  const size_t taken = std::min(bytes, room);
  reply->text.append(data, taken);
  if (taken < bytes) reply->truncated = true;
  return taken;
}

int UpdateCheck::HttpGetVersion(const char* ownVersion, const char* url, char* errorText, size_t errorTextSize,
                                int& status)
{
  curl_global_init(CURL_GLOBAL_ALL);
  CURL* curl = curl_easy_init();
  if (!curl)
  {
    curl_global_cleanup();
    return kUpdateNoHandle;
  }

  Reply reply;
  const Config& config = TheConfig();
  curl_easy_setopt(curl, CURLOPT_URL, url ? url : "");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &UpdateCheck::AppendReply);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, config.timeoutMs);
  // Inside a host process signals are not ours to use: libcurl's alarm-based name look-up time-out is unsafe
  // with other threads running.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  if (!config.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, config.caFile.c_str());

  const CURLcode rc = curl_easy_perform(curl);
  CopyText(errorText, errorTextSize, curl_easy_strerror(rc));
  status = static_cast<int>(rc);

  // A reply cut at the cap still tells its version: only the service's first bytes matter.
  const bool received = rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && reply.truncated);
  const int result = received ? CompareReply(reply.text.data(), reply.text.size(), ownVersion) : kUpdateServiceFailed;

  curl_easy_cleanup(curl);
  curl_global_cleanup();
  return result;
}

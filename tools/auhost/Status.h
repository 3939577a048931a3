#pragma once

// Results of the host harness: success, or one line saying what failed and why.

#include <CoreFoundation/CFBase.h>

#include <string>
#include <string_view>
#include <utility>

namespace auhost
{

class [[nodiscard]] Status
{
public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }
  // "<what>: <name> (<code>)", e.g. "Initialize: kAudioUnitErr_FormatNotSupported (-10868)"; Ok for noErr.
  static Status FromOS(OSStatus code, std::string_view what);

  // The same status with "<prefix>: " in front of its message (the code is kept); Ok stays Ok.
  Status Prefixed(std::string_view prefix) const
  {
    if (!mFailed) return *this;
    Status s = *this;
    s.mMessage = std::string(prefix) + ": " + mMessage;
    return s;
  }

  bool ok() const { return !mFailed; }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return mMessage; }
  // The OSStatus this error came from, 0 when none.
  OSStatus code() const { return mCode; }

private:
  explicit Status(std::string message) : mFailed(true), mMessage(std::move(message)) {}

  bool mFailed = false;
  std::string mMessage;
  OSStatus mCode = 0;
};

// The published name of an Audio Unit, Component Manager or CoreAudio status ("noErr", "badComponentSelector",
// "kAudioUnitErr_InvalidProperty", ...); "OSStatus" for an unknown code.
const char* OSStatusName(OSStatus code);

} // namespace auhost

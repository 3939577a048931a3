// CoreFoundation text helpers and status names.

#include "tools/auhost/CfRef.h"
#include "tools/auhost/Status.h"

#include <AudioToolbox/AudioToolbox.h>
#include <CoreServices/CoreServices.h>

#include <vector>

namespace auhost
{

std::string ToStdString(CFTypeRef value)
{
  if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return std::string();
  const auto str = static_cast<CFStringRef>(value);
  if (const char* p = CFStringGetCStringPtr(str, kCFStringEncodingUTF8)) return std::string(p);
  const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(str), kCFStringEncodingUTF8) + 1;
  if (size <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size));
  if (!CFStringGetCString(str, buffer.data(), size, kCFStringEncodingUTF8)) return std::string();
  return std::string(buffer.data());
}

CFRef<CFStringRef> MakeCFString(std::string_view text)
{
  return CFRef<CFStringRef>::Adopt(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                                           static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8,
                                                           false));
}

std::string FourCCToString(UInt32 code)
{
  std::string s(4, '?');
  for (int i = 0; i < 4; ++i)
  {
    const char c = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
    if (c >= 0x20 && c < 0x7F) s[static_cast<size_t>(i)] = c;
  }
  return s;
}

bool StringToFourCC(std::string_view text, UInt32& code)
{
  if (text.size() != 4) return false;
  UInt32 result = 0;
  for (char c : text)
  {
    if (c < 0x20 || c >= 0x7F) return false;
    result = (result << 8) | static_cast<UInt8>(c);
  }
  code = result;
  return true;
}

Status Status::FromOS(OSStatus code, std::string_view what)
{
  if (code == noErr) return Ok();
  Status s(std::string(what) + ": " + OSStatusName(code) + " (" + std::to_string(code) + ")");
  s.mCode = code;
  return s;
}

const char* OSStatusName(OSStatus code)
{
  switch (code)
  {
  case noErr: return "noErr";
  case kAudio_UnimplementedError: return "kAudio_UnimplementedError";
  case kAudio_FileNotFoundError: return "kAudio_FileNotFoundError";
  case kAudio_ParamError: return "kAudio_ParamError";
  case kAudio_MemFullError: return "kAudio_MemFullError";
  case coreFoundationUnknownErr: return "coreFoundationUnknownErr";
  case badComponentInstance: return "badComponentInstance";
  case badComponentSelector: return "badComponentSelector";
  case kAudioUnitErr_InvalidProperty: return "kAudioUnitErr_InvalidProperty";
  case kAudioUnitErr_InvalidParameter: return "kAudioUnitErr_InvalidParameter";
  case kAudioUnitErr_InvalidElement: return "kAudioUnitErr_InvalidElement";
  case kAudioUnitErr_NoConnection: return "kAudioUnitErr_NoConnection";
  case kAudioUnitErr_FailedInitialization: return "kAudioUnitErr_FailedInitialization";
  case kAudioUnitErr_TooManyFramesToProcess: return "kAudioUnitErr_TooManyFramesToProcess";
  case kAudioUnitErr_FormatNotSupported: return "kAudioUnitErr_FormatNotSupported";
  case kAudioUnitErr_Uninitialized: return "kAudioUnitErr_Uninitialized";
  case kAudioUnitErr_InvalidScope: return "kAudioUnitErr_InvalidScope";
  case kAudioUnitErr_PropertyNotWritable: return "kAudioUnitErr_PropertyNotWritable";
  case kAudioUnitErr_CannotDoInCurrentContext: return "kAudioUnitErr_CannotDoInCurrentContext";
  case kAudioUnitErr_InvalidPropertyValue: return "kAudioUnitErr_InvalidPropertyValue";
  case kAudioUnitErr_PropertyNotInUse: return "kAudioUnitErr_PropertyNotInUse";
  case kAudioUnitErr_Initialized: return "kAudioUnitErr_Initialized";
  case kAudioUnitErr_InvalidParameterValue: return "kAudioUnitErr_InvalidParameterValue";
  case kAudioComponentErr_InstanceInvalidated: return "kAudioComponentErr_InstanceInvalidated";
  default: return "OSStatus";
  }
}

} // namespace auhost

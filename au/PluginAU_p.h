#pragma once

// Helpers shared by the adapter's sources. Not part of the adapter's interface.

#include "graphics/Util.h"

#include <AudioToolbox/AudioToolbox.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cstring>

namespace plugin::au_detail
{

// A new CF string of text (the caller owns it). Text that is not valid UTF-8 (for instance a name cut inside a
// character) is read as Latin-1 instead, so a non-null text never gives null unless memory ran out.
inline CFStringRef MakeCFString(const char* text)
{
  if (!text) text = "";
  CFStringRef str = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
  if (!str) str = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingISOLatin1);
  return str;
}

// UTF-8 text of a CF string; false (text emptied) for null, a value that is not a string, or no memory.
inline bool CopyUTF8(CFTypeRef value, Util_String& text)
{
  text.Set("");
  if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return false;
  CFStringRef str = static_cast<CFStringRef>(value);
  const CFIndex maxBytes = CFStringGetMaximumSizeForEncoding(CFStringGetLength(str), kCFStringEncodingUTF8) + 1;
  if (maxBytes < 1 || maxBytes > 0x7fffffff) return false;
  Util_TypedBuf<char> buf;
  if (!buf.Resize(static_cast<int>(maxBytes))) return false;
  if (!CFStringGetCString(str, buf.Get(), maxBytes, kCFStringEncodingUTF8)) return false;
  text.Set(buf.Get());
  return true;
}

// Length of the longest prefix of text with at most maxBytes bytes that does not end inside a UTF-8 sequence.
inline int Utf8PrefixLength(const char* text, int maxBytes)
{
  const int len = static_cast<int>(strnlen(text, static_cast<size_t>(maxBytes < 0 ? 0 : maxBytes) + 1));
  if (len <= maxBytes) return len;
  int cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// Value-query reply of a fixed-size property: writes value when data is given and the caller's buffer
// (*dataSize bytes) holds it; always reports the size.
template <class T>
OSStatus ReplyValue(UInt32* dataSize, void* data, const T& value)
{
  if (!data)
  {
    *dataSize = sizeof(T);
    return noErr;
  }
  if (*dataSize < sizeof(T)) return kAudioUnitErr_InvalidPropertyValue;
  std::memcpy(data, &value, sizeof(T));
  *dataSize = sizeof(T);
  return noErr;
}

} // namespace plugin::au_detail

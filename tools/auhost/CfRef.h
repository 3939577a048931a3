#pragma once

// Small CoreFoundation helpers for the host harness: an owning reference and text conversions.

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <string_view>
#include <utility>

namespace auhost
{

// Owns one reference to a CF object (released on destruction). Adopt takes a Create/Copy result; Retain takes a
// Get result and retains it.
template <typename T>
class CFRef
{
public:
  CFRef() = default;
  static CFRef Adopt(T ref) { return CFRef(ref); }
  static CFRef Retain(T ref)
  {
    if (ref) CFRetain(ref);
    return CFRef(ref);
  }
  ~CFRef() { Reset(); }
  CFRef(CFRef&& other) noexcept : mRef(std::exchange(other.mRef, nullptr)) {}
  CFRef& operator=(CFRef&& other) noexcept
  {
    if (this != &other)
    {
      Reset();
      mRef = std::exchange(other.mRef, nullptr);
    }
    return *this;
  }
  CFRef(const CFRef&) = delete;
  CFRef& operator=(const CFRef&) = delete;

  T Get() const { return mRef; }
  explicit operator bool() const { return mRef != nullptr; }
  // Hands the reference to the caller.
  T Release() { return std::exchange(mRef, nullptr); }
  void Reset(T ref = nullptr)
  {
    if (mRef) CFRelease(mRef);
    mRef = ref;
  }
  // For Create-style out-parameters: releases what is held and returns the slot.
  T* OutPtr()
  {
    Reset();
    return &mRef;
  }

private:
  explicit CFRef(T ref) : mRef(ref) {}
  T mRef = nullptr;
};

// [any thread] UTF-8 text of a string; "" for null or a non-string.
std::string ToStdString(CFTypeRef str);
// [any thread] A new string (caller owns through the CFRef); null for text that is not UTF-8.
CFRef<CFStringRef> MakeCFString(std::string_view text);
// "aufx" for 'aufx'; characters outside printable ASCII are shown as '?'.
std::string FourCCToString(UInt32 code);
// True and the code when text is exactly four printable ASCII characters.
bool StringToFourCC(std::string_view text, UInt32& code);

} // namespace auhost

// libFuzzer target: the property-list reader of the CoreFoundation stand-in.
//
// Promises checked: a refused document gives null and an error the caller owns; an accepted one is one of the
// property-list types, equal to itself and to the same document read again with mutable containers, and its
// description can be made.

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <cstdint>

namespace
{
void Check(bool cond)
{
  if (!cond) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  CFDataRef bytes = CFDataCreate(nullptr, data, static_cast<CFIndex>(size));
  if (!bytes) return 0;
  CFErrorRef error = nullptr;
  CFPropertyListFormat format = 0;
  CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, bytes, kCFPropertyListImmutable, &format, &error);
  if (!plist)
  {
    Check(error != nullptr);
    CFRelease(error);
    CFRelease(bytes);
    return 0;
  }
  Check(error == nullptr);
  const CFTypeID type = CFGetTypeID(plist);
  Check(type == CFDictionaryGetTypeID() || type == CFArrayGetTypeID() || type == CFStringGetTypeID() ||
        type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() || type == CFDataGetTypeID());
  Check(CFEqual(plist, plist));
  CFPropertyListRef mutableCopy =
    CFPropertyListCreateWithData(nullptr, bytes, kCFPropertyListMutableContainersAndLeaves, nullptr, nullptr);
  Check(mutableCopy && CFEqual(plist, mutableCopy));
  if (CFStringRef description = CFCopyDescription(plist)) CFRelease(description);
  CFRelease(mutableCopy);
  CFRelease(plist);
  CFRelease(bytes);
  return 0;
}

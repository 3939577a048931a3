// CoreFoundation error objects.
#include <CoreFoundation/CFInternal.h>

using namespace zqcf;

ZQCF_CONSTANT_STRING(kCFErrorDomainCocoa, "NSCocoaErrorDomain");
ZQCF_CONSTANT_STRING(kCFErrorDomainOSStatus, "NSOSStatusErrorDomain");

struct __CFError : Object
{
  static constexpr CFTypeID kTypeID = kTypeError;
  __CFError(CFStringRef d, CFIndex c) : Object(kTypeID, false), domain(d), code(c) { CFRetain(domain); }
  ~__CFError() override { CFRelease(domain); }
  bool Equal(const Object& other) const override
  {
    const auto& o = static_cast<const __CFError&>(other);
    return code == o.code && CFEqual(domain, o.domain);
  }
  CFHashCode Hash() const override { return static_cast<CFHashCode>(code); }
  std::string Describe() const override
  {
    return "Error Domain=" + std::string(StringView(domain)) + " Code=" + std::to_string(code);
  }
  const CFStringRef domain;
  const CFIndex code;
};

CFTypeID CFErrorGetTypeID(void)
{
  return kTypeError;
}

CFErrorRef CFErrorCreate(CFAllocatorRef, CFErrorDomain domain, CFIndex code, CFDictionaryRef)
{
  if (CFGetTypeID(domain) != kTypeString) return nullptr;
  return new __CFError(domain, code);
}

CFErrorDomain CFErrorGetDomain(CFErrorRef err)
{
  const __CFError* e = Cast<__CFError>(err);
  return e ? e->domain : nullptr;
}

CFIndex CFErrorGetCode(CFErrorRef err)
{
  const __CFError* e = Cast<__CFError>(err);
  return e ? e->code : 0;
}

// CoreFoundation error objects (CFError): a domain and a code.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef CFStringRef CFErrorDomain;

CF_EXTERN_C_BEGIN

CF_EXPORT const CFErrorDomain kCFErrorDomainCocoa;
CF_EXPORT const CFErrorDomain kCFErrorDomainOSStatus;
CF_EXPORT CFTypeID CFErrorGetTypeID(void);
// userInfo is ignored. Caller owns.
CF_EXPORT CFErrorRef CFErrorCreate(CFAllocatorRef allocator, CFErrorDomain domain, CFIndex code,
                                   CFDictionaryRef userInfo);
CF_EXPORT CFErrorDomain CFErrorGetDomain(CFErrorRef err);
CF_EXPORT CFIndex CFErrorGetCode(CFErrorRef err);

CF_EXTERN_C_END

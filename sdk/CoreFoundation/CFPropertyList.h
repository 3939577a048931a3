// CoreFoundation property lists: the XML form (dict, array, string, integer, real, true, false, data).
#pragma once

#include <CoreFoundation/CFBase.h>

typedef CFOptionFlags CFPropertyListMutabilityOptions;
enum
{
  kCFPropertyListImmutable = 0,
  kCFPropertyListMutableContainers = 1,
  kCFPropertyListMutableContainersAndLeaves = 2
};
typedef CFIndex CFPropertyListFormat;
enum
{
  kCFPropertyListOpenStepFormat = 1,
  kCFPropertyListXMLFormat_v1_0 = 100,
  kCFPropertyListBinaryFormat_v1_0 = 200
};
enum
{
  kCFPropertyListReadCorruptError = 3840
};

CF_EXTERN_C_BEGIN

// [any thread] Parses an XML property list. Damaged, unsupported (binary, <date>), too deep or non-finite
// input gives null and, when error is not null, a CFError (kCFErrorDomainCocoa, kCFPropertyListReadCorruptError)
// the caller owns. Containers are mutable when options ask for it.
CF_EXPORT CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data,
                                                         CFOptionFlags options, CFPropertyListFormat* format,
                                                         CFErrorRef* error);

CF_EXTERN_C_END

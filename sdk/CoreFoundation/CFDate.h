// CoreFoundation time: seconds since 1 January 2001 00:00:00 UTC.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef double CFTimeInterval;
typedef CFTimeInterval CFAbsoluteTime;

#define kCFAbsoluteTimeIntervalSince1970 978307200.0

CF_EXTERN_C_BEGIN

// [any thread] The wall clock, or the virtual clock when tests enabled it (CFTesting.h).
CF_EXPORT CFAbsoluteTime CFAbsoluteTimeGetCurrent(void);

CF_EXTERN_C_END

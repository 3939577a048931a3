// CoreFoundation locations (CFURL): file URLs only, holding a POSIX path as given (absolute or relative).
#pragma once

#include <CoreFoundation/CFBase.h>

typedef CFIndex CFURLPathStyle;
enum
{
  kCFURLPOSIXPathStyle = 0,
  kCFURLHFSPathStyle = 1,
  kCFURLWindowsPathStyle = 2
};

CF_EXTERN_C_BEGIN

CF_EXPORT CFTypeID CFURLGetTypeID(void);
// [any thread] buffer holds bufLen bytes of a UTF-8 path. Null for an empty or invalid path.
CF_EXPORT CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer,
                                                           CFIndex bufLen, Boolean isDirectory);
// Only kCFURLPOSIXPathStyle is supported (null otherwise).
CF_EXPORT CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath,
                                                 CFURLPathStyle pathStyle, Boolean isDirectory);
CF_EXPORT CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url,
                                                         CFStringRef pathComponent, Boolean isDirectory);
// Writes the terminated path into buffer (maxBufLen bytes). False when it does not fit.
CF_EXPORT Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                                   CFIndex maxBufLen);
// The path without a trailing '/' (except for "/"). Caller owns.
CF_EXPORT CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
CF_EXPORT CFStringRef CFURLCopyLastPathComponent(CFURLRef url);
CF_EXPORT Boolean CFURLHasDirectoryPath(CFURLRef anURL);

CF_EXTERN_C_END

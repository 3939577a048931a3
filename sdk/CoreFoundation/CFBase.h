// CoreFoundation base: the platform's scalar types, opaque object references, the object model
// (retain/release/equality/hash) and allocators.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN                                                                                              \
  extern "C"                                                                                                           \
  {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

#define CF_EXPORT extern __attribute__((visibility("default")))

// ---- Scalar types of the platform (64-bit layout) ----
typedef unsigned char Boolean;
typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef unsigned long long UInt64;
typedef signed long long SInt64;
typedef float Float32;
typedef double Float64;
typedef SInt32 OSStatus;
typedef SInt16 OSErr;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef UInt16 UniChar;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef char* Ptr;
typedef Ptr* Handle;
typedef unsigned char Str255[256];
typedef const unsigned char* ConstStr255Param;

enum
{
  noErr = 0
};
enum
{
  unimpErr = -4,
  paramErr = -50,
  memFullErr = -108
};
enum
{
  coreFoundationUnknownErr = -4960
};

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;

typedef struct
{
  CFIndex location;
  CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length)
{
  CFRange r = {location, length};
  return r;
}

typedef CFIndex CFComparisonResult;
enum
{
  kCFCompareLessThan = -1,
  kCFCompareEqualTo = 0,
  kCFCompareGreaterThan = 1
};

enum
{
  kCFNotFound = -1
};

// ---- Opaque object references ----
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFBoolean* CFBooleanRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFData* CFMutableDataRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopTimer* CFRunLoopTimerRef;
typedef struct __CFError* CFErrorRef;
typedef CFTypeRef CFPropertyListRef;

CF_EXTERN_C_BEGIN

// ---- Object model [any thread] ----
// Create/Copy functions hand the caller one reference; Get functions do not.
// Constants (CFSTR strings, kCFBoolean*, kCFAllocator*, the run loop) are never freed.
CF_EXPORT CFTypeRef CFRetain(CFTypeRef cf); // cf must not be null; returns cf
CF_EXPORT void CFRelease(CFTypeRef cf);     // cf must not be null; frees at count 0
CF_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf);
CF_EXPORT CFTypeID CFGetTypeID(CFTypeRef cf);
CF_EXPORT Boolean CFEqual(CFTypeRef a, CFTypeRef b);   // same type and same contents
CF_EXPORT CFHashCode CFHash(CFTypeRef cf);             // equal objects hash alike
CF_EXPORT CFStringRef CFCopyDescription(CFTypeRef cf); // caller owns; null for null
CF_EXPORT CFAllocatorRef CFGetAllocator(CFTypeRef cf);

// ---- Allocators [any thread] ----
// Every object is allocated from the process heap; NULL (kCFAllocatorDefault) is accepted everywhere.
#define kCFAllocatorDefault ((CFAllocatorRef)NULL)
CF_EXPORT const CFAllocatorRef kCFAllocatorSystemDefault;
CF_EXPORT const CFAllocatorRef kCFAllocatorMalloc;
CF_EXPORT const CFAllocatorRef kCFAllocatorNull; // allocates nothing, frees nothing
CF_EXPORT CFTypeID CFAllocatorGetTypeID(void);
CF_EXPORT CFAllocatorRef CFAllocatorGetDefault(void);
// Size ≤ 0 gives null; kCFAllocatorNull gives null.
CF_EXPORT void* CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint);
CF_EXPORT void* CFAllocatorReallocate(CFAllocatorRef allocator, void* ptr, CFIndex newsize, CFOptionFlags hint);
CF_EXPORT void CFAllocatorDeallocate(CFAllocatorRef allocator, void* ptr); // null ptr: nothing

CF_EXTERN_C_END

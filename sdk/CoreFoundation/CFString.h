// CoreFoundation strings (CFString): immutable text held as UTF-8; lengths count UTF-16 units as the platform does.
#pragma once

#include <stdarg.h>

#include <CoreFoundation/CFBase.h>

typedef UInt32 CFStringEncoding;
enum
{
  kCFStringEncodingMacRoman = 0,
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingUTF8 = 0x08000100,
};
#define kCFStringEncodingInvalidId (0xffffffffU)

typedef CFOptionFlags CFStringCompareFlags;
enum
{
  kCFCompareCaseInsensitive = 1,
  kCFCompareBackwards = 4,
  kCFCompareAnchored = 8,
  kCFCompareNonliteral = 16,
  kCFCompareLocalized = 32,
  kCFCompareNumerically = 64,
};

// A constant string: the same object for the same text for the life of the process, never freed.
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")

CF_EXTERN_C_BEGIN

CF_EXPORT CFStringRef __CFStringMakeConstantString(const char* cStr);
CF_EXPORT CFTypeID CFStringGetTypeID(void);

// [any thread] Null for a null cStr or text invalid in the encoding (UTF-8, ASCII, MacRoman, Latin-1).
CF_EXPORT CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
// numBytes bytes (no terminator needed). Null when invalid in the encoding.
CF_EXPORT CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                              CFStringEncoding encoding, Boolean isExternalRepresentation);
CF_EXPORT CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars, CFIndex numChars);
CF_EXPORT CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);
// printf conversions plus %@ (the description of a CF object, "(null)" for null).
CF_EXPORT CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format,
                                               ...);
CF_EXPORT CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                           CFStringRef format, va_list arguments);

// Length in UTF-16 code units.
CF_EXPORT CFIndex CFStringGetLength(CFStringRef theString);
CF_EXPORT UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);
CF_EXPORT void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);
// Writes the text and a terminator into buffer (bufferSize bytes). False (buffer holds "" when it has room)
// when the text does not fit or cannot be represented in the encoding.
CF_EXPORT Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                                     CFStringEncoding encoding);
// The internal terminated text for UTF-8 (and ASCII when the text is ASCII); null otherwise.
CF_EXPORT const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
// Upper bound of bytes for length UTF-16 units in the encoding (without terminator).
CF_EXPORT CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// Compares by Unicode code point; kCFCompareCaseInsensitive folds ASCII letters; kCFCompareNumerically
// compares runs of digits by value.
CF_EXPORT CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                             CFStringCompareFlags compareOptions);

CF_EXTERN_C_END

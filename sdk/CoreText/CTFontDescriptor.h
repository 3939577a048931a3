// CoreText font descriptors (CTFontDescriptor): a set of attributes that names a font.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

typedef const struct __CTFontDescriptor* CTFontDescriptorRef;

CF_EXTERN_C_BEGIN

// Attribute names (the values are CFStrings unless noted).
CF_EXPORT const CFStringRef kCTFontURLAttribute;        // CFURL of the font file
CF_EXPORT const CFStringRef kCTFontNameAttribute;       // PostScript name
CF_EXPORT const CFStringRef kCTFontFamilyNameAttribute; // family, e.g. "DejaVu Sans"
CF_EXPORT const CFStringRef kCTFontStyleNameAttribute;  // style, e.g. "Bold"

CF_EXPORT CFTypeID CTFontDescriptorGetTypeID(void);
// [any thread] A descriptor of the attributes (copied). Without a URL attribute, a family name (with the style
// name, when given) is matched against the installed fonts; the file of the matching face of that family becomes
// the URL attribute. An unknown family leaves the descriptor without a URL. Null for a null dictionary.
CF_EXPORT CTFontDescriptorRef CTFontDescriptorCreateWithAttributes(CFDictionaryRef attributes);
// One attribute's value; caller owns. Null when the descriptor lacks it.
CF_EXPORT CFTypeRef CTFontDescriptorCopyAttribute(CTFontDescriptorRef descriptor, CFStringRef attribute);
// All attributes (with the resolved URL); caller owns.
CF_EXPORT CFDictionaryRef CTFontDescriptorCopyAttributes(CTFontDescriptorRef descriptor);

CF_EXTERN_C_END

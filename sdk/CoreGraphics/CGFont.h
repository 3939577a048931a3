// CoreGraphics fonts (CGFont): a font file's first face, made from a data provider.
#pragma once

#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGDataProvider.h>

typedef struct CGFont* CGFontRef;

CF_EXTERN_C_BEGIN

CF_EXPORT CFTypeID CGFontGetTypeID(void);
// [any thread] Null when the provider is null or its bytes are not a font (TrueType, OpenType or a collection).
// The font keeps the provider.
CF_EXPORT CGFontRef CGFontCreateWithDataProvider(CGDataProviderRef provider);
CF_EXPORT int CGFontGetUnitsPerEm(CGFontRef font);
// The PostScript name; caller owns. Null for a null font or a font without one.
CF_EXPORT CFStringRef CGFontCopyPostScriptName(CGFontRef font);
// Null-tolerant retain/release.
CF_EXPORT CGFontRef CGFontRetain(CGFontRef font);
CF_EXPORT void CGFontRelease(CGFontRef font);

CF_EXTERN_C_END

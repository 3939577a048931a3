// CoreText fonts (CTFont): a font face at a point size.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <CoreText/CTFontDescriptor.h>

typedef const struct __CTFont* CTFontRef;

CF_EXTERN_C_BEGIN

CF_EXPORT CFTypeID CTFontGetTypeID(void);
// [any thread] A font of the graphics font at size points (0: the default size, 12). The matrix and the extra
// attributes are not used. Null for a null graphics font.
CF_EXPORT CTFontRef CTFontCreateWithGraphicsFont(CGFontRef graphicsFont, CGFloat size, const CGAffineTransform* matrix,
                                                 CTFontDescriptorRef attributes);
// The font's descriptor: family, style and PostScript names, and the URL of its file when it came from one.
// Caller owns. Null for a null font.
CF_EXPORT CTFontDescriptorRef CTFontCopyFontDescriptor(CTFontRef font);
CF_EXPORT CGFloat CTFontGetSize(CTFontRef font);
// Caller owns; null for a null font.
CF_EXPORT CFStringRef CTFontCopyFamilyName(CTFontRef font);

CF_EXTERN_C_END

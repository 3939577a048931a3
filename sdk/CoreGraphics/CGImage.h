// CoreGraphics bitmaps: colour spaces, colours, images and bitmap contexts — the part that cursors and the
// graphics-context bridge of AppKit use.
//
// Stand-in: 8-bit RGBA (premultiplied, alpha last or first) in device RGB. Transforms are kept but only their
// scale and translation act on image drawing.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGGeometry.h>

typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGColor* CGColorRef;
typedef struct CGImage* CGImageRef;
typedef struct CGContext* CGContextRef;

typedef uint32_t CGBitmapInfo;
enum : uint32_t
{
  kCGImageAlphaNone = 0,
  kCGImageAlphaPremultipliedLast = 1,
  kCGImageAlphaPremultipliedFirst = 2,
  kCGImageAlphaLast = 3,
  kCGImageAlphaFirst = 4,
  kCGImageAlphaNoneSkipLast = 5,
  kCGImageAlphaNoneSkipFirst = 6,
  kCGBitmapAlphaInfoMask = 0x1F,
  kCGBitmapByteOrderDefault = 0,
  kCGBitmapByteOrder32Little = 2 << 12,
  kCGBitmapByteOrder32Big = 4 << 12,
};

CF_EXTERN_C_BEGIN

// Null-tolerant; each Create/Copy answer is owned by the caller.
CF_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
CF_EXPORT CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
CF_EXPORT void CGColorSpaceRelease(CGColorSpaceRef space);

// Components are clamped to 0…1.
CF_EXPORT CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
// components: red, green, blue, alpha. Null for a null space or components.
CF_EXPORT CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CF_EXPORT size_t CGColorGetNumberOfComponents(CGColorRef color);
CF_EXPORT const CGFloat* CGColorGetComponents(CGColorRef color);
CF_EXPORT CGColorRef CGColorRetain(CGColorRef color);
CF_EXPORT void CGColorRelease(CGColorRef color);

CF_EXPORT size_t CGImageGetWidth(CGImageRef image);
CF_EXPORT size_t CGImageGetHeight(CGImageRef image);
CF_EXPORT size_t CGImageGetBitsPerComponent(CGImageRef image);
CF_EXPORT size_t CGImageGetBytesPerRow(CGImageRef image);
CF_EXPORT CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image);
// Not owned (the image keeps it).
CF_EXPORT CGColorSpaceRef CGImageGetColorSpace(CGImageRef image);
CF_EXPORT CGImageRef CGImageRetain(CGImageRef image);
CF_EXPORT void CGImageRelease(CGImageRef image);

// A bitmap context of 8 bits per component, 4 components (the alpha info must be a premultiplied or skipped
// alpha); data null: the context allocates and clears it; bytesPerRow 0: width × 4. Null for other formats,
// zero or huge sizes (over 2^15 per side) or a null colour space. The origin is at the bottom left.
CF_EXPORT CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                             size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo);
CF_EXPORT void* CGBitmapContextGetData(CGContextRef context);
CF_EXPORT size_t CGBitmapContextGetWidth(CGContextRef context);
CF_EXPORT size_t CGBitmapContextGetHeight(CGContextRef context);
// A copy of the context's pixels. Null for a null context.
CF_EXPORT CGImageRef CGBitmapContextCreateImage(CGContextRef context);
// Draws the image scaled into rect (user space; nearest sample, source-over).
CF_EXPORT void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);
CF_EXPORT void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy);
CF_EXPORT void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty);
CF_EXPORT void CGContextConcatCTM(CGContextRef context, CGAffineTransform transform);
CF_EXPORT CGAffineTransform CGContextGetCTM(CGContextRef context);
CF_EXPORT void CGContextSaveGState(CGContextRef context);
CF_EXPORT void CGContextRestoreGState(CGContextRef context);
// Images drawn afterwards cast a shadow in that colour (null: none), moved by offset (device pixels, y up; the
// CTM does not act on it; rounded to whole pixels here) and blurred by blur (a Gaussian of standard deviation
// blur / 2 here, blur held to 128). Part of the graphics state.
CF_EXPORT void CGContextSetShadowWithColor(CGContextRef context, CGSize offset, CGFloat blur, CGColorRef color);
CF_EXPORT CGContextRef CGContextRetain(CGContextRef context);
CF_EXPORT void CGContextRelease(CGContextRef context);

CF_EXPORT CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CF_EXPORT CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CF_EXPORT const CGAffineTransform CGAffineTransformIdentity;

CF_EXTERN_C_END

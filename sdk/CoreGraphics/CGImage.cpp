// CoreGraphics stand-in: colour spaces, colours, images and 8-bit RGBA bitmap contexts.

#include <CoreGraphics/CoreGraphics.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

struct CGColorSpace
{
  std::atomic<int> refs{1};
};

struct CGColor
{
  std::atomic<int> refs{1};
  CGFloat c[4];
};

struct CGImage
{
  std::atomic<int> refs{1};
  size_t width = 0, height = 0, bytesPerRow = 0;
  CGBitmapInfo info = 0;
  CGColorSpaceRef space = nullptr;
  std::vector<uint8_t> pixels;
};

struct CGContext
{
  struct GState
  {
    CGAffineTransform ctm{1, 0, 0, 1, 0, 0};
    CGSize shadowOffset{0, 0};
    CGFloat shadowBlur = 0;
    CGFloat shadowColor[4] = {0, 0, 0, 0}; // straight RGBA; alpha 0: no shadow
  };
  std::atomic<int> refs{1};
  size_t width = 0, height = 0, bytesPerRow = 0;
  CGBitmapInfo info = 0;
  CGColorSpaceRef space = nullptr;
  uint8_t* data = nullptr;
  std::vector<uint8_t> owned;
  GState state;
  std::vector<GState> saved;
};

const CGAffineTransform CGAffineTransformIdentity = {1, 0, 0, 1, 0, 0};

namespace
{

template <class T>
T* Retain(T* obj)
{
  if (obj) obj->refs.fetch_add(1, std::memory_order_relaxed);
  return obj;
}

template <class T>
bool Drop(T* obj)
{
  return obj && obj->refs.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

CGFloat Clamp01(CGFloat v)
{
  return v < 0 ? 0 : v > 1 ? 1 : (v == v ? v : 0);
}

CGAffineTransform Concat(CGAffineTransform t, CGAffineTransform m)
{
  // m applied first, then t.
  return CGAffineTransform{m.a * t.a + m.b * t.c,         m.a * t.b + m.b * t.d,         m.c * t.a + m.d * t.c,
                           m.c * t.b + m.d * t.d,         m.tx * t.a + m.ty * t.c + t.tx, m.tx * t.b + m.ty * t.d + t.ty};
}

bool SupportedAlpha(uint32_t info)
{
  const uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  return alpha == kCGImageAlphaPremultipliedLast || alpha == kCGImageAlphaPremultipliedFirst ||
         alpha == kCGImageAlphaNoneSkipLast || alpha == kCGImageAlphaNoneSkipFirst;
}

// Channel order of a pixel: indexes of r, g, b, a in the 4 bytes.
void ChannelOrder(uint32_t info, int idx[4])
{
  const uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  const bool first = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaNoneSkipFirst;
  const bool little = (info & 0x7000) == kCGBitmapByteOrder32Little;
  // Big-endian order: ARGB (first) or RGBA (last); 32-bit little endian reverses the bytes.
  int big[4];
  if (first)
    big[0] = 1, big[1] = 2, big[2] = 3, big[3] = 0;
  else
    big[0] = 0, big[1] = 1, big[2] = 2, big[3] = 3;
  for (int c = 0; c < 4; ++c) idx[c] = little ? 3 - big[c] : big[c];
}

} // namespace

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void)
{
  return new CGColorSpace();
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space)
{
  return Retain(space);
}

void CGColorSpaceRelease(CGColorSpaceRef space)
{
  if (Drop(space)) delete space;
}

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
  auto* c = new CGColor();
  c->c[0] = Clamp01(red), c->c[1] = Clamp01(green), c->c[2] = Clamp01(blue), c->c[3] = Clamp01(alpha);
  return c;
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components)
{
  if (!space || !components) return nullptr;
  return CGColorCreateGenericRGB(components[0], components[1], components[2], components[3]);
}

size_t CGColorGetNumberOfComponents(CGColorRef color)
{
  return color ? 4 : 0;
}

const CGFloat* CGColorGetComponents(CGColorRef color)
{
  return color ? color->c : nullptr;
}

CGColorRef CGColorRetain(CGColorRef color)
{
  return Retain(color);
}

void CGColorRelease(CGColorRef color)
{
  if (Drop(color)) delete color;
}

size_t CGImageGetWidth(CGImageRef image) { return image ? image->width : 0; }
size_t CGImageGetHeight(CGImageRef image) { return image ? image->height : 0; }
size_t CGImageGetBitsPerComponent(CGImageRef image) { return image ? 8 : 0; }
size_t CGImageGetBytesPerRow(CGImageRef image) { return image ? image->bytesPerRow : 0; }
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef image) { return image ? image->info : 0; }
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image) { return image ? image->space : nullptr; }

CGImageRef CGImageRetain(CGImageRef image)
{
  return Retain(image);
}

void CGImageRelease(CGImageRef image)
{
  if (Drop(image))
  {
    CGColorSpaceRelease(image->space);
    delete image;
  }
}

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo)
{
  if (!space || bitsPerComponent != 8 || width == 0 || height == 0 || width > 32768 || height > 32768 ||
      !SupportedAlpha(bitmapInfo))
    return nullptr;
  if (bytesPerRow == 0) bytesPerRow = width * 4;
  if (bytesPerRow < width * 4) return nullptr;
  auto* ctx = new CGContext();
  ctx->width = width;
  ctx->height = height;
  ctx->bytesPerRow = bytesPerRow;
  ctx->info = bitmapInfo;
  ctx->space = CGColorSpaceRetain(space);
  if (data)
    ctx->data = static_cast<uint8_t*>(data);
  else
  {
    ctx->owned.assign(bytesPerRow * height, 0);
    ctx->data = ctx->owned.data();
  }
  return ctx;
}

void* CGBitmapContextGetData(CGContextRef context) { return context ? context->data : nullptr; }
size_t CGBitmapContextGetWidth(CGContextRef context) { return context ? context->width : 0; }
size_t CGBitmapContextGetHeight(CGContextRef context) { return context ? context->height : 0; }

CGImageRef CGBitmapContextCreateImage(CGContextRef context)
{
  if (!context) return nullptr;
  auto* image = new CGImage();
  image->width = context->width;
  image->height = context->height;
  image->bytesPerRow = context->bytesPerRow;
  image->info = context->info;
  image->space = CGColorSpaceRetain(context->space);
  image->pixels.assign(context->data, context->data + context->bytesPerRow * context->height);
  return image;
}

namespace
{

// Where an image lands in device pixels: the rectangle it covers and the source pixel for a device pixel.
struct Placement
{
  double left, right, bottom, top; // device space, y up
  long height;                     // of the context (rows run top to bottom)

  // The source pixel under the centre of device pixel (col, row), or false when it lies outside the image.
  bool Source(CGImageRef image, long col, long row, size_t& sx, size_t& sy) const
  {
    const double yc = static_cast<double>(height - 1 - row) + 0.5; // user-space y of the pixel centre
    const double xc = static_cast<double>(col) + 0.5;
    if (yc < bottom || yc >= top || xc < left || xc >= right) return false;
    const double v = (top - yc) / (top - bottom);
    const double u = (xc - left) / (right - left);
    sy = std::min(image->height - 1, static_cast<size_t>(v * static_cast<double>(image->height)));
    sx = std::min(image->width - 1, static_cast<size_t>(u * static_cast<double>(image->width)));
    return true;
  }
};

// Blurs a width × height plane in place with a Gaussian of standard deviation sigma (pixels), rows then columns;
// outside the plane counts as empty.
void GaussianBlur(std::vector<float>& plane, long width, long height, double sigma)
{
  const long radius = static_cast<long>(std::ceil(3.0 * sigma));
  if (radius < 1) return;
  std::vector<float> kernel(static_cast<size_t>(2 * radius + 1));
  double sum = 0;
  for (long i = -radius; i <= radius; ++i)
    sum += kernel[static_cast<size_t>(i + radius)] = static_cast<float>(std::exp(-0.5 * (i * i) / (sigma * sigma)));
  for (float& k : kernel)
    k = static_cast<float>(k / sum);
  std::vector<float> tmp(plane.size());
  auto pass = [&](long n, long lines, long step, long lineStep, const std::vector<float>& in,
                  std::vector<float>& out) {
    for (long line = 0; line < lines; ++line)
      for (long i = 0; i < n; ++i)
      {
        float acc = 0;
        for (long k = std::max(-radius, -i); k <= std::min(radius, n - 1 - i); ++k)
          acc += kernel[static_cast<size_t>(k + radius)] * in[static_cast<size_t>(line * lineStep + (i + k) * step)];
        out[static_cast<size_t>(line * lineStep + i * step)] = acc;
      }
  };
  pass(width, height, 1, width, plane, tmp);
  pass(height, width, width, 1, tmp, plane);
}

// The shadow of the image under the current shadow state: its coverage, blurred (standard deviation blur / 2)
// and moved by the offset (device pixels, y up, rounded to whole pixels), in the shadow colour, source-over.
void DrawShadow(CGContextRef ctx, const Placement& at, CGImageRef image, const int si[4], const int di[4])
{
  const CGContext::GState& g = ctx->state;
  const long w = static_cast<long>(ctx->width), h = static_cast<long>(ctx->height);
  // Offsets beyond the largest context change nothing more; blurs are held to 128 pixels.
  auto whole = [](CGFloat v) { return v == v ? std::lround(std::clamp<CGFloat>(v, -65536, 65536)) : 0L; };
  const long dx = whole(g.shadowOffset.width), dy = -whole(g.shadowOffset.height); // in rows: down
  const double sigma = std::clamp<CGFloat>(g.shadowBlur, 0, 128) / 2.0;
  // The coverage over the context moved back by the offset, with room for the blur to spread in.
  const long pad = static_cast<long>(std::ceil(3.0 * sigma));
  const long mw = w + 2 * pad, mh = h + 2 * pad;
  std::vector<float> mask(static_cast<size_t>(mw * mh), 0.f);
  for (long my = 0; my < mh; ++my)
    for (long mx = 0; mx < mw; ++mx)
    {
      size_t sx = 0, sy = 0;
      if (at.Source(image, mx - pad - dx, my - pad - dy, sx, sy))
        mask[static_cast<size_t>(my * mw + mx)] = image->pixels[sy * image->bytesPerRow + sx * 4 + si[3]] / 255.f;
    }
  GaussianBlur(mask, mw, mh, sigma);
  for (long row = 0; row < h; ++row)
    for (long col = 0; col < w; ++col)
    {
      const double a = g.shadowColor[3] * mask[static_cast<size_t>((row + pad) * mw + col + pad)];
      if (!(a > 0)) continue;
      uint8_t* d = ctx->data + static_cast<size_t>(row) * ctx->bytesPerRow + static_cast<size_t>(col) * 4;
      for (int c = 0; c < 4; ++c)
      {
        const double src = c < 3 ? g.shadowColor[c] * a : a;
        d[di[c]] = static_cast<uint8_t>(std::lround(std::clamp(src * 255.0 + d[di[c]] * (1.0 - a), 0.0, 255.0)));
      }
    }
}

} // namespace

void CGContextDrawImage(CGContextRef ctx, CGRect rect, CGImageRef image)
{
  if (!ctx || !image || image->width == 0 || image->height == 0) return;
  // Device rectangle (scale and translation of the CTM); bitmap rows run top to bottom, user space bottom up.
  const CGAffineTransform& m = ctx->state.ctm;
  const double x0 = m.a * rect.origin.x + m.tx, x1 = m.a * (rect.origin.x + rect.size.width) + m.tx;
  const double y0 = m.d * rect.origin.y + m.ty, y1 = m.d * (rect.origin.y + rect.size.height) + m.ty;
  const Placement at{std::min(x0, x1), std::max(x0, x1), std::min(y0, y1), std::max(y0, y1),
                     static_cast<long>(ctx->height)};
  if (!(at.right > at.left) || !(at.top > at.bottom)) return;
  int si[4], di[4];
  ChannelOrder(image->info, si);
  ChannelOrder(ctx->info, di);
  if (ctx->state.shadowColor[3] > 0) DrawShadow(ctx, at, image, si, di);
  for (long row = 0; row < at.height; ++row)
    for (long col = 0; col < static_cast<long>(ctx->width); ++col)
    {
      size_t sx = 0, sy = 0;
      if (!at.Source(image, col, row, sx, sy)) continue;
      const uint8_t* s = &image->pixels[sy * image->bytesPerRow + sx * 4];
      uint8_t* d = ctx->data + static_cast<size_t>(row) * ctx->bytesPerRow + static_cast<size_t>(col) * 4;
      const unsigned sa = s[si[3]];
      for (int c = 0; c < 4; ++c)
        d[di[c]] = static_cast<uint8_t>(s[si[c]] + (d[di[c]] * (255 - sa) + 127) / 255);
    }
}

void CGContextScaleCTM(CGContextRef ctx, CGFloat sx, CGFloat sy)
{
  if (ctx) ctx->state.ctm = Concat(ctx->state.ctm, CGAffineTransformMakeScale(sx, sy));
}

void CGContextTranslateCTM(CGContextRef ctx, CGFloat tx, CGFloat ty)
{
  if (ctx) ctx->state.ctm = Concat(ctx->state.ctm, CGAffineTransformMakeTranslation(tx, ty));
}

void CGContextConcatCTM(CGContextRef ctx, CGAffineTransform transform)
{
  if (ctx) ctx->state.ctm = Concat(ctx->state.ctm, transform);
}

CGAffineTransform CGContextGetCTM(CGContextRef ctx)
{
  return ctx ? ctx->state.ctm : CGAffineTransformIdentity;
}

void CGContextSaveGState(CGContextRef ctx)
{
  if (ctx) ctx->saved.push_back(ctx->state);
}

void CGContextRestoreGState(CGContextRef ctx)
{
  if (!ctx || ctx->saved.empty()) return;
  ctx->state = ctx->saved.back();
  ctx->saved.pop_back();
}

void CGContextSetShadowWithColor(CGContextRef ctx, CGSize offset, CGFloat blur, CGColorRef color)
{
  if (!ctx) return;
  ctx->state.shadowOffset = offset;
  ctx->state.shadowBlur = blur > 0 ? blur : 0;
  // A null colour turns the shadow off.
  for (int c = 0; c < 4; ++c)
    ctx->state.shadowColor[c] = color ? color->c[c] : 0;
}

CGContextRef CGContextRetain(CGContextRef context)
{
  return Retain(context);
}

void CGContextRelease(CGContextRef context)
{
  if (Drop(context))
  {
    CGColorSpaceRelease(context->space);
    delete context;
  }
}

CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy)
{
  return CGAffineTransform{sx, 0, 0, sy, 0, 0};
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty)
{
  return CGAffineTransform{1, 0, 0, 1, tx, ty};
}

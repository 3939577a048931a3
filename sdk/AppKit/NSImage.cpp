// AppKit stand-in: NSImage (PNG files), NSBitmapImageRep and NSGraphicsContext.

#include <AppKit/AppKit_p.h>
#include <CoreFoundation/CFInternal.h>

#include <cmath>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// ---------------------------------------------------------------------------------------------------------------
// NSBitmapImageRep
// ---------------------------------------------------------------------------------------------------------------

NSBitmapImageRep* NSBitmapImageRep::initWithCGImage(CGImageRef image)
{
  if (!image)
  {
    release();
    return nullptr;
  }
  CGImageRetain(image);
  CGImageRelease(mImage);
  mImage = image;
  mPixelsWide = static_cast<NSInteger>(CGImageGetWidth(image));
  mPixelsHigh = static_cast<NSInteger>(CGImageGetHeight(image));
  mSize = NSMakeSize(mPixelsWide, mPixelsHigh);
  return this;
}

NSBitmapImageRep::~NSBitmapImageRep()
{
  CGImageRelease(mImage);
}

// ---------------------------------------------------------------------------------------------------------------
// NSImage
// ---------------------------------------------------------------------------------------------------------------

NSImage* NSImage::initWithSize(NSSize size)
{
  mSize = size;
  return this;
}

NSImage* NSImage::initByReferencingFile(NSString* path)
{
  int w = 0, h = 0, n = 0;
  stbi_uc* pixels = path ? stbi_load(zqcf::FileSystemPath(path->UTF8String()).c_str(), &w, &h, &n, 4) : nullptr;
  if (!pixels || w <= 0 || h <= 0 || w > 32768 || h > 32768)
  {
    if (pixels) stbi_image_free(pixels);
    release();
    return nullptr;
  }
  // Premultiply into a bitmap context, as the platform keeps bitmaps.
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(nullptr, static_cast<size_t>(w), static_cast<size_t>(h), 8, 0, space,
                                           kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (!ctx)
  {
    stbi_image_free(pixels);
    release();
    return nullptr;
  }
  auto* dst = static_cast<uint8_t*>(CGBitmapContextGetData(ctx));
  const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (size_t i = 0; i < count; ++i)
  {
    const uint8_t a = pixels[i * 4 + 3];
    for (int c = 0; c < 3; ++c) dst[i * 4 + c] = static_cast<uint8_t>((pixels[i * 4 + c] * a + 127) / 255);
    dst[i * 4 + 3] = a;
  }
  stbi_image_free(pixels);
  CGImageRef image = CGBitmapContextCreateImage(ctx);
  CGContextRelease(ctx);
  NSBitmapImageRep* rep = (new NSBitmapImageRep())->initWithCGImage(image);
  CGImageRelease(image);
  if (!rep)
  {
    release();
    return nullptr;
  }
  addRepresentation(rep);
  rep->release();
  mSize = NSMakeSize(w, h);
  return this;
}

NSImage::~NSImage()
{
  for (NSImageRep* r : mReps) r->release();
  for (CGImageRef i : mMadeImages) CGImageRelease(i);
}

void NSImage::addRepresentation(NSImageRep* rep)
{
  if (rep) mReps.push_back(static_cast<NSImageRep*>(rep->retain()));
}

NSArray* NSImage::representations() const
{
  std::vector<NSObject*> objs(mReps.begin(), mReps.end());
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}

CGImageRef NSImage::CGImageForProposedRect_context_hints(NSRect* proposedRect, NSGraphicsContext* context, NSDictionary*)
{
  const NSSize pts = proposedRect ? proposedRect->size : mSize;
  CGFloat scale = 1.0;
  if (context && context->CGContext())
  {
    const CGAffineTransform m = CGContextGetCTM(context->CGContext());
    scale = std::sqrt(m.a * m.a + m.b * m.b);
    if (!(scale > 0)) scale = 1.0;
  }
  const size_t tw = static_cast<size_t>(std::lround(pts.width * scale));
  const size_t th = static_cast<size_t>(std::lround(pts.height * scale));
  // The smallest bitmap at least as large as wanted, else the largest.
  NSBitmapImageRep* best = nullptr;
  for (NSImageRep* r : mReps)
  {
    auto* b = dynamic_cast<NSBitmapImageRep*>(r);
    if (!b || !b->CGImage()) continue;
    const bool big = size_t(b->pixelsWide()) >= tw && size_t(b->pixelsHigh()) >= th;
    const bool bestBig = best && size_t(best->pixelsWide()) >= tw && size_t(best->pixelsHigh()) >= th;
    if (!best || (big && (!bestBig || b->pixelsWide() < best->pixelsWide())) ||
        (!big && !bestBig && b->pixelsWide() > best->pixelsWide()))
      best = b;
  }
  if (!best) return nullptr;
  if (tw == 0 || th == 0 || (size_t(best->pixelsWide()) == tw && size_t(best->pixelsHigh()) == th))
    return best->CGImage();
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(nullptr, tw, th, 8, 0, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (!ctx) return nullptr;
  CGContextDrawImage(ctx, CGRectMake(0, 0, tw, th), best->CGImage());
  CGImageRef made = CGBitmapContextCreateImage(ctx);
  CGContextRelease(ctx);
  if (made) mMadeImages.push_back(made);
  return made;
}

// ---------------------------------------------------------------------------------------------------------------
// NSGraphicsContext
// ---------------------------------------------------------------------------------------------------------------

namespace
{

NSGraphicsContext*& Current()
{
  thread_local NSGraphicsContext* current = nullptr;
  return current;
}

} // namespace

NSGraphicsContext* NSGraphicsContext::currentContext()
{
  return Current();
}

void NSGraphicsContext::setCurrentContext(NSGraphicsContext* context)
{
  zqak::Assign(Current(), context);
}

NSGraphicsContext* NSGraphicsContext::graphicsContextWithCGContext_flipped(CGContextRef context, BOOL flipped)
{
  if (!context) return nullptr;
  auto* g = new NSGraphicsContext();
  g->mContext = CGContextRetain(context);
  g->mFlipped = flipped;
  return static_cast<NSGraphicsContext*>(g->autorelease());
}

NSGraphicsContext::~NSGraphicsContext()
{
  CGContextRelease(mContext);
}

// QuartzCore stand-in: layers, the Metal layer and its drawables, PNG read-back.

#include <QuartzCore/QuartzCore.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

CALayer* CALayer::layer()
{
  auto* l = new CALayer();
  l->autorelease();
  return l;
}

// ---------------------------------------------------------------------------------------------------------------
// Drawables
// ---------------------------------------------------------------------------------------------------------------

CAMetalDrawable::CAMetalDrawable(CAMetalLayer* layer, MTLTexture* texture) : mLayer(layer), mTexture(texture)
{
  mLayer->retain();
}

CAMetalDrawable::~CAMetalDrawable()
{
  mTexture->release();
  mLayer->release();
}

void CAMetalDrawable::present()
{
  mLayer->Present(mTexture);
}

// ---------------------------------------------------------------------------------------------------------------
// CAMetalLayer
// ---------------------------------------------------------------------------------------------------------------

CAMetalLayer* CAMetalLayer::layer()
{
  auto* l = new CAMetalLayer();
  l->autorelease();
  return l;
}

CAMetalLayer::~CAMetalLayer()
{
  if (mDevice) mDevice->release();
  if (mLastPresented) mLastPresented->release();
  for (MTLTexture* t : mPool)
    if (t) t->release();
}

MTLDevice* CAMetalLayer::device() const
{
  std::lock_guard lock(mMutex);
  return mDevice;
}

void CAMetalLayer::setDevice(MTLDevice* device)
{
  if (device) device->retain();
  MTLDevice* old;
  {
    std::lock_guard lock(mMutex);
    old = mDevice;
    mDevice = device;
  }
  if (old) old->release();
}

MTLPixelFormat CAMetalLayer::pixelFormat() const
{
  std::lock_guard lock(mMutex);
  return mPixelFormat;
}

void CAMetalLayer::setPixelFormat(MTLPixelFormat format)
{
  if (format != MTLPixelFormatBGRA8Unorm && format != MTLPixelFormatBGRA8Unorm_sRGB &&
      format != MTLPixelFormatRGBA8Unorm && format != MTLPixelFormatRGBA8Unorm_sRGB)
    return;
  std::lock_guard lock(mMutex);
  mPixelFormat = format;
}

CGSize CAMetalLayer::drawableSize() const
{
  std::lock_guard lock(mMutex);
  return CGSize{(CGFloat)mWidth, (CGFloat)mHeight};
}

void CAMetalLayer::setDrawableSize(CGSize size)
{
  auto side = [](CGFloat v) -> NSUInteger {
    if (!std::isfinite(v) || v < 1.0) return 0;
    return v > 16384.0 ? 16384 : (NSUInteger)v;
  };
  std::lock_guard lock(mMutex);
  mWidth = side(size.width);
  mHeight = side(size.height);
}

CAMetalDrawable* CAMetalLayer::nextDrawable()
{
  MTLDevice* device;
  MTLPixelFormat format;
  NSUInteger w, h;
  {
    std::lock_guard lock(mMutex);
    device = mDevice;
    format = mPixelFormat;
    w = mWidth, h = mHeight;
    if (!device || w == 0 || h == 0) return nullptr;
    device->retain();
  }
  const NSUInteger usage =
    MTLTextureUsageRenderTarget | (mFramebufferOnly ? 0u : (NSUInteger)MTLTextureUsageShaderRead);
  // A kept texture of the same kind that only the pool still holds: no drawable, presentation or command buffer
  // can reach it, so nothing else touches it while it is cleared here.
  MTLTexture* texture = nullptr;
  {
    std::lock_guard lock(mMutex);
    for (MTLTexture*& t : mPool)
    {
      if (!t || t->retainCount() != 1) continue;
      if (t->device() != device || t->pixelFormat() != format || t->width() != w || t->height() != h ||
          t->usage() != usage)
      {
        t->release();
        t = nullptr;
        continue;
      }
      texture = t;
      texture->retain();
      break;
    }
  }
  if (texture)
  {
    // The count was read with acquire ordering: the last other holder's writes are seen before the clear. The
    // zeros are owed row by row: a frame that copies over the whole drawable pays next to nothing for them.
    texture->OweZeroRows();
  }
  else
  {
    MTLTextureDescriptor* d =
      MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(format, w, h, NO);
    d->setUsage(usage);
    texture = device->newTextureWithDescriptor(d);
    if (texture)
    {
      std::lock_guard lock(mMutex);
      for (MTLTexture*& t : mPool)
        if (!t)
        {
          t = texture;
          t->retain();
          break;
        }
    }
  }
  device->release();
  if (!texture) return nullptr;
  auto* drawable = new CAMetalDrawable(this, texture);
  drawable->autorelease();
  return drawable;
}

void CAMetalLayer::Present(MTLTexture* texture)
{
  texture->retain();
  MTLTexture* old;
  {
    std::lock_guard lock(mMutex);
    old = mLastPresented;
    mLastPresented = texture;
    ++mPresented;
  }
  if (old) old->release();
}

MTLTexture* CAMetalLayer::copyLastPresentedTexture() const
{
  std::lock_guard lock(mMutex);
  if (mLastPresented) mLastPresented->retain();
  return mLastPresented;
}

NSUInteger CAMetalLayer::presentedCount() const
{
  std::lock_guard lock(mMutex);
  return mPresented;
}

BOOL CAMetalLayer::writeLastFrameToPNG(const char* path) const
{
  MTLTexture* t = copyLastPresentedTexture();
  if (!t) return NO;
  const BOOL ok = CAWriteTexturePNG(t, path, YES);
  t->release();
  return ok;
}

BOOL CAWriteTexturePNG(MTLTexture* texture, const char* path, BOOL premultiplied)
{
  if (!texture || !path) return NO;
  const MTLPixelFormat f = texture->pixelFormat();
  const NSUInteger bpp = MTLPixelFormatBytesPerPixel(f);
  if (bpp == 0 || f == MTLPixelFormatStencil8) return NO;
  const NSUInteger w = texture->width(), h = texture->height();
  std::vector<uint8_t> raw(w * h * bpp), rgba(w * h * 4);
  texture->getBytes_bytesPerRow_fromRegion_mipmapLevel(raw.data(), w * bpp, MTLRegionMake2D(0, 0, w, h), 0);
  const bool bgra = f == MTLPixelFormatBGRA8Unorm || f == MTLPixelFormatBGRA8Unorm_sRGB;
  for (NSUInteger i = 0; i < w * h; ++i)
  {
    uint8_t* o = &rgba[i * 4];
    const uint8_t* p = &raw[i * bpp];
    if (bpp == 1)
    {
      const uint8_t v = p[0];
      if (f == MTLPixelFormatA8Unorm)
        o[0] = o[1] = o[2] = 0, o[3] = v;
      else
        o[0] = o[1] = o[2] = v, o[3] = 255;
      continue;
    }
    o[0] = bgra ? p[2] : p[0], o[1] = p[1], o[2] = bgra ? p[0] : p[2], o[3] = p[3];
    if (premultiplied && o[3] != 0 && o[3] != 255)
      for (int c = 0; c < 3; ++c) o[c] = (uint8_t)std::min(255, (o[c] * 255 + o[3] / 2) / o[3]);
  }
  return stbi_write_png(path, (int)w, (int)h, 4, rgba.data(), (int)(w * 4)) ? YES : NO;
}

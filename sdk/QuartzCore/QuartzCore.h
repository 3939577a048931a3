// QuartzCore (Core Animation): layers, and the Metal layer that hands out drawables and shows what is presented.
//
// Stand-in: nothing is composited on a screen. A Metal layer keeps the texture of the last presented drawable,
// which hosts and tests read back or save as PNG.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/Foundation.h>
#include <Metal/Metal.h>

#include <mutex>

// ---- CALayer: the properties the editor uses ----
class CALayer : public NSObject
{
public:
  CALayer() = default;
  // Autoreleased.
  static CALayer* layer();

  CGFloat contentsScale() const { return mContentsScale; }
  void setContentsScale(CGFloat s) { mContentsScale = s; }
  BOOL isOpaque() const { return mOpaque; }
  BOOL opaque() const { return mOpaque; }
  void setOpaque(BOOL o) { mOpaque = o; }
  float opacity() const { return mOpacity; }
  void setOpacity(float o) { mOpacity = o; }
  CGRect frame() const { return mFrame; }
  void setFrame(CGRect f) { mFrame = f; }

private:
  CGFloat mContentsScale = 1.0;
  BOOL mOpaque = NO;
  float mOpacity = 1.0f;
  CGRect mFrame{{0, 0}, {0, 0}};
};

class CAMetalLayer;

// ---- A drawable of a Metal layer ----
class CAMetalDrawable : public MTLDrawable
{
public:
  MTLTexture* texture() const { return mTexture; }
  CAMetalLayer* layer() const { return mLayer; }
  // Makes the texture the layer's shown content. [any thread]
  void present() override;

protected:
  ~CAMetalDrawable() override;

private:
  friend class CAMetalLayer;
  CAMetalDrawable(CAMetalLayer* layer, MTLTexture* texture);
  CAMetalLayer* mLayer;  // retained
  MTLTexture* mTexture;  // owned
};

// ---- CAMetalLayer ----
class CAMetalLayer : public CALayer
{
public:
  CAMetalLayer() = default;
  // Autoreleased.
  static CAMetalLayer* layer();

  // Retained; nil allowed.
  MTLDevice* device() const;
  void setDevice(MTLDevice* device);
  // BGRA8Unorm (the default), RGBA8Unorm or their sRGB forms; other formats are ignored.
  MTLPixelFormat pixelFormat() const;
  void setPixelFormat(MTLPixelFormat format);
  // In pixels; fractions are dropped.
  CGSize drawableSize() const;
  void setDrawableSize(CGSize size);
  BOOL framebufferOnly() const { return mFramebufferOnly; }
  void setFramebufferOnly(BOOL b) { mFramebufferOnly = b; }
  BOOL presentsWithTransaction() const { return mPresentsWithTransaction; }
  void setPresentsWithTransaction(BOOL b) { mPresentsWithTransaction = b; }
  NSUInteger maximumDrawableCount() const { return 3; }

  // A drawable with a texture of the drawable size and pixel format, cleared to transparent black: one of up to
  // maximumDrawableCount() kept textures that nothing else holds any more, else a new one.
  // Autoreleased. Nil without a device, with a zero or non-finite drawable side, or when the texture cannot
  // be made (as the platform answers nil when no drawable is available).
  CAMetalDrawable* nextDrawable();

  // Stand-in extensions for hosts and tests.
  // The texture of the last presented drawable (nil before the first), retained: the caller releases it.
  MTLTexture* copyLastPresentedTexture() const;
  // Number of drawables presented so far.
  NSUInteger presentedCount() const;
  // Writes the last presented frame as an 8-bit RGBA PNG (colours un-premultiplied). NO when there is none or
  // the file cannot be written.
  BOOL writeLastFrameToPNG(const char* path) const;

protected:
  ~CAMetalLayer() override;

private:
  friend class CAMetalDrawable;
  void Present(MTLTexture* texture);

  mutable std::mutex mMutex;
  MTLDevice* mDevice = nullptr;
  MTLPixelFormat mPixelFormat = MTLPixelFormatBGRA8Unorm;
  NSUInteger mWidth = 0, mHeight = 0;
  BOOL mFramebufferOnly = YES;
  BOOL mPresentsWithTransaction = NO;
  MTLTexture* mLastPresented = nullptr;
  NSUInteger mPresented = 0;
  MTLTexture* mPool[3] = {};  // retained; reused once only the pool holds one
};

// Writes a colour texture's level 0 as an 8-bit RGBA PNG (premultiplied colours un-premultiplied; R8 as grey).
// NO for null, a format other than RGBA8/BGRA8/R8/A8, or a file that cannot be written.
BOOL CAWriteTexturePNG(MTLTexture* texture, const char* path, BOOL premultiplied);

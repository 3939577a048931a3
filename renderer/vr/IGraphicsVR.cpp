#include "renderer/vr/IGraphicsVR.h"

#include "platform/mac/MVRcontext.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace plugin::igraphics
{

namespace
{
// Anti-aliasing on; bit 13 is the back end's own.
constexpr int kContextFlags = 0x2001;
// Resource locations as the resource code reports them.
constexpr int kLocationAbsolutePath = 1;
constexpr int kLocationPreloadedTexture = 3;
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Bitmap
// ---------------------------------------------------------------------------------------------------------------

IGraphicsVR::Bitmap::Bitmap(VRcontext* ctx, int image, float scale, bool shared) : mVG(ctx), mSharedTexture(shared)
{
  int w = 0, h = 0;
  // Image 0 is a failed load: it keeps size 0 rather than whatever the renderer leaves in w and h.
  if (ctx && image > 0) vrImageSize(ctx, image, &w, &h);
  mHandle = image;
  mWidth = std::max(w, 0);
  mHeight = std::max(h, 0);
  mScale = scale;
  mDrawScale = 1.f;
}

IGraphicsVR::Bitmap::Bitmap(IGraphicsVR* owner, VRcontext* ctx, int width, int height, float scale, float drawScale)
    : mOwner(owner), mVG(ctx)
{
  mScale = scale;
  mDrawScale = drawScale;
  mFBO = ctx ? mvrCreateFramebuffer(ctx, width, height, 0) : nullptr;
  if (!mFBO) return;
  mvrBindFramebuffer(mFBO);
  mvrClearWithColor(ctx, vrRGBAf(0.f, 0.f, 0.f, 0.f));
  // An empty frame carries the clear out.
  vrBeginFrame(ctx, static_cast<float>(width), static_cast<float>(height), 1.f);
  vrEndFrame(ctx);
  mHandle = mFBO->image;
  mWidth = width;
  mHeight = height;
}

IGraphicsVR::Bitmap::Bitmap(VRcontext* ctx, int width, int height, int imageFlags, const uint8_t* pixels, float scale,
                            float drawScale)
    : mVG(ctx)
{
  mScale = scale;
  mDrawScale = drawScale;
  mHandle = (ctx && pixels) ? vrCreateImageRGBA(ctx, width, height, imageFlags, pixels) : 0;
  if (mHandle > 0)
  {
    mWidth = width;
    mHeight = height;
  }
}

IGraphicsVR::Bitmap::~Bitmap()
{
  if (mSharedTexture) return;
  if (mFBO)
  {
    if (mOwner)
      mOwner->ReleaseImage(mFBO);
    else
      mvrDeleteFramebuffer(mFBO);
  }
  else if (mHandle > 0 && mVG)
    vrDeleteImage(mVG, mHandle);
}

// ---------------------------------------------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------------------------------------------

IGraphicsVR::IGraphicsVR(IGEditorDelegate& dlg, int w, int h, int fps, float scale) : IGraphics(dlg, w, h, fps, scale)
{
  FontDataCache().Retain();
}

IGraphicsVR::~IGraphicsVR()
{
  {
    auto fontLock = FontDataCache().Lock();
    FontDataCache().Release();
    mInFrame = false;
    ClearFBOStack();
  }
  mBitmapCache.Clear();
  // A view that was never torn down still holds the renderer: release it rather than leak it.
  if (mVG)
  {
    if (mMainFrameBuffer) mvrDeleteFramebuffer(mMainFrameBuffer);
    mMainFrameBuffer = nullptr;
    vrDeleteMTL(mVG);
    mVG = nullptr;
  }
}

void IGraphicsVR::OnViewInitialized(void* platformLayer)
{
  mVG = platformLayer ? vrCreateMTL(static_cast<CAMetalLayer*>(platformLayer), kContextFlags) : nullptr;
  SetDrawContextReady(false);
  if (mVG) SetDrawContextReady(true);
}

void IGraphicsVR::OnViewDestroyed()
{
  // No frame survives the view: framebuffers released from here on are deleted at once, while the context lives.
  if (mInFrame && mVG) vrCancelFrame(mVG);
  mInFrame = false;
  RemoveAllControls();
  auto lock = mBitmapCache.Lock();
  mBitmapCache.Clear();
  ClearFBOStack();
  if (mMainFrameBuffer) mvrDeleteFramebuffer(mMainFrameBuffer);
  mMainFrameBuffer = nullptr;
  if (mVG) vrDeleteMTL(mVG);
  mVG = nullptr;
  SetDrawContextReady(false);
}

void IGraphicsVR::DrawResize()
{
  ActivateGLContext();
  if (mMainFrameBuffer) mvrDeleteFramebuffer(mMainFrameBuffer);
  mMainFrameBuffer = nullptr;
  if (mVG)
  {
    const int w = static_cast<int>(static_cast<float>(WindowPixelsW()) * GetScreenScale());
    const int h = static_cast<int>(static_cast<float>(WindowPixelsH()) * GetScreenScale());
    mMainFrameBuffer = mvrCreateFramebuffer(mVG, w, h, 0);
  }
  DeactivateGLContext();
}

// ---------------------------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------------------------

int IGraphicsVR::WindowPixelsW() const
{
  return static_cast<int>(static_cast<float>(Width()) * GetDrawScale());
}

int IGraphicsVR::WindowPixelsH() const
{
  return static_cast<int>(static_cast<float>(Height()) * GetDrawScale());
}

void IGraphicsVR::BindMainFrame()
{
  mvrBindFramebuffer(mMainFrameBuffer);
  vrBeginFrame(mVG, static_cast<float>(WindowPixelsW()), static_cast<float>(WindowPixelsH()), GetScreenScale());
}

void IGraphicsVR::BeginFrame()
{
  mInFrame = true;
  IGraphics::BeginFrame();
  if (!mVG) return;
  BindMainFrame();
}

void IGraphicsVR::EndFrame()
{
  if (!mVG)
  {
    mInFrame = false;
    return;
  }
  const float w = static_cast<float>(WindowPixelsW()), h = static_cast<float>(WindowPixelsH());
  vrEndFrame(mVG);
  mvrBindFramebuffer(nullptr);
  vrBeginFrame(mVG, w, h, GetScreenScale());
  if (mMainFrameBuffer)
  {
    const VRpaint paint = vrImagePattern(mVG, 0.f, 0.f, w, h, 0.f, mMainFrameBuffer->image, 1.f);
    vrSave(mVG);
    vrResetTransform(mVG);
    vrBeginPath(mVG);
    vrRect(mVG, 0.f, 0.f, w, h);
    vrFillPaint(mVG, paint);
    vrFill(mVG);
    vrRestore(mVG);
  }
  vrEndFrame(mVG);
  // Also without a main framebuffer the frame is over: releases must not stay queued for ever.
  mInFrame = false;
  ClearFBOStack();
}

void IGraphicsVR::UpdateLayer()
{
  if (!mVG) return;
  vrEndFrame(mVG);
  BindMainFrame();
}

// ---------------------------------------------------------------------------------------------------------------
// Framebuffers
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsVR::ReleaseImage(MVRframebuffer* fb)
{
  if (!fb) return;
  if (!mVG || fb->ctx != mVG)
  {
    // Its context is gone, and its texture with it: only the record is left.
    fb->image = 0;
    mvrDeleteFramebuffer(fb);
    return;
  }
  if (mInFrame)
  {
    std::lock_guard lock(mFBOMutex);
    mFBOStack.push_back(fb);
  }
  else
    mvrDeleteFramebuffer(fb);
}

void IGraphicsVR::ClearFBOStack()
{
  std::lock_guard lock(mFBOMutex);
  while (!mFBOStack.empty())
  {
    MVRframebuffer* fb = mFBOStack.back();
    mFBOStack.pop_back();
    if (!mVG || fb->ctx != mVG) fb->image = 0;
    mvrDeleteFramebuffer(fb);
  }
}

int IGraphicsVR::NQueuedFramebuffers() const
{
  std::lock_guard lock(mFBOMutex);
  return static_cast<int>(mFBOStack.size());
}

// ---------------------------------------------------------------------------------------------------------------
// Bitmaps
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsVR::BitmapExtSupported(const char* ext)
{
  if (!ext) return false;
  std::string lower(ext);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("png") != std::string::npos || lower.find("jpg") != std::string::npos ||
         lower.find("jpeg") != std::string::npos;
}

APIBitmap* IGraphicsVR::LoadAPIBitmap(const char* fileNameOrResID, int scale, int location, const char*)
{
  int image = 0;
  if (location == kLocationAbsolutePath && fileNameOrResID && mVG)
  {
    ActivateGLContext();
    image = vrCreateImage(mVG, fileNameOrResID, 0);
    DeactivateGLContext();
  }
  return new Bitmap(mVG, image, static_cast<float>(scale), location == kLocationPreloadedTexture);
}

APIBitmap* IGraphicsVR::LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale)
{
  auto lock = mBitmapCache.Lock();
  if (APIBitmap* cached = mBitmapCache.Find(name, scale)) return cached;
  int image = 0;
  if (mVG && data && dataSize > 0)
  {
    ActivateGLContext();
    image = vrCreateImageMem(mVG, 0, static_cast<const unsigned char*>(data), dataSize);
    DeactivateGLContext();
  }
  auto* bitmap = new Bitmap(mVG, image, static_cast<float>(scale), false);
  mBitmapCache.Add(bitmap, name, scale);
  return bitmap;
}

APIBitmap* IGraphicsVR::CreateAPIBitmap(int width, int height, float scale, double drawScale)
{
  if (mInFrame && mVG) vrEndFrame(mVG);
  auto* bitmap = new Bitmap(this, mVG, width, height, static_cast<float>(static_cast<int>(scale)),
                            static_cast<float>(drawScale));
  if (mInFrame && mVG) BindMainFrame();
  return bitmap;
}

// ---------------------------------------------------------------------------------------------------------------
// Layers (their pixels are premultiplied, as the framebuffers hold them)
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsVR::GetLayerBitmapData(const ILayerPtr&, RawBitmapData&) {}
void IGraphicsVR::ApplyShadowMask(ILayerPtr&, RawBitmapData&, const IShadow&) {}
void IGraphicsVR::SetLayerBitmapData(const ILayerPtr&, const RawBitmapData&) {}

// ---------------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsVR::LoadAPIFont(const char* fontID, PlatformFont& font)
{
  if (!mVG || !fontID) return false;
  StaticStorage<IFontData>& cache = FontDataCache();
  auto lock = cache.Lock();
  // The renderer never frees the bytes (free-data 0): the cache owns them.
  if (IFontData* cached = cache.Find(fontID, 1.0))
    return vrCreateFontMemAtIndex(mVG, fontID, const_cast<uint8_t*>(cached->Get()), cached->GetSize(),
                                  cached->GetFaceIdx(), 0) != -1;

  IFontDataPtr data = font.GetFontData();
  if (!data || !data->IsValid()) return false;
  if (vrCreateFontMemAtIndex(mVG, fontID, const_cast<uint8_t*>(data->Get()), data->GetSize(), data->GetFaceIdx(),
                             0) == -1)
    return false;
  cache.Add(data.release(), fontID, 1.0);
  return true;
}

} // namespace plugin::igraphics

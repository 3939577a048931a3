#include "renderer/vr/IGraphicsVR.h"

#include "platform/mac/MVRcontext.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

namespace plugin::igraphics
{

namespace
{
// Anti-aliasing on; bit 13 is the back end's own.
constexpr int kContextFlags = 0x2001;
// A texture the platform preloaded: the bitmap shares it.
constexpr int kLocationPreloadedTexture = 3;

// The text after the last "." of name (the whole name when there is none).
const char* ExtensionOf(const char* name)
{
  const char* dot = std::strrchr(name, '.');
  return dot ? dot + 1 : name;
}
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
  // Controls own layers, whose framebuffers come back here: they go while this object is whole.
  RemoveAllControls();
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
  mFrameGoesNowhere = false;
  mResizedInFrame = false;
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
  // Inside a frame the main framebuffer stays until EndFrame: deleting it here would send the rest of the frame
  // to the screen, and what was drawn so far belongs to the old size anyway.
  if (mInFrame && mVG)
  {
    mResizedInFrame = true;
    return;
  }
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
  // Without a main framebuffer the binding is the screen, which only EndFrame presents to. After a resize the
  // frame will not be presented: what follows is dropped.
  mFrameGoesNowhere = !mMainFrameBuffer || mResizedInFrame;
  vrBeginFrame(mVG, static_cast<float>(WindowPixelsW()), static_cast<float>(WindowPixelsH()), GetScreenScale());
}

void IGraphicsVR::EndTargetFrame()
{
  if (mFrameGoesNowhere)
    vrCancelFrame(mVG);
  else
    vrEndFrame(mVG);
  mFrameGoesNowhere = false;
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
  if (mResizedInFrame)
  {
    CancelResizedFrame();
    return;
  }
  const float w = static_cast<float>(WindowPixelsW()), h = static_cast<float>(WindowPixelsH());
  EndTargetFrame();
  mvrBindFramebuffer(nullptr);
  vrBeginFrame(mVG, w, h, GetScreenScale());
  if (mMainFrameBuffer)
  {
    const VRpaint paint = vrImagePattern(mVG, 0.f, 0.f, w, h, 0.f, mMainFrameBuffer->image, 1.f);
    vrSave(mVG);
    vrResetTransform(mVG);
    // The drawable starts transparent, so replacing gives the same bytes as blending over it, only cheaper.
    vrGlobalCompositeBlendFunc(mVG, VR_ONE, VR_ZERO);
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

void IGraphicsVR::CancelResizedFrame()
{
  // Nothing of a frame drawn across a resize reaches the window, neither its first part nor an empty new
  // framebuffer: it is cancelled, the framebuffer replaced, and the next frame draws every control again.
  mFrameGoesNowhere = true;
  EndTargetFrame();
  mvrBindFramebuffer(nullptr);
  mInFrame = false;
  mResizedInFrame = false;
  ClearFBOStack();
  DrawResize();
  SetAllControlsDirty();
}

void IGraphicsVR::UpdateLayer()
{
  if (!mVG) return;
  EndTargetFrame();
  const ILayer* top = GetTopLayer();
  const auto* bitmap = top ? dynamic_cast<const Bitmap*>(top->GetAPIBitmap()) : nullptr;
  if (!top)
  {
    BindMainFrame();
    return;
  }
  // A layer without a framebuffer of ours draws into nothing: neither into the frame beneath it nor, through an
  // empty binding, onto the screen. Its drawing is recorded and dropped.
  MVRframebuffer* fb = bitmap ? bitmap->GetFBO() : nullptr;
  if (fb) mvrBindFramebuffer(fb);
  mFrameGoesNowhere = !fb;
  const IRECT& r = top->Bounds();
  vrBeginFrame(mVG, r.W() * GetDrawScale(), r.H() * GetDrawScale(), GetScreenScale());
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

void IGraphicsVR::RetainBitmap(const IBitmap& bitmap, const char* cacheName)
{
  auto lock = mBitmapCache.Lock();
  if (!bitmap.mAPIBitmap || mBitmapCache.Contains(bitmap.mAPIBitmap)) return;
  mBitmapCache.Add(bitmap.mAPIBitmap, cacheName, bitmap.GetScale());
}

void IGraphicsVR::ReleaseBitmap(const IBitmap& bitmap)
{
  if (bitmap.mAPIBitmap) mBitmapCache.Remove(bitmap.mAPIBitmap);
}

IBitmap IGraphicsVR::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale)
{
  if (!name || !*name) return IBitmap();
  auto lock = mBitmapCache.Lock();
  if (targetScale == 0) targetScale = static_cast<int>(GetScreenScale());
  APIBitmap* bitmap = mBitmapCache.Find(name, targetScale);
  if (!bitmap)
  {
    const char* ext = ExtensionOf(name);
    Util_String path;
    int sourceScale = 0;
    const EResourceLocation location = SearchImageResource(name, ext, path, targetScale, sourceScale);
    if (location == kNotFound || !BitmapExtSupported(ext)) return IBitmap();
    bitmap = mBitmapCache.Find(name, sourceScale);
    if (!bitmap)
    {
      bitmap = LoadAPIBitmap(path.Get(), sourceScale, location, ext);
      mBitmapCache.Add(bitmap, name, sourceScale);
    }
  }
  return bitmap ? IBitmap(bitmap, nStates, framesAreHorizontal, name) : IBitmap();
}

IBitmap IGraphicsVR::LoadBitmap(const char* name, const void* pData, int dataSize, int nStates,
                                bool framesAreHorizontal, int targetScale)
{
  if (!name || !*name || !BitmapExtSupported(ExtensionOf(name))) return IBitmap();
  auto lock = mBitmapCache.Lock();
  if (targetScale == 0) targetScale = static_cast<int>(GetScreenScale());
  // A screen below one pixel per point still gets the plain bitmap.
  targetScale = std::max(targetScale, 1);
  if (APIBitmap* hit = mBitmapCache.Find(name, targetScale)) return IBitmap(hit, nStates, framesAreHorizontal, name);

  // Another scale of this name made before, else the bytes decoded at normal density (cached by LoadAPIBitmap).
  APIBitmap* bitmap = nullptr;
  for (int scale = 4; scale >= 1 && !bitmap; --scale)
    if (scale != targetScale) bitmap = mBitmapCache.Find(name, scale);
  if (!bitmap)
  {
    if (!pData || dataSize <= 0) return IBitmap();
    bitmap = LoadAPIBitmap(name, pData, dataSize, 1);
  }
  if (!bitmap) return IBitmap();
  const IBitmap found(bitmap, nStates, framesAreHorizontal, name);
  // The source stays in the cache that owns it; the rendition at the target scale joins it there. Pixels that
  // could not be decoded, or a rendition that cannot be made, leave the source to be drawn as it is.
  if (bitmap->GetScale() == static_cast<float>(targetScale) || bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0)
    return found;
  const IBitmap scaled = ScaleBitmap(found, name, targetScale);
  return scaled.IsValid() ? scaled : found;
}

APIBitmap* IGraphicsVR::LoadAPIBitmap(const char* fileNameOrResID, int scale, EResourceLocation location,
                                      const char*)
{
  int image = 0;
  if (location == kAbsolutePath && fileNameOrResID && mVG)
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

APIBitmap* IGraphicsVR::CreateAPIBitmap(int width, int height, float scale, double drawScale, bool)
{
  if (mInFrame && mVG) EndTargetFrame();
  auto* bitmap = new Bitmap(this, mVG, width, height, static_cast<float>(static_cast<int>(scale)),
                            static_cast<float>(drawScale));
  if (mInFrame && mVG) BindMainFrame();
  if (bitmap->GetHandle() > 0) return bitmap;
  delete bitmap;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------------------------------------------
// Framebuffers hold premultiplied pixels, so the bytes read from a layer are premultiplied; images made from them
// say so, and are not premultiplied a second time when drawn (which would darken every translucent pixel).

namespace
{
// width × height × 4 of the bitmap in 64 bits; 0 for a missing or empty bitmap.
long long LayerBytes(const APIBitmap* b)
{
  if (!b || b->GetWidth() <= 0 || b->GetHeight() <= 0) return 0;
  return static_cast<long long>(b->GetWidth()) * b->GetHeight() * 4;
}
} // namespace

void IGraphicsVR::GetLayerBitmapData(const ILayerPtr& layer, RawBitmapData& data)
{
  const APIBitmap* b = layer ? layer->GetAPIBitmap() : nullptr;
  const long long size = LayerBytes(b);
  if (!mVG || size <= 0 || size > INT_MAX || !data.Resize(static_cast<int>(size)))
  {
    data.Resize(0);
    return;
  }
  PushLayer(layer.get());
  mvrReadPixels(mVG, b->GetHandle(), 0, 0, b->GetWidth(), b->GetHeight(), data.Get());
  PopLayer();
}

void IGraphicsVR::SetLayerBitmapData(const ILayerPtr& layer, const RawBitmapData& data)
{
  const APIBitmap* b = layer ? layer->GetAPIBitmap() : nullptr;
  const long long size = LayerBytes(b);
  if (!mVG || size <= 0 || data.GetSize() < size) return;
  Bitmap pixels(mVG, b->GetWidth(), b->GetHeight(), VR_IMAGE_PREMULTIPLIED, data.Get(),
                static_cast<float>(static_cast<int>(b->GetScale())), b->GetDrawScale());
  const IBitmap bitmap(&pixels, 1, false, "");
  PushLayer(layer.get());
  DrawBitmap(bitmap, layer->Bounds(), 0, 0, nullptr);
  PopLayer();
}

void IGraphicsVR::ApplyShadowMask(ILayerPtr& layer, RawBitmapData& mask, const IDropShadow& shadow)
{
  const APIBitmap* b = layer ? layer->GetAPIBitmap() : nullptr;
  const long long size = LayerBytes(b);
  if (!mVG || size <= 0 || mask.GetSize() < size) return;
  const IRECT bounds = layer->Bounds();

  if (!shadow.mDrawForeground)
  {
    // Only the shadow stays: the layer is cleared first.
    PushLayer(layer.get());
    vrGlobalCompositeBlendFunc(mVG, VR_ZERO, VR_ZERO);
    PathRect(bounds);
    vrFillColor(mVG, vrRGBAf(0.f, 0.f, 0.f, 0.f));
    vrFill(mVG);
    vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
    vrBeginPath(mVG);
    PopLayer();
  }

  const float scale = static_cast<float>(static_cast<int>(b->GetScale()));
  Bitmap maskPixels(mVG, b->GetWidth(), b->GetHeight(), VR_IMAGE_PREMULTIPLIED, mask.Get(), scale, b->GetDrawScale());
  APIBitmap* shadowPixels = CreateAPIBitmap(b->GetWidth(), b->GetHeight(), scale, b->GetDrawScale());
  if (!shadowPixels || maskPixels.GetHandle() <= 0)
  {
    delete shadowPixels;
    return;
  }
  const IBitmap maskBitmap(&maskPixels, 1, false, "");
  ILayer shadowLayer(shadowPixels, bounds, nullptr, IRECT()); // owns the shadow bitmap: released on return
  const IBitmap shadowBitmap = shadowLayer.GetBitmap();

  PathTransformSave();
  PushLayer(layer.get());
  PushLayer(&shadowLayer);
  DrawBitmap(maskBitmap, bounds, 0, 0, nullptr);
  PathRect(bounds);
  PathTransformTranslate(-shadow.mXOffset, -shadow.mYOffset);
  const IBlend in(kBlendSrcIn, 1.f);
  PathFill(shadow.mPattern, IFillOptions(), &in);
  PopLayer();
  const IBlend behind(kBlendDstOver, std::clamp(shadow.mOpacity, 0.f, 1.f));
  DrawBitmap(shadowBitmap, bounds.GetTranslated(shadow.mXOffset, shadow.mYOffset), 0, 0, &behind);
  PopLayer();
  PathTransformRestore();
}

// ---------------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsVR::LoadAPIFont(const char* fontID, const PlatformFontPtr& font)
{
  if (!mVG || !fontID) return false;
  StaticStorage<IFontData>& cache = FontDataCache();
  auto lock = cache.Lock();
  // The renderer never frees the bytes (free-data 0): the cache owns them.
  if (IFontData* cached = cache.Find(fontID, 1.0))
    return vrCreateFontMemAtIndex(mVG, fontID, const_cast<uint8_t*>(cached->Get()), cached->GetSize(),
                                  cached->GetFaceIdx(), 0) != -1;

  IFontDataPtr data = font ? font->GetFontData() : nullptr;
  if (!data || !data->IsValid()) return false;
  if (vrCreateFontMemAtIndex(mVG, fontID, const_cast<uint8_t*>(data->Get()), data->GetSize(), data->GetFaceIdx(),
                             0) == -1)
    return false;
  cache.Add(data.release(), fontID, 1.0);
  return true;
}

} // namespace plugin::igraphics

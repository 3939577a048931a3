#pragma once

// IGraphicsVR — the editor's drawing interface on the vector renderer, drawn through the Metal back end.
//
// Every path, fill, stroke, pattern, bitmap and text of the drawing interface becomes calls on one renderer
// context. Each frame is drawn into an off-screen main framebuffer (device pixels) which EndFrame copies to the
// view's layer. Layers are framebuffer-backed bitmaps; a framebuffer released while a frame is drawn is queued and
// deleted when the frame ends. Fonts arrive as bytes from the platform and are kept in the process-wide font-data
// cache for the renderer's font store, which never frees them.
//
// Abstract: the platform class derived from it supplies the view, its layer and the platform slots.
//
// Sources: IGraphicsVR.cpp (lifetime, frames, bitmaps, fonts), IGraphicsVR_Draw.cpp (paths, paints, lines, text).
//
// Threads: [main thread] for everything; the framebuffer mutex guards only the delete queue.

#include "graphics/IGraphics.h"
#include "graphics/PlatformFont.h"
#include "graphics/StaticStorage.h"
#include "renderer/VectorRenderer.h"

#include <mutex>
#include <vector>

struct MVRframebuffer;

namespace plugin::igraphics
{

class IGraphicsVR : public IGraphics
{
public:
  // A renderer image as the drawing interface sees it: a plain image, or a framebuffer (layers).
  class Bitmap : public APIBitmap
  {
  public:
    // From an image id (0 allowed: a failed load has size 0). A shared image is never deleted here.
    Bitmap(VRcontext* ctx, int image, float scale, bool shared);
    // A framebuffer of width × height pixels cleared to transparent black; leaves the back end's target on it.
    // Handle 0 and size 0 when the framebuffer cannot be made.
    Bitmap(IGraphicsVR* owner, VRcontext* ctx, int width, int height, float scale, float drawScale);
    // From width × height RGBA pixels, rows top to bottom; imageFlags as the renderer's.
    Bitmap(VRcontext* ctx, int width, int height, int imageFlags, const uint8_t* pixels, float scale, float drawScale);
    // Framebuffers go back to the owner (deleted now, or at the end of the frame being drawn); plain images are
    // deleted unless shared.
    ~Bitmap() override;

    MVRframebuffer* GetFBO() const { return mFBO; }

  private:
    IGraphicsVR* mOwner = nullptr;
    VRcontext* mVG = nullptr;
    MVRframebuffer* mFBO = nullptr;
    bool mSharedTexture = false;
  };

  IGraphicsVR(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f);
  // Drops this context's hold on the font-data cache, deletes queued framebuffers and the bitmap cache.
  ~IGraphicsVR() override;

  // ---- Frames and view ----
  void BeginFrame() override;
  // Copies the main framebuffer to the layer, then deletes the framebuffers released during the frame. A frame
  // resized while drawn (DrawResize inside it) is cancelled instead: nothing is presented, the main framebuffer
  // is replaced and every control is marked dirty.
  void EndFrame() override;
  // platformLayer: the view's CAMetalLayer. The draw context is ready when a renderer context could be made.
  void OnViewInitialized(void* platformLayer) override;
  // Deletes every control, the cached bitmaps, the framebuffers (queued ones too) and the renderer context.
  void OnViewDestroyed() override;
  // A new main framebuffer for the current size and scales (none without a renderer context); inside a frame,
  // made when the frame ends.
  void DrawResize() override;
  bool GetDrawContextReady() const override { return mDrawContextReady; }
  void SetDrawContextReady(bool ready) override { mDrawContextReady = ready; }

  // ---- Drawing slots ----
  using IGraphics::DrawBitmap;
  // Nothing for a bitmap without an image or of size 0, or a destination of zero size.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY, const IBlend* blend = nullptr) override;
  // Dashes of dashLen along the line, the first one at (x1, y1). Nothing but the move for a dash length that is
  // not a positive finite number.
  void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                      float thickness = 1.f, float dashLen = 2.f) override;
  void DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr, float thickness = 1.f,
                      float dashLen = 2.f) override;
  // Opaque black: the frame's pixels are not read.
  IColor GetPoint(int x, int y) override;
  void* GetDrawContext() override { return mVG; }
  const char* GetDrawingAPIStr() override { return "VR | Metal"; }
  // Images belong to this context's renderer: they are kept in this context's bitmap cache, never in the
  // process-wide one another editor's renderer would read.
  void RetainBitmap(const IBitmap& bitmap, const char* cacheName) override;
  void ReleaseBitmap(const IBitmap& bitmap) override;
  // "png", "jpg" or "jpeg" anywhere in ext, any case.
  bool BitmapExtSupported(const char* ext) override;
  void DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop = 5.f,
                          float roundness = 0.f, float blur = 10.f, const IBlend* blend = nullptr) override;
  void GetLayerBitmapData(const ILayerPtr& layer, RawBitmapData& data) override;
  void ApplyShadowMask(ILayerPtr& layer, RawBitmapData& mask, const IDropShadow& shadow) override;
  void SetLayerBitmapData(const ILayerPtr& layer, const RawBitmapData& data) override;
  void UpdateLayer() override;

  void PathClear() override;
  void PathClose() override;
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = kWindingCW) override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathSetWinding(bool isHole) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = IStrokeOptions(),
                  const IBlend* blend = nullptr) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                const IBlend* blend = nullptr) override;
  void PathTransformSetMatrix(const IMatrix& m) override;
  void SetClipRegion(const IRECT& r) override;

  int AlphaChannel() const override { return 3; }
  bool FlippedBitmap() const override { return false; }
  // Nothing measured (0, bounds collapsed to the text origin) for a font that is not loaded or a size that is not
  // a positive finite number.
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr) override;

  // ---- Bitmaps ----
  // From this context's bitmap cache, else the best scale variant among the resources, decoded and cached under
  // (name, its scale). An empty bitmap for an unsupported extension or a missing resource; a file that cannot be
  // decoded gives a bitmap of size 0, which draws nothing.
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false, int targetScale = 0) override;
  // The same from encoded bytes, taken as normal density (scale 1) and cached under (name, 1); for another target
  // scale (0: the screen's) a rendition at that scale is made from it and cached under (name, target), both owned
  // by this context's cache. The data is not read when the name is cached at any scale.
  IBitmap LoadBitmap(const char* name, const void* pData, int dataSize, int nStates = 1,
                     bool framesAreHorizontal = false, int targetScale = 0) override;
  // A bitmap decoded from an absolute file path (kAbsolutePath; location 3, a preloaded texture, is shared);
  // image 0 and size 0 when the file cannot be decoded. The caller owns the result.
  APIBitmap* LoadAPIBitmap(const char* fileNameOrResID, int scale, EResourceLocation location,
                           const char* ext) override;
  // A bitmap decoded from dataSize bytes, cached in this context under (name, scale); the cache owns it.
  APIBitmap* LoadAPIBitmap(const char* name, const void* data, int dataSize, int scale) override;
  // A framebuffer-backed bitmap (a layer's), cleared; inside a frame the frame goes on on the main framebuffer.
  APIBitmap* CreateAPIBitmap(int width, int height, float scale, double drawScale, bool cacheable = false) override;

  // ---- Fonts ----
  // Hands the font's bytes to the renderer under fontID (from the font-data cache when loaded before). False when
  // the font has no usable data or the renderer refuses it.
  bool LoadAPIFont(const char* fontID, const PlatformFontPtr& font) override;

  // ---- Helpers shared with the platform ----
  static VRcolor ToVRColor(const IColor& color, const IBlend* blend = nullptr);
  // Only the first and last stops reach the renderer. A transform without inverse gives a transparent paint.
  static VRpaint ToVRPaint(VRcontext* ctx, const IPattern& pattern, const IBlend* blend = nullptr);
  static void SetCompositeOperation(VRcontext* ctx, const IBlend* blend);

  // Framebuffers still to be deleted at the end of the frame; whether a frame is being drawn.
  int NQueuedFramebuffers() const;
  bool InFrame() const { return mInFrame; }
  MVRframebuffer* GetMainFramebuffer() const { return mMainFrameBuffer; }
  int NCachedBitmaps() const { return mBitmapCache.GetSize(); }

protected:
  // A framebuffer no longer used: deleted now outside a frame, queued inside one. Without a context (the view is
  // gone) only the record is freed.
  void ReleaseImage(MVRframebuffer* fb);
  void ClearFBOStack();

private:
  void AddVRRect(const IRECT& r);
  // Starts a renderer frame on the main framebuffer.
  void BindMainFrame();
  // Ends the renderer frame begun for the current target: carried out, or dropped when it has no target.
  void EndTargetFrame();
  // EndFrame of a frame resized while drawn.
  void CancelResizedFrame();
  int WindowPixelsW() const;
  int WindowPixelsH() const;
  // Sets font, size and alignment, places the origin (x, y) in r by the alignment and makes r the text's bounds.
  // False (r collapsed to the origin) when nothing can be measured.
  bool PrepareAndMeasureText(const IText& text, const char* str, IRECT& r, double& x, double& y) const;

  bool mInFrame = false;
  mutable std::mutex mFBOMutex;
  std::vector<MVRframebuffer*> mFBOStack;
  StaticStorage<APIBitmap> mBitmapCache;
  VRcontext* mVG = nullptr;
  MVRframebuffer* mMainFrameBuffer = nullptr;
  bool mDrawContextReady = false;
  // The renderer frame now open has no target (a layer without a framebuffer, or no main framebuffer): it is
  // cancelled rather than flushed, since a flush without a framebuffer bound would present to the screen.
  bool mFrameGoesNowhere = false;
  // DrawResize was called inside the frame being drawn.
  bool mResizedInFrame = false;
};

} // namespace plugin::igraphics

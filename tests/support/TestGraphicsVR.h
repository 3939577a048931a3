#pragma once

// A test platform for the drawing interface on the renderer: IGraphicsVR on a stand-in CAMetalLayer, with the
// platform slots answered as the scripted platform answers them. A test builds an editor of real controls, draws
// a frame and reads it back or saves it as PNG. Header-only; include as "support/TestGraphicsVR.h".

#include "platform/mac/CoreTextFont.h"
#include "platform/mac/MVRcontext.h"
#include "platform/mac/PlatformPaths.h"
#include "renderer/vr/IGraphicsVR.h"
#include "support/ScriptedGraphics.h"

#include <string>
#include <vector>

namespace plugin::igraphics::test
{

class TestGraphicsVR : public IGraphicsVR
{
public:
  TestGraphicsVR(IGEditorDelegate& dlg, int w, int h, float drawScale = 1.f) : IGraphicsVR(dlg, w, h, 60, drawScale) {}
  ~TestGraphicsVR() override { CloseWindow(); }

  // Makes the layer (drawable in device pixels) and the renderer context, then the main framebuffer.
  void* OpenWindow(void* parent) override
  {
    (void)parent;
    if (mLayer) return mLayer;
    mLayer = new CAMetalLayer();
    OnViewInitialized(mLayer);
    SetScreenScale(mPendingScreenScale);
    return mLayer;
  }
  // Tears the view down as the platform does: controls, bitmaps, framebuffers, context, layer.
  void CloseWindow() override
  {
    if (!mLayer) return;
    OnViewDestroyed();
    mLayer->release();
    mLayer = nullptr;
  }
  void* GetWindow() override { return mLayer; }
  CAMetalLayer* Layer() const { return mLayer; }
  // The backing scale the next OpenWindow uses.
  void SetPendingScreenScale(float s) { mPendingScreenScale = s; }

  // One frame over the whole editor; waits until the GPU has presented it.
  void DrawFrame()
  {
    IRECTList rects;
    rects.Add(GetBounds());
    Draw(rects);
    Finish();
  }
  void Finish()
  {
    if (!GetDrawContext()) return;
    NSAutoreleasePool pool;
    MTLCommandBuffer* cb = mvrCommandQueue(static_cast<VRcontext*>(GetDrawContext()))->commandBuffer();
    cb->commit();
    cb->waitUntilCompleted();
  }
  // The last presented frame as premultiplied BGRA (Cairo ARGB32 byte order); empty before the first.
  std::vector<uint8_t> Pixels(int* w = nullptr, int* h = nullptr) const
  {
    if (!mLayer || mLayer->presentedCount() == 0) return {};
    MTLTexture* t = mLayer->copyLastPresentedTexture();
    std::vector<uint8_t> px(t->width() * t->height() * 4);
    t->getBytes_bytesPerRow_fromRegion_mipmapLevel(px.data(), t->width() * 4,
                                                   MTLRegionMake2D(0, 0, t->width(), t->height()), 0);
    if (w) *w = static_cast<int>(t->width());
    if (h) *h = static_cast<int>(t->height());
    t->release();
    return px;
  }
  bool SavePNG(const std::string& path) const { return mLayer && mLayer->writeLastFrameToPNG(path.c_str()); }

  // Platform slots.
  void PlatformResize(bool) override
  {
    if (mLayer)
      mLayer->setDrawableSize(CGSizeMake(static_cast<double>(WindowWidth()) * GetScreenScale(),
                                         static_cast<double>(WindowHeight()) * GetScreenScale()));
  }
  void GetMouseLocation(float& x, float& y) const override { x = y = 0.f; }
  void HideMouseCursor(bool hide, bool) override { SetCursorHidden(hide); }
  void MoveMouseCursor(float, float) override {}
  void ForceEndUserEdit() override {}
  bool GetTextFromClipboard(Util_String& str) override
  {
    str.Set("");
    return false;
  }
  bool SetTextInClipboard(const char*) override { return false; }
  void UpdateTooltips() override {}
  EMsgBoxResult ShowMessageBox(const char*, const char*, EMsgBoxType, IMsgBoxCompletionHandlerFunc f) override
  {
    if (f) f(kOK);
    return kOK;
  }
  void PromptForFile(Util_String& fileName, Util_String&, EFileAction, const char*) override { fileName.Set(""); }
  void PromptForDirectory(Util_String& dir) override { dir.Set(""); }
  bool PromptForColor(IColor&, const char*, IColorPickerHandlerFunc) override { return false; }
  bool OpenURL(const char*, const char*, const char*, const char*) override { return false; }
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu&, const IRECT&, bool& isAsync) override
  {
    isAsync = false;
    return nullptr;
  }
  void CreatePlatformTextEntry(int, const IText&, const IRECT&, int, const char*) override {}
  // Resources and fonts as the macOS platform finds and makes them (a name may be a full path).
  EResourceLocation LocateResource(const char* name, const char* type, Util_String& result, const char* bundleID,
                                   void* module, const char* sharedSubPath) override
  {
    return plugin::LocateResource(name, type, result, bundleID, module, sharedSubPath) ? kAbsolutePath : kNotFound;
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) override
  {
    return CoreTextFont::FromResource(fontID, fileNameOrResID, GetBundleID(), GetSharedResourcesSubPath());
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, void* pData, int dataSize) override
  {
    return CoreTextFont::FromMemory(fontID, pData, dataSize);
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) override
  {
    return CoreTextFont::FromName(fontID, fontName, static_cast<int>(style));
  }
  void CachePlatformFont(const char* fontID, const PlatformFontPtr& font) override
  {
    if (font) CacheCoreTextFont(fontID, *font);
  }

private:
  CAMetalLayer* mLayer = nullptr;
  float mPendingScreenScale = 1.f;
};

} // namespace plugin::igraphics::test

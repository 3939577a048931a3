#pragma once

// IGraphics — the editor's control host and its drawing interface.
//
// One instance exists per open editor; the editor delegate creates it through its make-graphics function and
// deletes it when the editor closes. It owns every control of the editor (and the corner resizer), keeps the tag
// map through which the plug-in finds controls, holds the editor size and its two scales, runs the frame loop
// (dirty rectangles → drawing), dispatches the platform's mouse, key and drop events to the controls, and offers
// one drawing interface: a few pure path operations that a drawing back end supplies, and the shapes, lines,
// bitmaps and text built on them here. The platform layer derives from the back end and supplies the platform
// operations.
//
// The control list runs bottom to top: index 0 is the background, drawn first and hit last.
//
// Sources: IGraphics.cpp (lifetime, size, controls, iteration), IGraphics_Frame.cpp (frame loop),
// IGraphics_Draw.cpp (drawing interface), IGraphics_Input.cpp (events, prompts, menus), IGraphics_Gestures.cpp
// (gesture regions, keyboard notes), IGraphics_Resources.cpp (resources and their caches), IGraphics_Layers.cpp
// (layers and drop shadows), IGraphics_SVG.cpp (SVG drawing).
//
// Threads: main thread only.

#include "framework/Lifetime.h"
#include "graphics/IGraphicsStructs.h"
#include "graphics/ILayer.h"
#include "graphics/IPopupMenu.h"
#include "graphics/ISVG.h"
#include "graphics/PlatformFont.h"
#include "graphics/StaticStorage.h"
#include "graphics/Util.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace plugin
{
struct IMidiMsg;
class IParam;
} // namespace plugin

namespace plugin::igraphics
{

class IControl;
class IBubbleControl;
class IGEditorDelegate;

// Where a resource was found: 0 nowhere; above 0 a file with a full path.
enum EResourceLocation : int32_t
{
  kNotFound = 0,
  kAbsolutePath = 1,
};

// The process-wide cache of decoded bitmaps, keyed by resource name and scale. Every graphics context retains it
// while it lives; the last one out clears it.
StaticStorage<APIBitmap>& BitmapCache();

// One parsed SVG document in the SVG cache. Handles given out share the document, so a handle stays usable after
// the cache has been cleared.
struct SVGHolder
{
  explicit SVGHolder(ISVG svg) : mSVG(std::move(svg)) {}
  ISVG mSVG;
};

// The process-wide cache of parsed SVG documents, keyed by resource name at scale 1.0; retained like BitmapCache.
StaticStorage<SVGHolder>& SVGCache();

// [any thread] Reads the whole file at path into result. False, with result empty, when it cannot be opened or
// sized, is larger than INT_MAX bytes, or changes size while being read (a short read is never used as the
// whole). afterSize, when given, runs with ctx between taking the size and reading.
bool ReadResourceFile(const char* path, Util_TypedBuf<uint8_t>& result, void (*afterSize)(void*) = nullptr,
                      void* ctx = nullptr);

enum EMsgBoxType : int32_t
{
  kMB_OK = 0,
  kMB_OKCANCEL = 1,
  kMB_YESNOCANCEL = 3,
  kMB_YESNO = 4,
};

enum EMsgBoxResult : int32_t
{
  kNoResult = 0,
  kOK = 1,
  kCANCEL = 2,
  kYES = 6,
  kNO = 7,
};

enum class EFileAction : int32_t
{
  Open = 0,
  Save = 1,
};

// How the corner resizer changes the editor.
enum class EUIResizerMode : int32_t
{
  Scale = 0, // the draw scale follows the drag
  Size = 1,  // the editor size follows the drag
};

class IGraphics
{
public:
  using IControlFunction = std::function<void(IControl*)>;
  // Gets every key not used by the control under the mouse; true when it used the key.
  using IKeyHandlerFunc = std::function<bool(const IKeyPress& key, bool isUp)>;
  using IDisplayTickFunc = std::function<void()>;
  using IAppearanceChangedFunc = std::function<void(int appearance)>;
  using IMsgBoxCompletionHandlerFunc = std::function<void(EMsgBoxResult)>;
  using IColorPickerHandlerFunc = std::function<void(const IColor&)>;
  using IMidiQwertyFunc = std::function<void(const IMidiMsg&)>;

  // [main thread] Width and height in graphics units; fps of 0 or less means 60; scale is the initial draw scale
  // (its half and double become the scale limits; a scale that is not a positive finite number counts as 1).
  // Writes the size and scale into the delegate's remembered editor size.
  IGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f);
  // Deletes every control. Host gestures still open are not ended here (the delegate may be in its own
  // destructor): the platform ends them with ReleaseMouseCapture when it closes the window.
  virtual ~IGraphics();

  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // =============================================================================================================
  // Back-end slots (a drawing back end supplies the pure ones)
  // =============================================================================================================

  // Frame start: the base advances the frame clock; a back end calls the base first. EndFrame: base nothing.
  virtual void BeginFrame();
  virtual void OnViewInitialized(void* platformLayer);
  virtual void OnViewDestroyed() {}
  virtual void EndFrame() {}

  // The document scaled uniformly to fit bounds, at their top-left corner, through the path operations. Nothing
  // for an empty document or a document or bounds without area.
  virtual void DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend = nullptr);
  // The document fitted into a width × height box centred on (destCentreX, destCentreY), rotated by angle degrees.
  virtual void DrawRotatedSVG(const ISVG& svg, float destCentreX, float destCentreY, float width, float height,
                              float angle, const IBlend* blend = nullptr);
  // Draws the bounds-sized part of the bitmap that starts at (srcX, srcY), in points, into bounds.
  virtual void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
                          const IBlend* blend = nullptr) = 0;
  // Stretched to bounds, aspect ratio not kept.
  virtual void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend = nullptr);
  // The whole bitmap rotated (degrees, clockwise) about its centre, the centre at (destCentreX, destCentreY).
  virtual void DrawRotatedBitmap(const IBitmap& bitmap, float destCentreX, float destCentreY, double angle,
                                 const IBlend* blend = nullptr);
  virtual void DrawPoint(const IColor& color, float x, float y, const IBlend* blend = nullptr);
  virtual void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  virtual void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                              const IBlend* blend = nullptr, float thickness = 1.f, float dashLen = 2.f);
  virtual void DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                            const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBL, float cRBR,
                             const IBlend* blend = nullptr, float thickness = 1.f);
  // Angles in degrees, 0 at 12 o'clock, clockwise.
  virtual void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  virtual void DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                           float thickness = 1.f);
  virtual void DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                           const IBlend* blend = nullptr, float thickness = 1.f);
  // x and y hold nPoints (at least 1) points.
  virtual void DrawConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                 const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                              float thickness = 1.f, float dashLen = 2.f);
  virtual void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                            const IBlend* blend = nullptr);
  virtual void FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void FillRect(const IPattern& pattern, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBL, float cRBR,
                             const IBlend* blend = nullptr);
  virtual void FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                           const IBlend* blend = nullptr);
  // A pie slice from the centre.
  virtual void FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr);
  virtual void FillConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                 const IBlend* blend = nullptr);

  // Width of str from the back end; bounds becomes the measured rectangle placed in bounds by the style's
  // alignment. 0, and bounds all zero, for a null or empty string.
  virtual float MeasureText(const IText& text, const char* str, IRECT& bounds) const;

  virtual IColor GetPoint(int x, int y) = 0;
  virtual void* GetDrawContext() = 0;
  virtual const char* GetDrawingAPIStr() = 0;

  // The bitmap drawn through a layer at targetScale (screen scale), cached under cacheName at that scale. An
  // empty bitmap, or one the back end cannot make a layer for, gives an empty bitmap.
  virtual IBitmap ScaleBitmap(const IBitmap& inBitmap, const char* cacheName, int targetScale);
  // Adds the bitmap's image to the bitmap cache under cacheName at the image's own scale; the cache owns it then.
  virtual void RetainBitmap(const IBitmap& bitmap, const char* cacheName);
  // Removes the bitmap's image from the bitmap cache and deletes it; a bitmap not in the cache changes nothing.
  virtual void ReleaseBitmap(const IBitmap& bitmap);
  // Decodes the image file at fileNameOrResID (found at location) made for screen scale scale; null when it
  // cannot. ext: the extension without its dot.
  virtual APIBitmap* LoadAPIBitmap(const char* fileNameOrResID, int scale, EResourceLocation location,
                                   const char* ext) = 0;
  // Decodes dataSize bytes at pData as an image for screen scale scale; null when it cannot.
  virtual APIBitmap* LoadAPIBitmap(const char* name, const void* pData, int dataSize, int scale) = 0;
  // An empty image of width × height pixels for a layer; null when it cannot be made.
  virtual APIBitmap* CreateAPIBitmap(int width, int height, float scale, double drawScale, bool cacheable = false) = 0;
  // Registers the platform's font under fontID for text drawing; false when the back end cannot use it.
  virtual bool LoadAPIFont(const char* fontID, const PlatformFontPtr& font) = 0;
  // Whether the back end decodes files with this extension.
  virtual bool BitmapExtSupported(const char* ext) = 0;

  // A soft shadow of the inner rounded rectangle inside the outer one. Base: nothing.
  virtual void DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop = 5.f,
                                  float roundness = 0.f, float blur = 10.f, const IBlend* blend = nullptr);
  // Lines every gridSizeH / gridSizeV inside bounds, none on the bounds' own edges; a size of 1 or less, one that
  // is not finite, or bounds with an edge that is not, draw none in that direction. At most 8192 lines each way.
  virtual void DrawGrid(const IColor& color, const IRECT& bounds, float gridSizeH, float gridSizeV,
                        const IBlend* blend = nullptr, float thickness = 1.f);
  // A polyline of nPoints (at least 1) normalised values: 0 the bottom, 1 the top; normXPoints null spreads them
  // evenly. The first point is always at the left edge.
  virtual void DrawData(const IColor& color, const IRECT& bounds, const float* normYPoints, int nPoints,
                        const float* normXPoints = nullptr, const IBlend* blend = nullptr, float thickness = 1.f);

  // A font from a resource file or from memory, registered under fontID: the platform makes it, the back end
  // takes it, the platform keeps it. False when the platform cannot make it or the back end refuses it.
  virtual bool LoadFont(const char* fontID, const char* fileNameOrResID);
  virtual bool LoadFont(const char* fontID, void* pData, int dataSize);
  // The same for an installed font family in a style.
  bool LoadFont(const char* fontID, const char* fontName, ETextStyle style);

  // Layer pixels and shadows (the layer code drives them). GetLayerBitmapData sizes data to width × height × 4
  // bytes of the layer's bitmap (empty when it cannot read them); ApplyShadowMask composes the shadow from the
  // blurred alpha in mask under the layer's content.
  virtual void GetLayerBitmapData(const ILayerPtr& layer, RawBitmapData& data) = 0;
  virtual void ApplyShadowMask(ILayerPtr& layer, RawBitmapData& mask, const IDropShadow& shadow) = 0;
  virtual void SetLayerBitmapData(const ILayerPtr& layer, const RawBitmapData& data) = 0;
  // Redirects drawing to the top layer, or to the main surface when no layer is active. Base: nothing.
  virtual void UpdateLayer() {}

  virtual bool HasPathSupport() const { return true; }
  virtual void PathClear() = 0;
  virtual void PathClose() = 0;
  // Angles in degrees, 0 at 12 o'clock, clockwise for kWindingCW. Joins the arc's start to the current point with
  // a line when the path has one.
  virtual void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding = kWindingCW) = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  // true marks the current sub-path as a hole (fill rule kFillPreserveWinding only). Base: nothing.
  virtual void PathSetWinding(bool isHole) { (void)isHole; }
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) = 0;
  virtual void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = IStrokeOptions(),
                          const IBlend* blend = nullptr) = 0;
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = IFillOptions(),
                        const IBlend* blend = nullptr) = 0;
  // The transform for the following path points.
  virtual void PathTransformSetMatrix(const IMatrix& m) = 0;
  // After each control has drawn. Base: nothing.
  virtual void CompleteRegion(const IRECT& bounds) { (void)bounds; }
  // Clips all drawing to bounds (points, untransformed).
  virtual void SetClipRegion(const IRECT& bounds) = 0;

  // =============================================================================================================
  // Platform slots (the platform layer supplies the pure ones)
  // =============================================================================================================

  virtual void AttachPlatformView(const IRECT& bounds, void* view) { (void)bounds, (void)view; }
  virtual void RemovePlatformView(void* view) { (void)view; }
  // The current mouse position in graphics units.
  virtual void GetMouseLocation(float& x, float& y) const = 0;
  // Hides (and with lock, pins) the cursor, or shows it again; (false, true) restores a hidden cursor.
  virtual void HideMouseCursor(bool hide = true, bool lock = true) = 0;
  virtual void MoveMouseCursor(float x, float y) = 0;
  // Stores the cursor type and returns the previous one; the platform also sets the system cursor.
  virtual ECursor SetMouseCursor(ECursor cursorType = kCursorArrow);
  // Ends a native text edit in progress.
  virtual void ForceEndUserEdit() = 0;
  // Creates the platform view inside parent and returns it.
  virtual void* OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() = 0;
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  // True and the clipboard's text, or false when it holds none.
  virtual bool GetTextFromClipboard(Util_String& str) = 0;
  virtual bool SetTextInClipboard(const char* str) = 0;
  // Re-registers the visible controls' tooltips with the platform view.
  virtual void UpdateTooltips() = 0;
  virtual EMsgBoxResult ShowMessageBox(const char* str, const char* caption, EMsgBoxType type,
                                       IMsgBoxCompletionHandlerFunc completionHandler = nullptr) = 0;
  virtual void PromptForFile(Util_String& fileName, Util_String& path, EFileAction action = EFileAction::Open,
                             const char* ext = "") = 0;
  virtual void PromptForDirectory(Util_String& dir) = 0;
  // Shows the colour picker; the completion gets the chosen colour. False when no picker could be shown.
  virtual bool PromptForColor(IColor& color, const char* str = "", IColorPickerHandlerFunc func = nullptr) = 0;
  // Opens a web address or a file path with the system.
  virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                       const char* errMsgOnFailure = nullptr) = 0;
  virtual const char* GetPlatformAPIStr() { return ""; }
  virtual bool RevealPathInExplorerOrFinder(Util_String& path, bool select = false);
  virtual void SetWinModuleHandle(void* instance) { (void)instance; }
  virtual void* GetWinModuleHandle() { return nullptr; }
  virtual void SetPlatformContext(void* context) { mPlatformContext = context; }
  virtual void ClientToScreen(float& x, float& y) { (void)x, (void)y; }
  // The plug-in's bundle identifier; "" when the platform has none.
  virtual const char* GetBundleID() const { return ""; }
  virtual void ActivateGLContext() {}
  virtual void DeactivateGLContext() {}
  // The platform's resource lookup: the file of resource name with type (its extension), in the bundle with
  // bundleID, then in the shared resources under sharedResourcesSubPath, then name as a path. The full path goes
  // to result.
  virtual EResourceLocation LocateResource(const char* name, const char* type, Util_String& result,
                                           const char* bundleID, void* pHInstance,
                                           const char* sharedResourcesSubPath) = 0;
  // The platform's font objects: from a resource file, from memory, from an installed family and style. Null when
  // the font cannot be made.
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fileNameOrResID) = 0;
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, void* pData, int dataSize) = 0;
  virtual PlatformFontPtr LoadPlatformFont(const char* fontID, const char* fontName, ETextStyle style) = 0;
  // Keeps the font for fontID; it may take the object out of font.
  virtual void CachePlatformFont(const char* fontID, const PlatformFontPtr& font) = 0;
  // A native text field holding str (at most length characters) over bounds.
  virtual void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                       const char* str) = 0;
  // Shows a native menu. Returns the menu chosen from (its chosen index set) or null when dismissed or refused;
  // sets isAsync when the result arrives later through SetControlValueAfterPopupMenu.
  virtual IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) = 0;
  virtual bool PlatformQuery99() const { return false; }
  // Factor between graphics units and window points.
  virtual float GetPlatformWindowScale() const { return 1.f; }
  // Resizes the platform view to the editor size; parentHasResized says whether the host already did.
  virtual void PlatformResize(bool parentHasResized) { (void)parentHasResized; }
  // Adapts the back end's buffers to a new size or scale. Base: nothing.
  virtual void DrawResize() {}
  // 0 light, 1 dark.
  virtual int GetUIAppearance() const { return 0; }

  // The bitmap resource name (a strip of nStates frames) for targetScale (0: the screen scale): from the bitmap
  // cache, else from the best scale variant among the resources, rescaled when it was made for another scale, and
  // cached. An empty bitmap when the extension is not supported, nothing is found or decoding fails.
  virtual IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false, int targetScale = 0);
  // The same from dataSize encoded bytes (taken to be of scale 1), cached under name.
  virtual IBitmap LoadBitmap(const char* name, const void* pData, int dataSize, int nStates = 1,
                             bool framesAreHorizontal = false, int targetScale = 0);

  // Registers a gesture type (each once); the platform starts recognising it.
  virtual void AttachGestureRecognizer(EGestureType type);

  // True when the drawing context could be created.
  virtual bool GetDrawContextReady() const { return false; }
  virtual void SetDrawContextReady(bool ready) { (void)ready; }
  virtual bool AssetsLoaded() { return true; }
  // Index (0..3) of the alpha byte in a pixel of layer data; whether layer data runs bottom row first.
  virtual int AlphaChannel() const = 0;
  virtual bool FlippedBitmap() const = 0;
  // The text primitives behind MeasureText and DrawText (no empty-string check).
  virtual float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const = 0;
  virtual void DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr) = 0;
  // Screen scale × draw scale.
  virtual float GetBackingPixelScale() const { return mScreenScale * mDrawScale; }

  // =============================================================================================================
  // Resources [main thread] (IGraphics_Resources.cpp)
  // =============================================================================================================

  // The SVG resource name, from the SVG cache, or else read through LoadResource and parsed by the in-memory form
  // below (units: the unit drawing space is measured in, as ParseSVG takes it; dpi relates pixels to physical
  // units); a document is cached once parsed. Empty when it is missing, unreadable or not a document, and then
  // nothing is cached, so a later call tries again.
  virtual ISVG LoadSVG(const char* name, const char* units = "px", float dpi = 72.f);
  // The same from dataSize bytes at pData (dataSize ≤ 0: up to the first NUL), cached under name. A document
  // already cached under name is returned as it was parsed, whatever the units now.
  virtual ISVG LoadSVG(const char* name, const void* pData, int dataSize, const char* units, float dpi);
  // The bitmap's resource loaded again for the current screen scale (truncated).
  IBitmap GetScaledBitmap(const IBitmap& src);
  // The whole file of resource name with type; empty when it is not found, cannot be read or is larger than a
  // buffer can hold. A platform with resources of its own (not files) overrides it; LoadSVG reads through it.
  virtual void LoadResource(const char* name, const char* type, Util_TypedBuf<uint8_t>& result);
  // The first scale variant of name that exists: "<base>@<n>x<.ext>" for n = targetScale, then 4, 3, 2, 1
  // (targetScale left out), and name itself for n = 1. Sets fullPath and sourceScale; kNotFound when none does or
  // targetScale < 1.
  EResourceLocation SearchImageResource(const char* name, const char* type, Util_String& fullPath, int targetScale,
                                        int& sourceScale);
  // The cached image of name at the first of the same scales that has one (sourceScale set), or null.
  APIBitmap* SearchBitmapInCache(const char* name, int targetScale, int& sourceScale);
  // The sub-path of the shared resource folder the resource lookup also searches; empty for none.
  void SetSharedResourcesSubPath(const char* path) { mSharedResourcesSubPath.Set(path ? path : ""); }
  const char* GetSharedResourcesSubPath() const { return mSharedResourcesSubPath.Get(); }

  // =============================================================================================================
  // SVG drawing [main thread] (IGraphics_SVG.cpp)
  // =============================================================================================================

  // Every visible shape of the document in document units under the current transform: its paths as cubics, holes
  // found by a ray test against the shape's other paths, then its fill and its stroke.
  void DrawSVGShapes(const ISVG& svg, const IBlend* blend = nullptr);
  // A paint as a pattern: colours and gradient stops keep their own alpha scaled by opacity (0..1); gradients
  // keep at most 16 stops, their spread and their drawing-to-gradient transform.
  static IPattern GetSVGPattern(const SVGPaint& paint, float opacity);

  // =============================================================================================================
  // Layers [main thread] (IGraphics_Layers.cpp)
  // =============================================================================================================

  // Redirects drawing into a new layer over r (aligned to device pixels) for control (may be null). Without an
  // image from the back end the layer is pushed all the same and has no bitmap (CheckLayer fails for it).
  void StartLayer(IControl* control, const IRECT& r, bool cacheable = false);
  // Continues drawing into a kept layer: takes it out of layer and pushes it. An empty pointer does nothing.
  void ResumeLayer(ILayerPtr& layer);
  // Pops the top layer and hands it to the caller; empty when no layer is active.
  ILayerPtr EndLayer();
  // True when the layer can be drawn as it is: it has a bitmap, its control has not moved, it was not
  // invalidated and it was made at the current draw and screen scales.
  bool CheckLayer(const ILayerPtr& layer);
  // The layer's bitmap at its own bounds, whatever transform is current.
  void DrawLayer(const ILayerPtr& layer, const IBlend* blend = nullptr);
  // The layer's bitmap scaled into bounds, under the current transform.
  void DrawFittedLayer(const ILayerPtr& layer, const IRECT& bounds, const IBlend* blend);
  // The layer's bitmap rotated by angle degrees about its bounds' centre.
  void DrawRotatedLayer(const ILayerPtr& layer, double angle);
  // Blurs the layer's alpha by the shadow's blur size and has the back end put the shadow under the content. A
  // layer whose pixels cannot be read gets no shadow.
  void ApplyLayerDropShadow(ILayerPtr& layer, const IDropShadow& shadow);
  // Replaces the layer's pixels (forwarded to the back end).
  void SetLayerBitmapData(ILayerPtr& layer, const RawBitmapData& data)
  {
    SetLayerBitmapData(static_cast<const ILayerPtr&>(layer), data);
  }
  // Active layers; the top one receives the drawing.
  int NActiveLayers() const { return static_cast<int>(mLayers.size()); }

  // =============================================================================================================
  // Drawing conveniences and path helpers [main thread] (IGraphics_Draw.cpp)
  // =============================================================================================================

  // Nothing for a null or empty string; else DoDrawText.
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr);
  void DrawText(const IText& text, const char* str, float x, float y, const IBlend* blend = nullptr);
  // Frame 1..N of a film strip (clamped).
  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame = 1, const IBlend* blend = nullptr);
  // Text from a bitmap font whose frame k shows character code k + 31. Nothing for a null or empty string, or
  // when the cells or the bounds have no width.
  void DrawBitmapedText(const IBitmap& bitmap, const IRECT& bounds, const IText& text, const IBlend* blend,
                        const char* str, bool vCenter = true, bool multiline = false, int charWidth = 6,
                        int charHeight = 12, int charOffset = 0);
  // A vertical line at fraction x (clamped to 0..1, truncated to whole points) of bounds, and its absolute form.
  // A fraction or an offset that is not finite draws nothing; an offset beyond ±1e9 points is held there.
  void DrawVerticalLine(const IColor& color, const IRECT& bounds, float x, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  void DrawVerticalLine(const IColor& color, float xi, float y1, float y2, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  // A horizontal line at fraction y (clamped, 0 the bottom) of bounds, and its absolute form. A fraction or a
  // position that is not finite draws nothing.
  void DrawHorizontalLine(const IColor& color, const IRECT& bounds, float y, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  void DrawHorizontalLine(const IColor& color, float yi, float x1, float x2, const IBlend* blend = nullptr,
                          float thickness = 1.f);
  // Along angle (degrees, 0 up, clockwise) from radius rMin to rMax.
  void DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                      const IBlend* blend = nullptr, float thickness = 1.f);
  void PathRadialLine(float cx, float cy, float angle, float rMin, float rMax);

  void PathRect(const IRECT& bounds);
  void PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3);
  // Corner radii top-left, top-right, bottom-left, bottom-right; all 0 or less gives a plain rectangle.
  void PathRoundRect(const IRECT& bounds, float ctl, float ctr, float cbl, float cbr);
  void PathRoundRect(const IRECT& bounds, float cornerRadius = 5.f);
  void PathConvexPolygon(const float* x, const float* y, int nPoints);
  void PathCircle(float cx, float cy, float r);
  // Nothing for a radius of 0 or less.
  void PathEllipse(float x, float y, float r1, float r2, float angle = 0.f);
  void PathEllipse(const IRECT& bounds);
  // Clip to r within the drawing area (the whole area for an empty r).
  void PathClipRegion(const IRECT& r = IRECT());

  void PathTransformSave();
  // Pops the saved transform; an empty stack changes nothing.
  void PathTransformRestore();
  // Identity transform (and an empty stack with clearStack).
  void PathTransformReset(bool clearStack = false);
  void PathTransformTranslate(float x, float y);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float s) { PathTransformScale(s, s); }
  void PathTransformRotate(float degrees);
  void PathTransformSkew(float xDegrees, float yDegrees);
  void PathTransformMatrix(const IMatrix& m);
  const IMatrix& GetTransform() const { return mTransform; }
  int GetTransformStackDepth() const { return static_cast<int>(mTransformStack.size()); }

  // For a rotated text style: rect becomes the bounding box of rect rotated by the angle, and (tx, ty) the offset
  // that places it in bounds by the style's alignment. Angle 0: rect unchanged, tx = ty = 0.
  void CalculateTextRotation(const IText& text, const IRECT& bounds, IRECT& rect, double& tx, double& ty) const;
  void DoMeasureTextRotation(const IText& text, const IRECT& bounds, IRECT& rect) const;

  // =============================================================================================================
  // Size and scale [main thread] (IGraphics.cpp)
  // =============================================================================================================

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // Window size in points: int(int(size × draw scale) × platform window scale).
  int WindowWidth() const;
  int WindowHeight() const;
  int FPS() const { return mFPS; }
  float GetDrawScale() const { return mDrawScale; }
  float GetScreenScale() const { return mScreenScale; }
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }
  // Minimum and maximum draw scale: the smaller and the larger of the two.
  void SetScaleConstraints(float lo, float hi);
  IRECT GetBounds() const { return IRECT(0.f, 0.f, static_cast<float>(mWidth), static_cast<float>(mHeight)); }

  // The display's backing scale: resizes the platform view, lets every control rescale, marks all dirty.
  // A non-finite or non-positive scale is refused. Virtual so that the delegate reaches it without linking here.
  virtual void SetScreenScale(float scale);
  // Clamps w and h to the delegate's limits and scale to [min, max] draw scale; stops when nothing changes;
  // otherwise releases mouse captures, stores the values, rescales the corner resizer, resizes the platform
  // window, calls OnResize on every control, marks all dirty and, with layout-on-resize, lays the controls out
  // again. A non-finite scale is refused. Both stop where the host's answer, the host hearing of the new frame or
  // a control closed the editor.
  virtual void Resize(int w, int h, float scale, bool needsPlatformResize = true);
  // As Resize; with clampSizeFirst clear the limits apply to the scaled size (w × scale, h × scale) after the scale
  // has been clamped.
  void Resize(int w, int h, bool needsPlatformResize, bool clampSizeFirst, float scale);

  void SetLayoutOnResize(bool layout) { mLayoutOnResize = layout; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }
  // Sets the strict-drawing flag, then marks all controls dirty.
  void SetStrictDrawing(bool strict);
  bool GetStrictDrawing() const { return mStrictDrawing; }
  bool GetResizingInProcess() const { return mResizingInProcess; }
  void SetResizingInProcess(bool resizing) { mResizingInProcess = resizing; }
  EUIResizerMode GetResizerMode() const { return mResizerMode; }
  // The corner resizer's own choice of mode at mouse-down (product resizers pick size or scale per gesture).
  void SetResizerMode(EUIResizerMode mode) { mResizerMode = mode; }

  // =============================================================================================================
  // Attaching, finding and removing controls [main thread]
  // =============================================================================================================

  // Takes ownership and appends control; ctrlTag below 0 means no tag, a null or empty group means none. Returns
  // control, or null when it is null, when the tag is already in use or when the list cannot grow: the control is
  // then not attached and stays with the caller.
  IControl* AttachControl(IControl* control, int ctrlTag = -1, const char* group = "");
  // Installs a ready corner resizer (outside the control list; hit before every listed control). When one is
  // installed already, the given control is deleted and nothing else changes.
  void AttachCornerResizer(IControl* control, EUIResizerMode mode = EUIResizerMode::Scale, bool layoutOnResize = false);
  IControl* GetCornerResizer() const { return mCornerResizer; }

  // -------------------------------------------------------------------------------------------------------------
  // Special controls built by the control library (defined in controls/ISpecialControls.cpp)
  // -------------------------------------------------------------------------------------------------------------

  // Builds an ICornerResizerControl of side size (screen points) in the bottom-right corner. Nothing changes when
  // a resizer is attached already.
  void AttachCornerResizer(EUIResizerMode mode = EUIResizerMode::Scale, bool layoutOnResize = false,
                           const IColor& color = COLOR_TRANSLUCENT, const IColor& mouseOverColor = COLOR_BLACK,
                           const IColor& dragColor = COLOR_BLACK, float size = 20.f);
  // A panel over the whole editor filled with pattern, inserted at index 0 (drawn first, hit last); it ignores the
  // mouse.
  void AttachPanelBackground(const IPattern& pattern);
  // The bitmap (one frame, default scale) as a control at (0, 0), inserted at index 0 and set up as an attached
  // control is (defined in controls/IGraphics_Backgrounds.cpp).
  void AttachBackground(const char* fileName);
  // The document over the whole editor, cached in a layer, inserted at index 0; it is not set up beyond the
  // delegate and context.
  void AttachSVGBackground(const char* fileName);
  // Appends a value bubble with this text style (white fill, black frame, roundness 5), or a ready one (null is
  // ignored).
  void AttachBubbleControl(const IText& text = DEFAULT_TEXT);
  void AttachBubbleControl(IBubbleControl* bubble);
  int NBubbleControls() const { return mBubbleControls.GetSize(); }
  IControl* GetBubbleControl(int idx) const { return mBubbleControls.Get(idx); }
  // Shows str in a bubble beside (x, y) for caller; nothing without an attached bubble.
  void ShowBubbleControl(IControl* caller, float x, float y, const char* str, EDirection direction = kHorizontal,
                         IRECT minimumContentBounds = IRECT());
  // Builds the editor-drawn popup menu with this text style (expandedBounds with a non-zero width fix the size of
  // its panels); from then on every popup request opens in it instead of the platform's menu. Nothing changes when
  // one is attached already.
  void AttachPopupMenuControl(const IText& text = DEFAULT_TEXT, const IRECT& expandedBounds = IRECT());
  // Deletes the popup-menu control; requests go to the platform again.
  void RemovePopupMenuControl();
  IControl* GetPopupMenuControl() const { return mPopupControl; } // an IPopupMenuControl
  // Creates the frame-time display at (10, 10, 210, 60), or deletes it; then marks all dirty.
  void ShowFPSDisplay(bool enable);
  bool ShowingFPSDisplay() const { return mFPSDisplay != nullptr; }
  IControl* GetFPSDisplay() const { return mFPSDisplay; }

  // Builds the in-editor text field (an ITextEntryControl) that CreateTextEntry opens instead of the platform's;
  // nothing changes when one is attached already. Defined in controls/ITextEntryControl.cpp.
  void AttachTextEntryControl();
  // Deletes the in-editor text field; text entry goes to the platform again. An edit open in it ends unconfirmed:
  // the edited control hears nothing and is no longer in text entry.
  void RemoveTextEntryControl();
  IControl* GetTextEntryControl() const { return mTextEntryControl; }
  // An in-editor text field is attached and open.
  bool TextEntryIsOpen() const { return mTextEntryControl && mTextEntryEditing && mTextEntryEditing(mTextEntryControl); }

  int NControls() const { return mControls.GetSize(); }
  // Null for an index outside the list.
  IControl* GetControl(int idx) const { return mControls.Get(idx); }
  // The list index of control, or -1.
  int GetControlIdx(const IControl* control) const { return mControls.Find(control); }
  // The control attached with ctrlTag, or null when no control holds that tag.
  IControl* GetControlWithTag(int ctrlTag) const
  {
    const auto it = mCtrlTags.find(ctrlTag);
    return it == mCtrlTags.end() ? nullptr : it->second;
  }
  // The parameter of slot 0 of the control at idx; -1 when idx is outside the list or the control has no slot.
  int GetParamIdxForControl(int idx) const;

  // Deletes control and clears every reference to it (captures, mouse-over, tag, text entry, popup menu), then
  // marks all dirty. The corner resizer may be given too. Ignores controls that are not attached.
  void RemoveControl(IControl* control);
  // Nothing when idx is outside the list.
  void RemoveControl(int idx);
  // Deletes the controls from the last down to fromIdx inclusive, then marks all dirty once.
  void RemoveControls(int fromIdx);
  // Deletes the control that holds the tag, as RemoveControl; nothing for an unknown tag.
  void RemoveControlWithTag(int ctrlTag);
  // Deletes every control and empties the tag map; releases captures first. The special controls go first: the
  // popup menu, the text field, the corner resizer, the frame-time display, then the bubbles (last to first); then
  // the tags, then the listed controls (last to first).
  void RemoveAllControls();

  // Move or resize the control at idx; all controls are marked dirty unless it is hidden. Bad indices are ignored.
  void SetControlPosition(int idx, float x, float y);
  void SetControlSize(int idx, float w, float h);
  // Sets both bounds and target rectangle, then OnResize.
  void SetControlBounds(int idx, const IRECT& bounds);

  // =============================================================================================================
  // Iteration [main thread], in list order from index 0
  // =============================================================================================================

  // Every control, then the special ones: the frame-time display, the corner resizer, the text field, the popup
  // menu, then the bubbles (drawn last: a value bubble shows above an open menu or text field).
  void ForAllControlsFunc(const IControlFunction& func);
  template <class M, class... Args> void ForAllControls(M method, Args... args)
  {
    ForAllControlsFunc([&](IControl* c) { (c->*method)(args...); });
  }
  // The listed controls only.
  void ForStandardControlsFunc(const IControlFunction& func);
  // The listed controls that have a slot linked to paramIdx.
  void ForControlWithParam(int paramIdx, const IControlFunction& func);
  template <class M, class... Args> void ForMatchingControls(M method, int paramIdx, Args... args)
  {
    ForControlWithParam(paramIdx, [&](IControl* c) { (c->*method)(args...); });
  }
  // The listed controls whose group is non-empty and equal to group (byte comparison).
  void ForControlInGroup(const char* group, const IControlFunction& func);

  // Every control: SetDirty(false, -1) / SetClean() / OnGUIIdle().
  void SetAllControlsDirty();
  void SetAllControlsClean();
  void OnGUIIdle();

  // On the controls linked to paramIdx.
  void HideControl(int paramIdx, bool hide);
  void DisableControl(int paramIdx, bool disable);
  void SetControlsDirtyForParam(int paramIdx, bool triggerAction, int valIdx = -1);
  void SetPTParameterHighlight(int paramIdx, bool highlighted, int colour);

  // Gives style to every listed vector control (an IVectorBase), in list order, and marks it dirty; other controls
  // are passed over. Defined in controls/IVectorBase.cpp, with the class it looks for.
  void ApplyStyleToVectorControls(const IVStyle& style);

  // Tooltip := parameter name for every listed control whose slot 0 is linked (Auto: only where empty).
  void AssignParamNameToolTips();
  void AssignParamNameToolTipsAuto();

  // Gives caller's value of slot valIdx to every other listed control linked to the same parameter. Nothing goes
  // to the host here.
  void UpdatePeers(IControl* caller, int valIdx);

  // =============================================================================================================
  // Frame loop [main thread] (IGraphics_Frame.cpp)
  // =============================================================================================================

  // Runs the display tick and every control's animation step, then appends the bounds of each dirty control grown
  // by 0.75 on every side. False when nothing is dirty, and once the tick or an animation-end action has closed
  // the editor (or the plug-in is being disposed of): the steps stop there.
  bool IsDirty(IRECTList& rects);
  // One frame over the rectangles: pixel-aligned and reduced (or their bounding rectangle when drawing strictly),
  // each drawn with Draw(area, scale). An empty list begins no frame.
  void Draw(IRECTList& rects);
  // Every control that touches area, clipped to it; none after a control that closed the editor while drawing.
  void Draw(const IRECT& area, float scale);
  // One control clipped to area; hidden controls draw nothing, except the background at index 0.
  void DrawControl(IControl* control, const IRECT& area, float scale);
  // The clip rectangle of the control being drawn.
  const IRECT& GetClipRect() const { return mClipRECT; }
  void SetDisplayTickFunc(IDisplayTickFunc func) { mDisplayTickFunc = std::move(func); }

  // Seconds of a monotonic clock. Tests install their own; null restores the system clock.
  using ClockFunc = double (*)();
  static void SetClock(ClockFunc clock);
  static double Now();
  // Seconds between the last two frames; 0 before the second frame.
  double GetLastFrameTime() const { return mLastFrameTime; }

  // =============================================================================================================
  // Input dispatch [main thread] (IGraphics_Input.cpp)
  // =============================================================================================================

  // Each runs inside a scope of the context: a handler that closes the editor ends the dispatch, and no further
  // control of the editor that is going hears of the event.
  void OnMouseDown(const std::vector<IMouseInfo>& points);
  void OnMouseUp(const std::vector<IMouseInfo>& points);
  void OnMouseDrag(const std::vector<IMouseInfo>& points);
  // True when a control was found.
  bool OnMouseDblClick(float x, float y, const IMouseMod& mod);
  // Tracks the control under a button-less pointer; true when there is one.
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  // The pointer left the view: arrow cursor, every control's OnMouseOut, no mouse-over control.
  void OnMouseOut();
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta);
  // The control under the point (unless it is the background) is asked first; when it does not use the key the
  // key handler decides; false with no handler. Virtual so that the delegate reaches them without linking here.
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
  virtual bool OnKeyUp(float x, float y, const IKeyPress& key);
  void OnDrop(const char* path, float x, float y);
  void OnTouchCancelled(const std::vector<IMouseInfo>& points);
  // The window or view lost focus: no mouse-over control, captures released.
  void OnFocusLost();
  // appearance: 0 light, 1 dark. Runs the appearance-changed function when one is set.
  void OnAppearanceChanged(int appearance);
  // Live resize by the corner resizer (x, y: the pointer).
  void OnDragResize(float x, float y);
  // Ends a corner-resizer drag: clears the flag, rescales all controls in scale mode, marks all dirty.
  void EndDragResize();

  // The list index of the topmost control hit at (x, y) that is visible, takes the mouse and is enabled (or takes
  // mouse events, for mouseOver mouse-over, when disabled); -1 when none. For mouseOver the background (index 0)
  // is skipped and nothing is found unless mouse-over is enabled.
  int GetMouseControlIdx(float x, float y, bool mouseOver = false) const;
  // The control an event at (x, y) goes to: the one that touchID captured, else the open in-editor text field
  // wherever the point is, else the corner resizer under the point, else the topmost hit. With capture, a found control is captured for touchID (refused when multi-touch is
  // on and it holds a touch but takes only one).
  IControl* GetMouseControl(float x, float y, bool capture, bool mouseOver = false, uint64_t touchID = 0);
  // Ends every capture (closing the host gestures they began) and shows a hidden cursor again. Virtual so that the
  // delegate reaches it when it closes the editor without linking here.
  virtual void ReleaseMouseCapture();
  bool ControlIsCaptured(const IControl* control) const;
  bool ControlIsCaptured() const { return !mCapturedMap.empty(); }
  // The touch identifiers that control holds.
  void GetTouches(const IControl* control, std::vector<uint64_t>& touchIDs) const;

  void EnableMouseOver(bool enable) { mEnableMouseOver = enable; }
  bool MouseOverEnabled() const { return mEnableMouseOver; }
  // Multi-touch stays off: the platform reports no multi-touch support.
  void EnableMultiTouch(bool) { mEnableMultiTouch = false; }
  bool MultiTouchEnabled() const { return mEnableMultiTouch; }
  IControl* GetMouseOverControl() const { return mMouseOver; }
  int GetMouseOverIdx() const { return mMouseOverIdx; }
  // For a control that applies a prompt's value as if the mouse were still where the prompt opened.
  void SetMouseOverIdx(int idx) { mMouseOverIdx = idx; }
  // The list index of the control whose tooltip the platform shows: the listed control under the pointer at the
  // last OnMouseOver; -1 for none (no listed control there, or the pointer left the view).
  int GetTooltipIdx() const { return mTooltipIdx; }

  void SetKeyHandlerFunc(IKeyHandlerFunc func) { mKeyHandlerFunc = std::move(func); }
  // Stores the flag and updates the platform's tooltips when it changes.
  void EnableTooltips(bool enable);
  bool TooltipsEnabled() const { return mEnableTooltips; }
  void SetAppearanceChangedFunc(IAppearanceChangedFunc func) { mAppearanceChangedFunc = std::move(func); }

  // Remembers the parameter of slot 0 of the control under (x, y), or -1.
  void SetLastClickedParam(float x, float y);
  // The remembered parameter; resets it to -1.
  int GetAndResetLastClickedParam();

  ECursor GetCursorType() const { return mCursorType; }
  bool GetCursorHidden() const { return mCursorHidden; }
  float GetMouseDownX() const { return mMouseDownX; }
  float GetMouseDownY() const { return mMouseDownY; }

  // -------------------------------------------------------------------------------------------------------------
  // Prompts, text entry and menus
  // -------------------------------------------------------------------------------------------------------------

  // While the context winds down (IsWindingDown) none of these opens anything: no control is remembered, no
  // completion follows.

  // A menu of the display texts (enumerations, and booleans with display texts) or a text entry holding the
  // current display text, over bounds, for slot valIdx of control. Nothing without a parameter.
  void PromptUserInput(IControl* control, const IRECT& bounds, int valIdx = 0);
  // Remembers control and valIdx as the control in text entry and opens the in-editor text field when one is
  // attached, else the platform's.
  void CreateTextEntry(IControl* control, const IText& text, const IRECT& bounds, const char* str = "", int valIdx = 0);
  // Ends a text entry: a typed value for the slot's parameter (C-locale number or display text; anything that is
  // not a finite number is refused and the parameter keeps its value), else OnTextEntryCompletion. Nothing
  // without a control in text entry.
  void SetControlValueAfterTextEdit(const char* str);
  IControl* GetControlInTextEntry() const { return mInTextEntry; }
  // The in-editor text field closed without handing anything back: no control is in text entry any more.
  void ClearInTextEntry()
  {
    mInTextEntry = nullptr;
    mTextEntryValIdx = -1;
  }

  void CreatePopupMenu(IControl* control, IPopupMenu& menu, const IRECT& bounds, int valIdx = 0);
  void DoCreatePopupMenu(IControl* control, IPopupMenu& menu, const IRECT& bounds, int valIdx, bool isContext);
  // The control's context menu at (x, y), when it fills one.
  void ShowContextMenu(IControl* control, float x, float y);
  void ShowContextMenuForControlIdx(float x, float y, int idx) { ShowContextMenu(GetControl(idx), x, y); }
  // Hands a menu choice (null: dismissed) to the control that asked for the menu. Nothing without one.
  void SetControlValueAfterPopupMenu(IPopupMenu* menu);
  IControl* GetControlInPopupMenu() const { return mInPopupMenu; }
  IPopupMenu& GetPromptMenu() { return mPromptPopupMenu; }

  // =============================================================================================================
  // Gestures and keyboard notes [main thread] (IGraphics_Gestures.cpp)
  // =============================================================================================================

  // Appends bounds to the gesture regions, registers type and maps the new region to func.
  void AttachGestureRecognizerToRegion(const IRECT& bounds, EGestureType type, IGestureFunc func);
  // Empties the regions and their functions; the registered types stay.
  void ClearGestureRegions();
  bool RespondsToGesture(float x, float y);
  void OnGestureRecognized(const IGestureInfo& info);
  const std::vector<EGestureType>& GetRegisteredGestures() const { return mRegisteredGestures; }
  // Turns letter keys into notes (A = base note, W, S, E, ... up to L = base + 14; Z and X shift the base by an
  // octave) sent to the delegate and to func; replaces the key handler, which then uses every key.
  void SetQwertyMidiKeyHandlerFunc(IMidiQwertyFunc func = nullptr);

  // =============================================================================================================
  // Plain accessors
  // =============================================================================================================

  IGEditorDelegate* GetDelegate() const { return mDelegate; }
  void* GetPlatformContext() const { return mPlatformContext; }

  // =============================================================================================================
  // Lifetime
  // =============================================================================================================

  // A control may close the editor, and a host dispose of the plug-in, from inside any call that runs foreign code
  // (a control's handler, a native menu or message box). Each such call opens a CallScope: the context, and the
  // plug-in, go once the outermost one returns. The plug-in's scope is opened outside the context's, so that the
  // context always goes first.
  class CallScope
  {
  public:
    explicit CallScope(IGraphics& graphics) : mDelegateScope(*graphics.mDelegateLifetime), mScope(graphics.mLifetime) {}

  private:
    plugin::Lifetime::Scope mDelegateScope;
    plugin::Lifetime::Scope mScope;
  };
  plugin::Lifetime& GetLifetime() { return mLifetime; }
  // True once the editor closed, or the plug-in was disposed of, under a call of this context that is still on
  // the stack: the call winds down without starting anything new.
  bool IsWindingDown() const { return mLifetime.IsDisposing() || mDelegateLifetime->IsDisposing(); }
  // The delegate is in its destructor: open host gestures are forgotten, since it can no longer hear of them.
  void DropOpenGestures() { mOpenGestures.clear(); }

protected:
  // The platform layer keeps this in step with HideMouseCursor.
  void SetCursorHidden(bool hidden) { mCursorHidden = hidden; }

  // The stack operations under the layer calls: push redirects drawing into layer (identity transform, clipped
  // to its bounds, path cleared); pop returns the top layer (null when none) and goes back to the one beneath or
  // to the frame's clip.
  void PushLayer(ILayer* layer);
  ILayer* PopLayer();
  // The layer receiving the drawing; null when none is active.
  ILayer* GetTopLayer() const { return mLayers.empty() ? nullptr : mLayers.back(); }

private:
  // A host gesture begun by a mouse-down: the parameters told to the host, ended once at the touch's mouse-up or
  // when the capture is dropped in any other way.
  struct OpenGesture
  {
    uint64_t touchID;
    IControl* control;
    std::vector<int> params;
  };

  // Hands a platform font to the back end and, when it takes it, to the platform's font cache.
  bool RegisterPlatformFont(const char* fontID, PlatformFontPtr font);
  // Steps shared by every resize once the values are clamped.
  void ApplyResize(int w, int h, float scale, bool needsPlatformResize);
  // Takes out and deletes the listed control at idx, clearing every reference to it.
  void TakeOutAt(int idx);
  // Clears every reference the context keeps to control.
  void ForgetControl(IControl* control);
  // Hands the delegate and, when its graphics are ready, this context to control.
  void GiveContext(IControl* control);
  // Ends the open host gestures of touchID (all touches for UINT64_MAX), or of one control.
  void EndGestures(uint64_t touchID);
  void EndGesturesOf(const IControl* control);
  void BeginParamGestures(IControl* control, std::vector<int>& params);
  void EndParamGestures(const std::vector<int>& params);
  IParam* GetParamOf(const IControl* control, int valIdx) const;
  // The in-editor popup menu is shown or still fading: no new menu, and the shared prompt menu stays untouched.
  bool PopupMenuIsBusy() const;
  void UpdateMouseOver(IControl* control, float x, float y, const IMouseMod& mod);

  Util_PtrList<IControl> mControls{4096};
  std::unordered_map<int, IControl*> mCtrlTags;
  IControl* mCornerResizer = nullptr;
  IControl* mFPSDisplay = nullptr;            // an IFPSDisplayControl
  Util_PtrList<IControl> mBubbleControls{4096}; // IBubbleControls
  // The in-editor text field (an ITextEntryControl) and its open operation, installed together by
  // AttachTextEntryControl, so that this library links no control code.
  using TextEntryOpenFunc = void (*)(IControl* entry, int paramIdx, const IText& text, const IRECT& bounds,
                                     int length, const char* str);
  using TextEntryQueryFunc = bool (*)(const IControl* entry);
  IControl* mTextEntryControl = nullptr;
  TextEntryOpenFunc mOpenTextEntry = nullptr;
  TextEntryQueryFunc mTextEntryEditing = nullptr;
  IControl* mPopupControl = nullptr;             // an IPopupMenuControl
  // Opens a menu in the popup-menu control; set with it, so that this library needs none of its code.
  std::function<void(IPopupMenu&, const IRECT&)> mPopupMenuOpener;
  IPopupMenu mPromptPopupMenu;
  ECursor mCursorType = kCursorArrow;
  int mWidth;
  int mHeight;
  int mFPS;
  float mScreenScale = 1.f;
  float mDrawScale;

  std::vector<EGestureType> mRegisteredGestures;
  IRECTList mGestureRegions;
  std::unordered_map<int, IGestureFunc> mGestureRegionFuncs;

  std::unordered_map<uint64_t, IControl*> mCapturedMap;
  std::vector<OpenGesture> mOpenGestures;
  plugin::Lifetime mLifetime;
  plugin::Lifetime* mDelegateLifetime; // the delegate's, which outlives this context
  IControl* mMouseOver = nullptr;
  IControl* mInTextEntry = nullptr;
  IControl* mInPopupMenu = nullptr;
  bool mIsContextMenu = false;
  int mTextEntryValIdx = -1;
  int mPopupMenuValIdx = -1;
  int mMouseOverIdx = -1;
  int mTooltipIdx = -1;
  float mMouseDownX = -1.f;
  float mMouseDownY = -1.f;
  float mMinScale;
  float mMaxScale;
  int mLastClickedParam = -1;

  bool mEnableMouseOver = false;
  bool mStrictDrawing = false;
  bool mEnableTooltips = false;
  bool mResizingInProcess = false;
  bool mLayoutOnResize = false;
  bool mEnableMultiTouch = false;
  EUIResizerMode mResizerMode = EUIResizerMode::Scale;
  double mPrevTimestamp = 0.0;
  double mLastFrameTime = 0.0;

  IKeyHandlerFunc mKeyHandlerFunc;
  IDisplayTickFunc mDisplayTickFunc;
  IAppearanceChangedFunc mAppearanceChangedFunc;
  IGEditorDelegate* mDelegate;
  bool mCursorHidden = false;
  void* mPlatformContext = nullptr;

  IRECT mClipRECT;
  std::vector<ILayer*> mLayers; // not owned: whoever ends a layer owns it
  Util_String mSharedResourcesSubPath;
  IMatrix mTransform;
  std::vector<IMatrix> mTransformStack;
};

} // namespace plugin::igraphics

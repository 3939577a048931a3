#pragma once

// Test doubles for the editor side: a recording drawing back end (RecordingGraphics), a scripted platform on top
// of it (ScriptedGraphics), a control that records what the context and the delegate did to it, and a bare editor
// delegate that records what controls send back. Header-only; include as "support/ScriptedGraphics.h".

#include "controls/IControl.h"
#include "framework/IGEditorDelegate.h"
#include "framework/PluginMidi.h"
#include "graphics/IGraphics.h"
#include "graphics/IPopupMenu.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace plugin::igraphics::test
{

// A drawing back end that draws nothing: every back-end slot records one call with its arguments. Path points
// carry their raw coordinates followed by the coordinates under the transform in force (x, y, tx, ty).
class RecordingGraphics : public IGraphics
{
public:
  using IGraphics::DrawBitmap;
  using IGraphics::IGraphics;

  struct DrawCall
  {
    std::string op;
    std::vector<double> a;
    std::string text;
    IColor color; // first stop of the paint for strokes and fills
  };
  std::vector<DrawCall> drawn;
  // Script: the text width DoMeasureText reports per character.
  float charWidth = 7.f;

  // An image of the recording back end; counts its deletions in *deleted when set.
  class Bitmap : public APIBitmap
  {
  public:
    Bitmap(int handle, int w, int h, float scale, float drawScale, int* deleted)
        : APIBitmap(handle, w, h, scale, drawScale), mDeleted(deleted)
    {
    }
    ~Bitmap() override
    {
      if (mDeleted) ++*mDeleted;
    }

  private:
    int* mDeleted;
  };

  // Script: whether the back end makes layer images; the pixels GetLayerBitmapData hands out.
  bool makeLayerImages = true;
  std::vector<uint8_t> layerPixels;
  // Record: image files decoded, images deleted, the last shadow mask.
  std::vector<std::string> decodedFiles;
  int bitmapsDeleted = 0;
  int* deleteCounter = &bitmapsDeleted; // point elsewhere to count deletions that outlive this object
  std::vector<uint8_t> shadowMask;
  int nextHandle = 1;

  // Decodes a PNG only as far as its header: the size is all a recording back end needs.
  static bool PNGSize(const uint8_t* p, size_t n, int& w, int& h)
  {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (n < 24 || std::memcmp(p, sig, 8) != 0 || std::memcmp(p + 12, "IHDR", 4) != 0) return false;
    auto be = [&](int o) { return int(p[o]) << 24 | int(p[o + 1]) << 16 | int(p[o + 2]) << 8 | int(p[o + 3]); };
    w = be(16);
    h = be(20);
    return w > 0 && h > 0;
  }
  APIBitmap* LoadAPIBitmap(const char* path, int scale, EResourceLocation, const char*) override
  {
    decodedFiles.push_back(path);
    Util_TypedBuf<uint8_t> bytes;
    int w = 0, h = 0;
    if (!ReadResourceFile(path, bytes) || !PNGSize(bytes.Get(), size_t(bytes.GetSize()), w, h)) return nullptr;
    return new Bitmap(nextHandle++, w, h, float(scale), 1.f, deleteCounter);
  }
  APIBitmap* LoadAPIBitmap(const char*, const void* data, int size, int scale) override
  {
    int w = 0, h = 0;
    if (!PNGSize(static_cast<const uint8_t*>(data), size_t(size), w, h)) return nullptr;
    return new Bitmap(nextHandle++, w, h, float(scale), 1.f, deleteCounter);
  }
  APIBitmap* CreateAPIBitmap(int w, int h, float scale, double drawScale, bool cacheable) override
  {
    Rec("CreateAPIBitmap", {double(w), double(h), scale, drawScale, double(cacheable)});
    if (!makeLayerImages) return nullptr;
    return new Bitmap(nextHandle++, w, h, scale, float(drawScale), deleteCounter);
  }
  bool LoadAPIFont(const char*, const PlatformFontPtr&) override { return true; }
  void UpdateLayer() override { Rec("UpdateLayer", {double(NActiveLayers())}); }

  // The calls named op.
  std::vector<DrawCall> Calls(const std::string& op) const
  {
    std::vector<DrawCall> out;
    for (const auto& c : drawn)
      if (c.op == op) out.push_back(c);
    return out;
  }

  void DrawBitmap(const IBitmap& bitmap, const IRECT& r, int srcX, int srcY, const IBlend* blend) override
  {
    Rec("DrawBitmap", {r.L, r.T, r.R, r.B, double(srcX), double(srcY), double(bitmap.W), double(bitmap.H)}, blend);
  }
  IColor GetPoint(int, int) override { return COLOR_TRANSPARENT; }
  void* GetDrawContext() override { return nullptr; }
  const char* GetDrawingAPIStr() override { return "Recording"; }
  bool BitmapExtSupported(const char* ext) override { return ext && std::string(ext) == "png"; }
  void GetLayerBitmapData(const ILayerPtr&, RawBitmapData& data) override
  {
    Rec("GetLayerBitmapData", {});
    if (data.Resize(int(layerPixels.size())) && !layerPixels.empty())
      std::memcpy(data.Get(), layerPixels.data(), layerPixels.size());
  }
  void ApplyShadowMask(ILayerPtr&, RawBitmapData& mask, const IDropShadow& shadow) override
  {
    Rec("ApplyShadowMask", {shadow.mBlurSize, shadow.mXOffset, shadow.mYOffset, shadow.mOpacity});
    shadowMask.assign(mask.Get(), mask.Get() + mask.GetSize());
  }
  void SetLayerBitmapData(const ILayerPtr&, const RawBitmapData&) override { Rec("SetLayerBitmapData", {}); }
  void PathClear() override { Rec("PathClear", {}); }
  void PathClose() override { Rec("PathClose", {}); }
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) override
  {
    Rec("PathArc", {cx, cy, r, a1, a2, double(winding)});
  }
  void PathMoveTo(float x, float y) override { RecPoint("PathMoveTo", x, y); }
  void PathLineTo(float x, float y) override { RecPoint("PathLineTo", x, y); }
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override
  {
    Rec("PathCubicBezierTo", {c1x, c1y, c2x, c2y, x2, y2});
  }
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override
  {
    Rec("PathQuadraticBezierTo", {cx, cy, x2, y2});
  }
  // Record: the paint and options of every fill and stroke, in order.
  std::vector<IPattern> patterns;
  std::vector<IStrokeOptions> strokeOptions;
  std::vector<IFillOptions> fillOptions;
  void PathSetWinding(bool isHole) override { Rec("PathSetWinding", {double(isHole)}); }
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options, const IBlend* blend) override
  {
    patterns.push_back(pattern);
    strokeOptions.push_back(options);
    Rec("PathStroke", {thickness, double(options.mDash.mCount), options.mDash.mArray[0], options.mMiterLimit}, blend,
        &pattern);
  }
  void PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) override
  {
    patterns.push_back(pattern);
    fillOptions.push_back(options);
    Rec("PathFill", {double(options.mFillRule), double(pattern.mType)}, blend, &pattern);
  }
  void PathTransformSetMatrix(const IMatrix& m) override
  {
    matrix = m;
    Rec("SetMatrix", {m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY});
  }
  void SetClipRegion(const IRECT& r) override { Rec("SetClipRegion", {r.L, r.T, r.R, r.B}); }
  void CompleteRegion(const IRECT& r) override { Rec("CompleteRegion", {r.L, r.T, r.R, r.B}); }
  void BeginFrame() override
  {
    IGraphics::BeginFrame();
    Rec("BeginFrame", {});
  }
  void EndFrame() override { Rec("EndFrame", {}); }
  int AlphaChannel() const override { return 3; }
  bool FlippedBitmap() const override { return flippedRows; }
  bool flippedRows = false; // script: layer rows run bottom first
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = charWidth * static_cast<float>(std::string(str).size());
    const float x = text.mAlign == kAlignNear  ? bounds.L
                    : text.mAlign == kAlignFar ? bounds.R - w
                                               : bounds.MW() - w / 2;
    bounds = IRECT(x, bounds.T, x + w, bounds.B);
    return w;
  }
  void DoDrawText(const IText& text, const char* str, const IRECT& r, const IBlend* blend) override
  {
    Rec("DoDrawText", {r.L, r.T, r.R, r.B, text.mSize}, blend, nullptr, str);
  }

  IMatrix matrix;

protected:
  void Rec(const char* op, std::initializer_list<double> a, const IBlend* blend = nullptr,
           const IPattern* pattern = nullptr, const char* text = "")
  {
    (void)blend;
    drawn.push_back(DrawCall{op, a, text ? text : "", pattern ? pattern->mStops[0].mColor : IColor()});
  }
  void RecPoint(const char* op, float x, float y)
  {
    double tx = x, ty = y;
    matrix.TransformPoint(tx, ty);
    Rec(op, {x, y, tx, ty});
  }
};

// A platform whose answers come from a script: mouse position, cursor, native menus, text fields, clipboard,
// message boxes and the colour picker. Every platform call is recorded in calls, e.g. "PlatformResize(1)".
//
// OpenWindow behaves as the platform layer does when it opens a window: it copies its draw-context-ready flag into
// the delegate's graphics-ready flag, applies the screen scale, lays the controls out through the delegate and
// calls OnUIOpen.
class ScriptedGraphics : public RecordingGraphics
{
public:
  ScriptedGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f)
      : RecordingGraphics(dlg, w, h, fps, scale), mDlg(dlg)
  {
  }

  // Script.
  float platformWindowScale = 1.f;
  float mouseX = 0.f, mouseY = 0.f;
  // Native menus: the item chosen (-1: dismissed, the platform answers null), whether the answer comes later,
  // and whether the platform cannot show a menu at all (null at once).
  int menuChoice = -1;
  bool menuAsync = false;
  bool menuRefuse = false;
  std::vector<std::string> textAnswers; // typed into the next text fields, in order; none: the field stays open
  std::string clipboard;
  IColor pickedColor = COLOR_WHITE;
  // Resources: files are found as resourceDir/<name>.
  std::string resourceDir;

  // Record.
  std::vector<std::string> lookups; // resource names asked for, in order
  std::vector<std::string> calls;
  void* lastParent = nullptr;
  int platformResizes = 0;
  int tooltipUpdates = 0;
  struct TextEntry
  {
    int paramIdx;
    IRECT bounds;
    int length;
    std::string str;
  };
  std::vector<TextEntry> textEntries;
  struct Menu
  {
    std::vector<std::string> items;
    std::vector<int> flags;
    std::string title;
    IRECT bounds;
  };
  std::vector<Menu> menus;
  std::vector<ECursor> cursors;

  int Count(const std::string& call) const
  {
    int n = 0;
    for (const auto& c : calls)
      n += c == call ? 1 : 0;
    return n;
  }

  // Platform operations.
  void* OpenWindow(void* parent) override
  {
    calls.push_back("OpenWindow");
    lastParent = parent;
    mDlg.SetGraphicsReady(GetDrawContextReady());
    SetScreenScale(1.f);
    mDlg.LayoutUI(this);
    mDlg.OnUIOpen();
    return &mView;
  }
  void CloseWindow() override { calls.push_back("CloseWindow"); }
  void* GetWindow() override { return &mView; }
  void GetMouseLocation(float& x, float& y) const override
  {
    x = mouseX;
    y = mouseY;
  }
  void MoveMouseCursor(float x, float y) override
  {
    mouseX = x;
    mouseY = y;
  }
  ECursor SetMouseCursor(ECursor cursor) override
  {
    cursors.push_back(cursor);
    return IGraphics::SetMouseCursor(cursor);
  }
  float GetPlatformWindowScale() const override { return platformWindowScale; }
  void PlatformResize(bool parentHasResized) override
  {
    calls.push_back(std::string("PlatformResize(") + (parentHasResized ? "1" : "0") + ")");
    ++platformResizes;
  }
  void HideMouseCursor(bool hide, bool lock) override
  {
    calls.push_back(std::string("HideMouseCursor(") + (hide ? "1" : "0") + "," + (lock ? "1" : "0") + ")");
    SetCursorHidden(hide);
  }
  void ForceEndUserEdit() override { calls.push_back("ForceEndUserEdit"); }
  bool GetTextFromClipboard(Util_String& str) override
  {
    str.Set(clipboard.c_str());
    return !clipboard.empty();
  }
  bool SetTextInClipboard(const char* str) override
  {
    clipboard = str ? str : "";
    return true;
  }
  void UpdateTooltips() override { ++tooltipUpdates; }
  EMsgBoxResult ShowMessageBox(const char*, const char*, EMsgBoxType, IMsgBoxCompletionHandlerFunc f) override
  {
    if (f) f(kOK);
    return kOK;
  }
  void PromptForFile(Util_String& fileName, Util_String&, EFileAction, const char*) override { fileName.Set(""); }
  void PromptForDirectory(Util_String& dir) override { dir.Set(""); }
  bool PromptForColor(IColor& color, const char*, IColorPickerHandlerFunc f) override
  {
    color = pickedColor;
    if (f) f(pickedColor);
    return true;
  }
  bool OpenURL(const char* url, const char*, const char*, const char*) override
  {
    calls.push_back(std::string("OpenURL(") + (url ? url : "") + ")");
    return true;
  }
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) override
  {
    Menu m{{}, {}, menu.GetRootTitle(), bounds};
    for (int i = 0; i < menu.NItems(); ++i)
    {
      m.items.push_back(menu.GetItemText(i));
      m.flags.push_back(menu.GetItem(i)->GetFlags());
    }
    menus.push_back(m);
    isAsync = menuAsync && !menuRefuse;
    if (menuRefuse || menuChoice < 0) return nullptr;
    menu.SetChosenItemIdx(menuChoice);
    // An asynchronous platform answers later through SetControlValueAfterPopupMenu.
    return menuAsync ? nullptr : &menu;
  }
  void CreatePlatformTextEntry(int paramIdx, const IText&, const IRECT& bounds, int length, const char* str) override
  {
    textEntries.push_back({paramIdx, bounds, length, str ? str : ""});
    // A scripted answer ends the entry at once, as a user pressing Return would.
    if (textAnswers.empty()) return;
    const std::string answer = textAnswers.front();
    textAnswers.erase(textAnswers.begin());
    SetControlValueAfterTextEdit(answer.c_str());
  }
  EResourceLocation LocateResource(const char* name, const char* type, Util_String& result, const char*, void*,
                                   const char*) override
  {
    lookups.push_back(std::string(name ? name : "") + "|" + (type ? type : ""));
    if (!name || !*name || resourceDir.empty()) return kNotFound;
    const std::string path = resourceDir + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kNotFound;
    result.Set(path.c_str());
    return kAbsolutePath;
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* file) override
  {
    calls.push_back(std::string("LoadPlatformFont(") + fontID + "," + file + ")");
    return std::make_unique<PlatformFont>(false);
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, void*, int size) override
  {
    calls.push_back(std::string("LoadPlatformFont(") + fontID + ",data " + std::to_string(size) + ")");
    return std::make_unique<PlatformFont>(false);
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* name, ETextStyle style) override
  {
    calls.push_back(std::string("LoadPlatformFont(") + fontID + "," + name + "," + std::to_string(int(style)) + ")");
    return std::make_unique<PlatformFont>(true);
  }
  void CachePlatformFont(const char*, const PlatformFontPtr&) override {}
  bool GetDrawContextReady() const override { return true; }
  void DrawResize() override { calls.push_back("DrawResize"); }

private:
  IGEditorDelegate& mDlg;
  int mView = 0; // stands for the platform view handed back by OpenWindow
};

// A control that draws nothing and records what reaches it.
class RecordingControl : public IControl
{
public:
  using IControl::IControl;

  int inits = 0, resizes = 0, rescales = 0, attached = 0, midiMsgs = 0, delegateMsgs = 0;
  int lastMsgTag = 0, lastMsgSize = 0;
  bool keyResult = false; // what OnKeyDown/OnKeyUp answer
  int keysDown = 0, keysUp = 0;
  int* deleted = nullptr; // incremented by the destructor when set

  ~RecordingControl() override
  {
    if (deleted) ++*deleted;
  }

  // Events in arrival order, e.g. "down 5,5 R", "drag 1,0", "up", "dbl", "popup 2/0", "context -1".
  std::vector<std::string> events;
  std::vector<std::string> contextItems; // what CreateContextMenu puts into the menu
  int draws = 0;

  // Draws its bounds as one red rectangle, so a test sees which controls a frame drew and where.
  void Draw(IGraphics& g) override
  {
    ++draws;
    g.FillRect(COLOR_RED, GetRECT(), &GetBlend());
  }
  void OnInit() override { ++inits; }
  void OnResize() override { ++resizes; }
  void OnRescale() override { ++rescales; }
  void OnAttached() override { ++attached; }
  void OnMidi(const IMidiMsg&) override { ++midiMsgs; }
  void OnMsgFromDelegate(int msgTag, int dataSize, const void*) override
  {
    ++delegateMsgs;
    lastMsgTag = msgTag;
    lastMsgSize = dataSize;
  }
  bool OnKeyDown(float, float, const IKeyPress&) override { return ++keysDown, keyResult; }
  bool OnKeyUp(float, float, const IKeyPress&) override { return ++keysUp, keyResult; }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override
  {
    events.push_back("down " + Pt(x, y) + (mod.R ? " R" : ""));
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(float x, float y, const IMouseMod&) override { events.push_back("up " + Pt(x, y)); }
  void OnMouseDrag(float, float, float dX, float dY, const IMouseMod&) override
  {
    events.push_back("drag " + Pt(dX, dY));
  }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override
  {
    events.push_back("dbl");
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseWheel(float, float, const IMouseMod&, float d) override { events.push_back("wheel " + Num(d)); }
  void OnDrop(const char* path) override { events.push_back(std::string("drop ") + path); }
  void OnTouchCancelled(float, float, const IMouseMod&) override { events.push_back("cancel"); }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override
  {
    if (!GetMouseIsOver()) events.push_back("over");
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override
  {
    if (GetMouseIsOver()) events.push_back("out");
    IControl::OnMouseOut();
  }
  void CreateContextMenu(IPopupMenu& menu) override
  {
    for (const auto& item : contextItems)
      menu.AddItem(item.c_str());
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override
  {
    events.push_back("popup " + (menu ? std::to_string(menu->GetChosenItemIdx()) : std::string("null")) + "/" +
                     std::to_string(valIdx));
    IControl::OnPopupMenuSelection(menu, valIdx);
  }
  void OnContextSelection(int itemIdx) override { events.push_back("context " + std::to_string(itemIdx)); }
  void OnTextEntryCompletion(const char* text, int valIdx) override
  {
    events.push_back(std::string("text ") + text + "/" + std::to_string(valIdx));
  }

private:
  static std::string Num(float v)
  {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%g", static_cast<double>(v));
    return buf;
  }
  static std::string Pt(float x, float y) { return Num(x) + "," + Num(y); }
};

// An editor delegate without a host: records what controls send and answers resizes from a script.
class RecordingDelegate : public IGEditorDelegate
{
public:
  explicit RecordingDelegate(int nParams) : IGEditorDelegate(nParams) {}

  struct Sent
  {
    int paramIdx;
    double value;
  };
  std::vector<Sent> sentFromUI;
  bool resizeAnswer = true;
  int resizeRequests = 0;
  int lastResizeW = 0, lastResizeH = 0;

  // "B<param>" / "E<param>" per gesture call, in order.
  std::vector<std::string> gestures;
  std::vector<IMidiMsg> midiFromUI;
  int mouseDownHooks = 0, mouseUpHooks = 0;

  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { gestures.push_back('B' + std::to_string(paramIdx)); }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { gestures.push_back('E' + std::to_string(paramIdx)); }
  void SendMidiMsgFromUI(const IMidiMsg& msg) override { midiFromUI.push_back(msg); }
  void OnMouseDownHook() override { ++mouseDownHooks; }
  void OnMouseUpHook() override { ++mouseUpHooks; }
  void SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin) override
  {
    sentFromUI.push_back({paramIdx, normalizedValue});
    IGEditorDelegate::SendParameterValueFromUI(paramIdx, normalizedValue, notifyPlugin);
  }
  bool EditorResizeFromUI(int width, int height, bool) override
  {
    ++resizeRequests;
    lastResizeW = width;
    lastResizeH = height;
    return resizeAnswer;
  }
};

} // namespace plugin::igraphics::test

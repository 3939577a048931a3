#pragma once

// IGraphics — the editor's control host.
//
// One instance exists per open editor; the editor delegate creates it through its make-graphics function and
// deletes it when the editor closes. It owns every control of the editor, keeps the tag map through which the
// plug-in finds controls, holds the editor size and its two scales, and offers the iteration operations through
// which everything else reaches the controls. The platform layer derives from it and supplies the platform
// operations (pure virtuals below); a drawing back end supplies the renderer slots.
//
// The control list runs bottom to top: index 0 is the background, drawn first and hit last.
//
// From the editor delegate it uses: the remembered editor size and scale (written at construction), the resize
// limits, EditorResizeFromUI, LayoutUI, the graphics-ready flag and the parameter list (GetParam).
//
// Threads: main thread only.

#include "graphics/IGraphicsStructs.h"
#include "graphics/Util.h"

#include <cstdint>
#include <functional>
#include <unordered_map>

namespace plugin::igraphics
{

class IControl;
class IGEditorDelegate;
class IPopupMenu;

class IGraphics
{
public:
  using IControlFunction = std::function<void(IControl*)>;
  // Gets every key not used by the control under the mouse; true when it used the key.
  using IKeyHandlerFunc = std::function<bool(const IKeyPress& key, bool isUp)>;
  using IAppearanceChangedFunc = std::function<void(int appearance)>;

  // [main thread] width and height in graphics units; fps of 0 or less means 60; scale is the initial draw scale
  // (its half and double become the scale limits). Writes the size and scale into the delegate's remembered
  // editor size.
  IGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f);
  // Deletes every control.
  virtual ~IGraphics();

  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // -------------------------------------------------------------------------------------------------------------
  // Platform operations, supplied by the platform layer
  // -------------------------------------------------------------------------------------------------------------

  // Creates the platform view inside parent and returns it. The platform copies GetDrawContextReady() into the
  // delegate's graphics-ready flag, applies the screen scale, then runs the delegate's LayoutUI and OnUIOpen.
  virtual void* OpenWindow(void* parent) = 0;
  // Removes tooltips, stops the render timer, detaches and releases the view.
  virtual void CloseWindow() = 0;
  // The current mouse position in the editor's coordinates (graphics units).
  virtual void GetMouseLocation(float& x, float& y) const = 0;
  // Factor between graphics units and window points.
  virtual float GetPlatformWindowScale() const { return 1.f; }
  // Resizes the platform view to the editor size; parentHasResized says whether the host already did.
  virtual void PlatformResize(bool parentHasResized) = 0;
  // Hides (and with lock, pins) the cursor, or shows it again; (false, true) restores a hidden cursor.
  virtual void HideMouseCursor(bool hide, bool lock) = 0;
  // Stores the cursor type and returns the previous one; the platform also sets the system cursor.
  virtual ECursor SetMouseCursor(ECursor cursor);
  // Re-registers the visible controls' tooltips with the platform view.
  virtual void UpdateTooltips() = 0;
  // Shows a native menu; returns the menu with its chosen index set, or null; sets isAsync when the result
  // arrives later.
  virtual IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds, bool& isAsync) = 0;
  // Shows a native text field holding str, at most length characters.
  virtual void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                       const char* str) = 0;
  // The plug-in's bundle identifier; "" when the platform has none.
  virtual const char* GetBundleID() const { return ""; }

  // -------------------------------------------------------------------------------------------------------------
  // Renderer slots, supplied by the drawing back end
  // -------------------------------------------------------------------------------------------------------------

  // platformLayer: the platform's drawing surface. Base: nothing.
  virtual void OnViewInitialized(void* platformLayer);
  // Base: nothing.
  virtual void OnViewDestroyed() {}
  // True when the drawing context could be created. Base: false (no back end).
  virtual bool GetDrawContextReady() const { return false; }
  // Adapts the back end's buffers to a new size or scale. Base: nothing.
  virtual void DrawResize() {}

  // -------------------------------------------------------------------------------------------------------------
  // Size and scale [main thread]
  // -------------------------------------------------------------------------------------------------------------

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
  // A non-finite or non-positive scale is refused.
  void SetScreenScale(float scale);
  // Clamps w and h to the delegate's limits and scale to [min, max] draw scale; stops when nothing changes;
  // otherwise releases mouse captures, stores the values, resizes the platform window, calls OnResize on every
  // control, marks all dirty and, with layout-on-resize, lays the controls out again. A non-finite scale is
  // refused.
  void Resize(int w, int h, float scale, bool needsPlatformResize = true);
  // As Resize; with clampSizeFirst clear the limits are applied to the scaled size (w × scale, h × scale) after
  // the scale has been clamped.
  void Resize(int w, int h, bool needsPlatformResize, bool clampSizeFirst, float scale);

  void SetLayoutOnResize(bool layout) { mLayoutOnResize = layout; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }
  // Sets the strict-drawing flag, then marks all controls dirty.
  void SetStrictDrawing(bool strict);
  bool GetStrictDrawing() const { return mStrictDrawing; }
  bool GetResizingInProcess() const { return mResizingInProcess; }
  void SetResizingInProcess(bool resizing) { mResizingInProcess = resizing; }

  // -------------------------------------------------------------------------------------------------------------
  // Attaching, finding and removing controls [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // Takes ownership and appends control; ctrlTag below 0 means no tag, a null or empty group means none. Returns
  // control, or null when it is null, when the tag is already in use or when the list cannot grow: the control is
  // then not attached and stays with the caller.
  IControl* AttachControl(IControl* control, int ctrlTag = -1, const char* group = "");

  int NControls() const { return mControls.GetSize(); }
  // Null for an index outside the list.
  IControl* GetControl(int idx) const { return mControls.Get(idx); }
  // The list index of control, or -1.
  int GetControlIdx(const IControl* control) const { return mControls.Find(control); }
  // The control attached with ctrlTag, or null when no control holds that tag.
  IControl* GetControlWithTag(int ctrlTag) const;
  // The parameter of slot 0 of the control at idx; -1 when idx is outside the list or the control has no slot.
  int GetParamIdxForControl(int idx) const;

  // Deletes control (captures, mouse-over and tag released first), then marks all dirty. Ignores controls that
  // are not in the list.
  void RemoveControl(IControl* control);
  // Nothing when idx is outside the list.
  void RemoveControl(int idx);
  // Deletes the controls from the last down to fromIdx inclusive, then marks all dirty once.
  void RemoveControls(int fromIdx);
  // Takes the tagged control out of the list without deleting it and returns it (the caller owns it again);
  // null when no control holds the tag.
  IControl* RemoveControlWithTag(int ctrlTag);
  // Deletes every control and empties the tag map; releases captures first.
  void RemoveAllControls();

  // Move or resize the control at idx; all controls are marked dirty unless it is hidden. Ignore bad indices.
  void SetControlPosition(int idx, float x, float y);
  void SetControlSize(int idx, float w, float h);
  // Sets both bounds and target rectangle, then OnResize.
  void SetControlBounds(int idx, const IRECT& bounds);

  // -------------------------------------------------------------------------------------------------------------
  // Iteration [main thread], in list order from index 0
  // -------------------------------------------------------------------------------------------------------------

  // Every control, special ones included.
  void ForAllControlsFunc(const IControlFunction& func);
  // The member function with args on every control, special ones included.
  template <class M, class... Args>
  void ForAllControls(M method, Args... args)
  {
    ForAllControlsFunc([&](IControl* c) { (c->*method)(args...); });
  }
  // The listed controls only.
  void ForStandardControlsFunc(const IControlFunction& func);
  // The listed controls that have a slot linked to paramIdx.
  void ForControlWithParam(int paramIdx, const IControlFunction& func);
  template <class M, class... Args>
  void ForMatchingControls(M method, int paramIdx, Args... args)
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

  // Tooltip := parameter name for every listed control whose slot 0 is linked (Auto: only where empty).
  void AssignParamNameToolTips();
  void AssignParamNameToolTipsAuto();

  // Gives caller's value of slot valIdx to every other listed control linked to the same parameter. Nothing goes
  // to the host here.
  void UpdatePeers(IControl* caller, int valIdx);

  // -------------------------------------------------------------------------------------------------------------
  // Mouse capture and hit testing [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // The list index of the topmost control hit at (x, y) that is visible, takes the mouse and is enabled (or takes
  // mouse events, for mouseOver mouse-over, when disabled); -1 when none. For mouseOver the background (index 0)
  // is skipped and nothing is found unless mouse-over is enabled.
  int GetMouseControlIdx(float x, float y, bool mouseOver = false) const;
  // The control an event at (x, y) goes to: the one that touchID captured, else the topmost hit. With capture, a
  // found control is captured for touchID (refused when multi-touch is on and it holds a touch but takes only one).
  IControl* GetMouseControl(float x, float y, bool capture, bool mouseOver = false, uint64_t touchID = 0);
  // Ends every capture and shows a hidden cursor again.
  void ReleaseMouseCapture();
  // Whether the mouse or a touch holds control.
  bool ControlIsCaptured(const IControl* control) const;
  bool ControlIsCaptured() const { return !mCapturedMap.empty(); }

  void EnableMouseOver(bool enable) { mEnableMouseOver = enable; }
  bool MouseOverEnabled() const { return mEnableMouseOver; }
  // Multi-touch stays off: the platform reports no multi-touch support.
  void EnableMultiTouch(bool) { mEnableMultiTouch = false; }
  bool MultiTouchEnabled() const { return mEnableMultiTouch; }
  IControl* GetMouseOverControl() const { return mMouseOver; }
  int GetMouseOverIdx() const { return mMouseOverIdx; }

  // -------------------------------------------------------------------------------------------------------------
  // Keys, tooltips, appearance [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // The control under (x, y), unless it is the background, is asked first; when it does not use the key the key
  // handler decides; false with no handler.
  bool OnKeyDown(float x, float y, const IKeyPress& key);
  bool OnKeyUp(float x, float y, const IKeyPress& key);
  void SetKeyHandlerFunc(IKeyHandlerFunc func) { mKeyHandlerFunc = std::move(func); }

  // Stores the flag and updates the platform's tooltips when it changes.
  void EnableTooltips(bool enable);
  bool TooltipsEnabled() const { return mEnableTooltips; }

  // appearance: 0 light, 1 dark. Runs the appearance-changed function when one is set.
  void OnAppearanceChanged(int appearance);
  void SetAppearanceChangedFunc(IAppearanceChangedFunc func) { mAppearanceChangedFunc = std::move(func); }

  // Remembers the parameter of slot 0 of the control under (x, y), or -1.
  void SetLastClickedParam(float x, float y);
  // The remembered parameter; resets it to -1.
  int GetAndResetLastClickedParam();

  ECursor GetCursorType() const { return mCursorType; }
  bool GetCursorHidden() const { return mCursorHidden; }
  float GetMouseDownX() const { return mMouseDownX; }
  float GetMouseDownY() const { return mMouseDownY; }

  IGEditorDelegate* GetDelegate() const { return mDelegate; }

protected:
  // The platform layer keeps this in step with HideMouseCursor.
  void SetCursorHidden(bool hidden) { mCursorHidden = hidden; }

private:
  // Steps shared by both Resize forms once the values are clamped.
  void ApplyResize(int w, int h, float scale, bool needsPlatformResize);
  // Takes the listed control at idx out of the list, releasing captures, mouse-over, text-entry and menu
  // references and its tag; deletes it when asked.
  void TakeOutAt(int idx, bool wantDelete);
  // Hands the delegate and, when its graphics are ready, its graphics context to control.
  void GiveContext(IControl* control);

  Util_PtrList<IControl> mControls{4096};
  std::unordered_map<int, IControl*> mCtrlTags;
  std::unordered_map<uint64_t, IControl*> mCapturedMap;

  ECursor mCursorType = kCursorArrow;
  int mWidth;
  int mHeight;
  int mFPS;
  float mScreenScale = 1.f;
  float mDrawScale;

  IControl* mMouseOver = nullptr;
  IControl* mInTextEntry = nullptr;
  IControl* mInPopupMenu = nullptr;
  int mMouseOverIdx = -1;
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
  bool mCursorHidden = false;

  IKeyHandlerFunc mKeyHandlerFunc;
  IAppearanceChangedFunc mAppearanceChangedFunc;
  IGEditorDelegate* mDelegate;
};

} // namespace plugin::igraphics

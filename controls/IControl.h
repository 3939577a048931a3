#pragma once

// IControl — the base of every element of the editor.
//
// A control owns its geometry (drawing bounds and the target rectangle used for hit tests), its value slots (each a
// normalised value, optionally linked to a plug-in parameter), its text style and blend, its state flags and the
// functions it runs when the user changes it or while it animates. The graphics context (IGraphics) owns attached
// controls, hit-tests them, calls the virtual handlers and deletes them when the editor closes; the editor delegate
// owns the parameters that the slots name.
//
// Threads: everything here runs on the main (editor) thread. Values from the audio side reach a control only
// through the delegate's queue, drained on the main thread.

#include "graphics/IGraphicsStructs.h"
#include "graphics/Util.h"

#include <unordered_map>
#include <vector>

namespace plugin
{
struct IMidiMsg;
class IParam;
} // namespace plugin

namespace plugin::igraphics
{

class IGraphics;
class IGEditorDelegate;
class IPopupMenu;

// Action functions for click feedback: DefaultClickActionFunc starts a 100 ms animation that only redraws;
// DefaultAnimationFunc ends it once its progress passes 1.
void DefaultClickActionFunc(IControl* caller);
void DefaultAnimationFunc(IControl* caller);

class IControl
{
public:
  // One value of the control: normalised 0..1 (held as stored, clamped only by SetDirty), linked to the parameter
  // paramIdx, or to none when paramIdx is -1.
  struct ValueSlot
  {
    int paramIdx = -1;
    double value = 0.0;
  };

  // One slot linked to paramIdx (-1: none). The action function is copied and may be empty.
  IControl(const IRECT& bounds, int paramIdx = -1, IActionFunction actionFunc = nullptr);
  // One slot per entry of params, in order; an empty list gives a control without slots.
  IControl(const IRECT& bounds, const std::vector<int>& params, IActionFunction actionFunc = nullptr);
  // One unlinked slot.
  IControl(const IRECT& bounds, IActionFunction actionFunc);

  virtual ~IControl() = default;

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // -------------------------------------------------------------------------------------------------------------
  // Event handlers [main thread]; called by the graphics context
  // -------------------------------------------------------------------------------------------------------------

  // Base: with the right button, the value prompt for the slot under the point (see PromptUserInput).
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float x, float y, const IMouseMod& mod);
  virtual void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  // Base: resets the slot under the point to its parameter's default (SetValueToDefault).
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta);
  // True when the control used the key; base: false.
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
  virtual bool OnKeyUp(float x, float y, const IKeyPress& key);
  // Base: sets the mouse-is-over flag, marking the control dirty (without action) when it was clear.
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  // Base: clears the mouse-is-over flag, marking the control dirty (without action) when it was set.
  virtual void OnMouseOut();
  virtual void OnTouchCancelled(float x, float y, const IMouseMod& mod);
  virtual void OnDrop(const char* path);

  // Hooks run on attach (OnInit, OnResize, OnRescale, then OnAttached) and on later resizes and rescales.
  virtual void OnRescale() {}
  virtual void OnResize() {}
  virtual void OnInit() {}
  virtual void OnAttached() {}

  // A message from the plug-in addressed to this control's tag; data holds dataSize bytes. Base: ignored.
  virtual void OnMsgFromDelegate(int msgTag, int dataSize, const void* data);
  // A MIDI message forwarded by the delegate; only controls that want MIDI receive it. Base: ignored.
  virtual void OnMidi(const IMidiMsg& msg);

  // A gesture routed to this control: runs the handler of the gesture's type; false when there is none.
  virtual bool OnGesture(const IGestureInfo& info);
  // Fills the context menu for a right click. Base: nothing (no menu opens).
  virtual void CreateContextMenu(IPopupMenu& contextMenu);
  // A value menu closed: the chosen item index as a real value of the slot's parameter. Nothing for a null menu,
  // a negative or unlinked slot, or while prompts are disabled.
  virtual void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx);
  virtual void OnTextEntryCompletion(const char* text, int valIdx);
  virtual void OnContextSelection(int itemIdx);

  // Draws the control; every concrete control provides it.
  virtual void Draw(IGraphics& g) = 0;
  // The host-highlight dot at the top-right of the target rectangle while highlighted.
  virtual void DrawPTHighlight(IGraphics& g);

  // -------------------------------------------------------------------------------------------------------------
  // Values [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // Links slot valIdx to paramIdx; an index outside the slot list is ignored.
  virtual void SetParamIdx(int paramIdx, int valIdx = 0);
  // The slot under the point: 0 for a control with exactly one slot, else -1 (none / all).
  virtual int GetValIdxForPos(float x, float y) const;

  // A value from the plug-in side: stored and redrawn without telling the host. Ignored while the mouse holds
  // this control (the user's drag wins) and when the slot already holds exactly this value.
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  // A value the user chose: stored, then SetDirty(true, valIdx), so the host hears of it and the action runs.
  // Nothing happens when the slot already holds exactly this value.
  virtual void SetValueFromUserInput(double value, int valIdx = 0);
  // Every selected slot (see SetDirty) that has a parameter takes the parameter's normalised default; then
  // SetDirty(true, valIdx) whether or not a value changed.
  virtual void SetValueToDefault(int valIdx = -1);
  // Stores value in the slot as given (no clamping); an index outside the slot list is ignored.
  virtual void SetValue(double value, int valIdx = 0);

  // -------------------------------------------------------------------------------------------------------------
  // Geometry and state [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // Moves the bounds to (x, y) (negative coordinates become 0), keeping their size; the target rectangle keeps
  // its size and its offset from the bounds. Calls OnResize.
  virtual void SetPosition(float x, float y);
  // Bounds and target rectangle become (L, T, L + w, T + h) (negative sizes become 0). Calls OnResize.
  virtual void SetSize(float w, float h);

  // Hidden controls are neither drawn nor hit. Marks the control dirty without action.
  virtual void Hide(bool hide);
  // Disabled controls are greyed (blend weight 0.25; 1.0 when enabled again) and skipped by mouse hit tests.
  // Marks the control dirty without action.
  virtual void SetDisabled(bool disable);

  // The target rectangle contains the point (half-open; an all-zero target is never hit).
  virtual bool IsHit(float x, float y) const;

  // Slot selection: a control with exactly one slot uses slot 0 whatever valIdx says; otherwise valIdx < 0 means
  // every slot in order. Each selected slot's value is clamped to 0..1 and the control is marked dirty. With
  // triggerAction, each selected slot linked to a parameter sends its value to the host through the delegate
  // and to the other controls of that parameter (IGraphics::UpdatePeers); then the action function runs.
  virtual void SetDirty(bool triggerAction, int valIdx = -1);
  virtual void SetClean() { mDirty = false; }
  // True while an animation function is set, else the dirty flag.
  virtual bool IsDirty() const;

  virtual void OnGUIIdle() {}

  // The value from a point: x or y (clamped to bounds) as a fraction of bounds (vertical: 1 at the top), to the
  // nearest 0.001, limited to [minClip, maxClip]; into slot valIdx or every slot (valIdx < 0); then
  // SetDirty(true, valIdx). Bounds without extent along the direction change nothing.
  virtual void SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds, int valIdx = -1,
                           double minClip = 0.0, double maxClip = 1.0);

  // Clears the animation function, marks the control dirty without action, then runs the animation-end action.
  virtual void OnEndAnimation();

  // -------------------------------------------------------------------------------------------------------------
  // Value slots [main thread]
  // -------------------------------------------------------------------------------------------------------------

  int NVals() const { return static_cast<int>(mVals.size()); }
  // The parameter linked to slot valIdx; -1 when unlinked or when valIdx is outside the slot list.
  int GetParamIdx(int valIdx = 0) const
  {
    return (valIdx >= 0 && valIdx < NVals()) ? mVals[static_cast<size_t>(valIdx)].paramIdx : -1;
  }
  // The normalised value of slot valIdx; 0 when valIdx is outside the slot list.
  double GetValue(int valIdx = 0) const
  {
    return (valIdx >= 0 && valIdx < NVals()) ? mVals[static_cast<size_t>(valIdx)].value : 0.0;
  }
  // The parameter of slot valIdx, or null when the slot is unlinked, out of range, there is no delegate, or the
  // delegate has no parameter with that index.
  const IParam* GetParam(int valIdx = 0) const;
  // The first slot linked to paramIdx, or -1.
  int LinkedToParam(int paramIdx) const
  {
    for (int i = 0; i < NVals(); ++i)
      if (mVals[static_cast<size_t>(i)].paramIdx == paramIdx) return i;
    return -1;
  }

  // -------------------------------------------------------------------------------------------------------------
  // Prompts, animation, gestures [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // Asks the graphics context for a value prompt for slot valIdx: over the bounds when the parameter has display
  // texts (a menu), else over a 40 × 16 rectangle at the centre of the bounds; then SetDirty(false). Nothing for a
  // negative or unlinked slot, without a context, or while prompts are disabled.
  void PromptUserInput(int valIdx = 0);
  // The same over the caller's rectangle, without the final SetDirty.
  void PromptUserInput(const IRECT& bounds, int valIdx = 0);
  // The value bubble for slot 0's parameter (display text and label): horizontal, to the right of the bounds at
  // their vertical centre; vertical, above the bounds at their horizontal centre. The bubble's content is at least
  // 50 × 30. Nothing without a context or while slot 0 names no existing parameter.
  void ShowBubbleHorizontal();
  void ShowBubbleVertical();
  // The parameter's display text for its current value, then " " and its label when it has one.
  static void GetParamDisplayWithLabel(const IParam& param, Util_String& str, bool withDisplayText = true);

  // Starts the running animation now, for duration milliseconds.
  void StartAnimation(double durationMs, bool forward = true);
  // 0 without an animation function; else the elapsed fraction of the duration (counting down when backward).
  double GetAnimationProgress() const;

  // Stores handler for the type unless one is stored already (the first stays), registers the type with the
  // graphics context, and returns this control.
  IControl* AttachGestureRecognizer(EGestureType type, IGestureFunc handler);
  bool HasGestures() const { return !mGestureFuncs.empty(); }
  EGestureType GetLastGesture() const { return mLastGesture; }

  // -------------------------------------------------------------------------------------------------------------
  // Plain accessors [main thread]
  // -------------------------------------------------------------------------------------------------------------

  const IRECT& GetRECT() const { return mRECT; }
  // Sets the drawing bounds only; clears the mouse-is-over flag.
  void SetRECT(const IRECT& bounds)
  {
    mRECT = bounds;
    mMouseIsOver = false;
  }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  // Sets the hit-test rectangle only; clears the mouse-is-over flag.
  void SetTargetRECT(const IRECT& bounds)
  {
    mTargetRECT = bounds;
    mMouseIsOver = false;
  }
  void SetTargetAndDrawRECTs(const IRECT& bounds)
  {
    mRECT = mTargetRECT = bounds;
    mMouseIsOver = false;
  }

  const char* GetGroup() const { return mGroup.Get(); }
  // A null group means none.
  void SetGroup(const char* group) { mGroup.Set(group); }
  const char* GetTooltip() const { return mTooltip.Get(); }
  void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip); }

  const IText& GetText() const { return mText; }
  void SetText(const IText& text) { mText = text; }
  const IBlend& GetBlend() const { return mBlend; }
  void SetBlend(const IBlend& blend) { mBlend = blend; }

  // Maximum characters of a text entry prompted for this control (the platform text field honours it).
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int len) { mTextEntryLength = len; }

  bool IsHidden() const { return mHide; }
  bool IsDisabled() const { return mDisabled; }
  bool GetPromptDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool v) { mDblAsSingleClick = v; }
  bool GetMouseOverWhenDisabled() const { return mMouseOverWhenDisabled; }
  void SetMouseOverWhenDisabled(bool v) { mMouseOverWhenDisabled = v; }
  bool GetMouseEventsWhenDisabled() const { return mMouseEventsWhenDisabled; }
  void SetMouseEventsWhenDisabled(bool v) { mMouseEventsWhenDisabled = v; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  void SetIgnoreMouse(bool v) { mIgnoreMouse = v; }
  bool GetWantsRightClickCapture() const { return mRightClickCapture; }
  void SetWantsRightClickCapture(bool v) { mRightClickCapture = v; }
  bool GetWantsMidi() const { return mWantsMidi; }
  void SetWantsMidi(bool v) { mWantsMidi = v; }
  bool GetWantsMultiTouch() const { return mWantsMultiTouch; }
  void SetWantsMultiTouch(bool v) { mWantsMultiTouch = v; }
  bool GetPromptShowsParamLabel() const { return mPromptShowsParamLabel; }
  void SetPromptShowsParamLabel(bool v) { mPromptShowsParamLabel = v; }
  bool GetMouseIsOver() const { return mMouseIsOver; }

  // Host parameter highlight: colour index 0 red, 1 blue, 2 green, 3 yellow; another index keeps the current
  // colour. Marks the control dirty without action.
  void SetPTParameterHighlight(bool highlighted, int colour)
  {
    switch (colour)
    {
    case 0:
      mPTHighlightColor = COLOR_RED;
      break;
    case 1:
      mPTHighlightColor = COLOR_BLUE;
      break;
    case 2:
      mPTHighlightColor = COLOR_GREEN;
      break;
    case 3:
      mPTHighlightColor = COLOR_YELLOW;
      break;
    default:
      break;
    }
    mPTisHighlighted = highlighted;
    SetDirty(false);
  }
  bool GetPTIsHighlighted() const { return mPTisHighlighted; }
  const IColor& GetPTHighlightColor() const { return mPTHighlightColor; }

  // Set by the graphics context on attach. The graphics pointer is null while the delegate has no drawable
  // editor context.
  IGEditorDelegate* GetDelegate() const { return mDelegate; }
  void SetDelegate(IGEditorDelegate* dlg) { mDelegate = dlg; }
  IGraphics* GetUI() const { return mGraphics; }
  void SetGraphics(IGraphics* g) { mGraphics = g; }

  const IActionFunction& GetActionFunction() const { return mActionFunc; }
  void SetActionFunction(IActionFunction f) { mActionFunc = std::move(f); }
  const IActionFunction& GetAnimationEndActionFunction() const { return mAnimationEndActionFunc; }
  void SetAnimationEndActionFunction(IActionFunction f) { mAnimationEndActionFunc = std::move(f); }
  const IAnimationFunction& GetAnimationFunction() const { return mAnimationFunc; }
  void SetAnimation(IAnimationFunction f) { mAnimationFunc = std::move(f); }
  // Runs the animation function with this control when one is set (once per frame, from the frame loop).
  void Animate()
  {
    if (mAnimationFunc) mAnimationFunc(this);
  }

protected:
  // The value bubble of slot 0 at (x, y).
  void ShowValueBubble(EDirection direction, float x, float y);

  // Applies f to the slots that SetDirty/SetValueToDefault select for valIdx.
  template <class F> void ForSelectedSlots(int valIdx, F&& f)
  {
    const int n = NVals();
    if (n == 1) valIdx = 0;
    if (valIdx >= n) return;
    if (valIdx >= 0)
      f(valIdx);
    else
      for (int i = 0; i < n; ++i)
        f(i);
  }

  IRECT mRECT;
  IRECT mTargetRECT;
  Util_String mGroup;
  IText mText = DEFAULT_TEXT;
  IBlend mBlend;
  int mTextEntryLength = 7;
  bool mDirty = true;
  bool mHide = false;
  bool mDisabled = false;
  bool mDisablePrompt = true;
  bool mDblAsSingleClick = false;
  bool mMouseOverWhenDisabled = false;
  bool mMouseEventsWhenDisabled = false;
  bool mIgnoreMouse = false;
  bool mRightClickCapture = false;
  bool mWantsMidi = false;
  bool mWantsMultiTouch = false;
  bool mPromptShowsParamLabel = false;
  bool mMouseIsOver = false;
  Util_String mTooltip;
  IColor mPTHighlightColor = COLOR_RED;
  bool mPTisHighlighted = false;
  IGEditorDelegate* mDelegate = nullptr;
  IGraphics* mGraphics = nullptr;
  IActionFunction mActionFunc;
  IActionFunction mAnimationEndActionFunc;
  IAnimationFunction mAnimationFunc;
  double mAnimationStartMs = 0.0;
  double mAnimationDurationMs = 0.0;
  bool mAnimationForward = true;
  std::vector<ValueSlot> mVals;
  std::unordered_map<int, IGestureFunc> mGestureFuncs;
  EGestureType mLastGesture = EGestureType::Unknown;
};

} // namespace plugin::igraphics

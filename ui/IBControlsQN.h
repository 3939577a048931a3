#pragma once

// The product's buttons, switches, radio groups, bitmaps, hidden hit areas, read-out texts and corner resizer.
//
// These controls act on the plug-in in two ways. Setting a value goes through SetValue + SetDirty(true), so a
// control bound to a parameter tells the host and the plug-in (OnParamChange with source UI). Sending a command
// calls the delegate's OnParamChange(code, kUI, -1) directly: codes 0 to 45 are parameters, higher codes are the
// plug-in's editor commands, and -1 sends nothing. A control never looks at what the plug-in does with a code.
//
// Bitmap-sized bounds: a control placed at (x, y) with a bitmap spans one frame, (x, y, x + fw, y + fh).
// A hover highlight is a rounded rectangle (radius 2) in the highlight colour under the centred frame.
//
// Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IControl.h"
#include "controls/IControlBases.h"
#include "controls/ISpecialControls.h"
#include "controls/ITextControls.h"

#include <array>

namespace plugin::igraphics
{

// Sends command code through control's delegate as OnParamChange(code, kUI, -1); nothing for a negative code or
// a control without a delegate.
void SendCommandQN(IControl& control, int code);

// A plain bitmap, its frame chosen by the value the plug-in sets (LEDs). Swallows every mouse event.
class IBBitmapControlQN : public IControl, public IBitmapBase
{
public:
  IBBitmapControlQN(int x, int y, const IBitmap& bitmap);

  void OnMouseDown(float, float, const IMouseMod&) override {}
  void OnMouseUp(float, float, const IMouseMod&) override {}
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {}
  void OnMouseDblClick(float, float, const IMouseMod&) override {}
  void OnMouseWheel(float, float, const IMouseMod&, float) override {}
  void Draw(IGraphics& g) override;
  void OnRescale() override { RescaleBitmap(); }
};

// An invisible control bound to a parameter: it follows the parameter and, with non-empty bounds, is a hit area.
class IVParameterControlHiddenQN : public IControl
{
public:
  explicit IVParameterControlHiddenQN(const IRECT& bounds, int paramIdx = -1);

  void Draw(IGraphics&) override {}
};

// An invisible area that sends a command on mouse-down.
class IVClickControlHiddenQN : public IControl
{
public:
  IVClickControlHiddenQN(const IRECT& bounds, int cmdIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void Draw(IGraphics&) override {}

  int GetCommand() const { return mCmdIdx; }
  // The modifiers of the mouse-down in progress; all clear between clicks.
  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  int mCmdIdx;
  IMouseMod mStoredMod;
};

// A bitmap button that sends a command on mouse-down. A momentary one shows its pressed frame while held (value 1
// from down to up).
class IBClickButtonControlQN : public IBButtonControl
{
public:
  IBClickButtonControlQN(float x, float y, const IBitmap& bitmap, int cmdIdx, bool momentary = true,
                         bool hoverHighlight = false, const IColor& highlightColor = IColor(16, 255, 255, 255));

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {}
  void OnMouseDblClick(float, float, const IMouseMod&) override {}
  void OnMouseWheel(float, float, const IMouseMod&, float) override {}
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(IGraphics& g) override;

  int GetCommand() const { return mCmdIdx; }
  bool GetMomentary() const { return mMomentary; }
  bool GetHoverHighlight() const { return mHoverHighlight; }
  const IColor& GetHighlightColor() const { return mHighlightColor; }
  bool GetMouseOver() const { return mMouseOver; }
  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  int mCmdIdx;
  IMouseMod mStoredMod;
  bool mMomentary;
  bool mHoverHighlight;
  bool mMouseOver = false;
  IColor mHighlightColor;
};

// A momentary parameter button: the bound parameter is 1 while the button is held and 0 again on release.
class IBPushControlQN : public IBSwitchControl
{
public:
  IBPushControlQN(float x, float y, const IBitmap& bitmap, int paramIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {}
  void OnMouseDblClick(float, float, const IMouseMod&) override {}
  void OnMouseWheel(float, float, const IMouseMod&, float) override {}

  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  IMouseMod mStoredMod;
};

// A bitmap switch stepping through its frames (an on/off toggle with two), optionally invisible and with a hover
// highlight.
class IBSwitchControlQN : public IBSwitchControl
{
public:
  IBSwitchControlQN(float x, float y, const IBitmap& bitmap, int paramIdx, bool visible = true,
                    bool hoverHighlight = false, const IColor& highlightColor = IColor(16, 255, 255, 255));

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(IGraphics& g) override;

  bool GetVisible() const { return mVisible; }
  void SetVisible(bool visible) { mVisible = visible; }
  bool GetHoverHighlight() const { return mHoverHighlight; }
  const IColor& GetHighlightColor() const { return mHighlightColor; }
  bool GetMouseOver() const { return mMouseOver; }
  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  IMouseMod mStoredMod;
  bool mVisible;
  bool mHoverHighlight;
  bool mMouseOver = false;
  IColor mHighlightColor;
};

// A command button drawn as a switch: a click sends the command and leaves the value alone; the plug-in drives
// the frame (the latency measurement's on/off).
class IBSwitchControlExtraQN : public IBSwitchControlQN
{
public:
  // The switch's arguments with parameter index -1 (no parameter), then the command.
  IBSwitchControlExtraQN(float x, float y, const IBitmap& bitmap, int paramIdx, bool visible, bool hoverHighlight,
                         const IColor& highlightColor, int cmdIdx);
  // The same without a parameter argument.
  IBSwitchControlExtraQN(float x, float y, const IBitmap& bitmap, bool visible, bool hoverHighlight,
                         const IColor& highlightColor, int cmdIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float, float, const IMouseMod&) override {}
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {}
  void OnMouseDblClick(float, float, const IMouseMod&) override {}
  void OnMouseWheel(float, float, const IMouseMod&, float) override {}

  int GetCommand() const { return mCmdIdx; }

protected:
  int mCmdIdx;
};

// The bottom-right resize handle drawn from a two-frame bitmap (frame 2 while hovered or dragging). It chooses the
// editor's resize mode at mouse-down and tells the plug-in about rescales and resets through its commands.
class IBCornerResizerControlQN : public ICornerResizerControl, public IBitmapBase
{
public:
  // -1 none, 0 size and scale (Ctrl picks scale), 1 size only, 2 scale only.
  enum EResizeMode : int
  {
    kResizeNone = -1,
    kResizeBoth = 0,
    kResizeSizeOnly = 1,
    kResizeScaleOnly = 2
  };

  // editorBounds: the editor's rectangle (0, 0, W, H). A command of -1 is absent; the mode follows from which
  // are present: all four -> both, the two size ones only -> size only, the two scale ones only -> scale only,
  // anything else -> none.
  IBCornerResizerControlQN(const IRECT& editorBounds, const IBitmap& bitmap, int sizeRescaleCmd, int sizeResetCmd,
                           int scaleRescaleCmd, int scaleResetCmd, float xOffset = 0.f, float yOffset = 0.f);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnRescale() override;
  // Follows the editor's size: the bitmap-wide square in its bottom-right corner.
  void OnResize() override;
  void Draw(IGraphics& g) override;

  int GetResizeMode() const { return mResizeMode; }
  // The frame Draw uses now (1 idle, 2 hovered or dragging).
  int CurrentFrame() const;

protected:
  int mSizeRescaleCmd;
  int mSizeResetCmd;
  int mScaleRescaleCmd;
  int mScaleResetCmd;
  float mXOffset;
  float mYOffset;
  int mResizeMode;
};

// A radio group of bitmap buttons bound to an integer or enumerated parameter: button i stands for the real
// value i (with allow-none, i + 1, and a click on the active button selects none, value 0).
template <int N> class IBRadioButtonsControlT : public IControl
{
public:
  IBRadioButtonsControlT(const IRECT& bounds, int paramIdx, const std::array<IRECT, N>& rects,
                         const std::array<IBitmap, N>& bitmaps, bool allowNone);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void Draw(IGraphics& g) override;
  // Each button's bitmap again at the new screen scale (a failed load keeps the one held), as every bitmap control
  // of the editor does, so the group stays as sharp as its neighbours on a display of another scale.
  void OnRescale() override;

  int NButtons() const { return mNButtons; }
  bool GetAllowNone() const { return mAllowNone; }
  // Button i's rectangle; an index outside the group gives an empty rectangle and is ignored by the setter.
  IRECT GetButtonRect(int i) const { return (i >= 0 && i < N) ? mRects[static_cast<size_t>(i)] : IRECT(); }
  void SetButtonRect(int i, const IRECT& r)
  {
    if (i >= 0 && i < N) mRects[static_cast<size_t>(i)] = r;
  }
  const IBitmap& GetButtonBitmap(int i) const { return mBitmaps[static_cast<size_t>(i < 0 ? 0 : (i < N ? i : N - 1))]; }
  // The button under (x, y), first match in order; -1 outside every button.
  int ButtonAt(float x, float y) const;
  // The parameter's real value as a whole number (truncated); -1 without a parameter.
  int CurrentIndex() const;
  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  // The real value a click on button i selects, per allow-none.
  int ChosenValue(int button) const;
  // Draws button i in frame (1-based; limited to the bitmap's frames).
  void DrawButton(IGraphics& g, int i, int frame);

  std::array<IRECT, N> mRects;
  std::array<IBitmap, N> mBitmaps;
  int mNButtons = N;
  bool mAllowNone;
  IMouseMod mStoredMod;
};

class IBRadioButtonsControl3 : public IBRadioButtonsControlT<3>
{
public:
  IBRadioButtonsControl3(const IRECT& bounds, int paramIdx, const IRECT& r1, const IBitmap& b1, const IRECT& r2,
                         const IBitmap& b2, const IRECT& r3, const IBitmap& b3, bool allowNone = false);
};

class IBRadioButtonsControl4 : public IBRadioButtonsControlT<4>
{
public:
  IBRadioButtonsControl4(const IRECT& bounds, int paramIdx, const IRECT& r1, const IBitmap& b1, const IRECT& r2,
                         const IBitmap& b2, const IRECT& r3, const IBitmap& b3, const IRECT& r4, const IBitmap& b4,
                         bool allowNone = false);
};

// The snapshot selector: four radio buttons; a filled button (its snapshot is stored) shows frame 2, the selected
// one is drawn again in frame 3. A click selects and then sends the command.
class IBRadioButtonsControl4Special : public IBRadioButtonsControl4
{
public:
  IBRadioButtonsControl4Special(const IRECT& bounds, int paramIdx, const IRECT& r1, const IBitmap& b1, const IRECT& r2,
                                const IBitmap& b2, const IRECT& r3, const IBitmap& b3, const IRECT& r4,
                                const IBitmap& b4, bool allowNone, int cmdIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(IGraphics& g) override;

  // Written by the plug-in: true while snapshot i (0..3) is stored. Marks the control dirty when it changes.
  void SetFilled(int i, bool filled);
  bool GetFilled(int i) const { return i >= 0 && i < 4 && mFilled[static_cast<size_t>(i)]; }
  int GetCommand() const { return mCmdIdx; }

protected:
  std::array<bool, 4> mFilled{};
  int mCmdIdx;
};

// A text written by the plug-in (the read-outs); redraws only when the text really changes.
class IVTextControlQN : public ITextControl
{
public:
  IVTextControlQN(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
                  const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);

  // Same bytes: nothing. Otherwise replaced, refitted when made to size to its text, and SetDirty(true).
  void SetStr(const char* str) override;
};

} // namespace plugin::igraphics

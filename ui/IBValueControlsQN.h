#pragma once

// The product's value editors: a bitmap value field (IBParameterControlQN), a bitmap knob that can show its value
// (IBKnobMultiControlQN) and a text-only value field (IVParameterControlQN). They share one behaviour:
//
// - drag: relative; a full drag over the drag bounds moves the value by 1 / gearing (Shift: ten times finer);
//   nothing while Ctrl is held. A stepped parameter lands on its grid by truncation toward zero, while the
//   unsnapped drag value carries on, so slow drags still cross steps.
// - mouse-down with Ctrl: the parameter's default.
// - wheel: 0.01 per unit of delta (Shift 0.001, Ctrl 0.1); a stepped parameter moves exactly one step per event.
// - double click: the value prompt (text entry or menu), unless prompts are disabled. While the typed value is
//   applied, the editor's mouse-over index is the one current when the prompt opened.
//
// Value text: the parameter's display text, then " " and its label when show-label is on; alpha halved while
// disabled. Never "-0" style text for a value that rounds to zero.
//
// Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IControlBases.h"
#include "graphics/Util.h"

namespace plugin::igraphics
{

// Knob drag direction beyond EDirection: vertical with dragging down raising the value.
inline constexpr EDirection kVerticalInverted = static_cast<EDirection>(2);

// Shared by the three classes; not a control of its own.
namespace valuecontrols
{
// The normalised value after a drag of (dX, dY) in direction over dragBounds with gearing, advancing dragValue.
// Ctrl: nothing changes and the current value is returned. Flat drag bounds leave dragValue as it was.
double DragValue(const IControl& control, double& dragValue, float dX, float dY, int direction, const IRECT& dragBounds,
                 double gearing, const IMouseMod& mod);
// The normalised value after a wheel event of delta. stepResolution: a stepped parameter rounds to the step's
// resolution (the knob) rather than to three decimals.
double WheelValue(const IControl& control, const IMouseMod& mod, float delta, bool integerWheelMode,
                  bool stepResolution);
// The parameter's display text with its label when showLabel; empty without a parameter. Bounded, C locale,
// and no negative zero.
void ValueText(const IControl& control, bool showLabel, Util_String& out);
// The control's text style, alpha halved (integer division) while it is disabled.
IText ValueTextStyle(const IControl& control);

// The mouse handling the three classes share, over their knob base. StepResolution: see WheelValue.
template <class Base, bool StepResolution> class ValueControlQN : public Base
{
public:
  using Base::Base;

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;
  // The value prompt over the whole control.
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  // Applies a prompt's value with the editor's mouse-over index as it was when the prompt opened.
  void SetValueFromUserInput(double value, int valIdx = 0) override;

  const IMouseMod& GetStoredMod() const { return mStoredMod; }

protected:
  IMouseMod mStoredMod;
  bool mIntegerWheelMode = false;
  int mSavedMouseOverIdx = -1;
};

extern template class ValueControlQN<IKnobControlBase, false>;
extern template class ValueControlQN<IBKnobControl, true>;
} // namespace valuecontrols

// A value field: a one-frame bitmap with the parameter's value text drawn on it.
class IBParameterControlQN : public valuecontrols::ValueControlQN<IKnobControlBase, false>, public IBitmapBase
{
public:
  IBParameterControlQN(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                       EDirection direction = kVertical, bool promptsDisabled = false, bool showLabel = false,
                       double gearing = 4.0);

  void OnRescale() override;
  void Draw(IGraphics& g) override;
  void SetDisabled(bool disable) override;

  bool GetShowLabel() const { return mShowLabel; }
  bool GetIntegerWheelMode() const { return mIntegerWheelMode; }
  void SetIntegerWheelMode(bool on) { mIntegerWheelMode = on; }

protected:
  bool mShowLabel;
};

// A bitmap knob whose value text can be shown over it (on hover and/or always), in a box as wide as N "0"s.
class IBKnobMultiControlQN : public valuecontrols::ValueControlQN<IBKnobControl, true>
{
public:
  // placement: 0 top, 1 middle, 2 bottom of the bounds. direction may be kVerticalInverted.
  IBKnobMultiControlQN(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text, const IColor& textBGColor,
                       int textEntryLength, EDirection direction, bool promptsDisabled, bool showValueOnHover,
                       bool showLabel, int textPlacement, bool alwaysShowValue, bool fillTextBG, double gearing = 4.0,
                       float rightEdgeOffset = 0.f);

  // The prompt over the value text's box.
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(IGraphics& g) override;

  // The value text's box measured with g (before the right-edge offset).
  IRECT TextRect(const IGraphics& g) const;
  bool GetMouseOver() const { return mMouseOver; }
  const char* GetWidthTemplate() const { return mWidthTemplate.Get(); }
  bool GetIntegerWheelMode() const { return mIntegerWheelMode; }
  void SetIntegerWheelMode(bool on) { mIntegerWheelMode = on; }

protected:
  bool mShowLabel;
  bool mMouseOver = false;
  bool mShowValueOnHover;
  bool mAlwaysShowValue;
  bool mFillTextBG;
  IColor mTextBGColor = IColor(255, 0, 0, 0);
  int mTextPlacement;
  Util_String mWidthTemplate;
  float mRightEdgeOffset;
};

// A text-only value field with an optional drawn background and frame.
class IVParameterControlQN : public valuecontrols::ValueControlQN<IKnobControlBase, false>
{
public:
  IVParameterControlQN(const IRECT& bounds, int paramIdx, const IText& text, EDirection direction = kVertical,
                       bool promptsDisabled = false, bool showLabel = false, double gearing = 4.0);

  void Draw(IGraphics& g) override;
  void SetDisabled(bool disable) override;

  // Background (off by default) in colour, framed per the style's draw-frame flag, roundness and thickness.
  void SetDrawBackground(bool on) { mDrawBackground = on; }
  bool GetDrawBackground() const { return mDrawBackground; }
  void SetBackgroundColor(const IColor& color) { mBGPattern = IPattern(color); }
  const IVStyle& GetStyle() const { return mStyle; }
  void SetStyle(const IVStyle& style) { mStyle = style; }
  bool GetShowLabel() const { return mShowLabel; }

protected:
  bool mDrawBackground = false;
  IVStyle mStyle = DEFAULT_STYLE;
  IPattern mBGPattern = IPattern(COLOR_TRANSPARENT);
  bool mShowLabel;
};

} // namespace plugin::igraphics

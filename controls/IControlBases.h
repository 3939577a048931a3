#pragma once

// Interaction bases: the mouse behaviour of every button, switch, knob and slider. Concrete controls (bitmap, SVG,
// vector and the product's own) derive from one of these and add only drawing. All act on value slot 0 and
// trigger through SetDirty(true), which sends the value to the parameter and runs the action function.
//
// Two terms recur below:
// - fine adjust: the control or the shift modifier is held; gearing is then ten times larger (wheel: 0.001 per
//   unit instead of 0.01);
// - a stepped parameter: slot 0's parameter exists, carries the stepped flag, and has a step and a range above 0.
//   Its values snap to whole multiples of the step (towards zero, as r - fmod(r, step)), with a tolerance of a
//   billionth of a step so that a value a rounding error below a step still counts as that step.
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"

#include <vector>

namespace plugin::igraphics
{

// A momentary button: pressing sets slot 0 to 1; it returns to 0 when its click animation ends.
class IButtonControlBase : public IControl
{
public:
  // No parameter; a double click counts as a click.
  IButtonControlBase(const IRECT& bounds, IActionFunction actionFunc = DefaultClickActionFunc);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Slot 0 back to 0, animation cleared, redrawn, then the animation-end action.
  void OnEndAnimation() override;
};

// A control with a fixed number of states, stepped by clicks: with two states 0 <-> 1, otherwise 0, 1/(n-1), ...
// up to 1, then back to 0.
class ISwitchControlBase : public IControl
{
public:
  ISwitchControlBase(const IRECT& bounds, int paramIdx = -1, IActionFunction actionFunc = nullptr,
                     int numStates = 2);

  // A linked parameter decides the number of states: (int)(max - min) + 1.
  void OnInit() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;

  // Per-state flags for drawing subclasses; clicking steps through disabled states too.
  void SetAllStatesDisabled(bool disabled);
  // Ignored for a state outside 0..NStates()-1 (the control is still marked dirty).
  void SetStateDisabled(int state, bool disabled);
  // False for a state outside the range.
  bool GetStateDisabled(int state) const;

  int NStates() const { return mNumStates; }
  bool GetMouseDown() const { return mMouseDown; }

protected:
  int mNumStates;
  std::vector<bool> mDisabledState;
  bool mMouseDown = false;
};

// A relative drag control: vertical drags raise the value upwards, horizontal ones to the right; a drag across the
// whole drag bounds moves the value by 1 / gearing.
class IKnobControlBase : public IControl
{
public:
  IKnobControlBase(const IRECT& bounds, int paramIdx = -1, EDirection direction = kVertical,
                   double gearing = 4.0);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  // One event moves a stepped parameter by exactly one step, up for delta > 0, down for delta < 0.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;

  // The rectangle whose height (vertical) or width (horizontal) a full drag spans. Base: the target rectangle.
  virtual IRECT GetKnobDragBounds() { return mTargetRECT; }

  void SetGearing(double gearing) { mGearing = gearing; }
  double GetGearing() const { return mGearing; }
  void SetHideCursorOnDrag(bool hide) { mHideCursorOnDrag = hide; }
  bool GetMouseDown() const { return mMouseDown; }
  EDirection GetDirection() const { return mDirection; }

protected:
  bool mHideCursorOnDrag = true;
  EDirection mDirection;
  double mGearing;
  bool mMouseDown = false;
  double mMouseDragValue = 0.0;
};

// A track control: a click jumps to the mouse (except for stepped parameters), drags follow the mouse absolutely
// for touches or with a visible cursor, relatively otherwise.
class ISliderControlBase : public IControl
{
public:
  ISliderControlBase(const IRECT& bounds, int paramIdx = -1, EDirection direction = kVertical,
                     double gearing = 4.0, float handleSize = 0.f);
  // One unlinked slot.
  ISliderControlBase(const IRECT& bounds, IActionFunction actionFunc, EDirection direction = kVertical,
                     double gearing = 4.0, float handleSize = 0.f);

  // Target and track rectangle follow the bounds.
  void OnResize() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  // As the knob's.
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta) override;

  void SetGearing(double gearing) { mGearing = gearing; }
  double GetGearing() const { return mGearing; }
  void SetHideCursorOnDrag(bool hide) { mHideCursorOnDrag = hide; }
  bool GetMouseDown() const { return mMouseDown; }
  EDirection GetDirection() const { return mDirection; }
  const IRECT& GetTrackBounds() const { return mTrackBounds; }
  float GetHandleSize() const { return mHandleSize; }

protected:
  bool mHideCursorOnDrag = true;
  EDirection mDirection;
  IRECT mTrackBounds;
  float mHandleSize;
  double mGearing;
  bool mMouseDown = false;
  double mMouseDragValue = 0.0;
};

namespace controlbases
{
// The parameter of slot 0 of control when it is stepped (flag, step > 0, range > 0), else null.
const IParam* SteppedParam(const IControl& control);
// r snapped to a multiple of step towards zero, a billionth of a step counting as a whole one.
double SnapToStep(double r, double step);
// The normalised value after one wheel event of delta on control's slot 0 (fine: mod's control or shift).
double WheelValue(const IControl& control, const IMouseMod& mod, float delta);
// Advances dragValue by a drag of d (fraction of the drag bounds) and returns the normalised value for slot 0.
// d that is not finite (flat drag bounds) or a gearing that is not positive leaves dragValue as it was.
double DragValue(const IControl& control, double& dragValue, double d, double gearing, const IMouseMod& mod);
} // namespace controlbases

} // namespace plugin::igraphics

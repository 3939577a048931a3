#include "controls/IControlBases.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Shared arithmetic
// ---------------------------------------------------------------------------------------------------------------

namespace controlbases
{

namespace
{
// How close (in steps) a value must be to a whole step to count as lying on it.
constexpr double kStepTolerance = 1e-9;

bool FineAdjust(const IMouseMod& mod)
{
  return mod.C || mod.S;
}
} // namespace

const IParam* SteppedParam(const IControl& control)
{
  const IParam* p = control.GetParam(0);
  if (!p || !p->GetStepped()) return nullptr;
  if (!(p->GetStep() > 0.0) || !(p->GetMax() - p->GetMin() > 0.0)) return nullptr;
  return p;
}

double SnapToStep(double r, double step)
{
  const double q = r / step;
  const double nearest = std::round(q);
  // A value a rounding error short of a step (0.29 × 100 = 28.999999999999996) belongs to that step.
  const double n = std::fabs(q - nearest) <= kStepTolerance ? nearest : std::trunc(q);
  return n * step;
}

double WheelValue(const IControl& control, const IMouseMod& mod, float delta)
{
  const double current = control.GetValue(0);
  const double gain = FineAdjust(mod) ? 0.001 : 0.01;
  double v = current + static_cast<double>(delta) * gain;

  const IParam* p = SteppedParam(control);
  if (p && delta != 0.f)
  {
    const double lo = p->GetMin(), hi = p->GetMax(), step = p->GetStep();
    const double q = (current * (hi - lo) + lo) / step;
    const double nearest = std::round(q);
    // From a value on a step, the neighbouring step; from one between steps, the next step in that direction.
    double n;
    if (std::fabs(q - nearest) <= kStepTolerance)
      n = delta > 0.f ? nearest + 1.0 : nearest - 1.0;
    else
      n = delta > 0.f ? std::floor(q) + 1.0 : std::ceil(q) - 1.0;
    const double real = SnapToStep(std::clamp(n * step, lo, hi), step);
    v = (real - lo) / (hi - lo);
  }
  return v;
}

double DragValue(const IControl& control, double& dragValue, double d, double gearing, const IMouseMod& mod)
{
  const double g = FineAdjust(mod) ? gearing * 10.0 : gearing;
  const double change = d / g;
  // Flat drag bounds or a gearing of 0 give no usable change; the value stays where it is.
  if (std::isfinite(change)) dragValue = std::clamp(dragValue + change, 0.0, 1.0);

  double v = dragValue;
  if (const IParam* p = SteppedParam(control))
  {
    const double lo = p->GetMin(), range = p->GetMax() - lo;
    const double real = SnapToStep(dragValue * range + lo, p->GetStep());
    v = (real - lo) / range;
  }
  return v;
}

} // namespace controlbases

using namespace controlbases;

// ---------------------------------------------------------------------------------------------------------------
// IButtonControlBase
// ---------------------------------------------------------------------------------------------------------------

IButtonControlBase::IButtonControlBase(const IRECT& bounds, IActionFunction actionFunc)
    : IControl(bounds, -1, std::move(actionFunc))
{
  mDblAsSingleClick = true;
}

void IButtonControlBase::OnMouseDown(float, float, const IMouseMod&)
{
  SetValue(1.0);
  SetDirty(true);
}

void IButtonControlBase::OnEndAnimation()
{
  SetValue(0.0);
  IControl::OnEndAnimation();
}

// ---------------------------------------------------------------------------------------------------------------
// ISwitchControlBase
// ---------------------------------------------------------------------------------------------------------------

ISwitchControlBase::ISwitchControlBase(const IRECT& bounds, int paramIdx, IActionFunction actionFunc, int numStates)
    : IControl(bounds, paramIdx, std::move(actionFunc)), mNumStates(numStates)
{
  mDisabledState.assign(static_cast<size_t>(std::max(numStates, 0)), false);
  mDblAsSingleClick = true;
}

void ISwitchControlBase::OnInit()
{
  const IParam* p = GetParam(0);
  if (!p) return;
  // Very wide integer ranges would overflow the count; no switch has more states than this.
  constexpr double kMaxStates = 65536.0;
  const double range = p->GetMax() - p->GetMin();
  mNumStates = static_cast<int>(std::clamp(std::isfinite(range) ? range : 0.0, 0.0, kMaxStates - 1.0)) + 1;
  mDisabledState.resize(static_cast<size_t>(mNumStates), false);
}

void ISwitchControlBase::OnMouseDown(float, float, const IMouseMod&)
{
  const double current = GetValue(0);
  double v;
  if (mNumStates == 2)
    v = current == 0.0 ? 1.0 : 0.0;
  else if (mNumStates < 2)
    v = 0.0;
  else
  {
    v = current + 1.0 / static_cast<double>(mNumStates - 1);
    // The next double above 1: accumulated thirds that land on 1.0 still show the last state.
    if (v > 1.0000000000000002) v = 0.0;
  }
  SetValue(v);
  mMouseDown = true;
  SetDirty(true);
}

void ISwitchControlBase::OnMouseUp(float, float, const IMouseMod&)
{
  mMouseDown = false;
  SetDirty(false);
}

void ISwitchControlBase::SetAllStatesDisabled(bool disabled)
{
  for (size_t i = 0; i < mDisabledState.size(); ++i)
  {
    mDisabledState[i] = disabled;
    SetDirty(false);
  }
  SetDirty(false);
}

void ISwitchControlBase::SetStateDisabled(int state, bool disabled)
{
  if (state >= 0 && state < static_cast<int>(mDisabledState.size()))
    mDisabledState[static_cast<size_t>(state)] = disabled;
  SetDirty(false);
}

bool ISwitchControlBase::GetStateDisabled(int state) const
{
  return state >= 0 && state < static_cast<int>(mDisabledState.size()) && mDisabledState[static_cast<size_t>(state)];
}

// ---------------------------------------------------------------------------------------------------------------
// IKnobControlBase
// ---------------------------------------------------------------------------------------------------------------

IKnobControlBase::IKnobControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing)
    : IControl(bounds, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControlBase::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mMouseDown = true;
  mMouseDragValue = GetValue(0);
  if (mHideCursorOnDrag && mGraphics) mGraphics->HideMouseCursor(true, true);
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}

void IKnobControlBase::OnMouseUp(float, float, const IMouseMod&)
{
  if (mHideCursorOnDrag && mGraphics) mGraphics->HideMouseCursor(false, true);
  mMouseDown = false;
  SetDirty(false);
}

void IKnobControlBase::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod)
{
  const IRECT r = GetKnobDragBounds();
  // Dragging up raises the value.
  const double d = mDirection == kVertical ? static_cast<double>(dY) / static_cast<double>(r.T - r.B)
                                           : static_cast<double>(dX) / static_cast<double>(r.R - r.L);
  SetValue(DragValue(*this, mMouseDragValue, d, mGearing, mod));
  SetDirty(true);
}

void IKnobControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float delta)
{
  if (!std::isfinite(delta)) return;
  SetValue(WheelValue(*this, mod, delta));
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// ISliderControlBase
// ---------------------------------------------------------------------------------------------------------------

ISliderControlBase::ISliderControlBase(const IRECT& bounds, int paramIdx, EDirection direction, double gearing,
                                       float handleSize)
    : IControl(bounds, paramIdx), mDirection(direction), mHandleSize(handleSize), mGearing(gearing)
{
}

ISliderControlBase::ISliderControlBase(const IRECT& bounds, IActionFunction actionFunc, EDirection direction,
                                       double gearing, float handleSize)
    : IControl(bounds, std::move(actionFunc)), mDirection(direction), mHandleSize(handleSize), mGearing(gearing)
{
}

void ISliderControlBase::OnResize()
{
  SetTargetRECT(mRECT);
  mTrackBounds = mRECT;
  SetDirty(false);
}

void ISliderControlBase::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mMouseDown = true;
  const IParam* p = GetParam(0);
  // A stepped parameter is only ever dragged: a jump would land between its steps.
  if (!(p && p->GetStepped())) SnapToMouse(x, y, mDirection, mTrackBounds, -1, 0.0, 1.0);
  mMouseDragValue = GetValue(0);
  if (mHideCursorOnDrag && mGraphics) mGraphics->HideMouseCursor(true, true);
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}

void ISliderControlBase::OnMouseUp(float, float, const IMouseMod&)
{
  if (mHideCursorOnDrag && mGraphics) mGraphics->HideMouseCursor(false, true);
  mMouseDown = false;
  SetDirty(false);
}

void ISliderControlBase::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
  const IParam* p = GetParam(0);
  const bool stepped = p && p->GetStepped();
  if (!stepped && (mod.touchID != 0 || !mHideCursorOnDrag))
  {
    SnapToMouse(x, y, mDirection, mTrackBounds, -1, 0.0, 1.0);
    return;
  }
  const double d = mDirection == kVertical
                       ? static_cast<double>(dY) / static_cast<double>(mTrackBounds.T - mTrackBounds.B)
                       : static_cast<double>(dX) / static_cast<double>(mTrackBounds.R - mTrackBounds.L);
  SetValue(DragValue(*this, mMouseDragValue, d, mGearing, mod));
  SetDirty(true);
}

void ISliderControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float delta)
{
  if (!std::isfinite(delta)) return;
  SetValue(WheelValue(*this, mod, delta));
  SetDirty(true);
}

} // namespace plugin::igraphics

#include "ui/IBValueControlsQN.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Shared behaviour
// ---------------------------------------------------------------------------------------------------------------

namespace valuecontrols
{

namespace
{
// The parameter of slot 0 when its values lie on a step grid with room to move (step > 0, max > min).
const IParam* SteppedWithRange(const IControl& control)
{
  const IParam* p = control.GetParam(0);
  if (!p || !p->GetStepped() || !(p->GetStep() > 0.0) || !(p->GetMax() - p->GetMin() > 0.0)) return nullptr;
  return p;
}

// "-0", "-0.0", "-0.00 dB": a minus in front of a number that is all zeros.
void DropNegativeZero(Util_String& text)
{
  const char* s = text.Get();
  if (s[0] != '-') return;
  bool digit = false;
  const char* q = s + 1;
  for (; *q && ((*q >= '0' && *q <= '9') || *q == '.'); ++q)
  {
    if (*q >= '1' && *q <= '9') return;
    if (*q == '0') digit = true;
  }
  if (!digit) return;
  Util_String rest(s + 1);
  text.Set(rest.Get());
}
} // namespace

double DragValue(const IControl& control, double& dragValue, float dX, float dY, int direction, const IRECT& dragBounds,
                 double gearing, const IMouseMod& mod)
{
  const double g = mod.S ? gearing * 10.0 : gearing;
  double d;
  switch (direction)
  {
  case kVertical:
    d = static_cast<double>(dY) / static_cast<double>(dragBounds.T - dragBounds.B);
    break;
  case kHorizontal:
    d = static_cast<double>(dX) / static_cast<double>(dragBounds.R - dragBounds.L);
    break;
  case kVerticalInverted:
    d = -static_cast<double>(dY) / static_cast<double>(dragBounds.T - dragBounds.B);
    break;
  default:
    d = 0.0;
    break;
  }
  // Flat drag bounds or a gearing of 0 give no usable change.
  const double change = d / g;
  if (std::isfinite(change)) dragValue = std::clamp(dragValue + change, 0.0, 1.0);

  const IParam* p = SteppedWithRange(control);
  if (!p) return dragValue;
  const double lo = p->GetMin(), range = p->GetMax() - lo;
  // Toward zero onto the grid; SnapToStep also keeps a value a rounding error short of a step on that step.
  const double real = controlbases::SnapToStep(dragValue * range + lo, p->GetStep());
  return (real - lo) / range;
}

double WheelValue(const IControl& control, const IMouseMod& mod, float delta, bool integerWheelMode,
                  bool stepResolution)
{
  const double current = control.GetValue(0);
  const IParam* param = control.GetParam(0);

  if (integerWheelMode && param)
  {
    const double s = delta > 0.f ? 1.0 : -1.0;
    const double v = param->Value();
    double x;
    if (mod.C)
      x = std::round(v / 3.0) * 3.0 + 3.0 * s;
    else if (mod.S)
      x = std::round(v * 10.0) / 10.0 + 0.1 * s;
    else
      x = std::round(v) + s;
    const double step = param->GetStep();
    if (param->GetStepped() && step > 0.0) x = std::round(x / step) * step;
    x = std::clamp(x, param->GetMin(), param->GetMax());
    return std::clamp(param->ToNormalized(x), 0.0, 1.0);
  }

  const double factor = mod.C ? 0.1 : (mod.S ? 0.001 : 0.01);
  double value = current + static_cast<double>(delta) * factor;

  const IParam* p = SteppedWithRange(control);
  if (p && delta != 0.f)
  {
    const double lo = p->GetMin(), hi = p->GetMax(), step = p->GetStep();
    double real = current * (hi - lo) + lo + (delta > 0.f ? step : -step);
    real = std::clamp(real, lo, hi);
    // The knob rounds to the step's own resolution; the fields to three decimals.
    const double r = stepResolution ? 1.0 / step : 1000.0;
    real = std::round(real * r) / r;
    value = (real - lo) / (hi - lo);
  }
  return value;
}

void ValueText(const IControl& control, bool showLabel, Util_String& out)
{
  out.Set("");
  const IParam* p = control.GetParam(0);
  if (!p) return;
  p->GetDisplay(out, true);
  DropNegativeZero(out);
  if (showLabel && p->GetLabel()[0])
  {
    out.Append(" ");
    out.Append(p->GetLabel());
  }
}

IText ValueTextStyle(const IControl& control)
{
  IText text = control.GetText();
  if (control.IsDisabled()) text.mFGColor.A /= 2;
  return text;
}

} // namespace valuecontrols

using namespace valuecontrols;

namespace
{
IRECT FrameRectAt(int x, int y, const IBitmap& bitmap)
{
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  return IRECT(fx, fy, fx + static_cast<float>(bitmap.FrameWidth()), fy + static_cast<float>(bitmap.FrameHeight()));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// ValueControlQN — the mouse handling the three classes share
// ---------------------------------------------------------------------------------------------------------------

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mStoredMod = mod;
  this->mMouseDown = true;
  this->mMouseDragValue = this->GetValue(0);
  if (this->mHideCursorOnDrag && this->GetUI()) this->GetUI()->HideMouseCursor(true, true);
  if (mod.C) this->SetValueToDefault(this->GetValIdxForPos(x, y));
}

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::OnMouseUp(float, float, const IMouseMod&)
{
  mStoredMod = IMouseMod();
  this->mMouseDown = false;
  if (this->mHideCursorOnDrag && this->GetUI()) this->GetUI()->HideMouseCursor(false, true);
}

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::OnMouseDrag(float, float, float dX, float dY,
                                                                      const IMouseMod& mod)
{
  if (mod.C) return;
  this->SetValue(
      DragValue(*this, this->mMouseDragValue, dX, dY, this->mDirection, this->GetKnobDragBounds(), this->mGearing, mod),
      0);
  this->SetDirty(true);
}

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::OnMouseWheel(float, float, const IMouseMod& mod, float delta)
{
  // A wheel delta that is not a number moves nothing.
  if (!std::isfinite(delta)) return;
  mStoredMod = mod;
  this->SetValue(WheelValue(*this, mod, delta, mIntegerWheelMode, StepResolution), 0);
  this->SetDirty(true);
  mStoredMod = IMouseMod();
}

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::OnMouseDblClick(float x, float y, const IMouseMod&)
{
  if (this->mDisablePrompt) return;
  if (this->mGraphics) mSavedMouseOverIdx = this->mGraphics->GetMouseOverIdx();
  const int valIdx = this->GetValIdxForPos(x, y);
  if (valIdx < 0 || !this->GetParam(valIdx)) return;
  this->PromptUserInput(this->mRECT, valIdx);
  this->SetDirty(false);
}

template <class Base, bool StepResolution>
void valuecontrols::ValueControlQN<Base, StepResolution>::SetValueFromUserInput(double value, int valIdx)
{
  IGraphics* g = this->GetUI();
  if (!g)
  {
    IControl::SetValueFromUserInput(value, valIdx);
    return;
  }
  const int current = g->GetMouseOverIdx();
  // A control list that shrank since the prompt opened has no such index any more.
  const int saved = mSavedMouseOverIdx < g->NControls() ? mSavedMouseOverIdx : -1;
  g->SetMouseOverIdx(saved);
  IControl::SetValueFromUserInput(value, valIdx);
  g->SetMouseOverIdx(current);
}

template class valuecontrols::ValueControlQN<IKnobControlBase, false>;
template class valuecontrols::ValueControlQN<IBKnobControl, true>;

// ---------------------------------------------------------------------------------------------------------------
// IBParameterControlQN
// ---------------------------------------------------------------------------------------------------------------

IBParameterControlQN::IBParameterControlQN(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                                           EDirection direction, bool promptsDisabled, bool showLabel, double gearing)
    : ValueControlQN(FrameRectAt(x, y, bitmap), paramIdx, direction, gearing), IBitmapBase(bitmap),
      mShowLabel(showLabel)
{
  AttachIControl(this);
  mText = text;
  mDisablePrompt = promptsDisabled;
  mHideCursorOnDrag = true;
}

void IBParameterControlQN::OnRescale()
{
  RescaleBitmap();
}

void IBParameterControlQN::Draw(IGraphics& g)
{
  DrawBitmap(g);
  if (GetParamIdx(0) < 0) return;
  Util_String str;
  ValueText(*this, mShowLabel, str);
  g.DrawText(ValueTextStyle(*this), str.Get(), mRECT);
}

void IBParameterControlQN::SetDisabled(bool disable)
{
  IControl::SetDisabled(disable);
}

// ---------------------------------------------------------------------------------------------------------------
// IBKnobMultiControlQN
// ---------------------------------------------------------------------------------------------------------------

IBKnobMultiControlQN::IBKnobMultiControlQN(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                                           const IColor& textBGColor, int textEntryLength, EDirection direction,
                                           bool promptsDisabled, bool showValueOnHover, bool showLabel,
                                           int textPlacement, bool alwaysShowValue, bool fillTextBG, double gearing,
                                           float rightEdgeOffset)
    : ValueControlQN(FrameRectAt(x, y, bitmap), bitmap, paramIdx, direction, gearing), mShowLabel(showLabel),
      mShowValueOnHover(showValueOnHover), mAlwaysShowValue(alwaysShowValue), mFillTextBG(fillTextBG),
      mTextBGColor(textBGColor), mTextPlacement(textPlacement), mRightEdgeOffset(rightEdgeOffset)
{
  mText = text;
  mDisablePrompt = promptsDisabled;
  SetTextEntryLength(textEntryLength);
  // The box is sized for the longest entry; a silly length must not make a silly string.
  constexpr int kMaxTemplate = 64;
  const int n = std::clamp(textEntryLength, 0, kMaxTemplate);
  char zeros[kMaxTemplate + 1];
  std::fill(zeros, zeros + n, '0');
  zeros[n] = '\0';
  mWidthTemplate.Set(zeros);
}

IRECT IBKnobMultiControlQN::TextRect(const IGraphics& g) const
{
  IRECT m = mRECT;
  g.MeasureText(mText, mWidthTemplate.Get(), m);
  const float w = m.W(), h = m.H();
  const float l = mRECT.MW() - w / 2.f;
  float t = m.T, b = m.B;
  switch (mTextPlacement)
  {
  case 0:
    t = mRECT.T;
    b = t + h;
    break;
  case 1:
    t = mRECT.MH() - h / 2.f;
    b = t + h;
    break;
  case 2:
    b = mRECT.B;
    t = b - h;
    break;
  default:
    break;
  }
  return IRECT(l, t, l + w, b);
}

void IBKnobMultiControlQN::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  if (mDisablePrompt) return;
  mStoredMod = mod;
  if (!mGraphics) return;
  mSavedMouseOverIdx = mGraphics->GetMouseOverIdx();
  const int valIdx = GetValIdxForPos(x, y);
  if (valIdx < 0 || !GetParam(valIdx)) return;
  IRECT r = TextRect(*mGraphics);
  if (mText.mAlign == kAlignFar) r.R += mRightEdgeOffset;
  mGraphics->PromptUserInput(this, r, valIdx);
}

void IBKnobMultiControlQN::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  mMouseOver = true;
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IBKnobMultiControlQN::OnMouseOut()
{
  mMouseOver = false;
  IControl::OnMouseOut();
  SetDirty(false);
}

void IBKnobMultiControlQN::Draw(IGraphics& g)
{
  DrawBitmap(g);
  if (!((mMouseOver && mShowValueOnHover) || mAlwaysShowValue)) return;
  IRECT r = TextRect(g);
  if (mFillTextBG) g.FillRect(mTextBGColor, r);
  if (mText.mAlign == kAlignFar) r.R += mRightEdgeOffset;
  Util_String str;
  ValueText(*this, mShowLabel, str);
  g.DrawText(ValueTextStyle(*this), str.Get(), r);
}

// ---------------------------------------------------------------------------------------------------------------
// IVParameterControlQN
// ---------------------------------------------------------------------------------------------------------------

IVParameterControlQN::IVParameterControlQN(const IRECT& bounds, int paramIdx, const IText& text, EDirection direction,
                                           bool promptsDisabled, bool showLabel, double gearing)
    : ValueControlQN(bounds, paramIdx, direction, gearing), mBGPattern(mStyle.colorSpec.GetColor(kBG)),
      mShowLabel(showLabel)
{
  mText = text;
  mDisablePrompt = promptsDisabled;
  mHideCursorOnDrag = true;
}

void IVParameterControlQN::Draw(IGraphics& g)
{
  if (mDrawBackground)
  {
    if (g.HasPathSupport())
    {
      g.PathClear();
      if (mStyle.roundness > 0.f)
        g.PathRoundRect(mRECT, mStyle.roundness);
      else
        g.PathRect(mRECT);
      g.PathFill(mBGPattern, IFillOptions{kFillWinding, false}, &mBlend);
    }
    else
      g.FillRect(mBGPattern.mStops[0].mColor, mRECT, &mBlend);

    if (mStyle.drawFrame)
    {
      const IColor& frame = mStyle.colorSpec.GetColor(kFR);
      if (mStyle.roundness <= 0.f)
        g.DrawRect(frame, mRECT, &mBlend, mStyle.frameThickness);
      else
        g.DrawRoundRect(frame, mRECT, mStyle.roundness, &mBlend, mStyle.frameThickness);
    }
  }
  Util_String str;
  ValueText(*this, mShowLabel, str);
  g.DrawText(ValueTextStyle(*this), str.Get(), mRECT);
}

void IVParameterControlQN::SetDisabled(bool disable)
{
  IControl::SetDisabled(disable);
}

} // namespace plugin::igraphics

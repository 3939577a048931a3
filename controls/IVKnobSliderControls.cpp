#include "controls/IVKnobSliderControls.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace plugin::igraphics
{

namespace
{
constexpr float kPi = 3.1415927f;

// Value text of a control whose slot 0 is linked: display text and unit; the label defaults to the name.
void InitParamTexts(IControl& control, IVectorBase& vb)
{
  const IParam* param = control.GetParam(0);
  if (!param) return;
  Util_String str;
  IControl::GetParamDisplayWithLabel(*param, str);
  vb.SetValueStr(str.Get());
  if (!vb.GetLabelStr()[0]) vb.SetLabelStr(param->GetName());
}

void RefreshValueText(IControl& control, IVectorBase& vb)
{
  const IParam* param = control.GetParam(0);
  if (!param) return;
  Util_String str;
  IControl::GetParamDisplayWithLabel(*param, str);
  vb.SetValueStr(str.Get());
}

bool ValueTextHit(const IVectorBase& vb, float x, float y)
{
  return vb.GetStyle().showValue && vb.GetValueBounds().Contains(x, y);
}

bool VectorIsHit(const IControl& control, const IVectorBase& vb, float x, float y)
{
  return (!control.GetPromptDisabled() && vb.GetValueBounds().Contains(x, y)) || vb.GetWidgetBounds().Contains(x, y);
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Knob
// ---------------------------------------------------------------------------------------------------------------

IVKnobControl::IVKnobControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                             bool valueIsEditable, bool valueInWidget, float startAngle, float endAngle,
                             float anchorAngle, EDirection direction, double gearing, float trackSize)
    : IKnobControlBase(bounds, paramIdx, direction, gearing), IVectorBase(style, false, valueInWidget),
      mAngle1(startAngle), mAngle2(endAngle), mAnchorAngle(anchorAngle)
{
  AttachIControl(this, label);
  mShape = kVShapeEllipse;
  mTrackSize = trackSize;
  mHideCursorOnDrag = style.hideCursor;
  mDisablePrompt = !valueIsEditable;
}

IVKnobControl::IVKnobControl(const IRECT& bounds, IActionFunction actionFunc, const char* label, const IVStyle& style,
                             bool valueIsEditable, bool valueInWidget, float startAngle, float endAngle,
                             float anchorAngle, EDirection direction, double gearing, float trackSize)
    : IVKnobControl(bounds, -1, label, style, valueIsEditable, valueInWidget, startAngle, endAngle, anchorAngle,
                    direction, gearing, trackSize)
{
  SetActionFunction(std::move(actionFunc));
}

void IVKnobControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, mValueMouseOver);
}

void IVKnobControl::DrawWidget(IGraphics& g)
{
  const IRECT& w = mWidgetBounds;
  const float cx = w.MW(), cy = w.MH();
  const float radius = std::min(w.W(), w.H()) * 0.5f - mTrackSize * 0.5f;
  const float handleSide = std::max(1.f, 2.f * (radius - mTrackToHandleDistance));
  const IRECT handle(cx - handleSide * 0.5f, cy - handleSide * 0.5f, cx + handleSide * 0.5f, cy + handleSide * 0.5f);
  const float value = static_cast<float>(std::clamp(GetValue(), 0.0, 1.0));
  const float angle = mAngle1 + (mAngle2 - mAngle1) * value;

  DrawIndicatorTrack(g, angle, cx, cy, radius);
  DrawPressableShape(g, kVShapeEllipse, handle, mMouseDown, mMouseIsOver, IsDisabled());
  DrawPointer(g, angle, cx, cy, handle.W() * 0.5f);
}

void IVKnobControl::DrawIndicatorTrack(IGraphics& g, float angle, float cx, float cy, float radius)
{
  if (!(mTrackSize > 0.f)) return;
  g.DrawArc(GetColor(kX1), cx, cy, radius, std::min(angle, mAnchorAngle), std::max(angle, mAnchorAngle), &GetBlend(),
            mTrackSize);
}

void IVKnobControl::DrawPointer(IGraphics& g, float angle, float cx, float cy, float radius)
{
  const float rad = (angle - 90.f) * kPi / 180.f;
  const float s = std::sin(rad), c = std::cos(rad);
  const float r1 = radius * mInnerPointerFrac, r2 = radius * mOuterPointerFrac;
  g.DrawLine(GetColor(kFR), cx + c * r1, cy + s * r1, cx + c * r2, cy + s * r2, &GetBlend(), mPointerThickness);
}

IRECT IVKnobControl::GetKnobDragBounds()
{
  const IRECT& w = mWidgetBounds;
  float across, along;
  if (w.W() > w.H())
  {
    across = w.H() * 0.5f;
    along = w.H();
  }
  else
  {
    across = w.W();
    along = w.W() * 0.5f;
  }
  const float width = std::max(1.f, across);
  const float height = along > 0.f ? along : width;
  return IRECT(w.MW() - width * 0.5f, w.MH() - height * 0.5f, w.MW() + width * 0.5f, w.MH() + height * 0.5f);
}

void IVKnobControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (ValueTextHit(*this, x, y))
    PromptUserInput(mValueBounds, 0);
  else
    IKnobControlBase::OnMouseDown(x, y, mod);
  SetDirty(false);
}

void IVKnobControl::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  IKnobControlBase::OnMouseUp(x, y, mod);
  SetDirty(true);
}

void IVKnobControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (mStyle.showValue && !mDisablePrompt) mValueMouseOver = mValueBounds.Contains(x, y);
  IKnobControlBase::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVKnobControl::OnMouseOut()
{
  const bool was = mMouseIsOver;
  mValueMouseOver = false;
  mMouseIsOver = false;
  if (was) SetDirty(false);
}

void IVKnobControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  SetDirty(false);
}

bool IVKnobControl::IsHit(float x, float y) const
{
  return VectorIsHit(*this, *this, x, y);
}

void IVKnobControl::SetDirty(bool triggerAction, int valIdx)
{
  IKnobControlBase::SetDirty(triggerAction, valIdx);
  RefreshValueText(*this, *this);
}

void IVKnobControl::OnInit()
{
  InitParamTexts(*this, *this);
}

// ---------------------------------------------------------------------------------------------------------------
// Slider
// ---------------------------------------------------------------------------------------------------------------

IVSliderControl::IVSliderControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueIsEditable, EDirection direction, bool handleInsideTrack, double gearing,
                                 float handleSize, float trackSize)
    : ISliderControlBase(bounds, paramIdx, direction, gearing, handleSize), IVectorBase(style),
      mHandleInsideTrack(handleInsideTrack)
{
  AttachIControl(this, label);
  mShape = kVShapeEllipse;
  mTrackSize = trackSize;
  mHideCursorOnDrag = style.hideCursor;
  mDisablePrompt = !valueIsEditable;
}

IVSliderControl::IVSliderControl(const IRECT& bounds, IActionFunction actionFunc, const char* label,
                                 const IVStyle& style, bool valueIsEditable, EDirection direction,
                                 bool handleInsideTrack, double gearing, float handleSize, float trackSize)
    : ISliderControlBase(bounds, std::move(actionFunc), direction, gearing, handleSize), IVectorBase(style),
      mHandleInsideTrack(handleInsideTrack)
{
  AttachIControl(this, label);
  mShape = kVShapeEllipse;
  mTrackSize = trackSize;
  mHideCursorOnDrag = style.hideCursor;
  mDisablePrompt = !valueIsEditable;
}

void IVSliderControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  const IRECT inner = mWidgetBounds.GetPadded(mHandleSize);
  if (mDirection == kVertical)
    mTrackBounds = IRECT(inner.MW() - mTrackSize, inner.T, inner.MW() + mTrackSize, inner.B);
  else
    mTrackBounds = IRECT(inner.L, inner.MH() - mTrackSize, inner.R, inner.MH() + mTrackSize);
  SetDirty(false);
}

void IVSliderControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, mValueMouseOver);
}

void IVSliderControl::DrawWidget(IGraphics& g)
{
  const IRECT& t = mTrackBounds;
  const float v = static_cast<float>(std::clamp(GetValue(), 0.0, 1.0));
  const IRECT filled =
      mDirection == kVertical ? IRECT(t.L, t.B - t.H() * v, t.R, t.B) : IRECT(t.L, t.T, t.L + t.W() * v, t.B);
  if (mTrackSize > 0.f) DrawTrack(g, filled);

  const float o = (mStyle.drawShadows && mShape != kVShapeEllipse) ? mStyle.shadowOffset * 0.5f : 0.f;
  const float hx = mDirection == kVertical ? filled.MW() + o : filled.R;
  const float hy = mDirection == kVertical ? filled.T : filled.MH() + o;
  if (mHandleSize > 0.f) DrawHandle(g, IRECT(hx - mHandleSize, hy - mHandleSize, hx + mHandleSize, hy + mHandleSize));
}

void IVSliderControl::DrawTrack(IGraphics& g, const IRECT& filledArea)
{
  const float e = mHandleInsideTrack ? mHandleSize : 0.f;
  IRECT track = mTrackBounds, filled = filledArea;
  if (mDirection == kVertical)
  {
    track.T -= e, track.B += e;
    filled.T -= e, filled.B += e;
  }
  else
  {
    track.L -= e, track.R += e;
    filled.L -= e, filled.R += e;
  }
  const float radius = std::min(mTrackBounds.W(), mTrackBounds.H()) * 0.5f * mStyle.roundness;
  g.FillRoundRect(GetColor(kSH), track, radius, &GetBlend());
  g.FillRoundRect(GetColor(kX1), filled, radius, &GetBlend());
  if (mStyle.drawFrame) g.DrawRoundRect(GetColor(kFR), track, radius, &GetBlend(), mStyle.frameThickness);
}

void IVSliderControl::DrawHandle(IGraphics& g, const IRECT& bounds)
{
  DrawPressableShape(g, mShape, bounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (ValueTextHit(*this, x, y))
    PromptUserInput(mValueBounds, 0);
  else
    ISliderControlBase::OnMouseDown(x, y, mod);
}

void IVSliderControl::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  ISliderControlBase::OnMouseUp(x, y, mod);
  SetDirty(true);
}

void IVSliderControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (mStyle.showValue && !mDisablePrompt) mValueMouseOver = mValueBounds.Contains(x, y);
  ISliderControlBase::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVSliderControl::OnMouseOut()
{
  mValueMouseOver = false;
  ISliderControlBase::OnMouseOut();
}

bool IVSliderControl::IsHit(float x, float y) const
{
  return VectorIsHit(*this, *this, x, y);
}

void IVSliderControl::SetDirty(bool triggerAction, int valIdx)
{
  ISliderControlBase::SetDirty(triggerAction, valIdx);
  RefreshValueText(*this, *this);
}

void IVSliderControl::OnInit()
{
  InitParamTexts(*this, *this);
}

} // namespace plugin::igraphics

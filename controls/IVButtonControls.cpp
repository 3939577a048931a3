#include "controls/IVButtonControls.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{
// The slide a click starts; the switch base's click runs it through SetDirty(true).
void SlideStarter(IControl* caller)
{
  if (!caller) return;
  caller->SetAnimation([](IControl* c) {
    if (auto* s = dynamic_cast<IVSlideSwitchControl*>(c)) s->SlideStep();
  });
  caller->StartAnimation(100.0, true);
}

// The state a value selects among n, kept within 0..n-1 (a value above 1 or below 0 selects an end).
int StateFromValue(double value, int n)
{
  if (n <= 1 || !std::isfinite(value)) return 0;
  const double i = std::floor(static_cast<double>(n - 1) * value + 0.5);
  return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(n - 1)));
}

IRECT Lerp(const IRECT& a, const IRECT& b, float p)
{
  return IRECT(a.L + (b.L - a.L) * p, a.T + (b.T - a.T) * p, a.R + (b.R - a.R) * p, a.B + (b.B - a.B) * p);
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// IVLabelControl
// ---------------------------------------------------------------------------------------------------------------

IVLabelControl::IVLabelControl(const IRECT& bounds, const char* str, const IVStyle& style)
    : ITextControl(bounds, str, DEFAULT_TEXT, COLOR_TRANSPARENT, false), IVectorBase(style, false, false)
{
  mText = style.valueText;
  AttachIControl(this, str);
}

void IVLabelControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  if (mStr.Get()[0])
  {
    if (mStyle.drawShadows && !IsDisabled())
    {
      IText shadow = mStyle.valueText;
      shadow.mFGColor = GetColor(kSH);
      g.DrawText(shadow, mStr.Get(), mRECT.GetTranslated(mStyle.shadowOffset, mStyle.shadowOffset), &mBlend);
    }
    g.DrawText(mStyle.valueText, mStr.Get(), mRECT, &mBlend);
  }
  if (mStyle.drawFrame) g.DrawRect(GetColor(kFR), mRECT, &mBlend, mStyle.frameThickness);
}

// ---------------------------------------------------------------------------------------------------------------
// IVButtonControl
// ---------------------------------------------------------------------------------------------------------------

IVButtonControl::IVButtonControl(const IRECT& bounds, IActionFunction actionFunc, const char* label,
                                 const IVStyle& style, bool labelInButton, bool valueInButton, int shape)
    : IButtonControlBase(bounds, std::move(actionFunc)), IVectorBase(style, labelInButton, valueInButton)
{
  mText = style.valueText;
  AttachIControl(this, label);
  mShape = shape;
}

void IVButtonControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  DrawValue(g, false);
}

void IVButtonControl::DrawWidget(IGraphics& g)
{
  DrawPressableShape(g, mShape, mWidgetBounds, GetValue() != 0.0, mMouseIsOver, IsDisabled());
}

void IVButtonControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT, true));
  IControl::SetDirty(false);
}

bool IVButtonControl::IsHit(float x, float y) const
{
  return mWidgetBounds.Contains(x, y);
}

// ---------------------------------------------------------------------------------------------------------------
// IVSwitchControl
// ---------------------------------------------------------------------------------------------------------------

IVSwitchControl::IVSwitchControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 bool valueInButton)
    : ISwitchControlBase(bounds, paramIdx, SplashClickActionFunc, 2), IVectorBase(style, false, valueInButton)
{
  SetValueAlignment(valueInButton);
  AttachIControl(this, label);
}

IVSwitchControl::IVSwitchControl(const IRECT& bounds, IActionFunction actionFunc, const char* label,
                                 const IVStyle& style, int numStates, bool valueInButton)
    : ISwitchControlBase(bounds, -1, std::move(actionFunc), numStates), IVectorBase(style, false, valueInButton)
{
  SetValueAlignment(valueInButton);
  AttachIControl(this, label);
}

void IVSwitchControl::SetValueAlignment(bool valueInButton)
{
  if (valueInButton) mStyle.valueText.mVAlign = kVAlignMiddle;
  mText = mStyle.valueText;
}

void IVSwitchControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
  DrawValue(g, false);
}

void IVSwitchControl::DrawWidget(IGraphics& g)
{
  DrawPressableShape(g, mShape, mWidgetBounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVSwitchControl::OnInit()
{
  ISwitchControlBase::OnInit();
  if (const IParam* p = GetParam(0))
  {
    GetParamDisplayWithLabel(*p, mValueStr);
    if (!mLabelStr.Get()[0]) SetLabelStr(p->GetName());
  }
}

void IVSwitchControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT, true));
  SetDirty(false);
}

bool IVSwitchControl::IsHit(float x, float y) const
{
  return mWidgetBounds.Contains(x, y);
}

void IVSwitchControl::SetDirty(bool triggerAction, int valIdx)
{
  IControl::SetDirty(triggerAction, valIdx);
  if (const IParam* p = GetParam(0)) p->GetDisplay(GetValue(0), true, mValueStr);
}

void IVSwitchControl::OnMouseOut()
{
  IControl::OnMouseOut();
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// IVToggleControl
// ---------------------------------------------------------------------------------------------------------------

IVToggleControl::IVToggleControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                 const char* offText, const char* onText)
    : IVSwitchControl(bounds, paramIdx, label, style, true), mOffText(offText ? offText : ""),
      mOnText(onText ? onText : "")
{
}

IVToggleControl::IVToggleControl(const IRECT& bounds, IActionFunction actionFunc, const char* label,
                                 const IVStyle& style, const char* offText, const char* onText, bool initialState)
    : IVSwitchControl(bounds, std::move(actionFunc), label, style, 2, true), mOffText(offText ? offText : ""),
      mOnText(onText ? onText : "")
{
  SetValue(initialState ? 1.0 : 0.0);
}

void IVToggleControl::DrawWidget(IGraphics& g)
{
  DrawPressableShape(g, mShape, mWidgetBounds, GetValue() > 0.5, mMouseIsOver, IsDisabled());
}

void IVToggleControl::DrawValue(IGraphics& g, bool mouseOver)
{
  if (mouseOver) g.FillRect(GetColor(kHL), mValueBounds);
  g.DrawText(mStyle.valueText, GetValue() > 0.5 ? mOnText.Get() : mOffText.Get(), mValueBounds, &mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// IVSlideSwitchControl
// ---------------------------------------------------------------------------------------------------------------

IVSlideSwitchControl::IVSlideSwitchControl(const IRECT& bounds, int paramIdx, const char* label, const IVStyle& style,
                                           bool valueInButton, EDirection direction)
    : IVSwitchControl(bounds, paramIdx, label, style, valueInButton), mDirection(direction)
{
  SetActionFunction(SlideStarter);
}

IVSlideSwitchControl::IVSlideSwitchControl(const IRECT& bounds, IActionFunction actionFunc, const char* label,
                                           const IVStyle& style, bool valueInButton, EDirection direction,
                                           int numStates, int initialState)
    : IVSwitchControl(bounds, IActionFunction(), label, style, numStates, valueInButton), mDirection(direction)
{
  SetValue(static_cast<double>(initialState));
  SetActionFunction(SlideStarter);
  SetAnimationEndActionFunction(std::move(actionFunc));
}

void IVSlideSwitchControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawWidget(g);
  DrawLabel(g);
  // The value text would jump ahead of the sliding handle.
  if (!GetAnimationFunction()) DrawValue(g, false);
}

void IVSlideSwitchControl::DrawWidget(IGraphics& g)
{
  DrawTrack(g, mWidgetBounds);
  DrawPressableShape(g, mShape, mHandleBounds, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVSlideSwitchControl::DrawTrack(IGraphics& g, const IRECT& bounds)
{
  const float cr = std::min(mHandleBounds.W(), mHandleBounds.H()) / 2.f * mStyle.roundness;
  g.FillRoundRect(GetColor(kSH), bounds, cr);
}

IRECT IVSlideSwitchControl::CellRect(int k, int n) const
{
  const IRECT& w = mWidgetBounds;
  const float fk = static_cast<float>(k);
  if (mDirection == kHorizontal)
  {
    const float step = w.W() / static_cast<float>(n);
    return IRECT(w.L + fk * step, w.T, w.L + fk * step + step, w.B);
  }
  const float step = w.H() / static_cast<float>(n);
  return IRECT(w.L, w.T + fk * step, w.R, w.T + fk * step + step);
}

void IVSlideSwitchControl::UpdateRects()
{
  const int n = std::max(1, NStates());
  const int i = StateFromValue(GetValue(0), n);
  mStartRect = CellRect(i, n);
  mHandleBounds = mStartRect;
  mEndRect = CellRect((i + 1) % n, n);
  if (mValueInWidget) mValueBounds = mHandleBounds;
}

void IVSlideSwitchControl::SlideStep()
{
  const double progress = GetAnimationProgress();
  const float p = static_cast<float>(progress);
  mHandleBounds = Lerp(mStartRect, mEndRect, p);
  if (mValueInWidget) mValueBounds = mHandleBounds;
  if (progress > 1.0) OnEndAnimation();
}

void IVSlideSwitchControl::OnEndAnimation()
{
  UpdateRects();
  IControl::OnEndAnimation();
}

void IVSlideSwitchControl::SetDirty(bool triggerAction, int valIdx)
{
  IVSwitchControl::SetDirty(triggerAction, valIdx);
  if (!GetAnimationFunction()) UpdateRects();
}

void IVSlideSwitchControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT, true));
  SetDirty(false);
  UpdateRects();
}

// ---------------------------------------------------------------------------------------------------------------
// IVTabSwitchControl
// ---------------------------------------------------------------------------------------------------------------

IVTabSwitchControl::IVTabSwitchControl(const IRECT& bounds, int paramIdx, const std::vector<const char*>& options,
                                       const char* label, const IVStyle& style, int shape, EDirection direction)
    : ISwitchControlBase(bounds, paramIdx, SplashClickActionFunc, static_cast<int>(options.size())),
      IVectorBase(style), mDirection(direction)
{
  AddLabels(options);
  AttachIControl(this, label);
  mShape = shape;
}

IVTabSwitchControl::IVTabSwitchControl(const IRECT& bounds, IActionFunction actionFunc,
                                       const std::vector<const char*>& options, const char* label,
                                       const IVStyle& style, int shape, EDirection direction)
    : ISwitchControlBase(bounds, -1, std::move(actionFunc), static_cast<int>(options.size())), IVectorBase(style),
      mDirection(direction)
{
  AddLabels(options);
  AttachIControl(this, label);
  mShape = shape;
}

IVTabSwitchControl::~IVTabSwitchControl()
{
  mTabLabels.Empty(true);
}

void IVTabSwitchControl::AddLabels(const std::vector<const char*>& options)
{
  mStyle.valueText.mAlign = kAlignCenter;
  mStyle.valueText.mVAlign = kVAlignMiddle;
  mText = mStyle.valueText;
  for (const char* o : options)
    if (!mTabLabels.Add(new Util_String(o ? o : ""))) break;
}

void IVTabSwitchControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
}

int IVTabSwitchControl::GetSelectedIdx() const
{
  return StateFromValue(GetValue(0), NStates());
}

const char* IVTabSwitchControl::GetSelectedLabelStr() const
{
  const Util_String* s = mTabLabels.Get(GetSelectedIdx());
  return s ? s->Get() : nullptr;
}

void IVTabSwitchControl::DrawWidget(IGraphics& g)
{
  const int n = NButtons();
  const int selected = GetSelectedIdx();
  for (int k = 0; k < n; ++k)
  {
    const ETabSegment segment = k == n - 1 ? kTabSegmentEnd : k == 0 ? kTabSegmentStart : kTabSegmentMid;
    const bool disabled = IsDisabled() || GetStateDisabled(k);
    const IRECT& r = mButtons[static_cast<size_t>(k)];
    DrawButton(g, r, k == selected, k == mMouseOverButton, segment, disabled);
    if (const Util_String* s = mTabLabels.Get(k)) g.DrawText(mStyle.valueText, s->Get(), r, &mBlend);
  }
}

void IVTabSwitchControl::DrawButton(IGraphics& g, const IRECT& r, bool pressed, bool mouseOver, ETabSegment segment,
                                    bool disabled)
{
  const bool horizontal = mDirection == kHorizontal;
  const bool start = segment == kTabSegmentStart, end = segment == kTabSegmentEnd;
  switch (mShape)
  {
  case kVShapeAllRounded:
    if (horizontal)
      DrawPressableRectangle(g, r, pressed, mouseOver, disabled, true, true, false, false);
    else
      DrawPressableRectangle(g, r, pressed, mouseOver, disabled, false, true, false, true);
    break;
  case kVShapeEndsRounded:
    if (horizontal)
      DrawPressableRectangle(g, r, pressed, mouseOver, disabled, start, end, false, false);
    else
      DrawPressableRectangle(g, r, pressed, mouseOver, disabled, false, start, false, end);
    break;
  default:
    DrawPressableShape(g, mShape, r, pressed, mouseOver, disabled);
    break;
  }
}

int IVTabSwitchControl::GetSelectedIdxForPos(float x, float y) const
{
  for (size_t k = 0; k < mButtons.size(); ++k)
    if (mButtons[k].Contains(x, y)) return static_cast<int>(k);
  return -1;
}

void IVTabSwitchControl::OnInit()
{
  ISwitchControlBase::OnInit();
  const IParam* p = GetParam(0);
  if (!p) return;
  if (mTabLabels.GetSize() == 0)
    for (int k = 0; k < mNumStates; ++k)
    {
      const char* t = p->GetDisplayText(static_cast<double>(k));
      if (!mTabLabels.Add(new Util_String(t ? t : ""))) break;
    }
  if (!mLabelStr.Get()[0]) SetLabelStr(p->GetName());
}

void IVTabSwitchControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT, false));
  mButtons.clear();
  const int n = NStates();
  const IRECT& w = mWidgetBounds;
  for (int k = 0; k < n; ++k)
  {
    const float fk = static_cast<float>(k);
    if (mDirection == kVertical)
    {
      const float h = w.H() / static_cast<float>(n);
      mButtons.emplace_back(w.L, w.T + fk * h, w.R, w.T + fk * h + h);
    }
    else
    {
      const float bw = w.W() / static_cast<float>(n);
      mButtons.emplace_back(w.L + fk * bw, w.T, w.L + fk * bw + bw, w.B);
    }
  }
  SetDirty(false);
}

bool IVTabSwitchControl::IsHit(float x, float y) const
{
  return GetSelectedIdxForPos(x, y) > -1;
}

void IVTabSwitchControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  const int idx = GetSelectedIdxForPos(x, y);
  const int n = NStates();
  // One tab: its only value is 0 (the step 1 / (n - 1) does not exist).
  if (idx > -1) SetValue(n > 1 ? static_cast<double>(idx) * (1.0 / static_cast<double>(n - 1)) : 0.0);
  SetDirty(true);
}

void IVTabSwitchControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  mMouseOverButton = GetSelectedIdxForPos(x, y);
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IVTabSwitchControl::OnMouseOut()
{
  mMouseOverButton = -1;
  IControl::OnMouseOut();
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// IVRadioButtonControl
// ---------------------------------------------------------------------------------------------------------------

IVRadioButtonControl::IVRadioButtonControl(const IRECT& bounds, int paramIdx, const std::vector<const char*>& options,
                                           const char* label, const IVStyle& style, int shape, EDirection direction,
                                           float buttonSize)
    : IVTabSwitchControl(bounds, paramIdx, options, label, style, shape, direction), mButtonSize(buttonSize),
      mTextOffset(3.f * buttonSize)
{
  SetRadioAlignment();
}

IVRadioButtonControl::IVRadioButtonControl(const IRECT& bounds, IActionFunction actionFunc,
                                           const std::vector<const char*>& options, const char* label,
                                           const IVStyle& style, int shape, EDirection direction, float buttonSize)
    : IVTabSwitchControl(bounds, std::move(actionFunc), options, label, style, shape, direction),
      mButtonSize(buttonSize), mTextOffset(3.f * buttonSize)
{
  SetRadioAlignment();
}

void IVRadioButtonControl::SetRadioAlignment()
{
  mStyle.valueText.mAlign = kAlignNear;
  mStyle.valueText.mVAlign = kVAlignMiddle;
  mText = mStyle.valueText;
}

void IVRadioButtonControl::DrawWidget(IGraphics& g)
{
  const int n = NButtons();
  const int selected = GetSelectedIdx();
  const float s = std::max(1.f, mButtonSize);
  for (int k = 0; k < n; ++k)
  {
    const IRECT& row = mButtons[static_cast<size_t>(k)];
    const float cx = row.L + mTextOffset / 2.f, cy = row.MH();
    const IRECT button(cx - s / 2.f, cy - s / 2.f, cx + s / 2.f, cy + s / 2.f);
    const bool disabled = IsDisabled() || GetStateDisabled(k);
    DrawButton(g, button, k == selected, k == mMouseOverButton, kTabSegmentMid, disabled);
    if (const Util_String* str = mTabLabels.Get(k))
    {
      IText text = mStyle.valueText;
      text.mFGColor = GetColor(k == selected ? kPR : kX1);
      g.DrawText(text, str->Get(), IRECT(row.L + mTextOffset, row.T, row.R, row.B), &mBlend);
    }
  }
}

int IVRadioButtonControl::GetSelectedIdxForPos(float x, float y) const
{
  if (!mOnlyButtonsRespond) return IVTabSwitchControl::GetSelectedIdxForPos(x, y);
  for (size_t k = 0; k < mButtons.size(); ++k)
  {
    const IRECT& r = mButtons[k];
    if (y >= r.T && y < r.B && x >= r.L && x < r.L + mTextOffset) return static_cast<int>(k);
  }
  return -1;
}

} // namespace plugin::igraphics

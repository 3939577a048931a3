#include "controls/IVectorBase.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

IColor DimmedColor(const IColor& color, bool disabled)
{
  if (!disabled) return color;
  constexpr int32_t kDim = static_cast<int32_t>(-0.25 * 255); // -63
  IColor c = color;
  c.R = std::clamp(c.R + kDim, 0, 255);
  c.G = std::clamp(c.G + kDim, 0, 255);
  c.B = std::clamp(c.B + kDim, 0, 255);
  return c;
}

IVectorBase::IVectorBase(const IVStyle& style, bool labelInWidget, bool valueInWidget)
    : mStyle(DEFAULT_STYLE), mLabelInWidget(labelInWidget), mValueInWidget(valueInWidget)
{
  // Only this class's SetStyle can run from here; a deriving control re-applies its own where it needs to.
  IVectorBase::SetStyle(style);
}

void IVectorBase::AttachIControl(IControl* control, const char* label)
{
  mControl = control;
  SetLabelStr(label);
}

void IVectorBase::SetStyle(const IVStyle& style)
{
  mStyle = style;
}

const IBlend* IVectorBase::ControlBlend() const
{
  return mControl ? &mControl->GetBlend() : nullptr;
}

bool IVectorBase::SplashRunning() const
{
  return mControl && mControl->GetAnimationFunction();
}

// ---------------------------------------------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------------------------------------------

namespace
{
// The measured box of str; all zero for an empty string or without a graphics context.
IRECT Measure(const IControl* control, const IText& text, const char* str)
{
  IRECT r;
  IGraphics* g = control ? control->GetUI() : nullptr;
  if (g && str && str[0]) g->MeasureText(text, str, r);
  return r;
}
} // namespace

IRECT IVectorBase::MakeRects(const IRECT& parent, bool hasHandle)
{
  IRECT clickable = parent;
  const float frac = mStyle.widgetFrac;

  if (!mLabelInWidget)
  {
    if (mStyle.showLabel && mLabelStr.Get()[0])
    {
      const IRECT m = Measure(mControl, mStyle.labelText, mLabelStr.Get());
      const float w = std::max(1.f, m.W());
      const float h = m.H() > 0.f ? m.H() : w;
      const float l = parent.MW() - w / 2.f;
      const float t = parent.T + m.H() / 2.f - h / 2.f;
      mLabelBounds = IRECT(l, t, l + w, t + h);
    }
    else
      mLabelBounds = IRECT();

    if (mLabelBounds.H() != 0.f) clickable.T += mLabelBounds.H();
  }

  if (mStyle.showValue && !mValueInWidget)
  {
    const IRECT m = Measure(mControl, mStyle.valueText, mValueStr.Get());
    const float hw = m.W() * mValueDisplayFrac;
    const float th = m.H();
    const float cx = clickable.MW();
    switch (mStyle.valueText.mVAlign)
    {
    case kVAlignTop:
      mValueBounds = IRECT(cx - hw, clickable.T, cx + hw, clickable.T + th);
      mWidgetBounds = IRECT(clickable.L, clickable.T + th, clickable.R, clickable.B).GetScaledAboutCentre(frac);
      break;
    case kVAlignMiddle:
      mValueBounds = IRECT(cx - hw, clickable.MH() - th / 2.f, cx + hw, clickable.MH() + th / 2.f);
      mWidgetBounds = clickable.GetScaledAboutCentre(frac);
      break;
    case kVAlignBottom:
      mValueBounds = IRECT(cx - hw, clickable.B - th, cx + hw, clickable.B);
      mWidgetBounds = IRECT(clickable.L, clickable.T, clickable.R, clickable.B - th).GetScaledAboutCentre(frac);
      break;
    default:
      break;
    }
  }
  else
    mWidgetBounds = clickable.GetScaledAboutCentre(frac);

  if (hasHandle)
  {
    IRECT w = clickable;
    if (mStyle.drawFrame)
    {
      const float h = mStyle.frameThickness / 2.f;
      w = IRECT(w.L + h, w.T + h, w.R - h, w.B - h);
    }
    if (mStyle.drawShadows)
    {
      const float o = mStyle.shadowOffset;
      w = IRECT(w.L + o, w.T, w.R - o, w.B - o);
    }
    mWidgetBounds = w.GetScaledAboutCentre(frac);
  }

  if (mLabelInWidget) mLabelBounds = mWidgetBounds;
  if (mValueInWidget) mValueBounds = mWidgetBounds;
  return clickable;
}

// ---------------------------------------------------------------------------------------------------------------
// Background, label, value
// ---------------------------------------------------------------------------------------------------------------

void IVectorBase::DrawBackground(IGraphics& g, const IRECT& rect)
{
  g.FillRect(GetColor(kBG), rect, ControlBlend());
}

void IVectorBase::DrawWidget(IGraphics&) {}

void IVectorBase::DrawLabel(IGraphics& g)
{
  if (mLabelBounds.H() != 0.f && mStyle.showLabel)
    g.DrawText(mStyle.labelText, mLabelStr.Get(), mLabelBounds, ControlBlend());
}

void IVectorBase::DrawValue(IGraphics& g, bool mouseOver)
{
  if (mouseOver) g.FillRect(COLOR_TRANSLUCENT, mValueBounds);
  if (mStyle.showValue) g.DrawText(mStyle.valueText, mValueStr.Get(), mValueBounds, ControlBlend());
}

// ---------------------------------------------------------------------------------------------------------------
// Pressable shapes
// ---------------------------------------------------------------------------------------------------------------

void IVectorBase::DrawPressableShape(IGraphics& g, int shape, const IRECT& bounds, bool pressed, bool mouseOver,
                                     bool disabled)
{
  switch (shape)
  {
  case kVShapeRectangle:
  case kVShapeAllRounded:
    DrawPressableRectangle(g, bounds, pressed, mouseOver, disabled, true, true, true, true);
    break;
  case kVShapeEllipse:
    DrawPressableEllipse(g, bounds, pressed, mouseOver, disabled);
    break;
  case kVShapeTriangle:
    DrawPressableTriangle(g, bounds, pressed, mouseOver, mStyle.angle, disabled);
    break;
  case kVShapeEndsRounded:
    DrawPressableRectangle(g, bounds, pressed, mouseOver, disabled, true, true, false, false);
    break;
  default:
    break;
  }
}

void IVectorBase::DrawPressableRectangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled,
                                         bool roundTL, bool roundTR, bool roundBL, bool roundBR)
{
  const float so = mStyle.shadowOffset;
  const IBlend* blend = ControlBlend();

  IRECT handle = bounds;
  if (mStyle.drawFrame) handle = handle.GetPadded(mStyle.frameThickness / 2.f);
  if (mStyle.drawShadows) handle = handle.GetPadded(so, 0.f, -so, -so);
  const IRECT centre = handle.GetPadded(so);
  IRECT shadow = handle.GetTranslated(so, so);

  // A handle squeezed below nothing by the frame and shadow insets would ask for negative corner radii.
  const float radius = std::max(0.f, std::min(handle.W(), handle.H()) * 0.5f * mStyle.roundness);
  const float tl = roundTL ? radius : 0.f, tr = roundTR ? radius : 0.f;
  const float bl = roundBL ? radius : 0.f, br = roundBR ? radius : 0.f;

  if (!pressed)
  {
    if (mStyle.drawShadows) g.FillRoundRect(GetColor(kSH), shadow, tl, tr, bl, br, blend);
    if (!mStyle.emboss)
    {
      g.FillRoundRect(DimmedColor(GetColor(kFG), disabled), handle, tl, tr, bl, br);
      if (mouseOver) g.FillRoundRect(GetColor(kHL), handle, tl, tr, bl, br, blend);
    }
    else
    {
      g.FillRoundRect(DimmedColor(GetColor(kPR), disabled), handle, tl, tr, bl, br);
      g.FillRoundRect(DimmedColor(GetColor(kSH), disabled), shadow, tl, tr, bl, br);
      g.FillRoundRect(DimmedColor(GetColor(kFG), disabled), centre, tl, tr, bl, br);
      if (mouseOver) g.FillRoundRect(GetColor(kHL), centre, tl, tr, bl, br, blend);
    }
  }
  else
  {
    shadow = IRECT(handle.L + so, handle.T + so, handle.R, handle.B);
    if (!mStyle.emboss)
    {
      g.FillRoundRect(DimmedColor(GetColor(kPR), disabled), handle, tl, tr, bl, br);
    }
    else
    {
      g.FillRoundRect(GetColor(kPR), handle, tl, tr, bl, br, blend);
      g.FillRoundRect(GetColor(kSH), handle, tl, tr, bl, br, blend);
      g.FillRoundRect(DimmedColor(GetColor(kFG), disabled), shadow, tl, tr, bl, br);
      g.FillRoundRect(GetColor(kPR), centre, tl, tr, bl, br, blend);
    }
    if (SplashRunning()) PaintClickSplash(g, handle);
  }

  if (mStyle.drawFrame) g.DrawRoundRect(GetColor(kFR), handle, tl, tr, bl, br, blend, mStyle.frameThickness);
}

void IVectorBase::DrawPressableEllipse(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled)
{
  const float so = mStyle.shadowOffset;
  const IBlend* blend = ControlBlend();
  const IRECT centre = bounds.GetPadded(so);
  const IRECT shadow = bounds.GetTranslated(so, so);

  if (!pressed && !disabled && mStyle.drawShadows) g.FillEllipse(GetColor(kSH), shadow);

  if (!pressed)
  {
    if (!mStyle.emboss)
    {
      g.FillEllipse(DimmedColor(GetColor(kFG), disabled), bounds);
      if (mouseOver) g.FillEllipse(GetColor(kHL), bounds, blend);
    }
    else
    {
      g.FillEllipse(DimmedColor(GetColor(kPR), disabled), bounds);
      g.FillEllipse(DimmedColor(GetColor(kSH), disabled), shadow);
      g.FillEllipse(DimmedColor(GetColor(kFG), disabled), centre);
      if (mouseOver) g.FillEllipse(GetColor(kHL), centre, blend);
    }
  }
  else
  {
    if (!mStyle.emboss)
    {
      g.FillEllipse(DimmedColor(GetColor(kPR), disabled), bounds);
    }
    else
    {
      g.FillEllipse(GetColor(kPR), bounds, blend);
      g.FillEllipse(GetColor(kSH), bounds, blend);
      g.FillEllipse(DimmedColor(GetColor(kFG), disabled), IRECT(bounds.L + so, bounds.T + so, bounds.R, bounds.B));
      g.FillEllipse(DimmedColor(GetColor(kPR), disabled), centre);
    }
    if (SplashRunning()) PaintClickSplash(g, bounds);
  }

  if (mStyle.drawFrame) g.DrawEllipse(GetColor(kFR), bounds, blend, mStyle.frameThickness);
}

void IVectorBase::DrawPressableTriangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, float angle,
                                        bool disabled)
{
  const float so = mStyle.shadowOffset;
  const IBlend* blend = ControlBlend();

  IRECT handle = bounds;
  if (mStyle.drawFrame) handle = handle.GetPadded(mStyle.frameThickness / 2.f);
  if (mStyle.drawShadows) handle = handle.GetPadded(so, 0.f, -so, -so);
  const float cx = handle.MW(), cy = handle.MH();

  float x[3] = {handle.L, cx, handle.R};
  float y[3] = {handle.B, handle.T, handle.B};
  const float rad = angle * 3.1415927f / 180.f;
  const float c = std::cos(rad), s = std::sin(rad);
  for (int i = 0; i < 3; ++i)
  {
    const float dx = x[i] - cx, dy = y[i] - cy;
    x[i] = cx + c * dx - s * dy;
    y[i] = cy + s * dx + c * dy;
  }

  if (!pressed && mStyle.drawShadows)
    g.FillTriangle(GetColor(kSH), x[0] + so, y[0] + so, x[1] + so, y[1] + so, x[2] + so, y[2] + so, blend);

  const IColor& fill = pressed ? GetColor(kPR) : GetColor(kFG);
  g.FillTriangle(DimmedColor(fill, disabled), x[0], y[0], x[1], y[1], x[2], y[2]);
  if (mouseOver) g.FillTriangle(GetColor(kHL), x[0], y[0], x[1], y[1], x[2], y[2], blend);

  if (pressed && SplashRunning()) PaintClickSplash(g, IRECT());

  if (mStyle.drawFrame) g.DrawTriangle(GetColor(kFR), x[0], y[0], x[1], y[1], x[2], y[2], blend, mStyle.frameThickness);
}

void IVectorBase::PaintClickSplash(IGraphics& g, const IRECT& clip)
{
  // PathClipRegion intersects with the current region under the identity transform and puts the transform back.
  g.PathClipRegion(clip);
  g.FillCircle(GetColor(kHL), mSplashX, mSplashY, mSplashRadius);
  g.PathClipRegion();
}

// ---------------------------------------------------------------------------------------------------------------
// Click splash action and animation
// ---------------------------------------------------------------------------------------------------------------

void SplashAnimationFunc(IControl* caller)
{
  if (!caller) return;
  const double progress = caller->GetAnimationFunction() ? caller->GetAnimationProgress() : 0.0;
  if (progress > 1.0)
  {
    caller->OnEndAnimation();
    return;
  }
  if (auto* vb = dynamic_cast<IVectorBase*>(caller))
    vb->SetSplashRadius(static_cast<float>(progress) * vb->GetMaxSplashRadius());
  caller->SetDirty(false);
}

void SplashClickActionFunc(IControl* caller)
{
  if (!caller) return;
  if (auto* vb = dynamic_cast<IVectorBase*>(caller))
    if (IGraphics* g = caller->GetUI()) vb->SetSplashPoint(g->GetMouseDownX(), g->GetMouseDownY());
  caller->SetAnimation(SplashAnimationFunc);
  caller->StartAnimation(100.0, true);
}

// ---------------------------------------------------------------------------------------------------------------
// IGraphics: styling every vector control at once. It lives here, with the class it looks for, so that the graphics
// library links none of it.
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::ApplyStyleToVectorControls(const IVStyle& style)
{
  ForStandardControlsFunc(
      [&style](IControl* c)
      {
        if (auto* vb = dynamic_cast<IVectorBase*>(c))
        {
          vb->SetStyle(style);
          c->SetDirty(false);
        }
      });
}

} // namespace plugin::igraphics

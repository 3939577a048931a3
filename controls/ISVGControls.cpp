#include "controls/ISVGControls.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{
// A value that is not a number draws as 0.
double FiniteOrZero(double v)
{
  return std::isfinite(v) ? v : 0.0;
}

// a / b, or 0 when b is not positive or the quotient is not finite (a document without width or height).
float Ratio(float a, float b)
{
  if (!(b > 0.f)) return 0.f;
  const float q = a / b;
  return std::isfinite(q) ? q : 0.f;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// ISVGControl
// ---------------------------------------------------------------------------------------------------------------

ISVGControl::ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer)
    : IControl(bounds), mUseLayer(useLayer), mSVG(svg)
{
}

void ISVGControl::Draw(IGraphics& g)
{
  if (!mUseLayer)
  {
    g.DrawSVG(mSVG, mRECT, &mBlend);
    return;
  }
  // The blend applies once, when the layer's image is drawn, not to the drawing inside it.
  if (!g.CheckLayer(mLayer))
  {
    g.StartLayer(this, mRECT);
    g.DrawSVG(mSVG, mRECT, nullptr);
    mLayer = g.EndLayer();
    // A back end that made no image drew the document into nothing: show it directly rather than not at all.
    if (!mLayer || !mLayer->GetAPIBitmap())
    {
      mLayer.reset();
      g.DrawSVG(mSVG, mRECT, &mBlend);
      return;
    }
  }
  g.DrawLayer(mLayer, &mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// ISVGButtonControl
// ---------------------------------------------------------------------------------------------------------------

ISVGButtonControl::ISVGButtonControl(const IRECT& bounds, IActionFunction actionFunc, const ISVG& offImage,
                                     const ISVG& onImage)
    : IButtonControlBase(bounds, std::move(actionFunc)), mOffImage(offImage), mOnImage(onImage)
{
}

void ISVGButtonControl::Draw(IGraphics& g)
{
  g.DrawSVG(GetValue(0) > 0.5 ? mOnImage : mOffImage, mRECT, &mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// ISVGKnobControl
// ---------------------------------------------------------------------------------------------------------------

ISVGKnobControl::ISVGKnobControl(const IRECT& bounds, const ISVG& svg, int paramIdx)
    : IKnobControlBase(bounds, paramIdx, kVertical, 4.0), mSVG(svg)
{
  mHideCursorOnDrag = true;
}

void ISVGKnobControl::Draw(IGraphics& g)
{
  const double angle = AngleForValue(FiniteOrZero(GetValue(0)));
  g.DrawRotatedSVG(mSVG, mRECT.MW(), mRECT.MH(), mRECT.W(), mRECT.H(), static_cast<float>(angle), &mBlend);
}

void ISVGKnobControl::ReplaceImage(const ISVG& svg)
{
  mSVG = svg;
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// ISVGSwitchControl
// ---------------------------------------------------------------------------------------------------------------

ISVGSwitchControl::ISVGSwitchControl(const IRECT& bounds, const std::vector<ISVG>& images, int paramIdx,
                                     IActionFunction actionFunc)
    : ISwitchControlBase(bounds, paramIdx, std::move(actionFunc), static_cast<int>(images.size())), mImages(images)
{
}

int ISVGSwitchControl::ImageIndexForValue(double value) const
{
  const int n = static_cast<int>(mImages.size());
  if (n == 0) return -1;
  // Limiting the value keeps the product inside int; a parameter with more states than images shows the last.
  const double v = std::clamp(FiniteOrZero(value), 0.0, 1.0);
  const int idx = static_cast<int>(static_cast<double>(std::max(mNumStates - 1, 0)) * v + 0.5);
  return std::clamp(idx, 0, n - 1);
}

void ISVGSwitchControl::Draw(IGraphics& g)
{
  const int idx = ImageIndexForValue(GetValue(0));
  if (idx >= 0) g.DrawSVG(mImages[static_cast<size_t>(idx)], mRECT, &mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// ISVGSliderControl
// ---------------------------------------------------------------------------------------------------------------

ISVGSliderControl::ISVGSliderControl(const IRECT& bounds, const ISVG& handleImage, const ISVG& trackImage, int paramIdx,
                                     EDirection direction, double gearing)
    : ISliderControlBase(bounds, paramIdx, direction, gearing, 0.f), mHandleImage(handleImage), mTrackImage(trackImage)
{
}

void ISVGSliderControl::OnResize()
{
  const float tw = mTrackImage.W(), th = mTrackImage.H();
  const float hw0 = mHandleImage.W(), hh0 = mHandleImage.H();
  const float ta = Ratio(tw, th), ha = Ratio(hw0, hh0), hr = Ratio(hh0, th);

  if (mDirection == kVertical)
  {
    const float h = mRECT.H();
    mTrackSVGBounds = mRECT.GetCentredInside(ta * h, h);
    const float hw = std::max(ha * h * hr, 1.f);
    float hh = h * hr;
    if (!(hh > 0.f)) hh = hw;
    const float l = mRECT.MW() - hw / 2.f;
    mHandleBoundsAtMax = IRECT(l, mTrackSVGBounds.T, l + hw, mTrackSVGBounds.T + hh);
    mTrackBounds = IRECT(mTrackSVGBounds.L, mTrackSVGBounds.T + hh, mTrackSVGBounds.R, mTrackSVGBounds.B);
  }
  else
  {
    const float w = mRECT.W();
    mTrackSVGBounds = mRECT.GetCentredInside(w, Ratio(w, ta));
    float hh = hr * mTrackSVGBounds.H();
    const float hw = std::max(ha * hh, 1.f);
    if (!(hh > 0.f)) hh = hw;
    const float t = mTrackSVGBounds.MH() - hh / 2.f;
    mHandleBoundsAtMax = IRECT(mTrackSVGBounds.R - hw, t, mTrackSVGBounds.R, t + hh);
    mTrackBounds = IRECT(mTrackSVGBounds.L + hw, mTrackSVGBounds.T, mTrackSVGBounds.R, mTrackSVGBounds.B);
  }
  SetDirty(false);
}

IRECT ISVGSliderControl::HandleRectForValue(double value) const
{
  const float v = static_cast<float>(FiniteOrZero(value < 0.0 ? GetValue(0) : value));
  if (mDirection == kVertical) return mHandleBoundsAtMax.GetTranslated(0.f, (1.f - v) * mTrackBounds.H());
  return mHandleBoundsAtMax.GetTranslated(-(1.f - v) * mTrackBounds.W(), 0.f);
}

void ISVGSliderControl::Draw(IGraphics& g)
{
  g.DrawSVG(mTrackImage, mTrackSVGBounds, &mBlend);
  g.DrawSVG(mHandleImage, HandleRectForValue(-1.0), &mBlend);
}

} // namespace plugin::igraphics

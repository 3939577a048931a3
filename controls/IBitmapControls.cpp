#include "controls/IBitmapControls.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace plugin::igraphics
{

namespace
{
// (x, y, x + frame width, y + frame height).
IRECT FrameRectAt(float x, float y, const IBitmap& bitmap)
{
  return IRECT(x, y, x + static_cast<float>(bitmap.FrameWidth()), y + static_cast<float>(bitmap.FrameHeight()));
}

// A value that is not a number draws and moves as 0, so that no NaN reaches the frame arithmetic or a rectangle.
double FiniteOrZero(double v)
{
  return std::isfinite(v) ? v : 0.0;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// IBitmapBase
// ---------------------------------------------------------------------------------------------------------------

int IBitmapBase::FrameForValue(double value, int nFrames)
{
  if (nFrames < 2 || std::isnan(value)) return 1;
  // Limiting the value first keeps the product inside int; the frame it picks is the same as limiting the frame.
  const double v = std::clamp(value, 0.0, 1.0);
  const int t = static_cast<int>(v * static_cast<double>(nFrames - 1) + 0.5);
  return std::clamp(t + 1, 1, nFrames);
}

IRECT IBitmapBase::FrameRectCentredIn(const IBitmap& bitmap, const IRECT& bounds)
{
  const float fw = static_cast<float>(bitmap.FrameWidth()), fh = static_cast<float>(bitmap.FrameHeight());
  const float l = (bounds.L + bounds.R) / 2.f - fw / 2.f;
  const float t = (bounds.T + bounds.B) / 2.f - fh / 2.f;
  return IRECT(l, t, l + fw, t + fh);
}

void IBitmapBase::DrawBitmap(IGraphics& g)
{
  if (!mControl) return;
  const int n = mBitmap.N;
  const int frame = FrameForValue(mControl->GetValue(0), n);
  const IRECT dest = FrameRectCentredIn(mBitmap, mControl->GetRECT());

  int srcX = 0, srcY = 0;
  if (n >= 2 && frame >= 2)
  {
    // Product first, in 64 bits, then the integer division.
    if (mBitmap.mFramesAreHorizontal)
      srcX = static_cast<int>(static_cast<int64_t>(frame - 1) * mBitmap.W / n);
    else
      srcY = static_cast<int>(static_cast<int64_t>(frame - 1) * mBitmap.H / n);
  }
  const IBlend blend = mControl->GetBlend();
  g.DrawBitmap(mBitmap, dest, srcX, srcY, &blend);
}

void IBitmapBase::RescaleBitmap()
{
  IGraphics* g = mControl ? mControl->GetUI() : nullptr;
  if (!g) return;
  const IBitmap scaled = g->GetScaledBitmap(mBitmap);
  if (scaled.IsValid()) mBitmap = scaled;
}

// ---------------------------------------------------------------------------------------------------------------
// IBitmapControl, IBButtonControl, IBSwitchControl, IBKnobControl
// ---------------------------------------------------------------------------------------------------------------

IBitmapControl::IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx, int blendMethod)
    : IControl(FrameRectAt(x, y, bitmap), paramIdx), IBitmapBase(bitmap)
{
  mBlend = IBlend(blendMethod, 1.f);
  AttachIControl(this);
}

IBButtonControl::IBButtonControl(float x, float y, const IBitmap& bitmap, IActionFunction actionFunc)
    : IButtonControlBase(FrameRectAt(x, y, bitmap), std::move(actionFunc)), IBitmapBase(bitmap)
{
  AttachIControl(this);
}

IBButtonControl::IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, IActionFunction actionFunc)
    : IButtonControlBase(FrameRectCentredIn(bitmap, bounds), std::move(actionFunc)), IBitmapBase(bitmap)
{
  AttachIControl(this);
}

IBSwitchControl::IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx)
    : ISwitchControlBase(FrameRectAt(x, y, bitmap), paramIdx, nullptr, 2), IBitmapBase(bitmap)
{
  AttachIControl(this);
}

IBSwitchControl::IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx)
    : ISwitchControlBase(FrameRectCentredIn(bitmap, bounds), paramIdx, nullptr, 2), IBitmapBase(bitmap)
{
  AttachIControl(this);
}

void IBSwitchControl::OnMouseDown(float, float, const IMouseMod&)
{
  const int n = mBitmap.N;
  const double current = FiniteOrZero(GetValue(0));
  SetValue(n >= 2 ? current + 1.0 / static_cast<double>(n - 1) : current + 1.0);
  // A hair above 1 from accumulated steps still shows the last frame; only a real step past the end wraps.
  if (GetValue(0) > 1.001) SetValue(0.0);
  mMouseDown = true;
  SetDirty(true, -1);
}

IBKnobControl::IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IKnobControlBase(FrameRectCentredIn(bitmap, bounds), paramIdx, direction, gearing), IBitmapBase(bitmap)
{
  mHideCursorOnDrag = true;
  AttachIControl(this);
}

void IBKnobRotaterControl::Draw(IGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawRotatedBitmap(mBitmap, mRECT.MW(), mRECT.MH(), AngleForValue(FiniteOrZero(GetValue(0))), &blend);
}

// ---------------------------------------------------------------------------------------------------------------
// IBSliderControl
// ---------------------------------------------------------------------------------------------------------------

namespace
{
IRECT SliderRectAt(float x, float y, float trackLength, const IBitmap& handle, EDirection direction)
{
  return direction == kVertical ? IRECT(x, y, x + static_cast<float>(handle.W), y + trackLength)
                                : IRECT(x, y, x + trackLength, y + static_cast<float>(handle.H));
}

float HandleSize(const IBitmap& handle, EDirection direction)
{
  return static_cast<float>(direction == kVertical ? handle.H : handle.W);
}
} // namespace

IBSliderControl::IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap,
                                 const IBitmap& trackBitmap, int paramIdx, EDirection direction, double gearing)
    : ISliderControlBase(SliderRectAt(x, y, trackLength, handleBitmap, direction), paramIdx, direction, gearing,
                         HandleSize(handleBitmap, direction)),
      IBitmapBase(handleBitmap), mTrackBitmap(trackBitmap)
{
  AttachIControl(this);
}

IBSliderControl::IBSliderControl(const IRECT& bounds, const IBitmap& handleBitmap, const IBitmap& trackBitmap,
                                 int paramIdx, EDirection direction, double gearing)
    : ISliderControlBase(bounds, paramIdx, direction, gearing, HandleSize(handleBitmap, direction)),
      IBitmapBase(handleBitmap), mTrackBitmap(trackBitmap)
{
  AttachIControl(this);
}

void IBSliderControl::OnResize()
{
  if (mTrackBitmap.IsValid())
  {
    mTrackBounds = FrameRectCentredIn(mTrackBitmap, mRECT);
  }
  else if (mDirection == kVertical)
  {
    const float cx = mRECT.MW(), hw = static_cast<float>(mBitmap.W) / 2.f;
    mTrackBounds = IRECT(cx - hw, mRECT.T, cx + hw, mRECT.B);
  }
  else
  {
    const float cy = mRECT.MH(), hh = static_cast<float>(mBitmap.H) / 2.f;
    mTrackBounds = IRECT(mRECT.L, cy - hh, mRECT.R, cy + hh);
  }
  SetDirty(false);
}

IRECT IBSliderControl::HandleRectForValue(double value) const
{
  const float v = static_cast<float>(FiniteOrZero(value < 0.0 ? GetValue(0) : value));
  float dx = 0.f, dy = 0.f;
  if (mDirection == kVertical)
    dy = (mTrackBounds.H() - static_cast<float>(mBitmap.H)) * (1.f - v);
  else
    dx = (mTrackBounds.W() - static_cast<float>(mBitmap.W)) * v;
  const float l = mTrackBounds.L + dx, t = mTrackBounds.T + dy;
  return IRECT(l, t, l + static_cast<float>(mBitmap.FrameWidth()), t + static_cast<float>(mBitmap.FrameHeight()));
}

void IBSliderControl::Draw(IGraphics& g)
{
  const IBlend blend = GetBlend();
  if (mTrackBitmap.IsValid()) g.DrawBitmap(mTrackBitmap, FrameRectCentredIn(mTrackBitmap, mRECT), 0, 0, &blend);
  g.DrawBitmap(mBitmap, HandleRectForValue(-1.0), 1, &blend);
}

// ---------------------------------------------------------------------------------------------------------------
// IBTextControl
// ---------------------------------------------------------------------------------------------------------------

IBTextControl::IBTextControl(const IRECT& bounds, const IBitmap& bitmap, const IText& text, const char* str,
                             int charWidth, int charHeight, int charOffset, bool multiLine, bool vCenter,
                             int blendMethod)
    : ITextControl(bounds, str, text, DEFAULT_BGCOLOR, false), IBitmapBase(bitmap), mCharWidth(charWidth),
      mCharHeight(charHeight), mCharOffset(charOffset), mMultiLine(multiLine), mVCentre(vCenter)
{
  mBlend = IBlend(blendMethod, 1.f);
  AttachIControl(this);
}

void IBTextControl::Draw(IGraphics& g)
{
  const IBlend blend = mBlend;
  g.DrawBitmapedText(mBitmap, mRECT, mText, &blend, mStr.Get(), mVCentre, mMultiLine, mCharWidth, mCharHeight,
                     mCharOffset);
}

} // namespace plugin::igraphics

#include "controls/IVTrackControls.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{
// Edges inclusive: a value exactly on a cell border still finds a cell.
bool ContainsInclusive(const IRECT& r, float x, float y)
{
  return x >= r.L && x <= r.R && y >= r.T && y <= r.B;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Track base — layout
// ---------------------------------------------------------------------------------------------------------------

IVTrackControlBase::IVTrackControlBase(const IRECT& bounds, const std::vector<int>& params, const char* label,
                                       const IVStyle& style, int nSteps, EDirection direction,
                                       std::initializer_list<const char*> trackNames)
    : IControl(bounds, params), IVectorBase(style), mDirection(direction), mNSteps(nSteps)
{
  AttachIControl(this, label);
  for (const char* name : trackNames)
  {
    auto* str = new Util_String(name ? name : "");
    if (!mTrackNames.Add(str)) delete str;
  }
}

IVTrackControlBase::~IVTrackControlBase()
{
  for (int i = 0; i < mTrackNames.GetSize(); ++i)
    delete mTrackNames.Get(i);
  mTrackNames.Empty();
}

void IVTrackControlBase::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  MakeTrackRects(mWidgetBounds);
  MakeStepRects(mWidgetBounds, mNSteps);
  SetDirty(false);
}

void IVTrackControlBase::MakeTrackRects(const IRECT& b)
{
  mTrackBounds.clear();
  const int n = NVals();
  // No slots: no tracks, and no division by their count.
  if (n <= 0) return;
  const float p = mTrackPadding;
  for (int i = 0; i < n; ++i)
  {
    const float fi = static_cast<float>(i);
    if (mDirection == kVertical)
    {
      const float w = b.W() / static_cast<float>(n);
      mTrackBounds.emplace_back(b.L + fi * w, b.T, b.L + (fi + 1.f) * w - p, b.B - p);
    }
    else
    {
      const float h = b.H() / static_cast<float>(n);
      mTrackBounds.emplace_back(b.L, b.T + fi * h + p, b.R, b.T + (fi + 1.f) * h - p);
    }
  }
}

void IVTrackControlBase::MakeStepRects(const IRECT& b, int nSteps)
{
  mStepBounds.clear();
  if (nSteps <= 0) return;
  const int m = mHasExtraStep ? nSteps + 1 : nSteps;
  const float fm = static_cast<float>(m);
  for (int j = 0; j < m; ++j)
  {
    const float far = static_cast<float>(m - 1 - j), near = static_cast<float>(m - j);
    if (mDirection == kVertical)
    {
      const float h = b.H() / fm;
      mStepBounds.emplace_back(b.L, b.T + far * h, b.R, b.T + near * h);
    }
    else
    {
      const float w = b.W() / fm;
      mStepBounds.emplace_back(b.L + far * w, b.T, b.L + near * w, b.B);
    }
  }
}

int IVTrackControlBase::GetValIdxForPos(float x, float y) const
{
  for (size_t i = 0; i < mTrackBounds.size(); ++i)
    if (mTrackBounds[i].Contains(x, y)) return static_cast<int>(i);
  return -1;
}

void IVTrackControlBase::OnMouseOver(float x, float y, const IMouseMod&)
{
  mMouseOverTrack = GetValIdxForPos(x, y);
  SetDirty(false);
}

void IVTrackControlBase::OnMouseOut()
{
  mMouseOverTrack = -1;
  SetDirty(false);
}

const char* IVTrackControlBase::GetTrackName(int chIdx) const
{
  const Util_String* name = mTrackNames.Get(chIdx);
  return name ? name->Get() : "";
}

double IVTrackControlBase::TrackValue(int chIdx) const
{
  // Slots are clamped only by SetDirty: a value stored directly must not draw outside its track.
  const double v = GetValue(chIdx);
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

// ---------------------------------------------------------------------------------------------------------------
// Track base — drawing
// ---------------------------------------------------------------------------------------------------------------

void IVTrackControlBase::DrawWidget(IGraphics& g)
{
  for (size_t i = 0; i < mTrackBounds.size(); ++i)
    DrawTrack(g, mTrackBounds[i], static_cast<int>(i));
}

void IVTrackControlBase::DrawBackground(IGraphics& g, const IRECT& r)
{
  g.FillRect(GetColor(kBG), r, &GetBlend());
  if (!(mBaseValue > 0.0)) return;
  const float f = static_cast<float>(std::min(1.0, std::max(0.0, mBaseValue)));
  if (mDirection == kHorizontal)
  {
    const float x = r.L + std::trunc(r.W() * f);
    g.DrawLine(GetColor(kSH), x, r.T, x, r.B, nullptr, 1.f);
  }
  else
  {
    const float y = r.B - r.H() * f;
    g.DrawLine(GetColor(kSH), r.L, y, r.R, y, nullptr, 1.f);
  }
}

void IVTrackControlBase::DrawTrack(IGraphics& g, const IRECT& r, int chIdx)
{
  DrawTrackBG(g, r, chIdx);
  if (mTrackNames.GetSize() > 0) DrawTrackName(g, r, chIdx);

  const float v = static_cast<float>(TrackValue(chIdx));
  const float b = static_cast<float>(std::min(1.0, mBaseValue));
  const bool above = b < v;
  const bool vertical = mDirection == kVertical;

  IRECT fill;
  if (b <= 0.f)
    fill = vertical ? IRECT(r.L, r.B - r.H() * v, r.R, r.B) : IRECT(r.L, r.T, r.L + r.W() * v, r.B);
  else if (vertical)
    fill = IRECT(r.L, r.B - std::max(b, v) * r.H(), r.R, r.B - std::min(b, v) * r.H());
  else
    fill = IRECT(r.L + std::min(b, v) * r.W(), r.T, r.L + std::max(b, v) * r.W(), r.B);

  if (mStepBounds.empty())
  {
    DrawTrackHandle(g, fill, chIdx, above);
    const float ps = mPeakSize;
    IRECT peak;
    if (vertical)
      peak = v >= b ? IRECT(fill.L, fill.T, fill.R, fill.T + ps) : IRECT(fill.L, fill.B - ps, fill.R, fill.B);
    else
      peak = v >= b ? IRECT(fill.R - ps, fill.T, fill.R, fill.B) : IRECT(fill.L, fill.T, fill.L + ps, fill.B);
    DrawPeak(g, peak, chIdx, above);
  }
  else
  {
    if (b <= 0.f && v == 0.f && mHasExtraStep && vertical) fill.T = mStepBounds[0].T;
    for (const IRECT& s : mStepBounds)
    {
      if (!ContainsInclusive(s, fill.R, fill.T)) continue;
      if (vertical)
        fill.T = s.T, fill.B = s.B;
      else
        fill.L = s.L, fill.R = s.R;
      break;
    }
    if (mHasExtraStep || v > 0.f) DrawTrackHandle(g, fill, chIdx, above);
  }

  if (mStyle.drawFrame && mDrawTrackFrame) g.DrawRect(GetColor(kFR), r, &GetBlend(), mStyle.frameThickness);
}

void IVTrackControlBase::DrawTrackBG(IGraphics& g, const IRECT& r, int chIdx)
{
  g.FillRect(chIdx == mHighlightedTrack ? GetColor(kHL) : COLOR_TRANSPARENT, r);
}

void IVTrackControlBase::DrawTrackName(IGraphics& g, const IRECT& r, int chIdx)
{
  g.DrawText(mText, GetTrackName(chIdx), r);
}

void IVTrackControlBase::DrawTrackHandle(IGraphics& g, const IRECT& r, int chIdx, bool)
{
  g.FillRect(chIdx == mHighlightedTrack ? GetColor(kX1) : GetColor(kFG), r, &GetBlend());
  if (chIdx == mMouseOverTrack) g.FillRect(GetColor(kHL), r, &GetBlend());
}

void IVTrackControlBase::DrawPeak(IGraphics& g, const IRECT& r, int, bool)
{
  g.FillRect(GetColor(kFR), r, &GetBlend());
}

// ---------------------------------------------------------------------------------------------------------------
// Range slider
// ---------------------------------------------------------------------------------------------------------------

IVRangeSliderControl::IVRangeSliderControl(const IRECT& bounds, const std::vector<int>& params, const char* label,
                                           const IVStyle& style, EDirection direction, float handleSize,
                                           float trackSize)
    : IVTrackControlBase(bounds, params, label, style, 0, direction), mHandleSize(handleSize)
{
  mTrackSize = trackSize;
}

void IVRangeSliderControl::MakeTrackRects(const IRECT& bounds)
{
  mTrackBounds.clear();
  const IRECT in = bounds.GetPadded(mHandleSize);
  const IRECT track = mDirection == kVertical ? IRECT(in.MW() - mTrackSize, in.T, in.MW() + mTrackSize, in.B)
                                              : IRECT(in.L, in.MH() - mTrackSize, in.R, in.MH() + mTrackSize);
  mTrackBounds.assign(static_cast<size_t>(NVals()), track);
}

float IVRangeSliderControl::ValuePos(int chIdx) const
{
  const IRECT& t = mTrackBounds[static_cast<size_t>(chIdx)];
  const float v = static_cast<float>(TrackValue(chIdx));
  return mDirection == kVertical ? t.B - t.H() * v : t.L + t.W() * v;
}

IRECT IVRangeSliderControl::GetHandleBounds(int chIdx) const
{
  if (chIdx < 0 || chIdx >= static_cast<int>(mTrackBounds.size())) return IRECT();
  const IRECT& t = mTrackBounds[static_cast<size_t>(chIdx)];
  const float p = ValuePos(chIdx);
  const float o = (mStyle.drawShadows && mShape != kVShapeEllipse) ? mStyle.shadowOffset * 0.5f : 0.f;
  const float hs = mHandleSize, ts = mTrackSize;
  const bool even = chIdx % 2 == 0;
  if (mDirection == kVertical)
  {
    const float cx = t.MW() + o;
    return even ? IRECT(cx - 2.f * hs, p - hs, cx, p + hs) : IRECT(cx + ts, p - hs, cx + ts + 2.f * hs, p + hs);
  }
  const float cy = t.MH() + o;
  return even ? IRECT(p - hs, cy + ts, p + hs, cy + ts + 2.f * hs) : IRECT(p - hs, cy - 2.f * hs, p + hs, cy);
}

void IVRangeSliderControl::Draw(IGraphics& g)
{
  IVTrackControlBase::DrawBackground(g, mRECT);
  DrawLabel(g);
  DrawWidget(g);
}

void IVRangeSliderControl::DrawWidget(IGraphics& g)
{
  if (mTrackBounds.empty()) return;
  const IRECT& t0 = mTrackBounds[0];
  DrawTrackBG(g, t0, 0);

  const int n = static_cast<int>(mTrackBounds.size());
  for (int i = 0; i + 1 < n; ++i)
  {
    const IRECT& t = mTrackBounds[static_cast<size_t>(i)];
    const float a = ValuePos(i), b = ValuePos(i + 1);
    const IRECT span = mDirection == kVertical ? IRECT(t.L, std::min(a, b), t.R, std::max(a, b))
                                               : IRECT(std::min(a, b), t.T, std::max(a, b), t.B);
    g.FillRect(GetColor(kX1), span, &GetBlend());
  }

  if (mStyle.drawFrame && mDrawTrackFrame) g.DrawRect(GetColor(kFR), t0, &GetBlend(), mStyle.frameThickness);

  for (int i = 0; i < n; ++i)
    DrawTrack(g, mTrackBounds[static_cast<size_t>(i)], i);
}

void IVRangeSliderControl::DrawTrack(IGraphics& g, const IRECT&, int chIdx)
{
  const bool even = chIdx % 2 == 0;
  const float angle = mDirection == kHorizontal ? (even ? 0.f : 180.f) : (even ? 90.f : 270.f);
  const bool over = chIdx == mMouseOverHandle;
  DrawPressableTriangle(g, GetHandleBounds(chIdx), over && mMouseDown, over, angle, IsDisabled());
}

void IVRangeSliderControl::OnMouseOver(float x, float y, const IMouseMod&)
{
  mMouseOverHandle = -1;
  for (int i = 0; i < static_cast<int>(mTrackBounds.size()); ++i)
    if (GetHandleBounds(i).Contains(x, y))
    {
      mMouseOverHandle = i;
      break;
    }
  mMouseOverTrack = GetValIdxForPos(x, y);
  SetDirty(false);
}

void IVRangeSliderControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mMouseDown = true;
  OnMouseDrag(x, y, 0.f, 0.f, mod);
}

void IVRangeSliderControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  const int h = mMouseOverHandle;
  const int n = NVals();
  if (h < 0 || h >= n) return;
  const double lo = h > 0 ? GetValue(h - 1) : 0.0;
  const double hi = h < n - 1 ? GetValue(h + 1) : 1.0;
  SnapToMouse(x, y, mDirection, mWidgetBounds, h, lo, hi);
}

void IVRangeSliderControl::OnMouseUp(float, float, const IMouseMod&)
{
  mMouseDown = false;
  // The pressed handle has to be drawn released.
  SetDirty(false);
}

void IVRangeSliderControl::OnMouseOut()
{
  mMouseOverHandle = -1;
  mMouseOverTrack = -1;
  SetDirty(false);
}

} // namespace plugin::igraphics

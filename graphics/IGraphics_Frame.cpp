#include "graphics/IGraphics.h"

#include "controls/IControl.h"
#include "controls/ISpecialControls.h"

#include <chrono>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Frame clock
// ---------------------------------------------------------------------------------------------------------------

namespace
{

double SystemNow()
{
  // Seconds since the first reading in this process.
  static const auto start = std::chrono::steady_clock::now();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
  return static_cast<double>(ns.count()) / 1e9;
}

IGraphics::ClockFunc sClock = nullptr;

} // namespace

void IGraphics::SetClock(ClockFunc clock)
{
  sClock = clock;
}

double IGraphics::Now()
{
  return sClock ? sClock() : SystemNow();
}

void IGraphics::BeginFrame()
{
  const double t = Now();
  mLastFrameTime = t - mPrevTimestamp;
  mPrevTimestamp = t;
  if (mFPSDisplay) static_cast<IFPSDisplayControl*>(mFPSDisplay)->PushFrameTime(static_cast<float>(mLastFrameTime));
}

// ---------------------------------------------------------------------------------------------------------------
// Dirty collection and drawing
// ---------------------------------------------------------------------------------------------------------------

bool IGraphics::IsDirty(IRECTList& rects)
{
  // The display tick and the animation steps run the plug-in's and the controls' actions, which may close the
  // editor: it stays whole while the check runs, animates no further and has nothing left to draw.
  CallScope scope(*this);
  if (mDisplayTickFunc) mDisplayTickFunc();

  ForAllControlsFunc(
      [this](IControl* c)
      {
        if (!IsWindingDown()) c->Animate();
      });
  if (IsWindingDown()) return false;

  bool dirty = false;
  ForAllControlsFunc(
      [&](IControl* c)
      {
        if (!c->IsDirty()) return;
        // The margin takes the antialiased edge of the control along.
        rects.Add(c->GetRECT().GetPadded(-0.75f));
        dirty = true;
      });
  return dirty;
}

void IGraphics::Draw(IRECTList& rects)
{
  CallScope scope(*this);
  if (rects.Size() == 0) return;

  const float scale = GetBackingPixelScale();
  BeginFrame();

  if (!mStrictDrawing)
  {
    rects.PixelAlign(scale);
    rects.Optimize();
    for (int i = 0; i < rects.Size(); ++i)
      Draw(rects.Get(i), scale);
  }
  else
  {
    IRECT area = rects.Bounds();
    if (!area.Empty()) Draw(area.GetPixelAligned(scale), scale);
  }

  EndFrame();
}

void IGraphics::Draw(const IRECT& area, float scale)
{
  // A control's drawing may close the editor: the controls after it draw nothing more of it.
  ForAllControlsFunc(
      [&](IControl* c)
      {
        if (!IsWindingDown()) DrawControl(c, area, scale);
      });
}

void IGraphics::DrawControl(IControl* control, const IRECT& area, float scale)
{
  if (!control) return;
  // The background is drawn even when hidden.
  if (control->IsHidden() && control != GetControl(0)) return;

  const IRECT b = control->GetRECT().GetPadded(-0.75f).GetPixelAligned(scale);
  IRECT clip;
  if (!b.Empty() && !area.Empty() && b.R > area.L && area.R >= b.L && area.B >= b.T && b.B > area.T)
    clip = IRECT(std::max(b.L, area.L), std::max(b.T, area.T), std::min(b.R, area.R), std::min(b.B, area.B));

  if (clip.W() > 0.f && clip.H() > 0.f)
  {
    PathTransformReset(true);
    PathClear();
    SetClipRegion(clip);
    mClipRECT = clip;
    control->Draw(*this);
    CompleteRegion(clip);
  }
}

} // namespace plugin::igraphics

#include "controls/ISpecialControls.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// ICornerResizerControl
// ---------------------------------------------------------------------------------------------------------------

ICornerResizerControl::ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color,
                                             const IColor& mouseOverColor, const IColor& dragColor)
    : IControl(IRECT(graphicsBounds.R - size + 1.f, graphicsBounds.B - size + 1.f, graphicsBounds.R - 1.f,
                     graphicsBounds.B - 1.f)),
      mSize(size), mInitialGraphicsBounds(graphicsBounds), mColor(color), mMouseOverColor(mouseOverColor),
      mDragColor(dragColor)
{
}

void ICornerResizerControl::Draw(IGraphics& g)
{
  const IColor& c = g.GetResizingInProcess() ? mDragColor : (mMouseIsOver ? mMouseOverColor : mColor);
  g.FillTriangle(c, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B);
}

void ICornerResizerControl::OnMouseDown(float, float, const IMouseMod&)
{
  if (mGraphics) mGraphics->SetResizingInProcess(true);
}

void ICornerResizerControl::OnMouseDblClick(float, float, const IMouseMod&)
{
  if (mGraphics)
    mGraphics->Resize(static_cast<int>(mInitialGraphicsBounds.W()), static_cast<int>(mInitialGraphicsBounds.H()),
                      1.f, true);
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (!mHasChangedCursor && mGraphics)
  {
    mPrevCursorType = mGraphics->SetMouseCursor(kCursorSizeNWSE);
    mHasChangedCursor = true;
  }
  IControl::OnMouseOver(x, y, mod);
}

void ICornerResizerControl::OnMouseOut()
{
  if (mHasChangedCursor && mGraphics) mGraphics->SetMouseCursor(static_cast<ECursor>(mPrevCursorType));
  mHasChangedCursor = false;
  IControl::OnMouseOut();
}

void ICornerResizerControl::OnRescale()
{
  if (!mGraphics) return;
  const float size = mSize / mGraphics->GetDrawScale();
  const float w = static_cast<float>(mGraphics->Width()), h = static_cast<float>(mGraphics->Height());
  SetTargetAndDrawRECTs(IRECT(w - size, h - size, w, h));
  OnResize();
}

// ---------------------------------------------------------------------------------------------------------------
// IPanelControl
// ---------------------------------------------------------------------------------------------------------------

IPanelControl::IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame)
    : IControl(bounds), mPattern(pattern), mDrawFrame(drawFrame)
{
  mIgnoreMouse = true;
}

void IPanelControl::Draw(IGraphics& g)
{
  g.PathClear();
  g.PathMoveTo(mRECT.L, mRECT.T);
  g.PathLineTo(mRECT.R, mRECT.T);
  g.PathLineTo(mRECT.R, mRECT.B);
  g.PathLineTo(mRECT.L, mRECT.B);
  g.PathClose();
  g.PathFill(mPattern, IFillOptions{kFillWinding, false}, nullptr);
  if (mDrawFrame) g.DrawRect(COLOR_LIGHT_GRAY, mRECT, nullptr, 1.f);
}

// ---------------------------------------------------------------------------------------------------------------
// IBubbleControl
// ---------------------------------------------------------------------------------------------------------------

IBubbleControl::IBubbleControl(const IText& text, const IColor& fillColor, const IColor& strokeColor,
                               float roundness)
    : IControl(IRECT()), mRoundness(roundness), mFillColor(fillColor), mStrokeColor(strokeColor)
{
  mText = text;
  mHide = true;
  mIgnoreMouse = true;

  // Each trigger (the first show, every re-check while held) runs a 200 ms step of the fade.
  SetActionFunction(
      [this](IControl*)
      {
        SetAnimation([this](IControl*) { AnimationStep(); });
        StartAnimation(200.0, true);
      });
  // Fully shown: hold for a second.
  SetAnimationEndActionFunction(
      [this](IControl*)
      {
        if (mState != kShowing) return;
        SetAnimation([this](IControl*) { AnimationStep(); });
        StartAnimation(1000.0, true);
      });
}

void IBubbleControl::AnimationStep()
{
  const double p = GetAnimationProgress();
  if (p <= 1.0)
  {
    if (mState == kExpanding)
      mBlend.weight = static_cast<float>(p) * mOpacity;
    else if (mState == kShowing)
      mBlend.weight = mOpacity;
    else if (mState == kCollapsing)
      mBlend.weight = static_cast<float>(1.0 - p) * mOpacity;
    return;
  }

  switch (mState)
  {
  case kExpanding:
    mBlend.weight = mOpacity;
    mState = kShowing;
    OnEndAnimation();
    break;
  case kShowing:
    // Held while the caller is still being dragged.
    if (!(mGraphics && mCaller && mGraphics->ControlIsCaptured(mCaller)))
    {
      mBlend.weight = mOpacity;
      mState = kCollapsing;
    }
    SetDirty(true);
    break;
  case kCollapsing:
    mBlend.weight = 0.f;
    Hide(true);
    mState = kCollapsed;
    mTouchId = 0;
    SetDirty(false);
    OnEndAnimation();
    break;
  default:
    OnEndAnimation();
    break;
  }
}

void IBubbleControl::Draw(IGraphics& g)
{
  const IRECT r = mBubbleBounds.GetPadded(mDropShadowSize);
  g.DrawFastDropShadow(r, mBubbleBounds, 2.f, mRoundness, 10.f, &mBlend);
  DrawBubble(g, r);
  DrawContent(g, r);
}

void IBubbleControl::DrawContent(IGraphics& g, const IRECT& r)
{
  if (mStr.GetLength()) g.DrawText(mText, mStr.Get(), r, &mBlend);
}

void IBubbleControl::DrawBubble(IGraphics& g, const IRECT& r)
{
  const float rad = mRoundness, half = mCalloutSize / 2.f, cx = r.MW(), cy = r.MH();
  auto topRight = [&] { g.PathArc(r.R - rad, r.T + rad, rad, 0.f, 90.f); };
  auto bottomRight = [&] { g.PathArc(r.R - rad, r.B - rad, rad, 90.f, 180.f); };
  auto bottomLeft = [&] { g.PathArc(r.L + rad, r.B - rad, rad, 180.f, 270.f); };

  g.PathClear();
  g.PathMoveTo(r.L, r.T + rad);
  g.PathArc(r.L + rad, r.T + rad, rad, 270.f, 360.f);
  switch (mArrowSide)
  {
  case kArrowTop:
    g.PathLineTo(cx - half, r.T);
    g.PathLineTo(cx, r.T - mCalloutSize);
    g.PathLineTo(cx + half, r.T);
    topRight();
    bottomRight();
    bottomLeft();
    break;
  case kArrowRight:
    topRight();
    g.PathLineTo(r.R, cy - half);
    g.PathLineTo(r.R + mCalloutSize, cy);
    g.PathLineTo(r.R, cy + half);
    bottomRight();
    bottomLeft();
    break;
  case kArrowBottom:
    topRight();
    bottomRight();
    g.PathLineTo(cx + half, r.B);
    g.PathLineTo(cx, r.B + mCalloutSize);
    g.PathLineTo(cx - half, r.B);
    bottomLeft();
    break;
  case kArrowLeft:
    topRight();
    bottomRight();
    bottomLeft();
    g.PathLineTo(r.L, cy + half);
    g.PathLineTo(r.L - mCalloutSize, cy);
    g.PathLineTo(r.L, cy - half);
    break;
  default:
    break;
  }
  g.PathClose();

  g.PathFill(mFillColor, IFillOptions{kFillWinding, true}, &mBlend);
  IStrokeOptions stroke;
  stroke.mMiterLimit = 10.f;
  g.PathStroke(mStrokeColor, mStrokeThickness, stroke, &mBlend);
}

void IBubbleControl::MeasureContent(const char* str, IRECT& r)
{
  if (mGraphics) mGraphics->MeasureText(mText, str, r);
}

void IBubbleControl::ShowBubble(IControl* caller, float x, float y, const char* str, EDirection direction,
                                IRECT minimumContentBounds, uint64_t touchID)
{
  if (!mGraphics || !std::isfinite(x) || !std::isfinite(y)) return;

  if (mMaxBounds.H() == 0.f) mMaxBounds = mGraphics->GetBounds();
  mDirection = direction;
  mTouchId = touchID;
  mStr.Set(str);

  IRECT content;
  MeasureContent(mStr.Get(), content);
  if (!minimumContentBounds.Empty())
  {
    if (content.W() < minimumContentBounds.W()) content.R = content.L + minimumContentBounds.W();
    if (content.H() < minimumContentBounds.H()) content.B = content.T + minimumContentBounds.H();
  }
  const float side = mHorizontalPadding + mDropShadowSize;
  content = IRECT(content.L - side, content.T - mDropShadowSize, content.R + side, content.B + mDropShadowSize);
  const float w = content.W(), h = content.H();

  IRECT bubble(x, y - h / 2.f, x + w, y + h / 2.f);
  const IRECT callerBounds = caller ? caller->GetRECT() : IRECT(x, y, x, y);
  if (mDirection == kHorizontal)
  {
    if (x + w <= mMaxBounds.R - side)
      mArrowSide = kArrowLeft;
    else
    {
      bubble = bubble.GetTranslated(-(bubble.R - callerBounds.L), 0.f);
      mArrowSide = kArrowRight;
    }
  }
  else
  {
    bubble = bubble.GetTranslated(-w / 2.f, -h / 2.f);
    if (mMaxBounds.T <= bubble.T)
      mArrowSide = kArrowBottom;
    else
    {
      bubble = bubble.GetTranslated(0.f, callerBounds.H() + h);
      mArrowSide = kArrowTop;
    }
  }
  mBubbleBounds = bubble;

  // The old place is redrawn too.
  SetTargetAndDrawRECTs(mRECT.Union(bubble));
  OnResize();

  if (mState == kCollapsed)
  {
    Hide(false);
    mState = kExpanding;
    SetDirty(true);
  }

  if (caller != mCaller)
  {
    SetTargetAndDrawRECTs(bubble);
    mGraphics->SetAllControlsDirty();
  }
  mCaller = caller;
}

// ---------------------------------------------------------------------------------------------------------------
// IFPSDisplayControl
// ---------------------------------------------------------------------------------------------------------------

IFPSDisplayControl::IFPSDisplayControl(const IRECT& bounds, const char* label)
    : IControl(bounds), IVectorBase(DEFAULT_STYLE, false, false)
{
  AttachIControl(this, label);
  SetColor(kBG, COLOR_WHITE);
  const IColor& frame = GetColor(kFR);
  mTopLeftText = IText(14.f, frame, "Roboto-Regular", kAlignNear, kVAlignTop);
  mValueText = IText(18.f, frame, "Roboto-Regular", kAlignFar, kVAlignTop);
  mValue2Text = IText(15.f, frame, "Roboto-Regular", kAlignFar, kVAlignBottom);
  mText = IText(14.f, frame, "Roboto-Regular", kAlignNear, kVAlignBottom);
}

void IFPSDisplayControl::OnMouseDown(float, float, const IMouseMod&)
{
  mDisplayStyle = (mDisplayStyle + 1) % kNumStyles;
}

void IFPSDisplayControl::Draw(IGraphics& g)
{
  double sum = 0.0;
  for (float s : mBuffer)
    sum += static_cast<double>(s);
  const double mean = sum / kNumFrames;

  g.FillRect(GetColor(kBG), mRECT);
  g.DrawRect(COLOR_BLACK, mRECT, nullptr, 1.f);

  const IRECT r = mRECT.GetPadded(2.f);
  const float top = mDisplayStyle == kFPS ? 80.f : (mDisplayStyle == kMS ? 20.f : 100.f);
  g.PathClear();
  g.PathMoveTo(r.L, r.B);
  for (int i = 0; i < kNumFrames; ++i)
  {
    const float s = mBuffer[(mReadPos + i) % kNumFrames];
    float v = mDisplayStyle == kFPS  ? std::min(1.f / (s + 1e-5f), 80.f)
              : mDisplayStyle == kMS ? std::min(s * 1000.f, 20.f)
                                     : std::min(s, 100.f);
    // A clock that went backwards (or a sample that is not a number) must not throw the graph off its box.
    v = std::isfinite(v) ? std::clamp(v, 0.f, top) : 0.f;
    g.PathLineTo(r.L + (static_cast<float>(i) / (kNumFrames - 1)) * r.W(), r.B - (v / top) * r.H());
  }
  g.PathLineTo(mRECT.R, mRECT.B);
  g.PathFill(GetColor(kFG), IFillOptions{kFillWinding, false}, nullptr);

  g.DrawText(mTopLeftText, g.GetDrawingAPIStr(), r);
  if (GetLabelStr()[0]) g.DrawText(mText, GetLabelStr(), r);

  char buf[32];
  if (mDisplayStyle == kFPS)
  {
    std::snprintf(buf, sizeof(buf), "%.2f FPS", 1.0 / mean);
    g.DrawText(mValueText, buf, r);
    std::snprintf(buf, sizeof(buf), "%.2f ms", mean * 1000.0);
    g.DrawText(mValue2Text, buf, r);
  }
  else if (mDisplayStyle == kMS)
  {
    std::snprintf(buf, sizeof(buf), "%.2f ms", mean * 1000.0);
    g.DrawText(mValueText, buf, r);
  }
  else
  {
    std::snprintf(buf, sizeof(buf), "%.1f %%", mean);
    g.DrawText(mValueText, buf, r);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// IGraphics: attaching the special controls. They live here, with the controls they build, so that the graphics
// library itself links no control code.
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::AttachCornerResizer(EUIResizerMode mode, bool layoutOnResize, const IColor& color,
                                    const IColor& mouseOverColor, const IColor& dragColor, float size)
{
  auto* resizer = new ICornerResizerControl(GetBounds(), size, color, mouseOverColor, dragColor);
  if (mCornerResizer)
  {
    delete resizer;
    return;
  }
  mCornerResizer = resizer;
  mResizerMode = mode;
  mLayoutOnResize = layoutOnResize;
  GiveContext(resizer);
  const float s = size / mDrawScale;
  const float w = static_cast<float>(mWidth), h = static_cast<float>(mHeight);
  resizer->SetTargetAndDrawRECTs(IRECT(w - s, h - s, w, h));
}

void IGraphics::AttachPanelBackground(const IPattern& pattern)
{
  auto* panel = new IPanelControl(GetBounds(), pattern);
  GiveContext(panel);
  if (!mControls.Insert(0, panel))
  {
    delete panel;
    return;
  }
  // Everything moved up by one.
  if (mMouseOverIdx >= 0) ++mMouseOverIdx;
  if (mTooltipIdx >= 0) ++mTooltipIdx;
}

void IGraphics::AttachBubbleControl(const IText& text)
{
  AttachBubbleControl(new IBubbleControl(text, COLOR_WHITE, COLOR_BLACK, 5.f));
}

void IGraphics::AttachBubbleControl(IBubbleControl* bubble)
{
  if (!bubble) return;
  GiveContext(bubble);
  bubble->OnInit();
  bubble->OnResize();
  bubble->OnRescale();
  if (!mBubbleControls.Add(bubble)) delete bubble;
}

void IGraphics::ShowBubbleControl(IControl* caller, float x, float y, const char* str, EDirection direction,
                                  IRECT minimumContentBounds)
{
  const int n = mBubbleControls.GetSize();
  if (n == 0) return;

  IBubbleControl* bubble = nullptr;
  uint64_t touchID = 0;
  if (!mEnableMultiTouch)
    bubble = static_cast<IBubbleControl*>(mBubbleControls.Get(0));
  else
  {
    static int sNextBubble = 0;
    std::vector<uint64_t> touches;
    GetTouches(caller, touches);
    if (touches.size() == 1)
    {
      touchID = touches[0];
      for (int i = 0; i < n && !bubble; ++i)
      {
        auto* b = static_cast<IBubbleControl*>(mBubbleControls.Get(i));
        if (b->GetTouchID() == touchID) bubble = b;
      }
    }
    if (!bubble)
    {
      sNextBubble = sNextBubble % n;
      bubble = static_cast<IBubbleControl*>(mBubbleControls.Get(sNextBubble));
      sNextBubble = (sNextBubble + 1) % n;
    }
  }
  bubble->ShowBubble(caller, x, y, str, direction, minimumContentBounds, touchID);
}

void IGraphics::ShowFPSDisplay(bool enable)
{
  if (enable)
  {
    if (!mFPSDisplay)
    {
      mFPSDisplay = new IFPSDisplayControl(IRECT(10.f, 10.f, 210.f, 60.f), "Frame Time");
      GiveContext(mFPSDisplay);
      mFPSDisplay->OnInit();
      mFPSDisplay->OnResize();
      mFPSDisplay->OnRescale();
    }
  }
  else if (mFPSDisplay)
  {
    // A click may hold it captured: no capture, mouse-over or bubble may keep pointing at it.
    IControl* fps = mFPSDisplay;
    ForgetControl(fps);
    mFPSDisplay = nullptr;
    delete fps;
    mMouseOver = nullptr;
    mMouseOverIdx = -1;
  }
  SetAllControlsDirty();
}

} // namespace plugin::igraphics

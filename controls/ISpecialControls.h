#pragma once

// Special controls that the graphics context attaches for itself or that a layout adds: the corner resizer, a
// filled panel used as a background, the value bubble that fades in beside a dragged control, and the frame-time
// display. The graphics context reaches these only through virtual and inline operations, so the graphics library
// links none of this code; the IGraphics operations that build them are defined with them in ISpecialControls.cpp.
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"
#include "controls/IVectorBase.h"

#include <cstdint>

namespace plugin::igraphics
{

// The triangle in the lower-right corner that resizes the editor when dragged.
class ICornerResizerControl : public IControl
{
public:
  // A size × size square at the bottom-right of graphicsBounds, inset by 1; no parameter. graphicsBounds are also
  // the size a double click returns to.
  ICornerResizerControl(const IRECT& graphicsBounds, float size, const IColor& color = COLOR_TRANSLUCENT,
                        const IColor& mouseOverColor = COLOR_BLACK, const IColor& dragColor = COLOR_BLACK);

  void Draw(IGraphics& g) override;
  // Starts the live resize; the graphics context turns the drags into editor sizes and ends it on mouse-up.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Back to the size at construction, at scale 1 (within the host's limits).
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // Keeps the corner size × size screen points at any draw scale, in the editor's bottom-right corner.
  void OnRescale() override;

protected:
  float mSize;
  bool mHasChangedCursor = false;
  int mPrevCursorType = kCursorArrow;
  IRECT mInitialGraphicsBounds;
  IColor mColor;
  IColor mMouseOverColor;
  IColor mDragColor;
};

// A rectangle filled with a pattern; ignores the mouse.
class IPanelControl : public IControl
{
public:
  IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame = false);

  void Draw(IGraphics& g) override;
  void SetPattern(const IPattern& pattern)
  {
    mPattern = pattern;
    SetDirty(false);
  }
  const IPattern& GetPattern() const { return mPattern; }

protected:
  IPattern mPattern;
  bool mDrawFrame;
};

// The value bubble: fades in beside its caller (200 ms), holds for a second — longer while the caller stays
// captured — and fades out (200 ms). The graphics context owns bubbles and hands them requests through
// IGraphics::ShowBubbleControl.
class IBubbleControl : public IControl
{
public:
  enum EArrowSide : int
  {
    kArrowTop = 0,
    kArrowRight = 1,
    kArrowBottom = 2,
    kArrowLeft = 3,
  };
  enum EState : int
  {
    kCollapsed = 0,
    kExpanding = 1,
    kShowing = 2,
    kCollapsing = 3,
  };

  // Empty bounds, no parameter, hidden and ignoring the mouse until shown.
  IBubbleControl(const IText& text = DEFAULT_TEXT, const IColor& fillColor = COLOR_WHITE,
                 const IColor& strokeColor = COLOR_BLACK, float roundness = 5.f);

  // The drop shadow, then DrawBubble and DrawContent inside the shadow margin.
  void Draw(IGraphics& g) override;

  // Text in r with the bubble's opacity.
  virtual void DrawContent(IGraphics& g, const IRECT& r);
  // The rounded outline with its arrow, filled and stroked.
  virtual void DrawBubble(IGraphics& g, const IRECT& r);
  // The text's bounds into r.
  virtual void MeasureContent(const char* str, IRECT& r);

  // Places the bubble beside (x, y) for caller and shows it (the fade-in starts only when it was collapsed).
  // Horizontal: right of x, or ending at the caller's left edge when it would leave the editor; vertical: centred
  // above y, or below the caller when it would leave the top. Non-finite coordinates are ignored.
  void ShowBubble(IControl* caller, float x, float y, const char* str, EDirection direction = kHorizontal,
                  IRECT minimumContentBounds = IRECT(), uint64_t touchID = 0);

  // The caller is going away: collapse at once, without animation, and keep no pointer to it.
  void ForgetCaller(const IControl* control)
  {
    if (!control || control != mCaller) return;
    mCaller = nullptr;
    SetAnimation(nullptr);
    mBlend.weight = 0.f;
    mState = kCollapsed;
    mTouchId = 0;
    Hide(true);
  }

  IControl* GetCaller() const { return mCaller; }
  uint64_t GetTouchID() const { return mTouchId; }
  int GetState() const { return mState; }
  int GetArrowSide() const { return mArrowSide; }
  const IRECT& GetBubbleBounds() const { return mBubbleBounds; }
  const IBlend& GetBubbleBlend() const { return mBlend; }
  const char* GetBubbleText() const { return mStr.Get(); }

protected:
  // One frame of the fade animation.
  void AnimationStep();

  uint64_t mTouchId = 0;
  EDirection mDirection = kHorizontal;
  IRECT mMaxBounds;
  IRECT mBubbleBounds;
  IControl* mCaller = nullptr;
  int mArrowSide = kArrowLeft;
  Util_String mStr;
  IBlend mBlend{kBlendDefault, 0.f};
  float mRoundness;
  float mDropShadowSize = 10.f;
  float mCalloutSize = 10.f;
  float mOpacity = 0.95f;
  float mStrokeThickness = 2.f;
  float mHorizontalPadding = 5.f;
  IColor mFillColor;
  IColor mStrokeColor;
  int mState = kCollapsed;
};

// Frame times of the last 100 frames as a graph with read-outs; a click cycles FPS → ms → % of a second. Its colours
// are those of its vector style (background: colour 0, graph: colour 1, texts: colour 3), set through IVectorBase.
class IFPSDisplayControl : public IControl, public IVectorBase
{
public:
  static constexpr int kNumFrames = 100;
  enum EStyle : int
  {
    kFPS = 0,
    kMS = 1,
    kPercentage = 2,
    kNumStyles
  };

  // The default vector style with label and value outside the widget, on a white background; label is drawn at the
  // bottom left (null: none).
  IFPSDisplayControl(const IRECT& bounds, const char* label = "");

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Redrawn every frame.
  bool IsDirty() const override { return true; }
  void Draw(IGraphics& g) override;

  // [main thread, frame start] Adds the time since the previous frame (seconds) to the ring.
  void PushFrameTime(float seconds)
  {
    mReadPos = (mReadPos + 1) % kNumFrames;
    mBuffer[mReadPos] = seconds;
  }
  float GetFrameTime(int idx) const { return idx >= 0 && idx < kNumFrames ? mBuffer[idx] : 0.f; }
  int GetNewestIdx() const { return mReadPos; }
  // The display style (EStyle); the colours are the vector style's (IVectorBase::GetStyle).
  int GetDisplayStyle() const { return mDisplayStyle; }

protected:
  int mDisplayStyle = kFPS;
  float mBuffer[kNumFrames] = {};
  int mReadPos = 0;
  IText mTopLeftText;
  IText mValueText;
  IText mValue2Text;
};

} // namespace plugin::igraphics

#include "ui/IBControlsQN.h"

#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "framework/PluginConstants.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace plugin::igraphics
{

namespace
{
IRECT FrameRectAt(float x, float y, const IBitmap& bitmap)
{
  return IRECT(x, y, x + static_cast<float>(bitmap.FrameWidth()), y + static_cast<float>(bitmap.FrameHeight()));
}

// Source offset of frame (1-based, already limited to the bitmap's frames) inside the bitmap.
void FrameOffset(const IBitmap& bitmap, int frame, int& srcX, int& srcY)
{
  srcX = srcY = 0;
  const int n = bitmap.N;
  if (n < 2 || frame < 2) return;
  if (bitmap.mFramesAreHorizontal)
    srcX = static_cast<int>(static_cast<int64_t>(frame - 1) * bitmap.W / n);
  else
    srcY = static_cast<int>(static_cast<int64_t>(frame - 1) * bitmap.H / n);
}

void DrawFrame(IGraphics& g, const IBitmap& bitmap, const IRECT& dest, int frame, const IBlend& blend)
{
  const int n = std::max(bitmap.N, 1);
  int srcX, srcY;
  FrameOffset(bitmap, std::clamp(frame, 1, n), srcX, srcY);
  g.DrawBitmap(bitmap, dest, srcX, srcY, &blend);
}

void DrawHoverHighlight(IGraphics& g, const IBitmap& bitmap, const IControl& control, const IColor& color)
{
  const IBlend blend = control.GetBlend();
  g.FillRoundRect(color, IBitmapBase::FrameRectCentredIn(bitmap, control.GetRECT()), 2.f, &blend);
}
} // namespace

void SendCommandQN(IControl& control, int code)
{
  if (code < 0) return;
  if (IGEditorDelegate* dlg = control.GetDelegate()) dlg->OnParamChange(code, kUI, -1);
}

// ---------------------------------------------------------------------------------------------------------------
// IBBitmapControlQN, IVParameterControlHiddenQN, IVClickControlHiddenQN
// ---------------------------------------------------------------------------------------------------------------

IBBitmapControlQN::IBBitmapControlQN(int x, int y, const IBitmap& bitmap)
    : IControl(FrameRectAt(static_cast<float>(x), static_cast<float>(y), bitmap), -1), IBitmapBase(bitmap)
{
  AttachIControl(this);
}

void IBBitmapControlQN::Draw(IGraphics& g)
{
  DrawBitmap(g);
}

IVParameterControlHiddenQN::IVParameterControlHiddenQN(const IRECT& bounds, int paramIdx) : IControl(bounds, paramIdx)
{
}

IVClickControlHiddenQN::IVClickControlHiddenQN(const IRECT& bounds, int cmdIdx) : IControl(bounds, -1), mCmdIdx(cmdIdx)
{
}

void IVClickControlHiddenQN::OnMouseDown(float, float, const IMouseMod& mod)
{
  mStoredMod = mod;
  SendCommandQN(*this, mCmdIdx);
}

void IVClickControlHiddenQN::OnMouseUp(float, float, const IMouseMod&)
{
  mStoredMod = IMouseMod();
}

// ---------------------------------------------------------------------------------------------------------------
// IBClickButtonControlQN
// ---------------------------------------------------------------------------------------------------------------

IBClickButtonControlQN::IBClickButtonControlQN(float x, float y, const IBitmap& bitmap, int cmdIdx, bool momentary,
                                               bool hoverHighlight, const IColor& highlightColor)
    : IBButtonControl(x, y, bitmap, nullptr), mCmdIdx(cmdIdx), mMomentary(momentary), mHoverHighlight(hoverHighlight),
      mHighlightColor(highlightColor)
{
  mDblAsSingleClick = true;
}

void IBClickButtonControlQN::OnMouseDown(float, float, const IMouseMod& mod)
{
  mStoredMod = mod;
  SendCommandQN(*this, mCmdIdx);
  if (mMomentary) SetValue(1.0);
  SetDirty(true);
}

void IBClickButtonControlQN::OnMouseUp(float, float, const IMouseMod&)
{
  mStoredMod = IMouseMod();
  if (mMomentary) SetValue(0.0);
  SetDirty(true);
}

void IBClickButtonControlQN::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  mMouseOver = true;
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IBClickButtonControlQN::OnMouseOut()
{
  mMouseOver = false;
  IControl::OnMouseOut();
  SetDirty(false);
}

void IBClickButtonControlQN::Draw(IGraphics& g)
{
  if (mHoverHighlight && mMouseOver) DrawHoverHighlight(g, mBitmap, *this, mHighlightColor);
  DrawBitmap(g);
}

// ---------------------------------------------------------------------------------------------------------------
// IBPushControlQN
// ---------------------------------------------------------------------------------------------------------------

IBPushControlQN::IBPushControlQN(float x, float y, const IBitmap& bitmap, int paramIdx)
    : IBSwitchControl(x, y, bitmap, paramIdx)
{
}

void IBPushControlQN::OnMouseDown(float, float, const IMouseMod& mod)
{
  mStoredMod = mod;
  mMouseDown = true;
  SetValue(1.0);
  SetDirty(true);
}

void IBPushControlQN::OnMouseUp(float, float, const IMouseMod&)
{
  mStoredMod = IMouseMod();
  mMouseDown = false;
  SetValue(0.0);
  SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// IBSwitchControlQN, IBSwitchControlExtraQN
// ---------------------------------------------------------------------------------------------------------------

IBSwitchControlQN::IBSwitchControlQN(float x, float y, const IBitmap& bitmap, int paramIdx, bool visible,
                                     bool hoverHighlight, const IColor& highlightColor)
    : IBSwitchControl(x, y, bitmap, paramIdx), mVisible(visible), mHoverHighlight(hoverHighlight),
      mHighlightColor(highlightColor)
{
}

void IBSwitchControlQN::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mStoredMod = mod;
  IBSwitchControl::OnMouseDown(x, y, mod);
}

void IBSwitchControlQN::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  mStoredMod = IMouseMod();
  ISwitchControlBase::OnMouseUp(x, y, mod);
}

void IBSwitchControlQN::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  mMouseOver = true;
  IControl::OnMouseOver(x, y, mod);
  SetDirty(false);
}

void IBSwitchControlQN::OnMouseOut()
{
  mMouseOver = false;
  IControl::OnMouseOut();
  SetDirty(false);
}

void IBSwitchControlQN::Draw(IGraphics& g)
{
  if (!mVisible) return;
  if (mHoverHighlight && mMouseOver) DrawHoverHighlight(g, mBitmap, *this, mHighlightColor);
  DrawBitmap(g);
}

IBSwitchControlExtraQN::IBSwitchControlExtraQN(float x, float y, const IBitmap& bitmap, int paramIdx, bool visible,
                                               bool hoverHighlight, const IColor& highlightColor, int cmdIdx)
    : IBSwitchControlQN(x, y, bitmap, paramIdx, visible, hoverHighlight, highlightColor), mCmdIdx(cmdIdx)
{
}

IBSwitchControlExtraQN::IBSwitchControlExtraQN(float x, float y, const IBitmap& bitmap, bool visible,
                                               bool hoverHighlight, const IColor& highlightColor, int cmdIdx)
    : IBSwitchControlExtraQN(x, y, bitmap, -1, visible, hoverHighlight, highlightColor, cmdIdx)
{
}

void IBSwitchControlExtraQN::OnMouseDown(float, float, const IMouseMod&)
{
  // The plug-in answers with the new state; the click itself changes nothing here.
  SendCommandQN(*this, mCmdIdx);
}

// ---------------------------------------------------------------------------------------------------------------
// IBCornerResizerControlQN
// ---------------------------------------------------------------------------------------------------------------

namespace
{
int ResizeModeFor(int sizeRescale, int sizeReset, int scaleRescale, int scaleReset)
{
  const bool size = sizeRescale != -1 && sizeReset != -1;
  const bool scale = scaleRescale != -1 && scaleReset != -1;
  const bool noSize = sizeRescale == -1 && sizeReset == -1;
  const bool noScale = scaleRescale == -1 && scaleReset == -1;
  if (size && scale) return IBCornerResizerControlQN::kResizeBoth;
  if (size && noScale) return IBCornerResizerControlQN::kResizeSizeOnly;
  if (scale && noSize) return IBCornerResizerControlQN::kResizeScaleOnly;
  return IBCornerResizerControlQN::kResizeNone;
}
} // namespace

IBCornerResizerControlQN::IBCornerResizerControlQN(const IRECT& editorBounds, const IBitmap& bitmap, int sizeRescaleCmd,
                                                   int sizeResetCmd, int scaleRescaleCmd, int scaleResetCmd,
                                                   float xOffset, float yOffset)
    : ICornerResizerControl(editorBounds, static_cast<float>(bitmap.W)), IBitmapBase(bitmap),
      mSizeRescaleCmd(sizeRescaleCmd), mSizeResetCmd(sizeResetCmd), mScaleRescaleCmd(scaleRescaleCmd),
      mScaleResetCmd(scaleResetCmd), mXOffset(xOffset), mYOffset(yOffset),
      mResizeMode(ResizeModeFor(sizeRescaleCmd, sizeResetCmd, scaleRescaleCmd, scaleResetCmd))
{
  AttachIControl(this);
}

void IBCornerResizerControlQN::OnResize()
{
  if (!mGraphics) return;
  const float w = static_cast<float>(mBitmap.W);
  const float W = static_cast<float>(mGraphics->Width()), H = static_cast<float>(mGraphics->Height());
  SetTargetAndDrawRECTs(IRECT(W - w, H - w, W, H));
}

void IBCornerResizerControlQN::OnMouseDown(float, float, const IMouseMod& mod)
{
  if (!mGraphics) return;
  switch (mResizeMode)
  {
  case kResizeBoth:
    mGraphics->SetResizerMode(mod.C ? EUIResizerMode::Scale : EUIResizerMode::Size);
    break;
  case kResizeSizeOnly:
    mGraphics->SetResizerMode(EUIResizerMode::Size);
    break;
  case kResizeScaleOnly:
    mGraphics->SetResizerMode(EUIResizerMode::Scale);
    break;
  default:
    break;
  }
  mGraphics->SetResizingInProcess(true);
}

void IBCornerResizerControlQN::OnMouseDblClick(float, float, const IMouseMod& mod)
{
  int mode = mResizeMode;
  if (mode == kResizeBoth) mode = mod.C ? kResizeScaleOnly : kResizeSizeOnly;
  if (mode == kResizeScaleOnly)
  {
    if (mGraphics) mGraphics->SetResizerMode(EUIResizerMode::Scale);
    SendCommandQN(*this, mScaleResetCmd);
  }
  else if (mode == kResizeSizeOnly)
  {
    if (mGraphics) mGraphics->SetResizerMode(EUIResizerMode::Size);
    SendCommandQN(*this, mSizeResetCmd);
  }
}

void IBCornerResizerControlQN::OnRescale()
{
  if (mResizeMode == kResizeNone || !mGraphics) return;
  SendCommandQN(*this, mGraphics->GetResizerMode() == EUIResizerMode::Scale ? mScaleRescaleCmd : mSizeRescaleCmd);
}

int IBCornerResizerControlQN::CurrentFrame() const
{
  const bool active = mMouseIsOver || (mGraphics && mGraphics->GetResizingInProcess());
  return active ? 2 : 1;
}

void IBCornerResizerControlQN::Draw(IGraphics& g)
{
  DrawFrame(g, mBitmap, mRECT.GetTranslated(mXOffset, mYOffset), CurrentFrame(), mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// Radio groups
// ---------------------------------------------------------------------------------------------------------------

template <int N>
IBRadioButtonsControlT<N>::IBRadioButtonsControlT(const IRECT& bounds, int paramIdx, const std::array<IRECT, N>& rects,
                                                  const std::array<IBitmap, N>& bitmaps, bool allowNone)
    : IControl(bounds, paramIdx), mRects(rects), mBitmaps(bitmaps), mAllowNone(allowNone)
{
  mDblAsSingleClick = true;
}

template <int N> int IBRadioButtonsControlT<N>::ButtonAt(float x, float y) const
{
  for (int i = 0; i < N; ++i)
    if (mRects[static_cast<size_t>(i)].Contains(x, y)) return i;
  return -1;
}

template <int N> int IBRadioButtonsControlT<N>::CurrentIndex() const
{
  const IParam* p = GetParam(0);
  if (!p) return -1;
  const double v = p->Value();
  // Far outside any button: no index, and no overflow in the conversion.
  if (!(std::fabs(v) < 1e9)) return -1;
  return static_cast<int>(v);
}

template <int N> int IBRadioButtonsControlT<N>::ChosenValue(int button) const
{
  if (!mAllowNone) return button;
  return CurrentIndex() == button + 1 ? 0 : button + 1;
}

template <int N> void IBRadioButtonsControlT<N>::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mStoredMod = mod;
  const IParam* p = GetParam(0);
  // The buttons stand for real values of a parameter; without one there is nothing to choose.
  if (!p) return;
  for (int i = 0; i < N; ++i)
  {
    if (!mRects[static_cast<size_t>(i)].Contains(x, y)) continue;
    double k = static_cast<double>(ChosenValue(i));
    const double step = p->GetStep();
    if (p->GetStepped() && step > 0.0) k = std::round(k / step) * step;
    k = std::clamp(k, p->GetMin(), p->GetMax());
    SetValue(std::clamp(p->ToNormalized(k), 0.0, 1.0));
    SetDirty(true);
  }
}

template <int N> void IBRadioButtonsControlT<N>::OnMouseUp(float, float, const IMouseMod&)
{
  mStoredMod = IMouseMod();
}

template <int N> void IBRadioButtonsControlT<N>::OnRescale()
{
  if (!mGraphics) return;
  for (IBitmap& b : mBitmaps)
  {
    const IBitmap scaled = mGraphics->GetScaledBitmap(b);
    if (scaled.IsValid()) b = scaled;
  }
}

template <int N> void IBRadioButtonsControlT<N>::DrawButton(IGraphics& g, int i, int frame)
{
  const IRECT& r = mRects[static_cast<size_t>(i)];
  if (r.Empty()) return;
  DrawFrame(g, mBitmaps[static_cast<size_t>(i)], r, frame, mBlend);
}

template <int N> void IBRadioButtonsControlT<N>::Draw(IGraphics& g)
{
  const int v = CurrentIndex();
  const int selected = mAllowNone ? v - 1 : v;
  if (mAllowNone ? (v < 0 || v > N) : (v < 0 || v >= N)) return;
  for (int i = 0; i < N; ++i)
    DrawButton(g, i, i == selected ? 2 : 1);
}

template class IBRadioButtonsControlT<3>;
template class IBRadioButtonsControlT<4>;

IBRadioButtonsControl3::IBRadioButtonsControl3(const IRECT& bounds, int paramIdx, const IRECT& r1, const IBitmap& b1,
                                               const IRECT& r2, const IBitmap& b2, const IRECT& r3, const IBitmap& b3,
                                               bool allowNone)
    : IBRadioButtonsControlT<3>(bounds, paramIdx, {r1, r2, r3}, {b1, b2, b3}, allowNone)
{
}

IBRadioButtonsControl4::IBRadioButtonsControl4(const IRECT& bounds, int paramIdx, const IRECT& r1, const IBitmap& b1,
                                               const IRECT& r2, const IBitmap& b2, const IRECT& r3, const IBitmap& b3,
                                               const IRECT& r4, const IBitmap& b4, bool allowNone)
    : IBRadioButtonsControlT<4>(bounds, paramIdx, {r1, r2, r3, r4}, {b1, b2, b3, b4}, allowNone)
{
}

IBRadioButtonsControl4Special::IBRadioButtonsControl4Special(const IRECT& bounds, int paramIdx, const IRECT& r1,
                                                             const IBitmap& b1, const IRECT& r2, const IBitmap& b2,
                                                             const IRECT& r3, const IBitmap& b3, const IRECT& r4,
                                                             const IBitmap& b4, bool allowNone, int cmdIdx)
    : IBRadioButtonsControl4(bounds, paramIdx, r1, b1, r2, b2, r3, b3, r4, b4, allowNone), mCmdIdx(cmdIdx)
{
}

void IBRadioButtonsControl4Special::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  IBRadioButtonsControl4::OnMouseDown(x, y, mod);
  // The command recalls the selected snapshot over the current gains: a click between the buttons chose nothing.
  if (ButtonAt(x, y) >= 0) SendCommandQN(*this, mCmdIdx);
}

void IBRadioButtonsControl4Special::SetFilled(int i, bool filled)
{
  if (i < 0 || i >= 4 || mFilled[static_cast<size_t>(i)] == filled) return;
  mFilled[static_cast<size_t>(i)] = filled;
  SetDirty(false);
}

void IBRadioButtonsControl4Special::Draw(IGraphics& g)
{
  for (int i = 0; i < 4; ++i)
    DrawButton(g, i, mFilled[static_cast<size_t>(i)] ? 2 : 1);

  const int v = CurrentIndex();
  const int selected = mAllowNone ? v - 1 : v;
  if (selected < 0 || selected >= 4 || (mAllowNone && v < 1)) return;
  // The selection overlay is the third frame, or the last one a shorter bitmap has.
  const int n = std::max(mBitmaps[static_cast<size_t>(selected)].N, 1);
  DrawButton(g, selected, std::min(3, n));
}

// ---------------------------------------------------------------------------------------------------------------
// IVTextControlQN
// ---------------------------------------------------------------------------------------------------------------

IVTextControlQN::IVTextControlQN(const IRECT& bounds, const char* str, const IText& text, const IColor& bgColor,
                                 bool setBoundsBasedOnStr)
    : ITextControl(bounds, str, text, bgColor, setBoundsBasedOnStr)
{
  mIgnoreMouse = true;
}

void IVTextControlQN::SetStr(const char* str)
{
  if (!str) str = "";
  if (std::strcmp(mStr.Get(), str) == 0) return;
  ITextControl::SetStr(str);
  SetDirty(true);
}

} // namespace plugin::igraphics

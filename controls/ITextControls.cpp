#include "controls/ITextControls.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// ITextControl
// ---------------------------------------------------------------------------------------------------------------

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text, const IColor& bgColor,
                           bool setBoundsBasedOnStr)
    : IControl(bounds), mStr(str ? str : ""), mBGColor(bgColor), mSetBoundsBasedOnStr(setBoundsBasedOnStr)
{
  mIgnoreMouse = true;
  mText = text;
}

void ITextControl::OnInit()
{
  if (mSetBoundsBasedOnStr) SetBoundsBasedOnStr();
}

void ITextControl::SetStr(const char* str)
{
  if (!str) str = "";
  if (std::strcmp(mStr.Get(), str) == 0) return;
  mStr.Set(str);
  if (mSetBoundsBasedOnStr) SetBoundsBasedOnStr();
}

void ITextControl::SetStrFmt(int maxlen, const char* fmt, ...)
{
  if (maxlen <= 0 || !fmt)
  {
    mStr.Set("");
    return;
  }
  std::vector<char> buf(static_cast<size_t>(maxlen) + 1, '\0');
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf.data(), buf.size(), fmt, args);
  va_end(args);
  mStr.Set(buf.data());
}

void ITextControl::SetBoundsBasedOnStr()
{
  if (!mGraphics) return;
  IRECT r;
  mGraphics->MeasureText(mText, mStr.Get(), r);
  const float cx = mRECT.MW(), cy = mRECT.MH();
  const float hw = r.W() / 2.f, hh = r.H() / 2.f;
  SetTargetAndDrawRECTs(IRECT(cx - hw, cy - hh, cx + hw, cy + hh));
  OnResize();
}

void ITextControl::Draw(IGraphics& g)
{
  g.FillRect(mBGColor, mRECT, &mBlend);
  if (mStr.GetLength() && g.GetControlInTextEntry() != this) g.DrawText(mText, mStr.Get(), mRECT, &mBlend);
}

// ---------------------------------------------------------------------------------------------------------------
// IURLControl
// ---------------------------------------------------------------------------------------------------------------

IURLControl::IURLControl(const IRECT& bounds, const char* str, const char* url, const IText& text,
                         const IColor& bgColor, const IColor& mouseOverColor, const IColor& clickedColor)
    : ITextControl(bounds, str, text, bgColor, false), mURLStr(url ? url : ""), mOriginalColor(text.mFGColor),
      mMOColor(mouseOverColor), mCLColor(clickedColor)
{
  mIgnoreMouse = false;
}

void IURLControl::Draw(IGraphics& g)
{
  g.FillRect(mBGColor, mRECT, &mBlend);
  mText.mFGColor = mMouseIsOver ? mMOColor : (mClicked ? mCLColor : mOriginalColor);
  if (!mStr.GetLength()) return;

  IRECT r;
  g.MeasureText(mText, mStr.Get(), r);
  const float w = r.W(), h = r.H();
  float y = mRECT.B;
  if (mText.mVAlign == kVAlignTop)
    y = mRECT.T + h;
  else if (mText.mVAlign == kVAlignMiddle)
    y = mRECT.MH() + r.B;
  float x1 = mRECT.MW() + r.L, x2 = mRECT.MW() + r.R;
  if (mText.mAlign == kAlignNear)
    x1 = mRECT.L, x2 = mRECT.L + w;
  else if (mText.mAlign == kAlignFar)
    x1 = mRECT.R - w, x2 = mRECT.R;
  g.DrawLine(mText.mFGColor, x1, y, x2, y, &mBlend);
  g.DrawText(mText, mStr.Get(), mRECT, &mBlend);
}

void IURLControl::OnMouseDown(float, float, const IMouseMod&)
{
  if (mGraphics)
  {
    mGraphics->OpenURL(mURLStr.Get());
    mGraphics->ReleaseMouseCapture();
  }
  mClicked = true;
}

void IURLControl::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  if (mGraphics) mGraphics->SetMouseCursor(kCursorHand);
  IControl::OnMouseOver(x, y, mod);
}

void IURLControl::OnMouseOut()
{
  if (mGraphics) mGraphics->SetMouseCursor(kCursorArrow);
  IControl::OnMouseOut();
}

// ---------------------------------------------------------------------------------------------------------------
// ITextToggleControl
// ---------------------------------------------------------------------------------------------------------------

ITextToggleControl::ITextToggleControl(const IRECT& bounds, int paramIdx, const char* offText, const char* onText,
                                       const IText& text, const IColor& bgColor)
    : ITextControl(bounds, offText, text, bgColor), mOffText(offText ? offText : ""), mOnText(onText ? onText : "")
{
  SetParamIdx(paramIdx);
  mDblAsSingleClick = true;
  mIgnoreMouse = false;
}

ITextToggleControl::ITextToggleControl(const IRECT& bounds, IActionFunction actionFunc, const char* offText,
                                       const char* onText, const IText& text, const IColor& bgColor)
    : ITextControl(bounds, offText, text, bgColor), mOffText(offText ? offText : ""), mOnText(onText ? onText : "")
{
  SetActionFunction(std::move(actionFunc));
  mDblAsSingleClick = true;
  mIgnoreMouse = false;
}

void ITextToggleControl::OnMouseDown(float, float, const IMouseMod&)
{
  // Turns on whatever shows the off text, 0.5 included (a strict "below" would leave 0.5 off after a click).
  SetValue(GetValue(0) <= 0.5 ? 1.0 : 0.0);
  SetDirty(true, 0);
}

void ITextToggleControl::SetDirty(bool triggerAction, int)
{
  SetStr(GetValue(0) > 0.5 ? mOnText.Get() : mOffText.Get());
  IControl::SetDirty(triggerAction, -1);
}

// ---------------------------------------------------------------------------------------------------------------
// ICaptionControl
// ---------------------------------------------------------------------------------------------------------------

ICaptionControl::ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text, const IColor& bgColor,
                                 bool showParamLabel)
    : ITextControl(bounds, "", text, bgColor), mShowParamLabel(showParamLabel)
{
  SetParamIdx(paramIdx);
  mDisablePrompt = false;
  mDblAsSingleClick = true;
  mIgnoreMouse = false;
}

void ICaptionControl::OnResize()
{
  const IParam* p = GetParam(0);
  if (!p || p->Type() != IParam::kTypeEnum) return;
  const float cx = mRECT.R - 0.1f * mRECT.W(), cy = mRECT.MH();
  mTri = IRECT(cx - 4.f, cy - 2.5f, cx + 4.f, cy + 2.5f);
}

void ICaptionControl::Draw(IGraphics& g)
{
  if (const IParam* p = GetParam(0))
  {
    if (mShowParamLabel)
      GetParamDisplayWithLabel(*p, mStr, true);
    else
      p->GetDisplay(mStr, true);
  }
  ITextControl::Draw(g);

  if (mTri.W() > 0.f)
  {
    if (mMouseIsOver)
      g.FillTriangle(mTriangleMouseOverColor, mTri.L, mTri.T, mTri.R, mTri.T, mTri.MW(), mTri.B);
    else
      g.FillTriangle(mTriangleColor, mTri.L, mTri.T, mTri.R, mTri.T, mTri.MW(), mTri.B, &BLEND_50);
  }
}

void ICaptionControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  if ((mod.L || mod.R) && GetParamIdx(0) >= 0 && !mDisablePrompt && mGraphics)
    mGraphics->PromptUserInput(this, mRECT, 0);
}

// ---------------------------------------------------------------------------------------------------------------
// PlaceHolder
// ---------------------------------------------------------------------------------------------------------------

PlaceHolder::PlaceHolder(const IRECT& bounds, const char* str)
    : ITextControl(bounds, str, IText(20.f, DEFAULT_TEXT.mFGColor, "Roboto-Regular"), COLOR_WHITE)
{
  mDisablePrompt = false;
  mDblAsSingleClick = false;
  mIgnoreMouse = false;
}

void PlaceHolder::OnResize()
{
  mTLHCStr.SetFormatted(32, "%0.1f, %0.1f", static_cast<double>(mRECT.L), static_cast<double>(mRECT.T));
  mWidthStr.SetFormatted(32, "%0.1f", static_cast<double>(mRECT.W()));
  mHeightStr.SetFormatted(32, "%0.1f", static_cast<double>(mRECT.H()));
}

void PlaceHolder::Draw(IGraphics& g)
{
  g.FillRect(COLOR_WHITE, mRECT);
  g.DrawLine(COLOR_RED, mRECT.L, mRECT.T, mRECT.R, mRECT.B, &BLEND_50, 2.f);
  g.DrawLine(COLOR_RED, mRECT.L, mRECT.B, mRECT.R, mRECT.T, &BLEND_50, 2.f);

  // A label centred on (x, y) over a white patch of its own size.
  auto label = [&g](const IText& text, const char* str, float x, float y, const IBlend& backing)
  {
    IRECT r(x, y, x, y);
    g.MeasureText(text, str, r);
    g.FillRect(COLOR_WHITE, r, &backing);
    g.DrawText(text, str, x, y);
  };
  label(mHeightText, mHeightStr.Get(), mRECT.L + 10.f, mRECT.MH(), BLEND_50);
  label(mWidthText, mWidthStr.Get(), mRECT.MW(), mRECT.T + 10.f, BLEND_75);
  label(mTLGCText, mTLHCStr.Get(), mRECT.L + 10.f, mRECT.T + 10.f, BLEND_50);

  if (mStr.GetLength())
  {
    IRECT r = mRECT;
    g.MeasureText(mText, mStr.Get(), r);
    g.FillRect(COLOR_WHITE, r, &BLEND_75);
    g.DrawText(mText, mStr.Get(), r, &mBlend);
    mCentreLabelBounds = r;
  }
}

void PlaceHolder::OnMouseDblClick(float, float, const IMouseMod&)
{
  if (mGraphics) mGraphics->CreateTextEntry(this, mText, mRECT, mStr.Get(), 0);
  SetDirty(false);
}

void PlaceHolder::OnTextEntryCompletion(const char* str, int)
{
  SetStr(str);
}

} // namespace plugin::igraphics

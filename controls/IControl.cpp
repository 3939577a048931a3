#include "controls/IControl.h"

#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------------------------

IControl::IControl(const IRECT& bounds, int paramIdx, IActionFunction actionFunc)
  : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  mVals.push_back({paramIdx, 0.0});
}

IControl::IControl(const IRECT& bounds, const std::vector<int>& params, IActionFunction actionFunc)
  : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  mVals.reserve(params.size());
  for (int p : params) mVals.push_back({p, 0.0});
}

IControl::IControl(const IRECT& bounds, IActionFunction actionFunc)
  : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  mVals.push_back({-1, 0.0});
}

// ---------------------------------------------------------------------------------------------------------------
// Event handlers
// ---------------------------------------------------------------------------------------------------------------

void IControl::OnMouseDown(float, float, const IMouseMod&) {}
void IControl::OnMouseUp(float, float, const IMouseMod&) {}
void IControl::OnMouseDrag(float, float, float, float, const IMouseMod&) {}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&) { SetValueToDefault(GetValIdxForPos(x, y)); }

void IControl::OnMouseWheel(float, float, const IMouseMod&, float) {}
bool IControl::OnKeyDown(float, float, const IKeyPress&) { return false; }
bool IControl::OnKeyUp(float, float, const IKeyPress&) { return false; }

void IControl::OnMouseOver(float, float, const IMouseMod&)
{
  const bool was = mMouseIsOver;
  mMouseIsOver = true;
  if (!was) SetDirty(false);
}

void IControl::OnMouseOut()
{
  const bool was = mMouseIsOver;
  mMouseIsOver = false;
  if (was) SetDirty(false);
}

void IControl::OnTouchCancelled(float, float, const IMouseMod&) {}
void IControl::OnDrop(const char*) {}
void IControl::OnMsgFromDelegate(int, int, const void*) {}
void IControl::OnMidi(const IMidiMsg&) {}
void IControl::OnTextEntryCompletion(const char*, int) {}
void IControl::OnContextSelection(int) {}

// ---------------------------------------------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------------------------------------------

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<size_t>(valIdx)].paramIdx = paramIdx;
}

int IControl::GetValIdxForPos(float, float) const { return NVals() == 1 ? 0 : -1; }

void IControl::SetValueFromDelegate(double value, int valIdx)
{
  // The user's drag wins over values echoed back from the plug-in.
  if (mGraphics && mGraphics->ControlIsCaptured(this)) return;
  if (valIdx < 0 || valIdx >= NVals()) return;
  if (GetValue(valIdx) != value)
  {
    SetValue(value, valIdx);
    SetDirty(false);
  }
}

void IControl::SetValueFromUserInput(double value, int valIdx)
{
  if (valIdx < 0 || valIdx >= NVals()) return;
  if (GetValue(valIdx) != value)
  {
    SetValue(value, valIdx);
    SetDirty(true, valIdx);
  }
}

void IControl::SetValueToDefault(int valIdx)
{
  ForSelectedSlots(valIdx, [this](int i) {
    if (const IParam* p = GetParam(i)) SetValue(p->GetDefault(true), i);
  });
  SetDirty(true, valIdx);
}

void IControl::SetValue(double value, int valIdx)
{
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<size_t>(valIdx)].value = value;
}

int IControl::GetParamIdx(int valIdx) const
{
  return (valIdx >= 0 && valIdx < NVals()) ? mVals[static_cast<size_t>(valIdx)].paramIdx : -1;
}

double IControl::GetValue(int valIdx) const
{
  return (valIdx >= 0 && valIdx < NVals()) ? mVals[static_cast<size_t>(valIdx)].value : 0.0;
}

const IParam* IControl::GetParam(int valIdx) const
{
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx < 0 || !mDelegate) return nullptr;
  return mDelegate->GetParam(paramIdx);
}

int IControl::LinkedToParam(int paramIdx) const
{
  for (int i = 0; i < NVals(); ++i)
    if (mVals[static_cast<size_t>(i)].paramIdx == paramIdx) return i;
  return -1;
}

// ---------------------------------------------------------------------------------------------------------------
// Geometry and state
// ---------------------------------------------------------------------------------------------------------------

void IControl::SetPosition(float x, float y)
{
  x = std::max(x, 0.f);
  y = std::max(y, 0.f);
  const float offX = mTargetRECT.L - mRECT.L;
  const float offY = mTargetRECT.T - mRECT.T;
  const float tw = mTargetRECT.W(), th = mTargetRECT.H();

  SetRECT(IRECT::MakeXYWH(x, y, mRECT.W(), mRECT.H()));
  OnResize();
  SetTargetRECT(IRECT::MakeXYWH(mRECT.L + offX, mRECT.T + offY, tw, th));
}

void IControl::SetSize(float w, float h)
{
  w = std::max(w, 0.f);
  h = std::max(h, 0.f);
  SetTargetAndDrawRECTs(IRECT::MakeXYWH(mRECT.L, mRECT.T, w, h));
  OnResize();
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  SetDirty(false);
}

void IControl::SetDisabled(bool disable)
{
  mBlend.weight = disable ? 0.25f : 1.f;
  mDisabled = disable;
  SetDirty(false);
}

bool IControl::IsHit(float x, float y) const { return mTargetRECT.Contains(x, y); }

void IControl::SetDirty(bool triggerAction, int valIdx)
{
  ForSelectedSlots(valIdx, [this](int i) { SetValue(std::clamp(GetValue(i), 0.0, 1.0), i); });
  mDirty = true;

  if (!triggerAction) return;

  ForSelectedSlots(valIdx, [this](int i) {
    const int paramIdx = GetParamIdx(i);
    if (paramIdx < 0) return;
    if (mDelegate) mDelegate->SendParameterValueFromUI(paramIdx, GetValue(i), true);
    if (mGraphics) mGraphics->UpdatePeers(this, i);
  });

  if (mActionFunc) mActionFunc(this);
}

bool IControl::IsDirty() const { return mAnimationFunc ? true : mDirty; }

void IControl::OnEndAnimation()
{
  mAnimationFunc = nullptr;
  SetDirty(false);
  if (mAnimationEndActionFunc) mAnimationEndActionFunc(this);
}

void IControl::Animate()
{
  if (mAnimationFunc) mAnimationFunc(this);
}

void IControl::SetPTParameterHighlight(bool highlighted, int colour)
{
  switch (colour)
  {
  case 0: mPTHighlightColor = COLOR_RED; break;
  case 1: mPTHighlightColor = COLOR_BLUE; break;
  case 2: mPTHighlightColor = COLOR_GREEN; break;
  case 3: mPTHighlightColor = COLOR_YELLOW; break;
  default: break;
  }
  mPTisHighlighted = highlighted;
  SetDirty(false);
}

} // namespace plugin::igraphics

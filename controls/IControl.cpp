#include "controls/IControl.h"

#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "graphics/IGraphics.h"
#include "graphics/IPopupMenu.h"

#include <algorithm>
#include <cmath>

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
  for (int p : params)
    mVals.push_back({p, 0.0});
}

IControl::IControl(const IRECT& bounds, IActionFunction actionFunc)
    : mRECT(bounds), mTargetRECT(bounds), mActionFunc(std::move(actionFunc))
{
  mVals.push_back({-1, 0.0});
}

// ---------------------------------------------------------------------------------------------------------------
// Event handlers
// ---------------------------------------------------------------------------------------------------------------

void IControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mod.R) PromptUserInput(GetValIdxForPos(x, y));
}
void IControl::OnMouseUp(float, float, const IMouseMod&) {}
void IControl::OnMouseDrag(float, float, float, float, const IMouseMod&) {}

void IControl::OnMouseDblClick(float x, float y, const IMouseMod&)
{
  SetValueToDefault(GetValIdxForPos(x, y));
}

void IControl::OnMouseWheel(float, float, const IMouseMod&, float) {}
bool IControl::OnKeyDown(float, float, const IKeyPress&)
{
  return false;
}
bool IControl::OnKeyUp(float, float, const IKeyPress&)
{
  return false;
}

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
void IControl::CreateContextMenu(IPopupMenu&) {}

bool IControl::OnGesture(const IGestureInfo& info)
{
  const auto it = mGestureFuncs.find(static_cast<int>(info.type));
  if (it == mGestureFuncs.end()) return false;
  mLastGesture = info.type;
  it->second(this, info);
  return true;
}

void IControl::OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx)
{
  if (!selectedMenu || valIdx < 0 || mDisablePrompt) return;
  const IParam* param = GetParam(valIdx);
  if (!param) return;
  // The item index is the parameter's real value (enumerations and on/off choices).
  double v = static_cast<double>(selectedMenu->GetChosenItemIdx());
  const double step = param->GetStep();
  if (param->GetStepped() && step > 0.0) v = std::round(v / step) * step;
  v = std::clamp(v, param->GetMin(), param->GetMax());
  SetValueFromUserInput(std::clamp(param->ToNormalized(v), 0.0, 1.0), valIdx);
}

void IControl::DrawPTHighlight(IGraphics& g)
{
  if (mPTisHighlighted) g.FillCircle(mPTHighlightColor, mTargetRECT.R - 5.f, mTargetRECT.T + 5.f, 2.f);
}
void IControl::OnContextSelection(int) {}

// ---------------------------------------------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------------------------------------------

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<size_t>(valIdx)].paramIdx = paramIdx;
}

int IControl::GetValIdxForPos(float, float) const
{
  return NVals() == 1 ? 0 : -1;
}

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
  ForSelectedSlots(valIdx,
                   [this](int i)
                   {
                     if (const IParam* p = GetParam(i)) SetValue(p->GetDefault(true), i);
                   });
  SetDirty(true, valIdx);
}

void IControl::SetValue(double value, int valIdx)
{
  if (valIdx < 0 || valIdx >= NVals()) return;
  mVals[static_cast<size_t>(valIdx)].value = value;
}

const IParam* IControl::GetParam(int valIdx) const
{
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx < 0 || !mDelegate) return nullptr;
  return mDelegate->GetParam(paramIdx);
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

bool IControl::IsHit(float x, float y) const
{
  return mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool triggerAction, int valIdx)
{
  ForSelectedSlots(valIdx, [this](int i) { SetValue(std::clamp(GetValue(i), 0.0, 1.0), i); });
  mDirty = true;

  if (!triggerAction) return;

  ForSelectedSlots(valIdx,
                   [this](int i)
                   {
                     const int paramIdx = GetParamIdx(i);
                     if (paramIdx < 0) return;
                     if (mDelegate) mDelegate->SendParameterValueFromUI(paramIdx, GetValue(i), true);
                     if (mGraphics) mGraphics->UpdatePeers(this, i);
                   });

  if (mActionFunc) mActionFunc(this);
}

bool IControl::IsDirty() const
{
  return mAnimationFunc ? true : mDirty;
}

void IControl::SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds, int valIdx, double minClip,
                           double maxClip)
{
  x = std::clamp(x, bounds.L, bounds.R);
  y = std::clamp(y, bounds.T, bounds.B);
  const float extent = direction == kVertical ? bounds.H() : bounds.W();
  // A flat control has no position to take a value from.
  if (!(extent > 0.f)) return;

  double v = direction == kVertical ? 1.0 - static_cast<double>(y - bounds.T) / extent
                                    : static_cast<double>(x - bounds.L) / extent;
  v = std::round(v / 0.001) * 0.001;
  v = std::min(maxClip, std::max(minClip, v));

  if (valIdx >= 0)
    SetValue(v, valIdx);
  else
    for (int i = 0; i < NVals(); ++i)
      SetValue(v, i);
  SetDirty(true, valIdx);
}

// ---------------------------------------------------------------------------------------------------------------
// Prompts, animation, gestures
// ---------------------------------------------------------------------------------------------------------------

void IControl::PromptUserInput(int valIdx)
{
  if (valIdx < 0 || GetParamIdx(valIdx) < 0 || mDisablePrompt || !mGraphics) return;
  const IParam* param = GetParam(valIdx);
  if (!param) return;
  const IRECT bounds = param->NDisplayTexts() > 0
                           ? mRECT
                           : IRECT(mRECT.MW() - 20.f, mRECT.MH() - 8.f, mRECT.MW() + 20.f, mRECT.MH() + 8.f);
  mGraphics->PromptUserInput(this, bounds, valIdx);
  SetDirty(false);
}

void IControl::PromptUserInput(const IRECT& bounds, int valIdx)
{
  if (valIdx < 0 || GetParamIdx(valIdx) < 0 || mDisablePrompt || !mGraphics) return;
  mGraphics->PromptUserInput(this, bounds, valIdx);
}

void IControl::ShowValueBubble(EDirection direction, float x, float y)
{
  // An unlinked slot has no value text to show.
  const IParam* param = GetParam(0);
  if (!param || !mGraphics) return;
  Util_String str;
  GetParamDisplayWithLabel(*param, str, true);
  mGraphics->ShowBubbleControl(this, x, y, str.Get(), direction, IRECT(0.f, 0.f, 50.f, 30.f));
}

void IControl::ShowBubbleHorizontal()
{
  ShowValueBubble(kHorizontal, mRECT.R, mRECT.MH());
}

void IControl::ShowBubbleVertical()
{
  ShowValueBubble(kVertical, mRECT.MW(), mRECT.T);
}

void IControl::GetParamDisplayWithLabel(const IParam& param, Util_String& str, bool withDisplayText)
{
  param.GetDisplay(str, withDisplayText);
  const char* label = param.GetLabel();
  if (label[0])
  {
    str.Append(" ");
    str.Append(label);
  }
}

void IControl::StartAnimation(double durationMs, bool forward)
{
  mAnimationStartMs = IGraphics::Now() * 1000.0;
  mAnimationDurationMs = durationMs;
  mAnimationForward = forward;
}

double IControl::GetAnimationProgress() const
{
  if (!mAnimationFunc) return 0.0;
  // A zero duration is over at once.
  if (!(mAnimationDurationMs > 0.0)) return mAnimationForward ? 2.0 : -1.0;
  const double p = (IGraphics::Now() * 1000.0 - mAnimationStartMs) / mAnimationDurationMs;
  return mAnimationForward ? p : 1.0 - p;
}

IControl* IControl::AttachGestureRecognizer(EGestureType type, IGestureFunc handler)
{
  mGestureFuncs.emplace(static_cast<int>(type), std::move(handler));
  if (mGraphics) mGraphics->AttachGestureRecognizer(type);
  return this;
}

void DefaultAnimationFunc(IControl* caller)
{
  if (caller->GetAnimationFunction() && caller->GetAnimationProgress() > 1.0) caller->OnEndAnimation();
}

void DefaultClickActionFunc(IControl* caller)
{
  caller->SetAnimation(DefaultAnimationFunc);
  caller->StartAnimation(100.0, true);
}

void IControl::OnEndAnimation()
{
  mAnimationFunc = nullptr;
  SetDirty(false);
  if (mAnimationEndActionFunc) mAnimationEndActionFunc(this);
}

} // namespace plugin::igraphics

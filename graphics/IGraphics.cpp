#include "graphics/IGraphics.h"

#include "controls/IControl.h"
#include "controls/IPopupMenuControl.h"
#include "controls/ISpecialControls.h"
#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "graphics/ISVG.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------------------------------------------

IGraphics::IGraphics(IGEditorDelegate& dlg, int w, int h, int fps, float scale)
    : mWidth(w), mHeight(h), mFPS(fps > 0 ? fps : 60), mDelegateLifetime(&dlg.GetLifetime()), mDelegate(&dlg)
{
  // A scale that is not a positive finite number would poison every size derived from it.
  if (!std::isfinite(scale) || scale <= 0.f) scale = 1.f;
  mDrawScale = scale;
  mMinScale = scale / 2.f;
  mMaxScale = scale * 2.f;
  mCtrlTags.max_load_factor(1.f);
  mCapturedMap.max_load_factor(1.f);
  dlg.SetRememberedEditorSize(w, h, scale);
  // Every editor of the process shares the decoded resources; the last one to close empties the caches. Both
  // locks are held, always bitmaps first, so the two counts move together.
  auto bitmapLock = BitmapCache().Lock();
  auto svgLock = SVGCache().Lock();
  BitmapCache().Retain();
  SVGCache().Retain();
}

IGraphics::~IGraphics()
{
  // The platform part of this object is gone already, so no platform call may run from here: the platform
  // restores a hidden cursor when its view goes away. Nor may the delegate hear of open gestures: it may be in its
  // own destructor; the platform ends them when it closes the window (ReleaseMouseCapture).
  mCursorHidden = false;
  mOpenGestures.clear();
  RemoveAllControls();
  auto bitmapLock = BitmapCache().Lock();
  auto svgLock = SVGCache().Lock();
  BitmapCache().Release();
  SVGCache().Release();
}

// ---------------------------------------------------------------------------------------------------------------
// Slots a back end or platform fills in
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::DrawFastDropShadow(const IRECT&, const IRECT&, float, float, float, const IBlend*) {}
bool IGraphics::RevealPathInExplorerOrFinder(Util_String&, bool)
{
  return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Platform and renderer defaults
// ---------------------------------------------------------------------------------------------------------------

ECursor IGraphics::SetMouseCursor(ECursor cursor)
{
  const ECursor previous = mCursorType;
  mCursorType = cursor;
  return previous;
}

void IGraphics::OnViewInitialized(void*) {}

// ---------------------------------------------------------------------------------------------------------------
// Size and scale
// ---------------------------------------------------------------------------------------------------------------

int IGraphics::WindowWidth() const
{
  return static_cast<int>(static_cast<float>(static_cast<int>(static_cast<float>(mWidth) * mDrawScale)) *
                          GetPlatformWindowScale());
}

int IGraphics::WindowHeight() const
{
  return static_cast<int>(static_cast<float>(static_cast<int>(static_cast<float>(mHeight) * mDrawScale)) *
                          GetPlatformWindowScale());
}

void IGraphics::SetScaleConstraints(float lo, float hi)
{
  mMinScale = std::min(lo, hi);
  mMaxScale = std::max(lo, hi);
}

void IGraphics::SetScreenScale(float scale)
{
  CallScope scope(*this);
  if (!std::isfinite(scale) || scale <= 0.f) return;
  mScreenScale = scale;
  const bool ok = mDelegate->EditorResizeFromUI(WindowWidth(), WindowHeight(), true);
  if (IsWindingDown()) return; // the host closed the editor in its answer
  PlatformResize(ok);
  if (IsWindingDown()) return; // the host closed the editor as it heard of the new frame
  ForAllControls(&IControl::OnRescale);
  if (IsWindingDown()) return; // a control closed the editor: nothing is left to draw
  SetAllControlsDirty();
  DrawResize();
}

namespace
{

// A plug-in that sets no size limits leaves them at 0: no upper limit then, or every resize (and every reopening
// at the remembered size) would collapse the editor to nothing.
int UpperLimit(int lo, int hi)
{
  return hi > 0 ? std::max(lo, hi) : INT_MAX;
}

int ClampToLimits(int v, int lo, int hi)
{
  return std::clamp(v, lo, UpperLimit(lo, hi));
}

} // namespace

void IGraphics::Resize(int w, int h, float scale, bool needsPlatformResize)
{
  CallScope scope(*this);
  if (!std::isfinite(scale)) return;
  w = ClampToLimits(w, mDelegate->GetMinWidth(), mDelegate->GetMaxWidth());
  h = ClampToLimits(h, mDelegate->GetMinHeight(), mDelegate->GetMaxHeight());
  scale = std::min(mMaxScale, std::max(mMinScale, scale));
  ApplyResize(w, h, scale, needsPlatformResize);
}

void IGraphics::Resize(int w, int h, bool needsPlatformResize, bool clampSizeFirst, float scale)
{
  CallScope scope(*this);
  if (!std::isfinite(scale)) return;
  const int minW = mDelegate->GetMinWidth(), maxW = UpperLimit(minW, mDelegate->GetMaxWidth());
  const int minH = mDelegate->GetMinHeight(), maxH = UpperLimit(minH, mDelegate->GetMaxHeight());
  if (clampSizeFirst)
  {
    w = std::clamp(w, minW, maxW);
    h = std::clamp(h, minH, maxH);
    scale = std::min(mMaxScale, std::max(mMinScale, scale));
  }
  else
  {
    scale = std::min(mMaxScale, std::max(mMinScale, scale));
    if (scale <= 0.f) return; // limits of 0 would divide by zero below
    // The limits are window sizes: apply them to the scaled size, then go back to graphics units.
    const double s = scale;
    const double sw =
        std::clamp(std::trunc(static_cast<double>(w) * s), static_cast<double>(minW), static_cast<double>(maxW));
    const double sh =
        std::clamp(std::trunc(static_cast<double>(h) * s), static_cast<double>(minH), static_cast<double>(maxH));
    w = static_cast<int>(sw / s);
    h = static_cast<int>(sh / s);
  }
  ApplyResize(w, h, scale, needsPlatformResize);
}

void IGraphics::ApplyResize(int w, int h, float scale, bool needsPlatformResize)
{
  if (w == mWidth && h == mHeight && scale == mDrawScale) return;

  ReleaseMouseCapture();
  mDrawScale = scale;
  mWidth = w;
  mHeight = h;
  if (mCornerResizer) mCornerResizer->OnRescale();

  const bool ok = mDelegate->EditorResizeFromUI(WindowWidth(), WindowHeight(), needsPlatformResize);
  if (IsWindingDown()) return; // the host closed the editor: in its answer, or as the gestures ended above
  PlatformResize(ok);
  if (IsWindingDown()) return; // the host closed the editor as it heard of the new frame
  ForAllControls(&IControl::OnResize);
  if (IsWindingDown()) return;
  SetAllControlsDirty();
  DrawResize();

  if (mLayoutOnResize) mDelegate->LayoutUI(this);
}

void IGraphics::SetStrictDrawing(bool strict)
{
  mStrictDrawing = strict;
  SetAllControlsDirty();
}

// ---------------------------------------------------------------------------------------------------------------
// Attaching, finding and removing controls
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::GiveContext(IControl* control)
{
  control->SetDelegate(mDelegate);
  // Controls draw and reach the host only through a context that can draw.
  control->SetGraphics(mDelegate->GetGraphicsReady() ? this : nullptr);
}

IControl* IGraphics::AttachControl(IControl* control, int ctrlTag, const char* group)
{
  if (!control) return nullptr;
  if (ctrlTag >= 0)
  {
    if (!mCtrlTags.emplace(ctrlTag, control).second) return nullptr;
  }

  GiveContext(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  control->SetGroup(group ? group : "");

  if (!mControls.Add(control))
  {
    // The list could not grow: hand the control back untouched by the tag map.
    if (ctrlTag >= 0) mCtrlTags.erase(ctrlTag);
    return nullptr;
  }

  control->OnAttached();
  return control;
}

void IGraphics::AttachCornerResizer(IControl* control, EUIResizerMode mode, bool layoutOnResize)
{
  if (!control) return;
  if (mCornerResizer)
  {
    delete control;
    return;
  }
  mCornerResizer = control;
  mResizerMode = mode;
  mLayoutOnResize = layoutOnResize;
  GiveContext(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
}

int IGraphics::GetParamIdxForControl(int idx) const
{
  const IControl* c = GetControl(idx);
  return c ? c->GetParamIdx(0) : -1;
}

void IGraphics::ForgetControl(IControl* control)
{
  // A capture of the control goes, and with it the host gesture it began: the mouse-up that would end it will
  // never reach a deleted control.
  if (ControlIsCaptured(control)) ReleaseMouseCapture();
  EndGesturesOf(control);
  if (mMouseOver == control)
  {
    mMouseOver = nullptr;
    mMouseOverIdx = -1;
  }
  if (mInTextEntry == control) mInTextEntry = nullptr;
  // The menu on show may belong to the control: it is dropped unused, and no completion reaches anyone.
  if (mInPopupMenu == control && mPopupControl)
    static_cast<IPopupMenuControl*>(mPopupControl)->ForgetMenu();
  if (mInPopupMenu == control) mInPopupMenu = nullptr;
  // A bubble showing for this control would keep animating for, and pointing at, a deleted control.
  for (int i = 0; i < mBubbleControls.GetSize(); ++i)
    static_cast<IBubbleControl*>(mBubbleControls.Get(i))->ForgetCaller(control);

  for (auto it = mCtrlTags.begin(); it != mCtrlTags.end(); ++it)
  {
    if (it->second == control)
    {
      mCtrlTags.erase(it);
      break;
    }
  }
}

void IGraphics::TakeOutAt(int idx)
{
  IControl* control = mControls.Get(idx);
  if (!control) return;
  ForgetControl(control);

  // The later controls move down by one: keep the mouse-over index on its control.
  if (mMouseOverIdx == idx)
    mMouseOverIdx = -1;
  else if (mMouseOverIdx > idx)
    --mMouseOverIdx;
  if (mTooltipIdx == idx)
    mTooltipIdx = -1;
  else if (mTooltipIdx > idx)
    --mTooltipIdx;

  mControls.Delete(idx, true);
}

void IGraphics::RemoveControl(IControl* control)
{
  if (!control) return;
  if (control == mCornerResizer)
  {
    ForgetControl(control);
    mCornerResizer = nullptr;
    if (mResizingInProcess) mResizingInProcess = false;
    delete control;
    SetAllControlsDirty();
    return;
  }
  const int idx = mControls.Find(control);
  if (idx < 0) return;
  TakeOutAt(idx);
  SetAllControlsDirty();
}

void IGraphics::RemoveControl(int idx)
{
  if (!mControls.Get(idx)) return;
  TakeOutAt(idx);
  SetAllControlsDirty();
}

void IGraphics::RemoveControls(int fromIdx)
{
  if (fromIdx < 0) fromIdx = 0;
  if (NControls() <= fromIdx) return;
  for (int i = NControls() - 1; i >= fromIdx; --i)
    TakeOutAt(i);
  SetAllControlsDirty();
}

void IGraphics::RemoveControlWithTag(int ctrlTag)
{
  // Taking the control out without deleting it would leave it owned by nobody.
  if (IControl* control = GetControlWithTag(ctrlTag)) RemoveControl(control);
}

void IGraphics::RemoveAllControls()
{
  ReleaseMouseCapture();
  EndGestures(UINT64_MAX);
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
  mTooltipIdx = -1;
  mInTextEntry = nullptr;
  mInPopupMenu = nullptr;
  mResizingInProcess = false;
  IControl* popup = mPopupControl;
  mPopupControl = nullptr;
  mPopupMenuOpener = nullptr;
  delete popup;
  // Closing the editor takes the text field, and with it its cursor blink, along.
  IControl* textEntry = mTextEntryControl;
  mTextEntryControl = nullptr;
  mOpenTextEntry = nullptr;
  mTextEntryEditing = nullptr;
  delete textEntry;
  IControl* resizer = mCornerResizer;
  mCornerResizer = nullptr;
  delete resizer;
  IControl* fps = mFPSDisplay;
  mFPSDisplay = nullptr;
  delete fps;
  for (int i = mBubbleControls.GetSize() - 1; i >= 0; --i)
    mBubbleControls.Delete(i, true);
  mCtrlTags.clear();
  mControls.Empty(true);
}

void IGraphics::RemoveTextEntryControl()
{
  IControl* entry = mTextEntryControl;
  if (!entry) return;
  // An edit on show goes with the field: left in text entry, the edited control would keep every drag away from
  // the other controls, waiting for a field that no longer exists.
  const bool wasOpen = TextEntryIsOpen();
  if (wasOpen) ClearInTextEntry();
  ForgetControl(entry);
  mTextEntryControl = nullptr;
  mOpenTextEntry = nullptr;
  mTextEntryEditing = nullptr;
  delete entry;
  // What the open field covered is drawn again.
  if (wasOpen) SetAllControlsDirty();
}

void IGraphics::SetControlPosition(int idx, float x, float y)
{
  IControl* c = GetControl(idx);
  if (!c) return;
  c->SetPosition(x, y);
  if (!c->IsHidden()) SetAllControlsDirty();
}

void IGraphics::SetControlSize(int idx, float w, float h)
{
  IControl* c = GetControl(idx);
  if (!c) return;
  c->SetSize(w, h);
  if (!c->IsHidden()) SetAllControlsDirty();
}

void IGraphics::SetControlBounds(int idx, const IRECT& bounds)
{
  IControl* c = GetControl(idx);
  if (!c) return;
  c->SetTargetAndDrawRECTs(bounds);
  c->OnResize();
  if (!c->IsHidden()) SetAllControlsDirty();
}

// ---------------------------------------------------------------------------------------------------------------
// Iteration
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::ForAllControlsFunc(const IControlFunction& func)
{
  ForStandardControlsFunc(func);
  // The special controls lie on top of the list.
  if (mFPSDisplay) func(mFPSDisplay);
  if (mCornerResizer) func(mCornerResizer);
  if (mTextEntryControl) func(mTextEntryControl);
  if (mPopupControl) func(mPopupControl);
  // Bubbles last: the value they show belongs on top of the menu or text field it may come from.
  for (int i = 0; i < mBubbleControls.GetSize(); ++i)
    if (IControl* c = mBubbleControls.Get(i)) func(c);
}

void IGraphics::ForStandardControlsFunc(const IControlFunction& func)
{
  for (int i = 0; i < mControls.GetSize(); ++i)
    if (IControl* c = mControls.Get(i)) func(c);
}

void IGraphics::ForControlWithParam(int paramIdx, const IControlFunction& func)
{
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* c = mControls.Get(i);
    if (c && c->LinkedToParam(paramIdx) >= 0) func(c);
  }
}

void IGraphics::ForControlInGroup(const char* group, const IControlFunction& func)
{
  if (!group) return;
  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* c = mControls.Get(i);
    if (!c) continue;
    const char* g = c->GetGroup();
    if (g[0] && std::strcmp(g, group) == 0) func(c);
  }
}

void IGraphics::SetAllControlsDirty()
{
  ForAllControlsFunc([](IControl* c) { c->SetDirty(false, -1); });
}

void IGraphics::SetAllControlsClean()
{
  ForAllControlsFunc([](IControl* c) { c->SetClean(); });
}

void IGraphics::OnGUIIdle()
{
  CallScope scope(*this);
  ForAllControlsFunc([](IControl* c) { c->OnGUIIdle(); });
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
  ForControlWithParam(paramIdx, [hide](IControl* c) { c->Hide(hide); });
}

void IGraphics::DisableControl(int paramIdx, bool disable)
{
  ForControlWithParam(paramIdx, [disable](IControl* c) { c->SetDisabled(disable); });
}

void IGraphics::SetControlsDirtyForParam(int paramIdx, bool triggerAction, int valIdx)
{
  ForControlWithParam(paramIdx, [=](IControl* c) { c->SetDirty(triggerAction, valIdx); });
}

void IGraphics::SetPTParameterHighlight(int paramIdx, bool highlighted, int colour)
{
  ForControlWithParam(paramIdx, [=](IControl* c) { c->SetPTParameterHighlight(highlighted, colour); });
}

void IGraphics::AssignParamNameToolTips()
{
  ForStandardControlsFunc(
      [this](IControl* c)
      {
        const int paramIdx = c->GetParamIdx(0);
        if (paramIdx < 0) return;
        if (const IParam* p = mDelegate->GetParam(paramIdx)) c->SetTooltip(p->GetName());
      });
}

void IGraphics::AssignParamNameToolTipsAuto()
{
  ForStandardControlsFunc(
      [this](IControl* c)
      {
        const int paramIdx = c->GetParamIdx(0);
        if (paramIdx < 0 || c->GetTooltip()[0]) return;
        if (const IParam* p = mDelegate->GetParam(paramIdx)) c->SetTooltip(p->GetName());
      });
}

void IGraphics::UpdatePeers(IControl* caller, int valIdx)
{
  if (!caller) return;
  const int paramIdx = caller->GetParamIdx(valIdx);
  if (paramIdx < 0) return;
  const double value = caller->GetValue(valIdx);

  for (int i = 0; i < mControls.GetSize(); ++i)
  {
    IControl* c = mControls.Get(i);
    if (!c || c == caller) continue;
    for (int v = 0; v < c->NVals(); ++v)
      if (c->GetParamIdx(v) == paramIdx) c->SetValueFromDelegate(value, v);
  }
}

} // namespace plugin::igraphics

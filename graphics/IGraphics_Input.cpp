#include "graphics/IGraphics.h"

#include "controls/IControl.h"
#include "controls/IPopupMenuControl.h"
#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Capture and host gestures
// ---------------------------------------------------------------------------------------------------------------

IParam* IGraphics::GetParamOf(const IControl* control, int valIdx) const
{
  if (!control) return nullptr;
  const int paramIdx = control->GetParamIdx(valIdx);
  return paramIdx >= 0 ? mDelegate->GetParam(paramIdx) : nullptr;
}

void IGraphics::BeginParamGestures(IControl* control, std::vector<int>& params)
{
  for (int v = 0; v < control->NVals(); ++v)
  {
    const int paramIdx = control->GetParamIdx(v);
    if (paramIdx < 0) continue;
    mDelegate->BeginInformHostOfParamChangeFromUI(paramIdx);
    params.push_back(paramIdx);
  }
}

void IGraphics::EndParamGestures(const std::vector<int>& params)
{
  for (int paramIdx : params)
    mDelegate->EndInformHostOfParamChangeFromUI(paramIdx);
}

void IGraphics::EndGestures(uint64_t touchID)
{
  // Taken out before the host hears of them: the host's answer may come back into this context.
  std::vector<OpenGesture> ending;
  for (auto it = mOpenGestures.begin(); it != mOpenGestures.end();)
  {
    if (touchID == UINT64_MAX || it->touchID == touchID)
    {
      ending.push_back(std::move(*it));
      it = mOpenGestures.erase(it);
    }
    else
      ++it;
  }
  for (const OpenGesture& g : ending)
    EndParamGestures(g.params);
}

void IGraphics::EndGesturesOf(const IControl* control)
{
  for (const OpenGesture& g : mOpenGestures)
    if (g.control == control)
    {
      EndGestures(g.touchID);
      return;
    }
}

void IGraphics::ReleaseMouseCapture()
{
  mCapturedMap.clear();
  // Every capture that began a host gesture ends it here; its mouse-up will find nothing captured.
  EndGestures(UINT64_MAX);
  if (mCursorHidden) HideMouseCursor(false, true);
}

bool IGraphics::ControlIsCaptured(const IControl* control) const
{
  for (const auto& entry : mCapturedMap)
    if (entry.second == control) return true;
  return false;
}

void IGraphics::GetTouches(const IControl* control, std::vector<uint64_t>& touchIDs) const
{
  for (const auto& entry : mCapturedMap)
    if (entry.second == control) touchIDs.push_back(entry.first);
}

// ---------------------------------------------------------------------------------------------------------------
// Hit testing
// ---------------------------------------------------------------------------------------------------------------

int IGraphics::GetMouseControlIdx(float x, float y, bool mouseOver) const
{
  if (mouseOver && !mEnableMouseOver) return -1;

  // The background (index 0) is never a mouse-over target.
  const int lowest = mouseOver ? 1 : 0;
  for (int i = mControls.GetSize() - 1; i >= lowest; --i)
  {
    const IControl* c = mControls.Get(i);
    if (!c || c->IsHidden() || c->GetIgnoreMouse()) continue;
    if (c->IsDisabled() && !(mouseOver ? c->GetMouseOverWhenDisabled() : c->GetMouseEventsWhenDisabled())) continue;
    if (c->IsHit(x, y)) return i;
  }
  return -1;
}

IControl* IGraphics::GetMouseControl(float x, float y, bool capture, bool mouseOver, uint64_t touchID)
{
  const auto captured = mCapturedMap.find(touchID);
  if (captured != mCapturedMap.end()) return captured->second;

  IControl* control = nullptr;
  int idx = -1;
  if (mPopupControl && static_cast<IPopupMenuControl*>(mPopupControl)->GetExpanded())
    control = mPopupControl;
  else if (TextEntryIsOpen())
    control = mTextEntryControl;
  else if (mCornerResizer && mCornerResizer->GetRECT().Contains(x, y))
    control = mCornerResizer;
  else if (mFPSDisplay && mFPSDisplay->GetRECT().Contains(x, y))
    control = mFPSDisplay;
  else
  {
    idx = GetMouseControlIdx(x, y, mouseOver);
    control = mControls.Get(idx);
  }

  if (control && capture)
  {
    if (mEnableMultiTouch && ControlIsCaptured(control) && !control->GetWantsMultiTouch()) return nullptr;
    mCapturedMap.emplace(touchID, control);
  }

  if (mouseOver) mMouseOverIdx = idx;
  return control;
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::OnMouseDown(const std::vector<IMouseInfo>& points)
{
  CallScope scope(*this);
  if (points.size() == 1)
  {
    mMouseDownX = points[0].x;
    mMouseDownY = points[0].y;
  }

  for (const IMouseInfo& pt : points)
  {
    IControl* control = GetMouseControl(pt.x, pt.y, true, false, pt.ms.touchID);
    if (!control) continue;

    const int valIdx = std::max(control->GetValIdxForPos(pt.x, pt.y), 0);
    const int paramIdx = control->GetParamIdx(valIdx);

    if (paramIdx >= 0 && pt.ms.R)
    {
      ReleaseMouseCapture();
      ShowContextMenu(control, pt.x, pt.y);
      return;
    }

    // A second mouse-down of the same touch without a mouse-up closes the first gesture before opening one.
    EndGestures(pt.ms.touchID);
    OpenGesture gesture{pt.ms.touchID, control, {}};
    BeginParamGestures(control, gesture.params);
    if (!gesture.params.empty()) mOpenGestures.push_back(std::move(gesture));
    mDelegate->OnMouseDownHook();
    control->OnMouseDown(pt.x, pt.y, pt.ms);
    // Closed by the handler: no further touch may begin a host gesture that nothing would end.
    if (IsWindingDown()) return;
  }
}

void IGraphics::OnMouseUp(const std::vector<IMouseInfo>& points)
{
  CallScope scope(*this);
  for (const IMouseInfo& pt : points)
  {
    const auto it = mCapturedMap.find(pt.ms.touchID);
    if (it == mCapturedMap.end()) continue;
    // The handler may remove the control or release every capture: nothing of it is used afterwards.
    it->second->OnMouseUp(pt.x, pt.y, pt.ms);
    mDelegate->OnMouseUpHook();
    EndGestures(pt.ms.touchID);
    mCapturedMap.erase(pt.ms.touchID);
    // Closed by the handler: the editor that is going has no mouse-over to update.
    if (IsWindingDown()) return;
  }

  if (mResizingInProcess) EndDragResize();

  if (points.size() == 1 && points[0].ms.touchID == 0)
    UpdateMouseOver(GetMouseControl(points[0].x, points[0].y, false, true, 0), points[0].x, points[0].y, points[0].ms);
}

void IGraphics::OnMouseDrag(const std::vector<IMouseInfo>& points)
{
  CallScope scope(*this);
  if (mResizingInProcess && points.size() == 1)
  {
    OnDragResize(points[0].x, points[0].y);
    return;
  }
  if (mCapturedMap.empty()) return;
  // While a control is in text entry only the in-editor text field takes drags; a native field takes none.
  const bool onlyTextEntry = mInTextEntry != nullptr;
  if (onlyTextEntry && !mTextEntryControl) return;

  for (const IMouseInfo& pt : points)
  {
    const auto it = mCapturedMap.find(pt.ms.touchID);
    if (it == mCapturedMap.end()) continue;
    if (onlyTextEntry && it->second != mTextEntryControl) continue;
    if (pt.dX != 0.f || pt.dY != 0.f) it->second->OnMouseDrag(pt.x, pt.y, pt.dX, pt.dY, pt.ms);
  }
}

bool IGraphics::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  CallScope scope(*this);
  IControl* control = GetMouseControl(x, y, true, false, 0);
  if (!control) return false;

  if (control->GetMouseDblAsSingleClick())
    OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
  else
  {
    control->OnMouseDblClick(x, y, mod);
    ReleaseMouseCapture();
  }
  return true;
}

void IGraphics::UpdateMouseOver(IControl* control, float x, float y, const IMouseMod& mod)
{
  if (control != mMouseOver)
  {
    if (mMouseOver) mMouseOver->OnMouseOut();
    mMouseOver = control;
  }
  // The control left may have closed the editor.
  if (control && !IsWindingDown()) control->OnMouseOver(x, y, mod);
}

bool IGraphics::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  CallScope scope(*this);
  IControl* control = GetMouseControl(x, y, false, true, 0);
  // Only a listed control has a tooltip to show; a special control in front (an open menu) shows none.
  mTooltipIdx = mMouseOverIdx;
  UpdateMouseOver(control, x, y, mod);
  return control != nullptr;
}

void IGraphics::OnMouseOut()
{
  CallScope scope(*this);
  // The system shows the arrow outside the view; the type the controls asked for is kept for when the mouse
  // comes back.
  mCursorType = SetMouseCursor(kCursorArrow);
  ForAllControls(&IControl::OnMouseOut);
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
  mTooltipIdx = -1;
}

void IGraphics::OnMouseWheel(float x, float y, const IMouseMod& mod, float delta)
{
  CallScope scope(*this);
  if (IControl* control = GetMouseControl(x, y, false)) control->OnMouseWheel(x, y, mod, delta);
}

void IGraphics::OnDrop(const char* path, float x, float y)
{
  CallScope scope(*this);
  if (IControl* control = GetMouseControl(x, y, false)) control->OnDrop(path ? path : "");
}

void IGraphics::OnTouchCancelled(const std::vector<IMouseInfo>& points)
{
  CallScope scope(*this);
  for (const IMouseInfo& pt : points)
  {
    const auto it = mCapturedMap.find(pt.ms.touchID);
    if (it == mCapturedMap.end()) continue;
    it->second->OnTouchCancelled(pt.x, pt.y, pt.ms);
    EndGestures(pt.ms.touchID);
    mCapturedMap.erase(pt.ms.touchID);
  }
}

void IGraphics::OnFocusLost()
{
  CallScope scope(*this);
  mMouseOver = nullptr;
  mMouseOverIdx = -1;
  // The host hears the open gestures end here, and may close the editor in its answer.
  ReleaseMouseCapture();
  if (IsWindingDown()) return;
  if (TextEntryIsOpen())
  {
    mTextEntryControl->Hide(true);
    // Hidden, the entry must not go on editing: it would take the next click anywhere as a commit of what was
    // typed. It is put away unconfirmed, as Escape puts it away.
    mTextEntryControl->OnKeyDown(0.f, 0.f, IKeyPress(nullptr, 27));
    ClearInTextEntry();
  }
  // An open menu hidden but still expanded would take the next click anywhere as a choice: dismiss it.
  if (mPopupControl && static_cast<IPopupMenuControl*>(mPopupControl)->GetExpanded())
  {
    mPopupControl->Hide(true);
    static_cast<IPopupMenuControl*>(mPopupControl)->DismissMenu();
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Live resize by the corner resizer
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::OnDragResize(float x, float y)
{
  CallScope scope(*this);
  if (!std::isfinite(x) || !std::isfinite(y)) return;

  int w = mWidth, h = mHeight;
  float scale = mDrawScale;
  if (mResizerMode == EUIResizerMode::Size)
  {
    // Far outside any sensible size: leave it to the delegate's limits, but stay within int.
    w = static_cast<int>(std::clamp(x, -1e9f, 1e9f));
    h = static_cast<int>(std::clamp(y, -1e9f, 1e9f));
  }
  else if (mResizerMode == EUIResizerMode::Scale)
  {
    // The ratio to the mouse-down position: an axis pressed at or before the origin gives no ratio.
    const float sx = mMouseDownX > 0.f ? x * mDrawScale / mMouseDownX : INFINITY;
    const float sy = mMouseDownY > 0.f ? y * mDrawScale / mMouseDownY : INFINITY;
    scale = std::min(sx, sy);
    if (!std::isfinite(scale)) return;
  }
  else
    return;

  Resize(w, h, scale, true);
}

void IGraphics::EndDragResize()
{
  mResizingInProcess = false;
  if (mResizerMode == EUIResizerMode::Scale) ForAllControls(&IControl::OnRescale);
  SetAllControlsDirty();
}

// ---------------------------------------------------------------------------------------------------------------
// Keys, tooltips, appearance
// ---------------------------------------------------------------------------------------------------------------

bool IGraphics::OnKeyDown(float x, float y, const IKeyPress& key)
{
  CallScope scope(*this);
  IControl* control = GetMouseControl(x, y, false);
  if (control && control != GetControl(0) && control->OnKeyDown(x, y, key)) return true;
  // A control that closed the editor has had the key: the handler belongs to the editor that is going.
  if (IsWindingDown()) return false;
  return mKeyHandlerFunc ? mKeyHandlerFunc(key, false) : false;
}

bool IGraphics::OnKeyUp(float x, float y, const IKeyPress& key)
{
  CallScope scope(*this);
  IControl* control = GetMouseControl(x, y, false);
  if (control && control != GetControl(0) && control->OnKeyUp(x, y, key)) return true;
  // A control that closed the editor has had the key: the handler belongs to the editor that is going.
  if (IsWindingDown()) return false;
  return mKeyHandlerFunc ? mKeyHandlerFunc(key, true) : false;
}

void IGraphics::EnableTooltips(bool enable)
{
  if (enable == mEnableTooltips) return;
  mEnableTooltips = enable;
  UpdateTooltips();
}

void IGraphics::OnAppearanceChanged(int appearance)
{
  CallScope scope(*this);
  if (mAppearanceChangedFunc) mAppearanceChangedFunc(appearance);
}

void IGraphics::SetLastClickedParam(float x, float y)
{
  const IControl* c = GetControl(GetMouseControlIdx(x, y, false));
  mLastClickedParam = c ? c->GetParamIdx(0) : -1;
}

int IGraphics::GetAndResetLastClickedParam()
{
  const int p = mLastClickedParam;
  mLastClickedParam = -1;
  return p;
}

// ---------------------------------------------------------------------------------------------------------------
// Prompts and text entry
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::PromptUserInput(IControl* control, const IRECT& bounds, int valIdx)
{
  if (IsWindingDown()) return;
  const IParam* param = GetParamOf(control, valIdx);
  if (!param) return;

  const bool choices =
      param->Type() == IParam::kTypeEnum || (param->Type() == IParam::kTypeBool && param->NDisplayTexts() > 0);
  if (choices)
  {
    // The shown menu may be this same prompt menu: refilling it would change or free the items under it.
    if (PopupMenuIsBusy()) return;
    mPromptPopupMenu.Reset();
    Util_String display;
    param->GetDisplay(display, true);
    for (int i = 0; i < param->NDisplayTexts(); ++i)
    {
      const char* text = param->GetDisplayTextAtIdx(i);
      mPromptPopupMenu.AddItem(text, IPopupMenu::kAppend,
                               std::strcmp(text, display.Get()) == 0 ? IPopupMenu::kChecked : 0);
    }
    mPromptPopupMenu.SetRootTitle(param->GetName());
    DoCreatePopupMenu(control, mPromptPopupMenu, bounds, valIdx, false);
  }
  else
  {
    Util_String str;
    param->GetDisplay(str, false);
    if (control->GetPromptShowsParamLabel())
    {
      str.Append(" ");
      str.Append(param->GetLabel());
    }
    CreateTextEntry(control, control->GetText(), bounds, str.Get(), valIdx);
  }
}

void IGraphics::CreateTextEntry(IControl* control, const IText& text, const IRECT& bounds, const char* str, int valIdx)
{
  // A text field would outlast the editor or plug-in that is going, and hand its value to neither.
  if (!control || IsWindingDown()) return;
  mInTextEntry = control;
  mTextEntryValIdx = valIdx;
  const int paramIdx = valIdx >= 0 ? control->GetParamIdx(valIdx) : -1;
  if (mTextEntryControl && mOpenTextEntry)
    mOpenTextEntry(mTextEntryControl, paramIdx, text, bounds, control->GetTextEntryLength(), str ? str : "");
  else
    CreatePlatformTextEntry(paramIdx, text, bounds, control->GetTextEntryLength(), str ? str : "");
  control->SetDirty(false, -1);
}

namespace
{

// A typed value is a display text of the parameter or a number in the C locale ("k" or "K" standing for the
// decimal point of thousands, as the parameter reads it). Anything else, and numbers that are not finite, are
// refused: the parameter must not jump to 0 because of a typo.
bool IsTypedValue(const IParam& param, const char* text)
{
  double mapped = 0.0;
  if (param.MapDisplayText(text, &mapped)) return true;

  std::string s(text);
  size_t k = s.find('k');
  if (k == std::string::npos) k = s.find('K');
  if (k != std::string::npos) s[k] = '.';

  const char* p = s.c_str();
  const char* end = p + s.size();
  while (p < end && (*p == ' ' || *p == '\t'))
    ++p;
  if (p < end && *p == '+') ++p;
  double v = 0.0;
  const auto res = std::from_chars(p, end, v);
  return res.ec == std::errc() && res.ptr != p && std::isfinite(v);
}

} // namespace

void IGraphics::SetControlValueAfterTextEdit(const char* str)
{
  IControl* control = mInTextEntry;
  if (!control) return;
  const int valIdx = mTextEntryValIdx;
  mInTextEntry = nullptr;
  if (!str) str = "";

  const IParam* param = valIdx >= 0 ? GetParamOf(control, valIdx) : nullptr;
  if (!param)
  {
    control->OnTextEntryCompletion(str, valIdx);
    return;
  }
  if (!IsTypedValue(*param, str)) return;

  double v = param->StringToValue(str);
  const double step = param->GetStep();
  if (param->GetStepped() && step > 0.0) v = std::round(v / step) * step;
  v = std::clamp(v, param->GetMin(), param->GetMax());
  const double normalized = std::clamp(param->ToNormalized(v), 0.0, 1.0);

  // The typed value reaches the host inside a gesture of its own.
  const int paramIdx = control->GetParamIdx(valIdx);
  mDelegate->BeginInformHostOfParamChangeFromUI(paramIdx);
  control->SetValueFromUserInput(normalized, valIdx);
  mDelegate->EndInformHostOfParamChangeFromUI(paramIdx);
}

// ---------------------------------------------------------------------------------------------------------------
// Popup menus
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::CreatePopupMenu(IControl* control, IPopupMenu& menu, const IRECT& bounds, int valIdx)
{
  DoCreatePopupMenu(control, menu, bounds, valIdx, false);
}

bool IGraphics::PopupMenuIsBusy() const
{
  return mPopupControl && static_cast<const IPopupMenuControl*>(mPopupControl)->IsBusy();
}

void IGraphics::DoCreatePopupMenu(IControl* control, IPopupMenu& menu, const IRECT& bounds, int valIdx, bool isContext)
{
  // No new menu (native or in the editor) for an editor or plug-in that is going.
  if (IsWindingDown()) return;
  ReleaseMouseCapture();
  // A menu still on show (or fading) keeps its caller: the new request is refused, and the completion of the
  // shown one must still reach the control that asked for it.
  if (PopupMenuIsBusy()) return;
  mInPopupMenu = control;
  mPopupMenuValIdx = valIdx;
  mIsContextMenu = isContext;

  if (mPopupControl && mPopupMenuOpener)
  {
    // The completion arrives later, through SetControlValueAfterPopupMenu.
    mPopupMenuOpener(menu, bounds);
    return;
  }

  bool isAsync = false;
  IPopupMenu* result = CreatePlatformPopupMenu(menu, bounds, isAsync);
  // A synchronous answer completes now, a refusal (null) included: nothing may stay behind for a later menu.
  if (!isAsync && mInPopupMenu) SetControlValueAfterPopupMenu(result);
}

void IGraphics::ShowContextMenu(IControl* control, float x, float y)
{
  // Checked before the shared prompt menu is refilled: the busy menu may be showing it.
  if (!control || IsWindingDown() || PopupMenuIsBusy()) return;
  mPromptPopupMenu.Reset();
  control->CreateContextMenu(mPromptPopupMenu);
  if (mPromptPopupMenu.NItems() > 0) DoCreatePopupMenu(control, mPromptPopupMenu, IRECT(x, y, x, y), -1, true);
}

void IGraphics::SetControlValueAfterPopupMenu(IPopupMenu* menu)
{
  IControl* control = mInPopupMenu;
  if (!control) return;
  mInPopupMenu = nullptr;

  // The choice reaches the host inside a gesture of its own; the capture that opened the menu has ended.
  std::vector<int> params;
  BeginParamGestures(control, params);
  if (!mIsContextMenu)
    control->OnPopupMenuSelection((menu && menu->GetChosenItemIdx() != -1) ? menu : nullptr, mPopupMenuValIdx);
  else
    control->OnContextSelection(menu ? menu->GetChosenItemIdx() : -1);
  EndParamGestures(params);
}

} // namespace plugin::igraphics

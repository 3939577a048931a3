#include "ui/IBPopupMenuQN.h"

#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "graphics/IGraphics.h"
#include "ui/MenuControls_p.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plugin::igraphics
{

using menu_detail::FrameBoundsAt;

// ---------------------------------------------------------------------------------------------------------------
// IBPopupMenuQN
// ---------------------------------------------------------------------------------------------------------------

IBPopupMenuQN::IBPopupMenuQN(int x, int y, int paramIdx, const IBitmap& bitmap, bool wheelEnabled,
                             IActionFunction actionFunc, bool hidden, bool hoverMode)
    : IControl(FrameBoundsAt(x, y, bitmap), paramIdx, std::move(actionFunc)), IBitmapBase(bitmap),
      mWheelEnabled(wheelEnabled), mHidden(hidden), mHoverMode(hoverMode)
{
  AttachIControl(this);
  DisablePrompt(false);
  SetMouseDblAsSingleClick(true);
}

double IBPopupMenuQN::WheelStep(const plugin::IParam& param, double current, float delta)
{
  const double real = param.FromNormalized(current);
  // Truncation of both, as a notch is a whole step; the range keeps the result from running past either end,
  // whatever the parameter's minimum is. Truncated in double: a flung wheel's delta does not fit an integer.
  double v = std::trunc(real) - std::trunc(static_cast<double>(delta));
  v = std::clamp(v, param.GetMin(), param.GetMax());
  return std::clamp(param.ToNormalized(v), 0.0, 1.0);
}

void IBPopupMenuQN::OnMouseDown(float, float, const IMouseMod&) { PromptUserInput(0); }

void IBPopupMenuQN::OnMouseWheel(float, float, const IMouseMod&, float delta)
{
  if (!mWheelEnabled || !std::isfinite(delta) || std::fabs(delta) < 1.f) return;
  const plugin::IParam* param = GetParam(0);
  if (!param) return;
  SetValue(WheelStep(*param, GetValue(0), delta), 0);
  SetDirty(true);
}

void IBPopupMenuQN::OnMouseOver(float, float, const IMouseMod&)
{
  mMouseOver = true;
  SetDirty(false);
}

void IBPopupMenuQN::OnMouseOut()
{
  mMouseOver = false;
  SetDirty(false);
}

void IBPopupMenuQN::OnRescale() { RescaleBitmap(); }

void IBPopupMenuQN::Draw(IGraphics& g)
{
  if (mHidden) return;
  if (!mHoverMode)
  {
    DrawBitmap(g);
    return;
  }
  const IBlend blend = GetBlend();
  g.DrawBitmap(mBitmap, FrameRectCentredIn(mBitmap, GetRECT()), mMouseOver ? 2 : 1, &blend);
}

void IBPopupMenuQN::SetDisabled(bool disable) { IControl::SetDisabled(disable); }

// ---------------------------------------------------------------------------------------------------------------
// IBPopupMenuQNSpecial — the Link-ID selector
// ---------------------------------------------------------------------------------------------------------------

namespace
{
constexpr const char* kSubmenuTitles[IBPopupMenuQNSpecial::kNumSubmenus] = {
  "21-40",   "41-60",   "61-80",   "81-100",  "101-120", "121-140",
  "141-160", "161-180", "181-200", "201-220", "221-240", "241-256",
};
} // namespace

IBPopupMenuQNSpecial::IBPopupMenuQNSpecial(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                                           const std::atomic<bool>* senderFlags,
                                           const std::atomic<bool>* receiverFlags, int flagCount, int commandIdx)
    : IControl(FrameBoundsAt(x, y, bitmap), paramIdx), mSenderFlags(senderFlags), mReceiverFlags(receiverFlags),
      mFlagCount(std::max(flagCount, 0)), mCommandIdx(commandIdx)
{
  mText = text;
  DisablePrompt(false);
  SetMouseDblAsSingleClick(true);
}

// The submenus belong to the main menu's items; the main menu frees them with itself.
IBPopupMenuQNSpecial::~IBPopupMenuQNSpecial() { mSubmenus.fill(nullptr); }

bool IBPopupMenuQNSpecial::HasSender(int id) const
{
  return mSenderFlags && id >= 0 && id < mFlagCount && mSenderFlags[id].load(std::memory_order_relaxed);
}

bool IBPopupMenuQNSpecial::HasReceiver(int id) const
{
  return mReceiverFlags && id >= 0 && id < mFlagCount && mReceiverFlags[id].load(std::memory_order_relaxed);
}

void IBPopupMenuQNSpecial::SendCommand()
{
  if (mCommandIdx == -1) return;
  if (IGEditorDelegate* dlg = GetDelegate()) dlg->OnParamChange(mCommandIdx, plugin::kUI, -1);
}

void IBPopupMenuQNSpecial::BuildMenu()
{
  mMainMenu.SetChosenItemIdx(0);
  mMainMenu.SetMultiCheck(false);
  mSubmenus.fill(nullptr);
  mMainMenu.Clear(true);

  std::array<IPopupMenu*, kNumSubmenus> subs{};
  for (auto& s : subs)
    s = new IPopupMenu("");

  const plugin::IParam* param = GetParam(0);
  const int n = param ? static_cast<int>(param->GetMax()) : kMaxLinkID;
  const int c = param ? static_cast<int>(param->FromNormalized(GetValue(0))) : -1;
  int checkedSubmenu = -1;

  for (int id = 0; id <= std::min(n, kMaxLinkID); ++id)
  {
    if (id == 0)
    {
      mMainMenu.AddItem("OFF");
      if (c == 0) mMainMenu.CheckItemAlone(0);
      continue;
    }
    const bool s = HasSender(id), r = HasReceiver(id);
    char label[24];
    std::snprintf(label, sizeof label, s && r ? "%d (S R)" : s ? "%d (S)" : r ? "%d (R)" : "%d", id);
    const bool busy = mOwnRole == 0 ? s : r;
    const int flags = busy ? IPopupMenu::kDisabled : IPopupMenu::kNoFlags;

    IPopupMenu* target = &mMainMenu;
    int k = -1;
    if (id > kDirectIDs)
    {
      k = (id - kDirectIDs - 1) / kIDsPerSubmenu;
      target = subs[size_t(k)];
    }
    target->AddItem(label, IPopupMenu::kAppend, flags);
    if (id == c)
    {
      target->CheckItemAlone(target->NItems() - 1);
      checkedSubmenu = k;
    }
  }

  for (int k = 0; k < kNumSubmenus; ++k)
  {
    mMainMenu.AddSubMenuItem(kSubmenuTitles[k], subs[size_t(k)]);
    mSubmenus[size_t(k)] = subs[size_t(k)];
  }
  if (checkedSubmenu >= 0) mMainMenu.CheckItem(kDirectIDs + 1 + checkedSubmenu, true);
}

int IBPopupMenuQNSpecial::LinkIDForSelection(const IPopupMenu* menu) const
{
  if (!menu) return -1;
  if (menu == &mMainMenu) return menu->GetChosenItemIdx();
  for (int k = 0; k < kNumSubmenus; ++k)
    if (menu == mSubmenus[size_t(k)]) return kDirectIDs + 1 + kIDsPerSubmenu * k + menu->GetChosenItemIdx();
  return -1;
}

void IBPopupMenuQNSpecial::OnMouseDown(float, float, const IMouseMod& mod)
{
  SendCommand();
  if (mod.S)
  {
    PromptUserInput(0);
    return;
  }
  BuildMenu();
  if (IGraphics* g = GetUI()) g->CreatePopupMenu(this, mMainMenu, GetRECT(), 0);
}

void IBPopupMenuQNSpecial::OnMouseWheel(float, float, const IMouseMod&, float delta)
{
  SendCommand();
  if (!mWheelEnabled || !std::isfinite(delta) || std::fabs(delta) < 1.f) return;
  const plugin::IParam* param = GetParam(0);
  if (!param) return;
  SetValue(IBPopupMenuQN::WheelStep(*param, GetValue(0), delta), 0);
  SetDirty(true);
}

void IBPopupMenuQNSpecial::OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx)
{
  const int id = LinkIDForSelection(selectedMenu);
  // A dismissed menu reports no item; an index past the submenu's end is not a Link ID of this menu.
  if (id < 0) return;
  const IPopupMenu::Item* item = selectedMenu->GetChosenItem();
  // An item shown disabled (the Link ID already has one of this instance's role) or a range entry is no choice,
  // whichever menu let it through.
  if (!item || !item->GetEnabled() || item->GetSubmenu()) return;
  const plugin::IParam* param = GetParam(0);
  if (!param) return;
  double v = static_cast<double>(id);
  const double step = param->GetStep();
  if (param->GetStepped() && step > 0.0) v = std::round(v / step) * step;
  v = std::clamp(v, param->GetMin(), param->GetMax());
  SetValueFromUserInput(std::clamp(param->ToNormalized(v), 0.0, 1.0), valIdx);
}

void IBPopupMenuQNSpecial::Draw(IGraphics& g)
{
  const plugin::IParam* param = GetParam(0);
  if (!param) return;
  const double real = param->FromNormalized(GetValue(0));
  Util_String str;
  if (static_cast<int>(real) == 0)
    str.Set("OFF");
  else
    param->GetDisplay(real, false, str);
  IText text = GetText();
  if (IsDisabled()) text.mFGColor.A /= 2;
  g.DrawText(text, str.Get(), GetRECT());
}

void IBPopupMenuQNSpecial::SetDisabled(bool disable) { IControl::SetDisabled(disable); }

} // namespace plugin::igraphics

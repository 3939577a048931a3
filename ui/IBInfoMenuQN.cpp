#include "ui/IBInfoMenuQN.h"

#include "framework/IEditorDelegate.h"
#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "graphics/IGraphics.h"
#include "ui/MenuControls_p.h"

namespace plugin::igraphics
{

namespace
{
constexpr const char* kProductName = "ZANIQ";
constexpr const char* kProductWord = "ZANI";
// Paths and addresses are far shorter; the limit only bounds the formatting.
constexpr int kMaxPathLen = 4096;
} // namespace

IBInfoMenuQN::IBInfoMenuQN(plugin::IEditorDelegate* delegate, int x, int y, const IBitmap& bitmap,
                           int aboutCommand, int updateCommand, const char* dataFolder, const char* changelogAddress,
                           int tooltipsParam, int autoUpdateParam, int enumParam, int resetSizeCommand,
                           int resetScaleCommand, int minScaleCommand, const std::vector<int>& submenuParams,
                           const std::vector<int>& extraCommands, const std::vector<const char*>& extraTexts,
                           const std::vector<plugin::IParam*>& extraParams, int firstExtraIdx)
    : IControl(menu_detail::FrameBoundsAt(x, y, bitmap)), IBitmapBase(bitmap), mDelegate(delegate),
      mChangelogAddress(changelogAddress ? changelogAddress : ""), mDataFolder(dataFolder ? dataFolder : ""),
      mAboutCommand(aboutCommand), mUpdateCommand(updateCommand), mTooltipsParam(tooltipsParam),
      mAutoUpdateParam(autoUpdateParam), mEnumParam(enumParam), mResetSizeCommand(resetSizeCommand),
      mResetScaleCommand(resetScaleCommand), mMinScaleCommand(minScaleCommand), mSubmenuParams(submenuParams),
      mExtraCommands(extraCommands), mExtraParams(extraParams), mFirstExtraIdx(firstExtraIdx)
{
  AttachIControl(this);
  SetTooltip("Plugin info and options");
  for (const char* t : extraTexts)
    mExtraTexts.emplace_back(t ? t : "");
}

IBInfoMenuQN::~IBInfoMenuQN() = default;

void IBInfoMenuQN::ManualPath(const char* productName, Util_String& path)
{
  const char* name = productName ? productName : "";
  path.SetFormatted(kMaxPathLen, "/Users/Shared/Documents/%s/%s%s", name, name, " manual.pdf");
}

void IBInfoMenuQN::ChangelogAddress(const char* host, Util_String& address)
{
  address.Set(host ? host : "");
  address.AppendFormatted(kMaxPathLen, "/products/%s#Changelog", kProductWord);
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse and drawing
// ---------------------------------------------------------------------------------------------------------------

void IBInfoMenuQN::OnMouseDown(float, float, const IMouseMod&)
{
  SetDirty(false);
  BuildMenu();
  if (IGraphics* g = GetUI()) g->CreatePopupMenu(this, mMenu, GetRECT(), 0);
}

void IBInfoMenuQN::OnMouseUp(float, float, const IMouseMod&) { SetDirty(false); }

void IBInfoMenuQN::OnMouseOver(float, float, const IMouseMod&)
{
  mMouseOver = true;
  SetDirty(false);
}

void IBInfoMenuQN::OnMouseOut()
{
  mMouseOver = false;
  SetDirty(false);
}

void IBInfoMenuQN::Draw(IGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawBitmap(mBitmap, FrameRectCentredIn(mBitmap, GetRECT()), mMouseOver ? 2 : 1, &blend);
}

void IBInfoMenuQN::SetDisabled(bool disable) { IControl::SetDisabled(disable); }

// ---------------------------------------------------------------------------------------------------------------
// Building the menu
// ---------------------------------------------------------------------------------------------------------------

plugin::IEditorDelegate* IBInfoMenuQN::Delegate() const
{
  // The plug-in given at construction; else the editor delegate the control was attached with.
  if (mDelegate) return mDelegate;
  return GetDelegate();
}

IPopupMenu* IBInfoMenuQN::AddParamSubmenu(const plugin::IParam& param, bool check)
{
  auto* sub = new IPopupMenu("");
  const int n = param.NDisplayTexts();
  for (int v = 0; v < n; ++v)
  {
    const char* text = param.GetDisplayText(static_cast<double>(v));
    if (!text[0]) text = param.GetDisplayTextAtIdx(v);
    sub->AddItem(text);
  }
  if (check) sub->CheckItemAlone(static_cast<int>(param.Value()));
  mMenu.AddSubMenuItem(param.GetName(), sub);
  return sub;
}

void IBInfoMenuQN::BuildMenu()
{
  mEnumSubmenu = nullptr;
  mParamSubmenus.clear();
  mExtraSubmenus.clear();
  mExtraItemIdx.clear();
  mIdxAbout = mIdxManual = mIdxChangelog = mIdxUpdate = mIdxAutoUpdate = -1;
  mIdxDataFolder = mIdxTooltips = mIdxResetSize = mIdxResetScale = mIdxMinScale = -1;
  mMenu.SetChosenItemIdx(0);
  mMenu.SetMultiCheck(false);
  mMenu.Clear(true);

  plugin::IEditorDelegate* dlg = Delegate();
  auto param = [dlg](int idx) -> plugin::IParam* { return dlg ? dlg->GetParam(idx) : nullptr; };
  auto add = [this](const char* text, int flags = IPopupMenu::kNoFlags) {
    mMenu.AddItem(text, IPopupMenu::kAppend, flags);
    return mMenu.NItems() - 1;
  };
  auto isOn = [&](int idx) {
    const plugin::IParam* p = param(idx);
    return p && static_cast<int>(p->Value()) == 1;
  };

  add(">> Plugin menu <<");
  mMenu.AddSeparator();
  mIdxAbout = add("About ...");
  mMenu.AddSeparator();
  mIdxManual = add("Open manual ...");
  mIdxChangelog = add("Changelog ...");
  if (mUpdateCommand != -1) mIdxUpdate = add("Check for update ...");
  if (mAutoUpdateParam != -1)
    mIdxAutoUpdate =
      add("Check for updates automatically", isOn(mAutoUpdateParam) ? IPopupMenu::kChecked : IPopupMenu::kNoFlags);
  mMenu.AddSeparator();
  mIdxDataFolder = add("Open data folder ...");
  if (mTooltipsParam != -1)
  {
    mMenu.AddSeparator();
    mIdxTooltips = add("Tooltips", isOn(mTooltipsParam) ? IPopupMenu::kChecked : IPopupMenu::kNoFlags);
  }
  if (mEnumParam != -1)
  {
    if (const plugin::IParam* p = param(mEnumParam))
    {
      mMenu.AddSeparator();
      mEnumSubmenu = AddParamSubmenu(*p, true);
    }
  }
  if (mResetSizeCommand != -1)
  {
    mMenu.AddSeparator();
    mIdxResetSize = add("Reset GUI size");
  }
  if (mResetScaleCommand != -1)
  {
    mMenu.AddSeparator();
    mIdxResetScale = add("Reset GUI scale");
  }
  if (mMinScaleCommand != -1) mIdxMinScale = add("Set min GUI scale");
  if (!mSubmenuParams.empty())
  {
    mMenu.AddSeparator();
    for (int idx : mSubmenuParams)
      if (const plugin::IParam* p = param(idx)) mParamSubmenus.push_back({AddParamSubmenu(*p, true), idx});
  }
  if (!mExtraParams.empty())
  {
    mMenu.AddSeparator();
    for (size_t i = 0; i < mExtraParams.size(); ++i)
      if (mExtraParams[i])
        mExtraSubmenus.push_back({AddParamSubmenu(*mExtraParams[i], false), mFirstExtraIdx + static_cast<int>(i)});
  }
  if (!mExtraCommands.empty())
  {
    mMenu.AddSeparator();
    for (size_t i = 0; i < mExtraCommands.size(); ++i)
      mExtraItemIdx.push_back(add(i < mExtraTexts.size() ? mExtraTexts[i].c_str() : ""));
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Acting on a choice
// ---------------------------------------------------------------------------------------------------------------

void IBInfoMenuQN::SendCommand(int command)
{
  if (command < 0) return;
  if (plugin::IEditorDelegate* dlg = Delegate()) dlg->OnParamChange(command, plugin::kUI, -1);
}

void IBInfoMenuQN::SetParamTo(int paramIdx, double value)
{
  plugin::IEditorDelegate* dlg = Delegate();
  plugin::IParam* p = dlg ? dlg->GetParam(paramIdx) : nullptr;
  if (!p) return;
  p->SetKeepingPrevious(value);
  dlg->SendParameterValueFromDelegate(paramIdx, p->Value(), false);
  dlg->SendParameterValueFromUI(paramIdx, p->GetNormalized(), true);
}

void IBInfoMenuQN::ToggleParam(int paramIdx)
{
  plugin::IEditorDelegate* dlg = Delegate();
  const plugin::IParam* p = dlg ? dlg->GetParam(paramIdx) : nullptr;
  if (!p) return;
  const int current = static_cast<int>(p->Value());
  const int next = current == 1 ? 0 : 1;
  if (next == current) return;
  SetParamTo(paramIdx, next);
}

void IBInfoMenuQN::SetParamToIndex(int paramIdx, int k)
{
  plugin::IEditorDelegate* dlg = Delegate();
  const plugin::IParam* p = dlg ? dlg->GetParam(paramIdx) : nullptr;
  if (!p || static_cast<int>(p->Value()) == k) return;
  SetParamTo(paramIdx, k);
}

// Only menus of the current build are read: an answer naming anything else is not looked into.
bool IBInfoMenuQN::IsOwnMenu(const IPopupMenu* menu) const
{
  if (menu == &mMenu || (mEnumSubmenu && menu == mEnumSubmenu)) return true;
  for (const ParamSubmenu& s : mParamSubmenus)
    if (menu == s.menu) return true;
  for (const ParamSubmenu& s : mExtraSubmenus)
    if (menu == s.menu) return true;
  return false;
}

void IBInfoMenuQN::OnPopupMenuSelection(IPopupMenu* selectedMenu, int)
{
  SetValue(0.0, 0);
  SetDirty(true);
  if (!selectedMenu || !IsOwnMenu(selectedMenu)) return;
  const int k = selectedMenu->GetChosenItemIdx();
  // A choice outside the menu (a dismissed or stale answer) or on a disabled line is no choice.
  const IPopupMenu::Item* item = selectedMenu->GetChosenItem();
  if (!item || !item->GetEnabled() || item->GetIsSeparator()) return;

  if (selectedMenu == &mMenu)
  {
    IGraphics* g = GetUI();
    if (k == mIdxAbout)
      SendCommand(mAboutCommand);
    else if (k == mIdxUpdate)
      SendCommand(mUpdateCommand);
    else if (k == mIdxManual)
    {
      if (mDataFolder.GetLength() && g)
      {
        Util_String path;
        ManualPath(kProductName, path);
        g->OpenURL(path.Get());
      }
    }
    else if (k == mIdxChangelog)
    {
      if (g && mChangelogAddress.GetLength()) g->OpenURL(mChangelogAddress.Get());
    }
    else if (k == mIdxDataFolder)
    {
      if (mDataFolder.GetLength() && g) g->OpenURL(mDataFolder.Get());
    }
    else if (k == mIdxTooltips)
      ToggleParam(mTooltipsParam);
    else if (k == mIdxAutoUpdate)
      ToggleParam(mAutoUpdateParam);
    else if (k == mIdxResetSize)
      SendCommand(mResetSizeCommand);
    else if (k == mIdxResetScale)
      SendCommand(mResetScaleCommand);
    else if (k == mIdxMinScale)
      SendCommand(mMinScaleCommand);
    else
    {
      for (size_t i = 0; i < mExtraItemIdx.size(); ++i)
        if (k == mExtraItemIdx[i] && i < mExtraCommands.size()) SendCommand(mExtraCommands[i]);
    }
    return;
  }

  if (selectedMenu == mEnumSubmenu)
  {
    SetParamToIndex(mEnumParam, k);
    return;
  }
  for (const ParamSubmenu& s : mParamSubmenus)
    if (selectedMenu == s.menu)
    {
      SetParamToIndex(s.index, k);
      return;
    }
  for (size_t i = 0; i < mExtraSubmenus.size(); ++i)
    if (selectedMenu == mExtraSubmenus[i].menu)
    {
      const size_t pos = static_cast<size_t>(mExtraSubmenus[i].index - mFirstExtraIdx);
      if (pos < mExtraParams.size() && mExtraParams[pos]) mExtraParams[pos]->SetKeepingPrevious(k);
      SendCommand(mExtraSubmenus[i].index);
      return;
    }
}

} // namespace plugin::igraphics

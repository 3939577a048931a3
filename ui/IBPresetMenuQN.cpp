#include "ui/IBPresetMenuQN.h"

#include "framework/IGEditorDelegate.h"
#include "graphics/IGraphics.h"
#include "ui/MenuControls_p.h"

#include <algorithm>

namespace plugin::igraphics
{

IBPresetMenuQN::IBPresetMenuQN(int x, int y, const IBitmap& bitmap, const char* folder, int loadCommand)
    : IDirBrowseControlBase(menu_detail::FrameBoundsAt(x, y, bitmap), ".tps", false), IBitmapBase(bitmap),
      mLoadCommand(loadCommand)
{
  IBitmapBase::AttachIControl(this);
  if (folder && *folder) AddPath(folder, "");
}

void IBPresetMenuQN::OnMouseDown(float, float, const IMouseMod&)
{
  // Files come and go between clicks: the menu shows the folder as it is now.
  SetupMenu();
  if (IGraphics* g = GetUI()) g->CreatePopupMenu(this, mMainMenu, GetRECT(), 0);
}

void IBPresetMenuQN::OnPopupMenuSelection(IPopupMenu* selectedMenu, int)
{
  const IPopupMenu::Item* item = selectedMenu ? selectedMenu->GetChosenItem() : nullptr;
  // Only a file of the last build maps to a path; a dismissed menu, a folder or another menu's answer does not.
  const auto it = item ? std::find(mItems.begin(), mItems.end(), item) : mItems.end();
  if (it == mItems.end()) return;
  const int fileIdx = item->GetTag();
  if (fileIdx < 0 || fileIdx >= NFiles()) return;
  mPath.Set(GetFilePath(fileIdx));
  mSelectedItemIndex = static_cast<int>(it - mItems.begin());
  SetDirty(false);
  if (mLoadCommand == -1) return;
  if (IGEditorDelegate* dlg = GetDelegate()) dlg->OnParamChange(mLoadCommand, plugin::kUI, -1);
}

void IBPresetMenuQN::Draw(IGraphics& g)
{
  DrawBitmap(g);
}

} // namespace plugin::igraphics

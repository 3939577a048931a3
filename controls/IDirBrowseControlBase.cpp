#include "controls/IDirBrowseControlBase.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

namespace plugin::igraphics
{

namespace dirbrowse
{

bool EntryIsFolder(const char* fullPath, unsigned char dType)
{
  if (dType == DT_DIR) return true;
  if (dType != DT_UNKNOWN) return false;
  // Some file systems report no type: look at the entry itself (a link to a folder stays a link).
  struct stat st;
  return lstat(fullPath, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace dirbrowse

IDirBrowseControlBase::IDirBrowseControlBase(const IRECT& bounds, const char* extension, bool showFileExtensions,
                                             bool showEmptySubmenus)
    : IControl(bounds), mShowEmptySubmenus(showEmptySubmenus), mShowFileExtensions(showFileExtensions),
      mExtension(extension ? extension : "")
{
}

IDirBrowseControlBase::~IDirBrowseControlBase()
{
  mItems.clear();
  mFiles.Empty(true);
  mPathLabels.Empty(true);
  mPaths.Empty(true);
}

void IDirBrowseControlBase::AddPath(const char* path, const char* label)
{
  mPaths.Add(new Util_String(path ? path : ""));
  mPathLabels.Add(new Util_String(label ? label : ""));
}

void IDirBrowseControlBase::SetupMenu()
{
  mFiles.Empty(true);
  mItems.clear();
  mMainMenu.Reset();
  mSelectedItemIndex = -1;

  const int nPaths = mPaths.GetSize();
  if (nPaths == 1)
    ScanDirectory(mPaths.Get(0)->Get(), mMainMenu);
  else
    for (int i = 0; i < nPaths; ++i)
    {
      auto* sub = new IPopupMenu();
      // The menu owns the submenu from here, even when it could not place the item.
      if (!mMainMenu.AddSubMenuItem(mPathLabels.Get(i)->Get(), i, sub)) continue;
      ScanDirectory(mPaths.Get(i)->Get(), *sub);
    }

  CollectSubMenuItems(mMainMenu);
}

void IDirBrowseControlBase::ScanDirectory(const char* path, IPopupMenu& menu)
{
  std::string dir = path ? path : "";
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  const std::string open = dir.empty() ? "/" : dir;

  if (DIR* d = opendir(open.c_str()))
  {
    const char* ext = mExtension.Get();
    const size_t extLen = std::strlen(ext);
    while (const dirent* e = readdir(d))
    {
      const char* name = e->d_name;
      if (name[0] == '.' || name[0] == '\0') continue;
      const std::string full = dir + "/" + name;

      if (dirbrowse::EntryIsFolder(full.c_str(), e->d_type))
      {
        auto* sub = new IPopupMenu();
        if (menu.AddSubMenuItem(name, sub, IPopupMenu::kSorted)) ScanDirectory(full.c_str(), *sub);
        continue;
      }

      if (extLen == 0) continue;
      const std::string n(name);
      const size_t pos = n.rfind(ext);
      if (pos == std::string::npos || pos == 0 || pos + extLen != n.size()) continue;

      const std::string label = mShowFileExtensions ? n : n.substr(0, pos);
      auto* item = new IPopupMenu::Item(label.c_str(), IPopupMenu::kNoFlags, mFiles.GetSize());
      if (!menu.InsertItem(item, IPopupMenu::kSorted)) continue;
      mFiles.Add(new Util_String(full.c_str()));
    }
    closedir(d);
  }

  if (mShowEmptySubmenus) return;
  // Only submenus are pruned: a file item has no submenu and always stays.
  for (int i = menu.NItems() - 1; i >= 0; --i)
  {
    const IPopupMenu* sub = menu.GetItem(i)->GetSubmenu();
    if (sub && sub->NItems() == 0) menu.RemoveItem(i);
  }
}

void IDirBrowseControlBase::CollectSubMenuItems(IPopupMenu& menu)
{
  for (int i = 0; i < menu.NItems(); ++i)
  {
    IPopupMenu::Item* item = menu.GetItem(i);
    if (IPopupMenu* sub = item->GetSubmenu())
      CollectSubMenuItems(*sub);
    else
      mItems.push_back(item);
  }
}

} // namespace plugin::igraphics

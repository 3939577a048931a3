#pragma once

// IDirBrowseControlBase — turns folders of the file system into a popup menu of the files that end in one
// extension, one submenu per sub-folder, each level sorted without regard to case (folders and files mixed). The
// full path of every listed file is kept; a file's menu item carries as its tag the index of that path in the file
// list, so a chosen item maps back to its file. A subclass draws and decides when to show the menu.
//
// Threads: main (editor) thread only. Scanning reads the file system synchronously.

#include "controls/IControl.h"
#include "graphics/IPopupMenu.h"

#include <vector>

namespace plugin::igraphics
{

class IDirBrowseControlBase : public IControl
{
public:
  // extension selects files by the end of their names, case-sensitively (".tps"); an empty one lists no file.
  IDirBrowseControlBase(const IRECT& bounds, const char* extension, bool showFileExtensions = true,
                        bool showEmptySubmenus = false);
  ~IDirBrowseControlBase() override;

  // Adds a folder to scan, with the label its submenu gets when there are several folders. Null means "".
  void AddPath(const char* path, const char* label);
  // Rebuilds the menu: one folder fills the main menu itself; none or several give one submenu per folder, in the
  // order added. Forgets the selection (-1).
  void SetupMenu();
  // Adds the matching files and the sub-folders of path to menu, recursively. A folder that cannot be opened adds
  // nothing. Without show-empty-submenus, submenus left without items are removed from menu.
  void ScanDirectory(const char* path, IPopupMenu& menu);
  // Appends every leaf item of menu and its submenus, depth first in menu order, to the item list.
  void CollectSubMenuItems(IPopupMenu& menu);

  // The listed files (leaf items) across all submenus.
  int NItems() const { return static_cast<int>(mItems.size()); }
  IPopupMenu::Item* GetItem(int idx) const
  {
    return idx >= 0 && idx < NItems() ? mItems[static_cast<size_t>(idx)] : nullptr;
  }
  int NFiles() const { return mFiles.GetSize(); }
  // The full path of file fileIdx (an item's tag), or "" outside the list.
  const char* GetFilePath(int fileIdx) const
  {
    const Util_String* s = mFiles.Get(fileIdx);
    return s ? s->Get() : "";
  }
  IPopupMenu& GetMainMenu() { return mMainMenu; }
  int GetSelectedItemIndex() const { return mSelectedItemIndex; }
  void SetSelectedItemIndex(int idx) { mSelectedItemIndex = idx; }

protected:
  bool mShowEmptySubmenus;
  bool mShowFileExtensions;
  int mSelectedItemIndex = -1;
  IPopupMenu mMainMenu;
  Util_PtrList<Util_String> mPaths;
  Util_PtrList<Util_String> mPathLabels;
  Util_PtrList<Util_String> mFiles;
  std::vector<IPopupMenu::Item*> mItems;
  Util_String mExtension;
};

namespace dirbrowse
{
// Whether the entry at fullPath, reported with directory-entry type dType, is a folder. Types the file system
// does not report are asked of the entry itself, without following a symbolic link.
bool EntryIsFolder(const char* fullPath, unsigned char dType);
} // namespace dirbrowse

} // namespace plugin::igraphics

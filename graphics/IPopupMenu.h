#pragma once

// IPopupMenu — a menu described independently of who shows it: items with sub-menus, check marks and separators,
// how item titles are numbered, which item was chosen, and the function to run once a choice is made. The in-editor
// popup-menu control and the platform's native menu show the same record.
//
// Ownership: a menu owns its items, and each item owns its sub-menu; deleting a menu frees the whole tree.
// Threads: main thread only.

#include "graphics/Util.h"

#include <functional>
#include <initializer_list>

namespace plugin::igraphics
{

class IPopupMenu
{
public:
  // Run by the menu's owner after a choice, with the menu chosen from.
  using IPopupFunction = std::function<void(IPopupMenu* menu)>;

  enum EItemFlags : int
  {
    kNoFlags = 0,
    kDisabled = 1, // shown but not selectable
    kTitle = 2,    // shown indented one level
    kChecked = 4,
    kSeparator = 8, // a separator line; the other flags are then ignored
  };

  // Index arguments of the add operations.
  static constexpr int kAppend = -1;
  static constexpr int kSorted = -2; // case-insensitive sorted insertion

  class Item
  {
  public:
    // A null text gives an empty one; the item owns subMenu.
    Item(const char* text, int flags = kNoFlags, int tag = -1, IPopupMenu* subMenu = nullptr);
    ~Item();
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const char* GetText() const { return mText.Get(); }
    void SetText(const char* text) { mText.Set(text); }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    void SetChecked(bool checked) { mFlags = checked ? (mFlags | kChecked) : (mFlags & ~kChecked); }
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }

  private:
    Util_String mText;
    IPopupMenu* mSubmenu;
    int mFlags;
    int mTag;
  };

  // Copies rootTitle (null: empty), then appends one item per text (flags 0, tag -1, no sub-menu).
  explicit IPopupMenu(const char* rootTitle = "", int prefix = 0, bool multicheck = false,
                      std::initializer_list<const char*> items = {});
  // A menu under rootTitle (null: empty) of one item per text (flags 0, tag -1, no sub-menu; a null text gives an
  // empty one), with func as its completion function; prefix 0, no multi-check, nothing chosen.
  IPopupMenu(const char* rootTitle, std::initializer_list<const char*> items, IPopupFunction func);
  // Deletes every item with its sub-menu.
  ~IPopupMenu();
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Builds an item (text, no sub-menu, flags, tag -1) and places it by index: -1 appends, -2 inserts sorted without
  // regard to case, any other index inserts at max(index, 0), or appends when that lies beyond the list. When the
  // list cannot grow, the item is returned but not placed (and freed with nothing).
  Item* AddItem(const char* text, int index = kAppend, int flags = kNoFlags);
  // Places a ready item by the same rule and takes ownership; null is ignored.
  Item* InsertItem(Item* item, int index = kAppend);
  // When this menu has a completion function, the sub-menu's becomes a copy of it; otherwise the sub-menu keeps
  // its own. The new item owns subMenu.
  Item* AddSubMenuItem(const char* text, IPopupMenu* subMenu, int index = kAppend);
  // The same with the index first.
  Item* AddSubMenuItem(const char* text, int index, IPopupMenu* subMenu) { return AddSubMenuItem(text, subMenu, index); }
  // A separator item.
  Item* AddSeparator(int index = kAppend) { return AddItem("", index, kSeparator); }

  // Deletes every item (and its sub-menu) when wantDelete; the storage is kept.
  void Clear(bool wantDelete = true) { mMenuItems.Empty(wantDelete); }
  // Deletes item idx (and its sub-menu), closing the gap; an index outside the list is ignored.
  void RemoveItem(int idx) { mMenuItems.Delete(idx, true); }
  // Back to an unused state for reuse: prefix 0, no multi-check, no items, nothing chosen.
  void Reset();

  int NItems() const { return mMenuItems.GetSize(); }
  // Null for an index outside the list.
  Item* GetItem(int idx) const { return mMenuItems.Get(idx); }
  const char* GetItemText(int idx) const;
  // The displayed title of item idx: its number (idx + 1) by the prefix style, then its text.
  void GetItemTitle(int idx, Util_String& title) const;

  int GetPrefix() const { return mPrefix; }
  void SetPrefix(int prefix) { mPrefix = prefix; }
  bool GetCanMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool multicheck) { mCanMultiCheck = multicheck; }

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int idx) { mChosenItemIdx = idx; }
  Item* GetChosenItem() const { return GetItem(mChosenItemIdx); }

  // Check marks; an index outside the list is ignored.
  void CheckItem(int idx, bool check);
  // Only the item at idx checked.
  void CheckItemAlone(int idx);
  bool IsItemChecked(int idx) const;

  const char* GetRootTitle() const { return mRootTitle.Get(); }
  void SetRootTitle(const char* title) { mRootTitle.Set(title); }

  void SetFunction(IPopupFunction func) { mPopupFunc = std::move(func); }
  const IPopupFunction& GetFunction() const { return mPopupFunc; }
  // Runs the completion function with this menu when one is set.
  void ExecFunction();

private:
  Item* Place(Item* item, int index);

  int mReserved = 0;
  int mPrefix;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck;
  Util_PtrList<Item> mMenuItems{4096};
  IPopupFunction mPopupFunc;
  Util_String mRootTitle;
};

} // namespace plugin::igraphics

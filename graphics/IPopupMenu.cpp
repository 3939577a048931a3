#include "graphics/IPopupMenu.h"

#include <strings.h>

#include <utility>

namespace plugin::igraphics
{

IPopupMenu::Item::Item(const char* text, int flags, int tag, IPopupMenu* subMenu)
    : mText(text ? text : ""), mSubmenu(subMenu), mFlags(flags), mTag(tag)
{
}

IPopupMenu::Item::~Item()
{
  delete mSubmenu;
}

IPopupMenu::IPopupMenu(const char* rootTitle, int prefix, bool multicheck, std::initializer_list<const char*> items)
    : mPrefix(prefix), mCanMultiCheck(multicheck)
{
  (void)mReserved;
  if (rootTitle) mRootTitle.Set(rootTitle);
  for (const char* text : items)
    AddItem(text);
}

IPopupMenu::IPopupMenu(const char* rootTitle, std::initializer_list<const char*> items, IPopupFunction func)
    : IPopupMenu(rootTitle, 0, false, items)
{
  mPopupFunc = std::move(func);
}

IPopupMenu::~IPopupMenu()
{
  mMenuItems.Empty(true);
}

IPopupMenu::Item* IPopupMenu::Place(Item* item, int index)
{
  const int n = NItems();
  bool placed = false;
  if (index == kAppend)
    placed = mMenuItems.Add(item) != nullptr;
  else if (index == kSorted)
  {
    // Binary search by text, without regard to case; equal texts stop at the probed position.
    int lo = 0, hi = n;
    while (lo < hi)
    {
      const int mid = (lo + hi) / 2;
      const int cmp = strcasecmp(item->GetText(), mMenuItems.Get(mid)->GetText());
      if (cmp == 0)
      {
        lo = mid;
        break;
      }
      if (cmp > 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    placed = mMenuItems.Insert(lo, item) != nullptr;
  }
  else
  {
    const int at = index < 0 ? 0 : index;
    placed = (at < n ? mMenuItems.Insert(at, item) : mMenuItems.Add(item)) != nullptr;
  }
  // An item the list could not take would otherwise be lost with nobody owning it.
  if (!placed)
  {
    delete item;
    return nullptr;
  }
  return item;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int flags)
{
  return Place(new Item(text, flags), index);
}

IPopupMenu::Item* IPopupMenu::InsertItem(Item* item, int index)
{
  return item ? Place(item, index) : nullptr;
}

IPopupMenu::Item* IPopupMenu::AddSubMenuItem(const char* text, IPopupMenu* subMenu, int index)
{
  // The submenu answers like its parent when the parent has a function; otherwise it keeps its own.
  if (subMenu && mPopupFunc) subMenu->SetFunction(mPopupFunc);
  return Place(new Item(text, kNoFlags, -1, subMenu), index);
}

void IPopupMenu::Reset()
{
  mPrefix = 0;
  mCanMultiCheck = false;
  mChosenItemIdx = -1;
  mMenuItems.Empty(true);
}

const char* IPopupMenu::GetItemText(int idx) const
{
  const Item* item = GetItem(idx);
  return item ? item->GetText() : "";
}

void IPopupMenu::GetItemTitle(int idx, Util_String& title) const
{
  title.Set("");
  const Item* item = GetItem(idx);
  if (!item) return;
  switch (mPrefix)
  {
  case 1:
    title.SetFormatted(32, "%1d: ", idx + 1);
    break;
  case 2:
    title.SetFormatted(32, "%02d: ", idx + 1);
    break;
  case 3:
    title.SetFormatted(32, "%03d: ", idx + 1);
    break;
  default:
    break;
  }
  title.Append(item->GetText());
}

void IPopupMenu::CheckItem(int idx, bool check)
{
  if (Item* item = GetItem(idx)) item->SetChecked(check);
}

void IPopupMenu::CheckItemAlone(int idx)
{
  for (int i = 0; i < NItems(); ++i)
    GetItem(i)->SetChecked(i == idx);
}

bool IPopupMenu::IsItemChecked(int idx) const
{
  const Item* item = GetItem(idx);
  return item && item->GetChecked();
}

void IPopupMenu::ExecFunction()
{
  if (mPopupFunc) mPopupFunc(this);
}

} // namespace plugin::igraphics

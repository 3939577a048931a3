// AppKit stand-in: NSMenu, NSMenuItem and the scripted pop-up menu.

#include <AppKit/AppKit_p.h>

#include <algorithm>

using zqak::S;

namespace
{

NSString* Copy(NSString* s)
{
  return NSString::alloc_initWithUTF8String(s ? s->UTF8String() : "");
}

void Replace(NSString*& slot, NSString* s)
{
  NSString* copy = Copy(s);
  if (slot) slot->release();
  slot = copy;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// NSMenuItem
// ---------------------------------------------------------------------------------------------------------------

NSMenuItem* NSMenuItem::initWithTitle_action_keyEquivalent(NSString* title, SEL action, NSString* keyEquivalent)
{
  Replace(mTitle, title);
  mAction = std::move(action);
  Replace(mKeyEquivalent, keyEquivalent);
  return this;
}

NSMenuItem* NSMenuItem::separatorItem()
{
  auto* item = (new NSMenuItem())->initWithTitle_action_keyEquivalent(nullptr, SEL(), nullptr);
  item->mSeparator = YES;
  item->mEnabled = NO;
  return static_cast<NSMenuItem*>(item->autorelease());
}

NSMenuItem::~NSMenuItem()
{
  if (mTitle) mTitle->release();
  if (mKeyEquivalent) mKeyEquivalent->release();
  if (mRepresented) mRepresented->release();
  if (mSubmenu)
  {
    mSubmenu->mSupermenu = nullptr;
    mSubmenu->release();
  }
}

void NSMenuItem::setTitle(NSString* title)
{
  Replace(mTitle, title);
}

void NSMenuItem::setKeyEquivalent(NSString* key)
{
  Replace(mKeyEquivalent, key);
}

void NSMenuItem::setIndentationLevel(NSInteger level)
{
  mIndentation = level < 0 ? 0 : level > 15 ? 15 : level;
}

void NSMenuItem::setRepresentedObject(NSObject* object)
{
  zqak::Assign(mRepresented, object);
}

void NSMenuItem::setSubmenu(NSMenu* submenu)
{
  if (submenu == mSubmenu) return;
  if (submenu) submenu->retain();
  if (mSubmenu)
  {
    mSubmenu->mSupermenu = nullptr;
    mSubmenu->release();
  }
  mSubmenu = submenu;
  if (mSubmenu) mSubmenu->mSupermenu = mMenu;
}

// ---------------------------------------------------------------------------------------------------------------
// NSMenu
// ---------------------------------------------------------------------------------------------------------------

NSMenu* NSMenu::initWithTitle(NSString* title)
{
  Replace(mTitle, title);
  return this;
}

NSMenu::~NSMenu()
{
  for (NSMenuItem* item : mItems)
  {
    item->mMenu = nullptr;
    item->release();
  }
  if (mTitle) mTitle->release();
}

void NSMenu::setTitle(NSString* title)
{
  Replace(mTitle, title);
}

NSMenuItem* NSMenu::addItemWithTitle_action_keyEquivalent(NSString* title, SEL action, NSString* keyEquivalent)
{
  auto* item = (new NSMenuItem())->initWithTitle_action_keyEquivalent(title, std::move(action), keyEquivalent);
  addItem(item);
  item->release(); // the menu holds it
  return item;
}

void NSMenu::addItem(NSMenuItem* item)
{
  insertItem_atIndex(item, numberOfItems());
}

void NSMenu::insertItem_atIndex(NSMenuItem* item, NSInteger index)
{
  if (!item || item->mMenu || index < 0 || index > numberOfItems()) return;
  mItems.insert(mItems.begin() + index, static_cast<NSMenuItem*>(item->retain()));
  item->mMenu = this;
  if (item->mSubmenu) item->mSubmenu->mSupermenu = this;
}

void NSMenu::removeItem(NSMenuItem* item)
{
  removeItemAtIndex(indexOfItem(item));
}

void NSMenu::removeItemAtIndex(NSInteger index)
{
  if (index < 0 || index >= numberOfItems()) return;
  NSMenuItem* item = mItems[static_cast<size_t>(index)];
  mItems.erase(mItems.begin() + index);
  item->mMenu = nullptr;
  if (item->mSubmenu) item->mSubmenu->mSupermenu = nullptr;
  item->release();
}

void NSMenu::removeAllItems()
{
  while (!mItems.empty()) removeItemAtIndex(numberOfItems() - 1);
}

void NSMenu::setSubmenu_forItem(NSMenu* submenu, NSMenuItem* item)
{
  if (item && item->mMenu == this) item->setSubmenu(submenu);
}

NSArray* NSMenu::itemArray() const
{
  std::vector<NSObject*> objs(mItems.begin(), mItems.end());
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}

NSMenuItem* NSMenu::itemAtIndex(NSInteger index) const
{
  return index >= 0 && index < numberOfItems() ? mItems[static_cast<size_t>(index)] : nullptr;
}

NSInteger NSMenu::indexOfItem(const NSMenuItem* item) const
{
  auto it = std::find(mItems.begin(), mItems.end(), item);
  return it == mItems.end() ? -1 : static_cast<NSInteger>(it - mItems.begin());
}

NSInteger NSMenu::indexOfItemWithTitle(NSString* title) const
{
  for (size_t i = 0; title && i < mItems.size(); ++i)
    if (mItems[i]->mTitle->isEqualToString(title)) return static_cast<NSInteger>(i);
  return -1;
}

NSMenuItem* NSMenu::itemWithTitle(NSString* title) const
{
  return itemAtIndex(indexOfItemWithTitle(title));
}

BOOL NSMenu::ZQCanChoose(const NSMenuItem* item) const
{
  if (!item || item->mMenu != this || item->mSeparator || item->mSubmenu || !item->mEnabled || item->mHidden)
    return NO;
  if (!mAutoenables) return YES;
  if (!item->mAction) return NO;
  return !item->mTarget || item->mAction.isRespondedToBy(item->mTarget) ? YES : NO;
}

// ---------------------------------------------------------------------------------------------------------------
// Pop-up
// ---------------------------------------------------------------------------------------------------------------

namespace
{

std::vector<ZQMenuItemRecord> Snapshot(const NSMenu* menu, int depth)
{
  std::vector<ZQMenuItemRecord> items;
  for (NSInteger i = 0; i < menu->numberOfItems(); ++i)
  {
    const NSMenuItem* item = menu->itemAtIndex(i);
    ZQMenuItemRecord r;
    r.title = zqak::UTF8(item->title());
    r.separator = item->isSeparatorItem();
    r.enabled = menu->ZQCanChoose(item) || (item->hasSubmenu() && item->isEnabled());
    r.state = item->state();
    r.indentation = item->indentationLevel();
    r.hasSubmenu = item->hasSubmenu();
    if (item->submenu() && depth < 32) r.submenu = Snapshot(item->submenu(), depth + 1);
    items.push_back(std::move(r));
  }
  return items;
}

// The chain of indexes from root down to the item; empty when the item is not in root's tree.
std::vector<int> PathOf(const NSMenu* root, const NSMenuItem* item)
{
  std::vector<int> path;
  const NSMenuItem* it = item;
  while (it && it->menu())
  {
    const NSMenu* m = it->menu();
    path.insert(path.begin(), static_cast<int>(m->indexOfItem(it)));
    if (m == root) return path;
    // The item of the parent menu that holds m.
    const NSMenu* parent = m->supermenu();
    const NSMenuItem* holder = nullptr;
    for (NSInteger i = 0; parent && i < parent->numberOfItems(); ++i)
      if (parent->itemAtIndex(i)->submenu() == m) holder = parent->itemAtIndex(i);
    it = holder;
  }
  return {};
}

} // namespace

BOOL NSMenu::popUpMenuPositioningItem_atLocation_inView(NSMenuItem*, NSPoint location, NSView* view)
{
  NSAutoreleasePool pool;
  retain();
  ZQMenuRecord record;
  record.items = Snapshot(this, 0);
  record.location = location;
  record.hadView = view != nullptr;
  NSMenuItem* chosen = nullptr;
  if (!S().menuAnswers.empty())
  {
    ZQMenuAnswer answer = std::move(S().menuAnswers.front());
    S().menuAnswers.pop_front();
    chosen = answer ? answer(this) : nullptr;
    if (chosen)
    {
      const std::vector<int> path = PathOf(this, chosen);
      if (path.empty() || !chosen->menu()->ZQCanChoose(chosen))
      {
        S().errors.push_back("menu item \"" + zqak::UTF8(chosen->title()) + "\" cannot be chosen");
        chosen = nullptr;
      }
      else
      {
        record.chosen = true;
        record.chosenTitle = zqak::UTF8(chosen->title());
        record.chosenIndexes = path;
      }
    }
  }
  S().menus.push_back(record);
  if (chosen)
  {
    chosen->retain();
    const SEL action = chosen->action();
    if (NSObject* target = chosen->target())
      action.send(target, chosen);
    else if (NSWindow* key = S().keyWindow)
    {
      // No target: the first responder chain of the key window.
      for (NSResponder* r = key->firstResponder(); r; r = r->nextResponder())
        if (action.isRespondedToBy(r))
        {
          action.send(r, chosen);
          break;
        }
    }
    chosen->release();
  }
  release();
  return chosen ? YES : NO;
}

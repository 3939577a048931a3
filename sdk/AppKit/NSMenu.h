// NSMenu and NSMenuItem, with the modal pop-up menu.
//
// Stand-in: popUpMenuPositioningItem_atLocation_inView answers from the kit's script (AppKitTesting.h): the
// scripted item's action is sent to its target with the item as sender, as a user's choice would; a dismissed
// menu sends nothing. Every opened menu is recorded for tests to inspect.
#pragma once

#include <AppKit/NSView.h>

class NSMenu;

typedef NSInteger NSControlStateValue;
enum : NSControlStateValue
{
  NSControlStateValueMixed = -1,
  NSControlStateValueOff = 0,
  NSControlStateValueOn = 1,
  NSMixedState = -1,
  NSOffState = 0,
  NSOnState = 1,
};

class NSMenuItem : public NSObject
{
public:
  NSMenuItem() = default;
  // Answers this. A nil title is "", a nil key equivalent "".
  NSMenuItem* initWithTitle_action_keyEquivalent(NSString* title, SEL action, NSString* keyEquivalent);
  // A new separator item (autoreleased).
  static NSMenuItem* separatorItem();

  NSString* title() const { return mTitle; }
  void setTitle(NSString* title);
  SEL action() const { return mAction; }
  void setAction(SEL action) { mAction = std::move(action); }
  // Not retained.
  NSObject* target() const { return mTarget; }
  void setTarget(NSObject* target) { mTarget = target; }
  NSString* keyEquivalent() const { return mKeyEquivalent; }
  void setKeyEquivalent(NSString* key);
  BOOL isEnabled() const { return mEnabled; }
  void setEnabled(BOOL enabled) { mEnabled = enabled; }
  NSControlStateValue state() const { return mState; }
  void setState(NSControlStateValue state) { mState = state; }
  // 0 … 15 (larger values are taken as 15, negative as 0).
  NSInteger indentationLevel() const { return mIndentation; }
  void setIndentationLevel(NSInteger level);
  NSInteger tag() const { return mTag; }
  void setTag(NSInteger tag) { mTag = tag; }
  BOOL isSeparatorItem() const { return mSeparator; }
  BOOL isHidden() const { return mHidden; }
  void setHidden(BOOL hidden) { mHidden = hidden; }
  NSObject* representedObject() const { return mRepresented; }
  // Retains.
  void setRepresentedObject(NSObject* object);
  NSMenu* submenu() const { return mSubmenu; }
  // Retains the submenu, which takes this item's menu as its supermenu.
  void setSubmenu(NSMenu* submenu);
  BOOL hasSubmenu() const { return mSubmenu ? YES : NO; }
  // The menu that holds the item (not retained), or nil.
  NSMenu* menu() const { return mMenu; }

protected:
  ~NSMenuItem() override;

private:
  friend class NSMenu;
  NSString* mTitle = nullptr;         // retained
  SEL mAction;
  NSObject* mTarget = nullptr;
  NSString* mKeyEquivalent = nullptr; // retained
  BOOL mEnabled = YES;
  NSControlStateValue mState = NSControlStateValueOff;
  NSInteger mIndentation = 0;
  NSInteger mTag = 0;
  BOOL mSeparator = NO;
  BOOL mHidden = NO;
  NSObject* mRepresented = nullptr;   // retained
  NSMenu* mSubmenu = nullptr;         // retained
  NSMenu* mMenu = nullptr;
};

class NSMenu : public NSObject
{
public:
  NSMenu() = default;
  // Answers this; nil title is "".
  virtual NSMenu* initWithTitle(NSString* title);

  NSString* title() const { return mTitle; }
  void setTitle(NSString* title);
  // A new item added at the end; owned by the menu (not autoreleased for the caller to release).
  NSMenuItem* addItemWithTitle_action_keyEquivalent(NSString* title, SEL action, NSString* keyEquivalent);
  // Retains the item; an item already in another menu is ignored (where the platform raises an exception).
  void addItem(NSMenuItem* item);
  void insertItem_atIndex(NSMenuItem* item, NSInteger index);
  void removeItem(NSMenuItem* item);
  void removeItemAtIndex(NSInteger index);
  void removeAllItems();
  // Gives the item the submenu (see NSMenuItem::setSubmenu); nothing when the item is not in this menu.
  void setSubmenu_forItem(NSMenu* submenu, NSMenuItem* item);
  // Autoreleased snapshot.
  NSArray* itemArray() const;
  NSInteger numberOfItems() const { return static_cast<NSInteger>(mItems.size()); }
  // Nil outside the menu.
  NSMenuItem* itemAtIndex(NSInteger index) const;
  // -1 when absent.
  NSInteger indexOfItem(const NSMenuItem* item) const;
  NSInteger indexOfItemWithTitle(NSString* title) const;
  NSMenuItem* itemWithTitle(NSString* title) const;
  BOOL autoenablesItems() const { return mAutoenables; }
  void setAutoenablesItems(BOOL b) { mAutoenables = b; }
  // The menu that has this one as a submenu (not retained), or nil.
  NSMenu* supermenu() const { return mSupermenu; }
  // Whether the user could choose the item now: enabled, not a separator, no submenu; with autoenabling, it must
  // also have an action its target (or, without target, none) responds to.
  BOOL ZQCanChoose(const NSMenuItem* item) const;

  // Shows the menu modally at location (view coordinates; nil view: screen coordinates) and answers when it
  // closes: YES when an item was chosen (its action has been sent), NO when the menu was dismissed.
  BOOL popUpMenuPositioningItem_atLocation_inView(NSMenuItem* item, NSPoint location, NSView* view);

protected:
  ~NSMenu() override;

private:
  friend class NSMenuItem;
  NSString* mTitle = nullptr;       // retained
  std::vector<NSMenuItem*> mItems;  // retained
  BOOL mAutoenables = YES;
  NSMenu* mSupermenu = nullptr;
};

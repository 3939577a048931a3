// The AppKit stand-in driven through its test kit: responders, coordinates, tracking, menus, text fields,
// panels, cursors, drops, scale changes and the presented frame.
#include <AppKit/AppKitTesting.h>
#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

std::string S(const NSString* s)
{
  return s ? s->UTF8String() : "<nil>";
}

NSString* N(const char* text)
{
  return NSString::stringWithUTF8String(text);
}

class AppKitTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ZQAppKitSetMainScreen(1920, 1080, 1);
    ZQAppKitReset();
    window = ZQAppKitMakeWindow(400, 300, 1);
  }
  void TearDown() override
  {
    window->release();
    ZQAppKitReset();
  }
  std::vector<std::string> log; // outlives the window's views
  NSAutoreleasePool pool;
  NSWindow* window = nullptr;
};

// A view that logs what reaches it.
class LogView : public NSView
{
public:
  LogView(const char* name, NSRect frame, bool flipped, std::vector<std::string>* log)
    : NSView(frame), mName(name), mFlipped(flipped), mLog(log) {}
  BOOL isFlipped() const override { return mFlipped ? YES : NO; }
  BOOL acceptsFirstResponder() override { return mAccepts ? YES : NO; }
  BOOL becomeFirstResponder() override
  {
    Add("become");
    return YES;
  }
  BOOL resignFirstResponder() override
  {
    Add("resign");
    return mResign ? YES : NO;
  }
  void mouseDown(NSEvent* e) override
  {
    last = convertPoint_fromView(e->locationInWindow(), nullptr);
    clicks = e->clickCount();
    Add("down");
  }
  void mouseUp(NSEvent*) override { Add("up"); }
  void mouseDragged(NSEvent* e) override
  {
    last = convertPoint_fromView(e->locationInWindow(), nullptr);
    delta = NSMakePoint(e->deltaX(), e->deltaY());
    Add("drag");
  }
  void mouseMoved(NSEvent* e) override
  {
    last = convertPoint_fromView(e->locationInWindow(), nullptr);
    Add("moved");
  }
  void mouseEntered(NSEvent*) override { Add("entered"); }
  void mouseExited(NSEvent*) override { Add("exited"); }
  void scrollWheel(NSEvent* e) override { Add("wheel " + std::to_string(e->deltaY())); }
  void keyDown(NSEvent* e) override
  {
    if (mPassKeys)
    {
      Add("pass");
      NSView::keyDown(e);
      return;
    }
    if (e) e->retain();
    if (lastKey) lastKey->release();
    lastKey = e;
    Add("key " + S(e->charactersIgnoringModifiers()));
  }
  void viewDidMoveToWindow() override { Add(window() ? "in window" : "out of window"); }
  void viewDidChangeBackingProperties() override { Add("backing"); }
  void Add(const std::string& what)
  {
    if (mLog) mLog->push_back(mName + " " + what);
  }
  ~LogView() override
  {
    if (lastKey) lastKey->release();
  }

  std::string mName;
  bool mFlipped;
  std::vector<std::string>* mLog;
  bool mAccepts = true, mResign = true, mPassKeys = false;
  NSPoint last = NSZeroPoint, delta = NSZeroPoint;
  NSInteger clicks = 0;
  NSEvent* lastKey = nullptr;
};

// ---- Responders ----

TEST_F(AppKitTest, FirstResponderResignsBeforeTheNextBecomes)
{
  auto* a = new LogView("a", NSMakeRect(0, 0, 100, 100), true, &log);
  auto* b = new LogView("b", NSMakeRect(100, 0, 100, 100), true, &log);
  window->contentView()->addSubview(a);
  window->contentView()->addSubview(b);
  log.clear();
  EXPECT_TRUE(window->makeFirstResponder(a));
  EXPECT_TRUE(window->makeFirstResponder(b));
  EXPECT_EQ(log, (std::vector<std::string>{"a become", "a resign", "b become"}));
  EXPECT_EQ(window->firstResponder(), b);

  b->mResign = false;
  log.clear();
  EXPECT_FALSE(window->makeFirstResponder(a)) << "a responder that refuses to resign stays";
  EXPECT_EQ(window->firstResponder(), b);
  b->mResign = true;

  // Keys go to the first responder and up the chain when it passes them on.
  b->mPassKeys = true;
  auto* inner = new LogView("inner", NSMakeRect(10, 10, 20, 20), true, &log);
  b->addSubview(inner);
  inner->mPassKeys = true;
  window->makeFirstResponder(inner);
  log.clear();
  ASSERT_TRUE(ZQAppKitPressKey(window, "x"));
  EXPECT_EQ(log, (std::vector<std::string>{"inner pass", "b pass"}));

  // Removing the first responder from the window leaves the window as first responder.
  log.clear();
  inner->removeFromSuperview();
  EXPECT_EQ(window->firstResponder(), window);
  EXPECT_EQ(log, (std::vector<std::string>{"inner resign", "inner out of window"}));
  for (NSView* v : {a, b, inner}) v->release();
}

TEST_F(AppKitTest, ViewsHearWhenTheyOrAnAncestorJoinAWindowAndWhenTheScaleChanges)
{
  auto* parent = new LogView("parent", NSMakeRect(0, 0, 200, 200), false, &log);
  auto* child = new LogView("child", NSMakeRect(0, 0, 50, 50), false, &log);
  parent->addSubview(child);
  EXPECT_TRUE(log.empty());
  window->contentView()->addSubview(parent);
  EXPECT_EQ(log, (std::vector<std::string>{"parent in window", "child in window"}));
  EXPECT_EQ(child->window(), window);
  log.clear();
  ZQAppKitSetBackingScale(window, 2);
  ZQAppKitSetBackingScale(window, 2); // no change, no call
  EXPECT_EQ(window->backingScaleFactor(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"parent backing", "child backing"}));
  log.clear();
  parent->removeFromSuperview();
  EXPECT_EQ(log, (std::vector<std::string>{"parent out of window", "child out of window"}));
  EXPECT_EQ(child->window(), nullptr);
  parent->release();
  child->release();
}

// A view whose removal closes something that removes the view again, and which may be freed by the removal.
class SelfClosingView : public NSView
{
public:
  void removeFromSuperview() override
  {
    ++removals;
    if (!closing)
    {
      closing = true;
      NSView::removeFromSuperview(); // the close path removes it once more
    }
    NSView::removeFromSuperview();
  }
  static int removals;
  bool closing = false;
};
int SelfClosingView::removals = 0;

TEST_F(AppKitTest, ReentrantRemovalReleasesOnce)
{
  auto* v = new SelfClosingView();
  window->contentView()->addSubview(v);
  v->release(); // the window's tree owns it now
  ASSERT_EQ(v->retainCount(), 1u);
  SelfClosingView::removals = 0;
  v->retain();
  v->removeFromSuperview();
  EXPECT_EQ(v->retainCount(), 1u) << "the superview's reference dropped exactly once";
  EXPECT_EQ(window->contentView()->subviews()->count(), 0u);
  v->release();
}

// ---- Coordinates and mouse routing ----

TEST_F(AppKitTest, EventCoordinatesThroughFlippedAndUnflippedViews)
{
  // Content view unflipped 400 × 300; a flipped child at (50, 40) of size 200 × 100; an unflipped grandchild at
  // (10, 20) of size 40 × 30 inside the flipped child (so its top edge is 20 below the child's top).
  auto* child = new LogView("child", NSMakeRect(50, 40, 200, 100), true, &log);
  auto* grand = new LogView("grand", NSMakeRect(10, 20, 40, 30), false, &log);
  window->contentView()->addSubview(child);
  child->addSubview(grand);
  struct Case
  {
    const NSView* view;
    NSPoint local;
    NSPoint window; // worked out by hand
  };
  const Case cases[] = {
    {child, {0, 0}, {50, 140}},  // flipped origin: top left of the child
    {child, {5, 100}, {55, 40}}, // bottom edge
    {grand, {0, 0}, {60, 90}},   // unflipped origin: bottom left; bottom of grand is 20 + 30 below child top
    {grand, {40, 30}, {100, 120}},
  };
  for (const Case& c : cases)
  {
    const NSPoint w = c.view->convertPoint_toView(c.local, nullptr);
    EXPECT_DOUBLE_EQ(w.x, c.window.x);
    EXPECT_DOUBLE_EQ(w.y, c.window.y);
    const NSPoint back = c.view->convertPoint_fromView(c.window, nullptr);
    EXPECT_DOUBLE_EQ(back.x, c.local.x);
    EXPECT_DOUBLE_EQ(back.y, c.local.y);
  }
  const NSPoint g = grand->convertPoint_fromView(NSMakePoint(5, 5), child);
  EXPECT_DOUBLE_EQ(g.x, -5);
  EXPECT_DOUBLE_EQ(g.y, 45);

  // A click posted at content-view coordinates reaches the deepest view under it, which reads its own point.
  ZQAppKitClick(window, NSMakePoint(70, 100), 0, 2);
  EXPECT_EQ(log.back(), "grand up");
  EXPECT_DOUBLE_EQ(grand->last.x, 10);
  EXPECT_DOUBLE_EQ(grand->last.y, 10);
  EXPECT_EQ(grand->clicks, 2);
  EXPECT_EQ(window->firstResponder(), grand) << "a click makes an accepting view first responder";
  child->release();
  grand->release();
}

TEST_F(AppKitTest, DragsFollowTheViewThatGotTheMouseDown)
{
  auto* a = new LogView("a", NSMakeRect(0, 0, 100, 300), false, &log);
  auto* b = new LogView("b", NSMakeRect(100, 0, 300, 300), false, &log);
  window->contentView()->addSubview(a);
  window->contentView()->addSubview(b);
  log.clear();
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, NSMakePoint(50, 50));
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDragged, NSMakePoint(250, 40));
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseUp, NSMakePoint(250, 40));
  EXPECT_EQ(log, (std::vector<std::string>{"a become", "a down", "a drag", "a up"}));
  EXPECT_DOUBLE_EQ(a->delta.x, 200);
  EXPECT_DOUBLE_EQ(a->delta.y, 10) << "y deltas grow downwards";
  EXPECT_DOUBLE_EQ(a->last.x, 250);
  // Mouse moves go to the first responder when the window asks for them.
  log.clear();
  ZQAppKitMouseEvent(window, NSEventTypeMouseMoved, NSMakePoint(300, 10));
  EXPECT_TRUE(log.empty());
  window->setAcceptsMouseMovedEvents(YES);
  ZQAppKitMouseEvent(window, NSEventTypeMouseMoved, NSMakePoint(300, 10));
  EXPECT_EQ(log, (std::vector<std::string>{"a moved"}));
  // The wheel goes to the view under the pointer.
  log.clear();
  ZQAppKitScroll(window, NSMakePoint(300, 10), 3);
  EXPECT_EQ(log, (std::vector<std::string>{"b wheel 3.000000"}));
  a->release();
  b->release();
}

// ---- Tracking areas ----

TEST_F(AppKitTest, TrackingAreasHearEnteredAndExited)
{
  auto* v = new LogView("v", NSMakeRect(100, 100, 100, 100), true, &log);
  auto* dragOnly = new LogView("plain", NSMakeRect(0, 0, 400, 300), true, &log);
  window->contentView()->addSubview(v);
  auto* area = (new NSTrackingArea())->initWithRect_options_owner_userInfo(
    v->bounds(), NSTrackingMouseEnteredAndExited | NSTrackingActiveAlways | NSTrackingEnabledDuringMouseDrag, v, nullptr);
  v->addTrackingArea(area);
  auto* other = (new NSTrackingArea())->initWithRect_options_owner_userInfo(
    NSMakeRect(0, 0, 20, 20), NSTrackingMouseEnteredAndExited | NSTrackingActiveAlways, dragOnly, nullptr);
  v->addTrackingArea(other);
  log.clear();
  struct Step
  {
    NSEventType type;
    NSPoint p;
    std::vector<std::string> expect;
  };
  const Step steps[] = {
    {NSEventTypeMouseMoved, {50, 50}, {}},
    {NSEventTypeMouseMoved, {150, 150}, {"v entered"}},
    {NSEventTypeMouseMoved, {105, 195}, {"plain entered"}}, // the small area at v's top left (content is y up)
    {NSEventTypeMouseMoved, {150, 150}, {"plain exited"}},
    {NSEventTypeLeftMouseDown, {150, 150}, {"v become", "v down"}},
    // During a drag only areas enabled for drags hear it.
    {NSEventTypeLeftMouseDragged, {105, 195}, {"v drag"}},
    {NSEventTypeLeftMouseDragged, {350, 250}, {"v exited", "v drag"}},
    {NSEventTypeLeftMouseUp, {350, 250}, {"v up"}},
    {NSEventTypeMouseMoved, {150, 150}, {"v entered"}},
  };
  for (const Step& s : steps)
  {
    log.clear();
    ZQAppKitMouseEvent(window, s.type, s.p);
    EXPECT_EQ(log, s.expect) << s.p.x << "," << s.p.y;
  }
  log.clear();
  ZQAppKitMouseLeaveWindow(window);
  EXPECT_EQ(log, (std::vector<std::string>{"v exited"}));
  // A removed area is silent.
  v->removeTrackingArea(area);
  log.clear();
  ZQAppKitMouseEvent(window, NSEventTypeMouseMoved, NSMakePoint(150, 150));
  EXPECT_TRUE(log.empty());
  area->release();
  other->release();
  v->release();
  dragOnly->release();
}

// ---- Keys ----

TEST_F(AppKitTest, KeysCarryThePlatformsCodesCharactersAndFlags)
{
  auto* v = new LogView("v", NSMakeRect(0, 0, 400, 300), true, &log);
  window->contentView()->addSubview(v);
  window->makeFirstResponder(v);
  struct Case
  {
    const char* key;
    NSEventModifierFlags flags;
    unsigned short code;
    std::u16string chars, plain;
    NSEventModifierFlags expectFlags;
  };
  const NSEventModifierFlags shift = NSEventModifierFlagShift, cmd = NSEventModifierFlagCommand;
  const NSEventModifierFlags ctrl = NSEventModifierFlagControl, fn = NSEventModifierFlagFunction;
  const NSEventModifierFlags pad = NSEventModifierFlagNumericPad;
  const Case cases[] = {
    {"a", 0, 0, u"a", u"a", 0},
    {"A", 0, 0, u"A", u"A", shift},
    {"a", cmd, 0, u"a", u"a", cmd},
    {"a", ctrl, 0, u"\x01", u"a", ctrl},
    {"1", 0, 18, u"1", u"1", 0},
    {"+", 0, 24, u"+", u"+", shift},
    {"plus", 0, 24, u"+", u"+", shift},
    {"at", 0, 19, u"@", u"@", shift},
    {"return", 0, 36, u"\r", u"\r", 0},
    {"enter", 0, 76, u"\x03", u"\x03", pad},
    {"tab", 0, 48, u"\t", u"\t", 0},
    {"tab", shift, 48, u"\x19", u"\x19", shift},
    {"escape", 0, 53, u"\x1b", u"\x1b", 0},
    {"backspace", 0, 51, u"\x7f", u"\x7f", 0},
    {"delete", 0, 117, u"\uF728", u"\uF728", fn},
    {"left", 0, 123, u"\uF702", u"\uF702", fn | pad},
    {"up", 0, 126, u"\uF700", u"\uF700", fn | pad},
    {"f1", 0, 122, u"\uF704", u"\uF704", fn},
    {"\xC3\xA9", 0, 0, u"\u00E9", u"\u00E9", 0},
  };
  for (const Case& c : cases)
  {
    if (v->lastKey) v->lastKey->release();
    v->lastKey = nullptr;
    ASSERT_TRUE(ZQAppKitPressKey(window, c.key, c.flags)) << c.key;
    ASSERT_NE(v->lastKey, nullptr);
    NSEvent* e = v->lastKey;
    EXPECT_EQ(e->type(), NSEventTypeKeyDown);
    EXPECT_EQ(e->keyCode(), c.code) << c.key;
    std::u16string chars, plain;
    for (NSUInteger i = 0; i < e->characters()->length(); ++i) chars.push_back(e->characters()->characterAtIndex(i));
    for (NSUInteger i = 0; i < e->charactersIgnoringModifiers()->length(); ++i)
      plain.push_back(e->charactersIgnoringModifiers()->characterAtIndex(i));
    EXPECT_TRUE(chars == c.chars) << c.key;
    EXPECT_TRUE(plain == c.plain) << c.key;
    EXPECT_EQ(e->modifierFlags(), c.expectFlags) << c.key;
  }
  EXPECT_FALSE(ZQAppKitPressKey(window, "hyper"));
  v->release();
}

// ---- Menus ----

class MenuTarget : public NSObject
{
public:
  void chosen(NSObject* sender)
  {
    auto* item = dynamic_cast<NSMenuItem*>(sender);
    picks.push_back(item ? S(item->title()) : "<not an item>");
  }
  std::vector<std::string> picks;
};

NSMenu* BuildMenu(MenuTarget* target)
{
  const SEL action = ZQSelector("chosen:", &MenuTarget::chosen);
  NSMenu* menu = (new NSMenu())->initWithTitle(N(""));
  menu->setAutoenablesItems(NO);
  for (const char* t : {"Mode A", "Mode B"}) menu->addItemWithTitle_action_keyEquivalent(N(t), action, N(""))->setTarget(target);
  menu->addItem(NSMenuItem::separatorItem());
  NSMenuItem* parent = menu->addItemWithTitle_action_keyEquivalent(N("Link"), SEL(), N(""));
  NSMenu* sub = (new NSMenu())->initWithTitle(N(""));
  sub->setAutoenablesItems(NO);
  for (const char* t : {"1", "2 (Sender)", "3"}) sub->addItemWithTitle_action_keyEquivalent(N(t), action, N(""))->setTarget(target);
  sub->itemAtIndex(2)->setEnabled(NO);
  sub->itemAtIndex(2)->setState(NSControlStateValueOn);
  menu->setSubmenu_forItem(sub, parent);
  sub->release();
  return menu;
}

TEST_F(AppKitTest, ScriptedMenusChooseInSubmenusAndDismiss)
{
  auto* target = new MenuTarget();
  NSMenu* menu = BuildMenu(target);
  NSView* view = window->contentView();

  ZQAppKitScriptMenuPath("Link/2");
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(10, 24), view));
  EXPECT_EQ(target->picks, (std::vector<std::string>{"2 (Sender)"})) << "the action went to the target, sender the item";

  ZQAppKitScriptMenuDismiss();
  EXPECT_FALSE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks.size(), 1u) << "a dismissed menu sends nothing";

  ZQAppKitScriptMenuPath("#3/#1"); // separators are not counted: #3 is "Link"
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks.back(), "1");

  ZQAppKitScriptMenuPath("Link/3"); // disabled: an error, and the menu is dismissed
  EXPECT_FALSE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  ZQAppKitScriptMenuPath("Mod"); // a text matches whole words only: "Mod" is neither "Mode A" nor "Mod …"
  EXPECT_FALSE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  ZQAppKitScriptMenuPath("Mode"); // the text followed by a space: "Mode A", the first such item
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks.back(), "Mode A");
  ZQAppKitScriptMenu([](NSMenu* m) { return m->itemAtIndex(1); });
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks.back(), "Mode B");
  EXPECT_EQ(ZQAppKitScriptErrors().size(), 2u);
  EXPECT_EQ(ZQAppKitPendingMenuAnswers(), 0u);

  const auto& records = ZQAppKitMenuRecords();
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[0].chosenIndexes, (std::vector<int>{3, 1}));
  EXPECT_FALSE(records[1].chosen);

  // The structure answers the platform's queries.
  NSMenuItem* two = menu->itemAtIndex(3)->submenu()->itemAtIndex(1);
  EXPECT_EQ(two->menu(), menu->itemAtIndex(3)->submenu());
  EXPECT_EQ(two->menu()->indexOfItem(two), 1);
  EXPECT_EQ(two->menu()->supermenu(), menu);
  EXPECT_EQ(menu->indexOfItem(two), -1);
  menu->release();
  target->release();
}

// ---- Text fields and formatters ----

class DigitsFormatter : public NSFormatter
{
public:
  BOOL isPartialStringValid_newEditingString_errorDescription(NSString* partial, NSString**, NSString**) override
  {
    ++checks;
    NSCharacterSet* set = NSCharacterSet::characterSetWithCharactersInString(N("0123456789.-"));
    for (NSUInteger i = 0; i < partial->length(); ++i)
      if (!set->characterIsMember(partial->characterAtIndex(i))) return NO;
    return partial->length() <= 5 ? YES : NO;
  }
  int checks = 0;
};

class FieldDelegate : public NSObject, public NSTextFieldDelegate
{
public:
  void controlTextDidEndEditing(NSNotification* n) override
  {
    auto* field = dynamic_cast<NSTextField*>(n->object());
    ended.push_back(field ? S(field->stringValue()) : "<no field>");
    if (removeOnEnd && field)
    {
      field->setDelegate(nullptr);
      field->removeFromSuperview();
    }
  }
  std::vector<std::string> ended;
  bool removeOnEnd = false;
};

TEST_F(AppKitTest, TypingGoesThroughTheFormatterAndReturnEndsEditing)
{
  auto* field = new NSTextField();
  field->initWithFrame(NSMakeRect(20, 20, 120, 24));
  auto* formatter = new DigitsFormatter();
  field->setFormatter(formatter);
  field->setStringValue(N("12"));
  auto* delegate = new FieldDelegate();
  field->setDelegate(delegate);
  window->contentView()->addSubview(field);
  ASSERT_TRUE(window->makeFirstResponder(field));
  ASSERT_EQ(ZQAppKitFocusedTextField(window), field);
  EXPECT_EQ(field->currentEditor()->selectedRange().length, 2u) << "editing starts with everything selected";

  EXPECT_EQ(ZQAppKitTypeText(window, "3e.5"), 4);
  EXPECT_EQ(S(field->currentEditor()->string()), "3.5") << "the first key replaced the selection; 'e' was refused";
  EXPECT_EQ(formatter->checks, 4);
  ZQAppKitTypeText(window, "-12"); // "3.5-1" is 5 long; the sixth character is refused
  EXPECT_EQ(S(field->currentEditor()->string()), "3.5-1");
  ZQAppKitPressKey(window, "backspace");
  ZQAppKitPressKey(window, "left");
  ZQAppKitPressKey(window, "backspace");
  EXPECT_EQ(S(field->currentEditor()->string()), "3.-");
  EXPECT_EQ(S(field->stringValue()), "12") << "the value changes only when editing ends";
  EXPECT_TRUE(delegate->ended.empty());

  delegate->removeOnEnd = true;
  ZQAppKitPressKey(window, "return");
  EXPECT_EQ(delegate->ended, (std::vector<std::string>{"3.-"}));
  EXPECT_EQ(field->superview(), nullptr) << "the delegate closed the field from its callback";
  EXPECT_EQ(window->firstResponder(), window);
  EXPECT_EQ(ZQAppKitFocusedTextField(window), nullptr);
  field->release();
  formatter->release();
  delegate->release();
}

TEST_F(AppKitTest, LosingFocusEndsEditingOnce)
{
  auto* other = new LogView("other", NSMakeRect(200, 0, 200, 300), true, &log);
  window->contentView()->addSubview(other);
  auto* field = new NSTextField();
  field->initWithFrame(NSMakeRect(0, 0, 100, 20));
  auto* delegate = new FieldDelegate();
  delegate->removeOnEnd = true;
  field->setDelegate(delegate);
  window->contentView()->addSubview(field);
  window->makeFirstResponder(field);
  ZQAppKitTypeText(window, "ab");
  ZQAppKitClick(window, NSMakePoint(300, 150)); // a click elsewhere takes the focus
  EXPECT_EQ(delegate->ended, (std::vector<std::string>{"ab"}));
  EXPECT_EQ(window->firstResponder(), other);
  field->release();
  delegate->release();
  other->release();
}

class CentringCell : public NSTextFieldCell
{
public:
  NSRect drawingRectForBounds(NSRect r) override
  {
    NSRect d = NSTextFieldCell::drawingRectForBounds(r);
    const CGFloat dh = d.size.height - cellSize().height;
    d.size.height -= dh;
    d.origin.y += dh * 0.5;
    return d;
  }
  void selectWithFrame_inView_editor_delegate_start_length(NSRect f, NSView* v, NSText* e, NSObject* d, NSInteger s,
                                                           NSInteger l) override
  {
    NSTextFieldCell::selectWithFrame_inView_editor_delegate_start_length(drawingRectForBounds(f), v, e, d, s, l);
  }
};

TEST_F(AppKitTest, TheCellPlacesTheFieldEditor)
{
  auto* field = new NSTextField();
  field->initWithFrame(NSMakeRect(0, 0, 100, 40));
  auto* cell = new CentringCell();
  cell->initTextCell(N("textfield"));
  cell->setFont(NSFont::systemFontOfSize(10));
  field->setCell(cell);
  window->contentView()->addSubview(field);
  EXPECT_FALSE(window->makeFirstResponder(field)) << "a new text cell is neither editable nor selectable";
  cell->setEditable(YES);
  ASSERT_TRUE(window->makeFirstResponder(field));
  ASSERT_NE(field->currentEditor(), nullptr);
  // Borderless: inset 2 horizontally; line height ceil(10 × 1.2) = 12, centred in 40.
  const NSRect f = field->currentEditor()->frame();
  EXPECT_DOUBLE_EQ(f.origin.x, 2);
  EXPECT_DOUBLE_EQ(f.size.width, 96);
  EXPECT_DOUBLE_EQ(f.size.height, 12);
  EXPECT_DOUBLE_EQ(f.origin.y, 14);
  cell->release();
  field->release();
}

// ---- Notifications the view listens to ----

class FrameWatcher : public NSObject
{
public:
  void changed(NSNotification* n) { names.push_back(S(n->name())); }
  std::vector<std::string> names;
};

TEST_F(AppKitTest, FrameChangesAndKeyResignationPostNotifications)
{
  auto* watcher = new FrameWatcher();
  auto* view = new NSView(NSMakeRect(0, 0, 10, 10));
  NSNotificationCenter* nc = NSNotificationCenter::defaultCenter();
  const SEL sel = ZQSelector("changed:", &FrameWatcher::changed);
  nc->addObserver_selector_name_object(watcher, sel, NSViewFrameDidChangeNotification, view);
  nc->addObserver_selector_name_object(watcher, sel, NSWindowDidResignKeyNotification, window);
  nc->addObserver_selector_name_object(watcher, sel, NSWindowDidResignMainNotification, window);
  view->setFrameSize(NSMakeSize(20, 10));
  view->setFrameSize(NSMakeSize(20, 10)); // unchanged: nothing posted
  EXPECT_TRUE(window->isKeyWindow());
  NSWindow* second = ZQAppKitMakeWindow(100, 100, 1);
  EXPECT_FALSE(window->isKeyWindow());
  EXPECT_TRUE(second->isKeyWindow());
  EXPECT_EQ(watcher->names, (std::vector<std::string>{"NSViewFrameDidChangeNotification",
                                                      "NSWindowDidResignKeyNotification",
                                                      "NSWindowDidResignMainNotification"}));
  nc->removeObserver(watcher);
  second->release();
  view->release();
  watcher->release();
}

// ---- Panels, alerts, colour panel ----

TEST_F(AppKitTest, AlertsAnswerFromTheScript)
{
  // Message boxes through IGraphicsMac check the buttons and records; here what they don't reach.
  EXPECT_EQ(NSRunAlertPanel(N("T"), N("%@ and 100%%"), nullptr, nullptr, nullptr, N("x")), NSAlertDefaultReturn);
  EXPECT_EQ(ZQAppKitAlertRecords().back().message, "x and 100%");
  ZQAppKitScriptAlert(2); // a missing button: an error, and the default
  EXPECT_EQ(NSRunAlertPanel(N("T"), N("%@"), N("OK"), nullptr, nullptr, N("x")), NSAlertDefaultReturn);
  EXPECT_EQ(ZQAppKitScriptErrors().size(), 1u);

  auto* alert = new NSAlert();
  alert->addButtonWithTitle(N("First"));
  alert->addButtonWithTitle(N("Second"));
  ZQAppKitScriptAlert(2);
  EXPECT_EQ(alert->runModal(), NSAlertSecondButtonReturn);
  alert->release();
}

TEST_F(AppKitTest, FilePanelsAnswerFromTheScriptAndRecordTheirSettings)
{
  NSSavePanel* save = NSSavePanel::savePanel();
  NSObject* types[] = {N("fxp"), N("fxb")};
  save->setAllowedFileTypes(NSArray::arrayWithObjects_count(types, 2));
  save->setAllowsOtherFileTypes(NO);
  save->setFloatingPanel(YES);
  ZQAppKitScriptFilePanel(true, {"/tmp/presets/mine"});
  EXPECT_EQ(save->runModalForDirectory_file(N("/tmp/presets"), N("start.fxp")), NSModalResponseOK);
  EXPECT_EQ(S(save->URL()->path()), "/tmp/presets/mine.fxp") << "the first allowed type is added";

  NSOpenPanel* open = NSOpenPanel::openPanel();
  open->setCanChooseFiles(YES);
  open->setCanChooseDirectories(NO);
  open->setResolvesAliases(YES);
  EXPECT_EQ(open->runModalForDirectory_file_types(N("/tmp"), nullptr, nullptr), NSModalResponseCancel)
    << "unscripted panels cancel";
  EXPECT_EQ(open->URLs()->count(), 0u);
  ZQAppKitScriptFilePanel(true, {"/a/one.wav", "/a/two.wav"});
  EXPECT_EQ(open->runModal(), NSModalResponseOK);
  EXPECT_EQ(open->URLs()->count(), 2u);
  ZQAppKitScriptFilePanel(false);
  EXPECT_EQ(open->runModal(), NSModalResponseCancel);

  const auto& r = ZQAppKitFilePanelRecords();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_TRUE(r[0].floating);
  EXPECT_TRUE(r[1].resolvesAliases);
}

class ColourTarget : public NSObject
{
public:
  void picked(NSColorPanel* panel)
  {
    NSColor* c = panel->color();
    got.push_back({c->redComponent(), c->greenComponent(), c->blueComponent(), c->alphaComponent()});
  }
  std::vector<std::vector<double>> got;
};

TEST_F(AppKitTest, ColourPanelSendsItsActionWhenAColourIsPicked)
{
  auto* target = new ColourTarget();
  EXPECT_FALSE(ZQAppKitPickColor(1, 0, 0, 1)) << "no panel yet, or not shown";
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  EXPECT_TRUE(NSColorPanel::sharedColorPanelExists());
  panel->setTarget(target);
  panel->setShowsAlpha(YES);
  panel->setAction(ZQSelector("onColorPicked:", &ColourTarget::picked));
  panel->setColor(NSColor::colorWithDeviceRed_green_blue_alpha(0.2, 0.4, 0.6, 1.5));
  EXPECT_DOUBLE_EQ(panel->color()->alphaComponent(), 1.0) << "components are clamped";
  EXPECT_TRUE(target->got.empty()) << "setting the colour sends nothing";
  EXPECT_FALSE(ZQAppKitPickColor(1, 0, 0, 1));
  panel->orderFront(nullptr);
  EXPECT_TRUE(ZQAppKitPickColor(1, 0.5, 0, 0.25));
  EXPECT_TRUE(ZQAppKitPickColor(0, 0, 1, 1));
  ASSERT_EQ(target->got.size(), 2u);
  EXPECT_EQ(target->got[0], (std::vector<double>{1, 0.5, 0, 0.25}));
  panel->close();
  EXPECT_FALSE(ZQAppKitPickColor(0, 0, 0, 1));
  panel->setTarget(nullptr);
  target->release();
}

// ---- Cursor ----

TEST_F(AppKitTest, CursorHidingCountsAndWarpsMoveThePointer)
{
  EXPECT_STREQ(ZQAppKitCurrentCursor()->ZQName(), "arrow");
  NSCursor::IBeamCursor()->set();
  EXPECT_EQ(NSCursor::currentCursor(), NSCursor::IBeamCursor());
  EXPECT_FALSE(NSCursor::respondsToClassSelector("_windowResizeNorthCursor"));
  EXPECT_TRUE(NSCursor::respondsToClassSelector("resizeUpDownCursor"));
  CGDisplayHideCursor(CGMainDisplayID());
  NSCursor::hide();
  EXPECT_EQ(ZQAppKitCursorHideCount(), 2);
  CGDisplayShowCursor(CGMainDisplayID());
  NSCursor::unhide();
  NSCursor::unhide(); // extra: ignored
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);

  // Display coordinates run down from the top; AppKit's screen coordinates up from the bottom.
  EXPECT_EQ(CGDisplayPixelsHigh(CGMainDisplayID()), 1080u);
  CGWarpMouseCursorPosition(CGPointMake(300, 80));
  EXPECT_DOUBLE_EQ(NSEvent::mouseLocation().x, 300);
  EXPECT_DOUBLE_EQ(NSEvent::mouseLocation().y, 1000);
  EXPECT_EQ(ZQAppKitCursorWarpCount(), 1);

  // A hand's motion continues from the warped point; with the cursor dissociated only the deltas move.
  auto* v = new LogView("v", NSMakeRect(0, 0, 400, 300), true, &log);
  window->contentView()->addSubview(v);
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, NSMakePoint(100, 100));
  const NSPoint before = ZQAppKitCursorLocation();
  ZQAppKitMouseMotion(window, NSEventTypeLeftMouseDragged, 5, 3);
  // The kit's points are the (unflipped, 300 high) content view's: (100, 100) is y 200 in the flipped v, and the
  // hand moved 3 down.
  EXPECT_DOUBLE_EQ(v->last.x, 105);
  EXPECT_DOUBLE_EQ(v->last.y, 203);
  CGAssociateMouseAndMouseCursorPosition(false);
  ZQAppKitMouseMotion(window, NSEventTypeLeftMouseDragged, 5, 3);
  EXPECT_DOUBLE_EQ(v->last.x, 105);
  EXPECT_DOUBLE_EQ(v->delta.x, 5);
  CGAssociateMouseAndMouseCursorPosition(true);
  EXPECT_DOUBLE_EQ(ZQAppKitCursorLocation().x, before.x + 5);
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseUp, NSMakePoint(105, 103));
  v->release();
}

// ---- Tooltips and drops ----

class TipView : public NSView, public NSViewToolTipOwner
{
public:
  BOOL isFlipped() const override { return YES; }
  NSString* view_stringForToolTip_point_userData(NSView*, NSToolTipTag tag, NSPoint, void*) override
  {
    return NSString::stringWithFormat("tip %ld", tag == firstTag ? 1L : 2L);
  }
  NSDragOperation draggingEntered(NSDraggingInfo* info) override
  {
    return info->draggingPasteboard()->types()->containsObject(NSFilenamesPboardType) ? NSDragOperationGeneric
                                                                                      : NSDragOperationNone;
  }
  BOOL performDragOperation(NSDraggingInfo* info) override
  {
    auto* list = dynamic_cast<NSArray*>(info->draggingPasteboard()->propertyListForType(NSFilenamesPboardType));
    dropped = list ? S(static_cast<NSString*>(list->firstObject())) : "";
    at = convertPoint_fromView(info->draggingLocation(), nullptr);
    return YES;
  }
  NSToolTipTag firstTag = 0;
  std::string dropped;
  NSPoint at = NSZeroPoint;
};

TEST_F(AppKitTest, TooltipsAskTheirOwnerAndDropsCarryFileNames)
{
  auto* v = new TipView();
  v->initWithFrame(NSMakeRect(0, 0, 400, 300));
  window->contentView()->addSubview(v);
  v->firstTag = v->addToolTipRect_owner_userData(NSMakeRect(10, 10, 50, 20), v, nullptr);
  v->addToolTipRect_owner_userData(NSMakeRect(100, 10, 50, 20), v, nullptr);
  EXPECT_EQ(ZQAppKitToolTipRects(v).size(), 2u);
  EXPECT_EQ(ZQAppKitToolTipText(v, NSMakePoint(20, 15)), "tip 1");
  EXPECT_EQ(ZQAppKitToolTipText(v, NSMakePoint(120, 15)), "tip 2");
  EXPECT_EQ(ZQAppKitToolTipText(v, NSMakePoint(80, 15)), "");
  v->removeAllToolTips();
  EXPECT_EQ(ZQAppKitToolTipText(v, NSMakePoint(20, 15)), "");

  NSDragOperation op = 0;
  BOOL done = NO;
  EXPECT_FALSE(ZQAppKitDropFiles(window, NSMakePoint(30, 40), {"/x/a.wav"}, &op, &done)) << "not registered yet";
  NSObject* t = NSFilenamesPboardType;
  v->registerForDraggedTypes(NSArray::arrayWithObjects_count(&t, 1));
  EXPECT_TRUE(ZQAppKitDropFiles(window, NSMakePoint(30, 40), {"/x/a.wav", "/x/b.wav"}, &op, &done));
  EXPECT_EQ(op, NSDragOperationGeneric);
  EXPECT_TRUE(done);
  EXPECT_EQ(v->dropped, "/x/a.wav");
  EXPECT_DOUBLE_EQ(v->at.x, 30);
  EXPECT_DOUBLE_EQ(v->at.y, 260) << "content point (30, 40) is 40 above the bottom of the flipped, 300 high view";
  v->release();
}

// ---- Frames ----

TEST_F(AppKitTest, TheLastPresentedFrameReadsBackAsRGBA)
{
  ZQAppKitSetBackingScale(window, 2);
  NSView* v = window->contentView();
  v->setWantsLayer(YES);
  CAMetalLayer* layer = CAMetalLayer::layer();
  MTLDevice* device = MTLCreateSystemDefaultDevice();
  layer->setDevice(device);
  layer->setPixelFormat(MTLPixelFormatBGRA8Unorm);
  layer->setDrawableSize(CGSizeMake(4, 2));
  v->setLayer(layer);
  ZQFrame frame;
  EXPECT_FALSE(ZQAppKitLastFrame(window, &frame)) << "nothing presented yet";
  {
    NSAutoreleasePool inner;
    CAMetalDrawable* d = layer->nextDrawable();
    ASSERT_NE(d, nullptr);
    // BGRA, premultiplied: opaque red, half-transparent green (premultiplied 0x80), then black and white.
    const uint8_t px[4 * 2 * 4] = {0, 0, 255, 255, 0, 128, 0, 128, 0, 0, 0, 255, 255, 255, 255, 255,
                                   0, 0, 255, 255, 0, 128, 0, 128, 0, 0, 0, 255, 255, 255, 255, 255};
    d->texture()->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 4, 2), 0, px, 16);
    d->present();
  }
  ASSERT_TRUE(ZQAppKitLastFrame(window, &frame));
  EXPECT_EQ(frame.width, 4u);
  EXPECT_EQ(frame.height, 2u);
  EXPECT_EQ(frame.presented, 1u);
  const std::vector<uint8_t> firstRow(frame.rgba.begin(), frame.rgba.begin() + 16);
  EXPECT_EQ(firstRow, (std::vector<uint8_t>{255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 0, 255, 255, 255, 255, 255}));
  const auto png = std::filesystem::temp_directory_path() / "zq_appkit_frame.png";
  ASSERT_TRUE(ZQAppKitSaveFrame(window, png.c_str()));
  // Cairo reads back what was written (premultiplied ARGB in native words).
  cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(s), 4);
  const auto* argb = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
  EXPECT_EQ(argb[0], 0xFFFF0000u);
  EXPECT_EQ(argb[1], 0x80008000u);
  cairo_surface_destroy(s);
  std::filesystem::remove(png);
  device->release();
}

// ---- Bitmaps ----

TEST_F(AppKitTest, ImagesFromPNGScaleToTheProposedRectangle)
{
  // A 2 × 2 PNG drawn by Cairo: red, green / blue, transparent.
  const auto png = std::filesystem::temp_directory_path() / "zq_appkit_image.png";
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  cairo_surface_flush(s);
  px[0] = 0xFFFF0000u, px[1] = 0xFF00FF00u;
  px += cairo_image_surface_get_stride(s) / 4;
  px[0] = 0xFF0000FFu, px[1] = 0x00000000u;
  cairo_surface_mark_dirty(s);
  ASSERT_EQ(cairo_surface_write_to_png(s, png.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(s);

  NSImage* image = (new NSImage())->initByReferencingFile(N(png.c_str()));
  ASSERT_NE(image, nullptr);
  EXPECT_DOUBLE_EQ(image->size().width, 2);
  NSRect r = NSMakeRect(0, 0, 4, 4);
  CGImageRef big = image->CGImageForProposedRect_context_hints(&r, nullptr, nullptr);
  ASSERT_NE(big, nullptr);
  ASSERT_EQ(CGImageGetWidth(big), 4u);
  // Read it back through a bitmap context: nearest sampling doubles each pixel.
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef ctx = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, space, kCGImageAlphaPremultipliedLast);
  CGContextDrawImage(ctx, CGRectMake(0, 0, 4, 4), big);
  const auto* out = static_cast<const uint8_t*>(CGBitmapContextGetData(ctx));
  auto at = [&](int x, int y) { return std::vector<int>(out + (y * 4 + x) * 4, out + (y * 4 + x) * 4 + 4); };
  EXPECT_EQ(at(1, 1), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(at(2, 0), (std::vector<int>{0, 255, 0, 255}));
  EXPECT_EQ(at(0, 3), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(at(3, 3), (std::vector<int>{0, 0, 0, 0}));
  CGContextRelease(ctx);
  CGColorSpaceRelease(space);
  image->release();
  EXPECT_EQ((new NSImage())->initByReferencingFile(N("/nonexistent/cursors/move/cursor.pdf")), nullptr)
    << "a missing file gives nil";
  std::filesystem::remove(png);
}

// ---- The Cocoa view factory protocol ----

class FakeFactory : public NSObject, public AUCocoaUIBase
{
public:
  unsigned interfaceVersion() override { return 0; }
  NSView* uiViewForAudioUnit_withSize(AudioUnit, NSSize size) override
  {
    return static_cast<NSView*>((new NSView(NSMakeRect(0, 0, size.width, size.height)))->autorelease());
  }
};

TEST_F(AppKitTest, AHostFindsAViewFactoryByName)
{
  ZQRegisterClass("ZQTestFactory_View", []() -> NSObject* { return new FakeFactory(); });
  Class cls = NSClassFromString(N("ZQTestFactory_View"));
  ASSERT_NE(cls, nullptr);
  NSObject* obj = cls->alloc_init();
  auto* factory = dynamic_cast<AUCocoaUIBase*>(obj);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->interfaceVersion(), 0u);
  NSView* view = factory->uiViewForAudioUnit_withSize(nullptr, NSMakeSize(424, 610));
  window->contentView()->addSubview(view);
  EXPECT_EQ(view->window(), window);
  obj->release();
  ZQUnregisterClass("ZQTestFactory_View");
  EXPECT_EQ(kAudioUnitProperty_CocoaUI, 31);
}

} // namespace

namespace
{

// ---- Appearance, and views that go away in the middle of their own events ----

class AppearanceView : public NSView
{
public:
  void viewDidChangeEffectiveAppearance() override { names.push_back(S(effectiveAppearance()->name())); }
  std::vector<std::string> names;
};

TEST_F(AppKitTest, AContentViewRemovedFromItsWindowLeavesIt)
{
  auto* v = new LogView("content", NSMakeRect(0, 0, 1, 1), true, &log);
  window->setContentView(v);
  EXPECT_DOUBLE_EQ(v->frame().size.width, 400) << "the content view takes the content size";
  window->makeFirstResponder(v);
  log.clear();
  v->removeFromSuperview();
  EXPECT_EQ(window->contentView(), nullptr);
  EXPECT_EQ(window->firstResponder(), window);
  EXPECT_EQ(log, (std::vector<std::string>{"content resign", "content out of window"}));
  EXPECT_EQ(v->retainCount(), 1u);
  v->release();
}

TEST_F(AppKitTest, MovingAViewDoesNotRemoveItThroughItsOverride)
{
  auto* v = new SelfClosingView();
  auto* holder = new NSView(NSMakeRect(0, 0, 50, 50));
  window->contentView()->addSubview(v);
  window->contentView()->addSubview(holder);
  SelfClosingView::removals = 0;
  holder->addSubview(v); // a move, not a removal
  window->setContentView(v);
  EXPECT_EQ(SelfClosingView::removals, 0);
  EXPECT_EQ(v->superview(), nullptr);
  EXPECT_EQ(window->contentView(), v);
  EXPECT_EQ(holder->subviews()->count(), 0u);
  EXPECT_EQ(v->retainCount(), 2u); // ours and the window's
  holder->release();
  v->release();
}

TEST_F(AppKitTest, AppearanceChangesReachEveryViewThatInheritsThem)
{
  auto* inherits = new AppearanceView();
  auto* pinned = new AppearanceView();
  window->contentView()->addSubview(inherits);
  window->contentView()->addSubview(pinned);
  pinned->setAppearance(NSAppearance::appearanceNamed(NSAppearanceNameAqua));
  pinned->names.clear();
  EXPECT_EQ(S(inherits->effectiveAppearance()->name()), "NSAppearanceNameAqua");
  ZQAppKitSetAppearance(NSAppearanceNameDarkAqua);
  EXPECT_EQ(inherits->names, (std::vector<std::string>{"NSAppearanceNameDarkAqua"}));
  EXPECT_EQ(S(pinned->effectiveAppearance()->name()), "NSAppearanceNameAqua") << "its own appearance wins";
  inherits->release();
  pinned->release();
}

class VanishingView : public NSView
{
public:
  void mouseDown(NSEvent*) override
  {
    removeFromSuperview(); // e.g. an editor that closes on a click
    release();             // and its owner lets go of it
  }
};

TEST_F(AppKitTest, AViewMayLeaveAndDieInsideItsOwnMouseDown)
{
  auto* v = new VanishingView();
  v->initWithFrame(NSMakeRect(0, 0, 100, 100));
  window->contentView()->addSubview(v); // now held twice: by us (released in mouseDown) and the content view
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, NSMakePoint(50, 50));
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDragged, NSMakePoint(60, 50));
  ZQAppKitMouseEvent(window, NSEventTypeLeftMouseUp, NSMakePoint(60, 50));
  EXPECT_EQ(window->contentView()->subviews()->count(), 0u);
}

TEST_F(AppKitTest, AutoenabledItemsNeedATargetThatAnswers)
{
  auto* target = new MenuTarget();
  NSMenu* menu = (new NSMenu())->initWithTitle(N("auto"));
  NSMenuItem* ok = menu->addItemWithTitle_action_keyEquivalent(N("Answered"), ZQSelector("chosen:", &MenuTarget::chosen), N(""));
  ok->setTarget(target);
  NSMenuItem* wrong = menu->addItemWithTitle_action_keyEquivalent(N("Unanswered"), ZQSelector("chosen:", &MenuTarget::chosen), N(""));
  wrong->setTarget(window); // a window does not answer chosen:
  NSMenuItem* none = menu->addItemWithTitle_action_keyEquivalent(N("No action"), SEL(), N(""));
  none->setTarget(target);
  EXPECT_TRUE(menu->ZQCanChoose(ok));
  EXPECT_FALSE(menu->ZQCanChoose(wrong));
  EXPECT_FALSE(menu->ZQCanChoose(none));
  menu->setAutoenablesItems(NO);
  EXPECT_TRUE(menu->ZQCanChoose(wrong)) << "without autoenabling the enabled flag alone decides";
  std::string error;
  EXPECT_EQ(ZQAppKitMenuItemAtPath(menu, "#2", &error), wrong);
  EXPECT_EQ(ZQAppKitMenuItemAtPath(menu, "Missing", &error), nullptr);
  EXPECT_NE(error.find("Missing"), std::string::npos);
  EXPECT_EQ(ZQAppKitMenuItemAtPath(menu, "none", &error), nullptr);
  EXPECT_TRUE(error.empty());
  menu->release();
  target->release();
}

} // namespace

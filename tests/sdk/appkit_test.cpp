// The AppKit stand-in driven through its test kit, where the Cocoa view's own tests do not reach: responders,
// views removed inside their own calls, key codes, menu paths, the field editor's place, the frame read-back.
#include <AppKit/AppKitTesting.h>
#include <gtest/gtest.h>

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
  LogView(const char* name, NSRect frame, std::vector<std::string>* log) : NSView(frame), mName(name), mLog(log) {}
  BOOL acceptsFirstResponder() override { return YES; }
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
  void Add(const std::string& what)
  {
    if (mLog) mLog->push_back(mName + " " + what);
  }
  ~LogView() override
  {
    if (lastKey) lastKey->release();
  }

  std::string mName;
  std::vector<std::string>* mLog;
  bool mResign = true, mPassKeys = false;
  NSEvent* lastKey = nullptr;
};

// ---- Responders, and views that go away in the middle of their own calls ----

TEST_F(AppKitTest, FirstResponderResignsBeforeTheNextBecomesAndKeysClimbTheChain)
{
  auto* a = new LogView("a", NSMakeRect(0, 0, 100, 100), &log);
  auto* b = new LogView("b", NSMakeRect(100, 0, 100, 100), &log);
  window->contentView()->addSubview(a);
  window->contentView()->addSubview(b);
  log.clear();
  EXPECT_TRUE(window->makeFirstResponder(a));
  EXPECT_TRUE(window->makeFirstResponder(b));
  EXPECT_EQ(log, (std::vector<std::string>{"a become", "a resign", "b become"}));
  b->mResign = false;
  EXPECT_FALSE(window->makeFirstResponder(a)) << "a responder that refuses to resign stays";
  EXPECT_EQ(window->firstResponder(), b);
  b->mResign = true;

  // Keys go to the first responder and up the chain when it passes them on.
  b->mPassKeys = true;
  auto* inner = new LogView("inner", NSMakeRect(10, 10, 20, 20), &log);
  b->addSubview(inner);
  inner->mPassKeys = true;
  window->makeFirstResponder(inner);
  log.clear();
  ASSERT_TRUE(ZQAppKitPressKey(window, "x"));
  EXPECT_EQ(log, (std::vector<std::string>{"inner pass", "b pass"}));
  for (NSView* v : {a, b, inner}) v->release();
}

TEST_F(AppKitTest, AContentViewRemovedFromItsWindowLeavesIt)
{
  auto* v = new LogView("content", NSMakeRect(0, 0, 1, 1), &log);
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

// A removal re-entered from the override releases once; a move never goes through the override.
TEST_F(AppKitTest, ReentrantRemovalReleasesOnceAndMovesDoNotCallIt)
{
  auto* v = new SelfClosingView();
  window->contentView()->addSubview(v);
  ASSERT_EQ(v->retainCount(), 2u);
  v->removeFromSuperview();
  EXPECT_EQ(v->retainCount(), 1u) << "the superview's reference dropped exactly once";
  EXPECT_EQ(window->contentView()->subviews()->count(), 0u);

  v->closing = false;
  auto* holder = new NSView(NSMakeRect(0, 0, 50, 50));
  window->contentView()->addSubview(v);
  window->contentView()->addSubview(holder);
  SelfClosingView::removals = 0;
  holder->addSubview(v); // a move, not a removal
  window->setContentView(v);
  EXPECT_EQ(SelfClosingView::removals, 0);
  EXPECT_EQ(window->contentView(), v);
  EXPECT_EQ(holder->subviews()->count(), 0u);
  EXPECT_EQ(v->retainCount(), 2u); // ours and the window's
  holder->release();
  v->release();
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

// ---- Keys ----

TEST_F(AppKitTest, KeysCarryThePlatformsCodesCharactersAndFlags)
{
  auto* v = new LogView("v", NSMakeRect(0, 0, 400, 300), &log);
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
  const NSEventModifierFlags shift = NSEventModifierFlagShift;
  const NSEventModifierFlags ctrl = NSEventModifierFlagControl, fn = NSEventModifierFlagFunction;
  const NSEventModifierFlags pad = NSEventModifierFlagNumericPad;
  const Case cases[] = {
    {"a", ctrl, 0, u"\x01", u"a", ctrl},
    {"+", 0, 24, u"+", u"+", shift},
    {"return", 0, 36, u"\r", u"\r", 0},
    {"enter", 0, 76, u"\x03", u"\x03", pad},
    {"tab", shift, 48, u"\x19", u"\x19", shift},
    {"left", 0, 123, u"\uF702", u"\uF702", fn | pad},
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

// Path matching the Cocoa view's menu tests do not reach: indexes past separators, whole words, autoenabling.
TEST_F(AppKitTest, MenuPathsAndAutoenabledItems)
{
  auto* target = new MenuTarget();
  const SEL action = ZQSelector("chosen:", &MenuTarget::chosen);
  NSMenu* menu = (new NSMenu())->initWithTitle(N(""));
  for (const char* t : {"Mode A", "Mode B"}) menu->addItemWithTitle_action_keyEquivalent(N(t), action, N(""))->setTarget(target);
  menu->addItem(NSMenuItem::separatorItem());
  NSMenuItem* wrong = menu->addItemWithTitle_action_keyEquivalent(N("Link"), action, N(""));
  wrong->setTarget(window); // a window does not answer chosen:
  NSMenuItem* none = menu->addItemWithTitle_action_keyEquivalent(N("No action"), SEL(), N(""));
  none->setTarget(target);
  NSView* view = window->contentView();

  ZQAppKitScriptMenuPath("#2");
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks, (std::vector<std::string>{"Mode B"})) << "the action went to the target, sender the item";
  ZQAppKitScriptMenuPath("Mod"); // a text matches whole words only: "Mod" is neither "Mode A" nor "Mod …"
  EXPECT_FALSE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  ZQAppKitScriptMenuPath("Mode"); // the text followed by a space: "Mode A", the first such item
  EXPECT_TRUE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(target->picks.back(), "Mode A");
  // Separators are not counted, so #3 is "Link": autoenabled, its target does not answer: an error, and dismissed.
  ZQAppKitScriptMenuPath("#3");
  EXPECT_FALSE(menu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(0, 0), view));
  EXPECT_EQ(ZQAppKitScriptErrors().size(), 2u);
  EXPECT_EQ(ZQAppKitPendingMenuAnswers(), 0u);

  EXPECT_FALSE(menu->ZQCanChoose(none));
  menu->setAutoenablesItems(NO);
  EXPECT_TRUE(menu->ZQCanChoose(wrong)) << "without autoenabling the enabled flag alone decides";
  menu->release();
  target->release();
}

// ---- The field editor ----

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
  device->release();
}

} // namespace

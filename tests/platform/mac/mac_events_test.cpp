// Events through the Cocoa view: clicks and their counts, modifier keys, keys, the wheel and an open text field,
// native menus, native text entry, cursors.

#include "support/MacTestEditor.h"

#include "controls/IControl.h"
#include "platform/mac/IGraphicsMacNative.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace
{

std::vector<std::string> Kinds(const std::vector<ProbeEvent>& events)
{
  std::vector<std::string> k;
  for (const ProbeEvent& e : events)
    k.push_back(e.kind);
  return k;
}

TEST(MacEvents, ClickCounts)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  const NSPoint p = e.At(20, 90);
  // The second press of a double click is a double-click (its release finds no captured control); the third
  // press is a mouse-down again.
  ZQAppKitClick(e.window, p, 0, 1);
  ZQAppKitClick(e.window, p, 0, 2);
  EXPECT_EQ(Kinds(e.editor.events), (std::vector<std::string>{"down", "up", "dbl"}));
  e.editor.events.clear();
  ZQAppKitClick(e.window, p, 0, 3);
  ZQAppKitClick(e.window, p, 0, 4, true);
  EXPECT_EQ(Kinds(e.editor.events), (std::vector<std::string>{"down", "up", "dbl"}));
  EXPECT_TRUE(e.editor.events[2].mod.R);
  EXPECT_FALSE(e.editor.events[2].mod.L);
}

TEST(MacEvents, ModifierClicks)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  const NSPoint p = e.At(20, 90);
  struct Row
  {
    NSEventModifierFlags flags;
    bool right;
    bool L, R, S, C, A;
  };
  const Row rows[] = {
    {0, false, true, false, false, false, false},
    {NSEventModifierFlagCommand, false, true, true, false, false, false},
    {NSEventModifierFlagControl, false, true, false, false, true, false},
    {NSEventModifierFlagShift | NSEventModifierFlagOption, false, true, false, true, false, true},
    {0, true, false, true, false, false, false},
    {NSEventModifierFlagShift, true, false, true, true, false, false},
  };
  for (const Row& r : rows)
  {
    e.editor.events.clear();
    ZQAppKitClick(e.window, p, r.flags, 1, r.right);
    ASSERT_EQ(e.editor.events.size(), 2u);
    const IMouseMod& m = e.editor.events[0].mod;
    EXPECT_EQ(m.L, r.L);
    EXPECT_EQ(m.R, r.R);
    EXPECT_EQ(m.S, r.S);
    EXPECT_EQ(m.C, r.C);
    EXPECT_EQ(m.A, r.A);
    // A mouse-up carries no left button.
    EXPECT_FALSE(e.editor.events[1].mod.L);
  }
}

TEST(MacEvents, DragDeltasAndMouseOutAfterRelease)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDragged, e.At(25, 93));
  ASSERT_EQ(e.editor.events.size(), 2u);
  EXPECT_FLOAT_EQ(e.editor.events[1].dX, 5.f);
  EXPECT_FLOAT_EQ(e.editor.events[1].dY, 3.f);
  EXPECT_TRUE(e.editor.events[1].mod.L);
  // Out of the view with the probe captured: the mouse-out waits for the release.
  ZQAppKitMouseLeaveWindow(e.window);
  EXPECT_EQ(Kinds(e.editor.events), (std::vector<std::string>{"down", "drag"}));
  // Released outside the window.
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, NSMakePoint(50, -30));
  EXPECT_EQ(Kinds(e.editor.events), (std::vector<std::string>{"down", "drag", "up", "out"}));
  EXPECT_FALSE(e.G().ControlIsCaptured());
  // Without a capture the mouse-out comes at once.
  e.editor.events.clear();
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(20, 90));
  ZQAppKitMouseLeaveWindow(e.window);
  EXPECT_EQ(Kinds(e.editor.events), (std::vector<std::string>{"out"}));
}

TEST(MacEvents, KeysReachTheControlUnderTheMouse)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(20, 90));
  // What each key translates to is the key table's test; here the key reaches the probe, at the mouse.
  ASSERT_TRUE(ZQAppKitPressKey(e.window, "enter"));
  ASSERT_TRUE(ZQAppKitPressKey(e.window, "a"));
  ASSERT_EQ(e.editor.events.size(), 2u);
  EXPECT_EQ(e.editor.events[0].key.VK, 0x800D);
  EXPECT_STREQ(e.editor.events[1].key.utf8, "a");
  EXPECT_FLOAT_EQ(e.editor.events[0].x, 20.f);
  EXPECT_FLOAT_EQ(e.editor.events[0].y, 90.f);
}

TEST(MacEvents, TabletInputIsNotWarped)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(20, 90), 0, 1, NSEventSubtypeTabletPoint);
  EXPECT_TRUE(e.G().GetTabletInput());
  const int warps = ZQAppKitCursorWarpCount();
  e.G().MoveMouseCursor(10, 10);
  EXPECT_EQ(ZQAppKitCursorWarpCount(), warps);
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(21, 90));
  EXPECT_FALSE(e.G().GetTabletInput());
  e.G().MoveMouseCursor(10, 10);
  EXPECT_EQ(ZQAppKitCursorWarpCount(), warps + 1);
  float x = 0.f, y = 0.f;
  e.G().GetMouseLocation(x, y);
  EXPECT_NEAR(x, 10.f, 1.f);
  EXPECT_NEAR(y, 10.f, 1.f);
}

TEST(MacEvents, WheelIsUnscaled)
{
  NSAutoreleasePool pool;
  OpenEditor e(2.f, 2.f);
  ZQAppKitScroll(e.window, e.At(20, 90), 3.0);
  ASSERT_EQ(e.editor.events.size(), 1u);
  EXPECT_EQ(e.editor.events[0].kind, "wheel");
  EXPECT_FLOAT_EQ(e.editor.events[0].dX, 3.f);
  EXPECT_FLOAT_EQ(e.editor.events[0].x, 20.f);
}

// ---- Native menus ----

TEST(MacMenus, ChosenDismissedAndInSubmenus)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  // The mode caption opens a native menu of the parameter's texts.
  ZQAppKitScriptMenuPath("High");
  ZQAppKitClick(e.window, e.At(100, 58));
  EXPECT_EQ(e.editor.GetParam(kMode)->Value(), 2);
  ASSERT_EQ(ZQAppKitMenuRecords().size(), 1u);
  const ZQMenuRecord& rec = ZQAppKitMenuRecords()[0];
  ASSERT_EQ(rec.items.size(), 3u);
  EXPECT_EQ(rec.items[0].state, 1); // the current value is checked
  EXPECT_EQ(rec.items[2].state, 0);
  EXPECT_EQ(rec.location.x, 80);
  EXPECT_EQ(rec.location.y, 74);

  ZQAppKitScriptMenuDismiss();
  ZQAppKitClick(e.window, e.At(100, 58));
  EXPECT_EQ(e.editor.GetParam(kMode)->Value(), 2);
  EXPECT_EQ(ZQAppKitMenuRecords()[1].items[2].state, 1);

  // A menu with a submenu, numbered, with a separator, a disabled and an indented item.
  IPopupMenu menu("", 2);
  menu.AddItem("A");
  menu.AddItem("B", IPopupMenu::kAppend, IPopupMenu::kDisabled | IPopupMenu::kChecked);
  menu.AddSeparator();
  auto* sub = new IPopupMenu("", 1);
  sub->AddItem("X");
  sub->AddItem("Y", IPopupMenu::kAppend, IPopupMenu::kTitle);
  menu.AddSubMenuItem("More", sub);
  bool async = true;
  ZQAppKitScriptMenuPath("04: More/2: Y");
  IPopupMenu* chosen = e.G().CreatePlatformPopupMenu(menu, IRECT(10, 10, 50, 30), async);
  EXPECT_FALSE(async);
  EXPECT_EQ(chosen, sub);
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);
  const ZQMenuRecord& r = ZQAppKitMenuRecords().back();
  ASSERT_EQ(r.items.size(), 4u);
  EXPECT_EQ(r.items[0].title, "01: A");
  EXPECT_EQ(r.items[1].title, "02: B");
  EXPECT_FALSE(r.items[1].enabled);
  EXPECT_EQ(r.items[1].state, 1);
  EXPECT_TRUE(r.items[2].separator);
  EXPECT_EQ(r.items[3].title, "04: More");
  ASSERT_EQ(r.items[3].submenu.size(), 2u);
  EXPECT_EQ(r.items[3].submenu[1].title, "2: Y");
  EXPECT_EQ(r.items[3].submenu[1].indentation, 1);

  // A disabled item cannot be chosen: the script fails and the menu is dismissed.
  ZQAppKitScriptMenuPath("02: B");
  EXPECT_EQ(e.G().CreatePlatformPopupMenu(menu, IRECT(10, 10, 50, 30), async), nullptr);
  ZQAppKitScriptMenuDismiss();
  EXPECT_EQ(e.G().CreatePlatformPopupMenu(menu, IRECT(10, 10, 50, 30), async), nullptr);
  EXPECT_EQ(ZQAppKitPendingMenuAnswers(), 0u);
}

TEST(MacMenus, TwelveNumberedItemsAndASeparator)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IPopupMenu menu("", 2);
  for (int i = 0; i < 12; ++i)
    i == 3 ? (void)menu.AddSeparator() : (void)menu.AddItem(("i" + std::to_string(i)).c_str());
  bool async = false;
  ZQAppKitScriptMenuDismiss();
  e.G().CreatePlatformPopupMenu(menu, IRECT(0, 0, 10, 10), async);
  const ZQMenuRecord& r = ZQAppKitMenuRecords().back();
  ASSERT_EQ(r.items.size(), 12u);
  EXPECT_EQ(r.items[0].title, "01: i0");
  EXPECT_EQ(r.items[4].title, "05: i4");
  EXPECT_EQ(r.items[11].title, "12: i11");
}

// ---- Native text entry ----

// A click on the gain field, which opens its text entry; the field that then has the focus, or nil.
NSTextField* OpenValueEntry(OpenEditor& e)
{
  ZQAppKitClick(e.window, e.At(100, 88));
  return ZQAppKitFocusedTextField(e.window);
}

TEST(MacTextEntry, TypedValueReachesTheParameter)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  NSTextField* field = OpenValueEntry(e);
  ASSERT_NE(field, nullptr);
  EXPECT_NE(dynamic_cast<IGraphicsTextField_vZANIQ_au*>(field), nullptr);
  EXPECT_STREQ(field->stringValue()->UTF8String(), "2.5 dB");
  // The whole text is selected: typing replaces it; a refused character leaves it.
  ZQAppKitTypeText(e.window, "7.5e");
  EXPECT_STREQ(e.View()->textField()->currentEditor()->string()->UTF8String(), "7.5");
  ZQAppKitPressKey(e.window, "return");
  EXPECT_EQ(ZQAppKitFocusedTextField(e.window), nullptr);
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 7.5);
  EXPECT_EQ(e.G().GetControlInTextEntry(), nullptr);
}

TEST(MacTextEntry, LabelledTextStaysEditable)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  NSTextField* field = OpenValueEntry(e);
  ASSERT_NE(field, nullptr);
  // Caret to the start of the number: the label behind it does not block typing.
  ZQAppKitPressKey(e.window, "left");
  ZQAppKitPressKey(e.window, "1");
  EXPECT_STREQ(field->currentEditor()->string()->UTF8String(), "12.5 dB");
  ZQAppKitPressKey(e.window, "return");
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 10.0);
}

TEST(MacTextEntry, ScrollClosesTheFieldWithoutCommitting)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ASSERT_NE(OpenValueEntry(e), nullptr);
  ZQAppKitTypeText(e.window, "9");
  ZQAppKitScroll(e.window, e.At(20, 90), 1.0);
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 2.5);
  ASSERT_EQ(e.editor.events.size(), 1u);
  EXPECT_EQ(e.editor.events[0].kind, "wheel");
  // The context no longer waits for the field: drags reach the controls again.
  EXPECT_EQ(e.G().GetControlInTextEntry(), nullptr);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDragged, e.At(22, 90));
  EXPECT_EQ(e.editor.events.back().kind, "drag");
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(22, 90));
}

TEST(MacTextEntry, FieldClosedByThePlatformTellsTheContext)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ASSERT_NE(OpenValueEntry(e), nullptr);
  e.G().ForceEndUserEdit();
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_EQ(e.G().GetControlInTextEntry(), nullptr);
  // A new entry opens after it.
  EXPECT_NE(OpenValueEntry(e), nullptr);
  // The window losing key ends editing the platform's way: the typed text is the value.
  ZQAppKitTypeText(e.window, "4");
  e.window->makeFirstResponder(e.View());
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 4.0);
}

// ---- Cursors ----

TEST(MacCursor, HiddenTwiceShownTwice)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(40, 40));
  const NSPoint before = ZQAppKitCursorLocation();
  e.G().HideMouseCursor(true, true);
  e.G().HideMouseCursor(true, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 1);
  EXPECT_TRUE(e.G().GetCursorHidden());
  EXPECT_TRUE(e.G().GetCursorLocked());
  // Showing puts the cursor back where it was hidden.
  const int warps = ZQAppKitCursorWarpCount();
  e.G().HideMouseCursor(false, true);
  e.G().HideMouseCursor(false, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  EXPECT_EQ(ZQAppKitCursorWarpCount(), warps + 1);
  EXPECT_FALSE(e.G().GetCursorLocked());
  EXPECT_NEAR(ZQAppKitCursorLocation().x, before.x, 1.0);
  EXPECT_NEAR(ZQAppKitCursorLocation().y, before.y, 1.0);
}

// The window closes underneath a drag that hid the cursor: the cursor shows again.
TEST(MacCursor, ClosingTheWindowShowsTheCursor)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.G().HideMouseCursor(true, true);
  ASSERT_EQ(ZQAppKitCursorHideCount(), 1);
  e.G().CloseWindow();
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  EXPECT_FALSE(e.G().GetCursorHidden());
}

TEST(MacCursor, LockedCursorStaysPut)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  const NSPoint start = ZQAppKitCursorLocation();
  e.G().HideMouseCursor(true, true);
  for (int i = 0; i < 5; ++i)
    ZQAppKitMouseMotion(e.window, NSEventTypeLeftMouseDragged, 0, 2);
  const NSPoint now = ZQAppKitCursorLocation();
  EXPECT_NEAR(now.x, start.x, 1.0);
  EXPECT_NEAR(now.y, start.y, 1.0);
  // Each drag reports the hand's movement from the pinned point.
  ASSERT_EQ(e.editor.events.size(), 6u);
  for (int i = 1; i <= 5; ++i)
  {
    EXPECT_EQ(e.editor.events[i].kind, "drag");
    EXPECT_FLOAT_EQ(e.editor.events[i].dY, 2.f);
    EXPECT_FLOAT_EQ(e.editor.events[i].dX, 0.f);
  }
  e.G().HideMouseCursor(false, true);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(20, 90));
}

TEST(MacCursor, CursorTypes)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  struct Row
  {
    int type;
    const char* name;
  };
  const Row rows[] = {{0, "arrow"},       {1, "IBeam"},        {2, "arrow"},       {3, "crosshair"},
                      {4, "resizeUp"},    {5, "arrow"},        {7, "resizeLeftRight"}, {8, "resizeUpDown"},
                      {9, "arrow"},       {10, "operationNotAllowed"}, {11, "pointingHand"}, {13, "arrow"},
                      {42, "arrow"}};
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.type);
    e.G().SetMouseCursor(static_cast<ECursor>(r.type));
    EXPECT_STREQ(ZQAppKitCurrentCursor()->ZQName(), r.name);
    EXPECT_EQ(static_cast<int>(e.G().GetCursorType()), r.type);
  }
}

TEST(MacColour, PanelReportsEveryPick)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  std::vector<IColor> picked;
  IColor start(255, 10, 20, 30);
  ASSERT_TRUE(e.G().PromptForColor(start, "", [&](const IColor& c) { picked.push_back(c); }));
  ASSERT_TRUE(ZQAppKitPickColor(1.0, 0.5, 0.0, 1.0));
  ASSERT_TRUE(ZQAppKitPickColor(0.0, 0.0, 1.0, 0.5));
  ASSERT_EQ(picked.size(), 2u);
  EXPECT_EQ(picked[0], IColor(255, 255, 127, 0));
  EXPECT_EQ(picked[1], IColor(127, 0, 0, 255));
  // The editor closes: the panel no longer reaches it.
  e.editor.CloseWindow();
  EXPECT_FALSE(ZQAppKitPickColor(0.2, 0.2, 0.2, 1.0));
  EXPECT_EQ(picked.size(), 2u);
}

} // namespace

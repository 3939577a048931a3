// Events through the Cocoa view: clicks and their counts, modifier keys, the mouse leaving, native menus, native
// text entry, cursors, the colour panel; message boxes, URLs and the clipboard of IGraphicsMac; the plug-in
// disposed under an open menu or message box. Drags, wheels, keys, typed values and menus chosen by path are the
// `auhost editor` tests'.

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

TEST(MacEvents, ClickCountsAndModifiers)
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

  // Command adds the right button, control reaches C; a mouse-up carries no left button.
  struct Row
  {
    NSEventModifierFlags flags;
    bool right;
    bool L, R, S, C, A;
  };
  const Row rows[] = {
    {NSEventModifierFlagCommand, false, true, true, false, false, false},
    {NSEventModifierFlagControl, false, true, false, false, true, false},
    {NSEventModifierFlagShift | NSEventModifierFlagOption, false, true, false, true, false, true},
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
    EXPECT_FALSE(e.editor.events[1].mod.L);
  }
}

TEST(MacEvents, MouseOutAfterRelease)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDragged, e.At(25, 93));
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

// ---- Native menus ----

// Numbered (separators count), with a separator, a disabled and checked item, a submenu with an indented item.
TEST(MacMenus, ChosenInSubmenusOrDismissed)
{
  NSAutoreleasePool pool;
  OpenEditor e;
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
  EXPECT_FALSE(r.items[1].enabled);
  EXPECT_EQ(r.items[1].state, 1);
  EXPECT_TRUE(r.items[2].separator);
  EXPECT_EQ(r.items[3].title, "04: More");
  ASSERT_EQ(r.items[3].submenu.size(), 2u);
  EXPECT_EQ(r.items[3].submenu[1].title, "2: Y");
  EXPECT_EQ(r.items[3].submenu[1].indentation, 1);
  // Dismissed, the menu chooses nothing.
  ZQAppKitScriptMenuDismiss();
  EXPECT_EQ(e.G().CreatePlatformPopupMenu(menu, IRECT(10, 10, 50, 30), async), nullptr);
}

// The host takes the view away while a native menu is up: the context that opened the menu is still below it on
// the stack, so the editor stays until the menu has returned and closes at the next frame.
TEST(MacMenus, HostClosingDuringTheMenuClosesAfterIt)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IPopupMenu menu;
  menu.AddItem("A");
  ZQAppKitScriptMenu([&](NSMenu*) -> NSMenuItem* {
    e.View()->removeFromSuperview();
    return nullptr;
  });
  e.G().CreatePopupMenu(e.editor.knob, menu, IRECT(10, 10, 50, 30));
  ASSERT_NE(e.editor.GetUI(), nullptr);
  EXPECT_EQ(e.editor.uiCloses, 0);
  EXPECT_EQ(e.window->contentView()->subviews()->count(), 0u);
  ZQAppKitAdvanceClock(0.1);
  EXPECT_EQ(e.editor.GetUI(), nullptr);
  EXPECT_EQ(e.editor.uiCloses, 1);
}

// The plug-in goes while its native menu is up: the menu returns without touching the context, the controls or
// the menu data, and the completion is dropped although an item was chosen.
TEST(MacMenus, PluginDisposedDuringTheMenu)
{
  NSAutoreleasePool pool;
  DisposableEditor d;
  IPopupMenu menu;
  menu.AddItem("A");
  menu.AddItem("B");
  bool completed = false;
  menu.SetFunction([&](IPopupMenu*) { completed = true; });
  ZQAppKitScriptMenu([&](NSMenu* shown) -> NSMenuItem* {
    d.Dispose();
    return shown->itemAtIndex(1);
  });
  IGraphics* g = d.editor->GetUI();
  g->CreatePopupMenu(d.editor->knob, menu, IRECT(10, 10, 50, 30));
  ASSERT_EQ(ZQAppKitMenuRecords().size(), 1u);
  EXPECT_TRUE(ZQAppKitMenuRecords().back().chosen);
  EXPECT_FALSE(completed);
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  EXPECT_EQ(d.window->contentView()->subviews()->count(), 0u);
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
}

// ---- Native text entry ----

// A click on the gain field, which opens its text entry; the field that then has the focus, or nil.
NSTextField* OpenValueEntry(OpenEditor& e)
{
  ZQAppKitClick(e.window, e.At(100, 88));
  return ZQAppKitFocusedTextField(e.window);
}

// A field closed by the platform tells the context, which would otherwise block drags for good: a scroll closes
// it without committing, ForceEndUserEdit closes it, and the window losing key ends editing with the typed value.
TEST(MacTextEntry, FieldClosedByThePlatformTellsTheContext)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ASSERT_NE(OpenValueEntry(e), nullptr);
  ZQAppKitTypeText(e.window, "9");
  ZQAppKitScroll(e.window, e.At(20, 90), 1.0);
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 2.5);
  EXPECT_EQ(e.G().GetControlInTextEntry(), nullptr);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDragged, e.At(22, 90));
  EXPECT_EQ(e.editor.events.back().kind, "drag");
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(22, 90));

  ASSERT_NE(OpenValueEntry(e), nullptr);
  e.G().ForceEndUserEdit();
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_EQ(e.G().GetControlInTextEntry(), nullptr);
  ASSERT_NE(OpenValueEntry(e), nullptr);
  ZQAppKitTypeText(e.window, "4");
  e.window->makeFirstResponder(e.View());
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 4.0);
}

// Deleting is always allowed: backspacing from the end goes through the label the field opened with, while what
// is typed is still vetted.
TEST(MacTextEntry, BackspaceErasesTheLabel)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  NSTextField* field = OpenValueEntry(e);
  ASSERT_NE(field, nullptr);
  auto text = [&]() { return std::string(field->currentEditor()->string()->UTF8String()); };
  ASSERT_EQ(text(), "2.5 dB");
  ZQAppKitPressKey(e.window, "end");
  for (const char* after : {"2.5 d", "2.5 ", "2.5", "2."})
  {
    ZQAppKitPressKey(e.window, "backspace");
    EXPECT_EQ(text(), after);
  }
  ZQAppKitTypeText(e.window, "x7");
  EXPECT_EQ(text(), "2.7");
  ZQAppKitPressKey(e.window, "return");
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 2.7);
}

// ---- Cursors ----

// Hidden twice, shown twice: the platform's count stays balanced and the cursor comes back where it was hidden.
// On a system without the private cursors, the types that want one take their fallbacks (and nothing unknown is
// sent); the move cursor without the system's files is the arrow.
TEST(MacCursor, HiddenTwiceShownTwiceAndTypes)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(40, 40));
  const NSPoint before = ZQAppKitCursorLocation();
  e.G().HideMouseCursor(true, true);
  e.G().HideMouseCursor(true, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 1);
  const int warps = ZQAppKitCursorWarpCount();
  e.G().HideMouseCursor(false, true);
  e.G().HideMouseCursor(false, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  EXPECT_EQ(ZQAppKitCursorWarpCount(), warps + 1);
  EXPECT_FALSE(e.G().GetCursorLocked());
  EXPECT_NEAR(ZQAppKitCursorLocation().x, before.x, 1.0);
  EXPECT_NEAR(ZQAppKitCursorLocation().y, before.y, 1.0);

  struct Row
  {
    int type;
    const char* name;
  };
  const Row rows[] = {{0, "arrow"},       {1, "IBeam"},        {2, "arrow"},       {3, "crosshair"},
                      {4, "resizeUp"},    {5, "arrow"},        {7, "resizeLeftRight"}, {8, "resizeUpDown"},
                      {9, "arrow"},       {10, "operationNotAllowed"}, {11, "pointingHand"}, {13, "arrow"},
                      {42, "arrow"}};
  ZQAppKitSetPrivateCursors(false);
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.type);
    e.G().SetMouseCursor(static_cast<ECursor>(r.type));
    EXPECT_STREQ(ZQAppKitCurrentCursor()->ZQName(), r.name);
    EXPECT_EQ(static_cast<int>(e.G().GetCursorType()), r.type);
  }
  EXPECT_EQ(ZQAppKitUnrecognizedSelectors(), std::vector<std::string>{});
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

// ---- Message boxes, URLs, the clipboard ----

TEST(MacDialogs, MessageBoxButtonsAndResults)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  // A message box ends the mouse capture first.
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  struct Row
  {
    EMsgBoxType type;
    int button;
    EMsgBoxResult result;
    std::vector<std::string> buttons;
  };
  const Row rows[] = {
    {kMB_OK, 1, kOK, {"OK"}},
    {kMB_OKCANCEL, 2, kCANCEL, {"OK", "Cancel"}},
    {kMB_YESNOCANCEL, 2, kCANCEL, {"Yes", "Cancel", "No"}},
    {kMB_YESNOCANCEL, 3, kNO, {"Yes", "Cancel", "No"}},
    {kMB_YESNO, 2, kNO, {"Yes", "No"}},
    {static_cast<EMsgBoxType>(5), 1, static_cast<EMsgBoxResult>(4), {"Retry", "Cancel"}},
  };
  for (const Row& r : rows)
  {
    SCOPED_TRACE(std::to_string(r.type) + "/" + std::to_string(r.button));
    ZQAppKitScriptAlert(r.button);
    EMsgBoxResult completed = kNoResult;
    EXPECT_EQ(e.G().ShowMessageBox("Body 100%", "Title", r.type, [&](EMsgBoxResult res) { completed = res; }), r.result);
    EXPECT_EQ(completed, r.result);
    EXPECT_FALSE(e.G().ControlIsCaptured());
    const ZQAlertRecord& rec = ZQAppKitAlertRecords().back();
    EXPECT_EQ(rec.message, "Body 100%");
    EXPECT_EQ(rec.buttons, r.buttons);
  }
  const size_t shown = ZQAppKitAlertRecords().size();
  EXPECT_EQ(e.G().ShowMessageBox("x", "y", static_cast<EMsgBoxType>(2)), kCANCEL);
  EXPECT_EQ(ZQAppKitAlertRecords().size(), shown);
  // Null texts are empty; text that is not UTF-8 still shows.
  e.G().ShowMessageBox(nullptr, "\xff", kMB_OK);
  EXPECT_EQ(ZQAppKitAlertRecords().back().message, "");
  EXPECT_FALSE(ZQAppKitAlertRecords().back().title.empty());
}

// The plug-in goes while its message box is up: the box returns without touching the context and the completion
// is dropped, whichever button answered.
TEST(MacDialogs, PluginDisposedDuringTheMessageBox)
{
  for (const int button : {1, 2})
  {
    SCOPED_TRACE(button);
    NSAutoreleasePool pool;
    DisposableEditor d;
    ZQAppKitScriptAlert(button, [&] { d.Dispose(); });
    EMsgBoxResult completed = kNoResult;
    IGraphics* g = d.editor->GetUI();
    EXPECT_EQ(g->ShowMessageBox("Reset?", "Title", kMB_YESNO, [&](EMsgBoxResult r) { completed = r; }), kCANCEL);
    ASSERT_EQ(ZQAppKitAlertRecords().size(), 1u);
    EXPECT_EQ(ZQAppKitAlertRecords().back().button, button);
    EXPECT_EQ(completed, kNoResult);
    EXPECT_EQ(d.window->contentView()->subviews()->count(), 0u);
  }
}

// OpenURL answers false when nothing opens; a failed copy leaves the clipboard alone.
TEST(MacDialogs, OpenURLAndClipboard)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitSetWorkspaceAnswer(1);
  EXPECT_TRUE(e.G().OpenURL("https://example.com/a"));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().target, "https://example.com/a");
  EXPECT_TRUE(e.G().OpenURL("/tmp/some folder"));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().target.rfind("file://", 0), 0u);
  // Text that makes no URL opened nothing: false, and no request.
  const size_t n = ZQAppKitWorkspaceRequests().size();
  EXPECT_FALSE(e.G().OpenURL("http://bad url"));
  EXPECT_FALSE(e.G().OpenURL(""));
  EXPECT_FALSE(e.G().OpenURL(nullptr));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().size(), n);
  ZQAppKitSetWorkspaceAnswer(0);
  EXPECT_FALSE(e.G().OpenURL("https://example.com"));

  Util_String s;
  EXPECT_FALSE(e.G().GetTextFromClipboard(s));
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(e.G().SetTextInClipboard("Gain 2.5 dB"));
  EXPECT_EQ(ZQAppKitPasteboardString(), "Gain 2.5 dB");
  EXPECT_TRUE(e.G().GetTextFromClipboard(s));
  EXPECT_STREQ(s.Get(), "Gain 2.5 dB");
  // A text that is not UTF-8 is not copied, and the clipboard keeps what it held.
  EXPECT_FALSE(e.G().SetTextInClipboard("Gain \xff"));
  EXPECT_EQ(ZQAppKitPasteboardString(), "Gain 2.5 dB");
}

} // namespace

// The Cocoa view in its window: backing-scale and appearance changes, right drags, native views placed on the
// editor, what the context answers while open and once closed, cursor moves and tablet input, screen points and
// warps, the drawing context of the view, and the focus coming back from a native field.

#include "support/MacTestEditor.h"

#include "controls/IPopupMenuControl.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mactest;

namespace
{

// The window moves to a screen of another scale: the context takes the new scale and the next frame is drawn at
// it; telling it the same scale again changes nothing.
TEST(MacView, BackingScaleChangeRedrawsAtTheNewScale)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f);
  e.Frame();
  ASSERT_EQ(e.LastFrame().width, static_cast<size_t>(kW));
  ZQAppKitSetBackingScale(e.window, 2.0);
  EXPECT_EQ(e.G().GetScreenScale(), 2.f);
  EXPECT_EQ(e.View()->metalLayer()->drawableSize().width, kW * 2);
  EXPECT_EQ(e.View()->metalLayer()->drawableSize().height, kH * 2);
  e.Frame();
  const ZQFrame f = e.LastFrame();
  EXPECT_EQ(f.width, static_cast<size_t>(kW * 2));
  EXPECT_EQ(f.height, static_cast<size_t>(kH * 2));
  const NSUInteger presented = f.presented;
  e.View()->viewDidChangeBackingProperties();
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, presented) << "the same scale leaves the editor clean";

  ZQAppKitSetBackingScale(e.window, 1.0);
  EXPECT_EQ(e.G().GetScreenScale(), 1.f);
  EXPECT_EQ(e.View()->metalLayer()->drawableSize().width, kW);
}

// Dark and light as the system switches them, from macOS 10.14 on; older systems have no dark mode.
TEST(MacView, AppearanceFollowsTheSystem)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  std::vector<int> seen;
  e.G().SetAppearanceChangedFunc([&](int a) { seen.push_back(a); });
  EXPECT_EQ(e.G().GetUIAppearance(), 0);
  ZQAppKitSetAppearance(NSAppearanceNameDarkAqua);
  EXPECT_EQ(e.G().GetUIAppearance(), 1);
  ZQAppKitSetAppearance(NSAppearanceNameAqua);
  EXPECT_EQ(e.G().GetUIAppearance(), 0);
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));

  ZQAppKitSetVersionNumber(1600); // 10.13
  ZQAppKitSetAppearance(NSAppearanceNameDarkAqua);
  EXPECT_EQ(e.G().GetUIAppearance(), 0);
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));
  ZQAppKitSetVersionNumber(2487);
  EXPECT_EQ(e.G().GetUIAppearance(), 1);

  e.G().CloseWindow();
  EXPECT_EQ(e.G().GetUIAppearance(), 0) << "no view, no appearance";
}

// A right drag reaches the control with its motion and the right button, at any draw scale.
TEST(MacView, RightDragsCarryTheirMotion)
{
  NSAutoreleasePool pool;
  for (float drawScale : {1.f, 2.f})
  {
    SCOPED_TRACE(drawScale);
    OpenEditor e(1.f, drawScale);
    ZQAppKitMouseEvent(e.window, NSEventTypeRightMouseDown, e.At(20, 90));
    ZQAppKitMouseEvent(e.window, NSEventTypeRightMouseDragged, e.At(25, 87));
    ZQAppKitMouseEvent(e.window, NSEventTypeRightMouseDragged, e.At(26, 95), NSEventModifierFlagShift);
    ZQAppKitMouseEvent(e.window, NSEventTypeRightMouseUp, e.At(26, 95));
    ASSERT_EQ(e.editor.events.size(), 4u);
    const ProbeEvent& d1 = e.editor.events[1];
    const ProbeEvent& d2 = e.editor.events[2];
    EXPECT_EQ(d1.kind, "drag");
    EXPECT_FLOAT_EQ(d1.x, 25.f);
    EXPECT_FLOAT_EQ(d1.y, 87.f);
    EXPECT_FLOAT_EQ(d1.dX, 5.f);
    EXPECT_FLOAT_EQ(d1.dY, -3.f);
    EXPECT_TRUE(d1.mod.R);
    EXPECT_FALSE(d1.mod.L);
    EXPECT_FALSE(d1.mod.S);
    EXPECT_FLOAT_EQ(d2.dX, 1.f);
    EXPECT_FLOAT_EQ(d2.dY, 8.f);
    EXPECT_TRUE(d2.mod.S);
    EXPECT_EQ(e.editor.events[3].kind, "up");
  }
}

// A native view placed on the editor sits on the rectangle scaled to view points, widened to whole points;
// removed, it leaves the editor. Without an editor view nothing is placed.
TEST(MacView, NativeViewsOnTheEditor)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f, 2.f);
  auto* native = new NSView();
  native->initWithFrame(NSMakeRect(0, 0, 1, 1));
  e.G().AttachPlatformView(IRECT(10.2f, 5.5f, 20.1f, 30.5f), native);
  EXPECT_EQ(native->superview(), e.View());
  const NSRect f = native->frame();
  EXPECT_EQ(f.origin.x, 20);
  EXPECT_EQ(f.origin.y, 11);
  EXPECT_EQ(f.size.width, 21);  // 20.4 … 40.2 widened to 20 … 41
  EXPECT_EQ(f.size.height, 50); // 11 … 61
  e.G().RemovePlatformView(native);
  EXPECT_EQ(native->superview(), nullptr);
  e.G().RemovePlatformView(nullptr);

  e.G().CloseWindow();
  e.G().AttachPlatformView(IRECT(0, 0, 10, 10), native);
  EXPECT_EQ(native->superview(), nullptr);
  native->release();
}

// While open the context answers its view as window and the view is opaque; once closed there is no window and
// the old view, detached, is no longer opaque.
TEST(MacView, OpenAndClosedAnswers)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsMac& g = e.G();
  IGraphicsView_vZANIQ_au* view = e.View();
  EXPECT_STREQ(g.GetPlatformAPIStr(), "Cocoa");
  EXPECT_EQ(g.GetWindow(), view);
  EXPECT_TRUE(g.WindowIsOpen());
  EXPECT_TRUE(view->isOpaque());
  view->retain();
  g.CloseWindow();
  EXPECT_EQ(g.GetWindow(), nullptr);
  EXPECT_FALSE(g.WindowIsOpen());
  EXPECT_FALSE(view->isOpaque());
  view->release();
  // Without a view the mouse is where the screen has it.
  float x = 0.f, y = 0.f;
  g.GetMouseLocation(x, y);
  EXPECT_EQ(x, static_cast<float>(ZQAppKitCursorLocation().x));
  EXPECT_EQ(y, static_cast<float>(ZQAppKitCursorLocation().y));
}

// The window closes underneath a drag that hid the cursor: the cursor shows again and is no longer locked.
TEST(MacView, ClosingShowsAHiddenCursor)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.G().HideMouseCursor(true, true);
  ASSERT_EQ(ZQAppKitCursorHideCount(), 1);
  e.G().CloseWindow();
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  EXPECT_FALSE(e.G().GetCursorHidden());
  EXPECT_FALSE(e.G().GetCursorLocked());
}

double sNow = 0.0;
double TestClock()
{
  return sNow;
}

// While the in-editor menu is out, the controls under it show no tooltips; once it has folded away they do again.
TEST(MacView, NoTooltipsUnderAnOpenInEditorMenu)
{
  NSAutoreleasePool pool;
  IGraphics::SetClock(TestClock);
  {
    OpenEditor e;
    const size_t shown = ZQAppKitToolTipRects(e.View()).size();
    ASSERT_GT(shown, 0u);
    e.G().AttachPopupMenuControl();
    auto* popup = static_cast<IPopupMenuControl*>(e.G().GetPopupMenuControl());
    IPopupMenu menu;
    menu.AddItem("One");
    menu.AddItem("Two");
    // Frames a second apart, until the menu's animation has reached the state.
    auto runUntil = [&](int state) {
      for (int i = 0; i < 10 && popup->GetState() != state; ++i)
      {
        sNow += 1.0;
        e.Frame();
      }
      return popup->GetState() == state;
    };
    e.G().CreatePopupMenu(e.editor.knob, menu, IRECT(10, 10, 50, 30));
    EXPECT_TRUE(ZQAppKitToolTipRects(e.View()).empty());
    ASSERT_TRUE(runUntil(IPopupMenuControl::kExpanded));
    EXPECT_TRUE(ZQAppKitToolTipRects(e.View()).empty());
    popup->DismissMenu();
    ASSERT_TRUE(runUntil(IPopupMenuControl::kCollapsed));
    EXPECT_EQ(ZQAppKitToolTipRects(e.View()).size(), shown);
  }
  IGraphics::SetClock(nullptr);
}

// The view's CoreGraphics context is the one being drawn into, if any.
TEST(MacView, DrawingContextOfTheView)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  EXPECT_EQ(e.View()->getCGContextRef(), nullptr);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef bitmap = CGBitmapContextCreate(nullptr, 4, 4, 8, 16, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  NSGraphicsContext::setCurrentContext(NSGraphicsContext::graphicsContextWithCGContext_flipped(bitmap, NO));
  EXPECT_EQ(e.View()->getCGContextRef(), bitmap);
  NSGraphicsContext::setCurrentContext(nullptr);
  EXPECT_EQ(e.View()->getCGContextRef(), nullptr);
  CGContextRelease(bitmap);
}

// Moving the cursor lands it on the graphics point asked for, without a mouse event; tablet input is never
// moved, and the flag follows each event's kind.
TEST(MacView, CursorMovesAndTabletInput)
{
  NSAutoreleasePool pool;
  for (float drawScale : {1.f, 2.f})
  {
    SCOPED_TRACE(drawScale);
    OpenEditor e(1.f, drawScale);
    ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(20, 90), 0, 1, NSEventSubtypeTabletPoint);
    EXPECT_TRUE(e.G().GetTabletInput());
    const int warps = ZQAppKitCursorWarpCount();
    e.G().MoveMouseCursor(10, 10);
    EXPECT_EQ(ZQAppKitCursorWarpCount(), warps);
    float x = 0.f, y = 0.f;
    e.G().GetMouseLocation(x, y);
    EXPECT_NEAR(x, 20.f, 1.f);
    EXPECT_NEAR(y, 90.f, 1.f);

    ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(21, 90));
    EXPECT_FALSE(e.G().GetTabletInput());
    e.editor.events.clear();
    e.G().MoveMouseCursor(30, 40);
    EXPECT_EQ(ZQAppKitCursorWarpCount(), warps + 1);
    EXPECT_TRUE(e.editor.events.empty());
    EXPECT_TRUE(ZQAppKitCursorAssociated());
    e.G().GetMouseLocation(x, y);
    EXPECT_NEAR(x, 30.f, 0.5f);
    EXPECT_NEAR(y, 40.f, 0.5f);
  }
}

// Graphics points and screen points (y up) convert both ways through the view's place in its window and the
// window's place on the screen: a graphics point is (x, y) × draw scale down from the view's top left. Warping
// to a screen point moves the cursor there without a mouse event.
TEST(MacView, ScreenPointsAndWarps)
{
  NSAutoreleasePool pool;
  for (float drawScale : {1.f, 2.f, 1.5f})
  {
    SCOPED_TRACE(drawScale);
    OpenEditor e(2.f, drawScale);
    // A window at (300, 150) on the screen, taller and wider than the editor, whose view sits at (20, 100) of
    // the content view (which runs upwards).
    const double viewH = std::trunc(kH * drawScale);
    e.window->setFrameOrigin(NSMakePoint(300, 150));
    e.window->setContentSize(NSMakeSize(kW * drawScale + 60, viewH + 150));
    e.View()->setFrameOrigin(NSMakePoint(20, 100));
    const struct
    {
      float x, y;
    } points[] = {{0.f, 0.f}, {30.f, 40.f}, {12.25f, 100.5f}, {kW, kH}};
    for (const auto& p : points)
    {
      const CGPoint screen = e.G().PointToScreen(p.x, p.y);
      EXPECT_DOUBLE_EQ(screen.x, 300.0 + 20.0 + p.x * drawScale);
      EXPECT_DOUBLE_EQ(screen.y, 150.0 + 100.0 + viewH - p.y * drawScale);
      float x = -1.f, y = -1.f;
      e.G().ScreenToPoint(screen, x, y);
      EXPECT_FLOAT_EQ(x, p.x);
      EXPECT_FLOAT_EQ(y, p.y);
    }

    e.editor.events.clear();
    const int warps = ZQAppKitCursorWarpCount();
    e.G().MoveCursorToScreenPoint(e.G().PointToScreen(30.f, 40.f));
    EXPECT_EQ(ZQAppKitCursorWarpCount(), warps + 1);
    EXPECT_DOUBLE_EQ(ZQAppKitCursorLocation().x, 320.0 + 30.0 * drawScale);
    EXPECT_DOUBLE_EQ(ZQAppKitCursorLocation().y, 250.0 + viewH - 40.0 * drawScale);
    EXPECT_TRUE(ZQAppKitCursorAssociated());
    EXPECT_TRUE(e.editor.events.empty());
    float x = 0.f, y = 0.f;
    e.G().GetMouseLocation(x, y);
    EXPECT_FLOAT_EQ(x, 30.f);
    EXPECT_FLOAT_EQ(y, 40.f);
    // The warp is the stored cursor point: a locked drag pins the cursor there.
    e.G().HideMouseCursor(true, true);
    ZQAppKitMouseMotion(e.window, NSEventTypeMouseMoved, 7, 9);
    EXPECT_DOUBLE_EQ(ZQAppKitCursorLocation().x, 320.0 + 30.0 * drawScale);
    EXPECT_DOUBLE_EQ(ZQAppKitCursorLocation().y, 250.0 + viewH - 40.0 * drawScale);
    e.G().HideMouseCursor(false);
  }
}

// A drag with the cursor hidden and locked keeps the cursor where it was hidden, and each drag reports the hand's
// motion from there.
TEST(MacView, LockedCursorStaysPut)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  const NSPoint start = ZQAppKitCursorLocation();
  e.G().HideMouseCursor(true, true);
  for (int i = 0; i < 5; ++i)
    ZQAppKitMouseMotion(e.window, NSEventTypeLeftMouseDragged, 0, 2);
  EXPECT_NEAR(ZQAppKitCursorLocation().x, start.x, 1.0);
  EXPECT_NEAR(ZQAppKitCursorLocation().y, start.y, 1.0);
  ASSERT_EQ(e.editor.events.size(), 6u);
  for (int i = 1; i <= 5; ++i)
  {
    EXPECT_EQ(e.editor.events[i].kind, "drag");
    EXPECT_FLOAT_EQ(e.editor.events[i].dX, 0.f);
    EXPECT_FLOAT_EQ(e.editor.events[i].dY, 2.f);
  }
  e.G().HideMouseCursor(false, true);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(20, 90));
}

// A click on the editor while its native field is open takes the focus back: the field ends with what was typed
// and the click reaches the control under it.
TEST(MacView, ClickOnTheEditorEndsTheNativeField)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitClick(e.window, e.At(100, 88));
  ASSERT_NE(ZQAppKitFocusedTextField(e.window), nullptr);
  ZQAppKitTypeText(e.window, "6");
  e.editor.events.clear();
  ZQAppKitClick(e.window, e.At(20, 90));
  EXPECT_EQ(e.View()->textField(), nullptr);
  EXPECT_EQ(ZQAppKitFocusedTextField(e.window), nullptr);
  EXPECT_DOUBLE_EQ(e.editor.GetParam(kGain)->Value(), 6.0);
  ASSERT_FALSE(e.editor.events.empty());
  EXPECT_EQ(e.editor.events[0].kind, "down");
}

} // namespace

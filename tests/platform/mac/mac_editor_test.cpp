// The editor opened the way a host opens it, in a headless window: frames at screen scale 1 and 2, reopening,
// closing from every side, shared font caches, drops, the render timer and the layer.

#include "support/MacTestEditor.h"

#include "controls/IControl.h"
#include "graphics/PlatformFont.h"
#include "platform/mac/CoreTextFont.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mactest;

namespace
{

// Largest channel difference between two frames inside a rectangle of device pixels.
int MaxDiff(const ZQFrame& a, const ZQFrame& b, const IRECT& r)
{
  int worst = 0;
  for (int y = static_cast<int>(r.T); y < static_cast<int>(r.B); ++y)
    for (int x = static_cast<int>(r.L); x < static_cast<int>(r.R); ++x)
      for (int c = 0; c < 4; ++c)
      {
        const size_t i = (static_cast<size_t>(y) * a.width + static_cast<size_t>(x)) * 4 + c;
        worst = std::max(worst, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
      }
  return worst;
}

const uint8_t* Pixel(const ZQFrame& f, int x, int y)
{
  return &f.rgba[(static_cast<size_t>(y) * f.width + static_cast<size_t>(x)) * 4];
}

IRECT Device(const IRECT& r, float s)
{
  return IRECT(r.L * s, r.T * s, r.R * s, r.B * s);
}

class MacEditorScales : public ::testing::TestWithParam<float>
{
};

// The first frame shows the editor; a knob turned by a drag changes its own area and nothing far from it.
TEST_P(MacEditorScales, FramesShowAControlChange)
{
  NSAutoreleasePool pool;
  const float scale = GetParam();
  OpenEditor e(scale);
  ASSERT_NE(e.View(), nullptr);
  EXPECT_EQ(e.G().GetScreenScale(), scale);

  e.Frame();
  const ZQFrame before = e.LastFrame();
  ASSERT_EQ(before.width, static_cast<size_t>(kW * scale));
  ASSERT_EQ(before.height, static_cast<size_t>(kH * scale));
  SaveFrameIfAsked(e.window, "before_x" + std::to_string(int(scale)));
  // The background panel's grey shows away from the controls.
  const uint8_t* bg = Pixel(before, static_cast<int>(195 * scale), static_cast<int>(115 * scale));
  EXPECT_EQ(bg[0], 230);
  EXPECT_EQ(bg[3], 255);

  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  for (int i = 1; i <= 10; ++i)
    ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDragged, e.At(40, 40.f - 3.f * i));
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(40, 10));
  EXPECT_NE(e.editor.knob->GetValue(), 0.25);

  e.Frame();
  const ZQFrame after = e.LastFrame();
  SaveFrameIfAsked(e.window, "after_x" + std::to_string(int(scale)));
  EXPECT_GT(after.presented, before.presented);
  EXPECT_GT(MaxDiff(before, after, Device(kKnobR, scale)), 40);
  EXPECT_EQ(MaxDiff(before, after, Device(kProbeR, scale)), 0);
  EXPECT_EQ(MaxDiff(before, after, Device(IRECT(100, 104, 200, 120), scale)), 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, MacEditorScales, ::testing::Values(1.f, 2.f));

TEST(MacEditor, NothingDirtyPresentsNothing)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.Frame();
  const NSUInteger n = e.LastFrame().presented;
  e.Frame();
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, n);
}

TEST(MacEditor, DrawScaleTwoOnScreenScaleOne)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f, 2.f);
  EXPECT_EQ(e.View()->frame().size.width, kW * 2);
  e.Frame();
  EXPECT_EQ(e.LastFrame().width, static_cast<size_t>(kW * 2));
  // A click in device points lands on the probe in graphics units.
  ZQAppKitClick(e.window, e.At(20, 90));
  ASSERT_GE(e.editor.events.size(), 1u);
  EXPECT_EQ(e.editor.events[0].kind, "down");
  EXPECT_FLOAT_EQ(e.editor.events[0].x, 20.f);
  EXPECT_FLOAT_EQ(e.editor.events[0].y, 90.f);
}

TEST(MacEditor, BackingScaleChangeResizesTheDrawable)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f);
  e.Frame();
  ZQAppKitSetBackingScale(e.window, 2.0);
  EXPECT_EQ(e.G().GetScreenScale(), 2.f);
  e.Frame();
  EXPECT_EQ(e.LastFrame().width, static_cast<size_t>(kW * 2));
  EXPECT_EQ(e.View()->metalLayer()->drawableSize().width, kW * 2);
}

// A frame without a drawable (a layer of no size) is cancelled: nothing is presented, nothing breaks, and the
// next frame with a drawable shows the editor.
TEST(MacEditor, FrameWithoutDrawableIsCancelled)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.View()->metalLayer()->setDrawableSize(CGSizeMake(0, 0));
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, 0u);
  e.View()->metalLayer()->setDrawableSize(CGSizeMake(kW, kH));
  e.G().SetAllControlsDirty();
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, 1u);
}

// A second OpenWindow replaces the view and the renderer context; the old view is gone from the window.
TEST(MacEditor, ReopeningReplacesViewAndContext)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsMac& g = e.G();
  IGraphicsView_vZANIQ_au* first = e.View();
  first->retain();
  void* firstContext = g.GetDrawContext();
  auto* second = static_cast<NSView*>(g.OpenWindow(e.window->contentView()));
  EXPECT_NE(second, first);
  EXPECT_EQ(g.GetView(), second);
  EXPECT_NE(g.GetDrawContext(), nullptr);
  EXPECT_EQ(first->superview(), nullptr);
  EXPECT_EQ(first->graphics(), nullptr);
  EXPECT_EQ(first->timer(), nullptr);
  EXPECT_FALSE(first->isOpaque());
  ASSERT_NE(g.GetView()->timer(), nullptr);
  EXPECT_DOUBLE_EQ(g.GetView()->timer()->timeInterval(), 1.0 / 60.0);
  EXPECT_TRUE(g.GetView()->isOpaque());
  EXPECT_EQ(e.window->contentView()->subviews()->count(), 1u);
  EXPECT_EQ(e.editor.uiOpens, 2);
  (void)firstContext;
  first->release();
  e.Frame();
  EXPECT_GE(e.LastFrame().presented, 1u);
}

// Closing and opening again through the delegate: the size is kept and a fresh view is made.
TEST(MacEditor, CloseAndOpenThroughTheDelegate)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.editor.CloseWindow();
  EXPECT_EQ(e.editor.GetUI(), nullptr);
  EXPECT_EQ(e.window->contentView()->subviews()->count(), 0u);
  EXPECT_EQ(e.editor.uiCloses, 1);
  auto* view = static_cast<NSView*>(e.editor.OpenWindow(e.window->contentView()));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->window(), e.window);
  e.Frame();
  EXPECT_GE(e.LastFrame().presented, 1u);
}

// The host removes the view from its window: the editor closes, once, and nothing points to what is gone.
TEST(MacEditor, HostRemovingTheViewClosesTheEditor)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.View()->removeFromSuperview();
  EXPECT_EQ(e.editor.GetUI(), nullptr);
  EXPECT_EQ(e.editor.uiCloses, 1);
  EXPECT_EQ(e.window->contentView()->subviews()->count(), 0u);
  // The timer is gone with the view: time passing draws nothing and touches nothing.
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
}

// The host removes the view while the editor closes (from inside OnUIClose): the view is detached once, the
// context let go, and the delegate's own close finds a closed window.
TEST(MacEditor, HostRemovingTheViewWhileTheEditorCloses)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  NSView* content = e.window->contentView();
  e.editor.onUIClose = [&]() {
    NSArray* subs = content->subviews();
    if (subs->count()) static_cast<NSView*>(subs->objectAtIndex(0))->removeFromSuperview();
  };
  e.editor.CloseWindow();
  e.editor.onUIClose = nullptr;
  EXPECT_EQ(e.editor.GetUI(), nullptr);
  EXPECT_EQ(e.editor.uiCloses, 1);
  EXPECT_EQ(content->subviews()->count(), 0u);
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
}

// The editor closes while a control holds the mouse with the cursor hidden: the capture ends, the host gesture
// is closed and the cursor shows again.
TEST(MacEditor, ClosingReleasesTheMouseCapture)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  e.G().HideMouseCursor(true, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 1);
  e.editor.CloseWindow();
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(40, 40));
}

// Two editors share the font caches; closing one keeps them, closing the last empties them.
TEST(MacEditor, TwoEditorsShareTheFontCaches)
{
  NSAutoreleasePool pool;
  auto a = std::make_unique<OpenEditor>();
  NSWindow* w2 = ZQAppKitMakeWindow(kW, kH, 1.0);
  MacTestEditor b;
  w2->contentView()->addSubview(static_cast<NSView*>(b.OpenWindow(nullptr)));
  EXPECT_EQ(CoreTextFontDescriptorCache().GetRefCount(), 2);
  EXPECT_EQ(FontDataCache().GetRefCount(), 2);
  EXPECT_GE(CoreTextFontDescriptorCache().GetSize(), 1);
  EXPECT_GE(FontDataCache().GetSize(), 1);
  EXPECT_NE(FindCoreTextFont("Roboto-Regular"), nullptr);

  b.CloseWindow();
  EXPECT_EQ(CoreTextFontDescriptorCache().GetRefCount(), 1);
  EXPECT_NE(FindCoreTextFont("Roboto-Regular"), nullptr);
  EXPECT_GE(FontDataCache().GetSize(), 1);
  a->Frame();
  EXPECT_GE(a->LastFrame().presented, 1u);

  a.reset();
  EXPECT_EQ(CoreTextFontDescriptorCache().GetRefCount(), 0);
  EXPECT_EQ(CoreTextFontDescriptorCache().GetSize(), 0);
  EXPECT_EQ(FontDataCache().GetSize(), 0);
  w2->release();
}

// Dropped files arrive at the control under the point, in graphics units at any draw scale.
TEST(MacEditor, DropsInGraphicsUnits)
{
  NSAutoreleasePool pool;
  for (float drawScale : {1.f, 2.f})
  {
    SCOPED_TRACE(drawScale);
    OpenEditor e(1.f, drawScale);
    NSDragOperation op = 0;
    BOOL done = NO;
    ASSERT_TRUE(ZQAppKitDropFiles(e.window, e.At(20, 90), {"/tmp/a.wav", "/tmp/b.wav"}, &op, &done));
    EXPECT_EQ(op, NSDragOperationGeneric);
    EXPECT_TRUE(done);
    ASSERT_EQ(e.editor.events.size(), 1u);
    EXPECT_EQ(e.editor.events[0].kind, "drop");
    EXPECT_EQ(e.editor.events[0].text, "/tmp/a.wav");
  }
}

TEST(MacEditor, TooltipsFollowTheControls)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f, 2.f);
  const std::vector<NSRect> rects = ZQAppKitToolTipRects(e.View());
  EXPECT_EQ(rects.size(), static_cast<size_t>(e.G().NControls()));
  // Points of the editor's own (flipped) view.
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "Gain knob");
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(40, 180)), "");
  EXPECT_EQ(rects[1].origin.x, 20);
  EXPECT_EQ(rects[1].size.width, 120);
  e.editor.knob->Hide(true);
  e.G().UpdateTooltips();
  EXPECT_EQ(ZQAppKitToolTipRects(e.View()).size(), rects.size() - 1);
}

TEST(MacEditor, PlatformResizeFollowsTheEditorSize)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.G().Resize(150, 100, 2.f);
  EXPECT_EQ(e.View()->frame().size.width, 300);
  EXPECT_EQ(e.View()->frame().size.height, 200);
  EXPECT_EQ(e.View()->metalLayer()->drawableSize().width, 300);
  e.Frame();
  EXPECT_EQ(e.LastFrame().width, 300u);
}

TEST(MacEditor, AppearanceAndFocus)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  std::vector<int> seen;
  e.G().SetAppearanceChangedFunc([&](int a) { seen.push_back(a); });
  EXPECT_EQ(e.G().GetUIAppearance(), 0);
  ZQAppKitSetAppearance(NSAppearanceNameDarkAqua);
  EXPECT_EQ(e.G().GetUIAppearance(), 1);
  ZQAppKitSetAppearance(NSAppearanceNameAqua);
  EXPECT_EQ(seen, (std::vector<int>{1, 0}));

  // Another application becomes active while a control holds the mouse: the capture ends.
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  ZQAppKitDeactivate();
  EXPECT_FALSE(e.G().ControlIsCaptured());
}

// A view that moves to another window listens to that window only, once.
TEST(MacEditor, MovingToAnotherWindow)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsView_vZANIQ_au* view = e.View();
  const NSUInteger registrations = NSNotificationCenter::defaultCenter()->ZQObserverCount(view);
  EXPECT_EQ(registrations, 3u);
  NSWindow* other = ZQAppKitMakeWindow(kW, kH, 2.0);
  // Moving keeps the editor open: the view goes straight into the other window.
  other->contentView()->addSubview(view);
  EXPECT_EQ(view->window(), other);
  EXPECT_EQ(e.G().GetScreenScale(), 2.f);
  EXPECT_EQ(NSNotificationCenter::defaultCenter()->ZQObserverCount(view), registrations);
  EXPECT_EQ(e.editor.uiCloses, 0);
  e.editor.CloseWindow();
  other->release();
}

} // namespace

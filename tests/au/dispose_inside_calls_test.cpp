// The unit disposed, or its editor closed, from inside the plug-in's own calls, as a host does it: the host's run
// loop runs inside every native menu and message box the editor shows, and timers, host events and the host's own
// callbacks (property listeners, render notifications) arrive in it. Whatever the plug-in still had on the stack
// returns without touching what the host let go of, and the host hears nothing more from the disposed unit.
// These run under AddressSanitizer in CI; a use after free or a pure virtual call fails them there.

#include "support/ZaniqHost.h"
#include "au/ZANIQ_View.h"
#include "controls/IControl.h"
#include "engine/ZANIQ.h"
#include "graphics/IGraphics.h"

#include <AppKit/AppKitTesting.h>
#include <AudioToolbox/AUTesting.h>

#include <random>
#include <string>
#include <vector>

using namespace auhost;
using namespace testbundles;
using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;

namespace
{

#ifndef ZANIQ_TESTGAIN_UI_BUNDLE
#define ZANIQ_TESTGAIN_UI_BUNDLE ""
#endif

// An editor opened as a macOS host opens it: the view factory asked for a view, the view put into a window of its
// size. Points are given in editor units, from the top left.
class HostWindow
{
public:
  explicit HostWindow(AudioUnit unit)
  {
    ZQAppKitReset();
    mFactory = new ZANIQ_View();
    mFactory->init();
    NSView* view = mFactory->uiViewForAudioUnit_withSize(unit, NSMakeSize(0, 0));
    if (!view) return;
    mHeight = view->frame().size.height;
    window = ZQAppKitMakeWindow(view->frame().size.width, mHeight, 1.0);
    window->contentView()->addSubview(view);
    ui = mFactory->GetPlug() ? mFactory->GetPlug()->GetUI() : nullptr;
    if (ui) mScale = ui->GetDrawScale();
  }
  ~HostWindow()
  {
    mFactory->release();
    if (window) window->release();
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  NSPoint At(float x, float y) const { return NSMakePoint(x * mScale, mHeight - y * mScale); }
  NSPoint Centre(const IControl* control) const { return At(control->GetRECT().MW(), control->GetRECT().MH()); }
  size_t Views() const { return window ? window->contentView()->subviews()->count() : 0; }

  NSWindow* window = nullptr;
  IGraphics* ui = nullptr; // the editor as it was opened

private:
  ZANIQ_View* mFactory = nullptr;
  CGFloat mHeight = 0.0;
  float mScale = 1.f;
};

IControl* ControlOfParam(IGraphics& ui, int paramIdx)
{
  for (int i = 0; i < ui.NControls(); ++i)
    if (ui.GetControl(i)->GetParamIdx() == paramIdx) return ui.GetControl(i);
  return nullptr;
}

class DisposeProduct : public zqhost::ZaniqBundleTest
{
protected:
  void SetUp() override
  {
    ZaniqBundleTest::SetUp();
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  }
  void TearDown() override { EXPECT_EQ(ZQAppKitScriptErrors(), std::vector<std::string>{}); }

  std::unique_ptr<Instance> mUnit;
};

} // namespace

// A selector's native menu (Plugin Mode, Meter Mode): the host disposes of the unit while the menu is up; the
// menu is answered with an item or dismissed. The click returns without touching the gone control.
TEST_F(DisposeProduct, WhileASelectorsMenuIsUp)
{
  for (const int param : {ZANIQ::kPluginMode, ZANIQ::kMeterMode})
    for (const bool answer : {true, false})
    {
      SCOPED_TRACE(testing::Message() << param << (answer ? " answered" : " dismissed"));
      NSAutoreleasePool pool;
      if (!mUnit)
      {
        ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
      }
      // The meter's selectors show on a Receiver.
      zqhost::SetParam(*mUnit, "Plugin Mode", "Receiver");
      HostWindow host(mUnit->Unit());
      ASSERT_NE(host.ui, nullptr);
      IControl* selector = ControlOfParam(*host.ui, param);
      ASSERT_NE(selector, nullptr);
      const UInt32 live = ZQAULiveInstanceCount();
      ZQAppKitScriptMenu([&](NSMenu* shown) -> NSMenuItem* {
        mUnit.reset();
        return answer ? shown->itemAtIndex(1) : nullptr;
      });
      ZQAppKitClick(host.window, host.Centre(selector));
      EXPECT_EQ(ZQAppKitMenuRecords().size(), 1u);
      EXPECT_EQ(mUnit, nullptr);
      EXPECT_EQ(ZQAULiveInstanceCount(), live - 1);
      EXPECT_EQ(host.Views(), 0u);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// The About box comes up from the idle timer; the host disposes of the unit while it is up.
TEST_F(DisposeProduct, WhileTheAboutBoxIsUp)
{
  NSAutoreleasePool pool;
  HostWindow host(mUnit->Unit());
  ASSERT_NE(host.ui, nullptr);
  ASSERT_EQ(zqhost::SendCommand(*mUnit, 47), noErr);
  ZQAppKitScriptAlert(1, [&] { mUnit.reset(); });
  ZQAppKitAdvanceClock(0.05);
  ASSERT_EQ(ZQAppKitAlertRecords().size(), 1u);
  EXPECT_EQ(ZQAppKitAlertRecords().back().title, "About");
  EXPECT_EQ(mUnit, nullptr);
  EXPECT_EQ(host.Views(), 0u);
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
}

// The unit goes while a control holds the mouse: the gesture ends without reaching into the half-destroyed
// plug-in, and the mouse-up finds nothing.
TEST_F(DisposeProduct, WhileAControlHoldsTheMouse)
{
  NSAutoreleasePool pool;
  zqhost::SetParam(*mUnit, "Plugin Mode", "Receiver");
  HostWindow host(mUnit->Unit());
  ASSERT_NE(host.ui, nullptr);
  IControl* active = host.ui->GetControlWithTag(ZANIQ::kTagActive);
  ASSERT_NE(active, nullptr);
  const NSPoint p = host.Centre(active);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDown, p);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDragged, NSMakePoint(p.x, p.y - 3));
  ASSERT_TRUE(host.ui->ControlIsCaptured());
  mUnit.reset();
  EXPECT_EQ(host.Views(), 0u);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseUp, NSMakePoint(p.x, p.y - 3));
}

using DisposeTestPlug = BundleHost;
class DisposeEditorPlug : public BundleHost
{
protected:
  DisposeEditorPlug() : BundleHost(ZANIQ_TESTGAIN_UI_BUNDLE) {}
};

TEST_F(DisposeEditorPlug, WhileAKnobHoldsTheMouse)
{
  NSAutoreleasePool pool;
  HostWindow host(Unit());
  ASSERT_NE(host.ui, nullptr);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDown, host.At(65, 80));
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDragged, host.At(65, 70));
  mUnit.reset();
  EXPECT_EQ(host.Views(), 0u);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseUp, host.At(65, 70));
}

// The product's editor opened the way a host opens it: the delegate runs ZANIQ's own make-graphics function (an
// IGraphicsMac), the platform opens the Cocoa view and lays the controls out, the view goes into a headless
// window, and the artwork and fonts come from the component bundle through its identifier.

#include "support/product_editor.h"
#include "support/ui_env.h"

#include "platform/mac/IGraphicsMac.h"

#include <AppKit/AppKit.h>
#include <AppKit/AppKitTesting.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace uitest;
using producteditor::LoadedBundle;
using producteditor::ProductZANIQ;

namespace
{

const char* const kBundle = ZANIQ_BUNDLE_DIR;

} // namespace

TEST_F(EditorTest, ProductEditorInAWindow)
{
  if (!std::filesystem::is_regular_file(std::filesystem::path(kBundle) / "Contents/Resources/background2.png"))
    GTEST_SKIP() << "the bundle's artwork is not built";
  LoadedBundle bundle(kBundle);
  ASSERT_TRUE(bundle.Ok());

  for (float scale : {1.f, 2.f})
  {
    ZQAppKitReset();
    ZQAppKitSetMainScreen(1920, 1080, scale);
    NSWindow* window = ZQAppKitMakeWindow(424, 610, scale);
    {
      ProductZANIQ z;
      z.Change(ZANIQ::kPluginMode, 1);
      z.Change(ZANIQ::kGUIMode, 0);
      auto* view = static_cast<NSView*>(z.OpenWindow(nullptr));
      ASSERT_NE(view, nullptr);
      window->contentView()->addSubview(view);
      IGraphics* g = z.GetUI();
      ASSERT_NE(dynamic_cast<IGraphicsMac*>(g), nullptr);
      EXPECT_TRUE(z.IsUIOpen());
      EXPECT_TRUE(z.IsLayoutDone());
      ASSERT_EQ(g->NControls(), 70);
      // The artwork was found: the backgrounds span the editor.
      const IRECT back = z.GetEditorControl(ZANIQ::kCtlReceiverBackground)->GetRECT();
      EXPECT_FLOAT_EQ(back.W(), 424.f);
      EXPECT_FLOAT_EQ(back.H(), 610.f);
      EXPECT_GT(z.GetEditorControl(ZANIQ::kCtlDriveKnob)->GetRECT().W(), 0.f);

      (void)ZQAppKitAdvanceClock(1.0 / 60.0 + 1e-6); // one tick of the render timer
      producteditor::FinishFrames(*g);
      ZQFrame frame;
      ASSERT_TRUE(ZQAppKitLastFrame(window, &frame));
      EXPECT_EQ(frame.width, size_t(424 * scale));
      EXPECT_EQ(frame.height, size_t(610 * scale));
      if (const char* dir = std::getenv("VR_SAVE"))
      {
        const std::string path = std::string(std::string(dir) == "1" ? "/tmp" : dir) + "/editor_mac" +
                                 (scale > 1.f ? "@2x" : "") + ".png";
        EXPECT_TRUE(ZQAppKitSaveFrame(window, path.c_str()));
        std::cout << "picture: " << path << "\n";
      }
      z.CloseWindow();
      EXPECT_EQ(z.GetLinkIDSelector(), nullptr);
    }
    window->release();
  }
}

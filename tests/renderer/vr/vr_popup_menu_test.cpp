// The editor-drawn popup menu through IGraphicsVR: a menu with a check mark, a separator, a disabled row and an
// open submenu, drawn into the stand-in layer and saved as PNG.

#include "controls/IPopupMenuControl.h"
#include "support/vr_rig.h"

#include <cstdio>

using namespace vrtest;

namespace
{
double sNow = 0.0;
double Clock()
{
  return sNow;
}
} // namespace

TEST(VRPopupMenu, MenuWithOpenSubmenuDrawsAndSavesAsPNG)
{
  IGraphics::SetClock(Clock);
  Editor e(260, 200);
  e.dlg.SetGraphicsReady(true);
  ASSERT_TRUE(e.g.LoadFont("Roboto-Regular", kRoboto));
  e.g.AttachControl(
      new FuncControl(e.g.GetBounds(), [](IGraphicsVR& g) { g.FillRect(IColor(255, 222, 226, 232), g.GetBounds()); }));
  IControl* caller = e.g.AttachControl(new FuncControl(IRECT(20, 20, 100, 40), [](IGraphicsVR&) {}));
  e.g.AttachPopupMenuControl(IText(14.f, COLOR_BLACK, "Roboto-Regular"));
  auto* popup = static_cast<IPopupMenuControl*>(e.g.GetPopupMenuControl());

  IPopupMenu menu("", 0, false, {"Match", "Bypass"});
  menu.CheckItem(1, true);
  menu.AddSeparator();
  menu.AddSubMenuItem("Mode", new IPopupMenu("", 0, false, {"Short", "Long"}));
  menu.AddItem("Off", -1, IPopupMenu::kDisabled);
  e.g.CreatePopupMenu(caller, menu, IRECT(20, 20, 100, 40), 0);
  const auto step = [&](double dt)
  {
    IRECTList r;
    sNow += dt, e.g.IsDirty(r);
  };
  step(0.101), step(0.001);
  const IRECT mode = *popup->GetPanel(0)->GetCell(3);
  e.g.OnMouseOver(mode.MW(), mode.MH(), IMouseMod());
  step(0.201), step(0.001);
  ASSERT_EQ(popup->NPanels(), 2);
  const IRECT sub = *popup->GetPanel(1)->GetCell(0);
  e.g.OnMouseOver(sub.MW(), sub.MH(), IMouseMod());
  e.g.DrawFrame();

  int w = 0, h = 0;
  const auto px = e.g.Pixels(&w, &h);
  ASSERT_EQ(w, 260);
  const auto at = [&](float x, float y) { return &px[(size_t(y) * w + size_t(x)) * 4]; };
  // BGRA: the panel white (at 95 % over the background) beside the rows, the hovered rows blue.
  const IRECT panel = popup->GetPanel(0)->mTargetRECT;
  EXPECT_GT(at(panel.L + 2, panel.MH())[1], 245);
  EXPECT_GT(at(mode.L + 2, mode.MH())[0], 200);
  EXPECT_LT(at(mode.L + 2, mode.MH())[1], 40);
  EXPECT_GT(at(sub.R - 2, sub.MH())[0], 200);
  EXPECT_LT(at(sub.R - 2, sub.MH())[2], 40);

  const std::string path = ::testing::TempDir() + "vr_popup_menu.png";
  EXPECT_TRUE(e.g.SavePNG(path));
  if (!HasFailure() && !KeepImages()) std::remove(path.c_str());
  IGraphics::SetClock(nullptr);
}

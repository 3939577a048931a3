#include "controls/IPopupMenuControl.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

double sNow = 0.0;
double TestClock()
{
  return sNow;
}

// A caller that owns the menu it shows, as product controls do.
class MenuOwner : public RecordingControl
{
public:
  using RecordingControl::RecordingControl;
  IPopupMenu menu{"", 0, false, {"one", "two", "three"}};
};

constexpr float kCharW = 7.f; // the recording back end's text width per character
constexpr float kRowH = 16.f; // text size: the recording back end measures one line as its height

struct PopupTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g;
  IPopupMenuControl* popup = nullptr;
  RecordingControl* caller = nullptr;

  void SetUp() override
  {
    sNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.SetGraphicsReady(true);
    Make(400, 300);
  }
  void TearDown() override { g.reset(), IGraphics::SetClock(nullptr); }
  void Make(int w, int h)
  {
    g = std::make_unique<ScriptedGraphics>(dlg, w, h);
    g->AttachPopupMenuControl(IText(kRowH, COLOR_BLACK));
    popup = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
    caller = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(0, 0, 50, 50))));
  }
  void Frame(double dt)
  {
    IRECTList rects;
    sNow += dt, g->IsDirty(rects);
  }
  void Open(IPopupMenu& menu, const IRECT& anchor)
  {
    g->CreatePopupMenu(caller, menu, anchor, 0), Frame(0.101), Frame(0.001);
  }
  void Collapse() { Frame(0.101), Frame(0.101), Frame(0.101); }
  void Over(const IRECT& r) { g->OnMouseOver(r.MW(), r.MH(), IMouseMod()); }
  void Click(const IRECT& r)
  {
    g->OnMouseDown({IMouseInfo{r.MW(), r.MH(), 0, 0, IMouseMod(true)}});
    g->OnMouseUp({IMouseInfo{r.MW(), r.MH(), 0, 0, IMouseMod(true)}});
  }
  const IRECT& Cell(int panel, int row) { return *popup->GetPanel(panel)->GetCell(row); }
};

} // namespace

TEST_F(PopupTest, PanelSizesFollowTheTextsAndTheRootSitsBelowItsAnchorOnScreen)
{
  float w = 0, h = 0;
  IPopupMenu three("", 0, false, {"a", "bb", "ccc"});
  popup->CalculatePanelSize(three, w, h);
  EXPECT_FLOAT_EQ(h, 3 * 16 + 2 * 2);
  EXPECT_FLOAT_EQ(w, 3 * kCharW + 28);
  // No rows: no negative gap, and the margins alone as width.
  IPopupMenu empty;
  popup->CalculatePanelSize(empty, w, h);
  EXPECT_FLOAT_EQ(h, 0.f);
  EXPECT_FLOAT_EQ(w, 28.f);

  // Near the right edge the panel keeps twice the shadow size off it.
  IPopupMenu menu("", 0, false, {"alpha", "beta"});
  Open(menu, IRECT(390, 50, 400, 70));
  const float pw = 5 * kCharW + 28, x = 400 - pw - 20;
  EXPECT_EQ(popup->GetCalloutDirection(), IPopupMenuControl::kBelow);
  EXPECT_EQ(popup->GetTargetRECT(), IRECT(x, 70, x + pw + 10, 70 + 34 + 10));
}

TEST_F(PopupTest, TallMenuScrollsAndArrowRowsChooseNothing)
{
  IPopupMenu menu;
  for (int i = 0; i < 40; ++i)
    menu.AddItem(("item" + std::to_string(i)).c_str());
  Open(menu, IRECT(100, 50, 180, 70));
  IPopupMenuControl::MenuPanel* p = popup->GetPanel(0);
  ASSERT_TRUE(p->mScroller);
  // Rows start 15 below the top; (300 - 5 - 15) / (16 + 2) rows fit.
  EXPECT_FLOAT_EQ(Cell(0, 0).T, 15.f);
  ASSERT_EQ(p->NCells(), 15);

  // Each mouse-over on the last row scrolls by one item, on the first row back by one.
  Over(Cell(0, 14)), Over(Cell(0, 14)), Over(Cell(0, 14)), Over(Cell(0, 0));
  EXPECT_EQ(p->mScrollItemOffset, 2);

  // A click on the down arrow is no choice of the item it hides.
  Click(Cell(0, 14));
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  ASSERT_EQ(caller->events.back(), "popup null/0");
  Collapse();

  // A plain row chooses its item: row + offset.
  Open(menu, IRECT(100, 50, 180, 70));
  Over(Cell(0, 14)), Over(Cell(0, 14)), Click(Cell(0, 4));
  EXPECT_EQ(menu.GetChosenItemIdx(), 6);
  EXPECT_EQ(caller->events.back(), "popup 6/0");
}

TEST_F(PopupTest, DegenerateMenusGetADefinedPlace)
{
  // Zero visible rows: the editor is too short for one.
  Make(200, 20);
  IPopupMenu menu("", 0, false, {"a", "b"});
  Open(menu, IRECT(10, 2, 20, 8));
  ASSERT_EQ(popup->NPanels(), 1);
  EXPECT_TRUE(popup->GetPanel(0)->mScroller);
  EXPECT_EQ(popup->GetPanel(0)->NCells(), 0);
  g->Draw(popup->GetRECT(), 1.f);
  Over(IRECT(10, 10, 20, 20)), Click(IRECT(10, 10, 20, 20));
  EXPECT_EQ(caller->events.back(), "popup null/0");
  // A menu without items and a menu wider and taller than the editor: finite, on-screen placements.
  for (int variant = 0; variant < 2; ++variant)
  {
    Make(100, 60);
    IPopupMenu m;
    for (int i = 0; variant == 1 && i < 9; ++i)
      m.AddItem("a text far wider than this small editor");
    Open(m, IRECT(40, 20, 60, 30));
    const IRECT t = popup->GetTargetRECT();
    EXPECT_TRUE(t.L >= 0.f && t.T >= 0.f && std::isfinite(t.R) && std::isfinite(t.B)) << variant;
    g->Draw(popup->GetRECT(), 1.f);
    Click(IRECT(50, 50, 52, 52));
    EXPECT_EQ(caller->events.back(), "popup null/0");
  }
}

TEST_F(PopupTest, MouseWalksThroughNestedSubmenusAndChoosesDeep)
{
  IPopupMenu root("", 0, false, {"plain"});
  auto* sub = new IPopupMenu("", 0, false, {"s0"});
  auto* deep = new IPopupMenu("", 0, false, {"d0", "d1"});
  sub->AddSubMenuItem("more", deep);
  root.AddSubMenuItem("sub", sub);
  root.AddItem("off", -1, IPopupMenu::kDisabled);
  Open(root, IRECT(100, 50, 180, 70));

  Over(Cell(0, 2)); // a disabled row is never hovered
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);
  Over(Cell(0, 1)), Frame(0.21), Frame(0.001), Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  ASSERT_EQ(popup->NPanels(), 3);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mTargetRECT.L, Cell(0, 1).R + 5);

  // Back on a plain root row: every panel opened from the root goes, however deep.
  Over(Cell(0, 0));
  EXPECT_FALSE(popup->GetPanel(1)->mShouldDraw);
  EXPECT_FALSE(popup->GetPanel(2)->mShouldDraw);

  Over(Cell(0, 1)), Frame(0.21), Frame(0.001), Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  EXPECT_TRUE(popup->GetPanel(2)->mShouldDraw);
  Over(Cell(2, 1)), Click(Cell(2, 1));
  EXPECT_EQ(deep->GetChosenItemIdx(), 1);
  EXPECT_EQ(root.GetChosenItemIdx(), -1);
  EXPECT_EQ(caller->events.back(), "popup 1/0");
}

TEST_F(PopupTest, ASecondRequestWhileBusyKeepsTheFirstCallerAndFadesRunOnTheClock)
{
  IPopupMenu menu("", 0, false, {"a", "b"});
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanding);
  Frame(0.05);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  auto* other = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(60, 0, 90, 30))));
  IPopupMenu second("", 0, false, {"x"});
  g->CreatePopupMenu(other, second, IRECT(0, 0, 10, 10), 0);
  EXPECT_EQ(popup->GetPanel(0)->mMenu, &menu);
  Frame(0.06);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);

  Over(Cell(0, 1)), Click(Cell(0, 1));
  EXPECT_EQ(caller->events.back(), "popup 1/0");
  EXPECT_TRUE(other->events.empty());
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  Frame(0.101), Frame(0.101), Frame(0.101);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  EXPECT_EQ(popup->NPanels(), 0);
  EXPECT_EQ(popup->GetAnimationFunction(), nullptr);
}

TEST_F(PopupTest, RemovedCallerOrLostFocusLeavesNothingBehind)
{
  // The caller owns the menu: removing it must drop the menu on show, and no completion may run.
  auto* owner = static_cast<MenuOwner*>(g->AttachControl(new MenuOwner(IRECT(60, 0, 90, 30))));
  int ran = 0;
  owner->menu.SetFunction([&](IPopupMenu*) { ++ran; });
  g->CreatePopupMenu(owner, owner->menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.101), Frame(0.001);
  g->RemoveControl(owner);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  EXPECT_EQ(popup->NPanels(), 0);
  Click(IRECT(100, 80, 180, 90)), Frame(0.2);
  EXPECT_EQ(ran, 0);

  // Focus lost while open: dismissed with nothing chosen, and clicks reach the controls again.
  IPopupMenu menu("", 0, false, {"a"});
  Open(menu, IRECT(100, 50, 180, 70)), Over(Cell(0, 0)), g->OnFocusLost();
  EXPECT_EQ(caller->events.back(), "popup null/0");
  Collapse();
  Click(IRECT(10, 10, 20, 20));
  EXPECT_EQ(caller->events.back().rfind("up", 0), 0u);
  // The control itself removed while showing: its caller waits for nothing.
  Open(menu, IRECT(100, 50, 180, 70)), g->RemovePopupMenuControl();
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
}

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

// Logs the fills the menu makes with their blend weight (the recording back end keeps no blend).
class FillLog : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;
  struct Fill
  {
    IColor color;
    IRECT r;
    float weight;
  };
  std::vector<Fill> fills;
  void FillRect(const IColor& color, const IRECT& r, const IBlend* blend) override
  {
    fills.push_back({color, r, blend ? blend->weight : 1.f});
    ScriptedGraphics::FillRect(color, r, blend);
  }
};

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
  std::unique_ptr<FillLog> g;
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
    g = std::make_unique<FillLog>(dlg, w, h);
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

// ---- Sizes, placement, columns ----

TEST_F(PopupTest, PanelSizesFollowTheWidestTextAndTheRowCount)
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
}

TEST_F(PopupTest, RootPanelSitsBelowItsAnchorWithinTheEditor)
{
  IPopupMenu menu("", 0, false, {"alpha", "beta"});
  const float w = 5 * kCharW + 28;
  struct Case
  {
    IRECT anchor;
    float x;
  } cases[] = {
      // x: the panel's left edge
      {IRECT(100, 50, 180, 70), 140 - w / 2},  // centred on the anchor
      {IRECT(0, 50, 10, 70), 10},              // kept off the left edge: shadow size
      {IRECT(390, 50, 400, 70), 400 - w - 20}, // and off the right edge: twice the shadow size
  };
  for (const auto& c : cases)
  {
    Open(menu, c.anchor);
    ASSERT_EQ(popup->NPanels(), 1);
    EXPECT_EQ(popup->GetCalloutDirection(), IPopupMenuControl::kBelow);
    EXPECT_EQ(popup->GetTargetRECT(), IRECT(c.x, 70, c.x + w + 10, 70 + 34 + 10));
    g->OnMouseDown({IMouseInfo{0, 0, 0, 0, IMouseMod(true)}}); // outside: closes
    Collapse();
    ASSERT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  }
}

TEST_F(PopupTest, ColumnsOpenEveryMaximumItemsWithoutScrolling)
{
  popup->SetScrollIfTooBig(false);
  popup->SetMaxItemsPerColumn(1);
  IPopupMenu menu("", 0, false, {"aa", "bb", "cc", "dd"});
  Open(menu, IRECT(100, 50, 180, 70));
  const float w = 2 * kCharW + 28;
  const IPopupMenuControl::MenuPanel* p = popup->GetPanel(0);
  ASSERT_EQ(p->NCells(), 4);
  const float x0 = Cell(0, 0).L, y0 = Cell(0, 0).T;
  EXPECT_EQ(Cell(0, 1), IRECT(x0, y0 + 18, x0 + w, y0 + 34)); // items 0 and 1 share the first column
  EXPECT_EQ(Cell(0, 2), IRECT(x0 + w + 2, y0, x0 + 2 * w + 2, y0 + 16));
  EXPECT_EQ(Cell(0, 3), IRECT(x0 + 2 * (w + 2), y0, x0 + 3 * w + 4, y0 + 16));
}

// ---- Scrolling and its faults ----

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

  // Each mouse-over on the last row scrolls by one item; the wheel never does.
  Over(Cell(0, 14)), Over(Cell(0, 14)), Over(Cell(0, 14));
  EXPECT_EQ(p->mScrollItemOffset, 3);
  g->OnMouseWheel(Cell(0, 5).MW(), Cell(0, 5).MH(), IMouseMod(), 1.f);
  EXPECT_EQ(p->mScrollItemOffset, 3);
  Over(Cell(0, 0));
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

// ---- Submenus, mouse and keys ----

TEST_F(PopupTest, MouseWalksThroughNestedSubmenusAndChoosesDeep)
{
  IPopupMenu root("", 0, false, {"plain"});
  auto* sub = new IPopupMenu("", 0, false, {"s0"});
  auto* deep = new IPopupMenu("", 0, false, {"d0", "d1"});
  sub->AddSubMenuItem("more", deep);
  root.AddSubMenuItem("sub", sub);
  root.AddItem("off", -1, IPopupMenu::kDisabled);
  root.AddItem("head", -1, IPopupMenu::kTitle);
  Open(root, IRECT(100, 50, 180, 70));

  // A disabled row is never hovered; a title row is.
  Over(Cell(0, 2));
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);
  Over(Cell(0, 3));
  EXPECT_EQ(popup->GetHoveredCell(), popup->GetPanel(0)->GetCell(3));

  Over(Cell(0, 1));
  ASSERT_EQ(popup->NPanels(), 2);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kSubMenuAppearing);
  Frame(0.19);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mBlend.weight, 0.95f); // shown once 90 % of the 200 ms have passed
  Frame(0.02), Frame(0.001);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mTargetRECT.L, Cell(0, 1).R + 5);

  Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  ASSERT_EQ(popup->NPanels(), 3);

  // Back on a plain root row: every panel opened from the root goes, however deep.
  Over(Cell(0, 0));
  EXPECT_TRUE(popup->GetPanel(0)->mShouldDraw);
  EXPECT_FALSE(popup->GetPanel(1)->mShouldDraw);
  EXPECT_FALSE(popup->GetPanel(2)->mShouldDraw);

  Over(Cell(0, 1)), Frame(0.21), Frame(0.001), Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  EXPECT_TRUE(popup->GetPanel(2)->mShouldDraw);

  // While the menu is open, keys do not reach the control under the mouse.
  caller->keyResult = true;
  g->OnKeyDown(10, 10, IKeyPress{});
  EXPECT_EQ(caller->keysDown, 0);

  Over(Cell(2, 1)), Click(Cell(2, 1));
  EXPECT_EQ(deep->GetChosenItemIdx(), 1);
  EXPECT_EQ(root.GetChosenItemIdx(), -1);
  EXPECT_EQ(caller->events.back(), "popup 1/0");
}

// ---- States and fades ----

TEST_F(PopupTest, FadesRunOnTheClockThroughEveryState)
{
  IPopupMenu menu("", 0, false, {"a", "b"});
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanding);
  Frame(0.05);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  // A second request while busy is refused and keeps the first caller.
  RecordingControl* other =
      static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(60, 0, 90, 30))));
  IPopupMenu second("", 0, false, {"x"});
  g->CreatePopupMenu(other, second, IRECT(0, 0, 10, 10), 0);
  EXPECT_EQ(popup->GetPanel(0)->mMenu, &menu);
  Frame(0.06);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
  EXPECT_FLOAT_EQ(popup->GetPanel(0)->mBlend.weight, 0.95f);

  Over(Cell(0, 1)), Click(Cell(0, 1));
  EXPECT_EQ(caller->events.back(), "popup 1/0");
  EXPECT_TRUE(other->events.empty());
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  Frame(0.101), Frame(0.05);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsing);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  Frame(0.051);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFadedOut);
  Frame(0.101);
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

// ---- Drawing through the recording back end ----

TEST_F(PopupTest, DrawsRowsAndSeparatorsWithTheirBlends)
{
  IPopupMenu menu("", 0, false, {"a", "b"});
  menu.AddSeparator(1);
  menu.CheckItem(2, true);
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.05), g->fills.clear();
  g->Draw(popup->GetRECT(), 1.f);
  for (const auto& f : g->fills)
    EXPECT_NE(f.color, COLOR_MID_GRAY) << "separator drawn while fading in";

  Frame(0.06), Over(Cell(0, 0)), g->fills.clear(), g->drawn.clear();
  g->Draw(popup->GetRECT(), 1.f);
  int separators = 0, highlights = 0;
  for (const auto& f : g->fills)
  {
    if (f.color == COLOR_MID_GRAY)
    {
      ++separators;
      EXPECT_FLOAT_EQ(f.weight, 0.25f);
      EXPECT_EQ(f.r, Cell(0, 1));
    }
    if (f.color == COLOR_BLUE)
    {
      ++highlights;
      EXPECT_EQ(f.r, Cell(0, 0).GetPadded(-5, 0, 5, 0)); // widened by the panel margin
    }
  }
  EXPECT_EQ(separators, 1);
  EXPECT_EQ(highlights, 1);
  const auto texts = g->Calls("DoDrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_DOUBLE_EQ(texts[0].a[0], Cell(0, 0).L + 15); // after the tick space and the text margin
  EXPECT_EQ(popup->GetText().mAlign, kAlignNear);
  EXPECT_EQ(popup->GetText().mFGColor, COLOR_BLACK); // the last row drawn was not selected
}

// The editor-drawn popup menu: where the root panel goes, columns, the fades through every state, and its drawing
// (rows, highlights, separators, ticks, submenu and scroll arrows, callout arrows), mouse input, and requests made
// while a menu is busy, checked against positions and sizes worked out by hand (text 7 units per character, rows
// 16 high).

#include "controls/IPopupMenuControl.h"
#include "controls/support/ClockedFixture.h"
#include "controls/support/PrimitiveRecorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

using Prims = std::vector<PrimitiveRecorder::Prim>;
using Corners = std::vector<float>;

constexpr float kCharW = 7.f;
constexpr float kRowH = 16.f;
const IColor kSeparator(255, 200, 200, 200);

struct PopupMenuTest : ClockedFixture<PrimitiveRecorder>
{
  IPopupMenuControl* popup = nullptr;
  RecordingControl* caller = nullptr;

  explicit PopupMenuTest(int nParams = 1) : ClockedFixture(nParams) {}
  void SetUp() override
  {
    ClockedFixture::SetUp();
    Make(400, 300);
  }
  void Make(int w, int h)
  {
    g = std::make_unique<PrimitiveRecorder>(dlg, w, h);
    g->AttachPopupMenuControl(IText(kRowH, COLOR_BLACK));
    popup = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
    caller = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(0, 0, 50, 50))));
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
  // The primitives of one frame of the menu.
  Prims DrawMenu()
  {
    g->Reset();
    g->Draw(popup->GetRECT(), 1.f);
    return g->prims;
  }
  static Prims Only(const Prims& all, const std::string& op, const IColor* color = nullptr)
  {
    Prims out;
    for (const auto& p : all)
      if (p.op == op && (!color || p.color == *color)) out.push_back(p);
    return out;
  }
};

::testing::AssertionResult SameCorners(const Corners& a, const Corners& e)
{
  if (a.size() != e.size()) return ::testing::AssertionFailure() << "size " << a.size();
  for (size_t i = 0; i < a.size(); ++i)
    if (std::abs(a[i] - e[i]) > 1e-4f) return ::testing::AssertionFailure() << "corner value " << i << ": " << a[i];
  return ::testing::AssertionSuccess();
}

} // namespace

// ---- Placement and columns ----

TEST_F(PopupMenuTest, RootPanelSitsBelowItsAnchorWithinTheEditor)
{
  IPopupMenu menu("", 0, false, {"alpha", "beta"});
  const float w = 5 * kCharW + 28;
  struct Case
  {
    IRECT anchor;
    float x; // the panel's left edge
  } cases[] = {
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

TEST_F(PopupMenuTest, ColumnsOpenEveryMaximumItemsWithoutScrolling)
{
  popup->SetScrollIfTooBig(false);
  popup->SetMaxItemsPerColumn(1);
  IPopupMenu menu("", 0, false, {"aa", "bb", "cc", "dd"});
  Open(menu, IRECT(100, 50, 180, 70));
  const float w = 2 * kCharW + 28;
  ASSERT_EQ(popup->GetPanel(0)->NCells(), 4);
  const float x0 = Cell(0, 0).L, y0 = Cell(0, 0).T;
  EXPECT_EQ(Cell(0, 1), IRECT(x0, y0 + 18, x0 + w, y0 + 34)); // items 0 and 1 share the first column
  EXPECT_EQ(Cell(0, 2), IRECT(x0 + w + 2, y0, x0 + 2 * w + 2, y0 + 16));
  EXPECT_EQ(Cell(0, 3), IRECT(x0 + 2 * (w + 2), y0, x0 + 3 * w + 4, y0 + 16));
}

TEST_F(PopupMenuTest, AColumnLimitWhileScrollingLaysAFittingMenuOutInOneColumnMovedUp)
{
  // The limit falls due at item 2; all four rows fit (15 would), so all are built again in one column starting
  // one row height less three rows above where the first would have been: 70 + 5 + 16 − 64 = 27.
  popup->SetMaxItemsPerColumn(2);
  IPopupMenu menu("", 0, false, {"aa", "bb", "cc", "dd"});
  Open(menu, IRECT(100, 50, 180, 70));
  const IPopupMenuControl::MenuPanel* p = popup->GetPanel(0);
  ASSERT_EQ(p->NCells(), 4);
  EXPECT_FALSE(p->mScroller);
  const float x = 140 - (2 * kCharW + 28) / 2 + 5;
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Cell(0, i), IRECT(x, 27 + 18 * i, x + 2 * kCharW + 28, 43 + 18 * i)) << i;
}

TEST_F(PopupMenuTest, AMenuWithSubmenusOpensAboveAnAnchorWithMoreRoomAboveAndItsSubmenusAlongTheRow)
{
  IPopupMenu root("", 0, false, {"plain"});
  root.AddSubMenuItem("sub", new IPopupMenu("", 0, false, {"s0"}));
  Open(root, IRECT(100, 250, 180, 270));
  // Width 5 × 7 + 28 = 63, height 2 × 16 + 2 = 34: y = 250 − 34 − 10 = 206, rows from 211.
  EXPECT_EQ(popup->GetCalloutDirection(), IPopupMenuControl::kAbove);
  EXPECT_FLOAT_EQ(Cell(0, 0).T, 211.f);
  // The submenu (42 × 16) beside its row: y = 229 − 2.5 − 16 + 4 + 10 = 224.5, its row 5 lower.
  Over(Cell(0, 1));
  ASSERT_EQ(popup->NPanels(), 2);
  EXPECT_FLOAT_EQ(Cell(1, 0).T, 229.5f);
  EXPECT_FLOAT_EQ(Cell(1, 0).L, Cell(0, 1).R + 10);
}

// ---- States and fades ----

TEST_F(PopupMenuTest, FadesRunOnTheClockThroughEveryState)
{
  IPopupMenu menu("", 0, false, {"a", "b"});
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanding);
  Frame(0.05);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  // A click while it fades in chooses nothing and does not close it.
  popup->OnMouseDown(Cell(0, 0).MW(), Cell(0, 0).MH(), IMouseMod(true));
  EXPECT_EQ((std::tuple{popup->GetState(), menu.GetChosenItemIdx()}),
            (std::tuple{int(IPopupMenuControl::kExpanding), -1}));
  Frame(0.06);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
  EXPECT_FLOAT_EQ(popup->GetPanel(0)->mBlend.weight, 0.95f);

  Over(Cell(0, 1)), Click(Cell(0, 1));
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  Frame(0.05);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  EXPECT_FLOAT_EQ(popup->GetPanel(0)->mBlend.weight, 0.95f); // unchanged while flickering
  Frame(0.051), Frame(0.05);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsing);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  Frame(0.051);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFadedOut);
  EXPECT_FLOAT_EQ(popup->GetPanel(0)->mBlend.weight, 0.f);
  Frame(0.05);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFadedOut);
  EXPECT_FLOAT_EQ(popup->GetPanel(0)->mBlend.weight, 0.f);
  Frame(0.051);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  EXPECT_EQ(popup->NPanels(), 0);
}

// ---- Mouse ----

TEST_F(PopupMenuTest, DisabledRowsAreNeverHoveredTitlesAreAndSubmenusAppearAfterNinetyPercentOfTheirFade)
{
  IPopupMenu root("", 0, false, {"plain"});
  auto* sub = new IPopupMenu("", 0, false, {"s0"});
  root.AddSubMenuItem("sub", sub);
  root.AddItem("off", -1, IPopupMenu::kDisabled);
  root.AddItem("head", -1, IPopupMenu::kTitle);
  Open(root, IRECT(100, 50, 180, 70));

  Over(Cell(0, 2));
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);
  Over(Cell(0, 3));
  EXPECT_EQ(popup->GetHoveredCell(), popup->GetPanel(0)->GetCell(3));

  Over(Cell(0, 1));
  ASSERT_EQ(popup->NPanels(), 2);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kSubMenuAppearing);
  Frame(0.17);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mBlend.weight, 0.f);
  Frame(0.02);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mBlend.weight, 0.95f); // shown once 90 % of the 200 ms have passed
  Frame(0.02), Frame(0.001);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);

  // While the menu is open, keys do not reach the control under the mouse.
  caller->keyResult = true;
  g->OnKeyDown(10, 10, IKeyPress{});
  EXPECT_EQ(caller->keysDown, 0);
}

TEST_F(PopupMenuTest, DragsMoveTheHoveredRowAndTheWheelNeverScrolls)
{
  IPopupMenu menu;
  for (int i = 0; i < 40; ++i)
    menu.AddItem(("item" + std::to_string(i)).c_str());
  menu.AddItem("off", 5, IPopupMenu::kDisabled); // row 5 is disabled
  Open(menu, IRECT(100, 50, 180, 70));
  IPopupMenuControl::MenuPanel* p = popup->GetPanel(0);
  ASSERT_TRUE(p->mScroller);

  popup->OnMouseDrag(Cell(0, 3).MW(), Cell(0, 3).MH(), 0, 5, IMouseMod(true));
  EXPECT_EQ(popup->GetHoveredCell(), p->GetCell(3));
  popup->OnMouseDrag(Cell(0, 5).MW(), Cell(0, 5).MH(), 0, 5, IMouseMod(true));
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);
  popup->OnMouseOut();
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);

  Over(Cell(0, 14)), Over(Cell(0, 14));
  EXPECT_EQ(p->mScrollItemOffset, 2);
  g->OnMouseWheel(Cell(0, 5).MW(), Cell(0, 5).MH(), IMouseMod(), 1.f);
  g->OnMouseWheel(Cell(0, 5).MW(), Cell(0, 5).MH(), IMouseMod(), -3.f);
  EXPECT_EQ(p->mScrollItemOffset, 2);

  // Closed, drags do nothing.
  Click(Cell(0, 4));
  Collapse();
  popup->OnMouseDrag(150, 100, 0, 5, IMouseMod(true));
  EXPECT_EQ(popup->GetHoveredCell(), nullptr);
}

// ---- Drawing ----

TEST_F(PopupMenuTest, RowsSeparatorsAndTicksAreDrawnWithTheirColoursAndBlends)
{
  IPopupMenu menu("", 0, false, {"a", "b"});
  menu.AddSeparator(1);
  menu.CheckItem(2, true);
  menu.AddItem("c", -1, IPopupMenu::kDisabled);
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.05);
  EXPECT_TRUE(Only(DrawMenu(), "FillRect", &kSeparator).empty()) << "separator drawn while fading in";

  Frame(0.06), Over(Cell(0, 0));
  const Prims p = DrawMenu();
  // Shadow and background of the panel with its blend.
  const IPopupMenuControl::MenuPanel* panel = popup->GetPanel(0);
  const Prims shadow = Only(p, "DrawFastDropShadow");
  ASSERT_EQ(shadow.size(), 1u);
  const IRECT inner = panel->mRECT.GetPadded(10);
  EXPECT_EQ((std::tuple{shadow[0].r, shadow[0].a, shadow[0].weight}),
            (std::tuple{panel->mRECT, std::vector<float>{inner.L, inner.T, inner.R, inner.B, 2, 5, 10}, 0.95f}));
  const Prims bg = Only(p, "FillRoundRect", &COLOR_WHITE);
  ASSERT_EQ(bg.size(), 1u);
  EXPECT_EQ((std::tuple{bg[0].r, bg[0].a, bg[0].weight}), (std::tuple{panel->mTargetRECT, Corners(4, 5.f), 0.95f}));

  // The separator at a quarter weight; the hovered row's highlight widened by the panel margin.
  const Prims separators = Only(p, "FillRect", &kSeparator);
  ASSERT_EQ(separators.size(), 1u);
  EXPECT_EQ((std::tuple{separators[0].r, separators[0].weight}), (std::tuple{Cell(0, 1), 0.25f}));
  const Prims highlights = Only(p, "FillRect", &COLOR_BLUE);
  ASSERT_EQ(highlights.size(), 1u);
  EXPECT_EQ(highlights[0].r, Cell(0, 0).GetPadded(-5, 0, 5, 0));

  // Texts after the tick space and margin: the hovered one in the selected colour, the other in the text colour.
  const Prims texts = Only(p, "Text");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ((std::tuple{texts[0].r, texts[0].color, texts[0].a[0]}),
            (std::tuple{IRECT(Cell(0, 0).L + 15, Cell(0, 0).T, Cell(0, 0).R - 5, Cell(0, 0).B), COLOR_WHITE,
                        float(kAlignNear)}));
  EXPECT_EQ(texts[1].color, COLOR_BLACK);
  EXPECT_EQ(texts[2].color, IColor(255, 127, 127, 127));            // disabled
  EXPECT_EQ(popup->GetText().mFGColor, IColor(255, 127, 127, 127)); // the style keeps the last colour

  // The tick: a 5-unit square, radius 2, centred in the 10-unit square at the row's left, in the text colour.
  const Prims ticks = Only(p, "FillRoundRect", &COLOR_BLACK);
  ASSERT_EQ(ticks.size(), 1u);
  const IRECT& row = Cell(0, 2);
  EXPECT_TRUE(Near(ticks[0].r, {row.L + 2.5f, row.MH() - 2.5f, row.L + 7.5f, row.MH() + 2.5f}));
  EXPECT_EQ(ticks[0].a, Corners(4, 2.f));
  // Hovered, the tick takes the selected colour.
  Over(Cell(0, 2));
  EXPECT_EQ(Only(DrawMenu(), "FillRoundRect", &COLOR_WHITE).size(), 2u); // the panel and the tick
}

TEST_F(PopupMenuTest, SubmenuArrowsPointTheWayTheirSubmenusOpen)
{
  // Rows 16 high: a triangle d = 8 wide and high, its tip half the panel margin beyond the row's edge.
  for (const bool right : {true, false})
  {
    IPopupMenu root("", 0, false, {"plain"});
    root.AddSubMenuItem("more", new IPopupMenu("", 0, false, {"x"}));
    Open(root, right ? IRECT(100, 50, 180, 70) : IRECT(250, 50, 330, 70));
    ASSERT_EQ(popup->GetSubMenusToTheRight(), right);
    const IRECT& row = Cell(0, 1);
    const float cy = row.MH();
    const Corners expected = right ? Corners{row.R - 5.5f, cy - 4, row.R - 5.5f, cy + 4, row.R + 2.5f, cy}
                                   : Corners{row.L + 5.5f, cy - 4, row.L + 5.5f, cy + 4, row.L - 2.5f, cy};
    Prims arrows = Only(DrawMenu(), "FillTriangle");
    ASSERT_EQ(arrows.size(), 1u) << right;
    EXPECT_TRUE(SameCorners(arrows[0].a, expected)) << right;
    EXPECT_EQ(arrows[0].color, COLOR_BLACK);
    // Its row open: highlighted, the arrow in the selected colour.
    Over(row);
    arrows = Only(DrawMenu(), "FillTriangle");
    ASSERT_FALSE(arrows.empty());
    EXPECT_EQ(arrows[0].color, COLOR_WHITE);
    Frame(0.21), Frame(0.001); // the submenu has appeared: a click is taken again
    g->OnMouseDown({IMouseInfo{0, 0, 0, 0, IMouseMod(true)}});
    Collapse();
    ASSERT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  }
}

TEST_F(PopupMenuTest, ScrollingPanelsShowArrowsOnTheirEndRowsOnlyWhereItemsAreHidden)
{
  IPopupMenu menu;
  for (int i = 0; i < 40; ++i)
    menu.AddItem(("item" + std::to_string(i)).c_str());
  Open(menu, IRECT(100, 50, 180, 70));
  ASSERT_EQ(popup->GetPanel(0)->NCells(), 15);
  // t = 0.6 × 16 = 9.6: the down arrow's base on top, its tip below.
  auto down = [](const IRECT& r)
  { return Corners{r.MW() - 4.8f, r.MH() - 4.8f, r.MW() + 4.8f, r.MH() - 4.8f, r.MW(), r.MH() + 4.8f}; };
  auto up = [](const IRECT& r)
  { return Corners{r.MW() - 4.8f, r.MH() + 4.8f, r.MW() + 4.8f, r.MH() + 4.8f, r.MW(), r.MH() - 4.8f}; };

  // At offset 0 no up arrow: the first row shows item 0; the last row is the down arrow.
  Prims p = DrawMenu();
  Prims arrows = Only(p, "FillTriangle");
  ASSERT_EQ(arrows.size(), 1u);
  EXPECT_TRUE(SameCorners(arrows[0].a, down(Cell(0, 14))));
  std::vector<std::string> shown(g->texts.begin(), g->texts.end());
  ASSERT_EQ(shown.size(), 14u);
  EXPECT_EQ((std::tuple{shown.front(), shown.back()}), (std::tuple{std::string("item0"), std::string("item13")}));

  // Scrolled by two: both arrows; rows 1..13 show items 3..15. The hovered arrow row is highlighted.
  Over(Cell(0, 14)), Over(Cell(0, 14));
  p = DrawMenu();
  arrows = Only(p, "FillTriangle");
  ASSERT_EQ(arrows.size(), 2u);
  EXPECT_TRUE(SameCorners(arrows[0].a, up(Cell(0, 0))));
  EXPECT_TRUE(SameCorners(arrows[1].a, down(Cell(0, 14))));
  EXPECT_EQ((std::tuple{arrows[0].color, arrows[1].color}), (std::tuple{COLOR_BLACK, COLOR_WHITE}));
  EXPECT_EQ((std::tuple{g->texts.front(), g->texts.back(), g->texts.size()}),
            (std::tuple{std::string("item3"), std::string("item15"), size_t(13)}));
  EXPECT_EQ(Only(p, "FillRect", &COLOR_BLUE).at(0).r, Cell(0, 14).GetPadded(-5, 0, 5, 0));
}

TEST_F(PopupMenuTest, CalloutArrowsPointFromThePanelToItsAnchor)
{
  popup->SetCallout(true);
  popup->SetPreferBelow(false);
  IPopupMenu menu("", 0, false, {"alpha", "beta"});
  // Arrow size 8 with a triangle as wide and high, tip at the anchor: {corners, direction}.
  struct Case
  {
    IRECT anchor;
    int dir;
    Corners corners;
  };
  const Case cases[] = {
      {IRECT(100, 50, 180, 70), IPopupMenuControl::kRight, {188, 56, 188, 64, 180, 60}}, // tip left
      {IRECT(220, 50, 300, 70), IPopupMenuControl::kLeft, {212, 56, 212, 64, 220, 60}},  // tip right
      {IRECT(0, 250, 10, 270), IPopupMenuControl::kAbove, {1, 242, 9, 242, 5, 250}},     // tip down
  };
  for (const Case& c : cases)
  {
    Open(menu, c.anchor);
    ASSERT_EQ(popup->GetCalloutDirection(), c.dir);
    const Prims arrows = Only(DrawMenu(), "FillTriangle");
    ASSERT_EQ(arrows.size(), 1u) << c.dir;
    EXPECT_TRUE(SameCorners(arrows[0].a, c.corners)) << c.dir;
    EXPECT_EQ((std::tuple{arrows[0].color, arrows[0].weight}), (std::tuple{COLOR_WHITE, 0.95f}));
    g->OnMouseDown({IMouseInfo{399, 299, 0, 0, IMouseMod(true)}});
    Collapse();
  }

  // Below (preferred): tip up at the anchor's bottom centre.
  popup->SetPreferBelow(true);
  Open(menu, IRECT(100, 50, 180, 70));
  Prims arrows = Only(DrawMenu(), "FillTriangle");
  ASSERT_EQ(arrows.size(), 1u);
  EXPECT_TRUE(SameCorners(arrows[0].a, {136, 78, 144, 78, 140, 70}));
  g->OnMouseDown({IMouseInfo{399, 299, 0, 0, IMouseMod(true)}});
  Collapse();

  // With an open submenu a second arrow points from the submenu back to its row.
  IPopupMenu root("", 0, false, {"plain"});
  root.AddSubMenuItem("more", new IPopupMenu("", 0, false, {"x"}));
  Open(root, IRECT(100, 50, 180, 70));
  EXPECT_EQ(Only(DrawMenu(), "FillTriangle").size(), 2u); // callout and submenu arrow
  const IRECT row = Cell(0, 1);
  Over(row);
  const IRECT b = popup->GetSubMenuCalloutArrowBounds();
  EXPECT_EQ(b, IRECT(row.R + 5, row.MH() - 4, row.R + 13, row.MH() + 4));
  arrows = Only(DrawMenu(), "FillTriangle");
  ASSERT_EQ(arrows.size(), 3u);
  EXPECT_TRUE(SameCorners(arrows.back().a, {row.R + 13, row.MH() - 4, row.R + 13, row.MH() + 4, row.R + 5, row.MH()}));
  EXPECT_EQ(arrows.back().color, COLOR_WHITE);
}

// ---- Requests while a menu is busy ----

struct PopupPromptTest : PopupMenuTest
{
  PopupPromptTest() : PopupMenuTest(2) {}
  void SetUp() override
  {
    dlg.GetParam(0)->InitEnum("Mode", 0, {"Low", "Mid", "High"});
    dlg.GetParam(1)->InitEnum("Shape", 0, {"Sine", "Saw"});
    PopupMenuTest::SetUp();
  }
  // The item texts of the menu the root panel shows.
  std::vector<std::string> Shown() const
  {
    std::vector<std::string> texts;
    const IPopupMenu* menu = popup->GetPanel(0)->mMenu;
    for (int i = 0; menu && i < menu->NItems(); ++i)
      texts.emplace_back(menu->GetItemText(i));
    return texts;
  }
};

// A value prompt shows the shared prompt menu; other prompts and context menus asked for while it is shown or
// fading must leave it (and its caller) alone.
TEST_F(PopupPromptTest, RequestsWhileAPromptMenuIsBusyLeaveItsItemsAndItsCallerAlone)
{
  auto* a = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(100, 50, 180, 70), 0)));
  auto* b = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(200, 50, 280, 70), 1)));
  a->DisablePrompt(false), b->DisablePrompt(false);
  caller->contextItems = {"Learn", "Reset"};
  const std::vector<std::string> modes{"Low", "Mid", "High"};

  g->PromptUserInput(a, a->GetRECT(), 0);
  Frame(0.101), Frame(0.001);
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
  ASSERT_EQ(Shown(), modes);

  const auto others = [&](const char* when)
  {
    g->PromptUserInput(b, b->GetRECT(), 0);
    g->ShowContextMenu(caller, 10, 10);
    EXPECT_EQ(Shown(), modes) << when;
    EXPECT_TRUE(b->events.empty() && caller->events.empty()) << when;
  };
  others("shown");
  EXPECT_EQ(g->GetControlInPopupMenu(), a);
  Over(Cell(0, 2)), Click(Cell(0, 2));
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  others("flickering");
  Frame(0.101), Frame(0.06);
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kCollapsing);
  others("collapsing");
  Frame(0.101), Frame(0.101);
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);

  EXPECT_EQ(a->events, (std::vector<std::string>{"popup 2/0"}));
  EXPECT_DOUBLE_EQ(a->GetValue(), 1.0); // "High"
  EXPECT_TRUE(b->events.empty() && caller->events.empty());
  EXPECT_DOUBLE_EQ(b->GetValue(), 0.0);
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
}

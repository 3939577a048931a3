// The bitmap selectors, the plug-in menu icon and the header icons beyond the product's own settings: a selector's
// wheel when it is turned on, its hover and hidden drawing, a plug-in menu made with a single-parameter submenu and
// a reset-size item, disabled icons, the update icon's hover, and the changelog page the product's menu opens.

#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBPresetMenuQN.h"
#include "ui/IBUpdateControlQN.h"

#include "support/qn_shapes.h"

using namespace qnshapes;

namespace
{

using SelectorsQN = ShapesRig;
using uitest::EditorTest;

} // namespace

TEST_F(SelectorsQN, ASelectorsWheelStepsWholeEntriesOnlyWhenTurnedOn)
{
  auto* on = Attach(new IBPopupMenuQN(0, 0, kMode, Bitmap(40, 60, 3), true, nullptr, false, false));
  auto* gain = Attach(new IBPopupMenuQN(0, 30, kGain, Bitmap(40, 60, 3), true, nullptr, false, false));
  auto* off = Attach(new IBPopupMenuQN(0, 60, kMode, Bitmap(40, 60, 3), false, nullptr, false, false));
  struct Case
  {
    IBPopupMenuQN* c;
    int param;
    double start;
    float delta;
    double expected; // real
  };
  const Case cases[] = {
      {on, kMode, 2, 1.f, 1},     // a positive delta goes to the previous entry
      {on, kMode, 1, -1.f, 2},
      {on, kMode, 2, 0.5f, 2},    // below one notch: nothing
      {on, kMode, 0, 1.f, 0},     // kept to the range
      {on, kMode, 1, -7.9f, 2},
      {on, kMode, 1, NAN, 1},
      {gain, kGain, -3.7, 1.f, -4}, // whole entries counted from the truncated value, below zero too
      {gain, kGain, 23.2, -2.f, 24},
      {off, kMode, 1, 1.f, 1},    // the product's selectors ignore the wheel
  };
  for (const Case& k : cases)
  {
    SetParam(k.param, k.start);
    k.c->OnMouseWheel(k.c->GetRECT().MW(), k.c->GetRECT().MH(), kNone, k.delta);
    EXPECT_DOUBLE_EQ(plug.Real(k.param), k.expected) << &k - cases;
  }
}

TEST_F(SelectorsQN, ASelectorDrawsItsValueOrItsHoverFrameOrNothingWhenHidden)
{
  const IBitmap b = Bitmap(40, 60, 3); // 40 × 20 frames
  auto* plain = Attach(new IBPopupMenuQN(0, 0, kMode, b, false, nullptr, false, false));
  auto* hover = Attach(new IBPopupMenuQN(100, 0, kMode, b, false, nullptr, false, true));
  auto* hidden = Attach(new IBPopupMenuQN(200, 0, kMode, b, false, nullptr, true, false));
  SetParam(kMode, 2);
  EXPECT_EQ(g->FramesOf(plain), std::vector<std::string>{"0,40"});
  EXPECT_EQ(g->FramesOf(hover), std::vector<std::string>{"0,0"}); // frame 1 until the mouse comes
  g->OnMouseOver(120, 10, kNone);
  EXPECT_TRUE(hover->GetMouseOver());
  EXPECT_EQ(g->FramesOf(hover), std::vector<std::string>{"0,20"});
  g->OnMouseOut();
  EXPECT_EQ(g->FramesOf(hover), std::vector<std::string>{"0,0"});
  EXPECT_TRUE(g->DrawOf(hidden).empty());

  // A click offers the entries with the current one checked; a disabled selector is not reached.
  g->menuChoice = 0;
  uitest::Click(*g, 20, 10);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_NE(g->menus[0].flags[2] & IPopupMenu::kChecked, 0);
  EXPECT_EQ(plug.Real(kMode), 0.0);
  plain->SetDisabled(true);
  EXPECT_TRUE(plain->IsDisabled());
  uitest::Click(*g, 20, 10);
  EXPECT_EQ(g->menus.size(), 1u);
}

TEST_F(SelectorsQN, APluginMenuWithAParameterSubmenuAndAResetSizeItem)
{
  // Only the items this configuration asks for, and an empty data folder.
  auto* info = Attach(new IBInfoMenuQN(&plug, 4, 7, Bitmap(20, 40, 2), 47, -1, "", "https://example.invalid/c", -1, -1,
                                       kMode, 55, -1, -1, {}, {}, {}, {}, 66));
  EXPECT_STREQ(info->GetTooltip(), "Plugin info and options");
  g->menuChoice = -1;
  uitest::Click(*g, 14, 17);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items,
            (std::vector<std::string>{">> Plugin menu <<", "", "About ...", "", "Open manual ...", "Changelog ...", "",
                                      "Open data folder ...", "", "Mode", "", "Reset GUI size"}));
  IPopupMenu* modes = info->GetMenu().GetItem(9)->GetSubmenu();
  ASSERT_NE(modes, nullptr);
  EXPECT_TRUE(modes->IsItemChecked(0));

  // Reset GUI size sends its command; the manual and the data folder need a data folder; the changelog opens.
  struct Case
  {
    int item;
    std::vector<int> commands;
    std::vector<std::string> opened;
  };
  const Case cases[] = {{11, {55}, {}}, {4, {}, {}}, {7, {}, {}}, {5, {}, {"OpenURL(https://example.invalid/c)"}}};
  for (const Case& c : cases)
  {
    plug.commands.clear();
    g->calls.clear();
    g->menuChoice = c.item;
    uitest::Click(*g, 14, 17);
    std::vector<std::string> opened;
    for (const auto& call : g->calls)
      if (call.rfind("OpenURL(", 0) == 0) opened.push_back(call);
    EXPECT_EQ(std::pair(plug.commands, opened), std::pair(c.commands, c.opened)) << c.item;
  }

  // The submenu's entry becomes the parameter's value and the host hears of it; the current entry changes nothing.
  for (const auto& [entry, sends] : {std::pair{2, 1u}, {2, 0u}})
  {
    const size_t before = plug.sentFromUI.size();
    modes = info->GetMenu().GetItem(9)->GetSubmenu();
    modes->SetChosenItemIdx(entry);
    info->OnPopupMenuSelection(modes, 0);
    EXPECT_EQ(std::pair(plug.Real(kMode), plug.sentFromUI.size() - before), std::pair(2.0, size_t(sends)));
  }
  info->BuildMenu();
  EXPECT_TRUE(info->GetMenu().GetItem(9)->GetSubmenu()->IsItemChecked(2));

  // The icon: frame 2 while hovered, a mouse-up redraws it, and a disabled icon opens nothing.
  g->OnMouseOver(14, 17, kNone);
  EXPECT_EQ(g->FramesOf(info), std::vector<std::string>{"0,20"});
  info->SetClean();
  info->OnMouseUp(14, 17, kNone);
  EXPECT_TRUE(info->IsDirty());
  info->SetDisabled(true);
  const size_t menus = g->menus.size();
  uitest::Click(*g, 14, 17);
  EXPECT_EQ(g->menus.size(), menus);
}

TEST_F(SelectorsQN, HeaderIconsRedrawOnHoverAndThePresetMenuShowsItsFrame)
{
  auto* update = Attach(new IBUpdateControlQN(300, 7, Bitmap(20, 40, 2), 48));
  update->SetClean();
  g->OnMouseOver(310, 17, kNone);
  EXPECT_TRUE(update->GetMouseOver() && update->IsDirty());
  update->SetClean();
  g->OnMouseOut();
  EXPECT_TRUE(!update->GetMouseOver() && update->IsDirty());
  EXPECT_TRUE(plug.commands.empty()); // hovering sends nothing

  auto* presets = Attach(new IBPresetMenuQN(200, 200, Bitmap(30, 40, 2), nullptr));
  EXPECT_EQ(g->FramesOf(presets), std::vector<std::string>{"0,0"});
  presets->SetValue(1.0);
  const auto shapes = g->DrawOf(presets);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(std::pair(shapes[0].r, shapes[0].text), std::pair(IRECT(200, 200, 230, 220), std::string("0,20")));
}

// The product's own plug-in menu opens the maker's changelog page of the product.
TEST_F(EditorTest, TheProductsChangelogItemOpensTheProductsChangelogPage)
{
  uitest::UIZANIQ& z = OpenReceiver();
  auto& g = *static_cast<uitest::ScriptedGraphics*>(z.GetUI());
  g.menuChoice = 5; // "Changelog ..."
  g.calls.clear();
  uitest::Click(g, 14, 17);
  std::string url;
  for (const auto& call : g.calls)
    if (call.rfind("OpenURL(", 0) == 0) url = call.substr(8, call.size() - 9);
  EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
  const std::string path = "/products/ZANI#Changelog";
  ASSERT_GT(url.size(), path.size() + 8) << url;
  EXPECT_EQ(url.substr(url.size() - path.size()), path);
  EXPECT_EQ(url.find('/', 8), url.size() - path.size()) << url; // a host, then the path
}

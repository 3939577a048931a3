// The Link-ID selector and the enumerated selector: the menu's structure, occupancy labels and disabling, the
// checked entries, choices from the main menu and the range submenus, command 65 before opening, the wheel and
// the text drawn.

#include "support/ui_env.h"

#include <array>
#include <atomic>
#include <memory>

using namespace testsupport;
using plugin::igraphics::IBPopupMenuQNSpecial;
using plugin::igraphics::IMouseMod;
using plugin::igraphics::IPopupMenu;
using plugin::igraphics::IRECT;

namespace
{

using Flags = std::array<std::atomic<bool>, kNumLinkSlots>;

// A selector on private presence arrays, attached to an open editor, for the label and disabling tables.
struct PrivateSelector
{
  Flags senders{}, receivers{};
  IBPopupMenuQNSpecial* c = nullptr;

  void Attach(MenuZANIQ& z, int flagCount = kNumLinkSlots)
  {
    c = new IBPopupMenuQNSpecial(10, 300, ZANIQ::kLinkID, TwoFrames(), plugin::igraphics::IText(), senders.data(),
                                 receivers.data(), flagCount, -1);
    z.G()->AttachControl(c);
  }
};

// Menu and item of a Link ID: the main menu for 0..20, else submenu (id - 21) / 20.
std::pair<IPopupMenu*, int> Locate(IBPopupMenuQNSpecial& c, int id)
{
  if (id <= 20) return {&c.GetMainMenu(), id};
  return {c.GetSubmenu((id - 21) / 20), (id - 21) % 20};
}

void SetLinkID(MenuZANIQ& z, IBPopupMenuQNSpecial& c, int id)
{
  c.SetValueFromUserInput(z.GetParam(ZANIQ::kLinkID)->ToNormalized(id));
}

} // namespace

TEST_F(MenuTest, LinkMenuListsOffTwentyIDsAndTwelveRanges)
{
  MenuZANIQ& z = MakeMenuEditor();
  PrivateSelector s;
  s.Attach(z);
  s.c->BuildMenu();
  IPopupMenu& m = s.c->GetMainMenu();
  ASSERT_EQ(m.NItems(), 33);
  EXPECT_STREQ(m.GetItemText(0), "OFF");
  for (int id = 1; id <= 20; ++id)
  {
    EXPECT_STREQ(m.GetItemText(id), std::to_string(id).c_str());
    EXPECT_EQ(m.GetItem(id)->GetSubmenu(), nullptr);
  }
  const char* titles[] = {"21-40",   "41-60",   "61-80",   "81-100",  "101-120", "121-140",
                          "141-160", "161-180", "181-200", "201-220", "221-240", "241-256"};
  for (int k = 0; k < 12; ++k)
  {
    SCOPED_TRACE(titles[k]);
    EXPECT_STREQ(m.GetItemText(21 + k), titles[k]);
    IPopupMenu* sub = m.GetItem(21 + k)->GetSubmenu();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub, s.c->GetSubmenu(k));
    ASSERT_EQ(sub->NItems(), k == 11 ? 16 : 20);
    EXPECT_STREQ(sub->GetItemText(0), std::to_string(21 + 20 * k).c_str());
    EXPECT_STREQ(sub->GetItemText(sub->NItems() - 1), std::to_string(k == 11 ? 256 : 40 + 20 * k).c_str());
  }
  // A second build replaces the menu instead of growing it.
  s.c->BuildMenu();
  EXPECT_EQ(m.NItems(), 33);
  EXPECT_EQ(s.c->GetSubmenu(11)->NItems(), 16);
}

TEST_F(MenuTest, LinkMenuLabelsAndDisablesByOccupancyAndRole)
{
  MenuZANIQ& z = MakeMenuEditor();
  PrivateSelector s;
  s.Attach(z);
  struct Case
  {
    int id;
    bool sender, receiver;
    const char* label;
  };
  const Case cases[] = {{5, true, false, "5 (S)"},        {6, false, true, "6 (R)"}, {8, false, false, "8"},
                        {199, true, true, "199 (S R)"}, {256, false, true, "256 (R)"}};
  for (const Case& k : cases)
  {
    s.senders[size_t(k.id)] = k.sender;
    s.receivers[size_t(k.id)] = k.receiver;
  }
  // Slot 0's marks never disable "OFF".
  s.senders[0] = s.receivers[0] = true;

  for (int role : {0, 1})
  {
    s.c->SetOwnRole(role);
    s.c->BuildMenu();
    for (const Case& k : cases)
    {
      SCOPED_TRACE(std::string(k.label) + (role ? " on a Receiver" : " on a Sender"));
      auto [menu, item] = Locate(*s.c, k.id);
      EXPECT_STREQ(menu->GetItemText(item), k.label);
      const bool busy = role == 0 ? k.sender : k.receiver;
      EXPECT_EQ(menu->GetItem(item)->GetEnabled(), !busy);
    }
    EXPECT_STREQ(s.c->GetMainMenu().GetItemText(0), "OFF");
    EXPECT_TRUE(s.c->GetMainMenu().GetItem(0)->GetEnabled());
    // The range entries themselves are never disabled.
    for (int k = 0; k < 12; ++k) EXPECT_TRUE(s.c->GetMainMenu().GetItem(21 + k)->GetEnabled());
  }
}

TEST_F(MenuTest, LinkMenuReadsNoFlagPastItsCount)
{
  MenuZANIQ& z = MakeMenuEditor();
  PrivateSelector s;
  for (auto& f : s.senders) f = true;
  s.Attach(z, 30); // arrays shorter than the ID range: IDs from 30 on count as free
  s.c->BuildMenu();
  EXPECT_STREQ(s.c->GetMainMenu().GetItemText(20), "20 (S)");
  EXPECT_STREQ(s.c->GetSubmenu(0)->GetItemText(8), "29 (S)");
  EXPECT_STREQ(s.c->GetSubmenu(0)->GetItemText(9), "30");
  EXPECT_TRUE(s.c->GetSubmenu(0)->GetItem(9)->GetEnabled());

  // Without arrays every ID is free.
  auto* bare = new IBPopupMenuQNSpecial(10, 400, ZANIQ::kLinkID, TwoFrames(), plugin::igraphics::IText(), nullptr,
                                        nullptr, kNumLinkSlots, -1);
  z.G()->AttachControl(bare);
  bare->BuildMenu();
  EXPECT_STREQ(bare->GetSubmenu(11)->GetItemText(15), "256");
}

TEST_F(MenuTest, LinkMenuChecksTheCurrentIDAndItsRange)
{
  MenuZANIQ& z = MakeMenuEditor();
  struct Case
  {
    int id;
    int mainChecked; // the one checked item of the main menu
    int submenu, item; // the checked item of a submenu, -1 for none
  };
  const Case cases[] = {{57, 22, 1, 16}, {0, 0, -1, -1}, {20, 20, -1, -1}, {21, 21, 0, 0}, {256, 32, 11, 15}};
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.id);
    SetLinkID(z, *z.link, k.id);
    z.link->BuildMenu();
    IPopupMenu& m = z.link->GetMainMenu();
    for (int i = 0; i < m.NItems(); ++i) EXPECT_EQ(m.IsItemChecked(i), i == k.mainChecked) << i;
    for (int sub = 0; sub < 12; ++sub)
    {
      IPopupMenu* s = z.link->GetSubmenu(sub);
      for (int i = 0; i < s->NItems(); ++i) EXPECT_EQ(s->IsItemChecked(i), sub == k.submenu && i == k.item);
    }
  }
}

TEST_F(MenuTest, ChoosingFromTheMenusSetsTheLinkID)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  const float cx = MenuZANIQ::kLinkX + 5.f, cy = MenuZANIQ::kLinkY + 5.f;

  // The fifth item of "61-80": the platform answers later with the submenu it was chosen from.
  g.menuAsync = true;
  g.menuChoice = 4;
  z.Click(cx, cy);
  ASSERT_EQ(g.menus.size(), 1u);
  EXPECT_EQ(g.menus[0].items.size(), 33u);
  EXPECT_EQ(g.menus[0].bounds, z.link->GetRECT());
  IPopupMenu* sub = z.link->GetSubmenu(2);
  sub->SetChosenItemIdx(4);
  g.SetControlValueAfterPopupMenu(sub);
  EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->Value(), 65.0);
  EXPECT_EQ(z.GetLinkID(), 65);

  // A main-menu item at once.
  g.menuAsync = false;
  g.menuChoice = 3;
  z.Click(cx, cy);
  EXPECT_EQ(z.GetLinkID(), 3);

  // "OFF".
  g.menuChoice = 0;
  z.Click(cx, cy);
  EXPECT_EQ(z.GetLinkID(), 0);

  // Dismissed: nothing changes.
  g.menuChoice = -1;
  z.Click(cx, cy);
  EXPECT_EQ(z.GetLinkID(), 0);
}

TEST_F(MenuTest, SelectionsThatAreNoLinkIDAreIgnored)
{
  MenuZANIQ& z = MakeMenuEditor();
  SetLinkID(z, *z.link, 9);
  z.link->BuildMenu();
  IPopupMenu foreign("");
  foreign.AddItem("x");
  foreign.SetChosenItemIdx(0);
  z.link->OnPopupMenuSelection(&foreign, 0);
  z.link->OnPopupMenuSelection(nullptr, 0);
  // A range entry, an index past the submenu and a disabled ID.
  z.link->GetMainMenu().SetChosenItemIdx(23);
  z.link->OnPopupMenuSelection(&z.link->GetMainMenu(), 0);
  z.link->GetSubmenu(11)->SetChosenItemIdx(16);
  z.link->OnPopupMenuSelection(z.link->GetSubmenu(11), 0);
  z.link->GetSubmenu(0)->GetItem(3)->SetFlags(IPopupMenu::kDisabled);
  z.link->GetSubmenu(0)->SetChosenItemIdx(3);
  z.link->OnPopupMenuSelection(z.link->GetSubmenu(0), 0);
  EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->Value(), 9.0);
}

TEST_F(MenuTest, TheCommandRefreshesOccupancyBeforeTheMenuOpens)
{
  MenuZANIQ& z = MakeMenuEditor();
  LinkRegistry& reg = LinkRegistry::Instance();
  reg.Move(-1, 0, kLinkReceiver, 100); // another instance's Receiver, joined after the editor opened
  const size_t before = z.sent.size();
  z.Click(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f);
  reg.Leave(kLinkReceiver, 100);
  ASSERT_GT(z.sent.size(), before);
  EXPECT_EQ(z.sent[before], 65);
  EXPECT_STREQ(z.link->GetSubmenu(3)->GetItemText(19), "100 (R)");

  // Shift-click: the command, then a text entry for the Link ID instead of the menu.
  const size_t menus = z.G()->menus.size();
  z.G()->textAnswers = {"77"};
  z.Click(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f, IMouseMod(true, false, true));
  EXPECT_EQ(z.SentCount(65), 2);
  EXPECT_EQ(z.G()->menus.size(), menus);
  ASSERT_EQ(z.G()->textEntries.size(), 1u);
  EXPECT_EQ(z.G()->textEntries[0].paramIdx, ZANIQ::kLinkID);
  EXPECT_EQ(z.GetLinkID(), 77);
}

TEST_F(MenuTest, WheelStepsTheLinkIDWithinItsRange)
{
  MenuZANIQ& z = MakeMenuEditor();
  struct Case
  {
    int from;
    float delta;
    int to;
  };
  const Case cases[] = {{10, 1.f, 9}, {10, -1.f, 11}, {0, 1.f, 0}, {256, -1.f, 256}, {10, 0.5f, 10}, {10, 3.7f, 7}};
  for (const Case& k : cases)
  {
    SCOPED_TRACE(std::to_string(k.from) + " by " + std::to_string(k.delta));
    SetLinkID(z, *z.link, k.from);
    const int sent65 = z.SentCount(65);
    z.G()->OnMouseWheel(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f, IMouseMod(), k.delta);
    EXPECT_EQ(z.SentCount(65), sent65 + 1);
    EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->Value(), double(k.to));
  }
}

TEST_F(MenuTest, SelectorShowsOffOrTheIDAndDimsWhenDisabled)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  struct Case
  {
    int id;
    bool disabled;
    const char* text;
    int alpha;
  };
  const Case cases[] = {{0, false, "OFF", 255}, {65, false, "65", 255}, {256, true, "256", 127}, {1, true, "1", 127}};
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.text);
    SetLinkID(z, *z.link, k.id);
    z.link->SetDisabled(k.disabled);
    g.drawn.clear();
    g.textColors.clear();
    z.link->Draw(g);
    ASSERT_EQ(g.Calls("DoDrawText").size(), 1u);
    EXPECT_EQ(g.Calls("DoDrawText")[0].text, k.text);
    EXPECT_TRUE(g.Calls("DrawBitmap").empty());
    const auto r = g.Calls("DoDrawText")[0].a;
    EXPECT_EQ(IRECT(float(r[0]), float(r[1]), float(r[2]), float(r[3])), z.link->GetRECT());
    ASSERT_EQ(g.textColors.size(), 1u);
    EXPECT_EQ(g.textColors[0].A, k.alpha);
    EXPECT_EQ(g.textColors[0].R, 20);
  }
}

TEST_F(MenuTest, EnumSelectorsMenuWheelAndHoverFrame)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  const int modeBefore = z.GetPluginMode();
  const int other = 1 - modeBefore;
  g.menuChoice = other;
  z.Click(MenuZANIQ::kModeX + 5.f, MenuZANIQ::kModeY + 5.f);
  ASSERT_EQ(g.menus.size(), 1u);
  ASSERT_EQ(g.menus[0].items, (std::vector<std::string>{"Sender", "Receiver"}));
  EXPECT_TRUE(g.menus[0].flags[size_t(modeBefore)] & IPopupMenu::kChecked);
  EXPECT_EQ(z.GetPluginMode(), other);

  g.OnMouseWheel(MenuZANIQ::kModeX + 5.f, MenuZANIQ::kModeY + 5.f, IMouseMod(), 1.f);
  g.OnMouseWheel(MenuZANIQ::kModeX + 5.f, MenuZANIQ::kModeY + 5.f, IMouseMod(), -1.f);
  EXPECT_EQ(z.GetPluginMode(), other);

  // A selector with the wheel on steps whole values, the ends holding (more cases in SelectorWheel).
  auto* meter = new plugin::igraphics::IBPopupMenuQN(10, 500, ZANIQ::kMeterMode, TwoFrames(), true, nullptr, false,
                                                     true);
  g.AttachControl(meter);
  const plugin::IParam& p = *z.GetParam(ZANIQ::kMeterMode);
  meter->SetValueFromUserInput(p.ToNormalized(3));
  for (const auto& [delta, to] : std::vector<std::pair<float, int>>{{1.f, 2}, {-9.f, 5}})
  {
    g.OnMouseWheel(15.f, 505.f, IMouseMod(), delta);
    EXPECT_EQ(p.Value(), double(to)) << delta;
  }
  // In hover mode the second frame shows only under the mouse, whatever the value.
  auto srcY = [&] {
    g.drawn.clear();
    meter->Draw(g);
    return g.Calls("DrawBitmap").at(0).a[5];
  };
  EXPECT_EQ(srcY(), 0.0);
  g.EnableMouseOver(true);
  g.OnMouseOver(15.f, 505.f, IMouseMod());
  EXPECT_EQ(srcY(), 20.0);
}

TEST_F(MenuTest, SelectorRemovedWhileItsMenuIsOpenHearsNothing)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  SetLinkID(z, *z.link, 12);
  g.menuAsync = true;
  g.menuChoice = 5;
  z.Click(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f);
  // The editor drops the selector (and its menus) before the platform answers; the late answer reaches no one.
  g.RemoveControl(z.link);
  z.link = nullptr;
  g.SetControlValueAfterPopupMenu(nullptr);
  EXPECT_EQ(z.GetLinkID(), 12);

  // A selector rebuilt many times and destroyed with its submenus in place frees them once.
  auto* s = new IBPopupMenuQNSpecial(10, 300, ZANIQ::kLinkID, TwoFrames(), plugin::igraphics::IText(), nullptr,
                                     nullptr, kNumLinkSlots, -1);
  g.AttachControl(s);
  for (int i = 0; i < 3; ++i) s->BuildMenu();
  g.RemoveControl(s);
}

TEST(SelectorWheel, StepsInWholeValuesWithinAnyRange)
{
  plugin::IParam p;
  p.InitInt("Offset", 5, 3, 10);
  struct Case
  {
    double from;
    float delta;
    double to;
  };
  // The range's minimum is not 0 here: the step stays a whole value and the ends hold.
  const Case cases[] = {{5, 1.f, 4}, {5, -2.f, 7}, {3, 1.f, 3}, {10, -1.f, 10}, {4, 3.f, 3}};
  for (const Case& k : cases)
  {
    const double n = plugin::igraphics::IBPopupMenuQN::WheelStep(p, p.ToNormalized(k.from), k.delta);
    EXPECT_DOUBLE_EQ(p.FromNormalized(n), k.to) << k.from << " by " << k.delta;
  }
}

// The product's menus: the Link-ID selector (structure, occupancy labels and disabling, checked entries, answers
// that are no Link ID, command 65 before opening, the wheel), the plug-in menu (marks, what each choice does) and
// the update indicator. The item order and a choice in a range submenu are walked end to end through
// `auhost editor`.

#include "support/ui_env.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>

using namespace testsupport;
using plugin::igraphics::IBPopupMenuQNSpecial;
using plugin::igraphics::IMouseMod;
using plugin::igraphics::IPopupMenu;
using plugin::igraphics::IRECT;

namespace
{

using Flags = std::array<std::atomic<bool>, kNumLinkSlots>;

// A selector on private presence arrays (or none), attached to an open editor.
IBPopupMenuQNSpecial* AttachSelector(MenuZANIQ& z, Flags* senders, Flags* receivers, int flagCount = kNumLinkSlots)
{
  auto* c = new IBPopupMenuQNSpecial(10, 300, ZANIQ::kLinkID, TwoFrames(), plugin::igraphics::IText(),
                                     senders ? senders->data() : nullptr, receivers ? receivers->data() : nullptr,
                                     flagCount, -1);
  z.G()->AttachControl(c);
  return c;
}

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

constexpr float kInfoCX = MenuZANIQ::kInfoX + 5.f, kInfoCY = MenuZANIQ::kInfoY + 5.f;

// Opens the plug-in menu and answers with item `item` of the main menu.
void Choose(MenuZANIQ& z, int item)
{
  z.G()->menuAsync = false;
  z.G()->menuChoice = item;
  z.Click(kInfoCX, kInfoCY);
}

// Opens the plug-in menu and answers later with item `item` of the submenu behind main item `entry`.
void ChooseInSubmenu(MenuZANIQ& z, int entry, int item)
{
  z.G()->menuAsync = true;
  z.G()->menuChoice = 0;
  z.Click(kInfoCX, kInfoCY);
  IPopupMenu* sub = z.info->GetMenu().GetItem(entry)->GetSubmenu();
  ASSERT_NE(sub, nullptr);
  sub->SetChosenItemIdx(item);
  z.G()->SetControlValueAfterPopupMenu(sub);
  z.G()->menuAsync = false;
}

// Item positions of the product's menu.
enum : int
{
  kAbout = 2, kManual = 4, kChangelog = 5, kUpdate = 6, kAuto = 7, kDataFolder = 9, kTooltips = 11,
  kResetScale = 13, kMinScale = 14, kStorage = 16, kFixedScale = 18, kSaveDefault = 20,
};

} // namespace

TEST_F(MenuTest, LinkMenuStructureLabelsAndDisablingByRole)
{
  MenuZANIQ& z = MakeMenuEditor();
  Flags senders{}, receivers{};
  IBPopupMenuQNSpecial* c = AttachSelector(z, &senders, &receivers);
  struct Case
  {
    int id;
    bool sender, receiver;
    const char* label;
  };
  const Case cases[] = {{5, true, false, "5 (S)"}, {8, false, false, "8"}, {199, true, true, "199 (S R)"},
                        {256, false, true, "256 (R)"}};
  for (const Case& k : cases)
  {
    senders[size_t(k.id)] = k.sender;
    receivers[size_t(k.id)] = k.receiver;
  }
  senders[0] = receivers[0] = true; // slot 0's marks never disable "OFF"

  for (int role : {0, 1})
  {
    c->SetOwnRole(role);
    c->BuildMenu(); // built twice: replaced, not grown
    IPopupMenu& m = c->GetMainMenu();
    ASSERT_EQ(m.NItems(), 33);
    EXPECT_STREQ(m.GetItemText(0), "OFF");
    EXPECT_TRUE(m.GetItem(0)->GetEnabled());
    EXPECT_STREQ(m.GetItemText(21), "21-40");
    EXPECT_STREQ(m.GetItemText(32), "241-256");
    ASSERT_EQ(c->GetSubmenu(11)->NItems(), 16);
    EXPECT_EQ(m.GetItem(32)->GetSubmenu(), c->GetSubmenu(11));
    for (const Case& k : cases)
    {
      SCOPED_TRACE(std::string(k.label) + (role ? " on a Receiver" : " on a Sender"));
      auto [menu, item] = Locate(*c, k.id);
      EXPECT_STREQ(menu->GetItemText(item), k.label);
      EXPECT_EQ(menu->GetItem(item)->GetEnabled(), !(role == 0 ? k.sender : k.receiver));
    }
  }
}

// Presence arrays shorter than the ID range, or none, are read only within their count.
TEST_F(MenuTest, LinkMenuReadsNoFlagPastItsCount)
{
  MenuZANIQ& z = MakeMenuEditor();
  Flags senders{};
  for (auto& f : senders) f = true;
  IBPopupMenuQNSpecial* c = AttachSelector(z, &senders, nullptr, 30);
  c->BuildMenu();
  EXPECT_STREQ(c->GetSubmenu(0)->GetItemText(8), "29 (S)");
  EXPECT_STREQ(c->GetSubmenu(0)->GetItemText(9), "30");
  EXPECT_TRUE(c->GetSubmenu(0)->GetItem(9)->GetEnabled());
  IBPopupMenuQNSpecial* bare = AttachSelector(z, nullptr, nullptr);
  bare->BuildMenu();
  EXPECT_STREQ(bare->GetSubmenu(11)->GetItemText(15), "256");
}

TEST_F(MenuTest, LinkMenuChecksTheCurrentIDAndItsRange)
{
  MenuZANIQ& z = MakeMenuEditor();
  struct Case
  {
    int id;
    int mainChecked;   // the one checked item of the main menu
    int submenu, item; // the checked item of a submenu, -1 for none
  };
  const Case cases[] = {{57, 22, 1, 16}, {0, 0, -1, -1}, {256, 32, 11, 15}};
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

// Answers from a menu that is not the selector's, range entries, indices past a submenu, disabled IDs and a
// dismissed menu change nothing.
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
  z.link->GetMainMenu().SetChosenItemIdx(23);
  z.link->OnPopupMenuSelection(&z.link->GetMainMenu(), 0);
  z.link->GetSubmenu(11)->SetChosenItemIdx(16);
  z.link->OnPopupMenuSelection(z.link->GetSubmenu(11), 0);
  z.link->GetSubmenu(0)->GetItem(3)->SetFlags(IPopupMenu::kDisabled);
  z.link->GetSubmenu(0)->SetChosenItemIdx(3);
  z.link->OnPopupMenuSelection(z.link->GetSubmenu(0), 0);
  z.G()->menuChoice = -1;
  z.Click(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f);
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
  EXPECT_EQ(z.GetLinkID(), 77);

  // The wheel sends the command too, and steps whole IDs: 3.7 lines are three.
  z.G()->OnMouseWheel(MenuZANIQ::kLinkX + 5.f, MenuZANIQ::kLinkY + 5.f, IMouseMod(), 3.7f);
  EXPECT_EQ(z.SentCount(65), 3);
  EXPECT_EQ(z.GetLinkID(), 74);
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
  // The range's minimum is not 0 here: the step stays a whole value and the ends hold; half a line is none.
  // A flung wheel's delta, too large for any integer, still lands on the end it points to.
  const Case cases[] = {{5, 1.f, 4},     {5, -2.f, 7},     {3, 1.f, 3},       {10, -1.f, 10},
                        {4, 3.f, 3},     {5, 0.5f, 5},     {5, 1e30f, 3},     {5, -1e30f, 10}};
  for (const Case& k : cases)
  {
    const double n = plugin::igraphics::IBPopupMenuQN::WheelStep(p, p.ToNormalized(k.from), k.delta);
    EXPECT_DOUBLE_EQ(p.FromNormalized(n), k.to) << k.from << " by " << k.delta;
  }
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
  IBPopupMenuQNSpecial* s = AttachSelector(z, nullptr, nullptr);
  for (int i = 0; i < 3; ++i) s->BuildMenu();
  g.RemoveControl(s);
}

// The item order is walked end to end through `auhost editor`; here the marks, which follow the parameters at every
// opening.
TEST_F(MenuTest, PluginMenuMarksFollowTheParameters)
{
  MenuZANIQ& z = MakeMenuEditor();
  for (int tooltips : {1, 0})
  {
    z.GetParam(ZANIQ::kToggleTooltips)->Set(tooltips);
    z.GetParam(ZANIQ::kOnlineUpdateCheck)->Set(1 - tooltips);
    Choose(z, -1);
    const auto& flags = z.G()->menus.back().flags;
    for (size_t i = 0; i < flags.size(); ++i)
      EXPECT_EQ((flags[i] & IPopupMenu::kChecked) != 0, i == size_t(tooltips ? kTooltips : kAuto)) << i;
  }
  IPopupMenu* storage = z.info->GetMenu().GetItem(kStorage)->GetSubmenu();
  ASSERT_NE(storage, nullptr);
  EXPECT_TRUE(storage->IsItemChecked(int(z.GetParam(ZANIQ::kDisableStorageGainDiff)->Value())));
}

TEST_F(MenuTest, PluginMenuCommandsPagesAndTheirEffects)
{
  using Effect = bool (*)(MenuZANIQ&);
  struct Case
  {
    int item;
    int command;     // expected command, or -1
    const char* url; // expected page or path opened, or null
    Effect effect;   // what the plug-in then shows, or null
  };
  const Case cases[] = {
      {kAbout, 47, nullptr, [](MenuZANIQ& z) { return z.IsInfoPageRequested(); }},
      {kUpdate, 48, nullptr, [](MenuZANIQ& z) { return z.IsUpdateMessageRequested(); }},
      // "Save to default" writes the default preset into the preset folder.
      {kSaveDefault, 52, nullptr,
       [](MenuZANIQ& z)
       { return std::filesystem::exists(std::filesystem::path(z.GetPresetFolder().Get()) / "default.tps"); }},
      {kManual, -1, "/Users/Shared/Documents/ZANIQ/ZANIQ manual.pdf", nullptr},
      {kChangelog, -1, MenuZANIQ::kChangelog, nullptr},
      {kDataFolder, -1, "/tmp/zaniq-data", nullptr},
  };
  MenuZANIQ& z = MakeMenuEditor();
  std::filesystem::remove(std::filesystem::path(z.GetPresetFolder().Get()) / "default.tps");
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.item);
    z.sent.clear();
    z.G()->calls.clear();
    EXPECT_FALSE(k.effect && k.effect(z)) << "before";
    Choose(z, k.item);
    std::vector<int> commands;
    for (int i : z.sent)
      if (i >= ZANIQ::kFirstCommand) commands.push_back(i);
    EXPECT_EQ(commands, k.command < 0 ? std::vector<int>{} : std::vector<int>{k.command});
    std::vector<std::string> opened;
    for (const auto& c : z.G()->calls)
      if (c.rfind("OpenURL(", 0) == 0) opened.push_back(c);
    EXPECT_EQ(opened,
              k.url ? std::vector<std::string>{std::string("OpenURL(") + k.url + ")"} : std::vector<std::string>{});
    EXPECT_TRUE(!k.effect || k.effect(z));
  }
}

// A submenu entry tells the plug-in and the host, unless it is already current: then it tells nobody.
TEST_F(MenuTest, PluginMenuParameterSubmenus)
{
  MenuZANIQ& z = MakeMenuEditor();
  plugin::IParam& storage = *z.GetParam(ZANIQ::kDisableStorageGainDiff);
  storage.Set(0);
  const int informed = z.InformedCount(ZANIQ::kDisableStorageGainDiff);
  z.sent.clear();
  ChooseInSubmenu(z, kStorage, 0);
  EXPECT_EQ(storage.Value(), 0.0);
  EXPECT_EQ(z.InformedCount(ZANIQ::kDisableStorageGainDiff), informed);
  EXPECT_EQ(z.SentCount(ZANIQ::kDisableStorageGainDiff), 0);
  ChooseInSubmenu(z, kStorage, 1);
  EXPECT_EQ(z.InformedCount(ZANIQ::kDisableStorageGainDiff), informed + 1);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kDisableStorageGainDiff), 1);
}

// The menu's own value goes back to 0 on every answer; an answer from a menu that is not its own sends nothing.
TEST_F(MenuTest, PluginMenuResetsItsOwnValueAndIgnoresForeignAnswers)
{
  MenuZANIQ& z = MakeMenuEditor();
  z.info->SetValue(1.0);
  Choose(z, -1);
  EXPECT_EQ(z.info->GetValue(), 0.0);
  z.info->SetValue(1.0);
  ChooseInSubmenu(z, kFixedScale, 2);
  EXPECT_EQ(z.info->GetValue(), 0.0);
  IPopupMenu foreign("");
  foreign.AddItem("x");
  foreign.SetChosenItemIdx(0);
  z.sent.clear();
  z.info->OnPopupMenuSelection(&foreign, 0);
  EXPECT_TRUE(z.sent.empty());
}

// The indicator's frame and tooltip follow the state both ways; a click sends the check once.
TEST_F(MenuTest, UpdateIndicatorStatesTooltipsAndClick)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  struct Case
  {
    double value;
    double srcY;
    const char* tooltip;
  };
  const Case cases[] = {{0.25, 20.0, "Update available"}, {-1.0, 0.0, "Click to check for updates"}};
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.value);
    z.update->SetValue(k.value);
    g.drawn.clear();
    z.update->Draw(g);
    ASSERT_EQ(g.Calls("DrawBitmap").size(), 1u);
    EXPECT_EQ(g.Calls("DrawBitmap")[0].a[5], k.srcY);
    EXPECT_STREQ(z.update->GetTooltip(), k.tooltip);
  }
  const float x = MenuZANIQ::kUpdateX + 5.f, y = MenuZANIQ::kUpdateY + 5.f;
  z.Click(x, y);
  EXPECT_EQ(z.SentCount(48), 1);
  EXPECT_TRUE(z.IsUpdateMessageRequested());
  // The second click of a double click and the wheel send nothing.
  g.OnMouseDblClick(x, y, IMouseMod(true));
  g.OnMouseWheel(x, y, IMouseMod(), 1.f);
  EXPECT_EQ(z.SentCount(48), 1);
}

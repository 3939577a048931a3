// The plug-in menu and the update indicator: the menu's items for the product's configuration, what each choice
// does (commands, pages opened, parameters toggled or set), and the indicator's states, tooltips and clicks.

#include "support/ui_env.h"

#include <filesystem>

using namespace testsupport;
using plugin::igraphics::IBInfoMenuQN;
using plugin::igraphics::IMouseMod;
using plugin::igraphics::IPopupMenu;
using plugin::igraphics::IRECT;

namespace
{

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
      {1, -1, nullptr, nullptr}, // a separator does nothing
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

// A toggle tells the plug-in and the host; a submenu entry that is already current tells nobody.
TEST_F(MenuTest, PluginMenuTogglesAndParameterSubmenus)
{
  MenuZANIQ& z = MakeMenuEditor();
  plugin::IParam& check = *z.GetParam(ZANIQ::kOnlineUpdateCheck);
  check.Set(1);
  int informed = z.InformedCount(ZANIQ::kOnlineUpdateCheck);
  Choose(z, kAuto);
  EXPECT_EQ(check.Value(), 0.0);
  EXPECT_EQ(check.PrevValue(), 1.0);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kOnlineUpdateCheck), 0);
  EXPECT_EQ(z.InformedCount(ZANIQ::kOnlineUpdateCheck), informed + 1);

  plugin::IParam& storage = *z.GetParam(ZANIQ::kDisableStorageGainDiff);
  storage.Set(0);
  informed = z.InformedCount(ZANIQ::kDisableStorageGainDiff);
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

// --- Update indicator ---

TEST_F(MenuTest, UpdateIndicatorStatesAndTooltips)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  struct Case
  {
    double value;
    double srcY;
    const char* tooltip;
  };
  // The tooltip follows the state both ways.
  const Case cases[] = {{1.0, 20.0, "Update available"},
                        {-1.0, 0.0, "Click to check for updates"},
                        {0.25, 20.0, "Update available"}};
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
}

TEST_F(MenuTest, UpdateIndicatorClickSendsTheCheckOnce)
{
  MenuZANIQ& z = MakeMenuEditor();
  MenuGraphics& g = *z.G();
  const float x = MenuZANIQ::kUpdateX + 5.f, y = MenuZANIQ::kUpdateY + 5.f;
  z.Click(x, y);
  EXPECT_EQ(z.SentCount(48), 1);
  EXPECT_TRUE(z.IsUpdateMessageRequested());
  // The second click of a double click and the wheel send nothing.
  g.OnMouseDblClick(x, y, IMouseMod(true));
  g.OnMouseWheel(x, y, IMouseMod(), 1.f);
  EXPECT_EQ(z.SentCount(48), 1);
}

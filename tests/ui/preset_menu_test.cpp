// The preset menu: the product's layout places none, so the preset commands find nothing to act on; a test editor
// that registers one under the preset-menu tag saves to (51) and loads from (50) the file it holds, and a file
// chosen from its menu becomes that file.

#include "support/ui_env.h"
#include "ui/IBPresetMenuQN.h"

#include <filesystem>
#include <fstream>

using namespace uitest;
namespace fs = std::filesystem;

namespace
{

constexpr int kLoad = 50, kSave = 51;

// A ZANIQ whose editor holds only a background and, under tag 3, the control make gives.
struct PresetEditor
{
  UIZANIQ& z;
  IControl* atTag3 = nullptr;

  PresetEditor(UIZANIQ& zaniq, std::function<IControl*()> make) : z(zaniq)
  {
    z.SetLayoutFunc(
        [this, make](IGraphics* g)
        {
          g->AttachControl(new test::RecordingControl(IRECT(0.f, 600.f, 1.f, 601.f)));
          atTag3 = g->AttachControl(make(), ZANIQ::kTagPresetMenu);
        });
    z.OpenEditor();
  }
  ScriptedGraphics& G() const { return *static_cast<ScriptedGraphics*>(z.GetUI()); }
  double Level() const { return z.GetParam(ZANIQ::kReferenceLevel)->Value(); }
};

} // namespace

TEST_F(EditorTest, WithoutAPresetMenuUnderItsTagLoadAndSaveDoNothing)
{
  // The product's own layout, and a test layout with a control of another class under the tag.
  UIZANIQ& product = Make();
  product.OpenEditor();
  ASSERT_EQ(product.GetUI()->GetControlWithTag(ZANIQ::kTagPresetMenu), nullptr);
  PresetEditor other(Make(), [] { return new test::RecordingControl(IRECT(10, 10, 30, 30)); });
  ASSERT_NE(other.atTag3, nullptr);

  for (UIZANIQ* z : {&product, &other.z})
  {
    const fs::path presets = z->GetPresetFolder().Get();
    const auto before = std::distance(fs::directory_iterator(presets), fs::directory_iterator());
    z->Change(ZANIQ::kReferenceLevel, -30.0);
    z->Command(kSave);
    z->Command(kLoad);
    EXPECT_EQ(std::distance(fs::directory_iterator(presets), fs::directory_iterator()), before);
    EXPECT_EQ(z->GetParam(ZANIQ::kReferenceLevel)->Value(), -30.0);
  }
}

TEST_F(EditorTest, APresetMenuUnderItsTagIsWhatTheLoadAndSaveCommandsUse)
{
  const fs::path folder = mHome.Path() / "presets";
  fs::create_directories(folder / "Sub");
  IBPresetMenuQN* menu = nullptr;
  PresetEditor e(Make(),
                 [&] { return menu = new IBPresetMenuQN(10, 10, testsupport::TwoFrames(), folder.c_str(), kLoad); });
  ASSERT_EQ(e.atTag3, menu);

  // Save: two presets, one in a sub-folder; each file is written where the menu points.
  for (const auto& [file, level] : {std::pair{"Loud.tps", -12.0}, {"Sub/Soft.tps", -24.0}})
  {
    menu->SetPath((folder / file).c_str());
    e.z.Change(ZANIQ::kReferenceLevel, level);
    e.z.Command(kSave);
    EXPECT_TRUE(fs::is_regular_file(folder / file)) << file;
  }
  std::ofstream(folder / "notes.txt") << "not a preset";

  // Load: the held file's values come back.
  e.z.Change(ZANIQ::kReferenceLevel, -5.0);
  e.z.Command(kLoad);
  EXPECT_EQ(e.Level(), -24.0);

  // A click lists the folder's presets without extension (files and sub-folders sorted together); choosing one
  // holds its path and sends the load command.
  e.G().menuChoice = 0;
  Click(e.G(), 15, 15);
  ASSERT_EQ(e.G().menus.size(), 1u);
  EXPECT_EQ(e.G().menus[0].items, (std::vector<std::string>{"Loud", "Sub"}));
  EXPECT_EQ(fs::path(menu->GetPath()), folder / "Loud.tps");
  EXPECT_EQ(e.Level(), -12.0);

  // Choosing the sub-folder's entry is no file: the held path stays. Without a path nothing loads.
  e.G().menuChoice = 1;
  Click(e.G(), 15, 15);
  EXPECT_EQ(fs::path(menu->GetPath()), folder / "Loud.tps");
  menu->SetPath(nullptr);
  e.z.Change(ZANIQ::kReferenceLevel, -5.0);
  e.z.Command(kLoad);
  e.z.Command(kSave);
  EXPECT_EQ(e.Level(), -5.0);
}

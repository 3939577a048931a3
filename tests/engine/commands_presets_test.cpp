// Preset commands: save to and load from the preset menu's file (51, 50), save as default (52) and the preset
// list built from the data folder (53).

#include "engine/support/editor_env.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace plugin;
using testsupport::EditorTest;
using testsupport::EditorZANIQ;

namespace fs = std::filesystem;

namespace
{

std::string ReadFile(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The "Preset" name written into the file at path ("" when the file is no preset).
std::string PresetNameIn(const fs::path& path)
{
  PresetXMLTree tree;
  const std::string text = ReadFile(path);
  return tree.Parse(text.c_str(), true) == PresetXMLTree::EParse::kOK ? tree.presetName : "";
}

} // namespace

TEST_F(EditorTest, SaveToTheMenusFileNamesThePresetAfterTheFile)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path folder = mHome.Path() / "presets.d";
  fs::create_directories(folder);
  const struct
  {
    const char* file;
    const char* name;
  } cases[] = {{"My.Song.tps", "My.Song"}, {"plain", "plain"}, {".hidden", ""}};

  for (const auto& c : cases)
  {
    z.presetMenuPath = (folder / c.file).string();
    z.Command(51); // no editor: nothing is written
    EXPECT_FALSE(fs::exists(folder / c.file)) << c.file;
  }

  z.OpenEditor();
  for (const auto& c : cases)
  {
    z.presetMenuPath = (folder / c.file).string();
    z.Command(51);
    ASSERT_TRUE(fs::exists(folder / c.file)) << c.file;
    EXPECT_EQ(PresetNameIn(folder / c.file), c.name) << c.file;
  }

  // A dot in a folder name is not the file's extension.
  const fs::path dotted = mHome.Path() / "my.folder";
  fs::create_directories(dotted);
  z.presetMenuPath = (dotted / "noext").string();
  z.Command(51);
  EXPECT_EQ(PresetNameIn(dotted / "noext"), "noext");
}

TEST_F(EditorTest, LoadFromTheMenusFileRestoresTheSavedValues)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  const fs::path file = mHome.Path() / "a.tps";
  z.presetMenuPath = file.string();
  z.Change(ZANIQ::kReferenceLevel, -30.0);
  z.Change(ZANIQ::kDriveFX, 4.5);
  z.Command(51);

  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.Change(ZANIQ::kDriveFX, 0.0);
  z.Command(50);
  EXPECT_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -30.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), 4.5);
  EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -30.0); // the engine heard of it

  // Without a path nothing is loaded.
  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.presetMenuPath.clear();
  z.Command(50);
  EXPECT_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -10.0);
}

TEST_F(EditorTest, SaveAsDefaultWritesTheDefaultPresetTheNextInstanceLoads)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path file = fs::path(z.GetPresetFolder().Get()) / "default.tps";
  z.Change(ZANIQ::kReferenceLevel, -24.0);
  z.Command(52);
  EXPECT_FALSE(fs::exists(file)); // only from the editor

  z.OpenEditor();
  z.Command(52);
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(PresetNameIn(file), "Init");

  EditorZANIQ& next = MakeEditor();
  EXPECT_EQ(next.GetParam(ZANIQ::kReferenceLevel)->Value(), -24.0);
}

TEST_F(EditorTest, PresetListTakesReadablePresetFilesOfTheDataFolder)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path data = z.GetDataFolder().Get();

  // Three valid files under different names, a directory and a damaged file that both carry ".tps".
  z.OpenEditor();
  for (const char* file : {"b.tps", "a.tps.bak", "c.txt"})
  {
    z.presetMenuPath = (data / file).string();
    z.Command(51);
  }
  fs::create_directories(data / "d.tps");
  std::ofstream(data / "e.tps") << "<PresetXMLTree><broken";

  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.Command(53);
  ASSERT_EQ(z.NListedPresets(), 2);
  EXPECT_STREQ(z.GetListedPreset(0)->mName, "a.tps"); // alphabetical: "a.tps.bak" before "b.tps"
  EXPECT_STREQ(z.GetListedPreset(1)->mName, "b");
  EXPECT_TRUE(z.GetListedPreset(0)->mInitialized);
  EXPECT_GT(z.GetListedPreset(0)->mChunk.Size(), 0);
  EXPECT_EQ(z.GetListedPreset(2), nullptr);
  EXPECT_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -5.0); // scanning changes no parameter

  // A rebuild replaces the list.
  fs::remove(data / "b.tps");
  z.Command(53);
  ASSERT_EQ(z.NListedPresets(), 1);
  EXPECT_STREQ(z.GetListedPreset(0)->mName, "a.tps");
}

TEST_F(EditorTest, PresetListNeedsTheEditor)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  z.presetMenuPath = (fs::path(z.GetDataFolder().Get()) / "x.tps").string();
  z.Command(51);
  z.CloseWindow();
  z.Command(53);
  EXPECT_EQ(z.NListedPresets(), 0);
}

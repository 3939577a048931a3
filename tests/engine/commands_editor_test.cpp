// Editor commands and the idle tick: the four snapshots (62 clear, 63 store, 64 recall), the GUI-scale commands (58,
// 66) and the rescale they ask for, the preset commands: save to and load from the preset menu's file (51, 50),
// save as default (52) and the preset list of the data folder (53); the info page.
// (Help page and measurement button: the editor tests; the update icon: the update check tests.)

#include "engine/support/editor_env.h"
#include "engine/support/preset_env.h"

#include <cmath>
#include <regex>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

constexpr int kClear = 62, kStore = 63, kRecall = 64;

// Snapshot k's parameters.
int Flag(int k) { return ZANIQ::kStoreSetFlag0 + 3 * k; }
int PostGain(int k) { return ZANIQ::kStorePostGain0 + 3 * k; }
int Drive(int k) { return ZANIQ::kStoreDrive0 + 3 * k; }

// Snapshot k holds (flag, post gain, drive), in its parameters and in the engine's mirror.
void ExpectSnapshot(const EditorZANIQ& z, int k, double flag, double gain, double drive)
{
  for (const auto& [idx, v] : {std::pair{Flag(k), flag}, {PostGain(k), gain}, {Drive(k), drive}})
    EXPECT_TRUE(Holds(z, idx, v)) << "snapshot " << k;
}

// The "Preset" name written into the file at path ("" when the file is no preset).
std::string PresetNameIn(const fs::path& path)
{
  PresetXMLTree tree;
  const std::string text = ReadFile(path);
  return tree.Parse(text.c_str(), true) == PresetXMLTree::EParse::kOK ? tree.presetName : "";
}

} // namespace

// --- Snapshots ---

TEST_F(EditorTest, SnapshotsStoreRecallAndClear)
{
  EditorZANIQ& z = MakeEditor();
  // Without an editor, a floor gain: recalling it silences (-144 dB and below is no gain at all).
  z.Change(ZANIQ::kGainDiffStore, -144.0);
  z.Command(kStore);
  ExpectSnapshot(z, 0, 1.0, -144.0, 0.0);
  z.Change(ZANIQ::kGainDiffStore, 0.0);
  z.Command(kRecall);
  EXPECT_EQ(z.GetMatchGain(), 0.0);

  z.OpenEditor();
  z.Change(ZANIQ::kSnapShot, 1);
  z.Change(ZANIQ::kGainDiffStore, 3.0);
  z.Change(ZANIQ::kDriveFX, -2.0);
  z.hostInformed.clear();
  z.Command(kStore);
  for (int idx : {Flag(1), PostGain(1), Drive(1)}) EXPECT_EQ(z.InformedCount(idx), 1) << idx;
  ExpectSnapshot(z, 1, 1.0, 3.0, -2.0);
  EXPECT_EQ(std::pair(z.marks[1], z.marks[2]), std::pair(true, false));

  // Recall: post gain first, then drive, each once.
  z.Change(ZANIQ::kGainDiffStore, -6.0);
  z.Change(ZANIQ::kDriveFX, 4.0);
  z.hostInformed.clear();
  z.Command(kRecall);
  EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 3.0) && Holds(z, ZANIQ::kDriveFX, -2.0));
  EXPECT_EQ(z.hostInformed, (std::vector<int>{ZANIQ::kGainDiffStore, ZANIQ::kDriveFX}));

  // Clear empties the selected snapshot only.
  z.Command(kClear);
  ExpectSnapshot(z, 1, 0.0, 0.0, 0.0);
  ExpectSnapshot(z, 0, 1.0, -144.0, 0.0);
}

// --- GUI scale ---

TEST_F(EditorTest, ScaleCommandsPublishAndTheIdleTickResizesWhenItMay)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(58); // smallest scale
  EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 0.5) && z.InformedCount(ZANIQ::kGUIScale) == 1);
  // The rescale waits for an open editor and for the popup menu to go.
  z.OnIdle();
  z.OpenEditor();
  z.popupShowing = true;
  z.OnIdle();
  EXPECT_EQ(std::pair(z.IsRescalePending(), z.GetUI()->GetDrawScale()), std::pair(true, 1.0f));
  z.popupShowing = false;
  z.OnIdle();
  EXPECT_EQ(std::pair(z.IsRescalePending(), z.GetUI()->GetDrawScale()), std::pair(false, 0.5f));

  // The fixed scale (the one parameter outside the host's list) follows the menu entry.
  z.GetExtraParam(0)->Set(10);
  z.Command(66);
  EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 3.0) && z.IsRescalePending());
}

// --- Preset commands ---

TEST_F(EditorTest, SaveToAndLoadFromTheMenusFileAndSaveAsDefault)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path folder = mHome.Path() / "my.folder"; // a dot in a folder name is not the file's extension
  const fs::path defaultFile = fs::path(z.GetPresetFolder().Get()) / "default.tps";
  fs::create_directories(folder);
  z.presetMenuPath = (folder / "My.Song.tps").string();
  z.Command(51); // without an editor nothing is written
  z.Command(52);
  EXPECT_FALSE(fs::exists(folder / "My.Song.tps") || fs::exists(defaultFile));
  z.OpenEditor();
  for (const auto& [file, name] : {std::pair{"My.Song.tps", "My.Song"}, {"plain", "plain"}, {".hidden", ""}})
  {
    z.presetMenuPath = (folder / file).string();
    z.Command(51);
    EXPECT_EQ(PresetNameIn(folder / file), name) << file;
  }

  // Loading restores the saved values, and the engine hears of them; without a path nothing is loaded.
  z.presetMenuPath = (folder / "plain").string();
  z.Change(ZANIQ::kReferenceLevel, -30.0);
  z.Command(51);
  z.Command(52);
  EXPECT_EQ(ReadFile(defaultFile), ExpectedDocument(z, Values(z), "Init")); // what a new instance loads
  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.Command(50);
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -30.0));
  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.presetMenuPath.clear();
  z.Command(50);
  EXPECT_EQ(z.Value(ZANIQ::kReferenceLevel), -10.0);
}

TEST_F(EditorTest, PresetListTakesReadablePresetFilesOfTheDataFolder)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path data = z.GetDataFolder().Get();

  // Valid files under two names (one not ".tps"), a directory and a damaged file that both carry ".tps".
  z.OpenEditor();
  for (const char* file : {"b.tps", "a.tps.bak"})
  {
    z.presetMenuPath = (data / file).string();
    z.Command(51);
  }
  fs::create_directories(data / "d.tps");
  WriteFile(data / "e.tps", "<PresetXMLTree><broken");

  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.Command(53);
  ASSERT_EQ(z.NListedPresets(), 2);
  // Alphabetical: "a.tps.bak" before "b.tps"; scanning changes no parameter.
  EXPECT_EQ(std::tuple(std::string(z.GetListedPreset(0)->mName), std::string(z.GetListedPreset(1)->mName),
                       z.Value(ZANIQ::kReferenceLevel)),
            std::tuple(std::string("a.tps"), std::string("b"), -5.0));

  // Without the editor the list is not rebuilt.
  z.CloseWindow();
  fs::remove(data / "a.tps.bak");
  z.Command(53);
  EXPECT_EQ(z.NListedPresets(), 2);
}

// --- The info page ---

TEST_F(EditorTest, InfoTextListsPluginAndRunningConditionsForAnyHost)
{
  TestZANIQ& z = Make();
  z.SetHost("Reaper", 0);
  z.SetSampleRate(48000.0);
  z.SetLatency(480);
  ASSERT_TRUE(z.SetBlockSize(512));
  z.SetChannelConnections(kInput, 0, 2, false);
  z.SetChannelConnections(kInput, 0, 1, true);
  z.SetChannelConnections(kOutput, 0, 2, true);

  Util_String text;
  z.GetInfoText(text);
  const std::regex expected(
    "Manufacturer: Quenlar\n"
    "Plugin name: ZANIQ\n"
    "Version: 2\\.2\\.11\n"
    "Build date: (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9][0-9] [0-9]{4}\n"
    "Build time: [0-9]{2}:[0-9]{2}:[0-9]{2}\n"
    "\n"
    "Format: AU x64 \\(INTEL, VR, METAL\\)\n"
    "Host: Reaper\n"
    "Channels: 1-2 \\(2-2\\)\n"
    "Plugin delay: 480 smp \\(10\\.0 ms\\)\n"
    "Sample Rate: 48000\\.00 Hz\n"
    "Block Size: 512 smp\n"
    "\n"
    "Trademarks:\n"
    "VST/VST3: Steinberg Media Technologies GmbH\n"
    "AAX: Avid Technology Inc\\.\n"
    "AU: Apple Inc\\.\n");
  EXPECT_TRUE(std::regex_match(std::string(text.Get()), expected)) << text.Get();

  // Hosts without a display name, and no sample rate to turn the delay into time.
  z.SetHost("Some Other DAW", 0);
  z.SetSampleRate(0.0);
  z.SetLatency(100);
  z.GetInfoText(text);
  EXPECT_NE(std::string(text.Get()).find("\nHost: Unknown\nChannels"), std::string::npos) << text.Get();
  EXPECT_NE(std::string(text.Get()).find("\nPlugin delay: 100 smp (0.0 ms)\n"), std::string::npos) << text.Get();
}

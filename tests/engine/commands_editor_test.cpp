// Editor commands: the four snapshots (62 clear, 63 store, 64 recall), the GUI-scale commands (56, 57, 58, 66)
// and the rescale they ask for, the help page, the latency-measurement button, the info-page and update-message
// requests, the Link-ID presence marks, the commands that only run the common tail, and the preset commands: save
// to and load from the preset menu's file (51, 50), save as default (52) and the preset list of the data folder (53).

#include "engine/support/editor_env.h"
#include "engine/support/preset_env.h"

#include <cmath>

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
  {
    EXPECT_EQ(z.Value(idx), v) << "snapshot " << k << " parameter " << idx;
    EXPECT_EQ(z.GetMirror(idx), v) << "snapshot " << k << " parameter " << idx;
  }
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
  for (int k : {1, 3})
  {
    z.Change(ZANIQ::kSnapShot, k);
    z.Change(ZANIQ::kGainDiffStore, 2.0 + k);
    z.Change(ZANIQ::kDriveFX, -1.0 - k);
    z.hostInformed.clear();
    z.Command(kStore);
    for (int idx : {Flag(k), PostGain(k), Drive(k)}) EXPECT_EQ(z.InformedCount(idx), 1) << idx;
    ExpectSnapshot(z, k, 1.0, 2.0 + k, -1.0 - k);
    EXPECT_TRUE(z.marks[size_t(k)]);
  }
  EXPECT_EQ(z.markSets[2], 0); // the others are untouched

  // Recall S2: post gain first, then drive, each once.
  z.Change(ZANIQ::kSnapShot, 1);
  z.Change(ZANIQ::kGainDiffStore, -6.0);
  z.Change(ZANIQ::kDriveFX, 4.0);
  z.hostInformed.clear();
  z.Command(kRecall);
  EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 3.0));
  EXPECT_TRUE(Holds(z, ZANIQ::kDriveFX, -2.0));
  EXPECT_NEAR(z.GetMatchGain(), std::pow(10.0, 3.0 / 20.0), 1e-12);
  EXPECT_EQ(z.hostInformed, (std::vector<int>{ZANIQ::kGainDiffStore, ZANIQ::kDriveFX}));

  // Clear empties the selected snapshot only; a cleared or never used one recalls nothing.
  z.Change(ZANIQ::kSnapShot, 3);
  z.Command(kClear);
  ExpectSnapshot(z, 3, 0.0, 0.0, 0.0);
  EXPECT_FALSE(z.marks[3]);
  ExpectSnapshot(z, 1, 1.0, 3.0, -2.0);
  for (int k : {3, 2})
  {
    z.Change(ZANIQ::kSnapShot, k);
    z.Change(ZANIQ::kGainDiffStore, 7.0);
    const double matchGain = z.GetMatchGain();
    z.hostInformed.clear();
    z.Command(kRecall);
    EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 7.0)) << k;
    EXPECT_EQ(z.GetMatchGain(), matchGain) << k;
    EXPECT_TRUE(z.hostInformed.empty()) << k;
  }
}

// --- GUI scale ---

TEST_F(EditorTest, ScaleCommandsPublishAndTheIdleTickResizesWhenItMay)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(56); // keep the current scale: no editor, nothing
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.0);
  z.Command(58); // smallest scale
  EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 0.5));
  EXPECT_EQ(z.InformedCount(ZANIQ::kGUIScale), 1);
  // The rescale waits for an open editor and for the popup menu to go.
  z.OnIdle();
  EXPECT_TRUE(z.IsRescalePending());
  z.OpenEditor();
  z.popupShowing = true;
  z.OnIdle();
  EXPECT_EQ(std::pair(z.IsRescalePending(), z.GetUI()->GetDrawScale()), std::pair(true, 1.0f));
  z.popupShowing = false;
  z.OnIdle();
  EXPECT_EQ(std::pair(z.IsRescalePending(), z.GetUI()->GetDrawScale()), std::pair(false, 0.5f));

  z.Command(57); // back to 1.0
  EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 1.0));
  z.OnIdle();
  EXPECT_FLOAT_EQ(z.GetUI()->GetDrawScale(), 1.0f);

  // Keep the current scale publishes the draw scale a corner drag set, without resizing.
  z.GetUI()->Resize(ZANIQ::kEditorBaseWidth, ZANIQ::kEditorBaseHeight, 1.5f);
  const int resizes = z.Graphics()->platformResizes;
  z.Command(56);
  EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 1.5));
  EXPECT_FALSE(z.IsRescalePending());
  z.OnIdle();
  EXPECT_EQ(z.Graphics()->platformResizes, resizes);

  // The fixed scale (the one parameter outside the host's list) follows the menu entry.
  ASSERT_EQ(z.NExtraParams(), 1);
  IParam* fixed = z.GetExtraParam(0);
  for (const auto& [entry, scale] : {std::pair{0, 0.5}, {1, 0.75}, {4, 1.5}, {10, 3.0}})
  {
    fixed->Set(entry);
    z.Command(66);
    EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, scale)) << entry;
    EXPECT_TRUE(z.IsRescalePending());
  }
}

// --- Help page, latency button, requests ---

TEST_F(EditorTest, HelpPageShowsAndHidesAndTheBackgroundsRedraw)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(59); // no editor: nothing to do, nothing breaks
  z.OpenEditor();
  z.Control(EditorZANIQ::kHelpPage)->Hide(true);
  z.GetUI()->SetAllControlsClean();

  z.Command(59);
  EXPECT_FALSE(z.Control(EditorZANIQ::kHelpPage)->IsHidden());
  for (int bg : {EditorZANIQ::kBackground0, EditorZANIQ::kBackground1, EditorZANIQ::kBackground2})
  {
    EXPECT_TRUE(z.Control(bg)->IsDirty()) << bg;
    EXPECT_EQ(z.actions[size_t(bg)], 0) << bg; // redrawn, no action
  }
  EXPECT_FALSE(z.Control(EditorZANIQ::kLatencyButton)->IsDirty());

  z.Command(60);
  EXPECT_TRUE(z.Control(EditorZANIQ::kHelpPage)->IsHidden());
}

TEST_F(EditorTest, LatencyMeasurementToggleMovesTheButton)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(61); // works without an editor
  EXPECT_TRUE(z.IsMeasurementRunning());
  z.Command(61);
  EXPECT_FALSE(z.IsMeasurementRunning());
  z.OpenEditor();
  auto* button = z.Control(EditorZANIQ::kLatencyButton);
  for (int press : {1, 2})
  {
    z.Command(61);
    EXPECT_EQ(std::tuple(z.IsMeasurementRunning(), button->GetValue(), z.actions[EditorZANIQ::kLatencyButton]),
              std::tuple(press == 1, press == 1 ? 1.0 : 0.0, press));
  }
  EXPECT_EQ(z.GetMirror(ZANIQ::kLatencyCompensation), 0.0); // a cancel keeps the compensation
}

TEST_F(EditorTest, PresenceRefreshSeesInstancesThatJoinedLater)
{
  EditorZANIQ& a = MakeEditor();
  const int linkID = a.GetLinkID();
  auto presence = [&] {
    return std::pair(a.GetSenderPresent()[size_t(linkID)].load(), a.GetReceiverPresent()[size_t(linkID)].load());
  };
  a.Command(65);
  EXPECT_EQ(presence(), std::pair(true, false));

  TestZANIQ& b = Make(); // pairs with a as its Receiver
  ASSERT_EQ(b.Pairing(), R(linkID));
  EXPECT_EQ(presence(), std::pair(true, false)); // a has not looked yet
  a.Command(65);
  EXPECT_EQ(presence(), std::pair(true, true));

  Destroy(b);
  a.Command(65);
  EXPECT_EQ(presence(), std::pair(true, false));
}

TEST_F(EditorTest, TailOnlyCommandsChangeNothingElseAndHostCommandsAreIgnored)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  std::vector<double> before;
  for (int i = 0; i < ZANIQ::kNumParams; ++i) before.push_back(z.GetMirror(i));
  for (int code : {46, 49, 54, 55, 67, 68, 69, 73})
  {
    z.SetTargetLatencyForTest(12);
    z.Command(code);
    EXPECT_EQ(z.GetTargetLatency(), 0) << code; // the common tail ran
  }
  for (int i = 0; i < ZANIQ::kNumParams; ++i) EXPECT_EQ(z.GetMirror(i), before[size_t(i)]) << i;
  EXPECT_TRUE(z.hostInformed.empty());
  EXPECT_FALSE(z.IsRescalePending() || z.IsInfoPageRequested() || z.IsMeasurementRunning());

  z.OnParamChange(63, kHost, -1);
  z.OnParamChange(57, kHost, -1);
  EXPECT_EQ(std::pair(z.Value(Flag(0)), z.IsRescalePending()), std::pair(0.0, false));
}

// --- Preset commands ---

TEST_F(EditorTest, SaveToAndLoadFromTheMenusFile)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path folder = mHome.Path() / "my.folder"; // a dot in a folder name is not the file's extension
  fs::create_directories(folder);
  const std::pair<const char*, const char*> cases[] = {{"My.Song.tps", "My.Song"}, {"plain", "plain"}, {".hidden", ""}};
  for (bool open : {false, true})
  {
    if (open) z.OpenEditor();
    for (const auto& [file, name] : cases)
    {
      z.presetMenuPath = (folder / file).string();
      z.Command(51); // without an editor nothing is written
      ASSERT_EQ(fs::exists(folder / file), open) << file;
      EXPECT_EQ(open ? PresetNameIn(folder / file) : name, name) << file;
    }
  }

  // Loading restores the saved values, and the engine hears of them.
  z.presetMenuPath = (folder / "plain").string();
  z.Change(ZANIQ::kReferenceLevel, -30.0);
  z.Change(ZANIQ::kDriveFX, 4.5);
  z.Command(51);
  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.Change(ZANIQ::kDriveFX, 0.0);
  z.Command(50);
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -30.0));
  EXPECT_EQ(z.Value(ZANIQ::kDriveFX), 4.5);

  // Without a path nothing is loaded.
  z.Change(ZANIQ::kReferenceLevel, -10.0);
  z.presetMenuPath.clear();
  z.Command(50);
  EXPECT_EQ(z.Value(ZANIQ::kReferenceLevel), -10.0);
}

TEST_F(EditorTest, SaveAsDefaultWritesTheDefaultPresetFromTheEditorOnly)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path file = fs::path(z.GetPresetFolder().Get()) / "default.tps";
  z.Change(ZANIQ::kReferenceLevel, -24.0);
  z.Change(ZANIQ::kDriveFX, -6.5);
  z.Command(52);
  EXPECT_FALSE(fs::exists(file)); // only from the editor

  z.OpenEditor();
  z.Command(52);
  EXPECT_EQ(ReadFile(file), ExpectedDocument(z, Values(z), "Init")); // what a new instance loads: preset tests
}

TEST_F(EditorTest, PresetListTakesReadablePresetFilesOfTheDataFolder)
{
  EditorZANIQ& z = MakeEditor();
  const fs::path data = z.GetDataFolder().Get();

  // Valid files under three names (one not ".tps"), a directory and a damaged file that both carry ".tps".
  z.OpenEditor();
  for (const char* file : {"b.tps", "a.tps.bak", "c.txt"})
  {
    z.presetMenuPath = (data / file).string();
    z.Command(51);
  }
  fs::create_directories(data / "d.tps");
  WriteFile(data / "e.tps", "<PresetXMLTree><broken");

  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.Command(53);
  ASSERT_EQ(z.NListedPresets(), 2);
  // Alphabetical: "a.tps.bak" before "b.tps".
  EXPECT_EQ(std::pair(std::string(z.GetListedPreset(0)->mName), std::string(z.GetListedPreset(1)->mName)),
            std::pair(std::string("a.tps"), std::string("b")));
  EXPECT_TRUE(z.GetListedPreset(0)->mInitialized && z.GetListedPreset(0)->mChunk.Size() > 0);
  EXPECT_EQ(z.GetListedPreset(2), nullptr);
  EXPECT_EQ(z.Value(ZANIQ::kReferenceLevel), -5.0); // scanning changes no parameter

  // A rebuild replaces the list.
  fs::remove(data / "b.tps");
  z.Command(53);
  ASSERT_EQ(z.NListedPresets(), 1);
  EXPECT_STREQ(z.GetListedPreset(0)->mName, "a.tps");

  // Without the editor the list is not rebuilt.
  z.CloseWindow();
  fs::remove(data / "a.tps.bak");
  z.Command(53);
  EXPECT_EQ(z.NListedPresets(), 1);
}

// Preset files: the written text, the three kinds of load (full, keep, probe), safe
// writing, presets filled from files, and the default preset "default.tps" that every new instance loads keeping
// its instance settings (saving it is an editor command). (Damaged and foreign files are in the stored corpus.)

#include "engine/support/preset_env.h"

#include <sys/stat.h>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

Util_String U(const fs::path& p) { return Util_String(p.c_str()); }

// Sets a parameter as the editor would and lets the engine follow.
void Set(PresetZANIQ& z, int idx, double value) { z.Change(idx, value, kUI); }

} // namespace

TEST_F(PresetTest, WrittenFileHasTheDocumentText)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kReferenceLevel, -12.3);
  Set(z, ZANIQ::kGUIScale, 1.25);
  const fs::path path = mHome.Path() / "mine.tps";
  ASSERT_TRUE(z.WritePresetFile(z, U(path), Util_String("My Preset"), false, false, nullptr));
  EXPECT_EQ(ReadFile(path), ExpectedDocument(z, Values(z), "My Preset"));
  EXPECT_NE(ReadFile(path).find("<Param name=\"Reference Level\" val=\"-12.300000\" />"), std::string::npos);
  // No temporary file is left beside it, and it gets the usual permissions.
  EXPECT_EQ(FilesIn(mHome.Path()).size(), 1u);
  const mode_t old = umask(022);
  const fs::path other = mHome.Path() / "perm.tps";
  const bool ok = z.WritePresetFile(z, U(other), Util_String("P"), false, false, nullptr);
  umask(old);
  ASSERT_TRUE(ok);
  struct stat st;
  ASSERT_EQ(stat(other.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(PresetTest, ProbeKeepAndFullLoads)
{
  PresetZANIQ& z = MakePlug();
  const int mode = z.GetPluginMode();
  Set(z, ZANIQ::kDriveFX, 5.0);  // in presets, not named: back to its default on a full load
  Set(z, ZANIQ::kGUIScale, 2.0); // not in presets: kept
  Set(z, ZANIQ::kActive, 0);     // an instance setting, not named: kept
  const fs::path path = mHome.Path() / "p.tps";
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}, {"Latency Compensation", "300"}, {"Pre-Post FX", "0"}},
                             "Loaded"));

  // Missing files and folders are refused before the reset step (damaged and foreign files: the stored corpus).
  Util_String name("old");
  for (const Util_String& missing : {U(mHome.Path() / "missing.tps"), U(mHome.Path()), Util_String("")})
    EXPECT_FALSE(z.LoadPresetFile(z, missing, name, false, false, false, false, nullptr)) << missing.Get();
  EXPECT_DOUBLE_EQ(z.Value(ZANIQ::kDriveFX), 5.0);

  // A probe gives the name and changes nothing.
  const std::vector<double> before = Values(z);
  const IByteChunk slotBefore = z.GetPreset(0)->mChunk;
  const int resets = z.mResets;
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, true, false, false, nullptr));
  EXPECT_EQ(std::string(name.Get()) + "/" + z.GetPresetName(0), "Loaded/Init");
  EXPECT_TRUE(Values(z) == before && z.mResets == resets && z.GetPreset(0)->mChunk.IsEqual(slotBefore));

  // A keep load leaves the instance settings alone, and tells the engine.
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, true, false, false, false, nullptr));
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -10.0));
  EXPECT_EQ(std::tuple(z.Value(ZANIQ::kLatencyCompensation), z.Value(ZANIQ::kPrePostFX), z.mLastResetSource),
            std::tuple(0.0, 1.0, kPresetRecall));
  EXPECT_STREQ(z.GetPresetName(0), "Loaded");

  // A full load sets them too, and resets the in-preset parameters the file does not name.
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr));
  EXPECT_TRUE(Holds(z, ZANIQ::kLatencyCompensation, 300) && Holds(z, ZANIQ::kDriveFX, 0.0));
  EXPECT_EQ(
    std::tuple(z.Value(ZANIQ::kPrePostFX), z.Value(ZANIQ::kGUIScale), z.Value(ZANIQ::kActive), z.GetPluginMode()),
    std::tuple(0.0, 2.0, 0.0, mode));
}

TEST_F(PresetTest, OddValuesParseAsWrittenAndLoadConstrainedFromAnyVersion)
{
  PresetZANIQ& z = MakePlug();
  std::string text = PresetText({{"Reference Level", " -9.96e0 trailing"},
                                 {"Drive FX", "nan"},
                                 {"RMS Window", "+250"},
                                 {"Meter Mode", "2.6"},            // stepped: rounds to 3
                                 {"GUI Mode", "not a number"},     // reads as 0
                                 {"Over Prection Level", "99"}}, // clamps to 48
                                "Raw");
  text.replace(text.find("v2.2.11"), 7, "v0.1");
  const fs::path path = mHome.Path() / "odd.tps";
  WriteFile(path, text);
  Set(z, ZANIQ::kDriveFX, 1.5);

  // Parsing gives the numbers as written, neither rounded nor clamped, and changes nothing.
  std::vector<double> values(size_t(z.NParams()), kPresetNoValue);
  Util_String name;
  const std::vector<double> before = Values(z);
  ASSERT_TRUE(z.ParsePresetFile(z, U(path), values.data(), name, false));
  EXPECT_STREQ(name.Get(), "Raw");
  EXPECT_EQ(std::tuple(values[ZANIQ::kMeterMode], values[ZANIQ::kOverProtectionLevel],
                       values[ZANIQ::kLatencyCompensation]),
            std::tuple(2.6, 99.0, kPresetNoValue));
  EXPECT_EQ(Values(z), before);

  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, true, false, false, false, nullptr));
  EXPECT_DOUBLE_EQ(z.Value(ZANIQ::kReferenceLevel), -9.96);
  EXPECT_DOUBLE_EQ(z.Value(ZANIQ::kDriveFX), 0.0); // refused value: the reset default stays
  EXPECT_EQ(std::tuple(z.Value(ZANIQ::kRMSWindow), z.Value(ZANIQ::kMeterMode), z.Value(ZANIQ::kGUIMode),
                       z.Value(ZANIQ::kOverProtectionLevel)),
            std::tuple(250.0, 3.0, 0.0, 48.0));
}

TEST_F(PresetTest, FailedWritesAreReportedAndLeaveNoFile)
{
  PresetZANIQ& z = MakePlug();
  const fs::path blocker = mHome.Path() / "plain-file";
  WriteFile(blocker, "x");
  EXPECT_FALSE(z.WritePresetFile(z, U(blocker / "p.tps"), Util_String("P"), false, false, nullptr));
  EXPECT_FALSE(z.WritePresetFile(z, U(mHome.Path() / "no" / "such" / "p.tps"), Util_String("P"), false, false,
                                 nullptr));
  EXPECT_FALSE(z.WritePresetFile(z, Util_String(""), Util_String("P"), false, false, nullptr));
  // A folder in the way is not replaced.
  const fs::path folder = mHome.Path() / "taken.tps";
  fs::create_directory(folder);
  fs::create_directory(folder / "inside");
  EXPECT_FALSE(z.WritePresetFile(z, U(folder), Util_String("P"), false, false, nullptr));
  EXPECT_TRUE(fs::is_directory(folder / "inside"));
  EXPECT_FALSE(z.SaveDefaultPresetFile(z, Util_String(""), false, false, nullptr));
  EXPECT_EQ(FilesIn(mHome.Path()).size(), 1u); // only the blocker: no temporary leftovers

  // An existing file is replaced whole.
  const fs::path path = mHome.Path() / "over.tps";
  WriteFile(path, std::string(100000, 'x'));
  ASSERT_TRUE(z.WritePresetFile(z, U(path), Util_String("Over"), false, false, nullptr));
  EXPECT_EQ(ReadFile(path), ExpectedDocument(z, Values(z), "Over"));
}

TEST_F(PresetTest, PresetFilledFromAFile)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kDriveFX, 7.0); // current values do not leak into the preset
  const fs::path path = mHome.Path() / "fill.tps";
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}, std::string(300, 'n')));

  IPreset preset;
  z.LoadPresetFileIntoPreset(&preset, U(path), false);
  EXPECT_EQ(std::pair(preset.mInitialized, std::string(preset.mName)), std::pair(true, std::string(255, 'n')));

  ASSERT_TRUE(z.CopyPresetToSlot(preset, 0) && z.RestorePreset(0));
  EXPECT_EQ(std::tuple(z.Value(ZANIQ::kReferenceLevel), z.Value(ZANIQ::kDriveFX), std::string(z.GetPresetName(0))),
            std::tuple(-10.0, 0.0, std::string(255, 'n')));

  // A refused file gives a preset of defaults with an empty name.
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}, "X", "Other"));
  IPreset refused;
  z.LoadPresetFileIntoPreset(&refused, U(path), false);
  EXPECT_EQ(std::pair(refused.mInitialized, std::string(refused.mName)), std::pair(true, std::string()));
  Set(z, ZANIQ::kReferenceLevel, -1.0);
  ASSERT_TRUE(z.CopyPresetToSlot(refused, 0) && z.RestorePreset(0));
  EXPECT_DOUBLE_EQ(z.Value(ZANIQ::kReferenceLevel), -18.0);

  z.LoadPresetFileIntoPreset(nullptr, U(path), false); // nothing happens
}

// --- The default preset at start-up ---

TEST_F(PresetTest, DefaultPresetIsAppliedAtStartUpKeepingInstanceSettings)
{
  // The pairing the new instance will get.
  int mode = -1, linkID = -1;
  ASSERT_TRUE(LinkRegistry::Instance().FindPairing(mode, linkID));
  WriteFile(PresetFolder() / "default.tps",
            PresetText({{"Plugin Mode", "1"},
                        {"Link ID", "77"},
                        {"Latency Compensation", "4410"},
                        {"Active", "0"},
                        {"Reference Level", "-14.000000"},
                        {"Meter Mode", "0"},
                        {"GUI Scale", "1.500000"}},
                       "Init"));

  PresetZANIQ& z = MakePlug();
  EXPECT_EQ(std::pair(z.GetPluginMode(), z.GetLinkID()), std::pair(mode, linkID));
  EXPECT_EQ(std::tuple(z.Value(ZANIQ::kPluginMode), z.Value(ZANIQ::kLinkID), z.Value(ZANIQ::kLatencyCompensation),
                       z.Value(ZANIQ::kActive)),
            std::tuple(double(mode), double(linkID), 0.0, 1.0));

  // Applied, and the engine follows the values (not only the parameters).
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -14.0) && Holds(z, ZANIQ::kMeterMode, 0));
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.5);

  // The current preset took the loaded state; the "Init" preset keeps the defaults.
  EXPECT_STREQ(z.GetPresetName(0), "Init");
  IByteChunk state;
  ASSERT_TRUE(z.SerializeState(state));
  EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(state));
  EXPECT_FALSE(z.GetInitPreset().mChunk.IsEqual(state));
}

TEST_F(PresetTest, MissingOrRefusedDefaultPresetLeavesTheDefaults)
{
  PresetZANIQ& plain = MakePlug();
  const std::vector<double> defaults = Values(plain);
  EXPECT_FALSE(plain.LoadDefaultPreset(Util_String("")));
  EXPECT_FALSE(plain.LoadDefaultPreset(Util_String((mHome.Path() / "nowhere").c_str())));
  mPlugs.clear();

  for (const std::string& text : {std::string(), std::string("not xml"),
                                  PresetText({{"Reference Level", "-14"}}, "Init", "Another Vendor"),
                                  PresetText({{"Reference Level", "-14"}}, "Init", "Quenlar", "zaniq")})
  {
    if (text.empty())
      fs::remove(PresetFolder() / "default.tps");
    else
      WriteFile(PresetFolder() / "default.tps", text);
    PresetZANIQ& z = MakePlug();
    std::vector<double> v = Values(z);
    // The pairing may differ between instances; every other value is the table default.
    v[ZANIQ::kPluginMode] = defaults[ZANIQ::kPluginMode];
    v[ZANIQ::kLinkID] = defaults[ZANIQ::kLinkID];
    EXPECT_EQ(v, defaults);
    EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(z.GetInitPreset().mChunk));
    mPlugs.clear();
  }
}

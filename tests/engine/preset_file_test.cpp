// Preset files: the written text, save and load round trips, the three kinds of load (full, keep, probe), the
// identity checks, safe writing, and presets filled from files.

#include "engine/support/preset_env.h"

#include <sys/stat.h>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

Util_String U(const fs::path& p)
{
  return Util_String(p.c_str());
}

// Sets a parameter as the host would and lets the engine follow.
void Set(PresetZANIQ& z, int idx, double value)
{
  z.Change(idx, value, kUI);
}

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
  // No temporary file is left beside it.
  EXPECT_EQ(FilesIn(mHome.Path()).size(), 1u);
}

TEST_F(PresetTest, SaveThenLoadRestoresEveryParameter)
{
  PresetZANIQ& z = MakePlug();
  const std::vector<double> saved = [&] {
    Set(z, ZANIQ::kReferenceLevel, -7.4);
    Set(z, ZANIQ::kDriveFX, 3.3);
    Set(z, ZANIQ::kMeterMode, 1);
    Set(z, ZANIQ::kRMSWindow, 1234);
    Set(z, ZANIQ::kMinAutoGain, -20.1);
    Set(z, ZANIQ::kGUIScale, 1.37);
    Set(z, ZANIQ::kLatencyCompensation, 512);
    return Values(z);
  }();
  const fs::path path = mHome.Path() / "round.tps";
  ASSERT_TRUE(z.WritePresetFile(z, U(path), Util_String("Round"), false, false, nullptr));

  for (int idx : {ZANIQ::kReferenceLevel, ZANIQ::kDriveFX, ZANIQ::kMeterMode, ZANIQ::kRMSWindow,
                  ZANIQ::kMinAutoGain, ZANIQ::kGUIScale, ZANIQ::kLatencyCompensation})
    Set(z, idx, z.GetParam(idx)->GetDefault());
  const int resetsBefore = z.mResets;

  Util_String name;
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr));
  EXPECT_STREQ(name.Get(), "Round");
  for (int i = 0; i < z.NParams(); ++i) EXPECT_NEAR(z.GetParam(i)->Value(), saved[size_t(i)], 1e-9) << i;
  // The engine followed: its mirror holds the loaded values, and the current preset took name and state.
  EXPECT_GT(z.mResets, resetsBefore);
  EXPECT_EQ(z.mLastResetSource, kPresetRecall);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -7.4);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kRMSWindow), 1234);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kLatencyCompensation), 512);
  EXPECT_STREQ(z.GetPresetName(0), "Round");
}

TEST_F(PresetTest, FullLoadResetsInPresetsParametersTheFileDoesNotName)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kDriveFX, 5.0);         // in presets: back to its default
  Set(z, ZANIQ::kGUIScale, 2.0);        // not in presets: kept
  Set(z, ZANIQ::kLatencyCompensation, 100); // instance setting, not named: kept
  const fs::path path = mHome.Path() / "ref.tps";
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}));

  Util_String name;
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -10.0);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), 0.0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kDriveFX), 0.0);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kGUIScale)->Value(), 2.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kLatencyCompensation)->Value(), 100);
}

TEST_F(PresetTest, FullLoadSetsInstanceSettingsAKeepLoadDoesNot)
{
  PresetZANIQ& z = MakePlug();
  const int mode = z.GetPluginMode();
  const fs::path path = mHome.Path() / "inst.tps";
  WriteFile(path, PresetText({{"Latency Compensation", "300"}, {"Pre-Post FX", "0"}, {"Drive FX", "-2.5"}}));

  Util_String name;
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, true, false, false, false, nullptr));
  EXPECT_EQ(z.GetParam(ZANIQ::kLatencyCompensation)->Value(), 0);
  EXPECT_EQ(z.GetParam(ZANIQ::kPrePostFX)->Value(), 1);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), -2.5);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kDriveFX), -2.5); // a keep load tells the engine too
  EXPECT_EQ(z.mLastResetSource, kPresetRecall);
  EXPECT_STREQ(z.GetPresetName(0), "P");

  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr));
  EXPECT_EQ(z.GetParam(ZANIQ::kLatencyCompensation)->Value(), 300);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kLatencyCompensation), 300);
  EXPECT_EQ(z.GetParam(ZANIQ::kPrePostFX)->Value(), 0);
  EXPECT_EQ(z.GetPluginMode(), mode);
}

TEST_F(PresetTest, ProbeChangesNothing)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kDriveFX, 5.0);
  const fs::path path = mHome.Path() / "probe.tps";
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}, "Probed"));
  const std::vector<double> before = Values(z);
  const IByteChunk slotBefore = z.GetPreset(0)->mChunk;
  const int resets = z.mResets;

  Util_String name("old");
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, false, true, false, false, nullptr));
  EXPECT_STREQ(name.Get(), "Probed");
  EXPECT_EQ(Values(z), before);
  EXPECT_EQ(z.mResets, resets);
  EXPECT_STREQ(z.GetPresetName(0), "Init");
  EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(slotBefore));
}

TEST_F(PresetTest, RefusedFilesChangeNothing)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kDriveFX, 5.0); // would go back to its default if the reset step ran
  struct Case
  {
    const char* what;
    std::string text;
  } cases[] = {
    {"vendor in another case", PresetText({{"Reference Level", "-10"}}, "P", "quenlar")},
    {"another vendor", PresetText({{"Reference Level", "-10"}}, "P", "Other")},
    {"vendor without text", PresetText({{"Reference Level", "-10"}}, "P", "")},
    {"another plug-in", PresetText({{"Reference Level", "-10"}}, "P", "Quenlar", "ZANIQ2")},
    {"plug-in name without text", PresetText({{"Reference Level", "-10"}}, "P", "Quenlar", "")},
    {"a foreign element after two values",
     [] {
       std::string t = PresetText({{"Reference Level", "-10"}, {"GUI Mode", "0"}, {"Meter Mode", "0"}});
       const size_t at = t.rfind("<Param");
       return t.replace(at, 6, "<Other");
     }()},
    {"not XML", "Reference Level = -10"},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.what);
    const fs::path path = mHome.Path() / "refused.tps";
    WriteFile(path, c.text);
    const std::vector<double> before = Values(z);
    const IByteChunk slotBefore = z.GetPreset(0)->mChunk;
    const int resets = z.mResets;
    for (bool keep : {false, true})
      for (bool probe : {false, true})
      {
        Util_String name("unchanged");
        EXPECT_FALSE(z.LoadPresetFile(z, U(path), name, keep, probe, false, false, nullptr));
        EXPECT_STREQ(name.Get(), "unchanged");
      }
    EXPECT_EQ(Values(z), before);
    EXPECT_EQ(z.mResets, resets);
    EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(slotBefore));
    EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kDriveFX), 5.0);
  }

  Util_String name;
  EXPECT_FALSE(z.LoadPresetFile(z, U(mHome.Path() / "missing.tps"), name, false, false, false, false, nullptr));
  EXPECT_FALSE(z.LoadPresetFile(z, U(mHome.Path()), name, false, false, false, false, nullptr)); // a folder
  EXPECT_FALSE(z.LoadPresetFile(z, Util_String(""), name, false, false, false, false, nullptr));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), 5.0);
}

TEST_F(PresetTest, AnotherVersionAndOddValuesStillLoad)
{
  PresetZANIQ& z = MakePlug();
  std::string text = PresetText({{"Reference Level", " -9.96e0 trailing"},
                                 {"Drive FX", "nan"},
                                 {"RMS Window", "+250"},
                                 {"Meter Mode", "2.6"},     // stepped: rounds to 3
                                 {"GUI Mode", "not a number"}, // reads as 0
                                 {"Over Prection Level", "99"}}); // clamps to 48
  const size_t v = text.find("v2.2.11");
  text.replace(v, 7, "v0.1");
  const fs::path path = mHome.Path() / "odd.tps";
  WriteFile(path, text);
  Set(z, ZANIQ::kDriveFX, 1.5);

  Util_String name;
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, true, false, false, false, nullptr));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -9.96);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), 0.0); // refused value: the reset default stays
  EXPECT_EQ(z.GetParam(ZANIQ::kRMSWindow)->Value(), 250);
  EXPECT_EQ(z.GetParam(ZANIQ::kMeterMode)->Value(), 3);
  EXPECT_EQ(z.GetParam(ZANIQ::kGUIMode)->Value(), 0);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kOverProtectionLevel)->Value(), 48.0);
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

TEST_F(PresetTest, WrittenFilesGetTheUsualPermissions)
{
  PresetZANIQ& z = MakePlug();
  const mode_t old = umask(022);
  const fs::path path = mHome.Path() / "perm.tps";
  const bool ok = z.WritePresetFile(z, U(path), Util_String("P"), false, false, nullptr);
  umask(old);
  ASSERT_TRUE(ok);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(PresetTest, DefaultPresetFileIsWrittenIntoTheFolderAsInit)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kReferenceLevel, -3.0);
  ASSERT_TRUE(z.SaveDefaultPresetFile(z, z.GetPresetFolder(), false, false, nullptr));
  const fs::path path = PresetFolder() / "default.tps";
  EXPECT_EQ(ReadFile(path), ExpectedDocument(z, Values(z), "Init"));
}

TEST_F(PresetTest, ParsePresetFileGivesRawValues)
{
  PresetZANIQ& z = MakePlug();
  const fs::path path = mHome.Path() / "raw.tps";
  WriteFile(path, PresetText({{"Reference Level", "5.55"}, {"Meter Mode", "2.6"}}, "Raw"));
  std::vector<double> values(size_t(z.NParams()), kPresetNoValue);
  Util_String name;
  const std::vector<double> before = Values(z);
  ASSERT_TRUE(z.ParsePresetFile(z, U(path), values.data(), name, false));
  EXPECT_STREQ(name.Get(), "Raw");
  EXPECT_EQ(values[ZANIQ::kReferenceLevel], 5.55); // not clamped to 0 or rounded
  EXPECT_EQ(values[ZANIQ::kMeterMode], 2.6);
  EXPECT_EQ(values[ZANIQ::kDriveFX], kPresetNoValue);
  EXPECT_EQ(Values(z), before);

  WriteFile(path, PresetText({{"Reference Level", "5.55"}}, "Raw", "Other"));
  std::vector<double> untouched(size_t(z.NParams()), kPresetNoValue);
  EXPECT_FALSE(z.ParsePresetFile(z, U(path), untouched.data(), name, false));
  EXPECT_EQ(untouched, std::vector<double>(size_t(z.NParams()), kPresetNoValue));
}

TEST_F(PresetTest, PresetFilledFromAFile)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kDriveFX, 7.0); // current values do not leak into the preset
  const fs::path path = mHome.Path() / "fill.tps";
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}, std::string(300, 'n')));

  IPreset preset;
  z.LoadPresetFileIntoPreset(&preset, U(path), false);
  EXPECT_TRUE(preset.mInitialized);
  EXPECT_EQ(std::string(preset.mName), std::string(255, 'n'));

  ASSERT_TRUE(z.CopyPresetToSlot(preset, 0));
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -10.0);
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), 0.0);
  EXPECT_EQ(std::string(z.GetPresetName(0)), std::string(255, 'n'));

  // A refused file gives a preset of defaults with an empty name.
  WriteFile(path, PresetText({{"Reference Level", "-10.000000"}}, "X", "Other"));
  IPreset refused;
  z.LoadPresetFileIntoPreset(&refused, U(path), false);
  EXPECT_TRUE(refused.mInitialized);
  EXPECT_STREQ(refused.mName, "");
  Set(z, ZANIQ::kReferenceLevel, -1.0);
  ASSERT_TRUE(z.CopyPresetToSlot(refused, 0));
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -18.0);

  z.LoadPresetFileIntoPreset(nullptr, U(path), false); // nothing happens
}

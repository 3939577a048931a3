// Preset files: the written text, the three kinds of load (full, keep, probe), safe writing, the default preset
// "default.tps" that every new instance loads keeping its instance settings (saving it is an editor command), the
// stored corpus of good, damaged and foreign files, and numbers in the C locale in files and state chunks.

#include "engine/support/preset_env.h"
#include "engine/support/thread_limits.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <clocale>
#include <cstdlib>

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

  // A folder is refused before the reset step (damaged and foreign files: the stored corpus).
  Util_String name("old");
  EXPECT_FALSE(z.LoadPresetFile(z, U(mHome.Path()), name, false, false, false, false, nullptr));
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
                                 {"RMS Window", "1e999"},
                                 {"Meter Mode", "2.6"},            // stepped: rounds to 3
                                 {"Over Prection Level", "99"}}, // clamps to 48
                                "Raw");
  text.replace(text.find("v2.2.11"), 7, "v0.1");
  const fs::path path = mHome.Path() / "odd.tps";
  WriteFile(path, text);
  Set(z, ZANIQ::kDriveFX, 1.5);

  // Parsing gives the numbers as written, neither rounded nor clamped.
  std::vector<double> values(size_t(z.NParams()), kPresetNoValue);
  Util_String name;
  ASSERT_TRUE(z.ParsePresetFile(z, U(path), values.data(), name, false));
  EXPECT_EQ(std::pair(values[ZANIQ::kMeterMode], values[ZANIQ::kOverProtectionLevel]), std::pair(2.6, 99.0));
  ASSERT_TRUE(z.LoadPresetFile(z, U(path), name, true, false, false, false, nullptr));
  EXPECT_DOUBLE_EQ(z.Value(ZANIQ::kReferenceLevel), -9.96);
  EXPECT_EQ(std::pair(z.Value(ZANIQ::kDriveFX), z.Value(ZANIQ::kRMSWindow)),
            std::pair(0.0, z.GetParam(ZANIQ::kRMSWindow)->GetDefault())); // refused values: the reset defaults stay
  EXPECT_EQ(std::pair(z.Value(ZANIQ::kMeterMode), z.Value(ZANIQ::kOverProtectionLevel)), std::pair(3.0, 48.0));
}

TEST_F(PresetTest, FailedWritesAreReportedAndLeaveNoFile)
{
  PresetZANIQ& z = MakePlug();
  const fs::path blocker = mHome.Path() / "plain-file";
  WriteFile(blocker, "x");
  // A folder in the way is not replaced.
  const fs::path folder = mHome.Path() / "taken.tps";
  fs::create_directories(folder / "inside");
  for (const fs::path& path : {blocker / "p.tps", fs::path(), folder})
    EXPECT_FALSE(z.WritePresetFile(z, U(path), Util_String("P"), false, false, nullptr)) << path;
  EXPECT_TRUE(fs::is_directory(folder / "inside"));
  EXPECT_FALSE(z.SaveDefaultPresetFile(z, Util_String(""), false, false, nullptr));
  EXPECT_EQ(FilesIn(mHome.Path()).size(), 1u); // only the blocker: no temporary leftovers

  // An existing file is replaced whole.
  const fs::path path = mHome.Path() / "over.tps";
  WriteFile(path, std::string(100000, 'x'));
  ASSERT_TRUE(z.WritePresetFile(z, U(path), Util_String("Over"), false, false, nullptr));
  EXPECT_EQ(ReadFile(path), ExpectedDocument(z, Values(z), "Over"));
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

TEST_F(PresetTest, RefusedDefaultPresetLeavesTheDefaults)
{
  WriteFile(PresetFolder() / "default.tps", PresetText({{"Reference Level", "-14"}}, "Init", "Quenlar", "zaniq"));
  PresetZANIQ& z = MakePlug();
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -18.0) && z.GetPreset(0)->mChunk.IsEqual(z.GetInitPreset().mChunk));
  EXPECT_FALSE(z.LoadDefaultPreset(Util_String("")));
}

// --- Nesting: files nested deeper than any preset never reach the parser, on any stack ---

TEST_F(PresetTest, DeeplyNestedPresetFilesAreRefusedOnASmallStackAndChangeNothing)
{
  MakePlug(); // the Sender on Link ID 1
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kReferenceLevel, -5.0);
  z.GetPreset(0)->SetName("Before");
  const std::vector<double> before = Values(z);
  const int resets = z.mResets;
  const fs::path path = mHome.Path() / "deep.tps";

  for (int levels : {16, 1000, 5000})
  {
    SCOPED_TRACE(levels);
    WriteFile(path, NestedPresetText(levels));
    WriteFile(PresetFolder() / "default.tps", NestedPresetText(levels));
    ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] {
      for (bool keep : {false, true})
        for (bool probe : {false, true})
        {
          Util_String name("unchanged");
          EXPECT_FALSE(z.LoadPresetFile(z, U(path), name, keep, probe, false, false, nullptr));
          EXPECT_STREQ(name.Get(), "unchanged");
        }
      std::vector<double> values(size_t(z.NParams()), 1.0);
      Util_String name;
      EXPECT_FALSE(z.ParsePresetFile(z, U(path), values.data(), name, false));
      EXPECT_EQ(values, std::vector<double>(size_t(z.NParams()), 1.0));
      EXPECT_FALSE(z.LoadDefaultPreset(U(PresetFolder())));
    }));
    EXPECT_EQ(Values(z), before);
    EXPECT_EQ(std::tuple(z.mResets, std::string(z.GetPresetName(0)), z.Pairing()),
              std::tuple(resets, std::string("Before"), R(1)));

    // A new instance starts from the defaults.
    PresetZANIQ& fresh = MakePlug();
    EXPECT_TRUE(Holds(fresh, ZANIQ::kReferenceLevel, -18.0));
    EXPECT_STREQ(fresh.GetPresetName(0), "Init");
  }

  // Nested as deeply as a document may be: read.
  WriteFile(path, NestedPresetText(15));
  Util_String name;
  ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] {
    EXPECT_TRUE(z.LoadPresetFile(z, U(path), name, false, true, false, false, nullptr));
  }));
  EXPECT_STREQ(name.Get(), "Nested");
}

TEST_F(PresetTest, TheProductsOwnPresetsLoadOnASmallStack)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kReferenceLevel, -12.0);
  const fs::path path = mHome.Path() / "mine.tps";
  ASSERT_TRUE(z.WritePresetFile(z, U(path), Util_String("Mine"), false, false, nullptr));
  Set(z, ZANIQ::kReferenceLevel, -9.0);
  ASSERT_TRUE(z.SaveDefaultPresetFile(z, U(PresetFolder()), false, false, nullptr));
  Set(z, ZANIQ::kReferenceLevel, -3.0);

  bool loaded = false, loadedDefault = false;
  ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] {
    Util_String name;
    loaded = z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr);
    EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -12.0));
    loadedDefault = z.LoadDefaultPreset(U(PresetFolder()));
  }));
  EXPECT_TRUE(loaded && loadedDefault);
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -9.0));
}

// --- Paths that name no regular file: refused, never waited on ---

TEST_F(PresetTest, PresetAndProgramPathsThatAreNotRegularFilesAreRefusedWithoutWaiting)
{
  PresetZANIQ& z = MakePlug();
  Set(z, ZANIQ::kReferenceLevel, -5.0);
  const std::vector<double> before = Values(z);
  const fs::path fifo = mHome.Path() / "fifo.tps", folder = mHome.Path() / "folder.tps";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  fs::create_directories(folder);

  for (const fs::path& path : {fifo, folder})
  {
    SCOPED_TRACE(path.filename());
    const auto loads = [&] {
      Util_String name("unchanged");
      EXPECT_FALSE(z.LoadPresetFile(z, U(path), name, false, false, false, false, nullptr));
      EXPECT_FALSE(z.LoadPresetFile(z, U(path), name, true, true, false, false, nullptr));
      std::vector<double> values(size_t(z.NParams()), 1.0);
      EXPECT_FALSE(z.ParsePresetFile(z, U(path), values.data(), name, false));
      EXPECT_FALSE(z.LoadProgramFromFXP(path.c_str()));
      EXPECT_FALSE(z.LoadBankFromFXB(path.c_str()));
      EXPECT_STREQ(name.Get(), "unchanged");
    };
    EXPECT_TRUE(FinishesUnblocked(loads, {fifo}));
    EXPECT_EQ(Values(z), before);
  }
}

// --- Stored preset files, good and damaged (tests/data/presets; see its README), through every reader ---

TEST_F(PresetTest, PresetCorpus)
{
  PresetZANIQ& z = MakePlug();
  int bad = 0, ok = 0;
  for (const fs::path& path : FilesIn(fs::path(ZANIQ_TEST_DATA) / "presets"))
  {
    if (path.extension() != ".tps") continue;
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const Util_String file(path.c_str());

    // Away from every value the files hold, and from the defaults the reset step would bring.
    z.Change(ZANIQ::kReferenceLevel, -20.0);
    z.Change(ZANIQ::kDriveFX, 1.0);
    z.Change(ZANIQ::kMeterMode, 5);
    z.GetPreset(0)->SetName("Before");
    const std::vector<double> before = Values(z);
    const IByteChunk slotBefore = z.GetPreset(0)->mChunk;
    const int resets = z.mResets;

    if (name.rfind("bad_", 0) == 0)
    {
      ++bad;
      for (bool keep : {false, true})
        for (bool probe : {false, true})
        {
          Util_String presetName("unchanged"), data("unchanged");
          EXPECT_FALSE(z.LoadPresetFile(z, file, presetName, keep, probe, false, true, &data));
          EXPECT_STREQ(presetName.Get(), "unchanged");
          EXPECT_STREQ(data.Get(), "unchanged");
        }
      EXPECT_TRUE(Values(z) == before && z.mResets == resets && z.GetPreset(0)->mChunk.IsEqual(slotBefore));
      EXPECT_TRUE(Holds(z, ZANIQ::kDriveFX, 1.0) && std::string(z.GetPresetName(0)) == "Before");
    }
    else if (name.rfind("ok_", 0) == 0)
    {
      ++ok;
      Util_String presetName;
      ASSERT_TRUE(z.LoadPresetFile(z, file, presetName, false, false, false, false, nullptr));
      EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -10.0) && std::string(z.GetPresetName(0)) == "Corpus");
      // Meter Mode is not named: back to its default.
      EXPECT_EQ(std::pair(z.Value(ZANIQ::kDriveFX), z.Value(ZANIQ::kMeterMode)),
                std::pair(name == "ok_other_version.tps" ? 4.5 : 0.0, 3.0));
    }
  }
  EXPECT_GE(bad, 15);
  EXPECT_GE(ok, 3);
}

// --- Numbers in the C locale, whatever locale the host process runs in ---

namespace
{

// A German locale (decimal comma) compiled into a temporary LOCPATH, for the lifetime of the object. Ok() is
// false where localedef or the locale sources are missing.
class CommaLocale
{
public:
  CommaLocale()
  {
    char tmpl[] = "/tmp/zaniq_locale_XXXXXX";
    if (!mkdtemp(tmpl)) return;
    mDir = tmpl;
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + (mDir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !fs::exists(mDir / "de_DE.UTF-8" / "LC_NUMERIC")) return;
    setenv("LOCPATH", mDir.c_str(), 1);
    mOk = true;
  }
  ~CommaLocale()
  {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    std::error_code ec;
    if (!mDir.empty()) fs::remove_all(mDir, ec);
  }
  bool Ok() const { return mOk; }
  // Switches the process to the comma locale; false when it cannot.
  bool Enter() const
  {
    if (!mOk || !std::setlocale(LC_ALL, "de_DE.UTF-8")) return false;
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    return std::string(probe) == "1,5";
  }
  static void Leave() { std::setlocale(LC_ALL, "C"); }

private:
  fs::path mDir;
  bool mOk = false;
};

} // namespace

TEST_F(PresetTest, CommaLocaleChangesNeitherTextNorValues)
{
  CommaLocale locale;
  if (!locale.Ok()) GTEST_SKIP() << "no comma locale can be built here";
  PresetZANIQ& z = MakePlug();
  z.Change(ZANIQ::kReferenceLevel, -12.5);
  z.Change(ZANIQ::kGUIScale, 1.75);
  const std::string expected = ExpectedDocument(z, Values(z), "Init");

  // (State chunks carry the same document.)
  ASSERT_TRUE(locale.Enter());
  const fs::path path = mHome.Path() / "comma.tps";
  const bool written = z.WritePresetFile(z, Util_String(path.c_str()), Util_String("Init"), false, false, nullptr);
  z.Change(ZANIQ::kReferenceLevel, 0.0);
  z.Change(ZANIQ::kGUIScale, 1.0);
  Util_String name;
  const bool loaded = z.LoadPresetFile(z, Util_String(path.c_str()), name, false, false, false, false, nullptr);
  CommaLocale::Leave();

  ASSERT_TRUE(written && loaded);
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(std::pair(z.Value(ZANIQ::kReferenceLevel), z.Value(ZANIQ::kGUIScale)), std::pair(-12.5, 1.75));
}

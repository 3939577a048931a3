// Instances: editor work asked for off the main thread, the DSP state after a reset, the data folder under
// Application Support, and "plugin.ini". (Pairing and numbering: the registry tests; how each kind of parameter
// reaches the host: the bundle tests; resources from the bundle: the editor tests.)

#include "engine/support/alloc_counter.h"
#include "engine/support/thread_limits.h"
#include "engine/support/zaniq_env.h"

#include <CoreFoundation/CFTesting.h>

#include <sys/stat.h>

#include <climits>
#include <future>
#include <thread>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

TEST_F(ZaniqTest, EditorWorkAskedForOffTheMainThreadWaitsForTheIdleTick)
{
  ZQCFUseVirtualClock(true);
  TestZANIQ& z = Make();
  std::thread([&] { z.Change(ZANIQ::kGUIMode, 0, kHost); }).join();
  EXPECT_EQ(std::pair(z.GetMirrorInt(ZANIQ::kGUIMode), z.PendingEditorWork()),
            std::pair(0, unsigned(ZANIQ::kEditorLayout)));
  (void)ZQCFAdvanceClock(0.05);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  // On the main thread nothing waits.
  z.Change(ZANIQ::kGUIMode, 1);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  DestroyAll();
  ZQCFUseVirtualClock(false);
}

// --- DSP state ---

TEST_F(ZaniqTest, AResetAtANewRateReachesTheDSPWithoutAllocating)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.RunBlock();
  z.SetSampleRate(96000.0);
  AllocationScope scope;
  z.OnReset();
  z.ResetDSP();
  z.ResetMeters();
  EXPECT_EQ(scope.Count(), 0u);
  EXPECT_EQ(std::tuple(z.GetDSPSampleRate(), z.GetPreFXMeter().SampleRate(), z.GetPostFXMeter().SampleRate()),
            std::tuple(96000.0, 96000.0, 96000.0));
  // The delay lines keep their capacity (4 s at 44.1 kHz) and length, and restart.
  const DelayLine& line = z.GetDelayLine(1);
  EXPECT_EQ(std::tuple(line.capacity, line.length, line.index), std::tuple(176400, 1000, 0));
}

// --- Data folder and plugin.ini ---

TEST_F(ZaniqTest, DataFolderIsCreatedUnderTheHomeFolderWithFullPermissionsOnce)
{
  const mode_t old = umask(022);
  TestZANIQ& z = Make();
  const mode_t during = umask(022);
  umask(old);
  EXPECT_EQ(during, 022); // the process umask was left alone

  const fs::path data = mHome.DataFolder();
  EXPECT_STREQ(z.GetDataFolder().Get(), data.c_str());
  EXPECT_STREQ(z.GetPresetFolder().Get(), (data / "AU").c_str());
  for (const fs::path& folder : {data, data / "AU"})
  {
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & (S_IFMT | 07777), S_IFDIR | 0777u) << folder;
  }

  // Existing folders are left as they are.
  chmod(data.c_str(), 0750);
  Make();
  struct stat st;
  ASSERT_EQ(stat(data.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
}

TEST_F(ZaniqTest, HasUIZeroInPluginIniRemovesTheEditor)
{
  EXPECT_TRUE(Make().HasUI()); // no file: editor available
  WriteFile(mHome.DataFolder() / "plugin.ini", "[Other]\nHasUI=0\n"); // the section is not looked at
  EXPECT_FALSE(Make().HasUI());
}

// A FIFO (or a folder) where "plugin.ini" or the default preset should be must not hold up the constructor: the
// instance starts with the defaults, as without the files.
TEST_F(ZaniqTest, AFifoOrFolderInPlaceOfTheSettingsOrDefaultPresetIsNotWaitedOn)
{
  const fs::path ini = mHome.DataFolder() / "plugin.ini", preset = mHome.DataFolder() / "AU" / "default.tps";
  Make(); // creates the folders
  ASSERT_EQ(mkfifo(ini.c_str(), 0666), 0);
  ASSERT_EQ(mkfifo(preset.c_str(), 0666), 0);

  for (const bool folders : {false, true})
  {
    SCOPED_TRACE(folders ? "folders" : "FIFOs");
    if (folders)
      for (const fs::path& p : {ini, preset})
      {
        fs::remove(p);
        fs::create_directory(p);
      }
    TestZANIQ* z = nullptr;
    int iniValue = 0;
    const auto construct = [&] {
      z = &Make();
      iniValue = ReadIniFileValue(ini.c_str(), "HasUI", 7);
    };
    EXPECT_TRUE(FinishesUnblocked(construct, {ini, preset}));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(iniValue, 7);
    EXPECT_TRUE(z->HasUI());
    EXPECT_TRUE(Holds(*z, ZANIQ::kReferenceLevel, -18.0));
    EXPECT_STREQ(z->GetPresetName(0), "Init");
    // The files are left as they were.
    EXPECT_EQ(std::pair(fs::status(ini).type(), fs::status(preset).type()),
              folders ? std::pair(fs::file_type::directory, fs::file_type::directory)
                      : std::pair(fs::file_type::fifo, fs::file_type::fifo));
  }

  // A settings file that is far larger than any is not read.
  fs::remove(ini);
  WriteFile(ini, "HasUI=0\n" + std::string(IMPlugPaths::kMaxSettingsFileBytes, '\n'));
  EXPECT_EQ(ReadIniFileValue(ini.c_str(), "HasUI", 1), 1);
  WriteFile(ini, "HasUI=0\n" + std::string(IMPlugPaths::kMaxSettingsFileBytes - 8, '\n'));
  EXPECT_EQ(ReadIniFileValue(ini.c_str(), "HasUI", 1), 0);
}

TEST(ZaniqIni, LinesAreMatchedByKeyAndTheLastMatchWins)
{
  ScopedHome home;
  const fs::path ini = home.Path() / "plugin.ini";
  auto read = [&](const std::string& text) {
    WriteFile(ini, text);
    return ReadIniFileValue(ini.c_str(), "HasUI", 1);
  };

  EXPECT_EQ(read("HasUI=1\nHasUI=0\n"), 0);
  EXPECT_EQ(read("HasUI = 0\n"), 1);          // a blank before "=" is no match
  EXPECT_EQ(read("HasUIX=0\n"), 1);           // the key must be followed by "="
  EXPECT_EQ(read("HasUI=  7 trailing\n"), 7); // blanks after "=" and text after the number are fine
  EXPECT_EQ(read("HasUI=0\nHasUI=\nHasUI=x\n"), 0); // a match without a number changes nothing
  EXPECT_EQ(read("HasUI=99999999999999999999\n"), INT_MAX); // saturated, never undefined
  EXPECT_EQ(read("HasUI=-99999999999\n"), INT_MIN);
  // Lines are matched in pieces of 2047 characters: the piece after a long run stands on its own.
  EXPECT_EQ(read(std::string(2047, 'x') + "HasUI=5\n"), 5);
  EXPECT_EQ(read(std::string(2046, 'x') + "HasUI=5\n"), 1);

  EXPECT_EQ(ReadIniFileValue((home.Path() / "missing.ini").c_str(), "HasUI", 9), 9);
  EXPECT_EQ(ReadIniFileValue(ini.c_str(), "", 9), 9);
  EXPECT_EQ(ReadIniFileValue(nullptr, "HasUI", 9), 9);
}

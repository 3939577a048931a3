// Construction, pairing and numbering of instances, the data folder, "plugin.ini", the DSP state after
// construction and after a reset, and destruction.

#include "engine/support/alloc_counter.h"
#include "engine/support/zaniq_env.h"

#include <CoreFoundation/CFTesting.h>

#include <sys/stat.h>

#include <climits>
#include <fstream>
#include <thread>

using namespace plugin;
using testsupport::ScopedHome;
using testsupport::TestZANIQ;
using testsupport::ZaniqTest;
namespace fs = std::filesystem;

namespace
{

LinkPairing Pairing(const ZANIQ& z)
{
  return {z.GetPluginMode(), z.GetLinkID()};
}
const LinkPairing S(int id) { return {kLinkSender, id}; }
const LinkPairing R(int id) { return {kLinkReceiver, id}; }

LinkSlot& Slot(int id)
{
  return LinkRegistry::Instance().Slot(id);
}

void WriteFile(const fs::path& file, const std::string& text)
{
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Pairing and numbering
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, NewInstancesPairThemselvesInTurn)
{
  const LinkPairing expected[] = {S(1), R(1), S(2), R(2), S(3)};
  for (int i = 0; i < 5; ++i)
  {
    TestZANIQ& z = Make();
    EXPECT_EQ(z.GetInstanceNumber(), i + 1);
    EXPECT_EQ(Pairing(z), expected[i]) << i;
    // The parameters start with the pairing's mode and Link ID.
    EXPECT_EQ(z.GetParam(ZANIQ::kPluginMode)->Value(), expected[i].mode);
    EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->Value(), expected[i].linkID);
    EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->GetDefault(), expected[i].linkID);
  }
  EXPECT_EQ(LinkRegistry::Instance().LiveInstances(), 5);
  EXPECT_EQ(Slot(1).Senders(), 1);
  EXPECT_EQ(Slot(1).Receivers(), 1);
  EXPECT_EQ(Slot(3).Senders(), 1);
  EXPECT_EQ(Slot(3).Receivers(), 0);

  // A Receiver that goes leaves its place to the next new instance, which is numbered on.
  Destroy(*mInstances[1]);
  EXPECT_EQ(Slot(1).Receivers(), 0);
  TestZANIQ& next = Make();
  EXPECT_EQ(Pairing(next), R(1));
  EXPECT_EQ(next.GetInstanceNumber(), 6);
}

TEST_F(ZaniqTest, SendersWithoutReceiversGetAReceiver)
{
  TestZANIQ& a = Make(); // S1
  TestZANIQ& b = Make(); // R1
  b.Change(ZANIQ::kPluginMode, kLinkSender); // now Senders on 1 twice, no Receivers
  EXPECT_EQ(Slot(1).Senders(), 2);
  EXPECT_EQ(Slot(1).Receivers(), 0);
  a.Change(ZANIQ::kLinkID, 2); // Senders on 1 and 2
  EXPECT_EQ(Pairing(Make()), R(1));
}

TEST_F(ZaniqTest, TheFirstInstanceOfAnEmptyProcessStartsAfresh)
{
  Make();
  Make();
  Make();
  DestroyAll();
  // Counts a crashed host might have left behind are forgotten by the next first instance.
  EXPECT_EQ(LinkRegistry::Instance().LiveInstances(), 0);
  TestZANIQ& z = Make();
  EXPECT_EQ(z.GetInstanceNumber(), 1);
  EXPECT_EQ(Pairing(z), S(1));
  for (int id = 0; id <= kMaxLinkID; ++id)
  {
    EXPECT_EQ(Slot(id).Senders(), id == 1 ? 1 : 0) << id;
    EXPECT_EQ(Slot(id).Receivers(), 0) << id;
  }
}

TEST_F(ZaniqTest, DestructionLeavesTheSlotAndResetsTheSenderControl)
{
  TestZANIQ& sender = Make();
  TestZANIQ& receiver = Make();
  ASSERT_EQ(Pairing(receiver), R(1));
  // What a Receiver leaves in its slot while it runs.
  Slot(1).SetSenderState(kSenderSilence);
  Slot(1).SetDriveGain(2.0);
  Slot(1).SetPreGain(0.5);
  Destroy(receiver);
  EXPECT_EQ(Slot(1).Receivers(), 0);
  EXPECT_EQ(Slot(1).SenderState(), kSenderNormal);
  EXPECT_EQ(Slot(1).DriveGain(), 1.0);
  EXPECT_EQ(Slot(1).PreGain(), 1.0);
  EXPECT_EQ(Slot(1).PreDivisor2(), 1.0);
  Destroy(sender);
  EXPECT_EQ(Slot(1).Senders(), 0);
  EXPECT_EQ(LinkRegistry::Instance().LiveInstances(), 0);
}

TEST_F(ZaniqTest, DestructionStopsTheIdleTimersFirst)
{
  ZQCFUseVirtualClock(true);
  const int before = ZQCFScheduledTimerCount();
  {
    TestZANIQ z;
    EXPECT_GT(ZQCFScheduledTimerCount(), before);
    EXPECT_GT(ZQCFAdvanceClock(0.05), 0); // ticks reach a live instance
  }
  EXPECT_EQ(ZQCFScheduledTimerCount(), before);
  EXPECT_EQ(ZQCFAdvanceClock(1.0), 0); // and none reaches a destroyed one
  ZQCFUseVirtualClock(false);
}

TEST_F(ZaniqTest, EditorWorkAskedForOffTheMainThreadWaitsForTheIdleTick)
{
  ZQCFUseVirtualClock(true);
  TestZANIQ& z = Make();
  std::thread([&] { z.Change(ZANIQ::kGUIMode, 0, kHost); }).join();
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kGUIMode), 0);
  EXPECT_EQ(z.PendingEditorWork(), unsigned(ZANIQ::kEditorLayout));
  (void)ZQCFAdvanceClock(0.05);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  // On the main thread nothing waits.
  z.Change(ZANIQ::kGUIMode, 1);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  DestroyAll();
  ZQCFUseVirtualClock(false);
}

// ---------------------------------------------------------------------------------------------------------------
// DSP state
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, DSPStateAfterConstructionAt44100)
{
  TestZANIQ& z = Make();
  EXPECT_EQ(z.GetDSPSampleRate(), 44100.0);
  EXPECT_EQ(z.GetDSPBlockSize(), 512);
  EXPECT_EQ(z.GetNInputChannels(), 2);
  EXPECT_EQ(z.GetNOutputChannels(), 2);
  EXPECT_EQ(z.GetHalfSecondPeriod(), 22050);
  EXPECT_EQ(z.GetFadeLength(), 220500);
  EXPECT_EQ(z.GetGainReductionDisplay().holdLength, 132300);
  EXPECT_EQ(z.GetGainReductionDisplay().invert, 1);
  EXPECT_DOUBLE_EQ(z.GetGainReductionDisplay().release, std::pow(10.0, -1.0 / 4410.0));
  for (int ch = 0; ch < 2; ++ch)
  {
    EXPECT_EQ(z.GetDelayLine(ch).capacity, 176400);
    EXPECT_EQ(z.GetDelayLine(ch).length, 0);
    EXPECT_NEAR(z.GetOverProtection(ch).ceiling, 1.4125375446227544, 1e-12); // 10^(3/20)
    EXPECT_EQ(z.GetOverProtection(ch).negCeiling, -z.GetOverProtection(ch).ceiling);
  }
  EXPECT_EQ(z.GetLatencyDetector().windowLength, 177400);
  EXPECT_EQ(z.GetLatencyDetector().allowedWindows, 3);
  EXPECT_EQ(z.GetLatencyDetector().thresholdDB, -3.0);
  EXPECT_EQ(z.GetLatencyDetector().blockSize, 512);
  EXPECT_EQ(z.GetPreFXMeter().Mode(), kMeterEBUSL);
  EXPECT_EQ(z.GetPostFXMeter().SampleRate(), 44100.0);
  for (double g : {z.GetLinkGain(), z.GetPreGain(), z.GetPreRatio(), z.GetPreMaxRatio(), z.GetAutoGain(),
                   z.GetMatchGain(), z.GetGainToMatch()})
    EXPECT_EQ(g, 1.0);
  EXPECT_EQ(z.GetInitialLatency(), 0);
  EXPECT_FALSE(z.IsMeasurementRunning());
}

TEST_F(ZaniqTest, ResetAtANewRateRebuildsWithoutAllocating)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.RunBlock();
  ASSERT_EQ(z.GetDelayLine(0).length, 1000);
  z.SetSampleRate(96000.0);
  {
    testsupport::AllocationScope scope;
    z.OnReset();
    z.ResetDSP();
    z.ResetMeters();
    EXPECT_EQ(scope.Count(), 0u);
  }
  EXPECT_EQ(z.GetDSPSampleRate(), 96000.0);
  EXPECT_EQ(z.GetHalfSecondPeriod(), 48000);
  EXPECT_EQ(z.GetFadeLength(), 480000);
  EXPECT_EQ(z.GetGainReductionDisplay().holdLength, 288000);
  EXPECT_EQ(z.GetPreFXMeter().SampleRate(), 96000.0);
  EXPECT_EQ(z.GetDelayLine(1).capacity, 176400);
  EXPECT_EQ(z.GetDelayLine(1).length, 1000);
  EXPECT_EQ(z.GetDelayLine(1).index, 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Data folder and plugin.ini
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, DataFolderIsCreatedUnderTheHomeFolderWithFullPermissions)
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
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0777u) << folder;
  }
}

TEST_F(ZaniqTest, ExistingFoldersAreLeftAsTheyAre)
{
  const fs::path data = mHome.DataFolder();
  fs::create_directories(data / "AU");
  chmod(data.c_str(), 0750);
  Make();
  struct stat st;
  ASSERT_EQ(stat(data.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
}

TEST_F(ZaniqTest, HasUIZeroInPluginIniRemovesTheEditor)
{
  EXPECT_TRUE(Make().HasUI()); // no file: editor available

  WriteFile(mHome.DataFolder() / "plugin.ini", "[GUI]\nHasUI=0\n");
  EXPECT_FALSE(Make().HasUI());

  WriteFile(mHome.DataFolder() / "plugin.ini", "HasUI=-3\n");
  EXPECT_TRUE(Make().HasUI()); // only 0 removes it

  WriteFile(mHome.DataFolder() / "plugin.ini", "HasUI = 0\n");
  EXPECT_TRUE(Make().HasUI());
}

TEST(ZaniqIni, LinesAreMatchedByKeyAndTheLastMatchWins)
{
  ScopedHome home;
  const fs::path ini = home.Path() / "plugin.ini";
  auto read = [&](const std::string& text, int def = 1) {
    WriteFile(ini, text);
    return ReadIniFileValue(ini.c_str(), "HasUI", def);
  };

  EXPECT_EQ(read("HasUI=0\nHasUI=1\n"), 1);
  EXPECT_EQ(read("HasUI=1\nHasUI=0\n"), 0);
  EXPECT_EQ(read("HasUI=0\nOther=5\n"), 0);
  EXPECT_EQ(read("HasUI = 0\n"), 1);          // a blank before "=" is no match
  EXPECT_EQ(read(" HasUI=0\n"), 1);           // nor is a leading blank
  EXPECT_EQ(read("hasui=0\n"), 1);            // keys are case-sensitive
  EXPECT_EQ(read("HasUIX=0\n"), 1);           // the key must be followed by "="
  EXPECT_EQ(read("HasUI=  7 trailing\n"), 7); // blanks after "=" and text after the number are fine
  EXPECT_EQ(read("HasUI=-3\n"), -3);
  EXPECT_EQ(read("HasUI=+4\r\n"), 4);
  EXPECT_EQ(read("HasUI=0\nHasUI=\nHasUI=x\n"), 0); // a match without a number changes nothing
  EXPECT_EQ(read("HasUI=0"), 0);                    // no final line break
  EXPECT_EQ(read(""), 1);
  EXPECT_EQ(read("HasUI=99999999999999999999\n"), INT_MAX); // saturated, never undefined
  EXPECT_EQ(read("HasUI=-99999999999\n"), INT_MIN);
  // Lines are matched in pieces of 2047 characters: the piece after a long run stands on its own.
  EXPECT_EQ(read(std::string(2047, 'x') + "HasUI=5\n"), 5);
  EXPECT_EQ(read(std::string(2046, 'x') + "HasUI=5\n"), 1);

  EXPECT_EQ(ReadIniFileValue((home.Path() / "missing.ini").c_str(), "HasUI", 9), 9);
  EXPECT_EQ(ReadIniFileValue(ini.c_str(), "", 9), 9);
  EXPECT_EQ(ReadIniFileValue(nullptr, "HasUI", 9), 9);
}

TEST(ZaniqIni, ReadIniValueLooksInTheDataFolder)
{
  ScopedHome home;
  IMPlugPaths paths;
  EXPECT_EQ(ZANIQ::ReadIniValue(paths, "GUI", "HasUI", 1), 1); // no folder yet
  paths.CreateDataFolder();
  WriteFile(home.DataFolder() / "plugin.ini", "HasUI=0\n");
  EXPECT_EQ(ZANIQ::ReadIniValue(paths, "GUI", "HasUI", 1), 0);
  EXPECT_EQ(ZANIQ::ReadIniValue(paths, "Other", "HasUI", 1), 0); // the section is not used
}

// What parameter changes do: the entry filter by source, the common tail, link moves and re-pairing, the
// hand-over of DSP changes to the next block, the reset and match actions, and the Alt broadcast.

#include "engine/support/zaniq_env.h"

#include <cmath>
#include <limits>

using namespace plugin;
using namespace testsupport;
using Press = ZANIQ::ControlPress;
using Kind = ZANIQ::EPressControl;

namespace
{

// Takes every waiting peer command out of the process-wide registry; returns how many there were.
int DrainCommands(int expectCode = -2, double expectValue = 0.0)
{
  int n = 0;
  for (int i = 0; i < kNumLinkSlots; ++i)
  {
    int code;
    double value;
    if (!Slot(i).TakeCommand(code, value) || code == kNoLinkCommand) continue;
    ++n;
    EXPECT_TRUE(expectCode == -2 || (code == expectCode && value == expectValue)) << i << ": " << code;
  }
  return n;
}

// Whether the common tail ran for the change: it clears the target latency.
template <typename F>
bool TailRan(TestZANIQ& z, F change)
{
  z.SetTargetLatencyForTest(7);
  change();
  return z.GetTargetLatency() == 0;
}

} // namespace

// --- Entry filter and common tail ---

TEST_F(ZaniqTest, EntryFilterBySource)
{
  TestZANIQ& z = Make();

  // Reset, preset recall, the editor and the host pass for a parameter the host may automate.
  for (EParamSource source : {kReset, kPresetRecall, kUI, kHost})
  {
    EXPECT_TRUE(TailRan(z, [&] { z.Change(ZANIQ::kReferenceLevel, -10.0 - int(source), source); })) << source;
    EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -10.0 - int(source)) << source;
  }

  // The host is ignored, tail included, for the editor settings; delegate and unknown sources do nothing at all.
  EXPECT_FALSE(TailRan(z, [&] { z.Change(ZANIQ::kGUIScale, 2.0, kHost); }));
  EXPECT_EQ(std::pair(z.GetMirror(ZANIQ::kGUIScale), z.IsRescalePending()), std::pair(1.0, false));
  for (int source : {int(kDelegate), 5, -1})
    EXPECT_FALSE(TailRan(z, [&] { z.Change(ZANIQ::kReferenceLevel, -30.0, EParamSource(source)); })) << source;
  EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -10.0 - int(kHost));

  // Host changes of indices that are no parameters read no flags and do nothing; from the editor, an index beyond
  // the commands (or negative) runs only the tail.
  for (int idx : {-1, 46, 61, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
    EXPECT_FALSE(TailRan(z, [&] { z.OnParamChange(idx, kHost, 0); })) << idx;
  for (int idx : {-5, 69, 100}) EXPECT_TRUE(TailRan(z, [&] { z.OnParamChange(idx, kUI, -1); })) << idx;
}

// --- Link IDs ---

TEST_F(ZaniqTest, OutOfRangeLinkIDsFromTheHostUseSlotZeroEndToEnd)
{
  TestZANIQ& z = Make(); // S1
  // Through the host's parameter interface: the value is clamped to the range, and a non-finite one refused.
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, -5.0f, 0), noErr);
  EXPECT_EQ(std::pair(Slot(0).Senders(), Slot(1).Senders()), std::pair(1, 0));
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, std::numeric_limits<float>::quiet_NaN(), 0),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(z.GetLinkID(), 0);
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, 1e9f, 0), noErr);
  EXPECT_EQ(std::pair(Slot(0).Senders(), Slot(256).Senders()), std::pair(0, 1));
  Destroy(z);
  EXPECT_EQ(Slot(256).Senders(), 0);
}

// --- DSP changes reach the audio thread at the next block ---

TEST_F(ZaniqTest, DSPChangesWaitForTheNextBlock)
{
  // (That the next block applies every one of them: the concurrent test.)
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.Change(ZANIQ::kMeterMode, kMeterVU);
  // Nothing the audio thread owns has changed yet.
  EXPECT_EQ(std::pair(z.GetDelayLine(0).length, z.GetPreFXMeter().Mode()), std::pair(0, int(kMeterEBUSL)));

  // The protection level is truncated to whole decibels, towards zero.
  for (double level : {2.5, -2.5})
  {
    z.Change(ZANIQ::kOverProtectionLevel, level);
    z.RunBlock();
    EXPECT_EQ(z.GetMirror(ZANIQ::kOverProtectionLevel), std::trunc(level));
    EXPECT_NEAR(z.GetOverProtection(1).ceiling, std::pow(10.0, std::trunc(level) / 20.0), 1e-12);
  }
}

// --- Gains, resets and matches ---

TEST_F(ZaniqTest, ResetsActOnTheChangeToOneAndNeedALinkID)
{
  TestZANIQ& z = Make(); // Link ID 1
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), std::pow(10.0, 3.0 / 20.0));
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_TRUE(z.GetPreGain() == 1.0 && Holds(z, ZANIQ::kPreGainDiffStore, 0.0)); // published
  EXPECT_TRUE(z.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Sent again with 1: no change, no action.
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_EQ(std::pair(z.GetPreGain() == 1.0, z.PendingDSPRequests()), std::pair(false, 0u));

  // On Link ID 0 resets do nothing.
  z.Change(ZANIQ::kResetPreGainDiff, 0);
  z.Change(ZANIQ::kLinkID, 0);
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_EQ(z.GetMirror(ZANIQ::kPreGainDiffStore), 3.0);

  // Reset Gain Diff in manual mode empties the own slot's queue.
  TestZANIQ& y = Make();
  y.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  y.Change(ZANIQ::kGainDiffStore, 4.0);
  ASSERT_TRUE(Slot(y.GetLinkID()).SenderWrite(std::vector<double>(16, 0.5).data(), nullptr, 16));
  y.Change(ZANIQ::kResetGainDiff, 1);
  EXPECT_EQ(std::tuple(Slot(y.GetLinkID()).QueuedCount(), y.GetMatchGain(), y.GetAutoGain()), std::tuple(0, 1.0, 1.0));
  EXPECT_TRUE(Holds(y, ZANIQ::kGainDiffStore, 0.0));
}

TEST_F(ZaniqTest, MatchesStoreTheirGainOnlyInManualModeAndPreFXTakesTheMaximumUnderControl)
{
  TestZANIQ& z = Make();
  z.SetLevelsForTest(0.1, 0.2, 0.4);
  z.SetGainToMatchForTest(2.0);
  z.Change(ZANIQ::kMatchPostFXDiffGain, 1); // Auto: nothing
  EXPECT_EQ(std::pair(z.GetMatchGain(), z.Value(ZANIQ::kGainDiffStore)), std::pair(1.0, 0.0));
  z.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  z.Change(ZANIQ::kMatchLoudness, 1);
  EXPECT_DOUBLE_EQ(z.GetMatchGain(), 2.0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 20.0 * std::log10(2.0));
  EXPECT_NEAR(z.Value(ZANIQ::kGainDiffStore), 20.0 * std::log10(2.0), 1e-9); // published

  // Pre-FX takes the ratio, or its maximum with Control held.
  z.SetPreRatiosForTest(2.0, 4.0);
  z.Change(ZANIQ::kMatchPreFXDiffGain, 1);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), 2.0);
  EXPECT_NEAR(z.Value(ZANIQ::kPreGainDiffStore), 20.0 * std::log10(2.0), 1e-9);
  z.Change(ZANIQ::kMatchPreFXDiffGain, 0);
  z.SetPress(ZANIQ::kTagMatchPreFX, Kind::PushQN, Press{false, true});
  z.Change(ZANIQ::kMatchPreFXDiffGain, 1);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), 8.0);
}

// --- Alt broadcast ---

TEST_F(ZaniqTest, AltPressBroadcastsToEveryOtherLinkID)
{
  TestZANIQ& z = Make(); // Link ID 1
  DrainCommands();

  // Without Alt, or from a control of another class under the tag, nothing is written.
  for (Kind kind : {Kind::SwitchQN, Kind::PushQN})
  {
    z.SetPress(ZANIQ::kTagActive, kind, Press{kind == Kind::PushQN, false});
    z.Change(ZANIQ::kActive, 0);
    EXPECT_EQ(DrainCommands(), 0);
  }

  // With Alt every slot but the own one gets the command.
  z.SetPress(ZANIQ::kTagActive, Kind::SwitchQN, Press{true, false});
  z.Change(ZANIQ::kActive, 1);
  EXPECT_EQ(std::pair(Slot(1).Command(), Slot(0).Command()), std::pair(int(kNoLinkCommand), int(ZANIQ::kActive)));
  EXPECT_EQ(DrainCommands(ZANIQ::kActive, 1.0), kNumLinkSlots - 1);

  // Buttons broadcast 1.0 on their press only.
  z.SetPress(ZANIQ::kTagResetSenderRMS, Kind::PushQN, Press{true, false});
  z.Change(ZANIQ::kResetSenderRMS, 1);
  EXPECT_EQ(DrainCommands(ZANIQ::kResetSenderRMS, 1.0), kNumLinkSlots - 1);
  z.Change(ZANIQ::kResetSenderRMS, 0);
  EXPECT_EQ(DrainCommands(), 0);

  // Changes from other threads never broadcast: host automation (or a peer command applied by the audio thread)
  // with a stale Alt press in the editor.
  z.SetPress(ZANIQ::kTagActive, Kind::SwitchQN, Press{true, false});
  std::thread([&] { z.Change(ZANIQ::kActive, 0, kHost); }).join();
  EXPECT_EQ(std::pair(z.GetMirrorInt(ZANIQ::kActive), DrainCommands()), std::pair(0, 0));
}

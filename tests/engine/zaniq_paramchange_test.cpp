// What parameter changes do: the entry filter by source, the common tail, link moves and re-pairing, the
// hand-over of DSP changes to the next block, gain stores and the reset and match actions, and the Alt
// broadcast to other Link IDs.

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
    if (expectCode == -2) continue;
    EXPECT_EQ(code, expectCode) << i;
    EXPECT_EQ(value, expectValue) << i;
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

  // Reset, preset recall and the editor pass.
  for (EParamSource source : {kReset, kPresetRecall, kUI})
  {
    EXPECT_TRUE(TailRan(z, [&] { z.Change(ZANIQ::kReferenceLevel, -10.0 - int(source), source); })) << source;
    EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -10.0 - int(source)) << source;
  }

  // The host passes for parameters it may automate...
  z.Change(ZANIQ::kReferenceLevel, -20.0, kHost);
  EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -20.0);

  // ... and is ignored, tail included, for the editor settings.
  for (int idx : {ZANIQ::kGUIScale, ZANIQ::kToggleTooltips, ZANIQ::kOnlineUpdateCheck})
  {
    const double before = z.GetMirror(idx);
    EXPECT_FALSE(TailRan(z, [&] { z.Change(idx, idx == ZANIQ::kGUIScale ? 2.0 : 0.0, kHost); })) << idx;
    EXPECT_EQ(z.GetMirror(idx), before) << idx;
  }
  EXPECT_FALSE(z.IsRescalePending());

  // Delegate and unknown sources do nothing at all.
  for (int source : {int(kDelegate), 5, -1, 1000})
  {
    z.GetParam(ZANIQ::kReferenceLevel)->Set(-30.0);
    EXPECT_FALSE(TailRan(z, [&] { z.OnParamChange(ZANIQ::kReferenceLevel, EParamSource(source), -1); })) << source;
    EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -20.0) << source;
  }

  // Host changes of indices that are no parameters read no flags and do nothing; from the editor, an index beyond
  // the commands (or negative) runs only the tail.
  for (int idx : {-1, 46, 61, 73, 100, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
    EXPECT_FALSE(TailRan(z, [&] { z.OnParamChange(idx, kHost, 0); })) << idx;
  for (int idx : {-5, 69, 73, 100}) EXPECT_TRUE(TailRan(z, [&] { z.OnParamChange(idx, kUI, -1); })) << idx;

  // A GUI-scale change from the editor asks for a rescale, unless the value stays.
  z.Change(ZANIQ::kGUIScale, 1.0);
  EXPECT_FALSE(z.IsRescalePending());
  z.Change(ZANIQ::kGUIScale, 1.5);
  EXPECT_TRUE(z.IsRescalePending());
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.5);
}

// --- Link moves and re-pairing ---

TEST_F(ZaniqTest, LinkIDAndModeMovesFollowTheRegistry)
{
  TestZANIQ& a = Make(); // S1
  TestZANIQ& b = Make(); // R1

  a.Change(ZANIQ::kLinkID, 5);
  EXPECT_EQ(std::pair(Slot(1).Senders(), Slot(5).Senders()), std::pair(0, 1));
  const auto& senders = a.GetSenderPresent();
  EXPECT_EQ(std::tuple(senders[5].load(), senders[1].load(), a.GetReceiverPresent()[1].load()),
            std::tuple(true, false, true));
  EXPECT_TRUE(a.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  b.Change(ZANIQ::kPluginMode, kLinkSender);
  EXPECT_EQ(b.GetPluginMode(), kLinkSender);
  EXPECT_EQ(Counts(Slot(1)), std::pair(1, 0));
  EXPECT_TRUE(b.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Setting the current value again changes no count and does not reset the meters.
  a.RunBlock();
  b.RunBlock();
  a.Change(ZANIQ::kLinkID, 5);
  b.Change(ZANIQ::kPluginMode, kLinkSender);
  EXPECT_EQ(std::pair(Slot(5).Senders(), Slot(1).Senders()), std::pair(1, 1));
  EXPECT_EQ(a.PendingDSPRequests() | b.PendingDSPRequests(), 0u);

  // Destruction leaves the slot the instance moved to.
  Destroy(a);
  EXPECT_EQ(Slot(5).Senders(), 0);
}

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

TEST_F(ZaniqTest, AutoSetLinkIDPrefersAWaitingSender)
{
  TestZANIQ& a = Make(); // S1
  a.Change(ZANIQ::kLinkID, 5); // a lone Sender on 5, Link IDs 1 to 4 free
  TestZANIQ& b = Make();
  ASSERT_EQ(b.Pairing(), S(1));

  b.Change(ZANIQ::kAutoSetLinkID, 1);
  EXPECT_EQ(b.Pairing(), R(5));
  EXPECT_EQ(std::pair(b.Value(ZANIQ::kPluginMode), b.Value(ZANIQ::kLinkID)), std::pair(1.0, 5.0));
  EXPECT_EQ(std::pair(Slot(1).Senders(), Counts(Slot(5))), std::pair(0, std::pair(1, 1)));
  EXPECT_TRUE(b.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Once its Sender is gone, re-pairing takes the lowest free Link ID as a Sender.
  Destroy(a);
  for (int on : {0, 1}) b.Change(ZANIQ::kAutoSetLinkID, on);
  EXPECT_EQ(b.Pairing(), S(1));
  EXPECT_EQ(b.Value(ZANIQ::kPluginMode), 0.0);
  EXPECT_EQ(std::pair(Slot(5).Receivers(), Slot(1).Senders()), std::pair(0, 1));
}

// --- DSP changes reach the audio thread at the next block ---

TEST_F(ZaniqTest, DSPChangesAreAppliedAtTheNextBlock)
{
  TestZANIQ& z = Make();

  z.Change(ZANIQ::kOverProtectionLevel, 0.0);
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.Change(ZANIQ::kMeterMode, kMeterVU);
  z.Change(ZANIQ::kRMSWindow, 500);
  // Nothing the audio thread owns has changed yet.
  EXPECT_NE(z.GetOverProtection(0).ceiling, 1.0);
  EXPECT_EQ(std::pair(z.GetDelayLine(0).length, z.GetPreFXMeter().Mode()), std::pair(0, int(kMeterEBUSL)));

  z.RunBlock();
  EXPECT_EQ(z.PendingDSPRequests(), 0u);
  for (int ch = 0; ch < 2; ++ch)
  {
    const auto& protection = z.GetOverProtection(ch);
    EXPECT_EQ(std::tuple(protection.ceiling, protection.negCeiling, z.GetDelayLine(ch).length),
              std::tuple(1.0, -1.0, 1000));
  }
  EXPECT_EQ(std::pair(z.GetPreFXMeter().Mode(), z.GetPostFXMeter().Mode()), std::pair(int(kMeterVU), int(kMeterVU)));

  // The protection level is truncated to whole decibels, towards zero.
  for (double level : {2.5, -2.5})
  {
    z.Change(ZANIQ::kOverProtectionLevel, level);
    EXPECT_EQ(z.GetMirror(ZANIQ::kOverProtectionLevel), std::trunc(level));
    z.RunBlock();
    EXPECT_NEAR(z.GetOverProtection(1).ceiling, std::pow(10.0, std::trunc(level) / 20.0), 1e-12);
  }
}

// --- Gains, resets and matches ---

TEST_F(ZaniqTest, ResetPreGainDiffActsOnTheChangeToOneAndNeedsALinkID)
{
  TestZANIQ& z = Make(); // Link ID 1
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), std::pow(10.0, 3.0 / 20.0));
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_EQ(z.GetPreGain(), 1.0);
  EXPECT_TRUE(Holds(z, ZANIQ::kPreGainDiffStore, 0.0)); // published
  EXPECT_TRUE(z.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Sent again with 1: no change, no action.
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_NE(z.GetPreGain(), 1.0);
  EXPECT_EQ(z.PendingDSPRequests(), 0u);

  // On Link ID 0 resets do nothing.
  z.Change(ZANIQ::kResetPreGainDiff, 0);
  z.Change(ZANIQ::kLinkID, 0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_EQ(std::tuple(z.GetMirror(ZANIQ::kPreGainDiffStore), z.PendingDSPRequests()), std::tuple(3.0, 0u));
  EXPECT_NE(z.GetPreGain(), 1.0);

  // Reset Sender RMS resets the meters on every press.
  for (int i = 0; i < 2; ++i)
  {
    z.RunBlock();
    z.Change(ZANIQ::kResetSenderRMS, 1);
    EXPECT_TRUE(z.PendingDSPRequests() & ZANIQ::kRequestMeterClear) << i;
  }
  z.RunBlock();
  z.Change(ZANIQ::kResetSenderRMS, 0);
  EXPECT_EQ(z.PendingDSPRequests(), 0u);
}

TEST_F(ZaniqTest, ResetGainDiffActsOnceInManualModeAndReset2ResetsBothSides)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  z.Change(ZANIQ::kGainDiffStore, 4.0);
  ASSERT_TRUE(Slot(1).SenderWrite(std::vector<double>(16, 0.5).data(), nullptr, 16));

  z.Change(ZANIQ::kResetGainDiff, 1);
  EXPECT_EQ(Slot(1).QueuedCount(), 0); // the own slot's queue is emptied
  EXPECT_EQ(std::pair(z.GetMatchGain(), z.GetAutoGain()), std::pair(1.0, 1.0));
  EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 0.0));

  z.Change(ZANIQ::kGainDiffStore, 4.0);
  z.Change(ZANIQ::kResetGainDiff, 1); // sent twice with 1: acts only once
  EXPECT_NE(z.GetMatchGain(), 1.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 4.0);

  // Reset 2 on a fresh instance.
  TestZANIQ& y = Make();
  y.Change(ZANIQ::kPreGainDiffStore, 2.0);
  y.Change(ZANIQ::kGainDiffStore, 5.0);
  y.Change(ZANIQ::kReset2, 1); // Auto mode: only the pre side
  EXPECT_EQ(std::pair(y.GetPreGain(), y.Value(ZANIQ::kPreGainDiffStore)), std::pair(1.0, 0.0));
  EXPECT_NE(y.GetMatchGain(), 1.0);

  y.Change(ZANIQ::kReset2, 0);
  y.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  y.Change(ZANIQ::kReset2, 1);
  EXPECT_EQ(std::pair(y.GetMatchGain(), y.Value(ZANIQ::kGainDiffStore)), std::pair(1.0, 0.0));
}

TEST_F(ZaniqTest, MatchPostFXOnlyInManualModeAndPreFXWithTheMaximumUnderControl)
{
  TestZANIQ& z = Make();
  z.SetLevelsForTest(0.1, 0.2, 0.4);
  z.SetGainToMatchForTest(2.0);
  z.Change(ZANIQ::kMatchPostFXDiffGain, 1); // Auto: nothing but its own mirror
  EXPECT_EQ(std::tuple(z.GetMirrorInt(ZANIQ::kMatchPostFXDiffGain), z.GetMatchGain(), z.Value(ZANIQ::kGainDiffStore)),
            std::tuple(1, 1.0, 0.0));

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

  // Without Alt nothing is written.
  z.SetPress(ZANIQ::kTagActive, Kind::SwitchQN, Press{false, false});
  z.Change(ZANIQ::kActive, 0);
  EXPECT_EQ(DrainCommands(), 0);

  // With Alt every slot but the own one gets the command.
  z.SetPress(ZANIQ::kTagActive, Kind::SwitchQN, Press{true, false});
  z.Change(ZANIQ::kActive, 1);
  EXPECT_EQ(std::pair(Slot(1).Command(), Slot(0).Command()), std::pair(int(kNoLinkCommand), int(ZANIQ::kActive)));
  EXPECT_EQ(DrainCommands(ZANIQ::kActive, 1.0), kNumLinkSlots - 1);

  // A control of another class under the tag does not count.
  z.SetPress(ZANIQ::kTagActive, Kind::PushQN, Press{true, false});
  z.Change(ZANIQ::kActive, 0);
  EXPECT_EQ(DrainCommands(), 0);

  // Drive FX goes through its knob or its value field.
  z.SetPress(ZANIQ::kTagDriveValue, Kind::VParameterQN, Press{true, false});
  z.Change(ZANIQ::kDriveFX, -3.5);
  EXPECT_EQ(DrainCommands(ZANIQ::kDriveFX, -3.5), kNumLinkSlots - 1);

  // Buttons broadcast 1.0 on their press.
  z.SetPress(ZANIQ::kTagResetSenderRMS, Kind::PushQN, Press{true, false});
  z.Change(ZANIQ::kResetSenderRMS, 1);
  EXPECT_EQ(DrainCommands(ZANIQ::kResetSenderRMS, 1.0), kNumLinkSlots - 1);
  z.Change(ZANIQ::kResetSenderRMS, 0);
  EXPECT_EQ(DrainCommands(), 0);
}

TEST_F(ZaniqTest, ChangesFromOtherThreadsNeverBroadcast)
{
  TestZANIQ& z = Make();
  DrainCommands();
  z.SetPress(ZANIQ::kTagActive, Kind::SwitchQN, Press{true, false});
  // Host automation (or a peer command applied by the audio thread) with a stale Alt press in the editor.
  std::thread([&] { z.Change(ZANIQ::kActive, 0, kHost); }).join();
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kActive), 0);
  EXPECT_EQ(DrainCommands(), 0);
}

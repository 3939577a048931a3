// What parameter changes do: the entry filter by source, the common tail, link moves and re-pairing, the
// hand-over of DSP changes to the next block, gain stores and the reset and match actions, and the Alt
// broadcast to other Link IDs.

#include "engine/support/zaniq_env.h"

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using namespace plugin;
using testsupport::TestZANIQ;
using testsupport::ZaniqTest;
using Press = ZANIQ::ControlPress;
using Kind = ZANIQ::EPressControl;

namespace
{

LinkSlot& Slot(int id)
{
  return LinkRegistry::Instance().Slot(id);
}

// Takes every waiting peer command out of the process-wide registry; returns how many there were.
int DrainCommands(int expectCode = -2, double expectValue = 0.0)
{
  int n = 0;
  for (int i = 0; i < kNumLinkSlots; ++i)
  {
    int code;
    double value;
    if (Slot(i).TakeCommand(code, value) && code != kNoLinkCommand)
    {
      ++n;
      if (expectCode != -2)
      {
        EXPECT_EQ(code, expectCode) << i;
        EXPECT_EQ(value, expectValue) << i;
      }
    }
  }
  return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Entry filter and common tail
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, EntryFilterBySource)
{
  TestZANIQ& z = Make();

  // Reset, preset recall and the editor pass.
  for (EParamSource source : {kReset, kPresetRecall, kUI})
  {
    z.SetTargetLatencyForTest(7);
    z.Change(ZANIQ::kReferenceLevel, -10.0 - int(source), source);
    EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -10.0 - int(source)) << source;
    EXPECT_EQ(z.GetTargetLatency(), 0) << source; // the tail ran
  }

  // The host passes for parameters it may automate.
  z.Change(ZANIQ::kReferenceLevel, -20.0, kHost);
  EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -20.0);

  // ... and is ignored, tail included, for the editor settings.
  for (int idx : {ZANIQ::kGUIScale, ZANIQ::kToggleTooltips, ZANIQ::kOnlineUpdateCheck})
  {
    z.SetTargetLatencyForTest(7);
    const double before = z.GetMirror(idx);
    z.Change(idx, idx == ZANIQ::kGUIScale ? 2.0 : 0.0, kHost);
    EXPECT_EQ(z.GetMirror(idx), before) << idx;
    EXPECT_EQ(z.GetTargetLatency(), 7) << idx;
  }
  EXPECT_FALSE(z.IsRescalePending());

  // Delegate and unknown sources do nothing at all.
  for (int source : {int(kDelegate), 5, -1, 1000})
  {
    z.SetTargetLatencyForTest(7);
    z.GetParam(ZANIQ::kReferenceLevel)->Set(-30.0);
    z.OnParamChange(ZANIQ::kReferenceLevel, static_cast<EParamSource>(source), -1);
    EXPECT_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -20.0) << source;
    EXPECT_EQ(z.GetTargetLatency(), 7) << source;
  }

  // Host changes of indices that are no parameters read no flags and do nothing.
  for (int idx : {-1, 46, 61, 73, 100, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
  {
    z.SetTargetLatencyForTest(7);
    z.OnParamChange(idx, kHost, 0);
    EXPECT_EQ(z.GetTargetLatency(), 7) << idx;
  }

  // From the editor, an index beyond the commands (or negative) runs only the tail.
  for (int idx : {-5, 69, 73, 100})
  {
    z.SetTargetLatencyForTest(7);
    z.OnParamChange(idx, kUI, -1);
    EXPECT_EQ(z.GetTargetLatency(), 0) << idx;
  }
}

TEST_F(ZaniqTest, TailResetsTheLatencyAtOnceOnListedHosts)
{
  TestZANIQ& z = Make();
  z.SetHost("Logic Pro X", 0x000A0000);
  ASSERT_EQ(z.GetHost(), 21);
  z.SetLatency(256);
  z.Change(ZANIQ::kReferenceLevel, -12.0);
  EXPECT_EQ(z.GetLatency(), 0);

  TestZANIQ& other = Make();
  other.SetHost("REAPER", 0);
  other.SetLatency(256);
  other.Change(ZANIQ::kReferenceLevel, -12.0);
  EXPECT_EQ(other.GetLatency(), 256); // left to the idle work there
  EXPECT_EQ(other.GetTargetLatency(), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Link moves and re-pairing
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, LinkIDAndModeMovesFollowTheRegistry)
{
  TestZANIQ& a = Make(); // S1
  TestZANIQ& b = Make(); // R1

  a.Change(ZANIQ::kLinkID, 5);
  EXPECT_EQ(a.GetLinkID(), 5);
  EXPECT_EQ(Slot(1).Senders(), 0);
  EXPECT_EQ(Slot(5).Senders(), 1);
  EXPECT_TRUE(a.GetSenderPresent()[5]);
  EXPECT_FALSE(a.GetSenderPresent()[1]);
  EXPECT_TRUE(a.GetReceiverPresent()[1]);
  EXPECT_TRUE(a.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  b.Change(ZANIQ::kPluginMode, kLinkSender);
  EXPECT_EQ(b.GetPluginMode(), kLinkSender);
  EXPECT_EQ(Slot(1).Receivers(), 0);
  EXPECT_EQ(Slot(1).Senders(), 1);
  EXPECT_TRUE(b.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Setting the current value again changes no count and does not reset the meters.
  a.RunBlock();
  b.RunBlock();
  a.Change(ZANIQ::kLinkID, 5);
  b.Change(ZANIQ::kPluginMode, kLinkSender);
  EXPECT_EQ(Slot(5).Senders(), 1);
  EXPECT_EQ(Slot(1).Senders(), 1);
  EXPECT_EQ(a.PendingDSPRequests(), 0u);
  EXPECT_EQ(b.PendingDSPRequests(), 0u);

  // Destruction leaves the slot the instance moved to.
  Destroy(a);
  EXPECT_EQ(Slot(5).Senders(), 0);
}

TEST_F(ZaniqTest, OutOfRangeLinkIDsFromTheHostUseSlotZeroEndToEnd)
{
  TestZANIQ& z = Make(); // S1
  // Through the host's parameter interface: the value is clamped to the range, and a non-finite one refused.
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, -5.0f, 0), noErr);
  EXPECT_EQ(z.GetLinkID(), 0);
  EXPECT_EQ(Slot(0).Senders(), 1);
  EXPECT_EQ(Slot(1).Senders(), 0);
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, std::numeric_limits<float>::quiet_NaN(), 0),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(z.GetLinkID(), 0);
  EXPECT_EQ(z.SetParameter(ZANIQ::kLinkID, kAudioUnitScope_Global, 0, 1e9f, 0), noErr);
  EXPECT_EQ(z.GetLinkID(), 256);
  EXPECT_EQ(Slot(0).Senders(), 0);
  EXPECT_EQ(Slot(256).Senders(), 1);
  Destroy(z);
  EXPECT_EQ(Slot(256).Senders(), 0);
}

TEST_F(ZaniqTest, AutoSetLinkIDPrefersAWaitingSender)
{
  TestZANIQ& a = Make(); // S1
  a.Change(ZANIQ::kLinkID, 5); // a lone Sender on 5, Link IDs 1 to 4 free
  TestZANIQ& b = Make();
  ASSERT_EQ(b.GetPluginMode(), kLinkSender);
  ASSERT_EQ(b.GetLinkID(), 1);

  b.Change(ZANIQ::kAutoSetLinkID, 1);
  EXPECT_EQ(b.GetPluginMode(), kLinkReceiver);
  EXPECT_EQ(b.GetLinkID(), 5);
  EXPECT_EQ(b.GetParam(ZANIQ::kPluginMode)->Value(), 1.0);
  EXPECT_EQ(b.GetParam(ZANIQ::kLinkID)->Value(), 5.0);
  EXPECT_EQ(Slot(1).Senders(), 0);
  EXPECT_EQ(Slot(5).Senders(), 1);
  EXPECT_EQ(Slot(5).Receivers(), 1);
  EXPECT_TRUE(b.GetReceiverPresent()[5]);
  EXPECT_TRUE(b.PendingDSPRequests() & ZANIQ::kRequestMeterClear);
  EXPECT_GE(LinkRegistry::Instance().HighestReceiverLinkID(), 5);

  // Turning it on again (no change) does nothing; off and on again finds the same waiting Sender (the one it
  // is paired with) and stays.
  b.Change(ZANIQ::kAutoSetLinkID, 1);
  b.Change(ZANIQ::kAutoSetLinkID, 0);
  b.Change(ZANIQ::kAutoSetLinkID, 1);
  EXPECT_EQ(b.GetPluginMode(), kLinkReceiver);
  EXPECT_EQ(b.GetLinkID(), 5);
  EXPECT_EQ(Slot(5).Receivers(), 1);

  // Once its Sender is gone, re-pairing takes the lowest free Link ID as a Sender.
  Destroy(a);
  b.Change(ZANIQ::kAutoSetLinkID, 0);
  b.Change(ZANIQ::kAutoSetLinkID, 1);
  EXPECT_EQ(b.GetPluginMode(), kLinkSender);
  EXPECT_EQ(b.GetLinkID(), 1);
  EXPECT_EQ(b.GetParam(ZANIQ::kPluginMode)->Value(), 0.0);
  EXPECT_EQ(Slot(5).Receivers(), 0);
  EXPECT_EQ(Slot(1).Senders(), 1);
}

// ---------------------------------------------------------------------------------------------------------------
// DSP changes reach the audio thread at the next block
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, DSPChangesAreAppliedAtTheNextBlock)
{
  TestZANIQ& z = Make();

  z.Change(ZANIQ::kOverProtectionLevel, 0.0);
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.Change(ZANIQ::kMeterMode, kMeterVU);
  z.Change(ZANIQ::kRMSWindow, 500);
  EXPECT_EQ(z.GetMirror(ZANIQ::kOverProtectionLevel), 0.0);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kLatencyCompensation), 1000);
  // Nothing the audio thread owns has changed yet.
  EXPECT_NEAR(z.GetOverProtection(0).ceiling, 1.4125375446227544, 1e-12);
  EXPECT_EQ(z.GetDelayLine(0).length, 0);
  EXPECT_EQ(z.GetPreFXMeter().Mode(), kMeterEBUSL);

  z.RunBlock();
  EXPECT_EQ(z.PendingDSPRequests(), 0u);
  for (int ch = 0; ch < 2; ++ch)
  {
    EXPECT_EQ(z.GetOverProtection(ch).ceiling, 1.0);
    EXPECT_EQ(z.GetOverProtection(ch).negCeiling, -1.0);
    EXPECT_EQ(z.GetDelayLine(ch).length, 1000);
  }
  EXPECT_EQ(z.GetPreFXMeter().Mode(), kMeterVU);
  EXPECT_EQ(z.GetPostFXMeter().Mode(), kMeterVU);

  z.Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  z.RunBlock();
  EXPECT_DOUBLE_EQ(z.GetPostFXMeter().Window(), 0.5); // RMS Window / 1000 seconds
}

TEST_F(ZaniqTest, OverProtectionLevelIsTruncatedToWholeDecibels)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kOverProtectionLevel, 2.5);
  EXPECT_EQ(z.GetMirror(ZANIQ::kOverProtectionLevel), 2.0);
  z.RunBlock();
  EXPECT_NEAR(z.GetOverProtection(1).ceiling, std::pow(10.0, 2.0 / 20.0), 1e-12);
  z.Change(ZANIQ::kOverProtectionLevel, -2.5);
  EXPECT_EQ(z.GetMirror(ZANIQ::kOverProtectionLevel), -2.0);
  z.RunBlock();
  EXPECT_NEAR(z.GetOverProtection(0).ceiling, std::pow(10.0, -2.0 / 20.0), 1e-12);
}

// ---------------------------------------------------------------------------------------------------------------
// Gains, resets and matches
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqTest, StoredDifferencesSetTheGains)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kGainDiffStore, 6.0);
  EXPECT_DOUBLE_EQ(z.GetMatchGain(), std::exp(0.11512925464970228 * 6.0));
  z.Change(ZANIQ::kPreGainDiffStore, -3.0);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), std::exp(0.11512925464970228 * -3.0));
  z.Change(ZANIQ::kGainDiffStore, -144.0);
  EXPECT_EQ(z.GetMatchGain(), 0.0);
}

TEST_F(ZaniqTest, ResetPreGainDiffActsOnTheChangeToOne)
{
  TestZANIQ& z = Make(); // Link ID 1
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_EQ(z.GetPreGain(), 1.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kPreGainDiffStore), 0.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kPreGainDiffStore)->Value(), 0.0); // published
  EXPECT_TRUE(z.PendingDSPRequests() & ZANIQ::kRequestMeterClear);

  // Sent again with 1: no change, no action.
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_NE(z.GetPreGain(), 1.0);
  EXPECT_EQ(z.PendingDSPRequests(), 0u);
}

TEST_F(ZaniqTest, ResetSenderRMSResetsTheMetersEveryTime)
{
  TestZANIQ& z = Make();
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

TEST_F(ZaniqTest, ResetGainDiffActsOnceInManualMode)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  z.Change(ZANIQ::kGainDiffStore, 4.0);
  ASSERT_NE(z.GetMatchGain(), 1.0);
  ASSERT_TRUE(Slot(1).SenderWrite(std::vector<double>(16, 0.5).data(), nullptr, 16));
  ASSERT_EQ(Slot(1).QueuedCount(), 1);

  z.Change(ZANIQ::kResetGainDiff, 1);
  EXPECT_EQ(Slot(1).QueuedCount(), 0); // the own slot's queue is emptied
  EXPECT_EQ(z.GetMatchGain(), 1.0);
  EXPECT_EQ(z.GetAutoGain(), 1.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 0.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kGainDiffStore)->Value(), 0.0);

  z.Change(ZANIQ::kGainDiffStore, 4.0);
  z.Change(ZANIQ::kResetGainDiff, 1); // sent twice with 1: acts only once
  EXPECT_NE(z.GetMatchGain(), 1.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 4.0);
}

TEST_F(ZaniqTest, Reset2ResetsBothSidesInManualMode)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kPreGainDiffStore, 2.0);
  z.Change(ZANIQ::kGainDiffStore, 5.0);
  z.Change(ZANIQ::kReset2, 1); // Auto mode: only the pre side
  EXPECT_EQ(z.GetPreGain(), 1.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kPreGainDiffStore)->Value(), 0.0);
  EXPECT_NE(z.GetMatchGain(), 1.0);

  z.Change(ZANIQ::kReset2, 0);
  z.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  z.Change(ZANIQ::kReset2, 1);
  EXPECT_EQ(z.GetMatchGain(), 1.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kGainDiffStore)->Value(), 0.0);
}

TEST_F(ZaniqTest, MatchPostFXOnlyInManualMode)
{
  TestZANIQ& z = Make();
  z.SetGainToMatchForTest(2.0);
  z.Change(ZANIQ::kMatchPostFXDiffGain, 1); // Auto: nothing but its own mirror
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kMatchPostFXDiffGain), 1);
  EXPECT_EQ(z.GetMatchGain(), 1.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kGainDiffStore)->Value(), 0.0);

  z.Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  z.Change(ZANIQ::kMatchLoudness, 1);
  EXPECT_DOUBLE_EQ(z.GetMatchGain(), 2.0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 20.0 * std::log10(2.0));
  EXPECT_NEAR(z.GetParam(ZANIQ::kGainDiffStore)->Value(), 20.0 * std::log10(2.0), 1e-9); // published
}

TEST_F(ZaniqTest, MatchPreFXUsesTheMaximumWithControlHeld)
{
  TestZANIQ& z = Make();
  z.SetPreRatiosForTest(2.0, 4.0);
  z.Change(ZANIQ::kMatchPreFXDiffGain, 1);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), 2.0);
  EXPECT_NEAR(z.GetParam(ZANIQ::kPreGainDiffStore)->Value(), 20.0 * std::log10(2.0), 1e-9);

  z.Change(ZANIQ::kMatchPreFXDiffGain, 0);
  z.SetPress(ZANIQ::kTagMatchPreFX, Kind::PushQN, Press{false, true});
  z.Change(ZANIQ::kMatchPreFXDiffGain, 1);
  EXPECT_DOUBLE_EQ(z.GetPreGain(), 8.0);
}

TEST_F(ZaniqTest, ResetsNeedALinkID)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kLinkID, 0);
  z.Change(ZANIQ::kPreGainDiffStore, 3.0);
  z.RunBlock();
  z.Change(ZANIQ::kResetPreGainDiff, 1);
  EXPECT_NE(z.GetPreGain(), 1.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kPreGainDiffStore), 3.0);
  EXPECT_EQ(z.PendingDSPRequests(), 0u);
}

TEST_F(ZaniqTest, SnapshotParametersAreStored)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kStoreSetFlag0 + 3, 1);
  z.Change(ZANIQ::kStorePostGain0 + 3, 3.5);
  z.Change(ZANIQ::kStoreDrive0 + 3, -2.0);
  z.Change(ZANIQ::kSnapShot, 1);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kStoreSetFlag0 + 3), 1);
  EXPECT_EQ(z.GetMirror(ZANIQ::kStorePostGain0 + 3), 3.5);
  EXPECT_EQ(z.GetMirror(ZANIQ::kStoreDrive0 + 3), -2.0);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kSnapShot), 1);
}

TEST_F(ZaniqTest, GUIScaleChangeAsksForARescale)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kGUIScale, 1.0); // same value
  EXPECT_FALSE(z.IsRescalePending());
  z.Change(ZANIQ::kGUIScale, 1.5);
  EXPECT_TRUE(z.IsRescalePending());
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.5);
}

// ---------------------------------------------------------------------------------------------------------------
// Alt broadcast
// ---------------------------------------------------------------------------------------------------------------

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
  EXPECT_EQ(Slot(1).Command(), kNoLinkCommand);
  EXPECT_EQ(Slot(0).Command(), ZANIQ::kActive);
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

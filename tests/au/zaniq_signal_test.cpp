// The product's signal path end to end, through AudioUnit calls on two instances of the real component: a Sender
// and its Receiver, the Receiver's input pulling the Sender's output through in-process effects in each host cycle.
// Levels are checked on the audio itself; what the editor would show comes from the read-outs property.

#include "au/support/ZaniqHost.h"

#include <cmath>

using namespace zqhost;

namespace
{

constexpr double kNeperPerDB = 0.11512925464970228;
constexpr uint64_t kWindow100ms = 4800;    // "RMS Window" 100 ms at 48 kHz, in samples
constexpr uint64_t kWindow10ms = 480;
constexpr uint64_t kHalfSecond = 24000;    // at 48 kHz
constexpr uint64_t kFade = 240000;         // 5 s at 48 kHz
constexpr double kToneSummedDB = -7.69551; // the test tone in "RMS Summed": 10 log10(0.5^2/2 + 0.3^2/2)

// The product's decibel-to-gain conversion.
double Gain(double dB)
{
  return std::exp(kNeperPerDB * dB);
}

// Level of b over a range minus level of a over the same range, in dB.
double LevelDiff(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first, uint64_t count)
{
  return LevelDB(b, first, count) - LevelDB(a, first, count);
}

// Every sample of every channel of data over [first, first + count) is exactly 0.
bool Silent(const auhost::AudioData& data, uint64_t first, uint64_t count)
{
  for (const auto& ch : data.channels)
    for (uint64_t i = first; i < first + count && i < ch.size(); ++i)
      if (ch[i] != 0.f) return false;
  return true;
}

class ZaniqSignal : public ZaniqPairTest
{
protected:
  double Readout(EZaniqReadout which) { return Readouts(*mReceiver).values[which]; }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Pairing and monitoring
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqSignal, UnpairedReceiverPassesItsInputAndShowsNoLevels)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "10"}}));
  Take paired;
  ASSERT_NO_FATAL_FAILURE(Run(8 * kBlock, &paired));
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), kToneSummedDB, 0.2);

  // On a Link ID without a Sender the Receiver gets no blocks.
  SetParam(*mReceiver, "Link ID", "7");
  Take alone;
  ASSERT_NO_FATAL_FAILURE(Run(8 * kBlock, &alone));
  EXPECT_EQ(FirstMismatch(alone.out, alone.receiverIn, 0, 8 * kBlock), -1);
  EXPECT_EQ(Readout(kZaniqReadoutPreFxCurrent), -144.0);
  EXPECT_EQ(Readout(kZaniqReadoutPreFxMax), -144.0);
}

TEST_F(ZaniqSignal, AutoMatchGivesBackTheInputLevelOnceTheWindowIsFull)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "100"}}));
  ASSERT_EQ(Param(*mReceiver, "Match Mode"), 1.f) << "Auto is the default";
  ASSERT_EQ(Param(*mReceiver, "Pre-Post FX"), 1.f) << "post-FX is monitored by default";

  // Until the post-FX meter has seen one window the post-FX signal passes unmatched.
  Take t;
  ASSERT_NO_FATAL_FAILURE(Run(9 * kBlock, &t)); // 4608 frames, short of the window
  EXPECT_EQ(Readout(kZaniqReadoutPostFxGain), 0.0);
  EXPECT_EQ(Readout(kZaniqReadoutPostFxDiff), 0.0);
  ASSERT_NO_FATAL_FAILURE(Run(7 * kBlock, &t));
  const uint64_t total = 16 * kBlock;
  // The window is full with its 4800th sample, the one at frame 4799.
  EXPECT_EQ(FirstMismatch(t.out, t.receiverIn, 0, total), int64_t(kWindow100ms - 1));
  EXPECT_NEAR(LevelDiff(t.in, t.receiverIn, 0, total), 6.0206, 1e-3);

  // From there on the post-FX signal is brought back to the pre-FX level.
  EXPECT_LT(MaxDifference(t.out, t.in, kWindow100ms - 1, total - kWindow100ms + 1), 1e-6);
  EXPECT_NEAR(LevelDiff(t.in, t.out, kWindow100ms, total - kWindow100ms), 0.0, 1e-3);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -6.0206, 0.01);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxDiff), 0.0, 0.01);
}

TEST_F(ZaniqSignal, PreFxMonitoringGivesTheSenderInputBitExact)
{
  // The chain and the drive change the post-FX signal; the pre-FX signal is the Sender's input as it came.
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2,
                                {{"Pre-Post FX", "off"}, {"Drive FX", "6"}, {"Meter Mode", "RMS Summed"},
                                 {"RMS Window", "100"}}));
  Take t;
  ASSERT_NO_FATAL_FAILURE(Run(16 * kBlock, &t));
  EXPECT_NEAR(LevelDiff(t.in, t.receiverIn, 0, t.in.NFrames()), 12.0206, 0.01);
  EXPECT_EQ(FirstMismatch(t.out, t.in, 0, t.in.NFrames()), -1);
}

TEST_F(ZaniqSignal, DeltaOfAnIdentityChainIsSilent)
{
  ASSERT_NO_FATAL_FAILURE(Start("", 2,
                                {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}, {"Meter Mode", "RMS Summed"},
                                 {"RMS Window", "100"}}));
  Take manual;
  ASSERT_NO_FATAL_FAILURE(Run(12 * kBlock, &manual));
  EXPECT_TRUE(Silent(manual.out, 0, manual.out.NFrames()));

  // Auto matching an identity chain finds nothing to match, before and after its window.
  SetParam(*mReceiver, "Match Mode", "Auto");
  ResetMeters();
  Take automatic;
  ASSERT_NO_FATAL_FAILURE(Run(12 * kBlock, &automatic));
  EXPECT_TRUE(Silent(automatic.out, 0, automatic.out.NFrames()));

  // The delta is the difference: a chain that doubles gives the input negated.
  SetParam(*mReceiver, "Match Mode", "Manual");
  mTap->SetExtraGain(2.f);
  Take doubled;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &doubled));
  for (auto& ch : doubled.in.channels)
    for (float& x : ch) x = -x;
  EXPECT_EQ(FirstMismatch(doubled.out, doubled.in, 0, 2 * kBlock), -1);
}

// ---------------------------------------------------------------------------------------------------------------
// Matching
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqSignal, AutoGainToleranceAndLimits)
{
  ASSERT_NO_FATAL_FAILURE(Start("", 2, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "100"}}));

  // D is the chain's gain; g the gain the Receiver applies after it (the output ends up D + g above the input).
  // "0", "-144" and "144" are the settings shown as "off".
  const struct
  {
    const char* tolerance;
    const char* minAuto;
    const char* maxAuto;
    double D, g;
  } cases[] = {
    {"1.0", "-144", "144", 0.6, 0.0},  // within the tolerance: nothing is matched
    {"1.0", "-144", "144", 3.0, -2.0}, // lowered by all but the tolerance
    {"1.0", "-144", "144", -3.0, 2.0}, // raised by all but the tolerance
    {"0", "-144", "144", 3.0, -3.0},   // no tolerance: fully matched
    {"0", "-6.0", "144", 10.0, -6.0},  // no lower than Min Auto Gain
    {"0", "-144", "3.0", -10.0, 3.0},  // no higher than Max Auto Gain
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(std::string("tolerance ") + c.tolerance + ", min " + c.minAuto + ", max " + c.maxAuto +
                 ", D = " + std::to_string(c.D));
    SetParam(*mReceiver, "Auto Gain Tolerance", c.tolerance);
    SetParam(*mReceiver, "Min Auto Gain", c.minAuto);
    SetParam(*mReceiver, "Max Auto Gain", c.maxAuto);
    mTap->SetExtraGain(static_cast<float>(std::pow(10.0, c.D / 20.0)));
    ResetMeters();
    ASSERT_NO_FATAL_FAILURE(Run(10 * kBlock)); // past the window
    Take t;
    ASSERT_NO_FATAL_FAILURE(Run(4 * kBlock, &t));
    const uint64_t n = t.in.NFrames();
    EXPECT_NEAR(LevelDiff(t.in, t.receiverIn, 0, n), c.D, 1e-4);
    EXPECT_NEAR(LevelDiff(t.in, t.out, 0, n), c.D + c.g, 1e-3);
    EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), c.g, 1e-3);
    EXPECT_NEAR(Readout(kZaniqReadoutPostFxDiff), c.D + c.g, 1e-3);
    if (c.g == 0.0)
    {
      EXPECT_EQ(FirstMismatch(t.out, t.receiverIn, 0, n), -1) << "a match gain of exactly 1";
    }
  }
}

TEST_F(ZaniqSignal, InverseMatchRaisesThePreFxSignalAndHoldsWhileItIsMonitored)
{
  ASSERT_NO_FATAL_FAILURE(
    Start("gain:6.0206", 2, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "100"}, {"Inverse Match", "on"}}));

  // Monitoring post-FX, the post-FX signal passes as it is while the match is worked out.
  Take post;
  ASSERT_NO_FATAL_FAILURE(Run(12 * kBlock, &post));
  EXPECT_EQ(FirstMismatch(post.out, post.receiverIn, 0, post.out.NFrames()), -1);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -6.0206, 0.01);

  // Monitoring pre-FX, the pre-FX signal is raised to the post-FX loudness.
  SetParam(*mReceiver, "Pre-Post FX", "off");
  Take pre;
  ASSERT_NO_FATAL_FAILURE(Run(4 * kBlock, &pre));
  EXPECT_LT(MaxDifference(pre.out, pre.receiverIn, 0, pre.out.NFrames()), 1e-6);

  // ... and the match holds there even when the chain changes.
  mTap->SetExtraGain(2.f);
  Take held;
  ASSERT_NO_FATAL_FAILURE(Run(12 * kBlock, &held));
  EXPECT_NEAR(LevelDiff(held.in, held.receiverIn, 0, held.in.NFrames()), 12.0412, 1e-3);
  EXPECT_NEAR(LevelDiff(held.in, held.out, 0, held.in.NFrames()), 6.0206, 1e-3);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -6.0206, 0.01);
  EXPECT_EQ(Readout(kZaniqReadoutPostFxDiff), 0.0);

  SetParam(*mReceiver, "Pre-Post FX", "on");
  Take back;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &back));
  EXPECT_EQ(FirstMismatch(back.out, back.receiverIn, 0, back.out.NFrames()), -1);
}

TEST_F(ZaniqSignal, GainStageBringsTheChainInputToTheReferenceLevel)
{
  ASSERT_NO_FATAL_FAILURE(
    Start("", 2, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "10"}, {"Match Mode", "Gain stage"}}));
  ASSERT_EQ(Param(*mReceiver, "Reference Level"), -18.f);
  ASSERT_NO_FATAL_FAILURE(Run(16 * kBlock));
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), kToneSummedDB, 0.1);
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxDiff), kToneSummedDB + 18.0, 0.1);
  EXPECT_EQ(Readout(kZaniqReadoutPreFxGain), 0.0);

  // "Match Pre-FX Diff/Gain" pressed and released: the Sender divides by the pre-FX difference from its next block.
  SetParam(*mReceiver, "Match Pre-FX Diff/Gain", "on");
  SetParam(*mReceiver, "Match Pre-FX Diff/Gain", "off");
  const double stage = kToneSummedDB + 18.0;
  EXPECT_NEAR(Param(*mReceiver, "PreGain Diff Store"), stage, 0.15);
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxGain), -stage, 0.1);
  ASSERT_NO_FATAL_FAILURE(Run(kBlock)); // the block in which the Receiver hands the gain over
  Take t;
  ASSERT_NO_FATAL_FAILURE(Run(16 * kBlock, &t));
  const uint64_t n = t.in.NFrames();
  EXPECT_NEAR(LevelDiff(t.in, t.senderOut, 0, n), -stage, 0.1);
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), -18.0, 0.1);
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxDiff), 0.0, 0.1);
  // The Receiver restores the level the Sender took away.
  EXPECT_LT(MaxDifference(t.out, t.in, 0, n), 1e-6);
}

TEST_F(ZaniqSignal, DriveFxReachesTheSenderFromItsNextBlock)
{
  ASSERT_NO_FATAL_FAILURE(Start("", 2, {{"Match Mode", "Manual"}}));
  Take before;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &before));
  EXPECT_EQ(FirstMismatch(before.senderOut, before.in, 0, 2 * kBlock), -1);

  SetParam(*mReceiver, "Drive FX", "6");
  // The Sender renders its block before the Receiver hands the new drive over.
  Take handOver;
  ASSERT_NO_FATAL_FAILURE(Run(kBlock, &handOver));
  EXPECT_EQ(FirstMismatch(handOver.senderOut, handOver.in, 0, kBlock), -1);

  Take driven;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &driven));
  const double g = Gain(6.0);
  for (UInt32 c = 0; c < 2; ++c)
    for (uint64_t i = 0; i < 2 * kBlock; ++i)
    {
      const float want = static_cast<float>(static_cast<double>(driven.in.channels[c][i]) * g);
      ASSERT_NEAR(driven.senderOut.channels[c][i], want, 1e-6f * (1.f + std::fabs(want))) << c << ":" << i;
    }
  // Manual, match gain 1: the Receiver gives the post-FX signal as it came.
  EXPECT_EQ(FirstMismatch(driven.out, driven.receiverIn, 0, 2 * kBlock), -1);
}

TEST_F(ZaniqSignal, ActiveOffPassesTheInputOnBothSides)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2,
                                {{"Match Mode", "Manual"}, {"Drive FX", "6"}, {"Meter Mode", "RMS Summed"},
                                 {"RMS Window", "10"}}));
  Take on;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &on));
  EXPECT_NEAR(LevelDiff(on.in, on.senderOut, 0, 2 * kBlock), 6.0, 1e-3);
  EXPECT_GT(Readout(kZaniqReadoutPreFxCurrent), -144.0);

  SetParam(*mReceiver, "Active", "off");
  Take first;
  ASSERT_NO_FATAL_FAILURE(Run(kBlock, &first));
  // The Receiver passes its input at once; the Sender, which rendered first, was still driving.
  EXPECT_EQ(FirstMismatch(first.out, first.receiverIn, 0, kBlock), -1);
  EXPECT_NEAR(LevelDiff(first.in, first.senderOut, 0, kBlock), 6.0, 1e-3);

  Take off;
  ASSERT_NO_FATAL_FAILURE(Run(4 * kBlock, &off));
  EXPECT_EQ(FirstMismatch(off.senderOut, off.in, 0, 4 * kBlock), -1);
  EXPECT_EQ(FirstMismatch(off.out, off.receiverIn, 0, 4 * kBlock), -1);
  EXPECT_EQ(Readout(kZaniqReadoutPreFxCurrent), -144.0);

  // Back on: the Sender drives again from its next block.
  SetParam(*mReceiver, "Active", "on");
  ASSERT_NO_FATAL_FAILURE(Run(kBlock));
  Take again;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &again));
  EXPECT_NEAR(LevelDiff(again.in, again.senderOut, 0, 2 * kBlock), 6.0, 1e-3);
}

// ---------------------------------------------------------------------------------------------------------------
// Over protection
// ---------------------------------------------------------------------------------------------------------------

// The display of the gain reduction (3 s hold, then release) is not reachable through the host: the read-outs
// carry the six dB values only. What a host hears is checked here.
TEST_F(ZaniqSignal, OverProtectionClipsAtTheCeiling)
{
  mSignal = [](UInt32 c, uint64_t t) {
    static constexpr float pattern[4] = {1.5f, -1.5f, 0.5f, -0.25f};
    return pattern[(t + c) % 4];
  };
  ASSERT_NO_FATAL_FAILURE(Start("", 2,
                                {{"Match Mode", "Manual"}, {"Enable Over Protection", "on"},
                                 {"Over Prection Level", "0.0"}}));
  auto expectCeiling = [](const Take& t, float ceiling) {
    for (UInt32 c = 0; c < 2; ++c)
      for (uint64_t i = 0; i < t.in.NFrames(); ++i)
      {
        const float x = t.in.channels[c][i];
        ASSERT_EQ(t.out.channels[c][i], std::clamp(x, -ceiling, ceiling)) << c << ":" << i;
      }
  };

  Take zero;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &zero));
  expectCeiling(zero, 1.f);

  // Whole decibels: 2.5 acts as 2.0.
  SetParam(*mReceiver, "Over Prection Level", "2.5");
  Take two;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &two));
  expectCeiling(two, static_cast<float>(Gain(2.0)));

  SetParam(*mReceiver, "Enable Over Protection", "off");
  Take off;
  ASSERT_NO_FATAL_FAILURE(Run(2 * kBlock, &off));
  EXPECT_EQ(FirstMismatch(off.out, off.in, 0, 2 * kBlock), -1);
}

// ---------------------------------------------------------------------------------------------------------------
// Latency measurement
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqSignal, LatencyMeasurementAlignsTheDelta)
{
  constexpr int32_t kMeasureLatency = 61;
  ASSERT_NO_FATAL_FAILURE(Start("delay:1000", 2, {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}}));
  Take unaligned;
  ASSERT_NO_FATAL_FAILURE(Run(4 * kBlock, &unaligned));
  EXPECT_GT(LevelDB(unaligned.out, 2 * kBlock, 2 * kBlock), -20.0);

  ASSERT_EQ(SendCommand(*mReceiver, kMeasureLatency), noErr);
  Take measuring;
  int blocks = 0;
  for (; blocks < 40 && Param(*mReceiver, "Latency Compensation") != 1000.f; ++blocks)
    ASSERT_NO_FATAL_FAILURE(Run(kBlock, &measuring));
  ASSERT_EQ(Param(*mReceiver, "Latency Compensation"), 1000.f) << "after " << blocks << " blocks";
  // The impulse leaves the Sender one block after the request and needs 1000 samples through the chain; until it
  // is back both sides are silent.
  EXPECT_EQ(blocks, 3);
  EXPECT_TRUE(Silent(measuring.out, 0, 2 * kBlock));

  // The output then fades in linearly over 5 s (checked with the delta off).
  SetParam(*mReceiver, "Delta Monitor", "off");
  Take fade;
  ASSERT_NO_FATAL_FAILURE(Run(kFade + 2 * kBlock, &fade));
  const uint64_t span = kRate / 100;
  EXPECT_NEAR(LevelDiff(fade.receiverIn, fade.out, kFade / 4 - span / 2, span), 20.0 * std::log10(0.25), 0.1);
  EXPECT_NEAR(LevelDiff(fade.receiverIn, fade.out, kFade / 2 - span / 2, span), 20.0 * std::log10(0.5), 0.1);
  EXPECT_EQ(FirstMismatch(fade.out, fade.receiverIn, kFade, 2 * kBlock), -1);

  // With pre-FX held back by the measured latency, the delta of the chain is silence.
  SetParam(*mReceiver, "Delta Monitor", "on");
  Take aligned;
  ASSERT_NO_FATAL_FAILURE(Run(8 * kBlock, &aligned));
  EXPECT_GT(LevelDB(aligned.receiverIn, 0, 8 * kBlock), -20.0);
  EXPECT_TRUE(Silent(aligned.out, 0, 8 * kBlock));
}

// ---------------------------------------------------------------------------------------------------------------
// Half-second boundaries
// ---------------------------------------------------------------------------------------------------------------

// The peer-command step runs at the Receiver's half-second boundaries in blocks that received audio. Commands
// themselves reach a Receiver only from another instance's editor (an Alt press); what a host can see of the step
// is its automatic storage: in Auto match mode with storage enabled, "GainDiff Store" takes the match gain there.
TEST_F(ZaniqSignal, MatchIsStoredAtHalfSecondBoundariesOnlyWhileAudioFlows)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2,
                                {{"Meter Mode", "RMS Summed"}, {"RMS Window", "100"},
                                 {"Disable Storage GainDiff", "off"}}));
  // Renders whole blocks up to sample time `until` (no block ends beyond it); returns the number of blocks in which
  // "GainDiff Store" changed, each of which must have crossed a half-second boundary.
  auto runUntil = [&](uint64_t until) {
    int changes = 0;
    while (mSampleTime + kBlock <= until)
    {
      const float before = Param(*mReceiver, "GainDiff Store");
      const uint64_t start = mSampleTime;
      Cycle(kBlock);
      if (HasFatalFailure()) return changes;
      if (Param(*mReceiver, "GainDiff Store") != before)
      {
        ++changes;
        EXPECT_NE(start / kHalfSecond, mSampleTime / kHalfSecond) << "stored in the block at " << start;
      }
    }
    return changes;
  };

  // The match is found after 100 ms but stored at the first boundary only.
  EXPECT_EQ(runUntil(kHalfSecond), 0);
  EXPECT_EQ(Param(*mReceiver, "GainDiff Store"), 0.f);
  EXPECT_EQ(runUntil(2 * kHalfSecond), 1);
  // The post-FX signal is divided by 2.
  EXPECT_NEAR(Param(*mReceiver, "GainDiff Store"), 6.0206, 1e-3);

  // Without audio from the Sender the boundaries pass without the step.
  ASSERT_NO_FATAL_FAILURE(FeedReceiverDirectly(true));
  SetParam(*mReceiver, "GainDiff Store", "0");
  EXPECT_EQ(runUntil(5 * kHalfSecond), 0);
  EXPECT_EQ(Param(*mReceiver, "GainDiff Store"), 0.f);

  // Audio again: stored at the next boundary.
  ASSERT_NO_FATAL_FAILURE(FeedReceiverDirectly(false));
  EXPECT_EQ(runUntil(6 * kHalfSecond + kBlock), 1);
  EXPECT_NEAR(Param(*mReceiver, "GainDiff Store"), 6.0206, 1e-3);
}

// ---------------------------------------------------------------------------------------------------------------
// Mono
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ZaniqSignal, MonoPairMatchesAndMonitorsLikeStereo)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 1, {{"Meter Mode", "RMS Summed"}, {"RMS Window", "10"}}));
  Take t;
  ASSERT_NO_FATAL_FAILURE(Run(16 * kBlock, &t));
  ASSERT_EQ(t.out.NChannels(), 1u);
  const uint64_t total = t.in.NFrames();
  EXPECT_EQ(FirstMismatch(t.out, t.receiverIn, 0, total), int64_t(kWindow10ms - 1));
  EXPECT_LT(MaxDifference(t.out, t.in, kWindow10ms - 1, total - kWindow10ms + 1), 1e-6);
  // One channel metered as both: the level of the left tone counted twice.
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), 10.0 * std::log10(2.0 * 0.125), 0.1);

  SetParam(*mReceiver, "Pre-Post FX", "off");
  Take pre;
  ASSERT_NO_FATAL_FAILURE(Run(4 * kBlock, &pre));
  EXPECT_EQ(FirstMismatch(pre.out, pre.in, 0, 4 * kBlock), -1);
}

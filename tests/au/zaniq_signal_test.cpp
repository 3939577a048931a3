// The product's signal path end to end, through AudioUnit calls on two instances of the real component: a Sender
// and its Receiver, the Receiver's input pulling the Sender's output through in-process effects in each host cycle.
// Levels are checked on the audio itself; what the editor would show comes from the read-outs property. (The
// matching itself, gain staging, over protection and the latency detector are the engine tests' concern; here
// is what a host sees of them: monitoring, delta, tolerance and limits, Active, mono, commands and storage.)

#include "au/support/ZaniqHost.h"

#include <cmath>

using namespace zqhost;

namespace
{

constexpr uint64_t kHalfSecond = 24000;    // at 48 kHz
constexpr double kToneSummedDB = -7.69551; // the test tone in "RMS Summed": 10 log10(0.5^2/2 + 0.3^2/2)
constexpr double kDouble = 6.0206;         // dB

// Level of b minus level of a over the same frames (all of a when count is 0), in dB.
double LevelDiff(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first = 0, uint64_t count = 0)
{
  if (!count) count = a.NFrames();
  return auhost::MeasureLevels(b, first, count).rmsDB - auhost::MeasureLevels(a, first, count).rmsDB;
}

// Every sample of every channel over [first, first + count) is exactly 0.
bool Silent(const auhost::AudioData& data, uint64_t first = 0, uint64_t count = UINT64_MAX)
{
  for (const auto& ch : data.channels)
    for (uint64_t i = first; i - first < count && i < ch.size(); ++i)
      if (ch[i] != 0.f) return false;
  return true;
}

// "RMS Summed" over a window of `ms`, plus further settings.
Settings Summed(const char* ms, Settings more = {})
{
  more.insert(more.begin(), {{"Meter Mode", "RMS Summed"}, {"RMS Window", ms}});
  return more;
}

using ZaniqSignal = ZaniqPairTest;

} // namespace

TEST_F(ZaniqSignal, UnpairedReceiverPassesItsInputAndShowsNoLevels)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, Summed("10")));
  Run(8 * kBlock);
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), kToneSummedDB, 0.2);
  // On a Link ID without a Sender the Receiver gets no blocks.
  SetParam(*mReceiver, "Link ID", "7");
  const Take alone = Grab(8 * kBlock);
  EXPECT_TRUE(Same(alone.out, alone.receiverIn));
  EXPECT_EQ(std::tuple(Readout(kZaniqReadoutPreFxCurrent), Readout(kZaniqReadoutPreFxMax)), std::tuple(-144.0, -144.0));
}

// Auto matching (the default, monitoring post-FX by default) in stereo and mono: the post-FX signal passes unmatched
// until the post-FX meter has seen one window, then is brought back to the pre-FX level.
class ZaniqAutoMatch : public ZaniqSignal, public ::testing::WithParamInterface<std::tuple<UInt32, const char*, UInt32>>
{
};

TEST_P(ZaniqAutoMatch, GivesBackTheInputLevelOnceTheWindowIsFull)
{
  const auto [channels, ms, window] = GetParam(); // "RMS Window" in ms and in samples
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", channels, Summed(ms)));
  ASSERT_EQ(std::tuple(Param(*mReceiver, "Match Mode"), Param(*mReceiver, "Pre-Post FX")), std::tuple(1.f, 1.f));
  Take t = Grab(window - 192); // short of the window
  EXPECT_EQ(std::tuple(Readout(kZaniqReadoutPostFxGain), Readout(kZaniqReadoutPostFxDiff)), std::tuple(0.0, 0.0));
  Run(16 * kBlock - t.in.NFrames(), &t);
  const uint64_t total = t.in.NFrames();
  ASSERT_EQ(t.out.NChannels(), channels);
  // The window is full with its last sample.
  EXPECT_TRUE(Same(t.out, t.receiverIn, 0, window - 1));
  EXPECT_FALSE(Same(t.out, t.receiverIn, window - 1, 1));
  EXPECT_NEAR(LevelDiff(t.in, t.receiverIn), kDouble, 1e-3);
  EXPECT_LT(MaxDifference(t.out, t.in, window - 1, total - window + 1), 1e-6);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -kDouble, 0.01);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxDiff), 0.0, 0.01);
  // Mono: one channel is metered as both, the level of the left tone counted twice.
  const double preFx = Readout(kZaniqReadoutPreFxCurrent);
  EXPECT_TRUE(channels == 2 || std::fabs(preFx - 10.0 * std::log10(0.25)) < 0.1) << preFx;

  // Monitoring pre-FX gives the Sender's input as it came, whatever the chain and the drive did.
  zqhost::SetParam(*mReceiver, "Pre-Post FX", "off");
  zqhost::SetParam(*mReceiver, "Drive FX", "6");
  Run(kBlock); // the Sender takes the drive from its next block
  const Take pre = Grab(8 * kBlock);
  EXPECT_NEAR(LevelDiff(pre.in, pre.receiverIn), kDouble + 6.0, 0.01);
  EXPECT_TRUE(Same(pre.out, pre.in));
}
INSTANTIATE_TEST_SUITE_P(StereoAndMono, ZaniqAutoMatch,
                         ::testing::Values(std::tuple(2u, "100", 4800u), std::tuple(1u, "10", 480u)));

TEST_F(ZaniqSignal, DeltaIsTheDifferenceOfTheChain)
{
  ASSERT_NO_FATAL_FAILURE(Start("", 2, Summed("100", {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}})));
  EXPECT_TRUE(Silent(Grab(12 * kBlock).out));
  // Auto matching an identity chain finds nothing to match, before and after its window.
  SetParam(*mReceiver, "Match Mode", "Auto");
  Press("Reset Sender RMS");
  EXPECT_TRUE(Silent(Grab(12 * kBlock).out));
  // A chain that doubles gives the input negated.
  SetParam(*mReceiver, "Match Mode", "Manual");
  mTap->extraGain = 2.f;
  Take doubled = Grab(2 * kBlock);
  for (auto& ch : doubled.in.channels) std::ranges::for_each(ch, [](float& x) { x = -x; });
  EXPECT_TRUE(Same(doubled.out, doubled.in));
}

TEST_F(ZaniqSignal, AutoGainToleranceAndLimits)
{
  ASSERT_NO_FATAL_FAILURE(Start("", 2, Summed("100")));
  // D is the chain's gain; g the gain the Receiver applies after it (the output ends up D + g above the input).
  // "0", "-144" and "144" are the settings shown as "off".
  const std::tuple<const char*, const char*, const char*, double, double> cases[] = {
    {"1.0", "-144", "144", 0.6, 0.0},  // within the tolerance: nothing is matched
    {"1.0", "-144", "144", 3.0, -2.0}, // lowered by all but the tolerance
    {"1.0", "-144", "144", -3.0, 2.0}, // raised by all but the tolerance
    {"0", "-144", "144", 3.0, -3.0},   // no tolerance: fully matched
    {"0", "-6.0", "144", 10.0, -6.0},  // no lower than Min Auto Gain
    {"0", "-144", "3.0", -10.0, 3.0},  // no higher than Max Auto Gain
  };
  for (const auto& [tolerance, minAuto, maxAuto, D, g] : cases)
  {
    SCOPED_TRACE(std::string(tolerance) + " min " + minAuto + " max " + maxAuto + " D " + std::to_string(D));
    SetParam(*mReceiver, "Auto Gain Tolerance", tolerance);
    SetParam(*mReceiver, "Min Auto Gain", minAuto);
    SetParam(*mReceiver, "Max Auto Gain", maxAuto);
    mTap->extraGain = static_cast<float>(std::pow(10.0, D / 20.0));
    Press("Reset Sender RMS");
    Run(10 * kBlock); // past the window
    const Take t = Grab(4 * kBlock);
    EXPECT_NEAR(LevelDiff(t.in, t.receiverIn), D, 1e-4);
    EXPECT_NEAR(LevelDiff(t.in, t.out), D + g, 1e-3);
    EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), g, 1e-3);
    EXPECT_NEAR(Readout(kZaniqReadoutPostFxDiff), D + g, 1e-3);
    EXPECT_TRUE(g != 0.0 || Same(t.out, t.receiverIn)) << "a match gain of exactly 1";
  }
}

TEST_F(ZaniqSignal, InverseMatchRaisesThePreFxSignalAndHoldsWhileItIsMonitored)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, Summed("100", {{"Inverse Match", "on"}})));
  // Monitoring post-FX, the post-FX signal passes as it is while the match is worked out.
  const Take post = Grab(12 * kBlock);
  EXPECT_TRUE(Same(post.out, post.receiverIn));
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -kDouble, 0.01);
  // Monitoring pre-FX, the pre-FX signal is raised to the post-FX loudness...
  SetParam(*mReceiver, "Pre-Post FX", "off");
  const Take pre = Grab(4 * kBlock);
  EXPECT_LT(MaxDifference(pre.out, pre.receiverIn, 0, pre.out.NFrames()), 1e-6);
  // ... and the match holds there even when the chain changes.
  mTap->extraGain = 2.f;
  const Take held = Grab(12 * kBlock);
  EXPECT_NEAR(LevelDiff(held.in, held.receiverIn), 2 * kDouble, 1e-3);
  EXPECT_NEAR(LevelDiff(held.in, held.out), kDouble, 1e-3);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -kDouble, 0.01);
  EXPECT_EQ(Readout(kZaniqReadoutPostFxDiff), 0.0);
  SetParam(*mReceiver, "Pre-Post FX", "on");
  const Take back = Grab(2 * kBlock);
  EXPECT_TRUE(Same(back.out, back.receiverIn));
}

// Drive FX and Active reach the Sender from its next block (it renders before the Receiver hands them over).
TEST_F(ZaniqSignal, DriveFxAndActiveReachTheSenderFromItsNextBlock)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, Summed("10", {{"Match Mode", "Manual"}})));
  SetParam(*mReceiver, "Drive FX", "6");
  const Take handOver = Grab(kBlock);
  EXPECT_TRUE(Same(handOver.senderOut, handOver.in));
  const Take driven = Grab(2 * kBlock);
  EXPECT_NEAR(LevelDiff(driven.in, driven.senderOut), 6.0, 1e-3);
  EXPECT_TRUE(Same(driven.out, driven.receiverIn)); // Manual, match gain 1: the post-FX signal as it came
  EXPECT_GT(Readout(kZaniqReadoutPreFxCurrent), -144.0);

  // Active off: the Receiver passes its input at once; the Sender, which rendered first, was still driving.
  SetParam(*mReceiver, "Active", "off");
  const Take first = Grab(kBlock);
  EXPECT_TRUE(Same(first.out, first.receiverIn));
  EXPECT_NEAR(LevelDiff(first.in, first.senderOut), 6.0, 1e-3);
  // Then both sides pass their input.
  const Take off = Grab(4 * kBlock);
  EXPECT_TRUE(Same(off.senderOut, off.in) && Same(off.out, off.receiverIn));
  EXPECT_EQ(Readout(kZaniqReadoutPreFxCurrent), -144.0);
  // Back on: the Sender drives again from its next block.
  SetParam(*mReceiver, "Active", "on");
  Run(kBlock);
  const Take again = Grab(2 * kBlock);
  EXPECT_NEAR(LevelDiff(again.in, again.senderOut), 6.0, 1e-3);
}

// The measurement itself (its timing, the silence while it runs, the aligned delta) is the engine tests' concern;
// here it is started through the command property and its result read back as a host reads it.
TEST_F(ZaniqSignal, LatencyIsMeasuredThroughTheCommandProperty)
{
  ASSERT_NO_FATAL_FAILURE(Start("delay:1000", 2, {{"Match Mode", "Manual"}}));
  Run(2 * kBlock);
  ASSERT_EQ(SendCommand(*mReceiver, 61 /* measure latency */), noErr);
  Take measuring;
  for (int blocks = 0; blocks < 40 && Param(*mReceiver, "Latency Compensation") != 1000.f; ++blocks)
    ASSERT_NO_FATAL_FAILURE(Run(kBlock, &measuring));
  EXPECT_EQ(Param(*mReceiver, "Latency Compensation"), 1000.f);
  EXPECT_TRUE(Silent(measuring.out, 0, 2 * kBlock));
}

// The peer-command step runs at the Receiver's half-second boundaries in blocks that received audio. What a host
// can see of it is its automatic storage: in Auto match mode with storage enabled, "GainDiff Store" takes the
// match gain there.
TEST_F(ZaniqSignal, MatchIsStoredAtHalfSecondBoundariesOnlyWhileAudioFlows)
{
  ASSERT_NO_FATAL_FAILURE(Start("gain:6.0206", 2, Summed("100", {{"Disable Storage GainDiff", "off"}})));
  // Renders whole blocks up to sample time `until`; returns the number of blocks in which "GainDiff Store"
  // changed, each of which must have crossed a half-second boundary.
  auto runUntil = [&](uint64_t until)
  {
    int changes = 0;
    while (mSampleTime + kBlock <= until && !HasFatalFailure())
    {
      const float before = Param(*mReceiver, "GainDiff Store");
      const uint64_t start = mSampleTime;
      Cycle(kBlock);
      if (Param(*mReceiver, "GainDiff Store") == before) continue;
      ++changes;
      EXPECT_NE(start / kHalfSecond, mSampleTime / kHalfSecond) << "stored in the block at " << start;
    }
    return changes;
  };
  // The match is found after 100 ms but stored at the first boundary only: the post-FX signal divided by 2.
  EXPECT_EQ(runUntil(kHalfSecond), 0);
  EXPECT_EQ(runUntil(2 * kHalfSecond), 1);
  EXPECT_NEAR(Param(*mReceiver, "GainDiff Store"), kDouble, 1e-3);
  // Without audio from the Sender (the Receiver fed directly) the boundaries pass without the step.
  ASSERT_OK(mReceiver->ConnectInput(mSource.get()));
  SetParam(*mReceiver, "GainDiff Store", "0");
  EXPECT_EQ(runUntil(5 * kHalfSecond), 0);
  EXPECT_EQ(Param(*mReceiver, "GainDiff Store"), 0.f);
  // Audio again: stored at the next boundary.
  ASSERT_OK(mChain.Connect(mSource.get()));
  EXPECT_EQ(runUntil(6 * kHalfSecond + kBlock), 1);
  EXPECT_NEAR(Param(*mReceiver, "GainDiff Store"), kDouble, 1e-3);
}

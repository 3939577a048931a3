// The product's signal path end to end, through AudioUnit calls on two instances of the real component: a Sender
// and its Receiver, the Receiver's input pulling the Sender's output through a gain in each host cycle.
// Levels are checked on the audio itself; what the editor would show comes from the read-outs property. (The
// matching itself, gain staging, over protection and the latency detector are the engine tests' concern; here
// is what a host sees of them: monitoring, delta, tolerance and limits, Active, mono and storage.)

#include "au/support/ZaniqHost.h"

#include <cmath>

using namespace zqhost;

namespace
{

constexpr uint64_t kHalfSecond = 24000; // at 48 kHz
constexpr double kDouble = 6.0206;      // dB: the gain 2

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

// Auto matching (the default, monitoring post-FX by default) of a mono pair: the post-FX signal passes unmatched
// until the post-FX meter has seen one window, then is brought back to the pre-FX level. (Stereo matching: the
// chain tool's run of the product.)
TEST_F(ZaniqSignal, AutoMatchGivesBackTheInputLevelOnceTheWindowIsFull)
{
  constexpr UInt32 window = 480; // "RMS Window" 10 ms
  ASSERT_NO_FATAL_FAILURE(Start(2.f, 1, Summed("10")));
  ASSERT_EQ(std::tuple(Param(*mReceiver, "Match Mode"), Param(*mReceiver, "Pre-Post FX")), std::tuple(1.f, 1.f));
  Take t = Grab(window - 192); // short of the window
  EXPECT_EQ(std::tuple(Readout(kZaniqReadoutPostFxGain), Readout(kZaniqReadoutPostFxDiff)), std::tuple(0.0, 0.0));
  Run(16 * kBlock - t.in.NFrames(), &t);
  const uint64_t total = t.in.NFrames();
  ASSERT_EQ(t.out.NChannels(), 1u);
  // The window is full with its last sample.
  EXPECT_TRUE(Same(t.out, t.receiverIn, 0, window - 1));
  EXPECT_FALSE(Same(t.out, t.receiverIn, window - 1, 1));
  EXPECT_NEAR(LevelDiff(t.in, t.receiverIn), kDouble, 1e-3);
  EXPECT_LT(MaxDifference(t.out, t.in, window - 1, total - window + 1), 1e-6);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), -kDouble, 0.01);
  EXPECT_NEAR(Readout(kZaniqReadoutPostFxDiff), 0.0, 0.01);
  // One channel is metered as both, the level of the left tone counted twice.
  EXPECT_NEAR(Readout(kZaniqReadoutPreFxCurrent), 10.0 * std::log10(0.25), 0.1);

  // Monitoring pre-FX gives the Sender's input as it came, whatever the chain and the drive did.
  SetParam(*mReceiver, "Pre-Post FX", "off");
  SetParam(*mReceiver, "Drive FX", "6");
  Run(kBlock); // the Sender takes the drive from its next block
  const Take pre = Grab(8 * kBlock);
  EXPECT_NEAR(LevelDiff(pre.in, pre.receiverIn), kDouble + 6.0, 0.01);
  EXPECT_TRUE(Same(pre.out, pre.in));
}

// What the Receiver gives once matched (past its 100 ms window), for a chain gain D: the output level against
// the input's, the match gain it shows, and which signal it gives bit for bit. Each row starts from Auto matching,
// monitoring post-FX, with no tolerance or limits ("0", "-144" and "144" are the settings shown as "off"); the
// delta rows come first, while the manual match gain is still 1.
TEST_F(ZaniqSignal, SettledOutputForEachSetting)
{
  ASSERT_NO_FATAL_FAILURE(Start(1.f, 2, Summed("100")));
  enum Exact { kNone, kAsReceived, kAsInput, kSilent, kInputNegated };
  const Settings base = {{"Match Mode", "Auto"},  {"Pre-Post FX", "on"},    {"Inverse Match", "off"},
                         {"Delta Monitor", "off"}, {"Auto Gain Tolerance", "0"}, {"Min Auto Gain", "-144"},
                         {"Max Auto Gain", "144"}};
  const struct
  {
    const char* what;
    Settings settings;
    double D, outDB, g;
    Exact exact;
  } cases[] = {
    {"delta of an identity chain", {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}}, 0.0, 0.0, 0.0, kSilent},
    {"delta of a doubling chain", {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}}, kDouble, 0.0, 0.0,
     kInputNegated},
    {"within the tolerance: nothing is matched", {{"Auto Gain Tolerance", "1.0"}}, 0.6, 0.6, 0.0, kAsReceived},
    {"lowered by all but the tolerance", {{"Auto Gain Tolerance", "1.0"}}, 3.0, 1.0, -2.0, kNone},
    {"raised by all but the tolerance", {{"Auto Gain Tolerance", "1.0"}}, -3.0, -1.0, 2.0, kNone},
    {"no tolerance: fully matched", {}, 3.0, 0.0, -3.0, kNone},
    {"no lower than Min Auto Gain", {{"Min Auto Gain", "-6.0"}}, 10.0, 4.0, -6.0, kNone},
    {"no higher than Max Auto Gain", {{"Max Auto Gain", "3.0"}}, -10.0, -7.0, 3.0, kNone},
    {"pre-FX monitored: the input as it came", {{"Pre-Post FX", "off"}}, kDouble, 0.0, -kDouble, kAsInput},
    {"inverse, post-FX monitored: passes as it is", {{"Inverse Match", "on"}}, kDouble, kDouble, -kDouble,
     kAsReceived},
    {"inverse, pre-FX monitored: raised to the post-FX level, held", {{"Inverse Match", "on"}, {"Pre-Post FX", "off"}},
     kDouble, kDouble, -kDouble, kNone},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    for (const auto& [name, value] : base) SetParam(*mReceiver, name, value);
    for (const auto& [name, value] : c.settings) SetParam(*mReceiver, name, value);
    // A new chain gain starts on cleared meters; the same one keeps the match (which Inverse Match holds).
    if (&c == cases || c.D != (&c - 1)->D) Press("Reset Sender RMS");
    mTap.gain = static_cast<float>(std::pow(10.0, c.D / 20.0));
    Run(10 * kBlock);
    Take t = Grab(4 * kBlock);
    EXPECT_NEAR(LevelDiff(t.in, t.receiverIn), c.D, 1e-3);
    EXPECT_NEAR(Readout(kZaniqReadoutPostFxGain), c.g, 1e-2);
    if (c.exact == kSilent)
    {
      EXPECT_TRUE(Silent(t.out));
      continue;
    }
    EXPECT_NEAR(LevelDiff(t.in, t.out), c.outDB, 1e-2);
    if (c.exact == kInputNegated)
      for (auto& ch : t.in.channels) std::ranges::for_each(ch, [](float& x) { x = -x; });
    EXPECT_TRUE(c.exact != kAsReceived || Same(t.out, t.receiverIn));
    EXPECT_TRUE((c.exact != kAsInput && c.exact != kInputNegated) || Same(t.out, t.in));
  }
}

// Drive FX and Active reach the Sender from its next block (it renders before the Receiver hands them over); the
// Receiver gets the Sender's output as it is.
TEST_F(ZaniqSignal, DriveFxActiveAndLinkIDReachTheSenderFromItsNextBlock)
{
  ASSERT_NO_FATAL_FAILURE(Start(1.f, 2, Summed("10", {{"Match Mode", "Manual"}})));
  SetParam(*mReceiver, "Drive FX", "6");
  const Take handOver = Grab(kBlock);
  EXPECT_TRUE(Same(handOver.receiverIn, handOver.in));
  const Take driven = Grab(2 * kBlock);
  EXPECT_NEAR(LevelDiff(driven.in, driven.receiverIn), 6.0, 1e-3);
  EXPECT_TRUE(Same(driven.out, driven.receiverIn)); // Manual, match gain 1: the post-FX signal as it came
  EXPECT_GT(Readout(kZaniqReadoutPreFxCurrent), -144.0);

  // Active off: the Receiver passes its input at once; the Sender, which rendered first, was still driving.
  SetParam(*mReceiver, "Active", "off");
  const Take first = Grab(kBlock);
  EXPECT_TRUE(Same(first.out, first.receiverIn));
  EXPECT_NEAR(LevelDiff(first.in, first.receiverIn), 6.0, 1e-3);
  // Then both sides pass their input.
  const Take off = Grab(4 * kBlock);
  EXPECT_TRUE(Same(off.receiverIn, off.in) && Same(off.out, off.receiverIn));
  EXPECT_EQ(Readout(kZaniqReadoutPreFxCurrent), -144.0);
  // Back on: the Sender drives again from its next block.
  SetParam(*mReceiver, "Active", "on");
  Run(kBlock);
  const Take again = Grab(2 * kBlock);
  EXPECT_NEAR(LevelDiff(again.in, again.receiverIn), 6.0, 1e-3);
  // On a Link ID without a Sender the Receiver gets no blocks: it passes its input and shows no levels.
  SetParam(*mReceiver, "Link ID", "7");
  const Take alone = Grab(8 * kBlock);
  EXPECT_TRUE(Same(alone.out, alone.receiverIn));
  EXPECT_EQ(std::tuple(Readout(kZaniqReadoutPreFxCurrent), Readout(kZaniqReadoutPreFxMax)), std::tuple(-144.0, -144.0));
}

// The peer-command step runs at the Receiver's half-second boundaries in blocks that received audio (the engine's
// peer-command tests: not without audio). What a host can see of it is its automatic storage: in Auto match mode
// with storage enabled, "GainDiff Store" takes the match gain there.
TEST_F(ZaniqSignal, MatchIsStoredAtHalfSecondBoundaries)
{
  ASSERT_NO_FATAL_FAILURE(Start(2.f, 2, Summed("100", {{"Disable Storage GainDiff", "off"}})));
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
}

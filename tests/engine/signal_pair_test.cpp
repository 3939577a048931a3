// A Sender and a Receiver in one process: automatic matching in every meter mode, the over-protection display, a
// mono pair, and latency measurement (the chain's delay found exactly and compensated, silence while measuring,
// measurements that cannot succeed end). (Monitoring, delta, tolerance, drive, Active off and mono matching are
// checked end to end through the host; a manual match from a peer command in the peer-command tests.)

#include "engine/support/signal_pair.h"

using namespace plugin;
using namespace testsupport;

namespace
{

double ToDB(double x) { return 20.0 * std::log10(x); }

class AutoMatchByMode : public SignalPairTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(AutoMatchByMode, PostFXIsBroughtBackToThePreFXLevel)
{
  // Unmatched until the window is full: the host tests (RMS Summed), to the sample.
  mReceiver->Change(ZANIQ::kMeterMode, GetParam());
  mReceiver->Change(ZANIQ::kRMSWindow, 500);
  mChain.Set(0, 0.5); // the chain loses 6.02 dB
  RunNoise(BlocksFor(3.5));
  ClearRecordings();
  RunNoise(2);
  // Once matched, the Receiver's output is the Sender's input.
  EXPECT_NEAR(ToDB(mReceiver->GetMatchGain()), ToDB(0.5), 1e-6);
  EXPECT_TRUE(mReceiver->GetAutoGain() == mReceiver->GetMatchGain() && mReceiver->IsReceiving());
  EXPECT_LT(MaxDeviation(1.0, 0, mOutL.size()), 1e-9);
  EXPECT_NEAR(mReceiver->GetPostFXLevel() / mReceiver->GetPreFXLevel(), 0.5, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(EveryMeterMode, AutoMatchByMode, ::testing::Range(0, int(kNumMeterModes)));

TEST_F(SignalPairTest, OverProtectionDisplayHoldsTheDeepestCut)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mChain.Set(0, 2.0);
  mReceiver->Change(ZANIQ::kOverProtectionLevel, 0.5); // whole decibels: 0 dBFS

  // Off, overs pass but the display still shows what would be taken.
  RunNoise(4, 0.9, 0.8);
  EXPECT_TRUE(MaxAbsOut() > 1.5 && mReceiver->GetGainReductionValue() > 0.3 && mReceiver->GetGainReductionInvert());
  double worstRatio = 1.0;
  for (size_t i = 0; i < mOutL.size(); ++i)
    worstRatio = std::min({worstRatio, 1.0 / std::max(1.0, std::fabs(mOutL[i])),
                           1.0 / std::max(1.0, std::fabs(mOutR[i]))});
  mReceiver->Change(ZANIQ::kEnableOverProtection, 1);
  ClearRecordings();
  RunNoise(4, 0.9, 0.8);
  for (size_t i = 0; i < mOutL.size(); ++i)
  {
    ASSERT_EQ(mOutL[i], std::clamp(2.0 * mInL[i], -1.0, 1.0)) << i;
    ASSERT_EQ(mOutR[i], std::clamp(2.0 * mInR[i], -1.0, 1.0)) << i;
    worstRatio = std::min({worstRatio, std::fabs(mOutL[i] / (2.0 * mInL[i])), std::fabs(mOutR[i] / (2.0 * mInR[i]))});
  }
  // Held at the deepest cut of the last 3 s.
  EXPECT_NEAR(mReceiver->GetGainReductionValue(), 1.0 - worstRatio, 1e-12);
}

TEST_F(SignalPairTest, MonoPairWritesNoUnconnectedOutput)
{
  // A mono pair matches like a stereo one (checked end to end); the second buffers are neither read nor written.
  Prepare(*mSender, kRate, kBlock, 1);
  Prepare(*mReceiver, kRate, kBlock, 1);
  std::vector<double> in(kBlock), unused(kBlock, 0.0), sOut(kBlock), out(kBlock), spare(kBlock, 7.0);
  double* sIn[2] = {in.data(), unused.data()};
  double* sOutP[2] = {sOut.data(), spare.data()};
  double* rIn[2] = {sOut.data(), unused.data()};
  double* rOut[2] = {out.data(), spare.data()};
  for (int b = 0; b < 4; ++b)
  {
    for (double& x : in) x = 0.5 * mNoise.Next();
    mSender->ProcessBlock(sIn, sOutP, kBlock);
    mReceiver->ProcessBlock(rIn, rOut, kBlock);
  }
  EXPECT_EQ(spare, std::vector<double>(kBlock, 7.0));
  EXPECT_EQ(out, in); // match 1: the chain gave back what the Sender sent
}

// --- Latency measurement through the pair ---

class LatencyPairTest : public SignalPairTest
{
protected:
  // Runs cycles of `block` frames until the Receiver's measurement ends; returns the recorded index at which it
  // started.
  // Settling takes three windows at most and the three impulses nine more. The input goes on at the given levels;
  // from each block in `pauses` on, Active is off for ten blocks; before block `restartAt` the measurement is
  // started again.
  size_t Measure(int block = kBlock, double levelL = 0.5, double levelR = 0.3, const std::vector<long>& pauses = {},
                 long restartAt = -1)
  {
    const size_t start = mOutL.size();
    mReceiver->ToggleLatencyMeasurement();
    EXPECT_TRUE(mReceiver->IsMeasurementRunning());
    const long cycles = 12L * mReceiver->GetLatencyDetector().windowLength / block + 18;
    for (long b = 0; b < cycles && mReceiver->IsMeasurementRunning(); ++b)
    {
      for (long pauseAt : pauses)
        if (b == pauseAt || b == pauseAt + 10)
          mReceiver->Change(ZANIQ::kActive, b == pauseAt ? 0 : 1);
      if (b == restartAt)
        for (int toggle = 0; toggle < 2; ++toggle) mReceiver->ToggleLatencyMeasurement();
      RunNoise(1, levelL, levelR, block);
    }
    EXPECT_FALSE(mReceiver->IsMeasurementRunning());
    return start;
  }
  // Runs a while with the delta on and returns its loudest sample.
  double DeltaPeak(int settle)
  {
    RunNoise(settle);
    ClearRecordings();
    RunNoise(10);
    return MaxAbsOut();
  }

  int LatencyParam() const { return int(mReceiver->Value(ZANIQ::kLatencyCompensation)); }
};

class ChainDelay : public LatencyPairTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(ChainDelay, IsMeasuredExactlyAndCompensated)
{
  const int delay = GetParam();
  mChain.Set(delay, 1.0);
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  RunNoise(4);

  const size_t start = Measure();
  EXPECT_EQ(std::tuple(LatencyParam(), mReceiver->GetMirrorInt(ZANIQ::kLatencyCompensation),
                       mReceiver->GetDelayLine(0).length, mReceiver->GetDelayLine(1).length),
            std::tuple(delay, delay, delay, delay));
  // Silent while measuring (every block but the one in which it ended).
  EXPECT_EQ(MaxAbsOut(start, mOutL.size() - kBlock), 0.0);

  // With the delay compensated, the difference of a pure delay chain is nothing at all; one sample off is heard
  // (through the fade-in that follows a measurement).
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);
  EXPECT_EQ(DeltaPeak(delay / kBlock + 3), 0.0) << "delay " << delay;
  mReceiver->Change(ZANIQ::kLatencyCompensation, delay + 1);
  EXPECT_GT(DeltaPeak(delay / kBlock + 3), 0.01) << "delay " << delay;
}

INSTANTIATE_TEST_SUITE_P(Delays, ChainDelay, ::testing::Values(0, 1, 37, 700, 1000, 5000));

TEST_F(LatencyPairTest, LongChainsAreMeasuredExactlyAtTheHostsBlockSizesAndRates)
{
  // The impulse comes back a chain delay plus the Sender's block after it was asked for, which at the top of the
  // range and with large blocks is longer than the nominal detection window. Blocks above 8192 frames reach the
  // Receiver in two link buffers.
  // A noise floor far under the answer changes nothing: the answers differ by it, never by a sample.
  struct Case
  {
    double rate;
    int block, delay;
    double floor = 0.0;
  };
  const Case cases[] = {{48000.0, 4096, 176000}, {48000.0, 8192, 174000}, {48000.0, 2048, 176400},
                        {44100.0, 8192, 176400}, {96000.0, 16384, 176400}, {44100.0, 512, 176400},
                        {96000.0, 1000, 176399}, {48000.0, 333, 88200},    {44100.0, 1, 37},
                        {96000.0, 7, 0},         {44100.0, 512, 1000, 1e-12}, {48000.0, 333, 5000, 1e-5}};
  for (const auto& [rate, block, delay, floor] : cases)
  {
    Prepare(*mSender, rate, block);
    Prepare(*mReceiver, rate, block);
    mChain.Set(delay, 1.0, floor);
    ClearRecordings();
    Measure(block);
    EXPECT_EQ(std::tuple(LatencyParam(), mReceiver->GetDelayLine(0).length, mReceiver->GetDelayLine(1).length),
              std::tuple(delay, delay, delay))
        << rate << " Hz, blocks of " << block << ", delay " << delay;
  }
}

TEST_F(LatencyPairTest, ProgrammeStillInTheChainDoesNotChangeWhatIsMeasured)
{
  // 0.5 s of stereo noise up to +-0.95 at 44.1 kHz in blocks of 512, then the measurement with the noise going on:
  // the delay found from a silent start. A chain slower than a window whose programme is still on its way keeps
  // the old value. Programme let through while Active is off (at block 525 or 590) restarts the wait for quiet
  // (until about block 545), or, once the impulse is on its way, ends the measurement with the old value; so do
  // silent pauses while each impulse is on its way (their counts would agree). On a silent chain, an impulse of a
  // measurement started again is something the chain still brings back: the new one waits for it. The next one,
  // from silence, sends its impulse at once.
  Prepare(*mSender, 44100.0, kBlock);
  Prepare(*mReceiver, 44100.0, kBlock);
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  struct Row
  {
    int delay, measured;
    std::vector<long> pauses = {};
    double level = 0.95;
    long restartAt = -1;
  };
  const Row rows[] = {{1, 1},         {44100, 44100},      {176400, 176400},          {250000, 123},
                      {600000, 123},  {100000, 100000, {525}}, {100000, 123, {590}},
                      {100000, 123, {100, 450}, 0.0}, {100000, 100000, {}, 0.0, 3}, {1, 1, {}, 0.0}};
  for (const auto& [delay, measured, pauses, level, restartAt] : rows)
  {
    mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
    mChain.Set(delay, 1.0);
    RunNoise(level > 0.0 ? 43 : 400, level, level);
    Measure(kBlock, level, level, pauses, restartAt);
    EXPECT_EQ(std::tuple(LatencyParam(), mReceiver->GetDelayLine(0).length, mReceiver->GetDelayLine(1).length,
                         mReceiver->GetLatencyDetector().Active()),
              std::tuple(measured, measured, measured, false))
        << "delay " << delay << ", level " << level;
    ClearRecordings();
  }
}

TEST_F(LatencyPairTest, DelayBeyondTheLinesIsClampedToTheirCapacity)
{
  mChain.Set(176500, 1.0);
  Measure();
  const int capacity = DelayLine::kCapacity;
  EXPECT_EQ(std::tuple(LatencyParam(), mReceiver->GetDelayLine(0).length, mReceiver->GetDelayLine(1).length),
            std::tuple(capacity, capacity, capacity));
}

TEST_F(LatencyPairTest, OnlyAReceiverMeasuresAndACancelOrAResetEndsIt)
{
  mSender->ToggleLatencyMeasurement();
  RunNoise(1);
  EXPECT_FALSE(mSender->IsMeasurementRunning() || mSender->GetLatencyDetector().Active());

  // The compensation stays, and the Sender plays normally again.
  mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
  mChain.Set(5000, 1.0); // long enough to be still measuring after a few blocks
  for (bool reset : {false, true})
  {
    mReceiver->ToggleLatencyMeasurement();
    RunNoise(3);
    ASSERT_TRUE(mReceiver->GetLatencyDetector().Active());
    if (reset)
      Prepare(*mReceiver, 44100.0, kBlock);
    else
      mReceiver->ToggleLatencyMeasurement();
    EXPECT_FALSE(mReceiver->IsMeasurementRunning());
    RunNoise(3);
    EXPECT_EQ(std::tuple(mReceiver->GetLatencyDetector().Active(), LatencyParam(), mSenderOutL == mSenderInL),
              std::tuple(false, 123, true));
  }
}

TEST_F(LatencyPairTest, MeasurementWithoutSenderEndsCleanly)
{
  mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
  Destroy(*mSender);
  mReceiver->ToggleLatencyMeasurement();
  ASSERT_EQ(mReceiver->GetLatencyDetector().windowLength, 178424); // 177400 + two blocks of 512
  RunReceiverAlone(mReceiver->GetLatencyDetector().windowLength / kBlock - 1);
  EXPECT_TRUE(mReceiver->IsMeasurementRunning()); // it waits one detection window for a Sender...
  RunReceiverAlone(3);
  EXPECT_FALSE(mReceiver->IsMeasurementRunning()); // ...then gives up
  EXPECT_EQ(std::pair(mReceiver->GetLatencyDetector().Active(), LatencyParam()), std::pair(false, 123));
}

} // namespace

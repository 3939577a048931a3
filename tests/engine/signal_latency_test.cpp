// Latency measurement through a Sender and a Receiver: the delay of the chain is found exactly, compensation
// lines pre-FX up with post-FX, the output is silent while measuring and fades in afterwards, and measurements
// that cannot succeed (no Sender, a Sender instance, a reset) end instead of running for ever.

#include "engine/support/signal_pair.h"

#include <algorithm>
#include <cmath>

using namespace plugin;
using testsupport::SignalPairTest;

namespace
{

class LatencyPairTest : public SignalPairTest
{
protected:
  // Runs cycles until the Receiver's measurement ends; returns the recorded index at which it started.
  size_t Measure(int maxBlocks = 3 * LatencyDetector::kWindowLength / kBlock + 8)
  {
    const size_t start = mOutL.size();
    mReceiver->ToggleLatencyMeasurement();
    EXPECT_TRUE(mReceiver->IsMeasurementRunning());
    for (int b = 0; b < maxBlocks && mReceiver->IsMeasurementRunning(); ++b)
      RunNoise(1);
    EXPECT_FALSE(mReceiver->IsMeasurementRunning());
    return start;
  }

  // Receiver blocks alone (its Sender is gone): noise in, output discarded.
  void RunReceiverAlone(int blocks)
  {
    std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int b = 0; b < blocks; ++b)
    {
      for (int i = 0; i < kBlock; ++i)
      {
        inL[size_t(i)] = 0.5 * mNoise.Next();
        inR[size_t(i)] = 0.5 * mNoise.Next();
      }
      double* in[2] = {inL.data(), inR.data()};
      double* out[2] = {outL.data(), outR.data()};
      mReceiver->ProcessBlock(in, out, kBlock);
    }
  }

  int LatencyParam() const { return int(mReceiver->GetParam(ZANIQ::kLatencyCompensation)->Value()); }
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
  EXPECT_EQ(LatencyParam(), delay);
  EXPECT_EQ(mReceiver->GetMirrorInt(ZANIQ::kLatencyCompensation), delay);
  EXPECT_EQ(mReceiver->GetDelayLine(0).length, delay);
  EXPECT_EQ(mReceiver->GetDelayLine(1).length, delay);
  // Silent while measuring (every block but the one in which it ended).
  EXPECT_EQ(MaxAbsOut(start, mOutL.size() - kBlock), 0.0);

  // With the delay compensated, the difference of a pure delay chain is nothing at all.
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);
  RunNoise(delay / kBlock + 3);
  ClearRecordings();
  RunNoise(20);
  EXPECT_EQ(MaxAbsOut(0, mOutL.size()), 0.0) << "delay " << delay;
}

INSTANTIATE_TEST_SUITE_P(Delays, ChainDelay, ::testing::Values(0, 1, 37, 700, 1000, 5000));

TEST_F(LatencyPairTest, CompensationLinesUpPreAndPost)
{
  mChain.Set(1000, 1.0);
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);

  RunNoise(6);
  EXPECT_GT(MaxAbsOut(3 * kBlock, mOutL.size()), 0.2); // uncompensated: the delta is loud

  mReceiver->Change(ZANIQ::kLatencyCompensation, 1000);
  RunNoise(4);
  ClearRecordings();
  RunNoise(10);
  EXPECT_EQ(MaxAbsOut(0, mOutL.size()), 0.0);

  // One sample off is heard again.
  mReceiver->Change(ZANIQ::kLatencyCompensation, 1001);
  RunNoise(4);
  ClearRecordings();
  RunNoise(4);
  EXPECT_GT(MaxAbsOut(0, mOutL.size()), 0.2);
}

TEST_F(LatencyPairTest, OutputFadesInOverFiveSeconds)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  RunNoise(2);
  const size_t start = Measure();
  // The first sample heard again is where the measurement ended: the fade starts at 1/length there.
  size_t finish = start;
  while (finish < mOutL.size() && mOutL[finish] == 0.0)
    ++finish;
  ASSERT_LT(finish, mOutL.size());
  const int length = mReceiver->GetFadeLength();
  EXPECT_EQ(length, 240000);

  RunNoise(int(5.2 * kRate) / kBlock);
  // After the Sender's silent block the output is the input times the ramp (i + 1) / length.
  for (size_t i = finish + 3 * kBlock; i < mOutL.size(); i += 997)
  {
    const double f = std::min(1.0, double(i - finish + 1) / length);
    ASSERT_NEAR(mOutL[i], f * mInL[i], 1e-12) << i - finish;
  }
  const size_t end = mOutL.size();
  EXPECT_EQ(MaxDeviation(1.0, end - kBlock, end), 0.0);
}

TEST_F(LatencyPairTest, DelayBeyondTheLinesIsClampedToTheirCapacity)
{
  mChain.Set(176500, 1.0);
  Measure();
  EXPECT_EQ(LatencyParam(), DelayLine::kCapacity);
  EXPECT_EQ(mReceiver->GetDelayLine(0).length, DelayLine::kCapacity);
  EXPECT_EQ(mReceiver->GetDelayLine(1).length, DelayLine::kCapacity);
}

TEST_F(LatencyPairTest, CancelLeavesTheCompensationAlone)
{
  mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
  mChain.Set(5000, 1.0); // long enough to be still measuring after a few blocks
  RunNoise(2);
  mReceiver->ToggleLatencyMeasurement();
  RunNoise(3);
  EXPECT_TRUE(mReceiver->GetLatencyDetector().active);
  mReceiver->ToggleLatencyMeasurement();
  EXPECT_FALSE(mReceiver->IsMeasurementRunning());
  RunNoise(3);
  EXPECT_FALSE(mReceiver->GetLatencyDetector().active);
  EXPECT_EQ(LatencyParam(), 123);
  // The Sender plays normally again.
  EXPECT_EQ(mSenderOutL, mSenderInL);
}

TEST_F(LatencyPairTest, MeasurementWithoutSenderEndsCleanly)
{
  mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
  Destroy(*mSender);
  mReceiver->ToggleLatencyMeasurement();
  RunReceiverAlone(LatencyDetector::kWindowLength / kBlock - 1);
  EXPECT_TRUE(mReceiver->IsMeasurementRunning()); // it waits one detection window for a Sender...
  RunReceiverAlone(3);
  EXPECT_FALSE(mReceiver->IsMeasurementRunning()); // ...then gives up
  EXPECT_FALSE(mReceiver->GetLatencyDetector().active);
  EXPECT_EQ(LatencyParam(), 123);
}

TEST_F(LatencyPairTest, OnlyAReceiverMeasures)
{
  mSender->ToggleLatencyMeasurement();
  EXPECT_TRUE(mSender->IsMeasurementRunning());
  RunNoise(1);
  EXPECT_FALSE(mSender->IsMeasurementRunning());
  EXPECT_FALSE(mSender->GetLatencyDetector().active);
}

TEST_F(LatencyPairTest, ResetDuringAMeasurementEndsIt)
{
  mChain.Set(5000, 1.0);
  mReceiver->ToggleLatencyMeasurement();
  RunNoise(2);
  ASSERT_TRUE(mReceiver->GetLatencyDetector().active);
  Prepare(*mReceiver, 44100.0, kBlock);
  EXPECT_FALSE(mReceiver->IsMeasurementRunning());
  EXPECT_FALSE(mReceiver->GetLatencyDetector().active);
}

} // namespace

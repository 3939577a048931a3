// Latency measurement through a Sender and a Receiver: the delay of the chain is found exactly, compensation
// lines pre-FX up with post-FX, the output is silent while measuring, and measurements that cannot succeed (no
// Sender, a Sender instance, a reset) end instead of running for ever. (The fade-in after a measurement is checked
// sample by sample on its own and end to end through the host.)

#include "engine/support/signal_pair.h"

using namespace plugin;
using namespace testsupport;

namespace
{

class LatencyPairTest : public SignalPairTest
{
protected:
  // Runs cycles until the Receiver's measurement ends; returns the recorded index at which it started.
  size_t Measure()
  {
    const size_t start = mOutL.size();
    mReceiver->ToggleLatencyMeasurement();
    EXPECT_TRUE(mReceiver->IsMeasurementRunning());
    for (int b = 0; b < 3 * LatencyDetector::kWindowLength / kBlock + 8 && mReceiver->IsMeasurementRunning(); ++b)
      RunNoise(1);
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
  EXPECT_FALSE(mSender->IsMeasurementRunning() || mSender->GetLatencyDetector().active);

  // The compensation stays, and the Sender plays normally again.
  mReceiver->Change(ZANIQ::kLatencyCompensation, 123);
  mChain.Set(5000, 1.0); // long enough to be still measuring after a few blocks
  for (bool reset : {false, true})
  {
    mReceiver->ToggleLatencyMeasurement();
    RunNoise(3);
    ASSERT_TRUE(mReceiver->GetLatencyDetector().active);
    if (reset)
      Prepare(*mReceiver, 44100.0, kBlock);
    else
      mReceiver->ToggleLatencyMeasurement();
    EXPECT_FALSE(mReceiver->IsMeasurementRunning());
    RunNoise(3);
    EXPECT_EQ(std::tuple(mReceiver->GetLatencyDetector().active, LatencyParam(), mSenderOutL == mSenderInL),
              std::tuple(0, 123, true));
  }
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
  EXPECT_EQ(std::pair(mReceiver->GetLatencyDetector().active, LatencyParam()), std::pair(0, 123));
}

} // namespace

// A Sender and a Receiver on two audio threads while the main thread changes parameters (which reach the DSP state
// only through the requests applied at the start of a block), starts and cancels latency measurements, leaves peer
// commands, runs the idle work and reads what the editor shows (run under ThreadSanitizer in CI).

#include "engine/support/signal_pair.h"

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace plugin;
using testsupport::AudioThreads;
using testsupport::SignalPairTest;
using testsupport::TestZANIQ;

TEST_F(SignalPairTest, SignalPathAgainstTheMainThread)
{
  TestZANIQ& sender = *mSender;
  TestZANIQ& receiver = *mReceiver;
  receiver.Change(ZANIQ::kDisableStorageGainDiff, 0); // the audio thread stores the match every half second

  std::atomic<bool> finite{true};
  auto audio = [&finite](TestZANIQ& z, unsigned seed, const std::atomic<bool>& stop) {
    std::vector<double> inL(256), inR(256), outL(256), outR(256);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    unsigned state = seed;
    while (!stop.load())
    {
      for (int i = 0; i < 256; ++i)
      {
        state = state * 1664525u + 1013904223u;
        inL[size_t(i)] = (double(state >> 8) / 16777216.0 - 0.5) * 0.8;
        inR[size_t(i)] = -inL[size_t(i)] * 0.5;
      }
      z.ProcessBlock(in, out, 256);
      if (!testsupport::AllFinite(outL) || !testsupport::AllFinite(outR)) finite.store(false);
    }
  };
  AudioThreads threads(sender, receiver, audio);

  LinkSlot& slot = LinkRegistry::Instance().Slot(receiver.GetLinkID());
  const int codes[] = {ZANIQ::kDriveFX, ZANIQ::kResetSenderRMS, ZANIQ::kMatchPreFXDiffGain, ZANIQ::kReset2,
                       ZANIQ::kMatchMode, ZANIQ::kMatchLoudness, ZANIQ::kPrePostFX};
  double seen = 0.0;
  for (int i = 0; i < 400; ++i)
  {
    if (i % 25 == 0) receiver.ToggleLatencyMeasurement();
    if (i % 10 == 0) sender.ToggleLatencyMeasurement(); // a Sender ends it on its own
    const int code = codes[i % 7];
    slot.PostCommand(code, code == ZANIQ::kMatchMode ? double(i % 2) : (code == ZANIQ::kDriveFX ? 3.0 : 1.0));
    // Main-thread changes reach the DSP state only through requests applied at the start of a block.
    receiver.Change(ZANIQ::kEnableOverProtection, i % 2);
    receiver.Change(ZANIQ::kMeterMode, i % kNumMeterModes);
    receiver.Change(ZANIQ::kRMSWindow, 100 + i);
    receiver.Change(ZANIQ::kOverProtectionLevel, double(i % 7) - 3.0);
    receiver.Change(ZANIQ::kLatencyCompensation, (i * 37) % 2000);
    receiver.Change(ZANIQ::kGainDiffStore, double(i % 13) - 6.0);
    receiver.Change(ZANIQ::kPreGainDiffStore, double(i % 5) - 2.0);
    receiver.Change(ZANIQ::kResetGainDiff, i % 2);
    receiver.Change(ZANIQ::kResetSenderRMS, i % 2);
    receiver.Change(ZANIQ::kMatchMode, i % 3);
    sender.Change(ZANIQ::kDriveFX, double(i % 9));
    sender.Change(ZANIQ::kActive, (i / 10) % 2);
    receiver.OnIdle();
    sender.OnIdle();
    seen += receiver.GetPreFXLevel() + receiver.GetPostFXLevel() + receiver.GetGainReductionValue() +
            receiver.GetMatchGain() + receiver.GetGainToMatch() + receiver.GetPreMaxRatio() +
            double(receiver.IsMeasurementRunning()) + double(receiver.IsReceiving()) +
            double(sender.IsSenderLinked()) + sender.GetLinkGain();
    std::this_thread::yield();
  }

  threads.Join();
  EXPECT_TRUE(finite.load());
  EXPECT_TRUE(std::isfinite(seen));

  // The last requests are applied by the next block.
  if (receiver.IsMeasurementRunning()) receiver.ToggleLatencyMeasurement();
  receiver.Change(ZANIQ::kOverProtectionLevel, 6.0);
  receiver.Change(ZANIQ::kLatencyCompensation, 1234);
  receiver.Change(ZANIQ::kMeterMode, kMeterMaxPeak);
  receiver.RunBlock();
  EXPECT_NEAR(receiver.GetOverProtection(0).ceiling, std::pow(10.0, 6.0 / 20.0), 1e-12);
  EXPECT_EQ(std::tuple(receiver.PendingDSPRequests(), receiver.GetDelayLine(1).length, receiver.GetPreFXMeter().Mode()),
            std::tuple(0u, 1234, int(kMeterMaxPeak)));
}

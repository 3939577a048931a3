// Parameter changes on the main thread while the audio thread processes: the changes reach the DSP state only
// through the requests applied at the start of a block, so nothing races (run under ThreadSanitizer in CI).

#include "engine/support/zaniq_env.h"

#include <atomic>
#include <vector>

using namespace plugin;
using testsupport::AudioThreads;
using testsupport::TestZANIQ;
using testsupport::ZaniqTest;

TEST_F(ZaniqTest, MainThreadChangesDoNotRaceTheAudioThread)
{
  TestZANIQ& sender = Make();
  TestZANIQ& receiver = Make();
  ASSERT_EQ(receiver.GetPluginMode(), kLinkReceiver);

  auto audio = [](TestZANIQ& z, unsigned, const std::atomic<bool>& stop) {
    std::vector<double> inL(128, 0.25), inR(128, -0.25), outL(128), outR(128);
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    while (!stop.load()) z.ProcessBlock(in, out, 128);
  };
  AudioThreads threads(sender, receiver, audio);

  for (int i = 0; i < 300; ++i)
  {
    receiver.Change(ZANIQ::kMeterMode, i % kNumMeterModes);
    receiver.Change(ZANIQ::kRMSWindow, 100 + i);
    receiver.Change(ZANIQ::kOverProtectionLevel, double(i % 7) - 3.0);
    receiver.Change(ZANIQ::kLatencyCompensation, (i * 37) % 2000);
    receiver.Change(ZANIQ::kGainDiffStore, double(i % 13) - 6.0);
    receiver.Change(ZANIQ::kPreGainDiffStore, double(i % 5) - 2.0);
    receiver.Change(ZANIQ::kResetSenderRMS, i % 2);
    receiver.Change(ZANIQ::kMatchMode, i % 3);
    receiver.Change(ZANIQ::kResetGainDiff, i % 2);
    sender.Change(ZANIQ::kDriveFX, double(i % 9));
    sender.Change(ZANIQ::kActive, (i / 10) % 2);
  }
  receiver.Change(ZANIQ::kOverProtectionLevel, 6.0);
  receiver.Change(ZANIQ::kLatencyCompensation, 1234);
  receiver.Change(ZANIQ::kMeterMode, kMeterMaxPeak);

  threads.Join();

  // The last requests are applied by the next block.
  receiver.RunBlock();
  EXPECT_NEAR(receiver.GetOverProtection(0).ceiling, std::pow(10.0, 6.0 / 20.0), 1e-12);
  EXPECT_EQ(std::tuple(receiver.PendingDSPRequests(), receiver.GetDelayLine(1).length, receiver.GetPreFXMeter().Mode()),
            std::tuple(0u, 1234, int(kMeterMaxPeak)));
}

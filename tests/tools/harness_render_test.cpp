// The harness's audio plumbing on its own terms: buffer sources, effects, chains, the render loop's errors,
// the run-loop pump and status texts.

#include "au/testplug/TestBundles.h"

#include <CoreFoundation/CFTesting.h>

#include <cmath>
#include <cstring>

using namespace auhost;
using namespace testbundles;

namespace
{

AudioData Ramp(uint32_t channels, uint64_t frames)
{
  AudioData data;
  data.Resize(channels, frames);
  for (uint32_t c = 0; c < channels; ++c)
    for (uint64_t i = 0; i < frames; ++i) data.channels[c][i] = static_cast<float>(c * 1000 + i + 1);
  return data;
}

class FailingSource final : public AudioSource
{
public:
  OSStatus Pull(const AudioTimeStamp& ts, UInt32, AudioBufferList*) override
  {
    return ts.mSampleTime >= 64 ? OSStatus(-42) : OSStatus(noErr);
  }
};

} // namespace

TEST(HarnessSource, BufferSourcePlaysItsDataAndSilenceAround)
{
  const AudioData data = Ramp(2, 10);
  BufferSource source(data, 8);
  float a[8], b[8], c[8];
  float* pointers[3] = {a, b, c};
  BufferListStorage storage;
  AudioBufferList* list = storage.Make(8, pointers, 3);
  ASSERT_EQ(source.Pull(MakeTimeStamp(-3), 8, list), noErr);
  EXPECT_EQ(std::vector<float>(a, a + 8), (std::vector<float>{0, 0, 0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(std::vector<float>(b, b + 8), (std::vector<float>{0, 0, 0, 1001, 1002, 1003, 1004, 1005}));
  EXPECT_EQ(std::vector<float>(c, c + 8), std::vector<float>(8, 0.f)); // no third channel
  ASSERT_EQ(source.Pull(MakeTimeStamp(6), 8, list), noErr);
  EXPECT_EQ(std::vector<float>(a, a + 8), (std::vector<float>{7, 8, 9, 10, 0, 0, 0, 0}));

  // Buffers without memory get the source's own; more frames than it prepared for are refused.
  float* none[2] = {nullptr, nullptr};
  list = storage.Make(8, none, 2);
  ASSERT_EQ(source.Pull(MakeTimeStamp(0), 8, list), noErr);
  EXPECT_EQ(static_cast<float*>(list->mBuffers[1].mData)[7], 1008.f);
  list = storage.Make(9, none, 2);
  EXPECT_EQ(source.Pull(MakeTimeStamp(0), 9, list), kAudio_ParamError);
  // A buffer smaller than the frames.
  list = storage.Make(8, pointers, 1);
  list->mBuffers[0].mDataByteSize = 4 * 7;
  EXPECT_EQ(source.Pull(MakeTimeStamp(0), 8, list), kAudio_ParamError);

  // The in-process gain between instances: a gain that is not a number is no gain.
  EXPECT_NEAR(GainEffect(-20.0).Factor(), 0.1, 1e-15);
  EXPECT_EQ(GainEffect(std::nan("")).Factor(), 1.0);
}

TEST(HarnessChain, RenderStopsAtTheFirstErrorWithWhatCameBefore)
{
  std::shared_ptr<const Bundle> bundle;
  ASSERT_OK(Bundle::Load(GainBundlePath(), bundle));
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(bundle->Main().component, unit));
  ASSERT_OK(unit->Prepare(44100.0, 1, 1, 32));
  FailingSource failing;
  Chain chain;
  EXPECT_EQ(chain.Connect(&failing).message(), "chain: no instances");
  chain.Append(*unit);
  ASSERT_OK(chain.Connect(&failing));
  AudioData out;
  const Status s = RenderFrames(*unit, 200, 1, 32, 44100.0, nullptr, out);
  EXPECT_EQ(s.code(), -42);
  EXPECT_EQ(s.message(), "render at sample 64: OSStatus (-42)");
  EXPECT_EQ(out.NFrames(), 64u);
  EXPECT_EQ(RenderFrames(*unit, 10, 1, 0, 44100.0, nullptr, out).message(), "render: block size 0");
  chain.Disconnect();
}

TEST(HarnessChain, AnInstrumentNeedsNoSource)
{
  std::shared_ptr<const Bundle> synthBundle, gainBundle;
  ASSERT_OK(Bundle::Load(SynthBundlePath(), synthBundle));
  ASSERT_OK(Bundle::Load(GainBundlePath(), gainBundle));
  std::unique_ptr<Instance> synth, gain;
  ASSERT_OK(Instance::Open(synthBundle->Main().component, synth));
  ASSERT_OK(Instance::Open(gainBundle->Main().component, gain));
  ASSERT_OK(synth->Prepare(48000.0, 0, 2, 128));
  ASSERT_OK(gain->Prepare(48000.0, 2, 2, 128));
  Chain chain;
  chain.Append(*synth);
  chain.Append(*gain);
  ASSERT_OK(chain.Connect(nullptr));
  AudioData out;
  ASSERT_OK(RenderFrames(*gain, 300, 2, 128, 48000.0, nullptr, out));
  EXPECT_EQ(out.NFrames(), 300u);
  for (const auto& ch : out.channels) EXPECT_EQ(ch, std::vector<float>(300, 0.f)); // no note is held
}

TEST(HarnessRunLoop, PumpKeepsThePlugInsTimersGoing)
{
  const bool wasVirtual = ZQCFIsVirtualClock();
  std::shared_ptr<const Bundle> bundle;
  ASSERT_OK(Bundle::Load(GainBundlePath(), bundle));
  {
    RunLoopPump pump(ClockMode::Virtual);
    EXPECT_TRUE(ZQCFIsVirtualClock());
    std::unique_ptr<Instance> unit;
    ASSERT_OK(Instance::Open(bundle->Main().component, unit));
    // Idle timers of 20 ms: 0.1 s of virtual time fires each of them about five times.
    const int callouts = pump.Pump(0.1);
    EXPECT_GE(callouts, 5);
    EXPECT_EQ(pump.Pump(std::nan("")), 0);
  }
  EXPECT_EQ(ZQCFIsVirtualClock(), wasVirtual);
  RunLoopPump realTime(ClockMode::RealTime);
  EXPECT_FALSE(ZQCFIsVirtualClock());
  EXPECT_EQ(realTime.Pump(0.0), 0);
}

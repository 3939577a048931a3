// Rendering the test bundle through its input callback: frame limits, one pull per sample time, upstream errors,
// render notifications, bypass, the plug-in's own processing, and chains of instances in one process.

#include "au/testplug/TestBundles.h"

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

AudioData Noise(UInt32 channels, uint64_t frames, unsigned seed = 1)
{
  AudioData data;
  data.sampleRate = 48000.0;
  data.Resize(channels, frames);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.f, 1.f);
  for (auto& ch : data.channels)
    for (float& s : ch) s = dist(rng);
  return data;
}

// A source that always fails with the status it is given.
class FailingSource final : public AudioSource
{
public:
  explicit FailingSource(OSStatus status) : mStatus(status) {}
  OSStatus Pull(const AudioTimeStamp&, UInt32, AudioBufferList*) override { return mStatus; }

private:
  OSStatus mStatus;
};

struct NotifyCall
{
  AudioUnitRenderActionFlags flags;
  double sampleTime;
  UInt32 bus;
  UInt32 frames;
  const AudioBufferList* data;
};

OSStatus RecordNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                      UInt32 frames, AudioBufferList* data)
{
  static_cast<std::vector<NotifyCall>*>(refCon)->push_back({*flags, ts->mSampleTime, bus, frames, data});
  return noErr;
}

class BundleRender : public BundleHost
{
protected:
  static constexpr UInt32 kBlock = 256;

  void Prepare(UInt32 channels, uint64_t frames = 4 * kBlock)
  {
    mInput = Noise(channels, frames);
    ASSERT_OK(mUnit->Prepare(48000.0, channels, channels, kBlock));
    mSource = std::make_unique<BufferSource>(mInput, kBlock);
    ASSERT_OK(mUnit->ConnectInput(mSource.get()));
    mOut.assign(static_cast<size_t>(channels) * kBlock, 0.f);
  }

  OSStatus Render(double sampleTime, UInt32 frames)
  {
    float* channels[Instance::kMaxChannels];
    for (UInt32 c = 0; c < mInput.NChannels(); ++c) channels[c] = mOut.data() + static_cast<size_t>(c) * kBlock;
    return mUnit->RenderBlock(sampleTime, frames, channels, mInput.NChannels());
  }

  float Out(UInt32 channel, UInt32 i) const { return mOut[static_cast<size_t>(channel) * kBlock + i]; }
  float In(UInt32 channel, uint64_t frame) const { return mInput.channels[channel][frame]; }

  AudioData mInput;
  std::unique_ptr<BufferSource> mSource;
  std::vector<float> mOut;
};

} // namespace

TEST_F(BundleRender, FrameCountUpToMaximumFramesPerSlice)
{
  Prepare(2);
  EXPECT_EQ(Render(0, kBlock), noErr);
  EXPECT_EQ(Render(kBlock, kBlock + 1), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Render(kBlock, 1), noErr);
  // Without a valid sample time nothing is rendered.
  AudioTimeStamp ts = MakeTimeStamp(0);
  ts.mFlags = kAudioTimeStampHostTimeValid;
  BufferListStorage storage;
  float* channels[2] = {mOut.data(), mOut.data() + kBlock};
  AudioUnitRenderActionFlags flags = 0;
  EXPECT_EQ(mUnit->Render(&flags, ts, 0, kBlock, storage.Make(kBlock, channels, 2)), kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(BundleRender, InputIsPulledOncePerSampleTime)
{
  Prepare(2);
  ASSERT_EQ(Render(0, kBlock), noErr);
  EXPECT_EQ(mSource->PullCount(), 1u);
  ASSERT_EQ(Render(0, kBlock), noErr); // a second render at the same time reuses the pulled input
  EXPECT_EQ(mSource->PullCount(), 1u);
  for (UInt32 i = 0; i < kBlock; ++i) EXPECT_EQ(Out(1, i), In(1, i)) << i;
  ASSERT_EQ(Render(kBlock, kBlock), noErr);
  EXPECT_EQ(mSource->PullCount(), 2u);
  for (UInt32 i = 0; i < kBlock; ++i) EXPECT_EQ(Out(0, i), In(0, kBlock + i)) << i;
}

TEST_F(BundleRender, NotificationsBracketEveryRender)
{
  Prepare(2);
  std::vector<NotifyCall> calls;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &calls), noErr);
  ASSERT_EQ(Render(512, 100), noErr);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].flags, kAudioUnitRenderAction_PreRender);
  EXPECT_EQ(calls[1].flags, kAudioUnitRenderAction_PostRender);
  for (const NotifyCall& c : calls)
  {
    EXPECT_EQ(c.sampleTime, 512.0);
    EXPECT_EQ(c.bus, 0u);
    EXPECT_EQ(c.frames, 100u);
    EXPECT_NE(c.data, nullptr);
  }
  // Removed: silent again.
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &RecordNotify, &calls), noErr);
  ASSERT_EQ(Render(612, 100), noErr);
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(BundleRender, RemovingANotificationKeepsOtherUserData)
{
  Prepare(2);
  std::vector<NotifyCall> first, second;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &first), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &second), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &RecordNotify, &second), noErr);
  ASSERT_EQ(Render(0, kBlock), noErr);
  EXPECT_EQ(first.size(), 2u);
  EXPECT_EQ(second.size(), 0u);
  // The same registration twice: one removal takes one of them.
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &first), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &RecordNotify, &first), noErr);
  ASSERT_EQ(Render(kBlock, kBlock), noErr);
  EXPECT_EQ(first.size(), 4u);
}

TEST_F(BundleRender, UpstreamErrorIsPassedThroughWithoutPostRender)
{
  Prepare(2);
  std::vector<NotifyCall> calls;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &calls), noErr);
  FailingSource failing(-12345);
  ASSERT_OK(mUnit->ConnectInput(&failing));
  std::fill(mOut.begin(), mOut.end(), 3.f);
  EXPECT_EQ(Render(0, kBlock), -12345);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].flags, kAudioUnitRenderAction_PreRender);
  // The next block with a working source renders normally.
  ASSERT_OK(mUnit->ConnectInput(mSource.get()));
  calls.clear();
  EXPECT_EQ(Render(kBlock, kBlock), noErr);
  EXPECT_EQ(calls.size(), 2u);
  for (UInt32 i = 0; i < kBlock; ++i) EXPECT_EQ(Out(0, i), In(0, kBlock + i)) << i;
}

TEST_F(BundleRender, WithoutInputCallbackTheInputIsSilence)
{
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, kBlock));
  std::vector<float> out(2 * kBlock, 5.f);
  float* channels[2] = {out.data(), out.data() + kBlock};
  ASSERT_EQ(mUnit->RenderBlock(0, kBlock, channels, 2), noErr);
  for (float s : out) EXPECT_EQ(s, 0.f);
  // A host passing no memory gets the unit's own buffers.
  float* none[2] = {nullptr, nullptr};
  ASSERT_EQ(mUnit->RenderBlock(kBlock, kBlock, none, 2), noErr);
  ASSERT_NE(none[0], nullptr);
  ASSERT_NE(none[1], nullptr);
  EXPECT_NE(none[0], none[1]);
}

TEST_F(BundleRender, BypassIsBitExact)
{
  Prepare(2);
  ASSERT_OK(mUnit->SetParameter(kGain, -6.f));
  ASSERT_OK(mUnit->SetParameter(kMode, 1.f));
  ASSERT_OK(mUnit->SetParameter(kDelay, 3.f));
  ASSERT_OK(mUnit->SetBypass(true));
  UInt32 bypassed = 0;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, bypassed));
  EXPECT_EQ(bypassed, 1u);
  ASSERT_EQ(Render(0, kBlock), noErr);
  for (UInt32 c = 0; c < 2; ++c)
    EXPECT_EQ(std::memcmp(&mOut[c * kBlock], mInput.channels[c].data(), kBlock * sizeof(float)), 0) << c;
  ASSERT_OK(mUnit->SetBypass(false));
  ASSERT_EQ(Render(kBlock, kBlock), noErr);
  const double factor = -std::pow(10.0, -6.0 / 20.0);
  for (UInt32 i = 3; i < kBlock; ++i) EXPECT_NEAR(Out(0, i), factor * In(0, kBlock + i - 3), 1e-6) << i;
}

TEST_F(BundleRender, ProcessingFollowsTheParameters)
{
  Prepare(1, 8 * kBlock);
  ASSERT_OK(mUnit->SetParameter(kGain, -20.f));
  ASSERT_OK(mUnit->SetParameter(kDelay, 5.f));
  std::vector<float> all;
  for (UInt32 b = 0; b < 4; ++b)
  {
    ASSERT_EQ(Render(b * kBlock, kBlock), noErr);
    all.insert(all.end(), mOut.begin(), mOut.begin() + kBlock);
  }
  for (size_t i = 0; i < all.size(); ++i)
  {
    const double expected = i < 5 ? 0.0 : 0.1 * In(0, i - 5); // -20 dB is 0.1, delayed across block edges
    ASSERT_NEAR(all[i], expected, 1e-6) << i;
  }
  ASSERT_OK(mUnit->SetParameterFromText("Mode", "Half"));
  ASSERT_OK(mUnit->SetParameterFromText("Delay", "0"));
  ASSERT_OK(mUnit->SetParameterFromText("Gain", "0"));
  ASSERT_EQ(Render(4 * kBlock, kBlock), noErr);
  for (UInt32 i = 0; i < kBlock; ++i) EXPECT_NEAR(Out(0, i), 0.5 * In(0, 4 * kBlock + i), 1e-7) << i;
  ASSERT_OK(mUnit->SetParameterFromText("Mute", "on"));
  ASSERT_EQ(Render(5 * kBlock, kBlock), noErr);
  for (UInt32 i = 0; i < kBlock; ++i) EXPECT_EQ(Out(0, i), 0.f) << i;
}

TEST_F(BundleRender, ChainPullsTheUpstreamInstanceThroughTheEffect)
{
  // A (-12 dB, delay 2) -> +12 dB in process -> B (delay 3): the input, delayed by 5.
  std::unique_ptr<Instance> a;
  ASSERT_OK(Instance::Open(mBundle->Main().component, a));
  std::unique_ptr<Instance>& b = mUnit;
  const AudioData input = Noise(2, 3000, 7);
  for (Instance* unit : {a.get(), b.get()}) ASSERT_OK(unit->Prepare(input.sampleRate, 2, 2, 500));
  ASSERT_OK(a->SetParameterFromText("Gain", "-12"));
  ASSERT_OK(a->SetParameterFromText("Delay", "2"));
  ASSERT_OK(b->SetParameterFromText("Delay", "3"));

  BufferSource source(input, 500);
  GainEffect boost(12.0);
  Chain chain;
  chain.Append(*a);
  chain.Append(*b, &boost);
  ASSERT_EQ(chain.Last(), b.get());
  ASSERT_OK(chain.Connect(&source));
  AudioData out;
  RunLoopPump pump(ClockMode::Virtual);
  ASSERT_OK(RenderFrames(*b, input.NFrames(), 2, 500, input.sampleRate, &pump, out));
  EXPECT_EQ(source.PullCount(), 6u); // one pull per block, through A
  ASSERT_EQ(out.NFrames(), input.NFrames());
  const double gain = std::pow(10.0, -12.0 / 20.0) * static_cast<float>(std::pow(10.0, 12.0 / 20.0));
  for (UInt32 c = 0; c < 2; ++c)
    for (uint64_t i = 0; i < out.NFrames(); ++i)
      ASSERT_NEAR(out.channels[c][i], i < 5 ? 0.0 : gain * input.channels[c][i - 5], 1e-6) << c << " " << i;
  chain.Disconnect();
}

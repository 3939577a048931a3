// Rendering the test bundle through its input callback: argument checks, one pull per sample time, upstream errors
// and missing buffers, render notifications, host callbacks and bypass. (Processing through the harness, chains of
// instances included, is covered by the harness's own tests.)

#include "au/testplug/TestBundles.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

// A source that fills buffer 0 with 0.25, leaves the others without data and returns the status it is given.
class OddSource final : public AudioSource
{
public:
  explicit OddSource(OSStatus status) : mStatus(status) {}
  OSStatus Pull(const AudioTimeStamp&, UInt32 frames, AudioBufferList* data) override
  {
    std::fill_n(static_cast<float*>(data->mBuffers[0].mData), frames, 0.25f);
    for (UInt32 k = 1; k < data->mNumberBuffers; ++k) data->mBuffers[k].mData = nullptr;
    return mStatus;
  }

private:
  OSStatus mStatus;
};

struct NotifyCall
{
  AudioUnitRenderActionFlags flags;
  double sampleTime;
  UInt32 bus, frames;
};

OSStatus RecordNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                      UInt32 frames, AudioBufferList*)
{
  static_cast<std::vector<NotifyCall>*>(refCon)->push_back({*flags, ts->mSampleTime, bus, frames});
  return noErr;
}

// Removes `victim` from the list while the render is calling it.
struct Remover
{
  AudioUnit unit;
  std::vector<NotifyCall>* victim;
};
OSStatus RemoveDuringRender(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                            AudioBufferList*)
{
  auto* r = static_cast<Remover*>(refCon);
  return *flags == kAudioUnitRenderAction_PreRender ? AudioUnitRemoveRenderNotify(r->unit, &RecordNotify, r->victim)
                                                    : OSStatus{noErr};
}

// Adds `late` to the list while the render calls the pre-render notifications, once.
struct Adder
{
  AudioUnit unit;
  std::vector<NotifyCall>* late;
  bool done = false;
};
OSStatus AddDuringRender(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                         AudioBufferList*)
{
  auto* a = static_cast<Adder*>(refCon);
  if (!(*flags & kAudioUnitRenderAction_PreRender) || std::exchange(a->done, true)) return noErr;
  return AudioUnitAddRenderNotify(a->unit, &RecordNotify, a->late);
}

// Stereo noise at 48 kHz through the input callback, blocks of up to kBlock.
class BundleRender : public BundleHost
{
protected:
  static constexpr UInt32 kBlock = 256;

  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(BundleHost::SetUp());
    mInput.Resize(2, 4 * kBlock);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-1.f, 1.f);
    for (auto& ch : mInput.channels) std::ranges::generate(ch, [&] { return dist(rng); });
    ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, kBlock));
    mSource = std::make_unique<BufferSource>(mInput, kBlock);
    ASSERT_OK(mUnit->ConnectInput(mSource.get()));
    mOut.assign(2 * kBlock, 0.f);
  }

  OSStatus Render(double sampleTime, UInt32 frames)
  {
    float* channels[2] = {mOut.data(), mOut.data() + kBlock};
    return mUnit->RenderBlock(sampleTime, frames, channels, 2);
  }
  // Output channel c equals input frames [first, first + kBlock) of channel c, with `silent` leading zeros.
  ::testing::AssertionResult OutIsInput(uint64_t first, int shift = 0, UInt32 silent = 0) const
  {
    for (UInt32 c = 0; c < 2; ++c)
      for (UInt32 i = 0; i < kBlock; ++i)
        if (mOut[c * kBlock + i] != (i < silent ? 0.f : mInput.channels[c][first + i - shift]))
          return ::testing::AssertionFailure() << "channel " << c << " sample " << i;
    return ::testing::AssertionSuccess();
  }

  AudioData mInput;
  std::unique_ptr<BufferSource> mSource;
  std::vector<float> mOut;
};

} // namespace

TEST_F(BundleRender, RefusesBadArgumentsBeforeTouchingAnything)
{
  std::vector<NotifyCall> calls;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &calls), noErr);
  std::fill(mOut.begin(), mOut.end(), 9.f);
  const AudioTimeStamp ts = MakeTimeStamp(0);
  AudioTimeStamp noSampleTime = ts;
  noSampleTime.mFlags = kAudioTimeStampHostTimeValid;
  const struct
  {
    const char* what;
    const AudioTimeStamp* ts;
    UInt32 bus, frames, bytes1; // bytes1: the second buffer's size
    bool list;
    OSStatus status;
  } cases[] = {
    {"over MaximumFramesPerSlice", &ts, 0, kBlock + 1, 4 * kBlock, true, kAudioUnitErr_InvalidPropertyValue},
    {"no such bus", &ts, 1, 64, 4 * kBlock, true, kAudioUnitErr_InvalidElement},
    {"no time stamp", nullptr, 0, 64, 4 * kBlock, true, kAudio_ParamError},
    {"no buffer list", &ts, 0, 64, 4 * kBlock, false, kAudio_ParamError},
    {"no sample time", &noSampleTime, 0, 64, 4 * kBlock, true, kAudioUnitErr_InvalidPropertyValue},
    {"a buffer one frame short", &ts, 0, 64, 63 * 4, true, kAudioUnitErr_InvalidPropertyValue},
  };
  for (const auto& c : cases)
  {
    BufferListStorage storage;
    float* channels[2] = {mOut.data(), mOut.data() + kBlock};
    AudioBufferList* list = storage.Make(c.frames, channels, 2);
    list->mBuffers[1].mDataByteSize = c.bytes1;
    AudioUnitRenderActionFlags flags = 0;
    EXPECT_EQ(AudioUnitRender(Unit(), &flags, c.ts, c.bus, c.frames, c.list ? list : nullptr), c.status) << c.what;
  }
  EXPECT_EQ(mSource->PullCount(), 0u);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(std::ranges::all_of(mOut, [](float s) { return s == 9.f; }));
  EXPECT_EQ(Render(0, kBlock), noErr);
}

TEST_F(BundleRender, NotificationsBracketEveryRenderUntilRemovedAndUpstreamErrorsPassThrough)
{
  std::vector<NotifyCall> first, second;
  EXPECT_EQ(AudioUnitAddRenderNotify(Unit(), nullptr, &first), kAudio_ParamError);
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &first), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &second), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &RecordNotify, &second), noErr); // removal goes by user data too
  ASSERT_EQ(Render(512, 100), noErr);
  EXPECT_TRUE(second.empty());
  ASSERT_EQ(first.size(), 2u);
  for (const NotifyCall& c : first)
    EXPECT_EQ(std::tuple(c.flags, c.sampleTime, c.bus, c.frames),
              std::tuple(&c == &first[0] ? kAudioUnitRenderAction_PreRender : kAudioUnitRenderAction_PostRender,
                         512.0, 0u, 100u));

  // A removal while the render walks the list retires that list; it must live until the render ends (the
  // sanitizers see a walk through freed memory), and the render calls after processing what it called before.
  Remover remover = {Unit(), &second};
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RemoveDuringRender, &remover), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &RecordNotify, &second), noErr);
  ASSERT_EQ(Render(612, 100), noErr);
  ASSERT_EQ(Render(712, 100), noErr);
  EXPECT_EQ(second.size(), 2u);

  // An addition while the render walks the list waits for the next render, which brackets with it.
  std::vector<NotifyCall> late;
  Adder adder = {Unit(), &late};
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &AddDuringRender, &adder), noErr);
  ASSERT_EQ(Render(812, 100), noErr);
  EXPECT_TRUE(late.empty());
  ASSERT_EQ(Render(912, 100), noErr);
  EXPECT_EQ(late.size(), 2u);

  // An upstream error is handed back, without the post-render notification.
  first.clear();
  OddSource failing(-12345);
  ASSERT_OK(mUnit->ConnectInput(&failing));
  EXPECT_EQ(Render(1012, 100), -12345);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].flags, kAudioUnitRenderAction_PreRender);
}

TEST_F(BundleRender, InputIsPulledOncePerSampleTimeAndMissingBuffersAreSilence)
{
  ASSERT_EQ(Render(0, kBlock), noErr);
  ASSERT_EQ(Render(0, kBlock), noErr); // a second render at the same time reuses the pulled input
  EXPECT_EQ(mSource->PullCount(), 1u);
  EXPECT_TRUE(OutIsInput(0));

  ASSERT_OK(mUnit->ConnectInput(nullptr));
  std::vector<float> a(kBlock, 5.f), b(kBlock, 5.f);
  float* channels[2] = {a.data(), b.data()};
  auto all = [](const std::vector<float>& v, float x) { return std::ranges::count(v, x) == std::ssize(v); };
  // Without an input callback the input is silence.
  ASSERT_EQ(mUnit->RenderBlock(kBlock, kBlock, channels, 2), noErr);
  EXPECT_TRUE(all(a, 0.f) && all(b, 0.f));
  // A host passing no memory gets the unit's own buffers.
  float* none[2] = {nullptr, nullptr};
  ASSERT_EQ(mUnit->RenderBlock(2 * kBlock, kBlock, none, 2), noErr);
  EXPECT_TRUE(none[0] && none[1] && none[0] != none[1]);
  // An upstream buffer left without data reads as silence.
  OddSource odd(noErr);
  ASSERT_OK(mUnit->ConnectInput(&odd));
  ASSERT_EQ(mUnit->RenderBlock(3 * kBlock, kBlock, channels, 2), noErr);
  EXPECT_TRUE(all(a, 0.25f) && all(b, 0.f));
  // Fewer host buffers than in the last render: the buffer of that render is not written again.
  std::ranges::fill(b, 7.f);
  std::ranges::fill(a, 0.f);
  ASSERT_EQ(mUnit->RenderBlock(4 * kBlock, kBlock, channels, 1), noErr);
  EXPECT_TRUE(all(a, 0.25f) && all(b, 7.f));
}

TEST_F(BundleRender, HostCallbacksCopyOnlyTheBytesTheHostPassed)
{
  // Only user data and the beat-and-tempo callback are passed; the transport callbacks after them are not the host's.
  static int beatCalls = 0, otherCalls = 0;
  HostCallbackInfo info = {nullptr,
                           [](void*, Float64* beat, Float64* tempo) -> OSStatus {
                             ++beatCalls;
                             *beat = 8.0;
                             *tempo = 0.0;
                             return noErr;
                           },
                           [](void*, UInt32*, Float32*, UInt32*, Float64*) -> OSStatus { return ++otherCalls, noErr; },
                           nullptr, nullptr};
  ASSERT_EQ(AudioUnitSetProperty(Unit(), kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &info, 16),
            noErr);
  ASSERT_EQ(Render(0, kBlock), noErr);
  EXPECT_EQ(std::tuple(beatCalls, otherCalls), std::tuple(1, 0));
  const plugin::ITimeInfo& t = Plug().GetTimeInfo();
  // A tempo not above 0 reads as 120.
  EXPECT_EQ(std::tuple(t.mTempo, t.mPPQPos, t.mNumerator, t.mSamplePos), std::tuple(120.0, 8.0, 4, -1.0));
}

TEST_F(BundleRender, BypassPassesTheInputDelayedByTheReportedLatency)
{
  // Without latency: bit exact, whatever the parameters say.
  ASSERT_OK(mUnit->SetParameter(kGain, -20.f));
  ASSERT_OK(mUnit->SetBypass(true));
  ASSERT_EQ(Render(0, kBlock), noErr);
  EXPECT_TRUE(OutIsInput(0));

  // The plug-in delays by 5 samples and reports it; bypass toggles every block. A host that compensates 5 samples
  // must see x[n - 5] throughout, in both states. (Leaving bypass resets the plug-in, whose own delay then starts
  // from silence.)
  ASSERT_OK(mUnit->SetParameter(kGain, 0.f));
  ASSERT_OK(mUnit->SetParameter(kDelay, 5.f));
  Plug().SetLatency(5);
  for (UInt32 b = 1; b < 4; ++b)
  {
    ASSERT_OK(mUnit->SetBypass(b % 2 == 1));
    ASSERT_EQ(Render(b * kBlock, kBlock), noErr);
    EXPECT_TRUE(OutIsInput(b * kBlock, 5, b == 2 ? 5 : 0)) << "block " << b;
  }
}

// A host changes the unit on the main thread while its audio thread renders the test bundle (and the main thread
// keeps pumping the run loop, where the unit does its idle work):
// - render notifications added and removed: every notification reaches a live registration with its own user
//   data, and one that stays registered throughout sees every render bracketed;
// - input connections, render callbacks and stream formats changed: every block is rendered from one whole
//   connection, old or new;
// - latency changed on the audio thread reaches the property listeners on the main thread.

#include "au/testplug/TestBundles.h"

#include "au/PluginAU.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

constexpr int kMagic = 0x600D;

struct Tag
{
  int magic = kMagic;
  std::atomic<int> pre{0};
  std::atomic<int> post{0};
};

std::atomic<int> gBadCalls{0};

OSStatus CountingNotify(void* userData, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                        AudioBufferList*)
{
  auto* tag = static_cast<Tag*>(userData);
  if (!tag || tag->magic != kMagic || !flags)
  {
    gBadCalls.fetch_add(1);
    return noErr;
  }
  if (*flags == kAudioUnitRenderAction_PreRender) tag->pre.fetch_add(1, std::memory_order_relaxed);
  else if (*flags == kAudioUnitRenderAction_PostRender) tag->post.fetch_add(1, std::memory_order_relaxed);
  else gBadCalls.fetch_add(1);
  return noErr;
}

// The registration that stays: its own function, since removal goes by function.
OSStatus SteadyNotify(void* userData, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                      UInt32 frames, AudioBufferList* data)
{
  return CountingNotify(userData, flags, ts, bus, frames, data);
}

} // namespace

using BundleRenderNotifyConcurrent = BundleHost;

TEST_F(BundleRenderNotifyConcurrent, AddAndRemoveWhileRendering)
{
  constexpr UInt32 kBlock = 64;
  constexpr int kBlocks = 3000;
  AudioData input;
  input.sampleRate = 48000.0;
  input.Resize(2, kBlock);
  ASSERT_OK(mUnit->Prepare(input.sampleRate, 2, 2, kBlock));
  BufferSource source(input, kBlock);
  ASSERT_OK(mUnit->ConnectInput(&source));

  Tag steady;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &SteadyNotify, &steady), noErr);
  std::vector<Tag> churn(8);

  RunLoopPump pump(ClockMode::Virtual);
  std::atomic<bool> done{false};
  std::atomic<int> renderErrors{0};
  std::thread audio([&] {
    std::vector<float> out(2 * kBlock);
    for (int b = 0; b < kBlocks; ++b)
    {
      float* channels[2] = {out.data(), out.data() + kBlock};
      if (mUnit->RenderBlock(static_cast<double>(b) * kBlock, kBlock, channels, 2) != noErr)
        renderErrors.fetch_add(1);
    }
    done.store(true);
  });

  int round = 0;
  while (!done.load())
  {
    Tag& tag = churn[static_cast<size_t>(round++) % churn.size()];
    EXPECT_EQ(AudioUnitAddRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    EXPECT_EQ(AudioUnitAddRenderNotify(Unit(), &CountingNotify, &tag), noErr); // duplicates are allowed
    EXPECT_EQ(AudioUnitRemoveRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    EXPECT_EQ(AudioUnitRemoveRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    pump.Pump(0.005); // the unit's idle work, where retired lists are freed
  }
  audio.join();
  pump.Pump(0.1);

  EXPECT_EQ(renderErrors.load(), 0);
  EXPECT_EQ(gBadCalls.load(), 0);
  EXPECT_EQ(steady.pre.load(), kBlocks);
  EXPECT_EQ(steady.post.load(), kBlocks);
  // A render calls after processing exactly the registrations it called before.
  for (const Tag& tag : churn) EXPECT_EQ(tag.pre.load(), tag.post.load());
}

TEST_F(BundleRenderNotifyConcurrent, LatencyFromTheAudioThreadIsDeliveredOnTheMainThread)
{
  plugin::PluginAU* plug = nullptr;
  ASSERT_OK(mUnit->GetProperty(plugin::PluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug));
  static std::atomic<int> calls{0};
  static std::thread::id mainThread;
  static std::atomic<bool> wrongThread{false};
  mainThread = std::this_thread::get_id();
  auto listener = [](void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {
    if (std::this_thread::get_id() != mainThread) wrongThread = true;
    calls.fetch_add(1);
  };
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, listener, nullptr), noErr);

  RunLoopPump pump(ClockMode::Virtual);
  std::thread audio([plug] {
    for (int i = 0; i < 500; ++i) plug->SetLatency(i);
  });
  for (int i = 0; i < 500; ++i) pump.Pump(0.01);
  audio.join();
  pump.Pump(0.1);
  EXPECT_FALSE(wrongThread.load());
  EXPECT_GE(calls.load(), 1);
  Float64 latency = 0;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency));
  EXPECT_DOUBLE_EQ(latency, 499.0 / 44100.0);
}

namespace
{

// Render callbacks that fill every channel with the constant their user data points at.
OSStatus ConstantInput(void* userData, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                       AudioBufferList* data)
{
  const float value = *static_cast<const float*>(userData);
  for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    if (float* samples = static_cast<float*>(data->mBuffers[k].mData)) std::fill_n(samples, frames, value);
  return noErr;
}
OSStatus OtherConstantInput(void* userData, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                            UInt32 frames, AudioBufferList* data)
{
  return ConstantInput(userData, flags, ts, bus, frames, data);
}

const float kFromCallbackA = 0.25f, kFromCallbackB = -0.5f, kFromUpstream = 0.75f;

} // namespace

TEST_F(BundleRenderNotifyConcurrent, ConnectionsChangedWhileRenderingAreSeenWhole)
{
  constexpr UInt32 kBlock = 64;
  constexpr int kBlocks = 3000;
  // An upstream instance of the same bundle, fed a constant; rendered only by this unit's audio thread.
  std::unique_ptr<Instance> upstream;
  ASSERT_OK(Instance::Open(mBundle->Main().component, upstream));
  ASSERT_OK(upstream->Prepare(48000.0, 2, 2, kBlock));
  const AURenderCallbackStruct upstreamInput = {&ConstantInput, const_cast<float*>(&kFromUpstream)};
  ASSERT_OK(upstream->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, upstreamInput));
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, kBlock));

  const AURenderCallbackStruct callbacks[2] = {{&ConstantInput, const_cast<float*>(&kFromCallbackA)},
                                               {&OtherConstantInput, const_cast<float*>(&kFromCallbackB)}};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, callbacks[0]));

  RunLoopPump pump(ClockMode::Virtual);
  std::atomic<bool> done{false};
  std::atomic<int> renderErrors{0}, mixedBlocks{0}, changes{0};
  std::thread audio([&] {
    std::vector<float> out(2 * kBlock);
    // Until both sides have done their share, however the threads are scheduled.
    for (int b = 0; b < kBlocks || changes.load() < 400; ++b)
    {
      float* channels[2] = {out.data(), out.data() + kBlock};
      if (mUnit->RenderBlock(static_cast<double>(b) * kBlock, kBlock, channels, 2) != noErr)
        renderErrors.fetch_add(1);
      // One source for the whole block and both channels.
      const float v = out[0];
      const bool known = v == kFromCallbackA || v == kFromCallbackB || v == kFromUpstream;
      if (!known || std::any_of(out.begin(), out.end(), [v](float x) { return x != v; })) mixedBlocks.fetch_add(1);
    }
    done.store(true);
  });

  int round = 0;
  while (!done.load())
  {
    changes.store(round);
    switch (round++ % 4)
    {
      case 0:
      case 1:
        EXPECT_OK(mUnit->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                                     callbacks[round % 2]));
        break;
      case 2:
      {
        const AudioUnitConnection conn = {upstream->Unit(), 0, 0};
        EXPECT_OK(mUnit->SetProperty(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, conn));
        break;
      }
      default:
        EXPECT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 48000.0, 2)); // same pair, accepted
        break;
    }
    pump.Pump(0.002); // idle work frees retired routes
  }
  audio.join();
  pump.Pump(0.1);
  EXPECT_EQ(renderErrors.load(), 0);
  EXPECT_EQ(mixedBlocks.load(), 0);
}

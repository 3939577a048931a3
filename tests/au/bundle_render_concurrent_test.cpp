// A host changes the unit on the main thread while its audio thread renders the test bundle (and the main thread
// keeps pumping the run loop, where the unit does its idle work):
// - render notifications added and removed: every notification reaches a live registration with its own user
//   data, and one that stays registered throughout sees every render bracketed;
// - input connections, render callbacks and stream formats changed: every block is rendered from one whole
//   connection, old or new;
// - latency changed on the audio thread reaches the property listeners on the main thread only.

#include "au/testplug/TestBundles.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

constexpr UInt32 kBlock = 64;
constexpr int kMagic = 0x600D;

struct Tag
{
  int magic = kMagic;
  std::atomic<int> pre{0}, post{0};
};
std::atomic<int> gBadCalls{0};

OSStatus CountingNotify(void* userData, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                        AudioBufferList*)
{
  auto* tag = static_cast<Tag*>(userData);
  if (!tag || tag->magic != kMagic || !flags ||
      (*flags != kAudioUnitRenderAction_PreRender && *flags != kAudioUnitRenderAction_PostRender))
    gBadCalls.fetch_add(1);
  else (*flags == kAudioUnitRenderAction_PreRender ? tag->pre : tag->post).fetch_add(1, std::memory_order_relaxed);
  return noErr;
}
// The registration that stays: its own function, since removal goes by function.
OSStatus SteadyNotify(void* u, AudioUnitRenderActionFlags* f, const AudioTimeStamp* ts, UInt32 b, UInt32 n,
                      AudioBufferList* d)
{
  return CountingNotify(u, f, ts, b, n, d);
}

// Render callbacks that fill every channel with the constant their user data points at.
OSStatus ConstantInput(void* userData, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                       AudioBufferList* data)
{
  for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    if (auto* samples = static_cast<float*>(data->mBuffers[k].mData))
      std::fill_n(samples, frames, *static_cast<const float*>(userData));
  return noErr;
}
OSStatus OtherConstantInput(void* u, AudioUnitRenderActionFlags* f, const AudioTimeStamp* ts, UInt32 b, UInt32 n,
                            AudioBufferList* d)
{
  return ConstantInput(u, f, ts, b, n, d);
}

using BundleRenderConcurrent = BundleHost;

} // namespace

// Each round of the main thread adds and removes a notification twice over and changes the input: a render
// callback, the other one, a connection to an upstream instance of the same bundle (rendered only by this unit's
// audio thread), or the same stream format again; it pumps the run loop, where retired lists and routes are freed
// and latency notifications delivered. Each block of the audio thread reports a new latency.
TEST_F(BundleRenderConcurrent, NotificationsConnectionsAndLatencyChangedWhileRendering)
{
  plugin::PluginAU& plug = Plug();
  static std::thread::id mainThread;
  static std::atomic<int> latencyCalls{0}, wrongThread{0};
  mainThread = std::this_thread::get_id();
  auto listener = [](void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
  { (std::this_thread::get_id() == mainThread ? latencyCalls : wrongThread).fetch_add(1); };
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, listener, nullptr), noErr);
  static const float kFromCallbackA = 0.25f, kFromCallbackB = -0.5f, kFromUpstream = 0.75f;
  std::unique_ptr<Instance> upstream;
  ASSERT_OK(Instance::Open(mBundle->Main().component, upstream));
  ASSERT_OK(upstream->Prepare(48000.0, 2, 2, kBlock));
  const AURenderCallbackStruct upstreamInput = {&ConstantInput, const_cast<float*>(&kFromUpstream)};
  ASSERT_OK(upstream->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, upstreamInput));
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, kBlock));
  const AURenderCallbackStruct callbacks[2] = {{&ConstantInput, const_cast<float*>(&kFromCallbackA)},
                                               {&OtherConstantInput, const_cast<float*>(&kFromCallbackB)}};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, callbacks[0]));
  Tag steady;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &SteadyNotify, &steady), noErr);
  std::vector<Tag> churn(8);

  RunLoopPump pump(ClockMode::Virtual);
  std::atomic<bool> done{false};
  std::atomic<int> blocks{0}, badBlocks{0}, rounds{0};
  std::thread audio([&] {
    std::vector<float> out(2 * kBlock);
    for (int b = 0; b < 3000 || rounds.load() < 400; ++b, blocks.fetch_add(1))
    {
      float* channels[2] = {out.data(), out.data() + kBlock};
      // One source for the whole block and both channels.
      const OSStatus status = mUnit->RenderBlock(double(b) * kBlock, kBlock, channels, 2);
      const float v = out[0];
      if (status != noErr || (v != kFromCallbackA && v != kFromCallbackB && v != kFromUpstream) ||
          !std::ranges::all_of(out, [v](float x) { return x == v; }))
        badBlocks.fetch_add(1);
      plug.SetLatency(b % 32);
    }
    done.store(true);
  });
  for (int round = 0; !done.load(); rounds.store(++round))
  {
    Tag& tag = churn[size_t(round) % churn.size()];
    EXPECT_EQ(AudioUnitAddRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    EXPECT_EQ(AudioUnitAddRenderNotify(Unit(), &CountingNotify, &tag), noErr); // duplicates are allowed
    EXPECT_EQ(AudioUnitRemoveRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    EXPECT_EQ(AudioUnitRemoveRenderNotify(Unit(), &CountingNotify, &tag), noErr);
    const AudioUnitConnection conn = {upstream->Unit(), 0, 0};
    EXPECT_OK(round % 4 < 2 ? mUnit->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                                                 callbacks[(round + 1) % 2])
              : round % 4 == 2 ? mUnit->SetProperty(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, conn)
                               : mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 48000.0, 2)); // same pair
    pump.Pump(0.002);
  }
  audio.join();
  pump.Pump(0.1);
  EXPECT_EQ(badBlocks.load(), 0);
  EXPECT_EQ(gBadCalls.load(), 0);
  EXPECT_EQ(std::tuple(steady.pre.load(), steady.post.load()), std::tuple(blocks.load(), blocks.load()));
  // A render calls after processing exactly the registrations it called before.
  for (const Tag& tag : churn) EXPECT_EQ(tag.pre.load(), tag.post.load());
  EXPECT_EQ(wrongThread.load(), 0);
  EXPECT_GE(latencyCalls.load(), 1);
  Float64 latency = 0;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency));
  EXPECT_DOUBLE_EQ(latency, double((blocks.load() - 1) % 32) / 48000.0);
}

// A host changes units on the main thread while their audio threads render them (and the main thread keeps pumping
// the run loop, where the units do their idle work). The test bundle:
// - render notifications added and removed: every notification reaches a live registration with its own user
//   data, and one that stays registered throughout sees every render bracketed;
// - input connections, render callbacks and stream formats changed: every block is rendered from one whole
//   connection, old or new;
// - latency changed on the audio thread reaches the property listeners on the main thread only.
// The product's Sender and Receiver, each from its own input, while the main thread changes parameters, runs
// commands (a latency measurement started and cancelled), reads the read-outs and opens, pairs, renders and closes
// a third instance: every output sample stays finite; the data the instances share is for ThreadSanitizer to judge.

#include "au/support/ZaniqHost.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace testbundles;
using namespace zqhost;

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
using ZaniqSignalConcurrent = ZaniqBundleTest;

constexpr UInt32 kPairBlock = 256;
constexpr uint64_t kMinBlocks = 300;   // each render thread renders at least this many blocks...
constexpr uint64_t kMaxBlocks = 20000; // ...and stops at the latest here, or once the main thread is done
constexpr int kMainSteps = 240;

// Renders one instance block by block on its own thread, at least kMinBlocks and then until stopped, and counts
// what went wrong. Stopped (and joined) at the latest when it goes.
struct RenderThread
{
  void Start(Instance& unit) { thread = std::thread(&RenderThread::Loop, this, std::ref(unit), kMinBlocks); }
  void Stop()
  {
    stop.store(true);
    if (thread.joinable()) thread.join();
  }
  ~RenderThread() { Stop(); }

  void Loop(Instance& unit, uint64_t least)
  {
    float buffers[2][kPairBlock] = {};
    for (uint64_t b = 0; b < kMaxBlocks && (b < least || !stop.load()); ++b, blocks.fetch_add(1))
    {
      float* pointers[2] = {buffers[0], buffers[1]};
      if (unit.RenderBlock(static_cast<double>(b * kPairBlock), kPairBlock, pointers, 2) != noErr) errors.fetch_add(1);
      for (float* p : pointers)
        nonFinite.fetch_add(std::count_if(p, p + kPairBlock, [](float x) { return !std::isfinite(x); }));
    }
  }

  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> blocks{0}, errors{0}, nonFinite{0};
};

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

TEST_F(ZaniqSignalConcurrent, RenderThreadsWhileTheMainThreadChangesEverything)
{
  const auhost::Bundle& bundle = *mBundle;
  auhost::RunLoopPump pump(auhost::ClockMode::Virtual);

  std::unique_ptr<Instance> sender, receiver;
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kPairBlock, sender));
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kPairBlock, receiver));
  ASSERT_EQ(std::tuple(RoleOf(*sender), RoleOf(*receiver)), std::tuple(Role{0, 1}, Role{1, 1}));
  // Each source plays the tone from its own point.
  const Signal tone = Tone;
  SignalSource senderInput(tone, 2, kPairBlock, 7919), receiverInput(tone, 2, kPairBlock, 2 * 7919),
    thirdInput(tone, 2, kPairBlock, 3 * 7919);
  ASSERT_OK(sender->ConnectInput(&senderInput));
  ASSERT_OK(receiver->ConnectInput(&receiverInput));
  SetParam(*receiver, "Meter Mode", "RMS Summed");
  SetParam(*receiver, "RMS Window", "50");

  RenderThread senderThread, receiverThread; // declared after all they use
  senderThread.Start(*sender);
  receiverThread.Start(*receiver);

  // The Receiver's settings changed at each step of twelve: to one of the texts, or to a number in [lo, hi).
  const std::vector<const char*> offOn = {"off", "on"};
  const struct
  {
    int step;
    const char* name;
    std::vector<const char*> texts;
    double lo = 0.0, hi = 0.0;
  } changes[] = {
    {0, "Match Mode", {"Manual", "Auto", "Gain stage"}}, {1, "Pre-Post FX", offOn}, {2, "Delta Monitor", offOn},
    {2, "Inverse Match", offOn}, {3, "Drive FX", {}, -24.0, 24.0}, {4, "Auto Gain Tolerance", {}, 0.0, 6.0},
    {5, "Meter Mode", {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"}},
    {5, "RMS Window", {}, 10.0, 410.0}, {6, "Enable Over Protection", offOn},
    {6, "Over Prection Level", {}, -48.0, 48.0}, {7, "Latency Compensation", {}, 0.0, 3000.0}, {10, "Active", offOn},
    {11, "GainDiff Store", {}, -144.0, 144.0}, {11, "PreGain Diff Store", {}, -144.0, 144.0}};
  std::mt19937 random(12345);
  uint64_t thirdBlocks = 0, nonFinite = 0;
  int senderLink = 1;

  for (int step = 0; step < kMainSteps && !HasFatalFailure(); ++step)
  {
    for (const auto& c : changes)
      if (c.step == step % 12)
        SetParam(*receiver, c.name,
                 c.texts.empty() ? std::to_string(std::uniform_real_distribution<double>(c.lo, c.hi)(random))
                                 : c.texts[std::uniform_int_distribution<size_t>(0, c.texts.size() - 1)(random)]);
    EXPECT_TRUE(step % 12 != 8 || SendCommand(*receiver, 61) == noErr); // starts a measurement or cancels it
    if (step % 12 == 9)
    {
      // A third instance pairs on its own (Sender on the lowest Link ID without one), joins Link ID 1 as a second
      // Receiver, takes blocks there and leaves.
      std::unique_ptr<Instance> third;
      ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kPairBlock, third));
      EXPECT_EQ(RoleOf(*third), (Role{0, senderLink == 1 ? 2 : 1}));
      ASSERT_OK(third->ConnectInput(&thirdInput));
      SetParam(*third, "Plugin Mode", "Receiver");
      SetParam(*third, "Link ID", "1");
      RenderThread here; // three blocks rendered on this thread
      here.stop = true;
      here.Loop(*third, 3);
      thirdBlocks += here.blocks;
      nonFinite += here.nonFinite + here.errors;
      ASSERT_OK(third->ConnectInput(nullptr));
    }
    if (step % 12 == 10)
      for (const char* button : {"Reset Sender RMS", "Match Pre-FX Diff/Gain", "Match Post-FX Diff/Gain", "Reset 2"})
        for (const char* state : {"on", "off"}) SetParam(*receiver, button, state);
    if (step % 12 == 11)
    {
      // The Sender leaves Link ID 1 for a moment.
      senderLink = step % 24 == 11 ? 3 : 1;
      SetParam(*sender, "Link ID", std::to_string(senderLink));
    }
    const ZaniqReadouts r = Readouts(*receiver);
    nonFinite += std::ranges::count_if(r.values, [](double v) { return !std::isfinite(v); });
    pump.Pump(0.02);
  }
  senderThread.Stop();
  receiverThread.Stop();
  for (const RenderThread* t : {&senderThread, &receiverThread})
  {
    EXPECT_GE(t->blocks.load(), kMinBlocks);
    EXPECT_EQ(std::tuple(t->errors.load(), t->nonFinite.load()), std::tuple(0u, 0u));
  }
  EXPECT_GT(thirdBlocks, 0u);
  EXPECT_EQ(nonFinite, 0u) << "render errors or non-finite samples of the third instance, or non-finite read-outs";
}

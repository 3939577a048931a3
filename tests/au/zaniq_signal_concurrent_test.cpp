// The product's Sender and Receiver rendering on their own threads, each from its own input, while the main thread
// changes parameters, runs commands (a latency measurement started and cancelled), reads the read-outs, pumps the
// run loop and opens, pairs, renders and closes a third instance. Every output sample must stay finite; the data
// the instances share is for ThreadSanitizer to judge.

#include "au/support/ZaniqHost.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <tuple>

using namespace zqhost;
using auhost::Instance;

namespace
{

constexpr UInt32 kBlock = 256;
constexpr uint64_t kMinBlocks = 300;   // each render thread renders at least this many blocks...
constexpr uint64_t kMaxBlocks = 20000; // ...and stops at the latest here, or once the main thread is done
constexpr int kMainSteps = 240;

// Renders one instance block by block on its own thread, at least kMinBlocks and then until stopped, and counts
// what went wrong. Stopped (and joined) at the latest when it goes.
struct RenderThread
{
  void Start(Instance& unit) { thread = std::thread(&RenderThread::Loop, this, std::ref(unit)); }
  void Stop()
  {
    stop.store(true);
    if (thread.joinable()) thread.join();
  }
  ~RenderThread() { Stop(); }

  void Loop(Instance& unit)
  {
    float buffers[2][kBlock] = {};
    for (uint64_t b = 0; b < kMaxBlocks && (b < kMinBlocks || !stop.load()); ++b, blocks.fetch_add(1))
    {
      float* pointers[2] = {buffers[0], buffers[1]};
      if (unit.RenderBlock(static_cast<double>(b * kBlock), kBlock, pointers, 2) != noErr) errors.fetch_add(1);
      for (float* p : pointers)
        nonFinite.fetch_add(std::count_if(p, p + kBlock, [](float x) { return !std::isfinite(x); }));
    }
  }

  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> blocks{0}, errors{0}, nonFinite{0};
};

} // namespace

using ZaniqSignalConcurrent = ZaniqBundleTest<>;

TEST_F(ZaniqSignalConcurrent, RenderThreadsWhileTheMainThreadChangesEverything)
{
  const auhost::Bundle& bundle = *mBundle;
  auhost::RunLoopPump pump(auhost::ClockMode::Virtual);

  std::unique_ptr<Instance> sender, receiver;
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kBlock, sender));
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kBlock, receiver));
  ASSERT_EQ(std::tuple(RoleOf(*sender), RoleOf(*receiver)), std::tuple(Role{0, 1}, Role{1, 1}));
  // Each source plays the tone from its own point.
  const Signal tone = Tone;
  SignalSource senderInput(tone, 2, kBlock, 7919), receiverInput(tone, 2, kBlock, 2 * 7919),
    thirdInput(tone, 2, kBlock, 3 * 7919);
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
      ASSERT_NO_FATAL_FAILURE(OpenPrepared(bundle, 2, kBlock, third));
      EXPECT_EQ(RoleOf(*third), (Role{0, senderLink == 1 ? 2 : 1}));
      ASSERT_OK(third->ConnectInput(&thirdInput));
      SetParam(*third, "Plugin Mode", "Receiver");
      SetParam(*third, "Link ID", "1");
      for (int b = 0; b < 3; ++b, ++thirdBlocks)
      {
        float buffers[2][kBlock];
        float* pointers[2] = {buffers[0], buffers[1]};
        ASSERT_EQ(third->RenderBlock(double(thirdBlocks * kBlock), kBlock, pointers, 2), noErr);
        for (auto* p : pointers) nonFinite += std::count_if(p, p + kBlock, [](float x) { return !std::isfinite(x); });
      }
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
  EXPECT_EQ(nonFinite, 0u) << "in the third instance's output or the read-outs";
}

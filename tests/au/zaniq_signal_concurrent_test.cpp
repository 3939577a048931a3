// The product's Sender and Receiver rendering on their own threads, each from its own input, while the main thread
// changes parameters, runs commands (a latency measurement started and cancelled), reads the read-outs, pumps the
// run loop and opens, pairs, renders and closes a third instance. Every output sample must stay finite; the data
// the instances share is for ThreadSanitizer to judge.

#include "au/support/ZaniqHost.h"

#include <atomic>
#include <random>
#include <thread>

using namespace zqhost;
using auhost::Instance;

namespace
{

constexpr UInt32 kBlock = 256;
constexpr uint64_t kMinBlocks = 300;   // each render thread renders at least this many blocks...
constexpr uint64_t kMaxBlocks = 20000; // ...and stops at the latest here, or once the main thread is done
constexpr int kMainSteps = 240;

// The test tone, computed for any sample time; `seed` shifts it so that each source plays its own signal.
class ToneSource final : public auhost::AudioSource
{
public:
  explicit ToneSource(uint64_t seed) : mOffset(seed * 7919) {}
  OSStatus Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data) override
  {
    if (!data || frames > kBlock) return kAudio_ParamError;
    const auto start = static_cast<uint64_t>(ts.mSampleTime) + mOffset;
    for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    {
      AudioBuffer& buffer = data->mBuffers[k];
      float* out = static_cast<float*>(buffer.mData);
      if (!out)
      {
        out = mScratch[std::min<UInt32>(k, 1)];
        buffer.mData = out;
        buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
      }
      for (UInt32 i = 0; i < frames; ++i) out[i] = Tone(std::min<UInt32>(k, 1), start + i);
    }
    return noErr;
  }

private:
  uint64_t mOffset;
  float mScratch[2][kBlock] = {};
};

// Renders one instance block by block on its own thread and counts what went wrong.
class RenderThread
{
public:
  RenderThread(Instance& unit, UInt32 channels, const std::atomic<bool>& mainDone)
    : mUnit(unit), mChannels(channels), mMainDone(mainDone)
  {
  }
  void Start() { mThread = std::thread([this] { Loop(); }); }
  void Join()
  {
    if (mThread.joinable()) mThread.join();
  }
  uint64_t Blocks() const { return mBlocks.load(); }
  uint64_t Errors() const { return mErrors.load(); }
  uint64_t NonFinite() const { return mNonFinite.load(); }

private:
  void Loop()
  {
    float buffers[2][kBlock];
    for (uint64_t b = 0; b < kMaxBlocks && (b < kMinBlocks || !mMainDone.load()); ++b)
    {
      float* pointers[2] = {buffers[0], buffers[1]};
      if (mUnit.RenderBlock(static_cast<double>(b * kBlock), kBlock, pointers, mChannels) != noErr)
        mErrors.fetch_add(1);
      else
        for (UInt32 c = 0; c < mChannels; ++c)
          for (UInt32 i = 0; i < kBlock; ++i)
            if (!std::isfinite(pointers[c][i])) mNonFinite.fetch_add(1);
      mBlocks.fetch_add(1);
    }
  }

  Instance& mUnit;
  UInt32 mChannels;
  const std::atomic<bool>& mMainDone;
  std::thread mThread;
  std::atomic<uint64_t> mBlocks{0}, mErrors{0}, mNonFinite{0};
};

std::string Number(double v)
{
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", v);
  return text;
}

} // namespace

TEST(ZaniqSignalConcurrent, RenderThreadsWhileTheMainThreadChangesEverything)
{
  ScopedHome home;
  ASSERT_TRUE(home.Ok());
  std::shared_ptr<const auhost::Bundle> bundle;
  ASSERT_OK(auhost::Bundle::Load(ZANIQ_PRODUCT_BUNDLE, bundle));
  auhost::RunLoopPump pump(auhost::ClockMode::Virtual);

  std::unique_ptr<Instance> sender, receiver;
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(*bundle, 2, kBlock, sender));
  ASSERT_NO_FATAL_FAILURE(OpenPrepared(*bundle, 2, kBlock, receiver));
  ASSERT_EQ(RoleOf(*sender).mode, 0);
  ASSERT_EQ(RoleOf(*receiver).mode, 1);
  ASSERT_EQ(RoleOf(*receiver).link, 1);
  ToneSource senderInput(1), receiverInput(2), thirdInput(3);
  ASSERT_OK(sender->ConnectInput(&senderInput));
  ASSERT_OK(receiver->ConnectInput(&receiverInput));
  SetParam(*receiver, "Meter Mode", "RMS Summed");
  SetParam(*receiver, "RMS Window", "50");

  std::atomic<bool> mainDone{false};
  RenderThread senderThread(*sender, 2, mainDone), receiverThread(*receiver, 2, mainDone);
  // However the main thread's part ends, the render threads end too before anything they use goes.
  struct Stop
  {
    std::atomic<bool>& done;
    RenderThread& a;
    RenderThread& b;
    ~Stop()
    {
      done.store(true);
      a.Join();
      b.Join();
    }
  } stop{mainDone, senderThread, receiverThread};
  senderThread.Start();
  receiverThread.Start();

  std::mt19937 random(12345);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  const char* offOn[] = {"off", "on"};
  const char* matchModes[] = {"Manual", "Auto", "Gain stage"};
  const char* meterModes[] = {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"};
  uint64_t thirdBlocks = 0, thirdNonFinite = 0, nonFiniteReadouts = 0;
  double thirdTime = 0.0;
  int senderLink = 1;

  for (int step = 0; step < kMainSteps && !HasFatalFailure(); ++step)
  {
    switch (step % 12)
    {
      case 0: SetParam(*receiver, "Match Mode", matchModes[pick(3)]); break;
      case 1: SetParam(*receiver, "Pre-Post FX", offOn[pick(2)]); break;
      case 2:
        SetParam(*receiver, "Delta Monitor", offOn[pick(2)]);
        SetParam(*receiver, "Inverse Match", offOn[pick(2)]);
        break;
      case 3:
        SetParam(*receiver, "Drive FX", Number(uniform(-24.0, 24.0)));
        SetParam(*receiver, "Reference Level", Number(uniform(-48.0, 0.0)));
        break;
      case 4:
        SetParam(*receiver, "Auto Gain Tolerance", Number(uniform(0.0, 6.0)));
        SetParam(*receiver, "Min Auto Gain", Number(uniform(-144.0, 0.0)));
        SetParam(*receiver, "Max Auto Gain", Number(uniform(0.0, 144.0)));
        break;
      case 5:
        SetParam(*receiver, "Meter Mode", meterModes[pick(6)]);
        SetParam(*receiver, "RMS Window", std::to_string(10 + pick(400)));
        break;
      case 6:
        SetParam(*receiver, "Enable Over Protection", offOn[pick(2)]);
        SetParam(*receiver, "Over Prection Level", Number(uniform(-48.0, 48.0)));
        break;
      case 7: SetParam(*receiver, "Latency Compensation", std::to_string(pick(3000))); break;
      case 8:
        // Starts a measurement, or cancels the one running.
        EXPECT_EQ(SendCommand(*receiver, 61), noErr);
        break;
      case 9:
      {
        // A third instance pairs on its own, joins Link ID 1 as a second Receiver, takes blocks there and leaves.
        std::unique_ptr<Instance> third;
        ASSERT_NO_FATAL_FAILURE(OpenPrepared(*bundle, 2, kBlock, third));
        // Sender on the lowest Link ID without one.
        const Role role = RoleOf(*third);
        const int expectedLink = senderLink == 1 ? 2 : 1;
        EXPECT_TRUE(role.mode == 0 && role.link == expectedLink) << "mode " << role.mode << " on " << role.link;
        ASSERT_OK(third->ConnectInput(&thirdInput));
        SetParam(*third, "Plugin Mode", "Receiver");
        SetParam(*third, "Link ID", "1");
        for (int b = 0; b < 3; ++b)
        {
          float buffers[2][kBlock];
          float* pointers[2] = {buffers[0], buffers[1]};
          ASSERT_EQ(third->RenderBlock(thirdTime, kBlock, pointers, 2), noErr);
          thirdTime += kBlock;
          ++thirdBlocks;
          for (auto* p : pointers)
            for (UInt32 i = 0; i < kBlock; ++i) thirdNonFinite += std::isfinite(p[i]) ? 0 : 1;
        }
        ASSERT_OK(third->ConnectInput(nullptr));
        break;
      }
      case 10:
        SetParam(*receiver, "Active", offOn[pick(2)]);
        for (const char* button : {"Reset Sender RMS", "Match Pre-FX Diff/Gain", "Match Post-FX Diff/Gain", "Reset 2"})
        {
          SetParam(*receiver, button, "on");
          SetParam(*receiver, button, "off");
        }
        break;
      case 11:
        SetParam(*receiver, "GainDiff Store", Number(uniform(-144.0, 144.0)));
        SetParam(*receiver, "PreGain Diff Store", Number(uniform(-144.0, 144.0)));
        // The Sender leaves Link ID 1 for a moment.
        senderLink = step % 24 == 11 ? 3 : 1;
        SetParam(*sender, "Link ID", std::to_string(senderLink));
        break;
    }
    const ZaniqReadouts r = Readouts(*receiver);
    for (double v : r.values) nonFiniteReadouts += std::isfinite(v) ? 0 : 1;
    pump.Pump(0.02);
  }
  mainDone.store(true);
  senderThread.Join();
  receiverThread.Join();

  EXPECT_GE(senderThread.Blocks(), kMinBlocks);
  EXPECT_GE(receiverThread.Blocks(), kMinBlocks);
  EXPECT_EQ(senderThread.Errors(), 0u);
  EXPECT_EQ(receiverThread.Errors(), 0u);
  EXPECT_EQ(senderThread.NonFinite(), 0u);
  EXPECT_EQ(receiverThread.NonFinite(), 0u);
  EXPECT_GT(thirdBlocks, 0u);
  EXPECT_EQ(thirdNonFinite, 0u);
  EXPECT_EQ(nonFiniteReadouts, 0u);

  (void)sender->ConnectInput(nullptr);
  (void)receiver->ConnectInput(nullptr);
  receiver.reset();
  sender.reset();
}

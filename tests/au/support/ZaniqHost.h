#pragma once

// Driving the product bundle end to end as a host does: a temporary HOME, parameters by their host names, the
// read-outs and command properties, and a Sender/Receiver pair of the real component chained inside this process.
// For each block the Receiver's input renders the Sender on the same samples and passes its output through
// in-process effects (so the Sender always processes a block before its Receiver does), while the test sees what
// went in, what the Sender gave, what the Receiver got and what it gave back.

#include "au/ZaniqPrivateProperties.h"
#include "au/testplug/TestBundles.h"
#include "tools/auhost/ChainRun.h"
#include "tools/auhost/Effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zqhost
{

inline constexpr double kRate = 48000.0;

// Points HOME at a fresh temporary folder for its lifetime (the plug-in keeps its settings there).
class ScopedHome
{
public:
  ScopedHome()
  {
    char tmpl[] = "/tmp/zaniq_e2e_XXXXXX";
    if (mkdtemp(tmpl)) mPath = tmpl;
    if (const char* old = std::getenv("HOME")) mOld = old, mHadOld = true;
    if (!mPath.empty()) setenv("HOME", mPath.c_str(), 1);
  }
  ~ScopedHome()
  {
    if (mHadOld)
      setenv("HOME", mOld.c_str(), 1);
    else
      unsetenv("HOME");
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;
  bool Ok() const { return !mPath.empty(); }

private:
  std::string mPath;
  std::string mOld;
  bool mHadOld = false;
};

// --- The product as a host sees it [main thread] --------------------------------------------------------------

// Sets a parameter by its host name to a number or one of its display texts; a refusal fails the test.
inline void SetParam(auhost::Instance& unit, const char* name, const std::string& value)
{
  const auhost::Status s = unit.SetParameterFromText(name, value);
  EXPECT_TRUE(s.ok()) << name << "=" << value << ": " << s.message();
}

// A parameter's current value by its host name; NaN (and a failure) when it cannot be read.
inline float Param(const auhost::Instance& unit, const char* name)
{
  auhost::ParameterDesc desc;
  Float32 v = std::numeric_limits<Float32>::quiet_NaN();
  const auhost::Status s = unit.FindParameter(name, desc);
  if (s.ok())
  {
    const auhost::Status g = unit.GetParameter(desc.id, v);
    EXPECT_TRUE(g.ok()) << name << ": " << g.message();
  }
  else
  {
    ADD_FAILURE() << name << ": " << s.message();
  }
  return v;
}

// Mode and Link ID as the "Plugin Mode" and "Link ID" parameters give them.
struct Role
{
  int mode = -1; // 0 Sender, 1 Receiver
  int link = -1;
};
inline Role RoleOf(const auhost::Instance& unit)
{
  return {static_cast<int>(Param(unit, "Plugin Mode")), static_cast<int>(Param(unit, "Link ID"))};
}

// The six read-out values (ZaniqReadouts, in dB); NaNs (and a failure) when the property is refused.
inline ZaniqReadouts Readouts(const auhost::Instance& unit)
{
  ZaniqReadouts r;
  std::fill(std::begin(r.values), std::end(r.values), std::numeric_limits<double>::quiet_NaN());
  UInt32 size = sizeof(r);
  const OSStatus st =
    AudioUnitGetProperty(unit.Unit(), kZaniqProperty_Readouts, kAudioUnitScope_Global, 0, &r, &size);
  EXPECT_EQ(st, noErr) << "read-outs";
  EXPECT_EQ(size, sizeof(r)) << "read-outs";
  return r;
}

// Runs an editor command through the command property, as the product's buttons send it (value 1.0).
inline OSStatus SendCommand(auhost::Instance& unit, int32_t code, double value = 1.0)
{
  const ZaniqCommand command = {code, value};
  return AudioUnitSetProperty(unit.Unit(), kZaniqProperty_Command, kAudioUnitScope_Global, 0, &command,
                              sizeof(command));
}

// Opens, prepares (non-interleaved float at rate, channels in and out, maxFrames) and resets an instance as hosts
// do after initialising.
inline void OpenPrepared(const auhost::Bundle& bundle, UInt32 channels, UInt32 maxFrames,
                         std::unique_ptr<auhost::Instance>& unit)
{
  ASSERT_OK(auhost::Instance::Open(bundle.Main().component, unit));
  ASSERT_OK(unit->Prepare(kRate, channels, channels, maxFrames));
  ASSERT_EQ(AudioUnitReset(unit->Unit(), kAudioUnitScope_Global, 0), noErr);
}

// --- Signals and levels ---------------------------------------------------------------------------------------

// A sample of channel `channel` at frame `frame` of a signal.
using Signal = std::function<float(UInt32 channel, uint64_t frame)>;

// The test tone: 997 Hz at amplitude 0.5 on the left, 1499 Hz at 0.3 on the right. It stays below the latency
// detector's -3 dB threshold, so only the measuring impulse can trip it.
inline float Tone(UInt32 channel, uint64_t frame)
{
  const double t = static_cast<double>(frame) / kRate;
  if (channel == 0) return static_cast<float>(0.5 * std::sin(2.0 * M_PI * 997.0 * t));
  return static_cast<float>(0.3 * std::sin(2.0 * M_PI * 1499.0 * t + 1.0));
}

inline float Silence(UInt32, uint64_t)
{
  return 0.f;
}

// RMS in dB (power averaged over the channels) of frames [first, first + count).
inline double LevelDB(const auhost::AudioData& data, uint64_t first, uint64_t count)
{
  return auhost::MeasureLevels(data, first, count).rmsDB;
}

// The largest |a - b| over frames [first, first + count) of every channel.
inline double MaxDifference(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first, uint64_t count)
{
  double worst = 0.0;
  for (UInt32 c = 0; c < std::min(a.NChannels(), b.NChannels()); ++c)
    for (uint64_t i = first; i < first + count && i < a.NFrames() && i < b.NFrames(); ++i)
      worst = std::max(worst, std::fabs(static_cast<double>(a.channels[c][i]) - b.channels[c][i]));
  return worst;
}

// The first frame in [first, first + count) where a and b differ in any bit of any channel; -1 when none does.
inline int64_t FirstMismatch(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first, uint64_t count)
{
  for (uint64_t i = first; i < first + count; ++i)
    for (UInt32 c = 0; c < a.NChannels(); ++c)
      if (i >= a.NFrames() || i >= b.NFrames() ||
          std::memcmp(&a.channels[c][i], &b.channels[c][i], sizeof(float)) != 0)
        return static_cast<int64_t>(i);
  return -1;
}

// --- Audio between the instances --------------------------------------------------------------------------------

// Hands out the block the test put in before each render.
class BlockSource final : public auhost::AudioSource
{
public:
  BlockSource(UInt32 channels, UInt32 maxFrames) : mBlock(channels, std::vector<float>(maxFrames, 0.f)) {}
  std::vector<std::vector<float>>& Block() { return mBlock; }

  OSStatus Pull(const AudioTimeStamp&, UInt32 frames, AudioBufferList* data) override
  {
    if (!data) return kAudio_ParamError;
    for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    {
      AudioBuffer& buffer = data->mBuffers[k];
      const std::vector<float>& src = mBlock[std::min<size_t>(k, mBlock.size() - 1)];
      if (frames > src.size()) return kAudio_ParamError;
      if (!buffer.mData)
      {
        buffer.mData = const_cast<float*>(src.data());
        buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
        continue;
      }
      if (buffer.mDataByteSize < frames * sizeof(float)) return kAudio_ParamError;
      std::copy_n(src.data(), frames, static_cast<float*>(buffer.mData));
    }
    return noErr;
  }

private:
  std::vector<std::vector<float>> mBlock;
};

// The effects between the Sender and the Receiver: records the Sender's output, runs an --fx list, then a gain the
// test may change between blocks, and records what the Receiver gets.
class TapEffect final : public auhost::Effect
{
public:
  TapEffect(UInt32 channels, UInt32 maxFrames)
    : mSenderOut(channels, std::vector<float>(maxFrames, 0.f)), mReceiverIn(channels, std::vector<float>(maxFrames, 0.f))
  {
  }

  // "" for no effects.
  auhost::Status SetFx(const std::string& list)
  {
    mFx.reset();
    if (list.empty()) return auhost::Status::Ok();
    std::vector<auhost::FxSpec> specs;
    std::string error;
    if (!auhost::ParseFxList(list, specs, error)) return auhost::Status::Error(error);
    return auhost::FxChain::Make(specs, kRate, static_cast<uint32_t>(mSenderOut.size()), mFx);
  }
  // A further linear gain after the effects (1.0: none).
  void SetExtraGain(float gain) { mExtraGain = gain; }

  void Process(AudioBufferList& data, UInt32 frames) override
  {
    const UInt32 n = std::min<UInt32>(data.mNumberBuffers, static_cast<UInt32>(mSenderOut.size()));
    for (UInt32 k = 0; k < n; ++k)
      if (data.mBuffers[k].mData)
        std::copy_n(static_cast<const float*>(data.mBuffers[k].mData), frames, mSenderOut[k].data());
    if (mFx) mFx->Process(data, frames);
    for (UInt32 k = 0; k < n; ++k)
    {
      auto* x = static_cast<float*>(data.mBuffers[k].mData);
      if (!x) continue;
      if (mExtraGain != 1.f)
        for (UInt32 i = 0; i < frames; ++i) x[i] *= mExtraGain;
      std::copy_n(x, frames, mReceiverIn[k].data());
    }
    mFrames = frames;
  }

  const std::vector<std::vector<float>>& SenderOut() const { return mSenderOut; }
  const std::vector<std::vector<float>>& ReceiverIn() const { return mReceiverIn; }
  UInt32 Frames() const { return mFrames; }
  void Forget() { mFrames = 0; }

private:
  std::unique_ptr<auhost::FxChain> mFx;
  float mExtraGain = 1.f;
  std::vector<std::vector<float>> mSenderOut;
  std::vector<std::vector<float>> mReceiverIn;
  UInt32 mFrames = 0;
};

// What a run went through, frame by frame from the first frame of the take.
struct Take
{
  auhost::AudioData in;         // the Sender's input
  auhost::AudioData senderOut;  // the Sender's output
  auhost::AudioData receiverIn; // the Receiver's input (after the effects)
  auhost::AudioData out;        // the Receiver's output
};

// A Sender and its Receiver of the product bundle, chained (see the top of this file), rendered block by block on
// the virtual clock: after each block the run loop is pumped for the block's duration.
class ZaniqPairTest : public ::testing::Test
{
protected:
  static constexpr UInt32 kBlock = 512;

  void SetUp() override
  {
    ASSERT_TRUE(mHome.Ok());
    ASSERT_OK(auhost::Bundle::Load(ZANIQ_PRODUCT_BUNDLE, mBundle));
  }
  // Every instance goes before the home folder does.
  void TearDown() override
  {
    if (mConnected) mChain.Disconnect();
    mReceiver.reset();
    mSender.reset();
  }

  // Opens the Sender and then the Receiver (checking that they pair on Link ID 1), prepares both for kRate,
  // `channels` and kBlock, puts the --fx list `fx` between them and applies the Receiver's settings. Then two silent
  // cycles leave the link slot with this Receiver's view (a slot keeps what an earlier pair wrote), and a meter
  // reset lets the signal start on cleared meters.
  void Start(const std::string& fx, UInt32 channels = 2,
             const std::vector<std::pair<const char*, std::string>>& receiverSettings = {})
  {
    mChannels = channels;
    ASSERT_NO_FATAL_FAILURE(OpenPrepared(*mBundle, channels, kBlock, mSender));
    ASSERT_NO_FATAL_FAILURE(OpenPrepared(*mBundle, channels, kBlock, mReceiver));
    const Role s = RoleOf(*mSender), r = RoleOf(*mReceiver);
    ASSERT_TRUE(s.mode == 0 && s.link == 1) << "Sender opened as mode " << s.mode << " on " << s.link;
    ASSERT_TRUE(r.mode == 1 && r.link == 1) << "Receiver opened as mode " << r.mode << " on " << r.link;

    mSource = std::make_unique<BlockSource>(channels, kBlock);
    mTap = std::make_unique<TapEffect>(channels, kBlock);
    ASSERT_OK(mTap->SetFx(fx));
    mChain.Append(*mSender);
    mChain.Append(*mReceiver, mTap.get());
    ASSERT_OK(mChain.Connect(mSource.get()));
    mConnected = true;
    mOut.assign(channels, std::vector<float>(kBlock, 0.f));
    mZeros.assign(channels, std::vector<float>(kBlock, 0.f));

    for (const auto& [name, value] : receiverSettings) SetParam(*mReceiver, name, value);
    const Signal signal = mSignal;
    mSignal = Silence;
    for (int i = 0; i < 2; ++i) ASSERT_NO_FATAL_FAILURE(Cycle(kBlock));
    mSignal = signal;
    ResetMeters();
    mSignalPos = 0;
  }

  // Both meters of the Receiver cleared before its next block ("Reset Sender RMS" pressed and released).
  void ResetMeters()
  {
    SetParam(*mReceiver, "Reset Sender RMS", "on");
    SetParam(*mReceiver, "Reset Sender RMS", "off");
  }

  // One host cycle of `frames` frames: the next frames of the signal into the Sender, the Receiver rendered (which
  // renders the Sender through the effects), the run loop pumped.
  void Cycle(UInt32 frames, Take* take = nullptr)
  {
    ASSERT_LE(frames, kBlock);
    for (UInt32 c = 0; c < mChannels; ++c)
      for (UInt32 i = 0; i < frames; ++i) mSource->Block()[c][i] = mSignal(c, mSignalPos + i);
    mTap->Forget();
    float* pointers[auhost::Instance::kMaxChannels];
    for (UInt32 c = 0; c < mChannels; ++c) pointers[c] = mOut[c].data();
    const OSStatus st = mReceiver->RenderBlock(static_cast<double>(mSampleTime), frames, pointers, mChannels);
    ASSERT_EQ(st, noErr) << "render at " << mSampleTime;
    for (UInt32 c = 0; c < mChannels; ++c)
    {
      ASSERT_NE(pointers[c], nullptr);
      if (pointers[c] != mOut[c].data()) std::copy_n(pointers[c], frames, mOut[c].data());
    }
    if (take)
    {
      // With no Sender rendered (the Receiver fed directly) the tap saw nothing: it reads as silence then.
      const bool tapped = mTap->Frames() == frames;
      Append(take->in, mSource->Block(), frames);
      Append(take->senderOut, tapped ? mTap->SenderOut() : mZeros, frames);
      Append(take->receiverIn, tapped ? mTap->ReceiverIn() : mSource->Block(), frames);
      Append(take->out, mOut, frames);
    }
    mSampleTime += frames;
    mSignalPos += frames;
    mPump.Pump(frames / kRate);
  }

  // Whole blocks (the last may be shorter) covering `frames` frames.
  void Run(uint64_t frames, Take* take = nullptr)
  {
    for (uint64_t done = 0; done < frames;)
    {
      const auto n = static_cast<UInt32>(std::min<uint64_t>(kBlock, frames - done));
      ASSERT_NO_FATAL_FAILURE(Cycle(n, take));
      done += n;
    }
  }

  // Feeds the Receiver from the signal directly (the Sender is no longer rendered), or through the Sender again.
  void FeedReceiverDirectly(bool direct)
  {
    if (direct)
    {
      ASSERT_OK(mReceiver->ConnectInput(mSource.get()));
    }
    else
    {
      ASSERT_OK(mChain.Connect(mSource.get()));
    }
  }

  static void Append(auhost::AudioData& data, const std::vector<std::vector<float>>& block, UInt32 frames)
  {
    data.sampleRate = kRate;
    if (data.channels.size() < block.size()) data.channels.resize(block.size());
    for (size_t c = 0; c < block.size(); ++c)
      data.channels[c].insert(data.channels[c].end(), block[c].begin(), block[c].begin() + frames);
  }

  ScopedHome mHome; // outlives the instances
  auhost::RunLoopPump mPump{auhost::ClockMode::Virtual};
  std::shared_ptr<const auhost::Bundle> mBundle;
  std::unique_ptr<auhost::Instance> mSender;
  std::unique_ptr<auhost::Instance> mReceiver;
  std::unique_ptr<BlockSource> mSource;
  std::unique_ptr<TapEffect> mTap;
  auhost::Chain mChain;
  bool mConnected = false;
  UInt32 mChannels = 2;
  Signal mSignal = Tone;
  uint64_t mSampleTime = 0; // host sample time of the next cycle
  uint64_t mSignalPos = 0;  // signal frame of the next cycle (0 at the first frame after Start)
  std::vector<std::vector<float>> mOut;
  std::vector<std::vector<float>> mZeros;
};

} // namespace zqhost

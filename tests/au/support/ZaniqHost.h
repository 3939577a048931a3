#pragma once

// Driving the product bundle as a host does: a temporary HOME, parameters by host name, the read-out and command
// properties, and a Sender/Receiver pair chained in this process. Each block the Receiver's input renders the Sender
// on the same samples through a gain the test sets (the Sender always processes a block first); the test sees what
// went in, what the Receiver got and what it gave back.

#include "support/ScopedHome.h"
#include "engine/ZaniqPrivateProperties.h"
#include "au/testplug/TestBundles.h"
#include "tools/auhost/ChainRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zqhost
{

inline constexpr double kRate = 48000.0;

// --- The product as a host sees it [main thread] --------------------------------------------------------------

// Sets a parameter by its host name to a number or one of its display texts; a refusal fails the test.
inline void SetParam(auhost::Instance& unit, const char* name, const std::string& value)
{
  EXPECT_OK(unit.SetParameterFromText(name, value)) << name << "=" << value;
}

// A parameter's value by its host name (and its description into `desc`); NaN and a failure when unreadable.
inline float Param(const auhost::Instance& unit, const char* name, auhost::ParameterDesc* desc = nullptr)
{
  auhost::ParameterDesc found;
  Float32 v = std::numeric_limits<Float32>::quiet_NaN();
  EXPECT_OK(unit.FindParameter(name, found)) << name;
  EXPECT_OK(unit.GetParameter(found.id, v)) << name;
  if (desc) *desc = found;
  return v;
}

// Mode (0 Sender, 1 Receiver) and Link ID as the "Plugin Mode" and "Link ID" parameters give them.
struct Role
{
  int mode = -1, link = -1;
  bool operator==(const Role&) const = default;
};
inline Role RoleOf(const auhost::Instance& unit)
{
  return {int(Param(unit, "Plugin Mode")), int(Param(unit, "Link ID"))};
}

// The six read-out values (dB); NaNs and a failure when the property is refused.
inline ZaniqReadouts Readouts(const auhost::Instance& unit)
{
  ZaniqReadouts r;
  std::fill(std::begin(r.values), std::end(r.values), std::numeric_limits<double>::quiet_NaN());
  UInt32 size = sizeof(r);
  EXPECT_EQ(AudioUnitGetProperty(unit.Unit(), kZaniqProperty_Readouts, kAudioUnitScope_Global, 0, &r, &size), noErr);
  EXPECT_EQ(size, sizeof(r)) << "read-outs";
  return r;
}

// Runs an editor command through the command property, as the product's buttons send it (value 1.0).
inline OSStatus SendCommand(auhost::Instance& unit, int32_t code)
{
  const ZaniqCommand command = {code, 1.0};
  return AudioUnitSetProperty(unit.Unit(), kZaniqProperty_Command, kAudioUnitScope_Global, 0, &command,
                              sizeof(command));
}

// Opens, prepares (kRate, `channels` in and out, maxFrames) and resets an instance as hosts do after initialising.
inline void OpenPrepared(const auhost::Bundle& bundle, UInt32 channels, UInt32 maxFrames,
                         std::unique_ptr<auhost::Instance>& unit)
{
  ASSERT_OK(auhost::Instance::Open(bundle.Main().component, unit));
  ASSERT_OK(unit->Prepare(kRate, channels, channels, maxFrames));
  ASSERT_EQ(AudioUnitReset(unit->Unit(), kAudioUnitScope_Global, 0), noErr);
}

// --- Signals and comparisons ------------------------------------------------------------------------------------

using Signal = std::function<float(UInt32 channel, uint64_t frame)>;

// The test tone: 997 Hz at amplitude 0.5 on the left, 1499 Hz at 0.3 on the right. It stays below the latency
// detector's -3 dB threshold, so only the measuring impulse can trip it.
inline float Tone(UInt32 channel, uint64_t frame)
{
  const double t = double(frame) / kRate;
  return float(channel == 0 ? 0.5 * std::sin(2.0 * M_PI * 997.0 * t) : 0.3 * std::sin(2.0 * M_PI * 1499.0 * t + 1.0));
}

// The largest |a - b| over frames [first, first + count) of every channel.
inline double MaxDifference(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first, uint64_t count)
{
  double worst = 0.0;
  for (UInt32 c = 0; c < std::min(a.NChannels(), b.NChannels()); ++c)
    for (uint64_t i = first; i < first + count && i < a.NFrames() && i < b.NFrames(); ++i)
      worst = std::max(worst, std::fabs(double(a.channels[c][i]) - b.channels[c][i]));
  return worst;
}

// a and b agree in every bit of every channel over frames [first, first + count) (to the end of a when count is
// 0); otherwise the first frame where they differ.
inline ::testing::AssertionResult Same(const auhost::AudioData& a, const auhost::AudioData& b, uint64_t first = 0,
                                       uint64_t count = 0)
{
  for (uint64_t i = first; i < (count ? first + count : a.NFrames()); ++i)
    for (UInt32 c = 0; c < a.NChannels(); ++c)
      if (i >= a.NFrames() || i >= b.NFrames() || std::memcmp(&a.channels[c][i], &b.channels[c][i], sizeof(float)) != 0)
        return ::testing::AssertionFailure() << "they differ at frame " << i;
  return ::testing::AssertionSuccess();
}

// --- Audio between the instances --------------------------------------------------------------------------------

using Block = std::vector<std::vector<float>>;                     // one vector per channel
using Settings = std::vector<std::pair<const char*, std::string>>; // parameter names and values

// Plays a signal on any thread: sample time t reads frame t + shift of the signal (channel k on buffer k, the last
// channel on further buffers). The block of the last pull stays readable until the next.
class SignalSource final : public auhost::AudioSource
{
public:
  SignalSource(const Signal& signal, UInt32 channels, UInt32 maxFrames, int64_t shift = 0)
      : shift(shift), last(channels, std::vector<float>(maxFrames, 0.f)), mSignal(signal)
  {
  }

  OSStatus Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data) override
  {
    if (!data || frames > last[0].size()) return kAudio_ParamError;
    const int64_t start = int64_t(ts.mSampleTime) + shift;
    for (UInt32 c = 0; c < last.size(); ++c)
      for (UInt32 i = 0; i < frames; ++i) last[c][i] = mSignal(c, uint64_t(start + i));
    for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    {
      AudioBuffer& buffer = data->mBuffers[k];
      float* src = last[std::min<size_t>(k, last.size() - 1)].data();
      if (!buffer.mData) buffer.mData = src, buffer.mDataByteSize = frames * UInt32(sizeof(float));
      else if (buffer.mDataByteSize < frames * sizeof(float)) return kAudio_ParamError;
      else std::copy_n(src, frames, static_cast<float*>(buffer.mData));
    }
    return noErr;
  }

  int64_t shift; // set between renders
  Block last;    // what the last pull gave

private:
  const Signal& mSignal; // borrowed
};

// The effect between the Sender and the Receiver: a gain the test may change between blocks; it records what the
// Receiver gets.
class TapEffect final : public auhost::Effect
{
public:
  void Process(AudioBufferList& data, UInt32 n) override
  {
    for (UInt32 k = 0; k < std::min<UInt32>(data.mNumberBuffers, UInt32(receiverIn.size())); ++k)
      if (auto* x = static_cast<float*>(data.mBuffers[k].mData))
      {
        if (gain != 1.f) std::for_each(x, x + n, [this](float& s) { s *= gain; });
        std::copy_n(x, n, receiverIn[k].data());
      }
    frames = n;
  }

  float gain = 1.f; // set between blocks
  Block receiverIn;
  UInt32 frames = 0; // of the last block processed; the test clears it before each
};

// What a run went through, frame by frame from its first frame: the Sender's input, the Receiver's input (after
// the gain) and output.
struct Take
{
  auhost::AudioData in, receiverIn, out;
};

// The product bundle loaded under a temporary HOME (a derived fixture's members go before the home does).
template <class Base = ::testing::Test> class ZaniqBundleTest : public Base
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(mHome.Ok());
    ASSERT_OK(auhost::Bundle::Load(ZANIQ_PRODUCT_BUNDLE, mBundle));
  }

  ScopedHome mHome; // outlives the instances
  std::shared_ptr<const auhost::Bundle> mBundle;
};

// A Sender and its Receiver of the product bundle, chained (see the top of this file), rendered block by block on
// the virtual clock: after each block the run loop is pumped for the block's duration.
class ZaniqPairTest : public ZaniqBundleTest<>
{
protected:
  static constexpr UInt32 kBlock = 512;

  // Opens the Sender and then the Receiver (which must pair on Link ID 1), prepares both, puts the gain between
  // them and applies the Receiver's settings. Then two silent cycles leave the link slot with this Receiver's view
  // (a slot keeps what an earlier pair wrote), and a meter reset lets the signal start on cleared meters.
  void Start(float gain, UInt32 channels, const Settings& receiverSettings)
  {
    mChannels = channels;
    ASSERT_NO_FATAL_FAILURE(OpenPrepared(*mBundle, channels, kBlock, mSender));
    ASSERT_NO_FATAL_FAILURE(OpenPrepared(*mBundle, channels, kBlock, mReceiver));
    ASSERT_EQ(std::tuple(RoleOf(*mSender), RoleOf(*mReceiver)), std::tuple(Role{0, 1}, Role{1, 1}));
    mSource = std::make_unique<SignalSource>(mSignal, channels, kBlock);
    mOut.assign(channels, std::vector<float>(kBlock, 0.f));
    mTap.gain = gain;
    mTap.receiverIn = mOut;
    mChain.Append(*mSender);
    mChain.Append(*mReceiver, &mTap);
    ASSERT_OK(mChain.Connect(mSource.get()));
    for (const auto& [name, value] : receiverSettings) SetParam(*mReceiver, name, value);
    const Signal signal = std::exchange(mSignal, [](UInt32, uint64_t) { return 0.f; });
    for (int i = 0; i < 2; ++i) ASSERT_NO_FATAL_FAILURE(Cycle(kBlock));
    mSignal = signal;
    Press("Reset Sender RMS");
    mSource->shift = -int64_t(mSampleTime); // the signal starts with the next cycle
  }

  double Readout(EZaniqReadout which) { return Readouts(*mReceiver).values[which]; }

  // A button of the Receiver pressed and released before its next block.
  void Press(const char* button)
  {
    SetParam(*mReceiver, button, "on");
    SetParam(*mReceiver, button, "off");
  }

  // One host cycle of `frames` frames: the Receiver rendered (which renders the Sender through the gain, unless
  // the Receiver is fed directly), then the run loop pumped.
  void Cycle(UInt32 frames, Take* take = nullptr)
  {
    ASSERT_LE(frames, kBlock);
    mTap.frames = 0;
    float* pointers[auhost::Instance::kMaxChannels];
    for (UInt32 c = 0; c < mChannels; ++c) pointers[c] = mOut[c].data();
    ASSERT_EQ(mReceiver->RenderBlock(double(mSampleTime), frames, pointers, mChannels), noErr) << mSampleTime;
    for (UInt32 c = 0; c < mChannels; ++c)
    {
      ASSERT_NE(pointers[c], nullptr);
      if (pointers[c] != mOut[c].data()) std::copy_n(pointers[c], frames, mOut[c].data());
    }
    if (take)
    {
      Append(take->in, mSource->last, frames);
      Append(take->receiverIn, mTap.frames == frames ? mTap.receiverIn : mSource->last, frames);
      Append(take->out, mOut, frames);
    }
    mSampleTime += frames;
    mPump.Pump(frames / kRate);
  }

  // Whole blocks (the last may be shorter) covering `frames` frames; Grab hands back what went through.
  void Run(uint64_t frames, Take* take = nullptr)
  {
    for (uint64_t done = 0; done < frames; done += kBlock)
      ASSERT_NO_FATAL_FAILURE(Cycle(UInt32(std::min<uint64_t>(kBlock, frames - done)), take));
  }
  Take Grab(uint64_t frames)
  {
    Take t;
    Run(frames, &t);
    return t;
  }

  static void Append(auhost::AudioData& data, const Block& block, UInt32 frames)
  {
    data.sampleRate = kRate;
    data.channels.resize(std::max(data.channels.size(), block.size()));
    for (size_t c = 0; c < block.size(); ++c)
      data.channels[c].insert(data.channels[c].end(), block[c].begin(), block[c].begin() + frames);
  }

  auhost::RunLoopPump mPump{auhost::ClockMode::Virtual};
  std::unique_ptr<auhost::Instance> mSender, mReceiver;
  std::unique_ptr<SignalSource> mSource;
  TapEffect mTap;
  auhost::Chain mChain;
  UInt32 mChannels = 2;
  Signal mSignal = Tone;
  uint64_t mSampleTime = 0; // host sample time of the next cycle
  Block mOut;
};

} // namespace zqhost

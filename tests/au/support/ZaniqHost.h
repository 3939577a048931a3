#pragma once

// Driving the product bundle as a host does: a temporary HOME, parameters by host name, the read-out and command
// properties, and a test tone played on any thread.

#include "support/ScopedHome.h"
#include "engine/ZaniqPrivateProperties.h"
#include "au/testplug/TestBundles.h"
#include "tools/auhost/ChainRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
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

// --- Audio between the instances --------------------------------------------------------------------------------

using Block = std::vector<std::vector<float>>; // one vector per channel

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

// The product bundle loaded under a temporary HOME (a derived fixture's members go before the home does).
class ZaniqBundleTest : public ::testing::Test
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

} // namespace zqhost

#pragma once

// The in-process effects `auhost chain` puts between the Sender and the Receiver, written as "--fx" specs:
//   gain:DB             multiply by 10^(DB/20)
//   delay:SAMPLES       delay by whole samples (silence first)
//   lowpass:HZ          2nd-order Butterworth low-pass (bilinear transform, cutoff pre-warped)
//   highshelf:HZ:DB     high shelf of the audio-EQ cookbook with slope S = 1, DB of gain above HZ
//   clip:DB             hard clip at +-10^(DB/20)
//   noise:DB[:SEED]     white noise, uniform in +-10^(DB/20), added (a noise floor); each channel has its own,
//                       repeatable for a seed (default 1)
//   mute                silence
// Each channel has its own state; the chain runs the effects in the order given.

#include "tools/auhost/Render.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace auhost
{

struct FxSpec
{
  enum class Kind
  {
    Gain,
    Delay,
    Lowpass,
    HighShelf,
    Clip,
    Noise,
    Mute,
  };
  Kind kind = Kind::Gain;
  double a = 0.0;   // dB (gain, clip, noise), samples (delay), Hz (lowpass, highshelf)
  double b = 0.0;   // dB (highshelf), seed (noise)
  std::string text; // the text as given on the command line
};

// Limits of the specs.
inline constexpr double kFxMaxDB = 144.0;                  // |DB| of gain, highshelf and clip
inline constexpr uint32_t kFxMaxDelay = uint32_t(1) << 22; // samples

// Parses "SPEC[,SPEC...]" (no spaces; numbers in the C locale). Failure: false and one line in error naming the
// spec and what is wrong; out is left as it was.
bool ParseFxList(std::string_view text, std::vector<FxSpec>& out, std::string& error);

// Effects as the chain's "effect before the Receiver": every spec in order, on up to `channels` buffers (buffers
// beyond pass unchanged). Never allocates while processing.
class FxChain final : public Effect
{
public:
  // [main thread] Checks the specs against the sample rate (a filter frequency must lie below half of it) and
  // prepares each effect's state. Failure: one line naming the bad effect.
  static Status Make(const std::vector<FxSpec>& specs, double sampleRate, uint32_t channels,
                     std::unique_ptr<FxChain>& out);
  ~FxChain() override;

  // [audio thread]
  void Process(AudioBufferList& data, UInt32 frames) override;

  // One effect: processes one channel's samples in place.
  class Stage
  {
  public:
    virtual ~Stage() = default;
    virtual void Run(uint32_t channel, float* samples, uint32_t frames) = 0;
  };

private:
  FxChain() = default;
  std::vector<std::unique_ptr<Stage>> mStages;
  uint32_t mChannels = 0;
};

// Coefficients of a biquad, a0 normalised to 1: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
struct BiquadCoefficients
{
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};
BiquadCoefficients ButterworthLowpass(double hz, double sampleRate);
BiquadCoefficients CookbookHighShelf(double hz, double dB, double sampleRate);

} // namespace auhost

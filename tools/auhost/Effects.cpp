// The in-process effects of `auhost chain`.

#include "tools/auhost/Effects.h"

#include "tools/auhost/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace auhost
{

namespace
{

// ---------------------------------------------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------------------------------------------

std::vector<std::string_view> Split(std::string_view text, char sep)
{
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;)
  {
    const size_t pos = text.find(sep, start);
    parts.push_back(text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
    if (pos == std::string_view::npos) return parts;
    start = pos + 1;
  }
}

bool ParseSpec(std::string_view text, FxSpec& spec, std::string& error)
{
  const std::string where = "--fx " + std::string(text) + ": ";
  const std::vector<std::string_view> parts = Split(text, ':');
  const std::string_view name = parts[0];
  const size_t nArgs = parts.size() - 1;
  auto wantArgs = [&](size_t n, const char* form) {
    if (nArgs == n) return true;
    error = where + "write it " + form;
    return false;
  };
  auto number = [&](size_t i, const char* what, double lo, double hi, double& v) {
    if (!ParseFiniteNumber(parts[i], v))
    {
      error = where + std::string(what) + " \"" + std::string(parts[i]) + "\" is not a number";
      return false;
    }
    if (v < lo || v > hi)
    {
      error = where + std::string(what) + " must lie from " + FormatNumber(lo) + " to " + FormatNumber(hi);
      return false;
    }
    return true;
  };

  spec = FxSpec();
  spec.text = std::string(text);
  if (name == "gain")
  {
    spec.kind = FxSpec::Kind::Gain;
    return wantArgs(1, "gain:DB") && number(1, "the gain in dB", -kFxMaxDB, kFxMaxDB, spec.a);
  }
  if (name == "delay")
  {
    spec.kind = FxSpec::Kind::Delay;
    if (!wantArgs(1, "delay:SAMPLES")) return false;
    uint32_t n = 0;
    if (!ParseWhole(parts[1], n) || n > kFxMaxDelay)
    {
      error = where + "the delay must be a whole number of samples from 0 to " + std::to_string(kFxMaxDelay);
      return false;
    }
    spec.a = n;
    return true;
  }
  if (name == "lowpass")
  {
    spec.kind = FxSpec::Kind::Lowpass;
    if (!wantArgs(1, "lowpass:HZ") || !number(1, "the frequency", 0.0, 1e7, spec.a)) return false;
    if (spec.a <= 0.0)
    {
      error = where + "the frequency must be above 0 Hz";
      return false;
    }
    return true;
  }
  if (name == "highshelf")
  {
    spec.kind = FxSpec::Kind::HighShelf;
    if (!wantArgs(2, "highshelf:HZ:DB") || !number(1, "the frequency", 0.0, 1e7, spec.a) ||
        !number(2, "the gain in dB", -kFxMaxDB, kFxMaxDB, spec.b))
      return false;
    if (spec.a <= 0.0)
    {
      error = where + "the frequency must be above 0 Hz";
      return false;
    }
    return true;
  }
  if (name == "clip")
  {
    spec.kind = FxSpec::Kind::Clip;
    return wantArgs(1, "clip:DB") && number(1, "the level in dB", -kFxMaxDB, kFxMaxDB, spec.a);
  }
  if (name == "noise")
  {
    spec.kind = FxSpec::Kind::Noise;
    if (nArgs != 1 && nArgs != 2)
    {
      error = where + "write it noise:DB or noise:DB:SEED";
      return false;
    }
    if (!number(1, "the level in dB", -kFxMaxDB, kFxMaxDB, spec.a)) return false;
    uint32_t seed = 1;
    if (nArgs == 2 && !ParseWhole(parts[2], seed))
    {
      error = where + "the seed must be a whole number from 0 to 4294967295";
      return false;
    }
    spec.b = seed;
    return true;
  }
  if (name == "mute")
  {
    spec.kind = FxSpec::Kind::Mute;
    return wantArgs(0, "mute");
  }
  error = where + "unknown effect \"" + std::string(name) +
          "\" (effects: gain:DB, delay:SAMPLES, lowpass:HZ, highshelf:HZ:DB, clip:DB, noise:DB[:SEED], mute)";
  return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Stages
// ---------------------------------------------------------------------------------------------------------------

class GainStage final : public FxChain::Stage
{
public:
  explicit GainStage(double dB) : mFactor(static_cast<float>(std::pow(10.0, dB / 20.0))) {}
  void Run(uint32_t, float* x, uint32_t n) override
  {
    for (uint32_t i = 0; i < n; ++i) x[i] *= mFactor;
  }

private:
  float mFactor;
};

class DelayStage final : public FxChain::Stage
{
public:
  DelayStage(uint32_t samples, uint32_t channels)
    : mLength(samples), mLines(channels, std::vector<float>(samples, 0.f)), mPos(channels, 0)
  {
  }
  void Run(uint32_t c, float* x, uint32_t n) override
  {
    if (mLength == 0) return;
    std::vector<float>& line = mLines[c];
    uint32_t pos = mPos[c];
    for (uint32_t i = 0; i < n; ++i)
    {
      const float out = line[pos];
      line[pos] = x[i];
      x[i] = out;
      if (++pos == mLength) pos = 0;
    }
    mPos[c] = pos;
  }

private:
  uint32_t mLength;
  std::vector<std::vector<float>> mLines;
  std::vector<uint32_t> mPos;
};

// Transposed direct form II, in double.
class BiquadStage final : public FxChain::Stage
{
public:
  BiquadStage(const BiquadCoefficients& k, uint32_t channels) : mK(k), mState(channels) {}
  void Run(uint32_t c, float* x, uint32_t n) override
  {
    State& s = mState[c];
    for (uint32_t i = 0; i < n; ++i)
    {
      const double in = x[i];
      const double out = mK.b0 * in + s.z1;
      s.z1 = mK.b1 * in - mK.a1 * out + s.z2;
      s.z2 = mK.b2 * in - mK.a2 * out;
      x[i] = static_cast<float>(out);
    }
  }

private:
  struct State
  {
    double z1 = 0.0, z2 = 0.0;
  };
  BiquadCoefficients mK;
  std::vector<State> mState;
};

class ClipStage final : public FxChain::Stage
{
public:
  explicit ClipStage(double dB) : mLevel(static_cast<float>(std::pow(10.0, dB / 20.0))) {}
  void Run(uint32_t, float* x, uint32_t n) override
  {
    for (uint32_t i = 0; i < n; ++i) x[i] = std::clamp(x[i], -mLevel, mLevel);
  }

private:
  float mLevel;
};

// A 64-bit linear congruential generator per channel; the top 24 bits make a float in [-1, 1) exactly.
class NoiseStage final : public FxChain::Stage
{
public:
  NoiseStage(double dB, uint32_t seed, uint32_t channels)
    : mLevel(static_cast<float>(std::pow(10.0, dB / 20.0))), mState(channels)
  {
    for (uint32_t c = 0; c < channels; ++c) mState[c] = (uint64_t(seed) << 32 | c) * 0x9E3779B97F4A7C15ull + 1;
  }
  void Run(uint32_t c, float* x, uint32_t n) override
  {
    uint64_t& state = mState[c];
    for (uint32_t i = 0; i < n; ++i)
    {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      const float u = static_cast<float>(int32_t(state >> 40) - (1 << 23)) / float(1 << 23);
      x[i] += mLevel * u;
    }
  }

private:
  float mLevel;
  std::vector<uint64_t> mState;
};

class MuteStage final : public FxChain::Stage
{
public:
  void Run(uint32_t, float* x, uint32_t n) override { std::fill(x, x + n, 0.f); }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Coefficients
// ---------------------------------------------------------------------------------------------------------------

BiquadCoefficients ButterworthLowpass(double hz, double sampleRate)
{
  // The cookbook low-pass with Q = 1/sqrt(2) is the bilinear Butterworth.
  const double w0 = 2.0 * std::numbers::pi * hz / sampleRate;
  const double cosw = std::cos(w0);
  const double alpha = std::sin(w0) / std::numbers::sqrt2; // sin(w0) / (2 Q), Q = 1/sqrt(2)
  const double a0 = 1.0 + alpha;
  BiquadCoefficients k;
  k.b0 = (1.0 - cosw) / 2.0 / a0;
  k.b1 = (1.0 - cosw) / a0;
  k.b2 = k.b0;
  k.a1 = -2.0 * cosw / a0;
  k.a2 = (1.0 - alpha) / a0;
  return k;
}

BiquadCoefficients CookbookHighShelf(double hz, double dB, double sampleRate)
{
  const double A = std::pow(10.0, dB / 40.0);
  const double w0 = 2.0 * std::numbers::pi * hz / sampleRate;
  const double cosw = std::cos(w0);
  // Slope S = 1: alpha = sin(w0)/2 * sqrt((A + 1/A)(1/S - 1) + 2).
  const double alpha = std::sin(w0) / 2.0 * std::numbers::sqrt2;
  const double sqrtA2alpha = 2.0 * std::sqrt(A) * alpha;
  const double a0 = (A + 1.0) - (A - 1.0) * cosw + sqrtA2alpha;
  BiquadCoefficients k;
  k.b0 = A * ((A + 1.0) + (A - 1.0) * cosw + sqrtA2alpha) / a0;
  k.b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cosw) / a0;
  k.b2 = A * ((A + 1.0) + (A - 1.0) * cosw - sqrtA2alpha) / a0;
  k.a1 = 2.0 * ((A - 1.0) - (A + 1.0) * cosw) / a0;
  k.a2 = ((A + 1.0) - (A - 1.0) * cosw - sqrtA2alpha) / a0;
  return k;
}

// ---------------------------------------------------------------------------------------------------------------
// Parsing and the chain
// ---------------------------------------------------------------------------------------------------------------

bool ParseFxList(std::string_view text, std::vector<FxSpec>& out, std::string& error)
{
  if (text.empty())
  {
    error = "--fx needs at least one effect";
    return false;
  }
  std::vector<FxSpec> specs;
  for (std::string_view part : Split(text, ','))
  {
    if (part.empty())
    {
      error = "--fx " + std::string(text) + ": an empty effect between commas";
      return false;
    }
    FxSpec spec;
    if (!ParseSpec(part, spec, error)) return false;
    specs.push_back(std::move(spec));
  }
  out = std::move(specs);
  return true;
}

FxChain::~FxChain() = default;

Status FxChain::Make(const std::vector<FxSpec>& specs, double sampleRate, uint32_t channels,
                     std::unique_ptr<FxChain>& out)
{
  out.reset();
  if (!std::isfinite(sampleRate) || sampleRate <= 0.0) return Status::Error("effects: no valid sample rate");
  std::unique_ptr<FxChain> chain(new FxChain());
  chain->mChannels = channels;
  for (const FxSpec& spec : specs)
  {
    const bool filter = spec.kind == FxSpec::Kind::Lowpass || spec.kind == FxSpec::Kind::HighShelf;
    if (filter && spec.a >= sampleRate / 2.0)
      return Status::Error("--fx " + spec.text + ": the frequency must lie below half the sample rate (" +
                           FormatNumber(sampleRate / 2.0) + " Hz)");
    std::unique_ptr<Stage> stage;
    switch (spec.kind)
    {
      case FxSpec::Kind::Gain: stage = std::make_unique<GainStage>(spec.a); break;
      case FxSpec::Kind::Delay: stage = std::make_unique<DelayStage>(static_cast<uint32_t>(spec.a), channels); break;
      case FxSpec::Kind::Lowpass:
        stage = std::make_unique<BiquadStage>(ButterworthLowpass(spec.a, sampleRate), channels);
        break;
      case FxSpec::Kind::HighShelf:
        stage = std::make_unique<BiquadStage>(CookbookHighShelf(spec.a, spec.b, sampleRate), channels);
        break;
      case FxSpec::Kind::Clip: stage = std::make_unique<ClipStage>(spec.a); break;
      case FxSpec::Kind::Noise:
        stage = std::make_unique<NoiseStage>(spec.a, static_cast<uint32_t>(spec.b), channels);
        break;
      case FxSpec::Kind::Mute: stage = std::make_unique<MuteStage>(); break;
    }
    chain->mStages.push_back(std::move(stage));
  }
  out = std::move(chain);
  return Status::Ok();
}

void FxChain::Process(AudioBufferList& data, UInt32 frames)
{
  const UInt32 n = std::min<UInt32>(data.mNumberBuffers, mChannels);
  for (UInt32 c = 0; c < n; ++c)
  {
    auto* samples = static_cast<float*>(data.mBuffers[c].mData);
    if (!samples) continue;
    const UInt32 count = std::min<UInt32>(frames, data.mBuffers[c].mDataByteSize / sizeof(float));
    for (const auto& stage : mStages) stage->Run(c, samples, count);
  }
}

} // namespace auhost

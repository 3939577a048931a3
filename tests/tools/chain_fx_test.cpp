// The effects of `auhost chain` against their formulas: gain, delay, clip and mute sample by sample; the
// low-pass and the high shelf by their magnitude at test frequencies against the analytic responses of the
// analog prototypes under the bilinear transform.

#include "support/AuhostRun.h"
#include "tools/auhost/Effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>

using namespace auhost;
using toolstest::Sine;

namespace
{

constexpr double kRate = 48000.0;

std::unique_ptr<FxChain> MakeChain(const std::string& text, uint32_t channels = 2, double rate = kRate)
{
  std::vector<FxSpec> specs;
  std::string error;
  EXPECT_TRUE(ParseFxList(text, specs, error)) << error;
  std::unique_ptr<FxChain> chain;
  const Status s = FxChain::Make(specs, rate, channels, chain);
  EXPECT_TRUE(s.ok()) << s.message();
  return chain;
}

// Runs the channels through the chain in blocks of the given sizes, cycling through them.
void RunFx(FxChain& chain, std::vector<std::vector<float>>& channels, std::vector<uint32_t> blocks = {512})
{
  const size_t frames = channels.front().size();
  size_t pos = 0;
  for (size_t b = 0; pos < frames; ++b)
  {
    const auto n = static_cast<UInt32>(std::min<size_t>(blocks[b % blocks.size()], frames - pos));
    float* pointers[Instance::kMaxChannels];
    for (size_t c = 0; c < channels.size(); ++c) pointers[c] = channels[c].data() + pos;
    BufferListStorage storage;
    chain.Process(*storage.Make(n, pointers, static_cast<UInt32>(channels.size())), n);
    pos += n;
  }
}

// Steady-state gain in dB of a chain for a sine at hz (hz must divide the rate, so the window holds whole
// periods): the sine's amplitude is found by projecting the output onto sine and cosine.
double MeasureGainDB(const std::string& fx, double hz)
{
  const size_t frames = static_cast<size_t>(kRate); // 1 s: settles in the first half
  std::vector<std::vector<float>> x = Sine(1, frames, hz, 0.25).channels;
  auto chain = MakeChain(fx, 1);
  RunFx(*chain, x);
  double s = 0.0, c = 0.0;
  const size_t start = frames / 2;
  for (size_t i = start; i < frames; ++i)
  {
    const double ph = 2.0 * std::numbers::pi * hz * i / kRate;
    s += x[0][i] * std::sin(ph);
    c += x[0][i] * std::cos(ph);
  }
  const double n = static_cast<double>(frames - start);
  const double amplitude = 2.0 * std::hypot(s, c) / n;
  return 20.0 * std::log10(amplitude / 0.25);
}

// Bilinear transform with the cutoff pre-warped: the analog frequency that maps onto hz, normalised to fc.
double Warped(double hz, double fc)
{
  return std::tan(std::numbers::pi * hz / kRate) / std::tan(std::numbers::pi * fc / kRate);
}

// Second-order Butterworth: |H|^2 = 1 / (1 + W^4).
double ButterworthDB(double hz, double fc)
{
  return -10.0 * std::log10(1.0 + std::pow(Warped(hz, fc), 4.0));
}

// The cookbook's analog high shelf, H(s) = A (A s^2 + sqrt(A)/Q s + 1) / (s^2 + sqrt(A)/Q s + A), with slope 1
// (1/Q = sqrt(2)) and A = 10^(dB/40).
double HighShelfDB(double hz, double fc, double dB)
{
  const double A = std::pow(10.0, dB / 40.0);
  const std::complex<double> s(0.0, Warped(hz, fc));
  const double k = std::sqrt(A) * std::numbers::sqrt2;
  const std::complex<double> h = A * (A * s * s + k * s + 1.0) / (s * s + k * s + A);
  return 20.0 * std::log10(std::abs(h));
}

} // namespace

TEST(ChainFx, ParsesEverySpecAndNamesTheFaultyOne)
{
  std::vector<FxSpec> specs;
  std::string error;
  ASSERT_TRUE(ParseFxList("gain:6,delay:48,lowpass:1000.5,highshelf:4000:-3,clip:-1,mute,gain:+1.5,noise:-90,"
                          "noise:-60:7",
                          specs, error))
    << error;
  using K = FxSpec::Kind;
  const std::tuple<K, double, double> want[] = {{K::Gain, 6.0, 0.0},     {K::Delay, 48.0, 0.0},
                                                {K::Lowpass, 1000.5, 0.0}, {K::HighShelf, 4000.0, -3.0},
                                                {K::Clip, -1.0, 0.0},     {K::Mute, 0.0, 0.0},
                                                {K::Gain, 1.5, 0.0},      {K::Noise, -90.0, 1.0},
                                                {K::Noise, -60.0, 7.0}};
  ASSERT_EQ(specs.size(), std::size(want));
  for (size_t i = 0; i < specs.size(); ++i)
  {
    EXPECT_EQ(std::tie(specs[i].kind, specs[i].a, specs[i].b), want[i]) << i;
  }
  EXPECT_EQ(specs[3].text, "highshelf:4000:-3");

  const struct
  {
    const char* text;
    const char* error;
  } bad[] = {
    {"", "--fx needs at least one effect"},
    {"gain:6,", "--fx gain:6,: an empty effect between commas"},
    {"reverb:2", "--fx reverb:2: unknown effect \"reverb\" (effects: gain:DB, delay:SAMPLES, lowpass:HZ, "
                 "highshelf:HZ:DB, clip:DB, noise:DB[:SEED], mute)"},
    {"noise:-60:-1", "--fx noise:-60:-1: the seed must be a whole number from 0 to 4294967295"},
    {"gain", "--fx gain: write it gain:DB"},
    {"gain:200", "--fx gain:200: the gain in dB must lie from -144 to 144"},
    {"delay:-1", "--fx delay:-1: the delay must be a whole number of samples from 0 to 4194304"},
    {"lowpass:0", "--fx lowpass:0: the frequency must be above 0 Hz"},
  };
  for (const auto& b : bad)
  {
    std::vector<FxSpec> kept(1);
    EXPECT_FALSE(ParseFxList(b.text, kept, error)) << b.text;
    EXPECT_EQ(error, b.error);
    EXPECT_EQ(kept.size(), 1u); // untouched
  }

  // A filter must lie below half the sample rate, which only the chain knows.
  ASSERT_TRUE(ParseFxList("gain:1,highshelf:24000:3", specs, error));
  std::unique_ptr<FxChain> chain;
  const Status s = FxChain::Make(specs, kRate, 2, chain);
  EXPECT_EQ(s.message(), "--fx highshelf:24000:3: the frequency must lie below half the sample rate (24000 Hz)");
  EXPECT_EQ(chain, nullptr);
}

TEST(ChainFx, GainDelayClipAndMuteFollowTheirFormulasExactly)
{
  const size_t n = 3000;
  const AudioData input = Sine(2, n, 1234.5, 1.5); // louder than the clip
  const std::vector<float>& left = input.channels[0];
  const std::vector<float>& right = input.channels[1];

  const auto factor = static_cast<float>(std::pow(10.0, -7.5 / 20.0));
  const auto level = static_cast<float>(std::pow(10.0, -6.0 / 20.0));
  ASSERT_TRUE(std::any_of(left.begin(), left.end(), [&](float v) { return std::fabs(v) > level; }));
  using Formula = std::function<float(const std::vector<float>&, size_t)>;
  const std::pair<const char*, Formula> cases[] = {
    {"gain:-7.5", [&](const auto& x, size_t i) { return x[i] * factor; }},
    {"delay:77", [](const auto& x, size_t i) { return i < 77 ? 0.f : x[i - 77]; }},
    {"clip:-6", [&](const auto& x, size_t i) { return std::fabs(x[i]) > level ? std::copysign(level, x[i]) : x[i]; }},
    {"mute", [](const auto&, size_t) { return 0.f; }},
  };
  // Blocks of uneven sizes: the delay keeps each channel's own history across them.
  for (const auto& [fx, formula] : cases)
  {
    std::vector<std::vector<float>> x = {left, right};
    RunFx(*MakeChain(fx), x, {1, 64, 5, 300, 100, 37, 512});
    for (size_t i = 0; i < n; ++i)
    {
      ASSERT_EQ(x[0][i], formula(left, i)) << fx << " at " << i;
      ASSERT_EQ(x[1][i], formula(right, i)) << fx << " at " << i;
    }
  }

  std::vector<std::vector<float>> x;
  // In order: gain before clip clips the louder signal; clip before gain scales the clipped one.
  x = {{1.0f}};
  RunFx(*MakeChain("gain:6.0206,clip:0", 1), x);
  EXPECT_EQ(x[0][0], 1.0f);
  x = {{1.0f}};
  RunFx(*MakeChain("clip:0,gain:-6.0206", 1), x);
  EXPECT_NEAR(x[0][0], 0.5f, 1e-6);

  // Noise is added within its level, each channel its own, the same again for the same seed whatever the blocks.
  const std::vector<float> silence(n, 0.f);
  x = {silence, silence};
  RunFx(*MakeChain("noise:-40:3"), x, {1, 64, 5, 300});
  std::vector<std::vector<float>> again = {silence, silence};
  RunFx(*MakeChain("noise:-40:3"), again, {512});
  double power = 0.0;
  for (float v : x[0]) power += double(v) * v / n;
  EXPECT_TRUE(x == again && x[0] != x[1] && std::ranges::all_of(x[0], [](float v) { return std::fabs(v) <= 0.01f; }));
  EXPECT_NEAR(10.0 * std::log10(power), -40.0 - 4.77, 0.5); // uniform: a third of the peak's square

  // Buffers beyond the prepared channels pass unchanged.
  x = {left, right, left};
  RunFx(*MakeChain("gain:-6", 2), x);
  EXPECT_EQ(x[2], left);
}

TEST(ChainFx, LowpassIsTheBilinearButterworth)
{
  const double fc = 1000.0;
  for (double hz : {100.0, 500.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0})
    EXPECT_NEAR(MeasureGainDB("lowpass:1000", hz), ButterworthDB(hz, fc), 0.01) << hz << " Hz";
  EXPECT_NEAR(MeasureGainDB("lowpass:1000", fc), -3.0103, 0.01);
}

TEST(ChainFx, HighShelfIsTheCookbookShelfWithSlopeOne)
{
  for (double dB : {3.0, -9.0})
  {
    const std::string fx = "highshelf:4000:" + std::to_string(dB);
    for (double hz : {100.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0, 24000.0 / 1.5})
      EXPECT_NEAR(MeasureGainDB(fx, hz), HighShelfDB(hz, 4000.0, dB), 0.01) << dB << " dB at " << hz << " Hz";
    // Half the gain at the corner.
    EXPECT_NEAR(MeasureGainDB(fx, 4000.0), dB / 2.0, 0.01);
  }
}

// DSP utilities against independent references: windows against their textbook formulas and the standard library's
// Bessel function, the complex and real FFTs against a DFT summed here term by term and against spectra known by
// hand, polar forms against hand-worked pairs; channel buffers, and the chain's lookup, preparation and ownership.

#include "engine/DSPUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <vector>

namespace
{

constexpr double kPi = std::numbers::pi;
using C = std::complex<double>;

TEST(ChannelBuffers, ZeroCopyAtAnOffsetAndSkipWhatIsMissing)
{
  EXPECT_TRUE(AllocChannelBuffers(0, 2) == nullptr && AllocChannelBuffers(8, 0) == nullptr);
  double **a = AllocChannelBuffers(8, 3), **b = AllocChannelBuffers(8, 3);
  ASSERT_TRUE(a && b);
  for (int i = 0; i < 24; ++i)
  {
    a[i / 8][i % 8] = 10 * (i / 8) + i % 8;
    b[i / 8][i % 8] = -1.0;
  }
  ZeroChannelBuffers(b, 8, 3);
  CopyChannelBuffers(a, b, 5, 3, 2);
  for (int i = 0; i < 24; ++i)
    EXPECT_EQ(b[i / 8][i % 8], (i % 8 >= 2 && i % 8 < 7) ? 10.0 * (i / 8) + i % 8 - 2 : 0.0) << i;
  // A missing channel is skipped and the others still done; null pointers, negative offsets or lengths do nothing.
  double* held = b[1];
  b[1] = nullptr;
  ZeroChannelBuffers(b, 8, 3);
  CopyChannelBuffers(a, b, 8, 3, 0);
  b[1] = held;
  EXPECT_EQ(std::tuple(b[0][7], b[1][2], b[2][7]), std::tuple(7.0, 10.0, 27.0));
  CopyChannel(a[2], nullptr, 8, 0);
  CopyChannel(nullptr, b[0], 8, 0);
  CopyChannel(a[2], b[0], 8, -1);
  CopyChannel(a[2], b[0], -3, 0);
  EXPECT_EQ(b[0][0], 0.0);
  FreeChannelBuffers(a, 3);
  FreeChannelBuffers(b, 3);
}

TEST(Windows, SincAndBesselMatchTheirDefinitions)
{
  EXPECT_EQ(std::pair(Sinc(0.0), Sinc(-5e-15)), std::pair(1.0, 1.0));
  EXPECT_NEAR(Sinc(kPi), 0.0, 1e-16);
  EXPECT_DOUBLE_EQ(Sinc(kPi / 2), 2.0 / kPi);
  EXPECT_NEAR(BesselI0(1.0), 1.2660658777520082, 1e-15); // tables of the modified Bessel function
  for (double z : {0.0, 0.25, 3.0, 8.0, 20.0, -4.0})
    EXPECT_NEAR(BesselI0(z) / std::cyl_bessel_i(0.0, std::fabs(z)), 1.0, 1e-13) << z;
}

TEST(Windows, EveryTypeMatchesItsFormulaPlainAndNormalised)
{
  // a0 - a1 cos(tk) + a2 cos(2tk) - ..., t = 2 pi / (n - 1).
  auto cosSum = [](std::vector<double> a) {
    return [a](int k, int n) {
      double v = 0.0;
      for (size_t m = 0; m < a.size(); ++m)
        v += (m % 2 ? -a[m] : a[m]) * std::cos(2.0 * kPi * double(m) * k / (n - 1));
      return v;
    };
  };
  auto kaiser = [](double beta) {
    return [beta](int k, int n) {
      const double x = double(k - n / 2) / (n - 1);
      return std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
    };
  };
  const std::pair<int, std::function<double(int, int)>> cases[] = {
      {kWindowBlackman, cosSum({0.42, 0.5, 0.08})},
      {kWindowKaiser4, kaiser(4.0)},
      {kWindowKaiser5, kaiser(5.0)},
      {kWindowKaiser6, kaiser(6.0)},
      {kWindowKaiser8, kaiser(8.0)},
      {kWindowRectangular, [](int, int) { return 1.0; }},
      {kWindowHann, [](int k, int n) { return std::pow(std::sin(kPi * k / (n - 1)), 2.0); }},
      {kWindowTriangular, [](int k, int n) { return 1.0 - std::fabs(2.0 * k / (n - 1) - 1.0); }},
      {kWindowBlackmanHarris, cosSum({0.358750287312166, 0.4882901074726, 0.141279712970519, 0.011679892244715})},
      {kWindowFlatTop, cosSum({1.0, 1.93, 1.29, 0.388, 0.028})},
      {kWindowHannSquared, [](int k, int n) { return std::pow(std::sin(kPi * k / (n - 1)), 4.0); }},
      {kWindowSinc,
       [](int k, int n) {
         const double a = (k - n / 2.0) / kPi * 0.25;
         return a == 0.0 ? 1.0 : std::sin(a) / a;
       }},
      {kWindowBlackmanHarris7, cosSum({0.2712203605850388, 0.4334446123274422, 0.2180041228929303,
                                       0.06578534329560609, 0.01076186730534183, 0.0007700127105808265,
                                       1.368088305992921e-5})},
      {kWindowHamming, cosSum({0.53836, 0.46164})},
      {99, cosSum({0.53836, 0.46164})}, // any other type is a Hamming window
  };
  for (int n : {4, 33})
    for (const auto& [type, value] : cases)
    {
      const std::vector<double> w = MakeWindow(n, type, false), norm = MakeWindow(n, type, true);
      ASSERT_EQ(std::pair(w.size(), norm.size()), std::pair(size_t(n), size_t(n))) << type;
      double sum = 0.0;
      for (int k = 0; k < n; ++k) sum += value(k, n);
      for (int k = 0; k < n; ++k)
      {
        EXPECT_NEAR(w[size_t(k)], value(k, n), 1e-12) << type << " n " << n << " k " << k;
        EXPECT_NEAR(norm[size_t(k)], value(k, n) / sum, 1e-12) << type << " n " << n << " k " << k;
      }
    }
  // Worked by hand: five rectangular values normalised; Hann at its quarter points; the ends and middle of
  // Blackman (0.42 -+ 0.5 + 0.08), Hamming and the flat top; empty tables.
  EXPECT_EQ(MakeWindow(5, kWindowRectangular, true), std::vector<double>(5, 0.2));
  const std::pair<std::vector<double>, std::vector<double>> worked[] = {
      {MakeWindow(5, kWindowHann, false), {0.0, 0.5, 1.0, 0.5, 0.0}},
      {MakeWindow(3, kWindowBlackman, false), {0.0, 1.0, 0.0}},
      {MakeWindow(3, kWindowHamming, false), {0.07672, 1.0, 0.07672}},
      {MakeWindow(3, kWindowFlatTop, false), {0.0, 4.636, 0.0}}};
  for (const auto& [w, expected] : worked)
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_NEAR(w.at(k), expected[k], 1e-12) << k;
  EXPECT_TRUE(MakeWindow(0, kWindowHann, true).empty() && MakeWindow(-3, kWindowHann, true).empty());
}

// X[k] = sum_j x[j] e^{sign 2 pi i jk / n}, scaled by 1/n for sign -1, summed term by term.
std::vector<C> DirectDFT(const std::vector<C>& x, int sign)
{
  const size_t n = x.size();
  std::vector<C> y(n);
  for (size_t k = 0; k < n; ++k)
  {
    for (size_t j = 0; j < n; ++j) y[k] += x[j] * std::polar(1.0, sign * 2.0 * kPi * double(j * k % n) / double(n));
    if (sign < 0) y[k] /= double(n);
  }
  return y;
}

double Signal(int i, int seed)
{
  return std::sin(0.37 * i * (seed + 1)) + 0.5 * std::cos(1.91 * i + seed) + (i % 5 == seed % 5 ? 0.25 : 0);
}

// |data's complex point k - z|.
double Off(const std::vector<double>& data, int k, C z)
{
  return std::abs(C(data[size_t(2 * k)], data[size_t(2 * k + 1)]) - z);
}

TEST(FFT, BothDirectionsMatchTheDirectDFTAndUndoEachOther)
{
  for (int sign : {1, -1})
    for (int n : {1, 2, 4, 8, 64, 256})
    {
      SCOPED_TRACE(testing::Message() << "n " << n << " sign " << sign);
      std::vector<double> data;
      std::vector<C> x;
      for (int i = 0; i < n; ++i)
      {
        x.emplace_back(Signal(i, 1), Signal(i, 2));
        data.insert(data.end(), {x.back().real(), x.back().imag()});
      }
      const std::vector<double> input = data;
      ASSERT_TRUE(FFT(data.data(), n, sign));
      const std::vector<C> ref = DirectDFT(x, sign);
      for (int k = 0; k < n; ++k) EXPECT_LT(Off(data, k, ref[size_t(k)]), 1e-9) << k;
      ASSERT_TRUE(FFT(data.data(), n, -sign));
      for (size_t i = 0; i < data.size(); ++i) EXPECT_NEAR(data[i], input[i], 1e-12) << i;
    }

  // Known spectra: a unit impulse is flat; the tone e^{-2 pi i 3j/16} is 16 in bin 3 of the +1 transform alone.
  std::vector<double> impulse(32, 0.0), tone(32);
  impulse[0] = 1.0;
  for (int j = 0; j < 16; ++j)
  {
    tone[size_t(2 * j)] = std::cos(kPi * 3 * j / 8);
    tone[size_t(2 * j + 1)] = -std::sin(kPi * 3 * j / 8);
  }
  ASSERT_TRUE(FFT(impulse.data(), 16, 1) && FFT(tone.data(), 16, 1));
  for (int k = 0; k < 16; ++k)
  {
    EXPECT_LT(Off(impulse, k, 1.0), 1e-15) << k;
    EXPECT_LT(Off(tone, k, k == 3 ? 16.0 : 0.0), 1e-12) << k;
  }

  // Sizes that are no power of two (or too small for the real transform) and bad signs change nothing.
  std::vector<double> data(26, 1.0);
  EXPECT_FALSE(FFT(data.data(), 12, 1) || FFT(data.data(), 0, 1) || FFT(data.data(), -8, 1) ||
               FFT(data.data(), 8, 0) || FFT(data.data(), 8, 2) || FFT(nullptr, 8, 1));
  EXPECT_FALSE(RealFFT(data.data(), 12, 1) || RealFFT(data.data(), 1, 1) || RealFFT(data.data(), 8, 0) ||
               RealFFT(nullptr, 8, -1));
  EXPECT_EQ(data, std::vector<double>(26, 1.0));
}

TEST(RealFFT, ForwardMatchesTheDirectDFTAndTheInverseRestoresTheSamples)
{
  for (int n : {2, 4, 8, 16, 128, 1024})
  {
    SCOPED_TRACE(n);
    std::vector<double> x, data(size_t(n + 2), -7.0);
    for (int i = 0; i < n; ++i) x.push_back(data[size_t(i)] = Signal(i, 3));
    ASSERT_TRUE(RealFFT(data.data(), n, 1));
    const std::vector<C> ref = DirectDFT(std::vector<C>(x.begin(), x.end()), 1);
    // DC in element 0, Nyquist in element n, both real.
    EXPECT_NEAR(data[0], ref[0].real(), 1e-9);
    EXPECT_NEAR(data[size_t(n)], ref[size_t(n / 2)].real(), 1e-9);
    EXPECT_EQ(std::pair(data[1], data[size_t(n + 1)]), std::pair(0.0, 0.0));
    for (int k = 1; k < n / 2; ++k) EXPECT_LT(Off(data, k, ref[size_t(k)]), 1e-9) << k;
    ASSERT_TRUE(RealFFT(data.data(), n, -1));
    for (int i = 0; i < n; ++i) EXPECT_NEAR(data[size_t(i)], x[size_t(i)], 1e-12) << i;
  }
  // Spectra written by hand (n = 8): DC of 8 is a constant 1, Nyquist of 8 alternates, a real 4 in bin 1 is
  // cos(2 pi j / 8).
  const std::pair<int, std::function<double(int)>> spectra[] = {{0, [](int) { return 1.0; }},
                                                                 {8, [](int j) { return j % 2 ? -1.0 : 1.0; }},
                                                                 {2, [](int j) { return std::cos(kPi * j / 4); }}};
  for (const auto& [element, expected] : spectra)
  {
    std::vector<double> data(10, 0.0);
    data[size_t(element)] = element == 2 ? 4.0 : 8.0;
    ASSERT_TRUE(RealFFT(data.data(), 8, -1));
    for (int j = 0; j < 8; ++j) EXPECT_NEAR(data[size_t(j)], expected(j), 1e-12) << element << " " << j;
  }
}

TEST(Polar, HandWorkedPairsRoundTripAndOverlapsInBothDirections)
{
  const std::vector<double> rect = {3.0, 4.0, -1.0, 0.0, 0.0, -2.0, 1.0, 1.0};
  const std::vector<double> polar = {5.0, std::atan2(4.0, 3.0), 1.0, kPi, 2.0, -kPi / 2, std::sqrt(2.0), kPi / 4};
  std::vector<double> out(8);
  ToPolar(rect.data(), 0, out.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], polar[i], 1e-15) << i;
  ToRectangular(polar.data(), 0, out.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], rect[i], 1e-15) << i;
  // In one array, moved later (read from the end) and back earlier (from the start), by a pair and by one double.
  for (int shift : {2, 1})
  {
    std::vector<double> a(rect);
    a.resize(10, 0.0);
    ToPolar(a.data(), 0, a.data(), shift, 8);
    for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(a[i + size_t(shift)], polar[i], 1e-15) << shift << "," << i;
    ToRectangular(a.data(), shift, a.data(), 0, 8);
    for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(a[i], rect[i], 1e-15) << shift << "," << i;
  }
  // An odd count leaves its last double; bad arguments change nothing.
  std::vector<double> odd = {3.0, 4.0, 9.0};
  ToPolar(odd.data(), 0, odd.data(), 0, 3);
  EXPECT_EQ(odd, (std::vector<double>{5.0, std::atan2(4.0, 3.0), 9.0}));
  const std::vector<double> before = odd;
  ToPolar(nullptr, 0, odd.data(), 0, 2);
  ToRectangular(odd.data(), -1, odd.data(), 0, 2);
  ToRectangular(odd.data(), 0, nullptr, 0, 2);
  ToPolar(odd.data(), 0, odd.data(), -2, 2);
  ToPolar(odd.data(), 0, odd.data(), 0, 1);
  EXPECT_EQ(odd, before);
}

// Adds its id to channel 0; logs its preparation (+id) and destruction (-id).
struct LoggingStage : ProcessingStage
{
  LoggingStage(std::vector<int>& log, int id) : log(log), id(id) {}
  ~LoggingStage() override { log.push_back(-id); }
  void Process(double** in, double** out, int frames) override
  {
    for (int i = 0; i < frames; ++i) out[0][i] = in[0][i] + id;
  }
  void Prepare(double) override { log.push_back(id); }
  bool IsEnabled() const override { return enabled; }
  std::vector<int>& log;
  int id;
  bool enabled = true;
};

TEST(ProcessingChain, LookupIsClampedPreparationRunsInOrderAndNothingEnabledPassesTheInput)
{
  std::vector<int> log;
  ProcessingChain chain;
  EXPECT_TRUE(chain.Get(0) == nullptr && chain.Get(-1) == nullptr);
  LoggingStage* s[3] = {new LoggingStage(log, 1), new LoggingStage(log, 2), new LoggingStage(log, 3)};
  EXPECT_EQ((std::vector{chain.Append(s[0]), chain.Append(nullptr), chain.Append(s[1]), chain.Append(s[2])}),
            (std::vector{1, 1, 2, 3}));
  const std::pair<int, ProcessingStage*> lookups[] = {{-1, s[0]}, {0, s[0]}, {1, s[1]},
                                                      {2, s[2]},  {3, s[2]}, {1000, s[2]}};
  for (const auto& [index, stage] : lookups) EXPECT_EQ(chain.Get(index), stage) << index;

  EXPECT_FALSE(chain.Prepare(-1, 8, 44100.0) || chain.Prepare(1, -8, 44100.0));
  ASSERT_TRUE(log.empty() && chain.Prepare(1, 8, 96000.0));
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
  for (LoggingStage* st : s) st->enabled = false;
  std::vector<double> in = {1, 2, 3}, out = {9, 9, 9};
  double *ip[1] = {in.data()}, *op[1] = {out.data()};
  chain.Process(ip, op, 3);
  EXPECT_EQ(out, in); // stale output replaced by the input
  s[1]->enabled = true;
  chain.Process(ip, op, 3);
  EXPECT_EQ(out, (std::vector<double>{3, 4, 5}));
}

TEST(ProcessingChain, StagesAreReleasedByTheOwnershipMode)
{
  // Mode, whether a deleter is given, stages it is handed; an unknown mode calls the deleter.
  const std::tuple<int, bool, int> cases[] = {{ProcessingChain::kCallDeleter, true, 2},
                                              {ProcessingChain::kCallDeleter, false, 0},
                                              {ProcessingChain::kDeletePlain, true, 0},
                                              {7, true, 2}};
  for (const auto& [mode, withDeleter, handedToDeleter] : cases)
  {
    std::vector<int> log;
    int handed = 0;
    {
      ProcessingChain chain;
      ProcessingChain::Deleter deleter;
      if (withDeleter)
        deleter = [&handed](ProcessingStage* s) {
          ++handed;
          delete s;
        };
      chain.SetOwnership(mode, deleter);
      chain.Append(new LoggingStage(log, 1));
      chain.Append(new LoggingStage(log, 2));
    }
    EXPECT_EQ(handed, handedToDeleter) << mode;
    EXPECT_EQ(log, (std::vector<int>{-1, -2})) << mode; // every stage destroyed once, in order
  }
}

} // namespace

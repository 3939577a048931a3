// DSP utilities against independent references: windows against their textbook formulas and the standard library's
// Bessel function, the complex and real FFTs against a DFT summed here term by term, polar forms against
// hand-worked pairs, channel buffers and the chain's lookup, preparation and ownership.

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

// ---------------------------------------------------------------------------------------------------------------
// Channel buffers
// ---------------------------------------------------------------------------------------------------------------

TEST(ChannelBuffers, ZeroCopyAtAnOffsetAndSkipWhatIsMissing)
{
  EXPECT_EQ(AllocChannelBuffers(0, 2), nullptr);
  EXPECT_EQ(AllocChannelBuffers(8, 0), nullptr);
  double** a = AllocChannelBuffers(8, 3);
  double** b = AllocChannelBuffers(8, 3);
  ASSERT_TRUE(a && b);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 8; ++i)
    {
      a[c][i] = 10 * c + i;
      b[c][i] = -1.0;
    }
  ZeroChannelBuffers(b, 8, 3);
  CopyChannelBuffers(a, b, 5, 3, 2);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(b[c][i], (i >= 2 && i < 7) ? 10.0 * c + (i - 2) : 0.0) << c << "," << i;

  // A missing destination channel is skipped, the others are still copied; a null pointer, a negative offset or
  // length copies nothing.
  double* held = b[1];
  b[1] = nullptr;
  ZeroChannelBuffers(b, 8, 3);
  CopyChannelBuffers(a, b, 8, 3, 0);
  b[1] = held;
  EXPECT_EQ(b[0][7], 7.0);
  EXPECT_EQ(b[1][2], 10.0); // untouched by both calls
  EXPECT_EQ(b[2][7], 27.0);
  CopyChannel(a[2], nullptr, 8, 0);
  CopyChannel(nullptr, b[0], 8, 0);
  CopyChannel(a[2], b[0], 8, -1);
  CopyChannel(a[2], b[0], -3, 0);
  EXPECT_EQ(b[0][0], 0.0);
  FreeChannelBuffers(a, 3);
  FreeChannelBuffers(b, 3);
}

// ---------------------------------------------------------------------------------------------------------------
// Sinc, Bessel and windows
// ---------------------------------------------------------------------------------------------------------------

TEST(Windows, SincAndBesselMatchTheirDefinitions)
{
  EXPECT_EQ(Sinc(0.0), 1.0);
  EXPECT_EQ(Sinc(-5e-15), 1.0);
  EXPECT_NEAR(Sinc(kPi), 0.0, 1e-16);
  EXPECT_DOUBLE_EQ(Sinc(kPi / 2), 2.0 / kPi);
  EXPECT_DOUBLE_EQ(Sinc(-2.5), std::sin(2.5) / 2.5);
  // I0(1) = 1.2660658777520082 (tables of the modified Bessel function).
  EXPECT_NEAR(BesselI0(1.0), 1.2660658777520082, 1e-15);
  EXPECT_EQ(BesselI0(0.0), 1.0);
  for (double z : {0.25, 3.0, 8.0, 20.0, -4.0})
    EXPECT_NEAR(BesselI0(z) / std::cyl_bessel_i(0.0, std::fabs(z)), 1.0, 1e-13) << z;
}

TEST(Windows, EveryTypeMatchesItsFormula)
{
  struct Case
  {
    int type;
    std::function<double(int k, int n)> value;
  };
  auto cosSum = [](std::vector<double> a) {
    return [a](int k, int n) {
      double v = 0.0, sign = 1.0;
      for (size_t m = 0; m < a.size(); ++m, sign = -sign)
        v += sign * a[m] * std::cos(2.0 * kPi * double(m) * k / (n - 1));
      return v;
    };
  };
  auto kaiser = [](double beta) {
    return [beta](int k, int n) {
      const double x = double(k - n / 2) / (n - 1);
      return std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
    };
  };
  const Case cases[] = {
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
    for (const Case& c : cases)
    {
      const std::vector<double> w = MakeWindow(n, c.type, false);
      ASSERT_EQ(w.size(), size_t(n)) << c.type;
      for (int k = 0; k < n; ++k) EXPECT_NEAR(w[size_t(k)], c.value(k, n), 1e-12) << c.type << " n " << n << " k " << k;

      // Normalised, the same shape divided by its sum.
      const std::vector<double> norm = MakeWindow(n, c.type, true);
      double sum = 0.0;
      for (double v : w) sum += v;
      for (int k = 0; k < n; ++k) EXPECT_NEAR(norm[size_t(k)], w[size_t(k)] / sum, 1e-12) << c.type;
    }
}

TEST(Windows, HandWorkedValues)
{
  struct Case
  {
    int n, type;
    bool normalise;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {5, kWindowRectangular, true, {0.2, 0.2, 0.2, 0.2, 0.2}},
      {5, kWindowHann, false, {0.0, 0.5, 1.0, 0.5, 0.0}},
      {5, kWindowTriangular, false, {0.0, 0.5, 1.0, 0.5, 0.0}},
      {5, kWindowHannSquared, false, {0.0, 0.25, 1.0, 0.25, 0.0}},
      {3, kWindowBlackman, false, {0.0, 1.0, 0.0}},  // 0.42 - 0.5 + 0.08, 0.42 + 0.5 + 0.08
      {3, kWindowHamming, false, {0.07672, 1.0, 0.07672}},
      {3, kWindowFlatTop, false, {0.0, 4.636, 0.0}},
      {3, kWindowBlackmanHarris, false, {6.000056537e-5, 1.0, 6.000056537e-5}},
      {0, kWindowHann, true, {}},
      {-3, kWindowHann, true, {}},
  };
  for (const Case& c : cases)
  {
    const std::vector<double> w = MakeWindow(c.n, c.type, c.normalise);
    ASSERT_EQ(w.size(), c.expected.size()) << c.type;
    for (size_t k = 0; k < w.size(); ++k) EXPECT_NEAR(w[k], c.expected[k], 1e-12) << c.type << " k " << k;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// FFTs against a direct DFT
// ---------------------------------------------------------------------------------------------------------------

// X[k] = scale * sum_j x[j] e^{sign 2 pi i jk / n}, summed term by term.
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

std::vector<double> TestSignal(int n, int seed)
{
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    v[size_t(i)] = std::sin(0.37 * i * (seed + 1)) + 0.5 * std::cos(1.91 * i + seed) + (i % 5 == seed % 5 ? 0.25 : 0);
  return v;
}

TEST(FFT, BothDirectionsMatchTheDirectDFT)
{
  for (int sign : {1, -1})
    for (int n : {1, 2, 4, 8, 64, 256})
    {
      SCOPED_TRACE(testing::Message() << "n " << n << " sign " << sign);
      const std::vector<double> re = TestSignal(n, 1), im = TestSignal(n, 2);
      std::vector<double> data(size_t(2 * n));
      std::vector<C> x(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i)
      {
        data[size_t(2 * i)] = re[size_t(i)];
        data[size_t(2 * i + 1)] = im[size_t(i)];
        x[size_t(i)] = C(re[size_t(i)], im[size_t(i)]);
      }
      const std::vector<double> input = data;
      ASSERT_TRUE(FFT(data.data(), n, sign));
      const std::vector<C> ref = DirectDFT(x, sign);
      for (int k = 0; k < n; ++k)
        EXPECT_LT(std::abs(C(data[size_t(2 * k)], data[size_t(2 * k + 1)]) - ref[size_t(k)]), 1e-9) << k;
      ASSERT_TRUE(FFT(data.data(), n, -sign));
      // Either way round, the other direction restores the input.
      for (size_t i = 0; i < data.size(); ++i) EXPECT_NEAR(data[i], input[i], 1e-12) << i;
    }
}

TEST(FFT, ToneAndImpulseGiveTheirKnownSpectra)
{
  // A unit impulse has a flat spectrum; the tone e^{-2 pi i 3j/16} lands in bin 3 of the +1 transform with
  // magnitude 16, and nowhere else.
  const int n = 16;
  std::vector<double> impulse(2 * n, 0.0), tone(2 * n);
  impulse[0] = 1.0;
  for (int j = 0; j < n; ++j)
  {
    tone[size_t(2 * j)] = std::cos(2.0 * kPi * 3 * j / n);
    tone[size_t(2 * j + 1)] = -std::sin(2.0 * kPi * 3 * j / n);
  }
  ASSERT_TRUE(FFT(impulse.data(), n, 1) && FFT(tone.data(), n, 1));
  for (int k = 0; k < n; ++k)
  {
    EXPECT_NEAR(impulse[size_t(2 * k)], 1.0, 1e-15);
    EXPECT_NEAR(impulse[size_t(2 * k + 1)], 0.0, 1e-15);
    EXPECT_NEAR(std::abs(C(tone[size_t(2 * k)], tone[size_t(2 * k + 1)])), k == 3 ? 16.0 : 0.0, 1e-12) << k;
  }
}

TEST(FFT, BadSizesAndSignsAreRefusedAndChangeNothing)
{
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
    const std::vector<double> x = TestSignal(n, 3);
    std::vector<double> data(size_t(n + 2), -7.0);
    std::copy(x.begin(), x.end(), data.begin());
    ASSERT_TRUE(RealFFT(data.data(), n, 1));

    const std::vector<C> ref = DirectDFT(std::vector<C>(x.begin(), x.end()), 1);
    EXPECT_NEAR(data[0], ref[0].real(), 1e-9);
    EXPECT_EQ(data[1], 0.0);
    EXPECT_NEAR(data[size_t(n)], ref[size_t(n / 2)].real(), 1e-9);
    EXPECT_EQ(data[size_t(n + 1)], 0.0);
    for (int k = 1; k < n / 2; ++k)
      EXPECT_LT(std::abs(C(data[size_t(2 * k)], data[size_t(2 * k + 1)]) - ref[size_t(k)]), 1e-9) << k;

    ASSERT_TRUE(RealFFT(data.data(), n, -1));
    for (int i = 0; i < n; ++i) EXPECT_NEAR(data[size_t(i)], x[size_t(i)], 1e-12) << i;
  }
}

TEST(RealFFT, InverseOfHandWrittenSpectra)
{
  // DC of n alone is a constant 1; the Nyquist bin of n alone alternates +1, -1; bin 1 of n/2 (real) is
  // cos(2 pi j / n).
  const int n = 8;
  struct Case
  {
    int bin;
    double value;
    std::function<double(int)> expected;
  };
  const Case cases[] = {
      {0, 8.0, [](int) { return 1.0; }},
      {4, 8.0, [](int j) { return j % 2 ? -1.0 : 1.0; }},
      {1, 4.0, [](int j) { return std::cos(2.0 * kPi * j / 8.0); }},
  };
  for (const Case& c : cases)
  {
    std::vector<double> data(n + 2, 0.0);
    data[size_t(2 * c.bin)] = c.value;
    ASSERT_TRUE(RealFFT(data.data(), n, -1));
    for (int j = 0; j < n; ++j) EXPECT_NEAR(data[size_t(j)], c.expected(j), 1e-12) << "bin " << c.bin << " j " << j;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Polar forms
// ---------------------------------------------------------------------------------------------------------------

TEST(Polar, HandWorkedPairsRoundTripAndOverlapsInBothDirections)
{
  const std::vector<double> rect = {3.0, 4.0, -1.0, 0.0, 0.0, -2.0, 1.0, 1.0};
  const std::vector<double> polar = {5.0, std::atan2(4.0, 3.0), 1.0, kPi, 2.0, -kPi / 2, std::sqrt(2.0), kPi / 4};
  std::vector<double> out(8);
  ToPolar(rect.data(), 0, out.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], polar[i], 1e-15) << i;
  ToRectangular(polar.data(), 0, out.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[i], rect[i], 1e-15) << i;

  // In one array: moved one pair later (read from the end) and one pair earlier (read from the start), and by a
  // single double; each gives what the separate arrays give.
  for (int shift : {2, 1})
  {
    std::vector<double> a(10, 0.0);
    std::copy(rect.begin(), rect.end(), a.begin());
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

// ---------------------------------------------------------------------------------------------------------------
// ProcessingChain
// ---------------------------------------------------------------------------------------------------------------

struct CountingStage : ProcessingStage
{
  explicit CountingStage(std::vector<int>* log, int id) : mLog(log), mId(id) {}
  ~CountingStage() override
  {
    if (mLog) mLog->push_back(-mId); // destroyed: negative id
  }
  void Process(double** in, double** out, int frames) override
  {
    for (int i = 0; i < frames; ++i) out[0][i] = in[0][i] + mId;
  }
  void Prepare(double sampleRate) override
  {
    rate = sampleRate;
    if (mLog) mLog->push_back(mId);
  }
  bool IsEnabled() const override { return enabled; }
  std::vector<int>* mLog;
  int mId;
  double rate = 0.0;
  bool enabled = true;
};

TEST(ProcessingChain, LookupIsClampedToTheChainAndPreparationRunsInOrder)
{
  std::vector<int> log;
  ProcessingChain chain;
  EXPECT_EQ(chain.Get(0), nullptr);
  EXPECT_EQ(chain.Get(-1), nullptr);
  CountingStage* s[3] = {new CountingStage(&log, 1), new CountingStage(&log, 2), new CountingStage(&log, 3)};
  EXPECT_EQ(chain.Append(s[0]), 1);
  EXPECT_EQ(chain.Append(nullptr), 1);
  EXPECT_EQ(chain.Append(s[1]), 2);
  EXPECT_EQ(chain.Append(s[2]), 3);
  const std::pair<int, ProcessingStage*> lookups[] = {{-1, s[0]}, {0, s[0]}, {1, s[1]}, {2, s[2]}, {3, s[2]},
                                                      {1000, s[2]}};
  for (const auto& [index, stage] : lookups) EXPECT_EQ(chain.Get(index), stage) << index;

  EXPECT_FALSE(chain.Prepare(-1, 8, 44100.0));
  EXPECT_FALSE(chain.Prepare(1, -8, 44100.0));
  EXPECT_TRUE(log.empty());
  ASSERT_TRUE(chain.Prepare(1, 8, 96000.0));
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(s[2]->rate, 96000.0);

  // Nothing enabled: the input passes through, stale output is replaced.
  for (CountingStage* st : s) st->enabled = false;
  std::vector<double> in = {1, 2, 3}, out = {9, 9, 9};
  double* ip[1] = {in.data()};
  double* op[1] = {out.data()};
  chain.Process(ip, op, 3);
  EXPECT_EQ(out, in);
  s[1]->enabled = true;
  chain.Process(ip, op, 3);
  EXPECT_EQ(out, (std::vector<double>{3, 4, 5}));
}

TEST(ProcessingChain, StagesAreReleasedByTheOwnershipMode)
{
  struct Case
  {
    int mode;
    bool withDeleter;
    int handedToDeleter;
  };
  const Case cases[] = {{ProcessingChain::kCallDeleter, true, 2},
                        {ProcessingChain::kCallDeleter, false, 0},
                        {ProcessingChain::kDeletePlain, true, 0},
                        {7, true, 2}}; // an unknown mode calls the deleter
  for (const Case& c : cases)
  {
    std::vector<int> log;
    int handed = 0;
    {
      ProcessingChain chain;
      ProcessingChain::Deleter deleter;
      if (c.withDeleter)
        deleter = [&handed](ProcessingStage* s) {
          ++handed;
          delete s;
        };
      chain.SetOwnership(c.mode, deleter);
      chain.Append(new CountingStage(&log, 1));
      chain.Append(new CountingStage(&log, 2));
    }
    EXPECT_EQ(handed, c.handedToDeleter) << c.mode;
    EXPECT_EQ(log, (std::vector<int>{-1, -2})) << c.mode; // every stage destroyed once, in order
  }
}

} // namespace

// DSP utilities: channel buffers, windows against their textbook formulas, FFTs against a direct DFT, polar
// conversion and the processing chain.

#include "engine/DSPUtils.h"
#include "engine/support/alloc_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
using C = std::complex<double>;

// --- Channel buffers ---

TEST(ChannelBuffers, AllocCopyZeroFree)
{
  EXPECT_EQ(AllocChannelBuffers(0, 2), nullptr);
  EXPECT_EQ(AllocChannelBuffers(16, 0), nullptr);

  double** a = AllocChannelBuffers(16, 3);
  double** b = AllocChannelBuffers(16, 3);
  ASSERT_NE(a, nullptr);
  ZeroChannelBuffers(b, 16, 3);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 16; ++i) a[c][i] = c * 100 + i;

  CopyChannelBuffers(a, b, 10, 3, 4);
  for (int c = 0; c < 3; ++c)
  {
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b[c][i], 0.0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(b[c][4 + i], c * 100 + i);
    for (int i = 14; i < 16; ++i) EXPECT_EQ(b[c][i], 0.0);
  }

  // Null pointers, negative offsets and lengths copy nothing.
  CopyChannel(a[0], nullptr, 16, 0);
  CopyChannel(nullptr, b[0], 16, 0);
  CopyChannel(a[2], b[0], 16, -1);
  CopyChannel(a[2], b[0], -5, 0);
  EXPECT_EQ(b[0][4], 0.0);

  FreeChannelBuffers(a, 3);
  FreeChannelBuffers(b, 3);
  FreeChannelBuffers(nullptr, 3);
}

// --- Windows and sinc ---

TEST(MakeWindow, ShapesAgainstTheirFormulas)
{
  // sin(x)/x with its limit at 0 (no 0/0 near it).
  EXPECT_EQ(Sinc(0.0), 1.0);
  EXPECT_EQ(Sinc(1e-15), 1.0);
  EXPECT_DOUBLE_EQ(Sinc(-2.5), std::sin(2.5) / 2.5);

  const std::vector<double> rect = MakeWindow(5, kWindowRectangular, true);
  ASSERT_EQ(rect.size(), 5u);
  for (double v : rect) EXPECT_DOUBLE_EQ(v, 0.2);

  const int n = 33;
  const std::vector<double> hann = MakeWindow(n, kWindowHann, false);
  const std::vector<double> hamming = MakeWindow(n, 999, false);
  const std::vector<double> blackman = MakeWindow(n, kWindowBlackman, false);
  const std::vector<double> tri = MakeWindow(n, kWindowTriangular, false);
  const std::vector<double> hann2 = MakeWindow(n, kWindowHannSquared, false);
  for (int k = 0; k < n; ++k)
  {
    const double x = double(k) / (n - 1);  // 0..1
    EXPECT_NEAR(hann[k], std::pow(std::sin(kPi * x), 2.0), 1e-12);
    EXPECT_NEAR(hamming[k], 0.53836 - 0.46164 * std::cos(2 * kPi * x), 1e-12);
    EXPECT_NEAR(blackman[k], 0.42 - 0.5 * std::cos(2 * kPi * x) + 0.08 * std::cos(4 * kPi * x), 1e-12);
    EXPECT_NEAR(tri[k], 1.0 - std::fabs(2.0 * x - 1.0), 1e-12);
    EXPECT_NEAR(hann2[k], std::pow(std::sin(kPi * x), 4.0), 1e-12);
  }
  EXPECT_NEAR(hann[16], 1.0, 1e-12);
  EXPECT_NEAR(tri[16], 1.0, 1e-12);

  // Blackman-Harris windows start near zero and peak at 1 in the middle (the 4-term one to about 1e-5).
  const std::vector<double> bh = MakeWindow(n, kWindowBlackmanHarris, false);
  EXPECT_NEAR(bh[0], 6e-5, 1e-5);
  EXPECT_NEAR(bh[16], 1.0, 1e-9);
  const std::vector<double> bh7 = MakeWindow(n, kWindowBlackmanHarris7, false);
  EXPECT_NEAR(bh7[16], 1.0, 1e-6);
  EXPECT_NEAR(bh7[0], 0.0, 1e-6);

  // Normalised windows sum to 1.
  double sum = 0;
  for (double v : MakeWindow(64, kWindowFlatTop, true)) sum += v;
  EXPECT_NEAR(sum, 1.0, 1e-12);

  // Degenerate sizes.
  EXPECT_TRUE(MakeWindow(0, kWindowHann, true).empty());
  EXPECT_TRUE(MakeWindow(-4, kWindowHann, true).empty());
  for (int type = 0; type <= 14; ++type)
  {
    const std::vector<double> one = MakeWindow(1, type, true);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], 1.0) << type;
  }
  // A window that sums to zero is left unnormalised rather than divided by zero.
  EXPECT_EQ(MakeWindow(2, kWindowHann, true), std::vector<double>(2, 0.0));
}

TEST(MakeWindow, KaiserAgainstStandardBessel)
{
  const int n = 21;
  const double betas[] = {4.0, 5.0, 6.0, 8.0};
  for (int t = kWindowKaiser4; t <= kWindowKaiser8; ++t)
  {
    const double beta = betas[t - kWindowKaiser4];
    const std::vector<double> w = MakeWindow(n, t, false);
    for (int k = 0; k < n; ++k)
    {
      const double x = double(k - n / 2) / (n - 1);
      const double ref = std::cyl_bessel_i(0.0, beta * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, beta);
      EXPECT_NEAR(w[k], ref, 1e-12) << "type " << t << " k " << k;
    }
  }
  for (double z : {0.0, 0.5, 3.0, 8.0, 20.0}) EXPECT_NEAR(BesselI0(z) / std::cyl_bessel_i(0.0, z), 1.0, 1e-13);
}

// --- FFTs ---

std::vector<C> DirectDFT(const std::vector<C>& x, int sign)
{
  const size_t n = x.size();
  std::vector<C> y(n);
  for (size_t k = 0; k < n; ++k)
    for (size_t j = 0; j < n; ++j) y[k] += x[j] * std::polar(1.0, sign * 2.0 * kPi * double(j * k % n) / double(n));
  return y;
}

std::vector<double> TestSignal(int n, int seed)
{
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    v[size_t(i)] = std::sin(0.37 * i * (seed + 1)) + 0.5 * std::cos(1.91 * i + seed) + (i % 5 == seed % 5 ? 0.25 : 0);
  return v;
}

TEST(FFT, MatchesDirectDFTAndRoundTripsAndRefusesBadSizes)
{
  for (int n : {1, 2, 4, 8, 64, 256})
  {
    SCOPED_TRACE(n);
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
    ASSERT_TRUE(FFT(data.data(), n, 1));
    const std::vector<C> ref = DirectDFT(x, 1);
    for (int k = 0; k < n; ++k)
    {
      EXPECT_NEAR(data[size_t(2 * k)], ref[size_t(k)].real(), 1e-9);
      EXPECT_NEAR(data[size_t(2 * k + 1)], ref[size_t(k)].imag(), 1e-9);
    }
    ASSERT_TRUE(FFT(data.data(), n, -1));
    for (size_t i = 0; i < data.size(); ++i) EXPECT_NEAR(data[i], input[i], 1e-12);
  }

  // Bad sizes, directions and buffers are refused and change nothing.
  std::vector<double> data(24, 1.0);
  EXPECT_FALSE(FFT(data.data(), 12, 1));
  EXPECT_FALSE(FFT(data.data(), 0, 1));
  EXPECT_FALSE(FFT(data.data(), -8, 1));
  EXPECT_FALSE(FFT(data.data(), 8, 0));
  EXPECT_FALSE(FFT(nullptr, 8, 1));
  EXPECT_FALSE(RealFFT(data.data(), 12, 1));
  EXPECT_FALSE(RealFFT(data.data(), 1, 1));
  for (double v : data) EXPECT_EQ(v, 1.0);
}

TEST(RealFFT, MatchesDirectDFTAndRoundTrips)
{
  for (int n : {2, 4, 8, 16, 128, 1024})
  {
    SCOPED_TRACE(n);
    const std::vector<double> x = TestSignal(n, 3);
    std::vector<double> data(size_t(n + 2), -7.0);
    std::copy(x.begin(), x.end(), data.begin());
    ASSERT_TRUE(RealFFT(data.data(), n, 1));

    std::vector<C> cx(x.begin(), x.end());
    const std::vector<C> ref = DirectDFT(cx, 1);
    EXPECT_NEAR(data[0], ref[0].real(), 1e-9);
    EXPECT_EQ(data[1], 0.0);
    EXPECT_NEAR(data[size_t(n)], ref[size_t(n / 2)].real(), 1e-9);
    EXPECT_EQ(data[size_t(n + 1)], 0.0);
    for (int k = 1; k < n / 2; ++k)
    {
      EXPECT_NEAR(data[size_t(2 * k)], ref[size_t(k)].real(), 1e-9) << k;
      EXPECT_NEAR(data[size_t(2 * k + 1)], ref[size_t(k)].imag(), 1e-9) << k;
    }

    ASSERT_TRUE(RealFFT(data.data(), n, -1));
    for (int i = 0; i < n; ++i) EXPECT_NEAR(data[size_t(i)], x[size_t(i)], 1e-12) << i;
  }
}

// --- Polar conversion ---

TEST(Polar, ConvertsAndHandlesOverlap)
{
  const std::vector<double> rect = {3.0, 4.0, -1.0, 0.0, 0.0, -2.0, 1.0, 1.0};
  std::vector<double> polar(8);
  ToPolar(rect.data(), 0, polar.data(), 0, 8);
  EXPECT_DOUBLE_EQ(polar[0], 5.0);
  EXPECT_DOUBLE_EQ(polar[1], std::atan2(4.0, 3.0));
  EXPECT_DOUBLE_EQ(polar[2], 1.0);
  EXPECT_DOUBLE_EQ(polar[3], kPi);
  EXPECT_DOUBLE_EQ(polar[5], -kPi / 2);
  std::vector<double> back(8);
  ToRectangular(polar.data(), 0, back.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(back[i], rect[i], 1e-15);

  // In place, shifted one pair later and one pair earlier: the same result as out of place.
  std::vector<double> shifted(10, 0.0);
  std::copy(rect.begin(), rect.end(), shifted.begin());
  ToPolar(shifted.data(), 0, shifted.data(), 2, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(shifted[i + 2], polar[i]) << i;
  ToRectangular(shifted.data(), 2, shifted.data(), 0, 8);
  for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(shifted[i], rect[i], 1e-15) << i;

  // An odd count leaves the last double alone; bad arguments do nothing.
  std::vector<double> odd = {3.0, 4.0, 9.0};
  ToPolar(odd.data(), 0, odd.data(), 0, 3);
  EXPECT_EQ(odd[2], 9.0);
  ToPolar(nullptr, 0, odd.data(), 0, 2);
  ToPolar(odd.data(), -1, odd.data(), 0, 2);
  EXPECT_DOUBLE_EQ(odd[0], 5.0);
}

// --- ProcessingChain ---

struct GainStage : ProcessingStage
{
  GainStage(double g, int* deleted = nullptr) : gain(g), deletedCount(deleted) {}
  ~GainStage() override
  {
    if (deletedCount) ++*deletedCount;
  }
  void Process(double** in, double** out, int frames) override
  {
    for (int c = 0; c < channels; ++c)
      for (int i = 0; i < frames; ++i) out[c][i] = in[c][i] * gain + offset;
    ++calls;
  }
  void Prepare(double sampleRate) override { preparedRate = sampleRate; }
  bool IsEnabled() const override { return enabled; }

  double gain;
  double offset = 0.0;
  int channels = 2;
  bool enabled = true;
  double preparedRate = 0.0;
  int calls = 0;
  int* deletedCount;
};

struct Stereo
{
  explicit Stereo(int n) : l(size_t(n)), r(size_t(n)), ptr{l.data(), r.data()} {}
  std::vector<double> l, r;
  double* ptr[2];
};

TEST(ProcessingChain, RunsEnabledStagesInOrder)
{
  ProcessingChain chain;
  auto* a = new GainStage(2.0);
  auto* b = new GainStage(10.0);
  auto* c = new GainStage(3.0);
  EXPECT_EQ(chain.Get(0), nullptr);
  EXPECT_EQ(chain.Append(a), 1);
  EXPECT_EQ(chain.Append(b), 2);
  EXPECT_EQ(chain.Append(nullptr), 2);
  EXPECT_EQ(chain.Append(c), 3);
  // Get clamps its index into the chain.
  EXPECT_EQ(chain.Get(-1), a);
  EXPECT_EQ(chain.Get(1), b);
  EXPECT_EQ(chain.Get(10), c);

  a->offset = 1.0; // order matters: (x*2 + 1) * 3 != x*3*2 + 1
  b->enabled = false;
  Stereo in(50), out(50);
  for (int i = 0; i < 50; ++i)
  {
    in.l[size_t(i)] = i;
    in.r[size_t(i)] = -i;
  }
  out.l.assign(50, 7.0);
  chain.Process(in.ptr, out.ptr, 50); // before Prepare: nothing
  EXPECT_EQ(out.l[0], 7.0);
  EXPECT_FALSE(chain.Prepare(-1, 8, 48000.0));

  ASSERT_TRUE(chain.Prepare(2, 64, 48000.0));
  EXPECT_EQ(a->preparedRate, 48000.0);
  EXPECT_EQ(c->preparedRate, 48000.0);
  chain.Process(in.ptr, out.ptr, 50);
  for (int i = 0; i < 50; ++i)
  {
    EXPECT_EQ(out.l[size_t(i)], (i * 2.0 + 1.0) * 3.0);
    EXPECT_EQ(out.r[size_t(i)], (-i * 2.0 + 1.0) * 3.0);
  }
  EXPECT_EQ(b->calls, 0);
}

TEST(ProcessingChain, PassesInputThroughWhenNothingRuns)
{
  for (bool empty : {true, false})
  {
    ProcessingChain chain;
    if (!empty)
    {
      auto* s = new GainStage(5.0);
      s->enabled = false;
      chain.Append(s);
    }
    ASSERT_TRUE(chain.Prepare(2, 16, 44100.0));
    Stereo in(16), out(16);
    for (int i = 0; i < 16; ++i)
    {
      in.l[size_t(i)] = i + 0.5;
      in.r[size_t(i)] = -i;
      out.l[size_t(i)] = out.r[size_t(i)] = 99.0; // stale
    }
    chain.Process(in.ptr, out.ptr, 16);
    EXPECT_EQ(out.l, in.l) << empty;
    EXPECT_EQ(out.r, in.r) << empty;
  }
}

TEST(ProcessingChain, LongBlocksRunInPiecesWithoutAllocating)
{
  ProcessingChain chain;
  auto* a = new GainStage(0.5);
  chain.Append(a);
  ASSERT_TRUE(chain.Prepare(2, 32, 48000.0));
  Stereo in(100), out(100);
  for (int i = 0; i < 100; ++i) in.l[size_t(i)] = in.r[size_t(i)] = i;

  testsupport::AllocationScope scope;
  chain.Process(in.ptr, out.ptr, 100);
  EXPECT_EQ(scope.Count(), 0u);
  EXPECT_EQ(a->calls, 4);  // 32 + 32 + 32 + 4
  for (int i = 0; i < 100; ++i) EXPECT_EQ(out.l[size_t(i)], i * 0.5);
}

TEST(ProcessingChain, ReleasesStagesByOwnershipMode)
{
  // Deleted by default and with kDeletePlain; with kCallDeleter through the deleter given.
  int deleted = 0, viaDeleter = 0;
  for (int mode : {-1, int(ProcessingChain::kDeletePlain), int(ProcessingChain::kCallDeleter)})
  {
    ProcessingChain chain;
    if (mode == ProcessingChain::kCallDeleter)
      chain.SetOwnership(ProcessingChain::kCallDeleter, [&](ProcessingStage* s) {
        ++viaDeleter;
        delete s;
      });
    else if (mode >= 0)
      chain.SetOwnership(ProcessingChain::kDeletePlain);
    chain.Append(new GainStage(1.0, &deleted));
    chain.Append(new GainStage(1.0, &deleted));
  }
  EXPECT_EQ(deleted, 6);
  EXPECT_EQ(viaDeleter, 2);
}

} // namespace

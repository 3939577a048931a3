// DSP utilities: channel buffers, windows against their textbook formulas, FFTs against a direct DFT and the
// processing chain.

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

TEST(DSP, ChannelBuffersCopyWithOffsetAndRefuseBadArguments)
{
  EXPECT_EQ(AllocChannelBuffers(0, 2), nullptr);
  double** a = AllocChannelBuffers(16, 2);
  double** b = AllocChannelBuffers(16, 2);
  ASSERT_NE(a, nullptr);
  ZeroChannelBuffers(b, 16, 2);
  for (int i = 0; i < 16; ++i) a[0][i] = a[1][i] = i + 1;
  CopyChannelBuffers(a, b, 10, 2, 4);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(b[1][i], i >= 4 && i < 14 ? i - 3 : 0.0) << i;
  CopyChannel(a[1], b[0], 16, -1);
  CopyChannel(a[1], b[0], -5, 0);
  EXPECT_EQ(b[0][0], 0.0);
  FreeChannelBuffers(a, 2);
  FreeChannelBuffers(b, 2);
}

TEST(DSP, WindowsMatchTheirFormulasIncludingTinySizes)
{
  const int n = 33;
  const std::vector<double> hann = MakeWindow(n, kWindowHann, false), blackman = MakeWindow(n, kWindowBlackman, false);
  const std::vector<double> tri = MakeWindow(n, kWindowTriangular, false);
  for (int k = 0; k < n; ++k)
  {
    const double x = double(k) / (n - 1);
    EXPECT_NEAR(hann[k], std::pow(std::sin(kPi * x), 2.0), 1e-12);
    EXPECT_NEAR(blackman[k], 0.42 - 0.5 * std::cos(2 * kPi * x) + 0.08 * std::cos(4 * kPi * x), 1e-12);
    EXPECT_NEAR(tri[k], 1.0 - std::fabs(2.0 * x - 1.0), 1e-12);
  }
  const std::vector<double> kaiser = MakeWindow(21, kWindowKaiser6, false);
  for (int k = 0; k < 21; ++k)
  {
    const double x = double(k - 10) / 20;
    EXPECT_NEAR(kaiser[k], std::cyl_bessel_i(0.0, 6.0 * std::sqrt(1 - x * x)) / std::cyl_bessel_i(0.0, 6.0), 1e-12);
  }
  EXPECT_TRUE(MakeWindow(-4, kWindowHann, true).empty());
  for (int type = 0; type <= 14; ++type) EXPECT_EQ(MakeWindow(1, type, true), std::vector<double>{1.0}) << type;
  // Sums to zero: left unnormalised rather than divided by zero.
  EXPECT_EQ(MakeWindow(2, kWindowHann, true), std::vector<double>(2, 0.0));
}

std::vector<C> DirectDFT(const std::vector<C>& x)
{
  const size_t n = x.size();
  std::vector<C> y(n);
  for (size_t k = 0; k < n; ++k)
    for (size_t j = 0; j < n; ++j) y[k] += x[j] * std::polar(1.0, 2.0 * kPi * double(j * k % n) / double(n));
  return y;
}

TEST(DSP, FFTsMatchDirectDFTRoundTripAndRefuseBadSizes)
{
  for (int n : {2, 8, 256})
  {
    SCOPED_TRACE(n);
    std::vector<C> x(static_cast<size_t>(n)), realIn(static_cast<size_t>(n));
    std::vector<double> cplx, real(size_t(n + 2));
    for (int i = 0; i < n; ++i)
    {
      x[size_t(i)] = C(std::sin(0.37 * i) + (i % 5 == 1 ? 0.25 : 0), 0.5 * std::cos(1.91 * i));
      cplx.insert(cplx.end(), {x[size_t(i)].real(), x[size_t(i)].imag()});
      real[size_t(i)] = x[size_t(i)].real();
      realIn[size_t(i)] = real[size_t(i)];
    }
    const std::vector<C> ref = DirectDFT(x), realRef = DirectDFT(realIn);
    const std::vector<double> cplxIn = cplx, realSig = real;

    ASSERT_TRUE(FFT(cplx.data(), n, 1));
    ASSERT_TRUE(RealFFT(real.data(), n, 1));
    for (int k = 0; k < n; ++k) EXPECT_NEAR(std::abs(C(cplx[2 * k], cplx[2 * k + 1]) - ref[size_t(k)]), 0.0, 1e-9);
    // Packed as DC, 0, bins 1..n/2-1, Nyquist, 0.
    for (int k = 0; k <= n / 2; ++k)
      EXPECT_NEAR(std::abs(C(real[2 * k], real[2 * k + 1]) - realRef[size_t(k)]), 0.0, 1e-9);
    ASSERT_TRUE(FFT(cplx.data(), n, -1));
    ASSERT_TRUE(RealFFT(real.data(), n, -1));
    for (size_t i = 0; i < cplx.size(); ++i) EXPECT_NEAR(cplx[i], cplxIn[i], 1e-12);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(real[size_t(i)], realSig[size_t(i)], 1e-12);
  }
  std::vector<double> data(24, 1.0);
  EXPECT_FALSE(FFT(data.data(), 12, 1) || FFT(data.data(), 0, 1) || FFT(data.data(), 8, 0) || FFT(nullptr, 8, 1) ||
               RealFFT(data.data(), 12, 1));
  EXPECT_EQ(data, std::vector<double>(24, 1.0));
}

struct GainStage : ProcessingStage
{
  GainStage(double g, double o = 0.0) : gain(g), offset(o) {}
  void Process(double** in, double** out, int frames) override
  {
    for (int i = 0; i < 2 * frames; ++i) out[i % 2][i / 2] = in[i % 2][i / 2] * gain + offset;
    ++calls;
  }
  void Prepare(double) override {}
  bool IsEnabled() const override { return enabled; }
  double gain, offset;
  bool enabled = true;
  int calls = 0;
};

TEST(DSP, ProcessingChainRunsEnabledStagesInOrderInPiecesWithoutAllocating)
{
  ProcessingChain chain;
  auto* a = new GainStage(2.0, 1.0);
  auto* b = new GainStage(10.0);
  chain.Append(a);
  chain.Append(b);
  chain.Append(new GainStage(3.0));
  b->enabled = false;
  std::vector<double> l(100), r(100), ol(100, 7.0), or_(100);
  for (int i = 0; i < 100; ++i) l[size_t(i)] = r[size_t(i)] = i;
  double *in[2] = {l.data(), r.data()}, *out[2] = {ol.data(), or_.data()};
  chain.Process(in, out, 100); // before Prepare: nothing
  EXPECT_EQ(ol[0], 7.0);
  ASSERT_TRUE(chain.Prepare(2, 32, 48000.0));

  testsupport::AllocationScope scope;
  chain.Process(in, out, 100);
  EXPECT_EQ(std::tuple(scope.Count(), a->calls, b->calls), std::tuple(0u, 4, 0)); // 32 + 32 + 32 + 4
  for (int i = 0; i < 100; ++i) EXPECT_EQ(or_[size_t(i)], (i * 2.0 + 1.0) * 3.0) << i;

  // Nothing enabled: the input passes through.
  ProcessingChain idle;
  ASSERT_TRUE(idle.Prepare(2, 16, 44100.0));
  idle.Process(in, out, 100);
  EXPECT_EQ(ol, l);
}

} // namespace

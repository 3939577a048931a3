// DSP utilities: windows against their textbook formulas, the FFT against a direct DFT, and the processing chain.
// (Channel buffers carry the link blocks: the registry tests.)

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

TEST(DSP, WindowsMatchTheirFormulasIncludingTinySizes)
{
  const int n = 33;
  const std::vector<double> hann = MakeWindow(n, kWindowHann, false), kaiser = MakeWindow(n, kWindowKaiser6, false);
  for (int k = 0; k < n; ++k)
  {
    const double x = double(k) / (n - 1), y = x - 0.5;
    EXPECT_NEAR(hann[k], std::pow(std::sin(kPi * x), 2.0), 1e-12);
    EXPECT_NEAR(kaiser[k], std::cyl_bessel_i(0.0, 6.0 * std::sqrt(1 - y * y)) / std::cyl_bessel_i(0.0, 6.0), 1e-12);
  }
  for (int type = 0; type <= 14; ++type) EXPECT_EQ(MakeWindow(1, type, true), std::vector<double>{1.0}) << type;
  // Sums to zero: left unnormalised rather than divided by zero.
  EXPECT_EQ(MakeWindow(2, kWindowHann, true), std::vector<double>(2, 0.0));
}

TEST(DSP, FFTMatchesADirectDFTRoundTripsAndRefusesBadSizes)
{
  const int n = 64;
  std::vector<double> cplx;
  std::vector<C> ref(n);
  for (int i = 0; i < n; ++i)
    cplx.insert(cplx.end(), {std::sin(0.37 * i) + (i % 5 == 1 ? 0.25 : 0), 0.5 * std::cos(1.91 * i)});
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j)
      ref[size_t(k)] += C(cplx[2 * j], cplx[2 * j + 1]) * std::polar(1.0, 2 * kPi * (j * k % n) / n);
  const std::vector<double> input = cplx;
  ASSERT_TRUE(FFT(cplx.data(), n, 1));
  for (int k = 0; k < n; ++k) EXPECT_NEAR(std::abs(C(cplx[2 * k], cplx[2 * k + 1]) - ref[size_t(k)]), 0.0, 1e-9);
  ASSERT_TRUE(FFT(cplx.data(), n, -1));
  for (size_t i = 0; i < cplx.size(); ++i) EXPECT_NEAR(cplx[i], input[i], 1e-12);

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
  ASSERT_TRUE(chain.Prepare(2, 32, 48000.0));

  testsupport::AllocationScope scope;
  chain.Process(in, out, 100);
  EXPECT_EQ(std::tuple(scope.Count(), a->calls, b->calls), std::tuple(0u, 4, 0)); // 32 + 32 + 32 + 4
  for (int i = 0; i < 100; ++i) EXPECT_EQ(or_[size_t(i)], (i * 2.0 + 1.0) * 3.0) << i;
}

} // namespace

// DSP utilities: windows and transforms at the sizes that once broke them, and the processing chain. (Channel
// buffers carry the link blocks: the registry tests.)

#include "engine/DSPUtils.h"
#include "engine/support/alloc_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Nothing in the product windows or transforms; what is kept here are the faults once found in them.
TEST(DSP, TinyWindowsAndBadTransformSizesAreSafe)
{
  const std::vector<double> hann = MakeWindow(5, kWindowHann, false);
  EXPECT_NEAR(hann[1], 0.5, 1e-12); // sin^2(pi / 4)
  for (int type = 0; type <= 14; ++type) EXPECT_EQ(MakeWindow(1, type, true), std::vector<double>{1.0}) << type;
  // Sums to zero: left unnormalised rather than divided by zero.
  EXPECT_EQ(MakeWindow(2, kWindowHann, true), std::vector<double>(2, 0.0));

  // A transform and back gives the input; sizes that are no power of two are refused and change nothing.
  std::vector<double> data(32);
  for (size_t i = 0; i < data.size(); ++i) data[i] = std::sin(0.37 * double(i));
  const std::vector<double> input = data;
  ASSERT_TRUE(FFT(data.data(), 16, 1) && FFT(data.data(), 16, -1));
  EXPECT_FALSE(FFT(data.data(), 12, 1) || FFT(data.data(), 0, 1) || FFT(data.data(), 8, 0) || FFT(nullptr, 8, 1) ||
               RealFFT(data.data(), 12, 1));
  for (size_t i = 0; i < data.size(); ++i) EXPECT_NEAR(data[i], input[i], 1e-12);
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

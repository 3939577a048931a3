// Over protection: the clip at the protection level, its ratio, and the gain-reduction display's instant rise,
// 3 s hold and 0.1 s release.

#include "engine/OverProtection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(OverProtection, ClipsAtTheLevelAndReportsTheRatio)
{
  OverProtection p;
  const double c3 = std::pow(10.0, 3.0 / 20.0), nan = std::numeric_limits<double>::quiet_NaN(),
               inf = std::numeric_limits<double>::infinity();
  // level dB, input, output, ratio of output to input (1 when nothing was cut)
  const double cases[][4] = {{0.0, 1.5, 1.0, 2.0 / 3.0}, {0.0, -1.5, -1.0, 2.0 / 3.0}, {0.0, 0.5, 0.5, 1.0},
                             {0.0, 0.0, 0.0, 1.0},       {3.0, 1.2, 1.2, 1.0},         {3.0, -2.0, -c3, c3 / 2.0},
                             {-144.0, 0.3, 0.0, 0.0}, // at -144 dB and below everything is clipped to nothing
                             {0.0, nan, 0.0, 1.0},       {0.0, inf, 0.0, 1.0},        {0.0, -inf, 0.0, 1.0}};
  for (const auto& [level, in, out, ratio] : cases)
  {
    p.SetLevel(level);
    const double got = p.Process(in);
    EXPECT_TRUE(std::fabs(got - out) < 1e-12 && std::fabs(p.ratio - ratio) < 1e-12)
        << level << " dB, " << in << ": " << got << ", ratio " << p.ratio;
  }
}

TEST(GainReductionDisplay, RisesAtOnceHoldsThreeSecondsThenReleases)
{
  // (That it shows the deepest cut of the last 3 s with real overs: the signal-pair tests.)
  GainReductionDisplay d;
  d.Reset(1000.0); // hold 3000 samples
  d.Process(1.0, 0.5); // rises at once
  for (int i = 0; i <= 3000; ++i, d.Process(1.0, 1.0))
    ASSERT_TRUE(std::fabs(d.value - 0.5) < 1e-15 && d.phase == GainReductionDisplay::kHolding) << i;

  // ...then falls 20 dB per 0.1 s (time constant: 10^(-1/(0.1 fs)) per sample), and reaches exactly 0.
  EXPECT_EQ(d.phase, GainReductionDisplay::kReleasing);
  for (int i = 1; i < 100; ++i) d.Process(1.0, 1.0);
  EXPECT_NEAR(d.value, 0.5 * 0.1, 1e-12);
  for (int i = 0; i < 1000; ++i) d.Process(1.0, 1.0);
  EXPECT_EQ(d.value, 0.0);

  // A ratio that is not a number does not stick.
  d.Process(std::numeric_limits<double>::quiet_NaN(), 1.0);
  EXPECT_TRUE(std::isfinite(d.value));
  d.Process(1.0, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isfinite(d.value));
}

} // namespace

// The over-protection display's follower on its own: it takes a deeper cut at once, holds it for three seconds and
// then releases by 20 dB per 0.1 s down to exactly nothing. (What it shows with real overs: the signal-pair tests.)

#include "engine/OverProtection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

TEST(GainReductionDisplay, RisesAtOnceHoldsThreeSecondsThenReleases)
{
  GainReductionDisplay d;
  d.Reset(1000.0); // hold: 3000 samples; release: 10^(-1/100) per sample
  d.Process(1.0, 0.5); // the deeper channel counts: 1 - 0.5
  for (int i = 0; i <= 3000; ++i, d.Process(1.0, 1.0))
    ASSERT_TRUE(std::fabs(d.value - 0.5) < 1e-15 && d.phase == GainReductionDisplay::kHolding) << i;

  EXPECT_EQ(d.phase, GainReductionDisplay::kReleasing);
  for (int i = 1; i < 100; ++i) d.Process(1.0, 1.0);
  EXPECT_NEAR(d.value, 0.5 * 0.1, 1e-12); // 20 dB down after 0.1 s
  for (int i = 0; i < 1000; ++i) d.Process(1.0, 1.0);
  EXPECT_EQ(d.value, 0.0); // below 1e-8 it is nothing

  // A deeper cut during the release is taken at once and held again; a shallower one is not.
  d.Process(0.2, 1.0);
  EXPECT_EQ(std::pair(d.value, d.phase), std::pair(0.8, int(GainReductionDisplay::kHolding)));
  d.Process(0.9, 0.9);
  EXPECT_EQ(d.value, 0.8);
}

} // namespace

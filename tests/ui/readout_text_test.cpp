// The read-outs' dB arithmetic and text, against values worked out by hand.

#include "ui/ReadoutText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace readout = zaniq::readout;

namespace
{

std::string Value(double v, bool withInf)
{
  char text[readout::kTextSize];
  readout::FormatValue(v, withInf, text, sizeof text);
  return text;
}

std::string Gain(double v)
{
  char text[readout::kTextSize];
  readout::FormatGain(v, text, sizeof text);
  return text;
}

} // namespace

TEST(ReadoutText, DecibelsOfLinearFactors)
{
  struct Case
  {
    double x, gain, level;
  };
  const Case cases[] = {
    {1.0, 0.0, 0.0},
    {0.5, -6.0, -6.0},          // -6.0206
    {-0.5, -6.0, -6.0},         // magnitude only
    {0.70794578, -3.0, -3.0},   // 10^(-3/20)
    {0.71614341, -2.9, -2.9},   // 10^(-2.9/20)
    {0.0, -144.0, -144.0},      // silence
    {1e-09, -144.0, -144.0},
    {1e10, 144.0, 200.0},       // gains clamp at +144, levels do not
    {0.99424, -0.1, -0.1},      // -0.0502 dB: floor(-0.502 + 0.5) / 10
  };
  for (const Case& c : cases)
  {
    EXPECT_DOUBLE_EQ(readout::GainDB(c.x), c.gain) << c.x;
    EXPECT_DOUBLE_EQ(readout::LevelDB(c.x), c.level) << c.x;
  }
  EXPECT_NEAR(readout::RawDB(0.5), -6.0205999, 1e-6);
}

TEST(ReadoutText, TextRules)
{
  struct Case
  {
    double v;
    bool withInf;
    const char* text;
  };
  const Case cases[] = {
    {-0.0, true, "0.0"},    {-6.0, true, "-6.0"},  {-144.0, true, "-inf"}, {-144.7, true, "-inf"},
    {-144.0, false, "-144.0"}, {-0.04, false, "0.0"}, {NAN, true, "----"}, {INFINITY, false, "----"},
    {1e300, false, "----"}, // too long for a read-out
  };
  for (const Case& c : cases) EXPECT_EQ(Value(c.v, c.withInf), c.text) << c.v;
  // A gain shows its negation and never "-inf" or "-0.0".
  EXPECT_EQ(Gain(-6.0), "6.0");
  EXPECT_EQ(Gain(0.03), "0.0");
  EXPECT_EQ(Gain(144.0), "-144.0");
}

TEST(ReadoutText, BoundedAndLocaleIndependent)
{
  char small[4] = {'x', 'x', 'x', 'x'};
  readout::FormatValue(-123.4, true, small, sizeof small);
  EXPECT_STREQ(small, "-12");
  readout::FormatValue(1.0, true, nullptr, 8); // no buffer: nothing written, no crash

  // A locale with a decimal comma does not reach the read-outs.
  const std::string old = std::setlocale(LC_NUMERIC, nullptr);
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
  EXPECT_EQ(Value(-6.5, true), "-6.5");
  std::setlocale(LC_NUMERIC, old.c_str());
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma installed";
}

#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using plugin::IParam;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Display(const IParam& p, double value, bool withDisplayText = true, bool normalized = false)
{
  Util_String s;
  p.GetDisplay(value, normalized, s, withDisplayText);
  return s.Get();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamShape, MapsBothWaysAtKnownPoints)
{
  IParam lin;
  lin.InitDouble("Lin", 0.0, -10.0, 30.0, 0.0);
  EXPECT_DOUBLE_EQ(lin.FromNormalized(0.25), 0.0);
  EXPECT_DOUBLE_EQ(lin.ToNormalized(20.0), 0.75);

  // Squared curve on 0..100: half way is a quarter of the range.
  IParam pow;
  pow.InitDouble("Pow", 0.0, 0.0, 100.0, 0.0, "", 0, "", IParam::ShapePowCurve(2.0));
  EXPECT_DOUBLE_EQ(pow.FromNormalized(0.5), 25.0);
  EXPECT_DOUBLE_EQ(pow.ToNormalized(25.0), 0.5);
  EXPECT_DOUBLE_EQ(pow.ToNormalized(100.0), 1.0);

  // Logarithmic 20 Hz..20 kHz: the middle is the geometric mean, one decade is a third.
  IParam freq;
  freq.InitFrequency("Freq", 1000.0, 20.0, 20000.0, 0.0);
  EXPECT_NEAR(freq.FromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);
  EXPECT_NEAR(freq.FromNormalized(1.0 / 3.0), 200.0, 1e-9);
  EXPECT_NEAR(freq.ToNormalized(2000.0), 2.0 / 3.0, 1e-12);
  EXPECT_NEAR(freq.FromNormalized(1.0), 20000.0, 1e-9);
  EXPECT_EQ(freq.GetShape().GetDisplayType(), IParam::kDisplayLog);

  // A logarithmic range from 0 starts just above it.
  IParam fromZero;
  fromZero.InitFrequency("Zero", 1.0, 0.0, 100.0, 0.0);
  EXPECT_NEAR(fromZero.FromNormalized(0.0), 1e-8, 1e-20);
}

TEST(ParamShape, PowCurveReportsDisplayTypeByExponent)
{
  EXPECT_EQ(IParam::ShapePowCurve(3.0).GetDisplayType(), IParam::kDisplayCubeRoot);
  EXPECT_EQ(IParam::ShapePowCurve(2.0).GetDisplayType(), IParam::kDisplaySquareRoot);
  EXPECT_EQ(IParam::ShapePowCurve(0.3).GetDisplayType(), IParam::kDisplayCubed);
  EXPECT_EQ(IParam::ShapePowCurve(0.5).GetDisplayType(), IParam::kDisplaySquared);
  EXPECT_EQ(IParam::ShapePowCurve(1.0).GetDisplayType(), IParam::kDisplayLinear);
  EXPECT_EQ(IParam::ShapeLinear().GetDisplayType(), IParam::kDisplayLinear);
}

TEST(ParamShape, OutOfRangeInputNeverYieldsNonFinite)
{
  // Fractional power of a value below the range.
  IParam pow;
  pow.InitDouble("Pow", 0.0, 0.0, 1.0, 0.0, "", 0, "", IParam::ShapePowCurve(0.5));
  EXPECT_EQ(pow.ToNormalized(-3.0), 0.0);
  EXPECT_EQ(pow.FromNormalized(-0.5), 0.0);
  EXPECT_EQ(pow.FromNormalized(1.5), 1.0);

  // A non-positive exponent behaves linearly instead of dividing by zero.
  IParam zeroExp;
  zeroExp.InitDouble("Z", 0.0, 0.0, 10.0, 0.0, "", 0, "", IParam::ShapePowCurve(0.0));
  EXPECT_DOUBLE_EQ(zeroExp.ToNormalized(5.0), 0.5);
  EXPECT_DOUBLE_EQ(zeroExp.FromNormalized(0.5), 5.0);

  // Exponential shape over a range entirely at or below zero: flat, finite.
  IParam negExp;
  negExp.InitDouble("N", -5.0, -10.0, -1.0, 0.0, "", 0, "", IParam::ShapeExp());
  for (double n : {0.0, 0.5, 1.0, kNaN, kInf, -kInf})
  {
    EXPECT_TRUE(std::isfinite(negExp.FromNormalized(n))) << n;
    EXPECT_GE(negExp.FromNormalized(n), -10.0);
    EXPECT_LE(negExp.FromNormalized(n), -1.0);
  }
  for (double v : {-5.0, 0.0, -kInf, kInf, kNaN})
  {
    const double n = negExp.ToNormalized(v);
    EXPECT_TRUE(n >= 0.0 && n <= 1.0) << v;
  }

  // Logarithm of zero or a negative value on a positive range.
  IParam freq;
  freq.InitFrequency("F", 100.0, 20.0, 20000.0, 0.0);
  EXPECT_EQ(freq.ToNormalized(0.0), 0.0);
  EXPECT_EQ(freq.ToNormalized(-1.0), 0.0);
  EXPECT_EQ(freq.ToNormalized(kNaN), 0.0);
  EXPECT_EQ(freq.ToNormalized(kInf), 1.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Range, steps and precision
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamRange, NarrowRangeWidensToOneStep)
{
  IParam p;
  p.InitDouble("W", 0.0, 0.0, 0.05, 0.1);
  EXPECT_DOUBLE_EQ(p.GetMax(), 0.1);

  // Unstepped: a reversed range never leaves max below min.
  IParam q;
  q.InitDouble("R", 0.0, 5.0, 1.0, 0.0);
  EXPECT_GE(q.GetMax(), q.GetMin());
  EXPECT_EQ(q.ToNormalized(5.0), 0.0);
}

TEST(ParamRange, PrecisionFollowsStepWithTolerance)
{
  const struct
  {
    double step;
    int precision;
  } cases[] = {{1.0, 0}, {5.0, 0}, {0.1, 1}, {0.5, 1}, {0.01, 2}, {0.25, 2}, {0.07, 2}, {0.001, 3}, {0.3, 1},
               {1e-7, 6}, {0.0, 0}};
  for (const auto& c : cases)
  {
    IParam p;
    p.InitDouble("P", 0.0, 0.0, 10.0, c.step);
    EXPECT_EQ(p.GetDisplayPrecision(), c.precision) << "step " << c.step;
  }
  IParam p;
  p.InitDouble("P", 0.0, 0.0, 10.0, 0.1);
  p.SetDisplayPrecision(9);
  EXPECT_EQ(p.GetDisplayPrecision(), 6);
}

TEST(ParamRange, SteppingRoundsHalfAwayFromZeroThenClamps)
{
  IParam p;
  p.InitDouble("S", 0.0, -2.0, 2.0, 0.5, "", IParam::kFlagStepped);
  const struct
  {
    double in, out;
  } cases[] = {{0.25, 0.5}, {-0.25, -0.5}, {0.24, 0.0}, {-0.26, -0.5}, {0.75, 1.0}, {-1.25, -1.5}, {9.0, 2.0},
               {-9.0, -2.0}};
  for (const auto& c : cases)
  {
    p.Set(c.in);
    EXPECT_DOUBLE_EQ(p.Value(), c.out) << c.in;
  }

  IParam quarter;
  quarter.InitDouble("Q", 0.0, 0.0, 1.0, 0.25, "", IParam::kFlagStepped);
  quarter.Set(0.3);
  EXPECT_DOUBLE_EQ(quarter.Value(), 0.25);
  EXPECT_EQ(Display(quarter, quarter.Value()), "0.25");

  // 0.35 / 0.1 is a hair below 3.5 in binary; it is still the half it stands for.
  IParam tenth;
  tenth.InitDouble("T", 0.0, -48.0, 48.0, 0.1, "", IParam::kFlagStepped);
  tenth.Set(0.35);
  EXPECT_NEAR(tenth.Value(), 0.4, 1e-12);
  tenth.Set(-17.85);
  EXPECT_NEAR(tenth.Value(), -17.9, 1e-12);

  // Without the stepped flag the step does not round, and a zero or negative step never does.
  IParam free;
  free.InitDouble("F", 0.0, 0.0, 1.0, 0.25);
  free.Set(0.3);
  EXPECT_DOUBLE_EQ(free.Value(), 0.3);
  IParam zeroStep;
  zeroStep.InitDouble("Z", 0.0, 0.0, 1.0, 0.0, "", IParam::kFlagStepped);
  zeroStep.Set(0.3);
  EXPECT_DOUBLE_EQ(zeroStep.Value(), 0.3);
  IParam negStep;
  negStep.InitDouble("N", 0.0, 0.0, 1.0, -0.5, "", IParam::kFlagStepped);
  negStep.Set(0.3);
  EXPECT_DOUBLE_EQ(negStep.Value(), 0.3);
}

TEST(ParamRange, DefaultIsKeptAsGivenButValueIsConstrained)
{
  IParam p;
  p.InitDouble("D", 7.0, 0.0, 5.0, 1.0, "", IParam::kFlagStepped);
  EXPECT_EQ(p.Value(), 5.0);
  EXPECT_EQ(p.GetDefault(), 7.0);
  p.Set(2.0);
  p.SetToDefault();
  EXPECT_EQ(p.Value(), 7.0);
  EXPECT_EQ(p.GetDefault(true), 1.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Non-finite guards
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamGuards, NonFiniteNumbersNeverEnterAParameter)
{
  IParam p;
  p.InitGain("G", -6.0, -48.0, 12.0, 0.1);
  for (double bad : {kNaN, kInf, -kInf})
  {
    p.Set(bad);
    EXPECT_EQ(p.Value(), -6.0);
    p.SetNormalized(bad);
    EXPECT_EQ(p.Value(), -6.0);
    EXPECT_TRUE(std::isfinite(p.FromNormalized(bad)));
    const double n = p.ToNormalized(bad);
    EXPECT_TRUE(n >= 0.0 && n <= 1.0);
  }
  EXPECT_EQ(p.Constrain(kInf), 12.0);
  EXPECT_EQ(p.Constrain(-kInf), -48.0);
  EXPECT_EQ(p.Constrain(kNaN), -48.0);

  for (const char* text : {"nan", "inf", "-inf", "1e999"})
    EXPECT_TRUE(std::isfinite(p.StringToValue(text))) << text;
  EXPECT_EQ(p.StringToValue("1e999"), 12.0);

  // Nonsense at initialisation is replaced, not stored.
  IParam q;
  q.InitDouble("Q", kNaN, kNaN, kInf, kNaN);
  EXPECT_TRUE(std::isfinite(q.Value()));
  EXPECT_TRUE(std::isfinite(q.GetMin()) && std::isfinite(q.GetMax()) && std::isfinite(q.GetStep()));
  EXPECT_TRUE(std::isfinite(q.GetDefault()));
}

// ---------------------------------------------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamDisplay, NumberFormattingMatrix)
{
  IParam plain; // precision 1
  plain.InitDouble("P", 0.0, -100.0, 100.0, 0.1);
  EXPECT_EQ(Display(plain, -0.0), "0.0");
  EXPECT_EQ(Display(plain, -0.04), "0.0");
  EXPECT_EQ(Display(plain, 2.26), "2.3");
  EXPECT_EQ(Display(plain, -3.5), "-3.5");

  IParam neg;
  neg.InitDouble("N", 0.0, -100.0, 100.0, 0.1, "", IParam::kFlagNegateDisplay);
  EXPECT_EQ(Display(neg, 5.0), "-5.0");
  EXPECT_EQ(Display(neg, -5.0), "5.0");
  EXPECT_EQ(Display(neg, 0.0), "0.0");

  IParam sign;
  sign.InitDouble("S", 0.0, -100.0, 100.0, 0.1, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(sign, 0.0), "0.0");
  EXPECT_EQ(Display(sign, -0.0), "0.0");
  EXPECT_EQ(Display(sign, 2.0), "+2.0");
  EXPECT_EQ(Display(sign, -2.0), "-2.0");
  EXPECT_EQ(Display(sign, 0.01), "0.0");

  // Precision 0: rounded half away from zero, the sign flag has no effect.
  IParam whole;
  whole.InitDouble("W", 0.0, -100.0, 100.0, 1.0, "", IParam::kFlagSignDisplay);
  EXPECT_EQ(Display(whole, 2.0), "2");
  EXPECT_EQ(Display(whole, 2.5), "3");
  EXPECT_EQ(Display(whole, -2.5), "-3");
  EXPECT_EQ(Display(whole, -0.4), "0");
  EXPECT_EQ(Display(whole, 1e300), "2147483647");

  // Results are cut to the 31-character field.
  IParam fine;
  fine.InitDouble("F", 0.0, 0.0, 1e300, 1e-7);
  EXPECT_EQ(Display(fine, 1e300).size(), 31u);
}

TEST(ParamDisplay, DisplayTextsFunctionAndNormalisedInput)
{
  IParam gain;
  gain.InitDouble("Min Auto Gain", -144.0, -144.0, 0.0, 0.1, "dB");
  gain.SetDisplayText(-144.0, "off");
  EXPECT_EQ(Display(gain, -144.0), "off");
  EXPECT_EQ(Display(gain, -144.0, false), "-144.0");
  EXPECT_EQ(Display(gain, 0.0, true, true), "off"); // normalised 0 is the minimum
  EXPECT_EQ(Display(gain, 0.5, true, true), "-72.0");

  // An empty display text falls through to the number; the first of two texts for one value wins.
  IParam p;
  p.InitDouble("P", 0.0, 0.0, 10.0, 1.0);
  p.SetDisplayText(3.0, "");
  p.SetDisplayText(4.0, "four");
  p.SetDisplayText(4.0, "vier");
  EXPECT_EQ(Display(p, 3.0), "3");
  EXPECT_EQ(Display(p, 4.0), "four");
  EXPECT_STREQ(p.GetDisplayText(4.0), "four");
  EXPECT_STREQ(p.GetDisplayText(5.0), "");
  EXPECT_STREQ(p.GetDisplayTextAtIdx(99), "");
  double v = -1.0;
  EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &v), "vier");
  EXPECT_EQ(v, 4.0);

  // An enum value without a text shows the number.
  IParam e;
  e.InitEnum("E", 0, 4, "", 0, "", "a", "b");
  EXPECT_EQ(Display(e, 1.0), "b");
  EXPECT_EQ(Display(e, 3.0), "3");

  IParam f;
  f.InitDouble("F", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), plugin::kUnitCustom,
               [](double value, Util_String& text) { text.SetFormatted(32, "<%g>", value); });
  f.SetDisplayText(0.5, "half");
  EXPECT_EQ(Display(f, 0.5), "<0.5>");
}

// ---------------------------------------------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamParse, StringToValue)
{
  IParam freq;
  freq.InitFrequency("Freq", 1000.0, 20.0, 20000.0, 1.0);
  EXPECT_DOUBLE_EQ(freq.StringToValue("1.5kHz"), 1500.0);
  EXPECT_DOUBLE_EQ(freq.StringToValue("1k5"), 1500.0);
  EXPECT_DOUBLE_EQ(freq.StringToValue("2K"), 2000.0);
  EXPECT_DOUBLE_EQ(freq.StringToValue("99k"), 20000.0); // clamped
  EXPECT_DOUBLE_EQ(freq.StringToValue("  440.4 Hz"), 440.4); // frequency is unstepped
  EXPECT_DOUBLE_EQ(freq.StringToValue("Hz"), 20.0);
  EXPECT_DOUBLE_EQ(freq.StringToValue(nullptr), 20.0);

  IParam gain;
  gain.InitGain("G", 0.0, -48.0, 48.0, 0.1, IParam::kFlagStepped);
  EXPECT_NEAR(gain.StringToValue("+3.26"), 3.3, 1e-12);
  EXPECT_NEAR(gain.StringToValue("-12.04 dB"), -12.0, 1e-12);

  IParam neg;
  neg.InitDouble("N", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  EXPECT_DOUBLE_EQ(neg.StringToValue("5"), -5.0);
  EXPECT_EQ(Display(neg, neg.StringToValue("5")), "5.0");

  IParam sw;
  sw.InitBool("Switch", false, "", 0, "", "Off", "Engaged");
  EXPECT_EQ(sw.StringToValue("Engaged"), 1.0);
  EXPECT_EQ(sw.StringToValue("On"), 0.0);
  EXPECT_EQ(sw.StringToValue("1"), 0.0); // bool and enum parse only their texts
}

// ---------------------------------------------------------------------------------------------------------------
// Initialisers
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamInit, EnumBoolAndTypes)
{
  IParam bare;
  bare.InitEnum("Bare", 0, 3);
  EXPECT_EQ(bare.NDisplayTexts(), 0);
  EXPECT_EQ(bare.Type(), IParam::kTypeEnum);
  EXPECT_DOUBLE_EQ(bare.GetMax(), 2.0);
  EXPECT_TRUE(bare.GetStepped());

  IParam mode;
  mode.InitEnum("Meter Mode", 3, 6, "", 0, "Meter", "RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL",
                "VU", "Max Peak");
  EXPECT_EQ(mode.NDisplayTexts(), 6);
  EXPECT_EQ(Display(mode, mode.Value()), "EBU R128 SL");
  EXPECT_DOUBLE_EQ(mode.StringToValue("Max Peak"), 5.0);

  // More texts than values: the extra ones are not taken.
  IParam extra;
  extra.InitEnum("X", 0, 2, "", 0, "", "a", "b", "c");
  EXPECT_EQ(extra.NDisplayTexts(), 2);

  IParam list;
  list.InitEnum("Fixed GUI Scale", 2, {"50%", "75%", "100%"}, 0, "");
  EXPECT_EQ(list.NDisplayTexts(), 3);
  EXPECT_STREQ(list.GetLabel(), "");
  EXPECT_EQ(Display(list, list.Value()), "100%");

  IParam b;
  b.InitBool("B", true);
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
  EXPECT_EQ(b.Value(), 1.0);
  EXPECT_EQ(b.NDisplayTexts(), 2);

  IParam i;
  i.InitInt("Link ID", 300, 0, 256);
  EXPECT_EQ(i.Type(), IParam::kTypeInt);
  EXPECT_EQ(i.Value(), 256.0);

  IParam ms;
  ms.InitMilliseconds("T", 10.0, 0.0, 100.0);
  EXPECT_STREQ(ms.GetLabel(), "ms");
  EXPECT_EQ(ms.GetUnit(), plugin::kUnitMilliseconds);
  EXPECT_EQ(ms.Type(), IParam::kTypeDouble);
}

TEST(ParamInit, PitchNames)
{
  IParam p;
  p.InitPitch("Note", 0, 48, 50);
  ASSERT_EQ(p.NDisplayTexts(), 3);
  const char* expected[] = {"C 2", "C#2", "D 2"};
  for (int k = 0; k < 3; ++k)
  {
    double v = -1.0;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(k, &v), expected[k]);
    EXPECT_EQ(v, k);
  }
  EXPECT_EQ(p.Type(), IParam::kTypeEnum);

  IParam middle;
  middle.InitPitch("Note", 0, 60, 71);
  EXPECT_STREQ(middle.GetDisplayText(0.0), "C 3");
  EXPECT_STREQ(middle.GetDisplayText(11.0), "B 3");
  IParam middleC;
  middleC.InitPitch("Note", 0, 60, 60, 0, "", true);
  EXPECT_STREQ(middleC.GetDisplayText(0.0), "C 4");

  // Notes below zero still get a note name.
  IParam low;
  low.InitPitch("Low", 0, -1, 0);
  EXPECT_STREQ(low.GetDisplayText(0.0), "B -3");
  EXPECT_STREQ(low.GetDisplayText(1.0), "C -2");
}

TEST(ParamInit, CopyWithRenamedNameAndGroup)
{
  IParam src;
  src.InitEnum("Gain 1", 1, 2, "dB", IParam::kFlagMeta, "Channel", "off", "on");
  src.Set(0.0);

  IParam a;
  a.Init(src, "Gain", "Drive", "");
  EXPECT_STREQ(a.GetName(), "Drive 1");
  EXPECT_STREQ(a.GetGroup(), "Channel");
  EXPECT_STREQ(a.GetLabel(), "dB");
  EXPECT_EQ(a.Type(), IParam::kTypeEnum);
  EXPECT_EQ(a.GetFlags(), IParam::kFlagMeta | IParam::kFlagStepped);
  EXPECT_EQ(a.Value(), 1.0); // from the default, not the source's value
  EXPECT_EQ(a.NDisplayTexts(), 2);
  EXPECT_EQ(Display(a, 1.0), "on");

  IParam left;
  left.InitDouble("Left Gain", 0.0, 0.0, 1.0, 0.0);
  IParam b;
  b.Init(left, "Gain", "Drive", "Out");
  EXPECT_STREQ(b.GetName(), "Left Drive");
  EXPECT_STREQ(b.GetGroup(), "Out");

  IParam c;
  c.Init(left, "Level", "Drive");
  EXPECT_STREQ(c.GetName(), "Left Gain");

  // Removing without replacement; the shape travels with the copy.
  IParam freq;
  freq.InitFrequency("Cutoff Freq", 1000.0, 20.0, 20000.0, 1.0);
  IParam d;
  d.Init(freq, " Freq", nullptr);
  EXPECT_STREQ(d.GetName(), "Cutoff");
  EXPECT_NEAR(d.FromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);

  // Copying onto itself renames without duplicating texts.
  src.Init(src, "Gain", "Trim");
  EXPECT_STREQ(src.GetName(), "Trim 1");
  EXPECT_EQ(src.NDisplayTexts(), 2);
}

TEST(ParamInit, TextsAreCutToTheirFields)
{
  const std::string longName(40, 'n');
  IParam p;
  p.InitDouble(longName.c_str(), 0.0, 0.0, 1.0, 0.1, std::string(50, 'l').c_str(), 0, std::string(33, 'g').c_str());
  EXPECT_EQ(std::string(p.GetName()), std::string(31, 'n'));
  EXPECT_EQ(std::strlen(p.GetLabel()), 31u);
  EXPECT_EQ(std::strlen(p.GetGroup()), 31u);
  p.SetDisplayText(0.5, std::string(64, 'd').c_str());
  EXPECT_EQ(std::strlen(p.GetDisplayText(0.5)), 31u);

  // A cut never splits a multi-byte character: 30 ASCII bytes, then a 2-byte "é".
  const std::string utf8 = std::string(30, 'a') + "\xC3\xA9" + "z";
  IParam q;
  q.InitDouble(utf8.c_str(), 0.0, 0.0, 1.0, 0.1, nullptr, 0, nullptr);
  EXPECT_EQ(std::string(q.GetName()), std::string(30, 'a'));
  EXPECT_STREQ(q.GetLabel(), "");
}

// ---------------------------------------------------------------------------------------------------------------
// JSON
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamJSON, ExactObject)
{
  IParam ref;
  ref.InitDouble("Reference Level", -18.0, -48.0, 0.0, 0.1, "dB", 0, "Processing");
  Util_String json;
  json.Set("[");
  ref.GetJSON(json, 8);
  EXPECT_STREQ(json.Get(), "[{\"id\":8, \"name\":\"Reference Level\", \"type\":\"float\", \"min\":-48.000000, "
                           "\"max\":0.000000, \"default\":-18.000000, \"rate\":\"control\"}");

  IParam odd;
  odd.InitEnum("Say \"hi\" \\ now", 0, 2);
  Util_String j2;
  odd.GetJSON(j2, 0);
  EXPECT_STREQ(j2.Get(), "{\"id\":0, \"name\":\"Say \\\"hi\\\" \\\\ now\", \"type\":\"enum\", \"min\":0.000000, "
                         "\"max\":1.000000, \"default\":0.000000, \"rate\":\"control\"}");

  IParam none;
  Util_String j3;
  none.GetJSON(j3, 3);
  EXPECT_STREQ(j3.Get(), "{\"id\":3, \"name\":\"\", \"min\":0.000000, \"max\":1.000000, \"default\":0.000000, "
                         "\"rate\":\"control\"}");
}

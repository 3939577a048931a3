#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <tuple>

using plugin::IParam;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A parameter named "P" made by InitDouble.
std::unique_ptr<IParam> Dbl(double def, double min, double max, double step, int flags = 0,
                            const IParam::Shape& shape = IParam::ShapeLinear())
{
  auto p = std::make_unique<IParam>();
  p->InitDouble("P", def, min, max, step, "", flags, "", shape);
  return p;
}

std::unique_ptr<IParam> Freq(double min, double max, double step = 0.0)
{
  auto p = std::make_unique<IParam>();
  p->InitFrequency("Freq", min, min, max, step);
  return p;
}

std::string Display(const IParam& p, double value, bool withDisplayText = true, bool normalized = false)
{
  Util_String s;
  p.GetDisplay(value, normalized, s, withDisplayText);
  return s.Get();
}

} // namespace

// ---- Shapes ----

TEST(ParamShape, MapsKnownPointsAndOutOfRangeInputNeverYieldsNonFinite)
{
  // Squared curve on 0..100: half way is a quarter of the range.
  auto pow = Dbl(0.0, 0.0, 100.0, 0.0, 0, IParam::ShapePowCurve(2.0));
  EXPECT_DOUBLE_EQ(pow->ToNormalized(25.0), 0.5);

  // Logarithmic 20 Hz..20 kHz: the middle is the geometric mean, one decade is a third.
  auto freq = Freq(20.0, 20000.0);
  EXPECT_NEAR(freq->FromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);
  EXPECT_NEAR(freq->FromNormalized(1.0 / 3.0), 200.0, 1e-9);
  // A logarithmic range from 0 starts just above it.
  EXPECT_NEAR(Freq(0.0, 100.0)->FromNormalized(0.0), 1e-8, 1e-20);

  // Fractional power of a value below the range.
  auto root = Dbl(0.0, 0.0, 1.0, 0.0, 0, IParam::ShapePowCurve(0.5));
  EXPECT_EQ(root->ToNormalized(-3.0), 0.0);
  EXPECT_EQ(root->FromNormalized(1.5), 1.0);

  // A non-positive exponent behaves linearly instead of dividing by zero.
  auto zeroExp = Dbl(0.0, 0.0, 10.0, 0.0, 0, IParam::ShapePowCurve(0.0));
  EXPECT_DOUBLE_EQ(zeroExp->ToNormalized(5.0), 0.5);
  EXPECT_DOUBLE_EQ(zeroExp->FromNormalized(0.5), 5.0);

  // Exponential shape over a range entirely at or below zero: flat, finite.
  auto negExp = Dbl(-5.0, -10.0, -1.0, 0.0, 0, IParam::ShapeExp());
  for (double n : {0.0, 0.5, 1.0, kNaN, kInf, -kInf})
  {
    const double v = negExp->FromNormalized(n);
    EXPECT_TRUE(std::isfinite(v) && v >= -10.0 && v <= -1.0) << n;
  }

  // Logarithm of zero or a negative value on a positive range.
  for (double v : {0.0, -1.0, kNaN})
    EXPECT_EQ(freq->ToNormalized(v), 0.0) << v;
}

// ---- Range, steps and precision ----

TEST(ParamRange, NarrowRangesDefaultsAndPrecision)
{
  EXPECT_DOUBLE_EQ(Dbl(0.0, 0.0, 0.05, 0.1)->GetMax(), 0.1); // widened to one step
  auto reversed = Dbl(0.0, 5.0, 1.0, 0.0);                   // unstepped: max never ends below min
  EXPECT_GE(reversed->GetMax(), reversed->GetMin());
  EXPECT_EQ(reversed->ToNormalized(5.0), 0.0);

  // Precision follows the step, with a tolerance for binary fractions that scales with the step.
  const std::pair<double, int> cases[] = {{1.0, 0},  {0.25, 2}, {0.07, 2},  {0.3, 1},   {1e-5, 5},
                                          {1e-7, 6}, {1e-9, 6}, {1e-10, 6}, {2.5e-12, 6}, {0.0, 0}};
  for (const auto& [step, precision] : cases)
    EXPECT_EQ(Dbl(0.0, 0.0, 10.0, step)->GetDisplayPrecision(), precision) << "step " << step;
  // A tiny step's values are not shown as whole numbers.
  EXPECT_EQ(Display(*Dbl(0.0, 0.0, 1e-5, 1e-9), 7e-7), "0.000001");
}

TEST(ParamRange, SteppingRoundsHalfAwayFromZeroThenClamps)
{
  auto p = Dbl(0.0, -2.0, 2.0, 0.5, IParam::kFlagStepped);
  const std::pair<double, double> cases[] = {{0.25, 0.5}, {-0.25, -0.5}, {0.24, 0.0}, {9.0, 2.0}};
  for (const auto& [in, out] : cases)
  {
    p->Set(in);
    EXPECT_DOUBLE_EQ(p->Value(), out) << in;
  }
  // 0.35 / 0.1 is a hair below 3.5 in binary; it is still the half it stands for.
  auto tenth = Dbl(0.0, -48.0, 48.0, 0.1, IParam::kFlagStepped);
  tenth->Set(0.35);
  EXPECT_NEAR(tenth->Value(), 0.4, 1e-12);

  // Without the stepped flag the step does not round, and a zero or negative step never does.
  for (auto& q : {Dbl(0.0, 0.0, 1.0, 0.25), Dbl(0.0, 0.0, 1.0, 0.0, IParam::kFlagStepped),
                  Dbl(0.0, 0.0, 1.0, -0.5, IParam::kFlagStepped)})
  {
    q->Set(0.3);
    EXPECT_DOUBLE_EQ(q->Value(), 0.3);
  }
}

TEST(ParamGuards, NonFiniteNumbersNeverEnterAParameter)
{
  IParam p;
  p.InitGain("G", -6.0, -48.0, 12.0, 0.1);
  for (double bad : {kNaN, kInf, -kInf})
  {
    p.Set(bad);
    p.SetNormalized(bad);
    EXPECT_EQ(p.Value(), -6.0);
    EXPECT_TRUE(std::isfinite(p.FromNormalized(bad)));
    const double n = p.ToNormalized(bad);
    EXPECT_TRUE(n >= 0.0 && n <= 1.0);
  }
  EXPECT_EQ(std::make_tuple(p.Constrain(kInf), p.Constrain(-kInf), p.Constrain(kNaN)),
            std::make_tuple(12.0, -48.0, -48.0));
  for (const char* text : {"nan", "inf", "-inf"})
    EXPECT_TRUE(std::isfinite(p.StringToValue(text))) << text;
  EXPECT_EQ(p.StringToValue("1e999"), 12.0);

  // Nonsense at initialisation is replaced, not stored.
  auto q = Dbl(kNaN, kNaN, kInf, kNaN);
  for (double v : {q->Value(), q->GetMin(), q->GetMax(), q->GetStep(), q->GetDefault()})
    EXPECT_TRUE(std::isfinite(v));
}

// ---- Display and parsing ----

TEST(ParamDisplay, NumbersAndDisplayTexts)
{
  struct Case
  {
    int flags;
    double step, value;
    const char* text;
  };
  constexpr int kNeg = IParam::kFlagNegateDisplay, kSign = IParam::kFlagSignDisplay;
  // Precision 1: -0 and values rounding to zero show no sign. Precision 0: rounded half away from zero, the sign
  // flag has no effect.
  const Case cases[] = {{0, 0.1, -0.0, "0.0"},      {0, 0.1, -0.04, "0.0"},   {kNeg, 0.1, 5.0, "-5.0"},
                        {kNeg, 0.1, 0.0, "0.0"},    {kSign, 0.1, -0.0, "0.0"}, {kSign, 0.1, 2.0, "+2.0"},
                        {kSign, 1.0, -2.5, "-3"},   {kSign, 1.0, -0.4, "0"},   {kSign, 1.0, 1e300, "2147483647"}};
  for (const Case& c : cases)
    EXPECT_EQ(Display(*Dbl(0.0, -100.0, 1e300, c.step, c.flags), c.value), c.text)
        << c.flags << " " << c.step << " " << c.value;
  // Results are cut to the 31-character field.
  EXPECT_EQ(Display(*Dbl(0.0, 0.0, 1e300, 1e-7), 1e300).size(), 31u);

  // An empty display text falls through to the number; the first of two texts for one value wins.
  auto p = Dbl(0.0, 0.0, 10.0, 1.0);
  p->SetDisplayText(3.0, "");
  p->SetDisplayText(4.0, "four");
  p->SetDisplayText(4.0, "vier");
  EXPECT_EQ(Display(*p, 3.0) + Display(*p, 4.0), "3four");
}

TEST(ParamParse, StringToValue)
{
  auto freq = Freq(20.0, 20000.0, 1.0);
  const std::pair<const char*, double> freqs[] = {
      {"1k5", 1500.0}, {"  440.4 Hz", 440.4}, {nullptr, 20.0}};
  for (const auto& [text, value] : freqs)
    EXPECT_DOUBLE_EQ(freq->StringToValue(text), value) << (text ? text : "null");

  // Bool and enum parse only their texts.
  IParam sw;
  sw.InitBool("Switch", false, "", 0, "", "Off", "Engaged");
  EXPECT_EQ(std::make_tuple(sw.StringToValue("Engaged"), sw.StringToValue("On"), sw.StringToValue("1")),
            std::make_tuple(1.0, 0.0, 0.0));
}

// ---- Initialisers ----

TEST(ParamInit, EnumsIntsAndPitchNames)
{
  IParam mode; // more texts than values: the extra ones are not taken
  mode.InitEnum("Meter Mode", 3, 4, "", 0, "Meter", "RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU");
  EXPECT_EQ(Display(mode, mode.Value()), "EBU R128 SL");
  EXPECT_EQ(mode.NDisplayTexts(), 4);

  auto pitch = [](int minNote, int maxNote, bool middleCisC = false)
  {
    auto p = std::make_unique<IParam>();
    p->InitPitch("Note", 0, minNote, maxNote, 0, "", middleCisC);
    return p;
  };
  // Middle C is C3 unless asked otherwise; notes below zero still get a note name.
  const std::tuple<int, int, bool, double, const char*> names[] = {
      {48, 50, false, 1.0, "C#2"}, {60, 60, true, 0.0, "C 4"}, {-1, 0, false, 0.0, "B -3"}, {-1, 0, false, 1.0, "C -2"}};
  for (const auto& [lo, hi, middleCisC, value, name] : names)
    EXPECT_STREQ(pitch(lo, hi, middleCisC)->GetDisplayText(value), name) << name;
}

TEST(ParamInit, TextsAreCutToTheirFields)
{
  IParam p;
  p.InitDouble(std::string(40, 'n').c_str(), 0.0, 0.0, 1.0, 0.1, std::string(50, 'l').c_str(), 0,
               std::string(33, 'g').c_str());
  EXPECT_EQ(std::string(p.GetName()), std::string(31, 'n'));
  EXPECT_EQ(std::strlen(p.GetLabel()), 31u);
  EXPECT_EQ(std::strlen(p.GetGroup()), 31u);
  p.SetDisplayText(0.5, std::string(64, 'd').c_str());
  EXPECT_EQ(std::strlen(p.GetDisplayText(0.5)), 31u);

  // A cut never splits a multi-byte character: 30 ASCII bytes, then a 2-byte "é".
  IParam q;
  q.InitDouble((std::string(30, 'a') + "\xC3\xA9" + "z").c_str(), 0.0, 0.0, 1.0, 0.1, nullptr, 0, nullptr);
  EXPECT_EQ(std::string(q.GetName()), std::string(30, 'a'));
  EXPECT_STREQ(q.GetLabel(), "");
}

TEST(ParamJSON, NamesAreEscaped)
{
  // Quotes and backslashes in the name are escaped.
  IParam odd;
  odd.InitEnum("Say \"hi\" \\ now", 0, 2);
  Util_String j2;
  odd.GetJSON(j2, 0);
  EXPECT_STREQ(j2.Get(), "{\"id\":0, \"name\":\"Say \\\"hi\\\" \\\\ now\", \"type\":\"enum\", \"min\":0.000000, "
                         "\"max\":1.000000, \"default\":0.000000, \"rate\":\"control\"}");
}

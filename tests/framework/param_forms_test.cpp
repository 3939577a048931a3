// The parameter initialisation forms with a fixed label and unit, the copy-initialisation, the curve each shape
// reports to the host, display functions, display texts reached through normalised values, and the JSON object.

#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>

using plugin::EParamUnit;
using plugin::IParam;

namespace
{

std::string Display(const IParam& p, double value, bool normalized = false)
{
  Util_String s;
  p.GetDisplay(value, normalized, s, true);
  return s.Get();
}

// A plug-in's own curve that says nothing about its display: n squared, mapped back by the square root.
class SquareShape : public IParam::Shape
{
public:
  std::unique_ptr<Shape> Clone() const override { return std::make_unique<SquareShape>(*this); }
  double NormalizedToValue(double n, const IParam& p) const override
  {
    return p.GetMin() + n * n * (p.GetMax() - p.GetMin());
  }
  double ValueToNormalized(double v, const IParam& p) const override
  {
    return std::sqrt((v - p.GetMin()) / (p.GetMax() - p.GetMin()));
  }
};

} // namespace

TEST(ParamForms, FixedLabelsUnitsStepsAndShapes)
{
  struct Case
  {
    const char* form;
    const char* label;
    EParamUnit unit;
    double step;
    IParam::EDisplayType curve;
    double min, max, normalisedHalf; // the value at normalised 0.5
  };
  auto make = [](const char* form) {
    auto p = std::make_unique<IParam>();
    const std::string f = form;
    if (f == "seconds") p->InitSeconds("Release", 0.5, 0.0, 4.0, 0.01, 0, "Dyn");
    if (f == "milliseconds") p->InitMilliseconds("Attack", 10.0, 0.0, 200.0, 0, "Dyn");
    if (f == "percentage") p->InitPercentage("Mix", 50.0, 0.0, 100.0, 0, "Dyn");
    if (f == "degrees") p->InitAngleDegrees("Angle", 0.0, -180.0, 180.0, 0, "Dyn");
    if (f == "gain") p->InitGain("Trim", 0.0, -24.0, 24.0, 0.1, 0, "Dyn");
    if (f == "frequency") p->InitFrequency("Cutoff", 1000.0, 10.0, 1000.0, 1.0, 0, "Dyn");
    return p;
  };
  // Half way on a logarithmic 10..1000 Hz is the geometric mean, 100 Hz.
  const Case cases[] = {
      {"seconds", "Seconds", plugin::kUnitSeconds, 0.01, IParam::kDisplayLinear, 0.0, 4.0, 2.0},
      {"milliseconds", "ms", plugin::kUnitMilliseconds, 1.0, IParam::kDisplayLinear, 0.0, 200.0, 100.0},
      {"percentage", "%", plugin::kUnitPercentage, 1.0, IParam::kDisplayLinear, 0.0, 100.0, 50.0},
      {"degrees", "degrees", plugin::kUnitDegrees, 1.0, IParam::kDisplayLinear, -180.0, 180.0, 0.0},
      {"gain", "dB", plugin::kUnitDB, 0.1, IParam::kDisplayLinear, -24.0, 24.0, 0.0},
      {"frequency", "Hz", plugin::kUnitFrequency, 1.0, IParam::kDisplayLog, 10.0, 1000.0, 100.0},
  };
  for (const Case& c : cases)
  {
    const auto p = make(c.form);
    EXPECT_EQ(std::make_tuple(std::string(p->GetLabel()), p->GetUnit(), p->GetStep(), p->GetShape().GetDisplayType(),
                              p->GetMin(), p->GetMax(), std::string(p->GetGroup()), p->Type()),
              std::make_tuple(std::string(c.label), c.unit, c.step, c.curve, c.min, c.max, std::string("Dyn"),
                              IParam::kTypeDouble))
        << c.form;
    EXPECT_NEAR(p->FromNormalized(0.5), c.normalisedHalf, 1e-9) << c.form;
  }
  // The fixed step of the whole-number forms sets no decimals; a hundredth of a second shows two.
  EXPECT_EQ(Display(*make("milliseconds"), 12.0) + "|" + Display(*make("seconds"), 1.5), "12|1.50");
}

TEST(ParamForms, CurveReportedToTheHost)
{
  // Tested in this order: above 2.5 cube root, above 1.5 square root, below 0.4 cubed, below 2/3 squared.
  const std::pair<double, IParam::EDisplayType> pow[] = {
      {3.0, IParam::kDisplayCubeRoot}, {2.0, IParam::kDisplaySquareRoot}, {0.3, IParam::kDisplayCubed},
      {0.5, IParam::kDisplaySquared},  {1.0, IParam::kDisplayLinear},     {0.7, IParam::kDisplayLinear}};
  for (const auto& [exponent, type] : pow)
    EXPECT_EQ(IParam::ShapePowCurve(exponent).GetDisplayType(), type) << exponent;
  EXPECT_EQ(IParam::ShapeExp().GetDisplayType(), IParam::kDisplayLog);

  // A shape of the plug-in's own that does not say is shown linear, and its curve is used both ways.
  IParam p;
  p.InitDouble("Drive", 0.0, 0.0, 100.0, 0.0, "", 0, "", SquareShape());
  EXPECT_EQ(p.GetShape().GetDisplayType(), IParam::kDisplayLinear);
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5), 25.0);
  EXPECT_DOUBLE_EQ(p.ToNormalized(25.0), 0.5);
}

TEST(ParamForms, CopyInitialisationRenamesRegroupsAndKeepsTheRest)
{
  IParam src;
  src.InitEnum("Gain 1", 1, 2, "dB", IParam::kFlagMeta, "Channel", "off", "on");
  src.Set(0.0);
  // The copy starts from the source's default, not its current value, and keeps texts, flags and group.
  IParam a;
  a.Init(src, "Gain", "Drive", "");
  EXPECT_EQ(std::make_tuple(std::string(a.GetName()), std::string(a.GetGroup()), std::string(a.GetLabel()),
                            a.GetFlags(), a.Value(), a.Type(), Display(a, 1.0)),
            std::make_tuple(std::string("Drive 1"), std::string("Channel"), std::string("dB"),
                            IParam::kFlagMeta | IParam::kFlagStepped, 1.0, IParam::kTypeEnum, std::string("on")));

  // Only the first occurrence is replaced; a text that does not occur leaves the name.
  const std::tuple<const char*, const char*, const char*, const char*> names[] = {
      {"Left Gain Gain", "Gain", "Drive", "Left Drive Gain"},
      {"Left Gain", "Volume", "Drive", "Left Gain"},
      {"Cutoff Freq", " Freq", nullptr, "Cutoff"}, // removed without replacement
  };
  for (const auto& [name, search, replace, expect] : names)
  {
    IParam s, t;
    s.InitDouble(name, 0.0, 0.0, 1.0, 0.1);
    t.Init(s, search, replace);
    EXPECT_STREQ(t.GetName(), expect) << name;
  }

  // The shape, unit and range travel with the copy; a new group replaces the old one.
  IParam freq, d;
  freq.InitFrequency("Cutoff Freq", 1000.0, 20.0, 20000.0, 1.0, 0, "In");
  d.Init(freq, " Freq", "", "Out");
  EXPECT_EQ(std::make_tuple(std::string(d.GetGroup()), d.GetUnit(), d.GetDefault()),
            std::make_tuple(std::string("Out"), plugin::kUnitFrequency, 1000.0));
  EXPECT_NEAR(d.FromNormalized(0.5), std::sqrt(20.0 * 20000.0), 1e-9);

  // Copying onto itself renames without duplicating texts.
  src.Init(src, "Gain", "Trim");
  EXPECT_EQ(std::make_pair(std::string(src.GetName()), src.NDisplayTexts()), std::make_pair(std::string("Trim 1"), 2));
}

TEST(ParamForms, DisplayFunctionsTextsAndPrecision)
{
  // A display function takes precedence over display texts and over the precision.
  IParam f;
  f.InitDouble("F", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), plugin::kUnitCustom,
               [](double value, Util_String& text) { text.SetFormatted(32, "<%g>", value); });
  f.SetDisplayText(0.5, "half");
  EXPECT_EQ(Display(f, 0.5), "<0.5>");

  // Normalised input is mapped to the real value before the texts are looked up; without a text, the number.
  IParam gain;
  gain.InitDouble("Min Auto Gain", -144.0, -144.0, 0.0, 0.1, "dB");
  gain.SetDisplayText(-144.0, "off");
  Util_String plain;
  gain.GetDisplay(-144.0, false, plain, false);
  EXPECT_EQ(std::make_tuple(std::string(plain.Get()), Display(gain, 0.0, true), Display(gain, 0.5, true)),
            std::make_tuple(std::string("-144.0"), std::string("off"), std::string("-72.0")));
  // An enum value without a text shows the number.
  IParam e;
  e.InitEnum("E", 0, 4, "", 0, "", "a", "b");
  EXPECT_EQ(Display(e, 3.0), "3");

  // An override of the precision holds until the next initialisation and is limited to 0..6.
  const std::pair<int, const char*> precisions[] = {{3, "0.125"}, {9, "0.125000"}, {-2, "0"}};
  for (const auto& [precision, text] : precisions)
  {
    IParam p;
    p.InitDouble("P", 0.0, 0.0, 1.0, 0.5);
    p.SetDisplayPrecision(precision);
    EXPECT_EQ(Display(p, 0.125), text) << precision;
  }
}

TEST(ParamForms, JsonObjectOfEachType)
{
  IParam ref, none;
  ref.InitDouble("Reference Level", -18.0, -48.0, 0.0, 0.1, "dB", 0, "Processing");
  Util_String json;
  json.Set("[");
  ref.GetJSON(json, 8);
  EXPECT_STREQ(json.Get(), "[{\"id\":8, \"name\":\"Reference Level\", \"type\":\"float\", \"min\":-48.000000, "
                           "\"max\":0.000000, \"default\":-18.000000, \"rate\":\"control\"}");
  // A parameter never initialised has no type entry.
  Util_String j3;
  none.GetJSON(j3, 3);
  EXPECT_STREQ(j3.Get(), "{\"id\":3, \"name\":\"\", \"min\":0.000000, \"max\":1.000000, \"default\":0.000000, "
                         "\"rate\":\"control\"}");
  const std::pair<const char*, const char*> types[] = {{"bool", "\"type\":\"bool\""}, {"int", "\"type\":\"int\""}};
  for (const auto& [kind, entry] : types)
  {
    IParam p;
    if (std::string(kind) == "bool")
      p.InitBool("B", true);
    else
      p.InitInt("I", 2, 0, 4);
    Util_String j;
    p.GetJSON(j, 0);
    EXPECT_NE(std::string(j.Get()).find(entry), std::string::npos) << j.Get();
  }
}

TEST(ParamForms, TypedTextsAndInitialValues)
{
  // A "k" (or, without one, a "K") stands for the decimal point of thousands; the result is constrained.
  IParam freq;
  freq.InitFrequency("Freq", 20.0, 20.0, 20000.0, 1.0);
  const std::pair<const char*, double> freqs[] = {
      {"1.5kHz", 1500.0}, {"2K", 2000.0}, {"99k", 20000.0}, {"Hz", 20.0}, {"1k5", 1500.0}};
  for (const auto& [text, value] : freqs)
    EXPECT_DOUBLE_EQ(freq.StringToValue(text), value) << text;
  // Stepped values round to the step; a negated display parses back negated.
  IParam gain;
  gain.InitGain("G", 0.0, -48.0, 48.0, 0.1, IParam::kFlagStepped);
  EXPECT_NEAR(gain.StringToValue("+3.26"), 3.3, 1e-12);
  EXPECT_NEAR(gain.StringToValue("-12.04 dB"), -12.0, 1e-12);
  IParam neg;
  neg.InitDouble("N", 0.0, -10.0, 10.0, 0.1, "", IParam::kFlagNegateDisplay);
  EXPECT_DOUBLE_EQ(neg.StringToValue("5"), -5.0);

  // The value starts from the constrained default.
  IParam link;
  link.InitInt("Link ID", 300, 0, 256);
  EXPECT_EQ(std::make_pair(link.Value(), link.GetDefault()), std::make_pair(256.0, 300.0));

  // Note names are an enum: values 0, 1, ... with texts by index.
  IParam pitch;
  pitch.InitPitch("Note", 0, 60, 71);
  double value = -1.0;
  const std::string last = pitch.GetDisplayTextAtIdx(11, &value);
  EXPECT_EQ(std::make_tuple(pitch.Type(), pitch.NDisplayTexts(), last, value),
            std::make_tuple(IParam::kTypeEnum, 12, std::string("B 3"), 11.0));
}

TEST(ParamForms, LogarithmicMappingBackAndAFlatCurve)
{
  // 20 Hz to 20 kHz spans three decades: 2 kHz lies two thirds of the way up.
  IParam freq;
  freq.InitFrequency("Freq", 1000.0, 20.0, 20000.0, 0.0);
  EXPECT_NEAR(freq.ToNormalized(2000.0), 2.0 / 3.0, 1e-12);
  EXPECT_EQ(freq.ToNormalized(40000.0), 1.0);
  // A logarithmic shape on a range at or below zero is flat: every value, finite or not, maps inside 0..1.
  IParam below;
  below.InitDouble("Below", -5.0, -10.0, -1.0, 0.0, "", 0, "", IParam::ShapeExp());
  for (double v : {-5.0, 0.0, -HUGE_VAL, HUGE_VAL, std::nan("")})
  {
    const double n = below.ToNormalized(v);
    EXPECT_TRUE(n >= 0.0 && n <= 1.0) << v;
  }
}

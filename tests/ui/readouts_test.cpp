// The read-outs: their dB arithmetic and text, and the live displays of an open Receiver editor (texts and colours
// from engine values, the LED, the lock of the latency measurement), against values worked out by hand.

#include "support/ui_env.h"
#include "ui/ReadoutText.h"

#include <clocale>
#include <cmath>
#include <sstream>

using namespace uitest;

namespace
{

const char* Text(UIZANIQ& z, ZANIQ::EEditorControl which)
{
  auto* t = dynamic_cast<ITextControl*>(z.Ctl(which));
  return t ? t->GetStr() : "(none)";
}

IColor Color(UIZANIQ& z, ZANIQ::EEditorControl which)
{
  return z.Ctl(which)->GetText().mFGColor;
}

const IColor kGrey(255, 212, 212, 212);
const IColor kRed(255, 212, 64, 64);

// A Receiver with a Link ID and an open editor.
UIZANIQ& Linked(UIZANIQ& z, int id = 7)
{
  z.Change(ZANIQ::kLinkID, id);
  return z;
}

// Every control bound to one of the parameters.
std::vector<IControl*> BoundTo(IGraphics& g, std::initializer_list<int> params)
{
  std::vector<IControl*> out;
  for (int i = 0; i < g.NControls(); ++i)
    for (int p : params)
      if (g.GetControl(i)->LinkedToParam(p) >= 0) out.push_back(g.GetControl(i));
  return out;
}

} // namespace

// Read-outs for silence, for signal, around the -3 dB alarm and in gain-stage mode, against values worked out by
// hand. Texts, space-separated: pre diff, pre gain, pre current, pre max, post diff, post gain ("_": any).
TEST_F(EditorTest, ReadoutsAgainstWorkedExamples)
{
  UIZANIQ& z = Linked(OpenReceiver());
  using M = UIZANIQ::Meter;
  struct Case
  {
    const char* what;
    M m;
    int matchMode, meterMode;
    const char* texts;
    bool red;
  };
  M signal;
  signal.preGain = signal.preRatio = 0.5, signal.matchGain = 0.25, signal.gainToMatch = 2.0;
  signal.preLevel = 0.5, signal.preMax = 1.0, signal.postLevel = 0.25;
  auto at = [](double gainToMatch) { return M{.gainToMatch = gainToMatch, .preLevel = 0.1, .postLevel = 0.1}; };
  auto stage = [](double preGain) { return M{.preGain = preGain, .preLevel = 0.1, .postLevel = 0.1}; };
  const Case cases[] = {
      {"silence", M{}, 0, 0, "---- 0.0 -inf -inf ---- 0.0", false},
      {"signal", signal, 0, 0, "-6.0 6.0 -6.0 0.0 6.0 12.0", true}, // +6 dB to match: alarm
      // EBU R128 reads 0.7 dB lower: a full-scale level shows -0.7.
      {"EBU", M{.preLevel = 1.0, .preMax = 1.0}, 0, 2, "_ _ -0.7 -0.7 _ _", false},
      {"-3.0 dB", at(0.70794578), 0, 0, "_ _ _ _ -3.0 _", true},
      {"-2.9 dB", at(0.71614341), 0, 0, "_ _ _ _ -2.9 _", false},
      // No signal on the post side: never red, and no difference shown.
      {"no post signal", M{.gainToMatch = 0.5, .preLevel = 0.1}, 0, 0, "_ _ _ _ ---- _", false},
      // Gain stage: level scale / pre gain = 2 is +6.02 dB, shown negated; a zero pre gain never divides.
      {"gain stage", stage(0.5), 2, 0, "_ _ _ _ 0.0 -6.0", false},
      {"gain stage, pre gain 0", stage(0.0), 2, 0, "_ _ _ _ _ -144.0", false},
      {"gain stage, pre gain -0", stage(-0.0), 2, 0, "_ _ _ _ _ -144.0", false},
  };
  const ZANIQ::EEditorControl readouts[6] = {ZANIQ::kCtlPreDiffReadout,    ZANIQ::kCtlPreGainReadout,
                                             ZANIQ::kCtlPreCurrentReadout, ZANIQ::kCtlPreMaxReadout,
                                             ZANIQ::kCtlPostDiffReadout,   ZANIQ::kCtlPostGainReadout};
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.what);
    z.Change(ZANIQ::kMatchMode, c.matchMode);
    z.Change(ZANIQ::kMeterMode, c.meterMode);
    z.SetMeter(c.m);
    z.UpdateMeterDisplays();
    std::istringstream texts(c.texts);
    std::string want;
    for (int k = 0; texts >> want; ++k)
      EXPECT_TRUE(want == "_" || want == Text(z, readouts[k])) << k << ": " << Text(z, readouts[k]);
    EXPECT_EQ(Color(z, ZANIQ::kCtlPostDiffReadout), c.red ? kRed : kGrey);
    EXPECT_EQ(Color(z, ZANIQ::kCtlPostGainReadout), c.red ? kRed : kGrey);
  }
}

// Read-outs and the receiver LED need a link, and show "----" while the Sender is bypassed.
TEST_F(EditorTest, ReadoutsAndLEDNeedALinkAndAPlayingSender)
{
  UIZANIQ& z = Linked(OpenReceiver(), 0);
  UIZANIQ::Meter m;
  m.preLevel = 0.5;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "---"); // Link ID 0: unchanged

  z.Change(ZANIQ::kLinkID, 9);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "-6.0");
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlReceiverLED)->GetValue(), 1.0);
  testsupport::Slot(9).SetSenderState(kSenderBypass);
  z.UpdateMeterDisplays();
  for (auto w : {ZANIQ::kCtlPreCurrentReadout, ZANIQ::kCtlPreMaxReadout, ZANIQ::kCtlPostGainReadout})
    EXPECT_STREQ(Text(z, w), "----") << w;
  testsupport::Slot(9).SetSenderState(kSenderNormal);
  m.receiving = false;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlReceiverLED)->GetValue(), 0.0);
}

// A latency measurement locks what would change the match while it runs; the modes lock their own fields.
TEST_F(EditorTest, MeasurementAndModesDisableFields)
{
  UIZANIQ& z = Linked(OpenReceiver());
  IGraphics& g = *z.GetUI();
  IControl* window = BoundTo(g, {ZANIQ::kRMSWindow}).at(0);
  z.Change(ZANIQ::kMeterMode, 2); // "EBU R128 ML": no RMS window
  EXPECT_TRUE(window->IsDisabled());
  z.Change(ZANIQ::kMatchMode, 2); // "Gain stage": no inversion
  EXPECT_TRUE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());
  z.Change(ZANIQ::kMatchMode, 0);
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());

  z.Command(61); // start
  for (IControl* c : BoundTo(g, {2, 3, 31, 4, 5, 6, 8, 9, 10, 11, 12, 7, 29, 39, 40, 34, 33, 32, 13, 28, 35}))
    EXPECT_TRUE(c->IsDisabled()) << c->GetParamIdx();
  for (auto w : {ZANIQ::kCtlClear, ZANIQ::kCtlStore, ZANIQ::kCtlMatchPre, ZANIQ::kCtlMatchPost, ZANIQ::kCtlSimpleMatch})
    EXPECT_TRUE(z.Ctl(w)->IsDisabled()) << w;
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlPDCSwitch)->IsDisabled()); // a measurement does not touch it
  // The host moving the modes meanwhile unlocks neither field.
  z.Change(ZANIQ::kMeterMode, 1);
  z.Change(ZANIQ::kMatchMode, 1);
  EXPECT_TRUE(window->IsDisabled());
  EXPECT_TRUE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());
  z.Change(ZANIQ::kMeterMode, 2);

  z.Command(61); // stop
  for (IControl* c : {z.Ctl(ZANIQ::kCtlLatencyField), z.Ctl(ZANIQ::kCtlClear), z.GetLinkIDSelector()})
    EXPECT_FALSE(c->IsDisabled());
  EXPECT_TRUE(window->IsDisabled()); // the meter mode still rules it out
  z.Change(ZANIQ::kMeterMode, 1);
  EXPECT_FALSE(window->IsDisabled());
}

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

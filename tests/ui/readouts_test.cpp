// The live displays of an open Receiver editor: read-out texts and colours from engine values, LEDs, and the
// lock of the latency measurement.

#include "support/ui_env.h"

using namespace uitest;

namespace
{

const char* Text(UIZANIQ& z, ZANIQ::EEditorControl which)
{
  auto* t = dynamic_cast<ITextControl*>(z.Ctl(which));
  return t ? t->GetStr() : "(none)";
}

IColor Color(UIZANIQ& z, ZANIQ::EEditorControl which) { return z.Ctl(which)->GetText().mFGColor; }

const IColor kGrey(255, 212, 212, 212);
const IColor kRed(255, 212, 64, 64);

// A Receiver with a Link ID and an open editor.
UIZANIQ& Linked(UIZANIQ& z)
{
  z.Change(ZANIQ::kLinkID, 7);
  return z;
}

} // namespace

TEST_F(EditorTest, ReadoutsForSilence)
{
  UIZANIQ& z = Linked(OpenReceiver());
  z.SetMeter({}); // all levels 0, gains and differences 1
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreDiffReadout), "----");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostDiffReadout), "----");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "-inf");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreMaxReadout), "-inf");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreGainReadout), "0.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostGainReadout), "0.0");
  EXPECT_EQ(Color(z, ZANIQ::kCtlPostDiffReadout), kGrey);
}

TEST_F(EditorTest, ReadoutsForSignal)
{
  UIZANIQ& z = Linked(OpenReceiver());
  UIZANIQ::Meter m;
  m.preLevel = 0.5;       // -6.0 dB
  m.preMax = 1.0;         // 0.0 dB
  m.postLevel = 0.25;
  m.preRatio = 0.5;       // diff -6.0
  m.preGain = 0.5;        // shown gain 6.0
  m.gainToMatch = 2.0;    // +6.0: alarm
  m.matchGain = 0.25;     // shown gain 12.0
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreDiffReadout), "-6.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreGainReadout), "6.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "-6.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreMaxReadout), "0.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostDiffReadout), "6.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostGainReadout), "12.0");
  EXPECT_EQ(Color(z, ZANIQ::kCtlPostDiffReadout), kRed);
  EXPECT_EQ(Color(z, ZANIQ::kCtlPostGainReadout), kRed);

  // EBU R128 reads 0.7 dB lower: a full-scale level shows -0.7.
  z.Change(ZANIQ::kMeterMode, 2);
  m.preLevel = 1.0;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "-0.7");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreMaxReadout), "-0.7");
}

TEST_F(EditorTest, ReadoutAlarmAtThreeDecibels)
{
  UIZANIQ& z = Linked(OpenReceiver());
  struct Case
  {
    double gainToMatch;
    const char* text;
    bool red;
  };
  const Case cases[] = {
    {0.70794578, "-3.0", true},  // -3.0 dB
    {1.41253754, "3.0", true},   // +3.0 dB
    {0.71614341, "-2.9", false}, // -2.9 dB
    {0.5, "-6.0", true},
  };
  for (const Case& c : cases)
  {
    UIZANIQ::Meter m;
    m.preLevel = m.postLevel = m.preMax = 0.1;
    m.gainToMatch = c.gainToMatch;
    z.SetMeter(m);
    z.UpdateMeterDisplays();
    EXPECT_STREQ(Text(z, ZANIQ::kCtlPostDiffReadout), c.text);
    EXPECT_EQ(Color(z, ZANIQ::kCtlPostDiffReadout), c.red ? kRed : kGrey) << c.text;
    EXPECT_EQ(Color(z, ZANIQ::kCtlPostGainReadout), c.red ? kRed : kGrey) << c.text;
  }
  // No signal on the post side: never red, and no difference shown.
  UIZANIQ::Meter m;
  m.preLevel = 0.1;
  m.gainToMatch = 0.5;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_EQ(Color(z, ZANIQ::kCtlPostDiffReadout), kGrey);
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostDiffReadout), "----");
}

TEST_F(EditorTest, GainStageReadoutNeverDividesByZero)
{
  UIZANIQ& z = Linked(OpenReceiver());
  z.Change(ZANIQ::kMatchMode, 2);
  UIZANIQ::Meter m;
  m.preLevel = m.postLevel = 0.1;
  m.linkGain = 1.0;
  m.preGain = 0.5; // level scale / pre gain = 2: +6.02 dB, shown negated and unrounded
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostGainReadout), "-6.0");
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostDiffReadout), "0.0");
  m.preGain = 0.0;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostGainReadout), "-144.0");
  m.preGain = -0.0;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPostGainReadout), "-144.0");
}

TEST_F(EditorTest, ReadoutsNeedALinkAndAPlayingSender)
{
  UIZANIQ& z = OpenReceiver();
  z.Change(ZANIQ::kLinkID, 0);
  UIZANIQ::Meter m;
  m.preLevel = 0.5;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "---"); // Link ID 0: unchanged

  z.Change(ZANIQ::kLinkID, 9);
  z.UpdateMeterDisplays();
  EXPECT_STREQ(Text(z, ZANIQ::kCtlPreCurrentReadout), "-6.0");
  testsupport::Slot(9).SetSenderState(kSenderBypass);
  z.UpdateMeterDisplays();
  for (auto w : {ZANIQ::kCtlPreCurrentReadout, ZANIQ::kCtlPreMaxReadout, ZANIQ::kCtlPreDiffReadout,
                 ZANIQ::kCtlPreGainReadout, ZANIQ::kCtlPostDiffReadout, ZANIQ::kCtlPostGainReadout})
    EXPECT_STREQ(Text(z, w), "----") << w;
  testsupport::Slot(9).SetSenderState(kSenderNormal);
}

TEST_F(EditorTest, LEDsFollowTheEngine)
{
  UIZANIQ& z = Linked(OpenReceiver());
  UIZANIQ::Meter m;
  m.receiving = true;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlReceiverLED)->GetValue(), 1.0);
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlPDCSwitch)->GetValue(), 0.0);
  m.receiving = false;
  z.SetMeter(m);
  z.UpdateMeterDisplays();
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlReceiverLED)->GetValue(), 0.0);
}

TEST_F(EditorTest, MeasurementLocksTheModeControls)
{
  UIZANIQ& z = Linked(OpenReceiver());
  IGraphics& g = *z.GetUI();
  z.Change(ZANIQ::kMeterMode, 2); // RMS window not used
  z.Command(61);                  // start
  for (int p : {2, 3, 31, 4, 5, 6, 8, 9, 10, 11, 12, 7, 29, 39, 40, 34, 33, 32, 13, 28, 35})
    for (int i = 0; i < g.NControls(); ++i)
    {
      if (g.GetControl(i)->LinkedToParam(p) >= 0)
      {
        EXPECT_TRUE(g.GetControl(i)->IsDisabled()) << "parameter " << p;
      }
    }
  for (auto w : {ZANIQ::kCtlClear, ZANIQ::kCtlStore, ZANIQ::kCtlPostGainReadout, ZANIQ::kCtlMatchPre,
                 ZANIQ::kCtlMatchPost, ZANIQ::kCtlSimpleMatch})
    EXPECT_TRUE(z.Ctl(w)->IsDisabled()) << w;
  // Things a measurement does not touch.
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlPDCSwitch)->IsDisabled());
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlConfigSwitch)->IsDisabled());

  z.Command(61); // stop
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlLatencyField)->IsDisabled());
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlClear)->IsDisabled());
  EXPECT_FALSE(z.GetLinkIDSelector()->IsDisabled());
  for (IControl* c : {z.Ctl(ZANIQ::kCtlDriveKnob), z.Ctl(ZANIQ::kCtlSimpleMatch)}) EXPECT_FALSE(c->IsDisabled());
  int rmsFields = 0;
  for (int i = 0; i < g.NControls(); ++i)
    if (g.GetControl(i)->LinkedToParam(ZANIQ::kRMSWindow) >= 0)
    {
      ++rmsFields;
      EXPECT_TRUE(g.GetControl(i)->IsDisabled());
    }
  EXPECT_EQ(rmsFields, 1);
}

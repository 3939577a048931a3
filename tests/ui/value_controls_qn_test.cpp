// The product's value field, knob and text field: drag gearing, the wheel's factors and steps, typed entry,
// and the value text they draw.

#include "ui/IBControlsQN.h"
#include "ui/IBValueControlsQN.h"

#include "support/ui_env.h"

#include <cmath>

using namespace qnrig;

namespace
{

using ValueControlsQN = Rig;

const IText kValueStyle(14.f, COLOR_WHITE, "verdanab", kAlignCenter);

void Drag(IControl& c, float dX, float dY, const IMouseMod& mod = kNone)
{
  const float x = c.GetRECT().MW(), y = c.GetRECT().MH();
  c.OnMouseDown(x, y, mod);
  c.OnMouseDrag(x + dX, y + dY, dX, dY, mod);
  c.OnMouseUp(x + dX, y + dY, mod);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Dragging
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ValueControlsQN, DragMovesOneRangeOverGearingHeightsAndShiftIsTenTimesFiner)
{
  // A 60 × 40 field and an 80 × 80 knob on a continuous parameter, both from the middle of the range.
  auto* field = Attach(new IVParameterControlQN(IRECT(0, 0, 60, 40), kDrive, kValueStyle, kVertical));
  auto* wide = Attach(new IVParameterControlQN(IRECT(0, 100, 60, 140), kDrive, kValueStyle, kHorizontal));
  auto* knob =
      Attach(new IBKnobMultiControlQN(95, 279, kDrive, Bitmap(80, 160, 2), kValueStyle, IColor(128, 14, 13, 12), 5,
                                      kVerticalInverted, false, true, false, 1, true, false, 4.0, 0.f));
  struct Case
  {
    IControl* c;
    float dX, dY;
    IMouseMod mod;
    double expected;
  };
  const Case cases[] = {
      {field, 0, -40, kNone, 0.75},   // up by the full height: a quarter of the range at gearing 4
      {field, 0, 40, kNone, 0.25},    // down
      {field, 0, -40, kShift, 0.525}, // ten times finer
      {field, 0, -400, kNone, 1.0},   // limited to the range
      {field, 0, -40, kCtrl, 0.5},    // Ctrl: no drag at all
      {field, 30, 0, kNone, 0.5},     // sideways does nothing to a vertical field
      {wide, 60, 0, kNone, 0.75},     // right by the full width
      {wide, -30, 0, kShift, 0.4875}, {knob, 0, 80, kNone, 0.75}, // inverted: dragging down raises
      {knob, 0, -80, kNone, 0.25},
  };
  for (const auto& k : cases)
  {
    SetParam(kDrive, 0.0);
    Drag(*k.c, k.dX, k.dY, k.mod);
    EXPECT_NEAR(k.c->GetValue(), k.expected, 1e-12) << &k - cases;
    if (!k.mod.C)
    {
      EXPECT_NEAR(plug.GetParam(kDrive)->GetNormalized(), k.expected, 1e-9) << &k - cases;
    }
  }
  // Flat bounds (a field parked at an empty rectangle) give no drag, and no NaN reaches the value.
  auto* flat = Attach(new IVParameterControlQN(IRECT(), kDrive, kValueStyle));
  SetParam(kDrive, 0.0);
  Drag(*flat, 5, -5);
  EXPECT_EQ(flat->GetValue(), 0.5);

  // The cursor hides and locks for the drag and comes back after it.
  g->calls.clear();
  Drag(*field, 0, -1);
  EXPECT_EQ(g->calls, (std::vector<std::string>{"HideMouseCursor(1,1)", "HideMouseCursor(0,1)"}));
}

TEST_F(ValueControlsQN, SteppedDragLandsOnTheGridTowardZeroAndSlowDragsAccumulate)
{
  // 60 × 20 field on 0..1000 samples, gearing 4: each point up is 12.5 samples.
  auto* latency = Attach(new IBParameterControlQN(118, 62, kLatency, Bitmap(60, 20, 1), kValueStyle));
  const float x = 140, y = 70;
  latency->OnMouseDown(x, y, kNone);
  for (double expected : {12.0, 25.0, 37.0, 50.0}) // truncated, never rounded up
  {
    latency->OnMouseDrag(x, y, 0, -1, kNone);
    EXPECT_EQ(plug.Real(kLatency), expected);
  }
  // Drags below a step each still add up to the next step.
  for (int i = 0; i < 9; ++i)
    latency->OnMouseDrag(x, y, 0, -0.05f, kNone);
  EXPECT_EQ(plug.Real(kLatency), 55.0); // 50 + 9 × 0.625 samples
  latency->OnMouseUp(x, y, kNone);

  // Three drags of 75 samples sum to 224.99999999999997: still the step 225.
  SetParam(kLatency, 0.0);
  latency->OnMouseDown(x, y, kNone);
  for (int i = 0; i < 3; ++i)
    latency->OnMouseDrag(x, y, 0, -6, kNone);
  EXPECT_EQ(plug.Real(kLatency), 225.0);
  latency->OnMouseUp(x, y, kNone);
}

TEST_F(ValueControlsQN, CtrlClickResetsToTheDefault)
{
  auto* field = Attach(new IBParameterControlQN(0, 0, kDrive, Bitmap(60, 20, 1), kValueStyle));
  SetParam(kDrive, 12.0);
  field->OnMouseDown(10, 10, kCtrl);
  EXPECT_EQ(plug.Real(kDrive), 0.0);
  field->OnMouseUp(10, 10, kCtrl);
}

// ---------------------------------------------------------------------------------------------------------------
// Wheel
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ValueControlsQN, WheelFactorsAndOneStepPerEventOnSteppedParameters)
{
  auto* field = Attach(new IBParameterControlQN(0, 0, kDrive, Bitmap(60, 20, 1), kValueStyle));
  auto* latency = Attach(new IBParameterControlQN(0, 30, kLatency, Bitmap(60, 20, 1), kValueStyle));
  auto* quarterField = Attach(new IVParameterControlQN(IRECT(0, 60, 60, 80), kQuarter, kValueStyle));
  auto* quarterKnob = Attach(new IBKnobMultiControlQN(0, 100, kQuarter, Bitmap(40, 80, 2), kValueStyle, COLOR_BLACK, 5,
                                                      kVertical, false, true, false, 1, true, false));
  struct Case
  {
    IControl* c;
    double start; // normalised
    IMouseMod mod;
    float delta;
    double expected; // normalised
  };
  const Case cases[] = {
      {field, 0.5, kNone, 1.f, 0.51},
      {field, 0.5, kShift, 1.f, 0.501},
      {field, 0.5, kCtrl, 1.f, 0.6},
      {field, 0.5, kNone, -2.f, 0.48},
      {latency, 0.0, kNone, 5.f, 0.001}, // one step, however large the delta
      {latency, 0.001, kNone, 0.1f, 0.002},
      {latency, 0.002, kNone, -7.f, 0.001},
      {latency, 0.0, kNone, -1.f, 0.0},       // held at the minimum
      {latency, 1.0, kCtrl, 3.f, 1.0},        // and at the maximum
      {quarterField, 0.1, kNone, 1.f, 0.125}, // 1.0 -> 1.25
      // Between steps (1.13): the field keeps three decimals, the knob lands on the step's resolution.
      {quarterField, 0.113, kNone, 1.f, 0.138},
      {quarterKnob, 0.113, kNone, 1.f, 0.15},
      {quarterKnob, 0.113, kNone, -1.f, 0.1},
  };
  for (const auto& k : cases)
  {
    k.c->SetValue(k.start);
    k.c->OnMouseWheel(0, 0, k.mod, k.delta);
    EXPECT_NEAR(k.c->GetValue(), k.expected, 1e-9) << &k - cases;
  }
  EXPECT_FALSE(field->GetStoredMod().C); // cleared once the wheel event is done

  // A wheel delta that is not a number moves nothing.
  field->SetValue(0.5);
  field->OnMouseWheel(0, 0, kNone, NAN);
  EXPECT_EQ(field->GetValue(), 0.5);
}

TEST_F(ValueControlsQN, IntegerWheelModeStepsWholeUnitsTenthsOrThrees)
{
  auto* field = Attach(new IBParameterControlQN(0, 0, kDrive, Bitmap(60, 20, 1), kValueStyle));
  EXPECT_FALSE(field->GetIntegerWheelMode());
  field->SetIntegerWheelMode(true);
  struct Case
  {
    double start;
    IMouseMod mod;
    float delta;
    double expected; // real
  };
  const Case cases[] = {{2.4, kNone, 1.f, 3.0},    {2.4, kNone, -0.5f, 1.0}, {2.4, kShift, 1.f, 2.5},
                        {2.44, kShift, -1.f, 2.3}, {2.4, kCtrl, 1.f, 6.0},   {2.4, kCtrl, -1.f, 0.0},
                        {23.6, kCtrl, 1.f, 24.0}}; // held at the maximum
  for (const auto& k : cases)
  {
    SetParam(kDrive, k.start);
    field->OnMouseWheel(0, 0, k.mod, k.delta);
    EXPECT_NEAR(plug.Real(kDrive), k.expected, 1e-9) << k.start << " " << k.delta;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Typed entry
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ValueControlsQN, DoubleClickOpensTheInEditorEntryOverTheField)
{
  auto* latency = Attach(new IBParameterControlQN(118, 62, kLatency, Bitmap(60, 20, 1), kValueStyle));
  auto* drive = Attach(new IVParameterControlQN(IRECT(182, 134, 244, 171), kDrive, kValueStyle));
  auto* mode = Attach(new IBParameterControlQN(0, 300, kMatchMode, Bitmap(60, 20, 1), kValueStyle));
  auto* locked = Attach(new IBParameterControlQN(0, 400, kLatency, Bitmap(60, 20, 1), kValueStyle, kVertical, true));

  g->textAnswers = {"256"};
  latency->OnMouseDblClick(120, 70, kNone);
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].paramIdx, kLatency);
  EXPECT_EQ(g->textEntries[0].bounds, latency->GetRECT());
  EXPECT_EQ(g->textEntries[0].str, "0");
  EXPECT_EQ(plug.Real(kLatency), 256.0);

  // What cannot be read as a number leaves the value alone.
  g->textAnswers = {"lots"};
  latency->OnMouseDblClick(120, 70, kNone);
  EXPECT_EQ(plug.Real(kLatency), 256.0);

  g->textAnswers = {"-3.25"};
  drive->OnMouseDblClick(200, 150, kNone);
  EXPECT_EQ(g->textEntries.back().bounds, drive->GetRECT());
  EXPECT_EQ(g->textEntries.back().str, "0.0");
  EXPECT_NEAR(plug.Real(kDrive), -3.25, 1e-9);

  // An enumeration gets a menu of its texts over the field, the current one checked.
  g->menuChoice = 2;
  mode->OnMouseDblClick(10, 310, kNone);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Manual", "Auto", "Gain Stage"}));
  EXPECT_EQ(g->menus[0].bounds, mode->GetRECT());
  EXPECT_NE(g->menus[0].flags[0] & IPopupMenu::kChecked, 0);
  EXPECT_EQ(plug.Real(kMatchMode), 2.0);

  // Prompts disabled: nothing opens.
  const size_t entries = g->textEntries.size();
  locked->OnMouseDblClick(10, 410, kNone);
  EXPECT_EQ(g->textEntries.size(), entries);
}

TEST_F(ValueControlsQN, KnobEntryOpensOverItsValueBox)
{
  // 80 × 80 knob; the box is five "0" wide (7 points each in the rig), centred, right edge moved when right-aligned.
  auto* knob = Attach(new IBKnobMultiControlQN(95, 279, kDrive, Bitmap(80, 160, 2), kValueStyle, COLOR_BLACK, 5,
                                               kVertical, false, true, false, 1, true, false, 4.0, 3.f));
  // An absurd entry length keeps its box template bounded.
  auto* wide = Attach(new IBKnobMultiControlQN(0, 0, kDrive, Bitmap(80, 160, 2), kValueStyle, COLOR_BLACK, 100000,
                                               kVertical, false, true, false, 1, true, false));
  EXPECT_EQ(std::string(wide->GetWidthTemplate()), std::string(64, '0'));
  g->textAnswers = {"6"};
  knob->OnMouseDblClick(130, 300, kAlt);
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].bounds, IRECT(117.5f, 312, 152.5f, 326));
  EXPECT_EQ(plug.Real(kDrive), 6.0);

  IText right = kValueStyle;
  right.mAlign = kAlignFar;
  knob->SetText(right);
  knob->OnMouseDblClick(130, 300, kNone);
  EXPECT_EQ(g->textEntries.back().bounds, IRECT(117.5f, 312, 155.5f, 326));
}

TEST_F(ValueControlsQN, TypedValueIsAppliedWithTheMouseOverIndexOfWhenTheEntryOpened)
{
  g->EnableMouseOver(true);
  Attach(new IBBitmapControlQN(0, 0, Bitmap(424, 610, 1))); // the background is never under the mouse
  auto* a = Attach(new IBParameterControlQN(0, 0, kLatency, Bitmap(60, 20, 1), kValueStyle));
  auto* b = Attach(new IBParameterControlQN(0, 100, kDrive, Bitmap(60, 20, 1), kValueStyle));
  auto* k = Attach(new IBKnobMultiControlQN(200, 200, kDrive, Bitmap(40, 80, 2), kValueStyle, COLOR_BLACK, 5, kVertical,
                                            false, true, false, 1, true, false));
  (void)b;
  for (IControl* c : {static_cast<IControl*>(a), static_cast<IControl*>(k)})
  {
    g->OnMouseOver(c->GetRECT().MW(), c->GetRECT().MH(), kNone);
    const int opened = g->GetMouseOverIdx();
    ASSERT_GE(opened, 0);
    c->OnMouseDblClick(c->GetRECT().MW(), c->GetRECT().MH(), kNone); // no answer yet: the entry stays open
    g->OnMouseOver(10, 110, kNone);                                  // the mouse moves on to b
    EXPECT_EQ(g->GetMouseOverIdx(), 2);
    plug.mouseOverAtSend.clear();
    g->SetControlValueAfterTextEdit("7");
    ASSERT_EQ(plug.mouseOverAtSend.size(), 1u);
    EXPECT_EQ(plug.mouseOverAtSend[0], opened);
    EXPECT_EQ(g->GetMouseOverIdx(), 2); // put back afterwards
  }
  EXPECT_EQ(plug.Real(kLatency), 7.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ValueControlsQN, FieldsDrawTheirValueTextWithLabelAndDimmedWhenDisabled)
{
  auto* plain = Attach(new IBParameterControlQN(0, 0, kLatency, Bitmap(60, 20, 1), kValueStyle));
  auto* labelled =
      Attach(new IBParameterControlQN(0, 30, kLatency, Bitmap(60, 20, 1), kValueStyle, kVertical, false, true));
  auto* unbound = Attach(new IBParameterControlQN(0, 60, -1, Bitmap(60, 20, 1), kValueStyle));
  auto* neg = Attach(new IVParameterControlQN(IRECT(0, 90, 60, 110), kNegZero, kValueStyle));
  auto* mode =
      Attach(new IVParameterControlQN(IRECT(0, 120, 60, 140), kMatchMode, kValueStyle, kVertical, false, true));
  SetParam(kLatency, 128);
  SetParam(kMatchMode, 1);

  struct Case
  {
    IControl* c;
    std::vector<std::string> texts;
  };
  const Case cases[] = {{plain, {"128"}}, {labelled, {"128 smp"}}, {unbound, {}}, {mode, {"Auto"}}};
  for (const auto& k : cases)
  {
    std::vector<std::string> texts;
    for (const auto& s : g->DrawOf(k.c))
      if (s.op == "Text")
      {
        texts.push_back(s.text);
        EXPECT_EQ(s.r, k.c->GetRECT());
        EXPECT_EQ(s.color, COLOR_WHITE);
      }
    EXPECT_EQ(texts, k.texts);
  }
  EXPECT_EQ(g->DrawOf(plain)[0].op, "Bitmap"); // the bitmap first, the text over it

  // A display that prints a small negative value as "-0.0" is shown without the sign; real negatives keep it.
  for (const auto& [value, text] :
       std::vector<std::pair<double, std::string>>{{-0.04, "0.0"}, {-0.5, "-0.5"}, {0.0, "0.0"}})
  {
    SetParam(kNegZero, value);
    EXPECT_EQ(g->DrawOf(neg).back().text, text) << value;
  }

  plain->SetDisabled(true);
  EXPECT_EQ(g->DrawOf(plain).back().color, IColor(127, 255, 255, 255));
}

TEST_F(ValueControlsQN, KnobShowsItsValueBoxOnHoverOrAlways)
{
  const IColor bg(128, 14, 13, 12);
  auto* hover = Attach(new IBKnobMultiControlQN(0, 0, kDrive, Bitmap(80, 160, 2), kValueStyle, bg, 5, kVertical, false,
                                                true, false, 1, false, true));
  auto* always = Attach(new IBKnobMultiControlQN(100, 0, kDrive, Bitmap(80, 160, 2), kValueStyle, bg, 5, kVertical,
                                                 false, false, false, 0, true, false));
  auto* bottom = Attach(new IBKnobMultiControlQN(200, 0, kDrive, Bitmap(80, 160, 2), kValueStyle, bg, 3, kVertical,
                                                 false, false, true, 2, true, false));
  SetParam(kDrive, -6.0);
  auto ops = [&](IControl* c)
  {
    std::vector<std::string> out;
    for (const auto& s : g->DrawOf(c))
      out.push_back(s.op);
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(ops(hover), V{"Bitmap"});
  hover->OnMouseOver(40, 40, kNone);
  ASSERT_EQ(ops(hover), (V{"Bitmap", "FillRect", "Text"}));
  EXPECT_EQ(g->DrawOf(hover)[2].text, "-6.0");
  hover->OnMouseOut();
  EXPECT_EQ(ops(hover), V{"Bitmap"});

  // Shown always; placement top, middle and bottom, the width set by the template whatever the text.
  EXPECT_EQ(ops(always), (V{"Bitmap", "Text"}));
  EXPECT_EQ(always->TextRect(*g), IRECT(122.5f, 0, 157.5f, 14));  // top
  EXPECT_EQ(hover->TextRect(*g), IRECT(22.5f, 33, 57.5f, 47));    // middle
  EXPECT_EQ(bottom->TextRect(*g), IRECT(229.5f, 66, 250.5f, 80)); // bottom
  EXPECT_EQ(g->DrawOf(bottom).back().text, "-6.0 dB");
  EXPECT_FLOAT_EQ(g->DrawOf(bottom).back().r.W(), 21.f);
}

// The product's controls on a plug-in double: what a click, drag, wheel or typed value sends to the plug-in, what
// the value becomes, and the frames and texts they draw. Their use in the editor is walked end to end through
// `auhost editor`; here the rules and the edges it cannot see.

#include "ui/IBControlsQN.h"
#include "ui/IBValueControlsQN.h"

#include "support/ui_env.h"

#include <cmath>

using namespace qnrig;

namespace
{

using Commands = std::vector<int>;
using ControlsQN = Rig;

const IText kValueStyle(14.f, COLOR_WHITE, "verdanab", kAlignCenter);

void Drag(IControl& c, float dX, float dY, const IMouseMod& mod = kNone)
{
  const float x = c.GetRECT().MW(), y = c.GetRECT().MH();
  c.OnMouseDown(x, y, mod);
  c.OnMouseDrag(x + dX, y + dY, dX, dY, mod);
  c.OnMouseUp(x + dX, y + dY, mod);
}

} // namespace

TEST_F(ControlsQN, ClickButtonsSendTheirCommandAndShowPressedOnlyWhileHeld)
{
  auto* sto = Attach(new IBClickButtonControlQN(277, 552, Bitmap(40, 40, 2), 63));
  EXPECT_EQ(sto->GetRECT(), IRECT(277, 552, 317, 572));
  sto->OnMouseDown(280, 560, kAlt);
  ASSERT_EQ(plug.changes.size(), 1u);
  EXPECT_EQ(plug.changes[0].idx, 63);
  EXPECT_EQ(plug.changes[0].source, plugin::kUI);
  EXPECT_EQ(g->DrawOf(sto)[0].text, "0,20"); // the pressed frame
  sto->OnMouseUp(280, 560, kAlt);
  EXPECT_EQ(g->DrawOf(sto)[0].text, "0,0");
  EXPECT_EQ(plug.Commands(), Commands{63}); // nothing more on release
  EXPECT_TRUE(plug.sentFromUI.empty());     // no parameter behind a click button

  // Any negative code is no command: the plug-in never sees an index below 0 from a button.
  plug.changes.clear();
  auto* odd = Attach(new IBClickButtonControlQN(0, 0, Bitmap(10, 20, 2), -2));
  odd->OnMouseDown(1, 1, kNone);
  EXPECT_TRUE(plug.changes.empty());
}

TEST_F(ControlsQN, ExtraSwitchOnlySendsItsCommand)
{
  auto* pdc =
      Attach(new IBSwitchControlExtraQN(189, 62, Bitmap(20, 40, 2), true, false, IColor(16, 255, 255, 255), 61));
  for (int i = 0; i < 2; ++i)
    Click(*g, 190, 63);
  EXPECT_EQ(plug.Commands(), (Commands{61, 61}));
  EXPECT_EQ(pdc->GetValue(), 0.0);
  EXPECT_TRUE(plug.sentFromUI.empty());
  // The plug-in drives the frame.
  pdc->SetValueFromDelegate(1.0);
  EXPECT_EQ(g->DrawOf(pdc)[0].text, "0,20");
}

TEST_F(ControlsQN, RadioGroupsSelectTheClickedButton)
{
  // Three 30 × 20 buttons side by side, gaps between them.
  const IRECT r1(114, 488, 144, 508), r2(189, 488, 219, 508), r3(264, 488, 294, 508);
  auto* mm = Attach(new IBRadioButtonsControl3(r1.Union(r3), kMatchMode, r1, Bitmap(30, 40, 2), r2, Bitmap(30, 40, 2),
                                               r3, Bitmap(30, 40, 2), false));
  EXPECT_TRUE(mm->GetMouseDblAsSingleClick());
  struct Case
  {
    float x, y;
    double expected;
  };
  const Case cases[] = {{190, 490, 1}, {293.9f, 507.9f, 2}, {114, 488, 0},
                        {144, 490, 0},  // right edge belongs to no button: nothing changes
                        {160, 490, 0},  // between buttons
                        {264, 508, 0}}; // bottom edge
  for (const auto& c : cases)
  {
    mm->OnMouseDown(c.x, c.y, kAlt);
    mm->OnMouseUp(c.x, c.y, kNone);
    EXPECT_EQ(plug.Real(kMatchMode), c.expected) << c.x << "," << c.y;
  }
  EXPECT_FALSE(mm->GetStoredMod().A);
  // An all-zero rectangle is no button.
  mm->SetButtonRect(0, IRECT());
  mm->OnMouseDown(0, 0, kNone);
  EXPECT_EQ(plug.Real(kMatchMode), 0.0);

  // The snapshot selector recalls (its command) only when a click chose a button, not from the gaps between them.
  const IRECT s1(120, 552, 154, 578), s2(160, 552, 194, 578), s3(200, 552, 234, 578), s4(240, 552, 274, 578);
  const IBitmap ss = Bitmap(34, 78, 3);
  auto* snap = Attach(new IBRadioButtonsControl4Special(s1.Union(s4), kLatency, s1, ss, s2, ss, s3, ss, s4, ss,
                                                        false, 64));
  for (float x : {157.f, 165.f, 237.f, 270.f}) snap->OnMouseDown(x, 560, kNone);
  EXPECT_EQ(plug.Commands(), (Commands{64, 64}));
  EXPECT_EQ(plug.Real(kLatency), 3.0);
}

TEST_F(ControlsQN, CornerResizerModeAndTheCommandsOfDoubleClickAndRescale)
{
  // As the product sets it up: scale commands only, so a double click resets the scale without Ctrl.
  struct Case
  {
    int sizeRescale, sizeReset, scaleRescale, scaleReset;
    int mode; // scale only 2, a pair incomplete -1
    Commands dbl, rescale;
  };
  const Case cases[] = {{-1, -1, 56, 57, 2, {57}, {56}}, {10, -1, 56, -1, -1, {}, {}}};
  for (const auto& c : cases)
  {
    auto dlg = std::make_unique<PlugDouble>();
    QNGraphics ui(*dlg, 424, 610);
    auto* r = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), Bitmap(16, 32, 2), c.sizeRescale, c.sizeReset,
                                           c.scaleRescale, c.scaleReset, 0.f, 0.f);
    ui.AttachCornerResizer(r, EUIResizerMode::Size, true);
    EXPECT_EQ(r->GetResizeMode(), c.mode);
    r->OnMouseDblClick(420, 600, kNone);
    EXPECT_EQ(dlg->Commands(), c.dbl);
    dlg->changes.clear();
    r->OnRescale();
    EXPECT_EQ(dlg->Commands(), c.rescale);
  }
}

TEST_F(ControlsQN, ReadOutTextRedrawsOnlyWhenItChanges)
{
  auto* t = Attach(new IVTextControlQN(IRECT(100, 129, 162, 166), "---", kValueStyle, COLOR_TRANSPARENT, false));
  t->SetClean();
  t->SetStr("---");
  EXPECT_FALSE(t->IsDirty());
  t->SetStr(nullptr);
  EXPECT_STREQ(t->GetStr(), "");
}

TEST_F(ControlsQN, DragMovesOneRangeOverGearingHeightsAndShiftIsTenTimesFiner)
{
  // A 60 × 40 field and an 80 × 80 knob on a continuous parameter, both from the middle of the range.
  auto* field = Attach(new IVParameterControlQN(IRECT(0, 0, 60, 40), kDrive, kValueStyle, kVertical));
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
      {field, 0, -40, kShift, 0.525}, // ten times finer
      {field, 0, -400, kNone, 1.0},   // limited to the range
      {field, 0, -40, kCtrl, 0.5},    // Ctrl: no drag at all
      {knob, 0, 80, kNone, 0.75},     // inverted: dragging down raises
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
}

TEST_F(ControlsQN, SteppedDragLandsOnTheGridTowardZeroAndSlowDragsAccumulate)
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

TEST_F(ControlsQN, WheelFactorsAndOneStepPerEventOnSteppedParameters)
{
  auto* field = Attach(new IBParameterControlQN(0, 0, kDrive, Bitmap(60, 20, 1), kValueStyle));
  auto* latency = Attach(new IBParameterControlQN(0, 30, kLatency, Bitmap(60, 20, 1), kValueStyle));
  struct Case
  {
    IControl* c;
    double start; // normalised
    IMouseMod mod;
    float delta;
    double expected; // normalised
  };
  const Case cases[] = {
      {field, 0.5, kShift, 1.f, 0.501},
      {field, 0.5, kCtrl, 1.f, 0.6},
      {latency, 0.0, kNone, 5.f, 0.001}, // one step, however large the delta
      {latency, 0.0, kNone, -1.f, 0.0},  // held at the minimum
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

TEST_F(ControlsQN, DoubleClickOpensTheInEditorEntryOverTheField)
{
  auto* latency = Attach(new IBParameterControlQN(118, 62, kLatency, Bitmap(60, 20, 1), kValueStyle));
  auto* mode = Attach(new IBParameterControlQN(0, 300, kMatchMode, Bitmap(60, 20, 1), kValueStyle));

  // What cannot be read as a number leaves the value alone.
  g->textAnswers = {"256", "lots"};
  for (int i = 0; i < 2; ++i)
    latency->OnMouseDblClick(120, 70, kNone);
  ASSERT_EQ(g->textEntries.size(), 2u);
  EXPECT_EQ(g->textEntries[0].bounds, latency->GetRECT());
  EXPECT_EQ(plug.Real(kLatency), 256.0);

  // An enumeration gets a menu of its texts over the field, the current one checked.
  g->menuChoice = 2;
  mode->OnMouseDblClick(10, 310, kNone);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Manual", "Auto", "Gain Stage"}));
  EXPECT_NE(g->menus[0].flags[0] & IPopupMenu::kChecked, 0);
  EXPECT_EQ(plug.Real(kMatchMode), 2.0);

  // An absurd entry length keeps a knob's value box template bounded.
  auto* wide = Attach(new IBKnobMultiControlQN(0, 0, kDrive, Bitmap(80, 160, 2), kValueStyle, COLOR_BLACK, 100000,
                                               kVertical, false, true, false, 1, true, false));
  EXPECT_EQ(std::string(wide->GetWidthTemplate()), std::string(64, '0'));
}

TEST_F(ControlsQN, FieldsDrawTheirValueTextWithLabelAndDimmedWhenDisabled)
{
  auto* labelled =
      Attach(new IBParameterControlQN(0, 30, kLatency, Bitmap(60, 20, 1), kValueStyle, kVertical, false, true));
  auto* neg = Attach(new IVParameterControlQN(IRECT(0, 90, 60, 110), kNegZero, kValueStyle));
  SetParam(kLatency, 128);
  const auto shapes = g->DrawOf(labelled);
  ASSERT_EQ(shapes.size(), 2u);
  EXPECT_EQ(shapes[0].op, "Bitmap"); // the bitmap first, the text over it
  EXPECT_EQ(shapes[1].text, "128 smp");
  EXPECT_EQ(shapes[1].r, labelled->GetRECT());

  // A display that prints a small negative value as "-0.0" is shown without the sign; real negatives keep it.
  for (const auto& [value, text] :
       std::vector<std::pair<double, std::string>>{{-0.04, "0.0"}, {-0.5, "-0.5"}, {0.0, "0.0"}})
  {
    SetParam(kNegZero, value);
    EXPECT_EQ(g->DrawOf(neg).back().text, text) << value;
  }

  labelled->SetDisabled(true);
  EXPECT_EQ(g->DrawOf(labelled).back().color, IColor(127, 255, 255, 255));
}

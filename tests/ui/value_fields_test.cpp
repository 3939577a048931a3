// The value fields and the knob beyond the product's vertical drags: horizontal drags, the integer wheel mode, the
// knob's wheel on the step's own resolution, its value box (placement, background, right-edge offset, prompt over
// the box), the mouse-over index while a typed value is applied, the text field's drawn background and frame, and
// fields without a parameter.

#include "ui/IBValueControlsQN.h"

#include "support/qn_shapes.h"

using namespace qnshapes;

namespace
{

using FieldsQN = ShapesRig;
const IText kStyle(14.f, COLOR_WHITE, "verdanab", kAlignCenter);

} // namespace

TEST_F(FieldsQN, HorizontalDragsMoveByTheWidthAndOtherDirectionsNotAtAll)
{
  auto* h = Attach(new IBParameterControlQN(0, 0, kGain, Bitmap(60, 20, 1), kStyle, kHorizontal));
  auto* odd = Attach(new IVParameterControlQN(IRECT(0, 30, 60, 50), kGain, kStyle, static_cast<EDirection>(7)));
  struct Case
  {
    IControl* c;
    float dX, dY;
    double expected; // normalised, from 0.5
  };
  const Case cases[] = {{h, 60, 0, 0.75}, {h, -30, -500, 0.375}, {odd, 60, -60, 0.5}};
  for (const Case& k : cases)
  {
    SetParam(kGain, 0.0);
    const float x = k.c->GetRECT().MW(), y = k.c->GetRECT().MH();
    k.c->OnMouseDown(x, y, kNone);
    k.c->OnMouseDrag(x + k.dX, y + k.dY, k.dX, k.dY, kNone);
    k.c->OnMouseUp(x + k.dX, y + k.dY, kNone);
    EXPECT_NEAR(plug.GetParam(kGain)->GetNormalized(), k.expected, 1e-9) << &k - cases;
  }
  // The cursor is hidden and locked for the drag, and given back after it.
  g->calls.clear();
  h->OnMouseDown(30, 10, kNone);
  h->OnMouseUp(30, 10, kNone);
  EXPECT_EQ(g->calls, (std::vector<std::string>{"HideMouseCursor(1,1)", "HideMouseCursor(0,1)"}));
}

TEST_F(FieldsQN, IntegerWheelModeStepsWholeTenthsOrThreesAndKeepsToTheRange)
{
  auto* gain = Attach(new IBParameterControlQN(0, 0, kGain, Bitmap(60, 20, 1), kStyle));
  auto* samples = Attach(new IBKnobMultiControlQN(0, 30, kSamples, Bitmap(40, 80, 2), kStyle, COLOR_BLACK, 4,
                                                  kVertical, false, false, false, 1, false, false));
  auto* fine = Attach(new IBParameterControlQN(0, 120, kFine, Bitmap(60, 20, 1), kStyle));
  for (auto* c : {static_cast<IControl*>(gain), static_cast<IControl*>(samples), static_cast<IControl*>(fine)})
  {
    if (auto* f = dynamic_cast<IBParameterControlQN*>(c)) f->SetIntegerWheelMode(true);
    if (auto* k = dynamic_cast<IBKnobMultiControlQN*>(c)) k->SetIntegerWheelMode(true);
  }
  struct Case
  {
    IControl* c;
    int param;
    double start;
    IMouseMod mod;
    float delta;
    double expected; // real
  };
  const Case cases[] = {
      {gain, kGain, 1.26, kNone, 0.2f, 2.0},    // round(v) + 1, however small the delta
      {gain, kGain, 1.26, kNone, -5.f, 0.0},    // round(v) - 1
      {gain, kGain, 1.26, kShift, 1.f, 1.4},    // round(10 v) / 10 + 0.1
      {gain, kGain, 4.4, kCtrl, 1.f, 6.0},      // round(v / 3) * 3 + 3
      {gain, kGain, 23.5, kCtrl, 1.f, 24.0},    // held at the maximum
      {samples, kSamples, 999, kCtrl, 1.f, 1000.0},
      {samples, kSamples, 0, kNone, -1.f, 0.0}, // held at the minimum
      {fine, kFine, 0.2, kShift, 1.f, 0.3},     // on the step grid
  };
  for (const Case& k : cases)
  {
    SetParam(k.param, k.start);
    k.c->OnMouseWheel(k.c->GetRECT().MW(), k.c->GetRECT().MH(), k.mod, k.delta);
    EXPECT_NEAR(plug.Real(k.param), k.expected, 1e-9) << &k - cases;
  }
}

TEST_F(FieldsQN, TheKnobsWheelRoundsToTheStepsResolutionWhereFieldsRoundToThousandths)
{
  auto* knob = Attach(new IBKnobMultiControlQN(0, 0, kFine, Bitmap(40, 80, 2), kStyle, COLOR_BLACK, 4, kVertical,
                                               false, false, false, 1, false, false));
  auto* field = Attach(new IBParameterControlQN(0, 60, kFine, Bitmap(60, 20, 1), kStyle));
  // One step of 0.0005 from 0.1: the knob keeps it, a field's three decimals round it to 0.101 (a stepped
  // parameter then lands on its grid).
  SetParam(kFine, 0.1);
  knob->OnMouseWheel(20, 20, kNone, 1.f);
  EXPECT_NEAR(knob->GetValue(), 0.1005, 1e-12);
  SetParam(kFine, 0.1);
  field->OnMouseWheel(30, 70, kNone, 1.f);
  EXPECT_NEAR(field->GetValue(), 0.101, 1e-12);
  // Shift and Ctrl on a continuous parameter: a tenth and ten times the plain 0.01 per unit.
  auto* gainKnob = Attach(new IBKnobMultiControlQN(100, 0, kGain, Bitmap(40, 80, 2), kStyle, COLOR_BLACK, 4,
                                                   kVertical, false, false, false, 1, false, false));
  for (const auto& [mod, expected] : {std::pair{kNone, 0.52}, {kShift, 0.502}, {kCtrl, 0.7}})
  {
    SetParam(kGain, 0.0);
    gainKnob->OnMouseWheel(120, 20, mod, 2.f);
    EXPECT_NEAR(gainKnob->GetValue(), expected, 1e-12);
  }
  EXPECT_FALSE(gainKnob->GetStoredMod().C);
}

TEST_F(FieldsQN, TheKnobsValueBoxIsPlacedByItsSettingAndItsTemplate)
{
  // An 80 × 80 knob; the box is as wide as four "0"s (7 points each) and as high as the text.
  struct Case
  {
    int placement;
    bool hover, always, fill;
    IText style;
    IRECT box; // where the text goes; empty: no text
  };
  const IText far(14.f, COLOR_WHITE, "verdanab", kAlignFar);
  const Case cases[] = {
      {0, true, false, false, kStyle, IRECT(26, 100, 54, 114)},
      {1, true, false, true, kStyle, IRECT(26, 133, 54, 147)},
      {2, true, false, false, kStyle, IRECT(26, 166, 54, 180)},
      {9, true, false, false, kStyle, IRECT(26, 133, 54, 147)}, // unknown: as measured
      {1, false, false, false, kStyle, IRECT()},                // value only on hover, and no hover
      {1, false, true, false, far, IRECT(26, 133, 60, 147)},    // right-aligned: the right edge moves by 6
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.placement);
    auto* k = Attach(new IBKnobMultiControlQN(0, 100, kGain, Bitmap(80, 160, 2), c.style, IColor(128, 14, 13, 12), 4,
                                              kVertical, false, c.hover, false, c.placement, c.always, c.fill, 4.0,
                                              6.f));
    SetParam(kGain, -3.0);
    if (c.hover) g->OnMouseOver(40, 140, kNone);
    EXPECT_EQ(k->GetMouseOver(), c.hover);
    const auto shapes = g->DrawOf(k);
    if (c.box.Empty())
    {
      EXPECT_EQ(shapes.size(), 1u); // the knob alone
      g->RemoveControl(k);
      continue;
    }
    ASSERT_EQ(shapes.size(), c.fill ? 3u : 2u);
    if (c.fill)
    {
      EXPECT_EQ(std::tuple(shapes[1].op, shapes[1].r, shapes[1].color),
                std::tuple(std::string("FillRect"), c.box, IColor(128, 14, 13, 12)));
    }
    EXPECT_EQ(std::tuple(shapes.back().op, shapes.back().r, shapes.back().text),
              std::tuple(std::string("Text"), c.box, std::string("-3.0")));
    g->OnMouseOut();
    g->RemoveControl(k);
  }
}

TEST_F(FieldsQN, TheKnobsPromptOpensOverItsBoxAndTheValueIsAppliedUnderTheMouseOverOfItsOpening)
{
  auto* other = Attach(new IVParameterControlQN(IRECT(200, 0, 260, 20), kSamples, kStyle));
  const IText far(14.f, COLOR_WHITE, "verdanab", kAlignFar);
  auto* knob = Attach(new IBKnobMultiControlQN(0, 100, kGain, Bitmap(80, 160, 2), far, COLOR_BLACK, 4, kVertical,
                                               false, true, false, 1, true, false, 4.0, 6.f));
  auto* mute = Attach(new IBKnobMultiControlQN(100, 100, kGain, Bitmap(80, 160, 2), far, COLOR_BLACK, 4, kVertical,
                                               true, true, false, 1, true, false, 4.0, 6.f));
  const int knobIdx = g->NControls() - 2, otherIdx = g->NControls() - 3;

  g->OnMouseOver(40, 140, kNone);
  ASSERT_EQ(g->GetMouseOverIdx(), knobIdx);
  knob->OnMouseDblClick(40, 140, kAlt); // no answer yet: the entry stays open
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].bounds, IRECT(26, 133, 60, 147)); // the box, its right edge moved by the offset
  EXPECT_EQ(g->textEntries[0].paramIdx, kGain);
  mute->OnMouseDblClick(140, 140, kNone); // prompts disabled
  EXPECT_EQ(g->textEntries.size(), 1u);

  // The mouse moves on before the entry is confirmed; the value still reaches the plug-in under the knob.
  g->OnMouseOver(230, 10, kNone);
  ASSERT_EQ(g->GetMouseOverIdx(), otherIdx);
  plug.mouseOverAtSend.clear();
  g->SetControlValueAfterTextEdit("-7.5");
  EXPECT_EQ(plug.Real(kGain), -7.5);
  EXPECT_EQ(plug.mouseOverAtSend, std::vector<int>{knobIdx});
  EXPECT_EQ(g->GetMouseOverIdx(), otherIdx);
  (void)other;
}

TEST_F(FieldsQN, TextFieldsDrawTheirBackgroundAndFrameAsStyled)
{
  const IRECT b(10, 10, 70, 34);
  const IColor bg(255, 30, 40, 50), frame(255, 200, 100, 0);
  struct Case
  {
    bool paths;
    float roundness;
    bool drawFrame;
    std::vector<std::string> ops;
  };
  const Case cases[] = {
      {true, 3.f, true, {"PathFill", "DrawRoundRect", "Text"}},
      {true, 0.f, true, {"PathFill", "DrawRect", "Text"}},
      {false, 3.f, false, {"FillRect", "Text"}},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << "paths " << c.paths << " roundness " << c.roundness);
    auto* f = Attach(new IVParameterControlQN(b, kGain, kStyle));
    EXPECT_EQ(g->DrawOf(f).size(), 1u); // no background unless asked for
    IVStyle style = f->GetStyle();
    style.roundness = c.roundness;
    style.drawFrame = c.drawFrame;
    style.frameThickness = 2.f;
    style.colorSpec.mColors[kFR] = frame;
    f->SetStyle(style);
    f->SetDrawBackground(true);
    f->SetBackgroundColor(bg);
    g->pathSupport = c.paths;
    const auto shapes = g->DrawOf(f);
    std::vector<std::string> ops;
    for (const auto& s : shapes) ops.push_back(s.op);
    ASSERT_EQ(ops, c.ops);
    EXPECT_EQ(std::tuple(shapes[0].r, shapes[0].color), std::tuple(b, bg));
    EXPECT_EQ(shapes[0].text, c.paths ? "winding" : "");
    if (c.drawFrame)
    {
      EXPECT_EQ(std::tuple(shapes[1].r, shapes[1].color), std::tuple(b, frame));
      EXPECT_EQ(shapes[1].text, c.roundness > 0.f ? "3/2" : "2");
    }
    EXPECT_EQ(shapes.back().r, b);
  }
}

TEST_F(FieldsQN, FieldsWithoutAParameterDrawNoTextOpenNoPromptAndMovePlainValues)
{
  auto* bare = Attach(new IBParameterControlQN(0, 0, -1, Bitmap(60, 20, 1), kStyle));
  const auto shapes = g->DrawOf(bare);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].op, "Bitmap");
  bare->OnMouseDblClick(30, 10, kNone);
  EXPECT_TRUE(g->textEntries.empty() && g->menus.empty());
  bare->SetValue(0.5);
  bare->OnMouseWheel(30, 10, kNone, 3.f);
  EXPECT_NEAR(bare->GetValue(), 0.53, 1e-12);
  bare->OnMouseDown(30, 10, kNone);
  bare->OnMouseDrag(30, 0, 0, -20, kNone); // one height at gearing 4
  EXPECT_NEAR(bare->GetValue(), 0.78, 1e-12);
  EXPECT_TRUE(plug.sentFromUI.empty());
}

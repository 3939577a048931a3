#include "controls/IControlBases.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>

using namespace plugin::igraphics;
using plugin::IParam;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

template <class Base> struct Drawn : Base
{
  using Base::Base;
  void Draw(IGraphics&) override {}
};
using Knob = Drawn<IKnobControlBase>;
using Slider = Drawn<ISliderControlBase>;
using Switch = Drawn<ISwitchControlBase>;

constexpr IMouseMod kNone{};
constexpr IMouseMod kShift{false, false, true};

struct ControlTest : ::testing::Test
{
  // 0: 0..10 step 1 (stepped), default 5; 1: 0..1 smooth; 2: int 0..5; 3: 0..100 step 1 (stepped)
  RecordingDelegate dlg{4};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Steps", 5.0, 0.0, 10.0, 1.0, "", IParam::kFlagStepped);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(2)->InitInt("Mode", 0, 0, 5);
    dlg.GetParam(3)->InitDouble("Percent", 0.0, 0.0, 100.0, 1.0, "", IParam::kFlagStepped);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
};

} // namespace

// ---- A control on its own (no delegate, no context) ----

TEST(IControl, SlotsIndicesOutsideThemAndClamping)
{
  RecordingControl many(IRECT(), std::vector<int>{2, -1, 7});
  ASSERT_EQ(many.NVals(), 3);
  EXPECT_EQ(many.LinkedToParam(7), 2);
  EXPECT_EQ(many.LinkedToParam(3), -1);

  // One slot; indices outside the list are harmless.
  RecordingControl c(IRECT(), 3);
  EXPECT_EQ(c.GetParamIdx(5), -1);
  EXPECT_EQ(c.GetParamIdx(-1), -1);
  EXPECT_DOUBLE_EQ(c.GetValue(9), 0.0);
  c.SetParamIdx(8, 4);
  c.SetValue(0.5, 2);
  c.SetValueFromDelegate(0.5, 3);
  c.SetValueFromUserInput(0.5, -2);
  EXPECT_EQ(c.GetParamIdx(0), 3);
  EXPECT_DOUBLE_EQ(c.GetValue(0), 0.0);
  EXPECT_EQ(c.GetParam(0), nullptr); // no delegate

  // SetDirty clamps the slot it names, or every slot for -1.
  RecordingControl two(IRECT(), std::vector<int>{-1, -1});
  two.SetValue(-3.0, 0);
  two.SetValue(4.0, 1);
  two.SetDirty(false, 1);
  EXPECT_DOUBLE_EQ(two.GetValue(0), -3.0);
  EXPECT_DOUBLE_EQ(two.GetValue(1), 1.0);
  two.SetDirty(false, -1);
  EXPECT_DOUBLE_EQ(two.GetValue(0), 0.0);
}

TEST(IControl, DelegateAndUserValuesAndGeometry)
{
  int runs = 0;
  RecordingControl c(IRECT(10, 10, 30, 20), [&](IControl*) { ++runs; });
  c.SetClean(); // the same value from the delegate changes nothing, not even the dirty flag
  c.SetValueFromDelegate(0.0);
  EXPECT_FALSE(c.IsDirty());
  c.SetValueFromUserInput(0.6);
  c.SetValueFromUserInput(0.6);
  EXPECT_EQ(runs, 1);
  // Unlinked: the default changes nothing, yet the control is dirty and the action runs.
  c.SetClean();
  c.SetValueToDefault();
  EXPECT_DOUBLE_EQ(c.GetValue(), 0.6);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_EQ(runs, 2);

  c.SetTargetRECT(IRECT(12, 14, 22, 18)); // a hit area inside the bounds
  c.SetPosition(-5, 40);
  EXPECT_EQ(c.GetRECT(), IRECT(0, 40, 20, 50));
  EXPECT_EQ(c.GetTargetRECT(), IRECT(2, 44, 12, 48)); // same size and offset
  // Any change of bounds forgets that the mouse was over the control.
  c.OnMouseOver(1, 1, IMouseMod());
  EXPECT_TRUE(c.GetMouseIsOver());
  c.SetRECT(IRECT(0, 0, 5, 5));
  EXPECT_FALSE(c.GetMouseIsOver());
}

TEST(IControl, SnapToMouseQuantisesAndClips)
{
  const IRECT bounds(0, 0, 100, 200);
  struct Case
  {
    float x, y;
    EDirection dir;
    double minClip, maxClip;
    double expected;
  };
  const Case cases[] = {
      {50, -30, kVertical, 0, 1, 1.0},        // above the top
      {12.345f, 0, kHorizontal, 0, 1, 0.123}, // to the nearest 0.001
      {90, 0, kHorizontal, 0.2, 0.8, 0.8},
  };
  for (const Case& c : cases)
  {
    RecordingControl ctl(bounds, std::vector<int>{-1, -1});
    ctl.SnapToMouse(c.x, c.y, c.dir, bounds, -1, c.minClip, c.maxClip);
    EXPECT_NEAR(ctl.GetValue(0), c.expected, 1e-12) << c.x << "," << c.y;
    EXPECT_NEAR(ctl.GetValue(1), c.expected, 1e-12);
  }
  // Into one slot only; a flat control takes nothing.
  RecordingControl two(bounds, std::vector<int>{-1, -1});
  two.SnapToMouse(100, 0, kHorizontal, bounds, 1);
  EXPECT_EQ((std::vector<double>{two.GetValue(0), two.GetValue(1)}), (std::vector<double>{0.0, 1.0}));
  two.SnapToMouse(5, 5, kVertical, IRECT(0, 10, 50, 10), 0);
  EXPECT_DOUBLE_EQ(two.GetValue(0), 0.0);
}

// ---- Attached to a context with a delegate (values from the delegate are tested with the delegate) ----

TEST_F(ControlTest, TriggeredChangesReachTheHostAndThePeers)
{
  int runs = 0;
  auto* c = Attach(new RecordingControl(IRECT(0, 0, 10, 10), 1, [&](IControl*) { ++runs; }));
  auto* peer = Attach(new RecordingControl(IRECT(0, 0, 10, 10), 1));
  c->SetValue(1.4);
  c->SetDirty(true);
  ASSERT_EQ(dlg.sentFromUI.size(), 1u);
  EXPECT_EQ(dlg.sentFromUI[0].paramIdx, 1);
  EXPECT_DOUBLE_EQ(dlg.sentFromUI[0].value, 1.0); // clamped before it is sent
  EXPECT_DOUBLE_EQ(peer->GetValue(), 1.0);
  EXPECT_DOUBLE_EQ(dlg.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(runs, 1);
  c->SetDirty(false); // without trigger nothing is sent
  EXPECT_EQ(dlg.sentFromUI.size(), 1u);
}

TEST_F(ControlTest, DefaultsParametersAndMenuChoicesComeFromTheDelegate)
{
  auto* c = Attach(new RecordingControl(IRECT(), std::vector<int>{0, -1, 1}));
  c->SetValue(0.9, 0);
  c->SetValue(0.9, 1);
  c->SetValue(0.1, 2);
  // Double click resets the slot under the point: with several slots that means all of them.
  c->OnMouseDblClick(1, 1, IMouseMod());
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.5); // 5 of 0..10
  EXPECT_DOUBLE_EQ(c->GetValue(1), 0.9); // unlinked slot keeps its value
  EXPECT_DOUBLE_EQ(c->GetValue(2), 0.0);
  ASSERT_EQ(dlg.sentFromUI.size(), 2u);
  EXPECT_EQ(dlg.sentFromUI[1].paramIdx, 1);

  // Parameters are looked up safely.
  auto* d = Attach(new RecordingControl(IRECT(), std::vector<int>{2, 17}));
  EXPECT_EQ(d->GetParam(1), nullptr); // no such parameter

  auto* m = Attach(new RecordingControl(IRECT(0, 0, 20, 20), 0));
  IPopupMenu menu("", 0, false, {"a", "b", "c", "d"});
  menu.SetChosenItemIdx(3);
  m->OnPopupMenuSelection(&menu, 0); // prompts are still disabled
  EXPECT_DOUBLE_EQ(m->GetValue(), 0.0);
  m->DisablePrompt(false);
  m->OnPopupMenuSelection(nullptr, 0);
  EXPECT_DOUBLE_EQ(m->GetValue(), 0.0);
  m->OnPopupMenuSelection(&menu, 0); // item 3 is the real value 3 of 0..10
  EXPECT_DOUBLE_EQ(m->GetValue(), 0.3);
}

// ---- Switches ----

TEST_F(ControlTest, SwitchesCycleThroughTheirStates)
{
  struct Case
  {
    int states;
    double start;
    std::vector<double> clicks;
  };
  const Case cases[] = {
      {2, 0.3, {0.0, 1.0, 0.0}}, // only an exact 0 goes to 1
      {4, 0.0, {1.0 / 3, 2.0 / 3, 1.0, 0.0}}, // three thirds reach 1.0 without wrapping early
      {1, 0.0, {0.0, 0.0}},
      {0, 0.6, {0.0}},
  };
  for (const Case& c : cases)
  {
    Switch s(IRECT(0, 0, 10, 10), -1, nullptr, c.states);
    s.SetValue(c.start);
    for (size_t i = 0; i < c.clicks.size(); ++i)
    {
      s.OnMouseDown(5, 5, kNone);
      EXPECT_NEAR(s.GetValue(), c.clicks[i], 1e-12) << c.states << " states, click " << i;
    }
  }

  // A linked integer parameter decides the count, whatever the constructor said.
  auto* linked = Attach(new Switch(IRECT(0, 0, 10, 10), 2, nullptr, 2));
  EXPECT_EQ(linked->NStates(), 6);
  linked->OnMouseDown(5, 5, kNone);
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 1.0);
  // Disabled flags exist only for the states the parameter gave.
  linked->SetStateDisabled(6, true);
  EXPECT_FALSE(linked->GetStateDisabled(6));
}

// ---- Knobs: gearing, fine drags, limits ----

TEST_F(ControlTest, KnobDragsFollowTheGearing)
{
  auto* knob = Attach(new Knob(IRECT(0, 0, 50, 100), 1, kVertical, 4.0));
  knob->SetValue(0.5);
  knob->OnMouseDown(10, 50, kNone);
  knob->OnMouseDrag(10, 49, 0, -1, kNone); // one pixel up on a height of 100, gearing 4
  EXPECT_NEAR(knob->GetValue(), 0.5025, 1e-12);
  knob->OnMouseDrag(10, 48, 0, -1, kShift);
  knob->OnMouseDrag(10, 47, 0, 4, kNone); // down lowers
  EXPECT_NEAR(dlg.GetParam(1)->Value(), 0.49275, 1e-12);
  knob->OnMouseUp(10, 47, kNone);

  // Far beyond the top: held at 1, and the first pixel back down lowers it at once.
  knob->SetValue(0.999);
  knob->OnMouseDown(10, 50, kNone);
  knob->OnMouseDrag(10, 0, 0, -500, kNone);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
  knob->OnMouseDrag(10, 1, 0, 1, kNone);
  EXPECT_NEAR(knob->GetValue(), 0.9975, 1e-12);
}

TEST_F(ControlTest, FlatControlsStayFinite)
{
  // Zero height (vertical), zero width (horizontal), nothing at all, and a gearing of 0.
  const IRECT flat[] = {IRECT(10, 10, 60, 10), IRECT(10, 10, 10, 60), IRECT(), IRECT()};
  const EDirection dirs[] = {kVertical, kHorizontal, kVertical, kVertical};
  for (int i = 0; i < 4; ++i)
    for (float d : {0.f, 3.f, -3.f})
    {
      Knob knob(flat[i], -1, dirs[i], i == 3 ? 0.0 : 4.0);
      Slider slider(flat[i], -1, dirs[i], i == 3 ? 0.0 : 4.0);
      slider.OnResize();
      for (IControl* c : {static_cast<IControl*>(&knob), static_cast<IControl*>(&slider)})
      {
        c->SetValue(0.4);
        c->OnMouseDown(10, 10, kNone);
        c->OnMouseDrag(10, 10, d, d, kNone);
        EXPECT_DOUBLE_EQ(c->GetValue(), 0.4) << i << " " << d;
      }
    }
  Knob knob(IRECT(0, 0, 10, 10), -1);
  knob.SetValue(0.5);
  knob.OnMouseWheel(0, 0, kNone, NAN);
  EXPECT_DOUBLE_EQ(knob.GetValue(), 0.5);
}

// ---- Stepped parameters: wheel and drag ----

TEST_F(ControlTest, OneWheelEventMovesOneStepFromAnyValue)
{
  auto* knob = Attach(new Knob(IRECT(0, 0, 50, 50), 3));
  auto* slider = Attach(new Slider(IRECT(100, 0, 120, 100), 3));
  for (IControl* c : {static_cast<IControl*>(knob), static_cast<IControl*>(slider)})
  {
    for (int k = 0; k <= 100; ++k)
      for (float delta : {1.f, -1.f, 3.5f, -0.25f})
      {
        // The value a host sets for k, normalised as the parameter does.
        c->SetValue(dlg.GetParam(3)->ToNormalized(k));
        c->OnMouseWheel(0, 0, kNone, delta);
        const int expected = std::clamp(delta > 0 ? k + 1 : k - 1, 0, 100);
        ASSERT_NEAR(c->GetValue() * 100.0, expected, 1e-9) << "from " << k << " by " << delta;
        ASSERT_DOUBLE_EQ(dlg.GetParam(3)->Value(), expected) << "from " << k << " by " << delta;
      }
  }

  // 0..10 in steps of 1: between steps, to the next step in that direction.
  auto* ten = Attach(new Knob(IRECT(0, 0, 50, 50), 0));
  for (auto [from, delta, to] : {std::tuple{0.35, 1.f, 0.4}, {0.35, -1.f, 0.3}})
  {
    ten->SetValue(from);
    ten->OnMouseWheel(0, 0, kNone, delta);
    EXPECT_NEAR(ten->GetValue(), to, 1e-12) << from << " " << delta;
  }
  // Unstepped: 0.01 per unit, 0.001 fine.
  auto* smooth = Attach(new Knob(IRECT(0, 0, 50, 50), 1));
  smooth->SetValue(0.5);
  smooth->OnMouseWheel(0, 0, kNone, 1.f);
  smooth->OnMouseWheel(0, 0, kShift, -2.f);
  EXPECT_NEAR(smooth->GetValue(), 0.508, 1e-12);
}

TEST_F(ControlTest, SteppedDragsSnapTowardsZeroWithinABillionthOfAStep)
{
  auto* knob = Attach(new Knob(IRECT(0, 0, 50, 100), 3, kVertical, 1.0));
  // Every whole value, reached with a drag that does not move: the value must stay on its step even where
  // k / 100 × 100 falls a rounding error short of k.
  for (int k = 0; k <= 100; ++k)
  {
    knob->SetValue(k / 100.0);
    knob->OnMouseDown(0, 0, kNone);
    knob->OnMouseDrag(0, 0, 0, 0, kNone);
    ASSERT_DOUBLE_EQ(dlg.GetParam(3)->Value(), k) << k;
  }
  // Between steps the value goes down to the step below.
  knob->SetValue(0.2);
  knob->OnMouseDown(0, 0, kNone);
  knob->OnMouseDrag(0, 0, 0, -0.9f, kNone); // +0.009 → 20.9
  EXPECT_DOUBLE_EQ(dlg.GetParam(3)->Value(), 20.0);
  knob->OnMouseDrag(0, 0, 0, -0.2f, kNone); // the drag value keeps its fraction: 21.1
  EXPECT_DOUBLE_EQ(dlg.GetParam(3)->Value(), 21.0);
}

// ---- Sliders ----

TEST_F(ControlTest, SlidersJumpToTheMouseUnlessStepped)
{
  auto* slider = Attach(new Slider(IRECT(0, 0, 20, 100), 1));
  slider->OnMouseDown(10, 75, kNone); // a quarter up a vertical track
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.25);

  // With the cursor hidden the drag is relative (gearing 4 over 100 points)...
  slider->OnMouseDrag(10, 70, 0, -5, kNone);
  EXPECT_NEAR(slider->GetValue(), 0.2625, 1e-12);
  // ...absolute with a visible cursor.
  slider->SetHideCursorOnDrag(false);
  slider->OnMouseDrag(10, 90, 0, 50, kNone);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.1);

  auto* stepped = Attach(new Slider(IRECT(50, 0, 150, 20), 0, kHorizontal, 1.0));
  stepped->SetHideCursorOnDrag(false);
  stepped->SetValue(0.3);
  stepped->OnMouseDown(140, 10, kNone);
  EXPECT_DOUBLE_EQ(stepped->GetValue(), 0.3);
  stepped->OnMouseDrag(150, 10, 10, 0, kNone); // relative even with the cursor shown: 3 + 1
  EXPECT_NEAR(stepped->GetValue(), 0.4, 1e-12);
}

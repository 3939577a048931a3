#include "controls/IControlBases.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace plugin::igraphics;
using plugin::IParam;
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
using Button = Drawn<IButtonControlBase>;

constexpr IMouseMod kNone{};
constexpr IMouseMod kShift{false, false, true};
constexpr IMouseMod kCtrl{false, false, false, true};

struct ControlBasesTest : ::testing::Test
{
  // 0: 0..10 step 1 (stepped); 1: 0..1 smooth; 2: int 0..5; 3: 0..100 step 1 (stepped)
  RecordingDelegate dlg{4};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Steps", 0.0, 0.0, 10.0, 1.0, "", IParam::kFlagStepped);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(2)->InitInt("Mode", 0, 0, 5);
    dlg.GetParam(3)->InitDouble("Percent", 0.0, 0.0, 100.0, 1.0, "", IParam::kFlagStepped);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
};

} // namespace

// ---- Switches ----

TEST_F(ControlBasesTest, SwitchesCycleThroughTheirStates)
{
  struct Case
  {
    int states;
    double start;
    std::vector<double> clicks;
  };
  const Case cases[] = {
      {2, 0.3, {0.0, 1.0, 0.0}}, // only an exact 0 goes to 1
      {3, 0.0, {0.5, 1.0, 0.0, 0.5}},
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
      EXPECT_TRUE(s.GetMouseDown());
      s.OnMouseUp(5, 5, kNone);
      EXPECT_FALSE(s.GetMouseDown());
    }
  }

  // A linked integer parameter decides the count, whatever the constructor said.
  auto* linked = Attach(new Switch(IRECT(0, 0, 10, 10), 2, nullptr, 2));
  EXPECT_EQ(linked->NStates(), 6);
  linked->OnMouseDown(5, 5, kNone);
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 1.0);
  EXPECT_TRUE(linked->GetMouseDblAsSingleClick());

  // Disabled flags: only states that exist, and clicks step through disabled states as through any other.
  linked->SetStateDisabled(5, true);
  linked->SetStateDisabled(6, true);
  linked->SetStateDisabled(-1, true);
  EXPECT_TRUE(linked->GetStateDisabled(5));
  EXPECT_FALSE(linked->GetStateDisabled(6));
  EXPECT_FALSE(linked->GetStateDisabled(-1));
  linked->SetAllStatesDisabled(true);
  for (int i = 0; i < 6; ++i)
    EXPECT_TRUE(linked->GetStateDisabled(i));
  linked->OnMouseDown(5, 5, kNone);
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 2.0);
}

// ---- Knobs: gearing, fine drags, limits ----

TEST_F(ControlBasesTest, KnobDragsFollowTheGearing)
{
  auto* knob = Attach(new Knob(IRECT(0, 0, 50, 100), 1, kVertical, 4.0));
  knob->SetValue(0.5);
  knob->OnMouseDown(10, 50, kNone);
  EXPECT_EQ(g->Count("HideMouseCursor(1,1)"), 1);

  knob->OnMouseDrag(10, 49, 0, -1, kNone); // one pixel up on a height of 100, gearing 4
  EXPECT_NEAR(knob->GetValue(), 0.5025, 1e-12);
  knob->OnMouseDrag(10, 48, 0, -1, kShift);
  EXPECT_NEAR(knob->GetValue(), 0.50275, 1e-12);
  knob->OnMouseDrag(10, 47, 0, -1, kCtrl);
  EXPECT_NEAR(knob->GetValue(), 0.503, 1e-12);
  knob->OnMouseDrag(10, 47, 0, 4, kNone); // down lowers
  EXPECT_NEAR(knob->GetValue(), 0.493, 1e-12);
  EXPECT_NEAR(dlg.GetParam(1)->Value(), 0.493, 1e-12);

  knob->OnMouseUp(10, 47, kNone);
  EXPECT_EQ(g->Count("HideMouseCursor(0,1)"), 1);
  EXPECT_FALSE(knob->GetMouseDown());

  // Far beyond the top: held at 1, and the first pixel back down lowers it at once.
  knob->SetValue(0.999);
  knob->OnMouseDown(10, 50, kNone);
  knob->OnMouseDrag(10, 0, 0, -500, kNone);
  EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
  knob->OnMouseDrag(10, 1, 0, 1, kNone);
  EXPECT_NEAR(knob->GetValue(), 0.9975, 1e-12);

  // Horizontal knobs measure the width.
  Knob wide(IRECT(0, 0, 200, 10), -1, kHorizontal, 2.0);
  wide.OnMouseDown(0, 0, kNone);
  wide.OnMouseDrag(4, 0, 4, 0, kNone);
  EXPECT_NEAR(wide.GetValue(), 0.01, 1e-12);
}

TEST_F(ControlBasesTest, FlatControlsStayFinite)
{
  struct Case
  {
    IRECT bounds;
    EDirection dir;
    double gearing;
  };
  const Case cases[] = {
      {IRECT(10, 10, 60, 10), kVertical, 4.0},
      {IRECT(10, 10, 10, 60), kHorizontal, 4.0},
      {IRECT(), kVertical, 4.0},
      {IRECT(0, 0, 50, 50), kVertical, 0.0},
  };
  for (const Case& c : cases)
  {
    for (float d : {0.f, 3.f, -3.f})
    {
      Knob knob(c.bounds, -1, c.dir, c.gearing);
      knob.SetValue(0.4);
      knob.OnMouseDown(10, 10, kNone);
      knob.OnMouseDrag(10, 10, d, d, kNone);
      EXPECT_TRUE(std::isfinite(knob.GetValue()));
      if (c.gearing > 0.0)
      {
        EXPECT_DOUBLE_EQ(knob.GetValue(), 0.4);
      }

      Slider slider(c.bounds, -1, c.dir, c.gearing);
      slider.OnResize();
      slider.SetValue(0.4);
      slider.OnMouseDown(10, 10, kNone);
      slider.OnMouseDrag(10, 10, d, d, kNone);
      EXPECT_TRUE(std::isfinite(slider.GetValue()));
    }
  }
  Knob knob(IRECT(0, 0, 10, 10), -1);
  knob.SetValue(0.5);
  knob.OnMouseWheel(0, 0, kNone, NAN);
  EXPECT_DOUBLE_EQ(knob.GetValue(), 0.5);
}

// ---- Stepped parameters: wheel and drag ----

TEST_F(ControlBasesTest, OneWheelEventMovesOneStepFromAnyValue)
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

  // 0..10 in steps of 1 at 0.3 goes to 0.4; halfway between steps goes to the next step in that direction.
  auto* ten = Attach(new Knob(IRECT(0, 0, 50, 50), 0));
  ten->SetValue(0.3);
  ten->OnMouseWheel(0, 0, kNone, 1.f);
  EXPECT_NEAR(ten->GetValue(), 0.4, 1e-12);
  ten->SetValue(0.35);
  ten->OnMouseWheel(0, 0, kNone, 1.f);
  EXPECT_NEAR(ten->GetValue(), 0.4, 1e-12);
  ten->SetValue(0.35);
  ten->OnMouseWheel(0, 0, kNone, -1.f);
  EXPECT_NEAR(ten->GetValue(), 0.3, 1e-12);

  // Unstepped: 0.01 per unit, 0.001 fine, clamped by SetDirty.
  auto* smooth = Attach(new Knob(IRECT(0, 0, 50, 50), 1));
  smooth->SetValue(0.5);
  smooth->OnMouseWheel(0, 0, kNone, 1.f);
  EXPECT_NEAR(smooth->GetValue(), 0.51, 1e-12);
  smooth->OnMouseWheel(0, 0, kShift, -2.f);
  EXPECT_NEAR(smooth->GetValue(), 0.508, 1e-12);
  smooth->OnMouseWheel(0, 0, kNone, 100.f);
  EXPECT_DOUBLE_EQ(smooth->GetValue(), 1.0);
}

TEST_F(ControlBasesTest, SteppedDragsSnapTowardsZeroWithinABillionthOfAStep)
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

TEST_F(ControlBasesTest, SlidersJumpToTheMouseUnlessStepped)
{
  auto* slider = Attach(new Slider(IRECT(0, 0, 20, 100), 1));
  EXPECT_EQ(slider->GetTrackBounds(), IRECT(0, 0, 20, 100));
  slider->OnMouseDown(10, 0, kNone); // the top of a vertical track
  EXPECT_DOUBLE_EQ(slider->GetValue(), 1.0);
  slider->OnMouseDown(10, 75, kNone);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.25);

  // With the cursor hidden the drag is relative (gearing 4 over 100 points)...
  slider->OnMouseDrag(10, 70, 0, -5, kNone);
  EXPECT_NEAR(slider->GetValue(), 0.2625, 1e-12);
  // ...absolute for touches and with a visible cursor.
  IMouseMod touch;
  touch.touchID = 7;
  slider->OnMouseDrag(10, 40, 0, -30, touch);
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.6);
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

// ---- Buttons ----

TEST_F(ControlBasesTest, ButtonsShowPressedUntilTheirAnimationEnds)
{
  int ends = 0;
  auto* button = Attach(new Button(IRECT(0, 0, 20, 20)));
  button->SetAnimationEndActionFunction([&](IControl*) { ++ends; });
  EXPECT_TRUE(button->GetMouseDblAsSingleClick());
  button->OnMouseDown(5, 5, kNone);
  EXPECT_DOUBLE_EQ(button->GetValue(), 1.0);
  EXPECT_TRUE(button->GetAnimationFunction()); // the default click action animates
  button->OnEndAnimation();
  EXPECT_DOUBLE_EQ(button->GetValue(), 0.0);
  EXPECT_FALSE(button->GetAnimationFunction());
  EXPECT_EQ(ends, 1);
}

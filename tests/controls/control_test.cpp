#include "controls/IBitmapControls.h"
#include "controls/IControlBases.h"
#include "controls/ISVGControls.h"
#include "controls/support/DrawnBases.h"
#include "controls/support/ImageGraphics.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

using namespace plugin::igraphics;
using plugin::IParam;
using plugin::igraphics::test::Doc;
using plugin::igraphics::test::ImageGraphics;
using plugin::igraphics::test::Knob;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using plugin::igraphics::test::Slider;
using plugin::igraphics::test::Switch;

namespace
{

using Args = std::vector<double>;

constexpr IMouseMod kNone{};
constexpr IMouseMod kShift{false, false, true};

struct ControlTest : ::testing::Test
{
  // 0: 0..10 step 1 (stepped), default 5; 1: 0..1 smooth; 2: int 0..5; 3: 0..100 step 1 (stepped)
  RecordingDelegate dlg{4};
  std::unique_ptr<ImageGraphics> g;
  std::vector<std::unique_ptr<APIBitmap>> own;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Steps", 5.0, 0.0, 10.0, 1.0, "", IParam::kFlagStepped);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(2)->InitInt("Mode", 0, 0, 5);
    dlg.GetParam(3)->InitDouble("Percent", 0.0, 0.0, 100.0, 1.0, "", IParam::kFlagStepped);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ImageGraphics>(dlg, 400, 300);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  IBitmap Make(int w, int h, int frames, bool horizontal = false)
  {
    own.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(own.back().get(), frames, horizontal, "");
  }
  // The arguments of the last call op while drawing c (the first n of them).
  Args Last(IControl* c, const char* op = "DrawBitmap", size_t n = 6)
  {
    g->drawn.clear();
    c->Draw(*g);
    const auto calls = g->Calls(op);
    if (calls.empty()) return {};
    const Args& a = calls.back().a;
    return Args(a.begin(), a.begin() + long(std::min(n, a.size())));
  }
};

} // namespace

// ---- A control on its own (no delegate, no context) ----

TEST(IControl, IndicesOutsideTheSlotsAndClamping)
{
  // One slot; indices outside the list are harmless.
  RecordingControl c(IRECT(), 3);
  EXPECT_EQ(c.GetParamIdx(5), -1);
  EXPECT_DOUBLE_EQ(c.GetValue(9), 0.0);
  c.SetParamIdx(8, 4);
  c.SetValue(0.5, 2);
  c.SetValueFromDelegate(0.5, 3);
  c.SetValueFromUserInput(0.5, -2);
  EXPECT_EQ(c.GetParamIdx(0), 3);
  EXPECT_DOUBLE_EQ(c.GetValue(0), 0.0);

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
  EXPECT_EQ(c.GetTargetRECT(), IRECT(2, 44, 12, 48)); // same size and offset, kept on screen
  // Any change of bounds forgets that the mouse was over the control.
  c.OnMouseOver(1, 1, IMouseMod());
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
  // A flat control takes nothing.
  RecordingControl two(bounds, std::vector<int>{-1, -1});
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
      {2, 0.3, {0.0, 1.0, 0.0}},              // only an exact 0 goes to 1
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

// ---- Bitmap and SVG controls ----

TEST_F(ControlTest, BitmapFramesFollowTheValue)
{
  // Three stacked 30 × 20 frames: values round to the nearest frame; out-of-range values and NaN stay in range.
  auto* c = Attach(new IBitmapControl(10, 20, Make(30, 60, 3), 1));
  const std::pair<double, int> cases[] = {{0.24, 1}, {0.25, 2}, {1.0, 3}, {-5.0, 1}, {INFINITY, 3}, {NAN, 1}};
  for (const auto& [value, frame] : cases)
  {
    c->SetValue(value);
    EXPECT_EQ(Last(c), (Args{10, 20, 40, 40, 0, 20.0 * (frame - 1)})) << value;
  }
  // Five horizontal frames in 101 points: 20-point frames, the last at 80.
  auto* strip = Attach(new IBitmapControl(0, 0, Make(101, 10, 5, true), 1));
  strip->SetValue(1.0);
  EXPECT_EQ(Last(strip), (Args{0, 0, 20, 10, 80, 0}));
}

TEST_F(ControlTest, SwitchesStepByTheirImagesAndNeverPickOneThatIsMissing)
{
  // Bitmap switches step by their frames, whatever the six states parameter 2 gives the base.
  for (const auto& [frames, clicks] : {std::pair{4, Args{1.0 / 3, 2.0 / 3, 1.0, 0.0}}, {1, Args{1.0, 0.0, 1.0}}})
  {
    auto* s = Attach(new IBSwitchControl(0, 0, Make(20, 20 * frames, frames), 2));
    EXPECT_EQ(s->NStates(), 6);
    for (double expected : clicks)
    {
      s->OnMouseDown(5, 5, IMouseMod());
      EXPECT_NEAR(s->GetValue(), expected, 1e-12) << frames;
      EXPECT_LT(Last(s)[5], 20.0 * frames);
    }
  }
  // SVG switch: images 0, 1, 2 for 0, 0.5, 1 and 1 for 0.74; linked to six states it still shows only its three.
  auto* v = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0, 1), Doc(1, 1), Doc(2, 1)}, -1));
  for (const auto& [value, image] : {std::pair{0.0, 0.0}, {0.5, 1.0}, {1.0, 2.0}, {0.74, 1.0}})
  {
    v->SetValue(value);
    EXPECT_EQ(Last(v, "DrawSVG", 1), Args{image}) << value;
  }
  auto* linked = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0, 1), Doc(1, 1), Doc(2, 1)}, 2));
  EXPECT_EQ(linked->NStates(), 6);
  for (int click = 0; click < 7; ++click, linked->OnMouseDown(1, 1, IMouseMod()))
    EXPECT_LE(Last(linked, "DrawSVG", 1).at(0), 2.0) << click;
  auto* none = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), std::vector<ISVG>{}, -1));
  none->OnMouseDown(1, 1, IMouseMod());
  EXPECT_TRUE(Last(none, "DrawSVG").empty());
}

TEST_F(ControlTest, KnobsAndSlidersPlaceAndTurnTheirImages)
{
  // A full-height drag up at gearing 4 is a quarter turn: int(0.25 × 9 + 0.5) + 1 = frame 3.
  auto* knob = Attach(new IBKnobControl(IRECT(0, 0, 100, 100), Make(40, 400, 10), 1, kVertical, 4.0));
  EXPECT_EQ(knob->GetRECT(), IRECT(30, 30, 70, 70));
  knob->OnMouseDown(50, 50, IMouseMod());
  knob->OnMouseDrag(50, 10, 0, -40, IMouseMod());
  EXPECT_NEAR(knob->GetValue(), 0.25, 1e-9);
  EXPECT_EQ(Last(knob)[5], 80.0);
  EXPECT_EQ(dlg.sentFromUI.back().paramIdx, 1);

  auto* rot = Attach(new IBKnobRotaterControl(IRECT(0, 0, 60, 60), Make(30, 30, 1), 1));
  auto* svgKnob = Attach(new ISVGKnobControl(IRECT(10, 10, 50, 90), Doc(7, 7), -1));
  rot->SetValue(0.0);
  svgKnob->SetValue(1.0);
  EXPECT_EQ(Last(rot, "DrawRotatedBitmap"), (Args{30, 30, -130}));
  EXPECT_EQ(Last(svgKnob, "DrawRotatedSVG"), (Args{7, 30, 50, 40, 80, 135}));

  // Bitmap slider, vertical, no track bitmap: a track as wide as the handle; value 1 at the top.
  auto* v = Attach(new IBSliderControl(10, 10, 100, Make(20, 10, 1), IBitmap(), 1, kVertical));
  EXPECT_EQ((std::tuple{v->GetRECT(), v->GetTrackBounds(), v->GetHandleSize()}),
            (std::tuple{IRECT(10, 10, 30, 110), IRECT(10, 10, 30, 110), 10.f}));
  v->SetValue(0.5);
  EXPECT_EQ(Last(v, "DrawBitmap", 4), (Args{10, 55, 30, 65}));

  // SVG, vertical: track 20 × 200 and handle 40 × 20 in 100 × 100 give a 10 × 100 track and a 20 × 10 handle.
  auto* sv = Attach(new ISVGSliderControl(IRECT(0, 0, 100, 100), Doc(40, 20), Doc(20, 200), -1, kVertical));
  EXPECT_EQ((std::tuple{sv->GetTrackImageBounds(), sv->HandleRectForValue(1.0), sv->HandleRectForValue(0.0)}),
            (std::tuple{IRECT(45, 0, 55, 100), IRECT(40, 0, 60, 10), IRECT(40, 90, 60, 100)}));
}

TEST_F(ControlTest, EmptyImagesAndBoundsDrawFiniteCoordinates)
{
  std::vector<IControl*> controls = {
      Attach(new IBitmapControl(0, 0, IBitmap(), 1)),
      Attach(new IBKnobControl(IRECT(), Make(3, 0, 5, true), 1)),
      Attach(new IBSliderControl(IRECT(5, 5, 5, 5), IBitmap(), IBitmap(), 1, kVertical)),
      Attach(new IBKnobRotaterControl(IRECT(), IBitmap(), 1)),
      Attach(new IBSwitchControl(IRECT(), Make(0, 0, 0), 2)),
  };
  for (EDirection dir : {kVertical, kHorizontal})
    for (const IRECT& r : {IRECT(), IRECT(0, 0, 100, 100)})
      for (const ISVG& doc : {ISVG(), Doc(0, 0), Doc(10, 0), Doc(0, 10)})
      {
        controls.push_back(Attach(new ISVGSliderControl(r, doc, doc, -1, dir)));
        controls.push_back(Attach(new ISVGKnobControl(r, doc, -1)));
      }
  for (IControl* c : controls)
    for (double value : {0.0, 1.0, double(NAN)})
    {
      c->SetValue(value);
      g->drawn.clear();
      c->Draw(*g);
      for (const auto& call : g->drawn)
        for (double x : call.a)
          EXPECT_TRUE(std::isfinite(x)) << call.op;
    }
}

TEST_F(ControlTest, RescaleAndBackgrounds)
{
  g->bitmaps[{"knob.png", 1}] = {40, 400};
  g->bitmaps[{"knob.png", 2}] = {80, 800};
  g->bitmaps[{"handle.png", 1}] = {20, 10};
  auto* k = Attach(new IBKnobControl(IRECT(0, 0, 40, 40), g->LoadBitmap("knob.png", 10, false, 1), 1));
  auto* s = Attach(new IBSliderControl(IRECT(0, 0, 20, 100), g->LoadBitmap("handle.png", 1, false, 1), IBitmap(), 1));
  g->SetScreenScale(2.f);
  EXPECT_EQ((std::tuple{k->GetBitmap().GetScale(), k->GetBitmap().W, k->GetBitmap().N}), (std::tuple{2.f, 40, 10}));
  EXPECT_TRUE(s->GetBitmap().IsValid()); // no scale-2 handle: the one held stays

  // A background goes to index 0: drawn first, hit last.
  g->AttachBackground("knob.png");
  auto* bmpBg = dynamic_cast<IBitmapControl*>(g->GetControl(0));
  ASSERT_NE(bmpBg, nullptr);
  EXPECT_EQ((std::tuple{bmpBg->GetRECT(), g->NControls()}), (std::tuple{IRECT(0, 0, 40, 400), 3}));
}

TEST_F(ControlTest, ALayeredSVGIsDrawnOnceIntoItsLayerUntilTheLayerGoesStale)
{
  const ISVG wide = Doc(30, 10), narrow = Doc(8, 10);
  auto* svg = Attach(new ISVGControl(IRECT(10, 10, 110, 60), wide, true));
  svg->SetBlend(IBlend(kBlendDefault, 0.5f));
  // Per draw: the layer images made (w, h, screen scale, draw scale), the documents drawn (width, rectangle, blend
  // weight) and the images drawn (rectangle).
  struct Frame
  {
    std::vector<Args> made, svgs, images;
  };
  auto draw = [&]
  {
    g->drawn.clear();
    svg->Draw(*g);
    Frame f;
    for (const auto& c : g->Calls("CreateAPIBitmap"))
      f.made.push_back(Args(c.a.begin(), c.a.begin() + 4));
    for (const auto& c : g->Calls("DrawSVG"))
      f.svgs.push_back(c.a);
    for (const auto& c : g->Calls("DrawBitmap"))
      f.images.push_back(Args(c.a.begin(), c.a.begin() + 4));
    return f;
  };
  auto expect = [&](const Frame& f, const std::vector<Args>& made, const std::vector<Args>& svgs, const char* what)
  {
    EXPECT_EQ(f.made, made) << what;
    EXPECT_EQ(f.svgs, svgs) << what;
    // Whatever was (re)made, the layer's image is what reaches the frame, with the control's blend.
    EXPECT_EQ(f.images, (std::vector<Args>{{10, 10, 110, 60}})) << what;
  };
  // Into the layer the document goes without the control's blend.
  const Args intoLayer{30, 10, 10, 110, 60, -1};

  expect(draw(), {{100, 50, 1, 1}}, {intoLayer}, "first draw makes the layer");
  expect(draw(), {}, {}, "second draw reuses it");
  svg->InvalidateLayer();
  expect(draw(), {{100, 50, 1, 1}}, {intoLayer}, "invalidated");
  expect(draw(), {}, {}, "kept again");
  svg->SetSVG(narrow);
  expect(draw(), {{100, 50, 1, 1}}, {{8, 10, 10, 110, 60, -1}}, "a new document");
  g->SetScreenScale(2.f);
  expect(draw(), {{200, 100, 2, 1}}, {{8, 10, 10, 110, 60, -1}}, "screen scale 2");
  expect(draw(), {}, {}, "kept at scale 2");
  g->Resize(400, 300, 1.5f, false);
  expect(draw(), {{300, 150, 2, 1.5}}, {{8, 10, 10, 110, 60, -1}}, "draw scale 1.5");

  // A moved control makes its layer at the new place.
  svg->SetPosition(20, 30);
  g->drawn.clear();
  svg->Draw(*g);
  EXPECT_EQ(g->Calls("CreateAPIBitmap").size(), 1u);
  const Args moved = g->Calls("DrawBitmap").at(0).a;
  EXPECT_EQ(Args(moved.begin(), moved.begin() + 4), (Args{20, 30, 120, 80}));

  // Without the layer flag, or when the back end makes no layer image, the document is drawn directly with the
  // control's blend on every draw.
  auto* direct = Attach(new ISVGControl(IRECT(0, 0, 40, 20), wide));
  direct->SetBlend(IBlend(kBlendDefault, 0.5f));
  svg->SetSVG(wide);
  g->makeLayerImages = false;
  for (IControl* c : {(IControl*)direct, (IControl*)svg})
    for (int i = 0; i < 2; ++i)
    {
      g->drawn.clear();
      c->Draw(*g);
      ASSERT_EQ(g->Calls("DrawSVG").size(), size_t(c == svg ? 2 : 1)); // into the empty layer, then directly
      EXPECT_EQ(g->Calls("DrawSVG").back().a,
                (Args{30, c->GetRECT().L, c->GetRECT().T, c->GetRECT().R, c->GetRECT().B, 0.5}));
      EXPECT_TRUE(g->Calls("DrawBitmap").empty());
    }
}

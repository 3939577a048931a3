// The control base beyond its values: state flags, the host highlight, gestures, resizing, display texts, the
// handlers a control inherits and never overrides (they must leave it alone), and the interaction bases' cursor,
// fine-drag, touch and state rules.

#include "controls/IControlBases.h"
#include "controls/support/DrawnBases.h"
#include "controls/support/PrimitiveRecorder.h"
#include "framework/IParam.h"
#include "framework/PluginMidi.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

constexpr IMouseMod kNone{};

// A control with nothing but a drawing: every other handler is the base's.
class BareControl : public IControl
{
public:
  using IControl::IControl;
  void Draw(IGraphics& g) override { g.FillRect(COLOR_RED, mRECT); }
};

// Lists context items but handles no choice of them.
class WithContextItems : public BareControl
{
public:
  using BareControl::BareControl;
  void CreateContextMenu(IPopupMenu& menu) override { menu.AddItem("Reset"); }
};

struct ControlHooksTest : ::testing::Test
{
  // 0: 0..10 step 1; 1: 0..1; 2: bool, on
  RecordingDelegate dlg{3};
  std::unique_ptr<PrimitiveRecorder> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Level", 5.0, 0.0, 10.0, 1.0);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(2)->InitBool("On", true);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<PrimitiveRecorder>(dlg, 200, 100);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
};

} // namespace

// ---- Flags and the host highlight ----

TEST(IControlHooks, StateChangesMarkTheControlDirtyOnlyWhenSomethingChanged)
{
  RecordingControl c{IRECT()};
  c.SetClean();
  c.SetDisabled(true);
  EXPECT_FLOAT_EQ(c.GetBlend().weight, 0.25f);
  EXPECT_TRUE(c.IsDirty());
  c.SetDisabled(false);
  EXPECT_FLOAT_EQ(c.GetBlend().weight, 1.f);
  c.SetClean();
  c.Hide(true);
  EXPECT_TRUE(c.IsDirty() && c.IsHidden());

  // Mouse over / out mark dirty only on a change.
  const bool expected[] = {true, false, true, false};
  for (int k = 0; k < 4; ++k)
  {
    c.SetClean();
    k < 2 ? c.OnMouseOver(float(k), float(k), kNone) : c.OnMouseOut();
    EXPECT_EQ(c.IsDirty(), expected[k]) << k;
  }

  // An animation keeps the control dirty until it ends; then the end action runs once.
  c.SetClean();
  int frames = 0, ended = 0;
  c.SetAnimation([&](IControl*) { ++frames; });
  c.SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  EXPECT_TRUE(c.IsDirty());
  c.Animate();
  c.OnEndAnimation();
  c.SetClean();
  c.Animate(); // no function: nothing
  EXPECT_EQ((std::tuple{frames, ended, c.IsDirty()}), (std::tuple{1, 1, false}));
}

TEST_F(ControlHooksTest, TheHostHighlightIsADotNearTheTargetsTopRightInTheColourOfItsIndex)
{
  auto* c = Attach(new RecordingControl(IRECT(0, 0, 40, 40), 0));
  auto* other = Attach(new RecordingControl(IRECT(50, 0, 90, 40), 1));
  c->SetTargetRECT(IRECT(10, 10, 30, 20));

  const std::pair<int, IColor> colours[] = {{0, COLOR_RED},
                                            {1, COLOR_BLUE},
                                            {2, COLOR_GREEN},
                                            {3, COLOR_YELLOW},
                                            {9, COLOR_YELLOW}}; // an unknown index keeps the colour
  for (const auto& [index, colour] : colours)
  {
    c->SetClean();
    g->SetPTParameterHighlight(0, true, index); // reaches the controls of parameter 0 only
    EXPECT_TRUE(c->GetPTIsHighlighted() && c->IsDirty());
    EXPECT_EQ(c->GetPTHighlightColor(), colour) << index;
    g->Reset();
    c->DrawPTHighlight(*g);
    ASSERT_EQ(g->prims.size(), 1u);
    EXPECT_EQ((std::tuple{g->prims[0].op, g->prims[0].color, g->prims[0].a, g->prims[0].weight}),
              (std::tuple{std::string("FillCircle"), colour, std::vector<float>{25, 15, 2}, -1.f}));
  }
  EXPECT_FALSE(other->GetPTIsHighlighted());
  g->SetPTParameterHighlight(0, false, 0);
  g->Reset();
  c->DrawPTHighlight(*g);
  EXPECT_TRUE(g->prims.empty());
}

// ---- Gestures ----

TEST_F(ControlHooksTest, TheFirstHandlerOfAGestureStaysAndGesturesReachTheControlUnderThem)
{
  auto* c = Attach(new RecordingControl(IRECT(0, 0, 20, 20), 0));
  auto* none = Attach(new RecordingControl(IRECT(50, 0, 70, 20), 0));
  std::vector<int> handled;
  c->AttachGestureRecognizer(EGestureType::DoubleTap, [&](IControl*, const IGestureInfo&) { handled.push_back(1); })
      ->AttachGestureRecognizer(EGestureType::DoubleTap, [&](IControl*, const IGestureInfo&) { handled.push_back(2); });
  IGestureInfo info;
  info.type = EGestureType::DoubleTap;
  EXPECT_TRUE(c->OnGesture(info));
  EXPECT_EQ(c->GetLastGesture(), EGestureType::DoubleTap);
  info.type = EGestureType::SwipeUp;
  EXPECT_FALSE(c->OnGesture(info));
  EXPECT_EQ(handled, std::vector<int>{1});
  EXPECT_EQ(g->GetRegisteredGestures(), std::vector<EGestureType>{EGestureType::DoubleTap});

  // Through the context: the control under the point takes it; one without handlers does not respond.
  info = IGestureInfo{};
  info.x = info.y = 10.f;
  info.type = EGestureType::DoubleTap;
  EXPECT_TRUE(g->RespondsToGesture(10, 10));
  g->OnGestureRecognized(info);
  EXPECT_EQ(handled, (std::vector<int>{1, 1}));
  EXPECT_FALSE(g->RespondsToGesture(60, 10));
  EXPECT_FALSE(none->HasGestures());
}

// ---- Geometry and texts ----

TEST(IControlHooks, SetSizeKeepsTheTopLeftClampsNegativeSizesAndDropsTheTargetsOffset)
{
  RecordingControl c(IRECT(10, 10, 30, 20));
  c.SetTargetRECT(IRECT(12, 14, 22, 18));
  c.OnMouseOver(15, 15, kNone);
  const int resizes = c.resizes;
  c.SetSize(-5, 10);
  EXPECT_EQ((std::tuple{c.GetRECT(), c.GetTargetRECT()}), (std::tuple{IRECT(10, 10, 10, 20), IRECT(10, 10, 10, 20)}));
  EXPECT_FALSE(c.GetMouseIsOver());
  EXPECT_EQ(c.resizes, resizes + 1);
}

TEST(IControlHooks, SnapToMouseTakesTheFractionFromTheTopOrLeftToTheNearestThousandth)
{
  const IRECT bounds(0, 0, 100, 200);
  struct Case
  {
    float x, y;
    EDirection dir;
    double minClip, maxClip, expected;
  };
  const Case cases[] = {
      {50, 50, kVertical, 0, 1, 0.75},       // a quarter from the top
      {12.36f, 0, kHorizontal, 0, 1, 0.124}, // rounds up
      {5, 0, kHorizontal, 0.2, 0.8, 0.2},    // held at the low clip
  };
  for (const Case& c : cases)
  {
    RecordingControl ctl(bounds, std::vector<int>{-1, -1});
    ctl.SnapToMouse(c.x, c.y, c.dir, bounds, -1, c.minClip, c.maxClip);
    EXPECT_NEAR(ctl.GetValue(0), c.expected, 1e-12) << c.x << "," << c.y;
  }
  // Into one slot only.
  RecordingControl two(bounds, std::vector<int>{-1, -1});
  two.SnapToMouse(100, 0, kHorizontal, bounds, 1);
  EXPECT_EQ((std::vector<double>{two.GetValue(0), two.GetValue(1)}), (std::vector<double>{0.0, 1.0}));
}

TEST_F(ControlHooksTest, DisplayTextsCarryTheLabelAfterABlankAndParametersAreLookedUpSafely)
{
  Util_String text;
  dlg.GetParam(1)->InitDouble("Mix", 25.0, 0.0, 100.0, 1.0, "%");
  IControl::GetParamDisplayWithLabel(*dlg.GetParam(1), text);
  EXPECT_STREQ(text.Get(), "25 %");
  IControl::GetParamDisplayWithLabel(*dlg.GetParam(2), text);
  EXPECT_STREQ(text.Get(), "on");

  auto* d = Attach(new RecordingControl(IRECT(), std::vector<int>{2, 17}));
  ASSERT_NE(d->GetParam(0), nullptr);
  EXPECT_STREQ(d->GetParam(0)->GetName(), "On");
  EXPECT_EQ(d->GetParam(1), nullptr); // no such parameter
  EXPECT_EQ(d->GetParam(5), nullptr); // no such slot
}

// ---- Handlers a control does not override ----

TEST(IControlHooks, HandlersAControlDoesNotOverrideLeaveItAlone)
{
  RecordingDelegate dlg(1);
  dlg.GetParam(0)->InitDouble("Level", 5.0, 0.0, 10.0, 1.0);
  dlg.SetGraphicsReady(true);
  dlg.SetMakeGraphicsFunc([&]() -> IGraphics* { return new ScriptedGraphics(dlg, 200, 100); });
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  auto* g = static_cast<ScriptedGraphics*>(dlg.GetUI());
  g->AttachControl(new BareControl(IRECT(0, 0, 200, 100))); // background
  auto* linked = static_cast<BareControl*>(g->AttachControl(new BareControl(IRECT(0, 0, 50, 50), 0), 7, "group"));
  auto* context = static_cast<WithContextItems*>(g->AttachControl(new WithContextItems(IRECT(100, 0, 150, 50))));
  linked->SetWantsMidi(true);
  linked->SetValue(0.25);
  context->SetValue(0.75);
  g->SetAllControlsClean();

  // Drops, MIDI, messages from the delegate, idle calls, drags and cancelled touches.
  g->OnDrop("/tmp/file.wav", 10, 10);
  dlg.SendMidiMsgFromDelegate(plugin::IMidiMsg(0, 0x90, 60, 100));
  const int data = 42;
  dlg.SendControlMsgFromDelegate(7, 3, sizeof(data), &data);
  g->OnGUIIdle();
  IMouseMod touch(true);
  touch.touchID = 5;
  g->OnMouseDown({IMouseInfo{10, 10, 0, 0, touch}});
  g->OnMouseDrag({IMouseInfo{20, 20, 10, 10, touch}});
  g->OnTouchCancelled({IMouseInfo{20, 20, 0, 0, touch}});
  EXPECT_FALSE(g->ControlIsCaptured(linked));
  // A right click on a linked control without context items shows no menu.
  g->OnMouseDown({IMouseInfo{10, 10, 0, 0, IMouseMod(false, true)}});
  EXPECT_TRUE(g->menus.empty());
  // A typed text for a slot without a parameter, and a chosen context item, are not taken by the base.
  g->textAnswers = {"7"};
  g->CreateTextEntry(context, DEFAULT_TEXT, context->GetRECT(), "", 0);
  g->menuChoice = 0;
  g->ShowContextMenu(context, 120, 20);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, std::vector<std::string>{"Reset"});

  EXPECT_EQ((std::tuple{linked->GetValue(), context->GetValue()}), (std::tuple{0.25, 0.75}));
  EXPECT_FALSE(linked->IsDirty());
  EXPECT_TRUE(dlg.sentFromUI.empty());
  EXPECT_STREQ(linked->GetGroup(), "group");
  dlg.CloseWindow();
}

// ---- Interaction bases ----

TEST_F(ControlHooksTest, KnobDragsHideTheCursorAndTheControlKeyIsAsFineAsShift)
{
  auto* knob = Attach(new Knob(IRECT(0, 0, 50, 100), 1, kVertical, 4.0));
  knob->SetValue(0.5);
  knob->OnMouseDown(10, 50, kNone);
  EXPECT_EQ(g->Count("HideMouseCursor(1,1)"), 1);
  knob->OnMouseDrag(10, 49, 0, -1, kNone);                                // one pixel up: 1 / 400
  knob->OnMouseDrag(10, 48, 0, -1, IMouseMod(false, false, true));        // shift: a tenth of that
  knob->OnMouseDrag(10, 47, 0, -1, IMouseMod(false, false, false, true)); // control: the same
  knob->OnMouseDrag(10, 47, 0, 4, kNone);                                 // down lowers
  EXPECT_NEAR(dlg.GetParam(1)->Value(), 0.493, 1e-12);
  knob->OnMouseUp(10, 47, kNone);
  EXPECT_EQ(g->Count("HideMouseCursor(0,1)"), 1);
}

TEST_F(ControlHooksTest, SlidersTakeTheTopAsOneAndFollowATouchAbsolutely)
{
  auto* slider = Attach(new Slider(IRECT(0, 0, 20, 100), 1));
  slider->OnMouseDown(10, 0, kNone); // the top of a vertical track
  EXPECT_DOUBLE_EQ(slider->GetValue(), 1.0);
  IMouseMod touch;
  touch.touchID = 7;
  slider->OnMouseDrag(10, 40, 0, -30, touch); // to the touch, not by the distance moved
  EXPECT_DOUBLE_EQ(slider->GetValue(), 0.6);
}

TEST_F(ControlHooksTest, AThreeStateSwitchStepsInHalvesAndIsDownOnlyBetweenPressAndRelease)
{
  Switch s(IRECT(0, 0, 10, 10), -1, nullptr, 3);
  for (double expected : {0.5, 1.0, 0.0, 0.5})
  {
    s.OnMouseDown(5, 5, kNone);
    EXPECT_DOUBLE_EQ(s.GetValue(), expected);
    EXPECT_TRUE(s.GetMouseDown());
    s.OnMouseUp(5, 5, kNone);
    EXPECT_FALSE(s.GetMouseDown());
  }
  EXPECT_TRUE(s.GetMouseDblAsSingleClick());
}

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

// ---- A control on its own (no delegate, no context) ----

TEST(IControl, SlotsAndIndicesOutsideThem)
{
  RecordingControl many(IRECT(), std::vector<int>{2, -1, 7});
  ASSERT_EQ(many.NVals(), 3);
  EXPECT_EQ(many.LinkedToParam(7), 2);
  EXPECT_EQ(many.LinkedToParam(3), -1);

  RecordingControl none(IRECT(), std::vector<int>{});
  none.SetDirty(true); // no slot: nothing to clamp or send, still dirty
  EXPECT_TRUE(none.IsDirty());

  int runs = 0;
  RecordingControl action(IRECT(), [&](IControl*) { ++runs; });
  EXPECT_EQ(action.GetParamIdx(0), -1);
  action.SetDirty(true);
  EXPECT_EQ(runs, 1);

  // One slot; indices outside the list are harmless.
  RecordingControl c(IRECT(), 3);
  EXPECT_EQ(c.NVals(), 1);
  EXPECT_TRUE(c.IsDirty()); // a new control needs drawing
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
}

TEST(IControl, SetDirtyClampsTheSelectedSlots)
{
  RecordingControl one(IRECT(), -1);
  one.SetValue(1.7);
  EXPECT_DOUBLE_EQ(one.GetValue(), 1.7); // stored as given
  one.SetDirty(false, 5);                // one slot: any index means slot 0
  EXPECT_DOUBLE_EQ(one.GetValue(), 1.0);

  RecordingControl two(IRECT(), std::vector<int>{-1, -1});
  two.SetValue(-3.0, 0);
  two.SetValue(4.0, 1);
  two.SetDirty(false, 1);
  EXPECT_DOUBLE_EQ(two.GetValue(0), -3.0);
  EXPECT_DOUBLE_EQ(two.GetValue(1), 1.0);
  two.SetDirty(false, -1);
  EXPECT_DOUBLE_EQ(two.GetValue(0), 0.0);
}

TEST(IControl, DelegateAndUserValues)
{
  int runs = 0;
  RecordingControl c(IRECT(), [&](IControl*) { ++runs; });
  c.SetValueFromDelegate(0.3);
  EXPECT_DOUBLE_EQ(c.GetValue(), 0.3);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_EQ(runs, 0);
  c.SetClean(); // the same value again changes nothing, not even the dirty flag
  c.SetValueFromDelegate(0.3);
  EXPECT_FALSE(c.IsDirty());

  c.SetValueFromUserInput(0.6);
  c.SetValueFromUserInput(0.6);
  EXPECT_DOUBLE_EQ(c.GetValue(), 0.6);
  EXPECT_EQ(runs, 1);

  // Unlinked: the default changes nothing, yet the control is dirty and the action runs.
  c.SetClean();
  c.SetValueToDefault();
  EXPECT_DOUBLE_EQ(c.GetValue(), 0.6);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_EQ(runs, 2);
}

TEST(IControl, Geometry)
{
  RecordingControl c(IRECT(10, 10, 30, 20));
  c.SetTargetRECT(IRECT(12, 14, 22, 18)); // a hit area inside the bounds
  c.SetPosition(-5, 40);
  EXPECT_EQ(c.GetRECT(), IRECT(0, 40, 20, 50));
  EXPECT_EQ(c.GetTargetRECT(), IRECT(2, 44, 12, 48)); // same size and offset
  c.SetSize(-5, 10);
  EXPECT_EQ(c.GetRECT(), IRECT(0, 40, 0, 50));
  EXPECT_EQ(c.GetTargetRECT(), c.GetRECT());
  EXPECT_EQ(c.resizes, 2);

  RecordingControl h(IRECT(0, 0, 10, 10));
  EXPECT_TRUE(h.IsHit(0, 0));
  EXPECT_FALSE(h.IsHit(10, 5));
  h.SetTargetRECT(IRECT());
  EXPECT_FALSE(h.IsHit(0, 0));
  // Any change of bounds forgets that the mouse was over the control.
  h.OnMouseOver(1, 1, IMouseMod());
  EXPECT_TRUE(h.GetMouseIsOver());
  h.SetRECT(IRECT(0, 0, 5, 5));
  EXPECT_FALSE(h.GetMouseIsOver());
}

TEST(IControl, StateFlagsAndAnimationMarkDirty)
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
  EXPECT_TRUE(c.IsDirty());

  // Mouse over/out mark dirty only on a change.
  const bool expected[] = {true, false, true, false};
  for (int k = 0; k < 4; ++k)
  {
    c.SetClean();
    k < 2 ? c.OnMouseOver(k, k, IMouseMod()) : c.OnMouseOut();
    EXPECT_EQ(c.IsDirty(), expected[k]) << k;
  }

  c.SetPTParameterHighlight(true, 1);
  EXPECT_TRUE(c.GetPTIsHighlighted());
  EXPECT_EQ(c.GetPTHighlightColor(), COLOR_BLUE);
  c.SetPTParameterHighlight(false, 9); // unknown colour index keeps the colour
  EXPECT_EQ(c.GetPTHighlightColor(), COLOR_BLUE);
  EXPECT_FALSE(c.GetPTIsHighlighted());

  // An animation keeps the control dirty until it ends.
  c.SetClean();
  int frames = 0, ended = 0;
  c.SetAnimation([&](IControl*) { ++frames; });
  c.SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  EXPECT_TRUE(c.IsDirty());
  c.Animate();
  c.OnEndAnimation();
  EXPECT_EQ(ended, 1);
  c.SetClean();
  EXPECT_FALSE(c.IsDirty());
  c.Animate(); // no function: nothing
  EXPECT_EQ(frames, 1);
}

// ---- Attached to a context with a delegate (values from the delegate are tested with the delegate) ----

namespace
{

struct AttachedControlTest : ::testing::Test
{
  RecordingDelegate dlg{3};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Level", 5.0, 0.0, 10.0, 1.0);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(2)->InitBool("On", true);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);
  }

  RecordingControl* Attach(RecordingControl* c) { return static_cast<RecordingControl*>(g->AttachControl(c)); }
};

} // namespace

TEST_F(AttachedControlTest, TriggeredChangesReachTheHostAndThePeers)
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

TEST_F(AttachedControlTest, DefaultsAndParametersComeFromTheDelegate)
{
  auto* c = Attach(new RecordingControl(IRECT(), std::vector<int>{0, -1, 2}));
  c->SetValue(0.9, 0);
  c->SetValue(0.9, 1);
  c->SetValue(0.1, 2);
  c->SetValueToDefault(-1);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.5); // 5 of 0..10
  EXPECT_DOUBLE_EQ(c->GetValue(1), 0.9); // unlinked slot keeps its value
  EXPECT_DOUBLE_EQ(c->GetValue(2), 1.0);
  ASSERT_EQ(dlg.sentFromUI.size(), 2u);
  EXPECT_EQ(dlg.sentFromUI[1].paramIdx, 2);

  // Double click resets the slot under the point: with several slots that means all of them.
  c->SetValue(0.0, 0);
  c->OnMouseDblClick(1, 1, IMouseMod());
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.5);

  // Parameters are looked up safely.
  auto* d = Attach(new RecordingControl(IRECT(), std::vector<int>{2, 17}));
  ASSERT_NE(d->GetParam(0), nullptr);
  EXPECT_STREQ(d->GetParam(0)->GetName(), "On");
  EXPECT_EQ(d->GetParam(1), nullptr); // no such parameter
  EXPECT_EQ(d->GetParam(5), nullptr); // no such slot
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
      {50, 50, kVertical, 0, 1, 0.75},        // a quarter from the top
      {12.345f, 0, kHorizontal, 0, 1, 0.123}, // to the nearest 0.001
      {12.36f, 0, kHorizontal, 0, 1, 0.124},  {90, 0, kHorizontal, 0.2, 0.8, 0.8}, {5, 0, kHorizontal, 0.2, 0.8, 0.2},
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

TEST_F(AttachedControlTest, MenusGesturesHighlightAndLabels)
{
  auto* c = Attach(new RecordingControl(IRECT(0, 0, 20, 20), 0));
  IPopupMenu menu("", 0, false, {"a", "b", "c", "d"});
  menu.SetChosenItemIdx(3);
  c->OnPopupMenuSelection(&menu, 0); // prompts are still disabled
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
  c->DisablePrompt(false);
  c->OnPopupMenuSelection(nullptr, 0);
  c->OnPopupMenuSelection(&menu, -1);
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.0);
  c->OnPopupMenuSelection(&menu, 0); // item 3 is the real value 3 of 0..10
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.3);

  // The first handler of a gesture type stays.
  std::vector<int> handled;
  c->AttachGestureRecognizer(EGestureType::DoubleTap, [&](IControl*, const IGestureInfo&) { handled.push_back(1); })
      ->AttachGestureRecognizer(EGestureType::DoubleTap, [&](IControl*, const IGestureInfo&) { handled.push_back(2); });
  IGestureInfo info;
  info.type = EGestureType::DoubleTap;
  EXPECT_TRUE(c->OnGesture(info));
  info.type = EGestureType::SwipeUp;
  EXPECT_FALSE(c->OnGesture(info));
  EXPECT_EQ(handled, std::vector<int>{1});
  EXPECT_EQ(g->GetRegisteredGestures(), std::vector<EGestureType>{EGestureType::DoubleTap});

  // The host highlight: a dot of radius 2 near the target's top-right corner, in the chosen colour.
  c->SetPTParameterHighlight(true, 1);
  g->drawn.clear();
  c->DrawPTHighlight(*g);
  ASSERT_EQ(g->Calls("PathArc").size(), 1u);
  EXPECT_EQ(g->Calls("PathArc")[0].a, (std::vector<double>{15, 5, 2, 0, 360, 0}));
  EXPECT_EQ(g->Calls("PathFill")[0].color, COLOR_BLUE);
  c->SetPTParameterHighlight(false, 7);
  g->drawn.clear();
  c->DrawPTHighlight(*g);
  EXPECT_TRUE(g->drawn.empty());

  Util_String text;
  dlg.GetParam(1)->InitDouble("Mix", 25.0, 0.0, 100.0, 1.0, "%");
  IControl::GetParamDisplayWithLabel(*dlg.GetParam(1), text);
  EXPECT_STREQ(text.Get(), "25 %");
  IControl::GetParamDisplayWithLabel(*dlg.GetParam(2), text);
  EXPECT_STREQ(text.Get(), "on");
}

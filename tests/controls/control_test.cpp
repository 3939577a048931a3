#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

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

TEST_F(AttachedControlTest, DefaultsParametersAndMenuChoicesComeFromTheDelegate)
{
  auto* c = Attach(new RecordingControl(IRECT(), std::vector<int>{0, -1, 2}));
  c->SetValue(0.9, 0);
  c->SetValue(0.9, 1);
  c->SetValue(0.1, 2);
  // Double click resets the slot under the point: with several slots that means all of them.
  c->OnMouseDblClick(1, 1, IMouseMod());
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.5); // 5 of 0..10
  EXPECT_DOUBLE_EQ(c->GetValue(1), 0.9); // unlinked slot keeps its value
  EXPECT_DOUBLE_EQ(c->GetValue(2), 1.0);
  ASSERT_EQ(dlg.sentFromUI.size(), 2u);
  EXPECT_EQ(dlg.sentFromUI[1].paramIdx, 2);

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

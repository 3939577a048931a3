// Control management of the graphics context: moving and resizing controls by list index, the per-parameter and
// per-group iterations built on the control list (hide, disable, dirty with action, host highlight, tooltips,
// idle), peers, the last clicked parameter, the appearance hook and strict drawing.

#include "graphics/support/ScriptedEditorTest.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedEditorTest;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Ints = std::vector<int>;
using Bools = std::vector<bool>;

// Counts the idle calls that reach it.
struct IdleControl : RecordingControl
{
  using RecordingControl::RecordingControl;
  int idles = 0;
  void OnGUIIdle() override { ++idles; }
};

struct ControlManagementTest : ScriptedEditorTest
{
  ControlManagementTest() : ScriptedEditorTest(4) {}
  void SetUp() override
  {
    PlainParams();
    dlg.GetParam(2)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1);
    Open();
  }
};

} // namespace

TEST_F(ControlManagementTest, MovingAControlByIndexKeepsItsHitAreaAndRedrawsAllUnlessHidden)
{
  auto* other = Add(IRECT(0, 0, 200, 100));
  auto* c = Add(IRECT(10, 10, 30, 20));
  c->SetTargetRECT(IRECT(8, 8, 32, 22)); // a hit area 2 wider on each side
  struct Case
  {
    const char* name;
    std::function<void()> op;
    IRECT rect, target;
    int resizes; // further OnResize calls
  };
  const Case cases[] = {
      {"position: the hit area moves along", [&] { g->SetControlPosition(1, 50, 60); }, IRECT(50, 60, 70, 70),
       IRECT(48, 58, 72, 72), 1},
      {"size: both rectangles from the top left", [&] { g->SetControlSize(1, 40, 5); }, IRECT(50, 60, 90, 65),
       IRECT(50, 60, 90, 65), 1},
      {"bounds: both rectangles", [&] { g->SetControlBounds(1, IRECT(1, 2, 3, 4)); }, IRECT(1, 2, 3, 4),
       IRECT(1, 2, 3, 4), 1},
  };
  for (const Case& k : cases)
  {
    g->SetAllControlsClean();
    const int resizes = c->resizes;
    k.op();
    EXPECT_EQ(c->GetRECT(), k.rect) << k.name;
    EXPECT_EQ(c->GetTargetRECT(), k.target) << k.name;
    EXPECT_EQ(c->resizes - resizes, k.resizes) << k.name;
    EXPECT_TRUE(other->IsDirty()) << k.name << ": the place it left is drawn again";
  }

  // A hidden control moves without redrawing the others; an index outside the list changes nothing.
  c->Hide(true);
  g->SetAllControlsClean();
  g->SetControlPosition(1, 5, 5);
  g->SetControlSize(1, 6, 6);
  g->SetControlBounds(1, IRECT(5, 5, 11, 11));
  EXPECT_EQ(c->GetRECT(), IRECT(5, 5, 11, 11));
  EXPECT_FALSE(other->IsDirty());
  for (int idx : {-1, 2})
  {
    g->SetControlPosition(idx, 1, 1);
    g->SetControlSize(idx, 1, 1);
    g->SetControlBounds(idx, IRECT(0, 0, 1, 1));
  }
  EXPECT_EQ(other->GetRECT(), IRECT(0, 0, 200, 100));
  EXPECT_FALSE(other->IsDirty());
}

TEST_F(ControlManagementTest, IterationsByParameterAndByGroup)
{
  auto* a = Add(IRECT(0, 0, 10, 10), 1, -1, "left");
  auto* b = Add(IRECT(0, 0, 10, 10), 1);
  auto* multi = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(), Ints{3, 1})));
  auto* other = Add(IRECT(0, 0, 10, 10), 2, -1, "left");
  auto* plain = Add(IRECT(0, 0, 10, 10), -1, -1, "lefty");

  std::vector<IControl*> seen;
  g->ForControlWithParam(1, [&](IControl* c) { seen.push_back(c); });
  EXPECT_EQ(seen, (std::vector<IControl*>{a, b, multi}));

  // Groups compare whole names; the empty group is nobody's.
  seen.clear();
  g->ForControlInGroup("left", [&](IControl* c) { seen.push_back(c); });
  g->ForControlInGroup("", [&](IControl* c) { seen.push_back(c); });
  g->ForControlInGroup(nullptr, [&](IControl* c) { seen.push_back(c); });
  EXPECT_EQ(seen, (std::vector<IControl*>{a, other}));

  g->HideControl(1, true);
  g->DisableControl(2, true);
  EXPECT_EQ((Bools{a->IsHidden(), multi->IsHidden(), other->IsHidden(), other->IsDisabled(), plain->IsDisabled()}),
            (Bools{true, true, false, true, false}));

  // Host highlight: the colour index picks red, blue, green or yellow; another index keeps the colour.
  g->SetPTParameterHighlight(1, true, 2);
  EXPECT_EQ((Bools{a->GetPTIsHighlighted(), multi->GetPTIsHighlighted(), other->GetPTIsHighlighted()}),
            (Bools{true, true, false}));
  EXPECT_EQ(a->GetPTHighlightColor(), COLOR_GREEN);
  g->SetPTParameterHighlight(1, false, 9);
  EXPECT_FALSE(b->GetPTIsHighlighted());
  EXPECT_EQ(b->GetPTHighlightColor(), COLOR_GREEN);

  // Dirty for a parameter: without action only the controls are marked; with action the values reach the
  // delegate (clamped to 0..1 first) and the peers.
  g->SetAllControlsClean();
  a->SetValue(1.5, 0);
  g->SetControlsDirtyForParam(1, false, 0);
  EXPECT_EQ((Bools{a->IsDirty(), b->IsDirty(), other->IsDirty()}), (Bools{true, true, false}));
  EXPECT_TRUE(dlg.sentFromUI.empty());
  EXPECT_DOUBLE_EQ(a->GetValue(), 1.0);
  g->SetControlsDirtyForParam(2, true, 0);
  ASSERT_EQ(dlg.sentFromUI.size(), 1u);
  EXPECT_EQ(dlg.sentFromUI[0].paramIdx, 2);
}

TEST_F(ControlManagementTest, PeersTakeTheCallersValueAndTheCallerIsLeftAlone)
{
  auto* a = Add(IRECT(0, 0, 10, 10), 1);
  auto* b = Add(IRECT(0, 0, 10, 10), 1);
  auto* multi = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(), Ints{3, 1})));
  auto* other = Add(IRECT(0, 0, 10, 10), 2);
  a->SetValue(0.25, 0);
  g->UpdatePeers(a, 0);
  EXPECT_EQ(
      (std::vector<double>{a->GetValue(), b->GetValue(), multi->GetValue(1), multi->GetValue(0), other->GetValue()}),
      (std::vector<double>{0.25, 0.25, 0.25, 0.0, 0.0}));
  EXPECT_TRUE(dlg.sentFromUI.empty()) << "nothing goes to the host from here";
}

TEST_F(ControlManagementTest, TooltipsFromParameterNames)
{
  auto* gain = Add(IRECT(), 2);
  auto* none = Add(IRECT());
  auto* kept = Add(IRECT(), 0);
  kept->SetTooltip("keep");
  // Auto: only where no tooltip is set yet.
  g->AssignParamNameToolTipsAuto();
  EXPECT_EQ((std::vector<std::string>{gain->GetTooltip(), none->GetTooltip(), kept->GetTooltip()}),
            (std::vector<std::string>{"Gain", "", "keep"}));
  // Plain: every control linked to a parameter.
  g->AssignParamNameToolTips();
  EXPECT_EQ((std::vector<std::string>{gain->GetTooltip(), none->GetTooltip(), kept->GetTooltip()}),
            (std::vector<std::string>{"Gain", "", "p"}));
}

TEST_F(ControlManagementTest, IdleReachesEveryControlIncludingTheSpecialOnes)
{
  auto* listed = static_cast<IdleControl*>(g->AttachControl(new IdleControl(IRECT(0, 0, 10, 10))));
  auto* resizer = new IdleControl(IRECT(190, 90, 200, 100));
  g->AttachCornerResizer(resizer);
  g->OnGUIIdle();
  g->OnGUIIdle();
  EXPECT_EQ((Ints{listed->idles, resizer->idles}), (Ints{2, 2}));
}

TEST_F(ControlManagementTest, ParameterOfAControlAndOfTheLastClick)
{
  Add(IRECT(0, 0, 200, 100));      // background, no parameter
  Add(IRECT(10, 10, 20, 20), 3);   // a knob
  auto* off = Add(IRECT(30, 10, 40, 20), 2);
  off->Hide(true);                 // hidden: not hit
  EXPECT_EQ((Ints{g->GetParamIdxForControl(0), g->GetParamIdxForControl(1), g->GetParamIdxForControl(5),
                  g->GetParamIdxForControl(-1)}),
            (Ints{-1, 3, -1, -1}));

  g->SetLastClickedParam(15, 15);
  EXPECT_EQ(g->GetAndResetLastClickedParam(), 3);
  EXPECT_EQ(g->GetAndResetLastClickedParam(), -1) << "read once";
  for (auto [x, y] : {std::pair{150.f, 80.f}, {35.f, 15.f}, {500.f, 500.f}})
  {
    g->SetLastClickedParam(x, y);
    EXPECT_EQ(g->GetAndResetLastClickedParam(), -1) << x << "," << y;
  }
}

TEST_F(ControlManagementTest, AppearanceChangesReachTheFunctionWhenOneIsSet)
{
  g->OnAppearanceChanged(1); // none set: nothing happens
  std::vector<int> seen;
  g->SetAppearanceChangedFunc([&](int appearance) { seen.push_back(appearance); });
  g->OnAppearanceChanged(1);
  g->OnAppearanceChanged(0);
  EXPECT_EQ(seen, (Ints{1, 0}));
}

TEST_F(ControlManagementTest, StrictDrawingDrawsOneBoundingRectangle)
{
  Add(IRECT(0, 0, 200, 100));
  auto* a = Add(IRECT(10, 10, 20, 20));
  auto* far = Add(IRECT(150, 70, 160, 80));
  g->SetAllControlsClean();
  g->SetStrictDrawing(true);
  EXPECT_TRUE(a->IsDirty()) << "switching marks everything for drawing";

  g->SetAllControlsClean();
  a->SetDirty(false);
  far->SetDirty(false);
  IRECTList rects;
  ASSERT_TRUE(g->IsDirty(rects));
  g->drawn.clear();
  g->Draw(rects);
  // The union of the two grown rectangles, aligned to whole pixels; each control clipped to its part of it.
  std::vector<std::vector<double>> clips;
  for (const auto& c : g->Calls("SetClipRegion"))
    clips.push_back(c.a);
  EXPECT_EQ(clips, (std::vector<std::vector<double>>{{9, 9, 161, 81}, {9, 9, 21, 21}, {149, 69, 161, 81}}));
}

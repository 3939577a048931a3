#include "controls/ISpecialControls.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

double sNow = 0.0;
double TestClock()
{
  return sNow;
}

struct SpecialControlsTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    sNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.SetSizeConstraints(100, 1000, 100, 1000);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }

  static IMouseInfo At(float x, float y) { return IMouseInfo{x, y, 0, 0, IMouseMod(true)}; }
  // One frame at time t (seconds): animations step.
  void FrameAt(double t)
  {
    sNow = t;
    IRECTList rects;
    g->IsDirty(rects);
  }
};

} // namespace

// ---- Corner resizer and panel ----

TEST_F(SpecialControlsTest, CornerResizerKeepsItsScreenSizeAndRestoresTheFirstSize)
{
  RecordingDelegate dlg2{1};
  dlg2.SetSizeConstraints(100, 1000, 100, 1000);
  dlg2.SetGraphicsReady(true);
  ScriptedGraphics g2(dlg2, 400, 300, 0, 2.f);
  g2.AttachCornerResizer(EUIResizerMode::Size, false, COLOR_TRANSLUCENT, COLOR_BLACK, COLOR_RED, 20.f);
  IControl* resizer = g2.GetCornerResizer();
  ASSERT_NE(resizer, nullptr);
  EXPECT_EQ(resizer->GetRECT(), IRECT(390, 290, 400, 300)); // 20 screen points at draw scale 2
  g2.AttachCornerResizer(); // a second one is refused
  EXPECT_EQ(g2.GetCornerResizer(), resizer);

  // Cursor while over; the previous one back on leaving.
  g2.SetMouseCursor(kCursorHand);
  resizer->OnMouseOver(395, 295, IMouseMod());
  resizer->OnMouseOver(396, 295, IMouseMod());
  EXPECT_EQ(g2.GetCursorType(), kCursorSizeNWSE);
  resizer->OnMouseOut();
  EXPECT_EQ(g2.GetCursorType(), kCursorHand);

  // A drag resizes the editor; the resizer follows the corner and shows the drag colour meanwhile.
  g2.OnMouseDown({At(395, 295)});
  EXPECT_TRUE(g2.GetResizingInProcess());
  g2.OnMouseDrag({IMouseInfo{500, 350, 105, 55, IMouseMod(true)}});
  g2.drawn.clear();
  resizer->Draw(g2);
  ASSERT_FALSE(g2.Calls("PathFill").empty());
  EXPECT_EQ(g2.Calls("PathFill")[0].color, COLOR_RED);
  g2.OnMouseUp({At(500, 350)});
  EXPECT_EQ(g2.Width(), 500);
  EXPECT_EQ(g2.Height(), 350);
  EXPECT_EQ(resizer->GetRECT(), IRECT(490, 340, 500, 350));

  g2.Resize(600, 500, 1.5f, true);
  resizer->OnMouseDblClick(0, 0, IMouseMod());
  EXPECT_EQ(g2.Width(), 400);
  EXPECT_EQ(g2.Height(), 300);
  EXPECT_FLOAT_EQ(g2.GetDrawScale(), 1.f);
  EXPECT_EQ(resizer->GetRECT(), IRECT(380, 280, 400, 300));
}

TEST_F(SpecialControlsTest, PanelBackgroundGoesUnderEverything)
{
  auto* top = new RecordingControl(IRECT(0, 0, 50, 50));
  g->AttachControl(top);
  g->AttachPanelBackground(IPattern(COLOR_GREEN));
  ASSERT_EQ(g->NControls(), 2);
  EXPECT_EQ(g->GetControl(1), top);
  IControl* panel = g->GetControl(0);
  EXPECT_EQ(panel->GetRECT(), IRECT(0, 0, 400, 300));
  EXPECT_EQ(g->GetMouseControl(200, 200, false), nullptr); // it ignores the mouse
  g->drawn.clear();
  panel->Draw(*g);
  ASSERT_EQ(g->Calls("PathFill").size(), 1u);
  EXPECT_EQ(g->Calls("PathFill")[0].color, COLOR_GREEN);
  EXPECT_EQ(g->Calls("PathLineTo").size(), 3u);
}

// ---- Bubble ----

TEST_F(SpecialControlsTest, BubblePlacementFlipsAtTheEdges)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(350, 100, 390, 140))));

  // "12.5 dB" measures 49 × 0; with margins (5 + 10 each side, 10 above and below) 79 × 20.
  g->ShowBubbleControl(knob, 380, 120, "12.5 dB");
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowRight);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(271, 110, 350, 130)); // ends at the caller's left edge
  EXPECT_EQ(bubble->GetRECT(), bubble->GetBubbleBounds());
  EXPECT_FALSE(bubble->IsHidden());

  g->ShowBubbleControl(knob, 100, 120, "12.5 dB");
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowLeft);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(100, 110, 179, 130));
  EXPECT_EQ(bubble->GetRECT(), IRECT(100, 110, 350, 130)); // the old place is redrawn too

  g->ShowBubbleControl(knob, 200, 100, "x", kVertical, IRECT(0, 0, 60, 30));
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowBottom);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(155, 50, 245, 100));
  g->ShowBubbleControl(knob, 200, 10, "x", kVertical, IRECT(0, 0, 60, 30));
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowTop);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(155, 50, 245, 100)); // moved down by caller height + bubble height

  g->drawn.clear();
  bubble->Draw(*g);
  EXPECT_EQ(g->Calls("PathArc").size(), 4u);
  ASSERT_EQ(g->Calls("DoDrawText").size(), 1u);
  EXPECT_EQ(g->Calls("DoDrawText")[0].text, "x");
}

TEST_F(SpecialControlsTest, BubbleFadesInHoldsWhileDraggedAndFadesOut)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->OnMouseDown({At(60, 60)});
  ASSERT_TRUE(g->ControlIsCaptured(knob));

  g->ShowBubbleControl(knob, 90, 70, "1");
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kExpanding);
  FrameAt(100.1);
  EXPECT_NEAR(bubble->GetBubbleBlend().weight, 0.475, 1e-4);
  FrameAt(100.25);
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kShowing);
  EXPECT_FLOAT_EQ(bubble->GetBubbleBlend().weight, 0.95f);
  FrameAt(101.3); // the hold is over, but the knob is still held
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kShowing);
  g->ShowBubbleControl(knob, 90, 72, "2"); // moves without restarting the fade
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kShowing);

  g->OnMouseUp({At(60, 60)});
  FrameAt(101.55); // the next 200 ms check
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsing);
  FrameAt(101.65);
  EXPECT_NEAR(bubble->GetBubbleBlend().weight, 0.475, 1e-3);
  FrameAt(101.8);
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsed);
  EXPECT_TRUE(bubble->IsHidden());
  EXPECT_FALSE(bubble->GetAnimationFunction());
}

TEST_F(SpecialControlsTest, RemovingTheCallerLeavesNothingBehind)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->OnMouseDown({At(60, 60)});
  g->ShowBubbleControl(knob, 90, 70, "1");
  FrameAt(100.25);
  g->RemoveControl(knob);
  EXPECT_EQ(bubble->GetCaller(), nullptr);
  EXPECT_FALSE(bubble->GetAnimationFunction());
  EXPECT_TRUE(bubble->IsHidden());
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsed);
  FrameAt(102.0);

  // A new control shows the bubble afresh.
  auto* other = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->ShowBubbleControl(other, 90, 70, "2");
  EXPECT_EQ(bubble->GetCaller(), other);
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kExpanding);

  g->ShowBubbleControl(nullptr, NAN, 0, "3"); // refused
  EXPECT_EQ(bubble->GetCaller(), other);
}

// ---- Frame-time display ----

TEST_F(SpecialControlsTest, FrameTimeDisplayRingStylesAndRemoval)
{
  g->ShowFPSDisplay(true);
  IControl* shown = g->GetFPSDisplay();
  g->ShowFPSDisplay(true);
  ASSERT_EQ(g->GetFPSDisplay(), shown);
  auto* fps = static_cast<IFPSDisplayControl*>(shown);
  EXPECT_EQ(fps->GetRECT(), IRECT(10, 10, 210, 60));

  // 101 frames 20 ms apart: the last overwrites the first slot written.
  for (int i = 0; i <= 101; ++i)
  {
    sNow = 200.0 + 0.02 * i;
    g->BeginFrame();
  }
  for (int i = 0; i < IFPSDisplayControl::kNumFrames; ++i)
    ASSERT_NEAR(fps->GetFrameTime(i), 0.02f, 1e-5) << i;
  g->drawn.clear();
  fps->Draw(*g);
  std::vector<std::string> texts;
  for (const auto& c : g->Calls("DoDrawText"))
    texts.push_back(c.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Recording", "Frame Time", "50.00 FPS", "20.00 ms"}));

  // Clicks cycle FPS → ms → % → FPS; the display lies above the listed controls.
  g->AttachControl(new RecordingControl(IRECT(0, 0, 400, 300)));
  const char* firstValue[] = {"20.00 ms", "0.0 %", "50.00 FPS"};
  for (const char* expected : firstValue)
  {
    g->OnMouseDown({At(20, 20)});
    g->OnMouseUp({At(20, 20)});
    g->drawn.clear();
    fps->Draw(*g);
    EXPECT_EQ(g->Calls("DoDrawText")[2].text, expected);
  }

  // Zero durations draw at the top of the FPS graph.
  for (int i = 0; i < IFPSDisplayControl::kNumFrames; ++i)
    g->BeginFrame();
  g->drawn.clear();
  fps->Draw(*g);
  auto points = g->Calls("PathLineTo");
  ASSERT_GE(points.size(), 101u);
  points.erase(points.begin(), points.end() - 101); // the graph comes after the background and frame
  for (size_t i = 0; i + 1 < points.size(); ++i)
  {
    EXPECT_FLOAT_EQ(points[i].a[1], 12.f) << i;
    EXPECT_FLOAT_EQ(points[i].a[0], 12.f + 196.f * static_cast<float>(i) / 99.f) << i;
  }

  // Removed while a click holds it: no capture or mouse-over may point at it afterwards.
  g->OnMouseDown({At(20, 20)});
  ASSERT_TRUE(g->ControlIsCaptured(fps));
  g->ShowFPSDisplay(false);
  EXPECT_EQ(g->GetFPSDisplay(), nullptr);
  EXPECT_FALSE(g->ControlIsCaptured());
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  g->OnMouseUp({At(20, 20)});
  g->OnMouseDown({At(20, 20)});
  EXPECT_NE(g->GetMouseControl(20, 20, false), nullptr); // the listed control below is reached again
}

// The frame-time display's styles (graph heights and read-outs worked out by hand) and its redraw on every frame,
// the bubble's opacity through its states, an outline side the placement never chooses, and the context's single
// corner resizer.

#include "controls/ISpecialControls.h"
#include "controls/support/ClockedFixture.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::ClockedFixture;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// A bubble whose arrow side a test may set to any number.
class AnySideBubble : public IBubbleControl
{
public:
  AnySideBubble() : IBubbleControl(DEFAULT_TEXT, COLOR_WHITE, COLOR_BLACK, 5.f) {}
  void SetArrowSide(int side) { mArrowSide = side; }
};

struct SpecialControlsStatesTest : ClockedFixture<ScriptedGraphics>
{
  SpecialControlsStatesTest() : ClockedFixture(1) {}
  void SetUp() override
  {
    ClockedFixture::SetUp();
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }
};

} // namespace

TEST_F(SpecialControlsStatesTest, FrameTimeStylesCycleOnClicksAndEachScalesItsGraphAndReadOut)
{
  g->ShowFPSDisplay(true);
  auto* fps = static_cast<IFPSDisplayControl*>(g->GetFPSDisplay());
  ASSERT_EQ(fps->GetRECT(), IRECT(10, 10, 210, 60));
  // 100 frames of 10 ms each (after a first one that measures the time since the start and is pushed out).
  for (int i = 0; i <= 100; ++i)
  {
    Now() = 200.0 + 0.01 * i;
    g->BeginFrame();
  }
  // The graph box is the rectangle inset by 2: 12..208 × 12..58 (46 high). 10 ms is 100 FPS (held at the top of
  // 80), half of the 20 ms scale, and 0.01 of 100 %.
  struct Style
  {
    double y;
    std::vector<std::string> readOuts;
  };
  const Style styles[] = {{12, {"100.00 FPS", "10.00 ms"}},
                          {35, {"10.00 ms"}},
                          {58 - 0.01 / 100 * 46, {"0.0 %"}},
                          {12, {"100.00 FPS", "10.00 ms"}}};
  for (int k = 0; k < 4; ++k)
  {
    g->drawn.clear();
    fps->Draw(*g);
    // After the background's and the frame's three lines each: 100 samples, then the closing corner.
    const auto lines = g->Calls("PathLineTo");
    ASSERT_EQ(lines.size(), 107u);
    EXPECT_NEAR(lines[6 + 50].a[1], styles[k].y, 1e-3) << k;
    EXPECT_NEAR(lines[6 + 99].a[0], 208.0, 1e-3); // the last sample at the right edge of the box
    std::vector<std::string> texts;
    for (const auto& t : g->Calls("DoDrawText"))
      texts.push_back(t.text);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()), styles[k].readOuts) << k;
    fps->OnMouseDown(50, 30, IMouseMod(true));
  }

  // A zero duration is the top of the frames-per-second graph; the display redraws on every frame.
  fps->OnMouseDown(50, 30, IMouseMod(true));
  fps->OnMouseDown(50, 30, IMouseMod(true)); // milliseconds, percent, frames per second again
  for (int i = 1; i <= 100; ++i)
    g->BeginFrame(); // the clock stands still
  g->drawn.clear();
  fps->Draw(*g);
  EXPECT_NEAR(g->Calls("PathLineTo")[6 + 50].a[1], 12.0, 1e-3);
  g->SetAllControlsClean();
  IRECTList rects;
  EXPECT_TRUE(g->IsDirty(rects));
  EXPECT_TRUE(fps->IsDirty());
}

TEST_F(SpecialControlsStatesTest, TheBubbleFadesInHoldsAndFadesOutByItsOpacity)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(100, 100, 140, 140))));
  g->ShowBubbleControl(knob, 140, 120, "1.0 dB");
  EXPECT_FALSE(bubble->IsHidden());
  const std::pair<double, float> steps[] = {
      {0.1, 0.475f},  // half way into the 200 ms fade-in
      {0.101, 0.95f}, // shown: the hold starts
      {0.5, 0.95f},   // held
      {0.501, 0.95f}, // the hold is over and the caller is not dragged: the fade-out starts
      {0.1, 0.475f},  // half way out
  };
  for (const auto& [dt, weight] : steps)
  {
    Frame(dt);
    EXPECT_NEAR(bubble->GetBubbleBlend().weight, weight, 1e-4) << Now();
  }
  Frame(0.101);
  EXPECT_TRUE(bubble->IsHidden());
  EXPECT_FLOAT_EQ(bubble->GetBubbleBlend().weight, 0.f);
  EXPECT_EQ(bubble->GetAnimationFunction(), nullptr);

  // Triggered while hidden, it runs one step and stops without showing.
  bubble->SetDirty(true);
  EXPECT_NE(bubble->GetAnimationFunction(), nullptr);
  Frame(0.201);
  EXPECT_EQ(bubble->GetAnimationFunction(), nullptr);
  EXPECT_TRUE(bubble->IsHidden());
}

TEST_F(SpecialControlsStatesTest, ABubbleOutlineWithoutAKnownSideIsItsTopLeftCornerClosed)
{
  auto* bubble = new AnySideBubble();
  g->AttachBubbleControl(bubble);
  bubble->SetArrowSide(4);
  g->drawn.clear();
  bubble->DrawBubble(*g, IRECT(10, 10, 60, 40));
  std::vector<std::string> ops;
  for (const auto& c : g->drawn)
    ops.push_back(c.op);
  EXPECT_EQ(ops,
            (std::vector<std::string>{"PathClear", "PathMoveTo", "PathArc", "PathClose", "PathFill", "PathStroke"}));
  EXPECT_EQ(g->Calls("PathArc")[0].a, (std::vector<double>{15, 15, 5, 270, 360, 0}));
}

TEST_F(SpecialControlsStatesTest, ASecondCornerResizerIsRefused)
{
  g->AttachCornerResizer(EUIResizerMode::Scale, false, COLOR_RED, COLOR_GREEN, COLOR_BLUE, 20.f);
  IControl* first = g->GetCornerResizer();
  g->AttachCornerResizer(EUIResizerMode::Size, true, COLOR_BLACK, COLOR_BLACK, COLOR_BLACK, 40.f);
  EXPECT_EQ(g->GetCornerResizer(), first);
  EXPECT_EQ(first->GetRECT(), IRECT(380, 280, 400, 300));
  // Its colour is still the first one's: at rest, red.
  g->drawn.clear();
  first->Draw(*g);
  ASSERT_EQ(g->Calls("PathFill").size(), 1u);
  EXPECT_EQ(g->Calls("PathFill")[0].color, COLOR_RED);
}

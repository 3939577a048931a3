#include "controls/ISpecialControls.h"
#include "controls/ITextControls.h"
#include "framework/IParam.h"
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
  RecordingDelegate dlg{3};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    sNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.GetParam(0)->InitDouble("Gain", 2.5, 0.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitEnum("Mode", 1, {"Low", "Mid", "High"});
    dlg.GetParam(2)->InitBool("On", false);
    dlg.SetSizeConstraints(100, 1000, 100, 1000);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  static IMouseInfo At(float x, float y) { return IMouseInfo{x, y, 0, 0, IMouseMod(true)}; }
  void Click(float x, float y)
  {
    g->OnMouseDown({At(x, y)});
    g->OnMouseUp({At(x, y)});
  }
  // One frame at time t (seconds): animations step.
  void FrameAt(double t)
  {
    sNow = t;
    IRECTList rects;
    g->IsDirty(rects);
  }
};

} // namespace

// ---- Texts, toggles, captions, links ----

TEST_F(SpecialControlsTest, TextsAndFittedBounds)
{
  // The recording back end measures 7 points per character and keeps the rectangle's height.
  auto* fitted = Attach(new ITextControl(IRECT(100, 100, 200, 120), "abcd", DEFAULT_TEXT, COLOR_WHITE, true));
  EXPECT_EQ(fitted->GetRECT(), IRECT(136, 110, 164, 110));
  EXPECT_EQ(fitted->GetTargetRECT(), fitted->GetRECT());

  fitted->SetTargetAndDrawRECTs(IRECT(0, 0, 50, 50));
  fitted->SetStr("ab");
  EXPECT_EQ(fitted->GetRECT(), IRECT(18, 25, 32, 25));

  ITextControl t(IRECT(0, 0, 10, 10), nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStr("x");
  t.SetStr(nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStrFmt(32, "%s at %d%%", "50%s %n", 3); // the argument is copied, not read as a format
  EXPECT_STREQ(t.GetStr(), "50%s %n at 3%");
  t.SetStrFmt(4, "%d", 1234567);
  EXPECT_STREQ(t.GetStr(), "1234");
}

TEST_F(SpecialControlsTest, TogglesCaptionsAndLinks)
{
  auto* toggle = Attach(new ITextToggleControl(IRECT(0, 0, 50, 20), 2, "off", "on"));
  toggle->SetValue(0.5);
  toggle->SetDirty(false);
  EXPECT_STREQ(toggle->GetStr(), "off");
  Click(10, 10);
  EXPECT_DOUBLE_EQ(toggle->GetValue(), 1.0);
  EXPECT_STREQ(toggle->GetStr(), "on");
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 1.0);

  // Captions: the display text with its label; a triangle only for enumerations, whose click opens a menu.
  auto* gain = Attach(new ICaptionControl(IRECT(100, 0, 200, 20), 0));
  auto* mode = Attach(new ICaptionControl(IRECT(100, 50, 200, 70), 1, DEFAULT_TEXT, COLOR_WHITE, false));
  EXPECT_EQ(gain->GetTriangleRECT().W(), 0.f);
  gain->Draw(*g);
  mode->Draw(*g);
  EXPECT_STREQ(gain->GetStr(), "2.5 dB");
  EXPECT_STREQ(mode->GetStr(), "Mid");
  g->menuChoice = 2;
  Click(150, 60);
  EXPECT_DOUBLE_EQ(dlg.GetParam(1)->Value(), 2.0);

  // Links open their URL on click.
  Attach(new IURLControl(IRECT(0, 100, 100, 120), "home", "https://example.org/"));
  Click(10, 110);
  EXPECT_EQ(g->Count("OpenURL(https://example.org/)"), 1);
}

// ---- Corner resizer ----

TEST_F(SpecialControlsTest, CornerResizerKeepsItsScreenSizeAndRestoresTheFirstSize)
{
  g = std::make_unique<ScriptedGraphics>(dlg, 400, 300, 0, 2.f);
  g->AttachCornerResizer(EUIResizerMode::Size, false, COLOR_TRANSLUCENT, COLOR_BLACK, COLOR_RED, 20.f);
  IControl* resizer = g->GetCornerResizer();
  ASSERT_NE(resizer, nullptr);
  EXPECT_EQ(resizer->GetRECT(), IRECT(390, 290, 400, 300)); // 20 screen points at draw scale 2
  g->AttachCornerResizer(); // a second one is refused
  EXPECT_EQ(g->GetCornerResizer(), resizer);

  // A drag resizes the editor; the resizer follows the corner.
  g->OnMouseDown({At(395, 295)});
  g->OnMouseDrag({IMouseInfo{500, 350, 105, 55, IMouseMod(true)}});
  g->OnMouseUp({At(500, 350)});
  EXPECT_EQ(g->Width(), 500);
  EXPECT_EQ(g->Height(), 350);
  EXPECT_EQ(resizer->GetRECT(), IRECT(490, 340, 500, 350));

  g->Resize(600, 500, 1.5f, true);
  resizer->OnMouseDblClick(0, 0, IMouseMod());
  EXPECT_EQ(g->Width(), 400);
  EXPECT_EQ(g->Height(), 300);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.f);
  EXPECT_EQ(resizer->GetRECT(), IRECT(380, 280, 400, 300));
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
  EXPECT_FALSE(bubble->IsHidden());

  g->ShowBubbleControl(knob, 100, 120, "12.5 dB");
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowLeft);
  EXPECT_EQ(bubble->GetRECT(), IRECT(100, 110, 350, 130)); // the old place is redrawn too

  g->ShowBubbleControl(knob, 200, 10, "x", kVertical, IRECT(0, 0, 60, 30));
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowTop);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(155, 50, 245, 100)); // moved down by caller height + bubble height
}

TEST_F(SpecialControlsTest, BubbleFadesInHoldsWhileDraggedFadesOutAndForgetsARemovedCaller)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->OnMouseDown({At(60, 60)});
  ASSERT_TRUE(g->ControlIsCaptured(knob));

  g->ShowBubbleControl(knob, 90, 70, "1");
  FrameAt(100.1);
  EXPECT_NEAR(bubble->GetBubbleBlend().weight, 0.475, 1e-4);
  FrameAt(100.25);
  EXPECT_FLOAT_EQ(bubble->GetBubbleBlend().weight, 0.95f);
  FrameAt(101.3); // the hold is over, but the knob is still held
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kShowing);

  g->OnMouseUp({At(60, 60)});
  FrameAt(101.55); // the next 200 ms check
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsing);
  FrameAt(101.8);
  EXPECT_TRUE(bubble->IsHidden());

  // Removing the caller while it shows leaves nothing behind.
  g->OnMouseDown({At(60, 60)});
  g->ShowBubbleControl(knob, 90, 70, "1");
  FrameAt(102.1);
  g->RemoveControl(knob);
  EXPECT_EQ(bubble->GetCaller(), nullptr);
  EXPECT_FALSE(bubble->GetAnimationFunction());
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsed);
  FrameAt(103.0);

  // A new control shows the bubble afresh.
  auto* other = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->ShowBubbleControl(other, 90, 70, "2");
  EXPECT_EQ(bubble->GetCaller(), other);
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kExpanding);

  g->ShowBubbleControl(nullptr, NAN, 0, "3"); // refused
  EXPECT_EQ(bubble->GetCaller(), other);
}

// ---- Frame-time display ----

TEST_F(SpecialControlsTest, FrameTimeDisplayRingAndRemovalWhileCaptured)
{
  g->ShowFPSDisplay(true);
  auto* fps = static_cast<IFPSDisplayControl*>(g->GetFPSDisplay());

  // 101 frame times of 20 ms: the last overwrites the oldest (the first frame's long time since start).
  for (int i = 0; i <= 101; ++i)
  {
    sNow = 200.0 + 0.02 * i;
    g->BeginFrame();
  }
  g->drawn.clear();
  fps->Draw(*g);
  ASSERT_EQ(g->Calls("DoDrawText").size(), 4u); // back end name, label, two read-outs
  EXPECT_EQ(g->Calls("DoDrawText")[2].text, "50.00 FPS");
  EXPECT_EQ(g->Calls("DoDrawText")[3].text, "20.00 ms");

  g->AttachControl(new RecordingControl(IRECT(0, 0, 400, 300))); // below the display

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

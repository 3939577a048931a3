// Bitmap and SVG controls beyond the frame rules: the bitmap button, bitmap text, the SVG button, a knob given a
// new document, the SVG background, the sliders' horizontal layouts and the rotating knobs' angles. Sizes and
// offsets are worked out by hand from the layout rules.

#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
#include "controls/support/ClockedFixture.h"
#include "controls/support/ImageGraphics.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::ClockedFixture;
using plugin::igraphics::test::Doc;
using plugin::igraphics::test::ImageGraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Args = std::vector<double>;

struct ImageControlsTest : ClockedFixture<ImageGraphics>
{
  std::vector<std::unique_ptr<APIBitmap>> own;

  ImageControlsTest() : ClockedFixture(2) {}
  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(1)->InitBool("On", false);
    ClockedFixture::SetUp();
    g = std::make_unique<ImageGraphics>(dlg, 400, 300);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  IBitmap Make(int w, int h, int frames, bool horizontal = false)
  {
    own.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(own.back().get(), frames, horizontal, "");
  }
  // The arguments of every call op while drawing c (the first n of each).
  std::vector<Args> All(IControl* c, const char* op = "DrawBitmap", size_t n = 6)
  {
    g->drawn.clear();
    c->Draw(*g);
    std::vector<Args> out;
    for (const auto& call : g->Calls(op))
      out.emplace_back(call.a.begin(), call.a.begin() + long(std::min(n, call.a.size())));
    return out;
  }
};

} // namespace

TEST_F(ImageControlsTest, BitmapButtonShowsItsLastFrameUntilItsClickAnimationEnds)
{
  // Two stacked 40 × 40 frames, centred in the bounds; the default action animates the press for 100 ms.
  int ended = 0;
  auto* b = Attach(new IBButtonControl(IRECT(0, 0, 100, 100), Make(40, 80, 2)));
  b->SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  EXPECT_EQ(b->GetRECT(), IRECT(30, 30, 70, 70));
  EXPECT_EQ(All(b), (std::vector<Args>{{30, 30, 70, 70, 0, 0}}));
  g->OnMouseDown({IMouseInfo{50, 50, 0, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{50, 50, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(All(b), (std::vector<Args>{{30, 30, 70, 70, 0, 40}}));
  Frame(0.05);
  EXPECT_TRUE(b->IsDirty());
  Frame(0.06);
  EXPECT_EQ((std::tuple{b->GetValue(), ended}), (std::tuple{0.0, 1}));
  EXPECT_EQ(All(b), (std::vector<Args>{{30, 30, 70, 70, 0, 0}}));
  b->SetClean();
  EXPECT_FALSE(b->IsDirty()); // the animation is over
}

TEST_F(ImageControlsTest, BitmapTextDrawsOneFramePerCharacterAndRescalesItsFont)
{
  // 96 stacked 8 × 10 cells (frame k: code k + 31), right-aligned, advance 8 + 2, vertically centred.
  g->bitmaps[{"font.png", 1}] = {8, 960};
  g->bitmaps[{"font.png", 2}] = {16, 1920};
  const IText right(14.f, COLOR_BLACK, "Roboto-Regular", kAlignFar);
  auto* t = Attach(new IBTextControl(IRECT(0, 0, 100, 30), g->LoadBitmap("font.png", 96, false, 1), right, "A!", 8, 10,
                                     2, false, true, kBlendDefault));
  EXPECT_EQ(All(t), (std::vector<Args>{{84, 10, 92, 20, 0, 330}, {94, 10, 102, 20, 0, 10}}));
  EXPECT_TRUE(g->Calls("PathFill").empty()); // no background
  t->SetStr(nullptr);
  EXPECT_TRUE(All(t).empty());

  // A new screen scale reloads the font at that scale; the cells stay in points.
  g->SetScreenScale(2.f);
  EXPECT_EQ((std::tuple{t->GetBitmap().GetScale(), t->GetBitmap().W, t->GetBitmap().N}), (std::tuple{2.f, 8, 96}));
  t->SetStr("A");
  EXPECT_EQ(All(t, "DrawBitmap", 4), (std::vector<Args>{{92, 10, 100, 20}}));
}

TEST_F(ImageControlsTest, SVGButtonsKnobsAndSlidersDrawTheDocumentForTheirValue)
{
  // A button shows its on image above 0.5 only.
  auto* b = Attach(new ISVGButtonControl(IRECT(0, 0, 20, 20), nullptr, Doc(1, 1), Doc(2, 1)));
  for (const auto& [value, image] : {std::pair{0.0, 1.0}, {0.5, 1.0}, {0.51, 2.0}, {1.0, 2.0}})
  {
    b->SetValue(value);
    EXPECT_EQ(All(b, "DrawSVG", 1), std::vector<Args>{{image}}) << value;
  }

  // Knobs turn -135..135 (SVG) and -130..130 (bitmap) degrees about the centre; a new document is drawn at once.
  auto* rot = Attach(new IBKnobRotaterControl(IRECT(0, 0, 60, 60), Make(30, 30, 1), 0));
  auto* svgKnob = Attach(new ISVGKnobControl(IRECT(10, 10, 50, 90), Doc(7, 7), -1));
  for (const auto& [value, bitmapAngle, svgAngle] :
       {std::tuple{0.0, -130.0, -135.0}, {0.5, 0.0, 0.0}, {1.0, 130.0, 135.0}})
  {
    rot->SetValue(value);
    svgKnob->SetValue(value);
    EXPECT_EQ(All(rot, "DrawRotatedBitmap"), (std::vector<Args>{{30, 30, bitmapAngle}}));
    EXPECT_EQ(All(svgKnob, "DrawRotatedSVG"), (std::vector<Args>{{7, 30, 50, 40, 80, svgAngle}}));
  }
  svgKnob->SetClean();
  svgKnob->ReplaceImage(Doc(9, 9));
  EXPECT_TRUE(svgKnob->IsDirty());
  EXPECT_EQ(All(svgKnob, "DrawRotatedSVG", 1), std::vector<Args>{{9}});

  // Horizontal SVG slider: a 200 × 20 track and a 10 × 20 handle in 200 × 50; at 0.5 the handle sits at 95.
  auto* sh = Attach(new ISVGSliderControl(IRECT(0, 0, 200, 50), Doc(10, 20), Doc(200, 20), -1, kHorizontal));
  EXPECT_EQ((std::tuple{sh->GetTrackImageBounds(), sh->HandleRectForValue(1.0), sh->HandleRectForValue(0.0)}),
            (std::tuple{IRECT(0, 15, 200, 35), IRECT(190, 15, 200, 35), IRECT(0, 15, 10, 35)}));
  sh->SetValue(0.5);
  EXPECT_EQ(All(sh, "DrawSVG", 5), (std::vector<Args>{{200, 0, 15, 200, 35}, {10, 95, 15, 105, 35}}));
}

TEST_F(ImageControlsTest, AHorizontalBitmapSliderDrawsItsTrackFirstAndItsHandleAlongIt)
{
  // Handle 10 × 30, track 180 × 20 centred in 200 × 40: the track is the travel, value 1 at the right.
  auto* h = Attach(new IBSliderControl(IRECT(0, 0, 200, 40), Make(10, 30, 1), Make(180, 20, 1), 0, kHorizontal));
  EXPECT_EQ(h->GetTrackBounds(), IRECT(10, 10, 190, 30));
  EXPECT_EQ(h->HandleRectForValue(1.0), IRECT(180, 10, 190, 40));
  h->SetValue(0.5);
  const std::vector<Args> d = All(h, "DrawBitmap", 7);
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0], (Args{10, 10, 190, 30, 0, 0, 180})); // the track's first frame
  EXPECT_EQ(d[1], (Args{95, 10, 105, 40, 0, 0, 10}));  // the handle half way

  // Without a track bitmap the track is as tall as the handle bitmap, centred in the control.
  auto* bare = Attach(new IBSliderControl(IRECT(0, 100, 200, 160), Make(10, 30, 1), IBitmap(), 0, kHorizontal));
  EXPECT_EQ(bare->GetTrackBounds(), IRECT(0, 115, 200, 145));
  EXPECT_EQ(All(bare, "DrawBitmap").size(), 1u); // no track drawn
}

TEST_F(ImageControlsTest, AnSVGBackgroundCoversTheEditorBehindEveryControlAndIsDrawnThroughItsLayer)
{
  g->svgs["bg.svg"] = Doc(40, 30);
  auto* first = Attach(new ISVGButtonControl(IRECT(0, 0, 20, 20), nullptr, Doc(1, 1), Doc(2, 1)));
  g->AttachSVGBackground("bg.svg");
  ASSERT_EQ(g->NControls(), 2);
  EXPECT_EQ(g->GetControl(1), first);
  auto* bg = dynamic_cast<ISVGControl*>(g->GetControl(0));
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->GetRECT(), IRECT(0, 0, 400, 300));
  // Into its layer without blend, then the layer's image over the editor.
  EXPECT_EQ(All(bg, "DrawSVG"), (std::vector<Args>{{40, 0, 0, 400, 300, -1}}));
  EXPECT_EQ(g->Calls("DrawBitmap").size(), 1u);
  EXPECT_TRUE(All(bg, "DrawSVG").empty()); // the layer is reused
}

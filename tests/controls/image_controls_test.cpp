#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Args = std::vector<double>;

// Resources from tables; rotated bitmaps and SVG draws recorded (documents told apart by their width).
class ImageGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;
  std::map<std::pair<std::string, int>, std::pair<int, int>> bitmaps; // (name, scale) → pixels
  std::map<std::string, ISVG> svgs;
  std::vector<std::unique_ptr<APIBitmap>> images;

  IBitmap LoadBitmap(const char* name, int n, bool horizontal, int targetScale) override
  {
    const auto it = bitmaps.find({name, std::max(targetScale, 1)});
    if (it == bitmaps.end()) return IBitmap(nullptr, n, horizontal, name);
    images.push_back(std::make_unique<APIBitmap>(1, it->second.first, it->second.second, float(it->first.second), 1.f));
    return IBitmap(images.back().get(), n, horizontal, name);
  }
  ISVG LoadSVG(const char* name, const char*, float) override { return svgs.count(name) ? svgs[name] : ISVG(); }
  void DrawRotatedBitmap(const IBitmap&, float cx, float cy, double angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedBitmap", {cx, cy, angle}, "", COLOR_BLACK});
  }
  void DrawSVG(const ISVG& svg, const IRECT& r, const IBlend*) override
  {
    drawn.push_back({"DrawSVG", {svg.W(), r.L, r.T, r.R, r.B}, "", COLOR_BLACK});
  }
  void DrawRotatedSVG(const ISVG& svg, float cx, float cy, float w, float h, float angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedSVG", {svg.W(), cx, cy, w, h, angle}, "", COLOR_BLACK});
  }
};

ISVG Doc(float w, float h)
{
  auto doc = std::make_shared<SVGDocument>();
  doc->width = w;
  doc->height = h;
  return ISVG(doc);
}

struct ImageControlsTest : ::testing::Test
{
  RecordingDelegate dlg{2}; // 0: integer 0..5 (six states), 1: 0..1
  std::unique_ptr<ImageGraphics> g;
  std::vector<std::unique_ptr<APIBitmap>> own;

  void SetUp() override
  {
    dlg.GetParam(0)->InitInt("Mode", 0, 0, 5);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ImageGraphics>(dlg, 400, 300);
  }
  IBitmap Make(int w, int h, int frames, bool horizontal = false)
  {
    own.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(own.back().get(), frames, horizontal, "");
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
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

TEST_F(ImageControlsTest, BitmapFramesFollowTheValue)
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

TEST_F(ImageControlsTest, SwitchesStepByTheirImagesAndNeverPickOneThatIsMissing)
{
  // Bitmap switches step by their frames, whatever the six states parameter 0 gives the base.
  for (const auto& [frames, clicks] : {std::pair{4, Args{1.0 / 3, 2.0 / 3, 1.0, 0.0}}, {1, Args{1.0, 0.0, 1.0}}})
  {
    auto* s = Attach(new IBSwitchControl(0, 0, Make(20, 20 * frames, frames), 0));
    EXPECT_EQ(s->NStates(), 6);
    for (double expected : clicks)
    {
      s->OnMouseDown(5, 5, IMouseMod());
      EXPECT_NEAR(s->GetValue(), expected, 1e-12) << frames;
      EXPECT_LT(Last(s)[5], 20.0 * frames);
    }
  }
  auto* s = Attach(new IBSwitchControl(IRECT(0, 0, 100, 100), Make(20, 60, 3), -1));
  EXPECT_EQ(s->GetRECT(), IRECT(40, 40, 60, 60));
  s->SetValue(0.5005); // a hair past 1 after the step is kept, then the next click wraps
  s->OnMouseDown(0, 0, IMouseMod());
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
  s->OnMouseDown(0, 0, IMouseMod());
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.0);

  // SVG switch: images 0, 1, 2 for 0, 0.5, 1 and 1 for 0.74; linked to six states it still shows only its three.
  auto* v = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0, 1), Doc(1, 1), Doc(2, 1)}, -1));
  for (const auto& [value, image] : {std::pair{0.0, 0.0}, {0.5, 1.0}, {1.0, 2.0}, {0.74, 1.0}})
  {
    v->SetValue(value);
    EXPECT_EQ(Last(v, "DrawSVG", 1), Args{image}) << value;
  }
  auto* linked = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0, 1), Doc(1, 1), Doc(2, 1)}, 0));
  EXPECT_EQ(linked->NStates(), 6);
  for (int click = 0; click < 7; ++click, linked->OnMouseDown(1, 1, IMouseMod()))
    EXPECT_LE(Last(linked, "DrawSVG", 1).at(0), 2.0) << click;
  auto* none = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), std::vector<ISVG>{}, -1));
  none->OnMouseDown(1, 1, IMouseMod());
  EXPECT_TRUE(Last(none, "DrawSVG").empty());
}

TEST_F(ImageControlsTest, KnobsAndSlidersPlaceAndTurnTheirImages)
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

TEST_F(ImageControlsTest, EmptyImagesAndBoundsDrawFiniteCoordinates)
{
  std::vector<IControl*> controls = {
      Attach(new IBitmapControl(0, 0, IBitmap(), 1)),
      Attach(new IBKnobControl(IRECT(), Make(3, 0, 5, true), 1)),
      Attach(new IBSliderControl(IRECT(5, 5, 5, 5), IBitmap(), IBitmap(), 1, kVertical)),
      Attach(new IBKnobRotaterControl(IRECT(), IBitmap(), 1)),
      Attach(new IBSwitchControl(IRECT(), Make(0, 0, 0), 0)),
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

TEST_F(ImageControlsTest, RescaleAndBackgrounds)
{
  g->bitmaps[{"knob.png", 1}] = {40, 400};
  g->bitmaps[{"knob.png", 2}] = {80, 800};
  g->bitmaps[{"handle.png", 1}] = {20, 10};
  auto* k = Attach(new IBKnobControl(IRECT(0, 0, 40, 40), g->LoadBitmap("knob.png", 10, false, 1), 1));
  auto* s = Attach(new IBSliderControl(IRECT(0, 0, 20, 100), g->LoadBitmap("handle.png", 1, false, 1), IBitmap(), 1));
  g->SetScreenScale(2.f);
  EXPECT_EQ((std::tuple{k->GetBitmap().GetScale(), k->GetBitmap().W, k->GetBitmap().N}), (std::tuple{2.f, 40, 10}));
  EXPECT_TRUE(s->GetBitmap().IsValid()); // no scale-2 handle: the one held stays

  // Backgrounds go to index 0: drawn first, hit last.
  g->svgs["bg.svg"] = Doc(9, 9);
  g->AttachSVGBackground("bg.svg");
  auto* svgBg = dynamic_cast<ISVGControl*>(g->GetControl(0));
  ASSERT_NE(svgBg, nullptr);
  EXPECT_EQ(Last(svgBg, "DrawSVG", 5), (Args{9, 0, 0, 400, 300}));
  g->AttachBackground("knob.png");
  auto* bmpBg = dynamic_cast<IBitmapControl*>(g->GetControl(0));
  ASSERT_NE(bmpBg, nullptr);
  EXPECT_EQ((std::tuple{bmpBg->GetRECT(), g->GetControl(1), g->NControls()}),
            (std::tuple{IRECT(0, 0, 40, 400), static_cast<IControl*>(svgBg), 4}));
}

#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// Records SVG draws; documents are told apart by their width.
class SVGGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  std::map<std::string, ISVG> svgs;
  std::map<std::string, IBitmap> bitmaps;

  void DrawSVG(const ISVG& svg, const IRECT& r, const IBlend* blend) override
  {
    drawn.push_back({"DrawSVG", {svg.W(), r.L, r.T, r.R, r.B, blend ? blend->weight : -1.0}, "", COLOR_BLACK});
  }
  void DrawRotatedSVG(const ISVG& svg, float cx, float cy, float w, float h, float angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedSVG", {svg.W(), cx, cy, w, h, angle}, "", COLOR_BLACK});
  }
  ISVG LoadSVG(const char* name, const char*, float) override
  {
    const auto it = svgs.find(name);
    return it == svgs.end() ? ISVG() : it->second;
  }
  IBitmap LoadBitmap(const char* name, int, bool, int) override
  {
    const auto it = bitmaps.find(name);
    return it == bitmaps.end() ? IBitmap() : it->second;
  }
};

ISVG Doc(float w, float h)
{
  auto doc = std::make_shared<SVGDocument>();
  doc->width = w;
  doc->height = h;
  return ISVG(doc);
}

struct SVGControlsTest : ::testing::Test
{
  // 0: integer 0..5 (six states)
  RecordingDelegate dlg{1};
  std::unique_ptr<SVGGraphics> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitInt("Mode", 0, 0, 5);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<SVGGraphics>(dlg, 400, 300);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  std::vector<double> DrawOne(IControl* c, const char* op = "DrawSVG")
  {
    g->drawn.clear();
    c->Draw(*g);
    const auto calls = g->Calls(op);
    return calls.empty() ? std::vector<double>{} : calls.back().a;
  }
};

} // namespace

TEST_F(SVGControlsTest, ButtonKnobAndSwitchPickTheirImages)
{
  auto* b = Attach(new ISVGButtonControl(IRECT(0, 0, 20, 20), nullptr, Doc(1, 1), Doc(2, 1)));
  for (const auto& [value, image] : {std::pair{0.0, 1.0}, {0.5, 1.0}, {0.51, 2.0}, {1.0, 2.0}})
  {
    b->SetValue(value);
    EXPECT_EQ(DrawOne(b)[0], image) << value;
  }

  auto* k = Attach(new ISVGKnobControl(IRECT(10, 10, 50, 90), Doc(7, 7), -1));
  for (const auto& [value, angle] : {std::pair{0.0, -135.0}, {0.5, 0.0}, {1.0, 135.0}, {double(NAN), -135.0}})
  {
    k->SetValue(value);
    EXPECT_EQ(DrawOne(k, "DrawRotatedSVG"), (std::vector<double>{7, 30, 50, 40, 80, angle})) << value;
  }
  // Vertical drag at gearing 4 over the 80-point height.
  k->SetValue(0.0);
  k->OnMouseDown(30, 50, IMouseMod());
  k->OnMouseDrag(30, 30, 0, -80, IMouseMod());
  EXPECT_NEAR(k->GetValue(), 0.25, 1e-9);
  k->ReplaceImage(Doc(8, 8));
  EXPECT_EQ(DrawOne(k, "DrawRotatedSVG")[0], 8.0);

  auto* s = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0.5f, 1), Doc(1.5f, 1), Doc(2.5f, 1)}, -1));
  EXPECT_EQ(s->NStates(), 3);
  for (const auto& [value, index] : {std::pair{0.0, 0}, {0.5, 1}, {1.0, 2}, {0.74, 1}})
  {
    s->SetValue(value);
    EXPECT_EQ(DrawOne(s)[0], index + 0.5) << value;
  }
  // Clicks step through the three images and wrap.
  s->SetValue(0.0);
  for (double expected : {1.5, 2.5, 0.5})
  {
    s->OnMouseDown(1, 1, IMouseMod());
    EXPECT_EQ(DrawOne(s)[0], expected);
  }
}

TEST_F(SVGControlsTest, SwitchWithMoreStatesThanImagesShowsOnlyImagesThatExist)
{
  // Linked to a six-state parameter, the switch has six states after attach but only three images.
  auto* s = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), {Doc(0.5f, 1), Doc(1.5f, 1), Doc(2.5f, 1)}, 0));
  EXPECT_EQ(s->NStates(), 6);
  for (int click = 0; click < 7; ++click)
  {
    const auto a = DrawOne(s);
    ASSERT_EQ(a.size(), 6u);
    EXPECT_GE(a[0], 0.5);
    EXPECT_LE(a[0], 2.5);
    s->OnMouseDown(1, 1, IMouseMod());
  }
  s->SetValue(1.0);
  EXPECT_EQ(s->ImageIndexForValue(1.0), 2);

  // No image at all: nothing drawn, clicks harmless.
  auto* none = Attach(new ISVGSwitchControl(IRECT(0, 0, 10, 10), std::vector<ISVG>{}, -1));
  none->OnMouseDown(1, 1, IMouseMod());
  EXPECT_TRUE(DrawOne(none).empty());
  EXPECT_EQ(none->ImageIndexForValue(0.5), -1);
}

TEST_F(SVGControlsTest, SliderLayout)
{
  // Vertical: track 20 × 200 and handle 40 × 20 in a 100 × 100 control: track 10 × 100, handle 20 × 10.
  auto* v = Attach(new ISVGSliderControl(IRECT(0, 0, 100, 100), Doc(40, 20), Doc(20, 200), -1, kVertical));
  EXPECT_EQ(v->GetTrackImageBounds(), IRECT(45, 0, 55, 100));
  EXPECT_EQ(v->HandleRectForValue(1.0), IRECT(40, 0, 60, 10));
  EXPECT_EQ(v->HandleRectForValue(0.0), IRECT(40, 90, 60, 100));
  EXPECT_EQ(v->GetTrackBounds(), IRECT(45, 10, 55, 100));

  // Horizontal: a 200 × 20 track and a 10 × 20 handle in a 200 × 50 control.
  auto* h = Attach(new ISVGSliderControl(IRECT(0, 0, 200, 50), Doc(10, 20), Doc(200, 20), -1, kHorizontal));
  EXPECT_EQ(h->GetTrackImageBounds(), IRECT(0, 15, 200, 35));
  EXPECT_EQ(h->HandleRectForValue(1.0), IRECT(190, 15, 200, 35));
  EXPECT_EQ(h->HandleRectForValue(0.0), IRECT(0, 15, 10, 35));
  h->SetValue(0.5);
  g->drawn.clear();
  h->Draw(*g);
  const auto d = g->Calls("DrawSVG");
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].a[0], 200.0); // the track first
  EXPECT_EQ((std::vector<double>(d[1].a.begin() + 1, d[1].a.begin() + 5)), (std::vector<double>{95, 15, 105, 35}));
}

TEST_F(SVGControlsTest, DocumentsAndBoundsWithoutSizeLayOutFinite)
{
  for (EDirection dir : {kVertical, kHorizontal})
    for (const IRECT& r : {IRECT(), IRECT(5, 5, 5, 5), IRECT(0, 0, 100, 100)})
      for (const ISVG& doc : {ISVG(), Doc(0, 0), Doc(10, 0), Doc(0, 10)})
      {
        auto* c = Attach(new ISVGSliderControl(r, doc, doc, -1, dir));
        auto* k = Attach(new ISVGKnobControl(r, doc, -1));
        for (double value : {0.0, 1.0, double(NAN)})
        {
          c->SetValue(value);
          k->SetValue(value);
          g->drawn.clear();
          c->Draw(*g);
          k->Draw(*g);
          ASSERT_EQ(g->drawn.size(), 3u);
          for (const auto& call : g->drawn)
            for (double x : call.a)
              EXPECT_TRUE(std::isfinite(x)) << call.op << " direction " << dir;
        }
      }
}

TEST_F(SVGControlsTest, BackgroundsGoFirstInTheList)
{
  auto* top = Attach(new ISVGControl(IRECT(0, 0, 50, 50), Doc(3, 3)));
  g->svgs["bg.svg"] = Doc(9, 9);
  g->AttachSVGBackground("bg.svg");
  ASSERT_EQ(g->NControls(), 2);
  EXPECT_EQ(g->GetControl(1), top);
  auto* bg = dynamic_cast<ISVGControl*>(g->GetControl(0));
  ASSERT_NE(bg, nullptr);
  EXPECT_TRUE(bg->GetUseLayer());
  EXPECT_EQ(bg->GetRECT(), IRECT(0, 0, 400, 300));
  EXPECT_EQ(DrawOne(bg), (std::vector<double>{9, 0, 0, 400, 300, 1}));

  APIBitmap image(1, 120, 80, 1.f, 1.f);
  g->bitmaps["bg.png"] = IBitmap(&image, 1, false, "bg.png");
  g->AttachBackground("bg.png");
  ASSERT_EQ(g->NControls(), 3);
  auto* bmp = dynamic_cast<IBitmapControl*>(g->GetControl(0));
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->GetRECT(), IRECT(0, 0, 120, 80));
  EXPECT_EQ(bmp->GetUI(), g.get());
  EXPECT_EQ(g->GetControl(1), bg);
}

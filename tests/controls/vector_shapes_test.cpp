// The vector base: how MakeRects divides a control into label, widget and value, and the pressable shapes it
// draws (rectangle and ellipse with emboss, the turned triangle, the click splash), recorded as primitives and
// compared with rectangles and corners worked out by hand from the drawing rules.

#include "controls/IVectorBase.h"
#include "controls/support/VectorFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

using Prims = std::vector<PrimitiveRecorder::Prim>;

const IColor kFGColor(255, 200, 200, 200), kPRColor(255, 240, 240, 240), kFRColor(255, 70, 70, 70),
    kHLColor(10, 0, 0, 0), kSHColor(60, 0, 0, 0);
// Dimmed by 63 on red, green and blue.
const IColor kFGDim(255, 137, 137, 137), kPRDim(255, 177, 177, 177), kSHDim(60, 0, 0, 0);

struct VectorShapesTest : VectorFixture
{
  Prims Shape(VectorProbe& c, int shape, const IRECT& r, bool pressed, bool over, bool disabled)
  {
    g->Reset();
    c.DrawPressableShape(*g, shape, r, pressed, over, disabled);
    return g->prims;
  }
};

// (op, colour, rectangle) of each primitive, for comparing whole drawings.
using Step = std::tuple<std::string, IColor, IRECT>;
std::vector<Step> Steps(const Prims& p)
{
  std::vector<Step> out;
  for (const auto& q : p)
    out.emplace_back(q.op, q.color, q.r);
  return out;
}

} // namespace

// ---- Layout ----

TEST_F(VectorShapesTest, MakeRectsDividesBoundsIntoLabelWidgetAndValue)
{
  // Label "Gain" measures 28 × 10; value "12" measures 14 × 8, so its half width is 14 × 0.66.
  struct Case
  {
    const char* name;
    const char* label;
    int vAlign;
    bool handle;
    IRECT click, label_, widget, value;
  };
  const float hw = 14.f * 0.66f;
  const Case cases[] = {
      {"no label", "", kVAlignMiddle, false, {0, 0, 100, 100}, {}, {0, 0, 100, 100}, {50 - hw, 46, 50 + hw, 54}},
      {"middle",
       "Gain",
       kVAlignMiddle,
       false,
       {0, 10, 100, 100},
       {36, 0, 64, 10},
       {0, 10, 100, 100},
       {50 - hw, 51, 50 + hw, 59}},
      {"top",
       "Gain",
       kVAlignTop,
       false,
       {0, 10, 100, 100},
       {36, 0, 64, 10},
       {0, 18, 100, 100},
       {50 - hw, 10, 50 + hw, 18}},
      {"bottom",
       "Gain",
       kVAlignBottom,
       false,
       {0, 10, 100, 100},
       {36, 0, 64, 10},
       {0, 10, 100, 92},
       {50 - hw, 92, 50 + hw, 100}},
      // frame 2 and shadow 3 come off the clickable area
      {"handle",
       "Gain",
       kVAlignMiddle,
       true,
       {0, 10, 100, 100},
       {36, 0, 64, 10},
       {4, 11, 96, 96},
       {50 - hw, 51, 50 + hw, 59}},
  };
  for (const Case& c : cases)
  {
    IVStyle s;
    s.labelText.mSize = 10.f;
    s.valueText.mSize = 8.f;
    s.valueText.mVAlign = c.vAlign;
    s.frameThickness = 2.f;
    s.shadowOffset = 3.f;
    auto* ctl = Attach(new VectorProbe(s, c.label, "12"));
    const IRECT click = ctl->MakeRects(IRECT(0, 0, 100, 100), c.handle);
    EXPECT_TRUE(Near(click, c.click)) << c.name;
    EXPECT_TRUE(Near(ctl->GetLabelBounds(), c.label_)) << c.name;
    EXPECT_TRUE(Near(ctl->GetWidgetBounds(), c.widget)) << c.name;
    EXPECT_TRUE(Near(ctl->GetValueBounds(), c.value)) << c.name;
  }

  // An alignment outside top..bottom leaves the widget and value where they were.
  IVStyle odd;
  odd.showLabel = false;
  odd.valueText.mVAlign = 7;
  auto* ctl = Attach(new VectorProbe(odd, "", "12"));
  ctl->SetWidgetBounds(IRECT(1, 2, 3, 4));
  ctl->MakeRects(IRECT(0, 0, 100, 100));
  EXPECT_TRUE(Near(ctl->GetWidgetBounds(), {1, 2, 3, 4}));

  // A plain vector part has no widget of its own to draw.
  g->Reset();
  ctl->DrawWidget(*g);
  EXPECT_TRUE(g->prims.empty() && g->drawn.empty());
}

// ---- Rectangles and ellipses, plain and embossed ----

TEST_F(VectorShapesTest, EmbossedAndPlainShapesFillTheirLayersInOrder)
{
  // Bounds 0,0,60,40, shadow offset 3, no frame and no drop shadow: handle = bounds, centre = bounds inset by 3,
  // shadow = bounds moved by (3, 3) (pressed: the handle less 3 at its top and left).
  const IRECT b(0, 0, 60, 40), centre(3, 3, 57, 37), shadow(3, 3, 63, 43), pressedShadow(3, 3, 60, 40);
  struct Case
  {
    const char* what;
    int shape;
    bool emboss, pressed, over, disabled;
    std::vector<Step> steps;
  };
  const std::string R = "FillRoundRect", E = "FillEllipse";
  const Case cases[] = {
      {"embossed rectangle",
       kVShapeRectangle,
       true,
       false,
       true,
       false,
       {{R, kPRColor, b}, {R, kSHColor, shadow}, {R, kFGColor, centre}, {R, kHLColor, centre}}},
      {"embossed rectangle, disabled",
       kVShapeRectangle,
       true,
       false,
       false,
       true,
       {{R, kPRDim, b}, {R, kSHDim, shadow}, {R, kFGDim, centre}}},
      {"embossed rectangle, pressed",
       kVShapeRectangle,
       true,
       true,
       false,
       true,
       {{R, kPRColor, b}, {R, kSHColor, b}, {R, kFGDim, pressedShadow}, {R, kPRColor, centre}}},
      {"embossed ellipse",
       kVShapeEllipse,
       true,
       false,
       true,
       false,
       {{E, kPRColor, b}, {E, kSHColor, shadow}, {E, kFGColor, centre}, {E, kHLColor, centre}}},
      {"embossed ellipse, pressed",
       kVShapeEllipse,
       true,
       true,
       false,
       true,
       {{E, kPRColor, b}, {E, kSHColor, b}, {E, kFGDim, pressedShadow}, {E, kPRDim, centre}}},
      {"ellipse, pressed", kVShapeEllipse, false, true, true, true, {{E, kPRDim, b}}},
      {"ellipse, hovered", kVShapeEllipse, false, false, true, false, {{E, kFGColor, b}, {E, kHLColor, b}}},
  };
  for (const Case& c : cases)
  {
    IVStyle s = Plain();
    s.emboss = c.emboss;
    VectorProbe probe(s, "", "", b);
    EXPECT_EQ(Steps(Shape(probe, c.shape, b, c.pressed, c.over, c.disabled)), c.steps) << c.what;
  }

  // With the drop shadow, an ellipse casts it only when neither pressed nor disabled; the frame goes round last.
  VectorProbe shadowed(DEFAULT_STYLE, "", "", b);
  EXPECT_EQ(Steps(Shape(shadowed, kVShapeEllipse, b, false, false, false)),
            (std::vector<Step>{{E, kSHColor, shadow}, {E, kFGColor, b}, {"DrawEllipse", kFRColor, b}}));
  EXPECT_EQ(Steps(Shape(shadowed, kVShapeEllipse, b, false, false, true)),
            (std::vector<Step>{{E, kFGDim, b}, {"DrawEllipse", kFRColor, b}}));
}

// ---- Triangles ----

TEST_F(VectorShapesTest, TriangleTurnsAboutItsCentreAndCastsItsShadowUnlessPressed)
{
  IVStyle style = Plain();
  style.angle = 90.f;
  VectorProbe t(style, "", "", IRECT(0, 0, 60, 60));
  // Turned a quarter clockwise, the apex moves from the top to the right edge.
  Prims p = Shape(t, kVShapeTriangle, t.GetRECT(), false, false, false);
  ASSERT_EQ(p.size(), 1u);
  const std::vector<float> turned{0, 0, 60, 30, 0, 60};
  ASSERT_EQ(p[0].a.size(), 6u);
  for (size_t i = 0; i < 6; ++i)
    EXPECT_NEAR(p[0].a[i], turned[i], 1e-4) << i;

  // Default style, unturned: handle = bounds inset by 0.5, less the shadow offset at left, right and bottom, so
  // (3.5, 0.5, 56.5, 56.5) with its centre at x 30. Shadow +3 in the shadow colour; fill; hover; frame.
  VectorProbe d(DEFAULT_STYLE, "", "", IRECT(0, 0, 60, 60));
  p = Shape(d, kVShapeTriangle, d.GetRECT(), false, true, false);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(
      (std::tuple{p[0].op, p[0].color, p[0].a}),
      (std::tuple{std::string("FillTriangle"), kSHColor, std::vector<float>{6.5f, 59.5f, 33, 3.5f, 59.5f, 59.5f}}));
  EXPECT_EQ((std::tuple{p[1].color, p[1].a}),
            (std::tuple{kFGColor, std::vector<float>{3.5f, 56.5f, 30, 0.5f, 56.5f, 56.5f}}));
  EXPECT_EQ((std::tuple{p[2].color, p[3].op, p[3].color, p[3].a.back()}),
            (std::tuple{kHLColor, std::string("DrawTriangle"), kFRColor, 1.f}));

  // Pressed and disabled: no shadow, the pressed colour dimmed; while animating, the splash in the current clip.
  d.SetSplashPoint(20, 30);
  d.SetSplashRadius(7);
  d.SetAnimation([](IControl*) {});
  p = Shape(d, kVShapeTriangle, d.GetRECT(), true, false, true);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ((std::tuple{p[0].op, p[0].color}), (std::tuple{std::string("FillTriangle"), kPRDim}));
  EXPECT_EQ((std::tuple{p[1].op, p[1].color, p[1].a}),
            (std::tuple{std::string("FillCircle"), kHLColor, std::vector<float>{20, 30, 7}}));
  EXPECT_EQ(p[2].op, "DrawTriangle");
}

TEST_F(VectorShapesTest, PressedShapesSplashFromTheSplashPointWhileAnimating)
{
  VectorProbe c(Plain(), "", "", IRECT(0, 0, 100, 100));
  c.SetSplashPoint(40, 50);
  c.SetSplashRadius(12);
  EXPECT_TRUE(Steps(Shape(c, kVShapeRectangle, c.GetRECT(), true, false, false)).size() == 1u) << "not animating";
  c.SetAnimation([](IControl*) {});
  for (int shape : {kVShapeRectangle, kVShapeEllipse})
  {
    const Prims p = Shape(c, shape, c.GetRECT(), true, false, false);
    ASSERT_EQ(p.size(), 2u) << shape;
    EXPECT_EQ((std::tuple{p[1].op, p[1].color, p[1].a}),
              (std::tuple{std::string("FillCircle"), kHLColor, std::vector<float>{40, 50, 12}}));
  }
}

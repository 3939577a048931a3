#include "controls/IVectorBase.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

struct TestVControl : IControl, IVectorBase
{
  explicit TestVControl(const IRECT& r, const IVStyle& style = DEFAULT_STYLE) : IControl(r), IVectorBase(style)
  {
    AttachIControl(this, "label");
  }
  void Draw(IGraphics&) override {}
};

// One painted path: its paint, the box of its line points and its count of rounded corners.
struct Paint
{
  std::string op;
  IColor color;
  IRECT box;
  int arcs = 0;
};

std::vector<Paint> Paints(const ScriptedGraphics& g)
{
  std::vector<Paint> out;
  Paint cur;
  bool any = false;
  for (const auto& c : g.drawn)
  {
    const float x = c.a.size() > 3 ? float(c.a[2]) : 0.f, y = c.a.size() > 3 ? float(c.a[3]) : 0.f;
    if (c.op == "PathClear")
      any = false, cur.arcs = 0;
    else if (c.op == "PathMoveTo" || c.op == "PathLineTo")
    {
      cur.box =
          any ? IRECT(std::min(cur.box.L, x), std::min(cur.box.T, y), std::max(cur.box.R, x), std::max(cur.box.B, y))
              : IRECT(x, y, x, y);
      any = true;
    }
    else if (c.op == "PathArc" && c.a[2] > 0.0)
      ++cur.arcs;
    else if (c.op == "PathFill" || c.op == "PathStroke")
      out.push_back({c.op, c.color, cur.box, cur.arcs});
  }
  return out;
}

struct VectorBaseTest : ::testing::Test
{
  RecordingDelegate dlg{0};
  ScriptedGraphics g{dlg, 300, 300};
  std::vector<Paint> Shape(TestVControl& c, int shape, const IRECT& r, bool pressed, bool over, bool disabled)
  {
    g.drawn.clear();
    c.DrawPressableShape(g, shape, r, pressed, over, disabled);
    return Paints(g);
  }
};

} // namespace

TEST_F(VectorBaseTest, ColourSpecBoundsAndDimming)
{
  const IVColorSpec spec{COLOR_RED, COLOR_GREEN, COLOR_BLUE};
  EXPECT_EQ(spec.GetColor(42), COLOR_RED); // no read past the table

  EXPECT_EQ(DimmedColor({255, 200, 200, 200}, true), IColor(255, 137, 137, 137));
  EXPECT_EQ(DimmedColor({128, 62, 63, 64}, true), IColor(128, 0, 0, 1));
  EXPECT_EQ(DimmedColor({128, 62, 63, 64}, false), IColor(128, 62, 63, 64));
  TestVControl c(IRECT(0, 0, 100, 50));
  EXPECT_EQ(Shape(c, kVShapeRectangle, c.GetRECT(), false, false, true)[1].color, IColor(255, 137, 137, 137));
}

TEST_F(VectorBaseTest, RectangleShadowsCornersAndUnknownShapes)
{
  // Frame 1, shadow offset 3: handle = bounds inset by 0.5, then 2 × 3 narrower and 3 shorter, top unmoved; the
  // shadow is the handle moved by (3, 3).
  const IRECT r(10, 20, 110, 70);
  TestVControl c(r);
  auto p = Shape(c, kVShapeRectangle, r, false, false, false);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ((std::tuple{p[0].color, p[0].box}), (std::tuple{IColor(60, 0, 0, 0), IRECT(16.5f, 23.5f, 109.5f, 69.5f)}));
  EXPECT_EQ((std::tuple{p[1].color, p[1].box}),
            (std::tuple{IColor(255, 200, 200, 200), IRECT(13.5f, 20.5f, 106.5f, 66.5f)}));
  EXPECT_EQ((std::tuple{p[2].op, p[2].box}), (std::tuple{std::string("PathStroke"), p[1].box}));
  for (const auto& q : p)
    EXPECT_EQ(q.arcs, 0) << "roundness 0: square corners whatever the flags";

  IVStyle style;
  style.roundness = 0.5f;
  style.drawShadows = false;
  TestVControl round(r, style);
  EXPECT_EQ(Shape(round, kVShapeEndsRounded, r, false, false, false)[0].arcs, 2);
  p = Shape(round, kVShapeAllRounded, r, true, true, false);
  EXPECT_EQ((std::tuple{p[0].arcs, p[0].color}), (std::tuple{4, IColor(255, 240, 240, 240)}));

  for (int shape : {5, 9, -1})
    EXPECT_TRUE(Shape(c, shape, r, false, true, false).empty()) << shape;
}

TEST_F(VectorBaseTest, TriangleTurnsAboutItsCentre)
{
  IVStyle style;
  style.drawShadows = style.drawFrame = false;
  style.angle = 90.f;
  TestVControl t(IRECT(0, 0, 60, 60), style);
  Shape(t, kVShapeTriangle, t.GetRECT(), false, false, false);
  const auto tip = g.Calls("PathLineTo").at(0).a; // the apex, turned from the top to the right edge
  EXPECT_NEAR(tip[0], 60.0, 1e-4);
  EXPECT_NEAR(tip[1], 30.0, 1e-4);
}

TEST_F(VectorBaseTest, LabelValueAndSplash)
{
  TestVControl c(IRECT(0, 0, 100, 100));
  c.SetValueStr("0.5 dB");
  c.DrawLabel(g); // no label rectangle yet
  EXPECT_TRUE(g.Calls("DoDrawText").empty());
  c.SetLabelBounds(IRECT(0, 0, 100, 20));
  c.SetValueBounds(IRECT(0, 80, 100, 100));
  c.DrawLabel(g);
  c.DrawValue(g, true);
  const auto texts = g.Calls("DoDrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ((std::tuple{texts[0].text, texts[0].a[4], texts[1].text, texts[1].a[4]}),
            (std::tuple{std::string("label"), 19.0, std::string("0.5 dB"), 14.0}));
  EXPECT_EQ(Paints(g).at(0).box, IRECT(0, 80, 100, 100)); // hover tint

  // Pressed while animating: the splash circle at the splash point.
  c.SetSplashPoint(40, 50);
  c.SetSplashRadius(12);
  c.SetAnimation([](IControl*) {});
  Shape(c, kVShapeRectangle, c.GetRECT(), true, false, false);
  const auto arc = g.Calls("PathArc").at(0).a;
  EXPECT_EQ((std::vector<double>(arc.begin(), arc.begin() + 3)), (std::vector<double>{40, 50, 12}));
}

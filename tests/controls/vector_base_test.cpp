#include "controls/IVectorBase.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// A vector control that only offers the mix-in's drawing to the tests.
class TestVControl : public IControl, public IVectorBase
{
public:
  explicit TestVControl(const IRECT& r, const IVStyle& style = DEFAULT_STYLE) : IControl(r), IVectorBase(style)
  {
    AttachIControl(this, "label");
  }
  void Draw(IGraphics&) override {}
};

// One painted path: what it was painted with, the box of its line points and its count of rounded corners.
struct Paint
{
  std::string op; // "fill" or "stroke"
  IColor color;
  IRECT box;
  int arcs = 0;
};

std::vector<Paint> Paints(const ScriptedGraphics& g)
{
  std::vector<Paint> out;
  bool any = false;
  IRECT box;
  int arcs = 0;
  auto add = [&](float x, float y)
  {
    box =
        any ? IRECT(std::min(box.L, x), std::min(box.T, y), std::max(box.R, x), std::max(box.B, y)) : IRECT(x, y, x, y);
    any = true;
  };
  for (const auto& c : g.drawn)
  {
    if (c.op == "PathClear")
      any = false, arcs = 0;
    else if (c.op == "PathMoveTo" || c.op == "PathLineTo")
      add(float(c.a[2]), float(c.a[3]));
    else if (c.op == "PathArc" && c.a[2] > 0.0)
      ++arcs;
    else if (c.op == "PathFill" || c.op == "PathStroke")
      out.push_back({c.op == "PathFill" ? "fill" : "stroke", c.color, box, arcs});
  }
  return out;
}

struct Editor
{
  RecordingDelegate dlg{0};
  ScriptedGraphics g{dlg, 300, 300};
};

} // namespace

TEST(IVectorBase, ColourSpecAndDimming)
{
  // Three listed colours; the other six keep the defaults of their roles.
  const IVColorSpec spec{COLOR_RED, COLOR_GREEN, COLOR_BLUE};
  const IColor expected[9] = {COLOR_RED,     COLOR_GREEN,    COLOR_BLUE,       {255, 70, 70, 70}, {10, 0, 0, 0},
                              {60, 0, 0, 0}, {255, 0, 0, 0}, {255, 0, 255, 0}, {255, 0, 0, 255}};
  for (int i = 0; i < kNumVColors; ++i)
    EXPECT_EQ(spec.GetColor(i), expected[i]) << i;
  EXPECT_EQ(IVColorSpec{}.GetColor(kFG), IColor(255, 200, 200, 200));
  EXPECT_EQ(spec.GetColor(42), spec.GetColor(kBG)); // a role that does not exist is no read past the table

  EXPECT_EQ(DimmedColor({255, 200, 200, 200}, true), IColor(255, 137, 137, 137));
  EXPECT_EQ(DimmedColor({128, 62, 63, 64}, true), IColor(128, 0, 0, 1));
  EXPECT_EQ(DimmedColor({128, 62, 63, 64}, false), IColor(128, 62, 63, 64));

  // A disabled control fills its handle with the dimmed foreground.
  Editor e;
  TestVControl c(IRECT(0, 0, 100, 50));
  c.DrawPressableShape(e.g, kVShapeRectangle, c.GetRECT(), false, false, true);
  bool dimmed = false;
  for (const auto& p : Paints(e.g))
    dimmed |= p.op == "fill" && p.color == IColor(255, 137, 137, 137);
  EXPECT_TRUE(dimmed);
}

TEST(IVectorBase, RectangleGeometryShadowsAndCorners)
{
  Editor e;
  const IRECT r(10, 20, 110, 70);
  {
    // Default style: frame 1, shadow offset 3. Handle = bounds inset by 0.5, then narrower by 2 × 3 and shorter by 3
    // with its top edge unmoved; shadow = handle moved right and down by 3.
    TestVControl c(r);
    c.DrawPressableShape(e.g, kVShapeRectangle, r, false, false, false);
    const auto p = Paints(e.g);
    ASSERT_EQ(p.size(), 3u); // shadow, handle, frame
    EXPECT_EQ(p[0].color, IColor(60, 0, 0, 0));
    EXPECT_EQ(p[0].box, IRECT(16.5f, 23.5f, 109.5f, 69.5f));
    EXPECT_EQ(p[1].color, IColor(255, 200, 200, 200));
    EXPECT_EQ(p[1].box, IRECT(13.5f, 20.5f, 106.5f, 66.5f));
    EXPECT_EQ(p[2].op, "stroke");
    EXPECT_EQ(p[2].box, p[1].box);
    for (const auto& q : p)
      EXPECT_EQ(q.arcs, 0) << "roundness 0 gives square corners whatever the flags";
  }
  {
    // Rounded on the first two corners only (shape 3): two arcs per path.
    IVStyle style;
    style.roundness = 0.5f;
    style.drawShadows = false;
    TestVControl c(r, style);
    e.g.drawn.clear();
    c.DrawPressableShape(e.g, kVShapeEndsRounded, r, false, false, false);
    auto p = Paints(e.g);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].arcs, 2);
    e.g.drawn.clear();
    c.DrawPressableShape(e.g, kVShapeAllRounded, r, true, true, false);
    p = Paints(e.g);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].arcs, 4);
    EXPECT_EQ(p[0].color, IColor(255, 240, 240, 240)); // pressed colour
  }
}

TEST(IVectorBase, ShapesHoverAndUnknownShapes)
{
  Editor e;
  TestVControl c(IRECT(0, 0, 60, 60));
  for (int shape : {5, 9, -1})
  {
    e.g.drawn.clear();
    c.DrawPressableShape(e.g, shape, c.GetRECT(), false, true, false);
    EXPECT_TRUE(e.g.drawn.empty()) << shape;
  }

  // Ellipse under the mouse: shadow, body, highlight, frame.
  e.g.drawn.clear();
  c.DrawPressableShape(e.g, kVShapeEllipse, c.GetRECT(), false, true, false);
  auto p = Paints(e.g);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[2].color, IColor(10, 0, 0, 0));

  // A triangle turned by 90° points right: its tip is at the middle of the right edge of the handle.
  IVStyle style;
  style.drawShadows = false;
  style.drawFrame = false;
  style.angle = 90.f;
  TestVControl t(IRECT(0, 0, 60, 60), style);
  e.g.drawn.clear();
  t.DrawPressableShape(e.g, kVShapeTriangle, t.GetRECT(), false, false, false);
  const auto pts = e.g.Calls("PathLineTo");
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_NEAR(pts[0].a[0], 60.0, 1e-4);
  EXPECT_NEAR(pts[0].a[1], 30.0, 1e-4);
}

TEST(IVectorBase, LabelValueAndSplash)
{
  Editor e;
  TestVControl c(IRECT(0, 0, 100, 100));
  c.SetValueStr("0.5 dB");
  c.SetLabelStr(nullptr);
  EXPECT_STREQ(c.GetLabelStr(), "");
  c.SetLabelStr("Gain");
  c.DrawLabel(e.g); // no label rectangle yet: nothing
  EXPECT_TRUE(e.g.Calls("DoDrawText").empty());
  c.SetLabelBounds(IRECT(0, 0, 100, 20));
  c.SetValueBounds(IRECT(0, 80, 100, 100));
  c.DrawLabel(e.g);
  c.DrawValue(e.g, true);
  const auto texts = e.g.Calls("DoDrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Gain");
  EXPECT_EQ(texts[0].a[4], 19.0);
  EXPECT_EQ(texts[1].text, "0.5 dB");
  EXPECT_EQ(texts[1].a[4], 14.0);
  ASSERT_EQ(Paints(e.g).size(), 1u); // the hover tint of the value
  EXPECT_EQ(Paints(e.g)[0].box, IRECT(0, 80, 100, 100));

  // A pressed shape while the control animates paints the splash circle, clipped to the handle.
  c.SetSplashPoint(40, 50);
  c.SetSplashRadius(12);
  c.SetAnimation([](IControl*) {});
  e.g.drawn.clear();
  c.DrawPressableShape(e.g, kVShapeRectangle, c.GetRECT(), true, false, false);
  const auto arcs = e.g.Calls("PathArc");
  ASSERT_EQ(arcs.size(), 1u);
  EXPECT_EQ((std::vector<double>(arcs[0].a.begin(), arcs[0].a.begin() + 3)), (std::vector<double>{40, 50, 12}));
}

// SVG documents drawn through the path operations of the recording back end. Geometry is checked by replaying
// the recorded calls into Cairo and comparing with Cairo filling the same figures written out by hand.

#include "support/ScriptedGraphics.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Doubles = std::vector<double>;

namespace
{

constexpr int kW = 200;
using Figure = std::function<void(cairo_t*)>;

ISVG Doc(const std::string& body, int w = 100, int h = 100)
{
  const std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) + "\" height=\"" +
                           std::to_string(h) + "\">" + body + "</svg>";
  return ParseSVG(text.data(), text.size());
}

std::vector<uint8_t> Fill(const Figure& figure, cairo_fill_rule_t rule, const char* png = nullptr)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kW);
  cairo_t* cr = cairo_create(s);
  figure(cr);
  cairo_set_fill_rule(cr, rule);
  cairo_fill(cr);
  cairo_surface_flush(s);
  if (png) cairo_surface_write_to_png(s, png);
  std::vector<uint8_t> out;
  for (int y = 0; y < kW; ++y)
    for (int x = 0; x < kW; ++x)
      out.push_back(cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + x]);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return out;
}

// The sub-paths of each recorded fill in device space; a sub-path marked as a hole is turned to wind against the
// solid ones, as a back end keeping per-path windings does, so that a non-zero fill shows the holes.
std::vector<Figure> Replay(const std::vector<ScriptedGraphics::DrawCall>& calls)
{
  std::vector<Figure> out;
  std::vector<Doubles> subs;
  IMatrix m;
  for (const auto& c : calls)
  {
    if (c.op == "SetMatrix") m = IMatrix(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
    if (c.op == "PathClear") subs.clear();
    if (c.op == "PathMoveTo") subs.emplace_back();
    for (size_t i = 0; (c.op == "PathMoveTo" || c.op == "PathCubicBezierTo") && i < (c.op == "PathMoveTo" ? 2 : 6); i += 2)
    {
      double x = c.a[i], y = c.a[i + 1];
      m.TransformPoint(x, y);
      subs.back().insert(subs.back().end(), {x, y});
    }
    if (c.op == "PathSetWinding")
    {
      Doubles& p = subs.back();
      double area = 0;
      for (size_t i = 0; i < p.size(); i += 2)
        area += p[i] * p[(i + 3) % p.size()] - p[(i + 2) % p.size()] * p[i + 1];
      if ((area < 0) != (c.a[0] != 0))
        for (size_t i = 0, j = p.size() - 2; i < j; i += 2, j -= 2)
          std::swap(p[i], p[j]), std::swap(p[i + 1], p[j + 1]);
    }
    if (c.op == "PathFill")
      out.push_back([subs](cairo_t* cr) {
        for (const Doubles& p : subs)
        {
          cairo_move_to(cr, p[0], p[1]);
          for (size_t i = 2; i + 5 < p.size(); i += 6)
            cairo_curve_to(cr, p[i], p[i + 1], p[i + 2], p[i + 3], p[i + 4], p[i + 5]);
          cairo_close_path(cr);
        }
      });
  }
  return out;
}

struct SvgDrawTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, kW, kW);
};

} // namespace

TEST_F(SvgDrawTest, ShapesHolesAndTransformsFillLikeCairo)
{
  g->DrawSVG(Doc(R"svg(<circle cx="30" cy="30" r="20"/>
    <path fill-rule="evenodd" d="M10 60 H50 V95 H10 Z M20 70 V85 H40 V70 Z"/>
    <g transform="translate(60 10) rotate(30)"><rect width="30" height="10"/></g>
    <path d="M60 60 H95 V95 H60 Z M70 70 H85 V85 H70 Z M75 75 H80 V80 H75 Z"/>)svg"),
             IRECT(0, 0, 200, 200));
  const std::vector<Figure> want = {
      [](cairo_t* cr) { cairo_arc(cr, 60, 60, 40, 0, 2 * M_PI); },
      [](cairo_t* cr) { cairo_rectangle(cr, 20, 120, 80, 70), cairo_rectangle(cr, 40, 140, 40, 30); },
      [](cairo_t* cr) { cairo_translate(cr, 120, 20), cairo_rotate(cr, M_PI / 6), cairo_rectangle(cr, 0, 0, 60, 20); },
      // A square with a hole, and an island in the hole.
      [](cairo_t* cr) {
        cairo_rectangle(cr, 120, 120, 70, 70), cairo_rectangle(cr, 140, 140, 30, 30);
        cairo_rectangle(cr, 150, 150, 10, 10);
      }};
  const auto got = Replay(g->drawn);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
  {
    const auto a = Fill(got[i], CAIRO_FILL_RULE_WINDING), b = Fill(want[i], CAIRO_FILL_RULE_EVEN_ODD);
    int differing = 0, covered = 0;
    for (size_t k = 0; k < a.size(); ++k)
      differing += std::abs(a[k] - b[k]) > 24, covered += b[k] > 127;
    EXPECT_GT(covered, 400);
    EXPECT_LE(differing, 12) << "shape " << i;
    if (differing > 12) Fill(got[i], CAIRO_FILL_RULE_WINDING, ("svg_draw_shape" + std::to_string(i) + ".png").c_str());
  }
  EXPECT_EQ(g->Calls("PathSetWinding").size(), 7u);
  EXPECT_EQ(g->fillOptions.at(0).mFillRule, kFillPreserveWinding);
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
}

TEST_F(SvgDrawTest, PlacementRotationAndNothingWithoutArea)
{
  // 100 × 50 into 200 × 200: scale 2 at the top left, (0, 0, 200, 100).
  g->DrawSVG(Doc(R"svg(<rect width="100" height="50"/>)svg", 100, 50), IRECT(0, 0, 200, 200));
  const auto moves = g->Calls("PathMoveTo");
  const auto curves = g->Calls("PathCubicBezierTo");
  ASSERT_EQ(curves.size(), 4u);
  EXPECT_EQ((Doubles{moves[0].a[2], moves[0].a[3]}), (Doubles{0, 0}));
  EXPECT_EQ(g->Calls("SetMatrix").at(1).a, (Doubles{2, 0, 0, 2, 0, 0}));
  EXPECT_EQ((Doubles{curves[1].a[4], curves[1].a[5]}), (Doubles{100, 50}));

  // Rotated 90° in a 20 × 20 box about (50, 50): the document's top-left corner lands at (60, 40).
  const ISVG square = Doc(R"svg(<rect width="10" height="10"/>)svg", 10, 10);
  g->drawn.clear();
  g->DrawRotatedSVG(square, 50, 50, 20, 20, 90);
  EXPECT_NEAR(g->Calls("PathMoveTo").at(0).a[2], 60, 1e-4);
  EXPECT_NEAR(g->Calls("PathMoveTo").at(0).a[3], 40, 1e-4);

  auto flat = std::make_shared<SVGDocument>(*square.Document());
  flat->width = 0;
  g->drawn.clear();
  for (const IRECT& r : {IRECT(0, 0, 0, 50), IRECT(0, 0, NAN, 50), IRECT(0, 0, -20, -20)})
    g->DrawSVG(square, r);
  g->DrawSVG(ISVG(flat), IRECT(0, 0, 50, 50));
  g->DrawRotatedSVG(square, 10, 10, 0, 0, 45);
  EXPECT_TRUE(g->Calls("PathMoveTo").empty());
  for (const auto& c : g->Calls("SetMatrix"))
    EXPECT_TRUE(std::isfinite(c.a[0])) << "no transform from a zero size";
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
}

TEST_F(SvgDrawTest, PaintsCarryOpacitiesSpreadsStopsAndStrokeSettings)
{
  std::string many;
  for (int i = 0; i < 20; ++i)
    many += "<stop offset=\"" + std::to_string(i / 19.0) + "\"/>";
  g->DrawSVG(Doc(R"svg(<defs><linearGradient id="g" spreadMethod="reflect">
      <stop offset="0" stop-color="#204060" stop-opacity="0.5"/><stop offset="1" stop-color="#fff"/></linearGradient>
      <radialGradient id="r" spreadMethod="repeat" gradientUnits="userSpaceOnUse" cx="50" cy="40" r="20">)svg" +
                     many + R"svg(</radialGradient></defs>
    <rect width="10" height="10" fill="#ff8000" opacity="0.5" fill-opacity="0.5" stroke="#0080ff"
          stroke-opacity="0.25" stroke-width="3" stroke-miterlimit="7" stroke-linecap="round"
          stroke-linejoin="bevel" stroke-dasharray="4 2 1" stroke-dashoffset="1.5"/>
    <rect width="10" height="10" fill="url(#g)" opacity="0.5"/>
    <rect width="10" height="10" fill="url(#r)"/>
    <rect width="10" height="10" fill="#fff" visibility="hidden"/>)svg"),
             IRECT(0, 0, 100, 100));
  ASSERT_EQ(g->patterns.size(), 4u);
  auto argb = [](const IColor& c) { return Doubles{std::round(c.A / 4.0), double(c.R), double(c.G), double(c.B)}; };
  EXPECT_EQ(argb(g->patterns[0].GetStop(0).mColor), (Doubles{16, 255, 128, 0})); // ½ × ½ of 255, in fours
  EXPECT_EQ(argb(g->patterns[1].GetStop(0).mColor), (Doubles{8, 0, 128, 255}));  // ½ × ¼
  const IPattern& lin = g->patterns[2];
  EXPECT_EQ((Doubles{double(lin.mType), double(lin.mExtend)}), (Doubles{kLinearPattern, kExtendReflect}));
  EXPECT_EQ(argb(lin.GetStop(0).mColor), (Doubles{16, 0x20, 0x40, 0x60})); // ½ × stop ½
  EXPECT_EQ(argb(lin.GetStop(1).mColor), (Doubles{32, 255, 255, 255}));
  const IPattern& rad = g->patterns[3];
  EXPECT_EQ((Doubles{double(rad.mType), double(rad.mExtend), double(rad.NStops())}),
            (Doubles{kRadialPattern, kExtendRepeat, 16}));
  double x = 70, y = 40; // on the gradient's circle: on the unit circle of gradient space
  rad.mTransform.TransformPoint(x, y);
  EXPECT_NEAR(std::hypot(x, y), 1, 1e-5);

  EXPECT_TRUE(g->fillOptions[0].mPreserve);
  EXPECT_FALSE(g->fillOptions[1].mPreserve);
  const IStrokeOptions& s = g->strokeOptions.at(0);
  EXPECT_EQ(g->Calls("PathStroke").at(0).a[0], 3);
  EXPECT_EQ((Doubles{s.mMiterLimit, double(s.mCapOption), double(s.mJoinOption), s.mDash.mOffset}),
            (Doubles{7, kCapRound, kJoinBevel, 1.5}));
  EXPECT_EQ(Doubles(s.mDash.mArray, s.mDash.mArray + s.mDash.mCount), (Doubles{4, 2, 1, 4, 2, 1}));
}

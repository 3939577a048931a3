// SVG documents drawn through the path operations of the recording back end. Geometry is checked by replaying
// the recorded path calls into Cairo and comparing with Cairo filling the same figures written out by hand.

#include "support/ScriptedGraphics.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Doubles = std::vector<double>;
constexpr int kW = 200, kH = 200;

ISVG Doc(const std::string& body, int w = 100, int h = 100)
{
  const std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) +
                           "\" height=\"" + std::to_string(h) + "\">" + body + "</svg>";
  return ParseSVG(text.data(), text.size());
}

struct Coverage
{
  std::vector<uint8_t> px;
  uint8_t At(int x, int y) const { return px[size_t(y) * kW + x]; }
};

Coverage Fill(const std::function<void(cairo_t*)>& figure, cairo_fill_rule_t rule)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
  cairo_t* cr = cairo_create(s);
  figure(cr);
  cairo_set_fill_rule(cr, rule);
  cairo_fill(cr);
  cairo_surface_flush(s);
  Coverage c;
  c.px.resize(size_t(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      c.px[size_t(y) * kW + x] = cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + x];
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return c;
}

// The recorded fills replayed into Cairo, one coverage per PathFill. A sub-path marked as a hole is turned to wind
// against the solid ones, as a back end keeping per-path windings does, and the whole is filled non-zero.
std::vector<Coverage> Replay(const std::vector<ScriptedGraphics::DrawCall>& calls)
{
  struct Sub
  {
    std::vector<double> pts; // device x, y: a start point, then groups of three
    bool hole = false;
  };
  std::vector<Coverage> out;
  std::vector<Sub> subs;
  IMatrix m;
  auto dev = [&](std::vector<double>& v, double x, double y) {
    m.TransformPoint(x, y);
    v.push_back(x);
    v.push_back(y);
  };
  for (const auto& c : calls)
  {
    if (c.op == "SetMatrix") m = IMatrix(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
    else if (c.op == "PathClear") subs.clear();
    else if (c.op == "PathMoveTo") subs.push_back({}), dev(subs.back().pts, c.a[0], c.a[1]);
    else if (c.op == "PathCubicBezierTo")
      for (int i = 0; i < 6; i += 2)
        dev(subs.back().pts, c.a[i], c.a[i + 1]);
    else if (c.op == "PathSetWinding") subs.back().hole = c.a[0] != 0;
    else if (c.op == "PathFill")
      out.push_back(Fill(
          [&](cairo_t* cr) {
            for (Sub s : subs)
            {
              double area = 0;
              const size_t n = s.pts.size() / 2;
              for (size_t i = 0; i < n; ++i)
                area += s.pts[2 * i] * s.pts[2 * ((i + 1) % n) + 1] - s.pts[2 * ((i + 1) % n)] * s.pts[2 * i + 1];
              if ((area < 0) != s.hole)
              {
                std::vector<double> r;
                for (size_t i = n; i-- > 0;)
                  r.push_back(s.pts[2 * i]), r.push_back(s.pts[2 * i + 1]);
                s.pts = r;
              }
              cairo_move_to(cr, s.pts[0], s.pts[1]);
              for (size_t i = 1; i + 2 < n; i += 3)
                cairo_curve_to(cr, s.pts[2 * i], s.pts[2 * i + 1], s.pts[2 * i + 2], s.pts[2 * i + 3],
                               s.pts[2 * i + 4], s.pts[2 * i + 5]);
              cairo_close_path(cr);
            }
          },
          CAIRO_FILL_RULE_WINDING));
  }
  return out;
}

// Pixels whose coverage differs by more than a few levels (curves may be split differently).
int Differing(const Coverage& a, const Coverage& b)
{
  int n = 0;
  for (size_t i = 0; i < a.px.size(); ++i)
    n += std::abs(int(a.px[i]) - int(b.px[i])) > 24 ? 1 : 0;
  return n;
}

int Covered(const Coverage& a)
{
  int n = 0;
  for (uint8_t v : a.px)
    n += v > 127 ? 1 : 0;
  return n;
}

void SavePng(const Coverage& c, const std::string& name)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + x] = c.At(x, y);
  cairo_surface_mark_dirty(s);
  cairo_surface_write_to_png(s, name.c_str());
  cairo_surface_destroy(s);
}

struct SvgDrawTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, kW, kH);
};

} // namespace

TEST_F(SvgDrawTest, ShapesHolesAndTransformsFillLikeCairo)
{
  const ISVG svg = Doc(R"svg(
    <circle cx="30" cy="30" r="20" fill="#f00"/>
    <path fill-rule="evenodd" d="M10 60 H50 V95 H10 Z M20 70 V85 H40 V70 Z" fill="#0f0"/>
    <g transform="translate(60 10) rotate(30)"><rect x="0" y="0" width="30" height="10" fill="#00f"/></g>
    <path d="M60 60 L95 60 L95 95 L60 95 Z M70 70 L85 70 L85 85 L70 85 Z M75 75 L80 75 L80 80 L75 80 Z" fill="#000"/>
  )svg");
  ASSERT_TRUE(svg);
  g->DrawSVG(svg, IRECT(0, 0, 200, 200));
  const auto got = Replay(g->drawn);
  ASSERT_EQ(got.size(), 4u);

  // The same figures at scale 2, as Cairo draws them from the document's numbers.
  const std::vector<std::function<void(cairo_t*)>> want = {
      [](cairo_t* cr) { cairo_arc(cr, 60, 60, 40, 0, 2 * M_PI); },
      [](cairo_t* cr) {
        cairo_rectangle(cr, 20, 120, 80, 70);
        cairo_rectangle(cr, 40, 140, 40, 30);
      },
      [](cairo_t* cr) {
        cairo_translate(cr, 120, 20);
        cairo_rotate(cr, 30 * M_PI / 180);
        cairo_rectangle(cr, 0, 0, 60, 20);
      },
      [](cairo_t* cr) {
        // Outer square, a hole, and an island inside the hole.
        cairo_rectangle(cr, 120, 120, 70, 70);
        cairo_rectangle(cr, 140, 140, 30, 30);
        cairo_rectangle(cr, 150, 150, 10, 10);
      },
  };
  for (size_t i = 0; i < want.size(); ++i)
  {
    const Coverage ref = Fill(want[i], CAIRO_FILL_RULE_EVEN_ODD);
    const int diff = Differing(got[i], ref);
    EXPECT_LE(diff, 12) << "shape " << i << " of " << Covered(ref) << " pixels";
    EXPECT_GT(Covered(got[i]), 400) << i;
    if (diff > 12)
    {
      SavePng(got[i], "svg_draw_shape" + std::to_string(i) + ".png");
      SavePng(ref, "svg_draw_shape" + std::to_string(i) + "_ref.png");
    }
  }
  // The hole test marks exactly the inner sub-paths.
  std::vector<double> holes;
  for (const auto& c : g->Calls("PathSetWinding"))
    holes.push_back(c.a[0]);
  EXPECT_EQ(holes, (Doubles{0, 0, 1, 0, 0, 1, 0}));
  for (const IFillOptions& o : g->fillOptions)
    EXPECT_EQ(o.mFillRule, kFillPreserveWinding);
  // The caller's transform is back.
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
  EXPECT_EQ(g->matrix.mXX, 1.0);
}

TEST_F(SvgDrawTest, DocumentKeepsItsAspectAtTheTopLeftOfTheBounds)
{
  const ISVG svg = Doc(R"(<rect width="100" height="50" fill="#123456"/>)", 100, 50);
  g->DrawSVG(svg, IRECT(0, 0, 200, 200));
  double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
  IMatrix m;
  for (const auto& c : g->drawn)
  {
    if (c.op == "SetMatrix") m = IMatrix(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
    if (c.op != "PathMoveTo" && c.op != "PathCubicBezierTo") continue;
    for (size_t i = 0; i + 1 < (c.op == "PathMoveTo" ? 2 : c.a.size()); i += 2)
    {
      double x = c.a[i], y = c.a[i + 1];
      m.TransformPoint(x, y);
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  EXPECT_EQ((Doubles{minX, minY, maxX, maxY}), (Doubles{0, 0, 200, 100}));

  // Rotated by 90° in a 20 × 20 box about (50, 50): the document's top-left corner lands at (60, 40).
  const ISVG square = Doc(R"(<rect width="10" height="10"/>)", 10, 10);
  g->drawn.clear();
  g->DrawRotatedSVG(square, 50, 50, 20, 20, 90);
  const auto moves = g->Calls("PathMoveTo");
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_NEAR(moves[0].a[2], 60, 1e-4);
  EXPECT_NEAR(moves[0].a[3], 40, 1e-4);
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
}

TEST_F(SvgDrawTest, NothingIsDrawnWithoutAreaOrDocument)
{
  const ISVG svg = Doc(R"(<rect width="10" height="10"/>)", 10, 10);
  g->drawn.clear();
  g->DrawSVG(svg, IRECT(0, 0, 0, 50));
  g->DrawSVG(svg, IRECT(10, 10, 10, 10));
  g->DrawSVG(svg, IRECT(0, 0, NAN, 50));
  g->DrawSVG(svg, IRECT(0, 0, -20, -20));
  g->DrawSVG(ISVG(), IRECT(0, 0, 50, 50));
  g->DrawRotatedSVG(svg, 10, 10, 0, 0, 45);
  // A document of no size.
  auto flat = std::make_shared<SVGDocument>(*svg.Document());
  flat->width = 0;
  g->DrawSVG(ISVG(flat), IRECT(0, 0, 50, 50));
  for (const auto& c : g->drawn)
  {
    EXPECT_NE(c.op, "PathMoveTo");
    EXPECT_NE(c.op, "PathFill");
    if (c.op != "SetMatrix") continue;
    for (double v : c.a)
      EXPECT_TRUE(std::isfinite(v));
  }
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
}

TEST_F(SvgDrawTest, OpacitiesReachSolidColoursAndGradientStops)
{
  const ISVG svg = Doc(R"svg(
    <defs><linearGradient id="g"><stop offset="0" stop-color="#204060" stop-opacity="0.5"/>
      <stop offset="1" stop-color="#fff"/></linearGradient></defs>
    <rect width="10" height="10" fill="#ff8000" opacity="0.5" fill-opacity="0.5"
          stroke="#0080ff" stroke-opacity="0.25"/>
    <rect width="10" height="10" fill="url(#g)" opacity="0.5"/>
    <rect width="10" height="10" fill="#010203"/>
    <rect width="10" height="10" fill="#fff" visibility="hidden"/>
  )svg");
  g->DrawSVG(svg, IRECT(0, 0, 100, 100));
  ASSERT_EQ(g->patterns.size(), 4u);
  auto near = [](const IColor& c, Doubles want) {
    EXPECT_NEAR(c.A, want[0], 1);
    EXPECT_EQ((Doubles{double(c.R), double(c.G), double(c.B)}), (Doubles{want[1], want[2], want[3]}));
  };
  near(g->patterns[0].GetStop(0).mColor, {64, 255, 128, 0});   // ½ × ½
  near(g->patterns[1].GetStop(0).mColor, {32, 0, 128, 255});   // ½ × ¼
  EXPECT_EQ(g->patterns[2].mType, kLinearPattern);
  near(g->patterns[2].GetStop(0).mColor, {64, 0x20, 0x40, 0x60}); // ½ × stop ½
  near(g->patterns[2].GetStop(1).mColor, {128, 255, 255, 255});
  near(g->patterns[3].GetStop(0).mColor, {255, 1, 2, 3});
  // The fill keeps the path for the stroke that follows it.
  EXPECT_TRUE(g->fillOptions[0].mPreserve);
  EXPECT_FALSE(g->fillOptions[1].mPreserve);
}

TEST_F(SvgDrawTest, GradientsKeepSpreadTransformAndSixteenStops)
{
  std::string stops;
  for (int i = 0; i < 20; ++i)
    stops += "<stop offset=\"" + std::to_string(i / 19.0) + "\" stop-color=\"#" + (i % 2 ? "fff" : "000") + "\"/>";
  const ISVG svg = Doc(R"svg(<defs>
      <linearGradient id="many" gradientUnits="userSpaceOnUse" x1="0" y1="0" x2="0" y2="10">)svg" + stops +
                       R"svg(</linearGradient>
      <linearGradient id="refl" spreadMethod="reflect"><stop offset="0"/><stop offset="1"/></linearGradient>
      <radialGradient id="rep" spreadMethod="repeat" gradientUnits="userSpaceOnUse" cx="50" cy="40" r="20">
        <stop offset="0"/><stop offset="1"/></radialGradient></defs>
    <rect width="10" height="10" fill="url(#many)"/>
    <rect width="10" height="10" fill="url(#refl)"/>
    <rect width="10" height="10" fill="url(#rep)"/>)svg");
  g->DrawSVG(svg, IRECT(0, 0, 100, 100));
  ASSERT_EQ(g->patterns.size(), 3u);
  const IPattern& many = g->patterns[0];
  EXPECT_EQ(many.NStops(), 16);
  EXPECT_NEAR(many.GetStop(15).mOffset, 15 / 19.0, 1e-4);
  EXPECT_EQ(many.mExtend, kExtendPad);
  // Drawing space to gradient space: the gradient's end (0, 10) is at offset 1.
  double x = 0, y = 10;
  many.mTransform.TransformPoint(x, y);
  EXPECT_NEAR(y, 1, 1e-5);
  EXPECT_EQ(g->patterns[1].mExtend, kExtendReflect);
  const IPattern& rep = g->patterns[2];
  EXPECT_EQ(rep.mType, kRadialPattern);
  EXPECT_EQ(rep.mExtend, kExtendRepeat);
  // The radial gradient's circle becomes the unit circle.
  x = 70, y = 40;
  rep.mTransform.TransformPoint(x, y);
  EXPECT_NEAR(std::hypot(x, y), 1, 1e-5);
}

TEST_F(SvgDrawTest, StrokesCarryWidthMiterCapJoinAndDashes)
{
  const ISVG svg = Doc(R"svg(
    <path d="M10 10 L90 10" fill="none" stroke="#000" stroke-width="3" stroke-miterlimit="7"
          stroke-linecap="round" stroke-linejoin="bevel" stroke-dasharray="4 2 1" stroke-dashoffset="1.5"/>
    <polyline points="10 20 50 60 90 20" fill="none" stroke="#000" stroke-linecap="square"
              stroke-linejoin="round"/>)svg");
  g->DrawSVG(svg, IRECT(0, 0, 100, 100));
  ASSERT_EQ(g->strokeOptions.size(), 2u);
  EXPECT_TRUE(g->fillOptions.empty());
  const auto strokes = g->Calls("PathStroke");
  EXPECT_EQ(strokes[0].a[0], 3);
  const IStrokeOptions& a = g->strokeOptions[0];
  EXPECT_EQ(a.mMiterLimit, 7);
  EXPECT_EQ(a.mCapOption, kCapRound);
  EXPECT_EQ(a.mJoinOption, kJoinBevel);
  // An odd dash list is repeated to an even one.
  EXPECT_EQ(a.mDash.mCount, 6);
  EXPECT_EQ((Doubles{a.mDash.mArray[0], a.mDash.mArray[2], a.mDash.mArray[3], a.mDash.mArray[5]}),
            (Doubles{4, 1, 4, 1}));
  EXPECT_EQ(a.mDash.mOffset, 1.5f);
  EXPECT_FALSE(a.mPreserve);
  const IStrokeOptions& b = g->strokeOptions[1];
  EXPECT_EQ(b.mCapOption, kCapSquare);
  EXPECT_EQ(b.mJoinOption, kJoinRound);
  EXPECT_EQ(b.mDash.mCount, 0);
}

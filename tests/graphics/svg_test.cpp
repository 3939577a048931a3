// SVG documents parsed into the drawing model. Geometry is checked against bounds worked out by hand and against
// Cairo filling the same figures from the numbers of the documents, written out here as Cairo path calls.

#include "graphics/ISVG.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace plugin::igraphics;
namespace fs = std::filesystem;

namespace
{

constexpr double kPi = 3.14159265358979323846;

ISVG Load(const char* name)
{
  return ParseSVGFile((fs::path(ZANIQ_TEST_DATA) / "svg" / name).c_str());
}
ISVG FromText(const std::string& text, float dpi = 72.f)
{
  return ParseSVG(text.data(), text.size(), dpi);
}

using Figure = std::function<void(cairo_t*)>;

// Coverage (0..255 per pixel) of a figure filled by Cairo.
std::vector<uint8_t> Coverage(int w, int h, cairo_fill_rule_t rule, const Figure& figure)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t* cr = cairo_create(s);
  figure(cr);
  cairo_set_fill_rule(cr, rule);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out[y * w + x] = cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + x];
  cairo_surface_destroy(s);
  return out;
}

Figure Parsed(const SVGShape& shape)
{
  return [&shape](cairo_t* cr)
  {
    for (const SVGPath& p : shape.paths)
    {
      cairo_move_to(cr, p.pts[0], p.pts[1]);
      for (int i = 1; i + 2 < p.NPoints(); i += 3)
        cairo_curve_to(cr, p.pts[2 * i], p.pts[2 * i + 1], p.pts[2 * i + 2], p.pts[2 * i + 3], p.pts[2 * i + 4],
                       p.pts[2 * i + 5]);
      if (p.closed) cairo_close_path(cr);
    }
  };
}

// Differing coverage as a fraction of the reference's area. Past the limit both pictures go to one PNG (reference
// green, parsed red, agreement yellow) in the working folder.
double Mismatch(const SVGShape& shape, const Figure& reference, const char* name, int w = 400, int h = 100,
                cairo_fill_rule_t rule = CAIRO_FILL_RULE_WINDING)
{
  const auto ref = Coverage(w, h, rule, reference), ours = Coverage(w, h, rule, Parsed(shape));
  double diff = 0, area = 0;
  for (size_t i = 0; i < ref.size(); ++i)
  {
    diff += std::abs(ref[i] - ours[i]);
    area += ref[i];
  }
  const double mismatch = area > 0 ? diff / area : 1.0;
  if (mismatch > 0.01)
  {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    for (int i = 0; i < w * h; ++i)
      px[(i / w) * cairo_image_surface_get_stride(s) / 4 + i % w] = ours[i] << 16 | ref[i] << 8;
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, (std::string("svg_") + name + ".png").c_str());
    cairo_surface_destroy(s);
  }
  return mismatch;
}

// The arc of an rx × ry ellipse about (cx, cy), its axes turned by rot, from angle a0 to a1 (backwards when a1 is
// smaller), joined to the current point by a line as Cairo's arcs are.
void Ellipse(cairo_t* cr, double cx, double cy, double rx, double ry, double a0, double a1, double rot = 0)
{
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_rotate(cr, rot);
  cairo_scale(cr, rx, ry);
  (a1 >= a0 ? cairo_arc : cairo_arc_negative)(cr, 0, 0, 1, a0, a1);
  cairo_restore(cr);
}

void ExpectBounds(const float* b, std::vector<double> expected, const std::string& what)
{
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(b[i], expected[i], 0.02) << what << " bound " << i;
}

// Every number of a document finite and inside the coordinate limit; every path a whole number of cubics.
bool Sound(const SVGDocument& d)
{
  auto ok = [](float v) { return std::isfinite(v) && std::fabs(v) <= 1e7f; };
  bool good = ok(d.width) && ok(d.height) && d.width >= 0 && d.height >= 0;
  for (const SVGShape& s : d.shapes)
  {
    good = good && !s.paths.empty() && ok(s.strokeWidth) && ok(s.dashOffset) && s.opacity >= 0 && s.opacity <= 1;
    for (const SVGPaint* p : {&s.fill, &s.stroke})
      if (p->type == ESVGPaintType::LinearGradient || p->type == ESVGPaintType::RadialGradient)
        good = good && p->gradient.stops.size() >= 2 && std::all_of(p->gradient.xform, p->gradient.xform + 6, ok);
    for (const SVGPath& p : s.paths)
      good = good && p.NPoints() % 3 == 1 && std::all_of(p.pts.begin(), p.pts.end(), ok);
  }
  return good;
}

// Gradient space of a paint at a drawing point.
std::pair<double, double> GradientAt(const SVGPaint& p, double x, double y)
{
  const float* m = p.gradient.xform;
  return {m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5]};
}

} // namespace

TEST(SVG, BoundsAreCurveExtremesAndSubpathsStaySeparate)
{
  const ISVG shapes = Load("shapes.svg"), paths = Load("paths.svg"), holes = Load("holes.svg");
  ASSERT_TRUE(shapes && paths && holes);
  // Curve extremes, not control points: C60 10 100 10 100 50 peaks at y 20, Q220 10 at 30, the arcs at 30.
  const std::vector<std::vector<double>> bounds = {{10, 10, 40, 40}, {60, 20, 180, 80}, {200, 30, 320, 70},
                                                   {340, 30, 380, 50}, {}, {10, 60, 40, 70}};
  ASSERT_EQ(paths.Document()->shapes.size(), bounds.size());
  for (size_t i = 0; i < bounds.size(); ++i)
    if (!bounds[i].empty()) ExpectBounds(paths.Document()->shapes[i].bounds, bounds[i], "path " + std::to_string(i));
  EXPECT_EQ(paths.Document()->shapes[5].paths.size(), 2u) << "m after Z starts a second subpath";
  const auto& sh = shapes.Document()->shapes;
  ASSERT_EQ(sh.size(), 8u) << "the rect of width 0 draws nothing";
  EXPECT_FALSE(sh[5].paths[0].closed || sh[6].paths[0].closed) << "line and polyline stay open";
  const auto& hole = holes.Document()->shapes[0];
  EXPECT_EQ(hole.fillRule, ESVGFillRule::EvenOdd);
  ASSERT_EQ(hole.paths.size(), 2u);
  ExpectBounds(hole.paths[1].bounds, {30, 30, 70, 70}, "inner square");
}

TEST(SVG, ParsedCurvesFillLikeCairo)
{
  struct Case
  {
    const char* file;
    size_t shape;
    const char* name;
    Figure reference;
  };
  const std::vector<Case> cases = {
      {"shapes.svg", 1, "rounded",
       [](cairo_t* cr)
       {
         Ellipse(cr, 95, 15, 5, 5, -kPi / 2, 0);
         Ellipse(cr, 95, 35, 5, 5, 0, kPi / 2);
         Ellipse(cr, 65, 35, 5, 5, kPi / 2, kPi);
         Ellipse(cr, 65, 15, 5, 5, kPi, 3 * kPi / 2);
       }},
      // rx 30 on a 40 wide rect is cut to half the width; ry stays 4.
      {"shapes.svg", 2, "pill",
       [](cairo_t* cr)
       {
         Ellipse(cr, 130, 14, 20, 4, -kPi / 2, 0);
         Ellipse(cr, 130, 36, 20, 4, 0, kPi);
         Ellipse(cr, 130, 14, 20, 4, kPi, 3 * kPi / 2);
       }},
      // Radii 30, 10 at 45° cannot span the 40 units, so they grow by sqrt(1/4.5 + 2) and the centre is the
      // chord's midpoint; the start point sits at the ellipse angle atan2(3, -1).
      {"paths.svg", 4, "rotated arc",
       [](cairo_t* cr)
       {
         const double k = std::sqrt(2.0 / 9 + 2), t0 = std::atan2(3.0, -1.0);
         Ellipse(cr, 320, 90, 30 * k, 10 * k, t0, t0 + kPi, kPi / 4);
       }},
      // The inner circle runs the other way round, so even the non-zero rule leaves a ring.
      {"holes.svg", 1, "ring",
       [](cairo_t* cr)
       {
         Ellipse(cr, 50, 50, 40, 40, 0, 2 * kPi);
         cairo_close_path(cr);
         Ellipse(cr, 50, 50, 25, 25, 0, -2 * kPi);
       }},
  };
  for (const Case& c : cases)
  {
    const ISVG svg = Load(c.file);
    ASSERT_TRUE(svg) << c.file;
    ASSERT_LT(c.shape, svg.Document()->shapes.size()) << c.name;
    const Figure closed = [&c](cairo_t* cr)
    {
      c.reference(cr);
      cairo_close_path(cr);
    };
    EXPECT_LT(Mismatch(svg.Document()->shapes[c.shape], closed, c.name), 0.01) << c.name;
  }
}

TEST(SVG, NestedTransformsCompose)
{
  const ISVG svg = Load("transforms.svg");
  ASSERT_TRUE(svg);
  const auto& sh = svg.Document()->shapes;
  ASSERT_EQ(sh.size(), 5u);
  const std::vector<std::pair<const char*, std::vector<double>>> expected = {
      {"translate, rotate", {90, 100, 100, 120}},    {"scale(2,3)", {102, 103, 122, 133}},
      {"matrix then skewX", {50, 50, 70, 60}},       {"skewY", {10, 10, 20, 30}},
      {"rotate about a point", {100, 90, 110, 110}},
  };
  for (size_t i = 0; i < sh.size(); ++i)
    ExpectBounds(sh[i].bounds, expected[i].second, expected[i].first);
  EXPECT_NEAR(sh[1].strokeWidth, std::sqrt(6.0), 1e-4) << "stroke width follows the mean scale";
}

TEST(SVG, GradientsMapDrawingSpaceAndInheritThroughHref)
{
  const ISVG svg = Load("gradients.svg");
  ASSERT_TRUE(svg);
  const auto& sh = svg.Document()->shapes;
  ASSERT_EQ(sh.size(), 5u);
  // Drawing points and where they land in gradient space (u is free for linear gradients).
  struct Probe
  {
    size_t shape;
    double x, y, u, v;
  };
  const double nan = std::nan("");
  const Probe probes[] = {
      {0, 10, 20, nan, 0}, {0, 90, 45, nan, 1}, // bounding-box units, left to right across the rect
      {1, 0, 60, nan, 0},  {1, 200, 90, nan, 1}, // user space, top to bottom, stops only from the first
      {2, 178, 30, 1, 0},  {2, 138, 50, 0, 1}, // centre and radii in box units
      {3, 150, 55, 0, -1},
  };
  for (const Probe& p : probes)
  {
    const auto [u, v] = GradientAt(sh[p.shape].fill, p.x, p.y);
    if (!std::isnan(p.u))
    {
      EXPECT_NEAR(u, p.u, 1e-4) << p.shape << " at " << p.x << "," << p.y;
    }
    EXPECT_NEAR(v, p.v, 1e-4) << p.shape << " at " << p.x << "," << p.y;
  }
  EXPECT_EQ((std::vector<ESVGSpread>{sh[0].fill.gradient.spread, sh[1].fill.gradient.spread, sh[3].fill.gradient.spread}),
            (std::vector<ESVGSpread>{ESVGSpread::Reflect, ESVGSpread::Repeat, ESVGSpread::Pad}));
  // Inherited stops; fill-opacity halves them on the radial one.
  ASSERT_EQ(sh[1].fill.gradient.stops.size(), 3u);
  EXPECT_EQ(sh[1].fill.gradient.stops[1].color, SVGMakeColor(0, 255, 0, 128));
  ASSERT_EQ(sh[2].fill.type, ESVGPaintType::RadialGradient);
  EXPECT_EQ(sh[2].fill.gradient.stops[1].color, SVGMakeColor(0, 255, 0, 64));
  // Stops through an href without xlink; offsets out of order are raised to the largest before them.
  ASSERT_EQ(sh[3].fill.gradient.stops.size(), 2u);
  EXPECT_FLOAT_EQ(sh[3].fill.gradient.stops[1].offset, 0.2f);
  EXPECT_EQ(sh[3].fill.gradient.stops[1].color, SVGMakeColor(0, 0, 0, 255));
  // A reference to nothing takes the fallback colour (the shape sits in a link, drawn as a group).
  EXPECT_EQ(sh[4].fill.color, SVGMakeColor(0x33, 0x66, 0x99, 255));
}

TEST(SVG, OpacitiesReachColoursAndStops)
{
  const ISVG svg = Load("opacity.svg");
  ASSERT_TRUE(svg);
  const auto& sh = svg.Document()->shapes;
  ASSERT_EQ(sh.size(), 5u) << "display none leaves its group out";
  // Group and element opacity multiply into the shape; fill-/stroke-opacity go into the paint's alpha.
  EXPECT_FLOAT_EQ(sh[0].opacity, 0.25f);
  EXPECT_EQ(sh[0].fill.color, SVGMakeColor(255, 128, 0, 64));
  // From the style attribute; fill-opacity 2 is clamped to 1; stroke-opacity scales the stops' own opacity.
  EXPECT_FLOAT_EQ(sh[1].opacity, 0.25f);
  ASSERT_EQ(sh[1].stroke.type, ESVGPaintType::LinearGradient);
  EXPECT_EQ(sh[1].stroke.gradient.stops[0].color, SVGMakeColor(0, 0, 0, 64));
  EXPECT_EQ(sh[1].stroke.gradient.stops[1].color, SVGMakeColor(255, 255, 255, 128));
  EXPECT_FLOAT_EQ(sh[2].opacity, 0.f) << "a negative opacity is clamped";
  EXPECT_EQ(sh[2].fill.color, SVGMakeColor(0, 128, 255, 51));
  EXPECT_FALSE(sh[3].visible) << "hidden by its group";
  EXPECT_TRUE(sh[4].visible) << "visible overrides the group";
}

TEST(SVG, DashArrays)
{
  const ISVG svg = Load("dashes.svg");
  ASSERT_TRUE(svg);
  const auto& sh = svg.Document()->shapes;
  ASSERT_EQ(sh.size(), 5u);
  // An odd list is repeated, the model keeps eight, the transform scales them; all zero or a negative length: solid.
  const std::vector<std::vector<float>> dashes = {{5, 3, 1, 5, 3, 1}, {1, 2, 3, 4, 5, 6, 7, 8}, {4, 2}, {}, {}};
  for (size_t i = 0; i < dashes.size(); ++i)
    EXPECT_EQ(std::vector<float>(sh[i].dashArray, sh[i].dashArray + sh[i].dashCount), dashes[i]) << i;
  EXPECT_FLOAT_EQ(sh[2].strokeWidth, 8.f);
  EXPECT_FLOAT_EQ(sh[2].dashOffset, 2.f);
}

TEST(SVG, DocumentSizeFromUnitsAndViewBox)
{
  const ISVG svg = Load("viewbox.svg");
  ASSERT_TRUE(svg);
  EXPECT_FLOAT_EQ(svg.W(), 144) << "2in at 72 dpi";
  EXPECT_FLOAT_EQ(svg.H(), 72);
  const auto& sh = svg.Document()->shapes;
  ASSERT_EQ(sh.size(), 2u);
  // The 20 × 20 viewBox meets the 144 × 72 size at scale 3.6, centred: 36 units of margin left and right.
  ExpectBounds(sh[0].bounds, {36, 0, 108, 72}, "viewBox");
  EXPECT_EQ(sh[0].fill.color, SVGMakeColor(0xab, 0xcd, 0xef, 255)) << "currentColor";
  ExpectBounds(sh[1].bounds, {72, 0, 108, 18}, "percentages of the viewBox");
  // A viewBox without area draws nothing, and neither does a sized one shown at width 0.
  for (const char* text : {"<svg width='10' height='10' viewBox='0 0 0 5'><rect width='4' height='4'/></svg>",
                           "<svg width='0' height='10' viewBox='0 0 5 5'><rect width='4' height='4'/></svg>"})
  {
    const ISVG none = FromText(text);
    ASSERT_TRUE(none) << text;
    EXPECT_TRUE(none.Document()->shapes.empty()) << text;
  }
}

TEST(SVG, DamagedDocumentsAreRefusedOrSound)
{
  // Expected shape counts; -1 for documents that must give no document at all.
  const std::map<std::string, int> expected = {
      {"empty.svg", -1},
      {"truncated-tag.svg", -1},
      {"mismatched-close.svg", -1},
      {"not-svg-root.svg", -1},
      {"binary.svg", -1},
      {"deep-nesting.svg", -1},
      {"unclosed-groups.svg", -1},
      {"bad-numbers.svg", 0},
      {"bad-size.svg", 0},
      {"bad-viewbox.svg", 0},
      {"entities.svg", 0},
      {"bad-syntax.svg", 3},
      {"gradient-self-reference.svg", 1},
      {"gradient-cycle.svg", 1},
      {"missing-reference.svg", 2},
  };
  size_t seen = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(ZANIQ_TEST_DATA) / "svg-damaged"))
  {
    const std::string name = entry.path().filename().string();
    const ISVG svg = ParseSVGFile(entry.path().c_str());
    EXPECT_TRUE(!svg || Sound(*svg.Document())) << name;
    const auto it = expected.find(name);
    ASSERT_NE(it, expected.end()) << name << " has no expectation";
    ++seen;
    EXPECT_EQ(svg ? static_cast<int>(svg.Document()->shapes.size()) : -1, it->second) << name;
  }
  EXPECT_EQ(seen, expected.size());

  // References: a self-reference has no stops (no paint); the cycle finds the stops of its third member; the
  // missing gradient paints nothing; the missing href keeps the own stops.
  auto shape = [](const char* name)
  { return ParseSVGFile((fs::path(ZANIQ_TEST_DATA) / "svg-damaged" / name).c_str()).Document()->shapes[0]; };
  EXPECT_EQ(shape("gradient-self-reference.svg").fill.type, ESVGPaintType::None);
  EXPECT_EQ(shape("gradient-cycle.svg").fill.gradient.stops.size(), 2u);
  EXPECT_EQ(shape("missing-reference.svg").fill.type, ESVGPaintType::None);
  EXPECT_EQ(shape("missing-reference.svg").stroke.type, ESVGPaintType::LinearGradient);
}

TEST(SVG, LimitsOnSizeNestingAndCount)
{
  auto nested = [](int depth)
  {
    std::string s = "<svg>";
    for (int i = 0; i < depth; ++i)
      s += "<g>";
    s += "<rect width='1' height='1'/>";
    for (int i = 0; i < depth; ++i)
      s += "</g>";
    return s + "</svg>";
  };
  EXPECT_TRUE(FromText(nested(100)));
  EXPECT_FALSE(FromText(nested(200)));
  std::string many = "<svg>";
  for (int i = 0; i < 250000; ++i)
    many += "<g/>";
  EXPECT_FALSE(FromText(many + "</svg>"));
  std::string longPath = "<svg><path d='M0 0";
  for (int i = 0; i < 1400000; ++i)
    longPath += "h1";
  EXPECT_FALSE(FromText(longPath + "'/></svg>"));
  // Stops beyond 256 per gradient are dropped.
  std::string stops = "<svg><linearGradient id='g'>";
  for (int i = 0; i < 300; ++i)
    stops += "<stop offset='" + std::to_string(i / 300.0) + "'/>";
  const ISVG manyStops = FromText(stops + "</linearGradient><rect width='5' height='5' fill='url(#g)'/></svg>");
  ASSERT_TRUE(manyStops);
  EXPECT_EQ(manyStops.Document()->shapes[0].fill.gradient.stops.size(), 256u);
  // Reading stops at a NUL; no size, no data, or too much gives nothing.
  const char withNul[] = "<svg width='3' height='4'/>\0garbage";
  EXPECT_FLOAT_EQ(ParseSVG(withNul, sizeof withNul).W(), 3.f);
  EXPECT_FALSE(ParseSVG(withNul, 0));
  EXPECT_FALSE(ParseSVG(nullptr, 10));
  EXPECT_FALSE(ParseSVG(withNul, kSVGMaxBytes + 1));
  EXPECT_FALSE(ParseSVGFile((fs::path(ZANIQ_TEST_DATA) / "svg").c_str())) << "a folder";
}

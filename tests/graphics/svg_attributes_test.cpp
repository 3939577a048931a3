// How the SVG reader takes each presentation attribute: lengths in every unit, keywords that restore a default
// over an inherited value, paints with fallbacks and colour profiles, gradient and stop attributes, and damaged
// values, unknown and misplaced content that are skipped without losing the rest of the document.

#include "graphics/ISVG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace plugin::igraphics;

namespace
{

std::string Svg(const std::string& body, int w = 100, int h = 100)
{
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
         std::to_string(w) + "\" height=\"" + std::to_string(h) + "\">" + body + "</svg>";
}

SVGDocument Parse(const std::string& body, float dpi = 72.f, int w = 100, int h = 100)
{
  const std::string text = Svg(body, w, h);
  const ISVG svg = ParseSVG(text.data(), text.size(), dpi);
  EXPECT_TRUE(svg) << body;
  return svg ? *svg.Document() : SVGDocument{};
}

std::vector<double> Bounds(const SVGShape& s)
{
  std::vector<double> b;
  for (float v : s.bounds)
    b.push_back(std::round(v * 100) / 100);
  return b;
}

constexpr SVGColor kBlack = SVGMakeColor(0, 0, 0, 255);
constexpr SVGColor kRed = SVGMakeColor(255, 0, 0, 255);
constexpr SVGColor kGreen = SVGMakeColor(0, 255, 0, 255);
constexpr SVGColor kBlue = SVGMakeColor(0, 0, 255, 255);

// A paint's type and colour, for one comparison.
std::pair<ESVGPaintType, SVGColor> Paint(const SVGPaint& p)
{
  return {p.type, p.type == ESVGPaintType::Color ? p.color : 0};
}
const std::pair<ESVGPaintType, SVGColor> kNoPaint{ESVGPaintType::None, 0};
std::pair<ESVGPaintType, SVGColor> Solid(SVGColor c)
{
  return {ESVGPaintType::Color, c};
}

// The offset (v) a linear gradient gives a drawing point.
double GradientV(const SVGPaint& p, double x, double y)
{
  const float* m = p.gradient.xform;
  return m[1] * x + m[3] * y + m[5];
}

} // namespace

TEST(SVGAttributes, LengthsInEveryUnit)
{
  // At 96 dots per inch the physical units are the CSS ones: 1in = 2.54cm = 25.4mm = 72pt = 6pc = 96px. Without
  // a font, 1em is the default font size of 16 and 1ex half of it.
  struct Case
  {
    const char* width;
    double expected;
  };
  const Case cases[] = {{"10", 10},     {"10px", 10}, {"1in", 96}, {"2.54cm", 96}, {"25.4mm", 96},
                        {"72pt", 96},   {"6pc", 96},  {"2em", 32}, {"2ex", 16},    {"50%", 150}};
  for (const Case& c : cases)
  {
    const SVGDocument d = Parse(std::string("<rect width=\"") + c.width + "\" height=\"1\"/>", 96.f, 300, 400);
    ASSERT_EQ(d.shapes.size(), 1u) << c.width;
    EXPECT_NEAR(d.shapes[0].bounds[2], c.expected, 1e-3) << c.width;
  }
  // A percentage that is neither a width nor a height is one of the normalised diagonal √((w² + h²) / 2).
  const SVGDocument d = Parse("<circle r=\"10%\"/>", 72.f, 300, 400);
  ASSERT_EQ(d.shapes.size(), 1u);
  EXPECT_NEAR(d.shapes[0].bounds[2], 0.1 * std::sqrt((300.0 * 300 + 400 * 400) / 2), 1e-2);
}

TEST(SVGAttributes, RootSizesWithFractionsAndExponents)
{
  struct Case
  {
    const char* attributes;
    float w, h;
  };
  const Case cases[] = {{R"svg(width="10.5" height="2.25")svg", 10.5f, 2.25f},
                        {R"svg(width="1.5e1" height="25E-1")svg", 15.f, 2.5f},
                        {R"svg(viewBox="0 0 .5 4.75")svg", 0.5f, 4.75f},
                        // The root's own units, at 72 dots per inch: the CSS inch is 72 of them here.
                        {R"svg(width="1in" height="2.54cm")svg", 72.f, 72.f},
                        {R"svg(width="25.4mm" height="72pt")svg", 72.f, 72.f},
                        {R"svg(width="6pc" height="3px")svg", 72.f, 3.f},
                        {R"svg(width="2em" height="2ex")svg", 32.f, 16.f},
                        {R"svg(width="50%" height="200%" viewBox="0 0 40 10")svg", 20.f, 20.f}};
  for (const Case& c : cases)
  {
    const std::string text = std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" ") + c.attributes + "/>";
    const ISVG svg = ParseSVG(text.data(), text.size());
    ASSERT_TRUE(svg) << c.attributes;
    EXPECT_EQ((std::vector<float>{svg.W(), svg.H()}), (std::vector<float>{c.w, c.h})) << c.attributes;
  }
}

TEST(SVGAttributes, ViewBoxStretchedWithoutKeepingItsAspect)
{
  // preserveAspectRatio none: 10 × 10 of the view box onto 200 × 100.
  const std::string text = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" viewBox="0 0 10 10"
      preserveAspectRatio="none"><rect x="5" width="5" height="10"/></svg>)svg";
  const ISVG svg = ParseSVG(text.data(), text.size());
  ASSERT_TRUE(svg);
  ASSERT_EQ(svg.Document()->shapes.size(), 1u);
  EXPECT_EQ(Bounds(svg.Document()->shapes[0]), (std::vector<double>{100, 0, 200, 100}));
}

TEST(SVGAttributes, GradientsWithNothingToSpreadOver)
{
  // One stop, or a linear gradient whose ends meet: the colour of the last stop. A box without height (a
  // horizontal line) for a gradient in box units: no paint.
  const SVGDocument d = Parse(R"svg(<linearGradient id="one"><stop offset="0.3" stop-color="#00ff00"/></linearGradient>
      <linearGradient id="point" x1="0.5" x2="0.5"><stop offset="0" stop-color="#ff0000"/>
        <stop offset="1" stop-color="#0000ff"/></linearGradient>
      <rect width="5" height="5" fill="url(#one)"/><rect width="5" height="5" fill="url(#point)"/>
      <line x2="10" stroke="url(#point)"/>)svg");
  ASSERT_EQ(d.shapes.size(), 3u);
  EXPECT_EQ(Paint(d.shapes[0].fill), Solid(kGreen));
  EXPECT_EQ(Paint(d.shapes[1].fill), Solid(kBlue));
  EXPECT_EQ(Paint(d.shapes[2].stroke), kNoPaint);
}

TEST(SVGAttributes, KeywordsRestoringADefaultOverrideInheritedValues)
{
  struct Case
  {
    const char* name;
    const char* body;
    std::function<void(const SVGShape&)> check;
  };
  const Case cases[] = {
      {"fill-rule nonzero", R"svg(<g fill-rule="evenodd"><rect width="5" height="5" fill-rule="nonzero"/></g>)svg",
       [](const SVGShape& s) { EXPECT_EQ(s.fillRule, ESVGFillRule::NonZero); }},
      {"stroke none", R"svg(<g stroke="red"><rect width="5" height="5" stroke="none"/></g>)svg",
       [](const SVGShape& s) { EXPECT_EQ(Paint(s.stroke), kNoPaint); }},
      {"stroke currentColor", R"svg(<g stroke="red" color="#0000ff"><rect width="5" height="5" stroke="currentColor"/></g>)svg",
       [](const SVGShape& s) { EXPECT_EQ(Paint(s.stroke), Solid(kBlue)); }},
      {"dasharray none", R"svg(<g stroke="red" stroke-dasharray="4 2"><rect width="5" height="5" stroke-dasharray="none"/></g>)svg",
       [](const SVGShape& s) { EXPECT_EQ(s.dashCount, 0); }},
      {"linecap butt", R"svg(<g stroke="red" stroke-linecap="round"><rect width="5" height="5" stroke-linecap="butt"/></g>)svg",
       [](const SVGShape& s) { EXPECT_EQ(s.lineCap, ESVGLineCap::Butt); }},
      {"visibility collapse hides like hidden", R"svg(<rect width="5" height="5" visibility="collapse"/>)svg",
       [](const SVGShape& s) { EXPECT_FALSE(s.visible); }},
      {"opacity inherit is taken as no opacity of its own", R"svg(<rect width="5" height="5" opacity="inherit"/>)svg",
       [](const SVGShape& s) { EXPECT_FLOAT_EQ(s.opacity, 1.f); }},
  };
  for (const Case& c : cases)
  {
    const SVGDocument d = Parse(c.body);
    ASSERT_EQ(d.shapes.size(), 1u) << c.name;
    SCOPED_TRACE(c.name);
    c.check(d.shapes[0]);
  }

  // Every display value but none leaves the element drawn.
  for (const char* display :
       {"inline", "block", "list-item", "run-in", "compact", "marker", "table", "inline-table", "table-row-group",
        "table-header-group", "table-footer-group", "table-row", "table-column-group", "table-column", "table-cell",
        "table-caption", "inherit"})
  {
    const SVGDocument d = Parse(std::string("<rect width=\"5\" height=\"5\" display=\"") + display + "\"/>");
    EXPECT_EQ(d.shapes.size(), 1u) << display;
  }
  EXPECT_TRUE(Parse(R"svg(<g display="none"><rect width="5" height="5"/></g>)svg").shapes.empty());
}

TEST(SVGAttributes, PaintsWithFallbacksAndColourProfiles)
{
  struct Case
  {
    const char* paint;
    std::pair<ESVGPaintType, SVGColor> fill, stroke; // as fill, and as stroke
  };
  // The shape sits in a group painting both red, with currentColor blue.
  const Case cases[] = {
      {"#00ff00 icc-color(profile, 0.1, 0.2)", Solid(kGreen), Solid(kGreen)},
      {"#00ff00 icc-color(profile,0.5)", Solid(kGreen), Solid(kGreen)},
      {"#00ff00 icc-color(p 1)", Solid(kGreen), Solid(kGreen)},
      {"url(#missing) none", kNoPaint, kNoPaint},
      {"url(#missing) currentColor", Solid(kBlue), Solid(kBlue)},
      {"url(#missing) #00ff00", Solid(kGreen), Solid(kGreen)},
      {"url(#missing) #00ff00 icc-color(profile, 1)", Solid(kGreen), Solid(kGreen)},
      // A paint server in another document cannot be read: its fallback paints, or nothing.
      {"url(other.svg#g)", kNoPaint, kNoPaint},
      {"url(other.svg#g) none", kNoPaint, kNoPaint},
      {"url(other.svg#g) currentColor", Solid(kBlue), Solid(kBlue)},
      {"url(other.svg#g) #00ff00", Solid(kGreen), Solid(kGreen)},
      {"url(other.svg#g) #00ff00 icc-color(profile, 1)", Solid(kGreen), Solid(kGreen)},
  };
  for (const Case& c : cases)
  {
    for (const char* attr : {"fill", "stroke"})
    {
      const SVGDocument d = Parse(std::string(R"svg(<g fill="red" stroke="red" color="#0000ff"><rect width="5" height="5" )svg") +
                                  attr + "=\"" + c.paint + "\"/></g>");
      ASSERT_EQ(d.shapes.size(), 1u) << attr << "=" << c.paint;
      const bool fill = attr[0] == 'f';
      EXPECT_EQ(Paint(fill ? d.shapes[0].fill : d.shapes[0].stroke), fill ? c.fill : c.stroke)
          << attr << "=" << c.paint;
      EXPECT_EQ(Paint(fill ? d.shapes[0].stroke : d.shapes[0].fill), Solid(kRed)) << "the other paint stays";
    }
  }
}

TEST(SVGAttributes, GradientAndStopAttributes)
{
  // A base in user space that reflects; the gradients below take its stops and set the rest themselves.
  const std::string defs = R"svg(<defs>
      <linearGradient id="base" gradientUnits="userSpaceOnUse" spreadMethod="reflect" x1="0" x2="100">
        <stop offset="0" stop-color="#ff0000"/><stop offset="1" stop-color="#0000ff"/></linearGradient>
      <linearGradient id="box" xlink:href="#base" gradientUnits="objectBoundingBox" spreadMethod="pad"/>
      <linearGradient id="far" xlink:href="other.svg#base" color="#00ff00" stop-color="#00ff00" stop-opacity="0.5">
        <stop offset="0" stop-color="currentColor" color="#0000ff"/><stop offset="0.5"/>
        <stop offset="1" stop-color="#00ff00"/></linearGradient>
      <linearGradient id="farOnly" xlink:href="other.svg#base" stop-color="inherit"/>
      <linearGradient id="inherits" stop-color="currentColor" stop-opacity="inherit">
        <stop offset="0" stop-color="inherit" stop-opacity="inherit"/><stop offset="1" stop-color="#0000ff"/>
      </linearGradient>
    </defs>)svg";
  const SVGDocument d = Parse(defs + R"svg(<rect x="20" width="40" height="10" fill="url(#box)"/>
      <rect width="40" height="10" fill="url(#far)"/><rect width="40" height="10" fill="url(#farOnly)"/>
      <rect width="40" height="10" fill="url(#inherits)"/>)svg");
  ASSERT_EQ(d.shapes.size(), 4u);

  // Bounding-box units and pad, set explicitly, win over the base's: the box runs 0 to 1 across the rect.
  const SVGPaint& box = d.shapes[0].fill;
  ASSERT_EQ(box.type, ESVGPaintType::LinearGradient);
  EXPECT_EQ(box.gradient.spread, ESVGSpread::Pad);
  // x2 of 100 still comes from the base, now in widths of the box: its right edge is at offset 1/100.
  EXPECT_NEAR(GradientV(box, 20, 5), 0, 1e-5);
  EXPECT_NEAR(GradientV(box, 60, 5), 0.01, 1e-5);
  ASSERT_EQ(box.gradient.stops.size(), 2u);
  EXPECT_EQ(box.gradient.stops[1].color, kBlue);

  // A reference into another document is not followed; stop colours and opacities are not inherited from the
  // gradient element (a stop without them is opaque black), and currentColor is the stop's own colour.
  const SVGPaint& far = d.shapes[1].fill;
  ASSERT_EQ(far.type, ESVGPaintType::LinearGradient);
  EXPECT_EQ(far.gradient.spread, ESVGSpread::Pad);
  ASSERT_EQ(far.gradient.stops.size(), 3u);
  EXPECT_EQ((std::vector<SVGColor>{far.gradient.stops[0].color, far.gradient.stops[1].color,
                                   far.gradient.stops[2].color}),
            (std::vector<SVGColor>{kBlue, kBlack, kGreen}));
  EXPECT_EQ(d.shapes[2].fill.type, ESVGPaintType::None) << "no stops of its own: no paint";
  // Inherit where no element above sets the property: the initial values, opaque black.
  ASSERT_EQ(d.shapes[3].fill.gradient.stops.size(), 2u);
  EXPECT_EQ(d.shapes[3].fill.gradient.stops[0].color, kBlack);
}

TEST(SVGAttributes, DamagedValuesAreSkippedAndTheElementKept)
{
  // Each attribute with a value that does not parse: the element keeps what it had without it (its default or
  // the inherited value of the group around it).
  const std::string group = R"svg(<g fill="red" stroke="#0000ff" fill-opacity="0.5" stroke-opacity="0.5"
      fill-rule="evenodd" stroke-linecap="round" stroke-linejoin="bevel" stroke-miterlimit="7" stroke-dasharray="4 2"
      stroke-dashoffset="1" visibility="hidden" color="#00ff00">)svg";
  struct Case
  {
    const char* attr;
    const char* element; // with %s where the damaged attribute goes
    std::function<void(const SVGShape&)> check;
  };
  const Case cases[] = {
      {"x", "<rect %s y=\"2\" width=\"5\" height=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{0, 2, 5, 7})); }},
      {"y", "<rect %s x=\"2\" width=\"5\" height=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{2, 0, 7, 5})); }},
      {"rx", "<rect %s width=\"5\" height=\"5\"/>", [](const SVGShape& s) { EXPECT_EQ(s.paths[0].NPoints(), 13); }},
      {"ry", "<rect %s width=\"5\" height=\"5\"/>", [](const SVGShape& s) { EXPECT_EQ(s.paths[0].NPoints(), 13); }},
      {"cx", "<circle %s cy=\"10\" r=\"2\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{-2, 8, 2, 12})); }},
      {"cy", "<circle %s cx=\"10\" r=\"2\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{8, -2, 12, 2})); }},
      {"x1", "<line %s y1=\"1\" x2=\"5\" y2=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{0, 1, 5, 5})); }},
      {"y1", "<line %s x1=\"1\" x2=\"5\" y2=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{1, 0, 5, 5})); }},
      {"x2", "<line %s x1=\"1\" y1=\"1\" y2=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{0, 1, 1, 5})); }},
      {"y2", "<line %s x1=\"1\" y1=\"1\" x2=\"5\"/>", [](const SVGShape& s)
       { EXPECT_EQ(Bounds(s), (std::vector<double>{1, 0, 5, 1})); }},
      {"fill", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(Paint(s.fill), Solid(SVGMakeColor(255, 0, 0, 128))); }},
      {"stroke", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(Paint(s.stroke), Solid(SVGMakeColor(0, 0, 255, 128))); }},
      {"fill-opacity", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(SVGColorA(s.fill.color), 128); }},
      {"stroke-opacity", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(SVGColorA(s.stroke.color), 128); }},
      {"fill-rule", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(s.fillRule, ESVGFillRule::EvenOdd); }},
      {"stroke-linecap", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(s.lineCap, ESVGLineCap::Round); }},
      {"stroke-linejoin", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_EQ(s.lineJoin, ESVGLineJoin::Bevel); }},
      {"stroke-miterlimit", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_FLOAT_EQ(s.miterLimit, 7.f); }},
      {"stroke-dashoffset", "<rect %s width=\"5\" height=\"5\"/>",
       [](const SVGShape& s) { EXPECT_FLOAT_EQ(s.dashOffset, 1.f); }},
      {"visibility", "<rect %s width=\"5\" height=\"5\"/>", [](const SVGShape& s) { EXPECT_FALSE(s.visible); }},
      {"display", "<rect %s width=\"5\" height=\"5\"/>", [](const SVGShape& s) { EXPECT_EQ(s.paths.size(), 1u); }},
      {"color", "<rect %s width=\"5\" height=\"5\" fill=\"currentColor\"/>",
       [](const SVGShape& s) { EXPECT_EQ(Paint(s.fill), Solid(SVGMakeColor(0, 255, 0, 128))); }},
  };
  for (const Case& c : cases)
  {
    char element[256];
    const std::string damaged = std::string(c.attr) + "=\"#!bogus\"";
    std::snprintf(element, sizeof element, c.element, damaged.c_str());
    const SVGDocument d = Parse(group + element + "</g>");
    ASSERT_EQ(d.shapes.size(), 1u) << element;
    SCOPED_TRACE(element);
    c.check(d.shapes[0]);
  }

  // A dash list that does not parse draws solid.
  const SVGDocument dashes = Parse(R"svg(<rect width="5" height="5" stroke="red" stroke-dasharray="#!"/>)svg");
  ASSERT_EQ(dashes.shapes.size(), 1u);
  EXPECT_EQ(dashes.shapes[0].dashCount, 0);
  EXPECT_EQ(Paint(dashes.shapes[0].stroke), Solid(kRed));

  // Sizes that do not parse, or are negative, leave nothing to draw.
  for (const char* shape : {R"svg(<rect width="#!" height="5"/>)svg", R"svg(<rect width="5" height="#!"/>)svg",
                            R"svg(<rect width="-5" height="5"/>)svg", R"svg(<rect width="5" height="-5"/>)svg",
                            R"svg(<circle r="#!"/>)svg"})
    EXPECT_TRUE(Parse(shape).shapes.empty()) << shape;
  // A negative corner radius is an error of that rectangle alone: the shapes around it are read.
  const SVGDocument corners = Parse(
      R"svg(<circle r="1"/><rect width="5" height="5" rx="-1"/><rect width="5" height="5" rx="1" ry="-1"/><circle r="2"/>)svg");
  ASSERT_GE(corners.shapes.size(), 2u);
  EXPECT_EQ(Bounds(corners.shapes.front()), (std::vector<double>{-1, -1, 1, 1}));
  EXPECT_EQ(Bounds(corners.shapes.back()), (std::vector<double>{-2, -2, 2, 2}));

  // Gradient attributes that do not parse are left at their defaults: bounding-box units left to right, pad,
  // no transform; a stop keeps offset 0, black and full opacity.
  const SVGDocument g = Parse(R"svg(<linearGradient id="g" gradientUnits="#!" spreadMethod="#!" gradientTransform="#!"
        x1="#!" y1="#!" x2="#!" y2="#!" xlink:href="#!">
        <stop offset="#!" stop-color="#!" stop-opacity="#!"/><stop offset="1" stop-color="#0000ff"/></linearGradient>
      <radialGradient id="r" r="#!" cx="#!" cy="#!" xlink:href=""><stop offset="0"/><stop offset="1"/></radialGradient>
      <rect x="10" width="10" height="10" fill="url(#g)"/><rect width="10" height="10" fill="url(#r)"/>)svg");
  ASSERT_EQ(g.shapes.size(), 2u);
  const SVGPaint& lin = g.shapes[0].fill;
  ASSERT_EQ(lin.type, ESVGPaintType::LinearGradient);
  EXPECT_EQ(lin.gradient.spread, ESVGSpread::Pad);
  EXPECT_NEAR(GradientV(lin, 10, 3), 0, 1e-5);
  EXPECT_NEAR(GradientV(lin, 20, 7), 1, 1e-5);
  ASSERT_EQ(lin.gradient.stops.size(), 2u);
  EXPECT_EQ(lin.gradient.stops[0].color, kBlack);
  EXPECT_FLOAT_EQ(lin.gradient.stops[0].offset, 0.f);
  // The radial one: centre (0.5, 0.5) and radius 0.5 of the box, so the box's corner is √0.5 out.
  const SVGPaint& rad = g.shapes[1].fill;
  ASSERT_EQ(rad.type, ESVGPaintType::RadialGradient);
  const float* m = rad.gradient.xform;
  EXPECT_NEAR(std::hypot(m[0] * 10 + m[4], m[1] * 10 + m[5]), std::sqrt(2.0), 1e-5);
}

TEST(SVGAttributes, UnknownAndMisplacedContentIsSkipped)
{
  // Unknown elements (at the top, in a group, in a gradient), an unknown style property, an attribute the element
  // does not take, and elements where none belong: the rest of the document is read as if they were not there.
  const SVGDocument d = Parse(R"svg(<foo><rect width="99" height="99"/></foo>
      <linearGradient id="g"><bar/><rect width="1" height="1"/><stop offset="0" stop-color="#ff0000"/>
        <stop offset="1" stop-color="#ff0000"><stop/></stop></linearGradient>
      <g><baz/><rect width="5" height="5" style="foo: bar; fill: #00ff00" r="3"><circle r="9"/></rect></g>
      <circle r="2" width="4" fill="url(#g)"/>)svg");
  ASSERT_EQ(d.shapes.size(), 2u);
  EXPECT_EQ(Bounds(d.shapes[0]), (std::vector<double>{0, 0, 5, 5}));
  EXPECT_EQ(Paint(d.shapes[0].fill), Solid(kGreen));
  EXPECT_EQ(Bounds(d.shapes[1]), (std::vector<double>{-2, -2, 2, 2}));
  ASSERT_EQ(d.shapes[1].fill.type, ESVGPaintType::LinearGradient);
  EXPECT_EQ(d.shapes[1].fill.gradient.stops.size(), 2u) << "only the gradient's own two stops";
}

// The drawing interface through IGraphicsVR → renderer → Metal back end → stand-in GPU, against Cairo drawing the
// same shapes, at screen scales 1 and 2.

#include "support/vr_rig.h"

#include <cmath>
#include <utility>

using namespace vrtest;

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr int W = 120, H = 100;

void Rgba(cairo_t* cr, const IColor& c, double weight = 1.0)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0 * weight);
}

// Degrees with 0 at twelve o'clock, clockwise, as the drawing interface counts them.
double Rad(double deg)
{
  return (deg - 90.0) / 180.0 * kPi;
}

void CairoRoundedRect(cairo_t* cr, double l, double t, double r, double b, double rad)
{
  cairo_new_sub_path(cr);
  cairo_arc(cr, r - rad, t + rad, rad, -kPi / 2, 0);
  cairo_arc(cr, r - rad, b - rad, rad, 0, kPi / 2);
  cairo_arc(cr, l + rad, b - rad, rad, kPi / 2, kPi);
  cairo_arc(cr, l + rad, t + rad, rad, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

void Stroke(cairo_t* cr, const IColor& c, double width, double weight = 1.0)
{
  Rgba(cr, c, weight);
  cairo_set_line_width(cr, width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_stroke(cr);
}

const IColor kRed(255, 200, 40, 30), kBlue(255, 30, 120, 200), kGold(160, 250, 200, 20), kGreen(255, 20, 160, 60);

std::vector<Scene> Scenes()
{
  std::vector<Scene> s;
  s.push_back({"rounded rectangles, circles and ellipses", 64, 12,
               [](IGraphicsVR& g) {
                 g.FillRoundRect(kBlue, IRECT(8.f, 8.f, 98.f, 68.f), 12.f);
                 g.DrawCircle(kRed, 80.f, 55.f, 25.f, nullptr, 2.5f);
                 g.FillEllipse(kGold, IRECT(60.f, 5.f, 116.f, 35.f));
               },
               [](cairo_t* cr) {
                 CairoRoundedRect(cr, 8, 8, 98, 68, 12);
                 Rgba(cr, kBlue);
                 cairo_fill(cr);
                 cairo_arc(cr, 80, 55, 25, 0, 2 * kPi);
                 Stroke(cr, kRed, 2.5);
                 cairo_save(cr);
                 cairo_translate(cr, 88, 20);
                 cairo_scale(cr, 28, 15);
                 cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
                 cairo_restore(cr);
                 Rgba(cr, kGold);
                 cairo_fill(cr);
               }});
  s.push_back({"arcs and pie", 48, 10,
               [](IGraphicsVR& g) {
                 g.DrawArc(kBlue, 60.f, 50.f, 40.f, -135.f, 135.f, nullptr, 5.f);
                 g.FillArc(kRed, 60.f, 50.f, 25.f, 30.f, 150.f);
               },
               [](cairo_t* cr) {
                 cairo_arc(cr, 60, 50, 40, Rad(-135), Rad(135));
                 Stroke(cr, kBlue, 5);
                 cairo_move_to(cr, 60, 50);
                 cairo_arc(cr, 60, 50, 25, Rad(30), Rad(150));
                 cairo_close_path(cr);
                 Rgba(cr, kRed);
                 cairo_fill(cr);
               }});
  // A convex polygon and a triangle, and a concave one with a notch and a reflex vertex: filled through the stencil
  // by non-zero winding.
  s.push_back({"polygons", 24, 10,
               [](IGraphicsVR& g) {
                 const float x[] = {10.f, 60.f, 70.f, 20.f}, y[] = {10.f, 5.f, 50.f, 60.f};
                 g.FillConvexPolygon(kGreen, x, y, 4);
                 g.DrawConvexPolygon(kBlue, x, y, 4, nullptr, 2.f);
                 g.FillTriangle(kRed, 70.f, 90.f, 115.f, 60.f, 110.f, 95.f);
                 const float cx[] = {60.2f, 110.3f, 110.1f, 85.3f, 72.1f, 10.4f}, cy[] = {10.1f, 10.4f, 50.2f, 30.2f, 45.3f, 90.3f};
                 g.PathMoveTo(cx[0], cy[0]);
                 for (int i = 1; i < 6; ++i) g.PathLineTo(cx[i], cy[i]);
                 g.PathClose();
                 g.PathFill(kGold);
               },
               [](cairo_t* cr) {
                 const double x[] = {10, 60, 70, 20}, y[] = {10, 5, 50, 60};
                 for (int i = 0; i < 4; ++i)
                   i ? cairo_line_to(cr, x[i], y[i]) : cairo_move_to(cr, x[i], y[i]);
                 cairo_close_path(cr);
                 Rgba(cr, kGreen);
                 cairo_fill_preserve(cr);
                 Stroke(cr, kBlue, 2);
                 cairo_move_to(cr, 70, 90);
                 cairo_line_to(cr, 115, 60);
                 cairo_line_to(cr, 110, 95);
                 cairo_close_path(cr);
                 Rgba(cr, kRed);
                 cairo_fill(cr);
                 const double cx[] = {60.2, 110.3, 110.1, 85.3, 72.1, 10.4}, cy[] = {10.1, 10.4, 50.2, 30.2, 45.3, 90.3};
                 for (int i = 0; i < 6; ++i) i ? cairo_line_to(cr, cx[i], cy[i]) : cairo_move_to(cr, cx[i], cy[i]);
                 cairo_close_path(cr);
                 Rgba(cr, kGold);
                 cairo_fill(cr);
               }});
  // Round caps and joins, and a stroke thinner than two pixels (its fringe carries the coverage).
  struct StrokeCase
  {
    int cap, join;
    float width;
    int edgeTolerance;
  };
  for (const StrokeCase& k : {StrokeCase{kCapRound, kJoinRound, 9.f, 48}, StrokeCase{kCapButt, kJoinMiter, 1.5f, 12}})
    s.push_back({k.cap == kCapRound ? "round stroke" : "thin stroke", k.edgeTolerance, 40,
                 [k](IGraphicsVR& g) {
                   IStrokeOptions o;
                   o.mCapOption = k.cap;
                   o.mJoinOption = k.join;
                   g.PathMoveTo(15.f, 80.f);
                   for (auto [x, y] : {std::pair{45.f, 20.f}, {75.f, 75.f}, {105.f, 30.f}}) g.PathLineTo(x, y);
                   g.PathStroke(kRed, k.width, o);
                 },
                 [k](cairo_t* cr) {
                   cairo_move_to(cr, 15, 80);
                   cairo_line_to(cr, 45, 20);
                   cairo_line_to(cr, 75, 75);
                   cairo_line_to(cr, 105, 30);
                   Rgba(cr, kRed);
                   cairo_set_line_width(cr, k.width);
                   cairo_set_line_cap(cr, k.cap == kCapRound ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
                   cairo_set_line_join(cr, k.join == kJoinRound ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
                   cairo_stroke(cr);
                 }});
  // Operators that leave pixels outside the source alone (Cairo's unbounded ones clear them).
  struct Op
  {
    int ours;
    cairo_operator_t cairo;
    const char* name;
  };
  for (const Op& k : {Op{kBlendSrcAtop, CAIRO_OPERATOR_ATOP, "source atop"}, Op{kBlendDstOut, CAIRO_OPERATOR_DEST_OUT, "destination out"},
                      Op{kBlendXOR, CAIRO_OPERATOR_XOR, "xor"}, Op{kBlendDstOver, CAIRO_OPERATOR_DEST_OVER, "destination over"}})
    s.push_back({k.name, 2, 0,
                 [k](IGraphicsVR& g) {
                   const IBlend b(k.ours, 1.f);
                   g.FillRect(IColor(200, 0, 0, 255), IRECT(5.f, 5.f, 35.f, 35.f));
                   g.FillRect(IColor(150, 255, 0, 0), IRECT(20.f, 15.f, 50.f, 45.f), &b);
                 },
                 [k](cairo_t* cr) {
                   cairo_rectangle(cr, 5, 5, 30, 30);
                   cairo_set_source_rgba(cr, 0, 0, 1, 200 / 255.0);
                   cairo_fill(cr);
                   cairo_set_operator(cr, k.cairo);
                   cairo_rectangle(cr, 20, 15, 30, 30);
                   cairo_set_source_rgba(cr, 1, 0, 0, 150 / 255.0);
                   cairo_fill(cr);
                 }});
  // Dashes of 10 along 100 points: on over [0, 10], [20, 30], ...
  s.push_back({"lines and dotted lines", 48, 12,
               [](IGraphicsVR& g) {
                 g.DrawLine(kRed, 10.f, 10.f, 110.f, 40.f, nullptr, 2.f);
                 g.DrawDottedLine(kBlue, 10.f, 60.f, 110.f, 60.f, nullptr, 3.f, 10.f);
               },
               [](cairo_t* cr) {
                 cairo_move_to(cr, 10, 10);
                 cairo_line_to(cr, 110, 40);
                 Stroke(cr, kRed, 2);
                 for (int i = 0; i < 10; i += 2)
                 {
                   cairo_move_to(cr, 10 + 10 * i, 60);
                   cairo_line_to(cr, 20 + 10 * i, 60);
                 }
                 Stroke(cr, kBlue, 3);
               }});
  // The pattern's transform maps drawing space into gradient space: a linear gradient over x 10..110.
  s.push_back({"linear and radial gradients", 6, 8,
               [](IGraphicsVR& g) {
                 IPattern lin(kLinearPattern);
                 lin.AddStop(kRed, 0.f);
                 lin.AddStop(kBlue, 1.f);
                 lin.mTransform = IMatrix(0.0, 0.01, 1.0, 0.0, 0.0, -0.1); // t = (x − 10) / 100 along x
                 g.FillRect(lin, IRECT(10.f, 5.f, 110.f, 45.f));
                 IPattern rad(kRadialPattern);
                 rad.AddStop(COLOR_WHITE, 0.f);
                 rad.AddStop(kGreen, 1.f);
                 rad.mTransform = IMatrix(1.0 / 40, 0.0, 0.0, 1.0 / 40, -60.0 / 40, -75.0 / 40);
                 g.FillRect(rad, IRECT(10.f, 50.f, 110.f, 100.f));
               },
               [](cairo_t* cr) {
                 cairo_pattern_t* p = cairo_pattern_create_linear(10, 0, 110, 0);
                 cairo_pattern_add_color_stop_rgba(p, 0, 200 / 255.0, 40 / 255.0, 30 / 255.0, 1);
                 cairo_pattern_add_color_stop_rgba(p, 1, 30 / 255.0, 120 / 255.0, 200 / 255.0, 1);
                 cairo_rectangle(cr, 10, 5, 100, 40);
                 cairo_set_source(cr, p);
                 cairo_fill(cr);
                 cairo_pattern_destroy(p);
                 p = cairo_pattern_create_radial(60, 75, 0, 60, 75, 40);
                 cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 1);
                 cairo_pattern_add_color_stop_rgba(p, 1, 20 / 255.0, 160 / 255.0, 60 / 255.0, 1);
                 cairo_rectangle(cr, 10, 50, 100, 50);
                 cairo_set_source(cr, p);
                 cairo_fill(cr);
                 cairo_pattern_destroy(p);
               }});
  s.push_back({"blends", 48, 8,
               [](IGraphicsVR& g) {
                 g.FillRect(kBlue, IRECT(10.f, 10.f, 80.f, 80.f));
                 const IBlend half(kBlendDefault, 0.5f), in(kBlendSrcIn, 1.f);
                 g.FillRect(kRed, IRECT(40.f, 40.f, 110.f, 95.f), &half);
                 // Source in keeps the new colour only where something was: the circle, alone in its corner.
                 g.FillCircle(kBlue, 100.f, 15.f, 8.f);
                 g.FillRect(kGold, IRECT(86.f, 2.f, 116.f, 30.f), &in);
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 10, 10, 70, 70);
                 Rgba(cr, kBlue);
                 cairo_fill(cr);
                 cairo_rectangle(cr, 40, 40, 70, 55);
                 Rgba(cr, kRed, 0.5);
                 cairo_fill(cr);
                 cairo_arc(cr, 100, 15, 8, 0, 2 * kPi);
                 Rgba(cr, kBlue);
                 cairo_fill(cr);
                 cairo_set_operator(cr, CAIRO_OPERATOR_IN);
                 cairo_rectangle(cr, 86, 2, 30, 28);
                 cairo_clip(cr);
                 Rgba(cr, kGold);
                 cairo_paint(cr);
               }});
  s.push_back({"transforms and clip", 24, 10,
               [](IGraphicsVR& g) {
                 g.PathClipRegion(IRECT(15.f, 15.f, 105.f, 85.f));
                 g.PathTransformTranslate(60.f, 50.f);
                 g.PathTransformRotate(30.f);
                 g.FillRect(kBlue, IRECT(-40.f, -15.f, 40.f, 15.f));
                 g.PathTransformReset();
                 g.FillRect(kGold, IRECT(0.f, 0.f, 120.f, 20.f));
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 15, 15, 90, 70);
                 cairo_clip(cr);
                 cairo_save(cr);
                 cairo_translate(cr, 60, 50);
                 cairo_rotate(cr, 30 / 180.0 * kPi);
                 cairo_rectangle(cr, -40, -15, 80, 30);
                 cairo_restore(cr);
                 Rgba(cr, kBlue);
                 cairo_fill(cr);
                 cairo_rectangle(cr, 0, 0, 120, 20);
                 Rgba(cr, kGold);
                 cairo_fill(cr);
               }});
  return s;
}

} // namespace

TEST(VRConformance, ShapesMatchCairoAtScaleOneAndTwo)
{
  RunScenes(Scenes(), W, H);
}

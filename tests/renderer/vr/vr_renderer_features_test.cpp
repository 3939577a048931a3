// Renderer features that the drawing interface reaches only in part — box gradients (and the fast drop shadow built
// on them), skews, scissor intersection, global alpha, arc-to — drawn on the editor's renderer context, and curves,
// holes and dotted rectangles through the drawing interface; each frame against Cairo drawing the same scene (the
// box gradient's ramp and the arcs' centres worked out by hand), at screen scales 1 and 2.

#include "support/vr_rig.h"

#include <cmath>

using namespace vrtest;

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr int W = 120, H = 100;

VRcontext* Ctx(IGraphicsVR& g)
{
  return static_cast<VRcontext*>(g.GetDrawContext());
}

void FillAll(VRcontext* vg)
{
  vrBeginPath(vg);
  vrRect(vg, -500, -500, 1000, 1000);
  vrFill(vg);
}

void Source(cairo_t* cr, double r, double g, double b, double a = 1.0)
{
  cairo_set_source_rgba(cr, r, g, b, a);
}

// A linear ramp from one colour at x0 to another at x1 (padded beyond), over a rectangle.
void Ramp(cairo_t* cr, double x0, double x1, const double c0[4], const double c1[4], double l, double t, double w,
          double h)
{
  cairo_pattern_t* p = cairo_pattern_create_linear(x0, 0, x1, 0);
  cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
  cairo_pattern_add_color_stop_rgba(p, 0, c0[0], c0[1], c0[2], c0[3]);
  cairo_pattern_add_color_stop_rgba(p, 1, c1[0], c1[1], c1[2], c1[3]);
  cairo_rectangle(cr, l, t, w, h);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

std::vector<Scene> Scenes()
{
  std::vector<Scene> s;

  // With the narrowest feather a box gradient is a rounded rectangle of the inner colour over the outer one.
  s.push_back({"box gradient corners", 100, 24,
               [](IGraphicsVR& g) {
                 VRcontext* vg = Ctx(g);
                 vrFillPaint(vg, vrBoxGradient(vg, 20, 15, 80, 60, 12, 0.5f, vrRGBf(0.9f, 0.7f, 0.1f),
                                               vrRGBf(0.1f, 0.3f, 0.7f)));
                 FillAll(vg);
               },
               [](cairo_t* cr) {
                 Source(cr, 0.1, 0.3, 0.7);
                 cairo_paint(cr);
                 const double l = 20, t = 15, r = 100, b = 75, rad = 12;
                 cairo_new_sub_path(cr);
                 cairo_arc(cr, r - rad, t + rad, rad, -kPi / 2, 0);
                 cairo_arc(cr, r - rad, b - rad, rad, 0, kPi / 2);
                 cairo_arc(cr, l + rad, b - rad, rad, kPi / 2, kPi);
                 cairo_arc(cr, l + rad, t + rad, rad, kPi, 1.5 * kPi);
                 cairo_close_path(cr);
                 Source(cr, 0.9, 0.7, 0.1);
                 cairo_fill(cr);
               }});

  // A wide feather f ramps linearly from the inner colour f/2 inside the box's edge to the outer colour f/2
  // outside. Across a band of rows clear of the rounded corners and of the top and bottom ramps, the colour depends
  // on x alone: the fast drop shadow's box (60 × 60 moved by 4, radius 6, blur 16) spans x 34..94, so the shadow
  // fades in over x 26..42 and out over 86..102. Its inner colour is black at 128 / 255 times the blend's weight,
  // and the blend's method is not applied (xor here would clear the red below).
  s.push_back({"fast drop shadow ramp", 4, 0,
               [](IGraphicsVR& g) {
                 g.FillRect(IColor(255, 220, 40, 40), IRECT(0.f, 0.f, 120.f, 30.f));
                 g.DrawFastDropShadow(IRECT(30.f, 20.f, 90.f, 80.f), IRECT(0.f, 32.f, 60.f, 76.f), 4.f, 6.f, 16.f);
                 const IBlend half(kBlendXOR, 0.5f);
                 g.DrawFastDropShadow(IRECT(30.f, -36.f, 90.f, 24.f), IRECT(60.f, 0.f, 120.f, 20.f), 4.f, 6.f, 16.f,
                                      &half);
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 0, 0, 120, 30);
                 Source(cr, 220 / 255.0, 40 / 255.0, 40 / 255.0);
                 cairo_fill(cr);
                 const double full[4] = {0, 0, 0, 128 / 255.0}, half[4] = {0, 0, 0, 64 / 255.0}, none[4] = {0, 0, 0, 0};
                 Ramp(cr, 42, 26, full, none, 0, 32, 60, 44); // left part of the band
                 Ramp(cr, 86, 102, half, none, 60, 0, 60, 20); // right part, in the upper box's band
               }});

  // Skews build on the transform like any other step: x gains y·tan(a), or y gains x·tan(a).
  s.push_back({"skews", 40, 12,
               [](IGraphicsVR& g) {
                 VRcontext* vg = Ctx(g);
                 vrSave(vg);
                 vrTranslate(vg, 10, 10);
                 vrSkewX(vg, std::atan(0.5f));
                 vrBeginPath(vg);
                 vrRect(vg, 0, 0, 40, 30);
                 vrFillColor(vg, vrRGBf(0.1f, 0.5f, 0.2f));
                 vrFill(vg);
                 vrRestore(vg);
                 vrSave(vg);
                 vrTranslate(vg, 70, 10);
                 vrSkewY(vg, std::atan(0.75f));
                 vrBeginPath(vg);
                 vrRect(vg, 0, 0, 40, 50);
                 vrFillColor(vg, vrRGBf(0.8f, 0.2f, 0.5f));
                 vrFill(vg);
                 vrRestore(vg);
               },
               [](cairo_t* cr) {
                 cairo_matrix_t m;
                 cairo_save(cr);
                 cairo_matrix_init(&m, 1, 0, 0.5, 1, 10, 10);
                 cairo_transform(cr, &m);
                 cairo_rectangle(cr, 0, 0, 40, 30);
                 cairo_restore(cr);
                 Source(cr, 0.1, 0.5, 0.2);
                 cairo_fill(cr);
                 cairo_save(cr);
                 cairo_matrix_init(&m, 1, 0.75, 0, 1, 70, 10);
                 cairo_transform(cr, &m);
                 cairo_rectangle(cr, 0, 0, 40, 50);
                 cairo_restore(cr);
                 Source(cr, 0.8, 0.2, 0.5);
                 cairo_fill(cr);
               }});

  // Scissors intersected in the same space: (10, 10, 50, 40) ∩ (30, 25, 40, 50) leaves x 30..60, y 25..50. Under a
  // quarter turn about (90, 55) the earlier scissor x 70..110, y 20..90 is x −35..35, y −20..20; cut by y −5..25
  // it is y −5..20, which is x 70..95, y 20..90 of the frame.
  s.push_back({"scissor intersection", 2, 0,
               [](IGraphicsVR& g) {
                 VRcontext* vg = Ctx(g);
                 vrSave(vg);
                 vrScissor(vg, 10, 10, 50, 40);
                 vrIntersectScissor(vg, 30, 25, 40, 50);
                 vrFillColor(vg, vrRGBf(0.8f, 0.1f, 0.1f));
                 FillAll(vg);
                 vrResetScissor(vg);
                 vrScissor(vg, 70, 20, 40, 70);
                 vrTranslate(vg, 90, 55);
                 vrRotate(vg, float(kPi / 2));
                 vrIntersectScissor(vg, -100, -100, 200, 200);
                 vrIntersectScissor(vg, -100, -5, 200, 30);
                 vrFillColor(vg, vrRGBf(0.1f, 0.2f, 0.8f));
                 FillAll(vg);
                 vrRestore(vg);
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 30, 25, 30, 25);
                 Source(cr, 0.8, 0.1, 0.1);
                 cairo_fill(cr);
                 cairo_rectangle(cr, 70, 20, 25, 70);
                 Source(cr, 0.1, 0.2, 0.8);
                 cairo_fill(cr);
               }});

  // Global alpha multiplies each paint on its own: overlapping drawings still blend with each other. (The stops
  // share one alpha: Cairo ramps straight colours, the back end premultiplied ones.)
  s.push_back({"global alpha", 48, 12,
               [](IGraphicsVR& g) {
                 VRcontext* vg = Ctx(g);
                 vrSave(vg);
                 vrGlobalAlpha(vg, 0.5f);
                 vrFillPaint(vg, vrLinearGradient(vg, 20, 0, 100, 0, vrRGBAf(1, 0, 0, 1), vrRGBAf(0, 0, 1, 1)));
                 vrBeginPath(vg);
                 vrRect(vg, 10, 10, 100, 60);
                 vrFill(vg);
                 vrBeginPath(vg);
                 vrCircle(vg, 60, 60, 25);
                 vrStrokeColor(vg, vrRGBf(0, 0.6f, 0.2f));
                 vrStrokeWidth(vg, 6);
                 vrStroke(vg);
                 vrRestore(vg);
               },
               [](cairo_t* cr) {
                 const double red[4] = {1, 0, 0, 0.5}, blue[4] = {0, 0, 1, 0.5};
                 Ramp(cr, 20, 100, red, blue, 10, 10, 100, 60);
                 cairo_arc(cr, 60, 60, 25, 0, 2 * kPi);
                 Source(cr, 0, 0.6, 0.2, 0.5);
                 cairo_set_line_width(cr, 6);
                 cairo_stroke(cr);
               }});

  // Corners rounded with arc-to: the right angle at (10, 10) with radius 30 is the quarter circle around (40, 40)
  // from (10, 40) to (40, 10); the one at (110, 10) with radius 20 goes around (90, 30) from (90, 10) to (110, 30).
  s.push_back({"arc-to corners", 48, 12,
               [](IGraphicsVR& g) {
                 VRcontext* vg = Ctx(g);
                 vrBeginPath(vg);
                 vrMoveTo(vg, 10, 90);
                 vrArcTo(vg, 10, 10, 110, 10, 30);
                 vrArcTo(vg, 110, 10, 110, 90, 20);
                 vrLineTo(vg, 110, 90);
                 vrStrokeColor(vg, vrRGBf(0.2f, 0.3f, 0.9f));
                 vrStrokeWidth(vg, 4);
                 vrLineJoin(vg, VR_MITER);
                 vrLineCap(vg, VR_BUTT);
                 vrStroke(vg);
               },
               [](cairo_t* cr) {
                 cairo_move_to(cr, 10, 90);
                 cairo_line_to(cr, 10, 40);
                 cairo_arc(cr, 40, 40, 30, kPi, 1.5 * kPi);
                 cairo_line_to(cr, 90, 10);
                 cairo_arc(cr, 90, 30, 20, -kPi / 2, 0);
                 cairo_line_to(cr, 110, 90);
                 Source(cr, 0.2, 0.3, 0.9);
                 cairo_set_line_width(cr, 4);
                 cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                 cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
                 cairo_stroke(cr);
               }});

  // Through the drawing interface: a cubic and a quadratic curve (its cubic controls two thirds of the way to the
  // control point) around a rectangle marked as a hole.
  s.push_back({"curves and a hole", 48, 16,
               [](IGraphicsVR& g) {
                 g.PathRect(IRECT(45.f, 40.f, 75.f, 65.f));
                 g.PathSetWinding(true);
                 g.PathMoveTo(10.f, 80.f);
                 g.PathCubicBezierTo(30.f, 0.f, 80.f, 0.f, 110.f, 80.f);
                 g.PathQuadraticBezierTo(60.f, 100.f, 10.f, 80.f);
                 g.PathClose();
                 g.PathFill(IColor(255, 230, 120, 20));
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 45, 40, 30, 25);
                 cairo_move_to(cr, 10, 80);
                 cairo_curve_to(cr, 30, 0, 80, 0, 110, 80);
                 cairo_curve_to(cr, 110 - 100.0 / 3, 80 + 40.0 / 3, 10 + 100.0 / 3, 80 + 40.0 / 3, 10, 80);
                 cairo_close_path(cr);
                 cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                 Source(cr, 230 / 255.0, 120 / 255.0, 20 / 255.0);
                 cairo_fill(cr);
               }});

  // The even-odd rule marks the last sub-path as a hole: a rectangle inside another, both drawn the same way
  // round, leaves a frame, as Cairo's even-odd fill does.
  s.push_back({"even-odd fill", 2, 0,
               [](IGraphicsVR& g) {
                 g.PathRect(IRECT(10.f, 10.f, 110.f, 90.f));
                 g.PathRect(IRECT(35.f, 30.f, 85.f, 70.f));
                 IFillOptions o;
                 o.mFillRule = kFillEvenOdd;
                 g.PathFill(IColor(255, 40, 140, 90), o);
               },
               [](cairo_t* cr) {
                 cairo_rectangle(cr, 10, 10, 100, 80);
                 cairo_rectangle(cr, 35, 30, 50, 40);
                 cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                 Source(cr, 40 / 255.0, 140 / 255.0, 90 / 255.0);
                 cairo_fill(cr);
               }});

  // A stroke painted with a linear gradient along x 10..110 (the pattern's transform maps drawing space to
  // gradient space).
  s.push_back({"gradient stroke", 48, 16,
               [](IGraphicsVR& g) {
                 IPattern lin(kLinearPattern);
                 lin.AddStop(IColor(255, 200, 40, 30), 0.f);
                 lin.AddStop(IColor(255, 30, 120, 200), 1.f);
                 lin.mTransform = IMatrix(0.0, 0.01, 1.0, 0.0, 0.0, -0.1);
                 g.PathMoveTo(10.f, 80.f);
                 g.PathLineTo(40.f, 20.f);
                 g.PathLineTo(80.f, 70.f);
                 g.PathLineTo(110.f, 25.f);
                 g.PathStroke(lin, 8.f);
               },
               [](cairo_t* cr) {
                 const double a[4] = {200 / 255.0, 40 / 255.0, 30 / 255.0, 1}, b[4] = {30 / 255.0, 120 / 255.0, 200 / 255.0, 1};
                 cairo_pattern_t* p = cairo_pattern_create_linear(10, 0, 110, 0);
                 cairo_pattern_add_color_stop_rgba(p, 0, a[0], a[1], a[2], a[3]);
                 cairo_pattern_add_color_stop_rgba(p, 1, b[0], b[1], b[2], b[3]);
                 cairo_move_to(cr, 10, 80);
                 cairo_line_to(cr, 40, 20);
                 cairo_line_to(cr, 80, 70);
                 cairo_line_to(cr, 110, 25);
                 cairo_set_source(cr, p);
                 cairo_set_line_width(cr, 8);
                 cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
                 cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                 cairo_stroke(cr);
                 cairo_pattern_destroy(p);
               }});

  // Dashes of 10 around an 85 × 40 rectangle: five along each long side (the last one cut at the corner), two
  // along each short side.
  s.push_back({"dotted rectangle", 48, 12,
               [](IGraphicsVR& g) { g.DrawDottedRect(IColor(255, 20, 20, 20), IRECT(10.f, 10.f, 95.f, 50.f), nullptr, 2.f, 10.f); },
               [](cairo_t* cr) {
                 const double seg[][4] = {{10, 10, 20, 10}, {30, 10, 40, 10}, {50, 10, 60, 10}, {70, 10, 80, 10},
                                          {90, 10, 95, 10}, {95, 10, 95, 20}, {95, 30, 95, 40}, {95, 50, 85, 50},
                                          {75, 50, 65, 50}, {55, 50, 45, 50}, {35, 50, 25, 50}, {15, 50, 10, 50},
                                          {10, 50, 10, 40}, {10, 30, 10, 20}};
                 for (const auto& k : seg)
                 {
                   cairo_move_to(cr, k[0], k[1]);
                   cairo_line_to(cr, k[2], k[3]);
                 }
                 Source(cr, 20 / 255.0, 20 / 255.0, 20 / 255.0);
                 cairo_set_line_width(cr, 2);
                 cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                 cairo_stroke(cr);
               }});
  return s;
}

} // namespace

TEST(VRRendererFeatures, MatchCairoAtScaleOneAndTwo)
{
  RunScenes(Scenes(), W, H);
}

// Answers that read no pixels: the point colour is opaque black whatever was drawn, and the back end names
// itself.
TEST(VRRendererFeatures, PointColourAndName)
{
  Editor e(40, 30);
  IColor point;
  Render(e, [&](IGraphicsVR& g) {
    g.FillRect(COLOR_RED, IRECT(0.f, 0.f, 40.f, 30.f));
    point = g.GetPoint(5, 5);
  });
  EXPECT_EQ(point, IColor(255, 0, 0, 0));
  EXPECT_STREQ(e.g.GetDrawingAPIStr(), "VR | Metal");
}

// A bitmap retained under a name is found by that name in this editor's cache (twice retained, still one owner);
// released, it is gone from the cache.
TEST(VRRendererFeatures, RetainedBitmapsAreFoundByNameUntilReleased)
{
  Editor e(40, 30);
  APIBitmap* made = e.g.CreateAPIBitmap(8, 8, 1.f, 1.0);
  ASSERT_NE(made, nullptr);
  const IBitmap bitmap(made, 1, false, "retained.png");
  e.g.RetainBitmap(bitmap, "retained.png");
  e.g.RetainBitmap(bitmap, "retained.png");
  EXPECT_EQ(e.g.LoadBitmap("retained.png", 1, false, 1).mAPIBitmap, made);
  e.g.ReleaseBitmap(bitmap); // the cache deletes it
  EXPECT_EQ(e.g.LoadBitmap("retained.png", 1, false, 1).mAPIBitmap, nullptr);
}

// Fill and stroke geometry as the back end receives it. Areas and outlines are checked against Cairo filling and
// stroking the same shapes: our fans (by non-zero winding, as a stencil fill combines them) and strips against
// Cairo's fill and stroke, pixel by pixel.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/CairoMask.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr int kSize = 200;

struct Ctx : RecordedContext
{
  explicit Ctx(int aa = 1) : RecordedContext(aa) { vrBeginFrame(ctx, kSize, kSize, 1); }
};

// Signed area as the renderer orients paths: solid paths positive, holes negative.
double fanArea(const std::vector<VRvertex>& f)
{
  double a = 0;
  for (size_t i = 1; i + 1 < f.size(); i++)
    a -= ((f[i].x - f[0].x) * (f[i + 1].y - f[0].y) - (f[i + 1].x - f[0].x) * (f[i].y - f[0].y)) * 0.5;
  return a;
}

// A convex fill is inset by half a fringe and ringed by a fringe strip from its edge to half a pixel outside; without
// anti-aliasing it covers the shape exactly.
TEST(RendererFill, RectangleFringe)
{
  for (int aa : {1, 0})
  {
    Ctx c(aa);
    vrBeginPath(c.ctx);
    vrRect(c.ctx, 0, 0, 10, 20);
    vrFill(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedPath& p = c.be.Last().paths.at(0);
    EXPECT_NEAR(fanArea(p.fill), aa ? 9 * 19 : 200, 1e-3);
    ASSERT_EQ(p.stroke.size(), aa ? 10u : 0u);
    if (aa)
    {
      for (size_t i = 0; i < p.stroke.size(); i++) EXPECT_FLOAT_EQ(p.stroke[i].u, i % 2 ? 1.0f : 0.5f);
      EXPECT_NEAR(p.stroke[0].x, 0.5f, 1e-5);
      EXPECT_NEAR(p.stroke[1].x, -0.5f, 1e-5);
    }
  }
}

struct FillCase
{
  const char* name;
  std::function<void(VRcontext*)> ours;
  std::function<void(cairo_t*)> cairo;
  double area; // exact area of the shape
  bool convex;
};

TEST(RendererFill, CoveredAreaMatchesThePath)
{
  const FillCase cases[] = {
      {"disc", [](VRcontext* c) { vrCircle(c, 100, 100, 70); },
       [](cairo_t* cr) { cairo_arc(cr, 100, 100, 70, 0, 2 * M_PI); }, M_PI * 70 * 70, true},
      {"square_hole_drawn_either_way", [](VRcontext* c) {
         // Both drawn clockwise on screen: the winding each asks for decides.
         vrMoveTo(c, 20, 20); vrLineTo(c, 180, 20); vrLineTo(c, 180, 180); vrLineTo(c, 20, 180); vrClosePath(c);
         vrMoveTo(c, 60, 60); vrLineTo(c, 140, 60); vrLineTo(c, 140, 140); vrLineTo(c, 60, 140); vrClosePath(c);
         vrPathWinding(c, VR_HOLE);
       },
       [](cairo_t* cr) {
         cairo_rectangle(cr, 20, 20, 160, 160);
         cairo_rectangle(cr, 60, 60, 80, 80);
         cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
       }, 160.0 * 160 - 80 * 80, false},
      {"concave_star", [](VRcontext* c) {
         for (int i = 0; i < 10; i++)
         {
           const float r = i % 2 ? 35.0f : 90.0f, a = i * 3.14159265f / 5;
           (i ? vrLineTo : vrMoveTo)(c, 100 + r * std::sin(a), 100 - r * std::cos(a));
         }
         vrClosePath(c);
       },
       [](cairo_t* cr) {
         for (int i = 0; i < 10; i++)
           cairo_line_to(cr, 100 + (i % 2 ? 35 : 90) * std::sin(i * M_PI / 5), 100 - (i % 2 ? 35 : 90) * std::cos(i * M_PI / 5));
         cairo_close_path(cr);
       }, 10 * 0.5 * 90 * 35 * std::sin(M_PI / 5), false},
  };

  for (const FillCase& k : cases)
  {
    SCOPED_TRACE(k.name);
    Ctx c(0); // exact fans, no fringe
    vrBeginPath(c.ctx);
    k.ours(c.ctx);
    vrFill(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedCall& call = c.be.Last();
    EXPECT_EQ(call.paths.size() == 1 && call.paths[0].path.convex, k.convex);
    double area = 0;
    std::vector<std::vector<VRvertex>> fans;
    for (const RecordedPath& p : call.paths)
    {
      area += fanArea(p.fill);
      fans.push_back(p.fill);
      EXPECT_EQ(fanArea(p.fill) >= 0, p.path.winding == VR_SOLID); // solid and hole turn opposite ways
    }
    EXPECT_NEAR(area, k.area, k.area * 0.003);

    CairoMask ours(kSize, kSize), ref(kSize, kSize);
    ours.FansNonZero(fans);
    k.cairo(ref.cr());
    cairo_fill(ref.cr());
    EXPECT_LE(ours.Differences(ref, std::string("fill_") + k.name, 40), 40);
  }
}

// Without anti-aliasing a stroke's strip covers exactly the stroke: width, caps and joins as Cairo draws them.
TEST(RendererStroke, OutlineMatchesCairoStroke)
{
  struct Case
  {
    const char* name;
    int cap, join;
    bool closed;
    cairo_line_cap_t ccap;
    cairo_line_join_t cjoin;
  };
  const Case cases[] = {
      {"butt_miter", VR_BUTT, VR_MITER, false, CAIRO_LINE_CAP_BUTT, CAIRO_LINE_JOIN_MITER},
      {"square_bevel", VR_SQUARE, VR_BEVEL, false, CAIRO_LINE_CAP_SQUARE, CAIRO_LINE_JOIN_BEVEL},
      {"round_round", VR_ROUND, VR_ROUND, false, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_JOIN_ROUND},
      {"closed_miter", VR_BUTT, VR_MITER, true, CAIRO_LINE_CAP_BUTT, CAIRO_LINE_JOIN_MITER},
  };
  const float pts[][2] = {{30, 40}, {160, 40}, {100, 110}, {170, 170}, {40, 150}};
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.name);
    Ctx c(0);
    CairoMask ours(kSize, kSize), ref(kSize, kSize);
    cairo_t* cr = ref.cr();
    vrBeginPath(c.ctx);
    for (int i = 0; i < 5; i++)
    {
      (i ? vrLineTo : vrMoveTo)(c.ctx, pts[i][0], pts[i][1]);
      cairo_line_to(cr, pts[i][0], pts[i][1]);
    }
    if (k.closed) vrClosePath(c.ctx), cairo_close_path(cr);
    vrStrokeWidth(c.ctx, 24);
    vrLineCap(c.ctx, k.cap);
    vrLineJoin(c.ctx, k.join);
    vrMiterLimit(c.ctx, 4);
    vrStroke(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedCall& call = c.be.Last();
    EXPECT_FLOAT_EQ(call.strokeWidth, 24);
    ASSERT_EQ(call.paths.size(), 1u);
    EXPECT_TRUE(call.paths[0].fill.empty());
    for (const VRvertex& v : call.paths[0].stroke) EXPECT_FLOAT_EQ(v.u, 0.5f); // no fade without anti-aliasing

    ours.Strip(call.paths[0].stroke);
    cairo_set_line_width(cr, 24);
    cairo_set_line_cap(cr, k.ccap);
    cairo_set_line_join(cr, k.cjoin);
    cairo_set_miter_limit(cr, 4);
    cairo_stroke(cr);
    EXPECT_LE(ours.Differences(ref, std::string("stroke_") + k.name, 30), 30);
  }
}

TEST(RendererStroke, WidthRulesAndBevels)
{
  struct Case
  {
    float sx, sy, width, drawn, alpha;
  };
  // Hairlines are drawn one fringe wide and faded by the square of their coverage; widths scale with the
  // transform's average scale and stop at 200.
  for (const Case& w : {Case{1, 1, 0.5f, 1, 0.25f}, Case{1, 1, 1000, 200, 1}, Case{2, 2, 3, 6, 1},
                        Case{1, 3, 3, 6, 1}, Case{1, 1, 0, 1, 0}})
  {
    Ctx c;
    vrScale(c.ctx, w.sx, w.sy);
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 0, 0);
    vrLineTo(c.ctx, 10, 10);
    vrStrokeWidth(c.ctx, w.width);
    vrStroke(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    EXPECT_FLOAT_EQ(c.be.Last().strokeWidth, w.drawn) << w.width;
    EXPECT_FLOAT_EQ(c.be.Last().paint.innerColor.a, w.alpha) << w.width;
  }

  Ctx c(0);
  vrStrokeWidth(c.ctx, 20);
  // Subdivided curve points never get bevel geometry: a bevel-joined circle bevels only its four corners.
  vrBeginPath(c.ctx);
  vrCircle(c.ctx, 100, 100, 50);
  vrLineJoin(c.ctx, VR_BEVEL);
  vrStroke(c.ctx);
  EXPECT_EQ(c.be.Last().paths[0].path.nbevel, 4);

  // A 45 degree corner (miter 2.6 half widths) is beveled under miter limit 1 and kept under 10.
  for (float limit : {1.0f, 10.0f})
  {
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 0, 0);
    vrLineTo(c.ctx, 100, 0);
    vrLineTo(c.ctx, 0, 100);
    vrLineJoin(c.ctx, VR_MITER);
    vrMiterLimit(c.ctx, limit);
    vrStroke(c.ctx);
    const VRpoint& corner = c.ctx->cache->points[c.ctx->cache->paths[0].first + 1];
    EXPECT_EQ((corner.flags & VR_PT_BEVEL) != 0, limit < 2) << limit;
  }
}

// A width that is not a finite number, as set or once scaled by the transform, strokes nothing at all (no NaN
// reaches the segment counts of round caps and joins).
TEST(RendererStroke, NonFiniteWidthsDrawNothing)
{
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  struct Case
  {
    float scale, width;
  };
  for (const Case& w : {Case{1, nan}, Case{2, -nan}, Case{1, inf}, Case{1, -inf}, Case{0, inf}, Case{1e10f, 1e30f}})
  {
    Ctx c;
    vrScale(c.ctx, w.scale, w.scale);
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 10, 10);
    vrLineTo(c.ctx, 60, 10);
    vrLineTo(c.ctx, 20, 50);
    vrLineJoin(c.ctx, VR_ROUND);
    vrLineCap(c.ctx, VR_ROUND);
    vrStrokeWidth(c.ctx, w.width);
    vrStroke(c.ctx);
    EXPECT_TRUE(c.be.calls.empty()) << w.scale << " x " << w.width;
    // The same path with a usable width still strokes.
    vrStrokeWidth(c.ctx, 4);
    vrStroke(c.ctx);
    EXPECT_EQ(c.be.calls.size(), 1u) << w.scale;
  }

  // Points that are not numbers give joins and caps without a direction: they get their fewest segments (the
  // sanitizer build checks that no NaN is converted to a count), and the corners beside them stay whole.
  for (const int join : {VR_ROUND, VR_BEVEL})
  {
    Ctx c;
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 10, 10);
    vrLineTo(c.ctx, nan, 20);
    vrLineTo(c.ctx, 60, 60);
    vrLineTo(c.ctx, 10, 60);
    vrLineTo(c.ctx, 10, 100);
    vrLineJoin(c.ctx, join);
    vrLineCap(c.ctx, VR_ROUND);
    vrStrokeWidth(c.ctx, 6);
    vrStroke(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    int finite = 0;
    for (const VRvertex& v : c.be.Last().paths[0].stroke) finite += std::isfinite(v.x) && std::isfinite(v.y);
    EXPECT_GT(finite, 0) << join;
  }
}

// A paint the back end could not evaluate, or a transform that collapses everything, gives no NaN and no draw.
TEST(RendererPaint, DegeneratePaintsDrawNothing)
{
  Ctx c;
  const VRcolor w = vrRGBf(1, 1, 1);
  vrSave(c.ctx);
  vrScale(c.ctx, 0, 0);
  vrBeginPath(c.ctx);
  vrCircle(c.ctx, 50, 50, 20);
  vrFill(c.ctx); // plain colour: drawn, collapsed to a point
  vrStroke(c.ctx);
  ASSERT_EQ(c.be.calls.size(), 2u);
  for (const RecordedCall& call : c.be.calls)
    for (const RecordedPath& p : call.paths)
      for (const auto* list : {&p.fill, &p.stroke})
        for (const VRvertex& v : *list) EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));

  vrFillPaint(c.ctx, vrLinearGradient(c.ctx, 0, 0, 10, 0, w, w));
  vrStrokePaint(c.ctx, vrRadialGradient(c.ctx, 0, 0, 1, 10, w, w));
  vrFill(c.ctx);
  vrStroke(c.ctx);
  EXPECT_EQ(c.be.calls.size(), 2u);
  vrRestore(c.ctx);

  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 50, 50);
  for (float size : {0.0f, -10.0f})
  {
    vrFillPaint(c.ctx, vrImagePattern(c.ctx, 0, 0, size, 20, 0, 1, 1));
    vrFill(c.ctx);
    vrFillPaint(c.ctx, vrImagePattern(c.ctx, 0, 0, 20, size, 0, 1, 1));
    vrFill(c.ctx);
  }
  EXPECT_EQ(c.be.calls.size(), 2u);

  // Paths of no point and of one point give no geometry.
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 5, 5);
  vrMoveTo(c.ctx, 9, 9);
  vrLineTo(c.ctx, 9.001f, 9);
  vrFillColor(c.ctx, w);
  vrFill(c.ctx);
  vrStroke(c.ctx);
  ASSERT_EQ(c.be.calls.size(), 4u);
  for (const RecordedPath& p : c.be.Last().paths) EXPECT_TRUE(p.stroke.empty());
}

} // namespace

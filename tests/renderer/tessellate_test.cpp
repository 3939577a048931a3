// Fill and stroke geometry as the back end receives it. Areas and outlines are checked against Cairo filling and
// stroking the same shapes: our fans (combined by non-zero winding, as a stencil fill combines them) and our
// strips are rasterised by Cairo and compared with Cairo's own fill and stroke.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/CairoMask.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSize = 200;

struct Ctx
{
  RecordingBackend be;
  VRcontext* ctx;
  explicit Ctx(int aa = 1) : ctx(be.CreateContext(aa)) { vrBeginFrame(ctx, kSize, kSize, 1); }
  ~Ctx() { vrDeleteInternal(ctx); }
};

// Signed area as the renderer orients paths: solid paths positive, holes negative.
double fanArea(const std::vector<VRvertex>& fan)
{
  double a = 0;
  for (size_t i = 1; i + 1 < fan.size(); i++)
    a -= ((fan[i].x - fan[0].x) * (fan[i + 1].y - fan[0].y) - (fan[i + 1].x - fan[0].x) * (fan[i].y - fan[0].y)) * 0.5;
  return a;
}

bool allFinite(const RecordedCall& c)
{
  for (const RecordedPath& p : c.paths)
  {
    for (const VRvertex& v : p.fill)
      if (!std::isfinite(v.x) || !std::isfinite(v.y)) return false;
    for (const VRvertex& v : p.stroke)
      if (!std::isfinite(v.x) || !std::isfinite(v.y)) return false;
  }
  return true;
}

void expectMasksAgree(const CairoMask& ours, const CairoMask& ref, int maxPixels, const std::string& name)
{
  const int diff = ours.Differences(ref, 128);
  EXPECT_LE(diff, maxPixels) << name;
  if (diff > maxPixels)
  {
    ours.Save("renderer_" + name + "_ours");
    ref.Save("renderer_" + name + "_cairo");
  }
}

TEST(RendererFill, DocumentedRectangleGeometry)
{
  {
    Ctx c;
    vrBeginPath(c.ctx);
    vrRect(c.ctx, 0, 0, 10, 20);
    vrFill(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedCall& call = c.be.Last();
    ASSERT_EQ(call.paths.size(), 1u);
    const RecordedPath& p = call.paths[0];
    EXPECT_EQ(p.path.convex, 1);
    EXPECT_FLOAT_EQ(call.fringe, 1.0f);
    EXPECT_FLOAT_EQ(call.bounds[2], 10);
    ASSERT_EQ(p.fill.size(), 4u);
    EXPECT_NEAR(fanArea(p.fill), 9 * 19, 1e-3); // inset by half a fringe
    for (const VRvertex& v : p.fill) EXPECT_FLOAT_EQ(v.u, 0.5f);
    ASSERT_EQ(p.stroke.size(), 10u);
    for (size_t i = 0; i < p.stroke.size(); i++)
    {
      EXPECT_FLOAT_EQ(p.stroke[i].u, i % 2 ? 1.0f : 0.5f);
      // Inner vertices at 0.5 inside the edge, outer ones 0.5 outside: e.g. the corner (0, 0).
      const float ex = i % 2 ? -0.5f : 0.5f;
      if (i == 0 || i == 8)
      {
        EXPECT_NEAR(p.stroke[i].x, ex, 1e-5);
      }
    }
  }
  {
    Ctx c(0); // no anti-aliasing
    vrBeginPath(c.ctx);
    vrRect(c.ctx, 0, 0, 10, 20);
    vrFill(c.ctx);
    const RecordedCall& call = c.be.Last();
    EXPECT_FLOAT_EQ(call.fringe, 1.0f);
    EXPECT_EQ(call.paths[0].fill.size(), 4u);
    EXPECT_NEAR(fanArea(call.paths[0].fill), 200, 1e-4);
    EXPECT_TRUE(call.paths[0].stroke.empty());
    EXPECT_EQ(call.paths[0].path.nstroke, 0);
  }
  {
    Ctx c;
    vrBeginPath(c.ctx);
    vrRect(c.ctx, 0, 0, 10, 10);
    vrRect(c.ctx, 20, 0, 10, 10);
    vrGlobalAlpha(c.ctx, 0.5f);
    vrFill(c.ctx);
    const RecordedCall& call = c.be.Last();
    ASSERT_EQ(call.paths.size(), 2u);
    EXPECT_EQ(call.paths[0].path.convex, 1);
    EXPECT_FLOAT_EQ(call.paint.innerColor.a, 0.5f);
    bool sawZero = false;
    for (const VRvertex& v : call.paths[0].stroke) sawZero |= v.u == 0.0f; // full fringe: u from 0 to 1
    EXPECT_TRUE(sawZero);
    EXPECT_FLOAT_EQ(call.bounds[2], 30);
    EXPECT_EQ(c.ctx->drawCallCount, 4);
  }
}

struct FillCase
{
  const char* name;
  std::function<void(VRcontext*)> ours;
  std::function<void(cairo_t*)> cairo;
  double area; // exact area of the shape
};

TEST(RendererFill, CoveredAreaMatchesThePath)
{
  const FillCase cases[] = {
      {"disc", [](VRcontext* c) { vrCircle(c, 100, 100, 70); },
       [](cairo_t* cr) { cairo_arc(cr, 100, 100, 70, 0, 2 * M_PI); }, M_PI * 70 * 70},
      {"ring_hole", [](VRcontext* c) {
         vrCircle(c, 100, 100, 80);
         vrCircle(c, 100, 100, 40);
         vrPathWinding(c, VR_HOLE);
       },
       [](cairo_t* cr) {
         cairo_arc(cr, 100, 100, 80, 0, 2 * M_PI);
         cairo_new_sub_path(cr);
         cairo_arc_negative(cr, 100, 100, 40, 2 * M_PI, 0);
       }, M_PI * (80 * 80 - 40 * 40)},
      {"ring_clockwise_outer", [](VRcontext* c) {
         // Drawn clockwise and counter-clockwise by hand: the winding each path asks for decides.
         vrMoveTo(c, 20, 20); vrLineTo(c, 180, 20); vrLineTo(c, 180, 180); vrLineTo(c, 20, 180); vrClosePath(c);
         vrMoveTo(c, 60, 60); vrLineTo(c, 60, 140); vrLineTo(c, 140, 140); vrLineTo(c, 140, 60); vrClosePath(c);
         vrPathWinding(c, VR_HOLE);
       },
       [](cairo_t* cr) {
         cairo_rectangle(cr, 20, 20, 160, 160);
         cairo_rectangle(cr, 60, 60, 80, 80);
         cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
       }, 160.0 * 160 - 80 * 80},
      {"rounded_rect", [](VRcontext* c) { vrRoundedRect(c, 15.3f, 30.2f, 150, 90, 25); },
       [](cairo_t* cr) {
         const double x = 15.3, y = 30.2, w = 150, h = 90, r = 25;
         cairo_new_sub_path(cr);
         cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
         cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
         cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
         cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
         cairo_close_path(cr);
       }, 150.0 * 90 - (4 - M_PI) * 25 * 25},
      {"concave_star", [](VRcontext* c) {
         for (int i = 0; i < 10; i++)
         {
           const float r = i % 2 ? 35.0f : 90.0f, a = i * kPi / 5;
           if (i == 0) vrMoveTo(c, 100 + r * std::sin(a), 100 - r * std::cos(a));
           else vrLineTo(c, 100 + r * std::sin(a), 100 - r * std::cos(a));
         }
         vrClosePath(c);
       },
       [](cairo_t* cr) {
         for (int i = 0; i < 10; i++)
         {
           const double r = i % 2 ? 35.0 : 90.0, a = i * M_PI / 5;
           if (i == 0) cairo_move_to(cr, 100 + r * std::sin(a), 100 - r * std::cos(a));
           else cairo_line_to(cr, 100 + r * std::sin(a), 100 - r * std::cos(a));
         }
         cairo_close_path(cr);
       }, 10 * 0.5 * 90 * 35 * std::sin(M_PI / 5)},
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
    EXPECT_EQ(call.paths.size() == 1 && call.paths[0].path.convex, std::string(k.name) == "disc" ||
                                                                        std::string(k.name) == "rounded_rect");

    double area = 0;
    std::vector<std::vector<VRvertex>> fans;
    for (const RecordedPath& p : call.paths)
    {
      area += fanArea(p.fill);
      fans.push_back(p.fill);
      // Solid paths turn one way, holes the other.
      EXPECT_EQ(fanArea(p.fill) >= 0, p.path.winding == VR_SOLID);
    }
    EXPECT_NEAR(area, k.area, k.area * 0.003);

    CairoMask ours(kSize, kSize, false), ref(kSize, kSize, false);
    ours.FansNonZero(fans);
    k.cairo(ref.cr());
    cairo_fill(ref.cr());
    expectMasksAgree(ours, ref, 40, std::string("fill_") + k.name);
  }
}

struct StrokeCase
{
  const char* name;
  int cap, join;
  bool closed;
};

// Strokes without anti-aliasing cover exactly the stroke region: width, caps and joins as Cairo defines them.
TEST(RendererStroke, OutlineMatchesCairoStroke)
{
  const StrokeCase cases[] = {
      {"butt_miter", VR_BUTT, VR_MITER, false},    {"square_bevel", VR_SQUARE, VR_BEVEL, false},
      {"round_round", VR_ROUND, VR_ROUND, false},  {"closed_miter", VR_BUTT, VR_MITER, true},
      {"closed_round", VR_BUTT, VR_ROUND, true},   {"closed_bevel", VR_BUTT, VR_BEVEL, true},
  };
  const float pts[][2] = {{30, 40}, {160, 40}, {100, 110}, {170, 170}, {40, 150}};
  const float width = 24;
  for (const StrokeCase& k : cases)
  {
    SCOPED_TRACE(k.name);
    Ctx c(0);
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, pts[0][0], pts[0][1]);
    for (int i = 1; i < 5; i++) vrLineTo(c.ctx, pts[i][0], pts[i][1]);
    if (k.closed) vrClosePath(c.ctx);
    vrStrokeWidth(c.ctx, width);
    vrLineCap(c.ctx, k.cap);
    vrLineJoin(c.ctx, k.join);
    vrMiterLimit(c.ctx, 4);
    vrStroke(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedCall& call = c.be.Last();
    EXPECT_FLOAT_EQ(call.strokeWidth, width);
    ASSERT_EQ(call.paths.size(), 1u);
    EXPECT_TRUE(call.paths[0].fill.empty());
    for (const VRvertex& v : call.paths[0].stroke) EXPECT_FLOAT_EQ(v.u, 0.5f); // no fade without anti-aliasing

    CairoMask ours(kSize, kSize, false), ref(kSize, kSize, false);
    ours.Strip(call.paths[0].stroke);
    cairo_t* cr = ref.cr();
    cairo_move_to(cr, pts[0][0], pts[0][1]);
    for (int i = 1; i < 5; i++) cairo_line_to(cr, pts[i][0], pts[i][1]);
    if (k.closed) cairo_close_path(cr);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, k.cap == VR_BUTT ? CAIRO_LINE_CAP_BUTT
                                            : (k.cap == VR_ROUND ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_SQUARE));
    cairo_set_line_join(cr, k.join == VR_MITER ? CAIRO_LINE_JOIN_MITER
                                               : (k.join == VR_ROUND ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_BEVEL));
    cairo_set_miter_limit(cr, 4);
    cairo_stroke(cr);
    expectMasksAgree(ours, ref, 30, std::string("stroke_") + k.name);
  }
}

TEST(RendererStroke, WidthRulesAndVertexCounts)
{
  struct WidthCase
  {
    float sx, sy, width;
    float drawn, alpha;
  };
  const WidthCase widths[] = {{1, 1, 0.5f, 1, 0.25f}, {1, 1, 1000, 200, 1}, {2, 2, 3, 6, 1}, {1, 3, 3, 6, 1},
                              {1, 1, 0, 1, 0}};
  for (const WidthCase& w : widths)
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
    // Two points, butt caps, anti-aliased: start cap and end cap only.
    EXPECT_EQ(c.be.Last().paths[0].stroke.size(), 8u);
  }

  // Round caps on a half width of 10: 8 divisions of the half circle.
  Ctx c(0);
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 20, 20);
  vrLineTo(c.ctx, 100, 20);
  vrStrokeWidth(c.ctx, 20);
  vrLineCap(c.ctx, VR_ROUND);
  vrStroke(c.ctx);
  EXPECT_EQ(c.be.Last().paths[0].stroke.size(), 2u * (8 * 2 + 2));

  // Subdivided curve points never get bevel geometry: a bevel-joined circle bevels only its four corners.
  vrBeginPath(c.ctx);
  vrCircle(c.ctx, 100, 100, 50);
  vrLineJoin(c.ctx, VR_BEVEL);
  vrStroke(c.ctx);
  EXPECT_EQ(c.be.Last().paths[0].path.nbevel, 4);
  EXPECT_GT(c.be.Last().paths[0].path.count, 20);

  // A corner sharper than the miter limit is beveled; a mild one keeps its miter.
  for (float limit : {1.0f, 10.0f})
  {
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 0, 0);
    vrLineTo(c.ctx, 100, 0);
    vrLineTo(c.ctx, 0, 100); // 45 degrees: miter length 2.6 half widths
    vrLineJoin(c.ctx, VR_MITER);
    vrMiterLimit(c.ctx, limit);
    vrStroke(c.ctx);
    const VRpoint& corner = c.ctx->cache->points[c.ctx->cache->paths[0].first + 1];
    EXPECT_EQ((corner.flags & VR_PT_BEVEL) != 0, limit < 2) << limit;
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
  for (const RecordedCall& call : c.be.calls) EXPECT_TRUE(allFinite(call));
  EXPECT_FLOAT_EQ(c.be.calls[1].paint.innerColor.a, 0.0f); // zero-width hairline fades out entirely

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
  vrFillPaint(c.ctx, vrImagePattern(c.ctx, 0, 0, 20, 20, 0, 1, 1));
  vrFill(c.ctx);
  EXPECT_EQ(c.be.calls.size(), 3u);
}

} // namespace

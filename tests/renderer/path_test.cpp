// Path construction and flattening. Flattened curves are checked against Cairo's own flattening of the same
// curves (cairo_copy_path_flat at a fine tolerance): every point we make lies on the curve, every point of the
// curve lies near our polyline, and end points are kept.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Pt
{
  double x, y;
};

struct Ctx
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  ~Ctx() { vrDeleteInternal(ctx); }
};

double distToSegment(Pt p, Pt a, Pt b)
{
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

double distToPolyline(Pt p, const std::vector<Pt>& line, bool closed)
{
  double best = 1e30;
  for (size_t i = 0; i + 1 < line.size(); i++) best = std::min(best, distToSegment(p, line[i], line[i + 1]));
  if (closed && line.size() > 1) best = std::min(best, distToSegment(p, line.back(), line.front()));
  if (line.size() == 1) best = std::hypot(p.x - line[0].x, p.y - line[0].y);
  return best;
}

// Cairo's flattening of one sub-path built by `build`, with a tolerance far below ours.
std::vector<Pt> cairoFlat(const std::function<void(cairo_t*)>& build)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_set_tolerance(cr, 0.001);
  build(cr);
  cairo_path_t* path = cairo_copy_path_flat(cr);
  std::vector<Pt> pts;
  for (int i = 0; i < path->num_data; i += path->data[i].header.length)
  {
    const cairo_path_data_t* d = &path->data[i];
    if (d->header.type == CAIRO_PATH_MOVE_TO || d->header.type == CAIRO_PATH_LINE_TO)
      pts.push_back({d[1].point.x, d[1].point.y});
  }
  cairo_path_destroy(path);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return pts;
}

std::vector<Pt> ourFlat(VRcontext* ctx, int pathIndex = 0)
{
  vr__flattenPaths(ctx);
  const VRpath& p = ctx->cache->paths[pathIndex];
  std::vector<Pt> pts;
  for (int i = 0; i < p.count; i++) pts.push_back({ctx->cache->points[p.first + i].x, ctx->cache->points[p.first + i].y});
  return pts;
}

// Replays the context's command buffer (already transformed) into Cairo and flattens it there.
std::vector<Pt> cairoFlatOf(VRcontext* ctx)
{
  return cairoFlat([ctx](cairo_t* cr) {
    const float* c = ctx->commands;
    for (int i = 0; i < ctx->ncommands;)
    {
      switch (static_cast<int>(c[i]))
      {
      case VR_MOVETO: cairo_move_to(cr, c[i + 1], c[i + 2]); i += 3; break;
      case VR_LINETO: cairo_line_to(cr, c[i + 1], c[i + 2]); i += 3; break;
      case VR_BEZIERTO: cairo_curve_to(cr, c[i + 1], c[i + 2], c[i + 3], c[i + 4], c[i + 5], c[i + 6]); i += 7; break;
      case VR_CLOSE: cairo_close_path(cr); i += 1; break;
      case VR_WINDING: i += 2; break;
      default: i += 1; break;
      }
    }
  });
}

struct CurveCase
{
  const char* name;
  std::function<void(VRcontext*)> ours;
  bool closed;
  float cx = 0, cy = 0, rx = 0, ry = 0; // for circles and arcs: the true circle or ellipse (rx 0: none)
  double radial = 3.1e-4;               // relative radial error of the cubic pieces
};

TEST(RendererFlatten, CurvesMatchCairoWithinTolerance)
{
  const CurveCase cases[] = {
      {"s-curve", [](VRcontext* c) { vrMoveTo(c, 10, 10); vrBezierTo(c, 200, 10, -50, 200, 150, 180); }, false},
      {"loop", [](VRcontext* c) { vrMoveTo(c, 0, 0); vrBezierTo(c, 300, 300, -300, 300, 0, 0); }, true},
      {"tiny", [](VRcontext* c) { vrMoveTo(c, 1, 1); vrBezierTo(c, 1.5f, 1, 2, 1.5f, 2, 2); }, false},
      {"quad", [](VRcontext* c) { vrMoveTo(c, 0, 100); vrQuadTo(c, 50, -100, 100, 100); }, false},
      {"circle", [](VRcontext* c) { vrCircle(c, 100, 100, 80); }, true, 100, 100, 80, 80},
      {"ellipse", [](VRcontext* c) { vrEllipse(c, 60, 40, 50, 20); }, true, 60, 40, 50, 20},
      {"arc", [](VRcontext* c) { vrArc(c, 50, 50, 40, 0.3f, 2.5f, VR_CW); }, false, 50, 50, 40, 40, 4.5e-3}, // one piece of 126 degrees
      {"arc ccw", [](VRcontext* c) { vrArc(c, 50, 50, 40, 0.3f, -2.0f, VR_CCW); }, false, 50, 50, 40, 40, 3e-3},
      {"scaled", [](VRcontext* c) { vrScale(c, 3, 1); vrCircle(c, 10, 10, 8); vrResetTransform(c); }, true, 30, 10, 24, 8},
  };

  for (float ratio : {1.0f, 2.0f})
  {
    for (const CurveCase& k : cases)
    {
      SCOPED_TRACE(std::string(k.name) + " ratio " + std::to_string(ratio));
      Ctx c;
      vrBeginFrame(c.ctx, 400, 400, ratio);
      vrBeginPath(c.ctx);
      k.ours(c.ctx);
      const std::vector<Pt> ours = ourFlat(c.ctx);
      const std::vector<Pt> ref = cairoFlatOf(c.ctx);
      ASSERT_GE(ours.size(), 2u);

      // Our points lie on the curve; the curve stays within our flatness tolerance of our polyline.
      for (const Pt& p : ours) EXPECT_LT(distToPolyline(p, ref, k.closed), 0.02) << p.x << "," << p.y;
      const double flat = 0.75 * std::sqrt(0.25 / ratio) + 0.02;
      double worst = 0;
      for (const Pt& p : ref) worst = std::max(worst, distToPolyline(p, ours, k.closed));
      EXPECT_LT(worst, flat);
      // End points kept (a solid path may come out reversed; a closed one drops only its closing duplicate).
      for (const Pt& end : {ref.front(), ref.back()})
      {
        double nearest = 1e30;
        for (const Pt& p : ours) nearest = std::min(nearest, std::hypot(p.x - end.x, p.y - end.y));
        EXPECT_LT(nearest, 0.005) << end.x << "," << end.y;
      }
      // Circles and arcs: the cubic pieces stay close to the true curve (3e-4 of the radius for quarter circles).
      if (k.rx > 0)
      {
        for (const Pt& p : ours)
        {
          const double ex = (p.x - k.cx) / k.rx, ey = (p.y - k.cy) / k.ry;
          EXPECT_NEAR(std::hypot(ex, ey), 1.0, k.radial) << p.x << "," << p.y;
        }
      }
    }
  }
}

// A curve whose pieces are still not flat after ten halvings keeps its end point (and so has no gap).
TEST(RendererFlatten, DeepSubdivisionKeepsTheEndPoint)
{
  Ctx c;
  vrBeginFrame(c.ctx, 100, 100, 20000.0f); // tessTol 1.25e-5: flat only far below 1/1024 of this curve
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 0, 0);
  vrBezierTo(c.ctx, 5000, 10000, 10000, -10000, 10000, 0);
  const std::vector<Pt> ours = ourFlat(c.ctx);
  ASSERT_GE(ours.size(), 2u);
  EXPECT_NEAR(ours.back().x, 10000, 1e-3);
  EXPECT_NEAR(ours.back().y, 0, 1e-3);
  const std::vector<Pt> ref = cairoFlatOf(c.ctx);
  double worst = 0;
  for (const Pt& p : ref) worst = std::max(worst, distToPolyline(p, ours, false));
  EXPECT_LT(worst, 10.0) << "a piece of the curve is missing";
}

TEST(RendererPath, RectWindingAndClosing)
{
  Ctx c;
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 20);
  EXPECT_EQ(c.ctx->ncommands, 13);
  std::vector<Pt> pts = ourFlat(c.ctx);
  const VRpath& p = c.ctx->cache->paths[0];
  EXPECT_EQ(c.ctx->cache->npaths, 1);
  EXPECT_EQ(p.closed, 1);
  EXPECT_EQ(p.winding, VR_SOLID);
  ASSERT_EQ(pts.size(), 4u);
  const Pt want[] = {{0, 0}, {0, 20}, {10, 20}, {10, 0}};
  for (int i = 0; i < 4; i++)
  {
    EXPECT_FLOAT_EQ(pts[i].x, want[i].x);
    EXPECT_FLOAT_EQ(pts[i].y, want[i].y);
  }
  EXPECT_FLOAT_EQ(c.ctx->cache->bounds[2], 10);
  EXPECT_FLOAT_EQ(c.ctx->cache->bounds[3], 20);
  EXPECT_FLOAT_EQ(c.ctx->cache->points[0].dy, 1); // unit direction to the next point
  EXPECT_FLOAT_EQ(c.ctx->cache->points[0].len, 20);

  // A hole is turned clockwise.
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 20);
  vrPathWinding(c.ctx, VR_HOLE);
  pts = ourFlat(c.ctx);
  EXPECT_FLOAT_EQ(pts[0].x, 10); // the same corners in reverse order
  EXPECT_FLOAT_EQ(pts[0].y, 0);
  EXPECT_FLOAT_EQ(pts[1].x, 10);
  EXPECT_FLOAT_EQ(pts[1].y, 20);

  // A repeated first point closes the path; a lone move to leaves an empty closed path; a line to the current
  // point merges its corner flag.
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 0, 0);
  vrLineTo(c.ctx, 10, 0);
  vrLineTo(c.ctx, 10, 0.001f);
  vrLineTo(c.ctx, 10, 10);
  vrLineTo(c.ctx, 0, 0);
  vrMoveTo(c.ctx, 50, 50);
  vr__flattenPaths(c.ctx);
  ASSERT_EQ(c.ctx->cache->npaths, 2);
  EXPECT_EQ(c.ctx->cache->paths[0].count, 3);
  EXPECT_EQ(c.ctx->cache->paths[0].closed, 1);
  EXPECT_EQ(c.ctx->cache->paths[1].count, 0);
  EXPECT_EQ(c.ctx->cache->paths[1].closed, 1);

  // Close and winding with no path do nothing; an unknown command is skipped.
  vrBeginPath(c.ctx);
  vrClosePath(c.ctx);
  vrPathWinding(c.ctx, VR_HOLE);
  vr__flattenPaths(c.ctx);
  EXPECT_EQ(c.ctx->cache->npaths, 0);
}

TEST(RendererPath, CommandsAreStoredTransformed)
{
  Ctx c;
  vrTranslate(c.ctx, 100, 0);
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 1, 2);
  EXPECT_FLOAT_EQ(c.ctx->commands[1], 101);
  EXPECT_FLOAT_EQ(c.ctx->commandx, 1); // the current point stays untransformed
  vrQuadTo(c.ctx, 4, 2, 7, 2);         // from the untransformed current point
  EXPECT_FLOAT_EQ(c.ctx->commands[4], 103);
  EXPECT_FLOAT_EQ(c.ctx->commands[8], 107);
  // The command buffer grows past its first 256 floats.
  for (int i = 0; i < 200; i++) vrLineTo(c.ctx, i, i);
  EXPECT_EQ(c.ctx->ncommands, 3 + 7 + 600);
  EXPECT_FLOAT_EQ(c.ctx->commands[c.ctx->ncommands - 2], 199 + 100);
}

TEST(RendererPath, ArcsRoundedRectsAndArcTo)
{
  Ctx c;
  struct ArcCase
  {
    float a0, a1;
    int dir;
    int segments;
  };
  const ArcCase arcs[] = {{0, 2 * kPi, VR_CW, 4}, {0, 0.1f, VR_CW, 1},     {0, 3 * kPi, VR_CW, 4},
                          {0, kPi, VR_CCW, 2},    {0, -kPi / 2, VR_CW, 3}, {0, 10 * kPi, VR_CCW, 4}};
  for (const ArcCase& a : arcs)
  {
    vrBeginPath(c.ctx);
    vrArc(c.ctx, 0, 0, 10, a.a0, a.a1, a.dir);
    EXPECT_EQ(c.ctx->ncommands, 3 + 7 * a.segments) << a.a1 << " dir " << a.dir;
    EXPECT_EQ(static_cast<int>(c.ctx->commands[0]), VR_MOVETO);
  }
  vrArc(c.ctx, 0, 0, 10, 0, 1, VR_CW);
  EXPECT_EQ(static_cast<int>(c.ctx->commands[3 + 7 * 4]), VR_LINETO); // not the first: joins with a line

  vrBeginPath(c.ctx);
  vrRoundedRectVarying(c.ctx, 0, 0, 10, 10, 0.05f, 0.05f, 0.05f, 0.05f);
  EXPECT_EQ(c.ctx->ncommands, 13);
  vrBeginPath(c.ctx);
  vrRoundedRect(c.ctx, 0, 0, 20, 10, 50);
  EXPECT_EQ(c.ctx->ncommands, 44);
  EXPECT_FLOAT_EQ(c.ctx->commands[2], 5);  // move to (x, y + ryTL): ry clamped to 5
  EXPECT_FLOAT_EQ(c.ctx->commands[34], 10); // line to (x + rxTL, y): rx clamped to 10
  vrBeginPath(c.ctx);
  vrRoundedRect(c.ctx, 0, 0, -20, 10, 4);
  EXPECT_FLOAT_EQ(c.ctx->commands[34], -4); // negative width mirrors the radius

  vrBeginPath(c.ctx);
  vrArcTo(c.ctx, 10, 0, 10, 10, 5); // empty path: nothing
  EXPECT_EQ(c.ctx->ncommands, 0);
  vrMoveTo(c.ctx, 0, 0);
  vrArcTo(c.ctx, 10, 0, 10, 10, 0); // radius 0: a line
  EXPECT_EQ(c.ctx->ncommands, 6);
  vrArcTo(c.ctx, 20, 0, 30, 0, 5); // collinear: a line
  EXPECT_EQ(c.ctx->ncommands, 9);

  // A right-angle corner rounded with radius 5: the arc runs from (25, 0) to (30, 5) around (25, 5) (the solid
  // path may come out reversed).
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 0, 0);
  vrArcTo(c.ctx, 30, 0, 30, 30, 5);
  const std::vector<Pt> pts = ourFlat(c.ctx);
  int onArc = 0;
  for (const Pt& p : pts)
  {
    if (p.x == 0 && p.y == 0) continue;
    EXPECT_NEAR(std::hypot(p.x - 25, p.y - 5), 5, 0.01) << p.x << "," << p.y;
    onArc++;
  }
  EXPECT_EQ(onArc, static_cast<int>(pts.size()) - 1);
  for (const Pt& end : {Pt{25, 0}, Pt{30, 5}})
  {
    double nearest = 1e30;
    for (const Pt& p : pts) nearest = std::min(nearest, std::hypot(p.x - end.x, p.y - end.y));
    EXPECT_LT(nearest, 1e-3);
  }
}

TEST(RendererPath, FlattenedOnceUntilBeginPath)
{
  Ctx c;
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 10);
  vrFill(c.ctx);
  vrRect(c.ctx, 20, 20, 10, 10); // after a fill, without vrBeginPath: not seen
  vrFill(c.ctx);
  vrStroke(c.ctx);
  ASSERT_EQ(c.be.calls.size(), 3u);
  EXPECT_EQ(c.be.calls[1].paths.size(), 1u);
  EXPECT_EQ(c.be.calls[2].paths.size(), 1u);
  vrBeginPath(c.ctx);
  EXPECT_EQ(c.ctx->ncommands, 0);
  EXPECT_EQ(c.ctx->cache->npaths, 0);
}

} // namespace

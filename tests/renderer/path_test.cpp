// Path construction and flattening. Curves are checked against Cairo's own flattening of the same commands
// (cairo_copy_path_flat at a fine tolerance): our points lie on the curve, the curve stays within our flatness
// tolerance of our polyline, end points are kept; circles and arcs also against the true circle.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Pt
{
  double x, y;
};

using Ctx = RecordedContext;

double distToPolyline(Pt p, const std::vector<Pt>& line, bool closed)
{
  double best = 1e30;
  for (size_t i = 0; i < line.size(); i++)
  {
    if (i + 1 == line.size() && !closed && line.size() > 1) break;
    const Pt a = line[i], b = line[(i + 1) % line.size()];
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
    best = std::min(best, std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y));
  }
  return best;
}

double nearestPoint(Pt p, const std::vector<Pt>& pts)
{
  double best = 1e30;
  for (const Pt& q : pts) best = std::min(best, std::hypot(p.x - q.x, p.y - q.y));
  return best;
}

// Replays the context's (already transformed) commands into Cairo and flattens them there.
std::vector<Pt> cairoFlatOf(VRcontext* ctx)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_set_tolerance(cr, 0.001);
  const float* c = ctx->commands;
  for (int i = 0; i < ctx->ncommands;)
  {
    switch (static_cast<int>(c[i]))
    {
    case VR_MOVETO: cairo_move_to(cr, c[i + 1], c[i + 2]); i += 3; break;
    case VR_LINETO: cairo_line_to(cr, c[i + 1], c[i + 2]); i += 3; break;
    case VR_BEZIERTO: cairo_curve_to(cr, c[i + 1], c[i + 2], c[i + 3], c[i + 4], c[i + 5], c[i + 6]); i += 7; break;
    case VR_WINDING: i += 2; break;
    default: i += 1; break;
    }
  }
  cairo_path_t* path = cairo_copy_path_flat(cr);
  std::vector<Pt> pts;
  for (int i = 0; i < path->num_data; i += path->data[i].header.length)
    if (path->data[i].header.type != CAIRO_PATH_CLOSE_PATH) pts.push_back({path->data[i + 1].point.x, path->data[i + 1].point.y});
  cairo_path_destroy(path);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return pts;
}

std::vector<Pt> ourFlat(VRcontext* ctx)
{
  vr__flattenPaths(ctx);
  const VRpath& p = ctx->cache->paths[0];
  std::vector<Pt> pts;
  for (int i = 0; i < p.count; i++) pts.push_back({ctx->cache->points[p.first + i].x, ctx->cache->points[p.first + i].y});
  return pts;
}

struct CurveCase
{
  const char* name;
  std::function<void(VRcontext*)> build;
  bool closed;
  float cx = 0, cy = 0, rx = 0, ry = 0; // circles and arcs: the true curve (rx 0: none)
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
      {"arc", [](VRcontext* c) { vrArc(c, 50, 50, 40, 0.3f, 2.5f, VR_CW); }, false, 50, 50, 40, 40, 4.5e-3},
      {"arc ccw", [](VRcontext* c) { vrArc(c, 50, 50, 40, 0.3f, -2.0f, VR_CCW); }, false, 50, 50, 40, 40, 3e-3},
      {"scaled", [](VRcontext* c) { vrScale(c, 3, 1); vrCircle(c, 10, 10, 8); }, true, 30, 10, 24, 8},
  };
  for (float ratio : {1.0f, 2.0f})
  {
    for (const CurveCase& k : cases)
    {
      SCOPED_TRACE(std::string(k.name) + " ratio " + std::to_string(ratio));
      Ctx c;
      vrBeginFrame(c.ctx, 400, 400, ratio);
      vrBeginPath(c.ctx);
      k.build(c.ctx);
      const std::vector<Pt> ours = ourFlat(c.ctx), ref = cairoFlatOf(c.ctx);
      ASSERT_GE(ours.size(), 2u);
      // Cairo keeps coordinates in 1/256 pixel: 0.02 covers its rounding.
      for (const Pt& p : ours) EXPECT_LT(distToPolyline(p, ref, k.closed), 0.02) << p.x << "," << p.y;
      double worst = 0;
      for (const Pt& p : ref) worst = std::max(worst, distToPolyline(p, ours, k.closed));
      EXPECT_LT(worst, 0.75 * std::sqrt(0.25 / ratio) + 0.02);
      // End points kept (a solid path may come out reversed; a closed one drops only its closing duplicate).
      EXPECT_LT(nearestPoint(ref.front(), ours), 0.005);
      EXPECT_LT(nearestPoint(ref.back(), ours), 0.005);
      for (const Pt& p : ours)
        EXPECT_TRUE(k.rx == 0 || std::fabs(std::hypot((p.x - k.cx) / k.rx, (p.y - k.cy) / k.ry) - 1) < k.radial);
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
  const std::vector<Pt> ours = ourFlat(c.ctx), ref = cairoFlatOf(c.ctx);
  EXPECT_LT(nearestPoint({10000, 0}, ours), 1e-3);
  double worst = 0;
  for (const Pt& p : ref) worst = std::max(worst, distToPolyline(p, ours, false));
  EXPECT_LT(worst, 10.0) << "a piece of the curve is missing";
}

TEST(RendererPath, CommandsAreStoredTransformed)
{
  Ctx c;
  vrTranslate(c.ctx, 100, 0);
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 1, 2);
  EXPECT_FLOAT_EQ(c.ctx->commands[1], 101);
  EXPECT_FLOAT_EQ(c.ctx->commandx, 1); // the current point stays untransformed
  vrQuadTo(c.ctx, 4, 2, 7, 2);         // control points 2/3 of the way to the quad's control point
  EXPECT_FLOAT_EQ(c.ctx->commands[4], 103);
  EXPECT_FLOAT_EQ(c.ctx->commands[8], 107);
  for (int i = 0; i < 200; i++) vrLineTo(c.ctx, i, i); // grows past the first 256 floats
  EXPECT_EQ(c.ctx->ncommands, 3 + 7 + 600);
  EXPECT_FLOAT_EQ(c.ctx->commands[c.ctx->ncommands - 2], 199 + 100);
}

TEST(RendererPath, ArcSegments)
{
  Ctx c;
  struct ArcCase
  {
    float a1;
    int dir, segments;
  };
  for (const ArcCase& a : {ArcCase{2 * kPi, VR_CW, 4}, ArcCase{0.1f, VR_CW, 1}, ArcCase{3 * kPi, VR_CW, 4},
                           ArcCase{kPi, VR_CCW, 2}, ArcCase{-kPi / 2, VR_CW, 3}, ArcCase{10 * kPi, VR_CCW, 4}})
  {
    vrBeginPath(c.ctx);
    vrArc(c.ctx, 0, 0, 10, 0, a.a1, a.dir);
    EXPECT_EQ(c.ctx->ncommands, 3 + 7 * a.segments) << a.a1 << " dir " << a.dir;
  }
  vrArc(c.ctx, 0, 0, 10, 0, 1, VR_CW);
  EXPECT_EQ(static_cast<int>(c.ctx->commands[3 + 7 * 4]), VR_LINETO); // not the first command: a line to

  // Centre, radius or angles that are not finite numbers add nothing, in either direction; so does an arc-to
  // whose radius is not a number (its centre would not be one).
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  for (const int dir : {VR_CW, VR_CCW})
    for (const std::array<float, 5>& a : {std::array<float, 5>{0, 0, 10, nan, 1}, {0, 0, 10, 0, nan},
                                          {0, 0, 10, 0, inf}, {0, 0, 10, -inf, 0}, {0, 0, nan, 0, 1},
                                          {0, 0, inf, 0, 1}, {nan, 0, 10, 0, 1}, {0, -inf, 10, 0, 1}})
    {
      vrBeginPath(c.ctx);
      vrArc(c.ctx, a[0], a[1], a[2], a[3], a[4], dir);
      EXPECT_EQ(c.ctx->ncommands, 0) << a[0] << " " << a[1] << " " << a[2] << " " << a[3] << " " << a[4];
    }
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 0, 0);
  vrArcTo(c.ctx, 50, 0, 50, 50, nan);
  EXPECT_EQ(c.ctx->ncommands, 3);
}

} // namespace

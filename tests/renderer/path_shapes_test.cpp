// Path shapes whose geometry is worked out by hand: corners rounded with arc-to (tangent points and centres from
// the corner's angle), rectangles and their winding, rounded rectangles' radii, closing and merging of points, the
// flattening cache, and the cache's text dump.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Ctx = RecordedContext;

struct Pt
{
  double x, y;
};

std::vector<Pt> flat(VRcontext* ctx)
{
  vr__flattenPaths(ctx);
  std::vector<Pt> out;
  const VRpathCache* c = ctx->cache;
  for (int p = 0; p < c->npaths; p++)
    for (int i = 0; i < c->paths[p].count; i++)
    {
      const VRpoint& q = c->points[c->paths[p].first + i];
      out.push_back({q.x, q.y});
    }
  return out;
}

double dist(Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y); }

double nearest(Pt p, const std::vector<Pt>& pts)
{
  double best = 1e30;
  for (const Pt& q : pts) best = std::min(best, dist(p, q));
  return best;
}

// A corner rounded with radius r between legs that meet at angle a touches each leg r / tan(a / 2) from the corner;
// the arc's centre lies r from both legs, on the inside of the turn, and the arc takes the short way round.
TEST(RendererPath, ArcToRoundsCornersByTheirAngle)
{
  const double s3 = std::sqrt(3.0);
  struct Case
  {
    const char* name;
    float x1, y1, x2, y2, r;
    Pt centre, t0, t1;
  };
  const Case cases[] = {
      {"right angle, turning right", 30, 0, 30, 30, 5, {25, 5}, {25, 0}, {30, 5}},
      {"right angle, turning left", 30, 0, 30, -30, 5, {25, -5}, {25, 0}, {30, -5}},
      // 60 degrees between the legs: tangent points 2·√3 from the corner.
      {"sharp, turning right", 20, 0, 15, float(5 * s3), 2, {20 - 2 * s3, 2}, {20 - 2 * s3, 0}, {20 - s3, 3}},
      {"sharp, turning left", 20, 0, 15, float(-5 * s3), 2, {20 - 2 * s3, -2}, {20 - 2 * s3, 0}, {20 - s3, -3}},
      // 120 degrees: r / tan(60°) = r / √3.
      {"wide", 20, 0, 25, float(5 * s3), float(s3), {19, s3}, {19, 0}, {20.5, s3 / 2}},
  };
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.name);
    Ctx c;
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 0, 0);
    vrArcTo(c.ctx, k.x1, k.y1, k.x2, k.y2, k.r);
    const std::vector<Pt> pts = flat(c.ctx);
    ASSERT_GT(pts.size(), 3u);
    const double chord = dist(k.t0, k.t1);
    for (size_t i = 0; i < pts.size(); i++)
    {
      if (pts[i].x == 0 && pts[i].y == 0) continue; // the start (flattening may reverse the points)
      EXPECT_NEAR(dist(pts[i], k.centre), k.r, 0.01) << i;
      EXPECT_LE(dist(pts[i], k.t0), chord + 1e-3) << i;
      EXPECT_LE(dist(pts[i], k.t1), chord + 1e-3) << i;
    }
    EXPECT_LT(nearest(k.t0, pts), 2e-3);
    EXPECT_LT(nearest(k.t1, pts), 2e-3);
  }
}

// Arc-to from a current point that was set under a transform uses that point as given, not as transformed.
TEST(RendererPath, ArcToUnderATransform)
{
  Ctx c;
  vrTranslate(c.ctx, 100, 50);
  vrBeginPath(c.ctx);
  vrMoveTo(c.ctx, 0, 0);
  vrArcTo(c.ctx, 30, 0, 30, 30, 5);
  const std::vector<Pt> pts = flat(c.ctx);
  EXPECT_LT(nearest({125, 50}, pts) + nearest({130, 55}, pts), 4e-3);
  for (const Pt& p : pts)
  {
    if (p.x == 100 && p.y == 50) continue; // the start
    EXPECT_NEAR(dist(p, {125, 55}), 5, 0.01);
  }
}

// Corners that cannot be rounded become a line to the corner point.
TEST(RendererPath, ArcToDegenerateCornersAreLines)
{
  struct Case
  {
    const char* name;
    float x1, y1, x2, y2, r;
  };
  const Case cases[] = {
      {"radius 0", 10, 0, 10, 10, 0},
      {"collinear, corner between", 10, 0, 20, 0, 5},
      {"corner on the current point", 0, 0, 10, 10, 5},
      {"corner on the end point", 10, 0, 10, 0, 5},
      {"folding back", 20, 0, 5, 0, 5},
      {"nearly straight", 20, 0, 40, 0.0001f, 5},
  };
  for (const Case& k : cases)
  {
    SCOPED_TRACE(k.name);
    Ctx c;
    vrBeginPath(c.ctx);
    vrArcTo(c.ctx, k.x1, k.y1, k.x2, k.y2, k.r); // empty path: nothing
    EXPECT_EQ(c.ctx->ncommands, 0);
    vrMoveTo(c.ctx, 0, 0);
    vrArcTo(c.ctx, k.x1, k.y1, k.x2, k.y2, k.r);
    ASSERT_EQ(c.ctx->ncommands, 6);
    EXPECT_EQ(static_cast<int>(c.ctx->commands[3]), 1); // line to
    EXPECT_FLOAT_EQ(c.ctx->commands[4], k.x1);
    EXPECT_FLOAT_EQ(c.ctx->commands[5], k.y1);
  }

  // A corner whose legs fold back onto each other along a slanted line: the two directions are the same up to
  // rounding, which must not lose the corner point.
  Ctx c;
  for (int i = 1; i <= 100; i++)
  {
    const float x1 = 1.11f * float(i), y1 = x1 * 0.0037f * float(i);
    vrBeginPath(c.ctx);
    vrMoveTo(c.ctx, 0, 0);
    vrArcTo(c.ctx, x1, y1, x1 * 0.5f, y1 * 0.5f, 5);
    ASSERT_EQ(c.ctx->ncommands, 6) << i;
    EXPECT_FLOAT_EQ(c.ctx->commands[4], x1) << i;
    EXPECT_FLOAT_EQ(c.ctx->commands[5], y1) << i;
  }
}

TEST(RendererPath, RectWindingAndClosing)
{
  Ctx c;
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 20);
  EXPECT_EQ(c.ctx->ncommands, 13);
  std::vector<Pt> pts = flat(c.ctx);
  const VRpath& p = c.ctx->cache->paths[0];
  EXPECT_EQ(p.closed, 1);
  EXPECT_EQ(p.winding, VR_SOLID);
  const Pt want[] = {{0, 0}, {0, 20}, {10, 20}, {10, 0}};
  ASSERT_EQ(pts.size(), 4u);
  for (int i = 0; i < 4; i++) EXPECT_TRUE(pts[i].x == want[i].x && pts[i].y == want[i].y) << i;
  EXPECT_FLOAT_EQ(c.ctx->cache->bounds[2], 10);
  EXPECT_FLOAT_EQ(c.ctx->cache->bounds[3], 20);
  EXPECT_FLOAT_EQ(c.ctx->cache->points[0].dy, 1); // unit direction and distance to the next point
  EXPECT_FLOAT_EQ(c.ctx->cache->points[0].len, 20);

  vrBeginPath(c.ctx); // a hole: the same corners, reversed
  vrRect(c.ctx, 0, 0, 10, 20);
  vrPathWinding(c.ctx, VR_HOLE);
  pts = flat(c.ctx);
  ASSERT_EQ(pts.size(), 4u);
  for (int i = 0; i < 4; i++) EXPECT_TRUE(pts[i].x == want[3 - i].x && pts[i].y == want[3 - i].y) << i;

  // A repeated first point closes the path; a line to the current point merges into it; a lone move to leaves an
  // empty closed path; close and winding without a path do nothing.
  vrBeginPath(c.ctx);
  vrClosePath(c.ctx);
  vrPathWinding(c.ctx, VR_HOLE);
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
  EXPECT_EQ(c.ctx->cache->paths[0].winding, VR_SOLID);
  EXPECT_EQ(c.ctx->cache->paths[1].count, 0);
  EXPECT_EQ(c.ctx->cache->paths[1].closed, 1);
}

TEST(RendererPath, RoundedRectRadii)
{
  Ctx c;
  vrBeginPath(c.ctx);
  vrRoundedRectVarying(c.ctx, 0, 0, 10, 10, 0.05f, 0.05f, 0.05f, 0.05f);
  EXPECT_EQ(c.ctx->ncommands, 13); // a plain rectangle
  // Radius 50 on a 20 × 10 rectangle: each corner 10 across and 5 down. The first point is (x, y + 5), the line
  // along the bottom starts at (x + w − 10, y + h), the one along the top ends at (x + 10, y).
  vrBeginPath(c.ctx);
  vrRoundedRect(c.ctx, 0, 0, 20, 10, 50);
  ASSERT_EQ(c.ctx->ncommands, 44);
  EXPECT_FLOAT_EQ(c.ctx->commands[2], 5);
  EXPECT_FLOAT_EQ(c.ctx->commands[14], 10);
  EXPECT_FLOAT_EQ(c.ctx->commands[34], 10);
  // A negative width mirrors the radii along x.
  vrBeginPath(c.ctx);
  vrRoundedRect(c.ctx, 0, 0, -20, 10, 4);
  EXPECT_FLOAT_EQ(c.ctx->commands[14], -16);
  EXPECT_FLOAT_EQ(c.ctx->commands[34], -4);
  // Different radii per corner: top left 1, top right 2, bottom right 3, bottom left 4, each on both axes.
  vrBeginPath(c.ctx);
  vrRoundedRectVarying(c.ctx, 0, 0, 40, 40, 1, 2, 3, 4);
  const std::vector<Pt> pts = flat(c.ctx);
  for (const Pt& corner : {Pt{0, 1}, Pt{1, 0}, Pt{38, 0}, Pt{40, 2}, Pt{40, 37}, Pt{37, 40}, Pt{4, 40}, Pt{0, 36}})
    EXPECT_LT(nearest(corner, pts), 1e-4) << corner.x << "," << corner.y;
}

// A path is flattened once: a fill and a stroke share it, and commands appended without a new path do not reach
// the next fill.
TEST(RendererPath, FlattenedOnceUntilBeginPath)
{
  Ctx c;
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 10);
  vrFill(c.ctx);
  vrRect(c.ctx, 20, 20, 10, 10);
  vrFill(c.ctx);
  vrStroke(c.ctx);
  ASSERT_EQ(c.be.calls.size(), 3u);
  EXPECT_EQ(c.be.calls[1].paths.size(), 1u);
  EXPECT_EQ(c.be.calls[2].paths.size(), 1u);
  EXPECT_FLOAT_EQ(c.be.calls[1].bounds[2], 10);
  vrBeginPath(c.ctx);
  EXPECT_EQ(c.ctx->ncommands, 0);
  EXPECT_EQ(c.ctx->cache->npaths, 0);
}

// The dump lists every cached path with the vertices of its last expansion: a 10 × 20 rectangle without
// anti-aliasing has its four corners as fill vertices and no fringe; stroked 2 wide it has a miter pair one unit
// inside and outside each corner, and the first pair again.
TEST(RendererPath, DebugDumpListsTheCache)
{
  Ctx c(0);
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 20);
  vrFill(c.ctx);
  testing::internal::CaptureStdout();
  vrDebugDumpPathCache(c.ctx);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Dumping 1 cached paths\n"
                                                    " - Path 0\n"
                                                    "   - fill: 4\n"
                                                    "0.000000\t0.000000\n"
                                                    "0.000000\t20.000000\n"
                                                    "10.000000\t20.000000\n"
                                                    "10.000000\t0.000000\n");
  vrStrokeWidth(c.ctx, 2);
  vrStroke(c.ctx);
  testing::internal::CaptureStdout();
  vrDebugDumpPathCache(c.ctx);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string head = "Dumping 1 cached paths\n"
                           " - Path 0\n"
                           "   - stroke: 10\n"
                           "1.000000\t1.000000\n"
                           "-1.000000\t-1.000000\n"
                           "1.000000\t19.000000\n"
                           "-1.000000\t21.000000\n";
  EXPECT_EQ(out.substr(0, head.size()), head);
  EXPECT_EQ(out.substr(out.size() - 38), "1.000000\t1.000000\n-1.000000\t-1.000000\n");
}

// Many sub-paths in one path: each reaches the back end once, in order, with the bounds of all.
TEST(RendererPath, ManySubPathsInOneFill)
{
  Ctx c(0);
  vrBeginPath(c.ctx);
  for (int i = 0; i < 40; i++) vrRect(c.ctx, float(10 * i), float(i), 5, 5);
  vrFill(c.ctx);
  const RecordedCall& call = c.be.Last();
  ASSERT_EQ(call.paths.size(), 40u);
  for (int i = 0; i < 40; i++)
  {
    ASSERT_EQ(call.paths[size_t(i)].fill.size(), 4u) << i;
    EXPECT_FLOAT_EQ(call.paths[size_t(i)].fill[0].x, float(10 * i)) << i;
    EXPECT_FLOAT_EQ(call.paths[size_t(i)].fill[0].y, float(i)) << i;
  }
  EXPECT_EQ(std::vector<float>(call.bounds, call.bounds + 4), (std::vector<float>{0, 0, 395, 44}));
}

} // namespace

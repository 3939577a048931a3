// Path commands, the path cache and flattening of commands into point lists.

#include "renderer/VectorRenderer_p.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr float kPi = 3.14159265358979323846264338327f;
constexpr float kKappa90 = 0.5522847493f; // control length of a quarter circle
constexpr int kMaxTessLevel = 10;

float clampf(float a, float lo, float hi) { return a < lo ? lo : (a > hi ? hi : a); }

bool ptEquals(float x1, float y1, float x2, float y2, float tol)
{
  const float dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy < tol * tol;
}

float distPtSeg(float x, float y, float px, float py, float qx, float qy)
{
  const float pqx = qx - px, pqy = qy - py;
  float dx = x - px, dy = y - py;
  const float d = pqx * pqx + pqy * pqy;
  float t = pqx * dx + pqy * dy;
  if (d > 0) t /= d;
  t = clampf(t, 0.0f, 1.0f);
  dx = px + t * pqx - x;
  dy = py + t * pqy - y;
  return dx * dx + dy * dy;
}

float normalize(float* x, float* y)
{
  const float d = std::sqrt((*x) * (*x) + (*y) * (*y));
  if (d > 1e-6f)
  {
    const float id = 1.0f / d;
    *x *= id;
    *y *= id;
  }
  return d;
}

float cross(float dx0, float dy0, float dx1, float dy1) { return dx1 * dy0 - dx0 * dy1; }

void appendCommands(VRcontext* ctx, float* vals, int nvals)
{
  VRstate* state = vr__getState(ctx);
  if (ctx->ncommands + nvals > ctx->ccommands)
  {
    const int ccommands = ctx->ncommands + nvals + ctx->ccommands / 2;
    auto* commands = static_cast<float*>(std::realloc(ctx->commands, sizeof(float) * ccommands));
    if (!commands) return;
    ctx->commands = commands;
    ctx->ccommands = ccommands;
  }

  const int code = static_cast<int>(vals[0]);
  if (code != VR_CLOSE && code != VR_WINDING)
  {
    ctx->commandx = vals[nvals - 2];
    ctx->commandy = vals[nvals - 1];
  }

  int i = 0;
  while (i < nvals)
  {
    switch (static_cast<int>(vals[i]))
    {
    case VR_MOVETO:
    case VR_LINETO:
      vrTransformPoint(&vals[i + 1], &vals[i + 2], state->xform, vals[i + 1], vals[i + 2]);
      i += 3;
      break;
    case VR_BEZIERTO:
      vrTransformPoint(&vals[i + 1], &vals[i + 2], state->xform, vals[i + 1], vals[i + 2]);
      vrTransformPoint(&vals[i + 3], &vals[i + 4], state->xform, vals[i + 3], vals[i + 4]);
      vrTransformPoint(&vals[i + 5], &vals[i + 6], state->xform, vals[i + 5], vals[i + 6]);
      i += 7;
      break;
    case VR_WINDING: i += 2; break;
    default: i++; break;
    }
  }
  std::memcpy(&ctx->commands[ctx->ncommands], vals, nvals * sizeof(float));
  ctx->ncommands += nvals;
}

VRpath* lastPath(VRcontext* ctx)
{
  return ctx->cache->npaths > 0 ? &ctx->cache->paths[ctx->cache->npaths - 1] : nullptr;
}

void addPath(VRcontext* ctx)
{
  VRpathCache* c = ctx->cache;
  if (c->npaths + 1 > c->cpaths)
  {
    const int cpaths = c->npaths + 1 + c->cpaths / 2;
    auto* paths = static_cast<VRpath*>(std::realloc(c->paths, sizeof(VRpath) * cpaths));
    if (!paths) return;
    c->paths = paths;
    c->cpaths = cpaths;
  }
  VRpath* path = &c->paths[c->npaths];
  std::memset(path, 0, sizeof(*path));
  path->first = c->npoints;
  path->winding = VR_SOLID;
  c->npaths++;
}

VRpoint* lastPoint(VRcontext* ctx)
{
  return ctx->cache->npoints > 0 ? &ctx->cache->points[ctx->cache->npoints - 1] : nullptr;
}

void addPoint(VRcontext* ctx, float x, float y, int flags)
{
  VRpath* path = lastPath(ctx);
  if (!path) return;
  VRpathCache* c = ctx->cache;
  if (path->count > 0 && c->npoints > 0)
  {
    VRpoint* pt = lastPoint(ctx);
    if (ptEquals(pt->x, pt->y, x, y, ctx->distTol))
    {
      pt->flags |= static_cast<unsigned char>(flags);
      return;
    }
  }
  if (c->npoints + 1 > c->cpoints)
  {
    const int cpoints = c->npoints + 1 + c->cpoints / 2;
    auto* points = static_cast<VRpoint*>(std::realloc(c->points, sizeof(VRpoint) * cpoints));
    if (!points) return;
    c->points = points;
    c->cpoints = cpoints;
  }
  VRpoint* pt = &c->points[c->npoints];
  std::memset(pt, 0, sizeof(*pt));
  pt->x = x;
  pt->y = y;
  pt->flags = static_cast<unsigned char>(flags);
  c->npoints++;
  path->count++;
}

void tesselateBezier(VRcontext* ctx, float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                     int level, int flags)
{
  if (level > kMaxTessLevel)
  {
    // Too deep to subdivide further: keep the piece as a chord so the curve still ends where it should.
    addPoint(ctx, x4, y4, flags);
    return;
  }

  const float dx = x4 - x1, dy = y4 - y1;
  const float d2 = std::fabs((x2 - x4) * dy - (y2 - y4) * dx);
  const float d3 = std::fabs((x3 - x4) * dy - (y3 - y4) * dx);
  if ((d2 + d3) * (d2 + d3) < ctx->tessTol * (dx * dx + dy * dy))
  {
    addPoint(ctx, x4, y4, flags);
    return;
  }

  const float x12 = (x1 + x2) * 0.5f, y12 = (y1 + y2) * 0.5f;
  const float x23 = (x2 + x3) * 0.5f, y23 = (y2 + y3) * 0.5f;
  const float x34 = (x3 + x4) * 0.5f, y34 = (y3 + y4) * 0.5f;
  const float x123 = (x12 + x23) * 0.5f, y123 = (y12 + y23) * 0.5f;
  const float x234 = (x23 + x34) * 0.5f, y234 = (y23 + y34) * 0.5f;
  const float x1234 = (x123 + x234) * 0.5f, y1234 = (y123 + y234) * 0.5f;

  tesselateBezier(ctx, x1, y1, x12, y12, x123, y123, x1234, y1234, level + 1, 0);
  tesselateBezier(ctx, x1234, y1234, x234, y234, x34, y34, x4, y4, level + 1, flags);
}

float polyArea(const VRpoint* pts, int npts)
{
  float area = 0;
  for (int i = 2; i < npts; i++)
  {
    const VRpoint* a = &pts[0];
    const VRpoint* b = &pts[i - 1];
    const VRpoint* c = &pts[i];
    area += (c->x - a->x) * (b->y - a->y) - (b->x - a->x) * (c->y - a->y);
  }
  return area * 0.5f;
}

void polyReverse(VRpoint* pts, int npts)
{
  int i = 0, j = npts - 1;
  while (i < j)
  {
    const VRpoint tmp = pts[i];
    pts[i] = pts[j];
    pts[j] = tmp;
    i++;
    j--;
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Cache
// ---------------------------------------------------------------------------------------------------------------
VRpathCache* vr__allocPathCache()
{
  auto* c = static_cast<VRpathCache*>(std::calloc(1, sizeof(VRpathCache)));
  if (!c) return nullptr;
  c->points = static_cast<VRpoint*>(std::malloc(sizeof(VRpoint) * VR_INIT_POINTS_SIZE));
  c->paths = static_cast<VRpath*>(std::malloc(sizeof(VRpath) * VR_INIT_PATHS_SIZE));
  c->verts = static_cast<VRvertex*>(std::malloc(sizeof(VRvertex) * VR_INIT_VERTS_SIZE));
  if (!c->points || !c->paths || !c->verts)
  {
    vr__deletePathCache(c);
    return nullptr;
  }
  c->cpoints = VR_INIT_POINTS_SIZE;
  c->cpaths = VR_INIT_PATHS_SIZE;
  c->cverts = VR_INIT_VERTS_SIZE;
  return c;
}

void vr__deletePathCache(VRpathCache* c)
{
  if (!c) return;
  std::free(c->points);
  std::free(c->paths);
  std::free(c->verts);
  std::free(c);
}

VRvertex* vr__allocTempVerts(VRcontext* ctx, int nverts)
{
  VRpathCache* c = ctx->cache;
  if (nverts > c->cverts)
  {
    const int cverts = (nverts + 0xff) & ~0xff;
    auto* verts = static_cast<VRvertex*>(std::realloc(c->verts, sizeof(VRvertex) * cverts));
    if (!verts) return nullptr;
    c->verts = verts;
    c->cverts = cverts;
  }
  return c->verts;
}

// ---------------------------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------------------------
void vrBeginPath(VRcontext* ctx)
{
  ctx->ncommands = 0;
  ctx->cache->npoints = 0;
  ctx->cache->npaths = 0;
}

void vrMoveTo(VRcontext* ctx, float x, float y)
{
  float vals[] = {VR_MOVETO, x, y};
  appendCommands(ctx, vals, 3);
}

void vrLineTo(VRcontext* ctx, float x, float y)
{
  float vals[] = {VR_LINETO, x, y};
  appendCommands(ctx, vals, 3);
}

void vrBezierTo(VRcontext* ctx, float c1x, float c1y, float c2x, float c2y, float x, float y)
{
  float vals[] = {VR_BEZIERTO, c1x, c1y, c2x, c2y, x, y};
  appendCommands(ctx, vals, 7);
}

void vrQuadTo(VRcontext* ctx, float cx, float cy, float x, float y)
{
  const float x0 = ctx->commandx, y0 = ctx->commandy;
  float vals[] = {VR_BEZIERTO,
                  x0 + 2.0f / 3.0f * (cx - x0),
                  y0 + 2.0f / 3.0f * (cy - y0),
                  x + 2.0f / 3.0f * (cx - x),
                  y + 2.0f / 3.0f * (cy - y),
                  x,
                  y};
  appendCommands(ctx, vals, 7);
}

void vrArcTo(VRcontext* ctx, float x1, float y1, float x2, float y2, float radius)
{
  if (ctx->ncommands == 0) return;
  const float x0 = ctx->commandx, y0 = ctx->commandy;

  if (ptEquals(x0, y0, x1, y1, ctx->distTol) || ptEquals(x1, y1, x2, y2, ctx->distTol) ||
      distPtSeg(x1, y1, x0, y0, x2, y2) < ctx->distTol * ctx->distTol || radius < ctx->distTol)
  {
    vrLineTo(ctx, x1, y1);
    return;
  }

  float dx0 = x0 - x1, dy0 = y0 - y1;
  float dx1 = x2 - x1, dy1 = y2 - y1;
  normalize(&dx0, &dy0);
  normalize(&dx1, &dy1);
  // Legs folding back onto each other can round their dot product past 1, where acos has no answer.
  const float a = std::acos(clampf(dx0 * dx1 + dy0 * dy1, -1.0f, 1.0f));
  const float d = radius / std::tan(a / 2.0f);
  if (d > 10000.0f)
  {
    vrLineTo(ctx, x1, y1);
    return;
  }

  float cx, cy, a0, a1;
  int dir;
  if (cross(dx0, dy0, dx1, dy1) > 0.0f)
  {
    cx = x1 + dx0 * d + dy0 * radius;
    cy = y1 + dy0 * d + -dx0 * radius;
    a0 = std::atan2(dx0, -dy0);
    a1 = std::atan2(-dx1, dy1);
    dir = VR_CW;
  }
  else
  {
    cx = x1 + dx0 * d + -dy0 * radius;
    cy = y1 + dy0 * d + dx0 * radius;
    a0 = std::atan2(-dx0, dy0);
    a1 = std::atan2(dx1, -dy1);
    dir = VR_CCW;
  }
  vrArc(ctx, cx, cy, radius, a0, a1, dir);
}

void vrArc(VRcontext* ctx, float cx, float cy, float r, float a0, float a1, int dir)
{
  // The segment count comes from the sweep: a NaN there has no integer, and any other non-finite value no point.
  for (const float v : {cx, cy, r, a0, a1})
    if (!std::isfinite(v)) return;
  const int move = ctx->ncommands > 0 ? VR_LINETO : VR_MOVETO;

  float da = a1 - a0;
  if (dir == VR_CW)
  {
    if (std::fabs(da) >= kPi * 2)
      da = kPi * 2;
    else
      while (da < 0.0f) da += kPi * 2;
  }
  else
  {
    if (std::fabs(da) >= kPi * 2)
      da = -kPi * 2;
    else
      while (da > 0.0f) da -= kPi * 2;
  }

  int ndivs = static_cast<int>(std::fabs(da) / (kPi * 0.5f) + 0.5f);
  ndivs = ndivs < 1 ? 1 : (ndivs > 5 ? 5 : ndivs);
  const float hda = (da / static_cast<float>(ndivs)) / 2.0f;
  float kappa = std::fabs(4.0f / 3.0f * (1.0f - std::cos(hda)) / std::sin(hda));
  if (dir == VR_CCW) kappa = -kappa;

  float vals[3 + 5 * 7];
  int nvals = 0;
  float px = 0, py = 0, ptanx = 0, ptany = 0;
  for (int i = 0; i <= ndivs; i++)
  {
    const float a = a0 + da * (static_cast<float>(i) / static_cast<float>(ndivs));
    const float dx = std::cos(a), dy = std::sin(a);
    const float x = cx + dx * r, y = cy + dy * r;
    const float tanx = -dy * r * kappa, tany = dx * r * kappa;
    if (i == 0)
    {
      vals[nvals++] = static_cast<float>(move);
      vals[nvals++] = x;
      vals[nvals++] = y;
    }
    else
    {
      vals[nvals++] = VR_BEZIERTO;
      vals[nvals++] = px + ptanx;
      vals[nvals++] = py + ptany;
      vals[nvals++] = x - tanx;
      vals[nvals++] = y - tany;
      vals[nvals++] = x;
      vals[nvals++] = y;
    }
    px = x;
    py = y;
    ptanx = tanx;
    ptany = tany;
  }
  appendCommands(ctx, vals, nvals);
}

void vrClosePath(VRcontext* ctx)
{
  float vals[] = {VR_CLOSE};
  appendCommands(ctx, vals, 1);
}

void vrPathWinding(VRcontext* ctx, int dir)
{
  float vals[] = {VR_WINDING, static_cast<float>(dir)};
  appendCommands(ctx, vals, 2);
}

void vrRect(VRcontext* ctx, float x, float y, float w, float h)
{
  float vals[] = {VR_MOVETO, x, y, VR_LINETO, x, y + h, VR_LINETO, x + w, y + h, VR_LINETO, x + w, y, VR_CLOSE};
  appendCommands(ctx, vals, 13);
}

void vrRoundedRect(VRcontext* ctx, float x, float y, float w, float h, float r)
{
  vrRoundedRectVarying(ctx, x, y, w, h, r, r, r, r);
}

void vrRoundedRectVarying(VRcontext* ctx, float x, float y, float w, float h, float radTopLeft, float radTopRight,
                          float radBottomRight, float radBottomLeft)
{
  if (radTopLeft < 0.1f && radTopRight < 0.1f && radBottomRight < 0.1f && radBottomLeft < 0.1f)
  {
    vrRect(ctx, x, y, w, h);
    return;
  }
  const float halfw = std::fabs(w) * 0.5f, halfh = std::fabs(h) * 0.5f;
  const float sw = w >= 0 ? 1.0f : -1.0f, sh = h >= 0 ? 1.0f : -1.0f;
  const float rxBL = std::fmin(radBottomLeft, halfw) * sw, ryBL = std::fmin(radBottomLeft, halfh) * sh;
  const float rxBR = std::fmin(radBottomRight, halfw) * sw, ryBR = std::fmin(radBottomRight, halfh) * sh;
  const float rxTR = std::fmin(radTopRight, halfw) * sw, ryTR = std::fmin(radTopRight, halfh) * sh;
  const float rxTL = std::fmin(radTopLeft, halfw) * sw, ryTL = std::fmin(radTopLeft, halfh) * sh;
  constexpr float k = 1.0f - kKappa90;
  float vals[] = {VR_MOVETO, x, y + ryTL,
                  VR_LINETO, x, y + h - ryBL,
                  VR_BEZIERTO, x, y + h - ryBL * k, x + rxBL * k, y + h, x + rxBL, y + h,
                  VR_LINETO, x + w - rxBR, y + h,
                  VR_BEZIERTO, x + w - rxBR * k, y + h, x + w, y + h - ryBR * k, x + w, y + h - ryBR,
                  VR_LINETO, x + w, y + ryTR,
                  VR_BEZIERTO, x + w, y + ryTR * k, x + w - rxTR * k, y, x + w - rxTR, y,
                  VR_LINETO, x + rxTL, y,
                  VR_BEZIERTO, x + rxTL * k, y, x, y + ryTL * k, x, y + ryTL,
                  VR_CLOSE};
  appendCommands(ctx, vals, static_cast<int>(sizeof(vals) / sizeof(vals[0])));
}

void vrEllipse(VRcontext* ctx, float cx, float cy, float rx, float ry)
{
  constexpr float K = kKappa90;
  float vals[] = {VR_MOVETO, cx - rx, cy,
                  VR_BEZIERTO, cx - rx, cy + ry * K, cx - rx * K, cy + ry, cx, cy + ry,
                  VR_BEZIERTO, cx + rx * K, cy + ry, cx + rx, cy + ry * K, cx + rx, cy,
                  VR_BEZIERTO, cx + rx, cy - ry * K, cx + rx * K, cy - ry, cx, cy - ry,
                  VR_BEZIERTO, cx - rx * K, cy - ry, cx - rx, cy - ry * K, cx - rx, cy,
                  VR_CLOSE};
  appendCommands(ctx, vals, static_cast<int>(sizeof(vals) / sizeof(vals[0])));
}

void vrCircle(VRcontext* ctx, float cx, float cy, float r) { vrEllipse(ctx, cx, cy, r, r); }

void vrDebugDumpPathCache(VRcontext* ctx)
{
  const VRpathCache* c = ctx->cache;
  std::printf("Dumping %d cached paths\n", c->npaths);
  for (int i = 0; i < c->npaths; i++)
  {
    const VRpath* path = &c->paths[i];
    std::printf(" - Path %d\n", i);
    if (path->nfill)
    {
      std::printf("   - fill: %d\n", path->nfill);
      for (int j = 0; j < path->nfill; j++) std::printf("%f\t%f\n", path->fill[j].x, path->fill[j].y);
    }
    if (path->nstroke)
    {
      std::printf("   - stroke: %d\n", path->nstroke);
      for (int j = 0; j < path->nstroke; j++) std::printf("%f\t%f\n", path->stroke[j].x, path->stroke[j].y);
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Flattening
// ---------------------------------------------------------------------------------------------------------------
void vr__flattenPaths(VRcontext* ctx)
{
  VRpathCache* cache = ctx->cache;
  if (cache->npaths > 0) return;

  int i = 0;
  while (i < ctx->ncommands)
  {
    switch (static_cast<int>(ctx->commands[i]))
    {
    case VR_MOVETO:
      addPath(ctx);
      addPoint(ctx, ctx->commands[i + 1], ctx->commands[i + 2], VR_PT_CORNER);
      i += 3;
      break;
    case VR_LINETO:
      addPoint(ctx, ctx->commands[i + 1], ctx->commands[i + 2], VR_PT_CORNER);
      i += 3;
      break;
    case VR_BEZIERTO: {
      const VRpoint* last = lastPoint(ctx);
      if (last)
      {
        const float* cp = &ctx->commands[i + 1];
        tesselateBezier(ctx, last->x, last->y, cp[0], cp[1], cp[2], cp[3], cp[4], cp[5], 0, VR_PT_CORNER);
      }
      i += 7;
      break;
    }
    case VR_CLOSE:
      if (VRpath* path = lastPath(ctx)) path->closed = 1;
      i++;
      break;
    case VR_WINDING:
      if (VRpath* path = lastPath(ctx)) path->winding = static_cast<int>(ctx->commands[i + 1]);
      i += 2;
      break;
    default: i++; break;
    }
  }

  cache->bounds[0] = cache->bounds[1] = 1e6f;
  cache->bounds[2] = cache->bounds[3] = -1e6f;

  for (int j = 0; j < cache->npaths; j++)
  {
    VRpath* path = &cache->paths[j];
    VRpoint* pts = &cache->points[path->first];

    if (path->count > 0)
    {
      VRpoint* p0 = &pts[path->count - 1];
      VRpoint* p1 = &pts[0];
      if (ptEquals(p0->x, p0->y, p1->x, p1->y, ctx->distTol))
      {
        path->count--;
        path->closed = 1;
      }
    }

    if (path->count > 2)
    {
      const float area = polyArea(pts, path->count);
      if (path->winding == VR_SOLID && area < 0.0f) polyReverse(pts, path->count);
      if (path->winding == VR_HOLE && area > 0.0f) polyReverse(pts, path->count);
    }

    for (int k = 0; k < path->count; k++)
    {
      VRpoint* p0 = &pts[k];
      VRpoint* p1 = &pts[k + 1 < path->count ? k + 1 : 0];
      p0->dx = p1->x - p0->x;
      p0->dy = p1->y - p0->y;
      p0->len = normalize(&p0->dx, &p0->dy);
      cache->bounds[0] = std::fmin(cache->bounds[0], p0->x);
      cache->bounds[1] = std::fmin(cache->bounds[1], p0->y);
      cache->bounds[2] = std::fmax(cache->bounds[2], p0->x);
      cache->bounds[3] = std::fmax(cache->bounds[3], p0->y);
    }
  }
}

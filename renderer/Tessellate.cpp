// Fill and stroke geometry: corner analysis, fill fans with their anti-aliasing fringe, stroke strips with caps
// and joins. Coverage is carried in the vertices' u and v; the back end turns it into alpha.

#include "renderer/VectorRenderer_p.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979323846264338327f;

float clampf(float a, float lo, float hi) { return a < lo ? lo : (a > hi ? hi : a); }

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

void vset(VRvertex* vtx, float x, float y, float u, float v)
{
  vtx->x = x;
  vtx->y = y;
  vtx->u = u;
  vtx->v = v;
}

// ceil(v) as an int within [lo, hi]; lo for a value that is not a number.
int ceilClamped(float v, int lo, int hi)
{
  if (!(v > static_cast<float>(lo))) return lo;
  if (v >= static_cast<float>(hi)) return hi;
  return static_cast<int>(std::ceil(v));
}

int curveDivs(float r, float arc, float tol)
{
  const float da = std::acos(r / (r + tol)) * 2.0f;
  // Bounded: the count sizes each round cap's and join's share of the vertex budget.
  return ceilClamped(arc / da, 2, 1 << 16);
}

void chooseBevel(bool bevel, const VRpoint* p0, const VRpoint* p1, float w, float* x0, float* y0, float* x1,
                 float* y1)
{
  if (bevel)
  {
    *x0 = p1->x + p0->dy * w;
    *y0 = p1->y - p0->dx * w;
    *x1 = p1->x + p1->dy * w;
    *y1 = p1->y - p1->dx * w;
  }
  else
  {
    *x0 = p1->x + p1->dmx * w;
    *y0 = p1->y + p1->dmy * w;
    *x1 = p1->x + p1->dmx * w;
    *y1 = p1->y + p1->dmy * w;
  }
}

VRvertex* roundJoin(VRvertex* dst, const VRpoint* p0, const VRpoint* p1, float lw, float rw, float lu, float ru,
                    int ncap)
{
  const float dlx0 = p0->dy, dly0 = -p0->dx;
  const float dlx1 = p1->dy, dly1 = -p1->dx;

  if (p1->flags & VR_PT_LEFT)
  {
    float lx0, ly0, lx1, ly1;
    chooseBevel(p1->flags & VR_PT_INNERBEVEL, p0, p1, lw, &lx0, &ly0, &lx1, &ly1);
    const float a0 = std::atan2(-dly0, -dlx0);
    float a1 = std::atan2(-dly1, -dlx1);
    if (a1 > a0) a1 -= kPi * 2;

    vset(dst++, lx0, ly0, lu, 1);
    vset(dst++, p1->x - dlx0 * rw, p1->y - dly0 * rw, ru, 1);

    const int n = ceilClamped(((a0 - a1) / kPi) * static_cast<float>(ncap), 2, ncap);
    for (int i = 0; i < n; i++)
    {
      const float u = static_cast<float>(i) / static_cast<float>(n - 1);
      const float a = a0 + u * (a1 - a0);
      const float rx = p1->x + std::cos(a) * rw;
      const float ry = p1->y + std::sin(a) * rw;
      vset(dst++, p1->x, p1->y, 0.5f, 1);
      vset(dst++, rx, ry, ru, 1);
    }
    vset(dst++, lx1, ly1, lu, 1);
    vset(dst++, p1->x - dlx1 * rw, p1->y - dly1 * rw, ru, 1);
  }
  else
  {
    float rx0, ry0, rx1, ry1;
    chooseBevel(p1->flags & VR_PT_INNERBEVEL, p0, p1, -rw, &rx0, &ry0, &rx1, &ry1);
    const float a0 = std::atan2(dly0, dlx0);
    float a1 = std::atan2(dly1, dlx1);
    if (a1 < a0) a1 += kPi * 2;

    vset(dst++, p1->x + dlx0 * lw, p1->y + dly0 * lw, lu, 1);
    vset(dst++, rx0, ry0, ru, 1);

    const int n = ceilClamped(((a1 - a0) / kPi) * static_cast<float>(ncap), 2, ncap);
    for (int i = 0; i < n; i++)
    {
      const float u = static_cast<float>(i) / static_cast<float>(n - 1);
      const float a = a0 + u * (a1 - a0);
      const float lx = p1->x + std::cos(a) * lw;
      const float ly = p1->y + std::sin(a) * lw;
      vset(dst++, lx, ly, lu, 1);
      vset(dst++, p1->x, p1->y, 0.5f, 1);
    }
    vset(dst++, p1->x + dlx1 * lw, p1->y + dly1 * lw, lu, 1);
    vset(dst++, rx1, ry1, ru, 1);
  }
  return dst;
}

VRvertex* bevelJoin(VRvertex* dst, const VRpoint* p0, const VRpoint* p1, float lw, float rw, float lu, float ru)
{
  const float dlx0 = p0->dy, dly0 = -p0->dx;
  const float dlx1 = p1->dy, dly1 = -p1->dx;

  if (p1->flags & VR_PT_LEFT)
  {
    float lx0, ly0, lx1, ly1;
    chooseBevel(p1->flags & VR_PT_INNERBEVEL, p0, p1, lw, &lx0, &ly0, &lx1, &ly1);

    vset(dst++, lx0, ly0, lu, 1);
    vset(dst++, p1->x - dlx0 * rw, p1->y - dly0 * rw, ru, 1);

    if (p1->flags & VR_PT_BEVEL)
    {
      vset(dst++, lx0, ly0, lu, 1);
      vset(dst++, p1->x - dlx0 * rw, p1->y - dly0 * rw, ru, 1);
      vset(dst++, lx1, ly1, lu, 1);
      vset(dst++, p1->x - dlx1 * rw, p1->y - dly1 * rw, ru, 1);
    }
    else
    {
      const float rx0 = p1->x - p1->dmx * rw;
      const float ry0 = p1->y - p1->dmy * rw;
      vset(dst++, p1->x, p1->y, 0.5f, 1);
      vset(dst++, p1->x - dlx0 * rw, p1->y - dly0 * rw, ru, 1);
      vset(dst++, rx0, ry0, ru, 1);
      vset(dst++, rx0, ry0, ru, 1);
      vset(dst++, p1->x, p1->y, 0.5f, 1);
      vset(dst++, p1->x - dlx1 * rw, p1->y - dly1 * rw, ru, 1);
    }
    vset(dst++, lx1, ly1, lu, 1);
    vset(dst++, p1->x - dlx1 * rw, p1->y - dly1 * rw, ru, 1);
  }
  else
  {
    float rx0, ry0, rx1, ry1;
    chooseBevel(p1->flags & VR_PT_INNERBEVEL, p0, p1, -rw, &rx0, &ry0, &rx1, &ry1);

    vset(dst++, p1->x + dlx0 * lw, p1->y + dly0 * lw, lu, 1);
    vset(dst++, rx0, ry0, ru, 1);

    if (p1->flags & VR_PT_BEVEL)
    {
      vset(dst++, p1->x + dlx0 * lw, p1->y + dly0 * lw, lu, 1);
      vset(dst++, rx0, ry0, ru, 1);
      vset(dst++, p1->x + dlx1 * lw, p1->y + dly1 * lw, lu, 1);
      vset(dst++, rx1, ry1, ru, 1);
    }
    else
    {
      const float lx0 = p1->x + p1->dmx * lw;
      const float ly0 = p1->y + p1->dmy * lw;
      vset(dst++, p1->x + dlx0 * lw, p1->y + dly0 * lw, lu, 1);
      vset(dst++, p1->x, p1->y, 0.5f, 1);
      vset(dst++, lx0, ly0, lu, 1);
      vset(dst++, lx0, ly0, lu, 1);
      vset(dst++, p1->x + dlx1 * lw, p1->y + dly1 * lw, lu, 1);
      vset(dst++, p1->x, p1->y, 0.5f, 1);
    }
    vset(dst++, p1->x + dlx1 * lw, p1->y + dly1 * lw, lu, 1);
    vset(dst++, rx1, ry1, ru, 1);
  }
  return dst;
}

VRvertex* buttCapStart(VRvertex* dst, const VRpoint* p, float dx, float dy, float w, float d, float aa, float u0,
                       float u1)
{
  const float px = p->x - dx * d, py = p->y - dy * d;
  const float dlx = dy, dly = -dx;
  vset(dst++, px + dlx * w - dx * aa, py + dly * w - dy * aa, u0, 0);
  vset(dst++, px - dlx * w - dx * aa, py - dly * w - dy * aa, u1, 0);
  vset(dst++, px + dlx * w, py + dly * w, u0, 1);
  vset(dst++, px - dlx * w, py - dly * w, u1, 1);
  return dst;
}

VRvertex* buttCapEnd(VRvertex* dst, const VRpoint* p, float dx, float dy, float w, float d, float aa, float u0,
                     float u1)
{
  const float px = p->x + dx * d, py = p->y + dy * d;
  const float dlx = dy, dly = -dx;
  vset(dst++, px + dlx * w, py + dly * w, u0, 1);
  vset(dst++, px - dlx * w, py - dly * w, u1, 1);
  vset(dst++, px + dlx * w + dx * aa, py + dly * w + dy * aa, u0, 0);
  vset(dst++, px - dlx * w + dx * aa, py - dly * w + dy * aa, u1, 0);
  return dst;
}

VRvertex* roundCapStart(VRvertex* dst, const VRpoint* p, float dx, float dy, float w, int ncap, float u0, float u1)
{
  const float px = p->x, py = p->y;
  const float dlx = dy, dly = -dx;
  for (int i = 0; i < ncap; i++)
  {
    const float a = static_cast<float>(i) / static_cast<float>(ncap - 1) * kPi;
    const float ax = std::cos(a) * w, ay = std::sin(a) * w;
    vset(dst++, px - dlx * ax - dx * ay, py - dly * ax - dy * ay, u0, 1);
    vset(dst++, px, py, 0.5f, 1);
  }
  vset(dst++, px + dlx * w, py + dly * w, u0, 1);
  vset(dst++, px - dlx * w, py - dly * w, u1, 1);
  return dst;
}

VRvertex* roundCapEnd(VRvertex* dst, const VRpoint* p, float dx, float dy, float w, int ncap, float u0, float u1)
{
  const float px = p->x, py = p->y;
  const float dlx = dy, dly = -dx;
  vset(dst++, px + dlx * w, py + dly * w, u0, 1);
  vset(dst++, px - dlx * w, py - dly * w, u1, 1);
  for (int i = 0; i < ncap; i++)
  {
    const float a = static_cast<float>(i) / static_cast<float>(ncap - 1) * kPi;
    const float ax = std::cos(a) * w, ay = std::sin(a) * w;
    vset(dst++, px, py, 0.5f, 1);
    vset(dst++, px - dlx * ax + dx * ay, py - dly * ax + dy * ay, u0, 1);
  }
  return dst;
}

void calculateJoins(VRcontext* ctx, float w, int lineJoin, float miterLimit)
{
  VRpathCache* cache = ctx->cache;
  const float iw = w > 0.0f ? 1.0f / w : 0.0f;

  for (int i = 0; i < cache->npaths; i++)
  {
    VRpath* path = &cache->paths[i];
    VRpoint* pts = &cache->points[path->first];
    VRpoint* p0 = &pts[path->count > 0 ? path->count - 1 : 0];
    VRpoint* p1 = &pts[0];
    int nleft = 0;
    path->nbevel = 0;

    for (int j = 0; j < path->count; j++)
    {
      const float dlx0 = p0->dy, dly0 = -p0->dx;
      const float dlx1 = p1->dy, dly1 = -p1->dx;
      p1->dmx = (dlx0 + dlx1) * 0.5f;
      p1->dmy = (dly0 + dly1) * 0.5f;
      const float dmr2 = p1->dmx * p1->dmx + p1->dmy * p1->dmy;
      if (dmr2 > 0.000001f)
      {
        float scale = 1.0f / dmr2;
        if (scale > 600.0f) scale = 600.0f;
        p1->dmx *= scale;
        p1->dmy *= scale;
      }

      p1->flags = (p1->flags & VR_PT_CORNER) ? VR_PT_CORNER : 0;

      const float cross = p1->dx * p0->dy - p0->dx * p1->dy;
      if (cross > 0.0f)
      {
        nleft++;
        p1->flags |= VR_PT_LEFT;
      }

      const float limit = std::fmax(1.01f, std::fmin(p0->len, p1->len) * iw);
      if ((dmr2 * limit * limit) < 1.0f) p1->flags |= VR_PT_INNERBEVEL;

      if (p1->flags & VR_PT_CORNER)
      {
        if ((dmr2 * miterLimit * miterLimit) < 1.0f || lineJoin == VR_BEVEL || lineJoin == VR_ROUND)
          p1->flags |= VR_PT_BEVEL;
      }

      if ((p1->flags & (VR_PT_BEVEL | VR_PT_INNERBEVEL)) != 0) path->nbevel++;

      p0 = p1++;
    }
    path->convex = (nleft == path->count) ? 1 : 0;
  }
}

bool expandStroke(VRcontext* ctx, float w, float fringe, int lineCap, int lineJoin, float miterLimit)
{
  VRpathCache* cache = ctx->cache;
  const float aa = fringe;
  float u0 = 0.0f, u1 = 1.0f;
  const int ncap = curveDivs(w, kPi, ctx->tessTol);

  w += aa * 0.5f;
  if (aa == 0.0f)
  {
    u0 = 0.5f;
    u1 = 0.5f;
  }

  calculateJoins(ctx, w, lineJoin, miterLimit);

  // 64-bit sum: a path of many points with round joins must not overflow the budget silently.
  long long cverts = 0;
  for (int i = 0; i < cache->npaths; i++)
  {
    const VRpath* path = &cache->paths[i];
    const bool loop = path->closed != 0;
    if (lineJoin == VR_ROUND)
      cverts += (static_cast<long long>(path->count) + static_cast<long long>(path->nbevel) * (ncap + 2) + 1) * 2;
    else
      cverts += (static_cast<long long>(path->count) + static_cast<long long>(path->nbevel) * 5 + 1) * 2;
    if (!loop)
    {
      if (lineCap == VR_ROUND)
        cverts += (ncap * 2 + 2) * 2;
      else
        cverts += (3 + 3) * 2;
    }
  }
  if (cverts > 0x7fffff00LL) return false;
  VRvertex* verts = vr__allocTempVerts(ctx, static_cast<int>(cverts));
  if (!verts) return false;

  for (int i = 0; i < cache->npaths; i++)
  {
    VRpath* path = &cache->paths[i];
    VRpoint* pts = &cache->points[path->first];
    path->fill = nullptr;
    path->nfill = 0;

    const bool loop = path->closed != 0;
    VRvertex* dst = verts;
    path->stroke = dst;

    VRpoint *p0, *p1;
    int s, e;
    if (loop)
    {
      p0 = &pts[path->count > 0 ? path->count - 1 : 0];
      p1 = &pts[0];
      s = 0;
      e = path->count;
    }
    else
    {
      p0 = &pts[0];
      p1 = &pts[path->count > 1 ? 1 : 0]; // a lone point has no segment: no caps, no joins
      s = 1;
      e = path->count - 1;
    }

    if (!loop && path->count >= 2)
    {
      float dx = p1->x - p0->x, dy = p1->y - p0->y;
      normalize(&dx, &dy);
      if (lineCap == VR_BUTT)
        dst = buttCapStart(dst, p0, dx, dy, w, -aa * 0.5f, aa, u0, u1);
      else if (lineCap == VR_SQUARE)
        dst = buttCapStart(dst, p0, dx, dy, w, w - aa, aa, u0, u1);
      else if (lineCap == VR_ROUND)
        dst = roundCapStart(dst, p0, dx, dy, w, ncap, u0, u1);
    }

    for (int j = s; j < e; ++j)
    {
      if ((p1->flags & (VR_PT_BEVEL | VR_PT_INNERBEVEL)) != 0)
      {
        if (lineJoin == VR_ROUND)
          dst = roundJoin(dst, p0, p1, w, w, u0, u1, ncap);
        else
          dst = bevelJoin(dst, p0, p1, w, w, u0, u1);
      }
      else
      {
        vset(dst++, p1->x + (p1->dmx * w), p1->y + (p1->dmy * w), u0, 1);
        vset(dst++, p1->x - (p1->dmx * w), p1->y - (p1->dmy * w), u1, 1);
      }
      p0 = p1++;
    }

    if (loop)
    {
      if (dst - verts >= 2)
      {
        vset(dst++, verts[0].x, verts[0].y, u0, 1);
        vset(dst++, verts[1].x, verts[1].y, u1, 1);
      }
    }
    else if (path->count >= 2)
    {
      float dx = p1->x - p0->x, dy = p1->y - p0->y;
      normalize(&dx, &dy);
      if (lineCap == VR_BUTT)
        dst = buttCapEnd(dst, p1, dx, dy, w, -aa * 0.5f, aa, u0, u1);
      else if (lineCap == VR_SQUARE)
        dst = buttCapEnd(dst, p1, dx, dy, w, w - aa, aa, u0, u1);
      else if (lineCap == VR_ROUND)
        dst = roundCapEnd(dst, p1, dx, dy, w, ncap, u0, u1);
    }

    path->nstroke = static_cast<int>(dst - verts);
    verts = dst;
  }
  return true;
}

bool expandFill(VRcontext* ctx, float w, int lineJoin, float miterLimit)
{
  VRpathCache* cache = ctx->cache;
  const float aa = ctx->fringeWidth;
  const bool fringe = w > 0.0f;

  calculateJoins(ctx, w, lineJoin, miterLimit);

  long long cverts = 0;
  for (int i = 0; i < cache->npaths; i++)
  {
    const VRpath* path = &cache->paths[i];
    cverts += path->count + path->nbevel + 1;
    if (fringe) cverts += (static_cast<long long>(path->count) + path->nbevel * 5 + 1) * 2;
  }
  if (cverts > 0x7fffff00LL) return false;
  VRvertex* verts = vr__allocTempVerts(ctx, static_cast<int>(cverts));
  if (!verts) return false;

  const bool convex = cache->npaths == 1 && cache->paths[0].convex;

  for (int i = 0; i < cache->npaths; i++)
  {
    VRpath* path = &cache->paths[i];
    VRpoint* pts = &cache->points[path->first];
    const float woff = 0.5f * aa;

    VRvertex* dst = verts;
    path->fill = dst;

    if (fringe)
    {
      VRpoint* p0 = &pts[path->count > 0 ? path->count - 1 : 0];
      VRpoint* p1 = &pts[0];
      for (int j = 0; j < path->count; ++j)
      {
        if (p1->flags & VR_PT_BEVEL)
        {
          const float dlx0 = p0->dy, dly0 = -p0->dx;
          const float dlx1 = p1->dy, dly1 = -p1->dx;
          if (p1->flags & VR_PT_LEFT)
          {
            vset(dst++, p1->x + p1->dmx * woff, p1->y + p1->dmy * woff, 0.5f, 1);
          }
          else
          {
            vset(dst++, p1->x + dlx0 * woff, p1->y + dly0 * woff, 0.5f, 1);
            vset(dst++, p1->x + dlx1 * woff, p1->y + dly1 * woff, 0.5f, 1);
          }
        }
        else
        {
          vset(dst++, p1->x + p1->dmx * woff, p1->y + p1->dmy * woff, 0.5f, 1);
        }
        p0 = p1++;
      }
    }
    else
    {
      for (int j = 0; j < path->count; ++j) vset(dst++, pts[j].x, pts[j].y, 0.5f, 1);
    }

    path->nfill = static_cast<int>(dst - verts);
    verts = dst;

    if (fringe)
    {
      float lw = w + woff;
      const float rw = w - woff;
      float lu = 0.0f;
      const float ru = 1.0f;
      dst = verts;
      path->stroke = dst;

      // A lone convex path needs only half a fringe outside its fill: the back end draws it without stencil.
      if (convex)
      {
        lw = woff;
        lu = 0.5f;
      }

      VRpoint* p0 = &pts[path->count > 0 ? path->count - 1 : 0];
      VRpoint* p1 = &pts[0];
      for (int j = 0; j < path->count; ++j)
      {
        if ((p1->flags & (VR_PT_BEVEL | VR_PT_INNERBEVEL)) != 0)
        {
          dst = bevelJoin(dst, p0, p1, lw, rw, lu, ru);
        }
        else
        {
          vset(dst++, p1->x + (p1->dmx * lw), p1->y + (p1->dmy * lw), lu, 1);
          vset(dst++, p1->x - (p1->dmx * rw), p1->y - (p1->dmy * rw), ru, 1);
        }
        p0 = p1++;
      }

      if (dst - verts >= 2)
      {
        vset(dst++, verts[0].x, verts[0].y, lu, 1);
        vset(dst++, verts[1].x, verts[1].y, ru, 1);
      }

      path->nstroke = static_cast<int>(dst - verts);
      verts = dst;
    }
    else
    {
      path->stroke = nullptr;
      path->nstroke = 0;
    }
  }
  return true;
}

bool antiAlias(VRcontext* ctx) { return ctx->params.edgeAntiAlias != 0 && vr__getState(ctx)->shapeAntiAlias != 0; }

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Fill and stroke
// ---------------------------------------------------------------------------------------------------------------
void vrFill(VRcontext* ctx)
{
  VRstate* state = vr__getState(ctx);
  VRpaint fillPaint = state->fill;

  vr__flattenPaths(ctx);
  const bool ok = expandFill(ctx, antiAlias(ctx) ? ctx->fringeWidth : 0.0f, VR_MITER, 2.4f);
  if (!ok || !vr__paintDrawable(fillPaint)) return;

  fillPaint.innerColor.a *= state->alpha;
  fillPaint.outerColor.a *= state->alpha;

  if (ctx->params.renderFill)
    ctx->params.renderFill(ctx->params.userPtr, &fillPaint, state->compositeOperation, &state->scissor,
                           ctx->fringeWidth, ctx->cache->bounds, ctx->cache->paths, ctx->cache->npaths);

  for (int i = 0; i < ctx->cache->npaths; i++)
  {
    const VRpath* path = &ctx->cache->paths[i];
    ctx->fillTriCount += path->nfill - 2;
    ctx->fillTriCount += path->nstroke - 2;
    ctx->drawCallCount += 2;
  }
}

void vrStroke(VRcontext* ctx)
{
  VRstate* state = vr__getState(ctx);
  const float scale = vr__getAverageScale(state->xform);
  if (!std::isfinite(state->strokeWidth * scale)) return;
  float strokeWidth = clampf(state->strokeWidth * scale, 0.0f, 200.0f);
  VRpaint strokePaint = state->stroke;

  if (strokeWidth < ctx->fringeWidth)
  {
    // A hairline: draw one fringe wide and fade by the coverage it would have had.
    const float alpha = clampf(strokeWidth / ctx->fringeWidth, 0.0f, 1.0f);
    strokePaint.innerColor.a *= alpha * alpha;
    strokePaint.outerColor.a *= alpha * alpha;
    strokeWidth = ctx->fringeWidth;
  }

  strokePaint.innerColor.a *= state->alpha;
  strokePaint.outerColor.a *= state->alpha;

  vr__flattenPaths(ctx);
  const bool ok = expandStroke(ctx, strokeWidth * 0.5f, antiAlias(ctx) ? ctx->fringeWidth : 0.0f, state->lineCap,
                               state->lineJoin, state->miterLimit);
  if (!ok || !vr__paintDrawable(strokePaint)) return;

  if (ctx->params.renderStroke)
    ctx->params.renderStroke(ctx->params.userPtr, &strokePaint, state->compositeOperation, &state->scissor,
                             ctx->fringeWidth, strokeWidth, ctx->cache->paths, ctx->cache->npaths);

  for (int i = 0; i < ctx->cache->npaths; i++)
  {
    const VRpath* path = &ctx->cache->paths[i];
    ctx->strokeTriCount += path->nstroke - 2;
    ctx->drawCallCount++;
  }
}

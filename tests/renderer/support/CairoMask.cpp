#include "renderer/support/CairoMask.h"

#include <algorithm>
#include <cmath>

namespace {
double orient(double ax, double ay, double bx, double by, double px, double py)
{
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}
} // namespace

CairoMask::CairoMask(int w, int h)
    : mW(w), mH(h), mSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h)), mCr(cairo_create(mSurface))
{
  cairo_set_antialias(mCr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgba(mCr, 0, 0, 0, 1);
}

CairoMask::~CairoMask()
{
  cairo_destroy(mCr);
  cairo_surface_destroy(mSurface);
}

// Adds the triangle's winding (+1 or -1 by orientation) at every pixel centre inside it. The centres are nudged by
// a tiny odd offset so that one lying on an edge shared by two triangles counts for exactly one of them.
void CairoMask::Accumulate(const VRvertex& a, const VRvertex& b, const VRvertex& c, std::vector<int>& winding) const
{
  const double area = orient(a.x, a.y, b.x, b.y, c.x, c.y);
  if (area == 0) return;
  const int sign = area > 0 ? 1 : -1;
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
  const int x1 = std::min(mW - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
  const int y1 = std::min(mH - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
  for (int y = y0; y <= y1; y++)
  {
    for (int x = x0; x <= x1; x++)
    {
      const double px = x + 0.5 + 1.3e-5, py = y + 0.5 + 3.7e-5;
      if (orient(a.x, a.y, b.x, b.y, px, py) * sign >= 0 && orient(b.x, b.y, c.x, c.y, px, py) * sign >= 0 &&
          orient(c.x, c.y, a.x, a.y, px, py) * sign >= 0)
        winding[y * mW + x] += sign;
    }
  }
}

void CairoMask::Store(const std::vector<int>& winding)
{
  cairo_surface_flush(mSurface);
  unsigned char* d = cairo_image_surface_get_data(mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  for (int y = 0; y < mH; y++)
    for (int x = 0; x < mW; x++)
      if (winding[y * mW + x] != 0) d[y * stride + x] = 255;
  cairo_surface_mark_dirty(mSurface);
}

void CairoMask::Strip(const std::vector<VRvertex>& v)
{
  std::vector<int> cover(mW * mH, 0), one(mW * mH);
  for (size_t i = 0; i + 2 < v.size(); i++)
  {
    std::fill(one.begin(), one.end(), 0);
    Accumulate(v[i], v[i + 1], v[i + 2], one);
    for (size_t k = 0; k < one.size(); k++) cover[k] |= one[k] != 0;
  }
  Store(cover);
}

void CairoMask::FansNonZero(const std::vector<std::vector<VRvertex>>& fans)
{
  std::vector<int> winding(mW * mH, 0);
  for (const auto& fan : fans)
    for (size_t i = 1; i + 1 < fan.size(); i++) Accumulate(fan[0], fan[i], fan[i + 1], winding);
  Store(winding);
}

int CairoMask::Differences(const CairoMask& ref, const std::string& name, int maxPixels) const
{
  cairo_surface_flush(mSurface);
  cairo_surface_flush(ref.mSurface);
  const unsigned char* a = cairo_image_surface_get_data(mSurface);
  const unsigned char* b = cairo_image_surface_get_data(ref.mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  int n = 0;
  for (int y = 0; y < mH; y++)
    for (int x = 0; x < mW; x++) n += (a[y * stride + x] > 127) != (b[y * stride + x] > 127);
  if (n > maxPixels)
  {
    cairo_surface_write_to_png(mSurface, ("renderer_" + name + "_ours.png").c_str());
    cairo_surface_write_to_png(ref.mSurface, ("renderer_" + name + "_cairo.png").c_str());
  }
  return n;
}

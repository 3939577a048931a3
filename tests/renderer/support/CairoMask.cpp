#include "renderer/support/CairoMask.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

CairoMask::CairoMask(int w, int h, bool antialias)
{
  mSurface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  mCr = cairo_create(mSurface);
  cairo_set_antialias(mCr, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgba(mCr, 0, 0, 0, 1);
}

CairoMask::~CairoMask()
{
  cairo_destroy(mCr);
  cairo_surface_destroy(mSurface);
}

namespace {
double orient(double ax, double ay, double bx, double by, double px, double py)
{
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}
} // namespace

// Triangles are sampled at pixel centres by the test itself (top-left rule not needed: shapes avoid exact centres),
// so winding sums are exact whatever Cairo does with slivers.
void CairoMask::Accumulate(const VRvertex& a, const VRvertex& b, const VRvertex& c, std::vector<int>& winding)
{
  const int w = cairo_image_surface_get_width(mSurface), h = cairo_image_surface_get_height(mSurface);
  const double area = orient(a.x, a.y, b.x, b.y, c.x, c.y);
  if (area == 0) return;
  const int sign = area > 0 ? 1 : -1;
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
  const int x1 = std::min(w - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
  const int y1 = std::min(h - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
  for (int y = y0; y <= y1; y++)
  {
    for (int x = x0; x <= x1; x++)
    {
      const double px = x + 0.5, py = y + 0.5;
      const double e0 = orient(a.x, a.y, b.x, b.y, px, py) * sign;
      const double e1 = orient(b.x, b.y, c.x, c.y, px, py) * sign;
      const double e2 = orient(c.x, c.y, a.x, a.y, px, py) * sign;
      if (e0 >= 0 && e1 >= 0 && e2 >= 0) winding[y * w + x] += sign;
    }
  }
}

void CairoMask::Store(const std::vector<int>& winding, bool unionOfAll)
{
  cairo_surface_flush(mSurface);
  unsigned char* d = cairo_image_surface_get_data(mSurface);
  const int w = cairo_image_surface_get_width(mSurface), h = cairo_image_surface_get_height(mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      if (winding[y * w + x] != 0) d[y * stride + x] = 255;
  (void)unionOfAll;
  cairo_surface_mark_dirty(mSurface);
}

void CairoMask::Triangles(const std::vector<VRvertex>& v)
{
  std::vector<int> cover(Pixels(), 0);
  std::vector<int> one(Pixels(), 0);
  for (size_t i = 0; i + 2 < v.size(); i += 3)
  {
    std::fill(one.begin(), one.end(), 0);
    Accumulate(v[i], v[i + 1], v[i + 2], one);
    for (size_t k = 0; k < one.size(); k++) cover[k] |= one[k] != 0;
  }
  Store(cover, true);
}

void CairoMask::Strip(const std::vector<VRvertex>& v)
{
  std::vector<int> cover(Pixels(), 0);
  std::vector<int> one(Pixels(), 0);
  for (size_t i = 0; i + 2 < v.size(); i++)
  {
    std::fill(one.begin(), one.end(), 0);
    Accumulate(v[i], v[i + 1], v[i + 2], one);
    for (size_t k = 0; k < one.size(); k++) cover[k] |= one[k] != 0;
  }
  Store(cover, true);
}

void CairoMask::FansNonZero(const std::vector<std::vector<VRvertex>>& fans)
{
  std::vector<int> winding(Pixels(), 0);
  for (const auto& fan : fans)
    for (size_t i = 1; i + 1 < fan.size(); i++) Accumulate(fan[0], fan[i], fan[i + 1], winding);
  Store(winding, false);
}

int CairoMask::Pixels() const
{
  return cairo_image_surface_get_width(mSurface) * cairo_image_surface_get_height(mSurface);
}

double CairoMask::Coverage() const
{
  cairo_surface_flush(mSurface);
  const unsigned char* d = cairo_image_surface_get_data(mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  double sum = 0;
  for (int y = 0; y < cairo_image_surface_get_height(mSurface); y++)
    for (int x = 0; x < cairo_image_surface_get_width(mSurface); x++) sum += d[y * stride + x] / 255.0;
  return sum;
}

int CairoMask::Differences(const CairoMask& other, int threshold) const
{
  cairo_surface_flush(mSurface);
  cairo_surface_flush(other.mSurface);
  const unsigned char* a = cairo_image_surface_get_data(mSurface);
  const unsigned char* b = cairo_image_surface_get_data(other.mSurface);
  const int stride = cairo_image_surface_get_stride(mSurface);
  int n = 0;
  for (int y = 0; y < cairo_image_surface_get_height(mSurface); y++)
    for (int x = 0; x < cairo_image_surface_get_width(mSurface); x++)
      if (std::abs(a[y * stride + x] - b[y * stride + x]) > threshold) n++;
  return n;
}

void CairoMask::Save(const std::string& name) const
{
  cairo_surface_write_to_png(mSurface, (name + ".png").c_str());
}

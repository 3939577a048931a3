#pragma once

// A frame drawn by us against the same scene drawn by Cairo: per-channel differences, interior pixels (uniform
// 3 × 3 neighbourhood in Cairo's image) apart from edges, where anti-aliasing differs.

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace cairocmp
{

struct Stats
{
  int interiorMax = 0, edgeMax = 0, overEdge = 0;
  double mean = 0;
  std::string where; // the first pixels beyond the edge tolerance
};

inline Stats Compare(const std::vector<uint8_t>& ours, const uint8_t* ref, int stride, int w, int h, int edgeTolerance)
{
  Stats s;
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      bool uniform = true;
      for (int dy = -1; dy <= 1 && uniform; ++dy)
        for (int dx = -1; dx <= 1 && uniform; ++dx)
        {
          const int nx = std::clamp(x + dx, 0, w - 1), ny = std::clamp(y + dy, 0, h - 1);
          uniform = std::memcmp(&ref[ny * stride + nx * 4], &ref[y * stride + x * 4], 4) == 0;
        }
      int worst = 0;
      for (int c = 0; c < 4; ++c)
      {
        const int d = std::abs(int(ours[(y * w + x) * 4 + c]) - int(ref[y * stride + x * 4 + c]));
        sum += d;
        worst = std::max(worst, d);
      }
      if (uniform)
        s.interiorMax = std::max(s.interiorMax, worst);
      else
      {
        s.edgeMax = std::max(s.edgeMax, worst);
        if (worst > edgeTolerance && ++s.overEdge <= 6)
          s.where += " (" + std::to_string(x) + "," + std::to_string(y) + ")" + std::to_string(worst);
      }
    }
  s.mean = sum / (w * h * 4.0);
  return s;
}

// A Cairo image of w × h points at a scale.
struct CairoFrame
{
  CairoFrame(int w, int h, double scale)
  {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w * scale), int(h * scale));
    cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
  }
  ~CairoFrame()
  {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  CairoFrame(const CairoFrame&) = delete;
  CairoFrame& operator=(const CairoFrame&) = delete;
  const uint8_t* Data()
  {
    cairo_surface_flush(surface);
    return cairo_image_surface_get_data(surface);
  }
  int Stride() const { return cairo_image_surface_get_stride(surface); }
  cairo_surface_t* surface;
  cairo_t* cr;
};

} // namespace cairocmp

#pragma once

// An 8-bit coverage image (a Cairo image surface), for comparing renderer geometry with Cairo's own filling and stroking.
// Failing comparisons save both masks as PNG next to the test log.

#include "renderer/VectorRenderer.h"

#include <cairo.h>

#include <string>
#include <vector>

class CairoMask
{
public:
  CairoMask(int w, int h, bool antialias = true);
  ~CairoMask();
  CairoMask(const CairoMask&) = delete;
  CairoMask& operator=(const CairoMask&) = delete;

  cairo_t* cr() const { return mCr; }

  // Our geometry, sampled at pixel centres (as Cairo samples without anti-aliasing): the union of triangles given
  // as a list (every 3 vertices) or a strip; fans of several sub-paths under non-zero winding, as a stencil fill
  // combines them.
  void Triangles(const std::vector<VRvertex>& v);
  void Strip(const std::vector<VRvertex>& v);
  void FansNonZero(const std::vector<std::vector<VRvertex>>& fans);

  double Coverage() const; // sum of coverage in pixels
  // Pixels whose coverage differs by more than `threshold` (0..255).
  int Differences(const CairoMask& other, int threshold) const;
  void Save(const std::string& name) const;

private:
  void Accumulate(const VRvertex& a, const VRvertex& b, const VRvertex& c, std::vector<int>& winding);
  void Store(const std::vector<int>& winding, bool unionOfAll);
  int Pixels() const;
  cairo_surface_t* mSurface = nullptr;
  cairo_t* mCr = nullptr;
};

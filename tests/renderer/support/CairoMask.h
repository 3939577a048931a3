#pragma once

// A coverage image (a Cairo A8 surface, no anti-aliasing: pixels sampled at their centres). Cairo fills and
// strokes shapes into one; our fans and strips are sampled into another by exact winding counts, so the two can be
// compared pixel by pixel. A failed comparison saves both as PNG next to the test log.

#include "renderer/VectorRenderer.h"

#include <cairo.h>

#include <string>
#include <vector>

class CairoMask
{
public:
  CairoMask(int w, int h);
  ~CairoMask();
  CairoMask(const CairoMask&) = delete;
  CairoMask& operator=(const CairoMask&) = delete;

  cairo_t* cr() const { return mCr; }
  void Strip(const std::vector<VRvertex>& v);                        // union of the strip's triangles
  void FansNonZero(const std::vector<std::vector<VRvertex>>& fans); // as a stencil fill combines them
  // Pixels that differ; above maxPixels both images are saved as renderer_<name>_{ours,cairo}.png.
  int Differences(const CairoMask& ref, const std::string& name, int maxPixels) const;

private:
  void Accumulate(const VRvertex& a, const VRvertex& b, const VRvertex& c, std::vector<int>& winding) const;
  void Store(const std::vector<int>& winding);
  int mW, mH;
  cairo_surface_t* mSurface;
  cairo_t* mCr;
};

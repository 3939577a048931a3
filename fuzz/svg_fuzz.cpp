// libFuzzer target: SVG documents (ParseSVG).
//
// Promises checked: parsing never crashes or throws; a parsed document holds only finite numbers within the
// coordinate limit, paths made of whole cubics, gradients with at least two stops in order, and dash lists of
// even length within the model's room; parsing the same bytes twice gives the same shapes.

#include "graphics/ISVG.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace plugin::igraphics;

namespace
{

inline void Check(bool cond)
{
  if (!cond) __builtin_trap();
}

bool Sound(float v) { return std::isfinite(v) && std::fabs(v) <= 1e7f; }

void CheckPaint(const SVGPaint& p)
{
  if (p.type != ESVGPaintType::LinearGradient && p.type != ESVGPaintType::RadialGradient) return;
  Check(p.gradient.stops.size() >= 2);
  for (float v : p.gradient.xform) Check(Sound(v));
  float last = 0.f;
  for (const SVGGradientStop& s : p.gradient.stops)
  {
    Check(s.offset >= last && s.offset <= 1.f);
    last = s.offset;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const ISVG svg = ParseSVG(data, size);
  if (!svg) return 0;
  const SVGDocument& d = *svg.Document();
  Check(Sound(d.width) && Sound(d.height) && d.width >= 0 && d.height >= 0);
  for (const SVGShape& s : d.shapes)
  {
    Check(!s.paths.empty());
    Check(s.opacity >= 0.f && s.opacity <= 1.f);
    Check(Sound(s.strokeWidth) && s.strokeWidth >= 0 && Sound(s.dashOffset) && s.miterLimit >= 1);
    Check(s.dashCount >= 0 && s.dashCount <= kSVGMaxDashes && s.dashCount % 2 == 0);
    for (int i = 0; i < s.dashCount; ++i) Check(Sound(s.dashArray[i]) && s.dashArray[i] >= 0);
    CheckPaint(s.fill);
    CheckPaint(s.stroke);
    for (const SVGPath& p : s.paths)
    {
      Check(p.NPoints() >= 4 && p.NPoints() % 3 == 1);
      for (float v : p.pts) Check(Sound(v));
      Check(p.bounds[0] <= p.bounds[2] && p.bounds[1] <= p.bounds[3]);
    }
  }
  const ISVG again = ParseSVG(data, size);
  Check(again && again.Document()->shapes.size() == d.shapes.size());
  return 0;
}

#pragma once

// A scripted context for the bitmap and SVG control tests: resources come from tables the test fills, and rotated
// bitmaps and SVG draws are recorded (documents told apart by their width). Header-only; include as
// "controls/support/ImageGraphics.h".

#include "support/ScriptedGraphics.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plugin::igraphics::test
{

class ImageGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;
  std::map<std::pair<std::string, int>, std::pair<int, int>> bitmaps; // (name, scale) → pixels
  std::map<std::string, ISVG> svgs;
  std::vector<std::unique_ptr<APIBitmap>> images;

  IBitmap LoadBitmap(const char* name, int n, bool horizontal, int targetScale) override
  {
    const auto it = bitmaps.find({name, std::max(targetScale, 1)});
    if (it == bitmaps.end()) return IBitmap(nullptr, n, horizontal, name);
    images.push_back(std::make_unique<APIBitmap>(1, it->second.first, it->second.second, float(it->first.second), 1.f));
    return IBitmap(images.back().get(), n, horizontal, name);
  }
  ISVG LoadSVG(const char* name, const char*, float) override { return svgs.count(name) ? svgs[name] : ISVG(); }
  void DrawRotatedBitmap(const IBitmap&, float cx, float cy, double angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedBitmap", {cx, cy, angle}, "", COLOR_BLACK});
  }
  // The blend's weight last, -1 without one.
  void DrawSVG(const ISVG& svg, const IRECT& r, const IBlend* blend) override
  {
    drawn.push_back({"DrawSVG", {svg.W(), r.L, r.T, r.R, r.B, blend ? blend->weight : -1.0}, "", COLOR_BLACK});
  }
  void DrawRotatedSVG(const ISVG& svg, float cx, float cy, float w, float h, float angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedSVG", {svg.W(), cx, cy, w, h, angle}, "", COLOR_BLACK});
  }
};

// An empty SVG document of the given size.
inline ISVG Doc(float w, float h)
{
  auto doc = std::make_shared<SVGDocument>();
  doc->width = w;
  doc->height = h;
  return ISVG(doc);
}

} // namespace plugin::igraphics::test

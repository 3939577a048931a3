#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{

// 0..255 from a colour's own alpha scaled by an opacity of 0..1 (anything else is clamped; NaN counts as 0).
int32_t ScaledAlpha(uint8_t alpha, float opacity)
{
  const float o = std::isnan(opacity) ? 0.f : std::clamp(opacity, 0.f, 1.f);
  return std::clamp(static_cast<int32_t>(std::roundf(o * static_cast<float>(alpha))), 0, 255);
}

// Whether the ray from (px, py) through (qx, qy) crosses the straight segment a–b: at a segment parameter in
// [0, 1) and a ray parameter of 0 or more. Near-parallel lines never count.
bool RayCrosses(double px, double py, double dx, double dy, double ax, double ay, double bx, double by)
{
  const double ex = bx - ax, ey = by - ay;
  const double denom = dx * ey - dy * ex;
  if (std::fabs(denom) < 1e-8) return false;
  const double wx = ax - px, wy = ay - py;
  const double t = (wx * ey - wy * ex) / denom; // along the ray
  const double u = (wx * dy - wy * dx) / denom; // along the segment
  return u >= 0.0 && u < 1.0 && t >= 0.0;
}

// A path is a hole when a ray from its first point, pointing away past its bounds' top-left corner, crosses the
// outlines (on-curve points joined straight) of the shape's other paths an odd number of times.
bool IsHole(const SVGShape& shape, size_t pathIdx)
{
  const SVGPath& path = shape.paths[pathIdx];
  if (path.NPoints() < 1) return false;
  const double px = path.pts[0], py = path.pts[1];
  const double dx = (path.bounds[0] - 1.0) - px, dy = (path.bounds[1] - 1.0) - py;
  int crossings = 0;
  for (size_t k = 0; k < shape.paths.size(); ++k)
  {
    const SVGPath& other = shape.paths[k];
    const int n = other.NPoints();
    if (k == pathIdx || n < 4) continue;
    for (int i = 0; i < n; i += 3)
    {
      const int j = i + 3 < n ? i + 3 : 0; // the last on-curve point closes back to the first
      if (RayCrosses(px, py, dx, dy, other.pts[2 * i], other.pts[2 * i + 1], other.pts[2 * j], other.pts[2 * j + 1]))
        ++crossings;
    }
  }
  return crossings % 2 == 1;
}

} // namespace

IPattern IGraphics::GetSVGPattern(const SVGPaint& paint, float opacity)
{
  switch (paint.type)
  {
  case ESVGPaintType::Color:
    return IPattern(IColor(ScaledAlpha(SVGColorA(paint.color), opacity), SVGColorR(paint.color),
                           SVGColorG(paint.color), SVGColorB(paint.color)));
  case ESVGPaintType::LinearGradient:
  case ESVGPaintType::RadialGradient:
  {
    IPattern pattern(paint.type == ESVGPaintType::LinearGradient ? kLinearPattern : kRadialPattern);
    const int spread = static_cast<int>(paint.gradient.spread);
    pattern.mExtend = spread >= 0 && spread <= 2 ? static_cast<EPatternExtend>(spread + 1) : kExtendPad;
    // The shape's opacity and each stop's own reach the stops as they do solid colours.
    for (const SVGGradientStop& stop : paint.gradient.stops)
      pattern.AddStop(IColor(ScaledAlpha(SVGColorA(stop.color), opacity), SVGColorR(stop.color),
                             SVGColorG(stop.color), SVGColorB(stop.color)),
                      stop.offset);
    const float* m = paint.gradient.xform;
    pattern.mTransform = IMatrix(m[0], m[1], m[2], m[3], m[4], m[5]);
    return pattern;
  }
  default:
    return IPattern(IColor(ScaledAlpha(255, opacity), 0, 0, 0));
  }
}

void IGraphics::DrawSVGShapes(const ISVG& svg, const IBlend* blend)
{
  const SVGDocument* doc = svg.Document();
  if (!doc) return;
  for (const SVGShape& shape : doc->shapes)
  {
    if (!shape.visible) continue;
    PathClear();
    for (size_t p = 0; p < shape.paths.size(); ++p)
    {
      const SVGPath& path = shape.paths[p];
      const int n = path.NPoints();
      if (n < 1) continue;
      const float* pt = path.pts.data();
      PathMoveTo(pt[0], pt[1]);
      for (int i = 1; i + 2 < n; i += 3)
        PathCubicBezierTo(pt[2 * i], pt[2 * i + 1], pt[2 * i + 2], pt[2 * i + 3], pt[2 * i + 4], pt[2 * i + 5]);
      if (path.closed) PathClose();
      PathSetWinding(IsHole(shape, p));
    }

    const bool hasStroke = shape.stroke.type != ESVGPaintType::None;
    if (shape.fill.type != ESVGPaintType::None)
    {
      IFillOptions options;
      options.mFillRule = kFillPreserveWinding;
      options.mPreserve = hasStroke;
      PathFill(GetSVGPattern(shape.fill, shape.opacity), options, blend);
    }
    if (hasStroke)
    {
      IStrokeOptions options;
      options.mMiterLimit = shape.miterLimit;
      options.mPreserve = false;
      const int cap = static_cast<int>(shape.lineCap), join = static_cast<int>(shape.lineJoin);
      options.mCapOption = cap >= 0 && cap <= 2 ? static_cast<ELineCap>(cap) : kCapButt;
      options.mJoinOption = join >= 0 && join <= 2 ? static_cast<ELineJoin>(join) : kJoinMiter;
      options.mDash.SetDash(shape.dashArray, shape.dashOffset, std::clamp(shape.dashCount, 0, kSVGMaxDashes));
      PathStroke(GetSVGPattern(shape.stroke, shape.opacity), shape.strokeWidth, options, blend);
    }
  }
}

void IGraphics::DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend)
{
  const SVGDocument* doc = svg.Document();
  if (!doc) return;
  // A document or bounds without area draws nothing (no scale can be formed from it).
  const float s = std::min(bounds.W() / doc->width, bounds.H() / doc->height);
  if (!(doc->width > 0.f) || !(doc->height > 0.f) || !std::isfinite(s) || !(s > 0.f)) return;
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(s, s);
  DrawSVGShapes(svg, blend);
  PathTransformRestore();
}

void IGraphics::DrawRotatedSVG(const ISVG& svg, float destCentreX, float destCentreY, float width, float height,
                               float angle, const IBlend* blend)
{
  PathTransformSave();
  PathTransformTranslate(destCentreX, destCentreY);
  PathTransformRotate(angle);
  DrawSVG(svg, IRECT(-width / 2.f, -height / 2.f, width / 2.f, height / 2.f), blend);
  PathTransformRestore();
}

} // namespace plugin::igraphics

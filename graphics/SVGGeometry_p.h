#pragma once

// Helpers of the SVG parser that need neither the XML nor the SVG library: affine transforms, curve bounds, the
// elliptical arc as cubics, numbers in the C locale and the nesting check on raw text. Private to graphics/.

#include <array>
#include <functional>
#include <vector>

namespace plugin::igraphics::svgdetail
{

// a, b, c, d, e, f: (x, y) → (a·x + c·y + e, b·x + d·y + f).
using Matrix = std::array<double, 6>;
constexpr Matrix kIdentity = {1, 0, 0, 1, 0, 0};

// m · n: n applies first.
Matrix Multiply(const Matrix& m, const Matrix& n);
// False (out unchanged or partly written) when m is singular or the inverse is not finite.
bool Invert(const Matrix& m, Matrix& out);

inline void Apply(const Matrix& m, double x, double y, double& ox, double& oy)
{
  ox = m[0] * x + m[2] * y + m[4];
  oy = m[1] * x + m[3] * y + m[5];
}

// Tight bounds of the cubic p (four x, y points), grown into b (min x, min y, max x, max y).
void CubicBounds(const double* p, double* b);
// Bounds of a point list laid out as SVGPath::pts (a lone point counts as itself), grown into b.
void PathBounds(const std::vector<double>& pts, double* b);

// The elliptical arc from (x0, y0) to (x, y) with radii rx, ry, its x axis rotated by rotationDeg degrees, as one
// to four cubics handed to emit as {c1x, c1y, c2x, c2y, x, y}; the last one ends exactly at (x, y). Radii too small
// to reach the end point are scaled up until they do. Equal end points give no cubic. False, with nothing
// emitted, when the arc is a straight line (a radius of 0) or its numbers are not finite.
bool ArcToCubics(double x0, double y0, double rx, double ry, double rotationDeg, bool largeArc, bool sweep, double x,
                 double y, const std::function<void(const double* cubic)>& emit);

// Skips white space (and commas when comma is set); returns the first other character or end.
const char* SkipSpace(const char* p, const char* end, bool comma);
// Reads a number at p in the C locale whatever the process locale; advances p past it. False, p unchanged, when
// there is no number or it is not finite.
bool ReadNumber(const char*& p, const char* end, double& v);

// Deepest element nesting of XML text, found the way an XML parser walks it (comments, CDATA, declarations and
// quoted attribute values skipped), so that nothing recursive is handed a document nested deeper than limit.
// Stops and returns limit + 1 as soon as the nesting passes limit.
int NestingDepth(const char* p, const char* end, int limit);

} // namespace plugin::igraphics::svgdetail

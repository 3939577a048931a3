// Geometry and number reading for the SVG parser: plain arithmetic, no XML.

#include "graphics/SVGGeometry_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plugin::igraphics::svgdetail
{

// ---------------------------------------------------------------------------------------------------------------
// Transforms
// ---------------------------------------------------------------------------------------------------------------

Matrix Multiply(const Matrix& m, const Matrix& n)
{
  return {m[0] * n[0] + m[2] * n[1], m[1] * n[0] + m[3] * n[1],        m[0] * n[2] + m[2] * n[3],
          m[1] * n[2] + m[3] * n[3], m[0] * n[4] + m[2] * n[5] + m[4], m[1] * n[4] + m[3] * n[5] + m[5]};
}

bool Invert(const Matrix& m, Matrix& out)
{
  const double det = m[0] * m[3] - m[2] * m[1];
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  const double inv = 1.0 / det;
  out = {m[3] * inv,
         -m[1] * inv,
         -m[2] * inv,
         m[0] * inv,
         (m[2] * m[5] - m[3] * m[4]) * inv,
         (m[1] * m[4] - m[0] * m[5]) * inv};
  for (double v : out)
    if (!std::isfinite(v)) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Curves
// ---------------------------------------------------------------------------------------------------------------

void CubicBounds(const double* p, double* b)
{
  for (int axis = 0; axis < 2; ++axis)
  {
    const double p0 = p[axis], p1 = p[2 + axis], p2 = p[4 + axis], p3 = p[6 + axis];
    auto grow = [&](double v)
    {
      b[axis] = std::min(b[axis], v);
      b[2 + axis] = std::max(b[2 + axis], v);
    };
    grow(p0);
    grow(p3);
    // Extremes where the derivative 3(a t² + b t + c) is zero.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3, bb = 2 * (p0 - 2 * p1 + p2), c = p1 - p0;
    double roots[2];
    int n = 0;
    if (std::fabs(a) < 1e-12)
    {
      if (std::fabs(bb) > 1e-12) roots[n++] = -c / bb;
    }
    else
    {
      const double disc = bb * bb - 4 * a * c;
      if (disc >= 0)
      {
        const double s = std::sqrt(disc);
        roots[n++] = (-bb + s) / (2 * a);
        roots[n++] = (-bb - s) / (2 * a);
      }
    }
    for (int i = 0; i < n; ++i)
    {
      const double t = roots[i];
      if (!(t > 0 && t < 1)) continue;
      const double u = 1 - t;
      grow(u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3);
    }
  }
}

void PathBounds(const std::vector<double>& pts, double* b)
{
  for (size_t i = 0; i + 7 < pts.size(); i += 6)
    CubicBounds(&pts[i], b);
  if (pts.size() == 2)
  {
    b[0] = std::min(b[0], pts[0]);
    b[1] = std::min(b[1], pts[1]);
    b[2] = std::max(b[2], pts[0]);
    b[3] = std::max(b[3], pts[1]);
  }
}

// Endpoint arc → centre form → at most four cubics of a quarter turn or less each.
bool ArcToCubics(double x0, double y0, double rx, double ry, double rotationDeg, bool largeArc, bool sweep, double x,
                 double y, const std::function<void(const double* cubic)>& emit)
{
  if (x0 == x && y0 == y) return true; // no arc at all
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (!(rx > 0) || !(ry > 0) || !std::isfinite(rx + ry + rotationDeg)) return false;
  constexpr double kPi = 3.14159265358979323846;
  const double phi = std::fmod(rotationDeg, 360.0) * kPi / 180.0;
  const double cs = std::cos(phi), sn = std::sin(phi);
  const double dx2 = (x0 - x) / 2, dy2 = (y0 - y) / 2;
  const double x1p = cs * dx2 + sn * dy2, y1p = -sn * dx2 + cs * dy2;
  // Radii too small to reach the end point grow just enough.
  const double lambda = x1p * x1p / (rx * rx) + y1p * y1p / (ry * ry);
  if (lambda > 1)
  {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }
  const double rx2 = rx * rx, ry2 = ry * ry;
  const double den = rx2 * y1p * y1p + ry2 * x1p * x1p;
  double coef = den > 0 ? std::sqrt(std::max(0.0, (rx2 * ry2 - den) / den)) : 0;
  if (largeArc == sweep) coef = -coef;
  const double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
  const double cx = cs * cxp - sn * cyp + (x0 + x) / 2, cy = sn * cxp + cs * cyp + (y0 + y) / 2;
  auto angle = [](double ux, double uy, double vx, double vy)
  { return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy); };
  const double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry, vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
  const double theta1 = angle(1, 0, ux, uy);
  double delta = angle(ux, uy, vx, vy);
  if (!sweep && delta > 0) delta -= 2 * kPi;
  if (sweep && delta < 0) delta += 2 * kPi;
  if (!std::isfinite(theta1 + delta + cx + cy)) return false;
  const int n = std::clamp(static_cast<int>(std::ceil(std::fabs(delta) / (kPi / 2) - 1e-9)), 1, 4);
  const double step = delta / n, k = 4.0 / 3.0 * std::tan(step / 4);
  auto point = [&](double t, double& px, double& py)
  {
    px = cx + cs * rx * std::cos(t) - sn * ry * std::sin(t);
    py = cy + sn * rx * std::cos(t) + cs * ry * std::sin(t);
  };
  auto tangent = [&](double t, double& tx, double& ty)
  {
    tx = -cs * rx * std::sin(t) - sn * ry * std::cos(t);
    ty = -sn * rx * std::sin(t) + cs * ry * std::cos(t);
  };
  double px = x0, py = y0;
  for (int i = 0; i < n; ++i)
  {
    const double t1 = theta1 + i * step, t2 = t1 + step;
    double p1x, p1y, p2x, p2y, d1x, d1y, d2x, d2y;
    point(t1, p1x, p1y);
    point(t2, p2x, p2y);
    tangent(t1, d1x, d1y);
    tangent(t2, d2x, d2y);
    if (i == n - 1)
    {
      p2x = x; // land exactly on the end point
      p2y = y;
    }
    const double c[6] = {px + k * d1x, py + k * d1y, p2x - k * d2x, p2y - k * d2y, p2x, p2y};
    emit(c);
    px = p2x;
    py = p2y;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------------------------

const char* SkipSpace(const char* p, const char* end, bool comma)
{
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || (comma && *p == ',')))
    ++p;
  return p;
}

bool ReadNumber(const char*& p, const char* end, double& v)
{
  const char* q = p;
  if (q < end && (*q == '+' || *q == '-')) ++q;
  const char* digits = q;
  while (q < end && *q >= '0' && *q <= '9')
    ++q;
  if (q < end && *q == '.')
  {
    ++q;
    while (q < end && *q >= '0' && *q <= '9')
      ++q;
  }
  if (q == digits || (q == digits + 1 && *digits == '.')) return false;
  if (q < end && (*q == 'e' || *q == 'E'))
  {
    const char* e = q + 1;
    if (e < end && (*e == '+' || *e == '-')) ++e;
    if (e < end && *e >= '0' && *e <= '9')
    {
      while (e < end && *e >= '0' && *e <= '9')
        ++e;
      q = e;
    }
  }
  // strtod would follow the locale; the digits are copied out and read with a fixed decimal point instead.
  char buf[64];
  const size_t n = static_cast<size_t>(q - p);
  if (n >= sizeof buf) return false;
  std::memcpy(buf, p, n);
  buf[n] = 0;
  double mant = 0, scale = 1;
  const char* s = buf;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = *s++ == '-';
  for (; *s >= '0' && *s <= '9'; ++s)
    mant = mant * 10 + (*s - '0');
  if (*s == '.')
    for (++s; *s >= '0' && *s <= '9'; ++s)
      mant += (*s - '0') * (scale /= 10);
  if (*s == 'e' || *s == 'E')
  {
    ++s;
    const bool negExp = *s == '-';
    if (*s == '+' || *s == '-') ++s;
    int ex = 0;
    for (; *s >= '0' && *s <= '9'; ++s)
      ex = std::min(ex * 10 + (*s - '0'), 1000);
    mant *= std::pow(10.0, negExp ? -ex : ex);
  }
  if (!std::isfinite(mant)) return false;
  v = neg ? -mant : mant;
  p = q;
  return true;
}

int NestingDepth(const char* p, const char* end, int limit)
{
  int depth = 0, deepest = 0;
  auto skipTo = [&](const char* what)
  {
    const char* hit = std::search(p, end, what, what + std::strlen(what));
    p = hit == end ? end : hit + std::strlen(what);
  };
  while (p < end)
  {
    if (*p != '<')
    {
      ++p;
      continue;
    }
    if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0)
      skipTo("-->");
    else if (end - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0)
      skipTo("]]>");
    else if (end - p >= 2 && p[1] == '?')
      skipTo("?>");
    else if (end - p >= 2 && p[1] == '!')
    {
      // Declarations, with a bracketed internal subset that may hold '>'.
      int brackets = 0;
      for (p += 2; p < end; ++p)
      {
        if (*p == '[')
          ++brackets;
        else if (*p == ']')
          --brackets;
        else if (*p == '>' && brackets <= 0)
          break;
      }
      if (p < end) ++p;
    }
    else if (end - p >= 2 && p[1] == '/')
    {
      --depth;
      skipTo(">");
    }
    else
    {
      // A start tag: quoted values may hold '>' and "/>".
      char quote = 0;
      const char* q = p + 1;
      for (; q < end; ++q)
      {
        if (quote)
        {
          if (*q == quote) quote = 0;
        }
        else if (*q == '"' || *q == '\'')
          quote = *q;
        else if (*q == '>')
          break;
      }
      const bool empty = q < end && q[-1] == '/';
      p = q < end ? q + 1 : end;
      if (!empty && ++depth > deepest && (deepest = depth) > limit) return limit + 1;
    }
  }
  return deepest;
}

} // namespace plugin::igraphics::svgdetail

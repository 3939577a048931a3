#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plugin::igraphics
{

namespace
{

constexpr float kPI = 3.1415927f;

// Largest offset, in points, truncated to whole points through an int: well inside an int's range, and far beyond
// any drawing surface.
constexpr float kMaxWholeOffset = 1e9f;

// Most lines of one direction of a grid: far more than an editor's width in points, and a bound on the work when
// the bounds are absurdly large.
constexpr int kMaxGridLines = 8192;

// Calls line(c) for each grid line strictly between lo and hi at c = lo + k·step (k ≥ 1). The count is taken once
// up front: stepping a float coordinate instead never advances where the step is below the float spacing of lo
// (bounds at 1e8, step 2). A step of 1 or less, one that is not finite, or edges that are not, give none.
template <typename F>
void ForEachGridLine(float lo, float hi, float step, F&& line)
{
  if (!(step > 1.f) || !std::isfinite(step) || !std::isfinite(lo) || !std::isfinite(hi)) return;
  const double lines = std::ceil((static_cast<double>(hi) - lo) / step) - 1.0;
  const int n = lines > 0.0 ? static_cast<int>(std::min(lines, static_cast<double>(kMaxGridLines))) : 0;
  for (int k = 1; k <= n; ++k)
  {
    // In double, so that it does not drift as a running float sum would. Far out, where floats are sparser than
    // the step, lines round onto each other and onto the edges, which keep no line.
    const float c = static_cast<float>(static_cast<double>(lo) + static_cast<double>(k) * step);
    if (c >= hi) break;
    if (c > lo) line(c);
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Shapes built from the path slots: every Draw… strokes, every Fill… fills
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend)
{
  // A bitmap without size cannot be stretched to anything.
  if (bitmap.W <= 0 || bitmap.H <= 0) return;
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(bounds.W() / static_cast<float>(bitmap.W), bounds.H() / static_cast<float>(bitmap.H));
  DrawBitmap(bitmap, IRECT(0.f, 0.f, static_cast<float>(bitmap.W), static_cast<float>(bitmap.H)), 0, 0, blend);
  PathTransformRestore();
}

void IGraphics::DrawRotatedBitmap(const IBitmap& bitmap, float destCentreX, float destCentreY, double angle,
                                  const IBlend* blend)
{
  PathTransformSave();
  PathTransformTranslate(destCentreX, destCentreY);
  PathTransformRotate(static_cast<float>(angle));
  const float ds = bitmap.GetDrawScale() > 0.f ? bitmap.GetDrawScale() : 1.f;
  const float w = static_cast<float>(bitmap.W) / ds, h = static_cast<float>(bitmap.H) / ds;
  DrawBitmap(bitmap, IRECT(-w / 2.f, -h / 2.f, w / 2.f, h / 2.f), 0, 0, blend);
  PathTransformRestore();
}

void IGraphics::DrawPoint(const IColor& color, float x, float y, const IBlend* blend)
{
  FillRect(color, IRECT(x, y, x + 1.f, y + 1.f), blend);
}

void IGraphics::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                         float thickness)
{
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                               float thickness, float dashLen)
{
  IStrokeOptions options;
  options.mDash.SetDash(&dashLen, 0.f, 1);
  PathClear();
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathStroke(color, thickness, options, blend);
}

void IGraphics::DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                             const IBlend* blend, float thickness)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness)
{
  PathClear();
  PathRect(bounds);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius, const IBlend* blend,
                              float thickness)
{
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBL, float cRBR,
                              const IBlend* blend, float thickness)
{
  PathClear();
  PathRoundRect(bounds, cRTL, cRTR, cRBL, cRBR);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2, const IBlend* blend,
                        float thickness)
{
  PathClear();
  PathArc(cx, cy, r, a1, a2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend, float thickness)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness)
{
  PathClear();
  PathEllipse(bounds);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle, const IBlend* blend,
                            float thickness)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints, const IBlend* blend,
                                  float thickness)
{
  PathClear();
  PathConvexPolygon(x, y, nPoints);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness,
                               float dashLen)
{
  IStrokeOptions options;
  options.mDash.SetDash(&dashLen, 0.f, 1);
  PathClear();
  PathRect(bounds);
  PathStroke(color, thickness, options, blend);
}

void IGraphics::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                             const IBlend* blend)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathRect(bounds);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillRect(const IPattern& pattern, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathRect(bounds);
  PathFill(pattern, IFillOptions(), blend);
}

void IGraphics::FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius, const IBlend* blend)
{
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBL, float cRBR,
                              const IBlend* blend)
{
  PathClear();
  PathRoundRect(bounds, cRTL, cRTR, cRBL, cRBR);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathEllipse(bounds);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle, const IBlend* blend)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2, const IBlend* blend)
{
  PathClear();
  PathMoveTo(cx, cy);
  PathArc(cx, cy, r, a1, a2);
  PathClose();
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::FillConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints, const IBlend* blend)
{
  PathClear();
  PathConvexPolygon(x, y, nPoints);
  PathFill(color, IFillOptions(), blend);
}

void IGraphics::DrawGrid(const IColor& color, const IRECT& bounds, float gridSizeH, float gridSizeV,
                         const IBlend* blend, float thickness)
{
  PathClear();
  ForEachGridLine(bounds.L, bounds.R, gridSizeH, [&](float x) {
    PathMoveTo(x, bounds.T);
    PathLineTo(x, bounds.B);
  });
  ForEachGridLine(bounds.T, bounds.B, gridSizeV, [&](float y) {
    PathMoveTo(bounds.L, y);
    PathLineTo(bounds.R, y);
  });
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void IGraphics::DrawData(const IColor& color, const IRECT& bounds, const float* normYPoints, int nPoints,
                         const float* normXPoints, const IBlend* blend, float thickness)
{
  if (!normYPoints || nPoints < 1) return;
  const float w = bounds.W(), h = bounds.H();
  PathClear();
  PathMoveTo(bounds.L, bounds.B - h * normYPoints[0]);
  for (int i = 1; i < nPoints; ++i)
  {
    const float x = normXPoints ? bounds.L + w * normXPoints[i]
                                : bounds.L + static_cast<float>(i) * (w / static_cast<float>(nPoints - 1));
    PathLineTo(x, bounds.B - h * normYPoints[i]);
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

// ---------------------------------------------------------------------------------------------------------------
// Text and film strips
// ---------------------------------------------------------------------------------------------------------------

float IGraphics::MeasureText(const IText& text, const char* str, IRECT& bounds) const
{
  if (!str || !str[0])
  {
    bounds = IRECT();
    return 0.f;
  }
  return DoMeasureText(text, str, bounds);
}

void IGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend)
{
  if (!str || !str[0]) return;
  DoDrawText(text, str, bounds, blend);
}

void IGraphics::DrawText(const IText& text, const char* str, float x, float y, const IBlend* blend)
{
  DrawText(text, str, IRECT(x, y, x, y), blend);
}

void IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame, const IBlend* blend)
{
  const int n = bitmap.N;
  frame = std::min(std::max(frame, 1), std::max(n, 1));
  int srcX = 0, srcY = 0;
  if (n >= 2 && frame >= 2)
  {
    // Product first, in 64 bits: large strips must not overflow before the division.
    if (bitmap.mFramesAreHorizontal)
      srcX = static_cast<int>(static_cast<int64_t>(frame - 1) * bitmap.W / n);
    else
      srcY = static_cast<int>(static_cast<int64_t>(frame - 1) * bitmap.H / n);
  }
  DrawBitmap(bitmap, bounds, srcX, srcY, blend);
}

void IGraphics::DrawBitmapedText(const IBitmap& bitmap, const IRECT& bounds, const IText& text, const IBlend* blend,
                                 const char* str, bool vCenter, bool multiline, int charWidth, int charHeight,
                                 int charOffset)
{
  if (!str || !str[0]) return;
  const float width = bounds.W();
  // Cells or bounds without width would divide by nothing below.
  if (charWidth <= 0 || !(width > 0.f)) return;

  const int len = static_cast<int>(std::strlen(str));
  const float cw = static_cast<float>(charWidth), ch = static_cast<float>(charHeight);
  const float textW = static_cast<float>(len) * cw;

  const float y0 = vCenter ? bounds.T + (bounds.H() - ch) * 0.5f : bounds.T;
  float x0 = bounds.L;
  if (text.mAlign == kAlignFar)
    x0 = bounds.R - textW;
  else if (text.mAlign == kAlignCenter)
    x0 = bounds.L + (width - textW) * 0.5f;

  // No line holds more cells, nor does the text need more lines, than it has characters: bounding both by the
  // length first keeps a huge or tiny width from overflowing the int counts.
  const float maxCount = static_cast<float>(len);
  const int perLineFit = static_cast<int>(std::min(width / cw, maxCount));
  int lines = 1, perLine = perLineFit;
  if (multiline)
  {
    if (width < textW)
      lines = static_cast<int>(std::min(textW / width, maxCount)) + 1;
    else
      perLine = len;
  }
  if (perLine <= 0) return; // not one cell fits a line

  int pos = 0;
  for (int l = 0; l < lines && pos < len; ++l)
  {
    for (int i = 0; i < perLine && pos < len; ++i, ++pos)
    {
      const int code = static_cast<signed char>(str[pos]);
      const int frame = std::min(std::max(code, 32) - 31, std::max(bitmap.N, 1));
      const float x = x0 + static_cast<float>(i * (charWidth + charOffset));
      const float y = y0 + static_cast<float>(l) * ch;
      DrawBitmap(bitmap, IRECT(x, y, x + cw, y + ch), frame, blend);
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Lines at fractions and angles
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::DrawVerticalLine(const IColor& color, const IRECT& bounds, float x, const IBlend* blend,
                                 float thickness)
{
  // NaN passes the clamp untouched, and an infinite width makes every offset meaningless: no line.
  if (!std::isfinite(x)) return;
  x = std::clamp(x, 0.f, 1.f);
  const float offset = bounds.W() * x;
  if (!std::isfinite(offset) || !std::isfinite(bounds.L)) return;
  // Truncated to whole points through an int, so first brought inside a range an int holds.
  const float whole = static_cast<float>(static_cast<int>(std::clamp(offset, -kMaxWholeOffset, kMaxWholeOffset)));
  const float xi = whole + bounds.L;
  DrawLine(color, xi, bounds.T, xi, bounds.B, blend, thickness);
}

void IGraphics::DrawVerticalLine(const IColor& color, float xi, float y1, float y2, const IBlend* blend,
                                 float thickness)
{
  DrawLine(color, xi, y1, xi, y2, blend, thickness);
}

void IGraphics::DrawHorizontalLine(const IColor& color, const IRECT& bounds, float y, const IBlend* blend,
                                   float thickness)
{
  if (!std::isfinite(y)) return;
  y = std::clamp(y, 0.f, 1.f);
  const float yi = bounds.B - bounds.H() * y;
  if (!std::isfinite(yi)) return;
  DrawLine(color, bounds.L, yi, bounds.R, yi, blend, thickness);
}

void IGraphics::DrawHorizontalLine(const IColor& color, float yi, float x1, float x2, const IBlend* blend,
                                   float thickness)
{
  DrawLine(color, x1, yi, x2, yi, blend, thickness);
}

void IGraphics::DrawRadialLine(const IColor& color, float cx, float cy, float angle, float rMin, float rMax,
                               const IBlend* blend, float thickness)
{
  const float a = (angle - 90.f) / 180.f * kPI;
  const float s = std::sin(a), c = std::cos(a);
  DrawLine(color, cx + c * rMin, cy + s * rMin, cx + c * rMax, cy + s * rMax, blend, thickness);
}

void IGraphics::PathRadialLine(float cx, float cy, float angle, float rMin, float rMax)
{
  const float a = (angle - 90.f) / 180.f * kPI;
  const float s = std::sin(a), c = std::cos(a);
  PathMoveTo(cx + c * rMin, cy + s * rMin);
  PathLineTo(cx + c * rMax, cy + s * rMax);
}

// ---------------------------------------------------------------------------------------------------------------
// Path helpers
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::PathRect(const IRECT& bounds)
{
  PathMoveTo(bounds.L, bounds.T);
  PathLineTo(bounds.R, bounds.T);
  PathLineTo(bounds.R, bounds.B);
  PathLineTo(bounds.L, bounds.B);
  PathClose();
}

void IGraphics::PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3)
{
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathLineTo(x3, y3);
  PathClose();
}

void IGraphics::PathRoundRect(const IRECT& bounds, float ctl, float ctr, float cbl, float cbr)
{
  if (ctl <= 0.f && ctr <= 0.f && cbr <= 0.f && cbl <= 0.f)
  {
    PathRect(bounds);
    return;
  }
  const float y = bounds.B - bounds.H();
  const float w = bounds.W(), h = bounds.H();
  PathMoveTo(bounds.L, y + ctl);
  PathArc(bounds.L + ctl, y + ctl, ctl, 270.f, 360.f);
  PathArc(bounds.L + w - ctr, y + ctr, ctr, 0.f, 90.f);
  PathArc(bounds.L + w - cbr, y + h - cbr, cbr, 90.f, 180.f);
  PathArc(bounds.L + cbl, y + h - cbl, cbl, 180.f, 270.f);
  PathClose();
}

void IGraphics::PathRoundRect(const IRECT& bounds, float cornerRadius)
{
  PathRoundRect(bounds, cornerRadius, cornerRadius, cornerRadius, cornerRadius);
}

void IGraphics::PathConvexPolygon(const float* x, const float* y, int nPoints)
{
  if (!x || !y || nPoints < 1) return;
  PathMoveTo(x[0], y[0]);
  for (int i = 1; i < nPoints; ++i)
    PathLineTo(x[i], y[i]);
  PathClose();
}

void IGraphics::PathCircle(float cx, float cy, float r)
{
  PathMoveTo(cx, cy - r);
  PathArc(cx, cy, r, 0.f, 360.f);
  PathClose();
}

void IGraphics::PathEllipse(float x, float y, float r1, float r2, float angle)
{
  if (r1 <= 0.f || r2 <= 0.f) return;
  PathTransformSave();
  PathTransformTranslate(x, y);
  PathTransformRotate(angle);
  PathTransformScale(r1, r2);
  PathMoveTo(0.f, -1.f);
  PathArc(0.f, 0.f, 1.f, 0.f, 360.f);
  PathClose();
  PathTransformRestore();
}

void IGraphics::PathEllipse(const IRECT& bounds)
{
  PathEllipse(bounds.MW(), bounds.MH(), bounds.W() / 2.f, bounds.H() / 2.f, 0.f);
}

void IGraphics::PathClipRegion(const IRECT& r)
{
  // Inside a layer the drawing area is the layer; otherwise the clip of the control being drawn.
  const IRECT area = mLayers.empty() ? mClipRECT : mLayers.back()->Bounds();
  IRECT clip = area;
  if (!r.Empty())
  {
    clip = IRECT();
    if (r.R > area.L && area.R >= r.L && area.B >= r.T && r.B > area.T)
      clip = IRECT(std::max(r.L, area.L), std::max(r.T, area.T), std::min(r.R, area.R), std::min(r.B, area.B));
  }
  PathTransformSetMatrix(IMatrix());
  SetClipRegion(clip);
  PathTransformSetMatrix(mTransform);
}

// ---------------------------------------------------------------------------------------------------------------
// Transform stack
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::PathTransformSave()
{
  mTransformStack.push_back(mTransform);
}

void IGraphics::PathTransformRestore()
{
  if (mTransformStack.empty()) return;
  mTransform = mTransformStack.back();
  mTransformStack.pop_back();
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformReset(bool clearStack)
{
  if (clearStack) mTransformStack.clear();
  mTransform = IMatrix();
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformTranslate(float x, float y)
{
  mTransform.Translate(x, y);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformScale(float x, float y)
{
  mTransform.Scale(x, y);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformRotate(float degrees)
{
  mTransform.Rotate(degrees);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformSkew(float xDegrees, float yDegrees)
{
  mTransform.Skew(xDegrees, yDegrees);
  PathTransformSetMatrix(mTransform);
}

void IGraphics::PathTransformMatrix(const IMatrix& m)
{
  mTransform.Transform(m);
  PathTransformSetMatrix(mTransform);
}

// ---------------------------------------------------------------------------------------------------------------
// Rotated text
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::CalculateTextRotation(const IText& text, const IRECT& bounds, IRECT& rect, double& tx, double& ty) const
{
  // Callers may pass uninitialised offsets: an unrotated text is not moved.
  tx = 0.0;
  ty = 0.0;
  if (text.mAngle == 0.f) return;

  const float a = text.mAngle / 180.f * kPI;
  const double c = std::cos(a), s = std::sin(a);
  const double xs[4] = {rect.L, rect.R, rect.R, rect.L}, ys[4] = {rect.T, rect.T, rect.B, rect.B};
  double l = 0, t = 0, r = 0, b = 0;
  for (int i = 0; i < 4; ++i)
  {
    const double x = xs[i] * c - ys[i] * s, y = xs[i] * s + ys[i] * c;
    if (i == 0 || x < l) l = x;
    if (i == 0 || x > r) r = x;
    if (i == 0 || y < t) t = y;
    if (i == 0 || y > b) b = y;
  }
  rect = IRECT(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r), static_cast<float>(b));

  if (text.mAlign == kAlignNear)
    tx = bounds.L - rect.L;
  else if (text.mAlign == kAlignCenter)
    tx = bounds.MW() - rect.MW();
  else
    tx = bounds.R - rect.R;

  if (text.mVAlign == kVAlignTop)
    ty = bounds.T - rect.T;
  else if (text.mVAlign == kVAlignMiddle)
    ty = bounds.MH() - rect.MH();
  else
    ty = bounds.B - rect.B;
}

void IGraphics::DoMeasureTextRotation(const IText& text, const IRECT& bounds, IRECT& rect) const
{
  double tx = 0.0, ty = 0.0;
  CalculateTextRotation(text, bounds, rect, tx, ty);
  rect = rect.GetTranslated(static_cast<float>(tx), static_cast<float>(ty));
}

} // namespace plugin::igraphics

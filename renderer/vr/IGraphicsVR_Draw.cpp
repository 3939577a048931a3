#include "renderer/vr/IGraphicsVR.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{
constexpr float kPi = 3.1415927f;

bool Finite(float v)
{
  return std::isfinite(v);
}

// The inverse of the pattern's transform; false when it has none (determinant 0 or not a number).
bool InvertPattern(const IMatrix& m, double inv[6])
{
  const double det = m.mXX * m.mYY - m.mYX * m.mXY;
  if (det == 0.0 || !std::isfinite(det)) return false;
  inv[0] = m.mYY / det;
  inv[1] = -m.mYX / det;
  inv[2] = -m.mXY / det;
  inv[3] = m.mXX / det;
  inv[4] = -m.mTX * inv[0] - m.mTY * inv[2];
  inv[5] = -m.mTX * inv[1] - m.mTY * inv[3];
  for (int i = 0; i < 6; ++i)
    if (!std::isfinite(inv[i])) return false;
  return true;
}

bool Drawable(const IPattern& pattern)
{
  if (pattern.mNStops < 1) return false;
  if (pattern.mType == kSolidPattern) return true;
  double inv[6];
  return InvertPattern(pattern.mTransform, inv);
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Colours, paints and blends
// ---------------------------------------------------------------------------------------------------------------

VRcolor IGraphicsVR::ToVRColor(const IColor& color, const IBlend* blend)
{
  const float weight = blend ? blend->weight : 1.f;
  return vrRGBAf(static_cast<float>(color.R) / 255.f, static_cast<float>(color.G) / 255.f,
                 static_cast<float>(color.B) / 255.f, static_cast<float>(color.A) * weight / 255.f);
}

VRpaint IGraphicsVR::ToVRPaint(VRcontext* ctx, const IPattern& pattern, const IBlend* blend)
{
  const int last = std::max(pattern.mNStops - 1, 0);
  const VRcolor inner = ToVRColor(pattern.mStops[0].mColor, blend);
  const VRcolor outer = ToVRColor(pattern.mStops[last].mColor, blend);
  double inv[6];
  if (!InvertPattern(pattern.mTransform, inv))
  {
    // Nothing to map: a transparent paint, never a paint of NaNs.
    const VRcolor none = vrRGBAf(0.f, 0.f, 0.f, 0.f);
    return vrLinearGradient(ctx, 0.f, 0.f, 0.f, 1.f, none, none);
  }
  const float sx = static_cast<float>(inv[4]), sy = static_cast<float>(inv[5]);
  if (pattern.mType == kRadialPattern)
    return vrRadialGradient(ctx, sx, sy, static_cast<float>(pattern.mStops[0].mOffset * inv[0]),
                            static_cast<float>(inv[0]), inner, outer);
  const float ex = static_cast<float>(inv[2] + inv[4]), ey = static_cast<float>(inv[3] + inv[5]);
  return vrLinearGradient(ctx, sx, sy, ex, ey, inner, outer);
}

void IGraphicsVR::SetCompositeOperation(VRcontext* ctx, const IBlend* blend)
{
  if (!blend)
  {
    vrGlobalCompositeOperation(ctx, VR_SOURCE_OVER);
    return;
  }
  if (blend->method >= kBlendDefault && blend->method <= kBlendDstAtop)
    vrGlobalCompositeOperation(ctx, blend->method);
  else if (blend->method == kBlendAdd)
    vrGlobalCompositeBlendFunc(ctx, VR_SRC_ALPHA, VR_DST_ALPHA);
  else if (blend->method == kBlendXOR)
    vrGlobalCompositeOperation(ctx, VR_XOR);
}

// ---------------------------------------------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsVR::AddVRRect(const IRECT& r)
{
  vrRect(mVG, r.L, r.T, r.W(), r.H());
}

void IGraphicsVR::PathClear()
{
  if (mVG) vrBeginPath(mVG);
}

void IGraphicsVR::PathClose()
{
  if (mVG) vrClosePath(mVG);
}

void IGraphicsVR::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding)
{
  if (!mVG) return;
  vrArc(mVG, cx, cy, r, (a1 - 90.f) / 180.f * kPi, (a2 - 90.f) / 180.f * kPi, winding ? VR_CCW : VR_CW);
}

void IGraphicsVR::PathMoveTo(float x, float y)
{
  if (mVG) vrMoveTo(mVG, x, y);
}

void IGraphicsVR::PathLineTo(float x, float y)
{
  if (mVG) vrLineTo(mVG, x, y);
}

void IGraphicsVR::PathSetWinding(bool isHole)
{
  if (mVG) vrPathWinding(mVG, isHole ? VR_HOLE : VR_SOLID);
}

void IGraphicsVR::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2)
{
  if (mVG) vrBezierTo(mVG, c1x, c1y, c2x, c2y, x2, y2);
}

void IGraphicsVR::PathQuadraticBezierTo(float cx, float cy, float x2, float y2)
{
  if (mVG) vrQuadTo(mVG, cx, cy, x2, y2);
}

void IGraphicsVR::PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options,
                             const IBlend* blend)
{
  if (!mVG) return;
  if (!Drawable(pattern))
  {
    if (!options.mPreserve) vrBeginPath(mVG);
    return;
  }
  if (options.mCapOption >= kCapButt && options.mCapOption <= kCapSquare) vrLineCap(mVG, options.mCapOption);
  static constexpr int kJoins[3] = {VR_MITER, VR_ROUND, VR_BEVEL};
  if (options.mJoinOption >= kJoinMiter && options.mJoinOption <= kJoinBevel)
    vrLineJoin(mVG, kJoins[options.mJoinOption]);
  vrMiterLimit(mVG, options.mMiterLimit);
  vrStrokeWidth(mVG, thickness);
  if (pattern.mType == kSolidPattern)
    vrStrokeColor(mVG, ToVRColor(pattern.mStops[0].mColor, blend));
  else
    vrStrokePaint(mVG, ToVRPaint(mVG, pattern, blend));
  vrPathWinding(mVG, VR_SOLID);
  SetCompositeOperation(mVG, blend);
  vrStroke(mVG);
  vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
  if (!options.mPreserve) vrBeginPath(mVG);
}

void IGraphicsVR::PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend)
{
  if (!mVG) return;
  if (!Drawable(pattern))
  {
    if (!options.mPreserve) vrBeginPath(mVG);
    return;
  }
  if (options.mFillRule == kFillWinding)
    vrPathWinding(mVG, VR_SOLID);
  else if (options.mFillRule == kFillEvenOdd)
    vrPathWinding(mVG, VR_HOLE);
  if (pattern.mType == kSolidPattern)
    vrFillColor(mVG, ToVRColor(pattern.mStops[0].mColor, blend));
  else
    vrFillPaint(mVG, ToVRPaint(mVG, pattern, blend));
  SetCompositeOperation(mVG, blend);
  vrFill(mVG);
  vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
  if (!options.mPreserve) vrBeginPath(mVG);
}

void IGraphicsVR::PathTransformSetMatrix(const IMatrix& m)
{
  if (!mVG) return;
  const float ds = GetDrawScale();
  // Inside a layer, points are relative to the layer's corner.
  const ILayer* top = GetTopLayer();
  vrResetTransform(mVG);
  vrScale(mVG, ds, ds);
  if (top) vrTranslate(mVG, -top->Bounds().L, -top->Bounds().T);
  vrTransform(mVG, static_cast<float>(m.mXX), static_cast<float>(m.mYX), static_cast<float>(m.mXY),
              static_cast<float>(m.mYY), static_cast<float>(m.mTX), static_cast<float>(m.mTY));
}

void IGraphicsVR::SetClipRegion(const IRECT& r)
{
  if (mVG) vrScissor(mVG, r.L, r.T, r.W(), r.H());
}

// ---------------------------------------------------------------------------------------------------------------
// Bitmaps, lines and shadows
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsVR::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY, const IBlend* blend)
{
  const APIBitmap* api = bitmap.mAPIBitmap;
  if (!mVG || !api || api->GetHandle() <= 0 || api->GetWidth() <= 0 || api->GetHeight() <= 0) return;
  if (!(dest.W() > 0.f) || !(dest.H() > 0.f)) return;
  const float scale = api->GetScale() * api->GetDrawScale();
  if (!(scale > 0.f) || !Finite(scale)) return;

  VRpaint paint{};
  vrTransformScale(paint.xform, 1.f / scale, 1.f / scale);
  paint.xform[4] = dest.L - static_cast<float>(srcX);
  paint.xform[5] = dest.T - static_cast<float>(srcY);
  paint.extent[0] = static_cast<float>(bitmap.W) * api->GetScale();
  paint.extent[1] = static_cast<float>(bitmap.H) * api->GetScale();
  paint.image = api->GetHandle();
  paint.radius = 0.f;
  paint.feather = 0.f;
  paint.innerColor = paint.outerColor = vrRGBAf(1.f, 1.f, 1.f, blend ? blend->weight : 1.f);

  vrBeginPath(mVG);
  AddVRRect(dest);
  vrFillPaint(mVG, paint);
  SetCompositeOperation(mVG, blend);
  vrFill(mVG);
  vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
  vrBeginPath(mVG);
}

void IGraphicsVR::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                                 float thickness, float dashLen)
{
  // A dash length of 0 would ask for an endless number of dashes.
  if (!mVG || !(dashLen > 0.f) || !Finite(dashLen)) return;
  const float dx = x2 - x1, dy = y2 - y1;
  const float length = std::sqrt(dx * dx + dy * dy);
  const float n = std::round(length / dashLen);
  if (!Finite(n)) return;
  PathMoveTo(x1, y1);
  const int segments = static_cast<int>(std::min(n, 1e6f));
  for (int i = 1; i < segments; i += 2)
  {
    const float t0 = static_cast<float>(i) / n, t1 = static_cast<float>(i + 1) / n;
    PathLineTo(x1 + dx * t0, y1 + dy * t0);
    PathMoveTo(x1 + dx * t1, y1 + dy * t1);
  }
  PathStroke(IPattern(color), thickness, IStrokeOptions(), blend);
}

void IGraphicsVR::DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness,
                                 float dashLen)
{
  if (!mVG || !(dashLen > 0.f) || !Finite(dashLen)) return;
  const float xc = std::ceil(bounds.W() / (2.f * dashLen)), yc = std::ceil(bounds.H() / (2.f * dashLen));
  if (!Finite(xc) || !Finite(yc)) return;
  const int xCount = static_cast<int>(std::clamp(xc, 0.f, 1e6f));
  const int yCount = static_cast<int>(std::clamp(yc, 0.f, 1e6f));

  float x = bounds.L, y = bounds.T;
  PathMoveTo(x, y);
  const auto run = [&](int count, float stepX, float stepY)
  {
    for (int i = 0; i < count; ++i)
    {
      x = std::clamp(x + stepX, bounds.L, bounds.R);
      y = std::clamp(y + stepY, bounds.T, bounds.B);
      PathLineTo(x, y);
      x = std::clamp(x + stepX, bounds.L, bounds.R);
      y = std::clamp(y + stepY, bounds.T, bounds.B);
      PathMoveTo(x, y);
    }
  };
  run(xCount, dashLen, 0.f);
  run(yCount, 0.f, dashLen);
  run(xCount, -dashLen, 0.f);
  run(yCount, 0.f, -dashLen);
  PathStroke(IPattern(color), thickness, IStrokeOptions(), blend);
}

IColor IGraphicsVR::GetPoint(int, int)
{
  return IColor(255, 0, 0, 0);
}

void IGraphicsVR::DrawFastDropShadow(const IRECT& innerBounds, const IRECT& outerBounds, float xyDrop,
                                     float roundness, float blur, const IBlend* blend)
{
  if (!mVG) return;
  const float weight = blend ? blend->weight : 1.f;
  const VRpaint paint =
    vrBoxGradient(mVG, innerBounds.L + xyDrop, innerBounds.T + xyDrop, innerBounds.W(), innerBounds.H(), roundness,
                  blur, vrRGBAf(0.f, 0.f, 0.f, 128.f / 255.f * weight), vrRGBAf(0.f, 0.f, 0.f, 0.f));
  vrBeginPath(mVG);
  AddVRRect(outerBounds);
  vrFillPaint(mVG, paint);
  vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
  vrFill(mVG);
  vrBeginPath(mVG);
}

// ---------------------------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsVR::PrepareAndMeasureText(const IText& text, const char* str, IRECT& r, double& x, double& y) const
{
  int align = 0;
  x = r.L;
  y = r.T;
  switch (text.mAlign)
  {
    case kAlignNear: align |= VR_ALIGN_LEFT, x = r.L; break;
    case kAlignCenter: align |= VR_ALIGN_CENTER, x = (r.L + r.R) * 0.5; break;
    case kAlignFar: align |= VR_ALIGN_RIGHT, x = r.R; break;
    default: break;
  }
  switch (text.mVAlign)
  {
    case kVAlignTop: align |= VR_ALIGN_TOP, y = r.T; break;
    case kVAlignMiddle: align |= VR_ALIGN_MIDDLE, y = (r.T + r.B) * 0.5; break;
    case kVAlignBottom: align |= VR_ALIGN_BOTTOM, y = r.B; break;
    default: break;
  }
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  // A font that is not loaded, or a size that gives no glyphs, measures nothing.
  if (!mVG || !str || !(text.mSize > 0.f) || !Finite(text.mSize) || vrFindFont(mVG, text.mFont) < 0)
  {
    r = IRECT(fx, fy, fx, fy);
    return false;
  }
  vrFontBlur(mVG, 0.f);
  vrFontSize(mVG, text.mSize);
  vrFontFace(mVG, text.mFont);
  vrTextAlign(mVG, align);
  float b[4] = {fx, fy, fx, fy};
  vrTextBounds(mVG, fx, fy, str, nullptr, b);
  r = IRECT(b[0], b[1], b[2], b[3]);
  return true;
}

float IGraphicsVR::DoMeasureText(const IText& text, const char* str, IRECT& bounds) const
{
  const IRECT in = bounds;
  double x = 0.0, y = 0.0;
  if (!PrepareAndMeasureText(text, str, bounds, x, y)) return 0.f;
  DoMeasureTextRotation(text, in, bounds);
  return bounds.R - bounds.L;
}

void IGraphicsVR::DoDrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend)
{
  IRECT measured = bounds;
  double x = 0.0, y = 0.0;
  if (!PrepareAndMeasureText(text, str, measured, x, y)) return;
  PathTransformSave();
  // A rotation that is not a number would turn every glyph into NaNs: such text is drawn unrotated.
  if (text.mAngle != 0.f && Finite(text.mAngle))
  {
    double tx = 0.0, ty = 0.0;
    CalculateTextRotation(text, bounds, measured, tx, ty);
    PathTransformTranslate(static_cast<float>(tx), static_cast<float>(ty));
    PathTransformRotate(text.mAngle);
  }
  vrFillColor(mVG, ToVRColor(text.mFGColor, blend));
  SetCompositeOperation(mVG, blend);
  vrText(mVG, static_cast<float>(x), static_cast<float>(y), str, nullptr);
  vrGlobalCompositeOperation(mVG, VR_SOURCE_OVER);
  PathTransformRestore();
}

} // namespace plugin::igraphics

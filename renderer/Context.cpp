// Context lifetime, frames, the render-state stack, transforms, colours, paints, scissor and blending.

#include "renderer/VectorRenderer_p.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265358979323846264338327f;

float clampf(float a, float lo, float hi) { return a < lo ? lo : (a > hi ? hi : a); }

void setDevicePixelRatio(VRcontext* ctx, float ratio)
{
  ctx->tessTol = 0.25f / ratio;
  ctx->distTol = 0.01f / ratio;
  ctx->fringeWidth = 1.0f / ratio;
  ctx->devicePxRatio = ratio;
}

VRcompositeOperationState compositeOperationState(int op)
{
  int sfactor, dfactor;
  switch (op)
  {
  case VR_SOURCE_OVER: sfactor = VR_ONE; dfactor = VR_ONE_MINUS_SRC_ALPHA; break;
  case VR_SOURCE_IN: sfactor = VR_DST_ALPHA; dfactor = VR_ZERO; break;
  case VR_SOURCE_OUT: sfactor = VR_ONE_MINUS_DST_ALPHA; dfactor = VR_ZERO; break;
  case VR_ATOP: sfactor = VR_DST_ALPHA; dfactor = VR_ONE_MINUS_SRC_ALPHA; break;
  case VR_DESTINATION_OVER: sfactor = VR_ONE_MINUS_DST_ALPHA; dfactor = VR_ONE; break;
  case VR_DESTINATION_IN: sfactor = VR_ZERO; dfactor = VR_SRC_ALPHA; break;
  case VR_DESTINATION_OUT: sfactor = VR_ZERO; dfactor = VR_ONE_MINUS_SRC_ALPHA; break;
  case VR_DESTINATION_ATOP: sfactor = VR_ONE_MINUS_DST_ALPHA; dfactor = VR_SRC_ALPHA; break;
  case VR_LIGHTER: sfactor = VR_ONE; dfactor = VR_ONE; break;
  case VR_COPY: sfactor = VR_ONE; dfactor = VR_ZERO; break;
  case VR_XOR: sfactor = VR_ONE_MINUS_DST_ALPHA; dfactor = VR_ONE_MINUS_SRC_ALPHA; break;
  default: sfactor = VR_ONE; dfactor = VR_ZERO; break;
  }
  return VRcompositeOperationState{sfactor, dfactor, sfactor, dfactor};
}

float hue(float h, float m1, float m2)
{
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  if (h < 1.0f / 6.0f) return m1 + (m2 - m1) * h * 6.0f;
  if (h < 3.0f / 6.0f) return m2;
  if (h < 4.0f / 6.0f) return m1 + (m2 - m1) * (2.0f / 3.0f - h) * 6.0f;
  return m1;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------------------------------------------
VRstate* vr__getState(VRcontext* ctx) { return &ctx->states[ctx->nstates - 1]; }

void vr__setPaintColor(VRpaint* p, VRcolor color)
{
  std::memset(p, 0, sizeof(*p));
  vrTransformIdentity(p->xform);
  p->radius = 0.0f;
  p->feather = 1.0f;
  p->innerColor = color;
  p->outerColor = color;
}

float vr__getAverageScale(const float* t)
{
  const float sx = std::sqrt(t[0] * t[0] + t[2] * t[2]);
  const float sy = std::sqrt(t[1] * t[1] + t[3] * t[3]);
  return (sx + sy) * 0.5f;
}

bool vr__paintDrawable(const VRpaint& p)
{
  float inv[6];
  for (float v : p.xform)
    if (!std::isfinite(v)) return false;
  if (!vrTransformInverse(inv, p.xform)) return false;
  // The back end divides by the pattern size to find texture coordinates.
  if (p.image != 0 && !(p.extent[0] > 0.0f && p.extent[1] > 0.0f)) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Lifetime and frames
// ---------------------------------------------------------------------------------------------------------------
VRcontext* vrCreateInternal(const VRparams* params)
{
  if (!params) return nullptr;
  auto* ctx = static_cast<VRcontext*>(std::calloc(1, sizeof(VRcontext)));
  if (!ctx) return nullptr;
  ctx->params = *params;
  for (int& img : ctx->fontImages) img = 0;

  ctx->commands = static_cast<float*>(std::malloc(sizeof(float) * VR_INIT_COMMANDS_SIZE));
  if (!ctx->commands) goto error;
  ctx->ncommands = 0;
  ctx->ccommands = VR_INIT_COMMANDS_SIZE;

  ctx->cache = vr__allocPathCache();
  if (!ctx->cache) goto error;

  ctx->nstates = 1;
  vrReset(ctx);
  setDevicePixelRatio(ctx, 1.0f);

  if (!ctx->params.renderCreate || ctx->params.renderCreate(ctx->params.userPtr) == 0) goto error;

  ctx->fs = vr__createFontStore();
  if (!ctx->fs) goto error;

  if (ctx->params.renderCreateTexture)
    ctx->fontImages[0] = ctx->params.renderCreateTexture(ctx->params.userPtr, VR_TEXTURE_ALPHA,
                                                         VR_INIT_FONTIMAGE_SIZE, VR_INIT_FONTIMAGE_SIZE, 0, nullptr);
  if (ctx->fontImages[0] == 0) goto error;
  ctx->fontImageIdx = 0;
  return ctx;

error:
  vrDeleteInternal(ctx);
  return nullptr;
}

void vrDeleteInternal(VRcontext* ctx)
{
  if (!ctx) return;
  std::free(ctx->commands);
  vr__deletePathCache(ctx->cache);
  vr__deleteFontStore(ctx->fs);
  for (int& img : ctx->fontImages)
  {
    if (img != 0)
    {
      if (ctx->params.renderDeleteTexture) ctx->params.renderDeleteTexture(ctx->params.userPtr, img);
      img = 0;
    }
  }
  if (ctx->params.renderDelete) ctx->params.renderDelete(ctx->params.userPtr);
  std::free(ctx);
}

VRparams* vrInternalParams(VRcontext* ctx) { return &ctx->params; }

void vrBeginFrame(VRcontext* ctx, float windowWidth, float windowHeight, float devicePixelRatio)
{
  ctx->nstates = 1;
  vrReset(ctx);
  setDevicePixelRatio(ctx, devicePixelRatio);
  if (ctx->params.renderViewport)
    ctx->params.renderViewport(ctx->params.userPtr, windowWidth, windowHeight, devicePixelRatio);
  ctx->drawCallCount = 0;
  ctx->fillTriCount = 0;
  ctx->strokeTriCount = 0;
  ctx->textTriCount = 0;
}

void vrCancelFrame(VRcontext* ctx)
{
  if (ctx->params.renderCancel) ctx->params.renderCancel(ctx->params.userPtr);
}

void vrEndFrame(VRcontext* ctx)
{
  if (ctx->params.renderFlush) ctx->params.renderFlush(ctx->params.userPtr);
  if (ctx->fontImageIdx == 0) return;
  const int current = ctx->fontImages[ctx->fontImageIdx];
  if (current == 0) return;

  // The atlas grew during the frame: textures smaller than the current one are retired. Each slot is read once
  // and cleared as it is handled, so a retired handle is deleted exactly once and none is left behind.
  int iw = 0, ih = 0;
  vrImageSize(ctx, current, &iw, &ih);
  int kept[VR_MAX_FONTIMAGES] = {};
  int nkept = 0;
  for (int i = 0; i < ctx->fontImageIdx; i++)
  {
    const int img = ctx->fontImages[i];
    ctx->fontImages[i] = 0;
    if (img == 0) continue;
    int nw = 0, nh = 0;
    vrImageSize(ctx, img, &nw, &nh);
    if (nw < iw || nh < ih)
      vrDeleteImage(ctx, img);
    else
      kept[nkept++] = img;
  }
  for (int i = ctx->fontImageIdx; i < VR_MAX_FONTIMAGES; i++) ctx->fontImages[i] = 0;

  // Current first; the first kept one goes after the other kept ones.
  ctx->fontImages[0] = current;
  for (int i = 1; i < nkept; i++) ctx->fontImages[i] = kept[i];
  if (nkept > 0) ctx->fontImages[nkept] = kept[0];
  ctx->fontImageIdx = 0;
}

// ---------------------------------------------------------------------------------------------------------------
// State stack and setters
// ---------------------------------------------------------------------------------------------------------------
void vrSave(VRcontext* ctx)
{
  if (ctx->nstates >= VR_MAX_STATES) return;
  if (ctx->nstates > 0) std::memcpy(&ctx->states[ctx->nstates], &ctx->states[ctx->nstates - 1], sizeof(VRstate));
  ctx->nstates++;
}

void vrRestore(VRcontext* ctx)
{
  if (ctx->nstates <= 1) return;
  ctx->nstates--;
}

void vrReset(VRcontext* ctx)
{
  VRstate* state = vr__getState(ctx);
  std::memset(state, 0, sizeof(*state));
  vr__setPaintColor(&state->fill, vrRGBA(255, 255, 255, 255));
  vr__setPaintColor(&state->stroke, vrRGBA(0, 0, 0, 255));
  state->compositeOperation = compositeOperationState(VR_SOURCE_OVER);
  state->shapeAntiAlias = 1;
  state->strokeWidth = 1.0f;
  state->miterLimit = 10.0f;
  state->lineCap = VR_BUTT;
  state->lineJoin = VR_MITER;
  state->alpha = 1.0f;
  vrTransformIdentity(state->xform);
  state->scissor.extent[0] = -1.0f;
  state->scissor.extent[1] = -1.0f;
  state->fontSize = 16.0f;
  state->letterSpacing = 0.0f;
  state->lineHeight = 1.0f;
  state->fontBlur = 0.0f;
  state->textAlign = VR_ALIGN_LEFT | VR_ALIGN_BASELINE;
  state->fontId = 0;
}

void vrShapeAntiAlias(VRcontext* ctx, int enabled) { vr__getState(ctx)->shapeAntiAlias = enabled; }
void vrStrokeWidth(VRcontext* ctx, float width) { vr__getState(ctx)->strokeWidth = width; }
void vrMiterLimit(VRcontext* ctx, float limit) { vr__getState(ctx)->miterLimit = limit; }
void vrLineCap(VRcontext* ctx, int cap) { vr__getState(ctx)->lineCap = cap; }
void vrLineJoin(VRcontext* ctx, int join) { vr__getState(ctx)->lineJoin = join; }
void vrGlobalAlpha(VRcontext* ctx, float alpha) { vr__getState(ctx)->alpha = alpha; }

void vrGlobalCompositeOperation(VRcontext* ctx, int op)
{
  vr__getState(ctx)->compositeOperation = compositeOperationState(op);
}

void vrGlobalCompositeBlendFunc(VRcontext* ctx, int sfactor, int dfactor)
{
  vrGlobalCompositeBlendFuncSeparate(ctx, sfactor, dfactor, sfactor, dfactor);
}

void vrGlobalCompositeBlendFuncSeparate(VRcontext* ctx, int srcRGB, int dstRGB, int srcAlpha, int dstAlpha)
{
  vr__getState(ctx)->compositeOperation = VRcompositeOperationState{srcRGB, dstRGB, srcAlpha, dstAlpha};
}

void vrStrokeColor(VRcontext* ctx, VRcolor color) { vr__setPaintColor(&vr__getState(ctx)->stroke, color); }
void vrFillColor(VRcontext* ctx, VRcolor color) { vr__setPaintColor(&vr__getState(ctx)->fill, color); }

void vrStrokePaint(VRcontext* ctx, VRpaint paint)
{
  VRstate* state = vr__getState(ctx);
  state->stroke = paint;
  vrTransformMultiply(state->stroke.xform, state->xform);
}

void vrFillPaint(VRcontext* ctx, VRpaint paint)
{
  VRstate* state = vr__getState(ctx);
  state->fill = paint;
  vrTransformMultiply(state->fill.xform, state->xform);
}

// ---------------------------------------------------------------------------------------------------------------
// Transforms
// ---------------------------------------------------------------------------------------------------------------
void vrTransformIdentity(float* t)
{
  t[0] = 1.0f; t[1] = 0.0f;
  t[2] = 0.0f; t[3] = 1.0f;
  t[4] = 0.0f; t[5] = 0.0f;
}

void vrTransformTranslate(float* t, float tx, float ty)
{
  vrTransformIdentity(t);
  t[4] = tx;
  t[5] = ty;
}

void vrTransformScale(float* t, float sx, float sy)
{
  vrTransformIdentity(t);
  t[0] = sx;
  t[3] = sy;
}

void vrTransformRotate(float* t, float angle)
{
  const float cs = std::cos(angle), sn = std::sin(angle);
  t[0] = cs; t[1] = sn;
  t[2] = -sn; t[3] = cs;
  t[4] = 0.0f; t[5] = 0.0f;
}

void vrTransformSkewX(float* t, float angle)
{
  vrTransformIdentity(t);
  t[2] = std::tan(angle);
}

void vrTransformSkewY(float* t, float angle)
{
  vrTransformIdentity(t);
  t[1] = std::tan(angle);
}

void vrTransformMultiply(float* t, const float* s)
{
  const float t0 = t[0] * s[0] + t[1] * s[2];
  const float t2 = t[2] * s[0] + t[3] * s[2];
  const float t4 = t[4] * s[0] + t[5] * s[2] + s[4];
  t[1] = t[0] * s[1] + t[1] * s[3];
  t[3] = t[2] * s[1] + t[3] * s[3];
  t[5] = t[4] * s[1] + t[5] * s[3] + s[5];
  t[0] = t0;
  t[2] = t2;
  t[4] = t4;
}

void vrTransformPremultiply(float* t, const float* s)
{
  float s2[6];
  std::memcpy(s2, s, sizeof(float) * 6);
  vrTransformMultiply(s2, t);
  std::memcpy(t, s2, sizeof(float) * 6);
}

int vrTransformInverse(float* inv, const float* t)
{
  const double det = static_cast<double>(t[0]) * t[3] - static_cast<double>(t[2]) * t[1];
  if (det > -1e-6 && det < 1e-6)
  {
    vrTransformIdentity(inv);
    return 0;
  }
  const double invdet = 1.0 / det;
  inv[0] = static_cast<float>(t[3] * invdet);
  inv[2] = static_cast<float>(-t[2] * invdet);
  inv[4] = static_cast<float>((static_cast<double>(t[2]) * t[5] - static_cast<double>(t[3]) * t[4]) * invdet);
  inv[1] = static_cast<float>(-t[1] * invdet);
  inv[3] = static_cast<float>(t[0] * invdet);
  inv[5] = static_cast<float>((static_cast<double>(t[1]) * t[4] - static_cast<double>(t[0]) * t[5]) * invdet);
  return 1;
}

void vrTransformPoint(float* dx, float* dy, const float* t, float sx, float sy)
{
  *dx = sx * t[0] + sy * t[2] + t[4];
  *dy = sx * t[1] + sy * t[3] + t[5];
}

float vrDegToRad(float deg) { return deg / 180.0f * kPi; }
float vrRadToDeg(float rad) { return rad / kPi * 180.0f; }

void vrResetTransform(VRcontext* ctx) { vrTransformIdentity(vr__getState(ctx)->xform); }

void vrTransform(VRcontext* ctx, float a, float b, float c, float d, float e, float f)
{
  const float t[6] = {a, b, c, d, e, f};
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrTranslate(VRcontext* ctx, float x, float y)
{
  float t[6];
  vrTransformTranslate(t, x, y);
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrRotate(VRcontext* ctx, float angle)
{
  float t[6];
  vrTransformRotate(t, angle);
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrSkewX(VRcontext* ctx, float angle)
{
  float t[6];
  vrTransformSkewX(t, angle);
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrSkewY(VRcontext* ctx, float angle)
{
  float t[6];
  vrTransformSkewY(t, angle);
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrScale(VRcontext* ctx, float x, float y)
{
  float t[6];
  vrTransformScale(t, x, y);
  vrTransformPremultiply(vr__getState(ctx)->xform, t);
}

void vrCurrentTransform(VRcontext* ctx, float* xform)
{
  if (!xform) return;
  std::memcpy(xform, vr__getState(ctx)->xform, sizeof(float) * 6);
}

// ---------------------------------------------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------------------------------------------
VRcolor vrRGB(unsigned char r, unsigned char g, unsigned char b) { return vrRGBA(r, g, b, 255); }
VRcolor vrRGBf(float r, float g, float b) { return vrRGBAf(r, g, b, 1.0f); }

VRcolor vrRGBA(unsigned char r, unsigned char g, unsigned char b, unsigned char a)
{
  return vrRGBAf(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f);
}

VRcolor vrRGBAf(float r, float g, float b, float a)
{
  VRcolor c;
  c.r = r;
  c.g = g;
  c.b = b;
  c.a = a;
  return c;
}

VRcolor vrTransRGBA(VRcolor c, unsigned char a)
{
  c.a = a / 255.0f;
  return c;
}

VRcolor vrTransRGBAf(VRcolor c, float a)
{
  c.a = a;
  return c;
}

VRcolor vrLerpRGBA(VRcolor c0, VRcolor c1, float u)
{
  u = clampf(u, 0.0f, 1.0f);
  const float oneminu = 1.0f - u;
  VRcolor cint;
  for (int i = 0; i < 4; i++) cint.rgba[i] = c0.rgba[i] * oneminu + c1.rgba[i] * u;
  return cint;
}

VRcolor vrHSL(float h, float s, float l) { return vrHSLA(h, s, l, 255); }

VRcolor vrHSLA(float h, float s, float l, unsigned char a)
{
  h = std::fmod(h, 1.0f);
  if (h < 0.0f) h += 1.0f;
  s = clampf(s, 0.0f, 1.0f);
  l = clampf(l, 0.0f, 1.0f);
  const float m2 = l <= 0.5f ? (l * (1 + s)) : (l + s - l * s);
  const float m1 = 2 * l - m2;
  VRcolor col;
  col.r = clampf(hue(h + 1.0f / 3.0f, m1, m2), 0.0f, 1.0f);
  col.g = clampf(hue(h, m1, m2), 0.0f, 1.0f);
  col.b = clampf(hue(h - 1.0f / 3.0f, m1, m2), 0.0f, 1.0f);
  col.a = a / 255.0f;
  return col;
}

// ---------------------------------------------------------------------------------------------------------------
// Paints
// ---------------------------------------------------------------------------------------------------------------
VRpaint vrLinearGradient(VRcontext*, float sx, float sy, float ex, float ey, VRcolor icol, VRcolor ocol)
{
  VRpaint p;
  std::memset(&p, 0, sizeof(p));
  constexpr float large = 1e5f;
  float dx = ex - sx, dy = ey - sy;
  const float d = std::sqrt(dx * dx + dy * dy);
  if (d > 0.0001f)
  {
    dx /= d;
    dy /= d;
  }
  else
  {
    dx = 0;
    dy = 1;
  }
  p.xform[0] = dy;
  p.xform[1] = -dx;
  p.xform[2] = dx;
  p.xform[3] = dy;
  p.xform[4] = sx - dx * large;
  p.xform[5] = sy - dy * large;
  p.extent[0] = large;
  p.extent[1] = large + d * 0.5f;
  p.radius = 0.0f;
  p.feather = std::fmax(1.0f, d);
  p.innerColor = icol;
  p.outerColor = ocol;
  return p;
}

VRpaint vrBoxGradient(VRcontext*, float x, float y, float w, float h, float r, float f, VRcolor icol, VRcolor ocol)
{
  VRpaint p;
  std::memset(&p, 0, sizeof(p));
  vrTransformIdentity(p.xform);
  p.xform[4] = x + w * 0.5f;
  p.xform[5] = y + h * 0.5f;
  p.extent[0] = w * 0.5f;
  p.extent[1] = h * 0.5f;
  p.radius = r;
  p.feather = std::fmax(1.0f, f);
  p.innerColor = icol;
  p.outerColor = ocol;
  return p;
}

VRpaint vrRadialGradient(VRcontext*, float cx, float cy, float inr, float outr, VRcolor icol, VRcolor ocol)
{
  VRpaint p;
  std::memset(&p, 0, sizeof(p));
  const float r = (inr + outr) * 0.5f;
  const float f = outr - inr;
  vrTransformIdentity(p.xform);
  p.xform[4] = cx;
  p.xform[5] = cy;
  p.extent[0] = r;
  p.extent[1] = r;
  p.radius = r;
  p.feather = std::fmax(1.0f, f);
  p.innerColor = icol;
  p.outerColor = ocol;
  return p;
}

VRpaint vrImagePattern(VRcontext*, float cx, float cy, float w, float h, float angle, int image, float alpha)
{
  VRpaint p;
  std::memset(&p, 0, sizeof(p));
  vrTransformRotate(p.xform, angle);
  p.xform[4] = cx;
  p.xform[5] = cy;
  p.extent[0] = w;
  p.extent[1] = h;
  p.image = image;
  p.innerColor = p.outerColor = vrRGBAf(1, 1, 1, alpha);
  return p;
}

// ---------------------------------------------------------------------------------------------------------------
// Scissor
// ---------------------------------------------------------------------------------------------------------------
void vrScissor(VRcontext* ctx, float x, float y, float w, float h)
{
  VRstate* state = vr__getState(ctx);
  w = std::fmax(0.0f, w);
  h = std::fmax(0.0f, h);
  vrTransformIdentity(state->scissor.xform);
  state->scissor.xform[4] = x + w * 0.5f;
  state->scissor.xform[5] = y + h * 0.5f;
  vrTransformMultiply(state->scissor.xform, state->xform);
  state->scissor.extent[0] = w * 0.5f;
  state->scissor.extent[1] = h * 0.5f;
}

void vrIntersectScissor(VRcontext* ctx, float x, float y, float w, float h)
{
  VRstate* state = vr__getState(ctx);
  if (state->scissor.extent[0] < 0)
  {
    vrScissor(ctx, x, y, w, h);
    return;
  }
  float pxform[6], invxorm[6];
  std::memcpy(pxform, state->scissor.xform, sizeof(float) * 6);
  const float ex = state->scissor.extent[0];
  const float ey = state->scissor.extent[1];
  vrTransformInverse(invxorm, state->xform);
  vrTransformMultiply(pxform, invxorm);
  const float tex = ex * std::fabs(pxform[0]) + ey * std::fabs(pxform[2]);
  const float tey = ex * std::fabs(pxform[1]) + ey * std::fabs(pxform[3]);

  const float ax = pxform[4] - tex, ay = pxform[5] - tey, aw = tex * 2, ah = tey * 2;
  const float minx = std::fmax(ax, x);
  const float miny = std::fmax(ay, y);
  const float maxx = std::fmin(ax + aw, x + w);
  const float maxy = std::fmin(ay + ah, y + h);
  vrScissor(ctx, minx, miny, std::fmax(0.0f, maxx - minx), std::fmax(0.0f, maxy - miny));
}

void vrResetScissor(VRcontext* ctx)
{
  VRstate* state = vr__getState(ctx);
  std::memset(state->scissor.xform, 0, sizeof(state->scissor.xform));
  state->scissor.extent[0] = -1.0f;
  state->scissor.extent[1] = -1.0f;
}

// Texture sampling and the built-in shaders: the vector back end's vertex function and its two fragment
// functions (with and without edge antialiasing), reading its vertex, view-size and uniform records.

#include "Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---------------------------------------------------------------------------------------------------------------
// Sampling
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Texel index along one axis for an address mode; -1 when the mode answers zero there.
inline int64_t Address(int64_t i, int64_t n, MTLSamplerAddressMode mode)
{
  switch (mode)
  {
  case MTLSamplerAddressModeRepeat:
  {
    const int64_t m = i % n;
    return m < 0 ? m + n : m;
  }
  case MTLSamplerAddressModeMirrorRepeat:
  {
    int64_t m = i % (2 * n);
    if (m < 0) m += 2 * n;
    return m < n ? m : 2 * n - 1 - m;
  }
  case MTLSamplerAddressModeMirrorClampToEdge:
  {
    const int64_t m = i < 0 ? -1 - i : i;
    return std::min(m, n - 1);
  }
  case MTLSamplerAddressModeClampToZero:
    return i < 0 || i >= n ? -1 : i;
  default:
    return std::clamp<int64_t>(i, 0, n - 1);
  }
}

// Formats as the samplers tell them apart.
enum TexelKind
{
  kTexelRGBA,
  kTexelBGRA,
  kTexelR,
  kTexelA,
  kTexelNone
};

inline TexelKind KindOf(MTLPixelFormat format)
{
  switch (format)
  {
  case MTLPixelFormatRGBA8Unorm:
  case MTLPixelFormatRGBA8Unorm_sRGB: return kTexelRGBA;
  case MTLPixelFormatBGRA8Unorm:
  case MTLPixelFormatBGRA8Unorm_sRGB: return kTexelBGRA;
  case MTLPixelFormatR8Unorm: return kTexelR;
  case MTLPixelFormatA8Unorm: return kTexelA;
  default: return kTexelNone;
  }
}

// One level's texels as a sampler reads them.
struct LevelView
{
  const uint8_t* bytes;
  size_t width;
  size_t bpp;
  int64_t w, h;
};

// One texel as RGBA floats; (0, 0, 0, 0) for an address mode's "outside" (-1).
template <TexelKind K>
inline void Texel(const LevelView& lv, int64_t x, int64_t y, float out[4])
{
  if (x < 0 || y < 0)
  {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  const uint8_t* p = lv.bytes + ((size_t)y * lv.width + (size_t)x) * lv.bpp;
  constexpr float k = 1.0f / 255.0f;
  if constexpr (K == kTexelRGBA)
    out[0] = p[0] * k, out[1] = p[1] * k, out[2] = p[2] * k, out[3] = p[3] * k;
  else if constexpr (K == kTexelBGRA)
    out[0] = p[2] * k, out[1] = p[1] * k, out[2] = p[0] * k, out[3] = p[3] * k;
  else if constexpr (K == kTexelR)
    out[0] = p[0] * k, out[1] = 0, out[2] = 0, out[3] = 1;
  else if constexpr (K == kTexelA)
    out[0] = 0, out[1] = 0, out[2] = 0, out[3] = p[0] * k;
  else
    out[0] = out[1] = out[2] = out[3] = 0;
}

// Coordinates beyond ±2^30 texels are pinned there (int64 headroom, and a texel that far is no different).
inline double Pin(double v) { return std::clamp(v, -1073741824.0, 1073741824.0); }

// floor() of a pinned (finite, within ±2^30) value without a library call.
inline double FloorPinned(double v)
{
  const double t = (double)(int64_t)v;
  return t > v ? t - 1.0 : t;
}

template <TexelKind K>
void SampleLevelOf(const LevelView& lv, bool linear, MTLSamplerAddressMode sm, MTLSamplerAddressMode tm, float u,
                   float v, float out[4])
{
  const int64_t w = lv.w, h = lv.h;
  if (!linear)
  {
    const int64_t x = Address((int64_t)FloorPinned(Pin((double)u * w)), w, sm);
    const int64_t y = Address((int64_t)FloorPinned(Pin((double)v * h)), h, tm);
    Texel<K>(lv, x, y, out);
    return;
  }
  const double fx = Pin((double)u * w - 0.5), fy = Pin((double)v * h - 0.5);
  const double x0f = FloorPinned(fx), y0f = FloorPinned(fy);
  // Weights in steps of 1/256, as filtering hardware keeps them.
  float ax = (float)(int)((float)(fx - x0f) * 256.0f + 0.5f) * (1.0f / 256.0f);
  float ay = (float)(int)((float)(fy - y0f) * 256.0f + 0.5f) * (1.0f / 256.0f);
  int64_t x0 = (int64_t)x0f, y0 = (int64_t)y0f;
  if (ax == 1.0f) ax = 0.0f, ++x0;
  if (ay == 1.0f) ay = 0.0f, ++y0;
  const int64_t xa = Address(x0, w, sm), ya = Address(y0, h, tm);
  if (ax == 0.0f && ay == 0.0f)
  {
    // On a texel centre: that texel alone.
    Texel<K>(lv, xa, ya, out);
    return;
  }
  const int64_t xb = Address(x0 + 1, w, sm), yb = Address(y0 + 1, h, tm);
  float t00[4], t10[4], t01[4], t11[4];
  Texel<K>(lv, xa, ya, t00);
  Texel<K>(lv, xb, ya, t10);
  Texel<K>(lv, xa, yb, t01);
  Texel<K>(lv, xb, yb, t11);
  for (int k = 0; k < 4; ++k)
  {
    const float top = t00[k] + (t10[k] - t00[k]) * ax;
    const float bottom = t01[k] + (t11[k] - t01[k]) * ax;
    out[k] = top + (bottom - top) * ay;
  }
}

using LevelSampler = void (*)(const LevelView&, bool, MTLSamplerAddressMode, MTLSamplerAddressMode, float, float,
                              float*);

LevelSampler SamplerFor(TexelKind kind)
{
  switch (kind)
  {
  case kTexelRGBA: return SampleLevelOf<kTexelRGBA>;
  case kTexelBGRA: return SampleLevelOf<kTexelBGRA>;
  case kTexelR: return SampleLevelOf<kTexelR>;
  case kTexelA: return SampleLevelOf<kTexelA>;
  default: return SampleLevelOf<kTexelNone>;
  }
}

LevelView ViewOf(const MTLTexture* t, NSUInteger level)
{
  const MTLTexture::Level& lv = t->level(level);
  return {lv.bytes.data(), lv.width, t->bytesPerPixel(), (int64_t)lv.width, (int64_t)lv.height};
}

void SampleLevel(const MTLTexture* t, NSUInteger level, bool linear, MTLSamplerAddressMode sm,
                 MTLSamplerAddressMode tm, float u, float v, float out[4])
{
  SamplerFor(KindOf(t->pixelFormat()))(ViewOf(t, level), linear, sm, tm, u, v, out);
}

} // namespace

void MTLSampleTexture(const MTLTexture* texture, const MTLSamplerState* sampler, float u, float v, float dudx,
                      float dvdx, float dudy, float dvdy, float out[4])
{
  out[0] = out[1] = out[2] = out[3] = 0;
  if (!texture || texture->mipmapLevelCount() == 0 || texture->width() == 0 || texture->height() == 0) return;
  if (!std::isfinite(u) || !std::isfinite(v)) return;
  MTLSamplerMinMagFilter minF = MTLSamplerMinMagFilterNearest, magF = MTLSamplerMinMagFilterNearest;
  MTLSamplerMipFilter mipF = MTLSamplerMipFilterNotMipmapped;
  MTLSamplerAddressMode sm = MTLSamplerAddressModeClampToEdge, tm = MTLSamplerAddressModeClampToEdge;
  bool normalized = true;
  if (sampler)
  {
    minF = sampler->minFilter, magF = sampler->magFilter, mipF = sampler->mipFilter;
    sm = sampler->sAddressMode, tm = sampler->tAddressMode;
    normalized = sampler->normalizedCoordinates != NO;
  }
  const double w = (double)texture->width(), h = (double)texture->height();
  // One level and one filter: the level of detail cannot change the result.
  if (texture->mipmapLevelCount() == 1 && minF == magF)
  {
    if (!normalized) u = (float)(u / w), v = (float)(v / h);
    SampleLevel(texture, 0, magF == MTLSamplerMinMagFilterLinear, sm, tm, u, v, out);
    return;
  }
  if (!normalized)
  {
    u = (float)(u / w), v = (float)(v / h);
    dudx = (float)(dudx / w), dvdx = (float)(dvdx / w), dudy = (float)(dudy / h), dvdy = (float)(dvdy / h);
  }
  // Level of detail from the larger footprint axis, in level-0 texels.
  const double fx = std::hypot(dudx * w, dvdx * h), fy = std::hypot(dudy * w, dvdy * h);
  const double footprint = std::max(fx, fy);
  const double lod = footprint > 0 && std::isfinite(footprint) ? std::log2(footprint) : 0.0;
  if (lod <= 0.0)
  {
    SampleLevel(texture, 0, magF == MTLSamplerMinMagFilterLinear, sm, tm, u, v, out);
    return;
  }
  const bool linear = minF == MTLSamplerMinMagFilterLinear;
  const double maxLevel = (double)(texture->mipmapLevelCount() - 1);
  if (mipF == MTLSamplerMipFilterNotMipmapped || maxLevel == 0)
  {
    SampleLevel(texture, 0, linear, sm, tm, u, v, out);
    return;
  }
  const double l = std::min(lod, maxLevel);
  if (mipF == MTLSamplerMipFilterNearest)
  {
    SampleLevel(texture, (NSUInteger)std::floor(l + 0.5), linear, sm, tm, u, v, out);
    return;
  }
  const NSUInteger l0 = (NSUInteger)std::floor(l);
  const NSUInteger l1 = std::min<NSUInteger>(l0 + 1, (NSUInteger)maxLevel);
  const float f = (float)(l - (double)l0);
  float a[4], b[4];
  SampleLevel(texture, l0, linear, sm, tm, u, v, a);
  SampleLevel(texture, l1, linear, sm, tm, u, v, b);
  for (int k = 0; k < 4; ++k) out[k] = a[k] + (b[k] - a[k]) * f;
}

// ---------------------------------------------------------------------------------------------------------------
// The vector back end's shaders
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Vertex buffer 0: records of four floats (x, y, u, v) in view units; vertex buffer 1: the view size (two floats).
// Varyings: 0-1 the position in view units, 2-3 the texture coordinate.
void VectorVertex(const MTLVertexInput& in, const MTLShaderResources& res, MTLVertexOutput& out)
{
  float view[2] = {0, 0};
  const MTLShaderBuffer& vb = res.vertexBuffers[1];
  if (vb.bytes && vb.length >= sizeof view) std::memcpy(view, vb.bytes, sizeof view);
  const float x = in.attributes[0][0], y = in.attributes[0][1];
  // A zero view size gives non-finite positions: the triangle is dropped.
  out.position[0] = 2.0f * x / view[0] - 1.0f;
  out.position[1] = 1.0f - 2.0f * y / view[1];
  out.position[2] = 0.0f;
  out.position[3] = 1.0f;
  out.varyings[0] = x, out.varyings[1] = y;
  out.varyings[2] = in.attributes[1][0], out.varyings[3] = in.attributes[1][1];
}

// The fragment-uniform record, 176 bytes at the bound offset.
struct FragUniforms
{
  float scissorMat[12]; // three columns of four floats
  float paintMat[12];
  float innerCol[4];
  float outerCol[4];
  float scissorExt[2];
  float scissorScale[2];
  float extent[2];
  float radius;
  float feather;
  float strokeMult;
  float strokeThr;
  int32_t texType;
  int32_t type;
};
static_assert(sizeof(FragUniforms) == 176);
static_assert(offsetof(FragUniforms, innerCol) == 96 && offsetof(FragUniforms, scissorExt) == 128 &&
              offsetof(FragUniforms, texType) == 168 && offsetof(FragUniforms, type) == 172);

inline void Transform(const float m[12], float x, float y, float& ox, float& oy)
{
  ox = m[0] * x + m[4] * y + m[8];
  oy = m[1] * x + m[5] * y + m[9];
}

inline void TransformVector(const float m[12], float x, float y, float& ox, float& oy)
{
  ox = m[0] * x + m[4] * y;
  oy = m[1] * x + m[5] * y;
}

// Signed distance from pt to a box of half-size ext whose corners are rounded by rad.
inline float RoundedBoxDistance(float px, float py, float ex, float ey, float rad)
{
  const float hx = ex - rad, hy = ey - rad;
  const float dx = std::fabs(px) - hx, dy = std::fabs(py) - hy;
  const float inside = std::min(std::max(dx, dy), 0.0f);
  const float ox = std::max(dx, 0.0f), oy = std::max(dy, 0.0f);
  return inside + std::sqrt(ox * ox + oy * oy) - rad;
}

inline float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

// 1 inside the scissor, falling to 0 over one fringe width outside it.
inline float ScissorMask(const FragUniforms& u, float x, float y)
{
  float sx, sy;
  Transform(u.scissorMat, x, y, sx, sy);
  const float dx = (std::fabs(sx) - u.scissorExt[0]) * u.scissorScale[0];
  const float dy = (std::fabs(sy) - u.scissorExt[1]) * u.scissorScale[1];
  return Clamp01(0.5f - dx) * Clamp01(0.5f - dy);
}

// Coverage across a stroke or fringe: u runs 0…1 from one side to the other, v ramps in at the ends.
inline float StrokeMask(const FragUniforms& u, float tu, float tv)
{
  return std::min(1.0f, (1.0f - std::fabs(tu * 2.0f - 1.0f)) * u.strokeMult) * std::min(1.0f, tv);
}

inline void TexelAsPremultiplied(const FragUniforms& u, float c[4])
{
  if (u.texType == 1)
    c[0] *= c[3], c[1] *= c[3], c[2] *= c[3];
  else if (u.texType == 2)
    c[1] = c[2] = c[3] = c[0];
}

bool VectorFragment(const MTLFragmentInput& in, const MTLShaderResources& res, float color[4], bool antialias)
{
  const MTLShaderBuffer& ub = res.fragmentBuffers[0];
  if (!ub.bytes || ub.length < sizeof(FragUniforms)) return false;
  // Records sit at 256-byte offsets in the buffer: read in place when aligned, else from a copy.
  FragUniforms copy;
  const FragUniforms* record = reinterpret_cast<const FragUniforms*>(ub.bytes);
  if (reinterpret_cast<uintptr_t>(ub.bytes) % alignof(FragUniforms) != 0)
  {
    std::memcpy(&copy, ub.bytes, sizeof copy);
    record = &copy;
  }
  const FragUniforms& u = *record;
  const float px = in.varyings[0], py = in.varyings[1], tu = in.varyings[2], tv = in.varyings[3];

  const float scissor = ScissorMask(u, px, py);
  float strokeAlpha = 1.0f;
  if (antialias)
  {
    strokeAlpha = StrokeMask(u, tu, tv);
    if (strokeAlpha < u.strokeThr) return false;
  }

  if (u.type == 0 && std::memcmp(u.innerCol, u.outerCol, sizeof u.innerCol) == 0)
  {
    // A solid colour: the gradient's position cannot change it.
    const float k = strokeAlpha * scissor;
    for (int i = 0; i < 4; ++i) color[i] = u.innerCol[i] * k;
    return true;
  }
  if (u.type == 0) // gradient
  {
    float gx, gy;
    Transform(u.paintMat, px, py, gx, gy);
    const float dist = RoundedBoxDistance(gx, gy, u.extent[0], u.extent[1], u.radius);
    const float t = u.feather > 0.0f ? Clamp01((dist + u.feather * 0.5f) / u.feather) : (dist > 0.0f ? 1.0f : 0.0f);
    const float k = strokeAlpha * scissor;
    for (int i = 0; i < 4; ++i) color[i] = (u.innerCol[i] + (u.outerCol[i] - u.innerCol[i]) * t) * k;
    return true;
  }
  if (u.type == 1) // image pattern
  {
    float ix, iy, dxx, dxy, dyx, dyy;
    Transform(u.paintMat, px, py, ix, iy);
    TransformVector(u.paintMat, in.ddx[0], in.ddx[1], dxx, dxy);
    TransformVector(u.paintMat, in.ddy[0], in.ddy[1], dyx, dyy);
    const float ex = u.extent[0], ey = u.extent[1];
    float c[4];
    MTLSampleTexture(res.textures[0], res.samplers[0], ix / ex, iy / ey, dxx / ex, dxy / ey, dyx / ex, dyy / ey, c);
    TexelAsPremultiplied(u, c);
    const float k = strokeAlpha * scissor;
    for (int i = 0; i < 4; ++i) color[i] = c[i] * u.innerCol[i] * k;
    return true;
  }
  // Textured triangles (glyphs from the font atlas).
  float c[4];
  MTLSampleTexture(res.textures[0], res.samplers[0], tu, tv, in.ddx[2], in.ddx[3], in.ddy[2], in.ddy[3], c);
  TexelAsPremultiplied(u, c);
  for (int i = 0; i < 4; ++i) color[i] = c[i] * scissor * u.innerCol[i];
  return true;
}

bool VectorFragmentPlain(const MTLFragmentInput& in, const MTLShaderResources& res, float color[4])
{
  return VectorFragment(in, res, color, false);
}

bool VectorFragmentAA(const MTLFragmentInput& in, const MTLShaderResources& res, float color[4])
{
  return VectorFragment(in, res, color, true);
}

// ---- The same shaders over spans, with their uniforms read once per draw ----

// A texture and sampler as one draw uses them: one level and one filter sample without the per-fragment
// choices; anything else goes through MTLSampleTexture.
struct DrawSampler
{
  const MTLTexture* texture;
  const MTLSamplerState* sampler;
  bool direct;
  bool normalized, linear;
  MTLSamplerAddressMode sm, tm;
  double w, h;
  LevelView view;
  LevelSampler sample;
  bool exact;     // a coordinate on a texel centre may be read without filtering
  float wf, hf;
};

DrawSampler PrepareSampler(const MTLTexture* texture, const MTLSamplerState* sampler)
{
  DrawSampler s{};
  s.texture = texture, s.sampler = sampler;
  if (!texture || texture->mipmapLevelCount() != 1 || texture->width() == 0 || texture->height() == 0) return s;
  MTLSamplerMinMagFilter minF = MTLSamplerMinMagFilterNearest, magF = MTLSamplerMinMagFilterNearest;
  s.sm = s.tm = MTLSamplerAddressModeClampToEdge;
  s.normalized = true;
  if (sampler)
  {
    minF = sampler->minFilter, magF = sampler->magFilter;
    s.sm = sampler->sAddressMode, s.tm = sampler->tAddressMode;
    s.normalized = sampler->normalizedCoordinates != NO;
  }
  if (minF != magF) return s;
  s.linear = magF == MTLSamplerMinMagFilterLinear;
  s.w = (double)texture->width(), s.h = (double)texture->height();
  s.view = ViewOf(texture, 0);
  s.sample = SamplerFor(KindOf(texture->pixelFormat()));
  s.direct = true;
  // Float positions stay well inside the snapping tolerance below up to this size.
  s.exact = s.normalized && texture->width() <= 8192 && texture->height() <= 8192;
  s.wf = (float)s.w, s.hf = (float)s.h;
  return s;
}

// Texels land on pixels for most bitmap draws: a coordinate within 1/1024 texel of a texel centre is that
// texel for the nearest filter and for the linear one alike (its weights snap to 1/256), so it is read
// directly. False: not that case, nothing written.
template <TexelKind K>
inline bool SampleOnTexelCentre(const DrawSampler& s, float u, float v, float out[4])
{
  constexpr float kTolerance = 1.0f / 1024.0f;
  const float fx = u * s.wf - 0.5f, fy = v * s.hf - 0.5f;
  // Also false for non-finite coordinates: every comparison with NaN fails.
  if (!(fx > -0.25f && fy > -0.25f && fx < s.wf - 0.75f && fy < s.hf - 0.75f)) return false;
  const int xi = (int)(fx + 0.5f), yi = (int)(fy + 0.5f);
  if (!(std::fabs(fx - (float)xi) < kTolerance && std::fabs(fy - (float)yi) < kTolerance)) return false;
  Texel<K>(s.view, xi, yi, out);
  return true;
}

// The same steps as MTLSampleTexture takes for a direct sampler; TK: the texture's kind when known here.
template <TexelKind TK = kTexelNone, bool Known = false>
inline void Sample(const DrawSampler& s, float u, float v, float dudx, float dvdx, float dudy, float dvdy, float out[4])
{
  if (!s.direct)
  {
    MTLSampleTexture(s.texture, s.sampler, u, v, dudx, dvdx, dudy, dvdy, out);
    return;
  }
  if (!std::isfinite(u) || !std::isfinite(v))
  {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  if (!s.normalized) u = (float)(u / s.w), v = (float)(v / s.h);
  if constexpr (Known)
  {
    if (s.exact && SampleOnTexelCentre<TK>(s, u, v, out)) return;
    SampleLevelOf<TK>(s.view, s.linear, s.sm, s.tm, u, v, out);
  }
  else
    s.sample(s.view, s.linear, s.sm, s.tm, u, v, out);
}

enum PaintKind
{
  kPaintSolid,
  kPaintGradient,
  kPaintImage,
  kPaintTextured
};

struct PreparedVector
{
  FragUniforms u;
  bool constScissor; // the scissor transform ignores the position: its mask is one value
  float scissor;
  DrawSampler tex;
};
static_assert(sizeof(PreparedVector) <= sizeof(MTLPreparedFragment::data));
static_assert(std::is_trivially_copyable_v<PreparedVector>);

template <bool AA, PaintKind K, TexelKind TK = kTexelNone, bool Known = false>
void VectorSpan(const MTLPreparedFragment& prepared, const MTLShaderResources&, const MTLFragmentSpan& span,
                float* rgba, uint8_t* keep)
{
  const PreparedVector& p = *reinterpret_cast<const PreparedVector*>(prepared.data);
  const FragUniforms& u = p.u;
  float dxx = 0, dxy = 0, dyx = 0, dyy = 0;
  if constexpr (K == kPaintImage)
  {
    TransformVector(u.paintMat, span.ddx[0], span.ddx[1], dxx, dxy);
    TransformVector(u.paintMat, span.ddy[0], span.ddy[1], dyx, dyy);
  }
  int j = 0;
#if defined(__SSE2__)
  if constexpr (K == kPaintSolid)
    if (p.constScissor)
    {
      // Four fragments at a time with the scalar steps lane by lane (minps keeps its second operand for NaN,
      // as std::min(1, x) keeps 1); a group with a position that is not finite is left to the loop below.
      const __m128 one = _mm_set1_ps(1.0f), two = _mm_set1_ps(2.0f);
      const __m128 sign = _mm_set1_ps(-0.0f), mult = _mm_set1_ps(u.strokeMult), thr = _mm_set1_ps(u.strokeThr);
      const __m128 scissor = _mm_set1_ps(p.scissor), big = _mm_set1_ps(std::numeric_limits<float>::max());
      const __m128 inner = _mm_loadu_ps(u.innerCol);
      for (; j + 4 <= span.count; j += 4)
      {
        const float* v = span.varyings + (size_t)j * kMTLMaxVaryings;
        constexpr size_t s1 = kMTLMaxVaryings, s2 = 2 * kMTLMaxVaryings, s3 = 3 * kMTLMaxVaryings;
        const __m128 px = _mm_setr_ps(v[0], v[s1], v[s2], v[s3]), py = _mm_setr_ps(v[1], v[s1 + 1], v[s2 + 1], v[s3 + 1]);
        const __m128 finite = _mm_and_ps(_mm_cmple_ps(_mm_andnot_ps(sign, px), big),
                                         _mm_cmple_ps(_mm_andnot_ps(sign, py), big));
        if (_mm_movemask_ps(finite) != 0xf) break;
        __m128 k = one;
        if constexpr (AA)
        {
          const __m128 tu = _mm_setr_ps(v[2], v[s1 + 2], v[s2 + 2], v[s3 + 2]);
          const __m128 tv = _mm_setr_ps(v[3], v[s1 + 3], v[s2 + 3], v[s3 + 3]);
          const __m128 edge = _mm_andnot_ps(sign, _mm_sub_ps(_mm_mul_ps(tu, two), one));
          k = _mm_mul_ps(_mm_min_ps(_mm_mul_ps(_mm_sub_ps(one, edge), mult), one), _mm_min_ps(tv, one));
          const int dropped = _mm_movemask_ps(_mm_cmplt_ps(k, thr));
          for (int i = 0; i < 4; ++i) keep[j + i] = (dropped >> i) & 1 ? 0 : 1;
        }
        else
          for (int i = 0; i < 4; ++i) keep[j + i] = 1;
        k = _mm_mul_ps(k, scissor);
        alignas(16) float ks[4];
        _mm_store_ps(ks, k);
        for (int i = 0; i < 4; ++i) _mm_storeu_ps(rgba + 4 * (j + i), _mm_mul_ps(inner, _mm_set1_ps(ks[i])));
      }
    }
#endif
  for (; j < span.count; ++j)
  {
    const float* var = span.varyings + (size_t)j * kMTLMaxVaryings;
    float* color = rgba + 4 * j;
    const float px = var[0], py = var[1], tu = var[2], tv = var[3];
    // Finite positions: the constant mask is what the transform would give.
    const float scissor =
      p.constScissor && std::isfinite(px) && std::isfinite(py) ? p.scissor : ScissorMask(u, px, py);
    float strokeAlpha = 1.0f;
    if constexpr (AA)
    {
      strokeAlpha = StrokeMask(u, tu, tv);
      if (strokeAlpha < u.strokeThr)
      {
        keep[j] = 0;
        continue;
      }
    }
    keep[j] = 1;
    if constexpr (K == kPaintSolid)
    {
      const float k = strokeAlpha * scissor;
      for (int i = 0; i < 4; ++i) color[i] = u.innerCol[i] * k;
    }
    else if constexpr (K == kPaintGradient)
    {
      float gx, gy;
      Transform(u.paintMat, px, py, gx, gy);
      const float dist = RoundedBoxDistance(gx, gy, u.extent[0], u.extent[1], u.radius);
      const float t =
        u.feather > 0.0f ? Clamp01((dist + u.feather * 0.5f) / u.feather) : (dist > 0.0f ? 1.0f : 0.0f);
      const float k = strokeAlpha * scissor;
      for (int i = 0; i < 4; ++i) color[i] = (u.innerCol[i] + (u.outerCol[i] - u.innerCol[i]) * t) * k;
    }
    else if constexpr (K == kPaintImage)
    {
      float ix, iy;
      Transform(u.paintMat, px, py, ix, iy);
      const float ex = u.extent[0], ey = u.extent[1];
      float c[4];
      Sample<TK, Known>(p.tex, ix / ex, iy / ey, dxx / ex, dxy / ey, dyx / ex, dyy / ey, c);
      TexelAsPremultiplied(u, c);
      const float k = strokeAlpha * scissor;
      for (int i = 0; i < 4; ++i) color[i] = c[i] * u.innerCol[i] * k;
    }
    else
    {
      float c[4];
      Sample<TK, Known>(p.tex, tu, tv, span.ddx[2], span.ddx[3], span.ddy[2], span.ddy[3], c);
      TexelAsPremultiplied(u, c);
      for (int i = 0; i < 4; ++i) color[i] = c[i] * scissor * u.innerCol[i];
    }
  }
}

// An image paint whose run reads texels one after the other, each colour the texel (premultiplied when it is
// straight): a white paint, inside the scissor, fully covered. The ends are checked with half the sampling
// tolerance, which leaves room for the rounding of the fragments between.
template <bool AA>
const uint8_t* VectorTexelRun(const MTLPreparedFragment& prepared, const float* first, const float* last, int count)
{
  const PreparedVector& p = *reinterpret_cast<const PreparedVector*>(prepared.data);
  const FragUniforms& u = p.u;
  constexpr float kTolerance = 1.0f / 2048.0f;
  int xs[2], ys[2];
  for (int end = 0; end < 2; ++end)
  {
    const float* var = end ? last : first;
    if constexpr (AA)
    {
      // Interpolation leaves the inside's coverage a few ulps short of one. Both factors are concave along
      // the run; coverage within 1e-6 of one cannot move a byte, whose exact value lies at least 1/510 from a
      // rounding boundary (multiples of 1/255, 255 odd).
      constexpr float kFull = 1.0f - 1e-6f;
      if (!((1.0f - std::fabs(var[2] * 2.0f - 1.0f)) * u.strokeMult >= kFull && var[3] >= kFull)) return nullptr;
    }
    if (!p.constScissor)
    {
      // The mask's distances are convex along the run: a clear margin inside at both ends holds between them,
      // whatever the rounding of the fragments there.
      float sx, sy;
      Transform(u.scissorMat, var[0], var[1], sx, sy);
      const float dx = (std::fabs(sx) - u.scissorExt[0]) * u.scissorScale[0];
      const float dy = (std::fabs(sy) - u.scissorExt[1]) * u.scissorScale[1];
      if (!(dx <= -0.51f && dy <= -0.51f)) return nullptr;
    }
    float ix, iy;
    Transform(u.paintMat, var[0], var[1], ix, iy);
    const float fx = ix / u.extent[0] * p.tex.wf - 0.5f, fy = iy / u.extent[1] * p.tex.hf - 0.5f;
    if (!(fx > -0.25f && fy > -0.25f && fx < p.tex.wf - 0.75f && fy < p.tex.hf - 0.75f)) return nullptr;
    xs[end] = (int)(fx + 0.5f), ys[end] = (int)(fy + 0.5f);
    if (!(std::fabs(fx - (float)xs[end]) < kTolerance && std::fabs(fy - (float)ys[end]) < kTolerance)) return nullptr;
  }
  if (xs[1] - xs[0] != count - 1 || ys[1] != ys[0]) return nullptr;
  return p.tex.view.bytes + ((size_t)ys[0] * p.tex.view.width + (size_t)xs[0]) * 4;
}

template <bool AA>
bool PrepareVector(const MTLShaderResources& res, MTLPreparedFragment& out)
{
  const MTLShaderBuffer& ub = res.fragmentBuffers[0];
  if (!ub.bytes || ub.length < sizeof(FragUniforms))
  {
    // The per-fragment function discards everything without its record.
    out.discardsAll = true, out.mayDiscard = true, out.shade = nullptr;
    return true;
  }
  PreparedVector* p = new (out.data) PreparedVector{};
  std::memcpy(&p->u, ub.bytes, sizeof p->u);
  const FragUniforms& u = p->u;
  const float* m = u.scissorMat;
  p->constScissor = m[0] == 0.0f && m[1] == 0.0f && m[4] == 0.0f && m[5] == 0.0f;
  p->scissor = ScissorMask(u, 0.0f, 0.0f);
  out.discardsAll = false;
  out.mayDiscard = AA;
  if (u.type == 0 && std::memcmp(u.innerCol, u.outerCol, sizeof u.innerCol) == 0)
    out.shade = VectorSpan<AA, kPaintSolid>;
  else if (u.type == 0)
    out.shade = VectorSpan<AA, kPaintGradient>;
  else
  {
    p->tex = PrepareSampler(res.textures[0], res.samplers[0]);
    out.shade = u.type == 1 ? VectorSpan<AA, kPaintImage> : VectorSpan<AA, kPaintTextured>;
    // The atlas and image formats get their texel reads inlined.
    const TexelKind kind = p->tex.direct ? KindOf(res.textures[0]->pixelFormat()) : kTexelNone;
    if (kind == kTexelRGBA)
      out.shade = u.type == 1 ? VectorSpan<AA, kPaintImage, kTexelRGBA, true>
                              : VectorSpan<AA, kPaintTextured, kTexelRGBA, true>;
    // The colour is the texel itself only for a white premultiplied paint without a scissor; the scissor of a
    // position-free transform is one value for every finite position.
    const bool white = u.innerCol[0] == 1.0f && u.innerCol[1] == 1.0f && u.innerCol[2] == 1.0f &&
                       u.innerCol[3] == 1.0f;
    if (kind == kTexelRGBA && u.type == 1 && p->tex.exact && (u.texType == 0 || u.texType == 1) && white &&
        (!p->constScissor || p->scissor == 1.0f) && u.strokeThr <= 1.0f)
    {
      out.texelRun = VectorTexelRun<AA>;
      out.texelsStraight = u.texType == 1;
    }
    else if (kind == kTexelR)
      out.shade = u.type == 1 ? VectorSpan<AA, kPaintImage, kTexelR, true>
                              : VectorSpan<AA, kPaintTextured, kTexelR, true>;
  }
  return true;
}

const MTLShaderEntry kShaders[] = {
  {"vertexShader", MTLFunctionTypeVertex, 4, VectorVertex, nullptr, false, nullptr},
  {"fragmentShader", MTLFunctionTypeFragment, 0, nullptr, VectorFragmentPlain, false, PrepareVector<false>},
  {"fragmentShaderAA", MTLFunctionTypeFragment, 0, nullptr, VectorFragmentAA, true, PrepareVector<true>},
};

} // namespace

const MTLShaderEntry* MTLFindShader(const std::string& name)
{
  for (const MTLShaderEntry& e : kShaders)
    if (name == e.name) return &e;
  return nullptr;
}

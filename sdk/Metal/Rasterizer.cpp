// CPU rasteriser: vertex fetch, triangle setup in 1/256-pixel fixed point, the top-left rule, culling, stencil,
// blending and colour writes. Two ways to visit pixels share every per-pixel step: the reference path tests each
// pixel of the target, the span path solves each row's covered interval from the edge equations.

#include "Rasterizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{

constexpr int64_t kSubPixel = 256;          // fixed-point steps per pixel
constexpr double kMaxCoord = 1048576.0;     // window coordinates are clamped to ±2^20 pixels (int64 headroom)

// ---------------------------------------------------------------------------------------------------------------
// Colour formats
// ---------------------------------------------------------------------------------------------------------------

inline float Unorm(uint8_t b) { return b * (1.0f / 255.0f); }

inline uint8_t ToUnorm(float c)
{
  // NaN and negatives go to 0; 1 and above to 255 (1 · 255 + 0.5 truncates to 255). Branch-free for the loops.
  const float v = c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f;
  return (uint8_t)(int)(v * 255.0f + 0.5f);
}

inline void LoadPixel(MTLPixelFormat format, const uint8_t* p, float rgba[4])
{
  switch (format)
  {
  case MTLPixelFormatBGRA8Unorm:
  case MTLPixelFormatBGRA8Unorm_sRGB:
    rgba[0] = Unorm(p[2]), rgba[1] = Unorm(p[1]), rgba[2] = Unorm(p[0]), rgba[3] = Unorm(p[3]);
    break;
  case MTLPixelFormatRGBA8Unorm:
  case MTLPixelFormatRGBA8Unorm_sRGB:
    rgba[0] = Unorm(p[0]), rgba[1] = Unorm(p[1]), rgba[2] = Unorm(p[2]), rgba[3] = Unorm(p[3]);
    break;
  case MTLPixelFormatR8Unorm:
    rgba[0] = Unorm(p[0]), rgba[1] = 0, rgba[2] = 0, rgba[3] = 1;
    break;
  case MTLPixelFormatA8Unorm:
    rgba[0] = 0, rgba[1] = 0, rgba[2] = 0, rgba[3] = Unorm(p[0]);
    break;
  default:
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
    break;
  }
}

// Writes the channels the mask lets through.
inline void StorePixel(MTLPixelFormat format, uint8_t* p, const float rgba[4], unsigned mask)
{
  const bool r = mask & MTLColorWriteMaskRed, g = mask & MTLColorWriteMaskGreen, b = mask & MTLColorWriteMaskBlue,
             a = mask & MTLColorWriteMaskAlpha;
  switch (format)
  {
  case MTLPixelFormatBGRA8Unorm:
  case MTLPixelFormatBGRA8Unorm_sRGB:
    if (b) p[0] = ToUnorm(rgba[2]);
    if (g) p[1] = ToUnorm(rgba[1]);
    if (r) p[2] = ToUnorm(rgba[0]);
    if (a) p[3] = ToUnorm(rgba[3]);
    break;
  case MTLPixelFormatRGBA8Unorm:
  case MTLPixelFormatRGBA8Unorm_sRGB:
    if (r) p[0] = ToUnorm(rgba[0]);
    if (g) p[1] = ToUnorm(rgba[1]);
    if (b) p[2] = ToUnorm(rgba[2]);
    if (a) p[3] = ToUnorm(rgba[3]);
    break;
  case MTLPixelFormatR8Unorm:
    if (r) p[0] = ToUnorm(rgba[0]);
    break;
  case MTLPixelFormatA8Unorm:
    if (a) p[0] = ToUnorm(rgba[3]);
    break;
  default:
    break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Blending
// ---------------------------------------------------------------------------------------------------------------

inline float Factor(MTLBlendFactor f, int channel, const float s[4], const float d[4])
{
  const bool alpha = channel == 3;
  switch (f)
  {
  case MTLBlendFactorZero: return 0.0f;
  case MTLBlendFactorOne: return 1.0f;
  case MTLBlendFactorSourceColor: return s[channel];
  case MTLBlendFactorOneMinusSourceColor: return 1.0f - s[channel];
  case MTLBlendFactorSourceAlpha: return s[3];
  case MTLBlendFactorOneMinusSourceAlpha: return 1.0f - s[3];
  case MTLBlendFactorDestinationColor: return d[channel];
  case MTLBlendFactorOneMinusDestinationColor: return 1.0f - d[channel];
  case MTLBlendFactorDestinationAlpha: return d[3];
  case MTLBlendFactorOneMinusDestinationAlpha: return 1.0f - d[3];
  case MTLBlendFactorSourceAlphaSaturated: return alpha ? 1.0f : std::min(s[3], 1.0f - d[3]);
  case MTLBlendFactorOneMinusBlendColor:
  case MTLBlendFactorOneMinusBlendAlpha: return 1.0f; // the blend colour is (0, 0, 0, 0) on this device
  default: return 0.0f;
  }
}

inline float Combine(MTLBlendOperation op, float s, float fs, float d, float fd)
{
  switch (op)
  {
  case MTLBlendOperationSubtract: return s * fs - d * fd;
  case MTLBlendOperationReverseSubtract: return d * fd - s * fs;
  case MTLBlendOperationMin: return std::min(s, d);
  case MTLBlendOperationMax: return std::max(s, d);
  default: return s * fs + d * fd;
  }
}

void Blend(const MTLRenderPipelineColorAttachmentDescriptor& c, const float s[4], const float d[4], float out[4])
{
  for (int i = 0; i < 3; ++i)
    out[i] = Combine(c.rgbBlendOperation, s[i], Factor(c.sourceRGBBlendFactor, i, s, d), d[i],
                     Factor(c.destinationRGBBlendFactor, i, s, d));
  out[3] = Combine(c.alphaBlendOperation, s[3], Factor(c.sourceAlphaBlendFactor, 3, s, d), d[3],
                   Factor(c.destinationAlphaBlendFactor, 3, s, d));
}

// ---------------------------------------------------------------------------------------------------------------
// Stencil
// ---------------------------------------------------------------------------------------------------------------

inline bool StencilPasses(const MTLStencilFace& f, uint8_t ref, uint8_t stored)
{
  const unsigned a = ref & f.readMask, b = stored & f.readMask;
  switch (f.compare)
  {
  case MTLCompareFunctionNever: return false;
  case MTLCompareFunctionLess: return a < b;
  case MTLCompareFunctionEqual: return a == b;
  case MTLCompareFunctionLessEqual: return a <= b;
  case MTLCompareFunctionGreater: return a > b;
  case MTLCompareFunctionNotEqual: return a != b;
  case MTLCompareFunctionGreaterEqual: return a >= b;
  default: return true;
  }
}

inline uint8_t StencilApply(MTLStencilOperation op, uint8_t writeMask, uint8_t ref, uint8_t stored)
{
  uint8_t v = stored;
  switch (op)
  {
  case MTLStencilOperationZero: v = 0; break;
  case MTLStencilOperationReplace: v = ref; break;
  case MTLStencilOperationIncrementClamp: v = stored == 255 ? 255 : stored + 1; break;
  case MTLStencilOperationDecrementClamp: v = stored == 0 ? 0 : stored - 1; break;
  case MTLStencilOperationInvert: v = (uint8_t)~stored; break;
  case MTLStencilOperationIncrementWrap: v = (uint8_t)(stored + 1); break;
  case MTLStencilOperationDecrementWrap: v = (uint8_t)(stored - 1); break;
  default: break;
  }
  return (uint8_t)((stored & ~writeMask) | (v & writeMask));
}

// ---------------------------------------------------------------------------------------------------------------
// Draw setup
// ---------------------------------------------------------------------------------------------------------------

struct Vertex
{
  double wx, wy; // window position
  int64_t fx, fy; // fixed point
  float var[kMTLMaxVaryings];
  bool valid;
};

struct Draw
{
  const MTLDrawState* state;
  const MTLRenderPipelineState* pipe;
  MTLShaderResources res;
  int varyingCount = 0;

  // Attachments
  uint8_t* color = nullptr;
  size_t colorRow = 0, colorBpp = 0;
  uint32_t* owedRows = nullptr; // the colour target's rows' intervals still owed zeros (MTLTexture::OweZeroRows)
  bool overwrites = false;      // a fragment kept replaces every byte of its pixel, whatever was there
  MTLPixelFormat colorFormat = MTLPixelFormatInvalid;
  uint8_t* stencil = nullptr;
  size_t stencilRow = 0;
  int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0; // pixels drawn: [x0, x1) × [y0, y1)

  bool writesColor = false;
  bool blendIsCopy = false;
  bool blendIsSourceOver = false; // one, one minus source alpha, add, for colour and alpha
  bool mayDiscard = false;
  bool reference = false;

  // Span path: the fragment shader prepared for this draw (shade null: fragment by fragment), and the colour
  // writer for the target's format and blend.
  MTLPreparedFragment prepared;
  using Writer = void (*)(const struct Draw& d, uint8_t* row, const float* src, const uint8_t* store, int n);
  Writer write = nullptr;
  // The writer is WriteRGBA8: texel runs may be written straight from their bytes.
  bool texelWrite = false, texelWriteBGRA = false, texelWriteSourceOver = false;
};

void ChooseWriter(Draw& d);

bool Prepare(Draw& d, const MTLDrawState& st, const MTLPassTargets& targets, bool reference)
{
  d.state = &st;
  d.pipe = st.pipeline.get();
  d.reference = reference;
  if (!d.pipe || !d.pipe->vertexEntry) return false;
  for (NSUInteger i = 0; i < MTLMaxBufferArguments; ++i)
  {
    if (MTLBuffer* b = st.vertexBuffers[i].get(); b && st.vertexOffsets[i] <= b->length())
      d.res.vertexBuffers[i] = {b->gpuBytes() + st.vertexOffsets[i], b->length() - st.vertexOffsets[i]};
    if (MTLBuffer* b = st.fragmentBuffers[i].get(); b && st.fragmentOffsets[i] <= b->length())
      d.res.fragmentBuffers[i] = {b->gpuBytes() + st.fragmentOffsets[i], b->length() - st.fragmentOffsets[i]};
    d.res.textures[i] = st.textures[i].get();
  }
  for (NSUInteger i = 0; i < MTLMaxSamplerArguments; ++i) d.res.samplers[i] = st.samplers[i].get();
  d.varyingCount = std::min(d.pipe->vertexEntry->varyingCount, kMTLMaxVaryings);

  // Render area: the smallest attachment, the viewport and the scissor rectangle.
  int64_t w = INT32_MAX, h = INT32_MAX;
  bool any = false;
  if (targets.color && targets.colorLevel < targets.color->mipmapLevelCount())
  {
    // A target's owed zeros are paid row by row as the draw first touches each row.
    MTLTexture::Level& lv = targets.colorLevel == 0 ? targets.color->levelOwingZeroRows(d.owedRows)
                                                    : targets.color->level(targets.colorLevel);
    d.colorFormat = targets.color->pixelFormat();
    d.colorBpp = targets.color->bytesPerPixel();
    d.colorRow = lv.width * d.colorBpp;
    d.color = lv.bytes.data();
    w = std::min<int64_t>(w, lv.width), h = std::min<int64_t>(h, lv.height);
    any = true;
  }
  if (targets.stencil && targets.stencilLevel < targets.stencil->mipmapLevelCount() &&
      targets.stencil->pixelFormat() == MTLPixelFormatStencil8)
  {
    MTLTexture::Level& lv = targets.stencil->level(targets.stencilLevel);
    d.stencil = lv.bytes.data();
    d.stencilRow = lv.width;
    w = std::min<int64_t>(w, lv.width), h = std::min<int64_t>(h, lv.height);
    any = true;
  }
  if (!any) return false;
  const MTLViewport& vp = st.viewport;
  if (!std::isfinite(vp.originX) || !std::isfinite(vp.originY) || !std::isfinite(vp.width) ||
      !std::isfinite(vp.height))
    return false;
  // A pixel belongs to the viewport when its centre does.
  auto firstCentre = [](double edge) { return (int64_t)std::clamp(std::ceil(edge - 0.5), -1.0, 2147483647.0); };
  int64_t x0 = std::max<int64_t>(0, firstCentre(vp.originX)), y0 = std::max<int64_t>(0, firstCentre(vp.originY));
  int64_t x1 = std::min<int64_t>(w, firstCentre(vp.originX + vp.width));
  int64_t y1 = std::min<int64_t>(h, firstCentre(vp.originY + vp.height));
  if (st.hasScissor)
  {
    x0 = std::max<int64_t>(x0, (int64_t)std::min<NSUInteger>(st.scissor.x, INT32_MAX));
    y0 = std::max<int64_t>(y0, (int64_t)std::min<NSUInteger>(st.scissor.y, INT32_MAX));
    x1 = std::min<int64_t>(x1, (int64_t)std::min<NSUInteger>(st.scissor.x + st.scissor.width, INT32_MAX));
    y1 = std::min<int64_t>(y1, (int64_t)std::min<NSUInteger>(st.scissor.y + st.scissor.height, INT32_MAX));
  }
  if (x0 >= x1 || y0 >= y1) return false;
  d.clipX0 = (int)x0, d.clipY0 = (int)y0, d.clipX1 = (int)x1, d.clipY1 = (int)y1;

  const MTLShaderEntry* frag = d.pipe->fragmentEntry;
  d.writesColor = frag && d.color && d.pipe->color0.writeMask != MTLColorWriteMaskNone;
  d.mayDiscard = frag && frag->mayDiscard;
  const auto& c = d.pipe->color0;
  d.blendIsCopy = !c.blendingEnabled ||
                  (c.sourceRGBBlendFactor == MTLBlendFactorOne && c.destinationRGBBlendFactor == MTLBlendFactorZero &&
                   c.sourceAlphaBlendFactor == MTLBlendFactorOne &&
                   c.destinationAlphaBlendFactor == MTLBlendFactorZero &&
                   c.rgbBlendOperation == MTLBlendOperationAdd && c.alphaBlendOperation == MTLBlendOperationAdd);
  d.blendIsSourceOver = c.blendingEnabled && c.sourceRGBBlendFactor == MTLBlendFactorOne &&
                        c.destinationRGBBlendFactor == MTLBlendFactorOneMinusSourceAlpha &&
                        c.sourceAlphaBlendFactor == MTLBlendFactorOne &&
                        c.destinationAlphaBlendFactor == MTLBlendFactorOneMinusSourceAlpha &&
                        c.rgbBlendOperation == MTLBlendOperationAdd && c.alphaBlendOperation == MTLBlendOperationAdd;
  if (!reference)
  {
    // A shader that cannot say per draw is assumed to discard (it is asked about every fragment).
    if (frag && frag->prepare && frag->prepare(d.res, d.prepared))
      d.mayDiscard = d.prepared.mayDiscard;
    else
      d.prepared = MTLPreparedFragment{}, d.mayDiscard = frag != nullptr;
    ChooseWriter(d);
    d.overwrites = d.writesColor && d.blendIsCopy && d.pipe->color0.writeMask == MTLColorWriteMaskAll;
  }
  return true;
}

// Fetches one vertex's attributes through the pipeline's vertex layout and runs the vertex shader. Attributes
// outside their buffer read as zero.
void ShadeVertex(const Draw& d, uint32_t vid, Vertex& out)
{
  MTLVertexInput in;
  in.vertexID = vid;
  for (NSUInteger a = 0; a < MTLMaxVertexAttributes; ++a)
  {
    float* v = in.attributes[a];
    v[0] = v[1] = v[2] = 0.0f, v[3] = 1.0f;
    const MTLVertexAttributeDescriptor& ad = d.pipe->attributes.slots[a];
    if (ad.format == MTLVertexFormatInvalid || ad.bufferIndex >= MTLMaxBufferArguments) continue;
    const MTLVertexBufferLayoutDescriptor& layout = d.pipe->layouts.slots[ad.bufferIndex];
    const MTLShaderBuffer& buf = d.res.vertexBuffers[ad.bufferIndex];
    const uint64_t index = layout.stepFunction == MTLVertexStepFunctionPerVertex ? vid : 0;
    const uint64_t size = ad.format == MTLVertexFormatUChar4Normalized ? 4
                          : ad.format >= MTLVertexFormatFloat && ad.format <= MTLVertexFormatFloat4
                            ? 4ull * (ad.format - MTLVertexFormatFloat + 1)
                            : 0;
    if (!size || !buf.bytes) continue;
    if (layout.stride && index > buf.length / layout.stride) continue;
    const uint64_t at = index * layout.stride;
    if (ad.offset > buf.length || at > buf.length - ad.offset || size > buf.length - ad.offset - at) continue;
    const uint8_t* p = buf.bytes + at + ad.offset;
    if (ad.format == MTLVertexFormatUChar4Normalized)
      for (int k = 0; k < 4; ++k) v[k] = Unorm(p[k]);
    else
      std::memcpy(v, p, size);
  }
  MTLVertexOutput o{};
  d.pipe->vertexEntry->vertex(in, d.res, o);
  out.valid = false;
  const float w = o.position[3];
  if (!(w > 0.0f) || !std::isfinite(w)) return;
  const double nx = o.position[0] / (double)w, ny = o.position[1] / (double)w;
  if (!std::isfinite(nx) || !std::isfinite(ny)) return;
  const MTLViewport& vp = d.state->viewport;
  out.wx = std::clamp(vp.originX + (nx + 1.0) * 0.5 * vp.width, -kMaxCoord, kMaxCoord);
  out.wy = std::clamp(vp.originY + (1.0 - ny) * 0.5 * vp.height, -kMaxCoord, kMaxCoord);
  out.fx = std::llround(out.wx * kSubPixel);
  out.fy = std::llround(out.wy * kSubPixel);
  std::memcpy(out.var, o.varyings, sizeof out.var);
  out.valid = true;
}

// ---------------------------------------------------------------------------------------------------------------
// Triangles
// ---------------------------------------------------------------------------------------------------------------

// Row y of the colour target as it reads: its owed zeros written before anything reads or blends into it.
inline void SettleRow(const Draw& d, int64_t y)
{
  if (!d.owedRows) return;
  uint32_t& a = d.owedRows[2 * y];
  uint32_t& b = d.owedRows[2 * y + 1];
  if (a < b) std::memset(d.color + (size_t)y * d.colorRow + a * d.colorBpp, 0, (size_t)(b - a) * d.colorBpp);
  a = b = 0;
}

// Row y before pixels [lo, hi) are overwritten whole: they owe nothing any more, and of what is left owing on
// either side the smaller part is paid now, since one interval is all a row keeps.
inline void OverwriteRow(const Draw& d, int64_t y, int64_t lo, int64_t hi)
{
  if (!d.owedRows) return;
  uint32_t& a = d.owedRows[2 * y];
  uint32_t& b = d.owedRows[2 * y + 1];
  if (a >= b || hi <= a || lo >= b) return;
  const auto leftEnd = (uint32_t)std::max<int64_t>(a, lo), rightStart = (uint32_t)std::min<int64_t>(b, hi);
  const uint32_t left = leftEnd - a, right = b - rightStart;
  uint8_t* row = d.color + (size_t)y * d.colorRow;
  if (left > 0 && right > 0)
  {
    if (left <= right)
      std::memset(row + a * d.colorBpp, 0, left * d.colorBpp), a = rightStart;
    else
      std::memset(row + rightStart * d.colorBpp, 0, right * d.colorBpp), b = leftEnd;
  }
  else if (left > 0)
    b = leftEnd;
  else if (right > 0)
    a = rightStart;
  else
    a = b = 0;
}

struct Triangle
{
  const Vertex* v[3];
  int64_t area;                  // > 0 after ordering
  double invArea;
  int64_t ex[3], ey[3];          // edge i runs from v[i+1] to v[i+2]: (dx, dy)
  int64_t ax[3], ay[3];          // its start
  int64_t bias[3];               // 0 on top and left edges (centres on them are in), else -1
  bool front;
  const MTLStencilFace* face; // null: no stencil test
  uint8_t ref;
  float ddx[kMTLMaxVaryings], ddy[kMTLMaxVaryings];
};

inline int64_t EdgeAt(const Triangle& t, int i, int64_t px, int64_t py)
{
  return t.ex[i] * (py - t.ay[i]) - t.ey[i] * (px - t.ax[i]);
}

// floor(a / b) for b != 0 and |a| < 2^62. A 64-bit integer division costs more than the rest of a short row, so
// the quotient is estimated in double (off by at most a few units here) and corrected exactly.
inline int64_t FloorDiv(int64_t a, int64_t b)
{
  if (b < 0) a = -a, b = -b;
  int64_t q = (int64_t)((double)a / (double)b);
  while (q * b > a) --q;
  while ((q + 1) * b <= a) ++q;
  return q;
}

// The reference: every step of one fragment spelled out.
void ProcessFragment(const Draw& d, const Triangle& t, int x, int y, const int64_t e[3])
{
  const MTLStencilFace* face = t.face;
  uint8_t* sp = face ? d.stencil + (size_t)y * d.stencilRow + x : nullptr;
  const uint8_t ref = t.ref;

  float src[4] = {0, 0, 0, 0};
  if (const MTLShaderEntry* frag = d.pipe->fragmentEntry)
  {
    float var[kMTLMaxVaryings];
    const double inv = t.invArea;
    const float l0 = (float)(e[0] * inv), l1 = (float)(e[1] * inv), l2 = (float)(e[2] * inv);
    for (int k = 0; k < d.varyingCount; ++k)
      var[k] = t.v[0]->var[k] * l0 + t.v[1]->var[k] * l1 + t.v[2]->var[k] * l2;
    const MTLFragmentInput in{x + 0.5f, y + 0.5f, var, t.ddx, t.ddy, t.front};
    if (!frag->fragment(in, d.res, src)) return;
  }

  if (sp)
  {
    if (!StencilPasses(*face, ref, *sp))
    {
      *sp = StencilApply(face->fail, face->writeMask, ref, *sp);
      return;
    }
    // No depth attachment: the depth test passes.
    *sp = StencilApply(face->pass, face->writeMask, ref, *sp);
  }
  if (!d.writesColor) return;
  uint8_t* cp = d.color + (size_t)y * d.colorRow + (size_t)x * d.colorBpp;
  const auto& c = d.pipe->color0;
  float dst[4], out[4];
  LoadPixel(d.colorFormat, cp, dst);
  if (c.blendingEnabled)
    Blend(c, src, dst, out);
  else
    std::memcpy(out, src, sizeof out);
  StorePixel(d.colorFormat, cp, out, c.writeMask);
}

// ---- Span path ----

constexpr int kRun = 64; // fragments shaded together

// Colour writes for a run: any format and state, with the reference's operations.
void WriteAny(const Draw& d, uint8_t* row, const float* src, const uint8_t* store, int n)
{
  const auto& c = d.pipe->color0;
  for (int j = 0; j < n; ++j)
  {
    if (!store[j]) continue;
    uint8_t* cp = row + (size_t)j * d.colorBpp;
    const float* s = src + 4 * j;
    if (d.blendIsCopy)
    {
      // One and zero: s · 1 + d · 0 is s for every finite destination.
      StorePixel(d.colorFormat, cp, s, c.writeMask);
      continue;
    }
    float dst[4], out[4];
    LoadPixel(d.colorFormat, cp, dst);
    Blend(c, s, dst, out);
    StorePixel(d.colorFormat, cp, out, c.writeMask);
  }
}

// One pixel of a four-byte format, every channel written: copy, or source-over as the general blend's
// operations with these factors: s · 1 + d · (1 - sa).
template <bool BGRA, bool SourceOver>
inline void BlendRGBA8(uint8_t* p, const float* s)
{
  constexpr int r = BGRA ? 2 : 0, b = BGRA ? 0 : 2;
#if defined(__SSE2__)
  if constexpr (SourceOver)
  {
    // The same operations lane by lane: Unorm's product, s · 1 + d · k (d · 0 adds nothing that survives the
    // store), and ToUnorm's clamp (max before min, so that NaN becomes 0) and truncation of v · 255 + 0.5.
    const __m128i zero = _mm_setzero_si128();
    uint32_t word;
    std::memcpy(&word, p, 4);
    __m128i bytes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128((int)word), zero), zero);
    __m128 dst = _mm_mul_ps(_mm_cvtepi32_ps(bytes), _mm_set1_ps(1.0f / 255.0f));
    if constexpr (BGRA) dst = _mm_shuffle_ps(dst, dst, _MM_SHUFFLE(3, 0, 1, 2));
    const __m128 src = _mm_loadu_ps(s);
    __m128 out = _mm_add_ps(_mm_mul_ps(src, _mm_set1_ps(1.0f)), _mm_mul_ps(dst, _mm_set1_ps(1.0f - s[3])));
    out = _mm_min_ps(_mm_max_ps(out, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    out = _mm_add_ps(_mm_mul_ps(out, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
    if constexpr (BGRA) out = _mm_shuffle_ps(out, out, _MM_SHUFFLE(3, 0, 1, 2));
    const __m128i i32 = _mm_cvttps_epi32(out);
    word = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(i32, zero), zero));
    std::memcpy(p, &word, 4);
    return;
  }
#endif
  float out[4];
  if constexpr (SourceOver)
  {
    const float k = 1.0f - s[3];
    if (k == 0.0f)
      for (int i = 0; i < 4; ++i) out[i] = s[i]; // d · 0 adds nothing that survives the store
    else
    {
      const float dst[4] = {Unorm(p[r]), Unorm(p[1]), Unorm(p[b]), Unorm(p[3])};
      for (int i = 0; i < 4; ++i) out[i] = s[i] * 1.0f + dst[i] * k;
    }
  }
  else
    for (int i = 0; i < 4; ++i) out[i] = s[i];
  p[r] = ToUnorm(out[0]), p[1] = ToUnorm(out[1]), p[b] = ToUnorm(out[2]), p[3] = ToUnorm(out[3]);
}

// Four-byte formats with every channel written: copy or source-over, unrolled for the compiler.
template <bool BGRA, bool SourceOver>
void WriteRGBA8(const Draw&, uint8_t* row, const float* src, const uint8_t* store, int n)
{
  for (int j = 0; j < n; ++j)
    if (store[j]) BlendRGBA8<BGRA, SourceOver>(row + 4 * j, src + 4 * j);
}

void ChooseWriter(Draw& d)
{
  d.write = WriteAny;
  if (!d.writesColor || d.pipe->color0.writeMask != MTLColorWriteMaskAll) return;
  const bool bgra = d.colorFormat == MTLPixelFormatBGRA8Unorm || d.colorFormat == MTLPixelFormatBGRA8Unorm_sRGB;
  const bool rgba = d.colorFormat == MTLPixelFormatRGBA8Unorm || d.colorFormat == MTLPixelFormatRGBA8Unorm_sRGB;
  if (!bgra && !rgba) return;
  if (d.blendIsCopy)
    d.write = bgra ? WriteRGBA8<true, false> : WriteRGBA8<false, false>;
  else if (d.blendIsSourceOver)
    d.write = bgra ? WriteRGBA8<true, true> : WriteRGBA8<false, true>;
  d.texelWrite = d.blendIsCopy || d.blendIsSourceOver;
  d.texelWriteBGRA = bgra;
  d.texelWriteSourceOver = !d.blendIsCopy;
}

// Every byte survives the trip through Unorm and ToUnorm, and an opaque texel reads as exactly 1: then an
// opaque texel is stored as its bytes by both writers.
bool BytesRoundTrip()
{
  static const bool ok = [] {
    for (int b = 0; b < 256; ++b)
      if (ToUnorm(Unorm((uint8_t)b)) != b) return false;
    return Unorm(255) == 1.0f;
  }();
  return ok;
}

// Texels stored as their bytes (red and blue swapped for BGRA), four at a time, from the first on; with
// OpaqueOnly it stops before a group holding a texel that is not opaque. Answers how many were stored.
template <bool BGRA, bool OpaqueOnly>
int StoreTexelGroups(uint8_t* row, const uint8_t* texels, int n)
{
  int j = 0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32((int)0xff000000u);
  const __m128i greenAlpha = _mm_set1_epi32((int)0xff00ff00u), low = _mm_set1_epi32(0xff);
  for (; j + 4 <= n; j += 4)
  {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels + 4 * j));
    if constexpr (OpaqueOnly)
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, alpha), alpha)) != 0xffff) break;
    if constexpr (BGRA)
      v = _mm_or_si128(_mm_and_si128(v, greenAlpha),
                       _mm_or_si128(_mm_slli_epi32(_mm_and_si128(v, low), 16), _mm_and_si128(_mm_srli_epi32(v, 16), low)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * j), v);
  }
#else
  (void)row, (void)texels, (void)n;
#endif
  return j;
}

// WriteRGBA8's operations for colours that are texels / 255 (Straight: their colour channels times their
// alpha, as the shader premultiplies them), reading the texels' bytes.
template <bool BGRA, bool SourceOver, bool Straight>
void WriteTexels(uint8_t* row, const uint8_t* texels, int n)
{
  constexpr int r = BGRA ? 2 : 0, b = BGRA ? 0 : 2;
  const bool direct = BytesRoundTrip();
  int j = 0;
  if (direct)
  {
    // Opaque texels and copies are their bytes: whole groups first.
    j = StoreTexelGroups<BGRA, Straight || SourceOver>(row, texels, n);
    // Opaque stretches as whole words (the bytes of a little-endian word, red first).
    static_assert(std::endian::native == std::endian::little);
    if constexpr (!Straight && !SourceOver)
      for (; j + 2 <= n; j += 2)
      {
        // A copy checks nothing: two texels a word.
        uint64_t v;
        std::memcpy(&v, texels + 4 * j, 8);
        if constexpr (BGRA)
          v = (v & 0xff00ff00ff00ff00ull) | ((v & 0x000000ff000000ffull) << 16) | ((v >> 16) & 0x000000ff000000ffull);
        std::memcpy(row + 4 * j, &v, 8);
      }
    for (; j < n; ++j)
    {
      uint32_t v;
      std::memcpy(&v, texels + 4 * j, 4);
      if ((v >> 24) != 255 && (Straight || SourceOver)) break;
      if constexpr (BGRA) v = (v & 0xff00ff00u) | ((v & 0xffu) << 16) | ((v >> 16) & 0xffu);
      std::memcpy(row + 4 * j, &v, 4);
    }
  }
  for (; j < n; ++j)
  {
    const uint8_t* t = texels + 4 * j;
    uint8_t* p = row + 4 * j;
    if (direct && (t[3] == 255 || (!Straight && !SourceOver)))
    {
      p[r] = t[0], p[1] = t[1], p[b] = t[2], p[3] = t[3];
      continue;
    }
    // A clear straight texel is zero after premultiplying: over anything it leaves the bytes as they are.
    if (Straight && SourceOver && direct && t[3] == 0) continue;
    float s[4] = {Unorm(t[0]), Unorm(t[1]), Unorm(t[2]), Unorm(t[3])};
    if constexpr (Straight) s[0] *= s[3], s[1] *= s[3], s[2] *= s[3];
    BlendRGBA8<BGRA, SourceOver>(p, s);
  }
}

template <bool Straight>
void WriteTexelsTo(const Draw& d, uint8_t* row, const uint8_t* texels, int n)
{
  if (d.texelWriteBGRA)
    d.texelWriteSourceOver ? WriteTexels<true, true, Straight>(row, texels, n)
                           : WriteTexels<true, false, Straight>(row, texels, n);
  else
    d.texelWriteSourceOver ? WriteTexels<false, true, Straight>(row, texels, n)
                           : WriteTexels<false, false, Straight>(row, texels, n);
}

// A run copied from texels: no stencil, a plain writer and a shader that vouches for the run. False: shade it.
bool TexelRun(const Draw& d, const Triangle& t, int x0, int y, int n, const int64_t e[3], const int64_t step[3])
{
  if (!d.texelWrite || !d.prepared.texelRun || t.face || !d.writesColor) return false;
  float first[kMTLMaxVaryings] = {}, last[kMTLMaxVaryings] = {};
  const double inv = t.invArea;
  const float* v[3] = {t.v[0]->var, t.v[1]->var, t.v[2]->var};
  for (int end = 0; end < 2; ++end)
  {
    float* out = end ? last : first;
    const int64_t k = end ? n - 1 : 0;
    const float l[3] = {(float)((e[0] + k * step[0]) * inv), (float)((e[1] + k * step[1]) * inv),
                        (float)((e[2] + k * step[2]) * inv)};
    for (int i = 0; i < d.varyingCount && i < kMTLMaxVaryings; ++i)
      out[i] = v[0][i] * l[0] + v[1][i] * l[1] + v[2][i] * l[2];
  }
  const uint8_t* texels = d.prepared.texelRun(d.prepared, first, last, n);
  if (!texels) return false;
  // Copies store every texel of the run; blends read what is there.
  if (d.owedRows && d.overwrites)
    OverwriteRow(d, y, x0, x0 + n);
  else
    SettleRow(d, y);
  uint8_t* row = d.color + (size_t)y * d.colorRow + (size_t)x0 * 4;
  if (d.prepared.texelsStraight)
    WriteTexelsTo<true>(d, row, texels, n);
  else
    WriteTexelsTo<false>(d, row, texels, n);
  return true;
}

void ShadeRun(const Draw& d, const Triangle& t, int x0, int y, int n, const int64_t e[3], const int64_t step[3]);

// A run as one texel run, its ends on a clip's soft edge shaded apart; false leaves the run untouched.
bool TrimmedTexelRun(const Draw& d, const Triangle& t, int x0, int y, int n, const int64_t e[3], const int64_t step[3])
{
  if (TexelRun(d, t, x0, y, n, e, step)) return true;
  // The ends may sit on a clip's soft edge (up to two pixels: the edge's own and the one the scissor
  // rectangle keeps for safety) while the fragments between them are plain texels.
  for (int trim = 1; trim <= 2 && n > 2 * trim; ++trim)
  {
    const int64_t inner[3] = {e[0] + trim * step[0], e[1] + trim * step[1], e[2] + trim * step[2]};
    if (!TexelRun(d, t, x0 + trim, y, n - 2 * trim, inner, step)) continue;
    const int at = n - trim;
    const int64_t end[3] = {e[0] + at * step[0], e[1] + at * step[1], e[2] + at * step[2]};
    ShadeRun(d, t, x0, y, trim, e, step);
    ShadeRun(d, t, x0 + at, y, trim, end, step);
    return true;
  }
  return false;
}

// Fragments x0 … x0+n-1 of row y; e holds the edge values at x0, stepping by step per pixel.
void ShadeRun(const Draw& d, const Triangle& t, int x0, int y, int n, const int64_t e[3], const int64_t step[3])
{
  const MTLStencilFace* face = t.face;
  uint8_t* sp = face ? d.stencil + (size_t)y * d.stencilRow + x0 : nullptr;
  const uint8_t ref = t.ref;
  const MTLShaderEntry* frag = d.pipe->fragmentEntry;
  const bool discards = frag && d.mayDiscard;
  if (frag && d.prepared.texelRun && !face && TrimmedTexelRun(d, t, x0, y, n, e, step)) return;

  // Fragments failing the stencil test only change the stencil; when the shader cannot discard, that is known now.
  uint8_t live[kRun];
  int liveCount = n;
  for (int j = 0; j < n; ++j) live[j] = 1;
  if (sp)
    for (int j = 0; j < n; ++j)
    {
      if (StencilPasses(*face, ref, sp[j])) continue;
      const uint8_t nv = StencilApply(face->fail, face->writeMask, ref, sp[j]);
      if (nv != sp[j] && !discards)
        sp[j] = nv;
      else if (nv != sp[j])
        continue; // the shader decides
      live[j] = 0, --liveCount;
    }
  if (liveCount == 0) return;

  alignas(16) float src[kRun * 4];
  uint8_t keep[kRun];
  if (!frag || (!d.writesColor && !discards))
  {
    // No shader, or its colour goes nowhere and it keeps every fragment.
    std::memset(src, 0, sizeof(float) * 4 * n);
    std::memset(keep, 1, n);
  }
  else
  {
    if (d.prepared.discardsAll) return;
    alignas(16) float var[kRun * kMTLMaxVaryings];
    const double inv = t.invArea;
    int64_t e0 = e[0], e1 = e[1], e2 = e[2];
    const float* v0 = t.v[0]->var;
    const float* v1 = t.v[1]->var;
    const float* v2 = t.v[2]->var;
    auto interpolate = [&](auto count) {
      for (int j = 0; j < n; ++j)
      {
        const float l0 = (float)(e0 * inv), l1 = (float)(e1 * inv), l2 = (float)(e2 * inv);
        float* out = var + (size_t)j * kMTLMaxVaryings;
        for (int k = 0; k < (int)count; ++k) out[k] = v0[k] * l0 + v1[k] * l1 + v2[k] * l2;
        e0 += step[0], e1 += step[1], e2 += step[2];
      }
    };
    if (d.varyingCount == 4)
      interpolate(std::integral_constant<int, 4>{}); // the vector shaders' count, unrolled
    else
      interpolate(d.varyingCount);
    if (d.prepared.shade)
    {
      const MTLFragmentSpan span{n, x0 + 0.5f, y + 0.5f, var, t.ddx, t.ddy, t.front};
      d.prepared.shade(d.prepared, d.res, span, src, keep);
    }
    else
      for (int j = 0; j < n; ++j)
      {
        float* s = src + 4 * j;
        s[0] = s[1] = s[2] = s[3] = 0;
        keep[j] = 0;
        if (!live[j]) continue;
        const MTLFragmentInput in{(float)(x0 + j) + 0.5f, y + 0.5f, var + (size_t)j * kMTLMaxVaryings, t.ddx,
                                  t.ddy, t.front};
        keep[j] = frag->fragment(in, d.res, s) ? 1 : 0;
      }
  }

  for (int j = 0; j < n; ++j)
  {
    keep[j] = keep[j] && live[j];
    if (!keep[j] || !sp) continue;
    if (!StencilPasses(*face, ref, sp[j]))
    {
      sp[j] = StencilApply(face->fail, face->writeMask, ref, sp[j]);
      keep[j] = 0;
      continue;
    }
    sp[j] = StencilApply(face->pass, face->writeMask, ref, sp[j]);
  }
  if (!d.writesColor) return;
  if (d.owedRows)
  {
    // A run that stores every one of its pixels over whatever is there pays nothing for it.
    bool all = d.overwrites;
    for (int j = 0; j < n && all; ++j) all = keep[j] != 0;
    if (all)
      OverwriteRow(d, y, x0, x0 + n);
    else
      SettleRow(d, y);
  }
  d.write(d, d.color + (size_t)y * d.colorRow + (size_t)x0 * d.colorBpp, src, keep, n);
}

void RasterTriangle(const Draw& d, const Vertex& a, const Vertex& b, const Vertex& c)
{
  if (!a.valid || !b.valid || !c.valid) return;
  Triangle t;
  int64_t area = (b.fx - a.fx) * (c.fy - a.fy) - (b.fy - a.fy) * (c.fx - a.fx);
  if (area == 0) return;
  // Window y points down: a negative area here is counter-clockwise on screen.
  const bool ccw = area < 0;
  t.front = (d.state->winding == MTLWindingCounterClockwise) == ccw;
  if (d.state->cullMode == MTLCullModeBack && !t.front) return;
  if (d.state->cullMode == MTLCullModeFront && t.front) return;
  const MTLDepthStencilState* ds = d.state->depthStencil.get();
  t.face = ds && d.stencil ? (t.front ? &ds->front : &ds->back) : nullptr;
  if (t.face && !t.face->enabled) t.face = nullptr;
  t.ref = (uint8_t)(t.front ? d.state->stencilRefFront : d.state->stencilRefBack);
  t.v[0] = &a;
  t.v[1] = area > 0 ? &b : &c;
  t.v[2] = area > 0 ? &c : &b;
  t.area = area > 0 ? area : -area;
  t.invArea = 1.0 / (double)t.area;
  for (int i = 0; i < 3; ++i)
  {
    const Vertex& p = *t.v[(i + 1) % 3];
    const Vertex& q = *t.v[(i + 2) % 3];
    t.ax[i] = p.fx, t.ay[i] = p.fy;
    t.ex[i] = q.fx - p.fx, t.ey[i] = q.fy - p.fy;
    const bool top = t.ey[i] == 0 && t.ex[i] > 0;
    const bool left = t.ey[i] < 0;
    t.bias[i] = (top || left) ? 0 : -1;
  }
  // Barycentric weight i changes by -ey·256/area per pixel in x and ex·256/area in y.
  for (int k = 0; k < d.varyingCount; ++k)
  {
    double gx = 0, gy = 0;
    for (int i = 0; i < 3; ++i)
    {
      gx += t.v[i]->var[k] * (double)(-t.ey[i] * kSubPixel) / (double)t.area;
      gy += t.v[i]->var[k] * (double)(t.ex[i] * kSubPixel) / (double)t.area;
    }
    t.ddx[k] = (float)gx, t.ddy[k] = (float)gy;
  }

  int64_t e[3];
  if (d.reference)
  {
    // Every pixel of the attachment, every test spelled out.
    const int64_t w = d.color ? (int64_t)(d.colorRow / std::max<size_t>(d.colorBpp, 1)) : (int64_t)d.stencilRow;
    const int64_t h = d.clipY1; // rows past the clip cannot pass the test below
    for (int64_t y = 0; y < h; ++y)
    {
      if (y >= d.clipY0) SettleRow(d, y);
      for (int64_t x = 0; x < w; ++x)
      {
        if (x < d.clipX0 || x >= d.clipX1 || y < d.clipY0 || y >= d.clipY1) continue;
        const int64_t px = x * kSubPixel + kSubPixel / 2, py = y * kSubPixel + kSubPixel / 2;
        bool in = true;
        for (int i = 0; i < 3; ++i)
        {
          e[i] = EdgeAt(t, i, px, py);
          in = in && e[i] + t.bias[i] >= 0;
        }
        if (in) ProcessFragment(d, t, (int)x, (int)y, e);
      }
    }
    return;
  }

  // Span path: the triangle's pixel-centre bounding box within the clip, then per row the interval where all
  // three edge conditions hold.
  const int64_t minX = std::min({a.fx, b.fx, c.fx}), maxX = std::max({a.fx, b.fx, c.fx});
  const int64_t minY = std::min({a.fy, b.fy, c.fy}), maxY = std::max({a.fy, b.fy, c.fy});
  const int64_t bx0 = std::max<int64_t>(d.clipX0, FloorDiv(minX - kSubPixel / 2, kSubPixel));
  const int64_t bx1 = std::min<int64_t>(d.clipX1, FloorDiv(maxX - kSubPixel / 2, kSubPixel) + 1);
  const int64_t by0 = std::max<int64_t>(d.clipY0, FloorDiv(minY - kSubPixel / 2, kSubPixel));
  const int64_t by1 = std::min<int64_t>(d.clipY1, FloorDiv(maxY - kSubPixel / 2, kSubPixel) + 1);
  for (int64_t y = by0; y < by1; ++y)
  {
    const int64_t py = y * kSubPixel + kSubPixel / 2;
    int64_t lo = bx0, hi = bx1; // [lo, hi)
    for (int i = 0; i < 3 && lo < hi; ++i)
    {
      // E(x) + bias = c0 + s·x with px = 256x + 128; the condition is c0 + s·x >= 0.
      const int64_t c0 = t.ex[i] * (py - t.ay[i]) - t.ey[i] * (kSubPixel / 2 - t.ax[i]) + t.bias[i];
      const int64_t s = -t.ey[i] * kSubPixel;
      if (s == 0)
      {
        if (c0 < 0) hi = lo;
      }
      else if (s > 0)
        lo = std::max(lo, -FloorDiv(c0, s)); // x >= ceil(-c0 / s)
      else
        hi = std::min(hi, FloorDiv(c0, -s) + 1); // x <= floor(c0 / -s)
    }
    if (lo >= hi) continue;
    // Edge values step exactly (integers) along the row.
    const int64_t px0 = lo * kSubPixel + kSubPixel / 2;
    for (int i = 0; i < 3; ++i) e[i] = EdgeAt(t, i, px0, py);
    const int64_t step[3] = {-t.ey[0] * kSubPixel, -t.ey[1] * kSubPixel, -t.ey[2] * kSubPixel};
    // A long run of plain texels is copied in one go: its ends vouch for it whatever its length.
    if (hi - lo > kRun && d.pipe->fragmentEntry && d.prepared.texelRun && !t.face &&
        TrimmedTexelRun(d, t, (int)lo, (int)y, (int)(hi - lo), e, step))
      continue;
    for (int64_t x = lo; x < hi; x += kRun)
    {
      const int n = (int)std::min<int64_t>(kRun, hi - x);
      ShadeRun(d, t, (int)x, (int)y, n, e, step);
      for (int i = 0; i < 3; ++i) e[i] += step[i] * n;
    }
  }
}

uint32_t IndexAt(const MTLDrawCall& call, NSUInteger i, bool& ok)
{
  const NSUInteger size = call.indexType == MTLIndexTypeUInt16 ? 2 : 4;
  const NSUInteger len = call.indexBuffer->length();
  ok = call.indexOffset <= len && i < (len - call.indexOffset) / size;
  if (!ok) return 0;
  const uint8_t* p = call.indexBuffer->gpuBytes() + call.indexOffset + i * size;
  if (size == 2)
  {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------------------------------------------

void MTLRasterDraw(const MTLDrawState& state, const MTLDrawCall& call, const MTLPassTargets& targets, bool reference)
{
  if (call.type != MTLPrimitiveTypeTriangle && call.type != MTLPrimitiveTypeTriangleStrip) return;
  if (call.count < 3) return;
  Draw d;
  if (!Prepare(d, state, targets, reference)) return;

  // Vertex i of the primitive stream.
  auto fetch = [&](NSUInteger i, Vertex& v) -> bool {
    uint32_t vid;
    if (call.indexBuffer)
    {
      bool ok;
      vid = IndexAt(call, i, ok);
      if (!ok) return false;
    }
    else
    {
      if (call.start + i > UINT32_MAX) return false;
      vid = (uint32_t)(call.start + i);
    }
    ShadeVertex(d, vid, v);
    return true;
  };

  Vertex v[3];
  if (call.type == MTLPrimitiveTypeTriangle)
  {
    for (NSUInteger i = 0; i + 3 <= call.count; i += 3)
    {
      if (!fetch(i, v[0]) || !fetch(i + 1, v[1]) || !fetch(i + 2, v[2])) return;
      RasterTriangle(d, v[0], v[1], v[2]);
    }
    return;
  }
  // Strips: triangle k is (k, k+1, k+2), odd ones taken as (k+1, k, k+2) to keep one winding.
  if (!fetch(0, v[0]) || !fetch(1, v[1])) return;
  for (NSUInteger k = 0; k + 2 < call.count; ++k)
  {
    Vertex& next = v[(k + 2) % 3];
    if (!fetch(k + 2, next)) return;
    const Vertex& p0 = v[k % 3];
    const Vertex& p1 = v[(k + 1) % 3];
    if (k & 1)
      RasterTriangle(d, p1, p0, next);
    else
      RasterTriangle(d, p0, p1, next);
  }
}

void MTLRasterClearColor(MTLTexture* texture, NSUInteger level, MTLClearColor color)
{
  if (!texture || level >= texture->mipmapLevelCount()) return;
  // Every byte is written here: zeros still owed need not be paid first.
  uint32_t* owedRows = nullptr;
  MTLTexture::Level& lv = level == 0 ? texture->levelOwingZeroRows(owedRows) : texture->level(level);
  const size_t bpp = texture->bytesPerPixel();
  if (owedRows) std::fill(owedRows, owedRows + 2 * lv.height, 0u);
  if (!bpp || lv.bytes.empty()) return;
  const float rgba[4] = {(float)color.red, (float)color.green, (float)color.blue, (float)color.alpha};
  uint8_t pixel[8] = {};
  StorePixel(texture->pixelFormat(), pixel, rgba, MTLColorWriteMaskAll);
  for (size_t i = 0; i + bpp <= lv.bytes.size(); i += bpp) std::memcpy(lv.bytes.data() + i, pixel, bpp);
}

void MTLRasterClearStencil(MTLTexture* texture, NSUInteger level, uint32_t value)
{
  if (!texture || level >= texture->mipmapLevelCount() || texture->pixelFormat() != MTLPixelFormatStencil8) return;
  MTLTexture::Level& lv = texture->level(level);
  std::fill(lv.bytes.begin(), lv.bytes.end(), (uint8_t)value);
}

void MTLReadPixel(const MTLTexture* texture, NSUInteger level, NSUInteger x, NSUInteger y, float rgba[4])
{
  rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
  if (!texture || level >= texture->mipmapLevelCount()) return;
  const MTLTexture::Level& lv = texture->level(level);
  if (x >= lv.width || y >= lv.height) return;
  LoadPixel(texture->pixelFormat(), lv.bytes.data() + (y * lv.width + x) * texture->bytesPerPixel(), rgba);
}

// The CPU rasteriser behind the Metal stand-in: shader interface, captured draw state, triangle setup, the
// per-pixel reference path and the span path, stencil, blending and texture sampling. Internal to sdk/Metal.
#pragma once

#include <Metal/Metal.h>

#include <cstdint>
#include <string>

// ---- A retained pointer for captured state ----
template <class T>
class MTLRef
{
public:
  MTLRef() = default;
  MTLRef(T* p) : mP(p) // NOLINT: implicit from a raw pointer on purpose
  {
    if (mP) mP->retain();
  }
  MTLRef(const MTLRef& o) : MTLRef(o.mP) {}
  MTLRef& operator=(const MTLRef& o)
  {
    if (o.mP) o.mP->retain();
    if (mP) mP->release();
    mP = o.mP;
    return *this;
  }
  ~MTLRef()
  {
    if (mP) mP->release();
  }
  T* get() const { return mP; }
  T* operator->() const { return mP; }
  explicit operator bool() const { return mP != nullptr; }

private:
  T* mP = nullptr;
};

// ---- Shaders written in C++ ----
inline constexpr int kMTLMaxVaryings = 8;

// A buffer argument as a shader sees it: the bytes from the bound offset to the buffer's end.
struct MTLShaderBuffer
{
  const uint8_t* bytes = nullptr;
  size_t length = 0;
};

struct MTLShaderResources
{
  MTLShaderBuffer vertexBuffers[MTLMaxBufferArguments];
  MTLShaderBuffer fragmentBuffers[MTLMaxBufferArguments];
  const MTLTexture* textures[MTLMaxTextureArguments] = {};
  const MTLSamplerState* samplers[MTLMaxSamplerArguments] = {};
};

struct MTLVertexInput
{
  float attributes[MTLMaxVertexAttributes][4];
  uint32_t vertexID;
};

struct MTLVertexOutput
{
  float position[4]; // clip space
  float varyings[kMTLMaxVaryings];
};

struct MTLFragmentInput
{
  float x, y;             // window position of the pixel centre
  const float* varyings;  // interpolated
  const float* ddx;       // d(varying)/dx per pixel, constant over the triangle
  const float* ddy;
  bool frontFacing;
};

using MTLVertexShader = void (*)(const MTLVertexInput& in, const MTLShaderResources& res, MTLVertexOutput& out);
// Answers false to discard the fragment; else writes a colour (RGBA, premultiplied as the pipeline expects).
using MTLFragmentShader = bool (*)(const MTLFragmentInput& in, const MTLShaderResources& res, float color[4]);

// A run of fragments of one row of one triangle, shaded together: fragment j sits at (x0 + j, y) and reads
// varyings[j * kMTLMaxVaryings ...]. Gives the same colours and discards as the per-fragment function.
struct MTLFragmentSpan
{
  int count;
  float x0, y; // window position of the first pixel centre
  const float* varyings;
  const float* ddx;
  const float* ddy;
  bool frontFacing;
};

// A fragment shader's per-draw state: what it reads from its uniforms, evaluated once per draw.
struct MTLPreparedFragment;
using MTLSpanShader = void (*)(const MTLPreparedFragment& prepared, const MTLShaderResources& res,
                               const MTLFragmentSpan& span, float* rgba, uint8_t* keep);
// Optional: when every fragment of a run takes as its colour, and is kept with, one RGBA8 texel / 255 (its
// colour channels times its alpha when texelsStraight), the texels following each other along the run, answers
// the first texel; else null. first and last: the varyings of the run's end fragments.
using MTLTexelRun = const uint8_t* (*)(const MTLPreparedFragment& prepared, const float* first, const float* last,
                                        int count);
struct MTLPreparedFragment
{
  alignas(16) unsigned char data[320];
  MTLSpanShader shade = nullptr;
  MTLTexelRun texelRun = nullptr;
  bool texelsStraight = false;
  bool mayDiscard = true;    // false: keep[] is always 1
  bool discardsAll = false;  // every fragment of the draw is discarded
};
// Fills `out` for a draw with these resources; false: shade fragment by fragment.
using MTLPrepareFragment = bool (*)(const MTLShaderResources& res, MTLPreparedFragment& out);

struct MTLShaderEntry
{
  const char* name;
  MTLFunctionType type;
  int varyingCount;
  MTLVertexShader vertex;
  MTLFragmentShader fragment;
  bool mayDiscard;
  MTLPrepareFragment prepare; // optional
};

// The built-in shader of that name, or null.
const MTLShaderEntry* MTLFindShader(const std::string& name);

// Samples a texture at normalised coordinates (u, v); the derivatives (per pixel) choose the mip level and
// between the minification and magnification filters. No texture gives (0, 0, 0, 0); no sampler the defaults.
void MTLSampleTexture(const MTLTexture* texture, const MTLSamplerState* sampler, float u, float v, float dudx,
                      float dvdx, float dudy, float dvdy, float out[4]);

// ---- What a draw captures ----
struct MTLDrawState
{
  MTLRef<MTLRenderPipelineState> pipeline;
  MTLRef<MTLDepthStencilState> depthStencil;
  MTLRef<MTLBuffer> vertexBuffers[MTLMaxBufferArguments];
  NSUInteger vertexOffsets[MTLMaxBufferArguments] = {};
  MTLRef<MTLBuffer> fragmentBuffers[MTLMaxBufferArguments];
  NSUInteger fragmentOffsets[MTLMaxBufferArguments] = {};
  MTLRef<MTLTexture> textures[MTLMaxTextureArguments];
  MTLRef<MTLSamplerState> samplers[MTLMaxSamplerArguments];
  MTLViewport viewport{0, 0, 0, 0, 0, 1};
  bool hasScissor = false;
  MTLScissorRect scissor{0, 0, 0, 0};
  MTLCullMode cullMode = MTLCullModeNone;
  MTLWinding winding = MTLWindingClockwise;
  uint32_t stencilRefFront = 0, stencilRefBack = 0;
};

struct MTLPassTargets
{
  MTLTexture* color = nullptr;
  NSUInteger colorLevel = 0;
  MTLTexture* stencil = nullptr;
  NSUInteger stencilLevel = 0;
};

struct MTLDrawCall
{
  MTLPrimitiveType type = MTLPrimitiveTypeTriangle;
  NSUInteger start = 0, count = 0;
  MTLBuffer* indexBuffer = nullptr; // non-null: indexed draw of `count` indexes
  MTLIndexType indexType = MTLIndexTypeUInt32;
  NSUInteger indexOffset = 0;
};

// Runs one draw into the pass's attachments. reference: visit every pixel of the target and honour every state
// literally; else the span path (same pixels, fewer visits). [GPU thread, texture memory locked]
void MTLRasterDraw(const MTLDrawState& state, const MTLDrawCall& call, const MTLPassTargets& targets, bool reference);

// Clears a colour level / stencil level (load action clear). [GPU thread, texture memory locked]
void MTLRasterClearColor(MTLTexture* texture, NSUInteger level, MTLClearColor color);
void MTLRasterClearStencil(MTLTexture* texture, NSUInteger level, uint32_t value);

// Reads / writes one pixel of a colour level as RGBA floats in 0…1 (formats without a channel read 0, alpha 1).
void MTLReadPixel(const MTLTexture* texture, NSUInteger level, NSUInteger x, NSUInteger y, float rgba[4]);

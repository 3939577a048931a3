// The CPU Metal's rasterisation rules, stencil, blending and mipmaps, checked against the rules written out here,
// against Cairo's non-antialiased fills, and its span path against its per-pixel reference path. (Sampling is
// the back end's image-pattern comparison with Cairo.)

#include "support/metal_rig.h"

#include <QuartzCore/QuartzCore.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <random>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

using namespace metaltest;

namespace
{

// Each draw adds 1/255 to red: a pixel's red value counts how often it was touched.
constexpr Blend kAdd{true, MTLBlendFactorOne, MTLBlendFactorOne, MTLBlendFactorOne, MTLBlendFactorOne};
const Uniforms kCount = Solid(1.0f / 255.0f, 0, 0, 0);

// Whether (px, py) lies within d of an edge of the closed polygon.
bool NearEdge(const std::vector<std::pair<float, float>>& poly, double px, double py, double d)
{
  for (size_t i = 0; i < poly.size(); ++i)
  {
    const double ax = poly[i].first, ay = poly[i].second;
    const double bx = poly[(i + 1) % poly.size()].first, by = poly[(i + 1) % poly.size()].second;
    const double ex = bx - ax, ey = by - ay, len2 = ex * ex + ey * ey;
    const double t = std::clamp(((px - ax) * ex + (py - ay) * ey) / len2, 0.0, 1.0);
    if (std::hypot(px - ax - t * ex, py - ay - t * ey) < d) return true;
  }
  return false;
}

std::string ArtefactPath(const std::string& name)
{
  return std::string(::testing::TempDir()) + name + ".png";
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Coverage: the top-left rule, culling, strips and indexes
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalRaster, TrianglesSharingAnEdgeTouchEveryPixelOnce)
{
  Rig rig;
  MTLRenderPipelineState* add = rig.Pipeline(kAdd);
  MTLTexture* target = rig.Texture(24, 24, MTLPixelFormatRGBA8Unorm);
  // Squares split along a diagonal, with corners on pixel centres, on pixel edges and in between; a fan of
  // triangles around an interior point whose shared edges pass through centres.
  struct Case
  {
    float x0, y0, x1, y1;
  };
  const Case cases[] = {{2.5f, 2.5f, 20.5f, 20.5f}, {2, 2, 20, 20}, {1.25f, 3.75f, 19.6f, 21.1f}, {4, 4.5f, 16, 16.5f}};
  for (const Case& c : cases)
  {
    const V a{c.x0, c.y0, 0, 0}, b{c.x1, c.y0, 0, 0}, d{c.x0, c.y1, 0, 0}, e{c.x1, c.y1, 0, 0};
    const V m{(c.x0 + c.x1) / 2, (c.y0 + c.y1) / 2, 0, 0};
    for (const auto& verts : {std::vector<V>{a, b, e, a, e, d}, std::vector<V>{a, b, m, b, e, m, e, d, m, d, a, m}})
    {
      rig.Pass(target, nullptr, {Draw(verts, add, nullptr, kCount)});
      const auto px = Rig::Bytes(target);
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
        {
          const float cx = x + 0.5f, cy = y + 0.5f;
          // Inside the half-open square [x0, x1) × [y0, y1) of centres, by the top-left rule.
          const bool inside = cx >= c.x0 && cx < c.x1 && cy >= c.y0 && cy < c.y1;
          ASSERT_EQ(px[(y * 24 + x) * 4], inside ? 1 : 0) << "square " << c.x0 << "," << c.y0 << " pixel " << x << ","
                                                          << y << " fan " << (verts.size() > 6);
        }
    }
  }
}

TEST(MetalRaster, CullingByWinding)
{
  Rig rig;
  MTLRenderPipelineState* p = rig.Pipeline();
  MTLTexture* target = rig.Texture(8, 8, MTLPixelFormatRGBA8Unorm);
  // On screen (y down) a→b→c below runs clockwise; reversed it runs counter-clockwise.
  const V a{1, 1, 0, 0}, b{7, 1, 0, 0}, c{1, 7, 0, 0};
  struct Case
  {
    bool clockwise;
    MTLCullMode cull;
    MTLWinding front;
    bool drawn;
  };
  const Case cases[] = {
    {false, MTLCullModeNone, MTLWindingClockwise, true},        {true, MTLCullModeBack, MTLWindingCounterClockwise, false},
    {false, MTLCullModeBack, MTLWindingCounterClockwise, true}, {true, MTLCullModeBack, MTLWindingClockwise, true},
    {true, MTLCullModeFront, MTLWindingCounterClockwise, true},
  };
  for (const Case& k : cases)
  {
    DrawSpec s = Draw(k.clockwise ? std::vector<V>{a, b, c} : std::vector<V>{a, c, b}, p);
    s.cull = k.cull;
    s.winding = k.front;
    rig.Pass(target, nullptr, {s});
    EXPECT_EQ(Rig::Bytes(target)[(2 * 8 + 2) * 4 + 3], k.drawn ? 255 : 0)
      << "cw " << k.clockwise << " cull " << k.cull << " front " << k.front;
  }
}

TEST(MetalRaster, StripsAndIndexedDrawsCoverLikeTriangleLists)
{
  Rig rig;
  MTLRenderPipelineState* add = rig.Pipeline(kAdd);
  MTLTexture* a = rig.Texture(32, 16, MTLPixelFormatRGBA8Unorm);
  MTLTexture* b = rig.Texture(32, 16, MTLPixelFormatRGBA8Unorm);
  // A zig-zag band of six vertices: four triangles.
  const std::vector<V> strip = {{1.3f, 2.2f, 0, 0}, {3.1f, 13.6f, 0, 0}, {10.7f, 1.4f, 0, 0},
                                {12.2f, 14.9f, 0, 0}, {22.5f, 3.3f, 0, 0}, {30.9f, 12.1f, 0, 0}};
  std::vector<V> list;
  for (size_t k = 0; k + 2 < strip.size(); ++k)
    list.insert(list.end(), {strip[k], strip[k + 1], strip[k + 2]});
  DrawSpec s = Draw(strip, add, nullptr, kCount);
  s.cull = MTLCullModeBack; // a strip keeps one winding for all its triangles
  s.type = MTLPrimitiveTypeTriangleStrip;
  rig.Pass(a, nullptr, {s});
  const auto stripPixels = Rig::Bytes(a);
  int touched = 0;
  for (size_t i = 0; i < stripPixels.size(); i += 4)
  {
    ASSERT_LE(stripPixels[i], 1) << "pixel " << i / 4 << " touched twice";
    touched += stripPixels[i];
  }
  EXPECT_GT(touched, 200);

  // The same triangles as a list, without culling (odd list triangles run the other way).
  s.type = MTLPrimitiveTypeTriangle;
  s.cull = MTLCullModeNone;
  s.verts = list;
  rig.Pass(b, nullptr, {s});
  EXPECT_EQ(Rig::Bytes(b), stripPixels);

  // Indexed (16-bit), with the vertices stored once.
  s.verts = strip;
  for (uint32_t k = 0; k + 2 < strip.size(); ++k) s.indexes.insert(s.indexes.end(), {k, k + 1, k + 2});
  s.indexes16 = true;
  rig.Pass(b, nullptr, {s});
  EXPECT_EQ(Rig::Bytes(b), stripPixels);
  // An index past the vertex data reads zeros rather than memory outside the buffer: a vertex at the origin.
  s.indexes = {0, 1, 100000};
  s.indexes16 = false;
  rig.Pass(b, nullptr, {s});
  DrawSpec origin = s;
  origin.indexes.clear();
  origin.verts = {strip[0], strip[1], V{0, 0, 0, 0}};
  rig.Pass(a, nullptr, {origin});
  EXPECT_EQ(Rig::Bytes(b), Rig::Bytes(a));
  EXPECT_NE(Rig::Bytes(a), std::vector<uint8_t>(32 * 16 * 4, 0));
}

// ---------------------------------------------------------------------------------------------------------------
// Stencil
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalRaster, StencilOperations)
{
  Rig rig;
  MTLRenderPipelineState* p = rig.Pipeline({}, MTLPixelFormatRGBA8Unorm, true);
  MTLTexture* color = rig.Texture(4, 4, MTLPixelFormatRGBA8Unorm);
  MTLTexture* stencil = rig.Texture(4, 4, MTLPixelFormatStencil8);
  struct Case
  {
    MTLStencilOperation op;
    uint8_t before, ref, writeMask, after;
  };
  const Case cases[] = {
    {MTLStencilOperationKeep, 7, 3, 0xff, 7},
    {MTLStencilOperationZero, 7, 3, 0xff, 0},
    {MTLStencilOperationReplace, 7, 3, 0xff, 3},
    {MTLStencilOperationIncrementClamp, 255, 0, 0xff, 255},
    {MTLStencilOperationDecrementClamp, 0, 0, 0xff, 0},
    {MTLStencilOperationInvert, 0x0f, 0, 0xff, 0xf0},
    {MTLStencilOperationIncrementWrap, 255, 0, 0xff, 0},
    {MTLStencilOperationDecrementWrap, 0, 0, 0xff, 255},
    {MTLStencilOperationReplace, 0xa5, 0x3c, 0x0f, 0xac}, // only the low nibble is written
  };
  for (const Case& c : cases)
  {
    for (bool onPass : {true, false})
    {
      StencilFace f;
      f.compare = onPass ? MTLCompareFunctionAlways : MTLCompareFunctionNever;
      (onPass ? f.pass : f.fail) = c.op;
      f.writeMask = c.writeMask;
      DrawSpec s = Draw(Quad(0, 0, 4, 4), p, rig.Stencil(f));
      s.ref = c.ref;
      rig.Pass(color, stencil, {s}, std::nullopt, c.before);
      EXPECT_EQ(Rig::Bytes(stencil)[5], c.after) << "op " << c.op << " before " << int(c.before) << " on pass " << onPass;
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Blending
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalRaster, BlendFactorsFollowTheFormula)
{
  Rig rig;
  MTLTexture* target = rig.Texture(2, 2, MTLPixelFormatRGBA8Unorm);
  const double S[4] = {0.6 * 0.5, 0.2 * 0.5, 0.9 * 0.5, 0.5}; // premultiplied source
  const double D8[4] = {0.2, 0.4, 0.8, 0.6};
  // The destination as stored (8 bits) is what the blend reads.
  double D[4];
  for (int i = 0; i < 4; ++i) D[i] = std::round(D8[i] * 255) / 255;
  // Factor value for channel i (3 = alpha), written out from the blend factor definitions.
  auto factor = [&](MTLBlendFactor f, int i) -> double {
    switch (f)
    {
    case MTLBlendFactorZero: return 0;
    case MTLBlendFactorOne: return 1;
    case MTLBlendFactorSourceColor: return S[i];
    case MTLBlendFactorOneMinusSourceColor: return 1 - S[i];
    case MTLBlendFactorSourceAlpha: return S[3];
    case MTLBlendFactorOneMinusSourceAlpha: return 1 - S[3];
    case MTLBlendFactorDestinationColor: return D[i];
    case MTLBlendFactorOneMinusDestinationColor: return 1 - D[i];
    case MTLBlendFactorDestinationAlpha: return D[3];
    case MTLBlendFactorOneMinusDestinationAlpha: return 1 - D[3];
    case MTLBlendFactorSourceAlphaSaturated: return i == 3 ? 1 : std::min(S[3], 1 - D[3]);
    default: return NAN;
    }
  };
  for (int sf = 0; sf <= 10; ++sf)
    for (int df = 0; df <= 10; ++df)
    {
      Blend b{true, (MTLBlendFactor)sf, (MTLBlendFactor)df, (MTLBlendFactor)sf, (MTLBlendFactor)df};
      const DrawSpec s = Draw(Quad(0, 0, 2, 2), rig.Pipeline(b), nullptr, Solid((float)S[0], (float)S[1], (float)S[2], (float)S[3]));
      rig.Pass(target, nullptr, {s}, MTLClearColor{D8[0], D8[1], D8[2], D8[3]});
      const auto px = Rig::Bytes(target);
      for (int i = 0; i < 4; ++i)
      {
        double expected = S[i] * factor((MTLBlendFactor)sf, i) + D[i] * factor((MTLBlendFactor)df, i);
        expected = std::clamp(expected, 0.0, 1.0) * 255;
        EXPECT_NEAR(px[i], expected, 0.51 + 1e-3) << "src " << sf << " dst " << df << " channel " << i;
      }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Sampling
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalRaster, MipmapsAndMinification)
{
  Rig rig;
  MTLTexture* tex = rig.Texture(8, 8, MTLPixelFormatRGBA8Unorm, true);
  ASSERT_EQ(tex->mipmapLevelCount(), 4u);
  // A checkerboard of black and white texels averages to mid-grey one level down.
  std::vector<uint8_t> texels(8 * 8 * 4);
  for (int i = 0; i < 64; ++i)
  {
    const uint8_t v = ((i % 8) + (i / 8)) % 2 ? 255 : 0;
    texels[i * 4] = texels[i * 4 + 1] = texels[i * 4 + 2] = v, texels[i * 4 + 3] = 255;
  }
  tex->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 8, 8), 0, texels.data(), 32);
  {
    NSAutoreleasePool pool;
    MTLCommandBuffer* cb = rig.queue->commandBuffer();
    MTLBlitCommandEncoder* blit = cb->blitCommandEncoder();
    blit->generateMipmapsForTexture(tex);
    blit->endEncoding();
    cb->commit();
    cb->waitUntilCompleted();
  }
  uint8_t level3[4];
  tex->getBytes_bytesPerRow_fromRegion_mipmapLevel(level3, 4, MTLRegionMake2D(0, 0, 1, 1), 3);
  EXPECT_EQ(level3[0], 128);

  // Drawn at a quarter of its size the chequer is grey with mip filtering and black or white without.
  MTLTexture* target = rig.Texture(2, 2, MTLPixelFormatRGBA8Unorm);
  Uniforms textured = Solid(1, 1, 1, 1); // the colour is texel × tint
  textured.type = 2;
  for (auto mip : {MTLSamplerMipFilterLinear, MTLSamplerMipFilterNotMipmapped})
  {
    DrawSpec s = Draw({{0, 0, 0, 0}, {2, 0, 1, 0}, {0, 2, 0, 1}, {2, 0, 1, 0}, {2, 2, 1, 1}, {0, 2, 0, 1}},
                      rig.Pipeline(Blend{false}), nullptr, textured);
    s.texture = tex;
    s.sampler = rig.Sampler(false, false, mip);
    rig.Pass(target, nullptr, {s});
    const int v = Rig::Bytes(target)[0];
    if (mip == MTLSamplerMipFilterNotMipmapped)
      EXPECT_TRUE(v == 0 || v == 255) << v;
    else
      EXPECT_NEAR(v, 128, 1) << "mip filter " << mip;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Span path == reference path
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Random scenes through the shader with or without edge antialiasing.
void ExpectSpanPathMatchesReference(bool antialias)
{
  Rig rig(antialias);
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> coord(-8.0f, 72.0f), unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> pick(0, 1 << 20);
  MTLTexture* tex = rig.Texture(5, 3, MTLPixelFormatRGBA8Unorm);
  std::vector<uint8_t> texels(5 * 3 * 4);
  for (auto& t : texels) t = (uint8_t)pick(rng);
  tex->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 5, 3), 0, texels.data(), 20);
  const MTLBlendFactor factors[] = {MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha, MTLBlendFactorZero,
                                    MTLBlendFactorDestinationAlpha, MTLBlendFactorSourceAlphaSaturated};
  const MTLStencilOperation ops[] = {MTLStencilOperationKeep, MTLStencilOperationZero, MTLStencilOperationIncrementWrap,
                                     MTLStencilOperationDecrementWrap, MTLStencilOperationIncrementClamp};
  const MTLCompareFunction cmps[] = {MTLCompareFunctionAlways, MTLCompareFunctionEqual, MTLCompareFunctionNotEqual,
                                     MTLCompareFunctionLess};
  for (int scene = 0; scene < 24; ++scene)
  {
    std::vector<DrawSpec> draws;
    for (int k = 0; k < 10; ++k)
    {
      DrawSpec s;
      const int n = 3 + pick(rng) % 8;
      for (int i = 0; i < n; ++i) s.verts.push_back({coord(rng), coord(rng) * 0.75f, unit(rng) * 2, unit(rng) * 2});
      if (pick(rng) % 4 == 0)
        for (int i = 0; i < 3; ++i) s.verts[i].x = std::round(s.verts[i].x) + 0.5f; // centres on edges
      s.type = pick(rng) % 2 ? MTLPrimitiveTypeTriangleStrip : MTLPrimitiveTypeTriangle;
      Blend b{pick(rng) % 5 != 0, factors[pick(rng) % 5], factors[pick(rng) % 5], factors[pick(rng) % 5],
              factors[pick(rng) % 5]};
      if (pick(rng) % 3 == 0) b = Blend{}; // source-over, the common case
      s.pipeline = rig.Pipeline(b, pick(rng) % 2 ? MTLPixelFormatBGRA8Unorm : MTLPixelFormatRGBA8Unorm, pick(rng) % 4 == 0);
      StencilFace f, g;
      f.compare = cmps[pick(rng) % 4], g.compare = cmps[pick(rng) % 4];
      f.pass = ops[pick(rng) % 5], f.fail = ops[pick(rng) % 5], g.pass = ops[pick(rng) % 5], g.fail = ops[pick(rng) % 5];
      s.stencil = pick(rng) % 3 ? rig.Stencil(f, g) : nullptr;
      s.ref = pick(rng) % 3;
      s.cull = (MTLCullMode)(pick(rng) % 3);
      s.uniforms = Solid(unit(rng) * 0.5f, unit(rng) * 0.5f, unit(rng) * 0.5f, 0.5f + unit(rng) * 0.5f);
      s.uniforms.strokeMult = 1 + unit(rng) * 3;
      s.uniforms.strokeThr = pick(rng) % 4 ? -1.0f : 0.5f; // sometimes discards
      if (pick(rng) % 8 == 0) s.uniformOffset = 200; // no whole record: every fragment discarded
      const int paint = pick(rng) % 5; // solid, textured, gradient, image pattern, solid
      if (paint == 1 || paint == 3)
      {
        s.uniforms.type = paint == 1 ? 2 : 1;
        s.uniforms.texType = pick(rng) % 3;
        s.texture = tex;
        s.sampler = rig.Sampler(pick(rng) % 2, pick(rng) % 2);
        // Image patterns: a scaled, sometimes rotated texture space; some 1:1 on texel centres.
        s.uniforms.extent[0] = 5.0f * (0.5f + unit(rng) * 3), s.uniforms.extent[1] = 3.0f * (0.5f + unit(rng) * 3);
        if (pick(rng) % 3 == 0) s.uniforms.extent[0] = 5.0f, s.uniforms.extent[1] = 3.0f;
        s.uniforms.paintMat[1] = pick(rng) % 2 ? unit(rng) - 0.5f : 0.0f;
        s.uniforms.paintMat[8] = coord(rng), s.uniforms.paintMat[9] = coord(rng);
      }
      else if (paint == 2)
      {
        s.uniforms.outerCol[0] = unit(rng), s.uniforms.outerCol[3] = unit(rng);
        s.uniforms.extent[0] = 5 + unit(rng) * 20, s.uniforms.extent[1] = 5 + unit(rng) * 20;
        s.uniforms.radius = unit(rng) * 5, s.uniforms.feather = pick(rng) % 4 ? unit(rng) * 10 : 0.0f;
        s.uniforms.paintMat[8] = -coord(rng), s.uniforms.paintMat[9] = -coord(rng);
      }
      if (pick(rng) % 3 == 0)
      {
        // A scissor transform that depends on the position, or a constant one placed away from zero.
        const bool moving = pick(rng) % 2;
        s.uniforms.scissorMat[0] = moving ? 1.0f : 0.0f, s.uniforms.scissorMat[5] = moving ? 1.0f : -0.0f;
        s.uniforms.scissorMat[8] = -coord(rng), s.uniforms.scissorMat[9] = -coord(rng) * 0.5f;
        s.uniforms.scissorExt[0] = unit(rng) * 30, s.uniforms.scissorExt[1] = unit(rng) * 20;
        s.uniforms.scissorScale[0] = s.uniforms.scissorScale[1] = 0.5f + unit(rng);
      }
      if (pick(rng) % 3 == 0)
        s.scissor = MTLScissorRect{(NSUInteger)(pick(rng) % 40), (NSUInteger)(pick(rng) % 30),
                                   (NSUInteger)(pick(rng) % 50), (NSUInteger)(pick(rng) % 50)};
      draws.push_back(s);
    }
    std::vector<uint8_t> results[2][2];
    for (int reference = 0; reference < 2; ++reference)
    {
      rig.device->setUsesReferenceRasterizer(reference ? YES : NO);
      // One target per format; the pipeline's format decides which one the draw goes to.
      for (MTLPixelFormat format : {MTLPixelFormatRGBA8Unorm, MTLPixelFormatBGRA8Unorm})
      {
        MTLTexture* color = rig.Texture(64, 48, format);
        MTLTexture* stencil = rig.Texture(64, 48, MTLPixelFormatStencil8);
        rig.Pass(color, stencil, draws, MTLClearColor{0.1, 0.2, 0.3, 0.4}, 1u);
        const int slot = format == MTLPixelFormatBGRA8Unorm;
        results[reference][slot] = Rig::Bytes(color);
        const auto st = Rig::Bytes(stencil);
        results[reference][slot].insert(results[reference][slot].end(), st.begin(), st.end());
      }
    }
    rig.device->setUsesReferenceRasterizer(NO);
    EXPECT_EQ(results[0][0], results[1][0]) << "scene " << scene << (antialias ? " (antialiased)" : "");
    EXPECT_EQ(results[0][1], results[1][1]) << "scene " << scene << (antialias ? " (antialiased)" : "");
  }
}

} // namespace

TEST(MetalRaster, SpanPathMatchesReferencePathOnRandomScenes)
{
  ExpectSpanPathMatchesReference(true);
  ExpectSpanPathMatchesReference(false);
}

TEST(MetalRaster, SourceOverOfOutOfRangeColoursMatchesReferencePath)
{
  // Colours a shader may hand over beyond 0…1 (negative, above one, infinite, not a number), blended over
  // every byte value: the span path's writer and the reference's general blend store the same bytes.
  Rig rig;
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const float colours[][4] = {
    {0.2f, 0.4f, 0.1f, 0.5f},  {-0.25f, 1.5f, 0.3f, 0.6f}, {0.3f, 0.2f, 0.1f, 1.0f},  {0.5f, 0.5f, 0.5f, 1.25f},
    {0.1f, 0.2f, 0.3f, -0.5f}, {inf, -inf, 0.2f, 0.9f},    {0.4f, nan, 0.2f, 0.7f},   {0.4f, 0.3f, 0.2f, nan},
    {0.0f, 0.0f, 0.0f, 0.0f},  {-0.0f, 0.999f, 1e-9f, 0.001f}, {0.2f, 0.1f, 0.0f, -inf},
  };
  // Every byte value in every channel of the destination.
  std::vector<uint8_t> ground(64 * 16 * 4);
  for (size_t i = 0; i < ground.size(); ++i) ground[i] = (uint8_t)((i * 7 + i / 256) & 255);
  for (MTLPixelFormat format : {MTLPixelFormatRGBA8Unorm, MTLPixelFormatBGRA8Unorm})
    for (const auto& c : colours)
    {
      std::vector<uint8_t> results[2];
      for (int reference = 0; reference < 2; ++reference)
      {
        rig.device->setUsesReferenceRasterizer(reference ? YES : NO);
        MTLTexture* target = rig.Texture(64, 16, format);
        target->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 64, 16), 0, ground.data(), 64 * 4);
        rig.Pass(target, nullptr, {Draw(Quad(0, 0, 64, 16), rig.Pipeline(Blend{}, format), nullptr,
                                        Solid(c[0], c[1], c[2], c[3]))},
                 std::nullopt);
        results[reference] = Rig::Bytes(target);
      }
      EXPECT_EQ(results[0], results[1]) << "format " << format << " colour " << c[0] << " " << c[1] << " " << c[2]
                                        << " " << c[3];
    }
  rig.device->setUsesReferenceRasterizer(NO);
}

// ---------------------------------------------------------------------------------------------------------------
// Against Cairo: filled polygons without antialiasing
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalRaster, FilledPolygonsMatchCairoWithoutAntialiasing)
{
  Rig rig;
  constexpr int W = 96, H = 80;
  MTLRenderPipelineState* stencilOnly = rig.Pipeline({}, MTLPixelFormatBGRA8Unorm, true);
  MTLRenderPipelineState* cover = rig.Pipeline({}, MTLPixelFormatBGRA8Unorm);
  StencilFace inc, dec, nz;
  inc.pass = MTLStencilOperationIncrementWrap;
  dec.pass = MTLStencilOperationDecrementWrap;
  nz.compare = MTLCompareFunctionNotEqual;
  nz.fail = nz.pass = MTLStencilOperationZero;
  // Vertex coordinates avoid pixel centres so that both tie rules agree.
  const std::vector<std::vector<std::pair<float, float>>> polygons = {
    {{10.3f, 8.2f}, {80.7f, 14.1f}, {60.2f, 70.9f}, {14.6f, 55.3f}},                           // convex
    {{48.1f, 4.2f}, {58.9f, 70.3f}, {6.4f, 26.7f}, {90.2f, 28.1f}, {36.3f, 72.6f}},            // star (overlaps)
    {{5.2f, 5.1f}, {90.3f, 5.4f}, {90.1f, 75.2f}, {50.3f, 20.2f}, {5.4f, 75.3f}},              // concave
  };
  for (size_t k = 0; k < polygons.size(); ++k)
  {
    const auto& poly = polygons[k];
    // Ours: a fan into the stencil (non-zero winding), then cover.
    DrawSpec fan = Draw({}, stencilOnly, rig.Stencil(inc, dec));
    for (size_t i = 1; i + 1 < poly.size(); ++i)
      for (size_t j : {size_t(0), i, i + 1}) fan.verts.push_back({poly[j].first, poly[j].second, 0, 0});
    const DrawSpec c = Draw(Quad(0, 0, W, H), cover, rig.Stencil(nz));
    MTLTexture* color = rig.Texture(W, H, MTLPixelFormatBGRA8Unorm);
    MTLTexture* stencil = rig.Texture(W, H, MTLPixelFormatStencil8);
    rig.Pass(color, stencil, {fan, c});
    const auto ours = Rig::Bytes(color);

    // Cairo: the same outline, winding rule, no antialiasing.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_move_to(cr, poly[0].first, poly[0].second);
    for (size_t i = 1; i < poly.size(); ++i) cairo_line_to(cr, poly[i].first, poly[i].second);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_fill(cr);
    cairo_surface_flush(surface);
    const uint8_t* ref = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int differ = 0, skipped = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
      {
        // Centres within 1/32 pixel of an edge depend on each rasteriser's sub-pixel precision: skipped.
        if (NearEdge(poly, x + 0.5, y + 0.5, 1.0 / 32))
        {
          ++skipped;
          continue;
        }
        differ += (ref[y * stride + x * 4 + 3] != 0) != (ours[(y * W + x) * 4 + 3] != 0);
      }
    if (differ)
    {
      cairo_surface_write_to_png(surface, ArtefactPath("cairo_polygon_" + std::to_string(k)).c_str());
      CAWriteTexturePNG(color, ArtefactPath("metal_polygon_" + std::to_string(k)).c_str(), YES);
    }
    EXPECT_EQ(differ, 0) << "polygon " << k;
    EXPECT_LT(skipped, 40) << "polygon " << k; // a thin band along the outline only
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// The layer: drawables, presentation and PNG read-back
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalLayer, PresentsDrawablesAndSavesThemAsPNG)
{
  Rig rig;
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDevice(rig.device);
  layer->setDrawableSize(CGSizeMake(0.5, 10));
  EXPECT_EQ(layer->nextDrawable(), nullptr); // a side below one pixel
  layer->setDrawableSize(CGSizeMake(12.9, 8));
  EXPECT_FALSE(layer->writeLastFrameToPNG(ArtefactPath("none").c_str()));
  {
    NSAutoreleasePool pool;
    CAMetalDrawable* drawable = layer->nextDrawable();
    ASSERT_NE(drawable, nullptr);
    ASSERT_EQ(drawable->texture()->pixelFormat(), MTLPixelFormatBGRA8Unorm);
    // Half-transparent orange (premultiplied) over the left half.
    rig.Pass(drawable->texture(), nullptr,
             {Draw(Quad(0, 0, 6, 8), rig.Pipeline(Blend{false}, MTLPixelFormatBGRA8Unorm), nullptr,
                   Solid(0.5f, 0.25f, 0.0f, 0.5f))});
    MTLCommandBuffer* cb = rig.queue->commandBuffer();
    cb->presentDrawable(drawable);
    cb->commit();
    cb->waitUntilCompleted();
  }
  EXPECT_EQ(layer->presentedCount(), 1u);
  const std::string path = ArtefactPath("metal_layer_frame");
  ASSERT_TRUE(layer->writeLastFrameToPNG(path.c_str()));
  int w = 0, h = 0, n = 0;
  uint8_t* png = stbi_load(path.c_str(), &w, &h, &n, 4);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(w, 12);
  EXPECT_EQ(h, 8);
  // Straight colour in the file: (255, 128, 0) at alpha 128; nothing on the right.
  EXPECT_NEAR(png[0], 255, 1);
  EXPECT_NEAR(png[1], 128, 1);
  EXPECT_EQ(png[2], 0);
  EXPECT_NEAR(png[3], 128, 1);
  EXPECT_EQ(png[(3 * 12 + 9) * 4 + 3], 0);
  stbi_image_free(png);
  std::remove(path.c_str());
  layer->release();
}

TEST(MetalLayer, DrawableTexturesAreReusedOnlyWhenFreeAndComeBackCleared)
{
  Rig rig;
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDevice(rig.device);
  layer->setDrawableSize(CGSizeMake(4, 3));
  auto fillAndPresent = [&](CAMetalDrawable* d) {
    std::vector<uint8_t> junk(4 * 3 * 4, 0x5a);
    d->texture()->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 4, 3), 0, junk.data(), 16);
    d->present();
  };
  auto allZero = [](MTLTexture* t) {
    std::vector<uint8_t> px(t->width() * t->height() * 4, 1);
    t->getBytes_bytesPerRow_fromRegion_mipmapLevel(px.data(), t->width() * 4,
                                                   MTLRegionMake2D(0, 0, t->width(), t->height()), 0);
    return std::all_of(px.begin(), px.end(), [](uint8_t b) { return b == 0; });
  };
  std::vector<MTLTexture*> seen;
  for (int frame = 0; frame < 8; ++frame)
  {
    NSAutoreleasePool pool;
    CAMetalDrawable* d = layer->nextDrawable();
    ASSERT_NE(d, nullptr);
    // Never the one on screen, and never a texture still held by a drawable.
    MTLTexture* shown = layer->copyLastPresentedTexture();
    EXPECT_NE(d->texture(), shown) << frame;
    if (shown) shown->release();
    EXPECT_TRUE(allZero(d->texture())) << frame;
    if (std::find(seen.begin(), seen.end(), d->texture()) == seen.end()) seen.push_back(d->texture());
    {
      // A second drawable taken while the first is alive gets another texture.
      CAMetalDrawable* other = layer->nextDrawable();
      ASSERT_NE(other, nullptr);
      EXPECT_NE(other->texture(), d->texture());
      EXPECT_TRUE(allZero(other->texture()));
    }
    fillAndPresent(d);
  }
  // Once the pool is warm the frames cycle through the kept textures.
  EXPECT_LE(seen.size(), (size_t)layer->maximumDrawableCount());
  // A new size or format is never served from textures of the old one.
  layer->setDrawableSize(CGSizeMake(5, 2));
  layer->setPixelFormat(MTLPixelFormatRGBA8Unorm);
  {
    NSAutoreleasePool pool;
    CAMetalDrawable* d = layer->nextDrawable();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->texture()->width(), 5u);
    EXPECT_EQ(d->texture()->height(), 2u);
    EXPECT_EQ(d->texture()->pixelFormat(), MTLPixelFormatRGBA8Unorm);
    EXPECT_TRUE(allZero(d->texture()));
  }
  layer->release();
}

TEST(MetalLayer, RecycledDrawablesReadAndDrawLikeFreshTextures)
{
  // A recycled drawable owes its zeros and pays them row by row as it is touched: whatever touches it first, the
  // bytes are those of a texture that starts at zero.
  Rig rig;
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDevice(rig.device);
  layer->setFramebufferOnly(NO); // sampled below
  constexpr NSUInteger kW = 24, kH = 14;
  layer->setDrawableSize(CGSizeMake(kW, kH));
  MTLRenderPipelineState* over = rig.Pipeline(Blend{}, MTLPixelFormatBGRA8Unorm);
  MTLRenderPipelineState* copy = rig.Pipeline(Blend{false}, MTLPixelFormatBGRA8Unorm);
  MTLRenderPipelineState* stencilOnly = rig.Pipeline(Blend{}, MTLPixelFormatBGRA8Unorm, true);
  const Uniforms half = Solid(0.25f, 0.5f, 0.125f, 0.5f);
  DrawSpec scissored = Draw(Quad(-3, -2, 30, 20), copy, nullptr, Solid(0.9f, 0.1f, 0.4f, 1));
  scissored.scissor = MTLScissorRect{5, 3, 9, 6};
  DrawSpec nowhere = Draw(Quad(2, 2, 20, 10), over, nullptr, half);
  nowhere.scissor = MTLScissorRect{0, 0, 0, 0};

  struct Case
  {
    const char* name;
    bool reference;
    // Does something to the texture and answers what can be read from it afterwards.
    std::function<std::vector<uint8_t>(MTLTexture*)> run;
  };
  auto pass = [&](std::vector<DrawSpec> draws, std::optional<MTLClearColor> clear = std::nullopt) {
    return [&rig, draws, clear](MTLTexture* t) {
      MTLTexture* stencil = rig.Texture(kW, kH, MTLPixelFormatStencil8);
      rig.Pass(t, stencil, draws, clear);
      return Rig::Bytes(t);
    };
  };
  const std::vector<DrawSpec> partial = {Draw(Quad(3.3f, 2.5f, 17.6f, 9.2f), over, nullptr, half),
                                         Draw({{1, 12, 0, 0}, {22, 4, 0, 0}, {12, 13.5f, 0, 0}}, copy, nullptr,
                                              Solid(0.2f, 0.7f, 0.3f, 0.8f))};
  const std::vector<Case> cases = {
    {"blended and copied triangles, span path", false, pass(partial)},
    {"blended and copied triangles, reference path", true, pass(partial)},
    {"a scissored copy", false, pass({scissored})},
    {"a scissored copy, reference path", true, pass({scissored})},
    {"a draw the scissor rejects", false, pass({nowhere})},
    {"a stencil-only draw", false, pass({Draw(Quad(0, 0, kW, kH), stencilOnly)})},
    {"a clear", false, pass({}, MTLClearColor{0.5, 0.25, 1, 0.75})},
    {"a clear and a blend", true, pass(partial, MTLClearColor{0.5, 0.25, 1, 0.75})},
    {"read back untouched", false, [](MTLTexture* t) { return Rig::Bytes(t); }},
    {"a region replaced", false,
     [](MTLTexture* t) {
       const std::vector<uint8_t> px(5 * 3 * 4, 0x77);
       t->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(4, 6, 5, 3), 0, px.data(), 5 * 4);
       return Rig::Bytes(t);
     }},
    {"sampled into another target", false,
     [&](MTLTexture* t) {
       MTLTexture* target = rig.Texture(kW, kH, MTLPixelFormatRGBA8Unorm);
       Uniforms textured = Solid(1, 1, 1, 1);
       textured.type = 2;
       DrawSpec s = Draw(Quad(0, 0, kW, kH), rig.Pipeline(Blend{false}), nullptr, textured);
       s.texture = t;
       s.sampler = rig.Sampler(true, false);
       rig.Pass(target, nullptr, {s}, MTLClearColor{1, 1, 1, 1});
       return Rig::Bytes(target);
     }},
  };
  for (const Case& c : cases)
  {
    rig.device->setUsesReferenceRasterizer(c.reference ? YES : NO);
    std::vector<uint8_t> recycled;
    {
      NSAutoreleasePool pool;
      MTLTexture* first = nullptr;
      {
        NSAutoreleasePool inner;
        CAMetalDrawable* d = layer->nextDrawable();
        ASSERT_NE(d, nullptr);
        first = d->texture();
        const std::vector<uint8_t> junk(kW * kH * 4, 0xa5);
        first->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, kW, kH), 0, junk.data(), kW * 4);
      }
      // Back in the pool, so the next drawable is the same texture, junk and all until it is read.
      CAMetalDrawable* again = layer->nextDrawable();
      ASSERT_NE(again, nullptr);
      ASSERT_EQ(again->texture(), first) << c.name;
      recycled = c.run(again->texture());
    }
    MTLTexture* fresh = rig.Texture(kW, kH, MTLPixelFormatBGRA8Unorm);
    EXPECT_EQ(recycled, c.run(fresh)) << c.name;
  }
  rig.device->setUsesReferenceRasterizer(NO);
  layer->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Library containers and resource bounds
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalLibrary, DamagedContainersAreRefused)
{
  MTLDevice* device = MTLCreateSystemDefaultDevice();
  const auto good = MTLLibraryContainerMake(
    {{"vertexShader", MTLFunctionTypeVertex}, {"fragmentShaderAA", MTLFunctionTypeFragment}, {"other", MTLFunctionTypeKernel}},
    12835);
  ASSERT_EQ(good.size(), 12835u);
  auto load = [&](const std::vector<uint8_t>& bytes, NSError** error) {
    dispatch_data_t data = dispatch_data_create(bytes.data(), bytes.size(), nullptr, DISPATCH_DATA_DESTRUCTOR_DEFAULT);
    MTLLibrary* lib = device->newLibraryWithData_error(data, error);
    if (data) data->release();
    return lib;
  };
  NSAutoreleasePool pool;
  NSError* error = nullptr;
  MTLLibrary* lib = load(good, &error);
  ASSERT_NE(lib, nullptr);
  // Listed but not built in, and not listed.
  EXPECT_EQ(lib->newFunctionWithName(NSString::stringWithUTF8String("other")), nullptr);
  EXPECT_EQ(lib->newFunctionWithName(NSString::stringWithUTF8String("fragmentShader")), nullptr);
  lib->release();

  struct Case
  {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"magic", good});
  cases.back().bytes[0] = 'X';
  cases.push_back({"length beyond data", std::vector<uint8_t>(good.begin(), good.begin() + 40)});
  cases.push_back({"count beyond entries", good});
  cases.back().bytes[4] = 200;
  cases.push_back({"name beyond length", MTLLibraryContainerMake({{"vertexShader", MTLFunctionTypeVertex}})});
  cases.back().bytes[17] = 0xff;
  cases.push_back({"wrong kind", MTLLibraryContainerMake({{"vertexShader", MTLFunctionTypeFragment}})});
  cases.push_back({"bad kind", MTLLibraryContainerMake({{"x", (MTLFunctionType)9}})});
  for (const Case& c : cases)
  {
    error = nullptr;
    EXPECT_EQ(load(c.bytes, &error), nullptr) << c.what;
    EXPECT_NE(error, nullptr) << c.what;
  }
  device->release();
}

TEST(MetalTexture, RegionsOutsideTheTextureCopyNothing)
{
  Rig rig;
  MTLTexture* t = rig.Texture(4, 3, MTLPixelFormatRGBA8Unorm);
  std::vector<uint8_t> src(64 * 4, 0xab), dst(64 * 4, 0x11);
  const MTLRegion bad[] = {MTLRegionMake2D(1, 0, 4, 1), MTLRegionMake2D(0, 3, 1, 1), MTLRegionMake2D(~0ul, 0, 2, 1),
                           MTLRegionMake2D(0, ~0ul - 1, 1, 3)};
  for (const MTLRegion& r : bad)
  {
    t->replaceRegion_mipmapLevel_withBytes_bytesPerRow(r, 0, src.data(), 64);
    t->getBytes_bytesPerRow_fromRegion_mipmapLevel(dst.data(), 64, r, 0);
  }
  t->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 4, 3), 0, src.data(), 8); // row too short
  t->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, 1, 1), 1, src.data(), 4); // no level 1
  EXPECT_EQ(Rig::Bytes(t), std::vector<uint8_t>(4 * 3 * 4, 0));
  EXPECT_EQ(dst, std::vector<uint8_t>(64 * 4, 0x11));
}

// Context, state stack, transforms, colours, paints, scissor and blending (the documented examples), and the
// context's texture bookkeeping as the recording back end sees it.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Ctx
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  ~Ctx() { vrDeleteInternal(ctx); }
  VRstate* S() { return vr__getState(ctx); }
};

void expectPoint(const float* t, float x, float y, float wx, float wy, float tol = 1e-5f)
{
  float ox, oy;
  vrTransformPoint(&ox, &oy, t, x, y);
  EXPECT_NEAR(ox, wx, tol);
  EXPECT_NEAR(oy, wy, tol);
}

TEST(RendererContext, CreationAndFrames)
{
  Ctx c;
  ASSERT_NE(c.ctx, nullptr);
  ASSERT_EQ(c.be.created.size(), 1u); // the font atlas: alpha, 512 x 512
  const RecordedTexture& atlas = c.be.textures[c.be.created[0]];
  EXPECT_EQ(atlas.type * 1000000 + atlas.w * 1000 + atlas.h, VR_TEXTURE_ALPHA * 1000000 + 512512);
  // Tolerances follow the device pixel ratio of the frame.
  vrBeginFrame(c.ctx, 300, 200, 2.0f);
  EXPECT_FLOAT_EQ(c.ctx->tessTol, 0.125f);
  EXPECT_FLOAT_EQ(c.ctx->distTol, 0.005f);
  EXPECT_FLOAT_EQ(c.ctx->fringeWidth, 0.5f);
  EXPECT_FLOAT_EQ(c.be.viewport[2], 2.0f);
  vrCancelFrame(c.ctx);
  vrEndFrame(c.ctx);
  EXPECT_EQ(c.be.cancels + c.be.flushes * 10 + c.be.viewports * 100, 111);

  // A refused creation or atlas texture fails creation and releases the back end.
  for (bool refuseCreate : {true, false})
  {
    RecordingBackend be;
    be.failCreate = refuseCreate;
    be.failTextureAfter = refuseCreate ? -1 : 0;
    EXPECT_EQ(be.CreateContext(), nullptr);
    EXPECT_EQ(be.deletes, 1);
    EXPECT_TRUE(be.textures.empty());
  }
  vrDeleteInternal(nullptr);
}

TEST(RendererContext, StateStack)
{
  Ctx c;
  for (int i = 0; i < 40; i++) vrSave(c.ctx);
  EXPECT_EQ(c.ctx->nstates, 32);
  for (int i = 0; i < 40; i++) vrRestore(c.ctx);
  EXPECT_EQ(c.ctx->nstates, 1);
  vrStrokeWidth(c.ctx, 3);
  vrSave(c.ctx);
  vrStrokeWidth(c.ctx, 7);
  vrRestore(c.ctx);
  EXPECT_FLOAT_EQ(c.S()->strokeWidth, 3);
  vrSave(c.ctx);
  vrBeginFrame(c.ctx, 10, 10, 1); // one default state again
  EXPECT_EQ(c.ctx->nstates, 1);
  EXPECT_FLOAT_EQ(c.S()->strokeWidth, 1);
}

TEST(RendererTransform, OrderInverseAndHelpers)
{
  Ctx c;
  float t[6];
  vrTranslate(c.ctx, 10, 0);
  vrScale(c.ctx, 2, 2); // the scale applies first
  vrCurrentTransform(c.ctx, t);
  expectPoint(t, 1, 1, 12, 2);
  vrResetTransform(c.ctx);
  vrTranslate(c.ctx, 5, 7);
  vrRotate(c.ctx, kPi / 2);
  vrCurrentTransform(c.ctx, t);
  expectPoint(t, 1, 0, 5, 8);
  vrCurrentTransform(c.ctx, nullptr);

  float inv[6] = {42};
  const float nearlySingular[6] = {0.0005f, 0, 0, 0.001f, 3, 4}; // det 5e-7
  EXPECT_EQ(vrTransformInverse(inv, nearlySingular), 0);
  expectPoint(inv, 3, 4, 3, 4); // the identity
  const float m[6] = {2, 1, -1, 3, 4, 5};
  ASSERT_EQ(vrTransformInverse(inv, m), 1);
  float p[6];
  std::copy(m, m + 6, p);
  vrTransformMultiply(p, inv);
  expectPoint(p, 7, -3, 7, -3);

  vrTransformSkewX(t, kPi / 4);
  expectPoint(t, 0, 1, 1, 1);
  vrTransformSkewY(t, kPi / 4);
  expectPoint(t, 1, 0, 1, 1);
  vrTransformTranslate(t, 1, 2);
  std::copy(m, m + 6, p);
  vrTransformPremultiply(p, t); // translate first, then m
  expectPoint(p, 0, 0, 2 * 1 - 1 * 2 + 4, 1 * 1 + 3 * 2 + 5);
  EXPECT_NEAR(vrDegToRad(180), kPi, 1e-6);
  EXPECT_NEAR(vrRadToDeg(kPi / 2), 90, 1e-4);
}

TEST(RendererColour, HslLerpAndBytes)
{
  struct Case
  {
    float h, s, l, r, g, b;
  };
  // Hue wheel points written out, and hues outside 0..1 wrapping around.
  for (const Case& k : {Case{0, 1, 0.5f, 1, 0, 0}, Case{1.0f / 3, 1, 0.5f, 0, 1, 0}, Case{2.0f / 3, 1, 0.5f, 0, 0, 1},
                        Case{0.25f, 1, 0.5f, 0.5f, 1, 0}, Case{1.25f, 1, 0.5f, 0.5f, 1, 0},
                        Case{-0.75f, 1, 0.5f, 0.5f, 1, 0}, Case{0.5f, 0, 0.25f, 0.25f, 0.25f, 0.25f},
                        Case{0, 2, 0.5f, 1, 0, 0}})
  {
    const VRcolor c = vrHSLA(k.h, k.s, k.l, 255);
    EXPECT_NEAR(c.r, k.r, 1e-6) << k.h;
    EXPECT_NEAR(c.g, k.g, 1e-6) << k.h;
    EXPECT_NEAR(c.b, k.b, 1e-6) << k.h;
    EXPECT_FLOAT_EQ(c.a, 1.0f);
  }
  const VRcolor a = vrRGBA(0, 51, 102, 255), b = vrRGBf(1, 1, 1);
  EXPECT_FLOAT_EQ(vrLerpRGBA(a, b, 1.5f).g, 1);
  EXPECT_FLOAT_EQ(vrLerpRGBA(a, b, 0.5f).g, (0.2f + 1) / 2);
  EXPECT_FLOAT_EQ(vrTransRGBA(a, 51).a, 0.2f);
  EXPECT_FLOAT_EQ(vrTransRGBAf(a, 0.3f).a, 0.3f);
}

TEST(RendererPaint, GradientsPatternsAndTheirSpace)
{
  Ctx c;
  const VRcolor i = vrRGBf(1, 0, 0), o = vrRGBf(0, 0, 1);
  VRpaint p = vrLinearGradient(c.ctx, 5, 5, 5, 5, i, o); // no length: direction (0, 1), feather 1
  EXPECT_FLOAT_EQ(p.xform[0] + p.xform[3] + p.feather, 3);
  p = vrLinearGradient(c.ctx, 0, 0, 30, 40, i, o);
  EXPECT_FLOAT_EQ(p.feather, 50);
  EXPECT_FLOAT_EQ(p.extent[1], 100000 + 25);
  expectPoint(p.xform, 0, 100000, 0, 0, 0.01f); // paint point (0, 1e5) is the start
  p = vrRadialGradient(c.ctx, 10, 20, 5, 15, i, o);
  EXPECT_FLOAT_EQ(p.radius + p.feather + p.xform[4], 30);
  p = vrBoxGradient(c.ctx, 0, 0, 40, 20, 4, 0.5f, i, o);
  EXPECT_FLOAT_EQ(p.xform[4] + p.extent[1] + p.feather, 31);
  p = vrImagePattern(c.ctx, 3, 4, 16, 8, 0, 7, 0.5f);
  EXPECT_EQ(p.image, 7);
  EXPECT_FLOAT_EQ(p.innerColor.a + p.outerColor.r, 1.5f);

  // A paint set under a transform stays in that space; colours ignore the transform.
  vrTranslate(c.ctx, 100, 0);
  vrFillPaint(c.ctx, vrRadialGradient(c.ctx, 10, 0, 1, 2, i, o));
  vrTranslate(c.ctx, 50, 0);
  EXPECT_FLOAT_EQ(c.S()->fill.xform[4], 110);
  vrStrokeColor(c.ctx, o);
  EXPECT_FLOAT_EQ(c.S()->stroke.xform[4], 0);
}

TEST(RendererScissor, SetIntersectAndReset)
{
  Ctx c;
  auto expectScissor = [&](float cx, float cy, float ex, float ey) {
    const VRscissor& s = c.S()->scissor;
    EXPECT_NEAR(s.xform[4], cx, 1e-4);
    EXPECT_NEAR(s.xform[5], cy, 1e-4);
    EXPECT_NEAR(s.extent[0], ex, 1e-4);
    EXPECT_NEAR(s.extent[1], ey, 1e-4);
  };
  vrIntersectScissor(c.ctx, 10, 20, 30, 40); // no scissor yet: a plain scissor
  expectScissor(25, 40, 15, 20);
  vrIntersectScissor(c.ctx, 20, 0, 100, 30); // overlap x 20..40, y 20..30
  expectScissor(30, 25, 10, 5);
  vrIntersectScissor(c.ctx, 500, 500, 10, 10); // disjoint: nothing left
  EXPECT_FLOAT_EQ(c.S()->scissor.extent[0] + c.S()->scissor.extent[1], 0);
  vrResetScissor(c.ctx);
  EXPECT_FLOAT_EQ(c.S()->scissor.extent[0], -1);
  // Under a quarter turn the earlier scissor is seen as its axis-aligned bound in the new space.
  vrScissor(c.ctx, 0, 0, 40, 20);
  vrRotate(c.ctx, kPi / 2);
  vrIntersectScissor(c.ctx, -100, -100, 200, 200);
  EXPECT_NEAR(c.S()->scissor.extent[0], 10, 1e-4);
  EXPECT_NEAR(c.S()->scissor.extent[1], 20, 1e-4);
  vrScissor(c.ctx, 0, 0, -5, -5);
  EXPECT_FLOAT_EQ(c.S()->scissor.extent[0], 0);
}

TEST(RendererBlend, CompositeOperationTable)
{
  Ctx c;
  const int table[][2] = {{2, 128}, {256, 1}, {512, 1}, {256, 128}, {512, 2},  {1, 64},
                          {1, 128}, {512, 64}, {2, 2},  {2, 1},     {512, 128}, {2, 1}}; // 11: unknown
  for (int op = 0; op <= 11; op++)
  {
    vrGlobalCompositeOperation(c.ctx, op);
    const VRcompositeOperationState s = c.S()->compositeOperation;
    EXPECT_EQ(s.srcRGB * 10000 + s.dstRGB, table[op][0] * 10000 + table[op][1]) << op;
    EXPECT_EQ(s.srcAlpha * 10000 + s.dstAlpha, table[op][0] * 10000 + table[op][1]) << op;
  }
  vrGlobalCompositeBlendFunc(c.ctx, VR_SRC_ALPHA, VR_DST_COLOR);
  EXPECT_EQ(c.S()->compositeOperation.dstAlpha, VR_DST_COLOR);
  vrGlobalCompositeBlendFuncSeparate(c.ctx, 1, 2, 4, 8);
  EXPECT_EQ(c.S()->compositeOperation.srcAlpha * 10 + c.S()->compositeOperation.dstAlpha, 48);
}

// Atlas textures made during a frame are folded back at its end; over a context's life every texture it made is
// deleted exactly once.
TEST(RendererContext, RetiredAtlasTexturesDeletedExactlyOnce)
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  VRparams* p = vrInternalParams(ctx);
  auto grow = [&](int slot, int w, int h) {
    ctx->fontImages[slot] = p->renderCreateTexture(p->userPtr, VR_TEXTURE_ALPHA, w, h, 0, nullptr);
    ctx->fontImageIdx = slot;
    return ctx->fontImages[slot];
  };
  const int first = ctx->fontImages[0];
  vrBeginFrame(ctx, 100, 100, 1);
  grow(1, 1024, 512);
  const int current = grow(2, 1024, 1024);
  vrEndFrame(ctx);
  EXPECT_EQ(ctx->fontImageIdx, 0);
  EXPECT_EQ(ctx->fontImages[0], current);
  EXPECT_EQ(ctx->fontImages[1] + ctx->fontImages[2], 0);
  EXPECT_EQ(be.deleted.size(), 2u);
  EXPECT_EQ(std::count(be.deleted.begin(), be.deleted.end(), first), 1);

  // One as large as the current one is kept, after it.
  vrBeginFrame(ctx, 100, 100, 1);
  const int second = grow(1, 1024, 1024);
  vrEndFrame(ctx);
  vrEndFrame(ctx); // nothing grew: nothing changes
  EXPECT_EQ(ctx->fontImages[0], second);
  EXPECT_EQ(ctx->fontImages[1], current);

  vrDeleteInternal(ctx);
  EXPECT_TRUE(be.textures.empty()) << "a texture leaked";
  std::sort(be.deleted.begin(), be.deleted.end());
  EXPECT_EQ(std::adjacent_find(be.deleted.begin(), be.deleted.end()), be.deleted.end()) << "deleted twice";
  EXPECT_EQ(be.deleted.size(), be.created.size());
}

} // namespace

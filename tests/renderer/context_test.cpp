// Context, state stack, transforms, colours, paints, scissor and blending: the documented examples, and the
// context's texture bookkeeping checked through the recording back end.

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
  VRcontext* ctx = nullptr;
  explicit Ctx(int aa = 1) : ctx(be.CreateContext(aa)) {}
  ~Ctx() { vrDeleteInternal(ctx); }
};

void expectXform(const float* t, std::initializer_list<float> want, float tol = 1e-6f)
{
  int i = 0;
  for (float w : want) EXPECT_NEAR(t[i++], w, tol) << "component " << i - 1;
}

TEST(RendererContext, NewContextAndFrameSetUp)
{
  Ctx c;
  ASSERT_NE(c.ctx, nullptr);
  EXPECT_EQ(c.be.creates, 1);
  ASSERT_EQ(c.be.created.size(), 1u); // the font atlas
  const RecordedTexture& atlas = c.be.textures[c.be.created[0]];
  EXPECT_EQ(atlas.type, VR_TEXTURE_ALPHA);
  EXPECT_EQ(atlas.w, 512);
  EXPECT_EQ(atlas.h, 512);
  EXPECT_EQ(vrInternalParams(c.ctx), reinterpret_cast<VRparams*>(c.ctx));

  const VRstate* s = vr__getState(c.ctx);
  EXPECT_EQ(c.ctx->nstates, 1);
  EXPECT_FLOAT_EQ(c.ctx->tessTol, 0.25f);
  EXPECT_FLOAT_EQ(c.ctx->distTol, 0.01f);
  EXPECT_FLOAT_EQ(c.ctx->fringeWidth, 1.0f);
  EXPECT_EQ(s->compositeOperation.srcRGB, VR_ONE);
  EXPECT_EQ(s->compositeOperation.dstRGB, VR_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(s->shapeAntiAlias, 1);
  EXPECT_FLOAT_EQ(s->fill.innerColor.r, 1.0f);
  EXPECT_FLOAT_EQ(s->stroke.innerColor.r, 0.0f);
  EXPECT_FLOAT_EQ(s->stroke.innerColor.a, 1.0f);
  EXPECT_FLOAT_EQ(s->fill.feather, 1.0f);
  EXPECT_FLOAT_EQ(s->strokeWidth, 1.0f);
  EXPECT_FLOAT_EQ(s->miterLimit, 10.0f);
  EXPECT_EQ(s->lineJoin, VR_MITER);
  EXPECT_EQ(s->lineCap, VR_BUTT);
  EXPECT_FLOAT_EQ(s->scissor.extent[0], -1.0f);
  EXPECT_FLOAT_EQ(s->fontSize, 16.0f);
  EXPECT_EQ(s->textAlign, VR_ALIGN_LEFT | VR_ALIGN_BASELINE);

  vrBeginFrame(c.ctx, 300, 200, 2.0f);
  EXPECT_FLOAT_EQ(c.ctx->tessTol, 0.125f);
  EXPECT_FLOAT_EQ(c.ctx->distTol, 0.005f);
  EXPECT_FLOAT_EQ(c.ctx->fringeWidth, 0.5f);
  EXPECT_EQ(c.be.viewports, 1);
  EXPECT_FLOAT_EQ(c.be.viewport[2], 2.0f);
  vrCancelFrame(c.ctx);
  EXPECT_EQ(c.be.cancels, 1);
}

TEST(RendererContext, CreationFailuresReleaseWhatWasMade)
{
  {
    RecordingBackend be;
    be.failCreate = true;
    EXPECT_EQ(be.CreateContext(), nullptr);
    EXPECT_EQ(be.deletes, 1);
    EXPECT_TRUE(be.created.empty());
  }
  {
    RecordingBackend be;
    be.failTextureAfter = 0;
    EXPECT_EQ(be.CreateContext(), nullptr);
    EXPECT_EQ(be.deletes, 1);
  }
  vrDeleteInternal(nullptr);
}

TEST(RendererContext, StateStackLimitsAndFrameReset)
{
  Ctx c;
  for (int i = 0; i < 40; i++) vrSave(c.ctx);
  EXPECT_EQ(c.ctx->nstates, 32);
  for (int i = 0; i < 40; i++) vrRestore(c.ctx);
  EXPECT_EQ(c.ctx->nstates, 1);

  vrStrokeWidth(c.ctx, 3);
  vrSave(c.ctx);
  vrStrokeWidth(c.ctx, 7);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->strokeWidth, 7);
  vrRestore(c.ctx);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->strokeWidth, 3);
  vrSave(c.ctx);
  vrBeginFrame(c.ctx, 10, 10, 1);
  EXPECT_EQ(c.ctx->nstates, 1);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->strokeWidth, 1);
}

TEST(RendererTransform, OrderInverseAndHelpers)
{
  Ctx c;
  vrTranslate(c.ctx, 10, 0);
  vrScale(c.ctx, 2, 2);
  float t[6], x, y;
  vrCurrentTransform(c.ctx, t);
  vrTransformPoint(&x, &y, t, 1, 1);
  EXPECT_FLOAT_EQ(x, 12);
  EXPECT_FLOAT_EQ(y, 2);
  vrCurrentTransform(c.ctx, nullptr);

  // Rotation then translation, written out: rotate a point by 90 degrees, then move it.
  vrResetTransform(c.ctx);
  vrTranslate(c.ctx, 5, 7);
  vrRotate(c.ctx, kPi / 2);
  vrCurrentTransform(c.ctx, t);
  vrTransformPoint(&x, &y, t, 1, 0);
  EXPECT_NEAR(x, 5, 1e-5);
  EXPECT_NEAR(y, 8, 1e-5);

  float inv[6];
  const float nearlySingular[6] = {0.0005f, 0, 0, 0.001f, 3, 4}; // det 5e-7
  inv[0] = 42;
  EXPECT_EQ(vrTransformInverse(inv, nearlySingular), 0);
  expectXform(inv, {1, 0, 0, 1, 0, 0});

  const float m[6] = {2, 1, -1, 3, 4, 5};
  ASSERT_EQ(vrTransformInverse(inv, m), 1);
  float p[6];
  std::copy(m, m + 6, p);
  vrTransformMultiply(p, inv);
  expectXform(p, {1, 0, 0, 1, 0, 0}, 1e-5f);

  float s[6];
  vrTransformSkewX(s, kPi / 4);
  expectXform(s, {1, 0, 1, 1, 0, 0}, 1e-6f);
  vrTransformSkewY(s, kPi / 4);
  expectXform(s, {1, 1, 0, 1, 0, 0}, 1e-6f);
  std::copy(m, m + 6, p);
  float tr[6];
  vrTransformTranslate(tr, 1, 2);
  vrTransformPremultiply(p, tr); // translate first, then m
  vrTransformPoint(&x, &y, p, 0, 0);
  EXPECT_FLOAT_EQ(x, 2 * 1 + -1 * 2 + 4);
  EXPECT_FLOAT_EQ(y, 1 * 1 + 3 * 2 + 5);
  EXPECT_NEAR(vrDegToRad(180), kPi, 1e-6);
  EXPECT_NEAR(vrRadToDeg(kPi / 2), 90, 1e-4);
}

TEST(RendererColour, HslLerpAndBytes)
{
  struct Case
  {
    float h, s, l;
    float r, g, b;
  };
  // Hue wheel points written out: red, green, blue, and the wrap-around of hues outside 0..1.
  const Case cases[] = {{0, 1, 0.5f, 1, 0, 0},          {1.0f / 3, 1, 0.5f, 0, 1, 0}, {2.0f / 3, 1, 0.5f, 0, 0, 1},
                        {0.25f, 1, 0.5f, 0.5f, 1, 0},    {1.25f, 1, 0.5f, 0.5f, 1, 0}, {-0.75f, 1, 0.5f, 0.5f, 1, 0},
                        {0.5f, 0, 0.25f, 0.25f, 0.25f, 0.25f}, {0, 2, 0.5f, 1, 0, 0}};
  for (const Case& k : cases)
  {
    const VRcolor c = vrHSLA(k.h, k.s, k.l, 255);
    EXPECT_NEAR(c.r, k.r, 1e-6) << k.h;
    EXPECT_NEAR(c.g, k.g, 1e-6) << k.h;
    EXPECT_NEAR(c.b, k.b, 1e-6) << k.h;
    EXPECT_FLOAT_EQ(c.a, 1.0f);
  }
  EXPECT_NEAR(vrHSL(0, 1, 0.5f).r, 1.0f, 1e-6);

  const VRcolor a = vrRGBA(0, 51, 102, 255), b = vrRGBf(1, 1, 1);
  const VRcolor l = vrLerpRGBA(a, b, 1.5f);
  EXPECT_FLOAT_EQ(l.r, 1);
  EXPECT_FLOAT_EQ(l.g, 1);
  EXPECT_FLOAT_EQ(vrLerpRGBA(a, b, 0.5f).g, (0.2f + 1) / 2);
  EXPECT_FLOAT_EQ(vrTransRGBA(a, 51).a, 0.2f);
  EXPECT_FLOAT_EQ(vrTransRGBAf(a, 0.3f).a, 0.3f);
  EXPECT_FLOAT_EQ(vrRGB(255, 0, 0).a, 1.0f);
}

TEST(RendererPaint, GradientsAndPatterns)
{
  Ctx c;
  const VRcolor i = vrRGBf(1, 0, 0), o = vrRGBf(0, 0, 1);
  VRpaint p = vrLinearGradient(c.ctx, 5, 5, 5, 5, i, o);
  EXPECT_FLOAT_EQ(p.xform[0], 1); // direction (0, 1): xform (dy, -dx, dx, dy)
  EXPECT_FLOAT_EQ(p.xform[3], 1);
  EXPECT_FLOAT_EQ(p.feather, 1);

  p = vrLinearGradient(c.ctx, 0, 0, 30, 40, i, o);
  EXPECT_FLOAT_EQ(p.feather, 50);
  EXPECT_FLOAT_EQ(p.extent[1], 100000 + 25);
  // Paint point (0, 1e5) is the gradient's start.
  float x, y;
  vrTransformPoint(&x, &y, p.xform, 0, 100000);
  EXPECT_NEAR(x, 0, 0.01);
  EXPECT_NEAR(y, 0, 0.01);

  p = vrRadialGradient(c.ctx, 10, 20, 5, 15, i, o);
  EXPECT_FLOAT_EQ(p.radius, 10);
  EXPECT_FLOAT_EQ(p.feather, 10);
  EXPECT_FLOAT_EQ(p.xform[4], 10);

  p = vrBoxGradient(c.ctx, 0, 0, 40, 20, 4, 0.5f, i, o);
  EXPECT_FLOAT_EQ(p.xform[4], 20);
  EXPECT_FLOAT_EQ(p.extent[1], 10);
  EXPECT_FLOAT_EQ(p.feather, 1);

  p = vrImagePattern(c.ctx, 3, 4, 16, 8, 0, 7, 0.5f);
  EXPECT_EQ(p.image, 7);
  EXPECT_FLOAT_EQ(p.innerColor.a, 0.5f);
  EXPECT_FLOAT_EQ(p.outerColor.r, 1.0f);

  // A paint set under a transform is fixed in that space: later transforms do not move it.
  vrTranslate(c.ctx, 100, 0);
  vrFillPaint(c.ctx, vrRadialGradient(c.ctx, 10, 0, 1, 2, i, o));
  vrTranslate(c.ctx, 50, 0);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->fill.xform[4], 110);
  vrStrokeColor(c.ctx, o);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->stroke.xform[4], 0);
}

TEST(RendererScissor, SetIntersectAndReset)
{
  Ctx c;
  vrIntersectScissor(c.ctx, 10, 20, 30, 40); // no scissor yet: plain scissor
  VRscissor s = vr__getState(c.ctx)->scissor;
  EXPECT_FLOAT_EQ(s.xform[4], 25);
  EXPECT_FLOAT_EQ(s.xform[5], 40);
  EXPECT_FLOAT_EQ(s.extent[0], 15);
  EXPECT_FLOAT_EQ(s.extent[1], 20);

  vrIntersectScissor(c.ctx, 20, 0, 100, 30); // overlap x 20..40, y 20..30
  s = vr__getState(c.ctx)->scissor;
  EXPECT_FLOAT_EQ(s.xform[4], 30);
  EXPECT_FLOAT_EQ(s.xform[5], 25);
  EXPECT_FLOAT_EQ(s.extent[0], 10);
  EXPECT_FLOAT_EQ(s.extent[1], 5);

  vrIntersectScissor(c.ctx, 500, 500, 10, 10); // disjoint
  s = vr__getState(c.ctx)->scissor;
  EXPECT_FLOAT_EQ(s.extent[0], 0);
  EXPECT_FLOAT_EQ(s.extent[1], 0);

  // Under a 90 degree rotation the earlier scissor is seen as its axis-aligned bound in the new space.
  vrResetScissor(c.ctx);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->scissor.extent[0], -1);
  vrScissor(c.ctx, 0, 0, 40, 20);
  vrRotate(c.ctx, kPi / 2);
  vrIntersectScissor(c.ctx, -100, -100, 200, 200);
  s = vr__getState(c.ctx)->scissor;
  EXPECT_NEAR(s.extent[0], 10, 1e-4);
  EXPECT_NEAR(s.extent[1], 20, 1e-4);

  vrScissor(c.ctx, 0, 0, -5, -5);
  EXPECT_FLOAT_EQ(vr__getState(c.ctx)->scissor.extent[0], 0);
}

TEST(RendererBlend, CompositeOperationTable)
{
  Ctx c;
  const int table[][2] = {{2, 128}, {256, 1}, {512, 1},   {256, 128}, {512, 2}, {1, 64},
                          {1, 128}, {512, 64}, {2, 2},    {2, 1},     {512, 128}};
  for (int op = 0; op <= 10; op++)
  {
    vrGlobalCompositeOperation(c.ctx, op);
    const VRcompositeOperationState s = vr__getState(c.ctx)->compositeOperation;
    EXPECT_EQ(s.srcRGB, table[op][0]) << op;
    EXPECT_EQ(s.dstRGB, table[op][1]) << op;
    EXPECT_EQ(s.srcAlpha, table[op][0]) << op;
    EXPECT_EQ(s.dstAlpha, table[op][1]) << op;
  }
  vrGlobalCompositeOperation(c.ctx, 11);
  EXPECT_EQ(vr__getState(c.ctx)->compositeOperation.srcRGB, VR_ONE);
  EXPECT_EQ(vr__getState(c.ctx)->compositeOperation.dstAlpha, VR_ZERO);
  vrGlobalCompositeBlendFunc(c.ctx, VR_SRC_ALPHA, VR_DST_COLOR);
  EXPECT_EQ(vr__getState(c.ctx)->compositeOperation.srcAlpha, VR_SRC_ALPHA);
  EXPECT_EQ(vr__getState(c.ctx)->compositeOperation.dstAlpha, VR_DST_COLOR);
  vrGlobalCompositeBlendFuncSeparate(c.ctx, 1, 2, 4, 8);
  EXPECT_EQ(vr__getState(c.ctx)->compositeOperation.dstAlpha, 8);
}

// Atlas textures made during a frame are folded back at its end; over a context's life every texture it made is
// deleted exactly once.
TEST(RendererContext, RetiredAtlasTexturesDeletedExactlyOnce)
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  ASSERT_NE(ctx, nullptr);
  VRparams* p = vrInternalParams(ctx);
  const int first = ctx->fontImages[0];

  // Growth within a frame as the text code does it: 1024x512, then 1024x1024.
  vrBeginFrame(ctx, 100, 100, 1);
  ctx->fontImages[1] = p->renderCreateTexture(p->userPtr, VR_TEXTURE_ALPHA, 1024, 512, 0, nullptr);
  ctx->fontImages[2] = p->renderCreateTexture(p->userPtr, VR_TEXTURE_ALPHA, 1024, 1024, 0, nullptr);
  ctx->fontImageIdx = 2;
  const int current = ctx->fontImages[2];
  vrEndFrame(ctx);
  EXPECT_EQ(ctx->fontImageIdx, 0);
  EXPECT_EQ(ctx->fontImages[0], current);
  EXPECT_EQ(ctx->fontImages[1], 0);
  EXPECT_EQ(ctx->fontImages[2], 0);
  EXPECT_EQ(be.deleted.size(), 2u);
  EXPECT_EQ(std::count(be.deleted.begin(), be.deleted.end(), first), 1);

  // A kept texture as large as the current one stays, after the current one.
  vrBeginFrame(ctx, 100, 100, 1);
  ctx->fontImages[1] = p->renderCreateTexture(p->userPtr, VR_TEXTURE_ALPHA, 1024, 1024, 0, nullptr);
  ctx->fontImageIdx = 1;
  const int second = ctx->fontImages[1];
  vrEndFrame(ctx);
  EXPECT_EQ(ctx->fontImages[0], second);
  EXPECT_EQ(ctx->fontImages[1], current);
  vrEndFrame(ctx); // nothing grew: nothing changes
  EXPECT_EQ(ctx->fontImages[0], second);

  vrDeleteInternal(ctx);
  EXPECT_TRUE(be.textures.empty()) << "a texture leaked";
  std::vector<int> d = be.deleted;
  std::sort(d.begin(), d.end());
  EXPECT_EQ(std::adjacent_find(d.begin(), d.end()), d.end()) << "a texture was deleted twice";
  EXPECT_EQ(d.size(), be.created.size());
  EXPECT_EQ(be.deletes, 1);
}

} // namespace

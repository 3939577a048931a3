// Context, state stack, transforms, paints and blending (the documented examples).

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

struct Ctx : RecordedContext
{
  VRstate* S() { return vr__getState(ctx); }
};

void expectPoint(const float* t, float x, float y, float wx, float wy, float tol = 1e-5f)
{
  float ox, oy;
  vrTransformPoint(&ox, &oy, t, x, y);
  EXPECT_NEAR(ox, wx, tol);
  EXPECT_NEAR(oy, wy, tol);
}

// A refused creation or atlas texture fails creation and releases the back end.
TEST(RendererContext, RefusedCreationReleasesTheBackEnd)
{
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

  // A paint set under a transform stays in that space; colours ignore the transform.
  const VRcolor i = vrRGBf(1, 0, 0), o = vrRGBf(0, 0, 1);
  vrResetTransform(c.ctx);
  vrTranslate(c.ctx, 100, 0);
  vrFillPaint(c.ctx, vrRadialGradient(c.ctx, 10, 0, 1, 2, i, o));
  vrTranslate(c.ctx, 50, 0);
  EXPECT_FLOAT_EQ(c.S()->fill.xform[4], 110);
  vrStrokeColor(c.ctx, o);
  EXPECT_FLOAT_EQ(c.S()->stroke.xform[4], 0);
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
}

} // namespace

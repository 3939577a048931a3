// What the back end receives for paints, scissors, global alpha, anti-aliasing switches and images, checked
// against numbers worked out by hand from the records' definitions (pixels of the same features are compared with
// Cairo in the drawing-interface tests).

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;
const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";

struct Ctx : RecordedContext
{
  Ctx(int aa = 1) : RecordedContext(aa) { vrBeginFrame(ctx, 200, 200, 1); }
  VRstate* S() { return vr__getState(ctx); }
};

void expectScissor(const VRscissor& s, float cx, float cy, float ex, float ey)
{
  EXPECT_NEAR(s.xform[4], cx, 1e-4);
  EXPECT_NEAR(s.xform[5], cy, 1e-4);
  EXPECT_NEAR(s.extent[0], ex, 1e-4);
  EXPECT_NEAR(s.extent[1], ey, 1e-4);
}

// A box gradient is centred on its rectangle with half its size as extent; the feather is at least 1. The other
// gradients, set under a transform, stay in the space they were set in.
TEST(RendererPaint, GradientRecordsAndTheirSpace)
{
  Ctx c;
  const VRcolor i = vrRGBf(1, 0, 0), o = vrRGBAf(0, 0, 1, 0.5f);
  struct Box
  {
    float x, y, w, h, r, f;
    float cx, cy, ex, ey, feather;
  };
  for (const Box& k : {Box{10, 20, 40, 30, 5, 8, 30, 35, 20, 15, 8}, Box{0, 0, 40, 20, 4, 0.5f, 20, 10, 20, 10, 1},
                       Box{-10, -10, 4, 6, 0, -3, -8, -7, 2, 3, 1}})
  {
    const VRpaint p = vrBoxGradient(c.ctx, k.x, k.y, k.w, k.h, k.r, k.f, i, o);
    const float want[6] = {1, 0, 0, 1, k.cx, k.cy};
    for (int j = 0; j < 6; j++) EXPECT_FLOAT_EQ(p.xform[j], want[j]) << j;
    EXPECT_FLOAT_EQ(p.extent[0], k.ex);
    EXPECT_FLOAT_EQ(p.extent[1], k.ey);
    EXPECT_FLOAT_EQ(p.radius, k.r);
    EXPECT_FLOAT_EQ(p.feather, k.feather);
    EXPECT_EQ(p.image, 0);
    EXPECT_EQ(std::memcmp(&p.innerColor, &i, sizeof i) | std::memcmp(&p.outerColor, &o, sizeof o), 0);
  }

  // Linear: paint space (0, 1e5) is the start point, the feather is the length; no length points down.
  VRpaint p = vrLinearGradient(c.ctx, 0, 0, 30, 40, i, o);
  EXPECT_FLOAT_EQ(p.feather, 50);
  EXPECT_FLOAT_EQ(p.extent[1], 100000 + 25);
  float x, y;
  vrTransformPoint(&x, &y, p.xform, 0, 100000);
  EXPECT_NEAR(x, 0, 0.01);
  EXPECT_NEAR(y, 0, 0.01);
  p = vrLinearGradient(c.ctx, 5, 5, 5, 5, i, o);
  EXPECT_FLOAT_EQ(p.xform[0] + p.xform[3] + p.feather, 3);
  p = vrRadialGradient(c.ctx, 10, 20, 5, 15, i, o);
  EXPECT_FLOAT_EQ(p.radius, 10);
  EXPECT_FLOAT_EQ(p.feather, 10);
  p = vrImagePattern(c.ctx, 3, 4, 16, 8, kPi / 2, 7, 0.5f);
  vrTransformPoint(&x, &y, p.xform, 1, 0); // rotated a quarter turn about its origin (3, 4)
  EXPECT_NEAR(x, 3, 1e-5);
  EXPECT_NEAR(y, 5, 1e-5);
  EXPECT_EQ(p.image, 7);
  EXPECT_FLOAT_EQ(p.innerColor.a + p.outerColor.a, 1.f);

  vrTranslate(c.ctx, 100, 50);
  vrScale(c.ctx, 2, 2);
  vrFillPaint(c.ctx, vrBoxGradient(c.ctx, 0, 0, 10, 10, 2, 4, i, o));
  vrResetTransform(c.ctx);
  // The box's centre (5, 5) in the space it was set in is (110, 60) in the frame.
  EXPECT_FLOAT_EQ(c.S()->fill.xform[4], 110);
  EXPECT_FLOAT_EQ(c.S()->fill.xform[5], 60);
  EXPECT_FLOAT_EQ(c.S()->fill.xform[0], 2);
}

TEST(RendererScissor, SetIntersectAndReset)
{
  Ctx c;
  vrIntersectScissor(c.ctx, 10, 20, 30, 40); // no scissor yet: a plain scissor
  expectScissor(c.S()->scissor, 25, 40, 15, 20);
  vrIntersectScissor(c.ctx, 20, 0, 100, 30); // overlap x 20..40, y 20..30
  expectScissor(c.S()->scissor, 30, 25, 10, 5);
  vrIntersectScissor(c.ctx, 500, 500, 10, 10); // disjoint: nothing left
  EXPECT_FLOAT_EQ(c.S()->scissor.extent[0], 0);
  EXPECT_FLOAT_EQ(c.S()->scissor.extent[1], 0);
  vrResetScissor(c.ctx);
  expectScissor(c.S()->scissor, 0, 0, -1, -1);
  for (float v : c.S()->scissor.xform) EXPECT_EQ(v, 0.f);

  // Under a quarter turn the earlier 40 × 20 scissor is seen as a 20 × 40 box in the new space; the result is that
  // same box, centred where it was in the frame.
  vrScissor(c.ctx, 0, 0, 40, 20);
  vrRotate(c.ctx, kPi / 2);
  vrIntersectScissor(c.ctx, -100, -100, 200, 200);
  expectScissor(c.S()->scissor, 20, 10, 10, 20);
  // Then cut by a rectangle of the rotated space: x 5..100 and y -100..-30 leave x 5..20 and y -40..-30, whose
  // centre (12.5, -35) is (35, 12.5) in the frame.
  vrIntersectScissor(c.ctx, 5, -100, 95, 70);
  expectScissor(c.S()->scissor, 35, 12.5f, 7.5f, 5);
  vrResetTransform(c.ctx);
  vrScissor(c.ctx, 0, 0, -5, -5);
  expectScissor(c.S()->scissor, 0, 0, 0, 0);

  // The scissor reaches the back end with the fill.
  vrScissor(c.ctx, 10, 10, 20, 20);
  vrIntersectScissor(c.ctx, 20, 0, 40, 40);
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 50, 50);
  vrFill(c.ctx);
  expectScissor(c.be.Last().scissor, 25, 20, 5, 10);
}

// Global alpha multiplies both colours of every paint that reaches the back end: fills, strokes (after the hairline
// factor) and text.
TEST(RendererPaint, GlobalAlphaScalesWhatIsDrawn)
{
  Ctx c;
  ASSERT_EQ(vrCreateFont(c.ctx, "sans", kRoboto), 0);
  vrGlobalAlpha(c.ctx, 0.5f);
  vrFillPaint(c.ctx, vrLinearGradient(c.ctx, 0, 0, 10, 0, vrRGBAf(1, 0, 0, 0.8f), vrRGBAf(0, 0, 1, 0.4f)));
  vrStrokeColor(c.ctx, vrRGBAf(0, 1, 0, 0.6f));
  vrStrokeWidth(c.ctx, 0.5f); // a hairline: alpha times (0.5 / 1)² as well
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 10, 10, 30, 30);
  vrFill(c.ctx);
  vrStroke(c.ctx);
  vrFillColor(c.ctx, vrRGBAf(1, 1, 1, 0.8f));
  vrText(c.ctx, 10, 100, "Hi", nullptr);
  ASSERT_EQ(c.be.calls.size(), 3u);
  struct Want
  {
    RecordedCall::Kind kind;
    float inner, outer;
  };
  const Want want[] = {{RecordedCall::Fill, 0.4f, 0.2f}, {RecordedCall::Stroke, 0.075f, 0.075f},
                       {RecordedCall::Triangles, 0.4f, 0.4f}};
  for (int k = 0; k < 3; k++)
  {
    EXPECT_EQ(c.be.calls[k].kind, want[k].kind);
    EXPECT_FLOAT_EQ(c.be.calls[k].paint.innerColor.a, want[k].inner) << k;
    EXPECT_FLOAT_EQ(c.be.calls[k].paint.outerColor.a, want[k].outer) << k;
  }
  // The state keeps the colours as they were set.
  EXPECT_FLOAT_EQ(c.S()->fill.innerColor.a, 0.8f);
}

// The state's anti-alias switch turns fringes off as the back end's does: the fill covers the rectangle exactly
// and strokes fade nowhere.
TEST(RendererPaint, ShapeAntiAliasOff)
{
  Ctx c;
  vrShapeAntiAlias(c.ctx, 0);
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 10, 20);
  vrFill(c.ctx);
  vrStroke(c.ctx);
  ASSERT_EQ(c.be.calls.size(), 2u);
  const RecordedPath& f = c.be.calls[0].paths.at(0);
  EXPECT_TRUE(f.stroke.empty());
  const float corners[4][2] = {{0, 0}, {0, 20}, {10, 20}, {10, 0}};
  ASSERT_EQ(f.fill.size(), 4u);
  for (int i = 0; i < 4; i++)
  {
    EXPECT_FLOAT_EQ(f.fill[i].x, corners[i][0]);
    EXPECT_FLOAT_EQ(f.fill[i].y, corners[i][1]);
  }
  for (const VRvertex& v : c.be.calls[1].paths.at(0).stroke) EXPECT_FLOAT_EQ(v.u, 0.5f);
  // Switched on again, the fringe comes back.
  vrShapeAntiAlias(c.ctx, 1);
  vrFill(c.ctx);
  EXPECT_EQ(c.be.Last().paths.at(0).stroke.size(), 10u);
}

TEST(RendererBlend, BlendFunctionsAreStoredAsGiven)
{
  Ctx c;
  vrGlobalCompositeBlendFunc(c.ctx, VR_SRC_ALPHA, VR_DST_COLOR);
  const VRcompositeOperationState a = c.S()->compositeOperation;
  EXPECT_EQ((std::vector<int>{a.srcRGB, a.dstRGB, a.srcAlpha, a.dstAlpha}),
            (std::vector<int>{VR_SRC_ALPHA, VR_DST_COLOR, VR_SRC_ALPHA, VR_DST_COLOR}));
  vrGlobalCompositeBlendFuncSeparate(c.ctx, 1, 2, 4, 8);
  vrBeginPath(c.ctx);
  vrRect(c.ctx, 0, 0, 5, 5);
  vrFill(c.ctx);
  const VRcompositeOperationState b = c.be.Last().op;
  EXPECT_EQ((std::vector<int>{b.srcRGB, b.dstRGB, b.srcAlpha, b.dstAlpha}), (std::vector<int>{1, 2, 4, 8}));
}

// Image calls forward to the back end: flags unchanged, the whole image updated, the back end's answers passed on;
// a file that cannot be opened says why.
TEST(RendererImage, BackEndForwarding)
{
  Ctx c;
  EXPECT_EQ(vrCreateImage(c.ctx, "/nonexistent/zaniq.png", 0), 0);
  EXPECT_STREQ(vr__imageFailureReason(), "can't fopen");
  const unsigned char junk[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(vrCreateImageMem(c.ctx, 0, junk, sizeof(junk)), 0);

  std::vector<unsigned char> pixels(10 * 20 * 4, 7);
  const int image = vrCreateImageRGBA(c.ctx, 10, 20, VR_IMAGE_FLIPY | VR_IMAGE_NODELETE, pixels.data());
  ASSERT_GT(image, 0);
  EXPECT_EQ(c.be.textures[image].flags, VR_IMAGE_FLIPY | VR_IMAGE_NODELETE);
  int w = 0, h = 0;
  vrImageSize(c.ctx, image, &w, &h);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 20);
  for (size_t i = 0; i < pixels.size(); i++) pixels[i] = static_cast<unsigned char>(i % 251);
  EXPECT_EQ(vrUpdateImage(c.ctx, image, pixels.data()), 1);
  EXPECT_EQ(c.be.textures[image].pixels, pixels); // every row and column replaced
  EXPECT_EQ(vrUpdateImage(c.ctx, 999, pixels.data()), 0);
  EXPECT_EQ(vrDeleteImage(c.ctx, image), 1);
  EXPECT_EQ(vrDeleteImage(c.ctx, image), 0); // the back end's answer passes through
}

} // namespace

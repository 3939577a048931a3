// Blend factors as the back end hands them to Metal, checked pixel by pixel against the blend equation worked out
// by hand; the clear colour and the scale of a frame; frames of a zero viewport and of a layer that presents with
// its transaction; texture records and regions updated from a full-width source.

#include "support/backend_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace backendtest;

namespace
{

constexpr int kSize = 16;

void FillAll(VRcontext* vg, VRcolor colour)
{
  vrBeginPath(vg);
  vrRect(vg, 0, 0, kSize, kSize);
  vrFillColor(vg, colour);
  vrFill(vg);
}

// Premultiplied RGBA (0…1) of the centre pixel of a BGRA frame.
std::array<double, 4> Centre(const std::vector<uint8_t>& px)
{
  const size_t i = (size_t(kSize / 2) * kSize + kSize / 2) * 4;
  return {px[i + 2] / 255.0, px[i + 1] / 255.0, px[i] / 255.0, px[i + 3] / 255.0};
}

// The factor of the blend equation for one channel (c: 0…2 colour, 3 alpha) of premultiplied source s and
// destination d, as Metal defines it.
double Factor(int factor, int c, const std::array<double, 4>& s, const std::array<double, 4>& d)
{
  switch (factor)
  {
  case VR_ZERO: return 0;
  case VR_ONE: return 1;
  case VR_SRC_COLOR: return s[c];
  case VR_ONE_MINUS_SRC_COLOR: return 1 - s[c];
  case VR_DST_COLOR: return d[c];
  case VR_ONE_MINUS_DST_COLOR: return 1 - d[c];
  case VR_SRC_ALPHA: return s[3];
  case VR_ONE_MINUS_SRC_ALPHA: return 1 - s[3];
  case VR_DST_ALPHA: return d[3];
  case VR_ONE_MINUS_DST_ALPHA: return 1 - d[3];
  case VR_SRC_ALPHA_SATURATE: return c == 3 ? 1 : std::min(s[3], 1 - d[3]);
  default: return -1;
  }
}

// Over a translucent destination, each factor alone on the source side and alone on the destination side gives
// source × factor or destination × factor; an unknown factor anywhere blends source-over.
TEST(MetalBackendBlend, FactorsFollowTheBlendEquation)
{
  const int factors[] = {VR_ZERO,          VR_ONE,           VR_SRC_COLOR,  VR_ONE_MINUS_SRC_COLOR,
                         VR_DST_COLOR,     VR_ONE_MINUS_DST_COLOR, VR_SRC_ALPHA,  VR_ONE_MINUS_SRC_ALPHA,
                         VR_DST_ALPHA,     VR_ONE_MINUS_DST_ALPHA, VR_SRC_ALPHA_SATURATE};
  struct Row
  {
    int srcRGB, dstRGB, srcAlpha, dstAlpha;
  };
  std::vector<Row> rows;
  for (int f : factors)
  {
    rows.push_back({f, VR_ZERO, f, VR_ZERO});
    rows.push_back({VR_ZERO, f, VR_ZERO, f});
  }
  rows.push_back({VR_ONE, VR_ONE, VR_ONE, VR_ONE}); // sums clamp at 1
  rows.push_back({VR_SRC_ALPHA, VR_ONE_MINUS_SRC_ALPHA, VR_ONE, VR_ZERO});
  const int unknown = 1 << 11;
  rows.push_back({unknown, VR_ZERO, VR_ONE, VR_ZERO});
  rows.push_back({VR_ONE, VR_ZERO, VR_ONE, 0});

  // Straight (1, 0.5, 0.25, 0.6): premultiplied (0.6, 0.3, 0.15, 0.6).
  const VRcolor source = vrRGBAf(1.0f, 0.5f, 0.25f, 0.6f);
  const std::array<double, 4> s = {0.6, 0.3, 0.15, 0.6};
  const VRcolor destination = vrRGBA(80, 160, 240, 200);

  Backend b(kSize, kSize);
  ASSERT_NE(b.vg, nullptr);
  auto drawDestination = [&](VRcontext* vg) {
    vrGlobalCompositeBlendFunc(vg, VR_ONE, VR_ZERO);
    FillAll(vg, destination);
  };
  const std::array<double, 4> d = Centre(b.Frame(drawDestination));
  ASSERT_NEAR(d[3], 200 / 255.0, 1e-9);

  for (const Row& r : rows)
  {
    SCOPED_TRACE(std::to_string(r.srcRGB) + " " + std::to_string(r.dstRGB) + " " + std::to_string(r.srcAlpha) + " " +
                 std::to_string(r.dstAlpha));
    const std::vector<uint8_t> px = b.Frame([&](VRcontext* vg) {
      drawDestination(vg);
      vrGlobalCompositeBlendFuncSeparate(vg, r.srcRGB, r.dstRGB, r.srcAlpha, r.dstAlpha);
      FillAll(vg, source);
    });
    ASSERT_FALSE(px.empty());
    const std::array<double, 4> got = Centre(px);
    const bool known = Factor(r.srcRGB, 0, s, d) >= 0 && Factor(r.dstRGB, 0, s, d) >= 0 &&
                       Factor(r.srcAlpha, 0, s, d) >= 0 && Factor(r.dstAlpha, 0, s, d) >= 0;
    for (int c = 0; c < 4; ++c)
    {
      const double want = known ? std::clamp(s[c] * Factor(c == 3 ? r.srcAlpha : r.srcRGB, c, s, d) +
                                                 d[c] * Factor(c == 3 ? r.dstAlpha : r.dstRGB, c, s, d),
                                             0.0, 1.0)
                                : s[c] + d[c] * (1 - s[3]);
      EXPECT_NEAR(got[c], want, 1.01 / 255.0) << "channel " << c;
    }
  }
}

// A frame of no size draws nothing and gives its buffer set back at once.
TEST(MetalBackendFrames, ZeroViewportCancelsTheFrame)
{
  Backend b(kSize, kSize);
  for (const auto& [w, h] : {std::pair{0.f, 10.f}, std::pair{10.f, 0.f}, std::pair{0.3f, 10.f}})
  {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    vrBeginFrame(b.vg, w, h, 1.0f);
    FillAll(b.vg, vrRGBA(255, 0, 0, 255));
    vrEndFrame(b.vg);
    EXPECT_EQ(b.mtl()->semaphore->debugValue(), 3);
    EXPECT_EQ(b.layer->presentedCount(), 0u);
  }
  EXPECT_FALSE(b.Frame([](VRcontext* vg) { FillAll(vg, vrRGBA(255, 0, 0, 255)); }).empty());
}

// A layer that presents with its Core Animation transaction shows the same frame, presented once.
TEST(MetalBackendFrames, PresentingWithTheTransaction)
{
  auto scene = [](VRcontext* vg) {
    FillAll(vg, vrRGBA(20, 40, 60, 255));
    vrBeginPath(vg);
    vrCircle(vg, 8, 8, 5);
    vrFillColor(vg, vrRGBA(250, 200, 10, 180));
    vrFill(vg);
  };
  Backend plain(kSize, kSize), transacted(kSize, kSize);
  transacted.layer->setPresentsWithTransaction(YES);
  const std::vector<uint8_t> want = plain.Frame(scene);
  const std::vector<uint8_t> got = transacted.Frame(scene);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(got, want);
  EXPECT_EQ(transacted.layer->presentedCount(), 1u);
}

// The clear colour is premultiplied and clears the next frame only; at scale 2 a logical rectangle covers twice
// the pixels.
TEST(MetalBackendFrames, ClearColourAndScale)
{
  Backend b(20, 10, 2.0f);
  mvrClearWithColor(b.vg, vrRGBAf(1.0f, 0.5f, 0.0f, 0.5f));
  std::vector<uint8_t> px = b.Frame([](VRcontext*) {});
  ASSERT_EQ(px.size(), size_t(40 * 20 * 4));
  // Premultiplied (0.5, 0.25, 0, 0.5), BGRA.
  EXPECT_EQ(px[0], 0);
  EXPECT_NEAR(px[1], 64, 1);
  EXPECT_NEAR(px[2], 128, 1);
  EXPECT_NEAR(px[3], 128, 1);
  EXPECT_FALSE(b.mtl()->clearBufferOnFlush);
  px = b.Frame([](VRcontext* vg) {
    vrBeginPath(vg);
    vrRect(vg, 0, 0, 5, 5);
    vrFillColor(vg, vrRGBA(0, 0, 255, 255));
    vrFill(vg);
  });
  EXPECT_EQ(px[(8 * 40 + 8) * 4 + 0], 255);
  EXPECT_EQ(px[(8 * 40 + 11) * 4 + 3], 0);
}

// A deleted texture's record is reused with a new id; sizes are answered for known ids only.
TEST(MetalBackendFrames, TextureRecordsAndSizes)
{
  Backend b(8, 8);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  const uint8_t px[16] = {};
  const int first = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, 2, 2, 0, px);
  ASSERT_GT(first, 0);
  const size_t records = mtl->textures.size();
  EXPECT_EQ(mtl->renderDeleteTexture(first), 1);
  const int second = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 4, 1, 0, px);
  EXPECT_GT(second, first);
  EXPECT_EQ(mtl->textures.size(), records);
  int w = 0, h = 0;
  EXPECT_EQ(mtl->renderGetTextureSizeForImage_width_height(second, &w, &h), 1);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(mtl->renderGetTextureSizeForImage_width_height(first, &w, &h), 0);
}

// A paint of a deleted image drops the fill or stroke that uses it, with everything the call had taken, and the
// frame shows nothing of it; with or without stencil strokes.
TEST(MetalBackendFrames, DeletedImagePaintsDropTheirCalls)
{
  for (const int flags : {0x2001, 0x2003})
  {
    SCOPED_TRACE(flags);
    Backend b(kSize, kSize, 1.0f, flags);
    const std::vector<uint8_t> texels(4 * 4 * 4, 255);
    const int image = vrCreateImageRGBA(b.vg, 4, 4, 0, texels.data());
    ASSERT_GT(image, 0);
    vrDeleteImage(b.vg, image);
    int calls = -1;
    const std::vector<uint8_t> px = b.Frame([&](VRcontext* vg) {
      const VRpaint paint = vrImagePattern(vg, 0, 0, 4, 4, 0, image, 1);
      vrBeginPath(vg); // concave: a stencil fill
      vrMoveTo(vg, 1, 1);
      vrLineTo(vg, 15, 1);
      vrLineTo(vg, 8, 8);
      vrLineTo(vg, 15, 15);
      vrLineTo(vg, 1, 15);
      vrClosePath(vg);
      vrFillPaint(vg, paint);
      vrFill(vg);
      vrBeginPath(vg); // convex
      vrRect(vg, 2, 2, 6, 6);
      vrFill(vg);
      vrStrokePaint(vg, paint);
      vrStrokeWidth(vg, 3);
      vrStroke(vg);
      const MVRbuffers_vZANIQ_au* set = b.mtl()->buffers;
      calls = set->ncalls;
      EXPECT_EQ(set->nverts, 0);
      EXPECT_EQ(set->nindexes, 0);
      EXPECT_EQ(set->nuniforms, 0);
    });
    EXPECT_EQ(calls, 0);
    ASSERT_FALSE(px.empty());
    EXPECT_EQ(std::count(px.begin(), px.end(), 0), static_cast<long>(px.size()));
  }
}

// A region update reads the source at its own place in an image of the texture's full width.
TEST(MetalBackendFrames, RegionUpdatesReadAFullWidthSource)
{
  Backend b(8, 8);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  const uint8_t alpha[4 * 3] = {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};
  const int atlas = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 4, 3, 0, nullptr);
  ASSERT_GT(atlas, 0);
  EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(atlas, 1, 1, 2, 2, alpha), 1);
  uint8_t out[12] = {};
  mvrReadPixels(b.vg, atlas, 0, 0, 4, 3, out);
  const uint8_t expected[12] = {0, 0, 0, 0, 0, 11, 12, 0, 0, 21, 22, 0};
  EXPECT_EQ(std::memcmp(out, expected, sizeof out), 0);

  // RGBA rows are four bytes a texel: the texel at (2, 1) of a 3-wide source starts at byte (1 × 3 + 2) × 4.
  uint8_t rgba[3 * 2 * 4];
  for (int i = 0; i < 24; ++i)
    rgba[i] = static_cast<uint8_t>(100 + i);
  const int image = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, 3, 2, 0, nullptr);
  ASSERT_GT(image, 0);
  EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(image, 2, 1, 1, 1, rgba), 1);
  uint8_t texel[4] = {};
  mvrReadPixels(b.vg, image, 2, 1, 1, 1, texel);
  EXPECT_EQ(texel[0], 120);
  EXPECT_EQ(texel[3], 123);
  mvrReadPixels(b.vg, image, 0, 0, 1, 1, texel);
  EXPECT_EQ(texel[0], 0);
}

} // namespace

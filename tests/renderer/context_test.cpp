// Context, state stack, transforms, paints and blending (the documented examples); images: decoding (against pixel
// values written out by hand for an alpha-premultiplied iPhone PNG; plain PNGs are drawn against Cairo through the
// drawing interface) and refusals.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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

uint32_t crc32(const unsigned char* p, size_t n, uint32_t crc = 0xffffffffu)
{
  for (size_t i = 0; i < n; i++)
  {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return crc;
}

void put32(std::vector<unsigned char>& v, uint32_t x)
{
  for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<unsigned char>(x >> s));
}

void chunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data)
{
  put32(png, static_cast<uint32_t>(data.size()));
  std::vector<unsigned char> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  put32(png, crc32(body.data(), body.size()) ^ 0xffffffffu);
}

// A 3 x 1 iPhone PNG: BGRA order, premultiplied by alpha, raw deflate without a zlib header (stored block).
std::vector<unsigned char> iphonePng()
{
  const unsigned char bgraPremultiplied[] = {0, 0, 128, 128, 0, 255, 0, 255, 64, 0, 0, 64};
  std::vector<unsigned char> scan = {0}; // filter: none
  scan.insert(scan.end(), bgraPremultiplied, bgraPremultiplied + 12);
  std::vector<unsigned char> idat = {0x01, static_cast<unsigned char>(scan.size()), 0,
                                     static_cast<unsigned char>(~scan.size()), 0xff};
  idat.insert(idat.end(), scan.begin(), scan.end());

  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  chunk(png, "CgBI", {0x50, 0x00, 0x20, 0x06});
  std::vector<unsigned char> ihdr;
  put32(ihdr, 3);
  put32(ihdr, 1);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", idat);
  chunk(png, "IEND", {});
  return png;
}

std::string tempFile(const std::vector<unsigned char>& bytes)
{
  char name[] = "/tmp/zaniq_image_XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
  return name;
}

// The same straight RGBA pixels from every decode, whichever decode came before.
TEST(RendererImage, PremultipliedIphonePngDecodesTheSameEveryTime)
{
  const unsigned char straightRgba[] = {255, 0, 0, 128, 0, 255, 0, 255, 0, 0, 255, 64};
  const std::vector<unsigned char> png = iphonePng();
  const std::string path = tempFile(png);
  Ctx c;
  auto check = [&](int image, const char* what) {
    ASSERT_GT(image, 0) << what;
    const RecordedTexture& t = c.be.textures[image];
    EXPECT_EQ(t.type, VR_TEXTURE_RGBA);
    ASSERT_EQ(t.w, 3);
    ASSERT_EQ(t.h, 1);
    EXPECT_EQ(std::vector<unsigned char>(t.pixels.begin(), t.pixels.end()),
              std::vector<unsigned char>(straightRgba, straightRgba + 12))
        << what;
  };
  check(vrCreateImageMem(c.ctx, 0, png.data(), static_cast<int>(png.size())), "memory, first");
  check(vrCreateImage(c.ctx, path.c_str(), 0), "file");
  check(vrCreateImageMem(c.ctx, 0, png.data(), static_cast<int>(png.size())), "memory, after a file");
  unlink(path.c_str());
}

// Sizes of zero or below never reach the back end.
TEST(RendererImage, EmptySizesAreRefused)
{
  Ctx c;
  EXPECT_EQ(vrCreateImageMem(c.ctx, 0, nullptr, 10), 0);

  const size_t textures = c.be.created.size();
  std::vector<unsigned char> pixels(10 * 20 * 4, 7);
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, 5}})
    EXPECT_EQ(vrCreateImageRGBA(c.ctx, w, h, 0, pixels.data()), 0);
  EXPECT_EQ(c.be.created.size(), textures);
}

} // namespace

// Images: decoding (checked against Cairo's own PNG reader and against pixel values written out by hand for an
// alpha-premultiplied iPhone PNG), forwarding to the back end, and refusals.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Ctx
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  ~Ctx() { vrDeleteInternal(ctx); }
};

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

TEST(RendererImage, PngMatchesCairosReader)
{
  // Cairo writes a PNG with opaque and translucent pixels; both readers must agree on the straight colours.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 7, 5);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
  cairo_paint(cr);
  cairo_set_source_rgba(cr, 1, 0.5, 0, 0.75);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, 2, 1, 3, 3);
  cairo_fill(cr);
  cairo_destroy(cr);
  const std::string name = tempFile({});
  ASSERT_EQ(cairo_surface_write_to_png(s, name.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(s);
  cairo_surface_t* ref = cairo_image_surface_create_from_png(name.c_str());

  Ctx c;
  const int image = vrCreateImage(c.ctx, name.c_str(), VR_IMAGE_GENERATE_MIPMAPS);
  ASSERT_GT(image, 0);
  const RecordedTexture& t = c.be.textures[image];
  EXPECT_EQ(t.flags, VR_IMAGE_GENERATE_MIPMAPS);
  ASSERT_EQ(t.w * 10 + t.h, 75);
  for (int i = 0; i < 35; i++)
  {
    const uint32_t argb = reinterpret_cast<const uint32_t*>(
        cairo_image_surface_get_data(ref) + (i / 7) * cairo_image_surface_get_stride(ref))[i % 7];
    const int a = argb >> 24; // Cairo keeps premultiplied native-endian ARGB
    const int want[4] = {int((argb >> 16) & 0xff) * 255 / a, int((argb >> 8) & 0xff) * 255 / a, int(argb & 0xff) * 255 / a, a};
    for (int k = 0; k < 4; k++) EXPECT_NEAR(t.pixels[i * 4 + k], want[k], 2) << i << " " << k;
  }
  cairo_surface_destroy(ref);
  unlink(name.c_str());
}

// Damaged images: every truncation and a run of flipped bytes of a valid PNG either decode to an image of the
// stated size or are refused; nothing reads outside the data (the sanitizer build runs this too).
TEST(RendererImage, DamagedPngsAreRefusedOrDecodedSafely)
{
  std::vector<unsigned char> png = iphonePng();
  Ctx c;
  for (size_t n = 0; n < png.size(); n++)
  {
    const int image = vrCreateImageMem(c.ctx, 0, png.data(), static_cast<int>(n));
    if (image)
    {
      EXPECT_EQ(c.be.textures[image].pixels.size(), 3u * 4) << n;
    }
  }
  for (size_t i = 8; i < png.size(); i++)
  {
    std::vector<unsigned char> bad = png;
    bad[i] ^= 0xa5;
    const int image = vrCreateImageMem(c.ctx, 0, bad.data(), static_cast<int>(bad.size()));
    if (image)
    {
      const RecordedTexture& t = c.be.textures[image];
      EXPECT_EQ(t.pixels.size(), static_cast<size_t>(t.w) * t.h * 4) << i;
    }
  }
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

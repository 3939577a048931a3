// The context's frames and textures as the back end sees them: the atlas texture made at creation, tolerances from
// the pixel ratio, the calls that start and end a frame, font atlas textures retired or kept at the end of a frame
// (and a kept one reused when the atlas grows again); and images from damaged PNG bytes, read against Cairo's own
// PNG reader where they decode.

#include "renderer/FontAtlas.h"
#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";

// The frame calls a context makes, counted.
struct Frames
{
  static inline int viewports = 0, cancels = 0, flushes = 0;
  static inline float viewport[3] = {};
};

// A new context holds one 512 × 512 alpha texture for the atlas; a frame at ratio 2 halves the tolerances and
// fringe and tells the back end its size and ratio; cancelling and ending reach the back end once each.
TEST(RendererContext, CreationAndFrames)
{
  RecordingBackend be;
  VRparams p = be.Params();
  p.renderViewport = [](void*, float w, float h, float r) {
    Frames::viewports++;
    Frames::viewport[0] = w, Frames::viewport[1] = h, Frames::viewport[2] = r;
  };
  p.renderCancel = [](void*) { Frames::cancels++; };
  p.renderFlush = [](void*) { Frames::flushes++; };
  VRcontext* ctx = vrCreateInternal(&p);
  ASSERT_NE(ctx, nullptr);
  ASSERT_EQ(be.created.size(), 1u);
  const RecordedTexture& atlas = be.textures[be.created[0]];
  EXPECT_EQ(atlas.type, VR_TEXTURE_ALPHA);
  EXPECT_EQ(atlas.w, 512);
  EXPECT_EQ(atlas.h, 512);
  EXPECT_FLOAT_EQ(ctx->tessTol, 0.25f);
  vrSave(ctx);
  vrBeginFrame(ctx, 300, 200, 2.0f);
  EXPECT_EQ(ctx->nstates, 1);
  EXPECT_FLOAT_EQ(ctx->tessTol, 0.125f);
  EXPECT_FLOAT_EQ(ctx->distTol, 0.005f);
  EXPECT_FLOAT_EQ(ctx->fringeWidth, 0.5f);
  EXPECT_EQ(Frames::viewports, 1);
  EXPECT_EQ(std::vector<float>(Frames::viewport, Frames::viewport + 3), (std::vector<float>{300, 200, 2}));
  vrCancelFrame(ctx);
  vrEndFrame(ctx);
  EXPECT_EQ(Frames::cancels, 1);
  EXPECT_EQ(Frames::flushes, 1);
  vrDeleteInternal(ctx);
  EXPECT_TRUE(be.textures.empty());
}

// Atlas textures made during a frame are folded back at its end: smaller ones are deleted, one as large as the
// current one is kept after it and used again, without a new texture, when the atlas grows the next time. Over the
// context's life every texture it made is deleted exactly once.
TEST(RendererContext, AtlasTexturesRetiredKeptAndReused)
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
  for (int i = 1; i < 4; i++) EXPECT_EQ(ctx->fontImages[i], 0) << i;
  EXPECT_EQ(be.deleted.size(), 2u);
  EXPECT_EQ(std::count(be.deleted.begin(), be.deleted.end(), first), 1);

  vrBeginFrame(ctx, 100, 100, 1);
  const int second = grow(1, 1024, 1024);
  vrEndFrame(ctx);
  vrEndFrame(ctx); // nothing grew: nothing changes
  EXPECT_EQ(ctx->fontImages[0], second);
  EXPECT_EQ(ctx->fontImages[1], current);

  // Text too large for the atlas: the kept texture is taken up again, at its size, before any new one is made.
  ASSERT_EQ(vrCreateFont(ctx, "sans", kRoboto), 0);
  const size_t made = be.created.size();
  vrBeginFrame(ctx, 100, 100, 1);
  vrFontSize(ctx, 900);
  vrText(ctx, 0, 800, "W", nullptr); // wider and taller than 512 pixels
  EXPECT_EQ(ctx->fontImageIdx, 1);
  EXPECT_EQ(ctx->fontImages[1], current);
  EXPECT_EQ(be.created.size(), made);
  int w = 0, h = 0;
  faGetAtlasSize(ctx->fs, &w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 1024);
  ASSERT_FALSE(be.calls.empty());
  EXPECT_EQ(be.Last().paint.image, current); // the glyph drawn from the reused texture
  vrEndFrame(ctx);

  vrDeleteInternal(ctx);
  EXPECT_TRUE(be.textures.empty()) << "a texture leaked";
  std::vector<int> d = be.deleted;
  std::sort(d.begin(), d.end());
  EXPECT_EQ(std::adjacent_find(d.begin(), d.end()), d.end()) << "deleted twice";
  EXPECT_EQ(be.deleted.size(), be.created.size());
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
  auto* out = static_cast<std::vector<unsigned char>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

// A PNG with opaque and translucent pixels, as Cairo writes it.
std::vector<unsigned char> cairoPng()
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 7, 5);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
  cairo_paint(cr);
  cairo_set_source_rgba(cr, 1, 0.5, 0, 0.75);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, 2, 1, 3, 3);
  cairo_fill(cr);
  cairo_destroy(cr);
  std::vector<unsigned char> png;
  cairo_surface_write_to_png_stream(s, appendBytes, &png);
  cairo_surface_destroy(s);
  return png;
}

struct Reader
{
  const std::vector<unsigned char>* bytes;
  size_t at = 0;
  static cairo_status_t Read(void* closure, unsigned char* data, unsigned int length)
  {
    Reader* r = static_cast<Reader*>(closure);
    if (r->at + length > r->bytes->size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, r->bytes->data() + r->at, length);
    r->at += length;
    return CAIRO_STATUS_SUCCESS;
  }
};

// The decoded straight colours agree with Cairo's reader; every cut and many flipped bytes of the file decode to
// an image of the size the texture says or are refused (the sanitizer build runs this too).
TEST(RendererImage, PngsAgreeWithCairoAndDamagedOnesAreSafe)
{
  const std::vector<unsigned char> png = cairoPng();
  ASSERT_GT(png.size(), 50u);
  Reader reader{&png};
  cairo_surface_t* ref = cairo_image_surface_create_from_png_stream(&Reader::Read, &reader);
  ASSERT_EQ(cairo_surface_status(ref), CAIRO_STATUS_SUCCESS);

  RecordedContext c;
  const int image = vrCreateImageMem(c.ctx, VR_IMAGE_GENERATE_MIPMAPS, png.data(), int(png.size()));
  ASSERT_GT(image, 0);
  const RecordedTexture& t = c.be.textures[image];
  EXPECT_EQ(t.flags, VR_IMAGE_GENERATE_MIPMAPS);
  ASSERT_EQ(t.w, 7);
  ASSERT_EQ(t.h, 5);
  for (int i = 0; i < 35; i++)
  {
    const uint32_t argb = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(ref) +
                                                            (i / 7) * cairo_image_surface_get_stride(ref))[i % 7];
    const int a = int(argb >> 24); // Cairo keeps premultiplied native-endian ARGB
    const int want[4] = {int((argb >> 16) & 0xff) * 255 / a, int((argb >> 8) & 0xff) * 255 / a,
                         int(argb & 0xff) * 255 / a, a};
    for (int k = 0; k < 4; k++) EXPECT_NEAR(t.pixels[size_t(i * 4 + k)], want[k], 2) << i << " " << k;
  }
  cairo_surface_destroy(ref);

  for (size_t n = 0; n < png.size(); n++)
  {
    const int cut = vrCreateImageMem(c.ctx, 0, png.data(), int(n));
    if (cut)
    {
      EXPECT_EQ(c.be.textures[cut].pixels.size(), 7u * 5 * 4) << n;
    }
  }
  for (size_t i = 8; i < png.size(); i++)
  {
    std::vector<unsigned char> bad = png;
    bad[i] ^= 0xa5;
    const int flipped = vrCreateImageMem(c.ctx, 0, bad.data(), int(bad.size()));
    if (flipped)
    {
      const RecordedTexture& f = c.be.textures[flipped];
      EXPECT_EQ(f.pixels.size(), size_t(f.w) * size_t(f.h) * 4) << i;
    }
  }
}

} // namespace

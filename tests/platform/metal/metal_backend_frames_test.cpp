// The back end's frame, framebuffer, texture and recording rules, and image patterns against Cairo.

#include "support/backend_rig.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace backendtest;

namespace
{

long FreeSets(const Backend& b)
{
  return b.mtl()->semaphore->debugValue();
}

// An 8 × 6 RGBA image: distinct colours, alpha falling to the right. Straight or premultiplied.
std::vector<uint8_t> Pixels(bool premultiplied)
{
  std::vector<uint8_t> px(8 * 6 * 4);
  for (int i = 0; i < 48; ++i)
  {
    const int a = 255 - (i % 8) * 20;
    const int rgb[3] = {(i * 37) % 256, (i * 91) % 256, 255 - (i * 13) % 256};
    for (int c = 0; c < 3; ++c) px[i * 4 + c] = (uint8_t)(premultiplied ? (rgb[c] * a + 127) / 255 : rgb[c]);
    px[i * 4 + 3] = (uint8_t)a;
  }
  return px;
}

// The largest channel difference between our frame and a Cairo surface.
int MaxDifference(const std::vector<uint8_t>& ours, cairo_surface_t* s, int w, int h)
{
  cairo_surface_flush(s);
  const uint8_t* ref = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  int worst = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 4; ++x) worst = std::max(worst, std::abs(int(ours[y * w * 4 + x]) - int(ref[y * stride + x])));
  return worst;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalBackendFrames, CancelledAndEmptyFramesGiveTheirSetBack)
{
  Backend b(40, 30);
  ASSERT_NE(b.vg, nullptr);
  EXPECT_EQ(b.mtl()->maxBuffers, 3);
  EXPECT_EQ(FreeSets(b), 3);
  // A cancel without an open frame signals nothing: the count never rises above the number of sets.
  vrCancelFrame(b.vg);
  vrCancelFrame(b.vg);
  EXPECT_EQ(FreeSets(b), 3);
  vrBeginFrame(b.vg, 40, 30, 1);
  EXPECT_EQ(FreeSets(b), 2);
  vrCancelFrame(b.vg);
  EXPECT_EQ(FreeSets(b), 3);
  // A zero-sized viewport cancels at flush and draws nothing.
  EXPECT_TRUE(b.Frame([](VRcontext*) {}).size() > 0);
  const NSUInteger presented = b.layer->presentedCount();
  vrBeginFrame(b.vg, 0, 30, 1);
  vrEndFrame(b.vg);
  b.Finish();
  EXPECT_EQ(b.layer->presentedCount(), presented);
  EXPECT_EQ(FreeSets(b), 3);
  // A layer without a drawable: the frame is cancelled, nothing is drawn into a missing texture.
  b.layer->setDrawableSize(CGSizeMake(0, 0));
  EXPECT_TRUE(b.Frame([](VRcontext* vg) {
                 vrBeginPath(vg);
                 vrRect(vg, 0, 0, 10, 10);
                 vrFill(vg);
               }).empty());
  EXPECT_EQ(FreeSets(b), 3);
  // A frame begun twice gives the first set back.
  b.layer->setDrawableSize(CGSizeMake(40, 30));
  vrBeginFrame(b.vg, 40, 30, 1);
  vrBeginFrame(b.vg, 40, 30, 1);
  vrEndFrame(b.vg);
  b.Finish();
  EXPECT_EQ(FreeSets(b), 3);
}

TEST(MetalBackendFrames, ClearColourAndScale)
{
  Backend b(20, 10, 2.0f);
  mvrClearWithColor(b.vg, vrRGBAf(1.0f, 0.5f, 0.0f, 0.5f));
  auto px = b.Frame([](VRcontext*) {});
  ASSERT_EQ(px.size(), size_t(40 * 20 * 4));
  // Premultiplied, BGRA.
  EXPECT_EQ(px[0], 0);
  EXPECT_NEAR(px[1], 64, 1);
  EXPECT_NEAR(px[2], 128, 1);
  EXPECT_NEAR(px[3], 128, 1);
  EXPECT_FALSE(b.mtl()->clearBufferOnFlush);
  // At scale 2 a logical rectangle covers twice the pixels.
  px = b.Frame([](VRcontext* vg) {
    vrBeginPath(vg);
    vrRect(vg, 0, 0, 5, 5);
    vrFillColor(vg, vrRGBA(0, 0, 255, 255));
    vrFill(vg);
  });
  EXPECT_EQ(px[(8 * 40 + 8) * 4 + 0], 255);
  EXPECT_EQ(px[(8 * 40 + 11) * 4 + 3], 0);
}

// Frames with and without stencil work in any order: passes without fills that need the stencil skip clearing
// it, and those that need it always find it clear.
TEST(MetalBackendFrames, StencilFramesInAnyOrderDrawAlike)
{
  auto star = [](VRcontext* vg) {
    // A pentagram: its middle is wound twice, inside under non-zero winding.
    vrBeginPath(vg);
    vrMoveTo(vg, 10, 1);
    vrLineTo(vg, 15.3f, 17.3f);
    vrLineTo(vg, 1.4f, 7.2f);
    vrLineTo(vg, 18.6f, 7.2f);
    vrLineTo(vg, 4.7f, 17.3f);
    vrClosePath(vg);
    vrFillColor(vg, vrRGBA(255, 0, 0, 255));
    vrFill(vg);
  };
  auto rect = [](VRcontext* vg) {
    vrBeginPath(vg);
    vrRect(vg, 2, 2, 6, 6);
    vrFillColor(vg, vrRGBA(0, 255, 0, 255));
    vrFill(vg);
  };
  auto stroke = [](VRcontext* vg) {
    vrBeginPath(vg);
    vrMoveTo(vg, 2, 18);
    vrLineTo(vg, 18, 3);
    vrStrokeColor(vg, vrRGBA(0, 0, 255, 200));
    vrStrokeWidth(vg, 3);
    vrStroke(vg);
  };
  for (const int flags : {0x2000, 0x2001, 0x2003})
  {
    SCOPED_TRACE(flags);
    std::vector<uint8_t> alone[3];
    const std::function<void(VRcontext*)> draws[3] = {star, rect, stroke};
    for (int i = 0; i < 3; ++i)
    {
      Backend fresh(20, 20, 1.0f, flags);
      alone[i] = fresh.Frame(draws[i]);
      ASSERT_EQ(alone[i].size(), size_t(20 * 20 * 4));
    }
    // The star's middle and points are red (BGRA), the space between two points stays clear.
    EXPECT_EQ(alone[0][(11 * 20 + 10) * 4 + 2], 255);
    EXPECT_EQ(alone[0][(11 * 20 + 10) * 4 + 3], 255);
    EXPECT_GT(alone[0][(4 * 20 + 10) * 4 + 3], 128);
    EXPECT_EQ(alone[0][(17 * 20 + 10) * 4 + 3], 0);
    Backend b(20, 20, 1.0f, flags);
    for (const int i : {0, 1, 0, 2, 0, 1, 2, 2, 0})
      EXPECT_EQ(b.Frame(draws[i]), alone[i]) << i;
    if (const char* dir = std::getenv("ZANIQ_TEST_PNG"))
      for (const float scale : {1.f, 2.f})
      {
        Backend s(20, 20, scale, flags);
        s.Frame([&](VRcontext* vg) { star(vg), stroke(vg); });
        const std::string path = std::string(dir) + "/stencil_frames_" + std::to_string(flags) + "_x" +
                                 std::to_string((int)scale) + ".png";
        EXPECT_TRUE(s.layer->writeLastFrameToPNG(path.c_str()));
      }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Framebuffers and read-back
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalBackendFrames, FramebufferTargetsAndReadPixels)
{
  Backend b(40, 30);
  MVRframebuffer* fb = mvrCreateFramebuffer(b.vg, 40, 30, 0);
  ASSERT_NE(fb, nullptr);
  mvrBindFramebuffer(fb);
  const NSUInteger presented = b.layer->presentedCount();
  EXPECT_TRUE(b.Frame([](VRcontext* vg) {
                 vrBeginPath(vg);
                 vrRect(vg, 10, 5, 20, 10);
                 vrFillColor(vg, vrRGBA(255, 0, 0, 255));
                 vrFill(vg);
               }).empty());
  mvrBindFramebuffer(nullptr);
  EXPECT_EQ(b.layer->presentedCount(), presented); // drawn off screen only

  // A region read into a buffer exactly its size (rows as wide as the region).
  std::vector<uint8_t> region(4 * 3 * 4 + 16, 0xcd);
  mvrReadPixels(b.vg, fb->image, 9, 4, 4, 3, region.data());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
    {
      const bool inside = x >= 1 && y >= 1;
      EXPECT_EQ(region[(y * 4 + x) * 4 + 0], inside ? 255 : 0) << x << "," << y;
      EXPECT_EQ(region[(y * 4 + x) * 4 + 3], inside ? 255 : 0) << x << "," << y;
    }
  EXPECT_EQ(region[48], 0xcd); // nothing written past the region
  // Regions not inside the image are refused.
  for (auto r : {std::array<int, 4>{-1, 0, 2, 2}, {39, 0, 2, 1}, {0, 29, 1, 2}, {0, 0, 0, 1}, {0, 0, 41, 1}})
  {
    std::vector<uint8_t> dst(64, 0xcd);
    mvrReadPixels(b.vg, fb->image, r[0], r[1], r[2], r[3], dst.data());
    EXPECT_EQ(dst, std::vector<uint8_t>(64, 0xcd));
  }
  EXPECT_NE(mvrImageHandle(b.vg, fb->image), nullptr);
  EXPECT_EQ(mvrImageHandle(b.vg, 999), nullptr);

  // Alpha images read back one byte per pixel.
  const uint8_t alpha[6] = {1, 2, 3, 4, 5, 6};
  const int a = b.mtl()->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 3, 2, 0, alpha);
  uint8_t got[3] = {};
  mvrReadPixels(b.vg, a, 1, 0, 1, 2, got);
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(got[1], 5);
  EXPECT_EQ(got[2], 0);
  mvrDeleteFramebuffer(fb);
  mvrDeleteFramebuffer(nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalBackendFrames, TextureRecords)
{
  Backend b(8, 8);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  const uint8_t px[16] = {};
  const int first = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, 2, 2, 0, px);
  const size_t records = mtl->textures.size();
  EXPECT_EQ(mtl->renderDeleteTexture(first), 1);
  EXPECT_EQ(mtl->renderDeleteTexture(first), 0);
  const int second = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 4, 1, 0, px);
  EXPECT_GT(second, first);                      // a new id
  EXPECT_EQ(mtl->textures.size(), records);      // in the freed record
  int w = 0, h = 0;
  EXPECT_EQ(mtl->renderGetTextureSizeForImage_width_height(second, &w, &h), 1);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(mtl->renderGetTextureSizeForImage_width_height(first, &w, &h), 0);
  EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(first, 0, 0, 1, 1, px), 0);
  EXPECT_EQ(mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, 0, 2, 0, nullptr), 0);

  // A sub-region update reads the source at its own place in a full-width image.
  uint8_t src[4 * 3] = {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};
  const int atlas = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 4, 3, 0, nullptr);
  EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(atlas, 1, 1, 2, 2, src), 1);
  uint8_t out[12] = {};
  mvrReadPixels(b.vg, atlas, 0, 0, 4, 3, out);
  const uint8_t expected[12] = {0, 0, 0, 0, 0, 11, 12, 0, 0, 21, 22, 0};
  EXPECT_EQ(std::memcmp(out, expected, 12), 0);

  // A texture handed in and kept (flag 0x10000) outlives the image; the back end drops only its references.
  MTLTextureDescriptor* d =
    MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(MTLPixelFormatRGBA8Unorm, 2, 2, NO);
  MTLTexture* own = mtl->metalLayer->device()->newTextureWithDescriptor(d);
  const int kept = mvrCreateImageFromHandle(b.vg, own, 0x10000);
  EXPECT_GT(kept, 0);
  EXPECT_EQ(mvrImageHandle(b.vg, kept), own);
  EXPECT_EQ(vrDeleteImage(b.vg, kept), 1);
  EXPECT_EQ(own->retainCount(), 1u);
  own->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalBackendFrames, RecordedCalls)
{
  Backend b(40, 30);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  vrBeginFrame(b.vg, 40, 30, 1);
  MVRbuffers_vZANIQ_au* set = mtl->buffers;
  ASSERT_NE(set, nullptr);

  // One convex path: no stencil work, no cover quad.
  vrBeginPath(b.vg);
  vrRect(b.vg, 1, 1, 10, 10);
  vrFill(b.vg);
  ASSERT_EQ(set->ncalls, 1);
  EXPECT_EQ(set->calls[0].type, MVR_CONVEXFILL);
  EXPECT_EQ(set->calls[0].triangleCount, 0);
  EXPECT_GT(set->calls[0].indexCount, 0);

  // Two paths: stencil fill with a cover quad over the bounds.
  vrBeginPath(b.vg);
  vrRect(b.vg, 1, 1, 10, 10);
  vrRect(b.vg, 20, 5, 10, 10);
  vrFill(b.vg);
  ASSERT_EQ(set->ncalls, 2);
  const MVRcall& fill = set->calls[1];
  EXPECT_EQ(fill.type, MVR_FILL);
  EXPECT_EQ(fill.triangleCount, 4);
  EXPECT_EQ(fill.triangleOffset + 4, set->nverts); // the quad is the last thing written
  const VRvertex& q = set->verts[fill.triangleOffset];
  EXPECT_EQ(q.u, 0.5f);
  EXPECT_EQ(q.v, 1.0f);
  // Every index points at a vertex written for this frame.
  for (int i = 0; i < set->nindexes; ++i) EXPECT_LT(set->indexes[i], (uint32_t)set->nverts);

  // An unknown blend factor turns the whole blend into source-over.
  vrGlobalCompositeBlendFuncSeparate(b.vg, VR_ONE, 3, VR_ONE, VR_ZERO);
  vrBeginPath(b.vg);
  vrRect(b.vg, 1, 1, 4, 4);
  vrFill(b.vg);
  ASSERT_EQ(set->ncalls, 3);
  const MVRblend sourceOver{MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha, MTLBlendFactorOne,
                            MTLBlendFactorOneMinusSourceAlpha};
  EXPECT_EQ(std::memcmp(&set->calls[2].blend, &sourceOver, sizeof sourceOver), 0);
  vrGlobalCompositeOperation(b.vg, VR_DESTINATION_OUT);
  vrFill(b.vg);
  EXPECT_EQ(set->calls[3].blend.srcRGB, (uint64_t)MTLBlendFactorZero);
  EXPECT_EQ(set->calls[3].blend.dstRGB, (uint64_t)MTLBlendFactorOneMinusSourceAlpha);

  // An image paint of an unknown image drops its call and everything it allocated.
  const int calls = set->ncalls, verts = set->nverts, indexes = set->nindexes, uniforms = set->nuniforms;
  VRpaint paint = vrImagePattern(b.vg, 0, 0, 4, 4, 0, 999, 1);
  VRscissor none{{1, 0, 0, 1, 0, 0}, {-1, -1}};
  VRvertex tri[3] = {{0, 0, 0, 0}, {4, 0, 1, 0}, {0, 4, 0, 1}};
  mtl->renderTrianglesWithPaint_compositeOperation_scissor_verts_nverts_fringe(&paint, {VR_ONE, VR_ZERO, VR_ONE, VR_ZERO},
                                                                              &none, tri, 3, 1);
  EXPECT_EQ(set->ncalls, calls);
  EXPECT_EQ(set->nverts, verts);
  EXPECT_EQ(set->nindexes, indexes);
  EXPECT_EQ(set->nuniforms, uniforms);

  // A stroke without stroke vertices records a call that draws nothing.
  VRpath empty{};
  VRpaint solid = vrImagePattern(b.vg, 0, 0, 4, 4, 0, 0, 1);
  mtl->renderStrokeWithPaint_compositeOperation_scissor_fringe_strokeWidth_paths_npaths(
    &solid, {VR_ONE, VR_ONE_MINUS_SRC_ALPHA, VR_ONE, VR_ONE_MINUS_SRC_ALPHA}, &none, 1, 2, &empty, 1);
  EXPECT_EQ(set->ncalls, calls + 1);
  EXPECT_EQ(set->calls[calls].type, MVR_STROKE);
  EXPECT_EQ(set->calls[calls].strokeCount, 0);

  // Growth keeps what was written: many calls and vertices in one frame.
  vrGlobalCompositeOperation(b.vg, VR_SOURCE_OVER);
  for (int i = 0; i < 400; ++i)
  {
    vrBeginPath(b.vg);
    vrCircle(b.vg, 20, 15, 1 + i % 10);
    vrFillColor(b.vg, vrRGBA(0, 0, 0, 255));
    vrFill(b.vg);
  }
  EXPECT_GT(set->cverts, 4096);
  for (int i = 0; i < set->nindexes; ++i) ASSERT_LT(set->indexes[i], (uint32_t)set->nverts);
  vrEndFrame(b.vg);
  b.Finish();
}

// ---------------------------------------------------------------------------------------------------------------
// Image patterns and the lighter operation against Cairo
// ---------------------------------------------------------------------------------------------------------------

TEST(MetalBackendFrames, ImagePatternsMatchCairo)
{
  constexpr int W = 100, H = 80;
  Backend b(W, H);
  struct Case
  {
    int flags;
    bool premultiplied;
    int tolerance;
  };
  // Nearest for straight colours (filtering happens before premultiplying there); bilinear when premultiplied.
  const Case cases[] = {{32, false, 2}, {32 | VR_IMAGE_PREMULTIPLIED, true, 2}, {VR_IMAGE_PREMULTIPLIED, true, 3},
                        {32 | VR_IMAGE_FLIPY, false, 2}};
  for (const Case& k : cases)
  {
    const auto data = Pixels(k.premultiplied);
    const int image = vrCreateImageRGBA(b.vg, 8, 6, k.flags, data.data());
    ASSERT_GT(image, 0);
    const auto ours = b.Frame([&](VRcontext* vg) {
      vrBeginPath(vg);
      vrRect(vg, 10, 10, 80, 60);
      vrFillPaint(vg, vrImagePattern(vg, 10, 10, 80, 60, 0, image, 1));
      vrFill(vg);
    });
    vrDeleteImage(b.vg, image);

    // Cairo draws the premultiplied image (ARGB32 in BGRA byte order) scaled by 10.
    cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 6);
    cairo_surface_flush(img);
    uint8_t* dst = cairo_image_surface_get_data(img);
    const int istride = cairo_image_surface_get_stride(img);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x)
      {
        const uint8_t* s = &data[(y * 8 + x) * 4];
        const int a = s[3];
        auto pm = [&](int c) { return k.premultiplied ? c : (c * a + 127) / 255; };
        uint8_t* d = &dst[y * istride + x * 4];
        d[0] = (uint8_t)pm(s[2]), d[1] = (uint8_t)pm(s[1]), d[2] = (uint8_t)pm(s[0]), d[3] = (uint8_t)a;
      }
    cairo_surface_mark_dirty(img);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 10, 10, 80, 60);
    cairo_clip(cr);
    cairo_translate(cr, 10, 10);
    cairo_scale(cr, 10, 10);
    if (k.flags & VR_IMAGE_FLIPY)
    {
      cairo_translate(cr, 0, 6);
      cairo_scale(cr, 1, -1);
    }
    cairo_set_source_surface(cr, img, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), k.flags & 32 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    EXPECT_LE(MaxDifference(ours, surface, W, H), k.tolerance) << "flags " << k.flags;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cairo_surface_destroy(img);
  }
}

TEST(MetalBackendFrames, CompositeOperationsMatchCairo)
{
  constexpr int W = 60, H = 50;
  Backend b(W, H);
  struct Case
  {
    int ours;
    cairo_operator_t cairo;
  };
  // The other operators are compared through the drawing interface; "lighter" is reached only from here.
  const Case cases[] = {{VR_LIGHTER, CAIRO_OPERATOR_ADD}};
  for (const Case& k : cases)
  {
    const auto ours = b.Frame([&](VRcontext* vg) {
      vrBeginPath(vg);
      vrRect(vg, 5, 5, 30, 30);
      vrFillColor(vg, vrRGBA(0, 0, 255, 200));
      vrFill(vg);
      vrGlobalCompositeOperation(vg, k.ours);
      vrBeginPath(vg);
      vrRect(vg, 20, 15, 30, 30);
      vrFillColor(vg, vrRGBA(255, 0, 0, 150));
      vrFill(vg);
    });
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 5, 5, 30, 30);
    cairo_set_source_rgba(cr, 0, 0, 1, 200 / 255.0);
    cairo_fill(cr);
    cairo_set_operator(cr, k.cairo);
    cairo_rectangle(cr, 20, 15, 30, 30);
    cairo_set_source_rgba(cr, 1, 0, 0, 150 / 255.0);
    cairo_fill(cr);
    EXPECT_LE(MaxDifference(ours, surface, W, H), 2) << "operation " << k.ours;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
}

// Rows of an image drawn one texel to a pixel, far longer than the rasteriser's fragment runs, arrive as their
// bytes: premultiplied texels copied (BGRA), over a clear frame or replacing a filled one.
TEST(MetalBackendFrames, LongTexelRowsArriveByteForByte)
{
  constexpr int w = 300, h = 4;
  std::vector<uint8_t> img(w * h * 4);
  std::mt19937 rng(7);
  for (size_t i = 0; i < img.size(); i += 4)
  {
    const int a = (i / 4) % 3 == 0 ? 255 : (int)(rng() % 256);
    for (int c = 0; c < 3; ++c) img[i + c] = (uint8_t)(rng() % (a + 1));
    img[i + 3] = (uint8_t)a;
  }
  for (const bool replace : {false, true})
  {
    SCOPED_TRACE(replace);
    Backend b(w, h, 1.0f);
    const int image = vrCreateImageRGBA(b.vg, w, h, VR_IMAGE_PREMULTIPLIED, img.data());
    ASSERT_NE(image, 0);
    const auto px = b.Frame([&](VRcontext* vg) {
      if (replace)
      {
        vrBeginPath(vg);
        vrRect(vg, 0, 0, w, h);
        vrFillColor(vg, vrRGBA(10, 200, 30, 255));
        vrFill(vg);
        vrGlobalCompositeBlendFunc(vg, VR_ONE, VR_ZERO);
      }
      vrBeginPath(vg);
      vrRect(vg, 0, 0, w, h);
      vrFillPaint(vg, vrImagePattern(vg, 0, 0, w, h, 0, image, 1));
      vrFill(vg);
    });
    ASSERT_EQ(px.size(), img.size());
    int wrong = 0;
    for (size_t i = 0; i < img.size(); i += 4)
      wrong += px[i] != img[i + 2] || px[i + 1] != img[i + 1] || px[i + 2] != img[i] || px[i + 3] != img[i + 3];
    EXPECT_EQ(wrong, 0);
  }
}

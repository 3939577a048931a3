// The back end's frame, framebuffer, texture and recording rules; image patterns against Cairo; the encoder's
// scissor rectangles and the direct texel reads against the paths they shortcut, pixel for pixel.

#include "support/backend_rig.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace backendtest;

namespace
{

long FreeSets(const Backend& b)
{
  return b.mtl()->semaphore->debugValue();
}

void FillRect(VRcontext* vg, float x, float y, float w, float h, VRcolor colour)
{
  vrBeginPath(vg);
  vrRect(vg, x, y, w, h);
  vrFillColor(vg, colour);
  vrFill(vg);
}

// A w × h RGBA image of distinct colours, opaque, translucent and (unless for filtering against Cairo, whose
// weights are finer than ours) clear; straight or premultiplied.
std::vector<uint8_t> Pixels(int w, int h, bool premultiplied, bool clear = true)
{
  std::vector<uint8_t> px(size_t(w) * h * 4);
  for (int i = 0; i < w * h; ++i)
  {
    const int a = clear && i % 7 == 3 ? 0 : 255 - (i % 5) * 40;
    const int rgb[3] = {(i * 37) % 256, (i * 91) % 256, 255 - (i * 13) % 256};
    for (int c = 0; c < 3; ++c) px[i * 4 + c] = (uint8_t)(premultiplied ? (rgb[c] * a + 127) / 255 : rgb[c]);
    px[i * 4 + 3] = (uint8_t)a;
  }
  return px;
}

// Saves the layer's last frame as PNG under ZANIQ_TEST_PNG when that is set.
void SaveIfAsked(const Backend& b, const std::string& name)
{
  if (const char* dir = std::getenv("ZANIQ_TEST_PNG"))
  {
    EXPECT_TRUE(b.layer->writeLastFrameToPNG((std::string(dir) + "/" + name + ".png").c_str()));
  }
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

struct Clip
{
  const char* name;
  float x, y, w, h;
  float rotate; // radians about the clip's origin
};

// Fills, strokes, an image and text-like triangles under one clip each, with and without a transform.
void Scene(VRcontext* vg, const Clip& c, int image)
{
  vrSave(vg);
  vrTranslate(vg, 3.25f, 2.5f);
  vrRotate(vg, c.rotate);
  vrScissor(vg, c.x, c.y, c.w, c.h);
  vrResetTransform(vg);

  FillRect(vg, 0, 0, 96, 72, vrRGBA(30, 60, 200, 255));

  vrBeginPath(vg);
  vrCircle(vg, 40, 30, 22.3f); // a general (non-convex path) fill goes through the stencil
  vrRoundedRect(vg, 10, 40, 70, 25, 6);
  vrPathWinding(vg, VR_HOLE);
  vrFillPaint(vg, vrLinearGradient(vg, 0, 0, 96, 72, vrRGBA(250, 200, 0, 220), vrRGBA(0, 200, 120, 160)));
  vrFill(vg);

  vrBeginPath(vg);
  vrMoveTo(vg, 5, 70);
  vrBezierTo(vg, 30, -10, 60, 90, 92, 4);
  vrStrokeWidth(vg, 3.5f);
  vrStrokeColor(vg, vrRGBA(255, 255, 255, 200));
  vrStroke(vg);

  vrBeginPath(vg);
  vrRect(vg, 20, 8, 48, 36); // its own size at scale 1: texel runs
  vrFillPaint(vg, vrImagePattern(vg, 20, 8, 16, 12, 0.0f, image, 1.0f));
  vrFill(vg);
  vrRestore(vg);
}

} // namespace

// Every frame that ends without drawing gives its buffer set back: a cancel without an open frame signals nothing
// (the count never rises above the number of sets), a layer without a drawable cancels the frame, and a frame begun
// twice returns the first set.
TEST(MetalBackendFrames, CancelledAndEmptyFramesGiveTheirSetBack)
{
  Backend b(40, 30);
  ASSERT_NE(b.vg, nullptr);
  vrCancelFrame(b.vg);
  vrCancelFrame(b.vg);
  EXPECT_EQ(FreeSets(b), 3);
  vrBeginFrame(b.vg, 40, 30, 1);
  EXPECT_EQ(FreeSets(b), 2);
  vrCancelFrame(b.vg);
  EXPECT_EQ(FreeSets(b), 3);
  b.layer->setDrawableSize(CGSizeMake(0, 0));
  EXPECT_TRUE(b.Frame([](VRcontext* vg) { FillRect(vg, 0, 0, 10, 10, vrRGBA(255, 0, 0, 255)); }).empty());
  EXPECT_EQ(FreeSets(b), 3);
  b.layer->setDrawableSize(CGSizeMake(40, 30));
  vrBeginFrame(b.vg, 40, 30, 1);
  vrBeginFrame(b.vg, 40, 30, 1);
  vrEndFrame(b.vg);
  b.Finish();
  EXPECT_EQ(FreeSets(b), 3);
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
  auto rect = [](VRcontext* vg) { FillRect(vg, 2, 2, 6, 6, vrRGBA(0, 255, 0, 255)); };
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
    // The star's middle is red (BGRA), the space between two points stays clear.
    EXPECT_EQ(alone[0][(11 * 20 + 10) * 4 + 2], 255);
    EXPECT_EQ(alone[0][(17 * 20 + 10) * 4 + 3], 0);
    Backend b(20, 20, 1.0f, flags);
    for (const int i : {0, 1, 0, 2, 0, 1, 2, 2, 0})
      EXPECT_EQ(b.Frame(draws[i]), alone[i]) << i;
    for (const float scale : {1.f, 2.f})
    {
      Backend s(20, 20, scale, flags);
      s.Frame([&](VRcontext* vg) { star(vg), stroke(vg); });
      SaveIfAsked(s, "stencil_frames_" + std::to_string(flags) + "_x" + std::to_string((int)scale));
    }
  }
}

TEST(MetalBackendFrames, FramebufferTargetsAndReadPixels)
{
  Backend b(40, 30);
  MVRframebuffer* fb = mvrCreateFramebuffer(b.vg, 40, 30, 0);
  ASSERT_NE(fb, nullptr);
  mvrBindFramebuffer(fb);
  const NSUInteger presented = b.layer->presentedCount();
  EXPECT_TRUE(b.Frame([](VRcontext* vg) { FillRect(vg, 10, 5, 20, 10, vrRGBA(255, 0, 0, 255)); }).empty());
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

  // Alpha images read back one byte per pixel.
  const uint8_t alpha[6] = {1, 2, 3, 4, 5, 6};
  const int a = b.mtl()->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 3, 2, 0, alpha);
  uint8_t got[3] = {};
  mvrReadPixels(b.vg, a, 1, 0, 1, 2, got);
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(got[1], 5);
  EXPECT_EQ(got[2], 0);
  mvrDeleteFramebuffer(fb);
}

// Only type 1 is an alpha texture: every other type holds four bytes a pixel, uploaded, updated and read as such.
TEST(MetalBackendFrames, TexturesOfAnyOtherTypeAreRGBA)
{
  Backend b(8, 8);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  const std::vector<uint8_t> px = Pixels(3, 2, false);
  for (const int type : {0, int(VR_TEXTURE_RGBA), 3, -1, 255})
  {
    SCOPED_TRACE(type);
    const int image = mtl->renderCreateTextureWithType_width_height_imageFlags_data(type, 3, 2, 0, px.data());
    ASSERT_GT(image, 0);
    ASSERT_NE(mvrImageHandle(b.vg, image), nullptr);
    EXPECT_EQ(mvrImageHandle(b.vg, image)->pixelFormat(), MTLPixelFormatRGBA8Unorm);
    std::vector<uint8_t> got(px.size() + 4, 0xcd);
    mvrReadPixels(b.vg, image, 0, 0, 3, 2, got.data());
    EXPECT_TRUE(std::equal(px.begin(), px.end(), got.begin()));
    EXPECT_EQ(got[px.size()], 0xcd);
    // An update of the middle column takes its pixels from the whole image's rows, four bytes each.
    const std::vector<uint8_t> next = Pixels(3, 2, true, false);
    EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(image, 1, 0, 1, 2, next.data()), 1);
    uint8_t column[8] = {};
    mvrReadPixels(b.vg, image, 1, 0, 1, 2, column);
    EXPECT_TRUE(std::equal(column, column + 4, next.begin() + 4));
    EXPECT_TRUE(std::equal(column + 4, column + 8, next.begin() + 16));
    EXPECT_EQ(mtl->renderDeleteTexture(image), 1);
  }
  const int alpha = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_ALPHA, 3, 2, 0, nullptr);
  ASSERT_GT(alpha, 0);
  EXPECT_EQ(mvrImageHandle(b.vg, alpha)->pixelFormat(), MTLPixelFormatR8Unorm);
}

TEST(MetalBackendFrames, DeletedAndKeptTextures)
{
  Backend b(8, 8);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  const uint8_t px[16] = {};
  const int gone = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, 2, 2, 0, px);
  EXPECT_EQ(mtl->renderDeleteTexture(gone), 1);
  EXPECT_EQ(mtl->renderDeleteTexture(gone), 0);
  EXPECT_EQ(mtl->renderUpdateTextureWithImage_x_y_width_height_data(gone, 0, 0, 1, 1, px), 0);

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

// Every index points at a vertex written for its frame, also after the buffers grew; an unknown blend factor makes
// the whole blend source-over; a call that cannot be made takes back everything it allocated.
TEST(MetalBackendFrames, RecordedCalls)
{
  Backend b(40, 30);
  MVRcontext_vZANIQ_au* mtl = b.mtl();
  vrBeginFrame(b.vg, 40, 30, 1);
  MVRbuffers_vZANIQ_au* set = mtl->buffers;
  ASSERT_NE(set, nullptr);

  // Two paths: a stencil fill whose cover quad is the last thing written.
  vrBeginPath(b.vg);
  vrRect(b.vg, 1, 1, 10, 10);
  vrRect(b.vg, 20, 5, 10, 10);
  vrFill(b.vg);
  ASSERT_EQ(set->ncalls, 1);
  EXPECT_EQ(set->calls[0].type, MVR_FILL);
  EXPECT_EQ(set->calls[0].triangleOffset + 4, set->nverts);

  vrGlobalCompositeBlendFuncSeparate(b.vg, VR_ONE, 3, VR_ONE, VR_ZERO);
  vrFill(b.vg);
  ASSERT_EQ(set->ncalls, 2);
  const MVRblend sourceOver{MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha, MTLBlendFactorOne,
                            MTLBlendFactorOneMinusSourceAlpha};
  EXPECT_EQ(std::memcmp(&set->calls[1].blend, &sourceOver, sizeof sourceOver), 0);

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

  // Growth keeps what was written: many calls and vertices in one frame.
  for (int i = 0; i < 400; ++i)
  {
    vrBeginPath(b.vg);
    vrCircle(b.vg, 20, 15, 1 + i % 10);
    vrFill(b.vg);
  }
  EXPECT_GT(set->cverts, 4096);
  for (int i = 0; i < set->nindexes; ++i) ASSERT_LT(set->indexes[i], (uint32_t)set->nverts);
  vrEndFrame(b.vg);
  b.Finish();
}

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
    const auto data = Pixels(8, 6, k.premultiplied, false);
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

// The other operations are compared through the drawing interface; "lighter" is reached only from here.
TEST(MetalBackendFrames, LighterMatchesCairo)
{
  constexpr int W = 60, H = 50;
  Backend b(W, H);
  const auto ours = b.Frame([&](VRcontext* vg) {
    FillRect(vg, 5, 5, 30, 30, vrRGBA(0, 0, 255, 200));
    vrGlobalCompositeOperation(vg, VR_LIGHTER);
    FillRect(vg, 20, 15, 30, 30, vrRGBA(255, 0, 0, 150));
  });
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, W, H);
  cairo_t* cr = cairo_create(surface);
  cairo_rectangle(cr, 5, 5, 30, 30);
  cairo_set_source_rgba(cr, 0, 0, 1, 200 / 255.0);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  cairo_rectangle(cr, 20, 15, 30, 30);
  cairo_set_source_rgba(cr, 1, 0, 0, 150 / 255.0);
  cairo_fill(cr);
  EXPECT_LE(MaxDifference(ours, surface, W, H), 2);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

TEST(MetalBackendScissor, ScissorRectanglesDrawWhatTheShaderMaskDraws)
{
  const Clip clips[] = {
      {"whole pixels", 10, 8, 50, 40, 0},
      {"fractional", 12.3f, 7.6f, 41.45f, 33.2f, 0},
      {"empty", 30, 30, 0, 0, 0},
      {"past the edges", -20, -10, 200, 40.5f, 0},
      {"one pixel", 40, 30, 1, 1, 0},
      {"rotated", 20, 10, 40, 30, 0.3f},
      {"half turn", -60, -50, 40.5f, 30.25f, 3.14159265f},
  };
  const std::vector<uint8_t> px = Pixels(16, 12, false);
  for (const float scale : {1.0f, 2.0f, 1.5f})
    for (const Clip& c : clips)
    {
      SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(scale));
      std::vector<uint8_t> frames[2];
      for (int withRects = 0; withRects < 2; ++withRects)
      {
        Backend b(96, 72, scale);
        b.mtl()->useScissorRects = withRects != 0;
        const int image = vrCreateImageRGBA(b.vg, 16, 12, 0, px.data());
        frames[withRects] = b.Frame([&](VRcontext* vg) { Scene(vg, c, image); });
        if (withRects)
          SaveIfAsked(b, "scissor_" + std::to_string(&c - clips) + "_x" + std::to_string((int)(scale * 10)));
      }
      ASSERT_FALSE(frames[0].empty());
      EXPECT_TRUE(frames[0] == frames[1]);
      // The scenes draw something unless the clip is empty.
      if (c.w > 0)
      {
        EXPECT_LT(std::count(frames[0].begin(), frames[0].end(), 0), (long)frames[0].size());
      }
    }
}

// Bitmaps whose texels land on pixels take a direct read in the span shader, and runs of plain texels are copied
// whole; the per-pixel reference path filters every one. Both must give the same bytes, also just off the texel
// grid, and for rows longer than the rasteriser's runs.
TEST(MetalBackendImages, TexelExactImagesDrawLikeTheFilteredPath)
{
  struct Place
  {
    const char* name;
    float x, y, w, h, angle;
    int flags;
  };
  const Place places[] = {
      {"on the grid", 7, 5, 72, 18, 0, 0},           {"mipmapped", 20, 3, 72, 18, 0, VR_IMAGE_GENERATE_MIPMAPS},
      {"flipped", 3, 30, 72, 18, 0, VR_IMAGE_FLIPY}, {"a hair off", 10.0004f, 30.0003f, 72, 18, 0, 0},
      {"quarter off", 16.25f, 5.5f, 72, 18, 0, 0},   {"scaled", 6, 40, 90, 22, 0, 0},
      {"rotated", 20, 40, 72, 18, 0.2f, 0},          {"half turn", 90, 70, 72, 18, 3.14159265f, 0},
  };
  for (const bool straight : {false, true})
    for (const float scale : {1.0f, 2.0f})
      for (const Place& pl : places)
      {
        SCOPED_TRACE(std::string(pl.name) + " at scale " + std::to_string(scale) + (straight ? " straight" : ""));
        const int iw = (int)(72 * scale), ih = (int)(18 * scale);
        const std::vector<uint8_t> px = Pixels(iw, ih, !straight);
        std::vector<uint8_t> frames[2];
        for (int reference = 0; reference < 2; ++reference)
        {
          Backend b(96, 72, scale);
          MTLDevice* device = mvrDevice(b.vg);
          device->setUsesReferenceRasterizer(reference ? YES : NO);
          const int image =
              vrCreateImageRGBA(b.vg, iw, ih, pl.flags | (straight ? 0 : VR_IMAGE_PREMULTIPLIED), px.data());
          ASSERT_GT(image, 0);
          frames[reference] = b.Frame(
              [&](VRcontext* vg)
              {
                FillRect(vg, 0, 0, 96, 72, vrRGBA(40, 40, 48, 255));
                // Once opaque, once faded and shifted by whole pixels of the smaller scale, once under a clip whose
                // edges fall inside pixels, once replacing what is under it.
                for (int k = 0; k < 4; ++k)
                {
                  vrSave(vg);
                  vrTranslate(vg, pl.x + 3.0f * (k % 2), pl.y + 2.0f * (k % 2) + 20.0f * (k == 3));
                  vrRotate(vg, pl.angle);
                  if (k == 2) vrScissor(vg, 2.3f, 1.5f, 15.2f, 9.7f);
                  if (k == 3) vrGlobalCompositeBlendFunc(vg, VR_ONE, VR_ZERO);
                  vrBeginPath(vg);
                  vrRect(vg, 0, 0, pl.w, pl.h);
                  vrFillPaint(vg, vrImagePattern(vg, 0, 0, pl.w, pl.h, 0, image, k == 1 ? 0.6f : 1.0f));
                  vrFill(vg);
                  vrRestore(vg);
                }
              });
          device->setUsesReferenceRasterizer(NO);
          if (!reference)
            SaveIfAsked(b, "texels_" + std::to_string(&pl - places) + (straight ? "_straight_x" : "_x") +
                             std::to_string((int)scale));
        }
        ASSERT_FALSE(frames[0].empty());
        EXPECT_TRUE(frames[0] == frames[1]);
      }
}

// The encoder's scissor rectangle against the shader's own clip mask: the same scenes, pixel for pixel.

#include "support/backend_rig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace backendtest;

namespace
{

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

  vrBeginPath(vg);
  vrRect(vg, 0, 0, 96, 72);
  vrFillColor(vg, vrRGBA(30, 60, 200, 255));
  vrFill(vg);

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
  const char* dir = std::getenv("ZANIQ_TEST_PNG");
  for (const float scale : {1.0f, 2.0f, 1.5f})
    for (const Clip& c : clips)
    {
      SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(scale));
      std::vector<uint8_t> frames[2];
      for (int withRects = 0; withRects < 2; ++withRects)
      {
        Backend b(96, 72, scale);
        ASSERT_NE(b.vg, nullptr);
        b.mtl()->useScissorRects = withRects != 0;
        uint8_t px[16 * 12 * 4];
        for (int i = 0; i < 16 * 12; ++i)
        {
          px[i * 4 + 0] = (uint8_t)(i * 7), px[i * 4 + 1] = (uint8_t)(i * 13), px[i * 4 + 2] = (uint8_t)(255 - i);
          px[i * 4 + 3] = 255;
        }
        const int image = vrCreateImageRGBA(b.vg, 16, 12, 0, px);
        frames[withRects] = b.Frame([&](VRcontext* vg) { Scene(vg, c, image); });
        vrDeleteImage(b.vg, image);
        if (dir && withRects)
        {
          const std::string path = std::string(dir) + "/scissor_" + std::to_string(&c - clips) + "_x" +
                                   std::to_string((int)(scale * 10)) + ".png";
          EXPECT_TRUE(b.layer->writeLastFrameToPNG(path.c_str()));
        }
      }
      ASSERT_FALSE(frames[0].empty());
      ASSERT_EQ(frames[0].size(), frames[1].size());
      size_t differing = 0, drawn = 0;
      for (size_t i = 0; i < frames[0].size(); ++i)
      {
        differing += frames[0][i] != frames[1][i];
        drawn += frames[0][i] != 0;
      }
      EXPECT_EQ(differing, 0u);
      // The scenes draw something unless the clip is empty.
      if (c.w > 0)
      {
        EXPECT_GT(drawn, 0u);
      }
    }
}

// Bitmaps whose texels land on pixels take a direct read in the span shader; the per-pixel reference path
// filters every one. Both must give the same bytes, also just off the texel grid.
TEST(MetalBackendImages, TexelExactImagesDrawLikeTheFilteredPath)
{
  struct Place
  {
    const char* name;
    float x, y, w, h, angle;
    int flags;
  };
  const Place places[] = {
      {"on the grid", 7, 5, 24, 18, 0, 0},           {"mipmapped", 40, 3, 24, 18, 0, VR_IMAGE_GENERATE_MIPMAPS},
      {"flipped", 3, 30, 24, 18, 0, VR_IMAGE_FLIPY}, {"a hair off", 40.0004f, 30.0003f, 24, 18, 0, 0},
      {"quarter off", 66.25f, 5.5f, 24, 18, 0, 0},   {"scaled", 60, 40, 30, 22, 0, 0},
      {"rotated", 20, 50, 24, 18, 0.2f, 0},          {"half turn", 90, 70, 24, 18, 3.14159265f, 0},
  };
  for (const bool straight : {false, true})
    for (const float scale : {1.0f, 2.0f})
      for (const Place& pl : places)
      {
        SCOPED_TRACE(std::string(pl.name) + " at scale " + std::to_string(scale) + (straight ? " straight" : ""));
        std::vector<uint8_t> frames[2];
        for (int reference = 0; reference < 2; ++reference)
        {
          Backend b(96, 72, scale);
          ASSERT_NE(b.vg, nullptr);
          MTLDevice* device = mvrDevice(b.vg);
          device->setUsesReferenceRasterizer(reference ? YES : NO);
          const int iw = (int)(24 * scale), ih = (int)(18 * scale);
          std::vector<uint8_t> px((size_t)iw * ih * 4);
          for (int i = 0; i < iw * ih; ++i)
          {
            // Opaque, clear and in between.
            const int a = i % 7 == 3 ? 0 : 255 - (i % 5) * 40;
            const int k = straight ? 255 : a;
            px[i * 4 + 0] = (uint8_t)((i * 37 % 256) * k / 255), px[i * 4 + 1] = (uint8_t)((i * 91 % 256) * k / 255);
            px[i * 4 + 2] = (uint8_t)((255 - i * 13 % 256) * k / 255), px[i * 4 + 3] = (uint8_t)a;
          }
          const int image =
              vrCreateImageRGBA(b.vg, iw, ih, pl.flags | (straight ? 0 : VR_IMAGE_PREMULTIPLIED), px.data());
          ASSERT_GT(image, 0);
          frames[reference] = b.Frame(
              [&](VRcontext* vg)
              {
                vrBeginPath(vg);
                vrRect(vg, 0, 0, 96, 72);
                vrFillColor(vg, vrRGBA(40, 40, 48, 255));
                vrFill(vg);
                // Once opaque, once faded and shifted by whole pixels of the smaller scale, once under a clip whose
                // edges fall inside pixels.
                for (int k = 0; k < 3; ++k)
                {
                  vrSave(vg);
                  vrTranslate(vg, pl.x + 3.0f * (k % 2), pl.y + 2.0f * (k % 2));
                  vrRotate(vg, pl.angle);
                  if (k == 2) vrScissor(vg, 2.3f, 1.5f, 15.2f, 9.7f);
                  vrBeginPath(vg);
                  vrRect(vg, 0, 0, pl.w, pl.h);
                  vrFillPaint(vg, vrImagePattern(vg, 0, 0, pl.w, pl.h, 0, image, k == 1 ? 0.6f : 1.0f));
                  vrFill(vg);
                  vrRestore(vg);
                }
              });
          vrDeleteImage(b.vg, image);
          device->setUsesReferenceRasterizer(NO);
        }
        ASSERT_FALSE(frames[0].empty());
        ASSERT_EQ(frames[0].size(), frames[1].size());
        size_t differing = 0;
        for (size_t i = 0; i < frames[0].size(); ++i)
          differing += frames[0][i] != frames[1][i];
        EXPECT_EQ(differing, 0u);
      }
}

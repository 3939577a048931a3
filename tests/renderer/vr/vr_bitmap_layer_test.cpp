// Bitmaps (files with scale variants, memory, blends) and layers with drop shadows through IGraphicsVR, against
// Cairo compositing the same images.

#include "support/vr_rig.h"

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace vrtest;

namespace
{

constexpr double kPi = 3.14159265358979323846;

// The test image at a scale: 40 × 30 points of translucent and opaque shapes on nothing.
cairo_surface_t* MakeImage(int scale)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40 * scale, 30 * scale);
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, scale, scale);
  cairo_rectangle(cr, 2, 2, 24, 20);
  cairo_set_source_rgba(cr, 0.9, 0.3, 0.1, 1.0);
  cairo_fill(cr);
  cairo_arc(cr, 26, 16, 11, 0, 2 * kPi);
  cairo_set_source_rgba(cr, 0.1, 0.5, 0.9, 0.6);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

struct TempImages
{
  TempImages()
  {
    dir = std::filesystem::path(::testing::TempDir()) / ("vr_images_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int scale : {1, 2})
    {
      cairo_surface_t* s = MakeImage(scale);
      cairo_surface_write_to_png(s, (dir / (scale == 1 ? "panel.png" : "panel@2x.png")).c_str());
      cairo_surface_destroy(s);
    }
    std::FILE* f = std::fopen((dir / "broken.png").c_str(), "wb");
    std::fputs("\x89PNG\r\n\x1a\nnot really", f);
    std::fclose(f);
  }
  ~TempImages() { std::filesystem::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
  std::filesystem::path dir;
};

void Check(Editor& e, const std::vector<uint8_t>& ours, CairoFrame& ref, int w, int h, const std::string& name)
{
  const Stats s = Compare(ours, ref.Data(), ref.Stride(), w, h, 64);
  const bool ok = s.interiorMax <= 3 && s.overEdge <= 4 * w / 100 && s.mean < 1.0;
  EXPECT_TRUE(ok) << name << ": interior " << s.interiorMax << " edge " << s.edgeMax << " beyond " << s.overEdge
                  << " mean " << s.mean << " at" << s.where;
  if (!ok || KeepImages()) SavePair(e.g, ref, name);
}

} // namespace

TEST(VRBitmap, ScaleVariantsAndBlendsMatchCairo)
{
  const TempImages images;
  for (int scale : {1, 2})
  {
    Editor e(100, 80, float(scale));
    const IBitmap bitmap = e.g.LoadBitmap(images.Path("panel.png").c_str());
    ASSERT_TRUE(bitmap.IsValid());
    // The variant made for the screen scale is chosen; its size in points is the same.
    EXPECT_EQ(bitmap.GetScale(), float(scale));
    EXPECT_EQ(bitmap.W, 40);

    const IBlend half(kBlendDefault, 0.5f), behind(kBlendDstOver, 1.f);
    const auto ours = Render(e, [&](IGraphicsVR& g) {
      g.DrawBitmap(bitmap, IRECT(5.f, 5.f, 45.f, 35.f), 0, 0, nullptr);
      g.DrawBitmap(bitmap, IRECT(50.f, 10.f, 90.f, 40.f), 0, 0, &half);
      g.FillRect(COLOR_GREEN, IRECT(10.f, 50.f, 40.f, 75.f));
      g.DrawBitmap(bitmap, IRECT(20.f, 45.f, 60.f, 75.f), 0, 0, &behind);
      // A source offset shows the bitmap's lower right part.
      g.DrawBitmap(bitmap, IRECT(70.f, 50.f, 90.f, 65.f), 20, 15, nullptr);
    });
    CairoFrame ref(100, 80, scale);
    cairo_surface_t* img = MakeImage(scale);
    const auto paint = [&](double x, double y, double alpha, double sx = 0, double sy = 0, double w = 40,
                           double h = 30) {
      cairo_save(ref.cr);
      cairo_rectangle(ref.cr, x, y, w, h);
      cairo_clip(ref.cr);
      cairo_translate(ref.cr, x - sx, y - sy);
      cairo_scale(ref.cr, 1.0 / scale, 1.0 / scale);
      cairo_set_source_surface(ref.cr, img, 0, 0);
      cairo_paint_with_alpha(ref.cr, alpha);
      cairo_restore(ref.cr);
    };
    paint(5, 5, 1);
    paint(50, 10, 0.5);
    cairo_rectangle(ref.cr, 10, 50, 30, 25);
    cairo_set_source_rgb(ref.cr, 0, 1, 0);
    cairo_fill(ref.cr);
    cairo_set_operator(ref.cr, CAIRO_OPERATOR_DEST_OVER);
    paint(20, 45, 1);
    cairo_set_operator(ref.cr, CAIRO_OPERATOR_OVER);
    paint(70, 50, 1, 20, 15, 20, 15);
    cairo_surface_destroy(img);
    Check(e, ours, ref, 100 * scale, 80 * scale, "bitmaps x" + std::to_string(scale));
  }
}

// Bytes are taken as normal density and rendered anew for the target scale (the screen's for 0): each scale is
// cached once, in this context, and the normal-density source stays there while its rendition is drawn.
TEST(VRBitmap, MemoryBitmapsAreMadeAtTheTargetScale)
{
  const TempImages images;
  std::ifstream in(images.Path("panel.png"), std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  const int size = int(bytes.size());

  Editor e(100, 80, 2.f);
  const IBitmap atScreen = e.g.LoadBitmap("mem.png", bytes.data(), size, 1, false, 0);
  ASSERT_TRUE(atScreen.IsValid());
  EXPECT_EQ(atScreen.GetScale(), 2.f);
  EXPECT_EQ(atScreen.mAPIBitmap->GetWidth(), 80);
  EXPECT_EQ(atScreen.mAPIBitmap->GetHeight(), 60);
  EXPECT_EQ(atScreen.W, 40);
  EXPECT_EQ(e.g.NCachedBitmaps(), 2);

  // Each scale comes from the cache from now on, without the bytes; a new scale is rendered from the source.
  const IBitmap again = e.g.LoadBitmap("mem.png", nullptr, 0, 1, false, 2);
  EXPECT_EQ(again.mAPIBitmap, atScreen.mAPIBitmap);
  const IBitmap plain = e.g.LoadBitmap("mem.png", nullptr, 0, 1, false, 1);
  ASSERT_TRUE(plain.IsValid());
  EXPECT_EQ(plain.GetScale(), 1.f);
  EXPECT_EQ(plain.mAPIBitmap->GetWidth(), 40);
  const IBitmap triple = e.g.LoadBitmap("mem.png", nullptr, 0, 3, true, 3);
  ASSERT_TRUE(triple.IsValid());
  EXPECT_EQ(triple.mAPIBitmap->GetWidth(), 120);
  EXPECT_EQ(triple.N, 3);
  EXPECT_EQ(e.g.NCachedBitmaps(), 3);

  // The rendition draws as Cairo draws the 1x image scaled up (edges differ with the filters).
  const auto ours = Render(e, [&](IGraphicsVR& g) {
    g.DrawBitmap(atScreen, IRECT(5.f, 5.f, 45.f, 35.f), 0, 0, nullptr);
    g.DrawBitmap(plain, IRECT(50.f, 40.f, 90.f, 70.f), 0, 0, nullptr);
  });
  CairoFrame ref(100, 80, 2);
  cairo_surface_t* img = MakeImage(1);
  for (const auto& at : {std::array<double, 2>{5, 5}, {50, 40}})
  {
    cairo_save(ref.cr);
    cairo_rectangle(ref.cr, at[0], at[1], 40, 30);
    cairo_clip(ref.cr);
    cairo_set_source_surface(ref.cr, img, at[0], at[1]);
    cairo_paint(ref.cr);
    cairo_restore(ref.cr);
  }
  cairo_surface_destroy(img);
  Check(e, ours, ref, 200, 160, "memory bitmap x2");
}

TEST(VRBitmap, FailedAndEmptyBitmapsDrawNothingAndExtensions)
{
  const TempImages images;
  Editor e(60, 40);
  // A file that is found but cannot be decoded gives an image of size 0; a missing one no bitmap at all.
  const IBitmap broken = e.g.LoadBitmap(images.Path("broken.png").c_str());
  ASSERT_NE(broken.mAPIBitmap, nullptr);
  EXPECT_EQ(broken.mAPIBitmap->GetWidth(), 0);
  EXPECT_FALSE(e.g.LoadBitmap(images.Path("missing.png").c_str()).IsValid());
  const uint8_t junk[16] = {1, 2, 3};
  const IBitmap fromJunk = e.g.LoadBitmap("junk.png", junk, int(sizeof junk));
  EXPECT_EQ(fromJunk.W, 0);
  const IBitmap good = e.g.LoadBitmap(images.Path("panel.png").c_str());

  const auto px = Render(e, [&](IGraphicsVR& g) {
    g.DrawBitmap(broken, IRECT(0.f, 0.f, 60.f, 40.f), 0, 0, nullptr);
    g.DrawBitmap(fromJunk, IRECT(0.f, 0.f, 60.f, 40.f), 0, 0, nullptr);
    g.DrawBitmap(good, IRECT(10.f, 10.f, 10.f, 40.f), 0, 0, nullptr); // no width
    g.DrawBitmap(IBitmap(), IRECT(0.f, 0.f, 60.f, 40.f), 0, 0, nullptr);
  });
  EXPECT_TRUE(Empty(px));

  EXPECT_TRUE(e.g.BitmapExtSupported("PNG"));
  EXPECT_FALSE(e.g.BitmapExtSupported(nullptr));
}

// A translucent shape drawn into a layer, given a hard drop shadow (no blur) and drawn back: colours must come
// through unchanged (premultiplied once), the shadow under them at its offset and opacity.
TEST(VRLayer, LayersAndShadowsKeepTheirColours)
{
  for (int scale : {1, 2})
    for (bool foreground : {true, false})
    {
      Editor e(100, 80, float(scale));
      const IRECT r(10.f, 10.f, 70.f, 60.f);
      const IColor tint(150, 40, 160, 220);
      const auto ours = Render(e, [&](IGraphicsVR& g) {
        g.StartLayer(nullptr, r);
        g.FillRoundRect(tint, IRECT(15.f, 15.f, 55.f, 45.f), 6.f);
        ILayerPtr layer = g.EndLayer();
        ASSERT_TRUE(layer && layer->GetAPIBitmap());
        const IDropShadow shadow(IPattern(COLOR_BLACK), 0.f, 8.f, 6.f, 0.5f, foreground);
        g.ApplyLayerDropShadow(layer, shadow);
        g.DrawLayer(layer);
      });
      CairoFrame ref(100, 80, scale);
      cairo_t* cr = ref.cr;
      cairo_rectangle(cr, 10, 10, 60, 50);
      cairo_clip(cr);
      const auto shape = [cr](double dx, double dy) {
        cairo_new_path(cr);
        cairo_arc(cr, 49 + dx, 21 + dy, 6, -kPi / 2, 0);
        cairo_arc(cr, 49 + dx, 39 + dy, 6, 0, kPi / 2);
        cairo_arc(cr, 21 + dx, 39 + dy, 6, kPi / 2, kPi);
        cairo_arc(cr, 21 + dx, 21 + dy, 6, kPi, 1.5 * kPi);
        cairo_close_path(cr);
      };
      // The shadow: black at half opacity where the shape's alpha is, moved by the offset.
      shape(8, 6);
      cairo_set_source_rgba(cr, 0, 0, 0, 0.5 * 150 / 255.0);
      cairo_fill(cr);
      if (foreground)
      {
        shape(0, 0);
        cairo_set_source_rgba(cr, 40 / 255.0, 160 / 255.0, 220 / 255.0, 150 / 255.0);
        cairo_fill(cr);
      }
      Check(e, ours, ref, 100 * scale, 80 * scale,
            "layer shadow x" + std::to_string(scale) + (foreground ? "" : " shadow only"));
    }
}

// Pixels read from a layer and written into an empty one draw the same colours.
TEST(VRLayer, PixelsRoundTrip)
{
  Editor e(60, 50);
  const IColor tint(128, 200, 100, 20);
  RawBitmapData data;
  const auto ours = Render(e, [&](IGraphicsVR& g) {
    const IRECT r(0.f, 0.f, 60.f, 50.f);
    g.StartLayer(nullptr, r);
    g.FillCircle(tint, 30.f, 25.f, 18.f);
    ILayerPtr a = g.EndLayer();
    g.GetLayerBitmapData(a, data);
    g.StartLayer(nullptr, r);
    ILayerPtr b = g.EndLayer();
    g.SetLayerBitmapData(b, data);
    g.DrawLayer(b);
  });
  ASSERT_EQ(data.GetSize(), 60 * 50 * 4);
  // The centre pixel: premultiplied (R G B A) of the tint, read back as-is.
  const uint8_t* c = data.Get() + (25 * 60 + 30) * 4;
  EXPECT_NEAR(c[0], 200 * 128 / 255, 2);
  EXPECT_NEAR(c[3], 128, 1);
  CairoFrame ref(60, 50, 1);
  cairo_arc(ref.cr, 30, 25, 18, 0, 2 * kPi);
  cairo_set_source_rgba(ref.cr, 200 / 255.0, 100 / 255.0, 20 / 255.0, 128 / 255.0);
  cairo_fill(ref.cr);
  Check(e, ours, ref, 60, 50, "layer pixels round trip");
}

// A layer whose bitmap cannot be made (wider than layers may be, or wider than a framebuffer can be) takes what is
// drawn into it nowhere: not into the frame, not onto the screen. The frame is presented once, with what was drawn
// before and after the layer.
TEST(VRLayer, LayersWithoutABitmapPresentNothingOfTheirOwn)
{
  for (const float width : {40000.f, 20000.f})
  {
    SCOPED_TRACE(width);
    Editor e(40, 30);
    const NSUInteger before = e.g.Layer()->presentedCount();
    bool noBitmap = false;
    const auto px = Render(e, [&](IGraphicsVR& g) {
      g.FillRect(COLOR_RED, IRECT(0.f, 0.f, 20.f, 30.f));
      g.StartLayer(nullptr, IRECT(0.f, 0.f, width, 30.f));
      g.FillRect(COLOR_BLUE, IRECT(0.f, 0.f, 40.f, 30.f));
      ILayerPtr layer = g.EndLayer();
      noBitmap = layer && !layer->GetAPIBitmap();
      g.DrawLayer(layer);
      g.FillRect(COLOR_GREEN, IRECT(20.f, 0.f, 40.f, 30.f));
    });
    EXPECT_TRUE(noBitmap);
    EXPECT_EQ(e.g.Layer()->presentedCount(), before + 1);
    ASSERT_EQ(px.size(), size_t(40 * 30 * 4));
    // BGRA: red on the left, green on the right, blue nowhere.
    const uint8_t* left = &px[(15 * 40 + 5) * 4];
    const uint8_t* right = &px[(15 * 40 + 35) * 4];
    EXPECT_EQ(left[2], 255);
    EXPECT_EQ(left[0], 0);
    EXPECT_EQ(right[1], 255);
    EXPECT_EQ(right[0], 0);
    if (HasFailure() || KeepImages()) e.g.SavePNG(::testing::TempDir() + "vr_layer_without_bitmap.png");
  }
}

// The vector controls drawn through IGraphicsVR at screen scales 1 and 2: the 2× frame, averaged down over 2 × 2
// pixel blocks, must match the 1× frame closely (same geometry, only finer edges).

#include "support/vr_rig.h"

#include "controls/IVButtonControls.h"
#include "controls/IVMiscControls.h"

#include <cmath>
#include <cstring>

using namespace vrtest;

namespace
{

constexpr int kW = 320, kH = 200;

void AttachGallery(IGraphics& g)
{
  IVStyle s;
  s.roundness = 0.3f;
  s.labelText.mSize = 11.f;
  s.valueText.mSize = 11.f;
  g.AttachPanelBackground(IPattern(IColor(255, 230, 230, 230)));
  g.AttachControl(new IVButtonControl(IRECT(10, 10, 80, 55), SplashClickActionFunc, "Button", s, false, false));
  g.AttachControl(new IVSwitchControl(IRECT(90, 10, 160, 55), nullptr, "Switch", s, 3, true));
  g.AttachControl(new IVToggleControl(IRECT(170, 10, 240, 55), nullptr, "Toggle", s, "off", "on", true));
  g.AttachControl(new IVSlideSwitchControl(IRECT(250, 10, 310, 55), nullptr, "Slide", s, false, kHorizontal, 2, 1));
  g.AttachControl(new IVTabSwitchControl(IRECT(10, 65, 150, 95), nullptr, {"One", "Two", "Three"}, "", s,
                                         kVShapeEndsRounded));
  g.AttachControl(new IVRadioButtonControl(IRECT(160, 62, 240, 122), nullptr, {"alpha", "beta", "gamma"}, "", s));
  IControl* pad = g.AttachControl(new IVXYPadControl(IRECT(10, 105, 90, 190), {-1, -1}, "", s, 6.f));
  pad->SetValue(0.3, 0);
  pad->SetValue(0.7, 1);
  g.AttachControl(new IVPlotControl(IRECT(100, 105, 200, 190),
                                    {{COLOR_RED, [](double x) { return std::sin(x * 6.283185307179586); }},
                                     {COLOR_BLUE, [](double x) { return 2.0 * x - 1.0; }}},
                                    64, "", s, true));
  g.AttachControl(new IVGroupControl(IRECT(210, 128, 312, 194), "Group", s, 4.f));
  g.AttachControl(new IVColorSwatchControl(IRECT(216, 146, 306, 190), "", nullptr, s, kSwatchRow, {kFG, kPR, kX1}));
  g.AttachControl(new IVLabelControl(IRECT(250, 62, 312, 92), "Label", s));
}

std::vector<uint8_t> Gallery(float scale, const std::string& save)
{
  Editor e(kW, kH, scale);
  e.dlg.SetGraphicsReady(true); // the controls measure their texts through the context
  EXPECT_TRUE(e.g.LoadFont("Roboto-Regular", kRoboto));
  AttachGallery(e.g);
  e.g.DrawFrame();
  if (!save.empty()) e.g.SavePNG(save);
  return e.g.Pixels();
}

} // namespace

TEST(VectorGallery, TwiceTheScaleAveragedDownMatchesTheSingleScale)
{
  const std::string base = ::testing::TempDir() + "vector_gallery";
  const bool keep = KeepImages();
  const auto one = Gallery(1.f, "");
  const auto two = Gallery(2.f, "");
  ASSERT_EQ(one.size(), size_t(kW * kH * 4));
  ASSERT_EQ(two.size(), size_t(kW * kH * 16));

  // The gallery must have drawn something besides the panel.
  int nonPanel = 0;
  for (size_t i = 0; i < one.size(); i += 4)
    nonPanel += one[i] != 230 ? 1 : 0;
  EXPECT_GT(nonPanel, kW * kH / 10);

  // Per pixel, the largest channel difference; pixels beyond 64 are marked in a map saved on failure.
  double sum = 0;
  int far = 0;
  cairo_surface_t* map = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kW, kH);
  uint8_t* m = cairo_image_surface_get_data(map);
  const int stride = cairo_image_surface_get_stride(map);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
    {
      int d = 0;
      for (int c = 0; c < 4; ++c)
      {
        int acc = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            acc += two[size_t(((2 * y + dy) * 2 * kW + 2 * x + dx) * 4 + c)];
        d = std::max(d, std::abs((acc + 2) / 4 - one[size_t((y * kW + x) * 4 + c)]));
      }
      sum += d;
      far += d > 64 ? 1 : 0;
      std::memset(m + y * stride + x * 4, d > 64 ? 255 : 0, 3);
      m[y * stride + x * 4 + 3] = 255;
    }
  cairo_surface_mark_dirty(map);
  const double mean = sum / (kW * kH);
  EXPECT_LT(mean, 3.0);
  // Edges differ (finer coverage at 2×, text most); whole regions must not.
  EXPECT_LT(far, kW * kH / 80) << "mean " << mean;
  if (HasFailure() || keep)
  {
    Gallery(1.f, base + "_1x.png");
    Gallery(2.f, base + "_2x.png");
    cairo_surface_write_to_png(map, (base + "_far.png").c_str());
  }
  cairo_surface_destroy(map);
  std::printf("mean %.3f, far %d\n", mean, far);
}

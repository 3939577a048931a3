// A bitmap knob drawn through IGraphicsVR at screen scales 1 and 2, and on an editor opened on a 1× screen and moved
// to a 2× one: the film strip's frame for the value shows, taken from the file made for the scale.

#include "support/vr_rig.h"

#include "controls/IBitmapControls.h"
#include "controls/ISpecialControls.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <unistd.h>

#include <filesystem>

using namespace vrtest;
namespace fs = std::filesystem;

namespace
{

constexpr int kW = 120, kH = 80;
constexpr int kFrame = 24;     // film strip frame, points
constexpr int kStripeCol = 11; // device column of the white stripe in the 2× strip's frames
const IColor kPanel(255, 60, 70, 90);
const IColor kFrames[] = {{255, 200, 40, 40}, {255, 40, 180, 60}, {255, 40, 80, 220}, {255, 230, 200, 30},
                          {255, 160, 60, 200}};
const IRECT kKnobR(10, 10, 40, 40);

// A film strip of five frames stacked vertically, each filled with its own colour, as strip.png and strip@2x.png;
// the 2× frames carry a one-pixel white column, which shows that the 2× file was chosen and drawn without
// resampling.
struct TempBundle
{
  fs::path res = fs::path(::testing::TempDir()) / ("zaniq_ctl_" + std::to_string(::getpid()));
  TempBundle()
  {
    fs::create_directories(res);
    for (int s : {1, 2})
    {
      const int w = kFrame * s, h = kFrame * s * 5;
      std::vector<uint8_t> px(size_t(w) * h * 4);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
          const IColor& c = kFrames[y / (kFrame * s)];
          const bool stripe = s == 2 && x == kStripeCol;
          uint8_t* p = &px[(size_t(y) * w + x) * 4];
          p[0] = stripe ? 255 : uint8_t(c.R);
          p[1] = stripe ? 255 : uint8_t(c.G);
          p[2] = stripe ? 255 : uint8_t(c.B);
          p[3] = 255;
        }
      EXPECT_TRUE(stbi_write_png((res / (s == 2 ? "strip@2x.png" : "strip.png")).c_str(), w, h, 4, px.data(), w * 4));
    }
  }
  ~TempBundle() { fs::remove_all(res); }
};

bool Near(const uint8_t* bgra, const IColor& c)
{
  return std::abs(bgra[2] - c.R) <= 2 && std::abs(bgra[1] - c.G) <= 2 && std::abs(bgra[0] - c.B) <= 2;
}

} // namespace

TEST(ControlLibraryDraw, BitmapKnobShowsItsFrameAtEveryScale)
{
  const TempBundle bundle;
  struct Row
  {
    float scale, openScale; // opened on openScale, then moved to scale
  };
  for (const Row& k : {Row{1.f, 1.f}, Row{2.f, 2.f}, Row{2.f, 1.f}})
  {
    Editor e(kW, kH, k.openScale);
    TestGraphicsVR& g = e.g;
    e.dlg.SetGraphicsReady(true);
    g.AttachControl(new IPanelControl(g.GetBounds(), IPattern(kPanel)));
    IControl* knob = g.AttachControl(new IBKnobControl(kKnobR, g.LoadBitmap((bundle.res / "strip.png").c_str(), 5)));
    if (k.scale != k.openScale) g.SetScreenScale(k.scale);
    knob->SetValue(0.7); // frame 4 of 5
    g.DrawFrame();
    const std::vector<uint8_t> px = g.Pixels();
    const int s = int(k.scale), stride = kW * s;
    ASSERT_EQ(px.size(), size_t(stride * kH * s * 4));
    const auto at = [&](int x, int y) { return &px[(size_t(y) * stride + size_t(x)) * 4]; };

    // Every pixel of the frame is its colour, bar the 2× stripe; the panel shows just outside it.
    const int l = int((kKnobR.MW() - kFrame / 2.f) * s), t = int((kKnobR.MH() - kFrame / 2.f) * s);
    int wrong = 0;
    for (int y = t; y < t + kFrame * s; ++y)
      for (int x = l; x < l + kFrame * s; ++x)
        wrong += !Near(at(x, y), s == 2 && x - l == kStripeCol ? COLOR_WHITE : kFrames[3]);
    EXPECT_EQ(wrong, 0) << "scale " << k.scale << " opened at " << k.openScale;
    EXPECT_TRUE(Near(at(l - 1, t + s * kFrame / 2), kPanel)) << "frame wider than expected";
    EXPECT_TRUE(Near(at(l + kFrame * s, t + s * kFrame / 2), kPanel)) << "frame wider than expected";
    if (HasFailure() || KeepImages())
      g.SavePNG(::testing::TempDir() + "control_library_knob_" + std::to_string(s) + "x_from_" +
                std::to_string(int(k.openScale)) + "x.png");
  }
}

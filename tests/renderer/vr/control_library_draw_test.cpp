// A bitmap knob drawn through IGraphicsVR at screen scales 1 and 2, and on an editor opened on a 1× screen and moved
// to a 2× one: the film strip's frame for the value shows, taken from the file made for the scale. An SVG drawn
// through its cached layer looks as it does drawn directly.

#include "support/vr_rig.h"

#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
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

TEST(ControlLibraryDraw, ALayeredSVGLooksAsItDoesDrawnDirectly)
{
  // Translucent shapes with curved edges over an opaque panel: the layer must keep partial coverage and alpha.
  // They do not overlap, so the control's opacity over the whole layer equals its opacity over each shape.
  static const char kDoc[] = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="50" height="60">
    <rect x="3" y="4" width="40" height="22" rx="6" fill="#e04020" fill-opacity="0.7"/>
    <circle cx="28" cy="44" r="13" fill="#20a0e0" fill-opacity="0.6"/>
  </svg>)svg";
  const ISVG doc = ParseSVG(kDoc, sizeof(kDoc) - 1);
  ASSERT_TRUE(doc.IsValid());
  constexpr int kHalf = kW / 2;
  for (const float scale : {1.f, 2.f})
  {
    Editor e(kW, kH, scale);
    TestGraphicsVR& g = e.g;
    e.dlg.SetGraphicsReady(true);
    g.AttachControl(new IPanelControl(g.GetBounds(), IPattern(kPanel)));
    // The same document in each half, drawn directly on the left and through the layer on the right.
    IControl* direct = g.AttachControl(new ISVGControl(IRECT(5, 10, 55, 70), doc));
    IControl* layered = g.AttachControl(new ISVGControl(IRECT(5 + kHalf, 10, 55 + kHalf, 70), doc, true));
    for (IControl* c : {direct, layered})
      c->SetBlend(IBlend(kBlendDefault, 0.8f));
    const int s = int(scale), stride = kW * s;
    for (const char* frame : {"made", "reused"})
    {
      g.DrawFrame();
      const std::vector<uint8_t> px = g.Pixels();
      ASSERT_EQ(px.size(), size_t(stride * kH * s * 4));
      int worst = 0, covered = 0;
      for (int y = 0; y < kH * s; ++y)
        for (int x = 0; x < kHalf * s; ++x)
        {
          const uint8_t* l = &px[(size_t(y) * stride + size_t(x)) * 4];
          const uint8_t* r = l + size_t(kHalf * s) * 4;
          for (int ch = 0; ch < 4; ++ch)
            worst = std::max(worst, std::abs(int(l[ch]) - int(r[ch])));
          covered += !Near(l, kPanel);
        }
      EXPECT_LE(worst, 2) << frame << " at scale " << scale;
      EXPECT_GT(covered, 1200 * s * s) << "the document drew nothing";
      if (HasFailure() || KeepImages())
        g.SavePNG(::testing::TempDir() + "control_library_svg_layer_" + std::to_string(s) + "x_" + frame + ".png");
    }
  }
}

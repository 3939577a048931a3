// The menu controls drawn through the renderer at scale 1 and 2: the icons' frames from their two-frame bitmaps
// (1x and @2x files), the Link-ID selector's text in full and halved alpha. The frames are saved as PNG.

#include "support/TestGraphicsVR.h"
#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBUpdateControlQN.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
constexpr uint8_t kGrey[3] = {0x70, 0x78, 0x80};   // frame 1, RGB
constexpr uint8_t kOrange[3] = {0xf0, 0x80, 0x20}; // frame 2
constexpr uint8_t kBack[3] = {0x18, 0x1c, 0x22};

// A stacked two-frame icon of 20 × 20 points at scale s: frame 1 grey, frame 2 orange.
void WriteIcon(const std::filesystem::path& path, int s)
{
  const int w = 20 * s, h = 40 * s;
  std::vector<uint8_t> px(size_t(w * h * 4));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const uint8_t* c = y < h / 2 ? kGrey : kOrange;
      uint8_t* p = &px[size_t((y * w + x) * 4)];
      p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
    }
  ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4));
}

class FillControl : public IControl
{
public:
  explicit FillControl(const IRECT& r) : IControl(r) {}
  void Draw(IGraphics& g) override { g.FillRect(IColor(255, kBack[0], kBack[1], kBack[2]), GetRECT()); }
};

struct Frame
{
  std::vector<uint8_t> px; // BGRA
  int w = 0, h = 0;
  // RGB of the pixel at (x, y) in points.
  std::array<int, 3> At(float x, float y, int s) const
  {
    const size_t i = size_t((int(y * float(s)) * w + int(x * float(s))) * 4);
    return {px[i + 2], px[i + 1], px[i]};
  }
  // Pixels inside r (points) that differ from the background.
  int Inked(const IRECT& r, int s) const
  {
    int n = 0;
    for (int y = int(r.T) * s; y < int(r.B) * s; ++y)
      for (int x = int(r.L) * s; x < int(r.R) * s; ++x)
      {
        const uint8_t* p = &px[size_t((y * w + x) * 4)];
        n += std::abs(p[2] - kBack[0]) + std::abs(p[1] - kBack[1]) + std::abs(p[0] - kBack[2]) > 60;
      }
    return n;
  }
};

Frame Render(int scale, bool disabled)
{
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zaniq_ui_menu_draw_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  WriteIcon(dir / "menuicon.png", 1);
  WriteIcon(dir / "menuicon@2x.png", 2);

  RecordingDelegate dlg(1);
  dlg.GetParam(0)->InitInt("Link ID", 65, 0, 256);
  TestGraphicsVR g(dlg, 140, 40);
  g.SetPendingScreenScale(float(scale));
  g.OpenWindow(nullptr);
  EXPECT_TRUE(g.LoadFont("Roboto-Regular", kRoboto));
  const IBitmap icon = g.LoadBitmap((dir / "menuicon.png").c_str(), 2);
  EXPECT_TRUE(icon.IsValid());
  IBitmap size;
  size.W = 60, size.H = 24, size.N = 1;

  g.AttachControl(new FillControl(g.GetBounds()));
  auto* info = new IBInfoMenuQN(&dlg, 4, 10, icon, 47, 48, "", "", -1, -1, -1, -1, -1, -1, {}, {}, {}, {}, 66);
  auto* update = new IBUpdateControlQN(30, 10, icon, 48);
  auto* link = new IBPopupMenuQNSpecial(64, 8, 0, size, IText(16.f, IColor(255, 235, 235, 240)), nullptr, nullptr, 0,
                                        -1);
  g.AttachControl(info);
  g.AttachControl(update);
  g.AttachControl(link);
  update->SetValue(1.0);
  link->SetValue(dlg.GetParam(0)->ToNormalized(65));
  link->SetDisabled(disabled);
  g.DrawFrame();

  Frame f;
  f.px = g.Pixels(&f.w, &f.h);
  const std::string png = (dir / ("menus_" + std::to_string(scale) + "x" + (disabled ? "_disabled" : "") + ".png"));
  EXPECT_TRUE(g.SavePNG(png));
  std::printf("picture: %s\n", png.c_str());
  return f;
}

} // namespace

TEST(MenuDraw, IconsAndSelectorTextAtBothScales)
{
  for (int s : {1, 2})
  {
    SCOPED_TRACE(s);
    const Frame f = Render(s, false);
    ASSERT_EQ(f.w, 140 * s);
    ASSERT_EQ(f.h, 40 * s);
    // The plug-in menu icon shows frame 1, the indicator (value 1) frame 2; outside them the background.
    const auto same = [](std::array<int, 3> a, const uint8_t* b) {
      return std::abs(a[0] - b[0]) <= 2 && std::abs(a[1] - b[1]) <= 2 && std::abs(a[2] - b[2]) <= 2;
    };
    EXPECT_TRUE(same(f.At(14.f, 20.f, s), kGrey));
    EXPECT_TRUE(same(f.At(40.f, 20.f, s), kOrange));
    EXPECT_TRUE(same(f.At(27.f, 20.f, s), kBack));
    // The text "65" is drawn inside the selector and nowhere right of it.
    EXPECT_GT(f.Inked(IRECT(64.f, 8.f, 124.f, 32.f), s), 20 * s * s);
    EXPECT_EQ(f.Inked(IRECT(126.f, 0.f, 140.f, 40.f), s), 0);
  }
}

TEST(MenuDraw, DisabledSelectorTextIsDimmer)
{
  const Frame on = Render(1, false), off = Render(1, true);
  const IRECT r(64.f, 8.f, 124.f, 32.f);
  long sumOn = 0, sumOff = 0;
  for (int y = int(r.T); y < int(r.B); ++y)
    for (int x = int(r.L); x < int(r.R); ++x)
    {
      sumOn += on.At(float(x), float(y), 1)[0];
      sumOff += off.At(float(x), float(y), 1)[0];
    }
  EXPECT_LT(sumOff, sumOn);
  EXPECT_GT(off.Inked(r, 1), 0);
}

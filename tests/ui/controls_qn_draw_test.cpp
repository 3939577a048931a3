// The product controls drawn through the real renderer at screen scales 1 and 2: each bitmap control shows the
// frame its state asks for (film strips whose frames are plain colours written out here) and the resizer sits in
// the editor's corner. VR_SAVE=1 keeps the pictures.

#include "ui/IBControlsQN.h"

#include "framework/IParam.h"
#include "support/TestGraphicsVR.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;
namespace fs = std::filesystem;

namespace
{

constexpr int kW = 240, kH = 120;
constexpr int kFrame = 24; // film strip frame, points
const IColor kPanel(255, 40, 44, 52);
const IColor kFrames[] = {{255, 200, 40, 40}, {255, 40, 180, 60}, {255, 40, 80, 220}};

// Film strips of n frames (n = 1: the panel colour over the whole editor) as name.png and name@2x.png.
struct TempBundle
{
  fs::path res = fs::path(::testing::TempDir()) / ("zaniq_qn_" + std::to_string(::getpid()));
  TempBundle()
  {
    fs::create_directories(res);
    for (int s : {1, 2})
    {
      for (int n : {2, 3})
        Write("strip" + std::to_string(n), s, kFrame * s, kFrame * s * n,
              [&](int, int y) { return kFrames[y / (kFrame * s)]; });
      Write("panel", s, kW * s, kH * s, [](int, int) { return kPanel; });
    }
  }
  ~TempBundle() { fs::remove_all(res); }
  template <class F> void Write(const std::string& name, int s, int w, int h, F colour)
  {
    std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
      {
        const IColor c = colour(x, y);
        uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
        p[0] = uint8_t(c.R), p[1] = uint8_t(c.G), p[2] = uint8_t(c.B), p[3] = 255;
      }
    const std::string file = name + (s == 2 ? "@2x.png" : ".png");
    EXPECT_TRUE(stbi_write_png((res / file).c_str(), w, h, 4, px.data(), w * 4));
  }
  std::string Path(const char* name) const { return (res / (std::string(name) + ".png")).string(); }
};

bool Near(const IColor& a, const IColor& b, int tol = 2)
{
  return std::abs(a.R - b.R) <= tol && std::abs(a.G - b.G) <= tol && std::abs(a.B - b.B) <= tol;
}
std::string Str(const IColor& c)
{
  return "(" + std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B) + ")";
}

struct Editor
{
  RecordingDelegate dlg{2};
  TestGraphicsVR g{dlg, kW, kH};
  float scale;
  std::vector<uint8_t> px;
  int pw = 0, ph = 0;
  IRECT radio[4];
  IBCornerResizerControlQN* resizer = nullptr;

  Editor(const TempBundle& b, float s) : scale(s)
  {
    dlg.GetParam(0)->InitBool("On", true);
    dlg.GetParam(1)->InitEnum("SnapShot", 2, 4, "", 0, "", "S1", "S2", "S3", "S4");
    g.SetPendingScreenScale(s);
    g.OpenWindow(nullptr);
    dlg.SetGraphicsReady(true);
    g.AttachControl(new IBBitmapControlQN(0, 0, g.LoadBitmap(b.Path("panel").c_str(), 1)));
    IControl* sw = g.AttachControl(new IBSwitchControlQN(10, 10, g.LoadBitmap(b.Path("strip2").c_str(), 2), 0));
    g.AttachControl(new IBBitmapControlQN(40, 10, g.LoadBitmap(b.Path("strip2").c_str(), 2))); // an LED, off
    for (int i = 0; i < 4; ++i)
      radio[i] = IRECT::MakeXYWH(10.f + 30.f * float(i), 50, kFrame, kFrame);
    const IBitmap ss = g.LoadBitmap(b.Path("strip3").c_str(), 3);
    auto* snap = new IBRadioButtonsControl4Special(IRECT(10, 50, 124, 74), 1, radio[0], ss, radio[1], ss, radio[2], ss,
                                                   radio[3], ss, false, 64);
    g.AttachControl(snap);
    snap->SetFilled(1, true);
    resizer = new IBCornerResizerControlQN(g.GetBounds(), g.LoadBitmap(b.Path("strip2").c_str(), 2), -1, -1, 56, 57);
    g.AttachCornerResizer(resizer, EUIResizerMode::Scale, false);
    // The values the plug-in would have pushed on opening.
    sw->SetValue(dlg.GetParam(0)->GetNormalized());
    g.DrawFrame();
    px = g.Pixels(&pw, &ph);
    if (std::getenv("VR_SAVE"))
    {
      const std::string path = ::testing::TempDir() + "controls_qn_" + std::to_string(int(s)) + "x.png";
      g.SavePNG(path);
      std::printf("saved %s\n", path.c_str());
    }
  }
  // The device pixel at (x, y), un-premultiplied colour of an opaque frame.
  IColor At(int x, int y) const
  {
    const uint8_t* p = &px[(size_t(y) * size_t(pw) + size_t(x)) * 4];
    return IColor(p[3], p[2], p[1], p[0]);
  }
  IColor AtPoint(float x, float y) const { return At(int(x * scale), int(y * scale)); }
  // Every pixel inside r (points, inset by one pixel for the edges' coverage) is c.
  int Wrong(const IRECT& r, const IColor& c) const
  {
    int wrong = 0;
    for (int y = int(r.T * scale) + 1; y < int(r.B * scale) - 1; ++y)
      for (int x = int(r.L * scale) + 1; x < int(r.R * scale) - 1; ++x)
        wrong += Near(At(x, y), c) ? 0 : 1;
    return wrong;
  }
};

} // namespace

TEST(ControlsQNDraw, FramesTextsAndCornerAtScreenScalesOneAndTwo)
{
  TempBundle b;
  for (float s : {1.f, 2.f})
  {
    Editor e(b, s);
    ASSERT_EQ(e.pw, int(kW * s));
    EXPECT_TRUE(Near(e.AtPoint(5, 100), kPanel)) << Str(e.AtPoint(5, 100));
    EXPECT_EQ(e.Wrong(IRECT(10, 10, 34, 34), kFrames[1]), 0) << "switch on at scale " << s;
    EXPECT_EQ(e.Wrong(IRECT(40, 10, 64, 34), kFrames[0]), 0) << "LED off at scale " << s;
    // Snapshot 3 selected (third frame), snapshot 2 stored (second frame), the others empty.
    const int want[] = {0, 1, 2, 0};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(e.Wrong(e.radio[i], kFrames[want[i]]), 0) << "snapshot button " << i << " at scale " << s;

    // The resizer's first frame fills the editor's bottom-right corner.
    EXPECT_EQ(e.resizer->GetRECT(), IRECT(kW - kFrame, kH - kFrame, kW, kH));
    EXPECT_EQ(e.Wrong(e.resizer->GetRECT(), kFrames[0]), 0) << "resizer at scale " << s;
  }
}

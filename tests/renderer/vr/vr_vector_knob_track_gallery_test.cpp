// The vector knobs, sliders, track controls and range sliders drawn through IGraphicsVR at scales 1 and 2: the 2x
// frame, averaged down to 1x, has to look like the 1x frame.

#include "controls/IVKnobSliderControls.h"
#include "controls/IVTrackControls.h"
#include "support/vr_rig.h"

#include <cstdio>
#include <utility>

using namespace vrtest;

namespace
{

// Tracks drawn as a sequencer (steps) or a tilt display (a baseline in the middle) would draw them.
class Tracks : public IVTrackControlBase
{
public:
  Tracks(const IRECT& r, const std::vector<int>& params, const char* label, int steps, EDirection dir, double base,
         const IVStyle& style)
      : IVTrackControlBase(r, params, label, style, steps, dir)
  {
    mBaseValue = base;
    mTrackPadding = 2.f;
    mPeakSize = 2.f;
    mHighlightedTrack = 1;
  }
  void Draw(IGraphics& g) override
  {
    DrawBackground(g, mRECT);
    DrawLabel(g);
    DrawWidget(g);
  }
};

IVStyle GalleryStyle()
{
  IVStyle s;
  s.colorSpec = IVColorSpec{IColor(255, 246, 247, 250), IColor(255, 214, 220, 230), IColor(255, 170, 200, 235),
                            IColor(255, 60, 70, 86),    IColor(40, 0, 0, 0),        IColor(70, 0, 0, 0),
                            IColor(255, 32, 130, 200)};
  s.labelText = IText(14.f, IColor(255, 40, 48, 60), "Roboto-Regular", kAlignCenter, kVAlignTop);
  s.valueText = IText(12.f, IColor(255, 40, 48, 60), "Roboto-Regular", kAlignCenter, kVAlignBottom);
  s.roundness = 0.5f;
  s.frameThickness = 1.5f;
  return s;
}

// An open editor whose delegate has the parameters the controls show.
struct GalleryEditor
{
  GalleryEditor(int w, int h, float scale) : dlg(14), g(dlg, w, h)
  {
    for (int p = 0; p < 14; ++p)
      dlg.GetParam(p)->InitDouble(("P" + std::to_string(p)).c_str(), 0.0, 0.0, 100.0, 0.1, "%");
    g.SetPendingScreenScale(scale);
    g.OpenWindow(nullptr);
    dlg.SetGraphicsReady(true);
  }
  RecordingDelegate dlg;
  TestGraphicsVR g;
};

void Populate(TestGraphicsVR& g)
{
  const IVStyle style = GalleryStyle();
  g.AttachControl(new FuncControl(g.GetBounds(), [](IGraphicsVR& vr) { vr.FillRect(COLOR_WHITE, vr.GetBounds()); }));
  auto add = [&](IControl* c, double v0, double v1 = -1.0, double v2 = -1.0)
  {
    g.AttachControl(c);
    c->SetValue(v0, 0);
    if (v1 >= 0) c->SetValue(v1, 1);
    if (v2 >= 0) c->SetValue(v2, 2);
    c->SetDirty(true); // the parameters take the values, so the value texts show them
  };
  add(new IVKnobControl(IRECT(10, 10, 100, 120), 0, "Gain", style, true, false, -135.f, 135.f, -135.f, kVertical, 4.0,
                        4.f),
      0.7);
  add(new IVKnobControl(IRECT(110, 10, 200, 120), 1, "Pan", style, false, false, -135.f, 135.f, 0.f, kVertical, 4.0,
                        3.f),
      0.3);
  add(new IVSliderControl(IRECT(210, 10, 260, 200), 2, "Vol", style, false, kVertical, true, 4.0, 8.f, 3.f), 0.6);
  add(new IVSliderControl(IRECT(10, 130, 200, 200), 3, "Width", style, false, kHorizontal, false, 4.0, 7.f, 2.f), 0.45);
  add(new Tracks(IRECT(270, 10, 410, 120), {4, 5, 6}, "Steps", 4, kVertical, 0.0, style), 0.0, 0.5, 1.0);
  add(new Tracks(IRECT(270, 125, 410, 200), {7, 8}, "Tilt", 0, kHorizontal, 0.5, style), 0.85, 0.2);
  add(new IVRangeSliderControl(IRECT(420, 10, 470, 200), {9, 10}, "Band", style, kVertical, 7.f, 2.f), 0.25, 0.7);
  add(new IVRangeSliderControl(IRECT(10, 205, 470, 255), {11, 12, 13}, "", style, kHorizontal, 7.f, 2.f), 0.1, 0.5,
      0.9);
}

} // namespace

TEST(VRVectorGallery, KnobsSlidersAndTracksMatchAcrossScales)
{
  constexpr int kW = 480, kH = 260;
  std::vector<uint8_t> frames[2];
  std::vector<std::string> paths;
  for (int s = 1; s <= 2; ++s)
  {
    GalleryEditor view(kW, kH, float(s));
    ASSERT_TRUE(view.g.LoadFont("Roboto-Regular", kRoboto));
    Populate(view.g);
    view.g.DrawFrame();
    int w = 0, h = 0;
    frames[s - 1] = view.g.Pixels(&w, &h);
    ASSERT_EQ(w, kW * s);
    ASSERT_EQ(h, kH * s);
    const std::string path = ::testing::TempDir() + "vr_vector_gallery_x" + std::to_string(s) + ".png";
    ASSERT_TRUE(view.g.SavePNG(path));
    paths.push_back(path);
  }

  // 2x averaged over each 2 × 2 block against 1x: edges and text differ a little, shapes and colours must not.
  double sum = 0.0;
  int far = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < 4; ++c)
      {
        int acc = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx)
            acc += frames[1][((size_t(2 * y + dy) * 2 * kW) + size_t(2 * x + dx)) * 4 + c];
        const int d = std::abs((acc + 2) / 4 - int(frames[0][(size_t(y) * kW + size_t(x)) * 4 + c]));
        sum += d;
        far += d > 96;
      }
  // The slider's filled track below its handle and the range slider's span between handles 0 and 1 carry the
  // fill colour (BGRA).
  for (auto [x, y] : {std::pair{235, 170}, std::pair{150, 230}})
  {
    const uint8_t* p = &frames[0][(size_t(y) * kW + size_t(x)) * 4];
    EXPECT_NEAR(p[0], 200, 12) << x << "," << y;
    EXPECT_NEAR(p[2], 32, 12) << x << "," << y;
  }
  const double mean = sum / (kW * kH * 4.0);
  EXPECT_LT(mean, 2.5);
  EXPECT_LT(far, kW * kH * 4 / 200); // under half a percent of the samples far apart
  for (const auto& path : paths)
    if (HasFailure() || KeepImages())
      std::printf("gallery frame: %s\n", path.c_str());
    else
      std::remove(path.c_str());
}

// The vector controls drawn through IGraphicsVR at screen scales 1 and 2: the 2× frame, averaged down over 2 × 2
// pixel blocks, must match the 1× frame closely (same geometry, only finer edges and text).

#include "support/vr_rig.h"

#include "controls/IVButtonControls.h"
#include "controls/IVKnobSliderControls.h"
#include "controls/IVMiscControls.h"
#include "controls/IVTrackControls.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace vrtest;

namespace
{

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

void AttachKnobsAndTracks(IGraphics& g)
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


struct Gallery
{
  const char* name;
  int w, h, params;
  void (*attach)(IGraphics&);
  double meanMax; // mean over pixels of the largest channel difference
  int farAbove;   // a difference counted as far
  int farMax;     // far pixels allowed (edges and text)
};

// Both frames, and per pixel the largest channel difference of the averaged-down 2× frame from the 1× frame. Far samples are
// marked in a map saved, with both frames, on failure.
void ExpectScalesAgree(const Gallery& k, std::vector<uint8_t> frames[2])
{
  const std::string base = ::testing::TempDir() + "vr_gallery_" + k.name;
  for (int s = 1; s <= 2; ++s)
  {
    Editor e(k.w, k.h, float(s), k.params);
    for (int p = 0; p < k.params; ++p)
      e.dlg.GetParam(p)->InitDouble(("P" + std::to_string(p)).c_str(), 0.0, 0.0, 100.0, 0.1, "%");
    e.dlg.SetGraphicsReady(true); // the controls measure their texts through the context
    ASSERT_TRUE(e.g.LoadFont("Roboto-Regular", kRoboto));
    k.attach(e.g);
    e.g.DrawFrame();
    frames[s - 1] = e.g.Pixels();
    ASSERT_EQ(frames[s - 1].size(), size_t(k.w * k.h * 4 * s * s));
    EXPECT_TRUE(e.g.SavePNG(base + "_x" + std::to_string(s) + ".png"));
  }
  double sum = 0;
  int far = 0;
  cairo_surface_t* map = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, k.w, k.h);
  uint8_t* m = cairo_image_surface_get_data(map);
  const int stride = cairo_image_surface_get_stride(map);
  for (int y = 0; y < k.h; ++y)
    for (int x = 0; x < k.w; ++x)
    {
      int d = 0;
      for (int c = 0; c < 4; ++c)
      {
        int acc = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) acc += frames[1][((size_t(2 * y + dy) * 2 * k.w) + size_t(2 * x + dx)) * 4 + c];
        d = std::max(d, std::abs((acc + 2) / 4 - int(frames[0][(size_t(y) * k.w + size_t(x)) * 4 + c])));
      }
      sum += d;
      const bool marked = d > k.farAbove;
      far += marked;
      std::memset(m + y * stride + x * 4, marked ? 255 : 0, 3);
      m[y * stride + x * 4 + 3] = 255;
    }
  cairo_surface_mark_dirty(map);
  const double mean = sum / (k.w * k.h);
  EXPECT_LT(mean, k.meanMax) << k.name;
  EXPECT_LT(far, k.farMax) << k.name << " mean " << mean;
  std::printf("%s: mean %.3f, far %d\n", k.name, mean, far);
  if (::testing::Test::HasFailure() || KeepImages())
    cairo_surface_write_to_png(map, (base + "_far.png").c_str());
  else
    for (int s = 1; s <= 2; ++s) std::remove((base + "_x" + std::to_string(s) + ".png").c_str());
  cairo_surface_destroy(map);
}

} // namespace

TEST(VectorGallery, ButtonsSwitchesAndPadsMatchAcrossScales)
{
  std::vector<uint8_t> frames[2];
  ExpectScalesAgree({"buttons", 320, 200, 0, AttachGallery, 3.0, 64, 320 * 200 / 80}, frames);
  // The gallery must have drawn something besides the panel.
  int nonPanel = 0;
  for (size_t i = 0; i < frames[0].size(); i += 4) nonPanel += frames[0][i] != 230 ? 1 : 0;
  EXPECT_GT(nonPanel, 320 * 200 / 10);
}

TEST(VectorGallery, KnobsSlidersAndTracksMatchAcrossScales)
{
  std::vector<uint8_t> frames[2];
  ExpectScalesAgree({"knobs", 480, 260, 14, AttachKnobsAndTracks, 2.0, 96, 480 * 260 / 200}, frames);
  // The slider's filled track below its handle and the range slider's span between handles 0 and 1 carry the
  // fill colour (BGRA).
  for (auto [x, y] : {std::pair{235, 170}, std::pair{150, 230}})
  {
    const uint8_t* p = &frames[0][(size_t(y) * 480 + size_t(x)) * 4];
    EXPECT_NEAR(p[0], 200, 12) << x << "," << y;
    EXPECT_NEAR(p[2], 32, 12) << x << "," << y;
  }
}

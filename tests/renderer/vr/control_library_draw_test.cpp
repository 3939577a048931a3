// Bitmap, text, SVG and panel controls drawn through IGraphicsVR at screen scales 1 and 2, with the pixels checked
// where the inputs say what must show: a film strip's frame for a value, a text's ink inside its box, a document's
// fill where its shapes lie, a panel's colour and the resizer's corner.

#include "support/vr_rig.h"

#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
#include "controls/ISpecialControls.h"
#include "controls/ITextControls.h"
#include "framework/IParam.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <unistd.h>

#include <filesystem>

using namespace vrtest;
namespace fs = std::filesystem;

namespace
{

constexpr int kW = 240, kH = 160;
constexpr int kFrame = 24;     // film strip frame, points
constexpr int kStripeCol = 11; // device column of the white stripe in the 2× strips' frames
const IColor kPanel(255, 60, 70, 90);
const IColor kFrames[] = {{255, 200, 40, 40}, {255, 40, 180, 60}, {255, 40, 80, 220}, {255, 230, 200, 30},
                          {255, 160, 60, 200}};
const IColor kTextFG(255, 250, 110, 20), kTextBG(255, 235, 235, 215);
const IColor kCapFG(255, 20, 40, 180), kCapBG(255, 200, 230, 240);
const IColor kCorner(255, 20, 220, 210);

// Film strips of n frames stacked vertically, each filled with its own colour, as name.png and name@2x.png; the 2×
// frames carry a one-pixel white column, which shows that the 2× file was chosen and drawn without resampling.
struct TempBundle
{
  fs::path root = fs::path(::testing::TempDir()) / ("zaniq_ctl_" + std::to_string(::getpid()));
  fs::path res = root / "ZANIQ.component/Contents/Resources";
  TempBundle()
  {
    fs::create_directories(res);
    for (int n : {2, 3, 5})
      for (int s : {1, 2})
      {
        const int w = kFrame * s, h = kFrame * s * n;
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
        const std::string name = "strip" + std::to_string(n) + (s == 2 ? "@2x.png" : ".png");
        EXPECT_TRUE(stbi_write_png((res / name).c_str(), w, h, 4, px.data(), w * 4));
      }
  }
  ~TempBundle() { fs::remove_all(root); }
  std::string Strip(int n) const { return (res / ("strip" + std::to_string(n) + ".png")).string(); }
};

struct Controls
{
  IControl* knob;
  IControl* sw;
  IControl* button;
};

// The editor's controls; the rectangles are the ones the checks below probe.
const IRECT kKnobR(10, 10, 40, 40), kSwitchR(50, 10, 80, 40), kButtonR(90, 10, 120, 40);
const IRECT kTextR(10, 50, 110, 76), kCapR(120, 50, 230, 76);
const IRECT kSvgR(10, 90, 82, 126);   // viewbox.svg is 144 × 72 px: drawn at half size
const IRECT kKnobSvgR(140, 90, 200, 150); // shapes.svg, 200 × 100, fitted into the upper half of 60 × 60
constexpr float kCornerSize = 16.f;

struct Frame
{
  // openScale: the screen the editor opens on, before it moves to one of the given scale.
  Frame(const TempBundle& b, float scale, bool clicked, double svgKnob, float openScale = 0.f)
      : dlg(1), g(dlg, kW, kH), scale(scale)
  {
    dlg.GetParam(0)->InitDouble("Gain", 2.5, 0.0, 10.0, 0.1, "dB");
    g.SetPendingScreenScale(openScale > 0.f ? openScale : scale);
    g.OpenWindow(nullptr);
    dlg.SetGraphicsReady(true);
    EXPECT_TRUE(g.LoadFont("Roboto-Regular", kRoboto));
    g.AttachControl(new IPanelControl(g.GetBounds(), IPattern(kPanel)));
    c.knob = g.AttachControl(new IBKnobControl(kKnobR, g.LoadBitmap(b.Strip(5).c_str(), 5)));
    c.sw = g.AttachControl(new IBSwitchControl(kSwitchR, g.LoadBitmap(b.Strip(3).c_str(), 3)));
    c.button = g.AttachControl(new IBButtonControl(kButtonR, g.LoadBitmap(b.Strip(2).c_str(), 2)));
    g.AttachControl(new ITextControl(kTextR, "Loudness 42", IText(16.f, kTextFG), kTextBG));
    g.AttachControl(new ICaptionControl(kCapR, 0, IText(15.f, kCapFG), kCapBG));
    const std::string svgDir = std::string(ZANIQ_TEST_DATA) + "/svg/";
    g.AttachControl(new ISVGControl(kSvgR, g.LoadSVG((svgDir + "viewbox.svg").c_str())));
    IControl* k = g.AttachControl(new ISVGKnobControl(kKnobSvgR, g.LoadSVG((svgDir + "shapes.svg").c_str())));
    g.AttachControl(new ICornerResizerControl(g.GetBounds(), kCornerSize, kCorner));
    if (openScale > 0.f) g.SetScreenScale(scale);

    c.knob->SetValue(clicked ? 0.3 : 0.7); // rounded to the nearest frame
    c.sw->SetValue(0.5);
    k->SetValue(svgKnob);
    if (clicked) // the switch steps to its last frame; the button is held down
      for (const IRECT& r : {kSwitchR, kButtonR})
      {
        IMouseInfo m;
        m.x = r.MW();
        m.y = r.MH();
        m.ms.L = true;
        g.OnMouseDown({m});
        g.OnMouseUp({m});
      }
    g.DrawFrame();
    px = g.Pixels();
  }

  // The device pixel at (x, y) as an opaque colour (the frame is opaque everywhere).
  IColor At(int x, int y) const
  {
    const uint8_t* p = &px[(size_t(y) * size_t(kW * scale) + size_t(x)) * 4];
    return IColor(p[3], p[2], p[1], p[0]);
  }
  // The pixel under a point, taken from the middle of its device pixels.
  IColor AtPoint(float x, float y) const { return At(int(x * scale), int(y * scale)); }

  RecordingDelegate dlg;
  TestGraphicsVR g;
  float scale;
  Controls c{};
  std::vector<uint8_t> px;
};

bool Near(const IColor& a, const IColor& b, int tol)
{
  return std::abs(a.R - b.R) <= tol && std::abs(a.G - b.G) <= tol && std::abs(a.B - b.B) <= tol;
}

std::string Str(const IColor& c)
{
  return "(" + std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B) + ")";
}

void SaveIfNeeded(Frame& f, const std::string& name)
{
  if (::testing::Test::HasFailure() || KeepImages())
  {
    const std::string path = ::testing::TempDir() + "control_library_" + name + ".png";
    f.g.SavePNG(path);
    std::printf("saved %s\n", path.c_str());
  }
}

// Every frame pixel of the bitmap inside r (points) is the frame colour, bar the 2× stripe.
void ExpectBitmapFrame(const Frame& f, const IRECT& r, int frame, const char* what)
{
  const int s = int(f.scale);
  const int l = int((r.MW() - kFrame / 2.f) * s), t = int((r.MH() - kFrame / 2.f) * s);
  int wrong = 0;
  std::string first;
  for (int y = t; y < t + kFrame * s; ++y)
    for (int x = l; x < l + kFrame * s; ++x)
    {
      const bool stripe = s == 2 && x - l == kStripeCol;
      const IColor want = stripe ? IColor(255, 255, 255, 255) : kFrames[frame];
      if (!Near(f.At(x, y), want, 2) && ++wrong == 1)
        first = " first at (" + std::to_string(x) + "," + std::to_string(y) + ") " + Str(f.At(x, y));
    }
  EXPECT_EQ(wrong, 0) << what << " at scale " << s << ": expected frame " << frame + 1 << " " << Str(kFrames[frame])
                      << first;
  // The panel shows just outside the frame.
  EXPECT_TRUE(Near(f.At(l - 1, t + s * kFrame / 2), kPanel, 2)) << what << " frame wider than expected";
  EXPECT_TRUE(Near(f.At(l + kFrame * s, t + s * kFrame / 2), kPanel, 2)) << what << " frame wider than expected";
}

// Ink of the text colour lies only inside its box, centred across it; the box's corners show its background.
void ExpectTextInBox(const Frame& f, const IRECT& box, const IColor& fg, const IColor& bg, const char* what)
{
  const int s = int(f.scale);
  int ink = 0, outside = 0, minX = 1 << 20, maxX = -1;
  for (int y = 0; y < kH * s; ++y)
    for (int x = 0; x < kW * s; ++x)
      if (Near(f.At(x, y), fg, 24))
      {
        const bool in = x >= box.L * s && x < box.R * s && y >= box.T * s && y < box.B * s;
        ++(in ? ink : outside);
        if (in) minX = std::min(minX, x), maxX = std::max(maxX, x);
      }
  EXPECT_GT(ink, 40 * s * s) << what << ": too little ink at scale " << s;
  EXPECT_EQ(outside, 0) << what << ": ink of its colour outside the box at scale " << s;
  EXPECT_NEAR((minX + maxX + 1) / 2.0 / s, box.MW(), 2.0) << what << ": text not centred across the box";
  for (float x : {box.L + 1.f, box.R - 1.f})
    for (float y : {box.T + 1.f, box.B - 1.f})
      EXPECT_TRUE(Near(f.AtPoint(x, y), bg, 1)) << what << ": background " << Str(f.AtPoint(x, y));
}

} // namespace

TEST(ControlLibraryDraw, BitmapFramesFollowValuesAndClicksAtBothScales)
{
  const TempBundle bundle;
  for (float scale : {1.f, 2.f})
    for (bool clicked : {false, true})
    {
      Frame f(bundle, scale, clicked, 0.5);
      ASSERT_EQ(f.px.size(), size_t(kW * kH * 4 * scale * scale));
      // Knob of 5 frames: 0.7 -> frame 4, 0.3 -> frame 2. Switch of 3: 0.5 -> frame 2, a click -> frame 3.
      // Button of 2: released frame 1, held the last.
      ExpectBitmapFrame(f, kKnobR, clicked ? 1 : 3, "knob");
      ExpectBitmapFrame(f, kSwitchR, clicked ? 2 : 1, "switch");
      ExpectBitmapFrame(f, kButtonR, clicked ? 1 : 0, "button");
      SaveIfNeeded(f, std::string("bitmaps_") + (clicked ? "clicked_" : "") + std::to_string(int(scale)) + "x");
    }
  // Opened on a 1× screen and moved to a 2× one: the bitmaps are loaded again from their 2× files.
  Frame moved(bundle, 2.f, false, 0.5, 1.f);
  ASSERT_EQ(moved.px.size(), size_t(kW * kH * 16));
  ExpectBitmapFrame(moved, kKnobR, 3, "knob moved to 2x");
  ExpectBitmapFrame(moved, kSwitchR, 1, "switch moved to 2x");
  ExpectBitmapFrame(moved, kButtonR, 0, "button moved to 2x");
  SaveIfNeeded(moved, "bitmaps_moved_2x");
}

TEST(ControlLibraryDraw, TextAndCaptionInkStaysInTheirBoxes)
{
  const TempBundle bundle;
  for (float scale : {1.f, 2.f})
  {
    Frame f(bundle, scale, false, 0.5);
    ExpectTextInBox(f, kTextR, kTextFG, kTextBG, "text");
    ExpectTextInBox(f, kCapR, kCapFG, kCapBG, "caption");
    SaveIfNeeded(f, "text_" + std::to_string(int(scale)) + "x");
  }
}

TEST(ControlLibraryDraw, DocumentsPanelAndCornerShowWhereTheySay)
{
  const TempBundle bundle;
  const IColor docColor(255, 0xab, 0xcd, 0xef), black(255, 0, 0, 0);
  const float cx = kKnobSvgR.MW(), cy = kKnobSvgR.MH();
  for (float scale : {1.f, 2.f})
    for (double knob : {0.5, 5.0 / 6.0}) // upright, then a quarter turn clockwise
    {
      Frame f(bundle, scale, false, knob);
      const std::string at = " at scale " + std::to_string(int(scale)) + ", knob " + std::to_string(knob);
      // viewbox.svg: a 20-unit-square view box met centred in 144 × 72, filled #abcdef; its upper-right quarter
      // (x 0..50%, y 0..25% of the view box from its centre line) black. Half size in the control.
      const struct
      {
        float x, y;
        IColor want;
      } doc[] = {{27, 18, docColor}, {45, 25, docColor}, {45, 4, black}, {9, 18, kPanel}, {63, 18, kPanel}};
      for (const auto& p : doc)
        EXPECT_TRUE(Near(f.AtPoint(kSvgR.L + p.x, kSvgR.T + p.y), p.want, 3))
            << "document at (" << p.x << "," << p.y << ") " << Str(f.AtPoint(kSvgR.L + p.x, kSvgR.T + p.y)) << at;
      // shapes.svg at 0.3 in the upper half: the ellipse 21 left of and 9 above the knob's centre, a rounded
      // rectangle 9 right and 21 above, the circle 22.5 right and 22.5 above; a clockwise quarter turn moves the
      // ellipse away and the circle down to the lower right.
      const bool upright = knob == 0.5;
      EXPECT_TRUE(Near(f.AtPoint(cx - 21, cy - 9), upright ? black : kPanel, 3))
          << "knob ellipse " << Str(f.AtPoint(cx - 21, cy - 9)) << at;
      EXPECT_TRUE(Near(f.AtPoint(cx + 9, cy - 21), black, 3)) << "knob rectangle" << at;
      EXPECT_TRUE(Near(f.AtPoint(cx + 22.5f, cy + 22.5f), upright ? kPanel : black, 3))
          << "knob circle " << Str(f.AtPoint(cx + 22.5f, cy + 22.5f)) << at;
      // Panel colour away from every control; the resizer's triangle fills the lower-right half of its corner.
      EXPECT_TRUE(Near(f.AtPoint(130, 30), kPanel, 1)) << Str(f.AtPoint(130, 30)) << at;
      // Once attached, the resizer sits flush in the editor's corner.
      const float r = kW, b = kH;
      EXPECT_TRUE(Near(f.AtPoint(r - 3, b - 3), kCorner, 2)) << "corner " << Str(f.AtPoint(r - 3, b - 3)) << at;
      EXPECT_TRUE(Near(f.AtPoint(r - kCornerSize + 3, b - 2), kCorner, 2)) << "corner foot" << at;
      EXPECT_TRUE(Near(f.AtPoint(r - kCornerSize + 3, b - kCornerSize + 3), kPanel, 2)) << "corner upper left" << at;
      EXPECT_TRUE(Near(f.AtPoint(r - kCornerSize - 3, b - 3), kPanel, 2)) << "left of the corner" << at;
      SaveIfNeeded(f, "docs_" + std::to_string(int(scale)) + "x_" + (upright ? "upright" : "turned"));
    }
}

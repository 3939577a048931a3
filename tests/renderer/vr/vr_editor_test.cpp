// An editor of real controls drawn through IGraphicsVR into the stand-in layer and saved as PNG: a panel, knobs
// with labels and values, a button with a drop shadow in a layer, a bitmap and a dotted meter scale.

#include "support/vr_rig.h"

#include <cmath>
#include <cstdio>

using namespace vrtest;

namespace
{

const IColor kPanel(255, 236, 239, 243), kInk(255, 40, 48, 60), kAccent(255, 32, 130, 200);

class Panel : public IControl
{
public:
  explicit Panel(const IRECT& r) : IControl(r) {}
  void Draw(IGraphics& g) override
  {
    IPattern fill(kLinearPattern);
    fill.AddStop(kPanel, 0.f);
    fill.AddStop(IColor(255, 214, 220, 228), 1.f);
    fill.mTransform = IMatrix(1.0, 0.0, 0.0, 1.0 / GetRECT().H(), 0.0, 0.0); // top to bottom
    g.FillRect(kPanel, GetRECT());
    g.FillRect(fill, GetRECT().GetPadded(8.f));
    g.DrawRoundRect(IColor(255, 180, 188, 200), GetRECT().GetPadded(8.f), 6.f, nullptr, 1.5f);
    g.DrawText(IText(20.f, kInk, "Verdana-Bold", kAlignNear, kVAlignTop), "ZANIQ", GetRECT().GetPadded(20.f));
  }
};

class Knob : public IControl
{
public:
  Knob(const IRECT& r, const char* label, double value) : IControl(r), mLabel(label) { SetValue(value); }
  void Draw(IGraphics& g) override
  {
    const IRECT r = GetRECT();
    const float cx = r.MW(), cy = r.T + 38.f, rad = 26.f;
    const float angle = -135.f + 270.f * float(GetValue());
    g.FillCircle(IColor(255, 250, 250, 252), cx, cy, rad - 4.f);
    g.DrawCircle(IColor(255, 190, 196, 206), cx, cy, rad - 4.f, nullptr, 1.f);
    g.DrawArc(IColor(255, 205, 210, 218), cx, cy, rad, -135.f, 135.f, nullptr, 4.f);
    g.DrawArc(kAccent, cx, cy, rad, -135.f, angle, nullptr, 4.f);
    g.DrawRadialLine(kInk, cx, cy, angle, 6.f, rad - 8.f, nullptr, 2.f);
    g.DrawText(IText(13.f, kInk, "Roboto-Regular", kAlignCenter, kVAlignTop), mLabel, IRECT(r.L, r.B - 30.f, r.R, r.B));
    char value[32];
    std::snprintf(value, sizeof value, "%.1f dB", -24.0 + 48.0 * GetValue());
    g.DrawText(IText(11.f, IColor(255, 90, 98, 110), "Verdana", kAlignCenter, kVAlignBottom), value, r);
  }

private:
  const char* mLabel;
};

class ShadowButton : public IControl
{
public:
  ShadowButton(const IRECT& r, const char* text) : IControl(r), mTextStr(text) {}
  void Draw(IGraphics& g) override
  {
    const IRECT area = GetRECT();
    g.StartLayer(this, area);
    const IRECT face = area.GetPadded(8.f).GetTranslated(-2.f, -2.f);
    g.FillRoundRect(kAccent, face, 8.f);
    g.DrawText(IText(14.f, COLOR_WHITE, "Roboto-Regular"), mTextStr, face);
    ILayerPtr layer = g.EndLayer();
    g.ApplyLayerDropShadow(layer, IShadow(IPattern(COLOR_BLACK), 4.f, 3.f, 3.f, 0.45f, true));
    g.DrawLayer(layer);
  }

private:
  const char* mTextStr;
};

class Meter : public IControl
{
public:
  Meter(const IRECT& r, IBitmap icon) : IControl(r), mIcon(icon) {}
  void Draw(IGraphics& g) override
  {
    const IRECT r = GetRECT();
    g.FillRoundRect(IColor(255, 50, 56, 66), r, 4.f);
    const IRECT bar(r.L + 6.f, r.T + 6.f, r.L + 6.f + (r.W() - 12.f) * 0.62f, r.B - 6.f);
    IPattern level(kLinearPattern);
    level.AddStop(IColor(255, 60, 200, 120), 0.f);
    level.AddStop(IColor(255, 240, 200, 40), 1.f);
    level.mTransform = IMatrix(0.0, 1.0 / r.W(), 1.0, 0.0, 0.0, -r.L / r.W());
    g.FillRect(level, bar);
    g.DrawDottedLine(COLOR_WHITE, r.L + 6.f, r.B - 3.f, r.R - 6.f, r.B - 3.f, nullptr, 1.f, 4.f);
    g.DrawFittedBitmap(mIcon, IRECT(r.R - r.H(), r.T, r.R, r.B).GetCentredInside(16.f, 16.f));
  }

private:
  IBitmap mIcon;
};

// A 16-point icon at 2x, encoded as PNG.
std::vector<uint8_t> IconPNG()
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
  cairo_t* cr = cairo_create(s);
  cairo_arc(cr, 16, 16, 13, 0, 6.2831853);
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.97);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  cairo_move_to(cr, 16, 8);
  cairo_line_to(cr, 16, 18);
  cairo_stroke(cr);
  cairo_destroy(cr);
  std::vector<uint8_t> png;
  cairo_surface_write_to_png_stream(
    s,
    [](void* closure, const unsigned char* data, unsigned int length) {
      auto* out = static_cast<std::vector<uint8_t>*>(closure);
      out->insert(out->end(), data, data + length);
      return CAIRO_STATUS_SUCCESS;
    },
    &png);
  cairo_surface_destroy(s);
  return png;
}

} // namespace

TEST(VREditor, RealControlsDrawIntoTheLayerAndSaveAsPNG)
{
  const std::vector<uint8_t> icon = IconPNG();
  for (float scale : {1.f, 2.f})
  {
    Editor e(320, 200, scale);
    ASSERT_TRUE(e.g.GetDrawContextReady());
    ASSERT_TRUE(e.g.LoadFont("Roboto-Regular", kRoboto));
    ASSERT_TRUE(e.g.LoadFont("Verdana", kDejaVu));
    ASSERT_TRUE(e.g.LoadFont("Verdana-Bold", kDejaVuBold));
    const IBitmap iconBitmap = e.g.LoadBitmap("power.png", icon.data(), int(icon.size()));
    ASSERT_TRUE(iconBitmap.IsValid());

    e.g.AttachControl(new Panel(e.g.GetBounds()));
    e.g.AttachControl(new Knob(IRECT(30.f, 50.f, 110.f, 150.f), "Gain", 0.7));
    e.g.AttachControl(new Knob(IRECT(120.f, 50.f, 200.f, 150.f), "Match", 0.25));
    e.g.AttachControl(new ShadowButton(IRECT(210.f, 60.f, 300.f, 104.f), "Learn"));
    e.g.AttachControl(new Meter(IRECT(30.f, 158.f, 300.f, 184.f), iconBitmap));
    e.g.DrawFrame();

    int w = 0, h = 0;
    const auto px = e.g.Pixels(&w, &h);
    ASSERT_EQ(w, int(320 * scale));
    ASSERT_EQ(h, int(200 * scale));
    const auto at = [&](float x, float y) { return &px[(size_t(y * scale) * w + size_t(x * scale)) * 4]; };
    // The panel's colour in a corner (BGRA), the accent inside the button, its shadow below right of it.
    EXPECT_EQ(at(2.f, 2.f)[0], kPanel.B);
    EXPECT_EQ(at(2.f, 2.f)[2], kPanel.R);
    EXPECT_NEAR(at(220.f, 80.f)[0], kAccent.B, 2);
    const uint8_t* shade = at(270.f, 96.f);
    EXPECT_LT(shade[1], 215);
    EXPECT_GT(shade[1], 80);
    // Ink of the title where the text was placed.
    int ink = 0;
    for (float y = 20.f; y < 40.f; y += 1.f)
      for (float x = 20.f; x < 100.f; x += 1.f)
        ink += at(x, y)[1] < 120;
    EXPECT_GT(ink, 100);

    const std::string path = ::testing::TempDir() + "vr_editor_x" + std::to_string(int(scale)) + ".png";
    EXPECT_TRUE(e.g.SavePNG(path));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char sig[8] = {};
    EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
    std::fclose(f);
    EXPECT_EQ(sig[1], 'P');
    if (!HasFailure() && !KeepImages()) std::remove(path.c_str());
  }
}

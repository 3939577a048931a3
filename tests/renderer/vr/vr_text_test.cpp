// Fonts through the platform and text through IGraphicsVR: measured boxes against FreeType's metrics of the same
// files, drawn text against Cairo (over FreeType, unhinted) by its ink, for the three bundle fonts and a CFF font,
// every alignment and rotation; and the in-editor text field drawn with its selection and cursor.

#include "support/vr_rig.h"

#include "controls/ITextEntryControl.h"
#include "framework/IParam.h"
#include "platform/mac/CoreTextFont.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <cmath>

using namespace vrtest;

namespace
{

struct FontFile
{
  const char* id;
  const char* path;
};
// The bundle's three fonts, and one with PostScript (CFF) outlines loaded from its file.
const FontFile kFonts[] = {{"Roboto-Regular", kRoboto},
                           {"Verdana", kDejaVu},
                           {"Verdana-Bold", kDejaVuBold},
                           {"TeXGyreHeros", kTexGyreHeros}};

bool LoadFonts(IGraphicsVR& g)
{
  bool ok = true;
  // Through the graphics core: the platform makes the font, the drawing back end takes its bytes.
  for (const FontFile& f : kFonts)
    ok = g.LoadFont(f.id, f.path) && ok;
  return ok;
}

// FreeType's view of a face: the renderer's text size is the height from descender to ascender (hhea).
struct Ft
{
  explicit Ft(const char* path)
  {
    FT_Init_FreeType(&lib);
    FT_New_Face(lib, path, 0, &face);
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    asc = hhea->Ascender;
    desc = hhea->Descender;
  }
  ~Ft()
  {
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
  }
  double Scale(double size) const { return size / (asc - desc); }
  // The horizontal extent of the laid-out line in points, relative to the pen's start, and its advance: the
  // renderer steps the pen by whole pixels (advance plus 'kern' kerning, rounded), and the extent runs from the pen
  // start or the first glyph's ink, whichever is further left, to the furthest ink on the right.
  struct Line
  {
    double left, right, advance;
  };
  Line Layout(const char* s, double size) const
  {
    const double k = Scale(size);
    Line line{0, 0, 0};
    double pen = 0;
    FT_UInt prev = 0;
    for (; *s; ++s)
    {
      const FT_UInt gi = FT_Get_Char_Index(face, static_cast<unsigned char>(*s));
      FT_Vector kern{0, 0};
      if (prev) FT_Get_Kerning(face, prev, gi, FT_KERNING_UNSCALED, &kern);
      FT_Load_Glyph(face, gi, FT_LOAD_NO_SCALE);
      const FT_Glyph_Metrics& m = face->glyph->metrics;
      pen += std::round(kern.x * k);
      if (m.width > 0)
      {
        // Glyph bitmaps cover whole pixels and keep one pixel of margin.
        line.left = std::min(line.left, std::floor(pen + m.horiBearingX * k) - 1);
        line.right = std::max(line.right, std::ceil(pen + (m.horiBearingX + m.width) * k) + 1);
      }
      pen += std::round(m.horiAdvance * k);
      prev = gi;
    }
    line.advance = pen;
    return line;
  }
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  double asc = 0, desc = 0;
};

const char* const kSample = "Gain 12 dB";

// One FreeType face per file for the whole run: Cairo keys its font faces by the FT_Face pointer.
const Ft& FtOf(const char* path)
{
  static const Ft faces[] = {Ft(kRoboto), Ft(kDejaVu), Ft(kDejaVuBold), Ft(kTexGyreHeros)};
  for (int i = 0; i < 4; ++i)
    if (kFonts[i].path == path) return faces[i];
  return faces[0];
}

// The box the text should occupy: its line (descender to ascender) and advance width placed in bounds by the
// alignment; rotated about the origin and placed again when the style has an angle.
IRECT ExpectedBox(const Ft& ft, const IText& t, const IRECT& b, const char* str)
{
  const Ft::Line line = ft.Layout(str, t.mSize);
  const double pen = t.mAlign == kAlignNear ? b.L : t.mAlign == kAlignCenter ? b.MW() - line.advance / 2
                                                                             : b.R - line.advance;
  const double w = line.right - line.left, h = t.mSize;
  double l = pen + line.left;
  double top = t.mVAlign == kVAlignTop ? b.T : t.mVAlign == kVAlignMiddle ? b.MH() - h / 2 : b.B - h;
  if (t.mAngle == 0.f) return IRECT(float(l), float(top), float(l + w), float(top + h));
  const double a = t.mAngle / 180.0 * 3.14159265358979323846, c = std::cos(a), s = std::sin(a);
  double xs[4] = {l, l + w, l + w, l}, ys[4] = {top, top, top + h, top + h}, minx = 1e9, maxx = -1e9, miny = 1e9,
         maxy = -1e9;
  for (int i = 0; i < 4; ++i)
  {
    const double x = xs[i] * c - ys[i] * s, y = xs[i] * s + ys[i] * c;
    minx = std::min(minx, x), maxx = std::max(maxx, x), miny = std::min(miny, y), maxy = std::max(maxy, y);
  }
  const double rw = maxx - minx, rh = maxy - miny;
  l = t.mAlign == kAlignNear ? b.L : t.mAlign == kAlignCenter ? b.MW() - rw / 2 : b.R - rw;
  top = t.mVAlign == kVAlignTop ? b.T : t.mVAlign == kVAlignMiddle ? b.MH() - rh / 2 : b.B - rh;
  return IRECT(float(l), float(top), float(l + rw), float(top + rh));
}

// Bounding box of the pixels with alpha above half, and the summed alpha.
struct Ink
{
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1;
  double sum = 0;
};
Ink InkOf(const uint8_t* px, int stride, int w, int h)
{
  Ink k;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const int a = px[y * stride + x * 4 + 3];
      k.sum += a;
      if (a > 128) k.l = std::min(k.l, x), k.r = std::max(k.r, x), k.t = std::min(k.t, y), k.b = std::max(k.b, y);
    }
  return k;
}

const IColor kFieldBG(255, 250, 248, 232), kFieldFG(255, 20, 60, 160), kPanel(255, 200, 206, 214);

class ValueBox : public IControl
{
public:
  ValueBox(const IRECT& r, int paramIdx) : IControl(r, paramIdx) {}
  void Draw(IGraphics& g) override { g.FillRect(kPanel, GetRECT()); }
};

} // namespace

TEST(VRText, MeasuredBoxesMatchFreeTypeForEveryAlignmentAndRotation)
{
  Editor e(400, 200);
  ASSERT_TRUE(LoadFonts(e.g));
  const IRECT bounds(40.f, 50.f, 360.f, 150.f);
  for (const FontFile& f : kFonts)
  {
    const Ft& ft = FtOf(f.path);
    for (float size : {11.f, 19.f, 36.f})
      for (int align = 0; align < 3; ++align)
        for (int valign = 0; valign < 3; ++valign)
          for (float angle : {0.f, 90.f, -30.f})
          {
            const IText t(size, COLOR_BLACK, f.id, align, valign, angle);
            IRECT r = bounds;
            const float width = e.g.MeasureText(t, kSample, r);
            const IRECT want = ExpectedBox(ft, t, bounds, kSample);
            SCOPED_TRACE(std::string(f.id) + " size " + std::to_string(size) + " align " + std::to_string(align) +
                         "/" + std::to_string(valign) + " angle " + std::to_string(angle));
            EXPECT_NEAR(r.L, want.L, 1.5f);
            EXPECT_NEAR(r.R, want.R, 1.5f);
            EXPECT_NEAR(r.T, want.T, 1.5f);
            EXPECT_NEAR(r.B, want.B, 1.5f);
            EXPECT_FLOAT_EQ(width, r.W());
          }
  }
}

TEST(VRText, DrawnTextMatchesCairoInk)
{
  constexpr int W = 300, H = 120;
  for (float scale : {1.f, 2.f})
    for (const FontFile& f : kFonts)
      for (int align = 0; align < 3; ++align)
        for (float angle : {0.f, 20.f})
        {
          const int valign = (align + 1) % 3;
          const IText t(24.f, IColor(255, 20, 20, 20), f.id, align, valign, angle);
          const IRECT bounds(20.f, 20.f, 280.f, 100.f);
          Editor e(W, H, scale);
          ASSERT_TRUE(LoadFonts(e.g));
          const auto ours = Render(e, [&](IGraphicsVR& g) { g.DrawText(t, kSample, bounds); });
          const int pw = int(W * scale), ph = int(H * scale);
          ASSERT_EQ(ours.size(), size_t(pw * ph * 4));

          // Cairo: the same face unhinted at the em size that gives the line that height, on the same baseline.
          const Ft& ft = FtOf(f.path);
          const IRECT box = ExpectedBox(ft, IText(t.mSize, t.mFGColor, f.id, align, valign, 0.f), bounds, kSample);
          CairoFrame ref(W, H, scale);
          cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ft.face, 0);
          cairo_font_options_t* opt = cairo_font_options_create();
          cairo_font_options_set_hint_style(opt, CAIRO_HINT_STYLE_NONE);
          cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_OFF);
          cairo_font_options_set_antialias(opt, CAIRO_ANTIALIAS_GRAY);
          cairo_set_font_options(ref.cr, opt);
          cairo_set_font_face(ref.cr, face);
          cairo_set_font_size(ref.cr, t.mSize * ft.face->units_per_EM / (ft.asc - ft.desc));
          if (angle != 0.f)
          {
            // Rotated about the origin, then moved so that the rotated line box sits in bounds by the alignment.
            const IRECT rot = ExpectedBox(ft, t, bounds, kSample);
            const double a = angle / 180.0 * 3.14159265358979323846;
            double xs[4] = {box.L, box.R, box.R, box.L}, ys[4] = {box.T, box.T, box.B, box.B}, mx = 1e9, my = 1e9;
            for (int i = 0; i < 4; ++i)
              mx = std::min(mx, xs[i] * std::cos(a) - ys[i] * std::sin(a)),
              my = std::min(my, xs[i] * std::sin(a) + ys[i] * std::cos(a));
            cairo_translate(ref.cr, rot.L - mx, rot.T - my);
            cairo_rotate(ref.cr, a);
          }
          cairo_move_to(ref.cr, box.L, box.T + ft.asc * ft.Scale(t.mSize));
          cairo_set_source_rgb(ref.cr, 20 / 255.0, 20 / 255.0, 20 / 255.0);
          cairo_show_text(ref.cr, kSample);

          const Ink a = InkOf(ours.data(), pw * 4, pw, ph), b = InkOf(ref.Data(), ref.Stride(), pw, ph);
          const std::string what = std::string(f.id) + " align " + std::to_string(align) + "/" +
                                   std::to_string(valign) + " angle " + std::to_string(angle) + " scale " +
                                   std::to_string(scale);
          // Our pen moves by whole device pixels, Cairo's does not: two points of drift along the line (more once the
          // rotation places the measured box).
          const int tol = int(std::ceil((angle != 0.f ? 2.5f : 2.f) * scale));
          const bool ok = std::abs(a.l - b.l) <= tol && std::abs(a.r - b.r) <= tol && std::abs(a.t - b.t) <= tol &&
                          std::abs(a.b - b.b) <= tol && std::abs(a.sum - b.sum) <= 0.1 * b.sum;
          EXPECT_TRUE(ok) << what << ": ink ours (" << a.l << "," << a.t << ")-(" << a.r << "," << a.b << ") sum "
                          << a.sum << ", Cairo (" << b.l << "," << b.t << ")-(" << b.r << "," << b.b << ") sum "
                          << b.sum;
          if (!ok || KeepImages()) SavePair(e.g, ref, what);
          cairo_font_options_destroy(opt);
          cairo_font_face_destroy(face);
        }
}

TEST(VRText, FontLoading)
{
  Editor e(100, 50);
  // A font whose bytes the renderer cannot use is refused and measures and draws nothing.
  struct BrokenFont : PlatformFont
  {
    BrokenFont() : PlatformFont(false) {}
    IFontDataPtr GetFontData() override
    {
      static const char junk[64] = "not a font at all";
      return std::make_unique<IFontData>(junk, int(sizeof junk), 0);
    }
  };
  EXPECT_FALSE(e.g.LoadAPIFont("Broken", PlatformFontPtr(new BrokenFont)));
  const IText t(20.f, COLOR_BLACK, "Broken", kAlignNear, kVAlignTop);
  IRECT r(10.f, 10.f, 90.f, 40.f);
  EXPECT_EQ(e.g.MeasureText(t, "text", r), 0.f);
  EXPECT_EQ(r.W(), 0.f);
  EXPECT_EQ(r.H(), 0.f);
  const auto px = Render(e, [&](IGraphicsVR& g) { g.DrawText(t, "text", IRECT(10.f, 10.f, 90.f, 40.f)); });
  EXPECT_EQ(InkOf(px.data(), 400, 100, 50).sum, 0.0);

  // Loaded once, a font comes from the process-wide cache for the next editor.
  ASSERT_TRUE(LoadFonts(e.g));
  Editor second(100, 50);
  const PlatformFontPtr none = std::make_unique<PlatformFont>(false); // no bytes of its own
  EXPECT_TRUE(second.g.LoadAPIFont("Roboto-Regular", none));
  EXPECT_FALSE(second.g.LoadAPIFont("Unknown", none));
}

// The in-editor text field opened over a control, first with its text selected, then with the cursor after the text.
TEST(VRTextEntry, SelectionTextAndCursorDrawIntoTheLayer)
{
  for (float scale : {1.f, 2.f})
  {
    Editor e(240, 80, scale, 1);
    TestGraphicsVR& g = e.g;
    e.dlg.GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    e.dlg.SetGraphicsReady(true);
    ASSERT_TRUE(g.LoadFont("Roboto-Regular", kRoboto));

    auto* box = static_cast<ValueBox*>(g.AttachControl(new ValueBox(g.GetBounds(), 0)));
    box->SetText(IText(20.f, COLOR_BLACK, "Roboto-Regular", kAlignCenter, kVAlignMiddle, 0.f, kFieldBG, kFieldFG));
    box->SetPromptShowsParamLabel(true);
    box->DisablePrompt(false);
    g.AttachTextEntryControl();
    auto* entry = static_cast<ITextEntryControl*>(g.GetTextEntryControl());
    const IRECT field(40.f, 20.f, 200.f, 60.f);
    g.PromptUserInput(box, field, 0);
    ASSERT_TRUE(entry->IsEditing());
    ASSERT_EQ(entry->GetUTF8(), "0.0 dB");

    int w = 0, h = 0;
    const auto at = [&](const std::vector<uint8_t>& px, float x, float y)
    { return &px[(size_t(y * scale) * size_t(w) + size_t(x * scale)) * 4]; };
    // BGRA; the selection is the foreground at weight 0.2 over the field's background.
    const auto mix = [](uint8_t bg, uint8_t fg) { return 0.8 * bg + 0.2 * fg; };

    g.DrawFrame();
    const auto selected = g.Pixels(&w, &h);
    ASSERT_EQ(w, int(240 * scale));
    const std::string name = ::testing::TempDir() + "vr_text_entry_x" + std::to_string(int(scale));
    if (KeepImages()) g.SavePNG(name + "_selected.png");
    EXPECT_EQ(at(selected, 20.f, 40.f)[2], kPanel.R);     // outside the field
    EXPECT_EQ(at(selected, 45.f, 24.f)[2], kFieldBG.R);   // inside, away from the text
    const uint8_t* tint = at(selected, 120.f, 32.f);     // inside the selection, above the glyphs
    EXPECT_NEAR(tint[0], mix(kFieldBG.B, kFieldFG.B), 2.0);
    EXPECT_NEAR(tint[2], mix(kFieldBG.R, kFieldFG.R), 2.0);

    // End: no selection, the cursor after the text. The column right of the last glyph ink is the cursor's.
    IKeyPress end;
    end.VK = 35;
    EXPECT_TRUE(g.OnKeyDown(0, 0, end));
    ASSERT_TRUE(entry->IsCursorVisible());
    g.DrawFrame();
    const auto cursor = g.Pixels(&w, &h);
    if (KeepImages()) g.SavePNG(name + "_cursor.png");
    EXPECT_EQ(at(cursor, 120.f, 32.f)[2], kFieldBG.R); // no selection tint any more
    int cursorColumn = -1;
    for (int px = int(199 * scale); px > int(100 * scale) && cursorColumn < 0; --px)
    {
      int dark = 0;
      for (int py = int(30 * scale); py < int(50 * scale); ++py)
        dark += cursor[(size_t(py) * size_t(w) + size_t(px)) * 4 + 2] < 100;
      if (dark >= int(16 * scale)) cursorColumn = px; // a solid bar, not a glyph's stroke
    }
    // The cursor after the text stands where the selection of the whole text ended.
    int selectionEnd = -1;
    const int row = int(32 * scale);
    for (int px = 0; px < w; ++px)
      if (std::abs(selected[(size_t(row) * size_t(w) + size_t(px)) * 4 + 2] - mix(kFieldBG.R, kFieldFG.R)) < 3)
        selectionEnd = px;
    EXPECT_GT(selectionEnd, int(120 * scale));
    EXPECT_NEAR(cursorColumn, selectionEnd, 2);
  }
}

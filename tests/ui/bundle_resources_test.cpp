// The bundle's editor resources: every bitmap of the artwork table is there at 1x and 2x, loads, and has the
// size the table promises; the fonts load; and the bitmap sizes place the controls of each view without one
// covering another. Also writes a mock of each view (the bitmaps pasted at their places, with sample texts) to
// the build folder, for a person to look at.
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/artwork/ArtworkTable.h"

namespace
{

using zaniq::artwork::ArtworkEntry;
using zaniq::artwork::kArtwork;
namespace fs = std::filesystem;

const fs::path kResources = ZANIQ_BUNDLE_RESOURCES;

struct SurfaceDeleter
{
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

Surface LoadPng(const fs::path& path)
{
  Surface s(cairo_image_surface_create_from_png(path.c_str()));
  if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  return s;
}

const ArtworkEntry& Entry(std::string_view name)
{
  for (const ArtworkEntry& e : kArtwork)
    if (e.name == name) return e;
  ADD_FAILURE() << "not in the artwork table: " << name;
  return kArtwork[0];
}

// ---------------------------------------------------------------------------------------------------------------
// Files

TEST(BundleResources, EveryBitmapLoadsAtBothScalesWithItsTableSize)
{
  for (const ArtworkEntry& e : kArtwork)
  {
    SCOPED_TRACE(std::string(e.name));
    ASSERT_GT(e.frames, 0);
    Surface one = LoadPng(kResources / std::string(e.name));
    Surface two = LoadPng(kResources / zaniq::artwork::HiResName(e.name));
    ASSERT_TRUE(one) << "missing or unreadable 1x bitmap";
    ASSERT_TRUE(two) << "missing or unreadable 2x bitmap";
    const int w1 = cairo_image_surface_get_width(one.get()), h1 = cairo_image_surface_get_height(one.get());
    const int w2 = cairo_image_surface_get_width(two.get()), h2 = cairo_image_surface_get_height(two.get());
    EXPECT_EQ(w1, e.width);
    EXPECT_EQ(h1, e.height * e.frames);
    EXPECT_EQ(h1 % e.frames, 0);
    EXPECT_EQ(w2, 2 * w1);
    EXPECT_EQ(h2, 2 * h1);
  }
}

struct FrameStats
{
  double alpha_sum = 0;
  std::vector<uint32_t> pixels;
};

FrameStats Frame(cairo_surface_t* s, int frame, int frames)
{
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s);
  const int fh = cairo_image_surface_get_height(s) / frames;
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  FrameStats st;
  for (int y = frame * fh; y < (frame + 1) * fh; ++y)
  {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x)
    {
      st.alpha_sum += row[x] >> 24;
      st.pixels.push_back(row[x]);
    }
  }
  return st;
}

TEST(BundleResources, EveryFrameIsDrawnAndStatesDiffer)
{
  for (const ArtworkEntry& e : kArtwork)
  {
    SCOPED_TRACE(std::string(e.name));
    Surface s = LoadPng(kResources / std::string(e.name));
    ASSERT_TRUE(s);
    std::vector<FrameStats> frames;
    for (int f = 0; f < e.frames; ++f)
    {
      frames.push_back(Frame(s.get(), f, e.frames));
      EXPECT_GT(frames.back().alpha_sum, 0.0) << "frame " << f << " is empty";
    }
    // A control whose states look the same cannot show its state; the same stands for neighbouring knob steps.
    for (int f = 1; f < e.frames; ++f)
      EXPECT_NE(frames[f - 1].pixels, frames[f].pixels) << "frames " << f - 1 << ", " << f;
  }
}

TEST(BundleResources, TwoTimesBitmapIsTheSamePictureDrawnFiner)
{
  // Box-filtering the 2x picture down must give the 1x picture back, near enough: same drawing, finer pixels.
  for (const ArtworkEntry& e : kArtwork)
  {
    SCOPED_TRACE(std::string(e.name));
    Surface one = LoadPng(kResources / std::string(e.name));
    Surface two = LoadPng(kResources / zaniq::artwork::HiResName(e.name));
    ASSERT_TRUE(one && two);
    cairo_surface_flush(one.get());
    cairo_surface_flush(two.get());
    const int w = cairo_image_surface_get_width(one.get()), h = cairo_image_surface_get_height(one.get());
    const int s1 = cairo_image_surface_get_stride(one.get()), s2 = cairo_image_surface_get_stride(two.get());
    const unsigned char* d1 = cairo_image_surface_get_data(one.get());
    const unsigned char* d2 = cairo_image_surface_get_data(two.get());
    double total = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c)
        {
          double avg = 0;
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
              avg += d2[(2 * y + dy) * s2 + (2 * x + dx) * 4 + c];
          total += std::fabs(avg / 4.0 - d1[y * s1 + x * 4 + c]);
        }
    // Text glyphs land on whole pixels at each scale, so small captions differ by up to half a pixel.
    EXPECT_LT(total / (static_cast<double>(w) * h * 4), 12.0);
  }
}

TEST(BundleResources, FontsLoadWithFreeType)
{
  struct FontCase
  {
    const char* file;
    const char* family;
    bool bold;
  };
  const FontCase cases[] = {{"Roboto-Regular.ttf", "Roboto", false},
                            {"verdana.ttf", "DejaVu Sans", false},
                            {"verdanab.ttf", "DejaVu Sans", true}};
  FT_Library ft = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&ft), 0);
  for (const FontCase& c : cases)
  {
    SCOPED_TRACE(c.file);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(ft, (kResources / c.file).c_str(), 0, &face), 0);
    EXPECT_STREQ(face->family_name, c.family);
    EXPECT_EQ((face->style_flags & FT_STYLE_FLAG_BOLD) != 0, c.bold);
    // The read-outs need digits, sign, point and the letters of "-inf" and "OFF".
    for (char ch : std::string("0123456789-.infOF"))
      EXPECT_NE(FT_Get_Char_Index(face, ch), 0u) << ch;
    FT_Done_Face(face);
  }
  FT_Done_FreeType(ft);
  for (const char* licence : {"LICENSE-Roboto.txt", "LICENSE-DejaVu.txt"})
  {
    std::error_code ec;
    EXPECT_GT(fs::file_size(kResources / licence, ec), 1000u) << licence;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Places: the editor's controls with their corners (bitmap controls) or rectangles, and the views showing them.

enum View : unsigned
{
  kS = 1,
  kH = 2,
  kE = 4,
  kC = 8,
  kSiPre = 16,
  kSiPost = 32
};
constexpr unsigned kSi = kSiPre | kSiPost;
constexpr unsigned kRx = kE | kC | kSi;
constexpr unsigned kAll = kS | kH | kRx;

enum class Kind
{
  kControl,
  kBackground,
  kHelpPage,
  kConfigPage
};

struct Place
{
  const char* what;
  const char* bitmap; // nullptr: a rectangle control
  double l, t, r, b;  // bitmap controls: r, b ignored (from the bitmap's frame size)
  unsigned views;
  Kind kind = Kind::kControl;
  int mock_frame = 0;
  const char* text = nullptr; // sample text drawn by the control itself
  int text_style = 0;         // 1 value (14, centred), 2 knob (16, centred), 3 read-out (21, right)
  int overlay_frame = -1;     // a second frame drawn over the first (the snapshot buttons' selection)
};

struct Rect
{
  double l, t, r, b;
  bool Intersects(const Rect& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
  bool Inside(const Rect& o) const { return l >= o.l && t >= o.t && r <= o.r && b <= o.b; }
};

// Attachment order, so the mock draws later controls over earlier ones.
const std::vector<Place>& Places()
{
  static const std::vector<Place> p = {
      {"Sender background", "background1.png", 0, 0, 0, 0, kS | kH, Kind::kBackground},
      {"Receiver background", "background2.png", 0, 0, 0, 0, kRx, Kind::kBackground},
      {"simple background post", "bg_easy_post.png", 0, 101, 0, 0, kSiPost, Kind::kBackground},
      {"simple background pre", "bg_easy_pre.png", 0, 101, 0, 0, kSiPre, Kind::kBackground},
      {"quick-help area", nullptr, 160, 320, 264, 352, kS | kH},
      {"help page", "help_page.png", 12, 114, 0, 0, kH, Kind::kHelpPage},
      {"Sender LED", "transmitter_led.png", 186, 51, 0, 0, kS | kH, Kind::kControl, 1},
      {"Receiver LED expert", "receiver_led.png", 10, 275, 0, 0, kE | kC, Kind::kControl, 1},
      {"Receiver LED simple", "receiver_led.png", 8, 560, 0, 0, kSi, Kind::kControl, 1},
      {"plug-in mode", "selector_plugin_mode.png", 2, 62, 0, 0, kS | kH},
      {"plug-in mode", "selector_plugin_mode.png", 2, 62, 0, 0, kRx, Kind::kControl, 1},
      {"Link ID", "simple_parameter1.png", 73, 62, 0, 0, kAll, Kind::kControl, 0, "12", 1},
      {"auto link", "autolink_button.png", 106, 40, 0, 0, kAll},
      {"latency", "simple_parameter.png", 118, 62, 0, 0, kRx, Kind::kControl, 0, "176400", 1},
      {"PDC", "pdc.png", 189, 62, 0, 0, kRx},
      {"RMS window", "simple_parameter2.png", 215, 62, 0, 0, kRx, Kind::kControl, 0, "10000", 1},
      {"meter mode", "selector_rms_mode.png", 273, 62, 0, 0, kRx, Kind::kControl, 3},
      {"over enable", "overenable.png", 329, 48, 0, 0, kRx, Kind::kControl, 1},
      {"over level", "simple_parameter2.png", 367, 62, 0, 0, kRx, Kind::kControl, 0, "-48.0", 1},
      {"over LED", "overled.png", 368, 86, 0, 0, kRx, Kind::kControl, 1},
      {"reference", "simple_parameter3.png", 16, 141, 0, 0, kE | kC, Kind::kControl, 0, "-18.0", 1},
      {"Drive knob", "drive_source_gain.png", 95, 279, 0, 0, kE | kC, Kind::kControl, 31, "+4.8", 2},
      {"Drive read-out", nullptr, 182, 134, 244, 171, kSi, Kind::kControl, 0, "4.8", 3},
      {"pre/post expert", "ab.png", 227, 279, 0, 0, kE | kC, Kind::kControl, 1},
      {"pre/post simple pre", "ab1.png", 22, 303, 0, 0, kSiPre, Kind::kControl, 0},
      {"pre/post simple post", "ab1.png", 22, 303, 0, 0, kSiPost, Kind::kControl, 1},
      {"manual expert", "m_manual.png", 114, 488, 0, 0, kE | kC},
      {"auto expert", "m_auto.png", 189, 488, 0, 0, kE | kC, Kind::kControl, 1},
      {"gain stage expert", "m_gstg.png", 264, 488, 0, 0, kE | kC},
      {"manual simple", "m_manual.png", 224, 568, 0, 0, kSi},
      {"auto simple", "m_auto.png", 268, 568, 0, 0, kSi, Kind::kControl, 1},
      {"gain stage simple", "m_gstg.png", 312, 568, 0, 0, kSi},
      {"inverse", "m_inv.png", 339, 488, 0, 0, kE | kC},
      {"delta expert", "deltamonitor.png", 365, 275, 0, 0, kE | kC},
      {"delta simple", "deltamonitor.png", 104, 560, 0, 0, kSi},
      {"config switch", "setup_button.png", 365, 337, 0, 0, kE},
      {"config switch", "setup_button.png", 365, 337, 0, 0, kC, Kind::kControl, 1},
      {"GUI mode expert", "guimode.png", 393, 555, 0, 0, kE | kC, Kind::kControl, 0},
      {"GUI mode simple", "guimode.png", 393, 555, 0, 0, kSi, Kind::kControl, 1},
      {"snapshot 1", "ss1.png", 120, 552, 0, 0, kE | kC, Kind::kControl, 1, nullptr, 0, 2},
      {"snapshot 2", "ss2.png", 160, 552, 0, 0, kE | kC, Kind::kControl, 1},
      {"snapshot 3", "ss3.png", 200, 552, 0, 0, kE | kC},
      {"snapshot 4", "ss4.png", 240, 552, 0, 0, kE | kC},
      {"clear", "clr_button.png", 329, 552, 0, 0, kE | kC},
      {"store", "sto_button.png", 277, 552, 0, 0, kE | kC},
      {"active expert", "active.png", 10, 337, 0, 0, kE | kC, Kind::kControl, 1},
      {"active simple", "active.png", 56, 560, 0, 0, kSi, Kind::kControl, 1},
      {"reset pre levels", "reset_button.png", 371, 201, 0, 0, kE | kC},
      {"reset pre diff", "reset_button.png", 371, 121, 0, 0, kE | kC},
      {"match pre", "balance_button.png", 275, 119, 0, 0, kE | kC},
      {"reset post diff", "reset_button.png", 371, 422, 0, 0, kE | kC},
      {"match post", "balance_button.png", 275, 422, 0, 0, kE | kC},
      {"simple reset", "reset_button.png", 377, 475, 0, 0, kSi},
      {"simple match", "balance_button.png", 287, 473, 0, 0, kSi},
      {"pre diff", nullptr, 100, 129, 162, 166, kE | kC, Kind::kControl, 0, "-2.4", 3},
      {"pre gain", nullptr, 190, 129, 252, 166, kE | kC, Kind::kControl, 0, "2.4", 3},
      {"pre current expert", nullptr, 100, 209, 162, 246, kE | kC, Kind::kControl, 0, "-20.4", 3},
      {"pre current simple", nullptr, 297, 220, 359, 257, kSi, Kind::kControl, 0, "-20.4", 3},
      {"pre max", nullptr, 190, 209, 252, 246, kE | kC, Kind::kControl, 0, "-14.9", 3},
      {"post diff expert", nullptr, 100, 429, 162, 466, kE | kC, Kind::kControl, 0, "-0.3", 3},
      {"post diff simple", nullptr, 297, 390, 359, 427, kSi, Kind::kControl, 0, "-0.3", 3},
      {"post gain expert", nullptr, 190, 429, 252, 466, kE | kC, Kind::kControl, 0, "0.3", 3},
      {"post gain simple", nullptr, 182, 475, 244, 512, kSi, Kind::kControl, 0, "0.3", 3},
      {"config page", "ovl_threshold.png", 0, 98, 0, 0, kC, Kind::kConfigPage},
      {"min auto gain", nullptr, 33, 214, 101, 238, kC, Kind::kControl, 0, "off", 3},
      {"max auto gain", nullptr, 129, 214, 197, 238, kC, Kind::kControl, 0, "12.0", 3},
      {"tolerance", nullptr, 305, 214, 373, 238, kC, Kind::kControl, 0, "off", 3},
      {"logo area", nullptr, 269, 6, 389, 30, kAll},
      {"plug-in menu", "pluginmenu.png", 4, 7, 0, 0, kAll},
      {"update indicator", "iconupdateavailable.png", 407, 7, 0, 0, kAll, Kind::kControl, 1},
      // The corner resizer sits in the bottom-right square of its bitmap's width.
      {"corner resizer", "button_resize.png", -1, -1, 0, 0, kAll},
  };
  return p;
}

Rect Bounds(const Place& p)
{
  if (!p.bitmap) return {p.l, p.t, p.r, p.b};
  const ArtworkEntry& e = Entry(p.bitmap);
  if (p.l < 0)
  {
    const double w = e.width;
    return {zaniq::artwork::kEditorWidth - w, zaniq::artwork::kEditorHeight - w, double(zaniq::artwork::kEditorWidth),
            double(zaniq::artwork::kEditorHeight)};
  }
  return {p.l, p.t, p.l + e.width, p.t + e.height};
}

TEST(BundleResources, ResizerBitmapIsSquare)
{
  const ArtworkEntry& e = Entry("button_resize.png");
  EXPECT_EQ(e.width, e.height); // it is placed as a square of its width
}

TEST(BundleResources, ControlsOfEachViewFitTheEditorWithoutCoveringEachOther)
{
  const Rect editor{0, 0, double(zaniq::artwork::kEditorWidth), double(zaniq::artwork::kEditorHeight)};
  const std::pair<unsigned, const char*> views[] = {{kS, "Sender"}, {kH, "help"},           {kE, "expert"},
                                                    {kC, "config"}, {kSiPre, "simple pre"}, {kSiPost, "simple post"}};
  for (const auto& [view, name] : views)
  {
    SCOPED_TRACE(name);
    std::vector<const Place*> shown;
    for (const Place& p : Places())
      if (p.views & view) shown.push_back(&p);
    const Place* help = nullptr;
    const Place* config = nullptr;
    for (const Place* p : shown)
    {
      EXPECT_TRUE(Bounds(*p).Inside(editor)) << p->what;
      if (p->kind == Kind::kHelpPage) help = p;
      if (p->kind == Kind::kConfigPage) config = p;
    }
    // The config page covers whole controls beneath it (they stay put while it is open), never a part of one;
    // what it covers is out of sight and out of reach, and so drops out of the overlap check.
    std::vector<const Place*> visible;
    for (const Place* p : shown)
    {
      if (config && p != config && p->kind == Kind::kControl)
      {
        const Rect r = Bounds(*p), page = Bounds(*config);
        const bool config_field = std::string_view(p->what).find("auto gain") != std::string_view::npos ||
                                  std::string_view(p->what) == "tolerance";
        if (config_field)
        {
          EXPECT_TRUE(r.Inside(page)) << p->what;
        }
        else if (r.Inside(page))
        {
          continue;
        }
        else
        {
          EXPECT_FALSE(r.Intersects(page)) << p->what << " is partly under the config page";
        }
      }
      visible.push_back(p);
    }
    for (size_t i = 0; i < visible.size(); ++i)
      for (size_t j = i + 1; j < visible.size(); ++j)
      {
        const Place& a = *visible[i];
        const Place& b = *visible[j];
        if (a.kind == Kind::kBackground || b.kind == Kind::kBackground) continue;
        if (a.kind == Kind::kConfigPage || b.kind == Kind::kConfigPage) continue; // checked above
        // The help page is meant to lie over the quick-help area: a click on it closes the page.
        if (help && (&a == help || &b == help))
        {
          const Place& other = &a == help ? b : a;
          if (std::string_view(other.what) == "quick-help area") continue;
        }
        EXPECT_FALSE(Bounds(a).Intersects(Bounds(b))) << a.what << " overlaps " << b.what;
      }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Mocks of the views, for a person to look at (written to the build folder).

// The bundle's "verdanab.ttf", kept for the life of the test process (Cairo's caches may hold on to it).
cairo_font_face_t* BundleBoldFace()
{
  static cairo_font_face_t* const face = []() -> cairo_font_face_t*
  {
    FT_Library lib = nullptr;
    FT_Face ft_face = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return nullptr;
    if (FT_New_Face(lib, (kResources / "verdanab.ttf").c_str(), 0, &ft_face) != 0) return nullptr;
    return cairo_ft_font_face_create_for_ft_face(ft_face, 0);
  }();
  return face;
}

void DrawSampleText(cairo_t* cr, const Place& p, const Rect& r)
{
  const double size = p.text_style == 1 ? 14 : p.text_style == 2 ? 16 : 21;
  cairo_set_font_face(cr, BundleBoldFace());
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, p.text, &e);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const double x = p.text_style == 3 ? r.r - e.x_advance : (r.l + r.r - e.x_advance) / 2;
  const double y = (r.t + r.b) / 2 + (fe.ascent - fe.descent) / 2;
  cairo_set_source_rgb(cr, 212 / 255.0, 212 / 255.0, 212 / 255.0);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, p.text);
}

TEST(BundleResources, MocksOfTheViews)
{
  const fs::path out = fs::path(ZANIQ_MOCK_DIR);
  fs::create_directories(out);
  ASSERT_NE(BundleBoldFace(), nullptr);
  const std::pair<unsigned, const char*> views[] = {{kS, "sender"}, {kH, "help"},           {kE, "expert"},
                                                    {kC, "config"}, {kSiPre, "simple_pre"}, {kSiPost, "simple_post"}};
  std::map<std::string, Surface> cache;
  for (int scale : {1, 2})
  {
    for (const auto& [view, name] : views)
    {
      cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, zaniq::artwork::kEditorWidth * scale,
                                                           zaniq::artwork::kEditorHeight * scale);
      cairo_t* cr = cairo_create(target);
      cairo_scale(cr, scale, scale);
      for (const Place& p : Places())
      {
        if (!(p.views & view)) continue;
        const Rect r = Bounds(p);
        if (p.bitmap)
        {
          const std::string file = scale == 1 ? std::string(p.bitmap) : zaniq::artwork::HiResName(p.bitmap);
          auto it = cache.find(file);
          if (it == cache.end()) it = cache.emplace(file, LoadPng(kResources / file)).first;
          ASSERT_TRUE(it->second) << file;
          const ArtworkEntry& e = Entry(p.bitmap);
          for (int frame : {p.mock_frame, p.overlay_frame})
          {
            if (frame < 0) continue;
            cairo_save(cr);
            cairo_rectangle(cr, r.l, r.t, r.r - r.l, r.b - r.t);
            cairo_clip(cr);
            cairo_translate(cr, r.l, r.t - std::min(frame, e.frames - 1) * e.height);
            cairo_scale(cr, 1.0 / scale, 1.0 / scale);
            cairo_set_source_surface(cr, it->second.get(), 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
          }
        }
        if (p.text) DrawSampleText(cr, p, r);
      }
      cairo_destroy(cr);
      const std::string file = "view_" + std::string(name) + (scale == 2 ? "@2x" : "") + ".png";
      EXPECT_EQ(cairo_surface_write_to_png(target, (out / file).c_str()), CAIRO_STATUS_SUCCESS);
      cairo_surface_destroy(target);
    }
  }
}

TEST(BundleResources, SheetOfEveryControlState)
{
  // Every frame of every control bitmap at 2x, side by side (the knob at five positions), on the editor's grey.
  const fs::path out = fs::path(ZANIQ_MOCK_DIR);
  fs::create_directories(out);
  const int sheet_w = 1400, sheet_h = 800, pad = 12;
  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sheet_w, sheet_h);
  cairo_t* cr = cairo_create(target);
  cairo_set_source_rgb(cr, 0.13, 0.145, 0.17);
  cairo_paint(cr);
  int x = pad, y = pad, row_h = 0;
  for (const ArtworkEntry& e : kArtwork)
  {
    if (e.width > 200) continue; // backgrounds and pages are in the view mocks
    Surface s = LoadPng(kResources / zaniq::artwork::HiResName(e.name));
    ASSERT_TRUE(s);
    std::vector<int> frames;
    if (e.frames > 6)
    {
      frames = {0, e.frames / 4, e.frames / 2, 3 * e.frames / 4, e.frames - 1};
    }
    else
    {
      for (int f = 0; f < e.frames; ++f)
        frames.push_back(f);
    }
    const int fw = 2 * e.width, fh = 2 * e.height;
    const int group_w = static_cast<int>(frames.size()) * (fw + 6);
    if (x + group_w > sheet_w)
    {
      x = pad;
      y += row_h + pad;
      row_h = 0;
    }
    for (int f : frames)
    {
      cairo_save(cr);
      cairo_rectangle(cr, x, y, fw, fh);
      cairo_clip(cr);
      cairo_set_source_surface(cr, s.get(), x, y - f * fh);
      cairo_paint(cr);
      cairo_restore(cr);
      x += fw + 6;
    }
    x += pad;
    row_h = std::max(row_h, fh);
  }
  cairo_destroy(cr);
  EXPECT_LT(y + row_h, sheet_h);
  EXPECT_EQ(cairo_surface_write_to_png(target, (out / "control_states@2x.png").c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(target);
}

} // namespace

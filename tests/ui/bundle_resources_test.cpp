// The bundle's editor resources: every bitmap of the artwork table is there at 1x and 2x, loads, and has the
// size the table promises; the fonts load; and the bitmap sizes place the controls of each view without one
// covering another.
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
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
};

struct Rect
{
  double l, t, r, b;
  bool Intersects(const Rect& o) const { return l < o.r && o.l < r && t < o.b && o.t < b; }
  bool Inside(const Rect& o) const { return l >= o.l && t >= o.t && r <= o.r && b <= o.b; }
};

// Attachment order.
const std::vector<Place>& Places()
{
  static const std::vector<Place> p = {
      {"Sender background", "background1.png", 0, 0, 0, 0, kS | kH, Kind::kBackground},
      {"Receiver background", "background2.png", 0, 0, 0, 0, kRx, Kind::kBackground},
      {"simple background post", "bg_easy_post.png", 0, 101, 0, 0, kSiPost, Kind::kBackground},
      {"simple background pre", "bg_easy_pre.png", 0, 101, 0, 0, kSiPre, Kind::kBackground},
      {"quick-help area", nullptr, 160, 320, 264, 352, kS | kH},
      {"help page", "help_page.png", 12, 114, 0, 0, kH, Kind::kHelpPage},
      {"Sender LED", "transmitter_led.png", 186, 51, 0, 0, kS | kH},
      {"Receiver LED expert", "receiver_led.png", 10, 275, 0, 0, kE | kC},
      {"Receiver LED simple", "receiver_led.png", 8, 560, 0, 0, kSi},
      {"plug-in mode", "selector_plugin_mode.png", 2, 62, 0, 0, kAll},
      {"Link ID", "simple_parameter1.png", 73, 62, 0, 0, kAll},
      {"auto link", "autolink_button.png", 106, 40, 0, 0, kAll},
      {"latency", "simple_parameter.png", 118, 62, 0, 0, kRx},
      {"PDC", "pdc.png", 189, 62, 0, 0, kRx},
      {"RMS window", "simple_parameter2.png", 215, 62, 0, 0, kRx},
      {"meter mode", "selector_rms_mode.png", 273, 62, 0, 0, kRx},
      {"over enable", "overenable.png", 329, 48, 0, 0, kRx},
      {"over level", "simple_parameter2.png", 367, 62, 0, 0, kRx},
      {"over LED", "overled.png", 368, 86, 0, 0, kRx},
      {"reference", "simple_parameter3.png", 16, 141, 0, 0, kE | kC},
      {"Drive knob", "drive_source_gain.png", 95, 279, 0, 0, kE | kC},
      {"Drive read-out", nullptr, 182, 134, 244, 171, kSi},
      {"pre/post expert", "ab.png", 227, 279, 0, 0, kE | kC},
      {"pre/post simple", "ab1.png", 22, 303, 0, 0, kSi},
      {"manual expert", "m_manual.png", 114, 488, 0, 0, kE | kC},
      {"auto expert", "m_auto.png", 189, 488, 0, 0, kE | kC},
      {"gain stage expert", "m_gstg.png", 264, 488, 0, 0, kE | kC},
      {"manual simple", "m_manual.png", 224, 568, 0, 0, kSi},
      {"auto simple", "m_auto.png", 268, 568, 0, 0, kSi},
      {"gain stage simple", "m_gstg.png", 312, 568, 0, 0, kSi},
      {"inverse", "m_inv.png", 339, 488, 0, 0, kE | kC},
      {"delta expert", "deltamonitor.png", 365, 275, 0, 0, kE | kC},
      {"delta simple", "deltamonitor.png", 104, 560, 0, 0, kSi},
      {"config switch", "setup_button.png", 365, 337, 0, 0, kE | kC},
      {"GUI mode", "guimode.png", 393, 555, 0, 0, kRx},
      {"snapshot 1", "ss1.png", 120, 552, 0, 0, kE | kC},
      {"snapshot 2", "ss2.png", 160, 552, 0, 0, kE | kC},
      {"snapshot 3", "ss3.png", 200, 552, 0, 0, kE | kC},
      {"snapshot 4", "ss4.png", 240, 552, 0, 0, kE | kC},
      {"clear", "clr_button.png", 329, 552, 0, 0, kE | kC},
      {"store", "sto_button.png", 277, 552, 0, 0, kE | kC},
      {"active expert", "active.png", 10, 337, 0, 0, kE | kC},
      {"active simple", "active.png", 56, 560, 0, 0, kSi},
      {"reset pre levels", "reset_button.png", 371, 201, 0, 0, kE | kC},
      {"reset pre diff", "reset_button.png", 371, 121, 0, 0, kE | kC},
      {"match pre", "balance_button.png", 275, 119, 0, 0, kE | kC},
      {"reset post diff", "reset_button.png", 371, 422, 0, 0, kE | kC},
      {"match post", "balance_button.png", 275, 422, 0, 0, kE | kC},
      {"simple reset", "reset_button.png", 377, 475, 0, 0, kSi},
      {"simple match", "balance_button.png", 287, 473, 0, 0, kSi},
      {"pre diff", nullptr, 100, 129, 162, 166, kE | kC},
      {"pre gain", nullptr, 190, 129, 252, 166, kE | kC},
      {"pre current expert", nullptr, 100, 209, 162, 246, kE | kC},
      {"pre current simple", nullptr, 297, 220, 359, 257, kSi},
      {"pre max", nullptr, 190, 209, 252, 246, kE | kC},
      {"post diff expert", nullptr, 100, 429, 162, 466, kE | kC},
      {"post diff simple", nullptr, 297, 390, 359, 427, kSi},
      {"post gain expert", nullptr, 190, 429, 252, 466, kE | kC},
      {"post gain simple", nullptr, 182, 475, 244, 512, kSi},
      {"config page", "ovl_threshold.png", 0, 98, 0, 0, kC, Kind::kConfigPage},
      {"min auto gain", nullptr, 33, 214, 101, 238, kC},
      {"max auto gain", nullptr, 129, 214, 197, 238, kC},
      {"tolerance", nullptr, 305, 214, 373, 238, kC},
      {"logo area", nullptr, 269, 6, 389, 30, kAll},
      {"plug-in menu", "pluginmenu.png", 4, 7, 0, 0, kAll},
      {"update indicator", "iconupdateavailable.png", 407, 7, 0, 0, kAll},
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

TEST(BundleResources, ControlsOfEachViewFitTheEditorWithoutCoveringEachOther)
{
  const ArtworkEntry& resizer = Entry("button_resize.png");
  EXPECT_EQ(resizer.width, resizer.height); // it is placed as a square of its width
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

} // namespace

// The bundle's editor resources: every bitmap of the artwork table is there at 1x and 2x, loads, and has the
// size the table promises; the fonts load; and the bitmap sizes place the controls of each view without one
// covering another.
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include "support/ui_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tools/artwork/ArtworkTable.h"

namespace
{

using zaniq::artwork::ArtworkEntry;
using zaniq::artwork::kArtwork;
namespace fs = std::filesystem;
using namespace uitest;

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

// The pixels of one frame of a strip of frames stacked vertically.
std::vector<uint32_t> Frame(cairo_surface_t* s, int frame, int frames)
{
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s), fh = cairo_image_surface_get_height(s) / frames;
  const unsigned char* data = cairo_image_surface_get_data(s);
  std::vector<uint32_t> pixels;
  for (int y = frame * fh; y < (frame + 1) * fh; ++y)
  {
    const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(cairo_image_surface_get_stride(s)));
    pixels.insert(pixels.end(), row, row + w);
  }
  return pixels;
}

// A missing or broken bitmap fails here: each is at 1x and 2x with its table size, and each frame is drawn.
TEST(BundleResources, EveryBitmapLoadsAtBothScalesWithItsTableSizeAndDrawnFrames)
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
    EXPECT_EQ(w1, e.width);
    EXPECT_EQ(h1, e.height * e.frames);
    EXPECT_EQ(cairo_image_surface_get_width(two.get()), 2 * w1);
    EXPECT_EQ(cairo_image_surface_get_height(two.get()), 2 * h1);
    // A control whose states look the same cannot show its state; the same stands for neighbouring knob steps.
    std::vector<uint32_t> previous;
    for (int f = 0; f < e.frames; ++f)
    {
      std::vector<uint32_t> pixels = Frame(one.get(), f, e.frames);
      EXPECT_TRUE(std::any_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p >> 24; }))
        << "frame " << f << " is empty";
      EXPECT_NE(pixels, previous) << "frames " << f - 1 << ", " << f;
      previous = std::move(pixels);
    }
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

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Places: the live editor with the bundle's own bitmaps, in each view.

TEST_F(EditorTest, ControlsOfEachViewFitTheEditorWithoutCoveringEachOther)
{
  struct View
  {
    const char* name;
    int mode, gui, prePost, config, help;
  };
  const View views[] = {{"Sender", 0, 0, 0, 0, 0}, {"help", 0, 0, 0, 0, 1},       {"expert", 1, 0, 1, 0, 0},
                        {"config", 1, 0, 1, 1, 0}, {"simple pre", 1, 1, 0, 0, 0}, {"simple post", 1, 1, 1, 0, 0}};
  const IRECT editor(0, 0, 424, 610);
  // Touching edges are fine; sharing an area is not.
  auto overlap = [](const IRECT& a, const IRECT& b) { return a.L < b.R && b.L < a.R && a.T < b.B && b.T < a.B; };
  for (const View& v : views)
  {
    SCOPED_TRACE(v.name);
    UIZANIQ& z = Make();
    z.Change(ZANIQ::kPluginMode, v.mode);
    z.Change(ZANIQ::kGUIMode, v.gui);
    z.Change(ZANIQ::kPrePostFX, v.prePost);
    z.Change(ZANIQ::kShowConfigPage, v.config);
    z.OpenEditor();
    if (v.help) z.Command(59);
    IGraphics& g = *z.GetUI();
    ASSERT_EQ(g.NControls(), 70);
    auto at = [&](ZANIQ::EEditorControl w) { return z.GetEditorControlIndex(w); };
    const int page = at(ZANIQ::kCtlConfigBackground), help = at(ZANIQ::kCtlHelpPage);
    const int quickHelp = at(ZANIQ::kCtlQuickHelp);
    const std::set<int> backgrounds = {at(ZANIQ::kCtlSenderBackground), at(ZANIQ::kCtlReceiverBackground),
                                       at(ZANIQ::kCtlSimpleBackgroundPre), at(ZANIQ::kCtlSimpleBackgroundPost)};
    const std::set<int> configFields = {at(ZANIQ::kCtlMinAutoGain), at(ZANIQ::kCtlMaxAutoGain),
                                        at(ZANIQ::kCtlAutoGainTolerance)};
    const bool pageShown = !g.GetControl(page)->IsHidden();
    EXPECT_EQ(pageShown, v.config == 1);

    std::vector<std::pair<int, IRECT>> shown;
    for (int i = 0; i < g.NControls(); ++i)
    {
      const IControl* c = g.GetControl(i);
      const IRECT r = c->GetRECT();
      if (c->IsHidden() || r.Empty()) continue;
      EXPECT_GT(r.W() * r.H(), 0.f) << "control " << i << " has no size";
      EXPECT_TRUE(editor.Contains(r)) << "control " << i << " leaves the editor";
      if (backgrounds.count(i) || i == page) continue;
      // The config page covers whole controls beneath it (they stay put while it is open), never a part of one;
      // what it covers is out of sight and out of reach.
      if (pageShown)
      {
        const IRECT p = g.GetControl(page)->GetRECT();
        if (configFields.count(i))
          EXPECT_TRUE(p.Contains(r)) << "config field " << i;
        else if (p.Contains(r))
          continue;
        else
          EXPECT_FALSE(overlap(r, p)) << "control " << i << " is partly under the config page";
      }
      shown.push_back({i, r});
    }
    EXPECT_GE(shown.size(), 8u); // the check is not vacuous
    shown.push_back({-1, g.GetCornerResizer()->GetRECT()});
    for (size_t a = 0; a < shown.size(); ++a)
      for (size_t b = a + 1; b < shown.size(); ++b)
      {
        const int i = shown[a].first, j = shown[b].first;
        // The help page lies over the quick-help area on purpose: a click on it closes the page.
        if ((i == help && j == quickHelp) || (i == quickHelp && j == help)) continue;
        EXPECT_FALSE(overlap(shown[a].second, shown[b].second)) << "controls " << i << " and " << j << " overlap";
      }
  }
}

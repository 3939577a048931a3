#pragma once

// Shared pieces of the drawing-interface tests: an editor on the test platform whose one control runs a drawing
// function, frames read back as premultiplied BGRA (Cairo ARGB32 byte order), and the per-pixel comparison against
// Cairo.

#include "support/TestGraphicsVR.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vrtest
{
using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

inline const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
inline const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// PostScript (CFF) outlines, from Debian's fonts-texgyre.
inline const char* const kTexGyreHeros = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheros-regular.otf";

using DrawFunc = std::function<void(IGraphicsVR&)>;

// A control that draws whatever the test gives it.
class FuncControl : public IControl
{
public:
  FuncControl(const IRECT& r, DrawFunc f) : IControl(r), mFunc(std::move(f)) {}
  void Draw(IGraphics& g) override { mFunc(static_cast<IGraphicsVR&>(g)); }

private:
  DrawFunc mFunc;
};

// An open editor of w × h points at a screen scale.
struct Editor
{
  Editor(int w, int h, float screenScale = 1.f, int nParams = 0) : dlg(nParams), g(dlg, w, h)
  {
    g.SetPendingScreenScale(screenScale);
    g.OpenWindow(nullptr);
  }
  RecordingDelegate dlg;
  TestGraphicsVR g;
};

// One frame of a single control covering the editor; the setup runs once the view is open (fonts, bitmaps).
inline std::vector<uint8_t> Render(Editor& e, const DrawFunc& draw)
{
  e.g.AttachControl(new FuncControl(e.g.GetBounds(), draw));
  e.g.DrawFrame();
  return e.g.Pixels();
}

// True when a frame was read back and nothing was drawn into it.
inline bool Empty(const std::vector<uint8_t>& px)
{
  for (uint8_t b : px)
    if (b) return false;
  return !px.empty();
}

// A frame drawn by us against the same scene drawn by Cairo: per-channel differences, interior pixels (uniform
// 3 × 3 neighbourhood in Cairo's image) apart from edges, where anti-aliasing differs.
struct Stats
{
  int interiorMax = 0, edgeMax = 0, overEdge = 0;
  double mean = 0;
  std::string where; // the first pixels beyond the edge tolerance
};

inline Stats Compare(const std::vector<uint8_t>& ours, const uint8_t* ref, int stride, int w, int h, int edgeTolerance)
{
  Stats s;
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      bool uniform = true;
      for (int dy = -1; dy <= 1 && uniform; ++dy)
        for (int dx = -1; dx <= 1 && uniform; ++dx)
        {
          const int nx = std::clamp(x + dx, 0, w - 1), ny = std::clamp(y + dy, 0, h - 1);
          uniform = std::memcmp(&ref[ny * stride + nx * 4], &ref[y * stride + x * 4], 4) == 0;
        }
      int worst = 0;
      for (int c = 0; c < 4; ++c)
      {
        const int d = std::abs(int(ours[(y * w + x) * 4 + c]) - int(ref[y * stride + x * 4 + c]));
        sum += d;
        worst = std::max(worst, d);
      }
      if (uniform)
        s.interiorMax = std::max(s.interiorMax, worst);
      else
      {
        s.edgeMax = std::max(s.edgeMax, worst);
        if (worst > edgeTolerance && ++s.overEdge <= 6)
          s.where += " (" + std::to_string(x) + "," + std::to_string(y) + ")" + std::to_string(worst);
      }
    }
  s.mean = sum / (w * h * 4.0);
  return s;
}

// A Cairo image of w × h points at a scale.
struct CairoFrame
{
  CairoFrame(int w, int h, double scale)
  {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w * scale), int(h * scale));
    cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
  }
  ~CairoFrame()
  {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  CairoFrame(const CairoFrame&) = delete;
  CairoFrame& operator=(const CairoFrame&) = delete;
  const uint8_t* Data()
  {
    cairo_surface_flush(surface);
    return cairo_image_surface_get_data(surface);
  }
  int Stride() const { return cairo_image_surface_get_stride(surface); }
  cairo_surface_t* surface;
  cairo_t* cr;
};

// Ours and Cairo's images under the test's temporary folder, for a look.
inline std::string SavePair(TestGraphicsVR& g, CairoFrame& ref, const std::string& name)
{
  std::string file = "vr_" + name;
  for (char& c : file)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  const std::string base = ::testing::TempDir() + file;
  cairo_surface_write_to_png(ref.surface, (base + "_cairo.png").c_str());
  g.SavePNG(base + "_ours.png");
  return base;
}

inline bool KeepImages()
{
  return std::getenv("VR_SAVE") != nullptr;
}

// A drawing of ours beside the Cairo drawing it must match, with what the comparison allows at edges.
struct Scene
{
  const char* name;
  int edgeTolerance; // per channel at pixels where Cairo's neighbourhood is not uniform
  int corners;       // pixels allowed beyond it (per unit of screen scale squared)
  DrawFunc ours;
  std::function<void(cairo_t*)> cairo;
};

// Draws the scene both ways on a w × h editor at the screen scale and fails with the numbers (and writes both
// images) where they differ beyond the allowance; VR_SAVE keeps the images of passing scenes too.
inline void RunScene(const Scene& scene, int w, int h, float scale)
{
  Editor e(w, h, scale);
  const auto ours = Render(e, scene.ours);
  const int pw = int(w * scale), ph = int(h * scale);
  ASSERT_EQ(ours.size(), size_t(pw * ph * 4)) << scene.name;
  CairoFrame ref(w, h, scale);
  scene.cairo(ref.cr);
  const Stats s = Compare(ours, ref.Data(), ref.Stride(), pw, ph, scene.edgeTolerance);
  const int corners = int(scene.corners * scale * scale);
  const bool ok = s.interiorMax <= 3 && s.edgeMax <= 160 && s.overEdge <= corners && s.mean < 1.0;
  if (!ok || KeepImages())
  {
    const std::string base = SavePair(e.g, ref, std::string(scene.name) + "_x" + std::to_string(int(scale)));
    if (!ok)
      ADD_FAILURE() << scene.name << " at scale " << scale << ": interior " << s.interiorMax << " edge " << s.edgeMax
                    << " beyond " << s.overEdge << " mean " << s.mean << " at" << s.where << " (images under " << base
                    << ")";
  }
}

// Every scene at screen scales 1 and 2.
inline void RunScenes(const std::vector<Scene>& scenes, int w, int h)
{
  for (const Scene& scene : scenes)
    for (float scale : {1.f, 2.f})
      RunScene(scene, w, h, scale);
}

} // namespace vrtest

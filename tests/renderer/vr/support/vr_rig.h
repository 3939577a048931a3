#pragma once

// Shared pieces of the drawing-interface tests: an editor on the test platform whose one control runs a drawing
// function, frames read back as premultiplied BGRA (Cairo ARGB32 byte order), and the per-pixel comparison the
// Metal back end's tests use against Cairo.

#include "renderer/support/CairoCompare.h"
#include "support/TestGraphicsVR.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

using cairocmp::CairoFrame;
using cairocmp::Compare;
using cairocmp::Stats;

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

} // namespace vrtest

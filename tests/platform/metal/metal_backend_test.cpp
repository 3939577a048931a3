// The renderer drawn through the Metal back end and the stand-in GPU, compared with Cairo drawing the same
// primitives.

#include "renderer/support/CairoCompare.h"
#include "support/backend_rig.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

using namespace backendtest;
using namespace cairocmp;

namespace
{

struct Scene
{
  std::string name;
  int edgeTolerance; // per channel, at pixels whose Cairo neighbourhood is not uniform
  int corners;       // pixels allowed beyond it (corners, joins and caps), none beyond 128
  std::function<void(VRcontext*)> ours;
  std::function<void(cairo_t*)> cairo;
};

std::vector<Scene> Scenes()
{
  std::vector<Scene> scenes;
  struct StrokeCase
  {
    int cap, join;
    float width;
  };
  const StrokeCase strokes[] = {{VR_ROUND, VR_ROUND, 9}, {VR_BUTT, VR_MITER, 1.5f}};
  for (const StrokeCase& k : strokes)
    // Caps and joins are polygons within a quarter pixel of the arc: their rims differ most.
    scenes.push_back({"stroke", k.cap == VR_BUTT && k.join == VR_MITER ? 12 : 48, 40,
                      [k](VRcontext* vg) {
                        vrBeginPath(vg);
                        vrMoveTo(vg, 15, 80);
                        vrLineTo(vg, 45, 20);
                        vrLineTo(vg, 75, 75);
                        vrLineTo(vg, 105, 30);
                        vrLineCap(vg, k.cap);
                        vrLineJoin(vg, k.join);
                        vrStrokeWidth(vg, k.width);
                        vrStrokeColor(vg, vrRGBA(240, 120, 20, 255));
                        vrStroke(vg);
                      },
                      [k](cairo_t* cr) {
                        cairo_move_to(cr, 15, 80);
                        cairo_line_to(cr, 45, 20);
                        cairo_line_to(cr, 75, 75);
                        cairo_line_to(cr, 105, 30);
                        cairo_set_line_cap(cr, k.cap == VR_ROUND    ? CAIRO_LINE_CAP_ROUND
                                               : k.cap == VR_SQUARE ? CAIRO_LINE_CAP_SQUARE
                                                                    : CAIRO_LINE_CAP_BUTT);
                        cairo_set_line_join(cr, k.join == VR_ROUND   ? CAIRO_LINE_JOIN_ROUND
                                                : k.join == VR_BEVEL ? CAIRO_LINE_JOIN_BEVEL
                                                                     : CAIRO_LINE_JOIN_MITER);
                        cairo_set_miter_limit(cr, 10);
                        cairo_set_line_width(cr, k.width);
                        cairo_set_source_rgb(cr, 240 / 255.0, 120 / 255.0, 20 / 255.0);
                        cairo_stroke(cr);
                      }});
  struct Op
  {
    int ours;
    cairo_operator_t cairo;
    const char* name;
  };
  // Operators that leave pixels outside the source alone (Cairo's unbounded ones clear them).
  const Op ops[] = {{VR_ATOP, CAIRO_OPERATOR_ATOP, "atop"},
                    {VR_DESTINATION_OVER, CAIRO_OPERATOR_DEST_OVER, "destination over"},
                    {VR_DESTINATION_OUT, CAIRO_OPERATOR_DEST_OUT, "destination out"},
                    {VR_LIGHTER, CAIRO_OPERATOR_ADD, "lighter"},
                    {VR_XOR, CAIRO_OPERATOR_XOR, "xor"}};
  for (const Op& k : ops)
    scenes.push_back({std::string("composite ") + k.name, 2, 0,
                      [k](VRcontext* vg) {
                        vrBeginPath(vg);
                        vrRect(vg, 5, 5, 30, 30);
                        vrFillColor(vg, vrRGBA(0, 0, 255, 200));
                        vrFill(vg);
                        vrGlobalCompositeOperation(vg, k.ours);
                        vrBeginPath(vg);
                        vrRect(vg, 20, 15, 30, 30);
                        vrFillColor(vg, vrRGBA(255, 0, 0, 150));
                        vrFill(vg);
                      },
                      [k](cairo_t* cr) {
                        cairo_rectangle(cr, 5, 5, 30, 30);
                        cairo_set_source_rgba(cr, 0, 0, 1, 200 / 255.0);
                        cairo_fill(cr);
                        cairo_set_operator(cr, k.cairo);
                        cairo_rectangle(cr, 20, 15, 30, 30);
                        cairo_set_source_rgba(cr, 1, 0, 0, 150 / 255.0);
                        cairo_fill(cr);
                      }});
  return scenes;
}

} // namespace

// Round caps and joins, thin strokes and composite operations: what the drawing-interface suite does not reach
// through its own calls.
TEST(MetalBackend, PrimitivesMatchCairo)
{
  constexpr int W = 120, H = 100;
  // At scale 2 each logical unit is two pixels; corners and rims count four times as many pixels.
  for (int scale : {1, 2})
  {
    Backend backend(W, H, (float)scale);
    ASSERT_NE(backend.vg, nullptr);
    const int w = W * scale, h = H * scale;
    for (const Scene& scene : Scenes())
    {
      const auto ours = backend.Frame(scene.ours);
      ASSERT_EQ(ours.size(), size_t(w * h * 4)) << scene.name;
      CairoFrame ref(W, H, scale);
      scene.cairo(ref.cr);
      const Stats s = Compare(ours, ref.Data(), ref.Stride(), w, h, scene.edgeTolerance);
      const bool ok = s.interiorMax <= 2 && s.edgeMax <= 128 && s.overEdge <= scene.corners * scale * scale &&
                      s.mean < 1.0;
      // METAL_BACKEND_SAVE=1 keeps every scene's pair of images for a look.
      if (!ok || std::getenv("METAL_BACKEND_SAVE"))
      {
        std::string base = "metal_backend_" + std::to_string(scale) + "x_" + scene.name;
        std::replace(base.begin(), base.end(), ' ', '_');
        base = ::testing::TempDir() + base;
        cairo_surface_write_to_png(ref.surface, (base + "_cairo.png").c_str());
        backend.layer->writeLastFrameToPNG((base + "_ours.png").c_str());
        if (!ok)
          ADD_FAILURE() << scene.name << " at scale " << scale << ": interior " << s.interiorMax << " edge "
                        << s.edgeMax << " beyond " << s.overEdge << s.where << " mean " << s.mean
                        << " (images under " << base << ")";
      }
    }
  }
}

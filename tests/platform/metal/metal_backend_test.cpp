// The renderer drawn through the Metal back end and the stand-in GPU, compared with Cairo drawing the same
// primitives; and the back end's frame, framebuffer and texture rules.

#include "support/backend_rig.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace backendtest;

namespace
{

constexpr double kPi = 3.14159265358979323846;

struct Scene
{
  const char* name;
  int edgeTolerance;   // per channel, at pixels whose Cairo neighbourhood is not uniform
  int corners;         // pixels allowed beyond it (corners, joins and caps), none beyond 128
  std::function<void(VRcontext*)> ours;
  std::function<void(cairo_t*)> cairo;
};

struct Stats
{
  int interiorMax = 0, edgeMax = 0, overEdge = 0;
  double mean = 0;
};

// Differences per channel, interior pixels (uniform 3 × 3 neighbourhood in Cairo's image) apart from edges.
Stats Compare(const std::vector<uint8_t>& ours, const uint8_t* ref, int stride, int w, int h, int edgeTolerance)
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
        s.overEdge += worst > edgeTolerance;
      }
    }
  s.mean = sum / (w * h * 4.0);
  return s;
}

void CairoRoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

// Concave, with a notch and a reflex vertex.
const std::vector<std::pair<float, float>> kStar = {{10.2f, 10.1f}, {110.3f, 10.4f}, {110.1f, 90.2f}, {60.3f, 35.2f},
                                                    {35.1f, 60.3f}, {10.4f, 90.3f}};

std::vector<Scene> Scenes()
{
  std::vector<Scene> scenes;
  scenes.push_back({"convex rectangle", 12, 4,
                    [](VRcontext* vg) {
                      vrBeginPath(vg);
                      vrRect(vg, 10.3f, 12.7f, 70.4f, 50.2f);
                      vrFillColor(vg, vrRGBA(200, 40, 30, 255));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      cairo_rectangle(cr, 10.3, 12.7, 70.4, 50.2);
                      cairo_set_source_rgb(cr, 200 / 255.0, 40 / 255.0, 30 / 255.0);
                      cairo_fill(cr);
                    }});
  scenes.push_back({"rounded rectangle and circle, translucent", 48, 0,
                    [](VRcontext* vg) {
                      vrBeginPath(vg);
                      vrRoundedRect(vg, 8, 8, 90, 60, 12);
                      vrFillColor(vg, vrRGBA(30, 120, 200, 255));
                      vrFill(vg);
                      vrBeginPath(vg);
                      vrCircle(vg, 80, 70, 30);
                      vrFillColor(vg, vrRGBA(250, 200, 20, 160));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      CairoRoundedRect(cr, 8, 8, 90, 60, 12);
                      cairo_set_source_rgb(cr, 30 / 255.0, 120 / 255.0, 200 / 255.0);
                      cairo_fill(cr);
                      cairo_arc(cr, 80, 70, 30, 0, 2 * kPi);
                      cairo_set_source_rgba(cr, 250 / 255.0, 200 / 255.0, 20 / 255.0, 160 / 255.0);
                      cairo_fill(cr);
                    }});
  // Diagonal edges: a ramp over the distance to the edge against exact area coverage.
  scenes.push_back({"concave polygon", 18, 8,
                    [](VRcontext* vg) {
                      vrBeginPath(vg);
                      vrMoveTo(vg, kStar[0].first, kStar[0].second);
                      for (size_t i = 1; i < kStar.size(); ++i) vrLineTo(vg, kStar[i].first, kStar[i].second);
                      vrClosePath(vg);
                      vrFillColor(vg, vrRGBA(20, 160, 90, 255));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      cairo_move_to(cr, kStar[0].first, kStar[0].second);
                      for (size_t i = 1; i < kStar.size(); ++i) cairo_line_to(cr, kStar[i].first, kStar[i].second);
                      cairo_close_path(cr);
                      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
                      cairo_set_source_rgb(cr, 20 / 255.0, 160 / 255.0, 90 / 255.0);
                      cairo_fill(cr);
                    }});
  for (int dir : {VR_CW, VR_CCW})
    // Drawn through the stencil; the hole's rim is a polygon a quarter pixel inside the circle at scale 2.
    scenes.push_back({dir == VR_CW ? "hole drawn clockwise" : "hole drawn counter-clockwise", 64, 4,
                      [dir](VRcontext* vg) {
                        vrBeginPath(vg);
                        vrRect(vg, 10, 10, 100, 80);
                        vrMoveTo(vg, 85, 50);
                        vrArc(vg, 60, 50, 25, 0, 2 * (float)kPi * (dir == VR_CW ? 1 : -1), dir);
                        vrClosePath(vg);
                        vrPathWinding(vg, VR_HOLE);
                        vrFillColor(vg, vrRGBA(90, 40, 160, 255));
                        vrFill(vg);
                      },
                      [](cairo_t* cr) {
                        cairo_rectangle(cr, 10, 10, 100, 80);
                        cairo_new_sub_path(cr);
                        cairo_arc(cr, 60, 50, 25, 0, 2 * kPi);
                        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                        cairo_set_source_rgb(cr, 90 / 255.0, 40 / 255.0, 160 / 255.0);
                        cairo_fill(cr);
                      }});
  struct StrokeCase
  {
    int cap, join;
    float width;
  };
  const StrokeCase strokes[] = {{VR_BUTT, VR_MITER, 8}, {VR_ROUND, VR_ROUND, 9}, {VR_SQUARE, VR_BEVEL, 7},
                                {VR_BUTT, VR_MITER, 1.5f}};
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
  scenes.push_back({"linear gradient", 12, 4,
                    [](VRcontext* vg) {
                      vrBeginPath(vg);
                      vrRect(vg, 10, 10, 100, 80);
                      vrFillPaint(vg, vrLinearGradient(vg, 20, 0, 100, 0, vrRGBA(255, 0, 0, 255), vrRGBA(0, 0, 255, 255)));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      cairo_pattern_t* p = cairo_pattern_create_linear(20, 0, 100, 0);
                      cairo_pattern_add_color_stop_rgb(p, 0, 1, 0, 0);
                      cairo_pattern_add_color_stop_rgb(p, 1, 0, 0, 1);
                      cairo_rectangle(cr, 10, 10, 100, 80);
                      cairo_set_source(cr, p);
                      cairo_fill(cr);
                      cairo_pattern_destroy(p);
                    }});
  scenes.push_back({"radial gradient", 12, 4,
                    [](VRcontext* vg) {
                      vrBeginPath(vg);
                      vrRect(vg, 10, 10, 100, 80);
                      vrFillPaint(vg, vrRadialGradient(vg, 60, 50, 10, 40, vrRGBA(255, 255, 0, 255), vrRGBA(0, 120, 0, 255)));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      cairo_pattern_t* p = cairo_pattern_create_radial(60, 50, 10, 60, 50, 40);
                      cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 0);
                      cairo_pattern_add_color_stop_rgb(p, 1, 0, 120 / 255.0, 0);
                      cairo_rectangle(cr, 10, 10, 100, 80);
                      cairo_set_source(cr, p);
                      cairo_fill(cr);
                      cairo_pattern_destroy(p);
                    }});
  scenes.push_back({"scissor", 12, 4,
                    [](VRcontext* vg) {
                      vrScissor(vg, 20.5f, 15.25f, 50, 40);
                      vrBeginPath(vg);
                      vrRect(vg, 0, 0, 120, 100);
                      vrFillColor(vg, vrRGBA(10, 200, 220, 255));
                      vrFill(vg);
                    },
                    [](cairo_t* cr) {
                      cairo_rectangle(cr, 20.5, 15.25, 50, 40);
                      cairo_clip(cr);
                      cairo_set_source_rgb(cr, 10 / 255.0, 200 / 255.0, 220 / 255.0);
                      cairo_paint(cr);
                    }});
  return scenes;
}

} // namespace

TEST(MetalBackend, PrimitivesMatchCairo)
{
  constexpr int W = 120, H = 100;
  const std::vector<Scene> scenes = Scenes();
  // At scale 2 each logical unit is two pixels; corners and rims count four times as many pixels.
  for (int scale : {1, 2})
  {
    Backend backend(W, H, (float)scale);
    ASSERT_NE(backend.vg, nullptr);
    const int w = W * scale, h = H * scale;
    for (size_t k = 0; k < scenes.size(); ++k)
    {
      const Scene& scene = scenes[k];
      const auto ours = backend.Frame(scene.ours);
      ASSERT_EQ(ours.size(), size_t(w * h * 4)) << scene.name;
      cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
      cairo_t* cr = cairo_create(surface);
      cairo_scale(cr, scale, scale);
      scene.cairo(cr);
      cairo_surface_flush(surface);
      const Stats s = Compare(ours, cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface), w,
                              h, scene.edgeTolerance);
      const bool ok = s.interiorMax <= 2 && s.edgeMax <= 128 && s.overEdge <= scene.corners * scale * scale &&
                      s.mean < 1.0;
      // METAL_BACKEND_SAVE=1 keeps every scene's pair of images for a look.
      if (!ok || std::getenv("METAL_BACKEND_SAVE"))
      {
        const std::string base = ::testing::TempDir() + "metal_backend_" + std::to_string(scale) + "x_" + std::to_string(k);
        cairo_surface_write_to_png(surface, (base + "_cairo.png").c_str());
        backend.layer->writeLastFrameToPNG((base + "_ours.png").c_str());
        if (!ok)
          ADD_FAILURE() << scene.name << " at scale " << scale << ": interior " << s.interiorMax << " edge "
                        << s.edgeMax << " beyond " << s.overEdge << " mean " << s.mean << " (images under " << base
                        << ")";
      }
      cairo_destroy(cr);
      cairo_surface_destroy(surface);
    }
  }
}

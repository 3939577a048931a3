// The editor-like frame of the renderer's benchmark drawn end to end: renderer, Metal back end and the stand-in
// GPU's rasteriser into a layer, waiting for each frame; and the same scene drawn by Cairo into an image surface.
// Prints both per-frame times and their ratio.

#include "platform/mac/MVRcontext.h"
#include "renderer/VectorRenderer.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

constexpr int kWidth = 424, kHeight = 610;
constexpr const char* kFontFile = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
constexpr double kPi = 3.14159265358979;

const char* const kLabels[] = {"Gain", "Target", "Mode", "Link", "Pre", "Post", "Delta", "Auto", "-14.0 LUFS", "0.0 dB"};

bool g_textInScene = true;

std::map<std::pair<bool, int>, double>& frameTimes()
{
  static std::map<std::pair<bool, int>, double> times;
  return times;
}

std::vector<unsigned char> bitmapPixels(int w, int h)
{
  std::vector<unsigned char> px(static_cast<size_t>(w) * h * 4);
  for (int i = 0; i < w * h; i++)
  {
    px[i * 4 + 0] = static_cast<unsigned char>(i * 7);
    px[i * 4 + 1] = static_cast<unsigned char>(i * 3);
    px[i * 4 + 2] = 200;
    px[i * 4 + 3] = 255;
  }
  return px;
}

// One frame of the scene through the renderer.
void drawRenderer(VRcontext* vg, float scale, const std::vector<int>& images, bool text)
{
  mvrClearWithColor(vg, vrRGBA(0, 0, 0, 255));
  vrBeginFrame(vg, kWidth, kHeight, scale);
  for (int i = 0; i < 40; i++)
  {
    const float x = 10.0f + (i % 8) * 50, y = 10.0f + (i / 8) * 50;
    vrBeginPath(vg);
    vrRect(vg, x, y, 40, 40);
    vrFillPaint(vg, vrImagePattern(vg, x, y, 40, 40, 0, images[i % images.size()], 1));
    vrFill(vg);
  }
  for (int i = 0; i < 30; i++)
  {
    const float x = 10.0f + (i % 6) * 68, y = 270.0f + (i / 6) * 40;
    vrBeginPath(vg);
    if (i % 2)
      vrRoundedRect(vg, x, y, 60, 30, 6);
    else
      vrArc(vg, x + 30, y + 15, 14, 0.75f * kPi, 2.25f * kPi, VR_CW);
    vrFillColor(vg, vrRGBA(40, 60, 90, 255));
    vrFill(vg);
    vrStrokeColor(vg, vrRGBA(220, 220, 230, 255));
    vrStrokeWidth(vg, 2);
    vrStroke(vg);
  }
  if (text)
  {
    vrFontFaceId(vg, 0);
    vrFontSize(vg, 13);
    vrFillColor(vg, vrRGBA(240, 240, 240, 255));
    for (int i = 0; i < 60; i++) vrText(vg, 10.0f + (i % 4) * 100, 480.0f + (i / 4) * 8, kLabels[i % 10], nullptr);
  }
  vrEndFrame(vg);
}

void drawCairo(cairo_t* cr, cairo_surface_t* bitmap, bool text)
{
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  for (int i = 0; i < 40; i++)
  {
    const double x = 10.0 + (i % 8) * 50, y = 10.0 + (i / 8) * 50;
    cairo_set_source_surface(cr, bitmap, x, y);
    cairo_rectangle(cr, x, y, 40, 40);
    cairo_fill(cr);
  }
  cairo_set_line_width(cr, 2);
  for (int i = 0; i < 30; i++)
  {
    const double x = 10.0 + (i % 6) * 68, y = 270.0 + (i / 6) * 40;
    cairo_new_path(cr);
    if (i % 2)
    {
      const double r = 6, w = 60, h = 30;
      cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
      cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
      cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
      cairo_arc(cr, x + r, y + r, r, kPi, 1.5 * kPi);
      cairo_close_path(cr);
    }
    else
    {
      cairo_arc(cr, x + 30, y + 15, 14, 0.75 * kPi, 2.25 * kPi);
    }
    cairo_set_source_rgb(cr, 40 / 255.0, 60 / 255.0, 90 / 255.0);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 220 / 255.0, 220 / 255.0, 230 / 255.0);
    cairo_stroke(cr);
  }
  if (text)
  {
    cairo_select_font_face(cr, "Roboto", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 13);
    cairo_set_source_rgb(cr, 240 / 255.0, 240 / 255.0, 240 / 255.0);
    for (int i = 0; i < 60; i++)
    {
      cairo_move_to(cr, 10.0 + (i % 4) * 100, 480.0 + (i / 4) * 8);
      cairo_show_text(cr, kLabels[i % 10]);
    }
  }
  cairo_restore(cr);
  cairo_surface_flush(cairo_get_target(cr));
}

// Waits for every committed frame (the queue runs in order).
void finish(VRcontext* vg)
{
  NSAutoreleasePool pool;
  MTLCommandBuffer* cb = mvrCommandQueue(vg)->commandBuffer();
  cb->commit();
  cb->waitUntilCompleted();
}

void BM_MetalFrame(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDrawableSize(CGSizeMake(kWidth * scale, kHeight * scale));
  VRcontext* vg = vrCreateMTL(layer, 0x2001);
  if (!vg)
  {
    state.SkipWithError("context creation failed");
    layer->release();
    return;
  }
  const std::vector<unsigned char> px = bitmapPixels(40 * static_cast<int>(scale), 40 * static_cast<int>(scale));
  std::vector<int> images;
  for (int i = 0; i < 8; i++)
    images.push_back(vrCreateImageRGBA(vg, 40 * static_cast<int>(scale), 40 * static_cast<int>(scale), 0, px.data()));
  const bool text = vrCreateFont(vg, "Roboto-Regular", kFontFile) >= 0;
  g_textInScene = text;
  if (!text) state.SetLabel("font not loaded: text left out of both scenes");

  drawRenderer(vg, scale, images, text);
  finish(vg);
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state)
  {
    drawRenderer(vg, scale, images, text);
    finish(vg);
  }
  const auto t1 = std::chrono::steady_clock::now();
  frameTimes()[{false, static_cast<int>(scale)}] =
      std::chrono::duration<double, std::micro>(t1 - t0).count() / static_cast<double>(state.iterations());
  if (const char* path = std::getenv("METAL_BENCH_PNG")) layer->writeLastFrameToPNG(path);
  vrDeleteMTL(vg);
  layer->release();
}

void BM_CairoFrame(benchmark::State& state)
{
  const int scale = static_cast<int>(state.range(0));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth * scale, kHeight * scale);
  cairo_surface_t* bitmap = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40 * scale, 40 * scale);
  {
    const std::vector<unsigned char> px = bitmapPixels(40 * scale, 40 * scale);
    unsigned char* d = cairo_image_surface_get_data(bitmap);
    std::copy(px.begin(), px.end(), d);
    cairo_surface_mark_dirty(bitmap);
  }
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  cairo_surface_set_device_scale(bitmap, scale, scale);
  drawCairo(cr, bitmap, g_textInScene);
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) drawCairo(cr, bitmap, g_textInScene);
  const auto t1 = std::chrono::steady_clock::now();
  frameTimes()[{true, scale}] =
      std::chrono::duration<double, std::micro>(t1 - t0).count() / static_cast<double>(state.iterations());
  cairo_destroy(cr);
  cairo_surface_destroy(bitmap);
  cairo_surface_destroy(surface);
}

BENCHMARK(BM_MetalFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CairoFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int scale : {1, 2})
  {
    const auto& t = frameTimes();
    const auto m = t.find({false, scale}), c = t.find({true, scale});
    if (m == t.end() || c == t.end()) continue;
    std::printf("scale %d: metal %.2f ms/frame (renderer, back end, rasteriser), cairo %.2f ms/frame, "
                "metal / cairo = %.2f\n",
                scale, m->second / 1000.0, c->second / 1000.0, m->second / c->second);
  }
  return 0;
}

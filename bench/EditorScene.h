// The editor-like scene the drawing benchmarks share (40 bitmaps, 30 filled and stroked rounded rectangles and
// arcs, 60 short text runs, 424 × 610): drawn through the renderer or by Cairo into an image surface, with the
// per-frame times each benchmark records for its closing ratio.
#pragma once

#include "renderer/VectorRenderer.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <vector>

namespace editorscene {

constexpr int kWidth = 424, kHeight = 610;
inline constexpr const char* kFontFile = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
constexpr double kPi = 3.14159265358979;

inline const char* const kLabels[] = {"Gain", "Target", "Mode", "Link", "Pre", "Post", "Delta", "Auto", "-14.0 LUFS", "0.0 dB"};

// Text is in both scenes only when the renderer's font store can load the font (the renderer runs first).
inline bool g_textInScene = true;

inline std::map<std::pair<bool, int>, double>& frameTimes()
{
  static std::map<std::pair<bool, int>, double> times;
  return times;
}

inline std::vector<unsigned char> bitmapPixels(int w, int h)
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

// The scene's bitmaps (at scale) and font in the renderer; whether text is in both scenes.
inline bool loadScene(VRcontext* vg, float scale, std::vector<int>& images, benchmark::State& state)
{
  const int side = 40 * static_cast<int>(scale);
  const std::vector<unsigned char> px = bitmapPixels(side, side);
  for (int i = 0; i < 8; i++) images.push_back(vrCreateImageRGBA(vg, side, side, 0, px.data()));
  g_textInScene = vrCreateFont(vg, "Roboto-Regular", kFontFile) >= 0;
  if (!g_textInScene) state.SetLabel("font not loaded: text left out of both scenes");
  return g_textInScene;
}

// The scene's paths and text through the renderer, inside a frame the caller opens and closes.
inline void drawScene(VRcontext* vg, const std::vector<int>& images, bool text)
{
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
}


inline void drawCairo(cairo_t* cr, cairo_surface_t* bitmap, bool text)
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

inline void BM_CairoFrame(benchmark::State& state)
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

} // namespace editorscene

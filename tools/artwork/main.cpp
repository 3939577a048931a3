// Build-time generator of the editor's bitmaps.
//
//   zaniq_artwork <out dir> <condensed bold .ttf> <regular .ttf> <medium .ttf> <bold .ttf> <black .ttf>
//
// Writes every bitmap of the artwork table into <out dir> at 1x and as "@2x" (each drawn at its own resolution,
// frames stacked vertically). Exits non-zero when a font cannot be loaded or a file cannot be written, so the
// build stops instead of shipping an editor with missing pictures.
#include <cairo.h>

#include <cstdio>
#include <string>

#include "ArtworkTable.h"
#include "Canvas.h"
#include "Painters.h"

namespace zaniq::artwork
{

Painter FindPainter(std::string_view name)
{
  struct Entry
  {
    std::string_view name;
    Painter painter;
  };
  // Buttons whose only art is their caption are drawn in place (frame 1: pressed).
  static constexpr Entry kPainters[] = {
      {"button_resize.png", PaintResizer},
      {"background1.png", PaintSenderBackground},
      {"background2.png", PaintReceiverBackground},
      {"bg_easy_post.png", PaintSimplePost},
      {"bg_easy_pre.png", PaintSimplePre},
      {"help_page.png", PaintHelpPage},
      {"transmitter_led.png", PaintLed},
      {"receiver_led.png", PaintLed},
      {"selector_plugin_mode.png", PaintPluginModeSelector},
      {"simple_parameter1.png", PaintValueField},
      {"autolink_button.png",
       [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "AUTO", f == 1, 8.0); }},
      {"simple_parameter.png", PaintValueField},
      {"pdc.png",
       [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "PDC", f == 1, 8.5, pal::kWarm); }},
      {"simple_parameter2.png", PaintValueField},
      {"selector_rms_mode.png", PaintMeterModeSelector},
      {"overenable.png", PaintOverEnable},
      {"overled.png", PaintOverLed},
      {"simple_parameter3.png", PaintValueField},
      {"drive_source_gain.png", PaintDriveKnob},
      {"ab.png", PaintPrePost},
      {"ab1.png", PaintPrePostLarge},
      {"m_manual.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "MANUAL", f == 1, 8.5); }},
      {"m_auto.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "AUTO", f == 1, 8.5); }},
      {"m_gstg.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "G-STAGE", f == 1, 8.5); }},
      {"m_inv.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "INVERSE", f == 1, 8.5); }},
      {"deltamonitor.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "DELTA", f == 1); }},
      {"setup_button.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "CONFIG", f == 1); }},
      {"guimode.png", PaintGuiMode},
      {"ss1.png", PaintSnapshot1},
      {"ss2.png", PaintSnapshot2},
      {"ss3.png", PaintSnapshot3},
      {"ss4.png", PaintSnapshot4},
      {"clr_button.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "CLEAR", f == 1); }},
      {"sto_button.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "STORE", f == 1); }},
      {"active.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "ACTIVE", f == 1); }},
      {"reset_button.png", [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "RESET", f == 1); }},
      {"balance_button.png",
       [](cairo_t* cr, int f, double w, double h) { CaptionButton(cr, w, h, "MATCH", f == 1, 10.0); }},
      {"ovl_threshold.png", PaintConfigPage},
      {"pluginmenu.png", PaintPluginMenu},
      {"iconupdateavailable.png", PaintUpdateIcon},
  };
  for (const Entry& e : kPainters)
    if (e.name == name) return e.painter;
  return nullptr;
}

namespace
{

bool WriteBitmap(const ArtworkEntry& entry, Painter painter, int scale, const std::string& path)
{
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, entry.width * scale, entry.height * entry.frames * scale);
  cairo_t* cr = cairo_create(surface);
  for (int f = 0; f < entry.frames; ++f)
  {
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, 0, static_cast<double>(f) * entry.height);
    cairo_rectangle(cr, 0, 0, entry.width, entry.height);
    cairo_clip(cr);
    painter(cr, f, entry.width, entry.height);
    cairo_restore(cr);
  }
  const cairo_status_t drawn = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const cairo_status_t written =
      drawn == CAIRO_STATUS_SUCCESS ? cairo_surface_write_to_png(surface, path.c_str()) : drawn;
  cairo_surface_destroy(surface);
  if (written != CAIRO_STATUS_SUCCESS)
  {
    std::fprintf(stderr, "artwork: %s: %s\n", path.c_str(), cairo_status_to_string(written));
    return false;
  }
  return true;
}

} // namespace

} // namespace zaniq::artwork

int main(int argc, char** argv)
{
  using namespace zaniq::artwork;
  if (argc != 7)
  {
    std::fprintf(stderr, "usage: %s <out dir> <condensed bold.ttf> <regular.ttf> <medium.ttf> <bold.ttf> <black.ttf>\n",
                 argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  if (!LoadFaces(argv[2], argv[3], argv[4], argv[5], argv[6]))
  {
    ReleaseFaces();
    return 1;
  }
  int failures = 0;
  for (const ArtworkEntry& entry : kArtwork)
  {
    const Painter painter = FindPainter(entry.name);
    if (!painter)
    {
      std::fprintf(stderr, "artwork: no painter for %.*s\n", static_cast<int>(entry.name.size()), entry.name.data());
      ++failures;
      continue;
    }
    if (!WriteBitmap(entry, painter, 1, out + "/" + std::string(entry.name))) ++failures;
    if (!WriteBitmap(entry, painter, 2, out + "/" + HiResName(entry.name))) ++failures;
  }
  ReleaseFaces();
  return failures == 0 ? 0 : 1;
}

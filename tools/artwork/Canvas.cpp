#include "Canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cmath>
#include <cstdio>

namespace zaniq::artwork
{

namespace
{

FT_Library g_ft = nullptr;
std::array<FT_Face, 5> g_ft_faces{};
std::array<cairo_font_face_t*, 5> g_faces{};

void UseFace(cairo_t* cr, Face face, double size)
{
  cairo_set_font_face(cr, g_faces[static_cast<size_t>(face)]);
  cairo_set_font_size(cr, size);
  // Unhinted outlines: the 2x picture is the 1x one drawn finer, not re-fitted.
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, opts);
  cairo_font_options_destroy(opts);
}

double Advance(cairo_t* cr, std::string_view s, double tracking)
{
  if (tracking == 0.0)
  {
    std::string str(s);
    cairo_text_extents_t e;
    cairo_text_extents(cr, str.c_str(), &e);
    return e.x_advance;
  }
  double w = 0.0;
  for (char c : s)
  {
    char one[2] = {c, 0};
    cairo_text_extents_t e;
    cairo_text_extents(cr, one, &e);
    w += e.x_advance + tracking;
  }
  return s.empty() ? 0.0 : w - tracking;
}

} // namespace

bool LoadFaces(const std::string& condensed_bold, const std::string& regular, const std::string& medium,
               const std::string& bold, const std::string& black)
{
  if (FT_Init_FreeType(&g_ft) != 0)
  {
    std::fprintf(stderr, "artwork: FreeType did not start\n");
    return false;
  }
  const std::array<const std::string*, 5> files{&condensed_bold, &regular, &medium, &bold, &black};
  for (size_t i = 0; i < files.size(); ++i)
  {
    if (FT_New_Face(g_ft, files[i]->c_str(), 0, &g_ft_faces[i]) != 0)
    {
      std::fprintf(stderr, "artwork: cannot load font %s\n", files[i]->c_str());
      return false;
    }
    g_faces[i] = cairo_ft_font_face_create_for_ft_face(g_ft_faces[i], FT_LOAD_NO_HINTING);
    if (cairo_font_face_status(g_faces[i]) != CAIRO_STATUS_SUCCESS)
    {
      std::fprintf(stderr, "artwork: Cairo refused font %s\n", files[i]->c_str());
      return false;
    }
  }
  return true;
}

void ReleaseFaces()
{
  for (auto& f : g_faces)
  {
    if (f) cairo_font_face_destroy(f);
    f = nullptr;
  }
  // Cairo may keep a face alive in its caches; reset them before FreeType lets go of the outlines.
  cairo_debug_reset_static_data();
  for (auto& f : g_ft_faces)
  {
    if (f) FT_Done_Face(f);
    f = nullptr;
  }
  if (g_ft) FT_Done_FreeType(g_ft);
  g_ft = nullptr;
}

void SetColour(cairo_t* cr, Rgb c, double alpha)
{
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
  r = std::min(r, std::min(w, h) / 2.0);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

double TextWidth(cairo_t* cr, Face face, double size, std::string_view s, double tracking)
{
  cairo_save(cr);
  UseFace(cr, face, size);
  const double w = Advance(cr, s, tracking);
  cairo_restore(cr);
  return w;
}

double Text(cairo_t* cr, Face face, double size, std::string_view s, double x, double y_mid, Align align, Rgb colour,
            double tracking, double alpha)
{
  cairo_save(cr);
  UseFace(cr, face, size);
  cairo_text_extents_t cap;
  cairo_text_extents(cr, "H", &cap);
  const double w = Advance(cr, s, tracking);
  double left = x;
  if (align == Align::kCentre) left = x - w / 2.0;
  if (align == Align::kRight) left = x - w;
  const double baseline = y_mid + cap.height / 2.0;
  SetColour(cr, colour, alpha);
  if (tracking == 0.0)
  {
    std::string str(s);
    cairo_move_to(cr, left, baseline);
    cairo_show_text(cr, str.c_str());
  }
  else
  {
    double pen = left;
    for (char c : s)
    {
      char one[2] = {c, 0};
      cairo_move_to(cr, pen, baseline);
      cairo_show_text(cr, one);
      cairo_text_extents_t e;
      cairo_text_extents(cr, one, &e);
      pen += e.x_advance + tracking;
    }
  }
  cairo_restore(cr);
  return w;
}

double Paragraph(cairo_t* cr, Face face, double size, std::string_view s, double x, double y, double width,
                 double line_height, Rgb colour)
{
  cairo_save(cr);
  UseFace(cr, face, size);
  SetColour(cr, colour);
  std::string line;
  auto flush = [&]
  {
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, line.c_str());
    y += line_height;
    line.clear();
  };
  size_t pos = 0;
  while (pos < s.size())
  {
    size_t end = s.find(' ', pos);
    if (end == std::string_view::npos) end = s.size();
    const std::string word(s.substr(pos, end - pos));
    const std::string candidate = line.empty() ? word : line + " " + word;
    cairo_text_extents_t e;
    cairo_text_extents(cr, candidate.c_str(), &e);
    if (e.x_advance > width && !line.empty())
    {
      flush();
      line = word;
    }
    else
    {
      line = candidate;
    }
    pos = end + 1;
  }
  if (!line.empty()) flush();
  cairo_restore(cr);
  return y;
}

void Well(cairo_t* cr, double x, double y, double w, double h, double r)
{
  RoundRect(cr, x + 0.5, y + 0.5, w - 1.0, h - 1.0, r);
  SetColour(cr, pal::kWell);
  cairo_fill_preserve(cr);
  SetColour(cr, pal::kWellEdge);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  // A faint inner shadow along the top edge reads as "recessed".
  cairo_save(cr);
  RoundRect(cr, x + 1.0, y + 1.0, w - 2.0, h - 2.0, r - 0.5);
  cairo_clip(cr);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + 5);
  cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0.45);
  cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0.0);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);
  cairo_restore(cr);
}

void Panel(cairo_t* cr, double x, double y, double w, double h)
{
  RoundRect(cr, x + 0.5, y + 0.5, w - 1.0, h - 1.0, 7.0);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(p, 0, pal::kPanel.r + 0.012, pal::kPanel.g + 0.012, pal::kPanel.b + 0.014);
  cairo_pattern_add_color_stop_rgb(p, 1, pal::kPanel.r - 0.006, pal::kPanel.g - 0.006, pal::kPanel.b - 0.006);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetColour(cr, pal::kPanelEdge);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
}

void ButtonFace(cairo_t* cr, double x, double y, double w, double h, bool on, Rgb accent)
{
  const double r = std::min(5.0, h / 2.0);
  RoundRect(cr, x + 0.5, y + 0.5, w - 1.0, h - 1.0, r);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
  if (on)
  {
    cairo_pattern_add_color_stop_rgb(p, 0, accent.r * 0.42 + 0.05, accent.g * 0.42 + 0.05, accent.b * 0.42 + 0.05);
    cairo_pattern_add_color_stop_rgb(p, 1, accent.r * 0.30 + 0.04, accent.g * 0.30 + 0.04, accent.b * 0.30 + 0.04);
  }
  else
  {
    cairo_pattern_add_color_stop_rgb(p, 0, pal::kButton.r + 0.02, pal::kButton.g + 0.02, pal::kButton.b + 0.022);
    cairo_pattern_add_color_stop_rgb(p, 1, pal::kButton.r - 0.01, pal::kButton.g - 0.01, pal::kButton.b - 0.01);
  }
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetColour(cr, on ? accent : pal::kButtonEdge, on ? 0.9 : 1.0);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
}

void CaptionButton(cairo_t* cr, double w, double h, std::string_view caption, bool on, double size, Rgb accent)
{
  ButtonFace(cr, 0, 0, w, h, on, accent);
  const Rgb hi{std::min(1.0, accent.r * 0.5 + 0.5), std::min(1.0, accent.g * 0.5 + 0.5),
               std::min(1.0, accent.b * 0.5 + 0.5)};
  Text(cr, Face::kCaption, size, caption, w / 2.0, h / 2.0, Align::kCentre, on ? hi : pal::kLabel, 0.4);
}

void Caret(cairo_t* cr, double x, double y, double size, Rgb colour)
{
  cairo_move_to(cr, x - size, y - size * 0.5);
  cairo_line_to(cr, x + size, y - size * 0.5);
  cairo_line_to(cr, x, y + size * 0.6);
  cairo_close_path(cr);
  SetColour(cr, colour);
  cairo_fill(cr);
}

} // namespace zaniq::artwork

// Painters of the small controls: buttons, switches, LEDs, selectors, the knob and the header icons.
// Frame 0 is "off" (or the first value), frame 1 "on"; the snapshot buttons' third frame is an overlay drawn
// over the first or second one, so it leaves the middle clear.
#include <cmath>

#include "Canvas.h"
#include "Painters.h"

namespace zaniq::artwork
{

namespace
{

Rgb Mix(Rgb a, Rgb b, double t)
{
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void Disc(cairo_t* cr, double x, double y, double r)
{
  cairo_new_sub_path(cr);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
}

void LedAt(cairo_t* cr, double cx, double cy, double r, bool on, Rgb colour)
{
  if (on)
  {
    cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, r * 0.6, cx, cy, r * 1.35);
    cairo_pattern_add_color_stop_rgba(glow, 0, colour.r, colour.g, colour.b, 0.55);
    cairo_pattern_add_color_stop_rgba(glow, 1, colour.r, colour.g, colour.b, 0.0);
    cairo_set_source(cr, glow);
    Disc(cr, cx, cy, r * 1.35);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    cairo_pattern_t* body = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, 0, cx, cy, r * 0.8);
    const Rgb hot = Mix(colour, Rgb{1, 1, 1}, 0.6);
    cairo_pattern_add_color_stop_rgb(body, 0, hot.r, hot.g, hot.b);
    cairo_pattern_add_color_stop_rgb(body, 1, colour.r, colour.g, colour.b);
    cairo_set_source(cr, body);
    Disc(cr, cx, cy, r * 0.8);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
  }
  else
  {
    Disc(cr, cx, cy, r * 0.8);
    SetColour(cr, Hex(0x0e1012));
    cairo_fill_preserve(cr);
    SetColour(cr, Mix(colour, pal::kPanel, 0.78));
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
  }
}

void SelectorText(cairo_t* cr, double w, double h, const char* text, double size)
{
  Well(cr, 0, 0, w, h);
  Text(cr, Face::kCaption, size, text, (w - 9.0) / 2.0 + 1.0, h / 2.0, Align::kCentre, pal::kText, 0.2);
  Caret(cr, w - 7.5, h / 2.0, 2.6, pal::kLabel);
}

void SnapshotButton(cairo_t* cr, int frame, double w, double h, const char* number)
{
  if (frame == 2)
  {
    // The selection: an accent ring and a bar, drawn over the empty or the stored face.
    RoundRect(cr, 1.0, 1.0, w - 2.0, h - 2.0, 5.0);
    SetColour(cr, pal::kAccent, 0.12);
    cairo_fill_preserve(cr);
    SetColour(cr, pal::kAccentHi);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    RoundRect(cr, w / 2.0 - 7.0, h - 5.0, 14.0, 2.0, 1.0);
    SetColour(cr, pal::kAccentHi);
    cairo_fill(cr);
    return;
  }
  const bool stored = frame == 1;
  ButtonFace(cr, 0, 0, w, h, false);
  Text(cr, Face::kBold, 12.0, number, w / 2.0, h / 2.0 - 1.0, Align::kCentre, stored ? pal::kText : pal::kDim);
  // A stored snapshot carries a filled dot; an empty one a hollow ring.
  Disc(cr, w - 7.0, 7.0, 2.2);
  if (stored)
  {
    SetColour(cr, pal::kAccent);
    cairo_fill(cr);
  }
  else
  {
    SetColour(cr, pal::kDim);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
  }
}

} // namespace

void PaintResizer(cairo_t* cr, int frame, double w, double h)
{
  const Rgb c = frame == 1 ? pal::kAccentHi : pal::kDim;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 1.3);
  SetColour(cr, c);
  for (int i = 0; i < 3; ++i)
  {
    const double d = 4.0 + i * 4.0;
    cairo_move_to(cr, w - 2.5, h - 2.5 - d);
    cairo_line_to(cr, w - 2.5 - d, h - 2.5);
  }
  cairo_stroke(cr);
}

void PaintLed(cairo_t* cr, int frame, double w, double h)
{
  LedAt(cr, w / 2.0, h / 2.0, w / 2.0 - 0.5, frame == 1, Hex(0x4fd88a));
}

void PaintOverLed(cairo_t* cr, int frame, double w, double h)
{
  LedAt(cr, w / 2.0, h / 2.0, w / 2.0 - 0.3, frame == 1, pal::kAlarm);
}

void PaintPluginModeSelector(cairo_t* cr, int frame, double w, double h)
{
  SelectorText(cr, w, h, frame == 0 ? "SENDER" : "RECEIVER", 10.0);
}

void PaintMeterModeSelector(cairo_t* cr, int frame, double w, double h)
{
  static const char* const kModes[6] = {"RMS SUM", "RMS AVG", "EBU ML", "EBU SL", "VU", "PEAK"};
  SelectorText(cr, w, h, kModes[frame % 6], 9.0);
}

void PaintValueField(cairo_t* cr, int, double w, double h)
{
  Well(cr, 0, 0, w, h);
}

void PaintOverEnable(cairo_t* cr, int frame, double w, double h)
{
  const bool on = frame == 1;
  ButtonFace(cr, 0, 0, w, h, on);
  Text(cr, Face::kCaption, 9.0, "OVER", w / 2.0, 12.5, Align::kCentre, on ? pal::kAccentHi : pal::kLabel, 0.4);
  RoundRect(cr, w / 2.0 - 9.0, 23.0, 18.0, 4.0, 2.0);
  SetColour(cr, on ? pal::kAccentHi : Hex(0x15171a));
  cairo_fill(cr);
}

void PaintDriveKnob(cairo_t* cr, int frame, double w, double h)
{
  const double cx = w / 2.0, cy = h / 2.0; // centred: the control draws its value text in the middle
  const double start = 0.75 * M_PI, sweep = 1.5 * M_PI, top = 1.5 * M_PI;
  const double v = frame / 50.0;
  const double a = start + sweep * v;
  const double track = 46.0;

  // Scale marks at -24, -12, 0, +12, +24 dB.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i <= 4; ++i)
  {
    const double t = start + sweep * i / 4.0;
    cairo_move_to(cr, cx + std::cos(t) * 52.0, cy + std::sin(t) * 52.0);
    cairo_line_to(cr, cx + std::cos(t) * 55.0, cy + std::sin(t) * 55.0);
  }
  SetColour(cr, pal::kDim);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  Text(cr, Face::kCaption, 7.5, "-24", cx + std::cos(start) * 44.0 - 2.0, h - 6.0, Align::kCentre, pal::kDim);
  Text(cr, Face::kCaption, 7.5, "+24", cx + std::cos(start + sweep) * 44.0 + 2.0, h - 6.0, Align::kCentre, pal::kDim);

  // Track and the value arc, drawn from 0 dB at the top so boost and cut read apart.
  cairo_set_line_width(cr, 6.0);
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, track, start, start + sweep);
  SetColour(cr, Hex(0x101215));
  cairo_stroke(cr);
  if (std::fabs(a - top) > 1e-6)
  {
    cairo_new_sub_path(cr);
    if (a > top)
      cairo_arc(cr, cx, cy, track, top, a);
    else
      cairo_arc(cr, cx, cy, track, a, top);
    SetColour(cr, pal::kAccent);
    cairo_stroke(cr);
  }

  // The body: a calm disc, darker in the middle where the value text sits.
  cairo_pattern_t* body = cairo_pattern_create_linear(0, cy - 38, 0, cy + 38);
  cairo_pattern_add_color_stop_rgb(body, 0, 0.20, 0.215, 0.24);
  cairo_pattern_add_color_stop_rgb(body, 1, 0.12, 0.13, 0.145);
  Disc(cr, cx, cy, 38.0);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  SetColour(cr, Hex(0x3a3f47));
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  Disc(cr, cx, cy, 31.0);
  SetColour(cr, Hex(0x16181b));
  cairo_fill(cr);

  // Pointer on the rim of the body, and the end of the arc.
  cairo_set_line_width(cr, 2.4);
  cairo_move_to(cr, cx + std::cos(a) * 32.5, cy + std::sin(a) * 32.5);
  cairo_line_to(cr, cx + std::cos(a) * 37.0, cy + std::sin(a) * 37.0);
  SetColour(cr, pal::kAccentHi);
  cairo_stroke(cr);
  Disc(cr, cx + std::cos(a) * track, cy + std::sin(a) * track, 3.6);
  SetColour(cr, Hex(0xe8ecef));
  cairo_fill(cr);
}

void PaintPrePost(cairo_t* cr, int frame, double w, double h)
{
  Well(cr, 0, 0, w, h, 6.0);
  const double half = (w - 6.0) / 2.0;
  const bool post = frame == 1;
  ButtonFace(cr, post ? 3.0 + half : 3.0, 3.0, half, h - 6.0, true);
  Text(cr, Face::kCaption, 10.0, "PRE-FX", 3.0 + half / 2.0, h / 2.0, Align::kCentre, post ? pal::kDim : pal::kAccentHi,
       0.5);
  Text(cr, Face::kCaption, 10.0, "POST-FX", 3.0 + half * 1.5, h / 2.0, Align::kCentre,
       post ? pal::kAccentHi : pal::kDim, 0.5);
}

void PaintPrePostLarge(cairo_t* cr, int frame, double w, double h)
{
  Well(cr, 0, 0, w, h, 8.0);
  const bool post = frame == 1;
  Text(cr, Face::kCaption, 8.5, "LISTEN TO", w / 2.0, 13.0, Align::kCentre, pal::kLabel, 1.0);
  const double half = (w - 12.0) / 2.0;
  const double top = 24.0, seg_h = h - top - 6.0;
  for (int side = 0; side < 2; ++side)
  {
    const bool on = (side == 1) == post;
    const double x = 6.0 + side * half;
    ButtonFace(cr, x + (side ? 1.0 : 0.0), top, half - 1.0, seg_h, on);
    const Rgb main = on ? pal::kAccentHi : pal::kDim;
    Text(cr, Face::kCaption, 11.0, side ? "POST-FX" : "PRE-FX", x + half / 2.0, top + seg_h / 2.0 - 6.0, Align::kCentre,
         main, 0.5);
    Text(cr, Face::kText, 8.0, side ? "after effects" : "before effects", x + half / 2.0, top + seg_h / 2.0 + 8.0,
         Align::kCentre, on ? pal::kLabel : pal::kDim);
  }
}

void PaintGuiMode(cairo_t* cr, int frame, double w, double h)
{
  // Frame 0 is the expert view (three faders), frame 1 the simple view (one).
  const bool simple = frame == 1;
  ButtonFace(cr, 0, 0, w, h, false);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const int lines = simple ? 1 : 3;
  for (int i = 0; i < lines; ++i)
  {
    const double y = simple ? h / 2.0 : 8.5 + i * 5.5;
    cairo_set_line_width(cr, 1.4);
    SetColour(cr, pal::kDim);
    cairo_move_to(cr, 7.0, y);
    cairo_line_to(cr, w - 7.0, y);
    cairo_stroke(cr);
    const double knob = simple ? w / 2.0 : 10.0 + ((i * 7) % 11);
    Disc(cr, knob, y, simple ? 3.2 : 2.3);
    SetColour(cr, pal::kAccentHi);
    cairo_fill(cr);
  }
}

void PaintSnapshot1(cairo_t* cr, int frame, double w, double h)
{
  SnapshotButton(cr, frame, w, h, "1");
}
void PaintSnapshot2(cairo_t* cr, int frame, double w, double h)
{
  SnapshotButton(cr, frame, w, h, "2");
}
void PaintSnapshot3(cairo_t* cr, int frame, double w, double h)
{
  SnapshotButton(cr, frame, w, h, "3");
}
void PaintSnapshot4(cairo_t* cr, int frame, double w, double h)
{
  SnapshotButton(cr, frame, w, h, "4");
}

void PaintPluginMenu(cairo_t* cr, int frame, double w, double h)
{
  const bool hover = frame == 1;
  RoundRect(cr, 0.5, 0.5, w - 1.0, h - 1.0, 5.0);
  SetColour(cr, hover ? Hex(0x2c3138) : Hex(0x1e2125));
  cairo_fill_preserve(cr);
  SetColour(cr, hover ? pal::kAccent : pal::kButtonEdge);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 1.6);
  SetColour(cr, hover ? pal::kAccentHi : pal::kLabel);
  for (int i = -1; i <= 1; ++i)
  {
    cairo_move_to(cr, 6.5, h / 2.0 + i * 4.5);
    cairo_line_to(cr, w - 6.5, h / 2.0 + i * 4.5);
  }
  cairo_stroke(cr);
}

void PaintUpdateIcon(cairo_t* cr, int frame, double w, double h)
{
  // Frame 0: nothing new (a quiet outline, still a click target); frame 1: an update is available.
  const bool available = frame == 1;
  const double cx = w / 2.0, cy = h / 2.0, r = w / 2.0 - 1.0;
  Disc(cr, cx, cy, r);
  if (available)
  {
    SetColour(cr, pal::kWarm);
    cairo_fill(cr);
  }
  else
  {
    SetColour(cr, pal::kDim);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
  }
  const Rgb ink = available ? Hex(0x1a1c20) : pal::kDim;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, 1.6);
  SetColour(cr, ink);
  cairo_move_to(cr, cx, cy - 3.8);
  cairo_line_to(cr, cx, cy + 3.2);
  cairo_move_to(cr, cx - 3.0, cy + 0.4);
  cairo_line_to(cr, cx, cy + 3.4);
  cairo_line_to(cr, cx + 3.0, cy + 0.4);
  cairo_stroke(cr);
}

} // namespace zaniq::artwork

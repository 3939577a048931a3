// Painters of the large bitmaps: the Sender and Receiver backgrounds, the simple-view backgrounds, the help page
// and the config page. They draw the frames and captions around the places where the editor puts its controls;
// all coordinates below are editor coordinates (424 × 610 points).
#include <cmath>

#include "Canvas.h"
#include "Painters.h"

namespace zaniq::artwork
{

namespace
{

constexpr double kW = 424.0;
constexpr double kH = 610.0;

void Caption(cairo_t* cr, const char* s, double x, double y_mid, Align align = Align::kCentre, Rgb c = pal::kLabel)
{
  Text(cr, Face::kCaption, 8.5, s, x, y_mid, align, c, 0.9);
}

void SectionTitle(cairo_t* cr, const char* s, double x, double y_mid)
{
  Text(cr, Face::kCaption, 11.0, s, x, y_mid, Align::kLeft, pal::kAccent, 1.2);
}

// A read-out's box around its text rectangle (the text is right-aligned inside, so the box leaves room left).
void ReadoutBox(cairo_t* cr, double l, double t, double r, double b, const char* caption)
{
  Well(cr, l - 13.0, t - 2.0, (r - l) + 19.0, (b - t) + 4.0, 5.0);
  if (caption) Caption(cr, caption, (l - 13.0 + r + 6.0) / 2.0, t - 9.0);
}

void Backdrop(cairo_t* cr)
{
  SetColour(cr, pal::kBase);
  cairo_paint(cr);
  // A faint vignette keeps the large surface from looking flat.
  cairo_pattern_t* p = cairo_pattern_create_radial(kW / 2, kH / 2, 60, kW / 2, kH / 2, 420);
  cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 0.02);
  cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0.18);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);
}

void Header(cairo_t* cr, const char* role)
{
  cairo_rectangle(cr, 0, 0, kW, 36);
  SetColour(cr, pal::kHeader);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 36, kW, 1);
  SetColour(cr, Hex(0x2a2e34));
  cairo_fill(cr);
  Text(cr, Face::kCaption, 10.0, role, 34.0, 18.0, Align::kLeft, pal::kLabel, 1.6);
  // The word mark sits in the clickable logo area (269..389 × 6..30).
  const double mid = 329.0;
  Text(cr, Face::kBlack, 16.0, "ZANIQ", mid, 14.0, Align::kCentre, Hex(0xe6e9ec), 3.0);
  Text(cr, Face::kCaption, 6.5, "LOUDNESS MATCHING", mid, 26.5, Align::kCentre, pal::kAccent, 1.3);
  // The strip under the header holds the top-row controls.
  cairo_rectangle(cr, 0, 37, kW, 61);
  SetColour(cr, Hex(0x1d2024));
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 98, kW, 1);
  SetColour(cr, Hex(0x2a2e34));
  cairo_fill(cr);
}

void TopRowCommon(cairo_t* cr)
{
  Caption(cr, "MODE", 35.0, 51.0);
  // A little left of the field's centre: the auto-link button starts right after it.
  Caption(cr, "LINK ID", 87.0, 51.0);
}

void FlowBox(cairo_t* cr, double x, double y, double w, double h, const char* title, const char* sub, bool lit)
{
  RoundRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 6.0);
  SetColour(cr, lit ? pal::kAccentDeep : Hex(0x1b1e22));
  cairo_fill_preserve(cr);
  SetColour(cr, lit ? pal::kAccent : pal::kPanelEdge);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  Text(cr, Face::kCaption, 10.0, title, x + w / 2, y + h / 2 - (sub ? 6.0 : 0.0), Align::kCentre,
       lit ? pal::kAccentHi : pal::kLabel, 0.8);
  if (sub) Text(cr, Face::kText, 8.0, sub, x + w / 2, y + h / 2 + 8.0, Align::kCentre, pal::kDim);
}

void Arrow(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb c)
{
  cairo_set_line_width(cr, 1.2);
  SetColour(cr, c);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_stroke(cr);
  const double a = std::atan2(y1 - y0, x1 - x0);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x1 - 5 * std::cos(a - 0.45), y1 - 5 * std::sin(a - 0.45));
  cairo_line_to(cr, x1 - 5 * std::cos(a + 0.45), y1 - 5 * std::sin(a + 0.45));
  cairo_close_path(cr);
  cairo_fill(cr);
}

// Simple view: drawn in editor coordinates; the bitmap's origin is (0, 101).
void SimpleView(cairo_t* cr, bool post)
{
  cairo_translate(cr, 0, -101);
  cairo_rectangle(cr, 0, 101, kW, kH - 101);
  SetColour(cr, pal::kBase);
  cairo_fill(cr);

  // Drive into the effects.
  Panel(cr, 6, 106, 412, 78);
  SectionTitle(cr, "DRIVE FX", 18, 124);
  Text(cr, Face::kText, 8.5, "gain fed into your effects", 18, 140, Align::kLeft, pal::kDim);
  ReadoutBox(cr, 182, 134, 244, 171, nullptr);
  Caption(cr, "dB", 258, 153, Align::kLeft, pal::kDim);

  // The chain, top to bottom: Sender tap (pre-FX), your effects, this Receiver (post-FX).
  Panel(cr, 6, 190, 412, 350);
  const Rgb flow = pal::kDim;
  FlowBox(cr, 178, 204, 232, 66, "", nullptr, !post);
  Text(cr, Face::kCaption, 11.0, "PRE-FX", 190, 222, Align::kLeft, !post ? pal::kAccentHi : pal::kLabel, 1.0);
  Text(cr, Face::kText, 8.5, "loudness", 190, 238, Align::kLeft, pal::kDim);
  ReadoutBox(cr, 297, 220, 359, 257, nullptr);
  Arrow(cr, 294, 272, 294, 296, flow);
  FlowBox(cr, 216, 298, 156, 42, "YOUR EFFECTS", nullptr, false);
  Arrow(cr, 294, 342, 294, 370, flow);
  FlowBox(cr, 178, 374, 232, 66, "", nullptr, post);
  Text(cr, Face::kCaption, 11.0, "POST-FX", 190, 392, Align::kLeft, post ? pal::kAccentHi : pal::kLabel, 1.0);
  Text(cr, Face::kText, 8.5, "difference", 190, 408, Align::kLeft, pal::kDim);
  ReadoutBox(cr, 297, 390, 359, 427, nullptr);

  // Listening tap, beside the switch.
  const double tap_y = post ? 407.0 : 237.0;
  cairo_set_line_width(cr, 1.2);
  SetColour(cr, pal::kAccent, 0.8);
  cairo_move_to(cr, 152, 343);
  cairo_line_to(cr, 165, 343);
  cairo_line_to(cr, 165, tap_y);
  cairo_line_to(cr, 178, tap_y);
  cairo_stroke(cr);
  Text(cr, Face::kText, 8.5, "You hear the signal", 87, 400, Align::kCentre, pal::kDim);
  if (post)
  {
    Text(cr, Face::kText, 8.5, "after your effects,", 87, 412, Align::kCentre, pal::kDim);
    Text(cr, Face::kText, 8.5, "matched in loudness.", 87, 424, Align::kCentre, pal::kDim);
  }
  else
  {
    Text(cr, Face::kText, 8.5, "before your effects.", 87, 412, Align::kCentre, pal::kDim);
  }

  // Gain that matches post to pre.
  cairo_rectangle(cr, 18, 458, 388, 1);
  SetColour(cr, pal::kPanelEdge);
  cairo_fill(cr);
  SectionTitle(cr, "GAIN", 18, 486);
  Text(cr, Face::kText, 8.5, "applied to match", 18, 502, Align::kLeft, pal::kDim);
  ReadoutBox(cr, 182, 475, 244, 512, nullptr);
  Caption(cr, "dB", 258, 494, Align::kLeft, pal::kDim);

  // Bottom row.
  Panel(cr, 6, 546, 412, 58);
  Text(cr, Face::kCaption, 8.0, "LINKED", 22, 566, Align::kLeft, pal::kLabel, 0.3);
  Caption(cr, "MATCH", 219, 581, Align::kRight);
}

} // namespace

void PaintSenderBackground(cairo_t* cr, int, double, double)
{
  Backdrop(cr);
  Header(cr, "SENDER");
  TopRowCommon(cr);
  Caption(cr, "LINKED", 202, 57, Align::kLeft);

  Panel(cr, 6, 106, 412, 498);
  SectionTitle(cr, "SENDER", 22, 128);
  Paragraph(cr, Face::kText, 11.0,
            "This instance sends the signal before your effects to a Receiver with the same Link ID.", 22, 152, 380, 16,
            pal::kText);

  // The chain, left to right, with this instance lit.
  const double y = 206;
  FlowBox(cr, 22, y, 110, 56, "SENDER", "this instance", true);
  Arrow(cr, 134, y + 28, 156, y + 28, pal::kDim);
  FlowBox(cr, 158, y, 108, 56, "YOUR EFFECTS", "any chain", false);
  Arrow(cr, 268, y + 28, 290, y + 28, pal::kDim);
  FlowBox(cr, 292, y, 110, 56, "RECEIVER", "same Link ID", false);

  // The quick-help button's face (its click area is 160..264 × 320..352).
  ButtonFace(cr, 160, 320, 104, 32, false);
  Text(cr, Face::kCaption, 10.0, "QUICK HELP", 212, 336, Align::kCentre, pal::kLabel, 1.0);

  Paragraph(cr, Face::kText, 10.0,
            "The link LED lights while the Sender and its Receiver exchange audio. Choose OFF as Link ID to "
            "unlink this instance.",
            22, 392, 380, 15, pal::kLabel);

  // A quiet emblem of sending in the free lower part of the panel.
  const double cx = 212, cy = 520;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 3.0);
  for (int i = 1; i <= 3; ++i)
  {
    const double r = 14.0 + i * 14.0;
    SetColour(cr, pal::kPanelEdge, 1.0 - (i - 1) * 0.25);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, -M_PI / 2 - 0.7, -M_PI / 2 + 0.7);
    cairo_stroke(cr);
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, 6.0, 0, 2 * M_PI);
  SetColour(cr, pal::kPanelEdge);
  cairo_fill(cr);
}

void PaintReceiverBackground(cairo_t* cr, int, double, double)
{
  Backdrop(cr);
  Header(cr, "RECEIVER");
  TopRowCommon(cr);
  Caption(cr, "LATENCY", 157, 51);
  Caption(cr, "RMS WIN", 242, 51);
  Caption(cr, "METER", 300, 51);
  Caption(cr, "CEILING", 394, 51);
  Caption(cr, "OVERS", 382, 91, Align::kLeft, pal::kDim);

  // Pre-FX: level of the signal before the effects, and its match.
  Panel(cr, 6, 104, 412, 150);
  SectionTitle(cr, "PRE-FX", 16, 114);
  Caption(cr, "REFERENCE", 49, 133);
  Caption(cr, "dBFS", 49, 173, Align::kCentre, pal::kDim);
  ReadoutBox(cr, 100, 129, 162, 166, "DIFF");
  ReadoutBox(cr, 190, 129, 252, 166, "GAIN");
  ReadoutBox(cr, 100, 209, 162, 246, "CURRENT");
  ReadoutBox(cr, 190, 209, 252, 246, "MAX");
  Caption(cr, "LOUDNESS", 49, 228, Align::kCentre, pal::kDim);

  // Drive, monitoring and switches.
  Panel(cr, 6, 260, 412, 150);
  Caption(cr, "DRIVE FX", 153, 270);
  Caption(cr, "LINKED", 26, 281, Align::kLeft);
  Caption(cr, "MONITOR", 287, 270);
  Text(cr, Face::kText, 8.5, "Pre-FX: the signal before", 287, 330, Align::kCentre, pal::kDim);
  Text(cr, Face::kText, 8.5, "your effects; post-FX: after", 287, 342, Align::kCentre, pal::kDim);
  Text(cr, Face::kText, 8.5, "them, matched in loudness.", 287, 354, Align::kCentre, pal::kDim);

  // Post-FX: the difference after the effects, the gain that matches it, the match mode.
  Panel(cr, 6, 414, 412, 126);
  SectionTitle(cr, "POST-FX", 16, 434);
  ReadoutBox(cr, 100, 429, 162, 466, "DIFF");
  ReadoutBox(cr, 190, 429, 252, 466, "GAIN");
  cairo_rectangle(cr, 16, 478, 392, 1);
  SetColour(cr, pal::kPanelEdge);
  cairo_fill(cr);
  Caption(cr, "MATCH", 16, 501, Align::kLeft);

  // Snapshots.
  Panel(cr, 6, 544, 412, 60);
  Caption(cr, "SNAPSHOTS", 16, 565, Align::kLeft);
}

void PaintSimplePost(cairo_t* cr, int, double, double)
{
  SimpleView(cr, true);
}
void PaintSimplePre(cairo_t* cr, int, double, double)
{
  SimpleView(cr, false);
}

void PaintHelpPage(cairo_t* cr, int, double w, double h)
{
  RoundRect(cr, 0.5, 0.5, w - 1, h - 1, 10.0);
  SetColour(cr, Hex(0x202328));
  cairo_fill_preserve(cr);
  SetColour(cr, pal::kAccent, 0.7);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  SectionTitle(cr, "QUICK HELP", 20, 24);
  struct Step
  {
    const char* title;
    const char* body;
  };
  static const Step kSteps[] = {
      {"1  SENDER", "Insert ZANIQ before the effects you want to judge and set it to Sender."},
      {"2  RECEIVER", "Insert a second ZANIQ after those effects and set it to Receiver with the same Link ID. "
                      "AUTO finds a free Link ID for you."},
      {"3  LATENCY", "If your effects delay the signal, start PDC on the Receiver to measure the delay once."},
      {"4  LISTEN", "Switch between PRE-FX and POST-FX: both play at the same loudness, so you hear what the "
                    "effects do, not how loud they are."},
      {"5  MATCH", "AUTO keeps matching; MANUAL matches when you press MATCH; G-STAGE keeps the gain "
                   "structure through the chain."},
      {"6  SNAPSHOTS", "Store up to four matched settings and recall them to compare."},
  };
  double y = 52;
  for (const Step& s : kSteps)
  {
    Text(cr, Face::kCaption, 9.5, s.title, 20, y, Align::kLeft, pal::kAccentHi, 1.0);
    y = Paragraph(cr, Face::kText, 10.5, s.body, 20, y + 17, w - 40, 15, pal::kText) + 12;
  }
  cairo_rectangle(cr, 20, h - 40, w - 40, 1);
  SetColour(cr, pal::kPanelEdge);
  cairo_fill(cr);
  Text(cr, Face::kCaption, 9.0, "CLICK ANYWHERE TO CLOSE", w / 2, h - 22, Align::kCentre, pal::kLabel, 1.2);
}

void PaintConfigPage(cairo_t* cr, int, double w, double)
{
  // Editor coordinates: the bitmap's origin is (0, 98). It is opaque where it covers the pre-FX panel.
  cairo_translate(cr, 0, -98);
  cairo_rectangle(cr, 0, 98, w, 158);
  SetColour(cr, pal::kBase);
  cairo_fill(cr);
  Panel(cr, 6, 104, 412, 150);
  SectionTitle(cr, "CONFIG", 16, 114);
  Text(cr, Face::kText, 10.0, "Limits of the automatic match gain, in dB; off means no limit.", 16, 138, Align::kLeft,
       pal::kLabel);
  struct Field
  {
    double l, r;
    const char* caption;
  };
  static const Field kFields[] = {{33, 101, "MIN AUTO GAIN"}, {129, 197, "MAX AUTO GAIN"}, {305, 373, "TOLERANCE"}};
  for (const Field& f : kFields)
  {
    Well(cr, f.l - 12, 211, f.r - f.l + 18, 30, 5.0);
    Caption(cr, f.caption, (f.l - 12 + f.r + 6) / 2, 200);
  }
}

} // namespace zaniq::artwork

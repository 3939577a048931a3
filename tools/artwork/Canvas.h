// Drawing helpers shared by the artwork painters: the palette, the label fonts and a few shapes.
// Everything is in points; the caller has already scaled the Cairo context for 1x or 2x.
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

namespace zaniq::artwork
{

struct Rgb
{
  double r, g, b;
};

constexpr Rgb Hex(unsigned v)
{
  return {((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}

// One calm dark palette for every bitmap.
namespace pal
{
inline constexpr Rgb kBase = Hex(0x1a1c20);   // editor background
inline constexpr Rgb kHeader = Hex(0x131518); // title strip
inline constexpr Rgb kPanel = Hex(0x22252b);  // section panels
inline constexpr Rgb kPanelEdge = Hex(0x2e3239);
inline constexpr Rgb kWell = Hex(0x121417); // recessed value and read-out boxes
inline constexpr Rgb kWellEdge = Hex(0x353a42);
inline constexpr Rgb kButton = Hex(0x2b2f36);
inline constexpr Rgb kButtonEdge = Hex(0x3b4048);
inline constexpr Rgb kLabel = Hex(0x8b95a2);  // captions
inline constexpr Rgb kDim = Hex(0x5d6570);    // secondary captions
inline constexpr Rgb kText = Hex(0xd4d4d4);   // the read-outs' grey
inline constexpr Rgb kAccent = Hex(0x3fb8a6); // on states, the knob's arc
inline constexpr Rgb kAccentHi = Hex(0x7fe3d3);
inline constexpr Rgb kAccentDeep = Hex(0x1c3b37);
inline constexpr Rgb kWarm = Hex(0xe2a23b);  // measuring
inline constexpr Rgb kAlarm = Hex(0xd44040); // overs
} // namespace pal

enum class Face
{
  kCaption,
  kText,
  kMedium,
  kBold,
  kBlack
};
enum class Align
{
  kLeft,
  kCentre,
  kRight
};

// Loads the faces from the given font files; false (with a message on stderr) when one cannot be loaded.
[[nodiscard]] bool LoadFaces(const std::string& font_dir_condensed_bold, const std::string& regular,
                             const std::string& medium, const std::string& bold, const std::string& black);
void ReleaseFaces();

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r);

// Text whose capitals are vertically centred on y_mid; tracking is extra space between letters (points).
// Returns the width drawn.
double Text(cairo_t* cr, Face face, double size, std::string_view s, double x, double y_mid, Align align, Rgb colour,
            double tracking = 0.0, double alpha = 1.0);
double TextWidth(cairo_t* cr, Face face, double size, std::string_view s, double tracking = 0.0);

// Greedy word-wrapped paragraph starting with its first baseline at y; returns the baseline after the last line.
double Paragraph(cairo_t* cr, Face face, double size, std::string_view s, double x, double y, double width,
                 double line_height, Rgb colour);

// A recessed well (value fields, read-outs).
void Well(cairo_t* cr, double x, double y, double w, double h, double r = 4.0);
// A section panel.
void Panel(cairo_t* cr, double x, double y, double w, double h);
// A pill button face: off is a quiet grey, on is tinted with the accent; returns nothing, text is the caller's.
void ButtonFace(cairo_t* cr, double x, double y, double w, double h, bool on, Rgb accent = pal::kAccent);
// A button with centred caption, off or on.
void CaptionButton(cairo_t* cr, double w, double h, std::string_view caption, bool on, double size = 9.0,
                   Rgb accent = pal::kAccent);
// A small caret pointing down, centred at (x, y).
void Caret(cairo_t* cr, double x, double y, double size, Rgb colour);

} // namespace zaniq::artwork

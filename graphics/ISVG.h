#pragma once

// ISVG — a parsed SVG document, held for drawing.
//
// The document is flattened into what a path-based drawing needs: shapes in document order, each with its paints,
// stroke settings and paths made only of cubic Béziers, all already mapped through the document's transforms into
// drawing space (document units, origin top-left, y down). Colours, stops and gradient transforms are final; the
// drawing applies nothing but the shape's opacity on top of the paint colours' own alpha.
//
// An ISVG is a handle, copied by value; copies share one immutable document, which lives as long as any handle to
// it. A default-constructed (or failed) ISVG holds no document.
//
// Threads: a document is never modified after parsing, so handles may be read from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Data model
// ---------------------------------------------------------------------------------------------------------------

// Straight (not premultiplied) 8-bit RGBA packed as R in bits 0-7, G 8-15, B 16-23, A 24-31. In a parsed document
// the alpha already holds the paint's own opacity (fill-opacity, stroke-opacity, stop-opacity).
using SVGColor = uint32_t;

constexpr SVGColor SVGMakeColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
  return static_cast<SVGColor>(r) | static_cast<SVGColor>(g) << 8 | static_cast<SVGColor>(b) << 16 |
         static_cast<SVGColor>(a) << 24;
}
constexpr uint8_t SVGColorR(SVGColor c)
{
  return static_cast<uint8_t>(c);
}
constexpr uint8_t SVGColorG(SVGColor c)
{
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t SVGColorB(SVGColor c)
{
  return static_cast<uint8_t>(c >> 16);
}
constexpr uint8_t SVGColorA(SVGColor c)
{
  return static_cast<uint8_t>(c >> 24);
}

enum class ESVGPaintType : uint8_t
{
  None = 0,
  Color = 1,
  LinearGradient = 2,
  RadialGradient = 3
};
// What a gradient does beyond offsets 0 and 1.
enum class ESVGSpread : uint8_t
{
  Pad = 0,
  Reflect = 1,
  Repeat = 2
};
enum class ESVGLineCap : uint8_t
{
  Butt = 0,
  Round = 1,
  Square = 2
};
enum class ESVGLineJoin : uint8_t
{
  Miter = 0,
  Round = 1,
  Bevel = 2
};
enum class ESVGFillRule : uint8_t
{
  NonZero = 0,
  EvenOdd = 1
};

struct SVGGradientStop
{
  SVGColor color = 0; // alpha includes stop-opacity and the referencing paint's opacity
  float offset = 0.f; // 0..1, never below the previous stop's
};

struct SVGGradient
{
  // Maps drawing space to gradient space: (x, y) → (xform[0]·x + xform[2]·y + xform[4],
  // xform[1]·x + xform[3]·y + xform[5]). In gradient space a linear gradient runs from offset 0 at (0, 0) to
  // offset 1 at (0, 1), constant along x; a radial gradient has offset 0 at the origin and 1 on the unit circle.
  float xform[6] = {1.f, 0.f, 0.f, 1.f, 0.f, 0.f};
  ESVGSpread spread = ESVGSpread::Pad;
  std::vector<SVGGradientStop> stops; // at least two
};

struct SVGPaint
{
  ESVGPaintType type = ESVGPaintType::None;
  SVGColor color = 0;   // type Color
  SVGGradient gradient; // type LinearGradient or RadialGradient
};

struct SVGPath
{
  // x, y pairs: a first point, then groups of three points (two control points and the end point of a cubic).
  std::vector<float> pts;
  bool closed = false;  // a closed path ends where it starts
  float bounds[4] = {}; // min x, min y, max x, max y of the curve itself (not of its control points)

  int NPoints() const { return static_cast<int>(pts.size() / 2); }
};

constexpr int kSVGMaxDashes = 8;

struct SVGShape
{
  bool visible = true; // false for visibility hidden or collapse: the shape is kept but not drawn
  SVGPaint fill;
  SVGPaint stroke;
  float opacity = 1.f;     // 0..1: the element's opacity times its groups' opacities
  float strokeWidth = 1.f; // drawing units
  float miterLimit = 4.f;  // at least 1
  ESVGLineCap lineCap = ESVGLineCap::Butt;
  ESVGLineJoin lineJoin = ESVGLineJoin::Miter;
  float dashOffset = 0.f; // drawing units
  int dashCount = 0;      // 0: solid; otherwise an even number of lengths, at most kSVGMaxDashes
  float dashArray[kSVGMaxDashes] = {};
  ESVGFillRule fillRule = ESVGFillRule::NonZero;
  float bounds[4] = {};       // union of the paths' bounds
  std::vector<SVGPath> paths; // at least one
};

struct SVGDocument
{
  float width = 0.f; // drawing units; the document occupies (0, 0, width, height)
  float height = 0.f;
  std::vector<SVGShape> shapes;
};

// ---------------------------------------------------------------------------------------------------------------
// Handle
// ---------------------------------------------------------------------------------------------------------------

class ISVG
{
public:
  ISVG() = default;
  explicit ISVG(std::shared_ptr<const SVGDocument> doc) : mDoc(std::move(doc)) {}

  bool IsValid() const { return mDoc != nullptr; }
  explicit operator bool() const { return IsValid(); }

  // Document size in drawing units; 0 without a document.
  float W() const { return mDoc ? mDoc->width : 0.f; }
  float H() const { return mDoc ? mDoc->height : 0.f; }

  // The document, or null.
  const SVGDocument* Document() const { return mDoc.get(); }

private:
  std::shared_ptr<const SVGDocument> mDoc;
};

// ---------------------------------------------------------------------------------------------------------------
// Parsing
// ---------------------------------------------------------------------------------------------------------------

// Largest document accepted, in bytes.
constexpr size_t kSVGMaxBytes = size_t{16} << 20;

// [any thread] Parses the SVG document in the size bytes at data (reading stops at the first NUL byte). units is
// the unit drawing space is measured in: "px" (also for null or an unknown name), "in", "cm", "mm", "pt", "pc",
// "em" (16 px) or "ex" (8 px); pixels and physical units are related by dpi dots per inch. Returns an empty ISVG
// when the text is not an SVG document, when data is null or size is 0 or above kSVGMaxBytes, or when the document
// exceeds the parser's limits on nesting, element count or path size. Shapes with coordinates that are not finite
// or absurdly large are left out. Never throws.
ISVG ParseSVG(const void* data, size_t size, float dpi = 72.f, const char* units = "px");

// [any thread] Reads the file at path whole and parses it as ParseSVG does; an unreadable file, or one that
// changes size while being read, gives an empty ISVG.
ISVG ParseSVGFile(const char* path, float dpi = 72.f, const char* units = "px");

} // namespace plugin::igraphics

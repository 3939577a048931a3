#pragma once

// Test helpers: font files of the system, their metrics as FreeType reads them, and collections built from them.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace fontref
{

inline const char* kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
inline const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Metrics
{
  int unitsPerEm = 0, macStyle = 0, ascender = 0, descender = 0, lineGap = 0;
  std::string family, style;
  bool operator==(const Metrics&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Metrics& m)
{
  return os << m.family << " " << m.style << " upem " << m.unitsPerEm << " mac " << m.macStyle << " asc " << m.ascender
            << " desc " << m.descender << " gap " << m.lineGap;
}

// Face faceIdx of the bytes as FreeType reads it (hhea and head tables, family and style names).
inline std::optional<Metrics> FreeTypeMetrics(const std::vector<uint8_t>& bytes, int faceIdx)
{
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) return std::nullopt;
  std::optional<Metrics> m;
  FT_Face face = nullptr;
  if (!FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), faceIdx, &face))
  {
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    if (hhea && head)
    {
      m = Metrics{head->Units_Per_EM, head->Mac_Style, hhea->Ascender, hhea->Descender, hhea->Line_Gap,
                  face->family_name ? face->family_name : "", face->style_name ? face->style_name : ""};
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  return m;
}

// A collection ("ttcf" version 1) of whole fonts: each font is appended at a 4-aligned place and the offsets of
// its table directory moved by that place.
inline std::vector<uint8_t> MakeCollection(const std::vector<std::vector<uint8_t>>& fonts)
{
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24), b[at + 1] = uint8_t(v >> 16), b[at + 2] = uint8_t(v >> 8), b[at + 3] = uint8_t(v);
  };
  auto get32 = [](const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
  };
  std::vector<uint8_t> out(12 + 4 * fonts.size());
  out[0] = 't', out[1] = 't', out[2] = 'c', out[3] = 'f';
  put32(out, 4, 0x00010000);
  put32(out, 8, static_cast<uint32_t>(fonts.size()));
  for (size_t i = 0; i < fonts.size(); ++i)
  {
    out.resize((out.size() + 3) & ~size_t(3));
    const size_t base = out.size();
    put32(out, 12 + 4 * i, static_cast<uint32_t>(base));
    out.insert(out.end(), fonts[i].begin(), fonts[i].end());
    const unsigned tables = (fonts[i][4] << 8) | fonts[i][5];
    for (unsigned t = 0; t < tables; ++t)
    {
      const size_t rec = base + 12 + 16 * t + 8;
      put32(out, rec, get32(out, rec) + static_cast<uint32_t>(base));
    }
  }
  return out;
}

} // namespace fontref

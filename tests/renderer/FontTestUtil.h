#pragma once

// Shared pieces of the font store tests: the font files, a store that cleans up after itself, FreeType as the
// independent reader of the same files, and the glyph steps of a string.

#include "renderer/FontAtlas.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fonttest
{

inline const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
inline const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// PostScript (CFF) outlines, from Debian's fonts-texgyre.
inline const char* const kTexGyreHeros = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheros-regular.otf";

inline std::vector<unsigned char> ReadFile(const char* path)
{
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Store
{
  FAcontext* s = nullptr;
  explicit Store(int width = 512, int height = 512, FAparams p = {})
  {
    p.width = width;
    p.height = height;
    p.flags = FA_ZERO_TOPLEFT;
    s = faCreateInternal(&p);
  }
  ~Store() { faDeleteInternal(s); }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  FAfont* Font(int i) const { return s->fonts[i]; }
};

struct FtFace
{
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  explicit FtFace(const char* path)
  {
    if (FT_Init_FreeType(&lib) == 0) FT_New_Face(lib, path, 0, &face);
  }
  ~FtFace()
  {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
  FtFace(const FtFace&) = delete;
  FtFace& operator=(const FtFace&) = delete;
  // Pixels per font unit at a text size in pixels, the store's way: size over the ascent-to-descent height.
  double Scale(double size) const { return size / double(face->ascender - face->descender); }
  // Unscaled advance of a glyph in font units.
  long Advance(unsigned glyph) const
  {
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return -1;
    return face->glyph->advance.x;
  }
};

struct Step
{
  unsigned codepoint;
  FAquad quad;
  int glyph;
  float x, nextx;
};

// Every step of the iterator over text, as a caller sees it.
inline std::vector<Step> Steps(FAcontext* s, const std::string& text, int option, float x = 0, float y = 0)
{
  std::vector<Step> steps;
  FAtextIter it;
  if (!faTextIterInit(s, &it, x, y, text.data(), text.data() + text.size(), option)) return steps;
  FAquad q{};
  while (faTextIterNext(s, &it, &q)) steps.push_back({it.codepoint, q, it.prevGlyphIndex, it.x, it.nextx});
  return steps;
}

inline std::string Utf8(unsigned cp)
{
  if (cp < 0x80) return std::string(1, char(cp));
  const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  std::string out(size_t(n), '\0');
  for (int k = n - 1; k > 0; --k, cp >>= 6) out[size_t(k)] = char(0x80 | (cp & 0x3F));
  out[0] = char((0xF00 >> n) | cp);
  return out;
}

} // namespace fonttest

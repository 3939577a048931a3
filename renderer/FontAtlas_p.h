#pragma once

// Inside the font store: the checks of untrusted font data (FontCheck.cpp) and the scratch allocator the truetype
// reader uses (FontAtlas.cpp, StbTrueType.cpp).

#include "renderer/FontAtlas.h"

#include <cstddef>

// What the check of a font's tables found.
struct FAfontCheck
{
  int fontstart;      // offset of the face in the data
  int indexMap;       // offset of the character map subtable the reader will use
  int kernUsable;     // 0: the 'kern' table is missing or too short for its pair count
  FAfontTables tables;
};

// 1 when face fontIndex of data[0..size) is a TrueType font (glyph outlines, not CFF) whose table directory and the
// tables the reader uses (cmap with its chosen subtable, head, hhea, hmtx, maxp, loca, glyf, kern) lie inside the
// data and are long enough for every read the reader makes of them; fills out.
int fa__checkFont(const unsigned char* data, int size, int fontIndex, FAfontCheck* out);

// 1 when glyph (0..numGlyphs-1) of a checked font has an outline the reader can take apart safely: inside the
// glyph table, its counts and flags consistent, composites at most 8 deep with at most 256 parts, the points of a
// simple outline inside the glyph's own box, placed parts within 16-bit coordinates. An empty outline is fine.
int fa__checkGlyph(const unsigned char* data, const FAfontTables* tables, int glyph);

// Scratch arena of the store handed as up (an FAcontext); see faCreateInternal.
void* fa__tmpalloc(size_t size, void* up);
void fa__tmpfree(void* ptr, void* up);

// Kerning of a glyph pair from the legacy 'kern' table, in font units.
int fa__stbttKernTableAdvance(const stbtt_fontinfo* info, int glyph1, int glyph2);

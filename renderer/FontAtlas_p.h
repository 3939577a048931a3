#pragma once

// Inside the font store: the checks of untrusted font data (FontCheck.cpp) and the scratch allocator the truetype
// reader uses (FontAtlas.cpp, StbTrueType.cpp).

#include "renderer/FontAtlas.h"

#include <cmath>
#include <cstddef>

// What the check of a font's tables found.
struct FAfontCheck
{
  int fontstart;      // offset of the face in the data
  int indexMap;       // offset of the character map subtable the reader will use
  int kernUsable;     // 0: the 'kern' table is missing or too short for its pair count
  FAfontTables tables;
};

// 1 when face fontIndex of data[0..size) is a font whose table directory and the tables the reader uses (cmap with
// its chosen subtable, head, hhea, hmtx, maxp, kern, and for the outlines loca and glyf, or 'CFF ' for an "OTTO"
// face) lie inside the data and are long enough for every read the reader makes of them; fills out.
int fa__checkFont(const unsigned char* data, int size, int fontIndex, FAfontCheck* out);

// 1 when glyph (0..numGlyphs-1) of a checked font has an outline the reader can take apart safely. TrueType: inside
// the glyph table, its counts and flags consistent, composites at most 8 deep with at most 256 parts, the points of
// a simple outline inside the glyph's own box, placed parts within 16-bit coordinates; an empty outline is fine.
// CFF: see fa__checkCffGlyph.
int fa__checkGlyph(const unsigned char* data, const FAfontTables* tables, int glyph);

// CFF outlines (FontCheckCff.cpp). 1 when the 'CFF ' table at cffOffset (cffLength bytes, inside the data) is one
// the reader can walk without leaving it: a version 1 header; Name (not empty), Top DICT (not empty), String and
// Global Subrs INDEXes whose offsets start at 1, never fall and end inside the table; the first top DICT's
// CharStrings INDEX (inside, at least numGlyphs programs), charstring type 2, its Private DICT and local Subrs INDEX
// inside; for a CID-keyed font the FDArray INDEX (not empty) with each font DICT's Private DICT and Subrs, and an
// FDSelect of format 0 or 3 that maps every glyph to an existing font DICT. The operands the reader takes must be
// integers. Fills the CFF fields of tables.
int fa__checkCff(const unsigned char* data, unsigned cffOffset, unsigned cffLength, int numGlyphs,
                 FAfontTables* tables);

// 1 when the program of glyph (0..numGlyphs-1) of a checked CFF font, run as the reader runs it, ends with endchar
// within 50,000 steps (subroutines included), using only the operators the reader knows, its stack and subroutine
// calls (at most 10 deep) as the reader allows them, every point within 32,000 font units and at most as many
// vertices as half the scratch arena holds.
int fa__checkCffGlyph(const unsigned char* data, const FAfontTables* tables, int glyph);

// 1 when the reader, initialised on a checked CFF font, located the INDEXes and map the check found; then bounds
// its table buffers to the table. 0 leaves the font unusable.
int fa__useCheckedCff(stbtt_fontinfo* info, const unsigned char* data, const FAfontTables* tables);

// Scratch arena of the store handed as up (an FAcontext); see faCreateInternal.
void* fa__tmpalloc(size_t size, void* up);
void fa__tmpfree(void* ptr, void* up);
// 1 when allocations of sizes[0..count), made one after another now, would all succeed; otherwise reports
// FA_SCRATCH_FULL as a failed allocation does and returns 0.
int fa__tmpfits(const size_t* sizes, int count, void* up);

// The glyph's bitmap (no subpixel shift) into output, pixel for pixel as stbtt_MakeGlyphBitmapSubpixel draws it.
// When the arena cannot hold what the rasteriser takes from it unchecked, reports FA_SCRATCH_FULL and leaves the
// bitmap empty instead.
void fa__stbttMakeGlyphBitmap(const stbtt_fontinfo* info, unsigned char* output, int outW, int outH, int outStride,
                              float scaleX, float scaleY, int glyph);

// Kerning of a glyph pair from the legacy 'kern' table, in font units.
int fa__stbttKernTableAdvance(const stbtt_fontinfo* info, int glyph1, int glyph2);

// ---------------------------------------------------------------------------------------------------------------
// Shared between the store (FontAtlas.cpp) and the layout (FontLayout.cpp)
// ---------------------------------------------------------------------------------------------------------------

inline short fa__sat16(float v)
{
  if (!(v > -32768.f)) return v != v ? 0 : -32768;
  if (v >= 32767.f) return 32767;
  return short(v);
}

// Size in tenths of a pixel as the cache keys it; 0 for anything not positive or not a number.
inline short fa__isize(float size)
{
  if (!(size > 0.f)) return 0;
  return fa__sat16(size * 10.f);
}

inline short fa__iblur(float blur)
{
  if (!(blur > 0.f)) return 0;
  if (blur >= float(FA_MAX_BLUR)) return FA_MAX_BLUR;
  return short(blur);
}

// (int)(v) kept as a float, defined for every v.
inline float fa__truncf(float v) { return std::isfinite(v) ? std::trunc(v) : 0.f; }

FAstate* fa__getState(FAcontext* s);
// The font the state names, or null when there is none or it has no data.
FAfont* fa__stateFont(FAcontext* s, const FAstate* state);
float fa__tt_getPixelHeightScale(FAfont* font, float size);
int fa__tt_getGlyphKernAdvance(FAfont* font, int glyph1, int glyph2);
// The glyph of codepoint at isize / 10 pixels, blurred by iblur (0..20), found in the cache or made. Null when isize
// is below 2, memory runs out, or (FA_GLYPH_BITMAP_REQUIRED) the glyph does not fit into the atlas. A codepoint that
// neither the font nor its fallbacks have becomes an empty glyph: index 0, the advance of the font's first glyph,
// no atlas space.
FAglyph* fa__getGlyph(FAcontext* s, FAfont* font, unsigned int codepoint, short isize, short iblur, int bitmapOption);
// Hands pending texture bytes and vertices to the callbacks.
void fa__flush(FAcontext* s);
// Two triangles of a quad into the vertex batch (flushed first when full).
void fa__pushQuad(FAcontext* s, const FAquad& q, unsigned int color);

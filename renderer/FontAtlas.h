#pragma once

// Font store — the fonts of one renderer context, their glyph cache and the 8-bit alpha atlas the glyphs are
// rasterised into.
//
// Plain functions over plain records. The store knows nothing of the GPU: it fills texture bytes, records the
// rectangle of them that changed (the dirty rectangle) and turns UTF-8 strings into positioned glyph quads. The
// renderer uploads the dirty rectangle, and grows or resets the atlas when a glyph does not fit.
//
// Units: positions, sizes, blur and spacing are pixels of the atlas texture (the renderer passes device pixels).
// Glyph records keep sizes and advances in tenths of a pixel. Texture coordinates are 0..1.
//
// Font data is untrusted: a font is checked when it is added (table directory, the tables read later, the
// character map) and every glyph outline is checked before it is measured or rasterised. Fonts with PostScript
// (CFF) outlines are refused; a glyph whose outline is damaged behaves like a missing one (empty, with the
// advance of the font's first glyph).
//
// Threads: a store belongs to one thread at a time (the renderer's); it keeps no global state.

#include <stb/stb_truetype.h>

// Atlas orientation flag of FAparams::flags: y grows downwards (without it, upwards).
enum FAflags
{
  FA_ZERO_TOPLEFT = 1,
};

// Alignment flags of FAstate::align: horizontal (mask 7) and vertical (mask 120).
enum FAalign
{
  FA_ALIGN_LEFT = 1,
  FA_ALIGN_CENTER = 2,
  FA_ALIGN_RIGHT = 4,
  FA_ALIGN_TOP = 8,
  FA_ALIGN_MIDDLE = 16,
  FA_ALIGN_BOTTOM = 32,
  FA_ALIGN_BASELINE = 64,
};

// Bitmap option of the text iterator and the glyph lookup.
enum FAglyphBitmap
{
  FA_GLYPH_BITMAP_OPTIONAL = 1, // metrics only, nothing rasterised
  FA_GLYPH_BITMAP_REQUIRED = 2, // rasterised into the atlas
};

// Error codes given to the error callback.
enum FAerrorCode
{
  FA_ATLAS_FULL = 1,      // value 0
  FA_SCRATCH_FULL = 2,    // value: the bytes the scratch arena would have needed
  FA_STATES_OVERFLOW = 3, // value 0
  FA_STATES_UNDERFLOW = 4 // value 0
};

constexpr int FA_SCRATCH_SIZE = 96000;   // bytes of the rasteriser's scratch arena
constexpr int FA_HASH_SIZE = 256;        // glyph hash table entries per font
constexpr int FA_VERTEX_CAPACITY = 1024; // vertices of the draw batch
constexpr int FA_MAX_STATES = 20;
constexpr int FA_MAX_FALLBACKS = 20;
constexpr int FA_MAX_BLUR = 20;
constexpr int FA_MAX_ATLAS_SIZE = 16384; // widest and tallest atlas in pixels (node coordinates are 16-bit)

struct FAparams
{
  int width, height;   // atlas size in pixels, 2..FA_MAX_ATLAS_SIZE
  unsigned char flags; // FAflags
  void* userPtr;       // given to every callback
  int (*renderCreate)(void* uptr, int width, int height);                // 0 fails creation
  int (*renderResize)(void* uptr, int width, int height);                // 0 fails the growth or reset
  void (*renderUpdate)(void* uptr, int* rect, const unsigned char* data); // rect {x0, y0, x1, y1}, whole texture
  void (*renderDraw)(void* uptr, const float* verts, const float* tcoords, const unsigned int* colors, int nverts);
  void (*renderDelete)(void* uptr);
};

// Screen corners (x0, y0), (x1, y1) and their texture coordinates (s0, t0), (s1, t1).
struct FAquad
{
  float x0, y0, s0, t0;
  float x1, y1, s1, t1;
};

struct FAfont;

struct FAtextIter
{
  float x, y, nextx, nexty; // pen before and after the current glyph
  float scale;              // font units to pixels at the iterator's size
  float spacing;            // extra pixels between glyphs
  unsigned int codepoint;   // of the current glyph
  short isize, iblur;       // size in tenths of a pixel, blur in pixels
  FAfont* font;
  int prevGlyphIndex;       // glyph index of the current glyph; -1 when it could not be had (atlas full)
  const char* str;          // first byte of the current glyph's character
  const char* next;         // first byte after it
  const char* end;
  unsigned int utf8state;
  int bitmapOption;         // FAglyphBitmap
};

struct FAglyph
{
  unsigned int codepoint;
  int index;              // glyph index in the font; 0 = none (an empty glyph)
  int next;               // next glyph of the same hash chain, -1 ends
  short size, blur;       // size in tenths of a pixel, blur in pixels
  short x0, y0, x1, y1;   // atlas rectangle with its padding; x0 = y0 = -1 while not rasterised
  short xadv;             // advance in tenths of a pixel
  short xoff, yoff;       // of the padded rectangle from the pen position
};

struct FAstate
{
  int font;           // index into the store's fonts
  int align;          // FAalign flags
  float size;         // pixels
  unsigned int color; // packed, handed to the draw callback
  float blur;         // pixels, 0..FA_MAX_BLUR
  float spacing;      // extra pixels between glyphs
};

struct FAatlasNode
{
  short x, y, width;
};

struct FAatlas
{
  int width, height;
  FAatlasNode* nodes;
  int nnodes;
  int cnodes;
};

// Where the checked tables of a font lie in its data (byte offsets and lengths); filled when the font is added.
struct FAfontTables
{
  int numGlyphs;
  unsigned int glyfOffset, glyfLength;
  unsigned int locaOffset, locaLength;
  int longLoca; // 1: 32-bit glyph offsets
  // PostScript (CFF) outlines, when cffLength > 0: the table and its INDEXes (offsets from the start of the data).
  unsigned int cffOffset, cffLength;
  unsigned int charStrings; // INDEX of the glyph programs
  unsigned int globalSubrs; // INDEX
  unsigned int localSubrs;  // INDEX of the top Private DICT; 0: none
  unsigned int fdArray;     // CID-keyed fonts: INDEX of the font DICTs; 0: not CID-keyed
  unsigned int fdSelect;    // CID-keyed fonts: the glyph-to-font-DICT map
};

struct FAfont
{
  stbtt_fontinfo font;
  char name[64];         // the 64th byte is always 0
  unsigned char* data;
  int dataSize;
  unsigned char freeData; // the store frees data when the font goes
  float ascender;         // relative to the em: ascent / (ascent - descent)
  float descender;        // descent / (ascent - descent), negative below the baseline
  float lineh;            // (ascent - descent + line gap) / (ascent - descent)
  FAglyph* glyphs;
  int cglyphs;
  int nglyphs;
  int lut[FA_HASH_SIZE];  // first glyph of each hash chain, -1 empty
  int fallbacks[FA_MAX_FALLBACKS];
  int nfallbacks;
  FAfontTables tables;
};

struct FAcontext
{
  FAparams params;
  float itw, ith;         // 1 / width, 1 / height
  unsigned char* texData; // width * height alpha bytes, row by row
  int dirtyRect[4];       // x0, y0, x1, y1; empty = {width, height, 0, 0}
  FAfont** fonts;
  FAatlas* atlas;
  int cfonts;
  int nfonts;
  float verts[FA_VERTEX_CAPACITY * 2];
  float tcoords[FA_VERTEX_CAPACITY * 2];
  unsigned int colors[FA_VERTEX_CAPACITY];
  int nverts;
  unsigned char* scratch;
  int nscratch;
  FAstate states[FA_MAX_STATES];
  int nstates;
  void (*handleError)(void* uptr, int error, int val);
  void* errorUptr;
};

// ---------------------------------------------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------------------------------------------

// A new store with an empty atlas of params->width x params->height (each 2..FA_MAX_ATLAS_SIZE), a 2 x 2 white
// rectangle placed first, and one state at its defaults (font 0, left | baseline, size 12, colour 0xFFFFFFFF,
// no blur, no spacing). Calls renderCreate when given. Null on a bad size, a null params, a failed allocation or a
// create callback that returns 0.
FAcontext* faCreateInternal(FAparams* params);
// Calls renderDelete when given and frees everything (font data too where the store owns it). Null is ignored.
void faDeleteInternal(FAcontext* s);

// Errors (FAerrorCode) go to callback when one is installed; without one they are silent.
void faSetErrorCallback(FAcontext* s, void (*callback)(void* uptr, int error, int val), void* uptr);

// ---------------------------------------------------------------------------------------------------------------
// Atlas
// ---------------------------------------------------------------------------------------------------------------

// Current atlas size in pixels (0 x 0 for a null store).
void faGetAtlasSize(FAcontext* s, int* width, int* height);
// Grows the atlas to at least width x height, keeping every glyph where it is. A size not larger than the current
// one in either direction changes nothing and returns 1. Flushes pending updates and draws first, then calls
// renderResize. 0 when the callback refuses, the size is above FA_MAX_ATLAS_SIZE or memory runs out (the atlas
// is then unchanged).
int faExpandAtlas(FAcontext* s, int width, int height);
// Empties the atlas and gives it the size width x height (2..FA_MAX_ATLAS_SIZE; smaller is allowed). Every cached
// glyph is forgotten and rasterised again at its next use; the white rectangle is placed again first. 0 (and
// nothing changed) on a bad size, a refusing resize callback or failed allocation.
int faResetAtlas(FAcontext* s, int width, int height);

// The texture bytes (width * height, row by row) and their size; null for a null store.
const unsigned char* faGetTextureData(FAcontext* s, int* width, int* height);
// When bytes changed since the last call: copies the changed rectangle {x0, y0, x1, y1} (pixels, x1 and y1
// exclusive) into dirty, empties it and returns 1; else 0 and dirty is left alone.
int faValidateTexture(FAcontext* s, int* dirty);

// ---------------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------------

// Reads the whole file at path and adds it as faAddFontMem does (the store owns the bytes). -1 when the file
// cannot be opened or read whole, is empty or larger than 2 GiB, or the font is refused.
int faAddFont(FAcontext* s, const char* name, const char* path, int fontIndex);
// Adds face fontIndex (0 for a plain font file, the face of a collection) of the font in data[0..dataSize) under
// name (cut to 63 bytes; null is taken as ""). Returns the new font's index, or -1 when the data is not a usable
// TrueType font (bad tables, no glyph outlines, zero height) or memory runs out. freeData 1: the store frees data
// with free() when the font goes — also when it is refused here. With freeData 0 the bytes must outlive the store.
int faAddFontMem(FAcontext* s, const char* name, unsigned char* data, int dataSize, int fontIndex, int freeData);
// Index of the first font whose name equals name exactly (case-sensitive); -1 when none or name is null.
int faGetFontByName(FAcontext* s, const char* name);
// Appends font fallback to base's fallbacks, tried in order for codepoints base lacks. 1 when added; 0 when base
// already has FA_MAX_FALLBACKS or either index names no font.
int faAddFallbackFont(FAcontext* s, int base, int fallback);

// ---------------------------------------------------------------------------------------------------------------
// State (1..FA_MAX_STATES states; the setters change the top one)
// ---------------------------------------------------------------------------------------------------------------

// Copies the top state onto a new top; at FA_MAX_STATES reports FA_STATES_OVERFLOW and changes nothing.
void faPushState(FAcontext* s);
// Drops the top state; with one left reports FA_STATES_UNDERFLOW and changes nothing.
void faPopState(FAcontext* s);
// Resets the top state to the defaults.
void faClearState(FAcontext* s);

void faSetSize(FAcontext* s, float size);        // pixels; below 0.2 (or not finite) lays out nothing
void faSetColor(FAcontext* s, unsigned int color);
void faSetSpacing(FAcontext* s, float spacing);  // pixels between glyphs; not finite counts as 0
void faSetBlur(FAcontext* s, float blur);        // pixels; taken as 0..FA_MAX_BLUR
void faSetAlign(FAcontext* s, int align);        // FAalign flags
void faSetFont(FAcontext* s, int font);          // font index

// ---------------------------------------------------------------------------------------------------------------
// Layout (size, font, alignment, blur and spacing from the top state)
// ---------------------------------------------------------------------------------------------------------------
// A string runs from string to end, or to its terminating zero when end is null. A byte that is not valid UTF-8
// where it stands ends the string there; a string cut inside a UTF-8 sequence ends before the sequence.
// Kerning (from the font's legacy 'kern' table) and spacing apply only between glyphs of one call.
// faDrawText, faTextBounds and the iterator do nothing (return 0, faDrawText its x) when the top state names no
// font, the size is below 0.2 pixels (or not a number) or the string is null; the metrics calls leave their outputs
// alone when there is no font.

// Lays the string out at (x, y) with rasterised glyphs and hands its quads to the draw callback (six vertices per
// glyph in the state's colour). Returns the x after the text.
float faDrawText(FAcontext* s, float x, float y, const char* string, const char* end);
// Returns the advance of the string at (x, y) (metrics only: nothing rasterised). bounds, when given, receives
// {minx, miny, maxx, maxy} of the glyph quads and the pen, after alignment ({x, y, x, y} when nothing is laid out).
float faTextBounds(FAcontext* s, float x, float y, const char* string, const char* end, float* bounds);
// Vertical extent of a line of text at baseline y (after vertical alignment). Outputs untouched without a font.
void faLineBounds(FAcontext* s, float y, float* miny, float* maxy);
// Ascender, descender (negative) and line height in pixels at the current size (0 for a size that is not positive).
// Each output optional; untouched without a font.
void faVertMetrics(FAcontext* s, float* ascender, float* descender, float* lineh);

// Starts iterating the glyphs of a string at (x, y), aligned as the state says. bitmapOption is FAglyphBitmap (any
// other value counts as FA_GLYPH_BITMAP_OPTIONAL).
// Returns 1, or 0 when there is nothing to iterate (no store, no font, a size below 0.2 pixels, a null string);
// after 0 the iterator is set so that faTextIterNext returns 0.
int faTextIterInit(FAcontext* s, FAtextIter* iter, float x, float y, const char* str, const char* end,
                   int bitmapOption);
// Steps to the next character. Returns 0 when the string is done — including when its remaining bytes hold no
// complete character (cut inside a sequence, or invalid UTF-8). Otherwise 1 with iter->codepoint, iter->str and
// the pen (x, y before, nextx, nexty after) set; when the glyph could be had, *quad is its quad and
// iter->prevGlyphIndex its glyph index (0 for an empty glyph: a codepoint no font has, drawn as a zero-sized quad);
// when it could not (REQUIRED and the atlas is full), prevGlyphIndex is -1, *quad is untouched and the pen does
// not move: grow or reset the atlas, restore the iterator as it was before this call and step again.
int faTextIterNext(FAcontext* s, FAtextIter* iter, FAquad* quad);

// Draws the atlas as one quad at (x, y) over a faint background, with the skyline nodes marked in red.
void faDrawDebug(FAcontext* s, float x, float y);

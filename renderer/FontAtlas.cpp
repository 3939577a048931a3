// Font store: fonts, glyph cache, skyline atlas, blur, texture and batch. The layout is in FontLayout.cpp.

#include "renderer/FontAtlas_p.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

// ---------------------------------------------------------------------------------------------------------------
// Small conversions (float inputs may be anything: no out-of-range casts)
// ---------------------------------------------------------------------------------------------------------------

static short fa__sat16i(int64_t v) { return short(std::clamp<int64_t>(v, -32768, 32767)); }

static float fa__finite(float v) { return std::isfinite(v) ? v : 0.f; }

// ---------------------------------------------------------------------------------------------------------------
// Scratch arena (the truetype reader's memory)
// ---------------------------------------------------------------------------------------------------------------

// Under AddressSanitizer the unused part of the arena is poisoned, so that a read or write past one of the reader's
// allocations is caught even though they all share one block.
#if defined(__SANITIZE_ADDRESS__)
#define FA_ARENA_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FA_ARENA_CHECKED 1
#endif
#endif
#ifdef FA_ARENA_CHECKED
#include <sanitizer/asan_interface.h>
#endif

static void fa__emptyScratch(FAcontext* s)
{
  s->nscratch = 0;
#ifdef FA_ARENA_CHECKED
  if (s->scratch) ASAN_POISON_MEMORY_REGION(s->scratch, FA_SCRATCH_SIZE);
#endif
}

static uint64_t fa__tmpround(size_t size) { return (uint64_t(size) + 15) & ~uint64_t(15); }

// Reports that the arena would have had to hold need bytes.
static void fa__tmpfull(FAcontext* s, uint64_t need)
{
  if (s->handleError) s->handleError(s->errorUptr, FA_SCRATCH_FULL, int(std::min<uint64_t>(need, INT_MAX)));
}

void* fa__tmpalloc(size_t size, void* up)
{
  FAcontext* s = static_cast<FAcontext*>(up);
  if (!s || !s->scratch) return nullptr;
  const uint64_t need = uint64_t(s->nscratch) + fa__tmpround(size);
  if (need > uint64_t(FA_SCRATCH_SIZE))
  {
    fa__tmpfull(s, need);
    return nullptr;
  }
  unsigned char* p = s->scratch + s->nscratch;
  s->nscratch = int(need);
#ifdef FA_ARENA_CHECKED
  ASAN_UNPOISON_MEMORY_REGION(p, size);
#endif
  return p;
}

void fa__tmpfree(void*, void*) {} // the arena is emptied as a whole

int fa__tmpfits(const size_t* sizes, int count, void* up)
{
  FAcontext* s = static_cast<FAcontext*>(up);
  if (!s || !s->scratch) return 0;
  uint64_t need = uint64_t(s->nscratch);
  for (int i = 0; i < count; ++i) need += fa__tmpround(sizes[i]); // each below 2^40: no overflow
  if (need <= uint64_t(FA_SCRATCH_SIZE)) return 1;
  fa__tmpfull(s, need);
  return 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Adapter over the truetype reader
// ---------------------------------------------------------------------------------------------------------------

static int fa__tt_init(FAcontext*) { return 1; }
static int fa__tt_done(FAcontext*) { return 1; }

static int fa__tt_loadFont(FAcontext* s, FAfont* font, unsigned char* data, int dataSize, int fontIndex)
{
  FAfontCheck check{};
  if (!fa__checkFont(data, dataSize, fontIndex, &check)) return 0;
  const int offset = stbtt_GetFontOffsetForIndex(data, fontIndex);
  if (offset < 0 || offset != check.fontstart) return 0;
  font->font.userdata = s;
  if (!stbtt_InitFont(&font->font, data, offset)) return 0;
  // The reader must use the tables that were checked.
  if (font->font.index_map != check.indexMap || font->font.numGlyphs != check.tables.numGlyphs) return 0;
  if (!check.kernUsable) font->font.kern = 0;
  if (check.tables.cffLength > 0 && !fa__useCheckedCff(&font->font, data, &check.tables)) return 0;
  font->tables = check.tables;
  return 1;
}

static void fa__tt_getFontVMetrics(FAfont* font, int* ascent, int* descent, int* lineGap)
{
  stbtt_GetFontVMetrics(&font->font, ascent, descent, lineGap);
}

float fa__tt_getPixelHeightScale(FAfont* font, float size)
{
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(&font->font, &ascent, &descent, &lineGap);
  return size / float(ascent - descent); // ascent > descent is checked when the font is added
}

// 0 also for an index the font does not have or a glyph whose outline is damaged: both count as missing.
static int fa__tt_getGlyphIndex(FAfont* font, unsigned int codepoint)
{
  if (codepoint > 0x10FFFF) return 0;
  const int g = stbtt_FindGlyphIndex(&font->font, int(codepoint));
  if (g <= 0 || g >= font->tables.numGlyphs) return 0;
  if (!fa__checkGlyph(font->data, &font->tables, g)) return 0;
  return g;
}

static int fa__tt_buildGlyphBitmap(FAfont* font, int glyph, float scale, int* advance, int* lsb, int* x0, int* y0,
                                   int* x1, int* y1)
{
  stbtt_GetGlyphHMetrics(&font->font, glyph, advance, lsb);
  stbtt_GetGlyphBitmapBox(&font->font, glyph, scale, scale, x0, y0, x1, y1);
  return 1;
}

static void fa__tt_renderGlyphBitmap(FAfont* font, unsigned char* output, int outWidth, int outHeight, int outStride,
                                     float scaleX, float scaleY, int glyph)
{
  fa__stbttMakeGlyphBitmap(&font->font, output, outWidth, outHeight, outStride, scaleX, scaleY, glyph);
}

int fa__tt_getGlyphKernAdvance(FAfont* font, int glyph1, int glyph2)
{
  return fa__stbttKernTableAdvance(&font->font, glyph1, glyph2);
}

static unsigned int fa__hashint(unsigned int a)
{
  a += ~(a << 15);
  a ^= (a >> 10);
  a += (a << 3);
  a ^= (a >> 6);
  a += ~(a << 11);
  a ^= (a >> 16);
  return a;
}

// ---------------------------------------------------------------------------------------------------------------
// Skyline atlas
// ---------------------------------------------------------------------------------------------------------------

static FAatlas* fa__allocAtlas(int width, int height, int nnodes)
{
  FAatlas* atlas = static_cast<FAatlas*>(std::calloc(1, sizeof(FAatlas)));
  if (!atlas) return nullptr;
  atlas->width = width;
  atlas->height = height;
  atlas->nodes = static_cast<FAatlasNode*>(std::calloc(size_t(nnodes), sizeof(FAatlasNode)));
  if (!atlas->nodes)
  {
    std::free(atlas);
    return nullptr;
  }
  atlas->cnodes = nnodes;
  atlas->nodes[0] = {0, 0, short(width)};
  atlas->nnodes = 1;
  return atlas;
}

static void fa__deleteAtlas(FAatlas* atlas)
{
  if (!atlas) return;
  std::free(atlas->nodes);
  std::free(atlas);
}

// Room for count nodes (0 -> 8, else doubling).
static int fa__atlasReserve(FAatlas* atlas, int count)
{
  if (count <= atlas->cnodes) return 1;
  const int cnodes = atlas->cnodes == 0 ? 8 : atlas->cnodes * 2;
  void* nodes = std::realloc(atlas->nodes, sizeof(FAatlasNode) * size_t(cnodes));
  if (!nodes) return 0;
  atlas->nodes = static_cast<FAatlasNode*>(nodes);
  atlas->cnodes = cnodes;
  return 1;
}

static int fa__atlasInsertNode(FAatlas* atlas, int idx, int x, int y, int w)
{
  if (!fa__atlasReserve(atlas, atlas->nnodes + 1)) return 0;
  std::memmove(atlas->nodes + idx + 1, atlas->nodes + idx, sizeof(FAatlasNode) * size_t(atlas->nnodes - idx));
  atlas->nodes[idx] = {short(x), short(y), short(w)};
  atlas->nnodes++;
  return 1;
}

static void fa__atlasRemoveNode(FAatlas* atlas, int idx)
{
  std::memmove(atlas->nodes + idx, atlas->nodes + idx + 1, sizeof(FAatlasNode) * size_t(atlas->nnodes - idx - 1));
  atlas->nnodes--;
}

static void fa__atlasReset(FAatlas* atlas, int width, int height)
{
  atlas->width = width;
  atlas->height = height;
  atlas->nodes[0] = {0, 0, short(width)};
  atlas->nnodes = 1;
}

// y at which a w x h rectangle fits on node i, or -1.
static int fa__atlasRectFits(const FAatlas* atlas, int i, int w, int h)
{
  if (atlas->nodes[i].x + w > atlas->width) return -1;
  int y = atlas->nodes[i].y;
  int left = w;
  while (left > 0)
  {
    if (i == atlas->nnodes) return -1;
    y = std::max<int>(y, atlas->nodes[i].y);
    if (y + h > atlas->height) return -1;
    left -= atlas->nodes[i].width;
    ++i;
  }
  return y;
}

static int fa__atlasAddSkylineLevel(FAatlas* atlas, int idx, int x, int y, int w, int h)
{
  if (!fa__atlasInsertNode(atlas, idx, x, y + h, w)) return 0;
  for (int i = idx + 1; i < atlas->nnodes; ++i)
  {
    const int prevEnd = atlas->nodes[i - 1].x + atlas->nodes[i - 1].width;
    if (atlas->nodes[i].x >= prevEnd) break;
    const int shrink = prevEnd - atlas->nodes[i].x;
    atlas->nodes[i].x = short(atlas->nodes[i].x + shrink);
    atlas->nodes[i].width = short(atlas->nodes[i].width - shrink);
    if (atlas->nodes[i].width > 0) break;
    fa__atlasRemoveNode(atlas, i);
    --i;
  }
  for (int i = 0; i < atlas->nnodes - 1; ++i)
  {
    if (atlas->nodes[i].y != atlas->nodes[i + 1].y) continue;
    atlas->nodes[i].width = short(atlas->nodes[i].width + atlas->nodes[i + 1].width);
    fa__atlasRemoveNode(atlas, i + 1);
    --i;
  }
  return 1;
}

static int fa__atlasAddRect(FAatlas* atlas, int w, int h, int* rx, int* ry)
{
  if (w <= 0 || h <= 0 || w > atlas->width || h > atlas->height) return 0;
  int besth = atlas->height, bestw = atlas->width, besti = -1, bestx = -1, besty = -1;
  for (int i = 0; i < atlas->nnodes; ++i)
  {
    const int y = fa__atlasRectFits(atlas, i, w, h);
    if (y == -1) continue;
    if (y + h < besth || (y + h == besth && atlas->nodes[i].width < bestw))
    {
      besti = i;
      bestw = atlas->nodes[i].width;
      besth = y + h;
      bestx = atlas->nodes[i].x;
      besty = y;
    }
  }
  if (besti == -1) return 0;
  if (!fa__atlasAddSkylineLevel(atlas, besti, bestx, besty, w, h)) return 0;
  *rx = bestx;
  *ry = besty;
  return 1;
}

static void fa__addWhiteRect(FAcontext* s, int w, int h)
{
  int gx = 0, gy = 0;
  if (!fa__atlasAddRect(s->atlas, w, h, &gx, &gy)) return;
  const int width = s->params.width;
  for (int y = 0; y < h; ++y)
    std::memset(s->texData + size_t(gx) + size_t(gy + y) * size_t(width), 0xFF, size_t(w));
  s->dirtyRect[0] = std::min(s->dirtyRect[0], gx);
  s->dirtyRect[1] = std::min(s->dirtyRect[1], gy);
  s->dirtyRect[2] = std::max(s->dirtyRect[2], gx + w);
  s->dirtyRect[3] = std::max(s->dirtyRect[3], gy + h);
}

static bool fa__validAtlasSize(int width, int height)
{
  return width >= 2 && height >= 2 && width <= FA_MAX_ATLAS_SIZE && height <= FA_MAX_ATLAS_SIZE;
}

// ---------------------------------------------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------------------------------------------

static void fa__freeFont(FAfont* font)
{
  if (!font) return;
  std::free(font->glyphs);
  if (font->freeData) std::free(font->data);
  std::free(font);
}

static void fa__freeStore(FAcontext* s, bool callDelete)
{
  if (!s) return;
  if (callDelete && s->params.renderDelete) s->params.renderDelete(s->params.userPtr);
  for (int i = 0; i < s->nfonts; ++i) fa__freeFont(s->fonts[i]);
  fa__deleteAtlas(s->atlas);
  std::free(s->fonts);
  std::free(s->texData);
#ifdef FA_ARENA_CHECKED
  if (s->scratch) ASAN_UNPOISON_MEMORY_REGION(s->scratch, FA_SCRATCH_SIZE);
#endif
  std::free(s->scratch);
  fa__tt_done(s);
  std::free(s);
}

FAstate* fa__getState(FAcontext* s) { return &s->states[s->nstates - 1]; }

FAcontext* faCreateInternal(FAparams* params)
{
  if (!params || !fa__validAtlasSize(params->width, params->height)) return nullptr;
  FAcontext* s = static_cast<FAcontext*>(std::calloc(1, sizeof(FAcontext)));
  if (!s) return nullptr;
  s->params = *params;
  s->scratch = static_cast<unsigned char*>(std::malloc(FA_SCRATCH_SIZE));
  if (!s->scratch || !fa__tt_init(s))
  {
    fa__freeStore(s, false);
    return nullptr;
  }
  fa__emptyScratch(s);
  if (s->params.renderCreate && !s->params.renderCreate(s->params.userPtr, s->params.width, s->params.height))
  {
    fa__freeStore(s, false);
    return nullptr;
  }
  s->atlas = fa__allocAtlas(s->params.width, s->params.height, 256);
  s->fonts = static_cast<FAfont**>(std::calloc(4, sizeof(FAfont*)));
  s->texData = static_cast<unsigned char*>(std::calloc(size_t(s->params.width) * size_t(s->params.height), 1));
  if (!s->atlas || !s->fonts || !s->texData)
  {
    fa__freeStore(s, true);
    return nullptr;
  }
  s->cfonts = 4;
  s->itw = 1.f / float(s->params.width);
  s->ith = 1.f / float(s->params.height);
  s->dirtyRect[0] = s->params.width;
  s->dirtyRect[1] = s->params.height;
  s->dirtyRect[2] = 0;
  s->dirtyRect[3] = 0;
  fa__addWhiteRect(s, 2, 2);
  faPushState(s);
  faClearState(s);
  return s;
}

void faDeleteInternal(FAcontext* s) { fa__freeStore(s, true); }

void faSetErrorCallback(FAcontext* s, void (*callback)(void* uptr, int error, int val), void* uptr)
{
  if (!s) return;
  s->handleError = callback;
  s->errorUptr = uptr;
}

// ---------------------------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------------------------

void faPushState(FAcontext* s)
{
  if (!s) return;
  if (s->nstates >= FA_MAX_STATES)
  {
    if (s->handleError) s->handleError(s->errorUptr, FA_STATES_OVERFLOW, 0);
    return;
  }
  if (s->nstates > 0) s->states[s->nstates] = s->states[s->nstates - 1];
  s->nstates++;
}

void faPopState(FAcontext* s)
{
  if (!s) return;
  if (s->nstates <= 1)
  {
    if (s->handleError) s->handleError(s->errorUptr, FA_STATES_UNDERFLOW, 0);
    return;
  }
  s->nstates--;
}

void faClearState(FAcontext* s)
{
  if (!s) return;
  FAstate* state = fa__getState(s);
  state->size = 12.f;
  state->color = 0xFFFFFFFF;
  state->font = 0;
  state->blur = 0;
  state->spacing = 0;
  state->align = FA_ALIGN_LEFT | FA_ALIGN_BASELINE;
}

void faSetSize(FAcontext* s, float size)
{
  if (s) fa__getState(s)->size = size;
}
void faSetColor(FAcontext* s, unsigned int color)
{
  if (s) fa__getState(s)->color = color;
}
void faSetSpacing(FAcontext* s, float spacing)
{
  if (s) fa__getState(s)->spacing = fa__finite(spacing);
}
void faSetBlur(FAcontext* s, float blur)
{
  if (s) fa__getState(s)->blur = blur;
}
void faSetAlign(FAcontext* s, int align)
{
  if (s) fa__getState(s)->align = align;
}
void faSetFont(FAcontext* s, int font)
{
  if (s) fa__getState(s)->font = font;
}

// ---------------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------------

int faAddFont(FAcontext* s, const char* name, const char* path, int fontIndex)
{
  if (!s || !path) return -1;
  FILE* fp = std::fopen(path, "rb");
  if (!fp) return -1;
  unsigned char* data = nullptr;
  long size = -1;
  if (std::fseek(fp, 0, SEEK_END) == 0) size = std::ftell(fp);
  if (size > 0 && size <= INT_MAX && std::fseek(fp, 0, SEEK_SET) == 0)
  {
    data = static_cast<unsigned char*>(std::malloc(size_t(size)));
    if (data && std::fread(data, 1, size_t(size), fp) != size_t(size))
    {
      std::free(data);
      data = nullptr;
    }
  }
  std::fclose(fp);
  if (!data) return -1;
  return faAddFontMem(s, name, data, int(size), fontIndex, 1);
}

int faAddFontMem(FAcontext* s, const char* name, unsigned char* data, int dataSize, int fontIndex, int freeData)
{
  auto refuse = [&](FAfont* font) {
    if (font) std::free(font->glyphs);
    std::free(font);
    if (freeData) std::free(data);
    return -1;
  };
  if (!s || !data || dataSize <= 0) return refuse(nullptr);

  if (s->nfonts + 1 > s->cfonts)
  {
    const int cfonts = s->cfonts == 0 ? 8 : s->cfonts * 2;
    void* fonts = std::realloc(s->fonts, sizeof(FAfont*) * size_t(cfonts));
    if (!fonts) return refuse(nullptr);
    s->fonts = static_cast<FAfont**>(fonts);
    s->cfonts = cfonts;
  }

  FAfont* font = static_cast<FAfont*>(std::calloc(1, sizeof(FAfont)));
  if (!font) return refuse(nullptr);
  font->glyphs = static_cast<FAglyph*>(std::malloc(sizeof(FAglyph) * 256));
  if (!font->glyphs) return refuse(font);
  font->cglyphs = 256;
  if (name) std::strncpy(font->name, name, sizeof(font->name) - 1);
  font->name[sizeof(font->name) - 1] = '\0';
  font->data = data;
  font->dataSize = dataSize;
  font->freeData = freeData ? 1 : 0;
  std::fill(std::begin(font->lut), std::end(font->lut), -1);

  fa__emptyScratch(s);
  if (!fa__tt_loadFont(s, font, data, dataSize, fontIndex)) return refuse(font);

  int ascent = 0, descent = 0, lineGap = 0;
  fa__tt_getFontVMetrics(font, &ascent, &descent, &lineGap);
  const int fh = ascent - descent;
  if (fh <= 0) return refuse(font); // no height: every scale would divide by it
  font->ascender = float(ascent) / float(fh);
  font->descender = float(descent) / float(fh);
  font->lineh = float(fh + lineGap) / float(fh);

  s->fonts[s->nfonts++] = font;
  return s->nfonts - 1;
}

int faGetFontByName(FAcontext* s, const char* name)
{
  if (!s || !name) return -1;
  for (int i = 0; i < s->nfonts; ++i)
    if (std::strcmp(s->fonts[i]->name, name) == 0) return i;
  return -1;
}

int faAddFallbackFont(FAcontext* s, int base, int fallback)
{
  if (!s || base < 0 || base >= s->nfonts || fallback < 0 || fallback >= s->nfonts) return 0;
  FAfont* font = s->fonts[base];
  if (font->nfallbacks >= FA_MAX_FALLBACKS) return 0;
  font->fallbacks[font->nfallbacks++] = fallback;
  return 1;
}

FAfont* fa__stateFont(FAcontext* s, const FAstate* state)
{
  if (state->font < 0 || state->font >= s->nfonts) return nullptr;
  FAfont* font = s->fonts[state->font];
  return font->data ? font : nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Glyphs
// ---------------------------------------------------------------------------------------------------------------

// Blurs one line of n pixels, step bytes apart, forwards then backwards.
static void fa__blurLine(unsigned char* p, int n, int step, int alpha)
{
  if (n <= 0) return;
  int z = 0;
  for (int i = 1; i < n; ++i)
  {
    z += (alpha * ((int(p[i * step]) << 7) - z)) >> 16;
    p[i * step] = static_cast<unsigned char>(z >> 7);
  }
  p[(n - 1) * step] = 0;
  z = 0;
  for (int i = n - 2; i >= 0; --i)
  {
    z += (alpha * ((int(p[i * step]) << 7) - z)) >> 16;
    p[i * step] = static_cast<unsigned char>(z >> 7);
  }
  p[0] = 0;
}

static void fa__blur(unsigned char* dst, int w, int h, int stride, int blur)
{
  if (blur < 1) return;
  const float sigma = float(blur) * 0.57735f;
  const int alpha = int(65536.f * (1.f - std::exp(-2.3f / (sigma + 1.f))));
  for (int pass = 0; pass < 2; ++pass)
  {
    for (int x = 0; x < w; ++x) fa__blurLine(dst + x, h, stride, alpha);
    for (int y = 0; y < h; ++y) fa__blurLine(dst + size_t(y) * size_t(stride), w, 1, alpha);
  }
}

static FAglyph* fa__allocGlyph(FAfont* font)
{
  if (font->nglyphs + 1 > font->cglyphs)
  {
    const int cglyphs = font->cglyphs == 0 ? 8 : font->cglyphs * 2;
    void* glyphs = std::realloc(font->glyphs, sizeof(FAglyph) * size_t(cglyphs));
    if (!glyphs) return nullptr;
    font->glyphs = static_cast<FAglyph*>(glyphs);
    font->cglyphs = cglyphs;
  }
  font->nglyphs++;
  return &font->glyphs[font->nglyphs - 1];
}

FAglyph* fa__getGlyph(FAcontext* s, FAfont* font, unsigned int codepoint, short isize, short iblur,
                             int bitmapOption)
{
  if (isize < 2) return nullptr;
  if (bitmapOption != FA_GLYPH_BITMAP_REQUIRED) bitmapOption = FA_GLYPH_BITMAP_OPTIONAL;
  if (iblur > FA_MAX_BLUR) iblur = FA_MAX_BLUR;
  if (iblur < 0) iblur = 0;
  const int pad = iblur + 2;
  fa__emptyScratch(s);

  const unsigned int h = fa__hashint(codepoint) & (FA_HASH_SIZE - 1);
  FAglyph* glyph = nullptr;
  for (int i = font->lut[h]; i != -1; i = font->glyphs[i].next)
  {
    FAglyph* g = &font->glyphs[i];
    if (g->codepoint != codepoint || g->size != isize || g->blur != iblur) continue;
    if (bitmapOption == FA_GLYPH_BITMAP_OPTIONAL || (g->x0 >= 0 && g->y0 >= 0)) return g;
    glyph = g; // known by its metrics, rasterised below
    break;
  }

  FAfont* renderFont = font;
  int g = fa__tt_getGlyphIndex(font, codepoint);
  if (g == 0)
  {
    for (int i = 0; i < font->nfallbacks; ++i)
    {
      const int fb = font->fallbacks[i];
      if (fb < 0 || fb >= s->nfonts) continue;
      FAfont* fallbackFont = s->fonts[fb];
      const int fg = fa__tt_getGlyphIndex(fallbackFont, codepoint);
      if (fg != 0)
      {
        g = fg;
        renderFont = fallbackFont;
        break;
      }
    }
  }

  const float size = float(isize) / 10.f;
  const float scale = fa__tt_getPixelHeightScale(renderFont, size);
  int advance = 0, lsb = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  if (g != 0)
    fa__tt_buildGlyphBitmap(renderFont, g, scale, &advance, &lsb, &x0, &y0, &x1, &y1);
  else
    stbtt_GetGlyphHMetrics(&font->font, 0, &advance, &lsb);
  const int64_t gw = int64_t(x1) - x0 + 2 * pad;
  const int64_t gh = int64_t(y1) - y0 + 2 * pad;

  int gx = -1, gy = -1;
  if (g == 0)
    gx = gy = 0; // empty: nothing to place, never rasterised
  else if (bitmapOption == FA_GLYPH_BITMAP_REQUIRED)
  {
    const bool fits = gw <= s->atlas->width && gh <= s->atlas->height;
    int added = fits && fa__atlasAddRect(s->atlas, int(gw), int(gh), &gx, &gy);
    if (!added && s->handleError)
    {
      s->handleError(s->errorUptr, FA_ATLAS_FULL, 0);
      added = fits && fa__atlasAddRect(s->atlas, int(gw), int(gh), &gx, &gy);
    }
    if (!added) return nullptr;
  }

  if (!glyph)
  {
    glyph = fa__allocGlyph(font);
    if (!glyph) return nullptr;
    glyph->codepoint = codepoint;
    glyph->size = isize;
    glyph->blur = iblur;
    glyph->next = font->lut[h];
    font->lut[h] = font->nglyphs - 1;
  }
  glyph->index = g;
  if (g == 0)
  {
    glyph->x0 = glyph->y0 = glyph->x1 = glyph->y1 = 0;
    glyph->xoff = glyph->yoff = 0;
  }
  else
  {
    glyph->x0 = short(gx);
    glyph->y0 = short(gy);
    glyph->x1 = fa__sat16i(gx + gw);
    glyph->y1 = fa__sat16i(gy + gh);
    glyph->xoff = fa__sat16i(int64_t(x0) - pad);
    glyph->yoff = fa__sat16i(int64_t(y0) - pad);
  }
  glyph->xadv = fa__sat16(scale * float(advance) * 10.f);

  if (g == 0 || bitmapOption == FA_GLYPH_BITMAP_OPTIONAL) return glyph;

  // Rasterise inside the padding, then clear a one-pixel border so that filtering never bleeds into neighbours.
  const int width = s->params.width;
  const int iw = int(gw) - 2 * pad, ih = int(gh) - 2 * pad;
  unsigned char* dst = s->texData + size_t(gx + pad) + size_t(gy + pad) * size_t(width);
  if (iw > 0 && ih > 0) fa__tt_renderGlyphBitmap(renderFont, dst, iw, ih, width, scale, scale, g);
  dst = s->texData + size_t(gx) + size_t(gy) * size_t(width);
  for (int y = 0; y < int(gh); ++y)
  {
    dst[size_t(y) * size_t(width)] = 0;
    dst[size_t(gw) - 1 + size_t(y) * size_t(width)] = 0;
  }
  std::memset(dst, 0, size_t(gw));
  std::memset(dst + size_t(gh - 1) * size_t(width), 0, size_t(gw));

  if (iblur > 0)
  {
    fa__emptyScratch(s);
    fa__blur(dst, int(gw), int(gh), width, iblur);
  }

  s->dirtyRect[0] = std::min<int>(s->dirtyRect[0], glyph->x0);
  s->dirtyRect[1] = std::min<int>(s->dirtyRect[1], glyph->y0);
  s->dirtyRect[2] = std::max<int>(s->dirtyRect[2], glyph->x1);
  s->dirtyRect[3] = std::max<int>(s->dirtyRect[3], glyph->y1);
  return glyph;
}

// ---------------------------------------------------------------------------------------------------------------
// Texture, batch and atlas changes
// ---------------------------------------------------------------------------------------------------------------

static bool fa__dirty(const FAcontext* s) { return s->dirtyRect[0] < s->dirtyRect[2] && s->dirtyRect[1] < s->dirtyRect[3]; }

static void fa__emptyDirty(FAcontext* s)
{
  s->dirtyRect[0] = s->params.width;
  s->dirtyRect[1] = s->params.height;
  s->dirtyRect[2] = 0;
  s->dirtyRect[3] = 0;
}

// Without an update callback the dirty rectangle stays for faValidateTexture to pick up.
void fa__flush(FAcontext* s)
{
  if (fa__dirty(s) && s->params.renderUpdate)
  {
    s->params.renderUpdate(s->params.userPtr, s->dirtyRect, s->texData);
    fa__emptyDirty(s);
  }
  if (s->nverts > 0)
  {
    if (s->params.renderDraw) s->params.renderDraw(s->params.userPtr, s->verts, s->tcoords, s->colors, s->nverts);
    s->nverts = 0;
  }
}

static void fa__vertex(FAcontext* s, float x, float y, float u, float v, unsigned int c)
{
  s->verts[s->nverts * 2 + 0] = x;
  s->verts[s->nverts * 2 + 1] = y;
  s->tcoords[s->nverts * 2 + 0] = u;
  s->tcoords[s->nverts * 2 + 1] = v;
  s->colors[s->nverts] = c;
  s->nverts++;
}

void fa__pushQuad(FAcontext* s, const FAquad& q, unsigned int color)
{
  if (s->nverts + 6 > FA_VERTEX_CAPACITY) fa__flush(s);
  fa__vertex(s, q.x0, q.y0, q.s0, q.t0, color);
  fa__vertex(s, q.x1, q.y1, q.s1, q.t1, color);
  fa__vertex(s, q.x1, q.y0, q.s1, q.t0, color);
  fa__vertex(s, q.x0, q.y0, q.s0, q.t0, color);
  fa__vertex(s, q.x0, q.y1, q.s0, q.t1, color);
  fa__vertex(s, q.x1, q.y1, q.s1, q.t1, color);
}

void faGetAtlasSize(FAcontext* s, int* width, int* height)
{
  if (width) *width = s ? s->params.width : 0;
  if (height) *height = s ? s->params.height : 0;
}

int faExpandAtlas(FAcontext* s, int width, int height)
{
  if (!s) return 0;
  const int oldw = s->params.width, oldh = s->params.height;
  width = std::max(width, oldw);
  height = std::max(height, oldh);
  if (width == oldw && height == oldh) return 1;
  if (!fa__validAtlasSize(width, height)) return 0;

  fa__flush(s);
  // Everything that can fail comes before the resize callback, so a refusal leaves the store as it was.
  unsigned char* data = static_cast<unsigned char*>(std::calloc(size_t(width) * size_t(height), 1));
  if (!data) return 0;
  if (!fa__atlasReserve(s->atlas, s->atlas->nnodes + 1) ||
      (s->params.renderResize && !s->params.renderResize(s->params.userPtr, width, height)))
  {
    std::free(data);
    return 0;
  }
  for (int y = 0; y < oldh; ++y)
    std::memcpy(data + size_t(y) * size_t(width), s->texData + size_t(y) * size_t(oldw), size_t(oldw));
  if (width > oldw) fa__atlasInsertNode(s->atlas, s->atlas->nnodes, oldw, 0, width - oldw);
  std::free(s->texData);
  s->texData = data;

  s->atlas->width = width;
  s->atlas->height = height;
  int maxy = 0;
  for (int i = 0; i < s->atlas->nnodes; ++i) maxy = std::max<int>(maxy, s->atlas->nodes[i].y);
  s->dirtyRect[0] = 0;
  s->dirtyRect[1] = 0;
  s->dirtyRect[2] = oldw;
  s->dirtyRect[3] = maxy;
  s->params.width = width;
  s->params.height = height;
  s->itw = 1.f / float(width);
  s->ith = 1.f / float(height);
  return 1;
}

int faResetAtlas(FAcontext* s, int width, int height)
{
  if (!s || !fa__validAtlasSize(width, height)) return 0;
  fa__flush(s);
  unsigned char* data = static_cast<unsigned char*>(std::calloc(size_t(width) * size_t(height), 1));
  if (!data) return 0;
  if (s->params.renderResize && !s->params.renderResize(s->params.userPtr, width, height))
  {
    std::free(data);
    return 0;
  }
  fa__atlasReset(s->atlas, width, height);
  std::free(s->texData);
  s->texData = data;
  s->params.width = width;
  s->params.height = height;
  s->itw = 1.f / float(width);
  s->ith = 1.f / float(height);
  fa__emptyDirty(s);
  for (int i = 0; i < s->nfonts; ++i)
  {
    s->fonts[i]->nglyphs = 0;
    std::fill(std::begin(s->fonts[i]->lut), std::end(s->fonts[i]->lut), -1);
  }
  fa__addWhiteRect(s, 2, 2);
  return 1;
}

const unsigned char* faGetTextureData(FAcontext* s, int* width, int* height)
{
  faGetAtlasSize(s, width, height);
  return s ? s->texData : nullptr;
}

int faValidateTexture(FAcontext* s, int* dirty)
{
  if (!s || !fa__dirty(s)) return 0;
  if (dirty) std::memcpy(dirty, s->dirtyRect, sizeof(s->dirtyRect));
  fa__emptyDirty(s);
  return 1;
}

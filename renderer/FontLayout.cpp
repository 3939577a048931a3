// Font store layout: UTF-8 decoding, glyph quads, alignment, the text iterator, bounds, metrics and drawing.

#include "renderer/FontAtlas_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------------------------------------------------------
// UTF-8 (Hoehrmann's DFA: byte classes, then transitions in steps of 12; 0 accepts, 12 rejects for good)
// ---------------------------------------------------------------------------------------------------------------

static unsigned int fa__decutf8(unsigned int* state, unsigned int* codep, unsigned int byte)
{
  static const unsigned char table[] = {
    // Byte classes.
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 00..1F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 20..3F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 40..5F
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 60..7F
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, // 80..9F
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, // A0..BF
    8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // C0..DF
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3, 11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, // E0..FF
    // Transitions: state (a multiple of 12) + class.
    0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72,     // accept
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,    // reject
    12, 0, 12, 12, 12, 12, 12, 0, 12, 0, 12, 12,       // one continuation byte left
    12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,    // two left
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12,    // after E0: A0..BF
    12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,    // after ED: 80..9F (no surrogates)
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,    // after F0: 90..BF
    12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,    // after F1..F3: three left
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,    // after F4: 80..8F (up to U+10FFFF)
  };
  const unsigned int type = table[byte & 0xFF];
  *codep = (*state != 0) ? (byte & 0x3Fu) | (*codep << 6) : (0xFFu >> type) & byte;
  *state = table[256 + *state + type];
  return *state;
}

// ---------------------------------------------------------------------------------------------------------------
// Glyph quads and alignment
// ---------------------------------------------------------------------------------------------------------------

static void fa__getQuad(FAcontext* s, FAfont* font, int prevGlyphIndex, const FAglyph* glyph, float scale,
                        float spacing, float* x, float* y, FAquad* q)
{
  if (prevGlyphIndex != -1)
  {
    const float adv = float(fa__tt_getGlyphKernAdvance(font, prevGlyphIndex, glyph->index)) * scale;
    *x += fa__truncf(adv + spacing + 0.5f);
  }

  const bool topLeft = (s->params.flags & FA_ZERO_TOPLEFT) != 0;
  if (glyph->x1 - glyph->x0 < 2 || glyph->y1 - glyph->y0 < 2)
  {
    // An empty glyph: a zero-sized quad at the pen.
    const float rx = fa__truncf(*x), ry = fa__truncf(*y);
    *q = {rx, ry, 0, 0, rx, ry, 0, 0};
  }
  else
  {
    const float xoff = float(glyph->xoff + 1), yoff = float(glyph->yoff + 1);
    const float x0 = float(glyph->x0 + 1), y0 = float(glyph->y0 + 1);
    const float x1 = float(glyph->x1 - 1), y1 = float(glyph->y1 - 1);
    const float rx = fa__truncf(*x + xoff);
    if (topLeft)
    {
      const float ry = fa__truncf(*y + yoff);
      q->x0 = rx;
      q->y0 = ry;
      q->x1 = rx + x1 - x0;
      q->y1 = ry + y1 - y0;
    }
    else
    {
      const float ry = fa__truncf(*y - yoff);
      q->x0 = rx;
      q->y0 = ry;
      q->x1 = rx + x1 - x0;
      q->y1 = ry - y1 + y0;
    }
    q->s0 = x0 * s->itw;
    q->t0 = y0 * s->ith;
    q->s1 = x1 * s->itw;
    q->t1 = y1 * s->ith;
  }
  *x += fa__truncf(float(glyph->xadv) / 10.f + 0.5f);
}

static float fa__getVertAlign(FAcontext* s, FAfont* font, int align, short isize)
{
  const float size = float(isize) / 10.f;
  float v = 0.f;
  if (align & FA_ALIGN_TOP)
    v = font->ascender * size;
  else if (align & FA_ALIGN_MIDDLE)
    v = (font->ascender + font->descender) / 2.f * size;
  else if (align & FA_ALIGN_BASELINE)
    v = 0.f;
  else if (align & FA_ALIGN_BOTTOM)
    v = font->descender * size;
  return (s->params.flags & FA_ZERO_TOPLEFT) ? v : -v;
}

// ---------------------------------------------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------------------------------------------

int faTextIterInit(FAcontext* s, FAtextIter* iter, float x, float y, const char* str, const char* end,
                   int bitmapOption)
{
  if (!iter) return 0;
  std::memset(iter, 0, sizeof(*iter));
  iter->prevGlyphIndex = -1;
  if (!s || !str) return 0;
  const FAstate* state = fa__getState(s);
  FAfont* font = fa__stateFont(s, state);
  const short isize = fa__isize(state->size);
  if (!font || isize < 2) return 0;

  iter->font = font;
  iter->isize = isize;
  iter->iblur = fa__iblur(state->blur);
  iter->scale = fa__tt_getPixelHeightScale(font, float(isize) / 10.f);

  if (state->align & FA_ALIGN_LEFT)
  {
  }
  else if (state->align & FA_ALIGN_RIGHT)
    x -= faTextBounds(s, x, y, str, end, nullptr);
  else if (state->align & FA_ALIGN_CENTER)
    x -= faTextBounds(s, x, y, str, end, nullptr) * 0.5f;
  y += fa__getVertAlign(s, font, state->align, isize);

  if (!end) end = str + std::strlen(str);
  iter->x = iter->nextx = x;
  iter->y = iter->nexty = y;
  iter->spacing = state->spacing;
  iter->str = str;
  iter->next = str;
  iter->end = end;
  iter->codepoint = 0;
  iter->prevGlyphIndex = -1;
  iter->bitmapOption = bitmapOption;
  return 1;
}

int faTextIterNext(FAcontext* s, FAtextIter* iter, FAquad* quad)
{
  if (!s || !iter || !iter->font) return 0;
  const char* str = iter->next;
  if (str == iter->end) return 0;
  iter->str = iter->next;
  bool complete = false;
  for (; str != iter->end; ++str)
  {
    if (fa__decutf8(&iter->utf8state, &iter->codepoint, static_cast<unsigned char>(*str))) continue;
    ++str;
    complete = true;
    break;
  }
  if (!complete)
  {
    // No whole character left (cut inside a sequence, or an invalid byte): the string ends here.
    iter->next = iter->end;
    return 0;
  }
  iter->x = iter->nextx;
  iter->y = iter->nexty;
  FAglyph* glyph = fa__getGlyph(s, iter->font, iter->codepoint, iter->isize, iter->iblur, iter->bitmapOption);
  FAquad scratchQuad;
  if (glyph)
    fa__getQuad(s, iter->font, iter->prevGlyphIndex, glyph, iter->scale, iter->spacing, &iter->nextx, &iter->nexty,
                quad ? quad : &scratchQuad);
  iter->prevGlyphIndex = glyph ? glyph->index : -1;
  iter->next = str;
  return 1;
}

float faDrawText(FAcontext* s, float x, float y, const char* str, const char* end)
{
  FAtextIter iter;
  if (!faTextIterInit(s, &iter, x, y, str, end, FA_GLYPH_BITMAP_REQUIRED)) return x;
  const unsigned int color = fa__getState(s)->color;
  FAquad q{};
  while (faTextIterNext(s, &iter, &q))
  {
    // A glyph that did not fit or has no bitmap adds nothing.
    if (iter.prevGlyphIndex <= 0) continue;
    fa__pushQuad(s, q, color);
  }
  fa__flush(s);
  return iter.nextx;
}

float faTextBounds(FAcontext* s, float x, float y, const char* str, const char* end, float* bounds)
{
  if (bounds)
  {
    bounds[0] = bounds[2] = x;
    bounds[1] = bounds[3] = y;
  }
  if (!s || !str) return 0;
  const FAstate* state = fa__getState(s);
  FAfont* font = fa__stateFont(s, state);
  const short isize = fa__isize(state->size);
  if (!font || isize < 2) return 0;
  const short iblur = fa__iblur(state->blur);
  const float scale = fa__tt_getPixelHeightScale(font, float(isize) / 10.f);
  const bool topLeft = (s->params.flags & FA_ZERO_TOPLEFT) != 0;

  y += fa__getVertAlign(s, font, state->align, isize);
  float minx = x, maxx = x, miny = y, maxy = y;
  const float startx = x;
  if (!end) end = str + std::strlen(str);

  unsigned int utf8state = 0, codepoint = 0;
  int prevGlyphIndex = -1;
  for (; str != end; ++str)
  {
    if (fa__decutf8(&utf8state, &codepoint, static_cast<unsigned char>(*str))) continue;
    FAglyph* glyph = fa__getGlyph(s, font, codepoint, isize, iblur, FA_GLYPH_BITMAP_OPTIONAL);
    if (glyph)
    {
      FAquad q{};
      fa__getQuad(s, font, prevGlyphIndex, glyph, scale, state->spacing, &x, &y, &q);
      minx = std::min(minx, q.x0);
      maxx = std::max(maxx, q.x1);
      if (topLeft)
      {
        miny = std::min(miny, q.y0);
        maxy = std::max(maxy, q.y1);
      }
      else
      {
        miny = std::min(miny, q.y1);
        maxy = std::max(maxy, q.y0);
      }
    }
    prevGlyphIndex = glyph ? glyph->index : -1;
  }

  const float advance = x - startx;
  if (state->align & FA_ALIGN_LEFT)
  {
  }
  else if (state->align & FA_ALIGN_RIGHT)
  {
    minx -= advance;
    maxx -= advance;
  }
  else if (state->align & FA_ALIGN_CENTER)
  {
    minx -= advance * 0.5f;
    maxx -= advance * 0.5f;
  }
  if (bounds)
  {
    bounds[0] = minx;
    bounds[1] = miny;
    bounds[2] = maxx;
    bounds[3] = maxy;
  }
  return advance;
}

void faVertMetrics(FAcontext* s, float* ascender, float* descender, float* lineh)
{
  if (!s) return;
  const FAstate* state = fa__getState(s);
  FAfont* font = fa__stateFont(s, state);
  if (!font) return;
  const float size = float(fa__isize(state->size)) / 10.f;
  if (ascender) *ascender = font->ascender * size;
  if (descender) *descender = font->descender * size;
  if (lineh) *lineh = font->lineh * size;
}

void faLineBounds(FAcontext* s, float y, float* miny, float* maxy)
{
  if (!s) return;
  const FAstate* state = fa__getState(s);
  FAfont* font = fa__stateFont(s, state);
  if (!font) return;
  const short isize = fa__isize(state->size);
  const float size = float(isize) / 10.f;
  y += fa__getVertAlign(s, font, state->align, isize);
  float lo, hi;
  if (s->params.flags & FA_ZERO_TOPLEFT)
  {
    lo = y - font->ascender * size;
    hi = lo + font->lineh * size;
  }
  else
  {
    hi = y + font->descender * size;
    lo = hi - font->lineh * size;
  }
  if (miny) *miny = lo;
  if (maxy) *maxy = hi;
}

void faDrawDebug(FAcontext* s, float x, float y)
{
  if (!s) return;
  const float w = float(s->params.width), h = float(s->params.height);
  // The white rectangle's centre texel gives solid colour.
  const float u = s->itw, v = s->ith;
  fa__pushQuad(s, {x, y, u, v, x + w, y + h, u, v}, 0x0FFFFFFF);
  fa__pushQuad(s, {x, y, 0, 0, x + w, y + h, 1, 1}, 0xFFFFFFFF);
  for (int i = 0; i < s->atlas->nnodes; ++i)
  {
    const FAatlasNode& n = s->atlas->nodes[i];
    fa__pushQuad(s, {x + n.x, y + n.y, u, v, x + n.x + n.width, y + n.y + 1, u, v}, 0xC00000FF);
  }
  fa__flush(s);
}

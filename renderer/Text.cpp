// Text: fonts of the context's store, text settings, drawing as textured triangles, measuring and row breaking.
// Glyphs are rasterised at the size they appear on screen: the store works in device pixels, the caller in
// logical units, and every call converts with the scale s (font scale of the transform times the pixel ratio).

#include "renderer/FontAtlas.h"
#include "renderer/VectorRenderer_p.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kMinTextScale = 1e-4f;

float quantize(float a, float d) { return static_cast<float>(static_cast<int>(a / d + 0.5f)) * d; }

float getFontScale(VRstate* state) { return std::fmin(quantize(vr__getAverageScale(state->xform), 0.01f), 4.0f); }

// The call's scale; 0 when the transform leaves text no size (nothing can be drawn or measured then).
float textScale(VRcontext* ctx)
{
  const float s = getFontScale(vr__getState(ctx)) * ctx->devicePxRatio;
  return (std::isfinite(s) && s >= kMinTextScale) ? s : 0.0f;
}

void setupStore(VRcontext* ctx, float scale)
{
  VRstate* state = vr__getState(ctx);
  faSetSize(ctx->fs, state->fontSize * scale);
  faSetSpacing(ctx->fs, state->letterSpacing * scale);
  faSetBlur(ctx->fs, state->fontBlur * scale);
  faSetAlign(ctx->fs, state->textAlign);
  faSetFont(ctx->fs, state->fontId);
}

void flushTextTexture(VRcontext* ctx)
{
  int dirty[4];
  if (!faValidateTexture(ctx->fs, dirty)) return;
  const int fontImage = ctx->fontImages[ctx->fontImageIdx];
  if (fontImage == 0 || !ctx->params.renderUpdateTexture) return;
  int iw = 0, ih = 0;
  const unsigned char* data = faGetTextureData(ctx->fs, &iw, &ih);
  ctx->params.renderUpdateTexture(ctx->params.userPtr, fontImage, dirty[0], dirty[1], dirty[2] - dirty[0],
                                  dirty[3] - dirty[1], data);
}

int allocTextAtlas(VRcontext* ctx)
{
  flushTextTexture(ctx);
  if (ctx->fontImageIdx >= VR_MAX_FONTIMAGES - 1) return 0;
  int iw = 0, ih = 0;
  if (ctx->fontImages[ctx->fontImageIdx + 1] != 0)
  {
    vrImageSize(ctx, ctx->fontImages[ctx->fontImageIdx + 1], &iw, &ih);
  }
  else
  {
    vrImageSize(ctx, ctx->fontImages[ctx->fontImageIdx], &iw, &ih);
    if (iw > ih)
      ih *= 2;
    else
      iw *= 2;
    if (iw > VR_MAX_FONTIMAGE_SIZE || ih > VR_MAX_FONTIMAGE_SIZE) iw = ih = VR_MAX_FONTIMAGE_SIZE;
    if (iw <= 0 || ih <= 0 || !ctx->params.renderCreateTexture) return 0;
    const int image = ctx->params.renderCreateTexture(ctx->params.userPtr, VR_TEXTURE_ALPHA, iw, ih, 0, nullptr);
    if (image == 0) return 0;
    ctx->fontImages[ctx->fontImageIdx + 1] = image;
  }
  ++ctx->fontImageIdx;
  // The store is reset to the new size: every glyph is rasterised again into the new texture.
  return faResetAtlas(ctx->fs, iw, ih) ? 1 : 0;
}

// A glyph that found the atlas full is taken again from the same place once the atlas has grown; measuring
// goes on with whatever the step gave when it cannot grow.
void nextGlyphAfterGrowth(VRcontext* ctx, FAtextIter& iter, FAtextIter& prevIter, FAquad& q)
{
  if (iter.prevGlyphIndex < 0 && allocTextAtlas(ctx))
  {
    iter = prevIter;
    faTextIterNext(ctx->fs, &iter, &q);
  }
  prevIter = iter;
}

void renderText(VRcontext* ctx, VRvertex* verts, int nverts)
{
  if (nverts <= 0) return;
  VRstate* state = vr__getState(ctx);
  VRpaint paint = state->fill;
  paint.image = ctx->fontImages[ctx->fontImageIdx];
  paint.innerColor.a *= state->alpha;
  paint.outerColor.a *= state->alpha;
  if (ctx->params.renderTriangles)
    ctx->params.renderTriangles(ctx->params.userPtr, &paint, state->compositeOperation, &state->scissor, verts,
                                nverts, ctx->fringeWidth);
  ctx->drawCallCount++;
  ctx->textTriCount += nverts / 3;
}

// A font id of -1 (none) or one the store does not have draws and measures nothing.
bool haveFont(VRcontext* ctx)
{
  const int font = vr__getState(ctx)->fontId;
  return font >= 0 && font < ctx->fs->nfonts;
}

enum CodepointType
{
  VR_SPACE,
  VR_NEWLINE,
  VR_CHAR,
  VR_CJK_CHAR,
};

bool isWide(unsigned int c)
{
  return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3000 && c <= 0x30FF) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xAC00 && c <= 0xD7AF);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Store lifetime (used by the context)
// ---------------------------------------------------------------------------------------------------------------
FAcontext* vr__createFontStore()
{
  FAparams params;
  std::memset(&params, 0, sizeof(params));
  params.width = VR_INIT_FONTIMAGE_SIZE;
  params.height = VR_INIT_FONTIMAGE_SIZE;
  params.flags = FA_ZERO_TOPLEFT;
  return faCreateInternal(&params);
}

void vr__deleteFontStore(FAcontext* fs) { faDeleteInternal(fs); }

// ---------------------------------------------------------------------------------------------------------------
// Fonts and settings
// ---------------------------------------------------------------------------------------------------------------
int vrCreateFont(VRcontext* ctx, const char* name, const char* filename)
{
  return faAddFont(ctx->fs, name, filename, 0);
}

int vrCreateFontAtIndex(VRcontext* ctx, const char* name, const char* filename, int fontIndex)
{
  return faAddFont(ctx->fs, name, filename, fontIndex);
}

int vrCreateFontMem(VRcontext* ctx, const char* name, unsigned char* data, int ndata, int freeData)
{
  return faAddFontMem(ctx->fs, name, data, ndata, 0, freeData);
}

int vrCreateFontMemAtIndex(VRcontext* ctx, const char* name, unsigned char* data, int ndata, int fontIndex,
                           int freeData)
{
  return faAddFontMem(ctx->fs, name, data, ndata, fontIndex, freeData);
}

int vrFindFont(VRcontext* ctx, const char* name)
{
  if (!name) return -1;
  return faGetFontByName(ctx->fs, name);
}

int vrAddFallbackFontId(VRcontext* ctx, int baseFont, int fallbackFont)
{
  if (baseFont == -1 || fallbackFont == -1) return 0;
  return faAddFallbackFont(ctx->fs, baseFont, fallbackFont);
}

int vrAddFallbackFont(VRcontext* ctx, const char* baseFont, const char* fallbackFont)
{
  return vrAddFallbackFontId(ctx, vrFindFont(ctx, baseFont), vrFindFont(ctx, fallbackFont));
}

void vrFontSize(VRcontext* ctx, float size) { vr__getState(ctx)->fontSize = size; }
void vrFontBlur(VRcontext* ctx, float blur) { vr__getState(ctx)->fontBlur = blur; }
void vrTextLetterSpacing(VRcontext* ctx, float spacing) { vr__getState(ctx)->letterSpacing = spacing; }
void vrTextLineHeight(VRcontext* ctx, float lineHeight) { vr__getState(ctx)->lineHeight = lineHeight; }
void vrTextAlign(VRcontext* ctx, int align) { vr__getState(ctx)->textAlign = align; }
void vrFontFaceId(VRcontext* ctx, int font) { vr__getState(ctx)->fontId = font; }
void vrFontFace(VRcontext* ctx, const char* font) { vr__getState(ctx)->fontId = faGetFontByName(ctx->fs, font); }

// ---------------------------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------------------------
float vrText(VRcontext* ctx, float x, float y, const char* string, const char* end)
{
  VRstate* state = vr__getState(ctx);
  if (!haveFont(ctx) || !string) return x;
  const float scale = textScale(ctx);
  if (scale == 0.0f) return x;
  const float invscale = 1.0f / scale;
  if (!end) end = string + std::strlen(string);
  if (end < string) end = string;

  setupStore(ctx, scale);

  const long long bytes = static_cast<long long>(end - string);
  const long long cverts = (bytes > 2 ? bytes : 2) * 6;
  if (cverts > 0x7fffff00LL) return x;
  VRvertex* verts = vr__allocTempVerts(ctx, static_cast<int>(cverts));
  if (!verts) return x;

  FAtextIter iter, prevIter;
  FAquad q;
  faTextIterInit(ctx->fs, &iter, x * scale, y * scale, string, end, FA_GLYPH_BITMAP_REQUIRED);
  prevIter = iter;
  int nverts = 0;
  while (faTextIterNext(ctx->fs, &iter, &q))
  {
    if (iter.prevGlyphIndex == -1)
    {
      // The atlas is full: draw what was gathered, grow the atlas and take the same glyph again.
      if (nverts != 0)
      {
        renderText(ctx, verts, nverts);
        nverts = 0;
      }
      if (!allocTextAtlas(ctx)) break;
      iter = prevIter;
      faTextIterNext(ctx->fs, &iter, &q);
      if (iter.prevGlyphIndex == -1) break;
    }
    prevIter = iter;
    float c[4 * 2];
    vrTransformPoint(&c[0], &c[1], state->xform, q.x0 * invscale, q.y0 * invscale);
    vrTransformPoint(&c[2], &c[3], state->xform, q.x1 * invscale, q.y0 * invscale);
    vrTransformPoint(&c[4], &c[5], state->xform, q.x1 * invscale, q.y1 * invscale);
    vrTransformPoint(&c[6], &c[7], state->xform, q.x0 * invscale, q.y1 * invscale);
    if (nverts + 6 <= cverts)
    {
      VRvertex* v = &verts[nverts];
      v[0] = {c[0], c[1], q.s0, q.t0};
      v[1] = {c[4], c[5], q.s1, q.t1};
      v[2] = {c[2], c[3], q.s1, q.t0};
      v[3] = {c[0], c[1], q.s0, q.t0};
      v[4] = {c[6], c[7], q.s0, q.t1};
      v[5] = {c[4], c[5], q.s1, q.t1};
      nverts += 6;
    }
  }

  flushTextTexture(ctx);
  renderText(ctx, verts, nverts);
  return iter.nextx / scale;
}

void vrTextBox(VRcontext* ctx, float x, float y, float breakRowWidth, const char* string, const char* end)
{
  VRstate* state = vr__getState(ctx);
  if (!haveFont(ctx) || !string) return;
  const int oldAlign = state->textAlign;
  const int halign = state->textAlign & (VR_ALIGN_LEFT | VR_ALIGN_CENTER | VR_ALIGN_RIGHT);
  const int valign = state->textAlign & (VR_ALIGN_TOP | VR_ALIGN_MIDDLE | VR_ALIGN_BOTTOM | VR_ALIGN_BASELINE);
  float lineh = 0;
  vrTextMetrics(ctx, nullptr, nullptr, &lineh);
  state->textAlign = VR_ALIGN_LEFT | valign;

  VRtextRow rows[2];
  int nrows;
  while ((nrows = vrTextBreakLines(ctx, string, end, breakRowWidth, rows, 2)))
  {
    for (int i = 0; i < nrows; i++)
    {
      const VRtextRow* row = &rows[i];
      if (halign & VR_ALIGN_LEFT)
        vrText(ctx, x, y, row->start, row->end);
      else if (halign & VR_ALIGN_CENTER)
        vrText(ctx, x + breakRowWidth * 0.5f - row->width * 0.5f, y, row->start, row->end);
      else if (halign & VR_ALIGN_RIGHT)
        vrText(ctx, x + breakRowWidth - row->width, y, row->start, row->end);
      y += lineh * state->lineHeight;
    }
    string = rows[nrows - 1].next;
  }
  state->textAlign = oldAlign;
}

// ---------------------------------------------------------------------------------------------------------------
// Measuring
// ---------------------------------------------------------------------------------------------------------------
int vrTextGlyphPositions(VRcontext* ctx, float x, float y, const char* string, const char* end,
                         VRglyphPosition* positions, int maxPositions)
{
  if (!haveFont(ctx) || !string || !positions || maxPositions <= 0) return 0;
  const float scale = textScale(ctx);
  if (scale == 0.0f) return 0;
  const float invscale = 1.0f / scale;
  if (!end) end = string + std::strlen(string);
  if (end < string) end = string;
  if (string == end) return 0;

  setupStore(ctx, scale);

  FAtextIter iter, prevIter;
  FAquad q;
  int npos = 0;
  faTextIterInit(ctx->fs, &iter, x * scale, y * scale, string, end, FA_GLYPH_BITMAP_OPTIONAL);
  prevIter = iter;
  while (faTextIterNext(ctx->fs, &iter, &q))
  {
    nextGlyphAfterGrowth(ctx, iter, prevIter, q);
    positions[npos].str = iter.str;
    positions[npos].x = iter.x * invscale;
    positions[npos].minx = std::fmin(iter.x, q.x0) * invscale;
    positions[npos].maxx = std::fmax(iter.nextx, q.x1) * invscale;
    npos++;
    if (npos >= maxPositions) break;
  }
  return npos;
}

int vrTextBreakLines(VRcontext* ctx, const char* string, const char* end, float breakRowWidth, VRtextRow* rows,
                     int maxRows)
{
  if (maxRows <= 0 || !rows || !haveFont(ctx) || !string) return 0;
  const float scale = textScale(ctx);
  if (scale == 0.0f) return 0;
  const float invscale = 1.0f / scale;
  if (!end) end = string + std::strlen(string);
  if (end < string) end = string;
  if (string == end) return 0;

  setupStore(ctx, scale);
  breakRowWidth *= scale;

  FAtextIter iter, prevIter;
  FAquad q;
  std::memset(&q, 0, sizeof(q));
  int nrows = 0;
  float rowStartX = 0, rowWidth = 0, rowMinX = 0, rowMaxX = 0;
  const char* rowStart = nullptr;
  const char* rowEnd = nullptr;
  const char* wordStart = nullptr;
  float wordStartX = 0, wordMinX = 0;
  const char* breakEnd = nullptr;
  float breakWidth = 0, breakMaxX = 0;
  int type = VR_SPACE, ptype = VR_SPACE;
  unsigned int pcodepoint = 0;

  faTextIterInit(ctx->fs, &iter, 0, 0, string, end, FA_GLYPH_BITMAP_OPTIONAL);
  prevIter = iter;
  while (faTextIterNext(ctx->fs, &iter, &q))
  {
    nextGlyphAfterGrowth(ctx, iter, prevIter, q);
    switch (iter.codepoint)
    {
    case 9:
    case 11:
    case 12:
    case 32:
    case 0x00a0: type = VR_SPACE; break;
    case 10: type = pcodepoint == 13 ? VR_SPACE : VR_NEWLINE; break;
    case 13: type = pcodepoint == 10 ? VR_SPACE : VR_NEWLINE; break;
    case 0x0085: type = VR_NEWLINE; break;
    default: type = isWide(iter.codepoint) ? VR_CJK_CHAR : VR_CHAR; break;
    }

    if (type == VR_NEWLINE)
    {
      rows[nrows].start = rowStart != nullptr ? rowStart : iter.str;
      rows[nrows].end = rowEnd != nullptr ? rowEnd : iter.str;
      rows[nrows].width = rowWidth * invscale;
      rows[nrows].minx = rowMinX * invscale;
      rows[nrows].maxx = rowMaxX * invscale;
      rows[nrows].next = iter.next;
      nrows++;
      if (nrows >= maxRows) return nrows;
      breakEnd = rowStart;
      breakWidth = 0.0;
      breakMaxX = 0.0;
      rowStart = nullptr;
      rowEnd = nullptr;
      rowWidth = 0;
      rowMinX = rowMaxX = 0;
    }
    else if (rowStart == nullptr)
    {
      if (type == VR_CHAR || type == VR_CJK_CHAR)
      {
        rowStartX = iter.x;
        rowStart = iter.str;
        rowEnd = iter.next;
        rowWidth = iter.nextx - rowStartX;
        rowMinX = q.x0 - rowStartX;
        rowMaxX = q.x1 - rowStartX;
        wordStart = iter.str;
        wordStartX = iter.x;
        wordMinX = q.x0;
        breakEnd = rowStart;
        breakWidth = 0.0;
        breakMaxX = 0.0;
      }
    }
    else
    {
      const float nextWidth = iter.nextx - rowStartX;
      // The row as it stands before this character: a break before it must not count it.
      const float prevRowWidth = rowWidth, prevRowMaxX = rowMaxX;

      if (type == VR_CHAR || type == VR_CJK_CHAR)
      {
        rowEnd = iter.next;
        rowWidth = iter.nextx - rowStartX;
        rowMaxX = q.x1 - rowStartX;
      }
      if ((ptype == VR_CHAR || ptype == VR_CJK_CHAR) && type == VR_SPACE)
      {
        breakEnd = iter.str;
        breakWidth = rowWidth;
        breakMaxX = rowMaxX;
      }
      else if (type == VR_CJK_CHAR)
      {
        breakEnd = iter.str;
        breakWidth = prevRowWidth;
        breakMaxX = prevRowMaxX;
      }
      if ((ptype == VR_SPACE && (type == VR_CHAR || type == VR_CJK_CHAR)) || type == VR_CJK_CHAR)
      {
        wordStart = iter.str;
        wordStartX = iter.x;
        wordMinX = q.x0;
      }

      if ((type == VR_CHAR || type == VR_CJK_CHAR) && nextWidth > breakRowWidth)
      {
        if (breakEnd == rowStart)
        {
          // A single word longer than the row: split it at this glyph.
          rows[nrows].start = rowStart;
          rows[nrows].end = iter.str;
          rows[nrows].width = prevRowWidth * invscale;
          rows[nrows].minx = rowMinX * invscale;
          rows[nrows].maxx = prevRowMaxX * invscale;
          rows[nrows].next = iter.str;
          nrows++;
          if (nrows >= maxRows) return nrows;
          rowStartX = iter.x;
          rowStart = iter.str;
          rowEnd = iter.next;
          rowWidth = iter.nextx - rowStartX;
          rowMinX = q.x0 - rowStartX;
          rowMaxX = q.x1 - rowStartX;
          wordStart = iter.str;
          wordStartX = iter.x;
          wordMinX = q.x0;
        }
        else
        {
          rows[nrows].start = rowStart;
          rows[nrows].end = breakEnd;
          rows[nrows].width = breakWidth * invscale;
          rows[nrows].minx = rowMinX * invscale;
          rows[nrows].maxx = breakMaxX * invscale;
          rows[nrows].next = wordStart;
          nrows++;
          if (nrows >= maxRows) return nrows;
          rowStartX = wordStartX;
          rowStart = wordStart;
          rowEnd = iter.next;
          rowWidth = iter.nextx - rowStartX;
          rowMinX = wordMinX - rowStartX;
          rowMaxX = q.x1 - rowStartX;
        }
        breakEnd = rowStart;
        breakWidth = 0.0;
        breakMaxX = 0.0;
      }
    }

    pcodepoint = iter.codepoint;
    ptype = type;
  }

  if (rowStart != nullptr)
  {
    rows[nrows].start = rowStart;
    rows[nrows].end = rowEnd;
    rows[nrows].width = rowWidth * invscale;
    rows[nrows].minx = rowMinX * invscale;
    rows[nrows].maxx = rowMaxX * invscale;
    rows[nrows].next = end;
    nrows++;
  }
  return nrows;
}

float vrTextBounds(VRcontext* ctx, float x, float y, const char* string, const char* end, float* bounds)
{
  if (!haveFont(ctx) || !string) return 0;
  const float scale = textScale(ctx);
  if (scale == 0.0f) return 0;
  const float invscale = 1.0f / scale;

  setupStore(ctx, scale);
  const float width = faTextBounds(ctx->fs, x * scale, y * scale, string, end, bounds);
  if (bounds)
  {
    // The height is the line's, not the glyphs'.
    faLineBounds(ctx->fs, y * scale, &bounds[1], &bounds[3]);
    for (int i = 0; i < 4; i++) bounds[i] *= invscale;
  }
  return width * invscale;
}

void vrTextBoxBounds(VRcontext* ctx, float x, float y, float breakRowWidth, const char* string, const char* end,
                     float* bounds)
{
  VRstate* state = vr__getState(ctx);
  const float scale = haveFont(ctx) ? textScale(ctx) : 0.0f;
  if (scale == 0.0f || !string)
  {
    if (bounds) bounds[0] = bounds[1] = bounds[2] = bounds[3] = 0.0f;
    return;
  }
  const float invscale = 1.0f / scale;
  const int oldAlign = state->textAlign;
  const int halign = state->textAlign & (VR_ALIGN_LEFT | VR_ALIGN_CENTER | VR_ALIGN_RIGHT);
  const int valign = state->textAlign & (VR_ALIGN_TOP | VR_ALIGN_MIDDLE | VR_ALIGN_BOTTOM | VR_ALIGN_BASELINE);
  float lineh = 0, rminy = 0, rmaxy = 0;
  float minx, miny, maxx, maxy;

  vrTextMetrics(ctx, nullptr, nullptr, &lineh);
  state->textAlign = VR_ALIGN_LEFT | valign;
  minx = maxx = x;
  miny = maxy = y;

  setupStore(ctx, scale);
  faLineBounds(ctx->fs, 0, &rminy, &rmaxy);
  rminy *= invscale;
  rmaxy *= invscale;

  VRtextRow rows[2];
  int nrows;
  while ((nrows = vrTextBreakLines(ctx, string, end, breakRowWidth, rows, 2)))
  {
    for (int i = 0; i < nrows; i++)
    {
      const VRtextRow* row = &rows[i];
      float dx = 0;
      if (halign & VR_ALIGN_LEFT)
        dx = 0;
      else if (halign & VR_ALIGN_CENTER)
        dx = breakRowWidth * 0.5f - row->width * 0.5f;
      else if (halign & VR_ALIGN_RIGHT)
        dx = breakRowWidth - row->width;
      const float rminx = x + row->minx + dx;
      const float rmaxx = x + row->maxx + dx;
      minx = std::fmin(minx, rminx);
      maxx = std::fmax(maxx, rmaxx);
      miny = std::fmin(miny, y + rminy);
      maxy = std::fmax(maxy, y + rmaxy);
      y += lineh * state->lineHeight;
    }
    string = rows[nrows - 1].next;
  }
  state->textAlign = oldAlign;
  if (bounds)
  {
    bounds[0] = minx;
    bounds[1] = miny;
    bounds[2] = maxx;
    bounds[3] = maxy;
  }
}

void vrTextMetrics(VRcontext* ctx, float* ascender, float* descender, float* lineh)
{
  if (!haveFont(ctx)) return;
  const float scale = textScale(ctx);
  if (scale == 0.0f) return;
  const float invscale = 1.0f / scale;

  setupStore(ctx, scale);
  float a = 0, d = 0, l = 0;
  faVertMetrics(ctx->fs, &a, &d, &l);
  if (ascender) *ascender = a * invscale;
  if (descender) *descender = d * invscale;
  if (lineh) *lineh = l * invscale;
}

// Checks of untrusted font data, made before the truetype reader (which trusts every offset it reads) sees it. The
// PostScript outlines of "OTTO" faces are checked in FontCheckCff.cpp.
//
// The reader finds tables by their offsets alone and follows glyph offsets, counts and flags without limits; these
// checks make sure that every read it will make lands inside the data, that composite glyphs cannot recurse without
// end, and that a glyph's points stay inside the box its bitmap is sized from.

#include "renderer/FontAtlas_p.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{

uint32_t rd16(const unsigned char* p) { return (uint32_t(p[0]) << 8) | p[1]; }
int32_t rds16(const unsigned char* p) { return int16_t(uint16_t(rd16(p))); }
uint32_t rd32(const unsigned char* p) { return (rd16(p) << 16) | rd16(p + 2); }

bool tagIs(const unsigned char* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

struct Table
{
  uint64_t offset = 0, length = 0;
  bool found = false;
};

// The first directory entry with the tag, as the reader finds it. False when the entry lies outside the data.
bool findTable(const unsigned char* data, uint64_t size, uint64_t fontstart, uint32_t numTables, const char* tag,
               Table* t)
{
  for (uint32_t i = 0; i < numTables; ++i)
  {
    const unsigned char* rec = data + fontstart + 12 + 16 * uint64_t(i);
    if (!tagIs(rec, tag)) continue;
    t->offset = rd32(rec + 8);
    t->length = rd32(rec + 12);
    t->found = true;
    // Offset 0 reads as "absent" to the reader.
    return t->offset > 0 && t->offset + t->length <= size;
  }
  return true;
}

// The character map subtable at sub, with avail bytes before the end of the cmap table.
bool checkCmapSubtable(const unsigned char* sub, uint64_t avail)
{
  if (avail < 2) return false;
  const uint32_t format = rd16(sub);
  switch (format)
  {
    case 0:
      return avail >= 6 && rd16(sub + 2) <= avail;
    case 6:
      return avail >= 10 && 10 + 2 * uint64_t(rd16(sub + 8)) <= avail;
    case 12:
    case 13:
      return avail >= 16 && 16 + 12 * uint64_t(rd32(sub + 12)) <= avail;
    case 4:
    {
      if (avail < 14) return false;
      const uint64_t segcount = rd16(sub + 6) >> 1;
      if (segcount == 0 || 16 + 8 * segcount > avail) return false;
      // The reader's binary search is driven by the stored search fields: every step must stay within the segments.
      const uint32_t entrySelector = rd16(sub + 10);
      if (entrySelector > 16) return false;
      uint64_t range = rd16(sub + 8) >> 1;
      uint64_t reach = rd16(sub + 12) >> 1;
      for (uint32_t k = 0; k < entrySelector; ++k)
      {
        range >>= 1;
        reach += range;
      }
      if (reach > segcount - 1) return false;
      for (uint64_t i = 0; i < segcount; ++i)
      {
        const uint64_t rangeOffsetAt = 16 + 6 * segcount + 2 * i;
        const uint32_t rangeOffset = rd16(sub + rangeOffsetAt);
        const uint32_t end = rd16(sub + 14 + 2 * i);
        const uint32_t start = rd16(sub + 16 + 2 * segcount + 2 * i);
        if (rangeOffset == 0 || start > end) continue;
        if (rangeOffsetAt + rangeOffset + 2 * uint64_t(end - start) + 2 > avail) return false;
      }
      return true;
    }
    default:
      return true; // formats the reader does not read map nothing
  }
}

} // namespace

int fa__checkFont(const unsigned char* data, int size, int fontIndex, FAfontCheck* out)
{
  if (!data || size < 12 || fontIndex < 0 || !out) return 0;
  const uint64_t n = uint64_t(size);

  uint64_t fontstart = 0;
  if (tagIs(data, "ttcf"))
  {
    const uint32_t version = rd32(data + 4);
    if (version != 0x00010000 && version != 0x00020000) return 0;
    const uint64_t faces = rd32(data + 8);
    if (uint64_t(fontIndex) >= faces || 12 + 4 * (uint64_t(fontIndex) + 1) > n) return 0;
    fontstart = rd32(data + 12 + 4 * uint64_t(fontIndex));
  }
  else if (fontIndex != 0)
    return 0;
  if (fontstart + 12 > n) return 0;
  const unsigned char* face = data + fontstart;
  // TrueType outlines (1.0 and 'true') or PostScript ones ("OTTO").
  const bool cff = tagIs(face, "OTTO");
  if (!(rd32(face) == 0x00010000 || tagIs(face, "true") || cff)) return 0;
  const uint32_t numTables = rd16(face + 4);
  if (fontstart + 12 + 16 * uint64_t(numTables) > n) return 0;

  Table cmap, loca, head, glyf, hhea, hmtx, kern, maxp, cffTable;
  if (!findTable(data, n, fontstart, numTables, "cmap", &cmap) ||
      !findTable(data, n, fontstart, numTables, "head", &head) ||
      !findTable(data, n, fontstart, numTables, "glyf", &glyf) ||
      !findTable(data, n, fontstart, numTables, "hhea", &hhea) ||
      !findTable(data, n, fontstart, numTables, "hmtx", &hmtx) ||
      !findTable(data, n, fontstart, numTables, "maxp", &maxp))
    return 0;
  if (!cmap.found || !head.found || !hhea.found || !hmtx.found || !maxp.found) return 0;
  if (cff)
  {
    // The reader takes a face with a glyph table for TrueType whatever its version says.
    if (glyf.found || !findTable(data, n, fontstart, numTables, "CFF ", &cffTable) || !cffTable.found) return 0;
  }
  else if (!glyf.found || !findTable(data, n, fontstart, numTables, "loca", &loca) || !loca.found)
    return 0;

  if (head.length < 54 || hhea.length < 36 || maxp.length < 6 || cmap.length < 4) return 0;
  const uint32_t locFormat = cff ? 0 : rd16(data + head.offset + 50);
  if (locFormat > 1) return 0;
  const uint64_t numGlyphs = rd16(data + maxp.offset + 4);
  if (numGlyphs == 0) return 0;
  if (!cff && loca.length < (numGlyphs + 1) * (locFormat ? 4 : 2)) return 0;
  const uint64_t numLong = rd16(data + hhea.offset + 34);
  if (numLong == 0) return 0;
  const uint64_t hmtxNeed = numLong < numGlyphs ? 4 * numLong + 2 * (numGlyphs - numLong) : 4 * numGlyphs;
  if (hmtx.length < hmtxNeed) return 0;

  // The subtable the reader picks: the last Unicode one (Windows BMP or full, or any Unicode-platform entry).
  const unsigned char* cm = data + cmap.offset;
  const uint64_t records = rd16(cm + 2);
  if (4 + 8 * records > cmap.length) return 0;
  uint64_t chosen = 0;
  for (uint64_t i = 0; i < records; ++i)
  {
    const unsigned char* rec = cm + 4 + 8 * i;
    const uint32_t platform = rd16(rec), encoding = rd16(rec + 2);
    if ((platform == 3 && (encoding == 1 || encoding == 10)) || platform == 0) chosen = rd32(rec + 4);
  }
  if (chosen == 0 || chosen >= cmap.length) return 0;
  if (!checkCmapSubtable(cm + chosen, cmap.length - chosen)) return 0;

  // A 'kern' table too short for its pairs is ignored rather than refusing the font.
  Table kernFirst;
  const bool kernInside = findTable(data, n, fontstart, numTables, "kern", &kernFirst);
  kern = kernFirst;
  int kernUsable = 0;
  if (kern.found && kernInside && kern.length >= 18)
    kernUsable = 18 + 6 * uint64_t(rd16(data + kern.offset + 10)) <= kern.length;

  FAfontTables tables{};
  tables.numGlyphs = int(numGlyphs);
  tables.glyfOffset = unsigned(glyf.offset);
  tables.glyfLength = unsigned(glyf.length);
  tables.locaOffset = unsigned(loca.offset);
  tables.locaLength = unsigned(loca.length);
  tables.longLoca = int(locFormat);
  if (cff && !fa__checkCff(data, unsigned(cffTable.offset), unsigned(cffTable.length), int(numGlyphs), &tables))
    return 0;
  out->fontstart = int(fontstart);
  out->indexMap = int(cmap.offset + chosen);
  out->kernUsable = kernUsable;
  out->tables = tables;
  return 1;
}

// ---------------------------------------------------------------------------------------------------------------
// Glyph outlines
// ---------------------------------------------------------------------------------------------------------------

namespace
{

constexpr int kMaxDepth = 8;
constexpr int kMaxParts = 256;
constexpr float kCoordLimit = 32000.f; // transformed points must stay well inside 16 bits

struct Bounds
{
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty = true;
  void add(float x, float y)
  {
    if (empty)
    {
      x0 = x1 = x;
      y0 = y1 = y;
      empty = false;
      return;
    }
    x0 = std::fmin(x0, x);
    y0 = std::fmin(y0, y);
    x1 = std::fmax(x1, x);
    y1 = std::fmax(y1, y);
  }
};

bool glyphRange(const unsigned char* data, const FAfontTables* t, int glyph, uint32_t* start, uint32_t* end)
{
  const unsigned char* loca = data + t->locaOffset;
  if (t->longLoca)
  {
    *start = rd32(loca + 4 * uint64_t(glyph));
    *end = rd32(loca + 4 * uint64_t(glyph) + 4);
  }
  else
  {
    *start = rd16(loca + 2 * uint64_t(glyph)) * 2;
    *end = rd16(loca + 2 * uint64_t(glyph) + 2) * 2;
  }
  return *start <= *end && *end <= t->glyfLength;
}

bool checkSimple(const unsigned char* g, uint64_t len, int contours, Bounds* b)
{
  uint64_t pos = 10;
  if (pos + 2 * uint64_t(contours) + 2 > len) return false;
  int64_t last = -1, lastStart = 0;
  for (int c = 0; c < contours; ++c)
  {
    const int64_t e = rd16(g + pos + 2 * c);
    if (e <= last) return false; // contour ends must rise
    lastStart = last + 1;
    last = e;
  }
  const uint64_t points = uint64_t(last) + 1;
  pos += 2 * uint64_t(contours);
  pos += 2 + rd16(g + pos);
  if (pos > len) return false;

  // Flags, with their repeat counts, exactly as the reader walks them; then the two coordinate arrays.
  const uint64_t flagsAt = pos;
  uint64_t xBytes = 0, yBytes = 0;
  unsigned flags = 0, repeat = 0, lastFlags = 0;
  for (uint64_t i = 0; i < points; ++i)
  {
    if (repeat == 0)
    {
      if (pos >= len) return false;
      flags = g[pos++];
      if (flags & 8)
      {
        if (pos >= len) return false;
        repeat = g[pos++];
      }
    }
    else
      --repeat;
    xBytes += (flags & 2) ? 1 : (flags & 16) ? 0 : 2;
    yBytes += (flags & 4) ? 1 : (flags & 32) ? 0 : 2;
    lastFlags = flags;
  }
  const uint64_t xAt = pos, yAt = pos + xBytes;
  if (yAt + yBytes > len) return false;
  // A last contour of one off-curve point makes the reader look one point past the outline.
  if (uint64_t(lastStart) == points - 1 && !(lastFlags & 1)) return false;

  uint64_t fp = flagsAt, xp = xAt, yp = yAt;
  int32_t x = 0, y = 0;
  repeat = 0;
  for (uint64_t i = 0; i < points; ++i)
  {
    if (repeat == 0)
    {
      flags = g[fp++];
      if (flags & 8) repeat = g[fp++];
    }
    else
      --repeat;
    if (flags & 2)
      x += (flags & 16) ? int32_t(g[xp++]) : -int32_t(g[xp++]);
    else if (!(flags & 16))
    {
      x += rds16(g + xp);
      xp += 2;
    }
    if (flags & 4)
      y += (flags & 32) ? int32_t(g[yp++]) : -int32_t(g[yp++]);
    else if (!(flags & 32))
    {
      y += rds16(g + yp);
      yp += 2;
    }
    // The reader keeps 16-bit coordinates.
    b->add(float(int16_t(x)), float(int16_t(y)));
  }
  return true;
}

bool checkGlyphAt(const unsigned char* data, const FAfontTables* t, int glyph, int depth, int* parts, Bounds* out);

bool checkComposite(const unsigned char* data, const FAfontTables* t, const unsigned char* g, uint64_t len, int depth,
                    int* parts, Bounds* b)
{
  uint64_t pos = 10;
  bool more = true;
  while (more)
  {
    if (pos + 4 > len || --*parts < 0 || depth >= kMaxDepth) return false;
    const unsigned flags = rd16(g + pos);
    const int child = int(rd16(g + pos + 2));
    pos += 4;
    if (!(flags & 2)) return false; // point-matched placement is not supported by the reader
    float m[6] = {1, 0, 0, 1, 0, 0};
    if (flags & 1)
    {
      if (pos + 4 > len) return false;
      m[4] = float(rds16(g + pos));
      m[5] = float(rds16(g + pos + 2));
      pos += 4;
    }
    else
    {
      if (pos + 2 > len) return false;
      m[4] = float(int8_t(g[pos]));
      m[5] = float(int8_t(g[pos + 1]));
      pos += 2;
    }
    if (flags & 8)
    {
      if (pos + 2 > len) return false;
      m[0] = m[3] = float(rds16(g + pos)) / 16384.f;
      pos += 2;
    }
    else if (flags & 64)
    {
      if (pos + 4 > len) return false;
      m[0] = float(rds16(g + pos)) / 16384.f;
      m[3] = float(rds16(g + pos + 2)) / 16384.f;
      pos += 4;
    }
    else if (flags & 128)
    {
      if (pos + 8 > len) return false;
      m[0] = float(rds16(g + pos)) / 16384.f;
      m[1] = float(rds16(g + pos + 2)) / 16384.f;
      m[2] = float(rds16(g + pos + 4)) / 16384.f;
      m[3] = float(rds16(g + pos + 6)) / 16384.f;
      pos += 8;
    }
    more = (flags & 32) != 0;

    if (child >= t->numGlyphs) continue; // the reader skips it
    Bounds cb;
    if (!checkGlyphAt(data, t, child, depth + 1, parts, &cb)) return false;
    if (cb.empty) continue;
    // The reader scales the placed part by the lengths of the matrix columns as well.
    const float sx = std::sqrt(m[0] * m[0] + m[1] * m[1]);
    const float sy = std::sqrt(m[2] * m[2] + m[3] * m[3]);
    const float cx[2] = {cb.x0, cb.x1}, cy[2] = {cb.y0, cb.y1};
    for (float px : cx)
      for (float py : cy)
      {
        const float tx = sx * (m[0] * px + m[2] * py + m[4]);
        const float ty = sy * (m[1] * px + m[3] * py + m[5]);
        if (!(std::fabs(tx) < kCoordLimit) || !(std::fabs(ty) < kCoordLimit)) return false;
        b->add(std::trunc(tx), std::trunc(ty));
      }
  }
  return true;
}

bool checkGlyphAt(const unsigned char* data, const FAfontTables* t, int glyph, int depth, int* parts, Bounds* out)
{
  if (glyph < 0 || glyph >= t->numGlyphs) return false;
  uint32_t start = 0, end = 0;
  if (!glyphRange(data, t, glyph, &start, &end)) return false;
  if (start == end) return true; // no outline
  const uint64_t len = end - start;
  if (len < 10) return false;
  const unsigned char* g = data + t->glyfOffset + start;
  const int contours = rds16(g);
  const float bx0 = float(rds16(g + 2)), by0 = float(rds16(g + 4));
  const float bx1 = float(rds16(g + 6)), by1 = float(rds16(g + 8));

  Bounds b;
  if (contours > 0 && !checkSimple(g, len, contours, &b)) return false;
  if (contours < 0 && !checkComposite(data, t, g, len, depth, parts, &b)) return false;
  if (b.empty) return true;
  // A simple outline must lie in its own box (one unit of slack), which sizes its bitmap; the rasteriser clips the
  // rest, but curves far outside would cost subdivision time for nothing. Composite parts are placed as the reader
  // places them, which may scale them past the box (it applies a part's scale twice); they are clipped to it.
  constexpr float slack = 1.f;
  if (contours > 0 && (b.x0 < bx0 - slack || b.y0 < by0 - slack || b.x1 > bx1 + slack || b.y1 > by1 + slack))
    return false;
  out->add(b.x0, b.y0);
  out->add(b.x1, b.y1);
  return true;
}

} // namespace

int fa__checkGlyph(const unsigned char* data, const FAfontTables* tables, int glyph)
{
  if (!data || !tables) return 0;
  if (tables->cffLength > 0) return fa__checkCffGlyph(data, tables, glyph);
  int parts = kMaxParts;
  Bounds b;
  return checkGlyphAt(data, tables, glyph, 0, &parts, &b) ? 1 : 0;
}

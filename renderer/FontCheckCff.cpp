// Checks of fonts with PostScript (CFF) outlines, made before the truetype reader sees them.
//
// The reader walks the 'CFF ' table through cursor buffers whose helpers never read past a buffer's end (reads past
// it give 0, seeks are clamped). But its root buffer is sized 512 MiB, not the table, and every INDEX, DICT and map
// it locates from that root, including the glyph-to-font-DICT map it cuts to the root's end, is only as bounded as
// its offsets: each of them is checked here to lie inside the table. Once they do, the glyph programs cannot make the
// reader read out of bounds (their buffers come from checked INDEXes). What remains is what the programs do:
// subroutine calls may fan out exponentially within the reader's ten-deep call stack (it counts no operations), the
// pen may leave the range of its int casts and 16-bit vertices, and a program with more vertices than the scratch
// arena holds makes the reader write through a null pointer. So each glyph is first run here the way the reader runs
// it, with an operation budget.

#include "renderer/FontAtlas_p.h"

#include <cmath>
#include <cstdint>

namespace
{

constexpr int kMaxOperations = 50000;  // steps of one glyph program, subroutines included
constexpr float kCoordLimit = 32000.f; // pen and control points, in font units
constexpr int kSubrDepth = 10;         // the reader's call stack (and the Type 2 limit)
// The reader's vertices may take half the scratch arena; the rasteriser needs the rest.
constexpr int kMaxVertices = FA_SCRATCH_SIZE / 2 / int(sizeof(stbtt_vertex));

uint32_t rd16(const unsigned char* p) { return (uint32_t(p[0]) << 8) | p[1]; }
uint32_t rdN(const unsigned char* p, uint32_t n)
{
  uint32_t v = 0;
  for (uint32_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// ---------------------------------------------------------------------------------------------------------------
// The reader's buffer, with its semantics: reads past the end give 0, a seek outside goes to the end
// ---------------------------------------------------------------------------------------------------------------

struct Cursor
{
  const unsigned char* data = nullptr;
  int64_t size = 0, cursor = 0;

  uint32_t get8() { return cursor < size ? data[cursor++] : 0; }
  uint32_t peek8() const { return cursor < size ? data[cursor] : 0; }
  void seek(int64_t o) { cursor = (o > size || o < 0) ? size : o; }
  void skip(int64_t o) { seek(cursor + o); }
  uint32_t get(int n)
  {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | get8();
    return v;
  }
  Cursor range(int64_t o, int64_t s) const
  {
    if (o < 0 || s < 0 || o > size || s > size - o) return {};
    return {data + o, s, 0};
  }
};

uint32_t cffInt(Cursor& b)
{
  const int b0 = int(b.get8());
  if (b0 >= 32 && b0 <= 246) return uint32_t(b0 - 139);
  if (b0 >= 247 && b0 <= 250) return uint32_t((b0 - 247) * 256 + int(b.get8()) + 108);
  if (b0 >= 251 && b0 <= 254) return uint32_t(-(b0 - 251) * 256 - int(b.get8()) - 108);
  if (b0 == 28) return b.get(2);
  if (b0 == 29) return b.get(4);
  return 0;
}

void skipOperand(Cursor& b)
{
  if (b.peek8() == 30)
  {
    b.skip(1);
    while (b.cursor < b.size)
    {
      const uint32_t v = b.get8();
      if ((v & 0xF) == 0xF || (v >> 4) == 0xF) break;
    }
  }
  else
    cffInt(b);
}

// The operands of the first operator key in a DICT, as the reader finds them.
Cursor dictGet(Cursor b, int key, bool* present)
{
  *present = false;
  b.seek(0);
  while (b.cursor < b.size)
  {
    const int64_t start = b.cursor;
    while (b.peek8() >= 28) skipOperand(b);
    const int64_t end = b.cursor;
    uint32_t op = b.get8();
    if (op == 12) op = b.get8() | 0x100;
    if (int(op) == key)
    {
      *present = true;
      return b.range(start, end - start);
    }
  }
  return {};
}

// The INDEX at the cursor, as the reader takes it: from the cursor to the end its last offset gives.
Cursor getIndex(Cursor& b)
{
  const int64_t start = b.cursor;
  const uint32_t count = b.get(2);
  if (count)
  {
    const int offSize = int(b.get8());
    b.skip(int64_t(offSize) * count);
    b.skip(int64_t(b.get(offSize)) - 1);
  }
  return b.range(start, b.cursor - start);
}

Cursor indexGet(Cursor b, int i)
{
  b.seek(0);
  const int64_t count = b.get(2);
  const int offSize = int(b.get8());
  b.skip(int64_t(i) * offSize);
  const int64_t start = b.get(offSize), end = b.get(offSize);
  return b.range(2 + (count + 1) * offSize + start, end - start);
}

Cursor getSubrs(Cursor cff, Cursor fontDict)
{
  bool present = false;
  Cursor ops = dictGet(fontDict, 18, &present);
  uint32_t loc[2] = {0, 0};
  for (int i = 0; i < 2 && ops.cursor < ops.size; ++i) loc[i] = cffInt(ops);
  if (!loc[0] || !loc[1]) return {};
  Cursor priv = cff.range(int32_t(loc[1]), int32_t(loc[0]));
  ops = dictGet(priv, 19, &present);
  const uint32_t subrsOff = ops.cursor < ops.size ? cffInt(ops) : 0;
  if (!subrsOff) return {};
  cff.seek(int32_t(loc[1] + subrsOff));
  return getIndex(cff);
}

// ---------------------------------------------------------------------------------------------------------------
// Structure: INDEXes, DICTs and the font DICT map, strictly
// ---------------------------------------------------------------------------------------------------------------

struct Index
{
  uint64_t at = 0, end = 0; // [at, end) inside the table
  uint32_t count = 0;
};

// An INDEX at at: offset size 1..4, first offset 1, offsets never falling, data inside the table.
bool readIndex(const unsigned char* cff, uint64_t len, uint64_t at, Index* ix)
{
  if (at > len || len - at < 2) return false;
  ix->at = at;
  ix->count = rd16(cff + at);
  if (ix->count == 0)
  {
    ix->end = at + 2;
    return true;
  }
  if (len - at < 3) return false;
  const uint32_t offSize = cff[at + 2];
  if (offSize < 1 || offSize > 4) return false;
  const uint64_t base = at + 3 + (uint64_t(ix->count) + 1) * offSize;
  if (base > len) return false;
  uint64_t prev = rdN(cff + at + 3, offSize);
  if (prev != 1) return false;
  for (uint64_t i = 1; i <= ix->count; ++i)
  {
    const uint64_t o = rdN(cff + at + 3 + i * offSize, offSize);
    if (o < prev) return false;
    prev = o;
  }
  ix->end = base - 1 + prev;
  return ix->end <= len;
}

Cursor elementOf(const unsigned char* cff, const Index& ix, uint32_t i)
{
  Cursor whole{cff + ix.at, int64_t(ix.end - ix.at), 0};
  return indexGet(whole, int(i));
}

// The integer operands of the first operator key: false when one is not an integer or they are not count; a DICT
// without the operator leaves out as it was.
bool dictInts(const Cursor& dict, int key, int count, uint32_t* out)
{
  bool present = false;
  Cursor ops = dictGet(dict, key, &present);
  if (!present) return true;
  int k = 0;
  while (ops.cursor < ops.size)
  {
    const uint32_t b0 = ops.peek8();
    if (k == count || !(b0 == 28 || b0 == 29 || (b0 >= 32 && b0 <= 254))) return false;
    out[k++] = cffInt(ops);
  }
  return k == count;
}

// The Private DICT a top or font DICT names and its local subroutines; *subrs = 0 when the reader finds none.
bool checkPrivate(const unsigned char* cff, uint64_t len, const Cursor& dict, uint64_t* subrs)
{
  *subrs = 0;
  uint32_t loc[2] = {0, 0}; // size, offset
  if (!dictInts(dict, 18, 2, loc)) return false;
  if (loc[0] == 0 || loc[1] == 0) return true;
  if (uint64_t(loc[1]) + loc[0] > len) return false;
  uint32_t subrsOff = 0;
  if (!dictInts(Cursor{cff + loc[1], int64_t(loc[0]), 0}, 19, 1, &subrsOff)) return false;
  if (subrsOff == 0) return true;
  Index ix;
  if (!readIndex(cff, len, uint64_t(loc[1]) + subrsOff, &ix)) return false;
  *subrs = ix.at;
  return true;
}

// The glyph-to-font-DICT map: format 0 or 3, every glyph mapped to an existing font DICT.
bool checkFdSelect(const unsigned char* cff, uint64_t len, uint64_t at, uint64_t numGlyphs, uint32_t fdCount)
{
  if (at >= len) return false;
  const unsigned char* p = cff + at;
  if (p[0] == 0)
  {
    if (1 + numGlyphs > len - at) return false;
    for (uint64_t g = 0; g < numGlyphs; ++g)
      if (p[1 + g] >= fdCount) return false;
    return true;
  }
  if (p[0] != 3 || len - at < 5) return false;
  const uint64_t ranges = rd16(p + 1);
  if (ranges == 0 || 3 + 3 * ranges + 2 > len - at) return false;
  if (rd16(p + 3) != 0) return false;
  for (uint64_t i = 0; i < ranges; ++i)
  {
    const unsigned char* r = p + 3 + 3 * i;
    if (r[2] >= fdCount || rd16(r + 3) < rd16(r)) return false; // the next first (or the sentinel) never falls
  }
  return rd16(p + 3 + 3 * ranges) >= numGlyphs;
}

// ---------------------------------------------------------------------------------------------------------------
// Glyph programs, run as the reader runs them
// ---------------------------------------------------------------------------------------------------------------

struct Pen
{
  bool ok = true;
  float firstX = 0, firstY = 0, x = 0, y = 0;
  int vertices = 0;

  // The reader casts every point to int and keeps it in 16 bits.
  void point(float px, float py) { ok = ok && std::fabs(px) < kCoordLimit && std::fabs(py) < kCoordLimit; }
  void vertex(float px, float py)
  {
    point(px, py);
    ++vertices;
  }
  void close()
  {
    if (firstX != x || firstY != y) vertex(firstX, firstY);
  }
  void moveTo(float dx, float dy)
  {
    close();
    firstX = x = x + dx;
    firstY = y = y + dy;
    vertex(x, y);
  }
  void lineTo(float dx, float dy)
  {
    x += dx;
    y += dy;
    vertex(x, y);
  }
  void curveTo(float dx1, float dy1, float dx2, float dy2, float dx3, float dy3)
  {
    const float cx1 = x + dx1, cy1 = y + dy1;
    const float cx2 = cx1 + dx2, cy2 = cy1 + dy2;
    x = cx2 + dx3;
    y = cy2 + dy3;
    point(cx1, cy1);
    point(cx2, cy2);
    vertex(x, y);
  }
};

struct Program
{
  Cursor cff, charStrings, globalSubrs, localSubrs, fdArray, fdSelect;
};

Cursor subrAt(Cursor idx, int n)
{
  idx.seek(0);
  const int count = int(idx.get(2));
  const int bias = count >= 33900 ? 32768 : count >= 1240 ? 1131 : 107;
  n += bias;
  if (n < 0 || n >= count) return {};
  return indexGet(idx, n);
}

Cursor cidSubrs(const Program& p, int glyph)
{
  Cursor fds = p.fdSelect;
  int fd = -1;
  const uint32_t format = fds.get8();
  if (format == 0)
  {
    fds.skip(glyph);
    fd = int(fds.get8());
  }
  else if (format == 3)
  {
    const int ranges = int(fds.get(2));
    int start = int(fds.get(2));
    for (int i = 0; i < ranges; ++i)
    {
      const int v = int(fds.get8());
      const int end = int(fds.get(2));
      if (glyph >= start && glyph < end)
      {
        fd = v;
        break;
      }
      start = end;
    }
  }
  if (fd < 0) return {}; // refused: the structure check maps every glyph
  return getSubrs(p.cff, indexGet(p.fdArray, fd));
}

// True when the program ends with endchar within the budget, its pen inside the coordinate limit and its vertices
// within what the arena holds; false where the reader would fail, give up or overrun.
bool runGlyph(const Program& p, int glyph)
{
  bool inHeader = true, haveSubrs = false;
  int maskBits = 0, depth = 0, sp = 0, budget = kMaxOperations;
  float s[48];
  Cursor stack[kSubrDepth], subrs = p.localSubrs;
  Cursor b = indexGet(p.charStrings, glyph);
  Pen c;
  while (b.cursor < b.size)
  {
    if (--budget < 0 || !c.ok || c.vertices > kMaxVertices) return false;
    int i = 0;
    bool clear = true;
    const uint32_t b0 = b.get8();
    switch (b0)
    {
      case 0x13: // hintmask
      case 0x14: // cntrmask
        if (inHeader) maskBits += sp / 2;
        inHeader = false;
        b.skip((maskBits + 7) / 8);
        break;
      case 0x01: // hstem
      case 0x03: // vstem
      case 0x12: // hstemhm
      case 0x17: // vstemhm
        maskBits += sp / 2;
        break;
      case 0x15: // rmoveto
        inHeader = false;
        if (sp < 2) return false;
        c.moveTo(s[sp - 2], s[sp - 1]);
        break;
      case 0x04: // vmoveto
        inHeader = false;
        if (sp < 1) return false;
        c.moveTo(0, s[sp - 1]);
        break;
      case 0x16: // hmoveto
        inHeader = false;
        if (sp < 1) return false;
        c.moveTo(s[sp - 1], 0);
        break;
      case 0x05: // rlineto
        if (sp < 2) return false;
        for (; i + 1 < sp; i += 2) c.lineTo(s[i], s[i + 1]);
        break;
      case 0x06: // hlineto
      case 0x07: // vlineto
      {
        if (sp < 1) return false;
        bool vertical = b0 == 0x07;
        for (; i < sp; ++i, vertical = !vertical)
          vertical ? c.lineTo(0, s[i]) : c.lineTo(s[i], 0);
        break;
      }
      case 0x1E: // vhcurveto
      case 0x1F: // hvcurveto
      {
        if (sp < 4) return false;
        bool vertical = b0 == 0x1E;
        for (; i + 3 < sp; i += 4, vertical = !vertical)
        {
          const float last = sp - i == 5 ? s[i + 4] : 0.f;
          if (vertical)
            c.curveTo(0, s[i], s[i + 1], s[i + 2], s[i + 3], last);
          else
            c.curveTo(s[i], 0, s[i + 1], s[i + 2], last, s[i + 3]);
        }
        break;
      }
      case 0x08: // rrcurveto
        if (sp < 6) return false;
        for (; i + 5 < sp; i += 6) c.curveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
        break;
      case 0x18: // rcurveline
        if (sp < 8) return false;
        for (; i + 5 < sp - 2; i += 6) c.curveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
        if (i + 1 >= sp) return false;
        c.lineTo(s[i], s[i + 1]);
        break;
      case 0x19: // rlinecurve
        if (sp < 8) return false;
        for (; i + 1 < sp - 6; i += 2) c.lineTo(s[i], s[i + 1]);
        if (i + 5 >= sp) return false;
        c.curveTo(s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
        break;
      case 0x1A: // vvcurveto
      case 0x1B: // hhcurveto
      {
        if (sp < 4) return false;
        float f = 0.f;
        if (sp & 1) f = s[i++];
        for (; i + 3 < sp; i += 4, f = 0.f)
        {
          if (b0 == 0x1B)
            c.curveTo(s[i], f, s[i + 1], s[i + 2], s[i + 3], 0.f);
          else
            c.curveTo(f, s[i], s[i + 1], s[i + 2], 0.f, s[i + 3]);
        }
        break;
      }
      case 0x0A: // callsubr
      case 0x1D: // callgsubr
      {
        if (b0 == 0x0A && !haveSubrs)
        {
          if (p.fdSelect.size) subrs = cidSubrs(p, glyph);
          haveSubrs = true;
        }
        if (sp < 1) return false;
        const int v = int(s[--sp]);
        if (depth >= kSubrDepth) return false;
        stack[depth++] = b;
        b = subrAt(b0 == 0x0A ? subrs : p.globalSubrs, v);
        if (b.size == 0) return false;
        clear = false;
        break;
      }
      case 0x0B: // return
        if (depth <= 0) return false;
        b = stack[--depth];
        clear = false;
        break;
      case 0x0E: // endchar
        c.close();
        return c.ok && c.vertices <= kMaxVertices;
      case 0x0C:
      {
        const uint32_t b1 = b.get8();
        if (b1 == 0x22) // hflex
        {
          if (sp < 7) return false;
          c.curveTo(s[0], 0, s[1], s[2], s[3], 0);
          c.curveTo(s[4], 0, s[5], -s[2], s[6], 0);
        }
        else if (b1 == 0x23) // flex
        {
          if (sp < 13) return false;
          c.curveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
          c.curveTo(s[6], s[7], s[8], s[9], s[10], s[11]);
        }
        else if (b1 == 0x24) // hflex1
        {
          if (sp < 9) return false;
          c.curveTo(s[0], s[1], s[2], s[3], s[4], 0);
          c.curveTo(s[5], 0, s[6], s[7], s[8], -(s[1] + s[3] + s[7]));
        }
        else if (b1 == 0x25) // flex1
        {
          if (sp < 11) return false;
          const float dx = s[0] + s[2] + s[4] + s[6] + s[8];
          const float dy = s[1] + s[3] + s[5] + s[7] + s[9];
          float dx6 = s[10], dy6 = s[10];
          if (std::fabs(dx) > std::fabs(dy))
            dy6 = -dy;
          else
            dx6 = -dx;
          c.curveTo(s[0], s[1], s[2], s[3], s[4], s[5]);
          c.curveTo(s[6], s[7], s[8], s[9], dx6, dy6);
        }
        else
          return false; // operators the reader does not run
        break;
      }
      default:
      {
        if (b0 != 255 && b0 != 28 && b0 < 32) return false;
        float f;
        if (b0 == 255)
          f = float(int32_t(b.get(4))) / 0x10000;
        else
        {
          b.skip(-1);
          f = float(int16_t(uint16_t(cffInt(b))));
        }
        if (sp >= 48) return false;
        s[sp++] = f;
        clear = false;
        break;
      }
    }
    if (clear) sp = 0;
  }
  return false; // no endchar
}

// The reader's view of an INDEX that the structure check found at offset at of the data.
Cursor indexAt(const unsigned char* data, const FAfontTables* t, unsigned at)
{
  if (at == 0) return {};
  Cursor cff{data + t->cffOffset, int64_t(t->cffLength), 0};
  cff.seek(int64_t(at) - t->cffOffset);
  return getIndex(cff);
}

Program programOf(const unsigned char* data, const FAfontTables* t)
{
  Program p;
  p.cff = {data + t->cffOffset, int64_t(t->cffLength), 0};
  p.charStrings = indexAt(data, t, t->charStrings);
  p.globalSubrs = indexAt(data, t, t->globalSubrs);
  p.localSubrs = indexAt(data, t, t->localSubrs);
  if (t->fdArray)
  {
    p.fdArray = indexAt(data, t, t->fdArray);
    p.fdSelect = p.cff.range(int64_t(t->fdSelect) - t->cffOffset, int64_t(t->cffOffset) + t->cffLength - t->fdSelect);
  }
  return p;
}

bool sameBuffer(const stbtt__buf& b, const Cursor& c)
{
  return c.size == 0 ? b.size == 0 : (b.data == c.data && b.size == c.size);
}

} // namespace

int fa__checkCff(const unsigned char* data, unsigned cffOffset, unsigned cffLength, int numGlyphs, FAfontTables* t)
{
  if (!data || !t || numGlyphs <= 0) return 0;
  const unsigned char* cff = data + cffOffset;
  const uint64_t len = cffLength;
  // Version 1 header; the reader goes on at the header size.
  if (len < 4 || cff[0] != 1 || cff[2] < 4) return 0;
  Index names, tops, strings, gsubrs, charStrings;
  if (!readIndex(cff, len, cff[2], &names) || names.count == 0) return 0;
  if (!readIndex(cff, len, names.end, &tops) || tops.count == 0) return 0;
  if (!readIndex(cff, len, tops.end, &strings) || !readIndex(cff, len, strings.end, &gsubrs)) return 0;

  // The first font's top DICT: the operators the reader takes from it.
  const Cursor top = elementOf(cff, tops, 0);
  uint32_t charStringsAt = 0, type = 2, fdArrayAt = 0, fdSelectAt = 0;
  if (!dictInts(top, 17, 1, &charStringsAt) || !dictInts(top, 0x100 | 6, 1, &type) ||
      !dictInts(top, 0x100 | 36, 1, &fdArrayAt) || !dictInts(top, 0x100 | 37, 1, &fdSelectAt))
    return 0;
  if (type != 2 || charStringsAt == 0) return 0;
  uint64_t localSubrs = 0;
  if (!checkPrivate(cff, len, top, &localSubrs)) return 0;
  // One glyph program for every glyph the font counts.
  if (!readIndex(cff, len, charStringsAt, &charStrings) || charStrings.count < uint32_t(numGlyphs)) return 0;

  if (fdArrayAt != 0)
  {
    Index fdArray;
    if (fdSelectAt == 0 || !readIndex(cff, len, fdArrayAt, &fdArray) || fdArray.count == 0) return 0;
    for (uint32_t i = 0; i < fdArray.count; ++i)
    {
      uint64_t subrs = 0;
      if (!checkPrivate(cff, len, elementOf(cff, fdArray, i), &subrs)) return 0;
    }
    if (!checkFdSelect(cff, len, fdSelectAt, uint64_t(numGlyphs), fdArray.count)) return 0;
  }

  t->cffOffset = cffOffset;
  t->cffLength = cffLength;
  t->charStrings = cffOffset + unsigned(charStrings.at);
  t->globalSubrs = cffOffset + unsigned(gsubrs.at);
  t->localSubrs = localSubrs ? cffOffset + unsigned(localSubrs) : 0;
  t->fdArray = fdArrayAt ? cffOffset + fdArrayAt : 0;
  t->fdSelect = fdArrayAt ? cffOffset + fdSelectAt : 0;
  return 1;
}

int fa__checkCffGlyph(const unsigned char* data, const FAfontTables* t, int glyph)
{
  if (!data || !t || t->cffLength == 0 || glyph < 0 || glyph >= t->numGlyphs) return 0;
  return runGlyph(programOf(data, t), glyph) ? 1 : 0;
}

int fa__useCheckedCff(stbtt_fontinfo* info, const unsigned char* data, const FAfontTables* t)
{
  const Program p = programOf(data, t);
  if (info->cff.data != p.cff.data || !sameBuffer(info->charstrings, p.charStrings) ||
      !sameBuffer(info->gsubrs, p.globalSubrs) || !sameBuffer(info->subrs, p.localSubrs) ||
      !sameBuffer(info->fontdicts, p.fdArray) ||
      (t->fdArray ? info->fdselect.data != p.fdSelect.data : info->fdselect.size != 0))
    return 0;
  // Bound the reader's root buffers to the table as well (it sizes them 512 MiB).
  info->cff.size = int(t->cffLength);
  if (t->fdArray) info->fdselect.size = int(p.fdSelect.size);
  return 1;
}

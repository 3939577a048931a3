// Untrusted input to the font store. Damaged fonts: the corpus in tests/data/fonts-damaged (made by its
// make_corpus.py, and make_cff_corpus.py for PostScript outlines), every cut of its small fonts and every byte of
// their CFF tables; a font is refused or works, nothing reads outside the data (run
// under AddressSanitizer in CI; the font fuzz target mutates the same corpus further). A glyph of so many points that
// the rasteriser's scratch runs out, built here. Text: UTF-8 decoding of the
// iterator and bounds against a plain decoder of well-formed UTF-8.

#include "fuzz/font_exercise.h"
#include "tests/renderer/FontTestUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

using namespace fonttest;

namespace
{

const std::string kCorpus = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged";

// Adds a copy of data as the store's font (the store frees it) and exercises it; the result of faAddFontMem.
int AddAndExercise(const std::vector<unsigned char>& data, int faceIndex = 0)
{
  Store store(128, 128);
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(data.size() + 1));
  if (!data.empty()) std::memcpy(copy, data.data(), data.size());
  const int font = faAddFontMem(store.s, "damaged", copy, int(data.size()), faceIndex, 1);
  EXPECT_TRUE(font < 0 || fontexercise::Exercise(store.s, font, 1024));
  return font;
}

// Codepoints of the well-formed prefix of s: the byte ranges of Unicode's table of well-formed sequences; decoding
// stops at the first ill-formed or incomplete sequence.
std::vector<unsigned> Reference(const std::string& s)
{
  std::vector<unsigned> out;
  for (size_t i = 0; i < s.size();)
  {
    const unsigned b0 = static_cast<unsigned char>(s[i]);
    // Length, payload of the lead byte and the range of the second byte.
    size_t len = 0;
    unsigned cp = 0, lo = 0x80, hi = 0xBF;
    if (b0 < 0x80)
      len = 1, cp = b0;
    else if (b0 >= 0xC2 && b0 <= 0xDF)
      len = 2, cp = b0 & 0x1F;
    else if (b0 >= 0xE0 && b0 <= 0xEF)
      len = 3, cp = b0 & 0x0F, lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
    else if (b0 >= 0xF0 && b0 <= 0xF4)
      len = 4, cp = b0 & 0x07, lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
    if (len == 0 || i + len > s.size()) break;
    bool ok = true;
    for (size_t k = 1; k < len && ok; ++k)
    {
      const unsigned b = static_cast<unsigned char>(s[i + k]);
      ok = b >= (k == 1 ? lo : 0x80u) && b <= (k == 1 ? hi : 0xBFu);
      cp = (cp << 6) | (b & 0x3F);
    }
    if (!ok) break;
    out.push_back(cp);
    i += len;
  }
  return out;
}

std::vector<unsigned> Decoded(FAcontext* s, const std::string& text)
{
  std::vector<unsigned> cps;
  for (const Step& st : Steps(s, text, FA_GLYPH_BITMAP_OPTIONAL)) cps.push_back(st.codepoint);
  return cps;
}

} // namespace

// Each corpus file does what its name says.
TEST(FontDamaged, CorpusFilesBehaveAsNamed)
{
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus))
  {
    const std::string name = entry.path().filename().string();
    const std::string ext = entry.path().extension().string();
    if (ext != ".ttf" && ext != ".ttc" && ext != ".otf") continue;
    SCOPED_TRACE(name);
    ++files;
    Store store(128, 128);
    const int font = faAddFont(store.s, name.c_str(), entry.path().c_str(), 0);
    if (name.rfind("refused-", 0) == 0)
    {
      EXPECT_EQ(font, -1);
    }
    else if (name.rfind("loads-", 0) == 0 || name.rfind("missing-", 0) == 0)
    {
      ASSERT_EQ(font, 0);
    }
    if (font < 0) continue;
    EXPECT_TRUE(fontexercise::Exercise(store.s, font, 1024));
    faSetSize(store.s, 20.f);
    const std::vector<Step> steps = Steps(store.s, "ABCD", FA_GLYPH_BITMAP_REQUIRED);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].glyph, 1);
    EXPECT_EQ(steps[2].glyph, 0); // 'C' is a composite of itself
    EXPECT_EQ(steps[3].glyph, name.rfind("missing-", 0) == 0 ? 0 : 4);
    // The A-B pair kerns by -100 units, unless its table is shorter than its pair count.
    const float ab = faTextBounds(store.s, 0, 0, "AB", nullptr, nullptr);
    EXPECT_EQ(ab, name == "loads-kern-short.ttf" ? 28.f : 28.f + std::trunc(-2.f + 0.5f)) << ab;
  }
  EXPECT_GE(files, 25);
}

namespace
{

// Where a small font's tables lie, from its directory: the end of the last one (only padding follows) and the
// table with the given tag ({0, 0} when there is none).
struct Layout
{
  size_t tablesEnd = 0, tagAt = 0, tagLength = 0;
};
Layout LayoutOf(const std::vector<unsigned char>& font, const char* tag = "")
{
  Layout l;
  for (size_t i = 0; i < size_t((font[4] << 8) | font[5]); ++i)
  {
    const unsigned char* rec = &font[12 + 16 * i];
    const size_t at = size_t((rec[10] << 8) | rec[11]), length = size_t((rec[14] << 8) | rec[15]);
    l.tablesEnd = std::max(l.tablesEnd, at + length);
    if (std::string(rec, rec + 4) == tag) l.tagAt = at, l.tagLength = length;
  }
  return l;
}

// Every cut of a small corpus font loads exactly when its tables are whole; the font itself.
std::vector<unsigned char> ExpectEveryCutLoadsWhenWhole(const char* file)
{
  SCOPED_TRACE(file);
  const std::vector<unsigned char> base = ReadFile((kCorpus + file).c_str());
  EXPECT_GT(base.size(), 100u);
  const size_t tablesEnd = LayoutOf(base).tablesEnd;
  EXPECT_LE(tablesEnd, base.size());
  for (size_t len = 0; len < base.size(); ++len)
  {
    const int font = AddAndExercise(std::vector<unsigned char>(base.begin(), base.begin() + long(len)));
    EXPECT_EQ(font >= 0, len >= tablesEnd) << len;
  }
  return base;
}

} // namespace

// The small TrueType font (the fuzz target flips its bits), and a face index it does not have.
TEST(FontDamaged, EveryCutOfTheSmallFont)
{
  const std::vector<unsigned char> base = ExpectEveryCutLoadsWhenWhole("/loads-base.ttf");
  for (int face : {1, -1, 1 << 30}) EXPECT_EQ(AddAndExercise(base, face), -1);
}

// The same for the small PostScript-outline (CFF) fonts, plain and CID-keyed.
TEST(FontDamaged, EveryCutOfTheSmallCffFonts)
{
  for (const char* file : {"/loads-cff-base.otf", "/loads-cff-cid-fdselect3.otf", "/loads-cff-cid-fdselect0.otf"})
    ExpectEveryCutLoadsWhenWhole(file);
}

// Every byte of the CFF table of the small fonts set to 0, to 255, and with its top bit flipped: each damaged font is
// refused or works, and nothing reads outside its data (the sanitizer build runs this). Both outcomes occur.
TEST(FontDamaged, EveryByteOfTheSmallCffTables)
{
  for (const char* file : {"/loads-cff-base.otf", "/loads-cff-cid-fdselect3.otf", "/loads-cff-cid-fdselect0.otf"})
  {
    SCOPED_TRACE(file);
    const std::vector<unsigned char> base = ReadFile((kCorpus + file).c_str());
    const Layout l = LayoutOf(base, "CFF ");
    ASSERT_GT(l.tagLength, 50u);
    int refused = 0, loaded = 0;
    for (size_t at = l.tagAt; at < l.tagAt + l.tagLength; ++at)
      for (int variant = 0; variant < 3; ++variant)
      {
        std::vector<unsigned char> d = base;
        d[at] = variant == 0 ? 0 : variant == 1 ? 255 : static_cast<unsigned char>(d[at] ^ 0x80);
        if (d[at] == base[at]) continue;
        (AddAndExercise(d) < 0 ? refused : loaded)++;
      }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
  }
}

namespace
{

void Put16(std::vector<unsigned char>& out, unsigned v)
{
  out.push_back(static_cast<unsigned char>(v >> 8));
  out.push_back(static_cast<unsigned char>(v));
}
void Put32(std::vector<unsigned char>& out, uint32_t v)
{
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

// A TrueType font of one glyph for 'A': a single closed contour through the given on-curve points, inside the box
// (0, 0)..(1000, 100). Units per em 1000, ascender 800, descender -200 (a text size of s pixels scales by s / 1000).
std::vector<unsigned char> OneContourFont(const std::vector<std::pair<int, int>>& pts)
{
  std::vector<unsigned char> glyf;
  for (unsigned v : {1u, 0u, 0u, 1000u, 100u}) Put16(glyf, v);
  Put16(glyf, unsigned(pts.size() - 1)); // end of the contour
  Put16(glyf, 0);                        // no instructions
  glyf.insert(glyf.end(), pts.size(), 0x01);
  for (int axis = 0; axis < 2; ++axis)
  {
    int prev = 0;
    for (const auto& p : pts)
    {
      const int v = axis == 0 ? p.first : p.second;
      Put16(glyf, unsigned(v - prev) & 0xFFFF);
      prev = v;
    }
  }
  std::vector<unsigned char> loca;
  for (uint32_t v : {0u, 0u, uint32_t(glyf.size())}) Put32(loca, v);

  std::vector<unsigned char> head;
  for (uint32_t v : {0x00010000u, 0x00010000u, 0u, 0x5F0F3CF5u}) Put32(head, v);
  Put16(head, 0);
  Put16(head, 1000);
  head.resize(head.size() + 16);
  for (unsigned v : {0u, 0u, 1000u, 100u, 0u, 8u, 2u, 1u, 0u}) Put16(head, v); // long offsets in 'loca'
  std::vector<unsigned char> hhea;
  Put32(hhea, 0x00010000);
  for (unsigned v : {800u, 0xFF38u, 0u, 1000u, 0u, 0u, 1000u, 1u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 2u}) Put16(hhea, v);
  std::vector<unsigned char> maxp;
  Put32(maxp, 0x00005000);
  Put16(maxp, 2);
  std::vector<unsigned char> hmtx;
  for (unsigned v : {1000u, 0u, 1000u, 0u}) Put16(hmtx, v);
  std::vector<unsigned char> cmap; // format 4: 'A' is glyph 1
  for (unsigned v : {0u, 1u, 3u, 1u, 0u, 12u, 4u, 32u, 0u, 4u, 4u, 1u, 0u, 0x41u, 0xFFFFu, 0u, 0x41u, 0xFFFFu,
                     (1u - 0x41u) & 0xFFFFu, 1u, 0u, 0u})
    Put16(cmap, v);

  const std::vector<std::pair<const char*, const std::vector<unsigned char>*>> tables = {
      {"cmap", &cmap}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea},
      {"hmtx", &hmtx}, {"loca", &loca}, {"maxp", &maxp}};
  std::vector<unsigned char> font;
  Put32(font, 0x00010000);
  for (unsigned v : {7u, 64u, 2u, 48u}) Put16(font, v);
  size_t at = 12 + 16 * tables.size();
  for (const auto& t : tables)
  {
    font.insert(font.end(), t.first, t.first + 4);
    Put32(font, 0);
    Put32(font, uint32_t(at));
    Put32(font, uint32_t(t.second->size()));
    at += (t.second->size() + 3) & ~size_t(3);
  }
  for (const auto& t : tables)
  {
    font.insert(font.end(), t.second->begin(), t.second->end());
    font.resize((font.size() + 3) & ~size_t(3));
  }
  return font;
}

// n points: the bottom edge, then a zigzag between heights 60 and 100 from left to right.
std::vector<std::pair<int, int>> Zigzag(int n)
{
  std::vector<std::pair<int, int>> pts = {{1000, 0}, {0, 0}};
  const int teeth = n - 2;
  for (int k = 0; k < teeth; ++k) pts.push_back({1000 * k / (teeth - 1), k % 2 ? 60 : 100});
  return pts;
}

struct ScratchErrors
{
  int full = 0;
  static void Record(void* up, int error, int)
  {
    if (error == FA_SCRATCH_FULL) ++static_cast<ScratchErrors*>(up)->full;
  }
};

// The glyph of 'A' of the font at size 800 (about 800 pixels wide, 80 high), required in the atlas.
struct WideGlyph
{
  Store store{1024, 128};
  ScratchErrors errors;
  const FAglyph* glyph = nullptr;
  explicit WideGlyph(const std::vector<unsigned char>& data)
  {
    faSetErrorCallback(store.s, &ScratchErrors::Record, &errors);
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(data.size()));
    std::memcpy(copy, data.data(), data.size());
    if (faAddFontMem(store.s, "zigzag", copy, int(data.size()), 0, 1) != 0) return;
    faSetSize(store.s, 800.f);
    const std::vector<Step> steps = Steps(store.s, "A", FA_GLYPH_BITMAP_REQUIRED);
    if (steps.size() == 1 && steps[0].glyph == 1) glyph = &store.Font(0)->glyphs[0];
  }
  unsigned char At(int x, int y) const { return store.s->texData[size_t(y) * 1024 + size_t(x)]; }
  long Ink() const
  {
    long ink = 0;
    for (int y = glyph->y0; y < glyph->y1; ++y)
      for (int x = glyph->x0; x < glyph->x1; ++x) ink += At(x, y);
    return ink;
  }
};

} // namespace

// A glyph with so many points that its outline, flattened points and edges nearly fill the scratch arena leaves no
// room for the rasteriser's scanline buffer (wider than 64 pixels): it is reported as scratch full and left empty,
// never drawn through a missing buffer. Swept over every point count where that happens.
TEST(FontDamaged, GlyphTooBigForTheScratchIsLeftEmpty)
{
  const auto rounded = [](uint64_t bytes) { return (bytes + 15) & ~uint64_t(15); };
  const uint64_t scanline = rounded((2 * 800 + 1) * sizeof(float));
  int swept = 0;
  for (int n = 1500; n < 2600; ++n)
  {
    // One contour of n on-curve points: n + 2 vertex slots of 14 bytes, n + 1 flattened points of 8 bytes and one
    // contour length, n + 2 edges of 20 bytes.
    const uint64_t beforeScanline = rounded(14 * uint64_t(n + 2)) + rounded(4) + rounded(8 * uint64_t(n + 1)) +
                                    rounded(20 * uint64_t(n + 2));
    if (beforeScanline > uint64_t(FA_SCRATCH_SIZE) || beforeScanline + scanline <= uint64_t(FA_SCRATCH_SIZE))
      continue;
    SCOPED_TRACE(n);
    ++swept;
    WideGlyph wide(OneContourFont(Zigzag(n)));
    ASSERT_NE(wide.glyph, nullptr);
    EXPECT_EQ(wide.glyph->x1 - wide.glyph->x0, 800 + 4);
    EXPECT_GT(wide.errors.full, 0);
    EXPECT_EQ(wide.Ink(), 0);
  }
  EXPECT_GT(swept, 100);
}

// A zigzag of few points at the same size is drawn as before: its coverage matches FreeType's.
TEST(FontDamaged, WideGlyphOfFewPointsMatchesFreeType)
{
  const std::vector<unsigned char> data = OneContourFont(Zigzag(12));
  WideGlyph wide(data);
  ASSERT_NE(wide.glyph, nullptr);
  EXPECT_EQ(wide.errors.full, 0);

  FT_Library lib = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Memory_Face(lib, data.data(), FT_Long(data.size()), 0, &face), 0);
  ASSERT_EQ(FT_Set_Char_Size(face, 0, 800 * 64, 72, 72), 0);
  ASSERT_EQ(FT_Load_Glyph(face, 1, FT_LOAD_NO_HINTING | FT_LOAD_RENDER), 0);
  const FT_Bitmap& bm = face->glyph->bitmap;
  // FreeType's row r, column c is the pixel (left + c, r - top) of the glyph's frame, y downwards; the store's
  // bitmap starts at its offsets.
  const int left = face->glyph->bitmap_left, top = face->glyph->bitmap_top;
  long storeInk = 0, ftInk = 0;
  int worst = 0;
  for (int y = wide.glyph->y0; y < wide.glyph->y1; ++y)
    for (int x = wide.glyph->x0; x < wide.glyph->x1; ++x)
    {
      const int c = x - wide.glyph->x0 + wide.glyph->xoff - left;
      const int r = y - wide.glyph->y0 + wide.glyph->yoff + top;
      const int ft = c >= 0 && r >= 0 && c < int(bm.width) && r < int(bm.rows) ? bm.buffer[r * bm.pitch + c] : 0;
      storeInk += wide.At(x, y);
      ftInk += ft;
      worst = std::max(worst, std::abs(int(wide.At(x, y)) - ft));
    }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  EXPECT_GT(storeInk, 255L * 800 * 50);
  EXPECT_NEAR(double(storeInk), double(ftInk), 0.001 * double(ftInk));
  EXPECT_LE(worst, 4);
}

// Every one- and two-byte sequence, and the boundary bytes of three- and four-byte sequences, each followed by
// more text: the iterator yields exactly the well-formed prefix.
TEST(FontUtf8, DecodesExactlyTheWellFormedPrefix)
{
  Store store;
  ASSERT_EQ(faAddFont(store.s, "dejavu", kDejaVu, 0), 0);
  faSetSize(store.s, 10.f);
  std::vector<std::string> cases;
  for (int a = 0; a < 256; ++a)
  {
    cases.push_back(std::string{char(a), 'Z'});
    for (int b = 0; b < 256; ++b) cases.push_back(std::string{char(a), char(b), 'Z'});
  }
  const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
  for (int a = 0xE0; a <= 0xFF; ++a)
    for (int b = 0; b < 256; ++b)
      for (unsigned char c : edges)
      {
        cases.push_back(std::string{char(a), char(b), char(c), 'Z'});
        if (a >= 0xF0)
          for (unsigned char d : {0x41, 0x80, 0xBF, 0xC0}) cases.push_back(std::string{char(a), char(b), char(c), char(d), 'Z'});
      }
  size_t checked = 0;
  for (const std::string& text : cases)
  {
    ASSERT_EQ(Decoded(store.s, text), Reference(text)) << ::testing::PrintToString(text);
    ++checked;
  }
  EXPECT_GT(checked, 100000u);
}

// A string cut inside a sequence or broken by an invalid byte ends there: the caller's loop sees no extra step
// (which it would take for a repeat of the last glyph, or for a full atlas), and bounds stop at the same place.
TEST(FontUtf8, CutAndInvalidTextAddsNoGlyph)
{
  Store store;
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  faSetSize(store.s, 20.f);
  const float advA = faTextBounds(store.s, 0, 0, "A", nullptr, nullptr);
  for (const char* text : {"A\xC3", "A\xE2\x82", "A\xF0\x9F\x98", "A\xFF", "A\xFF" "BC", "A\x80" "B"})
  {
    SCOPED_TRACE(::testing::PrintToString(std::string(text)));
    const std::vector<Step> steps = Steps(store.s, text, FA_GLYPH_BITMAP_REQUIRED);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_GT(steps[0].glyph, 0);
    EXPECT_FLOAT_EQ(faTextBounds(store.s, 0, 0, text, nullptr, nullptr), advA);
  }
  for (const char* text : {"\xC3", "\xE2\x82", "\xFF"})
  {
    EXPECT_TRUE(Steps(store.s, text, FA_GLYPH_BITMAP_REQUIRED).empty());
    EXPECT_EQ(faTextBounds(store.s, 0, 0, text, nullptr, nullptr), 0.f);
  }
  // An explicit end inside a sequence cuts it as well.
  const std::string euro = "x\xE2\x82\xAC";
  EXPECT_EQ(Steps(store.s, euro.substr(0, 3), FA_GLYPH_BITMAP_OPTIONAL).size(), 1u);
  EXPECT_EQ(Steps(store.s, euro, FA_GLYPH_BITMAP_OPTIONAL).size(), 2u);
}

// Damaged fonts: the corpus in tests/data/fonts-damaged (made by its make_corpus.py), every cut and bit flip of its
// small font, and bit flips in the tables of the real fonts. A font is refused or works; nothing reads outside
// the data (run under AddressSanitizer in CI).

#include "tests/renderer/FontTestUtil.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

using namespace fonttest;

namespace
{

const std::string kCorpus = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged";

// Lays text out at a few sizes with bitmaps, growing the atlas on demand the way the renderer does, and measures
// it. Every quad is finite and its texture coordinates lie in the atlas. Returns the number of glyphs drawn.
int Exercise(FAcontext* s, int font)
{
  static const std::string text = [] {
    std::string t;
    for (char c = 32; c < 127; ++c) t += c;
    return t + "\xC3\x85\xCE\xA9\xE2\x82\xAC\xE2\x98\x83";
  }();
  int drawn = 0;
  faSetFont(s, font);
  for (float size : {9.f, 40.f})
  {
    faSetSize(s, size);
    FAtextIter it, prev;
    faTextIterInit(s, &it, 10, 20, text.data(), text.data() + text.size(), FA_GLYPH_BITMAP_REQUIRED);
    prev = it;
    FAquad q{};
    while (faTextIterNext(s, &it, &q))
    {
      if (it.prevGlyphIndex == -1)
      {
        int w = 0, h = 0;
        faGetAtlasSize(s, &w, &h);
        if (w >= 1024 || !faResetAtlas(s, w * 2, h * 2)) break;
        it = prev;
        if (!faTextIterNext(s, &it, &q) || it.prevGlyphIndex == -1) break;
      }
      prev = it;
      EXPECT_TRUE(std::isfinite(q.x0) && std::isfinite(q.y0) && std::isfinite(q.x1) && std::isfinite(q.y1));
      EXPECT_TRUE(q.s0 >= 0 && q.s1 <= 1 && q.t0 >= 0 && q.t1 <= 1);
      ++drawn;
    }
    float b[4];
    EXPECT_TRUE(std::isfinite(faTextBounds(s, 0, 0, text.c_str(), nullptr, b)));
    float asc = 0, desc = 0, lineh = 0;
    faVertMetrics(s, &asc, &desc, &lineh);
    EXPECT_TRUE(std::isfinite(asc) && std::isfinite(desc) && std::isfinite(lineh));
  }
  return drawn;
}

// Adds a copy of data as the store's font (the store frees it) and exercises it; the result of faAddFontMem.
int AddAndExercise(const std::vector<unsigned char>& data, int faceIndex = 0)
{
  Store store(128, 128);
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(data.size() + 1));
  if (!data.empty()) std::memcpy(copy, data.data(), data.size());
  const int font = faAddFontMem(store.s, "damaged", copy, int(data.size()), faceIndex, 1);
  if (font >= 0) Exercise(store.s, font);
  return font;
}

std::vector<unsigned char> Base() { return ReadFile((kCorpus + "/loads-base.ttf").c_str()); }

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
    Exercise(store.s, font);
    faSetSize(store.s, 20.f);
    const std::vector<Step> steps = Steps(store.s, "ABCD", FA_GLYPH_BITMAP_REQUIRED);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].glyph, 1);
    EXPECT_EQ(steps[2].glyph, 0); // 'C' is a composite of itself
    EXPECT_EQ(steps[3].glyph, name.rfind("missing-", 0) == 0 ? 0 : 4);
  }
  EXPECT_GE(files, 25);
}

// The corpus font drawn exactly: squares land on whole pixels at 1 px per 10 units; the composite is the square
// moved; kerning comes from the font's pair; a table shorter than its pair count kerns nothing.
TEST(FontDamaged, SmallFontGeometry)
{
  Store store;
  ASSERT_EQ(faAddFont(store.s, "base", (kCorpus + "/loads-base.ttf").c_str(), 0), 0);
  ASSERT_EQ(faAddFont(store.s, "short", (kCorpus + "/loads-kern-short.ttf").c_str(), 0), 1);
  faSetSize(store.s, 100.f); // ascender - descender = 1000 units
  const std::vector<Step> st = Steps(store.s, "AB", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(st.size(), 2u);
  const FAquad& a = st[0].quad;
  EXPECT_EQ(a.x0 + 1, 10.f);
  EXPECT_EQ(a.x1 - 1, 60.f);
  EXPECT_EQ(a.y0 + 1, -70.f);
  EXPECT_EQ(a.y1 - 1, 0.f);
  int w = 0, h = 0;
  const unsigned char* tex = faGetTextureData(store.s, &w, &h);
  const int tx = int(std::lround(a.s0 * w)), ty = int(std::lround(a.t0 * h));
  for (int y = 0; y < int(a.y1 - a.y0); ++y)
    for (int x = 0; x < int(a.x1 - a.x0); ++x)
    {
      const bool inside = x >= 1 && y >= 1 && x < int(a.x1 - a.x0) - 1 && y < int(a.y1 - a.y0) - 1;
      ASSERT_EQ(tex[(ty + y) * w + tx + x], inside ? 255 : 0) << x << "," << y;
    }
  // Advance 70 px, then the A-B pair (-100 units = -10 px, rounded as the store rounds) before B, whose outline is
  // A's moved by 5 px.
  const float kern = std::trunc(-10.f + 0.5f);
  EXPECT_EQ(st[1].x, 70.f);
  EXPECT_EQ(st[1].quad.x0, 70.f + kern + a.x0 + 5.f);
  EXPECT_EQ(st[1].nextx, 140.f + kern);

  faSetFont(store.s, 1);
  const std::vector<Step> unkerned = Steps(store.s, "AB", FA_GLYPH_BITMAP_OPTIONAL);
  EXPECT_EQ(unkerned[1].quad.x0, 70.f + a.x0 + 5.f);
}

// Every cut of the small font, and every single bit flipped in it.
TEST(FontDamaged, EveryCutAndBitFlipOfTheSmallFont)
{
  const std::vector<unsigned char> base = Base();
  ASSERT_GT(base.size(), 100u);
  // Where the last table ends (only padding follows).
  size_t tablesEnd = 0;
  for (size_t i = 0; i < size_t((base[4] << 8) | base[5]); ++i)
  {
    const unsigned char* rec = &base[12 + 16 * i];
    tablesEnd = std::max<size_t>(tablesEnd, size_t((rec[10] << 8) | rec[11]) + size_t((rec[14] << 8) | rec[15]));
  }
  ASSERT_LE(tablesEnd, base.size());
  for (size_t len = 0; len < base.size(); ++len)
  {
    const int font = AddAndExercise(std::vector<unsigned char>(base.begin(), base.begin() + long(len)));
    EXPECT_EQ(font >= 0, len >= tablesEnd) << len;
  }
  int flipsAdded = 0;
  for (size_t i = 0; i < base.size(); ++i)
    for (int bit = 0; bit < 8; ++bit)
    {
      std::vector<unsigned char> d = base;
      d[i] ^= static_cast<unsigned char>(1u << bit);
      flipsAdded += AddAndExercise(d) >= 0;
    }
  EXPECT_GT(flipsAdded, 0);
  for (int face : {1, -1, 1 << 30}) EXPECT_EQ(AddAndExercise(base, face), -1);
}

// Bit flips and overwritten words in the tables of the real fonts.
TEST(FontDamaged, FlipsInRealFontTables)
{
  for (const char* path : {kRoboto, kDejaVu})
  {
    const std::vector<unsigned char> font = ReadFile(path);
    ASSERT_GT(font.size(), 1000u);
    struct Range
    {
      uint32_t offset, length;
    };
    std::vector<Range> tables;
    const uint32_t count = (font[4] << 8) | font[5];
    for (uint32_t i = 0; i < count; ++i)
    {
      const unsigned char* rec = &font[12 + 16 * i];
      const uint32_t off = (rec[8] << 24) | (rec[9] << 16) | (rec[10] << 8) | rec[11];
      const uint32_t len = (rec[12] << 24) | (rec[13] << 16) | (rec[14] << 8) | rec[15];
      if (!std::memcmp(rec, "glyf", 4) || !std::memcmp(rec, "cmap", 4) || !std::memcmp(rec, "loca", 4) ||
          !std::memcmp(rec, "hmtx", 4) || !std::memcmp(rec, "hhea", 4) || !std::memcmp(rec, "head", 4) ||
          !std::memcmp(rec, "maxp", 4) || !std::memcmp(rec, "kern", 4))
        tables.push_back({off, std::min<uint32_t>(len, 20000)}); // the start of glyf holds the common glyphs
    }
    tables.push_back({0, 12 + 16 * count}); // the directory
    uint32_t seed = 12345;
    auto next = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return seed >> 8;
    };
    for (int m = 0; m < 120; ++m)
    {
      std::vector<unsigned char> d = font;
      const Range& r = tables[next() % tables.size()];
      for (int k = 0; k < 4; ++k)
      {
        const uint32_t at = r.offset + next() % r.length;
        if (m % 2)
          d[at] ^= static_cast<unsigned char>(1u << (next() % 8));
        else
          d[at] = (m % 4 == 0) ? 0xFF : 0x00;
      }
      AddAndExercise(d);
    }
  }
}

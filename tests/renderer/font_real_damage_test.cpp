// Damage inside the tables of the real fonts the product ships, and of a PostScript-outline (CFF) one: bit flips and
// overwritten bytes in the tables the store reads. A font is refused or works, and nothing reads outside the data
// (the sanitizer build runs this; the small corpus fonts are cut and flipped everywhere by the font input tests).

#include "fuzz/font_exercise.h"
#include "tests/renderer/FontTestUtil.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace fonttest;

namespace
{

// Adds a copy of data as the store's font (the store frees it) and exercises it; the result of faAddFontMem.
int AddAndExercise(const std::vector<unsigned char>& data)
{
  Store store(128, 128);
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(data.size()));
  std::memcpy(copy, data.data(), data.size());
  const int font = faAddFontMem(store.s, "damaged", copy, int(data.size()), 0, 1);
  EXPECT_TRUE(font < 0 || fontexercise::Exercise(store.s, font, 1024));
  return font;
}

} // namespace

TEST(FontDamaged, FlipsInRealFontTables)
{
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  auto be32 = [](const unsigned char* p) { return uint32_t(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]); };
  for (const char* path : {kRoboto, kDejaVu, kTexGyreHeros})
  {
    SCOPED_TRACE(path);
    const std::vector<unsigned char> font = ReadFile(path);
    ASSERT_GT(font.size(), 1000u);
    ASSERT_EQ(AddAndExercise(font), 0); // undamaged, it works
    const uint32_t count = uint32_t(font[4] << 8 | font[5]);
    std::vector<std::pair<uint32_t, uint32_t>> ranges{{0, 12 + 16 * count}}; // the directory, then the tables
    for (uint32_t i = 0; i < count; ++i)
    {
      const unsigned char* rec = &font[12 + 16 * i];
      const std::string tag(rec, rec + 4);
      if (std::string("glyf cmap loca hmtx hhea head maxp kern CFF ").find(tag) != std::string::npos)
        ranges.push_back({be32(rec + 8), std::min<uint32_t>(be32(rec + 12), 20000)}); // common glyphs come first
    }
    int refused = 0;
    for (int m = 0; m < 120; ++m)
    {
      std::vector<unsigned char> d = font;
      const auto& r = ranges[next() % ranges.size()];
      for (int k = 0; k < 4; ++k)
      {
        unsigned char& byte = d[r.first + next() % r.second];
        byte = m % 2 ? byte ^ static_cast<unsigned char>(1u << (next() % 8)) : (m % 4 == 0 ? 0xFF : 0x00);
      }
      refused += AddAndExercise(d) < 0;
    }
    EXPECT_GT(refused, 0); // some damage is caught when the font is added
    EXPECT_LT(refused, 120);
  }
}

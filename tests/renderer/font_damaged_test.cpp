// Damaged fonts: the corpus in tests/data/fonts-damaged (made by its make_corpus.py), every cut and bit flip of its
// small font. A font is refused or works; nothing reads outside the data (run under AddressSanitizer in CI; the
// font fuzz target mutates the same corpus further).

#include "fuzz/font_exercise.h"
#include "tests/renderer/FontTestUtil.h"

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

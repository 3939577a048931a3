// UTF-8 decoding of the text iterator and bounds against a plain decoder of well-formed UTF-8.

#include "tests/renderer/FontTestUtil.h"

using namespace fonttest;

namespace
{

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

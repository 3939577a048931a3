// The plain translations of the Cocoa view: keys and menu titles; and the formatter's input filter.

#include "platform/mac/IGraphicsMacNative.h"
#include "platform/mac/MacInput.h"

#include <gtest/gtest.h>

#include <string>

using namespace plugin::igraphics;

namespace
{

constexpr uint64_t kShift = 1ull << 17, kCtrl = 1ull << 18, kOpt = 1ull << 19, kCmd = 1ull << 20;

struct KeyCase
{
  const char* name;
  uint16_t keyCode;
  uint64_t flags;
  std::u16string chars;
  int vk;
  const char* utf8;
  bool S, C, A;
};

TEST(MacKeys, TranslationTable)
{
  const KeyCase cases[] = {
    {"backspace by key code", 51, 0, u"\x7f", 8, "\x7f", false, false, false},
    {"keypad enter is not return", 76, 0, u"\x03", 0x800D, "\x03", false, false, false},
    {"return through its character", 36, 0, u"\r", 13, "\r", false, false, false},
    {"keypad 8 after the gap", 91, 0, u"8", 104, "8", false, false, false},
    {"F1 by key code", 122, 0, u"\xF704", 112, "\xEF\x9C\x84", false, false, false},
    {"F17 by its character", 64, 0, u"\xF714", 128, "\xEF\x9C\x94", false, false, false},
    {"forward delete", 117, 0, u"\xF728", 46, "\xEF\x9C\xA8", false, false, false},
    {"lower-case letter becomes upper case", 0, 0, u"a", 'A', "a", false, false, false},
    {"shifted letter keeps shift", 0, kShift, u"a", 'A', "a", true, false, false},
    {"command and option reach C and A", 1, kCmd | kOpt, u"s", 'S', "s", false, true, true},
    {"control reaches no field", 1, kCtrl, u"s", 'S', "s", false, false, false},
    {"shift-tab stays back-tab and loses shift", 48, kShift, u"\x19", 0, "\x19", false, false, false},
    {"command-shift-tab is tab", 48, kShift | kCmd, u"\x19", 9, "\x19", true, true, false},
    {"plus sign: no code, text kept, shift cleared", 24, kShift, u"+", 0, "+", false, false, false},
    {"escape", 53, 0, u"\x1b", 27, "\x1b", false, false, false},
    {"no characters: key code + 1024", 10, 0, u"", 1034, "", false, false, false},
    {"letter beyond ASCII is alphanumeric", 0, 0, u"\u00e9", 0xE9, "\xC3\xA9", false, false, false},
    {"two characters give no text", 0, 0, u"ab", 'A', "", false, false, false},
    // A letter outside the basic plane arrives as a surrogate pair: one character, decided as a whole.
    {"supplementary letter", 0, kShift, u"\U0001D400", 0x1D400, "\xF0\x9D\x90\x80", true, false, false},
    {"supplementary symbol", 0, kShift, u"\U0001F600", 0, "\xF0\x9F\x98\x80", false, false, false},
    {"lone surrogate is nothing", 0, kShift, u"\xD835", 0, "", false, false, false},
  };
  for (const KeyCase& c : cases)
  {
    SCOPED_TRACE(c.name);
    const IKeyPress k = TranslateMacKey(c.keyCode, c.flags, c.chars.data(), c.chars.size());
    EXPECT_EQ(k.VK, c.vk);
    EXPECT_STREQ(k.utf8, c.utf8);
    EXPECT_EQ(k.S, c.S);
    EXPECT_EQ(k.C, c.C);
    EXPECT_EQ(k.A, c.A);
  }
}

TEST(MacMenuTitles, PrefixStyles)
{
  EXPECT_EQ(MacMenuItemTitle(0, 0, "Low"), "Low");
  EXPECT_EQ(MacMenuItemTitle(1, 0, "Low"), "1: Low");
  EXPECT_EQ(MacMenuItemTitle(1, 11, "x"), "12: x");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "a"), "01: a");
  EXPECT_EQ(MacMenuItemTitle(2, 11, "a"), "12: a");
  EXPECT_EQ(MacMenuItemTitle(3, 4, "a"), "005: a");
  EXPECT_EQ(MacMenuItemTitle(7, 4, "a"), "a");
  EXPECT_EQ(MacMenuItemTitle(2, 0, ""), "01: ");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "\xC3"), "");     // cut sequence
  EXPECT_EQ(MacMenuItemTitle(0, 0, "\xC0\xAF"), ""); // overlong form
  EXPECT_EQ(MacMenuItemTitle(0, 0, nullptr), "");
  // Three- and four-byte characters are kept; surrogates, values past U+10FFFF and stray bytes are not UTF-8.
  EXPECT_EQ(MacMenuItemTitle(2, 0, "\xE2\x82\xAC 5"), "01: \xE2\x82\xAC 5");
  EXPECT_EQ(MacMenuItemTitle(0, 0, "\xF0\x9F\x8E\xB5"), "\xF0\x9F\x8E\xB5");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "\xED\xA0\x80"), "");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "\xF4\x90\x80\x80"), "");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "\xE0\x80\xAF"), "");
  EXPECT_EQ(MacMenuItemTitle(2, 0, "a\xFF" "b"), "");
}

// ---- Formatter ----

struct Formatter
{
  Formatter(const char* chars, int maxLength, const char* label = nullptr)
  {
    f = new IGraphicsFormatter_vZANIQ_au();
    f->setAcceptableCharacterSet(NSCharacterSet::characterSetWithCharactersInString(NSString::stringWithUTF8String(chars)));
    f->setMaximumLength(maxLength);
    if (label) f->setLabelSuffix(NSString::stringWithUTF8String(label));
  }
  ~Formatter() { f->release(); }
  bool Accepts(const char* s) { return f->isPartialStringValid_newEditingString_errorDescription(NSString::stringWithUTF8String(s), nullptr, nullptr); }
  IGraphicsFormatter_vZANIQ_au* f;
};

TEST(MacFormatter, PartialStrings)
{
  constexpr const char* kNumber = "0123456789.-+kK";
  constexpr const char* kInteger = "0123456789-+";
  struct Row
  {
    const char* chars;
    int maxLength;
    const char* label;
    const char* text;
    bool accepted;
  };
  const Row rows[] = {
    {kNumber, 0, nullptr, "", true},
    {kNumber, 0, nullptr, "1", true},
    {kNumber, 0, nullptr, "1e", false},
    {kNumber, 0, nullptr, "-", true},
    {kNumber, 0, nullptr, "-3", true},
    {kNumber, 0, nullptr, "-3.", true},
    {kNumber, 0, nullptr, "-3.5", true},
    {kNumber, 0, nullptr, "-3.5k", true},
    {kNumber, 0, nullptr, "3 dB", false},
    {kInteger, 5, nullptr, "12345", true},
    {kInteger, 5, nullptr, "123456", false},
    {kInteger, 5, nullptr, "1234", true},
    {kInteger, 5, nullptr, "1.5", false},
    // A field that opened with its label: the number in front of it stays editable, the label is not vetted.
    {kNumber, 5, " dB", "2.50 dB", true},
    {kNumber, 5, " dB", "2.5 dB", true},
    {kNumber, 5, " dB", "12.50 dB", true},
    {kNumber, 5, " dB", "123.50 dB", false},
    {kNumber, 5, " dB", "2x50 dB", false},
    {kNumber, 5, " dB", "2.50 dBx", false},
    // Characters count as code points: a character outside the set is refused whole, never unit by unit.
    {"0123456789", 3, nullptr, "1\xF0\x9F\x98\x80", false},
    // Two- and three-byte characters of the set count one each.
    {"0123456789\xC3\xA9\xE2\x82\xAC", 3, nullptr, "\xC3\xA9\xE2\x82\xAC" "1", true},
    {"0123456789\xC3\xA9\xE2\x82\xAC", 3, nullptr, "\xC3\xA9\xE2\x82\xAC" "12", false},
  };
  NSAutoreleasePool pool;
  for (const Row& r : rows)
  {
    Formatter f(r.chars, r.maxLength, r.label);
    EXPECT_EQ(f.Accepts(r.text), r.accepted) << r.chars << " / " << r.maxLength << ": \"" << r.text << "\"";
  }
  Formatter capped(kInteger, 0);
  capped.f->setMaximumValue(100);
  EXPECT_TRUE(capped.Accepts("100"));
  EXPECT_FALSE(capped.Accepts("101"));
}

} // namespace

#include "platform/mac/MacInput.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <locale.h>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------------------------

namespace
{

constexpr int kFlagValid = 1;
constexpr int kFlagShift = 4;
constexpr int kFlagCommand = 8;
constexpr int kFlagOption = 16;
constexpr int kFlagControl = 32;

struct KeyRow
{
  uint16_t keyCode;
  int32_t vk;
};

// Hardware keys whose meaning does not depend on the layout.
constexpr KeyRow kKeyTable[] = {
  {51, 8},    {65, 110},  {67, 106},  {69, 107},  {71, 144},  {75, 111},  {76, kVK_KEYPAD_ENTER},
  {78, 109},  {81, 108},  {82, 96},   {83, 97},   {84, 98},   {85, 99},   {86, 100},
  {87, 101},  {88, 102},  {89, 103},  {91, 104},  {92, 105},  {96, 116},  {97, 117},
  {98, 118},  {99, 114},  {100, 119}, {101, 120}, {103, 122}, {105, 124}, {106, 127},
  {107, 125}, {109, 121}, {111, 123}, {113, 126}, {114, 45},  {115, 36},  {116, 33},
  {117, 46},  {118, 115}, {119, 35},  {120, 113}, {121, 34},  {122, 112}, {123, 37},
  {124, 39},  {125, 40},  {126, 38},
};

// Letters and digits beyond ASCII by the Unicode classes of a UTF-8 locale, so that the answer does not depend
// on the host's locale settings.
bool IsAlnumCodePoint(char32_t cp)
{
  if (cp < 128) return (cp >= '0' && cp <= '9') || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z');
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8) return iswalnum_l(static_cast<wint_t>(cp), utf8) != 0;
  return std::iswalnum(static_cast<wint_t>(cp)) != 0;
}

// The first code point of chars and how many units it takes; a lone surrogate is answered as itself (1 unit).
char32_t FirstCodePoint(const char16_t* chars, size_t n, size_t& units)
{
  const char16_t c = chars[0];
  units = 1;
  if (c >= 0xD800 && c <= 0xDBFF && n > 1 && chars[1] >= 0xDC00 && chars[1] <= 0xDFFF)
  {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(chars[1]) - 0xDC00);
  }
  return c;
}

bool IsSurrogate(char32_t cp)
{
  return cp >= 0xD800 && cp <= 0xDFFF;
}

// UTF-8 of one code point into out (at least 5 bytes), terminated; empty for a surrogate.
void EncodeUTF8(char32_t cp, char* out)
{
  unsigned char* o = reinterpret_cast<unsigned char*>(out);
  if (IsSurrogate(cp) || cp > 0x10FFFF)
    *o = 0;
  else if (cp < 0x80)
    o[0] = static_cast<unsigned char>(cp), o[1] = 0;
  else if (cp < 0x800)
    o[0] = static_cast<unsigned char>(0xC0 | (cp >> 6)), o[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F)), o[2] = 0;
  else if (cp < 0x10000)
  {
    o[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    o[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    o[3] = 0;
  }
  else
  {
    o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    o[4] = 0;
  }
}

} // namespace

IKeyPress TranslateMacKey(uint16_t keyCode, uint64_t modifierFlags, const char16_t* chars, size_t nChars)
{
  int flags = 0;
  if (modifierFlags & kMacShiftKeyMask) flags |= kFlagShift;
  if (modifierFlags & kMacCommandKeyMask) flags |= kFlagCommand;
  if (modifierFlags & kMacOptionKeyMask) flags |= kFlagOption;
  if (modifierFlags & kMacControlKeyMask) flags |= kFlagControl;

  if (!chars) nChars = 0;
  int32_t code = 0;
  bool found = false;
  for (const KeyRow& row : kKeyTable)
  {
    if (row.keyCode == keyCode)
    {
      code = row.vk;
      flags |= kFlagValid;
      found = true;
      break;
    }
  }

  size_t units = 0;
  const char32_t cp = nChars ? FirstCodePoint(chars, nChars, units) : 0;
  if (!found)
  {
    if (nChars == 0)
    {
      code = keyCode + 1024;
      flags |= kFlagValid;
    }
    else if (cp >= 0xF704 && cp <= 0xF71B)
    {
      code = static_cast<int32_t>(cp - 0xF704 + 112);
      flags |= kFlagValid;
    }
    else
    {
      char32_t c = cp;
      if (c >= 'a' && c <= 'z') c -= 32;
      // Back-tab is a tab only with Command: Shift-Tab stays 25 and loses its shift below.
      if (c == 25 && (flags & (1 | 2 | kFlagCommand))) c = 9;
      code = static_cast<int32_t>(c);
      if (!IsSurrogate(c) && (IsAlnumCodePoint(c) || c == 9 || c == 10 || c == 13 || c == 27 || c == 32))
        flags |= kFlagValid;
    }
  }
  if (!(flags & kFlagValid)) flags &= ~kFlagShift;

  char utf8[5] = {};
  // One character, whatever number of units it takes.
  if (nChars > 0 && units == nChars) EncodeUTF8(cp, utf8);

  return IKeyPress(utf8, (flags & kFlagValid) ? code : 0, (flags & kFlagShift) != 0, (flags & kFlagCommand) != 0,
                   (flags & kFlagOption) != 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------------------------------------------

MacMsgBox GetMacMsgBox(int type)
{
  MacMsgBox b;
  switch (type)
  {
    case kMB_OK:
      b = {true, "OK", nullptr, nullptr, kOK, kOK, kOK};
      break;
    case kMB_OKCANCEL:
      b = {true, "OK", "Cancel", nullptr, kOK, kCANCEL, kCANCEL};
      break;
    case kMB_YESNOCANCEL:
      b = {true, "Yes", "Cancel", "No", kYES, kCANCEL, kNO};
      break;
    case kMB_YESNO:
      b = {true, "Yes", "No", nullptr, kYES, kNO, kNO};
      break;
    case kMacMsgBoxRetryCancel:
      b = {true, "Retry", "Cancel", nullptr, kMacMsgBoxRetry, kCANCEL, kCANCEL};
      break;
    default:
      break;
  }
  return b;
}

// ---------------------------------------------------------------------------------------------------------------
// Menus and rectangles
// ---------------------------------------------------------------------------------------------------------------

bool IsValidUTF8(const char* text)
{
  if (!text) return false;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s)
  {
    int n = 0;
    char32_t cp = 0;
    if (*s < 0x80)
    {
      ++s;
      continue;
    }
    if ((*s & 0xE0) == 0xC0)
      n = 1, cp = *s & 0x1F;
    else if ((*s & 0xF0) == 0xE0)
      n = 2, cp = *s & 0x0F;
    else if ((*s & 0xF8) == 0xF0)
      n = 3, cp = *s & 0x07;
    else
      return false;
    ++s;
    for (int i = 0; i < n; ++i, ++s)
    {
      if ((*s & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*s & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point are not UTF-8.
    const char32_t minimum = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
    if (cp < minimum || IsSurrogate(cp) || cp > 0x10FFFF) return false;
  }
  return true;
}

std::string MacMenuItemTitle(int prefix, int index, const char* text)
{
  // A text that is not UTF-8 gives no title at all, number included.
  if (!IsValidUTF8(text)) return {};
  char number[32] = {};
  switch (prefix)
  {
    case 1:
      std::snprintf(number, sizeof number, "%1d: ", index + 1);
      break;
    case 2:
      std::snprintf(number, sizeof number, "%02d: ", index + 1);
      break;
    case 3:
      std::snprintf(number, sizeof number, "%03d: ", index + 1);
      break;
    default:
      break;
  }
  return std::string(number) + text;
}

IRECT ScaleRectOutward(const IRECT& r, float scale)
{
  return IRECT(std::floor(r.L * scale), std::floor(r.T * scale), std::ceil(r.R * scale), std::ceil(r.B * scale));
}

} // namespace plugin::igraphics

// UTF conversions shared by the Foundation and AppKit stand-ins.

#include <Foundation/Unicode_p.h>

namespace zqns
{

namespace
{

// Decodes one code point at s[i]; advances i. Answers -1 for a malformed sequence (i moves by one byte).
long DecodeOne(const std::string& s, size_t& i)
{
  const unsigned char b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80)
  {
    ++i;
    return b0;
  }
  int len;
  char32_t c;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) len = 2, c = b0 & 0x1F, min = 0x80;
  else if ((b0 & 0xF0) == 0xE0) len = 3, c = b0 & 0x0F, min = 0x800;
  else if ((b0 & 0xF8) == 0xF0) len = 4, c = b0 & 0x07, min = 0x10000;
  else
  {
    ++i;
    return -1;
  }
  if (i + len > s.size())
  {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k)
  {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80)
    {
      ++i;
      return -1;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
  {
    ++i;
    return -1;
  }
  i += len;
  return static_cast<long>(c);
}

} // namespace

bool IsValidUTF8(const std::string& text)
{
  for (size_t i = 0; i < text.size();)
    if (DecodeOne(text, i) < 0) return false;
  return true;
}

std::u32string UTF8ToUTF32(const std::string& text)
{
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();)
  {
    const long c = DecodeOne(text, i);
    out.push_back(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
  }
  return out;
}

std::u16string UTF8ToUTF16(const std::string& text)
{
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : UTF8ToUTF32(text))
  {
    if (c >= 0x10000)
    {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
    else
      out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

void AppendUTF8(std::string& out, char32_t c)
{
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80)
    out.push_back(static_cast<char>(c));
  else if (c < 0x800)
  {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  else if (c < 0x10000)
  {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  else
  {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string UTF16ToUTF8(const std::u16string& text)
{
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
  {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
    {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUTF8(out, c);
  }
  return out;
}

std::string UTF32ToUTF8(const std::u32string& text)
{
  std::string out;
  for (char32_t c : text) AppendUTF8(out, c);
  return out;
}

} // namespace zqns

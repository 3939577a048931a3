// Private to the Foundation and AppKit stand-ins: UTF-8 / UTF-16 / code point conversions.
#pragma once

#include <string>

namespace zqns
{

// Whether text is well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool IsValidUTF8(const std::string& text);
// Code points of well-formed UTF-8 (malformed bytes become U+FFFD).
std::u32string UTF8ToUTF32(const std::string& text);
std::u16string UTF8ToUTF16(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string UTF16ToUTF8(const std::u16string& text);
std::string UTF32ToUTF8(const std::u32string& text);
void AppendUTF8(std::string& out, char32_t c);

} // namespace zqns

// Foundation stand-in: the text side of NSString and NSMutableString (UTF-16 indexes, numbers, formatting).

#include <Foundation/Foundation.h>
#include <Foundation/Unicode_p.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace
{

// Skips white space and reads a decimal integer with optional sign; 0 without digits.
long long LeadingInteger(const std::string& s)
{
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long value = 0;
  bool overflow = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
  {
    if (value > (LLONG_MAX - (s[i] - '0')) / 10) overflow = true;
    if (!overflow) value = value * 10 + (s[i] - '0');
  }
  if (overflow) return negative ? LLONG_MIN : LLONG_MAX;
  return negative ? -value : value;
}

locale_t CLocale()
{
  static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
  return loc;
}

} // namespace

NSString* NSString::stringWithCString_encoding(const char* text, NSStringEncoding encoding)
{
  if (!text) return nullptr;
  switch (encoding)
  {
  case NSUTF8StringEncoding: return stringWithUTF8String(text);
  case NSASCIIStringEncoding:
  case NSISOLatin1StringEncoding:
  {
    std::string out;
    for (const char* p = text; *p; ++p) zqns::AppendUTF8(out, static_cast<unsigned char>(*p));
    return Make(std::move(out));
  }
  default: return nullptr;
  }
}

NSString* NSString::stringWithString(const NSString* other)
{
  return other ? Make(other->mText) : nullptr;
}

NSString* NSString::stringWithCharacters_length(const unichar* characters, NSUInteger length)
{
  if (!characters && length > 0) return nullptr;
  std::u16string units(reinterpret_cast<const char16_t*>(characters), length);
  return Make(zqns::UTF16ToUTF8(units));
}

NSString* NSString::stringWithFormat(const char* format, ...)
{
  if (!format) return nullptr;
  va_list ap;
  va_start(ap, format);
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0)
  {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, ap);
    out.resize(static_cast<size_t>(n));
  }
  va_end(ap);
  return Make(std::move(out));
}

NSString* NSString::string()
{
  return Make("");
}

const char* NSString::cStringUsingEncoding(NSStringEncoding encoding) const
{
  if (encoding == NSUTF8StringEncoding) return mText.c_str();
  if (encoding == NSASCIIStringEncoding)
  {
    for (unsigned char c : mText)
      if (c > 127) return nullptr;
    return mText.c_str();
  }
  if (encoding == NSISOLatin1StringEncoding)
  {
    mCString.clear();
    for (char32_t c : zqns::UTF8ToUTF32(mText))
    {
      if (c > 255) return nullptr;
      mCString.push_back(static_cast<char>(c));
    }
    return mCString.c_str();
  }
  return nullptr;
}

NSUInteger NSString::length() const
{
  return zqns::UTF8ToUTF16(mText).size();
}

unichar NSString::characterAtIndex(NSUInteger index) const
{
  const std::u16string u = zqns::UTF8ToUTF16(mText);
  return index < u.size() ? u[index] : 0;
}

int NSString::intValue() const
{
  const long long v = LeadingInteger(mText);
  return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

NSInteger NSString::integerValue() const
{
  return static_cast<NSInteger>(LeadingInteger(mText));
}

double NSString::doubleValue() const
{
  const char* p = mText.c_str();
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  char* end = nullptr;
  const double v = strtod_l(p, &end, CLocale());
  return end == p ? 0.0 : v;
}

BOOL NSString::hasPrefix(const NSString* prefix) const
{
  return prefix && !prefix->mText.empty() && mText.compare(0, prefix->mText.size(), prefix->mText) == 0 ? YES : NO;
}

BOOL NSString::hasSuffix(const NSString* suffix) const
{
  if (!suffix || suffix->mText.empty() || suffix->mText.size() > mText.size()) return NO;
  return mText.compare(mText.size() - suffix->mText.size(), suffix->mText.size(), suffix->mText) == 0 ? YES : NO;
}

NSRange NSString::rangeOfString(const NSString* other) const
{
  if (!other || other->mText.empty()) return NSMakeRange(NSUInteger(NSNotFound), 0);
  const std::u16string a = zqns::UTF8ToUTF16(mText), b = zqns::UTF8ToUTF16(other->mText);
  const size_t at = a.find(b);
  if (at == std::u16string::npos) return NSMakeRange(NSUInteger(NSNotFound), 0);
  return NSMakeRange(at, b.size());
}

NSString* NSString::substringWithRange(NSRange range) const
{
  const std::u16string u = zqns::UTF8ToUTF16(mText);
  const size_t from = range.location < u.size() ? range.location : u.size();
  const size_t len = range.length < u.size() - from ? range.length : u.size() - from;
  return Make(zqns::UTF16ToUTF8(u.substr(from, len)));
}

NSString* NSString::substringFromIndex(NSUInteger from) const
{
  return substringWithRange(NSMakeRange(from, NSUInteger(-1)));
}

NSString* NSString::substringToIndex(NSUInteger to) const
{
  return substringWithRange(NSMakeRange(0, to));
}

NSString* NSString::stringByAppendingString(const NSString* other) const
{
  return Make(other ? mText + other->mText : mText);
}

NSString* NSString::description() const
{
  return Make(mText);
}

// ---------------------------------------------------------------------------------------------------------------
// NSMutableString
// ---------------------------------------------------------------------------------------------------------------

NSMutableString* NSMutableString::string()
{
  return static_cast<NSMutableString*>((new NSMutableString(""))->autorelease());
}

NSMutableString* NSMutableString::stringWithString(const NSString* other)
{
  NSMutableString* s = string();
  s->setString(other);
  return s;
}

NSMutableString* NSMutableString::stringWithUTF8String(const char* text)
{
  if (!text || !zqns::IsValidUTF8(text)) return nullptr;
  NSMutableString* s = string();
  s->mText = text;
  return s;
}

NSMutableString* NSMutableString::stringWithCapacity(NSUInteger)
{
  return string();
}

void NSMutableString::appendString(const NSString* other)
{
  if (other) mText += std::string(other->UTF8String());
}

void NSMutableString::insertString_atIndex(const NSString* other, NSUInteger index)
{
  if (!other) return;
  std::u16string u = zqns::UTF8ToUTF16(mText);
  if (index > u.size()) index = u.size();
  if (index > 0 && index < u.size() && u[index] >= 0xDC00 && u[index] <= 0xDFFF && u[index - 1] >= 0xD800 &&
      u[index - 1] <= 0xDBFF)
    ++index;
  u.insert(index, zqns::UTF8ToUTF16(std::string(other->UTF8String())));
  mText = zqns::UTF16ToUTF8(u);
}

void NSMutableString::deleteCharactersInRange(NSRange range)
{
  std::u16string u = zqns::UTF8ToUTF16(mText);
  if (range.location >= u.size()) return;
  u.erase(range.location, range.length);
  mText = zqns::UTF16ToUTF8(u);
}

void NSMutableString::setString(const NSString* other)
{
  mText = other ? std::string(other->UTF8String()) : std::string();
}

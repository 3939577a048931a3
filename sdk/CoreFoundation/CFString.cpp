// CoreFoundation strings: UTF-8 storage, encodings, comparison and formatting.
#include <CoreFoundation/CFInternal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

using namespace zqcf;

namespace
{

// Mac OS Roman bytes 0x80..0xFF as Unicode code points (Apple's current table: 0xDB is the euro sign).
constexpr uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x0394, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

// Decodes well-formed UTF-8 into code points.
std::u32string CodePoints(std::string_view s)
{
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size())
  {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += static_cast<char32_t>(cp);
    i += len;
  }
  return out;
}

std::u16string UTF16(std::string_view s)
{
  std::u16string out;
  for (char32_t cp : CodePoints(s))
  {
    if (cp >= 0x10000)
    {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    else
    {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

bool IsKnownEncoding(CFStringEncoding e)
{
  return e == kCFStringEncodingUTF8 || e == kCFStringEncodingASCII || e == kCFStringEncodingMacRoman ||
         e == kCFStringEncodingISOLatin1;
}

bool IsASCII(std::string_view s)
{
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Bytes in an encoding → UTF-8. False when invalid in that encoding.
bool ToUTF8(const UInt8* bytes, size_t n, CFStringEncoding encoding, std::string& out)
{
  out.clear();
  const std::string_view in(reinterpret_cast<const char*>(bytes), n);
  switch (encoding)
  {
  case kCFStringEncodingUTF8:
    if (!IsValidUTF8(in)) return false;
    out.assign(in);
    return true;
  case kCFStringEncodingASCII:
    if (!IsASCII(in)) return false;
    out.assign(in);
    return true;
  case kCFStringEncodingISOLatin1:
    for (unsigned char c : in)
      AppendUTF8(out, c);
    return true;
  case kCFStringEncodingMacRoman:
    for (unsigned char c : in)
      AppendUTF8(out, c < 0x80 ? c : kMacRomanHigh[c - 0x80]);
    return true;
  default:
    return false;
  }
}

// UTF-8 → bytes in an encoding. False when a character cannot be represented.
bool FromUTF8(std::string_view s, CFStringEncoding encoding, std::string& out)
{
  out.clear();
  if (encoding == kCFStringEncodingUTF8)
  {
    out.assign(s);
    return true;
  }
  if (!IsKnownEncoding(encoding)) return false;
  for (char32_t cp : CodePoints(s))
  {
    if (cp < 0x80)
    {
      out += static_cast<char>(cp);
      continue;
    }
    if (encoding == kCFStringEncodingASCII) return false;
    if (encoding == kCFStringEncodingISOLatin1)
    {
      if (cp > 0xFF) return false;
      out += static_cast<char>(cp);
      continue;
    }
    int found = -1;
    for (int k = 0; k < 128; ++k)
    {
      if (kMacRomanHigh[k] == cp)
      {
        found = k;
        break;
      }
    }
    if (found < 0) return false;
    out += static_cast<char>(0x80 + found);
  }
  return true;
}

const __CFString* Str(CFStringRef s)
{
  return Cast<__CFString>(s);
}

} // namespace

// ---- The object ----

__CFString::__CFString(std::string_view utf8)
    : Object(kTypeID, false), bytes(nullptr), size(utf8.size()), utf16Length(UTF16Length(utf8)),
      owned(new char[utf8.size() + 1])
{
  if (!utf8.empty()) std::memcpy(owned.get(), utf8.data(), utf8.size());
  owned[utf8.size()] = '\0';
  bytes = owned.get();
}

bool __CFString::Equal(const Object& other) const
{
  return View() == static_cast<const __CFString&>(other).View();
}

CFHashCode __CFString::Hash() const
{
  uint64_t h = 1469598103934665603ull; // FNV-1a
  for (unsigned char c : View())
    h = (h ^ c) * 1099511628211ull;
  return static_cast<CFHashCode>(h);
}

namespace zqcf
{

CFStringRef MakeString(std::string_view utf8)
{
  return new __CFString(utf8);
}

std::string_view StringView(CFStringRef s)
{
  const __CFString* str = Str(s);
  return str ? str->View() : std::string_view();
}

} // namespace zqcf

CFTypeID CFStringGetTypeID(void)
{
  return kTypeString;
}

CFStringRef __CFStringMakeConstantString(const char* cStr)
{
  // Interned for the life of the process; the table itself is never destroyed.
  static std::mutex* mutex = new std::mutex;
  static auto* table = new std::unordered_map<std::string, const __CFString*>;
  if (!cStr) cStr = "";
  std::string text;
  const size_t n = std::strlen(cStr);
  if (!ToUTF8(reinterpret_cast<const UInt8*>(cStr), n, kCFStringEncodingUTF8, text))
    (void)ToUTF8(reinterpret_cast<const UInt8*>(cStr), n, kCFStringEncodingMacRoman, text);
  std::lock_guard<std::mutex> lock(*mutex);
  auto it = table->find(text);
  if (it != table->end()) return it->second;
  // A constant over its own copy of the text, kept forever.
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  auto* storage = new Immortal<__CFString>(copy, text.size());
  table->emplace(std::move(text), &storage->value);
  return &storage->value;
}

// ---- Creation ----

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
{
  if (!cStr) return nullptr;
  std::string text;
  if (!ToUTF8(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, text)) return nullptr;
  return MakeString(text);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes, CFStringEncoding encoding,
                                    Boolean isExternalRepresentation)
{
  if (numBytes < 0 || (!bytes && numBytes > 0)) return nullptr;
  size_t n = static_cast<size_t>(numBytes);
  if (isExternalRepresentation && encoding == kCFStringEncodingUTF8 && n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB &&
      bytes[2] == 0xBF)
  {
    bytes += 3;
    n -= 3;
  }
  std::string text;
  if (!ToUTF8(bytes, n, encoding, text)) return nullptr;
  return MakeString(text);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars)
{
  if (numChars < 0 || (!chars && numChars > 0)) return nullptr;
  std::string text;
  for (CFIndex i = 0; i < numChars; ++i)
  {
    uint32_t c = chars[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < numChars && chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF)
    {
      c = 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00u);
      ++i;
    }
    else if (c >= 0xD800 && c <= 0xDFFF)
    {
      c = 0xFFFD; // an unpaired surrogate has no UTF-8 form
    }
    AppendUTF8(text, c);
  }
  return MakeString(text);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString)
{
  // Strings are immutable: the copy is the same object.
  if (!Str(theString)) return nullptr;
  return static_cast<CFStringRef>(CFRetain(theString));
}

// ---- Access ----

CFIndex CFStringGetLength(CFStringRef theString)
{
  const __CFString* s = Str(theString);
  return s ? s->utf16Length : 0;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx)
{
  const __CFString* s = Str(theString);
  if (!s || idx < 0 || idx >= s->utf16Length) return 0;
  return UTF16(s->View())[static_cast<size_t>(idx)];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer)
{
  const __CFString* s = Str(theString);
  if (!s || !buffer || range.location < 0 || range.length <= 0) return;
  const std::u16string u = UTF16(s->View());
  for (CFIndex i = 0; i < range.length && range.location + i < static_cast<CFIndex>(u.size()); ++i)
    buffer[i] = u[static_cast<size_t>(range.location + i)];
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
  if (!buffer || bufferSize <= 0) return false;
  buffer[0] = '\0';
  const __CFString* s = Str(theString);
  if (!s) return false;
  std::string out;
  if (!FromUTF8(s->View(), encoding, out)) return false;
  if (static_cast<uint64_t>(out.size()) + 1 > static_cast<uint64_t>(bufferSize)) return false;
  std::memcpy(buffer, out.c_str(), out.size() + 1);
  return true;
}

const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding)
{
  const __CFString* s = Str(theString);
  if (!s) return nullptr;
  if (encoding == kCFStringEncodingUTF8) return s->bytes;
  if (IsKnownEncoding(encoding) && IsASCII(s->View())) return s->bytes;
  return nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
{
  if (length < 0) return kCFNotFound;
  if (encoding == kCFStringEncodingUTF8) return length > LONG_MAX / 3 ? CFIndex{kCFNotFound} : length * 3;
  return length;
}

// ---- Comparison ----

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions)
{
  const std::u32string a = CodePoints(StringView(theString1));
  const std::u32string b = CodePoints(StringView(theString2));
  const bool fold = (compareOptions & kCFCompareCaseInsensitive) != 0;
  const bool numeric = (compareOptions & kCFCompareNumerically) != 0;
  auto lower = [fold](char32_t c) { return (fold && c >= 'A' && c <= 'Z') ? c + 32 : c; };
  auto digit = [](char32_t c) { return c >= '0' && c <= '9'; };
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
  {
    if (numeric && digit(a[i]) && digit(b[j]))
    {
      size_t ie = i, je = j;
      while (ie < a.size() && digit(a[ie]))
        ++ie;
      while (je < b.size() && digit(b[je]))
        ++je;
      size_t is = i, js = j;
      while (is + 1 < ie && a[is] == '0')
        ++is;
      while (js + 1 < je && b[js] == '0')
        ++js;
      if (ie - is != je - js) return (ie - is) < (je - js) ? kCFCompareLessThan : kCFCompareGreaterThan;
      for (; is < ie; ++is, ++js)
        if (a[is] != b[js]) return a[is] < b[js] ? kCFCompareLessThan : kCFCompareGreaterThan;
      i = ie;
      j = je;
      continue;
    }
    const char32_t ca = lower(a[i]), cb = lower(b[j]);
    if (ca != cb) return ca < cb ? kCFCompareLessThan : kCFCompareGreaterThan;
    ++i;
    ++j;
  }
  if (i < a.size()) return kCFCompareGreaterThan;
  if (j < b.size()) return kCFCompareLessThan;
  return kCFCompareEqualTo;
}

// ---- Formatting ----

namespace
{

// printf-style formatting with %@; each conversion is handed to snprintf on its own.
std::string Format(std::string_view fmt, va_list* args)
{
  std::string out;
  size_t i = 0;
  while (i < fmt.size())
  {
    const char c = fmt[i];
    if (c != '%')
    {
      out += c;
      ++i;
      continue;
    }
    const size_t start = i++;
    std::string spec = "%";
    // A width or precision: digits, or '*' taking the next int argument.
    auto takeCount = [&]
    {
      if (i < fmt.size() && fmt[i] == '*')
      {
        spec += std::to_string(va_arg(*args, int));
        ++i;
        return;
      }
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9')
        spec += fmt[i++];
    };
    while (i < fmt.size() && fmt[i] && std::strchr("-+ #0", fmt[i]))
      spec += fmt[i++];
    takeCount();
    if (i < fmt.size() && fmt[i] == '.')
    {
      spec += fmt[i++];
      takeCount();
    }
    std::string length;
    while (i < fmt.size() && std::strchr("hlqLzjt", fmt[i]))
      length += fmt[i++];
    if (i >= fmt.size())
    {
      out.append(fmt.substr(start));
      break;
    }
    const char conv = fmt[i++];
    char buf[512];
    auto emit = [&](auto value, const char* len)
    {
      const std::string f = spec + len + conv;
      const int n = std::snprintf(buf, sizeof buf, f.c_str(), value);
      if (n < 0) return;
      if (static_cast<size_t>(n) < sizeof buf)
      {
        out.append(buf, static_cast<size_t>(n));
      }
      else
      {
        std::string big(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(big.data(), big.size(), f.c_str(), value);
        out.append(big.data(), static_cast<size_t>(n));
      }
    };
    const bool wide =
        length == "l" || length == "ll" || length == "q" || length == "z" || length == "j" || length == "t";
    switch (conv)
    {
    case '%':
      out += '%';
      break;
    case '@':
      out += Describe(va_arg(*args, CFTypeRef));
      break;
    case 'd':
    case 'i':
    {
      long long v =
          wide ? (length == "l" || length == "z" || length == "t" ? va_arg(*args, long) : va_arg(*args, long long))
               : va_arg(*args, int);
      if (length == "hh") v = static_cast<signed char>(v);
      if (length == "h") v = static_cast<short>(v);
      emit(v, "ll");
      break;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    {
      unsigned long long v = wide
                                 ? (length == "l" || length == "z" || length == "t" ? va_arg(*args, unsigned long)
                                                                                    : va_arg(*args, unsigned long long))
                                 : va_arg(*args, unsigned int);
      if (length == "hh") v = static_cast<unsigned char>(v);
      if (length == "h") v = static_cast<unsigned short>(v);
      emit(v, "ll");
      break;
    }
    case 'c':
      emit(va_arg(*args, int), "");
      break;
    case 'C':
      AppendUTF8(out, static_cast<UniChar>(va_arg(*args, int)));
      break;
    case 's':
    {
      const char* s = va_arg(*args, const char*);
      emit(s ? s : "(null)", "");
      break;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (length == "L")
        emit(va_arg(*args, long double), "L");
      else
        emit(va_arg(*args, double), "");
      break;
    case 'p':
      emit(va_arg(*args, void*), "");
      break;
    case 'n':
      (void)va_arg(*args, void*); // never writes through a pointer from a format
      break;
    default:
      out.append(fmt.substr(start, i - start));
      break;
    }
  }
  return out;
}

} // namespace

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format, va_list arguments)
{
  if (!Str(format)) return nullptr;
  va_list copy;
  va_copy(copy, arguments);
  std::string text = Format(StringView(format), &copy);
  va_end(copy);
  if (!IsValidUTF8(text))
  {
    // A %s argument in another encoding: keep what the bytes say as Mac Roman.
    std::string raw = std::move(text);
    (void)ToUTF8(reinterpret_cast<const UInt8*>(raw.data()), raw.size(), kCFStringEncodingMacRoman, text);
  }
  return MakeString(text);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...)
{
  va_list args;
  va_start(args, format);
  CFStringRef s = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, args);
  va_end(args);
  return s;
}

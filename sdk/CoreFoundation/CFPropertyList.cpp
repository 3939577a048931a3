// CoreFoundation property lists: a reader for the XML form.
//
// The input is untrusted (an Info.plist on disk, data from a host): every construct is checked, nesting is
// bounded, numbers must be finite and in range, text must be well-formed UTF-8. Anything else fails the
// whole read; partial results are released.
#include <CoreFoundation/CFInternal.h>

#include <charconv>
#include <cmath>
#include <cstring>

using namespace zqcf;

namespace
{

constexpr int kMaxDepth = 256;

// Owns one reference until released to the caller.
class Ref
{
public:
  explicit Ref(CFTypeRef p = nullptr) : p_(p) {}
  ~Ref()
  {
    if (p_) CFRelease(p_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  CFTypeRef get() const { return p_; }
  CFTypeRef release()
  {
    CFTypeRef p = p_;
    p_ = nullptr;
    return p;
  }

private:
  CFTypeRef p_;
};

bool IsSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view s)
{
  while (!s.empty() && IsSpace(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back()))
    s.remove_suffix(1);
  return s;
}

bool ParseInteger(std::string_view s, int64_t& out)
{
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-'))
  {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
  {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  uint64_t magnitude = 0;
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data(), end, magnitude, base);
  if (ec != std::errc() || ptr != end) return false;
  if (negative)
  {
    if (magnitude > uint64_t{1} << 63) return false;
    out = magnitude == uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(magnitude);
  }
  else
  {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    out = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool ParseReal(std::string_view s, double& out)
{
  s = Trim(s);
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data(), end, out, std::chars_format::general);
  return ec == std::errc() && ptr == end && std::isfinite(out);
}

bool DecodeBase64(std::string_view s, std::vector<UInt8>& out)
{
  uint32_t acc = 0;
  int bits = 0;
  bool padding = false;
  for (char c : s)
  {
    if (IsSpace(c)) continue;
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else if (c == '=')
    {
      padding = true;
      continue;
    }
    else
    {
      return false;
    }
    if (padding) return false; // data after the padding
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8)
    {
      bits -= 8;
      out.push_back(static_cast<UInt8>(acc >> bits));
      acc &= (1u << bits) - 1;
    }
  }
  return true;
}

class Reader
{
public:
  Reader(std::string_view text, bool mutableContainers) : s_(text), mutable_(mutableContainers) {}

  CFPropertyListRef Parse()
  {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    if (!SkipMisc()) return nullptr;
    Tag tag;
    if (!ReadTag(tag) || tag.kind == Tag::kEnd) return nullptr;
    const bool wrapped = tag.name == "plist";
    if (wrapped)
    {
      if (tag.kind != Tag::kStart || !SkipMisc() || !ReadTag(tag) || tag.kind == Tag::kEnd) return nullptr;
    }
    Ref root(ReadValue(tag, 1));
    if (!root.get()) return nullptr;
    if (wrapped)
    {
      Tag close;
      if (!SkipMisc() || !ReadTag(close) || close.kind != Tag::kEnd || close.name != "plist") return nullptr;
    }
    if (!SkipMisc() || pos_ != s_.size()) return nullptr; // nothing may follow the document
    return root.release();
  }

private:
  struct Tag
  {
    enum Kind
    {
      kStart,
      kEnd,
      kEmpty
    } kind = kStart;
    std::string_view name;
  };

  bool StartsWith(std::string_view prefix) const { return s_.substr(pos_, prefix.size()) == prefix; }

  // Skips to just past `terminator`; false when it never comes.
  bool SkipPast(std::string_view terminator)
  {
    const size_t at = s_.find(terminator, pos_);
    if (at == std::string_view::npos) return false;
    pos_ = at + terminator.size();
    return true;
  }

  // Whitespace, comments, processing instructions and the document type.
  bool SkipMisc()
  {
    for (;;)
    {
      while (pos_ < s_.size() && IsSpace(s_[pos_]))
        ++pos_;
      if (StartsWith("<?"))
      {
        if (!SkipPast("?>")) return false;
      }
      else if (StartsWith("<!--"))
      {
        if (!SkipPast("-->")) return false;
      }
      else if (StartsWith("<!DOCTYPE"))
      {
        const size_t gt = s_.find('>', pos_);
        const size_t bracket = s_.find('[', pos_);
        if (gt == std::string_view::npos) return false;
        pos_ = gt + 1;
        if (bracket < gt)
        {
          pos_ = bracket;
          if (!SkipPast("]") || !SkipPast(">")) return false;
        }
      }
      else
      {
        return true;
      }
    }
  }

  bool ReadTag(Tag& tag)
  {
    if (pos_ >= s_.size() || s_[pos_] != '<') return false;
    ++pos_;
    tag.kind = Tag::kStart;
    if (pos_ < s_.size() && s_[pos_] == '/')
    {
      tag.kind = Tag::kEnd;
      ++pos_;
    }
    const size_t nameStart = pos_;
    while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_' ||
                                s_[pos_] == ':' || s_[pos_] == '-' || s_[pos_] == '.'))
      ++pos_;
    tag.name = s_.substr(nameStart, pos_ - nameStart);
    if (tag.name.empty()) return false;
    // Attributes are skipped; quoted values may hold '>'.
    char quote = 0;
    while (pos_ < s_.size())
    {
      const char c = s_[pos_];
      if (quote)
      {
        if (c == quote) quote = 0;
      }
      else if (c == '"' || c == '\'')
      {
        if (tag.kind == Tag::kEnd) return false;
        quote = c;
      }
      else if (c == '>')
      {
        ++pos_;
        return true;
      }
      else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '>')
      {
        if (tag.kind == Tag::kEnd) return false;
        tag.kind = Tag::kEmpty;
        pos_ += 2;
        return true;
      }
      else if (c == '<')
      {
        return false;
      }
      ++pos_;
    }
    return false;
  }

  // Character data up to the end tag `name`, with entities and CDATA sections resolved.
  bool ReadText(std::string_view name, std::string& out)
  {
    out.clear();
    while (pos_ < s_.size())
    {
      const char c = s_[pos_];
      if (c == '<')
      {
        if (StartsWith("<![CDATA["))
        {
          const size_t at = s_.find("]]>", pos_ + 9);
          if (at == std::string_view::npos) return false;
          out.append(s_.substr(pos_ + 9, at - pos_ - 9));
          pos_ = at + 3;
          continue;
        }
        if (StartsWith("<!--"))
        {
          if (!SkipPast("-->")) return false;
          continue;
        }
        Tag tag;
        if (!ReadTag(tag) || tag.kind != Tag::kEnd || tag.name != name) return false;
        return IsValidUTF8(out);
      }
      if (c == '&')
      {
        if (!ReadEntity(out)) return false;
        continue;
      }
      out += c;
      ++pos_;
    }
    return false;
  }

  bool ReadEntity(std::string& out)
  {
    const size_t semi = s_.find(';', pos_);
    if (semi == std::string_view::npos || semi - pos_ > 12) return false;
    const std::string_view ent = s_.substr(pos_ + 1, semi - pos_ - 1);
    pos_ = semi + 1;
    if (ent == "lt")
      out += '<';
    else if (ent == "gt")
      out += '>';
    else if (ent == "amp")
      out += '&';
    else if (ent == "quot")
      out += '"';
    else if (ent == "apos")
      out += '\'';
    else if (ent.size() > 1 && ent[0] == '#')
    {
      uint32_t cp = 0;
      const bool hex = ent[1] == 'x' || ent[1] == 'X';
      const std::string_view digits = ent.substr(hex ? 2 : 1);
      if (digits.empty()) return false;
      auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
      if (ec != std::errc() || ptr != digits.data() + digits.size()) return false;
      if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
      AppendUTF8(out, cp);
    }
    else
    {
      return false;
    }
    return true;
  }

  // The text of a leaf element (empty for <x/>).
  bool LeafText(const Tag& tag, std::string& out)
  {
    if (tag.kind == Tag::kEmpty)
    {
      out.clear();
      return true;
    }
    return ReadText(tag.name, out);
  }

  CFTypeRef ReadValue(const Tag& tag, int depth)
  {
    if (depth > kMaxDepth || tag.kind == Tag::kEnd) return nullptr;
    const std::string_view name = tag.name;
    std::string text;
    if (name == "dict") return ReadDict(tag, depth);
    if (name == "array") return ReadArray(tag, depth);
    if (name == "string")
    {
      if (!LeafText(tag, text)) return nullptr;
      return MakeString(text);
    }
    if (name == "integer")
    {
      int64_t v;
      if (!LeafText(tag, text) || !ParseInteger(text, v)) return nullptr;
      return CFNumberCreate(nullptr, kCFNumberSInt64Type, &v);
    }
    if (name == "real")
    {
      double v;
      if (!LeafText(tag, text) || !ParseReal(text, v)) return nullptr;
      return CFNumberCreate(nullptr, kCFNumberFloat64Type, &v);
    }
    if (name == "true" || name == "false")
    {
      if (tag.kind == Tag::kStart && (!LeafText(tag, text) || !Trim(text).empty())) return nullptr;
      return name == "true" ? kCFBooleanTrue : kCFBooleanFalse;
    }
    if (name == "data")
    {
      std::vector<UInt8> bytes;
      if (!LeafText(tag, text) || !DecodeBase64(text, bytes)) return nullptr;
      return CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
    }
    return nullptr; // <key> out of place, <date>, or an unknown element
  }

  CFTypeRef ReadDict(const Tag& tag, int depth)
  {
    CFMutableDictionaryRef d =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    Ref dict(d);
    for (;;)
    {
      if (tag.kind == Tag::kEmpty) break;
      Tag keyTag;
      if (!SkipMisc() || !ReadTag(keyTag)) return nullptr;
      if (keyTag.kind == Tag::kEnd)
      {
        if (keyTag.name != "dict") return nullptr;
        break;
      }
      std::string key;
      if (keyTag.name != "key" || !LeafText(keyTag, key)) return nullptr;
      Tag valueTag;
      if (!SkipMisc() || !ReadTag(valueTag)) return nullptr;
      Ref value(ReadValue(valueTag, depth + 1));
      if (!value.get()) return nullptr;
      Ref keyString(MakeString(key));
      CFDictionarySetValue(d, keyString.get(), value.get());
    }
    if (!mutable_) FreezeDictionary(d);
    return dict.release();
  }

  CFTypeRef ReadArray(const Tag& tag, int depth)
  {
    CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    Ref array(a);
    for (;;)
    {
      if (tag.kind == Tag::kEmpty) break;
      Tag valueTag;
      if (!SkipMisc() || !ReadTag(valueTag)) return nullptr;
      if (valueTag.kind == Tag::kEnd)
      {
        if (valueTag.name != "array") return nullptr;
        break;
      }
      Ref value(ReadValue(valueTag, depth + 1));
      if (!value.get()) return nullptr;
      CFArrayAppendValue(a, value.get());
    }
    if (!mutable_) FreezeArray(a);
    return array.release();
  }

  std::string_view s_;
  size_t pos_ = 0;
  const bool mutable_;
};

} // namespace

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat* format, CFErrorRef* error)
{
  CFPropertyListRef result = nullptr;
  if (CFGetTypeID(data) == kTypeData)
  {
    const std::string_view text(reinterpret_cast<const char*>(CFDataGetBytePtr(data)),
                                static_cast<size_t>(CFDataGetLength(data)));
    if (text.substr(0, 6) != "bplist") result = Reader(text, options != kCFPropertyListImmutable).Parse();
  }
  if (!result)
  {
    if (error) *error = CFErrorCreate(nullptr, kCFErrorDomainCocoa, kCFPropertyListReadCorruptError, nullptr);
    return nullptr;
  }
  if (format) *format = kCFPropertyListXMLFormat_v1_0;
  return result;
}

// Element nesting of an XML text by a flat scan (see the header for the rules and why they follow TinyXML), and
// the preset document parsed and printed after it.

#include "engine/XMLNesting.h"

#include <tinyxml.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>

namespace
{

bool StartsWith(const char* p, const char* prefix) { return std::strncmp(p, prefix, std::strlen(prefix)) == 0; }

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF"; // UTF-8

char LowerASCII(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const char* p, const char* lowerPrefix)
{
  for (; *lowerPrefix; ++p, ++lowerPrefix)
    if (LowerASCII(*p) != *lowerPrefix) return false; // also stops at the text's end
  return true;
}

// The ASCII bytes isspace accepts in every locale.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (LowerASCII(c) >= 'a' && LowerASCII(c) <= 'f'); }

// TinyXML starts an element at '<' followed by what its IsAlpha accepts: an ASCII letter below 127, any byte
// from 127 up, or '_'.
bool StartsElementName(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 127;
}

// What TinyXML's ReadName takes after the first character of a name.
bool InName(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return StartsElementName(c) || IsDigit(c) || u == '-' || u == '.' || u == ':';
}

// How many bytes TinyXML takes for the character at lead byte c when it reads UTF-8 (its utf8ByteTable): one
// for ASCII, continuation bytes, 0xC0, 0xC1 and from 0xF5 up.
int UTF8Length(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return u < 0xC2 ? 1 : u < 0xE0 ? 2 : u < 0xF0 ? 3 : u < 0xF5 ? 4 : 1;
}

// ---------------------------------------------------------------------------------------------------------------
// Character data — text inside elements and quoted values, as TinyXML's ReadText walks them
// ---------------------------------------------------------------------------------------------------------------

// Where TinyXML goes on after the '&' at p (its GetEntity), or null where it gives up, which ends the parse.
const char* AfterReference(const char* p)
{
  if (p[1] == '#' && p[2])
  {
    const bool hex = p[2] == 'x';
    if (hex && !p[3]) return nullptr;
    const char* semicolon = std::strchr(p + (hex ? 3 : 2), ';');
    if (!semicolon) return nullptr;
    // The digits are read backwards from the ';' to the nearest 'x' (or '#'), which need not be this one's: the
    // reference then spans everything in between.
    for (const char* q = semicolon - 1; *q != (hex ? 'x' : '#'); --q)
      if (!(hex ? IsHexDigit(*q) : IsDigit(*q))) return nullptr;
    return semicolon + 1;
  }
  for (const char* named : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
    if (StartsWith(p, named)) return p + std::strlen(named);
  return p + 1;
}

enum class Outcome
{
  kEnds,   // at the first `end`
  kStops,  // TinyXML gives up before it: nothing after is parsed
  kUnsafe, // TinyXML would read over that `end`, or past the text's end
};

// Reads from p to the first `end` as TinyXML does, byte by byte or as UTF-8; at receives where the read ended.
Outcome ReadCharacters(const char* p, char end, bool utf8, const char*& at)
{
  for (;;)
  {
    at = p;
    if (!*p) return Outcome::kStops;
    if (*p == end) return Outcome::kEnds;
    const char* next = nullptr;
    if (*p == '&')
    {
      next = AfterReference(p);
      if (!next) return Outcome::kStops;
      if (std::memchr(p, end, size_t(next - p))) return Outcome::kUnsafe;
    }
    else
    {
      next = p + (utf8 ? UTF8Length(*p) : 1);
      for (const char* q = p + 1; q < next; ++q)
        if (!*q || *q == end) return Outcome::kUnsafe;
    }
    p = next;
  }
}

// The readings TinyXML may be giving character data at the scan's position, and whether one would have read
// over markup. A reading that stops drops out: TinyXML parses nothing more under it.
struct Readings
{
  bool bytes = true;
  bool utf8 = false;
  bool unsafe = false;

  // The first `end` at or after p, where every live reading ends; null where none goes on, or when one reads
  // over it (unsafe).
  const char* Characters(const char* p, char end)
  {
    const char* found = nullptr;
    for (bool asUTF8 : {false, true})
    {
      bool& live = asUTF8 ? utf8 : bytes;
      if (!live) continue;
      const char* at = p;
      const Outcome outcome = ReadCharacters(p, end, asUTF8, at);
      if (outcome == Outcome::kUnsafe)
      {
        unsafe = true;
        return nullptr;
      }
      if (outcome == Outcome::kStops) live = false;
      else found = at; // every live reading ends at the first `end`: none reads over one
    }
    return found;
  }
};

// ---------------------------------------------------------------------------------------------------------------
// Declarations
// ---------------------------------------------------------------------------------------------------------------

enum class Match
{
  kNo,
  kMaybe, // in some locale: TinyXML lowers bytes with tolower ('I' is not 'i' in Turkish; 0xDD is)
  kYes,
};

Match MatchesName(const char* p, const char* name)
{
  Match result = Match::kYes;
  for (; *name; ++p, ++name)
  {
    const auto u = static_cast<unsigned char>(*p);
    if (u >= 0x80 || (*p == 'I' && *name == 'i')) result = Match::kMaybe;
    else if (LowerASCII(*p) != *name) return Match::kNo; // also at the text's end
  }
  return result;
}

Match MatchesDeclarationName(const char* p)
{
  Match result = Match::kNo;
  for (const char* name : {"version", "encoding", "standalone"})
  {
    const Match m = MatchesName(p, name);
    if (m == Match::kYes) return m;
    if (m == Match::kMaybe) result = m;
  }
  return result;
}

// A byte whose class TinyXML may see differently from one locale to the next (isspace, isalpha, tolower): any
// byte outside printable ASCII but the blanks every locale knows.
bool LocaleDependent(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x7F || (u < 0x20 && !IsBlank(c));
}

// A quoted declaration value [from, to): printable ASCII without '&', and no blank followed by a name TinyXML
// might read as an attribute of its own (it resumes after a blank when it skips an unknown attribute).
bool PlainDeclarationValue(const char* from, const char* to)
{
  for (const char* p = from; p < to; ++p)
  {
    if (*p == '&' || LocaleDependent(*p)) return false;
    if (IsBlank(*p) && p + 1 < to && !IsBlank(p[1]) && MatchesDeclarationName(p + 1) != Match::kNo) return false;
  }
  return true;
}

// Whether every quote in the declaration [from, end) that TinyXML might take for the start of a value (one after
// '=' and anything that may be a blank), wherever it stands, closes before end over plain bytes (neither '&'
// nor any byte a lead byte or a locale could read otherwise). TinyXML reads a value to its closing quote, so
// then the declaration ends at end under every reading, whichever quotes it takes for values.
bool EveryValueClosesBefore(const char* from, const char* end)
{
  const char* open[2] = {nullptr, nullptr}; // the earliest quote of each kind still waiting for its close
  bool dirty[2] = {false, false};           // a byte that is not plain since then
  for (const char* p = from; p < end; ++p)
  {
    const int kind = *p == '"' ? 0 : *p == '\'' ? 1 : -1;
    if (kind < 0)
    {
      if (*p == '&' || LocaleDependent(*p)) dirty[0] = dirty[1] = true;
      continue;
    }
    if (open[kind] && dirty[kind]) return false;
    open[kind] = nullptr;
    const char* before = p;
    while (before > from && (IsBlank(before[-1]) || LocaleDependent(before[-1]))) --before;
    if (before > from && before[-1] == '=')
    {
      open[kind] = p;
      dirty[kind] = false;
    }
  }
  return !open[0] && !open[1];
}

enum class Reading
{
  kUTF8,
  kBytes,
  kEither, // TinyXML may read on either way
};

// How TinyXML reads on after the declaration [from, end), should it be the document's first: as named by the
// last attribute it takes for "encoding" (by name prefix, in any case), UTF-8 without one. Only a plain list
// decides: blank-separated names, each with a quoted value or none, and an optional final '?'. Where scan and
// parser could part — a byte whose class depends on the locale, a name TinyXML may or may not match, a value
// glued to the next name (TinyXML skips an unknown attribute up to the next blank, a known one only up to its
// value's quote), an unquoted value, a known name without one, encodings that disagree — either reading may
// follow.
Reading DeclaredReading(const char* from, const char* end)
{
  for (const char* p = from; p < end; ++p)
    if (LocaleDependent(*p)) return Reading::kEither;

  std::optional<Reading> named;
  bool glued = false; // right after a name or value, before any blank
  for (const char* p = from; p < end;)
  {
    if (IsBlank(*p))
    {
      glued = false;
      ++p;
      continue;
    }
    if (*p == '?' && p + 1 == end) break;
    if (glued || !InName(*p)) return Reading::kEither;

    const char* known = nullptr;
    for (const char* name : {"version", "encoding", "standalone"})
    {
      const Match m = MatchesName(p, name);
      if (m == Match::kMaybe) return Reading::kEither;
      if (m == Match::kYes)
      {
        known = name;
        break;
      }
    }
    const char* nameEnd = p;
    while (nameEnd < end && InName(*nameEnd)) ++nameEnd;
    const char* v = nameEnd;
    while (v < end && IsBlank(*v)) ++v;
    glued = true;
    if (v == end || *v != '=')
    {
      if (known) return Reading::kEither; // TinyXML stops at a known name without a value
      p = nameEnd;
      continue;
    }
    for (++v; v < end && IsBlank(*v);) ++v;
    if (v == end || (*v != '"' && *v != '\'')) return Reading::kEither;
    const char* close = static_cast<const char*>(std::memchr(v + 1, *v, size_t(end - v - 1)));
    if (!close) return Reading::kEither;
    if (known && std::strcmp(known, "encoding") == 0)
    {
      // None, an empty one or one starting "UTF-8" or "UTF8" in any case means UTF-8.
      const size_t length = size_t(close - v - 1);
      const auto startsAs = [&](const char* lower) {
        return length >= std::strlen(lower) && StartsWithNoCase(v + 1, lower);
      };
      const Reading reading = length == 0 || startsAs("utf-8") || startsAs("utf8") ? Reading::kUTF8 : Reading::kBytes;
      if (named && *named != reading) return Reading::kEither;
      named = reading;
    }
    p = close + 1;
  }
  return named.value_or(Reading::kUTF8);
}

struct Declaration
{
  const char* last = nullptr; // its '>'; null when it never ends
  bool unsafe = false;
  bool bytes = false, utf8 = false; // how TinyXML reads on, should this be the document's first declaration
};

// Whether a lead byte in the text at p, read as UTF-8, would take in the text's end (only the last three bytes
// can).
bool LeadByteTakesInTheEnd(const char* p)
{
  const size_t n = std::strlen(p);
  for (size_t i = n > 3 ? n - 3 : 0; i < n; ++i)
    if (i + size_t(UTF8Length(p[i])) > n) return true;
  return false;
}

// The declaration whose "<?xml" ends just before p, read where utf8 says whether TinyXML may be reading UTF-8.
Declaration ReadDeclaration(const char* p, bool utf8)
{
  Declaration d;
  const char* const end = std::strchr(p, '>');
  if (!end)
  {
    // TinyXML reads to the end of the text and stops, unless, reading UTF-8, a lead byte in a value takes in
    // the end and it reads on past it.
    d.unsafe = utf8 && LeadByteTakesInTheEnd(p);
    return d;
  }

  // Quotes pair up from the start: each follows '=' and closes, over a plain value, before that '>'.
  for (const char* q = p; q < end; ++q)
  {
    if (*q != '"' && *q != '\'') continue;
    const char* before = q;
    while (before > p && IsBlank(before[-1])) --before;
    const char* close = static_cast<const char*>(std::memchr(q + 1, *q, size_t(end - q - 1)));
    if (before == p || before[-1] != '=' || !close || !PlainDeclarationValue(q + 1, close))
    {
      d.unsafe = true;
      return d;
    }
    q = close;
  }
  if (!EveryValueClosesBefore(p, end))
  {
    d.unsafe = true;
    return d;
  }

  d.last = end;
  const Reading reading = DeclaredReading(p, end);
  d.utf8 = reading != Reading::kBytes;
  d.bytes = reading != Reading::kUTF8;
  return d;
}

// ---------------------------------------------------------------------------------------------------------------
// Elements and the rest
// ---------------------------------------------------------------------------------------------------------------

// The '>' that ends the element tag opened at p (the '<'): the first one outside a quoted value; null when the
// tag never ends or a value stops the parse or is unsafe (readings tells which), or when the tag may carry more
// than kMaxPresetXMLAttributes attributes (flooded).
const char* ElementTagEnd(const char* p, Readings& readings, bool& flooded)
{
  // TinyXML reads an attribute as name, '=', value, and a quote anywhere else ends the parse, so each attribute
  // it takes has an '=' outside the values skipped here: the count of those bounds theirs, also in a tag that
  // never ends (TinyXML keeps what it read).
  int equals = 0;
  for (++p; *p; ++p)
  {
    if (*p == '"' || *p == '\'')
    {
      p = readings.Characters(p + 1, *p);
      if (!p) return nullptr;
    }
    else if (*p == '=' && ++equals > kMaxPresetXMLAttributes)
    {
      flooded = true;
      return nullptr;
    }
    else if (*p == '>')
    {
      return p;
    }
  }
  return nullptr;
}

// The end of a construct running to the first occurrence of terminator at or after from: the position of its
// last character, or null.
const char* LastOf(const char* from, const char* terminator)
{
  const char* at = std::strstr(from, terminator);
  return at ? at + std::strlen(terminator) - 1 : nullptr;
}

} // namespace

int MeasureXMLNesting(const char* text, int limit, bool detectEncoding)
{
  if (!text) return -1;
  Readings readings;
  // TinyXML decides on UTF-8 from a byte-order mark, else at the first declaration outside the root.
  bool declarationDecides = false;
  if (detectEncoding && StartsWith(text, kByteOrderMark))
  {
    readings.bytes = false;
    readings.utf8 = true;
  }
  else
  {
    declarationDecides = detectEncoding;
  }

  int depth = 0, deepest = 0;
  for (const char* p = text;;)
  {
    if (depth > 0)
    {
      p = readings.Characters(p, '<');
      if (!p) break;
    }
    else
    {
      while (IsBlank(*p)) ++p;
      // Outside the root TinyXML stops at anything but markup. A byte above ASCII might be a blank in some
      // locale: look on for the next '<' then, as if it were.
      if (*p && *p != '<')
      {
        if (static_cast<unsigned char>(*p) < 0x80) break;
        p = std::strchr(p, '<');
      }
      if (!p || !*p) break;
    }

    const char* last = nullptr; // the construct's final character
    if (p[1] == '/')
    {
      if (depth > 0) --depth;
      last = std::strchr(p + 2, '>');
    }
    else if (p[1] == '?' && MatchesName(p + 2, "xml") != Match::kNo)
    {
      // "<?xml" in any case, or bytes some locale might lower to it: then it may be a declaration or not, and
      // either reading may follow.
      const bool maybe = MatchesName(p + 2, "xml") == Match::kMaybe;
      const Declaration d = ReadDeclaration(p + 5, readings.utf8);
      if (d.unsafe) return -1;
      last = d.last;
      if (last && depth == 0 && declarationDecides)
      {
        declarationDecides = false;
        readings.bytes = d.bytes || maybe;
        readings.utf8 = d.utf8 || maybe;
      }
    }
    else if (StartsWith(p, "<!--"))
    {
      last = LastOf(p + 4, "-->");
    }
    else if (StartsWith(p, "<![CDATA["))
    {
      last = LastOf(p + 9, "]]>");
    }
    else if (StartsElementName(p[1]))
    {
      // An element is a level of the parser's recursion as soon as it starts, also when "<a/>" closes it on the
      // spot or its tag never ends.
      if (depth + 1 > limit) return limit + 1;
      if (depth + 1 > deepest) deepest = depth + 1;
      bool flooded = false;
      last = ElementTagEnd(p, readings, flooded);
      if (flooded) return -1;
      if (last && last[-1] != '/') ++depth;
    }
    else
    {
      last = std::strchr(p + 1, '>'); // "<!DOCTYPE ...>", "<?target ...>" and stray '<'
    }
    if (!last) break; // runs to the end of the text, or TinyXML stops inside it
    p = last + 1;
  }
  return readings.unsafe ? -1 : deepest;
}

const char* SkipByteOrderMark(const char* text)
{
  return text && StartsWith(text, kByteOrderMark) ? text + std::strlen(kByteOrderMark) : text;
}

bool ReadsBackAsUTF8(const char* text)
{
  if (!text) return true;
  for (const char* p = text; *p;)
  {
    const char* next = p + UTF8Length(*p);
    for (const char* q = p + 1; q < next; ++q)
      if (!*q || *q == '&' || *q == '<' || *q == '"' || *q == '\'') return false;
    p = next;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Numbers in the C locale
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Room for the widest fixed-point double: 309 integer digits or 324 decimals, sign and point.
std::string FixedValue(double value, std::optional<int> decimals)
{
  char buf[400];
  const auto [end, ec] = decimals ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, *decimals)
                                  : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec != std::errc()) return std::string();
  return std::string(buf, end);
}

} // namespace

std::string FormatPresetValue(double value) { return FixedValue(value, 6); }

bool ParsePresetValue(const char* text, double& value)
{
  double v = 0.0;
  if (text)
  {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // from_chars takes no sign of its own here, so "+-1" is not a number, as for strtod.
    if (*p != '+' && *p != '-')
    {
      const auto [end, ec] = std::from_chars(p, p + std::strlen(p), v, std::chars_format::general);
      (void)end;
      if (ec == std::errc::result_out_of_range) return false;
      if (ec != std::errc()) v = 0.0;
    }
    if (negative) v = -v;
  }
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// PresetXMLTree
// ---------------------------------------------------------------------------------------------------------------

namespace
{

TiXmlElement* AddTextElement(TiXmlElement& parent, const char* name, const std::string& text)
{
  auto* element = new TiXmlElement(name);
  element->LinkEndChild(new TiXmlText(text.c_str()));
  parent.LinkEndChild(element);
  return element;
}

std::optional<std::string> TextOf(const TiXmlElement& element)
{
  const char* text = element.GetText();
  if (!text) return std::nullopt;
  return std::string(text);
}

} // namespace

std::string PresetXMLTree::Print(EValues values) const
{
  // Names usually hold UTF-8, which TinyXML reads back after the plain declaration. Bytes it would read another
  // way as UTF-8 (a Latin-1 "Caf\xE9" ends in a lead byte that takes in the closing quote) are declared as
  // single bytes, so that the document still reads back as written.
  std::string text = PrintDeclaring("", values);
  if (!text.empty() && !ReadsBackAsUTF8(text.c_str())) text = PrintDeclaring("ISO-8859-1", values);
  return text;
}

std::string PresetXMLTree::PrintDeclaring(const char* encoding, EValues values) const
{
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", encoding, ""));
  auto* root = new TiXmlElement("PresetXMLTree");
  root->SetAttribute("version", "1");
  doc.LinkEndChild(root);

  AddTextElement(*root, "PluginVendor", vendor.value_or(std::string()));
  AddTextElement(*root, "PluginName", pluginName.value_or(std::string()));
  AddTextElement(*root, "PluginVersion", version);
  if (data) AddTextElement(*root, "Data", *data);

  auto* preset = new TiXmlElement("Preset");
  preset->SetAttribute("name", presetName.c_str());
  root->LinkEndChild(preset);
  auto* parameter = new TiXmlElement("Parameter");
  preset->LinkEndChild(parameter);
  for (const Param& p : params)
  {
    auto* element = new TiXmlElement("Param");
    element->SetAttribute("name", p.name.c_str());
    const std::string val = values == EValues::kExact ? FixedValue(p.value, std::nullopt) : FormatPresetValue(p.value);
    element->SetAttribute("val", val.c_str());
    parameter->LinkEndChild(element);
  }

  TiXmlPrinter printer;
  printer.SetIndent("    ");
  printer.SetLineBreak("\n");
  if (!doc.Accept(&printer)) return std::string();
  return printer.Str();
}

PresetXMLTree::EParse PresetXMLTree::Parse(const char* text, bool legacyEncoding)
{
  *this = PresetXMLTree{};
  if (!text || !*text) return EParse::kNotXML;
  // Earlier builds wrote single-byte names ("Caf\xE9") under the plain declaration; read as UTF-8 their lead bytes
  // would take in the markup after them, so such a document is read byte by byte, as it was written.
  if (!legacyEncoding && !ReadsBackAsUTF8(text)) legacyEncoding = true;
  // Detecting the encoding, TinyXML skips the mark itself (and reads UTF-8 after it).
  if (legacyEncoding) text = SkipByteOrderMark(text);
  // Before TinyXML, which recurses once per level of nesting while parsing and again while freeing, and checks
  // each attribute against the earlier ones of its element.
  const int depth = MeasureXMLNesting(text, kMaxPresetXMLDepth, !legacyEncoding);
  if (depth < 0) return EParse::kNotXML;
  if (depth > kMaxPresetXMLDepth) return EParse::kTooDeep;

  TiXmlDocument doc;
  doc.Parse(text, nullptr, legacyEncoding ? TIXML_ENCODING_LEGACY : TIXML_ENCODING_UNKNOWN);
  if (doc.Error()) return EParse::kNotXML;

  const TiXmlElement* root = doc.FirstChildElement("PresetXMLTree");
  if (!root) return EParse::kNoRoot;
  const TiXmlElement* vendorElement = root->FirstChildElement("PluginVendor");
  if (!vendorElement) return EParse::kNoVendor;
  const TiXmlElement* nameElement = root->FirstChildElement("PluginName");
  if (!nameElement) return EParse::kNoName;
  const TiXmlElement* versionElement = root->FirstChildElement("PluginVersion");
  if (!versionElement) return EParse::kNoVersion;
  const TiXmlElement* dataElement = root->FirstChildElement("Data");

  const TiXmlElement* preset = root->FirstChildElement("Preset");
  if (!preset) return EParse::kNoPreset;
  const TiXmlAttribute* first = preset->FirstAttribute();
  if (!first || std::strcmp(first->Name(), "name") != 0) return EParse::kNoPreset;

  const TiXmlElement* parameter = preset->FirstChildElement("Parameter");
  if (!parameter || !parameter->FirstChildElement()) return EParse::kNoParameters;

  PresetXMLTree tree;
  for (const TiXmlElement* e = parameter->FirstChildElement(); e; e = e->NextSiblingElement())
  {
    if (std::strcmp(e->Value(), "Param") != 0) return EParse::kForeignElement;
    const char* name = e->Attribute("name");
    if (!name || !*name) continue;
    double value = 0.0;
    // A value that is not finite is refused: its parameter keeps what it has.
    if (!ParsePresetValue(e->Attribute("val"), value)) continue;
    tree.params.push_back({name, value});
  }

  tree.vendor = TextOf(*vendorElement);
  tree.pluginName = TextOf(*nameElement);
  tree.version = TextOf(*versionElement).value_or(std::string());
  if (dataElement) tree.data = TextOf(*dataElement);
  tree.presetName = first->Value();
  *this = std::move(tree);
  return EParse::kOK;
}

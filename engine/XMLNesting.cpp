// Element nesting of an XML text by a flat scan (see the header for the rules and why they follow TinyXML).

#include "engine/XMLNesting.h"

#include <cstring>
#include <initializer_list>

namespace
{

bool StartsWith(const char* p, const char* prefix) { return std::strncmp(p, prefix, std::strlen(prefix)) == 0; }

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

// A quoted declaration value [from, to): printable ASCII without '&', and no blank followed by a name TinyXML
// might read as an attribute of its own (it resumes after a blank when it skips an unknown attribute).
bool PlainDeclarationValue(const char* from, const char* to)
{
  for (const char* p = from; p < to; ++p)
  {
    const auto u = static_cast<unsigned char>(*p);
    if (u >= 0x7F || *p == '&' || (u < 0x20 && !IsBlank(*p))) return false;
    if (IsBlank(*p) && p + 1 < to && !IsBlank(p[1]) && MatchesDeclarationName(p + 1) != Match::kNo) return false;
  }
  return true;
}

struct Declaration
{
  const char* last = nullptr; // its '>'; null when it never ends
  bool unsafe = false;
  bool bytes = false, utf8 = false; // how TinyXML reads on, should this be the document's first declaration
};

// The declaration whose "<?xml" ends just before p.
Declaration ReadDeclaration(const char* p)
{
  Declaration d;
  const char* const end = std::strchr(p, '>');
  if (!end) return d; // TinyXML reads to the end of the text and stops

  // The last "encoding" attribute sets how TinyXML reads on; one it may or may not match leaves both readings.
  bool unsure = false, named = false;
  const char* value = "";
  size_t valueLength = 0;
  bool tokenStart = true; // after blanks or a value, where TinyXML tries to match a name
  for (const char* q = p; q < end;)
  {
    if (IsBlank(*q))
    {
      tokenStart = true;
      ++q;
      continue;
    }
    if (*q == '"' || *q == '\'')
    {
      const char* before = q;
      while (before > p && IsBlank(before[-1])) --before;
      const char* close = static_cast<const char*>(std::memchr(q + 1, *q, size_t(end - q - 1)));
      if (before == p || before[-1] != '=' || !close || !PlainDeclarationValue(q + 1, close))
      {
        d.unsafe = true;
        return d;
      }
      q = close + 1;
      tokenStart = true;
      continue;
    }
    const Match encoding = tokenStart ? MatchesName(q, "encoding") : Match::kNo;
    if (encoding == Match::kMaybe) unsure = true;
    if (encoding == Match::kYes)
    {
      // TinyXML reads the whole name, then '=' and a value.
      const char* v = q + 1;
      while (InName(*v)) ++v;
      while (IsBlank(*v)) ++v;
      const char* close = nullptr;
      if (*v == '=')
      {
        for (++v; IsBlank(*v);) ++v;
        if (*v == '"' || *v == '\'') close = std::strchr(v + 1, *v);
      }
      if (close && close < end)
      {
        named = true;
        value = v + 1;
        valueLength = size_t(close - value);
      }
      else
      {
        unsure = true; // unquoted, or no value at all (then TinyXML stops anyway)
      }
    }
    tokenStart = false;
    ++q;
  }

  d.last = end;
  if (unsure)
  {
    d.bytes = d.utf8 = true;
    return d;
  }
  // None, an empty one or one starting "UTF-8" or "UTF8" in any case means UTF-8.
  const auto startsAs = [&](const char* lower) {
    return valueLength >= std::strlen(lower) && StartsWithNoCase(value, lower);
  };
  d.utf8 = !named || valueLength == 0 || startsAs("utf-8") || startsAs("utf8");
  d.bytes = !d.utf8;
  return d;
}

// ---------------------------------------------------------------------------------------------------------------
// Elements and the rest
// ---------------------------------------------------------------------------------------------------------------

// The '>' that ends the element tag opened at p (the '<'): the first one outside a quoted value; null when the
// tag never ends or a value stops the parse or is unsafe (readings tells which).
const char* ElementTagEnd(const char* p, Readings& readings)
{
  for (++p; *p; ++p)
  {
    if (*p == '"' || *p == '\'')
    {
      p = readings.Characters(p + 1, *p);
      if (!p) return nullptr;
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
  if (detectEncoding && StartsWith(text, "\xEF\xBB\xBF"))
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
    else if (StartsWithNoCase(p, "<?xml"))
    {
      const Declaration d = ReadDeclaration(p + 5);
      if (d.unsafe) return -1;
      last = d.last;
      if (last && depth == 0 && declarationDecides)
      {
        declarationDecides = false;
        readings.bytes = d.bytes;
        readings.utf8 = d.utf8;
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
      last = ElementTagEnd(p, readings);
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

// Element nesting of an XML text by a flat scan (see the header for the rules and why they follow TinyXML).

#include "engine/XMLNesting.h"

#include <cstring>

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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// TinyXML starts an element at '<' followed by what its IsAlpha accepts: an ASCII letter below 127, any byte
// from 127 up, or '_'.
bool StartsElementName(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 127;
}

// Every lead byte (0xC0 and up) is followed by the continuation bytes (0x80 to 0xBF) it announces: one for
// 0xC0-0xDF, two for 0xE0-0xEF, three from 0xF0 (more than TinyXML asks for some invalid leads, never fewer).
bool LeadBytesComplete(const char* text)
{
  for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
  {
    if (*p < 0xC0) continue;
    const int follow = *p < 0xE0 ? 1 : *p < 0xF0 ? 2 : 3;
    for (int i = 0; i < follow; ++i)
      if (*++p < 0x80 || *p > 0xBF) return false; // the terminating zero fails here too
  }
  return true;
}

// The declaration after "<?xml", in its plain form only; the position just past its "?>", or null.
const char* SkipDeclaration(const char* p)
{
  for (;;)
  {
    const char* q = p;
    while (IsBlank(*q)) ++q;
    if (q[0] == '?' && q[1] == '>') return q + 2;
    if (q == p) return nullptr; // attributes stand apart from the name and from each other
    p = q;
    const char* const names[] = {"version", "encoding", "standalone"};
    const char* name = nullptr;
    for (const char* n : names)
      if (StartsWith(p, n)) name = n;
    if (!name) return nullptr;
    p += std::strlen(name);
    while (IsBlank(*p)) ++p;
    if (*p++ != '=') return nullptr;
    while (IsBlank(*p)) ++p;
    const char quote = *p;
    if (quote != '"' && quote != '\'') return nullptr;
    for (++p; *p != quote; ++p)
      if (!*p || *p == '"' || *p == '\'' || *p == '<' || *p == '>' || static_cast<unsigned char>(*p) >= 0x80)
        return nullptr;
    ++p;
  }
}

// The '>' that ends the element tag opened at p (the '<'): the first one outside a quoted value, or null.
const char* ElementTagEnd(const char* p)
{
  char quote = 0;
  for (++p; *p; ++p)
  {
    if (quote)
    {
      if (*p == quote) quote = 0;
    }
    else if (*p == '"' || *p == '\'')
    {
      quote = *p;
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

int MeasureXMLNesting(const char* text, int limit, bool utf8)
{
  if (!text || (utf8 && !LeadBytesComplete(text))) return -1;
  int depth = 0, deepest = 0;
  for (const char* p = std::strchr(text, '<'); p; p = std::strchr(p, '<'))
  {
    const char* last = nullptr; // the construct's final character
    if (p[1] == '/')
    {
      if (depth > 0) --depth;
      last = std::strchr(p + 2, '>');
    }
    else if (StartsWithNoCase(p, "<?xml"))
    {
      const char* after = SkipDeclaration(p + 5);
      last = after ? after - 1 : nullptr;
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
      last = ElementTagEnd(p);
      if (last)
      {
        // An empty element "<a/>" is a level of the parser's recursion too; it just does not stay open.
        if (depth + 1 > limit) return limit + 1;
        if (depth + 1 > deepest) deepest = depth + 1;
        if (last[-1] != '/') ++depth;
      }
    }
    else
    {
      last = std::strchr(p + 1, '>'); // "<!DOCTYPE ...>", "<?target ...>" and stray '<'
    }
    if (!last) return -1;
    p = last + 1;
  }
  return deepest;
}

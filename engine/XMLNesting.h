#pragma once

// How deeply an XML text nests its elements, measured by a flat byte scan before TinyXML sees the text.
//
// TinyXML parses, destroys and prints a document recursively, one level of the C++ stack per level of element
// nesting. Hosts restore state on threads with small stacks (512 KB on a Mac secondary thread), so a chunk or
// preset nested a few thousand levels deep must never reach the parser. The scan reads each construct with the
// extent TinyXML 2.6 gives it, so a text it lets through never nests deeper in TinyXML than the scan says:
//
//   "<name ...>"       an element, one level deeper than the element it is in; its tag runs to the first '>'
//                      outside quoted attribute values; "/>" closes it on the spot. A name starts with an ASCII
//                      letter, '_' or a byte of 127 or more, as TinyXML decides; "<1...>", "<?...>" and "<!...>"
//                      are skipped to their first '>'.
//   "</...>"           ends the innermost open element (an end tag with none open is skipped).
//   "<!--...-->"       comment; "<![CDATA[...]]>" character data: skipped whole, whatever they hold.
//   "<?xml ...?>"      the declaration. TinyXML honours quotes only in some of its attributes and matches their
//                      names in the process locale, so only the plain form is taken: lower-case "version",
//                      "encoding" and "standalone" with quoted ASCII values free of quotes, '<' and '>'.
//
// A text the scan cannot bound the same way is refused as unreadable: a construct that never ends, any other
// declaration, and — when TinyXML may read the text as UTF-8 — a lead byte not followed by the continuation
// bytes it announces (TinyXML copies that many bytes whatever they are, which could hide a '<' or a quote).
// The product's documents nest four levels deep ("Param" in "Parameter" in "Preset" in the root) and pass all of
// these.

inline constexpr int kMaxPresetXMLDepth = 16; // a preset nests four levels; headroom for hand-made files

// [any thread] The deepest element nesting of text (zero-terminated): 0 for a text without elements, 1 for
// "<a/>" or "<a></a>", 2 for "<a><b/></a>"; or
// limit + 1 as soon as the nesting passes limit, or -1 for a text the scan cannot bound (above) or null.
// utf8 applies the lead-byte check (texts TinyXML parses without TIXML_ENCODING_LEGACY). Linear in the text's
// length, no allocation, no recursion.
[[nodiscard]] int MeasureXMLNesting(const char* text, int limit, bool utf8);

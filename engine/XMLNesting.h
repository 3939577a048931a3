#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How deeply an XML text nests its elements, measured by a flat byte scan before TinyXML sees the text.
//
// TinyXML parses, destroys and prints a document recursively, one level of the C++ stack per level of element
// nesting. Hosts restore state on threads with small stacks (512 KB on a Mac secondary thread), so a chunk or
// preset nested a few thousand levels deep must never reach the parser. The scan reads each construct with the
// extent TinyXML 2.6 gives it, so a text it lets through never nests deeper in TinyXML than the scan says:
//
//   "<name ...>"       an element, one level deeper than the element it is in (counted as soon as it starts:
//                      TinyXML keeps an element it fails to finish); its tag runs to the first '>' outside
//                      quoted attribute values; "/>" closes it on the spot. A name starts with an ASCII letter,
//                      '_' or a byte of 127 or more, as TinyXML decides; "<1...>", "<?...>" and "<!...>" are
//                      skipped to their first '>'.
//   "</...>"           ends the innermost open element (an end tag with none open is skipped).
//   "<!--...-->"       comment; "<![CDATA[...]]>" character data: skipped whole, whatever they hold.
//   "<?xml ...>"       a declaration (any "<?xml" prefix, "<?xml-stylesheet" too), to its first '>'. TinyXML
//                      honours quotes only in some attributes and matches their names in the process locale, so
//                      a quote must follow '=' and close before that '>'; quoted values are printable ASCII
//                      without '&', and no blank inside one may be followed by "version", "encoding" or
//                      "standalone" in any case. Any quote TinyXML might take for a value's start (after '=')
//                      must close before that '>' as well, wherever it stands.
//   text and values    character data inside an element and quoted attribute values, read as TinyXML reads
//                      them: a character reference runs to the next ';' wherever that is, and as UTF-8 a lead
//                      byte takes as many bytes as it announces, whatever they are.
//
// Where TinyXML stops — a construct that never ends, text outside the root, a reference it cannot read — the
// scan stops too: nothing after that point is parsed. A text is refused as unreadable when TinyXML could read
// past markup the scan sees: a reference or a UTF-8 lead byte that would take in the '<' ending text or the
// quote ending a value, a lead byte that would take in the text's end, or a declaration outside the form above.
//
// TinyXML checks each attribute of an element against all the earlier ones, so a tag with a hundred thousand
// keeps it busy for half a minute. Each attribute it reads holds an '=' outside the quoted values above, whatever
// the reading, so a tag with more such '=' than kMaxPresetXMLAttributes, ended or not, is refused (an unquoted
// "a=b=c" counts twice: a bound, not a count).
//
// Which reading applies: preset files are read byte by byte. State chunks are read byte by byte until the
// first declaration outside the root, then as UTF-8 unless it names another encoding (from the start after a
// byte-order mark). The scan is a bound, not a prediction: only a declaration that is a plain list of
// blank-separated attributes with quoted values, all printable ASCII, whose names TinyXML matches in every
// locale and whose encodings (if several) agree, settles the reading. Any other — an unknown attribute with a
// value glued to the next name, an unquoted value, encodings that disagree, a byte some locale reads otherwise —
// leaves both readings open, and the text passes only if it passes under both. The product's documents nest
// four levels deep ("Param" in "Parameter" in "Preset" in the root) and pass all of these, whatever bytes their
// preset names hold.

inline constexpr int kMaxPresetXMLDepth = 16;      // a preset nests four levels; headroom for hand-made files
inline constexpr int kMaxPresetXMLAttributes = 16; // a preset's elements carry two at most; headroom as above

// The longest preset file or state document read, in bytes, checked on the length before anything scans or
// parses the text. The product writes about 3 KB; TinyXML spends an allocation on every node, so this bounds
// its time and memory for any text, whatever it holds.
inline constexpr int64_t kMaxPresetXMLBytes = int64_t(1) << 20;

// [any thread] text past one leading UTF-8 byte-order mark (EF BB BF), or text itself (null stays null). Editors
// put one before files saved as UTF-8; byte by byte TinyXML would take it for text outside the root.
[[nodiscard]] const char* SkipByteOrderMark(const char* text);

// [any thread] The deepest element nesting of text (zero-terminated): 0 for a text without elements, 1 for
// "<a/>" or "<a></a>", 2 for "<a><b/></a>"; or limit + 1 as soon as the nesting passes limit, or -1 for a text
// the scan cannot bound (above), one with a tag of more attributes than kMaxPresetXMLAttributes, or null.
// detectEncoding: the text is parsed as state chunks are (TIXML_ENCODING_UNKNOWN), otherwise byte by byte
// (TIXML_ENCODING_LEGACY). Linear in the text's length, no allocation, no recursion.
[[nodiscard]] int MeasureXMLNesting(const char* text, int limit, bool detectEncoding);

// [any thread] Whether TinyXML, reading text (a printed document) as UTF-8, takes every byte of its values and
// character data back as it is: no lead byte there announces more bytes than follow it before a '&', '<',
// quote or the end. A document that fails this must declare a single-byte encoding to be read back.
[[nodiscard]] bool ReadsBackAsUTF8(const char* text);

// ---------------------------------------------------------------------------------------------------------------
// The preset document as text (layout and checks in XMLPresets.h)
//
// What every reader of preset files and state chunks parses after the scan above. It builds on TinyXML and
// nothing of the plug-in framework, so that a host reading ".tps" files reads them with the product's own parser.
// ---------------------------------------------------------------------------------------------------------------

// Numbers in the C locale [any thread]

// value as "%f" prints it in the C locale: "-18.000000", "176400.000000". "nan"/"inf" texts for non-finite values.
std::string FormatPresetValue(double value);

// The number at the start of text as strtod reads it in the C locale (leading white space, optional sign,
// decimal digits with optional point and exponent; text after the number is ignored). value is 0.0 when text is
// null or holds no number. Returns false, with value unchanged, for a number that is not finite ("inf", "nan")
// or lies outside the range of double.
[[nodiscard]] bool ParsePresetValue(const char* text, double& value);

// PresetXMLTree — the content of one document

struct PresetXMLTree
{
  struct Param
  {
    std::string name;   // never empty in a parsed document
    double value = 0.0; // always finite in a parsed document
  };

  // Why a text was refused.
  enum class EParse : int
  {
    kOK = 0,
    kNotXML,            // empty or malformed text
    kNoRoot,            // no "PresetXMLTree" root element
    kNoVendor,          // no "PluginVendor" element
    kNoName,            // no "PluginName" element
    kNoVersion,         // no "PluginVersion" element
    kNoPreset,          // no "Preset" element, or its first attribute is not "name"
    kNoParameters,      // no "Parameter" element in "Preset", or it has no child element
    kForeignElement,    // a child of "Parameter" that is not "Param"
    kTooDeep,           // nested deeper than kMaxPresetXMLDepth (guards the recursive parser's stack)
  };

  // "PluginVendor" and "PluginName" texts; none when the element has no text.
  std::optional<std::string> vendor;
  std::optional<std::string> pluginName;
  std::string version;              // "PluginVersion" text ("" when it has none)
  std::optional<std::string> data;  // "Data" text, when the element exists and has text
  std::string presetName;           // value of the "Preset" element's "name" attribute
  std::vector<Param> params;        // accepted "Param" elements in document order

  // How Print writes the values: as the product stores them ("%f"), or as the shortest text that reads back as the
  // same double, for a host that hands a file's values on to the product unchanged.
  enum class EValues : int
  {
    kSixDecimals = 0,
    kExact,
  };

  // [any thread] The printed document (layout in XMLPresets.h). "Data" is printed when data holds a text. A document
  // whose bytes TinyXML would not read back as UTF-8 (a preset name in Latin-1) declares
  // encoding="ISO-8859-1" and is read back byte by byte.
  std::string Print(EValues values = EValues::kSixDecimals) const;

  // [any thread] Parses text (zero-terminated) and checks the structure above; on kOK the members hold the
  // document, otherwise they are cleared. legacyEncoding reads the bytes as they are (preset files), after one
  // leading UTF-8 byte-order mark; otherwise the parser detects UTF-8 from a byte-order mark or declaration
  // (state chunks). Vendor and name are not compared here (see IXMLPreset::Accepts). A text nested deeper
  // than kMaxPresetXMLDepth (kTooDeep), or one the nesting scan cannot bound or with a tag of more than
  // kMaxPresetXMLAttributes attributes (kNotXML, above), never reaches the parser; the readers bound its
  // length by kMaxPresetXMLBytes before they read it.
  [[nodiscard]] EParse Parse(const char* text, bool legacyEncoding);

private:
  // With that encoding in the declaration ("" for none).
  std::string PrintDeclaring(const char* encoding, EValues values) const;
};

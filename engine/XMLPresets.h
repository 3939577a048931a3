#pragma once

// Presets as XML: the PresetXMLTree document that the ".tps" preset files and the host state chunk share, the
// preset-file writer and readers (IXMLPreset) and the document inside a state chunk (IXMLParameters).
//
// The document, printed with four blanks of indentation per level and "\n" line breaks:
//
//   <?xml version="1.0" ?>
//   <PresetXMLTree version="1">
//       <PluginVendor>Quenlar</PluginVendor>
//       <PluginName>ZANIQ</PluginName>
//       <PluginVersion>v2.2.11</PluginVersion>
//       <Data>...</Data>                               (preset files only, when asked for)
//       <Preset name="Init">
//           <Parameter>
//               <Param name="GUI Scale" val="1.000000" />   (one per parameter, index order)
//           </Parameter>
//       </Preset>
//   </PresetXMLTree>
//
// A document whose names TinyXML would not read back as UTF-8 declares encoding="ISO-8859-1" (see Print).
//
// Values are printed as "%f" (six decimals) and read as strtod reads them, both in the C locale whatever the
// host's locale is. The root's "version" and the "PluginVersion" text are written and never compared.
//
// Readers validate the whole document before they change anything: the root, a "PluginVendor" and a
// "PluginName" whose texts equal the plug-in's maker and plug-in name exactly (a missing text is a mismatch), a
// "PluginVersion", a "Preset" whose first attribute is "name", and a "Parameter" element whose children are all
// "Param" elements (at least one). A document that fails any of these changes no parameter and no preset.
// Within an accepted document a "Param" without a name, with a name no parameter has, or with a value that is
// not finite is skipped; a missing or unreadable "val" reads as 0.0. When two "Param" elements name the same
// parameter the later one wins.
//
// Threads: main thread (constructor, editor commands, host state save and restore). Parameter stores are
// atomic, so the audio thread may see parameters change one by one during a load; no lock is taken.

#include "framework/IByteChunk.h"
#include "graphics/Util.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plugin
{
class PluginBase;
}

// Marker for "no value given" in arrays of one value per parameter (compared for exact equality).
inline constexpr double kPresetNoValue = 9.999e-8;

// ---------------------------------------------------------------------------------------------------------------
// Numbers in the C locale [any thread]
// ---------------------------------------------------------------------------------------------------------------

// value as "%f" prints it in the C locale: "-18.000000", "176400.000000". "nan"/"inf" texts for non-finite values.
std::string FormatPresetValue(double value);

// The number at the start of text as strtod reads it in the C locale (leading white space, optional sign,
// decimal digits with optional point and exponent; text after the number is ignored). value is 0.0 when text is
// null or holds no number. Returns false, with value unchanged, for a number that is not finite ("inf", "nan")
// or lies outside the range of double.
[[nodiscard]] bool ParsePresetValue(const char* text, double& value);

// ---------------------------------------------------------------------------------------------------------------
// PresetXMLTree — the content of one document
// ---------------------------------------------------------------------------------------------------------------

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

  // [any thread] The printed document (layout above). "Data" is printed when data holds a text. A document
  // whose bytes TinyXML would not read back as UTF-8 (a preset name in Latin-1) declares
  // encoding="ISO-8859-1" and is read back byte by byte.
  std::string Print() const;

  // [any thread] Parses text (zero-terminated) and checks the structure above; on kOK the members hold the
  // document, otherwise they are cleared. legacyEncoding reads the bytes as they are (preset files), after one
  // leading UTF-8 byte-order mark; otherwise the parser detects UTF-8 from a byte-order mark or declaration
  // (state chunks). Vendor and name are not compared here (see IXMLPreset::Accepts). A text nested deeper
  // than kMaxPresetXMLDepth (kTooDeep), or one the nesting scan cannot bound or with a tag of more than
  // kMaxPresetXMLAttributes attributes (kNotXML, XMLNesting.h), never reaches the parser; the readers bound its
  // length by kMaxPresetXMLBytes before they read it.
  [[nodiscard]] EParse Parse(const char* text, bool legacyEncoding);

  // [any thread] The document of plug's current parameter values (every parameter, in index order), with plug's
  // maker name, plug-in name and version text, unless overridden by non-empty nameOverride / versionOverride.
  static PresetXMLTree FromPlugin(const plugin::PluginBase& plug, const char* presetName,
                                  const char* nameOverride = nullptr, const char* versionOverride = nullptr);
  // The same for values[i] (one per parameter) in place of the live values.
  static PresetXMLTree FromValues(const plugin::PluginBase& plug, const double* values, const char* presetName);

private:
  std::string PrintDeclaring(const char* encoding) const; // with that encoding in the declaration ("" for none)
};

// ---------------------------------------------------------------------------------------------------------------
// IXMLPreset — preset files
// ---------------------------------------------------------------------------------------------------------------

class IXMLPreset
{
public:
  // Filter list entries: the end of the list, and the placeholder for "every parameter in presets".
  static constexpr int kFilterEnd = -1;
  static constexpr int kFilterInPresets = -2;

  // [main thread] Writes the document of plug's current values to path, under presetName. filtered (with the
  // filter on) writes only the parameters the filter names; withData adds a "Data" element holding data. The
  // text goes to a temporary file beside path that is then renamed over it, so a failed write never leaves a
  // half-written or truncated preset behind. False, with no file changed, when the file cannot be created,
  // written, flushed or renamed, or path is empty.
  [[nodiscard]] bool WritePresetFile(const plugin::PluginBase& plug, const Util_String& path,
                                     const Util_String& presetName, bool filtered, bool withData,
                                     const char* data) const;

  // [main thread] WritePresetFile to folder + "/default.tps" with the preset name "Init". False for an empty
  // folder.
  [[nodiscard]] bool SaveDefaultPresetFile(const plugin::PluginBase& plug, const Util_String& folder,
                                           bool filtered, bool withData, const char* data) const;

  // [main thread] Reads the preset file at path into plug's parameters. The file is read and validated whole
  // first (a leading UTF-8 byte-order mark is skipped); a missing, unreadable, malformed or foreign file, one
  // larger than kMaxPresetXMLBytes (refused unread), or a path that names no regular file
  // (directory, FIFO — never waited on — or device), returns false and changes nothing
  // (parameters, presets, outputs). Then, for an accepted file:
  //   probe: presetName receives the file's preset name (and data its "Data" text with readData); no parameter
  //          or preset changes; true.
  //   otherwise: with the filter on, every parameter the filter names returns to its default; then every "Param"
  //          that names a parameter is applied with IParam::Set (rounded and clamped) — except, with keep, a
  //          parameter that is an instance setting, and with filtered, one the filter does not name.
  //          keep: the current preset takes the new state and the file's preset name, and the engine is told
  //          (OnParamReset, source preset recall). Otherwise the current preset takes the new state and name,
  //          is recalled (which tells the engine), takes them again, and the host is told of the preset change.
  // data may be null.
  [[nodiscard]] bool LoadPresetFile(plugin::PluginBase& plug, const Util_String& path, Util_String& presetName,
                                    bool keep, bool probe, bool filtered, bool readData, Util_String* data) const;

  // [main thread] The same checks; for an accepted file each named parameter's value goes to values[index] as
  // read (not rounded or clamped; with filtered, only parameters the filter names) and presetName receives the
  // preset name. values must hold one entry per parameter; entries of parameters the file does not name are
  // left alone. A refused file returns false and writes nothing. No parameter changes.
  [[nodiscard]] bool ParsePresetFile(const plugin::PluginBase& plug, const Util_String& path, double* values,
                                     Util_String& presetName, bool filtered) const;

  // [any thread] Whether a document was written by this plug-in: "PluginVendor" equals the maker name and
  // "PluginName" the plug-in name (or, with the alternative names on, one of them); exact, case-sensitive; a
  // missing text never matches.
  bool Accepts(const plugin::PluginBase& plug, const PresetXMLTree& tree) const;

  // [any thread] Whether the filter list names paramIdx (the placeholder names every in-presets parameter).
  bool FilterNames(const plugin::PluginBase& plug, int paramIdx) const;

protected:
  static constexpr int kDefaultFilterList[] = {kFilterInPresets, kFilterEnd};

  Util_String mNameOverride;    // written as "PluginName" when not empty
  Util_String mVersionOverride; // written as "PluginVersion" when not empty
  const int* mFilterList = kDefaultFilterList;
  bool mFilterOn = true;
  const char* const* mAlternativeNames = nullptr; // null-terminated; further accepted "PluginName" texts
  bool mAlternativeNamesOn = false;
};

// ---------------------------------------------------------------------------------------------------------------
// IXMLParameters — the document inside a host state chunk
// ---------------------------------------------------------------------------------------------------------------

class IXMLParameters
{
public:
  // [main thread] Appends L (i32, the text's length) and the document of plug's live values under the name of
  // preset slot 0 ("" without presets). False, with nothing appended, when the text cannot be produced or the
  // chunk cannot grow.
  [[nodiscard]] static bool WriteStateXML(const plugin::PluginBase& plug, plugin::IByteChunk& chunk);

  // [main thread] The same for values (one per parameter) under presetName ("" for null).
  [[nodiscard]] static bool BuildPresetXML(const plugin::PluginBase& plug, const double* values,
                                           plugin::IByteChunk& chunk, const char* presetName);

  // [main thread] Reads L and the text at pos and, when the text is an accepted document, applies it: the
  // preset name becomes the name of preset slot 0, every named parameter takes its value (IParam::Set), then
  // OnParamReset (source preset recall). Returns pos + 4 + L, or 0 — with nothing changed — when pos is
  // negative, L is below 1 or above kMaxPresetXMLBytes (refused before the text is read) or the text does not
  // lie wholly before limit (the chunk's end when limit is negative), or the document is malformed, foreign or
  // incomplete. The text ends at its first zero byte.
  [[nodiscard]] static int ReadStateXML(plugin::PluginBase& plug, const plugin::IByteChunk& chunk, int pos,
                                        int64_t limit = -1);
  // [any thread] What ReadStateXML would return, without applying anything.
  [[nodiscard]] static int CheckStateXML(const plugin::PluginBase& plug, const plugin::IByteChunk& chunk, int pos,
                                         int64_t limit = -1);
};

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
// PresetXMLTree, which holds one document, and the numbers in it live in XMLNesting.h, free of the framework.
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

#include "engine/XMLNesting.h"
#include "framework/IByteChunk.h"
#include "graphics/Util.h"

#include <cstdint>
#include <string>

namespace plugin
{
class PluginBase;
}

// Marker for "no value given" in arrays of one value per parameter (compared for exact equality).
inline constexpr double kPresetNoValue = 9.999e-8;

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

// libFuzzer target: preset files through every reader (probe, keep and full loads, the parser into values, a
// preset filled from a file) and the document parser and printer.
//
// Promises checked: a refused file changes no parameter and no output; a probe never changes a parameter;
// whatever was loaded leaves every parameter finite and in range; a parsed document printed and parsed again
// prints the same text.

#include "fuzz/fuzz_env.h"

using fuzzenv::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  ZANIQ& plug = fuzzenv::Plug();
  static const std::string path = fuzzenv::Home() + "/fuzz.tps";
  if (!fuzzenv::WriteFile(path, data, size)) return 0;
  const Util_String file(path.c_str());

  // The parser and printer on their own.
  const std::string text(reinterpret_cast<const char*>(data), size);
  PresetXMLTree tree;
  // (A document whose "Param" elements were all skipped prints without any, which no reader accepts.)
  if (tree.Parse(text.c_str(), true) == PresetXMLTree::EParse::kOK && !tree.params.empty())
  {
    const std::string printed = tree.Print();
    PresetXMLTree again;
    Check(again.Parse(printed.c_str(), true) == PresetXMLTree::EParse::kOK);
    PresetXMLTree third;
    Check(third.Parse(again.Print().c_str(), true) == PresetXMLTree::EParse::kOK);
    Check(third.Print() == again.Print());
  }

  std::vector<double> before = fuzzenv::Values(plug);
  Util_String name("unchanged"), dataText("unchanged");
  const bool probed = plug.LoadPresetFile(plug, file, name, false, true, false, true, &dataText);
  Check(fuzzenv::Values(plug) == before);
  if (!probed) Check(std::string(name.Get()) == "unchanged" && std::string(dataText.Get()) == "unchanged");

  std::vector<double> values(static_cast<size_t>(plug.NParams()), kPresetNoValue);
  const bool parsed = plug.ParsePresetFile(plug, file, values.data(), name, false);
  Check(parsed == probed);
  if (!parsed)
    Check(values == std::vector<double>(static_cast<size_t>(plug.NParams()), kPresetNoValue));
  for (double v : values) Check(std::isfinite(v));

  const bool keep = (size & 1) != 0;
  const bool loaded = plug.LoadPresetFile(plug, file, name, keep, false, false, false, nullptr);
  Check(loaded == probed);
  if (!loaded) Check(fuzzenv::Values(plug) == before);
  Check(fuzzenv::ValuesSound(plug));

  plugin::IPreset preset;
  plug.LoadPresetFileIntoPreset(&preset, file, false);
  Check(preset.mInitialized && preset.mChunk.Size() > 0);
  before = fuzzenv::Values(plug);
  Check(plug.UnserializeState(preset.mChunk, 0) == preset.mChunk.Size());
  Check(fuzzenv::ValuesSound(plug));
  return 0;
}

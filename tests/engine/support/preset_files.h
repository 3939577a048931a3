#pragma once

// Preset documents of this product written out by hand, and the files that hold them. Plain text only, so that
// the host-side tests of the bundle use them too.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

inline std::string ReadFile(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text)
{
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A preset document of this product naming the given parameters (name, value text), four blanks per level.
inline std::string PresetText(const std::vector<std::pair<std::string, std::string>>& params,
                              const std::string& presetName = "P", const std::string& vendor = "Quenlar",
                              const std::string& name = "ZANIQ")
{
  std::string s = "<?xml version=\"1.0\" ?>\n<PresetXMLTree version=\"1\">\n    <PluginVendor>" + vendor +
                  "</PluginVendor>\n    <PluginName>" + name +
                  "</PluginName>\n    <PluginVersion>v2.2.11</PluginVersion>\n    <Preset name=\"" + presetName +
                  "\">\n        <Parameter>\n";
  for (const auto& [n, v] : params) s += "            <Param name=\"" + n + "\" val=\"" + v + "\" />\n";
  return s + "        </Parameter>\n    </Preset>\n</PresetXMLTree>\n";
}

// A document of this product that would set Reference Level to -7.5, Plugin Mode to Sender and Link ID to 9,
// under the preset name "Nested", with `levels` unknown elements nested inside its root (which is one level more).
inline std::string NestedPresetText(int levels)
{
  std::string text = PresetText({{"Reference Level", "-7.5"}, {"Plugin Mode", "0"}, {"Link ID", "9"}}, "Nested");
  std::string nest;
  for (int i = 0; i < levels; ++i) nest += "<u>";
  for (int i = 0; i < levels; ++i) nest += "</u>";
  return text.insert(text.rfind("</PresetXMLTree>"), nest);
}

} // namespace testsupport

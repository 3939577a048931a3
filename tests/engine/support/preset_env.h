#pragma once

// Helpers for the preset-file and state-chunk tests: an instance that counts engine resets, a fixture that makes
// them under a temporary home, and the preset document as this product prints it (documents written by hand:
// preset_files.h).

#include "engine/support/zaniq_env.h"

#include <algorithm>
#include <cstdio>

namespace testsupport
{

// Counts OnParamReset calls and remembers their source.
class PresetZANIQ : public TestZANIQ
{
public:
  void OnParamReset(plugin::EParamSource source) override
  {
    ++mResets;
    mLastResetSource = source;
    TestZANIQ::OnParamReset(source);
  }
  int mResets = 0;
  plugin::EParamSource mLastResetSource = plugin::kReset;
};

class PresetTest : public ZaniqTest
{
protected:
  PresetZANIQ& MakePlug()
  {
    mPlugs.push_back(std::make_unique<PresetZANIQ>());
    return *mPlugs.back();
  }
  void TearDown() override
  {
    mPlugs.clear();
    ZaniqTest::TearDown();
  }
  std::filesystem::path PresetFolder() const { return mHome.DataFolder() / "AU"; }

  std::vector<std::unique_ptr<PresetZANIQ>> mPlugs;
};

// Every parameter's value, in index order.
inline std::vector<double> Values(const plugin::PluginBase& plug)
{
  std::vector<double> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

// The document as this product prints it: every parameter with its "%f" value (the tests run in the C locale).
inline std::string ExpectedDocument(const plugin::PluginBase& plug, const std::vector<double>& values,
                                    const std::string& presetName)
{
  std::vector<std::pair<std::string, std::string>> params;
  for (int i = 0; i < plug.NParams(); ++i)
  {
    char val[64];
    std::snprintf(val, sizeof val, "%f", values[size_t(i)]);
    params.emplace_back(plug.GetParam(i)->GetName(), val);
  }
  return PresetText(params, presetName);
}

// The files of a folder, sorted by name.
inline std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder)
{
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace testsupport

// A small plug-in base for the preset and VST2 file tests: four parameters whose normalised values are exact in
// 32-bit floats, the product's unique id 'QN55' and a choice of preset slots.
#pragma once

#include "framework/PluginBase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace plugin::test
{

// Parameters: 0 "Gain" -10..10, 1 "On" bool, 2 "Count" int 0..8, 3 "Mode" enum A/B/C.
class TestPlugin : public PluginBase
{
public:
  explicit TestPlugin(int nPresets = 3) : PluginBase(4, nPresets)
  {
    mUniqueID = static_cast<int>(MakeFourCC('Q', 'N', '5', '5'));
    GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.0);
    GetParam(1)->InitBool("On", false);
    GetParam(2)->InitInt("Count", 2, 0, 8);
    GetParam(3)->InitEnum("Mode", 0, {"A", "B", "C"});
  }

  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}

  void SetValues(double gain, bool on, int count, int mode)
  {
    GetParam(0)->Set(gain);
    GetParam(1)->Set(on ? 1.0 : 0.0);
    GetParam(2)->Set(count);
    GetParam(3)->Set(mode);
  }
  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i)
      v.push_back(GetParam(i)->Value());
    return v;
  }
  IByteChunk State() const
  {
    IByteChunk c;
    SerializeState(c);
    return c;
  }
  // "name+|name-|...|current" (+ for an initialised slot); with states, each slot's chunk and the values too, to
  // see that nothing changed.
  std::string Slots(bool withStates = false) const
  {
    std::string s;
    for (int i = 0; i < NPresets(); ++i)
    {
      const IPreset* p = GetPreset(i);
      s += std::string(p->mName) + (p->mInitialized ? "+" : "-");
      if (withStates && p->mChunk.Size())
        s.append(reinterpret_cast<const char*>(p->mChunk.GetData()), size_t(p->mChunk.Size()));
      s += '|';
    }
    char value[32];
    for (double v : withStates ? Values() : std::vector<double>())
      s.append(value, size_t(std::snprintf(value, sizeof value, "%a ", v)));
    return s + std::to_string(GetCurrentPresetIdx());
  }
};

// A file's bytes as a string or a byte vector.
template <class T = std::string> T ReadAll(const std::filesystem::path& p)
{
  std::ifstream in(p, std::ios::binary);
  return T(std::istreambuf_iterator<char>(in), {});
}
template <class T> void WriteAll(const std::filesystem::path& p, const T& bytes)
{
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh path of that name in the tests' temporary folder (whatever was there is removed).
inline std::filesystem::path TempPath(const char* name)
{
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "zaniq_framework_test";
  std::filesystem::create_directories(dir);
  std::filesystem::remove_all(dir / name);
  return dir / name;
}

} // namespace plugin::test

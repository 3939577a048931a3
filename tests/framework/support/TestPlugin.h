// A small plug-in base for the preset and VST2 file tests: four parameters whose normalised values are exact in
// 32-bit floats, the product's unique id 'QN55' and a choice of preset slots.
#pragma once

#include "framework/PluginBase.h"

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
};

} // namespace plugin::test

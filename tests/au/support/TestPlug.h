#pragma once

// A small plug-in on the Audio Unit adapter for the adapter's tests: four parameters (a grouped double, an enum,
// a meta bool that cannot be automated, a grouped stepped int), two presets (one with a long name), "1-1 2-2",
// and block processing that doubles its input. Driven through its exported factory, as a host would.

#include "au/IPluginAU_Entry.h"

#include <AudioToolbox/AUTesting.h>

#include <string>
#include <vector>

namespace aztest
{

inline const std::string kLongPresetName(80, 'p');

class TestPlug : public plugin::IPluginAU
{
public:
  static plugin::Config MakeConfig();
  explicit TestPlug(const plugin::InstanceInfo& info);

  void ProcessBlock(plugin::sample** inputs, plugin::sample** outputs, int nFrames) override;
  void OnReset() override { ++mResets; }
  void OnParamChange(int paramIdx, plugin::EParamSource source, int sampleOffset) override;

  struct Change
  {
    int idx;
    plugin::EParamSource source;
    int offset;
  };
  std::vector<Change> mChanges;
  int mResets = 0;
  int mProcessCalls = 0;
};

// The component registered for TestPlug's factory (once per process).
AudioComponent TestComponent();

// One instance made through the factory; disposed at the end of the scope.
struct Unit
{
  Unit();
  ~Unit();
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;
  TestPlug& Plug() const;

  AudioUnit au = nullptr;
};

} // namespace aztest

extern "C" AudioComponentPlugInInterface* AZTest_Factory(const AudioComponentDescription* desc);
extern "C" OSStatus AZTest_Entry(ComponentParameters* params, void* storage);

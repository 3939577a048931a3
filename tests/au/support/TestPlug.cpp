#include "TestPlug.h"

using namespace plugin;

namespace aztest
{

Config TestPlug::MakeConfig()
{
  Config c;
  c.nParams = 4;
  c.nPresets = 3; // the third stays empty and is pruned at open
  c.channelIOStr = "1-1 2-2";
  c.pluginName = "AZTest";
  c.productName = "AZTest";
  c.mfrName = "Test";
  c.vendorVersion = PackVersion(2, 2, 11);
  c.uniqueID = static_cast<int32_t>(MakeFourCC('Q', 'N', '5', '5'));
  c.mfrID = static_cast<int32_t>(MakeFourCC('Q', 'N', 'V', 'X'));
  c.plugDoesChunks = false;
  c.plugType = kEffect;
  c.plugHasUI = true;
  c.bundleID = "com.test.aztest";
  return c;
}

TestPlug::TestPlug(const InstanceInfo& info) : IPluginAU(info, MakeConfig())
{
  GetParam(0)->InitGain("Gain", 0.0, -12.0, 12.0, 0.1, 0, "Main");
  GetParam(1)->InitEnum("Mode", 0, {"Alpha", "Beta", "Gamma"});
  GetParam(2)->InitBool("Active", true, "", IParam::kFlagMeta | IParam::kFlagCannotAutomate);
  GetParam(3)->InitInt("Count", 2, 0, 10, "", 0, "Main");
  MakeDefaultPreset("Factory A", 1);
  MakeDefaultPreset(kLongPresetName.c_str(), 1);
}

void TestPlug::ProcessBlock(sample** inputs, sample** outputs, int nFrames)
{
  ++mProcessCalls;
  for (int c = 0; c < NChannels(kOutput); ++c)
    for (int i = 0; i < nFrames; ++i) outputs[c][i] = 2.0 * (c < NChannels(kInput) ? inputs[c][i] : 0.0);
}

void TestPlug::OnParamChange(int paramIdx, EParamSource source, int sampleOffset)
{
  mChanges.push_back({paramIdx, source, sampleOffset});
}

AudioComponent TestComponent()
{
  static AudioComponent component = [] {
    AudioComponentDescription desc = {kAudioUnitType_Effect, MakeFourCC('Q', 'N', '5', '5'),
                                      MakeFourCC('Q', 'N', 'V', 'X'), 0, 0};
    return AudioComponentRegister(&desc, nullptr, 1, &AZTest_Factory);
  }();
  return component;
}

Unit::Unit()
{
  if (AudioComponentInstanceNew(TestComponent(), &au) != noErr) au = nullptr;
}

Unit::~Unit()
{
  if (au) AudioComponentInstanceDispose(au);
}

TestPlug& Unit::Plug() const
{
  IPluginAU* plug = nullptr;
  UInt32 size = sizeof(plug);
  AudioUnitGetProperty(au, IPluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, &plug, &size);
  return *static_cast<TestPlug*>(plug);
}

} // namespace aztest

using aztest::TestPlug;
ZANIQ_AU_ENTRY(TestPlug, AZTest_Factory, AZTest_Entry)

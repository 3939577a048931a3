// The test bundle's parameters as a host sees them: descriptions, clumps, value strings, text conversions,
// host sets (stepping, clamping, refusals), scheduled events, property listeners, and the harness's set-by-name.

#include "au/testplug/TestBundles.h"

#include "au/PluginAU.h"

#include <limits>
#include <thread>
#include <tuple>

using namespace auhost;
using namespace testbundles;

namespace
{

class BundleParams : public BundleHost
{
protected:
  Float32 Get(AudioUnitParameterID id) const
  {
    Float32 v = std::numeric_limits<Float32>::quiet_NaN();
    EXPECT_OK(mUnit->GetParameter(id, v));
    return v;
  }
  plugin::PluginAU& Plug() const
  {
    plugin::PluginAU* plug = nullptr;
    EXPECT_OK(mUnit->GetProperty(plugin::PluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug));
    return *plug;
  }
};

std::string Name(Instance& unit, AudioUnitPropertyID id, UInt32 inID, SInt32 length, OSStatus expected = noErr)
{
  AudioUnitParameterNameInfo name = {inID, length, nullptr};
  EXPECT_EQ(unit.GetProperty(id, kAudioUnitScope_Global, 0, name).code(), expected) << inID;
  const std::string text = name.outName ? ToStdString(name.outName) : "";
  if (name.outName) CFRelease(name.outName);
  return text;
}

} // namespace

TEST_F(BundleParams, DescriptionsOfTheFourParameters)
{
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), 4u);
  const AudioUnitParameterOptions base = kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
                                         kAudioUnitParameterFlag_HasCFNameString |
                                         kAudioUnitParameterFlag_IsHighResolution |
                                         kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasClump;
  const struct
  {
    const char* name;
    AudioUnitParameterUnit unit;
    Float32 min, max;
    const char* clump;
    UInt32 clumpID; // in the order the groups were first asked about
    std::vector<std::string> strings;
  } expected[] = {
    {"Gain", kAudioUnitParameterUnit_Decibels, -70.f, 24.f, "Level", 1, {}},
    {"Delay", kAudioUnitParameterUnit_Indexed, 0.f, 32.f, "Shape", 2, {}},
    {"Mode", kAudioUnitParameterUnit_Indexed, 0.f, 2.f, "Shape", 2, {"Normal", "Invert", "Half"}},
    // The flag promises value strings, so the property must give them.
    {"Mute", kAudioUnitParameterUnit_Boolean, 0.f, 1.f, "Level", 1, {"off", "on"}},
  };
  for (AudioUnitParameterID i = 0; i < 4; ++i)
  {
    const ParameterDesc& p = params[i];
    const auto& e = expected[i];
    const AudioUnitParameterOptions flags = base | (e.strings.empty() ? 0u : UInt32{kAudioUnitParameterFlag_ValuesHaveStrings});
    EXPECT_EQ(std::tie(p.id, p.name, p.unit, p.minValue, p.maxValue, p.defaultValue, p.flags),
              std::make_tuple(i, e.name, e.unit, e.min, e.max, 0.f, flags));
    EXPECT_EQ(std::tie(p.clumpName, p.clumpID, p.valueStrings), std::make_tuple(e.clump, e.clumpID, e.strings)) << e.name;
  }
  // A plain number has no value strings: refused with nothing to read.
  UInt32 size = 123;
  Boolean writable = true;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, kGain,
                                     &size, &writable),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(size, 0u);

  AudioUnitParameterInfo info = {};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 4, info).code(),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Input, 0, info).code(),
            kAudioUnitErr_InvalidProperty);
  size = 99;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Input, 0, &size,
                                     nullptr),
            noErr);
  EXPECT_EQ(size, 0u);

  // Names cut to the length a host asks for; unknown parameters and clumps are refused.
  EXPECT_EQ(Name(*mUnit, kAudioUnitProperty_ParameterIDName, kMode, 2), "Mo");
  EXPECT_EQ(Name(*mUnit, kAudioUnitProperty_ParameterIDName, kMode, kAudioUnitParameterName_Full), "Mode");
  Name(*mUnit, kAudioUnitProperty_ParameterIDName, 99, 2, kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(Name(*mUnit, kAudioUnitProperty_ParameterClumpName, 2, kAudioUnitParameterName_Full), "Shape");
  for (UInt32 clump : {0u, 3u})
    Name(*mUnit, kAudioUnitProperty_ParameterClumpName, clump, kAudioUnitParameterName_Full,
         kAudioUnitErr_PropertyNotInUse);
}

TEST_F(BundleParams, TextConversionsBothWays)
{
  const struct
  {
    AudioUnitParameterID id;
    Float32 value;
    const char* text;
  } toText[] = {{kGain, -6.f, "-6.00"}, {kGain, 0.126f, "0.13"}, {kDelay, 5.f, "5"}, {kMode, 1.f, "Invert"},
                {kMode, 2.f, "Half"},   {kMute, 1.f, "on"},     {kMute, 0.f, "off"}},
    toValue[] = {{kGain, -12.5f, "-12.5"}, {kGain, 24.f, "1k5"}, // 1500, clamped to the range
                 {kGain, -70.f, "-200"},   {kMode, 2.f, "Half"}, {kMute, 1.f, "on"}, {kDelay, 7.f, "7"}};
  for (const auto& c : toText)
  {
    std::string text;
    EXPECT_OK(mUnit->ParameterValueToText(c.id, c.value, text));
    EXPECT_EQ(text, c.text) << c.id << " " << c.value;
  }
  for (const auto& c : toValue)
  {
    Float32 value = std::numeric_limits<Float32>::quiet_NaN();
    EXPECT_OK(mUnit->ParameterTextToValue(c.id, c.text, value));
    EXPECT_EQ(value, c.value) << c.id << " " << c.text;
  }
}

TEST_F(BundleParams, HostSetsAreSteppedClampedCheckedAndForwarded)
{
  plugin::PluginAU& plug = Plug();
  plugin::ParamTuple sent;
  while (plug.GetParamChangeFromProcessor().Pop(sent)) {}
  const struct
  {
    AudioUnitParameterID id;
    Float32 set, read;
  } cases[] = {{kDelay, 2.4f, 2.f}, {kDelay, 2.5f, 3.f}, // halves round away from zero
               {kGain, 100.f, 24.f},
               {kGain, -3.004f, -3.004f}}; // a continuous parameter keeps what it is given
  for (const auto& c : cases)
  {
    // The value the set replaces becomes the previous value.
    const double before = plug.GetParam(static_cast<int>(c.id))->Value();
    ASSERT_OK(mUnit->SetParameter(c.id, c.set));
    EXPECT_EQ(Get(c.id), c.read) << c.set;
    EXPECT_EQ(plug.GetParam(static_cast<int>(c.id))->PrevValue(), before) << c.set;
    // The editor is sent the value as the host gave it.
    ASSERT_TRUE(plug.GetParamChangeFromProcessor().Pop(sent));
    EXPECT_EQ(sent.idx, static_cast<int>(c.id));
    EXPECT_FLOAT_EQ(static_cast<float>(sent.value), c.set);
  }

  // Refusals leave the value alone.
  Float32 v = 0;
  EXPECT_EQ(mUnit->SetParameter(kGain, std::numeric_limits<Float32>::quiet_NaN()).code(),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(mUnit->SetParameter(kGain, std::numeric_limits<Float32>::infinity()).code(),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(AudioUnitSetParameter(Unit(), kGain, kAudioUnitScope_Input, 0, 1.f, 0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetParameter(Unit(), 4, kAudioUnitScope_Global, 0, 1.f, 0), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(Unit(), kGain, kAudioUnitScope_Output, 0, &v), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(Unit(), 99, kAudioUnitScope_Global, 0, &v), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(Get(kGain), -3.004f);
  EXPECT_EQ(plug.GetParam(kGain)->PrevValue(), 24.0); // a refused set moves nothing
  EXPECT_FALSE(plug.GetParamChangeFromProcessor().Pop(sent));
}

TEST_F(BundleParams, ScheduledEventsApplyOnlyImmediateOnes)
{
  AudioUnitParameterEvent events[3] = {};
  events[0].scope = kAudioUnitScope_Global;
  events[0].parameter = kGain;
  events[0].eventType = kParameterEvent_Ramped;
  events[0].eventValues.ramp = {0, 64, -10.f, -20.f};
  events[1].scope = kAudioUnitScope_Global;
  events[1].parameter = kDelay;
  events[1].eventType = kParameterEvent_Immediate;
  events[1].eventValues.immediate = {0, 4.f};
  events[2] = events[1];
  events[2].parameter = kMode;
  events[2].eventValues.immediate = {0, 2.f};
  // A bad event ends the call: those before it stay, the ramp is skipped.
  const struct
  {
    AudioUnitScope scope;
    AudioUnitParameterID id;
    OSStatus status;
  } bad[] = {{kAudioUnitScope_Input, kMode, kAudioUnitErr_InvalidProperty},
             {kAudioUnitScope_Global, 42, kAudioUnitErr_InvalidParameter}};
  for (const auto& c : bad)
  {
    events[2].scope = c.scope;
    events[2].parameter = c.id;
    EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 3), c.status);
    EXPECT_EQ(Get(kGain), 0.f);
    EXPECT_EQ(Get(kDelay), 4.f);
    EXPECT_EQ(Get(kMode), 0.f);
  }
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 0), noErr);
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), nullptr, 1), kAudio_ParamError);
}

namespace
{
std::vector<std::pair<AudioUnitPropertyID, void*>> gListenerCalls;
std::vector<Float64> gRatesSeen; // what a SampleRate listener reads back
void Listener(void* userData, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  gListenerCalls.push_back({id, userData});
  Float64 rate = 0;
  UInt32 size = sizeof(rate);
  if (id == kAudioUnitProperty_SampleRate &&
      AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &rate, &size) == noErr)
    gRatesSeen.push_back(rate);
}
} // namespace

TEST_F(BundleParams, PropertyListeners)
{
  plugin::PluginAU& plug = Plug();
  int a = 0, b = 0;
  gListenerCalls.clear();
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, &Listener, &a), noErr);
  // Same property and function: the first registration stays.
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, &Listener, &b), noErr);
  EXPECT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, nullptr, &a), kAudio_ParamError);

  plug.SetLatency(64); // main thread: told at once
  ASSERT_EQ(gListenerCalls.size(), 1u);
  EXPECT_EQ(gListenerCalls[0], std::make_pair(AudioUnitPropertyID{kAudioUnitProperty_Latency}, static_cast<void*>(&a)));
  // From another thread the notification waits for the main thread's idle tick, and comes once.
  std::thread([&plug] { plug.SetLatency(128); }).join();
  EXPECT_EQ(gListenerCalls.size(), 1u);
  plug.OnApiIdle();
  EXPECT_EQ(gListenerCalls.size(), 2u);
  plug.OnApiIdle();
  EXPECT_EQ(gListenerCalls.size(), 2u);
  Float64 latency = 0;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency));
  EXPECT_DOUBLE_EQ(latency, 128.0 / 44100.0);

  // Writes notify once they have taken effect, accepted or not: a listener reads the new value back.
  gListenerCalls.clear();
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener, &b), noErr);
  EXPECT_FALSE(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, -1.0).ok());
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, 96000.0));
  EXPECT_EQ(gListenerCalls.size(), 2u);
  EXPECT_EQ(gRatesSeen, (std::vector<Float64>{44100.0, 96000.0}));
  gListenerCalls.clear();
  EXPECT_EQ(AudioUnitRemovePropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener), noErr);
  // Removal with user data that does not match keeps the registration.
  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(Unit(), kAudioUnitProperty_Latency, &Listener, &b), noErr);
  plug.SetLatency(32);
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, 48000.0));
  ASSERT_EQ(gListenerCalls.size(), 1u);
  EXPECT_EQ(gListenerCalls[0].second, &a);
}

TEST_F(BundleParams, SetByNameFromText)
{
  const struct
  {
    const char* name;
    const char* text;
    AudioUnitParameterID id;
    Float32 value;
  } good[] = {{"Gain", "-6", kGain, -6.f},   {"gain", " +3.5 ", kGain, 3.5f}, {"#2", "invert", kMode, 1.f},
              {"3", "on", kMute, 1.f},      {"Mode", "2", kMode, 2.f}};
  for (const auto& c : good)
  {
    EXPECT_OK(mUnit->SetParameterFromText(c.name, c.text));
    EXPECT_EQ(Get(c.id), c.value) << c.name << " " << c.text;
  }
  // Refused, naming what is wrong; nothing changes. (The command-line tests check the other refusals' texts.)
  const struct
  {
    const char* name;
    const char* text;
    const char* message;
  } bad[] = {
    {"#9", "1", "no parameter \"#9\" (parameters: \"Gain\", \"Delay\", \"Mode\", \"Mute\")"},
    {"Gain", "nan", "parameter \"Gain\": \"nan\" is not a number"},
  };
  for (const auto& c : bad)
  {
    const Status s = mUnit->SetParameterFromText(c.name, c.text);
    EXPECT_FALSE(s.ok()) << c.name << " " << c.text;
    EXPECT_EQ(s.message(), c.message);
  }
  EXPECT_EQ(Get(kGain), 3.5f);
  EXPECT_EQ(Get(kMode), 2.f);
}

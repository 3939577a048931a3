// The test bundle's parameters as a host sees them: descriptions, clumps, value strings, text conversions,
// host sets (stepping, clamping, refusals), scheduled events, and the harness's set-by-name.

#include "au/testplug/TestBundles.h"

#include <cmath>
#include <limits>

using namespace auhost;
using namespace testbundles;

namespace
{

using BundleParams = BundleHost;

Float32 Get(const Instance& unit, AudioUnitParameterID id)
{
  Float32 v = std::numeric_limits<Float32>::quiet_NaN();
  EXPECT_TRUE(unit.GetParameter(id, v).ok());
  return v;
}

std::string Text(const Instance& unit, AudioUnitParameterID id, Float32 value)
{
  std::string text;
  const Status s = unit.ParameterValueToText(id, value, text);
  EXPECT_TRUE(s.ok()) << s.message();
  return text;
}

Float32 Value(const Instance& unit, AudioUnitParameterID id, const char* text)
{
  Float32 v = std::numeric_limits<Float32>::quiet_NaN();
  const Status s = unit.ParameterTextToValue(id, text, v);
  EXPECT_TRUE(s.ok()) << s.message();
  return v;
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
    Float32 min, max, def;
    bool strings;
    const char* clump;
  } expected[] = {
    {"Gain", kAudioUnitParameterUnit_Decibels, -70.f, 24.f, 0.f, false, "Level"},
    {"Delay", kAudioUnitParameterUnit_Indexed, 0.f, 32.f, 0.f, false, "Shape"},
    {"Mode", kAudioUnitParameterUnit_Indexed, 0.f, 2.f, 0.f, true, "Shape"},
    {"Mute", kAudioUnitParameterUnit_Boolean, 0.f, 1.f, 0.f, true, "Level"},
  };
  for (size_t i = 0; i < params.size(); ++i)
  {
    const ParameterDesc& p = params[i];
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(p.id, i);
    EXPECT_EQ(p.name, expected[i].name);
    EXPECT_EQ(p.unit, expected[i].unit);
    EXPECT_EQ(p.minValue, expected[i].min);
    EXPECT_EQ(p.maxValue, expected[i].max);
    EXPECT_EQ(p.defaultValue, expected[i].def);
    EXPECT_EQ(p.flags, base | (expected[i].strings ? kAudioUnitParameterFlag_ValuesHaveStrings : 0u));
    EXPECT_EQ(p.clumpName, expected[i].clump);
  }
  // Clump IDs follow the order in which the groups were first asked about.
  EXPECT_EQ(params[0].clumpID, 1u);
  EXPECT_EQ(params[1].clumpID, 2u);
  EXPECT_EQ(params[2].clumpID, 2u);
  EXPECT_EQ(params[3].clumpID, 1u);

  AudioUnitParameterInfo info = {};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 4, info).code(),
            kAudioUnitErr_InvalidElement);
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Input, 0, info).code(),
            kAudioUnitErr_InvalidProperty);
  UInt32 size = 99;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Input, 0, &size,
                                     nullptr),
            noErr);
  EXPECT_EQ(size, 0u);
}

TEST_F(BundleParams, ValueStringsOfTheEnum)
{
  ParameterDesc mode;
  ASSERT_OK(mUnit->FindParameter("Mode", mode));
  EXPECT_EQ(mode.valueStrings, (std::vector<std::string>{"Normal", "Invert", "Half"}));
  // A plain number has none: refused with nothing to read.
  UInt32 size = 123;
  Boolean writable = true;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, kGain,
                                     &size, &writable),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(size, 0u);
}

TEST_F(BundleParams, ValueStringsOfTheBool)
{
  ParameterDesc mute;
  ASSERT_OK(mUnit->FindParameter("Mute", mute));
  ASSERT_TRUE(mute.flags & kAudioUnitParameterFlag_ValuesHaveStrings);
  // The flag promises value strings, so the property must give them.
  EXPECT_EQ(mute.valueStrings, (std::vector<std::string>{"off", "on"}));
}

TEST_F(BundleParams, TextConversionsBothWays)
{
  EXPECT_EQ(Text(*mUnit, kGain, -6.f), "-6.00");
  EXPECT_EQ(Text(*mUnit, kGain, 0.126f), "0.13");
  EXPECT_EQ(Text(*mUnit, kDelay, 5.f), "5");
  EXPECT_EQ(Text(*mUnit, kMode, 1.f), "Invert");
  EXPECT_EQ(Text(*mUnit, kMode, 2.f), "Half");
  EXPECT_EQ(Text(*mUnit, kMute, 1.f), "on");
  EXPECT_EQ(Text(*mUnit, kMute, 0.f), "off");

  EXPECT_EQ(Value(*mUnit, kGain, "-12.5"), -12.5f);
  EXPECT_EQ(Value(*mUnit, kGain, "1k5"), 24.f); // 1500, clamped to the range
  EXPECT_EQ(Value(*mUnit, kGain, "-200"), -70.f);
  EXPECT_EQ(Value(*mUnit, kMode, "Half"), 2.f);
  EXPECT_EQ(Value(*mUnit, kMute, "on"), 1.f);
  EXPECT_EQ(Value(*mUnit, kDelay, "7"), 7.f);

  // Names cut to the length a host asks for.
  AudioUnitParameterNameInfo name = {kMode, 2, nullptr};
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, name));
  EXPECT_EQ(ToStdString(name.outName), "Mo");
  CFRelease(name.outName);
  name = {kMode, kAudioUnitParameterName_Full, nullptr};
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_ParameterIDName, kAudioUnitScope_Global, 0, name));
  EXPECT_EQ(ToStdString(name.outName), "Mode");
  CFRelease(name.outName);
  AudioUnitParameterNameInfo clump = {0, kAudioUnitParameterName_Full, nullptr};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump).code(),
            kAudioUnitErr_PropertyNotInUse);
}

TEST_F(BundleParams, HostSetsAreSteppedClampedAndChecked)
{
  ASSERT_OK(mUnit->SetParameter(kDelay, 2.4f));
  EXPECT_EQ(Get(*mUnit, kDelay), 2.f);
  ASSERT_OK(mUnit->SetParameter(kDelay, 2.5f));
  EXPECT_EQ(Get(*mUnit, kDelay), 3.f); // halves round away from zero
  ASSERT_OK(mUnit->SetParameter(kGain, 100.f));
  EXPECT_EQ(Get(*mUnit, kGain), 24.f);
  ASSERT_OK(mUnit->SetParameter(kGain, -3.004f)); // a continuous parameter keeps what it is given
  EXPECT_EQ(Get(*mUnit, kGain), -3.004f);

  // Refusals leave the value alone.
  EXPECT_FALSE(mUnit->SetParameter(kGain, std::numeric_limits<Float32>::quiet_NaN()).ok());
  EXPECT_FALSE(mUnit->SetParameter(kGain, std::numeric_limits<Float32>::infinity()).ok());
  EXPECT_EQ(Get(*mUnit, kGain), -3.004f);
  EXPECT_EQ(AudioUnitSetParameter(Unit(), kGain, kAudioUnitScope_Input, 0, 1.f, 0), kAudioUnitErr_InvalidProperty);
  EXPECT_NE(AudioUnitSetParameter(Unit(), 4, kAudioUnitScope_Global, 0, 1.f, 0), noErr);
  Float32 v = 0;
  EXPECT_EQ(AudioUnitGetParameter(Unit(), kGain, kAudioUnitScope_Output, 0, &v), kAudioUnitErr_InvalidProperty);
  EXPECT_NE(AudioUnitGetParameter(Unit(), 99, kAudioUnitScope_Global, 0, &v), noErr);
  EXPECT_EQ(Get(*mUnit, kGain), -3.004f);
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
  events[2].scope = kAudioUnitScope_Input; // ends the call
  events[2].parameter = kMode;
  events[2].eventValues.immediate = {0, 2.f};
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 3), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(Get(*mUnit, kGain), 0.f);
  EXPECT_EQ(Get(*mUnit, kDelay), 4.f);
  EXPECT_EQ(Get(*mUnit, kMode), 0.f);
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 0), noErr);
}

TEST_F(BundleParams, SetByNameFromText)
{
  EXPECT_OK(mUnit->SetParameterFromText("Gain", "-6"));
  EXPECT_EQ(Get(*mUnit, kGain), -6.f);
  EXPECT_OK(mUnit->SetParameterFromText("gain", " +3.5 "));
  EXPECT_EQ(Get(*mUnit, kGain), 3.5f);
  EXPECT_OK(mUnit->SetParameterFromText("#2", "invert"));
  EXPECT_EQ(Get(*mUnit, kMode), 1.f);
  EXPECT_OK(mUnit->SetParameterFromText("3", "on"));
  EXPECT_EQ(Get(*mUnit, kMute), 1.f);
  EXPECT_OK(mUnit->SetParameterFromText("Mode", "2"));
  EXPECT_EQ(Get(*mUnit, kMode), 2.f);

  // Refused, naming what is wrong; nothing changes.
  Status s = mUnit->SetParameterFromText("Mode", "Loud");
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.message(), "parameter \"Mode\": \"Loud\" is not a number or one of \"Normal\", \"Invert\", \"Half\"");
  s = mUnit->SetParameterFromText("Gain", "30");
  EXPECT_EQ(s.message(), "parameter \"Gain\": 30 is outside -70 .. 24");
  s = mUnit->SetParameterFromText("Volume", "1");
  EXPECT_EQ(s.message(), "no parameter \"Volume\" (parameters: \"Gain\", \"Delay\", \"Mode\", \"Mute\")");
  s = mUnit->SetParameterFromText("#9", "1");
  EXPECT_FALSE(s.ok());
  s = mUnit->SetParameterFromText("Gain", "nan");
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(Get(*mUnit, kGain), 3.5f);
  EXPECT_EQ(Get(*mUnit, kMode), 2.f);
}

// The test bundle's parameters and state as a host sees them: a bool's value strings, names, the harness's
// set-by-name, host sets (stepping, clamping, refusals), scheduled events and property listeners; ClassInfo and
// factory presets: saving and restoring, refusing dictionaries that are foreign, incomplete or damaged without
// changing anything (the stored dictionaries of tests/data/au/classinfo, named as its README says), and preset
// records whose retains and releases balance.

#include "au/testplug/TestBundles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

using BundleParams = BundleHost;

// The name a name property gives for `inID` cut to `length`; "" when refused with `expected`.
std::string Name(Instance& unit, AudioUnitPropertyID id, UInt32 inID, SInt32 length, OSStatus expected = noErr)
{
  AudioUnitParameterNameInfo name = {inID, length, nullptr};
  EXPECT_EQ(unit.GetProperty(id, kAudioUnitScope_Global, 0, name).code(), expected) << inID;
  const std::string text = name.outName ? ToStdString(name.outName) : "";
  if (name.outName) CFRelease(name.outName);
  return text;
}

constexpr Float32 kNaN = std::numeric_limits<Float32>::quiet_NaN();

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

using Values = std::vector<Float32>; // Gain, Delay, Mode, Mute

class BundleState : public BundleHost
{
protected:
  Values Snapshot() const { return {Get(kGain), Get(kDelay), Get(kMode), Get(kMute)}; }
  void SetAll(const Values& values)
  {
    for (AudioUnitParameterID id = 0; id < 4; ++id) ASSERT_OK(mUnit->SetParameter(id, values[id]));
  }
  SInt32 CurrentPreset() const
  {
    PresetDesc current;
    EXPECT_OK(mUnit->CurrentPreset(current));
    return current.number;
  }
};

CFTypeRef Value(CFPropertyListRef dict, const char* key)
{
  return CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), MakeCFString(key).Get());
}
SInt32 Int(CFPropertyListRef dict, const char* key)
{
  SInt32 n = -1;
  const CFTypeRef value = Value(dict, key);
  if (value && CFGetTypeID(value) == CFNumberGetTypeID())
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &n);
  return n;
}

} // namespace

// (The product's table checks descriptions, flags, groups and value strings of its parameters; here what only the
// test bundle's bool gives.)
TEST_F(BundleParams, ValueStringsNamesAndSetByName)
{
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), 4u);
  // A bool's flag promises value strings, so the property must give them.
  EXPECT_TRUE(params[kMute].flags & kAudioUnitParameterFlag_ValuesHaveStrings);
  EXPECT_EQ(params[kMute].valueStrings, (std::vector<std::string>{"off", "on"}));

  // Names cut to the length a host asks for; unknown parameters and clumps are refused.
  EXPECT_EQ(Name(*mUnit, kAudioUnitProperty_ParameterIDName, kMode, 2), "Mo");
  EXPECT_EQ(Name(*mUnit, kAudioUnitProperty_ParameterIDName, kMode, kAudioUnitParameterName_Full), "Mode");
  Name(*mUnit, kAudioUnitProperty_ParameterIDName, 99, 2, kAudioUnitErr_InvalidParameter);
  Name(*mUnit, kAudioUnitProperty_ParameterClumpName, 3, kAudioUnitParameterName_Full, kAudioUnitErr_PropertyNotInUse);

  // The harness's set by name or index from text; refused, naming what is wrong, changing nothing.
  const std::tuple<const char*, const char*, AudioUnitParameterID, Float32> byName[] = {
    {"gain", " +3.5 ", kGain, 3.5f}, {"#2", "invert", kMode, 1.f}, {"3", "on", kMute, 1.f}};
  for (const auto& [name, text, id, value] : byName)
  {
    EXPECT_OK(mUnit->SetParameterFromText(name, text));
    EXPECT_EQ(Get(id), value) << name << " " << text;
  }
  EXPECT_EQ(mUnit->SetParameterFromText("Gain", "nan").message(), "parameter \"Gain\": \"nan\" is not a number");
  EXPECT_EQ(Get(kGain), 3.5f);
}

TEST_F(BundleParams, HostSetsAreSteppedClampedCheckedAndForwarded)
{
  plugin::PluginAU& plug = Plug();
  plugin::ParamTuple sent;
  while (plug.GetParamChangeFromProcessor().Pop(sent)) {}
  const std::tuple<AudioUnitParameterID, Float32, Float32> cases[] = {
    {kDelay, 2.4f, 2.f}, {kDelay, 2.5f, 3.f}, // halves round away from zero
    {kGain, 100.f, 24.f}, {kGain, -3.004f, -3.004f}}; // a continuous parameter keeps what it is given
  for (const auto& [id, set, read] : cases)
  {
    // The value the set replaces becomes the previous value; the editor is sent the value as the host gave it.
    const double before = plug.GetParam(int(id))->Value();
    ASSERT_OK(mUnit->SetParameter(id, set));
    EXPECT_EQ(std::tuple(Get(id), plug.GetParam(int(id))->PrevValue()), std::tuple(read, before)) << set;
    ASSERT_TRUE(plug.GetParamChangeFromProcessor().Pop(sent));
    EXPECT_EQ(std::pair(sent.idx, float(sent.value)), std::pair(int(id), set));
  }
  // Refusals leave the value alone.
  Float32 v = 0;
  for (Float32 bad : {kNaN, std::numeric_limits<Float32>::infinity()})
    EXPECT_EQ(mUnit->SetParameter(kGain, bad).code(), kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(AudioUnitSetParameter(Unit(), kGain, kAudioUnitScope_Input, 0, 1.f, 0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetParameter(Unit(), 4, kAudioUnitScope_Global, 0, 1.f, 0), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(Unit(), kGain, kAudioUnitScope_Output, 0, &v), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(Unit(), 99, kAudioUnitScope_Global, 0, &v), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(std::tuple(Get(kGain), plug.GetParam(kGain)->PrevValue()), std::tuple(-3.004f, 24.0));
  EXPECT_FALSE(plug.GetParamChangeFromProcessor().Pop(sent));

  // Scheduled events: a bad one ends the call; the immediate ones before it stay, the ramp is skipped.
  AudioUnitParameterEvent events[3] = {};
  events[0] = {kAudioUnitScope_Global, 0, kGain, kParameterEvent_Ramped, {}};
  events[0].eventValues.ramp = {0, 64, -10.f, -20.f};
  events[1] = {kAudioUnitScope_Global, 0, kDelay, kParameterEvent_Immediate, {}};
  events[1].eventValues.immediate = {0, 4.f};
  events[2] = events[1];
  events[2].eventValues.immediate = {0, 2.f};
  events[2].parameter = 42;
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 3), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(std::tuple(Get(kGain), Get(kDelay), Get(kMode)), std::tuple(-3.004f, 4.f, 0.f));
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 0), noErr);
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), nullptr, 1), kAudio_ParamError);
}

TEST_F(BundleParams, PropertyListeners)
{
  plugin::PluginAU& plug = Plug();
  int a = 0, b = 0;
  gListenerCalls.clear();
  // Same property and function: the first registration stays.
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, &Listener, &a), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_Latency, &Listener, &b), noErr);

  plug.SetLatency(64); // main thread: told at once (from the audio thread: the concurrent tests)
  ASSERT_EQ(gListenerCalls.size(), 1u);
  EXPECT_EQ(gListenerCalls[0], std::make_pair(AudioUnitPropertyID{kAudioUnitProperty_Latency}, static_cast<void*>(&a)));

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

namespace
{

// Once, from inside the notification: removes the registration of Listener with the victim (whose user data the
// host then frees) and registers Listener with `added`.
struct Rewiring
{
  std::unique_ptr<int> victim = std::make_unique<int>(0);
  int added = 0;
  bool done = false;
};
void RewiringListener(void* userData, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  auto* r = static_cast<Rewiring*>(userData);
  gListenerCalls.push_back({id, userData});
  if (std::exchange(r->done, true)) return;
  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, id, &Listener, r->victim.get()), noErr);
  r->victim.reset();
  EXPECT_EQ(AudioUnitAddPropertyListener(unit, id, &Listener, &r->added), noErr);
}

} // namespace

// A listener removes another or adds one while the notification runs: the removed one is not called (its user
// data may be gone), the added one hears the next notification.
TEST_F(BundleParams, ListenersRemovedOrAddedFromInsideANotification)
{
  Rewiring r;
  gListenerCalls.clear();
  const AudioUnitPropertyID id = kAudioUnitProperty_SampleRate;
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), id, &RewiringListener, &r), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), id, &Listener, r.victim.get()), noErr);
  ASSERT_OK(mUnit->SetProperty(id, kAudioUnitScope_Global, 0, 96000.0));
  EXPECT_EQ(gListenerCalls, (std::vector<std::pair<AudioUnitPropertyID, void*>>{{id, &r}}));
  gListenerCalls.clear();
  ASSERT_OK(mUnit->SetProperty(id, kAudioUnitScope_Global, 0, 48000.0));
  EXPECT_EQ(gListenerCalls, (std::vector<std::pair<AudioUnitPropertyID, void*>>{{id, &r}, {id, &r.added}}));
}

TEST_F(BundleState, EveryStoredDictionary)
{
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(ZANIQ_TEST_DATA) / "au/classinfo"))
    if (entry.path().extension() == ".plist") files.push_back(entry.path());
  std::ranges::sort(files);
  ASSERT_GE(files.size(), 10u);
  for (const auto& path : files)
  {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    // A fresh instance set away from every stored value.
    ASSERT_NO_FATAL_FAILURE(Reopen(mBundle->Main().component));
    SetAll({5.f, 9.f, 2.f, 1.f});
    const Values before = Snapshot();
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto data = CFRef<CFDataRef>::Adopt(
      CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size())));
    auto plist = CFRef<CFPropertyListRef>::Adopt(
      CFPropertyListCreateWithData(nullptr, data.Get(), kCFPropertyListImmutable, nullptr, nullptr));
    ASSERT_TRUE(plist) << "does not parse";
    const Status status = mUnit->RestoreState(plist.Get());
    if (name.starts_with("ok_"))
    {
      EXPECT_TRUE(status.ok()) << status.message();
      EXPECT_EQ(Snapshot(), (Values{-12.f, 3.f, 1.f, 0.f}));
    }
    else if (name.starts_with("bad_"))
    {
      EXPECT_EQ(status.code(), kAudioUnitErr_InvalidPropertyValue) << status.message();
      EXPECT_EQ(Snapshot(), before);
      EXPECT_EQ(CurrentPreset(), 0);
    }
    // any_: only that nothing breaks; the instance still renders afterwards.
    ASSERT_OK(mUnit->Prepare(44100.0, 1, 1, 16));
    float out[16];
    float* channels[1] = {out};
    EXPECT_EQ(mUnit->RenderBlock(0, 16, channels, 1), noErr);
  }
}

TEST_F(BundleState, FactoryPresetsSavedStateAndPresetRecords)
{
  std::vector<PresetDesc> presets;
  ASSERT_OK(mUnit->FactoryPresets(presets));
  ASSERT_EQ(presets.size(), 2u); // the third, empty slot was pruned at open
  EXPECT_EQ(std::tuple(presets[0].number, presets[0].name, presets[1].number, presets[1].name),
            std::tuple(0, "Unity", 1, "Quiet"));
  ASSERT_OK(mUnit->SelectPreset(1));
  EXPECT_EQ(std::tuple(Get(kGain), CurrentPreset()), std::tuple(-12.f, 1));
  // The saved state names the unit and the preset; another instance takes it.
  SetAll({-3.5f, 4.f, 1.f, 1.f});
  const Values saved = Snapshot();
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  EXPECT_EQ(std::tuple(UInt32(Int(state.Get(), "version")), UInt32(Int(state.Get(), "type")),
                       UInt32(Int(state.Get(), "subtype")), UInt32(Int(state.Get(), "manufacturer"))),
            std::tuple(kGainVersion, kAudioUnitType_Effect, kGainSubtype, kManufacturer));
  EXPECT_EQ(ToStdString(Value(state.Get(), "name")), "Quiet");
  ASSERT_NO_FATAL_FAILURE(Reopen(mBundle->Main().component));
  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(), saved);

  // The records of the FactoryPresets array balance their retains and releases: a copy retains every record once
  // more, and once both arrays are gone only our own reference to a record's name is left.
  CFArrayRef records = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, records));
  ASSERT_TRUE(records && CFArrayGetCount(records) == 2);
  const CFStringRef name = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(records, 0))->presetName;
  ASSERT_NE(name, nullptr);
  CFRetain(name);
  CFArrayRef copy = CFArrayCreateCopy(nullptr, records);
  CFRelease(records);
  EXPECT_EQ(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(copy, 0))->presetNumber, 0);
  CFRelease(copy);
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

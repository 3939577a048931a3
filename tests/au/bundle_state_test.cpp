// The test bundle's ClassInfo and factory presets through the host harness: saving and restoring, refusing
// dictionaries that are foreign, incomplete or damaged without changing anything (the stored dictionaries of
// tests/data/au/classinfo, named as its README says), and preset records whose retains and releases balance.

#include "au/testplug/TestBundles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

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
  // The saved state names the unit and the preset, and carries one f64 per parameter; another instance takes it.
  SetAll({-3.5f, 4.f, 1.f, 1.f});
  const Values saved = Snapshot();
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  ASSERT_EQ(CFGetTypeID(state.Get()), CFDictionaryGetTypeID());
  EXPECT_EQ(std::tuple(UInt32(Int(state.Get(), "version")), UInt32(Int(state.Get(), "type")),
                       UInt32(Int(state.Get(), "subtype")), UInt32(Int(state.Get(), "manufacturer"))),
            std::tuple(kGainVersion, kAudioUnitType_Effect, kGainSubtype, kManufacturer));
  EXPECT_EQ(ToStdString(Value(state.Get(), "name")), "Quiet");
  const auto data = static_cast<CFDataRef>(Value(state.Get(), "data"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 4 * 8);
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

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

TEST_F(BundleState, ClassInfoRoundTrip)
{
  SetAll({-3.5f, 4.f, 1.f, 1.f});
  const Values saved = Snapshot();
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  ASSERT_EQ(CFGetTypeID(state.Get()), CFDictionaryGetTypeID());
  EXPECT_EQ(std::tuple(UInt32(Int(state.Get(), "version")), UInt32(Int(state.Get(), "type")),
                       UInt32(Int(state.Get(), "subtype")), UInt32(Int(state.Get(), "manufacturer"))),
            std::tuple(kGainVersion, kAudioUnitType_Effect, kGainSubtype, kManufacturer));
  EXPECT_EQ(ToStdString(Value(state.Get(), "name")), "Unity");
  const auto data = static_cast<CFDataRef>(Value(state.Get(), "data"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 4 * 8); // one f64 per parameter

  SetAll({10.f, 0.f, 2.f, 0.f});
  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(), saved);
  // Another instance takes the same state.
  ASSERT_NO_FATAL_FAILURE(Reopen(mBundle->Main().component));
  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(), saved);
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

TEST_F(BundleState, FactoryPresetsPresentPresetAndRecords)
{
  std::vector<PresetDesc> presets;
  ASSERT_OK(mUnit->FactoryPresets(presets));
  ASSERT_EQ(presets.size(), 2u); // the third, empty slot was pruned at open
  EXPECT_EQ(std::tuple(presets[0].number, presets[0].name, presets[1].number, presets[1].name),
            std::tuple(0, "Unity", 1, "Quiet"));
  ASSERT_OK(mUnit->SelectPreset(1));
  EXPECT_EQ(Get(kGain), -12.f);
  PresetDesc current;
  ASSERT_OK(mUnit->CurrentPreset(current));
  EXPECT_EQ(std::tuple(current.number, current.name), std::tuple(1, "Quiet"));
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  EXPECT_EQ(ToStdString(Value(state.Get(), "name")), "Quiet");

  // The records of the FactoryPresets array balance their retains and releases.
  CFArrayRef records = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, records));
  ASSERT_TRUE(records && CFArrayGetCount(records) == 2);
  const auto* first = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(records, 0));
  ASSERT_TRUE(first && first->presetName);
  const CFStringRef name = first->presetName;
  CFRetain(name); // outlives the records
  // The element callbacks describe and compare records.
  const std::string description = ToStdString(CFRef<CFStringRef>::Adopt(CFCopyDescription(records)).Get());
  EXPECT_NE(description.find("AUPreset:\npreset number = 1\npreset name = Quiet"), std::string::npos) << description;
  // A copy retains every record once more; the records live until the last array holding them goes.
  CFArrayRef copy = CFArrayCreateCopy(nullptr, records);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(CFArrayGetValueAtIndex(copy, 0), static_cast<const void*>(first));
  EXPECT_TRUE(CFEqual(copy, records));
  const CFIndex withBoth = CFGetRetainCount(name);
  CFRelease(records);
  EXPECT_EQ(CFGetRetainCount(name), withBoth - 1);
  EXPECT_EQ(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(copy, 0))->presetNumber, 0);
  CFRelease(copy);
  // Only our own reference is left: every retain of the record was matched by a release.
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

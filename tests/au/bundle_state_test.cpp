// The test bundle's ClassInfo and factory presets through the host harness: saving and restoring, refusing
// dictionaries that are foreign, incomplete or damaged without changing anything (edits of a saved state, and the
// stored dictionaries of tests/data/au/classinfo, named as its README says), and preset records whose retains and
// releases balance.

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

using BundleState = BundleHost;

using Values = std::vector<Float32>;

Values Snapshot(const Instance& unit)
{
  Values values(4);
  for (AudioUnitParameterID id = 0; id < 4; ++id) EXPECT_OK(unit.GetParameter(id, values[id]));
  return values;
}

// Gain, Delay, Mode, Mute.
void SetAll(Instance& unit, const Values& values)
{
  for (AudioUnitParameterID id = 0; id < 4; ++id) ASSERT_OK(unit.SetParameter(id, values[id]));
}

SInt32 Int(CFDictionaryRef dict, const char* key)
{
  CFRef<CFStringRef> k = MakeCFString(key);
  const void* value = CFDictionaryGetValue(dict, k.Get());
  SInt32 n = -1;
  if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return -1;
  CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &n);
  return n;
}

void SetNumber(CFMutableDictionaryRef d, CFStringRef key, SInt32 value)
{
  CFRef<CFNumberRef> n = CFRef<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &value));
  CFDictionarySetValue(d, key, n.Get());
}

CFRef<CFPropertyListRef> ReadPlist(const std::filesystem::path& path)
{
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  CFRef<CFDataRef> data = CFRef<CFDataRef>::Adopt(
    CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size())));
  return CFRef<CFPropertyListRef>::Adopt(
    CFPropertyListCreateWithData(nullptr, data.Get(), kCFPropertyListImmutable, nullptr, nullptr));
}

void SetData(CFMutableDictionaryRef d, CFIndex length)
{
  const UInt8 bytes[12] = {};
  CFRef<CFDataRef> data = CFRef<CFDataRef>::Adopt(CFDataCreate(nullptr, bytes, length));
  CFDictionarySetValue(d, CFSTR("data"), data.Get());
}

} // namespace

TEST_F(BundleState, ClassInfoRoundTrip)
{
  SetAll(*mUnit, {-3.5f, 4.f, 1.f, 1.f});
  const Values saved = Snapshot(*mUnit);
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  ASSERT_EQ(CFGetTypeID(state.Get()), CFDictionaryGetTypeID());
  const auto dict = static_cast<CFDictionaryRef>(state.Get());
  EXPECT_EQ(Int(dict, "version"), static_cast<SInt32>(kGainVersion));
  EXPECT_EQ(static_cast<UInt32>(Int(dict, "type")), kAudioUnitType_Effect);
  EXPECT_EQ(static_cast<UInt32>(Int(dict, "subtype")), kGainSubtype);
  EXPECT_EQ(static_cast<UInt32>(Int(dict, "manufacturer")), kManufacturer);
  EXPECT_EQ(ToStdString(CFDictionaryGetValue(dict, CFSTR("name"))), "Unity");
  const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 4 * 8); // one f64 per parameter

  SetAll(*mUnit, {10.f, 0.f, 2.f, 0.f});
  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(*mUnit), saved);

  // Another instance takes the same state.
  std::unique_ptr<Instance> other;
  ASSERT_OK(Instance::Open(mBundle->Main().component, other));
  ASSERT_OK(other->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(*other), saved);
}

TEST_F(BundleState, ForeignIncompleteOrDamagedStateChangesNothing)
{
  // The stored-dictionary corpus covers other subtypes and manufacturers, missing keys and text in place of data;
  // these are the edits it has no file for.
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  SetAll(*mUnit, {5.f, 7.f, 2.f, 1.f}); // what a restore would change: values, and the preset named in the state
  const Values before = Snapshot(*mUnit);
  const struct
  {
    const char* what;
    void (*edit)(CFMutableDictionaryRef);
  } cases[] = {
    {"other type", [](CFMutableDictionaryRef d) { SetNumber(d, CFSTR("type"), kAudioUnitType_MusicDevice); }},
    {"no name", [](CFMutableDictionaryRef d) { CFDictionaryRemoveValue(d, CFSTR("name")); }},
    {"subtype as text", [](CFMutableDictionaryRef d) { CFDictionarySetValue(d, CFSTR("subtype"), CFSTR("TGan")); }},
    {"data cut short, a preset name",
     [](CFMutableDictionaryRef d) {
       SetData(d, 12);
       CFDictionarySetValue(d, CFSTR("name"), CFSTR("Quiet"));
     }},
    {"empty data", [](CFMutableDictionaryRef d) { SetData(d, 0); }},
  };
  for (const auto& c : cases)
  {
    auto edited = CFRef<CFMutableDictionaryRef>::Adopt(
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(state.Get())));
    c.edit(edited.Get());
    const Status s = mUnit->RestoreState(edited.Get());
    EXPECT_EQ(s.code(), kAudioUnitErr_InvalidPropertyValue) << c.what << ": " << s.message();
    EXPECT_EQ(Snapshot(*mUnit), before) << c.what;
    PresetDesc current;
    EXPECT_OK(mUnit->CurrentPreset(current));
    EXPECT_EQ(current.number, 0) << c.what;
  }
}

TEST_F(BundleState, FactoryPresetsPresentPresetAndRecords)
{
  std::vector<PresetDesc> presets;
  ASSERT_OK(mUnit->FactoryPresets(presets));
  ASSERT_EQ(presets.size(), 2u); // the third, empty slot was pruned at open
  EXPECT_EQ(presets[0].number, 0);
  EXPECT_EQ(presets[0].name, "Unity");
  EXPECT_EQ(presets[1].number, 1);
  EXPECT_EQ(presets[1].name, "Quiet");

  ASSERT_OK(mUnit->SelectPreset(1));
  Float32 gain = 0;
  ASSERT_OK(mUnit->GetParameter(kGain, gain));
  EXPECT_EQ(gain, -12.f);
  PresetDesc current;
  ASSERT_OK(mUnit->CurrentPreset(current));
  EXPECT_EQ(current.number, 1);
  EXPECT_EQ(current.name, "Quiet");
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  EXPECT_EQ(ToStdString(CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("name"))), "Quiet");

  // The records of the FactoryPresets array balance their retains and releases.
  CFArrayRef records = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, records));
  ASSERT_TRUE(records && CFArrayGetCount(records) == 2);
  const auto* first = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(records, 0));
  ASSERT_NE(first, nullptr);
  const CFStringRef name = first->presetName;
  ASSERT_NE(name, nullptr);
  CFRetain(name); // outlives the records

  // The element callbacks describe and compare records.
  CFRef<CFStringRef> description = CFRef<CFStringRef>::Adopt(CFCopyDescription(records));
  EXPECT_NE(ToStdString(description.Get()).find("AUPreset:\npreset number = 1\npreset name = Quiet"),
            std::string::npos)
    << ToStdString(description.Get());

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

TEST_F(BundleState, EveryStoredDictionary)
{
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(ZANIQ_TEST_DATA) / "au" / "classinfo"))
    if (entry.path().extension() == ".plist") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u);

  for (const auto& path : files)
  {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    // A fresh instance set away from every stored value.
    mUnit.reset();
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
    SetAll(*mUnit, {5.f, 9.f, 2.f, 1.f});
    const Values before = Snapshot(*mUnit);
    CFRef<CFPropertyListRef> plist = ReadPlist(path);
    ASSERT_TRUE(plist) << "does not parse";
    const Status status = mUnit->RestoreState(plist.Get());
    PresetDesc current;
    EXPECT_OK(mUnit->CurrentPreset(current));
    if (name.rfind("ok_", 0) == 0)
    {
      EXPECT_TRUE(status.ok()) << status.message();
      EXPECT_EQ(Snapshot(*mUnit), (Values{-12.f, 3.f, 1.f, 0.f}));
    }
    else if (name.rfind("bad_", 0) == 0)
    {
      EXPECT_EQ(status.code(), kAudioUnitErr_InvalidPropertyValue) << status.message();
      EXPECT_EQ(Snapshot(*mUnit), before);
      EXPECT_EQ(current.number, 0);
    }
    // any_: only that nothing breaks; the instance still renders afterwards.
    ASSERT_OK(mUnit->Prepare(44100.0, 1, 1, 16));
    float out[16];
    float* channels[1] = {out};
    EXPECT_EQ(mUnit->RenderBlock(0, 16, channels, 1), noErr);
  }
}

// The test bundle's ClassInfo and factory presets through the host harness: saving and restoring, refusing
// dictionaries that are foreign, incomplete or damaged without changing anything, and preset records whose
// retains and releases balance.

#include "au/testplug/TestBundles.h"

#include <cstring>

using namespace auhost;
using namespace testbundles;

namespace
{

using BundleState = BundleHost;

struct Values
{
  Float32 v[4];
  bool operator==(const Values& o) const { return std::memcmp(v, o.v, sizeof(v)) == 0; }
};

Values Snapshot(const Instance& unit)
{
  Values values = {};
  for (AudioUnitParameterID id = 0; id < 4; ++id) EXPECT_TRUE(unit.GetParameter(id, values.v[id]).ok());
  return values;
}

void SetAll(Instance& unit, Float32 gain, Float32 delay, Float32 mode, Float32 mute)
{
  ASSERT_OK(unit.SetParameter(kGain, gain));
  ASSERT_OK(unit.SetParameter(kDelay, delay));
  ASSERT_OK(unit.SetParameter(kMode, mode));
  ASSERT_OK(unit.SetParameter(kMute, mute));
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

struct StateEdit
{
  const char* what;
  void (*edit)(CFMutableDictionaryRef);
};

// A mutable copy of a saved state, changed by `edit`.
CFRef<CFMutableDictionaryRef> Edited(CFPropertyListRef state, void (*edit)(CFMutableDictionaryRef))
{
  auto copy = CFRef<CFMutableDictionaryRef>::Adopt(
    CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(state)));
  edit(copy.Get());
  return copy;
}

template <size_t N>
void ExpectRefusedUnchanged(Instance& unit, CFPropertyListRef state, const StateEdit (&cases)[N], const Values& before)
{
  for (const StateEdit& c : cases)
  {
    CFRef<CFMutableDictionaryRef> edited = Edited(state, c.edit);
    const Status s = unit.RestoreState(edited.Get());
    EXPECT_EQ(s.code(), kAudioUnitErr_InvalidPropertyValue) << c.what << ": " << s.message();
    EXPECT_EQ(Snapshot(unit), before) << c.what;
    PresetDesc current;
    EXPECT_TRUE(unit.CurrentPreset(current).ok());
    EXPECT_EQ(current.number, 0) << c.what;
  }
}

} // namespace

TEST_F(BundleState, ClassInfoRoundTrip)
{
  SetAll(*mUnit, -3.5f, 4.f, 1.f, 1.f);
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

  SetAll(*mUnit, 10.f, 0.f, 2.f, 0.f);
  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(*mUnit), saved);

  // Another instance takes the same state.
  std::unique_ptr<Instance> other;
  ASSERT_OK(Instance::Open(mBundle->Main().component, other));
  ASSERT_OK(other->RestoreState(state.Get()));
  EXPECT_EQ(Snapshot(*other), saved);
}

TEST_F(BundleState, ForeignOrIncompleteStateChangesNothing)
{
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  // What a restore would change: values, and the preset named in the dictionary.
  SetAll(*mUnit, 5.f, 7.f, 2.f, 1.f);
  const Values before = Snapshot(*mUnit);

  const StateEdit cases[] = {
    {"other subtype",
     [](CFMutableDictionaryRef d) {
       const SInt32 other = static_cast<SInt32>(FourCC("QN55"));
       CFRef<CFNumberRef> n = CFRef<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &other));
       CFDictionarySetValue(d, CFSTR("subtype"), n.Get());
     }},
    {"other manufacturer",
     [](CFMutableDictionaryRef d) {
       const SInt32 other = static_cast<SInt32>(FourCC("QNVX"));
       CFRef<CFNumberRef> n = CFRef<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &other));
       CFDictionarySetValue(d, CFSTR("manufacturer"), n.Get());
     }},
    {"other type",
     [](CFMutableDictionaryRef d) {
       const SInt32 other = static_cast<SInt32>(kAudioUnitType_MusicDevice);
       CFRef<CFNumberRef> n = CFRef<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &other));
       CFDictionarySetValue(d, CFSTR("type"), n.Get());
     }},
    {"no version", [](CFMutableDictionaryRef d) { CFDictionaryRemoveValue(d, CFSTR("version")); }},
    {"no name", [](CFMutableDictionaryRef d) { CFDictionaryRemoveValue(d, CFSTR("name")); }},
    {"no data, a preset name",
     [](CFMutableDictionaryRef d) {
       CFDictionaryRemoveValue(d, CFSTR("data"));
       CFDictionarySetValue(d, CFSTR("name"), CFSTR("Quiet"));
     }},
    {"subtype as text", [](CFMutableDictionaryRef d) { CFDictionarySetValue(d, CFSTR("subtype"), CFSTR("TGan")); }},
    {"data as text", [](CFMutableDictionaryRef d) { CFDictionarySetValue(d, CFSTR("data"), CFSTR("abc")); }},
  };
  ExpectRefusedUnchanged(*mUnit, state.Get(), cases, before);
  // Not a dictionary at all.
  EXPECT_EQ(mUnit->RestoreState(CFSTR("state")).code(), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Snapshot(*mUnit), before);
}

TEST_F(BundleState, DamagedDataChangesNothing)
{
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  SetAll(*mUnit, 5.f, 7.f, 2.f, 1.f);
  const Values before = Snapshot(*mUnit);
  const StateEdit cases[] = {
    {"data cut short",
     [](CFMutableDictionaryRef d) {
       const UInt8 bytes[12] = {};
       CFRef<CFDataRef> data = CFRef<CFDataRef>::Adopt(CFDataCreate(nullptr, bytes, sizeof(bytes)));
       CFDictionarySetValue(d, CFSTR("data"), data.Get());
       CFDictionarySetValue(d, CFSTR("name"), CFSTR("Quiet"));
     }},
    {"empty data",
     [](CFMutableDictionaryRef d) {
       CFRef<CFDataRef> data = CFRef<CFDataRef>::Adopt(CFDataCreate(nullptr, nullptr, 0));
       CFDictionarySetValue(d, CFSTR("data"), data.Get());
     }},
  };
  ExpectRefusedUnchanged(*mUnit, state.Get(), cases, before);
}

TEST_F(BundleState, ClassInfoInfoReportsAPointerThatIsNotWritable)
{
  UInt32 size = 0;
  Boolean writable = true;
  ASSERT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(size, sizeof(CFPropertyListRef));
  EXPECT_FALSE(writable);
}

TEST_F(BundleState, FactoryPresetsAndPresentPreset)
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
}

TEST_F(BundleState, FactoryPresetRecordsBalanceRetainsAndReleases)
{
  CFArrayRef presets = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, presets));
  ASSERT_NE(presets, nullptr);
  ASSERT_EQ(CFArrayGetCount(presets), 2);
  const auto* first = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, 0));
  ASSERT_NE(first, nullptr);
  const CFStringRef name = first->presetName;
  ASSERT_NE(name, nullptr);
  CFRetain(name); // outlives the records

  // The element callbacks describe and compare records.
  CFRef<CFStringRef> description = CFRef<CFStringRef>::Adopt(CFCopyDescription(presets));
  EXPECT_NE(ToStdString(description.Get()).find("AUPreset:\npreset number = 1\npreset name = Quiet"),
            std::string::npos)
    << ToStdString(description.Get());

  // A copy retains every record once more; the records live until the last array holding them goes.
  CFArrayRef copy = CFArrayCreateCopy(nullptr, presets);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(CFArrayGetValueAtIndex(copy, 0), static_cast<const void*>(first));
  EXPECT_TRUE(CFEqual(copy, presets));
  const CFIndex withBoth = CFGetRetainCount(name);
  CFRelease(presets);
  EXPECT_EQ(CFGetRetainCount(name), withBoth - 1);
  EXPECT_EQ(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(copy, 0))->presetNumber, 0);
  CFRelease(copy);
  // Only our own reference is left: every retain of the record was matched by a release.
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

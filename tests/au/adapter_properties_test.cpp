// Properties and records of the adapter that a host meets less often: the channel layout tags each bus offers (the
// published tag numbers), bus names, offline rendering, the factory-preset records' description and equality
// callbacks, parameter-detail notifications, render notifications registered twice, the view factory's identity,
// and a state restore whose data the plug-in refuses after a preset was recalled by name (everything rolls back).

#include "au/PluginAU_Entry.h"
#include "au/ZANIQ_View.h"
#include "au/testplug/TestBundles.h"

#include <AppKit/AppKit.h>

#include <string>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

// ---- Plug-ins of this test, opened through their factory like any component ----

// Every channel count from 1 to 10, and 16, on one bus each way; a wildcard configuration last.
class LayoutPlug final : public plugin::PluginAU
{
public:
  static constexpr plugin::Config kConfig = {
    .nParams = 1, .nPresets = 1, .channelIOStr = "1-1 2-2 3-3 4-4 5-5 6-6 7-7 8-8 9-9 10-10 16-16 *-*",
    .pluginName = "Layouts", .productName = "Layouts", .mfrName = "Zaniq Tests",
    .vendorVersion = plugin::PackVersion(1, 0, 0), .uniqueID = plugin::MakeFourCC('T', 'L', 'a', 'y'),
    .mfrID = plugin::MakeFourCC('Z', 'q', 'T', 's'), .plugType = plugin::kEffect, .bundleID = "com.zaniq.tests.Layouts"};
  explicit LayoutPlug(const plugin::InstanceInfo& info) : PluginAU(info, kConfig)
  {
    GetParam(0)->InitDouble("Level", 0.0, 0.0, 1.0, 0.01);
  }
};

// Two parameters and two presets; refuses any state whose first value is -1 although its size is right, as a
// reader that finds a state it cannot apply only once it reads it.
class PickyPlug final : public plugin::PluginAU
{
public:
  static constexpr plugin::Config kConfig = {
    .nParams = 2, .nPresets = 2, .channelIOStr = "1-1 2-2", .pluginName = "Picky", .productName = "Picky",
    .mfrName = "Zaniq Tests", .vendorVersion = plugin::PackVersion(1, 0, 0),
    .uniqueID = plugin::MakeFourCC('T', 'P', 'i', 'k'), .mfrID = plugin::MakeFourCC('Z', 'q', 'T', 's'),
    .plugType = plugin::kEffect, .bundleID = "com.zaniq.tests.Picky"};
  explicit PickyPlug(const plugin::InstanceInfo& info) : PluginAU(info, kConfig)
  {
    GetParam(0)->InitDouble("A", 1.0, -10.0, 10.0, 0.0);
    GetParam(1)->InitDouble("B", 2.0, -10.0, 10.0, 0.0);
    MakePreset("Start", 1.0, 2.0);
    MakePreset("Other", 5.0, 6.0);
  }
  int UnserializeState(const plugin::IByteChunk& chunk, int startPos) override
  {
    double first = 0.0;
    if (chunk.Get(first, startPos) >= 0 && first == -1.0) return -1;
    return PluginAU::UnserializeState(chunk, startPos);
  }
};

struct LayoutTraits
{
  using Plug = LayoutPlug;
  static constexpr const char* kViewClassName = "ZANIQ_View";
};
struct PickyTraits
{
  using Plug = PickyPlug;
  static constexpr const char* kViewClassName = "ZANIQ_View";
};

template <class Traits>
AudioComponent Register(const char (&subtype)[5])
{
  AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC(subtype), kManufacturer, 0, 0};
  if (AudioComponent found = AudioComponentFindNext(nullptr, &desc)) return found;
  return AudioComponentRegister(&desc, CFSTR("Zaniq Tests: in-process"), 0x00010000,
                                &plugin::AUEntry<Traits>::Factory);
}

std::vector<AudioChannelLayoutTag> Tags(const Instance& unit, AudioUnitScope scope, OSStatus expected = noErr)
{
  UInt32 size = 0;
  Boolean writable = false;
  EXPECT_EQ(AudioUnitGetPropertyInfo(unit.Unit(), kAudioUnitProperty_SupportedChannelLayoutTags, scope, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(bool(writable), size > 0) << scope;
  std::vector<AudioChannelLayoutTag> tags(64);
  UInt32 valueSize = UInt32(tags.size() * sizeof(AudioChannelLayoutTag));
  const OSStatus status = AudioUnitGetProperty(unit.Unit(), kAudioUnitProperty_SupportedChannelLayoutTags, scope, 0,
                                               tags.data(), &valueSize);
  EXPECT_EQ(status, expected) << scope;
  tags.resize(status == noErr ? valueSize / 4 : 0);
  EXPECT_EQ(tags.size(), size / 4) << scope; // the value fills what the info query announced
  return tags;
}

std::vector<AudioUnitPropertyID> gCalls;
void Listener(void*, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  gCalls.push_back(id);
}
OSStatus Notify(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  return noErr;
}

using AdapterProperties = BundleHost;

} // namespace

TEST(AdapterLayouts, EveryBusOffersThePublishedTagsOfItsChannelCounts)
{
  AudioComponent component = Register<LayoutTraits>("TLay");
  ASSERT_NE(component, nullptr);
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(component, unit));
  // Each count's tags once, in the order the configurations give them; the wildcard names no layout.
  const std::vector<AudioChannelLayoutTag> expected = {
    0x00640001,                         // 1: Mono
    0x00650002,                         // 2: Stereo
    0x00710003,                         // 3: MPEG 3.0 A
    0x006C0004, 0x006B0004, 0x00BE0004, // 4: Quadraphonic, Ambisonic B format, HOA ACN SN3D
    0x00760005,                         // 5: MPEG 5.0 B
    0x00790006, 0x008B0006,             // 6: MPEG 5.1 A, AudioUnit 6.0
    0x007D0007, 0x008C0007,             // 7: MPEG 6.1 A, AudioUnit 7.0
    0x00800008, 0x007E0008,             // 8: MPEG 7.1 C, MPEG 7.1 A
    0x00BE0009,                         // 9: HOA ACN SN3D
    0x0093000A,                         // 10: discrete in order
    0x00BE0010,                         // 16: HOA ACN SN3D
  };
  EXPECT_EQ(Tags(*unit, kAudioUnitScope_Input), expected);
  EXPECT_EQ(Tags(*unit, kAudioUnitScope_Output), expected);
  // Only the input and output scopes have tags.
  EXPECT_TRUE(Tags(*unit, kAudioUnitScope_Global, kAudioUnitErr_InvalidProperty).empty());
}

TEST_F(AdapterProperties, BusNamesAndOfflineRendering)
{
  // One bus each way: "Input" and "Output". The info query is refused; a missing bus and another scope are refused
  // with their own statuses.
  const std::tuple<AudioUnitScope, AudioUnitElement, OSStatus, std::string> names[] = {
    {kAudioUnitScope_Input, 0, noErr, "Input"},
    {kAudioUnitScope_Output, 0, noErr, "Output"},
    {kAudioUnitScope_Output, 1, kAudioUnitErr_InvalidElement, ""},
    {kAudioUnitScope_Global, 0, kAudioUnitErr_InvalidScope, ""},
  };
  for (const auto& [scope, element, status, name] : names)
  {
    CFStringRef text = nullptr;
    UInt32 size = sizeof(text);
    EXPECT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_ElementName, scope, element, &text, &size), status)
      << scope << " " << element;
    EXPECT_EQ(text ? ToStdString(text) : std::string(), name);
    if (text) CFRelease(text);
  }
  UInt32 size = 0;
  Boolean writable = true;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, &size,
                                     &writable),
            kAudioUnitErr_InvalidProperty);

  // Offline rendering: a writable flag the host sets and reads back.
  ASSERT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(std::make_pair(size, writable), std::make_pair(4u, Boolean(true)));
  UInt32 offline = 9;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, offline));
  EXPECT_EQ(offline, 0u);
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, UInt32(1)));
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, offline));
  EXPECT_EQ(std::make_pair(offline, Plug().GetRenderingOffline()), std::make_pair(1u, true));
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, UInt32(0)));
  EXPECT_FALSE(Plug().GetRenderingOffline());
}

TEST_F(AdapterProperties, FactoryPresetRecordsDescribeAndCompareThemselves)
{
  CFArrayRef records = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, records));
  ASSERT_TRUE(records && CFArrayGetCount(records) == 2);
  // Each record describes itself in three lines: the kind, its number and its name.
  CFStringRef description = CFCopyDescription(records);
  const std::string text = ToStdString(description);
  CFRelease(description);
  for (const char* record : {"AUPreset:\npreset number = 0\npreset name = Unity",
                             "AUPreset:\npreset number = 1\npreset name = Quiet"})
    EXPECT_NE(text.find(record), std::string::npos) << text;

  // Two records are equal when their numbers are and their names compare equal.
  const std::tuple<CFIndex, CFStringRef, CFIndex> probes[] = {
    {1, CFSTR("Quiet"), 1}, {0, CFSTR("Unity"), 0}, {1, CFSTR("Unity"), kCFNotFound}, {0, nullptr, kCFNotFound}};
  for (const auto& [number, name, found] : probes)
  {
    plugin::CFAUPresetRef probe = plugin::CFAUPresetCreate(kCFAllocatorDefault, number, name);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(records, CFRangeMake(0, 2), probe), found) << number;
    plugin::CFAUPresetRelease(kCFAllocatorDefault, probe);
  }
  CFRelease(records);
}

TEST_F(AdapterProperties, ParameterDetailNotificationsAndRepeatedRenderNotifications)
{
  // A change of the parameter list tells the list's listeners first, then the parameter information's.
  gCalls.clear();
  for (AudioUnitPropertyID id : {kAudioUnitProperty_ParameterInfo, kAudioUnitProperty_ParameterList})
    ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), id, &Listener, nullptr), noErr);
  Plug().InformHostOfParameterDetailsChange();
  EXPECT_EQ(gCalls, (std::vector<AudioUnitPropertyID>{kAudioUnitProperty_ParameterList,
                                                      kAudioUnitProperty_ParameterInfo}));

  // The same notification registered twice is kept twice; one removal removes one.
  int data = 0;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &Notify, &data), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &Notify, &data), noErr);
  EXPECT_EQ(Plug().GetRenderNotifyList().Count(), 2);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &Notify, &data), noErr);
  EXPECT_EQ(Plug().GetRenderNotifyList().Count(), 1);
}

TEST(AdapterViewFactory, TheClassAHostFindsByNameTellsWhatItIs)
{
  NSAutoreleasePool pool;
  Class cls = NSClassFromString(NSString::stringWithUTF8String(kZaniqViewClassName));
  ASSERT_NE(cls, nullptr);
  NSObject* object = cls->alloc_init();
  auto* factory = dynamic_cast<AUCocoaUIBase*>(object);
  ASSERT_NE(factory, nullptr);
  const NSString* description = object->description();
  EXPECT_EQ(std::make_pair(factory->interfaceVersion(), std::string(description ? description->UTF8String() : "")),
            std::make_pair(0u, std::string("ZANIQ View")));
  object->release();
}

TEST(AdapterState, ARestoreWhoseDataIsRefusedRollsBackTheRecalledPreset)
{
  AudioComponent component = Register<PickyTraits>("TPik");
  ASSERT_NE(component, nullptr);
  // Current values that the plug-in reads back, and current values that it would refuse itself: both come back
  // as they were, and the preset the restore recalled by name is left again.
  const std::pair<Float32, Float32> starts[] = {{3.f, 4.f}, {-1.f, 4.f}};
  for (const auto& [a, b] : starts)
  {
    std::unique_ptr<Instance> unit;
    ASSERT_OK(Instance::Open(component, unit));
    CFRef<CFPropertyListRef> saved;
    ASSERT_OK(unit->SaveState(saved));
    auto dict = CFRef<CFMutableDictionaryRef>::Adopt(
      CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(saved.Get())));
    const double refused[2] = {-1.0, 3.0};
    auto data = CFRef<CFDataRef>::Adopt(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(refused), 16));
    CFDictionarySetValue(dict.Get(), CFSTR("data"), data.Get());
    CFDictionarySetValue(dict.Get(), CFSTR("name"), CFSTR("Other"));

    ASSERT_OK(unit->SetParameter(0, a));
    ASSERT_OK(unit->SetParameter(1, b));
    EXPECT_EQ(unit->RestoreState(dict.Get()).code(), kAudioUnitErr_InvalidPropertyValue) << a;
    Float32 va = 0, vb = 0;
    ASSERT_OK(unit->GetParameter(0, va));
    ASSERT_OK(unit->GetParameter(1, vb));
    PresetDesc current;
    ASSERT_OK(unit->CurrentPreset(current));
    EXPECT_EQ(std::make_tuple(va, vb, current.number, current.name), std::make_tuple(a, b, 0, std::string("Start")))
      << a;
    // The slot the recall went through still holds its own state.
    ASSERT_OK(unit->SelectPreset(1));
    ASSERT_OK(unit->GetParameter(0, va));
    EXPECT_EQ(va, 5.f) << a;
  }
}

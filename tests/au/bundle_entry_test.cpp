// The test bundle as a host meets it: what its executable exports, the factory record and its Lookup table, the
// Component Manager entry, and instances that open and close without leaving timers or memory behind.

#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreFoundation/CFTesting.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <set>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

// Defined global function and object symbols of an ELF shared object's dynamic symbol table.
std::set<std::string> ExportedSymbols(const std::string& path)
{
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  std::vector<char> bytes(file ? static_cast<size_t>(file.tellg()) : 0);
  file.seekg(0);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::set<std::string> names;
  if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
  if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64) return names;
  if (eh->e_shoff + uint64_t(eh->e_shnum) * sizeof(Elf64_Shdr) > bytes.size()) return names;
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; ++i)
  {
    if (sections[i].sh_type != SHT_DYNSYM || sections[i].sh_link >= eh->e_shnum) continue;
    const Elf64_Shdr& strtab = sections[sections[i].sh_link];
    if (sections[i].sh_offset + sections[i].sh_size > bytes.size() || strtab.sh_offset + strtab.sh_size > bytes.size())
      return names;
    const auto* syms = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
    for (size_t k = 0; k < sections[i].sh_size / sizeof(Elf64_Sym); ++k)
    {
      const Elf64_Sym& s = syms[k];
      const int bind = ELF64_ST_BIND(s.st_info);
      const int type = ELF64_ST_TYPE(s.st_info);
      if (s.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      if (type != STT_FUNC && type != STT_OBJECT) continue;
      if (s.st_name < strtab.sh_size) names.insert(bytes.data() + strtab.sh_offset + s.st_name);
    }
  }
  return names;
}

AudioComponentDescription GainDescription()
{
  return {kAudioUnitType_Effect, kGainSubtype, kManufacturer, 0, 0};
}

std::shared_ptr<const Bundle> LoadGain()
{
  std::shared_ptr<const Bundle> bundle;
  const Status s = Bundle::Load(GainBundlePath(), bundle);
  EXPECT_TRUE(s.ok()) << s.message();
  return bundle;
}

// The gain bundle's Component Manager entry registered under its own subtype, once per process.
AudioComponent GainEntryComponent()
{
  static AudioComponent component = [] {
    auto bundle = LoadGain();
    auto entry = bundle ? reinterpret_cast<ZQAUComponentEntry>(bundle->Symbol("TestGain_Entry")) : nullptr;
    AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGcm"), kManufacturer, 0, 0};
    return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("TestGain (Component Manager)"), kGainVersion, entry)
                 : nullptr;
  }();
  return component;
}

} // namespace

TEST(BundleEntry, ExecutableExportsOnlyFactoryAndEntry)
{
  for (const auto& [folder, name] : {std::pair{std::string(GainBundlePath()), std::string("TestGain")},
                                     std::pair{std::string(SynthBundlePath()), std::string("TestSynth")}})
  {
    const std::set<std::string> exported = ExportedSymbols(folder + "/Contents/MacOS/" + name);
    EXPECT_EQ(exported, (std::set<std::string>{name + "_Factory", name + "_Entry"})) << name;
  }
}

TEST(BundleEntry, InfoPlistDescribesTheComponent)
{
  auto bundle = LoadGain();
  ASSERT_TRUE(bundle);
  ASSERT_EQ(bundle->Components().size(), 1u);
  const ComponentEntry& e = bundle->Main();
  EXPECT_EQ(e.desc.componentType, kAudioUnitType_Effect);
  EXPECT_EQ(e.desc.componentSubType, kGainSubtype);
  EXPECT_EQ(e.desc.componentManufacturer, kManufacturer);
  EXPECT_EQ(e.version, kGainVersion);
  EXPECT_EQ(e.factoryFunction, "TestGain_Factory");
  EXPECT_EQ(bundle->Identifier(), "com.zaniq.tests.TestGain");
  // The platform finds it by its description.
  AudioComponentDescription desc = GainDescription();
  EXPECT_EQ(AudioComponentFindNext(nullptr, &desc), e.component);
  UInt32 version = 0;
  EXPECT_EQ(AudioComponentGetVersion(e.component, &version), noErr);
  EXPECT_EQ(version, kGainVersion);
}

TEST(BundleEntry, LookupAnswersExactlyTheAudioUnitSelectors)
{
  auto bundle = LoadGain();
  ASSERT_TRUE(bundle);
  const AudioComponentDescription desc = GainDescription();
  AudioComponentPlugInInterface* record = bundle->Main().factory(&desc);
  ASSERT_NE(record, nullptr);
  ASSERT_NE(record->Open, nullptr);
  ASSERT_NE(record->Close, nullptr);
  ASSERT_NE(record->Lookup, nullptr);
  EXPECT_EQ(record->reserved, nullptr);

  const std::set<int> answered = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18};
  for (int selector = -8; selector <= 0x110; ++selector)
    EXPECT_EQ(record->Lookup(static_cast<SInt16>(selector)) != nullptr, answered.count(selector) == 1)
      << "selector " << selector;

  // The record works as `self` for its methods between Open and Close; Close frees it.
  const auto instance = reinterpret_cast<AudioComponentInstance>(record);
  ASSERT_EQ(record->Open(record, instance), noErr);
  auto getParameter = reinterpret_cast<AudioUnitGetParameterProc>(record->Lookup(kAudioUnitGetParameterSelect));
  Float32 value = 99.f;
  EXPECT_EQ(getParameter(record, kGain, kAudioUnitScope_Global, 0, &value), noErr);
  EXPECT_EQ(value, 0.f);
  auto initialize = reinterpret_cast<AudioUnitInitializeProc>(record->Lookup(kAudioUnitInitializeSelect));
  EXPECT_EQ(initialize(record), noErr);
  EXPECT_EQ(record->Close(record), noErr);
}

TEST(BundleEntry, OpenAndCloseLeaveNoTimersBehind)
{
  auto bundle = LoadGain();
  ASSERT_TRUE(bundle);
  RunLoopPump pump(ClockMode::Virtual);
  const int timersBefore = ZQCFScheduledTimerCount();
  const UInt32 liveBefore = ZQAULiveInstanceCount();
  {
    std::vector<std::unique_ptr<Instance>> units(3);
    for (auto& u : units) ASSERT_OK(Instance::Open(bundle->Main().component, u));
    const int perInstance = (ZQCFScheduledTimerCount() - timersBefore) / 3;
    EXPECT_GE(perInstance, 1);
    EXPECT_EQ(ZQCFScheduledTimerCount(), timersBefore + 3 * perInstance);
    EXPECT_EQ(ZQAULiveInstanceCount(), liveBefore + 3);
    EXPECT_GT(pump.Pump(0.1), 0); // the idle timers run while open
    ASSERT_OK(units[1]->Prepare(44100.0, 2, 2, 512));
  }
  EXPECT_EQ(ZQCFScheduledTimerCount(), timersBefore);
  EXPECT_EQ(ZQAULiveInstanceCount(), liveBefore);
  EXPECT_EQ(pump.Pump(1.0), 0); // nothing ticks on a closed instance
}

TEST(BundleEntry, ComponentManagerEntryAnswersItsSelectors)
{
  AudioComponent component = GainEntryComponent();
  ASSERT_NE(component, nullptr);
  const int timersBefore = ZQCFScheduledTimerCount();
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(component, unit));
  const auto ci = reinterpret_cast<ComponentInstance>(unit->Unit());

  // can do: the Audio Unit selectors except 18, which only the factory record answers
  const std::set<long> canDo = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17};
  for (long selector : {-4L, -3L, -2L, -1L, 0L, 1L, 2L, 3L, 4L, 5L, 6L, 7L, 8L, 9L, 10L, 11L, 12L, 13L, 14L, 15L, 16L,
                        17L, 18L, 19L, 0x101L, 0x102L})
    EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kComponentCanDoSelect, selector), canDo.count(selector) ? 1 : 0)
      << "selector " << selector;
  EXPECT_EQ(ZQAUCallComponentInstance(ci, kComponentVersionSelect, nullptr, 0), static_cast<OSStatus>(kGainVersion));
  for (SInt16 selector : {0, 8, 12, 13, 19, 0x107, 0x7FFF})
    EXPECT_EQ(ZQAUCallComponentInstance(ci, selector, nullptr, 0), badComponentSelector) << "selector " << selector;
  // Music-device calls: no MIDI input here; the instrument calls are accepted and do nothing.
  EXPECT_EQ(MusicDeviceMIDIEvent(unit->Unit(), 0x90, 60, 100, 0), badComponentSelector);
  const UInt8 sysex[] = {0xF0, 0x7D, 0x01, 0xF7};
  EXPECT_EQ(MusicDeviceSysEx(unit->Unit(), sysex, sizeof(sysex)), badComponentSelector);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kMusicDevicePrepareInstrumentSelect, 0L), noErr);

  // The usual calls reach the same operations: info with null out-pointers, formats, render.
  EXPECT_EQ(AudioUnitGetPropertyInfo(unit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                     nullptr, nullptr),
            noErr);
  ASSERT_OK(unit->Prepare(48000.0, 1, 1, 64));
  ASSERT_OK(unit->SetParameter(kMode, 1)); // invert
  AudioData input;
  input.Resize(1, 64);
  for (int i = 0; i < 64; ++i) input.channels[0][static_cast<size_t>(i)] = 0.01f * static_cast<float>(i);
  BufferSource source(input, 64);
  ASSERT_OK(unit->ConnectInput(&source));
  std::vector<float> out(64, 7.f);
  float* channels[1] = {out.data()};
  ASSERT_EQ(unit->RenderBlock(0, 64, channels, 1), noErr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], -input.channels[0][static_cast<size_t>(i)]);

  unit.reset();
  EXPECT_EQ(ZQCFScheduledTimerCount(), timersBefore);
}

TEST(BundleEntry, CanDoFollowsLookupForFactoryInstances)
{
  auto bundle = LoadGain();
  ASSERT_TRUE(bundle);
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(bundle->Main().component, unit));
  EXPECT_TRUE(AudioComponentInstanceCanDo(unit->Unit(), kAudioUnitRemovePropertyListenerWithUserDataSelect));
  EXPECT_TRUE(AudioComponentInstanceCanDo(unit->Unit(), kAudioUnitRenderSelect));
  EXPECT_FALSE(AudioComponentInstanceCanDo(unit->Unit(), kMusicDeviceMIDIEventSelect));
  EXPECT_FALSE(AudioComponentInstanceCanDo(unit->Unit(), 8));
  // Through the factory record music-device calls find no method.
  EXPECT_EQ(MusicDeviceMIDIEvent(unit->Unit(), 0x90, 60, 100, 0), badComponentSelector);
}

// The test bundle as a host meets it: what its executable exports, the factory record and its Lookup table, and
// the Component Manager entry, whose instance closes without leaving timers or memory behind.

#include "au/testplug/TestBundles.h"

#include "au/PluginAU_Entry.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreFoundation/CFTesting.h>

#include <cstdio>
#include <set>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace std::string_literals;
using namespace testbundles;

namespace
{

// The defined global symbols of a shared object's dynamic symbol table, as binutils' nm reads them.
std::set<std::string> ExportedSymbols(const std::string& path)
{
  std::set<std::string> names;
  if (FILE* nm = popen(("nm -D --defined-only --extern-only '" + path + "'").c_str(), "r"))
  {
    char address[64], type[8], name[256];
    while (std::fscanf(nm, "%63s %7s %255s", address, type, name) == 3) names.insert(name);
    EXPECT_EQ(pclose(nm), 0) << path;
  }
  return names;
}

using BundleEntry = BundleHost;

} // namespace

TEST_F(BundleEntry, ExecutableExportsOnlyFactoryAndEntry)
{
  for (const std::string name : {"TestGain", "TestSynth"})
    EXPECT_EQ(ExportedSymbols((name == "TestGain" ? GainBundlePath() : SynthBundlePath()) + "/Contents/MacOS/"s + name),
              (std::set<std::string>{name + "_Factory", name + "_Entry"}));
}

TEST_F(BundleEntry, FactoryRecordLookupOpenAndClose)
{
  const AudioComponentDescription desc = mBundle->Main().desc;
  AudioComponentPlugInInterface* record = mBundle->Main().factory(&desc);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Close(record), noErr) << "never opened: Close only frees the record";

  record = mBundle->Main().factory(&desc);
  ASSERT_TRUE(record && record->Open && record->Close && record->Lookup);
  const std::set<int> answered = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18};
  for (int selector = -8; selector <= 0x110; ++selector)
    EXPECT_EQ(record->Lookup(static_cast<SInt16>(selector)) != nullptr, answered.count(selector) == 1) << selector;

  // The record works as `self` for its methods between Open and Close; a second Open keeps the object.
  ASSERT_EQ(record->Open(record, reinterpret_cast<AudioComponentInstance>(record)), noErr);
  auto* header = reinterpret_cast<plugin::AUInstanceRecord*>(record);
  plugin::PluginAU* plug = header->mPlug;
  ASSERT_NE(plug, nullptr);
  EXPECT_EQ(static_cast<void*>(plug), header->Storage()) << "the object sits right behind the header";
  const int timers = ZQCFScheduledTimerCount();
  EXPECT_EQ(record->Open(record, reinterpret_cast<AudioComponentInstance>(record)), noErr);
  EXPECT_EQ(std::tuple(header->mPlug, ZQCFScheduledTimerCount()), std::tuple(plug, timers)) << "a second object";
  Float32 value = 99.f;
  EXPECT_EQ(reinterpret_cast<AudioUnitGetParameterProc>(record->Lookup(kAudioUnitGetParameterSelect))(
              record, kGain, kAudioUnitScope_Global, 0, &value),
            noErr);
  EXPECT_EQ(value, 0.f);
  EXPECT_EQ(record->Close(record), noErr);
}

TEST_F(BundleEntry, ComponentManagerEntryAnswersItsSelectors)
{
  // The gain bundle's entry registered under its own subtype, once per process.
  static AudioComponent component = [this] {
    auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestGain_Entry"));
    AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGcm"), kManufacturer, 0, 0};
    return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("TestGain (CM)"), kGainVersion, entry) : nullptr;
  }();
  ASSERT_NE(component, nullptr);
  mUnit.reset();
  const int timersBefore = ZQCFScheduledTimerCount();
  const UInt32 liveBefore = ZQAULiveInstanceCount();
  ASSERT_NO_FATAL_FAILURE(Reopen(component));
  const auto ci = reinterpret_cast<ComponentInstance>(Unit());

  // can do: the Audio Unit selectors except 18, which only the factory record answers
  const std::set<long> canDo = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17};
  for (long selector = -4; selector <= 0x102; selector = selector == 19 ? 0x101 : selector + 1)
    EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kComponentCanDoSelect, selector), canDo.count(selector) ? 1 : 0)
      << selector;
  EXPECT_EQ(ZQAUCallComponentInstance(ci, kComponentVersionSelect, nullptr, 0), static_cast<OSStatus>(kGainVersion));
  for (SInt16 selector : {0, 8, 12, 13, 19, 0x107, 0x7FFF})
    EXPECT_EQ(ZQAUCallComponentInstance(ci, selector, nullptr, 0), badComponentSelector) << selector;
  // Music-device calls: no MIDI input here; the instrument calls are accepted and do nothing.
  EXPECT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 100, 0), badComponentSelector);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kMusicDevicePrepareInstrumentSelect, 0L), noErr);

  // The usual calls reach the same operations: info with null out-pointers, formats, parameters, render.
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, nullptr,
                                     nullptr),
            noErr);
  ASSERT_OK(mUnit->Prepare(48000.0, 1, 1, 64));
  ASSERT_OK(mUnit->SetParameter(kMode, 1)); // invert
  AudioData input;
  input.Resize(1, 64);
  for (int i = 0; i < 64; ++i) input.channels[0][size_t(i)] = 0.01f * float(i);
  BufferSource source(input, 64);
  ASSERT_OK(mUnit->ConnectInput(&source));
  std::vector<float> out(64, 7.f);
  float* channels[1] = {out.data()};
  ASSERT_EQ(mUnit->RenderBlock(0, 64, channels, 1), noErr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out[size_t(i)], -input.channels[0][size_t(i)]);

  // Closing leaves no timer and no instance behind.
  mUnit.reset();
  EXPECT_EQ(std::tuple(ZQCFScheduledTimerCount(), ZQAULiveInstanceCount()), std::tuple(timersBefore, liveBefore));
}

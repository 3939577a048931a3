// The second test bundle, an instrument with MIDI input and output and wildcard output configurations: the paths
// an effect without MIDI never takes.

#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreMIDI/CoreMIDI.h>

#include <cstring>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

using Bytes = std::vector<Byte>;
struct MidiOut
{
  std::vector<std::pair<MIDITimeStamp, Bytes>> packets;
  int lists = 0;
};

OSStatus RecordMidi(void* userData, const AudioTimeStamp*, UInt32 midiOutNum, const MIDIPacketList* list)
{
  auto* out = static_cast<MidiOut*>(userData);
  ++out->lists;
  EXPECT_EQ(midiOutNum, 0u);
  const MIDIPacket* packet = &list->packet[0];
  for (UInt32 i = 0; i < list->numPackets; ++i, packet = MIDIPacketNext(packet))
  {
    // Packets follow each other unpadded: read the header through its byte offsets.
    const Byte* bytes = reinterpret_cast<const Byte*>(packet);
    MIDITimeStamp time;
    UInt16 length;
    std::memcpy(&time, bytes, sizeof(time));
    std::memcpy(&length, bytes + 8, sizeof(length));
    out->packets.push_back({time, Bytes(bytes + 10, bytes + 10 + length)});
  }
  return noErr;
}

class BundleSynth : public BundleHost
{
protected:
  BundleSynth() : BundleHost(SynthBundlePath()) {}

  // Replaces the instance by one opened through the Component Manager entry (registered under its own subtype
  // once per process), the path that carries MIDI.
  void OpenThroughEntry()
  {
    static AudioComponent component = [this] {
      auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestSynth_Entry"));
      AudioComponentDescription desc = {kAudioUnitType_MusicDevice, FourCC("TScm"), kManufacturer, 0, 0};
      return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("TestSynth (CM)"), 0x00010000, entry) : nullptr;
    }();
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
  }

  // One block of `channels` outputs, each of which must be constant; returns their levels.
  std::vector<float> RenderLevels(UInt32 channels, double sampleTime)
  {
    std::vector<float> out(size_t(channels) * 64, -9.f), first(channels);
    std::vector<float*> pointers(channels);
    for (UInt32 c = 0; c < channels; ++c) pointers[c] = out.data() + c * 64;
    EXPECT_EQ(mUnit->RenderBlock(sampleTime, 64, pointers.data(), channels), noErr);
    for (UInt32 c = 0; c < channels; ++c)
    {
      first[c] = out[c * 64];
      EXPECT_TRUE(std::all_of(&out[c * 64], &out[c * 64 + 64], [&](float x) { return x == first[c]; })) << c;
    }
    return first;
  }
};

using Levels = std::vector<float>;

} // namespace

TEST_F(BundleSynth, InstrumentDescriptionAndWildcardOutput)
{
  EXPECT_EQ(mBundle->Main().desc.componentType, kAudioUnitType_MusicDevice);
  EXPECT_EQ(std::tuple(mUnit->BusCount(kAudioUnitScope_Input), mUnit->BusCount(kAudioUnitScope_Output),
                       FormatChannelConfigs(mUnit->ChannelConfigs())),
            std::tuple(0u, 1u, "0-1 0-2 0-*"));
  UInt32 instruments = 0;
  ASSERT_OK(mUnit->GetProperty(kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0, instruments));
  EXPECT_EQ(instruments, 1u);
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  SInt32 type = 0;
  CFNumberGetValue(
    static_cast<CFNumberRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("type"))),
    kCFNumberSInt32Type, &type);
  EXPECT_EQ(UInt32(type), kAudioUnitType_MusicDevice);
  EXPECT_FALSE(mUnit->ConnectInput(nullptr, 0).ok()); // no input bus to feed

  // The wildcard takes any channel count; the host's buffers hold what the unit rendered on every channel of the
  // format it accepted, never what the host left in them.
  OpenThroughEntry();
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), noErr);
  for (UInt32 channels : {1u, 2u, 6u})
  {
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, channels)) << channels;
    ASSERT_OK(mUnit->SetMaxFramesPerSlice(64));
    ASSERT_OK(mUnit->Initialize());
    AudioStreamBasicDescription asbd = {};
    ASSERT_OK(mUnit->GetStreamFormat(kAudioUnitScope_Output, 0, asbd));
    EXPECT_EQ(asbd.mChannelsPerFrame, channels);
    const Levels levels = RenderLevels(channels, 64.0 * channels);
    for (UInt32 c = 0; c < channels; ++c)
      EXPECT_TRUE(c < 2 ? levels[c] == 1.f : levels[c] != -9.f) << channels << " channels, channel " << c;
    ASSERT_OK(mUnit->Uninitialize());
  }
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, 0).code(), kAudioUnitErr_InvalidProperty);
}

TEST_F(BundleSynth, MidiReachesTheInstrumentOnlyThroughTheEntry)
{
  ASSERT_OK(mUnit->Prepare(48000.0, 0, 2, 64));
  // The factory record's Lookup offers no music-device methods.
  EXPECT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), badComponentSelector);

  OpenThroughEntry();
  ASSERT_OK(mUnit->Prepare(48000.0, 0, 2, 64));
  EXPECT_EQ(RenderLevels(2, 0), (Levels{0.f, 0.f}));
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x91, 64, 127, 0), noErr);
  EXPECT_EQ(RenderLevels(2, 64), (Levels{1.f, 1.f}));
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x81, 64, 0, 0), noErr);
  EXPECT_EQ(RenderLevels(2, 128), (Levels{0.f, 0.f}));
  const UInt8 sysex[] = {0xF0, 0x7D, 127, 0xF7};
  ASSERT_EQ(MusicDeviceSysEx(Unit(), sysex, sizeof(sysex)), noErr);
  EXPECT_EQ(RenderLevels(2, 192), (Levels{1.f, 1.f}));
  ASSERT_OK(mUnit->SetParameter(0, 0.5f));
  EXPECT_EQ(RenderLevels(2, 256), (Levels{0.5f, 0.5f}));

  // Instrument calls: accepted; start-note answers the pitch as the note's identifier.
  const auto ci = reinterpret_cast<ComponentInstance>(Unit());
  MusicDeviceNoteParams note = {2, 61.7f, 100.f, {}};
  NoteInstanceID id = 0;
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kMusicDeviceStartNoteSelect, 0L, 0L, &id, 0L, &note), noErr);
  EXPECT_EQ(id, 61u);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kMusicDeviceStopNoteSelect, 0L, 61L, 0L), noErr);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kMusicDeviceReleaseInstrumentSelect, 0L), noErr);
}

TEST_F(BundleSynth, MidiAndSysExGoOutThroughTheHostCallback)
{
  OpenThroughEntry();
  ASSERT_OK(mUnit->Prepare(48000.0, 0, 2, 64));
  CFArrayRef names = nullptr;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_MIDIOutputCallbackInfo, kAudioUnitScope_Global, 0, names));
  ASSERT_TRUE(names && CFArrayGetCount(names) == 1);
  EXPECT_EQ(ToStdString(CFArrayGetValueAtIndex(names, 0)), "midiOut");
  CFRelease(names);
  // Without a callback the echo goes nowhere (and nothing fails).
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 100, 5), noErr);

  MidiOut out;
  const AUMIDIOutputCallbackStruct callback = {&RecordMidi, &out};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, callback));
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x92, 62, 90, 17), noErr);
  ASSERT_EQ(out.packets.size(), 1u);
  EXPECT_EQ(out.packets[0], std::make_pair(MIDITimeStamp{17}, Bytes{0x92, 62, 90}));

  // SysEx goes out in packets of at most 256 bytes, in as many packet lists as it needs, nothing lost.
  for (size_t size : {size_t{300}, size_t{20000}})
  {
    out = {};
    Bytes sysex(size, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    ASSERT_EQ(MusicDeviceSysEx(Unit(), sysex.data(), UInt32(sysex.size())), noErr);
    Bytes joined;
    for (const auto& [time, bytes] : out.packets)
    {
      EXPECT_LE(bytes.size(), 256u);
      joined.insert(joined.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(joined, sysex);
    EXPECT_EQ(out.packets.size(), (size + 255) / 256) << size;
    EXPECT_EQ(out.lists > 1, size > 8192) << size;
  }
}

// The second test bundle, an instrument with MIDI input and output and wildcard output configurations: the paths
// an effect without MIDI never takes. (How packets lie in a packet list: the stand-in's MIDI tests.)

#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreMIDI/CoreMIDI.h>

#include <algorithm>
#include <cstring>
#include <tuple>
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

OSStatus RecordMidi(void* userData, const AudioTimeStamp*, UInt32, const MIDIPacketList* list)
{
  auto* out = static_cast<MidiOut*>(userData);
  ++out->lists;
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
};

} // namespace

TEST_F(BundleSynth, MidiInThroughTheEntryAndWildcardOutput)
{
  EXPECT_EQ(std::tuple(mUnit->BusCount(kAudioUnitScope_Input), FormatChannelConfigs(mUnit->ChannelConfigs())),
            std::tuple(0u, "0-1 0-2 0-*"));
  // The factory record's Lookup offers no music-device methods.
  EXPECT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), badComponentSelector);

  // The wildcard takes any channel count; the host's buffers hold what the unit rendered on every channel of the
  // format it accepted (the note's level 127 / 127 on the plug-in's two channels), never what the host left there.
  OpenThroughEntry();
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), noErr);
  for (UInt32 channels : {1u, 6u})
  {
    ASSERT_OK(mUnit->Prepare(48000.0, 0, channels, 64)) << channels;
    std::vector<float> out(size_t(channels) * 64, -9.f);
    std::vector<float*> pointers(channels);
    for (UInt32 c = 0; c < channels; ++c) pointers[c] = out.data() + c * 64;
    ASSERT_EQ(mUnit->RenderBlock(64.0 * channels, 64, pointers.data(), channels), noErr);
    EXPECT_EQ(std::count(out.begin(), out.end(), 1.f), std::min(channels, 2u) * 64) << channels;
    EXPECT_EQ(std::count(out.begin(), out.end(), -9.f), 0) << channels;
  }
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, 0).code(), kAudioUnitErr_InvalidProperty);
}

TEST_F(BundleSynth, MidiAndSysExGoOutThroughTheHostCallback)
{
  OpenThroughEntry();
  ASSERT_OK(mUnit->Prepare(48000.0, 0, 2, 64));
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

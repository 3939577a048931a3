// MIDI output as a host receives it through the MIDIOutputCallback property: the echo of MIDI and SysEx that the
// instrument takes in, the messages the editor queues for the processor (sent during the render), SysEx cut into
// packets of at most 256 bytes, several messages in one packet list, and nothing sent without a callback.

#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <AudioToolbox/MusicDevice.h>
#include <CoreMIDI/CoreMIDI.h>

#include <cstring>
#include <string>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

// One packet as the host saw it: its time stamp and its bytes.
struct Packet
{
  MIDITimeStamp stamp;
  std::vector<UInt8> bytes;
  bool operator==(const Packet&) const = default;
};
struct Received
{
  std::vector<std::vector<Packet>> lists; // one entry per callback
  double sampleTime = -1;                 // of the time stamp passed with the last list
  UInt32 outputNumber = 99;
  OSStatus answer = noErr;
};

OSStatus MidiOut(void* userData, const AudioTimeStamp* ts, UInt32 outputNumber, const MIDIPacketList* list)
{
  auto* r = static_cast<Received*>(userData);
  std::vector<Packet> packets;
  // Packets after the first may be unaligned: read their fields byte-wise.
  const MIDIPacket* p = &list->packet[0];
  for (UInt32 i = 0; i < list->numPackets; ++i, p = MIDIPacketNext(p))
  {
    const auto* raw = reinterpret_cast<const UInt8*>(p);
    MIDITimeStamp stamp = 0;
    UInt16 length = 0;
    std::memcpy(&stamp, raw, sizeof(stamp));
    std::memcpy(&length, raw + sizeof(stamp), sizeof(length));
    const UInt8* data = raw + sizeof(stamp) + sizeof(length);
    packets.push_back({stamp, std::vector<UInt8>(data, data + length)});
  }
  r->lists.push_back(packets);
  r->sampleTime = ts ? ts->mSampleTime : -2;
  r->outputNumber = outputNumber;
  return r->answer;
}

// TestSynth through its Component Manager entry (the path that carries MIDI in), prepared for mono output.
class MidiOutput : public BundleHost
{
protected:
  MidiOutput() : BundleHost(SynthBundlePath()) {}
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(BundleHost::SetUp());
    auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestSynth_Entry"));
    ASSERT_NE(entry, nullptr);
    AudioComponentDescription desc = {kAudioUnitType_MusicDevice, FourCC("TSmo"), kManufacturer, 0, 0};
    AudioComponent component = AudioComponentFindNext(nullptr, &desc);
    if (!component) component = ZQAURegisterComponentEntry(&desc, CFSTR("TestSynth (MIDI out)"), 0x00010000, entry);
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
    ASSERT_OK(mUnit->Prepare(48000.0, 0, 1, 64));
  }
  void Connect()
  {
    const AUMIDIOutputCallbackStruct callback = {&MidiOut, &mReceived};
    ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, callback));
  }
  OSStatus Render(double sampleTime)
  {
    std::vector<float> out(64);
    float* channels[1] = {out.data()};
    return mUnit->RenderBlock(sampleTime, 64, channels, 1);
  }
  Received mReceived;
};

std::vector<UInt8> Bytes(std::initializer_list<int> list)
{
  return std::vector<UInt8>(list.begin(), list.end());
}

} // namespace

TEST_F(MidiOutput, TheHostLearnsTheOutputNameAndSetsItsCallback)
{
  // The info of the callback property says writable; its value cannot be read back.
  UInt32 size = 0;
  Boolean writable = false;
  ASSERT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(std::make_pair(size, writable), std::make_pair(UInt32(sizeof(AUMIDIOutputCallbackStruct)), Boolean(true)));
  AUMIDIOutputCallbackStruct back = {};
  size = sizeof(back);
  EXPECT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, &back, &size),
            kAudioUnitErr_InvalidProperty);

  // One output, named "midiOut".
  CFArrayRef names = nullptr;
  size = sizeof(names);
  ASSERT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_MIDIOutputCallbackInfo, kAudioUnitScope_Global, 0, &names,
                                 &size),
            noErr);
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(CFArrayGetCount(names), 1);
  EXPECT_EQ(ToStdString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(names, 0))), "midiOut");
  CFRelease(names);

  // Before the host sets the callback nothing goes out and the sends report failure.
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 100, 0), noErr);
  Util_TypedBuf<plugin::IMidiMsg> list;
  list.Add(plugin::IMidiMsg(0, 0x90, 60, 1));
  const UInt8 sysex[] = {0xF0, 0x01, 0xF7};
  EXPECT_FALSE(Plug().SendMidiMsgs(list) || Plug().SendSysEx(plugin::ISysEx(0, sysex, 3)));
  EXPECT_TRUE(mReceived.lists.empty());
}

TEST_F(MidiOutput, MidiAndSysexInAreEchoedOut)
{
  Connect();
  ASSERT_EQ(Render(256), noErr); // the last render's time stamp travels with the lists
  // A note at frame 5 goes out as one packet stamped 5; a SysEx goes out stamped 0.
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 100, 5), noErr);
  const UInt8 level[] = {0xF0, 0x7D, 0x20, 0xF7};
  ASSERT_EQ(MusicDeviceSysEx(Unit(), level, 4), noErr);
  EXPECT_EQ(mReceived.lists, (std::vector<std::vector<Packet>>{{{5, Bytes({0x90, 60, 100})}},
                                                               {{0, Bytes({0xF0, 0x7D, 0x20, 0xF7})}}}));
  EXPECT_EQ(std::make_pair(mReceived.sampleTime, mReceived.outputNumber), std::make_pair(256.0, 0u));

  // 300 bytes of SysEx: pieces of 256 and 44 bytes, in one list.
  std::vector<UInt8> big(300, 0x11);
  big.front() = 0xF0;
  big.back() = 0xF7;
  mReceived.lists.clear();
  ASSERT_EQ(MusicDeviceSysEx(Unit(), big.data(), UInt32(big.size())), noErr);
  ASSERT_EQ(mReceived.lists.size(), 1u);
  ASSERT_EQ(mReceived.lists[0].size(), 2u);
  EXPECT_EQ(mReceived.lists[0][0].bytes, std::vector<UInt8>(big.begin(), big.begin() + 256));
  EXPECT_EQ(mReceived.lists[0][1].bytes, std::vector<UInt8>(big.begin() + 256, big.end()));

  // A callback that refuses the list makes the send report failure.
  mReceived.answer = -1;
  EXPECT_FALSE(Plug().SendSysEx(plugin::ISysEx(0, level, 4)));
}

TEST_F(MidiOutput, WhatTheEditorQueuesIsSentDuringTheRender)
{
  Connect();
  // MIDI from the editor reaches the processor (which echoes it) before the block; SysEx goes out after it.
  Plug().SendMidiMsgFromUI(plugin::IMidiMsg(3, 0x90, 64, 90));
  const UInt8 sysex[] = {0xF0, 0x7D, 0x30, 0xF7};
  Plug().SendSysexMsgFromUI(plugin::ISysEx(7, sysex, 4));
  EXPECT_TRUE(mReceived.lists.empty()); // queued, not sent yet
  ASSERT_EQ(Render(0), noErr);
  EXPECT_EQ(mReceived.lists, (std::vector<std::vector<Packet>>{{{3, Bytes({0x90, 64, 90})}},
                                                               {{7, Bytes({0xF0, 0x7D, 0x30, 0xF7})}}}));
  // Both queues are empty afterwards.
  mReceived.lists.clear();
  ASSERT_EQ(Render(64), noErr);
  EXPECT_TRUE(mReceived.lists.empty());
}

TEST_F(MidiOutput, SeveralMessagesInOneList)
{
  Connect();
  // Messages with the same stamp share one packet; a later stamp starts the next; a negative offset counts as 0.
  Util_TypedBuf<plugin::IMidiMsg> list;
  list.Add(plugin::IMidiMsg(0, 0x90, 60, 100));
  list.Add(plugin::IMidiMsg(0, 0x90, 64, 100));
  list.Add(plugin::IMidiMsg(9, 0x80, 60, 0));
  EXPECT_TRUE(Plug().SendMidiMsgs(list));
  Util_TypedBuf<plugin::IMidiMsg> early;
  early.Add(plugin::IMidiMsg(-4, 0xB0, 7, 127));
  EXPECT_TRUE(Plug().SendMidiMsgs(early));
  EXPECT_EQ(mReceived.lists, (std::vector<std::vector<Packet>>{
                               {{0, Bytes({0x90, 60, 100, 0x90, 64, 100})}, {9, Bytes({0x80, 60, 0})}},
                               {{0, Bytes({0xB0, 7, 127})}}}));
  // Nothing to send: no list, and success.
  mReceived.lists.clear();
  EXPECT_TRUE(Plug().SendMidiMsgs(Util_TypedBuf<plugin::IMidiMsg>()));
  EXPECT_TRUE(mReceived.lists.empty());
}

TEST_F(MidiOutput, MoreThanOneListHoldsGoesOutInSeveralListsInOrder)
{
  Connect();
  // 10000 bytes of SysEx fill more than one packet list: every byte arrives once, in order, in pieces of at most
  // 256 bytes, all stamped with the message's offset.
  std::vector<UInt8> big(10000);
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = UInt8(i % 127);
  big.front() = 0xF0;
  big.back() = 0xF7;
  ASSERT_TRUE(Plug().SendSysEx(plugin::ISysEx(12, big.data(), int(big.size()))));
  EXPECT_GT(mReceived.lists.size(), 1u);
  std::vector<UInt8> joined;
  for (const auto& list : mReceived.lists)
    for (const Packet& p : list)
    {
      EXPECT_TRUE(p.stamp == 12 && p.bytes.size() <= 256);
      joined.insert(joined.end(), p.bytes.begin(), p.bytes.end());
    }
  EXPECT_EQ(joined, big);

  // 1000 notes, each at its own frame: one packet each, over several lists, in order.
  mReceived.lists.clear();
  Util_TypedBuf<plugin::IMidiMsg> notes;
  for (int i = 0; i < 1000; ++i)
    notes.Add(plugin::IMidiMsg(i, 0x90, UInt8(i % 128), 100));
  ASSERT_TRUE(Plug().SendMidiMsgs(notes));
  EXPECT_GT(mReceived.lists.size(), 1u);
  std::vector<Packet> all;
  for (const auto& list : mReceived.lists)
    all.insert(all.end(), list.begin(), list.end());
  ASSERT_EQ(all.size(), 1000u);
  for (int i = 0; i < 1000; i += 333)
    EXPECT_EQ(all[size_t(i)], (Packet{MIDITimeStamp(i), Bytes({0x90, i % 128, 100})})) << i;

  // 100 notes at one frame share packets, but no message is cut between two of them: every packet holds whole
  // messages, each starting with its status byte.
  mReceived.lists.clear();
  Util_TypedBuf<plugin::IMidiMsg> chord;
  for (int i = 0; i < 100; ++i)
    chord.Add(plugin::IMidiMsg(0, 0x90, UInt8(i), 100));
  ASSERT_TRUE(Plug().SendMidiMsgs(chord));
  size_t bytes = 0;
  for (const auto& list : mReceived.lists)
    for (const Packet& p : list)
    {
      bytes += p.bytes.size();
      ASSERT_EQ(p.bytes.size() % 3, 0u);
      for (size_t k = 0; k < p.bytes.size(); k += 3)
        EXPECT_EQ(p.bytes[k], 0x90) << k;
    }
  EXPECT_EQ(bytes, 300u);
}

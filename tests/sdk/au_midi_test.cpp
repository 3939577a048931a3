// MIDI packet lists: packing, the platform's same-time coalescing, SysEx pieces and full lists.
#include <CoreMIDI/CoreMIDI.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

// A list buffer of `size` bytes, aligned for the list.
struct ListBuffer
{
  explicit ListBuffer(size_t size) : words((size + 7) / 8), size(size) {}
  MIDIPacketList* list() { return reinterpret_cast<MIDIPacketList*>(words.data()); }
  size_t Offset(const void* p)
  {
    return static_cast<size_t>(static_cast<const Byte*>(p) - reinterpret_cast<Byte*>(words.data()));
  }
  std::vector<UInt64> words;
  size_t size;
};

TEST(AUMidi, PacketsFollowEachOtherOnFourByteBoundaries)
{
  ListBuffer buf(1024);
  MIDIPacket* p = MIDIPacketListInit(buf.list());
  EXPECT_EQ(buf.list()->numPackets, 0u);
  EXPECT_EQ(buf.Offset(p), 4u);
  const Byte noteOn[3] = {0x90, 60, 100};
  const Byte noteOff[3] = {0x80, 60, 0};
  MIDIPacket* first = MIDIPacketListAdd(buf.list(), buf.size, p, 10, 3, noteOn);
  ASSERT_EQ(first, p);
  MIDIPacket* second = MIDIPacketListAdd(buf.list(), buf.size, first, 20, 3, noteOff);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(buf.Offset(second), 20u); // header at 4, data 14..16, next boundary 20
  EXPECT_EQ(MIDIPacketNext(first), second);
  EXPECT_EQ(buf.list()->numPackets, 2u);
  // Packed members: read by value (a reference would need 8-byte alignment).
  const MIDITimeStamp t1 = first->timeStamp, t2 = second->timeStamp;
  EXPECT_EQ(t1, 10u);
  EXPECT_EQ(t2, 20u);
  EXPECT_EQ(second->length, 3u);
  EXPECT_EQ(std::memcmp(second->data, noteOff, 3), 0);
}

TEST(AUMidi, SameTimeBytesJoinTheCurrentPacketButSysExDoesNot)
{
  ListBuffer buf(2048);
  MIDIPacket* cur = MIDIPacketListInit(buf.list());
  // A message added byte by byte with one time stamp becomes one packet.
  for (Byte b : {Byte(0xB0), Byte(7), Byte(127)})
    cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 5, 1, &b);
  ASSERT_NE(cur, nullptr);
  EXPECT_EQ(buf.list()->numPackets, 1u);
  EXPECT_EQ(cur->length, 3u);

  // 300 SysEx bytes in pieces of at most 256: 256 and 44, never joined.
  std::vector<Byte> sysex(1000, 0x11);
  sysex.front() = 0xF0;
  sysex[299] = 0xF7;
  MIDIPacket* a = MIDIPacketListAdd(buf.list(), buf.size, cur, 5, 256, sysex.data());
  MIDIPacket* b = a ? MIDIPacketListAdd(buf.list(), buf.size, a, 5, 44, sysex.data() + 256) : nullptr;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(buf.list()->numPackets, 3u);
  EXPECT_EQ(a->length, 256u);
  EXPECT_EQ(b->length, 44u);
  EXPECT_EQ(b->data[43], 0xF7);
  // A packet inside a list may exceed 256 bytes.
  MIDIPacket* c = MIDIPacketListAdd(buf.list(), buf.size, b, 6, sysex.size(), sysex.data());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->length, 1000u);
}

TEST(AUMidi, RefusesWhatDoesNotFitAndLeavesTheListAlone)
{
  // Exactly one 3-byte packet: 4 + 10 + 3 bytes.
  ListBuffer buf(17);
  MIDIPacket* cur = MIDIPacketListInit(buf.list());
  const Byte msg[3] = {0x90, 1, 2};
  ASSERT_NE((cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 0, 3, msg)), nullptr);
  EXPECT_EQ(MIDIPacketListAdd(buf.list(), buf.size, cur, 1, 1, msg), nullptr);     // new packet
  EXPECT_EQ(MIDIPacketListAdd(buf.list(), buf.size, cur, 0, 1, msg + 1), nullptr); // joining
  EXPECT_EQ(buf.list()->numPackets, 1u);
  EXPECT_EQ(cur->length, 3u);
  ListBuffer big(512);
  MIDIPacket* first = MIDIPacketListInit(big.list());
  MIDIPacket* last = MIDIPacketListAdd(big.list(), big.size, first, 0, 3, msg);
  last = MIDIPacketListAdd(big.list(), big.size, last, 9, 3, msg);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(MIDIPacketListAdd(big.list(), big.size, first, 9, 3, msg), nullptr); // stale packet pointer
  EXPECT_EQ(MIDIPacketListAdd(big.list(), big.size, last, 9, 0, msg), nullptr);
  EXPECT_EQ(MIDIPacketListAdd(big.list(), big.size, last, 9, 3, nullptr), nullptr);
  EXPECT_EQ(MIDIPacketListAdd(big.list(), 3, first, 9, 3, msg), nullptr);
  EXPECT_EQ(big.list()->numPackets, 2u);
  EXPECT_EQ(MIDIPacketListInit(nullptr), nullptr);
}

} // namespace

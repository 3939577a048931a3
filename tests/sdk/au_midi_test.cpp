// MIDI packet lists: the Intel layout (packets unpadded), the platform's same-time coalescing, SysEx pieces and
// full lists. Packets are read back through their byte offsets, as a host on that machine must.
#include <CoreMIDI/CoreMIDI.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

struct PacketCopy
{
  size_t offset; // from the list's start
  MIDITimeStamp stamp;
  std::vector<Byte> data;
};

// A list buffer of `size` bytes, aligned for the list.
struct ListBuffer
{
  explicit ListBuffer(size_t size) : words((size + 7) / 8), size(size) {}
  MIDIPacketList* list() { return reinterpret_cast<MIDIPacketList*>(words.data()); }
  const Byte* base() const { return reinterpret_cast<const Byte*>(words.data()); }
  size_t Offset(const void* p) const { return static_cast<size_t>(static_cast<const Byte*>(p) - base()); }
  // Every packet, walked with MIDIPacketNext; the header is at published offsets 0 (stamp) and 8 (length).
  std::vector<PacketCopy> Packets()
  {
    std::vector<PacketCopy> out;
    const MIDIPacket* p = &list()->packet[0];
    for (UInt32 i = 0; i < list()->numPackets; ++i, p = MIDIPacketNext(p))
    {
      const Byte* b = reinterpret_cast<const Byte*>(p);
      PacketCopy c{Offset(p), 0, {}};
      UInt16 length = 0;
      std::memcpy(&c.stamp, b, 8);
      std::memcpy(&length, b + 8, 2);
      c.data.assign(b + 10, b + 10 + length);
      out.push_back(c);
    }
    return out;
  }
  std::vector<UInt64> words;
  size_t size;
};

TEST(AUMidi, PacketsFollowEachOtherUnpaddedAndSameTimeBytesJoin)
{
  ListBuffer buf(2048);
  MIDIPacket* cur = MIDIPacketListInit(buf.list());
  EXPECT_EQ(buf.Offset(cur), 4u);
  const Byte noteOn[3] = {0x90, 60, 100};
  const Byte noteOff[3] = {0x80, 60, 0};
  cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 10, 3, noteOn);
  cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 20, 3, noteOff);
  // A message added byte by byte with one time stamp becomes one packet.
  for (Byte b : {Byte(0xB0), Byte(7), Byte(127)})
    cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 30, 1, &b);
  // 300 SysEx bytes in pieces of at most 256 (256 and 44), never joined; a packet may exceed 256 bytes.
  std::vector<Byte> sysex(1000, 0x11);
  sysex.front() = 0xF0;
  sysex[299] = 0xF7;
  cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 30, 256, sysex.data());
  cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 30, 44, sysex.data() + 256);
  cur = MIDIPacketListAdd(buf.list(), buf.size, cur, 31, sysex.size(), sysex.data());
  ASSERT_NE(cur, nullptr);

  // Header 4, each packet 10 + its length, no padding: 4, 17, 30, 43, 309, 363.
  const std::vector<size_t> offsets = {4, 17, 30, 43, 309, 363};
  const std::vector<MIDITimeStamp> stamps = {10, 20, 30, 30, 30, 31};
  const std::vector<size_t> lengths = {3, 3, 3, 256, 44, 1000};
  const auto packets = buf.Packets();
  ASSERT_EQ(packets.size(), offsets.size());
  for (size_t i = 0; i < packets.size(); ++i)
  {
    EXPECT_EQ(packets[i].offset, offsets[i]) << i;
    EXPECT_EQ(packets[i].stamp, stamps[i]) << i;
    EXPECT_EQ(packets[i].data.size(), lengths[i]) << i;
  }
  EXPECT_EQ(packets[1].data, std::vector<Byte>(noteOff, noteOff + 3));
  EXPECT_EQ(packets[2].data, (std::vector<Byte>{0xB0, 7, 127}));
  EXPECT_EQ(packets[4].data.back(), 0xF7);
  EXPECT_EQ(buf.Offset(cur), 363u);
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
  EXPECT_EQ(buf.Packets().size(), 1u);
  EXPECT_EQ(buf.Packets()[0].data.size(), 3u);
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

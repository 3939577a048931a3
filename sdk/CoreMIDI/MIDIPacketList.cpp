#include <CoreMIDI/CoreMIDI.h>

#include <cstddef>
#include <cstring>

namespace
{

// Packets inside a list may start at any byte (MIDIPacketNext), so their fields are read and written through
// their byte offsets, never through a MIDIPacket lvalue.
constexpr std::size_t kStampOffset = offsetof(MIDIPacket, timeStamp);
constexpr std::size_t kLengthOffset = offsetof(MIDIPacket, length);
constexpr std::size_t kPacketHeader = offsetof(MIDIPacket, data);
constexpr std::size_t kCoalesceLimit = 256; // a packet grown by coalescing stays within its declared size
constexpr Byte kSysExStart = 0xF0;

Byte* Bytes(MIDIPacket* p) { return reinterpret_cast<Byte*>(p); }
const Byte* Bytes(const MIDIPacket* p) { return reinterpret_cast<const Byte*>(p); }

UInt16 LengthOf(const MIDIPacket* p)
{
  UInt16 length;
  std::memcpy(&length, Bytes(p) + kLengthOffset, sizeof(length));
  return length;
}

MIDITimeStamp StampOf(const MIDIPacket* p)
{
  MIDITimeStamp stamp;
  std::memcpy(&stamp, Bytes(p) + kStampOffset, sizeof(stamp));
  return stamp;
}

void SetHeader(MIDIPacket* p, MIDITimeStamp stamp, UInt16 length)
{
  std::memcpy(Bytes(p) + kStampOffset, &stamp, sizeof(stamp));
  std::memcpy(Bytes(p) + kLengthOffset, &length, sizeof(length));
}

std::size_t OffsetIn(const MIDIPacketList* list, const void* p)
{
  return static_cast<std::size_t>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(list));
}

MIDIPacket* FirstPacket(MIDIPacketList* list)
{
  return reinterpret_cast<MIDIPacket*>(reinterpret_cast<Byte*>(list) + offsetof(MIDIPacketList, packet));
}

// The list's last packet (the first when empty), or null when the packets run past `listSize`.
const MIDIPacket* CurrentPacket(MIDIPacketList* list, ByteCount listSize)
{
  const MIDIPacket* p = FirstPacket(list);
  UInt32 count;
  std::memcpy(&count, list, sizeof(count));
  for (UInt32 i = 0; i < count; ++i)
  {
    if (i > 0) p = MIDIPacketNext(p);
    const std::size_t offset = OffsetIn(list, p);
    if (offset > listSize || listSize - offset < kPacketHeader || listSize - offset - kPacketHeader < LengthOf(p))
    {
      return nullptr;
    }
  }
  return p;
}

} // namespace

MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist)
{
  if (!pktlist) return nullptr;
  pktlist->numPackets = 0;
  return FirstPacket(pktlist);
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data)
{
  if (!pktlist || !curPacket || !data || nData == 0) return nullptr;
  if (listSize < offsetof(MIDIPacketList, packet)) return nullptr;
  // A stale or foreign packet pointer would make us overwrite packets already in the list.
  if (CurrentPacket(pktlist, listSize) != curPacket) return nullptr;

  const UInt16 curLength = LengthOf(curPacket);
  Byte* curData = Bytes(curPacket) + kPacketHeader;
  if (pktlist->numPackets > 0 && StampOf(curPacket) == time && curData[0] != kSysExStart && data[0] != kSysExStart &&
      curLength <= kCoalesceLimit && nData <= kCoalesceLimit - curLength)
  {
    const std::size_t used = OffsetIn(pktlist, curPacket) + kPacketHeader + curLength;
    if (nData > listSize - used) return nullptr;
    std::memcpy(curData + curLength, data, nData);
    SetHeader(curPacket, time, static_cast<UInt16>(curLength + nData));
    return curPacket;
  }

  if (nData > 0xFFFF) return nullptr;
  MIDIPacket* next = pktlist->numPackets == 0 ? FirstPacket(pktlist) : MIDIPacketNext(curPacket);
  const std::size_t offset = OffsetIn(pktlist, next);
  if (offset > listSize || listSize - offset < kPacketHeader || listSize - offset - kPacketHeader < nData)
  {
    return nullptr;
  }
  SetHeader(next, time, static_cast<UInt16>(nData));
  std::memcpy(Bytes(next) + kPacketHeader, data, nData);
  ++pktlist->numPackets;
  return next;
}

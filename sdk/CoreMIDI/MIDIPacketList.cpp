#include <CoreMIDI/CoreMIDI.h>

#include <cstddef>
#include <cstring>

namespace
{

constexpr std::size_t kPacketHeader = offsetof(MIDIPacket, data);
constexpr std::size_t kCoalesceLimit = 256; // a packet grown by coalescing stays within its declared size
constexpr Byte kSysExStart = 0xF0;

std::size_t OffsetIn(const MIDIPacketList* list, const void* p)
{
  return static_cast<std::size_t>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(list));
}

// The list's last packet (the first when empty), or null when the packets run past `listSize`.
const MIDIPacket* CurrentPacket(const MIDIPacketList* list, ByteCount listSize)
{
  const MIDIPacket* p = list->packet;
  for (UInt32 i = 0; i < list->numPackets; ++i)
  {
    if (i > 0) p = MIDIPacketNext(p);
    const std::size_t offset = OffsetIn(list, p);
    if (offset > listSize || listSize - offset < kPacketHeader || listSize - offset - kPacketHeader < p->length)
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
  return pktlist->packet;
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data)
{
  if (!pktlist || !curPacket || !data || nData == 0) return nullptr;
  if (listSize < offsetof(MIDIPacketList, packet)) return nullptr;
  // A stale or foreign packet pointer would make us overwrite packets already in the list.
  if (CurrentPacket(pktlist, listSize) != curPacket) return nullptr;

  if (pktlist->numPackets > 0 && curPacket->timeStamp == time && curPacket->data[0] != kSysExStart &&
      data[0] != kSysExStart && curPacket->length <= kCoalesceLimit && nData <= kCoalesceLimit - curPacket->length)
  {
    const std::size_t used = OffsetIn(pktlist, curPacket) + kPacketHeader + curPacket->length;
    if (nData > listSize - used) return nullptr;
    std::memcpy(curPacket->data + curPacket->length, data, nData);
    curPacket->length = static_cast<UInt16>(curPacket->length + nData);
    return curPacket;
  }

  if (nData > 0xFFFF) return nullptr;
  MIDIPacket* next = pktlist->numPackets == 0 ? pktlist->packet : MIDIPacketNext(curPacket);
  const std::size_t offset = OffsetIn(pktlist, next);
  if (offset > listSize || listSize - offset < kPacketHeader || listSize - offset - kPacketHeader < nData)
  {
    return nullptr;
  }
  next->timeStamp = time;
  next->length = static_cast<UInt16>(nData);
  std::memcpy(next->data, data, nData);
  ++pktlist->numPackets;
  return next;
}

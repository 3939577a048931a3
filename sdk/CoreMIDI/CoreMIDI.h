// CoreMIDI: MIDI packet lists, the records through which MIDI travels between a host and an Audio Unit.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef UInt8 Byte;
typedef UInt64 MIDITimeStamp;

// Packets are packed to 4 bytes as on the platform: MIDIPacket is 268 bytes, its data at offset 10,
// and MIDIPacketList's first packet starts at offset 4. timeStamp is then only 4-byte aligned: copy it, never
// bind a reference or pointer of its own type to it.
#pragma pack(push, 4)
// One or more complete MIDI messages (or a piece of one SysEx) sharing a time stamp. `data` is declared as
// 256 bytes, but a packet inside a list holds exactly `length` bytes (a SysEx packet may hold more than 256).
struct MIDIPacket
{
  MIDITimeStamp timeStamp;
  UInt16 length;
  Byte data[256];
};
typedef struct MIDIPacket MIDIPacket;

// Variable-length: numPackets packets follow each other, each starting at MIDIPacketNext of the one before.
struct MIDIPacketList
{
  UInt32 numPackets;
  MIDIPacket packet[1];
};
typedef struct MIDIPacketList MIDIPacketList;
#pragma pack(pop)

// The packet after `pkt`. On Intel machines packets follow each other unpadded, so the next one starts right
// after the last data byte and its fields may be unaligned (read them with memcpy); ARM machines round up to
// the next 4-byte boundary.
static inline MIDIPacket* MIDIPacketNext(const MIDIPacket* pkt)
{
  const Byte* bytes = (const Byte*)pkt;
  UInt16 length;
  __builtin_memcpy(&length, bytes + sizeof(MIDITimeStamp), sizeof(length));
  const Byte* end = bytes + sizeof(MIDITimeStamp) + sizeof(UInt16) + length;
#if defined(__arm__) || defined(__aarch64__) || defined(__arm64__)
  return (MIDIPacket*)(((uintptr_t)end + 3) & ~(uintptr_t)3);
#else
  return (MIDIPacket*)end;
#endif
}

CF_EXTERN_C_BEGIN

// [any thread] Empties the list and returns its first packet (the `curPacket` for the first
// MIDIPacketListAdd). Null list: null.
CF_EXPORT MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist);

// [any thread] Adds `nData` bytes stamped `time` to a list of `listSize` bytes (counted from the list's start).
// `curPacket` is the result of MIDIPacketListInit or of the previous add. As on the platform, bytes with the
// same time stamp as the current packet are appended to it when neither the current packet nor the new data
// starts a SysEx (0xF0) and the packet stays within 256 bytes; otherwise a new packet follows the current one.
// Returns the packet now holding the bytes (the next call's `curPacket`), or null, leaving the list unchanged,
// when they do not fit in `listSize`, when a packet would exceed 65535 bytes, when nData is 0 or data is null,
// or when `curPacket` is not the list's current packet position.
CF_EXPORT MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket,
                                        MIDITimeStamp time, ByteCount nData, const Byte* data);

CF_EXTERN_C_END

#ifdef __cplusplus
#include <stddef.h>
static_assert(sizeof(MIDIPacket) == 268, "MIDIPacket layout");
static_assert(offsetof(MIDIPacket, data) == 10, "MIDIPacket layout");
static_assert(offsetof(MIDIPacketList, packet) == 4, "MIDIPacketList layout");
static_assert(sizeof(MIDIPacketList) == 272, "MIDIPacketList layout");
#endif

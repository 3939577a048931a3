#pragma once

// MIDI and SysEx message records passed between the adapter, the processor and the editor. Records only: the
// queues copy IMidiMsg whole, so it stays trivially copyable.

#include <cstdint>
#include <type_traits>

namespace plugin
{

// One short MIDI message at a sample offset within the current block.
struct IMidiMsg
{
  int32_t mOffset = 0; // samples from the start of the block
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  constexpr IMidiMsg() = default;
  constexpr IMidiMsg(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2)
  : mOffset(offset), mStatus(status), mData1(data1), mData2(data2)
  {
  }
};

static_assert(std::is_trivially_copyable_v<IMidiMsg>);

// One SysEx message. The data belongs to the sender and is valid only during the call that hands it over.
struct ISysEx
{
  int32_t mOffset = 0;          // samples from the start of the block
  int32_t mSize = 0;            // bytes at mData
  const uint8_t* mData = nullptr;

  constexpr ISysEx() = default;
  constexpr ISysEx(int32_t offset, const uint8_t* data, int32_t size) : mOffset(offset), mSize(size), mData(data) {}
};

} // namespace plugin

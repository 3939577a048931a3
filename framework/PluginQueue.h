#pragma once

// A fixed-capacity ring between the audio side and the editor. One slot always stays free, so a queue of N slots
// holds N - 1 items; a push onto a full queue is dropped. Storage is allocated once, at construction.
//
// The consumer side is single-threaded. The producer side takes a short spin lock, because hosts may set
// parameters from two threads at once (the audio thread and a main-thread automation path); the lock is held
// only to copy one fixed-size record, and never by the consumer.

#include "graphics/Util.h"

#include <atomic>
#include <cstdint>

namespace plugin
{

template <class T>
class PluginQueue
{
public:
  // [main thread] size: the number of slots (capacity + 1).
  explicit PluginQueue(int size) { mBuffer.Resize(size < 2 ? 2 : size); }

  PluginQueue(const PluginQueue&) = delete;
  PluginQueue& operator=(const PluginQueue&) = delete;

  // [any producer thread] false when the queue was full and the item was dropped. Never allocates.
  bool Push(const T& item)
  {
    while (mProducerLock.test_and_set(std::memory_order_acquire))
    {
      // another producer is copying one record; wait for it
    }
    const uint64_t write = mWriteIndex.load(std::memory_order_relaxed);
    const uint64_t next = (write + 1) % Slots();
    const bool full = next == mReadIndex.load(std::memory_order_acquire);
    if (!full)
    {
      mBuffer.Get()[write] = item;
      mWriteIndex.store(next, std::memory_order_release);
    }
    mProducerLock.clear(std::memory_order_release);
    return !full;
  }

  // [consumer thread] false when the queue was empty.
  bool Pop(T& item)
  {
    const uint64_t read = mReadIndex.load(std::memory_order_relaxed);
    if (read == mWriteIndex.load(std::memory_order_acquire)) return false;
    item = mBuffer.Get()[read];
    mReadIndex.store((read + 1) % Slots(), std::memory_order_release);
    return true;
  }

  // [any thread] the number of items waiting (a snapshot).
  size_t ElementsAvailable() const
  {
    const uint64_t write = mWriteIndex.load(std::memory_order_acquire);
    const uint64_t read = mReadIndex.load(std::memory_order_acquire);
    return static_cast<size_t>(write >= read ? write - read : write - read + Slots());
  }

  uint64_t GetWriteIndex() const { return mWriteIndex.load(std::memory_order_acquire); }
  uint64_t GetReadIndex() const { return mReadIndex.load(std::memory_order_acquire); }

private:
  uint64_t Slots() const { return static_cast<uint64_t>(mBuffer.GetSize()); }

  Util_TypedBuf<T> mBuffer;
  std::atomic<uint64_t> mWriteIndex{0};
  std::atomic<uint64_t> mReadIndex{0};
  std::atomic_flag mProducerLock = ATOMIC_FLAG_INIT;
};

} // namespace plugin

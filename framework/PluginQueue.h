#pragma once

// A fixed-capacity ring between the audio side and the editor. One slot always stays free, so a queue of N slots
// holds N - 1 items; a push onto a full queue is dropped. Storage is allocated once, at construction.
//
// The consumer side is single-threaded. Hosts may set parameters from two threads at once (the audio thread and a
// main-thread automation path), so the producer side is guarded by a flag that a push only tries to take: a
// push that finds another producer inside is dropped like a push onto a full queue. A push never spins or waits,
// so the audio thread is never held up by a main-thread producer that was preempted mid-copy.

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

  // [any producer thread] false when the item was dropped: the queue was full, or another producer was pushing
  // at that moment. Never allocates, never waits.
  bool Push(const T& item)
  {
    if (mProducerLock.test_and_set(std::memory_order_acquire)) return false;
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
  friend struct PluginQueueProbe; // tests hold the producer side to stand for a preempted producer

  uint64_t Slots() const { return static_cast<uint64_t>(mBuffer.GetSize()); }

  Util_TypedBuf<T> mBuffer;
  std::atomic<uint64_t> mWriteIndex{0};
  std::atomic<uint64_t> mReadIndex{0};
  std::atomic_flag mProducerLock = ATOMIC_FLAG_INIT;
};

} // namespace plugin

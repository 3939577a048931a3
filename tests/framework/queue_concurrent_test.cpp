#include "framework/PluginQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using plugin::PluginQueue;

// Two producers (the audio thread and a host's automation thread) and one consumer (the idle timer).
TEST(PluginQueueConcurrent, TwoProducersOneConsumerLoseNothingAccepted)
{
  struct Item
  {
    int producer;
    int seq;
  };
  PluginQueue<Item> q(65);
  constexpr int kPerProducer = 20000;
  std::atomic<int> accepted{0};
  std::atomic<bool> done{false};

  auto produce = [&](int id) {
    for (int i = 0; i < kPerProducer; ++i)
    {
      while (!q.Push({id, i})) std::this_thread::yield();
      accepted.fetch_add(1, std::memory_order_relaxed);
    }
  };

  std::vector<int> lastSeq(2, -1);
  int popped = 0;
  std::thread consumer([&] {
    Item item;
    while (!done.load() || q.ElementsAvailable() > 0)
    {
      if (q.Pop(item))
      {
        ASSERT_TRUE(item.producer == 0 || item.producer == 1);
        EXPECT_GT(item.seq, lastSeq[item.producer]); // each producer's order is kept
        lastSeq[item.producer] = item.seq;
        ++popped;
      }
    }
  });
  std::thread p0(produce, 0), p1(produce, 1);
  p0.join();
  p1.join();
  done = true;
  consumer.join();
  EXPECT_EQ(popped, 2 * kPerProducer);
  EXPECT_EQ(accepted.load(), 2 * kPerProducer);
}

namespace plugin
{
struct PluginQueueProbe
{
  template <class T>
  static bool EnterProducer(PluginQueue<T>& q) { return !q.mProducerLock.test_and_set(std::memory_order_acquire); }
  template <class T>
  static void LeaveProducer(PluginQueue<T>& q) { q.mProducerLock.clear(std::memory_order_release); }
};
} // namespace plugin

// A producer preempted inside its push (here: another thread holds the producer side) must not hold up the other
// producer, which may be the audio thread: that push is dropped at once instead of waiting.
TEST(PluginQueueConcurrent, APushNeverWaitsForAnotherProducer)
{
  PluginQueue<int> q(9);
  std::atomic<bool> held{false}, release{false};
  std::thread preempted([&] {
    ASSERT_TRUE(plugin::PluginQueueProbe::EnterProducer(q));
    held = true;
    while (!release) std::this_thread::yield();
    plugin::PluginQueueProbe::LeaveProducer(q);
  });
  while (!held) std::this_thread::yield();
  EXPECT_FALSE(q.Push(2)); // returns, dropped, while the other producer is inside
  release = true;
  preempted.join();
  EXPECT_TRUE(q.Push(3));
  int item = 0;
  ASSERT_TRUE(q.Pop(item));
  EXPECT_EQ(item, 3);
  EXPECT_FALSE(q.Pop(item));
}

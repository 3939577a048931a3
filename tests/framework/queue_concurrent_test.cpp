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

// Disposal from inside calls on many threads at once, and after many threads came and went: each thread finds its
// own calls whatever their number, and a disposal asked for inside a call waits for the outermost one.

#include "framework/Lifetime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

using plugin::Lifetime;

namespace
{

struct Object
{
  Lifetime lifetime;
};

// On the calling thread: calls of `object` around a call of `shared`, the disposal asked for in the innermost one.
// It must wait for the outermost call of `object`. `between` runs with every call open. False on any miscount.
template <class Between>
bool DisposeInsideNestedCalls(Lifetime& shared, Between between)
{
  auto* object = new Object;
  bool ran = false, ok = !object->lifetime.InScope();
  {
    Lifetime::Scope outer(object->lifetime);
    {
      Lifetime::Scope other(shared);
      Lifetime::Scope inner(object->lifetime);
      between();
      ok = ok && object->lifetime.InScope() && shared.InScope();
      ok = ok && !object->lifetime.Dispose([&] {
        ran = true;
        delete object;
      });
    }
    ok = ok && !ran && object->lifetime.IsDisposing();
  }
  return ok && ran && !shared.InScope();
}

TEST(LifetimeConcurrent, MoreThreadsInsideCallsThanAnyTableHoldsAllDefer)
{
  constexpr int kThreads = 320;
  Lifetime shared;
  std::barrier allInside(kThreads);
  std::atomic<int> counted{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] {
      if (DisposeInsideNestedCalls(shared, [&] { allInside.arrive_and_wait(); })) counted.fetch_add(1);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counted.load(), kThreads);
}

// Waves of short-lived threads, each in calls while others end; then a thread started afresh.
TEST(LifetimeConcurrent, AfterThreadsCameAndWentAFreshThreadCountsRight)
{
  constexpr int kWaves = 40, kPerWave = 24;
  Lifetime shared;
  std::atomic<int> counted{0};
  for (int wave = 0; wave < kWaves; ++wave)
  {
    std::vector<std::thread> threads;
    for (int i = 0; i < kPerWave; ++i)
      threads.emplace_back([&] {
        if (DisposeInsideNestedCalls(shared, [] { std::this_thread::yield(); })) counted.fetch_add(1);
      });
    for (std::thread& t : threads) t.join();
  }
  EXPECT_EQ(counted.load(), kWaves * kPerWave);
  bool fresh = false;
  std::thread([&] { fresh = DisposeInsideNestedCalls(shared, [] {}) && DisposeInsideNestedCalls(shared, [] {}); })
    .join();
  EXPECT_TRUE(fresh);
}

} // namespace

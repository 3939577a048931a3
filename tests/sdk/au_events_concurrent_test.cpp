// The event sink and the storage registry under concurrent use (run under ThreadSanitizer in CI).
#include <AudioToolbox/AUTesting.h>
#include <CoreServices/CoreServices.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

TEST(AUEventsConcurrent, EveryNotificationIsKeptOrCountedAsDropped)
{
  ZQAUClearRecordedEvents();
  constexpr int kThreads = 4;
  constexpr UInt32 kPerThread = 2000;
  std::atomic<bool> done{false};
  size_t taken = 0;
  std::thread reader(
      [&]
      {
        std::vector<ZQAURecordedEvent> buffer(64);
        while (!done.load())
          taken += ZQAUTakeRecordedEvents(buffer.data(), buffer.size());
      });
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t)
  {
    writers.emplace_back(
        [t]
        {
          for (UInt32 i = 0; i < kPerThread; ++i)
          {
            AudioUnitEvent e{};
            e.mEventType = kAudioUnitEvent_ParameterValueChange;
            e.mArgument.mParameter.mParameterID = static_cast<UInt32>(t) * kPerThread + i;
            AUEventListenerNotify(nullptr, nullptr, &e);
          }
        });
  }
  for (auto& w : writers)
    w.join();
  done = true;
  reader.join();
  taken += ZQAUTakeAllRecordedEvents().size();
  EXPECT_EQ(taken + ZQAUDroppedEventCount(), static_cast<size_t>(kThreads) * kPerThread);
  ZQAUClearRecordedEvents();
}

TEST(AUStorageConcurrent, InstancesKeepTheirOwnStorage)
{
  constexpr int kThreads = 4;
  std::vector<int> instances(kThreads), storage(kThreads);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
  {
    threads.emplace_back(
        [&, t]
        {
          const auto ci = reinterpret_cast<ComponentInstance>(&instances[t]);
          for (int i = 0; i < 2000; ++i)
          {
            SetComponentInstanceStorage(ci, (i & 1) ? reinterpret_cast<Handle>(&storage[t]) : nullptr);
            const Handle got = GetComponentInstanceStorage(ci);
            if (got != ((i & 1) ? reinterpret_cast<Handle>(&storage[t]) : nullptr)) ++mismatches;
          }
          SetComponentInstanceStorage(ci, nullptr);
        });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

} // namespace

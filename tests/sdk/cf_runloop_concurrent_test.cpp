// Timers created, released and invalidated on one thread while another pumps the run loop.
#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{

struct Shared
{
  std::atomic<int> retains{0};
  std::atomic<int> releases{0};
  std::atomic<int> callouts{0};
};

const void* Retain(const void* info)
{
  const_cast<Shared*>(static_cast<const Shared*>(info))->retains.fetch_add(1);
  return info;
}
void Release(const void* info)
{
  const_cast<Shared*>(static_cast<const Shared*>(info))->releases.fetch_add(1);
}

void Callout(CFRunLoopTimerRef timer, void* info)
{
  auto* s = static_cast<Shared*>(info);
  // Every seventh callout stops its own timer from inside.
  if (s->callouts.fetch_add(1) % 7 == 0) CFRunLoopTimerInvalidate(timer);
}

// Creates, schedules, releases and invalidates timers until `count` were made.
void Churn(Shared& shared, int count)
{
  std::vector<CFRunLoopTimerRef> kept;
  for (int i = 0; i < count; ++i)
  {
    CFRunLoopTimerContext ctx = {0, &shared, Retain, Release, nullptr};
    const double interval = (i % 3 == 0) ? 0 : 0.001 * (1 + i % 5);
    CFRunLoopTimerRef t =
        CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + 0.0005 * (i % 4), interval, 0, 0, Callout, &ctx);
    CFRunLoopAddTimer(CFRunLoopGetMain(), t, (i % 2) ? kCFRunLoopCommonModes : kCFRunLoopDefaultMode);
    switch (i % 4)
    {
    case 0: // the run loop alone owns it
      CFRelease(t);
      break;
    case 1: // stopped at once
      CFRunLoopTimerInvalidate(t);
      CFRelease(t);
      break;
    default: // stopped later, possibly while it fires
      kept.push_back(t);
      break;
    }
    if (kept.size() > 8)
    {
      CFRunLoopTimerRef old = kept.front();
      kept.erase(kept.begin());
      CFRunLoopTimerInvalidate(old);
      CFRelease(old);
    }
    if (i % 16 == 0) std::this_thread::yield();
  }
  for (CFRunLoopTimerRef t : kept)
  {
    CFRunLoopTimerInvalidate(t);
    CFRelease(t);
  }
}

// The same churn against a pump on the virtual clock and against the real run loop.
TEST(CFRunLoopConcurrent, PumpAgainstChurn)
{
  for (bool virtualClock : {true, false})
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(virtualClock);
    if (virtualClock) ZQCFSetClock(500.0);
    Shared shared;
    std::atomic<bool> done{false};
    std::thread pump(
        [&]
        {
          while (!done.load())
            virtualClock ? (void)ZQCFAdvanceClock(0.001) : (void)CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.002, false);
        });
    Churn(shared, 2000);
    done.store(true);
    CFRunLoopWakeUp(CFRunLoopGetMain());
    pump.join();
    ZQCFInvalidateAllTimers();
    EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
    EXPECT_EQ(shared.retains.load(), 2000);
    EXPECT_EQ(shared.retains.load(), shared.releases.load()) << "virtual clock " << virtualClock;
  }
}

TEST(CFRunLoopConcurrent, StopFromAnotherThreadEndsRun)
{
  ZQCFInvalidateAllTimers();
  Shared shared;
  CFRunLoopTimerContext ctx = {0, &shared, Retain, Release, nullptr};
  // A timer far away keeps the loop from finishing on its own.
  CFRunLoopTimerRef far = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + 3600, 0, 0, 0, Callout, &ctx);
  CFRunLoopAddTimer(CFRunLoopGetMain(), far, kCFRunLoopDefaultMode);
  std::atomic<bool> started{false};
  std::thread runner(
      [&]
      {
        started.store(true);
        CFRunLoopRun();
      });
  while (!started.load())
    std::this_thread::yield();
  CFRunLoopStop(CFRunLoopGetMain()); // before or during the run: either way it returns
  runner.join();
  CFRunLoopTimerInvalidate(far);
  CFRelease(far);
  EXPECT_EQ(shared.retains.load(), shared.releases.load());
}

} // namespace

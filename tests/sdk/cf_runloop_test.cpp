// Run-loop timers under the virtual clock: dates and order, cadence, invalidation inside callouts.
#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace
{

constexpr double kStart = 1000.0;

class CFRunLoopTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(true);
    ZQCFSetClock(kStart);
  }
  void TearDown() override
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(false);
  }
};

// What a callout saw: the timer's name and the clock.
struct Log
{
  std::vector<std::string> names;
  std::vector<double> times;
  int retains = 0;
  int releases = 0;
};

struct Probe
{
  Log* log;
  std::string name;
  int invalidateAfter = 0;           // invalidate itself on this firing (0: never)
  CFRunLoopTimerRef other = nullptr; // invalidated on the first firing
  int fired = 0;
};

void Callout(CFRunLoopTimerRef timer, void* info)
{
  auto* p = static_cast<Probe*>(info);
  ++p->fired;
  p->log->names.push_back(p->name);
  p->log->times.push_back(CFAbsoluteTimeGetCurrent());
  if (p->invalidateAfter && p->fired == p->invalidateAfter) CFRunLoopTimerInvalidate(timer);
  if (p->other) CFRunLoopTimerInvalidate(p->other);
}

const void* ProbeRetain(const void* info)
{
  ++static_cast<const Probe*>(info)->log->retains;
  return info;
}
void ProbeRelease(const void* info)
{
  ++static_cast<const Probe*>(info)->log->releases;
}

CFRunLoopTimerRef Schedule(Probe& p, double fireDate, double interval, CFRunLoopMode mode = kCFRunLoopCommonModes,
                           bool invalidateFirst = false)
{
  CFRunLoopTimerContext ctx = {0, &p, ProbeRetain, ProbeRelease, nullptr};
  CFRunLoopTimerRef t = CFRunLoopTimerCreate(nullptr, fireDate, interval, 0, 0, Callout, &ctx);
  if (invalidateFirst) CFRunLoopTimerInvalidate(t);
  CFRunLoopAddTimer(CFRunLoopGetMain(), t, mode);
  return t;
}

TEST_F(CFRunLoopTest, OneShotsFireAtTheirDatesInOrderThenAreInvalid)
{
  Log log;
  Probe p3{&log, "at3"}, p1{&log, "at1"}, p2a{&log, "at2a"}, p2b{&log, "at2b"};
  CFRunLoopTimerRef t = Schedule(p3, kStart + 3, 0);
  for (CFRunLoopTimerRef other : {Schedule(p1, kStart + 1, 0), Schedule(p2a, kStart + 2, 0), Schedule(p2b, kStart + 2, 0)})
    CFRelease(other); // the run loop keeps them
  EXPECT_EQ(ZQCFAdvanceClock(0.5), 0);
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), kStart + 0.5);
  EXPECT_EQ(ZQCFAdvanceClock(3), 4);
  // Date order, then creation order; the clock reads the fire date during each callout.
  EXPECT_EQ(log.names, (std::vector<std::string>{"at1", "at2a", "at2b", "at3"}));
  EXPECT_EQ(log.times, (std::vector<double>{kStart + 1, kStart + 2, kStart + 2, kStart + 3}));
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), kStart + 3.5);
  EXPECT_FALSE(CFRunLoopTimerIsValid(t));
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  EXPECT_EQ(log.releases, 4);
  EXPECT_EQ(CFGetRetainCount(t), 1); // only the creator's reference is left
  CFRelease(t);
  EXPECT_EQ(log.releases, 4);
}

TEST_F(CFRunLoopTest, RepeatingTimerKeepsItsCadence)
{
  // The idle-timer pattern: first firing now, every 20 ms, owned only by the run loop.
  Log log;
  Probe p{&log, "tick"};
  CFRunLoopTimerRef t = Schedule(p, CFAbsoluteTimeGetCurrent(), 0.02);
  EXPECT_EQ(ZQCFAdvanceClock(0), 1); // due now
  EXPECT_EQ(ZQCFAdvanceClock(1.0), 50);
  for (int k = 0; k <= 50; ++k)
    EXPECT_NEAR(log.times[static_cast<size_t>(k)], kStart + 0.02 * k, 1e-9);
  EXPECT_NEAR(CFRunLoopTimerGetNextFireDate(t), kStart + 1.02, 1e-9);
  CFRunLoopTimerInvalidate(t);
  CFRunLoopTimerInvalidate(t); // a second call does nothing
  EXPECT_EQ(log.releases, 1);
  EXPECT_EQ(CFGetRetainCount(t), 1);
  CFRelease(t);
  EXPECT_EQ(ZQCFAdvanceClock(1.0), 0);
}

TEST_F(CFRunLoopTest, InvalidationInsideCallouts)
{
  Log log;
  Probe self{&log, "self", 3};
  CFRunLoopTimerRef a = Schedule(self, kStart + 1, 1);
  Probe victim{&log, "victim"};
  CFRunLoopTimerRef b = Schedule(victim, kStart + 2, 1);
  Probe killer{&log, "killer"};
  CFRunLoopTimerRef c = Schedule(killer, kStart + 2, 0); // created after b: fires after b at the same date
  killer.other = b;
  CFRelease(a);
  CFRelease(c); // the run loop keeps both alive
  ZQCFAdvanceClock(10);
  EXPECT_EQ(std::make_tuple(self.fired, victim.fired, killer.fired), std::make_tuple(3, 1, 1));
  EXPECT_FALSE(CFRunLoopTimerIsValid(b));
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  EXPECT_EQ(std::make_pair(log.retains, log.releases), std::make_pair(3, 3)); // each once, after its last callout
  CFRelease(b);

  // An invalidated timer is not scheduled; its info is released once.
  Probe early{&log, "early"};
  CFRunLoopTimerRef t = Schedule(early, kStart, 0, kCFRunLoopCommonModes, true);
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  CFRelease(t);
  EXPECT_EQ(std::make_pair(log.retains, log.releases), std::make_pair(4, 4));
}

} // namespace

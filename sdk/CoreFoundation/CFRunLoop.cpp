// CoreFoundation run loop: one process-wide loop of timers, pumped by whichever thread runs it, on the wall
// clock or on a virtual clock that tests move.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFTesting.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cfloat>
#include <condition_variable>
#include <cstdio>
#include <mutex>

using namespace zqcf;

ZQCF_CONSTANT_STRING(kCFRunLoopDefaultMode, "kCFRunLoopDefaultMode");
ZQCF_CONSTANT_STRING(kCFRunLoopCommonModes, "kCFRunLoopCommonModes");

struct __CFRunLoop : Object
{
  static constexpr CFTypeID kTypeID = kTypeRunLoop;
  constexpr __CFRunLoop() : Object(kTypeID, true) {}
  std::string Describe() const override { return "<CFRunLoop main>"; }
};

struct __CFRunLoopTimer : Object
{
  static constexpr CFTypeID kTypeID = kTypeRunLoopTimer;
  __CFRunLoopTimer() : Object(kTypeID, false) {}
  ~__CFRunLoopTimer() override
  {
    if (!infoReleased && context.release) context.release(context.info);
  }
  std::string Describe() const override
  {
    char text[96];
    std::snprintf(text, sizeof text, "<CFRunLoopTimer %p interval %g>", static_cast<const void*>(this), interval);
    return text;
  }

  // Fixed at creation.
  CFRunLoopTimerCallBack callout = nullptr;
  CFRunLoopTimerContext context = {0, nullptr, nullptr, nullptr, nullptr};
  double interval = 0;   // > 0: repeating
  uint64_t sequence = 0; // creation order: breaks ties between equal fire dates

  // Guarded by the loop's mutex.
  double anchor = 0; // fire date n is anchor + n * interval (no drift from repeated addition)
  double count = 0;
  double fireDate = 0;
  std::vector<std::string> modes; // scheduled while not empty; the loop then holds one reference
  bool firing = false;
  bool dateSetDuringCallout = false;
  bool infoReleased = false;
  bool releaseInfoAfterCallout = false;

  std::atomic<bool> valid{true};
};

namespace
{

constinit Immortal<__CFRunLoop> gRunLoop{};

constexpr double kForever = 1.0e10;

struct LoopState
{
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<__CFRunLoopTimer*> timers; // scheduled timers
  bool stopRequested = false;
  std::atomic<bool> virtualClock{false};
  std::atomic<double> virtualNow{0};
  std::atomic<uint64_t> nextSequence{0};
};

// Never destroyed: timers may be touched from exit handlers of other libraries.
LoopState& State()
{
  static LoopState* state = new LoopState;
  return *state;
}

double WallClock()
{
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count() - kCFAbsoluteTimeIntervalSince1970;
}

__CFRunLoopTimer* Timer(CFRunLoopTimerRef t)
{
  return CastMutable<__CFRunLoopTimer>(t);
}

// Timers in the common modes also run in the default mode.
std::string ModeName(CFRunLoopMode mode)
{
  std::string name(StringView(mode));
  if (name == StringView(kCFRunLoopCommonModes)) return std::string(StringView(kCFRunLoopDefaultMode));
  return name;
}

bool InMode(const __CFRunLoopTimer& t, const std::string& mode)
{
  const std::string_view common = StringView(kCFRunLoopCommonModes);
  const bool isDefault = mode == StringView(kCFRunLoopDefaultMode);
  for (const std::string& m : t.modes)
    if (m == mode || (isDefault && m == common)) return true;
  return false;
}

// [locked] The due timer with the earliest fire date (then the earliest created), or null.
__CFRunLoopTimer* NextDue(LoopState& s, const std::string& mode, double limit)
{
  __CFRunLoopTimer* best = nullptr;
  for (__CFRunLoopTimer* t : s.timers)
  {
    if (t->firing || !InMode(*t, mode) || !(t->fireDate <= limit)) continue;
    if (!best || t->fireDate < best->fireDate || (t->fireDate == best->fireDate && t->sequence < best->sequence))
      best = t;
  }
  return best;
}

// [locked]
bool HasTimers(LoopState& s, const std::string& mode)
{
  for (const __CFRunLoopTimer* t : s.timers)
    if (InMode(*t, mode)) return true;
  return false;
}

// [locked] The earliest fire date of a timer that may fire in the mode, or kForever.
double EarliestFireDate(LoopState& s, const std::string& mode)
{
  double earliest = kForever * 10;
  for (const __CFRunLoopTimer* t : s.timers)
    if (!t->firing && InMode(*t, mode) && t->fireDate < earliest) earliest = t->fireDate;
  return earliest;
}

// Fires one timer chosen under the lock: the callout runs unlocked; afterwards a repeating timer moves to
// its next fire date after now (missed firings are skipped), a one-shot timer is invalidated.
void Fire(LoopState& s, std::unique_lock<std::mutex>& lock, __CFRunLoopTimer* t)
{
  t->firing = true;
  t->dateSetDuringCallout = false;
  CFRetain(t);
  lock.unlock();
  t->callout(t, t->context.info);
  lock.lock();
  t->firing = false;
  // An invalidation during the callout left the info to be released here, once the callout is done with it.
  const bool releaseInfo = t->releaseInfoAfterCallout;
  t->releaseInfoAfterCallout = false;
  bool invalidate = false;
  if (t->valid.load() && !t->dateSetDuringCallout)
  {
    if (t->interval > 0)
    {
      const double now = CFAbsoluteTimeGetCurrent();
      t->count += 1;
      t->fireDate = t->anchor + t->count * t->interval;
      if (t->fireDate <= now)
      {
        t->count = std::floor((now - t->anchor) / t->interval) + 1;
        t->fireDate = t->anchor + t->count * t->interval;
      }
    }
    else
    {
      invalidate = true;
    }
  }
  s.wake.notify_all();
  lock.unlock();
  if (releaseInfo) t->context.release(t->context.info);
  if (invalidate) CFRunLoopTimerInvalidate(t);
  CFRelease(t);
  lock.lock();
}

// Timers due within this of the target fire with it: the target is often a sum of steps, the fire date a
// product, and the two differ in the last bits.
double Tolerance(double target)
{
  return 1e-9 + std::fabs(target) * 64 * DBL_EPSILON;
}

struct Pump
{
  CFRunLoopRunResult result = kCFRunLoopRunTimedOut;
  int fired = 0;

  Pump& End(CFRunLoopRunResult why)
  {
    result = why;
    return *this;
  }
};

// [locked] Takes a pending CFRunLoopStop; advancing the test clock leaves it for the next run.
bool TakeStop(LoopState& s, bool forAdvance)
{
  if (forAdvance || !s.stopRequested) return false;
  s.stopRequested = false;
  return true;
}

// Virtual clock: moves through the due fire dates up to now + seconds without waiting.
Pump RunVirtual(const std::string& mode, double seconds, bool returnAfterSourceHandled, bool forAdvance)
{
  LoopState& s = State();
  Pump pump;
  std::unique_lock<std::mutex> lock(s.mutex);
  const double target = s.virtualNow.load() + std::max(0.0, seconds);
  if (!forAdvance && !HasTimers(s, mode)) return pump.End(kCFRunLoopRunFinished);
  for (;;)
  {
    if (TakeStop(s, forAdvance)) return pump.End(kCFRunLoopRunStopped);
    __CFRunLoopTimer* t = NextDue(s, mode, target + Tolerance(target));
    if (!t) break;
    // During the callout the clock reads the fire date.
    if (t->fireDate > s.virtualNow.load()) s.virtualNow.store(t->fireDate);
    Fire(s, lock, t);
    ++pump.fired;
    if (returnAfterSourceHandled) return pump.End(kCFRunLoopRunHandledSource);
    if (!forAdvance && !HasTimers(s, mode))
    {
      pump.result = kCFRunLoopRunFinished;
      break;
    }
  }
  if (target > s.virtualNow.load()) s.virtualNow.store(target);
  return pump;
}

// Wall clock: fires due timers and sleeps until the next one or the deadline.
Pump RunReal(const std::string& mode, double seconds, bool returnAfterSourceHandled, bool forAdvance)
{
  LoopState& s = State();
  Pump pump;
  std::unique_lock<std::mutex> lock(s.mutex);
  const double deadline = WallClock() + std::min(std::max(0.0, seconds), kForever);
  if (!forAdvance && !HasTimers(s, mode)) return pump.End(kCFRunLoopRunFinished);
  for (;;)
  {
    if (TakeStop(s, forAdvance)) return pump.End(kCFRunLoopRunStopped);
    const double now = WallClock();
    if (__CFRunLoopTimer* t = NextDue(s, mode, now))
    {
      Fire(s, lock, t);
      ++pump.fired;
      if (returnAfterSourceHandled) return pump.End(kCFRunLoopRunHandledSource);
      continue;
    }
    if (forAdvance || now >= deadline) return pump;
    if (!HasTimers(s, mode)) return pump.End(kCFRunLoopRunFinished);
    const double until = std::min(EarliestFireDate(s, mode), deadline);
    s.wake.wait_for(lock, std::chrono::duration<double>(std::max(0.0, until - now)));
  }
}

Pump Run(const std::string& mode, double seconds, bool returnAfterSourceHandled, bool forAdvance)
{
  if (std::isnan(seconds)) seconds = 0;
  if (State().virtualClock.load()) return RunVirtual(mode, seconds, returnAfterSourceHandled, forAdvance);
  return RunReal(mode, seconds, returnAfterSourceHandled, forAdvance);
}

} // namespace

// ---- Clock ----

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void)
{
  LoopState& s = State();
  return s.virtualClock.load() ? s.virtualNow.load() : WallClock();
}

// ---- Run loop ----

CFTypeID CFRunLoopGetTypeID(void)
{
  return kTypeRunLoop;
}
CFTypeID CFRunLoopTimerGetTypeID(void)
{
  return kTypeRunLoopTimer;
}
CFRunLoopRef CFRunLoopGetMain(void)
{
  return &gRunLoop.value;
}
CFRunLoopRef CFRunLoopGetCurrent(void)
{
  return &gRunLoop.value;
}

CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled)
{
  if (CFGetTypeID(mode) != kTypeString) return kCFRunLoopRunFinished;
  return Run(ModeName(mode), seconds, returnAfterSourceHandled, false).result;
}

void CFRunLoopRun(void)
{
  for (;;)
  {
    const CFRunLoopRunResult r = CFRunLoopRunInMode(kCFRunLoopDefaultMode, kForever, false);
    if (r == kCFRunLoopRunStopped || r == kCFRunLoopRunFinished) return;
  }
}

void CFRunLoopStop(CFRunLoopRef rl)
{
  if (!Cast<__CFRunLoop>(rl)) return;
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.stopRequested = true;
  s.wake.notify_all();
}

void CFRunLoopWakeUp(CFRunLoopRef rl)
{
  if (Cast<__CFRunLoop>(rl)) State().wake.notify_all();
}

// ---- Timers ----

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval, CFOptionFlags,
                                       CFIndex, CFRunLoopTimerCallBack callout, CFRunLoopTimerContext* context)
{
  if (!callout) return nullptr;
  auto* t = new __CFRunLoopTimer;
  t->callout = callout;
  if (context)
  {
    t->context = *context;
    if (t->context.retain && t->context.info) t->context.info = const_cast<void*>(t->context.retain(t->context.info));
  }
  t->interval = (std::isfinite(interval) && interval > 0) ? interval : 0;
  t->sequence = State().nextSequence.fetch_add(1);
  t->anchor = t->fireDate = fireDate;
  return t;
}

void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!Cast<__CFRunLoop>(rl) || !t || CFGetTypeID(mode) != kTypeString) return;
  const std::string name(StringView(mode));
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!t->valid.load()) return;
  if (t->modes.empty())
  {
    CFRetain(t);
    s.timers.push_back(t);
  }
  if (std::find(t->modes.begin(), t->modes.end(), name) == t->modes.end()) t->modes.push_back(name);
  s.wake.notify_all();
}

void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!Cast<__CFRunLoop>(rl) || !t || CFGetTypeID(mode) != kTypeString) return;
  const std::string name(StringView(mode));
  LoopState& s = State();
  bool unscheduled = false;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = std::find(t->modes.begin(), t->modes.end(), name);
    if (it == t->modes.end()) return;
    t->modes.erase(it);
    if (t->modes.empty())
    {
      s.timers.erase(std::find(s.timers.begin(), s.timers.end(), t));
      unscheduled = true;
    }
  }
  if (unscheduled) CFRelease(t);
}

Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!Cast<__CFRunLoop>(rl) || !t || CFGetTypeID(mode) != kTypeString) return false;
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return InMode(*t, ModeName(mode));
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!t) return;
  LoopState& s = State();
  bool unscheduled = false;
  void (*release)(const void*) = nullptr;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!t->valid.exchange(false)) return;
    if (!t->modes.empty())
    {
      t->modes.clear();
      s.timers.erase(std::find(s.timers.begin(), s.timers.end(), t));
      unscheduled = true;
    }
    if (!t->infoReleased && t->context.release)
    {
      t->infoReleased = true;
      if (t->firing)
        t->releaseInfoAfterCallout = true; // the callout running on another thread still uses the info
      else
        release = t->context.release;
    }
  }
  if (release) release(t->context.info);
  if (unscheduled) CFRelease(t);
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer)
{
  __CFRunLoopTimer* t = Timer(timer);
  return t && t->valid.load();
}

CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!t) return 0;
  std::lock_guard<std::mutex> lock(State().mutex);
  return t->fireDate;
}

void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (!t) return;
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!t->valid.load()) return;
  t->anchor = t->fireDate = fireDate;
  t->count = 0;
  if (t->firing) t->dateSetDuringCallout = true;
  s.wake.notify_all();
}

CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer)
{
  __CFRunLoopTimer* t = Timer(timer);
  return t ? t->interval : 0;
}

Boolean CFRunLoopTimerDoesRepeat(CFRunLoopTimerRef timer)
{
  __CFRunLoopTimer* t = Timer(timer);
  return t && t->interval > 0;
}

void CFRunLoopTimerGetContext(CFRunLoopTimerRef timer, CFRunLoopTimerContext* context)
{
  __CFRunLoopTimer* t = Timer(timer);
  if (t && context) *context = t->context;
}

// ---- Test controls ----

void ZQCFUseVirtualClock(bool on)
{
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (on && !s.virtualClock.load()) s.virtualNow.store(WallClock());
  s.virtualClock.store(on);
  s.wake.notify_all();
}

bool ZQCFIsVirtualClock(void)
{
  return State().virtualClock.load();
}

void ZQCFSetClock(CFAbsoluteTime now)
{
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.virtualNow.store(now);
}

int ZQCFAdvanceClock(CFTimeInterval seconds)
{
  return Run(std::string(StringView(kCFRunLoopDefaultMode)), seconds, false, true).fired;
}

int ZQCFScheduledTimerCount(void)
{
  LoopState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.timers.size());
}

void ZQCFInvalidateAllTimers(void)
{
  LoopState& s = State();
  std::vector<__CFRunLoopTimer*> all;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    all = s.timers;
    for (__CFRunLoopTimer* t : all)
      CFRetain(t);
  }
  for (__CFRunLoopTimer* t : all)
  {
    CFRunLoopTimerInvalidate(t);
    CFRelease(t);
  }
}

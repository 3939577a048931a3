#include "framework/Timer.h"

#include <CoreFoundation/CoreFoundation.h>

namespace plugin
{

Timer* Timer::Create(ITimerFunction func, int intervalMs)
{
  return new Timer_impl(std::move(func), intervalMs);
}

Timer_impl::Timer_impl(ITimerFunction func, int intervalMs) : mTimerFunc(std::move(func)), mIntervalMs(intervalMs)
{
  CFRunLoopTimerContext context = {0, this, nullptr, nullptr, nullptr};
  CFRunLoopTimerRef timer =
    CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent(), intervalMs / 1000.0, 0, 0,
                         [](CFRunLoopTimerRef ref, void* info) { TimerProc(ref, info); }, &context);
  if (timer)
  {
    CFRunLoopAddTimer(CFRunLoopGetMain(), timer, kCFRunLoopCommonModes);
    mTimerRef = timer;
  }
}

Timer_impl::~Timer_impl()
{
  Stop();
}

void Timer_impl::Stop()
{
  if (!mTimerRef) return;
  auto timer = static_cast<CFRunLoopTimerRef>(mTimerRef);
  mTimerRef = nullptr;
  CFRunLoopTimerInvalidate(timer);
  CFRelease(timer);
}

void Timer_impl::TimerProc(void*, void* info)
{
  auto* self = static_cast<Timer_impl*>(info);
  // Called from a copy: the callback may delete this timer (its owner is disposed of inside the tick).
  const ITimerFunction func = self->mTimerFunc;
  func(*self); // an empty callback throws std::bad_function_call, as it should
}

} // namespace plugin

// CoreFoundation run loop (CFRunLoop) with timers (CFRunLoopTimer).
//
// The process has ONE run loop: CFRunLoopGetMain and CFRunLoopGetCurrent return it on every thread, and
// timers fire on whichever thread pumps it (CFRunLoopRunInMode, CFRunLoopRun, or ZQCFAdvanceClock under the
// virtual clock). Scheduling and invalidation are safe from any thread and from inside a callout; callouts
// run without any internal lock held.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDate.h>

typedef CFStringRef CFRunLoopMode;

typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);
typedef struct
{
  CFIndex version;
  void* info;
  const void* (*retain)(const void* info);
  void (*release)(const void* info);
  CFStringRef (*copyDescription)(const void* info);
} CFRunLoopTimerContext;

typedef SInt32 CFRunLoopRunResult;
enum
{
  kCFRunLoopRunFinished = 1,      // no timers in the mode
  kCFRunLoopRunStopped = 2,       // CFRunLoopStop
  kCFRunLoopRunTimedOut = 3,      // the time ran out
  kCFRunLoopRunHandledSource = 4, // a timer fired and returnAfterSourceHandled was set
};

CF_EXTERN_C_BEGIN

// The default mode; timers added to the common modes fire in it as well.
CF_EXPORT const CFRunLoopMode kCFRunLoopDefaultMode;
CF_EXPORT const CFRunLoopMode kCFRunLoopCommonModes;

CF_EXPORT CFTypeID CFRunLoopGetTypeID(void);
CF_EXPORT CFTypeID CFRunLoopTimerGetTypeID(void);

// [any thread] Not owned; never freed.
CF_EXPORT CFRunLoopRef CFRunLoopGetMain(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetCurrent(void);

// [any thread] Pumps the run loop for `seconds` (real or virtual), firing due timers of `mode` in fire-date
// order on the calling thread. Under the virtual clock, the clock advances by `seconds` (up to the first
// firing when returnAfterSourceHandled). Result: kCFRunLoopRun*.
CF_EXPORT CFRunLoopRunResult CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds,
                                                Boolean returnAfterSourceHandled);
// Pumps the default mode until CFRunLoopStop or until no timer is left.
CF_EXPORT void CFRunLoopRun(void);
// Makes the current (or next) pump return kCFRunLoopRunStopped.
CF_EXPORT void CFRunLoopStop(CFRunLoopRef rl);
CF_EXPORT void CFRunLoopWakeUp(CFRunLoopRef rl);

// [any thread] Creates a timer (caller owns) first firing at fireDate, then every `interval` seconds
// (interval ≤ 0: once). context is copied; its retain is called on info now and its release when the timer
// is invalidated or freed. flags and order are ignored (as on the platform).
CF_EXPORT CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                                 CFTimeInterval interval, CFOptionFlags flags, CFIndex order,
                                                 CFRunLoopTimerCallBack callout, CFRunLoopTimerContext* context);
// The run loop retains the timer until it is invalidated or removed from all modes. An invalid timer is not added.
CF_EXPORT void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
CF_EXPORT void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
CF_EXPORT Boolean CFRunLoopContainsTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFRunLoopMode mode);
// Stops the timer for good (also from inside its own callout): removed from the run loop, never fires again.
CF_EXPORT void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
CF_EXPORT Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
CF_EXPORT CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);
CF_EXPORT void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate);
CF_EXPORT CFTimeInterval CFRunLoopTimerGetInterval(CFRunLoopTimerRef timer);
CF_EXPORT Boolean CFRunLoopTimerDoesRepeat(CFRunLoopTimerRef timer);
CF_EXPORT void CFRunLoopTimerGetContext(CFRunLoopTimerRef timer, CFRunLoopTimerContext* context);

CF_EXTERN_C_END

// Controls of the stand-in CoreFoundation for tests and host tools: the virtual clock and the main bundle.
// Not part of the platform API.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

// [any thread] Switches CFAbsoluteTimeGetCurrent and the run loop to a virtual clock that only moves when
// told to. Turning it on from off starts it at the current wall-clock time; off returns to the wall clock.
CF_EXPORT void ZQCFUseVirtualClock(bool on);
CF_EXPORT bool ZQCFIsVirtualClock(void);
// [any thread] Sets the virtual clock (fires nothing; the next pump fires what is due).
CF_EXPORT void ZQCFSetClock(CFAbsoluteTime now);
// [any thread] Moves the virtual clock forward by `seconds` (< 0 treated as 0), firing on the calling thread,
// in fire-date order, every default-mode timer that comes due; during each callout the clock reads the fire
// date. Returns the number of callouts made. Without the virtual clock: fires what is due now and returns.
CF_EXPORT int ZQCFAdvanceClock(CFTimeInterval seconds);
// [any thread] Number of valid timers scheduled in the run loop.
CF_EXPORT int ZQCFScheduledTimerCount(void);
// [any thread] Invalidates every scheduled timer (between tests).
CF_EXPORT void ZQCFInvalidateAllTimers(void);

// [main thread] Sets the folder of the main bundle (e.g. "/path/Host.app"); null or "" unsets it.
// Bundles previously returned by CFBundleGetMainBundle stay valid until the process ends.
CF_EXPORT void ZQCFSetMainBundlePath(const char* folder);

// [any thread] Roots the system's own folders: the stand-in's image and property-list readers take a path
// under "/System/" from under that folder instead ("/System/Library/x" reads folder + "/System/Library/x"),
// as the user's folders resolve under $HOME. Null or "" reads the system folders where they are.
CF_EXPORT void ZQCFSetSystemRoot(const char* folder);

CF_EXTERN_C_END

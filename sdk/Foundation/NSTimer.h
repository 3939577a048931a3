// NSTimer and NSRunLoop on the CoreFoundation run loop, so the stand-in's virtual clock drives them
// (ZQCFAdvanceClock / ZQAppKitAdvanceClock).
#pragma once

#include <Foundation/Foundation.h>

typedef double NSTimeInterval;

// Run-loop modes (compare with isEqualToString).
extern NSString* const NSDefaultRunLoopMode;
extern NSString* const NSRunLoopCommonModes;
extern NSString* const NSEventTrackingRunLoopMode;
extern NSString* const NSModalPanelRunLoopMode;

// A timer retains its target (and user info) until it is invalidated; a scheduled timer is retained by the run
// loop until it is invalidated (a non-repeating timer invalidates itself after it fires). The selector receives
// the timer. An interval ≤ 0 is taken as 0.1 ms, as on the platform. [the thread that pumps the run loop]: as on
// the platform, a timer is invalidated on the thread it runs on.
class NSTimer : public NSObject
{
public:
  // Not scheduled; add it with NSRunLoop::addTimer_forMode. Autoreleased.
  static NSTimer* timerWithTimeInterval_target_selector_userInfo_repeats(NSTimeInterval interval, NSObject* target,
                                                                         SEL selector, NSObject* userInfo,
                                                                         BOOL repeats);
  // Scheduled on the current run loop in the default mode. Autoreleased.
  static NSTimer* scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(NSTimeInterval interval,
                                                                                  NSObject* target, SEL selector,
                                                                                  NSObject* userInfo, BOOL repeats);
  // Block forms. Autoreleased.
  static NSTimer* timerWithTimeInterval_repeats_block(NSTimeInterval interval, BOOL repeats,
                                                      std::function<void(NSTimer*)> block);
  static NSTimer* scheduledTimerWithTimeInterval_repeats_block(NSTimeInterval interval, BOOL repeats,
                                                               std::function<void(NSTimer*)> block);

  // Stops the timer for good (also from inside its own firing): removed from the run loop, target released.
  void invalidate();
  BOOL isValid() const;
  // Fires now without changing the schedule (a non-repeating timer is invalidated).
  void fire();
  NSTimeInterval timeInterval() const { return mRepeats ? mInterval : 0.0; }
  NSObject* userInfo() const { return mUserInfo; }
  // The next firing in CFAbsoluteTime seconds (0 when not scheduled).
  CFAbsoluteTime fireDateAbsolute() const;
  void setTolerance(NSTimeInterval t) { mTolerance = t; }
  NSTimeInterval tolerance() const { return mTolerance; }

protected:
  ~NSTimer() override;

private:
  friend class NSRunLoop;
  NSTimer() = default;
  static void Callout(CFRunLoopTimerRef timer, void* info);
  static const void* RetainInfo(const void* info);
  static void ReleaseInfo(const void* info);
  void Schedule(CFRunLoopMode mode);

  NSTimeInterval mInterval = 0.0;
  NSTimeInterval mTolerance = 0.0;
  bool mRepeats = false;
  std::atomic<bool> mValid{true};
  NSObject* mTarget = nullptr;   // retained while valid
  SEL mSelector;
  NSObject* mUserInfo = nullptr; // retained while valid
  std::function<void(NSTimer*)> mBlock;
  CFRunLoopTimerRef mCFTimer = nullptr; // made when first scheduled; owned by the run loop
};

class NSRunLoop : public NSObject
{
public:
  // The process has one run loop (see CFRunLoop.h); both answer it (never released).
  static NSRunLoop* currentRunLoop();
  static NSRunLoop* mainRunLoop();

  // Schedules the timer in the mode (NSDefaultRunLoopMode, NSRunLoopCommonModes or another name). An invalid
  // timer is not added.
  void addTimer_forMode(NSTimer* timer, NSString* mode);
  // The same with a CoreFoundation mode name (kCFRunLoopCommonModes, kCFRunLoopDefaultMode), as toll-free
  // bridging allows on the platform.
  void addTimer_forMode(NSTimer* timer, CFRunLoopMode mode);
  CFRunLoopRef getCFRunLoop() const { return CFRunLoopGetMain(); }

private:
  NSRunLoop() = default;
};

// Foundation stand-in: NSTimer and NSRunLoop on the CoreFoundation run loop.

#include <Foundation/Foundation.h>

NSString* const NSDefaultRunLoopMode = NSString::alloc_initWithUTF8String("kCFRunLoopDefaultMode");
NSString* const NSRunLoopCommonModes = NSString::alloc_initWithUTF8String("kCFRunLoopCommonModes");
NSString* const NSEventTrackingRunLoopMode = NSString::alloc_initWithUTF8String("NSEventTrackingRunLoopMode");
NSString* const NSModalPanelRunLoopMode = NSString::alloc_initWithUTF8String("NSModalPanelRunLoopMode");

// The run loop's timer holds the NSTimer through its context info: retained when the CF timer is made, released
// when the run loop invalidates or frees it.
const void* NSTimer::RetainInfo(const void* info)
{
  static_cast<NSTimer*>(const_cast<void*>(info))->retain();
  return info;
}

void NSTimer::ReleaseInfo(const void* info)
{
  auto* t = static_cast<NSTimer*>(const_cast<void*>(info));
  t->mCFTimer = nullptr; // the run loop lets go of it now
  t->mValid = false;
  t->release();
}

void NSTimer::Callout(CFRunLoopTimerRef, void* info)
{
  auto* t = static_cast<NSTimer*>(info);
  t->retain();
  t->fire();
  t->release();
}

NSTimer::~NSTimer()
{
  if (mTarget) mTarget->release();
  if (mUserInfo) mUserInfo->release();
}

void NSTimer::fire()
{
  if (!mValid) return;
  retain();
  if (mBlock)
  {
    auto block = mBlock; // the block may invalidate the timer, which drops mBlock
    block(this);
  }
  else if (mTarget)
  {
    NSObject* target = mTarget->retain();
    mSelector.send(target, this);
    target->release();
  }
  if (!mRepeats) invalidate();
  release();
}

void NSTimer::invalidate()
{
  mValid = false;
  retain(); // the run loop's release below may be the last one otherwise
  NSObject* target = mTarget;
  NSObject* userInfo = mUserInfo;
  mTarget = nullptr;
  mUserInfo = nullptr;
  mBlock = nullptr;
  if (CFRunLoopTimerRef cf = mCFTimer) CFRunLoopTimerInvalidate(cf);
  if (target) target->release();
  if (userInfo) userInfo->release();
  release();
}

BOOL NSTimer::isValid() const
{
  return mValid ? YES : NO;
}

CFAbsoluteTime NSTimer::fireDateAbsolute() const
{
  return mCFTimer ? CFRunLoopTimerGetNextFireDate(mCFTimer) : 0.0;
}

void NSTimer::Schedule(CFRunLoopMode mode)
{
  if (!mValid) return;
  if (!mCFTimer)
  {
    CFRunLoopTimerContext context{0, this, &NSTimer::RetainInfo, &NSTimer::ReleaseInfo, nullptr};
    CFRunLoopTimerRef cf = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + mInterval,
                                                mRepeats ? mInterval : 0.0, 0, 0, &NSTimer::Callout, &context);
    if (!cf) return;
    mCFTimer = cf;
    CFRunLoopAddTimer(CFRunLoopGetMain(), cf, mode);
    CFRelease(cf); // the run loop holds it now
    return;
  }
  CFRunLoopAddTimer(CFRunLoopGetMain(), mCFTimer, mode);
}

NSTimer* NSTimer::timerWithTimeInterval_target_selector_userInfo_repeats(NSTimeInterval interval, NSObject* target,
                                                                         SEL selector, NSObject* userInfo, BOOL repeats)
{
  auto* t = new NSTimer();
  t->mInterval = interval > 0.0001 ? interval : 0.0001;
  t->mRepeats = repeats;
  t->mTarget = target ? target->retain() : nullptr;
  t->mSelector = std::move(selector);
  t->mUserInfo = userInfo ? userInfo->retain() : nullptr;
  return static_cast<NSTimer*>(t->autorelease());
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(NSTimeInterval interval,
                                                                                  NSObject* target, SEL selector,
                                                                                  NSObject* userInfo, BOOL repeats)
{
  NSTimer* t = timerWithTimeInterval_target_selector_userInfo_repeats(interval, target, std::move(selector), userInfo,
                                                                      repeats);
  t->Schedule(kCFRunLoopDefaultMode);
  return t;
}

NSTimer* NSTimer::timerWithTimeInterval_repeats_block(NSTimeInterval interval, BOOL repeats,
                                                      std::function<void(NSTimer*)> block)
{
  NSTimer* t = timerWithTimeInterval_target_selector_userInfo_repeats(interval, nullptr, SEL(), nullptr, repeats);
  t->mBlock = std::move(block);
  return t;
}

NSTimer* NSTimer::scheduledTimerWithTimeInterval_repeats_block(NSTimeInterval interval, BOOL repeats,
                                                               std::function<void(NSTimer*)> block)
{
  NSTimer* t = timerWithTimeInterval_repeats_block(interval, repeats, std::move(block));
  t->Schedule(kCFRunLoopDefaultMode);
  return t;
}

// ---------------------------------------------------------------------------------------------------------------
// NSRunLoop
// ---------------------------------------------------------------------------------------------------------------

NSRunLoop* NSRunLoop::currentRunLoop()
{
  return mainRunLoop();
}

NSRunLoop* NSRunLoop::mainRunLoop()
{
  static NSRunLoop* loop = new NSRunLoop();
  return loop;
}

void NSRunLoop::addTimer_forMode(NSTimer* timer, NSString* mode)
{
  if (!timer || !mode) return;
  const std::string name = mode->UTF8String();
  if (name == "kCFRunLoopDefaultMode")
    timer->Schedule(kCFRunLoopDefaultMode);
  else if (name == "kCFRunLoopCommonModes")
    timer->Schedule(kCFRunLoopCommonModes);
  else
  {
    CFStringRef cf = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
    if (!cf) return;
    timer->Schedule(cf);
    CFRelease(cf);
  }
}

void NSRunLoop::addTimer_forMode(NSTimer* timer, CFRunLoopMode mode)
{
  if (timer && mode) timer->Schedule(mode);
}

// The Foundation stand-in: strings in UTF-16 units, notifications, timers on the virtual clock, the class
// registry and property-list files. (URLs are the Cocoa view's OpenURL test.)
#include <CoreFoundation/CFTesting.h>
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace
{

std::string S(const NSString* s)
{
  return s ? s->UTF8String() : "<nil>";
}

NSString* N(const char* text)
{
  return NSString::stringWithUTF8String(text);
}

// ---- NSString ----

TEST(NSStringTest, UTF8BecomesUTF16UnitsAndMalformedUTF8IsNil)
{
  struct Case
  {
    const char* text;
    std::vector<unichar> units;
  };
  const Case cases[] = {
    {"", {}},
    {"\xE2\x82\xAC" "1", {0x20AC, '1'}},                     // €1
    {"a\xF0\x9F\x98\x80z", {'a', 0xD83D, 0xDE00, 'z'}},      // a😀z: a surrogate pair
  };
  NSAutoreleasePool pool;
  for (const Case& c : cases)
  {
    NSString* s = N(c.text);
    ASSERT_NE(s, nullptr) << c.text;
    EXPECT_EQ(s->length(), c.units.size()) << c.text;
    for (size_t i = 0; i < c.units.size(); ++i) EXPECT_EQ(s->characterAtIndex(i), c.units[i]) << c.text << " @" << i;
    EXPECT_EQ(s->characterAtIndex(c.units.size()), 0) << "past the end";
  }
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xFFz"})
  {
    EXPECT_EQ(NSString::stringWithUTF8String(bad), nullptr);
    EXPECT_EQ(NSString::stringWithCString_encoding(bad, NSUTF8StringEncoding), nullptr);
    // The fallback a caller takes: ASCII/Latin-1 maps each byte to a character and never fails.
    NSString* lossy = NSString::stringWithCString_encoding(bad, NSASCIIStringEncoding);
    ASSERT_NE(lossy, nullptr);
    EXPECT_EQ(lossy->length(), std::strlen(bad));
  }
}

// The native text field's maximum-value check reads typed text this way.
TEST(NSStringTest, IntValuesReadALeadingNumberAndSaturate)
{
  NSAutoreleasePool pool;
  const std::pair<const char*, int> cases[] = {
    {"  -17abc", -17}, {"abc", 0}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
  for (const auto& [text, value] : cases) EXPECT_EQ(N(text)->intValue(), value) << text;
}

// ---- Notifications ----

class Listener : public NSObject
{
public:
  void onNote(NSNotification* n)
  {
    seen.push_back(S(n->name()));
    if (removeOther) NSNotificationCenter::defaultCenter()->removeObserver(removeOther);
  }
  std::vector<std::string> seen;
  NSObject* removeOther = nullptr;
};

TEST(NSNotificationTest, NamesObjectsAndRemovalDuringPost)
{
  NSAutoreleasePool pool;
  NSNotificationCenter* center = NSNotificationCenter::defaultCenter();
  auto* a = new Listener();
  auto* b = new Listener();
  NSObject* sender = new NSObject();
  NSObject* other = new NSObject();
  const SEL sel = ZQSelector("onNote:", &Listener::onNote);
  center->addObserver_selector_name_object(a, sel, N("Ping"), sender);
  center->addObserver_selector_name_object(b, sel, nullptr, nullptr);
  center->postNotificationName_object(N("Ping"), other);
  center->postNotificationName_object(N("Pong"), sender);
  EXPECT_EQ(a->seen, (std::vector<std::string>{}));
  EXPECT_EQ(b->seen, (std::vector<std::string>{"Ping", "Pong"}));

  // a, called first, removes b: b is not called for this post any more.
  a->removeOther = b;
  center->postNotificationName_object(N("Ping"), sender);
  EXPECT_EQ(a->seen.size(), 1u);
  EXPECT_EQ(b->seen.size(), 2u);
  EXPECT_EQ(center->ZQObserverCount(b), 0u);
  center->removeObserver(a);
  for (NSObject* o : std::initializer_list<NSObject*>{a, b, sender, other}) o->release();
}

// ---- Timers ----

class TimerTarget : public NSObject
{
public:
  void tick(NSTimer* t)
  {
    times.push_back(CFAbsoluteTimeGetCurrent());
    if (stopAfter && static_cast<int>(times.size()) == stopAfter) t->invalidate();
  }
  std::vector<double> times;
  int stopAfter = 0;
};

class NSTimerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(true);
    ZQCFSetClock(5000.0);
  }
  void TearDown() override
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(false);
  }
};

TEST_F(NSTimerTest, TimersHoldTheirTargetUntilInvalidatedAnyWay)
{
  auto* target = new TimerTarget();
  NSTimer* timer;
  int blockRuns = 0;
  {
    NSAutoreleasePool pool;
    timer = static_cast<NSTimer*>(NSTimer::timerWithTimeInterval_target_selector_userInfo_repeats(
                                    0.02, target, ZQSelector("tick:", &TimerTarget::tick), nullptr, YES)
                                    ->retain());
    NSRunLoop::currentRunLoop()->addTimer_forMode(timer, NSRunLoopCommonModes);
    NSRunLoop::mainRunLoop()->addTimer_forMode(
      NSTimer::timerWithTimeInterval_repeats_block(0.05, NO, [&](NSTimer*) { ++blockRuns; }), kCFRunLoopCommonModes);
  }
  EXPECT_EQ(target->retainCount(), 2u) << "the timer holds its target";
  EXPECT_EQ(ZQCFAdvanceClock(0.1), 6); // the cadence itself is the run loop's test
  EXPECT_EQ(blockRuns, 1) << "a one-shot timer is done after it fired";
  timer->invalidate();
  EXPECT_EQ(target->retainCount(), 1u) << "invalidation lets the target go";
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  timer->release();

  // Invalidated from its own firing, or behind its back by the run loop: the target is let go either way.
  target->times.clear();
  target->stopAfter = 3;
  for (int k = 0; k < 2; ++k)
  {
    NSAutoreleasePool pool;
    NSTimer::scheduledTimerWithTimeInterval_target_selector_userInfo_repeats(
      0.01, target, ZQSelector("tick:", &TimerTarget::tick), nullptr, YES);
    if (k == 0) ZQCFAdvanceClock(0.1);
  }
  EXPECT_EQ(target->times.size(), 3u) << "invalidated from its own firing";
  EXPECT_EQ(target->retainCount(), 2u);
  ZQCFInvalidateAllTimers();
  EXPECT_EQ(target->retainCount(), 1u);
  target->release();
}

// ---- Class registry ----

// The bundle tests find the view factory through the registry; here what they do not reach: unloading.
TEST(NSClassRegistryTest, AHandleOfAnUnloadedClassMakesNothing)
{
  NSAutoreleasePool pool;
  auto make = []() -> NSObject* { return new NSObject(); };
  Class cls = ZQRegisterClass("ZQTestRegistered", make);
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(NSClassFromString(N("ZQTestRegistered")), cls);
  ZQUnregisterClass("ZQTestRegistered");
  EXPECT_EQ(NSClassFromString(N("ZQTestRegistered")), nullptr);
  EXPECT_EQ(cls->alloc(), nullptr);
  EXPECT_EQ(ZQRegisterClass("ZQTestRegistered", make), cls) << "registered again under its old handle";
  NSObject* obj = cls->alloc_init();
  EXPECT_NE(obj, nullptr);
  obj->release();
  ZQUnregisterClass("ZQTestRegistered");
}

// ---- Property lists ----

// The reader's types and damaged documents are the CF property-list tests' own; here the file and URL paths.
TEST(NSDictionaryTest, ReadsPropertyListFiles)
{
  NSAutoreleasePool pool;
  const auto dir = std::filesystem::temp_directory_path() / "zq_plist_test";
  std::filesystem::create_directories(dir);
  const auto file = dir / "info.plist";
  std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>hotx-scaled</key><real>8.5</real></dict></plist>)";
  NSDictionary* d = NSDictionary::dictionaryWithContentsOfURL(NSURL::fileURLWithPath(N(file.c_str())));
  ASSERT_NE(d, nullptr);
  EXPECT_DOUBLE_EQ(dynamic_cast<NSNumber*>(d->objectForKey(N("hotx-scaled")))->doubleValue(), 8.5);
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfURL(NSURL::fileURLWithPath(N("/nonexistent/info.plist"))), nullptr);
  std::filesystem::remove_all(dir);
}

} // namespace

// Render notifications change on the main thread while the audio thread renders: the render must only ever see
// whole, live lists.

#include "au/AURenderNotifyList.h"
#include "support/TestPlug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace plugin;

namespace
{

struct Tag
{
  int magic = 0x5A5A;
};

std::atomic<int> gCalls{0};
std::atomic<int> gBadTags{0};

OSStatus CountingNotify(void* userData, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                        AudioBufferList*)
{
  if (!userData || static_cast<Tag*>(userData)->magic != 0x5A5A) gBadTags.fetch_add(1);
  gCalls.fetch_add(1, std::memory_order_relaxed);
  return noErr;
}

OSStatus OtherNotify(void* userData, AudioUnitRenderActionFlags* f, const AudioTimeStamp* t, UInt32 b, UInt32 n,
                     AudioBufferList* l)
{
  return CountingNotify(userData, f, t, b, n, l);
}

} // namespace

TEST(AURenderNotifyList, RetiredListsWaitForReaders)
{
  AURenderNotifyList list;
  Tag tag;
  ASSERT_TRUE(list.Add(&CountingNotify, &tag));
  {
    AURenderNotifyList::Reader reader(list);
    ASSERT_EQ(reader.Get().mCount, 1);
    EXPECT_FALSE(list.Remove(&CountingNotify, nullptr)) << "another user data is another registration";
    ASSERT_TRUE(list.Remove(&CountingNotify, &tag));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_GE(list.RetiredCount(), 1) << "the reader's list must stay alive";
    EXPECT_EQ(reader.Get().mEntries[0].inputProcRefCon, &tag);
  }
  list.Reclaim();
  EXPECT_EQ(list.RetiredCount(), 0);
  EXPECT_FALSE(list.Add(nullptr, &tag));
  EXPECT_FALSE(list.Remove(&OtherNotify, &tag));
}

TEST(AURenderNotifyConcurrent, RenderWhileTheMainThreadChangesTheList)
{
  aztest::Unit u;
  ASSERT_NE(u.au, nullptr);
  AURenderCallbackStruct input = {[](void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                                     AudioBufferList*) -> OSStatus { return noErr; },
                                  nullptr};
  ASSERT_EQ(AudioUnitSetProperty(u.au, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input,
                                 sizeof(input)),
            noErr);

  std::vector<Tag> tags(8);
  std::atomic<bool> stop{false};
  gCalls = 0;
  gBadTags = 0;

  std::thread audio([&] {
    std::vector<float> l(64), r(64);
    struct
    {
      UInt32 n = 2;
      AudioBuffer b[2];
    } out;
    double sampleTime = 0;
    for (int i = 0; i < 20000 && !stop.load(); ++i)
    {
      out.b[0] = {1, 256, l.data()};
      out.b[1] = {1, 256, r.data()};
      AudioTimeStamp ts = {};
      ts.mSampleTime = sampleTime;
      ts.mFlags = kAudioTimeStampSampleTimeValid;
      sampleTime += 64;
      if (AudioUnitRender(u.au, nullptr, &ts, 0, 64, reinterpret_cast<AudioBufferList*>(&out)) != noErr) break;
    }
  });

  auto funcOf = [](int k) { return (k & 1) ? &OtherNotify : &CountingNotify; };
  auto tagOf = [&tags](int k) { return &tags[static_cast<size_t>(k) % tags.size()]; };
  for (int i = 0; i < 2000; ++i)
  {
    ASSERT_EQ(AudioUnitAddRenderNotify(u.au, funcOf(i), tagOf(i)), noErr);
    if (i % 3 == 2)
    {
      // The two latest registrations (one of each function) go again.
      ASSERT_EQ(AudioUnitRemoveRenderNotify(u.au, funcOf(i), tagOf(i)), noErr);
      ASSERT_EQ(AudioUnitRemoveRenderNotify(u.au, funcOf(i - 1), tagOf(i - 1)), noErr);
    }
    u.Plug().OnApiIdle();
  }
  stop = true;
  audio.join();
  EXPECT_EQ(gBadTags.load(), 0);
}

TEST(AURenderNotifyConcurrent, LatencyFromTheAudioThreadIsDeliveredOnTheMainThread)
{
  aztest::Unit u;
  static std::atomic<int> calls{0};
  static std::thread::id mainThread;
  static std::atomic<bool> wrongThread{false};
  mainThread = std::this_thread::get_id();
  calls = 0;
  auto listener = [](void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {
    if (std::this_thread::get_id() != mainThread) wrongThread = true;
    calls.fetch_add(1);
  };
  ASSERT_EQ(AudioUnitAddPropertyListener(u.au, kAudioUnitProperty_Latency, listener, nullptr), noErr);

  std::thread audio([&] {
    for (int i = 0; i < 500; ++i) u.Plug().SetLatency(i);
  });
  for (int i = 0; i < 500; ++i) u.Plug().OnApiIdle();
  audio.join();
  u.Plug().OnApiIdle();
  EXPECT_FALSE(wrongThread.load());
  EXPECT_GE(calls.load(), 1);
  EXPECT_EQ(u.Plug().GetLatency(), 499);
}

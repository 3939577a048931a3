// Parameter events a unit sends to the host's listeners land in the stand-in's bounded sink.
#include <AudioToolbox/AUTesting.h>
#include <gtest/gtest.h>

#include <tuple>

namespace
{

AudioUnitEvent ParameterEvent(AudioUnitEventType type, AudioUnitParameterID id)
{
  AudioUnitEvent e{};
  e.mEventType = type;
  e.mArgument.mParameter = {reinterpret_cast<AudioUnit>(0x1000), id, kAudioUnitScope_Global, 0};
  return e;
}

class AUEvents : public ::testing::Test
{
protected:
  void SetUp() override { ZQAUClearRecordedEvents(); }
  void TearDown() override { ZQAUClearRecordedEvents(); }
};

TEST_F(AUEvents, RecordsInOrderWithSenders)
{
  int listener = 0, object = 0;
  const AudioUnitEvent begin = ParameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, 5);
  const AudioUnitEvent change = ParameterEvent(kAudioUnitEvent_ParameterValueChange, 5);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, &begin), noErr);
  EXPECT_EQ(AUEventListenerNotify(reinterpret_cast<AUEventListenerRef>(&listener), &object, &change), noErr);
  const AudioUnitParameter p{reinterpret_cast<AudioUnit>(0x2000), 9, kAudioUnitScope_Global, 0};
  EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, &p), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
  EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
  ASSERT_EQ(ZQAURecordedEventCount(), 3u);
  ZQAURecordedEvent first{};
  EXPECT_EQ(ZQAUCopyRecordedEvents(&first, 1), 1u); // copy keeps them
  EXPECT_EQ(ZQAURecordedEventCount(), 3u);
  EXPECT_EQ(first.event.mEventType, kAudioUnitEvent_BeginParameterChangeGesture);
  const std::vector<ZQAURecordedEvent> all = ZQAUTakeAllRecordedEvents();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(ZQAURecordedEventCount(), 0u);
  EXPECT_EQ(
      std::make_tuple(all[1].event.mArgument.mParameter.mParameterID, all[1].sendingListener, all[1].sendingObject),
      std::make_tuple(5u, static_cast<void*>(&listener), static_cast<void*>(&object)));
  EXPECT_EQ(std::make_tuple(all[2].event.mEventType, all[2].event.mArgument.mParameter.mAudioUnit,
                            all[2].event.mArgument.mParameter.mParameterID),
            std::make_tuple(kAudioUnitEvent_ParameterValueChange, p.mAudioUnit, 9u));
}

TEST_F(AUEvents, FullSinkDropsTheOldest)
{
  const UInt32 sent = kZQAUEventSinkCapacity + 10;
  for (UInt32 i = 0; i < sent; ++i)
  {
    const AudioUnitEvent e = ParameterEvent(kAudioUnitEvent_ParameterValueChange, i);
    ASSERT_EQ(AUEventListenerNotify(nullptr, nullptr, &e), noErr);
  }
  EXPECT_EQ(ZQAURecordedEventCount(), static_cast<size_t>(kZQAUEventSinkCapacity));
  EXPECT_EQ(ZQAUDroppedEventCount(), 10u);
  ZQAURecordedEvent two[2];
  ASSERT_EQ(ZQAUTakeRecordedEvents(two, 2), 2u);
  EXPECT_EQ(two[0].event.mArgument.mParameter.mParameterID, 10u);
  EXPECT_EQ(two[1].event.mArgument.mParameter.mParameterID, 11u);
  const std::vector<ZQAURecordedEvent> rest = ZQAUTakeAllRecordedEvents();
  ASSERT_EQ(rest.size(), static_cast<size_t>(kZQAUEventSinkCapacity) - 2);
  EXPECT_EQ(rest.back().event.mArgument.mParameter.mParameterID, sent - 1);
  ZQAUClearRecordedEvents();
  EXPECT_EQ(ZQAUDroppedEventCount(), 0u);
}

} // namespace

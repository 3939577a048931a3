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

TEST_F(AUEvents, FullSinkDropsTheOldestAndSendersAreKept)
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

  // Senders are kept; nothing is refused but a missing event.
  int listener = 0, object = 0;
  const AudioUnitEvent begin = ParameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, 5);
  EXPECT_EQ(AUEventListenerNotify(reinterpret_cast<AUEventListenerRef>(&listener), &object, &begin), noErr);
  EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
  EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, nullptr), kAudio_ParamError);
  const std::vector<ZQAURecordedEvent> one = ZQAUTakeAllRecordedEvents();
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(std::make_tuple(one[0].event.mEventType, one[0].sendingListener, one[0].sendingObject),
            std::make_tuple(kAudioUnitEvent_BeginParameterChangeGesture, static_cast<void*>(&listener),
                            static_cast<void*>(&object)));
}

} // namespace

// The stand-in's listener side of parameter events: a bounded ring that hosts and tests read.
#include <AudioToolbox/AUTesting.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <new>

namespace
{

struct EventSink
{
  std::mutex mutex;
  std::array<ZQAURecordedEvent, kZQAUEventSinkCapacity> ring{};
  size_t first = 0; // index of the oldest record
  size_t count = 0;
  UInt64 dropped = 0;

  void Push(const ZQAURecordedEvent& record)
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (count == ring.size())
    {
      first = (first + 1) % ring.size();
      --count;
      ++dropped;
    }
    ring[(first + count) % ring.size()] = record;
    ++count;
  }

  // Caller holds the lock.
  size_t CopyLocked(ZQAURecordedEvent* out, size_t capacity) const
  {
    const size_t n = out ? std::min(capacity, count) : 0;
    for (size_t i = 0; i < n; ++i)
      out[i] = ring[(first + i) % ring.size()];
    return n;
  }
};

EventSink& Sink()
{
  // In static storage, so the first notification (often from an audio thread) allocates nothing; never destroyed,
  // because notifications may come from static destructors.
  alignas(EventSink) static unsigned char storage[sizeof(EventSink)];
  static EventSink* sink = new (storage) EventSink;
  return *sink;
}

} // namespace

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent)
{
  if (!inEvent) return kAudio_ParamError;
  ZQAURecordedEvent record{};
  record.event = *inEvent;
  record.sendingListener = inSendingListener;
  record.sendingObject = inSendingObject;
  Sink().Push(record);
  return noErr;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter)
{
  if (!inParameter) return kAudio_ParamError;
  AudioUnitEvent event{};
  event.mEventType = kAudioUnitEvent_ParameterValueChange;
  event.mArgument.mParameter = *inParameter;
  return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
}

size_t ZQAURecordedEventCount(void)
{
  EventSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  return sink.count;
}

size_t ZQAUCopyRecordedEvents(ZQAURecordedEvent* out, size_t capacity)
{
  EventSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  return sink.CopyLocked(out, capacity);
}

size_t ZQAUTakeRecordedEvents(ZQAURecordedEvent* out, size_t capacity)
{
  EventSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  const size_t n = sink.CopyLocked(out, capacity);
  sink.first = (sink.first + n) % sink.ring.size();
  sink.count -= n;
  return n;
}

UInt64 ZQAUDroppedEventCount(void)
{
  EventSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  return sink.dropped;
}

void ZQAUClearRecordedEvents(void)
{
  EventSink& sink = Sink();
  std::lock_guard<std::mutex> lock(sink.mutex);
  sink.first = 0;
  sink.count = 0;
  sink.dropped = 0;
}

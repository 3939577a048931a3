// Controls of the stand-in Audio Unit platform for tests and host tools: the recorded parameter events,
// components driven through a Component Manager entry, and the registry. Not part of the platform API.
//
// Component Manager calls. A parameter block (ComponentParameters, <CoreServices/CoreServices.h>) carries
// word 0 = the ComponentInstance, then one word per argument of the published function of the selector, in
// its parameter order (AudioUnitSetParameter: inID, inScope, inElement, inValue, inBufferOffsetInFrames).
// A word holds: an integer converted to `long` (sign- or zero-extended), a pointer's address, or the bytes of
// a Float32/Float64 copied to the start of the word (rest zero) — read it back with memcpy. paramSize is
// 8 × the number of words after word 0. Open (-1) and close (-2) carry the instance in words 0 and 1;
// can-do (-3) carries the selector asked about in word 1; version (-4) carries word 0 only.
#pragma once

#include <AudioToolbox/AudioToolbox.h>
#include <CoreServices/CoreServices.h>

#ifdef __cplusplus
#include <cstring>
#include <type_traits>
#include <vector>
#endif

// A Component Manager entry as the product exports it (ZANIQ_Entry).
typedef OSStatus (*ZQAUComponentEntry)(ComponentParameters* params, void* storage);

// One recorded AUEventListenerNotify / AUParameterListenerNotify call.
struct ZQAURecordedEvent
{
  AudioUnitEvent event;
  const void* sendingListener;
  const void* sendingObject;
};
typedef struct ZQAURecordedEvent ZQAURecordedEvent;

enum
{
  kZQAUEventSinkCapacity = 1024, // records kept; older ones are dropped first
  kZQAUMaxComponentWords = 32    // words per Component Manager call, word 0 included
};

CF_EXTERN_C_BEGIN

// ---- Recorded events [any thread] ----
CF_EXPORT size_t ZQAURecordedEventCount(void);
// Copies up to `capacity` records, oldest first; returns how many were copied.
CF_EXPORT size_t ZQAUCopyRecordedEvents(ZQAURecordedEvent* out, size_t capacity);
// Like ZQAUCopyRecordedEvents, and removes what it copied (atomically with the copy).
CF_EXPORT size_t ZQAUTakeRecordedEvents(ZQAURecordedEvent* out, size_t capacity);
// Records dropped because the sink was full, since the last clear.
CF_EXPORT UInt64 ZQAUDroppedEventCount(void);
CF_EXPORT void ZQAUClearRecordedEvents(void);

// ---- Components [main thread] ----
// Registers a component whose instances are driven through a Component Manager entry. Its instances
// (AudioComponentInstanceNew) are stand-in records that translate every AudioUnit* / MusicDevice* call into a
// parameter block for `entry`, with the storage the component set through SetComponentInstanceStorage during
// open; AudioComponentInstanceDispose sends close and frees the record. Null description or entry: null.
CF_EXPORT AudioComponent ZQAURegisterComponentEntry(const AudioComponentDescription* inDesc, CFStringRef inName,
                                                    UInt32 inVersion, ZQAUComponentEntry inEntry);
// Hides every registered component from AudioComponentFindNext/Count and refuses new instances of them
// (kAudio_ParamError); live instances keep working until disposed.
CF_EXPORT void ZQAUUnregisterAllComponents(void);
// Instances made by AudioComponentInstanceNew and not yet disposed.
CF_EXPORT UInt32 ZQAULiveInstanceCount(void);

// ---- Raw Component Manager calls [thread of the selector] ----
// Calls entry(block, storage) with a block of `wordCount` words (1 to kZQAUMaxComponentWords; else
// kAudio_ParamError) and returns the entry's result. The block lives on the stack.
CF_EXPORT OSStatus ZQAUCallComponent(ZQAUComponentEntry entry, void* storage, SInt16 what, const long* words,
                                     UInt32 wordCount);
// The same for an instance of a component registered with ZQAURegisterComponentEntry: word 0 is the
// instance, `args` follow, and the storage is the instance's. Other instances: badComponentInstance.
CF_EXPORT OSStatus ZQAUCallComponentInstance(ComponentInstance inInstance, SInt16 what, const long* args,
                                             UInt32 argCount);

CF_EXTERN_C_END

#ifdef __cplusplus
// One argument as a parameter-block word (rules above).
template <typename T> inline long ZQAUComponentWord(T value)
{
  if constexpr (std::is_pointer_v<T>)
  {
    return static_cast<long>(reinterpret_cast<uintptr_t>(value));
  }
  else if constexpr (std::is_null_pointer_v<T>)
  {
    return 0;
  }
  else if constexpr (std::is_floating_point_v<T>)
  {
    static_assert(sizeof(T) <= sizeof(long));
    long word = 0;
    std::memcpy(&word, &value, sizeof(T));
    return word;
  }
  else
  {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "one scalar per word");
    return static_cast<long>(value);
  }
}

// ZQAUCallComponentInstance with the arguments packed by ZQAUComponentWord.
template <typename... Args>
inline OSStatus ZQAUCallComponentInstanceWith(ComponentInstance inInstance, SInt16 what, Args... args)
{
  const long words[sizeof...(Args) + 1] = {ZQAUComponentWord(args)..., 0};
  return ZQAUCallComponentInstance(inInstance, what, words, static_cast<UInt32>(sizeof...(Args)));
}

// Every recorded event, oldest first, removed from the sink.
inline std::vector<ZQAURecordedEvent> ZQAUTakeAllRecordedEvents()
{
  std::vector<ZQAURecordedEvent> events(kZQAUEventSinkCapacity);
  events.resize(ZQAUTakeRecordedEvents(events.data(), events.size()));
  return events;
}
#endif

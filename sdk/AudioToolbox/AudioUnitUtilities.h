// AudioUnitUtilities: parameter and event notifications from a unit (or its editor) to the host's listeners.
//
// The stand-in has no listener run loop: every notification is recorded in a bounded, process-wide sink that
// hosts and tests read through <AudioToolbox/AUTesting.h>.
#pragma once

#include <AudioToolbox/AUComponent.h>

typedef struct AUListenerBase* AUParameterListenerRef;
typedef AUParameterListenerRef AUEventListenerRef;

enum : UInt32
{
  kAUParameterListener_AnyParameter = 0xFFFFFFFFU
};

typedef UInt32 AudioUnitEventType;
enum : UInt32
{
  kAudioUnitEvent_ParameterValueChange = 0,
  kAudioUnitEvent_BeginParameterChangeGesture = 1,
  kAudioUnitEvent_EndParameterChangeGesture = 2,
  kAudioUnitEvent_PropertyChange = 3
};

// 32 bytes: the type, then (8-aligned) the parameter or property it concerns.
struct AudioUnitEvent
{
  AudioUnitEventType mEventType;
  union
  {
    AudioUnitParameter mParameter; // parameter value change and gestures
    AudioUnitProperty mProperty;   // property change
  } mArgument;
};
typedef struct AudioUnitEvent AudioUnitEvent;

typedef void (*AUParameterListenerProc)(void* inUserData, void* inObject, const AudioUnitParameter* inParameter,
                                        AudioUnitParameterValue inValue);
typedef void (*AUEventListenerProc)(void* inUserData, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);

CF_EXTERN_C_BEGIN

// [any thread] Tells listeners about an event. `inSendingListener` and `inSendingObject` identify the sender
// (listeners may skip their own events; both may be null). Records a copy of the event with both
// identifiers; when the sink is full the oldest record is dropped. Never allocates. Null event:
// kAudio_ParamError.
CF_EXPORT OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                         const AudioUnitEvent* inEvent);
// [any thread] The older form for value changes: recorded as a kAudioUnitEvent_ParameterValueChange event.
CF_EXPORT OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                             const AudioUnitParameter* inParameter);

CF_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(AudioUnitEvent) == 32, "AudioUnitEvent layout");
#endif

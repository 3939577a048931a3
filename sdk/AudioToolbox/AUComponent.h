// AUComponent: the Audio Unit interface of an audio component: handle and scalar types, component types,
// render flags, parameter events, selectors, error codes, the exact prototypes of the component's methods,
// and the host-side calls that dispatch to them.
//
// Every AudioUnit* call below looks the method up through the instance record's
// AudioComponentPlugInInterface::Lookup (see <AudioToolbox/AudioComponent.h>) and calls it through its exact
// prototype with the record as `self`, passing the caller's arguments unchanged. Results: the method's status;
// kAudio_ParamError for a null unit; badComponentSelector when Lookup has no method for the selector.
// Thread tags name where hosts call them; the dispatch itself never allocates, locks or blocks.
#pragma once

#include <AudioToolbox/AudioComponent.h>
#include <CoreAudio/CoreAudioTypes.h>
#include <CoreServices/CoreServices.h>

typedef AudioComponentInstance AudioUnit;

// Component types and the platform's manufacturer code.
enum : UInt32
{
  kAudioUnitType_Output = 0x61756F75,          // 'auou'
  kAudioUnitType_MusicDevice = 0x61756D75,     // 'aumu'
  kAudioUnitType_MusicEffect = 0x61756D66,     // 'aumf'
  kAudioUnitType_FormatConverter = 0x61756663, // 'aufc'
  kAudioUnitType_Effect = 0x61756678,          // 'aufx'
  kAudioUnitType_Mixer = 0x61756D78,           // 'aumx'
  kAudioUnitType_Panner = 0x6175706E,          // 'aupn'
  kAudioUnitType_Generator = 0x6175676E,       // 'augn'
  kAudioUnitType_OfflineEffect = 0x61756F6C,   // 'auol'
  kAudioUnitType_MIDIProcessor = 0x61756D69,   // 'aumi'
  kAudioUnitManufacturer_Apple = 0x6170706C    // 'appl'
};

typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;

// ---- Render action flags ----
typedef UInt32 AudioUnitRenderActionFlags;
enum : UInt32
{
  kAudioUnitRenderAction_PreRender = (1U << 2),
  kAudioUnitRenderAction_PostRender = (1U << 3),
  kAudioUnitRenderAction_OutputIsSilence = (1U << 4),
  kAudioOfflineUnitRenderAction_Preflight = (1U << 5),
  kAudioOfflineUnitRenderAction_Render = (1U << 6),
  kAudioOfflineUnitRenderAction_Complete = (1U << 7),
  kAudioUnitRenderAction_PostRenderError = (1U << 8),
  kAudioUnitRenderAction_DoNotCheckRenderArgs = (1U << 9)
};

// ---- Errors ----
enum
{
  kAudioUnitErr_InvalidProperty = -10879,
  kAudioUnitErr_InvalidParameter = -10878,
  kAudioUnitErr_InvalidElement = -10877,
  kAudioUnitErr_NoConnection = -10876,
  kAudioUnitErr_FailedInitialization = -10875,
  kAudioUnitErr_TooManyFramesToProcess = -10874,
  kAudioUnitErr_InvalidFile = -10871,
  kAudioUnitErr_UnknownFileType = -10870,
  kAudioUnitErr_FileNotSpecified = -10869,
  kAudioUnitErr_FormatNotSupported = -10868,
  kAudioUnitErr_Uninitialized = -10867,
  kAudioUnitErr_InvalidScope = -10866,
  kAudioUnitErr_PropertyNotWritable = -10865,
  kAudioUnitErr_CannotDoInCurrentContext = -10863,
  kAudioUnitErr_InvalidPropertyValue = -10851,
  kAudioUnitErr_PropertyNotInUse = -10850,
  kAudioUnitErr_Initialized = -10849,
  kAudioUnitErr_InvalidOfflineRender = -10848,
  kAudioUnitErr_Unauthorized = -10847,
  kAudioUnitErr_MIDIOutputBufferFull = -66753,
  kAudioUnitErr_ExtensionNotFound = -66744,
  kAudioUnitErr_InvalidParameterValue = -66743,
  kAudioUnitErr_InvalidFilePath = -66742,
  kAudioUnitErr_MissingKey = -66741,
  kAudioUnitErr_RenderTimeout = -66745
};

// ---- Callbacks ----
typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber, UInt32 inNumberFrames,
                                     AudioBufferList* ioData);
typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement);
typedef void (*AUInputSamplesInOutputCallback)(void* inRefCon, const AudioTimeStamp* inOutputTimeStamp,
                                               Float64 inInputSample, Float64 inNumberInputSamples);

// ---- Parameter events (AudioUnitScheduleParameters) ----
typedef UInt32 AUParameterEventType;
enum : UInt32
{
  kParameterEvent_Immediate = 1,
  kParameterEvent_Ramped = 2
};

struct AudioUnitParameterEvent
{
  AudioUnitScope scope;
  AudioUnitElement element;
  AudioUnitParameterID parameter;
  AUParameterEventType eventType;
  union
  {
    struct
    {
      SInt32 startBufferOffset;
      UInt32 durationInFrames;
      AudioUnitParameterValue startValue;
      AudioUnitParameterValue endValue;
    } ramp;
    struct
    {
      UInt32 bufferOffset;
      AudioUnitParameterValue value;
    } immediate;
  } eventValues;
};
typedef struct AudioUnitParameterEvent AudioUnitParameterEvent;

// Names one parameter or one property of one unit (events and listeners).
struct AudioUnitParameter
{
  AudioUnit mAudioUnit;
  AudioUnitParameterID mParameterID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};
typedef struct AudioUnitParameter AudioUnitParameter;

struct AudioUnitProperty
{
  AudioUnit mAudioUnit;
  AudioUnitPropertyID mPropertyID;
  AudioUnitScope mScope;
  AudioUnitElement mElement;
};
typedef struct AudioUnitProperty AudioUnitProperty;

// ---- Selectors (the Lookup argument and Component Manager `what`) ----
enum
{
  kAudioUnitRange = 0x0000,
  kAudioUnitInitializeSelect = 0x0001,
  kAudioUnitUninitializeSelect = 0x0002,
  kAudioUnitGetPropertyInfoSelect = 0x0003,
  kAudioUnitGetPropertySelect = 0x0004,
  kAudioUnitSetPropertySelect = 0x0005,
  kAudioUnitGetParameterSelect = 0x0006,
  kAudioUnitSetParameterSelect = 0x0007,
  kAudioUnitResetSelect = 0x0009,
  kAudioUnitAddPropertyListenerSelect = 0x000A,
  kAudioUnitRemovePropertyListenerSelect = 0x000B,
  kAudioUnitRenderSelect = 0x000E,
  kAudioUnitAddRenderNotifySelect = 0x000F,
  kAudioUnitRemoveRenderNotifySelect = 0x0010,
  kAudioUnitScheduleParametersSelect = 0x0011,
  kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,
  kAudioUnitComplexRenderSelect = 0x0013,
  kAudioUnitProcessSelect = 0x0014,
  kAudioUnitProcessMultipleSelect = 0x0015
};

// ---- Exact method prototypes (what Lookup's result is converted to; `self` is the instance record) ----
typedef OSStatus (*AudioUnitInitializeProc)(void* self);
typedef OSStatus (*AudioUnitUninitializeProc)(void* self);
typedef OSStatus (*AudioUnitGetPropertyInfoProc)(void* self, AudioUnitPropertyID prop, AudioUnitScope scope,
                                                 AudioUnitElement elem, UInt32* outDataSize, Boolean* outWritable);
typedef OSStatus (*AudioUnitGetPropertyProc)(void* self, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                             AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
typedef OSStatus (*AudioUnitSetPropertyProc)(void* self, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                             AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
typedef OSStatus (*AudioUnitAddPropertyListenerProc)(void* self, AudioUnitPropertyID prop,
                                                     AudioUnitPropertyListenerProc proc, void* userData);
typedef OSStatus (*AudioUnitRemovePropertyListenerProc)(void* self, AudioUnitPropertyID prop,
                                                        AudioUnitPropertyListenerProc proc);
typedef OSStatus (*AudioUnitRemovePropertyListenerWithUserDataProc)(void* self, AudioUnitPropertyID prop,
                                                                    AudioUnitPropertyListenerProc proc, void* userData);
typedef OSStatus (*AudioUnitAddRenderNotifyProc)(void* self, AURenderCallback proc, void* userData);
typedef OSStatus (*AudioUnitRemoveRenderNotifyProc)(void* self, AURenderCallback proc, void* userData);
typedef OSStatus (*AudioUnitScheduleParametersProc)(void* self, const AudioUnitParameterEvent* events,
                                                    UInt32 numEvents);
typedef OSStatus (*AudioUnitResetProc)(void* self, AudioUnitScope inScope, AudioUnitElement inElement);
typedef OSStatus (*AudioUnitProcessProc)(void* self, AudioUnitRenderActionFlags* ioActionFlags,
                                         const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames,
                                         AudioBufferList* ioData);
typedef OSStatus (*AudioUnitProcessMultipleProc)(void* self, AudioUnitRenderActionFlags* ioActionFlags,
                                                 const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames,
                                                 UInt32 inNumberInputBufferLists,
                                                 const AudioBufferList** inInputBufferLists,
                                                 UInt32 inNumberOutputBufferLists,
                                                 AudioBufferList** ioOutputBufferLists);
// These three are also the fast-dispatch types (kAudioUnitProperty_FastDispatch), called with the
// component's own storage as the first argument.
typedef OSStatus (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue* outValue);
typedef OSStatus (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);
typedef OSStatus (*AudioUnitRenderProc)(void* inComponentStorage, AudioUnitRenderActionFlags* ioActionFlags,
                                        const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                        UInt32 inNumberFrames, AudioBufferList* ioData);

CF_EXTERN_C_BEGIN

// ---- Host calls ----
// [main thread] Lifecycle.
CF_EXPORT OSStatus AudioUnitInitialize(AudioUnit inUnit);
CF_EXPORT OSStatus AudioUnitUninitialize(AudioUnit inUnit);
// [main thread] Properties. Pointers go to the component as given (outDataSize/outWritable may be null).
CF_EXPORT OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                            AudioUnitElement inElement, UInt32* outDataSize, Boolean* outWritable);
CF_EXPORT OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                        AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
CF_EXPORT OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                        AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
// [main thread] Property listeners and render notifications.
CF_EXPORT OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                AudioUnitPropertyListenerProc inProc, void* inProcUserData);
CF_EXPORT OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                   AudioUnitPropertyListenerProc inProc);
CF_EXPORT OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                               AudioUnitPropertyListenerProc inProc,
                                                               void* inProcUserData);
CF_EXPORT OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
CF_EXPORT OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
// [any thread] Parameters; the Float32 value reaches the component unchanged.
CF_EXPORT OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                                         AudioUnitElement inElement, AudioUnitParameterValue* outValue);
CF_EXPORT OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                                         AudioUnitElement inElement, AudioUnitParameterValue inValue,
                                         UInt32 inBufferOffsetInFrames);
CF_EXPORT OSStatus AudioUnitScheduleParameters(AudioUnit inUnit, const AudioUnitParameterEvent* inParameterEvent,
                                               UInt32 inNumParamEvents);
// [audio thread] Rendering.
CF_EXPORT OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                                   const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                                   AudioBufferList* ioData);
CF_EXPORT OSStatus AudioUnitProcess(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                                    const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames, AudioBufferList* ioData);
CF_EXPORT OSStatus AudioUnitProcessMultiple(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                                            const AudioTimeStamp* inTimeStamp, UInt32 inNumberFrames,
                                            UInt32 inNumberInputBufferLists, const AudioBufferList** inInputBufferLists,
                                            UInt32 inNumberOutputBufferLists, AudioBufferList** ioOutputBufferLists);
// [main thread, or audio thread between renders]
CF_EXPORT OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement);

CF_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(AudioUnitParameterEvent) == 32, "AudioUnitParameterEvent layout");
static_assert(sizeof(AudioUnitParameter) == 24, "AudioUnitParameter layout");
static_assert(sizeof(AudioUnitProperty) == 24, "AudioUnitProperty layout");
#endif

// AudioComponent: finding audio components, creating and disposing their instances, and the plug-in
// interface through which a version 2 Audio Unit bundle hands its methods to the host.
//
// In this stand-in an instance handle (AudioComponentInstance, AudioUnit, ComponentInstance) IS the address
// of the component's AudioComponentPlugInInterface record, as returned by its factory: the host calls
// Lookup(selector) on that record and passes the record itself as `self` to every method. Components driven
// through a Component Manager entry get such a record from the stand-in (see <AudioToolbox/AUTesting.h>).
#pragma once

#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>

typedef struct OpaqueAudioComponent* AudioComponent;
// The same record type as ComponentInstance in <CoreServices/CoreServices.h>.
typedef struct ComponentInstanceRecord* AudioComponentInstance;

// Which components match: zero type, subtype or manufacturer match any; flags must agree on the bits set in
// the description's componentFlagsMask.
struct AudioComponentDescription
{
  OSType componentType;
  OSType componentSubType;
  OSType componentManufacturer;
  UInt32 componentFlags;
  UInt32 componentFlagsMask;
};
typedef struct AudioComponentDescription AudioComponentDescription;

enum : UInt32
{
  kAudioComponentFlag_Unsearchable = 1,
  kAudioComponentFlag_SandboxSafe = 2,
  kAudioComponentFlag_IsV3AudioUnit = 4,
  kAudioComponentFlag_RequiresAsyncInstantiation = 8,
  kAudioComponentFlag_CanLoadInProcess = 0x10
};

// A component method. Declared variadic by the platform; the caller always converts it back to the method's
// exact prototype (the *Proc types of <AudioToolbox/AUComponent.h>) before calling it.
typedef OSStatus (*AudioComponentMethod)(void* self, ...);

// The first four pointer-sized words of every instance record a factory returns.
struct AudioComponentPlugInInterface
{
  OSStatus (*Open)(void* self, AudioComponentInstance mInstance);
  OSStatus (*Close)(void* self);                   // also frees the record
  AudioComponentMethod (*Lookup)(SInt16 selector); // null: selector not supported
  void* reserved;
};
typedef struct AudioComponentPlugInInterface AudioComponentPlugInInterface;

typedef AudioComponentPlugInInterface* (*AudioComponentFactoryFunction)(const AudioComponentDescription* inDesc);

enum
{
  kAudioComponentErr_InstanceTimedOut = -66754,
  kAudioComponentErr_InstanceInvalidated = -66749,
  kAudioComponentErr_DuplicateDescription = -66752,
  kAudioComponentErr_UnsupportedType = -66751,
  kAudioComponentErr_TooManyInstances = -66750,
  kAudioComponentErr_NotPermitted = -66748,
  kAudioComponentErr_InitializationTimedOut = -66747,
  kAudioComponentErr_InvalidFormat = -66746
};

CF_EXTERN_C_BEGIN

// ---- Registry [any thread] ----
// Registers a component made by `inFactory` under `inDesc` (the name is retained; null allowed) and returns
// it. Null description or factory: null. Registrations last for the process (see ZQAUUnregisterAllComponents).
CF_EXPORT AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName,
                                                UInt32 inVersion, AudioComponentFactoryFunction inFactory);
// The first registered component after `inComponent` (null: from the start) matching `inDesc` (null: any);
// null when there is none.
CF_EXPORT AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc);
CF_EXPORT UInt32 AudioComponentCount(const AudioComponentDescription* inDesc);
// The name, retained for the caller (null when registered without one). Unknown component: kAudio_ParamError.
CF_EXPORT OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName);
CF_EXPORT OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc);
CF_EXPORT OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion);

// ---- Instances [main thread] ----
// Calls the factory with the registered description, then Open(record, record). Returns the Open status; on
// success *outInstance is the record (null otherwise). A factory returning null: kAudio_MemFullError; a
// record without Open, Close or Lookup: kAudio_ParamError. When Open fails the record is NOT closed (its
// object was never built), as the component owns it.
CF_EXPORT OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
// Calls Close(record) and forgets the instance; returns Close's status. Null: kAudio_ParamError; an instance
// not made by AudioComponentInstanceNew (or already disposed): badComponentInstance, and nothing is called.
CF_EXPORT OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);
// The component of a live instance; null otherwise.
CF_EXPORT AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance);
// Whether the instance answers `inSelectorID`: its Lookup returns a method (Component Manager components:
// their can-do selector answers non-zero).
CF_EXPORT Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID);

CF_EXTERN_C_END

#ifdef __cplusplus
static_assert(sizeof(AudioComponentDescription) == 20, "AudioComponentDescription layout");
static_assert(sizeof(AudioComponentPlugInInterface) == 32, "AudioComponentPlugInInterface layout");
#endif

// PluginAU — the factory record's methods, Lookup, and the Component Manager dispatch.

#include "au/PluginAU_Entry.h"

#include <AudioToolbox/MusicDevice.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace plugin
{

namespace
{

// No exception may cross into the host: a failure inside becomes a status.
template <class F>
OSStatus Guarded(F&& f) noexcept
{
  try
  {
    return f();
  }
  catch (const std::bad_alloc&)
  {
    return kAudio_MemFullError;
  }
  catch (...)
  {
    return kAudioUnitErr_CannotDoInCurrentContext;
  }
}

AUInstanceRecord* Record(void* self)
{
  return static_cast<AUInstanceRecord*>(self);
}

// The object of an open record, or null.
PluginAU* Plug(void* self)
{
  return self ? Record(self)->mPlug : nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Shared bodies of the factory methods and the Component Manager selectors
// ---------------------------------------------------------------------------------------------------------------

OSStatus DoGetPropertyInfo(PluginAU* plug, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           UInt32* outDataSize, Boolean* outWritable)
{
  UInt32 localSize = 0;
  Boolean localWritable = false;
  if (!outDataSize) outDataSize = &localSize;
  if (!outWritable) outWritable = &localWritable;
  *outWritable = false;
  return Guarded([&] { return plug->GetProperty(id, scope, element, outDataSize, outWritable, nullptr); });
}

OSStatus DoGetProperty(PluginAU* plug, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                       void* outData, UInt32* ioDataSize)
{
  // Without a size the caller's buffer holds nothing we could safely write.
  UInt32 localSize = 0;
  Boolean writable = false;
  if (!ioDataSize) ioDataSize = &localSize;
  return Guarded([&] { return plug->GetProperty(id, scope, element, ioDataSize, &writable, outData); });
}

OSStatus DoStartNote(void* noteIdOut, const void* noteParams)
{
  if (!noteIdOut || !noteParams) return kAudio_ParamError;
  MusicDeviceNoteParams params;
  std::memcpy(&params, noteParams, offsetof(MusicDeviceNoteParams, mControls));
  const Float32 pitch = params.mPitch;
  const NoteInstanceID note =
    (std::isfinite(pitch) && pitch >= 0.f && pitch < 4294967296.f) ? static_cast<NoteInstanceID>(pitch) : 0;
  std::memcpy(noteIdOut, &note, sizeof(note));
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Factory record methods (the prototypes of <AudioToolbox/AUComponent.h>; `self` is the record)
// ---------------------------------------------------------------------------------------------------------------

// The scope lets the host dispose of the unit from inside the call (a listener or render notification of its own):
// the object and its record then go when the call returns.
#define ZQ_REQUIRE_PLUG(self)                                                                                     \
  PluginAU* plug = Plug(self);                                                                                  \
  if (!plug) return badComponentInstance;                                                                       \
  Lifetime::Scope scope_(plug->GetLifetime())

OSStatus AUMethodInitialize(void* self)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->Initialize(); });
}

OSStatus AUMethodUninitialize(void* self)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->Uninitialize(); });
}

OSStatus AUMethodGetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 UInt32* outDataSize, Boolean* outWritable)
{
  ZQ_REQUIRE_PLUG(self);
  return DoGetPropertyInfo(plug, id, scope, element, outDataSize, outWritable);
}

OSStatus AUMethodGetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             void* outData, UInt32* ioDataSize)
{
  ZQ_REQUIRE_PLUG(self);
  return DoGetProperty(plug, id, scope, element, outData, ioDataSize);
}

OSStatus AUMethodSetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             const void* inData, UInt32 inDataSize)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->SetProperty(id, scope, element, inData, inDataSize); });
}

OSStatus AUMethodGetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue* outValue)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->GetParameter(id, scope, element, outValue); });
}

OSStatus AUMethodSetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue value, UInt32 bufferOffset)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->SetParameter(id, scope, element, value, bufferOffset); });
}

OSStatus AUMethodReset(void* self, AudioUnitScope scope, AudioUnitElement element)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->Reset(scope, element); });
}

OSStatus AUMethodAddPropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                     void* userData)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->AddPropertyListener(id, proc, userData); });
}

OSStatus AUMethodRemovePropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->RemovePropertyListener(id, proc); });
}

OSStatus AUMethodRemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id,
                                                    AudioUnitPropertyListenerProc proc, void* userData)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->RemovePropertyListenerWithUserData(id, proc, userData); });
}

OSStatus AUMethodRender(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                        UInt32 outputBus, UInt32 nFrames, AudioBufferList* bufferList)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->Render(flags, timeStamp, outputBus, nFrames, bufferList); });
}

OSStatus AUMethodAddRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->AddRenderNotify(proc, userData); });
}

OSStatus AUMethodRemoveRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->RemoveRenderNotify(proc, userData); });
}

OSStatus AUMethodScheduleParameters(void* self, const AudioUnitParameterEvent* events, UInt32 count)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->ScheduleParameters(events, count); });
}

// The music-device methods behave as the Component Manager selectors do; Lookup does not hand them out.
[[maybe_unused]] OSStatus AUMethodMIDIEvent(void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->MIDIEvent(status, data1, data2, offset); });
}

[[maybe_unused]] OSStatus AUMethodSysEx(void* self, const UInt8* data, UInt32 length)
{
  ZQ_REQUIRE_PLUG(self);
  return Guarded([&] { return plug->SysEx(data, length); });
}

#undef ZQ_REQUIRE_PLUG

OSStatus AUMethodOpen(void* self, AudioComponentInstance instance)
{
  AUInstanceRecord* record = Record(self);
  if (!record) return kAudio_ParamError;
  if (record->mPlug) return noErr; // opened already: the object stays as it is
  const OSStatus status = Guarded([&] {
    PluginAU* plug = record->mConstruct(record->Storage());
    plug->SetComponentInstance(instance);
    record->mPlug = plug;
    plug->PruneUninitializedPresets();
    return noErr;
  });
  // A host does not close a record whose Open failed: nothing was built, so the record goes now.
  if (status != noErr && !record->mPlug) std::free(record);
  return status;
}

OSStatus AUMethodClose(void* self)
{
  AUInstanceRecord* record = Record(self);
  if (!record) return noErr;
  PluginAU* plug = record->mPlug;
  // Closed already, its object still finishing a call of its own: the record goes with it.
  if (!plug && record->mReserved == record) return noErr;
  if (!plug)
  {
    std::free(record);
    return noErr;
  }
  // From here on the host has let go: no tick, no further call through the record, no more notifications.
  plug->StopIdleTimers();
  record->mPlug = nullptr;
  record->mReserved = record;
  plug->GetLifetime().Dispose([record, plug] {
    record->mDestruct(plug);
    std::free(record);
  });
  return noErr;
}

AudioComponentMethod AUMethodLookup(SInt16 selector)
{
  return PluginAU::Lookup(selector);
}

template <class F>
AudioComponentMethod Method(F f)
{
  return reinterpret_cast<AudioComponentMethod>(f);
}

// Words of a Component Manager parameter block: word 0 is the instance, the arguments follow.
struct Words
{
  const long* mWords;
  int mCount; // words after word 0

  bool Has(int n) const { return mCount >= n; }
  template <class T>
  T Int(int i) const
  {
    return static_cast<T>(mWords[i]);
  }
  template <class T>
  T* Ptr(int i) const
  {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(mWords[i]));
  }
  Float32 Float(int i) const
  {
    Float32 f;
    std::memcpy(&f, &mWords[i], sizeof(f));
    return f;
  }
};

// Arguments (after word 0) each Component Manager selector needs; -1 for selectors with no operation.
int WordsNeeded(SInt16 selector)
{
  switch (selector)
  {
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect: return 0;
    case kAudioUnitGetPropertyInfoSelect:
    case kAudioUnitGetPropertySelect:
    case kAudioUnitSetPropertySelect: return 5;
    case kAudioUnitGetParameterSelect: return 4;
    case kAudioUnitSetParameterSelect: return 5;
    case kAudioUnitResetSelect: return 2;
    case kAudioUnitAddPropertyListenerSelect: return 3;
    case kAudioUnitRemovePropertyListenerSelect: return 2;
    case kAudioUnitRenderSelect: return 5;
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
    case kAudioUnitScheduleParametersSelect: return 2;
    case kAudioUnitRemovePropertyListenerWithUserDataSelect: return 3;
    case kMusicDeviceMIDIEventSelect: return 4;
    case kMusicDeviceSysExSelect: return 2;
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect: return 1;
    case kMusicDeviceStartNoteSelect: return 5;
    case kMusicDeviceStopNoteSelect: return 3;
    default: return -1;
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Factory record
// ---------------------------------------------------------------------------------------------------------------

AUInstanceRecord* NewAUInstanceRecord(size_t objectSize, PluginAU* (*construct)(void*), void (*destruct)(PluginAU*))
{
  // The header is one 64-byte line, so a 64-aligned record gives the object behind it the same alignment.
  const size_t size = (sizeof(AUInstanceRecord) + objectSize + kAUInstanceAlignment - 1) / kAUInstanceAlignment *
                      kAUInstanceAlignment;
  auto* record = static_cast<AUInstanceRecord*>(std::aligned_alloc(kAUInstanceAlignment, size));
  if (!record) return nullptr;
  record->mInterface.Open = &AUMethodOpen;
  record->mInterface.Close = &AUMethodClose;
  record->mInterface.Lookup = &AUMethodLookup;
  record->mInterface.reserved = nullptr;
  record->mConstruct = construct;
  record->mDestruct = destruct;
  record->mPlug = nullptr;
  record->mReserved = nullptr;
  return record;
}

AudioComponentMethod PluginAU::Lookup(SInt16 selector)
{
  switch (selector)
  {
    case kAudioUnitInitializeSelect: return Method(&AUMethodInitialize);
    case kAudioUnitUninitializeSelect: return Method(&AUMethodUninitialize);
    case kAudioUnitGetPropertyInfoSelect: return Method(&AUMethodGetPropertyInfo);
    case kAudioUnitGetPropertySelect: return Method(&AUMethodGetProperty);
    case kAudioUnitSetPropertySelect: return Method(&AUMethodSetProperty);
    case kAudioUnitGetParameterSelect: return Method(&AUMethodGetParameter);
    case kAudioUnitSetParameterSelect: return Method(&AUMethodSetParameter);
    case kAudioUnitResetSelect: return Method(&AUMethodReset);
    case kAudioUnitAddPropertyListenerSelect: return Method(&AUMethodAddPropertyListener);
    case kAudioUnitRemovePropertyListenerSelect: return Method(&AUMethodRemovePropertyListener);
    case kAudioUnitRenderSelect: return Method(&AUMethodRender);
    case kAudioUnitAddRenderNotifySelect: return Method(&AUMethodAddRenderNotify);
    case kAudioUnitRemoveRenderNotifySelect: return Method(&AUMethodRemoveRenderNotify);
    case kAudioUnitScheduleParametersSelect: return Method(&AUMethodScheduleParameters);
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return Method(&AUMethodRemovePropertyListenerWithUserData);
    default: return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Music-device calls
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
  if (!DoesMIDIIn()) return badComponentSelector;
  const IMidiMsg msg(offset > 0x7fffffffu ? 0x7fffffff : static_cast<int32_t>(offset), static_cast<uint8_t>(status),
                     static_cast<uint8_t>(data1), static_cast<uint8_t>(data2));
  ProcessMidiMsg(msg);
  (void)GetMidiMsgFromProcessor().Push(msg);
  return noErr;
}

OSStatus PluginAU::SysEx(const UInt8* data, UInt32 length)
{
  if (!DoesMIDIIn()) return badComponentSelector;
  if (!data && length > 0) return kAudio_ParamError;
  if (length > 0x7fffffffu) return kAudio_ParamError;
  ProcessSysEx(ISysEx(0, data, static_cast<int32_t>(length)));
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Component Manager entry
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::ComponentDispatch(ComponentParameters* params, PluginAU* plug, MakePlugFunc makePlug)
{
  if (!params) return kAudio_ParamError;
  const Words w{params->params, params->paramSize / static_cast<int>(sizeof(long))};
  const SInt16 selector = params->what;

  switch (selector)
  {
    case kComponentOpenSelect:
    {
      if (!w.Has(1) || !makePlug) return kAudio_ParamError;
      return Guarded([&] {
        PluginAU* created = makePlug();
        if (!created) return static_cast<OSStatus>(kAudio_MemFullError);
        created->PruneUninitializedPresets();
        auto instance = w.Ptr<ComponentInstanceRecord>(1);
        created->SetComponentInstance(instance);
        SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(created));
        return static_cast<OSStatus>(noErr);
      });
    }
    case kComponentCloseSelect:
      if (plug)
      {
        plug->ClearConnections();
        plug->StopIdleTimers();
        plug->GetLifetime().Dispose([plug] { delete plug; });
      }
      return noErr;
    case kComponentVersionSelect:
      return plug ? plug->GetPluginVersion(false) : kAudio_ParamError;
    case kComponentCanDoSelect:
    {
      // The selector asked about travels in word 1 (word 0 is the instance).
      if (!w.Has(1)) return 0;
      switch (w.Int<SInt16>(1))
      {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 10: case 11: case 14: case 15: case 16:
        case 17: return 1;
        default: return 0;
      }
    }
    default: break;
  }

  const int needed = WordsNeeded(selector);
  if (needed < 0) return badComponentSelector;
  if (!plug) return badComponentInstance;
  if (!w.Has(needed)) return kAudio_ParamError;
  Lifetime::Scope scope(plug->GetLifetime());

  switch (selector)
  {
    case kAudioUnitInitializeSelect: return Guarded([&] { return plug->Initialize(); });
    case kAudioUnitUninitializeSelect: return Guarded([&] { return plug->Uninitialize(); });
    case kAudioUnitGetPropertyInfoSelect:
      return DoGetPropertyInfo(plug, w.Int<AudioUnitPropertyID>(1), w.Int<AudioUnitScope>(2),
                               w.Int<AudioUnitElement>(3), w.Ptr<UInt32>(4), w.Ptr<Boolean>(5));
    case kAudioUnitGetPropertySelect:
      return DoGetProperty(plug, w.Int<AudioUnitPropertyID>(1), w.Int<AudioUnitScope>(2), w.Int<AudioUnitElement>(3),
                           w.Ptr<void>(4), w.Ptr<UInt32>(5));
    case kAudioUnitSetPropertySelect:
      return Guarded([&] {
        return plug->SetProperty(w.Int<AudioUnitPropertyID>(1), w.Int<AudioUnitScope>(2), w.Int<AudioUnitElement>(3),
                                 w.Ptr<const void>(4), w.Int<UInt32>(5));
      });
    case kAudioUnitGetParameterSelect:
      return Guarded([&] {
        return plug->GetParameter(w.Int<AudioUnitParameterID>(1), w.Int<AudioUnitScope>(2),
                                  w.Int<AudioUnitElement>(3), w.Ptr<AudioUnitParameterValue>(4));
      });
    case kAudioUnitSetParameterSelect:
      return Guarded([&] {
        return plug->SetParameter(w.Int<AudioUnitParameterID>(1), w.Int<AudioUnitScope>(2),
                                  w.Int<AudioUnitElement>(3), w.Float(4), w.Int<UInt32>(5));
      });
    case kAudioUnitResetSelect:
      return Guarded([&] { return plug->Reset(w.Int<AudioUnitScope>(1), w.Int<AudioUnitElement>(2)); });
    case kAudioUnitAddPropertyListenerSelect:
      return Guarded([&] {
        return plug->AddPropertyListener(w.Int<AudioUnitPropertyID>(1),
                                         reinterpret_cast<AudioUnitPropertyListenerProc>(w.Ptr<void>(2)),
                                         w.Ptr<void>(3));
      });
    case kAudioUnitRemovePropertyListenerSelect:
      return Guarded([&] {
        return plug->RemovePropertyListener(w.Int<AudioUnitPropertyID>(1),
                                            reinterpret_cast<AudioUnitPropertyListenerProc>(w.Ptr<void>(2)));
      });
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
      return Guarded([&] {
        return plug->RemovePropertyListenerWithUserData(
          w.Int<AudioUnitPropertyID>(1), reinterpret_cast<AudioUnitPropertyListenerProc>(w.Ptr<void>(2)),
          w.Ptr<void>(3));
      });
    case kAudioUnitRenderSelect:
      return Guarded([&] {
        return plug->Render(w.Ptr<AudioUnitRenderActionFlags>(1), w.Ptr<const AudioTimeStamp>(2), w.Int<UInt32>(3),
                            w.Int<UInt32>(4), w.Ptr<AudioBufferList>(5));
      });
    case kAudioUnitAddRenderNotifySelect:
      return Guarded([&] {
        return plug->AddRenderNotify(reinterpret_cast<AURenderCallback>(w.Ptr<void>(1)), w.Ptr<void>(2));
      });
    case kAudioUnitRemoveRenderNotifySelect:
      return Guarded([&] {
        return plug->RemoveRenderNotify(reinterpret_cast<AURenderCallback>(w.Ptr<void>(1)), w.Ptr<void>(2));
      });
    case kAudioUnitScheduleParametersSelect:
      return Guarded([&] {
        return plug->ScheduleParameters(w.Ptr<const AudioUnitParameterEvent>(1), w.Int<UInt32>(2));
      });
    case kMusicDeviceMIDIEventSelect:
      return Guarded([&] {
        return plug->MIDIEvent(w.Int<UInt32>(1), w.Int<UInt32>(2), w.Int<UInt32>(3), w.Int<UInt32>(4));
      });
    case kMusicDeviceSysExSelect:
      return Guarded([&] { return plug->SysEx(w.Ptr<const UInt8>(1), w.Int<UInt32>(2)); });
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect:
    case kMusicDeviceStopNoteSelect:
      return noErr;
    case kMusicDeviceStartNoteSelect:
      return DoStartNote(w.Ptr<void>(3), w.Ptr<const void>(5));
    default:
      return badComponentSelector;
  }
}

} // namespace plugin

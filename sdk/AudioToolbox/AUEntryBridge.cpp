// Component Manager bridge: an instance record whose methods pack their arguments into parameter blocks for
// a component's entry function (word 0 the instance, then the arguments in the published order).
#include "AudioComponent_p.h"

#include <CoreServices/ComponentStorage_p.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace
{

struct EntryRecord
{
  AudioComponentPlugInInterface plugin; // first: the instance handle is the record's address
  ZQAUComponentEntry entry = nullptr;
  zqcs::StorageSlot* slot = nullptr; // set by Open; owned by the instance registry
};
static_assert(offsetof(EntryRecord, plugin) == 0);

// A parameter block with room for every word; the entry sees only its ComponentParameters head.
struct Block
{
  ComponentParameters head;
  long more[kZQAUMaxComponentWords - 1];
};
static_assert(offsetof(Block, more) == offsetof(ComponentParameters, params) + sizeof(long));

EntryRecord* Record(void* self)
{
  return reinterpret_cast<EntryRecord*>(self);
}

Handle StorageOf(const EntryRecord* record)
{
  return record->slot ? record->slot->storage.load(std::memory_order_acquire) : nullptr;
}

OSStatus Send(void* self, SInt16 what, std::initializer_list<long> args)
{
  long words[kZQAUMaxComponentWords] = {ZQAUComponentWord(self)};
  UInt32 count = 1;
  for (long arg : args)
    words[count++] = arg;
  const EntryRecord* record = Record(self);
  return ZQAUCallComponent(record->entry, StorageOf(record), what, words, count);
}

template <typename T> long W(T value)
{
  return ZQAUComponentWord(value);
}

// ---- Lifecycle ----

OSStatus Open(void* self, AudioComponentInstance instance)
{
  EntryRecord* record = Record(self);
  record->slot = zqcs::AcquireStorageSlot(instance);
  const OSStatus status = Send(self, kComponentOpenSelect, {W(instance)});
  if (status != noErr) delete record; // nothing was built; the caller forgets the instance
  return status;
}

OSStatus Close(void* self)
{
  const OSStatus status = Send(self, kComponentCloseSelect, {W(self)});
  delete Record(self);
  return status;
}

// ---- Methods, one per selector, with the exact published prototypes ----

OSStatus Initialize(void* self)
{
  return Send(self, kAudioUnitInitializeSelect, {});
}
OSStatus Uninitialize(void* self)
{
  return Send(self, kAudioUnitUninitializeSelect, {});
}

OSStatus GetPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         UInt32* outDataSize, Boolean* outWritable)
{
  return Send(self, kAudioUnitGetPropertyInfoSelect, {W(id), W(scope), W(element), W(outDataSize), W(outWritable)});
}
OSStatus GetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* outData,
                     UInt32* ioDataSize)
{
  return Send(self, kAudioUnitGetPropertySelect, {W(id), W(scope), W(element), W(outData), W(ioDataSize)});
}
OSStatus SetProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     const void* inData, UInt32 inDataSize)
{
  return Send(self, kAudioUnitSetPropertySelect, {W(id), W(scope), W(element), W(inData), W(inDataSize)});
}
OSStatus GetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                      AudioUnitParameterValue* outValue)
{
  return Send(self, kAudioUnitGetParameterSelect, {W(id), W(scope), W(element), W(outValue)});
}
OSStatus SetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                      AudioUnitParameterValue value, UInt32 bufferOffset)
{
  return Send(self, kAudioUnitSetParameterSelect, {W(id), W(scope), W(element), W(value), W(bufferOffset)});
}
OSStatus Reset(void* self, AudioUnitScope scope, AudioUnitElement element)
{
  return Send(self, kAudioUnitResetSelect, {W(scope), W(element)});
}
OSStatus AddPropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData)
{
  return Send(self, kAudioUnitAddPropertyListenerSelect, {W(id), W(proc), W(userData)});
}
OSStatus RemovePropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc)
{
  return Send(self, kAudioUnitRemovePropertyListenerSelect, {W(id), W(proc)});
}
OSStatus RemovePropertyListenerWithUserData(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                            void* userData)
{
  return Send(self, kAudioUnitRemovePropertyListenerWithUserDataSelect, {W(id), W(proc), W(userData)});
}
OSStatus Render(void* self, AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* inTimeStamp,
                UInt32 inOutputBusNumber, UInt32 inNumberFrames, AudioBufferList* ioData)
{
  return Send(self, kAudioUnitRenderSelect,
              {W(ioActionFlags), W(inTimeStamp), W(inOutputBusNumber), W(inNumberFrames), W(ioData)});
}
OSStatus AddRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Send(self, kAudioUnitAddRenderNotifySelect, {W(proc), W(userData)});
}
OSStatus RemoveRenderNotify(void* self, AURenderCallback proc, void* userData)
{
  return Send(self, kAudioUnitRemoveRenderNotifySelect, {W(proc), W(userData)});
}
OSStatus ScheduleParameters(void* self, const AudioUnitParameterEvent* events, UInt32 numEvents)
{
  return Send(self, kAudioUnitScheduleParametersSelect, {W(events), W(numEvents)});
}
OSStatus MIDIEvent(void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
  return Send(self, kMusicDeviceMIDIEventSelect, {W(status), W(data1), W(data2), W(offset)});
}
OSStatus SysEx(void* self, const UInt8* data, UInt32 length)
{
  return Send(self, kMusicDeviceSysExSelect, {W(data), W(length)});
}

template <typename Proc> AudioComponentMethod AsMethod(Proc proc)
{
  return reinterpret_cast<AudioComponentMethod>(proc);
}

// Every selector the bridge can carry; whether the component answers it is the component's business
// (badComponentSelector from its entry).
AudioComponentMethod Lookup(SInt16 selector)
{
  switch (selector)
  {
  case kAudioUnitInitializeSelect:
    return AsMethod(&Initialize);
  case kAudioUnitUninitializeSelect:
    return AsMethod(&Uninitialize);
  case kAudioUnitGetPropertyInfoSelect:
    return AsMethod(&GetPropertyInfo);
  case kAudioUnitGetPropertySelect:
    return AsMethod(&GetProperty);
  case kAudioUnitSetPropertySelect:
    return AsMethod(&SetProperty);
  case kAudioUnitGetParameterSelect:
    return AsMethod(&GetParameter);
  case kAudioUnitSetParameterSelect:
    return AsMethod(&SetParameter);
  case kAudioUnitResetSelect:
    return AsMethod(&Reset);
  case kAudioUnitAddPropertyListenerSelect:
    return AsMethod(&AddPropertyListener);
  case kAudioUnitRemovePropertyListenerSelect:
    return AsMethod(&RemovePropertyListener);
  case kAudioUnitRenderSelect:
    return AsMethod(&Render);
  case kAudioUnitAddRenderNotifySelect:
    return AsMethod(&AddRenderNotify);
  case kAudioUnitRemoveRenderNotifySelect:
    return AsMethod(&RemoveRenderNotify);
  case kAudioUnitScheduleParametersSelect:
    return AsMethod(&ScheduleParameters);
  case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    return AsMethod(&RemovePropertyListenerWithUserData);
  case kMusicDeviceMIDIEventSelect:
    return AsMethod(&MIDIEvent);
  case kMusicDeviceSysExSelect:
    return AsMethod(&SysEx);
  default:
    return nullptr;
  }
}

} // namespace

namespace zqau
{

AudioComponentPlugInInterface* NewEntryRecord(ZQAUComponentEntry entry)
{
  auto* record = new EntryRecord;
  record->plugin = {&Open, &Close, &Lookup, nullptr};
  record->entry = entry;
  return &record->plugin;
}

OSStatus CallEntryRecord(AudioComponentInstance instance, SInt16 what, const long* args, UInt32 argCount)
{
  if (argCount >= kZQAUMaxComponentWords || (argCount > 0 && !args)) return kAudio_ParamError;
  long words[kZQAUMaxComponentWords] = {ZQAUComponentWord(instance)};
  if (argCount > 0) std::memcpy(words + 1, args, argCount * sizeof(long));
  const EntryRecord* record = Record(instance);
  return ZQAUCallComponent(record->entry, StorageOf(record), what, words, argCount + 1);
}

} // namespace zqau

OSStatus ZQAUCallComponent(ZQAUComponentEntry entry, void* storage, SInt16 what, const long* words, UInt32 wordCount)
{
  if (!entry || !words || wordCount == 0 || wordCount > kZQAUMaxComponentWords) return kAudio_ParamError;
  Block block{};
  block.head.what = what;
  block.head.paramSize = static_cast<UInt8>((wordCount - 1) * sizeof(long));
  std::memcpy(reinterpret_cast<unsigned char*>(&block) + offsetof(ComponentParameters, params), words,
              wordCount * sizeof(long));
  return entry(&block.head, storage);
}

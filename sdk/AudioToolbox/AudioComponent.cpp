#include "AudioComponent_p.h"

#include <CoreServices/ComponentStorage_p.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace
{

struct ComponentRecord
{
  AudioComponentDescription desc{};
  CFStringRef name = nullptr;
  UInt32 version = 0;
  AudioComponentFactoryFunction factory = nullptr;
  ZQAUComponentEntry entry = nullptr;
  bool registered = true;
};

struct ComponentRegistry
{
  std::mutex mutex;
  // Records live for the process: AudioComponent handles given out must stay valid.
  std::vector<std::unique_ptr<ComponentRecord>> components;
  std::unordered_map<AudioComponentInstance, ComponentRecord*> instances;
};

ComponentRegistry& Registry()
{
  static ComponentRegistry* registry = new ComponentRegistry; // never destroyed: handles outlive statics
  return *registry;
}

ComponentRecord* AsRecord(AudioComponent component)
{
  return reinterpret_cast<ComponentRecord*>(component);
}
AudioComponent AsHandle(ComponentRecord* record)
{
  return reinterpret_cast<AudioComponent>(record);
}

// Index of a known component, or -1. Caller holds the lock.
long IndexOf(const ComponentRegistry& r, AudioComponent component)
{
  for (size_t i = 0; i < r.components.size(); ++i)
  {
    if (AsHandle(r.components[i].get()) == component) return static_cast<long>(i);
  }
  return -1;
}

bool Matches(const AudioComponentDescription& have, const AudioComponentDescription* want)
{
  if (!want) return true;
  return (want->componentType == 0 || want->componentType == have.componentType) &&
         (want->componentSubType == 0 || want->componentSubType == have.componentSubType) &&
         (want->componentManufacturer == 0 || want->componentManufacturer == have.componentManufacturer) &&
         ((have.componentFlags ^ want->componentFlags) & want->componentFlagsMask) == 0;
}

AudioComponent Register(const AudioComponentDescription* desc, CFStringRef name, UInt32 version,
                        AudioComponentFactoryFunction factory, ZQAUComponentEntry entry)
{
  auto record = std::make_unique<ComponentRecord>();
  record->desc = *desc;
  record->name = name ? static_cast<CFStringRef>(CFRetain(name)) : nullptr;
  record->version = version;
  record->factory = factory;
  record->entry = entry;
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.components.push_back(std::move(record));
  return AsHandle(r.components.back().get());
}

// Runs read on the record of a known component, under the lock; kAudio_ParamError for an unknown one.
template <class Read> OSStatus ReadRecord(AudioComponent component, Read read)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (IndexOf(r, component) < 0) return kAudio_ParamError;
  read(*AsRecord(component));
  return noErr;
}

// The live instance's component record, or null.
ComponentRecord* InstanceRecord(AudioComponentInstance instance)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.instances.find(instance);
  return it == r.instances.end() ? nullptr : it->second;
}

} // namespace

// ---- Registry ----

AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName, UInt32 inVersion,
                                      AudioComponentFactoryFunction inFactory)
{
  if (!inDesc || !inFactory) return nullptr;
  return Register(inDesc, inName, inVersion, inFactory, nullptr);
}

AudioComponent ZQAURegisterComponentEntry(const AudioComponentDescription* inDesc, CFStringRef inName, UInt32 inVersion,
                                          ZQAUComponentEntry inEntry)
{
  if (!inDesc || !inEntry) return nullptr;
  return Register(inDesc, inName, inVersion, nullptr, inEntry);
}

void ZQAUUnregisterAllComponents(void)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (auto& record : r.components)
    record->registered = false;
}

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  size_t start = 0;
  if (inComponent)
  {
    const long index = IndexOf(r, inComponent);
    if (index < 0) return nullptr;
    start = static_cast<size_t>(index) + 1;
  }
  for (size_t i = start; i < r.components.size(); ++i)
  {
    ComponentRecord* record = r.components[i].get();
    if (record->registered && Matches(record->desc, inDesc)) return AsHandle(record);
  }
  return nullptr;
}

UInt32 AudioComponentCount(const AudioComponentDescription* inDesc)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return static_cast<UInt32>(std::count_if(r.components.begin(), r.components.end(),
                                           [&](const auto& record)
                                           { return record->registered && Matches(record->desc, inDesc); }));
}

OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName)
{
  if (!outName) return kAudio_ParamError;
  return ReadRecord(inComponent, [&](const ComponentRecord& record)
                    { *outName = record.name ? static_cast<CFStringRef>(CFRetain(record.name)) : nullptr; });
}

OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc)
{
  if (!outDesc) return kAudio_ParamError;
  return ReadRecord(inComponent, [&](const ComponentRecord& record) { *outDesc = record.desc; });
}

OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion)
{
  if (!outVersion) return kAudio_ParamError;
  return ReadRecord(inComponent, [&](const ComponentRecord& record) { *outVersion = record.version; });
}

// ---- Instances ----

OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance)
{
  if (!outInstance) return kAudio_ParamError;
  *outInstance = nullptr;
  ComponentRegistry& r = Registry();
  ComponentRecord* record = nullptr;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (IndexOf(r, inComponent) < 0) return kAudio_ParamError;
    record = AsRecord(inComponent);
    if (!record->registered) return kAudio_ParamError;
  }
  // Component code runs without the lock: it may call back into the registry.
  AudioComponentPlugInInterface* plugin =
      record->factory ? record->factory(&record->desc) : zqau::NewEntryRecord(record->entry);
  if (!plugin) return kAudio_MemFullError;
  if (!plugin->Open || !plugin->Close || !plugin->Lookup) return kAudio_ParamError;

  const auto instance = reinterpret_cast<AudioComponentInstance>(plugin);
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    r.instances[instance] = record;
  }
  const OSStatus status = plugin->Open(plugin, instance);
  if (status != noErr)
  {
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      r.instances.erase(instance);
    }
    zqcs::ReleaseStorageSlot(reinterpret_cast<ComponentInstance>(instance));
    return status;
  }
  *outInstance = instance;
  return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance)
{
  if (!inInstance) return kAudio_ParamError;
  ComponentRegistry& r = Registry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.instances.erase(inInstance) == 0) return badComponentInstance;
  }
  auto* plugin = reinterpret_cast<AudioComponentPlugInInterface*>(inInstance);
  const OSStatus status = plugin->Close(plugin);
  zqcs::ReleaseStorageSlot(reinterpret_cast<ComponentInstance>(inInstance));
  return status;
}

AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance)
{
  return AsHandle(InstanceRecord(inInstance));
}

Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID)
{
  if (!inInstance) return false;
  const ComponentRecord* record = InstanceRecord(inInstance);
  if (record && record->entry)
  {
    const long selector = inSelectorID;
    return zqau::CallEntryRecord(inInstance, kComponentCanDoSelect, &selector, 1) != 0;
  }
  const auto* plugin = reinterpret_cast<const AudioComponentPlugInInterface*>(inInstance);
  return plugin->Lookup && plugin->Lookup(inSelectorID) != nullptr;
}

UInt32 ZQAULiveInstanceCount(void)
{
  ComponentRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return static_cast<UInt32>(r.instances.size());
}

OSStatus ZQAUCallComponentInstance(ComponentInstance inInstance, SInt16 what, const long* args, UInt32 argCount)
{
  const auto instance = reinterpret_cast<AudioComponentInstance>(inInstance);
  const ComponentRecord* record = instance ? InstanceRecord(instance) : nullptr;
  if (!record || !record->entry) return badComponentInstance;
  return zqau::CallEntryRecord(instance, what, args, argCount);
}

#pragma once

// The component's exported entry points, written once and instantiated per plug-in class:
//
//   ZANIQ_AU_ENTRY(ZANIQ, ZANIQ_Factory, ZANIQ_Entry)   // at global scope, in one source file of the product
//
// defines
//   extern "C" AudioComponentPlugInInterface* ZANIQ_Factory(const AudioComponentDescription*)
//     — the component factory: a new instance record whose Open constructs a ZANIQ behind its header;
//   extern "C" OSStatus ZANIQ_Entry(ComponentParameters* params, void* storage)
//     — the Component Manager entry: PluginAU::ComponentDispatch.
// Both are exported with default visibility. The editor's view factory class is "ZANIQ_View" (au/ZANIQ_View.h)
// for every plug-in class: each bundle registers its own copy from its own image.
//
// The plug-in class must derive from PluginAU and be constructible from a const InstanceInfo&.

#include "au/PluginAU.h"

#include <AudioToolbox/AudioToolbox.h>
#include <CoreServices/CoreServices.h>

#include <cstddef>
#include <new>
#include <type_traits>

namespace plugin
{

// One instance made by a factory: eight pointer-sized words, then the plug-in object's storage. Words 0 to 3
// are the published AudioComponentPlugInInterface; the host passes the record's address as `self` to every
// method.
struct AUInstanceRecord
{
  AudioComponentPlugInInterface mInterface; // words 0-3: Open, Close, Lookup, reserved
  PluginAU* (*mConstruct)(void* storage);  // word 4: builds the object in the storage behind the header
  void (*mDestruct)(PluginAU* plug);       // word 5: runs its complete destructor without freeing
  PluginAU* mPlug;                         // word 6: the object between Open and Close, else null
  void* mReserved;                          // word 7: the record itself once closed while its object finishes a call

  void* Storage() { return reinterpret_cast<unsigned char*>(this) + sizeof(AUInstanceRecord); }
};
static_assert(sizeof(AUInstanceRecord) == 8 * sizeof(void*), "the header is eight words");
// Records are allocated on this boundary; the object behind the header may need up to this alignment.
inline constexpr size_t kAUInstanceAlignment = 64;
static_assert(sizeof(AUInstanceRecord) % kAUInstanceAlignment == 0, "the object behind the header stays aligned");
static_assert(offsetof(AUInstanceRecord, mInterface) == 0, "the host reads the record as the interface");

// [main thread] A record with room for objectSize bytes behind the header (64-aligned, freed with free), its methods filled in and
// no object yet; null when the allocation failed.
AUInstanceRecord* NewAUInstanceRecord(size_t objectSize, PluginAU* (*construct)(void*),
                                      void (*destruct)(PluginAU*));

// The per-class half of the entry points; Traits gives `Plug` (the class) and `kViewClassName`.
template <class Traits>
struct AUEntry
{
  using Plug = typename Traits::Plug;
  static_assert(std::is_base_of_v<PluginAU, Plug>, "the plug-in class derives from PluginAU");
  static_assert(alignof(Plug) <= kAUInstanceAlignment, "the storage behind the header is 64-aligned");

  // [main thread] Constructs the plug-in at memory, or on the heap when memory is null. May throw (bad_alloc);
  // the callers below turn that into a status.
  static Plug* MakePlug(void* memory)
  {
    InstanceInfo info;
    info.mCocoaViewFactoryClassName.Set(Traits::kViewClassName);
    return memory ? new (memory) Plug(info) : new Plug(info);
  }

  static PluginAU* Construct(void* storage) { return MakePlug(storage); }
  static void Destruct(PluginAU* plug) { static_cast<Plug*>(plug)->~Plug(); }
  static PluginAU* MakeHeapPlug() { return MakePlug(nullptr); }

  // [main thread] The description is not read.
  static AudioComponentPlugInInterface* Factory(const AudioComponentDescription*)
  {
    AUInstanceRecord* record = NewAUInstanceRecord(sizeof(Plug), &Construct, &Destruct);
    return record ? &record->mInterface : nullptr;
  }

  // [thread of the selector]
  static OSStatus Entry(ComponentParameters* params, void* storage)
  {
    return PluginAU::ComponentDispatch(params, static_cast<PluginAU*>(storage), &MakeHeapPlug);
  }
};

} // namespace plugin

#define ZANIQ_AU_ENTRY(ClassName, FactoryName, EntryName)                                                        \
  namespace                                                                                                      \
  {                                                                                                              \
  struct FactoryName##_AUEntryTraits                                                                             \
  {                                                                                                              \
    using Plug = ClassName;                                                                                      \
    static constexpr const char* kViewClassName = "ZANIQ_View";                                                  \
  };                                                                                                             \
  }                                                                                                              \
  extern "C" __attribute__((visibility("default"))) AudioComponentPlugInInterface* FactoryName(                 \
    const AudioComponentDescription* desc)                                                                       \
  {                                                                                                              \
    return ::plugin::AUEntry<FactoryName##_AUEntryTraits>::Factory(desc);                                        \
  }                                                                                                              \
  extern "C" __attribute__((visibility("default"))) OSStatus EntryName(ComponentParameters* params, void* storage) \
  {                                                                                                              \
    return ::plugin::AUEntry<FactoryName##_AUEntryTraits>::Entry(params, storage);                               \
  }

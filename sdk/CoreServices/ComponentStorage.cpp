#include "CoreServices/ComponentStorage_p.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace
{

struct StorageRegistry
{
  std::mutex mutex;
  std::unordered_map<ComponentInstance, std::unique_ptr<zqcs::StorageSlot>> slots;
};

// Never destroyed: instances may be disposed from static destructors of hosts.
StorageRegistry& Registry()
{
  static StorageRegistry* registry = new StorageRegistry;
  return *registry;
}

} // namespace

namespace zqcs
{

StorageSlot* AcquireStorageSlot(ComponentInstance instance)
{
  if (!instance) return nullptr;
  StorageRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::unique_ptr<StorageSlot>& slot = r.slots[instance];
  if (!slot) slot = std::make_unique<StorageSlot>();
  return slot.get();
}

void ReleaseStorageSlot(ComponentInstance instance)
{
  StorageRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.slots.erase(instance);
}

} // namespace zqcs

Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance)
{
  if (!aComponentInstance) return nullptr;
  StorageRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.slots.find(aComponentInstance);
  return it == r.slots.end() ? nullptr : it->second->storage.load(std::memory_order_acquire);
}

void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage)
{
  if (!aComponentInstance) return;
  StorageRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!theStorage)
  {
    // Keep an existing slot (its holder may still read it); just empty it.
    const auto it = r.slots.find(aComponentInstance);
    if (it != r.slots.end()) it->second->storage.store(nullptr, std::memory_order_release);
    return;
  }
  std::unique_ptr<zqcs::StorageSlot>& slot = r.slots[aComponentInstance];
  if (!slot) slot = std::make_unique<zqcs::StorageSlot>();
  slot->storage.store(theStorage, std::memory_order_release);
}

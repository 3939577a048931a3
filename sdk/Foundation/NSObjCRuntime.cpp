// Foundation stand-in: the class registry behind NSClassFromString.

#include <Foundation/Foundation.h>

#include <map>
#include <memory>
#include <mutex>

namespace
{

struct Registry
{
  std::mutex mutex;
  // Handles are never freed, so a host may keep one across an unload.
  std::map<std::string, std::unique_ptr<ZQClassObject>> classes;
};

Registry& Classes()
{
  static Registry* registry = new Registry();
  return *registry;
}

} // namespace

Class ZQRegisterClass(const char* name, ZQClassObject::Factory factory)
{
  if (!name || !*name || !factory) return nullptr;
  Registry& r = Classes();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto& slot = r.classes[name];
  if (slot)
    *slot = ZQClassObject(name, factory);
  else
    slot = std::make_unique<ZQClassObject>(name, factory);
  return slot.get();
}

void ZQUnregisterClass(const char* name)
{
  if (!name) return;
  Registry& r = Classes();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.classes.find(name);
  if (it != r.classes.end()) it->second->mFactory = nullptr;
}

Class NSClassFromString(const NSString* name)
{
  if (!name) return nullptr;
  Registry& r = Classes();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.classes.find(name->UTF8String());
  return it != r.classes.end() && it->second->alloc_ready() ? it->second.get() : nullptr;
}

NSString* NSStringFromClass(Class cls)
{
  return cls ? NSString::stringWithUTF8String(cls->name()) : nullptr;
}

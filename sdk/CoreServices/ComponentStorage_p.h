// Inside the stand-in: per-instance storage slots that stay put while their instance lives, so that the
// Component Manager bridge can read an instance's storage on the audio thread without a lock.
#pragma once

#include <CoreServices/CoreServices.h>

#include <atomic>

namespace zqcs
{

struct StorageSlot
{
  std::atomic<Handle> storage{nullptr};
};

// [any thread] The instance's slot, created when missing; valid until ReleaseStorageSlot. Null instance: null.
StorageSlot* AcquireStorageSlot(ComponentInstance instance);
// [any thread] Forgets the instance and its storage (when the instance is disposed).
void ReleaseStorageSlot(ComponentInstance instance);

} // namespace zqcs

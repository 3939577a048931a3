#include "framework/Lifetime.h"

#include <pthread.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace plugin
{

namespace
{

// The key whose value on each thread is that thread's innermost open scope (null with none open). It is made as
// the library loads, before any host call: made that early it gets one of the first key slots, which the C
// library keeps inside each thread, so setting it never allocates (with the GNU C library a slot from the 33rd on
// costs each thread one small allocation, the first time a scope opens on it). A scope opened by an earlier static
// initializer makes it then. It is deleted as the library unloads, since a host loads and unloads bundles at run
// time.
static_assert(std::is_integral_v<pthread_key_t>);
constexpr uint64_t kNoKeyYet = 0;
// Not made (the process ran out of keys) or deleted: scopes do not register. Making it is not tried again, as
// that takes a lock on some systems and would happen on the audio thread.
constexpr uint64_t kNoKey = ~uint64_t{0};
std::atomic<uint64_t> gKey{kNoKeyYet}; // else the key + 1; constant-initialized, so usable before any constructor

bool MakeThreadKey(pthread_key_t& key)
{
  uint64_t k = kNoKeyYet;
  pthread_key_t made{};
  const uint64_t mine = pthread_key_create(&made, nullptr) == 0 ? uint64_t(made) + 1 : kNoKey;
  if (gKey.compare_exchange_strong(k, mine, std::memory_order_acq_rel))
    k = mine;
  else if (mine != kNoKey)
    pthread_key_delete(made);
  key = static_cast<pthread_key_t>(k - 1);
  return k != kNoKey;
}

inline bool ThreadKey(pthread_key_t& key)
{
  const uint64_t k = gKey.load(std::memory_order_acquire);
  if (k == kNoKeyYet) [[unlikely]]
    return MakeThreadKey(key);
  key = static_cast<pthread_key_t>(k - 1);
  return k != kNoKey;
}

struct LibraryKey
{
  LibraryKey()
  {
    pthread_key_t key;
    (void)ThreadKey(key);
  }
  ~LibraryKey()
  {
    const uint64_t k = gKey.exchange(kNoKey, std::memory_order_acq_rel);
    if (k != kNoKeyYet && k != kNoKey) pthread_key_delete(static_cast<pthread_key_t>(k - 1));
  }
  LibraryKey(const LibraryKey&) = delete;
  LibraryKey& operator=(const LibraryKey&) = delete;
} gLibraryKey;

// Scopes open that could not register (no key, or no memory for the thread's part of it). Any of them may be a
// call of any object further out on its thread, and inner scopes cannot see it: while one is open, no scope is
// sure to be its object's outermost, and a disposal that cannot be placed for sure is kept back, not run. An
// object kept is better than one freed under a call of it.
std::atomic<int> gUnregistered{0};

} // namespace

Lifetime::Scope::Scope(Lifetime& lifetime) : mLifetime(&lifetime)
{
  pthread_key_t key;
  if (ThreadKey(key))
  {
    auto* outer = static_cast<Scope*>(pthread_getspecific(key));
    if (pthread_setspecific(key, this) == 0)
    {
      mRegistered = true;
      mOuter = outer;
      // A scope further out on this thread that could not register was counted before this one opened.
      mOutermost = gUnregistered.load(std::memory_order_acquire) == 0;
      for (const Scope* s = outer; s && mOutermost; s = s->mOuter)
        if (s->mLifetime == mLifetime) mOutermost = false;
      return;
    }
  }
  gUnregistered.fetch_add(1, std::memory_order_acq_rel);
}

Lifetime::Scope::~Scope()
{
  if (mRegistered)
  {
    // Scopes close in the reverse order of opening on their thread; the thread's part of the key exists now, so
    // this allocates nothing.
    pthread_key_t key;
    if (ThreadKey(key)) (void)pthread_setspecific(key, mOuter);
  }
  else
  {
    gUnregistered.fetch_sub(1, std::memory_order_acq_rel);
  }
  if (!mDispose) return;
  // Only the outermost scope of its object in the chain keeps a disposal. Not sure of being the outermost at all,
  // it is sure once no unregistered scope is open: none can then be around it.
  if (!mOutermost && gUnregistered.load(std::memory_order_acquire) != 0) return;
  // The object, and the lifetime inside it, go here: nothing of either is touched afterwards.
  std::function<void()> dispose = std::move(mDispose);
  dispose();
}

Lifetime::Scope* Lifetime::OutermostScope() const
{
  pthread_key_t key;
  Scope* found = nullptr;
  if (ThreadKey(key))
    for (Scope* s = static_cast<Scope*>(pthread_getspecific(key)); s; s = s->mOuter)
      if (s->mLifetime == this) found = s;
  return found;
}

bool Lifetime::Dispose(std::function<void()> dispose)
{
  Scope* outermost = OutermostScope();
  if (outermost || gUnregistered.load(std::memory_order_acquire) != 0)
  {
    if (outermost && !outermost->mDispose) outermost->mDispose = std::move(dispose);
    mDisposing.store(true, std::memory_order_release);
    return false;
  }
  if (dispose) dispose();
  return true;
}

} // namespace plugin

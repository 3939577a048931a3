#include "framework/Lifetime.h"

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace plugin
{

namespace
{

// A thread with scopes open: its innermost scope, which only that thread reads or writes. The owner is claimed
// and given back with atomics, so other threads only ever compare it.
struct ThreadChain
{
  std::atomic<uintptr_t> owner{0}; // 0: never taken, kReleased: free again, else the thread
  Lifetime::Scope* innermost = nullptr;
};

// A thread takes the first free entry along its probe sequence and gives it back as "released", never as "never
// taken": the entries before its own are never "never taken", so a search stops at the first such entry, and
// a thread that is in no call finds that out in a probe or two, not a scan of the table (the audio thread opens
// a first scope in every render).
constexpr uintptr_t kReleased = 1;

// More threads inside plug-in calls at once than any host runs; beyond them scopes are not counted (their
// disposals run at once, as without scopes).
constexpr size_t kThreads = 256;
ThreadChain gThreads[kThreads];

uintptr_t ThisThread()
{
  // pthread_t is an integer here and a pointer on other systems; either identifies the thread while it lives.
  return (uintptr_t)pthread_self();
}

size_t FirstProbe(uintptr_t thread)
{
  return size_t((uint64_t(thread) * 0x9E3779B97F4A7C15ull) >> 56) % kThreads;
}

ThreadChain* FindThread(uintptr_t me)
{
  const size_t start = FirstProbe(me);
  for (size_t i = 0; i < kThreads; ++i)
  {
    ThreadChain& c = gThreads[(start + i) % kThreads];
    const uintptr_t owner = c.owner.load(std::memory_order_acquire);
    if (owner == me) return &c;
    if (owner == 0) break;
  }
  return nullptr;
}

ThreadChain* ClaimThread(uintptr_t me)
{
  const size_t start = FirstProbe(me);
  for (size_t i = 0; i < kThreads; ++i)
  {
    ThreadChain& c = gThreads[(start + i) % kThreads];
    uintptr_t owner = c.owner.load(std::memory_order_relaxed);
    if ((owner == 0 || owner == kReleased) && c.owner.compare_exchange_strong(owner, me, std::memory_order_acq_rel))
      return &c;
  }
  return nullptr;
}

} // namespace

Lifetime::Scope::Scope(Lifetime& lifetime) : mLifetime(&lifetime)
{
  const uintptr_t me = ThisThread();
  ThreadChain* chain = FindThread(me);
  if (!chain) chain = ClaimThread(me);
  mThread = chain;
  if (!chain) return;
  mOutermost = true;
  for (const Scope* s = chain->innermost; s && mOutermost; s = s->mOuter)
    if (s->mLifetime == mLifetime) mOutermost = false;
  mOuter = chain->innermost;
  chain->innermost = this;
}

Lifetime::Scope::~Scope()
{
  if (auto* chain = static_cast<ThreadChain*>(mThread))
  {
    chain->innermost = mOuter;
    if (!mOuter) chain->owner.store(kReleased, std::memory_order_release);
  }
  if (!mOutermost || !mDispose) return;
  // The object, and the lifetime inside it, go here: nothing of either is touched afterwards.
  std::function<void()> dispose = std::move(mDispose);
  dispose();
}

Lifetime::Scope* Lifetime::OutermostScope() const
{
  const ThreadChain* chain = FindThread(ThisThread());
  Scope* found = nullptr;
  for (Scope* s = chain ? chain->innermost : nullptr; s; s = s->mOuter)
    if (s->mLifetime == this) found = s;
  return found;
}

bool Lifetime::Dispose(std::function<void()> dispose)
{
  if (Scope* outermost = OutermostScope())
  {
    if (!outermost->mDispose) outermost->mDispose = std::move(dispose);
    mDisposing.store(true, std::memory_order_release);
    return false;
  }
  if (dispose) dispose();
  return true;
}

} // namespace plugin

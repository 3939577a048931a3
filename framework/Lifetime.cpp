#include "framework/Lifetime.h"

#include <utility>

namespace plugin
{

namespace
{
// The innermost open scope of this thread; scopes link outwards.
thread_local Lifetime::Scope* tInnermost = nullptr;
} // namespace

Lifetime::Scope::Scope(Lifetime& lifetime) : mLifetime(&lifetime), mOuter(tInnermost), mOutermost(!lifetime.InScope())
{
  tInnermost = this;
}

Lifetime::Scope::~Scope()
{
  tInnermost = mOuter;
  if (!mOutermost || !mDispose) return;
  // The object, and the lifetime inside it, go here: nothing of either is touched afterwards.
  std::function<void()> dispose = std::move(mDispose);
  dispose();
}

Lifetime::Scope* Lifetime::OutermostScope() const
{
  Scope* found = nullptr;
  for (Scope* s = tInnermost; s; s = s->mOuter)
    if (s->mLifetime == this) found = s;
  return found;
}

bool Lifetime::InScope() const
{
  for (const Scope* s = tInnermost; s; s = s->mOuter)
    if (s->mLifetime == this) return true;
  return false;
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

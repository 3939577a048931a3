#pragma once

// Lifetime — lets an object be disposed of from inside its own calls. A host disposes of a plug-in from the run
// loop that a native menu, message box or timer of the plug-in runs; a control closes the editor from its own
// handler. Every call of the object that may run foreign code opens a Scope; a disposal asked for while a scope
// of the object is open on the same thread is kept by the outermost such scope and runs when it closes, so no
// frame below returns into freed memory. Until then the object is "disposing": its calls finish what they do, but
// start nothing new and tell nobody outside.
//
// Threads: each thread's open scopes form a chain on its stack, whose innermost link is the value of one thread
// key: found in constant time whatever number of threads, and kept without allocating (the audio thread opens
// scopes too). Not thread_local: a bundle is loaded and unloaded at run time, and the leak checker crashed on its
// dynamic thread-local storage. A scope never reads its object, so an object deleted outright inside
// one leaves nothing behind. A disposal does not wait for scopes on other threads: a host never disposes of a unit
// another of its threads is still calling.

#include <atomic>
#include <functional>

namespace plugin
{

class Lifetime
{
public:
  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  class Scope
  {
  public:
    explicit Scope(Lifetime& lifetime);
    // The outermost scope of its object on this thread runs a disposal asked for inside it, as its last act.
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

  private:
    friend class Lifetime;
    const Lifetime* mLifetime;
    Scope* mOuter = nullptr;        // the next scope out on this thread, of any object
    bool mRegistered = false;       // in its thread's chain (false only when the thread's key could not be set)
    bool mOutermost = false;        // surely no other scope of this object is open further out on this thread
    std::function<void()> mDispose; // kept by the outermost scope in the chain only
  };

  // Runs dispose now when no scope of this object is open on this thread, else when the outermost one closes.
  // While one disposal waits, a second request is dropped. True when dispose ran now. Should a thread's scope
  // ever fail to register (no memory for its key), a disposal that cannot be placed for sure while such a scope
  // is open anywhere is kept back for good: the object stays rather than go under a call of it.
  bool Dispose(std::function<void()> dispose);
  // True from a deferred disposal request until the object is gone.
  bool IsDisposing() const { return mDisposing.load(std::memory_order_acquire); }
  // True while a scope of this object is open on the calling thread.
  bool InScope() const { return OutermostScope() != nullptr; }

private:
  Scope* OutermostScope() const;

  std::atomic<bool> mDisposing{false};
};

} // namespace plugin

#pragma once

// AURenderNotifyList — the host's render notifications (AudioUnitAddRenderNotify), read by the audio thread while
// the main thread may add and remove entries.
//
// The list is an immutable snapshot published through one atomic pointer. The main thread builds a new snapshot
// for every change and swaps it in; the old one is retired and freed only once no render is inside a read
// section (a reader count, checked on the main thread). A render therefore sees one consistent list for its
// whole duration (pre- and post-render calls alike) and never walks freed memory, without taking a lock.
//
// Threads: Add, Remove, Reclaim and the destructor on the main thread; Reader on the audio thread.

#include <AudioToolbox/AudioToolbox.h>

#include <atomic>
#include <vector>

namespace plugin
{

class AURenderNotifyList
{
public:
  struct Snapshot
  {
    int mCount = 0;
    const AURenderCallbackStruct* mEntries = nullptr;
  };

  AURenderNotifyList();
  // Frees every snapshot. No render may run (the adapter is being destroyed).
  ~AURenderNotifyList();
  AURenderNotifyList(const AURenderNotifyList&) = delete;
  AURenderNotifyList& operator=(const AURenderNotifyList&) = delete;

  // [main thread] Appends (function, user data); duplicates are kept. False, with nothing changed, for a null
  // function or when memory ran out.
  [[nodiscard]] bool Add(AURenderCallback func, void* userData);
  // [main thread] Removes the first entry with that function and that user data: another registration of the same
  // function keeps being called with its own user data. False when none matched (or memory ran out).
  bool Remove(AURenderCallback func, void* userData);
  // [main thread] Frees retired snapshots when no reader holds one. Also done by Add and Remove.
  void Reclaim();

  // [main thread] Entries of the current list (for inspection).
  int Count() const;
  int RetiredCount() const { return static_cast<int>(mRetired.size()); }

  // [audio thread] Scoped read section: the snapshot stays valid until the reader is destroyed. Never allocates,
  // never blocks.
  class Reader
  {
  public:
    explicit Reader(const AURenderNotifyList& list);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    const Snapshot& Get() const { return *mSnapshot; }

  private:
    const AURenderNotifyList& mList;
    const Snapshot* mSnapshot;
  };

private:
  struct Node
  {
    Snapshot mSnapshot;
    std::vector<AURenderCallbackStruct> mStorage;
  };

  // Publishes next and retires the current node.
  void Publish(Node* next);

  std::atomic<Node*> mCurrent;
  mutable std::atomic<int> mReaders{0};
  std::vector<Node*> mRetired; // main thread only
};

} // namespace plugin

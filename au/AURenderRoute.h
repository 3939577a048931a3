#pragma once

// AURenderRoute — what a render needs to know of the input buses (whether each is connected, its channels, and
// where its audio comes from), published by the main thread and read by the audio thread without a lock.
//
// Every change of a connection, render callback or stream format builds a new immutable route and swaps it in
// through one atomic pointer; the old route is retired and freed only once no render is inside a read section
// (a reader count, checked on the main thread). A render therefore sees the old route or the new one, whole, for
// its entire duration, and never reads a record the main thread is rewriting.
//
// Threads: Publish, Reclaim, Current and the destructor on the main thread; Reader on the audio thread.

#include <AudioToolbox/AudioToolbox.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace plugin
{

// How an input bus obtains its audio.
enum class AUInputType : int32_t
{
  NotConnected = 0,
  DirectFastProc = 1,   // the upstream unit's fast render function
  DirectNoFastProc = 2, // AudioUnitRender on the upstream unit
  RenderCallback = 3,   // the host's input callback
};

// Where an input bus's audio comes from.
struct AUInputConnection
{
  void* mUpstreamObj = nullptr; // the upstream unit's instance storage, for its fast render function
  AudioUnit mUpstreamUnit = nullptr;
  int mUpstreamBusIdx = 0;
  AudioUnitRenderProc mUpstreamRenderProc = nullptr;
  AURenderCallbackStruct mInputCallback = {nullptr, nullptr};
  AUInputType mInputType = AUInputType::NotConnected;
};

// One input bus as the render sees it.
struct AURenderInput
{
  bool mConnected = false;
  int mNChannels = 0;           // channels pulled: the host's count, at most the bus's own
  int mPlugChannelStartIdx = 0; // first processor input channel of the bus
  int mNPlugChannels = 0;
  AUInputConnection mConnection;
};

struct AURenderRoute
{
  uint64_t mGeneration = 0; // increases with every route published
  std::vector<AURenderInput> mInputs;
};

class AURenderRouteSlot
{
public:
  AURenderRouteSlot();
  // Frees every route. No render may run (the adapter is being destroyed).
  ~AURenderRouteSlot();
  AURenderRouteSlot(const AURenderRouteSlot&) = delete;
  AURenderRouteSlot& operator=(const AURenderRouteSlot&) = delete;

  // [main thread] Swaps in a copy of inputs as the new route. False, with the old route kept, when memory ran out.
  [[nodiscard]] bool Publish(const std::vector<AURenderInput>& inputs);
  // [main thread] Frees retired routes when no reader holds one. Also done by Publish.
  void Reclaim();
  // [main thread] The current route (for inspection).
  const AURenderRoute& Current() const { return *mCurrent.load(); }
  int RetiredCount() const { return static_cast<int>(mRetired.size()); }

  // [audio thread] Scoped read section: the route stays valid until the reader is destroyed. Never allocates,
  // never blocks.
  class Reader
  {
  public:
    explicit Reader(const AURenderRouteSlot& slot);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    const AURenderRoute& Get() const { return *mRoute; }

  private:
    const AURenderRouteSlot& mSlot;
    const AURenderRoute* mRoute;
  };

private:
  std::atomic<AURenderRoute*> mCurrent;
  mutable std::atomic<int> mReaders{0};
  std::vector<AURenderRoute*> mRetired; // main thread only
  uint64_t mNextGeneration = 1;
};

} // namespace plugin

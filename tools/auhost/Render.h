#pragma once

// Audio flowing into and out of instances: sources that answer an input callback (a buffer, or another
// instance's output through an in-process effect), chains of instances (A -> effect -> B), and the offline
// render loop that drives the last instance block by block while the run loop keeps the plug-ins' timers going.

#include "tools/auhost/AudioData.h"
#include "tools/auhost/Instance.h"
#include "tools/auhost/RunLoop.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace auhost
{

// What feeds an input bus.
class AudioSource
{
public:
  virtual ~AudioSource() = default;
  // [audio thread] Fills data (one buffer per channel) with `frames` samples starting at ts.mSampleTime. A buffer
  // whose mData is null may be pointed at memory the source owns until the next pull. A non-zero status ends the
  // pulling unit's render with that status.
  virtual OSStatus Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data) = 0;
};

// Plays planar audio: sample time t reads frame t of the data; times outside it read silence. Buffer k takes
// channel k (silence for k beyond the data's channels).
class BufferSource final : public AudioSource
{
public:
  // The data is borrowed and must outlive the source. maxFrames bounds the frames of one pull that needs the
  // source's own memory (a null mData).
  BufferSource(const AudioData& data, UInt32 maxFrames);
  OSStatus Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data) override;
  // [any thread] Pulls answered so far.
  uint64_t PullCount() const { return mPulls.load(std::memory_order_relaxed); }

private:
  const AudioData& mData;
  std::vector<float> mScratch; // maxFrames per channel, for buffers without memory
  UInt32 mMaxFrames;
  std::atomic<uint64_t> mPulls{0};
};

// An in-process effect between two instances.
class Effect
{
public:
  virtual ~Effect() = default;
  // [audio thread] Processes the buffers in place; never allocates.
  virtual void Process(AudioBufferList& data, UInt32 frames) = 0;
};

// Multiplies by a gain given in dB.
class GainEffect final : public Effect
{
public:
  explicit GainEffect(double dB);
  void Process(AudioBufferList& data, UInt32 frames) override;
  double Factor() const { return mFactor; }

private:
  double mFactor;
};

// Another instance's output bus, rendered at the same sample time into the puller's buffers, then passed through
// an optional effect.
class UnitSource final : public AudioSource
{
public:
  // upstream and effect are borrowed; effect may be null.
  UnitSource(Instance& upstream, Effect* effect, UInt32 upstreamBus = 0);
  OSStatus Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data) override;

private:
  Instance& mUpstream;
  Effect* mEffect;
  UInt32 mBus;
};

// Instances in series inside one process: the first is fed by the chain's source, each later one by the one
// before it through that stage's effect. The chain borrows instances, effects and source.
class Chain
{
public:
  // [main thread] Appends an instance fed through `effectBefore` (null: unchanged; ignored for the first).
  void Append(Instance& instance, Effect* effectBefore = nullptr);
  // [main thread, not rendering] Connects every stage's input bus 0 (the first to source, which may be null for
  // a unit without input). Fails when the chain is empty or a stage refuses its callback.
  Status Connect(AudioSource* source);
  // [main thread] Removes the input callbacks again.
  void Disconnect();
  Instance* Last() const { return mStages.empty() ? nullptr : mStages.back().instance; }
  size_t Size() const { return mStages.size(); }

private:
  struct Stage
  {
    Instance* instance;
    Effect* effectBefore;
    std::unique_ptr<UnitSource> feed; // null for the first stage
  };
  std::vector<Stage> mStages;
};

// [main thread] Renders `frames` frames of output bus 0 of an initialised instance into out (outChannels
// channels, the sample rate as given), in blocks of at most blockSize from sample time 0. After each block the
// run loop is pumped for the block's duration when a pump is given. Failure: the first render error, with the
// sample time it happened at; out then holds what was rendered before it.
Status RenderFrames(Instance& last, uint64_t frames, UInt32 outChannels, UInt32 blockSize, double sampleRate,
                    RunLoopPump* pump, AudioData& out);

} // namespace auhost

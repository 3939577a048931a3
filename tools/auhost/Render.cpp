// Sources, effects, chains and the offline render loop.

#include "tools/auhost/Render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace auhost
{

// ---------------------------------------------------------------------------------------------------------------
// BufferSource
// ---------------------------------------------------------------------------------------------------------------

BufferSource::BufferSource(const AudioData& data, UInt32 maxFrames)
  : mData(data), mScratch(static_cast<size_t>(maxFrames) * Instance::kMaxChannels), mMaxFrames(maxFrames)
{
}

OSStatus BufferSource::Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data)
{
  mPulls.fetch_add(1, std::memory_order_relaxed);
  if (!data) return kAudio_ParamError;
  const UInt32 nBuffers = data->mNumberBuffers;
  if (nBuffers > Instance::kMaxChannels) return kAudio_ParamError;
  if (!(ts.mFlags & kAudioTimeStampSampleTimeValid) || !std::isfinite(ts.mSampleTime)) return kAudio_ParamError;

  const uint64_t total = mData.NFrames();
  for (UInt32 k = 0; k < nBuffers; ++k)
  {
    AudioBuffer& buffer = data->mBuffers[k];
    if (!buffer.mData)
    {
      if (frames > mMaxFrames) return kAudio_ParamError;
      buffer.mData = mScratch.data() + static_cast<size_t>(k) * mMaxFrames;
      buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    }
    if (static_cast<uint64_t>(buffer.mDataByteSize) < uint64_t(frames) * sizeof(float)) return kAudio_ParamError;
    auto* out = static_cast<float*>(buffer.mData);
    std::fill(out, out + frames, 0.0f);
    if (k >= mData.NChannels()) continue;
    const float* in = mData.channels[k].data();
    // Frames [start, start + frames) of the data that exist.
    const double start = std::floor(ts.mSampleTime);
    for (UInt32 i = 0; i < frames; ++i)
    {
      const double pos = start + i;
      if (pos >= 0.0 && pos < static_cast<double>(total)) out[i] = in[static_cast<uint64_t>(pos)];
    }
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Effects
// ---------------------------------------------------------------------------------------------------------------

GainEffect::GainEffect(double dB) : mFactor(std::isfinite(dB) ? std::pow(10.0, dB / 20.0) : 1.0) {}

void GainEffect::Process(AudioBufferList& data, UInt32 frames)
{
  const auto factor = static_cast<float>(mFactor);
  for (UInt32 k = 0; k < data.mNumberBuffers; ++k)
  {
    auto* samples = static_cast<float*>(data.mBuffers[k].mData);
    if (!samples) continue;
    const UInt32 n = std::min<UInt32>(frames, data.mBuffers[k].mDataByteSize / sizeof(float));
    for (UInt32 i = 0; i < n; ++i) samples[i] *= factor;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// UnitSource
// ---------------------------------------------------------------------------------------------------------------

UnitSource::UnitSource(Instance& upstream, Effect* effect, UInt32 upstreamBus)
  : mUpstream(upstream), mEffect(effect), mBus(upstreamBus)
{
}

OSStatus UnitSource::Pull(const AudioTimeStamp& ts, UInt32 frames, AudioBufferList* data)
{
  if (!data) return kAudio_ParamError;
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus st = mUpstream.Render(&flags, ts, mBus, frames, data);
  if (st != noErr) return st;
  if (mEffect) mEffect->Process(*data, frames);
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Chain
// ---------------------------------------------------------------------------------------------------------------

void Chain::Append(Instance& instance, Effect* effectBefore)
{
  Stage stage{&instance, mStages.empty() ? nullptr : effectBefore, nullptr};
  if (!mStages.empty()) stage.feed = std::make_unique<UnitSource>(*mStages.back().instance, stage.effectBefore);
  mStages.push_back(std::move(stage));
}

Status Chain::Connect(AudioSource* source)
{
  if (mStages.empty()) return Status::Error("chain: no instances");
  for (size_t i = 0; i < mStages.size(); ++i)
  {
    Stage& stage = mStages[i];
    AudioSource* feed = i == 0 ? source : stage.feed.get();
    if (!feed || stage.instance->BusCount(kAudioUnitScope_Input) == 0) continue;
    Status s = stage.instance->ConnectInput(feed, 0);
    if (!s) return s.Prefixed("chain stage " + std::to_string(i + 1));
  }
  return Status::Ok();
}

void Chain::Disconnect()
{
  for (Stage& stage : mStages)
    if (stage.instance->BusCount(kAudioUnitScope_Input) > 0) (void)stage.instance->ConnectInput(nullptr, 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Offline render
// ---------------------------------------------------------------------------------------------------------------

Status RenderFrames(Instance& last, uint64_t frames, UInt32 outChannels, UInt32 blockSize, double sampleRate,
                    RunLoopPump* pump, AudioData& out)
{
  if (blockSize == 0) return Status::Error("render: block size 0");
  if (outChannels == 0 || outChannels > Instance::kMaxChannels)
    return Status::Error("render: " + std::to_string(outChannels) + " output channels");
  out.sampleRate = sampleRate;
  out.Resize(outChannels, frames);
  std::vector<float> block(static_cast<size_t>(blockSize) * outChannels);
  float* pointers[Instance::kMaxChannels];
  for (uint64_t pos = 0; pos < frames;)
  {
    const auto n = static_cast<UInt32>(std::min<uint64_t>(blockSize, frames - pos));
    for (UInt32 c = 0; c < outChannels; ++c) pointers[c] = block.data() + static_cast<size_t>(c) * blockSize;
    const OSStatus st = last.RenderBlock(static_cast<double>(pos), n, pointers, outChannels);
    if (st != noErr)
    {
      for (auto& ch : out.channels) ch.resize(pos);
      return Status::FromOS(st, "render at sample " + std::to_string(pos));
    }
    // The unit may have answered with its own buffers.
    for (UInt32 c = 0; c < outChannels; ++c)
    {
      if (!pointers[c]) return Status::Error("render at sample " + std::to_string(pos) + ": no output buffer");
      std::memcpy(out.channels[c].data() + pos, pointers[c], n * sizeof(float));
    }
    pos += n;
    if (pump) pump->Pump(n / sampleRate);
  }
  return Status::Ok();
}

} // namespace auhost

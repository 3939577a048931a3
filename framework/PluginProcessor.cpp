// Processor base: construction, default hooks, channel connections and the per-block buffer path.

#include "framework/PluginProcessor.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace plugin
{

namespace
{

void ZeroSamples(sample* p, int n)
{
  if (p && n > 0) std::fill_n(p, n, 0.0);
}

// Copies n samples; in-place hosts may hand the same buffer for input and output.
void CopySamples(sample* dst, const sample* src, int n)
{
  if (dst && src && dst != src && n > 0) std::memmove(dst, src, sizeof(sample) * static_cast<size_t>(n));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------------------------

PluginProcessor::PluginProcessor(const Config& config, EAPI /*api*/)
: mPlugType(config.plugType)
, mDoesMIDIIn(config.plugDoesMidiIn)
, mDoesMIDIOut(config.plugDoesMidiOut)
, mDoesMPE(config.plugDoesMPE)
, mLatency(config.latency)
{
  int maxNIn = 0, maxNOut = 0, maxNInBuses = 0, maxNOutBuses = 0;
  ParseChannelIOStr(config.channelIOStr, mIOConfigs, maxNIn, maxNOut, maxNInBuses, maxNOutBuses);

  const int counts[2] = {maxNIn, maxNOut};
  for (int d = 0; d < 2; ++d)
  {
    if (counts[d] <= 0) continue;
    mSlots[d].reset(new (std::nothrow) sample*[static_cast<size_t>(counts[d])]());
    if (!mSlots[d]) continue; // no memory: this direction gets no channels
    for (int i = 0; i < counts[d]; ++i)
    {
      auto* channel = new (std::nothrow) IChannelData;
      if (!channel || !mChannelData[d].Add(channel))
      {
        delete channel;
        break;
      }
      channel->mData = &mSlots[d][i];
      *channel->mData = channel->mScratch.Get();
    }
  }
  (void)SetLatencyCapacity(std::max(config.latency, 0));
}

PluginProcessor::~PluginProcessor()
{
  mChannelData[0].Empty(true);
  mChannelData[1].Empty(true);
  mIOConfigs.Empty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Default hooks
// ---------------------------------------------------------------------------------------------------------------

void PluginProcessor::ProcessBlock(sample** inputs, sample** outputs, int nFrames)
{
  const int nIn = NChannels(kInput);
  const int nOut = NChannels(kOutput);
  if (!outputs) return;
  for (int i = 0; i < nOut; ++i)
  {
    if (inputs && i < nIn)
      CopySamples(outputs[i], inputs[i], nFrames);
    else
      ZeroSamples(outputs[i], nFrames);
  }
}

void PluginProcessor::ProcessMidiMsg(const IMidiMsg& msg) { (void)SendMidiMsg(msg); }

void PluginProcessor::ProcessSysEx(const ISysEx& /*msg*/) {}

void PluginProcessor::OnActivate(bool /*active*/) {}

bool PluginProcessor::SendMidiMsgs(const Util_TypedBuf<IMidiMsg>& msgs)
{
  bool allSent = true;
  const IMidiMsg* list = msgs.Get();
  for (int i = 0; i < msgs.GetSize(); ++i) allSent &= SendMidiMsg(list[i]);
  return allSent;
}

bool PluginProcessor::SendSysEx(const ISysEx& /*msg*/) { return false; }

void PluginProcessor::SetLatency(int samples) { mLatency.store(samples, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------------------------------------------
// Latency delay line
// ---------------------------------------------------------------------------------------------------------------

bool PluginProcessor::SetLatencyCapacity(int maxSamples)
{
  if (maxSamples < 0) return false;
  if (maxSamples == mLatencyCapacity) return true;
  const size_t n = static_cast<size_t>(NChannels(kInput)) * static_cast<size_t>(maxSamples);
  std::unique_ptr<sample[]> line;
  if (n > 0)
  {
    line.reset(new (std::nothrow) sample[n]());
    if (!line) return false;
  }
  mLatencyLine = std::move(line);
  mLatencyCapacity = maxSamples;
  mLatencyWrite = 0;
  return true;
}

void PluginProcessor::RunLatencyLine(int nFrames, bool toOutputs)
{
  const int capacity = mLatencyCapacity;
  const int delay = std::clamp(GetLatency(), 0, capacity);
  const int nIn = NChannels(kInput);
  const int nOut = toOutputs ? std::min(nIn, NChannels(kOutput)) : 0;
  int write = mLatencyWrite;
  for (int c = 0; c < nIn; ++c)
  {
    const sample* in = Slots(kInput)[c];
    sample* out = c < nOut ? Slots(kOutput)[c] : nullptr;
    sample* ring = capacity > 0 ? mLatencyLine.get() + static_cast<size_t>(c) * static_cast<size_t>(capacity) : nullptr;
    write = mLatencyWrite;
    for (int i = 0; i < nFrames; ++i)
    {
      const sample x = in[i];
      sample y = x;
      if (ring)
      {
        // The slot `delay` writes back (the one about to be overwritten when the delay is the whole ring).
        if (delay > 0) y = ring[(write + capacity - delay) % capacity];
        ring[write] = x;
        write = write + 1 == capacity ? 0 : write + 1;
      }
      if (out) out[i] = y;
    }
  }
  if (nIn > 0) mLatencyWrite = write;
}

// ---------------------------------------------------------------------------------------------------------------
// Channels and connections
// ---------------------------------------------------------------------------------------------------------------

int PluginProcessor::NChannelsConnected(ERoute direction) const
{
  int n = 0;
  for (int i = 0; i < NChannels(direction); ++i) n += Channels(direction).Get(i)->mConnected ? 1 : 0;
  return n;
}

bool PluginProcessor::IsChannelConnected(ERoute direction, int idx) const
{
  const IChannelData* channel = Channels(direction).Get(idx);
  return channel && channel->mConnected;
}

void PluginProcessor::SetChannelConnections(ERoute direction, int idx, int n, bool connected)
{
  const int64_t first = std::max<int64_t>(idx, 0);
  const int64_t last = std::min<int64_t>(static_cast<int64_t>(idx) + n, NChannels(direction));
  for (int64_t i = first; i < last; ++i)
  {
    IChannelData* channel = Channels(direction).Get(static_cast<int>(i));
    channel->mConnected = connected;
    if (!connected)
    {
      // The scratch buffer may still hold converted audio from when the channel was connected.
      ZeroSamples(channel->mScratch.Get(), channel->mScratch.GetSize());
      *channel->mData = channel->mScratch.Get();
    }
  }
}

void PluginProcessor::LimitToStereoIO()
{
  SetChannelConnections(kInput, 2, NChannels(kInput) - 2, false);
  SetChannelConnections(kOutput, 2, NChannels(kOutput) - 2, true);
}

void PluginProcessor::SetChannelLabel(ERoute direction, int idx, const char* format, bool zeroBased)
{
  IChannelData* channel = Channels(direction).Get(idx);
  if (!channel || !format) return;
  channel->mLabel.SetFormatted(MAX_CHAN_NAME_LEN, format, zeroBased ? idx : idx + 1);
}

const char* PluginProcessor::GetChannelLabel(ERoute direction, int idx) const
{
  const IChannelData* channel = Channels(direction).Get(idx);
  return channel ? channel->mLabel.Get() : "";
}

// ---------------------------------------------------------------------------------------------------------------
// Attaching host buffers
// ---------------------------------------------------------------------------------------------------------------

int PluginProcessor::AttachBuffers(ERoute direction, int idx, int n, sample** data, int nFrames)
{
  const int64_t first = std::max<int64_t>(idx, 0);
  const int64_t last = std::min<int64_t>(static_cast<int64_t>(idx) + n, NChannels(direction));
  int next = 0; // index into data: connected channels only
  for (int64_t i = first; i < last; ++i)
  {
    IChannelData* channel = Channels(direction).Get(static_cast<int>(i));
    if (!channel->mConnected) continue;
    sample* p = data ? data[next] : nullptr;
    ++next;
    if (!p)
    {
      // Missing host memory: fall back to our own, silent for an input.
      p = channel->mScratch.Get();
      if (direction == kInput) ZeroSamples(p, std::min(nFrames, channel->mScratch.GetSize()));
    }
    *channel->mData = p;
  }
  return static_cast<int>(std::max(last, static_cast<int64_t>(idx)));
}

int PluginProcessor::AttachBuffers(ERoute direction, int idx, int n, float** data, int nFrames)
{
  const int64_t first = std::max<int64_t>(idx, 0);
  const int64_t last = std::min<int64_t>(static_cast<int64_t>(idx) + n, NChannels(direction));
  int next = 0;
  for (int64_t i = first; i < last; ++i)
  {
    IChannelData* channel = Channels(direction).Get(static_cast<int>(i));
    if (!channel->mConnected) continue;
    float* p = data ? data[next] : nullptr;
    ++next;
    sample* scratch = channel->mScratch.Get();
    // Never convert past the scratch buffer; a longer block is refused when it is processed.
    const int frames = std::clamp(nFrames, 0, channel->mScratch.GetSize());
    if (direction == kInput)
    {
      if (p)
        std::copy_n(p, frames, scratch);
      else
        ZeroSamples(scratch, frames);
    }
    else
    {
      channel->mIncoming = p;
    }
    *channel->mData = scratch;
  }
  return static_cast<int>(std::max(last, static_cast<int64_t>(idx)));
}

// ---------------------------------------------------------------------------------------------------------------
// Processing
// ---------------------------------------------------------------------------------------------------------------

void PluginProcessor::ConvertOutputs(int nFrames, bool accumulate)
{
  for (int i = 0; i < NChannels(kOutput); ++i)
  {
    IChannelData* channel = Channels(kOutput).Get(i);
    float* dst = channel->mIncoming;
    const sample* src = *channel->mData;
    if (!channel->mConnected || !dst || !src) continue;
    if (accumulate)
      for (int s = 0; s < nFrames; ++s) dst[s] += static_cast<float>(src[s]);
    else
      for (int s = 0; s < nFrames; ++s) dst[s] = static_cast<float>(src[s]);
  }
}

void PluginProcessor::SilenceRefusedBlock(int nFrames, bool floatForm)
{
  if (nFrames <= 0) return;
  for (int i = 0; i < NChannels(kOutput); ++i)
  {
    IChannelData* channel = Channels(kOutput).Get(i);
    if (!channel->mConnected) continue;
    if (floatForm)
    {
      if (channel->mIncoming) std::fill_n(channel->mIncoming, nFrames, 0.0f);
    }
    else if (*channel->mData != channel->mScratch.Get())
    {
      // Host memory holds the block; our scratch does not, so it is left alone.
      ZeroSamples(*channel->mData, nFrames);
    }
  }
}

bool PluginProcessor::ProcessBuffers(sample, int nFrames)
{
  if (!FramesFit(nFrames))
  {
    SilenceRefusedBlock(nFrames, false);
    return false;
  }
  RunLatencyLine(nFrames, false);
  ProcessBlock(NChannels(kInput) ? Slots(kInput) : nullptr, NChannels(kOutput) ? Slots(kOutput) : nullptr, nFrames);
  return true;
}

bool PluginProcessor::ProcessBuffers(float, int nFrames)
{
  if (!FramesFit(nFrames))
  {
    SilenceRefusedBlock(nFrames, true);
    return false;
  }
  RunLatencyLine(nFrames, false);
  ProcessBlock(NChannels(kInput) ? Slots(kInput) : nullptr, NChannels(kOutput) ? Slots(kOutput) : nullptr, nFrames);
  ConvertOutputs(nFrames, false);
  return true;
}

bool PluginProcessor::ProcessBuffersAccumulating(int nFrames)
{
  if (!FramesFit(nFrames)) return false;
  RunLatencyLine(nFrames, false);
  ProcessBlock(NChannels(kInput) ? Slots(kInput) : nullptr, NChannels(kOutput) ? Slots(kOutput) : nullptr, nFrames);
  ConvertOutputs(nFrames, true);
  return true;
}

void PluginProcessor::CopyThrough(int nFrames)
{
  RunLatencyLine(nFrames, true);
  for (int i = NChannels(kInput); i < NChannels(kOutput); ++i) ZeroSamples(Slots(kOutput)[i], nFrames);
}

bool PluginProcessor::PassThroughBuffers(sample, int nFrames)
{
  if (!FramesFit(nFrames))
  {
    SilenceRefusedBlock(nFrames, false);
    return false;
  }
  CopyThrough(nFrames);
  return true;
}

bool PluginProcessor::PassThroughBuffers(float, int nFrames)
{
  if (!FramesFit(nFrames))
  {
    SilenceRefusedBlock(nFrames, true);
    return false;
  }
  CopyThrough(nFrames);
  ConvertOutputs(nFrames, false);
  return true;
}

void PluginProcessor::ZeroScratchBuffers()
{
  for (int d = 0; d < 2; ++d)
    for (int i = 0; i < mChannelData[d].GetSize(); ++i)
    {
      IChannelData* channel = mChannelData[d].Get(i);
      ZeroSamples(channel->mScratch.Get(), channel->mScratch.GetSize());
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Block size and the rest
// ---------------------------------------------------------------------------------------------------------------

bool PluginProcessor::SetBlockSize(int n)
{
  if (n < 0 || n > kMaxBlockSize) return false;
  if (n == mBlockSize) return true;

  bool ok = true;
  for (int d = 0; d < 2; ++d)
    for (int i = 0; i < mChannelData[d].GetSize(); ++i)
    {
      IChannelData* channel = mChannelData[d].Get(i);
      // Resizing may move the scratch buffer: whatever slot used it must follow it.
      const bool slotOnScratch = !channel->mConnected || *channel->mData == channel->mScratch.Get();
      channel->mScratch.Resize(n);
      if (channel->mScratch.GetSize() != n) ok = false;
      ZeroSamples(channel->mScratch.Get(), channel->mScratch.GetSize());
      if (slotOnScratch) *channel->mData = channel->mScratch.Get();
    }

  if (ok)
  {
    mBlockSize = n;
    return true;
  }
  // Out of memory: leave a consistent state in which every block with frames is refused.
  mBlockSize = 0;
  for (int d = 0; d < 2; ++d)
    for (int i = 0; i < mChannelData[d].GetSize(); ++i)
    {
      IChannelData* channel = mChannelData[d].Get(i);
      const bool slotOnScratch = !channel->mConnected || *channel->mData == channel->mScratch.Get();
      channel->mScratch.Resize(0);
      if (slotOnScratch) *channel->mData = channel->mScratch.Get();
    }
  return false;
}

uint32_t PluginProcessor::GetAUPluginType() const
{
  switch (mPlugType)
  {
    case kMIDIEffect: return MakeFourCC('a', 'u', 'm', 'i');
    case kInstrument: return MakeFourCC('a', 'u', 'm', 'u');
    case kEffect: return mDoesMIDIIn ? MakeFourCC('a', 'u', 'm', 'f') : MakeFourCC('a', 'u', 'f', 'x');
    default: return MakeFourCC('a', 'u', 'f', 'x');
  }
}

double PluginProcessor::GetSamplesPerBeat() const
{
  const double tempo = mTimeInfo.mTempo;
  return tempo > 0.0 ? GetSampleRate() * 60.0 / tempo : 0.0;
}

} // namespace plugin

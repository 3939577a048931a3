// PluginAU — render (audio thread). Nothing here allocates or takes a lock.

#include "au/PluginAU.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace plugin
{

namespace
{

// An AudioBufferList with room for a bus's channels, on the stack.
struct StackBufferList
{
  UInt32 mNumberBuffers;
  AudioBuffer mBuffers[PluginAU::kMaxBusChannels];

  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(this); }
};
static_assert(offsetof(StackBufferList, mBuffers) == offsetof(AudioBufferList, mBuffers));

// A callback may dispose of the unit: the rest are not called for a unit the host has let go of.
void CallRenderNotifications(const PluginAU& plug, const AURenderNotifyList::Snapshot& snap,
                             AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp, UInt32 outputBus,
                             UInt32 nFrames, AudioBufferList* bufferList)
{
  for (int i = 0; i < snap.mCount && !plug.IsDisposing(); ++i)
  {
    AudioUnitRenderActionFlags f = flags;
    const AURenderCallbackStruct& entry = snap.mEntries[i];
    (void)entry.inputProc(entry.inputProcRefCon, &f, timeStamp, outputBus, nFrames, bufferList);
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Render
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::Render(AudioUnitRenderActionFlags*, const AudioTimeStamp* timeStamp, UInt32 outputBus,
                           UInt32 nFrames, AudioBufferList* bufferList)
{
  if (!timeStamp || !bufferList) return kAudio_ParamError;
  mLastRenderTimeStamp = *timeStamp;
  if (!(timeStamp->mFlags & kAudioTimeStampSampleTimeValid) || nFrames > static_cast<UInt32>(GetBlockSize()))
    return kAudioUnitErr_InvalidPropertyValue;
  AUBus* outBus = outputBus < static_cast<UInt32>(mOutBuses.GetSize()) ? mOutBuses.Get(static_cast<int>(outputBus))
                                                                       : nullptr;
  if (!outBus) return kAudioUnitErr_InvalidElement;

  const int frames = static_cast<int>(nFrames);
  const UInt64 bytesNeeded = static_cast<UInt64>(nFrames) * sizeof(float);
  const int nOutBuffers = static_cast<int>(std::min<UInt32>(bufferList->mNumberBuffers, kMaxBusChannels));
  // Host buffers that would be written must hold the whole block.
  for (int k = 0; k < nOutBuffers; ++k)
  {
    const AudioBuffer& buf = bufferList->mBuffers[k];
    if (buf.mData && buf.mDataByteSize < bytesNeeded) return kAudioUnitErr_InvalidPropertyValue;
  }

  // One snapshot for the whole call: the pre- and post-render notifications see the same list.
  AURenderNotifyList::Reader notify(mRenderNotify);
  CallRenderNotifications(*this, notify.Get(), kAudioUnitRenderAction_PreRender, timeStamp, outputBus, nFrames,
                          bufferList);
  // Disposed of by a pre-render callback: nothing more is pulled from the host or rendered for it.
  if (IsDisposing()) return badComponentInstance;

  bool process = true;
  if (GetPluginType() != kMIDIEffect)
  {
    // --- Inputs: pulled once per sample time, through the route published last ------------------------------
    AURenderRouteSlot::Reader routeReader(mRoute);
    const AURenderRoute& route = routeReader.Get();
    if (route.mGeneration != mAppliedRouteGeneration)
    {
      ApplyInputChannelConnections(route);
      mAppliedRouteGeneration = route.mGeneration;
    }
    if (timeStamp->mSampleTime != mLastRenderSampleTime)
    {
      for (size_t i = 0; i < route.mInputs.size(); ++i)
      {
        const AURenderInput& in = route.mInputs[i];
        const AUInputConnection& conn = in.mConnection;
        if (!in.mConnected) continue;

        const int nChans = in.mNChannels;
        StackBufferList list;
        list.mNumberBuffers = static_cast<UInt32>(nChans);
        for (int k = 0; k < nChans; ++k)
          list.mBuffers[k] = AudioBuffer{1, static_cast<UInt32>(bytesNeeded), nullptr};

        AudioUnitRenderActionFlags flags = 0;
        OSStatus status = noErr;
        switch (conn.mInputType)
        {
          case AUInputType::DirectFastProc:
            status = conn.mUpstreamRenderProc(conn.mUpstreamObj, &flags, timeStamp,
                                              static_cast<UInt32>(conn.mUpstreamBusIdx), nFrames, list.Get());
            break;
          case AUInputType::DirectNoFastProc:
            status = AudioUnitRender(conn.mUpstreamUnit, &flags, timeStamp,
                                     static_cast<UInt32>(conn.mUpstreamBusIdx), nFrames, list.Get());
            break;
          case AUInputType::RenderCallback:
            for (int k = 0; k < nChans; ++k)
              list.mBuffers[k].mData =
                mInScratchBuf.Get() + static_cast<size_t>(in.mPlugChannelStartIdx + k) * nFrames;
            status = conn.mInputCallback.inputProc(conn.mInputCallback.inputProcRefCon, &flags, timeStamp,
                                                   static_cast<UInt32>(i), nFrames, list.Get());
            break;
          case AUInputType::NotConnected:
            break;
        }
        if (status != noErr) return status;
        // Disposed of by the host's callback (or an upstream unit's): nothing more is asked of the host.
        if (IsDisposing()) return badComponentInstance;

        const int nReturned = std::min(nChans, static_cast<int>(list.mNumberBuffers));
        for (int k = 0; k < nChans; ++k)
        {
          // A buffer the upstream side left without (enough) data reads as silence.
          float* data = nullptr;
          if (k < nReturned && list.mBuffers[k].mDataByteSize >= bytesNeeded)
            data = static_cast<float*>(list.mBuffers[k].mData);
          AttachBuffers(kInput, in.mPlugChannelStartIdx + k, 1, &data, frames);
        }
      }
      mLastRenderSampleTime = timeStamp->mSampleTime;
    }

    // --- Output bus -------------------------------------------------------------------------------------------
    // Connected channels are exactly those the host gave buffers for, within the bus: every other channel of the
    // bus processes into its scratch, so nothing is converted into a stale or missing host buffer.
    const int nConnected = std::min(nOutBuffers, outBus->mNPlugChannels);
    if (!outBus->mConnected || outBus->mNRenderChannels != nConnected)
    {
      SetChannelConnections(kOutput, outBus->mPlugChannelStartIdx, nConnected, true);
      SetChannelConnections(kOutput, outBus->mPlugChannelStartIdx + nConnected,
                            std::max(outBus->mNPlugChannels - nConnected, 0), false);
      outBus->mConnected = true;
      outBus->mNRenderChannels = nConnected;
    }
    for (int k = 0; k < nOutBuffers; ++k)
    {
      AudioBuffer& buf = bufferList->mBuffers[k];
      if (k >= nConnected)
      {
        // A buffer beyond the bus's channels gets silence rather than whatever it held.
        if (buf.mData) std::memset(buf.mData, 0, static_cast<size_t>(bytesNeeded));
        continue;
      }
      if (!buf.mData)
      {
        buf.mData = mOutScratchBuf.Get() + static_cast<size_t>(outBus->mPlugChannelStartIdx + k) * nFrames;
        buf.mDataByteSize = static_cast<UInt32>(bytesNeeded);
      }
      float* data = static_cast<float*>(buf.mData);
      AttachBuffers(kOutput, outBus->mPlugChannelStartIdx + k, 1, &data, frames);
    }

    int lastConnected = -1;
    for (int i = 0; i < mOutBuses.GetSize() && mOutBuses.Get(i)->mConnected; ++i) lastConnected = i;
    process = static_cast<int>(outputBus) == lastConnected;
  }

  if (process)
  {
    // --- Processing ---------------------------------------------------------------------------------------------
    if (const AUBus* next = mOutBuses.Get(static_cast<int>(outputBus) + 1))
    {
      const int from = next->mPlugChannelStartIdx;
      SetChannelConnections(kOutput, from, std::max(NChannels(kOutput) - from, 0), false);
    }
    if (GetBypassed())
    {
      (void)PassThroughBuffers(0.f, frames);
    }
    else
    {
      IMidiMsg msg;
      while (GetMidiMsgFromEditor().Pop(msg)) ProcessMidiMsg(msg);
      // Disposed of by a time callback: nothing is processed or notified for a unit the host has let go of.
      if (!UpdateTimeInfo()) return badComponentInstance;
      (void)ProcessBuffers(0.f, frames);
    }
  }

  CallRenderNotifications(*this, notify.Get(), kAudioUnitRenderAction_PostRender, timeStamp, outputBus, nFrames,
                          bufferList);

  // --- SysEx the editor queued --------------------------------------------------------------------------------
  SysExData& sysex = GetSysexBuf();
  while (GetSysExDataFromEditor().Pop(sysex))
  {
    const int size = std::clamp(sysex.mSize, 0, SysExData::kMaxBytes);
    (void)SendSysEx(ISysEx(sysex.mOffset, sysex.mData, size));
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Time information
// ---------------------------------------------------------------------------------------------------------------

// Each callback may dispose of the unit, and with it the host's context the next one would be given.
bool PluginAU::UpdateTimeInfo()
{
  ITimeInfo info;
  void* userData = mHostUserData.load(std::memory_order_acquire);

  if (auto beatAndTempo = mBeatAndTempoProc.load(std::memory_order_acquire))
  {
    Float64 beat = 0.0, tempo = 0.0;
    (void)beatAndTempo(userData, &beat, &tempo);
    if (IsDisposing()) return false;
    info.mTempo = tempo > 0.0 ? tempo : 120.0;
    info.mPPQPos = beat;
  }
  else
  {
    info.mTempo = 120.0;
    info.mPPQPos = -1.0;
  }

  if (auto transport = mTransportStateProc.load(std::memory_order_acquire))
  {
    Boolean playing = 0, changed = 0, cycling = 0;
    Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    (void)transport(userData, &playing, &changed, &sample, &cycling, &cycleStart, &cycleEnd);
    if (IsDisposing()) return false;
    info.mSamplePos = sample > 0.0 ? sample : -1.0;
    info.mCycleStart = cycleStart > 0.0 ? cycleStart : -1.0;
    info.mCycleEnd = cycleEnd > 0.0 ? cycleEnd : -1.0;
    info.mTransportIsRunning = playing != 0;
    info.mTransportLoopEnabled = cycling != 0;
  }
  else
  {
    info.mSamplePos = info.mCycleStart = info.mCycleEnd = -1.0;
    info.mTransportIsRunning = info.mTransportLoopEnabled = false;
  }

  if (auto musicalTime = mMusicalTimeLocationProc.load(std::memory_order_acquire))
  {
    UInt32 deltaToNextBeat = 0, denominator = 0;
    Float32 numerator = 0.f;
    Float64 downBeat = 0.0;
    (void)musicalTime(userData, &deltaToNextBeat, &numerator, &denominator, &downBeat);
    if (IsDisposing()) return false;
    // A numerator outside the int range (or NaN) would make the conversion undefined.
    info.mNumerator = (numerator >= -2147483648.f && numerator < 2147483648.f) ? static_cast<int32_t>(numerator) : 0;
    info.mDenominator = static_cast<int32_t>(std::min<UInt32>(denominator, 0x7fffffffu));
    info.mLastBar = downBeat > 0.0 ? downBeat : -1.0;
  }
  else
  {
    info.mNumerator = 4;
    info.mDenominator = 4;
    info.mLastBar = -1.0;
  }

  SetTimeInfo(info);
  return true;
}

} // namespace plugin

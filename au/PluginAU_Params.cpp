// PluginAU — parameters, listeners, host notifications and MIDI output.

#include "au/PluginAU.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace plugin
{

namespace
{

int ClampOffset(UInt32 offset)
{
  return offset > static_cast<UInt32>(INT_MAX) ? INT_MAX : static_cast<int>(offset);
}

MIDITimeStamp StampFromOffset(int offset)
{
  return static_cast<MIDITimeStamp>(std::max(offset, 0));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Host → plug-in: parameter values
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue* value)
{
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  if (!value) return kAudio_ParamError;
  const IParam* param = id < static_cast<UInt32>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  if (!param) return kAudioUnitErr_InvalidParameter;
  *value = static_cast<AudioUnitParameterValue>(param->Value());
  return noErr;
}

void PluginAU::HostSetParameter(int paramIdx, double value, int sampleOffset)
{
  // The current value becomes the previous one; Set steps (half away from zero) and clamps. The editor is sent
  // the value as the host gave it.
  GetParam(paramIdx)->SetKeepingPrevious(value);
  SendParameterValueFromAPI(paramIdx, value, false);
  OnParamChange(paramIdx, kHost, sampleOffset);
}

OSStatus PluginAU::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue value, UInt32 bufferOffset)
{
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  if (id >= static_cast<UInt32>(NParams())) return kAudioUnitErr_InvalidParameter;
  if (!std::isfinite(value)) return kAudioUnitErr_InvalidParameterValue;
  HostSetParameter(static_cast<int>(id), static_cast<double>(value), ClampOffset(bufferOffset));
  return noErr;
}

OSStatus PluginAU::ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count)
{
  if (count > 0 && !events) return kAudio_ParamError;
  for (UInt32 i = 0; i < count; ++i)
  {
    const AudioUnitParameterEvent& ev = events[i];
    if (ev.eventType != kParameterEvent_Immediate) continue;
    const AudioUnitParameterValue value = ev.eventValues.immediate.value;
    if (ev.scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
    if (ev.parameter >= static_cast<UInt32>(NParams())) return kAudioUnitErr_InvalidParameter;
    if (!std::isfinite(value)) return kAudioUnitErr_InvalidParameterValue;
    HostSetParameter(static_cast<int>(ev.parameter), static_cast<double>(value),
                     ClampOffset(ev.eventValues.immediate.bufferOffset));
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Listeners and render notifications
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData)
{
  if (!proc) return kAudio_ParamError;
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
  {
    const AUPropertyListener* l = mPropertyListeners.Get(i);
    if (l->mPropID == id && l->mListenerProc == proc) return noErr;
  }
  auto* listener = new AUPropertyListener{id, proc, userData};
  if (!mPropertyListeners.Add(listener))
  {
    delete listener;
    return kAudio_MemFullError;
  }
  return noErr;
}

OSStatus PluginAU::RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc)
{
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
  {
    const AUPropertyListener* l = mPropertyListeners.Get(i);
    if (l->mPropID == id && l->mListenerProc == proc)
    {
      mPropertyListeners.Delete(i, true);
      break;
    }
  }
  return noErr;
}

OSStatus PluginAU::RemovePropertyListenerWithUserData(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                                       void* userData)
{
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
  {
    const AUPropertyListener* l = mPropertyListeners.Get(i);
    if (l->mPropID == id && l->mListenerProc == proc && l->mProcArgs == userData)
    {
      mPropertyListeners.Delete(i, true);
      break;
    }
  }
  return noErr;
}

OSStatus PluginAU::AddRenderNotify(AURenderCallback proc, void* userData)
{
  if (!proc) return kAudio_ParamError;
  return mRenderNotify.Add(proc, userData) ? OSStatus{noErr} : OSStatus{kAudio_MemFullError};
}

OSStatus PluginAU::RemoveRenderNotify(AURenderCallback proc, void* userData)
{
  // Both must match: the caller may free its user data next, while another registration of the same function
  // stays in use.
  mRenderNotify.Remove(proc, userData);
  return noErr;
}

void PluginAU::NotifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope)
{
  // A listener may add or remove listeners while it runs: call from a copy, and skip an entry whose
  // registration is gone by the time its turn comes (its user data may be gone with it).
  std::vector<AUPropertyListener> toCall;
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
  {
    const AUPropertyListener* l = mPropertyListeners.Get(i);
    if (l->mPropID == id) toCall.push_back(*l);
  }
  for (const AUPropertyListener& call : toCall)
  {
    // A listener may dispose of the unit: the host hears nothing more from it.
    if (IsDisposing()) return;
    bool stillRegistered = false;
    for (int i = 0; i < mPropertyListeners.GetSize() && !stillRegistered; ++i)
    {
      const AUPropertyListener* l = mPropertyListeners.Get(i);
      stillRegistered = l->mPropID == id && l->mListenerProc == call.mListenerProc && l->mProcArgs == call.mProcArgs;
    }
    if (stillRegistered) call.mListenerProc(call.mProcArgs, mCI, id, scope, 0);
  }
}

void PluginAU::OnApiIdle()
{
  if (mLatencyChangePending.exchange(false, std::memory_order_acq_rel))
    NotifyPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  mRenderNotify.Reclaim();
  mRoute.Reclaim();
}

// ---------------------------------------------------------------------------------------------------------------
// Plug-in → host
// ---------------------------------------------------------------------------------------------------------------

void PluginAU::SendParamEvent(int paramIdx, AudioUnitEventType type) const
{
  if (paramIdx < 0 || IsDisposing()) return;
  AudioUnitEvent event = {};
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mCI;
  event.mArgument.mParameter.mParameterID = static_cast<AudioUnitParameterID>(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  (void)AUEventListenerNotify(nullptr, nullptr, &event);
}

void PluginAU::BeginInformHostOfParamChange(int paramIdx)
{
  SendParamEvent(paramIdx, kAudioUnitEvent_BeginParameterChangeGesture);
}

void PluginAU::EndInformHostOfParamChange(int paramIdx)
{
  SendParamEvent(paramIdx, kAudioUnitEvent_EndParameterChangeGesture);
}

void PluginAU::InformHostOfParamChange(int paramIdx, double)
{
  // The value is not part of the event: the host reads it with GetParameter.
  SendParamEvent(paramIdx, kAudioUnitEvent_ParameterValueChange);
}

void PluginAU::InformHostOfPresetChange()
{
  NotifyPropertyListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void PluginAU::InformHostOfParameterDetailsChange()
{
  NotifyPropertyListeners(kAudioUnitProperty_ParameterList, kAudioUnitScope_Global);
  NotifyPropertyListeners(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global);
}

void PluginAU::SetLatency(int samples)
{
  PluginProcessor::SetLatency(samples);
  // The listener list belongs to the main thread; from elsewhere the idle tick delivers the notification.
  if (std::this_thread::get_id() == mMainThread)
    NotifyPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  else
    mLatencyChangePending.store(true, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------------------------
// MIDI output [audio thread] — into one preallocated packet list, flushed when full
// ---------------------------------------------------------------------------------------------------------------

bool PluginAU::FlushMidiPacketList(const MIDIPacketList* list) const
{
  AUMIDIOutputCallback callback = mMidiCallback.load(std::memory_order_acquire);
  // Disposed of inside this call (by a render notification, or by this callback on an earlier list): the host's
  // context for the unit may be gone with it.
  if (!callback || IsDisposing()) return false;
  return callback(mMidiCallbackUserData.load(std::memory_order_acquire), &mLastRenderTimeStamp, 0, list) == noErr;
}

bool PluginAU::SendMidiMsg(const IMidiMsg& msg)
{
  if (!mMidiCallback.load(std::memory_order_acquire)) return false;
  auto* list = reinterpret_cast<MIDIPacketList*>(mMidiPacketList);
  MIDIPacket* packet = MIDIPacketListInit(list);
  const Byte bytes[3] = {msg.mStatus, msg.mData1, msg.mData2};
  if (!MIDIPacketListAdd(list, sizeof(mMidiPacketList), packet, StampFromOffset(msg.mOffset), 3, bytes)) return false;
  return FlushMidiPacketList(list);
}

bool PluginAU::SendMidiMsgs(const Util_TypedBuf<IMidiMsg>& msgs)
{
  if (!mMidiCallback.load(std::memory_order_acquire)) return false;
  auto* list = reinterpret_cast<MIDIPacketList*>(mMidiPacketList);
  MIDIPacket* packet = MIDIPacketListInit(list);
  bool ok = true;
  const int n = msgs.GetSize();
  for (int i = 0; i < n; ++i)
  {
    const IMidiMsg& msg = msgs.Get()[i];
    const Byte bytes[3] = {msg.mStatus, msg.mData1, msg.mData2};
    const MIDITimeStamp stamp = StampFromOffset(msg.mOffset);
    // The whole message in one addition: byte by byte, a full packet or a full list would cut it in two, and the
    // host would receive data bytes without their status. Messages with one stamp still share a packet.
    MIDIPacket* next = MIDIPacketListAdd(list, sizeof(mMidiPacketList), packet, stamp, 3, bytes);
    if (!next)
    {
      ok = FlushMidiPacketList(list) && ok;
      packet = MIDIPacketListInit(list);
      next = MIDIPacketListAdd(list, sizeof(mMidiPacketList), packet, stamp, 3, bytes);
      if (!next) return false;
    }
    packet = next;
  }
  if (list->numPackets > 0) ok = FlushMidiPacketList(list) && ok;
  return ok;
}

bool PluginAU::SendSysEx(const ISysEx& msg)
{
  if (!mMidiCallback.load(std::memory_order_acquire)) return false;
  if (msg.mSize <= 0 || !msg.mData) return false;
  auto* list = reinterpret_cast<MIDIPacketList*>(mMidiPacketList);
  MIDIPacket* packet = MIDIPacketListInit(list);
  const MIDITimeStamp stamp = StampFromOffset(msg.mOffset);
  bool ok = true;
  for (int pos = 0; pos < msg.mSize;)
  {
    const int piece = std::min(msg.mSize - pos, 256);
    const Byte* bytes = msg.mData + pos;
    MIDIPacket* next = MIDIPacketListAdd(list, sizeof(mMidiPacketList), packet, stamp, piece, bytes);
    if (!next)
    {
      ok = FlushMidiPacketList(list) && ok;
      packet = MIDIPacketListInit(list);
      next = MIDIPacketListAdd(list, sizeof(mMidiPacketList), packet, stamp, piece, bytes);
      if (!next) return false;
    }
    packet = next;
    pos += piece;
  }
  return FlushMidiPacketList(list) && ok;
}

} // namespace plugin

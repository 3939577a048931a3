// PluginAU — Audio Unit properties: the get and set dispatch, stream formats and connections. The parameter
// descriptions, channel layouts and other larger replies are in PluginAU_PropertiesParams.cpp.

#include "au/AUEditorInfo.h"
#include "au/PluginAU.h"
#include "au/PluginAU_p.h"
#include "graphics/IGraphics.h"

#include <Foundation/Foundation.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace plugin
{

using au_detail::MakeCFString;
using au_detail::ReplyValue;

namespace
{

bool IsValidSampleRate(double rate)
{
  return std::isfinite(rate) && rate > 0.0 && rate <= PluginAU::kMaxSampleRate;
}

// Negative IDs are private; the adapter answers -101 and the editor information itself and hands the others to
// the plug-in class.
bool IsClassPrivateProperty(AudioUnitPropertyID propID)
{
  return static_cast<SInt32>(propID) < 0 && propID != PluginAU::kPrivatePropertyPlugin &&
         propID != kAUProperty_EditorInfo;
}

// The render reads and writes one 32-bit native float per sample and one buffer per channel: any other layout
// (integers, 64-bit floats, interleaved or big-endian samples) would be read and written as garbage.
bool IsRenderableFormat(const AudioStreamBasicDescription& asbd)
{
  constexpr UInt32 required = kAudioFormatFlagIsFloat | kAudioFormatFlagIsNonInterleaved;
  return asbd.mFormatID == kAudioFormatLinearPCM && (asbd.mFormatFlags & required) == required &&
         !(asbd.mFormatFlags & kAudioFormatFlagIsBigEndian) && asbd.mBitsPerChannel == 32 &&
         asbd.mBytesPerFrame == 4 && asbd.mBytesPerPacket == 4 && asbd.mFramesPerPacket == 1;
}

PluginAU::EditorFlushFunc sEditorFlush = nullptr;

bool ViewFactoryClassExists(const char* name)
{
  if (!name || !*name) return false;
  NSString* text = NSString::alloc_initWithUTF8String(name);
  const bool exists = text && NSClassFromString(text) != nullptr;
  if (text) text->release();
  return exists;
}

// Reads a record of type T from the host's bytes; false when they are fewer than the record.
template <class T>
bool ReadRecord(const void* data, UInt32 dataSize, T& out)
{
  if (!data || dataSize < sizeof(T)) return false;
  std::memcpy(&out, data, sizeof(T));
  return true;
}

} // namespace

void PluginAU::SetEditorFlushFunc(EditorFlushFunc func)
{
  sEditorFlush = func;
}

// ---------------------------------------------------------------------------------------------------------------
// GetProperty
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                UInt32* dataSize, Boolean* writable, void* data)
{
  if (!dataSize || !writable) return kAudio_ParamError;
  const bool global = scope == kAudioUnitScope_Global;
  // The caller's buffer size, read before *dataSize is overwritten with the property's size.
  const UInt32 room = *dataSize;

  switch (propID)
  {
    case kPrivatePropertyPlugin:
    {
      if (!data) *writable = false;
      PluginAU* self = this;
      return ReplyValue(dataSize, data, self);
    }
    case kAUProperty_EditorInfo:
    {
      *dataSize = sizeof(AUEditorInfo);
      if (!data) return noErr;
      if (room < sizeof(AUEditorInfo)) return kAudioUnitErr_InvalidPropertyValue;
      AUEditorInfo info = {};
      // Only the context's inline accessors are used: the adapter links no editor library.
      if (igraphics::IGraphics* ui = GetUI())
      {
        if (sEditorFlush) sEditorFlush(*ui);
        info.open = 1;
        info.width = ui->Width();
        info.height = ui->Height();
        info.drawScale = ui->GetDrawScale();
        info.screenScale = ui->GetScreenScale();
        info.nControls = ui->NControls();
      }
      std::memcpy(data, &info, sizeof(info));
      return noErr;
    }
    case kAudioUnitProperty_ClassInfo:
    {
      *dataSize = sizeof(CFPropertyListRef);
      if (!data) return noErr;
      if (room < sizeof(CFPropertyListRef)) return kAudioUnitErr_InvalidPropertyValue;
      *writable = true;
      CFPropertyListRef plist = nullptr;
      const OSStatus status = GetState(&plist);
      if (status != noErr) return status;
      std::memcpy(data, &plist, sizeof(plist));
      return noErr;
    }
    case kAudioUnitProperty_MakeConnection:
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
      *dataSize = sizeof(AudioUnitConnection);
      *writable = true;
      return noErr;
    case kAudioUnitProperty_SampleRate:
      *writable = true;
      return ReplyValue(dataSize, data, static_cast<Float64>(GetSampleRate()));
    case kAudioUnitProperty_ParameterList:
    {
      const UInt32 n = global ? static_cast<UInt32>(NParams()) : 0;
      if (data)
      {
        if (room < n * sizeof(AudioUnitParameterID)) return kAudioUnitErr_InvalidPropertyValue;
        auto* ids = static_cast<AudioUnitParameterID*>(data);
        for (UInt32 i = 0; i < n; ++i) ids[i] = i;
      }
      *dataSize = n * static_cast<UInt32>(sizeof(AudioUnitParameterID));
      return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
    {
      if (!global) return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<UInt32>(NParams())) return kAudioUnitErr_InvalidElement;
      if (!data)
      {
        *dataSize = sizeof(AudioUnitParameterInfo);
        return noErr;
      }
      if (room < sizeof(AudioUnitParameterInfo)) return kAudioUnitErr_InvalidPropertyValue;
      AudioUnitParameterInfo info;
      const OSStatus status = GetParameterInfoProperty(element, info);
      if (status == noErr) return ReplyValue(dataSize, data, info);
      return status;
    }
    case kAudioUnitProperty_FastDispatch:
      return kAudioUnitErr_InvalidElement;
    case kAudioUnitProperty_StreamFormat:
    {
      AudioStreamBasicDescription asbd;
      const OSStatus status = GetStreamFormat(scope, element, asbd);
      if (status != noErr) return status;
      *writable = true;
      return ReplyValue(dataSize, data, asbd);
    }
    case kAudioUnitProperty_ElementCount:
    {
      UInt32 count = 0;
      if (global)
        count = 1;
      else if (scope == kAudioUnitScope_Input)
        count = static_cast<UInt32>(NInBuses());
      else if (scope == kAudioUnitScope_Output)
        count = static_cast<UInt32>(NOutBuses());
      return ReplyValue(dataSize, data, count);
    }
    case kAudioUnitProperty_Latency:
      if (!global) return kAudioUnitErr_InvalidProperty;
      return ReplyValue(dataSize, data, static_cast<Float64>(GetLatency()) / GetSampleRate());
    case kAudioUnitProperty_SupportedNumChannels:
    {
      if (!global) return kAudioUnitErr_InvalidProperty;
      const int n = NIOConfigs();
      const UInt32 size = static_cast<UInt32>(n) * static_cast<UInt32>(sizeof(AUChannelInfo));
      if (data)
      {
        if (room < size) return kAudioUnitErr_InvalidPropertyValue;
        auto* infos = static_cast<AUChannelInfo*>(data);
        auto side = [](const IOConfig* c, ERoute dir) -> SInt16 {
          if (c->ContainsWildcard(dir)) return -1;
          return static_cast<SInt16>(std::clamp(c->GetTotalNChannels(dir), 0, 0x7fff));
        };
        for (int i = 0; i < n; ++i)
        {
          const IOConfig* c = GetIOConfig(i);
          infos[i].inChannels = side(c, kInput);
          infos[i].outChannels = side(c, kOutput);
        }
      }
      *dataSize = size;
      return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
      if (!global) return kAudioUnitErr_InvalidProperty;
      *writable = true;
      return ReplyValue(dataSize, data, static_cast<UInt32>(GetBlockSize()));
    case kAudioUnitProperty_ParameterValueStrings:
      if (!global) return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<UInt32>(NParams())) return kAudioUnitErr_InvalidElement;
      return GetParameterValueStrings(element, dataSize, data);
    case kAudioUnitProperty_AudioChannelLayout:
      return kAudioUnitErr_InvalidPropertyValue;
    case kAudioUnitProperty_TailTime:
      if (!global) return kAudioUnitErr_InvalidProperty;
      return ReplyValue(dataSize, data, static_cast<Float64>(GetTailSize()) / GetSampleRate());
    case kAudioUnitProperty_BypassEffect:
      if (!global) return kAudioUnitErr_InvalidProperty;
      *writable = true;
      return ReplyValue(dataSize, data, static_cast<UInt32>(GetBypassed() ? 1 : 0));
    case kAudioUnitProperty_LastRenderError:
      if (!global) return kAudioUnitErr_InvalidProperty;
      return ReplyValue(dataSize, data, static_cast<UInt32>(0));
    case kAudioUnitProperty_SetRenderCallback:
      if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
      if (element >= static_cast<UInt32>(NInBuses())) return kAudioUnitErr_InvalidProperty;
      *dataSize = sizeof(AURenderCallbackStruct);
      *writable = true;
      return noErr;
    case kAudioUnitProperty_FactoryPresets:
    {
      *dataSize = sizeof(CFArrayRef);
      if (!data) return noErr;
      if (room < sizeof(CFArrayRef)) return kAudioUnitErr_InvalidPropertyValue;
      CFArrayRef presets = nullptr;
      const OSStatus status = GetFactoryPresets(&presets);
      if (status == noErr) std::memcpy(data, &presets, sizeof(presets));
      return status;
    }
    case kAudioUnitProperty_HostCallbacks:
      if (!global) return kAudioUnitErr_InvalidProperty;
      *dataSize = sizeof(HostCallbackInfo);
      *writable = true;
      return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      *dataSize = sizeof(AUPreset);
      *writable = true;
      if (!data) return noErr;
      if (room < sizeof(AUPreset)) return kAudioUnitErr_InvalidPropertyValue;
      AUPreset preset;
      preset.presetNumber = GetCurrentPresetIdx();
      preset.presetName = MakeCFString(GetPresetName(GetCurrentPresetIdx()));
      std::memcpy(data, &preset, sizeof(preset));
      return noErr;
    }
    case kAudioUnitProperty_ElementName:
    {
      *dataSize = sizeof(CFStringRef);
      *writable = false;
      if (!data) return kAudioUnitErr_InvalidProperty;
      ERoute dir;
      if (scope == kAudioUnitScope_Input)
        dir = kInput;
      else if (scope == kAudioUnitScope_Output)
        dir = kOutput;
      else
        return kAudioUnitErr_InvalidScope;
      const int nBuses = MaxNBuses(dir);
      if (element >= static_cast<UInt32>(nBuses)) return kAudioUnitErr_InvalidElement;
      if (room < sizeof(CFStringRef)) return kAudioUnitErr_InvalidPropertyValue;
      Util_String name;
      GetBusName(dir, static_cast<int>(element), nBuses, name);
      CFStringRef str = MakeCFString(name.Get());
      std::memcpy(data, &str, sizeof(str));
      return noErr;
    }
    case kAudioUnitProperty_CocoaUI:
    {
      // Offered only when a host could make the view: an editor that can be made, and the factory class in the
      // registry.
      if (!HasUI() || !HasMakeGraphicsFunc() || !ViewFactoryClassExists(GetViewFactoryClassName()))
        return kAudioUnitErr_InvalidProperty;
      *dataSize = sizeof(AudioUnitCocoaViewInfo);
      if (!data) return noErr;
      if (room < sizeof(AudioUnitCocoaViewInfo)) return kAudioUnitErr_InvalidPropertyValue;
      CFStringRef bundleID = MakeCFString(GetBundleID());
      CFBundleRef bundle = bundleID ? CFBundleGetBundleWithIdentifier(bundleID) : nullptr;
      if (bundleID) CFRelease(bundleID);
      CFURLRef url = bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
      if (!url) return kAudioUnitErr_InvalidProperty; // no bundle to name: the host could load no view
      AudioUnitCocoaViewInfo info;
      info.mCocoaAUViewBundleLocation = url;
      info.mCocoaAUViewClass[0] = MakeCFString(GetViewFactoryClassName());
      std::memcpy(data, &info, sizeof(info));
      return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
      const bool hasTags = scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output;
      AudioChannelLayoutTag tags[64];
      const int n = hasTags ? GetChannelLayoutTags(scope, element, tags, 64) : 0;
      const UInt32 size = static_cast<UInt32>(std::min(n, 64)) * static_cast<UInt32>(sizeof(AudioChannelLayoutTag));
      if (!data)
      {
        *dataSize = size;
        if (n > 0) *writable = true;
        return noErr;
      }
      if (!hasTags) return kAudioUnitErr_InvalidProperty;
      if (room < size) return kAudioUnitErr_InvalidPropertyValue;
      std::memcpy(data, tags, size);
      *dataSize = size;
      return noErr;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    case kAudioUnitProperty_ParameterValueFromString:
      *dataSize = propID == kAudioUnitProperty_ParameterStringFromValue ? sizeof(AudioUnitParameterStringFromValue)
                                                                        : sizeof(AudioUnitParameterValueFromString);
      if (!global || !data) return noErr;
      if (room < *dataSize) return kAudioUnitErr_InvalidPropertyValue;
      return GetParameterNameProperty(propID, data);
    case kAudioUnitProperty_ParameterIDName:
    case kAudioUnitProperty_ParameterClumpName:
      *dataSize = sizeof(AudioUnitParameterNameInfo);
      if (!global || !data) return noErr;
      if (room < sizeof(AudioUnitParameterNameInfo)) return kAudioUnitErr_InvalidPropertyValue;
      return GetParameterNameProperty(propID, data);
    case kAudioUnitProperty_OfflineRender:
      if (!global) return kAudioUnitErr_InvalidProperty;
      *writable = true;
      return ReplyValue(dataSize, data, static_cast<UInt32>(GetRenderingOffline() ? 1 : 0));
    case kAudioUnitProperty_MIDIOutputCallbackInfo:
    {
      *dataSize = sizeof(CFArrayRef);
      if (!data)
      {
        *writable = false;
        return noErr;
      }
      if (room < sizeof(CFArrayRef)) return kAudioUnitErr_InvalidPropertyValue;
      CFStringRef name = MakeCFString("midiOut");
      const void* values[1] = {name};
      CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, name ? 1 : 0, &kCFTypeArrayCallBacks);
      if (name) CFRelease(name);
      if (!array) return coreFoundationUnknownErr;
      std::memcpy(data, &array, sizeof(array));
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallback:
      *dataSize = sizeof(AUMIDIOutputCallbackStruct);
      if (data) return kAudioUnitErr_InvalidProperty;
      *writable = true;
      return noErr;
    case kMusicDeviceProperty_InstrumentCount:
      if (!global || GetPluginType() != kInstrument) return kAudioUnitErr_InvalidProperty;
      return ReplyValue(dataSize, data, static_cast<UInt32>(1));
    default:
      if (IsClassPrivateProperty(propID)) return GetPrivateProperty(propID, scope, element, dataSize, writable, data);
      return kAudioUnitErr_InvalidProperty;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// SetProperty
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                const void* data, UInt32 dataSize)
{
  const OSStatus status = ApplyProperty(propID, scope, element, data, dataSize);
  // Listeners hear of every write attempt, accepted or not, once it has taken effect: one that reads the
  // property back sees the new value.
  NotifyPropertyListeners(propID, scope);
  return status;
}

OSStatus PluginAU::ApplyProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                  const void* data, UInt32 dataSize)
{
  if (!data) return kAudio_ParamError;

  switch (propID)
  {
    case kAudioUnitProperty_ClassInfo:
    {
      CFPropertyListRef plist = nullptr;
      if (!ReadRecord(data, dataSize, plist)) return kAudioUnitErr_InvalidPropertyValue;
      return SetState(plist);
    }
    case kAudioUnitProperty_MakeConnection:
    {
      if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
      AudioUnitConnection conn;
      if (!ReadRecord(data, dataSize, conn)) return kAudioUnitErr_InvalidPropertyValue;
      return SetConnection(scope, conn);
    }
    case kAudioUnitProperty_SampleRate:
    {
      Float64 rate = 0.0;
      if (!ReadRecord(data, dataSize, rate) || !IsValidSampleRate(rate)) return kAudioUnitErr_InvalidPropertyValue;
      SetSampleRate(rate);
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
    {
      AudioStreamBasicDescription asbd;
      if (!GetBus(scope, element)) return kAudioUnitErr_InvalidProperty;
      if (!ReadRecord(data, dataSize, asbd)) return kAudioUnitErr_InvalidPropertyValue;
      return SetStreamFormat(scope, element, asbd);
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
      UInt32 frames = 0;
      if (!ReadRecord(data, dataSize, frames) || frames < 1 || frames > static_cast<UInt32>(kMaxFramesPerSlice))
        return kAudioUnitErr_InvalidPropertyValue;
      if (static_cast<int>(frames) == GetBlockSize()) return noErr;
      // The render reads the scratch buffers without a lock: they are resized only while the unit is not
      // initialised, never under a running render.
      if (IsInitialized()) return kAudioUnitErr_Initialized;
      if (!ApplyBlockSize(static_cast<int>(frames))) return kAudio_MemFullError;
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_BypassEffect:
    {
      UInt32 value = 0;
      if (!ReadRecord(data, dataSize, value)) return kAudioUnitErr_InvalidPropertyValue;
      SetBypassed(value != 0);
      OnActivate(!GetBypassed());
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback:
    {
      if (scope != kAudioUnitScope_Input || element >= static_cast<UInt32>(NInBuses()))
        return kAudioUnitErr_InvalidProperty;
      AURenderCallbackStruct callback;
      if (!ReadRecord(data, dataSize, callback)) return kAudioUnitErr_InvalidPropertyValue;
      AUInputConnection* conn = mInputBusConnections.Get(static_cast<int>(element));
      *conn = AUInputConnection();
      if (callback.inputProc) conn->mInputCallback = callback;
      UpdateInputConnections();
      return noErr;
    }
    case kAudioUnitProperty_HostCallbacks:
    {
      if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
      // Older hosts pass a shorter record: take what they passed, the rest stays null.
      HostCallbackInfo info = {};
      std::memcpy(&info, data, std::min<size_t>(dataSize, sizeof(info)));
      mHostUserData.store(info.hostUserData, std::memory_order_release);
      mBeatAndTempoProc.store(info.beatAndTempoProc, std::memory_order_release);
      mMusicalTimeLocationProc.store(info.musicalTimeLocationProc, std::memory_order_release);
      mTransportStateProc.store(info.transportStateProc, std::memory_order_release);
      mTransportStateProc2.store(info.transportStateProc2, std::memory_order_release);
      return noErr;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
      AUPreset preset;
      if (!ReadRecord(data, dataSize, preset)) return kAudioUnitErr_InvalidPropertyValue;
      (void)RestorePreset(preset.presetNumber);
      return noErr;
    }
    case kAudioUnitProperty_OfflineRender:
    {
      UInt32 value = 0;
      if (!ReadRecord(data, dataSize, value)) return kAudioUnitErr_InvalidPropertyValue;
      SetRenderingOffline(value != 0);
      OnReset();
      return noErr;
    }
    case kAudioUnitProperty_AUHostIdentifier:
    {
      AUHostVersionIdentifier ident;
      if (!ReadRecord(data, dataSize, ident)) return kAudioUnitErr_InvalidPropertyValue;
      if (GetHost() != -1) return noErr;
      Util_String name;
      au_detail::CopyUTF8(ident.hostName, name);
      const UInt32 v = ident.hostVersion;
      const UInt32 major = (v >> 24) & 0xFF, minorAndBug = (v >> 16) & 0xFF;
      const int version = static_cast<int>((major << 16) + ((minorAndBug >> 4) << 8) + (minorAndBug & 0x0F));
      SetHost(name.Get(), version);
      return noErr;
    }
    case kAudioUnitProperty_MIDIOutputCallback:
    {
      AUMIDIOutputCallbackStruct callback;
      if (!ReadRecord(data, dataSize, callback)) return kAudioUnitErr_InvalidPropertyValue;
      mMidiCallbackUserData.store(callback.userData, std::memory_order_release);
      mMidiCallback.store(callback.midiOutputCallback, std::memory_order_release);
      return noErr;
    }
    default:
      if (IsClassPrivateProperty(propID)) return SetPrivateProperty(propID, scope, element, data, dataSize);
      return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus PluginAU::GetPrivateProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32*, Boolean*, void*)
{
  return kAudioUnitErr_InvalidProperty;
}

OSStatus PluginAU::SetPrivateProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*, UInt32)
{
  return kAudioUnitErr_InvalidProperty;
}

// ---------------------------------------------------------------------------------------------------------------
// Stream formats
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, AudioStreamBasicDescription& asbd)
{
  const AUBus* bus = GetBus(scope, element);
  if (!bus) return kAudioUnitErr_InvalidProperty;
  asbd = {};
  asbd.mSampleRate = GetSampleRate();
  asbd.mFormatID = kAudioFormatLinearPCM;
  asbd.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
  asbd.mBytesPerPacket = 4;
  asbd.mFramesPerPacket = 1;
  asbd.mBytesPerFrame = 4;
  asbd.mChannelsPerFrame = static_cast<UInt32>(bus->mNHostChannels < 0 ? bus->mNPlugChannels : bus->mNHostChannels);
  asbd.mBitsPerChannel = 32;
  asbd.mReserved = 0;
  return noErr;
}

OSStatus PluginAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription& asbd)
{
  AUBus* bus = GetBusMutable(scope, element);
  if (!bus) return kAudioUnitErr_InvalidProperty;
  // A rate of 0 gives no rate: the current one stays.
  const bool keepRate = asbd.mSampleRate == 0.0;
  if (!keepRate && !IsValidSampleRate(asbd.mSampleRate)) return kAudioUnitErr_InvalidPropertyValue;

  const int channels = asbd.mChannelsPerFrame > static_cast<UInt32>(INT_MAX / 2)
                         ? -1
                         : static_cast<int>(asbd.mChannelsPerFrame);
  const bool accepted = channels > 0 && IsLegalBusFormat(scope, element, channels) && IsRenderableFormat(asbd);
  // A refused format changes nothing: resetting the bus (or taking the rate) could leave an initialised unit
  // with a channel pair that no configuration allows.
  if (!accepted) return kAudioUnitErr_InvalidProperty;
  bus->mNHostChannels = channels;
  if (!keepRate) SetSampleRate(asbd.mSampleRate);
  UpdateInputConnections();
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// Connections
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::SetConnection(AudioUnitScope, const AudioUnitConnection& conn)
{
  if (conn.destInputNumber >= static_cast<UInt32>(NInBuses())) return kAudioUnitErr_InvalidProperty;
  // A unit fed by itself would pull itself forever.
  if (conn.sourceAudioUnit && conn.sourceAudioUnit == mCI) return kAudioUnitErr_InvalidProperty;

  const int dest = static_cast<int>(conn.destInputNumber);
  // The new record is built aside and published once: a render never sees the bus disconnected in between.
  AUInputConnection next;
  OSStatus result = noErr;
  if (conn.sourceAudioUnit)
  {
    AudioStreamBasicDescription asbd = {};
    UInt32 size = sizeof(asbd);
    OSStatus status = AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                           kAudioUnitScope_Output, conn.sourceOutputNumber, &asbd, &size);
    if (status == noErr && size < sizeof(asbd)) status = kAudioUnitErr_InvalidPropertyValue;
    if (status == noErr)
    {
      mHoldRoute = true;
      status = SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, conn.destInputNumber, &asbd,
                           sizeof(asbd));
      mHoldRoute = false;
    }
    if (status == noErr)
    {
      next.mUpstreamUnit = conn.sourceAudioUnit;
      next.mUpstreamBusIdx = static_cast<int>(std::min<UInt32>(conn.sourceOutputNumber, INT_MAX));
      AudioUnitRenderProc renderProc = nullptr;
      UInt32 procSize = sizeof(renderProc);
      if (AudioUnitGetProperty(conn.sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                               kAudioUnitRenderSelect, &renderProc, &procSize) == noErr &&
          procSize == sizeof(renderProc) && renderProc)
      {
        next.mUpstreamRenderProc = renderProc;
        next.mUpstreamObj = GetComponentInstanceStorage(conn.sourceAudioUnit);
      }
    }
    else
      result = kAudioUnitErr_InvalidProperty;
  }
  *mInputBusConnections.Get(dest) = next;
  UpdateInputConnections();
  return result;
}

} // namespace plugin

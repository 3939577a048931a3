// Instance: lifecycle, formats, parameters, state and the input callback.

#include "tools/auhost/Instance.h"

#include "tools/auhost/Render.h"
#include "tools/auhost/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace auhost
{

namespace
{

std::string_view Trim(std::string_view s)
{
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A parameter ID, "#" in front allowed.
bool ParseIndex(std::string_view text, UInt32& value)
{
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  return ParseWhole(text, value);
}

// Indexed parameters with at most this many steps are matched against their value texts.
constexpr double kMaxNamedValues = 1024.0;

} // namespace

AudioTimeStamp MakeTimeStamp(double sampleTime)
{
  AudioTimeStamp ts;
  std::memset(&ts, 0, sizeof(ts));
  ts.mSampleTime = sampleTime;
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  return ts;
}

AudioBufferList* BufferListStorage::Make(UInt32 frames, float* const* channels, UInt32 nChannels)
{
  AudioBufferList* list = Get();
  list->mNumberBuffers = nChannels;
  for (UInt32 c = 0; c < nChannels; ++c)
  {
    list->mBuffers[c].mNumberChannels = 1;
    list->mBuffers[c].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    list->mBuffers[c].mData = channels ? channels[c] : nullptr;
  }
  return list;
}

// ---------------------------------------------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------------------------------------------

Instance::Instance(AudioUnit unit) : mUnit(unit) {}

Status Instance::Open(AudioComponent component, std::unique_ptr<Instance>& out)
{
  out.reset();
  if (!component) return Status::Error("open: no component");
  AudioComponentInstance unit = nullptr;
  const OSStatus st = AudioComponentInstanceNew(component, &unit);
  if (st != noErr || !unit) return Status::FromOS(st != noErr ? st : kAudio_ParamError, "open instance");
  out.reset(new Instance(unit));
  return Status::Ok();
}

Instance::~Instance()
{
  if (!mUnit) return;
  if (mInitialized) (void)AudioUnitUninitialize(mUnit);
  (void)AudioComponentInstanceDispose(mUnit);
}

// ---------------------------------------------------------------------------------------------------------------
// Configuration
// ---------------------------------------------------------------------------------------------------------------

Status Instance::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element, double sampleRate, UInt32 channels)
{
  AudioStreamBasicDescription asbd;
  std::memset(&asbd, 0, sizeof(asbd));
  asbd.mSampleRate = sampleRate;
  asbd.mFormatID = kAudioFormatLinearPCM;
  asbd.mFormatFlags = kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved;
  asbd.mBytesPerPacket = sizeof(float);
  asbd.mFramesPerPacket = 1;
  asbd.mBytesPerFrame = sizeof(float);
  asbd.mChannelsPerFrame = channels;
  asbd.mBitsPerChannel = 32;
  const char* side = scope == kAudioUnitScope_Input ? "input" : scope == kAudioUnitScope_Output ? "output" : "global";
  return Status::FromOS(
    AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, scope, element, &asbd, sizeof(asbd)),
    std::string("stream format of ") + side + " bus " + std::to_string(element) + " (" + std::to_string(channels) +
      " channels at " + FormatNumber(sampleRate) + " Hz)");
}

Status Instance::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                 AudioStreamBasicDescription& asbd) const
{
  return GetProperty(kAudioUnitProperty_StreamFormat, scope, element, asbd);
}

Status Instance::SetMaxFramesPerSlice(UInt32 frames)
{
  return Status::FromOS(AudioUnitSetProperty(mUnit, kAudioUnitProperty_MaximumFramesPerSlice,
                                             kAudioUnitScope_Global, 0, &frames, sizeof(frames)),
                        "MaximumFramesPerSlice " + std::to_string(frames));
}

Status Instance::Initialize()
{
  const OSStatus st = AudioUnitInitialize(mUnit);
  if (st == noErr) mInitialized = true;
  return Status::FromOS(st, "initialize");
}

Status Instance::Uninitialize()
{
  const OSStatus st = AudioUnitUninitialize(mUnit);
  if (st == noErr) mInitialized = false;
  return Status::FromOS(st, "uninitialize");
}

UInt32 Instance::BusCount(AudioUnitScope scope) const
{
  UInt32 count = 0;
  if (!GetProperty(kAudioUnitProperty_ElementCount, scope, 0, count)) return 0;
  return count;
}

std::vector<AUChannelInfo> Instance::ChannelConfigs() const
{
  UInt32 size = 0;
  if (AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, &size,
                               nullptr) != noErr ||
      size == 0 || size % sizeof(AUChannelInfo) != 0 || size > 4096 * sizeof(AUChannelInfo))
    return {};
  std::vector<AUChannelInfo> configs(size / sizeof(AUChannelInfo));
  if (AudioUnitGetProperty(mUnit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                           configs.data(), &size) != noErr)
    return {};
  configs.resize(std::min<size_t>(configs.size(), size / sizeof(AUChannelInfo)));
  return configs;
}

Status Instance::Prepare(double sampleRate, UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames)
{
  if (BusCount(kAudioUnitScope_Input) > 0)
  {
    Status s = SetStreamFormat(kAudioUnitScope_Input, 0, sampleRate, inChannels);
    if (!s) return s;
  }
  Status s = SetStreamFormat(kAudioUnitScope_Output, 0, sampleRate, outChannels);
  if (!s) return s;
  s = SetMaxFramesPerSlice(maxFrames);
  if (!s) return s;
  return Initialize();
}

Status Instance::SetBypass(bool bypass)
{
  const UInt32 value = bypass ? 1 : 0;
  return SetProperty(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, value);
}

// ---------------------------------------------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------------------------------------------

Status Instance::FillParameter(AudioUnitParameterID id, ParameterDesc& desc) const
{
  AudioUnitParameterInfo info;
  std::memset(&info, 0, sizeof(info));
  Status s = GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, info);
  if (!s) return s.Prefixed("parameter " + std::to_string(id));
  desc = ParameterDesc();
  desc.id = id;
  if ((info.flags & kAudioUnitParameterFlag_HasCFNameString) && info.cfNameString)
    desc.name = ToStdString(info.cfNameString);
  else
    desc.name = std::string(info.name, strnlen(info.name, sizeof(info.name)));
  if (info.unitName) desc.unitName = ToStdString(info.unitName);
  // The unit hands both strings over with CFNameRelease.
  if (info.flags & kAudioUnitParameterFlag_CFNameRelease)
  {
    if ((info.flags & kAudioUnitParameterFlag_HasCFNameString) && info.cfNameString) CFRelease(info.cfNameString);
    if (info.unitName) CFRelease(info.unitName);
  }
  desc.unit = info.unit;
  desc.minValue = info.minValue;
  desc.maxValue = info.maxValue;
  desc.defaultValue = info.defaultValue;
  desc.flags = info.flags;
  if (info.flags & kAudioUnitParameterFlag_HasClump)
  {
    desc.clumpID = info.clumpID;
    AudioUnitParameterNameInfo clump = {info.clumpID, kAudioUnitParameterName_Full, nullptr};
    if (GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump) && clump.outName)
    {
      desc.clumpName = ToStdString(clump.outName);
      CFRelease(clump.outName);
    }
  }
  if (info.flags & kAudioUnitParameterFlag_ValuesHaveStrings)
  {
    CFArrayRef strings = nullptr;
    if (GetProperty(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id, strings) && strings)
    {
      for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
        desc.valueStrings.push_back(ToStdString(CFArrayGetValueAtIndex(strings, i)));
      CFRelease(strings);
    }
  }
  return Status::Ok();
}

Status Instance::ListParameters(std::vector<ParameterDesc>& out) const
{
  out.clear();
  UInt32 size = 0;
  const OSStatus st =
    AudioUnitGetPropertyInfo(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size, nullptr);
  if (st != noErr) return Status::FromOS(st, "parameter list");
  if (size % sizeof(AudioUnitParameterID) != 0) return Status::Error("parameter list: size is not a multiple of 4");
  if (size == 0) return Status::Ok();
  std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
  const OSStatus st2 =
    AudioUnitGetProperty(mUnit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(), &size);
  if (st2 != noErr) return Status::FromOS(st2, "parameter list");
  ids.resize(std::min<size_t>(ids.size(), size / sizeof(AudioUnitParameterID)));
  for (AudioUnitParameterID id : ids)
  {
    ParameterDesc desc;
    Status s = FillParameter(id, desc);
    if (!s) return s;
    out.push_back(std::move(desc));
  }
  return Status::Ok();
}

Status Instance::FindParameter(std::string_view nameOrIndex, ParameterDesc& out) const
{
  std::vector<ParameterDesc> params;
  Status s = ListParameters(params);
  if (!s) return s;
  for (const ParameterDesc& p : params)
    if (p.name == nameOrIndex)
    {
      out = p;
      return Status::Ok();
    }
  const std::string lower = Lower(nameOrIndex);
  const ParameterDesc* match = nullptr;
  int matches = 0;
  for (const ParameterDesc& p : params)
    if (Lower(p.name) == lower)
    {
      match = &p;
      ++matches;
    }
  if (matches == 1)
  {
    out = *match;
    return Status::Ok();
  }
  UInt32 index = 0;
  if (matches == 0 && ParseIndex(nameOrIndex, index))
    for (const ParameterDesc& p : params)
      if (p.id == index)
      {
        out = p;
        return Status::Ok();
      }
  std::string names;
  for (const ParameterDesc& p : params) names += (names.empty() ? "" : ", ") + ("\"" + p.name + "\"");
  return Status::Error("no parameter \"" + std::string(nameOrIndex) + "\"" +
                       (matches > 1 ? " (the name is ambiguous)" : "") +
                       (names.empty() ? std::string(" (the unit has no parameters)") : " (parameters: " + names + ")"));
}

Status Instance::GetParameter(AudioUnitParameterID id, Float32& value) const
{
  return Status::FromOS(AudioUnitGetParameter(mUnit, id, kAudioUnitScope_Global, 0, &value),
                        "get parameter " + std::to_string(id));
}

Status Instance::SetParameter(AudioUnitParameterID id, Float32 value)
{
  return Status::FromOS(AudioUnitSetParameter(mUnit, id, kAudioUnitScope_Global, 0, value, 0),
                        "set parameter " + std::to_string(id));
}

Status Instance::SetParameterFromText(std::string_view nameOrIndex, std::string_view valueText)
{
  ParameterDesc p;
  Status s = FindParameter(nameOrIndex, p);
  if (!s) return s;
  const std::string where = "parameter \"" + p.name + "\"";
  double value = 0.0;
  if (ParseFiniteNumber(Trim(valueText), value))
  {
    if (value < p.minValue || value > p.maxValue)
      return Status::Error(where + ": " + std::string(Trim(valueText)) + " is outside " + FormatNumber(p.minValue) +
                           " .. " + FormatNumber(p.maxValue));
  }
  else
  {
    const std::vector<std::pair<std::string, double>> choices = NamedValues(p);
    const std::string wanted = Lower(Trim(valueText));
    bool found = false;
    for (const auto& [text, v] : choices)
      if (!found && Lower(text) == wanted)
      {
        value = v;
        found = true;
      }
    if (!found)
    {
      std::string names;
      for (const auto& choice : choices) names += (names.empty() ? "" : ", ") + ("\"" + choice.first + "\"");
      return Status::Error(where + ": \"" + std::string(valueText) + "\" is not a number" +
                           (names.empty() ? std::string() : " or one of " + names));
    }
  }
  s = SetParameter(p.id, static_cast<Float32>(value));
  return s.Prefixed(where);
}

Status Instance::ParameterValueToText(AudioUnitParameterID id, Float32 value, std::string& text) const
{
  AudioUnitParameterStringFromValue record = {id, &value, nullptr};
  Status s = GetProperty(kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, record);
  if (!s) return s;
  if (!record.outString) return Status::Error("parameter " + std::to_string(id) + ": no text for the value");
  text = ToStdString(record.outString);
  CFRelease(record.outString);
  return Status::Ok();
}

std::vector<std::pair<std::string, double>> Instance::NamedValues(const ParameterDesc& p) const
{
  std::vector<std::pair<std::string, double>> choices;
  for (size_t i = 0; i < p.valueStrings.size(); ++i)
    choices.emplace_back(p.valueStrings[i], p.minValue + static_cast<double>(i));
  if (choices.empty() && p.IsIndexed() && p.maxValue - p.minValue <= kMaxNamedValues)
    for (double v = p.minValue; v <= p.maxValue; v += 1.0)
    {
      std::string text;
      if (ParameterValueToText(p.id, static_cast<Float32>(v), text)) choices.emplace_back(text, v);
    }
  return choices;
}

Status Instance::ParameterTextToValue(AudioUnitParameterID id, std::string_view text, Float32& value) const
{
  CFRef<CFStringRef> str = MakeCFString(text);
  if (!str) return Status::Error("parameter text is not UTF-8");
  AudioUnitParameterValueFromString record = {id, str.Get(), 0.f};
  Status s = GetProperty(kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, record);
  if (!s) return s;
  value = record.outValue;
  return Status::Ok();
}

// ---------------------------------------------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------------------------------------------

Status Instance::SaveState(CFRef<CFPropertyListRef>& out) const
{
  CFPropertyListRef plist = nullptr;
  Status s = GetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, plist);
  out.Reset(plist);
  if (!s) return s.Prefixed("save state");
  if (!plist) return Status::Error("save state: the unit returned no ClassInfo");
  return Status::Ok();
}

Status Instance::RestoreState(CFPropertyListRef state)
{
  Status s = SetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state);
  return s.Prefixed("restore state");
}

Status Instance::FactoryPresets(std::vector<PresetDesc>& out) const
{
  out.clear();
  CFArrayRef presets = nullptr;
  Status s = GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, presets);
  if (!s) return s;
  if (!presets) return Status::Ok();
  for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i)
  {
    const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
    if (preset) out.push_back({preset->presetNumber, ToStdString(preset->presetName)});
  }
  CFRelease(presets);
  return Status::Ok();
}

Status Instance::SelectPreset(SInt32 number)
{
  const AUPreset preset = {number, nullptr};
  return SetProperty(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, preset);
}

Status Instance::CurrentPreset(PresetDesc& out) const
{
  AUPreset preset = {0, nullptr};
  Status s = GetProperty(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, preset);
  if (!s) return s;
  out.number = preset.presetNumber;
  out.name = ToStdString(preset.presetName);
  if (preset.presetName) CFRelease(preset.presetName);
  return Status::Ok();
}

// ---------------------------------------------------------------------------------------------------------------
// Audio
// ---------------------------------------------------------------------------------------------------------------

Status Instance::ConnectInput(AudioSource* source, UInt32 bus)
{
  if (bus >= kMaxBuses) return Status::Error("input bus " + std::to_string(bus) + ": too many buses for this host");
  AURenderCallbackStruct callback = {source ? &Instance::InputCallback : nullptr, source ? this : nullptr};
  mSources[bus].store(source, std::memory_order_release);
  Status s = SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, bus, callback);
  if (!s)
  {
    mSources[bus].store(nullptr, std::memory_order_release);
    return s.Prefixed("connect input bus " + std::to_string(bus));
  }
  return Status::Ok();
}

OSStatus Instance::InputCallback(void* refCon, AudioUnitRenderActionFlags* /*flags*/, const AudioTimeStamp* ts,
                                 UInt32 bus, UInt32 frames, AudioBufferList* data)
{
  auto* self = static_cast<Instance*>(refCon);
  if (!self || !ts || !data || bus >= kMaxBuses) return kAudio_ParamError;
  AudioSource* source = self->mSources[bus].load(std::memory_order_acquire);
  if (!source) return kAudioUnitErr_NoConnection;
  return source->Pull(*ts, frames, data);
}

OSStatus Instance::Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp& ts, UInt32 bus, UInt32 frames,
                          AudioBufferList* data)
{
  return AudioUnitRender(mUnit, flags, &ts, bus, frames, data);
}

OSStatus Instance::RenderBlock(double sampleTime, UInt32 frames, float** channels, UInt32 nChannels, UInt32 bus)
{
  if (nChannels > kMaxChannels || (!channels && nChannels > 0)) return kAudio_ParamError;
  BufferListStorage storage;
  AudioBufferList* list = storage.Make(frames, channels, nChannels);
  const AudioTimeStamp ts = MakeTimeStamp(sampleTime);
  AudioUnitRenderActionFlags flags = 0;
  const OSStatus st = AudioUnitRender(mUnit, &flags, &ts, bus, frames, list);
  for (UInt32 c = 0; c < nChannels; ++c) channels[c] = static_cast<float*>(list->mBuffers[c].mData);
  return st;
}

} // namespace auhost

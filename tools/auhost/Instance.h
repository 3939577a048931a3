#pragma once

// One open Audio Unit instance, driven only through the platform's AudioUnit* calls, as a host drives it:
// stream formats, block size, initialisation, parameters by ID or by name, ClassInfo state, factory presets, the
// input callback of each input bus, and rendering.

#include "tools/auhost/CfRef.h"
#include "tools/auhost/Status.h"

#include <AudioToolbox/AudioToolbox.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace auhost
{

class AudioSource;

// What the host learns about one parameter (ParameterList, ParameterInfo, ParameterClumpName,
// ParameterValueStrings).
struct ParameterDesc
{
  AudioUnitParameterID id = 0;
  std::string name;     // cfNameString when given, else the name field
  std::string unitName; // custom unit name; "" otherwise
  AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
  Float32 minValue = 0.f;
  Float32 maxValue = 0.f;
  Float32 defaultValue = 0.f;
  AudioUnitParameterOptions flags = 0;
  UInt32 clumpID = 0;                    // 0 without kAudioUnitParameterFlag_HasClump
  std::string clumpName;                 // "" without a clump
  std::vector<std::string> valueStrings; // entry i names the value i; empty when the unit has none

  bool IsIndexed() const { return unit == kAudioUnitParameterUnit_Indexed || unit == kAudioUnitParameterUnit_Boolean; }
};

struct PresetDesc
{
  SInt32 number = 0;
  std::string name;
};

class Instance
{
public:
  // Buses and channels per bus this harness drives at most.
  static constexpr UInt32 kMaxBuses = 16;
  static constexpr UInt32 kMaxChannels = 64;

  // [main thread] AudioComponentInstanceNew. The instance is disposed with the object.
  static Status Open(AudioComponent component, std::unique_ptr<Instance>& out);
  // [main thread] Uninitialises when initialised, then AudioComponentInstanceDispose.
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  AudioUnit Unit() const { return mUnit; }

  // --- Configuration [main thread, not rendering] ----------------------------------------------------------

  // Non-interleaved 32-bit float at sampleRate (Hz) with `channels` channels on bus `element` of scope.
  Status SetStreamFormat(AudioUnitScope scope, AudioUnitElement element, double sampleRate, UInt32 channels);
  Status GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, AudioStreamBasicDescription& asbd) const;
  Status SetMaxFramesPerSlice(UInt32 frames);
  Status Initialize();
  Status Uninitialize();
  bool IsInitialized() const { return mInitialized; }
  // ElementCount of the input or output scope; 0 when the unit does not say.
  UInt32 BusCount(AudioUnitScope scope) const;
  // SupportedNumChannels; empty when the unit does not say.
  std::vector<AUChannelInfo> ChannelConfigs() const;
  // Formats on input bus 0 (when the unit has input buses) and output bus 0, MaximumFramesPerSlice, Initialize.
  Status Prepare(double sampleRate, UInt32 inChannels, UInt32 outChannels, UInt32 maxFrames);
  // BypassEffect.
  Status SetBypass(bool bypass);

  // Plain property access; the size must match exactly.
  template <typename T>
  Status GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, T& value) const
  {
    UInt32 size = sizeof(T);
    const OSStatus st = AudioUnitGetProperty(mUnit, id, scope, element, &value, &size);
    if (st != noErr) return Status::FromOS(st, "get property " + std::to_string(id));
    if (size != sizeof(T)) return Status::Error("get property " + std::to_string(id) + ": unexpected size");
    return Status::Ok();
  }
  template <typename T>
  Status SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const T& value)
  {
    return Status::FromOS(AudioUnitSetProperty(mUnit, id, scope, element, &value, sizeof(T)),
                          "set property " + std::to_string(id));
  }

  // --- Parameters [main thread] -----------------------------------------------------------------------------

  // Every global parameter in ParameterList order.
  Status ListParameters(std::vector<ParameterDesc>& out) const;
  // A parameter by its exact name, else by a case-insensitive name when only one matches, else by an index
  // written "#N" or "N" (an ID of the list). Failure names the parameter and lists the names there are.
  Status FindParameter(std::string_view nameOrIndex, ParameterDesc& out) const;
  Status GetParameter(AudioUnitParameterID id, Float32& value) const;
  Status SetParameter(AudioUnitParameterID id, Float32 value);
  // Sets a parameter found by FindParameter from text: a number (C locale, the real value, inside the
  // parameter's range) or one of its value strings (case-insensitive; sets that value's index). Failure names
  // the parameter and what was wrong; nothing changes then.
  Status SetParameterFromText(std::string_view nameOrIndex, std::string_view valueText);
  // The unit's text for a real value (ParameterStringFromValue).
  Status ParameterValueToText(AudioUnitParameterID id, Float32 value, std::string& text) const;
  // The unit's value for a text (ParameterValueFromString).
  Status ParameterTextToValue(AudioUnitParameterID id, std::string_view text, Float32& value) const;
  // The values of a parameter that have names, with their texts: its value strings; for an indexed parameter
  // without them and at most 1024 steps, the unit's text of each value it gives one for; else none.
  std::vector<std::pair<std::string, double>> NamedValues(const ParameterDesc& p) const;

  // --- State [main thread] ------------------------------------------------------------------------------------

  // ClassInfo; the dictionary is the caller's.
  Status SaveState(CFRef<CFPropertyListRef>& out) const;
  Status RestoreState(CFPropertyListRef state);
  Status FactoryPresets(std::vector<PresetDesc>& out) const;
  // PresentPreset with that number.
  Status SelectPreset(SInt32 number);
  Status CurrentPreset(PresetDesc& out) const;

  // --- Audio --------------------------------------------------------------------------------------------------

  // [main thread, not rendering] Feeds input bus `bus` from `source` through the SetRenderCallback property
  // (null: removes the callback). The source must outlive the connection.
  Status ConnectInput(AudioSource* source, UInt32 bus = 0);
  // [audio thread] AudioUnitRender of output bus `bus` with a valid sample time, into nChannels buffers of
  // `frames` floats (a null channel pointer lets the unit supply the memory; the pointers it used are written
  // back). nChannels above kMaxChannels: kAudio_ParamError.
  OSStatus RenderBlock(double sampleTime, UInt32 frames, float** channels, UInt32 nChannels, UInt32 bus = 0);
  // [audio thread] AudioUnitRender as given.
  OSStatus Render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp& ts, UInt32 bus, UInt32 frames,
                  AudioBufferList* data);

private:
  explicit Instance(AudioUnit unit);
  static OSStatus InputCallback(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                                UInt32 bus, UInt32 frames, AudioBufferList* data);
  Status FillParameter(AudioUnitParameterID id, ParameterDesc& desc) const;

  AudioUnit mUnit = nullptr;
  bool mInitialized = false;
  std::atomic<AudioSource*> mSources[kMaxBuses] = {};
};

// A zeroed AudioTimeStamp at sampleTime with kAudioTimeStampSampleTimeValid.
AudioTimeStamp MakeTimeStamp(double sampleTime);

// An AudioBufferList with room for kMaxChannels buffers, on the stack of whoever holds it.
struct BufferListStorage
{
  alignas(AudioBufferList) unsigned char bytes[offsetof(AudioBufferList, mBuffers) +
                                               Instance::kMaxChannels * sizeof(AudioBuffer)];
  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(bytes); }
  // nChannels one-channel buffers of frames floats at the given pointers (null pointers stay null).
  AudioBufferList* Make(UInt32 frames, float* const* channels, UInt32 nChannels);
};

} // namespace auhost

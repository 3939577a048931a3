// Record layouts and numbers a host written from the platform's public documentation relies on.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <utility>

namespace
{

constexpr UInt32 FourCC(const char (&s)[5])
{
  return (UInt32(UInt8(s[0])) << 24) | (UInt32(UInt8(s[1])) << 16) | (UInt32(UInt8(s[2])) << 8) | UInt32(UInt8(s[3]));
}

TEST(AUTypes, RecordLayoutsAndPublishedNumbers)
{
  // Sizes and member offsets, in the order of the platform's headers.
  const std::pair<size_t, size_t> layouts[] = {{sizeof(AudioStreamBasicDescription), 40u},
                                               {sizeof(AudioTimeStamp), 64u},
                                               {offsetof(AudioTimeStamp, mSMPTETime), 32u},
                                               {offsetof(AudioTimeStamp, mFlags), 56u},
                                               {sizeof(AudioBufferList), 24u},
                                               {offsetof(AudioBufferList, mBuffers), 8u},
                                               {sizeof(AudioUnitParameterInfo), 104u},
                                               {offsetof(AudioUnitParameterInfo, clumpID), 64u},
                                               {offsetof(AudioUnitParameterInfo, unit), 80u},
                                               {offsetof(AudioUnitParameterInfo, defaultValue), 92u},
                                               {sizeof(AudioUnitConnection), 16u},
                                               {sizeof(HostCallbackInfo), 40u},
                                               {sizeof(AUPreset), 16u},
                                               {offsetof(AUPreset, presetName), 8u},
                                               {sizeof(AudioUnitParameterStringFromValue), 24u},
                                               {sizeof(AudioUnitParameterValueFromString), 24u},
                                               {offsetof(AudioUnitParameterValueFromString, outValue), 16u},
                                               {sizeof(AudioUnitParameterNameInfo), 16u},
                                               {sizeof(AudioUnitParameterEvent), 32u},
                                               {offsetof(AudioUnitParameterEvent, eventValues), 16u},
                                               {sizeof(AudioUnitEvent), 32u},
                                               {offsetof(AudioUnitEvent, mArgument), 8u},
                                               {sizeof(AudioComponentPlugInInterface), 4 * sizeof(void*)},
                                               {sizeof(ComponentParameters), 16u},
                                               {offsetof(ComponentParameters, what), 2u},
                                               {offsetof(ComponentParameters, params), 8u},
                                               {sizeof(MusicDeviceNoteParams), 20u}};
  for (size_t i = 0; i < std::size(layouts); ++i)
    EXPECT_EQ(layouts[i].first, layouts[i].second) << "entry " << i;

  // Type codes, the adapter's stream format flags (float, packed, non-interleaved), its default parameter flags and
  // their variants and channel layout tags.
  const std::pair<UInt64, UInt64> numbers[] = {
      {kAudioFormatLinearPCM, FourCC("lpcm")},
      {kAudioUnitType_Effect, FourCC("aufx")},
      {kAudioUnitType_MusicEffect, FourCC("aumf")},
      {kAudioUnitType_MusicDevice, FourCC("aumu")},
      {kAudioUnitType_MIDIProcessor, FourCC("aumi")},
      {gestaltSystemVersion, FourCC("sysv")},
      {kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved, 0x29u},
      {kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
           kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
           kAudioUnitParameterFlag_CFNameRelease,
       0xC8800010u},
      {kAudioUnitParameterFlag_IsElementMeta, 0x20000000u},
      {kAudioUnitParameterFlag_NonRealTime, 0x01000000u},
      {kAudioUnitParameterFlag_ValuesHaveStrings, 0x00200000u},
      {kAudioUnitParameterFlag_DisplayLogarithmic, 0x00400000u},
      {kAudioChannelLayoutTag_Mono, 0x00640001u},
      {kAudioChannelLayoutTag_Stereo, 0x00650002u},
      {kAudioChannelLayoutTag_DiscreteInOrder, 0x00930000u}};
  for (size_t i = 0; i < std::size(numbers); ++i)
    EXPECT_EQ(numbers[i].first, numbers[i].second) << i;
}

// Every number a host and the unit exchange, against the values the platform publishes (written out here, not
// taken from our headers): a wrong constant would make an independent host misread the unit.
struct Published
{
  const char* name;
  SInt64 declared, published;
};
#define ZQ_PUBLISHED(name, value) Published{#name, SInt64(name), SInt64(value)}

TEST(AUTypes, DeclaredNumbersAreThePublishedOnes)
{
  const Published table[] = {
    // Properties.
    ZQ_PUBLISHED(kAudioUnitProperty_ClassInfo, 0), ZQ_PUBLISHED(kAudioUnitProperty_MakeConnection, 1),
    ZQ_PUBLISHED(kAudioUnitProperty_SampleRate, 2), ZQ_PUBLISHED(kAudioUnitProperty_ParameterList, 3),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterInfo, 4), ZQ_PUBLISHED(kAudioUnitProperty_FastDispatch, 5),
    ZQ_PUBLISHED(kAudioUnitProperty_CPULoad, 6), ZQ_PUBLISHED(kAudioUnitProperty_StreamFormat, 8),
    ZQ_PUBLISHED(kAudioUnitProperty_ElementCount, 11), ZQ_PUBLISHED(kAudioUnitProperty_Latency, 12),
    ZQ_PUBLISHED(kAudioUnitProperty_SupportedNumChannels, 13),
    ZQ_PUBLISHED(kAudioUnitProperty_MaximumFramesPerSlice, 14),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterValueStrings, 16),
    ZQ_PUBLISHED(kAudioUnitProperty_AudioChannelLayout, 19), ZQ_PUBLISHED(kAudioUnitProperty_TailTime, 20),
    ZQ_PUBLISHED(kAudioUnitProperty_BypassEffect, 21), ZQ_PUBLISHED(kAudioUnitProperty_LastRenderError, 22),
    ZQ_PUBLISHED(kAudioUnitProperty_SetRenderCallback, 23), ZQ_PUBLISHED(kAudioUnitProperty_FactoryPresets, 24),
    ZQ_PUBLISHED(kAudioUnitProperty_ContextName, 25), ZQ_PUBLISHED(kAudioUnitProperty_RenderQuality, 26),
    ZQ_PUBLISHED(kAudioUnitProperty_HostCallbacks, 27), ZQ_PUBLISHED(kAudioUnitProperty_CurrentPreset, 28),
    ZQ_PUBLISHED(kAudioUnitProperty_InPlaceProcessing, 29), ZQ_PUBLISHED(kAudioUnitProperty_ElementName, 30),
    ZQ_PUBLISHED(kAudioUnitProperty_CocoaUI, 31), ZQ_PUBLISHED(kAudioUnitProperty_SupportedChannelLayoutTags, 32),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterStringFromValue, 33),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterIDName, 34), ZQ_PUBLISHED(kAudioUnitProperty_ParameterClumpName, 35),
    ZQ_PUBLISHED(kAudioUnitProperty_PresentPreset, 36), ZQ_PUBLISHED(kAudioUnitProperty_OfflineRender, 37),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterValueFromString, 38),
    ZQ_PUBLISHED(kAudioUnitProperty_IconLocation, 39), ZQ_PUBLISHED(kAudioUnitProperty_PresentationLatency, 40),
    ZQ_PUBLISHED(kAudioUnitProperty_DependentParameters, 45), ZQ_PUBLISHED(kAudioUnitProperty_AUHostIdentifier, 46),
    ZQ_PUBLISHED(kAudioUnitProperty_MIDIOutputCallbackInfo, 47),
    ZQ_PUBLISHED(kAudioUnitProperty_MIDIOutputCallback, 48),
    ZQ_PUBLISHED(kAudioUnitProperty_InputSamplesInOutput, 49),
    ZQ_PUBLISHED(kAudioUnitProperty_ClassInfoFromDocument, 50),
    ZQ_PUBLISHED(kAudioUnitProperty_ShouldAllocateBuffer, 51),
    ZQ_PUBLISHED(kAudioUnitProperty_FrequencyResponse, 52),
    ZQ_PUBLISHED(kAudioUnitProperty_ParameterHistoryInfo, 53), ZQ_PUBLISHED(kAudioUnitProperty_NickName, 54),
    ZQ_PUBLISHED(kMusicDeviceProperty_InstrumentCount, 1000),
    // Selectors.
    ZQ_PUBLISHED(kAudioUnitInitializeSelect, 1), ZQ_PUBLISHED(kAudioUnitUninitializeSelect, 2),
    ZQ_PUBLISHED(kAudioUnitGetPropertyInfoSelect, 3), ZQ_PUBLISHED(kAudioUnitGetPropertySelect, 4),
    ZQ_PUBLISHED(kAudioUnitSetPropertySelect, 5), ZQ_PUBLISHED(kAudioUnitGetParameterSelect, 6),
    ZQ_PUBLISHED(kAudioUnitSetParameterSelect, 7), ZQ_PUBLISHED(kAudioUnitResetSelect, 9),
    ZQ_PUBLISHED(kAudioUnitAddPropertyListenerSelect, 10), ZQ_PUBLISHED(kAudioUnitRemovePropertyListenerSelect, 11),
    ZQ_PUBLISHED(kAudioUnitRenderSelect, 14), ZQ_PUBLISHED(kAudioUnitAddRenderNotifySelect, 15),
    ZQ_PUBLISHED(kAudioUnitRemoveRenderNotifySelect, 16), ZQ_PUBLISHED(kAudioUnitScheduleParametersSelect, 17),
    ZQ_PUBLISHED(kAudioUnitRemovePropertyListenerWithUserDataSelect, 18),
    ZQ_PUBLISHED(kAudioUnitComplexRenderSelect, 19), ZQ_PUBLISHED(kAudioUnitProcessSelect, 20),
    ZQ_PUBLISHED(kAudioUnitProcessMultipleSelect, 21), ZQ_PUBLISHED(kMusicDeviceRange, 0x100),
    ZQ_PUBLISHED(kMusicDeviceMIDIEventSelect, 0x101), ZQ_PUBLISHED(kMusicDeviceSysExSelect, 0x102),
    ZQ_PUBLISHED(kMusicDevicePrepareInstrumentSelect, 0x103),
    ZQ_PUBLISHED(kMusicDeviceReleaseInstrumentSelect, 0x104), ZQ_PUBLISHED(kMusicDeviceStartNoteSelect, 0x105),
    ZQ_PUBLISHED(kMusicDeviceStopNoteSelect, 0x106), ZQ_PUBLISHED(kComponentOpenSelect, -1),
    ZQ_PUBLISHED(kComponentCloseSelect, -2), ZQ_PUBLISHED(kComponentCanDoSelect, -3),
    ZQ_PUBLISHED(kComponentVersionSelect, -4), ZQ_PUBLISHED(kComponentRegisterSelect, -5),
    ZQ_PUBLISHED(kComponentTargetSelect, -6), ZQ_PUBLISHED(kComponentUnregisterSelect, -7),
    // Scopes.
    ZQ_PUBLISHED(kAudioUnitScope_Global, 0), ZQ_PUBLISHED(kAudioUnitScope_Input, 1),
    ZQ_PUBLISHED(kAudioUnitScope_Output, 2), ZQ_PUBLISHED(kAudioUnitScope_Group, 3),
    ZQ_PUBLISHED(kAudioUnitScope_Part, 4), ZQ_PUBLISHED(kAudioUnitScope_Note, 5),
    ZQ_PUBLISHED(kAudioUnitScope_Layer, 6), ZQ_PUBLISHED(kAudioUnitScope_LayerItem, 7),
    // Errors.
    ZQ_PUBLISHED(kAudioUnitErr_InvalidProperty, -10879), ZQ_PUBLISHED(kAudioUnitErr_InvalidParameter, -10878),
    ZQ_PUBLISHED(kAudioUnitErr_InvalidElement, -10877), ZQ_PUBLISHED(kAudioUnitErr_NoConnection, -10876),
    ZQ_PUBLISHED(kAudioUnitErr_FailedInitialization, -10875),
    ZQ_PUBLISHED(kAudioUnitErr_TooManyFramesToProcess, -10874), ZQ_PUBLISHED(kAudioUnitErr_InvalidFile, -10871),
    ZQ_PUBLISHED(kAudioUnitErr_UnknownFileType, -10870), ZQ_PUBLISHED(kAudioUnitErr_FileNotSpecified, -10869),
    ZQ_PUBLISHED(kAudioUnitErr_FormatNotSupported, -10868), ZQ_PUBLISHED(kAudioUnitErr_Uninitialized, -10867),
    ZQ_PUBLISHED(kAudioUnitErr_InvalidScope, -10866), ZQ_PUBLISHED(kAudioUnitErr_PropertyNotWritable, -10865),
    ZQ_PUBLISHED(kAudioUnitErr_CannotDoInCurrentContext, -10863),
    ZQ_PUBLISHED(kAudioUnitErr_InvalidPropertyValue, -10851), ZQ_PUBLISHED(kAudioUnitErr_PropertyNotInUse, -10850),
    ZQ_PUBLISHED(kAudioUnitErr_Initialized, -10849), ZQ_PUBLISHED(kAudioUnitErr_InvalidOfflineRender, -10848),
    ZQ_PUBLISHED(kAudioUnitErr_Unauthorized, -10847), ZQ_PUBLISHED(kAudioUnitErr_InvalidParameterValue, -66743),
    ZQ_PUBLISHED(kAudioUnitErr_MIDIOutputBufferFull, -66753), ZQ_PUBLISHED(kAudio_UnimplementedError, -4),
    ZQ_PUBLISHED(kAudio_FileNotFoundError, -43), ZQ_PUBLISHED(kAudio_ParamError, -50),
    ZQ_PUBLISHED(kAudio_MemFullError, -108), ZQ_PUBLISHED(coreFoundationUnknownErr, -4960),
    ZQ_PUBLISHED(badComponentInstance, -2147450879), ZQ_PUBLISHED(badComponentSelector, -2147450878),
    // Stream format, time stamp and render flags.
    ZQ_PUBLISHED(kAudioFormatFlagIsFloat, 0x1), ZQ_PUBLISHED(kAudioFormatFlagIsBigEndian, 0x2),
    ZQ_PUBLISHED(kAudioFormatFlagIsSignedInteger, 0x4), ZQ_PUBLISHED(kAudioFormatFlagIsPacked, 0x8),
    ZQ_PUBLISHED(kAudioFormatFlagIsAlignedHigh, 0x10), ZQ_PUBLISHED(kAudioFormatFlagIsNonInterleaved, 0x20),
    ZQ_PUBLISHED(kAudioFormatFlagIsNonMixable, 0x40), ZQ_PUBLISHED(kAudioFormatFlagsAreAllClear, 0x80000000u),
    ZQ_PUBLISHED(kAudioTimeStampSampleTimeValid, 0x1), ZQ_PUBLISHED(kAudioTimeStampHostTimeValid, 0x2),
    ZQ_PUBLISHED(kAudioTimeStampRateScalarValid, 0x4), ZQ_PUBLISHED(kAudioTimeStampWordClockTimeValid, 0x8),
    ZQ_PUBLISHED(kAudioTimeStampSMPTETimeValid, 0x10), ZQ_PUBLISHED(kAudioUnitRenderAction_PreRender, 0x4),
    ZQ_PUBLISHED(kAudioUnitRenderAction_PostRender, 0x8), ZQ_PUBLISHED(kAudioUnitRenderAction_OutputIsSilence, 0x10),
    ZQ_PUBLISHED(kAudioUnitRenderAction_PostRenderError, 0x100),
    ZQ_PUBLISHED(kAudioUnitRenderAction_DoNotCheckRenderArgs, 0x200),
    // Events and parameter units.
    ZQ_PUBLISHED(kAudioUnitEvent_ParameterValueChange, 0), ZQ_PUBLISHED(kAudioUnitEvent_BeginParameterChangeGesture, 1),
    ZQ_PUBLISHED(kAudioUnitEvent_EndParameterChangeGesture, 2), ZQ_PUBLISHED(kAudioUnitEvent_PropertyChange, 3),
    ZQ_PUBLISHED(kParameterEvent_Immediate, 1), ZQ_PUBLISHED(kParameterEvent_Ramped, 2),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Generic, 0), ZQ_PUBLISHED(kAudioUnitParameterUnit_Indexed, 1),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Boolean, 2), ZQ_PUBLISHED(kAudioUnitParameterUnit_Percent, 3),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Seconds, 4), ZQ_PUBLISHED(kAudioUnitParameterUnit_SampleFrames, 5),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Phase, 6), ZQ_PUBLISHED(kAudioUnitParameterUnit_Rate, 7),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Hertz, 8), ZQ_PUBLISHED(kAudioUnitParameterUnit_Cents, 9),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_RelativeSemiTones, 10),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_MIDINoteNumber, 11), ZQ_PUBLISHED(kAudioUnitParameterUnit_MIDIController, 12),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Decibels, 13), ZQ_PUBLISHED(kAudioUnitParameterUnit_LinearGain, 14),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Degrees, 15), ZQ_PUBLISHED(kAudioUnitParameterUnit_EqualPowerCrossfade, 16),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_MixerFaderCurve1, 17), ZQ_PUBLISHED(kAudioUnitParameterUnit_Pan, 18),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Meters, 19), ZQ_PUBLISHED(kAudioUnitParameterUnit_AbsoluteCents, 20),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Octaves, 21), ZQ_PUBLISHED(kAudioUnitParameterUnit_BPM, 22),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Beats, 23), ZQ_PUBLISHED(kAudioUnitParameterUnit_Milliseconds, 24),
    ZQ_PUBLISHED(kAudioUnitParameterUnit_Ratio, 25), ZQ_PUBLISHED(kAudioUnitParameterUnit_CustomUnit, 26),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_HasClump, 0x100000), ZQ_PUBLISHED(kAudioUnitParameterFlag_CanRamp, 0x2000000),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_DisplaySquareRoot, 0x10000),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_DisplaySquared, 0x20000),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_DisplayCubed, 0x30000),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_DisplayCubeRoot, 0x40000),
    ZQ_PUBLISHED(kAudioUnitParameterFlag_DisplayExponential, 0x50000),
    ZQ_PUBLISHED(kAudioUnitParameterName_Full, -1),
  };
  for (const Published& p : table) EXPECT_EQ(p.declared, p.published) << p.name;
}
#undef ZQ_PUBLISHED

} // namespace

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
  // their variants, channel layout tags and the selector error.
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
  EXPECT_EQ(badComponentSelector, -2147450878);
}

TEST(AUTypes, GestaltAnswersTheStandInRelease)
{
  SInt32 value = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersionMinor, &value), noErr);
  EXPECT_EQ(value, 15);
  value = 123;
  EXPECT_EQ(Gestalt(FourCC("nope"), &value), gestaltUndefSelectorErr);
  EXPECT_EQ(value, 123);
  EXPECT_EQ(Gestalt(gestaltSystemVersion, nullptr), paramErr);
}

} // namespace

// Record layouts and numbers a host written from the platform's public documentation relies on.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>
#include <gtest/gtest.h>

#include <cstddef>

namespace
{

constexpr UInt32 FourCC(const char (&s)[5])
{
  return (UInt32(UInt8(s[0])) << 24) | (UInt32(UInt8(s[1])) << 16) | (UInt32(UInt8(s[2])) << 8) | UInt32(UInt8(s[3]));
}

TEST(AUTypes, RecordLayoutsMatchThe64BitPlatform)
{
  EXPECT_EQ(sizeof(AudioStreamBasicDescription), 40u);
  EXPECT_EQ(sizeof(AudioTimeStamp), 64u);
  EXPECT_EQ(offsetof(AudioTimeStamp, mSMPTETime), 32u);
  EXPECT_EQ(offsetof(AudioTimeStamp, mFlags), 56u);
  EXPECT_EQ(sizeof(AudioBufferList), 24u);
  EXPECT_EQ(offsetof(AudioBufferList, mBuffers), 8u);
  EXPECT_EQ(sizeof(AudioUnitParameterInfo), 104u);
  EXPECT_EQ(offsetof(AudioUnitParameterInfo, clumpID), 64u);
  EXPECT_EQ(offsetof(AudioUnitParameterInfo, unit), 80u);
  EXPECT_EQ(offsetof(AudioUnitParameterInfo, defaultValue), 92u);
  EXPECT_EQ(sizeof(AudioUnitConnection), 16u);
  EXPECT_EQ(sizeof(HostCallbackInfo), 40u);
  EXPECT_EQ(sizeof(AUPreset), 16u);
  EXPECT_EQ(offsetof(AUPreset, presetName), 8u);
  EXPECT_EQ(sizeof(AudioUnitParameterStringFromValue), 24u);
  EXPECT_EQ(sizeof(AudioUnitParameterValueFromString), 24u);
  EXPECT_EQ(offsetof(AudioUnitParameterValueFromString, outValue), 16u);
  EXPECT_EQ(sizeof(AudioUnitParameterNameInfo), 16u);
  EXPECT_EQ(sizeof(AudioUnitParameterEvent), 32u);
  EXPECT_EQ(offsetof(AudioUnitParameterEvent, eventValues), 16u);
  EXPECT_EQ(sizeof(AudioUnitEvent), 32u);
  EXPECT_EQ(offsetof(AudioUnitEvent, mArgument), 8u);
  EXPECT_EQ(sizeof(AudioComponentPlugInInterface), 4 * sizeof(void*));
  EXPECT_EQ(sizeof(ComponentParameters), 16u);
  EXPECT_EQ(offsetof(ComponentParameters, what), 2u);
  EXPECT_EQ(offsetof(ComponentParameters, params), 8u);
  EXPECT_EQ(sizeof(MusicDeviceNoteParams), 20u);
}

TEST(AUTypes, PublishedNumbers)
{
  EXPECT_EQ(kAudioFormatLinearPCM, FourCC("lpcm"));
  EXPECT_EQ(kAudioUnitType_Effect, FourCC("aufx"));
  EXPECT_EQ(kAudioUnitType_MusicEffect, FourCC("aumf"));
  EXPECT_EQ(kAudioUnitType_MusicDevice, FourCC("aumu"));
  EXPECT_EQ(kAudioUnitType_MIDIProcessor, FourCC("aumi"));
  EXPECT_EQ(gestaltSystemVersion, FourCC("sysv"));
  // The adapter's stream format flags: float, packed, non-interleaved.
  EXPECT_EQ(kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved, 0x29u);
  // The adapter's default parameter flags and their meta variant.
  EXPECT_EQ(kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
                kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
                kAudioUnitParameterFlag_CFNameRelease,
            0xC8800010u);
  EXPECT_EQ(kAudioUnitParameterFlag_IsElementMeta, 0x20000000u);
  EXPECT_EQ(kAudioUnitParameterFlag_NonRealTime, 0x01000000u);
  EXPECT_EQ(kAudioUnitParameterFlag_ValuesHaveStrings, 0x00200000u);
  EXPECT_EQ(kAudioUnitParameterFlag_DisplayLogarithmic, 0x00400000u);
  EXPECT_EQ(kAudioChannelLayoutTag_Mono, 0x00640001u);
  EXPECT_EQ(kAudioChannelLayoutTag_Stereo, 0x00650002u);
  EXPECT_EQ(kAudioChannelLayoutTag_DiscreteInOrder, 0x00930000u);
  EXPECT_EQ(badComponentSelector, static_cast<OSStatus>(0x80008002u));
  EXPECT_EQ(badComponentSelector, -2147450878);
}

TEST(AUTypes, GestaltAnswersTheStandInRelease)
{
  SInt32 value = 0;
  EXPECT_EQ(Gestalt(gestaltSystemVersion, &value), noErr);
  EXPECT_EQ(value, 0x1099);
  EXPECT_EQ(Gestalt(gestaltSystemVersionMinor, &value), noErr);
  EXPECT_EQ(value, 15);
  value = 123;
  EXPECT_EQ(Gestalt(FourCC("nope"), &value), gestaltUndefSelectorErr);
  EXPECT_EQ(value, 123);
  EXPECT_EQ(Gestalt(gestaltSystemVersion, nullptr), paramErr);
}

} // namespace

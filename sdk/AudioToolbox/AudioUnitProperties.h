// AudioUnitProperties: scopes, property IDs and the records exchanged through properties (parameter
// descriptions, connections, callbacks, presets, view class), with the published numbers and layouts.
#pragma once

#include <AudioToolbox/AUComponent.h>
#include <CoreMIDI/CoreMIDI.h>

// ---- Scopes ----
enum : UInt32
{
  kAudioUnitScope_Global = 0,
  kAudioUnitScope_Input = 1,
  kAudioUnitScope_Output = 2,
  kAudioUnitScope_Group = 3,
  kAudioUnitScope_Part = 4,
  kAudioUnitScope_Note = 5,
  kAudioUnitScope_Layer = 6,
  kAudioUnitScope_LayerItem = 7
};

// ---- Property IDs ----
enum : UInt32
{
  kAudioUnitProperty_ClassInfo = 0,
  kAudioUnitProperty_MakeConnection = 1,
  kAudioUnitProperty_SampleRate = 2,
  kAudioUnitProperty_ParameterList = 3,
  kAudioUnitProperty_ParameterInfo = 4,
  kAudioUnitProperty_FastDispatch = 5,
  kAudioUnitProperty_CPULoad = 6,
  kAudioUnitProperty_StreamFormat = 8,
  kAudioUnitProperty_ElementCount = 11,
  kAudioUnitProperty_Latency = 12,
  kAudioUnitProperty_SupportedNumChannels = 13,
  kAudioUnitProperty_MaximumFramesPerSlice = 14,
  kAudioUnitProperty_ParameterValueStrings = 16,
  kAudioUnitProperty_AudioChannelLayout = 19,
  kAudioUnitProperty_TailTime = 20,
  kAudioUnitProperty_BypassEffect = 21,
  kAudioUnitProperty_LastRenderError = 22,
  kAudioUnitProperty_SetRenderCallback = 23,
  kAudioUnitProperty_FactoryPresets = 24,
  kAudioUnitProperty_ContextName = 25,
  kAudioUnitProperty_RenderQuality = 26,
  kAudioUnitProperty_HostCallbacks = 27,
  kAudioUnitProperty_CurrentPreset = 28,
  kAudioUnitProperty_InPlaceProcessing = 29,
  kAudioUnitProperty_ElementName = 30,
  kAudioUnitProperty_CocoaUI = 31,
  kAudioUnitProperty_SupportedChannelLayoutTags = 32,
  kAudioUnitProperty_ParameterStringFromValue = 33,
  kAudioUnitProperty_ParameterValueName = kAudioUnitProperty_ParameterStringFromValue,
  kAudioUnitProperty_ParameterIDName = 34,
  kAudioUnitProperty_ParameterClumpName = 35,
  kAudioUnitProperty_PresentPreset = 36,
  kAudioUnitProperty_OfflineRender = 37,
  kAudioUnitProperty_ParameterValueFromString = 38,
  kAudioUnitProperty_IconLocation = 39,
  kAudioUnitProperty_PresentationLatency = 40,
  kAudioUnitProperty_DependentParameters = 45,
  kAudioUnitProperty_AUHostIdentifier = 46,
  kAudioUnitProperty_MIDIOutputCallbackInfo = 47,
  kAudioUnitProperty_MIDIOutputCallback = 48,
  kAudioUnitProperty_InputSamplesInOutput = 49,
  kAudioUnitProperty_ClassInfoFromDocument = 50,
  kAudioUnitProperty_ShouldAllocateBuffer = 51,
  kAudioUnitProperty_FrequencyResponse = 52,
  kAudioUnitProperty_ParameterHistoryInfo = 53,
  kAudioUnitProperty_NickName = 54
};

// Music devices.
enum : UInt32
{
  kMusicDeviceProperty_InstrumentCount = 1000
};

// ---- Connections and callbacks ----
// kAudioUnitProperty_MakeConnection (16 bytes).
struct AudioUnitConnection
{
  AudioUnit sourceAudioUnit;
  UInt32 sourceOutputNumber;
  UInt32 destInputNumber;
};
typedef struct AudioUnitConnection AudioUnitConnection;

// kAudioUnitProperty_SetRenderCallback (16 bytes); also the render-notification pair.
struct AURenderCallbackStruct
{
  AURenderCallback inputProc;
  void* inputProcRefCon;
};
typedef struct AURenderCallbackStruct AURenderCallbackStruct;

// kAudioUnitProperty_SupportedNumChannels entry (4 bytes); -1 means any count.
struct AUChannelInfo
{
  SInt16 inChannels;
  SInt16 outChannels;
};
typedef struct AUChannelInfo AUChannelInfo;

// kAudioUnitProperty_HostCallbacks (40 bytes). Outputs a host does not know may be passed null.
typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData, UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator, UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);
typedef OSStatus (*HostCallback_GetTransportState2)(void* inHostUserData, Boolean* outIsPlaying,
                                                    Boolean* outIsRecording, Boolean* outTransportStateChanged,
                                                    Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                    Float64* outCycleStartBeat, Float64* outCycleEndBeat);
struct HostCallbackInfo
{
  void* hostUserData;
  HostCallback_GetBeatAndTempo beatAndTempoProc;
  HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
  HostCallback_GetTransportState transportStateProc;
  HostCallback_GetTransportState2 transportStateProc2;
};
typedef struct HostCallbackInfo HostCallbackInfo;

// kAudioUnitProperty_MIDIOutputCallback (16 bytes).
typedef OSStatus (*AUMIDIOutputCallback)(void* userData, const AudioTimeStamp* timeStamp, UInt32 midiOutNum,
                                         const struct MIDIPacketList* pktlist);
struct AUMIDIOutputCallbackStruct
{
  AUMIDIOutputCallback midiOutputCallback;
  void* userData;
};
typedef struct AUMIDIOutputCallbackStruct AUMIDIOutputCallbackStruct;

// kAudioUnitProperty_AUHostIdentifier (16 bytes). hostVersion holds a NumVersion as a 32-bit word:
// major revision in bits 24-31, minor (high nibble) and bug-fix (low nibble) revision in bits 16-23,
// stage in bits 8-15, non-release revision in bits 0-7.
struct AUHostVersionIdentifier
{
  CFStringRef hostName;
  UInt32 hostVersion;
};
typedef struct AUHostVersionIdentifier AUHostVersionIdentifier;
typedef struct AUHostVersionIdentifier AUHostIdentifier;

// ---- Presets and view ----
// kAudioUnitProperty_PresentPreset / CurrentPreset and FactoryPresets entries (16 bytes).
struct AUPreset
{
  SInt32 presetNumber;
  CFStringRef presetName;
};
typedef struct AUPreset AUPreset;

// kAudioUnitProperty_CocoaUI (16 bytes for one class): the bundle holding the view factory class and the
// class name; both are the host's to release.
struct AudioUnitCocoaViewInfo
{
  CFURLRef mCocoaAUViewBundleLocation;
  CFStringRef mCocoaAUViewClass[1];
};
typedef struct AudioUnitCocoaViewInfo AudioUnitCocoaViewInfo;

// ---- Parameter descriptions ----
typedef UInt32 AudioUnitParameterUnit;
enum : UInt32
{
  kAudioUnitParameterUnit_Generic = 0,
  kAudioUnitParameterUnit_Indexed = 1,
  kAudioUnitParameterUnit_Boolean = 2,
  kAudioUnitParameterUnit_Percent = 3,
  kAudioUnitParameterUnit_Seconds = 4,
  kAudioUnitParameterUnit_SampleFrames = 5,
  kAudioUnitParameterUnit_Phase = 6,
  kAudioUnitParameterUnit_Rate = 7,
  kAudioUnitParameterUnit_Hertz = 8,
  kAudioUnitParameterUnit_Cents = 9,
  kAudioUnitParameterUnit_RelativeSemiTones = 10,
  kAudioUnitParameterUnit_MIDINoteNumber = 11,
  kAudioUnitParameterUnit_MIDIController = 12,
  kAudioUnitParameterUnit_Decibels = 13,
  kAudioUnitParameterUnit_LinearGain = 14,
  kAudioUnitParameterUnit_Degrees = 15,
  kAudioUnitParameterUnit_EqualPowerCrossfade = 16,
  kAudioUnitParameterUnit_MixerFaderCurve1 = 17,
  kAudioUnitParameterUnit_Pan = 18,
  kAudioUnitParameterUnit_Meters = 19,
  kAudioUnitParameterUnit_AbsoluteCents = 20,
  kAudioUnitParameterUnit_Octaves = 21,
  kAudioUnitParameterUnit_BPM = 22,
  kAudioUnitParameterUnit_Beats = 23,
  kAudioUnitParameterUnit_Milliseconds = 24,
  kAudioUnitParameterUnit_Ratio = 25,
  kAudioUnitParameterUnit_CustomUnit = 26
};

typedef UInt32 AudioUnitParameterOptions;
enum : UInt32
{
  kAudioUnitParameterFlag_CFNameRelease = (1U << 4),
  kAudioUnitParameterFlag_OmitFromPresets = (1U << 13),
  kAudioUnitParameterFlag_PlotHistory = (1U << 14),
  kAudioUnitParameterFlag_MeterReadOnly = (1U << 15),
  kAudioUnitParameterFlag_DisplayMask = (7U << 16) | (1U << 22),
  kAudioUnitParameterFlag_DisplaySquareRoot = (1U << 16),
  kAudioUnitParameterFlag_DisplaySquared = (2U << 16),
  kAudioUnitParameterFlag_DisplayCubed = (3U << 16),
  kAudioUnitParameterFlag_DisplayCubeRoot = (4U << 16),
  kAudioUnitParameterFlag_DisplayExponential = (5U << 16),
  kAudioUnitParameterFlag_HasClump = (1U << 20),
  kAudioUnitParameterFlag_ValuesHaveStrings = (1U << 21),
  kAudioUnitParameterFlag_DisplayLogarithmic = (1U << 22),
  kAudioUnitParameterFlag_IsHighResolution = (1U << 23),
  kAudioUnitParameterFlag_NonRealTime = (1U << 24),
  kAudioUnitParameterFlag_CanRamp = (1U << 25),
  kAudioUnitParameterFlag_ExpertMode = (1U << 26),
  kAudioUnitParameterFlag_HasCFNameString = (1U << 27),
  kAudioUnitParameterFlag_IsGlobalMeta = (1U << 28),
  kAudioUnitParameterFlag_IsElementMeta = (1U << 29),
  kAudioUnitParameterFlag_IsReadable = (1U << 30),
  kAudioUnitParameterFlag_IsWritable = (1U << 31)
};

enum : UInt32
{
  kAudioUnitClumpID_System = 0
};

// kAudioUnitProperty_ParameterInfo (104 bytes). `name` is a terminated C string; with HasCFNameString the
// host uses cfNameString instead (and releases it when CFNameRelease is set). unitName is used with
// kAudioUnitParameterUnit_CustomUnit.
struct AudioUnitParameterInfo
{
  char name[52];
  CFStringRef unitName;
  UInt32 clumpID;
  CFStringRef cfNameString;
  AudioUnitParameterUnit unit;
  AudioUnitParameterValue minValue;
  AudioUnitParameterValue maxValue;
  AudioUnitParameterValue defaultValue;
  AudioUnitParameterOptions flags;
};
typedef struct AudioUnitParameterInfo AudioUnitParameterInfo;

// kAudioUnitProperty_ParameterIDName and ParameterClumpName (16 bytes): inID names the parameter (or the
// clump); inDesiredLength is a character count or kAudioUnitParameterName_Full.
enum
{
  kAudioUnitParameterName_Full = -1
};
struct AudioUnitParameterNameInfo
{
  AudioUnitElement inID;
  SInt32 inDesiredLength;
  CFStringRef outName;
};
typedef struct AudioUnitParameterNameInfo AudioUnitParameterNameInfo;
typedef struct AudioUnitParameterNameInfo AudioUnitParameterIDName;

// kAudioUnitProperty_ParameterStringFromValue (24 bytes): inValue points at a real (not normalised) value.
struct AudioUnitParameterStringFromValue
{
  AudioUnitParameterID inParamID;
  const AudioUnitParameterValue* inValue;
  CFStringRef outString;
};
typedef struct AudioUnitParameterStringFromValue AudioUnitParameterStringFromValue;
typedef struct AudioUnitParameterStringFromValue AudioUnitParameterValueName;

// kAudioUnitProperty_ParameterValueFromString (24 bytes).
struct AudioUnitParameterValueFromString
{
  AudioUnitParameterID inParamID;
  CFStringRef inString;
  AudioUnitParameterValue outValue;
};
typedef struct AudioUnitParameterValueFromString AudioUnitParameterValueFromString;

#ifdef __cplusplus
#include <stddef.h>
static_assert(sizeof(AudioUnitConnection) == 16, "AudioUnitConnection layout");
static_assert(sizeof(AURenderCallbackStruct) == 16, "AURenderCallbackStruct layout");
static_assert(sizeof(AUChannelInfo) == 4, "AUChannelInfo layout");
static_assert(sizeof(HostCallbackInfo) == 40, "HostCallbackInfo layout");
static_assert(sizeof(AUMIDIOutputCallbackStruct) == 16, "AUMIDIOutputCallbackStruct layout");
static_assert(sizeof(AUHostVersionIdentifier) == 16, "AUHostVersionIdentifier layout");
static_assert(sizeof(AUPreset) == 16, "AUPreset layout");
static_assert(sizeof(AudioUnitCocoaViewInfo) == 16, "AudioUnitCocoaViewInfo layout");
static_assert(sizeof(AudioUnitParameterInfo) == 104, "AudioUnitParameterInfo layout");
static_assert(offsetof(AudioUnitParameterInfo, unitName) == 56, "AudioUnitParameterInfo layout");
static_assert(offsetof(AudioUnitParameterInfo, cfNameString) == 72, "AudioUnitParameterInfo layout");
static_assert(offsetof(AudioUnitParameterInfo, flags) == 96, "AudioUnitParameterInfo layout");
static_assert(sizeof(AudioUnitParameterNameInfo) == 16, "AudioUnitParameterNameInfo layout");
static_assert(sizeof(AudioUnitParameterStringFromValue) == 24, "AudioUnitParameterStringFromValue layout");
static_assert(sizeof(AudioUnitParameterValueFromString) == 24, "AudioUnitParameterValueFromString layout");
#endif

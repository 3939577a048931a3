// The Audio Unit adapter driven as a host drives it: through the exported factory (or the Component Manager
// entry) and the stand-in platform's AudioUnit* calls.

#include "support/TestPlug.h"

#include <gtest/gtest.h>

#include <CoreFoundation/CFTesting.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <limits>
#include <string>
#include <thread>
#include <vector>

using namespace plugin;
using aztest::TestPlug;
using aztest::Unit;

namespace
{

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;
constexpr AudioUnitScope kIn = kAudioUnitScope_Input;
constexpr AudioUnitScope kOut = kAudioUnitScope_Output;

template <class T>
OSStatus Set(AudioUnit au, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement el, const T& value)
{
  return AudioUnitSetProperty(au, id, scope, el, &value, sizeof(T));
}

template <class T>
OSStatus Get(AudioUnit au, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement el, T& value)
{
  UInt32 size = sizeof(T);
  return AudioUnitGetProperty(au, id, scope, el, &value, &size);
}

struct TwoBufferList
{
  UInt32 mNumberBuffers = 2;
  AudioBuffer mBuffers[2];
  AudioBufferList* Get() { return reinterpret_cast<AudioBufferList*>(this); }
};

AudioTimeStamp Stamp(double sampleTime)
{
  AudioTimeStamp ts = {};
  ts.mSampleTime = sampleTime;
  ts.mFlags = kAudioTimeStampSampleTimeValid;
  return ts;
}

// Input callback: fills every buffer it is given with 0.25, or leaves buffer 1 without data when asked.
bool gDropSecondInput = false;
OSStatus FillInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                   AudioBufferList* list)
{
  for (UInt32 k = 0; k < list->mNumberBuffers; ++k)
  {
    if (gDropSecondInput && k == 1)
    {
      list->mBuffers[k].mData = nullptr;
      continue;
    }
    auto* data = static_cast<float*>(list->mBuffers[k].mData);
    for (UInt32 i = 0; i < frames; ++i) data[i] = 0.25f;
  }
  return noErr;
}

void ConnectInputCallback(AudioUnit au)
{
  AURenderCallbackStruct cb = {&FillInput, nullptr};
  ASSERT_EQ(Set(au, kAudioUnitProperty_SetRenderCallback, kIn, 0, cb), noErr);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------------------------------------------

TEST(AUEntry, LookupAnswersExactlyThePublishedSelectors)
{
  for (SInt16 sel : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18})
    EXPECT_NE(IPluginAU::Lookup(sel), nullptr) << sel;
  for (SInt16 sel : {0, 8, 12, 13, 19, 0x101, 0x102, -1})
    EXPECT_EQ(IPluginAU::Lookup(sel), nullptr) << sel;
}

TEST(AUEntry, FactoryRecordSurvivesCloseWithoutOpenAndASecondOpen)
{
  AudioComponentPlugInInterface* rec = AZTest_Factory(nullptr);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->Close(rec), noErr); // never opened: nothing to destroy

  rec = AZTest_Factory(nullptr);
  auto* self = reinterpret_cast<AudioComponentInstance>(rec);
  ASSERT_EQ(rec->Open(rec, self), noErr);
  auto* record = reinterpret_cast<AUInstanceRecord*>(rec);
  IPluginAU* first = record->mPlug;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(static_cast<void*>(first), record->Storage()) << "the object sits right behind the header";
  EXPECT_EQ(first->NPresets(), 2) << "the empty slot is pruned at open";
  EXPECT_EQ(rec->Open(rec, self), noErr);
  EXPECT_EQ(record->mPlug, first) << "a second open keeps the object";
  EXPECT_EQ(rec->Close(rec), noErr);
}

TEST(AUEntry, ComponentManagerPathOpensDispatchesAndCloses)
{
  AudioComponentDescription desc = {kAudioUnitType_Effect, MakeFourCC('Q', 'N', 'C', 'M'), MakeFourCC('Q', 'N', 'V', 'X'), 0, 0};
  AudioComponent comp = ZQAURegisterComponentEntry(&desc, nullptr, 1, &AZTest_Entry);
  AudioUnit au = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(comp, &au), noErr);

  EXPECT_EQ(ZQAUCallComponentInstanceWith(au, kComponentVersionSelect), 0x0002020B);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(au, kComponentCanDoSelect, SInt16{17}), 1);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(au, kComponentCanDoSelect, SInt16{18}), 0);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(au, SInt16{8}), static_cast<OSStatus>(badComponentSelector));
  EXPECT_EQ(ZQAUCallComponentInstanceWith(au, kMusicDeviceMIDIEventSelect, 0x90u, 60u, 100u, 0u),
            static_cast<OSStatus>(badComponentSelector)) << "no MIDI input";

  EXPECT_EQ(AudioUnitSetParameter(au, 0, kGlobal, 0, 6.0f, 0), noErr);
  Float32 value = 0;
  EXPECT_EQ(AudioUnitGetParameter(au, 0, kGlobal, 0, &value), noErr);
  EXPECT_FLOAT_EQ(value, 6.0f);
  EXPECT_EQ(AudioUnitInitialize(au), noErr);
  EXPECT_EQ(AudioComponentInstanceDispose(au), noErr);
}

// ---------------------------------------------------------------------------------------------------------------
// Properties: host arguments are checked
// ---------------------------------------------------------------------------------------------------------------

TEST(AUProperties, SampleRatesAndBlockSizesOutsideTheirRangesChangeNothing)
{
  Unit u;
  ASSERT_NE(u.au, nullptr);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {0.0, -44100.0, nan, inf, 1536000.5})
    EXPECT_EQ(Set(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, bad), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(u.Plug().GetSampleRate(), 44100.0);
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, 1536000.0), noErr);
  EXPECT_EQ(u.Plug().GetSampleRate(), 1536000.0);

  Float32 shortRate = 48000.f; // too few bytes for a Float64
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, shortRate), kAudioUnitErr_InvalidPropertyValue);

  AudioStreamBasicDescription asbd = {};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_StreamFormat, kIn, 0, asbd), noErr);
  asbd.mChannelsPerFrame = 1;
  asbd.mSampleRate = nan;
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kIn, 0, asbd), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(u.Plug().GetBus(kIn, 0)->mNHostChannels, -1) << "a refused rate leaves the bus alone";

  // 0 channels: refused, and a refused format changes nothing, not even the (valid) rate.
  asbd.mSampleRate = 96000.0;
  asbd.mChannelsPerFrame = 0;
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kIn, 0, asbd), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(u.Plug().GetBus(kIn, 0)->mNHostChannels, -1);
  EXPECT_EQ(u.Plug().GetSampleRate(), 1536000.0);
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kIn, 5, asbd), kAudioUnitErr_InvalidProperty);

  for (UInt32 bad : {0u, 65537u})
    EXPECT_EQ(Set(u.au, kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, bad),
              kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(u.Plug().GetBlockSize(), 512);
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, 65536u), noErr);
  EXPECT_EQ(u.Plug().GetBlockSize(), 65536);
}

TEST(AUProperties, ValueQueriesRespectTheCallersBufferSize)
{
  Unit u;
  Float32 small = 0; // SampleRate is a Float64
  UInt32 size = sizeof(small);
  EXPECT_EQ(AudioUnitGetProperty(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, &small, &size),
            kAudioUnitErr_InvalidPropertyValue);

  AudioUnitParameterID ids[3] = {};
  size = sizeof(ids); // four parameters do not fit
  EXPECT_EQ(AudioUnitGetProperty(u.au, kAudioUnitProperty_ParameterList, kGlobal, 0, ids, &size),
            kAudioUnitErr_InvalidPropertyValue);

  // No size pointer: nothing may be written.
  double rate = 0;
  EXPECT_EQ(AudioUnitGetProperty(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, &rate, nullptr),
            kAudioUnitErr_InvalidPropertyValue);

  Boolean writable = true;
  EXPECT_EQ(AudioUnitGetPropertyInfo(u.au, kAudioUnitProperty_ClassInfo, kGlobal, 0, &size, &writable), noErr);
  EXPECT_EQ(size, 8u);
  EXPECT_FALSE(writable);
  EXPECT_EQ(AudioUnitGetPropertyInfo(u.au, kAudioUnitProperty_ElementName, kIn, 0, &size, &writable),
            kAudioUnitErr_InvalidProperty);
}

namespace
{
int gBeatCalls = 0, gMusicalCalls = 0, gTransportCalls = 0;
OSStatus Beat(void*, Float64* beat, Float64* tempo)
{
  ++gBeatCalls;
  *beat = 8.0;
  *tempo = 0.0;
  return noErr;
}
OSStatus Musical(void*, UInt32*, Float32*, UInt32*, Float64*)
{
  ++gMusicalCalls;
  return noErr;
}
OSStatus Transport(void*, Boolean*, Boolean*, Float64*, Boolean*, Float64*, Float64*)
{
  ++gTransportCalls;
  return noErr;
}
} // namespace

TEST(AUProperties, HostCallbacksCopyOnlyTheBytesTheHostPassed)
{
  Unit u;
  ConnectInputCallback(u.au);
  HostCallbackInfo info = {nullptr, &Beat, &Musical, &Transport, nullptr};
  // Only user data and the beat-and-tempo callback are passed.
  ASSERT_EQ(AudioUnitSetProperty(u.au, kAudioUnitProperty_HostCallbacks, kGlobal, 0, &info, 16), noErr);

  std::vector<float> l(64), r(64);
  TwoBufferList out;
  out.mBuffers[0] = {1, 256, l.data()};
  out.mBuffers[1] = {1, 256, r.data()};
  AudioTimeStamp ts = Stamp(0);
  gBeatCalls = gMusicalCalls = gTransportCalls = 0;
  ASSERT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 64, out.Get()), noErr);
  EXPECT_EQ(gBeatCalls, 1);
  EXPECT_EQ(gMusicalCalls + gTransportCalls, 0);
  const ITimeInfo& t = u.Plug().GetTimeInfo();
  EXPECT_EQ(t.mTempo, 120.0) << "a tempo not above 0 reads as 120";
  EXPECT_EQ(t.mPPQPos, 8.0);
  EXPECT_EQ(t.mNumerator, 4);
  EXPECT_EQ(t.mSamplePos, -1.0);
}

TEST(AUProperties, ParameterDescriptions)
{
  Unit u;
  AudioUnitParameterInfo info;
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterInfo, kGlobal, 0, info), noErr);
  EXPECT_EQ(info.flags & 0xFFF00000u, 0xC8800000u | kAudioUnitParameterFlag_HasClump);
  EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Decibels);
  EXPECT_STREQ(info.name, "Gain");
  EXPECT_EQ(info.clumpID, 1u);
  CFRelease(info.cfNameString);

  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterInfo, kGlobal, 2, info), noErr);
  EXPECT_EQ(info.flags & ~kAudioUnitParameterFlag_ValuesHaveStrings, 0xE9800010u) << "meta, not automatable";
  EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Boolean);
  CFRelease(info.cfNameString);

  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterInfo, kGlobal, 3, info), noErr);
  EXPECT_EQ(info.clumpID, 1u) << "same group, same clump";
  CFRelease(info.cfNameString);
  EXPECT_EQ(Get(u.au, kAudioUnitProperty_ParameterInfo, kGlobal, 4, info), kAudioUnitErr_InvalidElement);

  AudioUnitParameterNameInfo clump = {1, kAudioUnitParameterName_Full, nullptr};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterClumpName, kGlobal, 0, clump), noErr);
  EXPECT_STREQ(CFStringGetCStringPtr(clump.outName, kCFStringEncodingUTF8), "Main");
  CFRelease(clump.outName);
  for (UInt32 bad : {0u, 2u})
  {
    clump.inID = bad;
    EXPECT_EQ(Get(u.au, kAudioUnitProperty_ParameterClumpName, kGlobal, 0, clump), kAudioUnitErr_PropertyNotInUse);
  }

  AudioUnitParameterNameInfo name = {0, 2, nullptr};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterIDName, kGlobal, 0, name), noErr);
  EXPECT_STREQ(CFStringGetCStringPtr(name.outName, kCFStringEncodingUTF8), "Ga");
  CFRelease(name.outName);
  name.inID = 99;
  EXPECT_EQ(Get(u.au, kAudioUnitProperty_ParameterIDName, kGlobal, 0, name), kAudioUnitErr_InvalidParameter);
}

TEST(AUProperties, ValueStringsOnlyForIndexedParameters)
{
  Unit u;
  CFArrayRef strings = nullptr;
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterValueStrings, kGlobal, 1, strings), noErr);
  ASSERT_EQ(CFArrayGetCount(strings), 3);
  EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 2)),
                                     kCFStringEncodingUTF8),
               "Gamma");
  CFRelease(strings);

  // A bool flagged ValuesHaveStrings backs the flag with its two texts.
  AudioUnitParameterInfo info = {};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterInfo, kGlobal, 2, info), noErr);
  if (info.cfNameString) CFRelease(info.cfNameString);
  ASSERT_NE(info.flags & kAudioUnitParameterFlag_ValuesHaveStrings, 0u);
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_ParameterValueStrings, kGlobal, 2, strings), noErr);
  ASSERT_EQ(CFArrayGetCount(strings), 2);
  EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 0)),
                                     kCFStringEncodingUTF8),
               "off");
  EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, 1)),
                                     kCFStringEncodingUTF8),
               "on");
  CFRelease(strings);

  // A double without texts has none: refused with nothing to read.
  UInt32 size = 99;
  Boolean writable = false;
  EXPECT_EQ(AudioUnitGetPropertyInfo(u.au, kAudioUnitProperty_ParameterValueStrings, kGlobal, 0, &size, &writable),
            kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(size, 0u);
}

// ---------------------------------------------------------------------------------------------------------------
// Parameters and listeners
// ---------------------------------------------------------------------------------------------------------------

TEST(AUParams, HostSetsAreCheckedSteppedAndForwarded)
{
  Unit u;
  TestPlug& plug = u.Plug();
  EXPECT_EQ(AudioUnitSetParameter(u.au, 4, kGlobal, 0, 1.0f, 0), kAudioUnitErr_InvalidParameter);
  Float32 v = 0;
  EXPECT_EQ(AudioUnitGetParameter(u.au, 99, kGlobal, 0, &v), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(AudioUnitGetParameter(u.au, 0, kOut, 0, &v), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetParameter(u.au, 0, kGlobal, 0, std::numeric_limits<float>::quiet_NaN(), 0),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(AudioUnitSetParameter(u.au, 0, kGlobal, 0, std::numeric_limits<float>::infinity(), 0),
            kAudioUnitErr_InvalidParameterValue);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);
  EXPECT_TRUE(plug.mChanges.empty());

  ParamTuple drained;
  while (plug.GetParamChangeFromProcessor().Pop(drained)) {}
  ASSERT_EQ(AudioUnitSetParameter(u.au, 3, kGlobal, 0, 2.4f, 17), noErr);
  EXPECT_EQ(plug.GetParam(3)->Value(), 2.0);
  ParamTuple sent;
  ASSERT_TRUE(plug.GetParamChangeFromProcessor().Pop(sent));
  EXPECT_EQ(sent.idx, 3);
  EXPECT_FLOAT_EQ(static_cast<float>(sent.value), 2.4f) << "the editor gets the value as the host sent it";
  ASSERT_EQ(plug.mChanges.size(), 1u);
  EXPECT_EQ(plug.mChanges[0].source, kHost);
  EXPECT_EQ(plug.mChanges[0].offset, 17);

  AudioUnitParameterEvent events[3] = {};
  events[0].scope = kGlobal;
  events[0].parameter = 0;
  events[0].eventType = kParameterEvent_Ramped;
  events[0].eventValues.ramp.endValue = 9.0f;
  events[1].scope = kGlobal;
  events[1].parameter = 0;
  events[1].eventType = kParameterEvent_Immediate;
  events[1].eventValues.immediate.value = 3.0f;
  events[2] = events[1];
  events[2].parameter = 42;
  EXPECT_EQ(AudioUnitScheduleParameters(u.au, events, 3), kAudioUnitErr_InvalidParameter);
  EXPECT_EQ(plug.GetParam(0)->Value(), 3.0) << "the ramp is skipped, the immediate event before the bad one stays";
  EXPECT_EQ(AudioUnitScheduleParameters(u.au, nullptr, 1), kAudio_ParamError);
}

namespace
{
struct ListenerLog
{
  std::vector<std::pair<AudioUnitPropertyID, void*>> calls;
};
ListenerLog gListenerLog;
void Listener(void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  gListenerLog.calls.push_back({id, userData});
}
} // namespace

TEST(AUParams, ListenerRegistrationAndNotification)
{
  Unit u;
  int a = 0, b = 0;
  gListenerLog.calls.clear();
  ASSERT_EQ(AudioUnitAddPropertyListener(u.au, kAudioUnitProperty_Latency, &Listener, &a), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(u.au, kAudioUnitProperty_Latency, &Listener, &b), noErr);
  EXPECT_EQ(u.Plug().NPropertyListeners(), 1) << "same property and function: the first registration stays";
  EXPECT_EQ(AudioUnitAddPropertyListener(u.au, kAudioUnitProperty_Latency, nullptr, &a), kAudio_ParamError);

  u.Plug().SetLatency(64); // main thread: told at once
  ASSERT_EQ(gListenerLog.calls.size(), 1u);
  EXPECT_EQ(gListenerLog.calls[0].second, &a);

  // From another thread the notification waits for the main thread's idle tick.
  std::thread([&] { u.Plug().SetLatency(128); }).join();
  EXPECT_EQ(gListenerLog.calls.size(), 1u);
  u.Plug().OnApiIdle();
  EXPECT_EQ(gListenerLog.calls.size(), 2u);
  u.Plug().OnApiIdle();
  EXPECT_EQ(gListenerLog.calls.size(), 2u) << "delivered once";
  Float64 latency = 0;
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_Latency, kGlobal, 0, latency), noErr);
  EXPECT_DOUBLE_EQ(latency, 128.0 / 44100.0);

  // Writes notify first, accepted or not.
  gListenerLog.calls.clear();
  ASSERT_EQ(AudioUnitAddPropertyListener(u.au, kAudioUnitProperty_SampleRate, &Listener, &b), noErr);
  EXPECT_NE(Set(u.au, kAudioUnitProperty_SampleRate, kGlobal, 0, -1.0), noErr);
  EXPECT_EQ(gListenerLog.calls.size(), 1u);
  EXPECT_EQ(AudioUnitRemovePropertyListener(u.au, kAudioUnitProperty_SampleRate, &Listener), noErr);
  EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(u.au, kAudioUnitProperty_Latency, &Listener, &b), noErr);
  EXPECT_EQ(u.Plug().NPropertyListeners(), 1) << "user data did not match";
}

// ---------------------------------------------------------------------------------------------------------------
// Render
// ---------------------------------------------------------------------------------------------------------------

namespace
{
std::vector<AudioUnitRenderActionFlags> gNotifyFlags;
OSStatus Notify(void*, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
  gNotifyFlags.push_back(*flags);
  return noErr;
}
} // namespace

TEST(AURender, ProcessesPulledInputIntoHostAndScratchBuffers)
{
  Unit u;
  ConnectInputCallback(u.au);
  gNotifyFlags.clear();
  ASSERT_EQ(AudioUnitAddRenderNotify(u.au, &Notify, nullptr), noErr);
  ASSERT_EQ(AudioUnitAddRenderNotify(u.au, &Notify, nullptr), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(u.au, &Notify, nullptr), noErr);
  EXPECT_EQ(u.Plug().GetRenderNotifyList().Count(), 1);

  std::vector<float> l(512, 9.f);
  TwoBufferList out;
  out.mBuffers[0] = {1, 512 * 4, l.data()};
  out.mBuffers[1] = {1, 512 * 4, nullptr}; // "give me your buffer"
  AudioTimeStamp ts = Stamp(0);
  ASSERT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 512, out.Get()), noErr);
  EXPECT_FLOAT_EQ(l[0], 0.5f);
  EXPECT_FLOAT_EQ(l[511], 0.5f);
  ASSERT_NE(out.mBuffers[1].mData, nullptr);
  EXPECT_FLOAT_EQ(static_cast<float*>(out.mBuffers[1].mData)[100], 0.5f);
  EXPECT_EQ(gNotifyFlags, (std::vector<AudioUnitRenderActionFlags>{kAudioUnitRenderAction_PreRender,
                                                                    kAudioUnitRenderAction_PostRender}));

  // An upstream buffer left without data reads as silence.
  gDropSecondInput = true;
  out.mBuffers[1] = {1, 512 * 4, nullptr};
  ts = Stamp(512);
  ASSERT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 512, out.Get()), noErr);
  gDropSecondInput = false;
  EXPECT_FLOAT_EQ(l[10], 0.5f);
  EXPECT_FLOAT_EQ(static_cast<float*>(out.mBuffers[1].mData)[10], 0.0f);
}

TEST(AURender, RefusesBadArgumentsBeforeTouchingAnything)
{
  Unit u;
  ConnectInputCallback(u.au);
  std::vector<float> l(1024, 9.f), r(1024, 9.f);
  TwoBufferList out;
  out.mBuffers[0] = {1, 513 * 4, l.data()};
  out.mBuffers[1] = {1, 513 * 4, r.data()};
  AudioTimeStamp ts = Stamp(0);
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 513, out.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, &ts, 1, 64, out.Get()), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, nullptr, 0, 64, out.Get()), kAudio_ParamError);
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 64, nullptr), kAudio_ParamError);
  AudioTimeStamp noSampleTime = ts;
  noSampleTime.mFlags = kAudioTimeStampHostTimeValid;
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, &noSampleTime, 0, 64, out.Get()), kAudioUnitErr_InvalidPropertyValue);
  out.mBuffers[1].mDataByteSize = 63 * 4; // one frame short
  EXPECT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 64, out.Get()), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(u.Plug().mProcessCalls, 0);
  EXPECT_EQ(l[0], 9.f);
  EXPECT_EQ(r[0], 9.f);
}

TEST(AURender, FewerHostBuffersNeverWriteThroughAnOldPointer)
{
  Unit u;
  ConnectInputCallback(u.au);
  AudioStreamBasicDescription asbd = {};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_StreamFormat, kOut, 0, asbd), noErr);
  asbd.mChannelsPerFrame = 1;
  ASSERT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kOut, 0, asbd), noErr);

  std::vector<float> a(64), b(64), c(64);
  TwoBufferList out;
  out.mBuffers[0] = {1, 256, a.data()};
  out.mBuffers[1] = {1, 256, b.data()};
  AudioTimeStamp ts = Stamp(0);
  ASSERT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 64, out.Get()), noErr);
  EXPECT_FLOAT_EQ(b[0], 0.5f);

  std::fill(b.begin(), b.end(), 7.f);
  out.mNumberBuffers = 1;
  out.mBuffers[0] = {1, 256, c.data()};
  ts = Stamp(64);
  ASSERT_EQ(AudioUnitRender(u.au, nullptr, &ts, 0, 64, out.Get()), noErr);
  EXPECT_FLOAT_EQ(c[0], 0.5f);
  EXPECT_EQ(b[0], 7.f) << "the buffer of the previous render was written again";
}

TEST(AULifecycle, InitializeRefusesAnIllegalChannelConfiguration)
{
  Unit u;
  AudioStreamBasicDescription asbd = {};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_StreamFormat, kIn, 0, asbd), noErr);
  asbd.mChannelsPerFrame = 1;
  ASSERT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kIn, 0, asbd), noErr);
  asbd.mChannelsPerFrame = 2;
  ASSERT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kOut, 0, asbd), noErr); // "any input" while uninitialised
  EXPECT_EQ(AudioUnitInitialize(u.au), static_cast<OSStatus>(badComponentSelector));
  EXPECT_FALSE(u.Plug().IsInitialized());
  asbd.mChannelsPerFrame = 1;
  ASSERT_EQ(Set(u.au, kAudioUnitProperty_StreamFormat, kOut, 0, asbd), noErr);
  EXPECT_EQ(AudioUnitInitialize(u.au), noErr);
}

TEST(AULifecycle, InitializeIdentifiesTheHostFromItsMainBundleOnce)
{
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("aztest-host-" + std::to_string(::getpid()));
  auto writePlist = [&](const fs::path& app, const char* version) {
    fs::create_directories(app / "Contents");
    std::FILE* f = std::fopen((app / "Contents" / "Info.plist").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fprintf(f, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                    "<key>CFBundleIdentifier</key><string>com.apple.logic10</string>%s</dict></plist>",
                 version);
    std::fclose(f);
  };
  const fs::path app = root / "Host.app";
  writePlist(app, "<key>CFBundleVersion</key><string>10.7.3</string>");
  ZQCFSetMainBundlePath(app.c_str());
  {
    Unit u;
    ASSERT_EQ(AudioUnitInitialize(u.au), noErr);
    EXPECT_EQ(u.Plug().GetHost(), 21); // "logic"
    EXPECT_EQ(u.Plug().GetHostVersion(false), 0x000A0703);
    AUHostVersionIdentifier ident = {CFSTR("Reaper"), 0x05000000};
    ASSERT_EQ(Set(u.au, kAudioUnitProperty_AUHostIdentifier, kGlobal, 0, ident), noErr);
    EXPECT_EQ(u.Plug().GetHost(), 21) << "identified once";
  }
  const fs::path noVersion = root / "Other.app";
  writePlist(noVersion, "");
  ZQCFSetMainBundlePath(noVersion.c_str());
  {
    Unit u;
    ASSERT_EQ(AudioUnitInitialize(u.au), noErr);
    EXPECT_EQ(u.Plug().GetHost(), 21);
    EXPECT_EQ(u.Plug().GetHostVersion(false), 0) << "no version key";
  }
  ZQCFSetMainBundlePath(nullptr);
  {
    Unit u;
    AUHostVersionIdentifier ident = {CFSTR("Reaper"), 0x06250000}; // 6.2.5
    ASSERT_EQ(Set(u.au, kAudioUnitProperty_AUHostIdentifier, kGlobal, 0, ident), noErr);
    EXPECT_EQ(u.Plug().GetHost(), 1);
    EXPECT_EQ(u.Plug().GetHostVersion(false), 0x00060205);
  }
  fs::remove_all(root);
}

// ---------------------------------------------------------------------------------------------------------------
// State and presets
// ---------------------------------------------------------------------------------------------------------------

namespace
{
CFMutableDictionaryRef CopyClassInfo(AudioUnit au)
{
  CFPropertyListRef plist = nullptr;
  UInt32 size = sizeof(plist);
  if (AudioUnitGetProperty(au, kAudioUnitProperty_ClassInfo, kGlobal, 0, &plist, &size) != noErr) return nullptr;
  CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(plist));
  CFRelease(plist);
  return copy;
}
} // namespace

TEST(AUState, RoundTripAndCheckedRestore)
{
  Unit u;
  TestPlug& plug = u.Plug();
  ASSERT_EQ(AudioUnitSetParameter(u.au, 0, kGlobal, 0, 4.5f, 0), noErr);
  CFMutableDictionaryRef info = CopyClassInfo(u.au);
  ASSERT_NE(info, nullptr);
  ASSERT_TRUE(CFDictionaryContainsKey(info, CFSTR("data")));
  ASSERT_EQ(AudioUnitSetParameter(u.au, 0, kGlobal, 0, -3.0f, 0), noErr);

  auto setInfo = [&](CFTypeRef value) {
    return AudioUnitSetProperty(u.au, kAudioUnitProperty_ClassInfo, kGlobal, 0, &value, sizeof(value));
  };
  auto expectRefused = [&](CFMutableDictionaryRef dict, const char* why) {
    EXPECT_EQ(setInfo(dict), kAudioUnitErr_InvalidPropertyValue) << why;
    EXPECT_EQ(plug.GetParam(0)->Value(), -3.0) << why;
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 0) << why;
  };

  EXPECT_EQ(setInfo(CFSTR("not a dictionary")), kAudioUnitErr_InvalidPropertyValue);
  {
    CFMutableDictionaryRef d = CFDictionaryCreateMutableCopy(nullptr, 0, info);
    CFDictionarySetValue(d, CFSTR("name"), CFStringCreateWithCString(nullptr, aztest::kLongPresetName.c_str(),
                                                                       kCFStringEncodingUTF8));
    CFRelease(CFDictionaryGetValue(d, CFSTR("name"))); // the dictionary holds it
    CFDictionaryRemoveValue(d, CFSTR("data"));
    expectRefused(d, "no data: even the named preset is not recalled");
    CFRelease(d);
  }
  {
    CFMutableDictionaryRef d = CFDictionaryCreateMutableCopy(nullptr, 0, info);
    CFDictionarySetValue(d, CFSTR("subtype"), CFSTR("QN55"));
    expectRefused(d, "a key of the wrong type");
    SInt32 other = static_cast<SInt32>(MakeFourCC('X', 'X', 'X', 'X'));
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &other);
    CFDictionarySetValue(d, CFSTR("subtype"), n);
    CFRelease(n);
    expectRefused(d, "another plug-in");
    CFRelease(d);
  }
  {
    CFMutableDictionaryRef d = CFDictionaryCreateMutableCopy(nullptr, 0, info);
    CFDataRef empty = CFDataCreate(nullptr, nullptr, 0);
    CFDictionarySetValue(d, CFSTR("data"), empty);
    CFRelease(empty);
    EXPECT_EQ(setInfo(d), kAudioUnitErr_InvalidPropertyValue) << "a chunk the reader refuses";
    CFRelease(d);
  }

  // A name longer than 63 characters still finds its preset; the data then sets the parameters.
  CFStringRef longName = CFStringCreateWithCString(nullptr, aztest::kLongPresetName.c_str(), kCFStringEncodingUTF8);
  CFDictionarySetValue(info, CFSTR("name"), longName);
  CFRelease(longName);
  EXPECT_EQ(setInfo(info), noErr);
  EXPECT_EQ(plug.GetParam(0)->Value(), 4.5);
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
  CFRelease(info);
}

TEST(AUState, FactoryPresetRecords)
{
  Unit u;
  CFArrayRef presets = nullptr;
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_FactoryPresets, kGlobal, 0, presets), noErr);
  ASSERT_EQ(CFArrayGetCount(presets), 2);
  const auto* second = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, 1));
  EXPECT_EQ(second->presetNumber, 1);
  CFRelease(presets);

  CFStringRef name = CFStringCreateWithCString(nullptr, "abc", kCFStringEncodingUTF8);
  CFAUPresetRef rec = CFAUPresetCreate(nullptr, 3, name);
  CFRelease(name);
  CFStringRef desc = CFAUPresetCopyDescription(rec);
  EXPECT_STREQ(CFStringGetCStringPtr(desc, kCFStringEncodingUTF8), "AUPreset:\npreset number = 3\npreset name = abc");
  CFRelease(desc);
  CFAUPresetRelease(nullptr, rec);

  AUPreset choose = {1, nullptr};
  EXPECT_EQ(Set(u.au, kAudioUnitProperty_PresentPreset, kGlobal, 0, choose), noErr);
  AUPreset present = {};
  ASSERT_EQ(Get(u.au, kAudioUnitProperty_PresentPreset, kGlobal, 0, present), noErr);
  EXPECT_EQ(present.presetNumber, 1);
  CFRelease(present.presetName);
}

// ---------------------------------------------------------------------------------------------------------------
// MIDI output
// ---------------------------------------------------------------------------------------------------------------

namespace
{
std::vector<std::vector<UInt16>> gPacketLengths;
OSStatus MidiOut(void*, const AudioTimeStamp*, UInt32, const MIDIPacketList* list)
{
  std::vector<UInt16> lengths;
  const MIDIPacket* p = &list->packet[0];
  for (UInt32 i = 0; i < list->numPackets; ++i, p = MIDIPacketNext(p)) lengths.push_back(p->length);
  gPacketLengths.push_back(lengths);
  return noErr;
}
} // namespace

TEST(AUMidi, SysExGoesOutInPiecesOf256)
{
  Unit u;
  std::vector<uint8_t> sysex(300, 0x11);
  sysex[0] = 0xF0;
  EXPECT_FALSE(u.Plug().SendSysEx(ISysEx(0, sysex.data(), 300))) << "no MIDI output callback yet";

  AUMIDIOutputCallbackStruct cb = {&MidiOut, nullptr};
  ASSERT_EQ(Set(u.au, kAudioUnitProperty_MIDIOutputCallback, kGlobal, 0, cb), noErr);
  gPacketLengths.clear();
  EXPECT_TRUE(u.Plug().SendSysEx(ISysEx(5, sysex.data(), 300)));
  EXPECT_EQ(gPacketLengths, (std::vector<std::vector<UInt16>>{{256, 44}}));

  // Far more than one packet list holds: several lists, nothing lost.
  std::vector<uint8_t> big(20000, 0x22);
  big[0] = 0xF0;
  gPacketLengths.clear();
  EXPECT_TRUE(u.Plug().SendSysEx(ISysEx(0, big.data(), static_cast<int>(big.size()))));
  size_t total = 0;
  for (const auto& list : gPacketLengths)
    for (UInt16 len : list) total += len;
  EXPECT_GT(gPacketLengths.size(), 1u);
  EXPECT_EQ(total, big.size());
}

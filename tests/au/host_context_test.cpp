// What a host learns and gives beyond parameters and audio: the size, writability and refusals of the remaining
// properties (published IDs, scopes and statuses), the display curve of each parameter shape (published flag bits),
// the musical time the host's callbacks report, and an upstream unit that offers its render function for direct
// calls (FastDispatch) or cannot give its format.

#include "au/PluginAU_Entry.h"
#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreServices/CoreServices.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

// ---- A plug-in of this test with one parameter per display curve ----

// Exponential display, which none of the framework's shapes asks for: n squared both ways round.
class ExpShape : public plugin::IParam::Shape
{
public:
  std::unique_ptr<Shape> Clone() const override { return std::make_unique<ExpShape>(*this); }
  plugin::IParam::EDisplayType GetDisplayType() const override { return plugin::IParam::kDisplayExp; }
  double NormalizedToValue(double n, const plugin::IParam& p) const override
  {
    return p.GetMin() + n * n * (p.GetMax() - p.GetMin());
  }
  double ValueToNormalized(double v, const plugin::IParam& p) const override
  {
    return std::sqrt((v - p.GetMin()) / (p.GetMax() - p.GetMin()));
  }
};

class ShapesPlug final : public plugin::PluginAU
{
public:
  static constexpr plugin::Config kConfig = {
    .nParams = 7, .nPresets = 1, .channelIOStr = "1-1 2-2", .pluginName = "Shapes", .productName = "Shapes",
    .mfrName = "Zaniq Tests", .vendorVersion = plugin::PackVersion(1, 0, 0),
    .uniqueID = plugin::MakeFourCC('T', 'S', 'h', 'p'), .mfrID = plugin::MakeFourCC('Z', 'q', 'T', 's'),
    .plugType = plugin::kEffect, .bundleID = "com.zaniq.tests.Shapes"};
  explicit ShapesPlug(const plugin::InstanceInfo& info) : PluginAU(info, kConfig)
  {
    using plugin::IParam;
    GetParam(0)->InitDouble("Linear", 0.0, 0.0, 1.0, 0.0);
    GetParam(1)->InitFrequency("Log", 100.0, 20.0, 20000.0, 0.0);
    GetParam(2)->InitDouble("Exp", 0.0, 0.0, 1.0, 0.0, "", 0, "", ExpShape());
    GetParam(3)->InitDouble("Squared", 0.0, 0.0, 1.0, 0.0, "", 0, "", IParam::ShapePowCurve(0.5));
    GetParam(4)->InitDouble("Root", 0.0, 0.0, 1.0, 0.0, "", 0, "", IParam::ShapePowCurve(2.0));
    GetParam(5)->InitDouble("Cubed", 0.0, 0.0, 1.0, 0.0, "", 0, "", IParam::ShapePowCurve(0.3));
    GetParam(6)->InitDouble("Cube root", 0.0, 0.0, 1.0, 0.0, "", 0, "", IParam::ShapePowCurve(3.0));
  }
};

struct ShapesTraits
{
  using Plug = ShapesPlug;
  static constexpr const char* kViewClassName = "ZANIQ_View";
};

// ---- An upstream unit written as a host's own unit might be: it answers its output format and, unless told
// otherwise, hands out its render function for direct calls with its instance storage ----

struct Upstream
{
  static constexpr float kLevel = 0.375f;
  static inline bool refuseFormat = false;
  static inline int fastCalls = 0, slowCalls = 0;
  static inline float buffers[2][64] = {};

  static OSStatus Fill(AudioBufferList* list, UInt32 frames)
  {
    if (frames > 64) return kAudio_ParamError;
    for (UInt32 k = 0; k < list->mNumberBuffers && k < 2; ++k)
    {
      if (!list->mBuffers[k].mData) list->mBuffers[k].mData = buffers[k];
      std::fill_n(static_cast<float*>(list->mBuffers[k].mData), frames, kLevel);
    }
    return noErr;
  }
  static OSStatus FastRender(void* storage, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                             AudioBufferList* list)
  {
    if (storage != &record) return kAudio_ParamError; // the storage this unit set at open
    ++fastCalls;
    return Fill(list, frames);
  }
  static OSStatus Render(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* list)
  {
    ++slowCalls;
    return Fill(list, frames);
  }
  static OSStatus GetProperty(void*, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              void* data, UInt32* size)
  {
    if (id == kAudioUnitProperty_StreamFormat && scope == kAudioUnitScope_Output && !refuseFormat)
    {
      const AudioStreamBasicDescription asbd = {48000.0, kAudioFormatLinearPCM, 0x29, 4, 1, 4, 2, 32, 0};
      *static_cast<AudioStreamBasicDescription*>(data) = asbd;
      *size = sizeof(asbd);
      return noErr;
    }
    if (id == kAudioUnitProperty_FastDispatch && element == kAudioUnitRenderSelect)
    {
      *static_cast<AudioUnitRenderProc*>(data) = &FastRender;
      *size = sizeof(AudioUnitRenderProc);
      return noErr;
    }
    return kAudioUnitErr_InvalidProperty;
  }
  static AudioComponentMethod Lookup(SInt16 selector)
  {
    if (selector == kAudioUnitGetPropertySelect) return reinterpret_cast<AudioComponentMethod>(&GetProperty);
    if (selector == kAudioUnitRenderSelect) return reinterpret_cast<AudioComponentMethod>(&Render);
    return nullptr;
  }
  static inline AudioComponentPlugInInterface record = {
    [](void* self, AudioComponentInstance instance) -> OSStatus {
      SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(self));
      return noErr;
    },
    [](void*) -> OSStatus { return noErr; }, &Lookup, nullptr};
};

template <class Factory>
AudioComponent Register(const char (&subtype)[5], Factory factory)
{
  AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC(subtype), kManufacturer, 0, 0};
  if (AudioComponent found = AudioComponentFindNext(nullptr, &desc)) return found;
  return AudioComponentRegister(&desc, CFSTR("Zaniq Tests: in-process"), 0x00010000, factory);
}

using HostContext = BundleHost;

class HostContextSynth : public BundleHost
{
protected:
  HostContextSynth() : BundleHost(SynthBundlePath()) {}
};

struct Info
{
  OSStatus status;
  UInt32 size;
  bool writable;
  bool operator==(const Info&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Info& i)
{
  return os << "{" << i.status << ", " << i.size << ", " << i.writable << "}";
}
Info InfoOf(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element = 0)
{
  UInt32 size = 0;
  Boolean writable = false;
  const OSStatus status = AudioUnitGetPropertyInfo(unit, id, scope, element, &size, &writable);
  return {status, status == noErr ? size : 0, status == noErr && writable};
}

} // namespace

TEST_F(HostContext, PropertySizesWritabilityAndRefusals)
{
  constexpr AudioUnitScope G = kAudioUnitScope_Global, I = kAudioUnitScope_Input, O = kAudioUnitScope_Output;
  constexpr OSStatus kBadProperty = kAudioUnitErr_InvalidProperty, kBadValue = kAudioUnitErr_InvalidPropertyValue;
  const struct
  {
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    Info info;
  } cases[] = {
    {kAudioUnitProperty_MakeConnection, I, 0, {noErr, 16, true}},
    {kAudioUnitProperty_MakeConnection, O, 0, {kBadProperty, 0, false}},
    {kAudioUnitProperty_ParameterInfo, G, kMute, {noErr, 104, false}},
    {kAudioUnitProperty_ParameterInfo, G, 4, {kAudioUnitErr_InvalidElement, 0, false}},
    {kAudioUnitProperty_ElementCount, G, 0, {noErr, 4, false}},
    {kAudioUnitProperty_AudioChannelLayout, O, 0, {kBadValue, 0, false}},
    {kAudioUnitProperty_BypassEffect, G, 0, {noErr, 4, true}},
    {kAudioUnitProperty_BypassEffect, I, 0, {kBadProperty, 0, false}},
    {kAudioUnitProperty_LastRenderError, G, 0, {noErr, 4, false}},
    {kAudioUnitProperty_LastRenderError, O, 0, {kBadProperty, 0, false}},
    {kAudioUnitProperty_SetRenderCallback, I, 0, {noErr, 16, true}},
    {kAudioUnitProperty_SetRenderCallback, I, 1, {kBadProperty, 0, false}},
    {kAudioUnitProperty_SetRenderCallback, O, 0, {kBadProperty, 0, false}},
    {kAudioUnitProperty_HostCallbacks, G, 0, {noErr, 40, true}},
    {kAudioUnitProperty_HostCallbacks, I, 0, {kBadProperty, 0, false}},
    {kAudioUnitProperty_MIDIOutputCallbackInfo, G, 0, {noErr, 8, false}},
    {kMusicDeviceProperty_InstrumentCount, G, 0, {kBadProperty, 0, false}}, // an effect has no instruments
    {9999, G, 0, {kBadProperty, 0, false}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(InfoOf(Unit(), c.id, c.scope, c.element), c.info) << c.id << " scope " << c.scope << " el " << c.element;

  // Values: one global element; no render error; not bypassed until the host says so.
  UInt32 count = 0, error = 9, bypass = 9;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_ElementCount, G, 0, count));
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_LastRenderError, G, 0, error));
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_BypassEffect, G, 0, bypass));
  ASSERT_OK(mUnit->SetBypass(true));
  UInt32 bypassed = 0;
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_BypassEffect, G, 0, bypassed));
  EXPECT_EQ(std::make_tuple(count, error, bypass, bypassed), std::make_tuple(1u, 0u, 0u, 1u));
}

TEST_F(HostContextSynth, AnInstrumentCountsOneInstrument)
{
  UInt32 count = 0;
  ASSERT_OK(mUnit->GetProperty(kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0, count));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(InfoOf(Unit(), kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Input).status,
            kAudioUnitErr_InvalidProperty);
}

TEST(HostContextShapes, EachShapeShowsItsCurve)
{
  AudioComponent component = Register("TShp", &plugin::AUEntry<ShapesTraits>::Factory);
  ASSERT_NE(component, nullptr);
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(component, unit));
  // The published display bits: square root 1 << 16, squared 2 << 16, cubed 3 << 16, cube root 4 << 16,
  // exponential 5 << 16, logarithmic 1 << 22 (mask 7 << 16 | 1 << 22).
  const UInt32 expected[] = {0, 1u << 22, 5u << 16, 2u << 16, 1u << 16, 3u << 16, 4u << 16};
  for (AudioUnitParameterID id = 0; id < 7; ++id)
  {
    AudioUnitParameterInfo info = {};
    ASSERT_OK(unit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, info));
    EXPECT_EQ(info.flags & ((7u << 16) | (1u << 22)), expected[id]) << id;
    CFRelease(info.cfNameString);
  }
}

TEST_F(HostContext, MusicalTimeFromTheHostsCallbacks)
{
  struct Host
  {
    Float64 sample;
  };
  static Host host;
  HostCallbackInfo info = {
    &host,
    [](void*, Float64* beat, Float64* tempo) -> OSStatus {
      *beat = 16.5;
      *tempo = 96.0;
      return noErr;
    },
    [](void*, UInt32* delta, Float32* numerator, UInt32* denominator, Float64* downBeat) -> OSStatus {
      *delta = 10;
      *numerator = 7.9f; // truncated to 7
      *denominator = 8;
      *downBeat = 14.0;
      return noErr;
    },
    [](void* userData, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling, Float64* start,
       Float64* end) -> OSStatus {
      *playing = true;
      *changed = false;
      *sample = static_cast<Host*>(userData)->sample;
      *cycling = true;
      *start = 8.0;
      *end = 0.0;
      return noErr;
    },
    nullptr};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, info));
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, 64));
  std::vector<float> out(128);
  float* channels[2] = {out.data(), out.data() + 64};
  // The transport reports sample 4800, then 0, which reads as "not told" (-1); a cycle end of 0 likewise.
  using Time = std::tuple<double, double, double, double, int, int, bool, bool, double, double>;
  std::vector<Time> seen;
  for (Float64 sample : {4800.0, 0.0})
  {
    host.sample = sample;
    ASSERT_EQ(mUnit->RenderBlock(sample, 64, channels, 2), noErr);
    const plugin::ITimeInfo& t = Plug().GetTimeInfo();
    seen.emplace_back(t.mTempo, t.mPPQPos, t.mSamplePos, t.mLastBar, t.mNumerator, t.mDenominator,
                      t.mTransportIsRunning, t.mTransportLoopEnabled, t.mCycleStart, t.mCycleEnd);
  }
  EXPECT_EQ(seen, (std::vector<Time>{{96.0, 16.5, 4800.0, 14.0, 7, 8, true, true, 8.0, -1.0},
                                     {96.0, 16.5, -1.0, 14.0, 7, 8, true, true, 8.0, -1.0}}));
}

TEST_F(HostContext, UpstreamUnitsOfferingDirectRenderOrNoFormat)
{
  AudioComponent component = Register("TUps", [](const AudioComponentDescription*) { return &Upstream::record; });
  ASSERT_NE(component, nullptr);
  AudioComponentInstance upstream = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &upstream), noErr);
  Upstream::fastCalls = Upstream::slowCalls = 0;
  Upstream::refuseFormat = false;

  ASSERT_OK(mUnit->Prepare(44100.0, 2, 2, 64));
  const AudioUnitConnection connection = {upstream, 0, 0};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, connection));
  // The input took the upstream's format, and the render calls its render function directly.
  AudioStreamBasicDescription asbd = {};
  ASSERT_OK(mUnit->GetStreamFormat(kAudioUnitScope_Input, 0, asbd));
  std::vector<float> out(128, 9.f);
  float* channels[2] = {out.data(), out.data() + 64};
  ASSERT_EQ(mUnit->RenderBlock(0, 64, channels, 2), noErr);
  EXPECT_EQ(std::make_tuple(asbd.mSampleRate, asbd.mChannelsPerFrame, Upstream::fastCalls, Upstream::slowCalls),
            std::make_tuple(48000.0, 2u, 1, 0));
  EXPECT_EQ(std::make_pair(out[0], out[127]), std::make_pair(Upstream::kLevel, Upstream::kLevel)); // unity gain

  // An upstream that cannot give its format is not connected: refused, and the input is silence.
  Upstream::refuseFormat = true;
  EXPECT_EQ(AudioUnitSetProperty(Unit(), kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &connection,
                                 sizeof(connection)),
            kAudioUnitErr_InvalidProperty);
  ASSERT_EQ(mUnit->RenderBlock(64, 64, channels, 2), noErr);
  EXPECT_EQ(std::make_tuple(out[0], out[127], Upstream::fastCalls), std::make_tuple(0.f, 0.f, 1));
  Upstream::refuseFormat = false;
  EXPECT_EQ(AudioComponentInstanceDispose(upstream), noErr);
}

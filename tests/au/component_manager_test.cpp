// The Component Manager entry as an older host drives it: every Audio Unit selector travels as a parameter block
// and reaches the same operation the factory record's methods reach (parameters, scheduled events, reset,
// listeners, render notifications, render); the music-device selectors of an instrument; blocks too short for
// their selector; and the entries of the bundles with an editor, the product's included.

#include "au/testplug/TestBundles.h"
#include "support/ScopedHome.h"

#include <AudioToolbox/AUTesting.h>
#include <AudioToolbox/MusicDevice.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace testbundles;

namespace
{

#ifndef ZANIQ_TESTGAIN_UI_BUNDLE
#define ZANIQ_TESTGAIN_UI_BUNDLE ""
#endif

// Registers a bundle's Component Manager entry under its own subtype (once per process and subtype).
AudioComponent RegisterEntry(const Bundle& bundle, const char* symbol, OSType type, const char (&subtype)[5],
                             UInt32 version)
{
  auto entry = reinterpret_cast<ZQAUComponentEntry>(bundle.Symbol(symbol));
  if (!entry) return nullptr;
  AudioComponentDescription desc = {type, FourCC(subtype), kManufacturer, 0, 0};
  if (AudioComponent found = AudioComponentFindNext(nullptr, &desc)) return found;
  return ZQAURegisterComponentEntry(&desc, CFSTR("Zaniq Tests (CM)"), version, entry);
}

// A constant input on every channel.
class ConstantSource final : public AudioSource
{
public:
  explicit ConstantSource(float level) : mLevel(level) {}
  OSStatus Pull(const AudioTimeStamp&, UInt32 frames, AudioBufferList* data) override
  {
    for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
      std::fill_n(static_cast<float*>(data->mBuffers[k].mData), frames, mLevel);
    return noErr;
  }

private:
  float mLevel;
};

std::vector<std::pair<AudioUnitPropertyID, int>> gListened;
void Listener(void* userData, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  gListened.push_back({id, *static_cast<int*>(userData)});
}

OSStatus CountNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                     AudioBufferList*)
{
  static_cast<std::vector<AudioUnitRenderActionFlags>*>(refCon)->push_back(*flags);
  return noErr;
}

// TestGain opened through its Component Manager entry.
class EntryGain : public BundleHost
{
protected:
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(BundleHost::SetUp());
    AudioComponent component = RegisterEntry(*mBundle, "TestGain_Entry", kAudioUnitType_Effect, "TGc2", kGainVersion);
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
  }
  ComponentInstance CI() const { return reinterpret_cast<ComponentInstance>(Unit()); }
};

// TestSynth opened through its Component Manager entry: the path that carries MIDI and SysEx in.
class EntrySynth : public BundleHost
{
protected:
  EntrySynth() : BundleHost(SynthBundlePath()) {}
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(BundleHost::SetUp());
    AudioComponent component =
      RegisterEntry(*mBundle, "TestSynth_Entry", kAudioUnitType_MusicDevice, "TSc2", 0x00010000);
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
  }
  ComponentInstance CI() const { return reinterpret_cast<ComponentInstance>(Unit()); }
  // The level the synth renders on its first channel for one block.
  float Level(double sampleTime)
  {
    std::vector<float> out(64, -9.f);
    float* channels[1] = {out.data()};
    EXPECT_EQ(mUnit->RenderBlock(sampleTime, 64, channels, 1), noErr);
    return out[63];
  }
};

} // namespace

TEST_F(EntryGain, ParametersScheduledEventsAndResetThroughParameterBlocks)
{
  // The value travels as a Float32 in its word; the stepped Mode rounds 1.6 to 2.
  ASSERT_OK(mUnit->SetParameter(kGain, -6.5f));
  ASSERT_OK(mUnit->SetParameter(kMode, 1.6f));
  EXPECT_EQ(std::make_pair(Get(kGain), Get(kMode)), std::make_pair(-6.5f, 2.f));
  Float32 value = 0;
  EXPECT_EQ(AudioUnitGetParameter(Unit(), kGain, kAudioUnitScope_Input, 0, &value), kAudioUnitErr_InvalidProperty);

  // A ramp is skipped, an immediate global event applies, one in another scope ends the call with its error.
  AudioUnitParameterEvent events[3] = {};
  events[0] = {kAudioUnitScope_Global, 0, kDelay, kParameterEvent_Ramped, {}};
  events[0].eventValues.ramp = {0, 64, 0.f, 9.f};
  events[1] = {kAudioUnitScope_Global, 0, kDelay, kParameterEvent_Immediate, {}};
  events[1].eventValues.immediate = {0, 3.f};
  events[2] = {kAudioUnitScope_Output, 0, kMute, kParameterEvent_Immediate, {}};
  events[2].eventValues.immediate = {0, 1.f};
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events, 2), noErr);
  EXPECT_EQ(AudioUnitScheduleParameters(Unit(), events + 2, 1), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(std::make_pair(Get(kDelay), Get(kMute)), std::make_pair(3.f, 0.f));
  EXPECT_EQ(AudioUnitReset(Unit(), kAudioUnitScope_Global, 0), noErr);

  // A block without the words its selector needs is refused before anything is read.
  const long twoWords[] = {kGain, kAudioUnitScope_Global};
  EXPECT_EQ(ZQAUCallComponentInstance(CI(), kAudioUnitGetParameterSelect, twoWords, 2), kAudio_ParamError);
  // No MIDI input: the music-device selectors are not this unit's.
  const UInt8 sysex[] = {0xF0, 0x7D, 0x10, 0xF7};
  EXPECT_EQ(std::make_pair(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 100, 0), MusicDeviceSysEx(Unit(), sysex, 4)),
            std::make_pair(OSStatus(badComponentSelector), OSStatus(badComponentSelector)));
}

TEST_F(EntryGain, ListenersNotificationsAndRenderThroughParameterBlocks)
{
  gListened.clear();
  int a = 1, b = 2;
  // One registration per function and property; removal with user data needs all three to match.
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener, &a), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener, &b), noErr);
  const Float64 rate = 44100.0;
  auto setRate = [&] { ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, rate)); };
  setRate();
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(Unit(), kAudioUnitProperty_SampleRate, &Listener, &b), noErr);
  setRate();
  ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(Unit(), kAudioUnitProperty_SampleRate, &Listener, &a), noErr);
  setRate();
  ASSERT_EQ(AudioUnitAddPropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener, &b), noErr);
  setRate();
  ASSERT_EQ(AudioUnitRemovePropertyListener(Unit(), kAudioUnitProperty_SampleRate, &Listener), noErr);
  setRate();
  EXPECT_EQ(gListened, (std::vector<std::pair<AudioUnitPropertyID, int>>{
                         {kAudioUnitProperty_SampleRate, 1}, {kAudioUnitProperty_SampleRate, 1},
                         {kAudioUnitProperty_SampleRate, 2}}));

  // Render: -6 dB on a constant 0.5, bracketed by the notifications until they are removed.
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, 64));
  ConstantSource half(0.5f);
  ASSERT_OK(mUnit->ConnectInput(&half));
  ASSERT_OK(mUnit->SetParameter(kGain, -6.f));
  std::vector<AudioUnitRenderActionFlags> calls;
  ASSERT_EQ(AudioUnitAddRenderNotify(Unit(), &CountNotify, &calls), noErr);
  std::vector<float> out(128, 9.f);
  float* channels[2] = {out.data(), out.data() + 64};
  ASSERT_EQ(mUnit->RenderBlock(0, 64, channels, 2), noErr);
  ASSERT_EQ(AudioUnitRemoveRenderNotify(Unit(), &CountNotify, &calls), noErr);
  ASSERT_EQ(mUnit->RenderBlock(64, 64, channels, 2), noErr);
  EXPECT_EQ(calls, (std::vector<AudioUnitRenderActionFlags>{kAudioUnitRenderAction_PreRender,
                                                            kAudioUnitRenderAction_PostRender}));
  const float expected = 0.5f * static_cast<float>(std::pow(10.0, -6.0 / 20.0)); // 0.2506
  EXPECT_NEAR(out[0], expected, 1e-6);
  EXPECT_NEAR(out[127], expected, 1e-6);
  ASSERT_OK(mUnit->ConnectInput(nullptr));
}

TEST_F(EntrySynth, MusicDeviceSelectors)
{
  ASSERT_OK(mUnit->Prepare(48000.0, 0, 1, 64));
  // SysEx F0 7D <level> F7 sets the level to level / 127; a note's velocity does the same.
  const UInt8 level64[] = {0xF0, 0x7D, 64, 0xF7};
  ASSERT_EQ(MusicDeviceSysEx(Unit(), level64, 4), noErr);
  EXPECT_FLOAT_EQ(Level(0), 64.f / 127.f);
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), noErr);
  EXPECT_FLOAT_EQ(Level(64), 1.f);
  // Each MIDI message also waits for the editor.
  EXPECT_EQ(Plug().GetMidiMsgFromProcessor().ElementsAvailable(), 1u);

  // A length without data is refused; an empty message is fine.
  EXPECT_EQ(MusicDeviceSysEx(Unit(), nullptr, 4), kAudio_ParamError);
  EXPECT_EQ(MusicDeviceSysEx(Unit(), nullptr, 0), noErr);

  // Start note answers the pitch, truncated, as the note; no note is started. The other instrument calls do
  // nothing.
  MusicDeviceNoteParams params = {};
  params.argCount = 2;
  params.mPitch = 61.7f;
  params.mVelocity = 30.f;
  NoteInstanceID note = 0;
  EXPECT_EQ(ZQAUCallComponentInstanceWith(CI(), kMusicDeviceStartNoteSelect, 0u, 0u, &note, 0u, &params), noErr);
  EXPECT_EQ(note, 61u);
  for (SInt16 selector : {kMusicDevicePrepareInstrumentSelect, kMusicDeviceReleaseInstrumentSelect})
    EXPECT_EQ(ZQAUCallComponentInstanceWith(CI(), selector, 0u), noErr) << selector;
  EXPECT_EQ(ZQAUCallComponentInstanceWith(CI(), kMusicDeviceStopNoteSelect, 0u, 0u, 61u), noErr);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(CI(), kMusicDeviceStartNoteSelect, 0u, 0u, nullptr, 0u, &params),
            kAudio_ParamError);
  EXPECT_FLOAT_EQ(Level(128), 1.f);
}

TEST(EntryEditorBundles, EntriesOfBundlesWithAnEditorOpenTheirPlugIn)
{
  ScopedHome home; // the product keeps its data folder there; it outlives the instances
  ASSERT_TRUE(home.Ok());
  struct Case
  {
    const char* path;
    const char* symbol;
    const char subtype[5];
    UInt32 version, nParams;
  };
  const Case cases[] = {
    {ZANIQ_TESTGAIN_UI_BUNDLE, "TestGainUI_Entry", "TGu2", 0x00010000, 3},
#ifdef ZANIQ_PRODUCT_BUNDLE
    {ZANIQ_PRODUCT_BUNDLE, "ZANIQ_Entry", "QNc2", 0x0002020B, 46},
#endif
  };
  for (const Case& c : cases)
  {
    std::shared_ptr<const Bundle> bundle;
    ASSERT_OK(Bundle::Load(c.path, bundle));
    AudioComponent component = RegisterEntry(*bundle, c.symbol, kAudioUnitType_Effect, c.subtype, c.version);
    ASSERT_NE(component, nullptr) << c.symbol;
    std::unique_ptr<Instance> unit;
    ASSERT_OK(Instance::Open(component, unit));
    const auto ci = reinterpret_cast<ComponentInstance>(unit->Unit());
    UInt32 size = 0;
    Boolean writable = true;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                       &size, &writable),
              noErr);
    EXPECT_EQ(std::make_tuple(ZQAUCallComponentInstance(ci, kComponentVersionSelect, nullptr, 0), size / 4, writable),
              std::make_tuple(static_cast<OSStatus>(c.version), c.nParams, Boolean(false)))
        << c.symbol;
  }
}

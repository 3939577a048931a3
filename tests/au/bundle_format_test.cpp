// Stream formats, sample rate, block size, property buffers and host identification, set on the test bundle the
// way a host sets them.

#include "au/testplug/TestBundles.h"

#include <CoreFoundation/CFTesting.h>

#include <limits>
#include <tuple>

using namespace auhost;
using namespace testbundles;

namespace
{

class BundleFormat : public BundleHost
{
protected:
  AudioStreamBasicDescription Format(AudioUnitScope scope) const
  {
    AudioStreamBasicDescription asbd = {};
    EXPECT_OK(mUnit->GetStreamFormat(scope, 0, asbd));
    return asbd;
  }
  UInt32 Channels(AudioUnitScope scope) const { return Format(scope).mChannelsPerFrame; }
  template <class T> T Global(AudioUnitPropertyID id) const
  {
    T value = {};
    EXPECT_OK(mUnit->GetProperty(id, kAudioUnitScope_Global, 0, value));
    return value;
  }
  Float64 Rate() const { return Global<Float64>(kAudioUnitProperty_SampleRate); }
};

} // namespace

TEST_F(BundleFormat, OnlyNonInterleavedNativeFloat32OnLegalBusesAndPairsIsAccepted)
{
  EXPECT_EQ(std::tuple(mUnit->BusCount(kAudioUnitScope_Input), mUnit->BusCount(kAudioUnitScope_Output),
                       FormatChannelConfigs(mUnit->ChannelConfigs())),
            std::tuple(1u, 1u, "1-1 2-2"));
  // 48 kHz, each a layout or a bus the render cannot use; the last row is the one it can.
  const struct
  {
    const char* what;
    UInt32 formatID, flags, bytes, bits, channels, bus;
  } cases[] = {
    {"aac", FourCC("aac "), 0x29, 4, 32, 1, 0},
    {"int16 interleaved", FourCC("lpcm"), 0x0C, 4, 16, 1, 0},
    {"int16 non-interleaved", FourCC("lpcm"), 0x2C, 2, 16, 1, 0},
    {"int32 non-interleaved", FourCC("lpcm"), 0x2C, 4, 32, 1, 0},
    {"float64 non-interleaved", FourCC("lpcm"), 0x29, 8, 64, 1, 0},
    {"float32 interleaved", FourCC("lpcm"), 0x09, 4, 32, 1, 0},
    {"float32 big-endian", FourCC("lpcm"), 0x2B, 4, 32, 1, 0},
    {"no channels", FourCC("lpcm"), 0x29, 4, 32, 0, 0},
    {"three channels", FourCC("lpcm"), 0x29, 4, 32, 3, 0},
    {"bus 1", FourCC("lpcm"), 0x29, 4, 32, 2, 1},
    {"bus 5", FourCC("lpcm"), 0x29, 4, 32, 2, 5},
    {"float32 non-interleaved", FourCC("lpcm"), 0x29, 4, 32, 1, 0},
  };
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    for (const auto& c : cases)
    {
      const AudioStreamBasicDescription asbd = {48000.0, c.formatID, c.flags, c.bytes, 1, c.bytes, c.channels, c.bits,
                                                0};
      const bool taken = c.bus == 0 && &c == &cases[std::size(cases) - 1];
      EXPECT_EQ(AudioUnitSetProperty(Unit(), kAudioUnitProperty_StreamFormat, scope, c.bus, &asbd, sizeof(asbd)),
                taken ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidProperty})
        << c.what;
      // A refused format changes nothing, not even its (valid) rate; what is read back is what the render uses.
      const AudioStreamBasicDescription back = Format(scope);
      EXPECT_EQ(std::tuple(back.mFormatID, back.mFormatFlags, back.mBytesPerFrame, back.mBitsPerChannel),
                std::tuple(kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                           4u, 32u));
      EXPECT_EQ(std::tuple(back.mChannelsPerFrame, Rate()), std::tuple(taken ? 1u : 2u, taken ? 48000.0 : 44100.0))
        << c.what;
      if (taken)
      {
        ASSERT_OK(mUnit->SetStreamFormat(scope, 0, 44100.0, 2));
      }
    }
  // 1 in, 2 out is taken per bus but refused at Initialize; while initialised, a format that breaks the pair is
  // refused and leaves the unit as it was.
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 44100.0, 1));
  EXPECT_EQ(mUnit->Initialize().code(), badComponentSelector);
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 44100.0, 2));
  ASSERT_OK(mUnit->Initialize()); // nothing was left half-set
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    EXPECT_EQ(mUnit->SetStreamFormat(scope, 0, 44100.0, 1).code(), kAudioUnitErr_InvalidProperty) << scope;
  EXPECT_EQ(std::tuple(Channels(kAudioUnitScope_Input), Channels(kAudioUnitScope_Output)), std::tuple(2u, 2u));
}

TEST_F(BundleFormat, RatesAndFrameCountsOutsideTheirRangesChangeNothing)
{
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (double rate : {0.0, -44100.0, nan, inf, 1536000.5, 1536000.0})
  {
    const bool good = rate == 1536000.0;
    const OSStatus expected = good ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidPropertyValue};
    EXPECT_EQ(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, rate).code(), expected);
    EXPECT_EQ(Rate(), good ? rate : 44100.0) << rate;
    // A stream format with that rate (and a legal channel count) likewise, except that a rate of 0 gives no rate:
    // the format is taken and the rate stays.
    const bool taken = good || rate == 0.0;
    EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, rate, 1).code(),
              taken ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidPropertyValue})
      << rate;
    EXPECT_EQ(std::tuple(Channels(kAudioUnitScope_Input), Rate()), std::tuple(taken ? 1u : 2u, good ? rate : 44100.0))
      << rate;
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 0.0, 2));
  }
  // Without a rate the rest of the format is still checked.
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 0.0, 3).code(), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(std::tuple(Channels(kAudioUnitScope_Input), Rate()), std::tuple(2u, 1536000.0));
  EXPECT_EQ(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, 48000.f).code(),
            kAudioUnitErr_InvalidPropertyValue); // fewer bytes than a Float64

  UInt32 kept = Global<UInt32>(kAudioUnitProperty_MaximumFramesPerSlice);
  for (UInt32 frames : {1u, 0u, 160u, 65537u, 4096u, 65536u})
  {
    const bool good = frames >= 1 && frames <= 65536;
    EXPECT_EQ(mUnit->SetMaxFramesPerSlice(frames).code(), good ? 0 : OSStatus{kAudioUnitErr_InvalidPropertyValue});
    kept = good ? frames : kept;
    EXPECT_EQ(Global<UInt32>(kAudioUnitProperty_MaximumFramesPerSlice), kept) << frames;
  }
  // While initialised the render may be running: only the same size is taken.
  ASSERT_OK(mUnit->Initialize());
  EXPECT_EQ(mUnit->SetMaxFramesPerSlice(kept).code(), noErr);
  EXPECT_EQ(mUnit->SetMaxFramesPerSlice(512).code(), kAudioUnitErr_Initialized);
  EXPECT_EQ(Global<UInt32>(kAudioUnitProperty_MaximumFramesPerSlice), kept);
}

TEST_F(BundleFormat, ValueQueriesRespectTheCallersBufferSize)
{
  Float32 small = 0; // SampleRate is a Float64
  UInt32 size = sizeof(small);
  EXPECT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &small, &size),
            kAudioUnitErr_InvalidPropertyValue);
  AudioUnitParameterID ids[3] = {}; // four parameters do not fit
  size = sizeof(ids);
  EXPECT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(ids[0] + ids[1] + ids[2], 0u);
  double rate = 0; // no size pointer: nothing may be written
  EXPECT_EQ(AudioUnitGetProperty(Unit(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, nullptr),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(rate, 0.0);
  // Private properties other than the plug-in pointer belong to the plug-in class; this one has none.
  EXPECT_EQ(AudioUnitSetProperty(Unit(), AudioUnitPropertyID(-103), kAudioUnitScope_Global, 0, &rate, sizeof(rate)),
            kAudioUnitErr_InvalidProperty);
}

// The host is identified once per instance, at Initialize: from the host identifier property when set before,
// else from the main bundle's identifier and version (the folders of tests/data/au/hosts).
TEST_F(BundleFormat, HostIdentification)
{
  struct Cleanup
  {
    ~Cleanup() { ZQCFSetMainBundlePath(nullptr); }
  } cleanup;
  // The folders' versions: 10.7.3, none, 10.7, 3, 2.x.5 (reads as 2), empty. The last row sets the host identifier
  // property, which comes first (NumVersion 10.7.3: major 10, minor and bug-fix 0x73).
  const AUHostIdentifier example = {CFSTR("Example Host"), 0x0A730000};
  const struct
  {
    const char* folder;
    const AUHostIdentifier* id;
    const char* name;
    int host, version;
  } cases[] = {{"com.apple.logic10", nullptr, "com.apple.logic10", 21, 0x000A0703},
               {"com.example.a", nullptr, "com.example.a", 0, 0},
               {"com.example.b", nullptr, "com.example.b", 0, 0x000A0700},
               {"com.example.c", nullptr, "com.example.c", 0, 0x00030000},
               {"com.example.d", nullptr, "com.example.d", 0, 0x00020000},
               {"com.example.e", nullptr, "com.example.e", 0, 0},
               {"com.example.d", &example, "Example Host", 0, 0x000A0703}};
  for (const auto& c : cases)
  {
    const std::string app = std::string(ZANIQ_TEST_DATA) + "/au/hosts/" + c.folder + ".app";
    ZQCFSetMainBundlePath(app.c_str());
    ASSERT_NO_FATAL_FAILURE(Reopen(mBundle->Main().component));
    ASSERT_TRUE(!c.id ||
                mUnit->SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, *c.id).ok());
    ASSERT_OK(mUnit->Initialize());
    EXPECT_EQ(std::tuple(std::string(Plug().GetHostName()), Plug().GetHost(), Plug().GetHostVersion(false)),
              std::tuple(c.name, c.host, c.version));
  }
  // Identified once, at Initialize: an identifier the host sets later changes nothing.
  const AUHostIdentifier late = {CFSTR("Reaper"), 0x05000000};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, late));
  EXPECT_STREQ(Plug().GetHostName(), "Example Host");
}

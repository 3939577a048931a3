// Stream formats, sample rate, block size, property buffers and host identification, set on the test bundle the
// way a host sets them.

#include "au/testplug/TestBundles.h"

#include "au/PluginAU.h"

#include <CoreFoundation/CFTesting.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

using namespace auhost;
using namespace testbundles;

namespace
{

class BundleFormat : public BundleHost
{
protected:
  UInt32 Channels(AudioUnitScope scope) const
  {
    AudioStreamBasicDescription asbd = {};
    EXPECT_OK(mUnit->GetStreamFormat(scope, 0, asbd));
    return asbd.mChannelsPerFrame;
  }
  template <class T>
  T Global(AudioUnitPropertyID id) const
  {
    T value = {};
    EXPECT_OK(mUnit->GetProperty(id, kAudioUnitScope_Global, 0, value));
    return value;
  }
  Float64 Rate() const { return Global<Float64>(kAudioUnitProperty_SampleRate); }
};

} // namespace

TEST_F(BundleFormat, DefaultFormatIsNonInterleavedFloatWithThePlugChannels)
{
  AudioStreamBasicDescription asbd = {};
  ASSERT_OK(mUnit->GetStreamFormat(kAudioUnitScope_Output, 0, asbd));
  EXPECT_EQ(asbd.mFormatID, kAudioFormatLinearPCM);
  EXPECT_EQ(asbd.mFormatFlags, kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved);
  EXPECT_EQ(asbd.mBytesPerFrame, 4u);
  EXPECT_EQ(asbd.mBitsPerChannel, 32u);
  EXPECT_EQ(asbd.mChannelsPerFrame, 2u);
  EXPECT_EQ(mUnit->BusCount(kAudioUnitScope_Input), 1u);
  EXPECT_EQ(mUnit->BusCount(kAudioUnitScope_Output), 1u);
  EXPECT_EQ(FormatChannelConfigs(mUnit->ChannelConfigs()), "1-1 2-2");
}

TEST_F(BundleFormat, OnlyLegalChannelPairsInitialise)
{
  for (UInt32 channels : {1u, 2u, 1u})
  {
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 48000.0, channels));
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, channels));
    EXPECT_OK(mUnit->Initialize()) << channels;
    EXPECT_EQ(Channels(kAudioUnitScope_Input), channels);
    EXPECT_EQ(Channels(kAudioUnitScope_Output), channels);
    EXPECT_EQ(Rate(), 48000.0);
    ASSERT_OK(mUnit->Uninitialize());
  }
  // Before initialisation each side is checked against any count on the other: 1 in, 2 out is accepted per bus
  // but refused at Initialize.
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 44100.0, 2));
  EXPECT_EQ(mUnit->Initialize().code(), badComponentSelector);
  EXPECT_FALSE(mUnit->IsInitialized());
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 44100.0, 1));
  ASSERT_OK(mUnit->Initialize());
  // While initialised, a format that breaks the pair is refused and leaves the unit as it was.
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
  {
    EXPECT_EQ(mUnit->SetStreamFormat(scope, 0, 44100.0, 2).code(), kAudioUnitErr_InvalidProperty) << scope;
    EXPECT_EQ(Channels(kAudioUnitScope_Input), 1u) << scope;
    EXPECT_EQ(Channels(kAudioUnitScope_Output), 1u) << scope;
  }
}

TEST_F(BundleFormat, ZeroAndThreeChannelsAreRefused)
{
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    for (UInt32 channels : {0u, 3u})
    {
      // A refused format changes nothing, not even its (valid) rate; the bus keeps the plug-in's channels.
      EXPECT_EQ(mUnit->SetStreamFormat(scope, 0, 96000.0, channels).code(), kAudioUnitErr_InvalidProperty)
        << scope << " " << channels;
      EXPECT_EQ(Channels(scope), 2u) << scope << " " << channels;
      EXPECT_EQ(Rate(), 44100.0);
    }
  // Buses that do not exist, and formats that are not float PCM.
  for (AudioUnitElement bus : {1u, 5u})
    for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
      EXPECT_EQ(mUnit->SetStreamFormat(scope, bus, 44100.0, 2).code(), kAudioUnitErr_InvalidProperty) << bus;
  ASSERT_OK(mUnit->Initialize()); // nothing was left half-set
}

TEST_F(BundleFormat, OnlyNonInterleavedNativeFloat32IsAccepted)
{
  // 48 kHz mono, each a layout the render cannot read or write; the last row is the one it can.
  const struct
  {
    const char* what;
    UInt32 formatID, flags, bytesPerPacket, framesPerPacket, bytesPerFrame, bits;
    OSStatus expected;
  } cases[] = {
    {"aac", FourCC("aac "), 0x29, 4, 1, 4, 32, kAudioUnitErr_InvalidProperty},
    {"int16 interleaved", FourCC("lpcm"), 0x0C, 4, 1, 4, 16, kAudioUnitErr_InvalidProperty},
    {"int16 non-interleaved", FourCC("lpcm"), 0x2C, 2, 1, 2, 16, kAudioUnitErr_InvalidProperty},
    {"int32 non-interleaved", FourCC("lpcm"), 0x2C, 4, 1, 4, 32, kAudioUnitErr_InvalidProperty},
    {"float64 non-interleaved", FourCC("lpcm"), 0x29, 8, 1, 8, 64, kAudioUnitErr_InvalidProperty},
    {"float32 interleaved", FourCC("lpcm"), 0x09, 4, 1, 4, 32, kAudioUnitErr_InvalidProperty},
    {"float32 big-endian", FourCC("lpcm"), 0x2B, 4, 1, 4, 32, kAudioUnitErr_InvalidProperty},
    {"float32 non-interleaved", FourCC("lpcm"), 0x29, 4, 1, 4, 32, noErr},
  };
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
  {
    for (const auto& c : cases)
    {
      const AudioStreamBasicDescription asbd = {48000.0, c.formatID, c.flags, c.bytesPerPacket, c.framesPerPacket,
                                                c.bytesPerFrame, 1, c.bits, 0};
      EXPECT_EQ(AudioUnitSetProperty(Unit(), kAudioUnitProperty_StreamFormat, scope, 0, &asbd, sizeof(asbd)),
                c.expected)
        << c.what;
      const bool taken = c.expected == noErr;
      // A refused format changes nothing; what is read back is what the render uses.
      AudioStreamBasicDescription back = {};
      ASSERT_OK(mUnit->GetStreamFormat(scope, 0, back));
      EXPECT_EQ(back.mChannelsPerFrame, taken ? 1u : 2u) << c.what;
      EXPECT_EQ(Rate(), taken ? 48000.0 : 44100.0) << c.what;
      EXPECT_EQ(back.mBitsPerChannel, 32u);
      if (taken)
      {
        ASSERT_OK(mUnit->SetStreamFormat(scope, 0, 44100.0, 2));
      }
    }
  }
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
    // A stream format with that rate (and a legal channel count) likewise.
    EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, rate, 1).code(), expected) << rate;
    EXPECT_EQ(Channels(kAudioUnitScope_Input), good ? 1u : 2u) << rate;
  }
  const Float32 shortRate = 48000.f; // fewer bytes than a Float64
  EXPECT_EQ(mUnit->SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, shortRate).code(),
            kAudioUnitErr_InvalidPropertyValue);

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
  Boolean writable = true;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, &size,
                                     &writable),
            kAudioUnitErr_InvalidProperty);
  // Private properties other than the plug-in pointer belong to the plug-in class; this one has none.
  for (const AudioUnitPropertyID id : {AudioUnitPropertyID(-102), AudioUnitPropertyID(-103)})
  {
    EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), id, kAudioUnitScope_Global, 0, &size, &writable),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitSetProperty(Unit(), id, kAudioUnitScope_Global, 0, &rate, sizeof(rate)),
              kAudioUnitErr_InvalidProperty);
  }
  // ClassInfo's info: a pointer, not writable.
  ASSERT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(size, sizeof(CFPropertyListRef));
  EXPECT_FALSE(writable);
}

// ---------------------------------------------------------------------------------------------------------------
// Host identification
// ---------------------------------------------------------------------------------------------------------------

namespace
{

class HostIdentification : public BundleHost
{
protected:
  void SetUp() override
  {
    BundleHost::SetUp();
    mFolder = std::filesystem::path(::testing::TempDir()) /
              ("auhost_main_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override
  {
    ZQCFSetMainBundlePath(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(mFolder, ec);
  }

  // A host application folder whose Info.plist holds `entries` (plist XML between <dict> and </dict>).
  void MakeMainBundle(const std::string& name, const std::string& entries)
  {
    const auto app = mFolder / name;
    std::filesystem::create_directories(app / "Contents");
    std::ofstream(app / "Contents" / "Info.plist")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
      << entries << "</dict>\n</plist>\n";
    ZQCFSetMainBundlePath(app.c_str());
  }

  // Opens a fresh instance (identification happens once per instance), gives it the host identifier when there
  // is one, and initialises it.
  const plugin::PluginAU* InitializedPlug(const AUHostIdentifier* id = nullptr)
  {
    mUnit.reset();
    EXPECT_OK(Instance::Open(mBundle->Main().component, mUnit));
    if (!mUnit) return nullptr;
    if (id)
    {
      EXPECT_OK(mUnit->SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, *id));
    }
    EXPECT_OK(mUnit->Initialize());
    const plugin::PluginAU* plug = nullptr;
    EXPECT_TRUE(mUnit->GetProperty(plugin::PluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug).ok());
    return plug;
  }

  std::filesystem::path mFolder;
};

std::string Key(const std::string& key, const std::string& value)
{
  return "  <key>" + key + "</key>\n  <string>" + value + "</string>\n";
}

} // namespace

TEST_F(HostIdentification, FromTheMainBundleOrTheHostIdentifier)
{
  const struct
  {
    const char* id;
    const char* version; // null: no version key
    int host, expected;
  } cases[] = {{"com.apple.logic10", "10.7.3", 21, 0x000A0703}, {"com.example.a", nullptr, 0, 0},
               {"com.example.b", "10.7", 0, 0x000A0700},        {"com.example.c", "3", 0, 0x00030000},
               {"com.example.d", "2.x.5", 0, 0x00020000},       {"com.example.e", "", 0, 0}};
  int n = 0;
  const plugin::PluginAU* plug = nullptr;
  for (const auto& c : cases)
  {
    MakeMainBundle("Host" + std::to_string(n++) + ".app",
                   Key("CFBundleIdentifier", c.id) + (c.version ? Key("CFBundleVersion", c.version) : std::string()));
    plug = InitializedPlug();
    ASSERT_NE(plug, nullptr);
    EXPECT_STREQ(plug->GetHostName(), c.id);
    EXPECT_EQ(plug->GetHost(), c.host) << c.id;
    EXPECT_EQ(plug->GetHostVersion(false), c.expected) << (c.version ? c.version : "(none)");
  }
  // The host identifier property, set before Initialize, comes first. NumVersion 10.7.3: major 10, minor and
  // bug-fix 0x73.
  const AUHostIdentifier id = {CFSTR("Example Host"), 0x0A730000};
  plug = InitializedPlug(&id);
  ASSERT_NE(plug, nullptr);
  EXPECT_STREQ(plug->GetHostName(), "Example Host");
  EXPECT_EQ(plug->GetHostVersion(false), 0x000A0703);
  // Identified once: an identifier the host sets later changes nothing.
  const AUHostIdentifier late = {CFSTR("Reaper"), 0x05000000};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, late));
  EXPECT_STREQ(plug->GetHostName(), "Example Host");
}

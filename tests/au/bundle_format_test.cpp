// Stream formats, block size and host identification, set on the test bundle the way a host sets them.

#include "au/testplug/TestBundles.h"

#include "au/IPluginAU.h"

#include <CoreFoundation/CFTesting.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

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
    const Status s = mUnit->GetStreamFormat(scope, 0, asbd);
    EXPECT_TRUE(s.ok()) << s.message();
    return asbd.mChannelsPerFrame;
  }
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
  const std::vector<AUChannelInfo> configs = mUnit->ChannelConfigs();
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(FormatChannelConfigs(configs), "1-1 2-2");
}

TEST_F(BundleFormat, MonoAndStereoInitialise)
{
  for (UInt32 channels : {1u, 2u, 1u})
  {
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 48000.0, channels));
    ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, channels));
    EXPECT_OK(mUnit->Initialize()) << channels;
    EXPECT_EQ(Channels(kAudioUnitScope_Input), channels);
    EXPECT_EQ(Channels(kAudioUnitScope_Output), channels);
    Float64 rate = 0;
    ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, rate));
    EXPECT_EQ(rate, 48000.0);
    ASSERT_OK(mUnit->Uninitialize());
  }
}

TEST_F(BundleFormat, OneInTwoOutIsAcceptedPerBusButRefusedAtInitialize)
{
  // Before initialisation each side is checked against any count on the other.
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Input, 0, 44100.0, 1));
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 44100.0, 2));
  const Status s = mUnit->Initialize();
  EXPECT_EQ(s.code(), badComponentSelector) << s.message();
  EXPECT_FALSE(mUnit->IsInitialized());
  // A legal pair afterwards initialises.
  ASSERT_OK(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 44100.0, 1));
  ASSERT_OK(mUnit->Initialize());
}

TEST_F(BundleFormat, WhileInitialisedAFormatThatBreaksThePairIsRefused)
{
  ASSERT_OK(mUnit->Prepare(44100.0, 1, 1, 512));
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
  {
    EXPECT_EQ(mUnit->SetStreamFormat(scope, 0, 44100.0, 2).code(), kAudioUnitErr_InvalidProperty) << scope;
    // The refused format leaves the initialised unit as it was: still a legal pair.
    EXPECT_EQ(Channels(kAudioUnitScope_Input), 1u) << scope;
    EXPECT_EQ(Channels(kAudioUnitScope_Output), 1u) << scope;
  }
}

TEST_F(BundleFormat, ZeroAndThreeChannelsAreRefused)
{
  for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    for (UInt32 channels : {0u, 3u})
    {
      EXPECT_EQ(mUnit->SetStreamFormat(scope, 0, 44100.0, channels).code(), kAudioUnitErr_InvalidProperty)
        << scope << " " << channels;
      // The bus falls back to the channels the plug-in offers.
      EXPECT_EQ(Channels(scope), 2u) << scope << " " << channels;
    }
  // Buses that do not exist, and formats that are not float PCM.
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Output, 1, 44100.0, 2).code(), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Input, 1, 44100.0, 2).code(), kAudioUnitErr_InvalidProperty);
  AudioStreamBasicDescription asbd = {};
  ASSERT_OK(mUnit->GetStreamFormat(kAudioUnitScope_Input, 0, asbd));
  asbd.mFormatID = FourCC("aac ");
  EXPECT_NE(AudioUnitSetProperty(Unit(), kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &asbd,
                                 sizeof(asbd)),
            noErr);
  ASSERT_OK(mUnit->Initialize()); // nothing was left half-set
}

TEST_F(BundleFormat, MaximumFramesPerSliceIsKept)
{
  for (UInt32 frames : {1u, 160u, 4096u})
  {
    ASSERT_OK(mUnit->SetMaxFramesPerSlice(frames));
    UInt32 read = 0;
    ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, read));
    EXPECT_EQ(read, frames);
  }
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

  // Opens a fresh instance (identification happens once per instance) and initialises it.
  const plugin::IPluginAU* InitializedPlug()
  {
    mUnit.reset();
    EXPECT_TRUE(Instance::Open(mBundle->Main().component, mUnit).ok());
    if (!mUnit) return nullptr;
    EXPECT_TRUE(mUnit->Initialize().ok());
    const plugin::IPluginAU* plug = nullptr;
    EXPECT_TRUE(mUnit->GetProperty(plugin::IPluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug).ok());
    return plug;
  }

  std::filesystem::path mFolder;
};

std::string Key(const std::string& key, const std::string& value)
{
  return "  <key>" + key + "</key>\n  <string>" + value + "</string>\n";
}

} // namespace

TEST_F(HostIdentification, FromTheMainBundleIdentifierAndVersion)
{
  MakeMainBundle("Host.app", Key("CFBundleIdentifier", "com.example.testhost") + Key("CFBundleVersion", "10.7.3"));
  const plugin::IPluginAU* plug = InitializedPlug();
  ASSERT_NE(plug, nullptr);
  EXPECT_STREQ(plug->GetHostName(), "com.example.testhost");
  EXPECT_EQ(plug->GetHostVersion(false), 0x000A0703);
}

TEST_F(HostIdentification, MissingOrPartialVersionsGiveZeroParts)
{
  const struct
  {
    const char* version; // null: no version key
    int expected;
  } cases[] = {{nullptr, 0}, {"10.7", 0x000A0700}, {"3", 0x00030000}, {"2.x.5", 0x00020000}, {"", 0}};
  int n = 0;
  for (const auto& c : cases)
  {
    const std::string name = "Host" + std::to_string(n++) + ".app";
    MakeMainBundle(name, Key("CFBundleIdentifier", "com.example.host" + std::to_string(n)) +
                           (c.version ? Key("CFBundleVersion", c.version) : std::string()));
    const plugin::IPluginAU* plug = InitializedPlug();
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(plug->GetHostVersion(false), c.expected) << (c.version ? c.version : "(none)");
  }
}

TEST_F(HostIdentification, HostIdentifierPropertyComesFirst)
{
  MakeMainBundle("Host.app", Key("CFBundleIdentifier", "com.example.bundlehost") + Key("CFBundleVersion", "1.0.0"));
  mUnit.reset();
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  // NumVersion 10.7.3: major 10, minor and bug-fix 0x73.
  const AUHostIdentifier id = {CFSTR("Example Host"), 0x0A730000};
  ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, id));
  ASSERT_OK(mUnit->Initialize());
  const plugin::IPluginAU* plug = nullptr;
  ASSERT_OK(mUnit->GetProperty(plugin::IPluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug));
  EXPECT_STREQ(plug->GetHostName(), "Example Host");
  EXPECT_EQ(plug->GetHostVersion(false), 0x000A0703);
}

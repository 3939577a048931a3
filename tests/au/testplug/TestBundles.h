#pragma once

// The test plug-in bundles' folders and identities, and a fixture that loads one and opens an instance.

#include "tools/auhost/AuHost.h"

#include "au/PluginAU.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Status checks that print the status's message; more text may be streamed after them.
#define ZQ_STATUS_CHECK_(expr, fail)                                                                                   \
  switch (0)                                                                                                          \
  case 0:                                                                                                             \
  default:                                                                                                            \
    if (const ::auhost::Status status_ = (expr); status_.ok())                                                        \
    {                                                                                                                 \
    }                                                                                                                 \
    else                                                                                                              \
      fail() << #expr << ": " << status_.message() << " "
#define ASSERT_OK(expr) ZQ_STATUS_CHECK_(expr, FAIL)
#define EXPECT_OK(expr) ZQ_STATUS_CHECK_(expr, ADD_FAILURE)

namespace testbundles
{

constexpr UInt32 FourCC(const char (&s)[5])
{
  return (UInt32(UInt8(s[0])) << 24) | (UInt32(UInt8(s[1])) << 16) | (UInt32(UInt8(s[2])) << 8) | UInt32(UInt8(s[3]));
}

inline const char* GainBundlePath()
{
  return ZANIQ_TESTGAIN_BUNDLE;
}
inline const char* SynthBundlePath()
{
  return ZANIQ_TESTSYNTH_BUNDLE;
}

constexpr UInt32 kManufacturer = FourCC("ZqTs");
constexpr UInt32 kGainSubtype = FourCC("TGan");
constexpr UInt32 kGainVersion = 0x00010203; // 1.2.3

// TestGain's parameters.
enum : AudioUnitParameterID
{
  kGain = 0,
  kDelay = 1,
  kMode = 2,
  kMute = 3,
};

// Loads a bundle and opens one instance of its first component per test.
class BundleHost : public ::testing::Test
{
protected:
  explicit BundleHost(const char* path = GainBundlePath()) : mPath(path) {}

  void SetUp() override
  {
    ASSERT_OK(auhost::Bundle::Load(mPath, mBundle));
    ASSERT_OK(auhost::Instance::Open(mBundle->Main().component, mUnit));
  }

  AudioUnit Unit() const { return mUnit->Unit(); }
  // The plug-in object behind the instance, through the adapter's private property.
  plugin::PluginAU& Plug() const
  {
    plugin::PluginAU* plug = nullptr;
    EXPECT_OK(mUnit->GetProperty(plugin::PluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, plug));
    return *plug;
  }
  Float32 Get(AudioUnitParameterID id) const
  {
    Float32 v = -999.f;
    EXPECT_OK(mUnit->GetParameter(id, v));
    return v;
  }
  void Reopen(AudioComponent component)
  {
    mUnit.reset();
    ASSERT_OK(auhost::Instance::Open(component, mUnit));
  }

  std::string mPath;
  std::shared_ptr<const auhost::Bundle> mBundle;
  std::unique_ptr<auhost::Instance> mUnit;
};

} // namespace testbundles

// Stored ClassInfo dictionaries, good and damaged, restored into the test bundle as a host restores a session
// (tests/data/au/classinfo; see its README for the naming).

#include "au/testplug/TestBundles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace auhost;
using namespace testbundles;

namespace
{

CFRef<CFPropertyListRef> ReadPlist(const std::filesystem::path& path)
{
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  CFRef<CFDataRef> data = CFRef<CFDataRef>::Adopt(
    CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size())));
  return CFRef<CFPropertyListRef>::Adopt(
    CFPropertyListCreateWithData(nullptr, data.Get(), kCFPropertyListImmutable, nullptr, nullptr));
}

std::vector<Float32> Values(const Instance& unit)
{
  std::vector<Float32> v(4);
  for (AudioUnitParameterID id = 0; id < 4; ++id) EXPECT_OK(unit.GetParameter(id, v[id]));
  return v;
}

using BundleClassInfoCorpus = BundleHost;

} // namespace

TEST_F(BundleClassInfoCorpus, EveryStoredDictionary)
{
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(ZANIQ_TEST_DATA) / "au" / "classinfo"))
    if (entry.path().extension() == ".plist") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u);

  for (const auto& path : files)
  {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    // A fresh instance set away from every stored value.
    mUnit.reset();
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
    const Float32 away[4] = {5.f, 9.f, 2.f, 1.f};
    for (AudioUnitParameterID id = 0; id < 4; ++id) ASSERT_OK(mUnit->SetParameter(id, away[id]));
    const std::vector<Float32> before = Values(*mUnit);
    CFRef<CFPropertyListRef> plist = ReadPlist(path);
    ASSERT_TRUE(plist) << "does not parse";
    const Status status = mUnit->RestoreState(plist.Get());
    PresetDesc current;
    EXPECT_OK(mUnit->CurrentPreset(current));
    if (name.rfind("ok_", 0) == 0)
    {
      EXPECT_TRUE(status.ok()) << status.message();
      EXPECT_EQ(Values(*mUnit), (std::vector<Float32>{-12.f, 3.f, 1.f, 0.f}));
    }
    else if (name.rfind("bad_", 0) == 0)
    {
      EXPECT_EQ(status.code(), kAudioUnitErr_InvalidPropertyValue) << status.message();
      EXPECT_EQ(Values(*mUnit), before);
      EXPECT_EQ(current.number, 0);
    }
    // any_: only that nothing breaks; the instance still renders afterwards.
    ASSERT_OK(mUnit->Prepare(44100.0, 1, 1, 16));
    float out[16];
    float* channels[1] = {out};
    EXPECT_EQ(mUnit->RenderBlock(0, 16, channels, 1), noErr);
  }
}

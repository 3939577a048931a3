// Loading bundle folders: what a good bundle gives, and one clear line for each way a bundle can be broken.

#include "au/testplug/TestBundles.h"
#include "support/AuhostRun.h"

#include <filesystem>

using namespace auhost;
using namespace testbundles;
using toolstest::TempFolder;

namespace
{

// An Info.plist with one AudioComponents entry made of `entry` (XML between <dict> and </dict>).
std::string InfoPlist(const std::string& executable, const std::string& entry)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "<key>CFBundleExecutable</key><string>" +
         executable +
         "</string>\n<key>CFBundleIdentifier</key><string>com.zaniq.tests.copy</string>\n"
         "<key>AudioComponents</key>\n<array>\n<dict>\n" +
         entry + "</dict>\n</array>\n</dict>\n</plist>\n";
}

std::string Entry(const std::string& type, const std::string& subtype, const std::string& factory)
{
  return "<key>type</key><string>" + type + "</string>\n<key>subtype</key><string>" + subtype +
         "</string>\n<key>manufacturer</key><string>ZqTs</string>\n<key>name</key><string>Copy</string>\n"
         "<key>version</key><integer>7</integer>\n<key>factoryFunction</key><string>" +
         factory + "</string>\n";
}

// Copies the TestGain executable into a new bundle folder with the given Info.plist.
std::string CopyOfGain(const TempFolder& temp, const std::string& name, const std::string& plist)
{
  const std::string folder = temp / (name + ".component");
  temp.Write(name + ".component/Contents/Info.plist", plist);
  std::filesystem::create_directories(folder + "/Contents/MacOS");
  std::filesystem::copy_file(std::string(GainBundlePath()) + "/Contents/MacOS/TestGain",
                             folder + "/Contents/MacOS/" + name);
  return folder;
}

std::string LoadError(const std::string& folder)
{
  std::shared_ptr<const Bundle> bundle;
  const Status s = Bundle::Load(folder, bundle);
  EXPECT_FALSE(s.ok()) << folder;
  EXPECT_EQ(bundle, nullptr);
  EXPECT_EQ(s.message().find('\n'), std::string::npos) << s.message();
  return s.message();
}

} // namespace

TEST(BundleLoader, LoadsOnceAndRegistersOnce)
{
  TempFolder temp;
  const std::string folder = CopyOfGain(temp, "Copy", InfoPlist("Copy", Entry("aufx", "TGcp", "TestGain_Factory")));
  std::shared_ptr<const Bundle> first, second;
  ASSERT_OK(Bundle::Load(folder, first));
  ASSERT_OK(Bundle::Load(folder + "/", second));
  EXPECT_EQ(first, second);
  const ComponentEntry& e = first->Main();
  EXPECT_EQ(DescribeComponent(e.desc), "aufx 'TGcp' 'ZqTs'");
  AudioComponentDescription desc = e.desc;
  EXPECT_EQ(AudioComponentCount(&desc), 1u);

  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(e.component, unit));
  ASSERT_OK(unit->Prepare(44100.0, 1, 1, 32));
}

TEST(BundleLoader, BrokenBundlesSayWhatIsWrong)
{
  TempFolder temp;
  EXPECT_EQ(LoadError(""), "no bundle folder given");
  std::filesystem::create_directories(temp / "Empty.component");
  temp.Write("Text.component/Contents/MacOS/Text", "not a library\n");
  const struct
  {
    const char* name;
    std::string plist; // "": none written
    const char* error; // after "<folder>: "
  } cases[] = {
    {"Missing", "", "no such bundle folder"},
    {"Empty", "", "Contents/Info.plist is missing"},
    {"Damaged", "<plist><dict><key>CFBundleExecutable</key><str",
     "Contents/Info.plist cannot be read (damaged or empty)"},
    {"BadCode", InfoPlist("X", Entry("aufx", "TooLong", "X_Factory")),
     "AudioComponents[0]: 'subtype' must be four characters"},
    {"NoFactory", InfoPlist("X", Entry("aufx", "ABCD", "")), "AudioComponents[0]: 'factoryFunction' is missing"},
    {"NoExe", InfoPlist("NoExe", Entry("aufx", "ABCD", "X_Factory")), "the executable Contents/MacOS/NoExe is missing"},
    {"Text", InfoPlist("Text", Entry("aufx", "ABCD", "X_Factory")), "cannot load Contents/MacOS/Text: "},
  };
  for (const auto& c : cases)
  {
    const std::string folder = temp / (std::string(c.name) + ".component");
    if (!c.plist.empty()) temp.Write(std::string(c.name) + ".component/Contents/Info.plist", c.plist);
    const std::string error = LoadError(folder), want = folder + ": " + c.error;
    // The system loader's own words follow "cannot load ...: ".
    EXPECT_EQ(want.ends_with(": ") ? error.substr(0, want.size()) : error, want);
  }

  const std::string wrongFactory =
    CopyOfGain(temp, "Wrong", InfoPlist("Wrong", Entry("aufx", "TGwr", "Nope_Factory")));
  EXPECT_EQ(LoadError(wrongFactory), wrongFactory + ": Contents/MacOS/Wrong does not export Nope_Factory");
  // Nothing was registered for the refused bundle.
  AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGwr"), kManufacturer, 0, 0};
  EXPECT_EQ(AudioComponentCount(&desc), 0u);
}

TEST(BundleLoader, FourCharacterCodes)
{
  UInt32 code = 0;
  EXPECT_TRUE(StringToFourCC("aufx", code) && code == kAudioUnitType_Effect);
  EXPECT_FALSE(StringToFourCC("au\nx", code));
  EXPECT_EQ(FourCCToString(0x41000142), "A??B");
}

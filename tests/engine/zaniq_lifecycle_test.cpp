// Instances: editor work asked for off the main thread, the DSP state after a reset, the data folder, "plugin.ini",
// and the platform paths they stand on. (Pairing and numbering: the registry tests; the parameter table as the host
// sees it: the bundle tests.)

#include "engine/support/alloc_counter.h"
#include "engine/support/zaniq_env.h"
#include "platform/mac/PlatformPaths.h"

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>

#include <sys/stat.h>

#include <climits>
#include <thread>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

TEST_F(ZaniqTest, EditorWorkAskedForOffTheMainThreadWaitsForTheIdleTick)
{
  ZQCFUseVirtualClock(true);
  TestZANIQ& z = Make();
  std::thread([&] { z.Change(ZANIQ::kGUIMode, 0, kHost); }).join();
  EXPECT_EQ(std::pair(z.GetMirrorInt(ZANIQ::kGUIMode), z.PendingEditorWork()),
            std::pair(0, unsigned(ZANIQ::kEditorLayout)));
  (void)ZQCFAdvanceClock(0.05);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  // On the main thread nothing waits.
  z.Change(ZANIQ::kGUIMode, 1);
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  DestroyAll();
  ZQCFUseVirtualClock(false);
}

// --- DSP state ---

TEST_F(ZaniqTest, AResetAtANewRateReachesTheDSPWithoutAllocating)
{
  TestZANIQ& z = Make();
  z.Change(ZANIQ::kLatencyCompensation, 1000);
  z.RunBlock();
  z.SetSampleRate(96000.0);
  AllocationScope scope;
  z.OnReset();
  z.ResetDSP();
  z.ResetMeters();
  EXPECT_EQ(scope.Count(), 0u);
  EXPECT_EQ(std::tuple(z.GetDSPSampleRate(), z.GetPreFXMeter().SampleRate(), z.GetPostFXMeter().SampleRate()),
            std::tuple(96000.0, 96000.0, 96000.0));
  // The delay lines keep their capacity (4 s at 44.1 kHz) and length, and restart.
  const DelayLine& line = z.GetDelayLine(1);
  EXPECT_EQ(std::tuple(line.capacity, line.length, line.index), std::tuple(176400, 1000, 0));
}

// --- Data folder and plugin.ini ---

TEST_F(ZaniqTest, DataFolderIsCreatedUnderTheHomeFolderWithFullPermissionsOnce)
{
  const mode_t old = umask(022);
  TestZANIQ& z = Make();
  const mode_t during = umask(022);
  umask(old);
  EXPECT_EQ(during, 022); // the process umask was left alone

  const fs::path data = mHome.DataFolder();
  EXPECT_STREQ(z.GetDataFolder().Get(), data.c_str());
  EXPECT_STREQ(z.GetPresetFolder().Get(), (data / "AU").c_str());
  for (const fs::path& folder : {data, data / "AU"})
  {
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & (S_IFMT | 07777), S_IFDIR | 0777u) << folder;
  }

  // Existing folders are left as they are.
  chmod(data.c_str(), 0750);
  Make();
  struct stat st;
  ASSERT_EQ(stat(data.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
}

TEST_F(ZaniqTest, HasUIZeroInPluginIniRemovesTheEditor)
{
  EXPECT_TRUE(Make().HasUI()); // no file: editor available
  WriteFile(mHome.DataFolder() / "plugin.ini", "[Other]\nHasUI=0\n"); // the section is not looked at
  EXPECT_FALSE(Make().HasUI());
}

TEST(ZaniqIni, LinesAreMatchedByKeyAndTheLastMatchWins)
{
  ScopedHome home;
  const fs::path ini = home.Path() / "plugin.ini";
  auto read = [&](const std::string& text, int def = 1) {
    WriteFile(ini, text);
    return ReadIniFileValue(ini.c_str(), "HasUI", def);
  };

  EXPECT_EQ(read("HasUI=1\nHasUI=0\n"), 0);
  EXPECT_EQ(read("HasUI = 0\n"), 1);          // a blank before "=" is no match
  EXPECT_EQ(read(" HasUI=0\n"), 1);           // nor is a leading blank
  EXPECT_EQ(read("HasUIX=0\n"), 1);           // the key must be followed by "="
  EXPECT_EQ(read("HasUI=  7 trailing\n"), 7); // blanks after "=" and text after the number are fine
  EXPECT_EQ(read("HasUI=+4\r\n"), 4);
  EXPECT_EQ(read("HasUI=0\nHasUI=\nHasUI=x\n"), 0); // a match without a number changes nothing
  EXPECT_EQ(read("HasUI=99999999999999999999\n"), INT_MAX); // saturated, never undefined
  EXPECT_EQ(read("HasUI=-99999999999\n"), INT_MIN);
  // Lines are matched in pieces of 2047 characters: the piece after a long run stands on its own.
  EXPECT_EQ(read(std::string(2047, 'x') + "HasUI=5\n"), 5);
  EXPECT_EQ(read(std::string(2046, 'x') + "HasUI=5\n"), 1);

  EXPECT_EQ(ReadIniFileValue((home.Path() / "missing.ini").c_str(), "HasUI", 9), 9);
  EXPECT_EQ(ReadIniFileValue(ini.c_str(), "", 9), 9);
  EXPECT_EQ(ReadIniFileValue(nullptr, "HasUI", 9), 9);
}

// --- Resources: bundle -> shared location -> plain path (Application Support: the data folder above) ---

TEST(ZaniqPaths, ResourcesComeFromTheBundleThenTheSharedLocationThenAPlainPath)
{
  ScopedHome home;
  const fs::path bundleDir = home.Path() / "Plug.component", shared = home.Path() / "Music/Shared/Resources";
  for (const fs::path& file :
       {bundleDir / "Contents/Resources/knob.png", bundleDir / "Contents/Resources/img/dial.png", shared / "knob.png",
        shared / "meter.png"})
    WriteFile(file, "x");
  WriteFile(bundleDir / "Contents/Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>CFBundleIdentifier</key><string>com.example.resources</string></dict></plist>\n");
  const std::string dir = bundleDir.string();
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(dir.data()),
                                                         static_cast<CFIndex>(dir.size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url); // keeps the bundle live for lookups by identifier
  CFRelease(url);
  ASSERT_NE(bundle, nullptr);
  auto locate = [](const char* name, const char* type, const char* sub = "Shared") {
    Util_String s("unchanged");
    return LocateResource(name, type, s, "com.example.resources", nullptr, sub) ? std::string(s.Get()) : "-";
  };

  // Case is ignored in the extension test; folders in the name fall back to the name without its extension.
  EXPECT_EQ(fs::path(locate("knob.PNG", "png")), fs::canonical(bundleDir / "Contents/Resources/knob.png"));
  EXPECT_EQ(fs::path(locate("img/dial.png", "png")), fs::canonical(bundleDir / "Contents/Resources/img/dial.png"));
  // Not in the bundle: the shared location, which needs a sub-path.
  EXPECT_EQ(fs::path(locate("meter.png", "png")), shared / "meter.png");
  EXPECT_EQ(locate("meter.png", "png", nullptr), "-");
  // Another extension than the type: only an existing plain path is accepted.
  EXPECT_EQ(locate("knob.png", "svg"), "-");
  EXPECT_EQ(locate((shared / "knob.png").c_str(), "svg"), (shared / "knob.png").string());
  for (const char* name : {"knob", "", static_cast<const char*>(nullptr), "missing.png"})
    EXPECT_EQ(locate(name, "png"), "-") << (name ? name : "null");
  CFRelease(bundle);
}

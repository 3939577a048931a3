// The folder paths of the platform layer.

#include "platform/mac/PlatformPaths.h"
#include "support/ScopedHome.h"

#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace plugin;

namespace
{

TEST(MacPaths, UserFolders)
{
  ScopedHome home;
  const std::string h = home.Path().string();
  Util_String p;
  UserHomePath(p);
  EXPECT_EQ(std::string(p.Get()), h);
  DesktopPath(p);
  EXPECT_EQ(std::string(p.Get()), h + "/Desktop");
  UserMusicPath(p);
  EXPECT_EQ(std::string(p.Get()), h + "/Music");
  AppSupportSubPath(p, "ZANIQ");
  EXPECT_EQ(std::string(p.Get()), h + "/Library/Application Support/ZANIQ");
  AppSupportSubPath(p, nullptr);
  EXPECT_EQ(std::string(p.Get()), h + "/Library/Application Support/");
  VST3PresetsPath(p, "QNVX", "ZANIQ");
  EXPECT_EQ(std::string(p.Get()), h + "/Library/Audio/Presets/QNVX/ZANIQ/");
  VST3PresetsPath(p, "QNVX", "ZANIQ", true);
  EXPECT_STREQ(p.Get(), "/Library/Audio/Presets/QNVX/ZANIQ/");
  VST3PresetsPath(p, nullptr, nullptr, true);
  EXPECT_STREQ(p.Get(), "/Library/Audio/Presets///");
}

TEST(MacPaths, LongNamesAreCut)
{
  ScopedHome home;
  Util_String p;
  const std::string longName(3000, 'x');
  VST3PresetsPath(p, longName.c_str(), "y");
  EXPECT_EQ(std::string(p.Get()).size(), 1024u);
  // A cut never splits a character.
  std::string accents;
  for (int i = 0; i < 700; ++i)
    accents += "\xC3\xA9";
  AppSupportSubPath(p, accents.c_str());
  const std::string out = p.Get();
  const std::string tail = out.substr(out.rfind('/') + 1);
  EXPECT_EQ(tail.size(), 1024u);
  EXPECT_EQ(static_cast<unsigned char>(tail.back()), 0xA9);
}

TEST(MacPaths, Sandboxed)
{
  {
    ScopedHome home;
    EXPECT_FALSE(AppIsSandboxed());
  }
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/Users/me/Library/Containers/com.host.app/Data", 1);
  EXPECT_TRUE(AppIsSandboxed());
  if (old)
    setenv("HOME", saved.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST(MacPaths, PathsOfALoadedBundle)
{
  namespace fs = std::filesystem;
  ScopedHome home;
  const fs::path folder = home.Path() / "Plug-Ins" / "P.component";
  fs::create_directories(folder / "Contents/MacOS");
  fs::create_directories(folder / "Contents/Resources");
  std::ofstream(folder / "Contents/Info.plist")
    << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
       "<key>CFBundleIdentifier</key><string>com.example.paths.P</string>"
       "<key>CFBundleExecutable</key><string>P</string></dict></plist>\n";
  std::ofstream(folder / "Contents/MacOS/P") << "x";
  CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(folder.c_str()),
                                                         static_cast<CFIndex>(folder.string().size()), true);
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  ASSERT_NE(bundle, nullptr);

  Util_String p;
  HostPath(p, "com.example.paths.P");
  EXPECT_EQ(std::string(p.Get()), (folder / "Contents/MacOS/P").string());
  PluginPath(p, "com.example.paths.P");
  EXPECT_EQ(std::string(p.Get()), (home.Path() / "Plug-Ins").string() + "/");
  BundleResourcePath(p, "com.example.paths.P");
  EXPECT_EQ(std::string(p.Get()), (folder / "Contents/Resources").string());
  CFRelease(bundle);

  // A bundle that is not there leaves the path alone.
  p.Set("unchanged");
  HostPath(p, "com.nobody.none");
  PluginPath(p, "com.nobody.none");
  BundleResourcePath(p, nullptr);
  EXPECT_STREQ(p.Get(), "unchanged");
}

} // namespace

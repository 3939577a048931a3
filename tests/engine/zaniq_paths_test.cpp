// The platform paths the data folder and the resource lookup stand on: Application Support under the home
// folder and LocateResource's order bundle → shared location → plain path.

#include "platform/mac/PlatformPaths.h"
#include "engine/support/zaniq_env.h"

#include <CoreFoundation/CoreFoundation.h>

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

TEST(ZaniqPaths, AppSupportPathIsUnderTheHomeFolder)
{
  ScopedHome home;
  Util_String path;
  AppSupportPath(path);
  EXPECT_EQ(path.Get(), (home.Path() / "Library/Application Support").string());
  AppSupportPath(path, true);
  EXPECT_STREQ(path.Get(), "/System/Library/Application Support");
}

class ZaniqResources : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mBundleDir = mHome.Path() / "Plug.component";
    for (const fs::path& file :
         {mBundleDir / "Contents/Resources/knob.png", mBundleDir / "Contents/Resources/img/dial.png",
          mHome.Path() / "Music/Shared/Resources/knob.png", mHome.Path() / "Music/Shared/Resources/meter.png"})
      WriteFile(file, "x");
    WriteFile(mBundleDir / "Contents/Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
              "<key>CFBundleIdentifier</key><string>com.example.resources</string></dict></plist>\n");
    const std::string dir = mBundleDir.string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(dir.data()),
                                                           static_cast<CFIndex>(dir.size()), true);
    mBundle = CFBundleCreate(nullptr, url); // keeps the bundle live for lookups by identifier
    CFRelease(url);
    ASSERT_NE(mBundle, nullptr);
  }
  void TearDown() override
  {
    if (mBundle) CFRelease(mBundle);
  }

  bool Locate(const char* name, const char* type, std::string& out, const char* sub = "Shared")
  {
    Util_String s("unchanged");
    const bool found = LocateResource(name, type, s, kID, nullptr, sub);
    out = s.Get();
    return found;
  }

  static constexpr const char* kID = "com.example.resources";
  ScopedHome mHome;
  fs::path mBundleDir;
  CFBundleRef mBundle = nullptr;
};

TEST_F(ZaniqResources, BundleWinsThenSharedLocationThenPlainPath)
{
  std::string out;
  ASSERT_TRUE(Locate("knob.png", "png", out));
  EXPECT_EQ(fs::path(out), fs::canonical(mBundleDir / "Contents/Resources/knob.png"));

  // Case is ignored in the extension test; folders in the name fall back to the name without its extension.
  ASSERT_TRUE(Locate("knob.PNG", "png", out));
  EXPECT_EQ(fs::path(out).filename(), "knob.png");
  ASSERT_TRUE(Locate("img/dial.png", "png", out));
  EXPECT_EQ(fs::path(out), fs::canonical(mBundleDir / "Contents/Resources/img/dial.png"));

  // Not in the bundle: the shared location.
  ASSERT_TRUE(Locate("meter.png", "png", out));
  EXPECT_EQ(fs::path(out), mHome.Path() / "Music/Shared/Resources/meter.png");
  EXPECT_FALSE(Locate("meter.png", "png", out, nullptr)); // without a sub-path there is no shared location

  // Another extension than the type: only an existing plain path is accepted.
  const fs::path plain = mHome.Path() / "Music/Shared/Resources/knob.png";
  EXPECT_FALSE(Locate("knob.png", "svg", out));
  ASSERT_TRUE(Locate(plain.c_str(), "svg", out));
  EXPECT_EQ(out, plain.string());

  // A name without a dot is only a path.
  EXPECT_FALSE(Locate("knob", "png", out) || Locate("", "png", out) || Locate(nullptr, "png", out) ||
               Locate("knob.png", nullptr, out));
  EXPECT_FALSE(Locate("missing.png", "png", out));
  EXPECT_EQ(out, "");

  // The bundle lookup answers only for its own bundle and type.
  Util_String s("unchanged");
  EXPECT_FALSE(GetResourcePathFromBundle("knob.png", "png", s, "com.example.none") ||
               GetResourcePathFromBundle("knob.png", "svg", s, kID));
  EXPECT_STREQ(s.Get(), "unchanged");
  EXPECT_FALSE(GetResourcePathFromBundle("absent.png", "png", s, kID));
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(GetResourcePathFromBundle("knob.png", "png", s, kID));
}

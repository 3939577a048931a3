// The platform paths the data folder and the resource lookup stand on: Application Support under the home
// folder, the Foundation objects they use, and LocateResource's order bundle → shared location → plain path.

#include "platform/mac/PlatformPaths.h"
#include "engine/support/zaniq_env.h"

#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>


using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

std::string Str(NSString* s) { return s ? s->UTF8String() : "<nil>"; }
NSString* NS(const char* s) { return NSString::stringWithUTF8String(s); }

// Counts its destruction.
class Probe : public NSObject
{
public:
  explicit Probe(int& deaths) : mDeaths(deaths) {}
  ~Probe() override { ++mDeaths; }

private:
  int& mDeaths;
};

} // namespace

TEST(ZaniqPaths, AppSupportPathIsUnderTheHomeFolder)
{
  ScopedHome home;
  Util_String path;
  AppSupportPath(path);
  EXPECT_EQ(path.Get(), (home.Path() / "Library/Application Support").string());
  AppSupportPath(path, true);
  EXPECT_STREQ(path.Get(), "/System/Library/Application Support");
}

TEST(ZaniqPaths, SearchPathsAndPathStrings)
{
  ScopedHome home;
  NSAutoreleasePool pool;
  NSArray* user = NSSearchPathForDirectoriesInDomains(NSMusicDirectory, NSUserDomainMask, NO);
  ASSERT_EQ(user->count(), 1u);
  EXPECT_EQ(Str(static_cast<NSString*>(user->firstObject())), "~/Music");
  NSArray* all = NSSearchPathForDirectoriesInDomains(NSLibraryDirectory, NSAllDomainsMask, YES);
  ASSERT_EQ(all->count(), 4u);
  EXPECT_EQ(Str(static_cast<NSString*>(all->objectAtIndex(0))), (home.Path() / "Library").string());
  EXPECT_EQ(Str(static_cast<NSString*>(all->objectAtIndex(1))), "/Library");
  EXPECT_EQ(all->objectAtIndex(4), nullptr);
  EXPECT_EQ(NSSearchPathForDirectoriesInDomains(NSDesktopDirectory, NSLocalDomainMask, YES)->count(), 0u);

  NSString* p = NS("/a/b.dir/knob@2x.PNG");
  EXPECT_EQ(Str(p->lastPathComponent()), "knob@2x.PNG");
  EXPECT_EQ(Str(p->pathExtension()), "PNG");
  EXPECT_EQ(Str(p->stringByDeletingPathExtension()), "/a/b.dir/knob@2x");
  EXPECT_EQ(Str(NS("/a/.hidden")->pathExtension()), "");
  EXPECT_EQ(Str(NS("/a/.hidden")->stringByDeletingPathExtension()), "/a/.hidden");
  EXPECT_EQ(Str(NS("/tmp/")->stringByAppendingPathComponent(NS("/x"))), "/tmp/x");
  EXPECT_EQ(Str(NS("/")->stringByAppendingPathComponent(NS("x"))), "/x");
  EXPECT_EQ(Str(NS("~/y")->stringByExpandingTildeInPath()), (home.Path() / "y").string());
  EXPECT_EQ(Str(NS("~other/y")->stringByExpandingTildeInPath()), "~other/y");
  EXPECT_EQ(NS(nullptr), nullptr);
}

TEST(ZaniqPaths, AutoreleasedObjectsLiveUntilTheirPoolEnds)
{
  int deaths = 0;
  {
    NSAutoreleasePool outer;
    Probe* a = new Probe(deaths);
    a->autorelease();
    {
      NSAutoreleasePool inner;
      Probe* b = new Probe(deaths);
      b->retain();
      b->autorelease();
      NSObject* objects[] = {b};
      NSArray::arrayWithObjects_count(objects, 1); // holds one more reference until the inner pool ends
      EXPECT_EQ(b->retainCount(), 3u);
      inner.drain();
      EXPECT_EQ(deaths, 0);
      EXPECT_EQ(b->retainCount(), 1u);
      b->release();
      EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 1); // a belongs to the outer pool
  }
  EXPECT_EQ(deaths, 2);
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
  EXPECT_FALSE(Locate("knob", "png", out));
  EXPECT_FALSE(Locate("missing.png", "png", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(Locate("", "png", out));
  EXPECT_FALSE(Locate(nullptr, "png", out));
  EXPECT_FALSE(Locate("knob.png", nullptr, out));
}

TEST_F(ZaniqResources, BundleLookupAnswersOnlyForItsBundle)
{
  Util_String s("unchanged");
  EXPECT_FALSE(GetResourcePathFromBundle("knob.png", "png", s, "com.example.none"));
  EXPECT_STREQ(s.Get(), "unchanged");
  EXPECT_FALSE(GetResourcePathFromBundle("knob.png", "svg", s, kID));
  EXPECT_STREQ(s.Get(), "unchanged");
  EXPECT_FALSE(GetResourcePathFromBundle("absent.png", "png", s, kID));
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(GetResourcePathFromBundle("knob.png", "png", s, kID));
}

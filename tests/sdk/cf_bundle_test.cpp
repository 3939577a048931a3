// Bundles: Info.plist, the main bundle, the identifier registry, URLs and resources.
#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace
{

std::string Text(CFTypeRef s)
{
  char buf[1024];
  return CFStringGetCString(static_cast<CFStringRef>(s), buf, sizeof buf, kCFStringEncodingUTF8) ? buf : "<none>";
}

std::string Path(CFURLRef url)
{
  UInt8 buf[4096];
  return CFURLGetFileSystemRepresentation(url, true, buf, sizeof buf) ? reinterpret_cast<char*>(buf) : "<none>";
}

void Write(const fs::path& file, const std::string& text)
{
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string InfoPlist(const std::string& identifier, const std::string& version)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>CFBundleIdentifier</key><string>" +
         identifier +
         "</string>"
         "<key>CFBundleVersion</key><string>" +
         version +
         "</string>"
         "<key>CFBundleExecutable</key><string>Lib</string>"
         "</dict></plist>\n";
}

CFURLRef URLFor(const fs::path& p, bool dir = true)
{
  const std::string s = p.string();
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(s.data()),
                                                 static_cast<CFIndex>(s.size()), dir);
}

class CFBundleTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    char tmpl[] = "/tmp/zqcf_bundle_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = fs::canonical(tmpl);
  }
  void TearDown() override
  {
    ZQCFSetMainBundlePath(nullptr);
    fs::remove_all(root_);
  }
  fs::path root_;
};

TEST_F(CFBundleTest, MainBundleIdentifierAndVersion)
{
  Write(root_ / "Host.app/Contents/Info.plist", InfoPlist("com.example.Host", "10.7.3"));
  ZQCFSetMainBundlePath((root_ / "Host.app").c_str());
  CFBundleRef main = CFBundleGetMainBundle();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Text(CFBundleGetIdentifier(main)), "com.example.Host");
  EXPECT_EQ(Text(CFBundleGetValueForInfoDictionaryKey(main, kCFBundleVersionKey)), "10.7.3");
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.Host")), main);
  CFURLRef url = CFBundleCopyBundleURL(main);
  EXPECT_EQ(Path(url), (root_ / "Host.app").string());
  CFRelease(url);

  // Unset: a bundle without Info.plist, so no identifier and no version.
  ZQCFSetMainBundlePath(nullptr);
  CFBundleRef bare = CFBundleGetMainBundle();
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(CFBundleGetIdentifier(bare), nullptr);
  EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bare, kCFBundleVersionKey), nullptr);
  EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(bare)), 0);
  EXPECT_EQ(Text(CFBundleGetIdentifier(main)), "com.example.Host"); // the old one stays valid
}

TEST_F(CFBundleTest, DamagedOrMissingInfoPlistGivesAnEmptyDictionary)
{
  Write(root_ / "Bad.app/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>x");
  ZQCFSetMainBundlePath((root_ / "Bad.app").c_str());
  EXPECT_EQ(CFBundleGetIdentifier(CFBundleGetMainBundle()), nullptr);
  Write(root_ / "Array.app/Contents/Info.plist", "<plist><array/></plist>");
  ZQCFSetMainBundlePath((root_ / "Array.app").c_str());
  EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(CFBundleGetMainBundle())), 0);

  fs::create_directories(root_ / "Empty.component");
  CFURLRef url = URLFor(root_ / "Empty.component");
  CFBundleRef b = CFBundleCreate(nullptr, url);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(CFBundleGetIdentifier(b), nullptr);
  CFRelease(b);
  CFRelease(url);

  CFURLRef missing = URLFor(root_ / "Nowhere.component");
  EXPECT_EQ(CFBundleCreate(nullptr, missing), nullptr);
  CFRelease(missing);
}

TEST_F(CFBundleTest, LiveBundlesAreFoundByIdentifier)
{
  const fs::path folder = root_ / "ZANIQ.component";
  Write(folder / "Contents/Info.plist", InfoPlist("com.Quenlar.audiounit.ZANIQ", "2.2.11"));
  CFURLRef url = URLFor(folder);
  CFBundleRef a = CFBundleCreate(nullptr, url);
  ASSERT_NE(a, nullptr);
  // The same folder, spelled differently, gives the same object.
  CFURLRef other = URLFor(root_ / "." / "ZANIQ.component" / "");
  CFBundleRef b = CFBundleCreate(nullptr, other);
  EXPECT_EQ(a, b);
  EXPECT_EQ(CFGetRetainCount(a), 2);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.Quenlar.audiounit.ZANIQ")), a);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.other")), nullptr);
  CFRelease(b);
  CFRelease(a);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.Quenlar.audiounit.ZANIQ")), nullptr);
  CFRelease(other);
  CFRelease(url);
}

TEST_F(CFBundleTest, ResourceLookupStaysInsideResources)
{
  const fs::path folder = root_ / "R.component";
  Write(folder / "Contents/Info.plist", InfoPlist("com.example.R", "1"));
  Write(folder / "Contents/Resources/knob.png", "png");
  Write(folder / "Contents/Resources/img/knob@2x.png", "png");
  Write(folder / "Contents/Resources/verdana.ttf", "ttf");
  Write(folder / "Contents/secret.txt", "no");
  CFURLRef url = URLFor(folder);
  CFBundleRef b = CFBundleCreate(nullptr, url);
  ASSERT_NE(b, nullptr);
  const std::string res = (folder / "Contents/Resources").string();

  CFURLRef r = CFBundleCopyResourceURL(b, CFSTR("knob"), CFSTR("png"), nullptr);
  EXPECT_EQ(Path(r), res + "/knob.png");
  CFRelease(r);
  r = CFBundleCopyResourceURL(b, CFSTR("verdana.ttf"), nullptr, nullptr);
  EXPECT_EQ(Path(r), res + "/verdana.ttf");
  CFRelease(r);
  r = CFBundleCopyResourceURL(b, CFSTR("knob@2x"), CFSTR(".png"), CFSTR("img"));
  EXPECT_EQ(Path(r), res + "/img/knob@2x.png");
  CFRelease(r);
  r = CFBundleCopyResourceURL(b, CFSTR("img/knob@2x"), CFSTR("png"), nullptr);
  EXPECT_EQ(Path(r), res + "/img/knob@2x.png");
  CFRelease(r);
  r = CFBundleCopyResourcesDirectoryURL(b);
  EXPECT_EQ(Path(r), res);
  CFRelease(r);

  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("knob"), CFSTR("svg"), nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("../secret"), CFSTR("txt"), nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("secret"), CFSTR("txt"), CFSTR("..")), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, CFSTR("/etc/passwd"), nullptr, nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(b, nullptr, CFSTR("png"), nullptr), nullptr);
  CFRelease(b);
  CFRelease(url);
}

TEST_F(CFBundleTest, LoadedExecutableKeepsTheBundleRegistered)
{
  // Any shared library serves as the executable: the one that holds cos().
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(&::cos)), &info), 0);
  const fs::path folder = root_ / "L.component";
  Write(folder / "Contents/Info.plist", InfoPlist("com.example.L", "1"));
  fs::create_directories(folder / "Contents/MacOS");
  fs::create_symlink(info.dli_fname, folder / "Contents/MacOS/Lib");

  CFURLRef url = URLFor(folder);
  CFBundleRef b = CFBundleCreate(nullptr, url);
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(CFBundleIsExecutableLoaded(b));
  CFURLRef exe = CFBundleCopyExecutableURL(b);
  EXPECT_EQ(Path(exe), (folder / "Contents/MacOS/Lib").string());
  CFRelease(exe);
  auto fn = reinterpret_cast<double (*)(double)>(CFBundleGetFunctionPointerForName(b, CFSTR("cos")));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(0.0), 1.0);
  EXPECT_TRUE(CFBundleIsExecutableLoaded(b));
  EXPECT_EQ(CFBundleGetFunctionPointerForName(b, CFSTR("no_such_symbol_here")), nullptr);
  CFRelease(b);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.L")), b); // held by its loaded library
  CFBundleUnloadExecutable(b);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.L")), nullptr);
  CFRelease(url);
}

TEST(CFURL, PathsRoundTrip)
{
  CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp/a b/c.ttf"), kCFURLPOSIXPathStyle, false);
  CFStringRef path = CFURLCopyFileSystemPath(u, kCFURLPOSIXPathStyle);
  EXPECT_EQ(Text(path), "/tmp/a b/c.ttf");
  CFRelease(path);
  CFStringRef last = CFURLCopyLastPathComponent(u);
  EXPECT_EQ(Text(last), "c.ttf");
  CFRelease(last);
  UInt8 small[5];
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(u, true, small, sizeof small));
  CFRelease(u);

  CFURLRef dir = CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp/x/"), kCFURLPOSIXPathStyle, true);
  CFURLRef child = CFURLCreateCopyAppendingPathComponent(nullptr, dir, CFSTR("y.png"), false);
  EXPECT_EQ(Path(child), "/tmp/x/y.png");
  EXPECT_TRUE(CFURLHasDirectoryPath(dir));
  EXPECT_FALSE(CFURLHasDirectoryPath(child));
  CFRelease(child);
  CFRelease(dir);
  EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, CFSTR("C:\\x"), kCFURLWindowsPathStyle, false), nullptr);
  EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, CFSTR(""), kCFURLPOSIXPathStyle, false), nullptr);
}

} // namespace

// Bundles: Info.plist, the main bundle, and resources that stay inside their folder.
#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

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

// The file system path of a URL, which is released.
std::string Path(CFURLRef url)
{
  UInt8 buf[4096];
  const bool ok = url && CFURLGetFileSystemRepresentation(url, true, buf, sizeof buf);
  if (url) CFRelease(url);
  return ok ? reinterpret_cast<char*>(buf) : "<none>";
}

CFURLRef URLFor(const fs::path& p)
{
  const std::string s = p.string();
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(s.data()),
                                                 static_cast<CFIndex>(s.size()), true);
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
  void Write(const fs::path& file, const std::string& text) const
  {
    fs::create_directories(root_ / file.parent_path());
    std::ofstream(root_ / file, std::ios::binary) << text;
  }
  // A bundle folder with an Info.plist naming the identifier, the version and the executable "Lib".
  fs::path MakeBundle(const fs::path& name, const std::string& identifier, const std::string& version = "1") const
  {
    Write(name / "Contents/Info.plist",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
          "<key>CFBundleIdentifier</key><string>" +
              identifier + "</string><key>CFBundleVersion</key><string>" + version +
              "</string><key>CFBundleExecutable</key><string>Lib</string></dict></plist>\n");
    return root_ / name;
  }
  // Creates the bundle of a folder (the URL is released).
  static CFBundleRef Create(const fs::path& folder)
  {
    CFURLRef url = URLFor(folder);
    CFBundleRef b = CFBundleCreate(nullptr, url);
    CFRelease(url);
    return b;
  }
  fs::path root_;
};

TEST_F(CFBundleTest, MainBundleAndDamagedInfoPlists)
{
  ZQCFSetMainBundlePath(MakeBundle("Host.app", "com.example.Host", "10.7.3").c_str());
  CFBundleRef main = CFBundleGetMainBundle();
  EXPECT_EQ(Text(CFBundleGetIdentifier(main)), "com.example.Host");
  EXPECT_EQ(Text(CFBundleGetValueForInfoDictionaryKey(main, kCFBundleVersionKey)), "10.7.3");
  EXPECT_EQ(Path(CFBundleCopyBundleURL(main)), (root_ / "Host.app").string());

  // A damaged Info.plist, or one that is not a dictionary, gives an empty dictionary.
  Write("Bad.app/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>x");
  ZQCFSetMainBundlePath((root_ / "Bad.app").c_str());
  EXPECT_EQ(CFBundleGetIdentifier(CFBundleGetMainBundle()), nullptr);
  EXPECT_EQ(Text(CFBundleGetIdentifier(main)), "com.example.Host"); // the old one stays valid
  Write("Array.app/Contents/Info.plist", "<plist><array/></plist>");
  ZQCFSetMainBundlePath((root_ / "Array.app").c_str());
  EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(CFBundleGetMainBundle())), 0);
  EXPECT_EQ(Create(root_ / "Nowhere.component"), nullptr);
}

TEST_F(CFBundleTest, ResourceLookupStaysInsideResources)
{
  const fs::path folder = MakeBundle("R.component", "com.example.R");
  for (const char* file : {"Resources/knob.png", "Resources/img/knob@2x.png", "Resources/verdana.ttf", "secret.txt"})
    Write(fs::path("R.component/Contents") / file, "data");
  CFBundleRef b = Create(folder);
  ASSERT_NE(b, nullptr);
  const std::string res = (folder / "Contents/Resources").string();
  struct Case
  {
    CFStringRef name, type, subdir;
    std::string expect;
  };
  const Case cases[] = {
      {CFSTR("knob"), CFSTR("png"), nullptr, res + "/knob.png"},
          {CFSTR("knob@2x"), CFSTR(".png"), CFSTR("img"), res + "/img/knob@2x.png"},
      {CFSTR("img/knob@2x"), CFSTR("png"), nullptr, res + "/img/knob@2x.png"},
      {CFSTR("knob"), CFSTR("svg"), nullptr, "<none>"},
      {CFSTR("../secret"), CFSTR("txt"), nullptr, "<none>"},
      {CFSTR("secret"), CFSTR("txt"), CFSTR(".."), "<none>"},
      {CFSTR("/etc/passwd"), nullptr, nullptr, "<none>"},
      {nullptr, CFSTR("png"), nullptr, "<none>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Path(CFBundleCopyResourceURL(b, c.name, c.type, c.subdir)), c.expect) << Text(c.name);
  EXPECT_EQ(Path(CFBundleCopyResourcesDirectoryURL(b)), res);
  CFRelease(b);
}

} // namespace

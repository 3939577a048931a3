// The user's folders, the folders of a loaded bundle, and the resource lookup's order: bundle, shared location,
// plain path.

#include "platform/mac/PlatformPaths.h"
#include "support/ScopedHome.h"

#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace plugin;
namespace fs = std::filesystem;

namespace
{

constexpr const char* kBundleID = "com.example.zaniq.folders";

void Touch(const fs::path& file)
{
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}

// A bundle folder "Plug.component" under root, loaded (known by its identifier) while this lives.
struct LoadedBundle
{
  explicit LoadedBundle(const fs::path& root, bool withExecutable = true) : folder(root / "Plug.component")
  {
    fs::create_directories(folder / "Contents/Resources");
    std::ofstream(folder / "Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
        << "<string>" << kBundleID << "</string><key>CFBundleExecutable</key><string>ZANIQ</string></dict></plist>\n";
    if (withExecutable) Touch(folder / "Contents/MacOS/ZANIQ");
    const std::string path = folder.string();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                           static_cast<CFIndex>(path.size()), true);
    bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
  }
  ~LoadedBundle()
  {
    if (bundle) CFRelease(bundle);
  }
  LoadedBundle(const LoadedBundle&) = delete;
  LoadedBundle& operator=(const LoadedBundle&) = delete;
  fs::path Resources() const { return folder / "Contents/Resources"; }

  fs::path folder;
  CFBundleRef bundle = nullptr;
};

std::string Text(const Util_String& s)
{
  return s.Get();
}

TEST(MacPaths, UserFolders)
{
  ScopedHome home;
  const std::string h = home.Path().string();
  Util_String p;
  UserHomePath(p);
  EXPECT_EQ(Text(p), h);
  UserMusicPath(p);
  EXPECT_EQ(Text(p), h + "/Music");
  DesktopPath(p);
  EXPECT_EQ(Text(p), h + "/Desktop");
  AppSupportPath(p);
  EXPECT_EQ(Text(p), h + "/Library/Application Support");
  AppSupportPath(p, true);
  EXPECT_EQ(Text(p), "/System/Library/Application Support");
  AppSupportSubPath(p, "ZANIQ");
  EXPECT_EQ(Text(p), h + "/Library/Application Support/ZANIQ");
  VST3PresetsPath(p, "QNVX", "ZANIQ");
  EXPECT_EQ(Text(p), h + "/Library/Audio/Presets/QNVX/ZANIQ/");
  VST3PresetsPath(p, "QNVX", "ZANIQ", true);
  EXPECT_EQ(Text(p), "/Library/Audio/Presets/QNVX/ZANIQ/");

  // A cut that would fall inside a character backs off to its start: 1 + 2 × 511 bytes, not 1024.
  std::string name = "x";
  for (int i = 0; i < 700; ++i)
    name += "\xC3\xA9";
  AppSupportSubPath(p, name.c_str());
  EXPECT_EQ(Text(p), h + "/Library/Application Support/" + name.substr(0, 1023));
}

// A host in an app container has its home folder inside the container.
TEST(MacPaths, SandboxedByTheHomeFolder)
{
  ScopedHome home;
  EXPECT_FALSE(AppIsSandboxed());
  const fs::path container = home.Path() / "Library/Containers/com.example.host/Data";
  fs::create_directories(container);
  const std::string old = std::getenv("HOME");
  setenv("HOME", container.c_str(), 1);
  EXPECT_TRUE(AppIsSandboxed());
  setenv("HOME", old.c_str(), 1);
}

// The executable, the folder holding the bundle, and its resource folder; without the bundle (or its executable)
// the answer is left as it was.
TEST(MacPaths, FoldersOfALoadedBundle)
{
  ScopedHome home;
  Util_String p;
  for (auto* f : {&HostPath, &PluginPath, &BundleResourcePath})
  {
    p.Set("before");
    f(p, kBundleID);
    EXPECT_EQ(Text(p), "before") << "no such bundle yet";
    f(p, "");
    EXPECT_EQ(Text(p), "before");
  }
  {
    LoadedBundle bundle(home.Path());
    ASSERT_NE(bundle.bundle, nullptr);
    HostPath(p, kBundleID);
    EXPECT_EQ(Text(p), (bundle.folder / "Contents/MacOS/ZANIQ").string());
    PluginPath(p, kBundleID);
    EXPECT_EQ(Text(p), home.Path().string() + "/");
    BundleResourcePath(p, kBundleID);
    EXPECT_EQ(fs::path(Text(p)), bundle.Resources());
  }
  fs::remove_all(home.Path() / "Plug.component");
  LoadedBundle noExecutable(home.Path(), false);
  ASSERT_NE(noExecutable.bundle, nullptr);
  p.Set("before");
  HostPath(p, kBundleID);
  EXPECT_EQ(Text(p), "before");
}

// Which file each name finds: the extension must be the type (case ignored) before the bundle or the shared
// location is asked; the bundle wins over the shared location; an existing path is taken as it is last.
TEST(MacPaths, ResourceLookupOrder)
{
  ScopedHome home;
  LoadedBundle bundle(home.Path());
  ASSERT_NE(bundle.bundle, nullptr);
  const fs::path shared = home.Path() / "Music/Shared/Resources";
  for (const char* f : {"knob.png", "img/dial.png", "both.png"})
    Touch(bundle.Resources() / f);
  for (const char* f : {"shared.png", "both.png"})
    Touch(shared / f);
  const std::string loose = (home.Path() / "loose.png").string();
  const std::string plain = (home.Path() / "plain").string();
  Touch(loose);
  Touch(plain);

  const std::string inBundle = bundle.Resources().string() + "/";
  const std::string inShared = shared.string() + "/";
  struct Row
  {
    std::string name, type;
    const char* subPath;
    bool found;
    std::string path;
  };
  const Row rows[] = {
      {"knob.png", "png", "Shared", true, inBundle + "knob.png"},
      {"knob.PNG", "png", "Shared", true, inBundle + "knob.png"},
      {"other/knob.png", "png", "Shared", true, inBundle + "knob.png"}, // by its last component first
      {"img/dial.png", "png", "Shared", true, inBundle + "img/dial.png"},
      {"both.png", "png", "Shared", true, inBundle + "both.png"},
      {"shared.png", "png", "Shared", true, inShared + "shared.png"},
      {"shared.png", "png", nullptr, false, ""},
      {"shared.png", "png", "", false, ""},
      {"knob.png", "svg", "Shared", false, ""},
      {"knob", "png", "Shared", false, ""},
      {loose, "svg", "Shared", true, loose},
      {plain, "png", "Shared", true, plain},
      {"missing.png", "png", "Shared", false, ""},
  };
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.name + " as " + r.type + " in " + (r.subPath ? r.subPath : "(null)"));
    Util_String p;
    EXPECT_EQ(LocateResource(r.name.c_str(), r.type.c_str(), p, kBundleID, nullptr, r.subPath), r.found);
    if (r.found) { EXPECT_EQ(Text(p), r.path); }
  }

  // A failed lookup empties the answer once it has looked; without the bundle it has not.
  Util_String p;
  p.Set("before");
  EXPECT_FALSE(GetResourcePathFromBundle("missing.png", "png", p, kBundleID));
  EXPECT_EQ(Text(p), "");
  p.Set("before");
  EXPECT_FALSE(GetResourcePathFromBundle("knob.png", "png", p, "com.example.none"));
  EXPECT_EQ(Text(p), "before");
  EXPECT_FALSE(GetResourcePathFromSharedLocation("missing.png", "png", p, "Shared"));
  EXPECT_EQ(Text(p), "");
  EXPECT_FALSE(LocateResource("", "png", p, kBundleID, nullptr, "Shared"));
  EXPECT_FALSE(LocateResource(nullptr, "png", p, kBundleID, nullptr, "Shared"));
}

} // namespace

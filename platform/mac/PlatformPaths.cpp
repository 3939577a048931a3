#include "platform/mac/PlatformPaths.h"

#include <Foundation/Foundation.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace plugin
{

namespace
{

// The extension test of the resource lookups: the text after the last "." (all of name without one) equals
// type, ignoring case.
bool ExtensionMatches(const char* name, const char* type)
{
  const char* dot = strrchr(name, '.');
  return strcasecmp(dot ? dot + 1 : name, type) == 0;
}

NSString* UserFolder(NSSearchPathDirectory directory)
{
  NSArray* paths = NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, YES);
  return static_cast<NSString*>(paths->firstObject());
}

// The bundle with that identifier, retained by nobody here: bundles stay for the life of the process.
CFBundleRef BundleWithID(const char* bundleID)
{
  if (!bundleID || !*bundleID) return nullptr;
  CFStringRef id = CFStringCreateWithCString(nullptr, bundleID, kCFStringEncodingUTF8);
  if (!id) return nullptr;
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
  CFRelease(id);
  return bundle;
}

// The POSIX path of url (released here); empty when there is none.
std::string TakeURLPath(CFURLRef url)
{
  if (!url) return {};
  UInt8 buf[4096];
  const bool ok = CFURLGetFileSystemRepresentation(url, true, buf, sizeof buf);
  CFRelease(url);
  return ok ? std::string(reinterpret_cast<const char*>(buf)) : std::string();
}

// text cut to at most maxBytes bytes, never inside a UTF-8 sequence.
std::string CutUTF8(std::string text, size_t maxBytes)
{
  if (text.size() <= maxBytes) return text;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
    --n;
  text.resize(n);
  return text;
}

void SetUserFolder(Util_String& path, NSSearchPathDirectory directory)
{
  NSAutoreleasePool pool;
  NSString* folder = UserFolder(directory);
  path.Set(folder ? folder->UTF8String() : "");
}

// The path of one of the bundle's URLs (copied by copyURL); path unchanged without the bundle or the URL.
void SetBundleURLPath(Util_String& path, const char* bundleID, CFURLRef (*copyURL)(CFBundleRef))
{
  NSAutoreleasePool pool;
  CFBundleRef bundle = BundleWithID(bundleID);
  if (!bundle) return;
  const std::string found = TakeURLPath(copyURL(bundle));
  if (!found.empty()) path.Set(found.c_str());
}

} // namespace

void AppSupportPath(Util_String& path, bool isSystem)
{
  NSAutoreleasePool pool;
  NSArray* paths = NSSearchPathForDirectoriesInDomains(NSApplicationSupportDirectory,
                                                       isSystem ? NSSystemDomainMask : NSUserDomainMask, YES);
  const auto* first = static_cast<const NSString*>(paths->firstObject());
  path.Set(first ? first->UTF8String() : "");
}

bool GetResourcePathFromBundle(const char* name, const char* type, Util_String& result, const char* bundleID)
{
  if (!name || !type || !bundleID || !ExtensionMatches(name, type)) return false;

  NSAutoreleasePool pool;
  NSString* nsName = NSString::stringWithUTF8String(name);
  NSString* nsType = NSString::stringWithUTF8String(type);
  // A name that is not UTF-8 names no file of the platform.
  if (!nsName || !nsType) return false;
  NSBundle* bundle = NSBundle::bundleWithIdentifier(NSString::stringWithUTF8String(bundleID));
  NSString* base = nsName->lastPathComponent()->stringByDeletingPathExtension();
  if (!bundle || !*base->UTF8String()) return false;

  NSString* path = bundle->pathForResource_ofType(base, nsType);
  if (!path) path = bundle->pathForResource_ofType(nsName->stringByDeletingPathExtension(), nsType);

  if (path && NSFileManager::defaultManager()->fileExistsAtPath(path))
  {
    result.Set(path->UTF8String());
    return true;
  }
  result.Set("");
  return false;
}

bool GetResourcePathFromSharedLocation(const char* name, const char* type, Util_String& result,
                                       const char* sharedResourcesSubPath)
{
  if (!name || !type || !ExtensionMatches(name, type)) return false;

  NSAutoreleasePool pool;
  NSString* nsName = NSString::stringWithUTF8String(name);
  NSString* subPath = sharedResourcesSubPath ? NSString::stringWithUTF8String(sharedResourcesSubPath) : nullptr;
  NSString* music = UserFolder(NSMusicDirectory);
  if (nsName && subPath && *sharedResourcesSubPath && music)
  {
    NSString* base = nsName->lastPathComponent()->stringByDeletingPathExtension();
    NSString* candidate = music->stringByAppendingPathComponent(subPath)
                            ->stringByAppendingPathComponent(NSString::stringWithUTF8String("Resources"))
                            ->stringByAppendingPathComponent(base)
                            ->stringByAppendingPathExtension(NSString::stringWithUTF8String(type));
    if (NSFileManager::defaultManager()->fileExistsAtPath(candidate))
    {
      result.Set(candidate->UTF8String());
      return true;
    }
  }
  result.Set("");
  return false;
}

bool LocateResource(const char* name, const char* type, Util_String& result, const char* bundleID, void* pHInstance,
                    const char* sharedResourcesSubPath)
{
  (void)pHInstance;
  if (!name || !*name) return false;
  if (GetResourcePathFromBundle(name, type, result, bundleID)) return true;
  if (GetResourcePathFromSharedLocation(name, type, result, sharedResourcesSubPath)) return true;

  NSAutoreleasePool pool;
  if (NSFileManager::defaultManager()->fileExistsAtPath(NSString::stringWithUTF8String(name)))
  {
    result.Set(name);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Folders of the user, the host and the bundle
// ---------------------------------------------------------------------------------------------------------------

bool AppIsSandboxed()
{
  NSAutoreleasePool pool;
  NSString* home = NSHomeDirectory();
  return home && std::strstr(home->UTF8String(), "Library/Containers/") != nullptr;
}

void VST3PresetsPath(Util_String& path, const char* mfrName, const char* pluginName, bool isSystem)
{
  NSAutoreleasePool pool;
  NSArray* paths =
    NSSearchPathForDirectoriesInDomains(NSLibraryDirectory, isSystem ? NSLocalDomainMask : NSUserDomainMask, YES);
  const auto* library = static_cast<const NSString*>(paths->firstObject());
  std::string out = std::string(library ? library->UTF8String() : "") + "/Audio/Presets/" + (mfrName ? mfrName : "") +
                    "/" + (pluginName ? pluginName : "") + "/";
  path.Set(CutUTF8(std::move(out), 1024).c_str());
}

void AppSupportSubPath(Util_String& path, const char* name)
{
  AppSupportPath(path, false);
  std::string out = path.Get();
  out += "/";
  out += CutUTF8(name ? name : "", 1024);
  path.Set(out.c_str());
}

void HostPath(Util_String& path, const char* bundleID)
{
  SetBundleURLPath(path, bundleID, CFBundleCopyExecutableURL);
}

void PluginPath(Util_String& path, const char* bundleID)
{
  NSAutoreleasePool pool;
  CFBundleRef bundle = BundleWithID(bundleID);
  if (!bundle) return;
  std::string folder = TakeURLPath(CFBundleCopyBundleURL(bundle));
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return;
  folder.resize(slash + 1);
  path.Set(folder.c_str());
}

void BundleResourcePath(Util_String& path, const char* bundleID)
{
  SetBundleURLPath(path, bundleID, CFBundleCopyResourcesDirectoryURL);
}

void DesktopPath(Util_String& path)
{
  SetUserFolder(path, NSDesktopDirectory);
}

void UserHomePath(Util_String& path)
{
  NSAutoreleasePool pool;
  NSString* home = NSHomeDirectory();
  path.Set(home ? home->UTF8String() : "");
}

void UserMusicPath(Util_String& path)
{
  SetUserFolder(path, NSMusicDirectory);
}

} // namespace plugin

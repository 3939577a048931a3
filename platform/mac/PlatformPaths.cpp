#include "platform/mac/PlatformPaths.h"

#include <Foundation/Foundation.h>

#include <cstring>
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
  NSString* base = NSString::stringWithUTF8String(name)->lastPathComponent()->stringByDeletingPathExtension();
  NSString* music = UserFolder(NSMusicDirectory);
  if (sharedResourcesSubPath && *sharedResourcesSubPath && music)
  {
    NSString* candidate = music->stringByAppendingPathComponent(NSString::stringWithUTF8String(sharedResourcesSubPath))
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

} // namespace plugin

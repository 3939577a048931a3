// Foundation stand-in: reference counting, autorelease pools, strings, arrays, search paths, file manager, bundles.

#include <Foundation/Foundation.h>

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------------------------
// NSObject and autorelease pools
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// One thread's autoreleased references, oldest first. Pools mark where they began; what lies below the first
// pool is released when the thread ends.
struct PendingReleases
{
  std::vector<NSObject*> objects;

  void ReleaseDownTo(size_t mark)
  {
    // A destructor may autorelease further objects: take them from the back one at a time.
    while (objects.size() > mark)
    {
      NSObject* obj = objects.back();
      objects.pop_back();
      obj->release();
    }
  }
  ~PendingReleases() { ReleaseDownTo(0); }
};

PendingReleases& Pending()
{
  thread_local PendingReleases pending;
  return pending;
}

} // namespace

NSObject* NSObject::retain()
{
  mRetainCount.fetch_add(1, std::memory_order_relaxed);
  return this;
}

void NSObject::release()
{
  if (mRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

NSObject* NSObject::autorelease()
{
  NSAutoreleasePool::addObject(this);
  return this;
}

NSAutoreleasePool::NSAutoreleasePool() : mMark(Pending().objects.size()) {}

NSAutoreleasePool::~NSAutoreleasePool()
{
  drain();
}

void NSAutoreleasePool::drain()
{
  Pending().ReleaseDownTo(mMark);
}

void NSAutoreleasePool::addObject(NSObject* obj)
{
  if (obj) Pending().objects.push_back(obj);
}

// ---------------------------------------------------------------------------------------------------------------
// NSString
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The last component's start and end in a path whose trailing "/" are ignored ("/" itself is one component).
void LastComponentRange(const std::string& s, size_t& begin, size_t& end)
{
  end = s.size();
  while (end > 1 && s[end - 1] == '/') --end;
  begin = end;
  if (end == 1 && s[0] == '/')
  {
    begin = 0;
    return;
  }
  while (begin > 0 && s[begin - 1] != '/') --begin;
}

// Position of the extension's "." in the last component, or npos. A leading "." names a hidden file, not an
// extension.
size_t ExtensionDot(const std::string& s)
{
  size_t begin, end;
  LastComponentRange(s, begin, end);
  for (size_t i = end; i > begin + 1; --i)
    if (s[i - 1] == '.') return i - 1;
  return std::string::npos;
}

} // namespace

NSString* NSString::Make(std::string text)
{
  return static_cast<NSString*>((new NSString(std::move(text)))->autorelease());
}

NSString* NSString::stringWithUTF8String(const char* text)
{
  return text ? Make(text) : nullptr;
}

NSString* NSString::alloc_initWithUTF8String(const char* text)
{
  return text ? new NSString(text) : nullptr;
}

NSString* NSString::stringByExpandingTildeInPath() const
{
  if (mText.empty() || mText[0] != '~' || (mText.size() > 1 && mText[1] != '/')) return Make(mText);
  std::string home = NSHomeDirectory()->mText;
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return Make(home + mText.substr(1));
}

NSString* NSString::stringByAppendingPathComponent(const NSString* component) const
{
  std::string base = mText;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (!component) return Make(base);
  std::string comp = component->mText;
  size_t lead = 0;
  while (lead < comp.size() && comp[lead] == '/') ++lead;
  comp.erase(0, lead);
  if (base.empty()) return Make(comp);
  if (comp.empty()) return Make(base);
  return Make(base == "/" ? base + comp : base + "/" + comp);
}

NSString* NSString::stringByAppendingPathExtension(const NSString* extension) const
{
  if (!extension || extension->mText.empty()) return Make(mText);
  std::string base = mText;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return Make(base + "." + extension->mText);
}

NSString* NSString::lastPathComponent() const
{
  size_t begin, end;
  LastComponentRange(mText, begin, end);
  return Make(mText.substr(begin, end - begin));
}

NSString* NSString::pathExtension() const
{
  const size_t dot = ExtensionDot(mText);
  if (dot == std::string::npos) return Make("");
  size_t begin, end;
  LastComponentRange(mText, begin, end);
  return Make(mText.substr(dot + 1, end - dot - 1));
}

NSString* NSString::stringByDeletingPathExtension() const
{
  const size_t dot = ExtensionDot(mText);
  if (dot == std::string::npos) return Make(mText);
  return Make(mText.substr(0, dot));
}

// ---------------------------------------------------------------------------------------------------------------
// NSArray
// ---------------------------------------------------------------------------------------------------------------

NSArray* NSArray::arrayWithObjects_count(NSObject* const* objects, NSUInteger count)
{
  auto* array = new NSArray();
  for (NSUInteger i = 0; objects && i < count; ++i)
    if (objects[i]) array->mObjects.push_back(objects[i]->retain());
  return static_cast<NSArray*>(array->autorelease());
}

NSArray::~NSArray()
{
  for (NSObject* obj : mObjects) obj->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Search paths
// ---------------------------------------------------------------------------------------------------------------

NSString* NSHomeDirectory()
{
  const char* home = std::getenv("HOME");
  if (home && *home) return NSString::stringWithUTF8String(home);
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
    return NSString::stringWithUTF8String(pw->pw_dir);
  return NSString::stringWithUTF8String("/");
}

NSArray* NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domainMask,
                                             BOOL expandTilde)
{
  // Folder below each domain's library (or home) per directory; null where the platform has none.
  struct Row
  {
    NSSearchPathDirectory dir;
    const char* user;
    const char* local;
    const char* network;
    const char* system;
  };
  static const Row kRows[] = {
    {NSLibraryDirectory, "~/Library", "/Library", "/Network/Library", "/System/Library"},
    {NSDesktopDirectory, "~/Desktop", nullptr, nullptr, nullptr},
    {NSApplicationSupportDirectory, "~/Library/Application Support", "/Library/Application Support",
     "/Network/Library/Application Support", "/System/Library/Application Support"},
    {NSMusicDirectory, "~/Music", nullptr, nullptr, nullptr},
  };

  std::vector<NSObject*> paths;
  for (const Row& row : kRows)
  {
    if (row.dir != directory) continue;
    const char* byDomain[4] = {row.user, row.local, row.network, row.system};
    for (int d = 0; d < 4; ++d)
    {
      if (!(domainMask & (NSUInteger(1) << d)) || !byDomain[d]) continue;
      NSString* path = NSString::stringWithUTF8String(byDomain[d]);
      paths.push_back(d == 0 && expandTilde ? path->stringByExpandingTildeInPath() : path);
    }
  }
  return NSArray::arrayWithObjects_count(paths.data(), paths.size());
}

// ---------------------------------------------------------------------------------------------------------------
// NSFileManager
// ---------------------------------------------------------------------------------------------------------------

NSFileManager* NSFileManager::defaultManager()
{
  static NSFileManager* manager = new NSFileManager();
  return manager;
}

BOOL NSFileManager::fileExistsAtPath(const NSString* path) const
{
  return fileExistsAtPath_isDirectory(path, nullptr);
}

BOOL NSFileManager::fileExistsAtPath_isDirectory(const NSString* path, BOOL* isDirectory) const
{
  struct stat st;
  if (!path || !*path->UTF8String() || stat(path->UTF8String(), &st) != 0) return NO;
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode) ? YES : NO;
  return YES;
}

// ---------------------------------------------------------------------------------------------------------------
// NSBundle
// ---------------------------------------------------------------------------------------------------------------

namespace
{

CFStringRef CreateCFString(const NSString* s)
{
  return s ? CFStringCreateWithCString(nullptr, s->UTF8String(), kCFStringEncodingUTF8) : nullptr;
}

NSString* PathOfURL(CFURLRef url)
{
  if (!url) return nullptr;
  std::vector<UInt8> buf(4096);
  const Boolean ok = CFURLGetFileSystemRepresentation(url, true, buf.data(), static_cast<CFIndex>(buf.size()));
  CFRelease(url);
  return ok ? NSString::stringWithUTF8String(reinterpret_cast<const char*>(buf.data())) : nullptr;
}

} // namespace

NSBundle::NSBundle(CFBundleRef bundle) : mBundle(bundle)
{
  CFRetain(mBundle);
}

NSBundle::~NSBundle()
{
  CFRelease(mBundle);
}

NSBundle* NSBundle::bundleWithIdentifier(const NSString* identifier)
{
  CFStringRef cfID = CreateCFString(identifier);
  if (!cfID) return nullptr;
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(cfID);
  CFRelease(cfID);
  return bundle ? static_cast<NSBundle*>((new NSBundle(bundle))->autorelease()) : nullptr;
}

NSString* NSBundle::pathForResource_ofType(const NSString* name, const NSString* ext) const
{
  if (!name || !*name->UTF8String()) return nullptr;
  CFStringRef cfName = CreateCFString(name);
  CFStringRef cfExt = ext && *ext->UTF8String() ? CreateCFString(ext) : nullptr;
  CFURLRef url = cfName ? CFBundleCopyResourceURL(mBundle, cfName, cfExt, nullptr) : nullptr;
  if (cfExt) CFRelease(cfExt);
  if (cfName) CFRelease(cfName);
  return PathOfURL(url);
}

NSString* NSBundle::resourcePath() const
{
  return PathOfURL(CFBundleCopyResourcesDirectoryURL(mBundle));
}

// Foundation stand-in: reference counting, autorelease pools, strings, arrays, search paths, file manager, bundles.

#include <Foundation/Foundation.h>
#include <Foundation/Unicode_p.h>

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

NSObject::~NSObject() = default;

NSString* NSObject::description() const
{
  return NSString::stringWithUTF8String("<NSObject>");
}

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
  return text && zqns::IsValidUTF8(text) ? Make(text) : nullptr;
}

NSString* NSString::alloc_initWithUTF8String(const char* text)
{
  return text && zqns::IsValidUTF8(text) ? new NSString(text) : nullptr;
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

NSArray* NSArray::array()
{
  return static_cast<NSArray*>((new NSArray())->autorelease());
}

NSArray* NSArray::arrayWithObject(NSObject* object)
{
  return arrayWithObjects_count(&object, 1);
}

BOOL NSArray::containsObject(const NSObject* object) const
{
  return indexOfObject(object) != NSUInteger(NSNotFound) ? YES : NO;
}

NSUInteger NSArray::indexOfObject(const NSObject* object) const
{
  for (size_t i = 0; i < mObjects.size(); ++i)
    if (NSObjectsAreEqual(mObjects[i], object)) return i;
  return NSUInteger(NSNotFound);
}

NSMutableArray* NSMutableArray::array()
{
  return static_cast<NSMutableArray*>((new NSMutableArray())->autorelease());
}

NSMutableArray* NSMutableArray::arrayWithCapacity(NSUInteger capacity)
{
  NSMutableArray* a = array();
  a->mObjects.reserve(capacity < 4096 ? capacity : 4096);
  return a;
}

void NSMutableArray::addObject(NSObject* object)
{
  if (object) mObjects.push_back(object->retain());
}

void NSMutableArray::insertObject_atIndex(NSObject* object, NSUInteger index)
{
  if (!object || index > mObjects.size()) return;
  mObjects.insert(mObjects.begin() + static_cast<long>(index), object->retain());
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index)
{
  if (index >= mObjects.size()) return;
  NSObject* obj = mObjects[index];
  mObjects.erase(mObjects.begin() + static_cast<long>(index));
  obj->release();
}

void NSMutableArray::removeObject(const NSObject* object)
{
  std::vector<NSObject*> gone;
  for (size_t i = 0; i < mObjects.size();)
  {
    if (NSObjectsAreEqual(mObjects[i], object))
    {
      gone.push_back(mObjects[i]);
      mObjects.erase(mObjects.begin() + static_cast<long>(i));
    }
    else
      ++i;
  }
  for (NSObject* obj : gone) obj->release();
}

void NSMutableArray::removeAllObjects()
{
  std::vector<NSObject*> gone;
  gone.swap(mObjects);
  for (NSObject* obj : gone) obj->release();
}

BOOL NSObjectsAreEqual(const NSObject* a, const NSObject* b)
{
  if (a == b) return YES;
  if (!a || !b) return NO;
  if (auto* sa = dynamic_cast<const NSString*>(a))
  {
    auto* sb = dynamic_cast<const NSString*>(b);
    return sb && sa->isEqualToString(sb) ? YES : NO;
  }
  if (auto* na = dynamic_cast<const NSNumber*>(a))
  {
    auto* nb = dynamic_cast<const NSNumber*>(b);
    return nb && na->isEqualToNumber(nb) ? YES : NO;
  }
  return NO;
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

NSString* NSBundle::executablePath() const
{
  return PathOfURL(CFBundleCopyExecutableURL(mBundle));
}

NSString* NSBundle::bundlePath() const
{
  return PathOfURL(CFBundleCopyBundleURL(mBundle));
}

NSString* NSBundle::bundleIdentifier() const
{
  CFStringRef id = CFBundleGetIdentifier(mBundle);
  if (!id) return nullptr;
  char buf[1024];
  if (!CFStringGetCString(id, buf, sizeof buf, kCFStringEncodingUTF8)) return nullptr;
  return NSString::stringWithUTF8String(buf);
}

// CoreFoundation bundles: folders with Contents/Info.plist, Contents/MacOS and Contents/Resources.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFTesting.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

using namespace zqcf;

ZQCF_CONSTANT_STRING(kCFBundleInfoDictionaryVersionKey, "CFBundleInfoDictionaryVersion");
ZQCF_CONSTANT_STRING(kCFBundleExecutableKey, "CFBundleExecutable");
ZQCF_CONSTANT_STRING(kCFBundleIdentifierKey, "CFBundleIdentifier");
ZQCF_CONSTANT_STRING(kCFBundleVersionKey, "CFBundleVersion");
ZQCF_CONSTANT_STRING(kCFBundleNameKey, "CFBundleName");

namespace
{
void Unregister(__CFBundle* bundle);
}

struct __CFBundle : Object
{
  static constexpr CFTypeID kTypeID = kTypeBundle;
  __CFBundle(std::string folder, CFDictionaryRef infoDict, bool immortal)
      : Object(kTypeID, immortal), path(std::move(folder)), info(infoDict)
  {
    CFTypeRef id = CFDictionaryGetValue(info, kCFBundleIdentifierKey);
    identifier = CFGetTypeID(id) == kTypeString ? static_cast<CFStringRef>(id) : nullptr;
  }
  ~__CFBundle() override
  {
    Unregister(this);
    CFRelease(info);
  }
  std::string Describe() const override { return "<CFBundle " + path + ">"; }

  const std::string path;           // the folder, absolute when it exists
  const CFDictionaryRef info;       // never null
  CFStringRef identifier = nullptr; // inside info
  // Guarded by the registry's mutex.
  void* library = nullptr;
  bool registered = false;
};

namespace
{

struct Registry
{
  std::mutex mutex;
  std::map<std::string, __CFBundle*> byPath; // live bundles made by CFBundleCreate
  __CFBundle* main = nullptr;                // immortal
  std::vector<__CFBundle*> retired;          // earlier main bundles, kept for whoever still holds one
};

Registry& Reg()
{
  static Registry* registry = new Registry; // never destroyed
  return *registry;
}

void Unregister(__CFBundle* bundle)
{
  Registry& r = Reg();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!bundle->registered) return;
  auto it = r.byPath.find(bundle->path);
  if (it != r.byPath.end() && it->second == bundle) r.byPath.erase(it);
}

__CFBundle* Bundle(CFBundleRef b)
{
  return CastMutable<__CFBundle>(b);
}

bool IsDirectory(const std::string& path)
{
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path, bool& isDirectory)
{
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  isDirectory = S_ISDIR(st.st_mode);
  return true;
}

CFDictionaryRef EmptyDictionary()
{
  return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                            &kCFTypeDictionaryValueCallBacks);
}

// Contents/Info.plist as a dictionary; an empty one when it is missing, unreadable or not a dictionary.
CFDictionaryRef ReadInfo(const std::string& folder)
{
  constexpr long kMaxInfoSize = 16L << 20;
  const std::string file = folder + "/Contents/Info.plist";
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return EmptyDictionary();
  std::vector<UInt8> bytes;
  UInt8 chunk[8192];
  size_t n;
  bool tooBig = false;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
  {
    if (static_cast<long>(bytes.size() + n) > kMaxInfoSize)
    {
      tooBig = true;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  std::fclose(f);
  if (tooBig) return EmptyDictionary();
  CFDataRef data = CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
  CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(data);
  if (CFGetTypeID(plist) == kTypeDictionary) return static_cast<CFDictionaryRef>(plist);
  if (plist) CFRelease(plist);
  return EmptyDictionary();
}

std::string Absolute(const std::string& path)
{
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  return path;
}

std::string ExecutableFolder()
{
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "/";
  std::string path(exe, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// A relative path that stays inside its folder: no absolute start, no ".." component.
bool IsContained(std::string_view rel)
{
  if (rel.empty() || rel.front() == '/') return false;
  size_t start = 0;
  while (start <= rel.size())
  {
    size_t end = rel.find('/', start);
    if (end == std::string_view::npos) end = rel.size();
    if (rel.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

CFURLRef MakeURL(const std::string& path, bool isDirectory)
{
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                 static_cast<CFIndex>(path.size()), isDirectory);
}

std::string ExecutablePath(const __CFBundle& b)
{
  std::string name(StringView(static_cast<CFStringRef>(CFDictionaryGetValue(b.info, kCFBundleExecutableKey))));
  if (name.empty() || !IsContained(name))
  {
    const size_t slash = b.path.rfind('/');
    name = slash == std::string::npos ? b.path : b.path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
  }
  return b.path + "/Contents/MacOS/" + name;
}

} // namespace

CFTypeID CFBundleGetTypeID(void)
{
  return kTypeBundle;
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL)
{
  CFStringRef pathString = CFURLCopyFileSystemPath(bundleURL, kCFURLPOSIXPathStyle);
  if (!pathString) return nullptr;
  const std::string path = Absolute(std::string(StringView(pathString)));
  CFRelease(pathString);
  if (!IsDirectory(path)) return nullptr;

  Registry& r = Reg();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byPath.find(path);
    if (it != r.byPath.end() && it->second->TryRetain()) return it->second;
  }
  // Read the Info.plist unlocked; another thread may register the same folder meanwhile.
  auto* fresh = new __CFBundle(path, ReadInfo(path), false);
  __CFBundle* existing = nullptr;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byPath.find(path);
    if (it == r.byPath.end() || !it->second->TryRetain())
    {
      r.byPath[path] = fresh;
      fresh->registered = true;
      return fresh;
    }
    existing = it->second;
  }
  CFRelease(fresh); // never registered; its destructor takes the lock
  return existing;
}

CFBundleRef CFBundleGetMainBundle(void)
{
  Registry& r = Reg();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!r.main) r.main = new __CFBundle(ExecutableFolder(), EmptyDictionary(), true);
  return r.main;
}

void ZQCFSetMainBundlePath(const char* folder)
{
  // Main bundles are immortal: one handed out earlier stays valid after a change.
  __CFBundle* bundle = (folder && *folder) ? new __CFBundle(Absolute(folder), ReadInfo(Absolute(folder)), true)
                                           : new __CFBundle(ExecutableFolder(), EmptyDictionary(), true);
  Registry& r = Reg();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.main) r.retired.push_back(r.main);
  r.main = bundle;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
{
  if (CFGetTypeID(bundleID) != kTypeString) return nullptr;
  Registry& r = Reg();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (r.main && r.main->identifier && CFEqual(r.main->identifier, bundleID)) return r.main;
  for (auto& [path, bundle] : r.byPath)
  {
    if (bundle->refCount.load() > 0 && bundle->identifier && CFEqual(bundle->identifier, bundleID)) return bundle;
  }
  return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
  const __CFBundle* b = Bundle(bundle);
  return b ? b->identifier : nullptr;
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle)
{
  const __CFBundle* b = Bundle(bundle);
  return b ? b->info : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key)
{
  const __CFBundle* b = Bundle(bundle);
  return b && key ? CFDictionaryGetValue(b->info, key) : nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
  const __CFBundle* b = Bundle(bundle);
  return b ? MakeURL(b->path, true) : nullptr;
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle)
{
  const __CFBundle* b = Bundle(bundle);
  return b ? MakeURL(b->path + "/Contents/Resources", true) : nullptr;
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle)
{
  const __CFBundle* b = Bundle(bundle);
  if (!b) return nullptr;
  const std::string exe = ExecutablePath(*b);
  bool isDirectory = false;
  if (!Exists(exe, isDirectory) || isDirectory) return nullptr;
  return MakeURL(exe, false);
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName)
{
  const __CFBundle* b = Bundle(bundle);
  if (!b || CFGetTypeID(resourceName) != kTypeString) return nullptr;
  std::string rel;
  const std::string_view sub = StringView(subDirName);
  if (!sub.empty())
  {
    if (!IsContained(sub)) return nullptr;
    rel.append(sub);
    if (rel.back() != '/') rel += '/';
  }
  const std::string_view name = StringView(resourceName);
  if (!IsContained(name)) return nullptr;
  rel.append(name);
  std::string_view type = StringView(resourceType);
  if (!type.empty() && type.front() == '.') type.remove_prefix(1);
  if (!type.empty())
  {
    if (type.find('/') != std::string_view::npos) return nullptr;
    rel += '.';
    rel.append(type);
  }
  if (!IsContained(rel)) return nullptr;
  const std::string full = b->path + "/Contents/Resources/" + rel;
  bool isDirectory = false;
  if (!Exists(full, isDirectory)) return nullptr;
  return MakeURL(full, isDirectory);
}

// ---- Executable ----

Boolean CFBundleLoadExecutable(CFBundleRef bundle)
{
  __CFBundle* b = Bundle(bundle);
  if (!b) return false;
  Registry& r = Reg();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (b->library) return true;
  }
  // Opened unlocked: the library's initialisers may call back into CoreFoundation.
  void* handle = dlopen(ExecutablePath(*b).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return false;
  bool raced = false;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (b->library)
    {
      raced = true;
    }
    else
    {
      b->library = handle;
      CFRetain(b); // a loaded bundle keeps itself alive and registered
    }
  }
  if (raced) dlclose(handle);
  return true;
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle)
{
  __CFBundle* b = Bundle(bundle);
  if (!b) return false;
  std::lock_guard<std::mutex> lock(Reg().mutex);
  return b->library != nullptr;
}

void CFBundleUnloadExecutable(CFBundleRef bundle)
{
  __CFBundle* b = Bundle(bundle);
  if (!b) return;
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    std::swap(handle, b->library);
  }
  if (!handle) return;
  dlclose(handle);
  CFRelease(b);
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName)
{
  __CFBundle* b = Bundle(bundle);
  if (!b || CFGetTypeID(functionName) != kTypeString || !CFBundleLoadExecutable(bundle)) return nullptr;
  void* handle;
  {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    handle = b->library;
  }
  const std::string name(StringView(functionName));
  return handle ? dlsym(handle, name.c_str()) : nullptr;
}

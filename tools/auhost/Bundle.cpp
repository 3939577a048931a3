// Bundle loading: Info.plist, executable, factories, registration.

#include "tools/auhost/Bundle.h"

#include "tools/auhost/CfRef.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

namespace auhost
{

namespace
{

bool IsFolder(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The canonical folder name, so that "a/b" and "a/./b/" share one cache entry.
std::string CanonicalPath(const std::string& path)
{
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

// A four-character code from a string entry (the platform's form) or an integer entry.
bool ReadCode(CFDictionaryRef entry, CFStringRef key, UInt32& code)
{
  CFTypeRef value = CFDictionaryGetValue(entry, key);
  if (!value) return false;
  if (CFGetTypeID(value) == CFStringGetTypeID()) return StringToFourCC(ToStdString(value), code);
  if (CFGetTypeID(value) == CFNumberGetTypeID())
  {
    SInt64 number = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number)) return false;
    if (number < 0 || number > 0xFFFFFFFFLL) return false;
    code = static_cast<UInt32>(number);
    return true;
  }
  return false;
}

std::string ReadText(CFDictionaryRef entry, CFStringRef key)
{
  CFTypeRef value = CFDictionaryGetValue(entry, key);
  return (value && CFGetTypeID(value) == CFStringGetTypeID()) ? ToStdString(value) : std::string();
}

std::mutex& CacheMutex()
{
  static std::mutex m;
  return m;
}

// Bundles stay loaded for the process, so their records do too.
std::map<std::string, std::shared_ptr<const Bundle>>& Cache()
{
  static auto* cache = new std::map<std::string, std::shared_ptr<const Bundle>>();
  return *cache;
}

} // namespace

std::string DescribeComponent(const AudioComponentDescription& desc)
{
  return FourCCToString(desc.componentType) + " '" + FourCCToString(desc.componentSubType) + "' '" +
         FourCCToString(desc.componentManufacturer) + "'";
}

Status Bundle::Load(const std::string& folder, std::shared_ptr<const Bundle>& out)
{
  out.reset();
  if (folder.empty()) return Status::Error("no bundle folder given");
  if (!IsFolder(folder)) return Status::Error(folder + ": no such bundle folder");
  const std::string key = CanonicalPath(folder);

  std::lock_guard<std::mutex> lock(CacheMutex());
  auto it = Cache().find(key);
  if (it != Cache().end())
  {
    out = it->second;
    return Status::Ok();
  }
  std::shared_ptr<Bundle> bundle(new Bundle());
  Status status = bundle->LoadFolder(folder);
  if (!status) return status;
  Cache()[key] = bundle;
  out = std::move(bundle);
  return Status::Ok();
}

Status Bundle::LoadFolder(const std::string& folder)
{
  mPath = folder;
  const std::string plistPath = folder + "/Contents/Info.plist";
  if (!IsFile(plistPath)) return Status::Error(folder + ": Contents/Info.plist is missing");

  CFRef<CFURLRef> url = CFRef<CFURLRef>::Adopt(CFURLCreateFromFileSystemRepresentation(
    nullptr, reinterpret_cast<const UInt8*>(folder.data()), static_cast<CFIndex>(folder.size()), true));
  if (!url) return Status::Error(folder + ": not a valid path");
  CFRef<CFBundleRef> bundle = CFRef<CFBundleRef>::Adopt(CFBundleCreate(nullptr, url.Get()));
  if (!bundle) return Status::Error(folder + ": cannot open the bundle");

  CFDictionaryRef info = CFBundleGetInfoDictionary(bundle.Get());
  if (!info || CFDictionaryGetCount(info) == 0)
    return Status::Error(folder + ": Contents/Info.plist cannot be read (damaged or empty)");

  CFTypeRef components = CFDictionaryGetValue(info, CFSTR("AudioComponents"));
  if (!components || CFGetTypeID(components) != CFArrayGetTypeID() ||
      CFArrayGetCount(static_cast<CFArrayRef>(components)) == 0)
    return Status::Error(folder + ": Info.plist has no AudioComponents entry");

  // Check every entry before loading anything.
  std::vector<ComponentEntry> entries;
  const CFIndex count = CFArrayGetCount(static_cast<CFArrayRef>(components));
  for (CFIndex i = 0; i < count; ++i)
  {
    const std::string where = folder + ": AudioComponents[" + std::to_string(i) + "]";
    CFTypeRef value = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(components), i);
    if (!value || CFGetTypeID(value) != CFDictionaryGetTypeID()) return Status::Error(where + " is not a dictionary");
    const auto entry = static_cast<CFDictionaryRef>(value);
    ComponentEntry e;
    if (!ReadCode(entry, CFSTR("type"), e.desc.componentType))
      return Status::Error(where + ": 'type' must be four characters");
    if (!ReadCode(entry, CFSTR("subtype"), e.desc.componentSubType))
      return Status::Error(where + ": 'subtype' must be four characters");
    if (!ReadCode(entry, CFSTR("manufacturer"), e.desc.componentManufacturer))
      return Status::Error(where + ": 'manufacturer' must be four characters");
    e.factoryFunction = ReadText(entry, CFSTR("factoryFunction"));
    if (e.factoryFunction.empty()) return Status::Error(where + ": 'factoryFunction' is missing");
    e.name = ReadText(entry, CFSTR("name"));
    e.description = ReadText(entry, CFSTR("description"));
    CFTypeRef version = CFDictionaryGetValue(entry, CFSTR("version"));
    if (version && CFGetTypeID(version) == CFNumberGetTypeID())
    {
      SInt64 v = 0;
      if (CFNumberGetValue(static_cast<CFNumberRef>(version), kCFNumberSInt64Type, &v) && v >= 0 && v <= 0xFFFFFFFFLL)
        e.version = static_cast<UInt32>(v);
    }
    entries.push_back(std::move(e));
  }

  CFRef<CFURLRef> exeURL = CFRef<CFURLRef>::Adopt(CFBundleCopyExecutableURL(bundle.Get()));
  std::string exeName = ToStdString(CFBundleGetValueForInfoDictionaryKey(bundle.Get(), kCFBundleExecutableKey));
  if (!exeURL)
  {
    return Status::Error(folder + ": the executable Contents/MacOS/" + (exeName.empty() ? "<folder name>" : exeName) +
                         " is missing");
  }
  {
    CFRef<CFStringRef> exePath = CFRef<CFStringRef>::Adopt(CFURLCopyFileSystemPath(exeURL.Get(), kCFURLPOSIXPathStyle));
    const std::string path = ToStdString(exePath.Get());
    const size_t slash = path.rfind('/');
    exeName = slash == std::string::npos ? path : path.substr(slash + 1);
  }
  ::dlerror(); // clear, so the loader's reason below is this load's
  if (!CFBundleLoadExecutable(bundle.Get()))
  {
    const char* reason = ::dlerror();
    return Status::Error(folder + ": cannot load Contents/MacOS/" + exeName + (reason ? std::string(": ") + reason : ""));
  }

  for (ComponentEntry& e : entries)
  {
    CFRef<CFStringRef> fname = MakeCFString(e.factoryFunction);
    void* fn = fname ? CFBundleGetFunctionPointerForName(bundle.Get(), fname.Get()) : nullptr;
    if (!fn)
      return Status::Error(folder + ": Contents/MacOS/" + exeName + " does not export " + e.factoryFunction);
    e.factory = reinterpret_cast<AudioComponentFactoryFunction>(fn);
  }
  for (ComponentEntry& e : entries)
  {
    CFRef<CFStringRef> name = MakeCFString(e.name);
    e.component = AudioComponentRegister(&e.desc, name.Get(), e.version, e.factory);
    if (!e.component) return Status::Error(folder + ": cannot register " + DescribeComponent(e.desc));
  }

  mComponents = std::move(entries);
  mBundle = bundle.Release();
  return Status::Ok();
}

std::string Bundle::Identifier() const
{
  return mBundle ? ToStdString(CFBundleGetIdentifier(mBundle)) : std::string();
}

void* Bundle::Symbol(const char* name) const
{
  if (!mBundle || !name) return nullptr;
  CFRef<CFStringRef> fname = MakeCFString(name);
  return fname ? CFBundleGetFunctionPointerForName(mBundle, fname.Get()) : nullptr;
}

} // namespace auhost

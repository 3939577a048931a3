// CoreFoundation file URLs.
#include <CoreFoundation/CFInternal.h>

#include <CoreFoundation/CFTesting.h>

#include <cstring>
#include <mutex>

using namespace zqcf;

struct __CFURL : Object
{
  static constexpr CFTypeID kTypeID = kTypeURL;
  __CFURL(std::string p, bool dir) : Object(kTypeID, false), path(std::move(p)), isDirectory(dir) {}
  bool Equal(const Object& other) const override
  {
    const auto& o = static_cast<const __CFURL&>(other);
    return path == o.path && isDirectory == o.isDirectory;
  }
  CFHashCode Hash() const override { return std::hash<std::string>()(path); }
  std::string Describe() const override { return "file://" + path + (isDirectory && path != "/" ? "/" : ""); }

  const std::string path; // UTF-8, without trailing '/' (except the root)
  const bool isDirectory;
};

namespace
{

const __CFURL* URL(CFURLRef u)
{
  return Cast<__CFURL>(u);
}

CFURLRef Make(std::string_view path, bool isDirectory)
{
  if (path.empty() || !IsValidUTF8(path) || path.find('\0') != std::string_view::npos) return nullptr;
  std::string p(path);
  while (p.size() > 1 && p.back() == '/')
    p.pop_back();
  const bool dir = isDirectory || p == "/";
  return new __CFURL(std::move(p), dir);
}

} // namespace

CFTypeID CFURLGetTypeID(void)
{
  return kTypeURL;
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory)
{
  if (!buffer || bufLen <= 0) return nullptr;
  const char* text = reinterpret_cast<const char*>(buffer);
  // The representation ends at a terminator when one comes first.
  const size_t n = strnlen(text, static_cast<size_t>(bufLen));
  return Make({text, n}, isDirectory);
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory)
{
  if (pathStyle != kCFURLPOSIXPathStyle || CFGetTypeID(filePath) != kTypeString) return nullptr;
  return Make(StringView(filePath), isDirectory);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory)
{
  const __CFURL* u = URL(url);
  if (!u || CFGetTypeID(pathComponent) != kTypeString) return nullptr;
  std::string_view comp = StringView(pathComponent);
  while (!comp.empty() && comp.front() == '/')
    comp.remove_prefix(1);
  if (comp.empty()) return static_cast<CFURLRef>(CFRetain(url));
  std::string p = u->path;
  if (p != "/") p += '/';
  p.append(comp);
  return Make(p, isDirectory);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
  const __CFURL* u = URL(url);
  if (!u || !buffer || maxBufLen <= 0) return false;
  if (static_cast<uint64_t>(u->path.size()) + 1 > static_cast<uint64_t>(maxBufLen)) return false;
  std::memcpy(buffer, u->path.c_str(), u->path.size() + 1);
  return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle)
{
  const __CFURL* u = URL(anURL);
  if (!u || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
  return MakeString(u->path);
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url)
{
  const __CFURL* u = URL(url);
  if (!u) return nullptr;
  const size_t slash = u->path.rfind('/');
  if (u->path == "/" || slash == std::string::npos) return MakeString(u->path);
  return MakeString(std::string_view(u->path).substr(slash + 1));
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL)
{
  const __CFURL* u = URL(anURL);
  return u && u->isDirectory;
}

// ---------------------------------------------------------------------------------------------------------------
// The system's folders
// ---------------------------------------------------------------------------------------------------------------

namespace
{

struct SystemRoot
{
  std::mutex mutex;
  std::string folder; // "" : the real root
};

SystemRoot& Root()
{
  static auto* root = new SystemRoot();
  return *root;
}

} // namespace

void ZQCFSetSystemRoot(const char* folder)
{
  std::string f = folder ? folder : "";
  while (f.size() > 1 && f.back() == '/')
    f.pop_back();
  std::lock_guard<std::mutex> lock(Root().mutex);
  Root().folder = std::move(f);
}

std::string zqcf::FileSystemPath(const char* path)
{
  std::string p = path ? path : "";
  if (p.rfind("/System/", 0) != 0) return p;
  std::lock_guard<std::mutex> lock(Root().mutex);
  return Root().folder + p;
}

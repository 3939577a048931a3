// CoreGraphics data providers.
#include <CoreGraphics/CGInternal.h>

#include <cstdio>
#include <sys/stat.h>

using namespace zqcf;

CGDataProvider::~CGDataProvider()
{
  if (data) CFRelease(data);
  if (url) CFRelease(url);
  if (releaseData) releaseData(info, lent, lentSize);
}

const UInt8* CGDataProvider::Bytes() const
{
  return data ? CFDataGetBytePtr(data) : static_cast<const UInt8*>(lent);
}

size_t CGDataProvider::Size() const
{
  return data ? static_cast<size_t>(CFDataGetLength(data)) : lentSize;
}

namespace
{

// The whole file, or null when it cannot be read completely.
CFDataRef ReadFile(const char* path)
{
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return nullptr;
  FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  CFMutableDataRef d = CFDataCreateMutable(nullptr, 0);
  UInt8 chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    CFDataAppendBytes(d, chunk, static_cast<CFIndex>(n));
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed)
  {
    CFRelease(d);
    return nullptr;
  }
  return d;
}

} // namespace

CFTypeID CGDataProviderGetTypeID(void)
{
  return kTypeCGDataProvider;
}

CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url)
{
  if (!url || CFGetTypeID(url) != CFURLGetTypeID()) return nullptr;
  char path[4096];
  if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), sizeof path)) return nullptr;
  CFDataRef bytes = ReadFile(path);
  if (!bytes) return nullptr;
  auto* p = new CGDataProvider;
  p->data = bytes;
  p->url = static_cast<CFURLRef>(CFRetain(url));
  return p;
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData)
{
  if (!data && size > 0) return nullptr;
  auto* p = new CGDataProvider;
  p->info = info;
  p->lent = data;
  p->lentSize = size;
  p->releaseData = releaseData;
  return p;
}

CFDataRef CGDataProviderCopyData(CGDataProviderRef provider)
{
  const CGDataProvider* p = Cast<CGDataProvider>(provider);
  if (!p) return nullptr;
  if (p->Size() > static_cast<size_t>(LONG_MAX)) return nullptr;
  return CFDataCreate(nullptr, p->Bytes(), static_cast<CFIndex>(p->Size()));
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider)
{
  if (provider) CFRetain(provider);
  return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider)
{
  if (provider) CFRelease(provider);
}

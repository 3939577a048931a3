#include "platform/mac/CoreTextFont.h"

#include "platform/mac/PlatformPaths.h"

#include <cstdlib>
#include <cstring>

namespace plugin::igraphics
{

namespace
{

// The bytes of a memory font belong to its data provider.
void FreeFontBytes(void*, const void* data, size_t)
{
  std::free(const_cast<void*>(data));
}

// Owns one CF reference until released to a new owner.
template <class Ref>
class ScopedCF
{
public:
  explicit ScopedCF(Ref ref = nullptr) : mRef(ref) {}
  ~ScopedCF()
  {
    if (mRef) CFRelease(mRef);
  }
  ScopedCF(const ScopedCF&) = delete;
  ScopedCF& operator=(const ScopedCF&) = delete;
  Ref Get() const { return mRef; }
  Ref Release()
  {
    Ref r = mRef;
    mRef = nullptr;
    return r;
  }
  explicit operator bool() const { return mRef != nullptr; }

private:
  Ref mRef;
};

const char* StyleName(int style)
{
  switch (style)
  {
  case 1: return "Bold";
  case 2: return "Italic";
  default: return "Regular";
  }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// CoreTextFont
// ---------------------------------------------------------------------------------------------------------------

CoreTextFont::CoreTextFont(CTFontDescriptorRef descriptor, CGDataProviderRef provider, const char* styleName,
                           bool isSystem)
    : PlatformFont(isSystem), mDescriptor(descriptor), mProvider(provider), mStyleName(styleName ? styleName : "")
{
}

CoreTextFont::~CoreTextFont()
{
  if (mDescriptor) CFRelease(mDescriptor);
  CGDataProviderRelease(mProvider);
}

FontDescriptor CoreTextFont::GetDescriptor()
{
  return mDescriptor;
}

IFontDataPtr CoreTextFont::GetFontData()
{
  ScopedCF<CFDataRef> data(CGDataProviderCopyData(mProvider));
  if (!data) return nullptr;
  const CFIndex length = CFDataGetLength(data.Get());
  const UInt8* bytes = CFDataGetBytePtr(data.Get());
  // The record counts its bytes in an int: a larger file is no font it can hold.
  if (length <= 0 || length > 0x7fffffff) return std::make_unique<IFontData>(nullptr, 0, -1);

  // Only a collection has faces to choose from: the one face of a plain file is the font the platform found,
  // whatever that face calls its style ("Book", "Roman" for a regular face).
  int faceIdx = 0;
  if (!mStyleName.empty() && IFontInfo::IsCollection(bytes, static_cast<uint64_t>(length)))
    faceIdx = IFontInfo::FindFaceByStyle(bytes, static_cast<uint64_t>(length), mStyleName.c_str());
  return std::make_unique<IFontData>(bytes, static_cast<int>(length), faceIdx);
}

PlatformFontPtr CoreTextFont::FromDataProvider(CGDataProviderRef provider)
{
  ScopedCF<CGDataProviderRef> owned(provider);
  if (!owned) return nullptr;
  ScopedCF<CGFontRef> cgFont(CGFontCreateWithDataProvider(provider));
  if (!cgFont) return nullptr;
  ScopedCF<CTFontRef> ctFont(CTFontCreateWithGraphicsFont(cgFont.Get(), 0.0, nullptr, nullptr));
  if (!ctFont) return nullptr;
  ScopedCF<CTFontDescriptorRef> descriptor(CTFontCopyFontDescriptor(ctFont.Get()));
  if (!descriptor) return nullptr;
  return std::make_unique<CoreTextFont>(descriptor.Release(), owned.Release(), "", false);
}

PlatformFontPtr CoreTextFont::FromResource(const char* fontID, const char* fileNameOrResID, const char* bundleID,
                                           const char* sharedResourcesSubPath)
{
  (void)fontID;
  Util_String path;
  if (!LocateResource(fileNameOrResID, "ttf", path, bundleID, nullptr, sharedResourcesSubPath)) return nullptr;
  ScopedCF<CFStringRef> pathString(CFStringCreateWithCString(nullptr, path.Get(), kCFStringEncodingUTF8));
  if (!pathString) return nullptr;
  ScopedCF<CFURLRef> url(CFURLCreateWithFileSystemPath(nullptr, pathString.Get(), kCFURLPOSIXPathStyle, false));
  if (!url) return nullptr;
  return FromDataProvider(CGDataProviderCreateWithURL(url.Get()));
}

PlatformFontPtr CoreTextFont::FromName(const char* fontID, const char* fontName, int style)
{
  (void)fontID;
  if (!fontName || !*fontName) return nullptr;
  const char* styleName = StyleName(style);
  ScopedCF<CFStringRef> family(CFStringCreateWithCString(nullptr, fontName, kCFStringEncodingUTF8));
  ScopedCF<CFStringRef> styleString(CFStringCreateWithCString(nullptr, styleName, kCFStringEncodingUTF8));
  if (!family || !styleString) return nullptr;

  const void* keys[] = {kCTFontFamilyNameAttribute, kCTFontStyleNameAttribute};
  const void* values[] = {family.Get(), styleString.Get()};
  ScopedCF<CFDictionaryRef> attributes(
      CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  ScopedCF<CTFontDescriptorRef> descriptor(CTFontDescriptorCreateWithAttributes(attributes.Get()));
  if (!descriptor) return nullptr;

  ScopedCF<CFTypeRef> url(CTFontDescriptorCopyAttribute(descriptor.Get(), kCTFontURLAttribute));
  if (!url || CFGetTypeID(url.Get()) != CFURLGetTypeID()) return nullptr;
  ScopedCF<CGDataProviderRef> provider(CGDataProviderCreateWithURL(static_cast<CFURLRef>(url.Get())));
  if (!provider) return nullptr;
  return std::make_unique<CoreTextFont>(descriptor.Release(), provider.Release(), styleName, true);
}

PlatformFontPtr CoreTextFont::FromMemory(const char* fontID, const void* data, int dataSize)
{
  (void)fontID;
  if (!data || dataSize <= 0) return nullptr;
  void* copy = std::malloc(static_cast<size_t>(dataSize));
  if (!copy) return nullptr;
  std::memcpy(copy, data, static_cast<size_t>(dataSize));
  CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, copy, static_cast<size_t>(dataSize), FreeFontBytes);
  if (!provider)
  {
    std::free(copy);
    return nullptr;
  }
  return FromDataProvider(provider);
}

// ---------------------------------------------------------------------------------------------------------------
// The descriptor cache
// ---------------------------------------------------------------------------------------------------------------

CoreTextFontDescriptor::CoreTextFontDescriptor(CTFontDescriptorRef descriptor, double sizeFactor)
    : mDescriptor(descriptor), mSizeFactor(sizeFactor)
{
  if (mDescriptor) CFRetain(mDescriptor);
}

CoreTextFontDescriptor::~CoreTextFontDescriptor()
{
  if (mDescriptor) CFRelease(mDescriptor);
}

StaticStorage<CoreTextFontDescriptor>& CoreTextFontDescriptorCache()
{
  static StaticStorage<CoreTextFontDescriptor> cache;
  return cache;
}

bool CacheCoreTextFont(const char* fontID, PlatformFont& font)
{
  auto& cache = CoreTextFontDescriptorCache();
  auto lock = cache.Lock();
  if (cache.Find(fontID, 1.0)) return false;
  auto descriptor = static_cast<CTFontDescriptorRef>(font.GetDescriptor());
  if (!descriptor) return false;
  IFontDataPtr data = font.GetFontData();
  const double sizeFactor = data ? data->GetHeightEMRatio() : 1.0;
  cache.Add(new CoreTextFontDescriptor(descriptor, sizeFactor), fontID, 1.0);
  return true;
}

const CoreTextFontDescriptor* FindCoreTextFont(const char* fontID)
{
  auto& cache = CoreTextFontDescriptorCache();
  auto lock = cache.Lock();
  return cache.Find(fontID, 1.0);
}

} // namespace plugin::igraphics

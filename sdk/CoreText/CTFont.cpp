// CoreText fonts and font descriptors. Descriptors named by family and style find their file through fontconfig.
#include <CoreGraphics/CGInternal.h>
#include <CoreText/CoreText.h>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <mutex>
#include <strings.h>

using namespace zqcf;

ZQCF_CONSTANT_STRING(kCTFontURLAttribute, "NSFontURLAttribute");
ZQCF_CONSTANT_STRING(kCTFontNameAttribute, "NSFontNameAttribute");
ZQCF_CONSTANT_STRING(kCTFontFamilyNameAttribute, "NSFontFamilyAttribute");
ZQCF_CONSTANT_STRING(kCTFontStyleNameAttribute, "NSFontFaceAttribute");

struct __CTFontDescriptor : Object
{
  static constexpr CFTypeID kTypeID = kTypeCTFontDescriptor;
  explicit __CTFontDescriptor(CFDictionaryRef attrs) : Object(kTypeID, false), attributes(attrs) {}
  ~__CTFontDescriptor() override { CFRelease(attributes); }
  bool Equal(const Object& other) const override
  {
    return CFEqual(attributes, static_cast<const __CTFontDescriptor&>(other).attributes);
  }
  CFHashCode Hash() const override { return CFHash(attributes); }
  std::string Describe() const override { return "<CTFontDescriptor " + zqcf::Describe(attributes) + ">"; }

  CFDictionaryRef attributes; // owned; holds the resolved URL
};

struct __CTFont : Object
{
  static constexpr CFTypeID kTypeID = kTypeCTFont;
  __CTFont(CGFontRef f, CGFloat s) : Object(kTypeID, false), font(f), size(s) {}
  ~__CTFont() override { CFRelease(font); }

  CGFontRef font; // owned
  CGFloat size;
};

namespace
{

std::string Text(CFTypeRef value)
{
  return CFGetTypeID(value) == CFStringGetTypeID() ? std::string(StringView(static_cast<CFStringRef>(value)))
                                                   : std::string();
}

bool ContainsNoCase(const std::string& text, std::string_view word)
{
  auto lower = [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  return std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

// The file of the installed face that best matches family and style, or "" when no face of that family is
// installed (fontconfig always answers with some font; a different family does not count).
std::string FindFontFile(const std::string& family, const std::string& style)
{
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  if (!FcInit()) return {};

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (!style.empty())
  {
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.c_str()));
    // Families that name their faces otherwise ("Oblique", "Heavy") still match by weight and slant.
    if (ContainsNoCase(style, "bold")) FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    if (ContainsNoCase(style, "italic")) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return {};

  std::string file;
  bool sameFamily = false;
  FcChar8* value = nullptr;
  for (int n = 0; !sameFamily && FcPatternGetString(match, FC_FAMILY, n, &value) == FcResultMatch; ++n)
    sameFamily = strcasecmp(reinterpret_cast<const char*>(value), family.c_str()) == 0;
  if (sameFamily && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
    file = reinterpret_cast<const char*>(value);
  FcPatternDestroy(match);
  return file;
}

void SetString(CFMutableDictionaryRef dict, CFStringRef key, const std::string& text)
{
  if (text.empty() || !IsValidUTF8(text)) return;
  CFStringRef s = MakeString(text);
  CFDictionarySetValue(dict, key, s);
  CFRelease(s);
}

} // namespace

// ---- Descriptors ----

CFTypeID CTFontDescriptorGetTypeID(void)
{
  return kTypeCTFontDescriptor;
}

CTFontDescriptorRef CTFontDescriptorCreateWithAttributes(CFDictionaryRef attributes)
{
  if (!attributes || CFGetTypeID(attributes) != CFDictionaryGetTypeID()) return nullptr;
  CFMutableDictionaryRef attrs = CFDictionaryCreateMutableCopy(nullptr, 0, attributes);
  const void* family = CFDictionaryGetValue(attrs, kCTFontFamilyNameAttribute);
  if (!CFDictionaryContainsKey(attrs, kCTFontURLAttribute) && family && !Text(family).empty())
  {
    const void* style = CFDictionaryGetValue(attrs, kCTFontStyleNameAttribute);
    const std::string file = FindFontFile(Text(family), style ? Text(style) : std::string());
    if (!file.empty())
    {
      CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(file.c_str()),
                                                             static_cast<CFIndex>(file.size()), false);
      if (url)
      {
        CFDictionarySetValue(attrs, kCTFontURLAttribute, url);
        CFRelease(url);
      }
    }
  }
  return new __CTFontDescriptor(attrs);
}

CFTypeRef CTFontDescriptorCopyAttribute(CTFontDescriptorRef descriptor, CFStringRef attribute)
{
  const auto* d = Cast<__CTFontDescriptor>(descriptor);
  if (!d || !attribute) return nullptr;
  const void* value = CFDictionaryGetValue(d->attributes, attribute);
  return value ? CFRetain(value) : nullptr;
}

CFDictionaryRef CTFontDescriptorCopyAttributes(CTFontDescriptorRef descriptor)
{
  const auto* d = Cast<__CTFontDescriptor>(descriptor);
  return d ? CFDictionaryCreateCopy(nullptr, d->attributes) : nullptr;
}

// ---- Fonts ----

CFTypeID CTFontGetTypeID(void)
{
  return kTypeCTFont;
}

CTFontRef CTFontCreateWithGraphicsFont(CGFontRef graphicsFont, CGFloat size, const CGAffineTransform*,
                                       CTFontDescriptorRef)
{
  if (!Cast<CGFont>(graphicsFont)) return nullptr;
  return new __CTFont(CGFontRetain(graphicsFont), size > 0.0 ? size : 12.0);
}

CTFontDescriptorRef CTFontCopyFontDescriptor(CTFontRef font)
{
  const auto* f = Cast<__CTFont>(font);
  if (!f) return nullptr;
  const CGFont* g = Cast<CGFont>(f->font);
  CFMutableDictionaryRef attrs =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  SetString(attrs, kCTFontFamilyNameAttribute, g->family);
  SetString(attrs, kCTFontStyleNameAttribute, g->style);
  SetString(attrs, kCTFontNameAttribute, g->postScriptName);
  const CGDataProvider* p = Cast<CGDataProvider>(g->provider);
  if (p && p->url) CFDictionarySetValue(attrs, kCTFontURLAttribute, p->url);
  return new __CTFontDescriptor(attrs);
}

CGFloat CTFontGetSize(CTFontRef font)
{
  const auto* f = Cast<__CTFont>(font);
  return f ? f->size : 0.0;
}

CFStringRef CTFontCopyFamilyName(CTFontRef font)
{
  const auto* f = Cast<__CTFont>(font);
  if (!f) return nullptr;
  const std::string& family = Cast<CGFont>(f->font)->family;
  return IsValidUTF8(family) ? MakeString(family) : nullptr;
}

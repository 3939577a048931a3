// CoreText fonts: the sfnt reader's metrics and names against FreeType on the same files; fonts made from files,
// memory and installed families; face selection in collections.

#include "FontReference.h"

#include "platform/mac/CoreTextFont.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace plugin::igraphics;

namespace
{

std::string CopyString(CFTypeRef s)
{
  if (!s || CFGetTypeID(s) != CFStringGetTypeID()) return {};
  const char* p = CFStringGetCStringPtr(static_cast<CFStringRef>(s), kCFStringEncodingUTF8);
  return p ? p : "";
}

// The attribute of a descriptor as text (URLs as their path); "" when missing.
std::string Attribute(FontDescriptor descriptor, CFStringRef name)
{
  CFTypeRef v = CTFontDescriptorCopyAttribute(static_cast<CTFontDescriptorRef>(descriptor), name);
  if (!v) return {};
  std::string text;
  if (CFGetTypeID(v) == CFURLGetTypeID())
  {
    CFStringRef path = CFURLCopyFileSystemPath(static_cast<CFURLRef>(v), kCFURLPOSIXPathStyle);
    text = CopyString(path);
    CFRelease(path);
  }
  else
    text = CopyString(v);
  CFRelease(v);
  return text;
}

fontref::Metrics MetricsOf(const IFontInfo& info)
{
  return {info.GetUnitsPerEM(), info.GetMacStyle(), info.GetAscender(), info.GetDescender(), info.GetLineGap(),
          info.GetFamily(), info.GetStyle()};
}

const char* const kSystemFonts[] = {fontref::kRoboto, fontref::kDejaVu, fontref::kDejaVuBold};

} // namespace

// ---- The sfnt reader and the three ways of making a font, against FreeType ----

TEST(CoreTextFont, MetricsAndNamesMatchFreeTypeForFilesAndMemory)
{
  for (const char* path : kSystemFonts)
  {
    const std::vector<uint8_t> bytes = fontref::ReadFile(path);
    ASSERT_FALSE(bytes.empty()) << path;
    const auto ref = fontref::FreeTypeMetrics(bytes, 0);
    ASSERT_TRUE(ref) << path;

    EXPECT_EQ(MetricsOf(IFontInfo(bytes.data(), bytes.size(), 0)), *ref) << path;
    EXPECT_FALSE(IFontInfo(bytes.data(), bytes.size(), 1).IsValid()) << "a plain font has face 0 only";

    // A full path is accepted as a resource name when the file exists.
    PlatformFontPtr fromFile = CoreTextFont::FromResource("id", path, "com.example.none", nullptr);
    PlatformFontPtr fromMemory = CoreTextFont::FromMemory("id", bytes.data(), static_cast<int>(bytes.size()));
    for (PlatformFont* font : {fromFile.get(), fromMemory.get()})
    {
      ASSERT_NE(font, nullptr) << path;
      EXPECT_FALSE(font->IsSystem());
      EXPECT_EQ(Attribute(font->GetDescriptor(), kCTFontFamilyNameAttribute), ref->family);
      IFontDataPtr data = font->GetFontData();
      ASSERT_TRUE(data && data->IsValid()) << path;
      EXPECT_EQ(data->GetFaceIdx(), 0);
      ASSERT_EQ(data->GetSize(), static_cast<int>(bytes.size()));
      EXPECT_EQ(0, memcmp(data->Get(), bytes.data(), bytes.size()));
      EXPECT_EQ(MetricsOf(*data), *ref) << path;
    }
    EXPECT_EQ(Attribute(fromFile->GetDescriptor(), kCTFontURLAttribute), path);
    EXPECT_EQ(Attribute(fromMemory->GetDescriptor(), kCTFontURLAttribute), "") << "memory fonts have no file";
  }
}

TEST(CoreTextFont, MissingOrUnreadableFontsGiveNone)
{
  EXPECT_EQ(CoreTextFont::FromResource("id", "/nonexistent/zaniq.ttf", "com.example.none", nullptr), nullptr);
  EXPECT_EQ(CoreTextFont::FromResource("id", "", "com.example.none", nullptr), nullptr);
  EXPECT_EQ(CoreTextFont::FromResource("id", static_cast<const char*>(nullptr), "com.example.none", nullptr), nullptr);

  const char junk[] = "definitely not a font, just some bytes of text that go on for a while";
  EXPECT_EQ(CoreTextFont::FromMemory("id", junk, static_cast<int>(sizeof junk)), nullptr);
  EXPECT_EQ(CoreTextFont::FromMemory("id", static_cast<const void*>(nullptr), 100), nullptr);
  EXPECT_EQ(CoreTextFont::FromMemory("id", junk, 0), nullptr);
  EXPECT_EQ(CoreTextFont::FromMemory("id", junk, -5), nullptr);
}

// ---- Installed fonts by family and style ----

TEST(CoreTextFont, FamilyAndStyleResolveToTheInstalledFile)
{
  struct Case
  {
    const char* family;
    int style;
    const char* file; // null: no font
    const char* styleName;
  };
  const Case cases[] = {
      {"DejaVu Sans", 1, fontref::kDejaVuBold, "Bold"},
      {"DejaVu Sans", 0, fontref::kDejaVu, "Regular"},
      {"dejavu sans", 7, fontref::kDejaVu, "Regular"},
      {"Roboto", 0, fontref::kRoboto, "Regular"},
      {"Zaniq No Such Family", 0, nullptr, nullptr},
      {"", 0, nullptr, nullptr},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.style));
    PlatformFontPtr font = CoreTextFont::FromName("id", c.family, c.style);
    if (!c.file)
    {
      EXPECT_EQ(font, nullptr);
      continue;
    }
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->IsSystem());
    EXPECT_EQ(static_cast<CoreTextFont&>(*font).GetStyleName(), c.styleName);
    EXPECT_EQ(std::filesystem::canonical(Attribute(font->GetDescriptor(), kCTFontURLAttribute)),
              std::filesystem::canonical(c.file));
    EXPECT_EQ(Attribute(font->GetDescriptor(), kCTFontFamilyNameAttribute), c.family);
    EXPECT_EQ(Attribute(font->GetDescriptor(), kCTFontStyleNameAttribute), c.styleName);

    // A plain font file has one face, taken whatever its style is called ("Book" for DejaVu Sans).
    const auto ref = fontref::FreeTypeMetrics(fontref::ReadFile(c.file), 0);
    IFontDataPtr data = font->GetFontData();
    ASSERT_TRUE(data && data->IsValid());
    EXPECT_EQ(data->GetFaceIdx(), 0);
    EXPECT_EQ(MetricsOf(*data), *ref);
  }
}

// ---- Collections ----

TEST(CoreTextFont, CollectionFacesAreSelectedByIndexAndStyle)
{
  const auto regular = fontref::ReadFile(fontref::kDejaVu);
  const auto bold = fontref::ReadFile(fontref::kDejaVuBold);
  const auto ttc = fontref::MakeCollection({regular, bold});

  for (int face = 0; face < 2; ++face)
    EXPECT_EQ(MetricsOf(IFontInfo(ttc.data(), ttc.size(), face)), fontref::FreeTypeMetrics(ttc, face)) << face;
  EXPECT_FALSE(IFontInfo(ttc.data(), ttc.size(), 2).IsValid());
  EXPECT_FALSE(IFontInfo(ttc.data(), ttc.size(), -1).IsValid());

  EXPECT_EQ(IFontInfo::FindFaceByStyle(ttc.data(), ttc.size(), "Bold"), 1);
  EXPECT_EQ(IFontInfo::FindFaceByStyle(ttc.data(), ttc.size(), "Book"), 0);
  EXPECT_EQ(IFontInfo::FindFaceByStyle(ttc.data(), ttc.size(), "Italic"), -1);

  // A font of the collection with a style name picks that face; without one, face 0.
  const std::pair<const char*, int> cases[] = {{"Bold", 1}, {"", 0}, {"Book", 0}, {"Italic", -1}};
  for (auto [style, face] : cases)
  {
    CoreTextFont font(nullptr, CGDataProviderCreateWithData(nullptr, ttc.data(), ttc.size(), nullptr), style, true);
    IFontDataPtr data = font.GetFontData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->GetFaceIdx(), face) << style;
    EXPECT_EQ(data->IsValid(), face >= 0) << style;
  }
}

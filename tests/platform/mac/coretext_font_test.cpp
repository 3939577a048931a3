// CoreText fonts and the sfnt reader: metrics and names against FreeType on the same files; fonts made from files,
// memory and installed families; face selection in collections; the damaged-font corpus; the process-wide caches.

#include "platform/mac/CoreTextFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace plugin::igraphics;

// Font files of the system, their metrics as FreeType reads them, and collections built from them.
namespace fontref
{

inline const char* kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
inline const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Metrics
{
  int unitsPerEm = 0, macStyle = 0, ascender = 0, descender = 0, lineGap = 0;
  std::string family, style;
  bool operator==(const Metrics&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Metrics& m)
{
  return os << m.family << " " << m.style << " upem " << m.unitsPerEm << " mac " << m.macStyle << " asc " << m.ascender
            << " desc " << m.descender << " gap " << m.lineGap;
}

// Face faceIdx of the bytes as FreeType reads it (hhea and head tables, family and style names).
inline std::optional<Metrics> FreeTypeMetrics(const std::vector<uint8_t>& bytes, int faceIdx)
{
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) return std::nullopt;
  std::optional<Metrics> m;
  FT_Face face = nullptr;
  if (!FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), faceIdx, &face))
  {
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    if (hhea && head)
    {
      m = Metrics{head->Units_Per_EM, head->Mac_Style, hhea->Ascender, hhea->Descender, hhea->Line_Gap,
                  face->family_name ? face->family_name : "", face->style_name ? face->style_name : ""};
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  return m;
}

// A collection ("ttcf" version 1) of whole fonts: each font is appended at a 4-aligned place and the offsets of
// its table directory moved by that place.
inline std::vector<uint8_t> MakeCollection(const std::vector<std::vector<uint8_t>>& fonts)
{
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24), b[at + 1] = uint8_t(v >> 16), b[at + 2] = uint8_t(v >> 8), b[at + 3] = uint8_t(v);
  };
  auto get32 = [](const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
  };
  std::vector<uint8_t> out(12 + 4 * fonts.size());
  out[0] = 't', out[1] = 't', out[2] = 'c', out[3] = 'f';
  put32(out, 4, 0x00010000);
  put32(out, 8, static_cast<uint32_t>(fonts.size()));
  for (size_t i = 0; i < fonts.size(); ++i)
  {
    out.resize((out.size() + 3) & ~size_t(3));
    const size_t base = out.size();
    put32(out, 12 + 4 * i, static_cast<uint32_t>(base));
    out.insert(out.end(), fonts[i].begin(), fonts[i].end());
    const unsigned tables = (fonts[i][4] << 8) | fonts[i][5];
    for (unsigned t = 0; t < tables; ++t)
    {
      const size_t rec = base + 12 + 16 * t + 8;
      put32(out, rec, get32(out, rec) + static_cast<uint32_t>(base));
    }
  }
  return out;
}

} // namespace fontref

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

// Counts its destructions.
struct Counted
{
  explicit Counted(int* deaths) : deaths(deaths) {}
  ~Counted() { ++*deaths; }
  int* deaths;
};

} // namespace

// ---- The sfnt reader and the three ways of making a font, against FreeType ----

TEST(CoreTextFont, FilesAndMemoryMatchFreeTypeAndBadFontsGiveNone)
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

  // Missing or unreadable fonts give none.
  EXPECT_EQ(CoreTextFont::FromResource("id", "/nonexistent/zaniq.ttf", "com.example.none", nullptr), nullptr);
  EXPECT_EQ(CoreTextFont::FromResource("id", static_cast<const char*>(nullptr), "com.example.none", nullptr), nullptr);

  const char junk[] = "definitely not a font, just some bytes of text that go on for a while";
  EXPECT_EQ(CoreTextFont::FromMemory("id", junk, static_cast<int>(sizeof junk)), nullptr);
  EXPECT_EQ(CoreTextFont::FromMemory("id", static_cast<const void*>(nullptr), 100), nullptr);
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
    IFontDataPtr data = font->GetFontData();
    ASSERT_TRUE(data && data->IsValid());
    EXPECT_EQ(data->GetFaceIdx(), 0);
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

// ---- The process-wide caches ----

// Entries are found by name and exact scale, owned by the store and deleted once by the last context out; an
// unbalanced release or the removal of an entry the store does not hold changes nothing.
TEST(StaticStorage, KeysOwnershipAndTheCountOfContexts)
{
  int deaths = 0;
  {
    StaticStorage<Counted> store;
    store.Retain();
    store.Retain();
    auto* a1 = new Counted(&deaths);
    store.Add(a1, "a", 1.0);
    store.Add(new Counted(&deaths), "a", 2.0);
    store.Add(nullptr, "null", 1.0);
    EXPECT_EQ(store.GetSize(), 2);
    // 1.04 prints as 1.0 (same key text) but is another scale; names compare byte-wise.
    for (auto [name, scale] : {std::pair<const char*, double>{"a", 1.04}, {"A", 1.0}, {nullptr, 1.0}})
      EXPECT_EQ(store.Find(name, scale), nullptr) << scale;
    EXPECT_EQ(store.Find("a", 1.0), a1);
    Counted outsider(&deaths);
    store.Remove(&outsider);

    store.Release();
    EXPECT_EQ(deaths, 0) << "one context is still alive";
    store.Release();
    EXPECT_EQ(deaths, 2) << "the last context out deletes each entry once";
    store.Release();
    EXPECT_EQ(store.GetRefCount(), 0);
    store.Add(new Counted(&deaths), "c", 1.0);
  }
  EXPECT_EQ(deaths, 4) << "the destructor deletes what is left (and the outsider went out of scope)";
}

TEST(CoreTextFontDescriptorCache, KeepsTheFirstDescriptorWithItsSizeFactor)
{
  auto& cache = CoreTextFontDescriptorCache();
  cache.Retain();

  const auto bytes = fontref::ReadFile(fontref::kDejaVu);
  const auto ref = fontref::FreeTypeMetrics(bytes, 0);
  ASSERT_TRUE(ref);
  PlatformFontPtr first = CoreTextFont::FromResource("id", fontref::kDejaVu, "com.example.none", nullptr);
  PlatformFontPtr second = CoreTextFont::FromResource("id", fontref::kRoboto, "com.example.none", nullptr);
  ASSERT_TRUE(first && second);
  auto descriptor = static_cast<CTFontDescriptorRef>(first->GetDescriptor());
  const CFIndex retainsBefore = CFGetRetainCount(descriptor);

  EXPECT_EQ(FindCoreTextFont("sans"), nullptr);
  EXPECT_TRUE(CacheCoreTextFont("sans", *first));
  EXPECT_FALSE(CacheCoreTextFont("sans", *second)) << "the first descriptor stays";
  const CoreTextFontDescriptor* cached = FindCoreTextFont("sans");
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(cached->GetDescriptor(), descriptor);
  EXPECT_EQ(CFGetRetainCount(descriptor), retainsBefore + 1) << "the cache holds its own reference";
  EXPECT_DOUBLE_EQ(cached->GetSizeFactor(), double(ref->unitsPerEm) / (ref->ascender - ref->descender));

  // The font may go; the cached descriptor lives on until the cache is cleared.
  first.reset();
  EXPECT_EQ(CFGetRetainCount(descriptor), retainsBefore);
  CFRetain(descriptor);
  cache.Release();
  EXPECT_EQ(FindCoreTextFont("sans"), nullptr);
  EXPECT_EQ(CFGetRetainCount(descriptor), 1) << "released when the cache was cleared: only the test's own remains";
  CFRelease(descriptor);
}

TEST(CoreTextFontDescriptorCache, AFlatFontGetsTheSizeFactorOne)
{
  // A face whose ascender equals its descender has no height to scale by.
  const std::string path = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged-sfnt/ok-flat-height.ttf";
  const auto bytes = fontref::ReadFile(path);
  IFontInfo flat(bytes.data(), bytes.size(), 0);
  ASSERT_TRUE(flat.IsValid());
  EXPECT_EQ(flat.GetAscender(), flat.GetDescender());
  EXPECT_EQ(flat.GetHeightEMRatio(), 1.0);
  EXPECT_EQ(IFontInfo(nullptr, 0, 0).GetHeightEMRatio(), 1.0);
}

TEST(SfntReader, DamagedFontsAreRefusedWithoutReadingOutsideTheBytes)
{
  struct Expected
  {
    unsigned validFaces; // bit i: face i is usable
    const char* family;
    const char* style;
  };
  const std::map<std::string, Expected> expected = {
      {"ok-minimal.ttf", {1, "Tiny", "Regular"}},
      {"ok-mac-names.ttf", {1, "Tiny", "Regular"}},
      {"ok-flat-height.ttf", {1, "Tiny", "Regular"}},
      {"ok-surrogates.ttf", {1, "\xF0\x9F\x98\x80\xEF\xBF\xBD" "A", "Regular"}},
      {"ok-nul-in-name.ttf", {1, "Ti", "Regular"}},
      {"ok-odd-name-length.ttf", {1, "Ti", "Regular"}},
      {"ok-collection.ttc", {3, "Tiny", "Regular"}},
      {"ok-collection-v2.ttc", {1, "Tiny", "Italic"}},
      // Name records past the table are not read; the ones inside still are.
      {"bad-name-count-huge.ttf", {1, "Tiny", "Regular"}},
      {"bad-name-string-past-end.ttf", {1, "", "Regular"}},
      // A count beyond the offsets present: only faces whose offsets exist and point at a face.
      {"bad-ttc-count-huge.ttc", {1, "Tiny", "Regular"}},
  };
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(ZANIQ_TEST_DATA) + "/fonts-damaged-sfnt"))
  {
    const std::string name = entry.path().filename();
    if (entry.path().extension() == ".py") continue;
    ++files;
    SCOPED_TRACE(name);
    ASSERT_TRUE(name.starts_with("ok-") || name.starts_with("bad-"));
    const auto it = expected.find(name);
    ASSERT_TRUE(name.starts_with("bad-") || it != expected.end());
    const Expected e = it != expected.end() ? it->second : Expected{0, "", ""};

    // Exactly the bytes of the file, in a buffer of their own size, so that any overread is caught.
    const std::vector<uint8_t> file = fontref::ReadFile(entry.path());
    auto bytes = std::make_unique<uint8_t[]>(file.size());
    std::copy(file.begin(), file.end(), bytes.get());

    for (int face = -1; face < 4; ++face)
    {
      IFontInfo info(bytes.get(), file.size(), face);
      const bool valid = face >= 0 && (e.validFaces >> face) & 1;
      ASSERT_EQ(info.IsValid(), valid) << "face " << face;
      EXPECT_EQ(info.GetUnitsPerEM(), valid ? 2048 : 0);
      const std::string names = info.GetFamily() + "/" + info.GetStyle();
      EXPECT_EQ(names, face == 0 ? std::string(e.family) + "/" + e.style : valid ? names : "/");
      EXPECT_EQ(info.GetDescender(), !valid || name == "ok-flat-height.ttf" ? 0 : -500);
    }
    EXPECT_EQ(IFontData(bytes.get(), static_cast<int>(file.size()), 0).IsValid(), e.validFaces & 1);
    EXPECT_EQ(IFontInfo::FindFaceByStyle(bytes.get(), file.size(), "Bold"), name == "ok-collection.ttc" ? 1 : -1);
  }
  EXPECT_GE(files, 29);
}

// The sfnt reader on damaged fonts: every file of the corpus is read for its first faces without a read outside
// the bytes (run under AddressSanitizer), and each answers as expected.

#include "FontReference.h"

#include "graphics/PlatformFont.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace plugin::igraphics;

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

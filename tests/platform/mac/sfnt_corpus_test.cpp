// The sfnt reader on damaged fonts: every file of the corpus is read for its first faces without a read outside
// the bytes (run under AddressSanitizer), and each answers as expected.

#include "FontReference.h"

#include "graphics/PlatformFont.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace plugin::igraphics;

namespace
{

const std::string kCorpus = std::string(ZANIQ_TEST_DATA) + "/fonts-damaged-sfnt";

struct Expected
{
  std::vector<bool> valid; // faces 0, 1, 2, ...; later faces are not valid
  std::string family, style;
};

// The reader's answers for face 0 (and later faces where a file has them).
const std::map<std::string, Expected> kExpected = {
    {"ok-minimal.ttf", {{true}, "Tiny", "Regular"}},
    {"ok-mac-names.ttf", {{true}, "Tiny", "Regular"}},
    {"ok-flat-height.ttf", {{true}, "Tiny", "Regular"}},
    {"ok-surrogates.ttf", {{true}, "\xF0\x9F\x98\x80\xEF\xBF\xBD" "A", "Regular"}},
    {"ok-nul-in-name.ttf", {{true}, "Ti", "Regular"}},
    {"ok-odd-name-length.ttf", {{true}, "Ti", "Regular"}},
    {"ok-collection.ttc", {{true, true}, "Tiny", "Regular"}},
    {"ok-collection-v2.ttc", {{true}, "Tiny", "Italic"}},
    {"bad-empty.ttf", {{false}, "", ""}},
    {"bad-short-header.ttf", {{false}, "", ""}},
    {"bad-unknown-tag.ttf", {{false}, "", ""}},
    {"bad-zero-tables.ttf", {{false}, "", ""}},
    {"bad-huge-table-count.ttf", {{false}, "", ""}},
    {"bad-truncated-directory.ttf", {{false}, "", ""}},
    {"bad-truncated-head.ttf", {{false}, "", ""}},
    {"bad-truncated-last-table.ttf", {{false}, "", ""}},
    {"bad-offset-past-end.ttf", {{false}, "", ""}},
    {"bad-offset-wraps.ttf", {{false}, "", ""}},
    {"bad-length-huge.ttf", {{false}, "", ""}},
    {"bad-offset-zero.ttf", {{false}, "", ""}},
    {"bad-short-head.ttf", {{false}, "", ""}},
    {"bad-short-hhea.ttf", {{false}, "", ""}},
    // Name records past the table are not read; the ones inside still are.
    {"bad-name-count-huge.ttf", {{true}, "Tiny", "Regular"}},
    {"bad-name-string-past-end.ttf", {{true}, "", "Regular"}},
    {"bad-ttc-version.ttc", {{false}, "", ""}},
    // A count beyond the offsets present: only the faces whose offsets exist and point at a face.
    {"bad-ttc-count-huge.ttc", {{true}, "Tiny", "Regular"}},
    {"bad-ttc-zero-count.ttc", {{false}, "", ""}},
    {"bad-ttc-offset-past-end.ttc", {{false}, "", ""}},
    {"bad-ttc-nested.ttc", {{false}, "", ""}},
    {"bad-ttc-truncated-offsets.ttc", {{false}, "", ""}},
};

} // namespace

TEST(SfntReader, DamagedFontsAreRefusedWithoutReadingOutsideTheBytes)
{
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus))
  {
    const std::string name = entry.path().filename();
    if (entry.path().extension() == ".py") continue;
    ++files;
    SCOPED_TRACE(name);
    auto it = kExpected.find(name);
    ASSERT_NE(it, kExpected.end()) << "every corpus file has an expectation";
    const Expected& e = it->second;

    // Exactly the bytes of the file, in a buffer of their own size, so that any overread is caught.
    const std::vector<uint8_t> file = fontref::ReadFile(entry.path());
    auto bytes = std::make_unique<uint8_t[]>(file.size());
    std::copy(file.begin(), file.end(), bytes.get());

    for (int face = 0; face < 4; ++face)
    {
      IFontInfo info(bytes.get(), file.size(), face);
      const bool valid = face < static_cast<int>(e.valid.size()) && e.valid[face];
      EXPECT_EQ(info.IsValid(), valid) << "face " << face;
      if (face == 0 && valid)
      {
        EXPECT_EQ(info.GetFamily(), e.family);
        EXPECT_EQ(info.GetStyle(), e.style);
        EXPECT_EQ(info.GetUnitsPerEM(), 2048);
        EXPECT_EQ(info.GetDescender(), name == "ok-flat-height.ttf" ? 0 : -500);
        EXPECT_GT(info.GetHeightEMRatio(), 0.0);
      }
      if (!valid)
      {
        EXPECT_EQ(info.GetUnitsPerEM(), 0);
        EXPECT_EQ(info.GetFamily(), "");
      }
    }

    IFontData data(bytes.get(), static_cast<int>(file.size()), 0);
    EXPECT_EQ(data.IsValid(), e.valid[0]);
    const int bold = IFontInfo::FindFaceByStyle(bytes.get(), file.size(), "Bold");
    EXPECT_EQ(bold, name == "ok-collection.ttc" ? 1 : -1);
  }
  EXPECT_EQ(files, static_cast<int>(kExpected.size()));
}

TEST(SfntReader, FreeTypeAgreesOnTheCorpusFacesItCanOpen)
{
  // FreeType refuses the minimal faces (they lack glyph tables), so it checks the real fonts' faces only when
  // made into a collection; here it confirms the corpus's good faces are not mistaken for real fonts.
  for (const char* name : {"ok-minimal.ttf", "bad-empty.ttf", "bad-unknown-tag.ttf"})
    EXPECT_FALSE(fontref::FreeTypeMetrics(fontref::ReadFile(kCorpus + "/" + name), 0)) << name;
}

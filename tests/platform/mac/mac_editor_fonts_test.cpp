// Fonts an open editor loads through the platform by family name and style or from memory: each reaches the
// descriptor cache with the size factor FreeType's metrics give, and the renderer measures with it as with the
// same font loaded from its file.

#include "support/MacTestEditor.h"

#include "platform/mac/CoreTextFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace mactest;

namespace
{

const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// unitsPerEm / (ascender − descender) of the font as FreeType reads it.
double FreeTypeSizeFactor(const char* path)
{
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) return 0;
  double factor = 0;
  FT_Face face = nullptr;
  if (!FT_New_Face(lib, path, 0, &face))
  {
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    auto* head = static_cast<TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD));
    if (hhea && head) factor = double(head->Units_Per_EM) / (hhea->Ascender - hhea->Descender);
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  return factor;
}

float Width(IGraphics& g, const char* font)
{
  IRECT bounds;
  return g.MeasureText(IText(20.f, COLOR_BLACK, font), "Loudness 1234", bounds);
}

TEST(MacEditorFonts, ByFamilyAndFromMemory)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsMac& g = e.G();

  ASSERT_TRUE(g.LoadFont("bold-file", kDejaVuBold));
  EXPECT_TRUE(g.LoadFont("bold-family", "DejaVu Sans", ETextStyle::Bold));
  const CoreTextFontDescriptor* bold = FindCoreTextFont("bold-family");
  ASSERT_NE(bold, nullptr);
  EXPECT_DOUBLE_EQ(bold->GetSizeFactor(), FreeTypeSizeFactor(kDejaVuBold));
  EXPECT_GT(Width(g, "bold-family"), 0.f);
  EXPECT_EQ(Width(g, "bold-family"), Width(g, "bold-file"));

  std::ifstream in(kRoboto, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(bytes.empty());
  EXPECT_TRUE(g.LoadFont("memory", bytes.data(), static_cast<int>(bytes.size())));
  const CoreTextFontDescriptor* memory = FindCoreTextFont("memory");
  ASSERT_NE(memory, nullptr);
  EXPECT_DOUBLE_EQ(memory->GetSizeFactor(), FreeTypeSizeFactor(kRoboto));
  EXPECT_EQ(Width(g, "memory"), Width(g, "Roboto-Regular"));
  EXPECT_NE(Width(g, "memory"), Width(g, "bold-family"));

  // Families that are not installed and bytes that are no font load nothing.
  EXPECT_FALSE(g.LoadFont("missing", "Zaniq No Such Family", ETextStyle::Italic));
  char junk[64] = {};
  EXPECT_FALSE(g.LoadFont("junk", junk, sizeof junk));
  EXPECT_EQ(FindCoreTextFont("missing"), nullptr);
  EXPECT_EQ(FindCoreTextFont("junk"), nullptr);
}

} // namespace

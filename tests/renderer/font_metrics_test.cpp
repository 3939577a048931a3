// Glyph metrics and kerning of the font store against FreeType reading the same files, TrueType and PostScript (CFF)
// outlines (the drawn glyphs are compared with FreeType's rendering, through Cairo, by the drawing interface's text
// tests).

#include "tests/renderer/FontTestUtil.h"

#include <algorithm>
#include <cmath>

using namespace fonttest;

namespace
{

struct FontCase
{
  const char* path;
  const char* name;
};
const FontCase kFonts[] = {{kRoboto, "roboto"}, {kDejaVu, "dejavu"}, {kTexGyreHeros, "heros (CFF)"}};

std::vector<unsigned> SampleCodepoints()
{
  std::vector<unsigned> cps;
  for (unsigned c = 32; c < 127; ++c) cps.push_back(c);
  for (unsigned c : {0xE9u, 0xC5u, 0xDFu, 0x3A9u, 0x3B1u, 0x20ACu, 0x2013u, 0x201Cu}) cps.push_back(c);
  return cps;
}

} // namespace

// Advances, boxes and offsets of every sampled glyph at two sizes; vertical metrics.
TEST(FontMetrics, GlyphsMatchFreeType)
{
  for (const FontCase& fc : kFonts)
  {
    SCOPED_TRACE(fc.name);
    FtFace ft(fc.path);
    ASSERT_NE(ft.face, nullptr);
    Store store;
    ASSERT_EQ(faAddFont(store.s, fc.name, fc.path, 0), 0);
    for (float size : {16.f, 64.f})
    {
      faSetSize(store.s, size);
      const double scale = ft.Scale(size);
      for (unsigned cp : SampleCodepoints())
      {
        SCOPED_TRACE(cp);
        const unsigned g = FT_Get_Char_Index(ft.face, cp);
        ASSERT_NE(g, 0u);
        const std::vector<Step> steps = Steps(store.s, Utf8(cp), FA_GLYPH_BITMAP_OPTIONAL);
        ASSERT_EQ(steps.size(), 1u);
        const Step& st = steps[0];
        EXPECT_EQ(st.glyph, int(g));
        // Advance in whole pixels, from tenths of a pixel.
        EXPECT_NEAR(st.nextx - st.x, ft.Advance(g) * scale, 0.6);

        ASSERT_EQ(FT_Load_Glyph(ft.face, g, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING), 0);
        FT_BBox box;
        FT_Outline_Get_CBox(&ft.face->glyph->outline, &box);
        if (ft.face->glyph->outline.n_points == 0) box = {0, 0, 0, 0};
        const double bx0 = std::floor(box.xMin * scale), bx1 = std::ceil(box.xMax * scale);
        const double by0 = std::floor(-box.yMax * scale), by1 = std::ceil(-box.yMin * scale);
        // The quad is the glyph's pixel box plus one pixel of its padding on each side.
        EXPECT_NEAR(st.quad.x1 - st.quad.x0, bx1 - bx0 + 2, 1.0);
        EXPECT_NEAR(st.quad.y1 - st.quad.y0, by1 - by0 + 2, 1.0);
        EXPECT_NEAR(st.quad.x0 + 1, bx0, 1.0);
        EXPECT_NEAR(st.quad.y0 + 1, by0, 1.0);
      }
    }
    faSetSize(store.s, 50.f);
    float asc = 0, desc = 0, lineh = 0;
    faVertMetrics(store.s, &asc, &desc, &lineh);
    const double h = ft.face->ascender - ft.face->descender;
    EXPECT_NEAR(asc, 50.0 * ft.face->ascender / h, 1e-3);
    EXPECT_NEAR(desc, 50.0 * ft.face->descender / h, 1e-3);
    EXPECT_NEAR(lineh, 50.0 * ft.face->height / h, 1e-3);
  }
}

// Kerning of every pair of ASCII letters and digits: from the legacy table (FreeType's FT_Get_Kerning reads the
// same table), rounded to whole pixels between the glyphs; letter spacing joins it.
TEST(FontMetrics, KerningMatchesFreeType)
{
  std::string letters;
  for (char c = 'A'; c <= 'Z'; ++c) letters += c;
  for (char c = 'a'; c <= 'z'; ++c) letters += c;
  letters += "0123456789.,";

  for (const FontCase& fc : kFonts)
  {
    SCOPED_TRACE(fc.name);
    FtFace ft(fc.path);
    Store store;
    ASSERT_EQ(faAddFont(store.s, fc.name, fc.path, 0), 0);
    const float size = 200.f;
    faSetSize(store.s, size);
    const double scale = ft.Scale(size);
    int kerned = 0;
    for (float spacing : {0.f, 3.f})
    {
      faSetSpacing(store.s, spacing);
      for (char a : letters)
        for (char b : letters)
        {
          const std::string pair{a, b};
          const float both = faTextBounds(store.s, 0, 0, pair.c_str(), nullptr, nullptr);
          const float first = faTextBounds(store.s, 0, 0, pair.c_str(), pair.c_str() + 1, nullptr);
          const float second = faTextBounds(store.s, 0, 0, pair.c_str() + 1, nullptr, nullptr);
          FT_Vector k{0, 0};
          if (FT_HAS_KERNING(ft.face))
            FT_Get_Kerning(ft.face, FT_Get_Char_Index(ft.face, FT_ULong(a)), FT_Get_Char_Index(ft.face, FT_ULong(b)),
                           FT_KERNING_UNSCALED, &k);
          if (k.x != 0 && spacing == 0) ++kerned;
          const double expected = std::trunc(double(k.x) * scale + spacing + 0.5);
          ASSERT_NEAR(both - first - second, expected, 0.01) << pair << " spacing " << spacing;
        }
    }
    if (FT_HAS_KERNING(ft.face))
      EXPECT_GT(kerned, 50); // DejaVu Sans kerns many of these pairs
    else
      EXPECT_EQ(kerned, 0); // Debian's Roboto and TeX Gyre have no legacy table (TeX Gyre kerns by GPOS alone)
  }
}

// The renderer's text calls in logical units: metrics and glyph positions against FreeType reading the same files,
// fallback fonts, letter spacing and line height, fonts from memory and by face index, text boxes and their bounds
// laid out by hand from the rows, and the row-breaking rules for spaces and line ends.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"
#include "renderer/support/TextContext.h"
#include "tests/renderer/FontTestUtil.h"

#include FT_TRUETYPE_TABLES_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace fonttest;

namespace {

// Ascender, descender and line height from the font's hhea table, relative to ascent − descent, at the size in
// tenths of a device pixel; the same logical numbers at every pixel ratio.
TEST(RendererTextLayout, MetricsMatchTheFontTables)
{
  FtFace ft(kRoboto);
  ASSERT_NE(ft.face, nullptr);
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_HHEA));
  ASSERT_NE(hhea, nullptr);
  const double em = hhea->Ascender - hhea->Descender;
  struct Case
  {
    float ratio, size, tenths; // the size the store sees, cut to tenths of a device pixel, back in logical units
  };
  for (const Case& k : {Case{1, 20, 20}, Case{2, 20, 20}, Case{1, 13.37f, 13.3f}, Case{2, 13.37f, 13.35f}})
  {
    SCOPED_TRACE(testing::Message() << "ratio " << k.ratio << " size " << k.size);
    TextCtx t(k.ratio);
    vrFontSize(t.ctx, k.size);
    float asc = 0, desc = 0, lineh = 0;
    vrTextMetrics(t.ctx, &asc, &desc, &lineh);
    EXPECT_NEAR(asc, k.tenths * hhea->Ascender / em, 1e-4);
    EXPECT_NEAR(desc, k.tenths * hhea->Descender / em, 1e-4);
    EXPECT_NEAR(lineh, k.tenths * (em + hhea->Line_Gap) / em, 1e-4);
    vrTextMetrics(t.ctx, nullptr, nullptr, nullptr); // every output is optional
  }
  TextCtx none;
  vrFontFaceId(none.ctx, -1);
  float asc = 7;
  vrTextMetrics(none.ctx, &asc, nullptr, nullptr);
  EXPECT_EQ(asc, 7.f);
}

// Pen positions step by FreeType's advances, rounded to whole device pixels; each position names the first byte
// of its character and spans at least the advance.
TEST(RendererTextLayout, GlyphPositionsFollowFreeTypeAdvances)
{
  FtFace ft(kRoboto);
  const std::string text = "Wav\xC3\xA9 \xE2\x82\xAC" "1"; // W a v é space € 1
  const unsigned cps[] = {'W', 'a', 'v', 0xE9, ' ', 0x20AC, '1'};
  const int bytes[] = {1, 1, 1, 2, 1, 3, 1};
  for (float ratio : {1.f, 2.f})
  {
    SCOPED_TRACE(ratio);
    TextCtx t(ratio);
    vrFontSize(t.ctx, 30);
    const double scale = ft.Scale(30 * ratio);
    VRglyphPosition pos[16];
    ASSERT_EQ(vrTextGlyphPositions(t.ctx, 5, 40, text.c_str(), nullptr, pos, 16), 7);
    const char* at = text.c_str();
    double x = 5 * ratio;
    for (int i = 0; i < 7; i++)
    {
      SCOPED_TRACE(i);
      EXPECT_EQ(pos[i].str, at);
      EXPECT_NEAR(pos[i].x, x / ratio, 1e-4);
      const long adv = ft.Advance(FT_Get_Char_Index(ft.face, cps[i]));
      x += std::trunc(std::trunc(adv * scale * 10) / 10 + 0.5); // tenths of a pixel, then whole pixels
      EXPECT_LE(pos[i].minx, pos[i].x);
      EXPECT_GE(pos[i].maxx, float(x / ratio) - 1e-4f);
      at += bytes[i];
    }
    // The count is capped; empty strings have no positions.
    EXPECT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, text.c_str(), nullptr, pos, 3), 3);
    EXPECT_EQ(pos[2].str, text.c_str() + 2);
    EXPECT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, text.c_str(), text.c_str(), pos, 16), 0);
    EXPECT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, text.c_str(), nullptr, pos, 0), 0);
  }
}

// Letter spacing adds its width between glyphs, not after the last; Roboto has no kerning to mix with it.
TEST(RendererTextLayout, LetterSpacingAddsBetweenGlyphs)
{
  for (float ratio : {1.f, 2.f})
  {
    TextCtx t(ratio);
    vrFontSize(t.ctx, 24);
    const float plain = vrTextBounds(t.ctx, 0, 0, "Hello", nullptr, nullptr);
    const float single = vrTextBounds(t.ctx, 0, 0, "H", nullptr, nullptr);
    vrTextLetterSpacing(t.ctx, 3);
    EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 0, 0, "Hello", nullptr, nullptr), plain + 4 * 3) << ratio;
    EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 0, 0, "H", nullptr, nullptr), single) << ratio;
    VRglyphPosition pos[5];
    ASSERT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, "Hello", nullptr, pos, 5), 5);
    vrTextLetterSpacing(t.ctx, 0);
    VRglyphPosition plainPos[5];
    vrTextGlyphPositions(t.ctx, 0, 0, "Hello", nullptr, plainPos, 5);
    // A position is the pen before the spacing that precedes its glyph.
    for (int i = 0; i < 5; i++) EXPECT_FLOAT_EQ(pos[i].x - plainPos[i].x, 3.f * std::max(i - 1, 0)) << i;
  }
}

// A codepoint the font lacks comes from the first fallback that has it, with that font's advance; without one it
// is the empty glyph with the advance of the font's glyph 0.
TEST(RendererTextLayout, FallbackFontsSupplyMissingGlyphs)
{
  FtFace roboto(kRoboto), dejavu(kDejaVu);
  TextCtx t;
  ASSERT_EQ(vrCreateFont(t.ctx, "dejavu", kDejaVu), 1);
  vrFontSize(t.ctx, 40);
  const std::string snowman = Utf8(0x2603);
  ASSERT_EQ(FT_Get_Char_Index(roboto.face, 0x2603), 0u);
  const unsigned g = FT_Get_Char_Index(dejavu.face, 0x2603);
  ASSERT_NE(g, 0u);
  EXPECT_NEAR(vrTextBounds(t.ctx, 0, 0, snowman.c_str(), nullptr, nullptr), roboto.Advance(0) * roboto.Scale(40), 0.6);

  EXPECT_EQ(vrAddFallbackFontId(t.ctx, -1, 1), 0);
  EXPECT_EQ(vrAddFallbackFontId(t.ctx, 0, -1), 0);
  EXPECT_EQ(vrAddFallbackFont(t.ctx, "sans", nullptr), 0);
  EXPECT_EQ(vrAddFallbackFont(t.ctx, "sans", "nothing"), 0);
  EXPECT_EQ(vrAddFallbackFont(t.ctx, "nothing", "dejavu"), 0);
  EXPECT_EQ(vrAddFallbackFont(t.ctx, "sans", "dejavu"), 1);
  // The glyph 0 cached for the size before the fallback existed stays; a new size looks again.
  vrFontSize(t.ctx, 41);
  EXPECT_NEAR(vrTextBounds(t.ctx, 0, 0, snowman.c_str(), nullptr, nullptr), dejavu.Advance(g) * dejavu.Scale(41), 0.6);
  vrText(t.ctx, 10, 100, snowman.c_str(), nullptr);
  ASSERT_EQ(t.Triangles().size(), 1u);
  const std::vector<VRvertex>& v = t.Triangles()[0]->verts;
  ASSERT_EQ(v.size(), 6u);
  EXPECT_GT(v[1].x - v[0].x, 20.f); // the snowman's ink, not an empty glyph

  // Twenty fallbacks per font at most.
  for (int i = 1; i < 20; i++) EXPECT_EQ(vrAddFallbackFontId(t.ctx, 0, 1), 1) << i;
  EXPECT_EQ(vrAddFallbackFontId(t.ctx, 0, 1), 0);
}

// Fonts by face index and from memory; names are exact and case-sensitive.
TEST(RendererTextLayout, FontsFromFilesMemoryAndFaceIndices)
{
  TextCtx t;
  EXPECT_EQ(vrCreateFontAtIndex(t.ctx, "sans0", kRoboto, 0), 1);
  EXPECT_EQ(vrCreateFontAtIndex(t.ctx, "sans1", kRoboto, 1), -1); // a plain font file has one face
  EXPECT_EQ(vrCreateFont(t.ctx, "none", "/nonexistent/font.ttf"), -1);

  const std::vector<unsigned char> bytes = ReadFile(kDejaVu);
  auto* owned = static_cast<unsigned char*>(std::malloc(bytes.size()));
  std::memcpy(owned, bytes.data(), bytes.size());
  EXPECT_EQ(vrCreateFontMem(t.ctx, "mem", owned, int(bytes.size()), 1), 2); // the store frees it
  auto* junk = static_cast<unsigned char*>(std::malloc(64));
  std::memset(junk, 0xAB, 64);
  EXPECT_EQ(vrCreateFontMem(t.ctx, "junk", junk, 64, 1), -1); // refused, and freed all the same
  std::vector<unsigned char> borrowed = bytes;
  EXPECT_EQ(vrCreateFontMemAtIndex(t.ctx, "borrowed", borrowed.data(), int(borrowed.size()), 0, 0), 3);

  EXPECT_EQ(vrFindFont(t.ctx, "mem"), 2);
  EXPECT_EQ(vrFindFont(t.ctx, "Mem"), -1);
  EXPECT_EQ(vrFindFont(t.ctx, nullptr), -1);
  // The memory font measures as the same font read from its file.
  vrFontSize(t.ctx, 30);
  vrFontFace(t.ctx, "mem");
  const float fromMemory = vrTextBounds(t.ctx, 0, 0, "Loudness", nullptr, nullptr);
  ASSERT_EQ(vrCreateFont(t.ctx, "file", kDejaVu), 4);
  vrFontFace(t.ctx, "file");
  EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 0, 0, "Loudness", nullptr, nullptr), fromMemory);
  vrFontFace(t.ctx, "sans");
  EXPECT_NE(vrTextBounds(t.ctx, 0, 0, "Loudness", nullptr, nullptr), fromMemory);
}

struct BreakCase
{
  const char* text;
  const char* rowWidthOf;
  std::vector<std::string> rows;
};

// Leading spaces of a row after a break are skipped and trailing ones do not count; CR LF and LF CR each end one
// row; a limited number of rows continues from the last row's next.
TEST(RendererTextLayout, RowBreakingSpacesAndLineEnds)
{
  TextCtx t;
  vrFontSize(t.ctx, 16);
  const BreakCase cases[] = {
      {"hello   world  again", "hello worl", {"hello", "world", "again"}},
      {"one\r\ntwo\n\rthree", "one two three four", {"one", "two", "three"}},
      {"  lead", "lead lead", {"lead"}},
      {"one\xC2\x85two", "one two three", {"one", "two"}}, // next line (U+0085)
  };
  for (const BreakCase& k : cases)
  {
    SCOPED_TRACE(k.text);
    const float width = vrTextBounds(t.ctx, 0, 0, k.rowWidthOf, nullptr, nullptr) + 0.5f;
    VRtextRow rows[8];
    const int n = vrTextBreakLines(t.ctx, k.text, nullptr, width, rows, 8);
    ASSERT_EQ(n, static_cast<int>(k.rows.size()));
    for (int i = 0; i < n; i++)
    {
      EXPECT_EQ(std::string(rows[i].start, rows[i].end), k.rows[i]) << i;
      EXPECT_NEAR(rows[i].width, vrTextBounds(t.ctx, 0, 0, k.rows[i].c_str(), nullptr, nullptr), 0.01) << i;
    }
  }
  VRtextRow rows[1];
  const char* s = "hello world";
  const float width = std::max(vrTextBounds(t.ctx, 0, 0, "hello", nullptr, nullptr),
                               vrTextBounds(t.ctx, 0, 0, "world", nullptr, nullptr)) + 1;
  ASSERT_EQ(vrTextBreakLines(t.ctx, s, nullptr, width, rows, 1), 1);
  EXPECT_STREQ(rows[0].next, "world");
  ASSERT_EQ(vrTextBreakLines(t.ctx, rows[0].next, nullptr, width, rows, 1), 1);
  EXPECT_EQ(rows[0].next, s + std::strlen(s));
}

// A text box draws each row with one text call at the row's own line: x by the horizontal alignment (left, centre
// of the box, right of the box), y growing by the line height times the line-height factor. Its bounds are the
// rows' ink across and whole lines down. The alignment is the caller's again afterwards.
TEST(RendererTextLayout, TextBoxesLayOutTheirRows)
{
  const char* text = "hello world again";
  const std::vector<std::string> words = {"hello", "world", "again"};
  struct Case
  {
    int halign;
    float lineHeight;
  };
  for (const Case& k : {Case{VR_ALIGN_LEFT, 1.f}, Case{VR_ALIGN_CENTER, 1.5f}, Case{VR_ALIGN_RIGHT, 0.8f}})
  {
    SCOPED_TRACE(testing::Message() << "align " << k.halign << " line height " << k.lineHeight);
    TextCtx t;
    vrFontSize(t.ctx, 20);
    float boxWidth = 0;
    for (const std::string& w : words) boxWidth = std::max(boxWidth, vrTextBounds(t.ctx, 0, 0, w.c_str(), nullptr, nullptr));
    boxWidth += 4;
    float lineh = 0;
    vrTextMetrics(t.ctx, nullptr, nullptr, &lineh);
    const int align = k.halign | VR_ALIGN_TOP;
    vrTextAlign(t.ctx, align);
    vrTextLineHeight(t.ctx, k.lineHeight);

    // Each row as a plain text call at the place worked out by hand.
    std::vector<std::vector<VRvertex>> expected;
    float minx = 1e9f, maxx = -1e9f;
    for (size_t i = 0; i < words.size(); i++)
    {
      const float w = vrTextBounds(t.ctx, 0, 0, words[i].c_str(), nullptr, nullptr);
      const float x = k.halign == VR_ALIGN_LEFT ? 30 : k.halign == VR_ALIGN_CENTER ? 30 + boxWidth / 2 - w / 2
                                                                                     : 30 + boxWidth - w;
      vrTextAlign(t.ctx, VR_ALIGN_LEFT | VR_ALIGN_TOP);
      float b[4];
      vrTextBounds(t.ctx, x, 0, words[i].c_str(), nullptr, b);
      minx = std::min(minx, b[0]);
      maxx = std::max(maxx, b[2]);
      t.be.calls.clear();
      vrText(t.ctx, x, 50 + float(i) * lineh * k.lineHeight, words[i].c_str(), nullptr);
      expected.push_back(t.Triangles().at(0)->verts);
    }
    vrTextAlign(t.ctx, align);

    t.be.calls.clear();
    vrTextBox(t.ctx, 30, 50, boxWidth, text, nullptr);
    const auto tris = t.Triangles();
    ASSERT_EQ(tris.size(), 3u);
    for (size_t i = 0; i < 3; i++)
    {
      ASSERT_EQ(tris[i]->verts.size(), expected[i].size()) << i;
      for (size_t j = 0; j < expected[i].size(); j++)
      {
        EXPECT_NEAR(tris[i]->verts[j].x, expected[i][j].x, 1e-3) << i;
        EXPECT_NEAR(tris[i]->verts[j].y, expected[i][j].y, 1e-3) << i;
      }
    }
    EXPECT_EQ(vr__getState(t.ctx)->textAlign, align);

    float b[4];
    vrTextBoxBounds(t.ctx, 30, 50, boxWidth, text, nullptr, b);
    // Across within the whole device pixel that glyph corners are cut to.
    EXPECT_NEAR(b[0], std::min(30.f, minx), 1.0);
    EXPECT_NEAR(b[2], std::max(30.f, maxx), 1.0);
    EXPECT_NEAR(b[1], 50, 0.01); // top-aligned lines start at y
    EXPECT_NEAR(b[3], 50 + 2 * lineh * k.lineHeight + lineh, 0.01);
    EXPECT_EQ(vr__getState(t.ctx)->textAlign, align);
  }

  // Without a horizontal flag nothing is drawn; the bounds keep the rows' ink at x.
  TextCtx t;
  vrTextAlign(t.ctx, VR_ALIGN_BASELINE);
  vrTextBox(t.ctx, 0, 50, 60, text, nullptr);
  EXPECT_TRUE(t.Triangles().empty());
  float b[4] = {};
  vrTextBoxBounds(t.ctx, 0, 50, 60, text, nullptr, b);
  float asc = 0;
  vrTextMetrics(t.ctx, &asc, nullptr, nullptr);
  EXPECT_NEAR(b[1], 50 - asc, 0.01); // baseline-aligned: the first line's top is an ascender above y
  EXPECT_GT(b[2], 0);
  // No font: nothing drawn, bounds all zero.
  vrFontFaceId(t.ctx, -1);
  vrTextBox(t.ctx, 0, 50, 60, text, nullptr);
  EXPECT_TRUE(t.Triangles().empty());
  float none[4] = {1, 1, 1, 1};
  vrTextBoxBounds(t.ctx, 0, 50, 60, text, nullptr, none);
  EXPECT_EQ(none[0] + none[1] + none[2] + none[3], 0.f);
}

// One string is one triangle list: six vertices per glyph, the atlas texture as image, the fill colour times the
// global alpha; the glyphs reach the atlas texture before they are drawn, and the vertices stay within the text's
// box.
TEST(RendererTextLayout, DrawsOneTriangleListPerString)
{
  TextCtx t;
  vrFontSize(t.ctx, 20);
  vrFillColor(t.ctx, vrRGBAf(1, 0, 0, 0.8f));
  vrGlobalAlpha(t.ctx, 0.5f);
  float b[4];
  vrTextBounds(t.ctx, 10, 50, "Hello", nullptr, b);
  const float end = vrText(t.ctx, 10, 50, "Hello", nullptr);
  EXPECT_NEAR(end - 10, vrTextBounds(t.ctx, 10, 50, "Hello", nullptr, nullptr), 1e-4);
  const auto tris = t.Triangles();
  ASSERT_EQ(tris.size(), 1u);
  const RecordedCall& c = *tris[0];
  EXPECT_EQ(c.verts.size(), 5u * 6);
  EXPECT_EQ(c.paint.image, t.ctx->fontImages[0]);
  EXPECT_FLOAT_EQ(c.paint.innerColor.a, 0.4f);
  for (const VRvertex& v : c.verts)
  {
    EXPECT_TRUE(v.u >= 0 && v.u <= 1 && v.v >= 0 && v.v <= 1);
    EXPECT_TRUE(v.x >= b[0] - 1 && v.x <= b[2] + 1 && v.y >= b[1] - 1 && v.y <= b[3] + 1) << v.x << "," << v.y;
  }
  // Every glyph's texture rectangle holds ink once the atlas texture is updated.
  const RecordedTexture& atlas = t.be.textures[t.ctx->fontImages[0]];
  for (size_t g = 0; g < c.verts.size(); g += 6)
  {
    const int x0 = int(c.verts[g].u * 512), y0 = int(c.verts[g].v * 512);
    const int x1 = int(c.verts[g + 1].u * 512), y1 = int(c.verts[g + 1].v * 512);
    int ink = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) ink += atlas.pixels[size_t(y) * 512 + size_t(x)];
    EXPECT_GT(ink, 255 * 5) << g / 6;
  }
}

// A transform that leaves text no size measures, breaks and draws nothing.
TEST(RendererTextLayout, NothingUnderAZeroScale)
{
  TextCtx t;
  vrScale(t.ctx, 0, 0);
  VRglyphPosition pos[8];
  VRtextRow rows[4];
  EXPECT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, "Hello", nullptr, pos, 8), 0);
  EXPECT_EQ(vrTextBreakLines(t.ctx, "Hello", nullptr, 50, rows, 4), 0);
  vrTextBox(t.ctx, 0, 0, 100, "Hello", nullptr);
  float b[4] = {1, 1, 1, 1};
  vrTextBoxBounds(t.ctx, 0, 0, 100, "Hello", nullptr, b);
  EXPECT_EQ(b[0] + b[1] + b[2] + b[3], 0.f);
  float asc = 7;
  vrTextMetrics(t.ctx, &asc, nullptr, nullptr);
  EXPECT_EQ(asc, 7.f);
  EXPECT_TRUE(t.be.calls.empty());
}

} // namespace

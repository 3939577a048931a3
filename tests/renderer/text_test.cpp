// Text layout and drawing through the renderer: what reaches the back end per string, scaling to device pixels,
// atlas growth, measuring and row breaking. Advances against FreeType: the drawing interface's text tests.

#include "renderer/FontAtlas.h"
#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

const char* const kRoboto = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";

struct TextCtx
{
  RecordingBackend be;
  VRcontext* ctx = be.CreateContext();
  int font = -1;
  explicit TextCtx(float ratio = 1)
  {
    font = vrCreateFont(ctx, "sans", kRoboto);
    vrBeginFrame(ctx, 400, 400, ratio);
  }
  ~TextCtx() { vrDeleteInternal(ctx); }
  std::vector<const RecordedCall*> Triangles() const
  {
    std::vector<const RecordedCall*> out;
    for (const RecordedCall& c : be.calls)
      if (c.kind == RecordedCall::Triangles) out.push_back(&c);
    return out;
  }
};

TEST(RendererText, FontsAndNoFont)
{
  TextCtx t;
  ASSERT_EQ(t.font, 0);
  EXPECT_EQ(vrFindFont(t.ctx, "sans"), 0);
  for (int r : {vrFindFont(t.ctx, nullptr), vrFindFont(t.ctx, "Sans"), vrCreateFont(t.ctx, "x", "/nonexistent.ttf")})
    EXPECT_EQ(r, -1);
  EXPECT_EQ(vrAddFallbackFontId(t.ctx, -1, 0) + vrAddFallbackFont(t.ctx, "sans", "nothing"), 0);
  EXPECT_EQ(vrAddFallbackFont(t.ctx, "sans", "sans"), 1);

  vrFontFaceId(t.ctx, 7); // a font the store does not have: nothing drawn
  EXPECT_FLOAT_EQ(vrText(t.ctx, 12, 30, "Hello", nullptr), 12);
  vrFontFace(t.ctx, "nothing"); // unknown: font id -1, nothing drawn or measured
  EXPECT_EQ(vr__getState(t.ctx)->fontId, -1);
  EXPECT_FLOAT_EQ(vrText(t.ctx, 12, 30, "Hello", nullptr), 12);
  EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 0, 0, "Hello", nullptr, nullptr), 0);
  VRtextRow rows[2];
  EXPECT_EQ(vrTextBreakLines(t.ctx, "Hello", nullptr, 100, rows, 2), 0);
  float b[4] = {1, 1, 1, 1};
  vrTextBoxBounds(t.ctx, 0, 0, 100, "Hello", nullptr, b);
  EXPECT_FLOAT_EQ(b[2], 0);
  EXPECT_TRUE(t.be.calls.empty());
}

TEST(RendererText, DrawsOneTriangleListPerString)
{
  TextCtx t;
  vrFontSize(t.ctx, 20);
  vrFillColor(t.ctx, vrRGBAf(1, 0, 0, 0.8f));
  vrGlobalAlpha(t.ctx, 0.5f);
  const float end = vrText(t.ctx, 10, 50, "Hello", nullptr);
  const auto tris = t.Triangles();
  ASSERT_EQ(tris.size(), 1u);
  const RecordedCall& c = *tris[0];
  EXPECT_EQ(c.verts.size(), 5u * 6);
  EXPECT_EQ(c.paint.image, t.ctx->fontImages[0]);
  EXPECT_FLOAT_EQ(c.paint.innerColor.a, 0.4f);
  // Baseline-aligned "Hello" has no descenders: every vertex above the baseline (plus padding), within the advance.
  for (const VRvertex& v : c.verts)
    EXPECT_TRUE(v.u >= 0 && v.u <= 1 && v.x >= 8 && v.x <= end + 2 && v.y <= 56) << v.x << "," << v.y;
  // The glyphs were uploaded to the atlas texture before they were drawn.
  ASSERT_FALSE(t.be.updates.empty());
  EXPECT_EQ(t.be.updates[0].image, t.ctx->fontImages[0]);
  const RecordedTexture& atlas = t.be.textures[t.ctx->fontImages[0]];
  EXPECT_GT(std::count_if(atlas.pixels.begin(), atlas.pixels.end(), [](unsigned char a) { return a > 128; }), 50);

  EXPECT_NEAR(vrTextBounds(t.ctx, 10, 50, "Hello", nullptr, nullptr), end - 10, 1e-4);
}

TEST(RendererText, ScaledToDevicePixels)
{
  // Ratio 2: the same logical advance (within rounding), glyphs rasterised twice as large.
  TextCtx one(1), two(2);
  vrFontSize(one.ctx, 16);
  vrFontSize(two.ctx, 16);
  const float a1 = vrTextBounds(one.ctx, 0, 0, "Loudness", nullptr, nullptr);
  const float a2 = vrTextBounds(two.ctx, 0, 0, "Loudness", nullptr, nullptr);
  EXPECT_NEAR(a1, a2, 8 * 0.5);
  float asc1 = 0, asc2 = 0, lh = 0;
  vrTextMetrics(one.ctx, &asc1, nullptr, &lh);
  vrTextMetrics(two.ctx, &asc2, nullptr, nullptr);
  EXPECT_NEAR(asc1, asc2, 0.1);
  EXPECT_GE(lh, 16); // Roboto has no line gap

  // A transform scaling by 10: rasterised at 4 times the nominal size, drawn 2.5 times larger than that.
  TextCtx t;
  vrFontSize(t.ctx, 10);
  vrScale(t.ctx, 10, 10);
  vrText(t.ctx, 1, 5, "H", nullptr);
  ASSERT_EQ(t.Triangles().size(), 1u);
  const std::vector<VRvertex>& v = t.Triangles()[0]->verts;
  ASSERT_EQ(v.size(), 6u);
  EXPECT_NEAR(std::fabs(v[1].x - v[0].x) / (std::fabs(v[1].u - v[0].u) * 512), 2.5, 1e-3); // screen / atlas pixels
}

// A transform that gives text no size, and strings cut inside a UTF-8 sequence, draw nothing they cannot.
TEST(RendererText, DegenerateScaleAndCutSequences)
{
  TextCtx t;
  vrSave(t.ctx);
  vrScale(t.ctx, 0, 0);
  EXPECT_FLOAT_EQ(vrText(t.ctx, 3, 4, "Hello", nullptr), 3);
  float b[4] = {7, 7, 7, 7};
  EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 3, 4, "Hello", nullptr, b), 0);
  EXPECT_FLOAT_EQ(b[0], 7); // untouched
  VRglyphPosition pos[8];
  VRtextRow rows[4];
  EXPECT_EQ(vrTextGlyphPositions(t.ctx, 0, 0, "Hello", nullptr, pos, 8) + vrTextBreakLines(t.ctx, "Hello", nullptr, 50, rows, 4), 0);
  vrTextBox(t.ctx, 0, 0, 100, "Hello", nullptr);
  EXPECT_TRUE(t.be.calls.empty());
  vrRestore(t.ctx);

  for (const char* cut : {"AB\xE2\x82", "AB\xE2", "AB\xFF"})
  {
    t.be.calls.clear();
    vrText(t.ctx, 0, 20, cut, nullptr);
    ASSERT_EQ(t.Triangles().size(), 1u) << cut;
    EXPECT_EQ(t.Triangles()[0]->verts.size(), 2u * 6) << "a glyph added twice for a cut sequence";
  }
}

TEST(RendererText, AtlasGrowsThenRetiresItsTextures)
{
  RecordingBackend be;
  {
    VRcontext* ctx = be.CreateContext();
    ASSERT_EQ(vrCreateFont(ctx, "sans", kRoboto), 0);
    vrBeginFrame(ctx, 400, 400, 1);
    vrFontSize(ctx, 250);
    const char* s = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    vrText(ctx, 0, 200, s, nullptr);
    EXPECT_GT(ctx->fontImageIdx, 0);
    int w = 0, h = 0;
    vrImageSize(ctx, ctx->fontImages[ctx->fontImageIdx], &w, &h);
    EXPECT_GT(w * h, 512 * 512);
    // Starting at 512 x 512 the sizes go 1024 x 512, 1024 x 1024, 2048 x 1024.
    const int sizes[][2] = {{512, 512}, {1024, 512}, {1024, 1024}, {2048, 1024}};
    for (int i = 0; i <= ctx->fontImageIdx; i++)
    {
      vrImageSize(ctx, ctx->fontImages[i], &w, &h);
      EXPECT_EQ(w, sizes[i][0]);
      EXPECT_EQ(h, sizes[i][1]);
    }
    // Every glyph was drawn, across the triangle lists split by the growth.
    size_t verts = 0;
    for (const RecordedCall& c : be.calls) verts += c.verts.size();
    EXPECT_EQ(verts, std::strlen(s) * 6);
    const int current = ctx->fontImages[ctx->fontImageIdx];
    vrEndFrame(ctx);
    EXPECT_EQ(ctx->fontImageIdx, 0);
    EXPECT_EQ(ctx->fontImages[0], current);
    for (int i = 1; i < 4; i++) EXPECT_EQ(ctx->fontImages[i], 0);

    vrDeleteInternal(ctx);

    // Glyphs of about 450 pixels: a few fit each atlas size, and after the third growth the atlas cannot grow: the
    // string is drawn up to the last glyph that fitted.
    ctx = be.CreateContext();
    ASSERT_EQ(vrCreateFont(ctx, "sans", kRoboto), 0);
    be.calls.clear();
    vrBeginFrame(ctx, 400, 400, 1);
    vrFontSize(ctx, 750);
    vrText(ctx, 0, 600, s, nullptr);
    verts = 0;
    for (const RecordedCall& c : be.calls) verts += c.verts.size();
    EXPECT_EQ(ctx->fontImageIdx, 3);
    EXPECT_GT(verts, 0u);
    EXPECT_LT(verts, std::strlen(s) * 6);
    vrEndFrame(ctx);
    vrDeleteInternal(ctx);
  }
  EXPECT_TRUE(be.textures.empty()) << "an atlas texture leaked";
  std::vector<int> d = be.deleted;
  std::sort(d.begin(), d.end());
  EXPECT_EQ(std::adjacent_find(d.begin(), d.end()), d.end()) << "an atlas texture was deleted twice";
}

struct BreakCase
{
  const char* text;
  const char* rowWidthOf; // the row width is the advance of this text (plus a little)
  std::vector<std::string> rows;
};

TEST(RendererText, RowBreaking)
{
  TextCtx t;
  vrFontSize(t.ctx, 16);
  const BreakCase cases[] = {
      {"hello world", "hello w", {"hello", "world"}},
      {"hello   world  again", "hello worl", {"hello", "world", "again"}},
      {"abcdefghij", "abcd", {"abcd", "efgh", "ij"}},
      {"one\r\ntwo\n\rthree", "one two three four", {"one", "two", "three"}},
      {"one\n\ntwo", "one two three four", {"one", "", "two"}},
      {"\xE4\xB8\x80\xE4\xB8\x81\xE4\xB8\x82", "\xE4\xB8\x80\xE4\xB8\x81", {"\xE4\xB8\x80\xE4\xB8\x81", "\xE4\xB8\x82"}},
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
      if (!k.rows[i].empty())
      {
        EXPECT_NEAR(rows[i].width, vrTextBounds(t.ctx, 0, 0, k.rows[i].c_str(), nullptr, nullptr), 0.01) << i;
      }
      EXPECT_LE(rows[i].width, width);
    }
  }
  // maxRows stops early; the rows continue from `next`.
  VRtextRow rows[1];
  const char* s = "hello world";
  float width = 0;
  for (const char* word : {"hello", "world", "again"})
    width = std::max(width, vrTextBounds(t.ctx, 0, 0, word, nullptr, nullptr) + 1);
  ASSERT_EQ(vrTextBreakLines(t.ctx, s, nullptr, width, rows, 1), 1);
  EXPECT_STREQ(rows[0].next, "world");

  // A text box draws each row at its own line.
  t.be.calls.clear();
  vrTextAlign(t.ctx, VR_ALIGN_CENTER | VR_ALIGN_TOP);
  vrTextBox(t.ctx, 0, 0, width, "hello world again", nullptr);
  EXPECT_EQ(t.Triangles().size(), 3u);
  EXPECT_EQ(vr__getState(t.ctx)->textAlign, VR_ALIGN_CENTER | VR_ALIGN_TOP); // restored
  float b[4];
  vrTextBoxBounds(t.ctx, 0, 0, width, "hello world again", nullptr, b);
  float lineh = 0;
  vrTextMetrics(t.ctx, nullptr, nullptr, &lineh);
  EXPECT_NEAR(b[3] - b[1], 3 * lineh, 1.0);
  EXPECT_GE(b[0], -0.5f);
  EXPECT_LE(b[2], width + 0.5f);

  vrTextAlign(t.ctx, VR_ALIGN_LEFT | VR_ALIGN_BASELINE);
  VRglyphPosition pos[4];
  ASSERT_EQ(vrTextGlyphPositions(t.ctx, 5, 0, "hello", nullptr, pos, 4), 4);
  EXPECT_FLOAT_EQ(pos[0].x, 5);
  for (int i = 1; i < 4; i++)
  {
    EXPECT_EQ(pos[i].str, pos[0].str + i);
    EXPECT_GT(pos[i].x, pos[i - 1].x);
    EXPECT_LE(pos[i].minx, pos[i].x);
  }
}

} // namespace

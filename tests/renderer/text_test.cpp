// Text layout and drawing through the renderer: what reaches the back end per string, scaling to device pixels,
// atlas growth, measuring and row breaking. Advances against FreeType: the drawing interface's text tests.

#include "renderer/FontAtlas.h"
#include "renderer/VectorRenderer_p.h"
#include "renderer/support/RecordingBackend.h"
#include "renderer/support/TextContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

using fonttest::kRoboto;

// A font the store does not have draws and measures nothing.
TEST(RendererText, NoFontDrawsNothing)
{
  TextCtx t;
  ASSERT_EQ(t.font, 0);
  vrFontFaceId(t.ctx, 7);
  EXPECT_FLOAT_EQ(vrText(t.ctx, 12, 30, "Hello", nullptr), 12);
  vrFontFace(t.ctx, "nothing");
  EXPECT_FLOAT_EQ(vrText(t.ctx, 12, 30, "Hello", nullptr), 12);
  EXPECT_FLOAT_EQ(vrTextBounds(t.ctx, 0, 0, "Hello", nullptr, nullptr), 0);
  EXPECT_TRUE(t.be.calls.empty());
}

TEST(RendererText, ScaledByTheTransform)
{
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
      {"abcdefghij", "abcd", {"abcd", "efgh", "ij"}},
      {"one\r\ntwo\n\ntwo", "one two three four", {"one", "two", "", "two"}},
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
}

} // namespace

// The font store's atlas, glyph cache, fallbacks and state: growth and reset, missing glyphs, sizes and blur.

#include "tests/renderer/FontTestUtil.h"

#include <cmath>
#include <limits>

using namespace fonttest;

namespace
{

struct Errors
{
  std::vector<int> seen;
  static void Record(void* up, int error, int) { static_cast<Errors*>(up)->seen.push_back(error); }
  long Count(int error) const { return std::count(seen.begin(), seen.end(), error); }
};

// Rasterised glyphs lie inside the atlas, clear of the white rectangle and of each other; the skyline covers the
// width without gaps or overlaps.
void ExpectSoundAtlas(const Store& store)
{
  const FAcontext* s = store.s;
  std::vector<FAglyph> placed{FAglyph{0, 1, -1, 0, 0, 0, 0, 2, 2, 0, 0, 0}}; // the white rectangle
  for (int i = 0; i < s->fonts[0]->nglyphs; ++i)
  {
    const FAglyph& g = s->fonts[0]->glyphs[i];
    if (g.index == 0 || g.x0 < 0) continue;
    EXPECT_TRUE(g.x0 >= 0 && g.y0 >= 0 && g.x1 <= s->params.width && g.y1 <= s->params.height);
    for (const FAglyph& o : placed) EXPECT_FALSE(g.x0 < o.x1 && o.x0 < g.x1 && g.y0 < o.y1 && o.y0 < g.y1);
    placed.push_back(g);
  }
  int x = 0;
  for (int i = 0; i < s->atlas->nnodes; ++i)
  {
    EXPECT_EQ(s->atlas->nodes[i].x, x);
    x += s->atlas->nodes[i].width;
  }
  EXPECT_EQ(x, s->params.width);
}

} // namespace

// The atlas reports full only when a glyph has no room; glyphs that need none (missing ones, tiny sizes) never ask
// for more.
TEST(FontAtlas, ReportsFullOnlyWhenFull)
{
  Store store(256, 256);
  Errors errors;
  faSetErrorCallback(store.s, &Errors::Record, &errors);
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  bool failed = false;
  for (float size = 60; !failed && size < 100; ++size)
    for (char c = 'A'; c <= 'Z' && !failed; ++c)
    {
      faSetSize(store.s, size);
      failed = Steps(store.s, std::string(1, c), FA_GLYPH_BITMAP_REQUIRED)[0].glyph == -1;
    }
  ASSERT_TRUE(failed);
  EXPECT_EQ(errors.Count(FA_ATLAS_FULL), 1); // reported once, then tried once more
  EXPECT_EQ(Steps(store.s, Utf8(0x4E00), FA_GLYPH_BITMAP_REQUIRED)[0].glyph, 0);
  faSetSize(store.s, 0.1f);
  EXPECT_TRUE(Steps(store.s, "abc", FA_GLYPH_BITMAP_REQUIRED).empty());
  ExpectSoundAtlas(store);
}

// Reset empties the atlas and the cache: the white rectangle comes first again and glyphs are rasterised anew. A
// refusing resize callback leaves everything as it was.
TEST(FontAtlas, ResetForgetsGlyphsAndRefusalChangesNothing)
{
  static int resizeAnswer = 1;
  FAparams cb{};
  cb.renderResize = [](void*, int, int) { return resizeAnswer; };
  Store store(256, 256, cb);
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  faSetSize(store.s, 30.f);
  ASSERT_EQ(Steps(store.s, "Hello", FA_GLYPH_BITMAP_REQUIRED).size(), 5u);
  int dirty[4];
  faValidateTexture(store.s, dirty);

  resizeAnswer = 0;
  EXPECT_EQ(faResetAtlas(store.s, 512, 512), 0);
  EXPECT_EQ(store.s->params.width, 256);
  EXPECT_EQ(store.Font(0)->nglyphs, 4); // H e l o
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);

  resizeAnswer = 1;
  ASSERT_EQ(faResetAtlas(store.s, 512, 1024), 1);
  EXPECT_EQ(store.Font(0)->nglyphs, 0);
  long ink = 0;
  for (int i = 0; i < 512 * 1024; ++i) ink += store.s->texData[i];
  EXPECT_EQ(ink, 4 * 255);
  for (const Step& st : Steps(store.s, "Hello", FA_GLYPH_BITMAP_REQUIRED)) EXPECT_GT(st.glyph, 0);
  EXPECT_EQ(faResetAtlas(store.s, 1, 512), 0);
}

// Blur is capped at 20 and pads the glyph by blur + 2 while keeping an empty border; tiny, absurd and non-finite
// sizes and blurs are safe.
TEST(FontAtlas, BlurAndDegenerateSizes)
{
  Store store;
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  FAfont* font = store.Font(0);
  faSetSize(store.s, 20.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  const int plainW = font->glyphs[0].x1 - font->glyphs[0].x0;
  faSetBlur(store.s, 25.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(font->nglyphs, 2);
  const FAglyph& b = font->glyphs[1];
  EXPECT_EQ(b.blur, 20);
  EXPECT_EQ(b.x1 - b.x0, plainW + 2 * 20);
  const int w = store.s->params.width;
  long border = 0, inner = 0;
  for (int y = b.y0; y < b.y1; ++y)
    for (int x = b.x0; x < b.x1; ++x)
      (x == b.x0 || x == b.x1 - 1 || y == b.y0 || y == b.y1 - 1 ? border : inner) += store.s->texData[y * w + x];
  EXPECT_EQ(border, 0);
  EXPECT_GT(inner, 0);

  faSetBlur(store.s, std::numeric_limits<float>::quiet_NaN());
  for (float size : {0.f, 0.1f, -5.f, std::numeric_limits<float>::quiet_NaN()})
  {
    faSetSize(store.s, size);
    FAtextIter it;
    FAquad q;
    EXPECT_EQ(faTextIterInit(store.s, &it, 0, 0, "abc", nullptr, FA_GLYPH_BITMAP_REQUIRED), 0);
    EXPECT_EQ(faTextIterNext(store.s, &it, &q), 0);
    float bounds[4] = {1, 1, 1, 1};
    EXPECT_EQ(faTextBounds(store.s, 5, 6, "abc", nullptr, bounds), 0.f);
    EXPECT_EQ(bounds[0], 5.f);
  }
  for (float size : {1e9f, std::numeric_limits<float>::infinity()})
  {
    faSetSize(store.s, size);
    EXPECT_TRUE(std::isfinite(Steps(store.s, "W", FA_GLYPH_BITMAP_OPTIONAL).at(0).nextx));
    EXPECT_EQ(Steps(store.s, "W", FA_GLYPH_BITMAP_REQUIRED).at(0).glyph, -1); // too big for any atlas
  }
}

// A codepoint that no font has is one empty glyph with the first glyph's advance, cached once, using no atlas
// space; a fallback font supplies it with its own metrics. An unknown bitmap option rasterises nothing.
TEST(FontAtlas, MissingGlyphsFallbacksAndUnknownOptions)
{
  FtFace roboto(kRoboto), dejavu(kDejaVu);
  Store store;
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  ASSERT_EQ(faAddFont(store.s, "dejavu", kDejaVu, 0), 1);
  faSetSize(store.s, 40.f);
  int dirty[4];
  faValidateTexture(store.s, dirty);
  const int nodes = store.s->atlas->nnodes;
  for (int i = 0; i < 3; ++i)
  {
    const Step st = Steps(store.s, Utf8(0x4E00), FA_GLYPH_BITMAP_REQUIRED).at(0);
    EXPECT_EQ(st.glyph, 0);
    EXPECT_TRUE(st.quad.x0 == st.quad.x1 && st.quad.y0 == st.quad.y1);
    EXPECT_NEAR(st.nextx - st.x, roboto.Advance(0) * roboto.Scale(40), 0.6);
  }
  EXPECT_EQ(store.Font(0)->nglyphs, 1);
  EXPECT_EQ(store.s->atlas->nnodes, nodes);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);
  FAtextIter it; // a null quad still moves the pen
  ASSERT_EQ(faTextIterInit(store.s, &it, 0, 0, "Q", nullptr, 7), 1);
  ASSERT_EQ(faTextIterNext(store.s, &it, nullptr), 1);
  EXPECT_GT(it.nextx, 10.f);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);

  ASSERT_EQ(faAddFallbackFont(store.s, 0, 1), 1);
  const Step st = Steps(store.s, Utf8(0x2603), FA_GLYPH_BITMAP_REQUIRED).at(0);
  const unsigned g = FT_Get_Char_Index(dejavu.face, 0x2603);
  EXPECT_EQ(st.glyph, int(g));
  EXPECT_NEAR(st.nextx - st.x, dejavu.Advance(g) * dejavu.Scale(40), 0.6);
}

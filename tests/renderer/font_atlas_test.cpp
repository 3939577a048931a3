// The font store's atlas, glyph cache, fallbacks and state: growth and reset, missing glyphs, sizes and blur.

#include "tests/renderer/FontTestUtil.h"

#include <cmath>
#include <limits>
#include <set>

using namespace fonttest;

namespace
{

struct Errors
{
  std::vector<std::pair<int, int>> seen;
  static void Record(void* up, int error, int val) { static_cast<Errors*>(up)->seen.push_back({error, val}); }
  int Count(int error) const
  {
    int n = 0;
    for (auto& e : seen) n += e.first == error;
    return n;
  }
};

bool Overlap(const FAglyph& a, const FAglyph& b)
{
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// Rasterised glyphs lie inside the atlas, clear of the white rectangle and of each other; the skyline covers the
// width without gaps or overlaps.
void ExpectSoundAtlas(const Store& store)
{
  const FAcontext* s = store.s;
  std::vector<FAglyph> placed;
  for (int f = 0; f < s->nfonts; ++f)
    for (int i = 0; i < s->fonts[f]->nglyphs; ++i)
    {
      const FAglyph& g = s->fonts[f]->glyphs[i];
      if (g.index == 0 || g.x0 < 0) continue;
      EXPECT_GE(g.x0, 0);
      EXPECT_GE(g.y0, 0);
      EXPECT_LE(g.x1, s->params.width);
      EXPECT_LE(g.y1, s->params.height);
      EXPECT_FALSE(Overlap(g, FAglyph{0, 1, -1, 0, 0, 0, 0, 2, 2, 0, 0, 0}));
      for (const FAglyph& o : placed) EXPECT_FALSE(Overlap(g, o));
      placed.push_back(g);
    }
  int x = 0;
  for (int i = 0; i < s->atlas->nnodes; ++i)
  {
    EXPECT_EQ(s->atlas->nodes[i].x, x);
    EXPECT_GT(s->atlas->nodes[i].width, 0);
    x += s->atlas->nodes[i].width;
  }
  EXPECT_EQ(x, s->params.width);
}

// Big glyphs, one new one per step, until the atlas has no room: returns the text of the step that failed.
std::string FillUntilFull(Store& store, float size)
{
  faSetSize(store.s, size);
  for (int round = 0; round < 40; ++round)
  {
    faSetSize(store.s, size + float(round));
    for (char c = 'A'; c <= 'Z'; ++c)
    {
      const std::string one(1, c);
      const std::vector<Step> st = Steps(store.s, one, FA_GLYPH_BITMAP_REQUIRED);
      if (st.size() == 1 && st[0].glyph == -1) return one;
    }
  }
  return "";
}

} // namespace

TEST(FontAtlas, CreationPlacesTheWhiteRectangle)
{
  FAparams bad{};
  bad.width = 0;
  bad.height = 512;
  EXPECT_EQ(faCreateInternal(&bad), nullptr);
  EXPECT_EQ(faCreateInternal(nullptr), nullptr);

  Store store;
  ASSERT_NE(store.s, nullptr);
  int w = 0, h = 0;
  const unsigned char* tex = faGetTextureData(store.s, &w, &h);
  ASSERT_EQ(w, 512);
  ASSERT_EQ(h, 512);
  EXPECT_EQ(tex[0], 255);
  EXPECT_EQ(tex[1], 255);
  EXPECT_EQ(tex[512], 255);
  EXPECT_EQ(tex[513], 255);
  EXPECT_EQ(tex[2], 0);
  int dirty[4] = {};
  ASSERT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(dirty[0], 0);
  EXPECT_EQ(dirty[1], 0);
  EXPECT_EQ(dirty[2], 2);
  EXPECT_EQ(dirty[3], 2);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);
}

// The atlas reports full only when a glyph has no room; growing keeps every byte and glyph, and the step that
// failed succeeds afterwards. Expanding to a size that is not larger changes nothing.
TEST(FontAtlas, GrowsOnlyWhenFullAndKeepsItsGlyphs)
{
  Store store(256, 256);
  Errors errors;
  faSetErrorCallback(store.s, &Errors::Record, &errors);
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);

  const std::string failed = FillUntilFull(store, 60.f);
  ASSERT_FALSE(failed.empty());
  ExpectSoundAtlas(store);
  EXPECT_EQ(errors.Count(FA_ATLAS_FULL), 1); // reported once, then tried once more
  // A glyph the font lacks, a space and a tiny size need no room, so they never ask for a bigger atlas.
  for (const char* text : {"\xE4\xB8\x80", " "})
  {
    const std::vector<Step> st = Steps(store.s, text, FA_GLYPH_BITMAP_REQUIRED);
    if (std::string(text) == " ") continue; // a space has a padded 4 x 4 cell, which may or may not fit
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].glyph, 0);
  }
  faSetSize(store.s, 0.1f);
  EXPECT_TRUE(Steps(store.s, "abc", FA_GLYPH_BITMAP_REQUIRED).empty());

  int dirty[4];
  faValidateTexture(store.s, dirty);
  const std::vector<unsigned char> before(store.s->texData, store.s->texData + 256 * 256);
  const int glyphsBefore = store.Font(0)->nglyphs;

  EXPECT_EQ(faExpandAtlas(store.s, 200, 100), 1); // not larger: nothing happens
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);
  EXPECT_EQ(store.s->params.width, 256);

  ASSERT_EQ(faExpandAtlas(store.s, 512, 256), 1);
  EXPECT_EQ(store.s->params.width, 512);
  EXPECT_FLOAT_EQ(store.s->itw, 1.f / 512.f);
  EXPECT_EQ(store.Font(0)->nglyphs, glyphsBefore);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(store.s->texData[y * 512 + x], x < 256 ? before[size_t(y * 256 + x)] : 0) << x << "," << y;
  int maxy = 0;
  for (int i = 0; i < store.s->atlas->nnodes; ++i) maxy = std::max<int>(maxy, store.s->atlas->nodes[i].y);
  ASSERT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(dirty[0], 0);
  EXPECT_EQ(dirty[1], 0);
  EXPECT_EQ(dirty[2], 256);
  EXPECT_EQ(dirty[3], maxy);

  faSetSize(store.s, 60.f);
  // The glyph that did not fit now does (at the size that failed: sizes ran upwards).
  bool placed = false;
  for (int round = 0; round < 40 && !placed; ++round)
  {
    faSetSize(store.s, 60.f + float(round));
    const std::vector<Step> st = Steps(store.s, failed, FA_GLYPH_BITMAP_REQUIRED);
    placed = st.size() == 1 && st[0].glyph > 0;
  }
  EXPECT_TRUE(placed);
  ExpectSoundAtlas(store);

  EXPECT_EQ(faExpandAtlas(store.s, FA_MAX_ATLAS_SIZE + 1, 256), 0);
  EXPECT_EQ(store.s->params.width, 512);
}

// Reset empties the atlas and the cache: the white rectangle comes first again and glyphs are rasterised anew.
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
  EXPECT_EQ(faExpandAtlas(store.s, 512, 512), 0);
  EXPECT_EQ(store.s->params.width, 256);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);

  resizeAnswer = 1;
  ASSERT_EQ(faResetAtlas(store.s, 512, 1024), 1);
  EXPECT_EQ(store.s->params.height, 1024);
  EXPECT_EQ(store.Font(0)->nglyphs, 0);
  EXPECT_EQ(store.s->atlas->nnodes, 2); // the white rectangle's step and the rest
  long ink = 0;
  for (int i = 0; i < 512 * 1024; ++i) ink += store.s->texData[i];
  EXPECT_EQ(ink, 4 * 255);
  ASSERT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(dirty[2], 2);
  EXPECT_EQ(dirty[3], 2);

  const std::vector<Step> again = Steps(store.s, "Hello", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(again.size(), 5u);
  for (const Step& st : again) EXPECT_GT(st.glyph, 0);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(faResetAtlas(store.s, 1, 512), 0);
}

// Cache keys: size and blur make entries; blur is capped at 20 and pads the glyph by blur + 2; a glyph known by its
// metrics is rasterised in place when a bitmap is needed; tiny and absurd sizes and blurs are safe.
TEST(FontAtlas, CacheKeysSizesAndBlur)
{
  Store store;
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  FAfont* font = store.Font(0);
  faSetSize(store.s, 20.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_OPTIONAL);
  ASSERT_EQ(font->nglyphs, 1);
  EXPECT_EQ(font->glyphs[0].x0, -1);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(font->nglyphs, 1); // completed, not duplicated
  EXPECT_GE(font->glyphs[0].x0, 0);
  const int plainW = font->glyphs[0].x1 - font->glyphs[0].x0;

  faSetSize(store.s, 21.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  EXPECT_EQ(font->nglyphs, 2);

  faSetSize(store.s, 20.f);
  faSetBlur(store.s, 25.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  faSetBlur(store.s, 20.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(font->nglyphs, 3);
  const FAglyph& blurred = font->glyphs[2];
  EXPECT_EQ(blurred.blur, 20);
  EXPECT_EQ(blurred.x1 - blurred.x0, plainW + 2 * 20);
  // Blur spreads the ink but keeps the one-pixel empty border.
  const int w = store.s->params.width;
  long border = 0, inner = 0;
  for (int y = blurred.y0; y < blurred.y1; ++y)
    for (int x = blurred.x0; x < blurred.x1; ++x)
    {
      const int v = store.s->texData[y * w + x];
      const bool edge = x == blurred.x0 || x == blurred.x1 - 1 || y == blurred.y0 || y == blurred.y1 - 1;
      (edge ? border : inner) += v;
    }
  EXPECT_EQ(border, 0);
  EXPECT_GT(inner, 0);

  faSetBlur(store.s, std::numeric_limits<float>::quiet_NaN());
  for (float size : {0.f, 0.1f, -5.f, std::numeric_limits<float>::quiet_NaN()})
  {
    faSetSize(store.s, size);
    FAtextIter it;
    EXPECT_EQ(faTextIterInit(store.s, &it, 0, 0, "abc", nullptr, FA_GLYPH_BITMAP_REQUIRED), 0);
    FAquad q;
    EXPECT_EQ(faTextIterNext(store.s, &it, &q), 0);
    float b[4] = {1, 1, 1, 1};
    EXPECT_EQ(faTextBounds(store.s, 5, 6, "abc", nullptr, b), 0.f);
    EXPECT_EQ(b[0], 5.f);
    EXPECT_EQ(faDrawText(store.s, 7, 0, "abc", nullptr), 7.f);
  }
  for (float size : {1e9f, std::numeric_limits<float>::infinity()})
  {
    faSetSize(store.s, size);
    const std::vector<Step> st = Steps(store.s, "W", FA_GLYPH_BITMAP_OPTIONAL);
    ASSERT_EQ(st.size(), 1u);
    EXPECT_TRUE(std::isfinite(st[0].nextx));
    EXPECT_EQ(Steps(store.s, "W", FA_GLYPH_BITMAP_REQUIRED)[0].glyph, -1); // far too big for any atlas
  }
}

// A codepoint that no font has is one empty glyph with the first glyph's advance, cached once, using no atlas
// space; fallbacks are tried in order; a 21st fallback is refused.
TEST(FontAtlas, MissingGlyphsAndFallbacks)
{
  FtFace roboto(kRoboto), dejavu(kDejaVu);
  Store store;
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  ASSERT_EQ(faAddFont(store.s, "dejavu", kDejaVu, 0), 1);
  EXPECT_EQ(faGetFontByName(store.s, "dejavu"), 1);
  EXPECT_EQ(faGetFontByName(store.s, "DejaVu"), -1);
  EXPECT_EQ(faGetFontByName(store.s, nullptr), -1);
  faSetSize(store.s, 40.f);
  int dirty[4];
  faValidateTexture(store.s, dirty);
  const int nodes = store.s->atlas->nnodes;

  const std::string cjk = Utf8(0x4E00), snowman = Utf8(0x2603);
  for (int i = 0; i < 3; ++i)
  {
    const std::vector<Step> st = Steps(store.s, cjk, FA_GLYPH_BITMAP_REQUIRED);
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ(st[0].glyph, 0);
    EXPECT_EQ(st[0].quad.x0, st[0].quad.x1);
    EXPECT_EQ(st[0].quad.y0, st[0].quad.y1);
    EXPECT_NEAR(st[0].nextx - st[0].x, roboto.Advance(0) * roboto.Scale(40), 0.6);
  }
  EXPECT_EQ(store.Font(0)->nglyphs, 1);
  EXPECT_EQ(store.s->atlas->nnodes, nodes);
  EXPECT_EQ(faValidateTexture(store.s, dirty), 0);

  // Without a fallback the snowman is missing from Roboto; with DejaVu behind it, it comes from DejaVu.
  EXPECT_EQ(Steps(store.s, snowman, FA_GLYPH_BITMAP_OPTIONAL)[0].glyph, 0);
  EXPECT_EQ(faAddFallbackFont(store.s, 0, 1), 1);
  faSetSize(store.s, 41.f);
  const std::vector<Step> st = Steps(store.s, snowman, FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(st.size(), 1u);
  EXPECT_EQ(st[0].glyph, int(FT_Get_Char_Index(dejavu.face, 0x2603)));
  EXPECT_NEAR(st[0].nextx - st[0].x, dejavu.Advance(FT_Get_Char_Index(dejavu.face, 0x2603)) * dejavu.Scale(41), 0.6);
  EXPECT_GT(st[0].quad.x1 - st[0].quad.x0, 10.f);

  for (int i = 1; i < FA_MAX_FALLBACKS; ++i) EXPECT_EQ(faAddFallbackFont(store.s, 0, 1), 1);
  EXPECT_EQ(faAddFallbackFont(store.s, 0, 1), 0);
  EXPECT_EQ(faAddFallbackFont(store.s, 1, 7), 0);
  EXPECT_EQ(faAddFallbackFont(store.s, -1, 0), 0);
}

// The state stack holds 1 to 20 states; pushing past or popping the last reports and changes nothing. Layout with
// no usable font does nothing.
TEST(FontAtlas, StateStackAndMissingFont)
{
  Store store;
  Errors errors;
  faSetErrorCallback(store.s, &Errors::Record, &errors);
  EXPECT_EQ(store.s->states[0].size, 12.f);
  EXPECT_EQ(store.s->states[0].align, FA_ALIGN_LEFT | FA_ALIGN_BASELINE);
  EXPECT_EQ(store.s->states[0].color, 0xFFFFFFFFu);
  faPopState(store.s);
  EXPECT_EQ(errors.Count(FA_STATES_UNDERFLOW), 1);
  EXPECT_EQ(store.s->nstates, 1);
  faSetSize(store.s, 30.f);
  for (int i = 1; i < FA_MAX_STATES; ++i) faPushState(store.s);
  EXPECT_EQ(store.s->nstates, FA_MAX_STATES);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 1].size, 30.f);
  faPushState(store.s);
  EXPECT_EQ(errors.Count(FA_STATES_OVERFLOW), 1);
  EXPECT_EQ(store.s->nstates, FA_MAX_STATES);
  faSetSize(store.s, 5.f);
  faClearState(store.s);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 1].size, 12.f);
  faPopState(store.s);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 2].size, 30.f);

  // No fonts yet, then a font index that does not exist.
  EXPECT_EQ(faDrawText(store.s, 3, 4, "abc", nullptr), 3.f);
  EXPECT_EQ(faTextBounds(store.s, 3, 4, "abc", nullptr, nullptr), 0.f);
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  faSetFont(store.s, 3);
  FAtextIter it;
  EXPECT_EQ(faTextIterInit(store.s, &it, 0, 0, "abc", nullptr, FA_GLYPH_BITMAP_OPTIONAL), 0);
  EXPECT_EQ(faAddFont(store.s, "none", "/nonexistent/font.ttf", 0), -1);
  EXPECT_EQ(faAddFont(store.s, "dir", "/usr/share", 0), -1);
  EXPECT_EQ(faAddFont(store.s, "face", kRoboto, 1), -1); // a plain font has one face
}

// Drawing through the callbacks: the texture update comes before the triangles, six vertices per glyph in the
// state's colour; alignment moves the text by its advance.
TEST(FontAtlas, DrawTextBatchesAndAligns)
{
  struct Log
  {
    int updates = 0, draws = 0, verts = 0;
    bool updateFirst = false;
    unsigned color = 0;
  };
  static Log log;
  log = {};
  FAparams cb{};
  cb.renderUpdate = [](void*, int*, const unsigned char*) { log.updates++; };
  cb.renderDraw = [](void*, const float*, const float*, const unsigned int* colors, int n) {
    if (log.draws == 0) log.updateFirst = log.updates > 0;
    log.draws++;
    log.verts += n;
    log.color = colors[0];
  };
  Store store(512, 512, cb);
  ASSERT_EQ(faAddFont(store.s, "dejavu", kDejaVu, 0), 0);
  faSetSize(store.s, 24.f);
  faSetColor(store.s, 0x11223344);
  const float adv = faTextBounds(store.s, 10, 50, "Hi there", nullptr, nullptr);
  EXPECT_FLOAT_EQ(faDrawText(store.s, 10, 50, "Hi there", nullptr), 10 + adv);
  EXPECT_TRUE(log.updateFirst);
  EXPECT_EQ(log.verts, 8 * 6);
  EXPECT_EQ(log.color, 0x11223344u);

  // A long string flushes the batch on the way.
  const std::string many(400, 'x');
  log = {};
  faDrawText(store.s, 0, 0, many.c_str(), nullptr);
  EXPECT_EQ(log.verts, 400 * 6);
  EXPECT_GE(log.draws, 3);

  faSetAlign(store.s, FA_ALIGN_RIGHT | FA_ALIGN_TOP);
  float b[4];
  faTextBounds(store.s, 100, 50, "Hi", nullptr, b);
  const std::vector<Step> right = Steps(store.s, "Hi", FA_GLYPH_BITMAP_OPTIONAL, 100, 50);
  ASSERT_EQ(right.size(), 2u);
  EXPECT_FLOAT_EQ(right.back().nextx, 100.f);
  EXPECT_LE(b[2], 100.f + 2.f);
  float asc = 0;
  faVertMetrics(store.s, &asc, nullptr, nullptr);
  EXPECT_NEAR(b[1], 50.f, 2.f); // top aligned: ink starts at y
  float miny = 0, maxy = 0, lineh = 0;
  faVertMetrics(store.s, nullptr, nullptr, &lineh);
  faLineBounds(store.s, 50, &miny, &maxy);
  EXPECT_FLOAT_EQ(miny, 50.f);
  EXPECT_FLOAT_EQ(maxy - miny, lineh);
  faSetAlign(store.s, FA_ALIGN_CENTER | FA_ALIGN_BASELINE);
  const std::vector<Step> centre = Steps(store.s, "Hi", FA_GLYPH_BITMAP_OPTIONAL, 100, 50);
  EXPECT_NEAR(centre.front().x, 100.f - faTextBounds(store.s, 0, 0, "Hi", nullptr, nullptr) * 0.5f, 0.01);
  faDrawDebug(store.s, 0, 0);
}

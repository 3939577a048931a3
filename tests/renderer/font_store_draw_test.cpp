// The font store's own drawing path and its atlas growth: the state stack, text batched into the draw callback in
// the state's colour, the debug view of the atlas (quads worked out by hand from the skyline), growth that keeps
// every glyph and byte, and the glyph cache keyed by size.

#include "tests/renderer/FontTestUtil.h"

#include <algorithm>

using namespace fonttest;

namespace
{

struct Errors
{
  std::vector<int> seen;
  static void Record(void* up, int error, int) { static_cast<Errors*>(up)->seen.push_back(error); }
};

// What the store's callbacks saw, in order.
struct Sink
{
  struct Draw
  {
    std::vector<float> verts, tcoords;
    std::vector<unsigned> colors;
  };
  std::vector<Draw> draws;
  std::vector<std::vector<int>> updates;
  std::vector<char> order; // 'u' update, 'd' draw, 'r' resize
  int resizeAnswer = 1;

  FAparams Params()
  {
    FAparams p{};
    p.userPtr = this;
    p.renderUpdate = [](void* up, int* rect, const unsigned char*) {
      static_cast<Sink*>(up)->updates.push_back({rect[0], rect[1], rect[2], rect[3]});
      static_cast<Sink*>(up)->order.push_back('u');
    };
    p.renderDraw = [](void* up, const float* v, const float* t, const unsigned* c, int n) {
      Sink* s = static_cast<Sink*>(up);
      s->draws.push_back({std::vector<float>(v, v + 2 * n), std::vector<float>(t, t + 2 * n),
                          std::vector<unsigned>(c, c + n)});
      s->order.push_back('d');
    };
    p.renderResize = [](void* up, int, int) {
      static_cast<Sink*>(up)->order.push_back('r');
      return static_cast<Sink*>(up)->resizeAnswer;
    };
    return p;
  }
  size_t Vertices() const
  {
    size_t n = 0;
    for (const Draw& d : draws) n += d.colors.size();
    return n;
  }
};

} // namespace

// The state stack holds 1 to 20 states; pushing past or popping the last reports and changes nothing. Popping
// brings the earlier state back.
TEST(FontStore, StateStack)
{
  Store store;
  Errors errors;
  faSetErrorCallback(store.s, &Errors::Record, &errors);
  faPopState(store.s);
  EXPECT_EQ(store.s->nstates, 1);
  faSetSize(store.s, 30.f);
  for (int i = 0; i < FA_MAX_STATES; ++i) faPushState(store.s);
  EXPECT_EQ(errors.seen, (std::vector<int>{FA_STATES_UNDERFLOW, FA_STATES_OVERFLOW}));
  EXPECT_EQ(store.s->nstates, FA_MAX_STATES);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 1].size, 30.f);
  faSetColor(store.s, 0x11223344u);
  faClearState(store.s);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 1].size, 12.f);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 1].color, 0xFFFFFFFFu);
  faSetColor(store.s, 0x11223344u);
  faPopState(store.s);
  EXPECT_EQ(store.s->nstates, FA_MAX_STATES - 1);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 2].color, 0xFFFFFFFFu);
  EXPECT_EQ(store.s->states[FA_MAX_STATES - 2].size, 30.f);
}

// Drawing through the callbacks: the texture update before the triangles, six vertices per glyph in the state's
// colour, the batch handed over when full; the end x is the advance.
TEST(FontStore, DrawTextBatchesQuadsInTheStateColour)
{
  Sink sink;
  Store store(512, 512, sink.Params());
  EXPECT_EQ(faDrawText(store.s, 3, 4, "abc", nullptr), 3.f); // no font yet
  ASSERT_EQ(faAddFont(store.s, "dejavu", kDejaVu, 0), 0);
  faSetFont(store.s, 3); // names no font
  EXPECT_EQ(faDrawText(store.s, 3, 4, "abc", nullptr), 3.f);
  faSetFont(store.s, 0);
  faSetSize(store.s, 30.f);
  faSetColor(store.s, 0x11223344u);
  const float adv = faTextBounds(store.s, 10, 50, "Hi there", nullptr, nullptr);
  EXPECT_FLOAT_EQ(faDrawText(store.s, 10, 50, "Hi there", nullptr), 10 + adv);
  ASSERT_FALSE(sink.order.empty());
  EXPECT_EQ(sink.order.front(), 'u');
  EXPECT_EQ(sink.order.back(), 'd');
  EXPECT_EQ(sink.Vertices(), 8u * 6);
  for (const Sink::Draw& d : sink.draws)
    for (unsigned c : d.colors) EXPECT_EQ(c, 0x11223344u);
  // Each glyph is two triangles over its quad: corners 0 and 3 repeat, as do 1 and 5.
  const Sink::Draw& d = sink.draws.back();
  const std::vector<Step> steps = Steps(store.s, "H", FA_GLYPH_BITMAP_REQUIRED, 10, 50);
  ASSERT_EQ(steps.size(), 1u);
  const FAquad& q = steps[0].quad;
  const float want[6][4] = {{q.x0, q.y0, q.s0, q.t0}, {q.x1, q.y1, q.s1, q.t1}, {q.x1, q.y0, q.s1, q.t0},
                            {q.x0, q.y0, q.s0, q.t0}, {q.x0, q.y1, q.s0, q.t1}, {q.x1, q.y1, q.s1, q.t1}};
  for (int i = 0; i < 6; ++i)
  {
    EXPECT_FLOAT_EQ(d.verts[2 * i], want[i][0]) << i;
    EXPECT_FLOAT_EQ(d.verts[2 * i + 1], want[i][1]) << i;
    EXPECT_FLOAT_EQ(d.tcoords[2 * i], want[i][2]) << i;
    EXPECT_FLOAT_EQ(d.tcoords[2 * i + 1], want[i][3]) << i;
  }

  // 400 glyphs: 2400 vertices in batches of at most 1024, whole glyphs each.
  sink.draws.clear();
  faDrawText(store.s, 0, 0, std::string(400, 'x').c_str(), nullptr);
  EXPECT_EQ(sink.Vertices(), 400u * 6);
  EXPECT_EQ(sink.draws.size(), 3u);
  for (const Sink::Draw& b : sink.draws)
  {
    EXPECT_LE(b.colors.size(), size_t(FA_VERTEX_CAPACITY));
    EXPECT_EQ(b.colors.size() % 6, 0u);
  }
}

// The debug view: a faint background and the whole atlas as one quad each, then one red line per skyline node.
// A new 512 × 512 store holds the 2 × 2 white rectangle at the origin: nodes {0, 2, 2} and {2, 0, 510}.
TEST(FontStore, DebugViewShowsTheAtlasAndItsSkyline)
{
  Sink sink;
  Store store(512, 512, sink.Params());
  faDrawDebug(store.s, 10, 20);
  ASSERT_EQ(sink.order, (std::vector<char>{'u', 'd'}));
  EXPECT_EQ(sink.updates[0], (std::vector<int>{0, 0, 2, 2}));
  const Sink::Draw& d = sink.draws[0];
  ASSERT_EQ(d.colors.size(), 4u * 6);
  struct Quad
  {
    float x0, y0, x1, y1, s0, t0, s1, t1;
    unsigned color;
  };
  const float texel = 1.f / 512;
  const Quad want[] = {
      {10, 20, 522, 532, texel, texel, texel, texel, 0x0FFFFFFFu},
      {10, 20, 522, 532, 0, 0, 1, 1, 0xFFFFFFFFu},
      {10, 22, 12, 23, texel, texel, texel, texel, 0xC00000FFu},
      {12, 20, 522, 21, texel, texel, texel, texel, 0xC00000FFu},
  };
  for (int k = 0; k < 4; ++k)
  {
    SCOPED_TRACE(k);
    const int v0 = 6 * k, v1 = 6 * k + 1; // the quad's first and opposite corner
    EXPECT_FLOAT_EQ(d.verts[2 * v0], want[k].x0);
    EXPECT_FLOAT_EQ(d.verts[2 * v0 + 1], want[k].y0);
    EXPECT_FLOAT_EQ(d.verts[2 * v1], want[k].x1);
    EXPECT_FLOAT_EQ(d.verts[2 * v1 + 1], want[k].y1);
    EXPECT_FLOAT_EQ(d.tcoords[2 * v0], want[k].s0);
    EXPECT_FLOAT_EQ(d.tcoords[2 * v0 + 1], want[k].t0);
    EXPECT_FLOAT_EQ(d.tcoords[2 * v1], want[k].s1);
    EXPECT_FLOAT_EQ(d.tcoords[2 * v1 + 1], want[k].t1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(d.colors[6 * k + i], want[k].color);
  }
  faDrawDebug(nullptr, 0, 0);
}

// Growing keeps every byte and glyph and adds a skyline node for the new width; the glyph that did not fit fits
// afterwards. Pending bytes and vertices are handed over before the resize; a size not larger changes nothing; a
// refused or oversized growth leaves the atlas as it was.
TEST(FontStore, ExpandKeepsGlyphsAndBytes)
{
  Sink sink;
  Store store(256, 256, sink.Params());
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  std::string failed;
  float failedSize = 0;
  for (float size = 60; failed.empty() && size < 100; ++size)
    for (char c = 'A'; c <= 'Z' && failed.empty(); ++c)
    {
      faSetSize(store.s, size);
      if (Steps(store.s, std::string(1, c), FA_GLYPH_BITMAP_REQUIRED)[0].glyph == -1)
      {
        failed = std::string(1, c);
        failedSize = size;
      }
    }
  ASSERT_FALSE(failed.empty());

  EXPECT_EQ(faExpandAtlas(store.s, 200, 100), 1); // not larger: nothing happens
  EXPECT_TRUE(sink.order.empty());
  EXPECT_EQ(faExpandAtlas(store.s, FA_MAX_ATLAS_SIZE + 1, 256), 0);
  sink.resizeAnswer = 0;
  EXPECT_EQ(faExpandAtlas(store.s, 512, 256), 0);
  EXPECT_EQ(store.s->params.width, 256);
  sink.resizeAnswer = 1;

  int dirty[4];
  faValidateTexture(store.s, dirty);
  const std::vector<unsigned char> before(store.s->texData, store.s->texData + 256 * 256);
  const int glyphsBefore = store.Font(0)->nglyphs;
  ASSERT_EQ(faExpandAtlas(store.s, 512, 256), 1);
  int w = 0, h = 0;
  faGetAtlasSize(store.s, &w, &h);
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 256);
  EXPECT_FLOAT_EQ(store.s->itw, 1.f / 512.f);
  EXPECT_EQ(store.Font(0)->nglyphs, glyphsBefore);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(store.s->texData[y * 512 + x], x < 256 ? before[size_t(y * 256 + x)] : 0) << x << "," << y;
  const FAatlasNode& added = store.s->atlas->nodes[store.s->atlas->nnodes - 1];
  EXPECT_EQ(added.x, 256);
  EXPECT_EQ(added.y, 0);
  EXPECT_EQ(added.width, 256);
  int maxy = 0;
  for (int i = 0; i < store.s->atlas->nnodes; ++i) maxy = std::max<int>(maxy, store.s->atlas->nodes[i].y);
  ASSERT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(std::vector<int>(dirty, dirty + 4), (std::vector<int>{0, 0, 256, maxy}));

  faSetSize(store.s, failedSize);
  const Step st = Steps(store.s, failed, FA_GLYPH_BITMAP_REQUIRED).at(0);
  EXPECT_GT(st.glyph, 0);
  EXPECT_GE(st.quad.s0, 0.5f); // placed in the new half

  // Bytes not yet uploaded go to the update callback before the resize.
  Sink fresh;
  Store other(256, 256, fresh.Params());
  ASSERT_EQ(faExpandAtlas(other.s, 256, 512), 1);
  EXPECT_EQ(fresh.order, (std::vector<char>{'u', 'r'}));
  EXPECT_EQ(fresh.updates.at(0), (std::vector<int>{0, 0, 2, 2}));
  EXPECT_EQ(other.s->atlas->nnodes, 2); // taller only: no new node
}

// A glyph known by its metrics alone is rasterised in place when it is first drawn; size and blur make their own
// entries.
TEST(FontStore, GlyphCacheKeys)
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
  faSetSize(store.s, 21.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  faSetSize(store.s, 20.f);
  faSetBlur(store.s, 3.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  faSetBlur(store.s, 0.f);
  Steps(store.s, "a", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(font->nglyphs, 3);
  EXPECT_EQ(font->glyphs[1].size, 210);
  EXPECT_EQ(font->glyphs[2].blur, 3);
}

// Without the top-left flag y grows upwards: glyph quads are the top-left ones mirrored about the baseline, and
// line bounds and vertical alignment follow the hhea metrics the other way round. Horizontal alignment moves the
// text by its advance either way.
TEST(FontStore, UpwardYAndAlignment)
{
  FtFace ft(kRoboto);
  const double em = ft.face->ascender - ft.face->descender;
  const double asc = ft.face->ascender / em, desc = ft.face->descender / em, lineh = ft.face->height / em;
  Store down;
  FAparams p{};
  p.width = p.height = 512;
  FAcontext* up = faCreateInternal(&p);
  ASSERT_NE(up, nullptr);
  for (FAcontext* s : {down.s, up})
  {
    ASSERT_EQ(faAddFont(s, "roboto", kRoboto, 0), 0);
    faSetSize(s, 30.f);
  }
  const std::vector<Step> d = Steps(down.s, "Hg", FA_GLYPH_BITMAP_REQUIRED, 10, 100);
  const std::vector<Step> u = Steps(up, "Hg", FA_GLYPH_BITMAP_REQUIRED, 10, 100);
  ASSERT_EQ(d.size(), 2u);
  ASSERT_EQ(u.size(), 2u);
  for (int i = 0; i < 2; ++i)
  {
    EXPECT_EQ(u[i].quad.x0, d[i].quad.x0) << i;
    EXPECT_EQ(u[i].quad.x1, d[i].quad.x1) << i;
    EXPECT_EQ(u[i].quad.y0 - 100, -(d[i].quad.y0 - 100)) << i;
    EXPECT_EQ(u[i].quad.y1 - 100, -(d[i].quad.y1 - 100)) << i;
  }
  float bd[4], bu[4];
  EXPECT_EQ(faTextBounds(down.s, 10, 100, "Hg", nullptr, bd), faTextBounds(up, 10, 100, "Hg", nullptr, bu));
  EXPECT_EQ(bu[1] - 100, -(bd[3] - 100));
  EXPECT_EQ(bu[3] - 100, -(bd[1] - 100));

  struct Line
  {
    FAcontext* s;
    int align;
    double miny, maxy; // in units of the size, relative to y
  };
  const Line lines[] = {
      {down.s, FA_ALIGN_BASELINE, -asc, -asc + lineh},
      {down.s, FA_ALIGN_TOP, 0, lineh},
      {down.s, FA_ALIGN_MIDDLE, (desc - asc) / 2, (desc - asc) / 2 + lineh},
      {down.s, FA_ALIGN_BOTTOM, desc - asc, desc - asc + lineh},
      {up, FA_ALIGN_BASELINE, desc - lineh, desc},
      {up, FA_ALIGN_TOP, -asc + desc - lineh, -asc + desc},
  };
  for (const Line& k : lines)
  {
    SCOPED_TRACE(testing::Message() << (k.s == up ? "up" : "down") << " align " << k.align);
    faSetAlign(k.s, FA_ALIGN_LEFT | k.align);
    float miny = 0, maxy = 0;
    faLineBounds(k.s, 100, &miny, &maxy);
    EXPECT_NEAR(miny, 100 + 30 * k.miny, 1e-3);
    EXPECT_NEAR(maxy, 100 + 30 * k.maxy, 1e-3);
  }

  faSetAlign(down.s, FA_ALIGN_LEFT | FA_ALIGN_BASELINE);
  float left[4], right[4], centre[4];
  const float adv = faTextBounds(down.s, 100, 50, "Hi", nullptr, left);
  faSetAlign(down.s, FA_ALIGN_RIGHT | FA_ALIGN_BASELINE);
  EXPECT_EQ(faTextBounds(down.s, 100, 50, "Hi", nullptr, right), adv);
  EXPECT_FLOAT_EQ(Steps(down.s, "Hi", FA_GLYPH_BITMAP_OPTIONAL, 100, 50).back().nextx, 100.f); // ends at x
  faSetAlign(down.s, FA_ALIGN_CENTER | FA_ALIGN_BASELINE);
  faTextBounds(down.s, 100, 50, "Hi", nullptr, centre);
  EXPECT_FLOAT_EQ(Steps(down.s, "Hi", FA_GLYPH_BITMAP_OPTIONAL, 100, 50).front().x, 100.f - adv / 2);
  for (int i : {0, 2})
  {
    EXPECT_FLOAT_EQ(right[i], left[i] - adv) << i;
    EXPECT_FLOAT_EQ(centre[i], left[i] - adv / 2) << i;
  }
  faDeleteInternal(up);
}

// After a reset the white rectangle is back in the corner, as the only change; a fallback must name a font.
TEST(FontStore, ResetPlacesTheWhiteRectangleFirstAndFallbacksNeedFonts)
{
  Store store(256, 256);
  ASSERT_EQ(faAddFont(store.s, "roboto", kRoboto, 0), 0);
  faSetSize(store.s, 30.f);
  Steps(store.s, "Hello", FA_GLYPH_BITMAP_REQUIRED);
  ASSERT_EQ(faResetAtlas(store.s, 512, 1024), 1);
  int dirty[4];
  ASSERT_EQ(faValidateTexture(store.s, dirty), 1);
  EXPECT_EQ(std::vector<int>(dirty, dirty + 4), (std::vector<int>{0, 0, 2, 2}));
  for (int at : {0, 1, 512, 513}) EXPECT_EQ(store.s->texData[at], 255) << at;
  EXPECT_EQ(store.s->params.height, 1024);

  EXPECT_EQ(faAddFallbackFont(store.s, 0, 7), 0);
  EXPECT_EQ(faAddFallbackFont(store.s, 7, 0), 0);
  EXPECT_EQ(faAddFallbackFont(store.s, 0, 0), 1);
}

// A store is made only with a size the atlas can address and when the create callback agrees; the delete callback
// runs once when a made store goes.
TEST(FontStore, CreationRefusals)
{
  static int created, deleted;
  FAparams p{};
  p.renderCreate = [](void*, int w, int h) {
    created++;
    return w == 64 && h == 32 ? 1 : 0;
  };
  p.renderDelete = [](void*) { deleted++; };
  for (auto [w, h] : {std::pair{0, 32}, std::pair{64, -1}, std::pair{FA_MAX_ATLAS_SIZE + 1, 32}})
  {
    p.width = w, p.height = h;
    EXPECT_EQ(faCreateInternal(&p), nullptr) << w << " x " << h;
  }
  EXPECT_EQ(created, 0); // refused before the callback
  p.width = 32, p.height = 64;
  EXPECT_EQ(faCreateInternal(&p), nullptr);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(deleted, 0); // nothing was made that the callback must release
  p.width = 64, p.height = 32;
  FAcontext* s = faCreateInternal(&p);
  ASSERT_NE(s, nullptr);
  faDeleteInternal(s);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(faCreateInternal(nullptr), nullptr);
}

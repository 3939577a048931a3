// Bitmaps handed over as bytes (taken to be of normal density and rendered up to the target scale), releasing a
// cached bitmap, and the three ways of loading a font through the platform and the back end.

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Strings = std::vector<std::string>;
using Doubles = std::vector<double>;

namespace
{

// The start of a PNG file up to its size: all the recording back end decodes.
std::vector<uint8_t> PngHeader(int w, int h)
{
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int v : {w, h})
    for (int shift : {24, 16, 8, 0})
      b.push_back(uint8_t(v >> shift));
  return b;
}

// A platform and back end whose answers about fonts come from a script.
struct FontScript : ScriptedGraphics
{
  using ScriptedGraphics::ScriptedGraphics;
  bool platformMakesFont = true;
  bool backEndTakesFont = true;
  Strings cached;
  PlatformFontPtr LoadPlatformFont(const char* id, const char* file) override
  {
    auto f = ScriptedGraphics::LoadPlatformFont(id, file);
    return platformMakesFont ? std::move(f) : nullptr;
  }
  PlatformFontPtr LoadPlatformFont(const char* id, void* data, int size) override
  {
    auto f = ScriptedGraphics::LoadPlatformFont(id, data, size);
    return platformMakesFont ? std::move(f) : nullptr;
  }
  PlatformFontPtr LoadPlatformFont(const char* id, const char* name, ETextStyle style) override
  {
    auto f = ScriptedGraphics::LoadPlatformFont(id, name, style);
    return platformMakesFont ? std::move(f) : nullptr;
  }
  bool LoadAPIFont(const char*, const PlatformFontPtr& font) override { return font && backEndTakesFont; }
  void CachePlatformFont(const char* id, const PlatformFontPtr&) override { cached.push_back(id); }
};

struct ResourceLoadingTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  int deleted = 0; // images the back end deleted; outlives g, whose cached images go when it does
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);
  void SetUp() override { g->deleteCounter = &deleted; }
  void TearDown() override
  {
    g.reset();
    EXPECT_EQ(BitmapCache().GetSize(), 0);
  }
};

} // namespace

TEST_F(ResourceLoadingTest, BitmapBytesAreNormalDensityAndRenderedUpToTheTarget)
{
  const auto png = PngHeader(12, 8);

  // At scale 1 the decoded bitmap is kept as it is, under the name at 1.0.
  const IBitmap one = g->LoadBitmap("mem.png", png.data(), int(png.size()), 2, true, 1);
  ASSERT_TRUE(one.IsValid());
  EXPECT_EQ((Doubles{one.GetScale(), double(one.W), double(one.H), double(one.N), double(one.mFramesAreHorizontal)}),
            (Doubles{1, 12, 8, 2, 1}));
  EXPECT_EQ(BitmapCache().Find("mem.png", 1.0), one.mAPIBitmap);
  EXPECT_TRUE(g->Calls("CreateAPIBitmap").empty());

  // At scale 2 the scale-1 bitmap found in the cache is drawn into a layer of twice the pixels; no bytes needed.
  const IBitmap two = g->LoadBitmap("mem.png", nullptr, 0, 2, true, 2);
  ASSERT_TRUE(two.IsValid());
  EXPECT_EQ(g->Calls("CreateAPIBitmap").at(0).a, (Doubles{24, 16, 2, 1, 1}));
  EXPECT_EQ((Doubles{two.GetScale(), double(two.W), double(two.H)}), (Doubles{2, 12, 8}));
  EXPECT_EQ(BitmapCache().Find("mem.png", 2.0), two.mAPIBitmap);
  EXPECT_EQ(deleted, 0) << "the cached source stays";

  // Scale 0 is the screen's: now a cache hit, nothing drawn again.
  g->SetScreenScale(2.f);
  g->drawn.clear();
  EXPECT_EQ(g->LoadBitmap("mem.png", nullptr, 0, 1, false, 0).mAPIBitmap, two.mAPIBitmap);
  EXPECT_TRUE(g->Calls("CreateAPIBitmap").empty());

  // Bytes of a new name at scale 2: decoded at 1, rendered up, and the decoded one is not kept.
  const IBitmap fresh = g->LoadBitmap("other.png", png.data(), int(png.size()), 1, false, 2);
  ASSERT_TRUE(fresh.IsValid());
  EXPECT_EQ(fresh.GetScale(), 2.f);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(BitmapCache().Find("other.png", 1.0), nullptr);
  EXPECT_EQ(BitmapCache().GetSize(), 3);

  // Nothing for no name, an extension the back end does not decode, no bytes, or bytes it cannot decode.
  const std::string junk = "not a png at all, not at all";
  struct Case
  {
    const char* name;
    const void* data;
    int size;
  };
  const Case refused[] = {{"", png.data(), int(png.size())},   {nullptr, png.data(), int(png.size())},
                          {"a.jpg", png.data(), int(png.size())}, {"b.png", nullptr, 10},
                          {"c.png", png.data(), 0},              {"d.png", junk.data(), int(junk.size())}};
  for (const Case& c : refused)
    EXPECT_FALSE(g->LoadBitmap(c.name, c.data, c.size, 1, false, 1).IsValid()) << (c.name ? c.name : "null");
  EXPECT_EQ(BitmapCache().GetSize(), 3) << "nothing cached for them";
}

TEST_F(ResourceLoadingTest, ReleasingABitmapDeletesItsCachedImageOnce)
{
  const auto png = PngHeader(4, 4);
  const IBitmap a = g->LoadBitmap("a.png", png.data(), int(png.size()), 1, false, 1);
  const IBitmap b = g->LoadBitmap("b.png", png.data(), int(png.size()), 1, false, 1);
  ASSERT_EQ(BitmapCache().GetSize(), 2);
  g->ReleaseBitmap(a);
  EXPECT_EQ((std::vector<int>{BitmapCache().GetSize(), deleted}), (std::vector<int>{1, 1}));
  EXPECT_EQ(BitmapCache().Find("a.png", 1.0), nullptr);
  EXPECT_EQ(BitmapCache().Find("b.png", 1.0), b.mAPIBitmap);

  // A bitmap the cache does not hold changes nothing.
  {
    APIBitmap loose(9, 4, 4, 1.f, 1.f);
    g->ReleaseBitmap(IBitmap(&loose, 1, false));
    g->ReleaseBitmap(IBitmap());
  }
  EXPECT_EQ((std::vector<int>{BitmapCache().GetSize(), deleted}), (std::vector<int>{1, 1}));
}

TEST(FontLoading, ThePlatformMakesTheFontTheBackEndTakesItThePlatformKeepsIt)
{
  RecordingDelegate dlg(1);
  FontScript g(dlg, 100, 100);
  char bytes[12] = {};
  EXPECT_TRUE(g.LoadFont("file", "Roboto-Regular.ttf"));
  EXPECT_TRUE(g.LoadFont("mem", bytes, int(sizeof bytes)));
  EXPECT_TRUE(g.LoadFont("sys", "DejaVu Sans", ETextStyle::Bold));
  EXPECT_EQ(g.calls, (Strings{"LoadPlatformFont(file,Roboto-Regular.ttf)", "LoadPlatformFont(mem,data 12)",
                              "LoadPlatformFont(sys,DejaVu Sans,1)"}));
  EXPECT_EQ(g.cached, (Strings{"file", "mem", "sys"}));

  // Arguments the platform is never asked about.
  g.calls.clear();
  EXPECT_FALSE(g.LoadFont(nullptr, "x.ttf"));
  EXPECT_FALSE(g.LoadFont("f", static_cast<const char*>(nullptr)));
  EXPECT_FALSE(g.LoadFont("m", nullptr, 12));
  EXPECT_FALSE(g.LoadFont("m", bytes, 0));
  EXPECT_FALSE(g.LoadFont("s", nullptr, ETextStyle::Normal));
  EXPECT_TRUE(g.calls.empty());

  // No font object, or one the back end refuses: false, and nothing is kept.
  g.platformMakesFont = false;
  EXPECT_FALSE(g.LoadFont("none", bytes, int(sizeof bytes)));
  g.platformMakesFont = true;
  g.backEndTakesFont = false;
  EXPECT_FALSE(g.LoadFont("refused", "DejaVu Sans", ETextStyle::Normal));
  EXPECT_FALSE(g.LoadFont("refused", "Roboto-Regular.ttf"));
  EXPECT_EQ(g.cached, (Strings{"file", "mem", "sys"}));
}

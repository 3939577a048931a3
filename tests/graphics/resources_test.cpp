// Bitmap, SVG and font resources: scale variants and their order, the process-wide caches shared by editors,
// rescaling through a layer, and reading resource files that change under us.

#include "support/ScriptedGraphics.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace fs = std::filesystem;

namespace
{

using Strings = std::vector<std::string>;

// A temporary folder laid out as a bundle's Contents/Resources.
struct Bundle
{
  fs::path root;
  fs::path res;
  Bundle()
  {
    char tmpl[] = "/tmp/zaniq_res_XXXXXX";
    root = mkdtemp(tmpl);
    res = root / "ZANIQ.component/Contents/Resources";
    fs::create_directories(res);
  }
  ~Bundle()
  {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  // A real w × h RGBA PNG.
  void Png(const std::string& name, int w, int h) const
  {
    std::vector<unsigned char> px(size_t(w) * h * 4, 0x80);
    fs::create_directories((res / name).parent_path());
    ASSERT_TRUE(stbi_write_png((res / name).c_str(), w, h, 4, px.data(), w * 4));
  }
  void Text(const std::string& name, const std::string& text) const { std::ofstream(res / name) << text; }
  std::vector<unsigned char> Bytes(const std::string& name) const
  {
    std::ifstream f(res / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

struct ResourcesTest : ::testing::Test
{
  Bundle bundle;
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = Make();

  std::unique_ptr<ScriptedGraphics> Make()
  {
    auto gr = std::make_unique<ScriptedGraphics>(dlg, 200, 100);
    gr->resourceDir = bundle.res.string();
    return gr;
  }
  void TearDown() override
  {
    g.reset();
    // The last editor gone, both caches are empty again for the next test.
    EXPECT_EQ(BitmapCache().GetSize(), 0);
    EXPECT_EQ(SVGCache().GetSize(), 0);
  }
};

const char* kSquare = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="20">
  <rect x="1" y="2" width="3" height="4" fill="#ff0000"/></svg>)";

} // namespace

TEST(BitmapCacheKey, KeyTextIsNameDashScaleWithOneDecimal)
{
  EXPECT_EQ(StaticStorage<APIBitmap>::Hash("knob.png", 2.0), std::hash<std::string>()("knob.png-2.0x"));
  EXPECT_EQ(StaticStorage<APIBitmap>::Hash("knob.png", 1.0), std::hash<std::string>()("knob.png-1.0x"));
}

TEST_F(ResourcesTest, OnlyThePlainFileAtTargetTwoIsFoundLastAndRenderedUpToScaleTwo)
{
  bundle.Png("knob.png", 10, 60);
  const IBitmap b = g->LoadBitmap("knob.png", 6, false, 2);

  EXPECT_EQ(g->lookups, (Strings{"knob@2x.png|png", "knob@4x.png|png", "knob@3x.png|png", "knob.png|png"}));
  ASSERT_EQ(g->decodedFiles.size(), 1u);
  EXPECT_EQ(g->decodedFiles[0], (bundle.res / "knob.png").string());
  // A layer of twice the pixels, drawn from the scale-1 image.
  const auto made = g->Calls("CreateAPIBitmap");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].a, (std::vector<double>{20, 120, 2, 1, 1}));
  const auto drawn = g->Calls("DrawBitmap");
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].a, (std::vector<double>{0, 0, 10, 60, 0, 0, 10, 60}));

  ASSERT_TRUE(b.IsValid());
  EXPECT_EQ(b.GetScale(), 2.f);
  EXPECT_EQ(b.mAPIBitmap->GetWidth(), 20);
  EXPECT_EQ(b.W, 10);
  EXPECT_EQ(b.H, 60);
  EXPECT_EQ(b.N, 6);
  EXPECT_STREQ(b.mResourceName.Get(), "knob.png");
  // Cached under the name at 2.0 only; the decoded scale-1 image was not kept.
  EXPECT_EQ(BitmapCache().Find("knob.png", 2.0), b.mAPIBitmap);
  EXPECT_EQ(BitmapCache().GetSize(), 1);
  EXPECT_EQ(g->bitmapsDeleted, 1);

  // A second load comes from the cache: no lookup, no file.
  g->lookups.clear();
  const IBitmap again = g->LoadBitmap("knob.png", 6, false, 2);
  EXPECT_EQ(again.mAPIBitmap, b.mAPIBitmap);
  EXPECT_TRUE(g->lookups.empty());
  EXPECT_EQ(g->decodedFiles.size(), 1u);
}

TEST_F(ResourcesTest, ScaleVariantsAreTriedTargetFirstThenFourDownToOne)
{
  struct Case
  {
    const char* name;
    int target;
    Strings want;
  };
  const Case cases[] = {
      {"knob.png", 1, {"knob.png|png", "knob@4x.png|png", "knob@3x.png|png", "knob@2x.png|png"}},
      {"knob.png", 4, {"knob@4x.png|png", "knob@3x.png|png", "knob@2x.png|png", "knob.png|png"}},
      {"knob.png", 5, {"knob@5x.png|png", "knob@4x.png|png", "knob@3x.png|png", "knob@2x.png|png", "knob.png|png"}},
      {"dial", 2, {"dial@2x|png", "dial@4x|png", "dial@3x|png", "dial|png"}},
      // The extension is looked for in the last path component only.
      {"img.v2/dial", 3, {"img.v2/dial@3x|png", "img.v2/dial@4x|png", "img.v2/dial@2x|png", "img.v2/dial|png"}},
      {"a.b.png", 2, {"a.b@2x.png|png", "a.b@4x.png|png", "a.b@3x.png|png", "a.b.png|png"}},
      {"knob.png", 0, {}},
  };
  for (const Case& c : cases)
  {
    g->lookups.clear();
    Util_String path;
    int source = -1;
    EXPECT_EQ(g->SearchImageResource(c.name, "png", path, c.target, source), kNotFound) << c.name;
    EXPECT_EQ(g->lookups, c.want) << c.name << " at " << c.target;
    EXPECT_EQ(source, c.target);
  }
}

TEST_F(ResourcesTest, BestVariantIsUsedWithoutRescalingAndScaleZeroMeansTheScreen)
{
  bundle.Png("knob.png", 10, 10);
  bundle.Png("knob@2x.png", 20, 20);
  g->SetScreenScale(2.f);
  const IBitmap b = g->LoadBitmap("knob.png");
  ASSERT_TRUE(b.IsValid());
  EXPECT_EQ(g->lookups, (Strings{"knob@2x.png|png"}));
  EXPECT_EQ(b.GetScale(), 2.f);
  EXPECT_EQ(b.W, 10);
  EXPECT_TRUE(g->Calls("CreateAPIBitmap").empty());
  EXPECT_EQ(BitmapCache().Find("knob.png", 2.0), b.mAPIBitmap);

  // Back at scale 1 the editor asks for its own variant.
  g->SetScreenScale(1.f);
  const IBitmap one = g->GetScaledBitmap(b);
  EXPECT_EQ(one.GetScale(), 1.f);
  EXPECT_EQ(one.mAPIBitmap->GetWidth(), 10);
  EXPECT_EQ(BitmapCache().GetSize(), 2);
}

TEST_F(ResourcesTest, MissingUnsupportedOrUndecodableBitmapsAreEmptyAndNothingIsCached)
{
  bundle.Text("broken.png", "not a png at all");
  bundle.Png("photo.jpg", 4, 4);
  for (const char* name : {"missing.png", "broken.png", "photo.jpg", "", static_cast<const char*>(nullptr)})
  {
    const IBitmap b = g->LoadBitmap(name, 1, false, 1);
    EXPECT_FALSE(b.IsValid()) << (name ? name : "null");
    EXPECT_EQ(b.W, 0);
    EXPECT_EQ(b.N, 0);
  }
  EXPECT_EQ(BitmapCache().GetSize(), 0);
  // The unsupported extension never reached the lookup.
  for (const auto& l : g->lookups)
    EXPECT_EQ(l.find("photo"), std::string::npos) << l;
}

TEST_F(ResourcesTest, BitmapFromMemoryCountsAsScaleOneAndIsCachedAtTheTarget)
{
  bundle.Png("mem.png", 8, 4);
  const auto bytes = bundle.Bytes("mem.png");
  const IBitmap b = g->LoadBitmap("mem.png", bytes.data(), int(bytes.size()), 1, false, 2);
  ASSERT_TRUE(b.IsValid());
  EXPECT_EQ(g->decodedData, 1);
  EXPECT_TRUE(g->lookups.empty());
  EXPECT_EQ(b.GetScale(), 2.f);
  EXPECT_EQ(b.mAPIBitmap->GetWidth(), 16);
  EXPECT_EQ(BitmapCache().Find("mem.png", 2.0), b.mAPIBitmap);

  const IBitmap again = g->LoadBitmap("mem.png", bytes.data(), int(bytes.size()), 1, false, 2);
  EXPECT_EQ(again.mAPIBitmap, b.mAPIBitmap);
  EXPECT_EQ(g->decodedData, 1);
  // No data and nothing cached at any scale: empty.
  EXPECT_FALSE(g->LoadBitmap("other.png", nullptr, 0, 1, false, 1).IsValid());
}

TEST_F(ResourcesTest, RetainOwnsAnImageOnceAndReleaseDeletesItOnce)
{
  int deleted = 0;
  g->deleteCounter = &deleted;
  auto* api = new ScriptedGraphics::Bitmap(7, 4, 4, 1.f, 1.f, &deleted);
  const IBitmap b(api, 1, false, "x.png");
  g->RetainBitmap(b, "x.png");
  g->RetainBitmap(b, "x.png"); // a second owner would delete it twice
  EXPECT_EQ(BitmapCache().GetSize(), 1);

  auto* stranger = new ScriptedGraphics::Bitmap(8, 4, 4, 1.f, 1.f, &deleted);
  g->ReleaseBitmap(IBitmap(stranger, 1, false));
  EXPECT_EQ(BitmapCache().GetSize(), 1);
  EXPECT_EQ(deleted, 0);
  delete stranger;

  g->ReleaseBitmap(b);
  EXPECT_EQ(BitmapCache().GetSize(), 0);
  EXPECT_EQ(deleted, 2);
  g->ReleaseBitmap(IBitmap());
}

TEST_F(ResourcesTest, TheSecondEditorToCloseEmptiesTheCachesAndTheFirstDoesNot)
{
  int deleted = 0;
  bundle.Png("knob.png", 4, 4);
  bundle.Text("logo.svg", kSquare);
  g->deleteCounter = &deleted;
  auto second = Make();
  second->deleteCounter = &deleted;
  EXPECT_EQ(BitmapCache().GetRefCount(), 2);
  EXPECT_EQ(SVGCache().GetRefCount(), 2);

  const IBitmap b = g->LoadBitmap("knob.png", 1, false, 1);
  const ISVG svg = second->LoadSVG("logo.svg");
  ASSERT_TRUE(b.IsValid());
  ASSERT_TRUE(svg.IsValid());

  g.reset();
  EXPECT_EQ(BitmapCache().GetSize(), 1);
  EXPECT_EQ(SVGCache().GetSize(), 1);
  EXPECT_EQ(deleted, 0);
  // The survivor finds the shared copy without touching a file.
  EXPECT_EQ(second->LoadBitmap("knob.png", 1, false, 1).mAPIBitmap, b.mAPIBitmap);
  EXPECT_TRUE(second->decodedFiles.empty());

  second.reset();
  EXPECT_EQ(BitmapCache().GetSize(), 0);
  EXPECT_EQ(SVGCache().GetSize(), 0);
  EXPECT_EQ(BitmapCache().GetRefCount(), 0);
  EXPECT_EQ(deleted, 1);
  // A handle outlives the cache: the document is shared, not freed under it.
  EXPECT_EQ(svg.W(), 10.f);
}

TEST_F(ResourcesTest, SvgIsParsedOnceAndAFailedDocumentIsTriedAgain)
{
  bundle.Text("logo.svg", kSquare);
  bundle.Text("bad.svg", "<svg");
  const ISVG a = g->LoadSVG("logo.svg");
  ASSERT_TRUE(a.IsValid());
  EXPECT_EQ(a.W(), 10.f);
  EXPECT_EQ(a.H(), 20.f);
  const size_t lookups = g->lookups.size();
  const ISVG b = g->LoadSVG("logo.svg");
  EXPECT_EQ(a.Document(), b.Document());
  EXPECT_EQ(g->lookups.size(), lookups);
  EXPECT_EQ(SVGCache().GetSize(), 1);

  EXPECT_FALSE(g->LoadSVG("bad.svg").IsValid());
  EXPECT_FALSE(g->LoadSVG("bad.svg").IsValid());
  EXPECT_FALSE(g->LoadSVG("gone.svg").IsValid());
  EXPECT_EQ(SVGCache().GetSize(), 1);
  EXPECT_EQ(g->lookups.size(), lookups + 3);

  // From memory: the size bounds the text, or without one the first NUL does.
  const std::string text = std::string(kSquare) + std::string("\0garbage", 8);
  EXPECT_TRUE(g->LoadSVG("m1.svg", text.data(), int(std::string(kSquare).size()), "px", 72.f).IsValid());
  EXPECT_TRUE(g->LoadSVG("m2.svg", text.data(), 0, "px", 72.f).IsValid());
  EXPECT_FALSE(g->LoadSVG("m3.svg", "", 0, "px", 72.f).IsValid());
  EXPECT_EQ(SVGCache().GetSize(), 3);
}

namespace
{
struct Truncate
{
  std::string path;
  size_t size;
};
void Resize(void* ctx)
{
  auto* t = static_cast<Truncate*>(ctx);
  fs::resize_file(t->path, t->size);
}
} // namespace

TEST_F(ResourcesTest, AResourceFileThatChangesSizeWhileReadIsNotUsed)
{
  bundle.Text("data.bin", std::string(1000, 'z'));
  const std::string path = (bundle.res / "data.bin").string();
  Util_TypedBuf<uint8_t> buf;

  for (size_t newSize : {size_t(400), size_t(0), size_t(1500)})
  {
    bundle.Text("data.bin", std::string(1000, 'z'));
    Truncate t{path, newSize};
    EXPECT_FALSE(ReadResourceFile(path.c_str(), buf, &Resize, &t)) << newSize << " now " << fs::file_size(path);
    EXPECT_EQ(buf.GetSize(), 0) << newSize;
  }

  bundle.Text("data.bin", std::string(1000, 'z'));
  EXPECT_TRUE(ReadResourceFile(path.c_str(), buf));
  ASSERT_EQ(buf.GetSize(), 1000);
  EXPECT_EQ(buf.Get()[999], 'z');

  // Through the lookup; a missing file, or a folder, gives nothing.
  g->LoadResource("data.bin", "bin", buf);
  EXPECT_EQ(buf.GetSize(), 1000);
  g->LoadResource("none.bin", "bin", buf);
  EXPECT_EQ(buf.GetSize(), 0);
  EXPECT_FALSE(ReadResourceFile(bundle.res.c_str(), buf));
  EXPECT_FALSE(ReadResourceFile(nullptr, buf));
}

TEST_F(ResourcesTest, FontsAreKeptOnlyWhenThePlatformMakesThemAndTheBackEndTakesThem)
{
  char data[16] = {};
  EXPECT_TRUE(g->LoadFont("Roboto-Regular", "Roboto-Regular.ttf"));
  EXPECT_TRUE(g->LoadFont("Mem", data, int(sizeof data)));
  EXPECT_TRUE(g->LoadFont("Sys", "DejaVu Sans", ETextStyle::Bold));
  EXPECT_EQ(g->apiFonts, (Strings{"Roboto-Regular", "Mem", "Sys"}));
  EXPECT_EQ(g->platformFontCache, (Strings{"Roboto-Regular", "Mem", "Sys"}));
  EXPECT_EQ(g->Count("LoadPlatformFont(Sys,DejaVu Sans,1)"), 1);

  g->acceptFonts = false;
  EXPECT_FALSE(g->LoadFont("Refused", "x.ttf"));
  g->acceptFonts = true;
  g->platformFonts = false;
  EXPECT_FALSE(g->LoadFont("Unmade", "x.ttf"));
  EXPECT_FALSE(g->LoadFont("NoData", nullptr, 10));
  EXPECT_EQ(g->platformFontCache.size(), 3u);
}

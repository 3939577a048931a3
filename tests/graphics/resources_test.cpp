// Bitmap, SVG and font resources: scale variants and their order, the process-wide caches shared by editors,
// rescaling through a layer, and resource files that change under us.

#include "support/ScriptedGraphics.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace
{

// A temporary folder laid out as a bundle's Resources, and editors that find their resources there.
struct ResourcesTest : ::testing::Test
{
  fs::path root = mkdtemp(std::string("/tmp/zaniq_res_XXXXXX").data());
  fs::path res = root / "ZANIQ.component/Contents/Resources";
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = Make();

  std::unique_ptr<ScriptedGraphics> Make()
  {
    fs::create_directories(res);
    auto gr = std::make_unique<ScriptedGraphics>(dlg, 200, 100);
    gr->resourceDir = res.string();
    return gr;
  }
  void Png(const char* name, int w, int h)
  {
    std::vector<unsigned char> px(size_t(w) * h * 4, 0x80);
    ASSERT_TRUE(stbi_write_png((res / name).c_str(), w, h, 4, px.data(), w * 4));
  }
  void Text(const char* name, const std::string& text) { std::ofstream(res / name) << text; }
  void TearDown() override
  {
    g.reset();
    EXPECT_EQ(BitmapCache().GetSize() + SVGCache().GetSize(), 0); // the last editor out empties both
    fs::remove_all(root);
  }
};

const char* kSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="20"><rect width="3" height="4"/></svg>)";

} // namespace

TEST_F(ResourcesTest, PlainFileFoundAfterTheVariantsIsRenderedUpAndCachedUnderNameAndScale)
{
  Png("knob.png", 10, 60);
  const IBitmap b = g->LoadBitmap("knob.png", 6, false, 2);
  EXPECT_EQ(g->lookups, (Strings{"knob@2x.png|png", "knob@4x.png|png", "knob@3x.png|png", "knob.png|png"}));
  EXPECT_EQ(g->decodedFiles, Strings{(res / "knob.png").string()});
  // Drawn from the scale-1 image into a layer of twice the pixels; the scale-1 image is not kept.
  EXPECT_EQ(g->Calls("CreateAPIBitmap").at(0).a, (std::vector<double>{20, 120, 2, 1, 1}));
  EXPECT_EQ(g->Calls("DrawBitmap").at(0).a, (std::vector<double>{0, 0, 10, 60, 0, 0, 10, 60}));
  EXPECT_EQ((std::vector<float>{b.GetScale(), float(b.W), float(b.H), float(b.N)}), (std::vector<float>{2, 10, 60, 6}));
  EXPECT_EQ(BitmapCache().Find("knob.png", 2.0), b.mAPIBitmap);

  g->lookups.clear();
  EXPECT_EQ(g->LoadBitmap("knob.png", 6, false, 2).mAPIBitmap, b.mAPIBitmap);
  EXPECT_TRUE(g->lookups.empty()); // a second load touches no file

  // Scale 0 means the screen's; a variant made for it is used as it is.
  Png("dial@2x.png", 20, 20);
  g->SetScreenScale(2.f);
  EXPECT_EQ(g->LoadBitmap("dial.png").W, 10);
  EXPECT_EQ(g->Calls("CreateAPIBitmap").size(), 1u);
}

TEST_F(ResourcesTest, VariantNamesAndOrder)
{
  const std::pair<const char*, int> cases[] = {{"knob.png", 5}, {"v.2/dial", 3}, {"knob.png", 0}};
  const Strings want[] = {{"knob@5x.png", "knob@4x.png", "knob@3x.png", "knob@2x.png", "knob.png"},
                          {"v.2/dial@3x", "v.2/dial@4x", "v.2/dial@2x", "v.2/dial"},
                          {}};
  for (size_t i = 0; i < std::size(cases); ++i)
  {
    g->lookups.clear();
    Util_String path;
    int source = -1;
    EXPECT_EQ(g->SearchImageResource(cases[i].first, "png", path, cases[i].second, source), kNotFound);
    Strings names;
    for (const auto& l : g->lookups)
      names.push_back(l.substr(0, l.find('|')));
    EXPECT_EQ(names, want[i]) << i;
  }
  // Missing, undecodable and unsupported bitmaps are empty and leave nothing cached.
  Text("broken.png", "not a png");
  for (const char* name : {"missing.png", "broken.png", "photo.jpg", ""})
    EXPECT_FALSE(g->LoadBitmap(name, 1, false, 1).IsValid()) << name;
  EXPECT_EQ(BitmapCache().GetSize(), 0);
}

TEST_F(ResourcesTest, CachesAreSharedByEditorsAndEmptiedOnceByTheLastToClose)
{
  int deleted = 0;
  Png("knob.png", 4, 4);
  Text("logo.svg", kSvg);
  Text("bad.svg", "<svg");
  g->deleteCounter = &deleted;
  auto second = Make();
  const IBitmap b = g->LoadBitmap("knob.png", 1, false, 1);
  g->RetainBitmap(b, "knob.png"); // a second owner would delete it twice
  g->ReleaseBitmap(IBitmap());
  const ISVG svg = second->LoadSVG("logo.svg");
  ASSERT_TRUE(svg.IsValid());
  EXPECT_EQ(second->LoadSVG("logo.svg").Document(), svg.Document());
  // A document that does not parse is not cached, so each call tries again.
  EXPECT_FALSE(second->LoadSVG("bad.svg").IsValid());
  EXPECT_FALSE(second->LoadSVG("bad.svg").IsValid());
  EXPECT_EQ(second->lookups, (Strings{"logo.svg|svg", "bad.svg|svg", "bad.svg|svg"}));

  g.reset();
  EXPECT_EQ(BitmapCache().GetSize(), 1);
  EXPECT_EQ(SVGCache().GetSize(), 1);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(second->LoadBitmap("knob.png", 1, false, 1).mAPIBitmap, b.mAPIBitmap);
  second.reset();
  EXPECT_EQ(BitmapCache().GetRefCount(), 0);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(svg.W(), 10.f); // handles share the document, so one outlives the cache
}

TEST_F(ResourcesTest, ResourceFileChangingSizeWhileReadGivesNothing)
{
  const std::string path = (res / "data.bin").string();
  struct Change
  {
    std::string path;
    size_t size;
  };
  auto resize = [](void* c) { fs::resize_file(static_cast<Change*>(c)->path, static_cast<Change*>(c)->size); };
  Util_TypedBuf<uint8_t> buf;
  for (size_t size : {400, 0, 1500})
  {
    Text("data.bin", std::string(1000, 'z'));
    Change change{path, size};
    EXPECT_FALSE(ReadResourceFile(path.c_str(), buf, resize, &change)) << size;
    EXPECT_EQ(buf.GetSize(), 0) << size;
  }
  Text("data.bin", std::string(1000, 'z'));
  g->LoadResource("data.bin", "bin", buf);
  EXPECT_EQ(buf.GetSize(), 1000);
  g->LoadResource("none.bin", "bin", buf);
  EXPECT_EQ(buf.GetSize(), 0);
  EXPECT_FALSE(ReadResourceFile(res.c_str(), buf));
}

// A platform whose resources are not files (compiled in, say) supplies them through LoadResource, and a back end
// may take over parsing: the SVG loading reaches both through the drawing interface.
TEST_F(ResourcesTest, SVGResourcesComeThroughTheOverridableLoaders)
{
  struct EmbeddedResources : ScriptedGraphics
  {
    using ScriptedGraphics::ScriptedGraphics;
    using ScriptedGraphics::LoadSVG;
    std::map<std::string, std::string> embedded;
    Strings parsed;
    void LoadResource(const char* name, const char* type, Util_TypedBuf<uint8_t>& result) override
    {
      result.Resize(0);
      const auto it = embedded.find(std::string(name) + "|" + type);
      if (it == embedded.end() || !result.Resize(int(it->second.size()))) return;
      std::memcpy(result.Get(), it->second.data(), it->second.size());
    }
    ISVG LoadSVG(const char* name, const void* pData, int dataSize, const char* units, float dpi) override
    {
      parsed.push_back(name);
      return ScriptedGraphics::LoadSVG(name, pData, dataSize, units, dpi);
    }
  };
  Text("logo.svg", "<svg"); // a file of the same name is not what this platform reads
  EmbeddedResources e(dlg, 200, 100);
  e.resourceDir = res.string();
  e.embedded["logo.svg|svg"] = kSvg;
  const ISVG svg = e.LoadSVG("logo.svg");
  ASSERT_TRUE(svg.IsValid());
  EXPECT_EQ((std::vector<float>{svg.W(), svg.H()}), (std::vector<float>{10.f, 20.f}));
  EXPECT_FALSE(e.LoadSVG("missing.svg").IsValid());
  EXPECT_EQ(e.parsed, (Strings{"logo.svg"}));
  EXPECT_TRUE(e.lookups.empty());
}

// The units name the unit of drawing space: a document measured in inches comes out in millimetres, inches or
// points by the definitions of those units (25.4 mm and 72 pt to the inch), whatever the dpi; in pixels it takes
// the dpi. Loading from memory and from a resource give the same sizes.
TEST_F(ResourcesTest, SVGSizesFollowTheUnitsOfDrawingSpace)
{
  const std::string inches = R"(<svg xmlns="http://www.w3.org/2000/svg" width="2in" height="1in">)"
                             R"(<rect x="0.5in" y="0.25in" width="1in" height="0.5in" stroke="black")"
                             R"( stroke-width="1pt" stroke-dasharray="2pt 1pt"/></svg>)";
  struct Case
  {
    const char* units;
    float dpi;
    float perInch; // drawing units per inch
  };
  int n = 0;
  for (const Case& k : {Case{"mm", 72.f, 25.4f}, Case{"mm", 96.f, 25.4f}, Case{"cm", 96.f, 2.54f},
                        Case{"in", 300.f, 1.f}, Case{"pt", 96.f, 72.f}, Case{"pc", 96.f, 6.f}, Case{"px", 96.f, 96.f},
                        Case{"px", 72.f, 72.f}, Case{nullptr, 96.f, 96.f}, Case{"furlong", 96.f, 96.f}})
  {
    const std::string what = std::string(k.units ? k.units : "(none)") + " at " + std::to_string(k.dpi);
    const std::string name = "inches" + std::to_string(n++) + ".svg";
    const ISVG mem = g->LoadSVG(("mem-" + name).c_str(), inches.data(), int(inches.size()), k.units, k.dpi);
    Text(name.c_str(), inches);
    const ISVG file = g->LoadSVG(name.c_str(), k.units, k.dpi);
    for (const ISVG* svg : {&mem, &file})
    {
      ASSERT_TRUE(svg->IsValid()) << what;
      EXPECT_NEAR(svg->W(), 2 * k.perInch, 1e-4 * k.perInch) << what;
      EXPECT_NEAR(svg->H(), 1 * k.perInch, 1e-4 * k.perInch) << what;
      const SVGShape& s = svg->Document()->shapes.at(0);
      const float expected[4] = {0.5f, 0.25f, 1.5f, 0.75f};
      for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(s.bounds[i], expected[i] * k.perInch, 1e-4 * k.perInch) << what << " edge " << i;
      // Widths and dashes scale with the rest: 1 pt is 1/72 inch.
      EXPECT_NEAR(s.strokeWidth, k.perInch / 72, 1e-4 * k.perInch) << what;
      ASSERT_EQ(s.dashCount, 2) << what;
      EXPECT_NEAR(s.dashArray[0], 2 * k.perInch / 72, 1e-4 * k.perInch) << what;
    }
  }
}

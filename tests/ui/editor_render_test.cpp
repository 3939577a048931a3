// The whole editor drawn through the renderer with the bundle's own artwork and fonts, in every view and at scales
// 1 and 2. With VR_SAVE set (a folder, or 1 for a temporary one), and whenever a check fails, the pictures are
// saved for a person to look at; the checks are that every view draws something of its own and that scale 2,
// averaged down, matches scale 1.

#include "support/TestGraphicsVR.h"
#include "support/ui_env.h"

#include <cstdlib>
#include <filesystem>

using namespace uitest;
using plugin::igraphics::test::TestGraphicsVR;

namespace
{

const char* const kResources = ZANIQ_BUNDLE_RESOURCES;

// The test platform, finding resources and fonts in the bundle's resource folder.
class BundleGraphics : public TestGraphicsVR
{
public:
  using TestGraphicsVR::TestGraphicsVR;
  EResourceLocation LocateResource(const char* name, const char* type, Util_String& result, const char*, void*,
                                   const char*) override
  {
    (void)type;
    const std::filesystem::path path = std::filesystem::path(kResources) / (name ? name : "");
    if (!name || !*name || !std::filesystem::is_regular_file(path)) return kNotFound;
    result.Set(path.c_str());
    return kAbsolutePath;
  }
  PlatformFontPtr LoadPlatformFont(const char* fontID, const char* file) override
  {
    const std::string path = (std::filesystem::path(kResources) / file).string();
    return TestGraphicsVR::LoadPlatformFont(fontID, path.c_str());
  }
  using TestGraphicsVR::LoadPlatformFont;
};

// The editor on the renderer: the test platform lays nothing out by itself, so opening does it here.
class RenderZANIQ : public UIZANIQ
{
public:
  explicit RenderZANIQ(float screenScale) : UIZANIQ(kResources)
  {
    SetMakeGraphicsFunc([this, screenScale]() -> IGraphics* {
      auto* g = new BundleGraphics(*this, kEditorBaseWidth, kEditorBaseHeight, 1.f);
      g->SetPendingScreenScale(screenScale);
      return g;
    });
  }
  BundleGraphics* Open()
  {
    (void)OpenWindow(nullptr);
    auto* g = static_cast<BundleGraphics*>(GetUI());
    LayoutUI(g);
    OnUIOpen();
    return g;
  }
};

std::filesystem::path PictureFolder()
{
  const char* env = std::getenv("VR_SAVE");
  std::filesystem::path dir = (env && *env && std::string(env) != "1") ? std::filesystem::path(env)
                                                                      : std::filesystem::temp_directory_path() /
                                                                            "zaniq_editor_pictures";
  std::filesystem::create_directories(dir);
  return dir;
}

struct View
{
  const char* name;
  int mode, gui, prePost, config, help;
};
const View kViews[] = {
  {"sender", 0, 0, 0, 0, 0}, {"help", 0, 0, 0, 0, 1},       {"expert", 1, 0, 1, 0, 0},
  {"simple_post", 1, 1, 1, 0, 0}, {"simple_pre", 1, 1, 0, 0, 0}, {"config", 1, 0, 1, 1, 0},
};

// Draws view at screenScale; the picture's pixels (BGRA) and size.
std::vector<uint8_t> Render(const View& v, float screenScale, int& w, int& h, bool save)
{
  RenderZANIQ z(screenScale);
  z.Change(ZANIQ::kPluginMode, v.mode);
  z.Change(ZANIQ::kLinkID, 12);
  z.Change(ZANIQ::kGUIMode, v.gui);
  z.Change(ZANIQ::kPrePostFX, v.prePost);
  z.Change(ZANIQ::kShowConfigPage, v.config);
  z.Change(ZANIQ::kMeterMode, 0);
  BundleGraphics* g = z.Open();
  EXPECT_EQ(g->NControls(), 70);
  if (v.help) z.OnParamChange(59, plugin::kUI, -1);
  if (v.mode == 1)
  {
    UIZANIQ::Meter m;
    m.preLevel = 0.3, m.preMax = 0.6, m.postLevel = 0.2, m.preRatio = 0.8, m.preGain = 1.25, m.matchGain = 1.5;
    m.gainToMatch = 0.5; // -6 dB: the post read-outs turn red
    z.SetMeter(m);
    z.UpdateMeterDisplays();
  }
  g->DrawFrame();
  if (!save) return g->Pixels(&w, &h);
  const std::string file = std::string("editor_") + v.name + (screenScale > 1.f ? "@2x" : "") + ".png";
  EXPECT_TRUE(g->SavePNG((PictureFolder() / file).string()));
  std::cout << "picture: " << (PictureFolder() / file).string() << "\n";
  return g->Pixels(&w, &h);
}

} // namespace

TEST_F(EditorTest, RenderedViews)
{
  if (!std::filesystem::is_regular_file(std::filesystem::path(kResources) / "background2.png"))
    GTEST_SKIP() << "the bundle's artwork is not built";
  std::vector<std::vector<uint8_t>> ones;
  for (const View& v : kViews)
  {
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const bool save = std::getenv("VR_SAVE") != nullptr;
    const std::vector<uint8_t> one = Render(v, 1.f, w1, h1, save);
    const std::vector<uint8_t> two = Render(v, 2.f, w2, h2, save);
    ASSERT_EQ(w1, 424);
    ASSERT_EQ(h1, 610);
    ASSERT_EQ(w2, 848);
    ASSERT_EQ(h2, 1220);
    // Scale 2 averaged over 2 x 2 blocks against scale 1: the same picture, up to edges and text hinting.
    double sum = 0.0;
    for (int y = 0; y < h1; ++y)
      for (int x = 0; x < w1; ++x)
        for (int c = 0; c < 3; ++c)
        {
          int avg = 0;
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) avg += two[size_t(((2 * y + dy) * w2 + 2 * x + dx) * 4 + c)];
          sum += std::abs(avg / 4.0 - one[size_t((y * w1 + x) * 4 + c)]);
        }
    EXPECT_LT(sum / (w1 * h1 * 3.0), 6.0) << v.name;
    for (const auto& other : ones) EXPECT_NE(other, one) << v.name << " looks like an earlier view";
    ones.push_back(one);
    if (HasFailure() && !save)
    {
      (void)Render(v, 1.f, w1, h1, true);
      (void)Render(v, 2.f, w2, h2, true);
    }
  }
}

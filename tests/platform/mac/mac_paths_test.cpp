// The folder paths of the platform layer.

#include "platform/mac/PlatformPaths.h"
#include "support/ScopedHome.h"

#include <gtest/gtest.h>

#include <string>

using namespace plugin;

namespace
{

TEST(MacPaths, UserFolders)
{
  ScopedHome home;
  const std::string h = home.Path().string();
  Util_String p;
  UserMusicPath(p);
  EXPECT_EQ(std::string(p.Get()), h + "/Music");
  AppSupportSubPath(p, "ZANIQ");
  EXPECT_EQ(std::string(p.Get()), h + "/Library/Application Support/ZANIQ");
  VST3PresetsPath(p, "QNVX", "ZANIQ");
  EXPECT_EQ(std::string(p.Get()), h + "/Library/Audio/Presets/QNVX/ZANIQ/");
  VST3PresetsPath(p, "QNVX", "ZANIQ", true);
  EXPECT_STREQ(p.Get(), "/Library/Audio/Presets/QNVX/ZANIQ/");
  EXPECT_FALSE(AppIsSandboxed());

  // Long names are cut, never inside a character.
  VST3PresetsPath(p, std::string(3000, 'x').c_str(), "y");
  EXPECT_EQ(std::string(p.Get()).size(), 1024u);
  std::string accents;
  for (int i = 0; i < 700; ++i)
    accents += "\xC3\xA9";
  AppSupportSubPath(p, accents.c_str());
  const std::string out = p.Get();
  const std::string tail = out.substr(out.rfind('/') + 1);
  EXPECT_EQ(tail.size(), 1024u);
  EXPECT_EQ(static_cast<unsigned char>(tail.back()), 0xA9);
}

} // namespace

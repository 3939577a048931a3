// The folder paths of the platform layer.

#include "platform/mac/PlatformPaths.h"
#include "support/ScopedHome.h"

#include <gtest/gtest.h>

#include <string>

using namespace plugin;

namespace
{

TEST(MacPaths, LongNamesAreCut)
{
  ScopedHome home;
  Util_String p;
  const std::string longName(3000, 'x');
  VST3PresetsPath(p, longName.c_str(), "y");
  EXPECT_EQ(std::string(p.Get()).size(), 1024u);
  // A cut never splits a character.
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

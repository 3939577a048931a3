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

// A name or shared folder that is not UTF-8 names nothing: the lookups answer false instead of crashing.
TEST(MacPaths, NamesThatAreNotUTF8AreNotFound)
{
  ScopedHome home;
  Util_String p;
  EXPECT_FALSE(LocateResource("bad\xFF.png", "png", p, "com.example.none", nullptr, "Shared"));
  EXPECT_FALSE(GetResourcePathFromSharedLocation("bad\xFF.png", "png", p, "Shared"));
  EXPECT_FALSE(GetResourcePathFromSharedLocation("good.png", "png", p, "Sha\xC0red"));
  EXPECT_STREQ(p.Get(), "");
}

} // namespace

#include "framework/IPlugConfig.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plugin;

TEST(ConfigTest, ProductConfigurationRecord)
{
  constexpr Config c = MakeZaniqConfig();
  EXPECT_EQ(c.nParams, 46);
  EXPECT_EQ(c.nPresets, 1);
  EXPECT_STREQ(c.channelIOStr, "1-1 2-2");
  EXPECT_STREQ(c.pluginName, "ZANIQ");
  EXPECT_STREQ(c.productName, "ZANIQ");
  EXPECT_STREQ(c.mfrName, "Quenlar");
  EXPECT_EQ(c.vendorVersion, 131595); // 2.2.11
  EXPECT_EQ(c.uniqueID, 0x514E3535);  // 'Q' 'N' '5' '5' in ASCII
  EXPECT_EQ(c.mfrID, 0x514E5658);     // 'Q' 'N' 'V' 'X'
  EXPECT_EQ(c.latency, 0);
  EXPECT_FALSE(c.plugDoesMidiIn);
  EXPECT_FALSE(c.plugDoesMidiOut);
  EXPECT_FALSE(c.plugDoesMPE);
  EXPECT_TRUE(c.plugDoesChunks);
  EXPECT_EQ(c.plugType, 0);
  EXPECT_TRUE(c.plugHasUI);
  EXPECT_EQ(c.plugWidth, 424);
  EXPECT_EQ(c.plugHeight, 610);
  // Resizable from half to double the base size.
  EXPECT_EQ(c.plugMinWidth * 2, c.plugWidth);
  EXPECT_EQ(c.plugMaxWidth, c.plugWidth * 2);
  EXPECT_EQ(c.plugMinHeight * 2, c.plugHeight);
  EXPECT_EQ(c.plugMaxHeight, c.plugHeight * 2);
  EXPECT_FALSE(c.plugHostResize);
  ASSERT_NE(c.bundleID, nullptr);
  EXPECT_GT(std::strlen(c.bundleID), 0u);
}

TEST(ConfigTest, PackedCodes)
{
  EXPECT_EQ(PackVersion(1, 0, 0), 0x10000);
  EXPECT_EQ(PackVersion(10, 7, 3), 0x000A0703);
  EXPECT_EQ(MakeFourCC('a', 'u', 'f', 'x'), 0x61756678u);
  // Characters above 127 must not sign-extend into the higher bytes.
  EXPECT_EQ(MakeFourCC('\xff', 0, 0, 1), 0xff000001u);
}

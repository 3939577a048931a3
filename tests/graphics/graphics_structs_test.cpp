#include "graphics/IGraphicsStructs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>

using namespace plugin::igraphics;

TEST(IRECT, EmptyAndContainment)
{
  const IRECT zero;
  EXPECT_TRUE(zero.Empty());
  EXPECT_FALSE(zero.Contains(0.f, 0.f));
  EXPECT_FALSE(zero.Intersects(IRECT(-1, -1, 1, 1)));

  // Zero-sized but not at the origin: not empty, yet it holds no point.
  const IRECT dot(5, 5, 5, 5);
  EXPECT_FALSE(dot.Empty());
  EXPECT_FALSE(dot.Contains(5.f, 5.f));

  // Half-open on the right and bottom edges.
  const IRECT r(10, 20, 30, 40);
  EXPECT_TRUE(r.Contains(10.f, 20.f));
  EXPECT_FALSE(r.Contains(30.f, 25.f));
  EXPECT_FALSE(r.Contains(15.f, 40.f));
  EXPECT_TRUE(r.Contains(29.99f, 39.99f));
  EXPECT_FALSE(r.Contains(std::nanf(""), 25.f));
  EXPECT_FLOAT_EQ(r.W(), 20.f);
  EXPECT_FLOAT_EQ(r.H(), 20.f);
  EXPECT_FLOAT_EQ(r.MW(), 20.f);
  EXPECT_FLOAT_EQ(r.MH(), 30.f);
}

TEST(IRECT, TouchingEdgesIntersectOnlyOneWay)
{
  const IRECT a(10, 10, 20, 20);
  // B's right edge on A's left edge, or B's bottom on A's top: counts.
  EXPECT_TRUE(a.Intersects(IRECT(0, 12, 10, 18)));
  EXPECT_TRUE(a.Intersects(IRECT(12, 0, 18, 10)));
  // A's right edge on B's left edge, or A's bottom on B's top: does not.
  EXPECT_FALSE(a.Intersects(IRECT(20, 12, 30, 18)));
  EXPECT_FALSE(a.Intersects(IRECT(12, 20, 18, 30)));

  const IRECT touching = a.Intersect(IRECT(0, 12, 10, 18));
  EXPECT_EQ(touching, IRECT(10, 12, 10, 18));
  EXPECT_EQ(a.Intersect(IRECT(15, 15, 40, 40)), IRECT(15, 15, 20, 20));
  EXPECT_TRUE(a.Intersect(IRECT(50, 50, 60, 60)).Empty());
}

TEST(IRECT, UnionTreatsEmptyAsNothing)
{
  const IRECT a(10, 10, 20, 20);
  EXPECT_EQ(IRECT().Union(a), a);
  EXPECT_EQ(a.Union(IRECT()), a);
  EXPECT_EQ(a.Union(IRECT(-5, 15, 12, 30)), IRECT(-5, 10, 20, 30));
}

TEST(IRECT, DerivedRectangles)
{
  EXPECT_EQ(IRECT(0.3f, 0.6f, 10.2f, 10.7f).GetPixelAligned(2.f), IRECT(0.f, 0.5f, 10.5f, 11.f));
  EXPECT_EQ(IRECT(0, 0, 10, 20).GetScaledAboutCentre(2.f), IRECT(-5, -10, 15, 30));
  EXPECT_EQ(IRECT(0, 0, 10, 10).GetPadded(2.f), IRECT(2, 2, 8, 8));
  EXPECT_EQ(IRECT(0, 0, 10, 20).GetTranslated(5, 5), IRECT(5, 5, 15, 25));
  // Height 0 or less means a square; width below 1 becomes 1.
  EXPECT_EQ(IRECT(0, 0, 100, 100).GetCentredInside(20.f), IRECT(40, 40, 60, 60));
  EXPECT_EQ(IRECT(0, 0, 100, 100).GetCentredInside(0.f, -3.f), IRECT(49.5f, 49.5f, 50.5f, 50.5f));
  EXPECT_EQ(IRECT::MakeXYWH(1, 2, 3, 4), IRECT(1, 2, 4, 6));
}

TEST(IColor, DefaultsAndConstants)
{
  EXPECT_EQ(IColor(), IColor(255, 0, 0, 0));
  EXPECT_EQ(COLOR_TRANSPARENT, IColor(0, 0, 0, 0));
  EXPECT_EQ(COLOR_ORANGE, IColor(255, 255, 127, 0));
  EXPECT_EQ(COLOR_VIOLET, IColor(255, 148, 0, 211));
  EXPECT_EQ(COLOR_SHADOW, IColor(60, 0, 0, 0));
  IColor c(300, -4, 128, 255);
  c.Clamp();
  EXPECT_EQ(c, IColor(255, 0, 128, 255));
}

TEST(IText, DefaultStyleAndFontField)
{
  const IText t;
  EXPECT_STREQ(t.mFont, "Roboto-Regular");
  EXPECT_FLOAT_EQ(t.mSize, 14.f);
  EXPECT_EQ(t.mFGColor, COLOR_BLACK);
  EXPECT_EQ(t.mTextEntryBGColor, COLOR_WHITE);
  EXPECT_EQ(t.mTextEntryFGColor, COLOR_BLACK);
  EXPECT_EQ(t.mAlign, kAlignCenter);
  EXPECT_EQ(t.mVAlign, kVAlignMiddle);
  EXPECT_EQ(DEFAULT_LABEL_TEXT.mVAlign, kVAlignTop);
  EXPECT_FLOAT_EQ(DEFAULT_LABEL_TEXT.mSize, 19.f);
  EXPECT_EQ(DEFAULT_VALUE_TEXT.mVAlign, kVAlignBottom);

  // An over-long identifier is cut to the field and stays terminated; null means empty.
  const std::string longName(100, 'x');
  const IText cut(12.f, COLOR_RED, longName.c_str());
  EXPECT_EQ(std::strlen(cut.mFont), static_cast<size_t>(IText::kFontLen - 1));
  const IText none(12.f, COLOR_RED, nullptr);
  EXPECT_STREQ(none.mFont, "");
}

TEST(IKeyPress, TextIsCutWithoutBreakingACharacter)
{
  const plugin::IKeyPress a("a", 'A', true);
  EXPECT_STREQ(a.utf8, "a");
  EXPECT_TRUE(a.S);
  EXPECT_FALSE(a.C);

  // "ab" followed by the three-byte "€": cutting after 4 bytes would split the euro sign; it is dropped whole.
  const plugin::IKeyPress cut("ab\xE2\x82\xAC", 0);
  EXPECT_STREQ(cut.utf8, "ab");
  // Four one-byte characters fit exactly; the rest is dropped.
  EXPECT_STREQ(plugin::IKeyPress("abcdef", 0).utf8, "abcd");
  EXPECT_STREQ(plugin::IKeyPress(nullptr, 0).utf8, "");
  // The same type is reachable from the editor namespace.
  EXPECT_TRUE((std::is_same_v<plugin::igraphics::IKeyPress, plugin::IKeyPress>));
}

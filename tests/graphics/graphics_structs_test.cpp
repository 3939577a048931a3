#include "graphics/IGraphicsStructs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>

using namespace plugin::igraphics;

// The key press is one type, reachable from the editor namespace.
static_assert(std::is_same_v<plugin::igraphics::IKeyPress, plugin::IKeyPress>);

TEST(IRECT, EmptyContainmentIntersectionAndUnion)
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
  for (auto [x, y, in] : {std::tuple{10.f, 20.f, true},
                          {30.f, 25.f, false},
                          {15.f, 40.f, false},
                          {29.99f, 39.99f, true},
                          {std::nanf(""), 25.f, false}})
    EXPECT_EQ(r.Contains(x, y), in) << x << "," << y;

  const IRECT a(10, 10, 20, 20);
  // B's right edge on A's left edge, or B's bottom on A's top: counts.
  EXPECT_TRUE(a.Intersects(IRECT(0, 12, 10, 18)));
  EXPECT_TRUE(a.Intersects(IRECT(12, 0, 18, 10)));
  // A's right edge on B's left edge, or A's bottom on B's top: does not.
  EXPECT_FALSE(a.Intersects(IRECT(20, 12, 30, 18)));
  EXPECT_FALSE(a.Intersects(IRECT(12, 20, 18, 30)));
  EXPECT_EQ(a.Intersect(IRECT(0, 12, 10, 18)), IRECT(10, 12, 10, 18));
  EXPECT_EQ(a.Intersect(IRECT(15, 15, 40, 40)), IRECT(15, 15, 20, 20));
  EXPECT_TRUE(a.Intersect(IRECT(50, 50, 60, 60)).Empty());

  // An empty rectangle adds nothing to a union.
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

TEST(IColorTextAndKeyPress, ClampAndCutFields)
{
  IColor c(300, -4, 128, 255);
  c.Clamp();
  EXPECT_EQ(c, IColor(255, 0, 128, 255));

  // An over-long font identifier is cut to the field and stays terminated; null means empty.
  EXPECT_EQ(std::strlen(IText(12.f, COLOR_RED, std::string(100, 'x').c_str()).mFont), size_t(IText::kFontLen - 1));
  EXPECT_STREQ(IText(12.f, COLOR_RED, nullptr).mFont, "");

  // Key press text is cut without breaking a character.
  // "ab" followed by the three-byte "€": cutting after 4 bytes would split the euro sign; it is dropped whole.
  EXPECT_STREQ(plugin::IKeyPress("ab\xE2\x82\xAC", 0).utf8, "ab");
  // Four one-byte characters fit exactly; the rest is dropped.
  EXPECT_STREQ(plugin::IKeyPress("abcdef", 0).utf8, "abcd");
  EXPECT_STREQ(plugin::IKeyPress(nullptr, 0).utf8, "");
}

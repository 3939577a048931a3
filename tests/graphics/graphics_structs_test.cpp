#include "graphics/IGraphicsStructs.h"
#include "graphics/IPopupMenu.h"
#include "graphics/Util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

using namespace plugin::igraphics;

// The key press is one type, reachable from the editor namespace.
static_assert(std::is_same_v<plugin::igraphics::IKeyPress, plugin::IKeyPress>);

TEST(IRECT, EmptyContainmentIntersectionUnionAndDerivedRectangles)
{
  const IRECT zero;
  EXPECT_TRUE(zero.Empty());
  EXPECT_FALSE(zero.Contains(0.f, 0.f));
  EXPECT_FALSE(zero.Intersects(IRECT(-1, -1, 1, 1)));

  // Half-open on the right and bottom edges.
  const IRECT r(10, 20, 30, 40);
  for (auto [x, y, in] : {std::tuple{10.f, 20.f, true}, {30.f, 25.f, false}, {15.f, 40.f, false},
                          {std::nanf(""), 25.f, false}})
    EXPECT_EQ(r.Contains(x, y), in) << x << "," << y;

  const IRECT a(10, 10, 20, 20);
  // B's right edge on A's left edge: counts.
  EXPECT_TRUE(a.Intersects(IRECT(0, 12, 10, 18)));
  // A's right edge on B's left edge: does not.
  EXPECT_FALSE(a.Intersects(IRECT(20, 12, 30, 18)));
  EXPECT_EQ(a.Intersect(IRECT(15, 15, 40, 40)), IRECT(15, 15, 20, 20));

  // An empty rectangle adds nothing to a union.
  EXPECT_EQ(a.Union(IRECT()), a);
  EXPECT_EQ(a.Union(IRECT(-5, 15, 12, 30)), IRECT(-5, 10, 20, 30));

  EXPECT_EQ(IRECT(0.3f, 0.6f, 10.2f, 10.7f).GetPixelAligned(2.f), IRECT(0.f, 0.5f, 10.5f, 11.f));
  // Height 0 or less means a square; width below 1 becomes 1.
  EXPECT_EQ(IRECT(0, 0, 100, 100).GetCentredInside(20.f), IRECT(40, 40, 60, 60));
  EXPECT_EQ(IRECT(0, 0, 100, 100).GetCentredInside(0.f, -3.f), IRECT(49.5f, 49.5f, 50.5f, 50.5f));
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

TEST(String, SelfReferenceAndLimitedFormatting)
{
  Util_String s;
  EXPECT_STREQ(s.Get(), "");
  s.Set("hello world");
  s.Set(s.Get() + 6); // a suffix of itself
  EXPECT_STREQ(s.Get(), "world");
  s.Append(s.Get()); // appending itself across a reallocation
  EXPECT_STREQ(s.Get(), "worldworld");
  s.Set(std::string(5000, 'x').c_str());
  s.Append(s.Get() + 4990); // a suffix of itself across a reallocation
  EXPECT_EQ(s.GetLength(), 5010);
  s.SetFormatted(5, "%d-%s", 12345, "abc");
  EXPECT_STREQ(s.Get(), "12345");
  s.SetFormatted(64, "%.2f", 1.5);
  s.AppendFormatted(3, "%s", "xyz123");
  EXPECT_STREQ(s.Get(), "1.50xyz");
  s.AppendFormatted(0, "%s", "zzz");
  EXPECT_STREQ(s.Get(), "1.50xyz");
}

TEST(IVColorSpec, ShorterListLeavesOpaqueBlackInTheRest)
{
  const IVColorSpec spec{COLOR_RED, COLOR_GREEN, COLOR_BLUE};
  EXPECT_EQ((std::vector<IColor>{spec.GetColor(kBG), spec.GetColor(kFG), spec.GetColor(kPR)}),
            (std::vector<IColor>{COLOR_RED, COLOR_GREEN, COLOR_BLUE}));
  for (int i = kFR; i < kNumVColors; ++i)
    EXPECT_EQ(spec.GetColor(i), IColor(255, 0, 0, 0)) << i; // not the default role colours
  const IVColorSpec one{COLOR_WHITE};
  for (int i = kFG; i < kNumVColors; ++i)
    EXPECT_EQ(one.GetColor(i), COLOR_BLACK) << i;
  // A full list is taken whole, extra entries are ignored; no list at all keeps the default roles.
  IVColorSpec full{COLOR_RED,    COLOR_GREEN,  COLOR_BLUE,  COLOR_YELLOW, COLOR_ORANGE,
                   COLOR_INDIGO, COLOR_VIOLET, COLOR_WHITE, COLOR_GRAY,   COLOR_MID_GRAY};
  EXPECT_EQ((std::vector<IColor>{full.GetColor(kX2), full.GetColor(kX3)}),
            (std::vector<IColor>{COLOR_WHITE, COLOR_GRAY}));
  const IVColorSpec none{};
  EXPECT_EQ((std::vector<IColor>{none.GetColor(kFG), none.GetColor(kX2)}),
            (std::vector<IColor>{DEFAULT_FGCOLOR, DEFAULT_X2COLOR}));
  // The list form is usable where constants are made.
  constexpr IVColorSpec kConst{COLOR_RED};
  static_assert(kConst.GetColor(kX3) == IColor(255, 0, 0, 0));
}

TEST(IPopupMenu, SubMenusTakeTheParentsFunctionAndDieWithIt)
{
  // A shared token held by the completion functions tells how many copies are alive.
  auto token = std::make_shared<int>(0);
  {
    auto* parent = new IPopupMenu("p");
    parent->SetFunction([token](IPopupMenu*) { ++*token; });
    auto* sub = new IPopupMenu("s");
    auto* deeper = new IPopupMenu("d");
    sub->AddSubMenuItem("deeper", deeper); // neither has a function: deeper still has none
    EXPECT_FALSE(deeper->GetFunction());
    parent->AddSubMenuItem("sub", sub);
    ASSERT_TRUE(sub->GetFunction());
    sub->ExecFunction();
    EXPECT_EQ(*token, 1);
    EXPECT_EQ(token.use_count(), 3);
    delete parent; // frees every level
  }
  EXPECT_EQ(token.use_count(), 1);
}

TEST(IPopupMenu, SubMenuKeepsItsOwnFunctionUnderAParentWithout)
{
  std::vector<std::string> ran;
  IPopupMenu parent("p");
  auto* sub = new IPopupMenu("s");
  sub->SetFunction([&ran](IPopupMenu* m) { ran.push_back(std::string("own ") + m->GetRootTitle()); });
  parent.AddSubMenuItem("sub", sub);
  ASSERT_TRUE(sub->GetFunction());
  sub->ExecFunction();
  EXPECT_EQ(ran, (std::vector<std::string>{"own s"}));

  // Once the parent has a function, a sub-menu added later answers through a copy of it instead.
  parent.SetFunction([&ran](IPopupMenu* m) { ran.push_back(std::string("parent ") + m->GetRootTitle()); });
  auto* later = new IPopupMenu("l");
  later->SetFunction([&ran](IPopupMenu*) { ran.push_back("lost"); });
  parent.AddSubMenuItem("later", later, 0);
  later->ExecFunction();
  EXPECT_EQ(ran, (std::vector<std::string>{"own s", "parent l"}));
}

TEST(IPopupMenu, BuiltFromTextsAndACompletionFunction)
{
  std::vector<int> chosen;
  IPopupMenu menu("Mode", {"Low", nullptr, "High"}, [&chosen](IPopupMenu* m) { chosen.push_back(m->GetChosenItemIdx()); });
  EXPECT_STREQ(menu.GetRootTitle(), "Mode");
  ASSERT_EQ(menu.NItems(), 3);
  const char* texts[] = {"Low", "", "High"};
  for (int i = 0; i < 3; ++i)
  {
    const IPopupMenu::Item* item = menu.GetItem(i);
    EXPECT_STREQ(item->GetText(), texts[i]);
    EXPECT_EQ((std::vector<int>{item->GetFlags(), item->GetTag(), item->GetSubmenu() != nullptr}),
              (std::vector<int>{0, -1, 0}));
  }
  EXPECT_EQ((std::vector<int>{menu.GetChosenItemIdx(), menu.GetPrefix(), menu.GetCanMultiCheck()}),
            (std::vector<int>{-1, 0, 0}));

  // The function is the menu's completion: a choice reaches it, and a sub-menu added later inherits it.
  menu.SetChosenItemIdx(2);
  menu.ExecFunction();
  auto* sub = new IPopupMenu("More");
  menu.AddSubMenuItem("More", sub);
  sub->SetChosenItemIdx(0);
  sub->ExecFunction();
  EXPECT_EQ(chosen, (std::vector<int>{2, 0}));
}

// ---------------------------------------------------------------------------------------------------------------
// Dirty-rectangle reduction
// ---------------------------------------------------------------------------------------------------------------

// Whether every integer cell (x, y)–(x+1, y+1) of r lies inside some rectangle of the list.
static bool Covers(const IRECTList& list, const IRECT& r)
{
  for (int y = static_cast<int>(r.T); y < static_cast<int>(r.B); ++y)
    for (int x = static_cast<int>(r.L); x < static_cast<int>(r.R); ++x)
    {
      bool covered = false;
      for (int i = 0; i < list.Size() && !covered; ++i)
        covered = list.Get(i).Contains(x + 0.5f, y + 0.5f);
      if (!covered) return false;
    }
  return true;
}

TEST(IRECTList, OptimizedListCoversEveryOriginalRectangle)
{
  // Many random sets on a small grid, so that overlaps, shared edges and containment are frequent (a band through
  // the middle of a rectangle, or a rectangle inside another's edge, used to lose area).
  uint32_t seed = 12345;
  const auto next = [&seed](int n)
  {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  for (int round = 0; round < 3000; ++round)
  {
    std::vector<IRECT> set;
    const int n = 1 + next(8);
    for (int i = 0; i < n; ++i)
    {
      const int l = next(20), t = next(20);
      set.push_back(IRECT(float(l), float(t), float(l + 1 + next(12)), float(t + 1 + next(12))));
    }
    IRECTList list;
    for (const IRECT& r : set)
      list.Add(r);
    list.Optimize();
    for (const IRECT& r : set)
      ASSERT_TRUE(Covers(list, r)) << "round " << round;
    // Nothing is drawn outside the original area either.
    for (int i = 0; i < list.Size(); ++i)
    {
      bool inside = false;
      for (const IRECT& r : set)
        inside = inside || r.Intersects(list.Get(i));
      EXPECT_TRUE(inside) << "round " << round;
    }
  }
}

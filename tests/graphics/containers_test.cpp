// The growable containers' exact allocation rules, pointer lists and their ownership, strings cut to a length,
// and the popup-menu record: item placement by index, numbered titles, checks and reuse.

#include "graphics/IPopupMenu.h"
#include "graphics/Util.h"

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>
#include <string>
#include <vector>

using namespace plugin::igraphics;

TEST(HeapBuf, GrowsByGranularityAndShrinksReluctantly)
{
  // Page granularity: ((100 + 96 + 4096) rounded down to 4096) − 96; then ((5000 + 96 + 4096) → 8192) − 96.
  Util_HeapBuf page(4096);
  ASSERT_NE(page.Resize(100), nullptr);
  EXPECT_EQ(page.GetAllocated(), 4000);
  page.Resize(5000);
  EXPECT_EQ(page.GetAllocated(), 8096);

  // String granularity: 10 + max(10 / 2, 128); shrinking to 5 keeps it (threshold 1, as 138 − 4 × 128 < 0).
  Util_HeapBuf small(128);
  small.Resize(10);
  EXPECT_EQ(small.GetAllocated(), 138);
  small.Resize(5);
  EXPECT_EQ((std::vector<int>{small.GetAllocated(), small.GetSize()}), (std::vector<int>{138, 5}));
  // Down to nothing: the storage goes.
  EXPECT_EQ(small.Resize(0), nullptr);
  EXPECT_EQ(small.Get(), nullptr);
  EXPECT_EQ(small.GetAllocated(), 0);
  EXPECT_EQ(small.Resize(-3), nullptr);

  // Far below the allocation it shrinks, keeping the contents; just below half it does not reallocate.
  auto* p = static_cast<unsigned char*>(small.Resize(10000));
  std::iota(p, p + 10000, static_cast<unsigned char>(0));
  const int alloc = small.GetAllocated(); // 10000 + 5000
  EXPECT_EQ(alloc, 15000);
  small.Resize(7600); // above the threshold min(15000 − 512, 7500)
  EXPECT_EQ(small.GetAllocated(), alloc);
  small.Resize(100);
  EXPECT_LT(small.GetAllocated(), alloc);
  p = static_cast<unsigned char*>(small.Get());
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(p[i], static_cast<unsigned char>(i));
  Util_HeapBuf copy(small);
  EXPECT_EQ(copy.GetSize(), 100);
  EXPECT_EQ(std::memcmp(copy.Get(), small.Get(), 100), 0);
}

TEST(TypedBuf, AddsResizesAndDeletesWholeElements)
{
  Util_TypedBuf<int> buf;
  for (int i = 0; i < 1000; ++i)
    ASSERT_NE(buf.Add(i * 3), nullptr);
  EXPECT_EQ(buf.GetSize(), 1000);
  buf.Delete(0);
  buf.Delete(5000); // outside: ignored
  EXPECT_EQ((std::vector<int>{buf.GetSize(), buf.Get()[0], buf.Get()[998]}), (std::vector<int>{999, 3, 2997}));
  EXPECT_EQ(buf.Resize(10), buf.Get());
  EXPECT_EQ((std::vector<int>{buf.GetSize(), buf.Get()[9]}), (std::vector<int>{10, 30}));
  EXPECT_EQ(buf.Resize(0), nullptr);
  EXPECT_EQ(buf.Resize(-1), nullptr);
  EXPECT_EQ(buf.Resize(0x7fffffff), nullptr) << "more bytes than a size can count";
  EXPECT_EQ(buf.GetSize(), 0);
}

TEST(PtrList, AddInsertDeleteAndOwnership)
{
  static int deleted = 0;
  static std::string order;
  struct Item
  {
    int v;
    ~Item() { ++deleted; }
  };
  Util_PtrList<Item> list;
  list.Add(new Item{1});
  list.Add(new Item{3});
  list.Insert(1, new Item{2});
  list.Insert(-5, new Item{0});
  list.Add(nullptr);
  ASSERT_EQ(list.GetSize(), 5);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(list.Get(i)->v, i);
  EXPECT_EQ(list.Get(5), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  list.Delete(4, true); // a null entry is skipped
  Item* keep = list.Get(0);
  list.Delete(0, false);
  EXPECT_EQ(deleted, 0);
  list.Delete(0, true);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(list.Get(0)->v, 2);
  list.Empty(true);
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(list.GetSize(), 0);
  delete keep;

  // A delete function sees the entries from the last to the first.
  list.Add(new Item{1});
  list.Add(new Item{2});
  list.Empty(true, [](void* p) { order += std::to_string(static_cast<Item*>(p)->v), delete static_cast<Item*>(p); });
  EXPECT_EQ(order, "21");
}

TEST(String, SetAndAppendAtMostALength)
{
  Util_String s;
  s.Set("ab", 1);
  EXPECT_STREQ(s.Get(), "a");
  s.Append("cdef", 2);
  EXPECT_STREQ(s.Get(), "acd");
  s.Append("xyz", 0);
  s.Append(nullptr, 3);
  s.Append(nullptr);
  EXPECT_STREQ(s.Get(), "acd");
  s.Append(s.Get(), 2); // a part of itself
  EXPECT_STREQ(s.Get(), "acdac");
  s.Append("z", 100); // a limit beyond the text
  EXPECT_STREQ(s.Get(), "acdacz");
  s.SetLen(2);
  EXPECT_STREQ(s.Get(), "ac");
  s.SetLen(0);
  EXPECT_STREQ(s.Get(), "");
  s.Set("kept");
  s.Set(nullptr);
  EXPECT_STREQ(s.Get(), "");
}

TEST(Mutex, IsRecursiveForItsOwnThread)
{
  Util_Mutex m;
  m.Enter();
  m.Enter();
  EXPECT_TRUE(m.TryEnter()) << "the holder may lock again";
  m.Leave();
  m.Leave();
  m.Leave();
  {
    std::lock_guard<Util_Mutex> guard(m);
    Util_MutexLock inner(m);
    EXPECT_TRUE(m.TryEnter());
    m.Leave();
  }
  EXPECT_TRUE(m.TryEnter()) << "every lock above was given back";
  m.Leave();
}

namespace
{

std::vector<std::string> Texts(const IPopupMenu& m)
{
  std::vector<std::string> out;
  for (int i = 0; i < m.NItems(); ++i)
    out.push_back(m.GetItemText(i));
  return out;
}

} // namespace

TEST(IPopupMenu, PlacesItemsByIndexRule)
{
  struct Case
  {
    std::vector<std::pair<const char*, int>> adds;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{{"b", -2}, {"A", -2}, {"c", -2}}, {"A", "b", "c"}},                 // sorted, without regard to case
      {{{"m", -2}, {"m", -2}, {"", -2}}, {"", "m", "m"}},                   // equal texts; empty sorts first
      {{{"a", -1}, {"b", -1}, {"c", -1}, {"d", 10}}, {"a", "b", "c", "d"}}, // beyond the end: appended
      {{{"a", -1}, {"b", -1}, {"z", 1}, {"y", -7}}, {"y", "a", "z", "b"}},  // inside, and negative: at the front
  };
  for (const Case& c : cases)
  {
    IPopupMenu menu;
    for (const auto& [text, index] : c.adds)
      menu.AddItem(text, index);
    EXPECT_EQ(Texts(menu), c.expected);
  }
  // A ready item placed the same way; none is refused.
  IPopupMenu menu("", 0, false, {"a", "c"});
  EXPECT_NE(menu.InsertItem(new IPopupMenu::Item("b"), 1), nullptr);
  EXPECT_EQ(menu.InsertItem(nullptr), nullptr);
  EXPECT_EQ(Texts(menu), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(IPopupMenu, NumberedTitlesChecksAndReset)
{
  IPopupMenu m("", 2);
  for (const char* t : {"a", "b", "c", "d"})
    m.AddItem(t);
  Util_String title;
  m.GetItemTitle(3, title);
  EXPECT_STREQ(title.Get(), "04: d");
  for (auto [prefix, expected] : {std::pair{0, "a"}, {1, "1: a"}, {3, "001: a"}, {7, "a"}})
  {
    m.SetPrefix(prefix);
    m.GetItemTitle(0, title);
    EXPECT_STREQ(title.Get(), expected) << "prefix " << prefix;
  }
  m.GetItemTitle(9, title);
  EXPECT_STREQ(title.Get(), "") << "no such item";

  m.CheckItem(1, true);
  m.CheckItem(2, true);
  EXPECT_EQ((std::vector<bool>{m.IsItemChecked(0), m.IsItemChecked(1), m.IsItemChecked(2), m.IsItemChecked(9)}),
            (std::vector<bool>{false, true, true, false}));
  m.CheckItemAlone(3);
  EXPECT_EQ((std::vector<bool>{m.IsItemChecked(1), m.IsItemChecked(2), m.IsItemChecked(3)}),
            (std::vector<bool>{false, false, true}));

  // Reuse: numbering, multi-check, choice and items go; the title stays.
  m.SetChosenItemIdx(1);
  m.SetMultiCheck(true);
  m.SetRootTitle("T");
  m.Reset();
  EXPECT_EQ((std::vector<int>{m.NItems(), m.GetPrefix(), m.GetChosenItemIdx(), m.GetCanMultiCheck()}),
            (std::vector<int>{0, 0, -1, 0}));
  EXPECT_STREQ(m.GetRootTitle(), "T");
}

#include "graphics/Util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <numeric>
#include <string>

TEST(HeapBuf, GrowsByGranularityShrinksReluctantlyKeepsContentsAndTypedArrays)
{
  Util_HeapBuf page(4096);
  ASSERT_NE(page.Resize(100), nullptr);
  EXPECT_EQ(page.GetAllocated(), 4000); // page-sized block less 96 bytes
  page.Resize(5000);
  EXPECT_EQ(page.GetAllocated(), 8096);
  Util_HeapBuf small(128);
  small.Resize(10);
  EXPECT_EQ(small.GetAllocated(), 138);
  small.Resize(5); // threshold is 1: keeps the allocation
  EXPECT_EQ(small.GetAllocated(), 138);
  EXPECT_EQ(small.GetSize(), 5);
  EXPECT_EQ(small.Resize(0), nullptr);
  EXPECT_EQ(small.Get(), nullptr);
  EXPECT_EQ(small.GetAllocated(), 0);
  EXPECT_EQ(small.Resize(-3), nullptr);
  auto* p = static_cast<unsigned char*>(small.Resize(10000));
  std::iota(p, p + 10000, static_cast<unsigned char>(0));
  const int alloc = small.GetAllocated();
  small.Resize(9000); // above alloc/2: no reallocation
  EXPECT_EQ(small.GetAllocated(), alloc);
  small.Resize(100); // far below: shrinks
  EXPECT_LT(small.GetAllocated(), alloc);
  p = static_cast<unsigned char*>(small.Get());
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(p[i], static_cast<unsigned char>(i));
  Util_HeapBuf copy(small);
  EXPECT_EQ(copy.GetSize(), 100);
  EXPECT_EQ(std::memcmp(copy.Get(), small.Get(), 100), 0);

  // The typed array on top of it.
  Util_TypedBuf<double> buf;
  for (int i = 0; i < 1000; ++i)
    ASSERT_NE(buf.Add(i * 0.5), nullptr);
  EXPECT_EQ(buf.GetSize(), 1000);
  EXPECT_DOUBLE_EQ(buf.Get()[999], 499.5);
  buf.Delete(0);
  EXPECT_DOUBLE_EQ(buf.Get()[0], 0.5);
  EXPECT_EQ(buf.Resize(10), buf.Get());
  EXPECT_EQ(buf.GetSize(), 10);
  EXPECT_EQ(buf.Resize(0), nullptr);
}

TEST(PtrList, AddInsertDeleteAndOwnership)
{
  static int deleted = 0;
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

  // A custom delete function sees entries from last to first.
  static std::string order;
  list.Add(new Item{1});
  list.Add(new Item{2});
  list.Empty(true, [](void* p) { order += std::to_string(static_cast<Item*>(p)->v), delete static_cast<Item*>(p); });
  EXPECT_EQ(order, "21");
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
  s.Set(nullptr);
  EXPECT_STREQ(s.Get(), "");
  s.Set(std::string(5000, 'x').c_str());
  s.Append(s.Get() + 4990);
  EXPECT_EQ(s.GetLength(), 5010);
  s.Set("ab", 1);
  EXPECT_STREQ(s.Get(), "a");
  s.SetLen(0);
  EXPECT_STREQ(s.Get(), "");
  s.SetFormatted(5, "%d-%s", 12345, "abc");
  EXPECT_STREQ(s.Get(), "12345");
  s.SetFormatted(64, "%.2f", 1.5);
  s.AppendFormatted(3, "%s", "xyz123");
  EXPECT_STREQ(s.Get(), "1.50xyz");
  s.AppendFormatted(0, "%s", "zzz");
  EXPECT_STREQ(s.Get(), "1.50xyz");
  Util_String empty;
  empty.AppendFormatted(10, "%d", 7);
  EXPECT_STREQ(empty.Get(), "7");
}

TEST(Mutex, IsRecursiveAndExcludesOtherThreads)
{
  Util_Mutex m;
  auto other = [&] { return std::async(std::launch::async, [&] { return m.TryEnter() && (m.Leave(), true); }).get(); };
  m.Enter();
  m.Enter();
  EXPECT_FALSE(other());
  m.Leave();
  m.Leave();
  EXPECT_TRUE(other());
}

#include "graphics/Util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <numeric>
#include <string>

TEST(HeapBuf, KeepsContentsAcrossGrowthAndShrinkAndRefusesBadSizes)
{
  Util_HeapBuf small(128);
  EXPECT_EQ(small.Resize(0), nullptr);
  EXPECT_EQ(small.Resize(-3), nullptr);
  auto* p = static_cast<unsigned char*>(small.Resize(10000));
  std::iota(p, p + 10000, static_cast<unsigned char>(0));
  const int alloc = small.GetAllocated();
  small.Resize(100); // far below: shrinks
  EXPECT_LT(small.GetAllocated(), alloc);
  p = static_cast<unsigned char*>(small.Get());
  for (int i = 0; i < 100; ++i)
    ASSERT_EQ(p[i], static_cast<unsigned char>(i));
  Util_HeapBuf copy(small);
  EXPECT_EQ(std::memcmp(copy.Get(), small.Get(), 100), 0);

  Util_TypedBuf<double> buf;
  for (int i = 0; i < 1000; ++i)
    ASSERT_NE(buf.Add(i * 0.5), nullptr);
  buf.Delete(0);
  EXPECT_DOUBLE_EQ(buf.Get()[998], 499.5);
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
  s.Append(s.Get() + 4990);
  EXPECT_EQ(s.GetLength(), 5010);
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

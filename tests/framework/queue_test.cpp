#include "framework/PluginQueue.h"

#include <gtest/gtest.h>

using plugin::PluginQueue;

TEST(PluginQueue, KeepsOneSlotFreeAndWrapsAround)
{
  int v = -1;
  PluginQueue<int> small(5);
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(small.Push(i));
  EXPECT_FALSE(small.Push(99)); // dropped: one slot stays free
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(small.Pop(v));
  ASSERT_TRUE(small.Push(4));
  ASSERT_TRUE(small.Push(5));
  EXPECT_EQ(small.GetWriteIndex(), 1u);
  EXPECT_EQ(small.GetReadIndex(), 3u);
  EXPECT_EQ(small.ElementsAvailable(), 3u); // 1 - 3 + 5
  for (int expect : {3, 4, 5})
    ASSERT_TRUE(small.Pop(v) && v == expect) << expect;
}

#include "framework/PluginQueue.h"

#include <gtest/gtest.h>

using plugin::PluginQueue;

TEST(PluginQueue, KeepsOneSlotFreeAndWrapsAround)
{
  PluginQueue<int> q(33);
  for (int i = 0; i < 32; ++i)
    ASSERT_TRUE(q.Push(i));
  EXPECT_FALSE(q.Push(32)); // dropped
  EXPECT_EQ(q.ElementsAvailable(), 32u);
  int v = -1;
  for (int i = 0; i < 32; ++i)
    ASSERT_TRUE(q.Pop(v) && v == i) << i;
  EXPECT_FALSE(q.Pop(v));
  EXPECT_EQ(q.ElementsAvailable(), 0u);
  PluginQueue<int> small(5);
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(small.Push(i));
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

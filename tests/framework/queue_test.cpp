#include "framework/IPluginQueue.h"

#include <gtest/gtest.h>

using plugin::IPluginQueue;

TEST(PluginQueue, KeepsOneSlotFree)
{
  IPluginQueue<int> q(33);
  for (int i = 0; i < 32; ++i) ASSERT_TRUE(q.Push(i));
  EXPECT_FALSE(q.Push(32)); // dropped
  EXPECT_EQ(q.ElementsAvailable(), 32u);
  int v = -1;
  for (int i = 0; i < 32; ++i)
  {
    ASSERT_TRUE(q.Pop(v));
    EXPECT_EQ(v, i);
  }
  EXPECT_FALSE(q.Pop(v));
  EXPECT_EQ(q.ElementsAvailable(), 0u);
}

TEST(PluginQueue, IndicesWrapAround)
{
  IPluginQueue<int> q(5);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(q.Push(i));
  int v;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(q.Pop(v));
  ASSERT_TRUE(q.Push(4));
  ASSERT_TRUE(q.Push(5));
  EXPECT_EQ(q.GetWriteIndex(), 1u);
  EXPECT_EQ(q.GetReadIndex(), 3u);
  EXPECT_EQ(q.ElementsAvailable(), 3u); // 1 - 3 + 5
  for (int expect : {3, 4, 5})
  {
    ASSERT_TRUE(q.Pop(v));
    EXPECT_EQ(v, expect);
  }
}

#include "graphics/Util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>

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

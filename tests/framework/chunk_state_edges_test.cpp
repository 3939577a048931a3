// The byte chunk's empty state and its version header, and the edges of the parameter state: bytes after it,
// a plug-in without parameters, and comparisons that cannot hold the whole state.

#include "framework/IByteChunk.h"
#include "framework/PluginBase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace plugin;

namespace
{

class EdgePlug : public PluginBase
{
public:
  explicit EdgePlug(int nParams) : PluginBase(nParams, 1)
  {
    for (int i = 0; i < nParams; ++i)
      GetParam(i)->InitDouble("P", 1.0 + i, 0.0, 10.0, 0.0);
  }
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
};

IByteChunk ChunkOf(const std::vector<uint8_t>& bytes)
{
  IByteChunk c;
  c.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return c;
}

} // namespace

TEST(ChunkEdges, EmptyClearedAndVersionHeader)
{
  IByteChunk c;
  EXPECT_EQ(c.GetData(), nullptr);
  c.Put(int32_t(3));
  c.Clear();
  EXPECT_EQ(std::make_pair(c.Size(), c.GetData()), std::make_pair(0, static_cast<uint8_t*>(nullptr)));

  // "tffp", then 0x00010000 in host byte order; skipped only where those four letters stand.
  EXPECT_EQ(c.InitChunkWithVersion(), 8);
  const uint8_t header[] = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(c.GetData(), header, 8), 0);
  EXPECT_EQ(std::make_pair(c.SkipVersionHeader(0), c.SkipVersionHeader(-1)), std::make_pair(8, -1));
  EXPECT_EQ(ChunkOf({'x', 'f', 'f', 'p', 0, 0, 1, 0}).SkipVersionHeader(0), 0);
  EXPECT_EQ(ChunkOf({'t', 'f', 'f', 'p'}).SkipVersionHeader(0), 0);

  // A text whose length is negative, or whose length field is cut short, is not read.
  Util_String s("keep");
  EXPECT_EQ(ChunkOf({0xff, 0xff, 0xff, 0xff, 'a', 'b'}).GetStr(s, 0), -1);
  EXPECT_EQ(ChunkOf({0x01, 0x00, 0x00}).GetStr(s, 0), -1);
  EXPECT_STREQ(s.Get(), "keep");
}

TEST(ChunkEdges, ParameterStateEdges)
{
  // Bytes after the state are left for the next reader: the position after the last value comes back.
  EdgePlug plug(3);
  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  chunk.Put(int32_t(77));
  EdgePlug other(3);
  EXPECT_EQ(std::make_pair(other.UnserializeParams(chunk, 0), chunk.Size()), std::make_pair(24, 28));

  // Without parameters nothing is written, and any data compares equal.
  EdgePlug none(0);
  IByteChunk nothing;
  EXPECT_TRUE(none.SerializeParams(nothing));
  EXPECT_EQ(nothing.Size(), 0);
  EXPECT_TRUE(none.CompareState(nullptr, 0, 0));

  // With parameters, no data or a negative start never compares equal.
  EXPECT_TRUE(plug.CompareState(chunk.GetData(), chunk.Size(), 0));
  EXPECT_FALSE(plug.CompareState(chunk.GetData(), chunk.Size(), -1));
  EXPECT_FALSE(plug.CompareState(nullptr, 0, 0));
}

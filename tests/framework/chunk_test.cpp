// IByteChunk, the framework's parameter state, state comparison, identity strings and the parameter-list
// operations of PluginBase.

#include "framework/IByteChunk.h"
#include "framework/PluginBase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;

namespace
{

// A plug-in base with the product's identity and 46 parameters, recording the change notifications.
class StatePlug : public PluginBase
{
public:
  explicit StatePlug(int nParams = 46, int api = kAPIAU) : PluginBase(nParams, 1)
  {
    mVersion = PackVersion(2, 2, 11);
    mUniqueID = static_cast<int>(MakeFourCC('Q', 'N', '5', '5'));
    mPluginName.Set("ZANIQ");
    mAPI = api;
    // Parameter 0: 0..100; parameter 1: 1..10 (range above zero); parameter 2: stepped 0..5; the rest 0..1000.
    if (nParams > 0) GetParam(0)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.0);
    if (nParams > 1) GetParam(1)->InitDouble("Ratio", 4.0, 1.0, 10.0, 0.0);
    if (nParams > 2) GetParam(2)->InitInt("Mode", 1, 0, 5);
    for (int i = 3; i < nParams; ++i)
      GetParam(i)->InitDouble("P", i, 0.0, 1000.0, 0.0);
  }
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
  void OnParamChange(int idx, EParamSource source, int offset) override { changes.push_back({idx, source, offset}); }
  void OnParamChangeUI(int idx, EParamSource source) override { uiChanges.push_back({idx, source, 0}); }
  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i)
      v.push_back(GetParam(i)->Value());
    return v;
  }
  struct Change
  {
    int idx;
    EParamSource source;
    int offset;
  };
  std::vector<Change> changes, uiChanges;
};

// Little-endian f64 bytes, written by hand so the test does not lean on the chunk under test.
std::vector<uint8_t> Doubles(const std::vector<double>& values)
{
  std::vector<uint8_t> out;
  for (double v : values)
  {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
      out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  return out;
}

IByteChunk ChunkOf(const std::vector<uint8_t>& bytes)
{
  IByteChunk c;
  c.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return c;
}

} // namespace

// ---- IByteChunk ----

TEST(ByteChunk, AppendsInHostOrderAndReadsBackByPosition)
{
  IByteChunk c;
  // Each put returns the new size (braces: in order).
  EXPECT_EQ((std::vector{c.Put(int32_t(0x01020304)), c.PutBool(true), c.PutStr("abc"), c.Put(2.5), c.PutStr(nullptr)}),
            (std::vector{4, 5, 12, 20, 24}));
  const uint8_t expectHead[] = {0x04, 0x03, 0x02, 0x01, 0x01, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c'};
  ASSERT_NE(c.GetData(), nullptr);
  EXPECT_EQ(std::memcmp(c.GetData(), expectHead, sizeof(expectHead)), 0);
  int32_t i = 0;
  bool b = false;
  Util_String s, empty("x");
  double d = 0.0;
  EXPECT_EQ(c.GetStr(empty, c.Get(d, c.GetStr(s, c.GetBool(b, c.Get(i, 0))))), 24);
  EXPECT_EQ(std::make_tuple(i, b, std::string(s.Get()), d, std::string(empty.Get())),
            std::make_tuple(0x01020304, true, "abc", 2.5, ""));

  // Appending a chunk to itself doubles it.
  EXPECT_EQ(c.PutChunk(c), 48);
  EXPECT_EQ(std::memcmp(c.GetData(), c.GetData() + 24, 24), 0);
}

TEST(ByteChunk, FailedReadsReturnMinusOneAndLeaveTheValue)
{
  IByteChunk c;
  c.Put(int32_t(7));
  c.Put(int16_t(9));
  double d = 1.25;
  EXPECT_EQ(std::pair(c.Get(d, 0), d), std::pair(-1, 1.25)); // 8 bytes wanted, 6 there
  int32_t v = 42;
  for (int pos : {-1, 3, INT_MAX, INT_MAX - 2}) // pos + size must not wrap in 32 bits
    EXPECT_EQ(c.Get(v, pos), -1) << pos;
  EXPECT_EQ(v, 42);

  // A failure propagates: every later read fails too.
  int16_t w = 0;
  EXPECT_EQ(c.Get(w, c.Get(d, 0)), -1);
  EXPECT_EQ(c.Get(w, 4), 6);
  EXPECT_EQ(w, 9);
}

TEST(ByteChunk, GetStrRefusesBadLengthsAndNeverMovesBackwards)
{
  Util_String s("keep");
  // Length 0: the empty text, position + 4.
  EXPECT_EQ(ChunkOf({0, 0, 0, 0, 'x'}).GetStr(s, 0), 4);
  EXPECT_STREQ(s.Get(), "");
  const std::vector<std::vector<uint8_t>> bad = {
      {0xf8, 0xff, 0xff, 0xff, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}, // -8: would step back over the length
      {0x00, 0x00, 0x00, 0x80},                                              // INT_MIN
      {0xff, 0xff, 0xff, 0x7f, 'a'},                                         // INT_MAX: the sum must not wrap
      {0x05, 0x00, 0x00, 0x00, 'a', 'b'},                                    // text cut short
  };
  for (size_t k = 0; k < bad.size(); ++k)
  {
    s.Set("keep");
    EXPECT_EQ(ChunkOf(bad[k]).GetStr(s, 0), -1) << "case " << k;
    EXPECT_STREQ(s.Get(), "keep") << "case " << k;
  }

  // A zero byte ends the text early; the position still moves past all n bytes.
  EXPECT_EQ(ChunkOf({0x04, 0, 0, 0, 'a', 'b', 0, 'c', 'z'}).GetStr(s, 0), 8);
  EXPECT_STREQ(s.Get(), "ab");
}

// ---- Parameter state ----

TEST(ParamState, FortySixParametersAre368BytesOfDoublesInIndexOrder)
{
  StatePlug plug;
  plug.GetParam(0)->Set(12.5);
  plug.GetParam(45)->Set(999.0);
  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  ASSERT_EQ(chunk.Size(), 368);
  EXPECT_EQ(std::memcmp(chunk.GetData(), Doubles(plug.Values()).data(), 368), 0);
  StatePlug other;
  EXPECT_EQ(other.UnserializeParams(chunk, 0), 368);
  EXPECT_EQ(other.Values(), plug.Values());
  // Every parameter is announced as a preset recall, each change before its editor twin.
  ASSERT_EQ(std::pair(other.changes.size(), other.uiChanges.size()), std::pair(size_t(46), size_t(46)));
  for (int i = 0; i < 46; ++i)
    EXPECT_EQ(
        std::make_tuple(other.changes[i].idx, other.changes[i].source, other.changes[i].offset, other.uiChanges[i].idx),
        std::make_tuple(i, kPresetRecall, -1, i));
}

TEST(ParamState, TruncatedStateSetsOnlyWhatWasReadInFull)
{
  StatePlug plug;
  std::vector<double> expect = plug.Values();
  expect[0] = 33.0; // parameter 1 is not dragged to its minimum by a value that is not there
  std::vector<uint8_t> bytes = Doubles({33.0});
  bytes.insert(bytes.end(), {1, 2, 3, 4}); // half of parameter 1
  const IByteChunk chunk = ChunkOf(bytes);
  // A negative start reads nothing; both still reset.
  for (int start : {0, -1})
  {
    plug.changes.clear();
    EXPECT_EQ(plug.UnserializeParams(chunk, start), -1);
    EXPECT_EQ(plug.Values(), expect);
    EXPECT_EQ(plug.changes.size(), 46u);
  }
}

TEST(ParamState, ValuesAreConstrainedAndNonFiniteOnesRefused)
{
  StatePlug plug(3);
  // Above the maximum of 100; refused; stepped to 3.
  EXPECT_EQ(plug.UnserializeParams(ChunkOf(Doubles({250.0, std::numeric_limits<double>::quiet_NaN(), 2.6})), 0), 24);
  EXPECT_EQ(plug.Values(), (std::vector<double>{100.0, 4.0, 3.0}));
}

TEST(ParamState, CompareStateNeedsTheWholeStateInsideTheData)
{
  StatePlug plug(4);
  IByteChunk chunk;
  chunk.Put(0.0); // one value in front: compare from value 1 on
  ASSERT_TRUE(plug.SerializeParams(chunk));
  const uint8_t* data = chunk.GetData();
  EXPECT_TRUE(plug.CompareState(data, chunk.Size(), 1));
  EXPECT_FALSE(plug.CompareState(data, chunk.Size(), 0));     // shifted by one value
  EXPECT_FALSE(plug.CompareState(data, chunk.Size() - 1, 1)); // one byte short
  EXPECT_FALSE(plug.CompareState(data, chunk.Size(), 2));     // runs past the end

  // Differences below 32-bit float precision count as equal; a real difference does not.
  const std::vector<double> v = plug.Values();
  const std::vector<uint8_t> near = Doubles({v[0], v[1], v[2], v[3] + 1e-12}), far = Doubles({v[0], v[1], v[2], 3.5});
  EXPECT_TRUE(plug.CompareState(near.data(), static_cast<int>(near.size()), 0));
  EXPECT_FALSE(plug.CompareState(far.data(), static_cast<int>(far.size()), 0));
}

// ---- Identity ----

TEST(Identity, VersionBuildAndApiStrings)
{
  StatePlug plug;
  EXPECT_EQ(std::pair(plug.GetPluginVersion(false), plug.GetPluginVersion(true)), std::pair(0x0002020B, 2310));
  Util_String info;
  plug.GetBuildInfoStr(info, "May 30 2025", "07:32:45");
  EXPECT_STREQ(info.Get(), "ZANIQ version v2.2.11 AU (x64), built on May 30 2025 at 07:32 ");
  EXPECT_STREQ(StatePlug(0, 8).GetAPIStr(), ""); // outside the table: empty
}

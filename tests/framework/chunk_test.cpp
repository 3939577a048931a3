// IByteChunk, the framework's parameter state, state comparison, identity strings and the parameter-list
// operations of IPluginBase.

#include "framework/IByteChunk.h"
#include "framework/IPluginBase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <regex>
#include <string>
#include <vector>

using namespace plugin;

namespace
{

// A plug-in base with the product's identity and 46 parameters, recording the change notifications.
class StatePlug : public IPluginBase
{
public:
  explicit StatePlug(int nParams = 46) : IPluginBase(nParams, 1)
  {
    mVersion = PackVersion(2, 2, 11);
    mUniqueID = static_cast<int>(MakeFourCC('Q', 'N', '5', '5'));
    mPluginName.Set("ZANIQ");
    mAPI = kAPIAU;
    // Parameter 0: 0..100; parameter 1: 1..10 (range above zero); parameter 2: stepped 0..5; the rest 0..1000.
    if (nParams > 0) GetParam(0)->InitDouble("Gain", 50.0, 0.0, 100.0, 0.0);
    if (nParams > 1) GetParam(1)->InitDouble("Ratio", 4.0, 1.0, 10.0, 0.0);
    if (nParams > 2) GetParam(2)->InitInt("Mode", 1, 0, 5);
    for (int i = 3; i < nParams; ++i)
      GetParam(i)->InitDouble("P", i, 0.0, 1000.0, 0.0);
  }

  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}

  struct Change
  {
    int idx;
    EParamSource source;
    int offset;
  };
  std::vector<Change> changes;
  std::vector<Change> uiChanges;
  void OnParamChange(int idx, EParamSource source, int offset) override { changes.push_back({idx, source, offset}); }
  void OnParamChangeUI(int idx, EParamSource source) override { uiChanges.push_back({idx, source, 0}); }

  std::vector<double> Values() const
  {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i)
      v.push_back(GetParam(i)->Value());
    return v;
  }
};

// Little-endian f64 bytes, written by hand so the test does not lean on the chunk under test.
void AppendDouble(std::vector<uint8_t>& out, double v)
{
  uint64_t bits = 0;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i)
    out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

IByteChunk ChunkOf(const std::vector<uint8_t>& bytes)
{
  IByteChunk c;
  c.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return c;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// IByteChunk
// ---------------------------------------------------------------------------------------------------------------

TEST(ByteChunk, AppendsInHostOrderAndReadsBackByPosition)
{
  IByteChunk c;
  EXPECT_EQ(c.Size(), 0);
  EXPECT_EQ(c.GetData(), nullptr);

  EXPECT_EQ(c.Put(int32_t(0x01020304)), 4);
  EXPECT_EQ(c.PutBool(true), 5);
  EXPECT_EQ(c.PutStr("abc"), 12);
  EXPECT_EQ(c.Put(2.5), 20);
  EXPECT_EQ(c.PutStr(nullptr), 24);

  const uint8_t expectHead[] = {0x04, 0x03, 0x02, 0x01, 0x01, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c'};
  ASSERT_NE(c.GetData(), nullptr);
  EXPECT_EQ(std::memcmp(c.GetData(), expectHead, sizeof(expectHead)), 0);

  int32_t i = 0;
  bool b = false;
  Util_String s;
  double d = 0.0;
  Util_String empty("x");
  int pos = c.Get(i, 0);
  pos = c.GetBool(b, pos);
  pos = c.GetStr(s, pos);
  pos = c.Get(d, pos);
  pos = c.GetStr(empty, pos);
  EXPECT_EQ(pos, 24);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_TRUE(b);
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_EQ(d, 2.5);
  EXPECT_STREQ(empty.Get(), "");

  // Appending a chunk to itself doubles it.
  EXPECT_EQ(c.PutChunk(c), 48);
  EXPECT_EQ(std::memcmp(c.GetData(), c.GetData() + 24, 24), 0);
  c.Clear();
  EXPECT_EQ(c.Size(), 0);
}

TEST(ByteChunk, FailedReadsReturnMinusOneAndLeaveTheValue)
{
  IByteChunk c;
  c.Put(int32_t(7));
  c.Put(int16_t(9));

  double d = 1.25;
  EXPECT_EQ(c.Get(d, 0), -1); // 8 bytes wanted, 6 there
  EXPECT_EQ(d, 1.25);

  int32_t v = 42;
  EXPECT_EQ(c.Get(v, -1), -1);
  EXPECT_EQ(c.Get(v, 3), -1);
  EXPECT_EQ(c.Get(v, INT_MAX), -1); // pos + size would wrap in 32 bits
  EXPECT_EQ(c.Get(v, INT_MAX - 2), -1);
  EXPECT_EQ(v, 42);

  // A failure propagates: every later read fails too.
  int16_t w = 0;
  EXPECT_EQ(c.Get(w, c.Get(d, 0)), -1);
  EXPECT_EQ(c.Get(w, 4), 6);
  EXPECT_EQ(w, 9);

  bool flag = true;
  EXPECT_EQ(c.GetBool(flag, 6), -1);
  EXPECT_TRUE(flag);
}

TEST(ByteChunk, GetStrRefusesBadLengthsAndNeverMovesBackwards)
{
  Util_String s("keep");

  // Length 0: the empty text, position + 4.
  IByteChunk zero = ChunkOf({0, 0, 0, 0, 'x'});
  EXPECT_EQ(zero.GetStr(s, 0), 4);
  EXPECT_STREQ(s.Get(), "");

  const std::vector<std::vector<uint8_t>> bad = {
      {0xff, 0xff, 0xff, 0xff, 'a', 'b'},                                    // -1
      {0xf8, 0xff, 0xff, 0xff, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}, // -8: would step back over the length
      {0x00, 0x00, 0x00, 0x80},                                              // INT_MIN
      {0xff, 0xff, 0xff, 0x7f, 'a'},                                         // INT_MAX: the sum must not wrap
      {0x05, 0x00, 0x00, 0x00, 'a', 'b'},                                    // text cut short
      {0x01, 0x00, 0x00},                                                    // length cut short
  };
  for (size_t k = 0; k < bad.size(); ++k)
  {
    s.Set("keep");
    IByteChunk c = ChunkOf(bad[k]);
    EXPECT_EQ(c.GetStr(s, 0), -1) << "case " << k;
    EXPECT_STREQ(s.Get(), "keep") << "case " << k;
  }

  // A zero byte ends the text early; the position still moves past all n bytes.
  IByteChunk embedded = ChunkOf({0x04, 0, 0, 0, 'a', 'b', 0, 'c', 'z'});
  EXPECT_EQ(embedded.GetStr(s, 0), 8);
  EXPECT_STREQ(s.Get(), "ab");
}

TEST(ByteChunk, VersionHeaderIsWrittenAndSkipped)
{
  IByteChunk c;
  EXPECT_EQ(c.InitChunkWithVersion(), 8);
  const uint8_t header[] = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(c.GetData(), header, 8), 0);
  EXPECT_EQ(c.SkipVersionHeader(0), 8);
  EXPECT_EQ(c.SkipVersionHeader(1), 1);
  EXPECT_EQ(c.SkipVersionHeader(-1), -1);

  IByteChunk other = ChunkOf({'x', 'f', 'f', 'p', 0, 0, 1, 0});
  EXPECT_EQ(other.SkipVersionHeader(0), 0);
  IByteChunk cut = ChunkOf({'t', 'f', 'f', 'p'});
  EXPECT_EQ(cut.SkipVersionHeader(0), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Parameter state
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamState, FortySixParametersAre368BytesOfDoublesInIndexOrder)
{
  StatePlug plug;
  plug.GetParam(0)->Set(12.5);
  plug.GetParam(45)->Set(999.0);

  IByteChunk chunk;
  ASSERT_TRUE(plug.SerializeParams(chunk));
  ASSERT_EQ(chunk.Size(), 368);

  std::vector<uint8_t> expect;
  for (int i = 0; i < 46; ++i)
    AppendDouble(expect, plug.GetParam(i)->Value());
  EXPECT_EQ(std::memcmp(chunk.GetData(), expect.data(), 368), 0);

  StatePlug other;
  EXPECT_EQ(other.UnserializeParams(chunk, 0), 368);
  EXPECT_EQ(other.Values(), plug.Values());

  // Every parameter is announced as a preset recall, each change before its editor twin.
  ASSERT_EQ(other.changes.size(), 46u);
  ASSERT_EQ(other.uiChanges.size(), 46u);
  for (int i = 0; i < 46; ++i)
  {
    EXPECT_EQ(other.changes[i].idx, i);
    EXPECT_EQ(other.changes[i].source, kPresetRecall);
    EXPECT_EQ(other.changes[i].offset, -1);
    EXPECT_EQ(other.uiChanges[i].idx, i);
  }

  // Bytes after the state are left for the next reader.
  chunk.Put(int32_t(77));
  EXPECT_EQ(other.UnserializeParams(chunk, 0), 368);

  // No parameters: nothing written, success.
  StatePlug none(0);
  IByteChunk nothing;
  EXPECT_TRUE(none.SerializeParams(nothing));
  EXPECT_EQ(nothing.Size(), 0);
}

TEST(ParamState, TruncatedStateSetsOnlyWhatWasReadInFull)
{
  StatePlug plug;
  const std::vector<double> before = plug.Values();

  std::vector<uint8_t> bytes;
  AppendDouble(bytes, 33.0);
  bytes.insert(bytes.end(), {1, 2, 3, 4}); // half of parameter 1
  IByteChunk chunk = ChunkOf(bytes);
  ASSERT_EQ(chunk.Size(), 12);

  EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
  std::vector<double> after = plug.Values();
  EXPECT_EQ(after[0], 33.0);
  EXPECT_EQ(after[1], before[1]); // not dragged to its minimum by a value that is not there
  for (int i = 2; i < 46; ++i)
    EXPECT_EQ(after[i], before[i]) << i;
  EXPECT_EQ(plug.changes.size(), 46u); // the reset still runs

  // A negative start reads nothing but still resets.
  plug.changes.clear();
  EXPECT_EQ(plug.UnserializeParams(chunk, -1), -1);
  EXPECT_EQ(plug.Values(), after);
  EXPECT_EQ(plug.changes.size(), 46u);
}

TEST(ParamState, ValuesAreConstrainedAndNonFiniteOnesRefused)
{
  StatePlug plug(3);
  std::vector<uint8_t> bytes;
  AppendDouble(bytes, 250.0);                                    // above the maximum of 100
  AppendDouble(bytes, std::numeric_limits<double>::quiet_NaN()); // refused
  AppendDouble(bytes, 2.6);                                      // stepped: 3
  IByteChunk chunk = ChunkOf(bytes);
  EXPECT_EQ(plug.UnserializeParams(chunk, 0), 24);
  EXPECT_EQ(plug.GetParam(0)->Value(), 100.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 4.0);
  EXPECT_EQ(plug.GetParam(2)->Value(), 3.0);
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
  EXPECT_FALSE(plug.CompareState(data, chunk.Size(), -1));
  EXPECT_FALSE(plug.CompareState(nullptr, 0, 0));

  // Differences below 32-bit float precision count as equal; a real difference does not.
  std::vector<uint8_t> near;
  for (int i = 0; i < 4; ++i)
    AppendDouble(near, plug.GetParam(i)->Value() + (i == 3 ? 1e-12 : 0.0));
  EXPECT_TRUE(plug.CompareState(near.data(), static_cast<int>(near.size()), 0));
  std::vector<uint8_t> far;
  for (int i = 0; i < 4; ++i)
    AppendDouble(far, plug.GetParam(i)->Value() + (i == 3 ? 0.5 : 0.0));
  EXPECT_FALSE(plug.CompareState(far.data(), static_cast<int>(far.size()), 0));

  StatePlug none(0);
  EXPECT_TRUE(none.CompareState(nullptr, 0, 0));
}

// ---------------------------------------------------------------------------------------------------------------
// Identity
// ---------------------------------------------------------------------------------------------------------------

TEST(Identity, VersionAndBuildStrings)
{
  StatePlug plug;
  EXPECT_EQ(plug.GetPluginVersion(false), 0x0002020B);
  EXPECT_EQ(plug.GetPluginVersion(true), 2310);
  Util_String version;
  plug.GetPluginVersionStr(version);
  EXPECT_STREQ(version.Get(), "v2.2.11");
  EXPECT_STREQ(plug.GetAPIStr(), "AU");
  EXPECT_STREQ(plug.GetArchStr(), "x64");
  EXPECT_EQ(plug.GetHostVersion(true), 0);
  EXPECT_EQ(plug.GetHost(), -1);

  Util_String info;
  plug.GetBuildInfoStr(info, "May 30 2025", "07:32:45");
  EXPECT_STREQ(info.Get(), "ZANIQ version v2.2.11 AU (x64), built on May 30 2025 at 07:32 ");

  // This build's own line has the compiler's date and hh:mm in the same places.
  plug.GetBuildInfoStr(info);
  EXPECT_TRUE(std::regex_match(info.Get(), std::regex(R"(ZANIQ version v2\.2\.11 AU \(x64\), built on )"
                                                      R"([A-Z][a-z]{2} [ 0-9]\d \d{4} at \d\d:\d\d )")))
      << info.Get();
}

TEST(Identity, ApiIndexOutsideTheTableGivesTheEmptyText)
{
  struct ApiPlug : StatePlug
  {
    explicit ApiPlug(int api) : StatePlug(0) { mAPI = api; }
  };
  EXPECT_STREQ(ApiPlug(0).GetAPIStr(), "VST2");
  EXPECT_STREQ(ApiPlug(7).GetAPIStr(), "WEB");
  EXPECT_STREQ(ApiPlug(8).GetAPIStr(), "");
  EXPECT_STREQ(ApiPlug(-1).GetAPIStr(), "");
}

// ---------------------------------------------------------------------------------------------------------------
// Operations over the parameter list
// ---------------------------------------------------------------------------------------------------------------

TEST(ParamListOps, InitCloneCopyAndVisit)
{
  StatePlug plug(20);
  plug.InitParamRange(16, 18, 1, "Snapshot %d", 0.0, 0.0, 10.0, 0.0);
  EXPECT_STREQ(plug.GetParam(16)->GetName(), "Snapshot 1");
  EXPECT_STREQ(plug.GetParam(18)->GetName(), "Snapshot 3");

  // Long formatted names are cut to the 31 characters of the field.
  plug.InitParamRange(19, 25, 1, "A very long parameter name number %d", 0.0, 0.0, 1.0, 0.0);
  EXPECT_EQ(std::strlen(plug.GetParam(19)->GetName()), 31u);

  plug.GetParam(3)->InitDouble("Gain 1", 2.0, 0.0, 10.0, 0.0, "dB", 0, "left");
  plug.GetParam(4)->InitDouble("Gain 2", 3.0, 0.0, 10.0, 0.0, "dB", 0, "left");
  plug.CloneParamRange(3, 4, 5, "Gain", "Drive", "right");
  EXPECT_STREQ(plug.GetParam(5)->GetName(), "Drive 1");
  EXPECT_STREQ(plug.GetParam(6)->GetGroup(), "right");
  EXPECT_EQ(plug.GetParam(6)->Value(), 3.0);
  plug.CloneParamRange(18, 19, 19, "x", "y"); // the second target lies outside the list: skipped

  // By group: the i-th of "left" to the i-th of "right".
  plug.GetParam(3)->Set(7.0);
  plug.GetParam(4)->Set(8.0);
  plug.CopyParamValues("left", "right");
  EXPECT_EQ(plug.GetParam(5)->Value(), 7.0);
  EXPECT_EQ(plug.GetParam(6)->Value(), 8.0);
  // A longer first group copies only as many as the second has.
  plug.GetParam(7)->InitDouble("Odd", 1.0, 0.0, 10.0, 0.0, "", 0, "left");
  plug.CopyParamValues("left", "right");

  // By index, with the tail outside the list skipped.
  plug.CopyParamValues(3, 18, 5);
  EXPECT_EQ(plug.GetParam(18)->Value(), 7.0);
  EXPECT_EQ(plug.GetParam(19)->Value(), 8.0);

  std::vector<int> seen;
  plug.ForParamInRange(-3, 1, [&](int idx, IParam&) { seen.push_back(idx); });
  plug.ForParamInRange(18, 99, [&](int idx, IParam&) { seen.push_back(idx); });
  plug.ForParamInRange(5, 4, [&](int idx, IParam&) { seen.push_back(idx); });
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 18, 19}));

  plug.DefaultParamValues("left");
  EXPECT_EQ(plug.GetParam(3)->Value(), 2.0);
  plug.RandomiseParamValues(0, 2);
  for (int i = 0; i < 3; ++i)
  {
    const double n = plug.GetParam(i)->GetNormalized();
    EXPECT_GE(n, 0.0);
    EXPECT_LE(n, 1.0);
  }
}

#include "framework/PluginProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace plugin;

namespace
{

Config MakeConfig(const char* channelIO)
{
  Config c;
  c.channelIOStr = channelIO;
  return c;
}

// Records what processing sees; optionally doubles input i into output i.
class TestProcessor : public PluginProcessor
{
public:
  explicit TestProcessor(const char* channelIO, bool doubling = true)
      : PluginProcessor(MakeConfig(channelIO), kAPIAU), mDoubling(doubling)
  {
  }
  void ProcessBlock(sample** inputs, sample** outputs, int nFrames) override
  {
    ++mBlocks;
    mSeenInputs.assign(NChannels(kInput), {});
    for (int c = 0; c < NChannels(kInput); ++c)
      mSeenInputs[c].assign(inputs[c], inputs[c] + nFrames);
    if (!mDoubling) return PluginProcessor::ProcessBlock(inputs, outputs, nFrames);
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int s = 0; s < nFrames; ++s)
        outputs[c][s] = c < NChannels(kInput) ? 2.0 * inputs[c][s] : 0.0;
  }
  bool SendMidiMsg(const IMidiMsg&) override { return true; }

  // Connects nIn inputs and nOut outputs (the rest not) and attaches the host's buffers.
  template <typename T> void Connect(int nIn, int nOut, std::vector<T*> ins, std::vector<T*> outs, int frames)
  {
    SetChannelConnections(kInput, 0, NChannels(kInput), false);
    SetChannelConnections(kOutput, 0, NChannels(kOutput), false);
    SetChannelConnections(kInput, 0, nIn, true);
    SetChannelConnections(kOutput, 0, nOut, true);
    AttachBuffers(kInput, 0, static_cast<int>(ins.size()), ins.data(), frames);
    AttachBuffers(kOutput, 0, static_cast<int>(outs.size()), outs.data(), frames);
  }
  bool mDoubling;
  int mBlocks = 0;
  std::vector<std::vector<sample>> mSeenInputs;
};

struct ParsedIO
{
  Util_PtrList<IOConfig> configs;
  int n = 0, maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
  explicit ParsedIO(const char* text)
  {
    n = PluginProcessor::ParseChannelIOStr(text, configs, maxIn, maxOut, maxInBuses, maxOutBuses);
  }
  ~ParsedIO() { configs.Empty(true); }
  int Total(int idx, ERoute dir) const { return configs.Get(idx)->GetTotalNChannels(dir); }
};

} // namespace

// ---- Channel-I/O string and configuration queries ----

TEST(ProcessorConfigTest, ParsesProductStringBusesWildcardsAndSkipsMalformedTokens)
{
  ParsedIO multi("2.2-2 0-2 -1 *-*");
  ASSERT_EQ(multi.n, 4);
  EXPECT_EQ(multi.configs.Get(0)->NBuses(kInput), 2);
  EXPECT_EQ(multi.Total(0, kInput), 4);
  EXPECT_EQ(multi.configs.Get(2)->NBuses(kInput), 0); // an empty side has no buses
  EXPECT_EQ(multi.configs.Get(3)->NChansOnBusSAFE(kInput, 0), kWildcardChannels);
  EXPECT_EQ(std::make_pair(multi.maxIn, multi.maxInBuses), std::make_pair(4, 2));

  // Tokens without "-" and absurd channel counts are skipped; the rest still count.
  ParsedIO malformed("  2   1-1\t99999999999999999999-2 3.3-1x ");
  ASSERT_EQ(malformed.n, 2);
  EXPECT_EQ(malformed.Total(0, kInput), 1);
  EXPECT_EQ(malformed.Total(1, kInput), 6);
  EXPECT_EQ(malformed.Total(1, kOutput), 1); // leading digits
  EXPECT_EQ(ParsedIO(nullptr).n, 0);
}

TEST(ProcessorConfigTest, LegalIOMatrix)
{
  struct Case
  {
    const char* io;
    int in, out;
    bool legal;
  };
  // A wildcard side takes any count; fixed buses next to a wildcard set the floor.
  const Case cases[] = {
      {"1-1 2-2", 2, 2, true},   {"1-1 2-2", 1, 2, false}, {"1-1 2-2", 0, 0, false}, {"1-1 2-2", -1, 2, true},
      {"1-1 2-2", -1, 3, false}, {"*-*", 2, 6, true},      {"*-*", 0, 2, true},      {"1-*", 1, 8, true},
      {"1-*", 2, 2, false},      {"*-2", 7, 1, false},     {"2.*-2", 4, 2, true},    {"2.*-2", 1, 2, false},
      {"0-2", 1, 2, false},      {"", -1, -1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TestProcessor(c.io).LegalIO(c.in, c.out), c.legal) << '"' << c.io << "\" " << c.in << "-" << c.out;
}

TEST(ProcessorConfigTest, BusQueries)
{
  TestProcessor product("1-1 2-2");
  int idx = -1;
  EXPECT_EQ(product.MaxNBuses(kInput, &idx), 1);
  EXPECT_EQ(idx, 1); // the last configuration with that many
  EXPECT_EQ(product.MaxNChannelsForBus(kInput, 0), 2);
  EXPECT_EQ(product.MaxNChannelsForBus(kInput, -1), 0);
  EXPECT_EQ(TestProcessor("").MaxNChannelsForBus(kInput, 0), 0);
  EXPECT_EQ(TestProcessor("*-2 2-2").MaxNChannelsForBus(kInput, 0), -1);
  const int two[] = {2}, twoTwo[] = {2, 2}, twoOne[] = {2, 1};
  TestProcessor sidechain("2-2 2.2-2.1");
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(twoTwo, twoOne), 1);
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(twoTwo, two), -1);
}

// ---- Connections and labels ----

TEST(ProcessorChannelTest, ConnectionsStopAtTheLastChannelAndLabelsAreCut)
{
  TestProcessor p("4-4");
  p.SetChannelConnections(kInput, 0, 4, true);
  p.SetChannelConnections(kInput, 3, 100, false); // stops at the last channel
  p.SetChannelConnections(kInput, -5, 2, false);  // nothing exists there
  EXPECT_EQ(p.NChannelsConnected(kInput), 3);
  EXPECT_FALSE(p.IsChannelConnected(kInput, 3));
  p.SetChannelLabel(kInput, 1, "In %d", true);
  p.SetChannelLabel(kInput, 9, "In %d");
  p.SetChannelLabel(kOutput, 0, "A very long channel label that goes on and on %d");
  EXPECT_STREQ(p.GetChannelLabel(kInput, 1), "In 1");
  EXPECT_STREQ(p.GetChannelLabel(kInput, 9), "");
  EXPECT_EQ(std::string(p.GetChannelLabel(kOutput, 0)), std::string("A very long channel label that goes", 32));
}

// ---- Processing ----

class ProcessorBlockTest : public ::testing::Test
{
protected:
  static constexpr int kFrames = 32;
  void SetUp() override
  {
    ASSERT_TRUE(p.SetBlockSize(kFrames));
    for (int c = 0; c < 2; ++c)
      for (int s = 0; s < kFrames; ++s)
      {
        in[c][s] = 0.25f * static_cast<float>(c + 1) * static_cast<float>(s % 4 - 1);
        out[c][s] = 1.0f;
      }
  }
  void ConnectAndAttach(int nIn, int nOut) { p.Connect<float>(nIn, nOut, {in[0], in[1]}, {out[0], out[1]}, kFrames); }

  // Every frame of output c against f(input c frame).
  template <typename F> void ExpectOut(int c, F f)
  {
    for (int s = 0; s < kFrames; ++s)
      EXPECT_FLOAT_EQ(out[c][s], f(in[c][s])) << c << ":" << s;
  }
  TestProcessor p{"1-1 2-2"};
  float in[2][kFrames];
  float out[2][kFrames];
};

TEST_F(ProcessorBlockTest, UnconnectedChannelsSeeZeros)
{
  // Mono host: the second input carries audio for one block, then the host drops it.
  ConnectAndAttach(2, 2);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  ConnectAndAttach(1, 1);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  ASSERT_EQ(p.mSeenInputs.size(), 2u);
  EXPECT_EQ(p.mSeenInputs[1], std::vector<sample>(kFrames, 0.0));
  ExpectOut(1, [](float x) { return 2.0f * x; }); // the unconnected output keeps its host buffer untouched

  // A missing host pointer reads as silence too.
  p.Connect<float>(2, 1, {in[0], nullptr}, {out[0]}, kFrames);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  EXPECT_EQ(p.mSeenInputs[1], std::vector<sample>(kFrames, 0.0));
}

TEST_F(ProcessorBlockTest, TooLongBlocksAreRefused)
{
  constexpr int kLong = 32 * kFrames; // well past what the scratch storage holds
  std::vector<float> longIn[2] = {std::vector<float>(kLong, 0.5f), std::vector<float>(kLong, 0.5f)};
  std::vector<float> longOut[2] = {std::vector<float>(kLong, 3.0f), std::vector<float>(kLong, 3.0f)};
  // Attaching converts no more than the scratch holds.
  p.Connect<float>(2, 2, {longIn[0].data(), longIn[1].data()}, {longOut[0].data(), longOut[1].data()}, kLong);
  EXPECT_FALSE(p.ProcessBuffers(0.0f, kLong));
  for (int c = 0; c < 2; ++c)
    EXPECT_EQ(longOut[c], std::vector<float>(kLong, 0.0f)); // silenced, not left stale
  EXPECT_FALSE(p.PassThroughBuffers(0.0f, kLong) || p.ProcessBuffers(0.0f, -1));
  EXPECT_EQ(p.mBlocks, 0);

  // 64-bit: the same guard protects the scratch of unconnected channels.
  std::vector<sample> host(kLong, 3.0);
  p.Connect<sample>(2, 1, {}, {host.data()}, kLong);
  EXPECT_FALSE(p.ProcessBuffers(sample{}, kLong));
  EXPECT_EQ(host[kLong - 1], 0.0);
  EXPECT_TRUE(p.ProcessBuffers(sample{}, kFrames)); // a block of exactly the block size is processed
  EXPECT_EQ(p.mBlocks, 1);
}

TEST(ProcessorChannelTest, PassThroughAndDefaultBlockCopyInputsAndZeroTheRest)
{
  for (bool passThrough : {true, false})
  {
    TestProcessor wide("1-2", false);
    ASSERT_TRUE(wide.SetBlockSize(4));
    std::vector<sample> i0{1, 2, 3, 4}, o0(4, 9.0), o1(4, 9.0);
    wide.Connect<sample>(1, 2, {i0.data()}, {o0.data(), o1.data()}, 4);
    ASSERT_TRUE(passThrough ? wide.PassThroughBuffers(sample{}, 4) : wide.ProcessBuffers(sample{}, 4));
    EXPECT_EQ(o0, i0);
    EXPECT_EQ(o1, std::vector<sample>(4, 0.0));
    EXPECT_EQ(wide.mBlocks, passThrough ? 0 : 1);
  }
}

TEST_F(ProcessorBlockTest, BlockSizeChanges)
{
  ConnectAndAttach(1, 1);
  // Same size: the converted input in the scratch survives.
  ASSERT_TRUE(p.SetBlockSize(kFrames));
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  EXPECT_EQ(p.mSeenInputs[0][2], static_cast<sample>(in[0][2]));

  // A new size moves and zeroes the scratch; slots follow it (no stale pointers).
  ASSERT_TRUE(p.SetBlockSize(4 * kFrames));
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames)); // the host buffers hold kFrames
  EXPECT_EQ(p.mSeenInputs[0], std::vector<sample>(kFrames, 0.0));
  EXPECT_FALSE(p.SetBlockSize(-1) || p.SetBlockSize(kMaxBlockSize + 1));
  EXPECT_EQ(p.GetBlockSize(), 4 * kFrames);
  ASSERT_TRUE(p.SetBlockSize(0));
  EXPECT_TRUE(p.ProcessBuffers(0.0f, 0));
  EXPECT_FALSE(p.ProcessBuffers(0.0f, 1));
}

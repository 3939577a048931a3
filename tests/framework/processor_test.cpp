#include "framework/IPluginProcessor.h"

#include <gtest/gtest.h>

#include <string>
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
class TestProcessor : public IPluginProcessor
{
public:
  explicit TestProcessor(const char* channelIO, bool doubling = true)
  : IPluginProcessor(MakeConfig(channelIO), kAPIAU), mDoubling(doubling)
  {
  }
  explicit TestProcessor(const Config& config) : IPluginProcessor(config, kAPIAU), mDoubling(false) {}

  void ProcessBlock(sample** inputs, sample** outputs, int nFrames) override
  {
    ++mBlocks;
    mSeenInputs.assign(NChannels(kInput), {});
    for (int c = 0; c < NChannels(kInput); ++c) mSeenInputs[c].assign(inputs[c], inputs[c] + nFrames);
    if (!mDoubling)
    {
      IPluginProcessor::ProcessBlock(inputs, outputs, nFrames);
      return;
    }
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int s = 0; s < nFrames; ++s) outputs[c][s] = c < NChannels(kInput) ? 2.0 * inputs[c][s] : 0.0;
  }

  bool SendMidiMsg(const IMidiMsg& msg) override
  {
    mSent.push_back(msg);
    return msg.mStatus != 0xFF; // a status the "host" refuses
  }

  bool mDoubling;
  int mBlocks = 0;
  std::vector<std::vector<sample>> mSeenInputs;
  std::vector<IMidiMsg> mSent;
};

struct ParsedIO
{
  Util_PtrList<IOConfig> configs;
  int n = 0, maxIn = -1, maxOut = -1, maxInBuses = -1, maxOutBuses = -1;
  explicit ParsedIO(const char* text)
  {
    n = IPluginProcessor::ParseChannelIOStr(text, configs, maxIn, maxOut, maxInBuses, maxOutBuses);
  }
  ~ParsedIO() { configs.Empty(true); }
};

std::string BusName(const TestProcessor& p, ERoute dir, int idx, int nBuses)
{
  Util_String s;
  p.GetBusName(dir, idx, nBuses, s);
  return s.Get();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Channel-I/O string and configuration queries
// ---------------------------------------------------------------------------------------------------------------

TEST(ProcessorConfigTest, ParsesProductString)
{
  ParsedIO io("1-1 2-2");
  ASSERT_EQ(io.n, 2);
  EXPECT_EQ(io.maxIn, 2);
  EXPECT_EQ(io.maxOut, 2);
  EXPECT_EQ(io.maxInBuses, 1);
  EXPECT_EQ(io.maxOutBuses, 1);
  EXPECT_EQ(io.configs.Get(0)->NChansOnBusSAFE(kInput, 0), 1);
  EXPECT_EQ(io.configs.Get(1)->NChansOnBusSAFE(kOutput, 0), 2);
  EXPECT_EQ(io.configs.Get(1)->NChansOnBusSAFE(kOutput, 1), 0);
}

TEST(ProcessorConfigTest, ParsesBusesZerosWildcardsAndSkipsMalformedTokens)
{
  ParsedIO multi("2.2-2 0-2 -1 *-*");
  ASSERT_EQ(multi.n, 4);
  EXPECT_EQ(multi.configs.Get(0)->NBuses(kInput), 2);
  EXPECT_EQ(multi.configs.Get(0)->GetTotalNChannels(kInput), 4);
  EXPECT_EQ(multi.configs.Get(1)->NBuses(kInput), 0); // a side of 0 has no buses
  EXPECT_EQ(multi.configs.Get(2)->NBuses(kInput), 0); // an empty side as well
  EXPECT_EQ(multi.configs.Get(3)->NChansOnBusSAFE(kInput, 0), kWildcardChannels);
  EXPECT_EQ(multi.maxIn, 4);
  EXPECT_EQ(multi.maxInBuses, 2);

  // Tokens without "-" and absurd channel counts are skipped; the rest still count.
  ParsedIO malformed("  2   1-1\t99999999999999999999-2 3.3-1x ");
  ASSERT_EQ(malformed.n, 2);
  EXPECT_EQ(malformed.configs.Get(0)->GetTotalNChannels(kInput), 1);
  EXPECT_EQ(malformed.configs.Get(1)->GetTotalNChannels(kInput), 6);
  EXPECT_EQ(malformed.configs.Get(1)->GetTotalNChannels(kOutput), 1); // leading digits

  ParsedIO none(nullptr);
  EXPECT_EQ(none.n, 0);
  EXPECT_EQ(none.maxIn, 0);
  ParsedIO blank("   ");
  EXPECT_EQ(blank.n, 0);
}

TEST(ProcessorConfigTest, LegalIOMatrix)
{
  struct Case
  {
    const char* io;
    int in, out;
    bool legal;
  };
  const Case cases[] = {
    {"1-1 2-2", 1, 1, true},   {"1-1 2-2", 2, 2, true},   {"1-1 2-2", 1, 2, false}, {"1-1 2-2", 2, 1, false},
    {"1-1 2-2", 0, 0, false},  {"1-1 2-2", 3, 3, false},  {"1-1 2-2", -1, 2, true}, {"1-1 2-2", 2, -1, true},
    {"1-1 2-2", -1, -1, true}, {"1-1 2-2", -1, 3, false},
    // A wildcard side takes any count.
    {"*-*", 1, 1, true},       {"*-*", 2, 6, true},       {"*-*", 0, 2, true},      {"*-*", -1, -1, true},
    {"1-*", 1, 1, true},       {"1-*", 1, 8, true},       {"1-*", 2, 2, false},     {"1-*", -1, 5, true},
    {"*-2", 7, 2, true},       {"*-2", 7, 1, false},
    // Fixed buses next to a wildcard set the floor.
    {"2.*-2", 2, 2, true},     {"2.*-2", 4, 2, true},     {"2.*-2", 1, 2, false},
    {"0-2", 0, 2, true},       {"0-2", 1, 2, false},
    {"", -1, -1, false},
  };
  for (const Case& c : cases)
  {
    TestProcessor p(c.io);
    EXPECT_EQ(p.LegalIO(c.in, c.out), c.legal) << '"' << c.io << "\" " << c.in << "-" << c.out;
  }
}

TEST(ProcessorConfigTest, BusQueries)
{
  TestProcessor product("1-1 2-2");
  int idx = -1;
  EXPECT_EQ(product.MaxNBuses(kInput, &idx), 1);
  EXPECT_EQ(idx, 1); // the last configuration with that many
  EXPECT_EQ(product.MaxNChannelsForBus(kInput, 0), 2);
  EXPECT_EQ(product.MaxNChannelsForBus(kOutput, 0), 2);
  EXPECT_EQ(product.MaxNChannelsForBus(kInput, 1), 0);
  EXPECT_EQ(product.MaxNChannelsForBus(kInput, -1), 0);

  TestProcessor none("");
  idx = -1;
  EXPECT_EQ(none.MaxNBuses(kOutput, &idx), 0);
  EXPECT_EQ(idx, 0);
  EXPECT_EQ(none.MaxNChannelsForBus(kInput, 0), 0);
  EXPECT_EQ(none.NChannels(kInput), 0);

  TestProcessor wild("*-2 2-2");
  EXPECT_EQ(wild.MaxNChannelsForBus(kInput, 0), -1);
  EXPECT_EQ(wild.MaxNChannelsForBus(kOutput, 0), 2);

  TestProcessor sidechain("2-2 2.2-2.1");
  EXPECT_EQ(sidechain.MaxNBuses(kInput, &idx), 2);
  EXPECT_EQ(idx, 1);
  EXPECT_EQ(sidechain.MaxNChannelsForBus(kOutput, 1), 1);
  const int two[] = {2}, twoTwo[] = {2, 2}, twoOne[] = {2, 1}, one[] = {1};
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(two, two), 0);
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(twoTwo, twoOne), 1);
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(twoTwo, two), -1);
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts(one, one), -1);
  EXPECT_EQ(sidechain.GetIOConfigWithChanCounts({}, {}), -1);
}

TEST(ProcessorConfigTest, BusNames)
{
  TestProcessor p("1-1 2-2");
  EXPECT_EQ(BusName(p, kInput, 0, 1), "Input");
  EXPECT_EQ(BusName(p, kInput, 0, 2), "Main");
  EXPECT_EQ(BusName(p, kInput, 1, 2), "Aux");
  EXPECT_EQ(BusName(p, kInput, 2, 3), "Input 2");
  EXPECT_EQ(BusName(p, kOutput, 0, 1), "Output");
  EXPECT_EQ(BusName(p, kOutput, 1, 2), "Output 1");
  EXPECT_EQ(BusName(p, kOutput, 0, 0), "Output 0");
}

TEST(ProcessorConfigTest, ConstructionCopiesRecordAndStartsUnconnected)
{
  Config c = MakeZaniqConfig();
  c.latency = 64;
  TestProcessor p(c);
  EXPECT_EQ(p.NIOConfigs(), 2);
  EXPECT_EQ(p.NChannels(kInput), 2);
  EXPECT_EQ(p.NChannels(kOutput), 2);
  EXPECT_EQ(p.NChannelsConnected(kInput), 0);
  EXPECT_EQ(p.NChannelsConnected(kOutput), 0);
  EXPECT_EQ(p.GetLatency(), 64);
  EXPECT_EQ(p.GetBlockSize(), 0);
  EXPECT_DOUBLE_EQ(p.GetSampleRate(), 44100.0);
  EXPECT_EQ(p.GetAUPluginType(), MakeFourCC('a', 'u', 'f', 'x'));

  const ITimeInfo& t = p.GetTimeInfo();
  EXPECT_DOUBLE_EQ(t.mTempo, 120.0);
  EXPECT_DOUBLE_EQ(t.mSamplePos, -1.0);
  EXPECT_EQ(t.mNumerator, 4);
  EXPECT_EQ(t.mDenominator, 4);
  EXPECT_FALSE(t.mTransportIsRunning);

  p.SetSampleRate(48000.0);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 24000.0);
  ITimeInfo stopped;
  stopped.mTempo = 0.0;
  p.SetTimeInfo(stopped);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 0.0);

  const struct
  {
    int type;
    bool midiIn;
    uint32_t code;
  } types[] = {{kMIDIEffect, false, MakeFourCC('a', 'u', 'm', 'i')},
               {kInstrument, false, MakeFourCC('a', 'u', 'm', 'u')},
               {kEffect, true, MakeFourCC('a', 'u', 'm', 'f')},
               {7, true, MakeFourCC('a', 'u', 'f', 'x')}};
  for (const auto& t : types)
  {
    Config tc;
    tc.plugType = t.type;
    tc.plugDoesMidiIn = t.midiIn;
    EXPECT_EQ(TestProcessor(tc).GetAUPluginType(), t.code) << t.type;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Connections and labels
// ---------------------------------------------------------------------------------------------------------------

TEST(ProcessorChannelTest, ConnectionsLabelsAndStereoLimit)
{
  TestProcessor p("4-4");
  p.SetChannelConnections(kInput, 0, 4, true);
  EXPECT_EQ(p.NChannelsConnected(kInput), 4);
  p.SetChannelConnections(kInput, 3, 100, false); // stops at the last channel
  p.SetChannelConnections(kInput, -5, 2, false);  // nothing exists there
  EXPECT_EQ(p.NChannelsConnected(kInput), 3);

  p.LimitToStereoIO();
  EXPECT_TRUE(p.IsChannelConnected(kInput, 1));
  EXPECT_FALSE(p.IsChannelConnected(kInput, 2));
  EXPECT_FALSE(p.IsChannelConnected(kOutput, 1));
  EXPECT_TRUE(p.IsChannelConnected(kOutput, 2));
  EXPECT_TRUE(p.IsChannelConnected(kOutput, 3));

  p.SetChannelLabel(kInput, 0, "In %d");
  p.SetChannelLabel(kInput, 1, "In %d", true);
  p.SetChannelLabel(kInput, 9, "In %d");
  p.SetChannelLabel(kOutput, 0, "A very long channel label that goes on and on %d");
  EXPECT_STREQ(p.GetChannelLabel(kInput, 0), "In 1");
  EXPECT_STREQ(p.GetChannelLabel(kInput, 1), "In 1");
  EXPECT_STREQ(p.GetChannelLabel(kInput, 9), "");
  EXPECT_EQ(std::string(p.GetChannelLabel(kOutput, 0)), std::string("A very long channel label that goes", 32));
}

TEST(ProcessorChannelTest, AttachSkipsUnconnectedChannels)
{
  TestProcessor p("0-2");
  ASSERT_TRUE(p.SetBlockSize(8));
  p.SetChannelConnections(kOutput, 1, 1, true);
  sample host[8] = {};
  sample* data[] = {host};
  EXPECT_EQ(p.AttachBuffers(kOutput, 0, 2, data, 8), 2);
  std::fill_n(host, 8, 9.0);
  ASSERT_TRUE(p.ProcessBuffers(sample{}, 8)); // no inputs: default processing zeroes every output
  for (sample s : host) EXPECT_EQ(s, 0.0);
  EXPECT_EQ(p.AttachBuffers(kOutput, 1, 5, data, 8), 2);
}

// ---------------------------------------------------------------------------------------------------------------
// Processing
// ---------------------------------------------------------------------------------------------------------------

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

  void ConnectAndAttach(int nIn, int nOut, int frames = kFrames)
  {
    p.SetChannelConnections(kInput, 0, 2, false);
    p.SetChannelConnections(kOutput, 0, 2, false);
    p.SetChannelConnections(kInput, 0, nIn, true);
    p.SetChannelConnections(kOutput, 0, nOut, true);
    float* ins[] = {in[0], in[1]};
    float* outs[] = {out[0], out[1]};
    p.AttachBuffers(kInput, 0, 2, ins, frames);
    p.AttachBuffers(kOutput, 0, 2, outs, frames);
  }

  TestProcessor p{"1-1 2-2"};
  float in[2][kFrames];
  float out[2][kFrames];
};

TEST_F(ProcessorBlockTest, FloatBlockThroughDoubler)
{
  ConnectAndAttach(2, 2);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  EXPECT_EQ(p.mBlocks, 1);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s) EXPECT_FLOAT_EQ(out[c][s], 2.0f * in[c][s]) << c << ":" << s;
}

TEST_F(ProcessorBlockTest, AccumulatingAddsToHostBuffers)
{
  ConnectAndAttach(2, 2);
  ASSERT_TRUE(p.ProcessBuffersAccumulating(kFrames));
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s) EXPECT_FLOAT_EQ(out[c][s], 1.0f + 2.0f * in[c][s]);
  // A shorter block touches only its own frames.
  std::fill_n(out[0], kFrames, 1.0f);
  ASSERT_TRUE(p.ProcessBuffersAccumulating(4));
  EXPECT_FLOAT_EQ(out[0][3], 1.0f + 2.0f * in[0][3]);
  EXPECT_FLOAT_EQ(out[0][4], 1.0f);
}

TEST_F(ProcessorBlockTest, UnconnectedChannelsSeeZeros)
{
  // Mono host: the second input carries audio for one block, then the host drops it.
  ConnectAndAttach(2, 2);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  ConnectAndAttach(1, 1);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  ASSERT_EQ(p.mSeenInputs.size(), 2u);
  for (int s = 0; s < kFrames; ++s) EXPECT_EQ(p.mSeenInputs[1][s], 0.0) << s;
  // The unconnected output keeps its host buffer untouched.
  for (int s = 0; s < kFrames; ++s) EXPECT_FLOAT_EQ(out[1][s], 2.0f * in[1][s]);

  // A missing host pointer reads as silence too.
  p.SetChannelConnections(kInput, 0, 2, true);
  float* ins[] = {in[0], nullptr};
  p.AttachBuffers(kInput, 0, 2, ins, kFrames);
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  for (int s = 0; s < kFrames; ++s) EXPECT_EQ(p.mSeenInputs[1][s], 0.0);
}

TEST_F(ProcessorBlockTest, TooLongBlocksAreRefused)
{
  constexpr int kLong = 32 * kFrames; // well past what the scratch storage holds
  std::vector<float> longIn[2], longOut[2];
  for (int c = 0; c < 2; ++c)
  {
    longIn[c].assign(kLong, 0.5f);
    longOut[c].assign(kLong, 3.0f);
  }
  p.SetChannelConnections(kInput, 0, 2, true);
  p.SetChannelConnections(kOutput, 0, 2, true);
  float* ins[] = {longIn[0].data(), longIn[1].data()};
  float* outs[] = {longOut[0].data(), longOut[1].data()};
  p.AttachBuffers(kInput, 0, 2, ins, kLong); // converts no more than the scratch holds
  p.AttachBuffers(kOutput, 0, 2, outs, kLong);

  EXPECT_FALSE(p.ProcessBuffers(0.0f, kLong));
  EXPECT_EQ(p.mBlocks, 0);
  for (int c = 0; c < 2; ++c)
    for (float v : longOut[c]) EXPECT_EQ(v, 0.0f); // silenced, not left holding stale data

  longOut[0].assign(kLong, 3.0f);
  EXPECT_FALSE(p.ProcessBuffersAccumulating(kLong));
  EXPECT_EQ(longOut[0][kLong - 1], 3.0f); // nothing added
  EXPECT_FALSE(p.PassThroughBuffers(0.0f, kLong));
  EXPECT_FALSE(p.ProcessBuffers(0.0f, -1));
  EXPECT_EQ(p.mBlocks, 0);

  // 64-bit: the same guard protects the scratch of unconnected channels.
  p.SetChannelConnections(kOutput, 1, 1, false);
  std::vector<sample> host(kLong, 3.0);
  sample* outs64[] = {host.data()};
  p.AttachBuffers(kOutput, 0, 2, outs64, kLong);
  EXPECT_FALSE(p.ProcessBuffers(sample{}, kLong));
  EXPECT_FALSE(p.PassThroughBuffers(sample{}, kLong));
  EXPECT_EQ(host[kLong - 1], 0.0);
  EXPECT_EQ(p.mBlocks, 0);

  // A block of exactly the block size is processed.
  EXPECT_TRUE(p.ProcessBuffers(sample{}, kFrames));
  EXPECT_EQ(p.mBlocks, 1);
}

TEST_F(ProcessorBlockTest, PassThroughCopiesInputsAndZeroesTheRest)
{
  ConnectAndAttach(2, 2);
  ASSERT_TRUE(p.PassThroughBuffers(0.0f, kFrames));
  EXPECT_EQ(p.mBlocks, 0);
  for (int c = 0; c < 2; ++c)
    for (int s = 0; s < kFrames; ++s) EXPECT_FLOAT_EQ(out[c][s], in[c][s]);

  TestProcessor wide("1-2");
  ASSERT_TRUE(wide.SetBlockSize(4));
  wide.SetChannelConnections(kInput, 0, 1, true);
  wide.SetChannelConnections(kOutput, 0, 2, true);
  sample i0[4] = {1, 2, 3, 4}, o0[4] = {9, 9, 9, 9}, o1[4] = {9, 9, 9, 9};
  sample* ins[] = {i0};
  sample* outs[] = {o0, o1};
  wide.AttachBuffers(kInput, 0, 1, ins, 4);
  wide.AttachBuffers(kOutput, 0, 2, outs, 4);
  ASSERT_TRUE(wide.PassThroughBuffers(sample{}, 4));
  EXPECT_EQ(o0[3], 4.0);
  EXPECT_EQ(o1[3], 0.0);
}

TEST(ProcessorDefaultTest, DefaultBlockCopiesAndZeroes)
{
  TestProcessor p("1-2", /*doubling*/ false);
  ASSERT_TRUE(p.SetBlockSize(4));
  p.SetChannelConnections(kInput, 0, 1, true);
  p.SetChannelConnections(kOutput, 0, 2, true);
  sample i0[4] = {1, 2, 3, 4}, o0[4] = {}, o1[4] = {7, 7, 7, 7};
  sample* ins[] = {i0};
  sample* outs[] = {o0, o1};
  p.AttachBuffers(kInput, 0, 1, ins, 4);
  p.AttachBuffers(kOutput, 0, 2, outs, 4);
  ASSERT_TRUE(p.ProcessBuffers(sample{}, 4));
  for (int s = 0; s < 4; ++s)
  {
    EXPECT_EQ(o0[s], i0[s]);
    EXPECT_EQ(o1[s], 0.0);
  }

  // In place: the host hands the same buffer for input and output.
  sample* same[] = {i0};
  p.AttachBuffers(kOutput, 0, 1, same, 4);
  ASSERT_TRUE(p.ProcessBuffers(sample{}, 4));
  EXPECT_EQ(i0[2], 3.0);
}

TEST_F(ProcessorBlockTest, BlockSizeChanges)
{
  ConnectAndAttach(1, 1);
  // Same size: the converted input in the scratch survives.
  ASSERT_TRUE(p.SetBlockSize(kFrames));
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  ASSERT_NE(in[0][2], 0.0f);
  EXPECT_EQ(p.mSeenInputs[0][2], static_cast<sample>(in[0][2]));

  // A new size moves and zeroes the scratch; slots follow it (no stale pointers).
  ASSERT_TRUE(p.SetBlockSize(4 * kFrames));
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames)); // the host buffers hold kFrames
  for (sample v : p.mSeenInputs[0]) EXPECT_EQ(v, 0.0);
  ASSERT_TRUE(p.SetBlockSize(2));
  ASSERT_TRUE(p.ProcessBuffers(0.0f, 2));

  EXPECT_FALSE(p.SetBlockSize(-1));
  EXPECT_FALSE(p.SetBlockSize(kMaxBlockSize + 1));
  EXPECT_EQ(p.GetBlockSize(), 2);
  ASSERT_TRUE(p.SetBlockSize(0));
  EXPECT_TRUE(p.ProcessBuffers(0.0f, 0));
  EXPECT_FALSE(p.ProcessBuffers(0.0f, 1));
}

// ---------------------------------------------------------------------------------------------------------------
// MIDI
// ---------------------------------------------------------------------------------------------------------------

TEST(ProcessorMidiTest, SendAndForward)
{
  TestProcessor p("1-1");
  Util_TypedBuf<IMidiMsg> msgs;
  EXPECT_TRUE(p.SendMidiMsgs(msgs));
  msgs.Add(IMidiMsg(0, 0x90, 60, 100));
  msgs.Add(IMidiMsg(1, 0xFF, 0, 0));
  msgs.Add(IMidiMsg(2, 0x80, 60, 0));
  EXPECT_FALSE(p.SendMidiMsgs(msgs));
  ASSERT_EQ(p.mSent.size(), 3u); // every message is tried, in order
  EXPECT_EQ(p.mSent[2].mOffset, 2);

  p.ProcessMidiMsg(IMidiMsg(5, 0xB0, 7, 64));
  ASSERT_EQ(p.mSent.size(), 4u);
  EXPECT_EQ(p.mSent.back().mData1, 7);
  EXPECT_FALSE(p.SendSysEx(ISysEx()));
}

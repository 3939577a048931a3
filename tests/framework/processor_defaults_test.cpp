// The processor base's defaults and helpers: MIDI and SysEx defaults, the Audio Unit type from the configuration,
// samples per beat, bus names, the stereo limit, accumulating output, attaching past unconnected channels and
// silencing the scratch buffers.

#include "framework/PluginProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;

namespace
{

Config MakeConfig(const char* channelIO, int type = kEffect, bool midiIn = false, int latency = 0)
{
  Config c;
  c.channelIOStr = channelIO;
  c.plugType = type;
  c.plugDoesMidiIn = midiIn;
  c.latency = latency;
  return c;
}

// Doubles input c into output c (zeros for outputs without an input); records what was sent as MIDI and what
// processing saw.
class Proc : public PluginProcessor
{
public:
  explicit Proc(const Config& c) : PluginProcessor(c, kAPIAU) {}
  explicit Proc(const char* channelIO) : Proc(MakeConfig(channelIO)) {}
  void ProcessBlock(sample** inputs, sample** outputs, int nFrames) override
  {
    seen.assign(size_t(NChannels(kInput)), {});
    for (int c = 0; c < NChannels(kInput); ++c)
      seen[size_t(c)].assign(inputs[c], inputs[c] + nFrames);
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int s = 0; s < nFrames; ++s)
        outputs[c][s] = c < NChannels(kInput) ? 2.0 * inputs[c][s] : 0.0;
  }
  bool SendMidiMsg(const IMidiMsg& msg) override
  {
    sent.push_back(msg.mStatus);
    return msg.mStatus != 0xFF; // a status the "host" refuses
  }
  std::vector<int> sent;
  std::vector<std::vector<sample>> seen;
};

} // namespace

TEST(ProcessorDefaults, MidiAndSysexDefaults)
{
  Proc p("1-1");
  // Incoming MIDI is passed on; SysEx is neither processed nor sent.
  p.ProcessMidiMsg(IMidiMsg(0, 0x90, 60, 100));
  const uint8_t sysex[] = {0xF0, 0x7D, 0xF7};
  p.ProcessSysEx(ISysEx(0, sysex, 3));
  EXPECT_FALSE(p.SendSysEx(ISysEx(0, sysex, 3)));
  EXPECT_EQ(p.sent, (std::vector<int>{0x90}));

  // A list goes out in order; it succeeds only when every message did (an empty list does).
  Util_TypedBuf<IMidiMsg> list;
  EXPECT_TRUE(p.SendMidiMsgs(list));
  list.Add(IMidiMsg(0, 0xB0, 1, 2));
  list.Add(IMidiMsg(1, 0xFF, 0, 0));
  list.Add(IMidiMsg(2, 0x80, 60, 0));
  p.sent.clear();
  EXPECT_FALSE(p.SendMidiMsgs(list));
  EXPECT_EQ(p.sent, (std::vector<int>{0xB0, 0xFF, 0x80}));
  EXPECT_EQ(p.VirtualReturningOne(), 1.0);
}

TEST(ProcessorDefaults, ConfigurationGivesTypeLatencyAndUnconnectedChannels)
{
  const std::tuple<int, bool, const char*> types[] = {{kMIDIEffect, false, "aumi"}, {kInstrument, false, "aumu"},
                                                      {kEffect, true, "aumf"},      {kEffect, false, "aufx"},
                                                      {7, true, "aufx"}};
  for (const auto& [type, midiIn, code] : types)
    EXPECT_EQ(Proc(MakeConfig("1-1", type, midiIn)).GetAUPluginType(),
              MakeFourCC(code[0], code[1], code[2], code[3]))
        << type;

  Proc p(MakeConfig("1-1 2-2", kEffect, false, 64));
  EXPECT_EQ(std::make_tuple(p.NChannels(kInput), p.NChannelsConnected(kInput), p.NChannelsConnected(kOutput),
                            p.GetLatency(), p.GetRenderingOffline()),
            std::make_tuple(2, 0, 0, 64, false));
  p.SetRenderingOffline(true);
  EXPECT_TRUE(p.GetRenderingOffline());

  // 48 kHz at 120 beats a minute (the default until the host says otherwise): 24000 samples a beat; no tempo, 0.
  p.SetSampleRate(48000.0);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 24000.0);
  ITimeInfo slow;
  slow.mTempo = 90.0;
  p.SetTimeInfo(slow);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 32000.0);
  ITimeInfo stopped;
  stopped.mTempo = 0.0;
  p.SetTimeInfo(stopped);
  EXPECT_DOUBLE_EQ(p.GetSamplesPerBeat(), 0.0);
}

TEST(ProcessorDefaults, BusNames)
{
  const std::tuple<ERoute, int, int, const char*> names[] = {
      {kInput, 0, 1, "Input"},   {kInput, 0, 2, "Main"},      {kInput, 1, 2, "Aux"},     {kInput, 2, 3, "Input 2"},
      {kOutput, 0, 1, "Output"}, {kOutput, 1, 2, "Output 1"}, {kOutput, 0, 0, "Output 0"}};
  Proc p("1-1");
  for (const auto& [dir, busIdx, nBuses, name] : names)
  {
    Util_String s;
    p.GetBusName(dir, busIdx, nBuses, s);
    EXPECT_STREQ(s.Get(), name) << dir << " " << busIdx << " of " << nBuses;
  }
}

TEST(ProcessorDefaults, StereoLimitAndAttachingPastUnconnectedChannels)
{
  Proc p("4-4");
  p.SetChannelConnections(kInput, 0, 4, true);
  p.LimitToStereoIO();
  std::vector<bool> in, out;
  for (int i = 0; i < 4; ++i)
  {
    in.push_back(p.IsChannelConnected(kInput, i));
    out.push_back(p.IsChannelConnected(kOutput, i));
  }
  EXPECT_EQ(std::make_pair(in, out),
            std::make_pair(std::vector<bool>{true, true, false, false}, std::vector<bool>{false, false, true, true}));

  // Data holds pointers for the connected channels only: with only the second output connected, the one pointer
  // goes to it; the index after the last channel handled comes back.
  Proc two("0-2");
  ASSERT_TRUE(two.SetBlockSize(8));
  two.SetChannelConnections(kOutput, 1, 1, true);
  std::vector<sample> host(8, 9.0);
  sample* data[] = {host.data()};
  EXPECT_EQ(two.AttachBuffers(kOutput, 0, 2, data, 8), 2);
  ASSERT_TRUE(two.ProcessBuffers(sample{}, 8)); // no inputs: zeros on every output
  EXPECT_EQ(host, std::vector<sample>(8, 0.0));
  EXPECT_EQ(two.AttachBuffers(kOutput, 1, 5, data, 8), 2);
}

TEST(ProcessorDefaults, AccumulatingAddsToTheHostBuffersAndScratchCanBeSilenced)
{
  constexpr int kFrames = 8;
  Proc p("2-2");
  ASSERT_TRUE(p.SetBlockSize(kFrames));
  float in0[kFrames], in1[kFrames], out0[kFrames], out1[kFrames];
  for (int s = 0; s < kFrames; ++s)
  {
    in0[s] = 0.25f * float(s);
    in1[s] = -0.5f * float(s);
    out0[s] = out1[s] = 1.0f;
  }
  float* ins[] = {in0, in1};
  float* outs[] = {out0, out1};
  p.SetChannelConnections(kInput, 0, 2, true);
  p.SetChannelConnections(kOutput, 0, 2, true);
  p.AttachBuffers(kInput, 0, 2, ins, kFrames);
  p.AttachBuffers(kOutput, 0, 2, outs, kFrames);
  ASSERT_TRUE(p.ProcessBuffersAccumulating(kFrames));
  for (int s = 0; s < kFrames; ++s)
    EXPECT_EQ(std::make_pair(out0[s], out1[s]), std::make_pair(1.0f + 2.0f * in0[s], 1.0f + 2.0f * in1[s])) << s;

  // A shorter block touches only its own frames; one longer than the block size adds nothing.
  std::fill_n(out0, kFrames, 1.0f);
  ASSERT_TRUE(p.ProcessBuffersAccumulating(4));
  EXPECT_EQ(std::make_pair(out0[3], out0[4]), std::make_pair(1.0f + 2.0f * in0[3], 1.0f));
  std::fill_n(out0, kFrames, 1.0f);
  EXPECT_FALSE(p.ProcessBuffersAccumulating(kFrames + 1));
  EXPECT_EQ(out0[0], 1.0f);

  // The converted input lives in the processor's scratch buffers: silencing them silences the next block that
  // reads it without attaching again.
  p.ZeroScratchBuffers();
  ASSERT_TRUE(p.ProcessBuffers(0.0f, kFrames));
  EXPECT_EQ(p.seen, (std::vector<std::vector<sample>>(2, std::vector<sample>(kFrames, 0.0))));
}

TEST(ProcessorDefaults, MissingHostMemoryAndRefusedPassThrough)
{
  // A connected input without a host pointer reads as silence from the processor's own memory, whatever was there.
  Proc p("1-1");
  ASSERT_TRUE(p.SetBlockSize(4));
  p.SetChannelConnections(kInput, 0, 1, true);
  p.SetChannelConnections(kOutput, 0, 1, true);
  std::vector<sample> in(4, 0.5), out(4, 9.0);
  sample* ins[] = {in.data()};
  sample* outs[] = {out.data()};
  p.AttachBuffers(kInput, 0, 1, ins, 4);
  p.AttachBuffers(kOutput, 0, 1, outs, 4);
  ASSERT_TRUE(p.ProcessBuffers(sample{}, 4));
  sample* none[] = {nullptr};
  p.AttachBuffers(kInput, 0, 1, none, 4);
  ASSERT_TRUE(p.ProcessBuffers(sample{}, 4));
  EXPECT_EQ(std::make_pair(p.seen[0], out), std::make_pair(std::vector<sample>(4, 0.0), std::vector<sample>(4, 0.0)));

  // A pass-through longer than the block size is refused and silences the host's output.
  std::vector<sample> longOut(8, 9.0);
  sample* longOuts[] = {longOut.data()};
  p.AttachBuffers(kInput, 0, 1, ins, 4);
  p.AttachBuffers(kOutput, 0, 1, longOuts, 8);
  EXPECT_FALSE(p.PassThroughBuffers(sample{}, 8));
  EXPECT_EQ(longOut, std::vector<sample>(8, 0.0));
}

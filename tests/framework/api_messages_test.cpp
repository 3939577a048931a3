// The API base between editor and processor: MIDI and SysEx from the editor queued for the processor (SysEx cut to
// its record), messages and dirty parameters from the editor, MIDI and SysEx from the processor delivered to the
// editor on the idle tick, the queue's ring arithmetic, and the hooks' defaults.

#include "framework/PluginAPIBase.h"
#include "support/ScriptedGraphics.h"

#include <CoreFoundation/CFTesting.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace plugin;
using plugin::igraphics::test::ScriptedGraphics;
using Log = std::vector<std::string>;

namespace
{

Config ThreeParams()
{
  Config c = MakeZaniqConfig();
  c.nParams = 3;
  return c;
}

// Records what reaches the host and the editor-side hooks.
class MsgPlugin : public PluginAPIBase
{
public:
  MsgPlugin() : PluginAPIBase(ThreeParams(), kAPIAU)
  {
    GetParam(0)->InitDouble("Gain", 5.0, 0.0, 10.0, 0.0);
    GetParam(1)->InitInt("Count", 2, 0, 8);
    GetParam(2)->InitBool("On", true);
  }
  ~MsgPlugin() override { StopTimer(); }
  void InformHostOfParamChange(int idx, double value) override
  {
    log.push_back("host " + std::to_string(idx) + " " + std::to_string(value));
  }
  bool OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data) override
  {
    log.push_back("msg " + std::to_string(msgTag) + " " + std::to_string(ctrlTag) + " " +
                  std::string(static_cast<const char*>(data), size_t(dataSize)));
    return true;
  }
  void OnMidiMsgUI(const IMidiMsg& msg) override { log.push_back("midi " + std::to_string(msg.mData1)); }
  void OnSysexMsgUI(const ISysEx& msg) override
  {
    log.push_back("sysex " + std::to_string(msg.mOffset) + " " +
                  std::string(reinterpret_cast<const char*>(msg.mData), size_t(msg.mSize)));
  }
  void OnIdle() override { log.push_back("idle"); }
  Log log;
};

class ApiTick : public ::testing::Test
{
protected:
  void SetUp() override { ZQCFUseVirtualClock(true); }
  void TearDown() override
  {
    ZQCFInvalidateAllTimers();
    ZQCFUseVirtualClock(false);
  }
};

} // namespace

TEST(ApiMessages, MidiAndSysexFromTheEditorAreQueuedForTheProcessor)
{
  MsgPlugin p;
  p.SendMidiMsgFromUI(IMidiMsg(3, 0x90, 60, 100));
  p.DeferMidiMsg(IMidiMsg(4, 0x80, 60, 0));
  IMidiMsg m;
  std::vector<int> midi;
  while (p.GetMidiMsgFromEditor().Pop(m))
    midi.insert(midi.end(), {m.mOffset, m.mStatus, m.mData1, m.mData2});
  EXPECT_EQ(midi, (std::vector<int>{3, 0x90, 60, 100, 4, 0x80, 60, 0}));

  // A SysEx record holds 512 bytes: a longer message is cut; a message without data carries none.
  std::vector<uint8_t> big(600, 0x42);
  const uint8_t small[] = {0xF0, 0x01, 0xF7};
  p.SendSysexMsgFromUI(ISysEx(3, big.data(), static_cast<int>(big.size())));
  p.DeferSysexMsg(ISysEx(0, nullptr, 10));
  p.DeferSysexMsg(ISysEx(1, small, 3));
  SysExData d;
  ASSERT_TRUE(p.GetSysExDataFromEditor().Pop(d));
  EXPECT_EQ(std::make_tuple(d.mOffset, d.mSize, d.mData[511]), std::make_tuple(3, 512, uint8_t(0x42)));
  ASSERT_TRUE(p.GetSysExDataFromEditor().Pop(d));
  EXPECT_EQ(std::make_tuple(d.mSize, d.mData[0]), std::make_tuple(10, uint8_t(0)));
  ASSERT_TRUE(p.GetSysExDataFromEditor().Pop(d));
  EXPECT_EQ(std::make_tuple(d.mOffset, d.mSize, d.mData[2], d.mData[3]), std::make_tuple(1, 3, uint8_t(0xF7), uint8_t(0)));

  // Four records fit; the fifth is dropped.
  for (int i = 0; i < 5; ++i)
    p.DeferSysexMsg(ISysEx(i, small, 3));
  EXPECT_EQ(p.GetSysExDataFromEditor().ElementsAvailable(), 4u);
}

TEST(ApiMessages, EditorMessagesAndDirtyParametersReachThePluginAndHost)
{
  MsgPlugin p;
  p.SendArbitraryMsgFromUI(5, 2, 3, "abc");
  // Every parameter's normalised value is announced to the host, in index order.
  p.DirtyParametersFromUI();
  EXPECT_EQ(p.log, (Log{"msg 5 2 abc", "host 0 0.500000", "host 1 0.250000", "host 2 1.000000"}));
  // Without a platform resize the editor's own size change is accepted; with one, the (default) host refuses.
  EXPECT_EQ(std::make_pair(p.EditorResizeFromUI(500, 600, false), p.EditorResizeFromUI(500, 600, true)),
            std::make_pair(true, false));
}

TEST_F(ApiTick, MidiAndSysexFromTheProcessorReachTheEditorOnTheTick)
{
  MsgPlugin p;
  p.CreateTimer(); // the first tick is due at once
  p.log.clear();
  ASSERT_TRUE(p.GetMidiMsgFromProcessor().Push(IMidiMsg(0, 0x90, 61, 90)));
  ASSERT_TRUE(p.GetMidiMsgFromProcessor().Push(IMidiMsg(0, 0x90, 62, 90)));
  SysExData d;
  d.mOffset = 7;
  d.mSize = 3;
  d.mData[0] = 'x';
  d.mData[1] = 'y';
  d.mData[2] = 'z';
  ASSERT_TRUE(p.GetSysExDataFromProcessor().Push(d));
  ZQCFAdvanceClock(0.02); // the tick due at once and the one 20 ms later
  EXPECT_EQ(p.log, (Log{"midi 61", "midi 62", "sysex 7 xyz", "idle", "idle"}));

  // Without an editor the queues wait; the idle work still runs.
  p.SetHasUI(false);
  p.log.clear();
  ASSERT_TRUE(p.GetMidiMsgFromProcessor().Push(IMidiMsg(0, 0x90, 63, 90)));
  ZQCFAdvanceClock(0.02);
  EXPECT_EQ(std::make_pair(p.log, p.GetMidiMsgFromProcessor().ElementsAvailable()), std::make_pair(Log{"idle"}, size_t(1)));
}

TEST(ApiMessages, QueueKeepsOneSlotFreeAndWrapsAround)
{
  // 33 slots take 32 items; the 33rd is dropped; items come out in order.
  PluginQueue<int> q(33);
  for (int i = 0; i < 32; ++i)
    ASSERT_TRUE(q.Push(i));
  EXPECT_FALSE(q.Push(32));
  EXPECT_EQ(q.ElementsAvailable(), 32u);
  int v = -1;
  for (int i = 0; i < 32; ++i)
    ASSERT_TRUE(q.Pop(v) && v == i) << i;
  EXPECT_FALSE(q.Pop(v));

  // 5 slots: 4 pushes, 3 pops, 2 pushes leave write 1 and read 3, so 1 - 3 + 5 = 3 items.
  PluginQueue<int> small(5);
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(small.Push(i));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(small.Pop(v));
  ASSERT_TRUE(small.Push(4) && small.Push(5));
  EXPECT_EQ(std::make_tuple(small.GetWriteIndex(), small.GetReadIndex(), small.ElementsAvailable()),
            std::make_tuple(uint64_t(1), uint64_t(3), size_t(3)));
  for (int expect : {3, 4, 5})
    ASSERT_TRUE(small.Pop(v) && v == expect) << expect;
}

TEST(ApiMessages, HookDefaults)
{
  MsgPlugin p;
  // The first n parameters are important, never all of them or none.
  Util_TypedBuf<int> important;
  p.OnHostRequestingImportantParameters(2, important);
  p.OnHostRequestingImportantParameters(3, important);
  p.OnHostRequestingImportantParameters(0, important);
  ASSERT_EQ(important.GetSize(), 2);
  EXPECT_EQ(std::make_pair(important.Get()[0], important.Get()[1]), std::make_pair(0, 1));

  char note[8] = "C3";
  int a = 1, b = 2, c = 3;
  p.GetThreeIntsHook(a, b, c);
  const bool named = p.GetMidiNoteText(60, note);
  EXPECT_EQ(std::make_tuple(named, std::string(note), a, b, c, p.HostRequestHookA(),
                            p.HostRequestHookB(), p.OnHostRequestingSupportedViewConfiguration(424, 610)),
            std::make_tuple(false, std::string(), 0, 0, 0, false, false, true));

  // The optional pointer is the editor only while the platform says it is ready.
  EXPECT_EQ(p.GetOptionalPointerMember(), nullptr);
  p.SetMakeGraphicsFunc([&p] { return new ScriptedGraphics(p, 100, 100, 60, 1.f); });
  ASSERT_NE(p.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(p.GetOptionalPointerMember(), static_cast<void*>(p.GetUI()));
  p.SetGraphicsReady(false);
  EXPECT_EQ(p.GetOptionalPointerMember(), nullptr);
  p.CloseWindow();
}

TEST(ApiMessages, IdentityAndHostValuesFromTheConfiguration)
{
  // Names are kept to 128 characters; each pair of size limits is stored smaller first.
  Config c = ThreeParams();
  const std::string longName(130, 'n');
  c.pluginName = longName.c_str();
  c.plugMinWidth = 848;
  c.plugMaxWidth = 212;
  struct Plug : PluginAPIBase
  {
    explicit Plug(const Config& config) : PluginAPIBase(config, kAPIAU) {}
  } p(c);
  EXPECT_EQ(std::make_tuple(std::string(p.GetPluginName()), p.GetMinWidth(), p.GetMaxWidth(), p.GetHost(),
                            std::string(p.GetHostName())),
            std::make_tuple(std::string(128, 'n'), 212, 848, int(kHostUninitialized), std::string("Unknown")));

  // A normalised value from the host beyond 1 reaches the editor as the maximum.
  MsgPlugin m;
  m.SendParameterValueFromAPI(1, 1.7, true);
  ParamTuple t;
  ASSERT_TRUE(m.GetParamChangeFromProcessor().Pop(t));
  EXPECT_EQ(std::make_pair(t.idx, t.value), std::make_pair(1, 8.0));
}

#include "framework/IPluginAPIBase.h"
#include "support/ScriptedGraphics.h"

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plugin;
using plugin::igraphics::IRECT;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

Config TestConfig()
{
  Config c = MakeZaniqConfig();
  c.nParams = 3;
  return c;
}

// An API base with a scripted editor; records what reaches the host and the plug-in.
class ApiPlugin : public IPluginAPIBase
{
public:
  ApiPlugin() : IPluginAPIBase(TestConfig(), kAPIAU)
  {
    GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.5);
    GetParam(1)->InitInt("Count", 1, 0, 8);
    GetParam(2)->InitBool("On", false);
    SetMakeGraphicsFunc([this] { return new ScriptedGraphics(*this, GetEditorWidth(), GetEditorHeight(), 60, 1.f); });
    SetLayoutFunc([this](igraphics::IGraphics* g) {
      control = new RecordingControl(IRECT(0, 0, 10, 10), 0);
      g->AttachControl(control);
    });
  }
  ~ApiPlugin() override { StopTimer(); }

  void InformHostOfParamChange(int idx, double value) override { log.push_back("host " + std::to_string(idx) + " " + std::to_string(value)); }
  void OnParamChange(int idx, EParamSource source, int offset) override
  {
    log.push_back("change " + std::to_string(idx) + " " + std::to_string(source) + " " + std::to_string(offset));
  }
  void OnParamChangeUI(int idx, EParamSource source) override
  {
    log.push_back("ui " + std::to_string(idx) + " " + std::to_string(source));
  }
  void OnIdle() override { log.push_back("idle"); }
  void HostSpecificInit() override { log.push_back("hostinit"); }
  void OnHostIdentified() override { log.push_back("identified"); }

  RecordingControl* control = nullptr;
  std::vector<std::string> log;
};

class VirtualClock : public ::testing::Test
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

TEST(ApiBase, IdentityComesFromConfig)
{
  ApiPlugin p;
  EXPECT_STREQ(p.GetPluginName(), "ZANIQ");
  EXPECT_STREQ(p.GetMfrName(), "Quenlar");
  EXPECT_STREQ(p.GetHostName(), "Unknown");
  EXPECT_EQ(p.GetHost(), -1);
  EXPECT_EQ(p.GetEditorWidth(), 424);
  EXPECT_EQ(p.GetMinWidth(), 212);
  EXPECT_EQ(p.GetMaxHeight(), 1220);
  Util_String v;
  p.GetPluginVersionStr(v);
  EXPECT_STREQ(v.Get(), "v2.2.11");
}

TEST(ApiBase, HostLookupOrderAndIdentification)
{
  EXPECT_EQ(IPluginAPIBase::LookUpHost("com.ableton.live"), 9);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("Steinberg VST Live"), 58);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("WaveLab Elements 11"), 32);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("WAVELAB Pro"), 31);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("com.apple.logic10"), 21);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("some.standalone.www"), 24);
  EXPECT_EQ(IPluginAPIBase::LookUpHost("unheard-of host"), 0);
  EXPECT_EQ(IPluginAPIBase::LookUpHost(nullptr), 0);
  std::string longName(1000, 'x');
  longName += "reaper"; // beyond the 255 characters looked at
  EXPECT_EQ(IPluginAPIBase::LookUpHost(longName.c_str()), 0);

  ApiPlugin p;
  p.SetHost("com.cockos.reaper", 0x00060500);
  EXPECT_EQ(p.GetHost(), 1);
  EXPECT_STREQ(p.GetHostName(), "com.cockos.reaper");
  EXPECT_EQ(p.log, (std::vector<std::string>{"hostinit", "identified"}));
  p.SetHost(nullptr, 0);
  EXPECT_EQ(p.GetHost(), 0);
}

TEST(ApiBase, ParameterPathsToHostAndPlugin)
{
  ApiPlugin p;
  p.SetParameterValue(0, 0.75, false);
  EXPECT_DOUBLE_EQ(p.GetParam(0)->Value(), 5.0);
  EXPECT_EQ(p.log, (std::vector<std::string>{"host 0 0.750000"}));
  p.log.clear();
  p.SetParameterValue(0, 0.5, true);
  EXPECT_EQ(p.log, (std::vector<std::string>{"host 0 0.500000", "change 0 3 -1"}));
  p.log.clear();
  p.SetParameterValue(7, 0.5, true); // unknown index: nothing
  EXPECT_TRUE(p.log.empty());

  // From the host: the real, step-rounded and clamped value is queued for the editor.
  p.SendParameterValueFromAPI(1, 0.51, true); // 4.08 of 0..8
  p.SendParameterValueFromAPI(1, 1.7, true);
  p.SendParameterValueFromAPI(0, 99.0, false); // a real value goes as it is
  ParamTuple t;
  ASSERT_TRUE(p.GetParamChangeFromProcessor().Pop(t));
  EXPECT_EQ(t.idx, 1);
  EXPECT_DOUBLE_EQ(t.value, 4.0);
  ASSERT_TRUE(p.GetParamChangeFromProcessor().Pop(t));
  EXPECT_DOUBLE_EQ(t.value, 8.0);
  ASSERT_TRUE(p.GetParamChangeFromProcessor().Pop(t));
  EXPECT_DOUBLE_EQ(t.value, 99.0);
}

TEST(ApiBase, CompareStateAndImportantParameters)
{
  ApiPlugin p;
  p.GetParam(0)->Set(1.25);
  double values[3] = {1.25 + 1e-12, 1.0, 0.0};
  EXPECT_TRUE(p.CompareState(reinterpret_cast<const uint8_t*>(values), sizeof(values), 0));
  values[0] = 1.5;
  EXPECT_FALSE(p.CompareState(reinterpret_cast<const uint8_t*>(values), sizeof(values), 0));
  EXPECT_FALSE(p.CompareState(reinterpret_cast<const uint8_t*>(values), 16, 0)); // too short

  Util_TypedBuf<int> important;
  p.OnHostRequestingImportantParameters(2, important);
  ASSERT_EQ(important.GetSize(), 2);
  EXPECT_EQ(important.Get()[1], 1);
  p.OnHostRequestingImportantParameters(3, important); // not below the count
  EXPECT_EQ(important.GetSize(), 2);
}

TEST(ApiBase, SysexFromEditorIsCutToTheRecord)
{
  ApiPlugin p;
  std::vector<uint8_t> big(600, 0x42);
  p.DeferSysexMsg(ISysEx(3, big.data(), static_cast<int>(big.size())));
  p.DeferSysexMsg(ISysEx(0, nullptr, 10));
  SysExData d;
  ASSERT_TRUE(p.GetSysExDataFromEditor().Pop(d));
  EXPECT_EQ(d.mOffset, 3);
  EXPECT_EQ(d.mSize, 512);
  EXPECT_EQ(d.mData[511], 0x42);
  ASSERT_TRUE(p.GetSysExDataFromEditor().Pop(d));
  EXPECT_EQ(d.mData[0], 0);
}

TEST_F(VirtualClock, TimerTickDrainsHostValuesIntoTheEditorThenIdles)
{
  ApiPlugin p;
  p.CreateTimer();
  ASSERT_NE(p.OpenWindow(nullptr), nullptr);
  ASSERT_NE(p.control, nullptr);
  p.log.clear();

  p.SendParameterValueFromAPI(0, 0.75, true); // the host moved "Gain" to 5 dB
  EXPECT_DOUBLE_EQ(p.control->GetValue(), 0.5); // not before the tick
  ZQCFAdvanceClock(0.02);
  EXPECT_DOUBLE_EQ(p.control->GetValue(), 0.75);
  ASSERT_GE(p.log.size(), 2u);
  EXPECT_EQ(p.log[0], "ui 0 4");
  EXPECT_EQ(p.log.back(), "idle");

  // Every 20 ms: five more idle steps in 100 ms.
  p.log.clear();
  ZQCFAdvanceClock(0.1);
  EXPECT_EQ(p.log.size(), 5u);
  p.CloseWindow();
}

TEST_F(VirtualClock, WithoutUiTheQueuesAreLeftAlone)
{
  ApiPlugin p;
  p.SetHasUI(false);
  p.CreateTimer();
  p.SendParameterValueFromAPI(2, 1.0, false);
  p.log.clear();
  ZQCFAdvanceClock(0.01);
  EXPECT_EQ(p.log, (std::vector<std::string>{"idle"}));
  EXPECT_EQ(p.GetParamChangeFromProcessor().ElementsAvailable(), 1u);
}

TEST_F(VirtualClock, StoppedTimerNeverTicks)
{
  int ticks = 0;
  {
    struct Counting : ApiPlugin
    {
      int* n;
      explicit Counting(int* counter) : n(counter) {}
      void OnIdle() override { ++*n; }
    } p(&ticks);
    p.CreateTimer();
    ZQCFAdvanceClock(0.05);
    EXPECT_EQ(ticks, 3); // now, +20 ms, +40 ms
  }
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  ZQCFAdvanceClock(1.0);
  EXPECT_EQ(ticks, 3);
}

#include "framework/PluginAPIBase.h"
#include "support/ScriptedGraphics.h"

#include <CoreFoundation/CFTesting.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;
using plugin::igraphics::IRECT;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::ScriptedGraphics;
using Log = std::vector<std::string>;

namespace
{

Config TestConfig()
{
  Config c = MakeZaniqConfig();
  c.nParams = 3;
  return c;
}

// An API base with a scripted editor; records what reaches the host and the plug-in.
class ApiPlugin : public PluginAPIBase
{
public:
  ApiPlugin() : PluginAPIBase(TestConfig(), kAPIAU)
  {
    GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.5);
    GetParam(1)->InitInt("Count", 1, 0, 8);
    GetParam(2)->InitBool("On", false);
    SetMakeGraphicsFunc([this] { return new ScriptedGraphics(*this, GetEditorWidth(), GetEditorHeight(), 60, 1.f); });
    SetLayoutFunc([this](igraphics::IGraphics* g) { g->AttachControl(control = new RecordingControl(IRECT(), 0)); });
  }
  ~ApiPlugin() override { StopTimer(); }
  void InformHostOfParamChange(int idx, double value) override
  {
    log.push_back("host " + std::to_string(idx) + " " + std::to_string(value));
  }
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
  Log log;
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

TEST(ApiBase, HostLookupOrderAndIdentification)
{
  // Longer names are looked for before the names they contain; only the first 255 characters are looked at.
  const std::string longName = std::string(1000, 'x') + "reaper";
  const std::pair<const char*, int> hosts[] = {{"Steinberg VST Live", 58}, {"WaveLab Elements 11", 32},
                                               {"unheard-of host", 0},      {nullptr, 0},
                                               {longName.c_str(), 0}};
  for (const auto& [name, code] : hosts)
    EXPECT_EQ(PluginAPIBase::LookUpHost(name), code) << (name ? name : "null");
  // The hosts the product acts on by name, against their codes written out here.
  const std::tuple<const char*, int, EHost> named[] = {
      {"ProTools", 2, kHostProTools},       {"Cakewalk by BandLab", 5, kHostCakewalk},
      {"Fruity Wrapper", 7, kHostFLStudio}, {"Logic Pro X", 21, kHostLogic},
      {"GarageBand", 22, kHostGarageBand},  {"PreSonus Studio One", 26, kHostStudioOne},
      {"Bitwig Studio", 34, kHostBitwig},   {"Waveform 12", 38, kHostWaveform},
      {"SADiE 6", 46, kHostSadie}};
  for (const auto& [name, code, constant] : named)
  {
    EXPECT_EQ(PluginAPIBase::LookUpHost(name), code) << name;
    EXPECT_EQ(int(constant), code) << name;
  }
  EXPECT_EQ(MakeFourCC('\xff', 0, 0, 1), 0xff000001u); // characters above 127 must not sign-extend
  ApiPlugin p;
  p.SetHost("com.example.reaper", 0x00060500);
  EXPECT_EQ(std::pair(p.GetHost(), std::string(p.GetHostName())), std::pair(1, std::string("com.example.reaper")));
  EXPECT_EQ(p.log, (Log{"hostinit", "identified"}));
}

TEST(ApiBase, ParameterPathsToHostAndPlugin)
{
  ApiPlugin p;
  p.SetParameterValue(0, 0.75, false);
  EXPECT_DOUBLE_EQ(p.GetParam(0)->Value(), 5.0);
  p.SetParameterValue(0, 0.5, true);
  p.SetParameterValue(7, 0.5, true); // unknown index: nothing
  EXPECT_EQ(p.log, (Log{"host 0 0.750000", "host 0 0.500000", "change 0 3 -1"}));

  // From the host: the real, step-rounded and clamped value is queued for the editor; a real value goes as it is.
  p.SendParameterValueFromAPI(1, 0.51, true); // 4.08 of 0..8
  p.SendParameterValueFromAPI(0, 99.0, false);
  for (double expect : {4.0, 99.0})
  {
    ParamTuple t;
    ASSERT_TRUE(p.GetParamChangeFromProcessor().Pop(t));
    EXPECT_DOUBLE_EQ(t.value, expect);
  }
}

TEST_F(VirtualClock, TimerTickDrainsHostValuesIntoTheEditorThenIdles)
{
  ApiPlugin p;
  p.CreateTimer();
  ASSERT_NE(p.OpenWindow(nullptr), nullptr);
  ASSERT_NE(p.control, nullptr);
  p.log.clear();
  p.SendParameterValueFromAPI(0, 0.75, true);   // the host moved "Gain" to 5 dB
  EXPECT_DOUBLE_EQ(p.control->GetValue(), 0.5); // not before the tick
  ZQCFAdvanceClock(0.02);
  EXPECT_DOUBLE_EQ(p.control->GetValue(), 0.75);
  EXPECT_EQ(p.log, (Log{"ui 0 4", "idle", "idle"})); // due at once, then every 20 ms
  p.CloseWindow();
}

TEST_F(VirtualClock, StoppedTimerNeverTicks)
{
  {
    ApiPlugin p;
    p.CreateTimer();
    ZQCFAdvanceClock(0.05);
    EXPECT_EQ(p.log, Log(3, "idle")); // now, +20 ms, +40 ms
  }
  EXPECT_EQ(ZQCFScheduledTimerCount(), 0);
  EXPECT_EQ(ZQCFAdvanceClock(1.0), 0);
}

// The chain's virtual operations keep their order in the virtual table: an adapter built against another copy of
// this table finds each operation in its place. A pointer to a virtual member holds its slot in the
// Itanium C++ ABI.
namespace
{
template <class F> std::ptrdiff_t VirtualSlot(F member)
{
  struct
  {
    uintptr_t ptr;
    ptrdiff_t adj;
  } rep;
  static_assert(sizeof(member) == sizeof(rep));
  std::memcpy(&rep, &member, sizeof(rep));
#if defined(__arm__) || defined(__aarch64__)
  if (!(rep.adj & 1)) return -1; // not virtual
  return static_cast<std::ptrdiff_t>(rep.ptr / sizeof(void*));
#else
  if (!(rep.ptr & 1)) return -1; // not virtual
  return static_cast<std::ptrdiff_t>((rep.ptr - 1) / sizeof(void*));
#endif
}
} // namespace

TEST(ApiBase, ChainOperationsKeepTheirVirtualTableOrder)
{
  using P = PluginAPIBase;
  const std::pair<const char*, std::ptrdiff_t> slots[] = {
    {"InformHostOfParameterDetailsChange", VirtualSlot(&P::InformHostOfParameterDetailsChange)},
    {"SerializeState", VirtualSlot(&P::SerializeState)},
    {"UnserializeState", VirtualSlot(&P::UnserializeState)},
    {"SerializeExtraState", VirtualSlot(&P::SerializeExtraState)},
    {"UnserializeExtraState", VirtualSlot(&P::UnserializeExtraState)},
    {"InformHostOfPresetChange", VirtualSlot(&P::InformHostOfPresetChange)},
    {"OnPresetsModified", VirtualSlot(&P::OnPresetsModified)},
    {"CompareState", VirtualSlot(&P::CompareState)},
    {"HostRequestHookA", VirtualSlot(&P::HostRequestHookA)},
    {"HostRequestHookB", VirtualSlot(&P::HostRequestHookB)},
    {"OnHostIdentified", VirtualSlot(&P::OnHostIdentified)},
    {"OnHostRequestingImportantParameters", VirtualSlot(&P::OnHostRequestingImportantParameters)},
    {"OnHostRequestingSupportedViewConfiguration", VirtualSlot(&P::OnHostRequestingSupportedViewConfiguration)},
    {"OnHostSelectedViewConfiguration", VirtualSlot(&P::OnHostSelectedViewConfiguration)},
    {"GetMidiNoteText", VirtualSlot(&P::GetMidiNoteText)},
    {"GetOptionalPointerMember", VirtualSlot(&P::GetOptionalPointerMember)},
    {"OnIdle", VirtualSlot(&P::OnIdle)},
    {"PrintDebugInfo", VirtualSlot(&P::PrintDebugInfo)},
    {"GetThreeIntsHook", VirtualSlot(&P::GetThreeIntsHook)},
    {"EmptyApiHookA", VirtualSlot(&P::EmptyApiHookA)},
    {"FalseApiHookA", VirtualSlot(&P::FalseApiHookA)},
    {"EmptyApiHookB", VirtualSlot(&P::EmptyApiHookB)},
    {"FalseApiHookB", VirtualSlot(&P::FalseApiHookB)},
    {"SendParameterValueFromAPI", VirtualSlot(&P::SendParameterValueFromAPI)},
    {"HostSpecificInit", VirtualSlot(&P::HostSpecificInit)},
    {"EditorResize", VirtualSlot(&P::EditorResize)},
    {"BeginInformHostOfParamChange", VirtualSlot(&P::BeginInformHostOfParamChange)},
    {"EndInformHostOfParamChange", VirtualSlot(&P::EndInformHostOfParamChange)},
    {"InformHostOfParamChange", VirtualSlot(&P::InformHostOfParamChange)},
    {"EmptyApiHookC", VirtualSlot(&P::EmptyApiHookC)},
    {"EmptyApiHookD", VirtualSlot(&P::EmptyApiHookD)},
    // The adapter's own operations follow the chain's.
    {"OnApiIdle", VirtualSlot(&P::OnApiIdle)},
  };
  // Every one is virtual and comes after the editor delegates' last operation.
  std::ptrdiff_t previous = VirtualSlot(&P::SetScreenScale);
  ASSERT_GE(previous, 0);
  for (const auto& [name, slot] : slots)
  {
    EXPECT_GT(slot, previous) << name;
    previous = slot;
  }

  ApiPlugin p;
  EXPECT_EQ(std::tuple(p.FalseApiHookA(), p.FalseApiHookB()), std::tuple(false, false));
}

// The idle tick: latency report by host, the info page (its text and its request), the update icon following
// the shared result, and the meter refresh.

#include "engine/support/editor_env.h"

#include <regex>
#include <string>

using namespace plugin;
using namespace testsupport;

// --- Latency ---

TEST_F(EditorTest, LatencyIsReportedOnTheIdleTickOrAtOnceByHost)
{
  // Most hosts: the idle tick reports the target latency (no editor needed); a change's common tail clears the
  // target and leaves the report to the tick.
  TestZANIQ& z = Make();
  z.SetHost("REAPER", 0);
  z.SetTargetLatencyForTest(64);
  z.OnIdle();
  EXPECT_EQ(z.GetLatency(), 64);
  z.Change(ZANIQ::kReferenceLevel, -12.0);
  EXPECT_EQ(std::pair(z.GetLatency(), z.GetTargetLatency()), std::pair(64, 0));
  z.OnIdle();
  EXPECT_EQ(z.GetLatency(), 0);

  // Listed hosts have the tail reset the latency at once.
  TestZANIQ& logic = Make();
  logic.SetHost("Logic Pro X", 0x000A0000);
  ASSERT_EQ(logic.GetHost(), kHostLogic);
  logic.SetLatency(256);
  logic.Change(ZANIQ::kReferenceLevel, -12.0);
  EXPECT_EQ(logic.GetLatency(), 0);

  // Pro Tools: the audio thread reports it, not the tick.
  TestZANIQ& pt = Make();
  pt.SetHost("ProTools", 0);
  ASSERT_EQ(pt.GetHost(), kHostProTools);
  pt.SetTargetLatencyForTest(64);
  pt.OnIdle();
  EXPECT_EQ(pt.GetLatency(), 0);
}

// --- Info page ---

TEST_F(EditorTest, InfoTextListsPluginAndRunningConditionsForAnyHost)
{
  TestZANIQ& z = Make();
  z.SetHost("Reaper", 0);
  z.SetSampleRate(48000.0);
  z.SetLatency(480);
  ASSERT_TRUE(z.SetBlockSize(512));
  z.SetChannelConnections(kInput, 0, 2, false);
  z.SetChannelConnections(kInput, 0, 1, true);
  z.SetChannelConnections(kOutput, 0, 2, true);

  Util_String text;
  z.GetInfoText(text);
  const std::regex expected(
    "Manufacturer: Quenlar\n"
    "Plugin name: ZANIQ\n"
    "Version: 2\\.2\\.11\n"
    "Build date: (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-9][0-9] [0-9]{4}\n"
    "Build time: [0-9]{2}:[0-9]{2}:[0-9]{2}\n"
    "\n"
    "Format: AU x64 \\(INTEL, VR, METAL\\)\n"
    "Host: Reaper\n"
    "Channels: 1-2 \\(2-2\\)\n"
    "Plugin delay: 480 smp \\(10\\.0 ms\\)\n"
    "Sample Rate: 48000\\.00 Hz\n"
    "Block Size: 512 smp\n"
    "\n"
    "Trademarks:\n"
    "VST/VST3: Steinberg Media Technologies GmbH\n"
    "AAX: Avid Technology Inc\\.\n"
    "AU: Apple Inc\\.\n");
  EXPECT_TRUE(std::regex_match(std::string(text.Get()), expected)) << text.Get();

  // Hosts without a display name, and no sample rate to turn the delay into time.
  z.SetHost("Some Other DAW", 0);
  z.SetSampleRate(0.0);
  z.SetLatency(100);
  z.GetInfoText(text);
  EXPECT_NE(std::string(text.Get()).find("\nHost: Unknown\nChannels"), std::string::npos) << text.Get();
  EXPECT_NE(std::string(text.Get()).find("\nPlugin delay: 100 smp (0.0 ms)\n"), std::string::npos) << text.Get();
  for (int host : {-1, 0, 68}) EXPECT_STREQ(ZANIQ::GetHostDisplayName(host), "Unknown") << host;
}

TEST_F(EditorTest, InfoPageRequestIsAnsweredOnATickWithTheEditorOpen)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(47); // without the editor: no request
  z.Command(48);
  EXPECT_FALSE(z.IsInfoPageRequested() || z.IsUpdateMessageRequested());
  z.OpenEditor();
  z.SetHost("Reaper", 0);
  z.Command(47);
  EXPECT_TRUE(z.boxes.empty());
  z.CloseWindow();
  z.OnIdle(); // the request waits while the editor is closed
  EXPECT_TRUE(z.boxes.empty() && z.IsInfoPageRequested());
  z.OpenEditor();
  z.OnIdle();
  ASSERT_EQ(z.boxes.size(), 1u);
  Util_String text;
  z.GetInfoText(text);
  EXPECT_EQ(z.boxes[0].caption + ": " + z.boxes[0].text, std::string("About: ") + text.Get());
  EXPECT_FALSE(z.IsInfoPageRequested());
  z.OnIdle();
  EXPECT_EQ(z.boxes.size(), 1u);
}

// --- Update icon and meters ---

TEST_F(EditorTest, UpdateIconFollowsTheSharedResultInEveryEditor)
{
  EditorZANIQ& a = MakeEditor();
  EditorZANIQ& b = MakeEditor();
  a.OpenEditor();
  b.OpenEditor();
  auto icon = [](EditorZANIQ& z) {
    return std::pair(z.Control(EditorZANIQ::kUpdateIcon)->GetValue(), z.actions[EditorZANIQ::kUpdateIcon]);
  };
  a.OnIdle();
  EXPECT_EQ(icon(a), std::pair(0.0, 0));

  UpdateCheck::SetUpdateAvailable(true);
  for (EditorZANIQ* z : {&a, &b})
  {
    z->OnIdle();
    z->OnIdle();
    EXPECT_EQ(icon(*z), std::pair(1.0, 1)); // once, not on every tick
  }

  UpdateCheck::SetUpdateAvailable(false);
  a.OnIdle();
  EXPECT_EQ(icon(a), std::pair(0.0, 2));

  // A value the icon was given otherwise is left alone.
  a.Control(EditorZANIQ::kUpdateIcon)->SetValue(0.5);
  UpdateCheck::SetUpdateAvailable(true);
  a.OnIdle();
  EXPECT_EQ(a.Control(EditorZANIQ::kUpdateIcon)->GetValue(), 0.5);
}

namespace
{

class MeterZANIQ : public testsupport::EditorZANIQ
{
public:
  void RaiseMeterRefresh() { mMeterRefresh.store(true); }
  bool MeterRefreshRaised() const { return mMeterRefresh.load(); }
};

} // namespace

TEST_F(EditorTest, MeterRefreshIsTakenOnlyWhileTheEditorIsOpen)
{
  auto owned = std::make_unique<MeterZANIQ>();
  MeterZANIQ& z = *owned;
  mInstances.push_back(std::move(owned));

  z.RaiseMeterRefresh();
  z.OnIdle();
  EXPECT_TRUE(z.MeterRefreshRaised());
  z.OpenEditor();
  z.OnIdle();
  EXPECT_FALSE(z.MeterRefreshRaised());
}

// The idle tick: latency report by host and the info page (its text and its request). (The update icon: the update
// check tests.)

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

  // Listed hosts have the tail reset the latency at once; in Pro Tools the audio thread reports it, not the tick.
  TestZANIQ& logic = Make();
  logic.SetHost("Logic Pro X", 0x000A0000);
  logic.SetLatency(256);
  logic.Change(ZANIQ::kReferenceLevel, -12.0);
  EXPECT_EQ(logic.GetLatency(), 0);
  TestZANIQ& pt = Make();
  pt.SetHost("ProTools", 0);
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
}

TEST_F(EditorTest, InfoPageRequestWaitsForTheEditor)
{
  // Answering it in the open editor: the editor tests.
  EditorZANIQ& z = MakeEditor();
  z.Command(47); // without the editor: no request
  z.Command(48);
  EXPECT_FALSE(z.IsInfoPageRequested() || z.IsUpdateMessageRequested());
  z.OpenEditor();
  z.Command(47);
  z.CloseWindow();
  z.OnIdle(); // the request waits while the editor is closed
  EXPECT_TRUE(z.boxes.empty() && z.IsInfoPageRequested());
  z.OpenEditor();
  z.OnIdle();
  z.OnIdle();
  EXPECT_EQ(std::pair(z.boxes.size(), z.IsInfoPageRequested()), std::pair(size_t(1), false));
}

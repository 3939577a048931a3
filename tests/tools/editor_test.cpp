// `auhost editor` on the test bundle with an editor: the host path, events moving controls, snapshots whose pixels
// change only where the controls are, the scale-2 picture, menus, alerts, closing and reopening, and the errors.

#include "support/EditorPictures.h"
#include "tools/auhost/ChainRun.h"

#include <cstring>

using namespace toolstest;
using auhost::kExitFailure;
using auhost::Status;

namespace
{

// The test bundle's editor (TestGainUI.cpp): 300 × 200 units.
constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr Area kKnob = {10, 10, 120, 150};
constexpr Area kToggle = {140, 10, 290, 50};

RunResult Editor(std::vector<std::string> args)
{
  args.insert(args.begin(), {"editor", "--bundle", ZANIQ_TESTGAIN_UI_BUNDLE, "--seconds", "1"});
  return RunInProcess(args);
}

} // namespace

TEST(EditorRun, DragAndClickChangeTheControlsAndOnlyThem)
{
  TempFolder temp;
  const std::string dir = PictureDir(temp);
  const std::string before = dir + "/editor_before_x1.png", after = dir + "/editor_after_x1.png";
  const RunResult run = Editor({"--snapshot", "0.1:" + before, "--event", "drag:65,100:65,40@0.2", "--event",
                                "click:215,30@0.3", "--snapshot", "0.5:" + after, "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The Receiver's editor moved its Gain up and switched Mute on; the Sender is untouched.
  // The knob hides and locks the cursor while it drags: with real motion it sees 60 units of deltas; positions
  // jumping back to the locked point would add up to far more and pin it at the top (24 dB).
  EXPECT_GT(JsonParam(run.out, "Receiver", "Gain"), 1.0) << run.out;
  EXPECT_LT(JsonParam(run.out, "Receiver", "Gain"), 23.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Mute"), 1.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Sender", "Gain"), 0.0) << run.out;
  const std::string editor = JsonEditor(run.out);
  EXPECT_NE(editor.find("\"open\":1,\"width\":300,\"height\":200,\"draw_scale\":1,\"screen_scale\":1"),
            std::string::npos)
    << editor;
  EXPECT_NE(editor.find("\"controls\":6"), std::string::npos) << editor; // the panel and five controls
  EXPECT_EQ(editor.find("\"frames_presented\":0"), std::string::npos) << editor;

  const Picture a = ReadPNG(before), b = ReadPNG(after);
  ASSERT_EQ(std::tie(a.w, a.h), std::make_tuple(kWidth, kHeight));
  ASSERT_EQ(std::tie(b.w, b.h), std::make_tuple(kWidth, kHeight));
  int changedKnob = 0, changedToggle = 0, changedElsewhere = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
    {
      if (std::memcmp(a.At(x, y), b.At(x, y), 4) == 0) continue;
      if (kKnob.Contains(x, y)) ++changedKnob;
      else if (kToggle.Contains(x, y)) ++changedToggle;
      else ++changedElsewhere;
    }
  EXPECT_GT(changedKnob, 50);
  EXPECT_GT(changedToggle, 50);
  EXPECT_EQ(changedElsewhere, 0);
}

// Each row is one run: the events, then the instance and parameter read back from the JSON report.
TEST(EditorRun, EventsReachTheControls)
{
  struct Case
  {
    std::vector<std::string> events;
    const char* role;
    const char* param;
    double value;
  };
  const Case cases[] = {
    // The Mode caption pops a native menu: an item by its text, by a text it begins with and a space, by #N, none.
    {{"menu:Hard@0.1", "click:215,75@0.1"}, "Receiver", "Mode", 2.0},
    {{"menu:Soft@0.1", "click:215,75@0.1"}, "Receiver", "Mode", 1.0},
    {{"menu:#2@0.1", "click:215,75@0.1"}, "Receiver", "Mode", 1.0},
    {{"menu:none@0.1", "click:215,75@0.1"}, "Receiver", "Mode", 0.0},
    // The Reset button asks before putting Gain back: "Yes" resets, "No" keeps.
    {{"drag:65,100:65,60@0.2", "alert:1@0.3", "click:215,120@0.3"}, "Receiver", "Gain", 0.0},
    // A wheel line moves the knob by 1 % of its range (94 dB), a tenth of that with Shift; 0.01 dB steps.
    {{"wheel:65,80:3@0.1"}, "Receiver", "Gain", 2.82},
    {{"shift+wheel:65,80:3@0.1"}, "Receiver", "Gain", 0.28},
    {{"move:65,80@0.05", "wheel:65,80:-2@0.1"}, "Receiver", "Gain", -1.88},
    // A double click puts the knob back to its default.
    {{"drag:65,100:65,40@0.1", "dblclick:65,80@0.2"}, "Receiver", "Gain", 0.0},
    // A click on the knob's value asks for one in a native text field; Return, keypad Enter or Tab enter it;
    // letters are refused by the field's formatter; Escape is just a key to the editor.
    {{"click:65,141@0.1", "text:-7.5@0.1", "key:return@0.1"}, "Receiver", "Gain", -7.5},
    {{"click:65,141@0.1", "text:12@0.1", "key:backspace@0.1", "key:enter@0.1"}, "Receiver", "Gain", 1.0},
    {{"click:65,141@0.1", "text:3@0.1", "key:tab@0.2"}, "Receiver", "Gain", 3.0},
    {{"click:65,141@0.1", "text:4x@0.1", "key:return@0.1", "key:escape@0.2"}, "Receiver", "Gain", 4.0},
    // Mute on and off again, through two views of the same editor.
    {{"click:215,30@0.1", "close@0.2", "open@0.3", "click:215,30@0.4"}, "Receiver", "Mute", 0.0},
    {{"--open", "sender", "click:215,30@0.1"}, "Sender", "Mute", 1.0},
  };
  for (const Case& c : cases)
  {
    std::vector<std::string> args = {"--json"};
    for (const std::string& e : c.events)
      if (e.rfind("--", 0) == 0 || e == "sender")
        args.push_back(e);
      else
        args.insert(args.end(), {"--event", e});
    const RunResult run = Editor(args);
    ASSERT_EQ(run.code, 0) << c.events.front() << ": " << run.err;
    EXPECT_NEAR(JsonParam(run.out, c.role, c.param), c.value, 0.006) << c.events.front() << ": " << run.out;
  }
  // Shift drags ten times finer.
  const double coarse = JsonParam(Editor({"--json", "--event", "drag:65,100:65,40@0.1"}).out, "Receiver", "Gain");
  const double fine = JsonParam(Editor({"--json", "--event", "shift+drag:65,100:65,40@0.1"}).out, "Receiver", "Gain");
  EXPECT_NEAR(fine * 10.0, coarse, 0.11) << fine << " " << coarse;
}

TEST(EditorRun, EventsThatFindNothingToActOnFail)
{
  TempFolder temp;
  struct Case
  {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
    {{"--event", "menu:Hard@0.1"}, "menu answer was never used"},
    {{"--event", "menu:Hard@0.1", "--event", "click:20,170@0.2"}, "menu answer was never used"},
    {{"--event", "alert:1@0.1"}, "alert answer was never used"},
    {{"--event", "menu:Loud@0.1", "--event", "click:215,75@0.1"}, "no item \"Loud\""},
    {{"--event", "menu:Har@0.1", "--event", "click:215,75@0.1"}, "no item \"Har\""}, // prefixes end at a space
    {{"--event", "menu:#4@0.1", "--event", "click:215,75@0.1"}, "no item \"#4\""},
    {{"--event", "alert:5@0.1", "--event", "click:215,120@0.1"}, "no button 5"},
    {{"--event", "close@0.1", "--event", "click:10,10@0.2"}, "closed"},
    {{"--event", "close@0.1", "--event", "close@0.2"}, "closed"},
    {{"--event", "open@0.1"}, "open already"},
    {{"--event", "click:300,10@0.1"}, "outside the editor"},
    {{"--event", "close@0.1", "--png", temp / "end.png"}, "closed"},
    {{"--event", "close@0.1", "--snapshot", "0.2:" + (temp / "s.png")}, "closed"},
  };
  for (const Case& c : cases)
  {
    const RunResult run = Editor(c.args);
    ExpectFailure(run, kExitFailure);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args[1] << ": " << run.err;
  }
}

TEST(EditorRun, UnitsWithoutEditorsSaySo)
{
  const RunResult plain = RunInProcess({"editor", "--bundle", ZANIQ_TESTGAIN_BUNDLE, "--seconds", "0.5"});
  ExpectFailure(plain, kExitFailure, "auhost: Receiver: the plug-in has no editor (it offers no Cocoa view)\n");
}

TEST(EditorRun, TheProgramPrintsTheSummaryWithTheEditorLine)
{
  TempFolder temp;
  const RunResult run = RunProgram(temp, {"editor", "--bundle", ZANIQ_TESTGAIN_UI_BUNDLE, "--seconds", "0.5"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("editor:            Receiver, 300 x 200 at draw scale 1, screen scale 1, 6 controls, "),
            std::string::npos)
    << run.out;
}

// --- The chain as the editor command sets it up ---

namespace
{

double ReportParam(const auhost::ChainReport& report, size_t instance, const std::string& name)
{
  for (const auto& [n, v] : report.instances.at(instance).params)
    if (n == name) return v;
  return NAN;
}

} // namespace

TEST(EditorChain, AUnitThatDoesNotPairRunsAsTwoInstancesAndSkipsDefaultsItLacks)
{
  auhost::ChainSetup setup;
  setup.bundle = ZANIQ_TESTGAIN_UI_BUNDLE;
  setup.rolesOptional = true;
  setup.defaults = {{"Online Update Check", "0"}, {"Mute", "on"}};
  setup.receiver = {{"Mute", "off"}, {"Gain", "-6"}};
  const auhost::AudioData input = Sine(2, 4800, 440.0, 0.5);
  auhost::AudioData output;
  auhost::ChainReport report;
  Status s = auhost::RunChain(setup, input, output, report);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(report.instances.size(), 2u);
  EXPECT_EQ(report.instances[0].role, "Sender");
  EXPECT_EQ(report.instances[1].role, "Receiver");
  // Defaults reach both; a setting for one instance comes later and wins there.
  EXPECT_EQ(ReportParam(report, 0, "Mute"), 1.0);
  EXPECT_EQ(ReportParam(report, 1, "Mute"), 0.0);
  EXPECT_EQ(ReportParam(report, 1, "Gain"), -6.0);
  // The Sender mutes, so the Receiver gets silence.
  EXPECT_EQ(report.output.peakDB, auhost::kSilenceDB);

  // `auhost chain` itself still insists on a pair.
  setup.rolesOptional = false;
  s = auhost::RunChain(setup, input, output, report);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("does not pair"), std::string::npos) << s.message();
}

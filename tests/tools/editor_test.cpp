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

TEST(EditorRun, ScaleTwoDrawsTwiceTheSizeOfTheSamePicture)
{
  TempFolder temp;
  const std::string dir = PictureDir(temp);
  Picture pictures[2];
  for (int scale = 1; scale <= 2; ++scale)
  {
    const std::string file = dir + "/editor_x" + std::to_string(scale) + ".png";
    const RunResult run = Editor({"--screen-scale", std::to_string(scale), "--png", file, "--json"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(JsonEditor(run.out).find("\"screen_scale\":" + std::to_string(scale)), std::string::npos) << run.out;
    pictures[scale - 1] = ReadPNG(file);
  }
  const Picture& one = pictures[0];
  const Picture& two = pictures[1];
  ASSERT_EQ(std::tie(one.w, one.h), std::make_tuple(kWidth, kHeight));
  ASSERT_EQ(std::tie(two.w, two.h), std::make_tuple(2 * kWidth, 2 * kHeight));
  // Each 2 × 2 block of the large picture averages to about the small picture's pixel.
  const Downsampled d = CompareDownsampled(one, two);
  EXPECT_LT(d.meanDifference, 3.0);
  EXPECT_LT(d.farShare, 0.01);
}

TEST(EditorRun, MenuAndAlertAnswersAreUsedByTheNextMenuAndAlert)
{
  // The Mode caption pops a native menu; the Reset button asks before putting Gain back.
  const RunResult run = Editor({"--event", "menu:Hard@0.1", "--event", "click:215,75@0.1", "--event",
                                "drag:65,100:65,60@0.2", "--event", "alert:2@0.3", "--event", "click:215,120@0.3",
                                "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Mode"), 2.0) << run.out;
  EXPECT_GT(JsonParam(run.out, "Receiver", "Gain"), 1.0) << run.out; // "No": kept

  const RunResult yes = Editor({"--event", "drag:65,100:65,60@0.2", "--event", "alert:1@0.3", "--event",
                                "click:215,120@0.3", "--event", "menu:#2@0.4", "--event", "click:215,75@0.4",
                                "--json"});
  ASSERT_EQ(yes.code, 0) << yes.err;
  EXPECT_EQ(JsonParam(yes.out, "Receiver", "Gain"), 0.0) << yes.out;
  EXPECT_EQ(JsonParam(yes.out, "Receiver", "Mode"), 1.0) << yes.out;

  // A text matches an item that begins with it and a space.
  const RunResult soft = Editor({"--event", "menu:Soft@0.1", "--event", "click:215,75@0.1", "--json"});
  ASSERT_EQ(soft.code, 0) << soft.err;
  EXPECT_EQ(JsonParam(soft.out, "Receiver", "Mode"), 1.0) << soft.out;

  const RunResult none = Editor({"--event", "menu:none@0.1", "--event", "click:215,75@0.1", "--json"});
  ASSERT_EQ(none.code, 0) << none.err;
  EXPECT_EQ(JsonParam(none.out, "Receiver", "Mode"), 0.0) << none.out;
}

TEST(EditorRun, WheelTextKeysAndModifiersReachTheControls)
{
  auto gainAfter = [](std::vector<std::string> events) {
    std::vector<std::string> args;
    for (const std::string& e : events) args.insert(args.end(), {"--event", e});
    args.push_back("--json");
    const RunResult run = Editor(args);
    EXPECT_EQ(run.code, 0) << run.err;
    return JsonParam(run.out, "Receiver", "Gain");
  };
  // A wheel line moves the knob by 1 % of its range (94 dB), a tenth of that with Shift; values on 0.01 dB steps.
  EXPECT_NEAR(gainAfter({"wheel:65,80:3@0.1"}), 2.82, 0.006);
  EXPECT_NEAR(gainAfter({"shift+wheel:65,80:3@0.1"}), 0.28, 0.006);
  EXPECT_NEAR(gainAfter({"move:65,80@0.05", "wheel:65,80:-2@0.1"}), -1.88, 0.006);
  // A double click puts the knob back to its default.
  EXPECT_EQ(gainAfter({"drag:65,100:65,40@0.1", "dblclick:65,80@0.2"}), 0.0);
  // Shift drags ten times finer.
  const double coarse = gainAfter({"drag:65,100:65,40@0.1"});
  const double fine = gainAfter({"shift+drag:65,100:65,40@0.1"});
  EXPECT_NEAR(fine * 10.0, coarse, 0.11) << fine << " " << coarse;
  // A click on the knob's value asks for one in a native text field; typing and Return, keypad Enter or Tab
  // enter it.
  EXPECT_NEAR(gainAfter({"click:65,141@0.1", "text:-7.5@0.1", "key:return@0.1"}), -7.5, 0.006);
  EXPECT_NEAR(gainAfter({"click:65,141@0.1", "text:12@0.1", "key:backspace@0.1", "key:enter@0.1"}), 1.0, 0.006);
  EXPECT_NEAR(gainAfter({"click:65,141@0.1", "text:3@0.1", "key:tab@0.2"}), 3.0, 0.006);
  // Letters are refused by the field's formatter; Escape is just a key to the editor.
  EXPECT_NEAR(gainAfter({"click:65,141@0.1", "text:4x@0.1", "key:return@0.1", "key:escape@0.2"}), 4.0, 0.006);
}

TEST(EditorRun, TheHostResizesTheView)
{
  TempFolder temp;
  const std::string file = PictureDir(temp) + "/editor_resized_x2.png";
  const RunResult run = Editor({"--screen-scale", "2", "--event", "resize:400,250@0.1", "--event",
                                "click:215,30@0.2", "--snapshot", "0.4:" + file, "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(JsonEditor(run.out).find("\"width\":400,\"height\":250,\"draw_scale\":1,\"screen_scale\":2"),
            std::string::npos)
    << run.out;
  // The frame drawn after the resize fills the new size in device pixels.
  const Picture p = ReadPNG(file);
  EXPECT_EQ(std::tie(p.w, p.h), std::make_tuple(800, 500));
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

TEST(EditorRun, CloseAndOpenAgain)
{
  TempFolder temp;
  const std::string file = PictureDir(temp) + "/editor_reopened_x1.png";
  const RunResult run = Editor({"--event", "click:215,30@0.1", "--event", "close@0.2", "--event", "open@0.3",
                                "--event", "click:215,30@0.4", "--snapshot", "0.6:" + file, "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  // Mute went on and off again, through two views of the same editor.
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Mute"), 0.0) << run.out;
  EXPECT_NE(JsonEditor(run.out).find("\"open\":1"), std::string::npos) << run.out;
  const Picture p = ReadPNG(file);
  EXPECT_EQ(std::tie(p.w, p.h), std::make_tuple(kWidth, kHeight));
}

TEST(EditorRun, TheSenderOpensOnRequestAndUnitsWithoutEditorsSaySo)
{
  const RunResult sender = Editor({"--open", "sender", "--event", "click:215,30@0.1", "--json"});
  ASSERT_EQ(sender.code, 0) << sender.err;
  EXPECT_EQ(JsonParam(sender.out, "Sender", "Mute"), 1.0) << sender.out;
  EXPECT_EQ(JsonParam(sender.out, "Receiver", "Mute"), 0.0) << sender.out;

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

class EditorChainProduct : public ProductTest
{
};

TEST_F(EditorChainProduct, TheUpdateCheckStartsOffUnlessTheCommandLineSetsIt)
{
  auhost::ChainSetup setup;
  setup.bundle = mBundle;
  setup.rolesOptional = true;
  setup.defaults = {{"Online Update Check", "0"}};
  setup.receiver = {{"Online Update Check", "1"}};
  auhost::AudioData output;
  auhost::ChainReport report;
  const Status s = auhost::RunChain(setup, Sine(2, 4800, 440.0, 0.1), output, report);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(ReportParam(report, 0, "Online Update Check"), 0.0);
  EXPECT_EQ(ReportParam(report, 1, "Online Update Check"), 1.0);
}

// The ZANIQ editor worked through `auhost editor`, the way a host opens it: the views and the switches between
// them, each kind of product control, the Link-ID and plug-in menus, read-outs that come alive with signal, the GUI
// scale, and the scale-2 pictures against the scale-1 ones. Runs cost seconds, so each run checks several things.

#include "support/EditorPictures.h"

#include <map>

using namespace toolstest;

namespace
{

constexpr int kWidth = 424;
constexpr int kHeight = 610;

// Places in the editor at draw scale 1 (the layout's origins and the artwork's frame sizes).
constexpr Area kPluginModeSelector = {2, 62, 68, 84};
constexpr Area kLinkIDField = {73, 62, 115, 84};
constexpr Area kRMSWindowField = {215, 62, 269, 84};
constexpr Area kPluginMenuButton = {4, 7, 26, 29};
constexpr Area kDriveKnob = {95, 279, 211, 395};
constexpr Area kMatchManual = {114, 488, 156, 514};
constexpr Area kMatchAuto = {189, 488, 231, 514};
constexpr Area kMatchManualSimple = {224, 568, 266, 594};
constexpr Area kDeltaSwitch = {365, 275, 411, 301};
constexpr Area kActiveSwitch = {10, 337, 56, 363};
constexpr Area kConfigSwitch = {365, 337, 411, 363};
constexpr Area kGUIModeSwitch = {393, 555, 421, 583};
constexpr Area kMatchPostButton = {275, 422, 315, 452};
constexpr Area kPrePostSimple = {22, 303, 152, 383};
constexpr Area kQuickHelp = {160, 320, 264, 352};
// The expert view's read-outs: pre-FX diff, gain, current, max; post-FX diff and gain.
constexpr Area kReadouts[] = {{100, 129, 162, 166}, {190, 129, 252, 166}, {100, 209, 162, 246},
                              {190, 209, 252, 246}, {100, 429, 162, 466}, {190, 429, 252, 466}};
// Pages that cover most of the editor's body.
constexpr Area kBody = {0, 100, 424, 540};

std::string At(const Area& a, int dx = 0, int dy = 0)
{
  return std::to_string((a.l + a.r) / 2 + dx) + "," + std::to_string((a.t + a.b) / 2 + dy);
}

RunResult Product(const std::string& bundle, std::vector<std::string> args)
{
  args.insert(args.begin(), {"editor", "--bundle", bundle});
  return RunInProcess(args);
}

// Adds "--event TEXT@TIME" for each event.
void Events(std::vector<std::string>& args, const std::string& time, const std::vector<std::string>& events)
{
  for (const std::string& e : events)
    args.insert(args.end(), {"--event", e + "@" + time});
}

using ZaniqEditor = ProductTest;

} // namespace

// The editor opens in the simple view. One walk through every view, at screen scale 1 and 2: the pictures of each
// view differ where the view differs, and the scale-2 picture of each view, downsampled, is the scale-1 one.
TEST_F(ZaniqEditor, EveryViewAtBothScreenScales)
{
  const std::string dir = PictureDir(mTemp);
  const char* views[] = {"simple_post", "simple_pre", "expert", "config", "sender", "help", "help_closed"};
  std::map<std::string, Picture> pictures[2];
  double controls[2] = {};
  for (int scale = 1; scale <= 2; ++scale)
  {
    std::vector<std::string> args = {"--seconds", "1", "--screen-scale", std::to_string(scale), "--json"};
    auto snap = [&](const std::string& time, const std::string& view)
    {
      args.insert(args.end(),
                  {"--snapshot", time + ":" + dir + "/zaniq_" + view + "_x" + std::to_string(scale) + ".png"});
    };
    snap("0.1", "simple_post");
    Events(args, "0.15", {"click:" + At(kPrePostSimple), "click:" + At(kMatchManualSimple)});
    snap("0.2", "simple_pre");
    Events(args, "0.25", {"click:" + At(kGUIModeSwitch)});
    snap("0.3", "expert");
    Events(args, "0.35", {"click:" + At(kConfigSwitch)});
    snap("0.4", "config");
    Events(args, "0.45", {"click:" + At(kConfigSwitch), "menu:Sender", "click:" + At(kPluginModeSelector)});
    snap("0.5", "sender");
    Events(args, "0.55", {"click:" + At(kQuickHelp)});
    snap("0.6", "help");
    Events(args, "0.65", {"click:212,400"});
    snap("0.7", "help_closed");
    const RunResult run = Product(mBundle, args);
    ASSERT_EQ(run.code, 0) << run.err;
    // The second instance, now a Sender too, keeps the settings made on the way.
    EXPECT_EQ(JsonParamAt(run.out, 1, "Plugin Mode"), 0.0) << run.out;
    EXPECT_EQ(JsonParamAt(run.out, 1, "GUI Mode"), 0.0) << run.out;
    EXPECT_EQ(JsonParamAt(run.out, 1, "Pre-Post FX"), 0.0) << run.out;
    EXPECT_EQ(JsonParamAt(run.out, 1, "Match Mode"), 0.0) << run.out;
    EXPECT_EQ(JsonParamAt(run.out, 0, "Pre-Post FX"), 1.0) << run.out;
    // The editor command starts both instances with the update check off.
    EXPECT_EQ(JsonParamAt(run.out, 0, "Online Update Check"), 0.0) << run.out;
    EXPECT_EQ(JsonParamAt(run.out, 1, "Online Update Check"), 0.0) << run.out;
    EXPECT_EQ(JsonEditorValue(run.out, "screen_scale"), scale) << run.out;
    EXPECT_EQ(JsonEditorValue(run.out, "width"), kWidth) << run.out;
    controls[scale - 1] = JsonEditorValue(run.out, "controls");
    for (const char* view : views)
    {
      Picture& p = pictures[scale - 1][view];
      p = ReadPNG(dir + "/zaniq_" + view + "_x" + std::to_string(scale) + ".png");
      ASSERT_EQ(std::tie(p.w, p.h), std::make_tuple(kWidth * scale, kHeight * scale)) << view;
    }
  }
  // Views hide and move controls; none come or go.
  EXPECT_GT(controls[0], 60);
  EXPECT_EQ(controls[0], controls[1]);

  const std::map<std::string, Picture>& p = pictures[0];
  const Area header = {0, 0, kWidth, 60}, all = {0, 0, kWidth, kHeight};
  // Pre and post differ in the simple view's body only; the expert view replaces that body and the config page
  // covers it; the Sender looks like none of them; the help page opens over the Sender and closes again.
  EXPECT_GT(ChangedIn(p.at("simple_post"), p.at("simple_pre"), kPrePostSimple), 500);
  EXPECT_EQ(ChangedIn(p.at("simple_post"), p.at("simple_pre"), header), 0);
  EXPECT_GT(ChangedIn(p.at("simple_pre"), p.at("expert"), kBody), 20000);
  EXPECT_GT(ChangedIn(p.at("expert"), p.at("config"), kBody), 20000);
  EXPECT_EQ(ChangedIn(p.at("expert"), p.at("config"), header), 0);
  EXPECT_GT(ChangedIn(p.at("config"), p.at("sender"), kBody), 20000);
  EXPECT_GT(ChangedIn(p.at("sender"), p.at("help"), kBody), 20000);
  EXPECT_EQ(ChangedIn(p.at("sender"), p.at("help_closed"), all), 0);

  for (const char* view : views)
  {
    const Downsampled d = CompareDownsampled(pictures[0][view], pictures[1][view]);
    EXPECT_LT(d.meanDifference, 3.0) << view;
    EXPECT_LT(d.farShare, 0.01) << view;
  }
}

// The Receiver's expert controls by kind, with a signal through a chain that takes 6 dB away: a knob drag, a wheel
// on a stepped parameter, a radio group, switches, and a momentary button that matches the loudness and springs
// back. The read-outs start at "---" and show numbers once the chain has run.
TEST_F(ZaniqEditor, ReceiverControlsAndReadoutsWithSignal)
{
  const std::string dir = PictureDir(mTemp);
  const std::string first = dir + "/zaniq_signal_start_x1.png", last = dir + "/zaniq_signal_end_x1.png";
  std::vector<std::string> args = {"--seconds",  "1.6",           "--fx",       "gain:-6",     "--json",
                                   "--snapshot", "0.02:" + first, "--snapshot", "1.55:" + last};
  for (const char* setting : {"GUI Mode=0", "Meter Mode=0", "Match Mode=0", "Disable Storage GainDiff=0"})
    args.insert(args.end(), {"--receiver", setting});
  Events(args, "0.1",
         {"drag:" + At(kDriveKnob, 0, 20) + ":" + At(kDriveKnob, 0, -20), "wheel:" + At(kRMSWindowField) + ":3",
          "click:" + At(kMatchAuto), "click:" + At(kDeltaSwitch), "click:" + At(kActiveSwitch)});
  const RunResult mid = Product(mBundle, args);
  ASSERT_EQ(mid.code, 0) << mid.err;
  EXPECT_EQ(JsonParam(mid.out, "Receiver", "Match Mode"), 1.0) << mid.out;
  EXPECT_EQ(JsonParam(mid.out, "Receiver", "Delta Monitor"), 1.0) << mid.out;
  EXPECT_EQ(JsonParam(mid.out, "Receiver", "Active"), 0.0) << mid.out;

  // Again, each switch and the radio group back, and the match button pressed once the levels are known.
  Events(args, "0.2", {"click:" + At(kMatchManual), "click:" + At(kDeltaSwitch), "click:" + At(kActiveSwitch)});
  Events(args, "1.4", {"click:" + At(kMatchPostButton)});
  const RunResult run = Product(mBundle, args);
  ASSERT_EQ(run.code, 0) << run.err;
  const double drive = JsonParam(run.out, "Receiver", "Drive FX");
  EXPECT_GT(drive, 0.5) << run.out;
  EXPECT_LT(drive, 24.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Sender", "Drive FX"), 0.0) << run.out;
  const double window = JsonParam(run.out, "Receiver", "RMS Window");
  EXPECT_GT(window, JsonParam(run.out, "Sender", "RMS Window")) << run.out;
  EXPECT_EQ(window, std::round(window)) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Match Mode"), 0.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Delta Monitor"), 0.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Active"), 1.0) << run.out;
  // The match button sprang back and stored the gain that makes up the drive and the effect's 6 dB.
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Match Post-FX Diff/Gain"), 0.0) << run.out;
  EXPECT_NEAR(std::fabs(JsonParam(run.out, "Receiver", "GainDiff Store")), std::fabs(6.0 - drive), 0.5) << run.out;

  const Picture a = ReadPNG(first), b = ReadPNG(last);
  ASSERT_EQ(std::tie(a.w, a.h), std::make_tuple(kWidth, kHeight));
  ASSERT_EQ(std::tie(b.w, b.h), std::make_tuple(kWidth, kHeight));
  EXPECT_GT(ChangedIn(a, b, kDriveKnob), 100);
  for (const Area& r : kReadouts)
    EXPECT_GT(ChangedIn(a, b, r), 20) << r.l << "," << r.t;
}

// The Sender's Link-ID menu and the plug-in menu; the GUI scale by the corner resizer (clamped at 300 %) and the
// plug-in menu's scale items; the host's resize.
TEST_F(ZaniqEditor, MenusAndGUIScale)
{
  const std::string dir = PictureDir(mTemp);
  const std::string large = dir + "/zaniq_scale150_x2.png", huge = dir + "/zaniq_scale300_x2.png";
  std::vector<std::string> args = {"--open", "sender", "--seconds", "1", "--json"};
  const std::string menu = "click:" + At(kPluginMenuButton);
  Events(args, "0.1", {"menu:61-80/65", "click:" + At(kLinkIDField)});
  // The plug-in menu's items in order, separators not counted: ">> Plugin menu <<", "About ...", "Open manual ...",
  // "Changelog ...", "Check for update ...", "Check for updates automatically", "Open data folder ...",
  // "Tooltips", "Reset GUI scale", "Set min GUI scale", then the submenus; positions check that order.
  Events(args, "0.2", {"menu:#8", menu, "menu:Disable Storage GainDiff/off", menu});
  Events(args, "0.3", {"drag:418,604:627,906"});
  args.insert(args.end(), {"--snapshot", "0.35:" + large, "--screen-scale", "2"});
  Events(args, "0.4", {"menu:Reset GUI scale", menu, "drag:418,604:2000,3000"});
  args.insert(args.end(), {"--snapshot", "0.45:" + huge});
  Events(args, "0.5", {"menu:#10", menu});
  const RunResult run = Product(mBundle, args);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(JsonParam(run.out, "Sender", "Link ID"), 65.0) << run.out;
  EXPECT_NE(JsonParam(run.out, "Sender", "Toggle Tooltips"), JsonParam(run.out, "Receiver", "Toggle Tooltips"))
      << run.out;
  EXPECT_EQ(JsonParam(run.out, "Sender", "Disable Storage GainDiff"), 0.0) << run.out;
  EXPECT_EQ(JsonParam(run.out, "Receiver", "Disable Storage GainDiff"), 1.0) << run.out;
  // Frames of 1.5 and 3 (the most there is) times the editor at screen scale 2; the menu then sets 0.5.
  const Picture p150 = ReadPNG(large), p300 = ReadPNG(huge);
  EXPECT_EQ(std::tie(p150.w, p150.h), std::make_tuple(3 * kWidth, 3 * kHeight));
  EXPECT_EQ(std::tie(p300.w, p300.h), std::make_tuple(6 * kWidth, 6 * kHeight));
  EXPECT_EQ(JsonParam(run.out, "Sender", "GUI Scale"), 0.5) << run.out;
  EXPECT_EQ(JsonEditorValue(run.out, "draw_scale"), 0.5) << run.out;
  EXPECT_EQ(JsonEditorValue(run.out, "width"), kWidth) << run.out;

  // "Fixed GUI Scale" from the plug-in menu; the host's resize changes the size in editor units, not the scale.
  const RunResult fixed = Product(mBundle, {"--seconds", "0.5", "--json", "--event", "menu:Fixed GUI Scale/150%@0.1",
                                            "--event", menu + "@0.1", "--event", "resize:500,700@0.2"});
  ASSERT_EQ(fixed.code, 0) << fixed.err;
  EXPECT_EQ(JsonEditorValue(fixed.out, "draw_scale"), 1.5) << fixed.out;
  EXPECT_EQ(JsonParam(fixed.out, "Receiver", "GUI Scale"), 1.5) << fixed.out;
  EXPECT_NEAR(JsonEditorValue(fixed.out, "width"), 500, 1) << fixed.out;
  EXPECT_NEAR(JsonEditorValue(fixed.out, "height"), 700, 1) << fixed.out;
}

// "About ..." shows its box from the idle work, while the audio plays: a wrong answer there fails the run all the
// same, and of two answers for one box the unused one is counted.
TEST_F(ZaniqEditor, AnswersToPanelsOfTheIdleWorkAreChecked)
{
  const std::pair<const char*, const char*> cases[] = {
    {"alert:3", "auhost: alert has no button 3\n"},
    {"alert:1", "auhost: 1 alert answer was never used: no alert came for it\n"}};
  for (const auto& [first, says] : cases)
  {
    std::vector<std::string> args = {"--seconds", "0.5"};
    Events(args, "0.1", {first, "alert:1", "menu:About", "click:" + At(kPluginMenuButton)});
    const RunResult run = Product(mBundle, args);
    EXPECT_EQ(run.code, auhost::kExitFailure) << first;
    EXPECT_EQ(run.err, says) << first;
  }
}

// `auhost editor`: the event grammar, keys of a US keyboard and the options; then runs on the test bundle with an
// editor: the host path, events moving controls, snapshots whose pixels change only where the controls are, menus,
// alerts, closing and reopening, the chain it sets up, and the errors.

#include "support/EditorPictures.h"
#include "tools/auhost/ChainRun.h"
#include "tools/auhost/EditorArgs.h"
#include "tools/auhost/EditorCommand.h"

#include <tuple>

using namespace auhost;
using namespace toolstest;
using Kind = EditorEvent::Kind;

namespace
{

EditorEvent Parsed(const std::string& text)
{
  EditorEvent e;
  std::string error;
  EXPECT_TRUE(ParseEditorEvent(text, e, error)) << text << ": " << error;
  return e;
}

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

double ReportParam(const auhost::ChainReport& report, size_t instance, const std::string& name)
{
  for (const auto& [n, v] : report.instances.at(instance).params)
    if (n == name) return v;
  return NAN;
}

} // namespace

// --- Events ---

TEST(EditorEvents, MouseEventsWithModifiersAndTimes)
{
  struct Case
  {
    const char* text;
    Kind kind;
    unsigned modifiers;
    double x, y, x2, y2, delta, seconds;
  };
  const Case cases[] = {
    {"click:78,67@0", Kind::Click, 0, 78, 67, 0, 0, 0, 0},
    {"shift+click:78,67@1.5", Kind::Click, kEditorShift, 78, 67, 0, 0, 0, 1.5},
    {"cmd+alt+rclick:1.5,-2@2", Kind::RightClick, kEditorCmd | kEditorAlt, 1.5, -2, 0, 0, 0, 2},
    {"ctrl+shift+dblclick:10,20@0.25", Kind::DoubleClick, kEditorCtrl | kEditorShift, 10, 20, 0, 0, 0, 0.25},
    {"drag:150,100:150,40@0.5", Kind::Drag, 0, 150, 100, 150, 40, 0, 0.5},
    {"alt+wheel:5,6:-3@1", Kind::Wheel, kEditorAlt, 5, 6, 0, 0, -3, 1},
    {"resize:400,300@1", Kind::Resize, 0, 400, 300, 0, 0, 0, 1},
  };
  for (const Case& c : cases)
  {
    const EditorEvent e = Parsed(c.text);
    EXPECT_EQ(std::tie(e.kind, e.modifiers), std::tie(c.kind, c.modifiers)) << c.text;
    EXPECT_EQ(std::make_tuple(e.x, e.y, e.x2, e.y2, e.delta, e.seconds),
              std::make_tuple(c.x, c.y, c.x2, c.y2, c.delta, c.seconds))
      << c.text;
    EXPECT_EQ(e.text, c.text);
  }
}

// The time is what follows the last '@'.
TEST(EditorEvents, MenuAlertCloseOpenAndTheLastAt)
{
  const EditorEvent e = Parsed("menu:Mail @ home/#2@4");
  EXPECT_EQ(e.seconds, 4.0);
  EXPECT_EQ(e.menuPath, (std::vector<std::string>{"Mail @ home", "#2"}));
  EXPECT_EQ(Parsed("text:a@b@0.5").keys.size(), 3u);
  EXPECT_TRUE(Parsed("menu:none@1").menuNone);
  EXPECT_EQ(Parsed("alert:2@1").button, 2);
  EXPECT_EQ(Parsed("close@1").kind, Kind::Close);
  EXPECT_EQ(Parsed("open@1.5").kind, Kind::Open);
}

TEST(EditorEvents, MalformedEventsAreRefusedWithOneLine)
{
  const char* bad[] = {
    "click:1,2",            // no time
    "click:1,2@-1",         // negative time
    "click:1@1",            // one coordinate
    "tap:1,2@1",            // unknown kind
    "shift+shift+click:1,2@1",
    "shift+menu:#1@1",      // modifiers only on mouse and key events
    "drag:1,2@1",           // no end point
    "wheel:1,2@1",          // no delta
    "alert:0@1",
    "menu:a//b@1",          // empty item
    "resize:0,10@1",
    "close:now@1",
    "key:F1@1",             // no such name
    "key:\xc3\xa9@1",       // not on a US keyboard
  };
  for (const char* text : bad)
  {
    EditorEvent e;
    e.button = 99;
    std::string error;
    EXPECT_FALSE(ParseEditorEvent(text, e, error)) << text;
    EXPECT_EQ(error.rfind("--event \"", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(e.button, 99) << "left unchanged: " << text;
  }
}

// A character that no key types is quoted whole in the message, however many bytes it takes.
TEST(EditorEvents, RefusedCharactersAreQuotedWhole)
{
  const std::pair<const char*, const char*> cases[] = {
    {"text:a\xc3\xa9@1", "\"\xc3\xa9\" is not a key of a US keyboard"},                    // e acute, 2 bytes
    {"text:x\xe2\x82\xac@1", "\"\xe2\x82\xac\" is not a key of a US keyboard"},            // euro sign, 3 bytes
    {"text:\xf0\x9f\x98\x80y@1", "\"\xf0\x9f\x98\x80\" is not a key of a US keyboard"},  // emoji, 4 bytes
    {"key:\xc3\xa9@1", "\"\xc3\xa9\" is not a key of a US keyboard"},
    {"text:a\xe2\x82" "b@1", "\"\xe2\x82\" is not a key of a US keyboard"}, // cut short: what there is of it
  };
  for (const auto& [text, message] : cases)
  {
    EditorEvent e;
    std::string error;
    EXPECT_FALSE(ParseEditorEvent(text, e, error)) << text;
    EXPECT_EQ(error, "--event \"" + std::string(text) + "\": " + message);
  }
}

// --- Keys ---

TEST(EditorKeys, CharactersAndNamesOfAUSKeyboard)
{
  struct Case
  {
    const char* key;
    unsigned modifiers; // given
    uint16_t code;
    std::u16string chars;  // characters ignoring modifiers
    unsigned resulting;    // modifiers after the key
    bool numericPad, function;
  };
  // Key codes of the ANSI layout, written out from the platform's published table.
  const Case cases[] = {
    {"a", 0, 0, u"a", 0, false, false},
    {"A", 0, 0, u"A", kEditorShift, false, false},
    {"a", kEditorShift, 0, u"A", kEditorShift, false, false},
    {"1", 0, 18, u"1", 0, false, false},
    {"!", 0, 18, u"!", kEditorShift, false, false},
    {".", 0, 47, u".", 0, false, false},
    {"-", 0, 27, u"-", 0, false, false},
    {"=", kEditorShift, 24, u"+", kEditorShift, false, false},
    {"?", 0, 44, u"?", kEditorShift, false, false},
    {" ", 0, 49, u" ", 0, false, false},
    {"return", 0, 36, u"\r", 0, false, false},
    {"enter", 0, 76, u"\x03", 0, true, false},
    {"escape", 0, 53, u"\x1b", 0, false, false},
    {"tab", 0, 48, u"\t", 0, false, false},
    {"tab", kEditorShift, 48, u"\x19", kEditorShift, false, false},
    {"delete", 0, 117, u"\xF728", 0, false, true},
    {"backspace", 0, 51, u"\x7f", 0, false, false},
    {"left", 0, 123, u"\xF702", 0, true, true},
    {"up", 0, 126, u"\xF700", 0, true, true},
    {"plus", 0, 24, u"+", kEditorShift, false, false},
    {"at", kEditorCmd, 19, u"@", kEditorCmd | kEditorShift, false, false},
  };
  for (const Case& c : cases)
  {
    EditorKey k;
    std::string error;
    ASSERT_TRUE(ParseEditorKey(c.key, c.modifiers, k, error)) << c.key << ": " << error;
    EXPECT_EQ(k.keyCode, c.code) << c.key;
    EXPECT_EQ(k.charactersIgnoringModifiers, c.chars) << c.key;
    EXPECT_EQ(k.modifiers, c.resulting) << c.key;
    EXPECT_EQ(std::tie(k.numericPad, k.function), std::tie(c.numericPad, c.function)) << c.key;
  }
}

TEST(EditorKeys, TextTypesEachCharacterAsAKeyAndControlMakesControlCharacters)
{
  EditorKey k;
  std::string error;
  ASSERT_TRUE(ParseEditorKey("c", kEditorCtrl, k, error));
  EXPECT_EQ(k.characters, u"\x03");
  EXPECT_EQ(k.charactersIgnoringModifiers, u"c");

  const EditorEvent e = Parsed("text:Hi 5!@0");
  ASSERT_EQ(e.keys.size(), 5u);
  EXPECT_EQ(std::make_tuple(e.keys[0].keyCode, e.keys[0].modifiers), std::make_tuple(uint16_t(4), unsigned(kEditorShift)));
  EXPECT_EQ(std::make_tuple(e.keys[1].keyCode, e.keys[1].modifiers), std::make_tuple(uint16_t(34), 0u));
  EXPECT_EQ(e.keys[3].keyCode, 23);
  EXPECT_EQ(std::make_tuple(e.keys[4].keyCode, e.keys[4].charactersIgnoringModifiers), std::make_tuple(uint16_t(18), std::u16string(u"!")));
}

// --- Options ---

TEST(EditorArgsParse, EditorOptionsAndTheChainsOwn)
{
  EditorArgs ea;
  std::string error;
  ASSERT_TRUE(ParseEditorArgs({"--bundle", "T.component", "--open", "sender", "--screen-scale", "2", "--event",
                               "click:1,2@0.5", "--receiver", "--event=x", "--snapshot", "1:a:b.png", "--event",
                               "close@1", "--png", "end.png", "--seconds", "2", "--json"},
                              ea, error))
    << error;
  EXPECT_EQ(ea.chain.bundle, "T.component");
  EXPECT_TRUE(ea.openSender);
  EXPECT_EQ(ea.screenScale, 2.0);
  ASSERT_EQ(ea.events.size(), 2u);
  EXPECT_EQ(ea.events[1].kind, Kind::Close);
  ASSERT_EQ(ea.snapshots.size(), 1u);
  EXPECT_EQ(std::tie(ea.snapshots[0].seconds, ea.snapshots[0].file), std::make_tuple(1.0, std::string("a:b.png")));
  EXPECT_EQ(ea.png, "end.png");
  // A chain option's value passes through untouched, even when it looks like an editor option.
  ASSERT_EQ(ea.chain.receiver.size(), 1u);
  EXPECT_EQ(std::tie(ea.chain.receiver[0].name, ea.chain.receiver[0].value),
            std::make_tuple(std::string("--event"), std::string("x")));
  EXPECT_EQ(std::tie(ea.chain.seconds, ea.chain.json), std::make_tuple(2.0, true));
}

TEST(EditorArgsParse, WrongOptionsAreRefused)
{
  const std::vector<std::vector<std::string>> bad = {
    {"--open", "both"},         {"--open", "sender", "--open", "receiver"}, {"--screen-scale", "1.5"},
    {"--snapshot", "a.png"},    {"--snapshot", "-1:a.png"},                 {"--png", "a", "--png", "b"},
    {"--event", "click@1"},     {"--rate", "1"},                            {"--frobnicate"},
  };
  for (const auto& args : bad)
  {
    EditorArgs ea;
    ea.png = "kept";
    std::string error;
    EXPECT_FALSE(ParseEditorArgs(args, ea, error)) << args[0];
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ea.png, "kept");
  }
}

TEST(EditorCommandLine, FailuresBeforeAnyEditorOpens)
{
  // Wrong command lines: exit 2.
  ExpectFailure(RunInProcess({"editor", "--event", "tap:1,1@0"}), kExitUsage);
  ExpectFailure(RunInProcess({"editor", "--screen-scale", "4"}), kExitUsage,
                "auhost: --screen-scale wants 1 or 2, not \"4\"\n");
  // A time past the end of the run (the end itself is in): exit 1, naming the event.
  const RunResult late = RunInProcess({"editor", "--bundle", ZANIQ_TESTGAIN_BUNDLE, "--seconds", "0.5", "--event",
                                       "click:1,1@0.75"});
  ExpectFailure(late, kExitFailure);
  EXPECT_NE(late.err.find("click:1,1@0.75"), std::string::npos) << late.err;
  EXPECT_NE(late.err.find("past the end"), std::string::npos) << late.err;
}

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
  const int changedKnob = ChangedIn(a, b, kKnob), changedToggle = ChangedIn(a, b, kToggle);
  EXPECT_GT(changedKnob, 50);
  EXPECT_GT(changedToggle, 50);
  EXPECT_EQ(ChangedIn(a, b, {0, 0, kWidth, kHeight}), changedKnob + changedToggle); // the areas do not overlap
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
    {{"--event", "alert:1@0.1"}, "alert answer was never used"},
    {{"--event", "menu:Loud@0.1", "--event", "click:215,75@0.1"}, "no item \"Loud\""},
    {{"--event", "menu:Har@0.1", "--event", "click:215,75@0.1"}, "no item \"Har\""}, // prefixes end at a space
    {{"--event", "menu:#4@0.1", "--event", "click:215,75@0.1"}, "no item \"#4\""},
    {{"--event", "alert:5@0.1", "--event", "click:215,120@0.1"}, "no button 5"},
    {{"--event", "close@0.1", "--event", "click:10,10@0.2"}, "closed"},
    {{"--event", "open@0.1"}, "open already"},
    {{"--event", "click:300,10@0.1"}, "outside the editor"},
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

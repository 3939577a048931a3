// `auhost editor`: the event grammar, keys of a US keyboard, the options, and when things happen.

#include "support/AuhostRun.h"
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

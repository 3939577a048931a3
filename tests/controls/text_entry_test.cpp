#include "controls/ITextEntryControl.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

double sNow = 0.0;
double TestClock()
{
  return sNow;
}

// Records every filled rectangle with its blend weight (the recording back end sees only path points).
class FillRecorder : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;
  using IGraphics::FillRect;
  struct Fill
  {
    IRECT r;
    float weight;
  };
  std::vector<Fill> fills;
  void FillRect(const IColor& color, const IRECT& r, const IBlend* blend) override
  {
    fills.push_back({r, blend ? blend->weight : 1.f});
    IGraphics::FillRect(color, r, blend);
  }
};

struct TextEntryTest : ::testing::Test
{
  RecordingDelegate dlg{3};
  std::unique_ptr<FillRecorder> g;
  ITextEntryControl* entry = nullptr;
  RecordingControl* gain = nullptr;  // double, -12..12 dB
  RecordingControl* count = nullptr; // int, 0..10
  RecordingControl* label = nullptr; // no parameter

  void SetUp() override
  {
    sNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    dlg.GetParam(1)->InitInt("Count", 2, 0, 10);
    dlg.GetParam(2)->InitDouble("Unused", 0.0, 0.0, 1.0, 0.01);
    dlg.SetSizeConstraints(100, 1000, 100, 1000);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<FillRecorder>(dlg, 300, 200);
    g->AttachTextEntryControl();
    entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
    gain = Add(IRECT(20, 20, 100, 60), 0);
    count = Add(IRECT(120, 20, 200, 60), 1);
    label = Add(IRECT(20, 100, 200, 130), -1);
    gain->DisablePrompt(false);
    count->DisablePrompt(false);
  }
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }

  RecordingControl* Add(const IRECT& r, int paramIdx)
  {
    return static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(r, paramIdx)));
  }
  // Opens the entry over the label control, left-aligned, holding str.
  void OpenText(const char* str)
  {
    const IText style(14.f, COLOR_BLACK, "Roboto-Regular", kAlignNear);
    g->CreateTextEntry(label, style, IRECT(20, 100, 200, 130), str, -1);
  }
  bool Key(int vk, const char* utf8 = "", bool shift = false, bool ctrl = false, bool alt = false)
  {
    return g->OnKeyDown(0, 0, IKeyPress(utf8, vk, shift, ctrl, alt));
  }
  void Type(const std::string& s)
  {
    for (char ch : s)
    {
      const char text[2] = {ch, 0};
      // Virtual key codes of the letters and digits are their upper-case characters; other keys here have none.
      const bool alnum = (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == ' ';
      const int vk = ch >= 'a' && ch <= 'z' ? ch - 32
                     : ch == '.'            ? 190
                     : ch == '-'            ? 189
                     : ch == '+'            ? 187
                     : alnum                ? ch
                                            : 0;
      Key(vk, text);
    }
  }
  std::string Text() const { return entry->GetUTF8(); }
  void FrameAt(double t)
  {
    sNow = t;
    IRECTList rects;
    g->IsDirty(rects);
  }
};

constexpr int kLeft = 37, kRight = 39, kHome = 36, kEnd = 35, kBack = 8, kDel = 46;

} // namespace

// ---- Opening, typing, filters ----

TEST_F(TextEntryTest, APromptOpensTheFieldSelectedAndTypingReplacesIt)
{
  gain->PromptUserInput(0);
  EXPECT_TRUE(g->textEntries.empty()); // the platform field is not used
  ASSERT_TRUE(entry->IsEditing());
  EXPECT_EQ(g->GetControlInTextEntry(), gain);
  EXPECT_EQ(entry->GetRECT(), IRECT(40, 32, 80, 48)); // 40 x 16 centred on the knob
  EXPECT_EQ(Text(), "0.0");
  EXPECT_EQ(entry->GetEditState().select_start, 0);
  EXPECT_EQ(entry->GetEditState().select_end, 3);
  EXPECT_EQ(entry->GetEditState().cursor, 0);

  // Clicks anywhere and keys go to the open field.
  EXPECT_EQ(g->GetMouseControl(5, 5, false), entry);
  EXPECT_TRUE(Key('5', "5"));
  EXPECT_EQ(Text(), "5");
  Type("-.");
  EXPECT_EQ(Text(), "5-.");
}

TEST_F(TextEntryTest, KeysAreFilteredByTheParameterType)
{
  // Top-row digit, shifted digit, keypad digit, signs, point, a letter.
  const struct
  {
    int vk;
    const char* utf8;
    bool shift;
    bool forInt, forDouble, forText;
  } cases[] = {
      {'7', "7", false, true, true, true},   {'1', "!", true, false, false, true}, {97, "1", false, true, true, true},
      {187, "+", true, true, true, true},    {189, "-", false, true, true, true},  {190, ".", false, false, true, true},
      {'Q', "q", false, false, false, true}, {9, "\t", false, false, false, false},
  };
  for (const auto& c : cases)
  {
    count->PromptUserInput(0);
    Key(kEnd);
    const std::string before = Text();
    EXPECT_EQ(Key(c.vk, c.utf8, c.shift), c.forInt) << c.utf8;
    EXPECT_EQ(Text() != before, c.forInt) << c.utf8;
    Key(27);

    gain->PromptUserInput(0);
    Key(kEnd);
    EXPECT_EQ(Key(c.vk, c.utf8, c.shift), c.forDouble) << c.utf8;
    Key(27);

    OpenText("");
    EXPECT_EQ(Key(c.vk, c.utf8, c.shift), c.forText) << c.utf8;
    EXPECT_EQ(Text(), c.forText ? std::string(c.utf8) : std::string()) << c.utf8;
    Key(27);
  }
}

TEST_F(TextEntryTest, MovementSelectionAndDeletionKeys)
{
  OpenText("one two three");
  Key(kEnd);
  EXPECT_EQ(entry->GetEditState().cursor, 13);
  Key(kLeft, "", false, true); // word left
  EXPECT_EQ(entry->GetEditState().cursor, 8);
  Key(38); // up acts as left
  EXPECT_EQ(entry->GetEditState().cursor, 7);
  Key(40); // down acts as right
  EXPECT_EQ(entry->GetEditState().cursor, 8);
  Key(kLeft, "", true, true); // shift+ctrl+left extends to "two "
  EXPECT_EQ(entry->GetEditState().select_start, 8);
  EXPECT_EQ(entry->GetEditState().select_end, 4);
  Key(kBack);
  EXPECT_EQ(Text(), "one three");
  Key(kHome);
  Key(kDel);
  EXPECT_EQ(Text(), "ne three");
  EXPECT_FALSE(Key(33)); // page up: nothing
  EXPECT_FALSE(Key(kLeft, "", false, false, true)); // a virtual key with alt: nothing

  Key(45); // insert mode overwrites
  Type("N");
  EXPECT_EQ(Text(), "Ne three");

  // Ctrl+A selects all, even an empty text; a double click does the same.
  Key('A', "a", false, true);
  EXPECT_EQ(entry->GetEditState().select_end, 8);
  Key(kBack);
  EXPECT_TRUE(Key('A', "a", false, true));
  Type("xy");
  g->OnMouseDblClick(30, 110, IMouseMod(true));
  EXPECT_EQ(entry->GetEditState().select_start, 0);
  EXPECT_EQ(entry->GetEditState().select_end, 2);
}

// ---- Clipboard, undo and redo ----

TEST_F(TextEntryTest, ClipboardAndUndoRedoThroughEdits)
{
  OpenText("hello world");
  g->clipboard.clear();
  Key(kEnd);
  Key('C', "c", false, true); // nothing selected: nothing copied
  EXPECT_EQ(g->clipboard, "");
  Type("!");
  Key('A', "a", false, true);
  Key('C', "c", false, true);
  EXPECT_EQ(g->clipboard, "hello world!");

  Key(kHome);
  Key(kRight, "", true, true); // select "hello "
  Key('X', "x", false, true);
  EXPECT_EQ(g->clipboard, "hello ");
  EXPECT_EQ(Text(), "world!");
  Key(kEnd);
  Key('V', "v", false, true);
  EXPECT_EQ(Text(), "world!hello ");

  Key('Z', "z", false, true);
  EXPECT_EQ(Text(), "world!");
  Key('Z', "z", false, true);
  EXPECT_EQ(Text(), "hello world!");
  Key('Z', "z", false, true);
  EXPECT_EQ(Text(), "hello world");
  Key('Z', "z", true, true);
  Key('Z', "z", true, true);
  EXPECT_EQ(Text(), "world!");

  // An empty clipboard pastes nothing.
  g->clipboard.clear();
  EXPECT_TRUE(Key('V', "v", false, true));
  EXPECT_EQ(Text(), "world!");
}

TEST_F(TextEntryTest, UndoNeverReachesPastTheTextOfALaterEntry)
{
  OpenText("a rather long starting text");
  Key(kEnd);
  Type("abcdef");
  Key(kHome);
  Key(kDel);
  Key(27);

  // The next entry starts with no history: undo and redo change nothing.
  OpenText("x");
  Key('Z', "z", false, true);
  Key('Z', "z", false, true);
  Key('Z', "z", true, true);
  EXPECT_EQ(Text(), "x");

  // Positions past the end are clamped by the text hooks themselves.
  entry->DeleteChars(5, 10);
  EXPECT_EQ(Text(), "x");
  const char16_t yz[] = u"yz";
  entry->InsertChars(40, yz, 2);
  EXPECT_EQ(Text(), "xyz");
}

// ---- Text with no valid form ----

TEST_F(TextEntryTest, InvalidUTF8AndCharactersBeyondSixteenBitsNeverBreakTheText)
{
  // Written out independently: U+1F3B5 is F0 9F 8E B5 in UTF-8 and D83C DFB5 in UTF-16.
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xF0\x9F\x8E\xB5"), std::u16string(u"\xD83C\xDFB5"));
  EXPECT_EQ(TextEntryUTF8ToUTF16("a\xFF" "b"), std::u16string(u"a\xFFFD" "b"));
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xE2\x82"), std::u16string(u"\xFFFD\xFFFD"));   // cut short
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xC0\xAF"), std::u16string(u"\xFFFD\xFFFD"));   // overlong '/'
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xED\xA0\x80"), std::u16string(3, u'\xFFFD')); // encoded surrogate
  const char16_t lone[] = {u'a', 0xDC00, u'b'};
  EXPECT_EQ(TextEntryUTF16ToUTF8(lone, 3), "a\xEF\xBF\xBD" "b");

  // The clipboard may hold anything.
  OpenText("");
  g->clipboard = "x\xFF\xF0\x9F\x8E\xB5";
  Key('V', "v", false, true);
  EXPECT_EQ(entry->GetEditString(), std::u16string(u"x\xFFFD\xD83C\xDFB5"));
  Key('A', "a", false, true);
  Key('C', "c", false, true);
  EXPECT_EQ(g->clipboard, "x\xEF\xBF\xBD\xF0\x9F\x8E\xB5");

  // A typed character above U+FFFF goes in as its pair, and one undo takes out both halves.
  Key(kEnd);
  EXPECT_TRUE(Key(0, "\xF0\x9F\x8E\xB5"));
  EXPECT_EQ(entry->GetEditString().size(), 6u);
  EXPECT_EQ(entry->GetEditString().substr(4), std::u16string(u"\xD83C\xDFB5"));
  Key('Z', "z", false, true);
  EXPECT_EQ(entry->GetEditString().size(), 4u);

  // Key texts: a lead byte without its continuation stands for itself, five-byte forms for '_', an encoded
  // surrogate for U+FFFD.
  Key(kEnd);
  Key(0, "\xC3");
  Key(0, "\xF8\x88\x80\x80");
  Key(0, "\xED\xA0\x80");
  EXPECT_EQ(entry->GetEditString().substr(4), std::u16string(u"\x00C3_\xFFFD"));
  // Deleting half a pair leaves U+FFFD, never a broken text.
  Key(kHome);
  Key(kRight);
  Key(kRight);
  Key(kRight); // between the halves
  Key(kBack);
  EXPECT_EQ(Text().substr(0, 5), "x\xEF\xBF\xBD\xEF");
}

// ---- Committing and cancelling ----

TEST_F(TextEntryTest, CommitSetsTheParameterInTheCLocaleClampedOrRefused)
{
  const char* oldLocale = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = oldLocale ? oldLocale : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // a comma locale when installed; the C form must still be read

  struct Case
  {
    const char* typed;
    bool sent;
    double value; // real value
  } cases[] = {{"1.5", true, 1.5}, {"99", true, 12.0}, {"-40", true, -12.0}, {"abc", false, 0.0}, {"", false, 0.0}};
  for (const auto& c : cases)
  {
    dlg.sentFromUI.clear();
    gain->PromptUserInput(0);
    g->clipboard = c.typed;
    Key('A', "a", false, true);
    Key(kBack);
    Key('V', "v", false, true);
    EXPECT_TRUE(Key(13)); // Return commits
    EXPECT_FALSE(entry->IsEditing());
    EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
    EXPECT_TRUE(entry->GetRECT().Empty());
    ASSERT_EQ(dlg.sentFromUI.size(), c.sent ? 1u : 0u) << c.typed;
    if (!c.sent) continue;
    EXPECT_EQ(dlg.sentFromUI[0].paramIdx, 0);
    EXPECT_NEAR(dlg.sentFromUI[0].value, (c.value + 12.0) / 24.0, 1e-9) << c.typed;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());

  // Text of a control without a parameter goes to the control.
  OpenText("abc");
  Key(13);
  ASSERT_FALSE(label->events.empty());
  EXPECT_EQ(label->events.back(), "text abc/-1");
}

TEST_F(TextEntryTest, EscapeCancelsAndAClickOutsideCommits)
{
  gain->PromptUserInput(0);
  Type("7");
  EXPECT_TRUE(Key(27));
  EXPECT_FALSE(entry->IsEditing());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_TRUE(dlg.sentFromUI.empty());

  gain->PromptUserInput(0);
  Type("6");
  g->OnMouseDown({IMouseInfo{250, 150, 0, 0, IMouseMod(false, true)}}); // right button outside
  g->OnMouseUp({IMouseInfo{250, 150, 0, 0, IMouseMod(false, true)}});
  EXPECT_FALSE(entry->IsEditing());
  ASSERT_EQ(dlg.sentFromUI.size(), 1u);
  EXPECT_NEAR(dlg.sentFromUI[0].value, 18.0 / 24.0, 1e-9);
}

// ---- Mouse and the edit menu ----

TEST_F(TextEntryTest, ClicksPlaceTheCursorDragsSelectAndTheRightButtonOpensTheEditMenu)
{
  OpenText("abcdef"); // left-aligned at x 20, 7 points per character
  g->OnMouseDown({IMouseInfo{29, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(entry->GetEditState().cursor, 1);
  EXPECT_EQ(entry->GetEditState().select_start, entry->GetEditState().select_end);
  g->OnMouseDrag({IMouseInfo{42, 110, 13, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{42, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(entry->GetEditState().select_start, 1);
  EXPECT_EQ(entry->GetEditState().select_end, 3);
  EXPECT_TRUE(entry->IsCursorVisible());

  g->menuChoice = 1; // "Copy"
  g->OnMouseDown({IMouseInfo{60, 110, 0, 0, IMouseMod(false, true)}});
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Cut", "Copy", "Paste"}));
  EXPECT_EQ(g->menus[0].bounds, IRECT(60, 110, 60, 110));
  EXPECT_EQ(g->clipboard, "bc");
  EXPECT_TRUE(entry->IsEditing());

  g->menuChoice = 0; // "Cut"
  g->OnMouseDown({IMouseInfo{60, 110, 0, 0, IMouseMod(false, true)}});
  EXPECT_EQ(Text(), "adef");
}

// ---- Blinking ----

TEST_F(TextEntryTest, TheCursorBlinksWhileOpenAndTheBlinkEndsWithTheEntry)
{
  OpenText("ab");
  Key(kEnd);
  EXPECT_TRUE(entry->IsCursorVisible());
  FrameAt(100.4);
  EXPECT_TRUE(entry->IsCursorVisible());
  FrameAt(100.6);
  EXPECT_FALSE(entry->IsCursorVisible());
  FrameAt(101.1); // a new cycle
  EXPECT_TRUE(entry->IsCursorVisible());

  // Closed: no animation stays behind, so the editor stops redrawing.
  Key(27);
  FrameAt(102.0);
  g->SetAllControlsClean();
  IRECTList rects;
  EXPECT_FALSE(g->IsDirty(rects));

  // A click outside commits on mouse-down; its mouse-up must not start a blink again.
  OpenText("ab");
  g->OnMouseDown({IMouseInfo{250, 180, 0, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{250, 180, 0, 0, IMouseMod(true)}});
  EXPECT_FALSE(entry->IsEditing());
  FrameAt(104.0);
  g->SetAllControlsClean();
  EXPECT_FALSE(g->IsDirty(rects));

  // Closing the editor with an entry open.
  OpenText("ab");
  g.reset();
}

TEST_F(TextEntryTest, FocusLossHidesTheEntryAndTheNextOneShowsAgain)
{
  OpenText("ab");
  g->OnFocusLost();
  EXPECT_TRUE(entry->IsHidden());
  Key(13);
  OpenText("cd");
  EXPECT_FALSE(entry->IsHidden());
}

// ---- Drawing ----

TEST_F(TextEntryTest, DrawsBackgroundSelectionTextAndCursor)
{
  // Left-aligned in (20, 100, 200, 130), size 14: the row spans 108..122, shrunk by 1.4 at both ends.
  OpenText("abc");
  g->fills.clear();
  entry->Draw(*g);
  ASSERT_EQ(g->fills.size(), 2u);
  EXPECT_EQ(g->fills[0].r, IRECT(20, 100, 200, 130));
  EXPECT_NEAR(g->fills[1].r.L, 20.f, 1e-4);
  EXPECT_NEAR(g->fills[1].r.R, 41.f, 1e-4);
  EXPECT_NEAR(g->fills[1].r.T, 109.4f, 1e-4);
  EXPECT_NEAR(g->fills[1].r.B, 120.6f, 1e-4);
  EXPECT_FLOAT_EQ(g->fills[1].weight, 0.2f);
  const auto text = g->Calls("DoDrawText");
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].text, "abc");

  Key(kEnd); // no selection: the cursor after "abc"
  g->fills.clear();
  entry->Draw(*g);
  ASSERT_EQ(g->fills.size(), 2u);
  EXPECT_EQ(g->fills[1].r.L, 40.f);
  EXPECT_EQ(g->fills[1].r.R, 41.f);
  EXPECT_FLOAT_EQ(g->fills[1].weight, 1.f);

  // Empty centred text: background and the cursor at the centre only.
  const IText centred(14.f, COLOR_BLACK);
  g->CreateTextEntry(label, centred, IRECT(20, 100, 200, 130), "", -1);
  g->drawn.clear();
  g->fills.clear();
  entry->Draw(*g);
  ASSERT_EQ(g->fills.size(), 2u);
  EXPECT_EQ(g->fills[1].r.L, 109.f);
  EXPECT_EQ(g->fills[1].r.R, 110.f);
  EXPECT_TRUE(g->Calls("DoDrawText").empty());
}

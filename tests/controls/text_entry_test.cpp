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

struct TextEntryTest : ::testing::Test
{
  RecordingDelegate dlg{2};
  std::unique_ptr<ScriptedGraphics> g;
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
    dlg.SetSizeConstraints(100, 1000, 100, 1000);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 300, 200);
    g->AttachTextEntryControl();
    entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
    gain = Add(IRECT(20, 20, 100, 60), 0);
    count = Add(IRECT(120, 20, 200, 60), 1);
    label = Add(IRECT(20, 100, 200, 130), -1);
  }
  void TearDown() override { IGraphics::SetClock(nullptr); }

  RecordingControl* Add(const IRECT& r, int paramIdx)
  {
    auto* c = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(r, paramIdx)));
    c->DisablePrompt(false);
    return c;
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
  // Keys without a virtual code of their own (the filter decides by their text).
  void Type(const std::string& s)
  {
    for (char ch : s)
    {
      const char text[2] = {ch, 0};
      Key(0, text);
    }
  }
  bool Ctrl(int vk, bool shift = false) { return Key(vk, "", shift, true); }
  std::string Text() const { return entry->GetUTF8(); }
  void FrameAt(double t)
  {
    sNow = t;
    IRECTList rects;
    g->IsDirty(rects);
  }
};

constexpr int kRight = 39, kHome = 36, kEnd = 35, kBack = 8;

} // namespace

// ---- Opening, typing, filters ----

TEST_F(TextEntryTest, APromptOpensTheFieldSelectedAndKeysAreFilteredByType)
{
  gain->PromptUserInput(0);
  EXPECT_TRUE(g->textEntries.empty()); // not the platform's field
  EXPECT_EQ(g->GetControlInTextEntry(), gain);
  EXPECT_EQ(entry->GetRECT(), IRECT(40, 32, 80, 48)); // 40 x 16 centred on the control
  EXPECT_EQ(Text(), "0.0");
  EXPECT_EQ(entry->GetEditState().select_end, 3);
  EXPECT_EQ(g->GetMouseControl(5, 5, false), entry); // every click goes to the open field
  Key(27);

  // Shifted digit, keypad digit, sign, point, a letter, tab.
  const struct
  {
    int vk;
    const char* utf8;
    bool shift;
    bool forInt, forDouble, forText;
  } cases[] = {
      {'1', "!", true, false, false, true}, {97, "1", false, true, true, true},   {189, "-", false, true, true, true},
      {190, ".", false, false, true, true}, {'Q', "q", false, false, false, true}, {9, "\t", false, false, false, false},
  };
  for (const auto& c : cases)
  {
    const std::pair<RecordingControl*, bool> fields[] = {{count, c.forInt}, {gain, c.forDouble}, {label, c.forText}};
    for (const auto& [control, expected] : fields)
    {
      if (control == label)
        OpenText("");
      else
        control->PromptUserInput(0);
      Key(kEnd);
      const std::string before = Text();
      EXPECT_EQ(Key(c.vk, c.utf8, c.shift), expected) << c.utf8;
      EXPECT_EQ(Text(), expected ? before + c.utf8 : before) << c.utf8;
      Key(27);
    }
  }
}

// ---- Clipboard, undo and redo ----

TEST_F(TextEntryTest, ClipboardAndUndoRedoThroughEdits)
{
  OpenText("hello world");
  Key(kEnd);
  Type("!");
  Key(kHome);
  Key(kRight, "", true, true); // "hello "
  Ctrl('X');
  EXPECT_EQ(g->clipboard, "hello ");
  Key(kEnd);
  Ctrl('V');
  EXPECT_EQ(Text(), "world!hello ");

  const char* const undone[] = {"world!", "hello world!", "hello world"};
  for (const char* t : undone)
  {
    Ctrl('Z');
    EXPECT_EQ(Text(), t);
  }
  Ctrl('Z', true);
  Ctrl('Z', true);
  EXPECT_EQ(Text(), "world!");
}

TEST_F(TextEntryTest, UndoNeverReachesPastTheTextOfALaterEntry)
{
  OpenText("a rather long starting text");
  Key(kEnd);
  Type("abcdef");
  Key(kHome);
  Key(46); // delete
  Key(27);

  // The next entry starts without history.
  OpenText("x");
  Ctrl('Z');
  Ctrl('Z');
  Ctrl('Z', true);
  EXPECT_EQ(Text(), "x");
  // Positions past the end are clamped by the text hooks themselves.
  entry->DeleteChars(5, 10);
  entry->InsertChars(40, u"yz", 2);
  EXPECT_EQ(Text(), "xyz");
}

// ---- Text with no valid form ----

TEST_F(TextEntryTest, InvalidUTF8AndCharactersBeyondSixteenBitsNeverBreakTheText)
{
  // Written out independently: U+1F3B5 is F0 9F 8E B5 in UTF-8 and D83C DFB5 in UTF-16.
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xF0\x9F\x8E\xB5"), std::u16string(u"\xD83C\xDFB5"));
  EXPECT_EQ(TextEntryUTF8ToUTF16("a\xFF" "b"), std::u16string(u"a\xFFFD" "b"));
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xE2\x82"), std::u16string(2, u'\xFFFD'));     // cut short
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xC0\xAF"), std::u16string(2, u'\xFFFD'));     // overlong '/'
  EXPECT_EQ(TextEntryUTF8ToUTF16("\xED\xA0\x80"), std::u16string(3, u'\xFFFD')); // encoded surrogate
  const char16_t lone[] = {u'a', 0xDC00, u'b'};
  EXPECT_EQ(TextEntryUTF16ToUTF8(lone, 3), "a\xEF\xBF\xBD" "b");

  // The clipboard may hold anything.
  OpenText("");
  g->clipboard = "x\xFF\xF0\x9F\x8E\xB5";
  Ctrl('V');
  EXPECT_EQ(entry->GetEditString(), std::u16string(u"x\xFFFD\xD83C\xDFB5"));
  Ctrl('A');
  Ctrl('C');
  EXPECT_EQ(g->clipboard, "x\xEF\xBF\xBD\xF0\x9F\x8E\xB5");

  // A typed character above U+FFFF goes in as its pair; one undo takes out both halves.
  Key(kEnd);
  EXPECT_TRUE(Key(0, "\xF0\x9F\x8E\xB5"));
  EXPECT_EQ(entry->GetEditString().substr(4), std::u16string(u"\xD83C\xDFB5"));
  Ctrl('Z');
  EXPECT_EQ(entry->GetEditString().size(), 4u);

  // Key texts: a lead byte cut short stands for itself, five-byte forms for '_', an encoded surrogate for U+FFFD.
  Key(0, "\xC3");
  Key(0, "\xF8\x88\x80\x80");
  Key(0, "\xED\xA0\x80");
  EXPECT_EQ(entry->GetEditString().substr(4), std::u16string(u"\x00C3_\xFFFD"));
  // Deleting half a pair leaves U+FFFD, never a broken text.
  Key(kHome);
  for (int i = 0; i < 3; ++i)
    Key(kRight);
  Key(kBack);
  EXPECT_EQ(Text().substr(0, 5), "x\xEF\xBF\xBD\xEF");
}

// ---- Committing and cancelling ----

TEST_F(TextEntryTest, CommitSetsTheParameterInTheCLocaleClampedOrRefusedAndEscapeCancels)
{
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // a comma locale where installed

  const struct
  {
    const char* typed;
    bool sent;
    double value;
  } cases[] = {{"1.5", true, 1.5}, {"99", true, 12.0}, {"abc", false, 0.0}};
  for (const auto& c : cases)
  {
    dlg.sentFromUI.clear();
    gain->PromptUserInput(0);
    g->clipboard = c.typed; // pasted text passes no key filter
    Ctrl('A');
    Key(kBack);
    Ctrl('V');
    EXPECT_TRUE(Key(13));
    EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
    ASSERT_EQ(dlg.sentFromUI.size(), c.sent ? 1u : 0u) << c.typed;
    if (c.sent)
    {
      EXPECT_NEAR(dlg.sentFromUI[0].value, (c.value + 12.0) / 24.0, 1e-9) << c.typed;
    }
  }
  std::setlocale(LC_NUMERIC, saved.c_str());

  OpenText("abc"); // without a parameter the control gets the text
  Key(13);
  EXPECT_EQ(label->events.back(), "text abc/-1");

  // Escape cancels; a click outside commits.
  dlg.sentFromUI.clear();
  gain->PromptUserInput(0);
  Key('7', "7");
  EXPECT_TRUE(Key(27));
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_TRUE(dlg.sentFromUI.empty());

  gain->PromptUserInput(0);
  Key('6', "6");
  g->OnMouseDown({IMouseInfo{250, 150, 0, 0, IMouseMod(false, true)}}); // right button, outside
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
  g->OnMouseDrag({IMouseInfo{42, 110, 13, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{42, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(entry->GetEditState().select_start, 1);
  EXPECT_EQ(entry->GetEditState().select_end, 3);

  g->menuChoice = 1; // "Copy"
  g->OnMouseDown({IMouseInfo{60, 110, 0, 0, IMouseMod(false, true)}});
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Cut", "Copy", "Paste"}));
  EXPECT_EQ(g->menus[0].bounds, IRECT(60, 110, 60, 110));
  EXPECT_EQ(g->clipboard, "bc");
  EXPECT_TRUE(entry->IsEditing());
}

// ---- Blinking ----

TEST_F(TextEntryTest, TheCursorBlinksWhileOpenAndTheBlinkEndsWithTheEntry)
{
  OpenText("ab");
  const std::pair<double, bool> phases[] = {{100.4, true}, {100.6, false}, {101.1, true}};
  for (const auto& [t, visible] : phases)
  {
    FrameAt(t);
    EXPECT_EQ(entry->IsCursorVisible(), visible) << t;
  }

  // Closed by Escape, or by a click outside whose mouse-up follows: nothing keeps the editor redrawing.
  IRECTList rects;
  Key(27);
  FrameAt(102.0);
  g->SetAllControlsClean();
  EXPECT_FALSE(g->IsDirty(rects));
  OpenText("ab");
  g->OnMouseDown({IMouseInfo{250, 180, 0, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{250, 180, 0, 0, IMouseMod(true)}});
  FrameAt(104.0);
  g->SetAllControlsClean();
  EXPECT_FALSE(g->IsDirty(rects));

  // Focus loss hides an open entry; the next one shows again.
  OpenText("ab");
  g->OnFocusLost();
  EXPECT_TRUE(entry->IsHidden());
  Key(13);
  OpenText("cd");
  EXPECT_FALSE(entry->IsHidden());
  g.reset(); // the editor closes with the entry open
}

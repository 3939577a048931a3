#include "controls/IPopupMenuControl.h"
#include "controls/ISpecialControls.h"
#include "controls/ITextControls.h"
#include "controls/ITextEntryControl.h"
#include "controls/support/ClockedFixture.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::ClockedFixture;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// A caller that owns the menu it shows, as product controls do.
class MenuOwner : public RecordingControl
{
public:
  using RecordingControl::RecordingControl;
  IPopupMenu menu{"", 0, false, {"one", "two", "three"}};
};

constexpr float kCharW = 7.f; // the recording back end's text width per character
constexpr float kRowH = 16.f; // text size: the recording back end measures one line as its height
constexpr int kRight = 39, kHome = 36, kEnd = 35, kBack = 8;

// The controls the context makes itself (texts, resizer, bubble, frame-time display, text entry, popup menu).
struct SpecialControlsTest : ClockedFixture<ScriptedGraphics>
{
  // 0: -12..12 dB; 1: int 0..10; 2: bool; 3: enumeration
  SpecialControlsTest() : ClockedFixture(4) {}
  ITextEntryControl* entry = nullptr;
  RecordingControl* gain = nullptr;  // linked to parameter 0
  RecordingControl* count = nullptr; // linked to parameter 1
  RecordingControl* label = nullptr; // no parameter
  IPopupMenuControl* popup = nullptr;
  RecordingControl* caller = nullptr;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    dlg.GetParam(1)->InitInt("Count", 2, 0, 10);
    dlg.GetParam(2)->InitBool("On", false);
    dlg.GetParam(3)->InitEnum("Mode", 1, {"Low", "Mid", "High"});
    dlg.SetSizeConstraints(100, 1000, 100, 1000);
    ClockedFixture::SetUp();
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  static IMouseInfo At(float x, float y) { return IMouseInfo{x, y, 0, 0, IMouseMod(true)}; }
  void Click(float x, float y)
  {
    g->OnMouseDown({At(x, y)});
    g->OnMouseUp({At(x, y)});
  }
  void Click(const IRECT& r) { Click(r.MW(), r.MH()); }
  // One frame at time t (seconds): animations step.
  void FrameAt(double t)
  {
    Now() = t;
    IRECTList rects;
    g->IsDirty(rects);
  }

  // The in-editor text entry over three controls.
  void MakeEntry()
  {
    g->AttachTextEntryControl();
    entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
    gain = Add(IRECT(20, 20, 100, 60), 0);
    count = Add(IRECT(120, 20, 200, 60), 1);
    label = Add(IRECT(20, 100, 200, 130), -1);
  }
  RecordingControl* Add(const IRECT& r, int paramIdx)
  {
    auto* c = Attach(new RecordingControl(r, paramIdx));
    c->DisablePrompt(false);
    return c;
  }
  // Opens the entry over the label control, left-aligned, holding str.
  void OpenText(const char* str)
  {
    const IText style(14.f, COLOR_BLACK, "Roboto-Regular", kAlignNear);
    g->CreateTextEntry(label, style, IRECT(20, 100, 200, 130), str, -1);
  }
  bool Key(int vk, const std::string& utf8 = "", bool shift = false, bool ctrl = false, bool alt = false)
  {
    return g->OnKeyDown(0, 0, IKeyPress(utf8.c_str(), vk, shift, ctrl, alt));
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

  // An editor of w × h with the editor-drawn menu and a control that calls it.
  void MakePopup(int w = 400, int h = 300)
  {
    g = std::make_unique<ScriptedGraphics>(dlg, w, h);
    g->AttachPopupMenuControl(IText(kRowH, COLOR_BLACK));
    popup = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
    caller = Attach(new RecordingControl(IRECT(0, 0, 50, 50)));
  }
  void Open(IPopupMenu& menu, const IRECT& anchor)
  {
    g->CreatePopupMenu(caller, menu, anchor, 0), Frame(0.101), Frame(0.001);
  }
  void Collapse() { Frame(0.101), Frame(0.101), Frame(0.101); }
  void Over(const IRECT& r) { g->OnMouseOver(r.MW(), r.MH(), IMouseMod()); }
  const IRECT& Cell(int panel, int row) { return *popup->GetPanel(panel)->GetCell(row); }
};

} // namespace

// ---- Texts, toggles, captions, links ----

TEST_F(SpecialControlsTest, TextsAndFittedBounds)
{
  // The recording back end measures 7 points per character and keeps the rectangle's height.
  auto* fitted = Attach(new ITextControl(IRECT(100, 100, 200, 120), "abcd", DEFAULT_TEXT, COLOR_WHITE, true));
  EXPECT_EQ(fitted->GetRECT(), IRECT(136, 110, 164, 110));

  fitted->SetTargetAndDrawRECTs(IRECT(0, 0, 50, 50));
  fitted->SetStr("ab");
  EXPECT_EQ(fitted->GetRECT(), IRECT(18, 25, 32, 25));

  ITextControl t(IRECT(0, 0, 10, 10), nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStr("x");
  t.SetStr(nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStrFmt(32, "%s at %d%%", "50%s %n", 3); // the argument is copied, not read as a format
  EXPECT_STREQ(t.GetStr(), "50%s %n at 3%");
  t.SetStrFmt(4, "%d", 1234567);
  EXPECT_STREQ(t.GetStr(), "1234");
}

TEST_F(SpecialControlsTest, TogglesCaptionsAndLinks)
{
  auto* toggle = Attach(new ITextToggleControl(IRECT(0, 0, 50, 20), 2, "off", "on"));
  toggle->SetValue(0.5);
  toggle->SetDirty(false);
  EXPECT_STREQ(toggle->GetStr(), "off");
  Click(10, 10);
  EXPECT_DOUBLE_EQ(toggle->GetValue(), 1.0);
  EXPECT_STREQ(toggle->GetStr(), "on");
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 1.0);

  // Captions: the display text with its label; a triangle only for enumerations, whose click opens a menu.
  auto* gain = Attach(new ICaptionControl(IRECT(100, 0, 200, 20), 0));
  auto* mode = Attach(new ICaptionControl(IRECT(100, 50, 200, 70), 3, DEFAULT_TEXT, COLOR_WHITE, false));
  EXPECT_EQ(gain->GetTriangleRECT().W(), 0.f);
  gain->Draw(*g);
  mode->Draw(*g);
  EXPECT_STREQ(gain->GetStr(), "0.0 dB");
  EXPECT_STREQ(mode->GetStr(), "Mid");
  g->menuChoice = 2;
  Click(150, 60);
  EXPECT_DOUBLE_EQ(dlg.GetParam(3)->Value(), 2.0);

  // Links open their URL on click.
  Attach(new IURLControl(IRECT(0, 100, 100, 120), "home", "https://example.org/"));
  Click(10, 110);
  EXPECT_EQ(g->Count("OpenURL(https://example.org/)"), 1);
}

// ---- Corner resizer ----

TEST_F(SpecialControlsTest, CornerResizerKeepsItsScreenSizeAndRestoresTheFirstSize)
{
  g = std::make_unique<ScriptedGraphics>(dlg, 400, 300, 0, 2.f);
  g->AttachCornerResizer(EUIResizerMode::Size, false, COLOR_TRANSLUCENT, COLOR_BLACK, COLOR_RED, 20.f);
  IControl* resizer = g->GetCornerResizer();
  ASSERT_NE(resizer, nullptr);
  EXPECT_EQ(resizer->GetRECT(), IRECT(390, 290, 400, 300)); // 20 screen points at draw scale 2
  // A drag resizes the editor; the resizer follows the corner.
  g->OnMouseDown({At(395, 295)});
  g->OnMouseDrag({IMouseInfo{500, 350, 105, 55, IMouseMod(true)}});
  g->OnMouseUp({At(500, 350)});
  EXPECT_EQ(g->Width(), 500);
  EXPECT_EQ(g->Height(), 350);
  EXPECT_EQ(resizer->GetRECT(), IRECT(490, 340, 500, 350));

  g->Resize(600, 500, 1.5f, true);
  resizer->OnMouseDblClick(0, 0, IMouseMod());
  EXPECT_EQ(g->Width(), 400);
  EXPECT_EQ(g->Height(), 300);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.f);
  EXPECT_EQ(resizer->GetRECT(), IRECT(380, 280, 400, 300));
}

// ---- Bubble ----

TEST_F(SpecialControlsTest, BubblePlacementFlipsAtTheEdges)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(350, 100, 390, 140))));

  // "12.5 dB" measures 49 × 0; with margins (5 + 10 each side, 10 above and below) 79 × 20.
  g->ShowBubbleControl(knob, 380, 120, "12.5 dB");
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowRight);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(271, 110, 350, 130)); // ends at the caller's left edge

  g->ShowBubbleControl(knob, 100, 120, "12.5 dB");
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowLeft);
  EXPECT_EQ(bubble->GetRECT(), IRECT(100, 110, 350, 130)); // the old place is redrawn too

  g->ShowBubbleControl(knob, 200, 10, "x", kVertical, IRECT(0, 0, 60, 30));
  EXPECT_EQ(bubble->GetArrowSide(), IBubbleControl::kArrowTop);
  EXPECT_EQ(bubble->GetBubbleBounds(), IRECT(155, 50, 245, 100)); // moved down by caller height + bubble height
}

TEST_F(SpecialControlsTest, AControlShowsItsParametersValueInABubbleBesideOrAboveItself)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = Attach(new RecordingControl(IRECT(100, 100, 140, 140), 0));

  // Content at least 50 × 30 (a text measures 7 per character and no height), grown by 15 left and right and 10
  // above and below. Horizontal: from the right edge, centred on the middle of the bounds; vertical: centred on
  // the middle, its bottom at the top edge.
  struct Case
  {
    double gain;
    bool vertical;
    const char* text;
    IRECT bounds;
    int arrow;
  };
  for (const Case& c : {Case{4.5, false, "4.5 dB", IRECT(140, 95, 220, 145), IBubbleControl::kArrowLeft},
                        Case{-11.5, false, "-11.5 dB", IRECT(140, 95, 226, 145), IBubbleControl::kArrowLeft},
                        Case{4.5, true, "4.5 dB", IRECT(80, 50, 160, 100), IBubbleControl::kArrowBottom}})
  {
    dlg.GetParam(0)->Set(c.gain);
    c.vertical ? knob->ShowBubbleVertical() : knob->ShowBubbleHorizontal();
    EXPECT_EQ(std::string(bubble->GetBubbleText()), c.text);
    EXPECT_EQ(bubble->GetBubbleBounds(), c.bounds) << c.text;
    EXPECT_EQ(std::pair(bubble->GetArrowSide(), bubble->GetCaller()), std::pair(c.arrow, (IControl*)knob));
  }

  // A control without a parameter has no value to show.
  auto* plain = Attach(new RecordingControl(IRECT(10, 10, 20, 20)));
  plain->ShowBubbleHorizontal();
  plain->ShowBubbleVertical();
  EXPECT_EQ(bubble->GetCaller(), knob);
}

TEST_F(SpecialControlsTest, BubbleFadesInHoldsWhileDraggedFadesOutAndForgetsARemovedCaller)
{
  g->AttachBubbleControl();
  auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
  auto* knob = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->OnMouseDown({At(60, 60)});
  ASSERT_TRUE(g->ControlIsCaptured(knob));

  g->ShowBubbleControl(knob, 90, 70, "1");
  FrameAt(100.1);
  EXPECT_NEAR(bubble->GetBubbleBlend().weight, 0.475, 1e-4);
  FrameAt(100.25);
  EXPECT_FLOAT_EQ(bubble->GetBubbleBlend().weight, 0.95f);
  FrameAt(101.3); // the hold is over, but the knob is still held
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kShowing);

  g->OnMouseUp({At(60, 60)});
  FrameAt(101.55); // the next 200 ms check
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsing);
  FrameAt(101.8);
  EXPECT_TRUE(bubble->IsHidden());

  // Removing the caller while it shows leaves nothing behind.
  g->OnMouseDown({At(60, 60)});
  g->ShowBubbleControl(knob, 90, 70, "1");
  FrameAt(102.1);
  g->RemoveControl(knob);
  EXPECT_EQ(bubble->GetCaller(), nullptr);
  EXPECT_FALSE(bubble->GetAnimationFunction());
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kCollapsed);
  FrameAt(103.0);

  // A new control shows the bubble afresh.
  auto* other = g->AttachControl(new RecordingControl(IRECT(50, 50, 90, 90)));
  g->ShowBubbleControl(other, 90, 70, "2");
  EXPECT_EQ(bubble->GetCaller(), other);
  EXPECT_EQ(bubble->GetState(), IBubbleControl::kExpanding);

  g->ShowBubbleControl(nullptr, NAN, 0, "3"); // refused
  EXPECT_EQ(bubble->GetCaller(), other);
}

// ---- Frame-time display ----

TEST_F(SpecialControlsTest, FrameTimeDisplayRingAndRemovalWhileCaptured)
{
  g->ShowFPSDisplay(true);
  auto* fps = static_cast<IFPSDisplayControl*>(g->GetFPSDisplay());

  // 101 frame times of 20 ms: the last overwrites the oldest (the first frame's long time since start).
  for (int i = 0; i <= 101; ++i)
  {
    Now() = 200.0 + 0.02 * i;
    g->BeginFrame();
  }
  g->drawn.clear();
  fps->Draw(*g);
  ASSERT_EQ(g->Calls("DoDrawText").size(), 4u); // back end name, label, two read-outs
  EXPECT_EQ(g->Calls("DoDrawText")[2].text, "50.00 FPS");
  EXPECT_EQ(g->Calls("DoDrawText")[3].text, "20.00 ms");

  g->AttachControl(new RecordingControl(IRECT(0, 0, 400, 300))); // below the display

  // Removed while a click holds it: no capture or mouse-over may point at it afterwards.
  g->OnMouseDown({At(20, 20)});
  ASSERT_TRUE(g->ControlIsCaptured(fps));
  g->ShowFPSDisplay(false);
  EXPECT_FALSE(g->ControlIsCaptured());
  EXPECT_EQ(g->GetMouseOverControl(), nullptr);
  g->OnMouseUp({At(20, 20)});
  g->OnMouseDown({At(20, 20)});
  EXPECT_NE(g->GetMouseControl(20, 20, false), nullptr); // the listed control below is reached again
}

TEST_F(SpecialControlsTest, FrameTimeDisplayIsAVectorControlDrawnInItsStylesColours)
{
  g->ShowFPSDisplay(true);
  auto* vector = dynamic_cast<IVectorBase*>(g->GetFPSDisplay());
  ASSERT_NE(vector, nullptr);
  // The fills of one draw: the background, then the graph.
  auto fills = [&]
  {
    g->drawn.clear();
    g->GetFPSDisplay()->Draw(*g);
    std::vector<IColor> out;
    for (const auto& c : g->Calls("PathFill"))
      out.push_back(c.color);
    return out;
  };
  EXPECT_EQ(fills(), (std::vector<IColor>{COLOR_WHITE, DEFAULT_STYLE.colorSpec.GetColor(kFG)}));
  EXPECT_EQ(std::string(vector->GetLabelStr()), "Frame Time");

  const IColor bg(255, 10, 20, 30), fg(255, 200, 100, 50);
  vector->SetColor(kBG, bg);
  vector->SetColor(kFG, fg);
  EXPECT_EQ(fills(), (std::vector<IColor>{bg, fg}));
  IVStyle style = vector->GetStyle();
  style.colorSpec.SetColor(kBG, fg);
  vector->SetStyle(style);
  EXPECT_EQ(fills(), (std::vector<IColor>{fg, fg}));
}

// ---- Text entry ----

TEST_F(SpecialControlsTest, APromptOpensTheFieldSelectedAndKeysAreFilteredByType)
{
  MakeEntry();
  gain->PromptUserInput(0);
  EXPECT_TRUE(g->textEntries.empty());                // not the platform's field
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
      {'1', "!", true, false, false, true},  {97, "1", false, true, true, true},
      {189, "-", false, true, true, true},   {190, ".", false, false, true, true},
      {'Q', "q", false, false, false, true}, {9, "\t", false, false, false, false},
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

TEST_F(SpecialControlsTest, ClipboardUndoAndRedoNeverReachPastTheTextOfTheEntry)
{
  MakeEntry();
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
  Key(27);

  // The next entry starts without history: undo never reaches past its text.
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

TEST_F(SpecialControlsTest, InvalidUTF8AndCharactersBeyondSixteenBitsNeverBreakTheText)
{
  MakeEntry();
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

TEST_F(SpecialControlsTest, CommitSetsTheParameterInTheCLocaleClampedOrRefusedAndEscapeCancels)
{
  MakeEntry();
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

TEST_F(SpecialControlsTest, ClicksPlaceTheCursorDragsSelectAndTheRightButtonOpensTheEditMenu)
{
  MakeEntry();
  OpenText("abcdef"); // left-aligned at x 20, 7 points per character
  g->OnMouseDown({IMouseInfo{29, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(entry->GetEditState().cursor, 1);
  g->OnMouseDrag({IMouseInfo{42, 110, 13, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{42, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(entry->GetEditState().select_start, 1);
  EXPECT_EQ(entry->GetEditState().select_end, 3);

  g->menuChoice = 1; // "Copy"
  g->OnMouseDown({IMouseInfo{60, 110, 0, 0, IMouseMod(false, true)}});
  EXPECT_EQ(g->menus.at(0).items, (std::vector<std::string>{"Cut", "Copy", "Paste"}));
  EXPECT_EQ(g->clipboard, "bc");
  EXPECT_TRUE(entry->IsEditing());
}

// ---- Blinking ----

TEST_F(SpecialControlsTest, TheCursorBlinksWhileOpenAndTheBlinkEndsWithTheEntry)
{
  MakeEntry();
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

// ---- The editor-drawn popup menu ----

TEST_F(SpecialControlsTest, PopupPanelSizesFollowTheTextsAndAnEmptyMenuHasNoHeight)
{
  MakePopup();
  float w = 0, h = 0;
  IPopupMenu three("", 0, false, {"a", "bb", "ccc"});
  popup->CalculatePanelSize(three, w, h);
  EXPECT_FLOAT_EQ(h, 3 * 16 + 2 * 2);
  EXPECT_FLOAT_EQ(w, 3 * kCharW + 28);
  // No rows: no negative gap, and the margins alone as width.
  IPopupMenu empty;
  popup->CalculatePanelSize(empty, w, h);
  EXPECT_FLOAT_EQ(h, 0.f);
  EXPECT_FLOAT_EQ(w, 28.f);
}

TEST_F(SpecialControlsTest, PopupTallMenuScrollsAndArrowRowsChooseNothing)
{
  MakePopup();
  IPopupMenu menu;
  for (int i = 0; i < 40; ++i)
    menu.AddItem(("item" + std::to_string(i)).c_str());
  Open(menu, IRECT(100, 50, 180, 70));
  IPopupMenuControl::MenuPanel* p = popup->GetPanel(0);
  ASSERT_TRUE(p->mScroller);
  // Rows start 15 below the top; (300 - 5 - 15) / (16 + 2) rows fit.
  EXPECT_FLOAT_EQ(Cell(0, 0).T, 15.f);
  ASSERT_EQ(p->NCells(), 15);

  // Each mouse-over on the last row scrolls by one item, on the first row back by one.
  Over(Cell(0, 14)), Over(Cell(0, 14)), Over(Cell(0, 14)), Over(Cell(0, 0));
  EXPECT_EQ(p->mScrollItemOffset, 2);

  // A click on the down arrow is no choice of the item it hides.
  Click(Cell(0, 14));
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  ASSERT_EQ(caller->events.back(), "popup null/0");
  Collapse();

  // A plain row chooses its item: row + offset.
  Open(menu, IRECT(100, 50, 180, 70));
  Over(Cell(0, 14)), Over(Cell(0, 14)), Click(Cell(0, 4));
  EXPECT_EQ(menu.GetChosenItemIdx(), 6);
  EXPECT_EQ(caller->events.back(), "popup 6/0");
}

TEST_F(SpecialControlsTest, PopupDegenerateMenusGetADefinedPlace)
{
  // Zero visible rows: the editor is too short for one.
  MakePopup(200, 20);
  IPopupMenu menu("", 0, false, {"a", "b"});
  Open(menu, IRECT(10, 2, 20, 8));
  ASSERT_EQ(popup->NPanels(), 1);
  EXPECT_TRUE(popup->GetPanel(0)->mScroller);
  EXPECT_EQ(popup->GetPanel(0)->NCells(), 0);
  g->Draw(popup->GetRECT(), 1.f);
  Over(IRECT(10, 10, 20, 20)), Click(IRECT(10, 10, 20, 20));
  EXPECT_EQ(caller->events.back(), "popup null/0");
  // A menu without items and a menu wider and taller than the editor: finite, on-screen placements.
  for (int variant = 0; variant < 2; ++variant)
  {
    MakePopup(100, 60);
    IPopupMenu m;
    for (int i = 0; variant == 1 && i < 9; ++i)
      m.AddItem("a text far wider than this small editor");
    Open(m, IRECT(40, 20, 60, 30));
    const IRECT t = popup->GetTargetRECT();
    EXPECT_TRUE(t.L >= 0.f && t.T >= 0.f && std::isfinite(t.R) && std::isfinite(t.B)) << variant;
    g->Draw(popup->GetRECT(), 1.f);
    Click(IRECT(50, 50, 52, 52));
    EXPECT_EQ(caller->events.back(), "popup null/0");
  }
}

TEST_F(SpecialControlsTest, PopupMouseWalksThroughNestedSubmenusAndChoosesDeep)
{
  MakePopup();
  IPopupMenu root("", 0, false, {"plain"});
  auto* sub = new IPopupMenu("", 0, false, {"s0"});
  auto* deep = new IPopupMenu("", 0, false, {"d0", "d1"});
  sub->AddSubMenuItem("more", deep);
  root.AddSubMenuItem("sub", sub);
  Open(root, IRECT(100, 50, 180, 70));

  Over(Cell(0, 1)), Frame(0.21), Frame(0.001), Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  ASSERT_EQ(popup->NPanels(), 3);
  EXPECT_FLOAT_EQ(popup->GetPanel(1)->mTargetRECT.L, Cell(0, 1).R + 5);

  // Back on a plain root row: every panel opened from the root goes, however deep.
  Over(Cell(0, 0));
  EXPECT_FALSE(popup->GetPanel(1)->mShouldDraw);
  EXPECT_FALSE(popup->GetPanel(2)->mShouldDraw);

  Over(Cell(0, 1)), Frame(0.21), Frame(0.001), Over(Cell(1, 1)), Frame(0.21), Frame(0.001);
  Over(Cell(2, 1)), Click(Cell(2, 1));
  EXPECT_EQ(deep->GetChosenItemIdx(), 1);
  EXPECT_EQ(root.GetChosenItemIdx(), -1);
  EXPECT_EQ(caller->events.back(), "popup 1/0");
}

TEST_F(SpecialControlsTest, PopupASecondRequestWhileBusyKeepsTheFirstCallerAndFadesRunOnTheClock)
{
  MakePopup();
  IPopupMenu menu("", 0, false, {"a", "b"});
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.05);
  EXPECT_NEAR(popup->GetPanel(0)->mBlend.weight, 0.5 * 0.95, 1e-3);
  auto* other = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(60, 0, 90, 30))));
  IPopupMenu second("", 0, false, {"x"});
  g->CreatePopupMenu(other, second, IRECT(0, 0, 10, 10), 0);
  EXPECT_EQ(popup->GetPanel(0)->mMenu, &menu);
  Frame(0.06);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);

  Over(Cell(0, 1)), Click(Cell(0, 1));
  EXPECT_EQ(caller->events.back(), "popup 1/0");
  EXPECT_TRUE(other->events.empty());
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kFlickering);
  Collapse();
  EXPECT_EQ(popup->NPanels(), 0);
  EXPECT_EQ(popup->GetAnimationFunction(), nullptr);
}

TEST_F(SpecialControlsTest, PopupRemovedCallerOrLostFocusLeavesNothingBehind)
{
  MakePopup();
  // The caller owns the menu: removing it must drop the menu on show, and no completion may run.
  auto* owner = static_cast<MenuOwner*>(g->AttachControl(new MenuOwner(IRECT(60, 0, 90, 30))));
  int ran = 0;
  owner->menu.SetFunction([&](IPopupMenu*) { ++ran; });
  g->CreatePopupMenu(owner, owner->menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.101), Frame(0.001);
  g->RemoveControl(owner);
  EXPECT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);
  EXPECT_EQ(popup->NPanels(), 0);
  Click(IRECT(100, 80, 180, 90)), Frame(0.2);
  EXPECT_EQ(ran, 0);

  // Focus lost while open: dismissed with nothing chosen, and clicks reach the controls again.
  IPopupMenu menu("", 0, false, {"a"});
  Open(menu, IRECT(100, 50, 180, 70)), Over(Cell(0, 0)), g->OnFocusLost();
  EXPECT_EQ(caller->events.back(), "popup null/0");
  Collapse();
  Click(IRECT(10, 10, 20, 20));
  EXPECT_EQ(caller->events.back().rfind("up", 0), 0u);
  // The control itself removed while showing: its caller waits for nothing.
  Open(menu, IRECT(100, 50, 180, 70)), g->RemovePopupMenuControl();
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);
}

#include "graphics/support/ScriptedEditorTest.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::IKeyPress;
using plugin::IMidiMsg;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedEditorTest;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Strings = std::vector<std::string>;

IMouseInfo At(float x, float y, float dX = 0.f, float dY = 0.f, bool right = false, uint64_t touch = 0)
{
  return IMouseInfo{x, y, dX, dY, IMouseMod(!right, right, false, false, false, touch)};
}

struct InputTest : ScriptedEditorTest
{
  InputTest() : ScriptedEditorTest(4) {}

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Knob", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(1)->InitEnum("Mode", 0, {"Low", "Mid", "High"});
    dlg.GetParam(2)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.5, "dB", plugin::IParam::kFlagStepped);
    dlg.GetParam(3)->InitBool("Bypass", false);
    dlg.SetSizeConstraints(100, 400, 50, 200);
    Open();
  }
  void Click(float x, float y, bool right = false)
  {
    g->OnMouseDown({At(x, y, 0, 0, right)});
    g->OnMouseUp({At(x, y, 0, 0, right)});
  }
};

} // namespace

TEST_F(InputTest, TheResizerTakesClicksFirstAndEmptySpaceNone)
{
  Add(IRECT(10, 10, 50, 50));
  auto* upper = Add(IRECT(20, 20, 60, 60));

  // The corner resizer lies in front of every listed control.
  auto* resizer = new RecordingControl(IRECT(40, 40, 60, 60));
  g->AttachCornerResizer(resizer, EUIResizerMode::Size);
  EXPECT_EQ(g->GetCornerResizer(), resizer);
  Click(45, 45);
  EXPECT_EQ(Strings(resizer->events.begin(), resizer->events.begin() + 2), (Strings{"down 45,45", "up 45,45"}));

  // Empty space: nothing happens anywhere.
  EXPECT_FALSE(g->OnMouseDblClick(150, 90, IMouseMod()));
  g->OnMouseUp({At(150, 90)});
  g->OnDrop("/tmp/x.wav", 150, 90);
  g->OnMouseWheel(150, 90, IMouseMod(), 1.f);
  g->OnDrop("/tmp/x.wav", 30, 30);
  g->OnMouseWheel(30, 30, IMouseMod(), -2.f);
  EXPECT_EQ(Strings(upper->events.end() - 2, upper->events.end()), (Strings{"drop /tmp/x.wav", "wheel -2"}));
}

TEST_F(InputTest, CaptureFollowsTheDragAndHostGesturesPairUp)
{
  auto* knob = Add(IRECT(10, 10, 30, 30), 0);
  auto* dual = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(40, 10, 60, 30), {0, 2})));

  g->OnMouseDown({At(20, 20)});
  g->OnMouseDrag({At(80, 90, 60, 70)}); // far outside: still the captured knob
  g->OnMouseDrag({At(80, 90, 0, 0)});   // no movement: not passed on
  g->OnMouseUp({At(80, 90)});
  EXPECT_EQ(knob->events, (Strings{"down 20,20", "drag 60,70", "up 80,90"}));
  EXPECT_EQ(dlg.gestures, (Strings{"B0", "E0"}));

  // Every linked slot is told; a capture dropped in any other way than by its mouse-up still ends the gesture.
  struct Case
  {
    const char* name;
    std::function<void()> drop;
  };
  const Case cases[] = {
      {"focus lost", [&] { g->OnFocusLost(); }},
      {"resize", [&] { g->Resize(300, 100, 1.f); }},
      {"explicit release", [&] { g->ReleaseMouseCapture(); }},
      {"control removed", [&] { g->RemoveControl(dual); }},
  };
  for (const Case& c : cases)
  {
    dlg.gestures.clear();
    g->OnMouseDown({At(50, 20)});
    c.drop();
    g->OnMouseUp({At(50, 20)});
    EXPECT_EQ(dlg.gestures, (Strings{"B0", "B2", "E0", "E2"})) << c.name;
  }
  EXPECT_FALSE(g->ControlIsCaptured());
}

TEST_F(InputTest, RightClicksOpenContextMenusWithPairedGestures)
{
  auto* knob = Add(IRECT(10, 10, 30, 30), 0);
  knob->contextItems = {"Learn", "Reset"};
  g->menuChoice = 1;
  Click(20, 25, true);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(knob->events, (Strings{"context 1"}));
  EXPECT_EQ(dlg.gestures, (Strings{"B0", "E0"}));

  // An empty context menu opens nothing and tells the host nothing.
  knob->contextItems.clear();
  dlg.gestures.clear();
  Click(20, 25, true);
  EXPECT_EQ(g->menus.size(), 1u);
  EXPECT_TRUE(dlg.gestures.empty());

}

TEST_F(InputTest, ValuePromptsOfferMenusWithPairedGestures)
{
  auto* mode = Add(IRECT(0, 0, 40, 20), 1);
  // Prompts stay off until a control allows them.
  mode->PromptUserInput(0);
  EXPECT_TRUE(g->menus.empty());
  mode->DisablePrompt(false);

  dlg.GetParam(1)->Set(1);
  g->menuChoice = 2;
  mode->PromptUserInput(0);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].flags, (std::vector<int>{0, IPopupMenu::kChecked, 0}));
  EXPECT_DOUBLE_EQ(mode->GetValue(), 1.0);
  EXPECT_EQ(dlg.gestures, (Strings{"B1", "E1"}));
}

TEST_F(InputTest, TypedValuesAreNumbersInTheCLocaleOrRefused)
{
  auto* gain = Add(IRECT(50, 0, 90, 20), 2);
  auto* free = Add(IRECT(0, 50, 40, 70));
  struct Case
  {
    const char* text;
    bool accepted;
    double real; // the parameter's value after the entry
  };
  const Case cases[] = {
      {"3.26", true, 3.5}, // snapped to the step of 0.5 (3.26 / 0.5 = 6.52 → 7)
      {" -1.5 dB", true, -1.5},
      {"40", true, 12.0}, // clamped to the range before it is normalised
      {"abc", false, -1.5},
      {"1e999", false, -1.5},
      {"3,5", true, 3.0}, // a decimal comma is not a decimal point
  };
  double lastAccepted = 0.0;
  for (const Case& c : cases)
  {
    dlg.gestures.clear();
    g->CreateTextEntry(gain, DEFAULT_TEXT, IRECT(), "", 0);
    g->SetControlValueAfterTextEdit(c.text);
    const double real = dlg.GetParam(2)->FromNormalized(gain->GetValue());
    if (c.accepted) lastAccepted = c.real;
    EXPECT_NEAR(real, c.accepted ? c.real : lastAccepted, 1e-9) << c.text;
    EXPECT_EQ(dlg.gestures, c.accepted ? (Strings{"B2", "E2"}) : Strings{}) << c.text;
    EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  }

  // Without a parameter the control gets the text; without a control in text entry nothing happens.
  g->CreateTextEntry(free, DEFAULT_TEXT, IRECT(), "x", 0);
  g->SetControlValueAfterTextEdit("hello");
  g->SetControlValueAfterTextEdit("again");
  EXPECT_EQ(free->events, (Strings{"text hello/0"}));
}

// Focus lost while the in-editor entry is open: it goes away unconfirmed. Hidden but still editing, it would take
// the next click anywhere as a commit of what was typed, and keep the click from the control under the mouse.
TEST_F(InputTest, FocusLostDismissesTheEditorTextEntry)
{
  g->AttachTextEntryControl();
  auto* gain = Add(IRECT(0, 0, 100, 20), 2);
  auto* other = Add(IRECT(0, 50, 100, 70));
  g->CreateTextEntry(gain, DEFAULT_TEXT, IRECT(0, 0, 100, 20), "0", 0);
  ASSERT_TRUE(g->TextEntryIsOpen());
  const double before = gain->GetValue();
  g->OnKeyDown(0, 0, IKeyPress("5", 0, false, false, false));
  g->OnFocusLost();
  EXPECT_FALSE(g->TextEntryIsOpen());
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  Click(50, 60);
  EXPECT_DOUBLE_EQ(gain->GetValue(), before);
  EXPECT_EQ(other->events.size(), 2u); // down, up
}

TEST_F(InputTest, PopupCompletionsGoToTheControlThatAsked)
{
  auto* a = Add(IRECT(0, 0, 10, 10), 1);
  auto* b = Add(IRECT(20, 0, 30, 10));
  IPopupMenu menuA("a", 0, false, {"x", "y"}), menuB("b", 0, false, {"z"});

  // The platform cannot show the menu: the control hears at once that nothing was chosen.
  g->menuRefuse = true;
  g->CreatePopupMenu(a, menuA, IRECT(), 0);
  EXPECT_EQ(a->events, (Strings{"popup null/0"}));
  EXPECT_EQ(g->GetControlInPopupMenu(), nullptr);

  // A later menu that answers asynchronously completes for its own control only.
  g->menuRefuse = false;
  g->menuAsync = true;
  g->menuChoice = 0;
  g->CreatePopupMenu(b, menuB, IRECT(), 3);
  EXPECT_EQ(g->GetControlInPopupMenu(), b);
  g->SetControlValueAfterPopupMenu(&menuB);
  EXPECT_EQ(b->events, (Strings{"popup 0/3"}));
  EXPECT_EQ(a->events.size(), 1u);

  // A control removed while its menu is open is forgotten.
  g->CreatePopupMenu(b, menuB, IRECT(), 0);
  g->CreateTextEntry(a, DEFAULT_TEXT, IRECT(), "", 0);
  g->RemoveControl(b);
  g->RemoveControl(a);
  g->SetControlValueAfterPopupMenu(&menuB);
  g->SetControlValueAfterTextEdit("1");
  EXPECT_EQ(g->NControls(), 0);
}

TEST_F(InputTest, CornerResizerDragScalesAndIgnoresAnAxisPressedAtZero)
{
  auto* resizer = new RecordingControl(IRECT(150, 50, 200, 100));
  g->AttachCornerResizer(resizer, EUIResizerMode::Scale);
  struct Case
  {
    float downX, downY, dragX, dragY;
    float scale;
  };
  const Case cases[] = {
      {100, 50, 200, 100, 2.f}, // twice the mouse-down position: twice the scale
      {100, 50, 150, 60, 1.2f}, // the smaller ratio wins
      {100, 50, 900, 900, 2.f}, // limited to the maximum scale
      {0, 50, 80, 100, 2.f},    // pressed at x = 0: only the y ratio counts
      {-5, -5, 80, 100, 1.f},   // no ratio at all: nothing changes
  };
  for (const Case& k : cases)
  {
    g->Resize(200, 100, 1.f);
    g->OnMouseDown({At(k.downX, k.downY)});
    g->OnMouseUp({At(k.downX, k.downY)});
    g->SetResizingInProcess(true); // as the resizer does when pressed
    g->OnMouseDrag({At(k.dragX, k.dragY, 1, 1)});
    EXPECT_FLOAT_EQ(g->GetDrawScale(), k.scale) << k.downX << "," << k.downY;
    g->OnMouseUp({At(k.dragX, k.dragY)});
    EXPECT_FALSE(g->GetResizingInProcess());
  }
}

TEST_F(InputTest, MouseOverTracksOneControlAndLeavingKeepsTheCursorType)
{
  Add(IRECT(0, 0, 200, 100));
  auto* a = Add(IRECT(10, 10, 30, 30));
  auto* b = Add(IRECT(40, 10, 60, 30));
  g->EnableMouseOver(true);
  for (auto [x, found] : {std::pair{50.f, true}, {100.f, false}, {20.f, true}}) // never the background
    EXPECT_EQ(g->OnMouseOver(x, 20, IMouseMod()), found) << x;
  EXPECT_EQ(b->events, (Strings{"over", "out"}));

  g->SetMouseCursor(kCursorHand); // the control under the mouse asks for a hand
  g->OnMouseOut();
  EXPECT_EQ(g->cursors.back(), kCursorArrow);
  EXPECT_EQ(g->GetCursorType(), kCursorHand);
  EXPECT_EQ((std::vector<int>{g->GetMouseOverIdx(), a->GetMouseIsOver()}), (std::vector<int>{-1, 0}));

  // A single mouse-up updates the mouse-over control.
  Click(50, 20);
  EXPECT_EQ(g->GetMouseOverControl(), b);
}

// The tooltip index names the listed control under a button-less pointer: never the background, nothing while an
// open text field lies in front, nothing once the pointer has left; it stays on its control while the list changes.
TEST_F(InputTest, TheTooltipIndexFollowsTheListedControlUnderThePointer)
{
  Add(IRECT(0, 0, 200, 100));
  auto* a = Add(IRECT(10, 10, 30, 30));
  auto* b = Add(IRECT(40, 10, 60, 30));
  g->EnableMouseOver(true);
  struct Move
  {
    float x;
    IControl* expected;
  };
  for (const Move& m : {Move{50, b}, Move{100, nullptr}, Move{20, a}})
  {
    g->OnMouseOver(m.x, 20, IMouseMod());
    EXPECT_EQ(g->GetControl(g->GetTooltipIdx()), m.expected) << m.x;
    EXPECT_EQ(g->GetTooltipIdx() < 0, m.expected == nullptr) << m.x;
  }

  // The list changes beneath: the index keeps naming the same control, or none once it is gone.
  g->OnMouseOver(50, 20, IMouseMod());
  g->AttachPanelBackground(IPattern(COLOR_WHITE));
  EXPECT_EQ(g->GetControl(g->GetTooltipIdx()), b);
  g->RemoveControl(a);
  EXPECT_EQ(g->GetControl(g->GetTooltipIdx()), b);
  g->RemoveControl(b);
  EXPECT_EQ(g->GetTooltipIdx(), -1);

  auto* c = Add(IRECT(40, 10, 60, 30), 0);
  g->OnMouseOver(50, 20, IMouseMod());
  EXPECT_EQ(g->GetControl(g->GetTooltipIdx()), c);
  g->OnMouseOut();
  EXPECT_EQ(g->GetTooltipIdx(), -1);

  g->AttachTextEntryControl();
  g->CreateTextEntry(c, DEFAULT_TEXT, IRECT(0, 0, 100, 20), "0", 0);
  g->OnMouseOver(50, 20, IMouseMod());
  EXPECT_EQ(g->GetTooltipIdx(), -1);
}

TEST_F(InputTest, KeyboardPlaysNotesAndOctaveKeysReleaseThem)
{
  Add(IRECT(0, 0, 200, 100));
  g->SetQwertyMidiKeyHandlerFunc([](const IMidiMsg&) {});
  const auto key = [&](char k, bool up = false)
  {
    const IKeyPress kp(nullptr, k);
    return up ? g->OnKeyUp(5, 5, kp) : g->OnKeyDown(5, 5, kp);
  };
  const auto notes = [&]
  {
    Strings out;
    for (const IMidiMsg& m : dlg.midiFromUI)
      out.push_back(std::string(m.mStatus == 0x90 ? "on " : "off ") + std::to_string(m.mData1));
    dlg.midiFromUI.clear();
    return out;
  };
  // The base note is shared by the process: bring it to the bottom first (it stops at 24), then up to 60.
  for (int i = 0; i < 8; ++i)
    key('Z');
  key('X'), key('X'), key('X');
  notes();
  // A held note is released by the octave key; back in its octave, its key plays it again at once.
  EXPECT_TRUE(key('L'));
  EXPECT_TRUE(key('L')); // auto-repeat: nothing more
  key('Z');
  key('X');
  key('L');
  key('L', true);
  EXPECT_EQ(notes(), (Strings{"on 74", "off 74", "on 74", "off 74"}));
  key('Z'), key('Z');
}

TEST(InputTeardown, AnEditorDeletedWithTheDelegateMidDragTellsNobody)
{
  auto dlg = std::make_unique<RecordingDelegate>(1);
  dlg->GetParam(0)->InitDouble("Knob", 0.0, 0.0, 1.0, 0.01);
  dlg->SetMakeGraphicsFunc([&] { return new ScriptedGraphics(*dlg, 100, 100); });
  dlg->SetLayoutFunc([](IGraphics* g) { g->AttachControl(new RecordingControl(IRECT(0, 0, 10, 10), 0)); });
  ASSERT_NE(dlg->OpenWindow(nullptr), nullptr);
  dlg->GetUI()->OnMouseDown({At(5, 5)});
  EXPECT_EQ(dlg->gestures, (Strings{"B0"}));
  dlg.reset(); // the delegate's own destructor deletes the editor: no call may reach the half-gone delegate
}

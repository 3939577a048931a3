#include "graphics/support/ScriptedEditorTest.h"
#include "support/ScriptedGraphics.h"

#include "controls/ISpecialControls.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedEditorTest;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Ints = std::vector<int>;

struct GraphicsTest : ScriptedEditorTest
{
  GraphicsTest() : ScriptedEditorTest(4) {}
  void SetUp() override
  {
    PlainParams();
    dlg.GetParam(2)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1);
    dlg.SetSizeConstraints(100, 400, 50, 200);
    Open();
  }
  Ints Size() const { return {g->Width(), g->Height(), dlg.lastResizeW, dlg.lastResizeH}; }
};

} // namespace

TEST_F(GraphicsTest, ConstructionRemembersTheSizeAndAttachRunsTheHooks)
{
  // Construction writes the remembered size; a scale that is not a positive finite number falls back to 1.
  RecordingDelegate d(0);
  ScriptedGraphics sg(d, 424, 610, 0, 1.5f);
  EXPECT_EQ((Ints{d.GetRememberedWidth(), d.GetRememberedHeight()}), (Ints{424, 610}));
  EXPECT_FLOAT_EQ(d.GetRememberedScale(), 1.5f);
  ScriptedGraphics bad(d, 10, 10, 30, 0.f);
  EXPECT_FLOAT_EQ(bad.GetDrawScale(), 1.f);

  auto* a = Add(IRECT(0, 0, 10, 10), -1, 5, "grp");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ((Ints{a->inits, a->resizes, a->rescales, a->attached}), Ints(4, 1));
  EXPECT_EQ(g->GetControlWithTag(5), a);

  EXPECT_EQ(g->GetControlWithTag(7), nullptr);
}

TEST_F(GraphicsTest, RemovingControls)
{
  int deleted = 0;
  RecordingControl* c[5];
  for (int i = 0; i < 5; ++i)
  {
    c[i] = Add(IRECT(0, 0, 10, 10), i < 4 ? i : -1, 10 + i);
    c[i]->deleted = &deleted;
  }
  g->RemoveControls(2);
  EXPECT_EQ(g->NControls(), 2);
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(g->GetControlWithTag(12), nullptr);
  EXPECT_EQ(g->GetControlWithTag(11), c[1]);

  // Removing by tag deletes the control too.
  g->RemoveControlWithTag(10);
  EXPECT_EQ(deleted, 4);
  g->RemoveControl(5); // out of range: nothing
  EXPECT_EQ(g->NControls(), 1);
  g->RemoveAllControls();
  EXPECT_EQ(deleted, 5);
  EXPECT_EQ(g->GetControlWithTag(11), nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// Special controls
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Controls that run a check of their own when they are deleted.
struct DyingControl : RecordingControl
{
  std::function<void()> onDelete;
  using RecordingControl::RecordingControl;
  ~DyingControl() override { onDelete(); }
};
struct DyingBubble : IBubbleControl
{
  std::function<void()> onDelete;
  ~DyingBubble() override { onDelete(); }
};

} // namespace

TEST_F(GraphicsTest, SpecialControlsFollowTheListWithTheBubblesOnTop)
{
  auto* listed = Add(IRECT(0, 0, 200, 100));
  auto* resizer = new RecordingControl(IRECT(180, 80, 200, 100));
  g->AttachCornerResizer(resizer);
  g->AttachBubbleControl();
  g->AttachBubbleControl();
  g->AttachPopupMenuControl();
  g->AttachTextEntryControl();
  g->ShowFPSDisplay(true);
  std::vector<IControl*> visited;
  g->ForAllControlsFunc([&](IControl* c) { visited.push_back(c); });
  EXPECT_EQ(visited, (std::vector<IControl*>{listed, g->GetFPSDisplay(), resizer, g->GetTextEntryControl(),
                                             g->GetPopupMenuControl(), g->GetBubbleControl(0),
                                             g->GetBubbleControl(1)}));

  // A value bubble shown over an open text field is drawn after it, so it stays readable.
  g->CreateTextEntry(listed, DEFAULT_TEXT, IRECT(20, 20, 120, 40), "typed", 0);
  ASSERT_TRUE(g->TextEntryIsOpen());
  g->ShowBubbleControl(listed, 60, 30, "bubble");
  g->drawn.clear();
  g->Draw(g->GetBounds(), 1.f);
  std::vector<std::string> texts;
  for (const auto& call : g->Calls("DoDrawText"))
    if (call.text == "typed" || call.text == "bubble") texts.push_back(call.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"typed", "bubble"}));
}

TEST_F(GraphicsTest, RemoveAllControlsDeletesTheSpecialControlsFirst)
{
  // Each deleted control notes what is still attached at that moment.
  std::vector<std::string> log;
  const auto state = [this](const std::string& who)
  {
    return who + ": popup " + std::to_string(g->GetPopupMenuControl() != nullptr) + " entry " +
           std::to_string(g->GetTextEntryControl() != nullptr) + " fps " + std::to_string(g->ShowingFPSDisplay()) +
           " bubbles " + std::to_string(g->NBubbleControls()) + " tag " +
           std::to_string(g->GetControlWithTag(7) != nullptr) + " listed " + std::to_string(g->NControls());
  };
  for (int i = 0; i < 2; ++i)
  {
    auto* c = new DyingControl(IRECT(0, 0, 10, 10));
    c->onDelete = [&log, state, i] { log.push_back(state("listed " + std::to_string(i))); };
    g->AttachControl(c, 7 + i);
  }
  auto* resizer = new DyingControl(IRECT(180, 80, 200, 100));
  resizer->onDelete = [&log, state] { log.push_back(state("resizer")); };
  g->AttachCornerResizer(resizer);
  for (int i = 0; i < 2; ++i)
  {
    auto* b = new DyingBubble();
    b->onDelete = [&log, state, i] { log.push_back(state("bubble " + std::to_string(i))); };
    g->AttachBubbleControl(b);
  }
  g->AttachPopupMenuControl();
  g->AttachTextEntryControl();
  g->ShowFPSDisplay(true);

  g->RemoveAllControls();
  EXPECT_EQ(log, (std::vector<std::string>{
                     "resizer: popup 0 entry 0 fps 1 bubbles 2 tag 1 listed 2",
                     "bubble 1: popup 0 entry 0 fps 0 bubbles 1 tag 1 listed 2",
                     "bubble 0: popup 0 entry 0 fps 0 bubbles 0 tag 1 listed 2",
                     "listed 1: popup 0 entry 0 fps 0 bubbles 0 tag 0 listed 1",
                     "listed 0: popup 0 entry 0 fps 0 bubbles 0 tag 0 listed 0",
                 }));
}

// Without its in-editor field, text entry goes to the platform again. An edit open in the removed field ends
// unconfirmed: the edited control is no longer in text entry (which would keep every drag from the other
// controls), and what the field covered is drawn again.
TEST_F(GraphicsTest, RemovingTheTextEntryControlHandsTextEntryBackToThePlatform)
{
  g->RemoveTextEntryControl(); // none attached: nothing happens
  auto* gain = Add(IRECT(0, 0, 100, 20), 2);
  auto* other = Add(IRECT(0, 50, 100, 70));
  g->AttachTextEntryControl();
  g->CreateTextEntry(gain, DEFAULT_TEXT, IRECT(0, 0, 100, 20), "0", 0);
  ASSERT_TRUE(g->TextEntryIsOpen());
  g->SetAllControlsClean();

  g->RemoveTextEntryControl();
  EXPECT_EQ(g->GetTextEntryControl(), nullptr);
  EXPECT_EQ(g->GetControlInTextEntry(), nullptr);
  EXPECT_TRUE(other->IsDirty());
  g->OnMouseDown({IMouseInfo{50, 60, 0, 0, IMouseMod()}});
  g->OnMouseDrag({IMouseInfo{52, 60, 2, 0, IMouseMod()}});
  EXPECT_EQ(other->events, (std::vector<std::string>{"down 50,60", "drag 2,0"}));
  g->OnMouseUp({IMouseInfo{52, 60, 0, 0, IMouseMod()}});

  g->CreateTextEntry(gain, DEFAULT_TEXT, IRECT(0, 0, 100, 20), "1", 0);
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].str, "1");
}

TEST_F(GraphicsTest, HitTestingMouseOverAndRemovingTheControlUnderTheMouse)
{
  Add(IRECT(0, 0, 200, 100));
  auto* lower = Add(IRECT(10, 10, 50, 50));
  auto* upper = Add(IRECT(20, 20, 60, 60));
  upper->SetDisabled(true); // disabled controls are passed over unless they ask for mouse events
  EXPECT_EQ(g->GetMouseControlIdx(30, 30), 1);
  upper->SetMouseEventsWhenDisabled(true);
  EXPECT_EQ(g->GetMouseControlIdx(30, 30), 2);

  g->EnableMouseOver(true);
  EXPECT_EQ(g->GetMouseControlIdx(30, 30, true), 1); // disabled upper does not take mouse-over

  // Removing a control below the one under the mouse keeps the index on it; removing that one clears it.
  auto* top = Add(IRECT(100, 0, 110, 10));
  EXPECT_EQ(g->GetMouseControl(105, 5, false, true), top);
  EXPECT_EQ(g->GetMouseOverIdx(), 3);
  g->RemoveControl(lower);
  EXPECT_EQ(g->GetControl(g->GetMouseOverIdx()), top);
  g->RemoveControl(top);
  EXPECT_EQ(g->GetMouseOverIdx(), -1);
}

TEST_F(GraphicsTest, ValuesFromThePluginDoNotMoveACapturedControl)
{
  auto* a = Add(IRECT(0, 0, 10, 10), 0);
  auto* b = Add(IRECT(20, 0, 30, 10), 0);
  EXPECT_EQ(g->GetMouseControl(5, 5, true), a);
  a->SetValueFromDelegate(0.7, 0);
  b->SetValueFromDelegate(0.7, 0);
  EXPECT_EQ((std::vector<double>{a->GetValue(), b->GetValue()}), (std::vector<double>{0.0, 0.7}));
  g->HideMouseCursor(true, true);
  g->ReleaseMouseCapture(); // shows the cursor again
  EXPECT_EQ(g->Count("HideMouseCursor(0,1)"), 1);
}

TEST_F(GraphicsTest, ResizeClampsAndSkipsUnchangedValues)
{
  auto* c = Add(IRECT(0, 0, 10, 10));
  const int resizesAfterAttach = c->resizes;
  g->Resize(1000, 10, 3.f, true);
  EXPECT_EQ(Size(), (Ints{400, 50, 800, 100}));
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.f);
  EXPECT_EQ(c->resizes, resizesAfterAttach + 1);
  EXPECT_EQ(g->Count("PlatformResize(1)"), 1);
  g->Resize(400, 50, 2.f, true); // same values again: nothing happens
  EXPECT_EQ(c->resizes, resizesAfterAttach + 1);
  g->Resize(300, 60, std::nanf(""), true); // non-finite scales are refused outright
  EXPECT_EQ(g->Width(), 400);
  g->SetScreenScale(0.f);
  EXPECT_FLOAT_EQ(g->GetScreenScale(), 1.f);

  // Limits of 0 are no limits, in both forms.
  dlg.SetSizeConstraints(0, 0, 0, 0);
  g->Resize(900, 800, 1.f, true);
  EXPECT_EQ((Ints{g->Width(), g->Height()}), (Ints{900, 800}));
  g->Resize(1000, 700, true, false, 1.5f);
  EXPECT_EQ((Ints{g->Width(), g->Height()}), (Ints{1000, 700}));
}

// ---------------------------------------------------------------------------------------------------------------
// Frame loop
// ---------------------------------------------------------------------------------------------------------------

namespace
{

double sFakeNow = 0.0;
double FakeNow()
{
  return sFakeNow;
}

// Clips set for controls in a frame, as {L, T, R, B}.
std::vector<std::vector<double>> Clips(const ScriptedGraphics& g)
{
  std::vector<std::vector<double>> out;
  for (const auto& c : g.Calls("SetClipRegion"))
    out.push_back(c.a);
  return out;
}

} // namespace

TEST_F(GraphicsTest, OnlyDirtyControlsAreDrawnClippedToWholePixels)
{
  auto* bg = Add(IRECT(0, 0, 200, 100));
  auto* a = Add(IRECT(10, 10, 20, 20));
  auto* far = Add(IRECT(150, 70, 160, 80));
  IRECTList rects;

  // Nothing dirty: no frame at all.
  g->SetAllControlsClean();
  EXPECT_FALSE(g->IsDirty(rects));
  g->Draw(rects);
  EXPECT_TRUE(g->drawn.empty());

  // One dirty control: its bounds grown by 0.75, aligned to device pixels at scale 2.
  a->SetDirty(false);
  ASSERT_TRUE(g->IsDirty(rects));
  EXPECT_EQ(rects.Get(0), IRECT(9.25f, 9.25f, 20.75f, 20.75f));
  g->SetScreenScale(2.f);
  g->drawn.clear();
  g->Draw(rects);
  EXPECT_EQ(Clips(*g), (std::vector<std::vector<double>>{{9, 9, 21, 21}, {9, 9, 21, 21}}));
  EXPECT_EQ((std::vector<int>{bg->draws, a->draws, far->draws}), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(g->drawn.front().op, "BeginFrame");

}

TEST_F(GraphicsTest, AnimationsKeepControlsDirtyOnAnInjectableClock)
{
  IGraphics::SetClock(FakeNow);
  sFakeNow = 10.0;
  auto* c = Add(IRECT(0, 0, 10, 10));
  c->SetActionFunction(DefaultClickActionFunc);
  c->SetDirty(true); // the click feedback starts
  IRECTList rects;
  sFakeNow = 10.099; // still animating just before 100 ms
  g->SetAllControlsClean();
  EXPECT_TRUE(g->IsDirty(rects));
  // After 100 ms the animation ends itself at the next frame; the control is dirty once more, then clean.
  sFakeNow = 10.101;
  g->SetAllControlsClean();
  EXPECT_TRUE(g->IsDirty(rects));
  EXPECT_FALSE(c->GetAnimationFunction());
  g->SetAllControlsClean();
  rects.Clear();
  EXPECT_FALSE(g->IsDirty(rects));
  IGraphics::SetClock(nullptr);
}

// Touch gestures routed to the control under them or to regions of the editor, and touches held by controls:
// which control holds which touch, and a cancelled touch that ends its capture and its host gesture.

#include "graphics/support/ScriptedEditorTest.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedEditorTest;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Strings = std::vector<std::string>;

struct GesturesTest : ScriptedEditorTest
{
  GesturesTest() : ScriptedEditorTest(2) {}
  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("a", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(1)->InitDouble("b", 0.0, 0.0, 1.0, 0.01);
    Open();
  }
  IGestureInfo At(float x, float y, EGestureType type = EGestureType::Pinch) const
  {
    IGestureInfo info;
    info.x = x;
    info.y = y;
    info.type = type;
    return info;
  }
};

IMouseInfo Touch(float x, float y, uint64_t id)
{
  return IMouseInfo{x, y, 0.f, 0.f, IMouseMod(true, false, false, false, false, id)};
}

} // namespace

TEST_F(GesturesTest, GesturesGoToTheControlUnderThemOrToTheFirstRegionHoldingThePoint)
{
  auto* c = Add(IRECT(0, 0, 20, 20));
  Strings log;
  c->AttachGestureRecognizer(EGestureType::Pinch, [&](IControl*, const IGestureInfo&) { log.push_back("ctl1"); });
  c->AttachGestureRecognizer(EGestureType::Pinch, [&](IControl*, const IGestureInfo&) { log.push_back("ctl2"); });
  g->AttachGestureRecognizerToRegion(IRECT(50, 0, 100, 50), EGestureType::Pinch,
                                     [&](IControl* ctl, const IGestureInfo&) { log.push_back(ctl ? "?" : "r1"); });
  g->AttachGestureRecognizerToRegion(IRECT(80, 0, 150, 50), EGestureType::Rotate,
                                     [&](IControl*, const IGestureInfo&) { log.push_back("r2"); });
  // A region without a function still takes the point: the one after it in the list hears nothing there.
  g->AttachGestureRecognizerToRegion(IRECT(150, 60, 200, 100), EGestureType::Pinch, nullptr);
  g->AttachGestureRecognizerToRegion(IRECT(150, 60, 200, 100), EGestureType::Pinch,
                                     [&](IControl*, const IGestureInfo&) { log.push_back("r4"); });
  // The same type attached twice is registered once.
  EXPECT_EQ(g->GetRegisteredGestures(), (std::vector<EGestureType>{EGestureType::Pinch, EGestureType::Rotate}));

  // The control's own handler (the first attached for the type), the overlap to the region attached first, the
  // second region alone, the region without a function, and empty space.
  for (auto [x, y] : {std::pair{10.f, 10.f}, {90.f, 10.f}, {120.f, 10.f}, {170.f, 80.f}, {180.f, 55.f}})
    g->OnGestureRecognized(At(x, y));
  EXPECT_EQ(log, (Strings{"ctl1", "r1", "r2"}));
  EXPECT_EQ(c->GetLastGesture(), EGestureType::Pinch);

  EXPECT_EQ((std::vector<bool>{g->RespondsToGesture(10, 10), g->RespondsToGesture(120, 10),
                               g->RespondsToGesture(170, 80), g->RespondsToGesture(180, 55)}),
            (std::vector<bool>{true, true, true, false}));

  // Cleared regions answer nothing; the registered types stay.
  g->ClearGestureRegions();
  log.clear();
  g->OnGestureRecognized(At(120, 10));
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(g->RespondsToGesture(120, 10));
  EXPECT_EQ(g->GetRegisteredGestures().size(), 2u);

  // An animating control takes no gestures.
  c->SetAnimation([](IControl*) {});
  EXPECT_FALSE(g->RespondsToGesture(10, 10));
  g->OnGestureRecognized(At(10, 10));
  EXPECT_TRUE(log.empty());
}

TEST_F(GesturesTest, TouchesHeldByControlsAndACancelledTouch)
{
  auto* a = Add(IRECT(0, 0, 50, 50), 0);
  auto* b = Add(IRECT(100, 0, 150, 50), 1);
  g->OnMouseDown({Touch(10, 10, 3), Touch(110, 10, 7)});
  auto touches = [&](const IControl* c)
  {
    std::vector<uint64_t> ids;
    g->GetTouches(c, ids);
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  EXPECT_EQ(touches(a), std::vector<uint64_t>{3});
  EXPECT_EQ(touches(b), std::vector<uint64_t>{7});
  EXPECT_EQ(dlg.gestures, (Strings{"B0", "B1"}));

  // The system takes touch 3 away: its control hears so, its host gesture ends, its capture goes. A touch that
  // holds nothing is passed over.
  g->OnTouchCancelled({Touch(12, 12, 3), Touch(0, 0, 99)});
  EXPECT_EQ(a->events.back(), "cancel");
  EXPECT_TRUE(touches(a).empty());
  EXPECT_EQ(touches(b), std::vector<uint64_t>{7});
  EXPECT_EQ(dlg.gestures, (Strings{"B0", "B1", "E0"}));
  EXPECT_TRUE(g->ControlIsCaptured(b));

  // Its later release reaches nobody; the other touch ends normally.
  g->OnMouseUp({Touch(12, 12, 3), Touch(110, 10, 7)});
  EXPECT_EQ(a->events.back(), "cancel");
  EXPECT_EQ(b->events.back(), "up 110,10");
  EXPECT_EQ(dlg.gestures, (Strings{"B0", "B1", "E0", "E1"}));
  EXPECT_FALSE(g->ControlIsCaptured());
}

TEST_F(GesturesTest, EveryLetterOfTheNoteKeyboardPlaysItsSemitone)
{
  std::vector<plugin::IMidiMsg> heard; // what the handler's own function receives
  g->SetQwertyMidiKeyHandlerFunc([&](const plugin::IMidiMsg& m) { heard.push_back(m); });
  const auto key = [&](char k, bool up = false)
  {
    const plugin::IKeyPress kp(nullptr, k);
    return up ? g->OnKeyUp(5, 5, kp) : g->OnKeyDown(5, 5, kp);
  };
  // The base note is shared by the process: down to the bottom (24), then two octaves up to 48.
  for (int i = 0; i < 8; ++i)
    key('Z');
  key('X'), key('X');
  dlg.midiFromUI.clear();
  heard.clear();

  const std::string letters = "AWSEDFTGYHUJKOL"; // C to D an octave and a tone up
  for (char k : letters)
  {
    EXPECT_TRUE(key(k));
    EXPECT_TRUE(key(k, true));
  }
  ASSERT_EQ(dlg.midiFromUI.size(), 2 * letters.size());
  for (size_t i = 0; i < letters.size(); ++i)
  {
    const plugin::IMidiMsg& on = dlg.midiFromUI[2 * i];
    const plugin::IMidiMsg& off = dlg.midiFromUI[2 * i + 1];
    EXPECT_EQ((std::vector<int>{on.mStatus, on.mData1, on.mData2, off.mStatus, off.mData1, off.mData2}),
              (std::vector<int>{0x90, 48 + int(i), 127, 0x80, 48 + int(i), 0}))
        << letters[i];
  }
  EXPECT_EQ(heard.size(), dlg.midiFromUI.size());

  // Other letters play nothing but are used up all the same; releasing a key that plays nothing sends nothing.
  dlg.midiFromUI.clear();
  EXPECT_TRUE(key('Q'));
  EXPECT_TRUE(key('A', true));
  EXPECT_TRUE(key('X', true));
  EXPECT_TRUE(dlg.midiFromUI.empty());
}

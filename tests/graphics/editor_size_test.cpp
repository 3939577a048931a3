// The editor's size: the second resize form (scale or size clamped first), laying out again after a resize, a
// host that refuses a resize, and the one corner resizer (a second is refused, removing it leaves none). Double
// clicks, which the resizer and the controls share, close the file.

#include "graphics/support/ScriptedEditorTest.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

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

using Ints = std::vector<int>;
using Strings = std::vector<std::string>;

struct EditorSizeTest : ScriptedEditorTest
{
  EditorSizeTest() : ScriptedEditorTest(1) {}
  void SetUp() override
  {
    PlainParams();
    dlg.SetSizeConstraints(100, 400, 50, 200);
    Open();
  }
};

IMouseInfo At(float x, float y)
{
  return IMouseInfo{x, y, 0.f, 0.f, IMouseMod()};
}

} // namespace

TEST_F(EditorSizeTest, SecondFormClampsTheScaleOrTheSizeFirst)
{
  // Scale first: 2 is within [0.5, 2]; the limits then apply to the window, 300 × 2 = 600 → 400, back to 200.
  g->Resize(300, 100, true, false, 2.f);
  EXPECT_EQ((Ints{g->Width(), g->Height(), dlg.lastResizeW, dlg.lastResizeH}), (Ints{200, 100, 400, 200}));
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.f);
  // Size first: the limits are in graphics units, then the scale is clamped (5 → 2).
  g->Resize(300, 100, true, true, 5.f);
  EXPECT_EQ((Ints{g->Width(), g->Height()}), (Ints{300, 100}));
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.f);
  g->Resize(10, 900, true, true, 1.f);
  EXPECT_EQ((Ints{g->Width(), g->Height()}), (Ints{100, 200}));
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 1.f);
  // Not a number: refused in both orders.
  g->Resize(250, 60, true, true, std::nanf(""));
  g->Resize(250, 60, true, false, std::nanf(""));
  EXPECT_EQ(g->Width(), 100);
}

TEST_F(EditorSizeTest, LayoutAfterResizeAndARefusedHostResize)
{
  int layouts = 0;
  dlg.SetLayoutFunc([&](IGraphics*) { ++layouts; });
  g->Resize(250, 60, 1.f, true);
  EXPECT_EQ(layouts, 0) << "not asked for";
  g->SetLayoutOnResize(true);
  g->Resize(260, 60, 1.f, true);
  EXPECT_EQ(layouts, 1);

  // The host refuses: the platform is told the parent did not resize.
  dlg.resizeAnswer = false;
  g->calls.clear();
  g->Resize(300, 60, 1.f, false);
  EXPECT_EQ(g->calls.front(), "PlatformResize(0)");
  EXPECT_EQ(g->Width(), 300) << "the editor takes the size all the same";
}

TEST_F(EditorSizeTest, OneCornerResizerAtATime)
{
  auto* first = new RecordingControl(IRECT(180, 80, 200, 100));
  g->AttachCornerResizer(first, EUIResizerMode::Size);
  int deleted = 0;
  auto* second = new RecordingControl(IRECT());
  second->deleted = &deleted;
  g->AttachCornerResizer(second, EUIResizerMode::Scale);
  EXPECT_EQ(deleted, 1) << "a second resizer is refused and deleted";
  EXPECT_EQ(g->GetCornerResizer(), first);
  EXPECT_EQ(g->GetResizerMode(), EUIResizerMode::Size);
  g->AttachCornerResizer(nullptr);
  EXPECT_EQ(g->GetCornerResizer(), first);

  // Removing it: gone from the special controls, its capture with it, and a new one can come.
  auto* listed = g->AttachControl(new RecordingControl(IRECT(0, 0, 200, 100)));
  first->deleted = &deleted;
  g->OnMouseDown({At(190, 90)});
  ASSERT_TRUE(g->ControlIsCaptured(first));
  g->SetAllControlsClean();
  g->RemoveControl(first);
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(g->GetCornerResizer(), nullptr);
  EXPECT_FALSE(g->ControlIsCaptured());
  EXPECT_TRUE(listed->IsDirty()) << "what it covered is drawn again";
  int visited = 0;
  g->ForAllControlsFunc([&](IControl*) { ++visited; });
  EXPECT_EQ(visited, 1);
  auto* third = new RecordingControl(IRECT(0, 0, 5, 5));
  g->AttachCornerResizer(third);
  EXPECT_EQ(g->GetCornerResizer(), third);

  // A control that is not attached is nobody's to remove.
  RecordingControl loose(IRECT(0, 0, 1, 1));
  g->RemoveControl(&loose);
  EXPECT_EQ(g->NControls(), 1);
}

TEST_F(EditorSizeTest, DoubleClicksGoToTheControlOrActAsASecondClick)
{
  auto* knob = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(10, 10, 30, 30), 0)));
  knob->SetValue(0.7);
  // Handled by the control: the default value, and the capture is gone, so the mouse-up reaches nobody.
  EXPECT_TRUE(g->OnMouseDblClick(20, 20, IMouseMod()));
  g->OnMouseUp({At(20, 20)});
  EXPECT_EQ(knob->events, (Strings{"dbl"}));
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.0);
  // As a single click: a second mouse-down, then the mouse-up.
  knob->events.clear();
  knob->SetMouseDblAsSingleClick(true);
  EXPECT_TRUE(g->OnMouseDblClick(20, 20, IMouseMod()));
  g->OnMouseUp({At(20, 20)});
  EXPECT_EQ(knob->events, (Strings{"down 20,20", "up 20,20"}));
  // Empty space: not handled.
  EXPECT_FALSE(g->OnMouseDblClick(150, 80, IMouseMod()));
}

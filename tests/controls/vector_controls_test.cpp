#include "controls/IVButtonControls.h"
#include "controls/IVMiscControls.h"
#include "framework/IParam.h"
#include "PrimitiveGraphics.h"

#include <gtest/gtest.h>

#include <memory>

using namespace plugin::igraphics;
using plugin::IParam;
using namespace plugin::igraphics::test;

namespace
{

constexpr IMouseMod kNone{};

double gNow = 0.0;
double TestClock()
{
  return gNow;
}

struct VectorControlsTest : ::testing::Test
{
  RecordingDelegate dlg{2};
  std::unique_ptr<PrimitiveGraphics> g;

  void SetUp() override
  {
    gNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.GetParam(0)->InitEnum("Mode", 0, {"Low", "Mid", "High"});
    dlg.SetGraphicsReady(true);
    g = std::make_unique<PrimitiveGraphics>(dlg, 400, 300);
  }
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  void Frame(double seconds)
  {
    gNow += seconds;
    g->ForAllControlsFunc([](IControl* c) { c->Animate(); });
  }
};

// A control that shows the layout its vector part computes.
class LayoutControl : public IControl, public IVectorBase
{
public:
  LayoutControl(const IVStyle& style, const char* label, const char* value) : IControl(IRECT()), IVectorBase(style)
  {
    AttachIControl(this, label);
    SetValueStr(value);
  }
  void Draw(IGraphics&) override {}
};

} // namespace

// ---- Layout ----

TEST_F(VectorControlsTest, MakeRectsDividesBoundsIntoLabelWidgetAndValue)
{
  // Label "Gain" measures 28 × 10; value "12" measures 14 × 8, so its half width is 14 × 0.66.
  struct Case
  {
    const char* name;
    const char* label;
    int vAlign;
    bool handle;
    IRECT click, label_, widget, value;
  };
  const float hw = 14.f * 0.66f;
  const Case cases[] = {
      {"no label", "", kVAlignMiddle, false, {0, 0, 100, 100}, {}, {0, 0, 100, 100}, {50 - hw, 46, 50 + hw, 54}},
      {"middle", "Gain", kVAlignMiddle, false, {0, 10, 100, 100}, {36, 0, 64, 10}, {0, 10, 100, 100},
       {50 - hw, 51, 50 + hw, 59}},
      {"top", "Gain", kVAlignTop, false, {0, 10, 100, 100}, {36, 0, 64, 10}, {0, 18, 100, 100},
       {50 - hw, 10, 50 + hw, 18}},
      {"bottom", "Gain", kVAlignBottom, false, {0, 10, 100, 100}, {36, 0, 64, 10}, {0, 10, 100, 92},
       {50 - hw, 92, 50 + hw, 100}},
      // frame 2 and shadow 3 come off the clickable area
      {"handle", "Gain", kVAlignMiddle, true, {0, 10, 100, 100}, {36, 0, 64, 10}, {4, 11, 96, 96},
       {50 - hw, 51, 50 + hw, 59}},
  };
  for (const Case& c : cases)
  {
    IVStyle s;
    s.labelText.mSize = 10.f;
    s.valueText.mSize = 8.f;
    s.valueText.mVAlign = c.vAlign;
    s.frameThickness = 2.f;
    s.shadowOffset = 3.f;
    auto* ctl = Attach(new LayoutControl(s, c.label, "12"));
    const IRECT click = ctl->MakeRects(IRECT(0, 0, 100, 100), c.handle);
    EXPECT_TRUE(Near(click, c.click)) << c.name;
    EXPECT_TRUE(Near(ctl->GetLabelBounds(), c.label_)) << c.name;
    EXPECT_TRUE(Near(ctl->GetWidgetBounds(), c.widget)) << c.name;
    EXPECT_TRUE(Near(ctl->GetValueBounds(), c.value)) << c.name;
  }

  // An alignment outside top..bottom leaves the widget and value where they were.
  IVStyle odd;
  odd.showLabel = false;
  odd.valueText.mVAlign = 7;
  auto* ctl = Attach(new LayoutControl(odd, "", "12"));
  ctl->SetWidgetBounds(IRECT(1, 2, 3, 4));
  ctl->MakeRects(IRECT(0, 0, 100, 100));
  EXPECT_TRUE(Near(ctl->GetWidgetBounds(), {1, 2, 3, 4}));
}

TEST_F(VectorControlsTest, ButtonsAreHitOnTheirWidgetOnly)
{
  IVStyle s = Plain();
  s.showLabel = true;
  s.labelText.mSize = 10.f;
  auto* b = Attach(new IVButtonControl(IRECT(0, 0, 100, 50), SplashClickActionFunc, "Go", s, false, false));
  EXPECT_FALSE(b->IsHit(50, 5)); // on the label
  EXPECT_TRUE(b->IsHit(50, 30));
}

// ---- Slide switch ----

TEST_F(VectorControlsTest, SlideSwitchSlidesOnClickAndJumpsOnHostChange)
{
  IVStyle s = Plain();
  s.showValue = true;
  int ended = 0;
  auto* sw = Attach(new IVSlideSwitchControl(IRECT(0, 0, 100, 40), [&](IControl*) { ++ended; }, "", s, true,
                                             kHorizontal, 2, 0));
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 0, 50, 40}));
  sw->SetValueStr("v");
  sw->OnMouseDown(10, 10, kNone);
  EXPECT_EQ(sw->GetValue(), 1.0);
  ASSERT_TRUE(sw->GetAnimationFunction());
  Frame(0.05);
  EXPECT_TRUE(Near(sw->GetHandleRect(), {25, 0, 75, 40})) << "half way";
  EXPECT_TRUE(Near(sw->GetValueBounds(), {25, 0, 75, 40})) << "value follows";
  g->drawn.clear();
  sw->Draw(*g);
  EXPECT_TRUE(g->Calls("DoDrawText").empty()) << "no value text while sliding";
  EXPECT_EQ(ended, 0);
  Frame(0.06);
  EXPECT_FALSE(sw->GetAnimationFunction());
  EXPECT_TRUE(Near(sw->GetHandleRect(), {50, 0, 100, 40})) << "landed";
  EXPECT_EQ(ended, 1);
  sw->Draw(*g);
  EXPECT_EQ(g->Calls("DoDrawText").size(), 1u);

  sw->SetValueFromDelegate(0.0);
  EXPECT_FALSE(sw->GetAnimationFunction());
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 0, 50, 40})) << "host change moves at once";

  // Initial state 1 of three is the last state; a state beyond the last stays on the last cell.
  for (int initial : {1, 5})
  {
    auto* three = Attach(new IVSlideSwitchControl(IRECT(0, 0, 90, 30), nullptr, "", Plain(), false, kVertical, 3,
                                                  initial));
    EXPECT_TRUE(Near(three->GetHandleRect(), {0, 20, 90, 30})) << "last cell";
  }
}

TEST_F(VectorControlsTest, SlideEndsWithItsControl)
{
  int ended = 0;
  auto* sw = Attach(new IVSlideSwitchControl(IRECT(0, 0, 100, 40), [&](IControl*) { ++ended; }, "", Plain()));
  sw->OnMouseDown(10, 10, kNone);
  g->RemoveControl(sw);
  Frame(0.2);
  EXPECT_EQ(ended, 0);

  auto* other = Attach(new IVSlideSwitchControl(IRECT(0, 0, 100, 40), [&](IControl*) { ++ended; }, "", Plain()));
  other->OnMouseDown(10, 10, kNone);
  g.reset(); // the editor closes mid-slide
  gNow += 0.2;
  EXPECT_EQ(ended, 0);
}

// ---- Tabs and radio buttons ----

TEST_F(VectorControlsTest, TabSwitchLaysOutButtonsAndSelectsByClick)
{
  auto* tabs = Attach(new IVTabSwitchControl(IRECT(0, 0, 90, 30), nullptr, {"A", "B", "C"}, "", Plain()));
  ASSERT_EQ(tabs->NButtons(), 3);
  EXPECT_TRUE(Near(tabs->GetButtonRect(1), {30, 0, 60, 30}));
  tabs->OnMouseDown(45, 15, kNone);
  EXPECT_DOUBLE_EQ(tabs->GetValue(), 0.5);
  EXPECT_STREQ(tabs->GetSelectedLabelStr(), "B");
  tabs->SetValue(3.0); // out of range: the last tab
  EXPECT_EQ(tabs->GetSelectedIdx(), 2);

  // One tab: a click gives 0, never a division by zero, and it draws its one button.
  auto* one = Attach(new IVTabSwitchControl(IRECT(0, 0, 50, 20), nullptr, {"Only"}, "", Plain()));
  one->OnMouseDown(10, 10, kNone);
  EXPECT_EQ(one->GetValue(), 0.0);
  g->prims.clear();
  one->Draw(*g);
  EXPECT_FALSE(g->Of("FillRoundRect").empty());

  // Linked without labels: the parameter's display texts name the tabs.
  auto* linked = Attach(new IVTabSwitchControl(IRECT(0, 40, 90, 70), 0));
  EXPECT_EQ(linked->NStates(), 3);
  EXPECT_EQ(linked->NTabLabels(), 3);
  linked->SetValue(1.0);
  EXPECT_STREQ(linked->GetSelectedLabelStr(), "High");
  EXPECT_STREQ(linked->GetLabelStr(), "Mode");
}

TEST_F(VectorControlsTest, RoundedTabsRoundTheOuterEnds)
{
  IVStyle s = Plain();
  s.roundness = 1.f;
  auto* tabs = Attach(new IVTabSwitchControl(IRECT(0, 0, 40, 90), nullptr, {"A", "B", "C"}, "", s,
                                             kVShapeEndsRounded, kVertical));
  g->prims.clear();
  tabs->Draw(*g);
  const auto fills = g->Of("FillRoundRect");
  ASSERT_EQ(fills.size(), 3u);
  // Corner order top-left, top-right, bottom-left, bottom-right; the radius is half the shorter side of 30.
  EXPECT_EQ(fills[0].a, (std::vector<float>{0, 15, 0, 0}));
  EXPECT_EQ(fills[1].a, (std::vector<float>{0, 0, 0, 0}));
  EXPECT_EQ(fills[2].a, (std::vector<float>{0, 0, 0, 15}));
}

TEST_F(VectorControlsTest, RadioButtonsWithOnlyButtonsRespondingReactInTheButtonStrip)
{
  auto* radio = Attach(new IVRadioButtonControl(IRECT(0, 0, 100, 60), nullptr, {"a", "b", "c"}, "", Plain(),
                                                kVShapeEllipse, kVertical, 10.f));
  EXPECT_EQ(radio->GetSelectedIdxForPos(80, 25), 1);
  radio->SetOnlyButtonsRespond(true);
  EXPECT_EQ(radio->GetSelectedIdxForPos(80, 25), -1);
  EXPECT_EQ(radio->GetSelectedIdxForPos(29, 45), 2);
  EXPECT_EQ(radio->GetSelectedIdxForPos(30, 45), -1);
  g->prims.clear();
  radio->Draw(*g);
  const auto dots = g->Of("FillEllipse");
  ASSERT_GE(dots.size(), 3u);
  EXPECT_TRUE(Near(dots[0].r, {10, 5, 20, 15})) << "button centred in the text offset strip";
}

// ---- XY pad ----

TEST_F(VectorControlsTest, XYPadPinsValuesAndPlacesTheHandle)
{
  auto* pad = Attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {0, 1}, "", Plain(), 10.f));
  pad->OnMouseDown(150, -20, kNone);
  EXPECT_EQ(pad->GetValue(0), 1.0);
  EXPECT_EQ(pad->GetValue(1), 1.0);
  pad->OnMouseDrag(-5, 200, 0, 0, kNone);
  EXPECT_EQ(pad->GetValue(0), 0.0);
  EXPECT_EQ(pad->GetValue(1), 0.0);
  pad->OnMouseUp(0, 0, kNone);
  EXPECT_EQ(g->Count("HideMouseCursor(1,0)"), 1);
  EXPECT_EQ(g->Count("HideMouseCursor(0,0)"), 1);

  g->prims.clear();
  pad->Draw(*g);
  EXPECT_TRUE(Near(g->Of("FillEllipse").at(0).r, {-10, 90, 10, 110})) << "centred on the bottom-left corner";
  pad->SetTrackClipsHandle(false);
  g->prims.clear();
  pad->Draw(*g);
  EXPECT_TRUE(Near(g->Of("FillEllipse").at(0).r, {0, 80, 20, 100})) << "fully inside";
}

// ---- Plot ----

TEST_F(VectorControlsTest, PlotScalesCurvesAndCopesWithDegenerateInput)
{
  IVStyle s = Plain();
  auto* plot = Attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double) { return 0.0; }}}, 5, "", s));
  plot->AddPlotFunc(COLOR_BLUE, nullptr); // skipped
  g->prims.clear();
  plot->Draw(*g);
  const auto data = g->Of("DrawData");
  ASSERT_EQ(data.size(), 1u);
  EXPECT_TRUE(Near(data[0].r, {0, 10, 100, 110})) << "one grid cell off top and bottom";
  EXPECT_EQ(data[0].a, (std::vector<float>{2.f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}));
  const auto grid = g->Of("DrawGrid");
  ASSERT_EQ(grid.size(), 1u);
  EXPECT_EQ(grid[0].a, (std::vector<float>{10.f, 10.f}));

  // One point: x is 0, so the identity plots -1 → 0.
  auto* single = Attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double x) { return 2 * x - 1; }}},
                                          1, "", s));
  g->prims.clear();
  single->Draw(*g);
  ASSERT_EQ(g->Of("DrawData").size(), 1u);
  EXPECT_EQ(g->Of("DrawData")[0].a, (std::vector<float>{2.f, 0.f}));
}

// ---- Group box ----

TEST_F(VectorControlsTest, GroupBoxSizesItselfAroundItsGroup)
{
  g->AttachControl(new test::RecordingControl(IRECT(10, 10, 50, 30)), -1, "knobs");
  g->AttachControl(new test::RecordingControl(IRECT(60, 20, 100, 60)), -1, "knobs");
  IVStyle s = Plain();
  s.drawFrame = true;
  auto* box = Attach(new IVGroupControl("", "knobs", s, 5, 5, 5, 5));
  EXPECT_TRUE(Near(box->GetRECT(), {5, 5, 105, 65}));
  EXPECT_TRUE(box->GetIgnoreMouse());

  // Without a label the outline closes at the top centre.
  g->drawn.clear();
  box->Draw(*g);
  const auto moves = g->Calls("PathMoveTo");
  const auto lines = g->Calls("PathLineTo");
  ASSERT_EQ(moves.size(), 1u);
  ASSERT_FALSE(lines.empty());
  EXPECT_FLOAT_EQ(float(moves[0].a[0]), 55.f);
  EXPECT_FLOAT_EQ(float(lines.back().a[0]), 55.f);
  EXPECT_EQ(g->Calls("PathArc").size(), 4u);
}

// ---- Colour swatches ----

TEST_F(VectorControlsTest, SwatchCellsLayOutAndFill)
{
  IVStyle s = Plain();
  auto* sw = Attach(new IVColorSwatchControl(IRECT(0, 0, 90, 90), "", nullptr, s, kSwatchGrid,
                                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 42}, {"", "Fg"}));
  EXPECT_TRUE(Near(sw->GetCellRect(4), {32, 32, 58, 58})) << "middle cell";
  EXPECT_TRUE(Near(sw->GetCellRect(9), {2, 2, 88, 88})) << "beyond the grid: the whole widget";
  EXPECT_EQ(sw->GetColorIdxForCell(9), 8);
  g->prims.clear();
  g->drawn.clear();
  sw->Draw(*g);
  const auto fills = g->Of("FillRect");
  ASSERT_EQ(fills.size(), 10u);
  EXPECT_TRUE(Near(fills[0].r, {2, 2, 28, 28})) << "unlabelled: the whole cell";
  EXPECT_TRUE(Near(fills[1].r, {51.5f, 2, 58, 28})) << "labelled: the right quarter";
  EXPECT_EQ(fills[9].color, sw->GetColor(8));
  const auto texts = g->Calls("DoDrawText");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NEAR(texts[0].a[2], 32 + 0.7 * 26, 1e-4);
}

TEST_F(VectorControlsTest, ColourPickerCompletesOnlyForLiveControls)
{
  std::vector<std::pair<int, IColor>> chosen;
  auto func = [&](int i, const IColor& c) { chosen.emplace_back(i, c); };
  auto* sw = Attach(new IVColorSwatchControl(IRECT(0, 0, 90, 30), "", func, Plain(), kSwatchRow, {kFG, kX2}));
  g->pickedColor = IColor(255, 1, 2, 3);
  sw->OnMouseDown(60, 10, kNone);
  EXPECT_EQ(g->Count("PromptForColor(Choose a color)"), 1);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].first, 1);
  EXPECT_EQ(sw->GetColor(kX2), IColor(255, 1, 2, 3));
  sw->OnMouseDown(89, 29, kNone); // between cells
  EXPECT_EQ(chosen.size(), 1u);

  g->pickerLater = true;
  sw->OnMouseDown(10, 10, kNone);
  ASSERT_TRUE(g->heldPicker);
  g->RemoveControl(sw);
  g->heldPicker(COLOR_GREEN);
  EXPECT_EQ(chosen.size(), 1u);
}

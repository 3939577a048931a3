#include "controls/IVButtonControls.h"
#include "controls/IVKnobSliderControls.h"
#include "controls/IVMiscControls.h"
#include "controls/IVTrackControls.h"
#include "controls/support/PrimitiveRecorder.h"
#include "controls/support/VectorTracks.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

// Records only the primitives these tests count (rectangles, rounded rectangles, ellipses and data lines); the rest
// reach the scripted context as they are.
class PrimitiveGraphics : public PrimitiveListGraphics
{
public:
  using PrimitiveListGraphics::PrimitiveListGraphics;
  using ScriptedGraphics::FillEllipse;
  using ScriptedGraphics::FillRect;
  using ScriptedGraphics::FillRoundRect;

  void FillRect(const IColor& c, const IRECT& r, const IBlend*) override { prims.push_back({"FillRect", c, r, {}}); }
  void DrawRect(const IColor& c, const IRECT& r, const IBlend*, float) override
  {
    prims.push_back({"DrawRect", c, r, {}});
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float, const IBlend*) override
  {
    prims.push_back({"FillRoundRect", c, r, {}});
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float tl, float tr, float bl, float br, const IBlend*) override
  {
    prims.push_back({"FillRoundRect", c, r, {tl, tr, bl, br}});
  }
  void DrawData(const IColor& c, const IRECT& r, const float* y, int n, const float*, const IBlend*, float t) override
  {
    prims.push_back({"DrawData", c, r, {t}});
    prims.back().a.insert(prims.back().a.end(), y, y + n);
  }
  void FillEllipse(const IColor& c, const IRECT& r, const IBlend*) override
  {
    prims.push_back({"FillEllipse", c, r, {}});
  }
};

constexpr IMouseMod kNone{};

double gNow = 0.0;
double TestClock()
{
  return gNow;
}

// A control that shows what its vector part computes and draws.
class LayoutControl : public IControl, public IVectorBase
{
public:
  LayoutControl(const IVStyle& style, const char* label, const char* value, const IRECT& r = IRECT())
      : IControl(r), IVectorBase(style)
  {
    AttachIControl(this, label);
    SetValueStr(value);
  }
  void Draw(IGraphics&) override {}
};

struct VectorControlsTest : ::testing::Test
{
  RecordingDelegate dlg{3};
  std::unique_ptr<PrimitiveGraphics> g;

  void SetUp() override
  {
    gNow = 100.0;
    IGraphics::SetClock(TestClock);
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    dlg.SetGraphicsReady(true);
    g = std::make_unique<PrimitiveGraphics>(dlg, 400, 400);
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
  std::vector<PrimitiveGraphics::Prim> Shape(LayoutControl& c, int shape, const IRECT& r, bool pressed, bool over,
                                             bool disabled)
  {
    g->prims.clear();
    g->drawn.clear();
    c.DrawPressableShape(*g, shape, r, pressed, over, disabled);
    return g->prims;
  }
};

} // namespace

// ---- The vector base: colours, shapes, texts ----

TEST_F(VectorControlsTest, ColoursDimmingRectanglesCornersAndUnknownShapes)
{
  const IVColorSpec spec{COLOR_RED, COLOR_GREEN, COLOR_BLUE};
  EXPECT_EQ(spec.GetColor(42), COLOR_RED); // no read past the table
  EXPECT_EQ(DimmedColor({128, 62, 63, 64}, true), IColor(128, 0, 0, 1));

  // Frame 1, shadow offset 3: handle = bounds inset by 0.5, then 2 × 3 narrower and 3 shorter, top unmoved; the
  // shadow is the handle moved by (3, 3). Roundness 0: square corners whatever the flags.
  const IRECT r(10, 20, 110, 70);
  LayoutControl c(DEFAULT_STYLE, "label", "", r);
  auto p = Shape(c, kVShapeRectangle, r, false, false, true);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ((std::tuple{p[0].color, p[0].r, p[0].a}),
            (std::tuple{IColor(60, 0, 0, 0), IRECT(16.5f, 23.5f, 109.5f, 69.5f), std::vector<float>(4, 0.f)}));
  EXPECT_EQ((std::tuple{p[1].color, p[1].r}),
            (std::tuple{IColor(255, 137, 137, 137), IRECT(13.5f, 20.5f, 106.5f, 66.5f)}));

  IVStyle style;
  style.roundness = 0.5f;
  style.drawShadows = false;
  LayoutControl round(style, "", "", r);
  EXPECT_EQ(Shape(round, kVShapeEndsRounded, r, false, false, false)[0].a, (std::vector<float>{12.25f, 12.25f, 0, 0}));
  p = Shape(round, kVShapeAllRounded, r, true, true, false);
  EXPECT_EQ((std::tuple{p[0].a, p[0].color}), (std::tuple{std::vector<float>(4, 12.25f), IColor(255, 240, 240, 240)}));

  for (int shape : {5, 9, -1})
    EXPECT_TRUE(Shape(c, shape, r, false, true, false).empty() && g->drawn.empty()) << shape;
}

TEST_F(VectorControlsTest, LabelAndValueTexts)
{
  LayoutControl c(DEFAULT_STYLE, "label", "0.5 dB", IRECT(0, 0, 100, 100));
  c.DrawLabel(*g); // no label rectangle yet
  EXPECT_TRUE(g->Calls("DoDrawText").empty());
  c.SetLabelBounds(IRECT(0, 0, 100, 20));
  c.SetValueBounds(IRECT(0, 80, 100, 100));
  c.DrawLabel(*g);
  c.DrawValue(*g, true);
  const auto texts = g->Calls("DoDrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ((std::tuple{texts[0].text, texts[0].a[4], texts[1].text, texts[1].a[4]}),
            (std::tuple{std::string("label"), 19.0, std::string("0.5 dB"), 14.0}));
  EXPECT_EQ(g->Of("FillRect").at(0).r, IRECT(0, 80, 100, 100)); // hover tint
}

// One style for every vector control of the editor; the other controls are passed over and stay clean.
TEST_F(VectorControlsTest, ApplyingAStyleReachesEveryVectorControlOnly)
{
  auto* plain = Attach(new LayoutControl(DEFAULT_STYLE, "a", ""));
  auto* other = Attach(new RecordingControl(IRECT(0, 0, 10, 10)));
  auto* knob = Attach(new IVKnobControl(IRECT(0, 0, 100, 133), 0, "", DEFAULT_STYLE, true));
  IVStyle style = Plain();
  style.roundness = 0.5f;
  style.colorSpec.SetColor(kFG, COLOR_ORANGE);
  g->SetAllControlsClean();
  g->ApplyStyleToVectorControls(style);
  for (const IVectorBase* vb : {static_cast<IVectorBase*>(plain), static_cast<IVectorBase*>(knob)})
  {
    const IVStyle& got = vb->GetStyle();
    EXPECT_EQ((std::tuple{got.showLabel, got.drawShadows, got.roundness, got.colorSpec.GetColor(kFG)}),
              (std::tuple{false, false, 0.5f, COLOR_ORANGE}));
  }
  EXPECT_EQ((std::vector<bool>{plain->IsDirty(), other->IsDirty(), knob->IsDirty()}),
            (std::vector<bool>{true, false, true}));
}

// ---- Knobs and sliders ----

TEST_F(VectorControlsTest, KnobLayoutTextsAndValueTextClicks)
{
  auto* k = Attach(new IVKnobControl(IRECT(0, 0, 100, 133), 0, "", DEFAULT_STYLE, true));
  EXPECT_STREQ(k->GetLabelStr(), "Gain"); // the parameter's name for an empty label
  const std::string value = k->GetValueStr();
  // Label 19 tall at the top, value 14 tall at the bottom (0.66 of its width each side), the widget between.
  const float hw = 7.f * float(value.size()) * 0.66f;
  EXPECT_EQ(k->GetLabelBounds(), IRECT(36, 0, 64, 19));
  EXPECT_EQ(k->GetValueBounds(), IRECT(50 - hw, 119, 50 + hw, 133));
  EXPECT_EQ(k->GetWidgetBounds(), IRECT(0, 19, 100, 119));

  // An editable value opens text entry over the value text and starts no drag.
  const IRECT vr = k->GetValueBounds();
  k->OnMouseDown(vr.MW(), vr.MH(), IMouseMod(true));
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].bounds, vr);
  EXPECT_FALSE(k->GetMouseDown());

  // Drag bounds: a tall widget's are half as tall as wide.
  auto* tall = Attach(new IVKnobControl(IRECT(0, 200, 100, 400), 0, "", Bare()));
  EXPECT_EQ(tall->GetKnobDragBounds(), IRECT(0, 275, 100, 325));
}

TEST_F(VectorControlsTest, SliderTrackHandleClickAndDrag)
{
  // Handle size 8 keeps the track 8 off both ends; without a handle size nothing is drawn for it.
  auto* bare = Attach(new IVSliderControl(IRECT(0, 0, 200, 60), 0, "", Bare(), false, kHorizontal, true, 4.0, 0, 2));
  EXPECT_EQ(bare->GetTrackBounds(), IRECT(0, 28, 200, 32));
  bare->Draw(*g);
  EXPECT_TRUE(g->Of("FillEllipse").empty());

  auto* s = Attach(new IVSliderControl(IRECT(0, 0, 40, 216), 0, "", Bare(), false, kVertical, false, 4.0, 8.f, 2.f));
  EXPECT_EQ(s->GetTrackBounds(), IRECT(18, 8, 22, 208));
  s->OnMouseDown(20, 58, IMouseMod(true)); // track 8..208: a click jumps to 0.75
  EXPECT_NEAR(s->GetValue(), 0.75, 1e-9);
  // With the cursor hidden drags are relative: 20 down on 200 at gearing 4 lose 0.025; with control 0.0025.
  s->OnMouseDrag(20, 78, 0, 20, IMouseMod(true));
  s->OnMouseDrag(20, 98, 0, 20, IMouseMod(true, false, false, true));
  s->OnMouseUp(20, 98, IMouseMod(true));
  EXPECT_NEAR(dlg.sentFromUI.back().value, 0.7225, 1e-9);
}

// ---- Tracks ----

TEST_F(VectorControlsTest, TrackFilledPartsPeaksAndSteps)
{
  struct Case
  {
    const char* what;
    EDirection dir;
    int steps;
    bool extra;
    double base, value;
    IRECT fill, peak; // of track 0; empty: none drawn
  };
  const IColor fg(255, 200, 200, 200), frame(255, 70, 70, 70);
  for (const Case& c :
       {Case{"from the start", kVertical, 0, true, 0, 0.3, {0, 70, 100, 100}, {0, 70, 100, 71}},
        Case{"down from the baseline", kVertical, 0, true, 0.5, 0.2, {0, 50, 100, 80}, {0, 79, 100, 80}},
        Case{"stored beyond 1", kVertical, 0, true, 0, 1.7, {0, 0, 100, 100}, {0, 0, 100, 1}},
        Case{"zero fills the bottom cell", kVertical, 4, true, 0, 0, {0, 80, 100, 100}, {}},
        Case{"no cell for zero", kVertical, 4, false, 0, 0, {}, {}},
        Case{"horizontal cell", kHorizontal, 4, true, 0, 0.5, {40, 0, 60, 100}, {}}})
  {
    SCOPED_TRACE(c.what);
    g->prims.clear();
    auto* t = new Tracks(c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200), {0, 1}, c.steps, c.dir,
                         0.f, c.base, c.extra);
    g->AttachControl(t);
    t->SetValue(c.value, 0);
    t->Draw(*g);
    // Track 0 draws before its frame: handle in the foreground colour, peak in the frame colour.
    IRECT fill, peak;
    for (const auto& p : g->prims)
    {
      if (p.op == "DrawRect") break;
      if (p.op == "FillRect" && p.color == fg) fill = p.r;
      if (p.op == "FillRect" && p.color == frame) peak = p.r;
    }
    EXPECT_EQ(fill, c.fill);
    EXPECT_EQ(peak, c.peak);
  }
}

TEST_F(VectorControlsTest, TrackWithoutTracksNothingDividesByZero)
{
  auto* t = new Tracks(IRECT(0, 0, 200, 100), {}, 4, kVertical);
  auto* negative = new Tracks(IRECT(0, 0, 200, 100), {0}, -1, kVertical);
  auto* range = new IVRangeSliderControl(IRECT(0, 100, 200, 200), {}, "", Bare(), kHorizontal);
  for (IControl* c : std::initializer_list<IControl*>{t, negative, range})
    g->AttachControl(c);
  EXPECT_TRUE(t->GetTrackBounds().empty());
  EXPECT_TRUE(negative->GetStepBounds().empty());
  EXPECT_EQ(t->GetValIdxForPos(10, 10), -1);
  g->prims.clear();
  t->Draw(*g);
  range->Draw(*g);
  EXPECT_EQ(g->prims.size(), 2u); // each its background only
  range->OnMouseOver(100, 150, IMouseMod());
  range->OnMouseDown(100, 150, IMouseMod(true));
  range->OnMouseDrag(120, 150, 20, 0, IMouseMod(true));
  EXPECT_TRUE(range->GetHandleBounds(0).Empty());
  EXPECT_TRUE(dlg.sentFromUI.empty());
}

TEST_F(VectorControlsTest, RangeSliderHandlesStayBetweenNeighbours)
{
  auto* r = Attach(new IVRangeSliderControl(IRECT(0, 0, 200, 100), {0, 1, 2}, "", Bare(), kHorizontal, 8.f, 2.f));
  for (int i = 0; i < 3; ++i)
    r->SetValue(0.2 + 0.3 * i, i);
  // {handle hovered, press x, drag x, value after press, after drag}; x / 200 is the value under the mouse.
  const double steps[][5] = {{1, 100, 190, 0.5, 0.8}, {1, 150, 0, 0.75, 0.2}, {2, 160, 250, 0.8, 1.0}};
  for (const auto& s : steps)
  {
    const int h = int(s[0]);
    const IRECT hb = r->GetHandleBounds(h);
    r->OnMouseOver(hb.MW(), hb.MH(), IMouseMod());
    ASSERT_EQ(r->GetMouseOverHandle(), h);
    r->OnMouseDown(float(s[1]), 30, IMouseMod(true));
    EXPECT_NEAR(r->GetValue(h), s[3], 1e-9);
    r->OnMouseDrag(float(s[2]), 30, float(s[2] - s[1]), 0, IMouseMod(true));
    EXPECT_NEAR(r->GetValue(h), s[4], 1e-9);
    r->OnMouseUp(float(s[2]), 30, IMouseMod(true));
  }
}

// ---- Slide switch ----

TEST_F(VectorControlsTest, SlideSwitchSlidesOnClickJumpsOnHostChangeAndEndsWithItsControl)
{
  int ended = 0;
  auto* sw = Attach(new IVSlideSwitchControl(IRECT(0, 0, 100, 40), [&](IControl*) { ++ended; }, "", Plain(), true,
                                             kHorizontal, 2, 0));
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 0, 50, 40}));
  sw->OnMouseDown(10, 10, kNone);
  EXPECT_EQ(sw->GetValue(), 1.0);
  Frame(0.05);
  EXPECT_TRUE(Near(sw->GetHandleRect(), {25, 0, 75, 40})) << "half way";
  Frame(0.06);
  EXPECT_FALSE(sw->GetAnimationFunction());
  EXPECT_TRUE(Near(sw->GetHandleRect(), {50, 0, 100, 40})) << "landed";
  EXPECT_EQ(ended, 1);

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

  // The slide lives in the control: it ends with the control or with the editor.
  ended = 0;
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

// ---- Tabs ----

TEST_F(VectorControlsTest, TabSwitchLaysOutButtonsAndSelectsByClick)
{
  auto* tabs = Attach(new IVTabSwitchControl(IRECT(0, 0, 90, 30), nullptr, {"A", "B", "C"}, "", Plain()));
  EXPECT_TRUE(Near(tabs->GetButtonRect(1), {30, 0, 60, 30}));
  tabs->OnMouseDown(45, 15, kNone);
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
}

// ---- XY pad ----

TEST_F(VectorControlsTest, XYPadPinsValuesAndKeepsTheValueOfAFlatAxis)
{
  auto* pad = Attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {0, 1}, "", Plain(), 10.f));
  pad->OnMouseDown(150, -20, kNone);
  EXPECT_EQ(pad->GetValue(0), 1.0);
  EXPECT_EQ(pad->GetValue(1), 1.0);
  pad->OnMouseDrag(-5, 200, 0, 0, kNone);
  EXPECT_EQ(pad->GetValue(0), 0.0);
  EXPECT_EQ(pad->GetValue(1), 0.0);

  // No width: the x value stays where it was, y still follows.
  auto* flat = Attach(new IVXYPadControl(IRECT(0, 0, 0, 100), {-1, -1}, "", Plain(), 10.f));
  flat->SetValue(0.3, 0);
  flat->OnMouseDown(0, 25, kNone);
  EXPECT_DOUBLE_EQ(flat->GetValue(0), 0.3);
  EXPECT_DOUBLE_EQ(flat->GetValue(1), 0.75);
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

  // One point: x is 0, so the identity plots -1 → 0.
  auto* single = Attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double x) { return 2 * x - 1; }}},
                                          1, "", s));
  g->prims.clear();
  single->Draw(*g);
  ASSERT_EQ(g->Of("DrawData").size(), 1u);
  EXPECT_EQ(g->Of("DrawData")[0].a, (std::vector<float>{2.f, 0.f}));
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
  sw->Draw(*g);
  const auto fills = g->Of("FillRect");
  ASSERT_EQ(fills.size(), 10u);
  EXPECT_TRUE(Near(fills[1].r, {51.5f, 2, 58, 28})) << "labelled: the right quarter";
  EXPECT_EQ(fills[9].color, sw->GetColor(8));
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

  g->pickerLater = true;
  sw->OnMouseDown(10, 10, kNone);
  ASSERT_TRUE(g->heldPicker);
  g->RemoveControl(sw);
  g->heldPicker(COLOR_GREEN);
  EXPECT_EQ(chosen.size(), 1u);
}

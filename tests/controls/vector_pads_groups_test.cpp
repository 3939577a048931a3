// The XY pad, the plot, the group box and the colour swatches: their drawing (primitives and path calls against
// numbers worked out by hand), hover and mouse handling.

#include "controls/IVMiscControls.h"
#include "controls/support/VectorFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

using Prims = std::vector<PrimitiveRecorder::Prim>;
using Args = std::vector<double>;
constexpr IMouseMod kNone{};
const IColor kSHColor(60, 0, 0, 0), kFRColor(255, 70, 70, 70);

struct VectorPadsGroupsTest : VectorFixture
{
  // Draws c through the frame loop (so it has the clip the context gives it) and returns the clip regions set.
  std::vector<Args> FrameClips(IControl& c)
  {
    g->Reset();
    IRECTList rects;
    rects.Add(c.GetRECT());
    g->Draw(rects);
    std::vector<Args> out;
    for (const auto& call : g->Calls("SetClipRegion"))
      out.push_back(call.a);
    return out;
  }
};

} // namespace

// ---- XY pad ----

TEST_F(VectorPadsGroupsTest, XYPadPlacesItsHandleOnTheValuesAndHidesTheCursorWhileDragging)
{
  auto* pad = Attach(new IVXYPadControl(IRECT(0, 0, 100, 100), {2, 3}, "", Plain(), 10.f));
  pad->OnMouseDown(150, -20, kNone);
  EXPECT_TRUE(pad->GetMouseDown());
  pad->OnMouseDrag(-5, 200, 0, 0, kNone);
  pad->OnMouseUp(0, 0, kNone);
  EXPECT_FALSE(pad->GetMouseDown());
  EXPECT_EQ(g->Count("HideMouseCursor(1,0)"), 1);
  EXPECT_EQ(g->Count("HideMouseCursor(0,0)"), 1);
  // Both values reach their parameters: x 1 then 0, y 1 then 0 (slot 1 runs upward).
  EXPECT_EQ((std::tuple{dlg.GetParam(2)->Value(), dlg.GetParam(3)->Value()}), (std::tuple{0.0, 0.0}));

  // A crosshair through the middle in the shadow colour, then the handle centred on (0, 0): the bottom-left corner.
  Prims p = DrawOf(*pad);
  const Prims lines = [&]
  {
    Prims out;
    for (const auto& q : p)
      if (q.op == "DrawLine") out.push_back(q);
    return out;
  }();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ((std::tuple{lines[0].color, lines[0].r, lines[1].r}),
            (std::tuple{kSHColor, IRECT(50, 0, 50, 100), IRECT(0, 50, 100, 50)}));
  EXPECT_TRUE(Near(g->Of("FillEllipse").at(0).r, {-10, 90, 10, 110})) << "centred on the bottom-left corner";
  pad->SetTrackClipsHandle(false);
  DrawOf(*pad);
  EXPECT_TRUE(Near(g->Of("FillEllipse").at(0).r, {0, 80, 20, 100})) << "fully inside";

  // At (0.75, 0.25) inside the inset area 10..90: centre (70, 70).
  pad->SetValue(0.75, 0);
  pad->SetValue(0.25, 1);
  DrawOf(*pad);
  EXPECT_TRUE(Near(g->Of("FillEllipse").at(0).r, {60, 60, 80, 80}));
}

TEST_F(VectorPadsGroupsTest, XYPadClipsItsHandleToTheWidgetLessHalfTheFrameAndFramesIt)
{
  IVStyle s = Plain();
  s.drawFrame = true;
  s.frameThickness = 2.f;
  auto* pad = Attach(new IVXYPadControl(IRECT(10, 10, 110, 110), {2, 3}, "", s, 8.f));
  // The frame around the widget, then the crosshair, then the handle.
  const Prims p = DrawOf(*pad);
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ((std::tuple{p[1].op, p[1].color, p[1].r, p[1].a}),
            (std::tuple{std::string("DrawRect"), kFRColor, IRECT(10, 10, 110, 110), std::vector<float>{2}}));
  // In the frame the control is clipped to its own pixels; the handle then to the widget less 1 on each side.
  const auto clips = FrameClips(*pad);
  ASSERT_EQ(clips.size(), 2u);
  EXPECT_EQ(clips[1], (Args{11, 11, 109, 109}));
  // Without clipping the handle keeps to the inset area: no second clip.
  pad->SetTrackClipsHandle(false);
  EXPECT_EQ(FrameClips(*pad).size(), 1u);
}

// ---- Plot ----

TEST_F(VectorPadsGroupsTest, PlotDrawsAGridOfTenByTwelveCellsAndALayeredPlotOnlyWhenItChanges)
{
  auto* plot =
      Attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double) { return 0.0; }}}, 5, "", Plain()));
  DrawOf(*plot);
  const Prims grid = g->Of("DrawGrid");
  ASSERT_EQ(grid.size(), 1u);
  EXPECT_EQ((std::tuple{grid[0].color, grid[0].r, grid[0].a}),
            (std::tuple{kSHColor, IRECT(0, 0, 100, 120), std::vector<float>{10, 10, 1}}));

  // Layered: the body goes into a layer on the first draw, the layer alone on the next; a new curve remakes it.
  auto* layered = Attach(new IVPlotControl(IRECT(0, 0, 100, 120), {{COLOR_RED, [](double x) { return x; }}}, 3, "",
                                           Plain(), true, 0.f, 1.f));
  struct Draw
  {
    size_t curves, images;
  };
  auto draw = [&]
  {
    DrawOf(*layered);
    return Draw{g->Of("DrawData").size(), g->Calls("DrawBitmap").size()};
  };
  Draw d = draw();
  EXPECT_EQ((std::tuple{d.curves, d.images}), (std::tuple{size_t(1), size_t(1)}));
  EXPECT_EQ(g->Of("DrawData").at(0).a, (std::vector<float>{2, 0, 0.5f, 1}));
  d = draw();
  EXPECT_EQ((std::tuple{d.curves, d.images}), (std::tuple{size_t(0), size_t(1)}));
  layered->AddPlotFunc(COLOR_BLUE, [](double) { return 1.0; });
  d = draw();
  EXPECT_EQ((std::tuple{d.curves, d.images}), (std::tuple{size_t(2), size_t(1)}));
  EXPECT_EQ(g->Of("DrawData").at(1).color, COLOR_BLUE);
}

// ---- Group box ----

TEST_F(VectorPadsGroupsTest, GroupBoxSizesItselfAroundItsGroupAndNeverAroundItself)
{
  g->AttachControl(new RecordingControl(IRECT(10, 10, 50, 30)), -1, "knobs");
  g->AttachControl(new RecordingControl(IRECT(60, 20, 100, 60)), -1, "knobs");
  g->AttachControl(new RecordingControl(IRECT()), -1, "knobs"); // no size: not counted
  g->AttachControl(new RecordingControl(IRECT(300, 300, 350, 350)), -1, "other");
  IVStyle s = Plain();
  s.drawFrame = true;
  auto* box =
      static_cast<IVGroupControl*>(g->AttachControl(new IVGroupControl("", "knobs", s, 5, 5, 5, 5), -1, "knobs"));
  EXPECT_TRUE(Near(box->GetRECT(), {5, 5, 105, 65}));
  EXPECT_TRUE(box->GetIgnoreMouse());
  EXPECT_STREQ(box->GetGroupName(), "knobs");
  EXPECT_EQ(g->GetMouseControl(50, 40, false), nullptr); // hit tests pass over it

  // Sized again from the group, it leaves itself out although it belongs to the group.
  box->SetBoundsBasedOnGroup("knobs", 0, 0, 0, 0);
  EXPECT_TRUE(Near(box->GetRECT(), {10, 10, 100, 60}));

  // Without a label the outline closes at the top centre: from x 55 round four corners back to x 55. The widget's
  // top moved up by half the frame, so the line runs along the top of the bounds.
  box->SetBoundsBasedOnGroup("knobs", 5, 5, 5, 5);
  g->Reset();
  box->Draw(*g);
  const auto moves = g->Calls("PathMoveTo");
  const auto lines = g->Calls("PathLineTo");
  ASSERT_EQ(moves.size(), 1u);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ((Args{moves[0].a[0], moves[0].a[1], lines[0].a[0], lines[0].a[1]}), (Args{55, 5, 55, 5}));
  EXPECT_EQ(g->Calls("PathArc").size(), 4u);
  EXPECT_EQ(g->Calls("PathStroke").at(0).color, kFRColor); // no shadows: the frame colour
}

TEST_F(VectorPadsGroupsTest, GroupBoxSetsItsLabelIntoTheTopEdgeAfterTheRoundedCorner)
{
  // Label "Group" measures 35 × 19 at the label text's size; roundness 0.2; frame 1; label offset 10.
  IVStyle s = Bare();
  s.showLabel = true;
  s.roundness = 0.2f;
  auto* box = Attach(new IVGroupControl(IRECT(0, 0, 200, 100), "Group", s, 10.f));
  // Widget: below the label (19), then up by half the label and half the frame: top 9. Corner radius
  // min(200, 91) / 2 × 0.2 = 9.1; the label, 10 wider each side, starts at 0 + 1 + 10 + 9.1.
  EXPECT_TRUE(Near(box->GetWidgetBounds(), {0, 9, 200, 100}));
  EXPECT_TRUE(Near(box->GetLabelBounds(), {20.1f, 0, 75.1f, 19}));

  g->Reset();
  box->Draw(*g);
  EXPECT_EQ(g->texts, std::vector<std::string>{"Group"});
  const auto move = g->Calls("PathMoveTo").at(0).a;
  const auto arcs = g->Calls("PathArc");
  const auto line = g->Calls("PathLineTo").at(0).a;
  EXPECT_NEAR(move[0], 75.1, 1e-4);
  EXPECT_NEAR(move[1], 9.5, 1e-4);
  ASSERT_EQ(arcs.size(), 4u);
  // Centres inset by the radius and half the frame; angles clockwise from 12 o'clock, right-hand corners first.
  const double expected[4][5] = {
      {190.4, 18.6, 9.1, 0, 90}, {190.4, 90.4, 9.1, 90, 180}, {9.6, 90.4, 9.1, 180, 270}, {9.6, 18.6, 9.1, 270, 360}};
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 5; ++k)
      EXPECT_NEAR(arcs[size_t(i)].a[size_t(k)], expected[i][k], 1e-4) << i << " " << k;
  EXPECT_NEAR(line[0], 20.1, 1e-4);
  // Shadows on: the shadow colour; frame thickness, miter limit 10, no dashes.
  const auto stroke = g->Calls("PathStroke").at(0);
  EXPECT_EQ((std::tuple{stroke.color, stroke.a[0], stroke.a[1], stroke.a[3]}), (std::tuple{kSHColor, 1.0, 0.0, 10.0}));
}

// ---- Colour swatches ----

TEST_F(VectorPadsGroupsTest, SwatchLabelsTakeTheLeftSeventyPercentAndTheHoveredCellIsFramedLighter)
{
  auto* sw = Attach(new IVColorSwatchControl(IRECT(0, 0, 90, 90), "", nullptr, Plain(), kSwatchGrid,
                                             {0, 1, 2, 3, 4, 5, 6, 7, 8}, {"", "Fg"}));
  // Cell 1 is 32..58 wide: its label fills {32, 2, 32 + 0.7 × 26, 28}, far-aligned.
  DrawOf(*sw);
  const Prims texts = g->Of("Text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(Near(texts[0].r, {32, 2, 32 + 0.7f * 26, 28}));
  EXPECT_EQ(texts[0].a[0], float(kAlignFar));

  const IColor grey(255, 127, 127, 127), dark(255, 70, 70, 70);
  auto frames = [&]
  {
    DrawOf(*sw);
    std::vector<IColor> out;
    for (const auto& p : g->Of("DrawRect"))
      out.push_back(p.color);
    return out;
  };
  sw->OnMouseOver(45, 45, kNone); // the middle cell
  EXPECT_EQ(sw->GetMouseOverCell(), 4);
  std::vector<IColor> f = frames();
  ASSERT_EQ(f.size(), 9u);
  EXPECT_EQ((std::tuple{f[3], f[4], f[5]}), (std::tuple{dark, grey, dark}));
  // Each frame is the swatch grown by half a unit.
  EXPECT_TRUE(Near(g->Of("DrawRect")[4].r, {31.5f, 31.5f, 58.5f, 58.5f}));
  sw->OnMouseOver(30, 30, kNone); // between cells
  EXPECT_EQ(sw->GetMouseOverCell(), -1);
  sw->OnMouseOver(5, 5, kNone);
  sw->OnMouseOut();
  EXPECT_EQ(sw->GetMouseOverCell(), -1);
  for (const IColor& c : frames())
    EXPECT_EQ(c, dark);

  // A column of three in 30 × 90: one cell per 30 units down, each inset by 2.
  auto* column =
      Attach(new IVColorSwatchControl(IRECT(100, 0, 130, 90), "", nullptr, Plain(), kSwatchColumn, {kFG, kPR, kFR}));
  EXPECT_TRUE(Near(column->GetCellRect(1), {102, 32, 128, 58}));
  EXPECT_TRUE(Near(column->GetCellRect(2), {102, 62, 128, 88}));
}

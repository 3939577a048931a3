#include "controls/IVTrackControls.h"
#include "PrimitiveGraphics.h"

#include <gtest/gtest.h>

using namespace plugin::igraphics;
using plugin::igraphics::test::Bare;
using plugin::igraphics::test::PrimitiveGraphics;
using plugin::igraphics::test::RecordingDelegate;

namespace
{

// The track base draws nothing by itself: background and tracks, as a meter or sequencer would.
class Tracks : public IVTrackControlBase
{
public:
  Tracks(const IRECT& r, const std::vector<int>& params, int steps, EDirection dir, float spacing = 0.f,
         double base = 0.0, bool extraStep = true)
      : IVTrackControlBase(r, params, "", Bare(), steps, dir)
  {
    mTrackPadding = spacing;
    mBaseValue = base;
    mHasExtraStep = extraStep;
  }
  void Draw(IGraphics& g) override
  {
    DrawBackground(g, mRECT);
    DrawWidget(g);
  }
};

struct Editor
{
  Editor() { dlg.SetGraphicsReady(true); }
  RecordingDelegate dlg{4};
  PrimitiveGraphics g{dlg, 400, 400};
};
} // namespace

TEST(IVTrackControlBase, TrackAndStepRectanglesAndHits)
{
  struct Case
  {
    EDirection dir;
    float spacing;
    int steps;
    bool extra;
    IRECT track0, track1, step0, stepLast;
    size_t nSteps;
  };
  // Bounds 0,0,200,100 (vertical tracks side by side) or 0,0,100,200 (horizontal tracks stacked).
  for (const Case& c :
       {Case{kVertical, 0, 4, true, {0, 0, 100, 100}, {100, 0, 200, 100}, {0, 80, 200, 100}, {0, 0, 200, 20}, 5},
        Case{kVertical, 4, 4, false, {0, 0, 96, 96}, {100, 0, 196, 96}, {0, 75, 200, 100}, {0, 0, 200, 25}, 4},
        Case{kHorizontal, 4, 4, true, {0, 4, 100, 96}, {0, 104, 100, 196}, {80, 0, 100, 200}, {0, 0, 20, 200}, 5}})
  {
    Editor e;
    const IRECT b = c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200);
    auto* t = new Tracks(b, {0, 1}, c.steps, c.dir, c.spacing, 0.0, c.extra);
    e.g.AttachControl(t);
    EXPECT_EQ(t->GetParamIdx(1), 1);
    EXPECT_EQ(t->GetTrackBounds(), (std::vector<IRECT>{c.track0, c.track1}));
    ASSERT_EQ(t->GetStepBounds().size(), c.nSteps);
    EXPECT_EQ(t->GetStepBounds().front(), c.step0);
    EXPECT_EQ(t->GetStepBounds().back(), c.stepLast);
    // Hovers go to the track under the mouse; the spacing and the far edges belong to none.
    EXPECT_EQ(t->GetValIdxForPos(c.track0.MW(), c.track0.MH()), 0);
    EXPECT_EQ(t->GetValIdxForPos(b.R, b.B), -1);
    const bool v = c.dir == kVertical;
    EXPECT_EQ(t->GetValIdxForPos(v ? c.track0.R + 1 : c.track0.MW(), v ? c.track0.MH() : c.track0.B + 1),
              c.spacing > 0 ? -1 : 1);
    t->OnMouseOver(c.track1.MW(), c.track1.MH(), IMouseMod());
    EXPECT_EQ(t->GetMouseOverTrack(), 1);
  }
}

TEST(IVTrackControlBase, FilledPartsPeaksStepsAndBaseline)
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
        Case{"up from the baseline", kVertical, 0, true, 0.5, 0.8, {0, 20, 100, 50}, {0, 20, 100, 21}},
        Case{"down from the baseline", kVertical, 0, true, 0.5, 0.2, {0, 50, 100, 80}, {0, 79, 100, 80}},
        Case{"left of the baseline", kHorizontal, 0, true, 0.5, 0.25, {25, 0, 50, 100}, {25, 0, 26, 100}},
        Case{"stored beyond 1", kVertical, 0, true, 0, 1.7, {0, 0, 100, 100}, {0, 0, 100, 1}},
        Case{"zero fills the bottom cell", kVertical, 4, true, 0, 0, {0, 80, 100, 100}, {}},
        Case{"the cell at the value", kVertical, 4, true, 0, 0.3, {0, 60, 100, 80}, {}},
        Case{"no cell for zero", kVertical, 4, false, 0, 0, {}, {}},
        Case{"horizontal cell", kHorizontal, 4, true, 0, 0.5, {40, 0, 60, 100}, {}}})
  {
    SCOPED_TRACE(c.what);
    Editor e;
    auto* t = new Tracks(c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200), {0, 1}, c.steps, c.dir,
                         0.f, c.base, c.extra);
    e.g.AttachControl(t);
    t->SetValue(c.value, 0);
    t->Draw(e.g);
    // Track 0 draws before its frame: handle in the foreground colour, peak in the frame colour.
    IRECT fill, peak;
    for (const auto& p : e.g.prims)
    {
      if (p.op == "DrawRect") break;
      if (p.op == "FillRect" && p.color == fg) fill = p.r;
      if (p.op == "FillRect" && p.color == frame) peak = p.r;
    }
    EXPECT_EQ(fill, c.fill);
    EXPECT_EQ(peak, c.peak);
    const auto lines = e.g.Of("DrawLine"); // the baseline across the background
    ASSERT_EQ(lines.size(), c.base > 0 ? 1u : 0u);
    if (c.base > 0)
    {
      EXPECT_EQ(lines[0].r, c.dir == kVertical ? IRECT(0, 50, 200, 50) : IRECT(50, 0, 50, 200));
    }
  }
}

TEST(IVTrackControlBase, WithoutTracksNothingDividesByZero)
{
  Editor e;
  auto* t = new Tracks(IRECT(0, 0, 200, 100), {}, 4, kVertical);
  auto* negative = new Tracks(IRECT(0, 0, 200, 100), {0}, -1, kVertical);
  auto* range = new IVRangeSliderControl(IRECT(0, 100, 200, 200), {}, "", Bare(), kHorizontal);
  for (IControl* c : std::initializer_list<IControl*>{t, negative, range})
    e.g.AttachControl(c);
  EXPECT_TRUE(t->GetTrackBounds().empty());
  EXPECT_TRUE(negative->GetStepBounds().empty());
  EXPECT_EQ(t->GetValIdxForPos(10, 10), -1);
  t->Draw(e.g);
  range->Draw(e.g);
  EXPECT_EQ(e.g.prims.size(), 2u); // each its background only
  range->OnMouseOver(100, 150, IMouseMod());
  range->OnMouseDown(100, 150, IMouseMod(true));
  range->OnMouseDrag(120, 150, 20, 0, IMouseMod(true));
  EXPECT_TRUE(range->GetHandleBounds(0).Empty());
  EXPECT_TRUE(e.dlg.sentFromUI.empty());
}

TEST(IVRangeSliderControl, HandlesAlternateSidesAndStayBetweenNeighbours)
{
  // Handle size 8, track size 2, default style (rectangle shape with shadows: handles shift by 1.5); values .25, .75.
  for (EDirection dir : {kVertical, kHorizontal})
  {
    Editor e;
    const bool v = dir == kVertical;
    auto* r =
        new IVRangeSliderControl(v ? IRECT(0, 0, 100, 200) : IRECT(0, 0, 200, 100), {0, 1}, "", Bare(), dir, 8, 2);
    e.g.AttachControl(r);
    r->SetValue(0.25, 0);
    r->SetValue(0.75, 1);
    EXPECT_EQ(r->GetTrackBounds()[1], v ? IRECT(48, 8, 52, 192) : IRECT(8, 48, 192, 52));
    EXPECT_EQ(r->GetHandleBounds(0), v ? IRECT(35.5f, 138, 51.5f, 154) : IRECT(46, 53.5f, 62, 69.5f));
    EXPECT_EQ(r->GetHandleBounds(1), v ? IRECT(53.5f, 46, 69.5f, 62) : IRECT(138, 35.5f, 154, 51.5f));
    r->Draw(e.g);
    const IRECT span = v ? IRECT(48, 54, 52, 146) : IRECT(54, 48, 146, 52);
    EXPECT_EQ(e.g.Of("FillRect").at(2).r, span); // after the background and the track's own background
    EXPECT_EQ(e.g.Of("FillTriangle").size(), 4u);
  }

  Editor e;
  auto* r = new IVRangeSliderControl(IRECT(0, 0, 200, 100), {0, 1, 2}, "", Bare(), kHorizontal, 8.f, 2.f);
  e.g.AttachControl(r);
  for (int i = 0; i < 3; ++i)
    r->SetValue(0.2 + 0.3 * i, i);
  // {handle hovered, press x, drag x, value after press, after drag}; x / 200 is the value under the mouse.
  const double steps[][5] = {
      {1, 100, 190, 0.5, 0.8}, {1, 150, 0, 0.75, 0.2}, {0, 40, -50, 0.2, 0.0}, {2, 160, 250, 0.8, 1.0}};
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
  r->OnMouseOut(); // away from every handle a press moves nothing
  r->OnMouseDown(100, 30, IMouseMod(true));
  EXPECT_NEAR(r->GetValue(1), 0.2, 1e-9);
}

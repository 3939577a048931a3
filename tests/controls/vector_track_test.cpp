#include "controls/IVTrackControls.h"
#include "PrimitiveGraphics.h"

#include <gtest/gtest.h>

using namespace plugin::igraphics;
using plugin::igraphics::test::PrimitiveGraphics;
using plugin::igraphics::test::RecordingDelegate;

namespace
{

IVStyle Bare()
{
  IVStyle s;
  s.showLabel = false;
  s.showValue = false;
  return s;
}

// The track base draws nothing by itself: background and tracks, as a meter or sequencer would.
class Tracks : public IVTrackControlBase
{
public:
  Tracks(const IRECT& r, std::vector<int> params, int steps, EDirection dir, std::initializer_list<const char*> names = {})
      : IVTrackControlBase(r, params, "", Bare(), steps, dir, names)
  {
  }
  void Draw(IGraphics& g) override
  {
    DrawBackground(g, mRECT);
    DrawWidget(g);
  }
  void Configure(float spacing, double base, bool extraStep, int highlighted)
  {
    mTrackPadding = spacing;
    mBaseValue = base;
    mHasExtraStep = extraStep;
    mHighlightedTrack = highlighted;
    OnResize();
  }
};

struct Editor
{
  Editor() { dlg.SetGraphicsReady(true); }
  RecordingDelegate dlg{4};
  PrimitiveGraphics g{dlg, 400, 400};
};

constexpr IColor kFGColor(255, 200, 200, 200), kFrameColor(255, 70, 70, 70), kExtra1(255, 0, 0, 0);

} // namespace

TEST(IVTrackControlBase, TrackAndStepRectanglesAndHits)
{
  struct Case
  {
    EDirection dir;
    IRECT bounds;
    float spacing;
    int steps;
    bool extra;
    std::vector<IRECT> tracks;
    IRECT firstStep, lastStep;
    size_t nSteps;
  };
  const Case cases[] = {
      {kVertical, {0, 0, 200, 100}, 0, 4, true, {{0, 0, 100, 100}, {100, 0, 200, 100}}, {0, 80, 200, 100},
       {0, 0, 200, 20}, 5},
      {kVertical, {0, 0, 200, 100}, 4, 4, false, {{0, 0, 96, 96}, {100, 0, 196, 96}}, {0, 75, 200, 100},
       {0, 0, 200, 25}, 4},
      {kHorizontal, {0, 0, 100, 200}, 4, 4, true, {{0, 4, 100, 96}, {0, 104, 100, 196}}, {80, 0, 100, 200},
       {0, 0, 20, 200}, 5},
      {kHorizontal, {0, 0, 100, 200}, 0, 0, true, {{0, 0, 100, 100}, {0, 100, 100, 200}}, {}, {}, 0},
  };
  for (const auto& c : cases)
  {
    Editor e;
    auto* t = new Tracks(c.bounds, {0, 1}, c.steps, c.dir);
    e.g.AttachControl(t);
    t->Configure(c.spacing, 0.0, c.extra, -1);
    EXPECT_EQ(t->NVals(), 2);
    EXPECT_EQ(t->GetParamIdx(1), 1);
    EXPECT_EQ(t->GetTrackBounds(), c.tracks);
    ASSERT_EQ(t->GetStepBounds().size(), c.nSteps);
    if (c.nSteps)
    {
      EXPECT_EQ(t->GetStepBounds().front(), c.firstStep);
      EXPECT_EQ(t->GetStepBounds().back(), c.lastStep);
    }
    // Clicks and hovers go to the track under the mouse; the spacing and the far edges belong to none.
    for (int i = 0; i < 2; ++i)
      EXPECT_EQ(t->GetValIdxForPos(c.tracks[i].MW(), c.tracks[i].MH()), i);
    EXPECT_EQ(t->GetValIdxForPos(c.bounds.R, c.bounds.B), -1);
    if (c.spacing > 0.f)
    {
      EXPECT_EQ(t->GetValIdxForPos(c.tracks[0].R + 1, c.tracks[0].B + 1), -1);
    }
    t->OnMouseOver(c.tracks[1].MW(), c.tracks[1].MH(), IMouseMod());
    EXPECT_EQ(t->GetMouseOverTrack(), 1);
    t->OnMouseOut();
    EXPECT_EQ(t->GetMouseOverTrack(), -1);
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
    bool handle;
    IRECT fill;       // of track 0 (bounds 0,0,200,100 vertical or 0,0,100,200 horizontal, two tracks)
    bool peak;
    IRECT peakRect;
  };
  const Case cases[] = {
      {"from the start", kVertical, 0, true, 0.0, 0.3, true, {0, 70, 100, 100}, true, {0, 70, 100, 71}},
      {"up from the baseline", kVertical, 0, true, 0.5, 0.8, true, {0, 20, 100, 50}, true, {0, 20, 100, 21}},
      {"down from the baseline", kVertical, 0, true, 0.5, 0.2, true, {0, 50, 100, 80}, true, {0, 79, 100, 80}},
      {"left of the baseline", kHorizontal, 0, true, 0.5, 0.25, true, {25, 0, 50, 100}, true, {25, 0, 26, 100}},
      {"stored beyond 1", kVertical, 0, true, 0.0, 1.7, true, {0, 0, 100, 100}, true, {0, 0, 100, 1}},
      {"zero fills the bottom cell", kVertical, 4, true, 0.0, 0.0, true, {0, 80, 100, 100}, false, {}},
      {"the cell at the value", kVertical, 4, true, 0.0, 0.3, true, {0, 60, 100, 80}, false, {}},
      {"no cell for zero", kVertical, 4, false, 0.0, 0.0, false, {}, false, {}},
      {"horizontal cell", kHorizontal, 4, true, 0.0, 0.5, true, {40, 0, 60, 100}, false, {}},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    Editor e;
    const IRECT b = c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200);
    auto* t = new Tracks(b, {0, 1}, c.steps, c.dir);
    e.g.AttachControl(t);
    t->Configure(0, c.base, c.extra, -1);
    t->SetValue(c.value, 0);
    e.g.prims.clear();
    t->Draw(e.g);

    // Track 0's fills come before track 0's frame: handle (foreground), then peak (frame colour).
    std::vector<PrimitiveGraphics::Prim> handles, peaks;
    for (const auto& p : e.g.prims)
    {
      if (p.op == "DrawRect") break;
      if (p.op == "FillRect" && p.color == kFGColor) handles.push_back(p);
      if (p.op == "FillRect" && p.color == kFrameColor) peaks.push_back(p);
    }
    ASSERT_EQ(handles.size(), c.handle ? 1u : 0u);
    if (c.handle) { EXPECT_EQ(handles[0].r, c.fill); }
    ASSERT_EQ(peaks.size(), c.peak ? 1u : 0u);
    if (c.peak) { EXPECT_EQ(peaks[0].r, c.peakRect); }

    // A baseline is marked across the background in the shadow colour.
    const auto lines = e.g.Of("DrawLine");
    ASSERT_EQ(lines.size(), c.base > 0 ? 1u : 0u);
    if (c.base > 0)
    {
      EXPECT_EQ(lines[0].r, c.dir == kVertical ? IRECT(0, 50, 200, 50) : IRECT(50, 0, 50, 200));
    }
  }
}

TEST(IVTrackControlBase, HighlightHoverAndNames)
{
  Editor e;
  auto* t = new Tracks(IRECT(0, 0, 200, 100), {0, 1}, 0, kVertical, {"Lo"});
  e.g.AttachControl(t);
  t->Configure(0, 0, true, 1);
  t->SetValue(0.5, 0);
  t->SetValue(0.5, 1);
  t->OnMouseOver(50, 50, IMouseMod());
  e.g.prims.clear();
  t->Draw(e.g);
  // Track 1 is highlighted: its background in colour 4 and its fill in extra colour 1; track 0 under the mouse
  // gets a second fill in colour 4.
  int hlFills = 0, extraFills = 0;
  for (const auto& p : e.g.Of("FillRect"))
  {
    hlFills += p.color == IColor(10, 0, 0, 0);
    extraFills += p.color == kExtra1 && p.r == IRECT(100, 50, 200, 100);
  }
  EXPECT_EQ(hlFills, 2);
  EXPECT_EQ(extraFills, 1);
  // A name for the first track only; the second draws none.
  const auto texts = e.g.Of("Text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "Lo");
  EXPECT_EQ(texts[0].r, IRECT(0, 0, 100, 100));
  EXPECT_STREQ(t->GetTrackName(5), "");
}

TEST(IVTrackControlBase, WithoutTracksNothingDividesByZero)
{
  Editor e;
  auto* t = new Tracks(IRECT(0, 0, 200, 100), {}, 4, kVertical);
  auto* negative = new Tracks(IRECT(0, 0, 200, 100), {0}, -1, kVertical);
  auto* range = new IVRangeSliderControl(IRECT(0, 100, 200, 200), {}, "", Bare(), kHorizontal);
  e.g.AttachControl(t);
  e.g.AttachControl(negative);
  e.g.AttachControl(range);
  EXPECT_TRUE(t->GetTrackBounds().empty());
  EXPECT_TRUE(negative->GetStepBounds().empty());
  EXPECT_EQ(t->GetValIdxForPos(10, 10), -1);
  e.g.prims.clear();
  t->Draw(e.g);
  range->Draw(e.g);
  // Each draws its background and nothing else.
  EXPECT_EQ(e.g.prims.size(), 2u);
  EXPECT_EQ(e.g.Of("FillRect").size(), 2u);
  range->OnMouseOver(100, 150, IMouseMod());
  range->OnMouseDown(100, 150, IMouseMod(true));
  range->OnMouseDrag(120, 150, 20, 0, IMouseMod(true));
  range->OnMouseUp(120, 150, IMouseMod(true));
  EXPECT_EQ(range->GetMouseOverHandle(), -1);
  EXPECT_TRUE(range->GetHandleBounds(0).Empty());
  EXPECT_TRUE(e.dlg.sentFromUI.empty());
}

TEST(IVRangeSliderControl, HandlesAlternateSidesOfTheTrack)
{
  struct Case
  {
    EDirection dir;
    IRECT bounds, track, handle0, handle1, span;
  };
  // Handle size 8, track size 2, default style (rectangle shape with shadows: handles move by half the shadow
  // offset, 1.5). Values 0.25 and 0.75.
  const Case cases[] = {
      {kVertical, {0, 0, 100, 200}, {48, 8, 52, 192}, {35.5f, 138, 51.5f, 154}, {53.5f, 46, 69.5f, 62},
       {48, 54, 52, 146}},
      {kHorizontal, {0, 0, 200, 100}, {8, 48, 192, 52}, {46, 53.5f, 62, 69.5f}, {138, 35.5f, 154, 51.5f},
       {54, 48, 146, 52}},
  };
  for (const auto& c : cases)
  {
    Editor e;
    IVStyle style = Bare();
    auto* r = new IVRangeSliderControl(c.bounds, {0, 1}, "", style, c.dir, 8.f, 2.f);
    e.g.AttachControl(r);
    r->SetValue(0.25, 0);
    r->SetValue(0.75, 1);
    EXPECT_EQ(r->GetTrackBounds(), (std::vector<IRECT>{c.track, c.track}));
    EXPECT_EQ(r->GetHandleBounds(0), c.handle0);
    EXPECT_EQ(r->GetHandleBounds(1), c.handle1);
    e.g.prims.clear();
    r->Draw(e.g);
    int spans = 0;
    for (const auto& p : e.g.Of("FillRect"))
      spans += p.color == kExtra1 && p.r == c.span;
    EXPECT_EQ(spans, 1);
    EXPECT_EQ(e.g.Of("FillTriangle").size(), 4u); // two handles, each with its shadow
  }
}

TEST(IVRangeSliderControl, DragStaysBetweenNeighbours)
{
  Editor e;
  auto* r = new IVRangeSliderControl(IRECT(0, 0, 200, 100), {0, 1, 2}, "", Bare(), kHorizontal, 8.f, 2.f);
  e.g.AttachControl(r);
  const double start[] = {0.2, 0.5, 0.8};
  for (int i = 0; i < 3; ++i)
    r->SetValue(start[i], i);
  auto hover = [&](int i)
  {
    const IRECT h = r->GetHandleBounds(i);
    r->OnMouseOver(h.MW(), h.MH(), IMouseMod());
    ASSERT_EQ(r->GetMouseOverHandle(), i);
  };

  struct Step
  {
    int handle;
    float pressX, dragX;
    double afterPress, afterDrag;
  };
  // The widget spans x 0..200, so x / 200 is the value the mouse points at.
  const Step steps[] = {
      {1, 100, 190, 0.5, 0.8},  // stops at its upper neighbour
      {1, 150, 0, 0.75, 0.2},   // the press jumps, the drag stops at the lower neighbour
      {0, 40, -50, 0.2, 0.0},   // the first handle's floor is 0
      {2, 160, 250, 0.8, 1.0},  // the last handle's ceiling is 1
  };
  for (const auto& s : steps)
  {
    hover(s.handle);
    r->OnMouseDown(s.pressX, 30, IMouseMod(true));
    EXPECT_TRUE(r->GetMouseDown());
    EXPECT_NEAR(r->GetValue(s.handle), s.afterPress, 1e-9);
    r->OnMouseDrag(s.dragX, 30, s.dragX - s.pressX, 0, IMouseMod(true));
    EXPECT_NEAR(r->GetValue(s.handle), s.afterDrag, 1e-9);
    r->OnMouseUp(s.dragX, 30, IMouseMod(true));
    EXPECT_FALSE(r->GetMouseDown());
  }
  EXPECT_NEAR(r->GetValue(0), 0.0, 1e-9);
  EXPECT_NEAR(r->GetValue(1), 0.2, 1e-9);
  EXPECT_NEAR(r->GetValue(2), 1.0, 1e-9);

  // Away from every handle a press moves nothing.
  r->OnMouseOut();
  r->OnMouseDown(100, 30, IMouseMod(true));
  EXPECT_NEAR(r->GetValue(1), 0.2, 1e-9);
}

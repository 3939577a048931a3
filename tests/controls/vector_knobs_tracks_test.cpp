// Vector knobs, sliders, track controls and range sliders: pointer, arc and handle geometry, tracks and step cells,
// baselines, names and highlights, value-text hover and hits, against numbers worked out by hand.

#include "controls/IVKnobSliderControls.h"
#include "controls/IVTrackControls.h"
#include "controls/support/VectorFixture.h"
#include "controls/support/VectorTracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

using Prims = std::vector<PrimitiveRecorder::Prim>;
constexpr IMouseMod kNone{};
const IColor kFGColor(255, 200, 200, 200), kFRColor(255, 70, 70, 70), kHLColor(10, 0, 0, 0), kSHColor(60, 0, 0, 0),
    kX1Color(255, 0, 0, 0);

Prims Only(const Prims& all, const std::string& op)
{
  Prims out;
  for (const auto& p : all)
    if (p.op == op) out.push_back(p);
  return out;
}

using VectorKnobsTracksTest = VectorFixture;

} // namespace

// ---- Knobs ----

TEST_F(VectorKnobsTracksTest, KnobPointerArcAndHandleFollowTheValue)
{
  // {value, track size, pointer angle, arc from, arc to}; start -135, end 135, anchor -135; widget 100 × 100 at
  // (10, 10): centre (60, 60), arc radius 50 - track / 2, handle radius that less 4.
  const float cases[][5] = {{0.5f, 2, 0, -135, 0}, {1.f, 6, 135, -135, 135}, {0.25f, 0, -67.5f, 0, 0}};
  for (const auto& c : cases)
  {
    auto* k = Attach(
        new IVKnobControl(IRECT(10, 10, 110, 110), 0, "", Bare(), false, false, -135, 135, -135, kVertical, 4.0, c[1]));
    k->SetValue(c[0]);
    const Prims p = DrawOf(*k);
    const float radius = 50.f - c[1] / 2.f, hr = radius - 4.f;
    const Prims arcs = Only(p, "DrawArc");
    ASSERT_EQ(arcs.size(), c[1] > 0 ? 1u : 0u); // no track size, no arc
    if (c[1] > 0)
    {
      EXPECT_EQ((std::tuple{arcs[0].color, arcs[0].a}),
                (std::tuple{kX1Color, std::vector<float>{60, 60, radius, c[3], c[4], c[1]}}));
    }
    EXPECT_EQ(Only(p, "FillEllipse").back().r, IRECT(60 - hr, 60 - hr, 60 + hr, 60 + hr));
    const auto line = Only(p, "DrawLine").at(0);
    const double a = c[2] * M_PI / 180.0;
    EXPECT_NEAR(line.r.L, 60 + std::sin(a) * hr * 0.1, 1e-3);
    EXPECT_NEAR(line.r.B, 60 - std::cos(a) * hr, 1e-3);
    EXPECT_EQ((std::tuple{line.color, line.a[0]}), (std::tuple{kFRColor, 2.5f}));
    g->RemoveControl(k);
  }
}

TEST_F(VectorKnobsTracksTest, AnEditableValueTextIsHitAndHighlightedUnderTheMouse)
{
  auto* k = Attach(new IVKnobControl(IRECT(0, 0, 100, 133), 0, "", DEFAULT_STYLE, true));
  auto* fixed = Attach(new IVKnobControl(IRECT(200, 0, 300, 133), 0, "Gain", DEFAULT_STYLE, false));
  const IRECT vr = k->GetValueBounds(), fr = fixed->GetValueBounds();
  EXPECT_TRUE(k->IsHit(vr.MW(), vr.MH()));
  EXPECT_FALSE(fixed->IsHit(fr.MW(), fr.MH()));
  fixed->OnMouseOver(fr.MW(), fr.MH(), kNone);
  k->OnMouseOver(vr.MW(), vr.MH(), kNone);
  EXPECT_FALSE(fixed->GetValueMouseOver());
  EXPECT_TRUE(k->GetValueMouseOver());
  // The value under the mouse is tinted translucent black.
  const Prims tint = Only(DrawOf(*k), "FillRect");
  ASSERT_EQ(tint.size(), 2u); // background, tint
  EXPECT_EQ((std::tuple{tint[1].color, tint[1].r}), (std::tuple{kHLColor, vr}));
  // Over the widget only: no tint.
  k->OnMouseOver(50, 60, kNone);
  EXPECT_FALSE(k->GetValueMouseOver());
  k->OnMouseOver(vr.MW(), vr.MH(), kNone);
  k->SetClean();
  k->OnMouseOut();
  EXPECT_FALSE(k->GetValueMouseOver() || k->GetMouseIsOver());
  EXPECT_TRUE(k->IsDirty());
  k->SetClean();
  k->OnMouseOut(); // not over any more: no redraw
  EXPECT_FALSE(k->IsDirty());
}

TEST_F(VectorKnobsTracksTest, ActionFormKnobsAndSlidersRunTheirActionOnEveryChange)
{
  int knobRuns = 0, sliderRuns = 0;
  auto* k = Attach(new IVKnobControl(
      IRECT(0, 0, 100, 100), [&](IControl*) { ++knobRuns; }, "", Bare()));
  auto* s = Attach(new IVSliderControl(
      IRECT(200, 0, 240, 216), [&](IControl*) { ++sliderRuns; }, "", Bare(), false, kVertical, false, 4.0, 8.f, 2.f));
  EXPECT_EQ((std::tuple{k->GetParamIdx(), s->GetParamIdx()}), (std::tuple{-1, -1}));
  k->OnMouseDown(50, 50, IMouseMod(true));
  k->OnMouseDrag(50, 40, 0, -10, IMouseMod(true));
  EXPECT_GT(k->GetValue(), 0.0);
  s->OnMouseDown(220, 58, IMouseMod(true)); // a track of 8..208 inside the widget
  EXPECT_NEAR(s->GetValue(), 0.75, 1e-9);
  EXPECT_EQ((std::tuple{knobRuns > 0, sliderRuns > 0}), (std::tuple{true, true}));
  EXPECT_TRUE(dlg.sentFromUI.empty()); // nothing linked, nothing sent
}

// ---- Sliders ----

TEST_F(VectorKnobsTracksTest, SliderTracksAndHandlesFollowTheirSizes)
{
  struct Case
  {
    EDirection dir;
    bool inside;
    float hs, ts;
  };
  for (const Case c : {Case{kVertical, false, 8, 2}, Case{kVertical, true, 8, 3}, Case{kHorizontal, true, 5, 2},
                       Case{kVertical, false, 0, 2}, Case{kHorizontal, false, 6, 0}})
  {
    const IRECT b = c.dir == kVertical ? IRECT(0, 0, 60, 200) : IRECT(0, 0, 200, 60);
    auto* s = Attach(new IVSliderControl(b, 0, "", Bare(), false, c.dir, c.inside, 4.0, c.hs, c.ts));
    const IRECT t = s->GetTrackBounds();
    EXPECT_EQ(t, c.dir == kVertical ? IRECT(30 - c.ts, c.hs, 30 + c.ts, 200 - c.hs)
                                    : IRECT(c.hs, 30 - c.ts, 200 - c.hs, 30 + c.ts));
    s->SetValue(0.0);
    const Prims p = DrawOf(*s);
    // The track (shadow colour) reaches a handle size beyond both ends when the handle is inside it; then the
    // filled part in extra colour 1.
    const Prims tracks = Only(p, "FillRoundRect");
    ASSERT_EQ(tracks.size(), c.ts > 0 ? 2u : 0u);
    const float x = c.inside ? c.hs : 0.f;
    if (c.ts > 0)
    {
      EXPECT_EQ((std::tuple{tracks[0].color, tracks[0].r}),
                (std::tuple{kSHColor, c.dir == kVertical ? IRECT(t.L, t.T - x, t.R, t.B + x)
                                                         : IRECT(t.L - x, t.T, t.R + x, t.B)}));
      EXPECT_EQ(tracks[1].color, kX1Color);
    }
    // At 0 the handle sits centred on the track's start; none without a handle size.
    const Prims handles = Only(p, "FillEllipse");
    ASSERT_EQ(handles.empty(), c.hs == 0);
    const float cx = c.dir == kVertical ? t.MW() : t.L, cy = c.dir == kVertical ? t.B : t.MH();
    if (c.hs > 0)
    {
      EXPECT_EQ(handles.back().r, IRECT(cx - c.hs, cy - c.hs, cx + c.hs, cy + c.hs));
    }
    g->RemoveControl(s);
  }
}

TEST_F(VectorKnobsTracksTest, SliderValueTextHoverAndHits)
{
  auto* s = Attach(new IVSliderControl(IRECT(0, 0, 60, 200), 0, "", DEFAULT_STYLE, true));
  auto* fixed = Attach(new IVSliderControl(IRECT(100, 0, 160, 200), 0, "", DEFAULT_STYLE, false));
  const IRECT vr = s->GetValueBounds(), fr = fixed->GetValueBounds();
  EXPECT_TRUE(s->IsHit(vr.MW(), vr.MH()));
  EXPECT_FALSE(fixed->IsHit(fr.MW(), fr.MH()));
  EXPECT_TRUE(fixed->IsHit(130, 100)); // the widget

  s->OnMouseOver(vr.MW(), vr.MH(), kNone);
  fixed->OnMouseOver(fr.MW(), fr.MH(), kNone);
  EXPECT_TRUE(s->GetValueMouseOver() && s->GetMouseIsOver());
  EXPECT_FALSE(fixed->GetValueMouseOver());
  const Prims fills = Only(DrawOf(*s), "FillRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ((std::tuple{fills[1].color, fills[1].r}), (std::tuple{kHLColor, vr}));
  s->OnMouseOut();
  EXPECT_FALSE(s->GetValueMouseOver() || s->GetMouseIsOver());
  EXPECT_EQ(Only(DrawOf(*s), "FillRect").size(), 1u);
  // A click on the value text opens text entry for the parameter instead of moving the value.
  s->SetValue(0.3);
  s->OnMouseDown(vr.MW(), vr.MH(), IMouseMod(true));
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ(g->textEntries[0].bounds, vr);
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.3);
}

// ---- Track base ----

TEST_F(VectorKnobsTracksTest, TrackAndStepRectanglesAndHits)
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
    const IRECT b = c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200);
    auto* t = Attach(new Tracks(b, {2, 3}, c.steps, c.dir, c.spacing, 0.0, c.extra));
    EXPECT_EQ(t->GetParamIdx(1), 3);
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
    t->OnMouseOver(c.track1.MW(), c.track1.MH(), kNone);
    EXPECT_EQ(t->GetMouseOverTrack(), 1);
    t->OnMouseOut();
    EXPECT_EQ(t->GetMouseOverTrack(), -1);
    g->RemoveControl(t);
  }
}

TEST_F(VectorKnobsTracksTest, BaselinesAndStepCellsFillFromTheBaselineOrTheCellAtTheValue)
{
  struct Case
  {
    const char* what;
    EDirection dir;
    int steps;
    double base, value;
    IRECT fill, peak; // of track 0; empty: none drawn
  };
  const Case cases[] = {
      {"up from the baseline", kVertical, 0, 0.5, 0.8, {0, 20, 100, 50}, {0, 20, 100, 21}},
      {"left of the baseline", kHorizontal, 0, 0.5, 0.25, {25, 0, 50, 100}, {25, 0, 26, 100}},
      {"the cell at the value", kVertical, 4, 0, 0.3, {0, 60, 100, 80}, {}},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.what);
    auto* t = Attach(new Tracks(c.dir == kVertical ? IRECT(0, 0, 200, 100) : IRECT(0, 0, 100, 200), {2, 3}, c.steps,
                                c.dir, 0.f, c.base));
    t->SetValue(c.value, 0);
    const Prims p = DrawOf(*t);
    // Track 0 draws before its frame: handle in the foreground colour, peak in the frame colour.
    IRECT fill, peak;
    for (const auto& q : p)
    {
      if (q.op == "DrawRect") break;
      if (q.op == "FillRect" && q.color == kFGColor) fill = q.r;
      if (q.op == "FillRect" && q.color == kFRColor) peak = q.r;
    }
    EXPECT_EQ(fill, c.fill);
    EXPECT_EQ(peak, c.peak);
    const Prims lines = Only(p, "DrawLine"); // the baseline across the background, in the shadow colour
    ASSERT_EQ(lines.size(), c.base > 0 ? 1u : 0u);
    if (c.base > 0)
    {
      EXPECT_EQ((std::tuple{lines[0].color, lines[0].r}),
                (std::tuple{kSHColor, c.dir == kVertical ? IRECT(0, 50, 200, 50) : IRECT(50, 0, 50, 200)}));
    }
    g->RemoveControl(t);
  }
}

TEST_F(VectorKnobsTracksTest, TrackNamesHighlightsAndTheHoveredTrack)
{
  auto* t = Attach(new Tracks(IRECT(0, 0, 200, 100), {2, 3}, 0, kVertical, 0.f, 0.0, true, {"L"}));
  EXPECT_STREQ(t->GetTrackName(0), "L");
  EXPECT_STREQ(t->GetTrackName(1), ""); // a missing name is empty
  t->SetValue(0.5, 0);
  t->SetValue(0.5, 1);
  t->Highlight(1);
  t->OnMouseOver(50, 50, kNone);
  const Prims p = DrawOf(*t);
  // Names in the control's own text, one per track that has one.
  EXPECT_EQ(g->texts, std::vector<std::string>{"L"});
  EXPECT_EQ(Only(p, "Text").at(0).r, IRECT(0, 0, 100, 100));
  // Backgrounds: transparent for track 0, highlight for the highlighted track 1. Handles: foreground then the
  // hover tint for track 0, extra colour 1 for the highlighted track.
  std::vector<std::tuple<IColor, IRECT>> fills;
  for (const auto& q : Only(p, "FillRect"))
    fills.emplace_back(q.color, q.r);
  const IRECT h0(0, 50, 100, 100), h1(100, 50, 200, 100);
  const std::vector<std::tuple<IColor, IRECT>> expected = {{IColor(0, 0, 0, 0), IRECT(0, 0, 200, 100)}, // background
                                                           {COLOR_TRANSPARENT, IRECT(0, 0, 100, 100)},
                                                           {kFGColor, h0},
                                                           {kHLColor, h0},
                                                           {kFRColor, IRECT(0, 50, 100, 51)},
                                                           {kHLColor, IRECT(100, 0, 200, 100)},
                                                           {kX1Color, h1},
                                                           {kFRColor, IRECT(100, 50, 200, 51)}};
  EXPECT_EQ(fills, expected);
}

// ---- Range slider ----

TEST_F(VectorKnobsTracksTest, RangeSliderHandlesAlternateSidesAroundTheFilledSpan)
{
  // Handle size 8, track size 2, rectangle shape with shadows: handles shift by 1.5; values .25, .75.
  for (EDirection dir : {kVertical, kHorizontal})
  {
    const bool v = dir == kVertical;
    auto* r = Attach(
        new IVRangeSliderControl(v ? IRECT(0, 0, 100, 200) : IRECT(0, 0, 200, 100), {2, 3}, "", Bare(), dir, 8, 2));
    r->SetValue(0.25, 0);
    r->SetValue(0.75, 1);
    EXPECT_EQ(r->GetTrackBounds()[1], v ? IRECT(48, 8, 52, 192) : IRECT(8, 48, 192, 52));
    EXPECT_EQ(r->GetHandleBounds(0), v ? IRECT(35.5f, 138, 51.5f, 154) : IRECT(46, 53.5f, 62, 69.5f));
    EXPECT_EQ(r->GetHandleBounds(1), v ? IRECT(53.5f, 46, 69.5f, 62) : IRECT(138, 35.5f, 154, 51.5f));
    EXPECT_TRUE(r->GetHandleBounds(2).Empty());
    const Prims p = DrawOf(*r);
    const IRECT span = v ? IRECT(48, 54, 52, 146) : IRECT(54, 48, 146, 52);
    const Prims fills = Only(p, "FillRect");
    ASSERT_GE(fills.size(), 3u);
    EXPECT_EQ((std::tuple{fills[2].color, fills[2].r}), (std::tuple{kX1Color, span})); // after both backgrounds
    // Each handle: its shadow and its fill, then its frame.
    EXPECT_EQ(Only(p, "FillTriangle").size(), 4u);
    EXPECT_EQ(Only(p, "DrawTriangle").size(), 2u);
    g->RemoveControl(r);
  }
}

TEST_F(VectorKnobsTracksTest, RangeSliderPressesOnlyTheHoveredHandleAndForgetsItOnLeaving)
{
  auto* r = Attach(new IVRangeSliderControl(IRECT(0, 0, 200, 100), {2, 3}, "", Plain(), kHorizontal, 8.f, 2.f));
  r->SetValue(0.2, 0);
  r->SetValue(0.8, 1);
  const IRECT h1 = r->GetHandleBounds(1);
  r->OnMouseOver(h1.MW(), h1.MH(), kNone);
  EXPECT_EQ(r->GetMouseOverHandle(), 1);
  r->OnMouseDown(h1.MW(), h1.MH(), IMouseMod(true));
  // Pressed: the hovered handle in the pressed colour (plain style: one fill and the hover tint per handle).
  Prims tri = Only(DrawOf(*r), "FillTriangle");
  ASSERT_EQ(tri.size(), 3u);
  EXPECT_EQ((std::tuple{tri[0].color, tri[1].color, tri[2].color}),
            (std::tuple{kFGColor, IColor(255, 240, 240, 240), kHLColor}));
  r->OnMouseUp(h1.MW(), h1.MH(), IMouseMod(true));
  EXPECT_FALSE(r->GetMouseDown());

  // Away from every handle a press moves nothing.
  const double before = r->GetValue(1);
  r->OnMouseOut();
  EXPECT_EQ((std::tuple{r->GetMouseOverHandle(), r->GetMouseOverTrack()}), (std::tuple{-1, -1}));
  r->OnMouseDown(20, 30, IMouseMod(true));
  EXPECT_DOUBLE_EQ(r->GetValue(1), before);
  EXPECT_DOUBLE_EQ(r->GetValue(0), 0.2);
  EXPECT_EQ(Only(DrawOf(*r), "FillTriangle").size(), 2u);
}

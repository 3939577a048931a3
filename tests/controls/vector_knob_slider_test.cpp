#include "controls/IVKnobSliderControls.h"
#include "framework/IParam.h"
#include "PrimitiveGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace plugin::igraphics;
using plugin::igraphics::test::Bare;
using plugin::igraphics::test::PrimitiveGraphics;
using plugin::igraphics::test::RecordingDelegate;

namespace
{
struct Editor
{
  Editor()
  {
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    dlg.SetGraphicsReady(true);
  }
  RecordingDelegate dlg{1};
  PrimitiveGraphics g{dlg, 400, 400};
};
} // namespace

TEST(IVKnobControl, LayoutTextsAndValueTextClicks)
{
  Editor e;
  auto* k = new IVKnobControl(IRECT(0, 0, 100, 133), 0, "", DEFAULT_STYLE, true);
  auto* fixed = new IVKnobControl(IRECT(200, 0, 300, 133), 0, "Gain", DEFAULT_STYLE, false);
  e.g.AttachControl(k);
  e.g.AttachControl(fixed);
  EXPECT_STREQ(k->GetLabelStr(), "Gain"); // the parameter's name for an empty label
  const std::string value = k->GetValueStr();
  EXPECT_EQ(value.substr(value.size() - 3), " dB");
  // Label 19 tall at the top, value 14 tall at the bottom (0.66 of its width each side), the widget between.
  const float hw = 7.f * float(value.size()) * 0.66f;
  EXPECT_EQ(k->GetLabelBounds(), IRECT(36, 0, 64, 19));
  EXPECT_EQ(k->GetValueBounds(), IRECT(50 - hw, 119, 50 + hw, 133));
  EXPECT_EQ(k->GetWidgetBounds(), IRECT(0, 19, 100, 119));

  // An editable value opens text entry over the value text and starts no drag; a fixed one is no hit there.
  const IRECT vr = k->GetValueBounds(), fr = fixed->GetValueBounds();
  k->OnMouseDown(vr.MW(), vr.MH(), IMouseMod(true));
  ASSERT_EQ(e.g.textEntries.size(), 1u);
  EXPECT_EQ(e.g.textEntries[0].bounds, vr);
  EXPECT_FALSE(k->GetMouseDown());
  EXPECT_TRUE(k->IsHit(vr.MW(), vr.MH()));
  EXPECT_FALSE(fixed->IsHit(fr.MW(), fr.MH()));
  fixed->OnMouseOver(fr.MW(), fr.MH(), IMouseMod());
  k->OnMouseOver(vr.MW(), vr.MH(), IMouseMod());
  EXPECT_FALSE(fixed->GetValueMouseOver());
  EXPECT_TRUE(k->GetValueMouseOver());
  k->OnMouseOut();
  EXPECT_FALSE(k->GetValueMouseOver());
}

TEST(IVKnobControl, PointerArcHandleAndDrag)
{
  // {value, track size, pointer angle, arc from, arc to}; start -135, end 135, anchor -135.
  const float cases[][5] = {{0.5f, 2, 0, -135, 0}, {1.f, 6, 135, -135, 135}, {0.25f, 0, -67.5f, 0, 0}};
  for (const auto& c : cases)
  {
    Editor e;
    auto* k =
        new IVKnobControl(IRECT(10, 10, 110, 110), 0, "", Bare(), false, false, -135, 135, -135, kVertical, 4.0, c[1]);
    e.g.AttachControl(k);
    k->SetValue(c[0]);
    k->Draw(e.g);
    const float radius = 50.f - c[1] / 2.f, hr = radius - 4.f;
    const auto arcs = e.g.Of("DrawArc");
    ASSERT_EQ(arcs.size(), c[1] > 0 ? 1u : 0u); // no track size, no arc
    if (c[1] > 0)
    {
      EXPECT_EQ(arcs[0].a, (std::vector<float>{60, 60, radius, c[3], c[4], c[1]}));
    }
    EXPECT_EQ(e.g.Of("FillEllipse").back().r, IRECT(60 - hr, 60 - hr, 60 + hr, 60 + hr));
    const auto line = e.g.Of("DrawLine").at(0);
    const double a = c[2] * M_PI / 180.0;
    EXPECT_NEAR(line.r.L, 60 + std::sin(a) * hr * 0.1, 1e-3);
    EXPECT_NEAR(line.r.B, 60 - std::cos(a) * hr, 1e-3);
  }
  // Drag bounds: a wide widget's are half as wide as tall; a tall one's half as tall as wide.
  Editor e;
  auto* wide = new IVKnobControl(IRECT(0, 0, 200, 100), 0, "", Bare());
  auto* tall = new IVKnobControl(IRECT(0, 0, 100, 200), 0, "", Bare());
  e.g.AttachControl(wide);
  e.g.AttachControl(tall);
  EXPECT_EQ(wide->GetKnobDragBounds(), IRECT(75, 0, 125, 100));
  EXPECT_EQ(tall->GetKnobDragBounds(), IRECT(0, 75, 100, 125));
  // 50 units of drag at gearing 4: one unit up is worth 1/200, with shift 1/2000.
  tall->SetValue(0.5);
  tall->OnMouseDown(50, 100, IMouseMod(true));
  tall->OnMouseDrag(50, 90, 0, -10, IMouseMod(true));
  EXPECT_NEAR(tall->GetValue(), 0.55, 1e-9);
  tall->OnMouseDrag(50, 80, 0, -10, IMouseMod(true, false, true));
  EXPECT_NEAR(tall->GetValue(), 0.555, 1e-9);
}

TEST(IVSliderControl, TrackHandleClickAndDrag)
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
    Editor e;
    const IRECT b = c.dir == kVertical ? IRECT(0, 0, 60, 200) : IRECT(0, 0, 200, 60);
    auto* s = new IVSliderControl(b, 0, "", Bare(), false, c.dir, c.inside, 4.0, c.hs, c.ts);
    e.g.AttachControl(s);
    const IRECT t = s->GetTrackBounds();
    EXPECT_EQ(t, c.dir == kVertical ? IRECT(30 - c.ts, c.hs, 30 + c.ts, 200 - c.hs)
                                    : IRECT(c.hs, 30 - c.ts, 200 - c.hs, 30 + c.ts));
    s->SetValue(0.0);
    s->Draw(e.g);
    // The track (shadow colour) reaches a handle size beyond both ends when the handle is inside it.
    const auto tracks = e.g.Of("FillRoundRect");
    ASSERT_EQ(tracks.size(), c.ts > 0 ? 2u : 0u);
    const float x = c.inside ? c.hs : 0.f;
    if (c.ts > 0)
    {
      EXPECT_EQ(tracks[0].r,
                c.dir == kVertical ? IRECT(t.L, t.T - x, t.R, t.B + x) : IRECT(t.L - x, t.T, t.R + x, t.B));
    }
    // At 0 the handle sits centred on the track's start; none without a handle size.
    const auto handles = e.g.Of("FillEllipse");
    ASSERT_EQ(handles.empty(), c.hs == 0);
    const float cx = c.dir == kVertical ? t.MW() : t.L, cy = c.dir == kVertical ? t.B : t.MH();
    if (c.hs > 0)
    {
      EXPECT_EQ(handles.back().r, IRECT(cx - c.hs, cy - c.hs, cx + c.hs, cy + c.hs));
    }
  }
  Editor e;
  auto* s = new IVSliderControl(IRECT(0, 0, 40, 216), 0, "", Bare(), false, kVertical, false, 4.0, 8.f, 2.f);
  e.g.AttachControl(s);
  s->OnMouseDown(20, 58, IMouseMod(true)); // track 8..208: a click jumps to 0.75
  EXPECT_NEAR(s->GetValue(), 0.75, 1e-9);
  // With the cursor hidden drags are relative: 20 down on 200 at gearing 4 lose 0.025; with control 0.0025.
  s->OnMouseDrag(20, 78, 0, 20, IMouseMod(true));
  s->OnMouseDrag(20, 98, 0, 20, IMouseMod(true, false, false, true));
  s->OnMouseUp(20, 98, IMouseMod(true));
  EXPECT_NEAR(e.dlg.sentFromUI.back().value, 0.7225, 1e-9);
}

#include "controls/IVKnobSliderControls.h"
#include "framework/IParam.h"
#include "PrimitiveGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace plugin::igraphics;
using plugin::IParam;
using plugin::igraphics::test::PrimitiveGraphics;
using plugin::igraphics::test::RecordingDelegate;

namespace
{

struct Editor
{
  Editor()
  {
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitDouble("Steps", 0.0, 0.0, 10.0, 1.0, "", IParam::kFlagStepped);
    dlg.SetGraphicsReady(true);
  }
  RecordingDelegate dlg{2};
  PrimitiveGraphics g{dlg, 400, 400};
};

IVStyle Bare()
{
  IVStyle s;
  s.showLabel = false;
  s.showValue = false;
  return s;
}

void ExpectRect(const IRECT& r, float l, float t, float rr, float b)
{
  EXPECT_NEAR(r.L, l, 1e-3);
  EXPECT_NEAR(r.T, t, 1e-3);
  EXPECT_NEAR(r.R, rr, 1e-3);
  EXPECT_NEAR(r.B, b, 1e-3);
}

} // namespace

TEST(IVKnobControl, LabelValueAndWidgetRectanglesAndParameterTexts)
{
  Editor e;
  auto* k = new IVKnobControl(IRECT(0, 0, 100, 133), 0, "", DEFAULT_STYLE, true);
  e.g.AttachControl(k);
  // The empty label takes the parameter's name; the value text carries the unit.
  EXPECT_STREQ(k->GetLabelStr(), "Gain");
  const std::string value = k->GetValueStr();
  ASSERT_GE(value.size(), 3u);
  EXPECT_EQ(value.substr(value.size() - 3), " dB");

  // Label: 4 characters of 7 wide, 19 tall (the label text's size), at the top; value: 14 tall at the bottom,
  // 0.66 of its measured width on each side of the centre; the widget is what is left between them.
  ExpectRect(k->GetLabelBounds(), 36, 0, 64, 19);
  const float hw = 7.f * float(value.size()) * 0.66f;
  ExpectRect(k->GetValueBounds(), 50 - hw, 119, 50 + hw, 133);
  ExpectRect(k->GetWidgetBounds(), 0, 19, 100, 119);
  ExpectRect(k->GetTargetRECT(), 0, 19, 100, 133);
}

TEST(IVKnobControl, PointerArcAndHandleGeometry)
{
  struct Case
  {
    double value;
    float trackSize;
    float pointerAngle; // degrees clockwise from up
    float arcFrom, arcTo;
  };
  // Start -135, end 135, anchor -135 unless noted: value 0.5 points straight up.
  const Case cases[] = {{0.5, 2.f, 0.f, -135.f, 0.f}, {1.0, 6.f, 135.f, -135.f, 135.f}, {0.25, 0.f, -67.5f, 0, 0}};
  for (const auto& c : cases)
  {
    Editor e;
    auto* k = new IVKnobControl(IRECT(10, 10, 110, 110), 0, "", Bare(), false, false, -135.f, 135.f, -135.f,
                                kVertical, 4.0, c.trackSize);
    e.g.AttachControl(k);
    k->SetValue(c.value);
    e.g.prims.clear();
    k->Draw(e.g);

    const float radius = 50.f - c.trackSize / 2.f;
    const auto arcs = e.g.Of("DrawArc");
    if (c.trackSize > 0.f)
    {
      ASSERT_EQ(arcs.size(), 1u);
      EXPECT_EQ(arcs[0].color, IColor(255, 0, 0, 0)); // extra colour 1
      EXPECT_NEAR(arcs[0].a[2], radius, 1e-4);
      EXPECT_NEAR(arcs[0].a[3], c.arcFrom, 1e-3);
      EXPECT_NEAR(arcs[0].a[4], c.arcTo, 1e-3);
      EXPECT_FLOAT_EQ(arcs[0].a[5], c.trackSize);
    }
    else
      EXPECT_TRUE(arcs.empty()) << "a knob without track size draws no arc";

    // The handle: the widget square less the track and twice the track-to-handle distance.
    const float side = 2.f * (radius - 4.f);
    const auto fills = e.g.Of("FillEllipse");
    ASSERT_FALSE(fills.empty());
    ExpectRect(fills.back().r, 60 - side / 2, 60 - side / 2, 60 + side / 2, 60 + side / 2);

    // The pointer from 0.1 to 1.0 of the handle's radius along the angle, in the frame colour, 2.5 thick.
    const auto lines = e.g.Of("DrawLine");
    ASSERT_EQ(lines.size(), 1u);
    const double a = c.pointerAngle * M_PI / 180.0, hr = side / 2.0;
    EXPECT_NEAR(lines[0].r.L, 60 + std::sin(a) * hr * 0.1, 1e-3);
    EXPECT_NEAR(lines[0].r.T, 60 - std::cos(a) * hr * 0.1, 1e-3);
    EXPECT_NEAR(lines[0].r.R, 60 + std::sin(a) * hr, 1e-3);
    EXPECT_NEAR(lines[0].r.B, 60 - std::cos(a) * hr, 1e-3);
    EXPECT_EQ(lines[0].color, IColor(255, 70, 70, 70));
    EXPECT_FLOAT_EQ(lines[0].a[0], 2.5f);
  }
}

TEST(IVKnobControl, DragBoundsDragAndValueTextClicks)
{
  Editor e;
  // A wide knob: drag bounds half as wide as tall, centred on the widget.
  auto* wide = new IVKnobControl(IRECT(0, 0, 200, 100), 0, "", Bare());
  auto* tall = new IVKnobControl(IRECT(0, 0, 100, 200), 0, "", Bare());
  e.g.AttachControl(wide);
  e.g.AttachControl(tall);
  ExpectRect(wide->GetKnobDragBounds(), 75, 0, 125, 100);
  ExpectRect(tall->GetKnobDragBounds(), 0, 75, 100, 125);

  // Tall knob: a full drag spans 50 units; gearing 4 makes one unit up worth 1/200, one fine unit 1/2000.
  tall->SetValue(0.5);
  tall->OnMouseDown(50, 100, IMouseMod(true));
  tall->OnMouseDrag(50, 90, 0, -10, IMouseMod(true));
  EXPECT_NEAR(tall->GetValue(), 0.55, 1e-9);
  tall->OnMouseDrag(50, 80, 0, -10, IMouseMod(true, false, true));
  EXPECT_NEAR(tall->GetValue(), 0.555, 1e-9);
  tall->OnMouseUp(50, 80, IMouseMod(true));
  EXPECT_FALSE(tall->GetMouseDown());

  // Editable value: a click on the value text opens text entry over it and starts no drag.
  auto* editable = new IVKnobControl(IRECT(200, 0, 300, 133), 0, "Gain", DEFAULT_STYLE, true);
  auto* fixed = new IVKnobControl(IRECT(300, 0, 400, 133), 0, "Gain", DEFAULT_STYLE, false);
  e.g.AttachControl(editable);
  e.g.AttachControl(fixed);
  const IRECT vr = editable->GetValueBounds();
  editable->OnMouseDown(vr.MW(), vr.MH(), IMouseMod(true));
  ASSERT_EQ(e.g.textEntries.size(), 1u);
  EXPECT_EQ(e.g.textEntries[0].paramIdx, 0);
  EXPECT_EQ(e.g.textEntries[0].bounds, vr);
  EXPECT_FALSE(editable->GetMouseDown());
  EXPECT_TRUE(editable->IsHit(vr.MW(), vr.MH()));
  // Without an editable value the value text is no hit, and hovering it does not highlight it.
  const IRECT fr = fixed->GetValueBounds();
  EXPECT_FALSE(fixed->IsHit(fr.MW(), fr.MH()));
  fixed->OnMouseOver(fr.MW(), fr.MH(), IMouseMod());
  EXPECT_FALSE(fixed->GetValueMouseOver());
  editable->OnMouseOver(vr.MW(), vr.MH(), IMouseMod());
  EXPECT_TRUE(editable->GetValueMouseOver());
  editable->OnMouseOut();
  EXPECT_FALSE(editable->GetValueMouseOver());
  EXPECT_FALSE(editable->GetMouseIsOver());
}

TEST(IVSliderControl, TrackHandleAndDrawing)
{
  struct Case
  {
    EDirection dir;
    bool inside;
    float handleSize, trackSize;
  };
  const Case cases[] = {{kVertical, false, 8, 2}, {kVertical, true, 8, 3}, {kHorizontal, true, 5, 2},
                        {kVertical, false, 0, 2}, {kHorizontal, false, 6, 0}};
  for (const auto& c : cases)
  {
    Editor e;
    auto* s = new IVSliderControl(IRECT(0, 0, 60, 200), 1, "", Bare(), false, c.dir, c.inside, 4.0, c.handleSize,
                                  c.trackSize);
    if (c.dir == kHorizontal) s->SetTargetAndDrawRECTs(IRECT(0, 0, 200, 60));
    e.g.AttachControl(s);
    const float hs = c.handleSize, ts = c.trackSize;
    const IRECT t = s->GetTrackBounds();
    if (c.dir == kVertical)
      ExpectRect(t, 30 - ts, hs, 30 + ts, 200 - hs);
    else
      ExpectRect(t, hs, 30 - ts, 200 - hs, 30 + ts);

    s->SetValue(0.0);
    e.g.prims.clear();
    s->Draw(e.g);
    // Track (shadow colour), filled part (extra colour 1), frame; lengthened by the handle size when inside.
    const auto fills = e.g.Of("FillRoundRect");
    if (ts > 0.f)
    {
      ASSERT_EQ(fills.size(), 2u);
      const float x = c.inside ? hs : 0.f;
      if (c.dir == kVertical)
        ExpectRect(fills[0].r, t.L, t.T - x, t.R, t.B + x);
      else
        ExpectRect(fills[0].r, t.L - x, t.T, t.R + x, t.B);
      EXPECT_EQ(fills[0].color, IColor(60, 0, 0, 0));
      EXPECT_EQ(fills[1].color, IColor(255, 0, 0, 0));
      EXPECT_EQ(e.g.Of("DrawRoundRect").size(), 1u);
    }
    else
      EXPECT_TRUE(fills.empty());

    // At value 0 the ellipse handle is centred on the track's start: the bottom end, or the left end.
    const auto handles = e.g.Of("FillEllipse");
    if (hs > 0.f)
    {
      ASSERT_FALSE(handles.empty());
      const float cx = c.dir == kVertical ? t.MW() : t.L, cy = c.dir == kVertical ? t.B : t.MH();
      ExpectRect(handles.back().r, cx - hs, cy - hs, cx + hs, cy + hs);
    }
    else
      EXPECT_TRUE(handles.empty()) << "a slider without handle size draws no handle";
  }
}

TEST(IVSliderControl, ClickJumpsAndDragsRelativelyWithFineAdjust)
{
  Editor e;
  auto* s = new IVSliderControl(IRECT(0, 0, 40, 216), 0, "", Bare(), false, kVertical, false, 4.0, 8.f, 2.f);
  e.g.AttachControl(s);
  const IRECT t = s->GetTrackBounds(); // 8..208: 200 units long
  s->OnMouseDown(20, t.T, IMouseMod(true));
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);
  s->OnMouseDown(20, t.T + 50, IMouseMod(true));
  EXPECT_NEAR(s->GetValue(), 0.75, 1e-9);
  // The cursor is hidden, so drags are relative: 20 units down on 200 at gearing 4 lose 0.025; fine: 0.0025.
  s->OnMouseDrag(20, t.T + 70, 0, 20, IMouseMod(true));
  EXPECT_NEAR(s->GetValue(), 0.725, 1e-9);
  s->OnMouseDrag(20, t.T + 90, 0, 20, IMouseMod(true, false, false, true));
  EXPECT_NEAR(s->GetValue(), 0.7225, 1e-9);
  s->OnMouseUp(20, t.T + 90, IMouseMod(true));
  EXPECT_FALSE(s->GetMouseDown());
  // The last value reached the parameter.
  ASSERT_FALSE(e.dlg.sentFromUI.empty());
  EXPECT_NEAR(e.dlg.sentFromUI.back().value, 0.7225, 1e-9);
}

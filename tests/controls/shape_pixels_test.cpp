// Controls drawn through a Cairo back end and compared, pixel for pixel, with the figures Cairo draws itself from the
// numbers the drawing rules give: the corner resizer's triangle, the bubble's outline on each side, the group box's
// rounded frame, rounded tabs, radio dots, the XY pad's crosshair and clipped handle, and the popup menu's callout
// and scroll arrows. A mismatch writes both pictures to one PNG; ZANIQ_TEST_PNG=<folder> also keeps a gallery.

#include "controls/IPopupMenuControl.h"
#include "controls/ISpecialControls.h"
#include "controls/IVButtonControls.h"
#include "controls/IVKnobSliderControls.h"
#include "controls/IVMiscControls.h"
#include "controls/support/CairoGraphics.h"
#include "controls/support/ClockedFixture.h"
#include "controls/support/PrimitiveRecorder.h"
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

constexpr double kPi = 3.14159265358979323846;

// Draws nothing: a place in the list (index 0 is drawn even when hidden) or a caller for the bubble.
class Nothing : public IControl
{
public:
  using IControl::IControl;
  void Draw(IGraphics&) override {}
};

void Colour(cairo_t* cr, const IColor& c, double weight = 1.0)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0 * weight);
}

// A rectangle with per-corner radii (0: a square corner), in Cairo's own angles.
void RoundRect(cairo_t* cr, double l, double t, double r, double b, double tl, double tr, double bl, double br)
{
  cairo_new_sub_path(cr);
  if (tl > 0)
    cairo_arc(cr, l + tl, t + tl, tl, kPi, 1.5 * kPi);
  else
    cairo_move_to(cr, l, t);
  if (tr > 0)
    cairo_arc(cr, r - tr, t + tr, tr, 1.5 * kPi, 2 * kPi);
  else
    cairo_line_to(cr, r, t);
  if (br > 0)
    cairo_arc(cr, r - br, b - br, br, 0, 0.5 * kPi);
  else
    cairo_line_to(cr, r, b);
  if (bl > 0)
    cairo_arc(cr, l + bl, b - bl, bl, 0.5 * kPi, kPi);
  else
    cairo_line_to(cr, l, b);
  cairo_close_path(cr);
}

void ClipTo(cairo_t* cr, double l, double t, double r, double b)
{
  cairo_rectangle(cr, l, t, r - l, b - t);
  cairo_clip(cr);
}

struct ShapePixelsTest : ClockedFixture<CairoGraphics>
{
  ShapePixelsTest() : ClockedFixture(2) {}
  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitEnum("Mode", 0, {"Low", "Mid", "High"});
    ClockedFixture::SetUp();
    Make(400, 300);
  }
  void Make(int w, int h)
  {
    g = std::make_unique<CairoGraphics>(dlg, w, h);
    g->AttachControl(new Nothing(IRECT()));
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  // How far our picture is from the reference within area (a fraction of the reference's ink).
  double Mismatch(const std::function<void(cairo_t*)>& reference, const IRECT& area, const std::string& name)
  {
    cairo_surface_t* ref = CairoFigure(g->Width(), g->Height(), reference);
    const double m = PixelMismatch(g->Surface(), ref, area, "controls_" + name);
    cairo_surface_destroy(ref);
    return m;
  }
};

} // namespace

// ---- Special controls ----

TEST_F(ShapePixelsTest, CornerResizerFillsTheLowerRightTriangleInTheColourOfItsState)
{
  Make(200, 100);
  g->AttachCornerResizer(EUIResizerMode::Scale, false, COLOR_RED, COLOR_GREEN, COLOR_BLUE, 20.f);
  IControl* resizer = g->GetCornerResizer();
  ASSERT_EQ(resizer->GetRECT(), IRECT(180, 80, 200, 100));
  const std::pair<int, IColor> states[] = {{0, COLOR_RED}, {1, COLOR_GREEN}, {2, COLOR_BLUE}};
  for (const auto& [state, colour] : states)
  {
    if (state == 1) resizer->OnMouseOver(195, 95, IMouseMod());
    if (state == 2) g->SetResizingInProcess(true);
    g->DrawAll();
    const IColor c = colour;
    EXPECT_LT(Mismatch(
                  [&](cairo_t* cr)
                  {
                    CairoPolygon(cr, {{180, 100}, {200, 80}, {200, 100}});
                    CairoFill(cr, c);
                  },
                  IRECT(0, 0, 200, 100), "resizer_" + std::to_string(state)),
              0.01)
        << state;
  }
  g->SetResizingInProcess(false);
}

TEST_F(ShapePixelsTest, BubbleOutlinesCarryTheirArrowOnTheSideTheirPlacementChose)
{
  // An empty text with a 60 × 30 minimum: content 90 × 50 with the margins; the outline is the bubble less the
  // 10-unit shadow margin, corner radius 5, arrow 10 long and 10 wide at its base, white filled, black 2 wide.
  struct Case
  {
    EDirection dir;
    float x, y;
    IRECT caller;
    int side;
    IRECT bubble;
  };
  const Case cases[] = {
      {kHorizontal, 100, 100, IRECT(80, 90, 100, 110), IBubbleControl::kArrowLeft, IRECT(100, 75, 190, 125)},
      {kHorizontal, 350, 100, IRECT(340, 90, 360, 110), IBubbleControl::kArrowRight, IRECT(250, 75, 340, 125)},
      {kVertical, 200, 200, IRECT(190, 200, 210, 220), IBubbleControl::kArrowBottom, IRECT(155, 150, 245, 200)},
      {kVertical, 200, 20, IRECT(190, 20, 210, 40), IBubbleControl::kArrowTop, IRECT(155, 40, 245, 90)},
  };
  for (const Case& c : cases)
  {
    Make(400, 300);
    g->AttachBubbleControl();
    auto* bubble = static_cast<IBubbleControl*>(g->GetBubbleControl(0));
    auto* caller = Attach(new Nothing(c.caller));
    bubble->ShowBubble(caller, c.x, c.y, "", c.dir, IRECT(0, 0, 60, 30));
    ASSERT_EQ(bubble->GetArrowSide(), c.side);
    ASSERT_EQ(bubble->GetBubbleBounds(), c.bubble);
    Frame(0.201); // faded in: opacity 0.95
    g->DrawAll();

    const IRECT r = c.bubble.GetPadded(10);
    const int side = c.side;
    const double m = Mismatch(
        [&](cairo_t* cr)
        {
          ClipTo(cr, c.bubble.L - 1, c.bubble.T - 1, c.bubble.R + 1, c.bubble.B + 1);
          const double rad = 5, half = 5, arrow = 10, cx = r.MW(), cy = r.MH();
          cairo_move_to(cr, r.L, r.T + rad);
          cairo_arc(cr, r.L + rad, r.T + rad, rad, kPi, 1.5 * kPi);
          if (side == 0)
            cairo_line_to(cr, cx - half, r.T), cairo_line_to(cr, cx, r.T - arrow), cairo_line_to(cr, cx + half, r.T);
          cairo_arc(cr, r.R - rad, r.T + rad, rad, 1.5 * kPi, 2 * kPi);
          if (side == 1)
            cairo_line_to(cr, r.R, cy - half), cairo_line_to(cr, r.R + arrow, cy), cairo_line_to(cr, r.R, cy + half);
          cairo_arc(cr, r.R - rad, r.B - rad, rad, 0, 0.5 * kPi);
          if (side == 2)
            cairo_line_to(cr, cx + half, r.B), cairo_line_to(cr, cx, r.B + arrow), cairo_line_to(cr, cx - half, r.B);
          cairo_arc(cr, r.L + rad, r.B - rad, rad, 0.5 * kPi, kPi);
          if (side == 3)
            cairo_line_to(cr, r.L, cy + half), cairo_line_to(cr, r.L - arrow, cy), cairo_line_to(cr, r.L, cy - half);
          cairo_close_path(cr);
          Colour(cr, COLOR_WHITE, 0.95);
          cairo_fill_preserve(cr);
          Colour(cr, COLOR_BLACK, 0.95);
          cairo_set_line_width(cr, 2);
          cairo_set_miter_limit(cr, 10);
          cairo_stroke(cr);
        },
        g->GetBounds(), "bubble_" + std::to_string(side));
    EXPECT_LT(m, 0.01) << side;
  }
}

// ---- Vector controls ----

TEST_F(ShapePixelsTest, GroupBoxWithoutALabelStrokesAClosedRoundedFrame)
{
  IVStyle s = Plain();
  s.drawFrame = true;
  s.frameThickness = 2.f;
  s.roundness = 0.5f;
  Attach(new IVGroupControl(IRECT(20, 20, 220, 120), "", s));
  g->DrawAll();
  // Widget 20,19..220,120 (its top up by half the frame); the line runs 1 inside it, corners of radius
  // min(200, 101) / 2 × 0.5 = 25.25, in the frame colour.
  EXPECT_LT(Mismatch(
                [](cairo_t* cr)
                {
                  RoundRect(cr, 21, 20, 219, 119, 25.25, 25.25, 25.25, 25.25);
                  Colour(cr, IColor(255, 70, 70, 70));
                  cairo_set_line_width(cr, 2);
                  cairo_stroke(cr);
                },
                g->GetBounds(), "group"),
            0.01);
}

TEST_F(ShapePixelsTest, RoundedTabsRadioDotsAndTheXYPadMatchTheirFigures)
{
  IVStyle round = Plain();
  round.roundness = 1.f;
  Attach(new IVTabSwitchControl(IRECT(20, 20, 110, 50), nullptr, {"", "", ""}, "", round, kVShapeEndsRounded));
  Attach(new IVRadioButtonControl(IRECT(20, 60, 120, 120), nullptr, {"", "", ""}, "", Plain(), kVShapeEllipse,
                                  kVertical, 10.f));
  Attach(new IVXYPadControl(IRECT(140, 20, 240, 120), {-1, -1}, "", Plain(), 10.f));
  g->DrawAll();

  const IColor fg(255, 200, 200, 200), pressed(255, 240, 240, 240), shadow(60, 0, 0, 0);
  // Tabs: the first (selected) rounded top-left, the last top-right, radius 15.
  EXPECT_LT(Mismatch(
                [&](cairo_t* cr)
                {
                  RoundRect(cr, 20, 20, 50, 50, 15, 0, 0, 0);
                  CairoFill(cr, pressed);
                  RoundRect(cr, 50, 20, 80, 50, 0, 0, 0, 0);
                  CairoFill(cr, fg);
                  RoundRect(cr, 80, 20, 110, 50, 0, 15, 0, 0);
                  CairoFill(cr, fg);
                },
                IRECT(20, 20, 110, 50), "tabs"),
            0.01);
  // Radio dots of diameter 10 at x 35 (half the text offset of 30), one per 20-unit row.
  EXPECT_LT(Mismatch(
                [&](cairo_t* cr)
                {
                  for (int k = 0; k < 3; ++k)
                  {
                    cairo_new_sub_path(cr);
                    cairo_arc(cr, 35, 70 + 20 * k, 5, 0, 2 * kPi);
                    CairoFill(cr, k == 0 ? pressed : fg);
                  }
                },
                IRECT(20, 60, 120, 120), "radio"),
            0.01);
  // XY pad at (0, 0): the crosshair through x 190 and y 70, then the handle centred on the bottom-left corner,
  // clipped to the widget less half the frame.
  EXPECT_LT(Mismatch(
                [&](cairo_t* cr)
                {
                  Colour(cr, shadow);
                  cairo_set_line_width(cr, 1);
                  cairo_move_to(cr, 190, 20), cairo_line_to(cr, 190, 120), cairo_stroke(cr);
                  cairo_move_to(cr, 140, 70), cairo_line_to(cr, 240, 70), cairo_stroke(cr);
                  ClipTo(cr, 140.5, 20.5, 239.5, 119.5);
                  cairo_arc(cr, 140, 120, 10, 0, 2 * kPi);
                  CairoFill(cr, fg);
                },
                IRECT(139, 19, 241, 121), "xypad"),
            0.01);
}

// ---- Popup menu ----

TEST_F(ShapePixelsTest, PopupCalloutAndScrollArrowsFillTheirTriangles)
{
  g->AttachPopupMenuControl(IText(16.f, COLOR_BLACK));
  auto* popup = static_cast<IPopupMenuControl*>(g->GetPopupMenuControl());
  auto* caller = Attach(new Nothing(IRECT(0, 0, 10, 10)));
  popup->SetCallout(true);
  IPopupMenu shortMenu("", 0, false, {"alpha", "beta"});
  g->CreatePopupMenu(caller, shortMenu, IRECT(100, 50, 180, 70), 0);
  Frame(0.101), Frame(0.001);
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
  g->DrawAll();

  // The callout below the anchor: tip up at the anchor's bottom centre, 8 wide and high, in the panel colour.
  EXPECT_EQ(popup->GetCalloutArrowBounds(), IRECT(136, 70, 144, 78));
  EXPECT_LT(Mismatch(
                [](cairo_t* cr)
                {
                  CairoPolygon(cr, {{136, 78}, {144, 78}, {140, 70}});
                  Colour(cr, COLOR_WHITE, 0.95);
                  cairo_fill(cr);
                },
                IRECT(136, 70, 144, 78), "callout"),
            0.01);
  g->OnMouseDown({IMouseInfo{399, 299, 0, 0, IMouseMod(true)}});
  Frame(0.101), Frame(0.101), Frame(0.101);
  ASSERT_EQ(popup->GetState(), IPopupMenuControl::kCollapsed);

  IPopupMenu menu;
  for (int i = 0; i < 40; ++i)
    menu.AddItem(("item" + std::to_string(i)).c_str());
  g->CreatePopupMenu(caller, menu, IRECT(100, 50, 180, 70), 0);
  Frame(0.101), Frame(0.001);
  g->DrawAll();

  // The last row of the scrolling panel: the down arrow (t = 0.6 × 16) in the text colour over the panel.
  const IRECT row = *popup->GetPanel(0)->GetCell(popup->GetPanel(0)->NCells() - 1);
  EXPECT_LT(Mismatch(
                [&](cairo_t* cr)
                {
                  cairo_rectangle(cr, row.L, row.T, row.W(), row.H());
                  Colour(cr, COLOR_WHITE, 0.95);
                  cairo_fill(cr);
                  const double cx = row.MW(), cy = row.MH(), t = 0.6 * 16;
                  CairoPolygon(cr, {{cx - t / 2, cy - t / 2}, {cx + t / 2, cy - t / 2}, {cx, cy + t / 2}});
                  Colour(cr, COLOR_BLACK, 0.95);
                  cairo_fill(cr);
                },
                row, "down_arrow"),
            0.01);
}

// ---- A gallery to look at ----

TEST_F(ShapePixelsTest, AGalleryOfControlsEachInksItsOwnPlaceOnly)
{
  Make(420, 300);
  g->AttachPanelBackground(IPattern(IColor(255, 236, 238, 242)));
  IVStyle style;
  style.roundness = 0.4f;
  style.labelText.mSize = 12.f;
  style.valueText.mSize = 11.f;
  style.colorSpec.SetColor(kFG, IColor(255, 120, 170, 230));
  style.colorSpec.SetColor(kPR, IColor(255, 60, 110, 190));
  style.colorSpec.SetColor(kX1, IColor(255, 40, 40, 60));
  std::vector<IControl*> shown = {
      Attach(new IVLabelControl(IRECT(10, 10, 200, 40), "Control gallery", style)),
      Attach(new IVTabSwitchControl(IRECT(10, 50, 200, 90), nullptr, {"Low", "Mid", "High"}, "", style,
                                    kVShapeEndsRounded)),
      Attach(new IVRadioButtonControl(IRECT(10, 100, 110, 190), nullptr, {"One", "Two", "Three"}, "", style)),
      Attach(new IVSlideSwitchControl(IRECT(120, 110, 200, 140), nullptr, "", style, false, kHorizontal, 2, 1)),
      Attach(new IVToggleControl(IRECT(120, 150, 200, 190), nullptr, "", style, "OFF", "ON", true)),
      Attach(new IVXYPadControl(IRECT(220, 10, 320, 110), {-1, -1}, "", style, 8.f)),
      Attach(new IVKnobControl(IRECT(330, 10, 410, 110), 0, "Gain", style)),
      Attach(new IVSliderControl(IRECT(220, 130, 410, 170), 0, "", style, false, kHorizontal)),
      Attach(new IVButtonControl(IRECT(220, 190, 300, 230), nullptr, "Press", style)),
  };
  static_cast<IVXYPadControl*>(shown[5])->SetValue(0.3, 0);
  static_cast<IVXYPadControl*>(shown[5])->SetValue(0.7, 1);
  shown.push_back(g->AttachControl(new IVGroupControl("Group", "boxed", style, 8, 14, 8, 8)));
  g->AttachControl(new IVLabelControl(IRECT(20, 220, 180, 250), "in a group", style), -1, "boxed");
  // The group box is attached before its member here, so it is sized once the member is there.
  static_cast<IVGroupControl*>(shown.back())->SetBoundsBasedOnGroup("boxed", 8, 14, 8, 8);
  g->AttachCornerResizer(EUIResizerMode::Scale, false, IColor(60, 0, 0, 0), COLOR_BLACK, COLOR_BLACK, 16.f);
  g->DrawAll();

  // Every control leaves ink inside its own rectangle, and the background is the panel colour away from them.
  cairo_surface_t* s = g->Surface();
  for (IControl* c : shown)
  {
    const IRECT r = c->GetRECT();
    bool inked = false;
    for (int y = int(r.T) + 1; y < int(r.B) - 1 && !inked; ++y)
      for (int x = int(r.L) + 1; x < int(r.R) - 1 && !inked; ++x)
        inked = PixelAt(s, x, y) != IColor(255, 236, 238, 242);
    EXPECT_TRUE(inked) << r.L << "," << r.T;
  }
  EXPECT_EQ(PixelAt(s, 380, 260), IColor(255, 236, 238, 242));
  EXPECT_NE(PixelAt(s, 418, 298), IColor(255, 236, 238, 242)); // the resizer's corner

  const char* dir = std::getenv("ZANIQ_TEST_PNG");
  if (HasFailure() || dir)
  {
    EXPECT_TRUE(g->SavePNG(std::string(dir ? dir : ".") + "/controls_gallery.png"));
  }
}

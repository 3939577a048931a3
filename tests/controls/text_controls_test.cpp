// Text controls: the link's colours, cursor and underline, the place holder's geometry texts and drawing, the
// caption's menu triangle, the text toggle's action form and clearing a fitted text. Numbers are worked out by
// hand from the drawing rules.

#include "controls/ITextControls.h"
#include "controls/support/PrimitiveRecorder.h"
#include "framework/IParam.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

using Prims = std::vector<PrimitiveRecorder::Prim>;
using Args = std::vector<double>;

// Measures as a text back end does around a zero-size rectangle: 7 units per character, as tall as the size,
// placed by both alignments (near / top from the rectangle's start, centre / middle about it, far / bottom to it).
class AlignedMeasure : public PrimitiveRecorder
{
public:
  using PrimitiveRecorder::PrimitiveRecorder;
  float DoMeasureText(const IText& text, const char* str, IRECT& b) const override
  {
    const float w = 7.f * static_cast<float>(std::string(str).size()), h = text.mSize;
    const float x = text.mAlign == kAlignNear ? b.L : text.mAlign == kAlignFar ? b.R - w : b.MW() - w / 2.f;
    const float y = text.mVAlign == kVAlignTop ? b.T : text.mVAlign == kVAlignBottom ? b.B - h : b.MH() - h / 2.f;
    b = IRECT(x, y, x + w, y + h);
    return w;
  }
};

struct TextControlsTest : ::testing::Test
{
  RecordingDelegate dlg{3};
  std::unique_ptr<AlignedMeasure> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Gain", 2.5, 0.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitEnum("Mode", 1, {"Low", "Mid", "High"});
    dlg.GetParam(2)->InitBool("On", false);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<AlignedMeasure>(dlg, 400, 300);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  Prims DrawOf(IControl& c)
  {
    g->Reset();
    c.Draw(*g);
    return g->prims;
  }
};

} // namespace

// ---- Links ----

TEST_F(TextControlsTest, LinkUnderlinesItsTextByAlignmentAndColoursItByVisitAndHover)
{
  // "home" measures 28 × 14 in bounds (0, 100, 100, 120).
  struct Case
  {
    int align, vAlign;
    IRECT line; // (x1, y, x2, y)
  };
  const Case cases[] = {
      {kAlignNear, kVAlignTop, {0, 114, 28, 114}},       // top + height
      {kAlignCenter, kVAlignMiddle, {36, 117, 64, 117}}, // centre + measured edges; middle + measured bottom
      {kAlignFar, kVAlignBottom, {72, 120, 100, 120}},   // the bottom edge
  };
  for (const Case& c : cases)
  {
    const IText style(14.f, COLOR_GREEN, "Roboto-Regular", c.align, c.vAlign);
    auto* url = Attach(new IURLControl(IRECT(0, 100, 100, 120), "home", "https://example.org/", style, COLOR_WHITE,
                                       COLOR_RED, COLOR_BLUE));
    const Prims p = DrawOf(*url);
    ASSERT_EQ(p.size(), 3u) << c.align;
    EXPECT_EQ((std::tuple{p[0].op, p[0].color}), (std::tuple{std::string("FillRect"), COLOR_WHITE}));
    EXPECT_EQ((std::tuple{p[1].op, p[1].color, p[1].r, p[1].a[0]}),
              (std::tuple{std::string("DrawLine"), COLOR_GREEN, c.line, 1.f}))
        << c.align;
    EXPECT_EQ((std::tuple{p[2].op, p[2].color}), (std::tuple{std::string("Text"), COLOR_GREEN}));
    g->RemoveControl(url);
  }

  // Hover: the pointing hand and the mouse-over colour; a click opens the URL once and leaves it visited; away
  // from it, the arrow again and the visited colour. (Index 0 is the background, never hovered.)
  Attach(new ITextControl(IRECT(0, 0, 400, 300)));
  auto* url = Attach(new IURLControl(IRECT(0, 100, 100, 120), "home", "https://example.org/", IText(14.f, COLOR_GREEN),
                                     COLOR_WHITE, COLOR_RED, COLOR_BLUE));
  EXPECT_FALSE(url->GetIgnoreMouse());
  g->EnableMouseOver(true);
  g->OnMouseOver(10, 110, IMouseMod());
  ASSERT_FALSE(g->cursors.empty());
  EXPECT_EQ(g->cursors.back(), kCursorHand);
  EXPECT_EQ(DrawOf(*url).back().color, COLOR_RED);
  g->OnMouseDown({IMouseInfo{10, 110, 0, 0, IMouseMod(true)}});
  g->OnMouseUp({IMouseInfo{10, 110, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(g->Count("OpenURL(https://example.org/)"), 1);
  EXPECT_TRUE(url->GetClicked());
  g->OnMouseOut();
  ASSERT_FALSE(g->cursors.empty());
  EXPECT_EQ(g->cursors.back(), kCursorArrow);
  EXPECT_EQ(DrawOf(*url).back().color, COLOR_BLUE);

  // An empty link draws its background only.
  auto* empty = Attach(new IURLControl(IRECT(0, 0, 10, 10), "", "x"));
  EXPECT_EQ(DrawOf(*empty).size(), 1u);
}

// ---- Place holder ----

TEST_F(TextControlsTest, PlaceHolderShowsItsGeometryAndTakesATypedName)
{
  auto* p = Attach(new PlaceHolder(IRECT(10, 20, 110, 70), "box"));
  EXPECT_STREQ(p->GetTLHCStr(), "10.0, 20.0");
  EXPECT_STREQ(p->GetWidthStr(), "100.0");
  EXPECT_STREQ(p->GetHeightStr(), "50.0");

  // White box, two red diagonals (thickness 2, weight 0.5), then each label over a white patch: the height at
  // (left + 10, centre), the width at (centre, top + 10), the position at (left + 10, top + 10), the name centred.
  const Prims d = DrawOf(*p);
  ASSERT_EQ(d.size(), 11u);
  EXPECT_EQ((std::tuple{d[0].op, d[0].color, d[0].r, d[0].weight}),
            (std::tuple{std::string("FillRect"), COLOR_WHITE, IRECT(10, 20, 110, 70), -1.f}));
  EXPECT_EQ((std::tuple{d[1].op, d[1].color, d[1].r, d[1].a[0], d[1].weight}),
            (std::tuple{std::string("DrawLine"), COLOR_RED, IRECT(10, 20, 110, 70), 2.f, 0.5f}));
  EXPECT_EQ(d[2].r, IRECT(10, 70, 110, 20));
  EXPECT_EQ(g->texts, (std::vector<std::string>{"50.0", "100.0", "10.0, 20.0", "box"}));
  // Patches: 28 × 14 centred on (20, 45) at 0.5; 35 × 14 on (60, 30) at 0.75; 70 × 14 on (20, 30) at 0.5.
  EXPECT_EQ((std::tuple{d[3].r, d[3].weight}), (std::tuple{IRECT(6, 38, 34, 52), 0.5f}));
  EXPECT_EQ((std::tuple{d[4].op, d[4].r}), (std::tuple{std::string("Text"), IRECT(20, 45, 20, 45)}));
  EXPECT_EQ((std::tuple{d[5].r, d[5].weight}), (std::tuple{IRECT(42.5f, 23, 77.5f, 37), 0.75f}));
  EXPECT_EQ((std::tuple{d[7].r, d[7].weight}), (std::tuple{IRECT(-15, 23, 55, 37), 0.5f}));
  // The name ("box", 21 × 20) measured inside the bounds is the centre label.
  EXPECT_EQ(p->GetCentreLabelBounds(), IRECT(49.5f, 35, 70.5f, 55));
  EXPECT_EQ((std::tuple{d[9].r, d[9].weight, d[10].r}),
            (std::tuple{IRECT(49.5f, 35, 70.5f, 55), 0.75f, IRECT(49.5f, 35, 70.5f, 55)}));

  // A double click asks for a name over the bounds; the answer becomes the text.
  g->textAnswers = {"renamed"};
  g->OnMouseDblClick(50, 50, IMouseMod(true));
  ASSERT_EQ(g->textEntries.size(), 1u);
  EXPECT_EQ((std::tuple{g->textEntries[0].bounds, g->textEntries[0].str}),
            (std::tuple{IRECT(10, 20, 110, 70), std::string("box")}));
  EXPECT_STREQ(p->GetStr(), "renamed");

  // Moved and resized, it shows its new geometry; a negative size is no size.
  p->SetPosition(30, 40);
  p->SetSize(-5, 12.25f);
  EXPECT_STREQ(p->GetTLHCStr(), "30.0, 40.0");
  EXPECT_STREQ(p->GetWidthStr(), "0.0");
  EXPECT_STREQ(p->GetHeightStr(), "12.2");
  EXPECT_EQ(p->GetTargetRECT(), IRECT(30, 40, 30, 52.25f));
}

// ---- Captions, toggles, fitted texts ----

TEST_F(TextControlsTest, AnEnumeratedCaptionDrawsItsMenuTriangleBrighterUnderTheMouse)
{
  auto* gain = Attach(new ICaptionControl(IRECT(100, 0, 200, 20), 0));
  auto* mode = Attach(new ICaptionControl(IRECT(100, 50, 200, 70), 1, DEFAULT_TEXT, COLOR_WHITE, false));
  EXPECT_EQ(gain->GetTriangleRECT().W(), 0.f);
  // 8 × 5, centred on (right − 10 % of the width, middle).
  EXPECT_EQ(mode->GetTriangleRECT(), IRECT(186, 57.5f, 194, 62.5f));

  Prims p = DrawOf(*mode);
  ASSERT_EQ(p.back().op, "FillTriangle");
  EXPECT_EQ((std::tuple{p.back().color, p.back().a, p.back().weight}),
            (std::tuple{COLOR_BLACK, std::vector<float>{186, 57.5f, 194, 57.5f, 190, 62.5f}, 0.5f}));
  mode->OnMouseOver(150, 60, IMouseMod());
  p = DrawOf(*mode);
  EXPECT_EQ((std::tuple{p.back().color, p.back().weight}), (std::tuple{COLOR_WHITE, -1.f}));
  EXPECT_TRUE(DrawOf(*gain).back().op != "FillTriangle");
  EXPECT_STREQ(gain->GetStr(), "2.5 dB");
}

TEST_F(TextControlsTest, AnActionTextToggleRunsItsActionAndClearingAFittedTextShrinksItToItsCentre)
{
  int runs = 0;
  auto* toggle = Attach(new ITextToggleControl(
      IRECT(0, 0, 50, 20), [&](IControl*) { ++runs; }, "off", "on"));
  EXPECT_TRUE(toggle->GetMouseDblAsSingleClick());
  g->OnMouseDown({IMouseInfo{10, 10, 0, 0, IMouseMod(true)}});
  EXPECT_EQ((std::tuple{toggle->GetValue(), std::string(toggle->GetStr()), runs}),
            (std::tuple{1.0, std::string("on"), 1}));
  EXPECT_TRUE(dlg.sentFromUI.empty());

  auto* fitted = Attach(new ITextControl(IRECT(100, 100, 200, 120), "abcd", DEFAULT_TEXT, COLOR_WHITE, true));
  EXPECT_EQ(fitted->GetRECT(), IRECT(136, 103, 164, 117)); // 28 × 14 about the old centre
  fitted->ClearStr();
  EXPECT_STREQ(fitted->GetStr(), "");
  EXPECT_EQ(fitted->GetRECT(), IRECT(150, 110, 150, 110));
  EXPECT_EQ(DrawOf(*fitted).size(), 1u); // the background only

  // Formatting into no room leaves no text.
  fitted->SetStrFmt(8, "%d", 42);
  EXPECT_STREQ(fitted->GetStr(), "42");
  fitted->SetStrFmt(0, "%d", 42);
  EXPECT_STREQ(fitted->GetStr(), "");
}

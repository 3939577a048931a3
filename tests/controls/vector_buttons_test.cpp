// Vector labels, buttons, switches, toggles, slide switches, tabs and radio buttons: what they draw (through the
// primitive recorder, with numbers worked out by hand from the layout and drawing rules), where they are hit and
// how they answer the mouse.

#include "controls/IVButtonControls.h"
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
constexpr IMouseMod kNone{};

const IColor kBGColor(0, 0, 0, 0), kFGColor(255, 200, 200, 200), kPRColor(255, 240, 240, 240),
    kFRColor(255, 70, 70, 70), kHLColor(10, 0, 0, 0), kSHColor(60, 0, 0, 0), kX1Color(255, 0, 0, 0);

Prims Only(const Prims& all, const std::string& op)
{
  Prims out;
  for (const auto& p : all)
    if (p.op == op) out.push_back(p);
  return out;
}

struct VectorButtonsTest : VectorFixture
{
  // A click as the context delivers it (mouse-down point recorded, capture, release).
  void Click(float x, float y)
  {
    g->OnMouseDown({IMouseInfo{x, y, 0, 0, IMouseMod(true)}});
    g->OnMouseUp({IMouseInfo{x, y, 0, 0, IMouseMod(true)}});
  }
};

} // namespace

// ---- Label ----

TEST_F(VectorButtonsTest, LabelDrawsItsTextWithAShadowAndAFrameOnlyWhenItShouldAndWhileEnabled)
{
  auto* label = Attach(new IVLabelControl(IRECT(10, 10, 110, 40), "Hi"));
  EXPECT_STREQ(label->GetLabelStr(), "Hi");
  EXPECT_EQ(label->GetText().mSize, DEFAULT_STYLE.valueText.mSize); // the control's text is the value text

  // Background, the shadow copy moved by the shadow offset in the shadow colour, the text, the frame.
  Prims p = DrawOf(*label);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ((std::tuple{p[0].op, p[0].color, p[0].r}),
            (std::tuple{std::string("FillRect"), kBGColor, label->GetRECT()}));
  EXPECT_EQ((std::tuple{p[1].op, p[1].color, p[1].r}),
            (std::tuple{std::string("Text"), kSHColor, IRECT(13, 13, 113, 43)}));
  EXPECT_EQ((std::tuple{p[2].color, p[2].r}), (std::tuple{COLOR_BLACK, label->GetRECT()}));
  EXPECT_EQ((std::tuple{p[3].op, p[3].color, p[3].a[0]}), (std::tuple{std::string("DrawRect"), kFRColor, 1.f}));
  EXPECT_EQ(g->texts, (std::vector<std::string>{"Hi", "Hi"}));

  // Disabled: no shadow, and everything at the disabled weight.
  label->SetDisabled(true);
  p = DrawOf(*label);
  ASSERT_EQ(Only(p, "Text").size(), 1u);
  EXPECT_FLOAT_EQ(Only(p, "Text")[0].weight, 0.25f);

  // Without text, frame and shadows: the background alone.
  auto* empty = Attach(new IVLabelControl(IRECT(0, 0, 50, 20), "", Plain()));
  p = DrawOf(*empty);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(p[0].op, "FillRect");
}

// ---- Buttons ----

TEST_F(VectorButtonsTest, ButtonsAreHitOnTheirWidgetOnlyAndSplashFromTheClickUntilReleased)
{
  IVStyle s = Plain();
  s.showLabel = true;
  s.labelText.mSize = 10.f;
  int ended = 0;
  auto* b = Attach(new IVButtonControl(IRECT(0, 0, 100, 50), SplashClickActionFunc, "Go", s, false, false));
  b->SetAnimationEndActionFunction([&](IControl*) { ++ended; });
  EXPECT_FALSE(b->IsHit(50, 5)); // on the label
  EXPECT_TRUE(b->IsHit(50, 30));
  EXPECT_EQ(b->GetWidgetBounds(), IRECT(0, 10, 100, 50));

  // Unpressed: the foreground fill; pressed: the pressed colour, then the splash from the click point.
  EXPECT_EQ(Only(DrawOf(*b), "FillRoundRect").at(0).color, kFGColor);
  Click(30, 40);
  EXPECT_EQ(b->GetValue(), 1.0);
  Frame(0.05);
  Prims p = DrawOf(*b);
  EXPECT_EQ(Only(p, "FillRoundRect").at(0).color, kPRColor);
  const Prims splash = Only(p, "FillCircle");
  ASSERT_EQ(splash.size(), 1u);
  EXPECT_EQ((std::tuple{splash[0].color, splash[0].a}), (std::tuple{kHLColor, std::vector<float>{30, 40, 25}}));

  // After 100 ms the animation ends: released, and the end action runs once.
  Frame(0.06);
  EXPECT_EQ(b->GetValue(), 0.0);
  EXPECT_EQ(b->GetAnimationFunction(), nullptr);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(Only(DrawOf(*b), "FillCircle").empty());
}

// ---- Switches and toggles ----

TEST_F(VectorButtonsTest, SwitchShowsItsParametersTextsAndPressesOnlyWhileTheMouseIsDown)
{
  auto* sw = Attach(new IVSwitchControl(IRECT(0, 0, 100, 80), 1, "", Plain(), true));
  EXPECT_EQ(sw->NStates(), 3);                     // from the enumeration
  EXPECT_STREQ(sw->GetLabelStr(), "Mode");         // the parameter's name for an empty label
  EXPECT_STREQ(sw->GetValueStr(), "Low");          // its display text
  EXPECT_EQ(sw->GetText().mVAlign, kVAlignMiddle); // the value shown in the button

  g->OnMouseDown({IMouseInfo{50, 40, 0, 0, IMouseMod(true)}});
  EXPECT_DOUBLE_EQ(sw->GetValue(), 0.5);
  EXPECT_STREQ(sw->GetValueStr(), "Mid");
  EXPECT_EQ(Only(DrawOf(*sw), "FillRoundRect").at(0).color, kPRColor);
  g->OnMouseUp({IMouseInfo{50, 40, 0, 0, IMouseMod(true)}});
  EXPECT_EQ(Only(DrawOf(*sw), "FillRoundRect").at(0).color, kFGColor);

  // Hover tints the widget; leaving takes the tint away and redraws without sending anything.
  sw->OnMouseOver(50, 40, kNone);
  Prims fills = Only(DrawOf(*sw), "FillRoundRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[1].color, kHLColor);
  const size_t sent = dlg.sentFromUI.size();
  sw->SetClean();
  sw->OnMouseOut();
  EXPECT_TRUE(sw->IsDirty());
  EXPECT_EQ(dlg.sentFromUI.size(), sent);
  EXPECT_EQ(Only(DrawOf(*sw), "FillRoundRect").size(), 1u);
}

TEST_F(VectorButtonsTest, TogglesShowTheirOnOrOffTextInTheButton)
{
  int runs = 0;
  auto* on = Attach(new IVToggleControl(
      IRECT(0, 0, 80, 40), [&](IControl*) { ++runs; }, "", Plain(), "no", "yes", true));
  EXPECT_EQ(on->GetValue(), 1.0);
  EXPECT_EQ(on->GetValueBounds(), on->GetWidgetBounds());
  Prims p = DrawOf(*on);
  EXPECT_EQ(Only(p, "FillRoundRect").at(0).color, kPRColor); // pressed while on
  EXPECT_EQ(g->texts, std::vector<std::string>{"yes"});

  on->OnMouseDown(40, 20, kNone);
  EXPECT_EQ((std::tuple{on->GetValue(), runs}), (std::tuple{0.0, 1}));
  p = DrawOf(*on);
  EXPECT_EQ(Only(p, "FillRoundRect").at(0).color, kFGColor);
  EXPECT_EQ(g->texts, std::vector<std::string>{"no"});

  // The value's hover tint is the highlight colour over the value rectangle.
  g->Reset();
  on->DrawValue(*g, true);
  EXPECT_EQ((std::tuple{g->prims.at(0).op, g->prims[0].color, g->prims[0].r}),
            (std::tuple{std::string("FillRect"), kHLColor, on->GetValueBounds()}));

  // The parameter form starts from the parameter's value.
  dlg.GetParam(2)->Set(1.0);
  auto* linked = Attach(new IVToggleControl(IRECT(100, 0, 180, 40), 2, "", Plain(), "off", "on"));
  linked->SetValueFromDelegate(1.0);
  DrawOf(*linked);
  EXPECT_EQ(g->texts, std::vector<std::string>{"on"});
}

// ---- Slide switch ----

TEST_F(VectorButtonsTest, SlideSwitchDrawsItsTrackAndHidesItsValueWhileSliding)
{
  IVStyle s = Plain();
  s.showValue = true;
  s.roundness = 0.5f;
  auto* sw = Attach(new IVSlideSwitchControl(IRECT(0, 0, 100, 40), nullptr, "", s, true, kHorizontal, 2, 0));
  sw->SetValueStr("v");
  // Track: the widget in the shadow colour, rounded by half the handle's shorter side × roundness (40 / 2 × 0.5).
  Prims p = Only(DrawOf(*sw), "FillRoundRect");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ((std::tuple{p[0].color, p[0].r, p[0].a}),
            (std::tuple{kSHColor, IRECT(0, 0, 100, 40), std::vector<float>(4, 10.f)}));
  EXPECT_EQ((std::tuple{p[1].color, p[1].r}), (std::tuple{kFGColor, IRECT(0, 0, 50, 40)}));
  EXPECT_EQ(g->texts, std::vector<std::string>{"v"});

  sw->OnMouseDown(10, 10, kNone);
  Frame(0.05);
  EXPECT_TRUE(Near(sw->GetValueBounds(), {25, 0, 75, 40})) << "the value follows the handle";
  DrawOf(*sw);
  EXPECT_TRUE(g->texts.empty()) << "no value text while sliding";
  Frame(0.06);
  DrawOf(*sw);
  EXPECT_EQ(g->texts, std::vector<std::string>{"v"});
  EXPECT_TRUE(Near(sw->GetValueBounds(), {50, 0, 100, 40}));
}

TEST_F(VectorButtonsTest, ALinkedSlideSwitchTakesItsStatesFromTheParameterAndSlidesToTheNextCell)
{
  auto* sw = Attach(new IVSlideSwitchControl(IRECT(0, 0, 30, 90), 1, "", Plain(), false, kVertical));
  EXPECT_EQ(sw->NStates(), 3);
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 0, 30, 30}));
  sw->SetValueFromDelegate(1.0); // from the host: at once
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 60, 30, 90}));
  Click(15, 45); // the last state wraps to the first, sliding there from its own cell
  EXPECT_DOUBLE_EQ(dlg.GetParam(1)->Value(), 0.0);
  EXPECT_TRUE(Near(sw->GetEndRect(), {0, 0, 30, 30}));
  Frame(0.2);
  EXPECT_TRUE(Near(sw->GetHandleRect(), {0, 0, 30, 30}));
}

// ---- Tabs ----

TEST_F(VectorButtonsTest, TabsLinkedWithoutLabelsTakeTheParametersDisplayTexts)
{
  auto* tabs = Attach(new IVTabSwitchControl(IRECT(0, 40, 90, 70), 1));
  EXPECT_EQ(tabs->NStates(), 3);
  EXPECT_EQ(tabs->NTabLabels(), 3);
  tabs->SetValue(1.0);
  EXPECT_STREQ(tabs->GetSelectedLabelStr(), "High");
  EXPECT_STREQ(tabs->GetLabelStr(), "Mode");
  // The control's label, then each tab's label centred in its button in the value text.
  DrawOf(*tabs);
  EXPECT_EQ(g->texts, (std::vector<std::string>{"Mode", "Low", "Mid", "High"}));
  const Prims texts = Only(g->prims, "Text");
  EXPECT_EQ((std::tuple{texts[2].r, texts[2].a[0], texts[2].a[1]}),
            (std::tuple{tabs->GetButtonRect(1), float(kAlignCenter), float(kVAlignMiddle)}));
}

TEST_F(VectorButtonsTest, RoundedTabsRoundTheCornersTheirShapeAndDirectionGive)
{
  // Three 30 × 30 buttons, roundness 1: the radius is 15. Corner order top-left, top-right, bottom-left,
  // bottom-right.
  struct Case
  {
    int shape;
    EDirection dir;
    std::vector<std::vector<float>> corners; // per button
  };
  const float r = 15.f;
  const Case cases[] = {
      {kVShapeAllRounded, kHorizontal, {{r, r, 0, 0}, {r, r, 0, 0}, {r, r, 0, 0}}},
      {kVShapeAllRounded, kVertical, {{0, r, 0, r}, {0, r, 0, r}, {0, r, 0, r}}},
      {kVShapeEndsRounded, kHorizontal, {{r, 0, 0, 0}, {0, 0, 0, 0}, {0, r, 0, 0}}},
      {kVShapeEndsRounded, kVertical, {{0, r, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, r}}},
      {kVShapeRectangle, kVertical, {{r, r, r, r}, {r, r, r, r}, {r, r, r, r}}},
  };
  IVStyle s = Plain();
  s.roundness = 1.f;
  for (const Case& c : cases)
  {
    const IRECT bounds = c.dir == kVertical ? IRECT(0, 0, 30, 90) : IRECT(0, 0, 90, 30);
    auto* tabs = Attach(new IVTabSwitchControl(bounds, nullptr, {"A", "B", "C"}, "", s, c.shape, c.dir));
    const Prims fills = Only(DrawOf(*tabs), "FillRoundRect");
    ASSERT_EQ(fills.size(), 3u) << c.shape << " " << c.dir;
    for (size_t k = 0; k < 3; ++k)
    {
      EXPECT_EQ(fills[k].a, c.corners[k]) << c.shape << " " << c.dir << " button " << k;
      EXPECT_EQ(fills[k].r, tabs->GetButtonRect(int(k)));
    }
  }
  // Any other shape is drawn as that shape: ellipses.
  auto* round = Attach(new IVTabSwitchControl(IRECT(0, 0, 90, 30), nullptr, {"A", "B", "C"}, "", s, kVShapeEllipse));
  EXPECT_EQ(Only(DrawOf(*round), "FillEllipse").size(), 3u);
}

TEST_F(VectorButtonsTest, TabsHoverPressAndDimPerButton)
{
  auto* tabs = Attach(new IVTabSwitchControl(IRECT(0, 20, 90, 50), nullptr, {"A", "B", "C"}, "", Plain()));
  EXPECT_FALSE(tabs->IsHit(45, 10)); // above the buttons
  EXPECT_TRUE(tabs->IsHit(45, 30));

  tabs->OnMouseOver(45, 30, kNone);
  EXPECT_EQ(tabs->GetMouseOverIdx(), 1);
  EXPECT_TRUE(tabs->GetMouseIsOver());
  // Button 0 is selected (pressed colour), button 1 hovered (its fill, then the highlight over it).
  Prims fills = Only(DrawOf(*tabs), "FillRoundRect");
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ((std::vector<IColor>{fills[0].color, fills[1].color, fills[2].color, fills[3].color}),
            (std::vector<IColor>{kPRColor, kFGColor, kHLColor, kFGColor}));
  EXPECT_EQ(fills[2].r, tabs->GetButtonRect(1));

  tabs->OnMouseOut();
  EXPECT_EQ(tabs->GetMouseOverIdx(), -1);
  EXPECT_EQ(Only(DrawOf(*tabs), "FillRoundRect").size(), 3u);

  // A disabled state dims its button only; all states disabled dim all; the control's own disabled flag dims all.
  const IColor dim(255, 137, 137, 137), dimPressed(255, 177, 177, 177);
  tabs->SetStateDisabled(2, true);
  tabs->SetStateDisabled(7, true); // no such state: nothing
  fills = Only(DrawOf(*tabs), "FillRoundRect");
  EXPECT_EQ((std::vector<IColor>{fills[0].color, fills[1].color, fills[2].color}),
            (std::vector<IColor>{kPRColor, kFGColor, dim}));
  EXPECT_FALSE(tabs->GetStateDisabled(7));
  tabs->SetAllStatesDisabled(true);
  fills = Only(DrawOf(*tabs), "FillRoundRect");
  EXPECT_EQ((std::vector<IColor>{fills[0].color, fills[1].color, fills[2].color}),
            (std::vector<IColor>{dimPressed, dim, dim}));
  tabs->SetAllStatesDisabled(false);
  tabs->SetDisabled(true);
  EXPECT_EQ(Only(DrawOf(*tabs), "FillRoundRect").at(1).color, dim);
}

// ---- Radio buttons ----

TEST_F(VectorButtonsTest, RadioButtonsWithOnlyButtonsRespondingReactInTheButtonStrip)
{
  auto* radio = Attach(new IVRadioButtonControl(IRECT(0, 0, 100, 60), nullptr, {"a", "b", "c"}, "", Plain(),
                                                kVShapeEllipse, kVertical, 10.f));
  EXPECT_FLOAT_EQ(radio->GetTextOffset(), 30.f);
  EXPECT_EQ(radio->GetSelectedIdxForPos(80, 25), 1);
  radio->SetOnlyButtonsRespond(true);
  EXPECT_EQ(radio->GetSelectedIdxForPos(80, 25), -1);
  EXPECT_EQ(radio->GetSelectedIdxForPos(29, 45), 2);
  EXPECT_EQ(radio->GetSelectedIdxForPos(30, 45), -1);
  EXPECT_EQ(radio->GetSelectedIdxForPos(10, 60), -1); // bottom edge excluded

  // Dots of the button size centred in the text-offset strip; labels after the strip, near-aligned, in the pressed
  // colour for the selected row and extra colour 1 for the others.
  radio->OnMouseDown(10, 25, kNone);
  EXPECT_DOUBLE_EQ(radio->GetValue(), 0.5);
  const Prims p = DrawOf(*radio);
  const Prims dots = Only(p, "FillEllipse");
  ASSERT_EQ(dots.size(), 3u);
  EXPECT_TRUE(Near(dots[0].r, {10, 5, 20, 15}));
  EXPECT_TRUE(Near(dots[2].r, {10, 45, 20, 55}));
  EXPECT_EQ((std::vector<IColor>{dots[0].color, dots[1].color, dots[2].color}),
            (std::vector<IColor>{kFGColor, kPRColor, kFGColor}));
  const Prims texts = Only(p, "Text");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ((std::tuple{texts[1].r, texts[1].color, texts[1].a[0]}),
            (std::tuple{IRECT(30, 20, 100, 40), kPRColor, float(kAlignNear)}));
  EXPECT_EQ(texts[0].color, kX1Color);

  // The parameter form labels its rows from the parameter.
  auto* linked = Attach(new IVRadioButtonControl(IRECT(200, 0, 300, 60), 1));
  DrawOf(*linked);
  EXPECT_EQ(g->texts, (std::vector<std::string>{"Mode", "Low", "Mid", "High"}));
}

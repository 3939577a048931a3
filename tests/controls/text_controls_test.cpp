#include "controls/ITextControls.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

struct TextControlsTest : ::testing::Test
{
  RecordingDelegate dlg{3};
  std::unique_ptr<ScriptedGraphics> g;

  void SetUp() override
  {
    dlg.GetParam(0)->InitDouble("Gain", 2.5, 0.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitEnum("Mode", 1, {"Low", "Mid", "High"});
    dlg.GetParam(2)->InitBool("On", false);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<ScriptedGraphics>(dlg, 400, 300);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  void Click(float x, float y)
  {
    g->OnMouseDown({IMouseInfo{x, y, 0, 0, IMouseMod(true)}});
    g->OnMouseUp({IMouseInfo{x, y, 0, 0, IMouseMod(true)}});
  }
};

} // namespace

TEST_F(TextControlsTest, TextsAndFittedBounds)
{
  // The recording back end measures 7 points per character and keeps the rectangle's height.
  auto* fitted = Attach(new ITextControl(IRECT(100, 100, 200, 120), "abcd", DEFAULT_TEXT, COLOR_WHITE, true));
  EXPECT_EQ(fitted->GetRECT(), IRECT(136, 110, 164, 110));
  EXPECT_EQ(fitted->GetTargetRECT(), fitted->GetRECT());

  fitted->SetTargetAndDrawRECTs(IRECT(0, 0, 50, 50));
  fitted->SetStr("abcd"); // already held: no re-fit
  EXPECT_EQ(fitted->GetRECT(), IRECT(0, 0, 50, 50));
  fitted->SetStr("ab");
  EXPECT_EQ(fitted->GetRECT(), IRECT(18, 25, 32, 25));

  ITextControl t(IRECT(0, 0, 10, 10), nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStr("x");
  t.SetStr(nullptr);
  EXPECT_STREQ(t.GetStr(), "");
  t.SetStrFmt(32, "%s at %d%%", "50%s %n", 3); // the argument is copied, not read as a format
  EXPECT_STREQ(t.GetStr(), "50%s %n at 3%");
  t.SetStrFmt(4, "%d", 1234567);
  EXPECT_STREQ(t.GetStr(), "1234");
  t.SetStrFmt(0, "%d", 1);
  EXPECT_STREQ(t.GetStr(), "");
  t.ClearStr();
  EXPECT_STREQ(t.GetStr(), "");

  // A plain text control lets clicks through to what lies below it.
  auto* text = Attach(new ITextControl(IRECT(0, 0, 50, 50), "label"));
  EXPECT_TRUE(text->GetIgnoreMouse());
  EXPECT_EQ(g->GetMouseControl(10, 10, false), nullptr);

  // Drawing: background, then the text; nothing of the text while it is being edited.
  g->drawn.clear();
  text->Draw(*g);
  ASSERT_EQ(g->Calls("DoDrawText").size(), 1u);
  EXPECT_EQ(g->Calls("DoDrawText")[0].text, "label");
}

TEST_F(TextControlsTest, TogglesCaptionsAndLinks)
{
  auto* toggle = Attach(new ITextToggleControl(IRECT(0, 0, 50, 20), 2, "off", "on"));
  toggle->SetValue(0.5);
  toggle->SetDirty(false);
  EXPECT_STREQ(toggle->GetStr(), "off");
  Click(10, 10);
  EXPECT_DOUBLE_EQ(toggle->GetValue(), 1.0);
  EXPECT_STREQ(toggle->GetStr(), "on");
  EXPECT_DOUBLE_EQ(dlg.GetParam(2)->Value(), 1.0);
  toggle->SetValueFromDelegate(0.0);
  EXPECT_STREQ(toggle->GetStr(), "off");

  // Captions: the display text with its label; a triangle only for enumerations.
  auto* gain = Attach(new ICaptionControl(IRECT(100, 0, 200, 20), 0));
  auto* mode = Attach(new ICaptionControl(IRECT(100, 50, 200, 70), 1, DEFAULT_TEXT, COLOR_WHITE, false));
  EXPECT_EQ(gain->GetTriangleRECT().W(), 0.f);
  EXPECT_EQ(mode->GetTriangleRECT(), IRECT(186, 57.5f, 194, 62.5f));
  g->drawn.clear();
  gain->Draw(*g);
  EXPECT_STREQ(gain->GetStr(), "2.5 dB");
  EXPECT_EQ(g->Calls("PathFill").size(), 1u); // the background only
  g->drawn.clear();
  mode->Draw(*g);
  EXPECT_STREQ(mode->GetStr(), "Mid");
  ASSERT_EQ(g->Calls("PathFill").size(), 2u); // background and triangle
  EXPECT_EQ(g->Calls("PathFill")[1].color, COLOR_BLACK);

  // A click prompts: a menu of the display texts for the enumeration.
  g->menuChoice = 2;
  Click(150, 60);
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Low", "Mid", "High"}));
  EXPECT_DOUBLE_EQ(dlg.GetParam(1)->Value(), 2.0);

  // Links: the cursor while over, the URL on click, the underline under the text.
  IText near(14.f, COLOR_BLACK, "Roboto-Regular", kAlignNear, kVAlignBottom);
  auto* url = Attach(new IURLControl(IRECT(0, 100, 100, 120), "home", "https://example.org/", near));
  g->EnableMouseOver(true);
  g->OnMouseOver(10, 110, IMouseMod());
  g->OnMouseOut();
  ASSERT_FALSE(g->cursors.empty());
  EXPECT_EQ(std::count(g->cursors.begin(), g->cursors.end(), kCursorHand), 1);
  EXPECT_EQ(g->cursors.back(), kCursorArrow);
  Click(10, 110);
  EXPECT_EQ(g->Count("OpenURL(https://example.org/)"), 1);
  EXPECT_TRUE(url->GetClicked());
  g->drawn.clear();
  url->Draw(*g);
  // A line of 28 points (4 × 7) along the bottom, starting at the left edge.
  const auto moves = g->Calls("PathMoveTo");
  const auto lines = g->Calls("PathLineTo");
  ASSERT_FALSE(lines.empty());
  EXPECT_FLOAT_EQ(moves.back().a[0], 0.f);
  EXPECT_FLOAT_EQ(moves.back().a[1], 120.f);
  EXPECT_FLOAT_EQ(lines.back().a[0], 28.f);
}

TEST_F(TextControlsTest, PlaceHolderShowsItsGeometry)
{
  auto* p = Attach(new PlaceHolder(IRECT(10, 20, 110, 70), "box"));
  EXPECT_STREQ(p->GetTLHCStr(), "10.0, 20.0");
  EXPECT_STREQ(p->GetWidthStr(), "100.0");
  EXPECT_STREQ(p->GetHeightStr(), "50.0");
  g->drawn.clear();
  p->Draw(*g);
  std::vector<std::string> texts;
  for (const auto& c : g->Calls("DoDrawText"))
    texts.push_back(c.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"50.0", "100.0", "10.0, 20.0", "box"}));
  EXPECT_EQ(p->GetCentreLabelBounds(), IRECT(49.5f, 20, 70.5f, 70));

  g->textAnswers = {"renamed"};
  g->OnMouseDblClick(50, 50, IMouseMod(true));
  EXPECT_STREQ(p->GetStr(), "renamed");
}

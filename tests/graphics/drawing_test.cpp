#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Strings = std::vector<std::string>;

struct DrawingTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);

  // The bitmap draws since the last Take, as "DrawBitmap(L,T,R,B,srcX,srcY)".
  Strings Take()
  {
    Strings out;
    for (const auto& c : g->Calls("DrawBitmap"))
    {
      char buf[128];
      std::snprintf(buf, sizeof buf, "DrawBitmap(%g,%g,%g,%g,%g,%g)", c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
      out.push_back(buf);
    }
    g->drawn.clear();
    return out;
  }
};

IBitmap Strip(int w, int h, int n, bool horizontal)
{
  IBitmap b;
  b.W = w;
  b.H = h;
  b.N = n;
  b.mFramesAreHorizontal = horizontal;
  return b;
}

} // namespace

TEST_F(DrawingTest, FilmStripFramesAndBitmapFonts)
{
  struct Case
  {
    IBitmap bmp;
    int frame;
    int srcX, srcY;
  };
  const Case cases[] = {
      {Strip(300, 50, 3, true), -3, 0, 0},
      {Strip(7, 10, 3, true), 3, 4, 0}, // (3 − 1) × 7 / 3, truncated
  };
  for (const Case& c : cases)
  {
    g->DrawBitmap(c.bmp, IRECT(0, 0, 10, 10), c.frame);
    const auto call = g->Calls("DrawBitmap").back();
    EXPECT_EQ((std::vector<double>{call.a[4], call.a[5]}), (std::vector<double>{double(c.srcX), double(c.srcY)}))
        << "frame " << c.frame;
  }

  // A font strip of 96 glyphs, 10 wide per glyph (frame = code − 31), centred vertically, two lines when multi-line
  // and too wide. The single-line form is drawn end to end by the bitmap text control.
  const IBitmap font = Strip(960, 12, 96, true);
  g->drawn.clear();
  g->DrawBitmapedText(font, IRECT(0, 0, 20, 40), DEFAULT_TEXT, nullptr, "!!!", true, true, 10, 12, 2);
  EXPECT_EQ(Take(),
            (Strings{"DrawBitmap(-5,14,5,26,10,0)", "DrawBitmap(7,14,17,26,10,0)", "DrawBitmap(-5,26,5,38,10,0)"}));
  // Nothing to divide by: no cells, no width, no text.
  g->DrawBitmapedText(font, IRECT(0, 0, 0, 20), DEFAULT_TEXT, nullptr, "abc", true, true, 10, 12, 0);
  g->DrawBitmapedText(font, IRECT(0, 0, 50, 20), DEFAULT_TEXT, nullptr, "abc", true, true, 0, 12, 0);
  g->DrawBitmapedText(font, IRECT(0, 0, 50, 20), DEFAULT_TEXT, nullptr, nullptr);
  EXPECT_TRUE(Take().empty());
}

TEST_F(DrawingTest, TextRotationAndMeasuring)
{
  IText t = DEFAULT_TEXT;
  IRECT rect(0, 0, 20, 10);
  double tx = 123, ty = 456; // whatever the caller's variables held before
  g->CalculateTextRotation(t, IRECT(0, 0, 100, 100), rect, tx, ty);
  EXPECT_EQ((std::vector<double>{tx, ty}), (std::vector<double>{0, 0}));
  EXPECT_EQ(rect, IRECT(0, 0, 20, 10));

  IRECT bounds(0, 0, 100, 10);
  EXPECT_FLOAT_EQ(g->MeasureText(DEFAULT_TEXT, "", bounds), 0.f);
  EXPECT_EQ(bounds, IRECT()); // no text, no rectangle
}

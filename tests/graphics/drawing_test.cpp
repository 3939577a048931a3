#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
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

  // The path and paint calls since the last Take, as "Op(a,b,...)" with the raw arguments; transform changes
  // are left out. Strokes show thickness and dash count, fills nothing.
  Strings Take()
  {
    Strings out;
    for (const auto& c : g->drawn)
    {
      if (c.op == "SetMatrix") continue;
      size_t n = c.a.size();
      if (c.op == "PathMoveTo" || c.op == "PathLineTo") n = 2;
      if (c.op == "PathStroke") n = 2;
      if (c.op == "PathFill") n = 0;
      if (c.op == "DrawBitmap") n = 6;
      std::string s = c.op + "(";
      for (size_t i = 0; i < n; ++i)
      {
        char buf[32];
        std::snprintf(buf, sizeof(buf), "%s%g", i ? "," : "", c.a[i]);
        s += buf;
      }
      out.push_back(s + ")");
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

// Circles, pies, dotted lines and rotated or aligned text are drawn end to end against Cairo and FreeType in the
// renderer's tests; these are the shapes and edge cases those scenes do not reach.
TEST_F(DrawingTest, ShapesBuildTheirPathsThenStrokeOrFill)
{
  const IColor c = COLOR_BLUE;
  const float dataY[] = {0.f, 1.f, 0.5f}, dataX[] = {0.9f, 0.2f, 1.f};
  struct Case
  {
    const char* name;
    std::function<void(IGraphics&)> draw;
    Strings expected;
  };
  const Case cases[] = {
      {"round rect corners",
       [&](IGraphics& gr) { gr.FillRoundRect(c, IRECT(0, 0, 40, 20), 1, 2, 3, 4); },
       {"PathClear()", "PathMoveTo(0,1)", "PathArc(1,1,1,270,360,0)", "PathArc(38,2,2,0,90,0)",
        "PathArc(36,16,4,90,180,0)", "PathArc(3,17,3,180,270,0)", "PathClose()", "PathFill()"}},
      {"data starts at the left edge",
       [&](IGraphics& gr) { gr.DrawData(c, IRECT(0, 0, 100, 10), dataY, 3, dataX); },
       {"PathClear()", "PathMoveTo(0,10)", "PathLineTo(20,0)", "PathLineTo(100,5)", "PathStroke(1,0)"}},
      {"ellipse of zero radius adds nothing",
       [&](IGraphics& gr) { gr.DrawEllipse(c, 5, 5, 0, 3); },
       {"PathClear()", "PathStroke(1,0)"}},
      {"empty texts draw nothing", [&](IGraphics& gr) { gr.DrawText(DEFAULT_TEXT, "", IRECT(0, 0, 5, 5)); }, {}},
  };
  for (const Case& k : cases)
  {
    k.draw(*g);
    EXPECT_EQ(Take(), k.expected) << k.name;
  }
  // A radial line at 90 degrees points right.
  g->DrawRadialLine(c, 10, 10, 90, 2, 5);
  EXPECT_NEAR(g->Calls("PathLineTo").at(0).a[0], 15.0, 1e-5);
}

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
  EXPECT_EQ(bounds, IRECT(0, 0, 100, 10));
}

// The drawing conveniences built from the path slots, through the recording back end: the path each one builds,
// where its points land under the transform in force, how it finishes (stroke, fill, dash), and that every
// operation leaves the transform and its stack as it found them. Numbers are worked out by hand.

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
using Doubles = std::vector<double>;

// Rounded to 1e-4 so that sines and cosines of whole angles print as the numbers worked out by hand.
std::string Num(double v)
{
  v = std::round(v * 1e4) / 1e4;
  if (v == 0.0) v = 0.0; // no "-0"
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

struct ConveniencesTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);

  // The path and paint calls since the last Take. Moves and lines show where the point lands under the transform
  // in force; arcs their raw arguments; strokes thickness, dash count and first dash; fills fill rule and paint
  // type. Transform changes are left out.
  Strings Take()
  {
    Strings out;
    for (const auto& c : g->drawn)
    {
      if (c.op == "SetMatrix") continue;
      Doubles a = c.a;
      if (c.op == "PathMoveTo" || c.op == "PathLineTo") a = {c.a[2], c.a[3]};
      if (c.op == "PathStroke") a.resize(3);
      std::string s = c.op + "(";
      for (size_t i = 0; i < a.size(); ++i)
        s.append(i ? "," : "").append(Num(a[i]));
      if (c.op == "DoDrawText") s += "," + c.text;
      out.push_back(s + ")");
    }
    g->drawn.clear();
    return out;
  }
  // Every operation restores what it saved: depth 0, identity, and the back end holds the identity too.
  void ExpectTransformRestored(const std::string& what) const
  {
    EXPECT_EQ(g->GetTransformStackDepth(), 0) << what;
    EXPECT_EQ(g->GetTransform(), IMatrix()) << what;
    EXPECT_EQ(g->matrix, IMatrix()) << what;
  }
};

const Strings kRect1_2_11_22 = {"PathMoveTo(1,2)", "PathLineTo(11,2)", "PathLineTo(11,22)", "PathLineTo(1,22)",
                                "PathClose()"};

Strings Cat(std::initializer_list<Strings> parts)
{
  Strings out;
  for (const Strings& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

} // namespace

TEST_F(ConveniencesTest, ShapesBuildTheirPathThenStrokeOrFill)
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
      {"point: a one-unit square, filled",
       [&](IGraphics& gr) { gr.DrawPoint(c, 3, 4); },
       {"PathClear()", "PathMoveTo(3,4)", "PathLineTo(4,4)", "PathLineTo(4,5)", "PathLineTo(3,5)", "PathClose()",
        "PathFill(0,0)"}},
      {"dotted line: one dash of the given length",
       [&](IGraphics& gr) { gr.DrawDottedLine(c, 0, 0, 10, 0, nullptr, 2.f, 3.f); },
       {"PathClear()", "PathMoveTo(0,0)", "PathLineTo(10,0)", "PathStroke(2,1,3)"}},
      {"triangle",
       [&](IGraphics& gr) { gr.DrawTriangle(c, 0, 0, 10, 0, 5, 8, nullptr, 1.5f); },
       {"PathClear()", "PathMoveTo(0,0)", "PathLineTo(10,0)", "PathLineTo(5,8)", "PathClose()",
        "PathStroke(1.5,0,0)"}},
      {"dotted rectangle", [&](IGraphics& gr) { gr.DrawDottedRect(c, IRECT(1, 2, 11, 22), nullptr, 1.f, 4.f); },
       Cat({{"PathClear()"}, kRect1_2_11_22, {"PathStroke(1,1,4)"}})},
      {"round rectangle without radius is a plain rectangle",
       [&](IGraphics& gr) { gr.DrawRoundRect(c, IRECT(1, 2, 11, 22), 0.f); },
       Cat({{"PathClear()"}, kRect1_2_11_22, {"PathStroke(1,0,0)"}})},
      {"round rectangle corners: the arcs' joins are the edges",
       [&](IGraphics& gr) { gr.FillRoundRect(c, IRECT(0, 0, 40, 20), 1, 2, 3, 4); },
       {"PathClear()", "PathMoveTo(0,1)", "PathArc(1,1,1,270,360,0)", "PathArc(38,2,2,0,90,0)",
        "PathArc(36,16,4,90,180,0)", "PathArc(3,17,3,180,270,0)", "PathClose()", "PathFill(0,0)"}},
      {"grid: inner lines only, none along a size of 1 or less",
       [&](IGraphics& gr) { gr.DrawGrid(c, IRECT(0, 0, 100, 100), 25, 1); },
       {"PathClear()", "PathMoveTo(25,0)", "PathLineTo(25,100)", "PathMoveTo(50,0)", "PathLineTo(50,100)",
        "PathMoveTo(75,0)", "PathLineTo(75,100)", "PathStroke(1,0,0)"}},
      {"data with x positions still starts at the left edge",
       [&](IGraphics& gr) { gr.DrawData(c, IRECT(0, 0, 100, 10), dataY, 3, dataX); },
       {"PathClear()", "PathMoveTo(0,10)", "PathLineTo(20,0)", "PathLineTo(100,5)", "PathStroke(1,0,0)"}},
      {"data without x positions: evenly spread",
       [&](IGraphics& gr) { gr.DrawData(c, IRECT(10, 0, 110, 10), dataY, 3, nullptr, nullptr, 2.f); },
       {"PathClear()", "PathMoveTo(10,10)", "PathLineTo(60,0)", "PathLineTo(110,5)", "PathStroke(2,0,0)"}},
      {"data without points draws nothing",
       [&](IGraphics& gr)
       {
         gr.DrawData(c, IRECT(0, 0, 100, 10), dataY, 0);
         gr.DrawData(c, IRECT(0, 0, 100, 10), nullptr, 3);
       },
       {}},
      {"ellipse in bounds: a unit circle scaled to the half sizes",
       [&](IGraphics& gr) { gr.DrawEllipse(c, IRECT(10, 20, 30, 60)); },
       {"PathClear()", "PathMoveTo(20,20)", "PathArc(0,0,1,0,360,0)", "PathClose()", "PathStroke(1,0,0)"}},
      {"ellipse turned 90 degrees: its top (0, -1) lands right of the centre",
       [&](IGraphics& gr) { gr.DrawEllipse(c, 10, 20, 5, 3, 90, nullptr, 2.f); },
       {"PathClear()", "PathMoveTo(13,20)", "PathArc(0,0,1,0,360,0)", "PathClose()", "PathStroke(2,0,0)"}},
      {"filled ellipse turned 90 degrees",
       [&](IGraphics& gr) { gr.FillEllipse(c, 10, 20, 5, 3, 90); },
       {"PathClear()", "PathMoveTo(13,20)", "PathArc(0,0,1,0,360,0)", "PathClose()", "PathFill(0,0)"}},
      {"filled ellipse in bounds",
       [&](IGraphics& gr) { gr.FillEllipse(c, IRECT(0, 0, 8, 4)); },
       {"PathClear()", "PathMoveTo(4,0)", "PathArc(0,0,1,0,360,0)", "PathClose()", "PathFill(0,0)"}},
      {"ellipse without radius adds nothing",
       [&](IGraphics& gr) { gr.DrawEllipse(c, 5, 5, 0, 3, 0); },
       {"PathClear()", "PathStroke(1,0,0)"}},
  };
  for (const Case& k : cases)
  {
    k.draw(*g);
    EXPECT_EQ(Take(), k.expected) << k.name;
    ExpectTransformRestored(k.name);
  }
  // The dash of the dotted forms starts at 0; the default stroke has no dash and a miter limit of 10.
  g->strokeOptions.clear();
  g->DrawDottedLine(c, 0, 0, 1, 1, nullptr, 1.f, 5.f);
  g->DrawLine(c, 0, 0, 1, 1);
  ASSERT_EQ(g->strokeOptions.size(), 2u);
  EXPECT_EQ((Doubles{g->strokeOptions[0].mDash.mOffset, double(g->strokeOptions[1].mDash.mCount),
                     g->strokeOptions[1].mMiterLimit}),
            (Doubles{0, 0, 10}));
}

TEST_F(ConveniencesTest, LinesAtFractionsAndAngles)
{
  const IColor c = COLOR_BLACK;
  struct Case
  {
    const char* name;
    std::function<void(IGraphics&)> draw;
    Strings line; // the move and the line
  };
  const Case cases[] = {
      {"vertical at 0.55 of 11: truncated to 6",
       [&](IGraphics& gr) { gr.DrawVerticalLine(c, IRECT(0, 0, 11, 10), 0.55f); },
       {"PathMoveTo(6,0)", "PathLineTo(6,10)"}},
      {"vertical beyond 1 is clamped to the right edge",
       [&](IGraphics& gr) { gr.DrawVerticalLine(c, IRECT(5, 0, 16, 10), 1.5f); },
       {"PathMoveTo(16,0)", "PathLineTo(16,10)"}},
      {"vertical below 0 is clamped to the left edge",
       [&](IGraphics& gr) { gr.DrawVerticalLine(c, IRECT(5, 0, 16, 10), -2.f); },
       {"PathMoveTo(5,0)", "PathLineTo(5,10)"}},
      {"vertical at an absolute x", [&](IGraphics& gr) { gr.DrawVerticalLine(c, 7.f, 1.f, 9.f); },
       {"PathMoveTo(7,1)", "PathLineTo(7,9)"}},
      {"horizontal at 0.5 of 11 from the bottom: not truncated",
       [&](IGraphics& gr) { gr.DrawHorizontalLine(c, IRECT(0, 0, 10, 11), 0.5f); },
       {"PathMoveTo(0,5.5)", "PathLineTo(10,5.5)"}},
      {"horizontal beyond 1 is clamped to the top",
       [&](IGraphics& gr) { gr.DrawHorizontalLine(c, IRECT(0, 4, 10, 11), 3.f); },
       {"PathMoveTo(0,4)", "PathLineTo(10,4)"}},
      {"horizontal at an absolute y", [&](IGraphics& gr) { gr.DrawHorizontalLine(c, 3.f, 1.f, 9.f); },
       {"PathMoveTo(1,3)", "PathLineTo(9,3)"}},
      {"radial at 0 points up", [&](IGraphics& gr) { gr.DrawRadialLine(c, 10, 10, 0, 2, 5); },
       {"PathMoveTo(10,8)", "PathLineTo(10,5)"}},
      {"radial at 90 points right", [&](IGraphics& gr) { gr.DrawRadialLine(c, 10, 10, 90, 2, 5); },
       {"PathMoveTo(12,10)", "PathLineTo(15,10)"}},
      {"radial at 180 points down", [&](IGraphics& gr) { gr.DrawRadialLine(c, 10, 10, 180, 0, 4); },
       {"PathMoveTo(10,10)", "PathLineTo(10,14)"}},
  };
  for (const Case& k : cases)
  {
    k.draw(*g);
    EXPECT_EQ(Take(), Cat({{"PathClear()"}, k.line, {"PathStroke(1,0,0)"}})) << k.name;
  }

  // The path form adds the same two points to the path in progress and finishes nothing.
  g->PathRadialLine(10, 10, 270, 1, 4);
  g->PathRadialLine(0, 0, 45, 0, std::sqrt(2.f));
  EXPECT_EQ(Take(), (Strings{"PathMoveTo(9,10)", "PathLineTo(6,10)", "PathMoveTo(0,0)", "PathLineTo(1,-1)"}));
}

TEST_F(ConveniencesTest, SkewAndMatrixPostMultiplyTheTransform)
{
  // Skew 45 degrees along x: y moves x by tan 45 = 1. After a translation the skew acts first.
  g->PathTransformTranslate(5, 0);
  g->PathTransformSkew(45, 0);
  g->PathMoveTo(0, 10);
  // Skew along y: x moves y.
  g->PathTransformReset(true);
  g->PathTransformSkew(0, 45);
  g->PathMoveTo(10, 0);
  // A whole matrix: scale 2 × 3 and shift (1, 1), applied before the translation in force.
  g->PathTransformReset(true);
  g->PathTransformTranslate(10, 20);
  g->PathTransformMatrix(IMatrix(2, 0, 0, 3, 1, 1));
  g->PathMoveTo(1, 1);
  EXPECT_EQ(Take(), (Strings{"PathMoveTo(15,10)", "PathMoveTo(10,10)", "PathMoveTo(13,24)"}));
  // Every change reached the back end: its matrix is the context's.
  EXPECT_EQ(g->matrix, g->GetTransform());
  EXPECT_EQ(g->GetTransform(), IMatrix(2, 0, 0, 3, 11, 21));

  // Skew on the matrix itself, both ways at once: (1, 1) → (1 + tan 45 · 1, tan 45 · 1 + 1).
  double x = 1, y = 1;
  IMatrix().Skew(45, 45).TransformPoint(x, y);
  EXPECT_NEAR(x, 2, 1e-6);
  EXPECT_NEAR(y, 2, 1e-6);
}

TEST_F(ConveniencesTest, FittedAndRotatedBitmaps)
{
  // 40 × 20 pixels at scale 2: 20 × 10 points.
  APIBitmap api(1, 40, 20, 2.f, 1.f);
  const IBitmap bmp(&api, 1, false);
  auto drawAndMatrix = [&]
  {
    const auto d = g->Calls("DrawBitmap").at(0).a;
    Doubles out(d.begin(), d.begin() + 6);
    // The transform in force when the bitmap was drawn: the last one handed over before it.
    IMatrix m;
    for (const auto& c : g->drawn)
    {
      if (c.op == "DrawBitmap") break;
      if (c.op == "SetMatrix") m = IMatrix(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5]);
    }
    for (double v : {m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY})
      out.push_back(std::round(v * 1e4) / 1e4 + 0.0);
    g->drawn.clear();
    return out;
  };

  // Fitted: drawn at its own size under a translation and a stretch (aspect not kept).
  g->DrawFittedBitmap(bmp, IRECT(10, 10, 50, 30));
  EXPECT_EQ(drawAndMatrix(), (Doubles{0, 0, 20, 10, 0, 0, 2, 0, 0, 2, 10, 10}));
  g->DrawFittedBitmap(bmp, IRECT(0, 0, 10, 40));
  EXPECT_EQ(drawAndMatrix(), (Doubles{0, 0, 20, 10, 0, 0, 0.5, 0, 0, 4, 0, 0}));
  ExpectTransformRestored("fitted");

  // Rotated about the centre: its own size divided by its draw scale, centred on the origin of the rotation.
  g->DrawRotatedBitmap(bmp, 100, 50, 90.0);
  EXPECT_EQ(drawAndMatrix(), (Doubles{-10, -5, 10, 5, 0, 0, 0, 1, -1, 0, 100, 50}));
  APIBitmap layerMade(2, 40, 20, 2.f, 2.f); // made by a layer at draw scale 2
  g->DrawRotatedBitmap(IBitmap(&layerMade, 1, false), 0, 0, 0.0);
  EXPECT_EQ(drawAndMatrix(), (Doubles{-5, -2.5, 5, 2.5, 0, 0, 1, 0, 0, 1, 0, 0}));
  ExpectTransformRestored("rotated");

  // A bitmap without size cannot be stretched to anything.
  g->DrawFittedBitmap(IBitmap(), IRECT(0, 0, 10, 10));
  EXPECT_TRUE(g->drawn.empty());
}

TEST_F(ConveniencesTest, TextAtAPointAndNothingForNoText)
{
  IText t = DEFAULT_TEXT;
  t.mSize = 12.f;
  g->DrawText(t, "hi", 1.f, 2.f);
  g->DrawText(t, nullptr, 1.f, 2.f);
  g->DrawText(t, "", 1.f, 2.f);
  g->DrawText(t, "", IRECT(0, 0, 5, 5));
  EXPECT_EQ(Take(), Strings{"DoDrawText(1,2,1,2,12,hi)"});
  IRECT r(0, 0, 50, 10);
  EXPECT_FLOAT_EQ(g->MeasureText(t, nullptr, r), 0.f);
  EXPECT_EQ(r, IRECT()); // no text measures as nothing, wherever it was to be placed
  EXPECT_FLOAT_EQ(g->MeasureText(t, "abc", r), 21.f); // the recording back end's 7 per character
  r = IRECT(5, 5, 60, 30);
  EXPECT_FLOAT_EQ(g->MeasureText(t, "", r), 0.f);
  EXPECT_EQ(r, IRECT());
}

TEST_F(ConveniencesTest, FilmStripFrameSelection)
{
  auto strip = [](int w, int h, int n, bool horizontal)
  {
    IBitmap b;
    b.W = w, b.H = h, b.N = n, b.mFramesAreHorizontal = horizontal;
    return b;
  };
  struct Case
  {
    IBitmap bmp;
    int frame;
    Doubles src;
  };
  const Case cases[] = {
      {strip(300, 50, 3, true), 0, {0, 0}},      // frame 0 draws frame 1
      {strip(300, 50, 3, true), 2, {100, 0}},    // side by side
      {strip(300, 50, 3, true), 9, {200, 0}},    // beyond N draws frame N
      {strip(60, 500, 10, false), 3, {0, 100}},  // stacked
      {strip(60, 500, 1, false), 5, {0, 0}},     // one frame: always from the origin
  };
  for (const Case& c : cases)
  {
    g->DrawBitmap(c.bmp, IRECT(0, 0, 10, 10), c.frame);
    const auto a = g->Calls("DrawBitmap").back().a;
    EXPECT_EQ((Doubles{a[4], a[5]}), c.src) << "frame " << c.frame << " of " << c.bmp.N;
  }

  // A bitmap font, far-aligned: the first cell starts at R − 2 × 10; a code above 127 shows the blank (frame 1).
  IText far = DEFAULT_TEXT;
  far.mAlign = kAlignFar;
  g->drawn.clear();
  g->DrawBitmapedText(strip(960, 12, 96, true), IRECT(0, 0, 100, 20), far, nullptr, "A\xC8", false, false, 10, 12, 0);
  const auto calls = g->Calls("DrawBitmap");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(Doubles(calls[0].a.begin(), calls[0].a.begin() + 6), (Doubles{80, 0, 90, 12, 330, 0})); // 'A' = frame 34
  EXPECT_EQ(Doubles(calls[1].a.begin(), calls[1].a.begin() + 6), (Doubles{90, 0, 100, 12, 0, 0}));
}

// ---- Positions that are not numbers, or far outside any surface ----

namespace
{

// The x of every vertical segment (move to a point, line to the same x) among the recorded calls.
Doubles VerticalLineXs(const std::vector<ScriptedGraphics::DrawCall>& drawn)
{
  Doubles xs;
  for (size_t i = 0; i + 1 < drawn.size(); ++i)
    if (drawn[i].op == "PathMoveTo" && drawn[i + 1].op == "PathLineTo" && drawn[i].a[0] == drawn[i + 1].a[0] &&
        drawn[i].a[1] != drawn[i + 1].a[1])
      xs.push_back(drawn[i].a[0]);
  return xs;
}

} // namespace

TEST_F(ConveniencesTest, LinesAtFractionsDrawNothingForNonFinitePositionsAndStayInsideHugeBounds)
{
  const IColor c = COLOR_BLACK;
  const float nan = std::nanf(""), inf = INFINITY;
  // A position that is not a number, or is infinite, has no place in the bounds: nothing at all is drawn.
  for (float f : {nan, inf, -inf})
  {
    g->DrawVerticalLine(c, IRECT(0, 0, 11, 10), f);
    g->DrawHorizontalLine(c, IRECT(0, 0, 10, 11), f);
    EXPECT_EQ(Take(), Strings{}) << f;
  }
  // Bounds so wide that the offset would not fit an int: the line still lands inside them.
  struct Case
  {
    IRECT bounds;
    float x;
  };
  for (const Case& k : {Case{IRECT(0, 0, 1e10f, 10), 0.5f}, Case{IRECT(-3e9f, 0, 3e9f, 10), 1.f},
                        Case{IRECT(3e9f, 0, -3e9f, 10), 1.f}})
  {
    g->DrawVerticalLine(c, k.bounds, k.x);
    const auto moves = g->Calls("PathMoveTo");
    ASSERT_EQ(moves.size(), 1u) << k.bounds.L;
    const double x = moves[0].a[0];
    EXPECT_GE(x, std::min(k.bounds.L, k.bounds.R)) << k.bounds.L;
    EXPECT_LE(x, std::max(k.bounds.L, k.bounds.R)) << k.bounds.L;
    g->drawn.clear();
  }
  // A width that is itself not finite gives no position either.
  g->DrawVerticalLine(c, IRECT(0, 0, inf, 10), 0.5f);
  g->DrawVerticalLine(c, IRECT(-inf, 0, 0, 10), 0.f);
  g->DrawHorizontalLine(c, IRECT(0, -inf, 10, inf), 0.5f);
  EXPECT_EQ(Take(), Strings{});
}

TEST_F(ConveniencesTest, GridLinesAreCountedAndBoundedWhereTheStepIsBelowTheFloatSpacing)
{
  const IColor c = COLOR_BLUE;
  // At 1e8 floats are 8 apart: a step of 2 added to a float coordinate would never move it. Over a span of 96
  // there are at most 47 inner lines; they round to the float grid, but none lands on or beyond an edge.
  const IRECT far(1e8f, 0, 1e8f + 96.f, 10);
  g->DrawGrid(c, far, 2.f, 0.f);
  const Doubles xs = VerticalLineXs(g->drawn);
  EXPECT_GT(xs.size(), 0u);
  EXPECT_LE(xs.size(), 47u);
  for (double x : xs)
    EXPECT_TRUE(x > far.L && x < far.R) << x;
  g->drawn.clear();

  // Both directions far out at once; and bounds a thousand billion wide: the count is capped.
  g->DrawGrid(c, IRECT(1e8f, 1e8f, 1e8f + 96.f, 1e8f + 96.f), 2.f, 2.f);
  EXPECT_GT(g->Calls("PathMoveTo").size(), 0u);
  EXPECT_LE(g->Calls("PathMoveTo").size(), 94u);
  g->drawn.clear();
  g->DrawGrid(c, IRECT(0, 0, 1e12f, 1e12f), 1.5f, 1.5f);
  const size_t many = g->Calls("PathMoveTo").size();
  EXPECT_GT(many, 1000u);
  EXPECT_LE(many, 2u * 8192u);
  g->drawn.clear();

  // Steps that are not numbers, infinite, zero or negative, and bounds with an infinite edge, draw no line.
  const float nan = std::nanf(""), inf = INFINITY;
  for (float step : {nan, inf, -inf, 0.f, -3.f, 1.f})
  {
    g->DrawGrid(c, IRECT(0, 0, 100, 100), step, step);
    EXPECT_TRUE(g->Calls("PathMoveTo").empty()) << step;
    g->drawn.clear();
  }
  g->DrawGrid(c, IRECT(-inf, -inf, 100, 100), 10.f, 10.f);
  g->DrawGrid(c, IRECT(0, 0, inf, inf), 10.f, 10.f);
  g->DrawGrid(c, IRECT(nan, nan, 100, 100), 10.f, 10.f);
  EXPECT_TRUE(g->Calls("PathMoveTo").empty());
  g->drawn.clear();

  // Ordinary steps that do not divide the span: lines up to but not on the far edge.
  g->DrawGrid(c, IRECT(10, 0, 40, 10), 7.f, 0.f);
  EXPECT_EQ(VerticalLineXs(g->drawn), (Doubles{17, 24, 31, 38}));
  g->drawn.clear();
  g->DrawGrid(c, IRECT(0, 0, 10, 10), 2.5f, 0.f);
  EXPECT_EQ(VerticalLineXs(g->drawn), (Doubles{2.5, 5, 7.5}));
}

TEST_F(ConveniencesTest, BitmapTextCountsStayBoundedForHugeAndTinyWidths)
{
  IBitmap font;
  font.W = 960, font.H = 12, font.N = 96, font.mFramesAreHorizontal = true;
  IText near = DEFAULT_TEXT;
  near.mAlign = kAlignNear;
  // A width far beyond an int's range still holds both characters on one line.
  g->DrawBitmapedText(font, IRECT(0, 0, 1e30f, 20), near, nullptr, "AB", false, false, 10, 12, 0);
  g->DrawBitmapedText(font, IRECT(0, 0, INFINITY, 20), near, nullptr, "AB", false, true, 10, 12, 0);
  auto calls = g->Calls("DrawBitmap");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ((Doubles{calls[1].a[0], calls[1].a[1], calls[3].a[0]}), (Doubles{10, 0, 10}));
  g->drawn.clear();
  // A width too small for one cell holds nothing, however many lines the text would need.
  g->DrawBitmapedText(font, IRECT(0, 0, 1e-30f, 20), near, nullptr, "AB", false, true, 10, 12, 0);
  g->DrawBitmapedText(font, IRECT(0, 0, 1e-30f, 20), near, nullptr, "AB", false, false, 10, 12, 0);
  EXPECT_TRUE(g->drawn.empty());
  // Ordinary multiline text wraps as before: two cells of 10 per line in a width of 25.
  g->DrawBitmapedText(font, IRECT(0, 0, 25, 40), near, nullptr, "ABC", false, true, 10, 12, 0);
  calls = g->Calls("DrawBitmap");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ((Doubles{calls[2].a[0], calls[2].a[1]}), (Doubles{0, 12}));
}

// SVG documents drawn through the path slots of the recording back end: placement at the bounds' top-left corner
// at the document's aspect ratio, and holes: a path enclosed by an odd number of its shape's other paths.

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Doubles = std::vector<double>;

namespace
{

ISVG Doc(const std::string& body, int w = 100, int h = 100)
{
  const std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) + "\" height=\"" +
                           std::to_string(h) + "\">" + body + "</svg>";
  return ParseSVG(text.data(), text.size());
}

struct SvgShapeDrawingTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 200);

  // The winding flag each path of the drawn shapes got, in order.
  std::vector<bool> Holes()
  {
    std::vector<bool> out;
    for (const auto& c : g->Calls("PathSetWinding"))
      out.push_back(c.a[0] != 0);
    g->drawn.clear();
    return out;
  }
};

} // namespace

TEST_F(SvgShapeDrawingTest, DocumentKeepsItsAspectAtTheTopLeftOfTheBounds)
{
  // 100 × 50 into 200 × 200: scale 2, occupying (0, 0, 200, 100).
  g->DrawSVG(Doc(R"svg(<rect width="100" height="50"/>)svg", 100, 50), IRECT(0, 0, 200, 200));
  const auto moves = g->Calls("PathMoveTo");
  const auto curves = g->Calls("PathCubicBezierTo");
  ASSERT_EQ(moves.size(), 1u);
  ASSERT_EQ(curves.size(), 4u);
  EXPECT_EQ(g->Calls("SetMatrix").at(1).a, (Doubles{2, 0, 0, 2, 0, 0}));
  EXPECT_EQ((Doubles{moves[0].a[2], moves[0].a[3]}), (Doubles{0, 0}));
  EXPECT_EQ((Doubles{curves[1].a[4], curves[1].a[5]}), (Doubles{100, 50})) << "the far corner, 200 × 100 drawn";
  // Filled keeping each path's winding; the transform is restored.
  EXPECT_EQ(g->Calls("PathFill").at(0).a[0], double(kFillPreserveWinding));
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
  EXPECT_EQ(g->matrix, IMatrix());

  // 50 × 100 into (10, 20, 110, 420): the smaller fit wins (2 across against 4 down), at the corner.
  g->drawn.clear();
  g->DrawSVG(Doc(R"svg(<rect width="50" height="100"/>)svg", 50, 100), IRECT(10, 20, 110, 420));
  EXPECT_EQ(g->Calls("SetMatrix").at(1).a, (Doubles{2, 0, 0, 2, 10, 20}));
}

TEST_F(SvgShapeDrawingTest, PathsEnclosedAnOddNumberOfTimesAreHoles)
{
  struct Case
  {
    const char* name;
    const char* d;
    std::vector<bool> holes;
  };
  const Case cases[] = {
      {"a square inside a square", "M0 0 H100 V100 H0 Z M30 20 H70 V70 H30 Z", {false, true}},
      {"squares side by side", "M0 0 H10 V10 H0 Z M50 50 H60 V60 H50 Z", {false, false}},
      {"three nested: the innermost is enclosed twice", "M0 0 H100 V100 H0 Z M20 10 H80 V90 H20 Z M45 30 H60 V60 H45 Z",
       {false, true, false}},
      {"an open path inside counts as enclosed too", "M0 0 H100 V100 H0 Z M40 50 L60 50", {false, true}},
      {"one path alone", "M0 0 H10 V10 Z", {false}},
  };
  for (const Case& c : cases)
  {
    g->DrawSVG(Doc(std::string("<path d=\"") + c.d + "\"/>"), IRECT(0, 0, 100, 100));
    EXPECT_EQ(Holes(), c.holes) << c.name;
  }
}

TEST(SvgPattern, APaintOfNoKnownTypeIsBlackAtTheShapesOpacity)
{
  SVGPaint unknown;
  unknown.type = static_cast<ESVGPaintType>(7);
  unknown.color = SVGMakeColor(255, 255, 255, 255);
  const IPattern p = IGraphics::GetSVGPattern(unknown, 0.5f);
  EXPECT_EQ(p.mType, kSolidPattern);
  EXPECT_EQ(p.GetStop(0).mColor, IColor(128, 0, 0, 0)); // roundf(0.5 × 255)
}

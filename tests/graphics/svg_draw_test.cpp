// SVG documents drawn through the path operations of the recording back end: placement and the paint and stroke
// settings handed on. Filled geometry (holes by winding, transforms) is compared with Cairo in the renderer's tests.

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Doubles = std::vector<double>;

namespace
{

constexpr int kW = 200;

ISVG Doc(const std::string& body, int w = 100, int h = 100)
{
  const std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) + "\" height=\"" +
                           std::to_string(h) + "\">" + body + "</svg>";
  return ParseSVG(text.data(), text.size());
}

struct SvgDrawTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, kW, kW);
};

} // namespace

TEST_F(SvgDrawTest, RotationAndNothingWithoutArea)
{
  // Rotated 90° in a 20 × 20 box about (50, 50): the document's top-left corner lands at (60, 40).
  const ISVG square = Doc(R"svg(<rect width="10" height="10"/>)svg", 10, 10);
  g->DrawRotatedSVG(square, 50, 50, 20, 20, 90);
  EXPECT_NEAR(g->Calls("PathMoveTo").at(0).a[2], 60, 1e-4);
  EXPECT_NEAR(g->Calls("PathMoveTo").at(0).a[3], 40, 1e-4);

  auto flat = std::make_shared<SVGDocument>(*square.Document());
  flat->width = 0;
  g->drawn.clear();
  for (const IRECT& r : {IRECT(0, 0, 0, 50), IRECT(0, 0, NAN, 50), IRECT(0, 0, -20, -20)})
    g->DrawSVG(square, r);
  g->DrawSVG(ISVG(flat), IRECT(0, 0, 50, 50));
  g->DrawRotatedSVG(square, 10, 10, 0, 0, 45);
  EXPECT_TRUE(g->Calls("PathMoveTo").empty());
  for (const auto& c : g->Calls("SetMatrix"))
    EXPECT_TRUE(std::isfinite(c.a[0])) << "no transform from a zero size";
  EXPECT_EQ(g->GetTransformStackDepth(), 0);
}

TEST_F(SvgDrawTest, PaintsCarryOpacitiesSpreadsStopsAndStrokeSettings)
{
  std::string many;
  for (int i = 0; i < 20; ++i)
    many += "<stop offset=\"" + std::to_string(i / 19.0) + "\"/>";
  g->DrawSVG(Doc(R"svg(<defs><linearGradient id="g" spreadMethod="reflect">
      <stop offset="0" stop-color="#204060" stop-opacity="0.5"/><stop offset="1" stop-color="#fff"/></linearGradient>
      <radialGradient id="r" spreadMethod="repeat" gradientUnits="userSpaceOnUse" cx="50" cy="40" r="20">)svg" +
                     many + R"svg(</radialGradient></defs>
    <rect width="10" height="10" fill="#ff8000" opacity="0.5" fill-opacity="0.5" stroke="#0080ff"
          stroke-opacity="0.25" stroke-width="3" stroke-miterlimit="7" stroke-linecap="round"
          stroke-linejoin="bevel" stroke-dasharray="4 2 1" stroke-dashoffset="1.5"/>
    <rect width="10" height="10" fill="url(#g)" opacity="0.5"/>
    <rect width="10" height="10" fill="url(#r)"/>
    <rect width="10" height="10" fill="#fff" visibility="hidden"/>)svg"),
             IRECT(0, 0, 100, 100));
  ASSERT_EQ(g->patterns.size(), 4u);
  auto argb = [](const IColor& c) { return Doubles{std::round(c.A / 4.0), double(c.R), double(c.G), double(c.B)}; };
  EXPECT_EQ(argb(g->patterns[0].GetStop(0).mColor), (Doubles{16, 255, 128, 0})); // ½ × ½ of 255, in fours
  EXPECT_EQ(argb(g->patterns[1].GetStop(0).mColor), (Doubles{8, 0, 128, 255}));  // ½ × ¼
  const IPattern& lin = g->patterns[2];
  EXPECT_EQ((Doubles{double(lin.mType), double(lin.mExtend)}), (Doubles{kLinearPattern, kExtendReflect}));
  EXPECT_EQ(argb(lin.GetStop(0).mColor), (Doubles{16, 0x20, 0x40, 0x60})); // ½ × stop ½
  EXPECT_EQ(argb(lin.GetStop(1).mColor), (Doubles{32, 255, 255, 255}));
  const IPattern& rad = g->patterns[3];
  EXPECT_EQ((Doubles{double(rad.mType), double(rad.mExtend), double(rad.NStops())}),
            (Doubles{kRadialPattern, kExtendRepeat, 16}));

  const IStrokeOptions& s = g->strokeOptions.at(0);
  EXPECT_EQ((Doubles{s.mMiterLimit, double(s.mCapOption), double(s.mJoinOption), s.mDash.mOffset}),
            (Doubles{7, kCapRound, kJoinBevel, 1.5}));
  EXPECT_EQ(Doubles(s.mDash.mArray, s.mDash.mArray + s.mDash.mCount), (Doubles{4, 2, 1, 4, 2, 1}));
}

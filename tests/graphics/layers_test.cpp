// Layers: the stack and its clips, the staleness check, drawing a kept layer, and the drop shadow's blur.

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Doubles = std::vector<double>;

namespace
{

struct LayersTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);
};

std::vector<int> Kernel(float scale, float drawScale, float blur)
{
  Util_TypedBuf<uint8_t> k;
  const int n = MakeShadowKernel(scale, drawScale, blur, k);
  return std::vector<int>(k.Get(), k.Get() + n);
}

// The blur written plainly: a full convolution per pass, zero outside the image, integer division by the whole
// kernel's weight, horizontal first.
std::vector<int> ReferenceBlur(std::vector<int> a, int w, int h, const std::vector<int>& k)
{
  const int size = int(k.size());
  int norm = k[0];
  for (int i = 1; i < size; ++i)
    norm += 2 * k[i];
  for (int pass = 0; pass < 2; ++pass)
  {
    std::vector<int> out(a.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
      {
        long sum = 0;
        for (int m = 1 - size; m < size; ++m)
        {
          const int sx = pass ? x : x + m, sy = pass ? y + m : y;
          sum += (sx < 0 || sy < 0 || sx >= w || sy >= h) ? 0 : long(k[size_t(std::abs(m))]) * a[size_t(sy) * w + sx];
        }
        out[size_t(y) * w + x] = int(std::min(255L, sum / norm));
      }
    a = out;
  }
  return a;
}

} // namespace

TEST(ShadowKernel, GaussianWeightsForBlurSizeAndScales)
{
  EXPECT_EQ(Kernel(2.f, 1.f, 3.f), (std::vector<int>{255, 233, 177, 112, 59, 26, 9}));
  EXPECT_EQ(Kernel(1.f, 1.f, 1.5f), (std::vector<int>{255, 124, 14})); // x = 2.5 spreads, not the count of 3
  for (float none : {0.f, -4.f, NAN})
    EXPECT_EQ(Kernel(1.f, 1.f, none), (std::vector<int>{255}));
}

TEST_F(LayersTest, BlurredOpaqueSquareMatchesThePlainBlurWhicheverWayRowsRun)
{
  struct Case
  {
    int w, h, side;
    float blur;
  };
  for (const Case c : {Case{33, 21, 7, 2.f}, Case{5, 5, 1, 6.f}, Case{24, 24, 24, 2.f}})
  {
    const int x0 = (c.w - c.side) / 2, y0 = (c.h - c.side) / 2;
    std::vector<int> alpha(size_t(c.w) * c.h, 0);
    g->layerPixels.assign(alpha.size() * 4, 7); // colour bytes the blur must not touch
    for (int y = y0; y < y0 + c.side; ++y)
      for (int x = x0; x < x0 + c.side; ++x)
        alpha[size_t(y) * c.w + x] = 255;
    for (size_t i = 0; i < alpha.size(); ++i)
      g->layerPixels[i * 4 + 3] = uint8_t(alpha[i]);
    g->StartLayer(nullptr, IRECT(0, 0, float(c.w), float(c.h)));
    ILayerPtr layer = g->EndLayer();
    const auto want = ReferenceBlur(alpha, c.w, c.h, Kernel(1.f, 1.f, c.blur));
    for (bool flipped : {false, true})
    {
      // The blur commutes with turning the image over: rows stored bottom first blur to the same bytes.
      g->flippedRows = flipped;
      g->ApplyLayerDropShadow(layer, IDropShadow(IPattern(COLOR_BLACK), c.blur, 2.f, 3.f, 0.5f, true));
      const auto& mask = g->shadowMask;
      ASSERT_EQ(mask.size(), alpha.size() * 4);
      for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
        {
          const size_t i = size_t(y) * c.w + x;
          ASSERT_EQ(mask[i * 4 + 3], want[i]) << c.w << "x" << c.h << " at " << x << "," << y;
          ASSERT_EQ(mask[i * 4], 7);
        }
    }
  }
  EXPECT_EQ(g->Calls("ApplyShadowMask").front().a, (Doubles{2, 2, 3, 0.5}));
}

TEST_F(LayersTest, PixelsThatDoNotFitTheBitmapGetNoShadow)
{
  g->StartLayer(nullptr, IRECT(0, 0, 4, 4));
  ILayerPtr layer = g->EndLayer();
  for (size_t bytes : {0, 60, 63, 48})
  {
    g->layerPixels.assign(bytes, 0xff);
    g->ApplyLayerDropShadow(layer, IDropShadow());
  }
  EXPECT_TRUE(g->Calls("ApplyShadowMask").empty());
}

TEST_F(LayersTest, CheckFailsAfterAMoveARescaleOrAnInvalidation)
{
  auto* control = g->AttachControl(new RecordingControl(IRECT(10, 10, 30, 30)));
  auto make = [&](IRECT r) {
    g->StartLayer(control, r);
    return g->EndLayer();
  };
  ILayerPtr layer = make(control->GetRECT());
  EXPECT_TRUE(g->CheckLayer(layer));
  control->SetPosition(40, 10);
  EXPECT_FALSE(g->CheckLayer(layer));
  layer = make(control->GetRECT());
  g->SetScreenScale(2.f);
  EXPECT_FALSE(g->CheckLayer(layer));
  layer = make(control->GetRECT());
  layer->Invalidate();
  EXPECT_FALSE(g->CheckLayer(layer));
  // No image for a rectangle without area or with NaNs, nor when the back end makes none.
  g->drawn.clear();
  EXPECT_FALSE(g->CheckLayer(make(IRECT(5, 5, 5, 9))));
  EXPECT_FALSE(g->CheckLayer(make(IRECT(NAN, 0, 10, 10))));
  EXPECT_TRUE(g->Calls("CreateAPIBitmap").empty());
  g->makeLayerImages = false;
  EXPECT_FALSE(g->CheckLayer(make(control->GetRECT())));
}

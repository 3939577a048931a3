// Layers: the stack and its clips, the staleness check, drawing a kept layer, and the drop shadow's blur.

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

using Doubles = std::vector<double>;

struct LayersTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);

  Doubles LastClip() const
  {
    const auto clips = g->Calls("SetClipRegion");
    return clips.empty() ? Doubles{} : clips.back().a;
  }
};

std::vector<int> Kernel(float scale, float drawScale, float blur)
{
  Util_TypedBuf<uint8_t> k;
  const int n = MakeShadowKernel(scale, drawScale, blur, k);
  return std::vector<int>(k.Get(), k.Get() + n);
}

// The blur written plainly: each pass is a full convolution with zero outside the image and the integer division
// by the whole kernel's weight, horizontal first.
std::vector<int> ReferenceBlur(const std::vector<int>& alpha, int w, int h, const std::vector<int>& k)
{
  const int size = int(k.size());
  int norm = k[0];
  for (int i = 1; i < size; ++i)
    norm += 2 * k[i];
  auto at = [&](const std::vector<int>& img, int x, int y) {
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0 : img[size_t(y) * w + x];
  };
  std::vector<int> hor(alpha.size()), out(alpha.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      long sum = 0;
      for (int m = -(size - 1); m <= size - 1; ++m)
        sum += long(k[size_t(std::abs(m))]) * at(alpha, x + m, y);
      hor[size_t(y) * w + x] = std::min(255L, sum / norm);
    }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      long sum = 0;
      for (int m = -(size - 1); m <= size - 1; ++m)
        sum += long(k[size_t(std::abs(m))]) * at(hor, x, y + m);
      out[size_t(y) * w + x] = std::min(255L, sum / norm);
    }
  return out;
}

} // namespace

TEST(ShadowKernel, GaussianWeightsForBlurSizeAndScales)
{
  EXPECT_EQ(Kernel(2.f, 1.f, 3.f), (std::vector<int>{255, 233, 177, 112, 59, 26, 9}));
  EXPECT_EQ(Kernel(1.f, 2.f, 3.f), (std::vector<int>{255, 233, 177, 112, 59, 26, 9}));
  EXPECT_EQ(Kernel(1.f, 1.f, 0.f), (std::vector<int>{255}));
  // x = 2.5 rounds up to three weights, spread by x rather than by the count.
  EXPECT_EQ(Kernel(1.f, 1.f, 1.5f), (std::vector<int>{255, 124, 14}));
  // Nonsense sizes count as no blur.
  EXPECT_EQ(Kernel(1.f, 1.f, -4.f), (std::vector<int>{255}));
  EXPECT_EQ(Kernel(1.f, 1.f, NAN), (std::vector<int>{255}));
}

TEST_F(LayersTest, BlurredOpaqueSquareKeepsItsCentreAndFallsOffSymmetrically)
{
  struct Case
  {
    int w, h, side;
    float blur;
  };
  for (const Case c : {Case{40, 40, 10, 3.f}, Case{33, 21, 7, 2.f}, Case{5, 5, 1, 6.f}, Case{24, 24, 24, 2.f}})
  {
    const int x0 = (c.w - c.side) / 2, y0 = (c.h - c.side) / 2;
    g->layerPixels.assign(size_t(c.w) * c.h * 4, 0);
    std::vector<int> alpha(size_t(c.w) * c.h, 0);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
      {
        uint8_t* px = &g->layerPixels[(size_t(y) * c.w + x) * 4];
        px[0] = uint8_t(x), px[1] = uint8_t(y), px[2] = 7; // colour bytes the blur must not touch
        if (x >= x0 && x < x0 + c.side && y >= y0 && y < y0 + c.side) px[3] = 255, alpha[size_t(y) * c.w + x] = 255;
      }
    g->StartLayer(nullptr, IRECT(0, 0, float(c.w), float(c.h)));
    ILayerPtr layer = g->EndLayer();
    g->ApplyLayerDropShadow(layer, IShadow(IPattern(COLOR_BLACK), c.blur, 2.f, 3.f, 0.5f, true));

    const auto& mask = g->shadowMask;
    ASSERT_EQ(mask.size(), g->layerPixels.size());
    const auto want = ReferenceBlur(alpha, c.w, c.h, Kernel(1.f, 1.f, c.blur));
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x)
      {
        const uint8_t* px = &mask[(size_t(y) * c.w + x) * 4];
        ASSERT_EQ(px[3], want[size_t(y) * c.w + x]) << c.w << "x" << c.h << " at " << x << "," << y;
        ASSERT_EQ(px[0], uint8_t(x));
        ASSERT_EQ(px[1], uint8_t(y));
        ASSERT_EQ(px[2], 7);
        // A centred square blurs the same seen from every side.
        if (c.w - c.side == 2 * x0 && c.h - c.side == 2 * y0)
        {
          ASSERT_EQ(px[3], mask[(size_t(y) * c.w + (c.w - 1 - x)) * 4 + 3]);
          ASSERT_EQ(px[3], mask[(size_t(c.h - 1 - y) * c.w + x) * 4 + 3]);
        }
      }
    if (c.side >= 2 * int(std::ceil(c.blur + 1)) && c.w == 40)
    {
      // Full strength in the middle, fading outwards along the middle row to nothing.
      const int mid = c.h / 2;
      EXPECT_EQ(mask[(size_t(mid) * c.w + c.w / 2) * 4 + 3], 255);
      for (int x = x0 + c.side; x + 1 < c.w; ++x)
        EXPECT_GE(mask[(size_t(mid) * c.w + x) * 4 + 3], mask[(size_t(mid) * c.w + x + 1) * 4 + 3]);
      EXPECT_EQ(mask[(size_t(mid) * c.w + c.w - 1) * 4 + 3], 0);
    }
  }
  const auto applied = g->Calls("ApplyShadowMask");
  ASSERT_FALSE(applied.empty());
  EXPECT_EQ(applied[0].a, (Doubles{3, 2, 3, 0.5}));
}

TEST_F(LayersTest, NoBlurLeavesAlphaAndPixelsThatDoNotFitTheBitmapGetNoShadow)
{
  g->layerPixels.assign(4 * 4 * 4, 0);
  for (size_t i = 3; i < g->layerPixels.size(); i += 8)
    g->layerPixels[i] = 200;
  g->StartLayer(nullptr, IRECT(0, 0, 4, 4));
  ILayerPtr layer = g->EndLayer();
  g->ApplyLayerDropShadow(layer, IShadow(IPattern(COLOR_BLACK), 0.f, 0.f, 0.f, 1.f, true));
  EXPECT_EQ(g->shadowMask, g->layerPixels);

  for (size_t bytes : {size_t(0), size_t(60), size_t(4 * 4 * 4 - 1), size_t(3 * 4 * 4)})
  {
    g->layerPixels.assign(bytes, 0xff);
    g->drawn.clear();
    g->ApplyLayerDropShadow(layer, IShadow());
    EXPECT_TRUE(g->Calls("ApplyShadowMask").empty()) << bytes;
  }
  ILayerPtr none;
  g->ApplyLayerDropShadow(none, IShadow());
}

TEST_F(LayersTest, StackRedirectsDrawingAndClipsToTheTopLayer)
{
  g->SetScreenScale(2.f);
  g->PathTransformTranslate(5.f, 5.f);
  g->drawn.clear();
  g->StartLayer(nullptr, IRECT(0.3f, 0.3f, 10.2f, 10.2f), true);
  // Aligned to device pixels at scale 2; the image covers whole points of it.
  const auto made = g->Calls("CreateAPIBitmap");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].a, (Doubles{22, 22, 2, 1, 1}));
  EXPECT_EQ(LastClip(), (Doubles{0, 0, 10.5, 10.5}));
  const IMatrix& t = g->GetTransform();
  EXPECT_EQ((Doubles{t.mXX, t.mYX, t.mXY, t.mYY, t.mTX, t.mTY}), (Doubles{1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(g->Calls("UpdateLayer").back().a, Doubles{1});

  g->StartLayer(nullptr, IRECT(5, 5, 50, 50));
  EXPECT_EQ(g->NActiveLayers(), 2);
  g->PathClipRegion(IRECT(0, 0, 20, 20));
  EXPECT_EQ(LastClip(), (Doubles{5, 5, 20, 20}));
  g->PathClipRegion();
  EXPECT_EQ(LastClip(), (Doubles{5, 5, 50, 50}));

  ILayerPtr inner = g->EndLayer();
  EXPECT_EQ(inner->Bounds(), IRECT(5, 5, 50, 50));
  EXPECT_EQ(LastClip(), (Doubles{0, 0, 10.5, 10.5}));
  ILayerPtr outer = g->EndLayer();
  EXPECT_EQ(g->Calls("UpdateLayer").back().a, Doubles{0});
  // Back on the frame: its clip rectangle; an empty stack gives no layer and the same clip.
  const IRECT frame = g->GetClipRect();
  EXPECT_EQ(LastClip(), (Doubles{frame.L, frame.T, frame.R, frame.B}));
  EXPECT_EQ(g->EndLayer(), nullptr);
  EXPECT_EQ(LastClip(), (Doubles{frame.L, frame.T, frame.R, frame.B}));

  g->ResumeLayer(inner);
  EXPECT_EQ(inner, nullptr);
  EXPECT_EQ(g->NActiveLayers(), 1);
  ILayerPtr empty;
  g->ResumeLayer(empty);
  EXPECT_EQ(g->NActiveLayers(), 1);
  inner = g->EndLayer();
  EXPECT_EQ(inner->Bounds(), IRECT(5, 5, 50, 50));
}

TEST_F(LayersTest, CheckFailsAfterAMoveARescaleOrAnInvalidation)
{
  auto* control = new RecordingControl(IRECT(10, 10, 30, 30));
  g->AttachControl(control);
  auto make = [&] {
    g->StartLayer(control, control->GetRECT());
    return g->EndLayer();
  };
  ILayerPtr layer = make();
  EXPECT_TRUE(g->CheckLayer(layer));

  control->SetPosition(40, 10);
  EXPECT_FALSE(g->CheckLayer(layer));
  EXPECT_FALSE(g->CheckLayer(layer)); // stays stale until made anew
  layer = make();
  EXPECT_TRUE(g->CheckLayer(layer));

  g->SetScreenScale(2.f);
  EXPECT_FALSE(g->CheckLayer(layer));
  layer = make();
  EXPECT_TRUE(g->CheckLayer(layer));

  layer->Invalidate();
  EXPECT_FALSE(g->CheckLayer(layer));

  ILayerPtr none;
  EXPECT_FALSE(g->CheckLayer(none));
  g->makeLayerImages = false;
  ILayerPtr imageless = make();
  ASSERT_NE(imageless, nullptr);
  EXPECT_FALSE(g->CheckLayer(imageless));
  // Nor is a rectangle without area or made of NaNs given an image.
  g->makeLayerImages = true;
  g->drawn.clear();
  g->StartLayer(nullptr, IRECT(5, 5, 5, 9));
  g->StartLayer(nullptr, IRECT(NAN, 0, 10, 10));
  EXPECT_TRUE(g->Calls("CreateAPIBitmap").empty());
  EXPECT_FALSE(g->CheckLayer(g->EndLayer()));
  EXPECT_FALSE(g->CheckLayer(g->EndLayer()));
}

TEST_F(LayersTest, KeptLayersDrawAtTheirBoundsWhateverTheTransform)
{
  g->StartLayer(nullptr, IRECT(10, 20, 50, 40));
  ILayerPtr layer = g->EndLayer();
  g->PathTransformTranslate(100, 100);
  g->PathTransformScale(2.f);
  const IMatrix before = g->GetTransform();
  g->drawn.clear();

  g->DrawLayer(layer);
  auto calls = g->Calls("DrawBitmap");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].a, (Doubles{10, 20, 50, 40, 0, 0, 40, 20}));
  // Drawn under identity, the caller's transform back afterwards.
  EXPECT_TRUE(g->Calls("SetMatrix").front().a == (Doubles{1, 0, 0, 1, 0, 0}));
  EXPECT_EQ(g->GetTransform().mTX, before.mTX);
  EXPECT_EQ(g->GetTransformStackDepth(), 0);

  g->drawn.clear();
  g->DrawFittedLayer(layer, IRECT(0, 0, 80, 10), nullptr);
  calls = g->Calls("DrawBitmap");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].a, (Doubles{0, 0, 40, 20, 0, 0, 40, 20}));
  // Under the caller's transform, then into the bounds: x scale 2 × 80/40, y 2 × 10/20.
  Doubles m;
  for (const auto& c : g->drawn)
  {
    if (c.op == "DrawBitmap") break;
    if (c.op == "SetMatrix") m = c.a;
  }
  ASSERT_EQ(m.size(), 6u);
  EXPECT_DOUBLE_EQ(m[0], 4.0);
  EXPECT_DOUBLE_EQ(m[3], 1.0);
  EXPECT_EQ(g->GetTransform().mXX, before.mXX);

  ILayerPtr none;
  g->drawn.clear();
  g->DrawLayer(none);
  g->DrawFittedLayer(none, IRECT(0, 0, 1, 1), nullptr);
  g->DrawRotatedLayer(none, 45.0);
  EXPECT_TRUE(g->drawn.empty());
}

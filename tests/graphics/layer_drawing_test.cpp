// Layers as drawing targets and as images: the stack redirects drawing and clips it to the top layer, a kept layer
// can be resumed, and a kept layer is drawn at its bounds, fitted into other bounds or rotated about its centre
// whatever transform the caller has in force.

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

struct LayerDrawingTest : ::testing::Test
{
  RecordingDelegate dlg{1};
  std::unique_ptr<ScriptedGraphics> g = std::make_unique<ScriptedGraphics>(dlg, 200, 100);

  Doubles LastClip() const { return g->Calls("SetClipRegion").back().a; }
  // The destination of the one bitmap drawn since the last clear, and the transform in force for it.
  Doubles DrawnWithMatrix()
  {
    const auto draws = g->Calls("DrawBitmap");
    EXPECT_EQ(draws.size(), 1u);
    if (draws.size() != 1) return {};
    Doubles out(draws[0].a.begin(), draws[0].a.begin() + 4);
    IMatrix m = g->GetTransform();
    bool seen = false;
    for (auto it = g->drawn.rbegin(); it != g->drawn.rend(); ++it)
    {
      if (it->op == "DrawBitmap") seen = true;
      else if (seen && it->op == "SetMatrix")
      {
        m = IMatrix(it->a[0], it->a[1], it->a[2], it->a[3], it->a[4], it->a[5]);
        break;
      }
    }
    for (double v : {m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY})
      out.push_back(std::round(v * 1e4) / 1e4 + 0.0);
    g->drawn.clear();
    return out;
  }
};

} // namespace

TEST_F(LayerDrawingTest, StackRedirectsDrawingClipsToTheTopLayerAndResumes)
{
  g->SetScreenScale(2.f);
  g->PathTransformTranslate(5.f, 5.f);
  g->StartLayer(nullptr, IRECT(0.3f, 0.3f, 10.2f, 10.2f), true);
  // Aligned to device pixels (half points at scale 2): 10.5 points, 21 pixels, rounded up to 22.
  EXPECT_EQ(g->Calls("CreateAPIBitmap").at(0).a, (Doubles{22, 22, 2, 1, 1}));
  EXPECT_EQ(LastClip(), (Doubles{0, 0, 10.5, 10.5}));
  EXPECT_EQ(g->GetTransform().mTX, 0.0) << "a layer starts from the identity";
  g->StartLayer(nullptr, IRECT(5, 5, 50, 50));
  g->PathClipRegion(IRECT(0, 0, 20, 20));
  EXPECT_EQ(LastClip(), (Doubles{5, 5, 20, 20})) << "clipped to the top layer";

  ILayerPtr inner = g->EndLayer();
  EXPECT_EQ(LastClip(), (Doubles{0, 0, 10.5, 10.5}));
  ILayerPtr outer = g->EndLayer();
  const IRECT frame = g->GetClipRect();
  EXPECT_EQ(LastClip(), (Doubles{frame.L, frame.T, frame.R, frame.B}));
  EXPECT_EQ(g->EndLayer(), nullptr) << "an empty stack gives no layer";
  EXPECT_EQ(g->Calls("UpdateLayer").back().a, Doubles{0});

  // Resuming takes the layer out of its owner and draws into it again, clipped to it.
  ILayerPtr none;
  g->ResumeLayer(none);
  EXPECT_EQ(g->Calls("UpdateLayer").back().a, Doubles{0}) << "an empty pointer pushes nothing";
  APIBitmap* image = inner->GetBitmap().mAPIBitmap;
  g->ResumeLayer(inner);
  EXPECT_EQ(inner, nullptr);
  EXPECT_EQ(g->Calls("UpdateLayer").back().a, Doubles{1});
  EXPECT_EQ(LastClip(), (Doubles{5, 5, 50, 50}));
  ILayerPtr again = g->EndLayer();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Bounds(), IRECT(5, 5, 50, 50));
  EXPECT_EQ(again->GetBitmap().mAPIBitmap, image) << "the same image, not a new one";
  EXPECT_EQ(g->Calls("CreateAPIBitmap").size(), 2u);
}

TEST_F(LayerDrawingTest, KeptLayersDrawAtTheirBoundsFittedOrRotatedWhateverTheTransform)
{
  g->StartLayer(nullptr, IRECT(10, 20, 50, 40)); // 40 × 20
  ILayerPtr layer = g->EndLayer();
  g->PathTransformScale(2.f);
  g->drawn.clear();

  // At its own bounds, under the identity.
  g->DrawLayer(layer);
  EXPECT_EQ(DrawnWithMatrix(), (Doubles{10, 20, 50, 40, 1, 0, 0, 1, 0, 0}));
  // Fitted: the caller's scale of 2 times 80/40 across and 10/20 down, from the bounds' corner.
  g->DrawFittedLayer(layer, IRECT(6, 8, 86, 18), nullptr);
  EXPECT_EQ(DrawnWithMatrix(), (Doubles{0, 0, 40, 20, 4, 0, 0, 1, 12, 16}));
  // Rotated a quarter turn about its centre (30, 30), under the identity: its own size centred on the origin.
  g->DrawRotatedLayer(layer, 90.0);
  EXPECT_EQ(DrawnWithMatrix(), (Doubles{-20, -10, 20, 10, 0, 1, -1, 0, 30, 30}));
  // Each leaves the caller's transform as it was.
  EXPECT_EQ(g->GetTransform(), IMatrix(2, 0, 0, 2, 0, 0));
  EXPECT_EQ(g->matrix, IMatrix(2, 0, 0, 2, 0, 0));
  EXPECT_EQ(g->GetTransformStackDepth(), 0);

  // Nothing to draw: no layer, a layer without an image, or one without area to fit from.
  ILayerPtr none;
  g->makeLayerImages = false;
  g->StartLayer(nullptr, IRECT(0, 0, 10, 10));
  ILayerPtr imageless = g->EndLayer();
  g->drawn.clear();
  for (const ILayerPtr* l : {&none, &imageless})
  {
    g->DrawLayer(*l);
    g->DrawFittedLayer(*l, IRECT(0, 0, 10, 10), nullptr);
    g->DrawRotatedLayer(*l, 45.0);
  }
  ILayerPtr flat(new ILayer(new APIBitmap(1, 4, 4, 1.f, 1.f), IRECT(5, 5, 5, 9), nullptr, IRECT()));
  g->DrawFittedLayer(flat, IRECT(0, 0, 10, 10), nullptr);
  EXPECT_TRUE(g->drawn.empty());
}

// IGraphicsVR's frames and framebuffers: deferred releases, framebuffers made inside a frame, resizing and closing
// the editor during and after a frame; and inputs that must draw nothing (no paint of NaNs, no endless dash loop).

#include "support/vr_rig.h"

#include <cmath>
#include <functional>
#include <limits>

using namespace vrtest;

namespace
{

// Alpha of the pixel at (x, y) of a frame w pixels wide.
int AlphaAt(const std::vector<uint8_t>& px, int w, int x, int y)
{
  return px[(size_t(y) * w + x) * 4 + 3];
}

// One of three controls side by side, each a third of the editor wide, filled with its colour; the middle one
// runs `during` on its first drawing, after its own fill and before the third control is drawn. (The test
// delegate gives controls no context, so the control is told its editor.)
class ThirdControl : public IControl
{
public:
  ThirdControl(IGraphics& g, int index, IColor colour, std::function<void(IGraphics&)> during = nullptr,
               bool viaLayer = false)
      : IControl(IRECT()), mG(g), mIndex(index), mColour(colour), mDuring(std::move(during)), mViaLayer(viaLayer)
  {
  }
  void OnResize() override
  {
    const IRECT b = mG.GetBounds();
    const float third = b.W() / 3.f;
    SetTargetAndDrawRECTs(IRECT(b.L + third * mIndex, b.T, b.L + third * (mIndex + 1), b.B));
  }
  void Draw(IGraphics& g) override
  {
    if (mViaLayer)
    {
      g.StartLayer(nullptr, mRECT);
      g.FillRect(mColour, mRECT);
      ILayerPtr layer = g.EndLayer();
      g.DrawLayer(layer);
    }
    else
      g.FillRect(mColour, mRECT);
    if (!mDuring) return;
    auto during = std::move(mDuring);
    mDuring = nullptr;
    during(g);
  }

private:
  IGraphics& mG;
  int mIndex;
  IColor mColour;
  std::function<void(IGraphics&)> mDuring;
  bool mViaLayer;
};

// One tick of the platform's render timer: the dirty controls are collected, marked clean and drawn.
void Tick(TestGraphicsVR& g)
{
  IRECTList rects;
  if (!g.IsDirty(rects)) return;
  g.SetAllControlsClean();
  g.Draw(rects);
  g.Finish();
}

// True when the frame is w × h pixels, wholly opaque, with red, green and blue in its thirds (BGRA).
::testing::AssertionResult ThreeThirds(const std::vector<uint8_t>& px, int pw, int ph, int w, int h)
{
  if (pw != w || ph != h || px.size() != size_t(w) * h * 4)
    return ::testing::AssertionFailure() << "frame " << pw << " x " << ph << ", expected " << w << " x " << h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const uint8_t* p = &px[(size_t(y) * w + x) * 4];
      if (p[3] != 255) return ::testing::AssertionFailure() << "alpha " << int(p[3]) << " at " << x << "," << y;
      const int third = x * 3 / w;
      if (x * 3 % w == 0 && x > 0) continue; // a seam pixel may belong to either neighbour
      const int channel = third == 0 ? 2 : third == 1 ? 1 : 0;
      if (p[channel] != 255)
        return ::testing::AssertionFailure() << "third " << third << " not drawn at " << x << "," << y;
    }
  return ::testing::AssertionSuccess();
}

} // namespace

// A framebuffer released inside a frame waits for its end; one made inside a frame must not take the rest of the
// frame with it: what is drawn before and after lands in the frame.
TEST(VRFrames, FramebuffersInsideAFrame)
{
  Editor e(40, 30);
  APIBitmap* made = nullptr;
  int queued = -1;
  const auto px = Render(e, [&](IGraphicsVR& g) {
    g.FillRect(COLOR_RED, IRECT(0.f, 0.f, 20.f, 30.f));
    made = g.CreateAPIBitmap(16, 16, 1.f, 1.0);
    delete g.CreateAPIBitmap(10, 10, 1.f, 1.0);
    queued = e.g.NQueuedFramebuffers();
    g.PathTransformReset();
    g.PathClipRegion();
    g.FillRect(COLOR_BLUE, IRECT(20.f, 0.f, 40.f, 30.f));
  });
  EXPECT_EQ(queued, 1);
  EXPECT_EQ(e.g.NQueuedFramebuffers(), 0);
  ASSERT_NE(made, nullptr);
  delete made;
  EXPECT_EQ(AlphaAt(px, 40, 5, 15), 255);
  EXPECT_EQ(px[(15 * 40 + 35) * 4 + 0], 255); // blue, in BGRA order
}

// A control that changes the editor's size, its screen scale or only its framebuffer while it is drawn: the frame
// it is drawn in reaches the window at most once and never half drawn or empty, and the next tick draws every
// control again into a frame of the new size. The control drawn after it draws straight into the frame, or
// through a layer (the frame switches targets after the resize).
TEST(VRFrames, ResizeInsideAFramePresentsNoHalfDrawnFrame)
{
  struct Case
  {
    const char* name;
    std::function<void(IGraphics&)> resize;
    int w, h; // the frame in pixels afterwards
  };
  const Case cases[] = {
    {"resize", [](IGraphics& g) { g.Resize(90, 45, 1.f, true); }, 90, 45},
    {"screen_scale", [](IGraphics& g) { g.SetScreenScale(2.f); }, 120, 60},
    {"draw_resize", [](IGraphics& g) { g.DrawResize(); }, 60, 30},
  };
  for (const bool viaLayer : {false, true})
    for (const Case& c : cases)
    {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(viaLayer ? "through a layer" : "straight");
      Editor e(60, 30);
      e.g.AttachControl(new ThirdControl(e.g, 0, COLOR_RED));
      e.g.AttachControl(new ThirdControl(e.g, 1, COLOR_GREEN, c.resize));
      e.g.AttachControl(new ThirdControl(e.g, 2, COLOR_BLUE, nullptr, viaLayer));
      CAMetalLayer* layer = e.g.Layer();
      const NSUInteger before = layer->presentedCount();
      Tick(e.g);
      const NSUInteger presented = layer->presentedCount() - before;
      EXPECT_LE(presented, 1u) << "one frame drawn, one present at most";
      int pw = 0, ph = 0;
      std::vector<uint8_t> px = e.g.Pixels(&pw, &ph);
      const std::string base = ::testing::TempDir() + "vr_resize_in_frame_" + c.name + (viaLayer ? "_layer" : "");
      if (presented > 0)
      {
        EXPECT_TRUE(ThreeThirds(px, pw, ph, c.w, c.h)) << "the frame drawn across the resize";
        if (HasFailure() || KeepImages()) e.g.SavePNG(base + "_during.png");
      }
      EXPECT_FALSE(e.g.InFrame());
      EXPECT_EQ(e.g.NQueuedFramebuffers(), 0);

      // Whatever the resize left out, the next tick draws it.
      Tick(e.g);
      EXPECT_EQ(layer->presentedCount() - before, presented + 1);
      px = e.g.Pixels(&pw, &ph);
      EXPECT_TRUE(ThreeThirds(px, pw, ph, c.w, c.h)) << "the frame after the resize";
      if (HasFailure() || KeepImages()) e.g.SavePNG(base + "_after.png");
      // And then the editor is clean: nothing more is presented.
      Tick(e.g);
      EXPECT_EQ(layer->presentedCount() - before, presented + 1);
    }
}

TEST(VRFrames, ClosingTheEditorLeavesNoOpenFrameNorQueuedFramebuffer)
{
  for (bool duringFrame : {true, false})
  {
    Editor e(40, 30);
    APIBitmap* survivor = e.g.CreateAPIBitmap(8, 8, 1.f, 1.0);
    e.g.BeginFrame();
    e.g.FillRect(COLOR_RED, IRECT(0.f, 0.f, 40.f, 30.f));
    delete e.g.CreateAPIBitmap(10, 10, 1.f, 1.0);
    EXPECT_EQ(e.g.NQueuedFramebuffers(), 1);
    if (!duringFrame) e.g.EndFrame();
    e.g.CloseWindow();
    EXPECT_FALSE(e.g.InFrame());
    EXPECT_EQ(e.g.NQueuedFramebuffers(), 0);
    EXPECT_EQ(e.g.GetDrawContext(), nullptr);
    EXPECT_FALSE(e.g.GetDrawContextReady());
    // A layer bitmap that outlives the view frees only what is left of it (the sanitizers watch this).
    delete survivor;
    EXPECT_EQ(e.g.NQueuedFramebuffers(), 0);
    // Opened again, the editor draws.
    e.g.OpenWindow(nullptr);
    const auto px = Render(e, [](IGraphicsVR& g) { g.FillRect(COLOR_RED, IRECT(0.f, 0.f, 40.f, 30.f)); });
    EXPECT_EQ(AlphaAt(px, 40, 20, 15), 255);
  }
}

// Inputs without a defined drawing draw nothing.
TEST(VRFrames, DegenerateInputsDrawNothing)
{
  Editor e(60, 40);
  ASSERT_TRUE(e.g.LoadFont("Roboto-Regular", kRoboto));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto px = Render(e, [&](IGraphicsVR& g) {
    IPattern flat(kLinearPattern); // a transform that squashes everything onto a line has no inverse
    flat.AddStop(COLOR_RED, 0.f);
    flat.AddStop(COLOR_BLUE, 1.f);
    flat.mTransform = IMatrix(1.0, 2.0, 0.5, 1.0, 0.0, 0.0);
    g.FillRect(flat, IRECT(0.f, 0.f, 60.f, 40.f));
    IPattern radial(kRadialPattern);
    radial.AddStop(COLOR_RED, 0.f);
    radial.AddStop(COLOR_BLUE, 1.f);
    radial.mTransform = IMatrix(0.0, 0.0, 0.0, 0.0, 1.0, 1.0);
    g.PathRect(IRECT(0.f, 0.f, 60.f, 40.f));
    g.PathStroke(radial, 4.f);
    g.FillRect(IPattern(kLinearPattern), IRECT(0.f, 0.f, 60.f, 40.f)); // no stops
    g.DrawDottedLine(COLOR_RED, 0.f, 20.f, 60.f, 20.f, nullptr, 2.f, 0.f);
    g.DrawDottedLine(COLOR_RED, 0.f, 20.f, 60.f, 20.f, nullptr, 2.f, nan);
    g.DrawDottedRect(COLOR_RED, IRECT(5.f, 5.f, 55.f, 35.f), nullptr, 2.f, 0.f);
    g.DrawDottedRect(COLOR_RED, IRECT(5.f, 5.f, 55.f, 35.f), nullptr, 2.f, -3.f);
    g.DrawText(IText(0.f, COLOR_BLACK, "Roboto-Regular"), "zero", IRECT(0.f, 0.f, 60.f, 40.f));
    g.DrawText(IText(nan, COLOR_BLACK, "Roboto-Regular"), "nan", IRECT(0.f, 0.f, 60.f, 40.f));
    g.DrawLine(COLOR_RED, 0.f, 0.f, 60.f, 40.f, nullptr, nan); // a width that is not a number
    g.DrawArc(COLOR_RED, 30.f, 20.f, 15.f, nan, 90.f, nullptr, 3.f);
    g.DrawArc(COLOR_RED, 30.f, 20.f, 15.f, 0.f, std::numeric_limits<float>::infinity(), nullptr, 3.f);
  });
  EXPECT_TRUE(Empty(px));
  IRECT r(0.f, 0.f, 60.f, 40.f);
  EXPECT_EQ(e.g.MeasureText(IText(0.f, COLOR_BLACK, "Roboto-Regular"), "zero", r), 0.f);
  EXPECT_TRUE(std::isfinite(r.L) && std::isfinite(r.T) && std::isfinite(r.R) && std::isfinite(r.B));
}

// After a blend of another kind, a plain drawing is source over again.
TEST(VRFrames, BlendsDoNotOutliveTheirDrawing)
{
  for (int method : {int(kBlendAdd), int(kBlendXOR), int(kBlendDstOut), 42})
  {
    Editor e(20, 20);
    const auto px = Render(e, [&](IGraphicsVR& g) {
      g.FillRect(COLOR_BLUE, IRECT(0.f, 0.f, 20.f, 20.f));
      const IBlend b(method, 0.5f);
      g.FillRect(COLOR_GREEN, IRECT(0.f, 0.f, 5.f, 5.f), &b);
      g.FillRect(IColor(128, 255, 0, 0), IRECT(10.f, 10.f, 20.f, 20.f));
    });
    // Half red over opaque blue.
    const uint8_t* p = &px[(15 * 20 + 15) * 4];
    EXPECT_NEAR(p[2], 128, 2) << method; // red
    EXPECT_NEAR(p[0], 127, 2) << method; // blue
    EXPECT_EQ(p[3], 255) << method;
  }
}

// The main framebuffer reaches the window byte for byte, clear and translucent pixels included: the copy
// replaces the drawable's contents rather than blending over whatever a reused drawable held.
TEST(VRFrames, TranslucentAndClearPixelsReachTheWindowAsDrawn)
{
  for (const float scale : {1.f, 2.f})
  {
    SCOPED_TRACE(scale);
    Editor e(20, 10, scale);
    const auto px = Render(e, [](IGraphicsVR& g) {
      g.FillRect(IColor(128, 0, 255, 0), IRECT(0.f, 0.f, 10.f, 10.f));
      g.FillRect(IColor(255, 0, 0, 255), IRECT(10.f, 0.f, 15.f, 10.f));
    });
    const int w = int(20 * scale);
    ASSERT_EQ(px.size(), size_t(w * int(10 * scale) * 4));
    auto at = [&](float x, float y) { return &px[(size_t(y * scale) * w + size_t(x * scale)) * 4]; };
    // Half green, premultiplied (BGRA): 128 × 255 / 255 in green and alpha.
    EXPECT_EQ(at(5, 5)[0], 0);
    EXPECT_NEAR(at(5, 5)[1], 128, 1);
    EXPECT_EQ(at(5, 5)[2], 0);
    EXPECT_NEAR(at(5, 5)[3], 128, 1);
    EXPECT_EQ(at(12, 5)[0], 255);
    EXPECT_EQ(at(12, 5)[3], 255);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(at(17, 5)[c], 0) << c;
  }
}

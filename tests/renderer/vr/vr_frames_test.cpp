// IGraphicsVR's frames and framebuffers: deferred releases, framebuffers made inside a frame, closing the editor
// during and after a frame; and inputs that must draw nothing (no paint of NaNs, no endless dash loop).

#include "support/vr_rig.h"

#include <cmath>
#include <limits>

using namespace vrtest;

namespace
{

// Alpha of the pixel at (x, y) of a frame w pixels wide.
int AlphaAt(const std::vector<uint8_t>& px, int w, int x, int y)
{
  return px[(size_t(y) * w + x) * 4 + 3];
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

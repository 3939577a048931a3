// The back end's frame rotation with frames in flight on the GPU thread: completion there, read-back waiting
// for the frame that draws an image, deletion with frames in flight.

#include "support/backend_rig.h"

#include <gtest/gtest.h>


using namespace backendtest;

namespace
{
void DrawFrame(VRcontext* vg, int i)
{
  vrBeginFrame(vg, 64, 48, 1);
  for (int k = 0; k < 20; ++k)
  {
    vrBeginPath(vg);
    vrRoundedRect(vg, (float)(k * 3 % 50), (float)(k * 7 % 40), 14, 9, 3);
    vrFillColor(vg, vrRGBA((uint8_t)(i * 8), (uint8_t)(k * 12), 200, 255));
    vrFill(vg);
  }
  vrEndFrame(vg);
}
} // namespace

TEST(MetalBackendConcurrent, FramesRotateWhileTheGpuCompletesThem)
{
  Backend b(64, 48);
  for (int i = 0; i < 40; ++i)
  {
    DrawFrame(b.vg, i);
    // At most three frames are ever in flight: the semaphore never goes below zero free sets.
    EXPECT_GE(b.mtl()->semaphore->debugValue(), 0);
  }
  b.Finish();
  EXPECT_EQ(b.layer->presentedCount(), 40u);
  EXPECT_EQ(b.mtl()->semaphore->debugValue(), 3);
  for (MVRbuffers_vZANIQ_au* set : b.mtl()->cbuffers)
  {
    std::lock_guard lock(set->lock);
    EXPECT_FALSE(set->isBusy.load());
    EXPECT_EQ(set->commandBuffer, nullptr);
    EXPECT_EQ(set->ncalls, 0);
  }
}

TEST(MetalBackendConcurrent, ReadBackWaitsForTheFrameDrawingTheImage)
{
  Backend b(32, 32);
  MVRframebuffer* fb = mvrCreateFramebuffer(b.vg, 32, 32, 0);
  ASSERT_NE(fb, nullptr);
  for (int round = 0; round < 10; ++round)
  {
    mvrBindFramebuffer(fb);
    vrBeginFrame(b.vg, 32, 32, 1);
    vrBeginPath(b.vg);
    vrRect(b.vg, 0, 0, 32, 32);
    vrFillColor(b.vg, vrRGBA((uint8_t)(round * 20), 10, 10, 255));
    vrFill(b.vg);
    vrEndFrame(b.vg);
    mvrBindFramebuffer(nullptr);
    // No Finish: the read waits for the frame itself.
    uint8_t px[4] = {};
    mvrReadPixels(b.vg, fb->image, 16, 16, 1, 1, px);
    EXPECT_EQ(px[0], round * 20);
  }
  mvrDeleteFramebuffer(fb);
}

TEST(MetalBackendConcurrent, DeleteWithFramesInFlight)
{
  for (int run = 0; run < 5; ++run)
  {
    auto* b = new Backend(64, 48);
    for (int i = 0; i < 3; ++i) DrawFrame(b->vg, i);
    delete b; // the back end waits for its frames before releasing what they use
  }
}

// The Metal stand-in's GPU thread: handler threads and order, frame rotation over a semaphore with buffers
// written by the CPU while earlier frames are in flight, queues released with work in flight, semaphores.

#include "support/metal_rig.h"

#include <QuartzCore/QuartzCore.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace metaltest;

TEST(MetalGpuThread, HandlersRunOnTheGpuThreadInCommitOrder)
{
  Rig rig;
  const auto mainThread = std::this_thread::get_id();
  std::mutex m;
  std::vector<int> events; // +k scheduled, -k completed (k from 1)
  std::atomic<bool> onMain{false};
  std::vector<MTLCommandBuffer*> buffers;
  {
    NSAutoreleasePool pool;
    for (int k = 1; k <= 20; ++k)
    {
      MTLCommandBuffer* cb = rig.queue->commandBuffer();
      cb->retain();
      buffers.push_back(cb);
      cb->enqueue();
      cb->addScheduledHandler([&, k](MTLCommandBuffer*) {
        onMain = onMain || std::this_thread::get_id() == mainThread;
        std::lock_guard lock(m);
        events.push_back(k);
      });
      cb->addCompletedHandler([&, k](MTLCommandBuffer* b) {
        onMain = onMain || std::this_thread::get_id() == mainThread;
        EXPECT_EQ(b->status(), MTLCommandBufferStatusCompleted);
        std::lock_guard lock(m);
        events.push_back(-k);
      });
      cb->commit();
      cb->commit(); // a second commit is ignored
    }
  }
  buffers.back()->waitUntilCompleted();
  EXPECT_FALSE(onMain);
  std::lock_guard lock(m);
  ASSERT_EQ(events.size(), 40u);
  for (int k = 1; k <= 20; ++k)
  {
    EXPECT_EQ(events[2 * (k - 1)], k);
    EXPECT_EQ(events[2 * (k - 1) + 1], -k);
  }
  for (MTLCommandBuffer* cb : buffers)
  {
    EXPECT_EQ(cb->status(), MTLCommandBufferStatusCompleted);
    cb->waitUntilScheduled(); // returns at once when done
    cb->release();
  }
}

// Three buffer sets rotate over a semaphore as a renderer's frames do. Each frame writes its colour into its
// set's uniform buffer and draws it into a drawable; the completion handler checks the presented pixels, so a
// set reused while its frame is in flight shows up as a wrong colour.
TEST(MetalGpuThread, FrameRotationOverASemaphore)
{
  Rig rig;
  constexpr int kSets = 3, kFrames = 60;
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDevice(rig.device);
  layer->setDrawableSize(CGSizeMake(16, 16));
  MTLRenderPipelineState* pipeline = rig.Pipeline(Blend{false}, MTLPixelFormatBGRA8Unorm);
  dispatch_semaphore_t semaphore = dispatch_semaphore_create(kSets);
  struct Set
  {
    std::atomic<bool> busy{false};
    MTLBuffer* uniforms = nullptr;
    MTLBuffer* verts = nullptr;
    MTLBuffer* view = nullptr;
  } sets[kSets];
  for (Set& s : sets)
  {
    s.uniforms = rig.device->newBufferWithLength_options(256, MTLResourceCPUCacheModeWriteCombined);
    s.verts = rig.device->newBufferWithLength_options(6 * sizeof(V), MTLResourceCPUCacheModeWriteCombined);
    s.view = rig.device->newBufferWithLength_options(8, MTLResourceCPUCacheModeWriteCombined);
  }
  std::atomic<int> inFlight{0}, maxInFlight{0}, wrong{0}, completed{0};
  for (int frame = 0; frame < kFrames; ++frame)
  {
    NSAutoreleasePool pool;
    ASSERT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER), 0);
    Set* set = nullptr;
    for (Set& s : sets)
      if (!s.busy.load())
      {
        set = &s;
        break;
      }
    ASSERT_NE(set, nullptr) << "the semaphore let a frame in with every set busy";
    set->busy = true;
    const int n = ++inFlight;
    for (int seen = maxInFlight.load(); n > seen && !maxInFlight.compare_exchange_weak(seen, n);)
    {
    }
    const uint8_t level = (uint8_t)(frame * 4 + 3);
    const Uniforms u = Solid(level / 255.0f, 0, 0, 1);
    std::memcpy(set->uniforms->contents(), &u, sizeof u);
    const auto quad = Quad(0, 0, 16, 16);
    std::memcpy(set->verts->contents(), quad.data(), quad.size() * sizeof(V));
    const float view[2] = {16, 16};
    std::memcpy(set->view->contents(), view, sizeof view);

    MTLCommandBuffer* cb = rig.queue->commandBuffer();
    cb->enqueue();
    CAMetalDrawable* drawable = layer->nextDrawable();
    ASSERT_NE(drawable, nullptr);
    MTLTexture* target = drawable->texture();
    target->retain();
    cb->addCompletedHandler([&, set, level, target](MTLCommandBuffer*) {
      uint8_t px[4];
      target->getBytes_bytesPerRow_fromRegion_mipmapLevel(px, 4, MTLRegionMake2D(5, 5, 1, 1), 0);
      if (px[2] != level) ++wrong;
      target->release();
      --inFlight;
      ++completed;
      set->busy = false;
      dispatch_semaphore_signal(semaphore);
    });
    MTLRenderPassDescriptor* pass = MTLRenderPassDescriptor::renderPassDescriptor();
    pass->colorAttachments()[0]->setTexture(target);
    pass->colorAttachments()[0]->setLoadAction(MTLLoadActionClear);
    MTLRenderCommandEncoder* enc = cb->renderCommandEncoderWithDescriptor(pass);
    enc->setRenderPipelineState(pipeline);
    enc->setVertexBuffer_offset_atIndex(set->verts, 0, 0);
    enc->setVertexBuffer_offset_atIndex(set->view, 0, 1);
    enc->setFragmentBuffer_offset_atIndex(set->uniforms, 0, 0);
    enc->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangle, 0, 6);
    enc->endEncoding();
    cb->presentDrawable(drawable);
    cb->commit();
  }
  for (int k = 0; k < kSets; ++k) ASSERT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER), 0);
  EXPECT_EQ(completed.load(), kFrames);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(maxInFlight.load(), kSets);
  EXPECT_EQ(layer->presentedCount(), (NSUInteger)kFrames);
  MTLTexture* last = layer->copyLastPresentedTexture();
  ASSERT_NE(last, nullptr);
  uint8_t px[4];
  last->getBytes_bytesPerRow_fromRegion_mipmapLevel(px, 4, MTLRegionMake2D(0, 0, 1, 1), 0);
  EXPECT_EQ(px[2], (kFrames - 1) * 4 + 3);
  last->release();
  for (Set& s : sets)
  {
    s.uniforms->release();
    s.verts->release();
    s.view->release();
  }
  dispatch_release(semaphore);
  layer->release();
}

TEST(MetalGpuThread, QueueReleasedWithWorkInFlight)
{
  MTLDevice* device = MTLCreateSystemDefaultDevice();
  dispatch_semaphore_t done = dispatch_semaphore_create(0);
  std::atomic<int> ran{0};
  // Released by the main thread while buffers are pending: they still run.
  {
    MTLCommandQueue* queue = device->newCommandQueue();
    NSAutoreleasePool pool;
    for (int k = 0; k < 8; ++k)
    {
      MTLCommandBuffer* cb = queue->commandBuffer();
      cb->addCompletedHandler([&](MTLCommandBuffer*) {
        ++ran;
        dispatch_semaphore_signal(done);
      });
      cb->commit();
    }
    queue->release();
  }
  for (int k = 0; k < 8; ++k) dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
  EXPECT_EQ(ran.load(), 8);

  // The last reference dropped on the GPU thread itself, from a completion handler.
  {
    MTLCommandQueue* queue = device->newCommandQueue();
    NSAutoreleasePool pool;
    MTLCommandBuffer* cb = queue->commandBuffer();
    cb->addCompletedHandler([&, queue](MTLCommandBuffer*) {
      queue->release();
      dispatch_semaphore_signal(done);
    });
    cb->commit();
  }
  dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
  dispatch_release(done);
  device->release();
}

TEST(MetalGpuThread, WaitingFromSeveralThreads)
{
  Rig rig;
  MTLCommandBuffer* cb = rig.queue->commandBuffer();
  cb->retain();
  std::atomic<bool> handlerRan{false};
  dispatch_semaphore_t gate = dispatch_semaphore_create(0);
  // The first command holds the GPU thread until the waiters are in place.
  cb->addScheduledHandler([&](MTLCommandBuffer*) { dispatch_semaphore_wait(gate, DISPATCH_TIME_FOREVER); });
  cb->addCompletedHandler([&](MTLCommandBuffer*) { handlerRan = true; });
  cb->waitUntilCompleted(); // not committed: returns at once
  cb->commit();
  std::vector<std::thread> waiters;
  std::atomic<int> sawHandler{0};
  for (int k = 0; k < 4; ++k)
    waiters.emplace_back([&] {
      cb->waitUntilCompleted();
      sawHandler += handlerRan.load() ? 1 : 0;
    });
  dispatch_semaphore_signal(gate);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(sawHandler.load(), 4); // waiters wake after the completed handlers
  cb->release();
  dispatch_release(gate);
}

TEST(DispatchSemaphore, CountsAcrossThreads)
{
  dispatch_semaphore_t s = dispatch_semaphore_create(2);
  EXPECT_EQ(dispatch_semaphore_create(-1), nullptr);
  EXPECT_EQ(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0);
  EXPECT_EQ(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0);
  EXPECT_NE(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0); // empty: no wait, failure
  EXPECT_EQ(s->debugValue(), 0);
  std::atomic<int> taken{0};
  std::vector<std::thread> consumers;
  for (int k = 0; k < 4; ++k)
    consumers.emplace_back([&] {
      for (int i = 0; i < 250; ++i)
      {
        dispatch_semaphore_wait(s, DISPATCH_TIME_FOREVER);
        ++taken;
      }
    });
  std::thread producer([&] {
    for (int i = 0; i < 1000; ++i) dispatch_semaphore_signal(s);
  });
  producer.join();
  for (auto& t : consumers) t.join();
  EXPECT_EQ(taken.load(), 1000);
  EXPECT_EQ(s->debugValue(), 0);
  dispatch_release(s);
}

TEST(DispatchData, CopiesOrAdoptsBytes)
{
  char bytes[] = "MTLB bytes";
  dispatch_data_t copy = dispatch_data_create(bytes, sizeof bytes, nullptr, DISPATCH_DATA_DESTRUCTOR_DEFAULT);
  bytes[0] = 'X';
  const void* p = nullptr;
  size_t n = 0;
  dispatch_data_t map = dispatch_data_create_map(copy, &p, &n);
  copy->release(); // the map keeps the bytes
  ASSERT_EQ(n, sizeof bytes);
  EXPECT_EQ(static_cast<const char*>(p)[0], 'M');
  map->release();
  std::atomic<int> destroyed{0};
  dispatch_data_t adopted = dispatch_data_create(bytes, sizeof bytes, nullptr, [&] { ++destroyed; });
  EXPECT_EQ(adopted->bytes(), bytes);
  EXPECT_EQ(dispatch_data_get_size(adopted), sizeof bytes);
  dispatch_release(adopted);
  EXPECT_EQ(destroyed.load(), 1);
  EXPECT_EQ(dispatch_data_create(nullptr, 4, nullptr, DISPATCH_DATA_DESTRUCTOR_DEFAULT), nullptr);
}

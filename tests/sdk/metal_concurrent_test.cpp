// The Metal stand-in's GPU thread: handler threads and order, queues released with work in flight, waiters on
// several threads, semaphores. (Frame rotation with buffers written while frames are in flight is the back end's
// concurrent test, through the real buffer sets.)

#include "support/metal_rig.h"

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
  EXPECT_EQ(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0);
  EXPECT_EQ(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0);
  EXPECT_NE(dispatch_semaphore_wait(s, DISPATCH_TIME_NOW), 0); // empty: no wait, failure
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

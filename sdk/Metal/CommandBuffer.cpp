// Metal stand-in: command queues with their GPU thread, command buffers, render and blit encoders.

#include "Rasterizer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

// ---------------------------------------------------------------------------------------------------------------
// Command queue: one GPU thread runs committed buffers in commit order
// ---------------------------------------------------------------------------------------------------------------

struct MTLCommandQueue::State
{
  std::mutex mutex;
  std::condition_variable cond;
  std::deque<MTLCommandBuffer*> pending; // retained
  bool stop = false;
  std::thread thread;
};

namespace
{
void QueueWork(std::shared_ptr<MTLCommandQueue::State> keep)
{
  MTLCommandQueue::State* s = keep.get();
  for (;;)
  {
    MTLCommandBuffer* next = nullptr;
    {
      std::unique_lock lock(s->mutex);
      s->cond.wait(lock, [s] { return s->stop || !s->pending.empty(); });
      if (s->pending.empty()) break; // stopping with nothing left
      next = s->pending.front();
      s->pending.pop_front();
    }
    next->Run();
    next->release();
  }
}
} // namespace

MTLCommandQueue::MTLCommandQueue(MTLDevice* device) : mDevice(device)
{
  mDevice->retain();
  mState = std::make_shared<State>();
  // The thread keeps the state alive too: it may outlive this object when the last release happens on it.
  std::lock_guard lock(mState->mutex);
  mState->thread = std::thread(QueueWork, mState);
}

MTLCommandQueue::~MTLCommandQueue()
{
  std::thread thread;
  {
    std::lock_guard lock(mState->mutex);
    mState->stop = true;
    thread = std::move(mState->thread);
  }
  mState->cond.notify_all();
  // Committed work still runs; the last reference may be dropped by a completion handler on the GPU thread.
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else
    thread.join();
  mDevice->release();
}

MTLCommandBuffer* MTLCommandQueue::commandBuffer()
{
  auto* b = new MTLCommandBuffer(this);
  retain(); // a command buffer keeps its queue
  b->autorelease();
  return b;
}

void MTLCommandQueue::Enqueue(MTLCommandBuffer* buffer)
{
  buffer->retain();
  {
    std::lock_guard lock(mState->mutex);
    mState->pending.push_back(buffer);
  }
  mState->cond.notify_one();
}

// ---------------------------------------------------------------------------------------------------------------
// Command buffers
// ---------------------------------------------------------------------------------------------------------------

MTLCommandBuffer::~MTLCommandBuffer()
{
  for (MTLDrawable* d : mDrawables) d->release();
  mCommands.clear();
  mQueue->release();
}

MTLDevice* MTLCommandBuffer::device() const
{
  return mQueue->device();
}

MTLCommandBufferStatus MTLCommandBuffer::status() const
{
  std::lock_guard lock(mMutex);
  return mStatus;
}

bool MTLCommandBuffer::Recording() const
{
  std::lock_guard lock(mMutex);
  return mStatus < MTLCommandBufferStatusCommitted;
}

void MTLCommandBuffer::enqueue()
{
  std::lock_guard lock(mMutex);
  if (mStatus == MTLCommandBufferStatusNotEnqueued) mStatus = MTLCommandBufferStatusEnqueued;
}

void MTLCommandBuffer::commit()
{
  {
    std::lock_guard lock(mMutex);
    if (mStatus >= MTLCommandBufferStatusCommitted) return;
    mStatus = MTLCommandBufferStatusCommitted;
  }
  mQueue->Enqueue(this);
}

void MTLCommandBuffer::addScheduledHandler(MTLCommandBufferHandler handler)
{
  std::lock_guard lock(mMutex);
  if (mStatus < MTLCommandBufferStatusCommitted && handler) mScheduledHandlers.push_back(std::move(handler));
}

void MTLCommandBuffer::addCompletedHandler(MTLCommandBufferHandler handler)
{
  std::lock_guard lock(mMutex);
  if (mStatus < MTLCommandBufferStatusCommitted && handler) mCompletedHandlers.push_back(std::move(handler));
}

void MTLCommandBuffer::waitUntilScheduled()
{
  std::unique_lock lock(mMutex);
  if (mStatus < MTLCommandBufferStatusCommitted) return; // would never be scheduled
  mCond.wait(lock, [this] { return mStatus >= MTLCommandBufferStatusScheduled; });
}

void MTLCommandBuffer::waitUntilCompleted()
{
  std::unique_lock lock(mMutex);
  if (mStatus < MTLCommandBufferStatusCommitted) return;
  mCond.wait(lock, [this] { return mDone; });
}

void MTLCommandBuffer::presentDrawable(MTLDrawable* drawable)
{
  if (!drawable || !Recording()) return;
  drawable->retain();
  std::lock_guard lock(mMutex);
  mDrawables.push_back(drawable);
}

void MTLCommandBuffer::AddCommand(Command command)
{
  std::lock_guard lock(mMutex);
  if (mStatus < MTLCommandBufferStatusCommitted) mCommands.push_back(std::move(command));
}

void MTLCommandBuffer::Run()
{
  std::vector<MTLCommandBufferHandler> handlers;
  {
    std::lock_guard lock(mMutex);
    mStatus = MTLCommandBufferStatusScheduled;
    handlers.swap(mScheduledHandlers);
  }
  mCond.notify_all();
  for (auto& h : handlers) h(this);

  std::vector<Command> commands;
  std::vector<MTLDrawable*> drawables;
  {
    std::lock_guard lock(mMutex);
    commands.swap(mCommands);
    drawables.swap(mDrawables);
  }
  for (Command& c : commands)
  {
    std::lock_guard memory(MTLTextureMemoryLock());
    c();
  }
  commands.clear();
  for (MTLDrawable* d : drawables)
  {
    d->present();
    d->release();
  }

  {
    std::lock_guard lock(mMutex);
    mStatus = MTLCommandBufferStatusCompleted;
    handlers.swap(mCompletedHandlers);
  }
  for (auto& h : handlers) h(this);
  {
    std::lock_guard lock(mMutex);
    mDone = true;
  }
  mCond.notify_all();
}

MTLRenderCommandEncoder* MTLCommandBuffer::renderCommandEncoderWithDescriptor(MTLRenderPassDescriptor* pass)
{
  if (!pass || !Recording()) return nullptr;
  auto* e = new MTLRenderCommandEncoder(this, pass);
  e->autorelease();
  return e;
}

MTLBlitCommandEncoder* MTLCommandBuffer::blitCommandEncoder()
{
  if (!Recording()) return nullptr;
  auto* e = new MTLBlitCommandEncoder(this);
  e->autorelease();
  return e;
}

// ---------------------------------------------------------------------------------------------------------------
// Encoders
// ---------------------------------------------------------------------------------------------------------------

void MTLCommandEncoder::endEncoding()
{
  if (!mBuffer) return;
  OnEnd();
  mBuffer = nullptr;
}

MTLDevice* MTLCommandEncoder::device() const
{
  return mBuffer ? mBuffer->device() : nullptr;
}

namespace
{
struct PassTargetsRef
{
  MTLRef<MTLTexture> color, stencil;
  MTLPassTargets targets;
};
} // namespace

// The encoder's live state; draws take a shared snapshot, copied again only after a state change.
struct MTLRenderEncoderState
{
  MTLDrawState current;
  std::shared_ptr<const MTLDrawState> snapshot;
  std::shared_ptr<PassTargetsRef> pass;
};

MTLRenderCommandEncoder::MTLRenderCommandEncoder(MTLCommandBuffer* buffer, MTLRenderPassDescriptor* pass)
  : MTLCommandEncoder(buffer)
{
  auto* es = new MTLRenderEncoderState();
  mState = es;
  auto targets = std::make_shared<PassTargetsRef>();
  MTLRenderPassColorAttachmentDescriptor* ca = pass->colorAttachments()[0];
  MTLRenderPassStencilAttachmentDescriptor* sa = pass->stencilAttachment();
  targets->color = ca->texture();
  targets->stencil = sa->texture();
  targets->targets = {ca->texture(), ca->level, sa->texture(), sa->level};
  es->pass = targets;

  // The default viewport and scissor cover the render area.
  NSUInteger w = 0, h = 0;
  if (MTLTexture* t = ca->texture(); t && ca->level < t->mipmapLevelCount())
    w = t->levelWidth(ca->level), h = t->levelHeight(ca->level);
  else if (MTLTexture* s = sa->texture(); s && sa->level < s->mipmapLevelCount())
    w = s->levelWidth(sa->level), h = s->levelHeight(sa->level);
  es->current.viewport = MTLViewport{0, 0, (double)w, (double)h, 0, 1};

  const bool clearColor = ca->loadAction == MTLLoadActionClear;
  const bool clearStencil = sa->loadAction == MTLLoadActionClear;
  const MTLClearColor cc = ca->clearColor;
  const uint32_t cs = sa->clearStencil;
  if (clearColor || clearStencil)
    buffer->AddCommand([targets, clearColor, clearStencil, cc, cs] {
      if (clearColor) MTLRasterClearColor(targets->targets.color, targets->targets.colorLevel, cc);
      if (clearStencil) MTLRasterClearStencil(targets->targets.stencil, targets->targets.stencilLevel, cs);
    });
}

MTLRenderCommandEncoder::~MTLRenderCommandEncoder()
{
  delete mState;
}

void MTLRenderCommandEncoder::OnEnd()
{
  // Store actions: contents stay in memory whatever the action (don't-care allows that).
}

#define MTL_ENCODER_STATE                                                                                          \
  if (!Open()) return;                                                                                             \
  auto* es = mState;                                                     \
  es->snapshot.reset();                                                                                            \
  MTLDrawState& st = es->current

void MTLRenderCommandEncoder::setRenderPipelineState(MTLRenderPipelineState* state)
{
  MTL_ENCODER_STATE;
  st.pipeline = state;
}

void MTLRenderCommandEncoder::setDepthStencilState(MTLDepthStencilState* state)
{
  MTL_ENCODER_STATE;
  st.depthStencil = state;
}

void MTLRenderCommandEncoder::setStencilReferenceValue(uint32_t value)
{
  MTL_ENCODER_STATE;
  st.stencilRefFront = st.stencilRefBack = value;
}

void MTLRenderCommandEncoder::setStencilFrontReferenceValue_backReferenceValue(uint32_t front, uint32_t back)
{
  MTL_ENCODER_STATE;
  st.stencilRefFront = front, st.stencilRefBack = back;
}

void MTLRenderCommandEncoder::setViewport(MTLViewport viewport)
{
  MTL_ENCODER_STATE;
  st.viewport = viewport;
}

void MTLRenderCommandEncoder::setScissorRect(MTLScissorRect rect)
{
  MTL_ENCODER_STATE;
  st.hasScissor = true;
  st.scissor = rect;
}

void MTLRenderCommandEncoder::setCullMode(MTLCullMode mode)
{
  MTL_ENCODER_STATE;
  st.cullMode = mode;
}

void MTLRenderCommandEncoder::setFrontFacingWinding(MTLWinding winding)
{
  MTL_ENCODER_STATE;
  st.winding = winding;
}

void MTLRenderCommandEncoder::setVertexBuffer_offset_atIndex(MTLBuffer* buffer, NSUInteger offset, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index >= MTLMaxBufferArguments) return;
  st.vertexBuffers[index] = buffer;
  st.vertexOffsets[index] = offset;
}

void MTLRenderCommandEncoder::setVertexBufferOffset_atIndex(NSUInteger offset, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index < MTLMaxBufferArguments) st.vertexOffsets[index] = offset;
}

void MTLRenderCommandEncoder::setVertexBytes_length_atIndex(const void* bytes, NSUInteger length, NSUInteger index)
{
  if (!Open() || !bytes || length > 4096 || index >= MTLMaxBufferArguments) return;
  MTLBuffer* b = mBuffer->device()->newBufferWithBytes_length_options(bytes, length, 0);
  setVertexBuffer_offset_atIndex(b, 0, index);
  if (b) b->release();
}

void MTLRenderCommandEncoder::setFragmentBuffer_offset_atIndex(MTLBuffer* buffer, NSUInteger offset, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index >= MTLMaxBufferArguments) return;
  st.fragmentBuffers[index] = buffer;
  st.fragmentOffsets[index] = offset;
}

void MTLRenderCommandEncoder::setFragmentBufferOffset_atIndex(NSUInteger offset, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index < MTLMaxBufferArguments) st.fragmentOffsets[index] = offset;
}

void MTLRenderCommandEncoder::setFragmentBytes_length_atIndex(const void* bytes, NSUInteger length,
                                                             NSUInteger index)
{
  if (!Open() || !bytes || length > 4096 || index >= MTLMaxBufferArguments) return;
  MTLBuffer* b = mBuffer->device()->newBufferWithBytes_length_options(bytes, length, 0);
  setFragmentBuffer_offset_atIndex(b, 0, index);
  if (b) b->release();
}

void MTLRenderCommandEncoder::setFragmentTexture_atIndex(MTLTexture* texture, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index < MTLMaxTextureArguments) st.textures[index] = texture;
}

void MTLRenderCommandEncoder::setFragmentSamplerState_atIndex(MTLSamplerState* sampler, NSUInteger index)
{
  MTL_ENCODER_STATE;
  if (index < MTLMaxSamplerArguments) st.samplers[index] = sampler;
}

#undef MTL_ENCODER_STATE

void MTLRenderCommandEncoder::Draw(MTLPrimitiveType type, NSUInteger start, NSUInteger count, MTLBuffer* indexBuffer,
                                   MTLIndexType indexType, NSUInteger indexOffset)
{
  if (!Open() || count == 0) return;
  auto* es = mState;
  if (!es->snapshot) es->snapshot = std::make_shared<const MTLDrawState>(es->current);
  MTLDrawCall call{type, start, count, indexBuffer, indexType, indexOffset};
  MTLRef<MTLBuffer> keepIndexes(indexBuffer);
  MTLDevice* device = mBuffer->device();
  mBuffer->AddCommand([snapshot = es->snapshot, pass = es->pass, call, keepIndexes, device] {
    MTLRasterDraw(*snapshot, call, pass->targets, device->usesReferenceRasterizer() != NO);
  });
}

void MTLRenderCommandEncoder::drawPrimitives_vertexStart_vertexCount(MTLPrimitiveType type, NSUInteger start,
                                                                    NSUInteger count)
{
  Draw(type, start, count, nullptr, MTLIndexTypeUInt32, 0);
}

void MTLRenderCommandEncoder::drawIndexedPrimitives_indexCount_indexType_indexBuffer_indexBufferOffset(
  MTLPrimitiveType type, NSUInteger indexCount, MTLIndexType indexType, MTLBuffer* indexBuffer,
  NSUInteger indexBufferOffset)
{
  if (!indexBuffer) return;
  Draw(type, 0, indexCount, indexBuffer, indexType, indexBufferOffset);
}

// ---- Blits ----

void MTLBlitCommandEncoder::synchronizeResource(MTLResource* resource)
{
  if (!Open() || !resource) return;
  // Memory is shared with the CPU: ordering inside the buffer is all there is to do.
  MTLRef<MTLResource> keep(resource);
  mBuffer->AddCommand([keep] {});
}

void MTLBlitCommandEncoder::generateMipmapsForTexture(MTLTexture* texture)
{
  if (!Open() || !texture) return;
  MTLRef<MTLTexture> keep(texture);
  mBuffer->AddCommand([keep] {
    MTLTexture* t = keep.get();
    const NSUInteger bpp = t->bytesPerPixel();
    for (NSUInteger l = 1; l < t->mipmapLevelCount(); ++l)
    {
      const MTLTexture::Level& src = t->level(l - 1);
      MTLTexture::Level& dst = t->level(l);
      for (NSUInteger y = 0; y < dst.height; ++y)
        for (NSUInteger x = 0; x < dst.width; ++x)
        {
          const NSUInteger x0 = std::min(2 * x, src.width - 1), x1 = std::min(2 * x + 1, src.width - 1);
          const NSUInteger y0 = std::min(2 * y, src.height - 1), y1 = std::min(2 * y + 1, src.height - 1);
          for (NSUInteger c = 0; c < bpp; ++c)
          {
            const unsigned sum = src.bytes[(y0 * src.width + x0) * bpp + c] + src.bytes[(y0 * src.width + x1) * bpp + c] +
                                 src.bytes[(y1 * src.width + x0) * bpp + c] + src.bytes[(y1 * src.width + x1) * bpp + c];
            dst.bytes[(y * dst.width + x) * bpp + c] = (uint8_t)((sum + 2) / 4);
          }
        }
    }
  });
}

void MTLBlitCommandEncoder::
  copyFromBuffer_sourceOffset_sourceBytesPerRow_sourceBytesPerImage_sourceSize_toTexture_destinationSlice_destinationLevel_destinationOrigin(
    MTLBuffer* source, NSUInteger sourceOffset, NSUInteger sourceBytesPerRow, NSUInteger, MTLSize sourceSize,
    MTLTexture* destination, NSUInteger destinationSlice, NSUInteger destinationLevel, MTLOrigin destinationOrigin)
{
  if (!Open() || !source || !destination || destinationSlice != 0) return;
  if (destinationLevel >= destination->mipmapLevelCount() || sourceSize.depth > 1) return;
  const NSUInteger lw = destination->levelWidth(destinationLevel), lh = destination->levelHeight(destinationLevel);
  const NSUInteger bpp = destination->bytesPerPixel();
  if (destinationOrigin.x > lw || sourceSize.width > lw - destinationOrigin.x) return;
  if (destinationOrigin.y > lh || sourceSize.height > lh - destinationOrigin.y) return;
  const NSUInteger row = sourceSize.width * bpp;
  if (sourceSize.height == 0 || row == 0) return;
  if (sourceBytesPerRow < row) return;
  // The last row needs only `row` bytes.
  if (sourceOffset > source->length()) return;
  const NSUInteger avail = source->length() - sourceOffset;
  if ((sourceSize.height - 1) > (avail - std::min(avail, row)) / sourceBytesPerRow || avail < row) return;
  MTLRef<MTLBuffer> src(source);
  MTLRef<MTLTexture> dst(destination);
  mBuffer->AddCommand([src, dst, sourceOffset, sourceBytesPerRow, sourceSize, destinationLevel, destinationOrigin,
                       row, bpp] {
    MTLTexture::Level& l = dst->level(destinationLevel);
    for (NSUInteger y = 0; y < sourceSize.height; ++y)
      std::memcpy(l.bytes.data() + ((destinationOrigin.y + y) * l.width + destinationOrigin.x) * bpp,
                  src->gpuBytes() + sourceOffset + y * sourceBytesPerRow, row);
  });
}

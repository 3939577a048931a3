// Metal back end: creation and deletion, the callback table, buffer sets and the frame loop, textures,
// framebuffers and read-back.

#include "MVRcontext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

MVRframebuffer* gCurrentFramebuffer = nullptr; // [main thread]

MVRcontext_vZANIQ_au* Ctx(void* uptr) { return static_cast<MVRcontext_vZANIQ_au*>(uptr); }
MVRcontext_vZANIQ_au* Ctx(VRcontext* ctx)
{
  return ctx ? static_cast<MVRcontext_vZANIQ_au*>(vrInternalParams(ctx)->userPtr) : nullptr;
}

template <class T>
void Release(T*& object)
{
  if (object) object->release();
  object = nullptr;
}

// ---- The callback table ----
int CbCreate(void* u) { return Ctx(u)->renderCreate(); }
int CbCreateTexture(void* u, int type, int w, int h, int flags, const unsigned char* data)
{
  return Ctx(u)->renderCreateTextureWithType_width_height_imageFlags_data(type, w, h, flags, data);
}
int CbDeleteTexture(void* u, int image) { return Ctx(u)->renderDeleteTexture(image); }
int CbUpdateTexture(void* u, int image, int x, int y, int w, int h, const unsigned char* data)
{
  return Ctx(u)->renderUpdateTextureWithImage_x_y_width_height_data(image, x, y, w, h, data);
}
int CbTextureSize(void* u, int image, int* w, int* h)
{
  return Ctx(u)->renderGetTextureSizeForImage_width_height(image, w, h);
}
void CbViewport(void* u, float w, float h, float ratio)
{
  Ctx(u)->renderViewportWithWidth_height_devicePixelRatio(w, h, ratio);
}
void CbCancel(void* u) { Ctx(u)->renderCancel(); }
void CbFlush(void* u) { Ctx(u)->renderFlush(); }
void CbFill(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
            const float* bounds, const VRpath* paths, int npaths)
{
  Ctx(u)->renderFillWithPaint_compositeOperation_scissor_fringe_bounds_paths_npaths(paint, op, scissor, fringe,
                                                                                    bounds, paths, npaths);
}
void CbStroke(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
              float strokeWidth, const VRpath* paths, int npaths)
{
  Ctx(u)->renderStrokeWithPaint_compositeOperation_scissor_fringe_strokeWidth_paths_npaths(
    paint, op, scissor, fringe, strokeWidth, paths, npaths);
}
void CbTriangles(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, const VRvertex* verts,
                 int nverts, float fringe)
{
  Ctx(u)->renderTrianglesWithPaint_compositeOperation_scissor_verts_nverts_fringe(paint, op, scissor, verts,
                                                                                  nverts, fringe);
}
void CbDelete(void* u)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(u);
  mtl->renderDelete();
  mtl->release();
}

// A write-combined buffer of at least `bytes`, or null.
MTLBuffer* NewBuffer(MTLDevice* device, uint64_t bytes)
{
  if (!device || bytes == 0 || bytes > ((uint64_t)1 << 31)) return nullptr;
  return device->newBufferWithLength_options((NSUInteger)bytes, MTLResourceCPUCacheModeWriteCombined);
}

// Replaces *buffer with a larger one holding the same first `keepBytes`; false (and nothing changed) on failure.
bool GrowBuffer(MTLDevice* device, MTLBuffer*& buffer, uint64_t bytes, uint64_t keepBytes)
{
  MTLBuffer* grown = NewBuffer(device, bytes);
  if (!grown) return false;
  if (buffer && keepBytes) std::memcpy(grown->contents(), buffer->contents(), (size_t)keepBytes);
  Release(buffer);
  buffer = grown;
  return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------------------------

MVRtexture_vZANIQ_au::~MVRtexture_vZANIQ_au()
{
  Release(tex);
  Release(sampler);
}

void MVRbuffers_vZANIQ_au::Reset()
{
  image = 0;
  ncalls = nindexes = nverts = nuniforms = 0;
}

MVRbuffers_vZANIQ_au::~MVRbuffers_vZANIQ_au()
{
  Release(commandBuffer);
  Release(viewSizeBuffer);
  Release(stencilTexture);
  Release(indexBuffer);
  Release(vertBuffer);
  Release(uniformBuffer);
  std::free(calls);
}

// ---------------------------------------------------------------------------------------------------------------
// Plain entry points
// ---------------------------------------------------------------------------------------------------------------

VRcontext* vrCreateMTL(CAMetalLayer* metalLayer, int flags)
{
  if (!metalLayer) return nullptr;
  auto* mtl = new MVRcontext_vZANIQ_au();
  VRparams params{};
  params.userPtr = mtl;
  params.edgeAntiAlias = flags & 1 ? 1 : 0;
  params.renderCreate = CbCreate;
  params.renderCreateTexture = CbCreateTexture;
  params.renderDeleteTexture = CbDeleteTexture;
  params.renderUpdateTexture = CbUpdateTexture;
  params.renderGetTextureSize = CbTextureSize;
  params.renderViewport = CbViewport;
  params.renderCancel = CbCancel;
  params.renderFlush = CbFlush;
  params.renderFill = CbFill;
  params.renderStroke = CbStroke;
  params.renderTriangles = CbTriangles;
  params.renderDelete = CbDelete;
  mtl->flags = flags;
  mtl->fragSize = 256;
  mtl->indexSize = 4;
  metalLayer->retain();
  mtl->metalLayer = metalLayer;
  // On failure the renderer has called renderDelete, which released the object.
  return vrCreateInternal(&params);
}

void vrDeleteMTL(VRcontext* ctx)
{
  vrDeleteInternal(ctx);
}

MVRframebuffer* mvrCreateFramebuffer(VRcontext* ctx, int width, int height, int imageFlags)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  if (!mtl) return nullptr;
  auto* fb = static_cast<MVRframebuffer*>(std::calloc(1, sizeof(MVRframebuffer)));
  if (!fb) return nullptr;
  fb->ctx = ctx;
  fb->image = mtl->renderCreateTextureWithType_width_height_imageFlags_data(VR_TEXTURE_RGBA, width, height,
                                                                           imageFlags | VR_IMAGE_PREMULTIPLIED,
                                                                           nullptr);
  if (fb->image <= 0)
  {
    std::free(fb);
    return nullptr;
  }
  return fb;
}

void mvrDeleteFramebuffer(MVRframebuffer* fb)
{
  if (!fb) return;
  if (gCurrentFramebuffer == fb) gCurrentFramebuffer = nullptr;
  if (fb->image > 0) vrDeleteImage(fb->ctx, fb->image);
  std::free(fb);
}

void mvrBindFramebuffer(MVRframebuffer* fb)
{
  gCurrentFramebuffer = fb;
}

void mvrClearWithColor(VRcontext* ctx, VRcolor color)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  if (!mtl) return;
  mtl->clearColor[0] = color.r * color.a;
  mtl->clearColor[1] = color.g * color.a;
  mtl->clearColor[2] = color.b * color.a;
  mtl->clearColor[3] = color.a;
  mtl->clearBufferOnFlush = true;
}

MTLCommandQueue* mvrCommandQueue(VRcontext* ctx)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  return mtl ? mtl->commandQueue : nullptr;
}

MTLDevice* mvrDevice(VRcontext* ctx)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  return mtl && mtl->metalLayer ? mtl->metalLayer->device() : nullptr;
}

int mvrTarget(VRcontext*)
{
  return 1;
}

int mvrCreateImageFromHandle(VRcontext* ctx, MTLTexture* texture, int imageFlags)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  if (!mtl) return 0;
  MVRtexture_vZANIQ_au* t = mtl->allocTexture();
  if (!t) return 0;
  t->type = VR_TEXTURE_RGBA;
  t->flags = imageFlags;
  if (texture) texture->retain();
  Release(t->tex);
  t->tex = texture;
  return t->id;
}

namespace
{
// Waits until no committed buffer set targets the image.
void WaitForImage(MVRcontext_vZANIQ_au* mtl, int image)
{
  for (MVRbuffers_vZANIQ_au* set : mtl->cbuffers)
  {
    MTLCommandBuffer* cb = nullptr;
    {
      std::lock_guard lock(set->lock);
      if (set->isBusy.load() && set->image == image && set->commandBuffer)
      {
        cb = set->commandBuffer;
        cb->retain();
      }
    }
    if (cb)
    {
      cb->waitUntilCompleted();
      cb->release();
    }
  }
}
} // namespace

MTLTexture* mvrImageHandle(VRcontext* ctx, int image)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  if (!mtl) return nullptr;
  MVRtexture_vZANIQ_au* t = mtl->findTexture(image);
  if (!t) return nullptr;
  WaitForImage(mtl, image);
  return t->tex;
}

void mvrReadPixels(VRcontext* ctx, int image, int x, int y, int width, int height, void* data)
{
  MVRcontext_vZANIQ_au* mtl = Ctx(ctx);
  if (!mtl || !data) return;
  MVRtexture_vZANIQ_au* t = mtl->findTexture(image);
  if (!t || !t->tex) return;
  const int64_t tw = (int64_t)t->tex->width(), th = (int64_t)t->tex->height();
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + (int64_t)width > tw || y + (int64_t)height > th) return;
  WaitForImage(mtl, image);
  const NSUInteger bpp = t->type == VR_TEXTURE_RGBA ? 4 : 1;
  // Rows of the destination are as wide as the region asked for.
  t->tex->getBytes_bytesPerRow_fromRegion_mipmapLevel(data, (NSUInteger)width * bpp,
                                                      MTLRegionMake2D((NSUInteger)x, (NSUInteger)y,
                                                                      (NSUInteger)width, (NSUInteger)height),
                                                      0);
}

// ---------------------------------------------------------------------------------------------------------------
// Creation and deletion
// ---------------------------------------------------------------------------------------------------------------

int MVRcontext_vZANIQ_au::renderCreate()
{
  if (!metalLayer) return 0;
  if (!metalLayer->device())
  {
    MTLDevice* device = MTLCreateSystemDefaultDevice();
    metalLayer->setDevice(device);
    Release(device);
  }
  metalLayer->setOpaque(NO);
  MTLDevice* device = metalLayer->device();
  if (!device) return 0;

  dispatch_data_t data = dispatch_data_create(kMVRshaderLibrary, kMVRshaderLibraryLength, nullptr,
                                              DISPATCH_DATA_DESTRUCTOR_DEFAULT);
  NSError* error = nullptr;
  MTLLibrary* library = device->newLibraryWithData_error(data, &error);
  Release(data);
  checkError_withMessage(error, "init library");
  if (!library) return 0;

  NSString* vertexName = NSString::alloc_initWithUTF8String("vertexShader");
  NSString* fragmentName = NSString::alloc_initWithUTF8String(flags & 1 ? "fragmentShaderAA" : "fragmentShader");
  vertexFunction = library->newFunctionWithName(vertexName);
  fragmentFunction = library->newFunctionWithName(fragmentName);
  Release(vertexName);
  Release(fragmentName);
  Release(library);
  commandQueue = device->newCommandQueue();
  if (!vertexFunction || !fragmentFunction || !commandQueue) return 0;

  maxBuffers = flags & 0x2000 ? 3 : flags & 0x1000 ? 2 : 1;
  for (int i = 0; i < maxBuffers; ++i) cbuffers.push_back(new MVRbuffers_vZANIQ_au());
  clearBufferOnFlush = false;
  semaphore = dispatch_semaphore_create(maxBuffers);

  vertexDescriptor = new MTLVertexDescriptor();
  vertexDescriptor->attributes()[0]->setFormat(MTLVertexFormatFloat2);
  vertexDescriptor->attributes()[0]->setBufferIndex(0);
  vertexDescriptor->attributes()[0]->setOffset(0);
  vertexDescriptor->attributes()[1]->setFormat(MTLVertexFormatFloat2);
  vertexDescriptor->attributes()[1]->setBufferIndex(0);
  vertexDescriptor->attributes()[1]->setOffset(2 * sizeof(float));
  vertexDescriptor->layouts()[0]->setStride(sizeof(VRvertex));
  vertexDescriptor->layouts()[0]->setStepFunction(MTLVertexStepFunctionPerVertex);

  textureId = 0;
  auto* samplerDescriptor = new MTLSamplerDescriptor();
  pseudoSampler = device->newSamplerStateWithDescriptor(samplerDescriptor);
  Release(samplerDescriptor);

  blendFunc = static_cast<MVRblend*>(std::malloc(sizeof(MVRblend)));
  if (!blendFunc) return 0;
  *blendFunc = {MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha, MTLBlendFactorOne,
                MTLBlendFactorOneMinusSourceAlpha};
  return makeDepthStencilStates() ? 1 : 0;
}

void MVRcontext_vZANIQ_au::waitForFramesInFlight()
{
  for (MVRbuffers_vZANIQ_au* set : cbuffers)
  {
    MTLCommandBuffer* cb = nullptr;
    {
      std::lock_guard lock(set->lock);
      if (set->commandBuffer)
      {
        cb = set->commandBuffer;
        cb->retain();
      }
    }
    if (cb)
    {
      cb->waitUntilCompleted();
      cb->release();
    }
  }
}

void MVRcontext_vZANIQ_au::renderDelete()
{
  // Frames still on the GPU read these buffers and signal this semaphore: let them finish first.
  waitForFramesInFlight();
  if (buffers) renderCancel();
  for (MVRbuffers_vZANIQ_au* set : cbuffers) set->release();
  cbuffers.clear();
  // Each record drops its texture reference and its sampler (a kept texture lives on with its owner).
  for (MVRtexture_vZANIQ_au* t : textures) t->release();
  textures.clear();
  std::free(blendFunc);
  blendFunc = nullptr;
  Release(commandQueue);
  Release(defaultStencilState);
  Release(fillShapeStencilState);
  Release(fillAntiAliasStencilState);
  Release(fillStencilState);
  Release(strokeShapeStencilState);
  Release(strokeAntiAliasStencilState);
  Release(strokeClearStencilState);
  Release(fragmentFunction);
  Release(vertexFunction);
  Release(pipelineState);
  Release(stencilOnlyPipelineState);
  Release(pseudoSampler);
  Release(pseudoTexture);
  Release(vertexDescriptor);
  Release(semaphore);
  if (metalLayer) metalLayer->setDevice(nullptr);
  Release(metalLayer);
}

void MVRcontext_vZANIQ_au::checkError_withMessage(NSError* error, const char* message)
{
  if (error && (flags & 4))
    std::printf("Error occurs after %s: %s\n", message, error->localizedDescription()->UTF8String());
}

// ---------------------------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------------------------

void MVRcontext_vZANIQ_au::renderViewportWithWidth_height_devicePixelRatio(float width, float height,
                                                                          float devicePixelRatio)
{
  // A frame begun again without flush or cancel gives its set back first, or the rotation would lose it.
  if (buffers) renderCancel();
  auto side = [](float v) -> unsigned {
    const double d = (double)v;
    return std::isfinite(d) && d > 0 ? (unsigned)std::min(d, 16384.0) : 0u;
  };
  viewPortSize[0] = side(width * devicePixelRatio);
  viewPortSize[1] = side(height * devicePixelRatio);
  viewPixelScale[0] = viewPortSize[0] && width > 0 ? (float)viewPortSize[0] / width : 1.0f;
  viewPixelScale[1] = viewPortSize[1] && height > 0 ? (float)viewPortSize[1] / height : 1.0f;
  dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER);
  for (MVRbuffers_vZANIQ_au* set : cbuffers)
    if (!set->isBusy.load())
    {
      buffers = set;
      break;
    }
  if (!buffers) return; // cannot happen while the semaphore counts free sets
  buffers->isBusy = true;
  if (!buffers->viewSizeBuffer) buffers->viewSizeBuffer = NewBuffer(metalLayer->device(), 2 * sizeof(float));
  if (buffers->viewSizeBuffer)
  {
    const float size[2] = {width, height};
    std::memcpy(buffers->viewSizeBuffer->contents(), size, sizeof size);
  }
}

void MVRcontext_vZANIQ_au::renderCancel()
{
  // Only a frame that holds a set gives one back: the semaphore never counts above maxBuffers.
  if (!buffers) return;
  {
    std::lock_guard lock(buffers->lock);
    buffers->Reset();
    buffers->isBusy = false;
  }
  buffers = nullptr;
  dispatch_semaphore_signal(semaphore);
}

void MVRcontext_vZANIQ_au::updateStencilTextureToSize(const unsigned size[2])
{
  MTLTexture* current = buffers->stencilTexture;
  if (current && current->width() >= size[0] && current->height() >= size[1]) return;
  MTLTextureDescriptor* d =
    MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(MTLPixelFormatStencil8, size[0],
                                                                                    size[1], NO);
  d->setUsage(MTLTextureUsageRenderTarget);
  d->setStorageMode(MTLStorageModePrivate);
  MTLTexture* grown = metalLayer->device()->newTextureWithDescriptor(d);
  Release(buffers->stencilTexture);
  buffers->stencilTexture = grown;
}

MTLRenderCommandEncoder* MVRcontext_vZANIQ_au::renderCommandEncoderWithColorTexture(MTLTexture* colorTexture)
{
  MTLRenderPassDescriptor* pass = MTLRenderPassDescriptor::renderPassDescriptor();
  auto* color = pass->colorAttachments()[0];
  color->setClearColor(MTLClearColorMake(clearColor[0], clearColor[1], clearColor[2], clearColor[3]));
  color->setLoadAction(clearBufferOnFlush ? MTLLoadActionClear : MTLLoadActionLoad);
  clearBufferOnFlush = false;
  color->setStoreAction(MTLStoreActionStore);
  color->setTexture(colorTexture);
  auto* stencil = pass->stencilAttachment();
  stencil->setClearStencil(0);
  // Only stencil-then-cover fills and stencil strokes read the stencil; a pass without them need not clear it.
  bool usesStencil = false;
  for (int i = 0; i < buffers->ncalls && !usesStencil; ++i)
  {
    const int type = buffers->calls[i].type;
    usesStencil = type == MVR_FILL || (type == MVR_STROKE && (flags & 2));
  }
  stencil->setLoadAction(usesStencil ? MTLLoadActionClear : MTLLoadActionDontCare);
  stencil->setStoreAction(MTLStoreActionDontCare);
  stencil->setTexture(buffers->stencilTexture);

  MTLRenderCommandEncoder* encoder = buffers->commandBuffer->renderCommandEncoderWithDescriptor(pass);
  if (!encoder) return nullptr;
  encoder->setCullMode(MTLCullModeBack);
  encoder->setFrontFacingWinding(MTLWindingCounterClockwise);
  encoder->setStencilReferenceValue(0);
  encoder->setViewport(MTLViewport{0, 0, (double)viewPortSize[0], (double)viewPortSize[1], 0, 1});
  encoder->setVertexBuffer_offset_atIndex(buffers->vertBuffer, 0, 0);
  encoder->setVertexBuffer_offset_atIndex(buffers->viewSizeBuffer, 0, 1);
  encoder->setFragmentBuffer_offset_atIndex(buffers->uniformBuffer, 0, 0);
  return encoder;
}

void MVRcontext_vZANIQ_au::renderFlush()
{
  if (!buffers) return;
  if (viewPortSize[0] == 0 || viewPortSize[1] == 0)
  {
    renderCancel();
    return;
  }
  NSAutoreleasePool pool;

  // The target: a bound framebuffer of this context, else the layer's next drawable. Without one (a missing
  // image, a texture with a zero side, no drawable) the frame is cancelled and nothing is drawn.
  MTLTexture* target = nullptr;
  CAMetalDrawable* drawable = nullptr;
  unsigned size[2] = {viewPortSize[0], viewPortSize[1]};
  int image = 0;
  MVRframebuffer* fb = gCurrentFramebuffer;
  if (fb && Ctx(fb->ctx) == this)
  {
    MVRtexture_vZANIQ_au* t = findTexture(fb->image);
    if (t && t->tex)
    {
      target = t->tex;
      size[0] = (unsigned)target->width(), size[1] = (unsigned)target->height();
      image = fb->image;
    }
  }
  else
  {
    drawable = metalLayer->nextDrawable();
    if (drawable) target = drawable->texture();
  }
  if (!target || size[0] == 0 || size[1] == 0)
  {
    renderCancel();
    return;
  }
  updateStencilTextureToSize(size);

  MVRbuffers_vZANIQ_au* set = buffers;
  MTLCommandBuffer* cb = commandQueue->commandBuffer();
  cb->retain();
  dispatch_semaphore_t sem = semaphore;
  sem->retain();
  {
    std::lock_guard lock(set->lock);
    set->commandBuffer = cb;
    set->image = image;
  }
  cb->enqueue();
  cb->addCompletedHandler([set, sem](MTLCommandBuffer*) {
    MTLCommandBuffer* done;
    {
      std::lock_guard lock(set->lock);
      done = set->commandBuffer;
      set->commandBuffer = nullptr;
      set->Reset();
      set->isBusy = false;
    }
    if (done) done->release();
    dispatch_semaphore_signal(sem);
    sem->release();
  });

  renderEncoder = renderCommandEncoderWithColorTexture(target);
  if (renderEncoder)
  {
    const MTLPixelFormat format = target->pixelFormat();
    for (int i = 0; i < set->ncalls; ++i)
    {
      const MVRcall* call = &set->calls[i];
      updateRenderPipelineStatesForBlend_pixelFormat(&call->blend, format);
      if (useScissorRects) setScissorForCall_target(call, target);
      switch (call->type)
      {
      case MVR_FILL: fill(call); break;
      case MVR_CONVEXFILL: convexFill(call); break;
      case MVR_STROKE: stroke(call); break;
      case MVR_TRIANGLES: triangles(call); break;
      default: break;
      }
    }
    renderEncoder->endEncoding();
  }
  renderEncoder = nullptr;
  if (drawable && !metalLayer->presentsWithTransaction()) cb->presentDrawable(drawable);
  if (gCurrentFramebuffer)
  {
    MTLBlitCommandEncoder* blit = cb->blitCommandEncoder();
    blit->synchronizeResource(target);
    blit->endEncoding();
  }
  // From here the set belongs to the GPU until its completion handler gives it back.
  buffers = nullptr;
  cb->commit();
  if (drawable && metalLayer->presentsWithTransaction())
  {
    cb->waitUntilScheduled();
    drawable->present();
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Allocation in the current set
// ---------------------------------------------------------------------------------------------------------------

MVRcall* MVRcontext_vZANIQ_au::allocCall()
{
  if (!buffers) return nullptr;
  MVRbuffers_vZANIQ_au* b = buffers;
  if (b->ncalls + 1 > b->ccalls)
  {
    const int64_t ccalls = (int64_t)b->ccalls / 2 + std::max<int64_t>(b->ncalls + 1, 128);
    if (ccalls > INT32_MAX / (int64_t)sizeof(MVRcall)) return nullptr;
    auto* calls = static_cast<MVRcall*>(std::realloc(b->calls, sizeof(MVRcall) * (size_t)ccalls));
    if (!calls) return nullptr;
    b->calls = calls;
    b->ccalls = (int)ccalls;
  }
  MVRcall* call = &b->calls[b->ncalls++];
  std::memset(call, 0, sizeof(MVRcall));
  return call;
}

int MVRcontext_vZANIQ_au::allocVerts(int n)
{
  if (!buffers || n < 0) return -1;
  MVRbuffers_vZANIQ_au* b = buffers;
  if ((int64_t)b->nverts + n > b->cverts)
  {
    const int64_t cverts = (int64_t)b->cverts / 2 + std::max<int64_t>((int64_t)b->nverts + n, 4096);
    if (cverts > INT32_MAX) return -1;
    if (!GrowBuffer(metalLayer->device(), b->vertBuffer, (uint64_t)cverts * sizeof(VRvertex),
                    (uint64_t)b->nverts * sizeof(VRvertex)))
      return -1;
    b->verts = static_cast<VRvertex*>(b->vertBuffer->contents());
    b->cverts = (int)cverts;
  }
  const int first = b->nverts;
  b->nverts += n;
  return first;
}

int MVRcontext_vZANIQ_au::allocIndexes(int n)
{
  if (!buffers || n < 0) return -1;
  MVRbuffers_vZANIQ_au* b = buffers;
  if ((int64_t)b->nindexes + n > b->cindexes)
  {
    const int64_t cindexes = (int64_t)b->cindexes / 2 + std::max<int64_t>((int64_t)b->nindexes + n, 4096);
    if (cindexes > INT32_MAX) return -1;
    if (!GrowBuffer(metalLayer->device(), b->indexBuffer, (uint64_t)cindexes * (uint64_t)indexSize,
                    (uint64_t)b->nindexes * (uint64_t)indexSize))
      return -1;
    b->indexes = static_cast<uint32_t*>(b->indexBuffer->contents());
    b->cindexes = (int)cindexes;
  }
  const int first = b->nindexes;
  b->nindexes += n;
  return first;
}

int MVRcontext_vZANIQ_au::allocFragUniforms(int n)
{
  if (!buffers || n < 0) return -1;
  MVRbuffers_vZANIQ_au* b = buffers;
  if ((int64_t)b->nuniforms + n > b->cuniforms)
  {
    const int64_t cuniforms = (int64_t)b->cuniforms / 2 + std::max<int64_t>((int64_t)b->nuniforms + n, 128);
    if (cuniforms * fragSize > INT32_MAX) return -1;
    if (!GrowBuffer(metalLayer->device(), b->uniformBuffer, (uint64_t)cuniforms * (uint64_t)fragSize,
                    (uint64_t)b->nuniforms * (uint64_t)fragSize))
      return -1;
    b->uniforms = static_cast<unsigned char*>(b->uniformBuffer->contents());
    b->cuniforms = (int)cuniforms;
  }
  const int first = b->nuniforms * fragSize;
  b->nuniforms += n;
  return first;
}

MVRfragUniforms* MVRcontext_vZANIQ_au::fragUniformAtIndex(int offset)
{
  return reinterpret_cast<MVRfragUniforms*>(buffers->uniforms + offset);
}

void MVRcontext_vZANIQ_au::dropCall(int nverts, int nindexes, int nuniforms)
{
  if (!buffers) return;
  if (buffers->ncalls > 0) --buffers->ncalls;
  buffers->nverts = nverts;
  buffers->nindexes = nindexes;
  buffers->nuniforms = nuniforms;
}

// A small harness over the Metal stand-in: the vector shaders from a library container, pipelines, stencil
// states, targets, and one-call render passes that draw vertex lists in pixel units.
#pragma once

#include <Metal/Metal.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace metaltest
{

struct V
{
  float x, y, u, v;
};

// The fragment-uniform record the vector shaders read.
struct Uniforms
{
  float scissorMat[12] = {};
  float paintMat[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  float innerCol[4] = {};
  float outerCol[4] = {};
  float scissorExt[2] = {1, 1};
  float scissorScale[2] = {1, 1};
  float extent[2] = {1e6f, 1e6f};
  float radius = 0;
  float feather = 1;
  float strokeMult = 1;
  float strokeThr = -1;
  int32_t texType = 0;
  int32_t type = 0;
};
static_assert(sizeof(Uniforms) == 176);

inline Uniforms Solid(float r, float g, float b, float a)
{
  Uniforms u;
  const float c[4] = {r, g, b, a};
  std::memcpy(u.innerCol, c, sizeof c);
  std::memcpy(u.outerCol, c, sizeof c);
  return u;
}

struct StencilFace
{
  MTLCompareFunction compare = MTLCompareFunctionAlways;
  MTLStencilOperation fail = MTLStencilOperationKeep, depthFail = MTLStencilOperationKeep,
                      pass = MTLStencilOperationKeep;
  uint32_t readMask = 0xff, writeMask = 0xff;
};

struct Blend
{
  bool enabled = true;
  MTLBlendFactor srcRGB = MTLBlendFactorOne, dstRGB = MTLBlendFactorOneMinusSourceAlpha;
  MTLBlendFactor srcA = MTLBlendFactorOne, dstA = MTLBlendFactorOneMinusSourceAlpha;
  MTLBlendOperation op = MTLBlendOperationAdd;
};

struct DrawSpec
{
  std::vector<V> verts;
  std::vector<uint32_t> indexes; // empty: not indexed
  bool indexes16 = false;
  MTLPrimitiveType type = MTLPrimitiveTypeTriangle;
  MTLRenderPipelineState* pipeline = nullptr;
  MTLDepthStencilState* stencil = nullptr;
  MTLCullMode cull = MTLCullModeNone;
  MTLWinding winding = MTLWindingCounterClockwise;
  uint32_t ref = 0;
  Uniforms uniforms = Solid(1, 1, 1, 1);
  NSUInteger uniformOffset = 0; // past 80: the shader finds its record cut short
  MTLTexture* texture = nullptr;
  MTLSamplerState* sampler = nullptr;
  std::optional<MTLScissorRect> scissor;
};

inline DrawSpec Draw(std::vector<V> verts, MTLRenderPipelineState* pipeline, MTLDepthStencilState* stencil = nullptr,
                     Uniforms uniforms = Solid(1, 1, 1, 1))
{
  DrawSpec s;
  s.verts = std::move(verts);
  s.pipeline = pipeline;
  s.stencil = stencil;
  s.uniforms = uniforms;
  return s;
}

class Rig
{
public:
  explicit Rig(bool antialias = false)
  {
    device = MTLCreateSystemDefaultDevice();
    queue = device->newCommandQueue();
    const auto bytes = MTLLibraryContainerMake({{"vertexShader", MTLFunctionTypeVertex},
                                                {"fragmentShader", MTLFunctionTypeFragment},
                                                {"fragmentShaderAA", MTLFunctionTypeFragment}});
    dispatch_data_t data = dispatch_data_create(bytes.data(), bytes.size(), nullptr, DISPATCH_DATA_DESTRUCTOR_DEFAULT);
    NSError* error = nullptr;
    library = device->newLibraryWithData_error(data, &error);
    data->release();
    NSString* vn = NSString::alloc_initWithUTF8String("vertexShader");
    NSString* fn = NSString::alloc_initWithUTF8String(antialias ? "fragmentShaderAA" : "fragmentShader");
    vertexFn = library->newFunctionWithName(vn);
    fragmentFn = library->newFunctionWithName(fn);
    vn->release();
    fn->release();
  }
  ~Rig()
  {
    for (NSObject* o : owned) o->release();
    vertexFn->release();
    fragmentFn->release();
    library->release();
    queue->release();
    device->release();
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  template <class T>
  T* Keep(T* o)
  {
    if (o) owned.push_back(o);
    return o;
  }

  MTLRenderPipelineState* Pipeline(Blend b = {}, MTLPixelFormat format = MTLPixelFormatRGBA8Unorm,
                                   bool stencilOnly = false)
  {
    auto* d = new MTLRenderPipelineDescriptor();
    d->setVertexFunction(vertexFn);
    if (!stencilOnly) d->setFragmentFunction(fragmentFn);
    auto* vd = new MTLVertexDescriptor();
    vd->attributes()[0]->setFormat(MTLVertexFormatFloat2);
    vd->attributes()[1]->setFormat(MTLVertexFormatFloat2);
    vd->attributes()[1]->setOffset(8);
    vd->layouts()[0]->setStride(16);
    d->setVertexDescriptor(vd);
    vd->release();
    auto* c = d->colorAttachments()[0];
    c->setPixelFormat(format);
    c->setBlendingEnabled(b.enabled ? YES : NO);
    c->setSourceRGBBlendFactor(b.srcRGB);
    c->setDestinationRGBBlendFactor(b.dstRGB);
    c->setSourceAlphaBlendFactor(b.srcA);
    c->setDestinationAlphaBlendFactor(b.dstA);
    c->setRgbBlendOperation(b.op);
    c->setAlphaBlendOperation(b.op);
    if (stencilOnly) c->setWriteMask(MTLColorWriteMaskNone);
    d->setStencilAttachmentPixelFormat(MTLPixelFormatStencil8);
    NSError* error = nullptr;
    MTLRenderPipelineState* s = device->newRenderPipelineStateWithDescriptor_error(d, &error);
    d->release();
    return Keep(s);
  }

  MTLDepthStencilState* Stencil(std::optional<StencilFace> front, std::optional<StencilFace> back = std::nullopt)
  {
    auto* d = new MTLDepthStencilDescriptor();
    auto make = [](const StencilFace& f) {
      auto* s = new MTLStencilDescriptor();
      s->setStencilCompareFunction(f.compare);
      s->setStencilFailureOperation(f.fail);
      s->setDepthFailureOperation(f.depthFail);
      s->setDepthStencilPassOperation(f.pass);
      s->setReadMask(f.readMask);
      s->setWriteMask(f.writeMask);
      return s;
    };
    if (front)
    {
      auto* s = make(*front);
      d->setFrontFaceStencil(s);
      s->release();
    }
    if (back)
    {
      auto* s = make(*back);
      d->setBackFaceStencil(s);
      s->release();
    }
    MTLDepthStencilState* st = device->newDepthStencilStateWithDescriptor(d);
    d->release();
    return Keep(st);
  }

  MTLTexture* Texture(NSUInteger w, NSUInteger h, MTLPixelFormat format, bool mipmapped = false)
  {
    MTLTextureDescriptor* d =
      MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(format, w, h, mipmapped);
    d->setUsage(MTLTextureUsageShaderRead | MTLTextureUsageRenderTarget);
    return Keep(device->newTextureWithDescriptor(d));
  }

  MTLSamplerState* Sampler(bool linear, bool repeat, MTLSamplerMipFilter mip = MTLSamplerMipFilterNotMipmapped)
  {
    auto* d = new MTLSamplerDescriptor();
    d->setMinFilter(linear ? MTLSamplerMinMagFilterLinear : MTLSamplerMinMagFilterNearest);
    d->setMagFilter(linear ? MTLSamplerMinMagFilterLinear : MTLSamplerMinMagFilterNearest);
    d->setMipFilter(mip);
    d->setSAddressMode(repeat ? MTLSamplerAddressModeRepeat : MTLSamplerAddressModeClampToEdge);
    d->setTAddressMode(repeat ? MTLSamplerAddressModeRepeat : MTLSamplerAddressModeClampToEdge);
    MTLSamplerState* s = device->newSamplerStateWithDescriptor(d);
    d->release();
    return Keep(s);
  }

  // One render pass into color (and stencil); the view is the target's size in pixels. Waits for the GPU.
  void Pass(MTLTexture* color, MTLTexture* stencil, const std::vector<DrawSpec>& draws,
            std::optional<MTLClearColor> clear = MTLClearColor{0, 0, 0, 0}, std::optional<uint32_t> clearStencil = 0u)
  {
    NSAutoreleasePool pool;
    MTLCommandBuffer* cb = queue->commandBuffer();
    MTLRenderPassDescriptor* pass = MTLRenderPassDescriptor::renderPassDescriptor();
    auto* ca = pass->colorAttachments()[0];
    ca->setTexture(color);
    ca->setLoadAction(clear ? MTLLoadActionClear : MTLLoadActionLoad);
    if (clear) ca->setClearColor(*clear);
    ca->setStoreAction(MTLStoreActionStore);
    auto* sa = pass->stencilAttachment();
    sa->setTexture(stencil);
    sa->setLoadAction(clearStencil ? MTLLoadActionClear : MTLLoadActionLoad);
    sa->setClearStencil(clearStencil.value_or(0));
    MTLRenderCommandEncoder* enc = cb->renderCommandEncoderWithDescriptor(pass);
    MTLTexture* sized = color ? color : stencil;
    const float view[2] = {(float)sized->width(), (float)sized->height()};
    MTLBuffer* viewBuf = device->newBufferWithBytes_length_options(view, sizeof view, MTLResourceCPUCacheModeWriteCombined);
    enc->setVertexBuffer_offset_atIndex(viewBuf, 0, 1);
    viewBuf->release();
    for (const DrawSpec& d : draws)
    {
      MTLBuffer* vb = device->newBufferWithBytes_length_options(d.verts.data(), d.verts.size() * sizeof(V), 0);
      MTLBuffer* ub = device->newBufferWithLength_options(256, 0);
      std::memcpy(ub->contents(), &d.uniforms, sizeof d.uniforms);
      enc->setVertexBuffer_offset_atIndex(vb, 0, 0);
      enc->setFragmentBuffer_offset_atIndex(ub, d.uniformOffset, 0);
      enc->setRenderPipelineState(d.pipeline);
      enc->setDepthStencilState(d.stencil);
      enc->setCullMode(d.cull);
      enc->setFrontFacingWinding(d.winding);
      enc->setStencilReferenceValue(d.ref);
      enc->setFragmentTexture_atIndex(d.texture, 0);
      enc->setFragmentSamplerState_atIndex(d.sampler, 0);
      if (d.scissor) enc->setScissorRect(*d.scissor);
      if (d.indexes.empty())
        enc->drawPrimitives_vertexStart_vertexCount(d.type, 0, d.verts.size());
      else
      {
        std::vector<uint16_t> i16(d.indexes.begin(), d.indexes.end());
        MTLBuffer* ib = d.indexes16
                          ? device->newBufferWithBytes_length_options(i16.data(), i16.size() * 2, 0)
                          : device->newBufferWithBytes_length_options(d.indexes.data(), d.indexes.size() * 4, 0);
        enc->drawIndexedPrimitives_indexCount_indexType_indexBuffer_indexBufferOffset(
          d.type, d.indexes.size(), d.indexes16 ? MTLIndexTypeUInt16 : MTLIndexTypeUInt32, ib, 0);
        ib->release();
      }
      vb->release();
      ub->release();
    }
    enc->endEncoding();
    cb->commit();
    cb->waitUntilCompleted();
  }

  static std::vector<uint8_t> Bytes(MTLTexture* t)
  {
    const NSUInteger bpp = MTLPixelFormatBytesPerPixel(t->pixelFormat());
    std::vector<uint8_t> out(t->width() * t->height() * bpp);
    t->getBytes_bytesPerRow_fromRegion_mipmapLevel(out.data(), t->width() * bpp,
                                                   MTLRegionMake2D(0, 0, t->width(), t->height()), 0);
    return out;
  }

  MTLDevice* device = nullptr;
  MTLCommandQueue* queue = nullptr;
  MTLLibrary* library = nullptr;
  MTLFunction* vertexFn = nullptr;
  MTLFunction* fragmentFn = nullptr;
  std::vector<NSObject*> owned;
};

inline std::vector<V> Quad(float x0, float y0, float x1, float y1)
{
  return {{x0, y0, 0, 0}, {x1, y0, 1, 0}, {x0, y1, 0, 1}, {x1, y0, 1, 0}, {x1, y1, 1, 1}, {x0, y1, 0, 1}};
}

} // namespace metaltest

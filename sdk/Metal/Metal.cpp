// Metal stand-in: the device, resources, descriptors, libraries and pipeline states.

#include "Rasterizer.h"

#include <cstdlib>
#include <cstring>
#include <new>

std::mutex& MTLTextureMemoryLock()
{
  static std::mutex lock;
  return lock;
}

NSUInteger MTLPixelFormatBytesPerPixel(MTLPixelFormat format)
{
  switch (format)
  {
  case MTLPixelFormatA8Unorm:
  case MTLPixelFormatR8Unorm:
  case MTLPixelFormatStencil8: return 1;
  case MTLPixelFormatRGBA8Unorm:
  case MTLPixelFormatRGBA8Unorm_sRGB:
  case MTLPixelFormatBGRA8Unorm:
  case MTLPixelFormatBGRA8Unorm_sRGB: return 4;
  default: return 0;
  }
}

namespace
{
NSError* MakeError(NSInteger code, const char* text)
{
  return NSError::errorWithDomain_code_description("MTLLibraryErrorDomain", code, text);
}

// Largest texture side and buffer this device makes, as on current hardware.
constexpr NSUInteger kMaxTextureSide = 16384;
constexpr NSUInteger kMaxBufferLength = NSUInteger(1) << 32;
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------------------------

MTLResource::MTLResource(MTLDevice* device, MTLResourceOptions options)
  : mDevice(device),
    mStorageMode((MTLStorageMode)((options >> MTLResourceStorageModeShift) & 15)),
    mCPUCacheMode((MTLCPUCacheMode)((options >> MTLResourceCPUCacheModeShift) & 15))
{
  if (mDevice) mDevice->retain();
}

MTLResource::~MTLResource()
{
  if (mDevice) mDevice->release();
}

MTLBuffer::MTLBuffer(MTLDevice* device, NSUInteger length, MTLResourceOptions options, uint8_t* bytes)
  : MTLResource(device, options), mBytes(bytes), mLength(length)
{
}

MTLBuffer::~MTLBuffer()
{
  std::free(mBytes);
}

MTLTextureDescriptor* MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(
  MTLPixelFormat format, NSUInteger width, NSUInteger height, BOOL mipmapped)
{
  auto* d = new MTLTextureDescriptor();
  d->setPixelFormat(format);
  d->setWidth(width);
  d->setHeight(height);
  NSUInteger levels = 1;
  if (mipmapped)
    for (NSUInteger side = std::max(width, height); side > 1; side >>= 1) ++levels;
  d->setMipmapLevelCount(levels);
  d->autorelease();
  return d;
}

MTLTexture::MTLTexture(MTLDevice* device, const MTLTextureDescriptor* d)
  : MTLResource(device, d->resourceOptions()),
    mPixelFormat(d->pixelFormat()),
    mWidth(d->width()),
    mHeight(d->height()),
    mBytesPerPixel(MTLPixelFormatBytesPerPixel(d->pixelFormat())),
    mUsage(d->usage())
{
  NSUInteger w = mWidth, h = mHeight;
  for (NSUInteger i = 0; i < d->mipmapLevelCount(); ++i)
  {
    mLevels.push_back(Level{w, h, std::vector<uint8_t>(w * h * mBytesPerPixel, 0)});
    w = std::max<NSUInteger>(1, w / 2), h = std::max<NSUInteger>(1, h / 2);
  }
}

void MTLTexture::OweZeroRows()
{
  if (mLevels.empty()) return;
  const auto w = (uint32_t)mLevels[0].width;
  mOwedRows.resize(2 * mLevels[0].height);
  for (size_t y = 0; y < mLevels[0].height; ++y) mOwedRows[2 * y] = 0, mOwedRows[2 * y + 1] = w;
  mOwesZeros.store(true, std::memory_order_release);
}

MTLTexture::Level& MTLTexture::levelOwingZeroRows(uint32_t*& owedRows)
{
  owedRows = mOwesZeros.load(std::memory_order_acquire) ? mOwedRows.data() : nullptr;
  return mLevels[0];
}

void MTLTexture::SettleZeroRowsSlow() const
{
  auto& lv = const_cast<Level&>(mLevels[0]);
  const size_t row = lv.width * mBytesPerPixel;
  for (size_t y = 0; 2 * y + 1 < mOwedRows.size(); ++y)
  {
    const uint32_t a = mOwedRows[2 * y], b = mOwedRows[2 * y + 1];
    if (a < b) std::memset(lv.bytes.data() + y * row + a * mBytesPerPixel, 0, (b - a) * mBytesPerPixel);
    mOwedRows[2 * y] = mOwedRows[2 * y + 1] = 0;
  }
  mOwesZeros.store(false, std::memory_order_release);
}

bool MTLTexture::RegionFits(MTLRegion r, NSUInteger level, NSUInteger bytesPerRow) const
{
  if (level >= mLevels.size() || mStorageMode == MTLStorageModePrivate) return false;
  const Level& lv = mLevels[level];
  if (r.origin.x > lv.width || r.size.width > lv.width - r.origin.x) return false;
  if (r.origin.y > lv.height || r.size.height > lv.height - r.origin.y) return false;
  if (r.origin.z != 0 || r.size.depth > 1) return false;
  return r.size.height <= 1 || bytesPerRow >= r.size.width * mBytesPerPixel;
}

void MTLTexture::replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegion r, NSUInteger level, const void* bytes,
                                                                 NSUInteger bytesPerRow)
{
  if (!bytes || !RegionFits(r, level, bytesPerRow)) return;
  std::lock_guard lock(MTLTextureMemoryLock());
  Level& lv = this->level(level);
  const NSUInteger row = r.size.width * mBytesPerPixel;
  for (NSUInteger y = 0; y < r.size.height; ++y)
    std::memcpy(lv.bytes.data() + ((r.origin.y + y) * lv.width + r.origin.x) * mBytesPerPixel,
                static_cast<const uint8_t*>(bytes) + y * bytesPerRow, row);
}

void MTLTexture::getBytes_bytesPerRow_fromRegion_mipmapLevel(void* bytes, NSUInteger bytesPerRow, MTLRegion r,
                                                             NSUInteger level) const
{
  if (!bytes || !RegionFits(r, level, bytesPerRow)) return;
  std::lock_guard lock(MTLTextureMemoryLock());
  const Level& lv = this->level(level);
  const NSUInteger row = r.size.width * mBytesPerPixel;
  for (NSUInteger y = 0; y < r.size.height; ++y)
    std::memcpy(static_cast<uint8_t*>(bytes) + y * bytesPerRow,
                lv.bytes.data() + ((r.origin.y + y) * lv.width + r.origin.x) * mBytesPerPixel, row);
}

MTLSamplerState::MTLSamplerState(MTLDevice* device, const MTLSamplerDescriptor* d)
  : minFilter(d->minFilter),
    magFilter(d->magFilter),
    mipFilter(d->mipFilter),
    sAddressMode(d->sAddressMode),
    tAddressMode(d->tAddressMode),
    normalizedCoordinates(d->normalizedCoordinates),
    mDevice(device)
{
}

// ---------------------------------------------------------------------------------------------------------------
// Libraries
// ---------------------------------------------------------------------------------------------------------------

MTLFunction::MTLFunction(MTLDevice* device, const MTLShaderEntry* entry)
  : mDevice(device), mEntry(entry), mName(NSString::alloc_initWithUTF8String(entry->name))
{
}

MTLFunction::~MTLFunction()
{
  mName->release();
}

MTLFunctionType MTLFunction::functionType() const
{
  return mEntry->type;
}

MTLFunction* MTLLibrary::newFunctionWithName(const NSString* name) const
{
  if (!name) return nullptr;
  for (const std::string& n : mNames)
    if (n == name->UTF8String())
      if (const MTLShaderEntry* e = MTLFindShader(n)) return new MTLFunction(mDevice, e);
  return nullptr;
}

NSArray* MTLLibrary::functionNames() const
{
  std::vector<NSObject*> names;
  for (const std::string& n : mNames) names.push_back(NSString::stringWithUTF8String(n.c_str()));
  return NSArray::arrayWithObjects_count(names.data(), names.size());
}

std::vector<uint8_t> MTLLibraryContainerMake(const std::vector<std::pair<std::string, MTLFunctionType>>& functions,
                                             size_t paddedLength)
{
  std::vector<uint8_t> out = {'M', 'T', 'L', 'B'};
  auto put = [&](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back((uint8_t)(v >> (8 * i)));
  };
  put(functions.size(), 4);
  put(0, 8); // length, patched below
  for (const auto& [name, type] : functions)
  {
    const size_t n = std::min<size_t>(name.size(), 0xffff);
    put(type, 1);
    put(n, 2);
    out.insert(out.end(), name.begin(), name.begin() + (ptrdiff_t)n);
  }
  if (out.size() < paddedLength) out.resize(paddedLength, 0);
  for (int i = 0; i < 8; ++i) out[8 + i] = (uint8_t)((uint64_t)out.size() >> (8 * i));
  return out;
}

// ---------------------------------------------------------------------------------------------------------------
// Descriptors
// ---------------------------------------------------------------------------------------------------------------

MTLVertexDescriptor* MTLVertexDescriptor::vertexDescriptor()
{
  auto* d = new MTLVertexDescriptor();
  d->autorelease();
  return d;
}

void MTLRenderPipelineDescriptor::setVertexFunction(MTLFunction* f)
{
  if (f) f->retain();
  if (mVertexFunction) mVertexFunction->release();
  mVertexFunction = f;
}

void MTLRenderPipelineDescriptor::setFragmentFunction(MTLFunction* f)
{
  if (f) f->retain();
  if (mFragmentFunction) mFragmentFunction->release();
  mFragmentFunction = f;
}

void MTLRenderPipelineDescriptor::setVertexDescriptor(const MTLVertexDescriptor* d)
{
  mHasVertexDescriptor = d != nullptr;
  mAttributes = d ? d->attributes() : MTLVertexDescriptor::Attributes{};
  mLayouts = d ? d->layouts() : MTLVertexDescriptor::Layouts{};
}

MTLRenderPipelineDescriptor::~MTLRenderPipelineDescriptor()
{
  setVertexFunction(nullptr);
  setFragmentFunction(nullptr);
}

void MTLDepthStencilDescriptor::setFrontFaceStencil(MTLStencilDescriptor* d)
{
  if (d) d->retain();
  if (mFront) mFront->release();
  mFront = d;
}

void MTLDepthStencilDescriptor::setBackFaceStencil(MTLStencilDescriptor* d)
{
  if (d) d->retain();
  if (mBack) mBack->release();
  mBack = d;
}

MTLDepthStencilDescriptor::~MTLDepthStencilDescriptor()
{
  setFrontFaceStencil(nullptr);
  setBackFaceStencil(nullptr);
}

void MTLRenderPassAttachmentDescriptor::setTexture(MTLTexture* t)
{
  if (t) t->retain();
  if (mTexture) mTexture->release();
  mTexture = t;
}

MTLRenderPassAttachmentDescriptor::~MTLRenderPassAttachmentDescriptor()
{
  setTexture(nullptr);
}

MTLRenderPassDescriptor* MTLRenderPassDescriptor::renderPassDescriptor()
{
  auto* d = new MTLRenderPassDescriptor();
  d->autorelease();
  return d;
}

// ---------------------------------------------------------------------------------------------------------------
// The device
// ---------------------------------------------------------------------------------------------------------------

MTLDevice* MTLCreateSystemDefaultDevice()
{
  // One device per process, as on a machine with one GPU; its own reference keeps it for the process's life.
  static MTLDevice* device = new MTLDevice();
  device->retain();
  return device;
}

NSString* MTLDevice::name() const
{
  return NSString::stringWithUTF8String("ZANIQ CPU rasteriser");
}

MTLCommandQueue* MTLDevice::newCommandQueue()
{
  return new MTLCommandQueue(this);
}

MTLBuffer* MTLDevice::newBufferWithLength_options(NSUInteger length, MTLResourceOptions options)
{
  if (length == 0 || length > kMaxBufferLength) return nullptr;
  auto* bytes = static_cast<uint8_t*>(std::calloc(length, 1));
  if (!bytes) return nullptr;
  return new MTLBuffer(this, length, options, bytes);
}

MTLBuffer* MTLDevice::newBufferWithBytes_length_options(const void* bytes, NSUInteger length,
                                                        MTLResourceOptions options)
{
  if (!bytes) return nullptr;
  MTLBuffer* b = newBufferWithLength_options(length, options);
  if (b) std::memcpy(b->gpuBytes(), bytes, length);
  return b;
}

MTLTexture* MTLDevice::newTextureWithDescriptor(const MTLTextureDescriptor* d)
{
  if (!d || d->textureType() != MTLTextureType2D || MTLPixelFormatBytesPerPixel(d->pixelFormat()) == 0) return nullptr;
  if (d->width() == 0 || d->height() == 0 || d->width() > kMaxTextureSide || d->height() > kMaxTextureSide)
    return nullptr;
  NSUInteger maxLevels = 1;
  for (NSUInteger side = std::max(d->width(), d->height()); side > 1; side >>= 1) ++maxLevels;
  if (d->mipmapLevelCount() == 0 || d->mipmapLevelCount() > maxLevels) return nullptr;
  try
  {
    return new MTLTexture(this, d);
  }
  catch (const std::bad_alloc&)
  {
    return nullptr;
  }
}

MTLSamplerState* MTLDevice::newSamplerStateWithDescriptor(const MTLSamplerDescriptor* d)
{
  if (!d) return nullptr;
  return new MTLSamplerState(this, d);
}

MTLLibrary* MTLDevice::newLibraryWithData_error(dispatch_data_t data, NSError** error)
{
  if (error) *error = nullptr;
  const void* raw = nullptr;
  size_t size = 0;
  dispatch_data_t map = dispatch_data_create_map(data, &raw, &size);
  const auto* p = static_cast<const uint8_t*>(raw);
  auto fail = [&](const char* why) -> MTLLibrary* {
    if (map) map->release();
    if (error) *error = MakeError(MTLLibraryErrorInternal, why);
    return nullptr;
  };
  auto get = [&](uint64_t at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= (uint64_t)p[at + (uint64_t)i] << (8 * i);
    return v;
  };
  if (!p || size < 16 || std::memcmp(p, "MTLB", 4) != 0) return fail("Invalid library file");
  const uint64_t count = get(4, 4), length = get(8, 8);
  if (length < 16 || length > size) return fail("Invalid library file: bad length");
  if (count > 4096) return fail("Invalid library file: too many functions");
  std::vector<std::string> names;
  uint64_t at = 16;
  for (uint64_t i = 0; i < count; ++i)
  {
    if (length - at < 3) return fail("Invalid library file: truncated function list");
    const uint64_t type = get(at, 1), n = get(at + 1, 2);
    at += 3;
    if (n > length - at) return fail("Invalid library file: truncated function name");
    if (type < MTLFunctionTypeVertex || type > MTLFunctionTypeKernel) return fail("Invalid library file: bad type");
    std::string name(reinterpret_cast<const char*>(p + at), (size_t)n);
    at += n;
    // A built-in shader bound to this name must be of the declared kind.
    if (const MTLShaderEntry* e = MTLFindShader(name); e && e->type != type)
      return fail("Invalid library file: function type mismatch");
    names.push_back(std::move(name));
  }
  map->release();
  return new MTLLibrary(this, std::move(names));
}

MTLRenderPipelineState* MTLDevice::newRenderPipelineStateWithDescriptor_error(const MTLRenderPipelineDescriptor* d,
                                                                             NSError** error)
{
  if (error) *error = nullptr;
  auto fail = [&](const char* why) -> MTLRenderPipelineState* {
    if (error) *error = MakeError(MTLLibraryErrorCompileFailure, why);
    return nullptr;
  };
  if (!d) return fail("No descriptor");
  MTLFunction* vf = d->vertexFunction();
  MTLFunction* ff = d->fragmentFunction();
  if (!vf || vf->functionType() != MTLFunctionTypeVertex) return fail("Vertex function is not a vertex function");
  if (ff && ff->functionType() != MTLFunctionTypeFragment)
    return fail("Fragment function is not a fragment function");
  const auto& c0 = d->colorAttachments().slots[0];
  const MTLPixelFormat cf = c0.pixelFormat;
  if (cf != MTLPixelFormatInvalid && (MTLPixelFormatBytesPerPixel(cf) == 0 || cf == MTLPixelFormatStencil8))
    return fail("Unsupported colour attachment format");
  if (d->stencilAttachmentPixelFormat != MTLPixelFormatInvalid &&
      d->stencilAttachmentPixelFormat != MTLPixelFormatStencil8)
    return fail("Unsupported stencil attachment format");
  auto* s = new MTLRenderPipelineState(this);
  s->vertexEntry = vf->entry();
  s->fragmentEntry = ff ? ff->entry() : nullptr;
  s->attributes = d->vertexAttributes();
  s->layouts = d->vertexLayouts();
  s->color0 = c0;
  s->stencilFormat = d->stencilAttachmentPixelFormat;
  return s;
}

MTLDepthStencilState* MTLDevice::newDepthStencilStateWithDescriptor(const MTLDepthStencilDescriptor* d)
{
  if (!d) return nullptr;
  auto* s = new MTLDepthStencilState(this);
  auto face = [](const MTLStencilDescriptor* sd) {
    MTLStencilFace f;
    if (!sd) return f;
    f.enabled = true;
    f.compare = sd->stencilCompareFunction;
    f.fail = sd->stencilFailureOperation;
    f.depthFail = sd->depthFailureOperation;
    f.pass = sd->depthStencilPassOperation;
    f.readMask = (uint8_t)sd->readMask;
    f.writeMask = (uint8_t)sd->writeMask;
    return f;
  };
  s->front = face(d->frontFaceStencil());
  s->back = face(d->backFaceStencil() ? d->backFaceStencil() : d->frontFaceStencil());
  return s;
}

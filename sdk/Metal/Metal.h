// Metal: the GPU device, command queues and buffers, resources (buffers, textures, samplers), shader libraries,
// pipeline and depth-stencil states, and render and blit command encoders.
//
// This device rasterises on the CPU. Command buffers run in commit order on one GPU thread per command queue;
// scheduled and completed handlers are called on that thread. Protocol types (id<MTLDevice>, ...) are classes of
// the same name; alloc/init of a descriptor is `new MTLxDescriptor()` (the caller owns it, release() ends it).
// Methods named new... answer an object the caller owns; other factories answer autoreleased objects.
// Enumerations carry the platform's published values.
#pragma once

#include <Foundation/Foundation.h>
#include <Foundation/NSError.h>
#include <Metal/MTLTypes.h>
#include <dispatch/dispatch.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class MTLDevice;
class MTLTexture;
class MTLCommandBuffer;
class MTLCommandQueue;

// Byte size of one pixel of a colour or stencil format; 0 for formats this device does not store.
NSUInteger MTLPixelFormatBytesPerPixel(MTLPixelFormat format);

// ---- Resources ----
class MTLResource : public NSObject
{
public:
  MTLDevice* device() const { return mDevice; }
  MTLStorageMode storageMode() const { return mStorageMode; }
  MTLCPUCacheMode cpuCacheMode() const { return mCPUCacheMode; }
  MTLResourceOptions resourceOptions() const
  {
    return (mStorageMode << MTLResourceStorageModeShift) | (mCPUCacheMode << MTLResourceCPUCacheModeShift);
  }

protected:
  MTLResource(MTLDevice* device, MTLResourceOptions options);
  ~MTLResource() override;

  MTLDevice* mDevice;
  MTLStorageMode mStorageMode;
  MTLCPUCacheMode mCPUCacheMode;
};

class MTLBuffer : public MTLResource
{
public:
  // CPU address of the bytes (null for private storage, as on the platform). Zero-filled when made.
  void* contents() const { return mStorageMode == MTLStorageModePrivate ? nullptr : mBytes; }
  NSUInteger length() const { return mLength; }
  // Managed storage: tells the GPU a range changed (nothing to do when memory is shared).
  void didModifyRange(std::pair<NSUInteger, NSUInteger>) {}

  // Stand-in internals: the bytes whatever the storage mode (the GPU's view).
  uint8_t* gpuBytes() const { return mBytes; }

private:
  friend class MTLDevice;
  MTLBuffer(MTLDevice* device, NSUInteger length, MTLResourceOptions options, uint8_t* bytes);
  ~MTLBuffer() override;
  uint8_t* mBytes;
  NSUInteger mLength;
};

class MTLTextureDescriptor : public NSObject
{
public:
  MTLTextureDescriptor() = default;
  // Autoreleased; mipmapped gives the full chain down to 1 × 1.
  static MTLTextureDescriptor* texture2DDescriptorWithPixelFormat_width_height_mipmapped(MTLPixelFormat format,
                                                                                        NSUInteger width,
                                                                                        NSUInteger height,
                                                                                        BOOL mipmapped);
  MTLTextureType textureType() const { return mTextureType; }
  void setTextureType(MTLTextureType t) { mTextureType = t; }
  MTLPixelFormat pixelFormat() const { return mPixelFormat; }
  void setPixelFormat(MTLPixelFormat f) { mPixelFormat = f; }
  NSUInteger width() const { return mWidth; }
  void setWidth(NSUInteger w) { mWidth = w; }
  NSUInteger height() const { return mHeight; }
  void setHeight(NSUInteger h) { mHeight = h; }
  NSUInteger mipmapLevelCount() const { return mMipmapLevelCount; }
  void setMipmapLevelCount(NSUInteger n) { mMipmapLevelCount = n; }
  MTLTextureUsage usage() const { return mUsage; }
  void setUsage(NSUInteger u) { mUsage = (MTLTextureUsage)u; }
  MTLStorageMode storageMode() const { return mStorageMode; }
  void setStorageMode(MTLStorageMode m) { mStorageMode = m; }
  MTLCPUCacheMode cpuCacheMode() const { return mCPUCacheMode; }
  void setCpuCacheMode(MTLCPUCacheMode m) { mCPUCacheMode = m; }
  MTLResourceOptions resourceOptions() const
  {
    return (mStorageMode << MTLResourceStorageModeShift) | (mCPUCacheMode << MTLResourceCPUCacheModeShift);
  }
  void setResourceOptions(MTLResourceOptions o)
  {
    mStorageMode = (MTLStorageMode)((o >> MTLResourceStorageModeShift) & 15);
    mCPUCacheMode = (MTLCPUCacheMode)((o >> MTLResourceCPUCacheModeShift) & 15);
  }

private:
  MTLTextureType mTextureType = MTLTextureType2D;
  MTLPixelFormat mPixelFormat = MTLPixelFormatRGBA8Unorm;
  NSUInteger mWidth = 1, mHeight = 1, mMipmapLevelCount = 1;
  MTLTextureUsage mUsage = MTLTextureUsageShaderRead;
  MTLStorageMode mStorageMode = MTLStorageModeShared;
  MTLCPUCacheMode mCPUCacheMode = MTLCPUCacheModeDefaultCache;
};

class MTLTexture : public MTLResource
{
public:
  MTLTextureType textureType() const { return MTLTextureType2D; }
  MTLPixelFormat pixelFormat() const { return mPixelFormat; }
  NSUInteger width() const { return mWidth; }
  NSUInteger height() const { return mHeight; }
  NSUInteger depth() const { return 1; }
  NSUInteger mipmapLevelCount() const { return mLevels.size(); }
  MTLTextureUsage usage() const { return mUsage; }

  // Copies pixels in (rows of bytesPerRow bytes) / out of a region of one level. A region outside the level, a
  // level that does not exist, a row length shorter than the region's row, or a private texture copies nothing.
  // [any thread]
  void replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegion region, NSUInteger level, const void* bytes,
                                                       NSUInteger bytesPerRow);
  void getBytes_bytesPerRow_fromRegion_mipmapLevel(void* bytes, NSUInteger bytesPerRow, MTLRegion region,
                                                   NSUInteger level) const;

  // Stand-in internals for the GPU thread (callers hold MTLTextureMemoryLock).
  struct Level
  {
    NSUInteger width, height;
    std::vector<uint8_t> bytes; // rows of width × bytes per pixel, no padding
  };
  // A level's bytes as they read: rows of level 0 still owed their zeros get them first.
  Level& level(NSUInteger i)
  {
    if (i == 0) SettleZeroRows();
    return mLevels[i];
  }
  const Level& level(NSUInteger i) const
  {
    if (i == 0) SettleZeroRows();
    return mLevels[i];
  }
  // A level's size alone, owing or not. [any thread]
  NSUInteger levelWidth(NSUInteger i) const { return mLevels[i].width; }
  NSUInteger levelHeight(NSUInteger i) const { return mLevels[i].height; }
  NSUInteger bytesPerPixel() const { return mBytesPerPixel; }

  // Level 0 is to read as all zeros from now on. The zeros are owed: each row keeps the pixel interval that
  // still owes them, and a draw that overwrites part of it (a copy of every channel) only shrinks it, so a frame
  // that covers the whole texture never pays for them. [the only holder of the texture]
  void OweZeroRows();
  // Level 0 with its owed zeros left owing, and the owed intervals: row y owes pixels [owed[2y], owed[2y+1])
  // (none when the first is not below the second); null when nothing is owed. Whoever reads, blends into or
  // partly writes a row first pays its interval or shrinks it by what it overwrites. For a render target only.
  Level& levelOwingZeroRows(uint32_t*& owedRows);

private:
  friend class MTLDevice;
  MTLTexture(MTLDevice* device, const MTLTextureDescriptor* descriptor);
  bool RegionFits(MTLRegion region, NSUInteger level, NSUInteger bytesPerRow) const;

  MTLPixelFormat mPixelFormat;
  NSUInteger mWidth, mHeight, mBytesPerPixel;
  MTLTextureUsage mUsage;
  std::vector<Level> mLevels;
  // Rows of level 0 still owed their zeros (see OweZeroRows); read under MTLTextureMemoryLock or by the only
  // holder, like the bytes themselves.
  mutable std::vector<uint32_t> mOwedRows;
  mutable std::atomic<bool> mOwesZeros{false};
  void SettleZeroRows() const
  {
    if (mOwesZeros.load(std::memory_order_acquire)) SettleZeroRowsSlow();
  }
  void SettleZeroRowsSlow() const;
};

// The lock that orders texture memory between the CPU side (replaceRegion, getBytes) and the GPU thread, which
// holds it while it runs a command. Stand-in internals.
std::mutex& MTLTextureMemoryLock();

// ---- Samplers ----
class MTLSamplerDescriptor : public NSObject
{
public:
  MTLSamplerDescriptor() = default;
  MTLSamplerMinMagFilter minFilter = MTLSamplerMinMagFilterNearest;
  MTLSamplerMinMagFilter magFilter = MTLSamplerMinMagFilterNearest;
  MTLSamplerMipFilter mipFilter = MTLSamplerMipFilterNotMipmapped;
  MTLSamplerAddressMode sAddressMode = MTLSamplerAddressModeClampToEdge;
  MTLSamplerAddressMode tAddressMode = MTLSamplerAddressModeClampToEdge;
  BOOL normalizedCoordinates = YES;

  void setMinFilter(MTLSamplerMinMagFilter f) { minFilter = f; }
  void setMagFilter(MTLSamplerMinMagFilter f) { magFilter = f; }
  void setMipFilter(MTLSamplerMipFilter f) { mipFilter = f; }
  void setSAddressMode(MTLSamplerAddressMode m) { sAddressMode = m; }
  void setTAddressMode(MTLSamplerAddressMode m) { tAddressMode = m; }
  void setNormalizedCoordinates(BOOL b) { normalizedCoordinates = b; }
};

class MTLSamplerState : public NSObject
{
public:
  MTLDevice* device() const { return mDevice; }
  // The settings, as made (stand-in internals).
  MTLSamplerMinMagFilter minFilter, magFilter;
  MTLSamplerMipFilter mipFilter;
  MTLSamplerAddressMode sAddressMode, tAddressMode;
  BOOL normalizedCoordinates;

private:
  friend class MTLDevice;
  MTLSamplerState(MTLDevice* device, const MTLSamplerDescriptor* d);
  MTLDevice* mDevice;
};

// ---- Libraries and functions ----
struct MTLShaderEntry; // a shader written in C++ (stand-in internals)

class MTLFunction : public NSObject
{
public:
  NSString* name() const { return mName; }
  MTLFunctionType functionType() const;
  MTLDevice* device() const { return mDevice; }
  const MTLShaderEntry* entry() const { return mEntry; }

protected:
  ~MTLFunction() override;

private:
  friend class MTLLibrary;
  MTLFunction(MTLDevice* device, const MTLShaderEntry* entry);
  MTLDevice* mDevice;
  const MTLShaderEntry* mEntry;
  NSString* mName;
};

class MTLLibrary : public NSObject
{
public:
  // The function of that name in this library, or nil. The caller owns it.
  MTLFunction* newFunctionWithName(const NSString* name) const;
  // Autoreleased array of NSString.
  NSArray* functionNames() const;
  MTLDevice* device() const { return mDevice; }

private:
  friend class MTLDevice;
  MTLLibrary(MTLDevice* device, std::vector<std::string> names) : mDevice(device), mNames(std::move(names)) {}
  MTLDevice* mDevice;
  std::vector<std::string> mNames;
};

// Library container read by newLibraryWithData:error: (little-endian):
//   "MTLB", u32 function count, u64 container length (≤ the data's size), then per function: u8 function type,
//   u16 name length, the name's bytes. Anything after the last entry is ignored. Names bind to the device's
//   built-in shaders ("vertexShader", "fragmentShader", "fragmentShaderAA"); other names are listed but answer
//   nil from newFunctionWithName.
// Stand-in helper: a container with these functions, zero-padded to paddedLength when that is larger.
std::vector<uint8_t> MTLLibraryContainerMake(const std::vector<std::pair<std::string, MTLFunctionType>>& functions,
                                             size_t paddedLength = 0);

// ---- Vertex descriptors ----
class MTLVertexAttributeDescriptor
{
public:
  MTLVertexFormat format = MTLVertexFormatInvalid;
  NSUInteger offset = 0;
  NSUInteger bufferIndex = 0;
  void setFormat(MTLVertexFormat f) { format = f; }
  void setOffset(NSUInteger o) { offset = o; }
  void setBufferIndex(NSUInteger i) { bufferIndex = i; }
};

class MTLVertexBufferLayoutDescriptor
{
public:
  NSUInteger stride = 0;
  MTLVertexStepFunction stepFunction = MTLVertexStepFunctionPerVertex;
  NSUInteger stepRate = 1;
  void setStride(NSUInteger s) { stride = s; }
  void setStepFunction(MTLVertexStepFunction f) { stepFunction = f; }
  void setStepRate(NSUInteger r) { stepRate = r; }
};

inline constexpr NSUInteger MTLMaxVertexAttributes = 31;
inline constexpr NSUInteger MTLMaxBufferArguments = 31;
inline constexpr NSUInteger MTLMaxTextureArguments = 31;
inline constexpr NSUInteger MTLMaxSamplerArguments = 16;

class MTLVertexDescriptor : public NSObject
{
public:
  MTLVertexDescriptor() = default;
  // Autoreleased.
  static MTLVertexDescriptor* vertexDescriptor();
  // attributes()[i] / layouts()[i]; indexes are reduced to the last slot when too large.
  struct Attributes
  {
    MTLVertexAttributeDescriptor slots[MTLMaxVertexAttributes];
    MTLVertexAttributeDescriptor* operator[](NSUInteger i) { return &slots[i < MTLMaxVertexAttributes ? i : MTLMaxVertexAttributes - 1]; }
    MTLVertexAttributeDescriptor* objectAtIndexedSubscript(NSUInteger i) { return (*this)[i]; }
  };
  struct Layouts
  {
    MTLVertexBufferLayoutDescriptor slots[MTLMaxBufferArguments];
    MTLVertexBufferLayoutDescriptor* operator[](NSUInteger i) { return &slots[i < MTLMaxBufferArguments ? i : MTLMaxBufferArguments - 1]; }
    MTLVertexBufferLayoutDescriptor* objectAtIndexedSubscript(NSUInteger i) { return (*this)[i]; }
  };
  Attributes& attributes() { return mAttributes; }
  Layouts& layouts() { return mLayouts; }
  const Attributes& attributes() const { return mAttributes; }
  const Layouts& layouts() const { return mLayouts; }

private:
  Attributes mAttributes;
  Layouts mLayouts;
};

// ---- Render pipeline states ----
class MTLRenderPipelineColorAttachmentDescriptor
{
public:
  MTLPixelFormat pixelFormat = MTLPixelFormatInvalid;
  BOOL blendingEnabled = NO;
  MTLBlendFactor sourceRGBBlendFactor = MTLBlendFactorOne;
  MTLBlendFactor destinationRGBBlendFactor = MTLBlendFactorZero;
  MTLBlendOperation rgbBlendOperation = MTLBlendOperationAdd;
  MTLBlendFactor sourceAlphaBlendFactor = MTLBlendFactorOne;
  MTLBlendFactor destinationAlphaBlendFactor = MTLBlendFactorZero;
  MTLBlendOperation alphaBlendOperation = MTLBlendOperationAdd;
  MTLColorWriteMask writeMask = MTLColorWriteMaskAll;

  void setPixelFormat(MTLPixelFormat f) { pixelFormat = f; }
  void setBlendingEnabled(BOOL b) { blendingEnabled = b; }
  void setSourceRGBBlendFactor(MTLBlendFactor f) { sourceRGBBlendFactor = f; }
  void setDestinationRGBBlendFactor(MTLBlendFactor f) { destinationRGBBlendFactor = f; }
  void setRgbBlendOperation(MTLBlendOperation o) { rgbBlendOperation = o; }
  void setSourceAlphaBlendFactor(MTLBlendFactor f) { sourceAlphaBlendFactor = f; }
  void setDestinationAlphaBlendFactor(MTLBlendFactor f) { destinationAlphaBlendFactor = f; }
  void setAlphaBlendOperation(MTLBlendOperation o) { alphaBlendOperation = o; }
  void setWriteMask(NSUInteger m) { writeMask = (MTLColorWriteMask)m; }
};

inline constexpr NSUInteger MTLMaxColorAttachments = 8;

class MTLRenderPipelineDescriptor : public NSObject
{
public:
  MTLRenderPipelineDescriptor() = default;
  struct ColorAttachments
  {
    MTLRenderPipelineColorAttachmentDescriptor slots[MTLMaxColorAttachments];
    MTLRenderPipelineColorAttachmentDescriptor* operator[](NSUInteger i) { return &slots[i < MTLMaxColorAttachments ? i : 0]; }
    MTLRenderPipelineColorAttachmentDescriptor* objectAtIndexedSubscript(NSUInteger i) { return (*this)[i]; }
  };
  ColorAttachments& colorAttachments() { return mColor; }
  const ColorAttachments& colorAttachments() const { return mColor; }

  // The properties retain what they are given.
  MTLFunction* vertexFunction() const { return mVertexFunction; }
  void setVertexFunction(MTLFunction* f);
  MTLFunction* fragmentFunction() const { return mFragmentFunction; }
  void setFragmentFunction(MTLFunction* f);
  // Copied when set, as on the platform (null: none).
  void setVertexDescriptor(const MTLVertexDescriptor* d);
  bool hasVertexDescriptor() const { return mHasVertexDescriptor; }
  const MTLVertexDescriptor::Attributes& vertexAttributes() const { return mAttributes; }
  const MTLVertexDescriptor::Layouts& vertexLayouts() const { return mLayouts; }
  MTLPixelFormat stencilAttachmentPixelFormat = MTLPixelFormatInvalid;
  MTLPixelFormat depthAttachmentPixelFormat = MTLPixelFormatInvalid;
  void setStencilAttachmentPixelFormat(MTLPixelFormat f) { stencilAttachmentPixelFormat = f; }
  void setDepthAttachmentPixelFormat(MTLPixelFormat f) { depthAttachmentPixelFormat = f; }

protected:
  ~MTLRenderPipelineDescriptor() override;

private:
  ColorAttachments mColor;
  MTLFunction* mVertexFunction = nullptr;
  MTLFunction* mFragmentFunction = nullptr;
  MTLVertexDescriptor::Attributes mAttributes;
  MTLVertexDescriptor::Layouts mLayouts;
  bool mHasVertexDescriptor = false;
};

class MTLRenderPipelineState : public NSObject
{
public:
  MTLDevice* device() const { return mDevice; }
  // Stand-in internals: what the rasteriser needs.
  const MTLShaderEntry* vertexEntry = nullptr;
  const MTLShaderEntry* fragmentEntry = nullptr; // null: no colour output (stencil only)
  MTLVertexDescriptor::Attributes attributes;
  MTLVertexDescriptor::Layouts layouts;
  MTLRenderPipelineColorAttachmentDescriptor color0;
  MTLPixelFormat stencilFormat = MTLPixelFormatInvalid;

private:
  friend class MTLDevice;
  explicit MTLRenderPipelineState(MTLDevice* device) : mDevice(device) {}
  MTLDevice* mDevice;
};

// ---- Depth and stencil states ----
class MTLStencilDescriptor : public NSObject
{
public:
  MTLStencilDescriptor() = default;
  MTLCompareFunction stencilCompareFunction = MTLCompareFunctionAlways;
  MTLStencilOperation stencilFailureOperation = MTLStencilOperationKeep;
  MTLStencilOperation depthFailureOperation = MTLStencilOperationKeep;
  MTLStencilOperation depthStencilPassOperation = MTLStencilOperationKeep;
  uint32_t readMask = 0xff;
  uint32_t writeMask = 0xff;

  void setStencilCompareFunction(MTLCompareFunction f) { stencilCompareFunction = f; }
  void setStencilFailureOperation(MTLStencilOperation o) { stencilFailureOperation = o; }
  void setDepthFailureOperation(MTLStencilOperation o) { depthFailureOperation = o; }
  void setDepthStencilPassOperation(MTLStencilOperation o) { depthStencilPassOperation = o; }
  void setReadMask(uint32_t m) { readMask = m; }
  void setWriteMask(uint32_t m) { writeMask = m; }
};

// The stencil settings of one face, as the rasteriser reads them.
struct MTLStencilFace
{
  bool enabled = false; // false: the test passes and nothing is written
  MTLCompareFunction compare = MTLCompareFunctionAlways;
  MTLStencilOperation fail = MTLStencilOperationKeep, depthFail = MTLStencilOperationKeep,
                      pass = MTLStencilOperationKeep;
  uint8_t readMask = 0xff, writeMask = 0xff;
};

class MTLDepthStencilDescriptor : public NSObject
{
public:
  MTLDepthStencilDescriptor() = default;
  MTLCompareFunction depthCompareFunction = MTLCompareFunctionAlways;
  BOOL depthWriteEnabled = NO;
  void setDepthCompareFunction(MTLCompareFunction f) { depthCompareFunction = f; }
  void setDepthWriteEnabled(BOOL b) { depthWriteEnabled = b; }
  // Retained when set; nil by default. With only a front descriptor it governs both faces.
  MTLStencilDescriptor* frontFaceStencil() const { return mFront; }
  void setFrontFaceStencil(MTLStencilDescriptor* d);
  MTLStencilDescriptor* backFaceStencil() const { return mBack; }
  void setBackFaceStencil(MTLStencilDescriptor* d);

protected:
  ~MTLDepthStencilDescriptor() override;

private:
  MTLStencilDescriptor* mFront = nullptr;
  MTLStencilDescriptor* mBack = nullptr;
};

class MTLDepthStencilState : public NSObject
{
public:
  MTLDevice* device() const { return mDevice; }
  MTLStencilFace front, back; // stand-in internals

private:
  friend class MTLDevice;
  explicit MTLDepthStencilState(MTLDevice* device) : mDevice(device) {}
  MTLDevice* mDevice;
};

// ---- Render passes ----
class MTLRenderPassAttachmentDescriptor
{
public:
  MTLTexture* texture() const { return mTexture; }
  // Retained.
  void setTexture(MTLTexture* t);
  NSUInteger level = 0;
  MTLLoadAction loadAction = MTLLoadActionDontCare;
  MTLStoreAction storeAction = MTLStoreActionDontCare;
  void setLevel(NSUInteger l) { level = l; }
  void setLoadAction(MTLLoadAction a) { loadAction = a; }
  void setStoreAction(MTLStoreAction a) { storeAction = a; }

  MTLRenderPassAttachmentDescriptor() = default;
  MTLRenderPassAttachmentDescriptor(const MTLRenderPassAttachmentDescriptor&) = delete;
  MTLRenderPassAttachmentDescriptor& operator=(const MTLRenderPassAttachmentDescriptor&) = delete;
  ~MTLRenderPassAttachmentDescriptor();

private:
  MTLTexture* mTexture = nullptr;
};

class MTLRenderPassColorAttachmentDescriptor : public MTLRenderPassAttachmentDescriptor
{
public:
  MTLClearColor clearColor{0, 0, 0, 1};
  void setClearColor(MTLClearColor c) { clearColor = c; }
};

class MTLRenderPassStencilAttachmentDescriptor : public MTLRenderPassAttachmentDescriptor
{
public:
  uint32_t clearStencil = 0;
  void setClearStencil(uint32_t s) { clearStencil = s; }
};

class MTLRenderPassDescriptor : public NSObject
{
public:
  MTLRenderPassDescriptor() = default;
  // Autoreleased.
  static MTLRenderPassDescriptor* renderPassDescriptor();
  struct ColorAttachments
  {
    MTLRenderPassColorAttachmentDescriptor slots[MTLMaxColorAttachments];
    MTLRenderPassColorAttachmentDescriptor* operator[](NSUInteger i) { return &slots[i < MTLMaxColorAttachments ? i : 0]; }
    MTLRenderPassColorAttachmentDescriptor* objectAtIndexedSubscript(NSUInteger i) { return (*this)[i]; }
  };
  ColorAttachments& colorAttachments() { return mColor; }
  MTLRenderPassStencilAttachmentDescriptor* stencilAttachment() { return &mStencil; }

private:
  ColorAttachments mColor;
  MTLRenderPassStencilAttachmentDescriptor mStencil;
};

// ---- Drawables (presented by a command buffer after its commands ran) ----
class MTLDrawable : public NSObject
{
public:
  // Shows the drawable now. [any thread]
  virtual void present() = 0;
};

// ---- Command encoders ----
class MTLCommandEncoder : public NSObject
{
public:
  // Ends recording; later calls on the encoder are ignored.
  void endEncoding();
  MTLDevice* device() const;

protected:
  explicit MTLCommandEncoder(MTLCommandBuffer* buffer) : mBuffer(buffer) {}
  bool Open() const { return mBuffer != nullptr; }
  virtual void OnEnd() {}
  MTLCommandBuffer* mBuffer; // not retained: the buffer outlives its encoders' recording
};

struct MTLRenderEncoderState; // the encoder's recorded state (stand-in internals)

class MTLRenderCommandEncoder : public MTLCommandEncoder
{
public:
  void setRenderPipelineState(MTLRenderPipelineState* state);
  void setDepthStencilState(MTLDepthStencilState* state);
  void setStencilReferenceValue(uint32_t value);
  void setStencilFrontReferenceValue_backReferenceValue(uint32_t front, uint32_t back);
  void setViewport(MTLViewport viewport);
  // Clipped to the attachment; an empty rectangle draws nothing.
  void setScissorRect(MTLScissorRect rect);
  void setCullMode(MTLCullMode mode);
  void setFrontFacingWinding(MTLWinding winding);

  void setVertexBuffer_offset_atIndex(MTLBuffer* buffer, NSUInteger offset, NSUInteger index);
  void setVertexBufferOffset_atIndex(NSUInteger offset, NSUInteger index);
  // Copies up to 4 KB of bytes into the command stream.
  void setVertexBytes_length_atIndex(const void* bytes, NSUInteger length, NSUInteger index);
  void setFragmentBuffer_offset_atIndex(MTLBuffer* buffer, NSUInteger offset, NSUInteger index);
  void setFragmentBufferOffset_atIndex(NSUInteger offset, NSUInteger index);
  void setFragmentBytes_length_atIndex(const void* bytes, NSUInteger length, NSUInteger index);
  void setFragmentTexture_atIndex(MTLTexture* texture, NSUInteger index);
  void setFragmentSamplerState_atIndex(MTLSamplerState* sampler, NSUInteger index);

  // Triangle and triangle-strip primitives are drawn; points and lines are ignored by this device.
  void drawPrimitives_vertexStart_vertexCount(MTLPrimitiveType type, NSUInteger start, NSUInteger count);
  void drawIndexedPrimitives_indexCount_indexType_indexBuffer_indexBufferOffset(MTLPrimitiveType type,
                                                                               NSUInteger indexCount,
                                                                               MTLIndexType indexType,
                                                                               MTLBuffer* indexBuffer,
                                                                               NSUInteger indexBufferOffset);

protected:
  ~MTLRenderCommandEncoder() override;

private:
  friend class MTLCommandBuffer;
  MTLRenderCommandEncoder(MTLCommandBuffer* buffer, MTLRenderPassDescriptor* pass);
  void OnEnd() override;
  void Draw(MTLPrimitiveType type, NSUInteger start, NSUInteger count, MTLBuffer* indexBuffer,
            MTLIndexType indexType, NSUInteger indexOffset);
  MTLRenderEncoderState* mState;
};

class MTLBlitCommandEncoder : public MTLCommandEncoder
{
public:
  // Makes GPU writes to a managed resource visible to the CPU (memory is shared here: orders only).
  void synchronizeResource(MTLResource* resource);
  // Fills levels 1… of the texture from level 0 by 2 × 2 box filtering.
  void generateMipmapsForTexture(MTLTexture* texture);
  // Copies rows from a buffer into a region of a texture level (checked like replaceRegion).
  void copyFromBuffer_sourceOffset_sourceBytesPerRow_sourceBytesPerImage_sourceSize_toTexture_destinationSlice_destinationLevel_destinationOrigin(
    MTLBuffer* source, NSUInteger sourceOffset, NSUInteger sourceBytesPerRow, NSUInteger sourceBytesPerImage,
    MTLSize sourceSize, MTLTexture* destination, NSUInteger destinationSlice, NSUInteger destinationLevel,
    MTLOrigin destinationOrigin);

private:
  friend class MTLCommandBuffer;
  explicit MTLBlitCommandEncoder(MTLCommandBuffer* buffer) : MTLCommandEncoder(buffer) {}
};

// ---- Command buffers and queues ----
class MTLCommandBuffer : public NSObject
{
public:
  typedef std::function<void(MTLCommandBuffer*)> MTLCommandBufferHandler;

  MTLCommandBufferStatus status() const;
  MTLCommandQueue* commandQueue() const { return mQueue; }
  MTLDevice* device() const;
  NSError* error() const { return nullptr; }

  // Reserves this buffer's place in the queue's order.
  void enqueue();
  // Hands the buffer to the GPU thread (enqueueing it first when needed). Later commits are ignored.
  void commit();
  // Handlers added before commit run on the GPU thread: scheduled ones before the commands, completed ones after.
  void addScheduledHandler(MTLCommandBufferHandler handler);
  void addCompletedHandler(MTLCommandBufferHandler handler);
  // Block until the buffer was scheduled / completed (its handlers have run). Not before it was committed.
  void waitUntilScheduled();
  void waitUntilCompleted();

  // Presents the drawable when the buffer's commands have run.
  void presentDrawable(MTLDrawable* drawable);

  // Autoreleased; nil after commit.
  MTLRenderCommandEncoder* renderCommandEncoderWithDescriptor(MTLRenderPassDescriptor* pass);
  MTLBlitCommandEncoder* blitCommandEncoder();

  // Stand-in internals: recording (main thread) and running (GPU thread).
  using Command = std::function<void()>;
  void AddCommand(Command command);
  void Run();
  bool Recording() const;

protected:
  ~MTLCommandBuffer() override;

private:
  friend class MTLCommandQueue;
  explicit MTLCommandBuffer(MTLCommandQueue* queue) : mQueue(queue) {}

  MTLCommandQueue* mQueue;
  mutable std::mutex mMutex;
  std::condition_variable mCond;
  MTLCommandBufferStatus mStatus = MTLCommandBufferStatusNotEnqueued;
  std::vector<Command> mCommands;
  std::vector<MTLCommandBufferHandler> mScheduledHandlers, mCompletedHandlers;
  std::vector<MTLDrawable*> mDrawables;
  bool mDone = false; // completed and its handlers have run
};

class MTLCommandQueue : public NSObject
{
public:
  // A new command buffer; autoreleased.
  MTLCommandBuffer* commandBuffer();
  MTLDevice* device() const { return mDevice; }

  // Stand-in internals.
  void Enqueue(MTLCommandBuffer* buffer);
  struct State;

protected:
  ~MTLCommandQueue() override; // runs what is committed, then ends the GPU thread

private:
  friend class MTLDevice;
  explicit MTLCommandQueue(MTLDevice* device);

  MTLDevice* mDevice;
  std::shared_ptr<State> mState; // shared with the GPU thread, which may outlive this object
};

// ---- The device ----
class MTLDevice : public NSObject
{
public:
  NSString* name() const;

  // The caller owns what these answer; nil when the request cannot be met.
  MTLCommandQueue* newCommandQueue();
  MTLBuffer* newBufferWithLength_options(NSUInteger length, MTLResourceOptions options);
  MTLBuffer* newBufferWithBytes_length_options(const void* bytes, NSUInteger length, MTLResourceOptions options);
  // Colour formats R8Unorm, A8Unorm, RGBA8Unorm, BGRA8Unorm (and _sRGB stored alike) and Stencil8; zero-filled.
  MTLTexture* newTextureWithDescriptor(const MTLTextureDescriptor* descriptor);
  MTLSamplerState* newSamplerStateWithDescriptor(const MTLSamplerDescriptor* descriptor);
  // Reads a library container (see MTLLibraryContainerMake); nil and *error (autoreleased) when it is damaged.
  MTLLibrary* newLibraryWithData_error(dispatch_data_t data, NSError** error);
  // Nil and *error when a function is missing, a function has the wrong type or a format is unsupported.
  MTLRenderPipelineState* newRenderPipelineStateWithDescriptor_error(const MTLRenderPipelineDescriptor* descriptor,
                                                                    NSError** error);
  MTLDepthStencilState* newDepthStencilStateWithDescriptor(const MTLDepthStencilDescriptor* descriptor);

  // Stand-in extension: draws through the per-pixel reference path instead of the span rasteriser (for tests
  // that compare the two). [main thread, no command buffer in flight]
  void setUsesReferenceRasterizer(BOOL reference) { mReference.store(reference != NO); }
  BOOL usesReferenceRasterizer() const { return mReference.load() ? YES : NO; }

private:
  friend MTLDevice* MTLCreateSystemDefaultDevice();
  MTLDevice() = default;
  std::atomic<bool> mReference{false};
};

// The process's device; the caller owns one reference. Never nil here.
MTLDevice* MTLCreateSystemDefaultDevice();

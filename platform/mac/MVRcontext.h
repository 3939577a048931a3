// The vector renderer's Metal back end: the callback table over a Metal context object, per-frame buffer sets
// rotating over a semaphore, textures, off-screen framebuffers and pixel read-back; draw-call recording, paint
// conversion, blend mapping, pipeline and stencil states, and the encoding of each frame at flush.
//
// [main thread] for everything, except the command buffers' completion handlers, which run on Metal's thread
// and touch only their finished buffer set and the semaphore.
#pragma once

#include <Foundation/Foundation.h>
#include <Metal/Metal.h>
#include <QuartzCore/QuartzCore.h>
#include <dispatch/dispatch.h>

#include "renderer/VectorRenderer.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// ---- Plain entry points ----
// Renderer flags: 1 antialias, 2 stencil strokes, 4 debug, 0x1000 double buffering, 0x2000 triple buffering.
// A renderer context drawing into the layer; null when the library or another creation step fails.
VRcontext* vrCreateMTL(CAMetalLayer* metalLayer, int flags);
// Waits for frames in flight, then deletes the renderer context and the back end. Null is ignored.
void vrDeleteMTL(VRcontext* ctx);

struct MVRframebuffer
{
  VRcontext* ctx;
  int image; // the colour texture's image id
};

// An off-screen RGBA target of width × height pixels (premultiplied); null when the image cannot be made.
MVRframebuffer* mvrCreateFramebuffer(VRcontext* ctx, int width, int height, int imageFlags);
// Deletes its image (when the id is positive) and the record; null is ignored.
void mvrDeleteFramebuffer(MVRframebuffer* fb);
// The target of the next flushes in this process (null: the screen).
void mvrBindFramebuffer(MVRframebuffer* fb);
// The next flush clears to the colour (premultiplied here) instead of loading what the target holds.
void mvrClearWithColor(VRcontext* ctx, VRcolor color);
MTLCommandQueue* mvrCommandQueue(VRcontext* ctx);
MTLDevice* mvrDevice(VRcontext* ctx);
int mvrTarget(VRcontext* ctx);
// An RGBA image over an existing texture (retained); 0 when no record can be had.
int mvrCreateImageFromHandle(VRcontext* ctx, MTLTexture* texture, int imageFlags);
// The image's texture once no frame in flight targets it; null for an unknown id.
MTLTexture* mvrImageHandle(VRcontext* ctx, int image);
// Copies the region (x, y, width, height) of a known image, once no frame in flight targets it, into data as
// rows of width × 4 bytes (RGBA images) or width bytes (alpha images). Nothing is copied for an unknown id, a
// null destination or a region not inside the image.
void mvrReadPixels(VRcontext* ctx, int image, int x, int y, int width, int height, void* data);

// ---- Records ----
struct MVRblend
{
  uint64_t srcRGB, dstRGB, srcAlpha, dstAlpha; // Metal blend factors
};

enum MVRcallType
{
  MVR_NONE = 0,
  MVR_FILL = 1,
  MVR_CONVEXFILL = 2,
  MVR_STROKE = 3,
  MVR_TRIANGLES = 4,
};

struct MVRcall
{
  int type;
  int image;
  int pathOffset, pathCount;
  int triangleOffset, triangleCount;
  int indexOffset, indexCount;
  int strokeOffset, strokeCount;
  int uniformOffset;
  MVRblend blend;
  // Pixels the scissor can reach (x0, y0, x1, y1), rounded outwards; the whole view when it is rotated or skewed.
  int clip[4];
};

// The fragment-uniform record (176 bytes of each fragSize slot).
struct MVRfragUniforms
{
  float scissorMat[12]; // 3 columns of 4 floats
  float paintMat[12];
  float innerCol[4];
  float outerCol[4];
  float scissorExt[2];
  float scissorScale[2];
  float extent[2];
  float radius;
  float feather;
  float strokeMult;
  float strokeThr;
  int texType; // 0 premultiplied RGBA, 1 straight RGBA, 2 alpha
  int type;    // 0 gradient, 1 image, 2 textured triangles
};

class MVRtexture_vZANIQ_au : public NSObject
{
public:
  int id = 0; // 0: free record
  int type = 0;
  int flags = 0;
  MTLTexture* tex = nullptr;
  MTLSamplerState* sampler = nullptr;

protected:
  ~MVRtexture_vZANIQ_au() override;
};

// One frame's buffers. `isBusy`, `commandBuffer` and the counts change hands between the main thread and the
// completion handler under `lock`.
class MVRbuffers_vZANIQ_au : public NSObject
{
public:
  std::mutex lock;
  MTLCommandBuffer* commandBuffer = nullptr;
  std::atomic<bool> isBusy{false};
  int image = 0;
  MTLBuffer* viewSizeBuffer = nullptr;
  MTLTexture* stencilTexture = nullptr;
  MVRcall* calls = nullptr;
  int ccalls = 0, ncalls = 0;
  MTLBuffer* indexBuffer = nullptr;
  uint32_t* indexes = nullptr;
  int cindexes = 0, nindexes = 0;
  MTLBuffer* vertBuffer = nullptr;
  VRvertex* verts = nullptr;
  int cverts = 0, nverts = 0;
  MTLBuffer* uniformBuffer = nullptr;
  unsigned char* uniforms = nullptr;
  int cuniforms = 0, nuniforms = 0;

  // Counts and target back to empty (the arrays stay).
  void Reset();

protected:
  ~MVRbuffers_vZANIQ_au() override;
};

class MVRcontext_vZANIQ_au : public NSObject
{
public:
  MVRcontext_vZANIQ_au() = default;

  // ---- Properties ----
  bool clearBufferOnFlush = false;
  // Axis-aligned scissors also narrow the encoder's scissor rectangle (off: the shader's mask alone clips).
  bool useScissorRects = true;
  int fragSize = 256;
  int indexSize = 4;
  int flags = 0;
  int textureId = 0;
  int maxBuffers = 1;
  MTLCommandQueue* commandQueue = nullptr;
  CAMetalLayer* metalLayer = nullptr;
  MTLRenderCommandEncoder* renderEncoder = nullptr;
  unsigned viewPortSize[2] = {0, 0};
  float viewPixelScale[2] = {1, 1}; // pixels per view unit
  std::vector<MVRtexture_vZANIQ_au*> textures;
  MVRbuffers_vZANIQ_au* buffers = nullptr;
  std::vector<MVRbuffers_vZANIQ_au*> cbuffers;
  dispatch_semaphore_t semaphore = nullptr;
  MVRblend* blendFunc = nullptr;
  MTLDepthStencilState* defaultStencilState = nullptr;
  MTLDepthStencilState* fillShapeStencilState = nullptr;
  MTLDepthStencilState* fillAntiAliasStencilState = nullptr;
  MTLDepthStencilState* fillStencilState = nullptr;
  MTLDepthStencilState* strokeShapeStencilState = nullptr;
  MTLDepthStencilState* strokeAntiAliasStencilState = nullptr;
  MTLDepthStencilState* strokeClearStencilState = nullptr;
  MTLFunction* fragmentFunction = nullptr;
  MTLFunction* vertexFunction = nullptr;
  MTLPixelFormat piplelinePixelFormat = MTLPixelFormatInvalid;
  MTLRenderPipelineState* pipelineState = nullptr;
  MTLRenderPipelineState* stencilOnlyPipelineState = nullptr;
  MTLSamplerState* pseudoSampler = nullptr;
  MTLTexture* pseudoTexture = nullptr;
  MTLVertexDescriptor* vertexDescriptor = nullptr;
  double clearColor[4] = {0, 0, 0, 0};

  // ---- Lifecycle and frames ----
  int renderCreate();
  void renderDelete();
  void renderViewportWithWidth_height_devicePixelRatio(float width, float height, float devicePixelRatio);
  void renderCancel();
  void renderFlush();
  MTLRenderCommandEncoder* renderCommandEncoderWithColorTexture(MTLTexture* colorTexture);
  void updateStencilTextureToSize(const unsigned size[2]);

  // ---- Allocation in the current buffer set (null / -1 on failure) ----
  MVRcall* allocCall();
  int allocVerts(int n);
  int allocIndexes(int n);
  int allocFragUniforms(int n);
  MVRfragUniforms* fragUniformAtIndex(int offset);

  // ---- Textures ----
  MVRtexture_vZANIQ_au* allocTexture();
  MVRtexture_vZANIQ_au* findTexture(int id);
  // One-channel 8-bit for VR_TEXTURE_ALPHA, RGBA 8-bit for any other type; data (may be null) tightly packed.
  // The new image id, or 0 for a size below 1 or a texture that cannot be made.
  int renderCreateTextureWithType_width_height_imageFlags_data(int type, int width, int height, int imageFlags,
                                                               const unsigned char* data);
  int renderDeleteTexture(int image);
  int renderUpdateTextureWithImage_x_y_width_height_data(int image, int x, int y, int width, int height,
                                                         const unsigned char* data);
  int renderGetTextureSizeForImage_width_height(int image, int* width, int* height);
  void checkError_withMessage(NSError* error, const char* message);

  // ---- Drawing (recording) ----
  void renderFillWithPaint_compositeOperation_scissor_fringe_bounds_paths_npaths(
    VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, float fringe,
    const float* bounds, const VRpath* paths, int npaths);
  void renderStrokeWithPaint_compositeOperation_scissor_fringe_strokeWidth_paths_npaths(
    VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, float fringe,
    float strokeWidth, const VRpath* paths, int npaths);
  void renderTrianglesWithPaint_compositeOperation_scissor_verts_nverts_fringe(
    VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, const VRvertex* verts,
    int nverts, float fringe);
  int convertPaintForFrag_paint_scissor_width_fringe_strokeThr(MVRfragUniforms* frag, VRpaint* paint,
                                                               VRscissor* scissor, float width, float fringe,
                                                               float strokeThr);
  MVRblend blendCompositeOperation(VRcompositeOperationState op);
  void setClipOfCall_scissor_fringe(MVRcall* call, const VRscissor* scissor, float fringe) const;

  // ---- Encoding at flush ----
  void fill(const MVRcall* call);
  void convexFill(const MVRcall* call);
  void stroke(const MVRcall* call);
  void triangles(const MVRcall* call);
  void setScissorForCall_target(const MVRcall* call, const MTLTexture* target);
  void setUniforms_image(int uniformOffset, int image);
  void updateRenderPipelineStatesForBlend_pixelFormat(const MVRblend* blend, MTLPixelFormat pixelFormat);

  // Waits until no committed frame is in flight. [main thread]
  void waitForFramesInFlight();

protected:
  ~MVRcontext_vZANIQ_au() override = default;

private:
  // Drops the call last allocated (and what it allocated after the given marks).
  void dropCall(int nverts, int nindexes, int nuniforms);
  bool makeDepthStencilStates();
};

// The shader library container and its length, as stored in the program.
extern const unsigned char* const kMVRshaderLibrary;
extern const uint32_t kMVRshaderLibraryLength;

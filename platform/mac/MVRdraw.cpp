// Metal back end: recording fills, strokes and triangles as draw calls, paint conversion, blend mapping,
// pipeline and depth-stencil states, and encoding the calls at flush (stencil-then-cover for general fills).

#include "MVRcontext.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace
{

template <class T>
void Release(T*& object)
{
  if (object) object->release();
  object = nullptr;
}

VRcolor Premultiplied(VRcolor c)
{
  c.r *= c.a;
  c.g *= c.a;
  c.b *= c.a;
  return c;
}

// Inverse of (a, b, c, d, e, f); the identity when the determinant is within ±1e-6.
void Inverse(float inv[6], const float t[6])
{
  const double det = (double)t[0] * t[3] - (double)t[2] * t[1];
  if (det > -1e-6 && det < 1e-6)
  {
    inv[0] = 1, inv[1] = 0, inv[2] = 0, inv[3] = 1, inv[4] = 0, inv[5] = 0;
    return;
  }
  const double invdet = 1.0 / det;
  inv[0] = (float)(t[3] * invdet);
  inv[2] = (float)(-t[2] * invdet);
  inv[4] = (float)(((double)t[2] * t[5] - (double)t[3] * t[4]) * invdet);
  inv[1] = (float)(-t[1] * invdet);
  inv[3] = (float)(t[0] * invdet);
  inv[5] = (float)(((double)t[1] * t[4] - (double)t[0] * t[5]) * invdet);
}

// The 3 × 3 matrix of a transform, columns padded to four floats.
void ToMat3(float m[12], const float t[6])
{
  const float cols[12] = {t[0], t[1], 0, 0, t[2], t[3], 0, 0, t[4], t[5], 1, 0};
  std::memcpy(m, cols, sizeof cols);
}

// t = s followed by t.
void Premultiply(float t[6], const float s[6])
{
  const float r[6] = {s[0] * t[0] + s[1] * t[2],        s[0] * t[1] + s[1] * t[3],        s[2] * t[0] + s[3] * t[2],
                      s[2] * t[1] + s[3] * t[3],        s[4] * t[0] + s[5] * t[2] + t[4], s[4] * t[1] + s[5] * t[3] + t[5]};
  std::memcpy(t, r, sizeof r);
}

bool MetalFactor(int factor, uint64_t& out)
{
  switch (factor)
  {
  case VR_ZERO: out = MTLBlendFactorZero; return true;
  case VR_ONE: out = MTLBlendFactorOne; return true;
  case VR_SRC_COLOR: out = MTLBlendFactorSourceColor; return true;
  case VR_ONE_MINUS_SRC_COLOR: out = MTLBlendFactorOneMinusSourceColor; return true;
  case VR_DST_COLOR: out = MTLBlendFactorDestinationColor; return true;
  case VR_ONE_MINUS_DST_COLOR: out = MTLBlendFactorOneMinusDestinationColor; return true;
  case VR_SRC_ALPHA: out = MTLBlendFactorSourceAlpha; return true;
  case VR_ONE_MINUS_SRC_ALPHA: out = MTLBlendFactorOneMinusSourceAlpha; return true;
  case VR_DST_ALPHA: out = MTLBlendFactorDestinationAlpha; return true;
  case VR_ONE_MINUS_DST_ALPHA: out = MTLBlendFactorOneMinusDestinationAlpha; return true;
  case VR_SRC_ALPHA_SATURATE: out = MTLBlendFactorSourceAlphaSaturated; return true;
  default: return false;
  }
}

// Copies the strips of the paths into one strip at verts[at...], each framed by copies of its first and last
// vertex so that the joins are degenerate triangles; answers the number of vertices written.
int CopyJoinedStrips(VRvertex* verts, int at, const VRpath* paths, int npaths)
{
  const int start = at;
  for (int i = 0; i < npaths; ++i)
  {
    const VRpath& p = paths[i];
    if (p.nstroke <= 0 || !p.stroke) continue;
    verts[at++] = p.stroke[0];
    std::memcpy(&verts[at], p.stroke, sizeof(VRvertex) * (size_t)p.nstroke);
    at += p.nstroke;
    verts[at++] = p.stroke[p.nstroke - 1];
  }
  return at - start;
}

// Vertices CopyJoinedStrips needs; -1 beyond int range.
int64_t JoinedStripCount(const VRpath* paths, int npaths)
{
  int64_t n = 0;
  for (int i = 0; i < npaths; ++i)
    if (paths[i].nstroke > 0 && paths[i].stroke) n += (int64_t)paths[i].nstroke + 2;
  return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Paints and blends
// ---------------------------------------------------------------------------------------------------------------

MVRblend MVRcontext_vZANIQ_au::blendCompositeOperation(VRcompositeOperationState op)
{
  MVRblend b;
  if (!MetalFactor(op.srcRGB, b.srcRGB) || !MetalFactor(op.dstRGB, b.dstRGB) ||
      !MetalFactor(op.srcAlpha, b.srcAlpha) || !MetalFactor(op.dstAlpha, b.dstAlpha))
    b = {MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha, MTLBlendFactorOne, MTLBlendFactorOneMinusSourceAlpha};
  return b;
}

int MVRcontext_vZANIQ_au::convertPaintForFrag_paint_scissor_width_fringe_strokeThr(MVRfragUniforms* frag,
                                                                                  VRpaint* paint,
                                                                                  VRscissor* scissor, float width,
                                                                                  float fringe, float strokeThr)
{
  std::memset(frag, 0, sizeof *frag);
  const VRcolor inner = Premultiplied(paint->innerColor), outer = Premultiplied(paint->outerColor);
  std::memcpy(frag->innerCol, inner.rgba, sizeof frag->innerCol);
  std::memcpy(frag->outerCol, outer.rgba, sizeof frag->outerCol);

  if (scissor->extent[0] < -0.5f || scissor->extent[1] < -0.5f)
  {
    frag->scissorExt[0] = frag->scissorExt[1] = 1.0f;
    frag->scissorScale[0] = frag->scissorScale[1] = 1.0f;
  }
  else
  {
    float inv[6];
    Inverse(inv, scissor->xform);
    ToMat3(frag->scissorMat, inv);
    const float* t = scissor->xform;
    frag->scissorExt[0] = scissor->extent[0];
    frag->scissorExt[1] = scissor->extent[1];
    frag->scissorScale[0] = std::sqrt(t[0] * t[0] + t[2] * t[2]) / fringe;
    frag->scissorScale[1] = std::sqrt(t[1] * t[1] + t[3] * t[3]) / fringe;
  }

  frag->extent[0] = paint->extent[0];
  frag->extent[1] = paint->extent[1];
  frag->strokeMult = (width * 0.5f + fringe * 0.5f) / fringe;
  frag->strokeThr = strokeThr;

  float inv[6];
  if (paint->image != 0)
  {
    MVRtexture_vZANIQ_au* tex = findTexture(paint->image);
    if (!tex) return 0;
    if (tex->flags & VR_IMAGE_FLIPY)
    {
      // Flip about the middle of the image, then the paint transform.
      float m[6];
      std::memcpy(m, paint->xform, sizeof m);
      const float h = paint->extent[1];
      const float flip[6] = {1, 0, 0, -1, 0, h};
      Premultiply(m, flip);
      Inverse(inv, m);
    }
    else
      Inverse(inv, paint->xform);
    frag->type = 1;
    frag->texType = tex->type == VR_TEXTURE_RGBA ? (tex->flags & VR_IMAGE_PREMULTIPLIED ? 0 : 1) : 2;
  }
  else
  {
    frag->type = 0;
    frag->radius = paint->radius;
    frag->feather = paint->feather;
    Inverse(inv, paint->xform);
  }
  ToMat3(frag->paintMat, inv);
  return 1;
}

void MVRcontext_vZANIQ_au::setClipOfCall_scissor_fringe(MVRcall* call, const VRscissor* scissor,
                                                        float fringe) const
{
  call->clip[0] = call->clip[1] = 0;
  call->clip[2] = call->clip[3] = INT_MAX;
  if (scissor->extent[0] < -0.5f || scissor->extent[1] < -0.5f) return;
  const float* t = scissor->xform;
  // Rotated or skewed clips stay with the shader alone.
  if (t[1] != 0.0f || t[2] != 0.0f) return;
  const double hx = (double)scissor->extent[0] * std::fabs((double)t[0]) + 0.5 * std::fabs((double)fringe);
  const double hy = (double)scissor->extent[1] * std::fabs((double)t[3]) + 0.5 * std::fabs((double)fringe);
  const double sx = viewPixelScale[0], sy = viewPixelScale[1];
  const double l = (t[4] - hx) * sx, r = (t[4] + hx) * sx, top = (t[5] - hy) * sy, b = (t[5] + hy) * sy;
  if (!std::isfinite(l) || !std::isfinite(r) || !std::isfinite(top) || !std::isfinite(b)) return;
  // The shader's mask reaches half a fringe past the edge; a pixel counts when its centre lies inside that,
  // with a hair of slack so that rounding never drops a pixel the shader would still touch.
  constexpr double kLimit = 1 << 24, kSlack = 1.0 / 64;
  auto lo = [&](double v) { return (int)std::clamp(std::floor(v - 0.5 - kSlack) + 1.0, 0.0, kLimit); };
  auto hi = [&](double v) { return (int)std::clamp(std::ceil(v - 0.5 + kSlack), 0.0, kLimit); };
  call->clip[0] = lo(l);
  call->clip[1] = lo(top);
  call->clip[2] = std::max(hi(r), call->clip[0]);
  call->clip[3] = std::max(hi(b), call->clip[1]);
}

// ---------------------------------------------------------------------------------------------------------------
// Recording
// ---------------------------------------------------------------------------------------------------------------

void MVRcontext_vZANIQ_au::renderFillWithPaint_compositeOperation_scissor_fringe_bounds_paths_npaths(
  VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, float fringe,
  const float* bounds, const VRpath* paths, int npaths)
{
  if (!buffers || !paint || !scissor || !bounds || (npaths > 0 && !paths) || npaths < 0) return;
  const int marks[3] = {buffers->nverts, buffers->nindexes, buffers->nuniforms};
  MVRcall* call = allocCall();
  if (!call) return;
  call->type = MVR_FILL;
  call->triangleCount = 4;
  if (npaths == 1 && paths[0].convex)
  {
    call->type = MVR_CONVEXFILL;
    call->triangleCount = 0;
  }
  call->image = paint->image;
  call->blend = blendCompositeOperation(compositeOperation);
  setClipOfCall_scissor_fringe(call, scissor, fringe);

  // What the copies below write, counted the same way.
  int64_t maxverts = 0, maxindexes = 0;
  for (int i = 0; i < npaths; ++i)
    if (paths[i].nfill >= 3 && paths[i].fill)
    {
      maxverts += paths[i].nfill;
      maxindexes += ((int64_t)paths[i].nfill - 2) * 3;
    }
  maxverts += JoinedStripCount(paths, npaths) + call->triangleCount;
  const int vertOffset = maxverts <= INT32_MAX / 2 ? allocVerts((int)maxverts) : -1;
  const int indexOffset = vertOffset >= 0 && maxindexes <= INT32_MAX / 2 ? allocIndexes((int)maxindexes) : -1;
  if (vertOffset < 0 || indexOffset < 0) return dropCall(marks[0], marks[1], marks[2]);
  call->indexOffset = indexOffset;
  call->indexCount = (int)maxindexes;

  VRvertex* verts = buffers->verts;
  uint32_t* indexes = buffers->indexes;
  int at = vertOffset, ia = indexOffset;
  for (int i = 0; i < npaths; ++i)
  {
    const VRpath& p = paths[i];
    if (p.nfill < 3 || !p.fill) continue;
    std::memcpy(&verts[at], p.fill, sizeof(VRvertex) * (size_t)p.nfill);
    for (int k = 2; k < p.nfill; ++k)
    {
      indexes[ia++] = (uint32_t)at;
      indexes[ia++] = (uint32_t)(at + k - 1);
      indexes[ia++] = (uint32_t)(at + k);
    }
    at += p.nfill;
  }
  const int stripVerts = CopyJoinedStrips(verts, at, paths, npaths);
  call->strokeOffset = at + 1;
  call->strokeCount = stripVerts >= 2 ? stripVerts - 2 : 0;
  at += stripVerts;

  if (call->type == MVR_FILL)
  {
    // The cover quad over the bounds, as a strip.
    call->triangleOffset = at;
    const float l = bounds[0], t = bounds[1], r = bounds[2], b = bounds[3];
    verts[at++] = VRvertex{r, b, 0.5f, 1.0f};
    verts[at++] = VRvertex{r, t, 0.5f, 1.0f};
    verts[at++] = VRvertex{l, b, 0.5f, 1.0f};
    verts[at++] = VRvertex{l, t, 0.5f, 1.0f};
  }

  call->uniformOffset = allocFragUniforms(1);
  if (call->uniformOffset < 0 ||
      !convertPaintForFrag_paint_scissor_width_fringe_strokeThr(fragUniformAtIndex(call->uniformOffset), paint,
                                                                scissor, fringe, fringe, -1.0f))
    return dropCall(marks[0], marks[1], marks[2]);
}

void MVRcontext_vZANIQ_au::renderStrokeWithPaint_compositeOperation_scissor_fringe_strokeWidth_paths_npaths(
  VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, float fringe, float strokeWidth,
  const VRpath* paths, int npaths)
{
  if (!buffers || !paint || !scissor || (npaths > 0 && !paths) || npaths < 0) return;
  const int marks[3] = {buffers->nverts, buffers->nindexes, buffers->nuniforms};
  MVRcall* call = allocCall();
  if (!call) return;
  call->type = MVR_STROKE;
  call->image = paint->image;
  call->blend = blendCompositeOperation(compositeOperation);
  setClipOfCall_scissor_fringe(call, scissor, fringe);

  const int64_t maxverts = JoinedStripCount(paths, npaths);
  const int offset = maxverts <= INT32_MAX / 2 ? allocVerts((int)maxverts) : -1;
  if (offset < 0) return dropCall(marks[0], marks[1], marks[2]);
  const int n = CopyJoinedStrips(buffers->verts, offset, paths, npaths);
  call->strokeOffset = offset + 1;
  call->strokeCount = n >= 2 ? n - 2 : 0;

  const bool stencilStrokes = flags & 2;
  call->uniformOffset = allocFragUniforms(stencilStrokes ? 2 : 1);
  if (call->uniformOffset < 0) return dropCall(marks[0], marks[1], marks[2]);
  if (!convertPaintForFrag_paint_scissor_width_fringe_strokeThr(fragUniformAtIndex(call->uniformOffset), paint,
                                                                scissor, strokeWidth, fringe, -1.0f))
    return dropCall(marks[0], marks[1], marks[2]);
  if (stencilStrokes &&
      !convertPaintForFrag_paint_scissor_width_fringe_strokeThr(fragUniformAtIndex(call->uniformOffset + fragSize),
                                                                paint, scissor, strokeWidth, fringe,
                                                                1.0f - 0.5f / 255.0f))
    return dropCall(marks[0], marks[1], marks[2]);
}

void MVRcontext_vZANIQ_au::renderTrianglesWithPaint_compositeOperation_scissor_verts_nverts_fringe(
  VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor, const VRvertex* verts,
  int nverts, float fringe)
{
  if (!buffers || !paint || !scissor || nverts < 0 || (nverts > 0 && !verts)) return;
  const int marks[3] = {buffers->nverts, buffers->nindexes, buffers->nuniforms};
  MVRcall* call = allocCall();
  if (!call) return;
  call->type = MVR_TRIANGLES;
  call->image = paint->image;
  call->blend = blendCompositeOperation(compositeOperation);
  setClipOfCall_scissor_fringe(call, scissor, fringe);
  call->triangleOffset = allocVerts(nverts);
  if (call->triangleOffset < 0) return dropCall(marks[0], marks[1], marks[2]);
  call->triangleCount = nverts;
  if (nverts) std::memcpy(&buffers->verts[call->triangleOffset], verts, sizeof(VRvertex) * (size_t)nverts);

  call->uniformOffset = allocFragUniforms(1);
  if (call->uniformOffset < 0) return dropCall(marks[0], marks[1], marks[2]);
  MVRfragUniforms* frag = fragUniformAtIndex(call->uniformOffset);
  if (!convertPaintForFrag_paint_scissor_width_fringe_strokeThr(frag, paint, scissor, 1.0f, fringe, -1.0f))
    return dropCall(marks[0], marks[1], marks[2]);
  frag->type = 2;
}

// ---------------------------------------------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------------------------------------------

bool MVRcontext_vZANIQ_au::makeDepthStencilStates()
{
  MTLDevice* device = metalLayer->device();
  struct Face
  {
    MTLCompareFunction compare;
    MTLStencilOperation fail, depthFail, pass;
  };
  auto make = [&](const Face* front, const Face* back) {
    auto* d = new MTLDepthStencilDescriptor();
    auto face = [](const Face& f) {
      auto* s = new MTLStencilDescriptor();
      s->setStencilCompareFunction(f.compare);
      s->setStencilFailureOperation(f.fail);
      s->setDepthFailureOperation(f.depthFail);
      s->setDepthStencilPassOperation(f.pass);
      return s;
    };
    if (front)
    {
      MTLStencilDescriptor* s = face(*front);
      d->setFrontFaceStencil(s);
      s->release();
    }
    if (back)
    {
      MTLStencilDescriptor* s = face(*back);
      d->setBackFaceStencil(s);
      s->release();
    }
    MTLDepthStencilState* state = device->newDepthStencilStateWithDescriptor(d);
    d->release();
    return state;
  };
  const Face shapeFront{MTLCompareFunctionAlways, MTLStencilOperationKeep, MTLStencilOperationKeep,
                        MTLStencilOperationIncrementWrap};
  const Face shapeBack{MTLCompareFunctionAlways, MTLStencilOperationKeep, MTLStencilOperationKeep,
                       MTLStencilOperationDecrementWrap};
  const Face fillAA{MTLCompareFunctionEqual, MTLStencilOperationKeep, MTLStencilOperationKeep,
                    MTLStencilOperationZero};
  const Face fillCover{MTLCompareFunctionNotEqual, MTLStencilOperationZero, MTLStencilOperationZero,
                       MTLStencilOperationZero};
  const Face strokeShape{MTLCompareFunctionEqual, MTLStencilOperationKeep, MTLStencilOperationKeep,
                         MTLStencilOperationIncrementClamp};
  const Face strokeAA{MTLCompareFunctionEqual, MTLStencilOperationKeep, MTLStencilOperationKeep,
                      MTLStencilOperationKeep};
  const Face strokeClear{MTLCompareFunctionAlways, MTLStencilOperationZero, MTLStencilOperationZero,
                         MTLStencilOperationZero};
  defaultStencilState = make(nullptr, nullptr);
  fillShapeStencilState = make(&shapeFront, &shapeBack);
  fillAntiAliasStencilState = make(&fillAA, nullptr);
  fillStencilState = make(&fillCover, nullptr);
  strokeShapeStencilState = make(&strokeShape, nullptr);
  strokeAntiAliasStencilState = make(&strokeAA, nullptr);
  strokeClearStencilState = make(&strokeClear, nullptr);
  return defaultStencilState && fillShapeStencilState && fillAntiAliasStencilState && fillStencilState &&
         strokeShapeStencilState && strokeAntiAliasStencilState && strokeClearStencilState;
}

void MVRcontext_vZANIQ_au::updateRenderPipelineStatesForBlend_pixelFormat(const MVRblend* blend,
                                                                          MTLPixelFormat pixelFormat)
{
  if (pipelineState && stencilOnlyPipelineState && piplelinePixelFormat == pixelFormat &&
      std::memcmp(blendFunc, blend, sizeof(MVRblend)) == 0)
    return;
  MTLDevice* device = metalLayer->device();
  auto* d = new MTLRenderPipelineDescriptor();
  auto* color = d->colorAttachments()[0];
  color->setPixelFormat(pixelFormat);
  d->setStencilAttachmentPixelFormat(MTLPixelFormatStencil8);
  d->setVertexFunction(vertexFunction);
  d->setFragmentFunction(fragmentFunction);
  d->setVertexDescriptor(vertexDescriptor);
  color->setBlendingEnabled(YES);
  color->setSourceRGBBlendFactor((MTLBlendFactor)blend->srcRGB);
  color->setSourceAlphaBlendFactor((MTLBlendFactor)blend->srcAlpha);
  color->setDestinationRGBBlendFactor((MTLBlendFactor)blend->dstRGB);
  color->setDestinationAlphaBlendFactor((MTLBlendFactor)blend->dstAlpha);

  NSError* error = nullptr;
  Release(pipelineState);
  pipelineState = device->newRenderPipelineStateWithDescriptor_error(d, &error);
  checkError_withMessage(error, "init pipeline state");
  *blendFunc = *blend;

  d->setFragmentFunction(nullptr);
  color->setWriteMask(MTLColorWriteMaskNone);
  error = nullptr;
  Release(stencilOnlyPipelineState);
  stencilOnlyPipelineState = device->newRenderPipelineStateWithDescriptor_error(d, &error);
  checkError_withMessage(error, "init pipeline stencil only state");
  piplelinePixelFormat = pixelFormat;
  d->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Encoding
// ---------------------------------------------------------------------------------------------------------------

void MVRcontext_vZANIQ_au::setUniforms_image(int uniformOffset, int image)
{
  renderEncoder->setFragmentBufferOffset_atIndex((NSUInteger)uniformOffset, 0);
  MVRtexture_vZANIQ_au* tex = image != 0 ? findTexture(image) : nullptr;
  if (tex)
  {
    renderEncoder->setFragmentTexture_atIndex(tex->tex, 0);
    renderEncoder->setFragmentSamplerState_atIndex(tex->sampler, 0);
  }
  else
  {
    renderEncoder->setFragmentTexture_atIndex(pseudoTexture, 0);
    renderEncoder->setFragmentSamplerState_atIndex(pseudoSampler, 0);
  }
}

void MVRcontext_vZANIQ_au::convexFill(const MVRcall* call)
{
  setUniforms_image(call->uniformOffset, call->image);
  renderEncoder->setRenderPipelineState(pipelineState);
  if (call->indexCount > 0)
    renderEncoder->drawIndexedPrimitives_indexCount_indexType_indexBuffer_indexBufferOffset(
      MTLPrimitiveTypeTriangle, (NSUInteger)call->indexCount, MTLIndexTypeUInt32, buffers->indexBuffer,
      (NSUInteger)call->indexOffset * (NSUInteger)indexSize);
  if (call->strokeCount > 0)
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                          (NSUInteger)call->strokeOffset,
                                                          (NSUInteger)call->strokeCount);
}

void MVRcontext_vZANIQ_au::fill(const MVRcall* call)
{
  // The fans into the stencil: front faces count up, back faces down (non-zero winding).
  renderEncoder->setCullMode(MTLCullModeNone);
  renderEncoder->setDepthStencilState(fillShapeStencilState);
  renderEncoder->setRenderPipelineState(stencilOnlyPipelineState);
  if (call->indexCount > 0)
    renderEncoder->drawIndexedPrimitives_indexCount_indexType_indexBuffer_indexBufferOffset(
      MTLPrimitiveTypeTriangle, (NSUInteger)call->indexCount, MTLIndexTypeUInt32, buffers->indexBuffer,
      (NSUInteger)call->indexOffset * (NSUInteger)indexSize);
  renderEncoder->setCullMode(MTLCullModeBack);

  renderEncoder->setRenderPipelineState(pipelineState);
  setUniforms_image(call->uniformOffset, call->image);
  if ((flags & 1) && call->strokeCount > 0)
  {
    // The fringe only outside the shape (stencil 0).
    renderEncoder->setDepthStencilState(fillAntiAliasStencilState);
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                          (NSUInteger)call->strokeOffset,
                                                          (NSUInteger)call->strokeCount);
  }
  // Cover where the count is not zero, resetting it.
  renderEncoder->setDepthStencilState(fillStencilState);
  renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                        (NSUInteger)call->triangleOffset,
                                                        (NSUInteger)call->triangleCount);
  renderEncoder->setDepthStencilState(defaultStencilState);
}

void MVRcontext_vZANIQ_au::stroke(const MVRcall* call)
{
  if (call->strokeCount < 1) return;
  if (flags & 2)
  {
    // Stencil strokes: inner part once, the antialiased rest where nothing was drawn, then clear.
    setUniforms_image(call->uniformOffset + fragSize, call->image);
    renderEncoder->setDepthStencilState(strokeShapeStencilState);
    renderEncoder->setRenderPipelineState(pipelineState);
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                          (NSUInteger)call->strokeOffset,
                                                          (NSUInteger)call->strokeCount);
    setUniforms_image(call->uniformOffset, call->image);
    renderEncoder->setDepthStencilState(strokeAntiAliasStencilState);
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                          (NSUInteger)call->strokeOffset,
                                                          (NSUInteger)call->strokeCount);
    renderEncoder->setDepthStencilState(strokeClearStencilState);
    renderEncoder->setRenderPipelineState(stencilOnlyPipelineState);
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip,
                                                          (NSUInteger)call->strokeOffset,
                                                          (NSUInteger)call->strokeCount);
    renderEncoder->setDepthStencilState(defaultStencilState);
    return;
  }
  setUniforms_image(call->uniformOffset, call->image);
  renderEncoder->setRenderPipelineState(pipelineState);
  renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangleStrip, (NSUInteger)call->strokeOffset,
                                                        (NSUInteger)call->strokeCount);
}

void MVRcontext_vZANIQ_au::setScissorForCall_target(const MVRcall* call, const MTLTexture* target)
{
  const int64_t w = (int64_t)target->width(), h = (int64_t)target->height();
  const int64_t x0 = std::min<int64_t>(call->clip[0], w), y0 = std::min<int64_t>(call->clip[1], h);
  const int64_t x1 = std::clamp<int64_t>(call->clip[2], x0, w), y1 = std::clamp<int64_t>(call->clip[3], y0, h);
  renderEncoder->setScissorRect(MTLScissorRect{(NSUInteger)x0, (NSUInteger)y0, (NSUInteger)(x1 - x0),
                                               (NSUInteger)(y1 - y0)});
}

void MVRcontext_vZANIQ_au::triangles(const MVRcall* call)
{
  setUniforms_image(call->uniformOffset, call->image);
  renderEncoder->setRenderPipelineState(pipelineState);
  if (call->triangleCount > 0)
    renderEncoder->drawPrimitives_vertexStart_vertexCount(MTLPrimitiveTypeTriangle, (NSUInteger)call->triangleOffset,
                                                          (NSUInteger)call->triangleCount);
}

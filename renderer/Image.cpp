// Images: decoding and forwarding to the back end's texture calls.

#include "renderer/VectorRenderer_p.h"

namespace {

int createDecoded(VRcontext* ctx, unsigned char* pixels, int w, int h, int imageFlags)
{
  if (!pixels) return 0;
  const int image = vrCreateImageRGBA(ctx, w, h, imageFlags, pixels);
  vr__freeImage(pixels);
  return image;
}

} // namespace

int vrCreateImage(VRcontext* ctx, const char* filename, int imageFlags)
{
  if (!filename) return 0;
  int w = 0, h = 0;
  unsigned char* pixels = vr__decodeImageFile(filename, &w, &h);
  return createDecoded(ctx, pixels, w, h, imageFlags);
}

int vrCreateImageMem(VRcontext* ctx, int imageFlags, const unsigned char* data, int ndata)
{
  if (!data || ndata <= 0) return 0;
  int w = 0, h = 0;
  unsigned char* pixels = vr__decodeImageMem(data, ndata, &w, &h);
  return createDecoded(ctx, pixels, w, h, imageFlags);
}

int vrCreateImageRGBA(VRcontext* ctx, int w, int h, int imageFlags, const unsigned char* data)
{
  // A texture of no pixels cannot be sampled: refuse it here rather than hand the back end a zero size.
  if (w <= 0 || h <= 0) return 0;
  if (!ctx->params.renderCreateTexture) return 0;
  return ctx->params.renderCreateTexture(ctx->params.userPtr, VR_TEXTURE_RGBA, w, h, imageFlags, data);
}

int vrUpdateImage(VRcontext* ctx, int image, const unsigned char* data)
{
  int w = 0, h = 0;
  if (ctx->params.renderGetTextureSize) ctx->params.renderGetTextureSize(ctx->params.userPtr, image, &w, &h);
  if (!ctx->params.renderUpdateTexture) return 0;
  return ctx->params.renderUpdateTexture(ctx->params.userPtr, image, 0, 0, w, h, data);
}

void vrImageSize(VRcontext* ctx, int image, int* w, int* h)
{
  if (ctx->params.renderGetTextureSize) ctx->params.renderGetTextureSize(ctx->params.userPtr, image, w, h);
}

int vrDeleteImage(VRcontext* ctx, int image)
{
  if (!ctx->params.renderDeleteTexture) return 0;
  return ctx->params.renderDeleteTexture(ctx->params.userPtr, image);
}

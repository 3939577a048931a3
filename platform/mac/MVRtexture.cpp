// Metal back end: texture records, their textures and samplers.

#include "MVRcontext.h"

#include <cstring>

namespace
{
template <class T>
void Release(T*& object)
{
  if (object) object->release();
  object = nullptr;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------------------------------

MVRtexture_vZANIQ_au* MVRcontext_vZANIQ_au::allocTexture()
{
  MVRtexture_vZANIQ_au* t = nullptr;
  for (MVRtexture_vZANIQ_au* r : textures)
    if (r->id == 0)
    {
      t = r;
      break;
    }
  if (!t)
  {
    t = new MVRtexture_vZANIQ_au();
    textures.push_back(t);
  }
  t->id = ++textureId;
  return t;
}

MVRtexture_vZANIQ_au* MVRcontext_vZANIQ_au::findTexture(int id)
{
  if (id <= 0) return nullptr;
  for (MVRtexture_vZANIQ_au* r : textures)
    if (r->id == id) return r;
  return nullptr;
}

int MVRcontext_vZANIQ_au::renderCreateTextureWithType_width_height_imageFlags_data(int type, int width, int height,
                                                                                  int imageFlags,
                                                                                  const unsigned char* data)
{
  if (width <= 0 || height <= 0) return 0;
  // Only alpha textures are one channel; every other type is RGBA, and is recorded as such so that updates,
  // read-back and paints count four bytes a pixel.
  type = type == VR_TEXTURE_ALPHA ? VR_TEXTURE_ALPHA : VR_TEXTURE_RGBA;
  MTLDevice* device = metalLayer->device();
  const MTLPixelFormat format = type == VR_TEXTURE_ALPHA ? MTLPixelFormatR8Unorm : MTLPixelFormatRGBA8Unorm;
  const bool mipmaps = imageFlags & VR_IMAGE_GENERATE_MIPMAPS;
  MTLTextureDescriptor* d = MTLTextureDescriptor::texture2DDescriptorWithPixelFormat_width_height_mipmapped(
    format, (NSUInteger)width, (NSUInteger)height, mipmaps ? YES : NO);
  d->setUsage(MTLTextureUsageShaderRead | MTLTextureUsageShaderWrite | MTLTextureUsageRenderTarget);
  MTLTexture* tex = device->newTextureWithDescriptor(d);
  if (!tex) return 0;
  MVRtexture_vZANIQ_au* t = allocTexture();
  t->type = type;
  t->flags = imageFlags;
  Release(t->tex);
  t->tex = tex;

  const NSUInteger rowBytes = (NSUInteger)width * (type == VR_TEXTURE_RGBA ? 4 : 1);
  if (data)
  {
    if (tex->storageMode() != MTLStorageModePrivate)
      tex->replaceRegion_mipmapLevel_withBytes_bytesPerRow(MTLRegionMake2D(0, 0, (NSUInteger)width, (NSUInteger)height),
                                                           0, data, rowBytes);
    else if (MTLBuffer* staging = device->newBufferWithBytes_length_options(data, rowBytes * (NSUInteger)height,
                                                                            MTLResourceStorageModeShared))
    {
      NSAutoreleasePool pool;
      MTLCommandBuffer* cb = commandQueue->commandBuffer();
      MTLBlitCommandEncoder* blit = cb->blitCommandEncoder();
      blit->copyFromBuffer_sourceOffset_sourceBytesPerRow_sourceBytesPerImage_sourceSize_toTexture_destinationSlice_destinationLevel_destinationOrigin(
        staging, 0, rowBytes, rowBytes * (NSUInteger)height, MTLSizeMake((NSUInteger)width, (NSUInteger)height, 1),
        tex, 0, 0, MTLOriginMake(0, 0, 0));
      blit->endEncoding();
      cb->commit();
      cb->waitUntilCompleted();
      staging->release();
    }
    if (mipmaps)
    {
      NSAutoreleasePool pool;
      MTLCommandBuffer* cb = commandQueue->commandBuffer();
      MTLBlitCommandEncoder* blit = cb->blitCommandEncoder();
      blit->generateMipmapsForTexture(tex);
      blit->endEncoding();
      cb->commit();
      cb->waitUntilCompleted();
    }
  }

  auto* s = new MTLSamplerDescriptor();
  const bool nearest = imageFlags & 32;
  s->setMinFilter(nearest ? MTLSamplerMinMagFilterNearest : MTLSamplerMinMagFilterLinear);
  s->setMagFilter(nearest ? MTLSamplerMinMagFilterNearest : MTLSamplerMinMagFilterLinear);
  if (mipmaps) s->setMipFilter(nearest ? MTLSamplerMipFilterNearest : MTLSamplerMipFilterLinear);
  s->setSAddressMode(imageFlags & 2 ? MTLSamplerAddressModeRepeat : MTLSamplerAddressModeClampToEdge);
  s->setTAddressMode(imageFlags & 4 ? MTLSamplerAddressModeRepeat : MTLSamplerAddressModeClampToEdge);
  Release(t->sampler);
  t->sampler = device->newSamplerStateWithDescriptor(s);
  s->release();
  return t->id;
}

int MVRcontext_vZANIQ_au::renderDeleteTexture(int image)
{
  MVRtexture_vZANIQ_au* t = findTexture(image);
  if (!t) return 0;
  // Only our reference goes: a kept texture (flag 0x10000) lives on with its owner's. The sampler is ours alone.
  Release(t->tex);
  Release(t->sampler);
  t->id = 0;
  t->type = 0;
  t->flags = 0;
  return 1;
}

int MVRcontext_vZANIQ_au::renderUpdateTextureWithImage_x_y_width_height_data(int image, int x, int y, int width,
                                                                            int height, const unsigned char* data)
{
  MVRtexture_vZANIQ_au* t = findTexture(image);
  if (!t || !t->tex) return 0;
  if (!data || x < 0 || y < 0 || width < 0 || height < 0) return 1;
  const int64_t tw = (int64_t)t->tex->width();
  if (x + (int64_t)width > tw || y + (int64_t)height > (int64_t)t->tex->height()) return 1;
  const int64_t bpp = t->type == VR_TEXTURE_RGBA ? 4 : 1;
  const unsigned char* src = data + (y * tw + x) * bpp;
  t->tex->replaceRegion_mipmapLevel_withBytes_bytesPerRow(
    MTLRegionMake2D((NSUInteger)x, (NSUInteger)y, (NSUInteger)width, (NSUInteger)height), 0, src,
    (NSUInteger)(tw * bpp));
  return 1;
}

int MVRcontext_vZANIQ_au::renderGetTextureSizeForImage_width_height(int image, int* width, int* height)
{
  MVRtexture_vZANIQ_au* t = findTexture(image);
  if (!t || !t->tex) return 0;
  if (width) *width = (int)t->tex->width();
  if (height) *height = (int)t->tex->height();
  return 1;
}

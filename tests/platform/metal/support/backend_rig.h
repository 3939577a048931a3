// The renderer over the Metal back end into a stand-in layer, with frames read back as premultiplied BGRA
// (the byte order of a little-endian Cairo ARGB32 surface).
#pragma once

#include "platform/mac/MVRcontext.h"

#include <functional>
#include <vector>

namespace backendtest
{

struct Backend
{
  Backend(int w, int h, float scale = 1.0f, int flags = 0x2001) : width(w), height(h), scale(scale)
  {
    layer = new CAMetalLayer();
    layer->setDrawableSize(CGSizeMake(w * scale, h * scale));
    vg = vrCreateMTL(layer, flags);
  }
  ~Backend()
  {
    vrDeleteMTL(vg);
    layer->release();
  }
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  MVRcontext_vZANIQ_au* mtl() const { return static_cast<MVRcontext_vZANIQ_au*>(vrInternalParams(vg)->userPtr); }

  // Waits until every committed frame has completed (the queue runs in order).
  void Finish() const
  {
    NSAutoreleasePool pool;
    MTLCommandBuffer* cb = mvrCommandQueue(vg)->commandBuffer();
    cb->commit();
    cb->waitUntilCompleted();
  }

  // One frame; answers the presented pixels (empty when nothing was presented).
  std::vector<uint8_t> Frame(const std::function<void(VRcontext*)>& draw)
  {
    const NSUInteger before = layer->presentedCount();
    vrBeginFrame(vg, (float)width, (float)height, scale);
    draw(vg);
    vrEndFrame(vg);
    Finish();
    if (layer->presentedCount() == before) return {};
    MTLTexture* t = layer->copyLastPresentedTexture();
    std::vector<uint8_t> px(t->width() * t->height() * 4);
    t->getBytes_bytesPerRow_fromRegion_mipmapLevel(px.data(), t->width() * 4,
                                                   MTLRegionMake2D(0, 0, t->width(), t->height()), 0);
    t->release();
    return px;
  }

  int width, height;
  float scale;
  CAMetalLayer* layer = nullptr;
  VRcontext* vg = nullptr;
};

} // namespace backendtest

#include "renderer/support/RecordingBackend.h"

#include <cstring>

namespace {

RecordingBackend* self(void* u) { return static_cast<RecordingBackend*>(u); }

RecordedCall& record(void* u, RecordedCall::Kind kind, VRpaint* paint, VRcompositeOperationState op,
                     VRscissor* scissor, float fringe, const VRpath* paths = nullptr, int npaths = 0)
{
  RecordedCall c;
  c.kind = kind;
  c.paint = *paint;
  c.op = op;
  c.scissor = *scissor;
  c.fringe = fringe;
  for (int i = 0; i < npaths; i++)
  {
    RecordedPath p;
    p.path = paths[i];
    if (paths[i].fill) p.fill.assign(paths[i].fill, paths[i].fill + paths[i].nfill);
    if (paths[i].stroke) p.stroke.assign(paths[i].stroke, paths[i].stroke + paths[i].nstroke);
    p.path.fill = p.path.stroke = nullptr;
    c.paths.push_back(std::move(p));
  }
  self(u)->calls.push_back(std::move(c));
  return self(u)->calls.back();
}

int createTexture(void* u, int type, int w, int h, int flags, const unsigned char* data)
{
  RecordingBackend* b = self(u);
  if (b->failTextureAfter == 0) return 0;
  if (b->failTextureAfter > 0) b->failTextureAfter--;
  RecordedTexture t{type, w, h, flags, {}};
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * (type == VR_TEXTURE_ALPHA ? 1 : 4);
  if (data)
    t.pixels.assign(data, data + bytes);
  else
    t.pixels.assign(bytes, 0);
  b->textures[b->nextHandle] = std::move(t);
  b->created.push_back(b->nextHandle);
  return b->nextHandle++;
}

int updateTexture(void* u, int image, int x, int y, int w, int h, const unsigned char* data)
{
  auto it = self(u)->textures.find(image);
  if (it == self(u)->textures.end()) return 0;
  RecordedTexture& t = it->second;
  const size_t bpp = t.type == VR_TEXTURE_ALPHA ? 1 : 4;
  for (int row = y; row < y + h; row++)
  {
    const size_t at = (static_cast<size_t>(row) * t.w + x) * bpp;
    std::memcpy(&t.pixels[at], &data[at], w * bpp);
  }
  return 1;
}

int textureSize(void* u, int image, int* w, int* h)
{
  auto it = self(u)->textures.find(image);
  if (it == self(u)->textures.end()) return 0;
  *w = it->second.w;
  *h = it->second.h;
  return 1;
}

} // namespace

VRparams RecordingBackend::Params(int edgeAntiAlias)
{
  VRparams p;
  std::memset(&p, 0, sizeof(p));
  p.userPtr = this;
  p.edgeAntiAlias = edgeAntiAlias;
  p.renderCreate = [](void* u) { return self(u)->failCreate ? 0 : 1; };
  p.renderCreateTexture = createTexture;
  p.renderDeleteTexture = [](void* u, int image) {
    self(u)->deleted.push_back(image);
    return self(u)->textures.erase(image) ? 1 : 0;
  };
  p.renderUpdateTexture = updateTexture;
  p.renderGetTextureSize = textureSize;
  p.renderViewport = [](void*, float, float, float) {};
  p.renderCancel = [](void*) {};
  p.renderFlush = [](void*) {};
  p.renderFill = [](void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
                    const float* bounds, const VRpath* paths, int npaths) {
    std::memcpy(record(u, RecordedCall::Fill, paint, op, scissor, fringe, paths, npaths).bounds, bounds,
                4 * sizeof(float));
  };
  p.renderStroke = [](void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
                      float strokeWidth, const VRpath* paths, int npaths) {
    record(u, RecordedCall::Stroke, paint, op, scissor, fringe, paths, npaths).strokeWidth = strokeWidth;
  };
  p.renderTriangles = [](void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor,
                         const VRvertex* verts, int nverts, float fringe) {
    record(u, RecordedCall::Triangles, paint, op, scissor, fringe).verts.assign(verts, verts + nverts);
  };
  p.renderDelete = [](void* u) { self(u)->deletes++; };
  return p;
}

VRcontext* RecordingBackend::CreateContext(int edgeAntiAlias)
{
  VRparams p = Params(edgeAntiAlias);
  return vrCreateInternal(&p);
}

#include "renderer/support/RecordingBackend.h"

#include <cstring>

namespace {
RecordingBackend* self(void* u) { return static_cast<RecordingBackend*>(u); }

RecordedCall record(RecordedCall::Kind kind, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor,
                    float fringe)
{
  RecordedCall c;
  c.kind = kind;
  c.paint = *paint;
  c.op = op;
  c.scissor = *scissor;
  c.fringe = fringe;
  return c;
}

void copyPaths(RecordedCall& c, const VRpath* paths, int npaths)
{
  for (int i = 0; i < npaths; i++)
  {
    RecordedPath p;
    p.path = paths[i];
    if (paths[i].fill) p.fill.assign(paths[i].fill, paths[i].fill + paths[i].nfill);
    if (paths[i].stroke) p.stroke.assign(paths[i].stroke, paths[i].stroke + paths[i].nstroke);
    p.path.fill = nullptr;
    p.path.stroke = nullptr;
    c.paths.push_back(std::move(p));
  }
}
} // namespace

VRparams RecordingBackend::Params(int edgeAntiAlias)
{
  VRparams p;
  std::memset(&p, 0, sizeof(p));
  p.userPtr = this;
  p.edgeAntiAlias = edgeAntiAlias;
  p.renderCreate = Create;
  p.renderCreateTexture = CreateTexture;
  p.renderDeleteTexture = DeleteTexture;
  p.renderUpdateTexture = UpdateTexture;
  p.renderGetTextureSize = GetTextureSize;
  p.renderViewport = Viewport;
  p.renderCancel = Cancel;
  p.renderFlush = Flush;
  p.renderFill = Fill;
  p.renderStroke = Stroke;
  p.renderTriangles = Triangles;
  p.renderDelete = Delete;
  return p;
}

VRcontext* RecordingBackend::CreateContext(int edgeAntiAlias)
{
  VRparams p = Params(edgeAntiAlias);
  return vrCreateInternal(&p);
}

int RecordingBackend::Create(void* u)
{
  self(u)->creates++;
  return self(u)->failCreate ? 0 : 1;
}

int RecordingBackend::CreateTexture(void* u, int type, int w, int h, int flags, const unsigned char* data)
{
  RecordingBackend* b = self(u);
  if (b->failTextureAfter == 0) return 0;
  if (b->failTextureAfter > 0) b->failTextureAfter--;
  RecordedTexture t;
  t.type = type;
  t.w = w;
  t.h = h;
  t.flags = flags;
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * (type == VR_TEXTURE_ALPHA ? 1 : 4);
  if (data)
    t.pixels.assign(data, data + bytes);
  else
    t.pixels.assign(bytes, 0);
  const int handle = b->nextHandle++;
  b->textures[handle] = std::move(t);
  b->created.push_back(handle);
  return handle;
}

int RecordingBackend::DeleteTexture(void* u, int image)
{
  RecordingBackend* b = self(u);
  b->deleted.push_back(image);
  return b->textures.erase(image) ? 1 : 0;
}

int RecordingBackend::UpdateTexture(void* u, int image, int x, int y, int w, int h, const unsigned char* data)
{
  RecordingBackend* b = self(u);
  b->updates.push_back({image, x, y, w, h});
  auto it = b->textures.find(image);
  if (it == b->textures.end()) return 0;
  RecordedTexture& t = it->second;
  const int bpp = t.type == VR_TEXTURE_ALPHA ? 1 : 4;
  for (int row = y; row < y + h; row++)
    std::memcpy(&t.pixels[(static_cast<size_t>(row) * t.w + x) * bpp],
                &data[(static_cast<size_t>(row) * t.w + x) * bpp], static_cast<size_t>(w) * bpp);
  return 1;
}

int RecordingBackend::GetTextureSize(void* u, int image, int* w, int* h)
{
  auto it = self(u)->textures.find(image);
  if (it == self(u)->textures.end()) return 0;
  *w = it->second.w;
  *h = it->second.h;
  return 1;
}

void RecordingBackend::Viewport(void* u, float w, float h, float ratio)
{
  RecordingBackend* b = self(u);
  b->viewports++;
  b->viewport[0] = w;
  b->viewport[1] = h;
  b->viewport[2] = ratio;
}

void RecordingBackend::Cancel(void* u) { self(u)->cancels++; }
void RecordingBackend::Flush(void* u) { self(u)->flushes++; }

void RecordingBackend::Fill(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
                            const float* bounds, const VRpath* paths, int npaths)
{
  RecordedCall c = record(RecordedCall::Fill, paint, op, scissor, fringe);
  std::memcpy(c.bounds, bounds, sizeof(c.bounds));
  copyPaths(c, paths, npaths);
  self(u)->calls.push_back(std::move(c));
}

void RecordingBackend::Stroke(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor,
                              float fringe, float strokeWidth, const VRpath* paths, int npaths)
{
  RecordedCall c = record(RecordedCall::Stroke, paint, op, scissor, fringe);
  c.strokeWidth = strokeWidth;
  copyPaths(c, paths, npaths);
  self(u)->calls.push_back(std::move(c));
}

void RecordingBackend::Triangles(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor,
                                 const VRvertex* verts, int nverts, float fringe)
{
  RecordedCall c = record(RecordedCall::Triangles, paint, op, scissor, fringe);
  c.verts.assign(verts, verts + nverts);
  self(u)->calls.push_back(std::move(c));
}

void RecordingBackend::Delete(void* u) { self(u)->deletes++; }

#pragma once

// A render back end for tests: it keeps a copy of everything that reaches the callback table (fills, strokes,
// triangles with their paths, vertices, paints and scissors; textures with their pixels), and can be told to
// refuse creation or texture allocation.

#include "renderer/VectorRenderer.h"

#include <map>
#include <vector>

struct RecordedPath
{
  VRpath path{}; // pointers cleared; the vertices are in fill/stroke
  std::vector<VRvertex> fill;
  std::vector<VRvertex> stroke;
};

struct RecordedCall
{
  enum Kind
  {
    Fill,
    Stroke,
    Triangles
  } kind = Fill;
  VRpaint paint{};
  VRcompositeOperationState op{};
  VRscissor scissor{};
  float fringe = 0;
  float strokeWidth = 0;
  float bounds[4] = {};
  std::vector<RecordedPath> paths;
  std::vector<VRvertex> verts; // triangles
};

struct RecordedTexture
{
  int type = 0, w = 0, h = 0, flags = 0;
  std::vector<unsigned char> pixels;
};

struct RecordedUpdate
{
  int image, x, y, w, h;
};

class RecordingBackend
{
public:
  // Fills a table whose userPtr is this object; edgeAntiAlias as given.
  VRparams Params(int edgeAntiAlias = 1);
  VRcontext* CreateContext(int edgeAntiAlias = 1);

  // Knobs.
  bool failCreate = false;
  int failTextureAfter = -1; // creates this many textures, then refuses (-1: never)

  // What arrived.
  std::vector<RecordedCall> calls;
  std::map<int, RecordedTexture> textures; // live
  std::vector<int> created, deleted;        // handles in order
  std::vector<RecordedUpdate> updates;
  int viewports = 0, flushes = 0, cancels = 0, deletes = 0, creates = 0;
  float viewport[3] = {};
  int nextHandle = 1;

  const RecordedCall& Last() const { return calls.back(); }

  static int Create(void* u);
  static int CreateTexture(void* u, int type, int w, int h, int flags, const unsigned char* data);
  static int DeleteTexture(void* u, int image);
  static int UpdateTexture(void* u, int image, int x, int y, int w, int h, const unsigned char* data);
  static int GetTextureSize(void* u, int image, int* w, int* h);
  static void Viewport(void* u, float w, float h, float ratio);
  static void Cancel(void* u);
  static void Flush(void* u);
  static void Fill(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
                   const float* bounds, const VRpath* paths, int npaths);
  static void Stroke(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor, float fringe,
                     float strokeWidth, const VRpath* paths, int npaths);
  static void Triangles(void* u, VRpaint* paint, VRcompositeOperationState op, VRscissor* scissor,
                        const VRvertex* verts, int nverts, float fringe);
  static void Delete(void* u);
};

#pragma once

// A render back end for tests: keeps a copy of the fills, strokes and triangles that reach the callback table (with
// their paths, vertices, paints and scissors) and of the textures with their pixels, and can be told to refuse
// creation or textures.

#include "renderer/VectorRenderer.h"

#include <map>
#include <vector>

struct RecordedPath
{
  VRpath path{}; // vertex pointers cleared: the vertices are in fill and stroke
  std::vector<VRvertex> fill, stroke;
};

struct RecordedCall
{
  enum Kind { Fill, Stroke, Triangles } kind = Fill;
  VRpaint paint{};
  VRcompositeOperationState op{};
  VRscissor scissor{};
  float fringe = 0, strokeWidth = 0, bounds[4] = {};
  std::vector<RecordedPath> paths;
  std::vector<VRvertex> verts; // triangles
};

struct RecordedTexture
{
  int type = 0, w = 0, h = 0, flags = 0;
  std::vector<unsigned char> pixels;
};

class RecordingBackend
{
public:
  VRparams Params(int edgeAntiAlias = 1); // a table whose userPtr is this object
  VRcontext* CreateContext(int edgeAntiAlias = 1);

  bool failCreate = false;
  int failTextureAfter = -1; // creates this many textures, then refuses (-1: never)

  std::vector<RecordedCall> calls;
  std::map<int, RecordedTexture> textures; // live ones
  std::vector<int> created, deleted;        // handles in order
  int deletes = 0;
  int nextHandle = 1;

  const RecordedCall& Last() const { return calls.back(); }
};

// A context on its own recording back end, deleted before it.
struct RecordedContext
{
  RecordingBackend be;
  VRcontext* ctx;
  explicit RecordedContext(int edgeAntiAlias = 1) : ctx(be.CreateContext(edgeAntiAlias)) {}
  ~RecordedContext() { vrDeleteInternal(ctx); }
  RecordedContext(const RecordedContext&) = delete;
  RecordedContext& operator=(const RecordedContext&) = delete;
};

#pragma once

// Records and helpers shared by the renderer's sources (and read by its tests). Not part of the drawing API.

#include "renderer/VectorRenderer.h"

struct FAcontext;

enum
{
  VR_MAX_STATES = 32,
  VR_MAX_FONTIMAGES = 4,
  VR_INIT_COMMANDS_SIZE = 256,
  VR_INIT_POINTS_SIZE = 128,
  VR_INIT_PATHS_SIZE = 16,
  VR_INIT_VERTS_SIZE = 256,
  VR_INIT_FONTIMAGE_SIZE = 512,
  VR_MAX_FONTIMAGE_SIZE = 2048,
};

// Path commands as stored (code as a float, then operands).
enum VRcommand
{
  VR_MOVETO = 0,
  VR_LINETO = 1,
  VR_BEZIERTO = 2,
  VR_CLOSE = 3,
  VR_WINDING = 4,
};

enum VRpointFlags
{
  VR_PT_CORNER = 0x01,
  VR_PT_LEFT = 0x02,
  VR_PT_BEVEL = 0x04,
  VR_PT_INNERBEVEL = 0x08,
};

struct VRstate
{
  VRcompositeOperationState compositeOperation;
  int shapeAntiAlias;
  VRpaint fill;
  VRpaint stroke;
  float strokeWidth;
  float miterLimit;
  int lineJoin;
  int lineCap;
  float alpha;
  float xform[6];
  VRscissor scissor;
  float fontSize;
  float letterSpacing;
  float lineHeight;
  float fontBlur;
  int textAlign;
  int fontId;
};

struct VRpoint
{
  float x, y;
  float dx, dy;
  float len;
  float dmx, dmy;
  unsigned char flags;
};

struct VRpathCache
{
  VRpoint* points;
  int npoints;
  int cpoints;
  VRpath* paths;
  int npaths;
  int cpaths;
  VRvertex* verts;
  int nverts;
  int cverts;
  float bounds[4];
};

struct VRcontext
{
  VRparams params; // first: the context's address is the table's address
  float* commands;
  int ccommands;
  int ncommands;
  float commandx, commandy;
  VRstate states[VR_MAX_STATES];
  int nstates;
  VRpathCache* cache;
  float tessTol;
  float distTol;
  float fringeWidth;
  float devicePxRatio;
  FAcontext* fs;
  int fontImages[VR_MAX_FONTIMAGES];
  int fontImageIdx;
  int drawCallCount;
  int fillTriCount;
  int strokeTriCount;
  int textTriCount;
};

// Path.cpp
VRpathCache* vr__allocPathCache();
void vr__deletePathCache(VRpathCache* c);
void vr__flattenPaths(VRcontext* ctx);
// Room for at least n vertices in the cache's shared buffer (capacity rounded up to 256); null on failure.
VRvertex* vr__allocTempVerts(VRcontext* ctx, int nverts);

// Context.cpp
VRstate* vr__getState(VRcontext* ctx);
void vr__setPaintColor(VRpaint* p, VRcolor color);
float vr__getAverageScale(const float* t);
// A paint the back end can evaluate: invertible transform, an image pattern of positive size.
bool vr__paintDrawable(const VRpaint& p);

// Text.cpp
FAcontext* vr__createFontStore();
void vr__deleteFontStore(FAcontext* fs);

// Image.cpp (decoders in StbImage.cpp): RGBA pixels to be freed with vr__freeImage, null on failure.
unsigned char* vr__decodeImageFile(const char* filename, int* w, int* h);
unsigned char* vr__decodeImageMem(const unsigned char* data, int ndata, int* w, int* h);
void vr__freeImage(unsigned char* pixels);
const char* vr__imageFailureReason();

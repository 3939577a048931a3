#pragma once

// The vector renderer: plain functions over plain records. It turns paths, fills, strokes, images and text into
// vertex lists and hands them to a render back end through the callback table `VRparams`; it never touches pixels.
//
// Units: coordinates are logical units (points) of the frame; the device pixel ratio given to vrBeginFrame maps
// them to device pixels. Angles are radians. Colours are straight (not premultiplied) f32 in 0..1.
// A context is used by one thread at a time; nothing here locks.

#include <cstdint>

struct VRcontext;

// ---------------------------------------------------------------------------------------------------------------
// Records that cross the back-end table
// ---------------------------------------------------------------------------------------------------------------
struct VRcolor
{
  union {
    float rgba[4];
    struct
    {
      float r, g, b, a;
    };
  };
};

// Paint: `xform` maps paint space to drawing space. A plain colour has identity xform, radius 0, feather 1.
struct VRpaint
{
  float xform[6];
  float extent[2];
  float radius;
  float feather;
  VRcolor innerColor;
  VRcolor outerColor;
  int image;
};

// Blend factors of the back end (bit values).
enum VRblendFactor
{
  VR_ZERO = 1 << 0,
  VR_ONE = 1 << 1,
  VR_SRC_COLOR = 1 << 2,
  VR_ONE_MINUS_SRC_COLOR = 1 << 3,
  VR_DST_COLOR = 1 << 4,
  VR_ONE_MINUS_DST_COLOR = 1 << 5,
  VR_SRC_ALPHA = 1 << 6,
  VR_ONE_MINUS_SRC_ALPHA = 1 << 7,
  VR_DST_ALPHA = 1 << 8,
  VR_ONE_MINUS_DST_ALPHA = 1 << 9,
  VR_SRC_ALPHA_SATURATE = 1 << 10,
};

enum VRcompositeOperation
{
  VR_SOURCE_OVER,
  VR_SOURCE_IN,
  VR_SOURCE_OUT,
  VR_ATOP,
  VR_DESTINATION_OVER,
  VR_DESTINATION_IN,
  VR_DESTINATION_OUT,
  VR_DESTINATION_ATOP,
  VR_LIGHTER,
  VR_COPY,
  VR_XOR,
};

struct VRcompositeOperationState
{
  int srcRGB;
  int dstRGB;
  int srcAlpha;
  int dstAlpha;
};

// Scissor: `xform` maps coordinates relative to the rectangle's centre to frame space; `extent` is the half size.
// An extent of (-1, -1) means no scissor.
struct VRscissor
{
  float xform[6];
  float extent[2];
};

// One vertex in frame space (transform applied). For fill and stroke geometry u runs across an edge (0 left
// normal side, 1 opposite side, 0.5 centre) and v is 0 only on the outer edge of a butt or square cap; for
// triangles u, v are texture coordinates.
struct VRvertex
{
  float x, y, u, v;
};

// One sub-path as the back end sees it. `fill` is a triangle fan, `stroke` a triangle strip.
struct VRpath
{
  int first;
  int count;
  unsigned char closed;
  int nbevel;
  VRvertex* fill;
  int nfill;
  VRvertex* stroke;
  int nstroke;
  int winding;
  int convex;
};

enum VRtextureType
{
  VR_TEXTURE_ALPHA = 1,
  VR_TEXTURE_RGBA = 2,
};

enum VRimageFlags
{
  VR_IMAGE_GENERATE_MIPMAPS = 1 << 0,
  VR_IMAGE_FLIPY = 1 << 3,
  VR_IMAGE_PREMULTIPLIED = 1 << 4,
  VR_IMAGE_NODELETE = 1 << 16,
};

// The back-end table. Copied into the context at creation; `userPtr` is the first argument of every callback.
// Pointers handed to renderFill/renderStroke/renderTriangles are valid only during the call.
struct VRparams
{
  void* userPtr;
  int edgeAntiAlias;
  int (*renderCreate)(void* uptr);
  int (*renderCreateTexture)(void* uptr, int type, int w, int h, int imageFlags, const unsigned char* data);
  int (*renderDeleteTexture)(void* uptr, int image);
  int (*renderUpdateTexture)(void* uptr, int image, int x, int y, int w, int h, const unsigned char* data);
  int (*renderGetTextureSize)(void* uptr, int image, int* w, int* h);
  void (*renderViewport)(void* uptr, float width, float height, float devicePixelRatio);
  void (*renderCancel)(void* uptr);
  void (*renderFlush)(void* uptr);
  void (*renderFill)(void* uptr, VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor,
                     float fringe, const float* bounds, const VRpath* paths, int npaths);
  void (*renderStroke)(void* uptr, VRpaint* paint, VRcompositeOperationState compositeOperation, VRscissor* scissor,
                       float fringe, float strokeWidth, const VRpath* paths, int npaths);
  void (*renderTriangles)(void* uptr, VRpaint* paint, VRcompositeOperationState compositeOperation,
                          VRscissor* scissor, const VRvertex* verts, int nverts, float fringe);
  void (*renderDelete)(void* uptr);
};

// ---------------------------------------------------------------------------------------------------------------
// Constants of the render state
// ---------------------------------------------------------------------------------------------------------------
enum VRlineCap
{
  VR_BUTT = 0,
  VR_ROUND = 1,
  VR_SQUARE = 2,
  VR_BEVEL = 3,
  VR_MITER = 4,
};

enum VRwinding
{
  VR_SOLID = 1, // counter-clockwise
  VR_HOLE = 2,  // clockwise
};

enum VRdirection
{
  VR_CCW = 1, // towards decreasing angles
  VR_CW = 2,  // towards increasing angles (clockwise with y down)
};

enum VRalign
{
  VR_ALIGN_LEFT = 1 << 0,
  VR_ALIGN_CENTER = 1 << 1,
  VR_ALIGN_RIGHT = 1 << 2,
  VR_ALIGN_TOP = 1 << 3,
  VR_ALIGN_MIDDLE = 1 << 4,
  VR_ALIGN_BOTTOM = 1 << 5,
  VR_ALIGN_BASELINE = 1 << 6,
};

// ---------------------------------------------------------------------------------------------------------------
// Context and frames
// ---------------------------------------------------------------------------------------------------------------
// Creates a context over a copy of the table: calls renderCreate, then creates the 512 x 512 alpha atlas texture.
// Null when an allocation, renderCreate (0), the font store or the atlas texture fails; what was made is released
// again (renderDelete included).
VRcontext* vrCreateInternal(const VRparams* params);
// Releases fonts, atlas textures and buffers, then calls renderDelete (when set). Null is ignored.
void vrDeleteInternal(VRcontext* ctx);
// Starts a frame: one default state, tolerances from the ratio (device pixels per logical unit), renderViewport.
void vrBeginFrame(VRcontext* ctx, float windowWidth, float windowHeight, float devicePixelRatio);
void vrCancelFrame(VRcontext* ctx);
// renderFlush, then retires atlas textures made obsolete by growth during the frame (each deleted once).
void vrEndFrame(VRcontext* ctx);
VRparams* vrInternalParams(VRcontext* ctx);

// ---------------------------------------------------------------------------------------------------------------
// State stack (1..32 states; a save beyond 32 or a restore at 1 is ignored)
// ---------------------------------------------------------------------------------------------------------------
void vrSave(VRcontext* ctx);
void vrRestore(VRcontext* ctx);
void vrReset(VRcontext* ctx);

// Setters of the top state; values are stored without range checks.
void vrShapeAntiAlias(VRcontext* ctx, int enabled);
void vrStrokeWidth(VRcontext* ctx, float width);
void vrMiterLimit(VRcontext* ctx, float limit);
void vrLineCap(VRcontext* ctx, int cap);
void vrLineJoin(VRcontext* ctx, int join);
void vrGlobalAlpha(VRcontext* ctx, float alpha);
// Operation 0..10 (VRcompositeOperation); anything else gives one, zero.
void vrGlobalCompositeOperation(VRcontext* ctx, int op);
void vrGlobalCompositeBlendFunc(VRcontext* ctx, int sfactor, int dfactor);
void vrGlobalCompositeBlendFuncSeparate(VRcontext* ctx, int srcRGB, int dstRGB, int srcAlpha, int dstAlpha);

// Paints: colours are stored as plain paints; a paint given by value is fixed in the current user space.
void vrStrokeColor(VRcontext* ctx, VRcolor color);
void vrStrokePaint(VRcontext* ctx, VRpaint paint);
void vrFillColor(VRcontext* ctx, VRcolor color);
void vrFillPaint(VRcontext* ctx, VRpaint paint);

// Transforms of the state: T is applied to points first, then the existing transform.
void vrResetTransform(VRcontext* ctx);
void vrTransform(VRcontext* ctx, float a, float b, float c, float d, float e, float f);
void vrTranslate(VRcontext* ctx, float x, float y);
void vrRotate(VRcontext* ctx, float angle);
void vrSkewX(VRcontext* ctx, float angle);
void vrSkewY(VRcontext* ctx, float angle);
void vrScale(VRcontext* ctx, float x, float y);
void vrCurrentTransform(VRcontext* ctx, float* xform); // six floats; null ignored

// Helpers on six-float transforms (a, b, c, d, e, f): (x, y) -> (a x + c y + e, b x + d y + f).
void vrTransformIdentity(float* t);
void vrTransformTranslate(float* t, float tx, float ty);
void vrTransformScale(float* t, float sx, float sy);
void vrTransformRotate(float* t, float angle);
void vrTransformSkewX(float* t, float angle);
void vrTransformSkewY(float* t, float angle);
void vrTransformMultiply(float* t, const float* s);    // t = t followed by s
void vrTransformPremultiply(float* t, const float* s); // t = s followed by t
// Inverse; |det| below 1e-6 writes the identity and returns 0, else returns 1.
int vrTransformInverse(float* inv, const float* t);
void vrTransformPoint(float* dstx, float* dsty, const float* t, float srcx, float srcy);
float vrDegToRad(float deg);
float vrRadToDeg(float rad);

// Colours.
VRcolor vrRGB(unsigned char r, unsigned char g, unsigned char b);
VRcolor vrRGBf(float r, float g, float b);
VRcolor vrRGBA(unsigned char r, unsigned char g, unsigned char b, unsigned char a);
VRcolor vrRGBAf(float r, float g, float b, float a);
VRcolor vrLerpRGBA(VRcolor c0, VRcolor c1, float u); // u clamped to 0..1
VRcolor vrTransRGBA(VRcolor c, unsigned char a);
VRcolor vrTransRGBAf(VRcolor c, float a);
VRcolor vrHSL(float h, float s, float l); // h wraps to 0..1, s and l clamped
VRcolor vrHSLA(float h, float s, float l, unsigned char a);

// Paints by value (the context is not used). Gradients go from the inner colour to the outer one.
VRpaint vrLinearGradient(VRcontext* ctx, float sx, float sy, float ex, float ey, VRcolor icol, VRcolor ocol);
VRpaint vrBoxGradient(VRcontext* ctx, float x, float y, float w, float h, float r, float f, VRcolor icol,
                      VRcolor ocol);
VRpaint vrRadialGradient(VRcontext* ctx, float cx, float cy, float inr, float outr, VRcolor icol, VRcolor ocol);
// Image pattern: (cx, cy) is the pattern's origin, (w, h) the size of one image, angle its rotation.
VRpaint vrImagePattern(VRcontext* ctx, float cx, float cy, float w, float h, float angle, int image, float alpha);

// Scissor in current user space; negative sizes count as 0.
void vrScissor(VRcontext* ctx, float x, float y, float w, float h);
// Intersects with the current scissor (its axis-aligned bound in the current space under rotation).
void vrIntersectScissor(VRcontext* ctx, float x, float y, float w, float h);
void vrResetScissor(VRcontext* ctx);

// ---------------------------------------------------------------------------------------------------------------
// Images (handles of the back end, 0 = none)
// ---------------------------------------------------------------------------------------------------------------
// Decodes a file (any stb_image format) to RGBA. Alpha-premultiplied iPhone PNGs are un-premultiplied and turned
// to RGB order, for files and memory alike. 0 when the file cannot be read or decoded or the back end refuses.
int vrCreateImage(VRcontext* ctx, const char* filename, int imageFlags);
int vrCreateImageMem(VRcontext* ctx, int imageFlags, const unsigned char* data, int ndata);
// width x height RGBA pixels, rows top to bottom. 0 for a size of 0 or less or a refusal.
int vrCreateImageRGBA(VRcontext* ctx, int w, int h, int imageFlags, const unsigned char* data);
// Replaces the whole image; returns the back end's result.
int vrUpdateImage(VRcontext* ctx, int image, const unsigned char* data);
void vrImageSize(VRcontext* ctx, int image, int* w, int* h);
int vrDeleteImage(VRcontext* ctx, int image);

// ---------------------------------------------------------------------------------------------------------------
// Paths (coordinates in current user space, stored transformed)
// ---------------------------------------------------------------------------------------------------------------
void vrBeginPath(VRcontext* ctx);
void vrMoveTo(VRcontext* ctx, float x, float y);
void vrLineTo(VRcontext* ctx, float x, float y);
void vrBezierTo(VRcontext* ctx, float c1x, float c1y, float c2x, float c2y, float x, float y);
void vrQuadTo(VRcontext* ctx, float cx, float cy, float x, float y);
void vrArcTo(VRcontext* ctx, float x1, float y1, float x2, float y2, float radius);
// Arc around (cx, cy) from a0 to a1 (radians) in direction dir (VR_CCW or VR_CW); 1 to 5 curve segments. Nothing
// is added when the centre, radius or an angle is not a finite number.
void vrArc(VRcontext* ctx, float cx, float cy, float r, float a0, float a1, int dir);
void vrClosePath(VRcontext* ctx);
void vrPathWinding(VRcontext* ctx, int dir); // VR_SOLID or VR_HOLE for the current sub-path
void vrRect(VRcontext* ctx, float x, float y, float w, float h);
void vrRoundedRect(VRcontext* ctx, float x, float y, float w, float h, float r);
void vrRoundedRectVarying(VRcontext* ctx, float x, float y, float w, float h, float radTopLeft, float radTopRight,
                          float radBottomRight, float radBottomLeft);
void vrEllipse(VRcontext* ctx, float cx, float cy, float rx, float ry);
void vrCircle(VRcontext* ctx, float cx, float cy, float r);
void vrDebugDumpPathCache(VRcontext* ctx);

// Fill and stroke of the current path: one back-end call each. Nothing reaches the back end when the paint
// cannot be drawn (a paint transform without inverse, an image pattern of zero or negative size) or when the
// vertex buffer cannot grow. A stroke whose width (times the transform's scale) is not a finite number draws
// nothing.
void vrFill(VRcontext* ctx);
void vrStroke(VRcontext* ctx);

// ---------------------------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------------------------
struct VRtextRow
{
  const char* start; // first character of the row
  const char* end;   // end of the last visible character
  const char* next;  // where the following row begins
  float width;       // advance of the row
  float minx, maxx;  // extent of its glyphs relative to the row's x
};

struct VRglyphPosition
{
  const char* str; // first byte of the glyph's character
  float x;         // pen position
  float minx, maxx;
};

// Fonts: ids >= 0, -1 on failure. Memory fonts with freeData 0 stay owned by the caller and must outlive the
// context.
int vrCreateFont(VRcontext* ctx, const char* name, const char* filename);
int vrCreateFontAtIndex(VRcontext* ctx, const char* name, const char* filename, int fontIndex);
int vrCreateFontMem(VRcontext* ctx, const char* name, unsigned char* data, int ndata, int freeData);
int vrCreateFontMemAtIndex(VRcontext* ctx, const char* name, unsigned char* data, int ndata, int fontIndex,
                           int freeData);
int vrFindFont(VRcontext* ctx, const char* name);
int vrAddFallbackFontId(VRcontext* ctx, int baseFont, int fallbackFont);
int vrAddFallbackFont(VRcontext* ctx, const char* baseFont, const char* fallbackFont);

void vrFontSize(VRcontext* ctx, float size);
void vrFontBlur(VRcontext* ctx, float blur);
void vrTextLetterSpacing(VRcontext* ctx, float spacing);
void vrTextLineHeight(VRcontext* ctx, float lineHeight);
void vrTextAlign(VRcontext* ctx, int align);
void vrFontFaceId(VRcontext* ctx, int font);
void vrFontFace(VRcontext* ctx, const char* font);

// Text calls take a null end as the terminating zero; with no font (id -1) or a transform that scales text to
// nothing they draw nothing and return 0 (x for vrText).
float vrText(VRcontext* ctx, float x, float y, const char* string, const char* end);
void vrTextBox(VRcontext* ctx, float x, float y, float breakRowWidth, const char* string, const char* end);
float vrTextBounds(VRcontext* ctx, float x, float y, const char* string, const char* end, float* bounds);
void vrTextBoxBounds(VRcontext* ctx, float x, float y, float breakRowWidth, const char* string, const char* end,
                     float* bounds);
int vrTextGlyphPositions(VRcontext* ctx, float x, float y, const char* string, const char* end,
                         VRglyphPosition* positions, int maxPositions);
void vrTextMetrics(VRcontext* ctx, float* ascender, float* descender, float* lineh);
int vrTextBreakLines(VRcontext* ctx, const char* string, const char* end, float breakRowWidth, VRtextRow* rows,
                     int maxRows);

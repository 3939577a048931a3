#pragma once

#include <cstring>

// The small value types every editor drawing and input call is made with: rectangles, colours, blends, text
// styles, mouse modifiers and key presses, plus the shared constants built from them. Plain records, copied by
// value, owning nothing. The constants are inline, so every unit that includes this header sees the same values.
//
// Geometry is in graphics units (points before the draw and screen scales are applied).

#include "graphics/Util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

namespace plugin
{

// ---------------------------------------------------------------------------------------------------------------
// IKeyPress — one key press or release
// ---------------------------------------------------------------------------------------------------------------

// Virtual key code, the key's UTF-8 text (at most 4 bytes, always terminated) and the modifier state.
struct IKeyPress
{
  int32_t VK = 0;
  char utf8[5] = {};
  bool S = false; // shift
  bool C = false; // control
  bool A = false; // alt

  constexpr IKeyPress() = default;

  // text may be null; bytes after the fourth are dropped, but never inside a UTF-8 sequence.
  IKeyPress(const char* text, int32_t vk, bool shift = false, bool ctrl = false, bool alt = false)
      : VK(vk), S(shift), C(ctrl), A(alt)
  {
    if (!text) return;
    // The text's first five bytes at most: a fifth one means it is cut.
    char head[5] = {};
    const size_t len = strnlen(text, sizeof head);
    std::memcpy(head, text, len);
    int n = len < 4 ? static_cast<int>(len) : 4;
    // A cut in the middle of a multi-byte sequence would leave a broken character: back up to its start.
    if (len > 4)
    {
      while (n > 0 && (static_cast<unsigned char>(head[n]) & 0xC0) == 0x80)
        --n;
    }
    std::memcpy(utf8, head, static_cast<size_t>(n));
  }
};

namespace igraphics
{

using plugin::IKeyPress;

class IControl;
class IGraphics;
class IPopupMenu;
class ILayer;   // off-screen layer: arrives with the layer code
struct IDropShadow; // layer shadow: arrives with the layer code
class ISVG;     // parsed SVG document handle

using ILayerPtr = std::unique_ptr<ILayer>;
// Pixels of a layer as the back end lays them out (see IGraphics::AlphaChannel and FlippedBitmap).
using RawBitmapData = Util_TypedBuf<uint8_t>;

// Run with the control when the user changes it (action) or once per frame while it animates (animation).
using IActionFunction = std::function<void(IControl*)>;
using IAnimationFunction = std::function<void(IControl*)>;

// ---------------------------------------------------------------------------------------------------------------
// IRECT — axis-aligned rectangle
// ---------------------------------------------------------------------------------------------------------------

// Left, top, right, bottom in graphics units. A rectangle whose four edges are all 0 is "empty": it contains no
// point and intersects nothing. Any other rectangle, even one of zero width, is not empty.
struct IRECT
{
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  // A w × h rectangle with its top-left corner at (x, y).
  static constexpr IRECT MakeXYWH(float x, float y, float w, float h) { return IRECT(x, y, x + w, y + h); }

  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return (L + R) * 0.5f; }
  constexpr float MH() const { return (T + B) * 0.5f; }

  constexpr bool Empty() const { return L == 0.f && T == 0.f && R == 0.f && B == 0.f; }
  constexpr void Clear() { L = T = R = B = 0.f; }

  constexpr bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  constexpr bool operator!=(const IRECT& o) const { return !(*this == o); }

  // Half-open: L <= x < R and T <= y < B. NaN coordinates are never contained.
  constexpr bool Contains(float x, float y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }

  // Whether other lies wholly inside this rectangle (edges may touch).
  constexpr bool Contains(const IRECT& o) const { return !Empty() && o.L >= L && o.R <= R && o.T >= T && o.B <= B; }

  // Deliberately asymmetric at touching edges: o's right or bottom edge touching this left or top edge counts,
  // this right or bottom edge touching o's left or top edge does not.
  constexpr bool Intersects(const IRECT& o) const { return !Empty() && o.R >= L && R > o.L && o.B >= T && o.T < B; }

  // The common part when they intersect, else the empty rectangle.
  constexpr IRECT Intersect(const IRECT& o) const
  {
    if (!Intersects(o)) return IRECT();
    return IRECT(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
  }

  // The bounding rectangle of both; an empty rectangle counts as nothing and yields the other.
  constexpr IRECT Union(const IRECT& o) const
  {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
  }

  // Grows this rectangle to the union with o.
  constexpr void UnionWith(const IRECT& o) { *this = Union(o); }

  // Outward to whole device pixels at scale s (s > 0): floor(L·s)/s, floor(T·s)/s, ceil(R·s)/s, ceil(B·s)/s.
  IRECT GetPixelAligned(float s) const
  {
    return IRECT(std::floor(L * s) / s, std::floor(T * s) / s, std::ceil(R * s) / s, std::ceil(B * s) / s);
  }
  void PixelAlign(float s) { *this = GetPixelAligned(s); }

  constexpr IRECT GetTranslated(float dx, float dy) const { return IRECT(L + dx, T + dy, R + dx, B + dy); }

  // Moved inward by pad on every side (outward for a negative pad).
  constexpr IRECT GetPadded(float pad) const { return IRECT(L + pad, T + pad, R - pad, B - pad); }
  constexpr IRECT GetPadded(float l, float t, float r, float b) const { return IRECT(L + l, T + t, R + r, B + b); }

  // Width and height multiplied by s, the centre kept.
  constexpr IRECT GetScaledAboutCentre(float s) const
  {
    const float hw = W() * s * 0.5f, hh = H() * s * 0.5f;
    return IRECT(MW() - hw, MH() - hh, MW() + hw, MH() + hh);
  }

  // Every edge multiplied by s.
  constexpr IRECT GetScaled(float s) const { return IRECT(L * s, T * s, R * s, B * s); }

  // A w × h rectangle centred inside this one; w is at least 1, and h 0 or less means h = w.
  constexpr IRECT GetCentredInside(float w, float h = 0.f) const
  {
    if (w < 1.f) w = 1.f;
    if (h <= 0.f) h = w;
    return IRECT(MW() - w * 0.5f, MH() - h * 0.5f, MW() + w * 0.5f, MH() + h * 0.5f);
  }
};

// ---------------------------------------------------------------------------------------------------------------
// IColor — alpha, red, green, blue, each meant to lie in 0..255
// ---------------------------------------------------------------------------------------------------------------

struct IColor
{
  int32_t A = 255;
  int32_t R = 0;
  int32_t G = 0;
  int32_t B = 0;

  // Opaque black.
  constexpr IColor() = default;
  constexpr IColor(int32_t a, int32_t r, int32_t g, int32_t b) : A(a), R(r), G(g), B(b) {}

  constexpr bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
  constexpr bool operator!=(const IColor& o) const { return !(*this == o); }

  // Each component limited to 0..255.
  constexpr void Clamp()
  {
    A = std::clamp(A, 0, 255);
    R = std::clamp(R, 0, 255);
    G = std::clamp(G, 0, 255);
    B = std::clamp(B, 0, 255);
  }
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_TRANSLUCENT(10, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_BLACK_DROP_SHADOW(128, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_LIGHT_GRAY(255, 240, 240, 240);
inline constexpr IColor COLOR_MID_GRAY(255, 200, 200, 200);
inline constexpr IColor COLOR_DARK_GRAY(255, 70, 70, 70);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);
inline constexpr IColor COLOR_INDIGO(255, 75, 0, 130);
inline constexpr IColor COLOR_VIOLET(255, 148, 0, 211);
inline constexpr IColor COLOR_SHADOW(60, 0, 0, 0);

// ---------------------------------------------------------------------------------------------------------------
// IBlend — compositing method and opacity
// ---------------------------------------------------------------------------------------------------------------

// Compositing methods; the drawing back end maps each to its own operation.
enum EBlend : int32_t
{
  kBlendDefault = 0, // source over: ordinary drawing
  kBlendSrcIn = 1,
  kBlendSrcOut = 2,
  kBlendSrcAtop = 3,
  kBlendDstOver = 4, // draws behind what is already there
  kBlendDstIn = 5,   // keeps what is there only where the new drawing covers it
  kBlendDstOut = 6,
  kBlendDstAtop = 7,
  kBlendAdd = 8,
  kBlendXOR = 9,
};

// A null blend pointer in a drawing call means the default: source over at full weight.
struct IBlend
{
  int32_t method = kBlendDefault;
  float weight = 1.f; // opacity multiplier, 0..1

  constexpr IBlend() = default;
  constexpr IBlend(int32_t m, float w) : method(m), weight(w) {}
};

inline constexpr IBlend BLEND_75(kBlendDefault, 0.75f);
inline constexpr IBlend BLEND_50(kBlendDefault, 0.5f);
inline constexpr IBlend BLEND_25(kBlendDefault, 0.25f);
inline constexpr IBlend BLEND_10(kBlendDefault, 0.1f);
inline constexpr IBlend BLEND_05(kBlendDefault, 0.05f);
inline constexpr IBlend BLEND_01(kBlendDefault, 0.01f);
inline constexpr IBlend BLEND_DST_IN(kBlendDstIn, 1.f);
inline constexpr IBlend BLEND_DST_OVER(kBlendDstOver, 1.f);

// ---------------------------------------------------------------------------------------------------------------
// IText — text style
// ---------------------------------------------------------------------------------------------------------------

enum EAlign : int32_t
{
  kAlignNear = 0, // left
  kAlignCenter = 1,
  kAlignFar = 2, // right
};

enum EVAlign : int32_t
{
  kVAlignTop = 0,
  kVAlignMiddle = 1,
  kVAlignBottom = 2,
};

struct IText
{
  static constexpr int kFontLen = 64; // font identifier field, terminator included

  char mFont[kFontLen] = {};
  float mSize = 14.f;                     // points
  IColor mFGColor = COLOR_BLACK;          // text colour
  IColor mTextEntryBGColor = COLOR_WHITE; // background of a text entry opened with this style
  IColor mTextEntryFGColor = COLOR_BLACK; // text colour of that entry
  float mAngle = 0.f;                     // degrees; positive turns clockwise on screen
  int32_t mAlign = kAlignCenter;          // EAlign
  int32_t mVAlign = kVAlignMiddle;        // EVAlign

  // "Roboto-Regular" at 14, black, centred both ways.
  constexpr IText() { SetFont("Roboto-Regular"); }

  // font may be null (empty identifier); longer identifiers are cut to 63 characters.
  constexpr IText(float size, const IColor& color, const char* font = "Roboto-Regular", int32_t align = kAlignCenter,
                  int32_t vAlign = kVAlignMiddle, float angle = 0.f, const IColor& teBG = COLOR_WHITE,
                  const IColor& teFG = COLOR_BLACK)
      : mSize(size), mFGColor(color), mTextEntryBGColor(teBG), mTextEntryFGColor(teFG), mAngle(angle), mAlign(align),
        mVAlign(vAlign)
  {
    SetFont(font);
  }

  constexpr void SetFont(const char* font)
  {
    int i = 0;
    if (font)
      for (; i < kFontLen - 1 && font[i]; ++i)
        mFont[i] = font[i];
    for (; i < kFontLen; ++i)
      mFont[i] = '\0';
  }
};

inline constexpr IText DEFAULT_TEXT = IText();
inline constexpr IText DEFAULT_LABEL_TEXT(19.f, COLOR_BLACK, "Roboto-Regular", kAlignCenter, kVAlignTop);
inline constexpr IText DEFAULT_VALUE_TEXT(14.f, COLOR_BLACK, "Roboto-Regular", kAlignCenter, kVAlignBottom);

// ---------------------------------------------------------------------------------------------------------------
// Mouse input
// ---------------------------------------------------------------------------------------------------------------

// Buttons and modifiers of one pointer sample. The mouse is touch 0.
struct IMouseMod
{
  bool L = false; // left button
  bool R = false; // right button
  bool S = false; // shift
  bool C = false; // control
  bool A = false; // alt
  uint64_t touchID = 0;
  float touchRadius = 0.f;

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false, uint64_t touch = 0,
                      float radius = 0.f)
      : L(l), R(r), S(s), C(c), A(a), touchID(touch), touchRadius(radius)
  {
  }
};

// One pointer sample: position and movement since the previous sample, in graphics units.
struct IMouseInfo
{
  float x = 0.f;
  float y = 0.f;
  float dX = 0.f;
  float dY = 0.f;
  IMouseMod ms;
};

// Mouse cursors the editor asks the platform for.
enum ECursor : int32_t
{
  kCursorArrow = 0,
  kCursorSizeNWSE = 5, // diagonal window-resize cursor
  kCursorHand = 11,
};

// Orientation argument of sliders, bubbles and SnapToMouse.
enum EDirection : int32_t
{
  kVertical = 0,
  kHorizontal = 1,
};

// Winding of PathArc: clockwise on screen, or counter-clockwise.
enum EWinding : int32_t
{
  kWindingCW = 0,
  kWindingCCW = 1,
};

// ---------------------------------------------------------------------------------------------------------------
// IMatrix — 2-D affine transform
// ---------------------------------------------------------------------------------------------------------------

// x' = xx·x + xy·y + tx, y' = yx·x + yy·y + ty. Every operation post-multiplies (M ← M × N): the new operation acts
// first, in the local coordinates of the current matrix. Each returns the matrix for chaining.
struct IMatrix
{
  double mXX = 1.0, mYX = 0.0, mXY = 0.0, mYY = 1.0, mTX = 0.0, mTY = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx, double yx, double xy, double yy, double tx, double ty)
      : mXX(xx), mYX(yx), mXY(xy), mYY(yy), mTX(tx), mTY(ty)
  {
  }

  constexpr bool operator==(const IMatrix& o) const
  {
    return mXX == o.mXX && mYX == o.mYX && mXY == o.mXY && mYY == o.mYY && mTX == o.mTX && mTY == o.mTY;
  }

  IMatrix& Transform(const IMatrix& n)
  {
    const IMatrix m = *this;
    mXX = m.mXX * n.mXX + m.mXY * n.mYX;
    mYX = m.mYX * n.mXX + m.mYY * n.mYX;
    mXY = m.mXX * n.mXY + m.mXY * n.mYY;
    mYY = m.mYX * n.mXY + m.mYY * n.mYY;
    mTX = m.mXX * n.mTX + m.mXY * n.mTY + m.mTX;
    mTY = m.mYX * n.mTX + m.mYY * n.mTY + m.mTY;
    return *this;
  }
  IMatrix& Translate(float x, float y) { return Transform(IMatrix(1.0, 0.0, 0.0, 1.0, x, y)); }
  IMatrix& Scale(float x, float y) { return Transform(IMatrix(x, 0.0, 0.0, y, 0.0, 0.0)); }
  // Degrees, clockwise on screen (y down).
  IMatrix& Rotate(float degrees)
  {
    const float rad = degrees / 180.f * 3.1415927f;
    const double c = std::cos(rad), s = std::sin(rad);
    return Transform(IMatrix(c, s, -s, c, 0.0, 0.0));
  }
  IMatrix& Skew(float xDegrees, float yDegrees)
  {
    const float xa = xDegrees / 180.f * 3.1415927f, ya = yDegrees / 180.f * 3.1415927f;
    return Transform(IMatrix(1.0, std::tan(ya), std::tan(xa), 1.0, 0.0, 0.0));
  }

  void TransformPoint(double& x, double& y) const
  {
    const double x0 = x;
    x = mXX * x0 + mXY * y + mTX;
    y = mYX * x0 + mYY * y + mTY;
  }
};

// ---------------------------------------------------------------------------------------------------------------
// Paints and stroke / fill options
// ---------------------------------------------------------------------------------------------------------------

struct IColorStop
{
  IColor mColor = COLOR_BLACK;
  float mOffset = 0.f; // 0..1 along the gradient

  constexpr IColorStop() = default;
  constexpr IColorStop(const IColor& color, float offset) : mColor(color), mOffset(offset) {}
};

enum EPatternType : int32_t
{
  kSolidPattern = 0,
  kLinearPattern = 1,
  kRadialPattern = 2,
};

// How a gradient continues past its ends.
enum EPatternExtend : int32_t
{
  kExtendNone = 0,
  kExtendPad = 1,
  kExtendReflect = 2,
  kExtendRepeat = 3,
};

// A solid colour or a gradient of at most 16 stops; the transform maps drawing coordinates into gradient space.
struct IPattern
{
  static constexpr int kMaxStops = 16;

  int32_t mType = kSolidPattern;
  int32_t mExtend = kExtendPad;
  IColorStop mStops[kMaxStops] = {};
  int32_t mNStops = 0;
  IMatrix mTransform;

  // A gradient of the type without stops yet.
  constexpr explicit IPattern(EPatternType type) : mType(type) {}
  // Solid: one stop of the colour at offset 0.
  constexpr IPattern(const IColor& color) : mNStops(1) { mStops[0] = IColorStop(color, 0.f); }

  // A stop beyond the sixteenth is not added.
  constexpr void AddStop(const IColor& color, float offset)
  {
    if (mNStops < kMaxStops) mStops[mNStops++] = IColorStop(color, offset);
  }
  constexpr int NStops() const { return mNStops; }
  constexpr const IColorStop& GetStop(int i) const { return mStops[i]; }
};

enum ELineCap : int32_t
{
  kCapButt = 0,
  kCapRound = 1,
  kCapSquare = 2,
};

enum ELineJoin : int32_t
{
  kJoinMiter = 0,
  kJoinRound = 1,
  kJoinBevel = 2,
};

struct IStrokeOptions
{
  struct DashOptions
  {
    float mArray[8] = {};
    float mOffset = 0.f;
    int32_t mCount = 0; // 0: a solid line; 1: one length for both dash and gap

    // At most 8 lengths are kept; a null array sets none.
    constexpr void SetDash(const float* lengths, float offset, int count)
    {
      mCount = 0;
      mOffset = offset;
      if (!lengths) return;
      for (int i = 0; i < count && i < 8; ++i)
        mArray[mCount++] = lengths[i];
    }
  };

  float mMiterLimit = 10.f;
  bool mPreserve = false; // keep the path for a further fill or stroke
  int32_t mCapOption = kCapButt;
  int32_t mJoinOption = kJoinMiter;
  DashOptions mDash;
};

enum EFillRule : int32_t
{
  kFillWinding = 0,
  kFillEvenOdd = 1,
  kFillPreserveWinding = 2, // the windings set per sub-path with PathSetWinding
};

struct IFillOptions
{
  int32_t mFillRule = kFillWinding;
  bool mPreserve = false;
};

// ---------------------------------------------------------------------------------------------------------------
// Vector-control style
// ---------------------------------------------------------------------------------------------------------------

enum EVColor : int32_t
{
  kBG = 0, // background
  kFG,     // foreground
  kPR,     // pressed
  kFR,     // frame
  kHL,     // highlight
  kSH,     // shadow
  kX1,
  kX2,
  kX3,
  kNumVColors
};

inline constexpr IColor DEFAULT_BGCOLOR = COLOR_TRANSPARENT;
inline constexpr IColor DEFAULT_FGCOLOR = COLOR_MID_GRAY;
inline constexpr IColor DEFAULT_PRCOLOR = COLOR_LIGHT_GRAY;
inline constexpr IColor DEFAULT_FRCOLOR = COLOR_DARK_GRAY;
inline constexpr IColor DEFAULT_HLCOLOR = COLOR_TRANSLUCENT;
inline constexpr IColor DEFAULT_SHCOLOR = COLOR_SHADOW;
inline constexpr IColor DEFAULT_X1COLOR = COLOR_BLACK;
inline constexpr IColor DEFAULT_X2COLOR = COLOR_GREEN;
inline constexpr IColor DEFAULT_X3COLOR = COLOR_BLUE;

struct IVColorSpec
{
  IColor mColors[kNumVColors] = {DEFAULT_BGCOLOR, DEFAULT_FGCOLOR, DEFAULT_PRCOLOR, DEFAULT_FRCOLOR, DEFAULT_HLCOLOR,
                                 DEFAULT_SHCOLOR, DEFAULT_X1COLOR, DEFAULT_X2COLOR, DEFAULT_X3COLOR};

  constexpr IVColorSpec() = default;
  // The listed colours from index 0; every index not listed is opaque black, not its role's default. Extra
  // entries are ignored.
  constexpr IVColorSpec(std::initializer_list<IColor> colors)
  {
    int i = 0;
    for (const IColor& c : colors)
      if (i < kNumVColors) mColors[i++] = c;
    for (; i < kNumVColors; ++i)
      mColors[i] = IColor();
  }

  // The colour of a role; an index outside 0..8 gives the background colour.
  constexpr const IColor& GetColor(int c) const { return mColors[(c >= 0 && c < kNumVColors) ? c : 0]; }
  constexpr void SetColor(int c, const IColor& color)
  {
    if (c >= 0 && c < kNumVColors) mColors[c] = color;
  }
};

inline constexpr IVColorSpec DEFAULT_COLOR_SPEC = IVColorSpec();

struct IVStyle
{
  bool hideCursor = true;
  bool showLabel = true;
  bool showValue = true;
  bool drawFrame = true;
  bool drawShadows = true;
  bool emboss = false;
  float roundness = 0.f;
  float frameThickness = 1.f;
  float shadowOffset = 3.f; // points
  float widgetFrac = 1.f;
  float angle = 0.f;
  IVColorSpec colorSpec = DEFAULT_COLOR_SPEC;
  IText labelText = DEFAULT_LABEL_TEXT;
  IText valueText = DEFAULT_VALUE_TEXT;
};

inline constexpr IVStyle DEFAULT_STYLE = IVStyle();

// The style of an installed font asked for by family name.
enum class ETextStyle : int32_t
{
  Normal = 0,
  Bold = 1,
  Italic = 2,
};

// ---------------------------------------------------------------------------------------------------------------
// Bitmaps
// ---------------------------------------------------------------------------------------------------------------

// A decoded image of the drawing back end; the back end's subclass frees the image.
class APIBitmap
{
public:
  APIBitmap() = default;
  APIBitmap(int handle, int width, int height, float scale, float drawScale)
      : mHandle(handle), mWidth(width), mHeight(height), mScale(scale), mDrawScale(drawScale)
  {
  }
  virtual ~APIBitmap() = default;
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  int GetHandle() const { return mHandle; }
  int GetWidth() const { return mWidth; }   // pixels
  int GetHeight() const { return mHeight; } // pixels
  float GetScale() const { return mScale; } // the screen scale the pixels were made for
  float GetDrawScale() const { return mDrawScale; }

protected:
  int mHandle = 0;
  int mWidth = 0;
  int mHeight = 0;
  float mScale = 1.f;
  float mDrawScale = 1.f;
};

// A handle copied by value; it owns nothing (the image belongs to the bitmap cache). Frames are numbered from 1.
struct IBitmap
{
  APIBitmap* mAPIBitmap = nullptr;
  int W = 0; // points
  int H = 0; // points
  int N = 0; // frames
  bool mFramesAreHorizontal = false;
  Util_String mResourceName;

  IBitmap() = default;
  // Size in points from the image's pixels and scale (truncated); a scale that is not positive counts as 1.
  IBitmap(APIBitmap* bitmap, int nStates, bool framesAreHorizontal, const char* name = "")
      : mAPIBitmap(bitmap), N(nStates), mFramesAreHorizontal(framesAreHorizontal), mResourceName(name)
  {
    if (bitmap)
    {
      const float s = bitmap->GetScale() > 0.f ? bitmap->GetScale() : 1.f;
      W = static_cast<int>(static_cast<float>(bitmap->GetWidth()) / s);
      H = static_cast<int>(static_cast<float>(bitmap->GetHeight()) / s);
    }
  }

  int FrameWidth() const { return (mFramesAreHorizontal && N > 0) ? W / N : W; }
  int FrameHeight() const { return (!mFramesAreHorizontal && N > 0) ? H / N : H; }
  float GetScale() const { return mAPIBitmap ? mAPIBitmap->GetScale() : 1.f; }
  float GetDrawScale() const { return mAPIBitmap ? mAPIBitmap->GetDrawScale() : 1.f; }
  bool IsValid() const { return mAPIBitmap != nullptr; }
};

// ---------------------------------------------------------------------------------------------------------------
// Touch gestures
// ---------------------------------------------------------------------------------------------------------------

enum class EGestureType : int32_t
{
  Unknown = -1,
  DoubleTap = 0,
  TripleTap,
  LongPress1,
  LongPress2,
  SwipeLeft,
  SwipeRight,
  SwipeUp,
  SwipeDown,
  Pinch,
  Rotate,
};

enum class EGestureState : int32_t
{
  Unknown = 0,
  Began,
  InProcess,
  Ended,
};

struct IGestureInfo
{
  float x = 0.f;
  float y = 0.f;
  float scale = 0.f;    // pinch
  float velocity = 0.f; // pinch and rotate
  float angle = 0.f;    // rotate
  EGestureState state = EGestureState::Unknown;
  EGestureType type = EGestureType::Unknown;
};

// The calling control is null when a gesture region, not a control, receives the gesture.
using IGestureFunc = std::function<void(IControl*, const IGestureInfo&)>;

// ---------------------------------------------------------------------------------------------------------------
// IRECTList — the dirty rectangles of one frame
// ---------------------------------------------------------------------------------------------------------------

class IRECTList
{
public:
  IRECTList() = default;
  IRECTList(const IRECTList&) = delete;
  IRECTList& operator=(const IRECTList&) = delete;

  int Size() const { return mRects.GetSize(); }
  // Appends; nothing when the list cannot grow.
  void Add(const IRECT& r) { mRects.Add(r); }
  // Null-safe: an index outside the list is ignored / gives the empty rectangle.
  void Set(int idx, const IRECT& r)
  {
    if (idx >= 0 && idx < Size()) mRects.Get()[idx] = r;
  }
  IRECT Get(int idx) const { return (idx >= 0 && idx < Size()) ? mRects.Get()[idx] : IRECT(); }
  void Delete(int idx) { mRects.Delete(idx); }
  // Keeps the storage: the list reaches a steady size and stops allocating.
  void Clear() { mRects.Resize(0, false); }
  // The union of every rectangle (empty ones count as nothing).
  IRECT Bounds() const;

  // Every rectangle outward to whole device pixels at scale (> 0).
  void PixelAlign(float scale);
  // Drops rectangles inside others, shrinks or splits overlapping ones, merges neighbours that line up. The
  // result covers every area the list covered before.
  void Optimize();

private:
  Util_TypedBuf<IRECT> mRects{4096};
};

} // namespace igraphics
} // namespace plugin

#pragma once

#include <cstring>

// The small value types every editor drawing and input call is made with: rectangles, colours, blends, text
// styles, mouse modifiers and key presses, plus the shared constants built from them. Plain records, copied by
// value, owning nothing. The constants are inline, so every unit that includes this header sees the same values.
//
// Geometry is in graphics units (points before the draw and screen scales are applied).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

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
    const size_t len = strnlen(text, 5);
    int n = len > 4 ? 4 : static_cast<int>(len);
    // A cut in the middle of a multi-byte sequence would leave a broken character: back up to its start.
    if (len > 4)
    {
      while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    for (int i = 0; i < n; ++i) utf8[i] = text[i];
  }
};

namespace igraphics
{

using plugin::IKeyPress;

class IControl;

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
  constexpr bool Contains(const IRECT& o) const
  {
    return !Empty() && o.L >= L && o.R <= R && o.T >= T && o.B <= B;
  }

  // Deliberately asymmetric at touching edges: o's right or bottom edge touching this left or top edge counts,
  // this right or bottom edge touching o's left or top edge does not.
  constexpr bool Intersects(const IRECT& o) const
  {
    return !Empty() && o.R >= L && R > o.L && o.B >= T && o.T < B;
  }

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
  float mSize = 14.f;                       // points
  IColor mFGColor = COLOR_BLACK;            // text colour
  IColor mTextEntryBGColor = COLOR_WHITE;   // background of a text entry opened with this style
  IColor mTextEntryFGColor = COLOR_BLACK;   // text colour of that entry
  float mAngle = 0.f;                       // degrees; positive turns clockwise on screen
  int32_t mAlign = kAlignCenter;            // EAlign
  int32_t mVAlign = kVAlignMiddle;          // EVAlign

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
      for (; i < kFontLen - 1 && font[i]; ++i) mFont[i] = font[i];
    for (; i < kFontLen; ++i) mFont[i] = '\0';
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

} // namespace igraphics
} // namespace plugin

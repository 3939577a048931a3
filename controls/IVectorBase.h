#pragma once

// IVectorBase — the drawing half of every vector-drawn control.
//
// A mix-in next to an IControl (or one of the interaction bases): it holds the control's IVStyle, its widget, label
// and value rectangles, its label and value strings and a shape number, and draws the background, the label, the
// value and the pressable shapes (rectangle, ellipse, triangle) with shadows, emboss, hover highlight, disabled
// dimming and the click splash. The deriving control calls AttachIControl(this) in its constructor; until then the
// shapes draw without the control's blend and without a splash.
//
// Geometry is in graphics units. Threads: main thread only.

#include "graphics/IGraphicsStructs.h"
#include "graphics/Util.h"

namespace plugin::igraphics
{

class IControl;
class IGraphics;

// The shapes DrawPressableShape knows; any other number draws nothing.
enum EVShape : int32_t
{
  kVShapeRectangle = 0,
  kVShapeEllipse = 1,
  kVShapeTriangle = 2,
  kVShapeEndsRounded = 3, // only the first two corners (top-left, top-right) rounded
  kVShapeAllRounded = 4,
};

// The colour as a disabled control shows it: red, green and blue lowered by 63 (a quarter of 255), each kept in
// 0..255, alpha unchanged. Not disabled: the colour as it is.
IColor DimmedColor(const IColor& color, bool disabled);

class IVectorBase
{
public:
  // The built-in default style first, then SetStyle(style).
  explicit IVectorBase(const IVStyle& style = DEFAULT_STYLE, bool labelInWidget = false, bool valueInWidget = false);

  IVectorBase(const IVectorBase&) = delete;
  IVectorBase& operator=(const IVectorBase&) = delete;

  // Links the owning control (its blend, animation and disabled state are read while drawing) and sets the label.
  // A null label keeps the label empty.
  void AttachIControl(IControl* control, const char* label = "");

  // -------------------------------------------------------------------------------------------------------------
  // Drawing [main thread]
  // -------------------------------------------------------------------------------------------------------------

  // Divides parent into label, widget and value rectangles and returns the clickable area (parent less the label
  // above it). With hasHandle the widget is the clickable area less the frame and shadow margins. Text is measured
  // through the owning control's graphics context; without one every text measures as nothing.
  IRECT MakeRects(const IRECT& parent, bool hasHandle = false);

  // Copies the whole style.
  virtual void SetStyle(const IVStyle& style);
  // rect filled in colour 0 with the control's blend.
  virtual void DrawBackground(IGraphics& g, const IRECT& rect);
  // Nothing here; each control draws its widget.
  virtual void DrawWidget(IGraphics& g);
  // The label string in the label rectangle with the style's label text, when that rectangle has height and the
  // style shows labels.
  virtual void DrawLabel(IGraphics& g);
  // mouseOver: the value rectangle tinted (translucent black); then the value string, when the style shows values.
  virtual void DrawValue(IGraphics& g, bool mouseOver);
  // shape: an EVShape; other numbers draw nothing.
  virtual void DrawPressableShape(IGraphics& g, int shape, const IRECT& bounds, bool pressed, bool mouseOver,
                                  bool disabled);

  // Corner flags in the per-corner order of IGraphics::FillRoundRect: top-left, top-right, bottom-left,
  // bottom-right. The radius is a fraction (the style's roundness) of half the handle's shorter side.
  void DrawPressableRectangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled,
                              bool roundTL = true, bool roundTR = true, bool roundBL = true, bool roundBR = true);
  void DrawPressableEllipse(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, bool disabled);
  // angle: degrees, clockwise on screen, about the handle's centre; the unrotated triangle points up.
  void DrawPressableTriangle(IGraphics& g, const IRECT& bounds, bool pressed, bool mouseOver, float angle,
                             bool disabled);
  // The splash circle in colour 4, clipped to clip within the current clip region (an empty clip: the region).
  void PaintClickSplash(IGraphics& g, const IRECT& clip = IRECT());

  // -------------------------------------------------------------------------------------------------------------
  // State [main thread]
  // -------------------------------------------------------------------------------------------------------------

  const IVStyle& GetStyle() const { return mStyle; }
  const IColor& GetColor(int colorIdx) const { return mStyle.colorSpec.GetColor(colorIdx); }
  void SetColor(int colorIdx, const IColor& color) { mStyle.colorSpec.SetColor(colorIdx, color); }

  // Null means the empty text.
  void SetLabelStr(const char* str) { mLabelStr.Set(str ? str : ""); }
  void SetValueStr(const char* str) { mValueStr.Set(str ? str : ""); }
  const char* GetLabelStr() const { return mLabelStr.Get(); }
  const char* GetValueStr() const { return mValueStr.Get(); }

  void SetShape(int shape) { mShape = shape; }
  int GetShape() const { return mShape; }

  void SetSplashPoint(float x, float y)
  {
    mSplashX = x;
    mSplashY = y;
  }
  void SetSplashRadius(float r) { mSplashRadius = r; }
  float GetSplashRadius() const { return mSplashRadius; }
  float GetMaxSplashRadius() const { return mMaxSplashRadius; }

  const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
  const IRECT& GetLabelBounds() const { return mLabelBounds; }
  const IRECT& GetValueBounds() const { return mValueBounds; }
  void SetWidgetBounds(const IRECT& r) { mWidgetBounds = r; }
  void SetLabelBounds(const IRECT& r) { mLabelBounds = r; }
  void SetValueBounds(const IRECT& r) { mValueBounds = r; }

  float GetTrackSize() const { return mTrackSize; }
  void SetTrackSize(float size) { mTrackSize = size; }

protected:
  // Not deleted through this mix-in: the owning control's destructor ends its life.
  ~IVectorBase() = default;

  // The owning control's blend, or none before a control is attached.
  const IBlend* ControlBlend() const;
  // Whether the owning control is animating (a click splash is running).
  bool SplashRunning() const;

  IControl* mControl = nullptr;
  IVStyle mStyle;
  bool mLabelInWidget = false;
  bool mValueInWidget = false;
  float mSplashRadius = 0.f;
  float mSplashX = 0.f;
  float mSplashY = 0.f;
  float mMaxSplashRadius = 50.f;
  float mTrackSize = 2.f;
  float mValueDisplayFrac = 0.66f;
  IRECT mWidgetBounds;
  IRECT mLabelBounds;
  IRECT mValueBounds;
  Util_String mLabelStr;
  Util_String mValueStr;
  int mShape = kVShapeRectangle;
};

// Click feedback of vector controls: the splash grows from the last mouse-down point to the maximum splash radius
// over 100 ms. The click action sets the point and starts the animation; the animation step grows the radius and
// ends the animation once its progress passes 1. Controls without a vector part only redraw.
void SplashClickActionFunc(IControl* caller);
void SplashAnimationFunc(IControl* caller);

} // namespace plugin::igraphics

#pragma once

// Vector knob and slider: the knob and slider interaction bases drawn from an IVStyle.
//
// IVKnobControl is a round knob: an arc track (colour 6) from the anchor angle to the value, a pressable ellipse
// handle and a pointer line (colour 3). IVSliderControl is a linear slider: a track (colour 5) filled up to the
// value (colour 6) and a pressable handle at the value. Both show a label above the widget and the value text where
// the style's value text aligns it; with an editable value a click on the value text opens text entry instead of
// starting a drag.
//
// Angles are in degrees, clockwise from 12 o'clock. Geometry is in graphics units. Threads: main thread only.

#include "controls/IControlBases.h"
#include "controls/IVectorBase.h"

namespace plugin::igraphics
{

class IVKnobControl : public IKnobControlBase, public IVectorBase
{
public:
  // valueIsEditable: a click on the value text prompts for a value (prompts stay disabled otherwise).
  // startAngle/endAngle: the pointer's angle at values 0 and 1; anchorAngle: where the arc track starts.
  // trackSize: the arc's thickness (0: no arc).
  IVKnobControl(const IRECT& bounds, int paramIdx, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                bool valueIsEditable = false, bool valueInWidget = false, float startAngle = -135.f,
                float endAngle = 135.f, float anchorAngle = -135.f, EDirection direction = kVertical,
                double gearing = 4.0, float trackSize = 2.f);
  // Action form: one unlinked slot; actionFunc runs on every change.
  IVKnobControl(const IRECT& bounds, IActionFunction actionFunc, const char* label = "",
                const IVStyle& style = DEFAULT_STYLE, bool valueIsEditable = false, bool valueInWidget = false,
                float startAngle = -135.f, float endAngle = 135.f, float anchorAngle = -135.f,
                EDirection direction = kVertical, double gearing = 4.0, float trackSize = 2.f);

  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  // The widget, or the value text when the value is editable.
  bool IsHit(float x, float y) const override;
  // Also refreshes the value text from the linked parameter (display text and unit).
  void SetDirty(bool triggerAction, int valIdx = -1) override;
  // Value text from the parameter; an empty label becomes the parameter's name.
  void OnInit() override;

  // A rectangle centred on the widget, the widget's shorter side long across the drag direction's cross axis and
  // half as long along the other (never narrower than 1), so a drag over it spans the value range once per gearing.
  IRECT GetKnobDragBounds() override;
  void DrawWidget(IGraphics& g) override;
  // angle: degrees; radius: of the arc's centre line.
  virtual void DrawIndicatorTrack(IGraphics& g, float angle, float cx, float cy, float radius);
  // radius: the handle's radius; the pointer runs from radius × inner to radius × outer fraction.
  virtual void DrawPointer(IGraphics& g, float angle, float cx, float cy, float radius);

  void SetPointerThickness(float thickness) { mPointerThickness = thickness; }
  void SetInnerPointerFrac(float frac) { mInnerPointerFrac = frac; }
  void SetOuterPointerFrac(float frac) { mOuterPointerFrac = frac; }
  bool GetValueMouseOver() const { return mValueMouseOver; }

protected:
  float mTrackToHandleDistance = 4.f;
  float mInnerPointerFrac = 0.1f;
  float mOuterPointerFrac = 1.f;
  float mPointerThickness = 2.5f;
  float mAngle1;
  float mAngle2;
  float mAnchorAngle;
  bool mValueMouseOver = false;
};

class IVSliderControl : public ISliderControlBase, public IVectorBase
{
public:
  // handleInsideTrack: the drawn track reaches one handle size beyond both ends, so the handle never overhangs it.
  // handleSize: half the handle's side (0: no handle); trackSize: half the track's thickness (0: no track).
  IVSliderControl(const IRECT& bounds, int paramIdx, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                  bool valueIsEditable = false, EDirection direction = kVertical, bool handleInsideTrack = false,
                  double gearing = 4.0, float handleSize = 8.f, float trackSize = 2.f);
  // Action form: one unlinked slot.
  IVSliderControl(const IRECT& bounds, IActionFunction actionFunc, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool valueIsEditable = false, EDirection direction = kVertical,
                  bool handleInsideTrack = false, double gearing = 4.0, float handleSize = 8.f, float trackSize = 2.f);

  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // Label, widget and value rectangles; the track runs along the widget, inset by the handle size at both ends.
  void OnResize() override;
  bool IsHit(float x, float y) const override;
  void SetDirty(bool triggerAction, int valIdx = -1) override;
  void OnInit() override;

  void DrawWidget(IGraphics& g) override;
  // filledArea: the part of the track below (vertical) or left of (horizontal) the value.
  virtual void DrawTrack(IGraphics& g, const IRECT& filledArea);
  virtual void DrawHandle(IGraphics& g, const IRECT& bounds);

  bool GetValueMouseOver() const { return mValueMouseOver; }

protected:
  bool mHandleInsideTrack;
  bool mValueMouseOver = false;
};

} // namespace plugin::igraphics

#pragma once

// SVG controls: state drawn from parsed SVG documents instead of bitmaps or vector shapes.
//
// ISVGControl shows one document as a background or decoration; the four others join an interaction base with an
// image draw: a two-image button, a rotating knob, a switch with one image per state and a slider with a track and
// a handle image. SVG drawing is resolution-independent, so none of them reloads anything on rescale. A document
// handle without a document (a missing resource) is still handed to drawing, which then draws nothing.
//
// Geometry is in graphics units; angles in degrees, clockwise. Threads: main thread only.

#include "controls/IControl.h"
#include "controls/IControlBases.h"
#include "graphics/ILayer.h"
#include "graphics/ISVG.h"

#include <initializer_list>
#include <vector>

namespace plugin::igraphics
{

// One document drawn over the control's rectangle, as a background or a decoration.
class ISVGControl : public IControl
{
public:
  // useLayer caches the drawing in an off-screen layer: the document is drawn into it once and the layer's image is
  // drawn on later frames, until the layer is invalidated, the control moves or resizes, or the scale changes.
  ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer = false);

  void Draw(IGraphics& g) override;

  // A new document also makes the cached layer stale.
  void SetSVG(const ISVG& svg)
  {
    mSVG = svg;
    InvalidateLayer();
    SetDirty(false);
  }
  const ISVG& GetSVG() const { return mSVG; }
  bool GetUseLayer() const { return mUseLayer; }
  // The next draw makes the layer anew (nothing without one).
  void InvalidateLayer()
  {
    if (mLayer) mLayer->Invalidate();
  }

protected:
  bool mUseLayer;
  ILayerPtr mLayer; // the cached drawing; empty until the first layered draw
  ISVG mSVG;
};

// A momentary button: the on image while its value is above 0.5, else the off image.
class ISVGButtonControl : public IButtonControlBase
{
public:
  ISVGButtonControl(const IRECT& bounds, IActionFunction actionFunc, const ISVG& offImage, const ISVG& onImage);

  void Draw(IGraphics& g) override;

protected:
  ISVG mOffImage;
  ISVG mOnImage;
};

// A vertical-drag knob (gearing 4) drawn by turning one image from −135° at 0 to +135° at 1.
class ISVGKnobControl : public IKnobControlBase
{
public:
  ISVGKnobControl(const IRECT& bounds, const ISVG& svg, int paramIdx = -1);

  void Draw(IGraphics& g) override;
  // Degrees for a normalised value.
  double AngleForValue(double value) const
  {
    return static_cast<double>(mStartAngle) + static_cast<double>(mEndAngle - mStartAngle) * value;
  }

  void ReplaceImage(const ISVG& svg);

protected:
  ISVG mSVG;
  float mStartAngle = -135.f;
  float mEndAngle = 135.f;
};

// A switch with one image per state. A linked parameter may give the switch more states than it has images: the
// state's image is then limited to the last one.
class ISVGSwitchControl : public ISwitchControlBase
{
public:
  ISVGSwitchControl(const IRECT& bounds, const std::vector<ISVG>& images, int paramIdx = -1,
                    IActionFunction actionFunc = nullptr);
  ISVGSwitchControl(const IRECT& bounds, std::initializer_list<ISVG> images, int paramIdx = -1,
                    IActionFunction actionFunc = nullptr)
      : ISVGSwitchControl(bounds, std::vector<ISVG>(images), paramIdx, actionFunc)
  {
  }

  void Draw(IGraphics& g) override;
  // The image index for a value: int((states − 1) × value + 0.5), limited to the images that exist; −1 for none.
  int ImageIndexForValue(double value) const;

protected:
  std::vector<ISVG> mImages;
};

// A slider whose track and handle images keep their documents' proportions inside the control.
class ISVGSliderControl : public ISliderControlBase
{
public:
  ISVGSliderControl(const IRECT& bounds, const ISVG& handleImage, const ISVG& trackImage, int paramIdx = -1,
                    EDirection direction = kVertical, double gearing = 4.0);

  // Lays out the track image, the handle at value 1 and the track the handle travels along. Documents without
  // size lay out as 1-point-wide strips rather than dividing by nothing.
  void OnResize() override;
  void Draw(IGraphics& g) override;

  // The handle's rectangle for value (0..1; negative: the current value): value 1 at the top (vertical) or right
  // end (horizontal) of the track image.
  IRECT HandleRectForValue(double value) const;
  const IRECT& GetTrackImageBounds() const { return mTrackSVGBounds; }

protected:
  ISVG mHandleImage;
  ISVG mTrackImage;
  IRECT mTrackSVGBounds;
  IRECT mHandleBoundsAtMax;
};

} // namespace plugin::igraphics

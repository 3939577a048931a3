#pragma once

// Bitmap controls: a control's state drawn from a pre-rendered bitmap instead of vector shapes.
//
// A bitmap may hold several frames side by side or stacked; IBitmapBase picks the frame from slot 0's normalised
// value (frame 1 for 0, frame N for 1, values rounding to the nearest frame) and draws it centred on the control.
// The bitmap's image belongs to the graphics context's bitmap cache; a control only holds the handle. A bitmap
// without an image (a missing resource) is still handed to drawing, which then draws nothing.
//
// Geometry is in graphics units (points). Threads: main thread only.

#include "controls/IControl.h"
#include "controls/IControlBases.h"
#include "controls/ITextControls.h"
#include "graphics/IGraphicsStructs.h"

namespace plugin::igraphics
{

class IGraphics;

// The mix-in that holds the bitmap and draws the frame for the owning control.
class IBitmapBase
{
public:
  explicit IBitmapBase(const IBitmap& bitmap) : mBitmap(bitmap) {}
  virtual ~IBitmapBase() = default;

  IBitmapBase(const IBitmapBase&) = delete;
  IBitmapBase& operator=(const IBitmapBase&) = delete;

  // Every deriving constructor links the control it belongs to; the value, rectangle and blend are read from it.
  void AttachIControl(IControl* control) { mControl = control; }

  // [main thread] The frame for slot 0's value, centred on the control's rectangle, with the control's blend.
  void DrawBitmap(IGraphics& g);

  // The frame (1..n) that stands for a normalised value: round(value × (n − 1)) + 1, limited to the frames that
  // exist; 1 for a bitmap of fewer than two frames and for a value that is not a number.
  static int FrameForValue(double value, int nFrames);
  // The frame-size rectangle centred in bounds.
  static IRECT FrameRectCentredIn(const IBitmap& bitmap, const IRECT& bounds);

  const IBitmap& GetBitmap() const { return mBitmap; }
  void SetBitmap(const IBitmap& bitmap) { mBitmap = bitmap; }

protected:
  // The same bitmap loaded again for the owning control's context at its screen scale. A failed load keeps the
  // bitmap already held, so that a missing scaled variant does not blank the control.
  void RescaleBitmap();

  IBitmap mBitmap;
  IControl* mControl = nullptr;
};

// A static bitmap, or one whose frame follows a parameter.
class IBitmapControl : public IControl, public IBitmapBase
{
public:
  // Rectangle (x, y, x + frame width, y + frame height); blend {blendMethod, 1.0}.
  IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx = -1, int blendMethod = kBlendDefault);

  void Draw(IGraphics& g) override { DrawBitmap(g); }
  void OnRescale() override { RescaleBitmap(); }
};

// A momentary button drawn from its frames (frame 1 released, the last frame pressed).
class IBButtonControl : public IButtonControlBase, public IBitmapBase
{
public:
  IBButtonControl(float x, float y, const IBitmap& bitmap, IActionFunction actionFunc = DefaultClickActionFunc);
  // The frame-size rectangle centred in bounds.
  IBButtonControl(const IRECT& bounds, const IBitmap& bitmap, IActionFunction actionFunc = DefaultClickActionFunc);

  void Draw(IGraphics& g) override { DrawBitmap(g); }
  void OnRescale() override { RescaleBitmap(); }
};

// A switch that steps through the frames of its bitmap: each click adds 1 / (N − 1) (1 for a one-frame bitmap) and
// wraps to 0 past 1.001. The bitmap's frame count decides the steps, whatever the state count of the base.
class IBSwitchControl : public ISwitchControlBase, public IBitmapBase
{
public:
  IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx = -1);
  // The frame-size rectangle centred in bounds.
  IBSwitchControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = -1);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(IGraphics& g) override { DrawBitmap(g); }
  void OnRescale() override { RescaleBitmap(); }
};

// A handle bitmap moving along a track, with an optional track bitmap drawn behind it.
class IBSliderControl : public ISliderControlBase, public IBitmapBase
{
public:
  // Vertical: (x, y, x + handle W, y + trackLength); horizontal: (x, y, x + trackLength, y + handle H).
  IBSliderControl(float x, float y, float trackLength, const IBitmap& handleBitmap, const IBitmap& trackBitmap,
                  int paramIdx = -1, EDirection direction = kVertical, double gearing = 4.0);
  IBSliderControl(const IRECT& bounds, const IBitmap& handleBitmap, const IBitmap& trackBitmap, int paramIdx = -1,
                  EDirection direction = kVertical, double gearing = 4.0);

  // The track: the track bitmap's frame centred in the control, or without one a strip as wide (vertical) or as
  // tall (horizontal) as the handle bitmap through the control's centre.
  void OnResize() override;
  void Draw(IGraphics& g) override;
  // Only the handle bitmap follows the screen scale.
  void OnRescale() override { RescaleBitmap(); }

  // The handle's rectangle for value (0..1; negative: the current value). Value 1 puts it at the top (vertical)
  // or the right end (horizontal) of the track.
  IRECT HandleRectForValue(double value) const;

  const IBitmap& GetTrackBitmap() const { return mTrackBitmap; }

protected:
  IBitmap mTrackBitmap;
};

// A knob drawn as the frame of its bitmap that matches its value.
class IBKnobControl : public IKnobControlBase, public IBitmapBase
{
public:
  // The frame-size rectangle centred in bounds.
  IBKnobControl(const IRECT& bounds, const IBitmap& bitmap, int paramIdx = -1, EDirection direction = kVertical,
                double gearing = 4.0);

  void Draw(IGraphics& g) override { DrawBitmap(g); }
  void OnRescale() override { RescaleBitmap(); }
};

// A knob drawn by turning one bitmap: −130° at 0, upright at 0.5, +130° at 1.
class IBKnobRotaterControl : public IBKnobControl
{
public:
  using IBKnobControl::IBKnobControl;

  void Draw(IGraphics& g) override;
  // Degrees for a normalised value.
  static double AngleForValue(double value) { return value * 260.0 - 130.0; }
};

// Text drawn from a bitmap font: frame k of the bitmap shows character code k + 31. No background is filled.
class IBTextControl : public ITextControl, public IBitmapBase
{
public:
  // Cells of charWidth × charHeight points, advanced by charWidth + charOffset; lines wrap at the bounds with
  // multiLine; vCenter centres the text vertically. Blend {blendMethod, 1.0}.
  IBTextControl(const IRECT& bounds, const IBitmap& bitmap, const IText& text = DEFAULT_TEXT, const char* str = "",
                int charWidth = 6, int charHeight = 12, int charOffset = 0, bool multiLine = false, bool vCenter = true,
                int blendMethod = kBlendDefault);

  void Draw(IGraphics& g) override;
  void OnRescale() override { RescaleBitmap(); }

protected:
  int mCharWidth;
  int mCharHeight;
  int mCharOffset;
  bool mMultiLine;
  bool mVCentre;
};

} // namespace plugin::igraphics

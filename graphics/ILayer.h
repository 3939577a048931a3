#pragma once

// Off-screen layers and their drop shadows.
//
// A layer is an off-screen bitmap that drawing is redirected into while it sits on the graphics context's layer
// stack. A control keeps the layer it ended (ILayerPtr), draws its bitmap on later frames and makes it anew when
// CheckLayer says it has gone stale (moved, resized, rescaled or invalidated).
//
// Threads: [main thread] only, between the back end's frame start and end.

#include "graphics/IGraphicsStructs.h"

#include <memory>

namespace plugin::igraphics
{

class ILayer
{
public:
  // Takes ownership of bitmap. control may be null; its rectangle is remembered so that a move shows.
  ILayer(APIBitmap* bitmap, const IRECT& layerRect, IControl* control, const IRECT& controlRect)
      : mBitmap(bitmap), mControl(control), mControlRECT(controlRect), mRECT(layerRect)
  {
  }

  ILayer(const ILayer&) = delete;
  ILayer& operator=(const ILayer&) = delete;

  // A control sets this to have the layer drawn anew on its next frame.
  void Invalidate() { mInvalid = true; }
  bool IsInvalid() const { return mInvalid; }

  APIBitmap* GetAPIBitmap() const { return mBitmap.get(); }
  // The bitmap as a one-frame IBitmap, its size in points.
  IBitmap GetBitmap() const { return IBitmap(mBitmap.get(), 1, false); }
  // The layer's area in points, aligned to whole device pixels.
  const IRECT& Bounds() const { return mRECT; }
  IControl* GetControl() const { return mControl; }
  const IRECT& GetControlRECT() const { return mControlRECT; }

private:
  friend class IGraphics;

  std::unique_ptr<APIBitmap> mBitmap;
  IControl* mControl;
  IRECT mControlRECT;
  IRECT mRECT;
  bool mInvalid = false;
};

// A soft shadow under (or instead of) a layer's content. Lengths in points.
struct IDropShadow
{
  IPattern mPattern = IPattern(COLOR_BLACK);
  float mBlurSize = 0.f;
  float mXOffset = 0.f;
  float mYOffset = 0.f;
  float mOpacity = 1.f;         // 0..1
  bool mDrawForeground = true;  // false: only the shadow remains

  IDropShadow() = default;
  IDropShadow(const IPattern& pattern, float blurSize, float xOffset, float yOffset, float opacity, bool drawForeground)
      : mPattern(pattern), mBlurSize(blurSize), mXOffset(xOffset), mYOffset(yOffset), mOpacity(opacity),
        mDrawForeground(drawForeground)
  {
  }
};

// The shadow's Gaussian weights for a blur of blurSize points on a bitmap of the given scales: the kernel size is
// ceil(max(1, scale × drawScale × blurSize + 1)) and weight i is round(exp(−i² · 4.5 / x²) · 255), where x is that
// size before rounding up. Weight 0 is 255. kernel receives the weights; returns their count (at least 1). A
// non-finite or negative product counts as no blur.
int MakeShadowKernel(float scale, float drawScale, float blurSize, Util_TypedBuf<uint8_t>& kernel);

// One pass of the separable blur over the byte at alpha offset of each 4-byte sample: reads rows input rows of
// rowLength samples (row r starts at in + r × inRowStep), writes row r of the input as column r of the output
// (sample j of row r goes to out[j × outStep + r × 4]). Samples beyond a row's ends count as 0 while the divisor
// stays the kernel's full weight. norm = kernel[0] + 2 × (kernel[1] + … + kernel[size − 1]).
void ShadowBlurPass(uint8_t* out, const uint8_t* in, const uint8_t* kernel, int size, int norm, int rowLength, int rows,
                    long long outStep, long long inRowStep);

} // namespace plugin::igraphics

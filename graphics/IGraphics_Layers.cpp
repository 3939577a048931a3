#include "graphics/IGraphics.h"

#include "controls/IControl.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

namespace
{

// Largest layer side in pixels we ask the back end for; beyond it the layer gets no bitmap.
constexpr double kMaxLayerPixels = 32768.0;
// Largest blur kernel: a shadow wider than this many pixels is no longer a shadow, and the buffers stay bounded.
constexpr int kMaxKernelSize = 4096;

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Layer stack
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::StartLayer(IControl* control, const IRECT& r, bool cacheable)
{
  const float s = GetBackingPixelScale();
  const IRECT bounds = r.GetPixelAligned(s);
  const double w = std::ceil(static_cast<double>(s) * std::ceil(static_cast<double>(bounds.W())));
  const double h = std::ceil(static_cast<double>(s) * std::ceil(static_cast<double>(bounds.H())));
  APIBitmap* bitmap = nullptr;
  // A rectangle without area, or with coordinates that are not numbers, gets no image (and fails CheckLayer).
  if (w >= 1.0 && h >= 1.0 && w <= kMaxLayerPixels && h <= kMaxLayerPixels)
    bitmap = CreateAPIBitmap(static_cast<int>(w), static_cast<int>(h), mScreenScale, mDrawScale, cacheable);
  PushLayer(new ILayer(bitmap, bounds, control, control ? control->GetRECT() : IRECT()));
}

void IGraphics::ResumeLayer(ILayerPtr& layer)
{
  if (!layer) return;
  PushLayer(layer.release());
}

ILayerPtr IGraphics::EndLayer()
{
  return ILayerPtr(PopLayer());
}

void IGraphics::PushLayer(ILayer* layer)
{
  mLayers.push_back(layer);
  UpdateLayer();
  PathTransformReset();
  PathClipRegion(layer->Bounds());
  PathClear();
}

ILayer* IGraphics::PopLayer()
{
  ILayer* layer = nullptr;
  if (!mLayers.empty())
  {
    layer = mLayers.back();
    mLayers.pop_back();
  }
  UpdateLayer();
  PathTransformReset();
  // The layer beneath, or the frame's clip when none is left.
  PathClipRegion(mLayers.empty() ? IRECT() : mLayers.back()->Bounds());
  PathClear();
  return layer;
}

bool IGraphics::CheckLayer(const ILayerPtr& layer)
{
  if (!layer || !layer->mBitmap) return false;
  if (layer->mControl && layer->mControl->GetRECT() != layer->mControlRECT)
  {
    layer->mControlRECT = layer->mControl->GetRECT();
    layer->Invalidate();
  }
  if (layer->mInvalid) return false;
  const APIBitmap* b = layer->mBitmap.get();
  return b->GetDrawScale() == mDrawScale && b->GetScale() == mScreenScale;
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing layers
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::DrawLayer(const ILayerPtr& layer, const IBlend* blend)
{
  if (!layer || !layer->mBitmap) return;
  PathTransformSave();
  PathTransformReset();
  DrawBitmap(layer->GetBitmap(), layer->Bounds(), 0, 0, blend);
  PathTransformRestore();
}

void IGraphics::DrawFittedLayer(const ILayerPtr& layer, const IRECT& bounds, const IBlend* blend)
{
  if (!layer || !layer->mBitmap) return;
  const float lw = layer->Bounds().W(), lh = layer->Bounds().H();
  if (!(lw > 0.f) || !(lh > 0.f)) return; // nothing to scale from
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(bounds.W() / lw, bounds.H() / lh);
  DrawBitmap(layer->GetBitmap(), IRECT(0.f, 0.f, lw, lh), 0, 0, blend);
  PathTransformRestore();
}

void IGraphics::DrawRotatedLayer(const ILayerPtr& layer, double angle)
{
  if (!layer || !layer->mBitmap) return;
  PathTransformSave();
  PathTransformReset();
  DrawRotatedBitmap(layer->GetBitmap(), layer->Bounds().MW(), layer->Bounds().MH(), angle, nullptr);
  PathTransformRestore();
}

// ---------------------------------------------------------------------------------------------------------------
// Drop shadows — separable Gaussian blur of the alpha byte
// ---------------------------------------------------------------------------------------------------------------

int MakeShadowKernel(float scale, float drawScale, float blurSize, Util_TypedBuf<uint8_t>& kernel)
{
  float x = scale * drawScale * blurSize + 1.f;
  if (!std::isfinite(x) || x < 1.f) x = 1.f;
  x = std::min(x, static_cast<float>(kMaxKernelSize));
  const int size = std::max(1, static_cast<int>(std::ceil(x)));
  if (!kernel.Resize(size)) return 0;
  for (int i = 0; i < size; ++i)
  {
    // x², not size², divides: the bell keeps its width when x falls between whole pixels.
    const float fi = static_cast<float>(i);
    kernel.Get()[i] = static_cast<uint8_t>(std::roundf(std::exp(-fi * fi * 4.5f / (x * x)) * 255.f));
  }
  return size;
}

void ShadowBlurPass(uint8_t* out, const uint8_t* in, const uint8_t* kernel, int size, int norm, int rowLength, int rows,
                    long long outStep, long long inRowStep)
{
  if (norm <= 0) return;
  const int window = 2 * size - 1; // samples under the kernel
  for (int i = 0; i < rows; ++i)
  {
    const uint8_t* row = in + i * inRowStep;
    // Equal samples in a row up to the kernel's leading edge: over a flat stretch the weights sum to norm and the
    // output is the input.
    int run = 0;
    int lead = -1;
    for (int j = 0; j < rowLength; ++j)
    {
      for (const int want = std::min(j + size - 1, rowLength - 1); lead < want;)
      {
        ++lead;
        run = (lead > 0 && row[lead * 4] == row[(lead - 1) * 4]) ? run + 1 : 1;
      }
      uint8_t result;
      if (j - (size - 1) >= 0 && j + (size - 1) < rowLength && run >= window)
      {
        result = row[j * 4];
      }
      else
      {
        long long acc = static_cast<long long>(kernel[0]) * row[j * 4];
        for (int m = 1; m < size; ++m)
        {
          const int a = j - m >= 0 ? row[(j - m) * 4] : 0;
          const int b = j + m < rowLength ? row[(j + m) * 4] : 0;
          acc += static_cast<long long>(kernel[m]) * (a + b);
        }
        result = static_cast<uint8_t>(std::min(255LL, acc / norm));
      }
      out[j * outStep + static_cast<long long>(i) * 4] = result;
    }
  }
}

void IGraphics::ApplyLayerDropShadow(ILayerPtr& layer, const IDropShadow& shadow)
{
  if (!layer || !layer->mBitmap) return;
  RawBitmapData data;
  GetLayerBitmapData(layer, data);
  const long long bytes = data.GetSize();
  if (bytes == 0) return;

  const APIBitmap* b = layer->mBitmap.get();
  const long long width = b->GetWidth(), height = b->GetHeight();
  const int alpha = AlphaChannel();
  // Pixels that do not match the bitmap they came from are left alone rather than read past.
  if (width < 1 || height < 1 || alpha < 0 || alpha > 3 || bytes % height != 0) return;
  const long long rowBytes = bytes / height;
  const long long columnBytes = bytes / width;
  if (rowBytes < width * 4 || columnBytes < height * 4) return;

  RawBitmapData temp;
  Util_TypedBuf<uint8_t> kernel;
  if (!temp.Resize(static_cast<int>(bytes))) return;
  const int size = MakeShadowKernel(b->GetScale(), b->GetDrawScale(), shadow.mBlurSize, kernel);
  if (size < 1) return;
  int norm = kernel.Get()[0];
  for (int i = 1; i < size; ++i)
    norm += 2 * kernel.Get()[i];

  // Rows that run bottom first are read from the last one up, and written back the same way, so the mask keeps
  // the layer's own orientation.
  const bool flipped = FlippedBitmap();
  uint8_t* first = data.Get() + alpha + (flipped ? (height - 1) * rowBytes : 0);
  const long long rowStep = flipped ? -rowBytes : rowBytes;
  uint8_t* t = temp.Get() + alpha;
  ShadowBlurPass(t, first, kernel.Get(), size, norm, static_cast<int>(width), static_cast<int>(height), columnBytes,
                 rowStep);
  ShadowBlurPass(first, t, kernel.Get(), size, norm, static_cast<int>(height), static_cast<int>(width), rowStep,
                 columnBytes);
  ApplyShadowMask(layer, data, shadow);
}

} // namespace plugin::igraphics

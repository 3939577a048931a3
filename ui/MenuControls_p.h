#pragma once

// Helpers shared by the product's menu and indicator controls.

#include "graphics/IGraphicsStructs.h"

namespace plugin::igraphics::menu_detail
{

// Bitmap-sized bounds: one frame of bitmap with its top-left corner at (x, y).
inline IRECT FrameBoundsAt(int x, int y, const IBitmap& bitmap)
{
  const float l = static_cast<float>(x), t = static_cast<float>(y);
  return IRECT(l, t, l + static_cast<float>(bitmap.FrameWidth()), t + static_cast<float>(bitmap.FrameHeight()));
}

} // namespace plugin::igraphics::menu_detail

// The operations of IGraphics that build background controls. They live with the control library because the
// graphics core links none of the controls' code.

#include "controls/IBitmapControls.h"
#include "controls/ISVGControls.h"
#include "graphics/IGraphics.h"

namespace plugin::igraphics
{

namespace
{
// Puts control at index 0 of list; false (the control is the caller's) when the list cannot grow.
bool InsertFirst(Util_PtrList<IControl>& list, IControl* control, int& mouseOverIdx, int& tooltipIdx)
{
  if (!list.Insert(0, control)) return false;
  // Every listed control moved up by one.
  if (mouseOverIdx >= 0) ++mouseOverIdx;
  if (tooltipIdx >= 0) ++tooltipIdx;
  return true;
}
} // namespace

void IGraphics::AttachBackground(const char* fileName)
{
  auto* control = new IBitmapControl(0.f, 0.f, LoadBitmap(fileName ? fileName : "", 1, false), -1, kBlendDefault);
  GiveContext(control);
  control->OnInit();
  control->OnResize();
  control->OnRescale();
  if (!InsertFirst(mControls, control, mMouseOverIdx, mTooltipIdx)) delete control;
}

void IGraphics::AttachSVGBackground(const char* fileName)
{
  auto* control = new ISVGControl(GetBounds(), LoadSVG(fileName ? fileName : "", "px", 72.f), true);
  GiveContext(control);
  if (!InsertFirst(mControls, control, mMouseOverIdx, mTooltipIdx)) delete control;
}

} // namespace plugin::igraphics

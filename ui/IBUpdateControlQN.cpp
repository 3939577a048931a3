#include "ui/IBUpdateControlQN.h"

#include "ui/MenuControls_p.h"

namespace plugin::igraphics
{

IBUpdateControlQN::IBUpdateControlQN(int x, int y, const IBitmap& bitmap, int commandIdx)
    : IControl(menu_detail::FrameBoundsAt(x, y, bitmap)), IBitmapBase(bitmap), mCommandIdx(commandIdx)
{
  AttachIControl(this);
  SetTooltip(kTooltipCheck);
}

void IBUpdateControlQN::OnMouseDown(float, float, const IMouseMod&) {}
void IBUpdateControlQN::OnMouseOver(float, float, const IMouseMod&) {}
void IBUpdateControlQN::OnMouseOut() {}
void IBUpdateControlQN::Draw(IGraphics&) {}

} // namespace plugin::igraphics

#include "ui/IBUpdateControlQN.h"

#include "framework/IGEditorDelegate.h"
#include "graphics/IGraphics.h"
#include "ui/MenuControls_p.h"

#include <cstring>

namespace plugin::igraphics
{

IBUpdateControlQN::IBUpdateControlQN(int x, int y, const IBitmap& bitmap, int commandIdx)
    : IControl(menu_detail::FrameBoundsAt(x, y, bitmap)), IBitmapBase(bitmap), mCommandIdx(commandIdx)
{
  AttachIControl(this);
  SetTooltip(kTooltipCheck);
}

void IBUpdateControlQN::OnMouseDown(float, float, const IMouseMod&)
{
  if (mCommandIdx == -1) return;
  if (IGEditorDelegate* dlg = GetDelegate()) dlg->OnParamChange(mCommandIdx, plugin::kUI, -1);
}

void IBUpdateControlQN::OnMouseOver(float, float, const IMouseMod&)
{
  mMouseOver = true;
  SetDirty(false);
}

void IBUpdateControlQN::OnMouseOut()
{
  mMouseOver = false;
  SetDirty(false);
}

void IBUpdateControlQN::Draw(IGraphics& g)
{
  const bool available = GetValue(0) > 0.0;
  const IBlend blend = GetBlend();
  g.DrawBitmap(mBitmap, FrameRectCentredIn(mBitmap, GetRECT()), available ? 2 : 1, &blend);
  // The tooltip follows the state from the next tooltip refresh on.
  const char* tip = available ? kTooltipAvailable : kTooltipCheck;
  if (std::strcmp(GetTooltip(), tip) != 0) SetTooltip(tip);
}

} // namespace plugin::igraphics

#include "ui/IBPopupMenuQN.h"

#include "ui/MenuControls_p.h"

namespace plugin::igraphics
{

using menu_detail::FrameBoundsAt;

IBPopupMenuQN::IBPopupMenuQN(int x, int y, int paramIdx, const IBitmap& bitmap, bool wheelEnabled,
                             IActionFunction actionFunc, bool hidden, bool hoverMode)
    : IControl(FrameBoundsAt(x, y, bitmap), paramIdx, std::move(actionFunc)), IBitmapBase(bitmap),
      mWheelEnabled(wheelEnabled), mHidden(hidden), mHoverMode(hoverMode)
{
  AttachIControl(this);
  SetMouseDblAsSingleClick(true);
  DisablePrompt(false);
}

void IBPopupMenuQN::OnMouseDown(float, float, const IMouseMod&) {}
void IBPopupMenuQN::OnMouseWheel(float, float, const IMouseMod&, float) {}
void IBPopupMenuQN::OnMouseOver(float, float, const IMouseMod&) {}
void IBPopupMenuQN::OnMouseOut() {}
void IBPopupMenuQN::OnRescale() { RescaleBitmap(); }
void IBPopupMenuQN::Draw(IGraphics&) {}
void IBPopupMenuQN::SetDisabled(bool disable) { IControl::SetDisabled(disable); }
double IBPopupMenuQN::WheelStep(double, double, double, float, double current) { return current; }

IBPopupMenuQNSpecial::IBPopupMenuQNSpecial(int x, int y, int paramIdx, const IBitmap& bitmap, const IText& text,
                                           const std::atomic<bool>* senderFlags,
                                           const std::atomic<bool>* receiverFlags, int flagCount, int commandIdx)
    : IControl(FrameBoundsAt(x, y, bitmap), paramIdx), mSenderFlags(senderFlags), mReceiverFlags(receiverFlags),
      mFlagCount(flagCount), mCommandIdx(commandIdx)
{
  mText = text;
  SetMouseDblAsSingleClick(true);
  DisablePrompt(false);
}

IBPopupMenuQNSpecial::~IBPopupMenuQNSpecial() = default;

void IBPopupMenuQNSpecial::OnMouseDown(float, float, const IMouseMod&) {}
void IBPopupMenuQNSpecial::OnMouseWheel(float, float, const IMouseMod&, float) {}
void IBPopupMenuQNSpecial::OnPopupMenuSelection(IPopupMenu*, int) {}
void IBPopupMenuQNSpecial::Draw(IGraphics&) {}
void IBPopupMenuQNSpecial::SetDisabled(bool disable) { IControl::SetDisabled(disable); }
void IBPopupMenuQNSpecial::BuildMenu() {}
int IBPopupMenuQNSpecial::LinkIDForSelection(const IPopupMenu*) const { return -1; }
bool IBPopupMenuQNSpecial::HasSender(int) const { return false; }
bool IBPopupMenuQNSpecial::HasReceiver(int) const { return false; }
void IBPopupMenuQNSpecial::SendCommand() {}

} // namespace plugin::igraphics

#pragma once

// The update indicator in the editor's header: frame 2 and the tooltip "Update available" while the plug-in has
// set its value above 0 (a newer version is known), frame 1 and "Click to check for updates" otherwise. A click
// sends the update-check command. Geometry in points. Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IControl.h"

namespace plugin::igraphics
{

class IBUpdateControlQN : public IControl, public IBitmapBase
{
public:
  // Bounds: one frame of bitmap at (x, y); no parameter. commandIdx -1 sends nothing.
  IBUpdateControlQN(int x, int y, const IBitmap& bitmap, int commandIdx);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Ups, drags, double clicks and the wheel are consumed and do nothing.
  void OnMouseUp(float, float, const IMouseMod&) override {}
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override {}
  void OnMouseDblClick(float, float, const IMouseMod&) override {}
  void OnMouseWheel(float, float, const IMouseMod&, float) override {}
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnRescale() override { RescaleBitmap(); }
  // Draws the state's frame, then sets the tooltip for that state.
  void Draw(IGraphics& g) override;

  bool GetMouseOver() const { return mMouseOver; }

  static constexpr const char* kTooltipCheck = "Click to check for updates";
  static constexpr const char* kTooltipAvailable = "Update available";

private:
  int mCommandIdx;
  bool mMouseOver = false;
};

} // namespace plugin::igraphics

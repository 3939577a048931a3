#pragma once

// IBPresetMenuQN — the preset menu: a bitmap that opens a menu of the preset files (".tps") in a folder and its
// sub-folders and holds the path of one preset file. A choice from the menu becomes the held path; the plug-in's
// preset commands act on that path when the control sits under the preset-menu tag (load from it, save to it).
//
// The menu is rebuilt from the folder at every click and shown through IGraphics::CreatePopupMenu. Geometry in
// points. Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IDirBrowseControlBase.h"
#include "graphics/Util.h"

namespace plugin::igraphics
{

class IBPresetMenuQN : public IDirBrowseControlBase, public IBitmapBase
{
public:
  // Bounds: one frame of bitmap at (x, y). folder (null: none) is scanned for ".tps" files, listed without their
  // extension. After a choice, loadCommand is sent to the plug-in (-1: none).
  IBPresetMenuQN(int x, int y, const IBitmap& bitmap, const char* folder, int loadCommand = -1);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // A file chosen from this control's menu becomes the held path; anything else is no choice.
  void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx) override;
  void OnRescale() override { RescaleBitmap(); }
  void Draw(IGraphics& g) override;

  // The held preset file's path; "" while none is held.
  const char* GetPath() const { return mPath.Get(); }
  // Null clears it.
  void SetPath(const char* path) { mPath.Set(path ? path : ""); }

private:
  Util_String mPath;
  int mLoadCommand;
};

} // namespace plugin::igraphics

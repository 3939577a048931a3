#pragma once

// The plug-in menu behind the small icon in the editor's header: information, manual, changelog, update check,
// data folder, tooltips, GUI scale, parameter submenus and extra command items. The menu is rebuilt from the
// configuration at every click and shown through IGraphics::CreatePopupMenu; a choice sends a command to the
// plug-in (OnParamChange(command, kUI, -1)), opens a file or page (IGraphics::OpenURL) or sets a parameter.
// Geometry in points. Threads: main (editor) thread only.

#include "controls/IBitmapControls.h"
#include "controls/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/Util.h"

#include <string>
#include <vector>

namespace plugin
{
class IEditorDelegate;
class IParam;
} // namespace plugin

namespace plugin::igraphics
{

class IBInfoMenuQN : public IControl, public IBitmapBase
{
public:
  // Bounds: one frame of bitmap at (x, y). A command or parameter of -1 leaves its item out. dataFolder and
  // changelogAddress are copied (null: empty); so are the extra item texts. extraCommands[i] goes with
  // extraTexts[i]; extraParams[i] (owned by the plug-in) is announced as command firstExtraIdx + i after a change.
  IBInfoMenuQN(plugin::IEditorDelegate* delegate, int x, int y, const IBitmap& bitmap, int aboutCommand,
               int updateCommand, const char* dataFolder, const char* changelogAddress, int tooltipsParam,
               int autoUpdateParam, int enumParam, int resetSizeCommand, int resetScaleCommand,
               int minScaleCommand, const std::vector<int>& submenuParams, const std::vector<int>& extraCommands,
               const std::vector<const char*>& extraTexts, const std::vector<plugin::IParam*>& extraParams,
               int firstExtraIdx);
  ~IBInfoMenuQN() override;

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx) override;
  void OnRescale() override { RescaleBitmap(); }
  void Draw(IGraphics& g) override;
  void SetDisabled(bool disable) override;

  // Rebuilds the menu from the configuration (done at every click; public for tests).
  void BuildMenu();
  IPopupMenu& GetMenu() { return mMenu; }
  bool GetMouseOver() const { return mMouseOver; }

  // The manual's path for a product name: "/Users/Shared/Documents/<name>/<name> manual.pdf".
  static void ManualPath(const char* productName, Util_String& path);
  // The changelog page on the maker's site: host (scheme and host, no path) + "/products/ZANI#Changelog".
  static void ChangelogAddress(const char* host, Util_String& address);

  // Positions of the fixed items in the last build (-1 when absent).
  int AboutIndex() const { return mIdxAbout; }
  int TooltipsIndex() const { return mIdxTooltips; }

private:
  struct ParamSubmenu
  {
    IPopupMenu* menu;
    int index; // parameter number, or the command index of an extra parameter
  };

  plugin::IEditorDelegate* Delegate() const;
  bool IsOwnMenu(const IPopupMenu* menu) const;
  void SendCommand(int command);
  // Sets the parameter (previous value kept, snapped and clamped), updates its controls and tells the host and
  // the plug-in.
  void SetParamTo(int paramIdx, double value);
  void ToggleParam(int paramIdx);
  void SetParamToIndex(int paramIdx, int k);
  // Appends a submenu of param's display texts titled with its name; checks the current value when check.
  IPopupMenu* AddParamSubmenu(const plugin::IParam& param, bool check);

  plugin::IEditorDelegate* mDelegate;
  Util_String mChangelogAddress;
  Util_String mDataFolder;
  IPopupMenu mMenu{""};
  int mAboutCommand;
  int mUpdateCommand;
  int mTooltipsParam;
  int mAutoUpdateParam;
  int mEnumParam;
  int mResetSizeCommand;
  int mResetScaleCommand;
  int mMinScaleCommand;
  std::vector<int> mSubmenuParams;
  std::vector<int> mExtraCommands;
  std::vector<std::string> mExtraTexts;
  std::vector<plugin::IParam*> mExtraParams;
  int mFirstExtraIdx;
  bool mMouseOver = false;

  // Per build: item positions (-1 when absent) and the submenus made.
  int mIdxAbout = -1, mIdxManual = -1, mIdxChangelog = -1, mIdxUpdate = -1, mIdxAutoUpdate = -1;
  int mIdxDataFolder = -1, mIdxTooltips = -1, mIdxResetSize = -1, mIdxResetScale = -1, mIdxMinScale = -1;
  IPopupMenu* mEnumSubmenu = nullptr;
  std::vector<ParamSubmenu> mParamSubmenus;
  std::vector<ParamSubmenu> mExtraSubmenus;
  std::vector<int> mExtraItemIdx;
};

} // namespace plugin::igraphics

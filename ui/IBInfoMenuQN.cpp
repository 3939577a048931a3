#include "ui/IBInfoMenuQN.h"

#include "framework/IEditorDelegate.h"
#include "ui/MenuControls_p.h"

namespace plugin::igraphics
{

IBInfoMenuQN::IBInfoMenuQN(plugin::IEditorDelegate* delegate, int x, int y, const IBitmap& bitmap,
                           int aboutCommand, int updateCommand, const char* dataFolder, const char* changelogAddress,
                           int tooltipsParam, int autoUpdateParam, int enumParam, int resetSizeCommand,
                           int resetScaleCommand, int minScaleCommand, const std::vector<int>& submenuParams,
                           const std::vector<int>& extraCommands, const std::vector<const char*>& extraTexts,
                           const std::vector<plugin::IParam*>& extraParams, int firstExtraIdx)
    : IControl(menu_detail::FrameBoundsAt(x, y, bitmap)), IBitmapBase(bitmap), mDelegate(delegate),
      mChangelogAddress(changelogAddress ? changelogAddress : ""), mDataFolder(dataFolder ? dataFolder : ""),
      mAboutCommand(aboutCommand), mUpdateCommand(updateCommand), mTooltipsParam(tooltipsParam),
      mAutoUpdateParam(autoUpdateParam), mEnumParam(enumParam), mResetSizeCommand(resetSizeCommand),
      mResetScaleCommand(resetScaleCommand), mMinScaleCommand(minScaleCommand), mSubmenuParams(submenuParams),
      mExtraCommands(extraCommands), mExtraParams(extraParams), mFirstExtraIdx(firstExtraIdx)
{
  AttachIControl(this);
  for (const char* t : extraTexts)
    mExtraTexts.emplace_back(t ? t : "");
}

IBInfoMenuQN::~IBInfoMenuQN() = default;

void IBInfoMenuQN::OnMouseDown(float, float, const IMouseMod&) {}
void IBInfoMenuQN::OnMouseUp(float, float, const IMouseMod&) {}
void IBInfoMenuQN::OnMouseOver(float, float, const IMouseMod&) {}
void IBInfoMenuQN::OnMouseOut() {}
void IBInfoMenuQN::OnPopupMenuSelection(IPopupMenu*, int) {}
void IBInfoMenuQN::Draw(IGraphics&) {}
void IBInfoMenuQN::SetDisabled(bool disable) { IControl::SetDisabled(disable); }
void IBInfoMenuQN::BuildMenu() {}
void IBInfoMenuQN::ManualPath(const char*, Util_String& path) { path.Set(""); }
void IBInfoMenuQN::SendCommand(int) {}
void IBInfoMenuQN::ToggleParam(int) {}
void IBInfoMenuQN::SetParamToIndex(int, int) {}
IPopupMenu* IBInfoMenuQN::AddParamSubmenu(const plugin::IParam&, bool) { return nullptr; }

} // namespace plugin::igraphics

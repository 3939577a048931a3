#pragma once

// A ZANIQ whose scripted editor holds the product's menu controls: the plug-in menu, the Link-ID selector, the
// Plugin Mode selector and the update indicator, each at a place of its own. Every index the controls send to
// the plug-in is recorded before the plug-in acts on it.

#include "engine/support/editor_env.h"
#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBUpdateControlQN.h"

#include <string>
#include <vector>

namespace testsupport
{

// A stacked two-frame bitmap of 20 × 20-point frames; no image, so a rescale keeps it.
inline plugin::igraphics::IBitmap TwoFrames(const char* name = "")
{
  plugin::igraphics::IBitmap b;
  b.W = 20;
  b.H = 40;
  b.N = 2;
  b.mResourceName.Set(name);
  return b;
}

// The recording platform, also noting the colour of every text drawn.
class MenuGraphics : public plugin::igraphics::test::ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;
  std::vector<plugin::igraphics::IColor> textColors;
  void DoDrawText(const plugin::igraphics::IText& text, const char* str, const plugin::igraphics::IRECT& r,
                  const plugin::igraphics::IBlend* blend) override
  {
    textColors.push_back(text.mFGColor);
    ScriptedGraphics::DoDrawText(text, str, r, blend);
  }
};

class MenuZANIQ : public EditorZANIQ
{
public:
  static constexpr const char* kChangelog = "https://changelog.invalid/products/ZANI#Changelog";

  // Places of the controls (top-left corners).
  static constexpr float kInfoX = 4.f, kInfoY = 7.f, kLinkX = 100.f, kLinkY = 100.f, kModeX = 200.f,
                         kModeY = 100.f, kUpdateX = 300.f, kUpdateY = 7.f;

  explicit MenuZANIQ(std::string dataFolder = "/tmp/zaniq-data") : mDataFolder(std::move(dataFolder))
  {
    SetMakeGraphicsFunc([this] { return new MenuGraphics(*this, kEditorBaseWidth, kEditorBaseHeight); });
    SetLayoutFunc([this](plugin::igraphics::IGraphics* g) {
      using namespace plugin::igraphics;
      // The background's place: index 0 never takes the mouse-over.
      g->AttachControl(new test::RecordingControl(IRECT(0.f, 600.f, 1.f, 601.f)));
      info = new IBInfoMenuQN(this, int(kInfoX), int(kInfoY), TwoFrames("pluginmenu.png"), 47, 48,
                              mDataFolder.c_str(), kChangelog, kToggleTooltips, kOnlineUpdateCheck, -1, -1, 57, 58,
                              {kDisableStorageGainDiff}, {52}, {"Save to default"}, {GetExtraParam(0)},
                              GetExtraParamsCommandBase());
      g->AttachControl(info);
      IText text(12.f, IColor(255, 20, 40, 60));
      link = new IBPopupMenuQNSpecial(int(kLinkX), int(kLinkY), kLinkID, TwoFrames("simple_parameter1.png"), text,
                                      GetSenderPresent().data(), GetReceiverPresent().data(), kNumLinkSlots, 65);
      g->AttachControl(link);
      mode = new IBPopupMenuQN(int(kModeX), int(kModeY), kPluginMode, TwoFrames("selector_plugin_mode.png"), false,
                               nullptr, false, false);
      g->AttachControl(mode);
      update = new IBUpdateControlQN(int(kUpdateX), int(kUpdateY), TwoFrames("iconupdateavailable.png"), 48);
      g->AttachControl(update);
    });
  }

  void OnParamChange(int paramIdx, plugin::EParamSource source, int sampleOffset) override
  {
    if (source == plugin::kUI) sent.push_back(paramIdx);
    EditorZANIQ::OnParamChange(paramIdx, source, sampleOffset);
  }
  using EditorZANIQ::OnParamChange;

  int SentCount(int idx) const
  {
    int n = 0;
    for (int i : sent) n += i == idx;
    return n;
  }
  MenuGraphics* G() const { return static_cast<MenuGraphics*>(GetUI()); }

  // Clicks at a point of the editor, as the view does.
  void Click(float x, float y, plugin::igraphics::IMouseMod mod = plugin::igraphics::IMouseMod(true))
  {
    G()->OnMouseDown({plugin::igraphics::IMouseInfo{x, y, 0.f, 0.f, mod}});
    G()->OnMouseUp({plugin::igraphics::IMouseInfo{x, y, 0.f, 0.f, mod}});
  }

  std::vector<int> sent; // indices sent from the editor (source kUI), in order
  plugin::igraphics::IBInfoMenuQN* info = nullptr;
  plugin::igraphics::IBPopupMenuQNSpecial* link = nullptr;
  plugin::igraphics::IBPopupMenuQN* mode = nullptr;
  plugin::igraphics::IBUpdateControlQN* update = nullptr;

private:
  std::string mDataFolder;
};

class MenuTest : public EditorTest
{
protected:
  MenuZANIQ& MakeMenuEditor(std::string dataFolder = "/tmp/zaniq-data")
  {
    auto z = std::make_unique<MenuZANIQ>(std::move(dataFolder));
    MenuZANIQ& ref = *z;
    mInstances.push_back(std::move(z));
    ref.OpenEditor();
    return ref;
  }
};

} // namespace testsupport

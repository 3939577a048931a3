// TestGainUI: a gain effect with an editor, built as its own bundle so that hosts open the editor the way a macOS
// host does (CocoaUI property, ZANIQ_View, a window): a knob on "Gain", a toggle on "Mute", a caption of "Mode"
// (native menu), a "Reset" button asking "Reset the gain?" and a title, on 300 × 200 units.

#include "au/PluginAU_Entry.h"
#include "controls/ITextControls.h"
#include "controls/IVButtonControls.h"
#include "controls/IVKnobSliderControls.h"
#include "platform/mac/IGraphicsMac.h"

#include <cmath>

namespace testplug
{

using namespace plugin;
using namespace plugin::igraphics;

enum EUIParams { kUIGain = 0, kUIMute, kUIMode, kUINumParams };
enum EUITags { kTagKnob = 1, kTagTitle };

class TestGainUI final : public PluginAU
{
public:
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 200;

  static constexpr Config kConfig = {.nParams = kUINumParams, .nPresets = 1, .channelIOStr = "1-1 2-2",
                                     .pluginName = "TestGainUI", .productName = "TestGainUI",
                                     .mfrName = "Zaniq Tests", .vendorVersion = PackVersion(1, 0, 0),
                                     .uniqueID = MakeFourCC('T', 'G', 'u', 'i'), .mfrID = MakeFourCC('Z', 'q', 'T', 's'),
                                     .plugType = kEffect, .plugHasUI = true, .plugWidth = kWidth,
                                     .plugHeight = kHeight, .plugMinWidth = kWidth / 2, .plugMaxWidth = kWidth * 2,
                                     .plugMinHeight = kHeight / 2, .plugMaxHeight = kHeight * 2, .bundleID = "com.zaniq.tests.TestGainUI"};

  explicit TestGainUI(const InstanceInfo& info) : PluginAU(info, kConfig)
  {
    GetParam(kUIGain)->InitGain("Gain", 0.0, -70.0, 24.0, 0.01);
    GetParam(kUIMute)->InitBool("Mute", false, "", 0, "", "off", "on");
    GetParam(kUIMode)->InitEnum("Mode", 0, 3, "", 0, "", "Normal", "Soft Knee", "Hard");
    MakeDefaultPreset("Default", 1);

    SetMakeGraphicsFunc([this]() -> IGraphics* {
      auto* graphics = new IGraphicsMac(*this, kWidth, kHeight, 60, 1.f);
      graphics->SetBundleID(kConfig.bundleID);
      return graphics;
    });
    SetLayoutFunc([](IGraphics* g) { Layout(*g); });
  }

  void ProcessBlock(sample** inputs, sample** outputs, int nFrames) override
  {
    const double factor = GetParam(kUIMute)->Value() >= 0.5 ? 0.0 : std::pow(10.0, GetParam(kUIGain)->Value() / 20.0);
    const int nIn = NChannels(kInput);
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = c < nIn ? factor * inputs[c][i] : 0.0;
  }

private:
  static void Layout(IGraphics& g)
  {
    g.AttachPanelBackground(IColor(255, 226, 230, 236));
    // The font ships in the bundle's resources; without it the controls still draw their shapes.
    (void)g.LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
    g.AttachControl(new IVKnobControl(IRECT(10, 10, 120, 150), kUIGain, "Gain", DEFAULT_STYLE, true), kTagKnob);
    g.AttachControl(new IVToggleControl(IRECT(140, 10, 290, 50), kUIMute, "Mute", DEFAULT_STYLE, "off", "on"));
    g.AttachControl(new ICaptionControl(IRECT(140, 60, 290, 90), kUIMode, IText(14.f, COLOR_BLACK), IColor(255, 200, 210, 225)));
    g.AttachControl(new IVButtonControl(IRECT(140, 100, 290, 140), [](IControl* button) {
      IGraphics* ui = button->GetUI();
      ui->ShowMessageBox("Reset the gain?", "TestGainUI", kMB_YESNO, [ui](EMsgBoxResult result) {
        if (result != kYES) return;
        if (IControl* knob = ui->GetControlWithTag(kTagKnob)) knob->SetValueToDefault();
      });
    }, "Reset"));
    g.AttachControl(new ITextControl(IRECT(10, 160, 290, 190), "TestGainUI", IText(16.f, COLOR_BLACK)), kTagTitle);
  }
};

} // namespace testplug

using testplug::TestGainUI;
ZANIQ_AU_ENTRY(TestGainUI, TestGainUI_Factory, TestGainUI_Entry)

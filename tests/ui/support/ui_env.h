#pragma once

// Test environment for the ZANIQ editor: a real ZANIQ whose editor opens on the scripted platform
// (ScriptedGraphics) with a folder of stand-in bitmaps of known sizes, so that bounds can be checked against
// sizes written out here rather than against whatever the artwork happens to draw.

#include "engine/UpdateCheck.h"
#include "engine/support/zaniq_env.h"
#include "graphics/IGraphics.h"
#include "support/ScriptedGraphics.h"
#include "ui/IBControlsQN.h"
#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBUpdateControlQN.h"
#include "ui/IBValueControlsQN.h"

#include <CoreFoundation/CFTesting.h>
#include <cairo.h>

#include <filesystem>
#include <string>
#include <vector>

namespace uitest
{
using namespace plugin::igraphics;
using plugin::igraphics::test::ScriptedGraphics;

// Stand-in bitmaps: name, width, height of the whole strip (frames stacked vertically), frames.
struct StandIn
{
  const char* name;
  int w, h, frames;
};
inline constexpr StandIn kStandIns[] = {
  {"button_resize.png", 16, 32, 2},       {"background1.png", 424, 610, 1},     {"background2.png", 424, 610, 1},
  {"bg_easy_post.png", 424, 509, 1},      {"bg_easy_pre.png", 424, 509, 1},     {"help_page.png", 400, 380, 1},
  {"transmitter_led.png", 20, 40, 2},     {"receiver_led.png", 22, 44, 2},      {"selector_plugin_mode.png", 68, 44, 2},
  {"simple_parameter1.png", 42, 22, 1},   {"autolink_button.png", 24, 32, 2},   {"simple_parameter.png", 68, 22, 1},
  {"pdc.png", 24, 44, 2},                 {"simple_parameter2.png", 52, 22, 1}, {"selector_rms_mode.png", 54, 132, 6},
  {"overenable.png", 34, 52, 2},          {"overled.png", 20, 24, 2},           {"simple_parameter3.png", 72, 26, 1},
  {"drive_source_gain.png", 120, 6120, 51}, {"ab.png", 60, 80, 2},            {"ab1.png", 60, 80, 2},
  {"m_manual.png", 70, 60, 2},            {"m_auto.png", 70, 60, 2},            {"m_gstg.png", 70, 60, 2},
  {"m_inv.png", 40, 60, 2},               {"deltamonitor.png", 50, 60, 2},      {"setup_button.png", 50, 60, 2},
  {"guimode.png", 26, 52, 2},             {"ss1.png", 36, 108, 3},              {"ss2.png", 36, 108, 3},
  {"ss3.png", 36, 108, 3},                {"ss4.png", 36, 108, 3},              {"clr_button.png", 44, 56, 2},
  {"sto_button.png", 44, 56, 2},          {"active.png", 40, 60, 2},            {"reset_button.png", 44, 56, 2},
  {"balance_button.png", 80, 56, 2},      {"ovl_threshold.png", 424, 200, 1},   {"pluginmenu.png", 24, 48, 2},
  {"iconupdateavailable.png", 16, 32, 2},
};

inline const StandIn& StandInFor(const std::string& name)
{
  for (const StandIn& s : kStandIns)
    if (name == s.name) return s;
  throw std::runtime_error("no stand-in " + name);
}

// One frame of a stand-in placed at (x, y).
inline IRECT FrameAt(const std::string& name, float x, float y)
{
  const StandIn& s = StandInFor(name);
  return IRECT(x, y, x + float(s.w), y + float(s.h / s.frames));
}

// Writes every stand-in (a flat grey strip) into folder.
inline void WriteStandIns(const std::filesystem::path& folder)
{
  std::filesystem::create_directories(folder);
  for (const StandIn& s : kStandIns)
  {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.w, s.h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surface, (folder / s.name).c_str());
    cairo_surface_destroy(surface);
  }
}

// A ZANIQ with its real layout, opened on the scripted platform. Protected engine values are reachable for the
// read-out tests.
class UIZANIQ : public ZANIQ
{
public:
  explicit UIZANIQ(std::string resourceDir, bool drawReady = true)
      : ZANIQ(plugin::InstanceInfo{}), mResourceDir(std::move(resourceDir))
  {
    SetMakeGraphicsFunc([this, drawReady]() -> IGraphics* {
      const float scale = static_cast<float>(GetMirror(kGUIScale));
      ScriptedGraphics* g = nullptr;
      if (drawReady)
        g = new BoxGraphics(*this, kEditorBaseWidth, kEditorBaseHeight, 60, scale);
      else
        g = new NotReadyGraphics(*this, kEditorBaseWidth, kEditorBaseHeight, 60, scale);
      g->resourceDir = mResourceDir;
      return g;
    });
  }
  ~UIZANIQ() override { CloseWindow(); }

  void OpenEditor() { (void)OpenWindow(nullptr); }
  ScriptedGraphics* Graphics() const { return static_cast<ScriptedGraphics*>(GetUI()); }
  IControl* Ctl(EEditorControl which) const { return GetEditorControl(which); }

  // Sets parameter idx to a real value as the editor does.
  void Change(int idx, double value)
  {
    GetParam(idx)->Set(value);
    OnParamChange(idx, plugin::kUI, -1);
  }
  void Command(int code) { OnParamChange(code, plugin::kUI, -1); }

  // Engine values the read-outs show (linear).
  struct Meter
  {
    double linkGain = 1.0, preGain = 1.0, preRatio = 1.0, matchGain = 1.0, gainToMatch = 1.0;
    double preLevel = 0.0, preMax = 0.0, postLevel = 0.0, overGain = 1.0;
    bool receiving = true;
  };
  void SetMeter(const Meter& m)
  {
    mLinkGain.store(m.linkGain);
    mPreGain.store(m.preGain);
    mPreRatio.store(m.preRatio);
    mMatchGain.store(m.matchGain);
    mGainToMatch.store(m.gainToMatch);
    mPreFXLevel.store(m.preLevel);
    mPreFXMax.store(m.preMax);
    mPostFXLevel.store(m.postLevel);
    mReceiving.store(m.receiving);
  }

  // Message boxes shown, as "caption|text".
  std::vector<std::string> boxes;

  class BoxGraphics : public ScriptedGraphics
  {
  public:
    BoxGraphics(UIZANIQ& z, int w, int h, int fps, float scale) : ScriptedGraphics(z, w, h, fps, scale), mZ(z) {}
    EMsgBoxResult ShowMessageBox(const char* text, const char* caption, EMsgBoxType type,
                                 IMsgBoxCompletionHandlerFunc f) override
    {
      mZ.boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
      return ScriptedGraphics::ShowMessageBox(text, caption, type, f);
    }

  private:
    UIZANIQ& mZ;
  };

  class NotReadyGraphics : public ScriptedGraphics
  {
  public:
    using ScriptedGraphics::ScriptedGraphics;
    bool GetDrawContextReady() const override { return false; }
  };

private:
  std::string mResourceDir;
};

// Fixture: a temporary home, the stand-in bitmaps, a clean link registry.
class EditorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    for (int i = 0; i < kNumLinkSlots; ++i)
    {
      testsupport::Slot(i).ClearQueue();
      testsupport::Slot(i).ResetSenderControl();
      int code;
      double value;
      (void)testsupport::Slot(i).TakeCommand(code, value);
    }
    mResources = mHome.Path() / "resources";
    WriteStandIns(mResources);
    // Idle ticks run only when a test advances the clock.
    ZQCFUseVirtualClock(true);
    // No test reaches the network: the automatic update check counts as done.
    UpdateCheck::SetChecked(true);
    UpdateCheck::SetUpdateAvailable(false);
  }
  void TearDown() override
  {
    mInstances.clear();
    ZQCFUseVirtualClock(false);
    UpdateCheck::SetChecked(false);
    UpdateCheck::SetUpdateAvailable(false);
  }

  // Stand-in bitmaps unless another resource folder is named.
  UIZANIQ& Make(bool drawReady = true, std::string resources = "")
  {
    mInstances.push_back(std::make_unique<UIZANIQ>(resources.empty() ? mResources.string() : resources, drawReady));
    return *mInstances.back();
  }
  // A Receiver with its editor open: expert view, "RMS Summed" metering.
  UIZANIQ& OpenReceiver()
  {
    UIZANIQ& z = Make();
    z.Change(ZANIQ::kPluginMode, 1);
    z.Change(ZANIQ::kGUIMode, 0);
    z.Change(ZANIQ::kMeterMode, 0);
    z.OpenEditor();
    return z;
  }

  ScopedHome mHome;
  std::filesystem::path mResources;
  std::vector<std::unique_ptr<UIZANIQ>> mInstances;
};

} // namespace uitest

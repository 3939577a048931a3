#pragma once

// A ZANIQ with a scripted editor: OpenEditor opens a ScriptedGraphics context whose layout attaches recording
// controls at the list positions the engine reaches (help page, backgrounds, latency button, snapshot selector,
// update icon) and records them; message boxes, snapshot marks, the popup-menu state and the preset menu's
// path are scripted or recorded; host notifications are recorded per parameter.

#include "engine/support/zaniq_env.h"
#include "engine/UpdateCheck.h"
#include "support/ScriptedGraphics.h"

#include <array>
#include <string>
#include <vector>

namespace testsupport
{

class EditorZANIQ : public TestZANIQ
{
public:
  using ScriptedGraphics = plugin::igraphics::test::ScriptedGraphics;
  using RecordingControl = plugin::igraphics::test::RecordingControl;

  struct MessageBox
  {
    std::string caption;
    std::string text;
  };

  // Control list of the scripted layout: 0 to 2 backgrounds, 3 help page, 4 latency button, 5 snapshot
  // selector, 6 update icon.
  enum EPosition : int { kBackground0, kBackground1, kBackground2, kHelpPage, kLatencyButton, kSnapshotSelector,
                         kUpdateIcon, kNumPositions };

  EditorZANIQ()
  {
    SetMakeGraphicsFunc([this] { return new ScriptedGraphics(*this, kEditorBaseWidth, kEditorBaseHeight); });
    SetLayoutFunc([this](plugin::igraphics::IGraphics* g) {
      using plugin::igraphics::IRECT;
      for (int i = 0; i < kNumPositions; ++i) g->AttachControl(new RecordingControl(IRECT(0.f, 0.f, 10.f, 10.f)));
      EditorControlPositions p;
      p.backgrounds = {kBackground0, kBackground1, kBackground2};
      p.helpPage = kHelpPage;
      p.latencyButton = kLatencyButton;
      p.snapshotSelector = kSnapshotSelector;
      p.updateIcon = kUpdateIcon;
      SetEditorControlPositions(p);
    });
  }

  ~EditorZANIQ() override { CloseWindow(); }

  void OpenEditor() { (void)OpenWindow(nullptr); }
  plugin::igraphics::IControl* Control(int position) const { return GetUI() ? GetUI()->GetControl(position) : nullptr; }

  // Scripts and records.
  std::vector<MessageBox> boxes;
  std::array<bool, kNumSnapshots> marks{};     // the last value of each mark
  std::vector<int> hostInformed;               // parameter indices the host heard of
  bool popupShowing = false;
  std::string presetMenuPath;

  void ShowEditorMessageBox(const char* text, const char* caption) override
  {
    boxes.push_back({caption ? caption : "", text ? text : ""});
  }
  void SetSnapshotUsedMark(int snapshot, bool used) override
  {
    if (snapshot >= 0 && snapshot < kNumSnapshots) marks[size_t(snapshot)] = used;
  }
  bool IsPopupMenuShowing() const override { return popupShowing; }
  bool GetPresetMenuPath(Util_String& path) const override
  {
    if (!GetUI() || presetMenuPath.empty()) return false;
    path.Set(presetMenuPath.c_str());
    return true;
  }
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override
  {
    hostInformed.push_back(paramIdx);
    TestZANIQ::InformHostOfParamChange(paramIdx, normalizedValue);
  }

  int InformedCount(int paramIdx) const
  {
    int n = 0;
    for (int idx : hostInformed) n += idx == paramIdx;
    return n;
  }

  // Runs a command as the editor sends it.
  void Command(int code) { OnParamChange(code, plugin::kUI, -1); }
};

// Fixture: editors on scripted graphics; the automatic update check counts as done so that no test reaches the
// network unless it sets up its own server.
class EditorTest : public ZaniqTest
{
protected:
  EditorZANIQ& MakeEditor()
  {
    auto z = std::make_unique<EditorZANIQ>();
    EditorZANIQ& ref = *z;
    mInstances.push_back(std::move(z));
    return ref;
  }
  void SetUp() override
  {
    ZaniqTest::SetUp();
    UpdateCheck::SetChecked(true);
    UpdateCheck::SetUpdateAvailable(false);
  }
  void TearDown() override
  {
    ZaniqTest::TearDown();
    UpdateCheck::SetChecked(false);
    UpdateCheck::SetUpdateAvailable(false);
    UpdateCheck::SetHost(nullptr);
    UpdateCheck::SetCAFile(nullptr);
    UpdateCheck::SetTimeoutMs(0);
  }
};

} // namespace testsupport

// ZANIQ — the mode-dependent editor: which controls the Sender, expert, simple, config and help views show, where
// the movable controls sit, and the block of controls locked while a latency measurement runs.

#include "engine/ZANIQ.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"
#include "ui/IBControlsQN.h"

using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;
using plugin::igraphics::IRECT;

// ---------------------------------------------------------------------------------------------------------------
// Editor state
// ---------------------------------------------------------------------------------------------------------------

bool ZANIQ::EditorIsLaidOut() const
{
  const IGraphics* ui = GetUI();
  return HasUI() && ui && mLayoutDone && ui->NControls() > 0;
}

IControl* ZANIQ::GetEditorControl(EEditorControl which) const
{
  if (which < 0 || which >= kNumEditorControls || !EditorIsLaidOut()) return nullptr;
  return GetUI()->GetControl(mEditorIndex[size_t(which)]);
}

namespace
{

void Show(IControl* control, bool show)
{
  if (control) control->Hide(!show);
}

// Moving: bounds and target area to the stored place, no stale hover, then the control's own layout.
void Move(IControl* control, const IRECT& place)
{
  if (!control) return;
  control->SetTargetAndDrawRECTs(place);
  control->OnMouseOut();
  control->OnResize();
}

// The union of the non-empty rectangles, starting from the first.
IRECT UnionOf(const std::array<IRECT, 3>& rects)
{
  IRECT u = rects[0];
  for (size_t i = 1; i < rects.size(); ++i)
  {
    const IRECT& r = rects[i];
    if (r.L == 0.f && r.T == 0.f && r.R == 0.f && r.B == 0.f) continue;
    u = IRECT(std::min(u.L, r.L), std::min(u.T, r.T), std::max(u.R, r.R), std::max(u.B, r.B));
  }
  return u;
}

void PlaceMatchButtons(IControl* control, const std::array<IRECT, 3>& rects)
{
  auto* group = dynamic_cast<plugin::igraphics::IBRadioButtonsControl3*>(control);
  if (!group) return;
  for (int i = 0; i < 3; ++i) group->SetButtonRect(i, rects[size_t(i)]);
  group->SetTargetAndDrawRECTs(UnionOf(rects));
  group->OnResize();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::UpdateControlLayout()
{
  if (!OnMainThread())
  {
    RequestEditorWork(kEditorLayout);
    return;
  }
  if (!EditorIsLaidOut()) return;
  IGraphics* ui = GetUI();
  auto c = [this](EEditorControl which) { return GetEditorControl(which); };

  ui->EnableTooltips(GetMirrorInt(kToggleTooltips) > 0);

  const int mode = GetPluginMode();
  if (mode == kLinkSender)
  {
    for (EEditorControl w : {kCtlSenderBackground, kCtlSenderLED, kCtlQuickHelp}) Show(c(w), true);
    for (EEditorControl w :
         {kCtlReceiverBackground, kCtlSimpleBackgroundPost, kCtlSimpleBackgroundPre, kCtlReceiverLED, kCtlHelpPage,
          kCtlPDCSwitch, kCtlClear, kCtlStore, kCtlPreDiffReadout, kCtlPreGainReadout, kCtlPreCurrentReadout,
          kCtlPreMaxReadout, kCtlPostDiffReadout, kCtlPostGainReadout, kCtlOverLED, kCtlReferenceField,
          kCtlDriveKnob, kCtlDriveReadout, kCtlPrePostExpert, kCtlPrePostSimple, kCtlMatchMode, kCtlInverse,
          kCtlActive, kCtlSnapshots, kCtlResetPreLevels, kCtlResetPreDiff, kCtlMatchPre, kCtlResetPostDiff,
          kCtlMatchPost, kCtlSimpleReset, kCtlSimpleMatch, kCtlDelta, kCtlConfigSwitch, kCtlConfigBackground,
          kCtlMinAutoGain, kCtlMaxAutoGain, kCtlAutoGainTolerance})
      Show(c(w), false);
    for (int p : {kLatencyCompensation, kMeterMode, kRMSWindow, kGUIMode, kEnableOverProtection,
                  kOverProtectionLevel})
      ui->HideControl(p, true);
  }
  else if (mode == kLinkReceiver)
  {
    const int meterMode = GetMirrorInt(kMeterMode);
    const int matchMode = GetMirrorInt(kMatchMode);

    Show(c(kCtlSenderBackground), false);
    Show(c(kCtlReceiverBackground), true);
    for (EEditorControl w : {kCtlSimpleBackgroundPost, kCtlSimpleBackgroundPre, kCtlQuickHelp, kCtlHelpPage})
      Show(c(w), false);
    Show(c(kCtlPDCSwitch), true);
    Show(c(kCtlOverLED), true);
    for (int p : {kLatencyCompensation, kMeterMode, kEnableOverProtection, kOverProtectionLevel, kRMSWindow})
      ui->HideControl(p, false);
    // A running latency measurement keeps both fields locked, whatever the modes say.
    const bool measuring = IsMeasurementRunning();
    ui->DisableControl(kRMSWindow, measuring || !(meterMode == 0 || meterMode == 1));
    ui->DisableControl(kInverseMatch, measuring || matchMode >= kMatchGainStage);
    ui->HideControl(kGUIMode, false);
    Show(c(kCtlSenderLED), false);
    for (EEditorControl w : {kCtlReceiverLED, kCtlDelta, kCtlActive, kCtlInverse, kCtlPreCurrentReadout,
                             kCtlPostDiffReadout, kCtlPostGainReadout, kCtlMatchMode})
      Show(c(w), true);

    const bool simple = GetMirrorInt(kGUIMode) == 1;
    const size_t view = simple ? 1 : 0;
    const EditorPlaces& places = mEditorPlaces;
    const EEditorControl configPage[] = {kCtlConfigBackground, kCtlMinAutoGain, kCtlMaxAutoGain,
                                         kCtlAutoGainTolerance};
    const EEditorControl expertOnly[] = {kCtlReferenceField, kCtlSnapshots, kCtlResetPreLevels, kCtlResetPreDiff,
                                         kCtlMatchPre, kCtlResetPostDiff, kCtlMatchPost, kCtlClear, kCtlStore,
                                         kCtlPreDiffReadout, kCtlPreGainReadout, kCtlPreMaxReadout};
    if (!simple)
    {
      for (EEditorControl w : expertOnly) Show(c(w), true);
      Show(c(kCtlConfigSwitch), true);
      const bool config = GetMirrorInt(kShowConfigPage) == 1;
      for (EEditorControl w : configPage) Show(c(w), config);
    }
    else
    {
      const int prePost = GetMirrorInt(kPrePostFX);
      Show(c(kCtlSimpleBackgroundPre), prePost == 0);
      Show(c(kCtlSimpleBackgroundPost), prePost == 1);
      for (EEditorControl w : expertOnly) Show(c(w), false);
      Show(c(kCtlInverse), false);
      Show(c(kCtlConfigSwitch), false);
      for (EEditorControl w : configPage) Show(c(w), false);
    }

    Move(c(kCtlReceiverLED), places.receiverLED[view]);
    Move(c(kCtlActive), places.active[view]);
    Move(c(kCtlDelta), places.delta[view]);
    PlaceMatchButtons(c(kCtlMatchMode), places.matchButtons[view]);

    Show(c(kCtlPrePostExpert), !simple);
    Show(c(kCtlDriveKnob), !simple);
    Show(c(kCtlPrePostSimple), simple);
    Show(c(kCtlDriveReadout), simple);
    Show(c(kCtlSimpleReset), simple);
    Show(c(kCtlSimpleMatch), simple);

    Move(c(kCtlPreCurrentReadout), places.preCurrent[view]);
    Move(c(kCtlPostDiffReadout), places.postDiff[view]);
    Move(c(kCtlPostGainReadout), places.postGain[view]);
  }

  if (auto* snapshots = dynamic_cast<plugin::igraphics::IBRadioButtonsControl4Special*>(c(kCtlSnapshots)))
    for (int k = 0; k < kNumSnapshots; ++k) snapshots->SetFilled(k, GetMirrorInt(kStoreSetFlag0 + 3 * k) != 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Lock during a latency measurement
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::EnableModeControls(bool disable)
{
  // Controls belong to the main thread. The end of a measurement is seen on the audio thread: it only raises the
  // request, and the next idle tick re-enables. A disable comes from the command itself, on the main thread.
  if (!OnMainThread())
  {
    if (!disable) RequestEditorWork(kEditorEnableModeControls);
    return;
  }
  if (!EditorIsLaidOut()) return;
  IGraphics* ui = GetUI();
  auto setDisabled = [this](EEditorControl which, bool d) {
    if (IControl* control = GetEditorControl(which)) control->SetDisabled(d);
  };

  for (int p : {kPluginMode, kLinkID, kAutoSetLinkID, kLatencyCompensation, kMeterMode, kRMSWindow})
    ui->DisableControl(p, disable);
  if (!disable && !(GetMirrorInt(kMeterMode) == 0 || GetMirrorInt(kMeterMode) == 1))
    ui->DisableControl(kRMSWindow, true);

  for (int p : {kReferenceLevel, kDriveFX, kPrePostFX, kMatchMode, kInverseMatch}) ui->DisableControl(p, disable);
  if (!disable && !(GetMirrorInt(kMatchMode) == 0 || GetMirrorInt(kMatchMode) == 1))
    ui->DisableControl(kInverseMatch, true);

  for (int p : {kActive, kSnapShot, kEnableOverProtection, kOverProtectionLevel}) ui->DisableControl(p, disable);

  for (EEditorControl w : {kCtlClear, kCtlStore, kCtlPreDiffReadout, kCtlPreGainReadout, kCtlPreCurrentReadout,
                           kCtlPreMaxReadout, kCtlPostDiffReadout, kCtlPostGainReadout, kCtlMatchPre, kCtlMatchPost})
    setDisabled(w, disable);

  for (int p : {kResetGainDiff, kResetSenderRMS, kResetPreGainDiff, kGUIMode, kDeltaMonitor, kReset2})
    ui->DisableControl(p, disable);

  setDisabled(kCtlSimpleMatch, disable);
}

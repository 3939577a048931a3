// ZANIQ — the editor's live displays (link LEDs, PDC switch, over LED, the six dB read-outs) and the fixed GUI
// scale table.

#include "engine/ZANIQ.h"

#include "controls/ITextControls.h"
#include "graphics/IGraphics.h"
#include "ui/ReadoutText.h"

#include <cmath>

using plugin::igraphics::IColor;
using plugin::igraphics::IControl;
using plugin::igraphics::ITextControl;
namespace readout = zaniq::readout;

namespace
{

const IColor kReadoutColor(255, 212, 212, 212);
const IColor kAlarmColor(255, 212, 64, 64);

// A LED or switch changes only when its value really changes, so an idle editor redraws nothing.
void SetIndicator(IControl* control, bool on)
{
  if (!control) return;
  const double value = on ? 1.0 : 0.0;
  if (control->GetValue() == value) return;
  control->SetValue(value);
  control->SetDirty(true);
}

void SetReadout(IControl* control, const char* text)
{
  if (auto* t = dynamic_cast<ITextControl*>(control)) t->SetStr(text);
}

void SetReadoutColor(IControl* control, const IColor& color)
{
  if (!control) return;
  plugin::igraphics::IText style = control->GetText();
  style.mFGColor = color;
  control->SetText(style);
  control->SetDirty(false);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Live displays
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::UpdateMeterDisplays()
{
  if (!OnMainThread() || !EditorIsLaidOut()) return;

  const int mode = GetPluginMode();
  if (mode == kLinkSender)
  {
    SetIndicator(GetEditorControl(kCtlSenderLED), IsSenderLinked());
  }
  else if (mode == kLinkReceiver)
  {
    SetIndicator(GetEditorControl(kCtlPDCSwitch), IsMeasurementRunning());
    SetIndicator(GetEditorControl(kCtlReceiverLED), IsReceiving());
    SetIndicator(GetEditorControl(kCtlOverLED), false);
  }

  // The read-outs follow only a Receiver that hears its Sender; otherwise they keep what they showed last.
  const int linkID = GetLinkID();
  if (!IsReceiving() || linkID <= 0) return;

  IControl* preCurrent = GetEditorControl(kCtlPreCurrentReadout);
  IControl* preMax = GetEditorControl(kCtlPreMaxReadout);
  IControl* preDiff = GetEditorControl(kCtlPreDiffReadout);
  IControl* preGain = GetEditorControl(kCtlPreGainReadout);
  IControl* postDiff = GetEditorControl(kCtlPostDiffReadout);
  IControl* postGain = GetEditorControl(kCtlPostGainReadout);

  if (LinkRegistry::Instance().Slot(linkID).SenderState() == kSenderBypass)
  {
    for (IControl* c : {preCurrent, preMax, preDiff, preGain, postDiff, postGain}) SetReadout(c, "----");
    return;
  }

  // Each value is one atomic load; a refresh may mix values of two blocks, which a display can live with.
  const double overGain = GetGainReductionValue();
  const double overTest = GetGainReductionInvert() ? 1.0 - overGain : overGain;
  SetIndicator(GetEditorControl(kCtlOverLED), overTest < 1.0);

  const double levelScale = GetLinkGain();
  const double preFXGain = GetPreGain();
  const double preLevel = GetPreFXLevel();
  const double postLevel = GetPostFXLevel();
  const bool preSignal = preLevel >= readout::kSignalFloor;
  const bool postSignal = postLevel >= readout::kSignalFloor;
  char text[readout::kTextSize];

  // Pre-FX difference and gain.
  readout::FormatValue(readout::GainDB(GetPreRatio()), true, text, sizeof text);
  SetReadout(preDiff, preSignal ? text : "----");
  readout::FormatGain(readout::GainDB(preFXGain), text, sizeof text);
  SetReadout(preGain, text);

  // Pre-FX loudness; the EBU R128 modes read 0.7 dB lower.
  const int meterMode = GetMirrorInt(kMeterMode);
  const double offset = (meterMode == kMeterEBUML || meterMode == kMeterEBUSL) ? -0.7 : 0.0;
  readout::FormatValue(readout::LevelDB(preLevel * levelScale) + offset, true, text, sizeof text);
  SetReadout(preCurrent, text);
  readout::FormatValue(readout::LevelDB(levelScale * GetPreFXMax()) + offset, true, text, sizeof text);
  SetReadout(preMax, text);

  // Post-FX difference and gain. In gain-stage mode the gain is the level scale over the pre-FX gain; a pre-FX
  // gain of zero has no such ratio and reads as the +144 dB limit instead of dividing by zero.
  double diffDB = 0.0;
  double gainDB = 0.0;
  if (GetMirrorInt(kMatchMode) == kMatchGainStage)
  {
    const double ratio = levelScale / preFXGain;
    gainDB = (preFXGain != 0.0 && std::isfinite(ratio)) ? readout::RawDB(ratio) : 144.0;
  }
  else
  {
    diffDB = readout::GainDB(GetGainToMatch());
    gainDB = readout::GainDB(GetMatchGain());
  }

  const bool alarm = std::fabs(diffDB) >= readout::kAlarmDB && preLevel > readout::kSignalFloor &&
                     postLevel > readout::kSignalFloor;
  SetReadoutColor(postDiff, alarm ? kAlarmColor : kReadoutColor);
  SetReadoutColor(postGain, alarm ? kAlarmColor : kReadoutColor);

  readout::FormatValue(diffDB, true, text, sizeof text);
  SetReadout(postDiff, preSignal && postSignal ? text : "----");
  readout::FormatGain(gainDB, text, sizeof text);
  SetReadout(postGain, text);
}

// ---------------------------------------------------------------------------------------------------------------
// GUI scale table
// ---------------------------------------------------------------------------------------------------------------

double ZANIQ::GetGUIScaleForIndex(unsigned idx) const
{
  static constexpr double kSteps[] = {0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.25, 2.5, 2.75};
  const plugin::IParam* scale = GetParam(kGUIScale);
  if (idx == 0) return scale->GetMin();
  if (idx >= 1 && idx <= 9) return kSteps[idx - 1];
  if (idx == 10) return scale->GetMax();
  return scale->GetDefault();
}

// ZANIQ — what a change of each parameter does: entry filter, per-parameter actions, link moves and re-pairing,
// the Alt broadcast to other Link IDs, and the common tail.

#include "engine/ZANIQ.h"

#include <algorithm>

using namespace plugin;

// ---------------------------------------------------------------------------------------------------------------
// Entry
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::OnParamChange(int paramIdx, EParamSource source, int sampleOffset)
{
  (void)sampleOffset;
  if (!PassesEntryFilter(paramIdx, source)) return;

  if (paramIdx >= 0 && paramIdx < kNumParams)
    HandleParamChange(paramIdx);
  else if (paramIdx >= kFirstCommand && paramIdx <= kLastCommand)
    HandleCommand(paramIdx);

  CommonTail();
}

bool ZANIQ::PassesEntryFilter(int paramIdx, EParamSource source) const
{
  switch (source)
  {
    case kReset:
    case kPresetRecall:
    case kUI:
      return true;
    case kHost:
    {
      // Hosts reach parameters only; flags exist for 0 to 45 alone.
      if (paramIdx < 0 || paramIdx >= kNumParams) return false;
      const IParam* param = GetParam(paramIdx);
      return param && param->GetCanAutomate();
    }
    default:
      return false;
  }
}

void ZANIQ::CommonTail()
{
  mTargetLatency.store(0, std::memory_order_relaxed);
  mInitialLatency.store(0, std::memory_order_relaxed);
  const int host = GetHost();
  if (GetLatency() != 0 && std::find(std::begin(kLatencyResetHosts), std::end(kLatencyResetHosts), host) !=
                             std::end(kLatencyResetHosts))
    ReportLatency(*this, 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Per-parameter actions
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::HandleParamChange(int idx)
{
  const double value = GetParam(idx)->Value();
  const int intValue = static_cast<int>(value); // parameters hold finite values inside their range
  const bool changed = (GetParam(idx)->Type() == IParam::kTypeDouble) ? value != GetMirror(idx)
                                                                         : intValue != GetMirrorInt(idx);
  const bool linked = GetLinkID() > 0;
  const bool manual = GetMirrorInt(kMatchMode) == kMatchManual;

  // The push buttons act on a change to 1 only; their mirror follows every change.
  auto changedToOne = [&]
  {
    if (!changed) return false;
    SetMirror(idx, intValue);
    return intValue == 1;
  };
  // Mirror := d and publish it, unless the mirror already holds d.
  auto storeAndPublish = [this](int storeIdx, double d)
  {
    if (d == GetMirror(storeIdx)) return;
    SetMirror(storeIdx, d);
    PublishParamFromProcessor(storeIdx, d, false);
  };
  // A gain back to unity and its store to 0 dB.
  auto resetPreGain = [&]
  {
    mPreGain.store(1.0, std::memory_order_relaxed);
    storeAndPublish(kPreGainDiffStore, 0.0);
  };
  auto resetMatchGain = [&]
  {
    mAutoGain.store(1.0, std::memory_order_relaxed);
    mMatchGain.store(1.0, std::memory_order_relaxed);
    storeAndPublish(kGainDiffStore, 0.0);
  };

  // Snapshot storage: 16 + 3k set flag, 17 + 3k post gain, 18 + 3k drive.
  if (idx >= kStoreSetFlag0 && idx < kStoreSetFlag0 + 3 * kNumSnapshots)
  {
    const bool isFlag = (idx - kStoreSetFlag0) % 3 == 0;
    SetMirror(idx, isFlag ? intValue : value);
    if (isFlag) RequestEditorWork(kEditorLayout);
    return;
  }

  switch (idx)
  {
    case kGUIScale:
      if (changed)
      {
        SetMirror(idx, value);
        mRescalePending.store(true);
      }
      break;

    case kToggleTooltips:
      if (changed)
      {
        SetMirror(idx, intValue);
        RequestEditorWork(kEditorTooltips);
      }
      break;

    // Whether these changed is decided inside the registry step (see LinkMoveMode).
    case kPluginMode:
      if (LinkMoveMode())
      {
        RefreshLinkPresence();
        RequestEditorWork(kEditorLinkMenuMode | kEditorLayout);
        RequestMeterReset();
      }
      break;

    case kLinkID:
      if (LinkMoveID())
      {
        RefreshLinkPresence();
        RequestEditorWork(kEditorLinkMenuMode);
        RequestMeterReset();
      }
      break;

    case kLatencyCompensation:
      if (changed)
      {
        SetMirror(idx, intValue);
        PostDSPRequest(kRequestDelayLength | kRequestMeterClear);
      }
      break;

    case kMeterMode:
    case kRMSWindow:
      if (changed)
      {
        SetMirror(idx, intValue);
        PostDSPRequest(kRequestMeterInit);
        if (idx == kMeterMode) RequestEditorWork(kEditorLayout);
      }
      break;

    case kActive:
      SetMirror(idx, intValue);
      AltBroadcast(kTagActive, EPressControl::SwitchQN, idx, intValue);
      break;

    case kReferenceLevel:
      SetMirror(idx, value);
      break;

    case kDriveFX:
      SetMirror(idx, value);
      AltBroadcast(kTagDriveKnob, EPressControl::KnobMultiQN, idx, value);
      AltBroadcast(kTagDriveValue, EPressControl::VParameterQN, idx, value);
      break;

    case kPrePostFX:
      SetMirror(idx, intValue);
      AltBroadcast(kTagPrePost1, EPressControl::SwitchQN, idx, intValue);
      AltBroadcast(kTagPrePost2, EPressControl::SwitchQN, idx, intValue);
      RequestEditorWork(kEditorLayout);
      break;

    case kMatchMode:
      SetMirror(idx, intValue);
      AltBroadcast(kTagMatchMode, EPressControl::RadioButtons3, idx, intValue);
      RequestEditorWork(kEditorLayout);
      break;

    case kInverseMatch:
    case kDisableStorageGainDiff:
    case kEnableOverProtection:
    case kOnlineUpdateCheck:
      SetMirror(idx, intValue);
      break;

    case kGUIMode:
    case kShowConfigPage:
      SetMirror(idx, intValue);
      RequestEditorWork(kEditorLayout);
      break;

    case kGainDiffStore:
      SetMirror(idx, value);
      mMatchGain.store(DBToAmp(value), std::memory_order_relaxed);
      break;

    case kPreGainDiffStore:
      SetMirror(idx, value);
      mPreGain.store(DBToAmp(value), std::memory_order_relaxed);
      break;

    case kDeltaMonitor:
      SetMirror(idx, intValue);
      AltBroadcast(kTagDeltaMonitor, EPressControl::SwitchQN, idx, intValue);
      break;

    case kSnapShot:
      if (changed) SetMirror(idx, intValue);
      break;

    case kAutoSetLinkID:
      if (changed)
      {
        SetMirror(idx, intValue);
        if (intValue == 1) AutoRepair();
      }
      break;

    case kResetPreGainDiff:
      if (!changedToOne()) break;
      if (linked)
      {
        resetPreGain();
        RequestMeterReset();
      }
      AltBroadcast(kTagResetPreGainDiff, EPressControl::PushQN, idx, 1.0);
      break;

    case kResetSenderRMS:
      if (changed) SetMirror(idx, intValue);
      if (intValue == 1)
      {
        RequestMeterReset();
        AltBroadcast(kTagResetSenderRMS, EPressControl::PushQN, idx, 1.0);
      }
      break;

    case kResetGainDiff:
      if (!changedToOne()) break;
      LinkRegistry::Instance().Slot(GetLinkID()).ClearQueue();
      if (linked && manual) resetMatchGain();
      AltBroadcast(kTagResetGainDiff, EPressControl::PushQN, idx, 1.0);
      break;

    case kReset2:
      if (!changedToOne()) break;
      if (linked)
      {
        resetPreGain();
        if (manual) resetMatchGain();
      }
      AltBroadcast(kTagReset2, EPressControl::PushQN, idx, 1.0);
      break;

    case kMatchPreFXDiffGain:
      if (!changedToOne()) break;
      if (linked)
      {
        ControlPress press;
        const bool withControl = OnMainThread() && GetControlPress(kTagMatchPreFX, EPressControl::PushQN, press) &&
                                 press.control;
        const double ratio = withControl ? GetPreMaxRatio() : GetPreRatio();
        if (AboveFloor(withControl ? GetPreFXMax() : GetPreFXLevel()))
        {
          const double preGain = GetPreGain() * ratio;
          mPreGain.store(preGain, std::memory_order_relaxed);
          storeAndPublish(kPreGainDiffStore, AmpToDB(preGain));
        }
      }
      AltBroadcast(kTagMatchPreFX, EPressControl::PushQN, idx, 1.0);
      break;

    case kMatchPostFXDiffGain:
    case kMatchLoudness:
      if (!changedToOne()) break;
      if (linked && manual && AboveFloor(GetPreFXLevel()) && AboveFloor(GetPostFXLevel()))
      {
        const double matchGain = GetMatchGain() * GetGainToMatch();
        mMatchGain.store(matchGain, std::memory_order_relaxed);
        storeAndPublish(kGainDiffStore, AmpToDB(matchGain));
      }
      if (idx == kMatchPostFXDiffGain)
        AltBroadcast(kTagMatchPostFX, EPressControl::PushQN, idx, 1.0);
      else
        AltBroadcast(kTagMatchLoudness, EPressControl::PushQN, idx, 1.0);
      break;

    case kOverProtectionLevel:
      // Whole decibels, truncated toward zero.
      SetMirror(idx, static_cast<double>(intValue));
      PostDSPRequest(kRequestOverProtection);
      break;

    case kMinAutoGain:
    case kMaxAutoGain:
    case kAutoGainTolerance:
      SetMirror(idx, value);
      break;

    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Link moves
// ---------------------------------------------------------------------------------------------------------------

// A host may change one instance from its audio thread and its main thread at once. Each move reads the record and
// the parameter inside one registry step, and every write of the parameter is followed by such a step, so the last
// one leaves the record at what the parameters hold; the counts always match the record. A write that leaves the
// record as it is, with no step of this instance in progress, needs no step (LinkMember::Settled): automation
// repeating a value every block never waits for the registry mutex on the audio thread.

bool ZANIQ::LinkMoveMode()
{
  return LinkRegistry::Instance().MoveWith(mLink, [this](LinkPairing p) {
    p.mode = static_cast<int>(GetParam(kPluginMode)->Value());
    return p;
  });
}

bool ZANIQ::LinkMoveID()
{
  return LinkRegistry::Instance().MoveWith(mLink, [this](LinkPairing p) {
    p.linkID = static_cast<int>(GetParam(kLinkID)->Value());
    return p;
  });
}

void ZANIQ::AutoRepair()
{
  const std::optional<LinkPairing> target = LinkRegistry::Instance().Repair(mLink);
  if (!target)
  {
    // Nowhere to go: the instance stays in its slot.
    RequestEditorWork(kEditorLayout);
    return;
  }

  const double modeValue = target->mode == kLinkReceiver ? 1.0 : 0.0;
  if (GetParam(kPluginMode)->Value() != modeValue) PublishParamFromProcessor(kPluginMode, modeValue, false);
  if (static_cast<int>(GetParam(kLinkID)->Value()) != target->linkID)
    PublishParamFromProcessor(kLinkID, target->linkID, false);
  // Automation may have set either parameter after the repair was recorded and before the publish overwrote it;
  // follow whatever they hold now (nothing to do otherwise).
  (void)LinkMoveMode();
  (void)LinkMoveID();

  RefreshLinkPresence();
  RequestEditorWork(kEditorLinkMenuMode | kEditorLayout);
  RequestMeterReset();
}

// ---------------------------------------------------------------------------------------------------------------
// Alt broadcast: a change made with Alt held goes to the Receivers of every other Link ID.
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::AltBroadcast(int tag, EPressControl kind, int code, double value)
{
  // Only a press in this instance's editor broadcasts; the same change arriving from the host or from a peer
  // command on another thread must not echo back to every Link ID.
  if (!OnMainThread()) return;
  ControlPress press;
  if (!GetControlPress(tag, kind, press) || !press.alt) return;

  LinkRegistry& registry = LinkRegistry::Instance();
  const int own = GetLinkID();
  for (int i = 0; i < kNumLinkSlots; ++i)
    if (i != own) registry.Slot(i).PostCommand(code, value);
}

// ---------------------------------------------------------------------------------------------------------------
// Parameter feedback from processing
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Sets the parameter unless it already has the value, tells the host, optionally runs OnParamChange (source
// kUI), and lets the editor follow: directly on the main thread, through the processor-to-editor queue
// elsewhere.
void SetFromProcessor(ZANIQ& plug, int paramIdx, double value, bool normalized, bool notifyPlugin)
{
  IParam* param = plug.GetParam(paramIdx);
  if (!param) return;
  const double current = normalized ? param->GetNormalized() : param->Value();
  if (current == value) return;
  // A plain value is stepped and clamped before the shape maps it.
  const double norm = normalized ? value : param->ToNormalized(param->Constrain(value));
  plug.SetParameterValue(paramIdx, norm, notifyPlugin);
  if (plug.OnMainThread())
    plug.SendParameterValueFromDelegate(paramIdx, value, normalized);
  else
    plug.SendParameterValueFromAPI(paramIdx, value, normalized);
}

} // namespace

void ZANIQ::SetParamFromProcessor(int paramIdx, double value, bool normalized)
{
  SetFromProcessor(*this, paramIdx, value, normalized, true);
}

void ZANIQ::PublishParamFromProcessor(int paramIdx, double value, bool normalized)
{
  SetFromProcessor(*this, paramIdx, value, normalized, false);
}

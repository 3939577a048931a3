// ZANIQ — construction, destruction, DSP reset, registry join and the hand-over between threads.

#include "engine/ZANIQ.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <new>

using namespace plugin;

// ---------------------------------------------------------------------------------------------------------------
// Latency report
// ---------------------------------------------------------------------------------------------------------------

void IExtPDCHandler::ReportLatency(PluginAU& plug, int samples)
{
  if (plug.GetHost() != kHostUninitialized) plug.SetLatency(samples);
}

// ---------------------------------------------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------------------------------------------

ZANIQ::ZANIQ(const InstanceInfo& info)
: PluginAU(info, MakeZaniqConfig())
, mMainThreadID(std::this_thread::get_id())
{
  // Mirrors the defaults do not come from: editor settings and the auto-gain limits.
  SetMirror(kGUIScale, 1.0);
  SetMirror(kToggleTooltips, 1);
  SetMirror(kOnlineUpdateCheck, 1);
  SetMirror(kShowConfigPage, 0);
  SetMirror(kMinAutoGain, -144.0);
  SetMirror(kMaxAutoGain, 144.0);
  SetMirror(kAutoGainTolerance, 0.0);
  // The only allocation of DSP memory: every later reset clears what is here.
  (void)mDelayL.Allocate();
  (void)mDelayR.Allocate();
  // Bypass delays by the reported latency, which is at most what the delay lines hold.
  (void)SetLatencyCapacity(DelayLine::kCapacity);

  CreateDataFolder();
  if (ReadIniValue(*this, "GUI", "HasUI", 1) == 0) SetHasUI(false);

  mInstanceNumber = LinkRegistry::Instance().RegisterInstance();
  std::srand(static_cast<unsigned>(std::clock()));

  mDSPSampleRate = GetSampleRate();
  mInitialLatency.store(GetLatency(), std::memory_order_relaxed);
  mDSPBlockSize = GetBlockSize();
  mNInputChannels = NChannels(kInput);
  mNOutputChannels = NChannels(kOutput);
  mInfoPageRequest.store(false);
  mUpdateMessageRequest.store(false);
  mMeterRefresh.store(false);

  InitParamDefaults();
  ResetDSP();
  InitParams();
  (void)LoadDefaultPreset(GetPresetFolder());
  // A scale stored in the default preset is the one the editor opens with.
  SetMirror(kGUIScale, GetParam(kGUIScale)->Value());
  InitPlugControls();
}

ZANIQ::~ZANIQ()
{
  // No idle tick may run into the parts destroyed below.
  StopIdleTimers();
  LinkRegistry& registry = LinkRegistry::Instance();
  registry.Leave(mLink);
  registry.UnregisterInstance();
}

void ZANIQ::InitParamDefaults()
{
  SetMirror(kLatencyCompensation, 0);
  SetMirror(kMeterMode, kMeterEBUSL);
  SetMirror(kRMSWindow, 3000);
  SetMirror(kActive, 1);
  SetMirror(kReferenceLevel, -18.0);
  SetMirror(kEnableOverProtection, 0);
  SetMirror(kOverProtectionLevel, 3.0);
  SetMirror(kDriveFX, 0.0);
  SetMirror(kPrePostFX, 1);
  SetMirror(kMatchMode, kMatchAuto);
  SetMirror(kInverseMatch, 0);
  SetMirror(kDeltaMonitor, 0);
  SetMirror(kDisableStorageGainDiff, 1);
  SetMirror(kGUIMode, 1);
  SetMirror(kSnapShot, 0);
  for (int i = kAutoSetLinkID; i <= kMatchLoudness; ++i) SetMirror(i, 0);
  SetMirror(kPreGainDiffStore, 0.0);
  SetMirror(kGainDiffStore, 0.0);
  for (int k = 0; k < kNumSnapshots; ++k)
  {
    SetMirror(kStoreSetFlag0 + 3 * k, 0);
    SetMirror(kStorePostGain0 + 3 * k, 0.0);
    SetMirror(kStoreDrive0 + 3 * k, 0.0);
  }
  for (auto* gain : {&mLinkGain, &mPreGain, &mPreRatio, &mPreMaxRatio, &mAutoGain, &mMatchGain, &mGainToMatch})
    gain->store(1.0, std::memory_order_relaxed);
  mMeasurementRunning.store(false);

  (void)JoinLinkRegistry();
}

LinkSlot* ZANIQ::JoinLinkRegistry()
{
  LinkRegistry& registry = LinkRegistry::Instance();
  const LinkPairing pairing = registry.Join(mLink);
  return &registry.Slot(pairing.linkID);
}

bool ZANIQ::FindLinkPairing(int& mode, int& linkID) const
{
  return LinkRegistry::Instance().FindPairing(mode, linkID);
}

// ---------------------------------------------------------------------------------------------------------------
// DSP reset
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::InitMeters()
{
  const int mode = GetMirrorInt(kMeterMode);
  const double window = GetMirrorInt(kRMSWindow) / 1000.0;
  (void)mPreFXMeter.Init(mode, window, mDSPSampleRate);
  (void)mPostFXMeter.Init(mode, window, mDSPSampleRate);
}

void ZANIQ::ResetDSP()
{
  const double fs = mDSPSampleRate;
  const int delay = GetMirrorInt(kLatencyCompensation);
  mDelayL.Clear(delay);
  mDelayR.Clear(delay);

  mHalfSecondPeriod = static_cast<int>(0.5 * fs);

  const double level = GetMirror(kOverProtectionLevel);
  mOverProtectionL.SetLevel(level);
  mOverProtectionR.SetLevel(level);
  mOverProtectionL.ratio = mOverProtectionR.ratio = 1.0;

  mGainReduction.Reset(fs);
  mDetector.Reset(mDSPBlockSize);

  mFadeLength = static_cast<int>(5.0 * fs);
  mFadeCounter = 0;

  InitMeters();
  mInitialLatency.store(0, std::memory_order_relaxed);
}

void ZANIQ::ResetMeters()
{
  const int delay = GetMirrorInt(kLatencyCompensation);
  mDelayL.SetLength(delay);
  mDelayR.SetLength(delay);
  InitMeters();
  mInitialLatency.store(0, std::memory_order_relaxed);
}

void ZANIQ::ReinitDSP()
{
  ResetDSP();
  const int target = GetInitialLatency();
  mTargetLatency.store(target, std::memory_order_relaxed);
  if (GetLatency() != target) ReportLatency(*this, target);
}

// ---------------------------------------------------------------------------------------------------------------
// Hand-over between threads
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ApplyDSPRequests()
{
  const unsigned requests = mDSPRequests.exchange(0, std::memory_order_acq_rel);
  if (requests & kRequestMeterInit)
  {
    InitMeters();
    mPreFXMax.store(0.0, std::memory_order_relaxed);
  }
  if (requests & kRequestMeterClear)
  {
    mPreFXMeter.Clear();
    mPostFXMeter.Clear();
    mPreFXMax.store(0.0, std::memory_order_relaxed);
  }
  if (requests & kRequestDelayLength)
  {
    const int delay = GetMirrorInt(kLatencyCompensation);
    for (DelayLine* line : {&mDelayL, &mDelayR})
      if (line->length != delay) line->SetLength(delay);
  }
  if (requests & kRequestOverProtection)
  {
    const double level = GetMirror(kOverProtectionLevel);
    mOverProtectionL.SetLevel(level);
    mOverProtectionR.SetLevel(level);
  }

  const int detector = mDetectorRequest.exchange(kDetectorNoRequest, std::memory_order_acq_rel);
  if (detector == kDetectorStart || detector == kDetectorCancel)
  {
    if (detector == kDetectorStart)
      mDetector.Start();
    else
      mDetector.Cancel();
    mPreFXMeter.Clear();
    mPostFXMeter.Clear();
    mPreFXMax.store(0.0, std::memory_order_relaxed);
  }
}

void ZANIQ::RequestEditorWork(unsigned work)
{
  if (OnMainThread())
    RunEditorWork(work);
  else
    mDeferredEditorWork.fetch_or(work, std::memory_order_release);
}

void ZANIQ::RunDeferredEditorWork()
{
  RunEditorWork(mDeferredEditorWork.exchange(0, std::memory_order_acq_rel));
}

void ZANIQ::RunEditorWork(unsigned work)
{
  if (work & kEditorTooltips)
    if (igraphics::IGraphics* ui = GetUI()) ui->EnableTooltips(GetMirrorInt(kToggleTooltips) > 0);
  if (work & kEditorLinkMenuMode) SetLinkMenuMode(GetPluginMode());
  if (work & kEditorLayout) UpdateControlLayout();
  if (work & kEditorEnableModeControls) EnableModeControls(false);
}

void ZANIQ::RefreshLinkPresence()
{
  LinkRegistry& registry = LinkRegistry::Instance();
  for (int i = 0; i < kNumLinkSlots; ++i)
  {
    const LinkSlot& slot = registry.Slot(i);
    mSenderPresent[size_t(i)].store(slot.Senders() > 0, std::memory_order_relaxed);
    mReceiverPresent[size_t(i)].store(slot.Receivers() > 0, std::memory_order_relaxed);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Editor open and close
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::OnUIOpen()
{
  // Counted open before the first values go out: a control that closes the editor while it takes them leaves the
  // flag cleared, and one that reopens it leaves it set by the new editor.
  mUIOpen.store(true);
  for (int i = 0; i < NParams(); ++i)
  {
    const IParam* param = GetParam(i);
    if (!param) continue;
    double value = param->Value();
    const double step = param->GetStep();
    if (param->GetStepped() && step > 0.0) value = std::round(value / step) * step;
    value = std::max(param->GetMin(), std::min(value, param->GetMax()));
    const double normalized = std::clamp(param->ToNormalized(value), 0.0, 1.0);
    SendParameterValueFromDelegate(i, normalized, true);
  }
}

void ZANIQ::OnUIClose()
{
  mUIOpen.store(false);
  // The context deletes the selector right after this; nothing may write through the pointer from now on.
  mLinkIDSelector = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Preset slots
// ---------------------------------------------------------------------------------------------------------------

bool ZANIQ::CopyPresetToSlot(const IPreset& preset, int idx)
{
  IPreset* slot = GetPreset(idx);
  if (!slot) return false;
  slot->mInitialized = preset.mInitialized;
  slot->SetName(preset.mName);
  slot->mChunk = preset.mChunk;
  return true;
}

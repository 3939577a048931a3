// ZANIQ — the parameter table, the settings mirror and the "Init" preset.

#include "engine/ZANIQ.h"

#include <cstdio>

using namespace plugin;

namespace
{

constexpr int kCannotAutomate = IParam::kFlagCannotAutomate;
constexpr int kMeta = IParam::kFlagMeta;

// Parameters whose in-presets flag is clear (editor settings, instance settings, one-shot actions, stores).
constexpr int kNotInPresets[] = {
  ZANIQ::kGUIScale,       ZANIQ::kToggleTooltips,      ZANIQ::kPluginMode,      ZANIQ::kLinkID,
  ZANIQ::kLatencyCompensation, ZANIQ::kActive,         ZANIQ::kPrePostFX,       ZANIQ::kGainDiffStore,
  ZANIQ::kPreGainDiffStore, ZANIQ::kAutoSetLinkID,     ZANIQ::kResetPreGainDiff, ZANIQ::kResetSenderRMS,
  ZANIQ::kResetGainDiff,  ZANIQ::kReset2,              ZANIQ::kMatchPreFXDiffGain, ZANIQ::kMatchPostFXDiffGain,
  ZANIQ::kMatchLoudness,  ZANIQ::kOnlineUpdateCheck,   ZANIQ::kShowConfigPage,
};

// Instance settings: a start-up load of the default preset never changes them.
constexpr int kInstanceSettings[] = {
  ZANIQ::kPluginMode, ZANIQ::kLinkID,        ZANIQ::kLatencyCompensation, ZANIQ::kActive,
  ZANIQ::kPrePostFX,  ZANIQ::kAutoSetLinkID, ZANIQ::kResetPreGainDiff,    ZANIQ::kResetSenderRMS,
};

} // namespace

double ZANIQ::GetMirror(int paramIdx) const
{
  if (paramIdx == kPluginMode) return GetPluginMode();
  if (paramIdx == kLinkID) return GetLinkID();
  return paramIdx >= 0 && paramIdx < kNumParams ? mMirror[size_t(paramIdx)].load(std::memory_order_relaxed) : 0.0;
}

void ZANIQ::SetMirror(int paramIdx, double value)
{
  // Plugin Mode and Link ID change only together with the registry's counts.
  if (paramIdx == kPluginMode || paramIdx == kLinkID) return;
  if (paramIdx >= 0 && paramIdx < kNumParams) mMirror[size_t(paramIdx)].store(value, std::memory_order_relaxed);
}

IParam* ZANIQ::GetExtraParam(int idx) const
{
  return idx >= 0 && idx < NExtraParams() ? mExtraParams[size_t(idx)].get() : nullptr;
}

void ZANIQ::InitParams()
{
  auto dbl = [this](int idx, const char* name, double min, double max, double step, const char* label, int flags,
                    const char* group) {
    GetParam(idx)->InitDouble(name, GetMirror(idx), min, max, step, label, flags, group, IParam::ShapeLinear(),
                              kUnitCustom, nullptr);
  };
  auto offOn = [this](int idx, const char* name, int flags, const char* group) {
    GetParam(idx)->InitEnum(name, GetMirrorInt(idx), 2, "", flags, group, "off", "on");
  };

  dbl(kGUIScale, "GUI Scale", 0.5, 3.0, 0.01, "", kCannotAutomate, "GUI");
  GetParam(kToggleTooltips)->InitEnum("Toggle Tooltips", GetMirrorInt(kToggleTooltips), 2, "", kCannotAutomate, "GUI",
                                      "Off", "On");
  GetParam(kPluginMode)->InitEnum("Plugin Mode", GetMirrorInt(kPluginMode), 2, "", 0, "Processing", "Sender",
                                  "Receiver");
  GetParam(kLinkID)->InitInt("Link ID", GetMirrorInt(kLinkID), 0, kMaxLinkID, "", 0, "Processing");
  // The label says "ms", the value is in samples.
  GetParam(kLatencyCompensation)->InitInt("Latency Compensation", GetMirrorInt(kLatencyCompensation), 0,
                                          DelayLine::kCapacity, "ms", 0, "Processing");
  GetParam(kMeterMode)->InitEnum("Meter Mode", GetMirrorInt(kMeterMode), kNumMeterModes, "", 0, "Meter",
                                 "RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak");
  GetParam(kRMSWindow)->InitInt("RMS Window", GetMirrorInt(kRMSWindow), 10, 10000, "ms", 0, "Meter");
  offOn(kActive, "Active", 0, "Processing");
  dbl(kReferenceLevel, "Reference Level", -48.0, 0.0, 0.1, "dB", 0, "Processing");
  dbl(kDriveFX, "Drive FX", -24.0, 24.0, 0.1, "dB", 0, "Processing");
  offOn(kPrePostFX, "Pre-Post FX", 0, "Processing");
  GetParam(kMatchMode)->InitEnum("Match Mode", GetMirrorInt(kMatchMode), 3, "", 0, "Processing", "Manual", "Auto",
                                 "Gain stage");
  offOn(kInverseMatch, "Inverse Match", 0, "Processing");
  GetParam(kGUIMode)->InitEnum("GUI Mode", GetMirrorInt(kGUIMode), 2, "", 0, "GUI", "Expert", "Simple");
  dbl(kGainDiffStore, "GainDiff Store", -144.0, 144.0, 0.1, "dB", kMeta, "Processing");
  dbl(kPreGainDiffStore, "PreGain Diff Store", -144.0, 144.0, 0.1, "dB", kMeta, "Processing");

  for (int k = 0; k < kNumSnapshots; ++k)
  {
    char name[IParam::kTextLen];
    char group[IParam::kTextLen];
    std::snprintf(group, sizeof group, "Snapshot %d", k + 1);
    std::snprintf(name, sizeof name, "%s%d", "StoreSetFlag", k);
    GetParam(kStoreSetFlag0 + 3 * k)->InitEnum(name, GetMirrorInt(kStoreSetFlag0 + 3 * k), 2, "", kMeta, group,
                                               "unused", "used");
    std::snprintf(name, sizeof name, "%s%d", "StorePostGain", k);
    dbl(kStorePostGain0 + 3 * k, name, -144.0, 144.0, 0.1, "dB", kMeta, group);
    std::snprintf(name, sizeof name, "%s%d", "StoreDrive", k);
    dbl(kStoreDrive0 + 3 * k, name, -24.0, 24.0, 0.1, "dB", kMeta, group);
  }

  offOn(kDeltaMonitor, "Delta Monitor", 0, "Processing");
  GetParam(kSnapShot)->InitEnum("SnapShot", GetMirrorInt(kSnapShot), kNumSnapshots, "", 0, "Snapshot", "S1", "S2",
                                "S3", "S4");
  offOn(kDisableStorageGainDiff, "Disable Storage GainDiff", 0, "Processing");
  offOn(kAutoSetLinkID, "Auto Set Link ID", kMeta, "Processing");
  offOn(kResetPreGainDiff, "Reset PreGain Diff", 0, "Processing");
  offOn(kResetSenderRMS, "Reset Sender RMS", 0, "Processing");
  offOn(kResetGainDiff, "Reset Gain Diff", 0, "Processing");
  offOn(kReset2, "Reset 2", 0, "Processing");
  offOn(kMatchPreFXDiffGain, "Match Pre-FX Diff/Gain", 0, "Processing");
  offOn(kMatchPostFXDiffGain, "Match Post-FX Diff/Gain", 0, "Processing");
  offOn(kMatchLoudness, "Match Loudness", 0, "Processing");
  offOn(kEnableOverProtection, "Enable Over Protection", 0, "Over Protection");
  // The name's spelling is what hosts have stored automation under.
  dbl(kOverProtectionLevel, "Over Prection Level", -48.0, 48.0, 0.1, "dBFS", 0, "Over Protection");
  GetParam(kOnlineUpdateCheck)->InitEnum("Online Update Check", GetMirrorInt(kOnlineUpdateCheck), 2, "",
                                         kCannotAutomate, "GUI", "Off", "On");
  offOn(kShowConfigPage, "Show Config Page", 0, "GUI");
  dbl(kMinAutoGain, "Min Auto Gain", -144.0, 0.0, 0.1, "dB", 0, "Processing");
  GetParam(kMinAutoGain)->SetDisplayText(-144.0, "off");
  dbl(kMaxAutoGain, "Max Auto Gain", 0.0, 144.0, 0.1, "dB", 0, "Processing");
  GetParam(kMaxAutoGain)->SetDisplayText(144.0, "off");
  dbl(kAutoGainTolerance, "Auto Gain Tolerance", 0.0, 48.0, 0.1, "dB", 0, "Processing");
  GetParam(kAutoGainTolerance)->SetDisplayText(0.0, "off");

  for (int idx : kNotInPresets) GetParam(idx)->SetInPresets(false);
  for (int idx : kInstanceSettings) GetParam(idx)->SetInstanceSetting(true);

  // The factory preset "Init" holds the defaults.
  MakeStatePreset(mInitPreset, "Init");
  (void)CopyPresetToSlot(mInitPreset, 0);

  auto fixedScale = std::make_unique<IParam>();
  fixedScale->InitEnum("Fixed GUI Scale", 2, 11, "", 0, "", "50%", "75%", "100%", "125%", "150%", "175%", "200%",
                       "225%", "250%", "275%", "300%");
  mExtraParams.push_back(std::move(fixedScale));
}

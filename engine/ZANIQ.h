#pragma once

// ZANIQ — the plug-in class: one object per host instance, built on the Audio Unit adapter. It owns the
// parameter table (46 host parameters and one editor-only parameter), the settings mirror that processing and
// idle work read, the linear gains and meters of the Receiver, the latency-measurement and over-protection
// state, and its place in the process-wide link registry.
//
// Sources: ZANIQ.cpp (construction, destruction, DSP reset, registry join, request hand-over),
// ZANIQ_Params.cpp (parameter table, "Init" preset), ZANIQ_ParamChange.cpp (OnParamChange for parameters 0 to
// 45, entry filter, common tail, link moves), Settings.cpp (ReadIniValue). Block processing, commands 46 to 68
// and idle work live in files of their own; the editor hooks are defined in ui/ (engine/noeditor/ for builds
// without the editor).
//
// Threads and sharing. OnParamChange runs on the caller's thread (main thread for the editor, any thread for
// host automation) and never takes the processing mutex. Everything it shares with the audio thread is either
// atomic (settings mirror, gains, flags) or handed over as a request: changes to the meters, delay lines,
// over-protection records and the latency detector are posted (PostDSPRequest) and applied by the audio thread
// at the start of its next block, under the processing mutex (ApplyDSPRequests). Editor work asked for off the
// main thread is deferred to the main thread's idle tick (RunDeferredEditorWork).

#include "au/PluginAU.h"
#include "engine/LatencyDetector.h"
#include "engine/LinkRegistry.h"
#include "engine/LoudnessMeter.h"
#include "engine/OverProtection.h"
#include "engine/Settings.h"
#include "engine/XMLPresets.h"
#include "engine/ZaniqPrivateProperties.h"
#include "framework/IPreset.h"
#include "graphics/IGraphicsStructs.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace plugin::igraphics
{
class IControl;
class IGraphics;
} // namespace plugin::igraphics

// Latency towards the host.
class IExtPDCHandler
{
public:
  // [any thread] When the host has been identified, sets the plug-in's latency (the adapter tells the host).
  static void ReportLatency(plugin::PluginAU& plug, int samples);

  int GetTargetLatency() const { return mTargetLatency.load(std::memory_order_relaxed); }

protected:
  std::atomic<int> mTargetLatency{0};
};

// The product's message boxes, shown through the editor's platform layer.
class ICMessageBox
{
public:
  virtual ~ICMessageBox() = default;
  // [main thread] Shows text in the editor's message box under caption with a single "OK" button; the answer is
  // not used. Nothing while no editor is open.
  virtual void ShowEditorMessageBox(const char* text, const char* caption) = 0;
};

// ---------------------------------------------------------------------------------------------------------------
// ZANIQ
// ---------------------------------------------------------------------------------------------------------------

class ZANIQ : public plugin::PluginAU, public IMPlugPaths, public IExtPDCHandler, public IXMLPreset,
              public IXMLParameters, public ICMessageBox
{
public:
  // Host parameters, in index order.
  enum EParams : int
  {
    kGUIScale = 0,
    kToggleTooltips,
    kPluginMode,
    kLinkID,
    kLatencyCompensation,
    kMeterMode,
    kRMSWindow,
    kActive,
    kReferenceLevel,
    kDriveFX,
    kPrePostFX,
    kMatchMode,
    kInverseMatch,
    kGUIMode,
    kGainDiffStore,
    kPreGainDiffStore,
    kStoreSetFlag0 = 16, // snapshot k: set flag 16 + 3k, post gain 17 + 3k, drive 18 + 3k
    kStorePostGain0 = 17,
    kStoreDrive0 = 18,
    kDeltaMonitor = 28,
    kSnapShot,
    kDisableStorageGainDiff,
    kAutoSetLinkID,
    kResetPreGainDiff,
    kResetSenderRMS,
    kResetGainDiff,
    kReset2,
    kMatchPreFXDiffGain,
    kMatchPostFXDiffGain,
    kMatchLoudness,
    kEnableOverProtection,
    kOverProtectionLevel,
    kOnlineUpdateCheck,
    kShowConfigPage,
    kMinAutoGain,
    kMaxAutoGain,
    kAutoGainTolerance,
    kNumParams // 46
  };
  static constexpr int kNumSnapshots = 4;

  // Indices passed to OnParamChange beyond the parameters.
  static constexpr int kFirstCommand = 46; // commands 46 to 68 run editor commands
  static constexpr int kLastCommand = 68;
  static constexpr int kLastIndex = 73;    // 69 to 73 run only the common tail
  static constexpr int kFixedGUIScaleCommand = 66; // command index of the editor-only parameter

  // Values of "Match Mode".
  enum EMatchMode : int { kMatchManual = 0, kMatchAuto = 1, kMatchGainStage = 2 };

  // Tags under which the editor registers the controls the engine asks about.
  enum EControlTag : int
  {
    kTagPresetMenu = 3,
    kTagDriveKnob = 5,
    kTagDriveValue = 6,
    kTagPrePost1 = 7,
    kTagPrePost2 = 8,
    kTagDeltaMonitor = 9,
    kTagMatchMode = 10,
    kTagActive = 11,
    kTagResetSenderRMS = 12,
    kTagResetPreGainDiff = 13,
    kTagMatchPreFX = 14,
    kTagResetGainDiff = 15,
    kTagMatchPostFX = 16,
    kTagReset2 = 17,
    kTagMatchLoudness = 18,
  };

  // The product control classes whose last press the engine reads.
  enum class EPressControl : int
  {
    SwitchQN,        // IBSwitchControlQN
    KnobMultiQN,     // IBKnobMultiControlQN
    VParameterQN,    // IVParameterControlQN
    RadioButtons3,   // IBRadioButtonsControl3
    PushQN,          // IBPushControlQN
  };

  // Modifiers of a control's last mouse-down.
  struct ControlPress
  {
    bool alt = false;
    bool control = false;
  };

  // Requests from parameter changes to the audio thread (bits of PostDSPRequest).
  enum EDSPRequest : unsigned
  {
    kRequestMeterInit = 1u << 0,      // both meters re-initialised from Meter Mode and RMS Window; pre-FX max 0
    kRequestMeterClear = 1u << 1,     // both meters cleared; pre-FX max 0
    kRequestDelayLength = 1u << 2,    // both delay lengths from Latency Compensation
    kRequestOverProtection = 1u << 3, // both over-protection records from the Over Protection level
  };
  // Latency-detector requests (PostDetectorRequest; the last one posted wins).
  enum EDetectorRequest : int { kDetectorNoRequest = 0, kDetectorStart = 1, kDetectorCancel = 2 };

  // Editor work that must run on the main thread (bits of RequestEditorWork).
  enum EEditorWork : unsigned
  {
    kEditorLayout = 1u << 0,           // UpdateControlLayout
    kEditorTooltips = 1u << 1,         // tooltips on or off as "Toggle Tooltips"
    kEditorLinkMenuMode = 1u << 2,     // the Link-ID selector's mode field from the mode mirror
    kEditorEnableModeControls = 1u << 3, // EnableModeControls(false) after a measurement ended
  };

  // Host identities whose displayed latency is reset at once after every parameter change.
  static constexpr int kLatencyResetHosts[] = {plugin::kHostFLStudio,   plugin::kHostLogic,    plugin::kHostGarageBand,
                                               plugin::kHostStudioOne, plugin::kHostWaveform, plugin::kHostSadie};

  // [main thread] Builds the instance: framework bases, data folder, "plugin.ini", instance count, defaults and
  // automatic pairing, DSP state (allocated here, for the largest delay), parameter table with the "Init"
  // preset, default-preset hook, editor functions.
  explicit ZANIQ(const plugin::InstanceInfo& info);
  // [main thread] Stops the idle timers first (no tick may reach a half-destroyed object), then leaves the link
  // registry and the live-instance count.
  ~ZANIQ() override;

  // ---------------------------------------------------------------------------------------------------------
  // Framework overrides
  // ---------------------------------------------------------------------------------------------------------

  // [caller's thread] The single entry for parameter changes (indices 0-45) and editor commands (46-68).
  // Entry filter: sources kReset, kPresetRecall and kUI pass; kHost passes only for a parameter 0-45 that can
  // be automated; every other source returns at once. Then the index's action and the common tail (target and
  // initial latency 0, reported at once on the hosts of kLatencyResetHosts). Never takes the processing mutex.
  void OnParamChange(int paramIdx, plugin::EParamSource source, int sampleOffset) override;
  using plugin::PluginAU::OnParamChange;

  // [main thread] OnUIOpen pushes every parameter value to the controls, then sets the editor-open flag;
  // OnUIClose clears it.
  void OnUIOpen() override;
  void OnUIClose() override;

  // [audio thread] Block processing and reset (ZANIQ_Process*.cpp). Both hold the processing mutex for their
  // whole run and begin with ApplyDSPRequests.
  void ProcessBlock(plugin::sample** inputs, plugin::sample** outputs, int nFrames) override;
  void OnReset() override;

  // [main thread] Idle tick (after the queues were emptied); runs RunDeferredEditorWork among its work.
  void OnIdle() override;
  // [main thread] The private properties of engine/ZaniqPrivateProperties.h: Readouts (get) and Command (set);
  // other IDs are refused with kAudioUnitErr_InvalidProperty (ZANIQ_HostHooks.cpp).
  OSStatus GetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                              UInt32* dataSize, Boolean* writable, void* data) override;
  OSStatus SetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                              const void* data, UInt32 dataSize) override;
  // [main thread] The six read-out values (engine/ZaniqPrivateProperties.h) from the current engine values, as
  // UpdateMeterDisplays formats them but not rounded: gains and differences clamped to +-144 dB, levels scaled by
  // the link gain with -0.7 dB in the EBU R128 modes, shown gains negated. Always true.
  bool GetReadouts(double out[kZaniqNumReadouts]) const;
  // [main thread] Editor commands 46 to 68 run as OnParamChange(code, kUI, -1), as the editor's buttons do (the
  // value is not used); other codes are refused.
  bool DoCommand(int code, double value);

  // ---------------------------------------------------------------------------------------------------------
  // Engine operations
  // ---------------------------------------------------------------------------------------------------------

  // [main thread, constructor] Settings mirror to the defaults, gains 1.0, no measurement; then pairs the
  // instance (JoinLinkRegistry), which sets Plugin Mode and Link ID.
  void InitParamDefaults();
  // [main thread] Automatic pairing through the registry: counts the instance in the chosen slot, records Plugin
  // Mode and Link ID in its link record and returns the slot.
  LinkSlot* JoinLinkRegistry();
  // [any thread] The pairing a new instance would get now, without joining; false when every Link ID has a
  // Sender or every one has a Receiver.
  bool FindLinkPairing(int& mode, int& linkID) const;

  // [audio thread under the processing mutex, or the constructor] Rebuilds the DSP state for the stored sample
  // rate: delay lines cleared (no allocation), half-second period, over protection, gain-reduction display,
  // latency detector, 5 s fade, both meters, initial latency 0.
  void ResetDSP();
  // [same] Delay lengths from Latency Compensation, meters re-initialised, initial latency 0.
  void ResetMeters();
  // [same] ResetDSP, then the target latency becomes the initial latency and is reported when the plug-in's
  // latency differs.
  void ReinitDSP();

  // [any thread] Posts DSP requests (EDSPRequest bits) for the next block.
  void PostDSPRequest(unsigned requests) { mDSPRequests.fetch_or(requests, std::memory_order_release); }
  // [any thread] Posts a latency-detector start or cancel (replacing an earlier one not yet applied).
  void PostDetectorRequest(EDetectorRequest request) { mDetectorRequest.store(request, std::memory_order_release); }
  // [audio thread, processing mutex held] Applies the posted requests in a fixed order: meter init, meter clear,
  // delay lengths, over protection, detector. No allocation.
  void ApplyDSPRequests();
  unsigned PendingDSPRequests() const { return mDSPRequests.load(std::memory_order_acquire); }

  // [any thread] On the main thread the work runs now; elsewhere it is deferred to RunDeferredEditorWork.
  void RequestEditorWork(unsigned work);
  // [main thread] Runs the deferred editor work.
  void RunDeferredEditorWork();
  unsigned PendingEditorWork() const { return mDeferredEditorWork.load(std::memory_order_acquire); }
  bool OnMainThread() const { return std::this_thread::get_id() == mMainThreadID; }

  // [any thread] Sets a parameter from a plain (normalized false) or normalised value unless it already has
  // it, tells the host and the editor; SetParamFromProcessor also calls OnParamChange (source kUI),
  // PublishParamFromProcessor does not. The editor is updated directly on the main thread and through the
  // processor-to-editor queue elsewhere.
  void SetParamFromProcessor(int paramIdx, double value, bool normalized);
  void PublishParamFromProcessor(int paramIdx, double value, bool normalized);

  // [any thread] Meter reset: both meters cleared and the pre-FX maximum 0 at the next block.
  void RequestMeterReset() { PostDSPRequest(kRequestMeterClear); }

  // [main thread] The value of key in "plugin.ini" of the data folder (section unused), or defaultValue when
  // the file is missing or no line matches.
  static int ReadIniValue(const IMPlugPaths& paths, const char* section, const char* key, int defaultValue);

  // [main thread] Loads "default.tps" from presetFolder keeping the instance settings (IXMLPreset::LoadPresetFile
  // with keep); false, with nothing changed, when there is no such file or it is refused or presetFolder is empty.
  bool LoadDefaultPreset(const Util_String& presetFolder);

  // [main thread] preset becomes initialised, named name, holding a state chunk of every parameter at its
  // default except the nParamsNamed pairs that follow: an int parameter index, then its value as an int for
  // bool, int and enum parameters and as a double for the others (a double for an index outside the list, which
  // is skipped). ZANIQ_State.cpp.
  void MakeStatePreset(plugin::IPreset& preset, const char* name, int nParamsNamed = 0, ...);
  // [main thread] Copies preset into slot idx of the preset list; false for an index outside it.
  bool CopyPresetToSlot(const plugin::IPreset& preset, int idx);

  // ---------------------------------------------------------------------------------------------------------
  // Editor hooks [main thread]; they do nothing while no editor is open
  // ---------------------------------------------------------------------------------------------------------

  // Installs the make-graphics and layout functions of the editor delegate.
  void InitPlugControls();
  // true disables, false re-enables the controls bound to processing and mode parameters.
  void EnableModeControls(bool disable);
  // Refreshes the meter bars and read-outs from the engine values.
  void UpdateMeterDisplays();
  // Shows, hides and moves controls for the GUI Mode, Plugin Mode, pages, snapshots and meter mode.
  void UpdateControlLayout();
  // Sets the Link-ID selector's mode field (0 Sender, else Receiver) when the selector exists.
  void SetLinkMenuMode(int mode);
  // True and the modifiers of the last mouse-down when the editor is open and the control registered under tag
  // exists and is of the class kind; false otherwise.
  virtual bool GetControlPress(int tag, EPressControl kind, ControlPress& press) const;

  // ---------------------------------------------------------------------------------------------------------
  // The editor itself (ui/) [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Controls whose list position the layout remembers, in attachment order.
  enum EEditorControl : int
  {
    kCtlSenderBackground, kCtlReceiverBackground, kCtlSimpleBackgroundPost, kCtlSimpleBackgroundPre,
    kCtlQuickHelp, kCtlHelpPage, kCtlSenderLED, kCtlReceiverLED, kCtlAutoLink, kCtlLatencyField, kCtlPDCSwitch,
    kCtlOverLED, kCtlReferenceField, kCtlDriveKnob, kCtlDriveReadout, kCtlPrePostExpert, kCtlPrePostSimple,
    kCtlMatchMode, kCtlInverse, kCtlDelta, kCtlConfigSwitch, kCtlSnapshots, kCtlClear, kCtlStore, kCtlActive,
    kCtlResetPreLevels, kCtlResetPreDiff, kCtlMatchPre, kCtlResetPostDiff, kCtlMatchPost, kCtlSimpleReset,
    kCtlSimpleMatch, kCtlPreDiffReadout, kCtlPreGainReadout, kCtlPreCurrentReadout, kCtlPreMaxReadout,
    kCtlPostDiffReadout, kCtlPostGainReadout, kCtlConfigBackground, kCtlMinAutoGain, kCtlMaxAutoGain,
    kCtlAutoGainTolerance, kCtlUpdateIcon,
    kNumEditorControls // 43
  };
  // Places of the controls that move between the expert (index 0) and the simple (index 1) view, in the editor's
  // base space (424 x 610 points).
  struct EditorPlaces
  {
    std::array<std::array<plugin::igraphics::IRECT, 3>, 2> matchButtons{}; // manual, auto, gain stage
    std::array<plugin::igraphics::IRECT, 2> receiverLED{};
    std::array<plugin::igraphics::IRECT, 2> active{};
    std::array<plugin::igraphics::IRECT, 2> delta{};
    std::array<plugin::igraphics::IRECT, 2> preCurrent{};
    std::array<plugin::igraphics::IRECT, 2> postDiff{};
    std::array<plugin::igraphics::IRECT, 2> postGain{};
  };

  // The make-graphics function: the platform's graphics context, 424 x 610 at 60 fps and the current "GUI Scale".
  plugin::igraphics::IGraphics* CreateEditorGraphics();
  // The layout function: fonts, bitmaps and the 70 controls plus the corner resizer, then UpdateControlLayout.
  // Does nothing on a context that already holds controls; clears the has-editor flag when the context cannot
  // draw.
  void LayoutControls(plugin::igraphics::IGraphics* graphics);
  // The draw scale of entry idx of the fixed scale menu (0: minimum of "GUI Scale", 1-9: 0.75 to 2.75, 10: its
  // maximum); the default 1.0 for any other index.
  double GetGUIScaleForIndex(unsigned idx) const;

  // The remembered list position of a control (-1 before the first layout).
  int GetEditorControlIndex(EEditorControl which) const { return mEditorIndex[size_t(which)]; }
  // The control itself while an editor with a finished layout is open; null otherwise.
  plugin::igraphics::IControl* GetEditorControl(EEditorControl which) const;
  const EditorPlaces& GetEditorPlaces() const { return mEditorPlaces; }
  bool IsLayoutDone() const { return mLayoutDone; }
  // The Link-ID selector while the editor holding it is open; null otherwise.
  plugin::igraphics::IControl* GetLinkIDSelector() const { return mLinkIDSelector; }

protected:
  // Whether the editor operations may touch controls: has-editor flag, a context, a finished layout, controls.
  bool EditorIsLaidOut() const;

  std::array<int, kNumEditorControls> mEditorIndex = MakeNoEditorIndex();
  EditorPlaces mEditorPlaces;
  bool mLayoutDone = false;
  plugin::igraphics::IControl* mLinkIDSelector = nullptr; // cleared when the editor closes

private:
  static constexpr std::array<int, kNumEditorControls> MakeNoEditorIndex()
  {
    std::array<int, kNumEditorControls> a{};
    for (int& i : a) i = -1;
    return a;
  }

public:

  // ---------------------------------------------------------------------------------------------------------
  // State read by processing, idle work, the editor and tests [any thread]
  // ---------------------------------------------------------------------------------------------------------

  // Settings mirror: the current value of every parameter as last handled by OnParamChange (enum and int
  // parameters as whole numbers; the Over Protection level as whole decibels). Plugin Mode and Link ID come from
  // the link record, which only the link registry writes.
  double GetMirror(int paramIdx) const;
  // The mirror truncated toward zero.
  int GetMirrorInt(int paramIdx) const { return static_cast<int>(GetMirror(paramIdx)); }
  // Plugin Mode and Link ID as the registry counts this instance, read together (lock-free).
  LinkPairing GetLinkPairing() const { return mLink.Pairing(); }
  int GetPluginMode() const { return GetLinkPairing().mode; }
  int GetLinkID() const { return GetLinkPairing().linkID; }

  int GetInstanceNumber() const { return mInstanceNumber; }
  int GetInitialLatency() const { return mInitialLatency.load(std::memory_order_relaxed); }
  double GetDSPSampleRate() const { return mDSPSampleRate; }
  int GetDSPBlockSize() const { return mDSPBlockSize; }
  int GetNInputChannels() const { return mNInputChannels; }
  int GetNOutputChannels() const { return mNOutputChannels; }

  double GetLinkGain() const { return mLinkGain.load(std::memory_order_relaxed); }
  double GetPreGain() const { return mPreGain.load(std::memory_order_relaxed); }
  double GetPreRatio() const { return mPreRatio.load(std::memory_order_relaxed); }
  double GetPreMaxRatio() const { return mPreMaxRatio.load(std::memory_order_relaxed); }
  double GetAutoGain() const { return mAutoGain.load(std::memory_order_relaxed); }
  double GetMatchGain() const { return mMatchGain.load(std::memory_order_relaxed); }
  double GetGainToMatch() const { return mGainToMatch.load(std::memory_order_relaxed); }
  double GetPreFXLevel() const { return mPreFXLevel.load(std::memory_order_relaxed); }
  double GetPreFXMax() const { return mPreFXMax.load(std::memory_order_relaxed); }
  double GetPostFXLevel() const { return mPostFXLevel.load(std::memory_order_relaxed); }
  // Whether a meter level lies above the -144 dB floor. A match against a level at the floor (silence, a stopped
  // transport, a muted chain) has no ratio to go by and leaves the stored gains alone.
  static bool AboveFloor(double level) { return level > kMinGain; }

  bool IsMeasurementRunning() const { return mMeasurementRunning.load(std::memory_order_relaxed); }
  bool IsUIOpen() const { return mUIOpen.load(std::memory_order_relaxed); }
  bool IsRescalePending() const { return mRescalePending.load(std::memory_order_relaxed); }
  bool IsReceiving() const { return mReceiving.load(std::memory_order_relaxed); }
  bool IsSenderLinked() const { return mSenderLinked.load(std::memory_order_relaxed); }

  // Link-ID presence marks (index 0 and Link IDs 1 to 256), refreshed by link moves.
  const std::array<std::atomic<bool>, kNumLinkSlots>& GetSenderPresent() const { return mSenderPresent; }
  const std::array<std::atomic<bool>, kNumLinkSlots>& GetReceiverPresent() const { return mReceiverPresent; }
  // [any thread] Refreshes both presence arrays from the registry's counts.
  void RefreshLinkPresence();

  // The editor-only parameter "Fixed GUI Scale" (entry 0) and the command index of its first entry.
  plugin::IParam* GetExtraParam(int idx) const;
  int NExtraParams() const { return static_cast<int>(mExtraParams.size()); }
  int GetExtraParamsCommandBase() const { return kFixedGUIScaleCommand; }
  const plugin::IPreset& GetInitPreset() const { return mInitPreset; }

  // DSP records, for block processing and tests [audio thread or while no block runs].
  const LoudnessMeter& GetPreFXMeter() const { return mPreFXMeter; }
  const LoudnessMeter& GetPostFXMeter() const { return mPostFXMeter; }
  const OverProtection& GetOverProtection(int channel) const { return channel ? mOverProtectionR : mOverProtectionL; }
  const GainReductionDisplay& GetGainReductionDisplay() const { return mGainReduction; }
  const DelayLine& GetDelayLine(int channel) const { return channel ? mDelayR : mDelayL; }
  const LatencyDetector& GetLatencyDetector() const { return mDetector; }
  int GetHalfSecondPeriod() const { return mHalfSecondPeriod; }
  int GetFadeLength() const { return mFadeLength; }

private:
  // ZANIQ_Params.cpp
  void InitParams();
  void SetMirror(int paramIdx, double value);

  // ZANIQ_ParamChange.cpp
  bool PassesEntryFilter(int paramIdx, plugin::EParamSource source) const;
  void HandleParamChange(int paramIdx);
  void CommonTail();
  // Move to the Plugin Mode / Link ID the parameter holds when the registry takes the move; false when the
  // instance was there already.
  bool LinkMoveMode();
  bool LinkMoveID();
  void AutoRepair();
  void AltBroadcast(int tag, EPressControl kind, int code, double value);
  // Commands 46 to 68 (editor commands and snapshots).
  void HandleCommand(int code);

  // ZANIQ.cpp
  void RunEditorWork(unsigned work);
  void InitMeters();

protected:
  // Engine state, in the order the processing reads it.
  int mInstanceNumber = 0;
  double mDSPSampleRate = 44100.0; // at the last DSP reset; OnReset compares against these
  int mDSPBlockSize = 0;
  int mNInputChannels = 0;
  int mNOutputChannels = 0;
  std::atomic<int> mInitialLatency{0};
  std::atomic<bool> mInfoPageRequest{false};
  std::atomic<bool> mUpdateMessageRequest{false};
  std::mutex mProcMutex; // held by ProcessBlock and OnReset for their whole run
  std::atomic<bool> mMeterRefresh{false};
  std::atomic<bool> mRescalePending{false};
  std::array<std::atomic<double>, kNumParams> mMirror{}; // Plugin Mode and Link ID unused: see mLink
  LinkMember mLink;
  std::atomic<bool> mMeasurementRunning{false};

  // Linear gains (all 1.0 initially) and the last meter outputs (linear).
  std::atomic<double> mLinkGain{1.0};
  std::atomic<double> mPreGain{1.0};
  std::atomic<double> mPreRatio{1.0};
  std::atomic<double> mPreMaxRatio{1.0};
  std::atomic<double> mAutoGain{1.0};
  std::atomic<double> mMatchGain{1.0};
  std::atomic<double> mGainToMatch{1.0};
  std::atomic<double> mPreFXLevel{0.0};
  std::atomic<double> mPreFXMax{0.0};
  std::atomic<double> mPostFXLevel{0.0};

  // Audio-thread state (under the processing mutex once the constructor has run).
  int mHalfSecondPeriod = 0;
  int mHalfSecondCounter = 0;
  LoudnessMeter mPreFXMeter;
  LoudnessMeter mPostFXMeter;
  OverProtection mOverProtectionL;
  OverProtection mOverProtectionR;
  GainReductionDisplay mGainReduction;
  DelayLine mDelayL;
  DelayLine mDelayR;
  std::atomic<bool> mReceiving{false};
  std::atomic<bool> mSenderLinked{false};
  int mFadeLength = 0;
  int mFadeCounter = 0;
  LatencyDetector mDetector;

  // Hand-over between threads.
  std::atomic<unsigned> mDSPRequests{0};
  std::atomic<int> mDetectorRequest{kDetectorNoRequest};
  std::atomic<unsigned> mDeferredEditorWork{0};
  std::atomic<bool> mUIOpen{false};
  std::thread::id mMainThreadID;

  std::array<std::atomic<bool>, kNumLinkSlots> mSenderPresent{};
  std::array<std::atomic<bool>, kNumLinkSlots> mReceiverPresent{};

  std::vector<std::unique_ptr<plugin::IParam>> mExtraParams;
  plugin::IPreset mInitPreset;

  // ---------------------------------------------------------------------------------------------------------
  // --- commands, snapshots and idle ---
  // Editor commands 46 to 68 (ZANIQ_Commands.cpp), idle work, info page and update check (ZANIQ_Idle.cpp,
  // UpdateCheck.h), editor hooks the product user interface supplies (ui/ZANIQ_EditorHooks.cpp).
  // ---------------------------------------------------------------------------------------------------------
public:
  static constexpr int kEditorBaseWidth = 424; // graphics units; the rescale keeps this size
  static constexpr int kEditorBaseHeight = 610;

  // List positions of editor controls the engine reaches, recorded by the layout; -1 where there is none.
  struct EditorControlPositions
  {
    int helpPage = -1;                       // "help_page.png"
    std::array<int, 3> backgrounds{-1, -1, -1}; // "background1.png", "background2.png", "bg_easy_post.png"
    int latencyButton = -1;                  // "pdc.png"
    int snapshotSelector = -1;
    int updateIcon = -1;
  };
  // [main thread] Called by the layout while it builds the controls.
  void SetEditorControlPositions(const EditorControlPositions& positions) { mEditorPositions = positions; }
  const EditorControlPositions& GetEditorControlPositions() const { return mEditorPositions; }

  // Editor hooks [main thread]; each does nothing (false) while no editor exists.
  // The message box (ICMessageBox).
  void ShowEditorMessageBox(const char* text, const char* caption) override;
  // Sets the snapshot selector's used mark for snapshot 0 to 3.
  virtual void SetSnapshotUsedMark(int snapshot, bool used);
  // True while the editor's popup menu is showing (a rescale then waits).
  virtual bool IsPopupMenuShowing() const;
  // True, with path, when the control under kTagPresetMenu is a preset menu holding a non-empty file path.
  virtual bool GetPresetMenuPath(Util_String& path) const;

  // [main thread] The version text "major.minor.patch" of this build.
  void GetVersionText(char* out, size_t size) const;
  // [any thread] Display name of a framework host identity (1 to 67); "Unknown" for any other.
  static const char* GetHostDisplayName(int host);
  // [main thread] The info page: maker, name, version, build date and time, format, host, channels, latency,
  // sample rate, block size and trademarks, one line each. Numbers in the C locale.
  void GetInfoText(Util_String& text) const;
  // [main thread, from OnIdle] Composes the info page and shows it in the editor's message box ("About").
  void BuildInfoText();

  // [main thread] The manual update check: runs the query for productName against ownVersion, shows its result
  // in the editor's message box ("Check for update") and returns true when a newer version exists.
  bool ShowUpdateCheckResult(const char* productName, const char* ownVersion);
  // [main thread] The automatic check's query for this plug-in, without a message; true when a newer version
  // exists.
  bool RunUpdateQuery();
  // libcurl's result code and description of the last query (-1 and "" before one ran).
  int GetUpdateStatus() const { return mUpdateStatus; }
  const char* GetUpdateErrorText() const { return mUpdateErrorText; }

  bool IsInfoPageRequested() const { return mInfoPageRequest.load(); }
  bool IsUpdateMessageRequested() const { return mUpdateMessageRequest.load(); }

  // The preset list built by command 53 from the ".tps" files of the data folder [main thread].
  int NListedPresets() const { return static_cast<int>(mPresetList.size()); }
  // Null for an index outside the list.
  const plugin::IPreset* GetListedPreset(int idx) const;

private:
  // ZANIQ_Commands.cpp
  void ClearSnapshot();
  void StoreSnapshot();
  void RecallSnapshot();
  void SetGUIScaleFromCommand(double scale, bool rescale);
  double FixedGUIScale() const;
  void ShowHelpPage(bool show);
  void SetEditorControlValue(int position, double value);
  void LoadPresetFromMenu();
  void SavePresetFromMenu();
  void RebuildPresetList();

  // ZANIQ_Idle.cpp
  void ApplyPendingRescale();
  void RunAutomaticUpdateCheck();
  void UpdateIconFromResult();

  EditorControlPositions mEditorPositions;
  int mUpdateStatus = -1;
  char mUpdateErrorText[1024] = {};
  std::vector<std::unique_ptr<plugin::IPreset>> mPresetList;
  // --- end of commands, snapshots and idle ---

  // ---------------------------------------------------------------------------------------------------------
  // --- presets and state ---
  // The host state chunk and presets read from files (ZANIQ_State.cpp; the document is XMLPresets.h).
  //
  // Chunk, appended at the chunk's end; offsets from its first byte, integers 32-bit little-endian:
  //   0 "RIFF" | 4 size A = bytes from 8 to the end of the inner pad | 8 i32 1 | 12 "QVCM" | 16 "QVCS" |
  //   20 size B = L + 8 | 24 i32 1 | 28 L | 32 the XML text (L bytes, no terminator) | inner pad 0 when L is odd
  // Size A is then always even, so no outer pad is needed.
  // ---------------------------------------------------------------------------------------------------------
public:
  // [main thread] Appends the chunk for the live values under the name of preset slot 0. False when an append
  // failed or the text could not be produced (then the frame ends after offset 28: size B 4, size A 20).
  bool SerializeState(plugin::IByteChunk& chunk) const override;
  // [main thread] Reads a chunk at startPos. Nothing changes unless the whole frame and document are valid;
  // then the named parameters take their values, preset slot 0 its name, and OnParamReset (preset recall) runs.
  // Returns, in this order: startPos when the chunk is empty, startPos is negative or lies within 4 bytes of
  // the end, or the bytes there are not "RIFF"; -1 when the chunk ends before offset 12; startPos + 12 for a
  // version other than 1 or no "QVCM" (or the chunk ends before 16); startPos + 16 without "QVCS" (or the chunk
  // ends before 20); -1 when it ends before 28; startPos + 28 for size B 0 or an inner version other than 1;
  // -1 when size A reaches past the chunk's end or is too small to hold the header; otherwise the frame's end, startPos + 8 + size A (+1 when odd),
  // also when the document inside was refused (malformed, foreign maker or plug-in name, incomplete).
  [[nodiscard]] int UnserializeState(const plugin::IByteChunk& chunk, int startPos) override;
  // True when the last UnserializeState applied a document.
  bool LastStateApplied() const override { return mLastStateApplied; }
  // [any thread] The frame's end when UnserializeState would apply the chunk at startPos, else -1.
  [[nodiscard]] int CheckState(const plugin::IByteChunk& chunk, int startPos) const override;
  // [main thread] preset becomes initialised and holds the state chunk of the file at path: each parameter the
  // file names at its value as read, every other at its default; its name is the file's preset name ("" when
  // the file is refused, and then every parameter is at its default). Nothing for a null preset.
  void LoadPresetFileIntoPreset(plugin::IPreset* preset, const Util_String& path, bool filtered);

private:
  // Appends a whole chunk for values (one per parameter; kPresetNoValue entries take the parameter's default).
  bool AppendStateChunk(const double* values, const char* presetName, plugin::IByteChunk& chunk) const;
  bool mLastStateApplied = false;
  // --- end of presets and state ---

  // ---------------------------------------------------------------------------------------------------------
  // Block processing (ZANIQ_Process.cpp, ZANIQ_ProcessChain.cpp) — added with the signal path
  // ---------------------------------------------------------------------------------------------------------
public:
  // [audio thread, processing mutex held] The block body: Sender or Receiver by Plugin Mode, then the
  // half-second tick. nInputs / nOutputs are the connected channel counts; both 2 means stereo, anything else
  // runs the first buffer as both channels.
  void ProcessBlockImpl(plugin::sample** inputs, plugin::sample** outputs, int nFrames, int nInputs, int nOutputs);

  // [main thread] Command 61: starts a latency measurement when none runs (measurement running, mode controls
  // disabled, detector start and meter reset at the next block), else cancels it (Latency Compensation stays).
  void ToggleLatencyMeasurement();

  // [any thread] The gain-reduction display as of the last block, and its invert flag.
  double GetGainReductionValue() const { return mGainReductionShown.load(std::memory_order_relaxed); }
  bool GetGainReductionInvert() const { return mGainReductionInvert.load(std::memory_order_relaxed) != 0; }

  // [while no block runs; tests] true runs every Receiver sample through the one-sample-at-a-time chain that a
  // latency measurement uses, instead of the block passes, so the two can be compared. Results are the same.
  void SetPlainSampleChain(bool plain) { mPlainSampleChain = plain; }

private:
  struct ReceiverBlock;
  static constexpr int kChunkFrames = 256; // frames per pass of the Receiver's block loops
  enum EChunkBuffer : int { kChunkPreL, kChunkPreR, kChunkPreLevel, kChunkPostLevel, kChunkMatch, kChunkOutL,
                            kChunkOutR, kChunkRatioL, kChunkRatioR, kNumChunkBuffers };
  void ReceiverChunk(ReceiverBlock& b, int start, int n, const double* pre0, const double* pre1);
  void ReceiverSamplesPlain(ReceiverBlock& b, int start, int count, const double* pre0, const double* pre1);
  void ProcessSender(LinkSlot& slot, int linkID, plugin::sample* inL, plugin::sample* inR, plugin::sample* outL,
                     plugin::sample* outR, int nFrames);
  void ProcessReceiver(LinkSlot& slot, int linkID, plugin::sample* inL, plugin::sample* inR, plugin::sample* outL,
                       plugin::sample* outR, int nFrames);
  void ReceiverSamples(ReceiverBlock& b, int start, int count, const double* preL, const double* preR);
  void FinishLatencyMeasurement(ReceiverBlock& b);
  void StopLatencyMeasurement();
  void ClearMetersNow();
  void RunPeerCommand(LinkSlot& slot);
  void SetParamAsEditorChange(int paramIdx, double value);
  void SetLatencyParam(int samples);

  std::atomic<double> mGainReductionShown{0.0};
  std::atomic<int> mGainReductionInvert{1};
  int mNoSenderSamples = 0; // Receiver samples without a Sender block while a measurement runs
  bool mPlainSampleChain = false;
  double mChunk[kNumChunkBuffers][kChunkFrames] = {}; // scratch of the block passes
};

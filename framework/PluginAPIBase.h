#pragma once

// PluginAPIBase — the layer of the plug-in object that faces the host adapter. It copies the identity out of the
// Config record, identifies the host, carries parameter changes between host, audio thread and editor, owns the
// queues between the audio thread and the editor, and runs the 20 ms idle timer on the main thread, which empties
// those queues into the editor and then calls OnIdle.
//
// Queues (one free slot each): parameter values 512, MIDI 32 each way, SysEx 4 each way. A push onto a full queue
// is dropped.

#include "framework/PluginConfig.h"
#include "framework/PluginMidi.h"
#include "framework/PluginBase.h"
#include "framework/PluginQueue.h"
#include "framework/Timer.h"

#include <cstdint>
#include <memory>

namespace plugin
{

// A parameter value travelling from the host/audio side to the editor: a real value, not normalised.
struct ParamTuple
{
  int32_t idx = -1;
  double value = 0.0;
};

struct SysExData
{
  static constexpr int kMaxBytes = 512;
  int32_t mOffset = 0;
  int32_t mSize = 0;
  uint8_t mData[kMaxBytes] = {};
};

class PluginAPIBase : public PluginBase
{
public:
  static constexpr int kTimerIntervalMs = 20;
  static constexpr int kParamQueueSlots = 513;
  static constexpr int kMidiQueueSlots = 33;
  static constexpr int kSysExQueueSlots = 5;

  // [main thread] Builds the plug-in base with the config's parameter and preset counts, sizes the queues and
  // copies the identity and editor size out of the config.
  PluginAPIBase(Config config, EAPI plugAPI);
  // Stops the timer before anything is freed.
  ~PluginAPIBase() override;

  // [main thread] Installs a new 20 ms idle timer (deleting the one installed before).
  void CreateTimer();
  // [main thread] Stops the idle timer; the most-derived destructor calls it first, so no tick reaches a
  // half-destroyed object. Safe to call more than once.
  void StopTimer();
  Timer* GetTimer() const { return mTimer.get(); }

  // [main thread] The idle step: drains the queues into the editor when the plug-in has a UI, then OnIdle.
  void OnTimer(Timer& timer);

  // [main thread] Stores the host's name and version and its code (LookUpHost; 0 without a name), then
  // HostSpecificInit and OnHostIdentified.
  void SetHost(const char* host, int version);
  // The host code for a name or bundle identifier: the first key found in the lower-cased name, 0 for none.
  static int LookUpHost(const char* name);

  // [any thread] Sets the parameter from a normalised value and tells the host; with notifyPlugin also
  // OnParamChange(paramIdx, kUI, -1). An unknown index does nothing.
  void SetParameterValue(int paramIdx, double normalizedValue, bool notifyPlugin);

  // --- Editor delegate operations ---------------------------------------------------------------------------
  void SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin) override;
  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { BeginInformHostOfParamChange(paramIdx); }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { EndInformHostOfParamChange(paramIdx); }
  void DirtyParametersFromUI() override;
  bool EditorResizeFromUI(int width, int height, bool needsPlatformResize) override;
  void SendMidiMsgFromUI(const IMidiMsg& msg) override { DeferMidiMsg(msg); }
  void SendSysexMsgFromUI(const ISysEx& msg) override { DeferSysexMsg(msg); }
  void SendArbitraryMsgFromUI(int msgTag, int ctrlTag, int dataSize, const void* data) override;
  // [main thread] Queued for the processor (dropped when full).
  void DeferMidiMsg(const IMidiMsg& msg) override;
  // [main thread] Queued for the processor (dropped when full); at most 512 bytes are kept.
  void DeferSysexMsg(const ISysEx& msg) override;

  // --- Hooks of the chain, with their defaults ----------------------------------------------------------------
  virtual bool HostRequestHookA() { return false; }
  virtual bool HostRequestHookB() { return false; }
  virtual void OnHostIdentified() {}
  // Appends 0 .. count-1 when 1 <= count < NParams().
  virtual void OnHostRequestingImportantParameters(int count, Util_TypedBuf<int>& results);
  virtual bool OnHostRequestingSupportedViewConfiguration(int width, int height)
  {
    (void)width;
    (void)height;
    return true;
  }
  virtual void OnHostSelectedViewConfiguration(int width, int height)
  {
    (void)width;
    (void)height;
  }
  // Writes an empty text; false.
  virtual bool GetMidiNoteText(int noteNumber, char* text) const;
  // The editor's graphics context while it is ready, else null.
  virtual void* GetOptionalPointerMember() const;
  // [main thread] Idle work after the queues were emptied, every 20 ms.
  virtual void OnIdle() {}
  virtual void PrintDebugInfo() const;
  virtual void GetThreeIntsHook(int& a, int& b, int& c) const { a = b = c = 0; }
  // Spare hooks for the host adapters: nothing, or false.
  virtual void EmptyApiHookA() {}
  virtual bool FalseApiHookA() { return false; }
  virtual void EmptyApiHookB() {}
  virtual bool FalseApiHookB() { return false; }
  // [any thread] The host set a parameter: queues its real value for the editor (dropped when full).
  virtual void SendParameterValueFromAPI(int paramIdx, double value, bool normalized);
  virtual void HostSpecificInit() {}
  virtual bool EditorResize(int width, int height)
  {
    (void)width;
    (void)height;
    return false;
  }
  // [any thread] Host notifications; the adapter implements them.
  virtual void BeginInformHostOfParamChange(int paramIdx) { (void)paramIdx; }
  virtual void EndInformHostOfParamChange(int paramIdx) { (void)paramIdx; }
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue)
  {
    (void)paramIdx;
    (void)normalizedValue;
  }
  virtual void EmptyApiHookC() {}
  virtual void EmptyApiHookD() {}

  // --- The adapter's own operations -------------------------------------------------------------------------
  // [main thread] The host adapter's own idle work, every 20 ms, after the queues and before OnIdle.
  virtual void OnApiIdle() {}

  // Queue access for the adapter's render and for tests.
  PluginQueue<ParamTuple>& GetParamChangeFromProcessor() { return mParamChangeFromProcessor; }
  PluginQueue<IMidiMsg>& GetMidiMsgFromEditor() { return mMidiMsgsFromEditor; }
  PluginQueue<IMidiMsg>& GetMidiMsgFromProcessor() { return mMidiMsgsFromProcessor; }
  PluginQueue<SysExData>& GetSysExDataFromEditor() { return mSysExDataFromEditor; }
  PluginQueue<SysExData>& GetSysExDataFromProcessor() { return mSysExDataFromProcessor; }
  SysExData& GetSysexBuf() { return mSysexBuf; }
  Util_String& GetParamDisplayStr() { return mParamDisplayStr; }

private:
  Util_String mParamDisplayStr;
  std::unique_ptr<Timer> mTimer;
  PluginQueue<ParamTuple> mParamChangeFromProcessor{kParamQueueSlots};
  PluginQueue<IMidiMsg> mMidiMsgsFromEditor{kMidiQueueSlots};
  PluginQueue<IMidiMsg> mMidiMsgsFromProcessor{kMidiQueueSlots};
  PluginQueue<SysExData> mSysExDataFromEditor{kSysExQueueSlots};
  PluginQueue<SysExData> mSysExDataFromProcessor{kSysExQueueSlots};
  SysExData mSysexBuf;
};

} // namespace plugin

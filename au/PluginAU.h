#pragma once

// PluginAU — the Audio Unit (version 2) side of the plug-in object, between the framework bases and the product
// class. It keeps what the Audio Unit interface needs per instance (buses and their upstream connections,
// property listeners, render notifications, host callbacks, scratch buffers), answers the selectors that the
// entry points of PluginAU_Entry.h route to it, and reports parameter, preset and latency changes to the host.
//
// Sources: PluginAU.cpp (object, buses, connections, initialise), PluginAU_Render.cpp, PluginAU_Properties.cpp
// and PluginAU_PropertiesParams.cpp (properties), PluginAU_Params.cpp (parameters, listeners, notifications,
// MIDI out), PluginAU_State.cpp (ClassInfo, factory presets), PluginAU_Entry.cpp (selector dispatch).
//
// Every host-facing operation returns an OSStatus: 0, a published Audio Unit error, badComponentSelector, or an
// upstream render status passed through. Every host argument is checked before use: data sizes against the record
// size, null pointers, buffer byte sizes against the frame count, bus indices, parameter IDs, sample rates, block
// sizes and non-finite numbers. A refused call changes nothing unless its comment says otherwise.
//
// Threads: Render runs on the host's audio thread; GetParameter, SetParameter and ScheduleParameters may come from
// either thread; everything else comes from the main thread. Bus and connection records are changed only by
// main-thread property calls, which hosts make while not rendering. Render notifications are an RCU list
// (AURenderNotifyList); the host callbacks and the MIDI output callback are published field by field through
// atomics; the input connections are published as an AURenderRoute. Property-listener notifications that start on another thread (a latency change) are deferred to the
// main thread's idle tick.

#include "au/AURenderNotifyList.h"
#include "au/AURenderRoute.h"
#include "framework/PluginAPIBase.h"
#include "framework/PluginProcessor.h"

#include <AudioToolbox/AudioToolbox.h>
#include <CoreMIDI/CoreMIDI.h>
#include <CoreServices/CoreServices.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace plugin
{

// What the entry points hand the constructor: the Cocoa class the host instantiates for the editor.
struct InstanceInfo
{
  Util_String mCocoaViewFactoryClassName;
};

// One audio bus.
struct AUBus
{
  bool mConnected = false;
  int mNHostChannels = -1;     // set through the stream format; -1 while none was set
  int mNPlugChannels = 0;      // the most channels any configuration gives this bus
  int mPlugChannelStartIdx = 0; // first processor channel of the bus in its direction
  int mNRenderChannels = -1;   // output buses: channels the last render connected (audio thread)
  // Input buses are read by the render only through the published AURenderRoute; output buses' mConnected and
  // mNRenderChannels belong to the render.
};

struct AUPropertyListener
{
  AudioUnitPropertyID mPropID = 0;
  AudioUnitPropertyListenerProc mListenerProc = nullptr;
  void* mProcArgs = nullptr;
};

// A factory preset entry (FactoryPresets property). Its first two fields form an AUPreset, so hosts read the
// entries of the array as AUPreset records.
struct CFAUPreset
{
  AUPreset auPreset;         // number and name (a copy owned by the record)
  UInt32 version;            // 0
  CFAllocatorRef allocator;  // the record was allocated from it
  CFIndex retainCount;
};
using CFAUPresetRef = CFAUPreset*;

// [main thread] A record with retain count 1 and a copy of name (null stays null); null when the allocation
// failed.
CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, CFIndex presetNumber, CFStringRef name);
// Array callbacks (version 0) for arrays of CFAUPreset. Retain adds one to the count (and retains the name);
// release undoes one retain and frees the record at 0; null records and counts below 1 are ignored.
const void* CFAUPresetRetain(CFAllocatorRef allocator, const void* preset);
void CFAUPresetRelease(CFAllocatorRef allocator, const void* preset);
// "AUPreset:\npreset number = %d\npreset name = %@".
CFStringRef CFAUPresetCopyDescription(const void* preset);
// Same number and equal names.
Boolean CFAUPresetEqual(const void* preset1, const void* preset2);
extern const CFArrayCallBacks kCFAUPresetArrayCallBacks;

class PluginAU : public PluginAPIBase, public PluginProcessor
{
public:
  // Sample rates accepted from the host, in Hz: finite and in (0, kMaxSampleRate].
  static constexpr double kMaxSampleRate = 1536000.0;
  // MaximumFramesPerSlice accepted from the host: [1, kMaxFramesPerSlice].
  static constexpr int kMaxFramesPerSlice = 65536;
  // Channels of one bus that a render pulls or attaches at most.
  static constexpr int kMaxBusChannels = 128;
  // The private property through which the view factory obtains the plug-in object (an PluginAU*).
  static constexpr AudioUnitPropertyID kPrivatePropertyPlugin = static_cast<AudioUnitPropertyID>(-101);
  // Byte size of the preallocated MIDI packet list used by the MIDI output; larger output goes out as several
  // lists.
  static constexpr int kMidiPacketListBytes = 8192;

  // [main thread] Builds both bases from config with the Audio Unit API code, one bus per input and output bus of
  // the channel configurations, block size 512 with its scratch buffers, and starts the idle timers.
  PluginAU(const InstanceInfo& info, const Config& config);
  // [main thread] Stops the idle timers first, then frees the records.
  ~PluginAU() override;

  // ---------------------------------------------------------------------------------------------------------
  // Lifecycle [main thread] — PluginAU.cpp
  // ---------------------------------------------------------------------------------------------------------

  // Identifies the host once (main bundle identifier and version), checks the channel counts of all buses
  // against the configurations (badComponentSelector when none allows them: nothing changes), then resets the
  // parameters (source kReset) and activates the processor.
  [[nodiscard]] OSStatus Initialize();
  // Clears the initialised flag and deactivates the processor. Always 0.
  [[nodiscard]] OSStatus Uninitialize();
  // PluginProcessor::OnReset. Always 0.
  [[nodiscard]] OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
  bool IsInitialized() const { return mInitialized; }

  // Recomputes each input bus's input type and publishes the route the render reads; the render then marks the
  // processor's input channels (directly here too while not initialised). When memory runs out the render keeps
  // the old route.
  void UpdateInputConnections();
  // Whether the configurations allow `channels` on bus `element` of `scope` with the other buses' current host
  // channel counts (the other direction counts as "any" while not initialised).
  bool IsLegalBusFormat(AudioUnitScope scope, AudioUnitElement element, int channels) const;

  // ---------------------------------------------------------------------------------------------------------
  // Properties [main thread] — PluginAU_Properties.cpp
  // ---------------------------------------------------------------------------------------------------------

  // The info query (data null) sets *dataSize and *writable; the value query writes the value into data, whose
  // size in bytes the caller passes in *dataSize (kAudioUnitErr_InvalidPropertyValue when too small; on success
  // *dataSize becomes the size written). dataSize and writable must not be null (the entry points substitute
  // locals). Strings, arrays and dictionaries handed out are the host's to release.
  [[nodiscard]] OSStatus GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32* dataSize, Boolean* writable, void* data);
  // Applies the write, then calls the listeners of propID (also when the write was refused). data must hold dataSize bytes, at least the
  // property's record size (kAudioUnitErr_InvalidPropertyValue otherwise; kAudio_ParamError for null data).
  [[nodiscard]] OSStatus SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                     const void* data, UInt32 dataSize);

  // ---------------------------------------------------------------------------------------------------------
  // Parameters and listeners — PluginAU_Params.cpp
  // ---------------------------------------------------------------------------------------------------------

  // [any thread] Global scope only (kAudioUnitErr_InvalidProperty otherwise); kAudioUnitErr_InvalidParameter for
  // an unknown ID; kAudio_ParamError for a null value pointer.
  [[nodiscard]] OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                      AudioUnitParameterValue* value);
  // [any thread] The host set of one parameter (value stepped and clamped; the editor is sent the value as given;
  // OnParamChange with kHost). Errors as GetParameter; a non-finite value is refused with
  // kAudioUnitErr_InvalidParameterValue and the parameter keeps its value.
  [[nodiscard]] OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                      AudioUnitParameterValue value, UInt32 bufferOffset);
  // [any thread] Immediate events in order (ramps skipped). The first refused immediate event ends the call with
  // its error; the events before it stay applied. kAudio_ParamError for null events with a count above 0.
  [[nodiscard]] OSStatus ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 count);

  // [main thread] Registration. A null function is refused with kAudio_ParamError.
  [[nodiscard]] OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                             void* userData);
  [[nodiscard]] OSStatus RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc);
  [[nodiscard]] OSStatus RemovePropertyListenerWithUserData(AudioUnitPropertyID id,
                                                            AudioUnitPropertyListenerProc proc, void* userData);
  [[nodiscard]] OSStatus AddRenderNotify(AURenderCallback proc, void* userData);
  // Removes the first registration with both that function and that user data; 0 also when none matched.
  [[nodiscard]] OSStatus RemoveRenderNotify(AURenderCallback proc, void* userData);

  // [main thread] Calls every listener of id, in registration order, with (user data, component instance, id,
  // scope, element 0). A listener may remove itself or others while this runs.
  void NotifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope);

  // [main thread] The adapter's idle work on the 20 ms tick: delivers deferred listener notifications and frees
  // retired render-notification lists.
  void OnApiIdle() override;
  // [main thread] Stops the idle timer; the entry points call it before they destroy the object, so no tick
  // reaches a half-destroyed one. Safe to call more than once.
  void StopIdleTimers() { StopTimer(); }

  // ---------------------------------------------------------------------------------------------------------
  // Render [audio thread] — PluginAU_Render.cpp
  // ---------------------------------------------------------------------------------------------------------

  // One block for one output bus. kAudio_ParamError for a null time stamp or buffer list;
  // kAudioUnitErr_InvalidPropertyValue for a time stamp without a valid sample time, too many frames, or an
  // output buffer smaller than the frame count; kAudioUnitErr_InvalidElement for an unknown output bus; an
  // upstream pull's status unchanged. Allowed while not initialised. Never allocates or locks.
  [[nodiscard]] OSStatus Render(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timeStamp,
                                UInt32 outputBus, UInt32 nFrames, AudioBufferList* bufferList);

  // ---------------------------------------------------------------------------------------------------------
  // Music-device calls [audio thread] — PluginAU_Entry.cpp
  // ---------------------------------------------------------------------------------------------------------

  // With MIDI input: the message goes to ProcessMidiMsg and then to the editor's queue; 0. Without:
  // badComponentSelector.
  [[nodiscard]] OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset);
  // With MIDI input: ProcessSysEx; 0 (kAudio_ParamError for null data with a length). Without:
  // badComponentSelector.
  [[nodiscard]] OSStatus SysEx(const UInt8* data, UInt32 length);

  // ---------------------------------------------------------------------------------------------------------
  // Plug-in → host (overrides; results are ignored by their callers)
  // ---------------------------------------------------------------------------------------------------------

  // [main thread] Listeners of ParameterList, then of ParameterInfo.
  void InformHostOfParameterDetailsChange() override;
  // [main thread] Listeners of PresentPreset.
  void InformHostOfPresetChange() override;
  // [any thread] Gesture begin/end and value-change events for the parameter (AUEventListenerNotify).
  void BeginInformHostOfParamChange(int paramIdx) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;

  // [any thread] Stores the latency; the Latency listeners are told at once on the main thread, or on the next
  // idle tick when called from another thread.
  void SetLatency(int samples) override;
  // [audio thread] MIDI output through the host's callback; false without one or when the callback fails.
  bool SendMidiMsg(const IMidiMsg& msg) override;
  bool SendMidiMsgs(const Util_TypedBuf<IMidiMsg>& msgs) override;
  // SysEx bytes in pieces of at most 256, each stamped with the message's offset.
  bool SendSysEx(const ISysEx& msg) override;

  // ---------------------------------------------------------------------------------------------------------
  // State [main thread] — PluginAU_State.cpp
  // ---------------------------------------------------------------------------------------------------------

  // Builds the ClassInfo dictionary ("version", "type", "subtype", "manufacturer", "name" and, when
  // SerializeState succeeds, "data") and stores it in *plist (the host releases it). kAudio_ParamError for a
  // null pointer; coreFoundationUnknownErr when the dictionary cannot be made.
  [[nodiscard]] virtual OSStatus GetState(CFPropertyListRef* plist);
  // Restores a ClassInfo dictionary. Checked before anything changes: a dictionary, every key present with its
  // type, identity equal to this plug-in's ("type", "subtype" and "manufacturer" as 32-bit codes, signed or
  // unsigned; a number outside [INT32_MIN, UINT32_MAX] is refused), a "data" entry that fits a chunk; otherwise
  // kAudioUnitErr_InvalidPropertyValue. Then the preset of that name (the full name) is recalled and the data
  // is read by UnserializeState. Data that does not read (a result below 1) gives
  // kAudioUnitErr_InvalidPropertyValue and changes nothing: the state, parameters, current preset and the
  // recalled slot are put back as they were. kAudio_MemFullError when that rollback could not be prepared. Data
  // that reads is then stored in the current slot under the name that slot has after the read (as a load does),
  // so that recalling it brings back what was restored; should that store fail, the restore is rolled back as
  // well (kAudio_MemFullError).
  [[nodiscard]] virtual OSStatus SetState(CFPropertyListRef plist);

  // ---------------------------------------------------------------------------------------------------------
  // Entry points — PluginAU_Entry.cpp
  // ---------------------------------------------------------------------------------------------------------

  // Creates a plug-in object on the heap for the Component Manager open; null when that failed.
  using MakePlugFunc = PluginAU* (*)();

  // [thread of the selector] The Component Manager entry. storage is the object (ignored by open).
  [[nodiscard]] static OSStatus ComponentDispatch(ComponentParameters* params, PluginAU* storage,
                                                  MakePlugFunc makePlug);
  // [any thread] The method for a factory-record selector, or null (1-7, 9-11, 14-18 are answered).
  static AudioComponentMethod Lookup(SInt16 selector);

  // ---------------------------------------------------------------------------------------------------------
  // Accessors
  // ---------------------------------------------------------------------------------------------------------

  AudioUnit GetComponentInstance() const { return mCI; }
  void SetComponentInstance(AudioUnit ci) { mCI = ci; }
  const char* GetViewFactoryClassName() const { return mCocoaViewFactoryClassName.Get(); }
  int NInBuses() const { return mInBuses.GetSize(); }
  int NOutBuses() const { return mOutBuses.GetSize(); }
  // Null for an index outside the list.
  const AUBus* GetBus(AudioUnitScope scope, AudioUnitElement element) const;
  const AUInputConnection* GetInputConnection(int busIdx) const { return mInputBusConnections.Get(busIdx); }
  int NPropertyListeners() const { return mPropertyListeners.GetSize(); }
  const AURenderNotifyList& GetRenderNotifyList() const { return mRenderNotify; }
  const AURenderRouteSlot& GetRenderRoute() const { return mRoute; }
  double GetLastRenderSampleTime() const { return mLastRenderSampleTime; }

  // Resets every bus and connection record to "not connected" (the Component Manager close does this before
  // deleting the object).
  void ClearConnections();

  // Waits until every frame the editor has committed is presented; the view factory's object file installs it in
  // bundles with an editor (this library links no drawing code). Called before the editor information is read.
  using EditorFlushFunc = void (*)(igraphics::IGraphics& ui);
  static void SetEditorFlushFunc(EditorFlushFunc func);

  // ---------------------------------------------------------------------------------------------------------
  // Private properties of the plug-in class [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Every negative property ID other than kPrivatePropertyPlugin is passed to these hooks, with the arguments of
  // GetProperty and SetProperty (a set's data is never null here); the set's listeners are told as for any
  // property. Default: kAudioUnitErr_InvalidProperty.
  [[nodiscard]] virtual OSStatus GetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                                    AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                                                    void* data);
  [[nodiscard]] virtual OSStatus SetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                                    AudioUnitElement element, const void* data, UInt32 dataSize);

protected:
  // [audio thread] Fills the processor's time information from the host callbacks. False when one of them
  // disposed of the unit: the rest were not called, and nothing more may be asked of the host.
  [[nodiscard]] bool UpdateTimeInfo();

private:
  // Bus lookup for properties: input scope → input bus, output or global → output bus; null otherwise.
  AUBus* GetBusMutable(AudioUnitScope scope, AudioUnitElement element);
  // Sum of the host channel counts of a direction's buses (those of 0 or more), leaving out bus `except`;
  // -1 when no bus counts.
  int SumHostChannels(const Util_PtrList<AUBus>& buses, int except = -1) const;
  // Marks the processor's input channels as the route says.
  void ApplyInputChannelConnections(const AURenderRoute& route);
  // Sets the processor's block size and sizes the scratch buffers for it; on failure (no memory) the block
  // size becomes 0 so that no render can run past the scratch, and the result is false.
  bool ApplyBlockSize(int frames);
  // Resizes the scratch buffers to channels × block size and zeroes them; false when memory ran out.
  bool ResizeScratchBuffers();
  // The host set of one parameter (index already checked, value finite).
  void HostSetParameter(int paramIdx, double value, int sampleOffset);
  void SendParamEvent(int paramIdx, AudioUnitEventType type) const;
  // Calls the MIDI output callback with the preallocated list; true when the callback returned 0. False without a
  // call once the unit is disposing.
  bool FlushMidiPacketList(const MIDIPacketList* list) const;
  // The host identification of Initialize.
  void IdentifyHostFromMainBundle();
  // SetState's rollback (PluginAU_State.cpp): what a restore may change before its data is found unreadable.
  struct StateSnapshot;
  // False when memory ran out.
  bool TakeStateSnapshot(const char* presetName, StateSnapshot& snapshot) const;
  // Puts the snapshot back; presetRecalled: the recall showed other values to the editor, which is told again.
  void RollBackState(const StateSnapshot& snapshot, bool presetRecalled);

  // Property groups (PluginAU_Properties.cpp, PluginAU_PropertiesParams.cpp).
  OSStatus ApplyProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 dataSize);
  OSStatus GetParameterInfoProperty(AudioUnitElement element, AudioUnitParameterInfo& info);
  OSStatus GetParameterValueStrings(AudioUnitElement element, UInt32* dataSize, void* data);
  OSStatus GetParameterNameProperty(AudioUnitPropertyID propID, void* data);
  OSStatus GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, AudioStreamBasicDescription& asbd);
  OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element, const AudioStreamBasicDescription& asbd);
  OSStatus SetConnection(AudioUnitScope scope, const AudioUnitConnection& conn);
  // Channel layout tags of a bus, each once; returns how many (at most capacity are written).
  int GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* tags,
                           int capacity) const;
  OSStatus GetFactoryPresets(CFArrayRef* array) const;

  bool mInitialized = false;
  double mLastRenderSampleTime = -1.0; // audio thread only
  Util_String mCocoaViewFactoryClassName;
  AudioUnit mCI = nullptr;

  // Host callbacks, field by field: a render reads them while the host may be setting them.
  std::atomic<void*> mHostUserData{nullptr};
  std::atomic<HostCallback_GetBeatAndTempo> mBeatAndTempoProc{nullptr};
  std::atomic<HostCallback_GetMusicalTimeLocation> mMusicalTimeLocationProc{nullptr};
  std::atomic<HostCallback_GetTransportState> mTransportStateProc{nullptr};
  std::atomic<HostCallback_GetTransportState2> mTransportStateProc2{nullptr};

  Util_PtrList<AUBus> mInBuses;
  Util_PtrList<AUBus> mOutBuses;
  Util_PtrList<AUInputConnection> mInputBusConnections;
  Util_PtrList<AUPropertyListener> mPropertyListeners;
  Util_TypedBuf<float> mInScratchBuf;
  Util_TypedBuf<float> mOutScratchBuf;
  AURenderNotifyList mRenderNotify;
  AURenderRouteSlot mRoute;
  uint64_t mAppliedRouteGeneration = 0; // audio thread: the route whose channel marks the processor has
  bool mHoldRoute = false;               // main thread: inside a compound connection change

  std::atomic<AUMIDIOutputCallback> mMidiCallback{nullptr};
  std::atomic<void*> mMidiCallbackUserData{nullptr};
  AudioTimeStamp mLastRenderTimeStamp = {};
  alignas(8) uint8_t mMidiPacketList[kMidiPacketListBytes] = {}; // audio thread only

  std::thread::id mMainThread;
  std::atomic<bool> mLatencyChangePending{false};
};

} // namespace plugin

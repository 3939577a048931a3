#pragma once

// The audio side of the plug-in object: which channel configurations the plug-in accepts, one record per input
// and output channel, attachment of the host's sample buffers before each block, the call into the product's
// block processing with plain arrays of channel pointers, and conversion of the results back to the host.
//
// Samples are 64-bit (`sample`) throughout the processing. Hosts that deliver 32-bit floats are served through
// per-channel scratch buffers of block-size length; unconnected channels use their scratch buffer as well, so
// processing always sees valid memory, and an unconnected input reads zeros.
//
// Threads: the constructor, the configuration queries and SetBlockSize run on the host's set-up thread while no
// block is being processed. The per-block path (attach, process, pass through, connection changes during render)
// runs on the audio thread and never allocates or blocks. The bypass and offline flags, latency, tail size and
// sample rate are atomics: hosts set them from property calls on other threads.

#include "framework/PluginConfig.h"
#include "framework/PluginConstants.h"
#include "framework/PluginMidi.h"
#include "graphics/Util.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace plugin
{

// ---------------------------------------------------------------------------------------------------------------
// Channel configurations
// ---------------------------------------------------------------------------------------------------------------

// One bus of a channel configuration.
struct IBusInfo
{
  ERoute mDirection;
  int mNChans; // kWildcardChannels for a "*" bus

  IBusInfo(ERoute direction, int nChans) : mDirection(direction), mNChans(nChans) {}
  ERoute GetDirection() const { return mDirection; }
  int NChans() const { return mNChans; }
};

// One accepted channel configuration: its input buses and output buses, in the order the string names them.
class IOConfig
{
public:
  IOConfig() = default;
  ~IOConfig();
  IOConfig(const IOConfig&) = delete;
  IOConfig& operator=(const IOConfig&) = delete;

  // Appends a bus; false when the list could not grow (nothing added).
  bool AddBusInfo(ERoute direction, int nChans);

  int NBuses(ERoute direction) const { return Buses(direction).GetSize(); }
  // Null when busIdx is not a bus of that direction.
  const IBusInfo* GetBusInfo(ERoute direction, int busIdx) const { return Buses(direction).Get(busIdx); }
  // Channel count of the bus, 0 when there is no such bus (kWildcardChannels for a wildcard).
  int NChansOnBusSAFE(ERoute direction, int busIdx) const;
  // Sum of the bus counts, wildcards counting kWildcardChannels each.
  int GetTotalNChannels(ERoute direction) const;
  bool ContainsWildcard(ERoute direction) const;
  // Whether a side of this configuration takes nChans channels in total: a negative nChans matches any side; a
  // side with a wildcard takes any count at least the sum of its fixed buses; otherwise the totals must be equal.
  bool AcceptsNChannels(ERoute direction, int nChans) const;

private:
  const Util_PtrList<IBusInfo>& Buses(ERoute d) const { return mBusInfo[d == kOutput ? 1 : 0]; }
  Util_PtrList<IBusInfo>& Buses(ERoute d) { return mBusInfo[d == kOutput ? 1 : 0]; }

  Util_PtrList<IBusInfo> mBusInfo[2];
};

// Musical time of the current block, filled by the adapter before each block. A position of −1 means the host
// did not say.
struct ITimeInfo
{
  double mTempo = 120.0;          // beats per minute
  double mSamplePos = -1.0;       // samples since the start of the timeline
  double mPPQPos = -1.0;          // quarter notes since the start
  double mLastBar = -1.0;         // quarter-note position of the last bar start
  double mCycleStart = -1.0;      // quarter notes
  double mCycleEnd = -1.0;        // quarter notes
  int32_t mNumerator = 4;
  int32_t mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

// State of one input or output channel.
struct IChannelData
{
  bool mConnected = false;
  sample** mData = nullptr;       // this channel's entry in the processor's input or output slots
  float* mIncoming = nullptr;     // 32-bit outputs: the host buffer results are converted back to
  Util_TypedBuf<sample> mScratch; // block-size buffer for 32-bit conversion and unconnected channels
  Util_String mLabel;
};

// ---------------------------------------------------------------------------------------------------------------
// PluginProcessor
// ---------------------------------------------------------------------------------------------------------------

class PluginProcessor
{
public:
  // [set-up thread] Copies type, MIDI flags and latency from config (api is not used here), parses
  // config.channelIOStr and creates one unconnected channel per slot: as many input slots as the largest input
  // total of any configuration, output slots likewise. The block size starts at 0: call SetBlockSize before
  // processing any frames.
  PluginProcessor(const Config& config, EAPI api);
  virtual ~PluginProcessor();
  PluginProcessor(const PluginProcessor&) = delete;
  PluginProcessor& operator=(const PluginProcessor&) = delete;

  // --- Hooks the product and the adapter override ------------------------------------------------------------

  // [audio thread] The block processing. inputs holds NChannels(kInput) pointers (null when there are none),
  // outputs NChannels(kOutput); each points at nFrames valid samples. The default copies input i to output i
  // where both exist and zeroes the remaining outputs.
  virtual void ProcessBlock(sample** inputs, sample** outputs, int nFrames);
  // [audio thread] Default: passes the message on with SendMidiMsg.
  virtual void ProcessMidiMsg(const IMidiMsg& msg);
  // [audio thread] Default: nothing.
  virtual void ProcessSysEx(const ISysEx& msg);
  // [audio thread] The host reset the plug-in, or the offline state changed. Default: nothing.
  virtual void OnReset() {}
  // [any thread] Called with false when bypassed or uninitialised, true when active again. Default: nothing.
  virtual void OnActivate(bool active);
  // [audio thread] Sends a MIDI message to the host; the adapter implements it.
  virtual bool SendMidiMsg(const IMidiMsg& msg) = 0;
  // [audio thread] SendMidiMsg for each message in order; true only when every send succeeded (true when empty).
  virtual bool SendMidiMsgs(const Util_TypedBuf<IMidiMsg>& msgs);
  // [audio thread] Default: false (not sent).
  virtual bool SendSysEx(const ISysEx& msg);
  virtual double VirtualReturningOne() { return 1.0; }
  // [any thread] Name of bus busIdx (from 0) of nBuses in that direction, at most MAX_BUS_NAME_LEN characters:
  // inputs "Input" (one bus), "Main"/"Aux" (two), else "Input %i"; outputs "Output" (one), else "Output %i".
  virtual void GetBusName(ERoute direction, int busIdx, int nBuses, Util_String& name) const;
  // [any thread] Stores the latency (samples), which pass-through then delays by; the adapter's override also
  // tells the host. Never allocates: the delay line is sized beforehand by SetLatencyCapacity.
  virtual void SetLatency(int samples);

  // --- Channel configurations -----------------------------------------------------------------------------------

  // [any thread] Parses a channel-I/O string ("1-1 2-2", "2.2-2", "*-*", ...) into configs, appending one
  // IOConfig per blank-separated token, and raises the four maxima (first set to 0) to each configuration's
  // input and output totals and bus counts. A token is split at its first "-" into input and output side, a side
  // at "." into buses; a bus is "*" (a wildcard), or a decimal number (0 when it does not start with a digit);
  // buses of 0 channels are not stored. Tokens without "-" and tokens with a side of more than kMaxIOChannels
  // channels (a wildcard counting 64) are skipped. Returns the number of configurations appended.
  static int ParseChannelIOStr(const char* text, Util_PtrList<IOConfig>& configs, int& maxNInputs, int& maxNOutputs,
                               int& maxNInBuses, int& maxNOutBuses);
  static constexpr int kMaxIOChannels = 1024;

  // [any thread] True when some configuration takes nIn inputs and nOut outputs in total. A negative count
  // matches anything; a wildcard side takes any count at least the sum of its fixed buses.
  bool LegalIO(int nIn, int nOut) const;
  // [any thread] Largest bus count of that direction over all configurations; configIdx (optional) receives the
  // index of the last configuration with that many (0 when there are none).
  int MaxNBuses(ERoute direction, int* configIdx = nullptr) const;
  // [any thread] −1 when the first configuration has a wildcard bus in that direction; 0 without configurations
  // or for a negative busIdx; otherwise the largest count of bus busIdx over all configurations (a configuration
  // without that bus counts 0).
  int MaxNChannelsForBus(ERoute direction, int busIdx) const;
  // [any thread] Index of the first configuration whose buses have exactly these channel counts, bus by bus in
  // each direction, or −1.
  int GetIOConfigWithChanCounts(std::span<const int> inputBusChans, std::span<const int> outputBusChans) const;
  int NIOConfigs() const { return mIOConfigs.GetSize(); }
  // Null for an index outside the list.
  const IOConfig* GetIOConfig(int idx) const { return mIOConfigs.Get(idx); }

  // --- Channels and connections ---------------------------------------------------------------------------------

  // Number of channel slots of that direction.
  int NChannels(ERoute direction) const { return Channels(direction).GetSize(); }
  // [audio thread] Number of connected channels of that direction.
  int NChannelsConnected(ERoute direction) const;
  bool IsChannelConnected(ERoute direction, int idx) const;
  // [audio thread] Marks channels idx .. idx + n − 1 (those that exist). A channel made unconnected reads and
  // writes its own scratch buffer, which is zeroed.
  void SetChannelConnections(ERoute direction, int idx, int n, bool connected);
  // [audio thread] Inputs from the third on become unconnected, outputs from the third on connected.
  void LimitToStereoIO();
  // [set-up thread] Label of channel idx: format applied to idx (zeroBased) or idx + 1, at most
  // MAX_CHAN_NAME_LEN characters. Ignored for a channel that does not exist.
  void SetChannelLabel(ERoute direction, int idx, const char* format, bool zeroBased = false);
  // "" for a channel that does not exist.
  const char* GetChannelLabel(ERoute direction, int idx) const;

  // --- Per-block buffer handling [audio thread] ---------------------------------------------------------------

  // 64-bit: every connected channel among idx .. idx + n − 1 takes the next pointer of data (which holds
  // pointers for connected channels only). A null pointer gives the channel its scratch buffer instead (zeroed
  // for an input). Returns the index after the last channel handled.
  int AttachBuffers(ERoute direction, int idx, int n, sample** data, int nFrames);
  // 32-bit: connected inputs convert nFrames samples of their pointer into their scratch buffer (at most
  // GetBlockSize() samples; a null pointer reads as silence); connected outputs process into their scratch
  // buffer and remember their pointer as the place results are converted back to. Returns as above.
  int AttachBuffers(ERoute direction, int idx, int n, float** data, int nFrames);

  // Calls ProcessBlock with the slots and nFrames. The float form then converts every connected output back
  // into its host buffer. Returns false, without calling ProcessBlock, when nFrames is negative or above
  // GetBlockSize(); the connected outputs are then silenced for nFrames samples instead.
  [[nodiscard]] bool ProcessBuffers(sample, int nFrames);
  [[nodiscard]] bool ProcessBuffers(float, int nFrames);
  // Like ProcessBuffers(float), but the results are added to the host buffers. A refused block adds nothing.
  [[nodiscard]] bool ProcessBuffersAccumulating(int nFrames);
  // Copies input slot i to output slot i where both exist, delayed by the latency (at most the delay line's
  // capacity), and zeroes the other outputs, nFrames samples each; the float form then converts the connected
  // outputs back. Refused blocks as for ProcessBuffers. The processing calls above feed the same delay line, so a
  // host that compensates the latency stays aligned when bypass toggles.
  [[nodiscard]] bool PassThroughBuffers(sample, int nFrames);
  [[nodiscard]] bool PassThroughBuffers(float, int nFrames);
  // Fills every channel's scratch buffer with zeros.
  void ZeroScratchBuffers();

  // --- Block size, latency, rate, flags ---------------------------------------------------------------------------

  // [set-up thread, not processing] Sizes the latency delay line for latencies up to maxSamples (one line per
  // input channel) and zeroes it. The constructor sizes it for the configuration's latency; a plug-in whose
  // latency may grow declares its largest here. False, with the old line kept, for a negative size or when memory
  // ran out.
  bool SetLatencyCapacity(int maxSamples);
  int GetLatencyCapacity() const { return mLatencyCapacity; }

  // [set-up thread, not processing] Resizes every scratch buffer to n samples and zeroes it; nothing when n is
  // the current size. False, with the block size unchanged, when n is negative or above kMaxBlockSize; false with
  // a block size of 0 when memory ran out.
  bool SetBlockSize(int n);
  int GetBlockSize() const { return mBlockSize; }

  int GetLatency() const { return mLatency.load(std::memory_order_relaxed); }
  int GetTailSize() const { return mTailSize.load(std::memory_order_relaxed); }
  void SetTailSize(int samples) { mTailSize.store(samples, std::memory_order_relaxed); }
  double GetSampleRate() const { return mSampleRate.load(std::memory_order_relaxed); }
  void SetSampleRate(double hz) { mSampleRate.store(hz, std::memory_order_relaxed); }
  bool GetBypassed() const { return mBypassed.load(std::memory_order_relaxed); }
  void SetBypassed(bool b) { mBypassed.store(b, std::memory_order_relaxed); }
  bool GetRenderingOffline() const { return mRenderingOffline.load(std::memory_order_relaxed); }
  void SetRenderingOffline(bool b) { mRenderingOffline.store(b, std::memory_order_relaxed); }

  int GetPluginType() const { return mPlugType; }
  bool DoesMIDIIn() const { return mDoesMIDIIn; }
  bool DoesMIDIOut() const { return mDoesMIDIOut; }
  bool DoesMPE() const { return mDoesMPE; }
  // 'aumi' for a MIDI effect, 'aumu' for an instrument, 'aumf' for an effect with MIDI input, else 'aufx'.
  uint32_t GetAUPluginType() const;

  // [audio thread] Musical time of the current block; the adapter sets it before processing.
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  void SetTimeInfo(const ITimeInfo& info) { mTimeInfo = info; }
  // Sample rate × 60 / tempo; 0 when the tempo is not above 0.
  double GetSamplesPerBeat() const;

private:
  const Util_PtrList<IChannelData>& Channels(ERoute d) const { return mChannelData[d == kOutput ? 1 : 0]; }
  Util_PtrList<IChannelData>& Channels(ERoute d) { return mChannelData[d == kOutput ? 1 : 0]; }
  sample** Slots(ERoute d) { return mSlots[d == kOutput ? 1 : 0].get(); }

  // Converts the connected outputs' first nFrames samples back into their host buffers, replacing or adding.
  void ConvertOutputs(int nFrames, bool accumulate);
  // The block cannot be processed: silence connected 64-bit output slots or 32-bit host buffers.
  void SilenceRefusedBlock(int nFrames, bool floatForm);
  bool FramesFit(int nFrames) const { return nFrames >= 0 && nFrames <= mBlockSize; }
  void CopyThrough(int nFrames);
  // [audio thread] Writes nFrames samples of every input slot into the latency delay line; with outputs, also
  // reads the delayed samples into the matching output slots (sample by sample, so slots may alias).
  void RunLatencyLine(int nFrames, bool toOutputs);

  int mPlugType;
  bool mDoesMIDIIn;
  bool mDoesMIDIOut;
  bool mDoesMPE;
  std::atomic<int> mLatency;
  std::atomic<double> mSampleRate{44100.0};
  int mBlockSize = 0;
  std::atomic<int> mTailSize{0};
  std::atomic<bool> mBypassed{false};
  std::atomic<bool> mRenderingOffline{false};
  Util_PtrList<IOConfig> mIOConfigs;
  std::unique_ptr<sample*[]> mSlots[2];
  // Latency delay line: NChannels(kInput) rings of mLatencyCapacity samples; touched only by the audio thread
  // once sized.
  std::unique_ptr<sample[]> mLatencyLine;
  int mLatencyCapacity = 0;
  int mLatencyWrite = 0;
  Util_PtrList<IChannelData> mChannelData[2];
  ITimeInfo mTimeInfo;
};

} // namespace plugin

#pragma once

// A Sender/Receiver pair of one bundle inside this process, with in-process effects between them, as
// `auhost chain` runs it: the first instance opened is the Sender and the second the Receiver (the product pairs
// new instances automatically: Sender, then Receiver, both on Link ID 1). For each block the Receiver pulls its
// input, which renders the Sender on the same samples and passes its output through the effects; so the Sender
// always processes a block before the Receiver does. Editor commands reach the Receiver, and its read-outs come
// back, through the private properties of engine/ZaniqPrivateProperties.h.

#include "engine/ZaniqPrivateProperties.h"
#include "tools/auhost/AudioData.h"
#include "tools/auhost/Effects.h"
#include "tools/auhost/Status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace auhost
{

// Levels reported for silence (and the floor of every level), in dB.
inline constexpr double kSilenceDB = -144.0;

// "NAME=VALUE": a parameter's host name, exactly, and a number or one of its display texts.
struct ParamSetting
{
  std::string name;
  std::string value;
};

// An editor command sent to the Receiver before the sample at `frame` is processed.
struct TimedCommand
{
  uint64_t frame = 0;
  double seconds = 0.0; // the time as given on the command line
  int32_t code = 0;
  double value = 1.0;
  std::string text; // as written on the command line, for messages
};

class Instance;
class JsonWriter;

// What a caller adds to a chain run (`auhost editor` opens an editor and plays events): called on the main
// thread between blocks. A failure ends the run with its message.
class ChainHooks
{
public:
  virtual ~ChainHooks() = default;
  // Both instances are prepared and set, the run loop is on the virtual clock; no block rendered yet.
  virtual Status Ready(Instance& sender, Instance& receiver) = 0;
  // Frames [0, pos) are rendered and the commands due at pos are sent; called at 0, after every block and once
  // more at the end (pos = the frame count).
  virtual Status AtBoundary(uint64_t pos) = 0;
  // The render is over (called while the instances are still open, also after a failure).
  virtual void Finished() {}
};

struct ChainSetup
{
  std::string bundle;
  uint32_t block = 512; // frames per render, at most
  std::vector<FxSpec> fx;
  std::vector<ParamSetting> sender;
  std::vector<ParamSetting> receiver;
  std::vector<TimedCommand> commands; // applied in frame order; equal frames in the order given
  // The Receiver's state before the settings are applied, restored as its ClassInfo "data" (with no preset name,
  // so no preset is recalled first): loadState, a file holding that data as --save-state writes it, then preset,
  // a ".tps" preset file framed as the product's state chunk. "" for none. Afterwards the Receiver must still be
  // the Receiver on Link ID 1 (checked after the settings, which may put it back).
  std::string loadState;
  std::string preset;
  // After the run the Receiver's ClassInfo "data" goes to this file; "" for none.
  std::string saveState;
  // The pairing must be Sender on Link ID 1, then Receiver on Link ID 1 (read from "Plugin Mode" and "Link ID").
  // Off only for bundles that do not pair (the harness tests): roles are then given by the order of opening.
  bool checkRoles = true;
  // With checkRoles: a unit that has neither "Plugin Mode" nor "Link ID" runs unpaired instead of failing.
  bool rolesOptional = false;
  // Settings applied before `sender` and `receiver`, on both instances, only to parameters the unit has.
  std::vector<ParamSetting> defaults;
  ChainHooks* hooks = nullptr; // not owned; null for none
};

// RMS (per channel averaged in power) and peak over a whole signal, in dB, floored at kSilenceDB.
struct Levels
{
  double rmsDB = kSilenceDB;
  double peakDB = kSilenceDB;
};
Levels MeasureLevels(const AudioData& data);
// The same over frames [first, first + count) of the data (clipped to it).
Levels MeasureLevels(const AudioData& data, uint64_t first, uint64_t count);

struct InstanceReport
{
  std::string role; // "Sender" or "Receiver"
  int linkID = 0;   // 0 when the unit has no "Link ID"
  std::vector<std::pair<std::string, double>> params; // every parameter in list order, current value
  bool hasReadouts = false;                           // the Receiver, when the unit reports them
  double readouts[kZaniqNumReadouts] = {};
};

struct ChainReport
{
  std::vector<InstanceReport> instances; // Sender, Receiver
  Levels input;
  Levels output;
};

// The JSON keys of the read-outs, in EZaniqReadout order.
extern const char* const kReadoutKeys[kZaniqNumReadouts];

// Called after each rendered block with the frames done and the total.
using ChainProgress = std::function<void(uint64_t done, uint64_t total)>;

// [main thread] Loads the bundle, opens the Sender and then the Receiver, checks their roles, prepares both for
// the input's rate and channel count, resets them, applies the settings in order (sender first), renders the
// whole input and reports. A setting, command or render that fails ends the run with one line naming it; output
// then holds nothing useful. A Receiver without read-outs (kAudioUnitErr_InvalidProperty) is not an error: its
// report has none. A command the Receiver refuses is.
Status RunChain(const ChainSetup& setup, const AudioData& input, AudioData& output, ChainReport& report,
                const ChainProgress& progress = {});

// One line of JSON (no newline): {"instances":[{"role","link_id","params","readouts"}...],"input":{"rms_db",
// "peak_db"},"output":{...}}. readouts is {} for an instance without them.
// `more` may write further keys of the outer object after "output".
std::string ChainReportJson(const ChainReport& report, const std::function<void(JsonWriter&)>& more = {});

} // namespace auhost

#pragma once

// Codes and limits shared by the framework bases, the host adapter and the product. Plain values only: this header
// depends on nothing, so any layer may include it.

#include <cstdint>

namespace plugin
{

// One audio sample inside the processing. Hosts that deliver 32-bit floats are served by conversion.
using sample = double;

// Which plug-in API built the object; passed to the API base and the processor base.
enum EAPI : int32_t
{
  kAPIVST2 = 0,
  kAPIVST3 = 1,
  kAPIAU = 2,
  kAPIAUv3 = 3,
  kAPIAAX = 4,
  kAPIAPP = 5,
  kAPIWAM = 6,
  kAPIWEB = 7,
};

// Host identities (PluginBase::GetHost, from the host's name by PluginAPIBase::LookUpHost); the codes the
// plug-ins act on by name. The others are numbers in the lookup table only.
enum EHost : int
{
  kHostUninitialized = -1, // no host has identified itself yet
  kHostUnknown = 0,        // a name the lookup does not know
  kHostProTools = 2,
  kHostCakewalk = 5,
  kHostFLStudio = 7,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostStudioOne = 26,
  kHostBitwig = 34,
  kHostWaveform = 38,
  kHostSadie = 46,
};

// Where a parameter change came from; travels with every change.
enum EParamSource : int32_t
{
  kReset = 0,        // the adapter's initialisation resets every parameter
  kHost = 1,         // the host set the parameter (automation)
  kPresetRecall = 2, // read back from a state chunk or preset
  kUI = 3,           // the editor changed it
  kDelegate = 4,     // a value pushed to the editor
  kNumParamSources
};

// Direction of a bus or channel.
enum ERoute : int32_t
{
  kInput = 0,
  kOutput = 1,
};

// Kind of plug-in; decides the component type reported to the host.
enum EPluginType : int32_t
{
  kEffect = 0,
  kInstrument = 1,
  kMIDIEffect = 2,
};

// Text limits, in characters without the terminating zero.
inline constexpr int MAX_PLUGIN_NAME_LEN = 128; // plug-in, product and maker names
inline constexpr int MAX_BUS_NAME_LEN = 32;     // bus names
inline constexpr int MAX_CHAN_NAME_LEN = 32;    // channel labels

// A bus written as "*" in the channel-I/O string holds this many channels: any count the host offers.
inline constexpr int kWildcardChannels = -64;

// Largest block (frames) the processor prepares scratch memory for. Hosts use a few thousand at most; the bound
// keeps the byte size of every scratch buffer well inside 32-bit arithmetic.
inline constexpr int kMaxBlockSize = 1 << 20;

// Four-character code as the platform packs it: the first character in the highest byte.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d)
{
  return (static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(d));
}

// Version packed as major × 65536 + minor × 256 + patch (minor and patch are one byte each).
constexpr int32_t PackVersion(int major, int minor, int patch)
{
  return static_cast<int32_t>((static_cast<uint32_t>(major) << 16) | ((static_cast<uint32_t>(minor) & 0xff) << 8) |
                              (static_cast<uint32_t>(patch) & 0xff));
}

} // namespace plugin

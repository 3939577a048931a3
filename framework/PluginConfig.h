#pragma once

// The configuration record with which the plug-in bases are built. The product fills one in its constructor; the
// API base takes it by value and copies the names (at most MAX_PLUGIN_NAME_LEN characters each) and the bundle
// identifier, the processor base reads the channel-I/O string, type, MIDI flags and latency.
//
// The text members point at texts owned by the caller (normally string literals); the bases copy what they keep
// during construction, so the texts need only outlive the constructors. A null text reads as "".

#include "framework/PluginConstants.h"

#include <cstdint>

namespace plugin
{

struct Config
{
  int32_t nParams = 0;            // parameters the plug-in base creates
  int32_t nPresets = 0;           // preset slots the plug-in base creates
  const char* channelIOStr = "";  // accepted channel configurations, e.g. "1-1 2-2"
  const char* pluginName = "";
  const char* productName = "";
  const char* mfrName = "";
  int32_t vendorVersion = 0;      // PackVersion(major, minor, patch)
  int32_t uniqueID = 0;           // four-character code
  int32_t mfrID = 0;              // four-character code
  int32_t latency = 0;            // samples
  bool plugDoesMidiIn = false;
  bool plugDoesMidiOut = false;
  bool plugDoesMPE = false;
  bool plugDoesChunks = false;    // state is an opaque chunk rather than a list of values
  int32_t plugType = kEffect;     // EPluginType
  bool plugHasUI = false;
  int32_t plugWidth = 0;          // editor base size, graphics units
  int32_t plugHeight = 0;
  int32_t plugMinWidth = 0;       // resize limits; the API base orders each pair
  int32_t plugMaxWidth = 0;
  int32_t plugMinHeight = 0;
  int32_t plugMaxHeight = 0;
  bool plugHostResize = false;    // the host may resize the editor
  const char* bundleID = "";      // reverse-domain bundle identifier
};

// This product's identity and shape: 46 parameters, 1 preset, "1-1 2-2", "ZANIQ" by "Quenlar", version 2.2.11,
// 'QN55' by 'QNVX', no latency, no MIDI, state chunks, an effect with an editor of 424 × 610 resizable from half
// to double that size (the host itself may not resize it).
inline constexpr const char* kZaniqBundleID = "com.quenlar.audiounit.ZANIQ";

constexpr Config MakeZaniqConfig()
{
  Config c;
  c.nParams = 46;
  c.nPresets = 1;
  c.channelIOStr = "1-1 2-2";
  c.pluginName = "ZANIQ";
  c.productName = "ZANIQ";
  c.mfrName = "Quenlar";
  c.vendorVersion = PackVersion(2, 2, 11);
  c.uniqueID = static_cast<int32_t>(MakeFourCC('Q', 'N', '5', '5'));
  c.mfrID = static_cast<int32_t>(MakeFourCC('Q', 'N', 'V', 'X'));
  c.latency = 0;
  c.plugDoesMidiIn = false;
  c.plugDoesMidiOut = false;
  c.plugDoesMPE = false;
  c.plugDoesChunks = true;
  c.plugType = kEffect;
  c.plugHasUI = true;
  c.plugWidth = 424;
  c.plugHeight = 610;
  c.plugMinWidth = 212;
  c.plugMaxWidth = 848;
  c.plugMinHeight = 305;
  c.plugMaxHeight = 1220;
  c.plugHostResize = false;
  c.bundleID = kZaniqBundleID;
  return c;
}

} // namespace plugin

#pragma once

// The text report of `auhost info`: component description, buses, channel configurations, latency and tail,
// parameters with ranges, defaults and value texts, and factory presets.

#include "tools/auhost/Bundle.h"
#include "tools/auhost/Instance.h"

#include <string>

namespace auhost
{

// "1-1 2-2" for SupportedNumChannels entries; -1 is written "*".
std::string FormatChannelConfigs(const std::vector<AUChannelInfo>& configs);
// A short word for a parameter unit ("dB", "indexed", "boolean", "Hz", ... or the custom unit's name).
std::string UnitWord(const ParameterDesc& param);
// "1.0.0" for 0x00010000.
std::string FormatVersion(UInt32 packed);

// [main thread] Appends the report for an open instance of entry to text. Properties the unit does not answer
// are left out; a parameter list it cannot give is an error.
Status DescribeInstance(const ComponentEntry& entry, const Instance& instance, std::string& text);

} // namespace auhost

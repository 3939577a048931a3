// The info report.

#include "tools/auhost/Info.h"

#include "tools/auhost/Text.h"

#include <cstdio>

namespace auhost
{

namespace
{

std::string Quoted(const std::string& s)
{
  return "\"" + s + "\"";
}

} // namespace

std::string FormatChannelConfigs(const std::vector<AUChannelInfo>& configs)
{
  std::string out;
  for (const AUChannelInfo& c : configs)
  {
    if (!out.empty()) out += ' ';
    out += (c.inChannels < 0 ? std::string("*") : std::to_string(c.inChannels)) + "-" +
           (c.outChannels < 0 ? std::string("*") : std::to_string(c.outChannels));
  }
  return out;
}

std::string UnitWord(const ParameterDesc& p)
{
  switch (p.unit)
  {
  case kAudioUnitParameterUnit_Generic: return "generic";
  case kAudioUnitParameterUnit_Indexed: return "indexed";
  case kAudioUnitParameterUnit_Boolean: return "boolean";
  case kAudioUnitParameterUnit_Percent: return "%";
  case kAudioUnitParameterUnit_Seconds: return "s";
  case kAudioUnitParameterUnit_SampleFrames: return "samples";
  case kAudioUnitParameterUnit_Phase: return "phase";
  case kAudioUnitParameterUnit_Rate: return "rate";
  case kAudioUnitParameterUnit_Hertz: return "Hz";
  case kAudioUnitParameterUnit_Cents: return "cents";
  case kAudioUnitParameterUnit_RelativeSemiTones: return "semitones";
  case kAudioUnitParameterUnit_MIDINoteNumber: return "MIDI note";
  case kAudioUnitParameterUnit_MIDIController: return "MIDI controller";
  case kAudioUnitParameterUnit_Decibels: return "dB";
  case kAudioUnitParameterUnit_LinearGain: return "linear gain";
  case kAudioUnitParameterUnit_Degrees: return "degrees";
  case kAudioUnitParameterUnit_EqualPowerCrossfade: return "crossfade";
  case kAudioUnitParameterUnit_MixerFaderCurve1: return "fader";
  case kAudioUnitParameterUnit_Pan: return "pan";
  case kAudioUnitParameterUnit_Meters: return "m";
  case kAudioUnitParameterUnit_AbsoluteCents: return "absolute cents";
  case kAudioUnitParameterUnit_Octaves: return "octaves";
  case kAudioUnitParameterUnit_BPM: return "BPM";
  case kAudioUnitParameterUnit_Beats: return "beats";
  case kAudioUnitParameterUnit_Milliseconds: return "ms";
  case kAudioUnitParameterUnit_Ratio: return "ratio";
  case kAudioUnitParameterUnit_CustomUnit: return p.unitName.empty() ? std::string("custom") : p.unitName;
  default: return "unit " + std::to_string(p.unit);
  }
}

std::string FormatVersion(UInt32 packed)
{
  return std::to_string(packed >> 16) + "." + std::to_string((packed >> 8) & 0xFF) + "." +
         std::to_string(packed & 0xFF);
}

Status DescribeInstance(const ComponentEntry& entry, const Instance& instance, std::string& text)
{
  char hex[16];
  std::snprintf(hex, sizeof(hex), "0x%08X", entry.version);
  text += "component: " + DescribeComponent(entry.desc) + " " + Quoted(entry.name) + " version " +
          FormatVersion(entry.version) + " (" + hex + ")\n";
  text += "factory: " + entry.factoryFunction + "\n";
  text += "buses: " + std::to_string(instance.BusCount(kAudioUnitScope_Input)) + " input, " +
          std::to_string(instance.BusCount(kAudioUnitScope_Output)) + " output\n";
  const std::vector<AUChannelInfo> configs = instance.ChannelConfigs();
  if (!configs.empty()) text += "channels: " + FormatChannelConfigs(configs) + "\n";
  Float64 latency = 0.0, tail = 0.0;
  if (instance.GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency))
    text += "latency: " + FormatNumber(latency) + " s\n";
  if (instance.GetProperty(kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, tail))
    text += "tail: " + FormatNumber(tail) + " s\n";

  std::vector<ParameterDesc> params;
  Status s = instance.ListParameters(params);
  if (!s) return s;
  text += "parameters: " + std::to_string(params.size()) + "\n";
  for (const ParameterDesc& p : params)
  {
    text += "  #" + std::to_string(p.id) + " " + Quoted(p.name);
    if (!p.clumpName.empty()) text += " [" + p.clumpName + "]";
    text += ' ' + UnitWord(p) + ": min " + FormatNumber(p.minValue) + ", max " + FormatNumber(p.maxValue) +
            ", default " + FormatNumber(p.defaultValue);
    std::string lo, hi, def;
    if (instance.ParameterValueToText(p.id, p.minValue, lo) && instance.ParameterValueToText(p.id, p.maxValue, hi) &&
        instance.ParameterValueToText(p.id, p.defaultValue, def))
      text += " (" + Quoted(lo) + " .. " + Quoted(hi) + ", default " + Quoted(def) + ")";
    if (!p.valueStrings.empty())
    {
      text += "; values:";
      for (size_t i = 0; i < p.valueStrings.size(); ++i)
        text += (i ? ", " : " ") + FormatNumber(p.minValue + static_cast<double>(i)) + " " + Quoted(p.valueStrings[i]);
    }
    text += "\n";
  }

  std::vector<PresetDesc> presets;
  if (instance.FactoryPresets(presets) && !presets.empty())
  {
    text += "factory presets:";
    for (size_t i = 0; i < presets.size(); ++i)
      text += (i ? ", " : " ") + std::to_string(presets[i].number) + " " + Quoted(presets[i].name);
    text += "\n";
  }
  return Status::Ok();
}

} // namespace auhost

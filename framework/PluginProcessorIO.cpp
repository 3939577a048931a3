// Channel configurations: the channel-I/O string, legality and bus queries, bus names.

#include "framework/PluginProcessor.h"

#include <cstdint>
#include <new>

namespace plugin
{

// ---------------------------------------------------------------------------------------------------------------
// IOConfig
// ---------------------------------------------------------------------------------------------------------------

IOConfig::~IOConfig()
{
  mBusInfo[0].Empty(true);
  mBusInfo[1].Empty(true);
}

bool IOConfig::AddBusInfo(ERoute direction, int nChans)
{
  auto* bus = new (std::nothrow) IBusInfo(direction, nChans);
  if (!bus) return false;
  if (!Buses(direction).Add(bus))
  {
    delete bus;
    return false;
  }
  return true;
}

int IOConfig::NChansOnBusSAFE(ERoute direction, int busIdx) const
{
  const IBusInfo* bus = GetBusInfo(direction, busIdx);
  return bus ? bus->NChans() : 0;
}

int IOConfig::GetTotalNChannels(ERoute direction) const
{
  int total = 0;
  for (int i = 0; i < NBuses(direction); ++i) total += GetBusInfo(direction, i)->NChans();
  return total;
}

bool IOConfig::ContainsWildcard(ERoute direction) const
{
  for (int i = 0; i < NBuses(direction); ++i)
    if (GetBusInfo(direction, i)->NChans() < 0) return true;
  return false;
}

bool IOConfig::AcceptsNChannels(ERoute direction, int nChans) const
{
  if (nChans < 0) return true;
  if (!ContainsWildcard(direction)) return GetTotalNChannels(direction) == nChans;

  // A wildcard stands for any number of channels, so only the fixed buses set a floor.
  int fixed = 0;
  for (int i = 0; i < NBuses(direction); ++i)
  {
    const int n = GetBusInfo(direction, i)->NChans();
    if (n > 0) fixed += n;
  }
  return nChans >= fixed;
}

// ---------------------------------------------------------------------------------------------------------------
// Channel-I/O string
// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Channel count of one bus text [p, end): "*" is a wildcard, otherwise the leading decimal digits (0 when there
// are none). Saturates just above limit so that absurd numbers fail the side's check instead of overflowing.
int64_t BusCount(const char* p, const char* end, int64_t limit)
{
  if (end - p == 1 && *p == '*') return kWildcardChannels;
  int64_t n = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p)
  {
    n = n * 10 + (*p - '0');
    if (n > limit) return limit + 1;
  }
  return n;
}

struct SideInfo
{
  int total = 0; // wildcards counted as kWildcardChannels
  int nBuses = 0;
};

// Parses one side [p, end) into config; false when the side is too large or memory ran out.
bool ParseSide(const char* p, const char* end, ERoute direction, IOConfig& config, SideInfo& info)
{
  int64_t weight = 0; // channels, wildcards counting their magnitude
  int64_t total = 0;
  while (true)
  {
    const char* busEnd = p;
    while (busEnd < end && *busEnd != '.') ++busEnd;

    const int64_t n = BusCount(p, busEnd, PluginProcessor::kMaxIOChannels);
    weight += n < 0 ? -n : n;
    if (weight > PluginProcessor::kMaxIOChannels) return false;
    total += n;
    if (n != 0)
    {
      if (!config.AddBusInfo(direction, static_cast<int>(n))) return false;
      ++info.nBuses;
    }

    if (busEnd >= end) break;
    p = busEnd + 1;
  }
  info.total = static_cast<int>(total);
  return true;
}

void RaiseTo(int& max, int value)
{
  if (value > max) max = value;
}

} // namespace

int PluginProcessor::ParseChannelIOStr(const char* text, Util_PtrList<IOConfig>& configs, int& maxNInputs,
                                        int& maxNOutputs, int& maxNInBuses, int& maxNOutBuses)
{
  maxNInputs = maxNOutputs = maxNInBuses = maxNOutBuses = 0;
  if (!text) return 0;

  int added = 0;
  const char* p = text;
  while (*p)
  {
    while (*p && IsBlank(*p)) ++p;
    if (!*p) break;
    const char* tokenEnd = p;
    while (*tokenEnd && !IsBlank(*tokenEnd)) ++tokenEnd;

    const char* dash = p;
    while (dash < tokenEnd && *dash != '-') ++dash;

    // Both sides are required; a token without "-" says nothing usable.
    if (dash < tokenEnd)
    {
      auto* config = new (std::nothrow) IOConfig;
      SideInfo in, out;
      const bool ok = config && ParseSide(p, dash, kInput, *config, in) &&
                      ParseSide(dash + 1, tokenEnd, kOutput, *config, out) && configs.Add(config);
      if (ok)
      {
        RaiseTo(maxNInputs, in.total);
        RaiseTo(maxNOutputs, out.total);
        RaiseTo(maxNInBuses, in.nBuses);
        RaiseTo(maxNOutBuses, out.nBuses);
        ++added;
      }
      else
      {
        delete config;
      }
    }
    p = tokenEnd;
  }
  return added;
}

// ---------------------------------------------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------------------------------------------

bool PluginProcessor::LegalIO(int nIn, int nOut) const
{
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const IOConfig* config = mIOConfigs.Get(i);
    if (config->AcceptsNChannels(kInput, nIn) && config->AcceptsNChannels(kOutput, nOut)) return true;
  }
  return false;
}

int PluginProcessor::MaxNBuses(ERoute direction, int* configIdx) const
{
  int maxN = 0;
  int lastIdx = 0;
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const int n = mIOConfigs.Get(i)->NBuses(direction);
    if (n >= maxN)
    {
      maxN = n;
      lastIdx = i;
    }
  }
  if (configIdx) *configIdx = lastIdx;
  return maxN;
}

int PluginProcessor::MaxNChannelsForBus(ERoute direction, int busIdx) const
{
  if (NIOConfigs() == 0 || busIdx < 0) return 0;
  if (mIOConfigs.Get(0)->ContainsWildcard(direction)) return -1;

  int maxN = 0;
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const int n = mIOConfigs.Get(i)->NChansOnBusSAFE(direction, busIdx);
    if (n > maxN) maxN = n;
  }
  return maxN;
}

int PluginProcessor::GetIOConfigWithChanCounts(std::span<const int> inputBusChans,
                                                std::span<const int> outputBusChans) const
{
  const auto matches = [](const IOConfig& config, ERoute direction, std::span<const int> chans) {
    if (static_cast<size_t>(config.NBuses(direction)) != chans.size()) return false;
    for (size_t b = 0; b < chans.size(); ++b)
      if (config.NChansOnBusSAFE(direction, static_cast<int>(b)) != chans[b]) return false;
    return true;
  };

  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const IOConfig& config = *mIOConfigs.Get(i);
    if (matches(config, kInput, inputBusChans) && matches(config, kOutput, outputBusChans)) return i;
  }
  return -1;
}

void PluginProcessor::GetBusName(ERoute direction, int busIdx, int nBuses, Util_String& name) const
{
  if (direction == kInput)
  {
    if (nBuses == 1)
      name.Set("Input");
    else if (nBuses == 2 && busIdx == 0)
      name.Set("Main");
    else if (nBuses == 2 && busIdx == 1)
      name.Set("Aux");
    else
      name.SetFormatted(MAX_BUS_NAME_LEN, "Input %i", busIdx);
  }
  else
  {
    if (nBuses == 1)
      name.Set("Output");
    else
      name.SetFormatted(MAX_BUS_NAME_LEN, "Output %i", busIdx);
  }
}

} // namespace plugin

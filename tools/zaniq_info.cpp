// Prints the plug-in's identity, its accepted channel configurations and a small parameter set, as a host would
// see them.

#include "framework/IParam.h"
#include "framework/PluginConfig.h"
#include "framework/PluginProcessor.h"

#include <cstdio>

using namespace plugin;

int main()
{
  const Config config = MakeZaniqConfig();
  std::printf("%s by %s, version %d.%d.%d\n", config.pluginName, config.mfrName, (config.vendorVersion >> 16) & 0xffff,
              (config.vendorVersion >> 8) & 0xff, config.vendorVersion & 0xff);
  std::printf("channel I/O \"%s\":\n", config.channelIOStr);

  Util_PtrList<IOConfig> configs;
  int maxIn = 0, maxOut = 0, maxInBuses = 0, maxOutBuses = 0;
  IPluginProcessor::ParseChannelIOStr(config.channelIOStr, configs, maxIn, maxOut, maxInBuses, maxOutBuses);
  for (int i = 0; i < configs.GetSize(); ++i)
    std::printf("  %d in -> %d out\n", configs.Get(i)->GetTotalNChannels(kInput),
                configs.Get(i)->GetTotalNChannels(kOutput));
  configs.Empty(true);

  IParam params[4];
  params[0].InitDouble("Reference Level", -18., -48., 0., 0.1, "dB");
  params[1].InitEnum("Match Mode", 0, {"Manual", "Auto", "Gain Stage"});
  params[2].InitBool("Delta", false);
  params[3].InitInt("Link ID", 1, 0, 256);
  std::printf("parameters:\n");
  for (int i = 0; i < 4; ++i)
  {
    Util_String json;
    params[i].GetJSON(json, i);
    std::printf("  %s\n", json.Get());
  }
  return 0;
}

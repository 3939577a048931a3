// libFuzzer target: the settings file "plugin.ini" (ReadIniFileValue, and ZANIQ::ReadIniValue on the data
// folder).
//
// Promises checked: a key that appears nowhere in the file gives the default; the plug-in's own reader gives
// the same value as the file reader.

#include "fuzz/fuzz_env.h"

#include <cstring>

using fuzzenv::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  ZANIQ& plug = fuzzenv::Plug();
  if (plug.GetDataFolder().GetLength() == 0) return 0;
  static const std::string path = std::string(plug.GetDataFolder().Get()) + "/plugin.ini";
  if (!fuzzenv::WriteFile(path, data, size)) return 0;

  for (const char* key : {"HasUI", "H", "HasUI=", "x y"})
  {
    const int value = ReadIniFileValue(path.c_str(), key, 12345);
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find(std::string(key) + "=") == std::string::npos) Check(value == 12345);
    Check(ZANIQ::ReadIniValue(plug, "GUI", key, 12345) == value);
  }
  return 0;
}

#pragma once

// Shared set-up of the fuzz targets: a private home folder (the plug-in's data folder is created under it), one
// plug-in instance for the whole run, and a check that traps on a broken promise.

#include "engine/ZANIQ.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzzenv
{

// Traps (libFuzzer records the input) when cond is false.
inline void Check(bool cond)
{
  if (!cond) __builtin_trap();
}

// Points HOME at a new temporary folder, once per process, and returns it. The folder goes when the run ends.
inline const std::string& Home()
{
  // A plain array: it must outlive the exit handler that removes the folder.
  static char path[] = "/tmp/zaniq_fuzz_XXXXXX";
  static const std::string home = [] {
    if (!mkdtemp(path)) std::abort();
    setenv("HOME", path, 1);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    });
    return std::string(path);
  }();
  return home;
}

// The instance every input runs against; made on first use, after the home folder.
inline ZANIQ& Plug()
{
  static ZANIQ* plug = [] {
    (void)Home();
    return new ZANIQ(plugin::InstanceInfo{});
  }();
  return *plug;
}

inline std::vector<double> Values(const ZANIQ& plug)
{
  std::vector<double> v;
  for (int i = 0; i < plug.NParams(); ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

// Every parameter finite and inside its range.
inline bool ValuesSound(const ZANIQ& plug)
{
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const plugin::IParam* p = plug.GetParam(i);
    const double v = p->Value();
    if (!std::isfinite(v) || v < p->GetMin() || v > p->GetMax()) return false;
  }
  return true;
}

// Writes size bytes to path; false when that fails.
inline bool WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

} // namespace fuzzenv

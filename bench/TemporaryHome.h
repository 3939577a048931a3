#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// The data folder of an instance lives under HOME: a temporary one for the run.
class TemporaryHome
{
public:
  TemporaryHome()
  {
    char tmpl[] = "/tmp/zaniq_bench_XXXXXX";
    if (mkdtemp(tmpl))
    {
      mPath = tmpl;
      setenv("HOME", tmpl, 1);
    }
  }
  ~TemporaryHome()
  {
    std::error_code ec;
    if (!mPath.empty())
      std::filesystem::remove_all(mPath, ec);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;

private:
  std::string mPath;
};

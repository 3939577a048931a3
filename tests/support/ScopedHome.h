#pragma once

// Points HOME at a fresh temporary folder for its lifetime (the plug-in keeps its data folder there), then restores
// HOME and removes the folder.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class ScopedHome
{
public:
  ScopedHome()
  {
    char tmpl[] = "/tmp/zaniq_home_XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    mPath = std::filesystem::canonical(tmpl);
    if (const char* old = std::getenv("HOME")) mOld = old, mHadOld = true;
    setenv("HOME", mPath.c_str(), 1);
  }
  ~ScopedHome()
  {
    if (mHadOld)
      setenv("HOME", mOld.c_str(), 1);
    else
      unsetenv("HOME");
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

  bool Ok() const { return !mPath.empty(); }
  const std::filesystem::path& Path() const { return mPath; }
  std::filesystem::path DataFolder() const { return mPath / "Library/Application Support/ZANIQ"; }

private:
  std::filesystem::path mPath;
  std::string mOld;
  bool mHadOld = false;
};

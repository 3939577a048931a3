#pragma once

// A temporary folder for one test, removed with the object.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace toolstest
{

class TempFolder
{
public:
  TempFolder()
  {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    mPath = std::filesystem::path(::testing::TempDir()) /
            ("auhost_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(mPath);
    std::filesystem::create_directories(mPath);
  }
  ~TempFolder()
  {
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return mPath; }
  std::string operator/(const std::string& name) const { return (mPath / name).string(); }

  // Writes text to a file below the folder, creating its parent folders.
  void Write(const std::string& relative, const std::string& text) const
  {
    const auto file = mPath / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

private:
  std::filesystem::path mPath;
};

} // namespace toolstest

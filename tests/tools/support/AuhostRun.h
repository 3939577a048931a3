#pragma once

// Test helpers for the host harness: a temporary folder per test; running the auhost command in this process or
// the real program through a shell; a fixture for runs of the product bundle with a HOME of the test's own; and a
// test signal.

#include "tools/auhost/AudioData.h"
#include "tools/auhost/ChainCommand.h"
#include "tools/auhost/Cli.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace toolstest
{

// A temporary folder for one test, removed with the object.
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

struct RunResult
{
  int code;
  std::string out;
  std::string err;
};

// `auhost ARGS...` in this process.
inline RunResult RunInProcess(const std::vector<std::string>& args)
{
  std::ostringstream out, err;
  const int code = auhost::RunCommandLine(args, out, err);
  return {code, out.str(), err.str()};
}

// The text as one single-quoted shell word.
inline std::string ShellQuote(const std::string& s)
{
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The bytes of a file; "" when it cannot be read.
inline std::string ReadFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs the auhost program with a shell; stdout and stderr go to files in temp. A non-empty home is its HOME.
inline RunResult RunProgram(const TempFolder& temp, const std::vector<std::string>& args, const std::string& home = {})
{
  std::string command = home.empty() ? std::string() : "HOME=" + ShellQuote(home) + " ";
  command += ShellQuote(ZANIQ_AUHOST_EXE);
  for (const std::string& a : args) command += ' ' + ShellQuote(a);
  command += " >" + ShellQuote(temp / "stdout.txt") + " 2>" + ShellQuote(temp / "stderr.txt");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(temp / "stdout.txt"), ReadFile(temp / "stderr.txt")};
}

// One line ending in a newline.
inline bool OneLine(const std::string& s) { return !s.empty() && s.back() == '\n' && s.find('\n') == s.size() - 1; }

// A failed command: its exit code, nothing on stdout and one line "auhost: ..." on stderr (that line when given).
inline void ExpectFailure(const RunResult& run, int code, const std::string& err = {})
{
  EXPECT_EQ(run.code, code) << run.err;
  EXPECT_TRUE(OneLine(run.err)) << run.err;
  EXPECT_EQ(run.err.rfind("auhost: ", 0), 0u) << run.err;
  EXPECT_TRUE(err.empty() || run.err == err) << run.err;
  EXPECT_EQ(run.out, "");
}

// Fixture for runs of the product bundle of this build (skipped without one). HOME is a folder of the test's own
// while it runs, for the product instances opened in this process and for the programs it starts.
class ProductTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mBundle = auhost::FindProductBundle();
    if (mBundle.empty()) GTEST_SKIP() << "no ZANIQ.component in this build";
    std::filesystem::create_directories(mTemp / "home");
    setenv("HOME", (mTemp / "home").c_str(), 1);
  }
  void TearDown() override
  {
    if (mOldHome)
      setenv("HOME", mOldHome->c_str(), 1);
    else
      unsetenv("HOME");
  }

  std::string mBundle;
  TempFolder mTemp;
  std::optional<std::string> mOldHome =
    std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
};

// Sines of the given amplitude at hz * (channel + 1), so that every channel differs.
inline auhost::AudioData Sine(uint32_t channels, uint64_t frames, double hz, double amplitude, double rate = 48000.0)
{
  auhost::AudioData data;
  data.sampleRate = rate;
  data.Resize(channels, frames);
  for (uint32_t c = 0; c < channels; ++c)
    for (uint64_t i = 0; i < frames; ++i)
      data.channels[c][i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * (c + 1) * i / rate));
  return data;
}

} // namespace toolstest

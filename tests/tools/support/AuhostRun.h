#pragma once

// Running the auhost command from a test: in this process, or the real program through a shell; and a HOME of the
// test's own for the product instances a test opens.

#include "TempFolder.h"
#include "tools/auhost/Cli.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace toolstest
{

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
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " >" + ShellQuote(temp / "stdout.txt") + " 2>" + ShellQuote(temp / "stderr.txt");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(temp / "stdout.txt"), ReadFile(temp / "stderr.txt")};
}

// One line ending in a newline.
inline bool OneLine(const std::string& s)
{
  return !s.empty() && s.back() == '\n' && s.find('\n') == s.size() - 1;
}

// Sets HOME to a folder of the test (created) for the product instances opened in this process; restores it after.
class ScopedHome
{
public:
  explicit ScopedHome(const std::string& folder)
  {
    if (const char* old = std::getenv("HOME")) mOld = old;
    std::filesystem::create_directories(folder);
    setenv("HOME", folder.c_str(), 1);
  }
  ~ScopedHome()
  {
    if (mOld.empty()) unsetenv("HOME");
    else setenv("HOME", mOld.c_str(), 1);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

private:
  std::string mOld;
};

} // namespace toolstest

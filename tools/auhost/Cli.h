#pragma once

// The `auhost` command line:
//   auhost info BUNDLE
//   auhost render BUNDLE --in FILE --out FILE [--param NAME=VALUE]... [--block N]
//   auhost chain ... (ChainCommand.h)
// Reports go to `out`; a failure prints one line "auhost: <what went wrong>" to `err`.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace auhost
{

// Exit codes.
enum : int
{
  kExitOk = 0,
  kExitFailure = 1, // the command could not be carried out
  kExitUsage = 2,   // the command line is wrong
};

struct RenderArgs
{
  std::string bundle;
  std::string in;
  std::string out;
  std::vector<std::pair<std::string, std::string>> params; // NAME=VALUE, in order
  uint32_t block = 512;
};

// Parses the arguments after "render". Failure: false and one line in error.
bool ParseRenderArgs(const std::vector<std::string>& args, RenderArgs& out, std::string& error);

// [main thread] Runs one command; returns the exit code.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace auhost

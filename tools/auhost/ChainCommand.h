#pragma once

// `auhost chain`: the A/B demo of the product — a Sender and a Receiver of one bundle in this process with
// effects between them:
//   auhost chain [--bundle PATH] [--in FILE] [--out FILE] [--rate HZ] [--block N] [--seconds S]
//                [--fx SPEC[,SPEC...]] [--sender "NAME=VALUE"]... [--receiver "NAME=VALUE"]...
//                [--command "CODE@SECONDS"]... [--load-state FILE] [--preset FILE] [--save-state FILE] [--json]
// The input is FILE (any format libsndfile reads, 1 or 2 channels) or the built-in test signal; --rate runs it at
// that rate (a file's samples are not resampled), --seconds cuts it. --out writes the Receiver's output as 32-bit
// float WAV. Settings reach the instances through the parameter API after they are initialised and before the
// first block; --command sends editor command CODE (value 1.0, as the editor's buttons send) to the Receiver
// before the sample at SECONDS. --load-state gives the Receiver a state saved by --save-state (its ClassInfo
// "data") and --preset a ".tps" preset file as the editor loads one (preset parameters it does not name return to
// their defaults; one that would change the Receiver's mode or Link ID is refused), both before the settings;
// --save-state writes the Receiver's state after the run.
// Without --json it prints a short summary (pre-FX and post-FX loudness, the match gain found, output against
// input); with --json one JSON object (ChainReportJson). While it runs and stderr is a terminal, a progress line
// goes to stderr. A failure prints one line "auhost: <what went wrong>" to stderr: exit code 2 for a wrong command
// line, 1 for anything else.

#include "tools/auhost/ChainRun.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace auhost
{

// Limits of the options.
inline constexpr double kChainMinRate = 8000.0;
inline constexpr double kChainMaxRate = 384000.0;
inline constexpr uint32_t kChainMaxBlock = 8192; // the most frames a Sender hands its Receiver per block
inline constexpr double kChainMaxSeconds = 600.0;

struct ChainArgs
{
  std::string bundle;   // "": the product bundle of this build (FindProductBundle)
  std::string in;       // "": the built-in test signal
  std::string out;      // "": no file; else a .wav name
  double rate = 0.0;    // 0: the file's rate, or kTestSignalRate
  uint32_t block = 512;
  double seconds = 0.0; // 0: the whole file, or kTestSignalSeconds; a longer file is cut
  std::vector<FxSpec> fx;
  std::vector<ParamSetting> sender;
  std::vector<ParamSetting> receiver;
  std::vector<TimedCommand> commands; // seconds as given; frames are set once the rate is known
  std::string loadState; // "": none
  std::string preset;    // "": none
  std::string saveState; // "": none
  bool json = false;
};

// Parses the arguments after "chain". Failure: false and one line in error; out unchanged.
bool ParseChainArgs(const std::vector<std::string>& args, ChainArgs& out, std::string& error);

// Where the product bundle of this build is looked for, in order: next to this program's build tree (from
// /proc/self/exe: <exe>/../../ZANIQ.component), then the build tree it was compiled in.
std::vector<std::string> ProductBundleCandidates();
// The first candidate that is a bundle folder (has Contents/Info.plist); "" when none is.
std::string FindProductBundle();

// The run the arguments describe: the bundle (the product's when none is given), the input (file or test signal,
// cut and re-rated) and the settings; commands get their frames. Failure: one line (no bundle, an unreadable
// file, a command past the end).
Status PrepareChainRun(const ChainArgs& ca, ChainSetup& setup, AudioData& input, std::string& sourceText);

// The summary `auhost chain` prints without --json.
void PrintChainSummary(std::ostream& out, const ChainArgs& ca, const std::string& sourceText, const AudioData& input,
                       const AudioData& output, const ChainReport& report);

// [main thread] Runs `auhost chain` with the arguments after "chain"; returns the exit code (Cli.h).
int RunChainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace auhost

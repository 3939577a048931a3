// `auhost chain`: arguments, input, the run and its summary or JSON report.

#include "tools/auhost/ChainCommand.h"

#include "engine/LoudnessMeter.h"

#include "tools/auhost/Cli.h"
#include "tools/auhost/TestSignal.h"
#include "tools/auhost/Text.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#ifndef ZANIQ_PRODUCT_BUNDLE
#define ZANIQ_PRODUCT_BUNDLE ""
#endif

namespace auhost
{

namespace
{

namespace fs = std::filesystem;

bool EndsWithWav(const std::string& name)
{
  return name.size() >= 5 && Lower(std::string_view(name).substr(name.size() - 4)) == ".wav";
}

int Fail(std::ostream& err, int code, const std::string& message)
{
  err << "auhost: " << message << "\n";
  return code;
}

// One decimal, without a "-0.0".
std::string Decibels(double dB, bool sign = false)
{
  double r = std::round(dB * 10.0) / 10.0;
  if (r == 0.0) r = 0.0;
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), sign ? "%+.1f dB" : "%.1f dB", r);
  return buffer;
}

std::string Seconds(double s)
{
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.1f s", s);
  return buffer;
}

// "\rprocessing 12.3 s / 20.0 s" on stderr while it runs, when stderr is a terminal.
class ProgressLine
{
public:
  ProgressLine(std::ostream& err, bool enabled, double rate) : mErr(err), mEnabled(enabled), mRate(rate) {}
  ~ProgressLine() { Close(); }
  void Update(uint64_t done, uint64_t total)
  {
    if (!mEnabled) return;
    const auto tenths = static_cast<long long>(static_cast<double>(done) / mRate * 10.0);
    if (tenths == mLastTenths && done != total) return;
    mLastTenths = tenths;
    mErr << "\rprocessing " << Seconds(static_cast<double>(done) / mRate) << " / "
         << Seconds(static_cast<double>(total) / mRate) << std::flush;
    mOpen = true;
  }
  void Close()
  {
    if (mOpen) mErr << "\n" << std::flush;
    mOpen = false;
  }

private:
  std::ostream& mErr;
  bool mEnabled;
  double mRate;
  long long mLastTenths = -1;
  bool mOpen = false;
};

double FindParam(const InstanceReport& inst, const char* name, double fallback)
{
  for (const auto& [n, v] : inst.params)
    if (n == name) return v;
  return fallback;
}

} // namespace

void PrintChainSummary(std::ostream& out, const ChainArgs& ca, const std::string& sourceText, const AudioData& input,
                  const AudioData& output, const ChainReport& report)
{
  const InstanceReport& sender = report.instances.at(0);
  const InstanceReport& receiver = report.instances.at(1);
  std::string fx;
  for (const FxSpec& spec : ca.fx) fx += (fx.empty() ? "" : ", ") + spec.text;
  out << "chain: " << sourceText << ", " << Seconds(static_cast<double>(input.NFrames()) / input.sampleRate) << ", "
      << input.NChannels() << (input.NChannels() == 1 ? " channel" : " channels") << " at "
      << FormatNumber(input.sampleRate) << " Hz, blocks of " << ca.block << "\n";
  out << "       " << sender.role << " (Link ID " << sender.linkID << ") -> " << (fx.empty() ? "no effects" : fx)
      << " -> " << receiver.role << " (Link ID " << receiver.linkID << ")\n";
  if (receiver.hasReadouts)
  {
    const double* r = receiver.readouts;
    out << "pre-FX loudness:   " << Decibels(r[kZaniqReadoutPreFxCurrent]) << "\n";
    // The Receiver matched the difference D between post-FX and pre-FX (pre-FX before the drive gain): the
    // remaining difference shows D less the match gain.
    const double matchMode = FindParam(receiver, "Match Mode", 1.0);
    // Automatic matching finds the difference only once the meter has heard a whole window; before that the
    // read-outs hold no post-FX level at all.
    const double window = MeterWindowSeconds(static_cast<int>(FindParam(receiver, "Meter Mode", 0.0)),
                                             FindParam(receiver, "RMS Window", 3000.0) / 1000.0);
    if (matchMode == 1.0 && static_cast<double>(input.NFrames()) < window * input.sampleRate)
      out << "post-FX loudness:  not known yet (the signal is shorter than the meter's window)\n";
    else if (matchMode != 2.0)
    {
      const double d = r[kZaniqReadoutPostFxDiff] - r[kZaniqReadoutPostFxGain];
      const double drive = FindParam(receiver, "Drive FX", 0.0);
      out << "post-FX loudness:  " << Decibels(r[kZaniqReadoutPreFxCurrent] - drive + d) << "\n";
    }
    out << "match gain found:  " << Decibels(r[kZaniqReadoutPostFxGain], true) << " (difference left "
        << Decibels(r[kZaniqReadoutPostFxDiff], true) << ")\n";
  }
  else
    out << "read-outs:         not reported by this plug-in\n";
  out << "input:             RMS " << Decibels(report.input.rmsDB) << ", peak " << Decibels(report.input.peakDB)
      << "\n";
  out << "output:            RMS " << Decibels(report.output.rmsDB) << ", peak " << Decibels(report.output.peakDB)
      << "\n";
  // Automatic matching needs a meter window of signal first, so the second half shows the settled match.
  const uint64_t half = input.NFrames() / 2;
  const double lateDiff =
    MeasureLevels(output, half, output.NFrames() - half).rmsDB - MeasureLevels(input, half, input.NFrames() - half).rmsDB;
  out << "output vs input:   " << Decibels(report.output.rmsDB - report.input.rmsDB, true)
      << " over the whole signal, " << Decibels(lateDiff, true) << " over its second half\n";
  if (!ca.out.empty()) out << "wrote " << ca.out << "\n";
}

// ---------------------------------------------------------------------------------------------------------------
// Arguments
// ---------------------------------------------------------------------------------------------------------------

bool ParseChainArgs(const std::vector<std::string>& args, ChainArgs& out, std::string& error)
{
  ChainArgs ca;
  std::vector<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& a = args[i];
    if (a == "--json")
    {
      ca.json = true;
      continue;
    }
    const bool single = a == "--bundle" || a == "--in" || a == "--out" || a == "--rate" || a == "--block" ||
                        a == "--seconds" || a == "--fx" || a == "--load-state" || a == "--preset" ||
                        a == "--save-state";
    const bool repeated = a == "--sender" || a == "--receiver" || a == "--command";
    if (!single && !repeated)
    {
      error = a.size() > 1 && a[0] == '-' ? "unknown option " + a : "unexpected argument \"" + a + "\"";
      return false;
    }
    if (i + 1 >= args.size() || args[i + 1].empty())
    {
      error = a + " needs a value";
      return false;
    }
    if (single)
    {
      if (std::find(seen.begin(), seen.end(), a) != seen.end())
      {
        error = a + " given twice";
        return false;
      }
      seen.push_back(a);
    }
    const std::string& v = args[++i];
    if (a == "--bundle") ca.bundle = v;
    else if (a == "--load-state") ca.loadState = v;
    else if (a == "--preset") ca.preset = v;
    else if (a == "--save-state") ca.saveState = v;
    else if (a == "--in") ca.in = v;
    else if (a == "--out")
    {
      if (!EndsWithWav(v))
      {
        error = "--out writes a WAV file: give a name ending in .wav, not \"" + v + "\"";
        return false;
      }
      ca.out = v;
    }
    else if (a == "--rate")
    {
      if (!ParseFiniteNumber(v, ca.rate) || ca.rate < kChainMinRate || ca.rate > kChainMaxRate)
      {
        error = "--rate wants a sample rate from " + FormatNumber(kChainMinRate) + " to " +
                FormatNumber(kChainMaxRate) + " Hz, not \"" + v + "\"";
        return false;
      }
    }
    else if (a == "--block")
    {
      if (!ParseWhole(v, ca.block) || ca.block == 0 || ca.block > kChainMaxBlock)
      {
        error = "--block wants a frame count from 1 to " + std::to_string(kChainMaxBlock) + ", not \"" + v + "\"";
        return false;
      }
    }
    else if (a == "--seconds")
    {
      if (!ParseFiniteNumber(v, ca.seconds) || ca.seconds <= 0.0 || ca.seconds > kChainMaxSeconds)
      {
        error = "--seconds wants a length above 0 and up to " + FormatNumber(kChainMaxSeconds) + " seconds, not \"" +
                v + "\"";
        return false;
      }
    }
    else if (a == "--fx")
    {
      if (!ParseFxList(v, ca.fx, error)) return false;
    }
    else if (a == "--sender" || a == "--receiver")
    {
      const size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == v.size())
      {
        error = a + " wants \"NAME=VALUE\", not \"" + v + "\"";
        return false;
      }
      (a == "--sender" ? ca.sender : ca.receiver).push_back({v.substr(0, eq), v.substr(eq + 1)});
    }
    else // --command
    {
      const size_t at = v.find('@');
      TimedCommand c;
      c.text = v;
      if (at == std::string::npos || !ParseWhole(std::string_view(v).substr(0, at), c.code) ||
          c.code < kZaniqFirstCommand || c.code > kZaniqLastCommand ||
          !ParseFiniteNumber(std::string_view(v).substr(at + 1), c.seconds) || c.seconds < 0.0)
      {
        error = "--command wants \"CODE@SECONDS\" with a code from " + std::to_string(kZaniqFirstCommand) + " to " +
                std::to_string(kZaniqLastCommand) + " and a time from 0 s, not \"" + v + "\"";
        return false;
      }
      ca.commands.push_back(std::move(c));
    }
  }
  out = std::move(ca);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// The product bundle
// ---------------------------------------------------------------------------------------------------------------

std::vector<std::string> ProductBundleCandidates()
{
  std::vector<std::string> candidates;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && !exe.empty())
    candidates.push_back((exe.parent_path() / ".." / ".." / "ZANIQ.component").lexically_normal().string());
  const std::string built = ZANIQ_PRODUCT_BUNDLE;
  if (!built.empty() && std::find(candidates.begin(), candidates.end(), built) == candidates.end())
    candidates.push_back(built);
  return candidates;
}

std::string FindProductBundle()
{
  for (const std::string& candidate : ProductBundleCandidates())
  {
    std::error_code ec;
    if (fs::is_regular_file(fs::path(candidate) / "Contents" / "Info.plist", ec)) return candidate;
  }
  return "";
}

// ---------------------------------------------------------------------------------------------------------------
// The command
// ---------------------------------------------------------------------------------------------------------------

Status PrepareChainRun(const ChainArgs& ca, ChainSetup& setup, AudioData& input, std::string& sourceText)
{
  setup = ChainSetup();
  setup.bundle = ca.bundle.empty() ? FindProductBundle() : ca.bundle;
  if (setup.bundle.empty())
  {
    std::string looked;
    for (const std::string& c : ProductBundleCandidates()) looked += (looked.empty() ? "" : ", ") + c;
    return Status::Error("no ZANIQ.component in this build (looked in " + looked + "); give --bundle PATH");
  }

  if (!ca.in.empty())
  {
    Status s = ReadAudioFile(ca.in, input);
    if (!s) return s;
    if (ca.rate > 0.0) input.sampleRate = ca.rate;
    if (ca.seconds > 0.0)
    {
      const auto keep = static_cast<uint64_t>(std::round(ca.seconds * input.sampleRate));
      for (auto& ch : input.channels)
        if (ch.size() > keep) ch.resize(keep);
    }
    sourceText = ca.in;
  }
  else
  {
    MakeTestSignal(ca.rate > 0.0 ? ca.rate : kTestSignalRate, ca.seconds > 0.0 ? ca.seconds : kTestSignalSeconds,
                   input);
    sourceText = "built-in test signal";
  }

  const double length = static_cast<double>(input.NFrames()) / input.sampleRate;
  setup.commands = ca.commands;
  for (TimedCommand& c : setup.commands)
  {
    const double frame = std::round(c.seconds * input.sampleRate);
    if (frame >= static_cast<double>(input.NFrames()))
      return Status::Error("--command " + c.text + ": " + FormatNumber(c.seconds) +
                           " s is past the end of the signal (" + Seconds(length) + ")");
    c.frame = static_cast<uint64_t>(frame);
  }

  setup.block = ca.block;
  setup.fx = ca.fx;
  setup.sender = ca.sender;
  setup.receiver = ca.receiver;
  setup.loadState = ca.loadState;
  setup.preset = ca.preset;
  setup.saveState = ca.saveState;
  return Status::Ok();
}

int RunChainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
  ChainArgs ca;
  std::string error;
  if (!ParseChainArgs(args, ca, error)) return Fail(err, kExitUsage, error);

  ChainSetup setup;
  AudioData input;
  std::string sourceText;
  if (Status s = PrepareChainRun(ca, setup, input, sourceText); !s) return Fail(err, kExitFailure, s.message());

  AudioData output;
  ChainReport report;
  Status s;
  {
    ProgressLine progress(err, &err == &std::cerr && ::isatty(STDERR_FILENO) == 1, input.sampleRate);
    s = RunChain(setup, input, output, report,
                 [&progress](uint64_t done, uint64_t total) { progress.Update(done, total); });
  }
  if (!s) return Fail(err, kExitFailure, s.message());
  if (!ca.out.empty())
  {
    s = WriteAudioFile(ca.out, output);
    if (!s) return Fail(err, kExitFailure, s.message());
  }
  if (ca.json) out << ChainReportJson(report) << "\n";
  else PrintChainSummary(out, ca, sourceText, input, output, report);
  return kExitOk;
}

} // namespace auhost

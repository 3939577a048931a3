// The auhost commands.

#include "tools/auhost/Cli.h"

#include "tools/auhost/AudioData.h"
#include "tools/auhost/ChainCommand.h"
#include "tools/auhost/EditorCommand.h"
#include "tools/auhost/Bundle.h"
#include "tools/auhost/Info.h"
#include "tools/auhost/Instance.h"
#include "tools/auhost/Render.h"
#include "tools/auhost/RunLoop.h"

#include <charconv>
#include <ostream>

namespace auhost
{

namespace
{

constexpr const char* kUsage = "usage: auhost info BUNDLE | auhost render BUNDLE --in FILE --out FILE "
                               "[--param NAME=VALUE]... [--block N] | auhost chain [--bundle PATH] [--in FILE] "
                               "[--out FILE] [--rate HZ] [--block N] [--seconds S] [--fx SPEC[,SPEC...]] "
                               "[--sender \"NAME=VALUE\"]... [--receiver \"NAME=VALUE\"]... "
                               "[--command \"CODE@SECONDS\"]... [--load-state FILE] [--preset FILE] "
                               "[--save-state FILE] [--json] | auhost editor [chain options] "
                               "[--open sender|receiver] [--screen-scale 1|2] [--event \"EVENT@SECONDS\"]... "
                               "[--snapshot \"SECONDS:FILE\"]... [--png FILE] [--json]";
// Printed by --help after the usage line.
constexpr const char* kHelpDetails = "  editor events (editor units; mouse and key events take shift+ ctrl+ alt+ cmd+): "
                               "click:X,Y rclick:X,Y dblclick:X,Y move:X,Y drag:X1,Y1:X2,Y2 wheel:X,Y:DELTA key:KEY "
                               "text:STRING menu:PATH|none alert:N resize:W,H close open\n"
                               "  a bundle without Sender/Receiver parameters runs as two instances of it in series "
                               "(the first is called Sender, the second Receiver); settings by name apply to each";
constexpr uint32_t kMaxBlock = 65536;

int Fail(std::ostream& err, int code, const std::string& message)
{
  err << "auhost: " << message << "\n";
  return code;
}

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
  if (args.size() != 2) return Fail(err, kExitUsage, "info takes one bundle folder; " + std::string(kUsage));
  std::shared_ptr<const Bundle> bundle;
  Status s = Bundle::Load(args[1], bundle);
  if (!s) return Fail(err, kExitFailure, s.message());
  std::string text;
  for (const ComponentEntry& entry : bundle->Components())
  {
    std::unique_ptr<Instance> instance;
    s = Instance::Open(entry.component, instance);
    if (!s) return Fail(err, kExitFailure, DescribeComponent(entry.desc) + ": " + s.message());
    s = DescribeInstance(entry, *instance, text);
    if (!s) return Fail(err, kExitFailure, DescribeComponent(entry.desc) + ": " + s.message());
  }
  out << text;
  return kExitOk;
}

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
  RenderArgs ra;
  std::string error;
  if (!ParseRenderArgs(std::vector<std::string>(args.begin() + 1, args.end()), ra, error))
    return Fail(err, kExitUsage, error);

  std::shared_ptr<const Bundle> bundle;
  Status s = Bundle::Load(ra.bundle, bundle);
  if (!s) return Fail(err, kExitFailure, s.message());
  AudioData input;
  s = ReadAudioFile(ra.in, input);
  if (!s) return Fail(err, kExitFailure, s.message());
  if (input.NChannels() > Instance::kMaxChannels)
    return Fail(err, kExitFailure, ra.in + ": too many channels");

  const ComponentEntry& entry = bundle->Main();
  std::unique_ptr<Instance> instance;
  s = Instance::Open(entry.component, instance);
  if (!s) return Fail(err, kExitFailure, s.message());
  const UInt32 channels = input.NChannels();
  s = instance->Prepare(input.sampleRate, channels, channels, ra.block);
  if (!s)
  {
    const std::string configs = FormatChannelConfigs(instance->ChannelConfigs());
    return Fail(err, kExitFailure,
                s.message() + (configs.empty() ? std::string() : " (the unit supports " + configs + ")"));
  }
  for (const auto& [name, value] : ra.params)
  {
    s = instance->SetParameterFromText(name, value);
    if (!s) return Fail(err, kExitFailure, s.message());
  }

  BufferSource source(input, ra.block);
  Chain chain;
  chain.Append(*instance);
  s = chain.Connect(&source);
  if (!s) return Fail(err, kExitFailure, s.message());
  AudioData output;
  {
    RunLoopPump pump(ClockMode::Virtual);
    s = RenderFrames(*instance, input.NFrames(), channels, ra.block, input.sampleRate, &pump, output);
  }
  chain.Disconnect();
  if (!s) return Fail(err, kExitFailure, s.message());
  s = WriteAudioFile(ra.out, output);
  if (!s) return Fail(err, kExitFailure, s.message());
  out << "rendered " << output.NFrames() << " frames of " << channels << " channel" << (channels == 1 ? "" : "s")
      << " through " << DescribeComponent(entry.desc) << " to " << ra.out << "\n";
  return kExitOk;
}

} // namespace

bool ParseRenderArgs(const std::vector<std::string>& args, RenderArgs& out, std::string& error)
{
  RenderArgs ra;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--in" || a == "--out" || a == "--param" || a == "--block")
    {
      if (!hasValue)
      {
        error = a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--in") ra.in = v;
      else if (a == "--out") ra.out = v;
      else if (a == "--param")
      {
        const size_t eq = v.find('=');
        if (eq == std::string::npos || eq == 0)
        {
          error = "--param wants NAME=VALUE, not \"" + v + "\"";
          return false;
        }
        ra.params.emplace_back(v.substr(0, eq), v.substr(eq + 1));
      }
      else
      {
        uint32_t n = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (ec != std::errc() || end != v.data() + v.size() || n == 0 || n > kMaxBlock)
        {
          error = "--block wants a frame count from 1 to " + std::to_string(kMaxBlock) + ", not \"" + v + "\"";
          return false;
        }
        ra.block = n;
      }
    }
    else if (a.size() > 1 && a[0] == '-')
    {
      error = "unknown option " + a;
      return false;
    }
    else if (ra.bundle.empty())
      ra.bundle = a;
    else
    {
      error = "unexpected argument \"" + a + "\"";
      return false;
    }
  }
  if (ra.bundle.empty()) error = "render needs a bundle folder";
  else if (ra.in.empty()) error = "render needs --in FILE";
  else if (ra.out.empty()) error = "render needs --out FILE";
  if (!error.empty()) return false;
  out = std::move(ra);
  return true;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
  if (args.empty()) return Fail(err, kExitUsage, std::string("no command; ") + kUsage);
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help")
  {
    out << kUsage << "\n" << kHelpDetails << "\n";
    return kExitOk;
  }
  if (command == "info") return RunInfo(args, out, err);
  if (command == "render") return RunRender(args, out, err);
  if (command == "chain") return RunChainCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  if (command == "editor") return RunEditorCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  return Fail(err, kExitUsage, "unknown command \"" + command + "\"; " + kUsage);
}

} // namespace auhost

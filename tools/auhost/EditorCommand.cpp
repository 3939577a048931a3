// `auhost editor`: the chain run with an editor open, its events and snapshots at block boundaries, the report.

#include "tools/auhost/EditorCommand.h"

#include "tools/auhost/Cli.h"
#include "tools/auhost/EditorSession.h"
#include "tools/auhost/Json.h"
#include "tools/auhost/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace auhost
{

namespace
{

constexpr const char* kUpdateCheckName = "Online Update Check";

int Fail(std::ostream& err, int code, const std::string& message)
{
  err << "auhost: " << message << "\n";
  return code;
}

bool SetsParameter(const std::vector<ParamSetting>& settings, const char* name)
{
  return std::any_of(settings.begin(), settings.end(), [&](const ParamSetting& s) { return s.name == name; });
}

// One thing to do at a time: an event or a snapshot, in the order they happen.
struct Scheduled
{
  uint64_t frame = 0;
  bool snapshot = false; // events of one time come before its snapshots
  size_t index = 0;      // command-line order inside each kind
};

// The editor side of the run: opens the editor before the first block and plays what is due at each boundary.
class EditorRun final : public ChainHooks
{
public:
  EditorRun(const EditorArgs& args, uint64_t frames) : mArgs(args), mFrames(frames)
  {
    for (size_t i = 0; i < args.events.size(); ++i) mDue.push_back({args.events[i].frame, false, i});
    for (size_t i = 0; i < args.snapshots.size(); ++i) mDue.push_back({args.snapshots[i].frame, true, i});
    std::stable_sort(mDue.begin(), mDue.end(), [](const Scheduled& a, const Scheduled& b) {
      return a.frame != b.frame ? a.frame < b.frame : (a.snapshot != b.snapshot && !a.snapshot);
    });
  }

  Status Ready(Instance& sender, Instance& receiver) override
  {
    return EditorSession::Open(mArgs.openSender ? sender : receiver, mArgs.screenScale, mSession)
      .Prefixed(mArgs.openSender ? "Sender" : "Receiver");
  }

  Status AtBoundary(uint64_t pos) override
  {
    // A panel shown by the plug-in's idle work since the last boundary used its answer there.
    if (Status s = mSession->CheckScript(); !s) return s;
    for (; mNext < mDue.size() && mDue[mNext].frame <= pos; ++mNext)
    {
      const Scheduled& item = mDue[mNext];
      if (item.snapshot)
      {
        const EditorSnapshot& shot = mArgs.snapshots[item.index];
        Status s = mSession->Snapshot(shot.file);
        if (!s) return s.Prefixed("--snapshot \"" + shot.text + "\"");
      }
      else
      {
        const EditorEvent& event = mArgs.events[item.index];
        Status s = mSession->Play(event);
        if (!s) return s.Prefixed("--event \"" + event.text + "\"");
      }
    }
    if (pos < mFrames) return Status::Ok();

    // The end of the run.
    Status s = mSession->CheckAnswersUsed();
    if (!s) return s;
    if (!mArgs.png.empty())
    {
      s = mSession->Snapshot(mArgs.png);
      if (!s) return s.Prefixed("--png " + mArgs.png);
    }
    mReport = mSession->Report();
    return Status::Ok();
  }

  // The editor closes while the instances still exist.
  void Finished() override { mSession.reset(); }

  const EditorReport& Report() const { return mReport; }

private:
  const EditorArgs& mArgs;
  uint64_t mFrames;
  std::vector<Scheduled> mDue;
  size_t mNext = 0;
  std::unique_ptr<EditorSession> mSession;
  EditorReport mReport;
};

void WriteEditorJson(JsonWriter& w, const EditorReport& r)
{
  w.Key("editor");
  w.BeginObject();
  w.Key("open");
  w.Int(r.open ? 1 : 0);
  w.Key("width");
  w.Number(r.width);
  w.Key("height");
  w.Number(r.height);
  w.Key("draw_scale");
  w.Number(r.drawScale);
  w.Key("screen_scale");
  w.Number(r.screenScale);
  w.Key("frames_presented");
  w.Int(static_cast<int64_t>(r.framesPresented));
  w.Key("controls");
  w.Int(r.controls);
  w.EndObject();
}

} // namespace

bool EditorFrameOf(double seconds, double rate, uint64_t frames, uint64_t& frame)
{
  const double f = std::round(seconds * rate);
  if (!(f >= 0.0) || f > static_cast<double>(frames)) return false;
  frame = static_cast<uint64_t>(f);
  return true;
}

int RunEditorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
  EditorArgs ea;
  std::string error;
  if (!ParseEditorArgs(args, ea, error)) return Fail(err, kExitUsage, error);

  ChainSetup setup;
  AudioData input;
  std::string sourceText;
  if (Status s = PrepareChainRun(ea.chain, setup, input, sourceText); !s) return Fail(err, kExitFailure, s.message());

  const double rate = input.sampleRate;
  const uint64_t frames = input.NFrames();
  char length[32];
  std::snprintf(length, sizeof length, "%.1f s", static_cast<double>(frames) / rate);
  for (EditorEvent& e : ea.events)
    if (!EditorFrameOf(e.seconds, rate, frames, e.frame))
      return Fail(err, kExitFailure,
                  "--event \"" + e.text + "\": " + FormatNumber(e.seconds) + " s is past the end of the run (" +
                    length + ")");
  for (EditorSnapshot& shot : ea.snapshots)
    if (!EditorFrameOf(shot.seconds, rate, frames, shot.frame))
      return Fail(err, kExitFailure,
                  "--snapshot \"" + shot.text + "\": " + FormatNumber(shot.seconds) +
                    " s is past the end of the run (" + length + ")");

  // The update check would reach for the network: off unless asked for.
  if (!SetsParameter(ea.chain.sender, kUpdateCheckName) || !SetsParameter(ea.chain.receiver, kUpdateCheckName))
  {
    // Set on both first; a setting on the command line comes later and wins for its instance.
    setup.defaults.push_back({kUpdateCheckName, "0"});
  }
  setup.rolesOptional = true;

  EditorRun run(ea, frames);
  setup.hooks = &run;
  AudioData output;
  ChainReport report;
  Status s = RunChain(setup, input, output, report);
  if (!s) return Fail(err, kExitFailure, s.message());
  if (!ea.chain.out.empty())
  {
    s = WriteAudioFile(ea.chain.out, output);
    if (!s) return Fail(err, kExitFailure, s.message());
  }
  const EditorReport& r = run.Report();
  if (ea.chain.json)
    out << ChainReportJson(report, [&r](JsonWriter& w) { WriteEditorJson(w, r); }) << "\n";
  else
  {
    PrintChainSummary(out, ea.chain, sourceText, input, output, report);
    out << "editor:            " << (ea.openSender ? "Sender" : "Receiver") << ", ";
    if (r.open)
      out << FormatNumber(r.width) << " x " << FormatNumber(r.height) << " at draw scale " << FormatNumber(r.drawScale)
          << ", screen scale " << FormatNumber(r.screenScale) << ", " << r.controls << " controls, ";
    else
      out << "closed at the end, ";
    out << r.framesPresented << " frames presented\n";
  }
  return kExitOk;
}

} // namespace auhost

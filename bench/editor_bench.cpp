// The whole ZANIQ editor drawn end to end: a Receiver's editor in expert view, opened the way a host opens it
// (the plug-in's OpenWindow makes the IGraphicsMac and its Cocoa view, the view goes into a headless window at
// the screen's scale), each frame drawn through the controls, IGraphicsVR, the renderer and the Metal back end,
// and rasterised by the stand-in GPU; the benchmark waits for every frame to finish.
//
// Two frames: everything dirty (a full redraw), and the six read-outs given new texts as the meter refresh
// gives them. Besides the wall time per frame it counts the main thread's CPU time around the draw and encode
// (everything of ours) and the CPU time of the other threads (the rasteriser), and closes with the figures next
// to their aims.

#include "engine/UpdateCheck.h"
#include "controls/ITextControls.h"
#include "graphics/IGraphics.h"
#include "platform/mac/IGraphicsMac.h"
#include "platform/mac/IGraphicsView.h"
#include "ui/support/product_editor.h"

#include <AppKit/AppKit.h>
#include <AppKit/AppKitTesting.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace
{

using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;
using plugin::igraphics::IGraphicsMac;
using producteditor::LoadedBundle;
using producteditor::ProductZANIQ;

double CpuSeconds(clockid_t clock)
{
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A Receiver's editor, expert view, open in a headless window at a screen scale.
class OpenEditor
{
public:
  explicit OpenEditor(float scale)
  {
    ZQAppKitReset();
    ZQAppKitSetMainScreen(1920, 1080, scale);
    mWindow = ZQAppKitMakeWindow(ZANIQ::kEditorBaseWidth, ZANIQ::kEditorBaseHeight, scale);
    mPlugin.Change(ZANIQ::kOnlineUpdateCheck, 0);
    mPlugin.Change(ZANIQ::kPluginMode, 1);
    mPlugin.Change(ZANIQ::kGUIMode, 0);
    auto* view = static_cast<NSView*>(mPlugin.OpenWindow(nullptr));
    if (!view) return;
    mWindow->contentView()->addSubview(view);
    mGraphics = dynamic_cast<IGraphicsMac*>(mPlugin.GetUI());
    if (!mGraphics || !mGraphics->GetView() || !mGraphics->GetDrawContext()) mGraphics = nullptr;
  }
  ~OpenEditor()
  {
    mPlugin.CloseWindow();
    mWindow->release();
  }
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;

  bool Ok() const { return mGraphics != nullptr && mPlugin.IsLayoutDone(); }
  ProductZANIQ& Plugin() { return mPlugin; }
  IGraphicsMac& Graphics() { return *mGraphics; }
  NSWindow* Window() const { return mWindow; }

  // One tick of the render timer: the dirty rectangles drawn, encoded and presented.
  void Render() { mGraphics->GetView()->render(); }
  // Waits for every committed frame (the queue runs its buffers in order).
  void Finish() { producteditor::FinishFrames(*mGraphics); }
  int DirtyControls() const
  {
    int n = 0;
    for (int i = 0; i < mGraphics->NControls(); ++i)
      if (IControl* c = mGraphics->GetControl(i); c && !c->IsHidden() && c->IsDirty()) ++n;
    return n;
  }

private:
  NSWindow* mWindow = nullptr;
  ProductZANIQ mPlugin;
  IGraphicsMac* mGraphics = nullptr;
};

constexpr ZANIQ::EEditorControl kReadouts[] = {
  ZANIQ::kCtlPreDiffReadout, ZANIQ::kCtlPreGainReadout,  ZANIQ::kCtlPreCurrentReadout,
  ZANIQ::kCtlPreMaxReadout,  ZANIQ::kCtlPostDiffReadout, ZANIQ::kCtlPostGainReadout,
};
// Two sets of texts as the meter refresh writes them, alternated so that every frame changes all six.
constexpr const char* kReadoutTexts[2][6] = {
  {"-0.4", "+2.1", "-17.3", "-12.8", "+0.2", "-5.9"},
  {"-0.5", "+2.0", "-17.6", "-12.7", "+0.1", "-6.0"},
};

enum class Frame
{
  Full,
  Meter
};

struct Figures
{
  double wallMs = 0, mainCpuMs = 0, otherCpuMs = 0;
  int dirty = 0;
};
std::map<std::pair<Frame, int>, Figures>& Results()
{
  static std::map<std::pair<Frame, int>, Figures> results;
  return results;
}

// Marks what the frame redraws; answers the controls then dirty.
int Prepare(OpenEditor& editor, Frame frame, int turn)
{
  if (frame == Frame::Full)
    editor.Graphics().SetAllControlsDirty();
  else
    for (int i = 0; i < 6; ++i)
      if (auto* t = dynamic_cast<plugin::igraphics::ITextControl*>(editor.Plugin().GetEditorControl(kReadouts[i])))
        t->SetStr(kReadoutTexts[turn & 1][i]);
  return editor.DirtyControls();
}

void RunFrames(benchmark::State& state, Frame frame)
{
  const int scale = static_cast<int>(state.range(0));
  LoadedBundle bundle(ZANIQ_BUNDLE_DIR);
  if (!bundle.Ok())
  {
    state.SkipWithError("the component bundle could not be loaded");
    return;
  }
  OpenEditor editor(static_cast<float>(scale));
  if (!editor.Ok())
  {
    state.SkipWithError("the editor did not open");
    return;
  }
  // The first frame loads bitmaps and glyphs; it is not what a running editor pays.
  editor.Render();
  editor.Finish();
  int turn = 0;
  (void)Prepare(editor, frame, turn++);
  editor.Render();
  editor.Finish();

  double mainCpu = 0, processCpu = 0;
  int dirty = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state)
  {
    const double p0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double m0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    // The texts are set inside the measured time: the meter refresh does that work on every tick.
    dirty = Prepare(editor, frame, turn++);
    editor.Render();
    mainCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m0;
    editor.Finish();
    processCpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - p0;
  }
  const auto t1 = std::chrono::steady_clock::now();
  // A meter frame that redraws more or less than the read-outs measures something else.
  if (frame == Frame::Meter && dirty != 6)
  {
    const std::string what = "the meter frame redrew " + std::to_string(dirty) + " controls, not the six read-outs";
    state.SkipWithError(what.c_str());
    return;
  }
  const double n = static_cast<double>(state.iterations());
  Figures& f = Results()[{frame, scale}];
  f.wallMs = std::chrono::duration<double, std::milli>(t1 - t0).count() / n;
  f.mainCpuMs = mainCpu * 1e3 / n;
  f.otherCpuMs = (processCpu - mainCpu) * 1e3 / n;
  f.dirty = dirty;
  state.counters["main_cpu_ms"] = f.mainCpuMs;
  state.counters["raster_cpu_ms"] = f.otherCpuMs;
  state.counters["dirty_controls"] = dirty;

  if (const char* dir = std::getenv("EDITOR_BENCH_PNG"))
  {
    const std::string path = std::string(dir) + "/editor_bench_" + (frame == Frame::Full ? "full" : "meter") +
                             (scale > 1 ? "@2x" : "") + ".png";
    if (!ZQAppKitSaveFrame(editor.Window(), path.c_str())) std::fprintf(stderr, "could not write %s\n", path.c_str());
  }
}

void BM_EditorFullFrame(benchmark::State& state)
{
  RunFrames(state, Frame::Full);
}
void BM_EditorMeterFrame(benchmark::State& state)
{
  RunFrames(state, Frame::Meter);
}

BENCHMARK(BM_EditorFullFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorMeterFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

const char* Verdict(double value, double aim)
{
  return value <= aim ? "met" : "MISSED";
}

void PrintAims()
{
  std::printf("\nZANIQ editor, Receiver expert view, per frame (wall: draw, encode, rasterise and wait; main CPU: "
              "controls, IGraphicsVR, renderer, Metal back end; raster CPU: the stand-in GPU's threads)\n");
  for (const auto& [key, f] : Results())
  {
    const auto [frame, scale] = key;
    const bool full = frame == Frame::Full;
    std::printf("  %-11s scale %d: wall %6.2f ms", full ? "full frame" : "meter frame", scale, f.wallMs);
    if (full && scale == 1)
      std::printf(" (aim <= 8 ms: %s)", Verdict(f.wallMs, 8.0));
    else if (!full)
      std::printf(" (aim <= 2 ms: %s)", Verdict(f.wallMs, 2.0));
    else
      std::printf(" (no aim)");
    std::printf(", main CPU %5.2f ms", f.mainCpuMs);
    if (full) std::printf(" (aim <= 1 ms: %s)", Verdict(f.mainCpuMs, 1.0));
    std::printf(", raster CPU %6.2f ms, %d controls dirty\n", f.otherCpuMs, f.dirty);
  }
}

} // namespace

int main(int argc, char** argv)
{
  // The plug-in keeps its data folder under $HOME: the benchmark gets a folder of its own, so that no saved
  // preset or setting changes what is drawn; the update check counts as done (it never reaches the network).
  char home[] = "/tmp/zaniq_editor_bench_XXXXXX";
  if (!mkdtemp(home))
  {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", home, 1);
  UpdateCheck::SetChecked(true);
  UpdateCheck::SetUpdateAvailable(false);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintAims();

  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return 0;
}

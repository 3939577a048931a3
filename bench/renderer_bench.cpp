// The vector renderer's CPU work for an editor-like frame (40 bitmaps, 30 filled and stroked rounded rectangles
// and arcs, 60 short text runs) at scale 1 and 2, handed to a recording back end; and the same scene drawn by
// Cairo into an image surface. Prints both per-frame times and their ratio.

#include "EditorScene.h"
#include "renderer/VectorRenderer.h"
#include "renderer/support/RecordingBackend.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using namespace editorscene;

// One frame of the scene through the renderer.
void drawRenderer(VRcontext* vg, float scale, const std::vector<int>& images, bool text)
{
  vrBeginFrame(vg, kWidth, kHeight, scale);
  drawScene(vg, images, text);
  vrEndFrame(vg);
}

void BM_RendererFrame(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  RecordingBackend be;
  VRcontext* vg = be.CreateContext(1);
  if (!vg)
  {
    state.SkipWithError("context creation failed");
    return;
  }
  std::vector<int> images;
  const bool text = loadScene(vg, scale, images, state);

  drawRenderer(vg, scale, images, text); // warm the glyph cache and buffers
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state)
  {
    be.calls.clear();
    drawRenderer(vg, scale, images, text);
    benchmark::DoNotOptimize(be.calls.data());
  }
  const auto t1 = std::chrono::steady_clock::now();
  frameTimes()[{false, static_cast<int>(scale)}] =
      std::chrono::duration<double, std::micro>(t1 - t0).count() / static_cast<double>(state.iterations());
  vrDeleteInternal(vg);
}

BENCHMARK(BM_RendererFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CairoFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int scale : {1, 2})
  {
    const auto& t = frameTimes();
    const auto r = t.find({false, scale}), c = t.find({true, scale});
    if (r == t.end() || c == t.end()) continue;
    std::printf("scale %d: renderer %.1f us/frame (recording back end), cairo %.1f us/frame (image surface), "
                "cairo / renderer = %.2f\n",
                scale, r->second, c->second, c->second / r->second);
  }
  return 0;
}

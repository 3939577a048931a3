// The editor-like frame of the renderer's benchmark drawn end to end: renderer, Metal back end and the stand-in
// GPU's rasteriser into a layer, waiting for each frame; and the same scene drawn by Cairo into an image surface.
// Prints both per-frame times and their ratio.

#include "platform/mac/MVRcontext.h"
#include "EditorScene.h"
#include "renderer/VectorRenderer.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using namespace editorscene;

// One frame of the scene through the renderer.
void drawRenderer(VRcontext* vg, float scale, const std::vector<int>& images, bool text)
{
  mvrClearWithColor(vg, vrRGBA(0, 0, 0, 255));
  vrBeginFrame(vg, kWidth, kHeight, scale);
  drawScene(vg, images, text);
  vrEndFrame(vg);
}

// Waits for every committed frame (the queue runs in order).
void finish(VRcontext* vg)
{
  NSAutoreleasePool pool;
  MTLCommandBuffer* cb = mvrCommandQueue(vg)->commandBuffer();
  cb->commit();
  cb->waitUntilCompleted();
}

void BM_MetalFrame(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  CAMetalLayer* layer = new CAMetalLayer();
  layer->setDrawableSize(CGSizeMake(kWidth * scale, kHeight * scale));
  VRcontext* vg = vrCreateMTL(layer, 0x2001);
  if (!vg)
  {
    state.SkipWithError("context creation failed");
    layer->release();
    return;
  }
  std::vector<int> images;
  const bool text = loadScene(vg, scale, images, state);

  drawRenderer(vg, scale, images, text);
  finish(vg);
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state)
  {
    drawRenderer(vg, scale, images, text);
    finish(vg);
  }
  const auto t1 = std::chrono::steady_clock::now();
  frameTimes()[{false, static_cast<int>(scale)}] =
      std::chrono::duration<double, std::micro>(t1 - t0).count() / static_cast<double>(state.iterations());
  if (const char* path = std::getenv("METAL_BENCH_PNG")) layer->writeLastFrameToPNG(path);
  vrDeleteMTL(vg);
  layer->release();
}

BENCHMARK(BM_MetalFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
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
    const auto m = t.find({false, scale}), c = t.find({true, scale});
    if (m == t.end() || c == t.end()) continue;
    std::printf("scale %d: metal %.2f ms/frame (renderer, back end, rasteriser), cairo %.2f ms/frame, "
                "metal / cairo = %.2f\n",
                scale, m->second / 1000.0, c->second / 1000.0, m->second / c->second);
  }
  return 0;
}

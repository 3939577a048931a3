// Per-frame cost of the loudness meter in each mode (one stereo frame per ProcessSample call).

#include "engine/LoudnessMeter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void BM_MeterProcessSample(benchmark::State& state)
{
  const int mode = int(state.range(0));
  LoudnessMeter meter;
  if (!meter.Init(mode, 3.0, 48000.0))
  {
    state.SkipWithError("Init failed");
    return;
  }
  constexpr int kFrames = 4096;
  std::vector<double> l(kFrames), r(kFrames);
  for (int i = 0; i < kFrames; ++i)
  {
    l[size_t(i)] = 0.5 * std::sin(0.031 * i);
    r[size_t(i)] = 0.4 * std::sin(0.017 * i + 1.0);
  }
  for (auto _ : state)
  {
    double acc = 0;
    for (int i = 0; i < kFrames; ++i)
      acc += meter.ProcessSample(l[size_t(i)], r[size_t(i)]);
    benchmark::DoNotOptimize(acc);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  static const char* const kNames[] = {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"};
  state.SetLabel(kNames[mode]);
}

BENCHMARK(BM_MeterProcessSample)->DenseRange(kMeterRMSSummed, kMeterMaxPeak);

} // namespace

// Per-frame cost of the loudness meter in each mode: one stereo frame per ProcessSample call, and the Receiver's
// two meters fed together in chunks of 256 frames (ProcessBlocks).

#include "engine/LoudnessMeter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
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

void BM_MeterPairInChunks(benchmark::State& state)
{
  const int mode = int(state.range(0));
  const bool wide = LoudnessMeter::UseWideLanes(state.range(1) != 0);
  LoudnessMeter pre, post;
  if (!pre.Init(mode, 3.0, 48000.0) || !post.Init(mode, 3.0, 48000.0))
  {
    state.SkipWithError("Init failed");
    return;
  }
  constexpr int kFrames = 4096, kChunk = 256;
  std::vector<double> l(kFrames), r(kFrames), pl(kFrames), pr(kFrames), preOut(kChunk), postOut(kChunk);
  for (int i = 0; i < kFrames; ++i)
  {
    l[size_t(i)] = 0.5 * std::sin(0.031 * i);
    r[size_t(i)] = 0.4 * std::sin(0.017 * i + 1.0);
    pl[size_t(i)] = 0.5 * l[size_t(i)];
    pr[size_t(i)] = 0.5 * r[size_t(i)];
  }
  for (auto _ : state)
  {
    for (int i = 0; i < kFrames; i += kChunk)
    {
      const size_t at = size_t(i);
      LoudnessMeter::ProcessBlocks(pre, &l[at], &r[at], preOut.data(), post, &pl[at], &pr[at], postOut.data(), kChunk);
      benchmark::DoNotOptimize(preOut.data());
      benchmark::DoNotOptimize(postOut.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  static const char* const kNames[] = {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"};
  state.SetLabel(std::string(kNames[mode]) + (wide ? ", 4 lanes" : ", 2 lanes"));
  LoudnessMeter::UseWideLanes(true);
}

// Second argument: 1 lets the EBU modes use four lanes where the processor has them, 0 keeps the baseline's two.
BENCHMARK(BM_MeterPairInChunks)->ArgsProduct({benchmark::CreateDenseRange(kMeterRMSSummed, kMeterMaxPeak, 1), {0, 1}});

} // namespace

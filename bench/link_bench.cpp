// Cost of host automation writing an instance's Link ID or Plugin Mode again with the value it holds (what a host
// does every block while the lane is flat), as the audio thread pays it through SetParameter. Argument 0: nothing
// else runs; 1: another thread keeps moving two other instances between Link IDs and roles, so the registry mutex
// is busy the whole time. A write that changes nothing takes no lock, so both should cost about the same.

#include "bench/TemporaryHome.h"
#include "engine/ZANIQ.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace
{

void Move(ZANIQ& z, int idx, double value)
{
  z.GetParam(idx)->Set(value);
  z.OnParamChange(idx, plugin::kUI, -1);
}

void BM_UnchangedLinkWrite(benchmark::State& state)
{
  TemporaryHome home;
  auto steady = std::make_unique<ZANIQ>(plugin::InstanceInfo{});
  auto first = std::make_unique<ZANIQ>(plugin::InstanceInfo{});
  auto second = std::make_unique<ZANIQ>(plugin::InstanceInfo{});
  Move(*steady, ZANIQ::kLinkID, 7);

  std::atomic<bool> stop{false};
  std::thread mover;
  if (state.range(0) != 0)
    mover = std::thread([&] {
      for (int i = 0; !stop.load(std::memory_order_relaxed); ++i)
      {
        Move(*first, ZANIQ::kLinkID, i % 2 ? 7 : 8);
        Move(*second, ZANIQ::kPluginMode, i % 2);
      }
    });

  int i = 0;
  for (auto _ : state)
  {
    const bool id = (i++ & 1) != 0;
    benchmark::DoNotOptimize(steady->SetParameter(id ? ZANIQ::kLinkID : ZANIQ::kPluginMode, kAudioUnitScope_Global,
                                                  0, id ? 7.0f : float(kLinkSender), 0));
  }
  stop.store(true);
  if (mover.joinable())
    mover.join();
  if (steady->GetLinkPairing() != LinkPairing{kLinkSender, 7})
    state.SkipWithError("the steady instance moved");
}
BENCHMARK(BM_UnchangedLinkWrite)->Arg(0)->Arg(1)->UseRealTime();

} // namespace

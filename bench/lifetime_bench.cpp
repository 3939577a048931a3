// The first scope a thread opens and closes (the audio thread does so in every render), on a process where no
// other thread ever opened one and after hundreds of threads, many at once, opened and closed theirs and ended.

#include "framework/Lifetime.h"

#include <benchmark/benchmark.h>

#include <barrier>
#include <thread>
#include <vector>

namespace {

using plugin::Lifetime;

void Churn()
{
  static bool done = false;
  if (done) return;
  done = true;
  constexpr int kAtOnce = 300, kWaves = 4;
  Lifetime shared;
  for (int wave = 0; wave < kWaves; ++wave)
  {
    std::barrier allInside(kAtOnce);
    std::vector<std::thread> threads;
    for (int i = 0; i < kAtOnce; ++i)
      threads.emplace_back([&] {
        Lifetime::Scope scope(shared);
        allInside.arrive_and_wait();
      });
    for (std::thread& t : threads) t.join();
  }
}

// Arg 0: fresh; 1: after the churn.
void BM_FirstScope(benchmark::State& state)
{
  if (state.range(0)) Churn();
  Lifetime lifetime;
  for (auto _ : state)
  {
    Lifetime::Scope scope(lifetime);
    benchmark::DoNotOptimize(&scope);
  }
}
BENCHMARK(BM_FirstScope)->Arg(0)->Arg(1);

// A scope inside four others of other objects, as in an editor call from a host call.
void BM_NestedScope(benchmark::State& state)
{
  Lifetime a, b, c, d, object;
  Lifetime::Scope sa(a), sb(b), sc(c), sd(d);
  for (auto _ : state)
  {
    Lifetime::Scope scope(object);
    benchmark::DoNotOptimize(&scope);
  }
}
BENCHMARK(BM_NestedScope);

} // namespace

// Figures for the model: the force loop per ordered pair, a whole step, and
// the placement of the largest count.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "bench/bench_util.h"
#include "model/forces.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "reference/plain_forces.h"

namespace tessaly {
namespace {

using bench::Placed;
using bench::SeededRandom;

// Ordered pairs per second, shown inverted as nanoseconds per pair.
void CountPairs(benchmark::State& state, std::int16_t n) {
  const double pairs = static_cast<double>(n) * (n - 1);
  state.counters["ns_per_pair"] = benchmark::Counter(
      pairs * static_cast<double>(state.iterations()) / 1e9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetComplexityN(n);
}

// The force loop as the program runs it: rows spread over all cores.
void BM_ComputeForces(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  for (auto _ : state) {
    ComputeForces(sim);
    benchmark::DoNotOptimize(sim.Force.data());
  }
  Simulation check = sim;
  reference::PlainForces(check);
  if (std::memcmp(check.Force.data(), sim.Force.data(), sizeof(Vec2) * (n + 1)) != 0) {
    state.SkipWithError("forces differ from the plain loop");
  }
  CountPairs(state, n);
}

// The plain loop, one thread and one pair at a time, for comparison.
void BM_ComputeForcesPlain(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  for (auto _ : state) {
    reference::PlainForces(sim);
    benchmark::DoNotOptimize(sim.Force.data());
  }
  CountPairs(state, n);
}

void ForceSizes(benchmark::internal::Benchmark* b) {
  b->Arg(40)->Arg(400)->Arg(2000)->Arg(8000);
  b->Unit(benchmark::kMicrosecond)->UseRealTime()->Complexity(benchmark::oNSquared);
}
BENCHMARK(BM_ComputeForces)->Apply(ForceSizes);
BENCHMARK(BM_ComputeForcesPlain)->Apply(ForceSizes);

void BM_AdvanceOneStep(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  for (auto _ : state) {
    AdvanceOneStep(sim);
    ExchangeLevels(sim);
    benchmark::DoNotOptimize(sim.Pos[sim.CurLevel].data());
  }
  if (!std::isfinite(sim.Pos[sim.CurLevel][1].X)) state.SkipWithError("non-finite position");
  state.SetComplexityN(n);
}
BENCHMARK(BM_AdvanceOneStep)->Arg(40)->Arg(400)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PlaceParticles(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim;
  InitSimulation(sim, n, 0.1);
  SeededRandom random(777);
  for (auto _ : state) {
    PlaceParticles(sim, random);
    benchmark::DoNotOptimize(sim.Pos[0].data());
  }
  if (!(sim.Pos[0][n].X >= 1.0 && sim.Pos[0][n].X < 9.0)) state.SkipWithError("bad placement");
}
BENCHMARK(BM_PlaceParticles)->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaly

BENCHMARK_MAIN();

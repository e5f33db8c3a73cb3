// Figures for the model, each beside the plain way measured in turns with it
// (bench_util.h): the force loop per ordered pair on every route, a whole
// step, the powers alone, the start-up check of the powers, the placement
// of the largest count, and the observation window's pair pass. The plain way is one thread, one ordered pair at a
// time, std::pow for every power.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "model/fast_powers.h"
#include "model/forces.h"
#include "model/observables.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "reference/plain_forces.h"
#include "reference/plain_observables.h"

namespace tessaly {
namespace {

using bench::Alongside;
using bench::Placed;
using bench::SeededRandom;

// Restores the program's own route when a benchmark has chosen another.
struct RouteFor {
  RouteFor(VectorSet set, PowerRoute powers) {
    SetVectorSet(set);
    SetPowerRoute(powers);
  }
  ~RouteFor() {
    SetVectorSet(BestVectorSet());
    SetPowerRoute(PowerRoute::kChecked);
  }
};

std::string RouteLabel() {
  return std::string(VectorSetName(CurrentVectorSet())) +
         (FastPowersInUse() ? ", fast powers" : ", std::pow");
}

void ForceLoop(benchmark::State& state, VectorSet set, PowerRoute powers) {
  if (set > BestVectorSet()) {
    state.SkipWithError("not on this processor");
    return;
  }
  const RouteFor route(set, powers);
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  Simulation plain = sim;
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state,
        [&] {
          ComputeForces(sim);
          benchmark::DoNotOptimize(sim.Force.data());
        },
        [&] {
          reference::PlainForces(plain);
          benchmark::DoNotOptimize(plain.Force.data());
        });
  }
  if (std::memcmp(plain.Force.data(), sim.Force.data(), sizeof(Vec2) * (n + 1)) != 0) {
    state.SkipWithError("forces differ from the plain loop");
  }
  const double pairs = static_cast<double>(n) * (n - 1);
  state.counters["per_pair"] = side.ProgramTimePer(pairs);
  state.counters["plain_per_pair"] = side.PlainTimePer(pairs);
  state.counters["gain"] = side.Gain();
  state.SetLabel(RouteLabel());
  state.SetComplexityN(n);
}

// The force loop as the program runs it: the widest vector set, fast powers
// once checked, rows spread over all cores.
void BM_ComputeForces(benchmark::State& state) {
  ForceLoop(state, BestVectorSet(), PowerRoute::kChecked);
}
BENCHMARK(BM_ComputeForces)
    ->Arg(40)->Arg(400)->Arg(2000)->Arg(8000)
    ->Unit(benchmark::kMicrosecond)->UseManualTime()->Complexity(benchmark::oNSquared);

// The narrower sets, as on processors without AVX-512 or AVX2, and the rows
// on all cores with std::pow for every power.
void BM_ComputeForcesAvx2(benchmark::State& state) {
  ForceLoop(state, VectorSet::kAvx2, PowerRoute::kChecked);
}
void BM_ComputeForcesSse2(benchmark::State& state) {
  ForceLoop(state, VectorSet::kBaseline, PowerRoute::kChecked);
}
void BM_ComputeForcesLibraryPowers(benchmark::State& state) {
  ForceLoop(state, BestVectorSet(), PowerRoute::kLibrary);
}
BENCHMARK(BM_ComputeForcesAvx2)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_ComputeForcesSse2)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_ComputeForcesLibraryPowers)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseManualTime();

// A whole step: forces, kick, rescaling, drift, walls, exchange.
void BM_AdvanceOneStep(benchmark::State& state) {
  const auto n = static_cast<std::int16_t>(state.range(0));
  Simulation sim = Placed(n);
  Simulation plain = sim;
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state,
        [&] {
          AdvanceOneStep(sim);
          ExchangeLevels(sim);
          benchmark::DoNotOptimize(sim.Pos[sim.CurLevel].data());
        },
        [&] {
          reference::PlainStep(plain);
          benchmark::DoNotOptimize(plain.Pos[plain.CurLevel].data());
        });
  }
  if (!std::isfinite(sim.Pos[sim.CurLevel][1].X)) state.SkipWithError("non-finite position");
  state.counters["steps"] = side.ProgramRate();
  state.counters["plain_steps"] = side.PlainRate();
  state.counters["gain"] = side.Gain();
}
BENCHMARK(BM_AdvanceOneStep)->Arg(40)->Arg(400)->Arg(2000)->Unit(benchmark::kMicrosecond)->UseManualTime();

// The powers alone, r^7 and r^13 of 4096 distances spread over the box,
// beside two calls of std::pow each.
void BM_FastPowers(benchmark::State& state) {
  constexpr std::size_t kCount = 4096;
  std::mt19937_64 engine(3);
  std::uniform_real_distribution<double> u(1.0, 14.0);
  std::vector<double> r(kCount), p7(kCount), p13(kCount), q7(kCount), q13(kCount);
  for (double& x : r) x = u(engine);
  const VectorSet set = BestVectorSet();
  Alongside side;
  for (auto _ : state) {
    side.Iteration(
        state,
        [&] {
          FastPowers(set, r.data(), kCount, p7.data(), p13.data());
          benchmark::DoNotOptimize(p13.data());
        },
        [&] {
          for (std::size_t k = 0; k < kCount; ++k) {
            q7[k] = std::pow(r[k], 7.0);
            q13[k] = std::pow(r[k], 13.0);
          }
          benchmark::DoNotOptimize(q13.data());
        });
  }
  if (p7 != q7 || p13 != q13) state.SkipWithError("powers differ from std::pow");
  state.counters["per_distance"] = side.ProgramTimePer(kCount);
  state.counters["plain_per_distance"] = side.PlainTimePer(kCount);
  state.counters["gain"] = side.Gain();
  state.SetLabel(VectorSetName(set));
}
BENCHMARK(BM_FastPowers)->UseManualTime();

// The start-up check of the fast powers, paid once per run of the program.
void BM_PowerCheck(benchmark::State& state) {
  const VectorSet set = BestVectorSet();
  bool agrees = true;
  for (auto _ : state) agrees = agrees && FastPowersAgreeWithLibrary(set);
  if (!agrees) state.SkipWithError("the fast powers differ from std::pow");
  state.SetLabel(VectorSetName(set));
}
BENCHMARK(BM_PowerCheck)->Unit(benchmark::kMicrosecond);

// The observation's pair pass: the potential energy with the pair counts of
// g(r), per unordered pair; in vectors on the widest set (the default), on
// SSE2 (the set's number as the second argument), and the plain way.
void CountPairs(benchmark::State& state) {
  const double pairs = 0.5 * state.range(0) * (state.range(0) - 1.0);
  state.counters["per_pair"] = benchmark::Counter(pairs * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate |
                                                      benchmark::Counter::kInvert);
}

void BM_PotentialEnergyAndPairCounts(benchmark::State& state) {
  const Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  const VectorSet was = CurrentVectorSet();
  SetVectorSet(static_cast<VectorSet>(state.range(1)));
  state.SetLabel(VectorSetName(CurrentVectorSet()));
  PairCounts counts{};
  for (auto _ : state) benchmark::DoNotOptimize(PotentialEnergy(sim, &counts));
  SetVectorSet(was);
  CountPairs(state);
}
BENCHMARK(BM_PotentialEnergyAndPairCounts)
    ->Args({2000, static_cast<int>(VectorSet::kAvx512)})
    ->Args({2000, static_cast<int>(VectorSet::kBaseline)})
    ->Unit(benchmark::kMillisecond);

void BM_PotentialEnergyAndPairCountsPlain(benchmark::State& state) {
  const Simulation sim = Placed(static_cast<std::int16_t>(state.range(0)));
  PairCounts counts{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(reference::PlainPotentialEnergy(sim, &counts));
  }
  CountPairs(state);
}
BENCHMARK(BM_PotentialEnergyAndPairCountsPlain)->Arg(2000)->Unit(benchmark::kMillisecond);

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

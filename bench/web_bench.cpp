// The force loop and the whole step in WebAssembly, each measured in turns
// with the plain loop in the same run (one ordered pair at a time, two calls
// of the power function per pair), so that both see the machine in the same
// state. Run under node: node build-web/tessaly_bench.js, and without SIMD
// node build-web/tessaly_bench_scalar.js
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <thread>
#include <vector>

#include "bench/arrangement.h"
#include "model/forces.h"
#include "model/placement.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "platform/random.h"
#include "reference/plain_forces.h"

namespace {

using namespace tessaly;
using bench::Placed;
using bench::SecondsOf;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median seconds of one call of `ours` and of `plain`, taken in turns.
template <class Ours, class Plain>
std::pair<double, double> InTurns(int rounds, int calls, Ours ours, Plain plain) {
  std::vector<double> a, b;
  for (int k = 0; k < rounds; ++k) {
    a.push_back(SecondsOf([&] { for (int c = 0; c < calls; ++c) ours(); }) / calls);
    b.push_back(SecondsOf([&] { for (int c = 0; c < calls; ++c) plain(); }) / calls);
  }
  return {Median(a), Median(b)};
}

}  // namespace

int main() {
  // The start-up check, as in the page: the fast powers only where they give
  // the power function's bits.
  std::printf("Force kernel: %s\n", VectorSetName(CurrentVectorSet()));
  std::printf("Fast powers: %s\n\n", FastPowersInUse() ? "in use (they agree with this pow)"
                                                        : "NOT in use (this pow differs)");
  // One thread, then every core (up to 8), as the page steps where its
  // memory may be shared; the pool the module starts has one thread fewer.
  // The module without SIMD has no threads: its force loop stays on one.
#ifdef TESSALY_THREADS
  const int all = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 8u));
#else
  const int all = 1;
#endif
  std::vector<std::pair<std::int16_t, int>> cases{{40, 1}, {400, 1}, {2000, 1}};
  if (all > 1) cases.insert(cases.end(), {{400, all}, {2000, all}});
  std::printf("| Benchmark | Tessaly | Plain | Gain |\n|---|---|---|---|\n");
  for (const auto& [n, threads] : cases) {
    SetForceThreads(threads);
    Simulation ours = Placed(n);
    Simulation plain = Placed(n);
    const int calls = n <= 40 ? 2000 : n <= 400 ? 20 : 1;
    const auto [t, p] = InTurns(7, calls, [&] { ComputeForces(ours); },
                                [&] { reference::PlainForces(plain); });
    if (std::memcmp(ours.Force.data(), plain.Force.data(), ours.Force.size() * sizeof(Vec2)) != 0) {
      std::printf("forces differ from the plain loop's at N = %d\n", n);
      return 1;
    }
    const double pairs = static_cast<double>(n) * (n - 1);
    std::printf("| Force loop, N = %d, %d thread%s | %.2f ns per pair | %.2f ns per pair | %.1fx |\n",
                n, ForceThreads(), ForceThreads() > 1 ? "s" : "", t / pairs * 1e9,
                p / pairs * 1e9, p / t);
  }
  SetForceThreads(all);
  Simulation ours = Placed(1000);
  Simulation plain = Placed(1000);
  const auto [t, p] = InTurns(5, 2, [&] {
    AdvanceOneStep(ours);
    ExchangeLevels(ours);
  }, [&] { reference::PlainStep(plain); });
  std::printf("| Whole step, N = 1000, %d thread(s) | %.1f steps/s | %.1f steps/s | %.1fx |\n", all, 1 / t, 1 / p,
              p / t);
  return 0;
}

#include "model/forces.h"

#ifdef _OPENMP
#include <omp.h>
#else
// Without OpenMP (WebAssembly) the force loop runs on one thread.
static int omp_get_max_threads() { return 1; }
static int omp_get_thread_num() { return 0; }
#endif

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/fast_powers.h"
#include "model/force_kernels.h"
#include "platform/fp_check.h"
#include "platform/vector_state.h"

namespace tessaly {
namespace {

// Below this many particles the threads' start-up costs more than it saves.
constexpr std::int32_t kParallelFrom = 100;

std::atomic<PowerRoute> g_route{PowerRoute::kChecked};
std::atomic<int> g_set{-1};  // -1: BestVectorSet()

// ----- The threads --------------------------------------------------------

// How many threads the force loop runs on. Blocks of rows are handed out as
// threads come free, so a thread slowed by another program on its core simply
// takes fewer. But a thread that gets no core at all (all of them busy with
// other programs) leaves the others waiting for it at the end of the loop,
// spinning, perhaps on the very core it waits for: the step then takes
// several times as long as on one thread. A thread that took less than half
// its fair share of the blocks is left out of the next kLeftOutFor calls;
// then the whole team is tried again. Which thread sums a row never changes
// its bits.
class Team {
 public:
  static constexpr int kLeftOutFor = 64;

  [[nodiscard]] int SizeForNextCall() const {
    const int full = omp_get_max_threads();
    const int size = calls_left_.load(std::memory_order_relaxed) > 0
                         ? reduced_.load(std::memory_order_relaxed)
                         : full;
    return size < full ? size : full;
  }

  // Blocks taken by each thread of the last call, `blocks` in all.
  void Observe(const std::vector<int>& taken, int blocks) {
    const int size = static_cast<int>(taken.size());
    int starved = 0;
    for (int t : taken) starved += 2 * t * size < blocks ? 1 : 0;
    if (starved > 0 && size > 1) {
      reduced_.store(size - starved > 1 ? size - starved : 1, std::memory_order_relaxed);
      calls_left_.store(kLeftOutFor, std::memory_order_relaxed);
    } else if (calls_left_.load(std::memory_order_relaxed) > 0) {
      calls_left_.fetch_sub(1, std::memory_order_relaxed);
    }
  }

 private:
  std::atomic<int> reduced_{1};
  std::atomic<int> calls_left_{0};
};

Team g_team;

// Calls rows(first, last) for the blocks of `block` rows that make up rows
// 1..n, on as many threads as pays, until `stop` is set. make_rows() is
// called once per thread for its own `rows`. Returns the error flags raised
// on any thread.
template <class MakeRows>
int RowsOnTeam(std::int32_t n, std::int32_t block, const StopFlag* stop, MakeRows make_rows) {
  const std::int32_t blocks = (n + block - 1) / block;
  const int size = n < kParallelFrom ? 1 : g_team.SizeForNextCall();
  if (size <= 1) {
    auto rows = make_rows();
    for (std::int32_t b = 0; b < blocks; ++b) {
      if (StopRequested(stop)) break;
      rows(1 + b * block, (b + 1) * block < n ? (b + 1) * block : n);
    }
    if (n >= kParallelFrom) g_team.Observe({blocks}, blocks);  // counts down to the next try
    return PendingFpErrors();
  }

  // Floating-point flags are per thread: every thread clears its own and the
  // raised ones are gathered after the join.
  int flags = 0;
  std::vector<int> taken(static_cast<std::size_t>(size), 0);
#pragma omp parallel num_threads(size) reduction(| : flags)
  {
    ClearUpperVectorState();
    ClearFpErrors();
    auto rows = make_rows();
    int mine = 0;
#pragma omp for schedule(dynamic, 1)
    for (std::int32_t b = 0; b < blocks; ++b) {
      if (StopRequested(stop)) continue;  // an OpenMP loop cannot break
      rows(1 + b * block, (b + 1) * block < n ? (b + 1) * block : n);
      ++mine;
    }
    taken[static_cast<std::size_t>(omp_get_thread_num())] = mine;
    flags |= PendingFpErrors();
  }
  g_team.Observe(taken, blocks);
  return flags;
}

// ----- std::pow for every power: the plain loop, a row at a time ----------

struct ForceInputs {
  const Vec2* pos;
  double coef_a;
  double coef_b;
};

// Adds the force of particles first..last on particle i onto `sum`, in
// ascending order of j. Each term is added to the running sum as it comes, so
// the bits depend only on the order of j, not on which thread computes the row.
inline void AddPairs(const ForceInputs& in, const Vec2 pi, const double* dist,
                     std::int32_t first, std::int32_t last, Vec2& sum) {
  for (std::int32_t j = first; j <= last; ++j) {
    const double dx = in.pos[j].X - pi.X;
    const double dy = in.pos[j].Y - pi.Y;
    const double r = dist[j];
    const double f = in.coef_a / std::pow(r, 13.0) + in.coef_b / std::pow(r, 7.0);
    sum.X = (f * dx) / r + sum.X;
    sum.Y = (f * dy) / r + sum.Y;
  }
}

// The total force on particle i: all j != i, ascending. The clamped distances
// of the whole row are worked out first, in a loop the compiler vectorises
// (the root and the clamp are exact operations, so the bits are the same as
// one pair at a time); the two powers then dominate what is left.
inline Vec2 RowForce(const ForceInputs& in, std::int32_t i, std::int32_t n,
                     double* dist) {
  const Vec2 pi = in.pos[i];
  for (std::int32_t j = 1; j <= n; ++j) {
    const double dx = in.pos[j].X - pi.X;
    const double dy = in.pos[j].Y - pi.Y;
    const double r = std::sqrt(dx * dx + dy * dy);
    dist[j] = r < 1.0 ? 1.0 : r;
  }
  Vec2 sum{};
  AddPairs(in, pi, dist, 1, i - 1, sum);
  AddPairs(in, pi, dist, i + 1, n, sum);
  return sum;
}

int LibraryPowerForces(Simulation& sim, const StopFlag* stop) {
  const std::int32_t n = sim.ParticleCount;
  const ForceInputs in{sim.Pos[sim.CurLevel].data(), sim.CoefA, sim.CoefB};
  Vec2* force = sim.Force.data();
  return RowsOnTeam(n, 8, stop, [&] {
    return [&, dist = std::vector<double>(static_cast<std::size_t>(n) + 1)](
               std::int32_t first, std::int32_t last) mutable {
      for (std::int32_t i = first; i <= last; ++i) force[i] = RowForce(in, i, n, dist.data());
    };
  });
}

// ----- The fast powers: rows side by side in vectors ----------------------

const kernels::ForceKernel& KernelFor(VectorSet set) {
  static const kernels::ForceKernel kKernels[] = {
      {"SSE2", kernels::kBaselineRowsPerBlock, kernels::RowsBaseline, kernels::PowersBaseline},
      {"AVX2", kernels::kAvx2RowsPerBlock, kernels::RowsAvx2, kernels::PowersAvx2},
      {"AVX-512", kernels::kAvx512RowsPerBlock, kernels::RowsAvx512, kernels::PowersAvx512},
  };
  return kKernels[static_cast<int>(set)];
}

int FastPowerForces(Simulation& sim, const kernels::ForceKernel& kernel, const StopFlag* stop) {
  static_assert(sizeof(Vec2) == 2 * sizeof(double) && offsetof(Vec2, X) == 0 &&
                offsetof(Vec2, Y) == sizeof(double));
  const kernels::ForceArgs args{reinterpret_cast<const double*>(sim.Pos[sim.CurLevel].data()),
                                sim.ParticleCount, sim.CoefA, sim.CoefB,
                                reinterpret_cast<double*>(sim.Force.data())};
  return RowsOnTeam(sim.ParticleCount, kernel.rows_per_block, stop, [&] {
    return [&](std::int32_t first, std::int32_t last) { kernel.rows(args, first, last); };
  });
}

bool AgreesOnce(VectorSet set) {
  // Once per set and process; a function-local static is thread-safe.
  switch (set) {
    case VectorSet::kBaseline: {
      static const bool agrees = FastPowersAgreeWithLibrary(VectorSet::kBaseline);
      return agrees;
    }
    case VectorSet::kAvx2: {
      static const bool agrees = FastPowersAgreeWithLibrary(VectorSet::kAvx2);
      return agrees;
    }
    case VectorSet::kAvx512: {
      static const bool agrees = FastPowersAgreeWithLibrary(VectorSet::kAvx512);
      return agrees;
    }
  }
  return false;
}

}  // namespace

VectorSet BestVectorSet() {
  static const VectorSet best = [] {
#if !defined(__x86_64__) && !defined(__i386__)
    // WebAssembly: the SSE2 kernel, translated to its 128-bit vectors.
    return VectorSet::kBaseline;
#else
    // __builtin_cpu_supports also checks that the operating system saves the
    // wider registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return VectorSet::kAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VectorSet::kAvx2;
    return VectorSet::kBaseline;
#endif
  }();
  return best;
}

void SetPowerRoute(PowerRoute route) { g_route.store(route); }

void SetVectorSet(VectorSet set) {
  const int wanted = static_cast<int>(set);
  const int best = static_cast<int>(BestVectorSet());
  g_set.store(wanted < best ? wanted : best);
}

PowerRoute CurrentPowerRoute() { return g_route.load(); }

VectorSet CurrentVectorSet() {
  const int set = g_set.load();
  return set < 0 ? BestVectorSet() : static_cast<VectorSet>(set);
}

void FastPowers(VectorSet set, const double* r, std::size_t count, double* p7, double* p13) {
  const int wanted = static_cast<int>(set);
  const int best = static_cast<int>(BestVectorSet());
  KernelFor(static_cast<VectorSet>(wanted < best ? wanted : best)).powers(r, count, p7, p13);
}

bool FastPowersInUse() {
  switch (CurrentPowerRoute()) {
    case PowerRoute::kChecked:
      return AgreesOnce(CurrentVectorSet());
    case PowerRoute::kFast:
      return true;
    case PowerRoute::kLibrary:
      return false;
  }
  return false;
}

const char* VectorSetName(VectorSet set) { return KernelFor(set).name; }

void ComputeForces(Simulation& sim, const StopFlag* stop) {
  // Whatever ran before on this thread may have left the vector registers
  // dirty (Qt's fill, behind every clearing of the picture, does; the window
  // steps on a thread of its own, but nothing promises that every caller
  // does). The baseline code of the step, here and in the passes of
  // time_step.cpp that follow, would pay for it on every instruction; the
  // kernels for the wider sets return with the registers clean.
  ClearUpperVectorState();
  const VectorSet set = CurrentVectorSet();
  const bool fast = FastPowersInUse();

  // Rows are independent: each Force[i] is summed by exactly one thread over
  // j = 1..N in ascending order, so any number of threads gives the same bits.
  ClearFpErrors();
  int flags = fast ? FastPowerForces(sim, KernelFor(set), stop) : LibraryPowerForces(sim, stop);
  // Where there are no flags (WebAssembly), the forces themselves tell; 0 elsewhere.
  flags |= FpErrorsOfResults(reinterpret_cast<const double*>(sim.Force.data()), sim.Force.size() * 2);
  ThrowIfFpError(flags);
}

}  // namespace tessaly

#include "model/forces.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "model/fast_powers.h"
#include "model/force_kernels.h"
#include "platform/fp_check.h"
#include "platform/vector_state.h"

#ifdef _OPENMP
#include <omp.h>
#elif defined(__EMSCRIPTEN_PTHREADS__)
#include <emscripten/threading.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#define TESSALY_HELPER_THREADS 1
#endif

namespace tessaly {
namespace {

std::atomic<int> g_threads_wanted{0};  // 0: the default
std::atomic<int> g_threads_at_work{0};

// The tiles run on OpenMP's team on the desktop, on helper threads of our
// own in a WebAssembly build with threads; with neither, on the calling
// thread alone, in the same order.
int MaxThreads() {
  const int wanted = g_threads_wanted.load(std::memory_order_relaxed);
#ifdef _OPENMP
  const int all = omp_get_max_threads();
  return wanted > 0 && wanted < all ? wanted : all;
#elif defined(TESSALY_HELPER_THREADS)
  return wanted > 0 ? wanted : 1;
#else
  (void)wanted;
  return 1;
#endif
}

#ifdef TESSALY_HELPER_THREADS
// Threads started once, on the first call that needs them, and kept waiting
// for the next: a browser starts a thread in milliseconds, as long as a step.
// They are never ended (the process's end takes them with it).
class Helpers {
 public:
  // Runs job(0) on the calling thread and job(1) .. job(size - 1) on helper
  // threads; returns once every one has returned.
  void Run(int size, const std::function<void(int)>& job) {
    while (static_cast<int>(started_) < size - 1) {
      const int k = static_cast<int>(++started_);
      std::thread([this, k] { Serve(k); }).detach();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = &job;
      size_ = size;
      running_ = size - 1;
      ++call_;
    }
    wake_.notify_all();
    job(0);
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return running_ == 0; });
  }

 private:
  void Serve(int k) {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return call_ != seen; });
      seen = call_;
      if (k >= size_) continue;
      const std::function<void(int)>* job = job_;
      lock.unlock();
      (*job)(k);
      lock.lock();
      if (--running_ == 0) finished_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  unsigned started_ = 0;  // touched by the calling thread only
  const std::function<void(int)>* job_ = nullptr;
  unsigned call_ = 0;
  int size_ = 0;
  int running_ = 0;
};

Helpers& TheHelpers() {
  static Helpers* helpers = new Helpers;  // never destroyed: its threads wait on it
  return *helpers;
}
#endif

// A thread waiting for the tiles before its own. A browser's threads do not
// give their core away by yielding, and on a busy machine the thread they
// wait for may need that very core: they sleep a tenth of a millisecond at a
// time on the counter they wait for instead.
void Pause([[maybe_unused]] const std::atomic<std::int32_t>& counter,
           [[maybe_unused]] std::int32_t seen) {
#ifdef TESSALY_HELPER_THREADS
  emscripten_futex_wait(const_cast<std::atomic<std::int32_t>*>(&counter),
                        static_cast<std::uint32_t>(seen), 0.1);
#else
  std::this_thread::yield();
#endif
}

// Below this many particles the threads' start-up costs more than it saves.
constexpr std::int32_t kParallelFrom = 100;

std::atomic<PowerRoute> g_route{PowerRoute::kChecked};
std::atomic<int> g_set{-1};  // -1: BestVectorSet()

// ----- The threads --------------------------------------------------------

// How many threads the force loop runs on. Tiles are handed out as
// threads come free, so a thread slowed by another program on its core simply
// takes fewer. But a thread that gets no core at all (all of them busy with
// other programs) leaves the others waiting for it at the end of the loop,
// spinning, perhaps on the very core it waits for: the step then takes
// several times as long as on one thread. A thread that took less than a
// quarter of its fair share of the tiles is left out of the next kLeftOutFor calls;
// then the whole team is tried again. Which thread sums a row never changes
// its bits.
class Team {
 public:
  static constexpr int kLeftOutFor = 64;

  [[nodiscard]] int SizeForNextCall() const {
    const int full = MaxThreads();
    const int size = calls_left_.load(std::memory_order_relaxed) > 0
                         ? reduced_.load(std::memory_order_relaxed)
                         : full;
    return size < full ? size : full;
  }

  // Tiles taken by each thread of the last call, `blocks` in all.
  void Observe(const std::vector<int>& taken, int blocks) {
    const int size = static_cast<int>(taken.size());
    int starved = 0;
    for (int t : taken) starved += 4 * t * size < blocks ? 1 : 0;
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

// ----- The schedule: every pair once, every sum in ascending order ---------
//
// The rows and columns 1..N are cut into blocks 0..B-1 of `block` each, and
// tile (a, b), a <= b, holds the pairs of block a with block b (on the
// diagonal, the pairs i < j of block a). A tile adds each term onto the sum
// of its row and takes it off the sum of its column, so the sums of block a
// meet the tiles (c, a) for c < a, then (a, a), then (a, b) for b > a. In
// that order they take their terms from the columns in ascending order: from
// block c < a through tile (c, a), from their own block through (a, a), from
// block b > a through (a, b); and each tile adds its columns (or rows) in
// ascending order. Any order of the tiles in which every tile comes after
// the tiles before it that share a block keeps every sum in that order. The
// lexicographic order is one; so is the order of the waves a + b = 0, 1, 2,
// ..., since tile (a, b) needs only (a - 1, b) and (a, b - 1) to be done,
// both of the wave before. The threads take the tiles in the order of the
// waves, each tile once the tiles before it that touch its two blocks are
// done: the tiles of one wave touch different blocks and run side by side.
//
// One evaluation serves both sums because the term of j on i is exactly the
// negative of the term of i on j: x_j - x_i = -(x_i - x_j) (rounding to
// nearest is symmetric), so the squares, r, the clamp and f are the same
// bits, and (f dx) / r changes only its sign. Force[j] - t is by definition
// Force[j] + (-t), and addition commutes, so the column's sum gets the very
// bits the plain loop adds. The one exception is a zero term from dx = 0
// (x - x is +0 both ways round, so the two terms are the same zero, and the
// negated one is the other zero), and zeros change nothing: every sum starts
// at +0, a sum of +0 and a zero of either sign is +0, and a zero added to
// any other number leaves it as it is; so no running sum is ever -0, and the
// sign of a zero term never shows. A NaN is an invalid operation, raised as an error
// either way.
//
// The tiles need nothing but the Force array itself, whose entries are the
// running sums: block b is cleared by the first tile that touches it, (0, b).
// The memory beyond the model's own arrays is one tile's chunk buffers per
// thread (some 20 kB on the stack), the list of tiles in the order of the
// waves (8 bytes a tile) and a counter per block.

// Tiles of at most this many rows; below it, one tile.
constexpr std::int32_t kLargestBlock = 256;
// Tiles shared among threads have at least this many rows: below it, the
// cost of handing out a tile weighs more than the blocks gained.
constexpr std::int32_t kSmallestSharedBlock = 48;
// Blocks aimed at when the tiles are shared among threads: the tiles of the
// first blocks wait for one another (tile (a, b) follows (a - 1, b) and
// (a, b - 1)), so the more blocks, the sooner every thread has work.
constexpr std::int32_t kBlocksAimedAt = 16;

// Rows per block: a multiple of 8, the rows the kernels take side by side.
std::int32_t BlockFor(std::int32_t n, int threads) {
  std::int32_t block = threads <= 1 ? kLargestBlock : (n + kBlocksAimedAt - 1) / kBlocksAimedAt;
  block = (block + 7) / 8 * 8;
  if (block < kSmallestSharedBlock) block = kSmallestSharedBlock;
  return block < kLargestBlock ? block : kLargestBlock;
}

// Calls tile(row_first, row_last, col_first, col_last) for every tile of
// rows 1..n, in an order that keeps every sum in ascending order, on as many
// threads as pays, until `stop` is set (checked before each tile). Returns
// the error flags raised on any thread.
template <class TileFunction>
int TilesOnTeam(std::int32_t n, Vec2* force, const StopFlag* stop, TileFunction tile) {
  const int size = n < kParallelFrom ? 1 : g_team.SizeForNextCall();
  const std::int32_t block = BlockFor(n, size);
  const std::int32_t blocks = (n + block - 1) / block;
  const int tiles = static_cast<int>(blocks) * (blocks + 1) / 2;
  auto run = [&](std::int32_t a, std::int32_t b) {
    const std::int32_t a_last = (a + 1) * block < n ? (a + 1) * block : n;
    const std::int32_t b_last = (b + 1) * block < n ? (b + 1) * block : n;
    if (a == 0) {
      for (std::int32_t j = 1 + b * block; j <= b_last; ++j) force[j] = Vec2{0.0, 0.0};
    }
    tile(1 + a * block, a_last, 1 + b * block, b_last);
  };

  if (size <= 1) {
    g_threads_at_work.fetch_add(1, std::memory_order_relaxed);
    for (std::int32_t a = 0; a < blocks && !StopRequested(stop); ++a) {
      for (std::int32_t b = a; b < blocks && !StopRequested(stop); ++b) run(a, b);
    }
    g_threads_at_work.fetch_sub(1, std::memory_order_release);
    if (n >= kParallelFrom) g_team.Observe({tiles}, tiles);  // counts down to the next try
    return PendingFpErrors();
  }

  // The tiles in the order of the waves; the threads take them in that
  // order. Tile (a, b) is the b-th tile to touch block a and the a-th to
  // touch block b (counting from 0), so it may start once done[a] = b and
  // done[b] = a, done[x] counting the tiles that have touched block x. The
  // first tile not yet finished has all the tiles before it done, so some
  // thread can always go on.
  std::vector<std::pair<std::int32_t, std::int32_t>> order;
  order.reserve(static_cast<std::size_t>(tiles));
  for (std::int32_t s = 0; s <= 2 * (blocks - 1); ++s) {
    for (std::int32_t a = s < blocks ? 0 : s - (blocks - 1); a <= s / 2; ++a) {
      order.emplace_back(a, s - a);
    }
  }
  std::vector<std::atomic<std::int32_t>> done(static_cast<std::size_t>(blocks));
  for (auto& d : done) d.store(0, std::memory_order_relaxed);
  std::atomic<int> next{0};
  std::vector<int> taken(static_cast<std::size_t>(size), 0);

  // What each thread of the team does, OpenMP's or the helpers: take the
  // next tile in the order, wait until the tiles before it that touch its
  // blocks are done, work it out; until none are left or the step is
  // stopped. Floating-point flags are per thread: every thread clears its
  // own, and hands back the ones raised.
  auto member = [&](int thread) {
    g_threads_at_work.fetch_add(1, std::memory_order_relaxed);
    ClearUpperVectorState();
    ClearFpErrors();
    int mine = 0;
    for (int k = next.fetch_add(1, std::memory_order_relaxed); k < tiles;
         k = next.fetch_add(1, std::memory_order_relaxed)) {
      const std::int32_t a = order[static_cast<std::size_t>(k)].first;
      const std::int32_t b = order[static_cast<std::size_t>(k)].second;
      auto ready = [&] {
        return done[static_cast<std::size_t>(a)].load(std::memory_order_acquire) == b &&
               done[static_cast<std::size_t>(b)].load(std::memory_order_acquire) == a;
      };
      // The tiles it waits for are being worked out on other threads; when
      // the step is stopped, nobody finishes them.
      for (int spins = 0; !ready() && !StopRequested(stop); ++spins) {
        if (spins < 64) continue;
        const auto& waited = done[static_cast<std::size_t>(a)].load(std::memory_order_relaxed) != b
                                 ? done[static_cast<std::size_t>(a)]
                                 : done[static_cast<std::size_t>(b)];
        Pause(waited, waited.load(std::memory_order_relaxed));
      }
      if (StopRequested(stop)) break;
      run(a, b);
      ++mine;
      done[static_cast<std::size_t>(a)].fetch_add(1, std::memory_order_release);
      if (b != a) done[static_cast<std::size_t>(b)].fetch_add(1, std::memory_order_release);
    }
    taken[static_cast<std::size_t>(thread)] = mine;
    const int raised = PendingFpErrors();
    g_threads_at_work.fetch_sub(1, std::memory_order_release);
    return raised;
  };

  int flags = 0;
#ifdef _OPENMP
#pragma omp parallel num_threads(size) reduction(| : flags)
  flags |= member(omp_get_thread_num());
#elif defined(TESSALY_HELPER_THREADS)
  std::atomic<int> raised{0};
  TheHelpers().Run(size, [&](int thread) { raised.fetch_or(member(thread)); });
  flags = raised.load();
#else
  flags = member(0);  // size is 1 here; never reached
#endif
  // A stopped call tells nothing of how the threads fared: its threads left
  // their tiles early, all of them.
  if (!StopRequested(stop)) g_team.Observe(taken, tiles);
  return flags;
}

// ----- std::pow for every power: one pair at a time ------------------------

struct ForceInputs {
  const Vec2* pos;
  double coef_a;
  double coef_b;
};

// The plain loop's arithmetic on the tile's pairs, in the tile's order. The
// clamped distances of a row are worked out first, in a loop the compiler
// vectorises (the root and the clamp are exact operations, so the bits are
// those of one pair at a time); the two powers then dominate what is left.
void LibraryPowerTile(const ForceInputs& in, Vec2* force, std::int32_t row_first,
                      std::int32_t row_last, std::int32_t col_first, std::int32_t col_last) {
  double dist[kLargestBlock];
  const bool diagonal = col_first == row_first;
  for (std::int32_t i = row_first; i <= row_last; ++i) {
    const Vec2 pi = in.pos[i];
    const std::int32_t first = diagonal ? i + 1 : col_first;
    for (std::int32_t j = first; j <= col_last; ++j) {
      const double dx = in.pos[j].X - pi.X;
      const double dy = in.pos[j].Y - pi.Y;
      const double r = std::sqrt(dx * dx + dy * dy);
      dist[j - first] = r < 1.0 ? 1.0 : r;
    }
    Vec2 sum = force[i];
    for (std::int32_t j = first; j <= col_last; ++j) {
      const double dx = in.pos[j].X - pi.X;
      const double dy = in.pos[j].Y - pi.Y;
      const double r = dist[j - first];
      const double f = in.coef_a / std::pow(r, 13.0) + in.coef_b / std::pow(r, 7.0);
      const double tx = (f * dx) / r;
      const double ty = (f * dy) / r;
      sum.X = tx + sum.X;
      sum.Y = ty + sum.Y;
      force[j].X = force[j].X - tx;
      force[j].Y = force[j].Y - ty;
    }
    force[i] = sum;
  }
}

int LibraryPowerForces(Simulation& sim, const StopFlag* stop) {
  const ForceInputs in{sim.Pos[sim.CurLevel].data(), sim.CoefA, sim.CoefB};
  Vec2* force = sim.Force.data();
  return TilesOnTeam(sim.ParticleCount, force, stop,
                     [&](std::int32_t row_first, std::int32_t row_last, std::int32_t col_first,
                         std::int32_t col_last) {
                       LibraryPowerTile(in, force, row_first, row_last, col_first, col_last);
                     });
}

// ----- The fast powers: rows side by side in vectors ----------------------

const kernels::ForceKernel& KernelFor(VectorSet set) {
  static const kernels::ForceKernel kKernels[] = {
      {"scalar", kernels::TileScalar, kernels::PowersScalar},
#if !defined(TESSALY_SCALAR_ONLY)
      {"SSE2", kernels::TileBaseline, kernels::PowersBaseline},
#endif
#if defined(__x86_64__)
      {"AVX2", kernels::TileAvx2, kernels::PowersAvx2},
      {"AVX-512", kernels::TileAvx512, kernels::PowersAvx512},
#endif
  };
  // Sets this build has no kernel for are above BestVectorSet(), never asked for.
  const auto k = static_cast<std::size_t>(set);
  return kKernels[k < std::size(kKernels) ? k : 0];
}

int FastPowerForces(Simulation& sim, const kernels::ForceKernel& kernel, const StopFlag* stop) {
  static_assert(sizeof(Vec2) == 2 * sizeof(double) && offsetof(Vec2, X) == 0 &&
                offsetof(Vec2, Y) == sizeof(double));
  const kernels::ForceArgs args{reinterpret_cast<const double*>(sim.Pos[sim.CurLevel].data()),
                                sim.ParticleCount, sim.CoefA, sim.CoefB,
                                reinterpret_cast<double*>(sim.Force.data())};
  return TilesOnTeam(sim.ParticleCount, sim.Force.data(), stop,
                     [&](std::int32_t row_first, std::int32_t row_last, std::int32_t col_first,
                         std::int32_t col_last) {
                       kernel.tile(args, row_first, row_last, col_first, col_last);
                     });
}

bool AgreesOnce(VectorSet set) {
  // Once per set and process; a function-local static is thread-safe.
  switch (set) {
    case VectorSet::kScalar: {
      static const bool agrees = FastPowersAgreeWithLibrary(VectorSet::kScalar);
      return agrees;
    }
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
#if defined(__x86_64__)
  static const VectorSet best = [] {
    // __builtin_cpu_supports also checks that the operating system saves the
    // wider registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return VectorSet::kAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VectorSet::kAvx2;
    return VectorSet::kBaseline;
  }();
  return best;
#elif defined(TESSALY_SCALAR_ONLY)
  return VectorSet::kScalar;  // a WebAssembly module without SIMD
#else
  return VectorSet::kBaseline;  // 128-bit vectors only
#endif
}

void SetPowerRoute(PowerRoute route) { g_route.store(route); }

void SetForceThreads(int threads) { g_threads_wanted.store(threads > 0 ? threads : 0); }

int ForceThreads() { return MaxThreads(); }

const std::atomic<int>& ForceThreadsAtWork() { return g_threads_at_work; }

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

  // Each Force[i] is summed over j = 1..N in ascending order however the
  // tiles fall to the threads, so any number of threads gives the same bits.
  ClearFpErrors();
  int flags = fast ? FastPowerForces(sim, KernelFor(set), stop) : LibraryPowerForces(sim, stop);
  // Where there are no flags (WebAssembly), the forces themselves tell; 0 elsewhere.
  flags |= FpErrorsOfResults(reinterpret_cast<const double*>(sim.Force.data()), sim.Force.size() * 2);
  ThrowIfFpError(flags);
}

}  // namespace tessaly

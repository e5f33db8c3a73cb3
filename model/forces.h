// Lennard-Jones pair forces.
#pragma once

#include <atomic>

#include "model/simulation.h"
#include "model/stop_flag.h"

namespace tessaly {

// Fills Force[1..N] from the positions of level CurLevel; reads nothing else
// but CoefA and CoefB and writes nothing else. For every ordered pair (i, j),
// j != i, with r the distance clamped to at least 1,
//   f = CoefA / r^13 + CoefB / r^7   (negative pushes i away from j),
// and Force[i] accumulates (f dx) / r, (f dy) / r over j = 1..N ascending.
// Below distance 1 the direction factor is not a unit vector, so close pairs
// repel more weakly and coincident particles not at all.
// An overflow, division by zero or invalid operation raises RuntimeError.
// Each unordered pair is worked out once and serves both particles' sums,
// with the same bits as the ordered pairs one at a time (forces.cpp says
// why). Once `stop` is set the tiles of pairs not yet begun are skipped:
// Force is left unfinished and the step is to be thrown away. The flag changes no bit of a
// step that runs to its end.
//
// The powers are those of std::pow, bit for bit, on every route below; the
// routes differ in speed only (model/fast_powers.h).
void ComputeForces(Simulation& sim, const StopFlag* stop = nullptr);

// How many threads ComputeForces runs its tiles on, from its next call on: at
// most `threads`, or with 0 the default: every core OpenMP counts on the
// desktop. A WebAssembly build with threads starts threads of its own (there
// the default is 1); one without runs on the calling thread only. Any count
// gives the same bits. Not to be changed while another thread computes
// forces.
void SetForceThreads(int threads);
[[nodiscard]] int ForceThreads();

// How many threads are working out forces right now; the count goes back
// to 0 once every thread of a stopped call has left its tiles.
[[nodiscard]] const std::atomic<int>& ForceThreadsAtWork();

// Where ComputeForces takes r^7 and r^13 from.
enum class PowerRoute {
  kChecked,  // the fast powers if they agreed with std::pow when first needed
             // (FastPowersAgreeWithLibrary, once per vector set), else std::pow;
             // the program's route
  kFast,     // the fast powers, unchecked: for the tests of the fast powers
  kLibrary,  // std::pow for every power
};

// Instruction sets the force loop is built for, narrowest first.
enum class VectorSet {
  kScalar,    // one lane: WebAssembly without SIMD, and the tests everywhere
  kBaseline,  // SSE2: every x86-64 processor; WebAssembly's 128-bit vectors
  kAvx2,      // AVX2 and FMA
  kAvx512,    // AVX-512F
};

// The widest set this processor (and its operating system) runs.
[[nodiscard]] VectorSet BestVectorSet();

// The settings ComputeForces uses from its next call on; the defaults are
// kChecked and BestVectorSet(). A set beyond BestVectorSet() is lowered to it.
// Not to be changed while another thread computes forces.
void SetPowerRoute(PowerRoute route);
void SetVectorSet(VectorSet set);
[[nodiscard]] PowerRoute CurrentPowerRoute();
[[nodiscard]] VectorSet CurrentVectorSet();

// Whether ComputeForces, called now, takes the fast powers; runs the start-up
// check first if the route asks for it and it has not yet run on the set.
[[nodiscard]] bool FastPowersInUse();

// "scalar", "SSE2", "AVX2" or "AVX-512".
[[nodiscard]] const char* VectorSetName(VectorSet set);

}  // namespace tessaly

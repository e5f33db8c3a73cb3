// Lennard-Jones pair forces.
#pragma once

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
// Once `stop` is set the rows not yet begun are skipped: Force is left
// unfinished and the step is to be thrown away. The flag changes no bit of a
// step that runs to its end.
void ComputeForces(Simulation& sim, const StopFlag* stop = nullptr);

}  // namespace tessaly

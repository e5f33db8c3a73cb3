// Random initial arrangement of a freshly initialised simulation.
#pragma once

#include "model/simulation.h"

namespace tessaly {

class RandomSource;

// Seeds `random` from the clock, then places particles 1..N at level 0 (read
// and written whatever CurLevel is; right after InitSimulation they coincide).
// Each candidate takes two draws, X first: 8 u + 1, so both coordinates lie in
// [1, 9). A candidate is drawn again only while one of particles
// 1..min(p - 1, 10) lies closer than 1 to it (a squared distance of exactly 1
// is far enough); later particles may overlap each other. Velocities are left
// at rest.
void PlaceParticles(Simulation& sim, RandomSource& random);

}  // namespace tessaly

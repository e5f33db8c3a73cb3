// The state of a two-dimensional Lennard-Jones simulation in a 10 x 10 box.
//
// Units are reduced: lengths in particle diameters, mass 1, pair-force
// constants -48 and 24. World coordinates run from (0, 0) at the top left to
// (10, 10) at the bottom right, X to the right and Y downwards.
//
// Particles are numbered 1 to N; every table also has an entry 0 that nothing
// reads or writes. Positions and velocities have two time levels: a step reads
// level CurLevel and writes level NextLevel, and the caller exchanges the two
// (ExchangeLevels) when it has done with the state the step started from.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessaly {

struct Vec2 {
  double X = 0.0;  // horizontal component, grows to the right
  double Y = 0.0;  // vertical component, grows downwards
};

struct Simulation {
  std::int16_t ParticleCount = 0;           // N; particles are 1..N
  std::array<std::vector<Vec2>, 2> Pos;     // Pos[level][particle], positions
  std::vector<Vec2> Force;                  // Force[particle], total pair force
  std::array<std::vector<Vec2>, 2> Vel;     // Vel[level][particle], velocities
  double CoefA = 0.0;                       // coefficient of r^-13 in the force
  double CoefB = 0.0;                       // coefficient of r^-7 in the force
  double Mass = 0.0;                        // mass of every particle
  double TimeStep = 0.0;                    // time advanced by one step
  std::int16_t CurLevel = 0;                // level holding the current state
  std::int16_t NextLevel = 0;               // level the next step writes
};

// Raises RuntimeError(kOutOfRange) for a count no run can have (a negative
// one); does nothing otherwise. InitSimulation applies the same rule.
void CheckParticleCount(std::int16_t count);

// Resets the record for a new run of `count` particles with time step
// `timeStep` (stored as given, zero and negative included): fresh tables of
// count + 1 zero entries, CoefA -48, CoefB 24, Mass 1, CurLevel 0, NextLevel 1.
// A negative count raises RuntimeError(kOutOfRange) and leaves the record as
// it was; so does a failed allocation, with kOutOfMemory.
void InitSimulation(Simulation& sim, std::int16_t count, double timeStep);

}  // namespace tessaly

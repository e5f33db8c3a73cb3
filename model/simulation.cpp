#include "model/simulation.h"

#include <cstddef>
#include <new>
#include <utility>

#include "platform/errors.h"

namespace tessaly {

void CheckParticleCount(std::int16_t count) {
  if (count < 0) throw RuntimeError(ErrorKind::kOutOfRange);
}

void InitSimulation(Simulation& sim, std::int16_t count, double timeStep) {
  CheckParticleCount(count);

  // Build the new tables first, so that a failed allocation leaves the old
  // run untouched.
  const std::size_t entries = static_cast<std::size_t>(count) + 1;
  std::array<std::vector<Vec2>, 2> pos;
  std::vector<Vec2> force;
  std::array<std::vector<Vec2>, 2> vel;
  try {
    pos = {std::vector<Vec2>(entries), std::vector<Vec2>(entries)};
    force.assign(entries, Vec2{});
    vel = {std::vector<Vec2>(entries), std::vector<Vec2>(entries)};
  } catch (const std::bad_alloc&) {
    throw RuntimeError(ErrorKind::kOutOfMemory);
  }

  sim.ParticleCount = count;
  sim.TimeStep = timeStep;
  sim.Pos = std::move(pos);
  sim.Force = std::move(force);
  sim.Vel = std::move(vel);
  sim.CoefA = -48.0;
  sim.CoefB = 24.0;
  sim.Mass = 1.0;
  sim.NextLevel = 1;
  sim.CurLevel = 0;
}

}  // namespace tessaly

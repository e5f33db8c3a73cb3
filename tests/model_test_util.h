// Small builders shared by the model tests.
#pragma once

#include <initializer_list>

#include "model/simulation.h"

namespace tessaly::testing {

// A simulation whose current level holds the given positions, all at rest.
inline Simulation WithParticles(std::initializer_list<Vec2> positions, double dt = 0.1) {
  Simulation sim;
  InitSimulation(sim, static_cast<std::int16_t>(positions.size()), dt);
  int p = 1;
  for (const Vec2& v : positions) sim.Pos[sim.CurLevel][p++] = v;
  return sim;
}

}  // namespace tessaly::testing

// The table of energies a batch run writes beside or instead of its
// trajectory: CSV with a header line and one row per frame,
//
//   step,time,kinetic,potential,temperature,wall_pressure
//   0,0,0,-1.25,0,0
//
// kinetic and potential are the box's totals in ε, temperature is KE / N in
// ε/k_B and wall_pressure is the walls' pressure over the last steps in ε/σ²
// (model/observables.h); 0 in the row of the initial arrangement, before any
// step. Numbers are written as the trajectory writes them, in the shortest
// form that reads back to the same double.
#pragma once

#include <cstdint>
#include <string>

#include "model/observables.h"
#include "model/simulation.h"

namespace tessaly {

struct ThermoValues {
  double kinetic = 0.0;
  double potential = 0.0;
  double temperature = 0.0;
  double wall_pressure = 0.0;
};

// The row's values for level CurLevel of `sim`, whose potential energy is
// `potential` (PotentialEnergy), the walls' momentum since the start of the run
// in `walls`.
[[nodiscard]] ThermoValues ThermoValuesOf(const Simulation& sim, double potential,
                                          const WallMomentumHistory& walls);

// The header line, ending in a newline.
[[nodiscard]] std::string ThermoHeader();

// One row, ending in a newline. Every value must be finite.
[[nodiscard]] std::string ThermoRow(std::uint64_t step, double time, const ThermoValues& values);

}  // namespace tessaly

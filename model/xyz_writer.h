// Trajectories in extended XYZ, the text format that ASE, OVITO and most
// molecular-dynamics tools read. A frame is
//
//   N
//   Lattice="10 0 0 0 10 0 0 0 1" Properties=species:S:1:pos:R:3:vel:R:3 pbc="F F F" step=k time=t energy=E
//   Ar x y 0 vx vy 0            (one line per particle, 1 to N)
//
// with the box as the lattice, z = 0, and Y growing downwards as in the
// window. E is the frame's total potential energy (PotentialEnergy), which
// ASE takes for the frame's energy. Every number is written in the shortest form that reads back to the
// same double, so a reader gets the model's values bit for bit.
#pragma once

#include <cstdint>
#include <string>

#include "model/simulation.h"
#include "platform/round_trip.h"  // every number is written with AppendRoundTrip

namespace tessaly {

// The frame for level CurLevel of `sim`, as the state after `step` steps at
// time `time` with total potential energy `energy`: whole, ending in a
// newline.
[[nodiscard]] std::string XyzFrame(const Simulation& sim, std::uint64_t step, double time,
                                   double energy);

}  // namespace tessaly

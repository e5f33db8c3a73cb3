// One time step: a velocity kick from the pair forces, a rescaling that holds
// the summed squared speed at 100, a drift of the positions and the walls.
// cur and nxt below are the levels CurLevel and NextLevel.
//
// Every stage raises RuntimeError on an overflow, division by zero or invalid
// operation (an absurd time step, say). A failed step has written Force and
// part of level nxt, never level cur: the state the step started from stays
// whole and finite.
#pragma once

#include "model/simulation.h"
#include "model/stop_flag.h"

namespace tessaly {

// ComputeForces, UpdateVelocities, UpdatePositions, ReflectAtWalls, in that
// order. Writes Force and level nxt; level cur keeps the state the step
// started from. When `stop` is set during the force loop the step ends there,
// unfinished, like a failed one; the caller throws it away. With
// `wall_momentum`, adds to it what the walls turned back (ReflectAtWalls).
void AdvanceOneStep(Simulation& sim, const StopFlag* stop = nullptr,
                    double* wall_momentum = nullptr);

// Vel[nxt] = Force * TimeStep / Mass + Vel[cur]; then, when
// S = sqrt(sum of squared speeds) * 0.1 exceeds 0.00001, every Vel[nxt] is
// divided by S, so the squared speeds sum to 100. A system at rest stays so.
void UpdateVelocities(Simulation& sim);

// Pos[nxt] = Vel[nxt] * TimeStep + Pos[cur].
void UpdatePositions(Simulation& sim);

// Walls keep every centre half a unit from the edge: a coordinate of level nxt
// below 0.5 or above 9.5 is clamped onto the wall and its velocity component
// made to point inwards (absolute value, not negation, so a particle already
// heading back keeps its direction). A coordinate exactly on a wall stays.
//
// With `wall_momentum`, adds to it the momentum the walls turned back in this
// call: Mass * Σ |v_after − v_before| over the clamped components, in particle
// order, X before Y (2 m |v| for a component that was heading out, 0 for one
// already heading back). The positions and velocities come out bit for bit as
// without it.
void ReflectAtWalls(Simulation& sim, double* wall_momentum = nullptr);

// Exchanges CurLevel and NextLevel; writes nothing else.
void ExchangeLevels(Simulation& sim);

}  // namespace tessaly

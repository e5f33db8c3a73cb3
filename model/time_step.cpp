#include "model/time_step.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "model/forces.h"
#include "platform/fp_check.h"

namespace tessaly {
namespace {
constexpr double kSpeedScale = 0.1;        // 1 / sqrt(100): target root sum
constexpr double kAtRestThreshold = 0.00001;
constexpr double kLowWall = 0.5;
constexpr double kHighWall = 9.5;

// One coordinate and its velocity component: clamped onto a wall it crossed,
// the velocity made to point back into the box. With `turned`, adds the change
// of the component's size, |v_after - v_before|, worked out beside the step
// from the values it reads, so that the step's own values stay as they were.
inline void KeepInsideWalls(double& x, double& v, double* turned) {
  if (x < kLowWall) {
    x = kLowWall;
    if (turned != nullptr) *turned = *turned + (std::fabs(v) - v);
    v = std::fabs(v);
  }
  if (x > kHighWall) {
    x = kHighWall;
    if (turned != nullptr) *turned = *turned + (std::fabs(v) + v);
    v = -std::fabs(v);
  }
}

// Raises the floating-point flags of entries 1..n in software where the
// processor keeps none (platform/fp_check.h); does nothing elsewhere.
inline void NoteResults(const Vec2* v, std::int32_t n) {
  NoteFpResults(reinterpret_cast<const double*>(v + 1), 2 * static_cast<std::size_t>(n));
}

}  // namespace

void UpdateVelocities(Simulation& sim) {
  const std::int32_t n = sim.ParticleCount;
  const Vec2* force = sim.Force.data();
  const Vec2* vel_cur = sim.Vel[sim.CurLevel].data();
  Vec2* vel = sim.Vel[sim.NextLevel].data();
  const double dt = sim.TimeStep;
  const double mass = sim.Mass;

  ClearFpErrors();
  for (std::int32_t i = 1; i <= n; ++i) {
    vel[i].X = (force[i].X * dt) / mass + vel_cur[i].X;
    vel[i].Y = (force[i].Y * dt) / mass + vel_cur[i].Y;
  }

  // Summed in particle order, each term added on its own: the order fixes the
  // bits of the result.
  double s = 0.0;
  for (std::int32_t i = 1; i <= n; ++i) {
    s = s + vel[i].X * vel[i].X + vel[i].Y * vel[i].Y;
  }
  const double scale = std::sqrt(s) * kSpeedScale;
  NoteResults(vel, n);
  NoteFpResults(&scale, 1);
  ThrowIfFpError();

  if (scale > kAtRestThreshold) {
    for (std::int32_t i = 1; i <= n; ++i) {
      vel[i].X = vel[i].X / scale;
      vel[i].Y = vel[i].Y / scale;
    }
    NoteResults(vel, n);
    ThrowIfFpError();
  }
}

void UpdatePositions(Simulation& sim) {
  const std::int32_t n = sim.ParticleCount;
  const Vec2* vel = sim.Vel[sim.NextLevel].data();
  const Vec2* pos_cur = sim.Pos[sim.CurLevel].data();
  Vec2* pos = sim.Pos[sim.NextLevel].data();
  const double dt = sim.TimeStep;

  ClearFpErrors();
  for (std::int32_t i = 1; i <= n; ++i) {
    pos[i].X = vel[i].X * dt + pos_cur[i].X;
    pos[i].Y = vel[i].Y * dt + pos_cur[i].Y;
  }
  NoteResults(pos, n);
  ThrowIfFpError();
}

void ReflectAtWalls(Simulation& sim, double* wall_momentum) {
  const std::int32_t n = sim.ParticleCount;
  Vec2* pos = sim.Pos[sim.NextLevel].data();
  Vec2* vel = sim.Vel[sim.NextLevel].data();

  double turned = 0.0;
  double* const measure = wall_momentum != nullptr ? &turned : nullptr;
  for (std::int32_t i = 1; i <= n; ++i) {
    KeepInsideWalls(pos[i].X, vel[i].X, measure);
    KeepInsideWalls(pos[i].Y, vel[i].Y, measure);
  }
  if (wall_momentum != nullptr) *wall_momentum = *wall_momentum + sim.Mass * turned;
}

void AdvanceOneStep(Simulation& sim, const StopFlag* stop, double* wall_momentum) {
  ComputeForces(sim, stop);
  if (StopRequested(stop)) return;
  UpdateVelocities(sim);
  UpdatePositions(sim);
  ReflectAtWalls(sim, wall_momentum);
}

void ExchangeLevels(Simulation& sim) {
  const std::int16_t t = sim.CurLevel;
  sim.CurLevel = sim.NextLevel;
  sim.NextLevel = t;
}

}  // namespace tessaly

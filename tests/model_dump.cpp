// Prints the model's states as the window's ticks make them, every double as
// a C99 hexadecimal float, exact to the bit. The trajectory tests hold what a
// reader makes of a written file against it.
//   tessaly_model_dump COUNT DT STEPS EVERY SEED
// prints, for step 0 and every EVERY-th step: "frame STEP ENERGY" with the
// total potential energy, then one line "x y vx vy" per particle.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "model/observables.h"
#include "model/placement.h"
#include "model/simulation.h"
#include "model/time_step.h"
#include "platform/random.h"

namespace {

void Print(const tessaly::Simulation& sim, std::uint64_t step) {
  std::printf("frame %llu %a\n", static_cast<unsigned long long>(step),
              tessaly::PotentialEnergy(sim));
  for (int i = 1; i <= sim.ParticleCount; ++i) {
    const tessaly::Vec2& p = sim.Pos[sim.CurLevel][i];
    const tessaly::Vec2& v = sim.Vel[sim.CurLevel][i];
    std::printf("%a %a %a %a\n", p.X, p.Y, v.X, v.Y);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s COUNT DT STEPS EVERY SEED\n", argv[0]);
    return 2;
  }
  const auto count = static_cast<std::int16_t>(std::atoi(argv[1]));
  const double dt = std::strtod(argv[2], nullptr);
  const std::uint64_t steps = std::strtoull(argv[3], nullptr, 10);
  const std::uint64_t every = std::strtoull(argv[4], nullptr, 10);
  tessaly::FixedSeedRandom random(std::strtoull(argv[5], nullptr, 10));

  tessaly::Simulation sim;
  tessaly::InitSimulation(sim, count, dt);
  tessaly::PlaceParticles(sim, random);
  Print(sim, 0);
  for (std::uint64_t step = 1; step <= steps; ++step) {
    tessaly::AdvanceOneStep(sim);
    tessaly::ExchangeLevels(sim);
    if (step % every == 0) Print(sim, step);
  }
  return 0;
}

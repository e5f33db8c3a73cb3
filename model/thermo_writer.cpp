#include "model/thermo_writer.h"

#include "model/xyz_writer.h"

namespace tessaly {

ThermoValues ThermoValuesOf(const Simulation& sim, double potential,
                            const WallMomentumHistory& walls) {
  return {KineticEnergy(sim), potential, Temperature(sim), WallPressure(walls, sim.TimeStep)};
}

std::string ThermoHeader() { return "step,time,kinetic,potential,temperature,wall_pressure\n"; }

std::string ThermoRow(std::uint64_t step, double time, const ThermoValues& values) {
  std::string row = std::to_string(step);
  for (const double value :
       {time, values.kinetic, values.potential, values.temperature, values.wall_pressure}) {
    row += ',';
    AppendRoundTrip(row, value);
  }
  row += '\n';
  return row;
}

}  // namespace tessaly

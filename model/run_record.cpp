#include "model/run_record.h"

#include <cmath>

#include "model/xyz_writer.h"

namespace tessaly {

ObservationAnswer Observe(const Simulation& sim, const ObservationRequest& request,
                          const double* wall_momentum, const StopFlag* stop) {
  ObservationAnswer answer;
  answer.walls = request.walls;
  if (wall_momentum != nullptr) RecordWallMomentum(answer.walls, *wall_momentum);
  const bool row = request.row && request.steps % kRowEvery == 0;
  std::optional<double> potential;
  if (request.figures) {
    answer.figures = ObserveState(sim, request.steps, answer.walls, stop);
    potential = answer.figures->potential;
  }
  if (row) {
    if (!potential) potential = PotentialEnergy(sim, nullptr, stop);
    const double time = static_cast<double>(request.steps) * sim.TimeStep;
    // A time beyond the doubles has no row; the step before it would have failed.
    if (std::isfinite(time)) {
      answer.row = RecordedRow{request.steps, time, ThermoValuesOf(sim, *potential, answer.walls)};
    }
  }
  return answer;
}

std::string ThermoTable(const std::vector<RecordedRow>& rows) {
  std::string table = ThermoHeader();
  for (const RecordedRow& row : rows) table += ThermoRow(row.step, row.time, row.values);
  return table;
}

std::string XyzFrameOfState(const Simulation& sim, std::uint64_t step) {
  const double time = static_cast<double>(step) * sim.TimeStep;
  return XyzFrame(sim, step, time, PotentialEnergy(sim));
}

}  // namespace tessaly

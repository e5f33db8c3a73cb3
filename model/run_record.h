// What a view of a run works out beside the steps, where the steps run (the
// desktop's stepping thread, the page's worker), never where it draws: the
// walls' momentum of every step, the row of the batch run's table at every
// tenth step, and the figures when the view asks for them. The state handed
// over is only read: the run is the same, bit for bit, with or without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/observables.h"
#include "model/simulation.h"
#include "model/stop_flag.h"
#include "model/thermo_writer.h"

namespace tessaly {

// A row is recorded at every step that is a multiple of kRowEvery, as the
// batch run writes one with --every 10, up to kMostRows rows.
inline constexpr std::uint64_t kRowEvery = 10;
inline constexpr std::size_t kMostRows = 100000;

// One row of the table, as ThermoRow writes it.
struct RecordedRow {
  std::uint64_t step = 0;
  double time = 0.0;
  ThermoValues values;
};

// What the view asks of one state, handed over with it.
struct ObservationRequest {
  WallMomentumHistory walls;  // the walls' momentum of the steps before
  std::uint64_t steps = 0;    // the state's steps since the run started
  bool row = false;           // its row, when `steps` is a multiple of kRowEvery
  bool figures = false;       // ObserveState
};

// What came of it.
struct ObservationAnswer {
  WallMomentumHistory walls;  // with the step's momentum, when it measured one
  std::optional<RecordedRow> row;
  std::optional<ObservedFigures> figures;
};

// Works out what `request` asks of level CurLevel of `sim`, the state after
// a step whose walls turned back `*wall_momentum` (null: no step, or one that
// measured nothing). One pair pass at most, for the row and the figures
// together; it ends early once `stop` (may be null) is set, and its answer is
// then for throwing away.
[[nodiscard]] ObservationAnswer Observe(const Simulation& sim, const ObservationRequest& request,
                                        const double* wall_momentum, const StopFlag* stop);

// The table of `rows` as the batch run writes it: ThermoHeader, then ThermoRow
// of each row.
[[nodiscard]] std::string ThermoTable(const std::vector<RecordedRow>& rows);

// The frame of level CurLevel of `sim` after `step` steps, as the batch run
// writes it: XyzFrame with its time and PotentialEnergy.
[[nodiscard]] std::string XyzFrameOfState(const Simulation& sim, std::uint64_t step);

}  // namespace tessaly

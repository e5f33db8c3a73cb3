// The book-keeping of a run, written once for the window and the page: when
// a step starts, what a finished step means for the picture and for the
// observation view, when the view's figures fall due, which rows its table
// keeps, and what is done about a stepper that does not start or stops
// answering.
//
// It holds no particle state and runs nothing itself. An edition hands it
// what happened, with the time it happened (milliseconds on one monotonic
// clock of the edition's choosing), and carries out the actions it answers
// with, using its own timers, threads or workers and drawing. The record the
// loop speaks of is the edition's: the state the next tick starts from.
//
// The stepper works on one job at a time: step the record once, or only
// observe it as it is, and work out beside it what the observation view asks
// (an ObservationRequest: the walls, the table's row, the figures; one pair
// pass at most). Every job carries the generation it was started in; 停止,
// 実行 and an error move the generation on, and whatever a job of an older
// generation hands back is ignored, so that an abandoned step never shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/observables.h"
#include "model/run_record.h"
#include "platform/errors.h"

namespace tessaly {

// Milliseconds on the edition's monotonic clock.
using LoopTime = double;

// A step still running this long shows the busy cursor over the picture.
inline constexpr LoopTime kBusyAfterMs = 500;
// A stepper that is starting says every so often that it is alive; one that
// says nothing this long is ended and started again, up to kStepperAttempts
// starts in a row, after which the failure is reported.
inline constexpr LoopTime kStartSilenceMs = 2000;
inline constexpr int kStepperAttempts = 3;
// A stepper that has started and says nothing for longer than its job can
// take has stopped answering; never sooner than this.
inline constexpr LoopTime kLeastSilenceMs = 5000;
// The energy plot keeps the last minute of refreshes.
inline constexpr std::size_t kEnergyPoints = 600;

// How long one job (a step and the observation's pair pass) can take at
// `count` particles before its stepper is taken to have stopped answering:
// far beyond what the slowest engine measured here needs, and never less
// than kLeastSilenceMs.
[[nodiscard]] LoopTime JobSilenceLimitMs(std::int32_t count);

// A job for the stepper, on the record as it is when the job is started.
struct StepJob {
  std::uint64_t generation = 0;
  bool step = true;  // step once; else only observe the record as it is
  std::optional<ObservationRequest> observe;
};

// What the stepper hands back of a job.
struct JobResult {
  std::uint64_t generation = 0;
  bool stopped = false;            // ended early by its stop flag: nothing of it is used
  std::optional<ErrorKind> error;  // the step failed: the record is as it was
  std::optional<ObservationAnswer> observation;
  double observe_ms = 0.0;  // what the observation cost
};

// An error the edition shows.
enum class LoopError {
  kTick,               // a step failed with `kind`
  kStepperNotStarted,  // no stepper could be started
  kStepperSilent,      // the stepper stopped answering during a job
};
struct LoopReport {
  LoopError error = LoopError::kTick;
  ErrorKind kind = ErrorKind::kOverflow;  // for kTick
};

enum class TicksAction { kLeave, kStart, kStop };

// What the edition does, in this order where several are set.
struct LoopActions {
  // Stop the job in flight (its stop flag, or its worker ended); nothing it
  // hands back is used.
  bool abandon = false;
  // End the stepper and start a new one, which is told StepperStarting.
  bool replace_stepper = false;
  // The step of the job that finished is taken: draw the state it started
  // from, then the state it wrote becomes the record.
  bool take_step = false;
  // Draw the record as it is (a new arrangement).
  bool draw_record = false;
  // Hand the stepper this job, on the record as it now is.
  std::optional<StepJob> start;
  // The view's figures (Figures(), EnergyHistory()) changed: show them.
  bool figures = false;
  // The rows kept changed.
  bool rows = false;
  // Start the ticks every Period() ms, or stop them.
  TicksAction ticks = TicksAction::kLeave;
  // Show (true) or clear (false) the busy cursor.
  std::optional<bool> busy;
  // Call Wake at this time; nothing: no wake is wanted. Replaces any earlier.
  std::optional<LoopTime> wake;
  std::optional<LoopReport> report;
};

class RunLoop {
 public:
  // `stepper_ready`: the stepper answers from the start (a thread); else it
  // is starting (a worker), and StepperStarting follows.
  explicit RunLoop(bool stepper_ready = true);

  // ----- What happened ----------------------------------------------------

  // 実行: a new run has been placed; the record is its arrangement, and the
  // ticks come every `period_ms` (0: none, the arrangement stays).
  LoopActions Run(LoopTime now, std::int32_t count, int period_ms);
  // 停止, or the window closes.
  LoopActions Stop(LoopTime now);
  // The timer fell due.
  LoopActions Tick(LoopTime now);
  // The stepper finished a job.
  LoopActions Finished(LoopTime now, const JobResult& result);
  // The observation view was shown or hidden.
  LoopActions SetObserving(LoopTime now, bool on);
  // The time asked for by the last `wake` came.
  LoopActions Wake(LoopTime now);

  // The stepper's life, for a stepper that may not start: it is being
  // started; it said something (that it is alive, say); it has started and
  // takes jobs; it failed to start.
  LoopActions StepperStarting(LoopTime now);
  LoopActions StepperHeard(LoopTime now);
  LoopActions StepperStarted(LoopTime now);
  LoopActions StepperFailed(LoopTime now);

  // ----- What it holds -----------------------------------------------------

  [[nodiscard]] std::uint64_t Generation() const { return generation_; }
  // Steps the record has taken since 実行.
  [[nodiscard]] std::uint64_t Steps() const { return steps_; }
  // The steps of the state on the picture: one fewer once a tick has run.
  [[nodiscard]] std::uint64_t PictureSteps() const { return steps_ == 0 ? 0 : steps_ - 1; }
  [[nodiscard]] bool Busy() const { return in_flight_.has_value(); }
  [[nodiscard]] bool Running() const { return running_; }
  [[nodiscard]] int Period() const { return period_ms_; }
  [[nodiscard]] bool Observing() const { return observing_; }
  // The job in flight, as it was handed to the stepper.
  [[nodiscard]] const std::optional<StepJob>& InFlight() const { return in_flight_; }
  // The table's rows since 実行, up to kMostRows.
  [[nodiscard]] const std::vector<RecordedRow>& Rows() const { return rows_; }
  [[nodiscard]] bool RowsFull() const { return rows_.size() >= kMostRows; }
  // The last figures, and (time, potential energy per particle) of the last
  // kEnergyPoints refreshes of this run, oldest first.
  [[nodiscard]] const std::optional<ObservedFigures>& Figures() const { return figures_; }
  [[nodiscard]] const std::vector<std::pair<double, double>>& EnergyHistory() const {
    return energy_;
  }
  // The stepper failed for good: every start failed.
  [[nodiscard]] bool StepperFailedForGood() const { return stepper_ == Stepper::kFailed; }

 private:
  enum class Stepper { kStarting, kReady, kFailed };

  void StartJob(LoopActions& actions, LoopTime now, bool step);
  void StartStep(LoopActions& actions, LoopTime now);
  void ObserveNow(LoopActions& actions, LoopTime now);
  // Moves the generation on; the job in flight, if any, is abandoned.
  void Abandon(LoopActions& actions);
  [[nodiscard]] std::optional<ObservationRequest> Request(LoopTime now, std::uint64_t steps,
                                                          bool stepping);
  void Take(LoopActions& actions, LoopTime now, const ObservationAnswer& answer, double cost_ms);
  // Arms the refresh held back, unless it is armed.
  void HoldBack();
  [[nodiscard]] bool RowWanted(std::uint64_t steps) const;
  // A start that did not answer: another, or the failure reported.
  void StartFailed(LoopActions& actions, LoopTime now);
  void ReplaceStepper(LoopActions& actions, LoopTime now);
  void Fail(LoopActions& actions, LoopError error);
  // Sets actions.wake to the earliest deadline left.
  LoopActions Done(LoopActions actions, LoopTime now);

  std::uint64_t generation_ = 1;
  bool has_run_ = false;  // 実行 has placed a record
  std::uint64_t steps_ = 0;
  std::int32_t count_ = 0;
  bool running_ = false;
  int period_ms_ = 0;
  bool tick_pending_ = false;
  std::optional<StepJob> in_flight_;
  LoopTime job_started_ = 0;
  bool busy_shown_ = false;

  // The observation view.
  bool observing_ = false;
  WallMomentumHistory walls_;
  std::vector<RecordedRow> rows_;
  std::optional<ObservedFigures> figures_;
  std::vector<std::pair<double, double>> energy_;
  std::optional<LoopTime> last_refresh_;  // when the last figures were asked for
  LoopTime min_interval_ms_ = 100;
  std::optional<LoopTime> held_back_;  // when a refresh held back falls due

  // The stepper; watched only when it may fail to start or to answer.
  bool watched_ = false;
  Stepper stepper_ = Stepper::kReady;
  int attempts_ = 0;          // starts in a row that have not answered
  bool repost_ = false;       // the next stepper takes over the job in flight
  LoopTime heard_ = 0;        // when the stepper last said anything
};

}  // namespace tessaly

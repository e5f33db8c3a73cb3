#include "run/run_loop.h"

#include <algorithm>

namespace tessaly {
namespace {

// The slowest job measured here, the scalar module on one core in a browser
// with a step and the observation's pair pass, takes about 6 ns a pair; a
// stepper is given eight times that before it counts as silent.
constexpr double kSilenceMsPerPair = 50e-6;

}  // namespace

LoopTime JobSilenceLimitMs(std::int32_t count) {
  const double n = std::max<std::int32_t>(count, 0);
  return std::max(kLeastSilenceMs, n * (n - 1) / 2 * kSilenceMsPerPair);
}

RunLoop::RunLoop(bool stepper_ready)
    : watched_(!stepper_ready), stepper_(stepper_ready ? Stepper::kReady : Stepper::kStarting) {}

// ----- What happened --------------------------------------------------------

LoopActions RunLoop::Run(LoopTime now, std::int32_t count, int period_ms) {
  LoopActions actions;
  // The old run's step works on a record that is gone now.
  Abandon(actions);
  has_run_ = true;
  steps_ = 0;
  count_ = count;
  period_ms_ = period_ms;
  running_ = period_ms > 0;
  actions.ticks = TicksAction::kStart;
  actions.draw_record = true;
  // The view starts again from the arrangement: its figures at once, and the
  // table's first row.
  walls_ = WallMomentumHistory{};
  rows_.clear();
  actions.rows = true;
  figures_.reset();
  energy_.clear();
  last_refresh_.reset();
  held_back_.reset();
  if (stepper_ == Stepper::kFailed) {
    // A new run gives the stepper new chances.
    attempts_ = 0;
    ReplaceStepper(actions, now);
  }
  ObserveNow(actions, now);
  return Done(actions, now);
}

LoopActions RunLoop::Stop(LoopTime now) {
  LoopActions actions;
  running_ = false;
  actions.ticks = TicksAction::kStop;
  Abandon(actions);
  // The view catches up with the record where it lags behind it.
  if (!figures_ || figures_->steps != steps_) ObserveNow(actions, now);
  return Done(actions, now);
}

LoopActions RunLoop::Tick(LoopTime now) {
  LoopActions actions;
  if (!running_) return Done(actions, now);
  // Ticks do not pile up behind a slow step: one is kept to run as soon as
  // the step ends, the others are dropped.
  if (Busy()) {
    tick_pending_ = true;
  } else {
    StartStep(actions, now);
  }
  return Done(actions, now);
}

LoopActions RunLoop::Finished(LoopTime now, const JobResult& result) {
  LoopActions actions;
  if (!in_flight_ || result.generation != in_flight_->generation || result.stopped) {
    return Done(actions, now);  // abandoned: nothing of it shows
  }
  heard_ = now;
  const StepJob job = *std::move(in_flight_);
  in_flight_.reset();
  if (busy_shown_) actions.busy = false;
  busy_shown_ = false;
  if (job.step) {
    if (result.error) {
      // A failed step changes nothing of the record; the last good picture
      // stays, and the next 実行 starts afresh.
      running_ = false;
      tick_pending_ = false;
      actions.ticks = TicksAction::kStop;
      actions.report = LoopReport{LoopError::kTick, *result.error};
      return Done(actions, now);
    }
    actions.take_step = true;
    ++steps_;
  }
  if (result.observation) Take(actions, now, *result.observation, result.observe_ms);
  if (tick_pending_ && running_) StartStep(actions, now);
  // A job started while the view was hidden brought nothing for the view
  // shown since: the record as it is brings it, unless a step does.
  if (observing_ && !job.observe) ObserveNow(actions, now);
  return Done(actions, now);
}

LoopActions RunLoop::SetObserving(LoopTime now, bool on) {
  LoopActions actions;
  if (on == observing_) return Done(actions, now);
  observing_ = on;
  held_back_.reset();
  if (on) {
    // The steps taken while hidden went unmeasured.
    walls_ = WallMomentumHistory{};
    last_refresh_.reset();
    ObserveNow(actions, now);
  }
  return Done(actions, now);
}

LoopActions RunLoop::Wake(LoopTime now) {
  LoopActions actions;
  if (held_back_ && *held_back_ <= now) {
    held_back_.reset();
    ObserveNow(actions, now);
  }
  if (in_flight_ && !busy_shown_ && now >= job_started_ + kBusyAfterMs) {
    busy_shown_ = true;
    actions.busy = true;
  }
  if (watched_ && stepper_ == Stepper::kStarting && now - heard_ >= kStartSilenceMs) {
    StartFailed(actions, now);
  } else if (watched_ && stepper_ == Stepper::kReady && in_flight_ &&
             now - std::max(heard_, job_started_) >= JobSilenceLimitMs(count_)) {
    Fail(actions, LoopError::kStepperSilent);
  }
  return Done(actions, now);
}

LoopActions RunLoop::StepperStarting(LoopTime now) {
  LoopActions actions;
  if (stepper_ == Stepper::kFailed) return Done(actions, now);
  stepper_ = Stepper::kStarting;
  heard_ = now;
  ++attempts_;
  // A stepper the loop replaced takes over the job its predecessor never
  // answered; one started because a job was abandoned has none yet.
  if (repost_ && in_flight_) {
    actions.start = in_flight_;
    job_started_ = now;
  }
  repost_ = false;
  return Done(actions, now);
}

LoopActions RunLoop::StepperHeard(LoopTime now) {
  heard_ = now;
  return Done(LoopActions{}, now);
}

LoopActions RunLoop::StepperStarted(LoopTime now) {
  if (stepper_ == Stepper::kStarting) {
    stepper_ = Stepper::kReady;
    attempts_ = 0;
  }
  heard_ = now;
  return Done(LoopActions{}, now);
}

LoopActions RunLoop::StepperFailed(LoopTime now) {
  LoopActions actions;
  if (stepper_ != Stepper::kFailed) StartFailed(actions, now);
  return Done(actions, now);
}

// ----- Jobs --------------------------------------------------------------

void RunLoop::StartJob(LoopActions& actions, LoopTime now, bool step) {
  if (stepper_ == Stepper::kFailed || !has_run_) return;
  StepJob job;
  job.generation = generation_;
  job.step = step;
  job.observe = Request(now, step ? steps_ + 1 : steps_, step);
  if (!step && !job.observe) return;  // nothing to observe yet
  in_flight_ = job;
  job_started_ = now;
  busy_shown_ = false;
  actions.start = std::move(job);
}

void RunLoop::StartStep(LoopActions& actions, LoopTime now) {
  tick_pending_ = false;
  StartJob(actions, now, true);
}

void RunLoop::ObserveNow(LoopActions& actions, LoopTime now) {
  // A step in flight brings the figures with it.
  if (Busy() || !observing_) return;
  StartJob(actions, now, false);
}

void RunLoop::Abandon(LoopActions& actions) {
  ++generation_;
  tick_pending_ = false;
  if (in_flight_) {
    actions.abandon = true;
    // Figures it was to bring are due again.
    if (in_flight_->observe && in_flight_->observe->figures) last_refresh_.reset();
    in_flight_.reset();
  }
  if (busy_shown_) actions.busy = false;
  busy_shown_ = false;
}

// ----- The observation view ------------------------------------------------

bool RunLoop::RowWanted(std::uint64_t steps) const {
  return steps % kRowEvery == 0 && rows_.size() < kMostRows &&
         (rows_.empty() || rows_.back().step < steps);
}

std::optional<ObservationRequest> RunLoop::Request(LoopTime now, std::uint64_t steps,
                                                   bool stepping) {
  if (!observing_) return std::nullopt;
  ObservationRequest request;
  request.walls = walls_;
  request.steps = steps;
  request.row = RowWanted(steps);
  const bool due = !last_refresh_ || now - *last_refresh_ >= min_interval_ms_;
  if (due) {
    request.figures = true;
    last_refresh_ = now;
    held_back_.reset();
  } else {
    HoldBack();
    if (!stepping && !request.row) return std::nullopt;
  }
  return request;
}

void RunLoop::HoldBack() {
  if (!held_back_ && last_refresh_) held_back_ = *last_refresh_ + min_interval_ms_;
}

void RunLoop::Take(LoopActions& actions, LoopTime now, const ObservationAnswer& answer,
                   double cost_ms) {
  (void)now;
  walls_ = answer.walls;
  if (answer.row && RowWanted(answer.row->step)) {
    rows_.push_back(*answer.row);
    actions.rows = true;
  }
  if (answer.figures) {
    min_interval_ms_ = RefreshIntervalMs(cost_ms);
    figures_ = answer.figures;
    const ObservedFigures& f = *figures_;
    // Time that runs backwards (a negative time step) starts the plot again.
    if (!energy_.empty() && energy_.back().first > f.time) energy_.clear();
    energy_.emplace_back(f.time, f.potential_per_particle);
    if (energy_.size() > kEnergyPoints) energy_.erase(energy_.begin());
    actions.figures = observing_;
  } else if (observing_) {
    // The refresh held back may have fallen due while this job was in
    // flight; should no step follow, the record as it is brings it.
    HoldBack();
  }
}

// ----- The stepper -----------------------------------------------------------

void RunLoop::StartFailed(LoopActions& actions, LoopTime now) {
  if (attempts_ >= kStepperAttempts) {
    Fail(actions, LoopError::kStepperNotStarted);
  } else {
    ReplaceStepper(actions, now);
  }
}

void RunLoop::ReplaceStepper(LoopActions& actions, LoopTime now) {
  actions.replace_stepper = true;
  repost_ = true;
  stepper_ = Stepper::kStarting;
  heard_ = now;
}

void RunLoop::Fail(LoopActions& actions, LoopError error) {
  stepper_ = Stepper::kFailed;
  running_ = false;
  actions.ticks = TicksAction::kStop;
  Abandon(actions);
  actions.report = LoopReport{error, ErrorKind::kOverflow};
}

LoopActions RunLoop::Done(LoopActions actions, LoopTime now) {
  (void)now;
  std::optional<LoopTime> wake;
  const auto earliest = [&wake](LoopTime at) { wake = wake ? std::min(*wake, at) : at; };
  if (held_back_ && observing_) earliest(*held_back_);
  if (in_flight_ && !busy_shown_) earliest(job_started_ + kBusyAfterMs);
  if (watched_ && stepper_ == Stepper::kStarting) earliest(heard_ + kStartSilenceMs);
  if (watched_ && stepper_ == Stepper::kReady && in_flight_) {
    earliest(std::max(heard_, job_started_) + JobSilenceLimitMs(count_));
  }
  actions.wake = wake;
  return actions;
}

}  // namespace tessaly

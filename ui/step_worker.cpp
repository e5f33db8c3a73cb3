#include "ui/step_worker.h"

#include <chrono>
#include <utility>

#include "model/time_step.h"

namespace tessaly {

StepWorker::StepWorker(QObject* parent) : QObject(parent) {}

StepWorker::~StepWorker() {
  Abandon();
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void StepWorker::Start(Simulation sim, StepFunction step,
                       std::optional<ObservationRequest> observe, std::uint64_t generation) {
  Q_ASSERT(!busy_);
  stop_ = std::make_shared<StopFlag>(false);
  {
    const std::lock_guard lock(mutex_);
    wanted_id_ = ++last_id_;
    job_ = Job{wanted_id_, generation, std::move(sim), std::move(step), std::move(observe), stop_};
  }
  wake_.notify_one();
  if (!thread_.joinable()) thread_ = std::thread(&StepWorker::Run, this);
  busy_ = true;
}

void StepWorker::Abandon() {
  if (!busy_) return;
  busy_ = false;
  stop_->store(true, std::memory_order_relaxed);
  stop_.reset();
  // Taken out under the lock and freed after it: a record of the largest
  // count is megabytes.
  std::optional<Job> unstarted;
  std::optional<Outcome> unseen;
  {
    const std::lock_guard lock(mutex_);
    wanted_id_ = 0;
    unstarted = std::exchange(job_, std::nullopt);
    unseen = std::exchange(outcome_, std::nullopt);
  }
}

std::optional<StepWorker::Outcome> StepWorker::TakeOutcome() {
  std::optional<Outcome> outcome;
  {
    const std::lock_guard lock(mutex_);
    outcome = std::exchange(outcome_, std::nullopt);
  }
  if (outcome) {
    busy_ = false;
    stop_.reset();
  }
  return outcome;
}

void StepWorker::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || job_.has_value(); });
      if (quit_) return;
      job = std::move(*std::exchange(job_, std::nullopt));
    }

    Outcome outcome;
    outcome.generation = job.generation;
    outcome.sim = std::move(job.sim);
    outcome.stepped = static_cast<bool>(job.step);
    if (job.observe && outcome.stepped) outcome.wall_momentum = 0.0;
    try {
      double* momentum = outcome.wall_momentum ? &*outcome.wall_momentum : nullptr;
      if (outcome.stepped) job.step(outcome.sim, *job.stop, momentum);
      if (job.observe && !StopRequested(job.stop.get())) {
        const auto begun = std::chrono::steady_clock::now();
        // The state the step wrote, current for the while, as the tick's
        // exchange of levels will make it.
        if (outcome.stepped) ExchangeLevels(outcome.sim);
        outcome.observation = Observe(outcome.sim, *job.observe, momentum, job.stop.get());
        if (outcome.stepped) ExchangeLevels(outcome.sim);
        outcome.observation_ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun)
                .count();
      }
    } catch (...) {
      outcome.error = std::current_exception();
    }

    bool wanted = false;
    {
      const std::lock_guard lock(mutex_);
      wanted = job.id == wanted_id_;
      if (wanted) {
        outcome_ = std::move(outcome);
        wanted_id_ = 0;
      }
    }
    if (wanted) emit Finished();
    // An abandoned step's record is freed here, outside the lock.
  }
}

}  // namespace tessaly

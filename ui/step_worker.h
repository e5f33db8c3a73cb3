// The thread that steps the simulation, so that the window keeps answering
// while a step takes its time (seconds at the largest counts).
//
// The window hands over a copy of its record with Start and goes on with its
// events; the worker steps the copy on a thread of its own and emits Finished,
// which reaches the window on its own thread, where TakeOutcome gives the
// stepped record back. Nothing is shared while a step is in flight: the copy
// belongs to the worker from Start until TakeOutcome, the window's record to
// the window. Abandon sets the step's stop flag and forgets it: whatever it
// leaves is thrown away unseen.
//
// With the record may come what the observation window asks of the stepped
// state (an ObservationRequest); the worker works it out after the step, on
// its own thread, and hands it back with the outcome. A job may also only
// observe the record as it is, with no step.
//
// Records and errors cross between the threads under a standard mutex, never
// through Qt's event queue, whose locks ThreadSanitizer cannot see; Finished
// carries nothing and only wakes the window.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "model/run_record.h"
#include "model/simulation.h"
#include "model/stop_flag.h"

namespace tessaly {

class StepWorker : public QObject {
  Q_OBJECT

 public:
  // One step of the record, run on the worker's thread. It may touch nothing
  // but the record, what it owns and the outcome's wall momentum (the third
  // argument: null unless the step is to measure it, 0 when the step begins),
  // and should return soon after the flag is set.
  using StepFunction = std::function<void(Simulation&, const StopFlag&, double*)>;

  // How a job ended: the generation it was started with, the record as the
  // step left it (level NextLevel the state it wrote), whether there was a
  // step, the momentum the walls turned back if the step was asked to
  // measure it, what was observed and how long that took, and, when it ended
  // with an exception (a RuntimeError from the arithmetic, say), that
  // exception.
  struct Outcome {
    std::uint64_t generation = 0;
    Simulation sim;
    bool stepped = true;
    std::optional<double> wall_momentum;
    std::optional<ObservationAnswer> observation;
    double observation_ms = 0.0;
    std::exception_ptr error;
  };

  explicit StepWorker(QObject* parent = nullptr);
  // Abandons the step in flight and waits for the thread, which takes no
  // longer than the step needs to notice its stop flag.
  ~StepWorker() override;

  StepWorker(const StepWorker&) = delete;
  StepWorker& operator=(const StepWorker&) = delete;

  // True from Start until the outcome is taken or the step abandoned.
  [[nodiscard]] bool Busy() const { return busy_; }

  // Steps `sim` with `step` on the worker's thread (an empty `step`: no step)
  // and then, with a request, observes the state the step wrote (or, with no
  // step, level CurLevel); a step observed measures the walls' momentum.
  // `generation` comes back in the outcome. Only when not Busy.
  void Start(Simulation sim, StepFunction step, std::optional<ObservationRequest> observe,
             std::uint64_t generation);

  // Tells the step in flight to stop and forgets it; returns at once. Its
  // outcome is never delivered. Does nothing when not Busy.
  void Abandon();

  // The outcome of the step in flight once it has ended; nothing before then,
  // after Abandon, or for a Finished that arrives late.
  [[nodiscard]] std::optional<Outcome> TakeOutcome();

 signals:
  // A step has ended. Emitted on the worker's thread: connect it queued.
  void Finished();

 private:
  struct Job {
    std::uint64_t id = 0;
    std::uint64_t generation = 0;
    Simulation sim;
    StepFunction step;
    std::optional<ObservationRequest> observe;
    std::shared_ptr<StopFlag> stop;
  };

  void Run();

  // Owned by the window's thread.
  bool busy_ = false;
  std::uint64_t last_id_ = 0;
  std::shared_ptr<StopFlag> stop_;  // the flag of the step in flight
  std::thread thread_;              // started with the first step

  // Shared with the worker's thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> job_;          // waiting to be picked up
  std::optional<Outcome> outcome_;  // waiting to be taken
  std::uint64_t wanted_id_ = 0;     // the step whose outcome is wanted; 0: none
  bool quit_ = false;
};

}  // namespace tessaly

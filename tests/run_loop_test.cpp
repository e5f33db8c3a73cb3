// The run loop as tables of events and the actions they call for. Each row
// is one event at a time in milliseconds, and the actions it gives, written
// as words: "abandon", "replace", "take", "draw", "step" or "observe" (a job
// started, "+row" and "+figures" for what it asks beside), "figures", "rows",
// "ticks" or "stop-ticks", "busy" or "idle", "wake@T", and the error reported.
#include "run/run_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaly {
namespace {

enum class Ev {
  kRun,        // 実行 with period `arg`
  kStop,       // 停止
  kTick,       // the timer
  kDone,       // the job in flight ends well
  kFail,       // the step in flight fails
  kLate,       // a job of the generation before the last one ends
  kShow,       // the view is shown
  kHide,       // and hidden
  kWake,       // the wake asked for comes
  kStarting,   // a stepper is being started
  kHeard,      // it says it is alive
  kStarted,    // it has started
  kBroken,     // it failed to start
};

struct Row {
  Ev event;
  LoopTime at;
  std::string actions;
  int arg = 10;  // the period of kRun
};

std::string Describe(const LoopActions& a) {
  std::string out;
  const auto add = [&out](const std::string& word) { out += (out.empty() ? "" : " ") + word; };
  if (a.abandon) add("abandon");
  if (a.replace_stepper) add("replace");
  if (a.take_step) add("take");
  if (a.draw_record) add("draw");
  if (a.start) {
    std::string job = a.start->step ? "step" : "observe";
    if (a.start->observe && a.start->observe->row) job += "+row";
    if (a.start->observe && a.start->observe->figures) job += "+figures";
    add(job);
  }
  if (a.figures) add("figures");
  if (a.rows) add("rows");
  if (a.ticks == TicksAction::kStart) add("ticks");
  if (a.ticks == TicksAction::kStop) add("stop-ticks");
  if (a.busy) add(*a.busy ? "busy" : "idle");
  if (a.report) {
    add(a.report->error == LoopError::kTick               ? "error:tick"
        : a.report->error == LoopError::kStepperNotStarted ? "error:not-started"
                                                            : "error:silent");
  }
  if (a.wake) add("wake@" + std::to_string(static_cast<long long>(*a.wake)));
  return out;
}

// Drives a loop with the events of a table and remembers the jobs, as an
// edition would, to answer them.
class Driver {
 public:
  explicit Driver(bool stepper_ready = true) : loop(stepper_ready) {}

  LoopActions Apply(const Row& row) {
    LoopActions a;
    switch (row.event) {
      case Ev::kRun: a = loop.Run(row.at, 400, row.arg); break;
      case Ev::kStop: a = loop.Stop(row.at); break;
      case Ev::kTick: a = loop.Tick(row.at); break;
      case Ev::kDone: a = loop.Finished(row.at, Answer(*loop.InFlight(), false)); break;
      case Ev::kFail: a = loop.Finished(row.at, Answer(*loop.InFlight(), true)); break;
      case Ev::kLate: a = loop.Finished(row.at, Answer(previous, false)); break;
      case Ev::kShow: a = loop.SetObserving(row.at, true); break;
      case Ev::kHide: a = loop.SetObserving(row.at, false); break;
      case Ev::kWake: a = loop.Wake(row.at); break;
      case Ev::kStarting: a = loop.StepperStarting(row.at); break;
      case Ev::kHeard: a = loop.StepperHeard(row.at); break;
      case Ev::kStarted: a = loop.StepperStarted(row.at); break;
      case Ev::kBroken: a = loop.StepperFailed(row.at); break;
    }
    if (a.start) {
      if (last && last->generation != a.start->generation) previous = *last;
      last = a.start;
    }
    return a;
  }

  // What the stepper hands back of `job`: the figures and row it asked for,
  // each naming the state's steps, or the error of its step.
  static JobResult Answer(const StepJob& job, bool fail) {
    JobResult result;
    result.generation = job.generation;
    if (fail) {
      result.error = ErrorKind::kOverflow;
      return result;
    }
    if (job.observe) {
      ObservationAnswer answer;
      answer.walls = job.observe->walls;
      if (job.step) RecordWallMomentum(answer.walls, 1.0);
      if (job.observe->row) {
        answer.row = RecordedRow{};
        answer.row->step = job.observe->steps;
      }
      if (job.observe->figures) {
        answer.figures = ObservedFigures{};
        answer.figures->steps = job.observe->steps;
        answer.figures->time = 0.1 * job.observe->steps;
        answer.figures->potential_per_particle = -1.0;
      }
      result.observation = answer;
      result.observe_ms = 2.0;  // refreshes no more often than every 100 ms
    }
    return result;
  }

  RunLoop loop;
  std::optional<StepJob> last;
  StepJob previous;
};

void Check(const std::vector<Row>& rows, bool stepper_ready = true) {
  Driver driver(stepper_ready);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(Describe(driver.Apply(rows[k])), rows[k].actions) << "row " << k;
  }
}

TEST(RunLoop, TicksDuringAStepKeepOneAndDropTheRest) {
  Check({
      {Ev::kRun, 0, "draw rows ticks"},
      {Ev::kTick, 10, "step wake@510"},
      {Ev::kTick, 20, "wake@510"},
      {Ev::kTick, 30, "wake@510"},
      {Ev::kDone, 35, "take step wake@535"},
      {Ev::kDone, 40, "take"},
      {Ev::kTick, 50, "step wake@550"},
      {Ev::kWake, 550, "busy"},
      {Ev::kDone, 700, "take idle"},
  });
}

TEST(RunLoop, PeriodZeroShowsTheArrangementAndNeverSteps) {
  Check({
      {Ev::kRun, 0, "draw rows ticks", 0},
      {Ev::kTick, 10, ""},
  });
}

TEST(RunLoop, StopAndRunAbandonTheStepInFlightWhoseEndNeverShows) {
  Check({
      {Ev::kRun, 0, "draw rows ticks"},
      {Ev::kTick, 10, "step wake@510"},
      {Ev::kTick, 20, "wake@510"},
      {Ev::kStop, 30, "abandon stop-ticks"},
      {Ev::kLate, 40, ""},
      {Ev::kTick, 50, ""},
      {Ev::kRun, 60, "draw rows ticks"},
      {Ev::kTick, 70, "step wake@570"},
      {Ev::kRun, 80, "abandon draw rows ticks"},
      {Ev::kLate, 90, ""},
      {Ev::kTick, 100, "step wake@600"},
  });
}

TEST(RunLoop, AFailedStepStopsTheTicksAndIsReported) {
  Check({
      {Ev::kRun, 0, "draw rows ticks"},
      {Ev::kTick, 10, "step wake@510"},
      {Ev::kTick, 20, "wake@510"},
      {Ev::kFail, 30, "stop-ticks error:tick"},
      {Ev::kTick, 40, ""},
  });
}

TEST(RunLoop, FiguresComeAtMostEveryIntervalAndAHeldBackRefreshComesWithoutAStep) {
  Check({
      {Ev::kShow, 0, ""},  // nothing to observe before a run
      {Ev::kRun, 0, "draw observe+row+figures rows ticks wake@500"},
      {Ev::kDone, 5, "figures rows"},
      {Ev::kTick, 10, "step wake@100"},
      // Each step measures the walls; the figures wait for the interval.
      {Ev::kDone, 15, "take wake@100"},
      {Ev::kTick, 20, "step wake@100"},
      {Ev::kDone, 25, "take wake@100"},
      {Ev::kStop, 30, "stop-ticks wake@100"},
      {Ev::kWake, 100, "observe+figures wake@600"},
      {Ev::kDone, 110, "figures"},
  });
}

TEST(RunLoop, StopBringsTheFiguresOfTheRecordThatAnAbandonedStepWasToBring) {
  Check({
      {Ev::kShow, 0, ""},
      {Ev::kRun, 0, "draw observe+row+figures rows ticks wake@500"},
      {Ev::kDone, 5, "figures rows"},
      {Ev::kTick, 10, "step wake@100"},
      {Ev::kDone, 15, "take wake@100"},
      {Ev::kTick, 200, "step+figures wake@700"},
      // The step carrying the figures is abandoned, and with it its pair pass;
      // the record (one step past the picture) is observed instead.
      {Ev::kStop, 210, "abandon observe+figures stop-ticks wake@710"},
      {Ev::kLate, 220, "wake@710"},
      {Ev::kDone, 230, "figures"},
      // A refresh held back outlives the end of an abandoned job.
      {Ev::kRun, 240, "draw observe+row+figures rows ticks wake@740"},
      {Ev::kDone, 245, "figures rows"},
      {Ev::kTick, 250, "step wake@340"},
      {Ev::kStop, 255, "abandon stop-ticks wake@340"},
      {Ev::kLate, 256, "wake@340"},
      {Ev::kWake, 340, "observe+figures wake@840"},
  });
}

TEST(RunLoop, TheRowAndTheFiguresOfOneStateComeFromOneJob) {
  Driver driver;
  driver.Apply({Ev::kShow, 0, ""});
  driver.Apply({Ev::kRun, 0, "", 1});
  driver.Apply({Ev::kDone, 0, ""});
  int both = 0;
  for (int k = 1; k <= 100; ++k) {
    const LoopActions a = driver.Apply({Ev::kTick, 1000.0 * k, ""});
    ASSERT_TRUE(a.start && a.start->observe);
    EXPECT_EQ(a.start->observe->row, k % 10 == 0) << k;
    EXPECT_TRUE(a.start->observe->figures) << k;
    both += a.start->observe->row && a.start->observe->figures;
    driver.Apply({Ev::kDone, 1000.0 * k + 1, ""});
  }
  EXPECT_EQ(both, 10);
  EXPECT_EQ(driver.loop.Rows().size(), 11u);
  EXPECT_EQ(driver.loop.Rows().back().step, 100u);
  EXPECT_EQ(driver.loop.EnergyHistory().size(), 101u);
}

TEST(RunLoop, KeepsAtMostTheRowsAndRefreshesItMay) {
  Driver driver;
  driver.Apply({Ev::kShow, 0, ""});
  driver.Apply({Ev::kRun, 0, "", 1});
  driver.Apply({Ev::kDone, 0, ""});
  // A step a millisecond: figures every hundredth step.
  for (std::uint64_t k = 1; k <= 10 * kMostRows + 20; ++k) {
    driver.Apply({Ev::kTick, static_cast<double>(k), ""});
    driver.Apply({Ev::kDone, static_cast<double>(k) + 0.5, ""});
  }
  EXPECT_EQ(driver.loop.Rows().size(), kMostRows);
  EXPECT_TRUE(driver.loop.RowsFull());
  EXPECT_EQ(driver.loop.Rows().back().step, 10 * (kMostRows - 1));
  EXPECT_EQ(driver.loop.EnergyHistory().size(), kEnergyPoints);
  EXPECT_EQ(driver.loop.EnergyHistory().back().first, driver.loop.Figures()->time);
  EXPECT_LT(driver.loop.EnergyHistory().front().first, driver.loop.Figures()->time - 590 * 0.1 * 100);
  // A new run starts the table, the plot and the figures again: a view that
  // draws before its first figures finds nothing to draw.
  const LoopActions a = driver.Apply({Ev::kRun, 2e9, "", 1});
  EXPECT_TRUE(a.rows);
  EXPECT_TRUE(driver.loop.Rows().empty());
  EXPECT_TRUE(driver.loop.EnergyHistory().empty());
  EXPECT_FALSE(driver.loop.Figures());
}

TEST(RunLoop, ShownAgainTheViewForgetsTheWallsOfTheStepsItMissed) {
  Driver driver;
  driver.Apply({Ev::kShow, 0, ""});
  driver.Apply({Ev::kRun, 0, "", 1});
  driver.Apply({Ev::kDone, 0, ""});
  driver.Apply({Ev::kTick, 200, ""});
  driver.Apply({Ev::kDone, 201, ""});
  ASSERT_EQ(driver.loop.Rows().size(), 1u);
  EXPECT_EQ(Describe(driver.Apply({Ev::kHide, 300, ""})), "");
  EXPECT_EQ(Describe(driver.Apply({Ev::kTick, 400, ""})), "step wake@900");
  EXPECT_FALSE(driver.last->observe);  // hidden: nothing asked
  driver.Apply({Ev::kDone, 401, ""});
  EXPECT_EQ(Describe(driver.Apply({Ev::kShow, 500, ""})), "observe+figures wake@1000");
  EXPECT_EQ(driver.last->observe->walls.count, 0);
  EXPECT_EQ(driver.last->observe->steps, 2u);
  driver.Apply({Ev::kDone, 501, ""});
  // Shown during a step started hidden, the view has the record observed
  // once that step ends, not at the next tick.
  driver.Apply({Ev::kHide, 600, ""});
  EXPECT_EQ(Describe(driver.Apply({Ev::kTick, 700, ""})), "step wake@1200");
  EXPECT_EQ(Describe(driver.Apply({Ev::kShow, 710, ""})), "wake@1200");
  EXPECT_EQ(Describe(driver.Apply({Ev::kDone, 720, ""})), "take observe+figures wake@1220");
  EXPECT_EQ(driver.last->observe->steps, 3u);
}

TEST(RunLoop, AStepperThatNeverStartsIsReplacedTwiceThenReported) {
  Check(
      {
          {Ev::kStarting, 0, "wake@2000"},
          {Ev::kRun, 10, "draw rows ticks wake@2000"},
          {Ev::kTick, 20, "step wake@520"},  // the worker takes it once it has loaded
          {Ev::kWake, 520, "busy wake@2000"},
          {Ev::kHeard, 1000, "wake@3000"},  // alive, still loading
          {Ev::kWake, 3000, "replace wake@5000"},
          {Ev::kStarting, 3010, "step wake@5010"},  // handed the step in flight
          {Ev::kBroken, 3020, "replace wake@5020"},
          {Ev::kStarting, 3030, "step wake@5030"},
          {Ev::kWake, 5030, "abandon stop-ticks idle error:not-started"},
          {Ev::kTick, 5040, ""},
          // 実行 tries again.
          {Ev::kRun, 6000, "replace draw rows ticks wake@8000"},
          {Ev::kStarting, 6010, "wake@8010"},
          {Ev::kStarted, 6020, ""},
          {Ev::kTick, 6030, "step wake@6530"},
      },
      false);
}

TEST(RunLoop, AStepperThatStopsAnsweringDuringAJobIsReported) {
  const LoopTime limit = JobSilenceLimitMs(400);
  EXPECT_EQ(limit, kLeastSilenceMs);
  EXPECT_GT(JobSilenceLimitMs(32767), 10 * kLeastSilenceMs / 2);
  Check(
      {
          {Ev::kStarting, 0, "wake@2000"},
          {Ev::kStarted, 100, ""},
          {Ev::kRun, 200, "draw rows ticks"},
          {Ev::kTick, 210, "step wake@710"},
          {Ev::kWake, 710, "busy wake@5210"},
          {Ev::kWake, 5209, "wake@5210"},  // a timer that fires early changes nothing
          {Ev::kWake, 5210, "abandon stop-ticks idle error:silent"},
      },
      false);
}

TEST(RunLoop, AWorkerEndedWithTheJobItStepsIsNotHandedTheNextJobTwice) {
  // Without threads 停止 ends the worker of the step in flight; its
  // successor is told of its start while 停止's own job is under way.
  Check(
      {
          {Ev::kStarting, 0, "wake@2000"},
          {Ev::kStarted, 10, ""},
          {Ev::kShow, 20, ""},
          {Ev::kRun, 30, "draw observe+row+figures rows ticks wake@530"},
          {Ev::kDone, 40, "figures rows"},
          {Ev::kTick, 50, "step wake@130"},
          {Ev::kDone, 60, "take wake@130"},
          {Ev::kTick, 140, "step+figures wake@640"},
          {Ev::kStop, 150, "abandon observe+figures stop-ticks wake@650"},
          {Ev::kStarting, 151, "wake@650"},
          {Ev::kStarted, 152, "wake@650"},
          {Ev::kDone, 160, "figures"},
      },
      false);
}

TEST(RunLoop, AThreadThatAlwaysAnswersIsNeverWatched) {
  Check({
      {Ev::kRun, 0, "draw rows ticks"},
      {Ev::kTick, 10, "step wake@510"},
      {Ev::kWake, 510, "busy"},
      {Ev::kWake, 1e9, ""},
      {Ev::kDone, 1e9, "take idle"},
  });
}

}  // namespace
}  // namespace tessaly
